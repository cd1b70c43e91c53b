// What the results archive does, the same on both backends: every case runs
// on an archive file and on a real PostgreSQL server. Then what only a
// server can do wrong: stop, drop the connection, refuse the password or a
// connection without TLS.
#include "archivefixture.h"
#include "testserver.h"

#include <QFile>
#include <QStandardPaths>
#include <QTest>

#include <functional>

namespace {

QDateTime at(int h, int m, int s) { return QDateTime(QDate(2024, 5, 6), QTime(h, m, s)); }

} // namespace

class TstStoreBackends : public QObject
{
    Q_OBJECT

    TestServer server;
    std::unique_ptr<QTemporaryDir> dir;
    QString location;       // the archive of the current case: a file or the server

    // Each case's rows, once for each backend.
    static void bothBackends(const std::function<void(const QByteArray &prefix)> &rows)
    {
        QTest::addColumn<bool>("onServer");
        rows("file: ");
        rows("server: ");
    }
    static bool onServer() { return QString::fromLatin1(QTest::currentDataTag()).startsWith(QLatin1String("server")); }

    // Rows written by another program, the way each backend allows.
    bool rawInsert(const QString &sqlValues)
    {
        const QString sql = QStringLiteral("INSERT INTO nozioli (nome, chiave, data, sovragiusti, sovrasbagliati, "
                                           "nozioligiusti, noziolisbagliati, spaziotempogiusti, spaziotemposbagliati) "
                                           "VALUES ") + sqlValues;
        return onServer() ? server.psql(sql) : RawDb(location).exec(sql);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY2(server.start(), qPrintable(server.error()));
    }

    // A new, empty archive for every case.
    void init()
    {
        if (!QTest::currentDataTag() || !onServer()) {
            const QString problem = newArchiveFolder(dir, location, true);
            QVERIFY2(problem.isEmpty(), qPrintable(problem));
            return;
        }
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        QVERIFY2(server.psql(QStringLiteral("DROP TABLE IF EXISTS nozioli, nozioli_versione")), qPrintable(server.error()));
        location = server.uri();
        StoreError e;
        QVERIFY2(ResultsStore::create(location, &e), qPrintable(e.message));
    }

    void newArchiveIsEmptyAndSound_data()
    {
        bothBackends([](const QByteArray &p) { QTest::newRow(p + "empty") << p.startsWith("server"); });
    }
    void newArchiveIsEmptyAndSound()
    {
        ArchiveFacts facts;
        QCOMPARE(ResultsStore::verify(location, &facts), QStringList());
        QCOMPARE(facts.rows, 0);
        QCOMPARE(facts.version, ResultsStore::LayoutVersion);
        ResultsStore store;
        QVERIFY2(store.open(location), qPrintable(store.lastError().message));
        QCOMPARE(store.onServer(), onServer());
        QVERIFY2(store.listNames() == QStringList(), "an empty table gives an empty list, not a failure");
        ResultsStore reader;
        QVERIFY2(reader.openReadOnly(location), qPrintable(reader.lastError().message));
        QVERIFY2(!reader.save(QStringLiteral("Anna"), totals(1), at(1, 1, 1)), "a reader never writes");
        QCOMPARE(reader.lastError().kind, StoreError::ReadOnly);
        QVERIFY(store.listNames() == QStringList());
        StoreError again;
        QVERIFY2(!ResultsStore::create(location, &again), "an archive is never replaced");
        QCOMPARE(again.kind, StoreError::Exists);
    }

    // A new name adds one complete row; the same name in other capitals
    // replaces its totals and date, keeping the name as first archived. A
    // row is replaced by saveIfNewer() only with a later moment.
    void saveWritesOneRowPerName_data()
    {
        bothBackends([](const QByteArray &p) { QTest::newRow(p + "rows") << p.startsWith("server"); });
    }
    void saveWritesOneRowPerName()
    {
        ResultsStore store;
        QVERIFY(store.open(location));
        QVERIFY2(store.save(QStringLiteral("Rossi Mario"), totals(10), at(7, 8, 9)), qPrintable(store.lastError().message));
        QVERIFY(store.save(QStringLiteral("ROSSI MARIO"), totals(20), at(10, 11, 12)));
        QVERIFY(store.saveIfNewer(QStringLiteral("rossi mario"), totals(30), at(10, 11, 12)));   // not later: kept
        QVERIFY(store.saveIfNewer(QStringLiteral("rossi mario"), totals(40), at(9, 0, 0)));      // older: kept
        QVERIFY(store.saveIfNewer(QStringLiteral("Verdi"), totals(50), at(9, 0, 0)));            // new: added
        const std::optional<QList<ResultRecord>> rows = store.records();
        QVERIFY2(rows, qPrintable(store.lastError().message));
        QCOMPARE(rows->size(), 2);
        QCOMPARE(rows->at(0).nome, QStringLiteral("Rossi Mario"));
        QCOMPARE(rows->at(0).data, at(10, 11, 12));
        QVERIFY(sameTotals(rows->at(0), totals(20)));
        QVERIFY(store.saveIfNewer(QStringLiteral("ROSSI mario"), totals(60), at(10, 11, 13)));
        ResultRecord r;
        QCOMPARE(store.find(QStringLiteral("Rossi Mario"), &r), ResultsStore::Lookup::Found);
        QVERIFY(sameTotals(r, totals(60)));
        QCOMPARE(r.data, at(10, 11, 13));
        QVERIFY2(!store.save(QString(), totals(1), at(1, 1, 1)), "a row without a name could never be listed");
        QCOMPARE(store.lastError().kind, StoreError::NoName);
    }

    // A name archived twice after another is listed once after it, and found
    // again after reopening, as written and as searched.
    void findIgnoresCase_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<bool>("found");
        for (const char *prefix : {"file: ", "server: "}) {
            const auto row = [prefix](const char *tag, const QString &stored, const QString &searched, bool found) {
                QTest::newRow((QByteArray(prefix) + tag).constData()) << stored << searched << found;
            };
            const auto upper = [&row](const char *tag, const QString &name) { row(tag, name, name.toUpper(), true); };
            row("capitals", QStringLiteral("Rossi Mario"), QStringLiteral("ROSSI MARIO"), true);
            row("accented capitals", QString::fromUtf8("Niccolò Bianchi"), QString::fromUtf8("NICCOLÒ BIANCHI"), true);
            row("decomposed accent", QString::fromUtf8("Niccolò"), QString::fromUtf16(u"NICCOLO\u0300"), true);
            row("sharp s", QString::fromUtf8("Großi"), QStringLiteral("GROSSI"), true);
            row("final sigma", QString::fromUtf8("Οδυσσεύς"), QString::fromUtf8("ΟΔΥΣΣΕΎΣ"), true);
            row("dotless i stays apart", QString::fromUtf8("Işık"), QStringLiteral("ISIK"), false);
            row("other spacing", QStringLiteral("Rossi Mario"), QStringLiteral("Rossi  Mario"), false);
            row("wildcards match nothing", QStringLiteral("Ross_ %"), QStringLiteral("Rossi Mario"), false);
            row("prefix", QStringLiteral("Rossi Mario"), QStringLiteral("Rossi"), false);
            upper("quotes", QStringLiteral("D'Amico \"Gigi\" `x`"));
            upper("SQL text", QStringLiteral("x'); DROP TABLE nozioli; --"));
            upper("percent, underscore, dollar", QStringLiteral("100% _Rossi_ $1 $$"));
            upper("backslash", QStringLiteral("C:\\Rossi\\n"));
            // Control characters, emoji, right-to-left text, only spaces and 10,000
            // characters go all the way through the windows in tst_badnames.
        }
    }
    void findIgnoresCase()
    {
        QFETCH(QString, stored);
        QFETCH(QString, searched);
        QFETCH(bool, found);
        {
            ResultsStore store;
            QVERIFY(store.open(location));
            QVERIFY(store.save(QStringLiteral("Primo"), totals(0), at(1, 1, 1)));
            QVERIFY2(store.save(stored, totals(3), at(1, 1, 1)), qPrintable(store.lastError().message));
            QVERIFY(store.save(stored, totals(4), at(1, 1, 2)));
        }
        ResultsStore store;
        QVERIFY(store.open(location));
        QCOMPARE(store.listNames().value_or(QStringList()), (QStringList{QStringLiteral("Primo"), stored}));
        ResultRecord r;
        QCOMPARE(store.find(stored, &r), ResultsStore::Lookup::Found);
        QCOMPARE(store.find(searched, &r), found ? ResultsStore::Lookup::Found : ResultsStore::Lookup::NotFound);
        if (found) {
            QCOMPARE(r.nome, stored);
            QVERIFY(sameTotals(r, totals(4)));
        }
    }

    // Names in the order first archived, whole or a page at a time, rows
    // without a name left out; the first rows in the order of their keys.
    void namesInTableOrder_data()
    {
        bothBackends([](const QByteArray &p) { QTest::newRow(p + "order") << p.startsWith("server"); });
    }
    void namesInTableOrder()
    {
        ResultsStore store;
        QVERIFY(store.open(location));
        const QStringList order{QStringLiteral("Zeta"), QStringLiteral("alfa"), QStringLiteral("Émile"),
                                QStringLiteral("Mario"), QStringLiteral("Beta")};
        for (const QString &n : order)
            QVERIFY(store.save(n, totals(0), at(1, 1, 1)));
        QVERIFY(store.save(QStringLiteral("ALFA"), totals(5), at(2, 2, 2)));
        QVERIFY(rawInsert(QStringLiteral("('', 'x', '2024-05-06 01:01:01', 0, 0, 0, 0, 0, 0)")));
        QCOMPARE(store.listNames().value_or(QStringList{QStringLiteral("failed")}), order);
        QStringList paged;
        ResultsStore::NamePage page;
        do {
            const std::optional<ResultsStore::NamePage> next = store.listNames(page.lastRow, 2);
            QVERIFY2(next, qPrintable(store.lastError().message));
            page = *next;
            paged += page.names;
        } while (!page.atEnd);
        QCOMPARE(paged, order);
        QStringList byKey;
        for (const ResultRecord &r : store.firstRecordsByKey(4).value_or(QList<ResultRecord>()))
            byKey << r.nome;
        QCOMPARE(byKey, (QStringList{QStringLiteral("alfa"), QStringLiteral("Beta"), QStringLiteral("Mario"), QString()}));
    }

    // The server stops while the store is open: the operation fails with a
    // message naming the server, and succeeds again once it is back. A
    // connection the server ended between two operations is opened again
    // without a failure.
    void serverGoneAndBack()
    {
        QVERIFY(server.psql(QStringLiteral("DROP TABLE IF EXISTS nozioli, nozioli_versione")));
        location = server.uri();
        StoreError made;
        QVERIFY2(ResultsStore::create(location, &made), qPrintable(made.message));
        ResultsStore store;
        QVERIFY(store.open(location));
        QVERIFY(store.save(QStringLiteral("Anna"), totals(1), at(1, 1, 1)));
        QVERIFY(server.psql(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                           "WHERE application_name = 'nozioli'")));
        QVERIFY2(store.save(QStringLiteral("Anna"), totals(2), at(1, 1, 2)), qPrintable(store.lastError().message));

        server.stop();
        QVERIFY(!store.save(QStringLiteral("Anna"), totals(3), at(1, 1, 3)));
        QCOMPARE(store.lastError().kind, StoreError::Unreachable);
        QVERIFY2(store.lastError().message.contains(server.socketFolder())
                     && store.lastError().message.contains(QStringLiteral("non risponde")),
                 qPrintable(store.lastError().message));
        QCOMPARE(store.find(QStringLiteral("Anna"), nullptr), ResultsStore::Lookup::Failed);

        QVERIFY2(server.restart(), qPrintable(server.error()));
        QVERIFY2(store.save(QStringLiteral("Anna"), totals(3), at(1, 1, 3)), qPrintable(store.lastError().message));
        ResultRecord r;
        QCOMPARE(store.find(QStringLiteral("ANNA"), &r), ResultsStore::Lookup::Found);
        QVERIFY(sameTotals(r, totals(3)));
    }

    // A server that refuses the connection says why and what to try; the
    // password never shows.
    void refusedConnections_data()
    {
        QTest::addColumn<QString>("query");         // added to the pupils' role's URI
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("named");
        QTest::newRow("right password") << QStringLiteral("passfile=@pass") << int(StoreError::None) << QString();
        QTest::newRow("wrong password") << QStringLiteral("passfile=@wrong") << int(StoreError::AccessDenied)
                                        << QStringLiteral("password");
        QTest::newRow("no password") << QStringLiteral("passfile=@none") << int(StoreError::AccessDenied)
                                     << QStringLiteral(".pgpass");
        QTest::newRow("no such database") << QStringLiteral("passfile=@pass&dbname=altro")
                                          << int(StoreError::AccessDenied) << QStringLiteral("altro");
    }
    void refusedConnections()
    {
        QFETCH(QString, query);
        QFETCH(int, kind);
        QFETCH(QString, named);
        QVERIFY(server.psql(QStringLiteral("DROP TABLE IF EXISTS nozioli, nozioli_versione;"
                                           "DO $$BEGIN CREATE ROLE alunni LOGIN PASSWORD 'segreta';"
                                           " EXCEPTION WHEN duplicate_object THEN NULL; END$$")));
        StoreError made;
        QVERIFY2(ResultsStore::create(server.uri(), &made, QStringLiteral("alunni")), qPrintable(made.message));
        QTemporaryDir files;
        const auto passfile = [&](const char *name, const QByteArray &password) {
            const QString path = files.filePath(QString::fromLatin1(name));
            QFile f(path);
            if (f.open(QIODevice::WriteOnly))
                f.write(server.socketFolder().toUtf8() + ':' + QByteArray::number(server.port()) + ":*:alunni:" + password + '\n');
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
            return path;
        };
        query.replace(QStringLiteral("@pass"), passfile("giusta", "segreta"));
        query.replace(QStringLiteral("@wrong"), passfile("sbagliata", "sbagliata"));
        query.replace(QStringLiteral("@none"), files.filePath(QStringLiteral("manca")));
        ResultsStore store;
        const bool opened = store.open(server.uriFor(QStringLiteral("alunni"), query));
        QCOMPARE(int(store.lastError().kind), kind);
        QCOMPARE(opened, kind == StoreError::None);
        QVERIFY2(store.lastError().message.contains(named), qPrintable(store.lastError().message));
        QVERIFY(!store.lastError().message.contains(QStringLiteral("segreta")));
        if (!opened)
            return;
        // The pupils' role adds and updates rows, and may change nothing else.
        QVERIFY2(store.save(QStringLiteral("Anna"), totals(1), at(1, 1, 1)), qPrintable(store.lastError().message));
        QVERIFY2(store.save(QStringLiteral("ANNA"), totals(2), at(1, 1, 2)), qPrintable(store.lastError().message));
        QVERIFY(store.saveIfNewer(QStringLiteral("anna"), totals(3), at(1, 1, 3)));
        ResultRecord r;
        QCOMPARE(store.find(QStringLiteral("Anna"), &r), ResultsStore::Lookup::Found);
        QVERIFY(sameTotals(r, totals(3)));
    }

    // A server that takes encrypted connections only: refused without TLS,
    // taken with the school's certificate, refused with another.
    void tlsRequired()
    {
        TestServer tls;
        QVERIFY2(tls.start(true), qPrintable(tls.error()));
        QVERIFY(tls.psql(QStringLiteral("ALTER ROLE maestra PASSWORD 'segreta'")));
        StoreError made;
        QVERIFY2(ResultsStore::create(tls.uri(), &made), qPrintable(made.message));
        QTemporaryDir files;
        const QString pass = files.filePath(QStringLiteral("pass"));
        {
            QFile f(pass);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("*:*:*:maestra:segreta\n");
            f.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        }
        const QString base = tls.tcpUri().replace(QStringLiteral("://"), QStringLiteral("://maestra@"))
            + QStringLiteral("?passfile=") + pass;
        ResultsStore store;
        QVERIFY(!store.open(base + QStringLiteral("&sslmode=disable")));
        QCOMPARE(store.lastError().kind, StoreError::Tls);
        QVERIFY2(store.lastError().message.contains(QStringLiteral("sslmode=verify-full")), qPrintable(store.lastError().message));

        QVERIFY2(store.open(base + QStringLiteral("&sslmode=verify-full&sslrootcert=") + tls.caFile()),
                 qPrintable(store.lastError().message));
        QVERIFY(store.save(QStringLiteral("Anna"), totals(1), at(1, 1, 1)));

        const QString otherCa = files.filePath(QStringLiteral("altra.crt"));
        QVERIFY(QFile::copy(QStringLiteral("/etc/ssl/certs/ca-certificates.crt"), otherCa));
        ResultsStore wrongCa;
        QVERIFY(!wrongCa.open(base + QStringLiteral("&sslmode=verify-full&sslrootcert=") + otherCa));
        QCOMPARE(wrongCa.lastError().kind, StoreError::Tls);
        QVERIFY2(wrongCa.lastError().message.contains(QStringLiteral("certificato")), qPrintable(wrongCa.lastError().message));
    }
};

QTEST_GUILESS_MAIN(TstStoreBackends)
#include "tst_storebackends.moc"
