#include "bench/serverdata.h"

#include "store/resultsstore.h"

#include <QRegularExpression>
#include <QUrl>

#include <libpq-fe.h>

#include <memory>

namespace benchdata {

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
