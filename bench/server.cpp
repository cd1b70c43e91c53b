// The archive on a PostgreSQL server, in-process: archiving through
// ResultsStore::save against a bare upsert through libpq, the statement the
// store runs prepared once, and a look-up through ResultsStore::find against
// a bare libpq query of the same row, prepared once too. Each pair is timed
// alternately, the same number of times, after one round of each that is not
// counted (the store prepares its statements on first use). Started by
// nozioli-bench with the URI of an archive made by benchdata::makeServerArchive;
// prints "sample KIND µs" lines and the server's version and fsync setting.
//
//   nozioli-bench-server URI ROWS LOOKUPS ARCHIVINGS
#include "bench/benchclock.h"
#include "bench/serverdata.h"
#include "store/resultsstore.h"

#include <QCoreApplication>
#include <QDateTime>

#include <libpq-fe.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>

namespace {

void sample(const char *kind, std::int64_t ns)
{
    std::printf("sample %s %.3f\n", kind, double(ns) / 1000.0);
}

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "nozioli-bench-server: %s\n", qPrintable(what));
    std::fflush(stdout);
    std::_Exit(3);
}

// The store's upsert, as ServerStore::write() builds it, and its look-up.
const char *const upsertSql =
    "INSERT INTO nozioli (nome, chiave, spaziotempogiusti, spaziotemposbagliati, sovragiusti, sovrasbagliati,"
    " nozioligiusti, noziolisbagliati, data) VALUES ($1, $2, $3, $4, $5, $6, $7, $8, CAST($9 AS timestamp(0)))"
    " ON CONFLICT (chiave) DO UPDATE SET spaziotempogiusti = excluded.spaziotempogiusti,"
    " spaziotemposbagliati = excluded.spaziotemposbagliati, sovragiusti = excluded.sovragiusti,"
    " sovrasbagliati = excluded.sovrasbagliati, nozioligiusti = excluded.nozioligiusti,"
    " noziolisbagliati = excluded.noziolisbagliati, data = excluded.data";
const char *const lookupSql =
    "SELECT nome, to_char(data, 'YYYY-MM-DD HH24:MI:SS'), spaziotempogiusti, spaziotemposbagliati, sovragiusti,"
    " sovrasbagliati, nozioligiusti, noziolisbagliati FROM nozioli WHERE chiave = $1";

// A bare libpq connection with both statements prepared once.
class Bare
{
public:
    explicit Bare(const QString &uri) : m_conn(PQconnectdb(uri.toUtf8().constData()))
    {
        if (PQstatus(m_conn) != CONNECTION_OK)
            fail(QStringLiteral("bare libpq cannot connect: ") + message());
        prepare("upsert", upsertSql, 9);
        prepare("lookup", lookupSql, 1);
    }
    ~Bare() { PQfinish(m_conn); }
    Bare(const Bare &) = delete;
    Bare &operator=(const Bare &) = delete;

    // Writes the row's six totals (in the store's order) and the moment.
    void upsert(const QByteArray &name, const QByteArray &key, const std::array<qint64, 6> &totals)
    {
        char numbers[6][24];
        const char *values[9] = {name.constData(), key.constData()};
        for (size_t i = 0; i < totals.size(); ++i) {
            std::snprintf(numbers[i], sizeof numbers[i], "%lld", static_cast<long long>(totals[i]));
            values[2 + i] = numbers[i];
        }
        const QByteArray when = QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toUtf8();
        values[8] = when.constData();
        PGresult *r = PQexecPrepared(m_conn, "upsert", 9, values, nullptr, nullptr, 0);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK && std::strcmp(PQcmdTuples(r), "1") == 0;
        PQclear(r);
        if (!ok)
            fail(QStringLiteral("bare upsert: ") + message());
    }

    // Reads the row of the key, its eight fields; whether it was there.
    bool lookup(const QByteArray &key)
    {
        const char *values[1] = {key.constData()};
        PGresult *r = PQexecPrepared(m_conn, "lookup", 1, values, nullptr, nullptr, 0);
        if (PQresultStatus(r) != PGRES_TUPLES_OK)
            fail(QStringLiteral("bare look-up: ") + message());
        bool found = PQntuples(r) == 1 && PQgetlength(r, 0, 0) > 0 && PQgetlength(r, 0, 1) > 0;
        double sum = 0;
        for (int c = 2; found && c < 8; ++c)
            sum += std::strtod(PQgetvalue(r, 0, c), nullptr);
        PQclear(r);
        return found && sum >= 0;
    }

    QByteArray setting(const char *name)
    {
        PGresult *r = PQexec(m_conn, (QByteArray("SHOW ") + name).constData());
        const QByteArray value = PQresultStatus(r) == PGRES_TUPLES_OK ? QByteArray(PQgetvalue(r, 0, 0)) : "?";
        PQclear(r);
        return value;
    }

private:
    void prepare(const char *name, const char *sql, int parameters)
    {
        PGresult *r = PQprepare(m_conn, name, sql, parameters, nullptr);
        const bool ok = PQresultStatus(r) == PGRES_COMMAND_OK;
        PQclear(r);
        if (!ok)
            fail(QStringLiteral("bare libpq cannot prepare: ") + message());
    }
    QString message() const { return QString::fromUtf8(PQerrorMessage(m_conn)).trimmed(); }

    PGconn *m_conn;
};

std::int64_t timed(const std::function<void()> &action)
{
    const std::int64_t t0 = bench::monotonicNs();
    action();
    return bench::monotonicNs() - t0;
}

// Runs the store's side and the bare side count times, in an order that
// turns round from one time to the next, after one uncounted round.
void alternate(int count, const char *kind, const char *bareKind, const std::function<void(int)> &store,
               const std::function<void(int)> &bare)
{
    store(-1);
    bare(-1);
    for (int i = 0; i < count; ++i) {
        if (i % 2) {
            sample(kind, timed([&] { store(i); }));
            sample(bareKind, timed([&] { bare(i); }));
        } else {
            sample(bareKind, timed([&] { bare(i); }));
            sample(kind, timed([&] { store(i); }));
        }
    }
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s URI ROWS LOOKUPS ARCHIVINGS\n", argv[0]);
        return 2;
    }
    const QString uri = QString::fromUtf8(argv[1]);
    const int rows = std::atoi(argv[2]);
    const int lookups = std::atoi(argv[3]);
    const int archivings = std::atoi(argv[4]);
    if (rows < 1)
        fail(QStringLiteral("the archive must hold names"));

    ResultsStore store;
    if (!store.open(uri))
        fail(store.lastError().message);
    Bare bare(uri);
    std::printf("server_version %s\n", bare.setting("server_version").split(' ').value(0).constData());
    std::printf("server_fsync %s\n", bare.setting("fsync").constData());

    alternate(
        lookups, "server_lookup", "server_lookup_bare",
        [&](int i) {
            const int row = int((qint64(qMax(i, 0)) * 7919 + rows / 2) % rows);
            ResultRecord record;
            if (store.find(benchdata::serverName(row), &record) != ResultsStore::Lookup::Found
                || record.nome != benchdata::serverName(row))
                fail(QStringLiteral("the store did not find the row: ") + store.lastError().message);
        },
        [&](int i) {
            const int row = int((qint64(qMax(i, 0)) * 7919 + rows / 2) % rows);
            // The key of a lower-case ASCII name is the name itself.
            if (!bare.lookup(benchdata::serverName(row).toUtf8()))
                fail(QStringLiteral("bare libpq did not find the row"));
        });

    // One pupil, archived again and again, as at the end of each lesson.
    const QString name = benchdata::serverName(rows / 3);
    const QByteArray nameBytes = name.toUtf8();
    const QByteArray keyBytes = ResultsStore::foldName(name).toUtf8();
    auto totalsAt = [](int i) {
        const qint64 n = qMax(i, 0);
        return std::array<qint64, 6>{n, n + 1, 2 * n, 2 * n + 1, 3 * n, 3 * n + 1};
    };
    alternate(
        archivings, "server_archive", "server_archive_bare",
        [&](int i) {
            const std::array<qint64, 6> t = totalsAt(i);
            ArchiveTotals totals;
            for (size_t f = 0; f < totalFields.size(); ++f)
                totals.*totalFields[f].archived = t[f];
            if (!store.save(name, totals, QDateTime::currentDateTime()))
                fail(QStringLiteral("the store did not archive: ") + store.lastError().message);
        },
        [&](int i) { bare.upsert(nameBytes, keyBytes, totalsAt(i)); });
    std::fflush(stdout);
    return 0;
}
