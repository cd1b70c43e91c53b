#include "tools/carico/loadplan.h"

#include <QSet>

#include <cmath>

namespace loadplan {

namespace {

QString u8(const char *text) { return QString::fromUtf8(text); }

const char *const surnames[] = {
    "Città", "Fußmann", "Ødegård", "Dell'Acqua", "Łukasiewicz", "Núñez", "Ricci", "Παπαδόπουλος",
    "Ìppolito", "Dvořák", "Çelik", "Ò Brien", "Esposito", "Weiß", "Àlvarez", "Greco",
};
const char *const firstNames[] = {
    "Niccolò", "Grete", "Åse", "Lucìa", "Paweł", "José", "Chiara", "Οδυσσέας", "Ùgo", "Antonín", "Ömer",
};

// The number of archivings before seq (0-based) that go to the shared pupils.
int sharedBefore(int seq) { return (seq + 1) / 3; }
bool isShared(int seq) { return seq % 3 == 1; }

int ownArchivings(int perProcess) { return perProcess - sharedBefore(perProcess); }
int ownPupils(int perProcess)
{
    const int own = ownArchivings(perProcess);
    return own - own / 5;
}

} // namespace

QStringList sharedPupils()
{
    return {
        u8("Città Niccolò"),        u8("Weiß Jürgen"),         u8("Fußmann Grete"),
        u8("Ødegård Åse"),          u8("Dell'Acqua Lucìa"),    u8("Çelik Ömer"),
        u8("Παπαδόπουλος Οδυσσέας"), u8("Núñez José"),          u8("Àlvarez Èlia"),
        u8("Dvořák Antonín"),       u8("Łukasiewicz Paweł"),   u8("Ìppolito Ùgo"),
        u8("Rossi Mario"),          u8("Bianchi Anna"),        u8("Ferrari Luca"),
        u8("Esposito Giulia"),      u8("Romano Sofia"),        u8("Colombo Marco"),
        u8("Ricci Chiara"),         u8("Marino Paolo"),        u8("Greco Elena"),
        u8("Bruno Davide"),         u8("Gallo Francesca"),     u8("Conti Matteo"),
    };
}

QString spelling(const QString &name, int variant)
{
    switch (variant % SpellingCount) {
    case 1:
        return name.toUpper();
    case 2:
        return name.toLower();
    case 3:
        return name.normalized(QString::NormalizationForm_D);
    case 4: {
        QString out;
        int letter = 0;
        for (const QChar c : name) {
            if (c.isLetter())
                out += (letter++ % 2 == 0) ? QString(c).toUpper() : QString(c).toLower();
            else
                out += c;
        }
        return out;
    }
    default:
        return name;
    }
}

Step step(int process, int seq, int perProcess)
{
    if (isShared(seq)) {
        const int j = sharedBefore(seq);
        const QStringList pool = sharedPupils();
        const QString base = pool.at((j * 7 + process * 3) % pool.size());
        return {spelling(base, j + process), true};
    }
    const int k = seq - sharedBefore(seq);
    const int distinct = ownPupils(perProcess);
    const bool again = k >= distinct;
    const int pupil = again ? k - distinct : k;
    constexpr int surnameCount = int(std::size(surnames));
    constexpr int firstCount = int(std::size(firstNames));
    const QString base = u8(surnames[(pupil + process) % surnameCount]) + u8(" ")
        + u8(firstNames[pupil % firstCount]) + QStringLiteral(" %1.%2").arg(process + 1).arg(pupil + 1);
    // A pupil archived again comes back under another spelling of the same name.
    return {spelling(base, pupil + (again ? 2 : 0)), false};
}

int plannedRows(int processes, int perProcess)
{
    QSet<QString> keys;
    for (int p = 0; p < processes; ++p) {
        for (int s = 0; s < perProcess; ++s)
            keys.insert(ResultsStore::foldName(step(p, s, perProcess).name));
    }
    return int(keys.size());
}

quint32 keyHash(const QString &key)
{
    quint32 h = 2166136261u;
    for (const QChar c : key) {
        h ^= c.unicode();
        h *= 16777619u;
    }
    return h;
}

ArchiveTotals totalsFor(int process, int seq, const QString &key)
{
    const quint32 h = keyHash(key);
    ArchiveTotals t;
    t.sovragiusti = process + 1;
    t.sovrasbagliati = seq + 1;
    t.nozioligiusti = qint64(h % 1000003u) + qint64(seq) * 13 + qint64(process) * 101;
    t.noziolisbagliati = qint64((h >> 8) % 9973u) + qint64(seq) * 7 + qint64(process) * 3;
    t.spaziotempogiusti = qint64((h ^ quint32(process * 65537 + seq)) % 100003u);
    t.spaziotemposbagliati = (t.sovragiusti + t.sovrasbagliati * 3 + t.nozioligiusti * 7 + t.noziolisbagliati * 11
                              + t.spaziotempogiusti * 13) % 999983;
    return t;
}

std::optional<Origin> originOf(const ResultRecord &row, const QString &key)
{
    auto whole = [](double v) { return v >= 1 && v < 1e9 && std::floor(v) == v; };
    if (!whole(row.sovragiusti) || !whole(row.sovrasbagliati))
        return std::nullopt;
    const Origin o{int(row.sovragiusti) - 1, int(row.sovrasbagliati) - 1};
    const ArchiveTotals t = totalsFor(o.process, o.seq, key);
    const bool same = double(t.sovragiusti) == row.sovragiusti && double(t.sovrasbagliati) == row.sovrasbagliati
        && double(t.nozioligiusti) == row.nozioligiusti && double(t.noziolisbagliati) == row.noziolisbagliati
        && double(t.spaziotempogiusti) == row.spaziotempogiusti
        && double(t.spaziotemposbagliati) == row.spaziotemposbagliati;
    if (!same)
        return std::nullopt;
    return o;
}

} // namespace loadplan
