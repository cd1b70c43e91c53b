#pragma once

#include "store/resultsstore.h"

#include <QHash>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>

class QSqlError;
class QSqlQuery;

// What both backends of the results archive share: how a row is stored and
// read (the moment as "yyyy-MM-dd HH:mm:ss" local time, the totals as
// numbers), how rows are checked and how a message is put together.
namespace storedrows {

// What an operation was doing when it failed: the first words of its message.
enum class Context { Open, Read, Save, Create, Check };
// A message about the archive: what failed (from the context), then the
// reason, which says what to try.
StoreError message(StoreError::Kind kind, Context ctx, const QString &reason);
// Puts the arguments in place of %1, %2, … in one pass, so that a "%2" in a
// name stays as it is and a number left out of a text is no fault.
QString fill(const QString &pattern, const QStringList &args);

inline constexpr const char *dateFormat = "yyyy-MM-dd HH:mm:ss";

// A stored moment ("yyyy-MM-dd HH:mm:ss", or ISO 8601) as local time; invalid when it is neither.
QDateTime parseDate(const QVariant &v);
// "nome", "data", then the six totals in the order of totalFields, each field
// as the SQL expression given for it (default: the field itself).
QString selectRecord(const QString &dateExpression = QStringLiteral("data"));
// A row read with selectRecord().
ResultRecord readRecord(const QSqlQuery &query);

// Checks the rows of an archive one by one, for verify(): names, keys,
// moments and totals, and names that come more than once.
class RowAudit
{
public:
    using Totals = std::array<QVariant, totalFields.size()>;     // in the order of totalFields
    void add(const QString &name, const QVariant &key, const QVariant &date, const Totals &totals);
    int rows() const { return m_rows; }
    // In Italian, one line per kind of problem.
    QStringList problems() const;

private:
    int m_rows = 0, m_noName = 0, m_badKey = 0, m_badTotal = 0, m_badDate = 0;
    QHash<QString, int> m_perKey;
    QStringList m_keyOrder;
    QHash<QString, QString> m_firstName;
};

// How a backend's SQL names what the operations need.
struct Dialect
{
    QString row;                // the column that keeps the order rows were added in
    QString date;               // the moment, read as "yyyy-MM-dd HH:mm:ss"
    QString dateValue;          // the placeholder of a moment written
    QString keyOrder;           // the keys in code-point order
};

// The row of the name, added when missing ("nome" as given, never changed
// afterwards), then the six totals in archiving order and the moment; with
// onlyIfNewer a row whose moment is not older is left as it is.
QString upsertStatement(const Dialect &dialect, bool onlyIfNewer);
// Its values, in the order of its placeholders.
QVariantList upsertValues(const QString &name, const ArchiveTotals &totals, const QDateTime &moment);

// Reads every row through query ("nome", "chiave", the moment as
// dateExpression and the six totals, ordered by orderBy) and checks them with
// a RowAudit: on success sets found.rows and adds the problems; otherwise sets failure.
void auditRows(QSqlQuery &query, const QString &dateExpression, const QString &orderBy, ArchiveFacts &found,
               QStringList &problems, QSqlError &failure);

} // namespace storedrows
