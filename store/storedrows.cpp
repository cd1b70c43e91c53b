#include "store/storedrows.h"

#include <QSqlError>
#include <QSqlQuery>

#include <cmath>
#include <limits>

namespace storedrows {

namespace {

// The form the store writes, "yyyy-MM-dd HH:mm:ss", read digit by digit:
// QDateTime::fromString with a format parses the format again for every
// value, tens of microseconds a row when every row of a large archive is read.
// The local time's offset from UTC is found once an hour of the archive
// (mktime() is slow) and checked on every value.
QDateTime parseStoredDate(const QString &s)
{
    if (s.size() != 19 || s[4] != u'-' || s[7] != u'-' || s[10] != u' ' || s[13] != u':' || s[16] != u':')
        return {};
    const auto number = [&s](int from, int digits) {
        int n = 0;
        for (int i = from; i < from + digits; ++i) {
            const char16_t c = s[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!date.isValid() || !QTime::isValid(hour, minute, second))
        return {};
    const QTime time(hour, minute, second);
    constexpr qint64 unixEpochDay = 2440588;       // the Julian day of 1970-01-01
    const qint64 wallClock = (date.toJulianDay() - unixEpochDay) * 86400 + time.msecsSinceStartOfDay() / 1000;
    thread_local QHash<qint64, qint64> hourOffsets;
    auto offset = hourOffsets.constFind(wallClock / 3600);
    if (offset == hourOffsets.cend()) {
        const QDateTime full(date, time);
        if (!full.isValid())
            return full;
        offset = hourOffsets.insert(wallClock / 3600, full.offsetFromUtc());
    }
    const QDateTime quick = QDateTime::fromSecsSinceEpoch(wallClock - *offset, Qt::LocalTime);
    // The offset changed within the hour (a change to or from summer time).
    if (quick.date() != date || quick.time() != time)
        return QDateTime(date, time);
    return quick;
}

// A total as stored, or NaN when the field holds no number (empty, text),
// so that a damaged value is never shown as a number.
double readTotal(const QVariant &v)
{
    bool ok = false;
    const double n = v.isNull() ? 0 : v.toDouble(&ok);
    return ok ? n : std::numeric_limits<double>::quiet_NaN();
}

} // namespace

// Puts the arguments in place of %1, %2, … in one pass, so that a "%2" in a
// file's name stays as it is and a number left out of a text is no fault.
QString fill(const QString &pattern, const QStringList &args)
{
    QString out;
    out.reserve(pattern.size() + 64);
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern.at(i);
        if (c == u'%' && i + 1 < pattern.size()) {
            const int n = pattern.at(i + 1).digitValue();
            if (n >= 1 && n <= args.size()) {
                out += args.at(n - 1);
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

StoreError message(StoreError::Kind kind, Context ctx, const QString &reason)
{
    QString head;
    switch (ctx) {
    case Context::Open: head = QString::fromUtf8("Impossibile aprire l'archivio dei risultati."); break;
    case Context::Read: head = QString::fromUtf8("Impossibile leggere l'archivio dei risultati."); break;
    case Context::Save: head = QString::fromUtf8("I risultati non sono stati archiviati."); break;
    case Context::Create: head = QString::fromUtf8("L'archivio dei risultati non è stato creato."); break;
    case Context::Check: break;
    }
    if (kind == StoreError::NoName)
        head.chop(1);           // "… non sono stati archiviati: manca il nome …"
    const QString separator = kind == StoreError::NoName ? QStringLiteral(": ") : QStringLiteral(" ");
    return {kind, head.isEmpty() ? reason : head + separator + reason};
}

QDateTime parseDate(const QVariant &v)
{
    const QString s = v.toString();
    if (const QDateTime quick = parseStoredDate(s); quick.isValid())
        return quick;
    QDateTime t = QDateTime::fromString(s, QLatin1String(dateFormat));
    if (!t.isValid())
        t = QDateTime::fromString(s, Qt::ISODate);
    return t;
}

QString selectRecord(const QString &dateExpression)
{
    QString sql = QLatin1String("SELECT nome, ") + dateExpression;
    for (const TotalField &f : totalFields)
        sql += QLatin1String(", ") + QLatin1String(f.name);
    return sql + QLatin1String(" FROM nozioli");
}

ResultRecord readRecord(const QSqlQuery &query)
{
    ResultRecord r;
    r.nome = query.value(0).toString();
    r.data = parseDate(query.value(1));
    int column = 2;
    for (const TotalField &f : totalFields)
        r.*f.recorded = readTotal(query.value(column++));
    return r;
}

void RowAudit::add(const QString &name, const QVariant &key, const QVariant &date, const Totals &totals)
{
    ++m_rows;
    if (name.isEmpty())
        ++m_noName;
    const QString folded = ResultsStore::foldName(name);
    if (key.isNull() || key.toString() != folded)
        ++m_badKey;
    if (!name.isEmpty()) {
        if (!m_perKey.contains(folded)) {
            m_keyOrder << folded;
            m_firstName.insert(folded, name);
        }
        ++m_perKey[folded];
    }
    if (!parseDate(date).isValid())
        ++m_badDate;
    for (std::size_t i = 0; i < totalFields.size(); ++i) {
        const QVariant &v = totals[i];
        bool ok = false;
        const double n = v.toDouble(&ok);
        if (v.isNull() || !ok || n < 0 || std::floor(n) != n) {
            ++m_badTotal;
            break;
        }
    }
}

QStringList RowAudit::problems() const
{
    const auto q = [](const char *text) { return QString::fromUtf8(text); };
    QStringList problems;
    for (const QString &k : std::as_const(m_keyOrder)) {
        if (m_perKey.value(k) > 1)
            problems << q("il nome «%1» compare in %2 righe").arg(m_firstName.value(k)).arg(m_perKey.value(k));
    }
    if (m_noName)
        problems << q("righe senza nome: %1 su %2").arg(m_noName).arg(m_rows);
    if (m_badKey)
        problems << q("righe con il campo «chiave» mancante o diverso dal nome: %1 su %2").arg(m_badKey).arg(m_rows);
    if (m_badTotal)
        problems << q("righe con totali mancanti o non interi da 0 in su: %1 su %2").arg(m_badTotal).arg(m_rows);
    if (m_badDate)
        problems << q("righe con il campo «data» mancante o non nella forma AAAA-MM-GG hh:mm:ss: %1 su %2")
                        .arg(m_badDate).arg(m_rows);
    return problems;
}

QString upsertStatement(const Dialect &dialect, bool onlyIfNewer)
{
    QString columns, marks, updates;
    for (const TotalField &f : totalFields) {
        const QString field = QString::fromLatin1(f.name);
        columns += QLatin1String(", ") + field;
        marks += QLatin1String(", ?");
        updates += field + QLatin1String(" = excluded.") + field + QLatin1String(", ");
    }
    return QLatin1String("INSERT INTO nozioli (nome, chiave") + columns + QLatin1String(", data) VALUES (?, ?") + marks
        + QLatin1String(", ") + dialect.dateValue + QLatin1String(") ON CONFLICT (chiave) DO UPDATE SET ") + updates
        + QLatin1String("data = excluded.data")
        // Moments stored as yyyy-MM-dd hh:mm:ss sort as text, too.
        + QLatin1String(onlyIfNewer ? " WHERE nozioli.data IS NULL OR nozioli.data < excluded.data" : "");
}

QVariantList upsertValues(const QString &name, const ArchiveTotals &totals, const QDateTime &moment)
{
    QVariantList values{name, ResultsStore::foldName(name)};
    for (const TotalField &f : totalFields)
        values << double(totals.*f.archived);
    values << moment.toString(QLatin1String(dateFormat));
    return values;
}

void auditRows(QSqlQuery &query, const QString &dateExpression, const QString &orderBy, ArchiveFacts &found,
               QStringList &problems, QSqlError &failure)
{
    RowAudit audit;
    QString select = QLatin1String("SELECT nome, chiave, ") + dateExpression;
    for (const TotalField &f : totalFields)
        select += QLatin1String(", ") + QLatin1String(f.name);
    query.setForwardOnly(true);
    if (query.exec(select + QLatin1String(" FROM nozioli ORDER BY ") + orderBy)) {
        while (query.next()) {
            RowAudit::Totals totals;
            for (std::size_t i = 0; i < totalFields.size(); ++i)
                totals[i] = query.value(int(3 + i));
            audit.add(query.value(0).toString(), query.value(1), query.value(2), totals);
        }
    }
    if (query.lastError().isValid()) {
        failure = query.lastError();
        return;
    }
    found.rows = audit.rows();
    problems += audit.problems();
}

} // namespace storedrows
