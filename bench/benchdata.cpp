#include "bench/benchdata.h"

#include "store/resultsstore.h"

#include <QDateTime>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <iterator>

namespace benchdata {

namespace {

const char16_t *const surnames[] = {
    u"Rossi", u"Bianchi", u"Esposito", u"Romano", u"Colombo", u"Ricci", u"Marino", u"Greco",
    u"Bruno", u"Gallo", u"Conti", u"De Luca", u"Mancini", u"Costa", u"Giordano", u"Rizzo",
    u"Lombardi", u"Moretti", u"Barbieri", u"Fontana", u"Santoro", u"Mariani", u"Rinaldi", u"Caruso",
    u"Ferrara", u"Galli", u"Martini", u"Leone", u"Longo", u"Gentile", u"Martinelli", u"Vitale",
};

const char16_t *const firstNames[] = {
    u"Mario", u"Anna", u"Luca", u"Giulia", u"Marco", u"Sofia", u"Niccolò", u"Aurora",
    u"Matteo", u"Ginevra", u"Lorenzo", u"Beatrice", u"Andrea", u"Noemi", u"Gabriele", u"Chiara",
    u"Riccardo", u"Alice", u"Tommaso", u"Martina", u"Edoardo", u"Emma", u"Francesco", u"Giorgia",
    u"Alessandro", u"Viola", u"Nicolò", u"Greta", u"Mattia", u"Bianca", u"Leonardo", u"Irene",
};

constexpr int surnameCount = int(std::size(surnames));
constexpr int firstNameCount = int(std::size(firstNames));

} // namespace

QString surname(int row)
{
    // The number keeps every name apart, as a pupil's class and register number would.
    return QString::fromUtf16(surnames[row % surnameCount]) + QString::number(row / surnameCount);
}

QString firstName(int row)
{
    return QString::fromUtf16(firstNames[(row / 7) % firstNameCount]);
}

QString name(int row)
{
    return surname(row) + u' ' + firstName(row);
}

bool makeArchive(const QString &path, int rows, QString *error)
{
    StoreError created;
    if (!ResultsStore::create(path, &created)) {
        *error = created.message;
        return false;
    }
    const QString connection = QStringLiteral("benchdata");
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        ok = db.open();
        QSqlQuery query(db);
        ok = ok && query.exec(QStringLiteral("BEGIN"));
        ok = ok && query.prepare(QStringLiteral(
                  "INSERT INTO nozioli (nome, data, sovragiusti, sovrasbagliati, nozioligiusti, noziolisbagliati,"
                  " spaziotempogiusti, spaziotemposbagliati, chiave) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        const QDateTime start(QDate(2024, 9, 16), QTime(8, 30, 0));
        for (int row = 0; ok && row < rows; ++row) {
            const QString n = name(row);
            query.addBindValue(n);
            query.addBindValue(start.addSecs(qint64(row) * 97).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")));
            for (int t = 0; t < 6; ++t)
                query.addBindValue(double((row * (t + 3)) % 200));
            query.addBindValue(ResultsStore::foldName(n));
            ok = query.exec();
        }
        QSqlQuery commit(db);
        ok = ok && commit.exec(QStringLiteral("COMMIT"));
        if (!ok)
            *error = query.lastError().isValid() ? query.lastError().text() : db.lastError().text();
        query.finish();
        db.close();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

} // namespace benchdata
