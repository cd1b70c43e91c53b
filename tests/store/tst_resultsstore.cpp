// The results archive on real files: creating, opening, rows, names, waiting
// for a lock, checking.
#include "archivefixture.h"

#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <future>
#include <thread>

class TstResultsStore : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path;

    static QDateTime at(int h, int m, int s) { return QDateTime(QDate(2024, 5, 6), QTime(h, m, s)); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        const QString problem = newArchiveFolder(dir, path, true);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void createMakesAnEmptyArchive()
    {
        QCOMPARE(QDir(dir->path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 QStringList{QStringLiteral("nozioli.mdb")});
        QVERIFY2(ResultsStore::verify(path).isEmpty(), qPrintable(ResultsStore::verify(path).join(u'\n')));
        QCOMPARE(RawDb(path).value(QStringLiteral("PRAGMA user_version")).toInt(), ResultsStore::LayoutVersion);
        ResultsStore store;
        QVERIFY2(store.open(path), qPrintable(store.lastError().message));
        const std::optional<QStringList> names = store.listNames();
        QVERIFY2(names && names->isEmpty(), "an empty table gives an empty list, not a failure");
        // Refusing to replace an archive is tried with the archive tool.
        StoreError e;
        QVERIFY(!ResultsStore::create(dir->filePath(QStringLiteral("manca/nozioli.mdb")), &e));
        QCOMPARE(e.kind, StoreError::Missing);
    }

    void openRefuses_data()
    {
        QTest::addColumn<QByteArray>("content");     // replaces the file; empty: keep it
        QTest::addColumn<QString>("sql");            // then run on it
        QTest::addColumn<int>("kind");
        QTest::newRow("garbage") << garbage() << QString() << int(StoreError::NotAnArchive);
        QTest::newRow("Jet database") << jetFile() << QString() << int(StoreError::NotAnArchive);
        QTest::newRow("empty file") << QByteArray("", 0) << QStringLiteral("empty") << int(StoreError::NotAnArchive);
        QTest::newRow("no table") << QByteArray() << QStringLiteral("DROP TABLE nozioli") << int(StoreError::WrongLayout);
        QTest::newRow("no index") << QByteArray() << QStringLiteral("DROP INDEX nome") << int(StoreError::WrongLayout);
        QTest::newRow("index allowing doubles")
            << QByteArray() << QStringLiteral("DROP INDEX nome; CREATE INDEX nome ON nozioli(chiave)")
            << int(StoreError::WrongLayout);
        QTest::newRow("newer layout") << QByteArray() << QStringLiteral("PRAGMA user_version = 2")
                                      << int(StoreError::WrongLayout);
    }

    void openRefuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, sql);
        QFETCH(int, kind);
        if (sql == u"empty")
            overwriteFile(path, {});
        else if (!content.isEmpty())
            replaceFile(path, content);
        else {
            RawDb raw(path);
            for (const QString &s : sql.split(u';'))
                QVERIFY(raw.exec(s));
        }
        const QByteArray before = readBytes(path);
        ResultsStore store;
        QVERIFY2(!store.open(path), "a file that is not a sound archive must not open");
        QCOMPARE(int(store.lastError().kind), kind);
        QVERIFY2(store.lastError().message.contains(QDir::toNativeSeparators(dir->path())),
                 "the message names the folder");
        QVERIFY2(!store.listNames(), "a failed open is never reported as an empty list");
        store.close();
        QCOMPARE(readBytes(path), before);
    }

    void newNameAddsOneCompleteRow()
    {
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY2(store.save(QStringLiteral("Rossi Mario"), totals(10), at(7, 8, 9)), qPrintable(store.lastError().message));
        store.close();
        const QList<QVariantList> rows = RawDb(path).rows(QStringLiteral(
            "SELECT nome, data, sovragiusti, sovrasbagliati, nozioligiusti, noziolisbagliati, "
            "spaziotempogiusti, spaziotemposbagliati FROM nozioli"));
        QCOMPARE(rows.size(), 1);
        const QVariantList expected{QStringLiteral("Rossi Mario"), QStringLiteral("2024-05-06 07:08:09"),
                                    11.0, 12.0, 13.0, 14.0, 15.0, 16.0};
        QCOMPARE(rows.first(), expected);
    }

    void sameNameOverwrites()
    {
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.save(QStringLiteral("Rossi Mario"), totals(10), at(7, 8, 9)));
        QVERIFY(store.save(QStringLiteral("ROSSI MARIO"), totals(20), at(10, 11, 12)));
        ResultRecord r;
        QCOMPARE(store.find(QStringLiteral("rossi mario"), &r), ResultsStore::Lookup::Found);
        QCOMPARE(r.nome, QStringLiteral("Rossi Mario"));     // kept as first archived
        QVERIFY2(sameTotals(r, totals(20)), "the second archiving replaces the totals");
        QCOMPARE(r.data, at(10, 11, 12));
        store.close();
        QCOMPARE(RawDb(path).value(QStringLiteral("SELECT count(*) FROM nozioli")).toInt(), 1);
    }

    // Another program holding the archive for a moment (another pupil's
    // archiving, a teacher's export) is waited for, not reported as a failure.
    // Several processes archiving at once are tried by the load test.
    void waitsForABriefLock()
    {
        ResultsStore store;
        QVERIFY(store.open(path));
        std::promise<void> held;
        bool locked = false;
        std::thread other([&] {
            RawDb raw(path);
            locked = raw.exec(QStringLiteral("BEGIN EXCLUSIVE"));
            held.set_value();
            QThread::msleep(300);
            raw.exec(QStringLiteral("COMMIT"));
        });
        held.get_future().wait();
        const bool saved = store.save(QStringLiteral("Rossi Mario"), totals(10), at(7, 8, 9));
        other.join();
        QVERIFY2(locked, "the other connection held the archive");
        QVERIFY2(saved, qPrintable(store.lastError().message));
    }

    void findIgnoresCase_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("searched");
        QTest::addColumn<bool>("found");
        QTest::newRow("capitals") << QStringLiteral("Rossi Mario") << QStringLiteral("ROSSI MARIO") << true;
        QTest::newRow("accented capitals") << QString::fromUtf8("Niccolò Bianchi") << QString::fromUtf8("NICCOLÒ BIANCHI") << true;
        QTest::newRow("decomposed accent") << QString::fromUtf8("Niccolò") << QString::fromUtf16(u"NICCOLO\u0300") << true;
        QTest::newRow("sharp s") << QString::fromUtf8("Großi") << QStringLiteral("GROSSI") << true;
        QTest::newRow("final sigma") << QString::fromUtf8("Οδυσσεύς") << QString::fromUtf8("ΟΔΥΣΣΕΎΣ") << true;
        QTest::newRow("dotless i stays apart") << QString::fromUtf8("Işık") << QStringLiteral("ISIK") << false;
        QTest::newRow("other spacing") << QStringLiteral("Rossi Mario") << QStringLiteral("Rossi  Mario") << false;
        QTest::newRow("wildcards match nothing") << QStringLiteral("Ross_ %") << QStringLiteral("Rossi Mario") << false;
        QTest::newRow("prefix") << QStringLiteral("Rossi Mario") << QStringLiteral("Rossi") << false;
    }

    void findIgnoresCase()
    {
        QFETCH(QString, stored);
        QFETCH(QString, searched);
        QFETCH(bool, found);
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.save(stored, totals(1), at(1, 2, 3)));
        ResultRecord r;
        QCOMPARE(store.find(searched, &r), found ? ResultsStore::Lookup::Found : ResultsStore::Lookup::NotFound);
        if (found) {
            QCOMPARE(r.nome, stored);
            QVERIFY(sameTotals(r, totals(1)));
        }
    }

    void namesInTableOrder()
    {
        ResultsStore store;
        QVERIFY(store.open(path));
        const QStringList order{QStringLiteral("Zeta"), QStringLiteral("alfa"), QStringLiteral("Mario"),
                                QStringLiteral("Beta")};
        for (const QString &n : order)
            QVERIFY(store.save(n, totals(0), at(1, 1, 1)));
        QVERIFY(store.save(QStringLiteral("ALFA"), totals(5), at(2, 2, 2)));
        {
            RawDb raw(path);    // rows written by another program, without a name
            QVERIFY(raw.exec(QStringLiteral("INSERT INTO nozioli (nome, chiave) VALUES ('', 'a')")));
            QVERIFY(raw.exec(QStringLiteral("INSERT INTO nozioli (nome, chiave) VALUES (NULL, 'b')")));
        }
        QCOMPARE(store.listNames().value_or(QStringList{QStringLiteral("failed")}), order);
    }

    void namesRoundTrip_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("quotes") << QStringLiteral("D'Amico \"Gigi\" `x`");
        QTest::newRow("SQL text") << QStringLiteral("x'); DROP TABLE nozioli; --");
        QTest::newRow("percent and underscore") << QStringLiteral("100% _Rossi_");
        QTest::newRow("backslash") << QStringLiteral("C:\\Rossi\\n");
        // Control characters, emoji, right-to-left text, only spaces and 10,000
        // characters go all the way through the windows in tst_badnames.
    }

    void namesRoundTrip()
    {
        QFETCH(QString, name);
        {
            ResultsStore store;
            QVERIFY(store.open(path));
            QVERIFY(store.save(QStringLiteral("Primo"), totals(0), at(1, 1, 1)));
            QVERIFY2(store.save(name, totals(3), at(1, 1, 1)), qPrintable(store.lastError().message));
            QVERIFY(store.save(name, totals(4), at(1, 1, 2)));
        }
        ResultsStore store;
        QVERIFY(store.open(path));
        QCOMPARE(store.listNames().value_or(QStringList()), (QStringList{QStringLiteral("Primo"), name}));
        ResultRecord r;
        QCOMPARE(store.find(name, &r), ResultsStore::Lookup::Found);
        QCOMPARE(r.nome, name);
        QVERIFY(sameTotals(r, totals(4)));
        QCOMPARE(store.find(name.toUpper(), &r), ResultsStore::Lookup::Found);
    }

    void emptyNameIsRefused()
    {
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY2(!store.save(QString(), totals(1), at(1, 1, 1)), "a row without a name could never be listed");
        QVERIFY(!store.lastError().message.isEmpty());
        QCOMPARE(store.listNames().value_or(QStringList{QStringLiteral("failed")}), QStringList());
    }

    void verifyNamesTheProblem_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");      // part of the report
        QTest::newRow("no table") << QStringLiteral("DROP TABLE nozioli") << QString::fromUtf8("tabella «nozioli»");
        QTest::newRow("missing field") << QStringLiteral("ALTER TABLE nozioli DROP COLUMN data")
                                       << QString::fromUtf8("campo «data»");
        QTest::newRow("no version") << QStringLiteral("PRAGMA user_version = 0") << QStringLiteral("user_version");
        QTest::newRow("duplicate names")
            << QStringLiteral("DROP INDEX nome; INSERT INTO nozioli VALUES ('Rossi', '2024-01-01 10:00:00', 1, 1, 1, 1, 1, 1, "
                              "'rossi'); INSERT INTO nozioli VALUES ('ROSSI', '2024-01-01 10:00:00', 1, 1, 1, 1, 1, 1, 'rossi')")
            << QString::fromUtf8("«Rossi» compare in 2 righe");
        QTest::newRow("row without name")
            << QStringLiteral("INSERT INTO nozioli VALUES ('', '2024-01-01 10:00:00', 1, 1, 1, 1, 1, 1, '')")
            << QStringLiteral("senza nome");
        QTest::newRow("key not matching")
            << QStringLiteral("INSERT INTO nozioli VALUES ('Rossi', '2024-01-01 10:00:00', 1, 1, 1, 1, 1, 1, 'Rossi')")
            << QString::fromUtf8("«chiave»");
        QTest::newRow("bad total")
            << QStringLiteral("INSERT INTO nozioli VALUES ('Rossi', '2024-01-01 10:00:00', 1, -1, 1, 1.5, 1, 1, 'rossi')")
            << QStringLiteral("totali");
        QTest::newRow("bad date")
            << QStringLiteral("INSERT INTO nozioli VALUES ('Rossi', 'ieri', 1, 1, 1, 1, 1, 1, 'rossi')")
            << QString::fromUtf8("«data»");
        QTest::newRow("missing") << QStringLiteral("remove") << QStringLiteral("non si trova");
    }

    void verifyNamesTheProblem()
    {
        QFETCH(QString, sql);
        QFETCH(QString, expected);
        if (sql == u"remove") {
            QFile::remove(path);
        } else {
            RawDb raw(path);
            for (const QString &s : sql.split(u';'))
                QVERIFY2(raw.exec(s), qPrintable(s));
        }
        const QString report = ResultsStore::verify(path).join(u'\n');
        QVERIFY2(report.contains(expected), qPrintable(report));
    }
};

QTEST_GUILESS_MAIN(TstResultsStore)
#include "tst_resultsstore.moc"
