#include "bench/benchdata.h"

#include "store/resultsstore.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <libpq-fe.h>

#include <iterator>
#include <memory>

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

QString serverName(int row)
{
    return QStringLiteral("alunno %1").arg(row, 5, 10, QLatin1Char('0'));
}

namespace {

using Connection = std::unique_ptr<PGconn, decltype(&PQfinish)>;

// Runs one statement; false, with the server's message, when it fails.
bool exec(PGconn *c, const QString &sql, QString *error)
{
    std::unique_ptr<PGresult, decltype(&PQclear)> r(PQexec(c, sql.toUtf8().constData()), &PQclear);
    const ExecStatusType status = PQresultStatus(r.get());
    if (status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK)
        return true;
    *error = sql.left(40) + QStringLiteral("…: ") + QString::fromUtf8(PQerrorMessage(c)).trimmed();
    return false;
}

} // namespace

bool makeServerArchive(const QString &uri, const QString &database, int rows, QString *databaseUri, QString *error)
{
    if (!QRegularExpression(QStringLiteral("^[a-z][a-z0-9_]*$")).match(database).hasMatch()) {
        *error = QStringLiteral("not a plain database name: %1").arg(database);
        return false;
    }
    Connection server(PQconnectdb(uri.toUtf8().constData()), &PQfinish);
    if (PQstatus(server.get()) != CONNECTION_OK) {
        *error = QString::fromUtf8(PQerrorMessage(server.get())).trimmed();
        return false;
    }
    // No notice of a database that was not there to drop.
    PQsetNoticeProcessor(server.get(), [](void *, const char *) {}, nullptr);
    if (!exec(server.get(), QStringLiteral("DROP DATABASE IF EXISTS ") + database, error)
        || !exec(server.get(), QStringLiteral("CREATE DATABASE ") + database, error))
        return false;

    // The same address with the other database: every part of it as a
    // parameter of the URI, the database's name last.
    QString address = QStringLiteral("postgresql://?");
    PQconninfoOption *options = PQconninfoParse(uri.toUtf8().constData(), nullptr);
    for (PQconninfoOption *o = options; o && o->keyword; ++o) {
        const QByteArray keyword(o->keyword);
        if (!o->val || !*o->val || keyword == "dbname")
            continue;
        address += QString::fromLatin1(keyword) + u'=' + QString::fromLatin1(QUrl::toPercentEncoding(
                                                              QString::fromUtf8(o->val))) + u'&';
    }
    PQconninfoFree(options);
    address += QStringLiteral("dbname=") + database;

    StoreError created;
    if (!ResultsStore::create(address, &created)) {
        *error = created.message;
        return false;
    }
    Connection archive(PQconnectdb(address.toUtf8().constData()), &PQfinish);
    if (PQstatus(archive.get()) != CONNECTION_OK) {
        *error = QString::fromUtf8(PQerrorMessage(archive.get())).trimmed();
        return false;
    }
    // Lower-case ASCII names: the folded key is the name itself.
    const QString fill = QStringLiteral(
        "INSERT INTO nozioli (nome, chiave, data, sovragiusti, sovrasbagliati, nozioligiusti, noziolisbagliati,"
        " spaziotempogiusti, spaziotemposbagliati)"
        " SELECT n, n, timestamp '2024-09-16 08:30:00' + g * interval '97 seconds',"
        " g * 3 % 200, g * 4 % 200, g * 5 % 200, g * 6 % 200, g * 7 % 200, g * 8 % 200"
        " FROM generate_series(0, %1 - 1) AS g, LATERAL (SELECT 'alunno ' || lpad(g::text, 5, '0') AS n) AS named");
    if (!exec(archive.get(), fill.arg(rows), error)
        || !exec(archive.get(), QStringLiteral("VACUUM ANALYZE nozioli"), error))
        return false;
    *databaseUri = address;
    return true;
}

} // namespace benchdata
