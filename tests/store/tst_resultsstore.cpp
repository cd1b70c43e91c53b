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
        QTest::addColumn<QByteArray>("content");     // replaces the file; null: keep it
        QTest::addColumn<QStringList>("sql");        // then run on it
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("named");          // part of the message
        const QString noRow;
        QTest::newRow("garbage") << garbage() << QStringList() << int(StoreError::NotAnArchive) << noRow;
        QTest::newRow("Jet database") << jetFile() << QStringList() << int(StoreError::NotAnArchive) << noRow;
        QTest::newRow("empty file") << QByteArray("", 0) << QStringList() << int(StoreError::NotAnArchive) << noRow;
        const auto layout = [&](const char *name, const QStringList &sql, const char *named) {
            QTest::newRow(name) << QByteArray() << sql << int(StoreError::WrongLayout) << QString::fromUtf8(named);
        };
        layout("no table", {QStringLiteral("DROP TABLE nozioli")}, "tabella «nozioli»");
        layout("no index", {QStringLiteral("DROP INDEX nome")}, "indice «nome»");
        layout("index allowing doubles",
               {QStringLiteral("DROP INDEX nome"), QStringLiteral("CREATE INDEX nome ON nozioli(chiave)")},
               "righe doppie");
        layout("newer layout", {QStringLiteral("PRAGMA user_version = 2")}, "versione più recente del programma (struttura 2)");
        layout("layout version -1", {QStringLiteral("PRAGMA user_version = -1")}, "PRAGMA user_version è -1");
        // Code stored in the file, which would run on every archiving.
        layout("AFTER INSERT trigger deleting the other rows",
               {QStringLiteral("CREATE TRIGGER t AFTER INSERT ON nozioli BEGIN "
                               "DELETE FROM nozioli WHERE rowid <> new.rowid; END")},
               "il trigger «t»");
        layout("BEFORE UPDATE trigger rewriting totals",
               {QStringLiteral("CREATE TRIGGER riscrivi BEFORE UPDATE ON nozioli BEGIN "
                               "UPDATE nozioli SET sovragiusti = 0 WHERE rowid <> old.rowid; END")},
               "trigger «riscrivi»");
        layout("INSTEAD OF trigger on a view",
               {QStringLiteral("CREATE VIEW vista AS SELECT * FROM nozioli"),
                QStringLiteral("CREATE TRIGGER invece INSTEAD OF INSERT ON vista BEGIN DELETE FROM nozioli; END")},
               "trigger «invece»");
        layout("endless recursion",
               {QStringLiteral("CREATE VIEW senzafine AS WITH RECURSIVE n(x) AS "
                               "(SELECT 1 UNION ALL SELECT x + 1 FROM n) SELECT x FROM n"),
                QStringLiteral("CREATE TRIGGER giro AFTER INSERT ON nozioli BEGIN "
                               "INSERT INTO nozioli (nome) SELECT x FROM senzafine; END")},
               "trigger «giro»");
        layout("view", {QStringLiteral("CREATE VIEW elenco AS SELECT nome FROM nozioli")}, "la vista «elenco»");
        layout("another table", {QStringLiteral("CREATE TABLE nascosta (nome TEXT)")}, "la tabella «nascosta»");
        layout("another index", {QStringLiteral("CREATE INDEX per_data ON nozioli(data)")}, "indice «per_data»");
        const QString columns = QStringLiteral("nome TEXT, data TEXT, sovragiusti REAL, sovrasbagliati REAL, "
                                               "nozioligiusti REAL, noziolisbagliati REAL, spaziotempogiusti REAL, "
                                               "spaziotemposbagliati REAL, chiave TEXT");
        const auto rebuilt = [&](const QString &table) {
            return QStringList{QStringLiteral("DROP TABLE nozioli"), table,
                               QStringLiteral("CREATE UNIQUE INDEX nome ON nozioli(chiave)")};
        };
        layout("extra NOT NULL column without default",
               rebuilt(QStringLiteral("CREATE TABLE nozioli (%1, classe TEXT NOT NULL)").arg(columns)),
               "campo in più «classe», obbligatorio (NOT NULL) e senza valore predefinito");
        layout("CHECK", rebuilt(QStringLiteral("CREATE TABLE nozioli (%1, CHECK (sovragiusti < 0))").arg(columns)),
               "vincolo CHECK");
        layout("default value", rebuilt(QString(columns).replace(QStringLiteral("data TEXT"),
                                                                 QStringLiteral("data TEXT DEFAULT 'ieri'"))
                                            .prepend(QStringLiteral("CREATE TABLE nozioli ("))
                                            .append(u')')),
               "valore predefinito");
    }

    void openRefuses()
    {
        QFETCH(QByteArray, content);
        QFETCH(QStringList, sql);
        QFETCH(int, kind);
        QFETCH(QString, named);
        if (!content.isNull()) {
            QVERIFY(replaceFile(path, content));
        } else {
            RawDb raw(path);
            for (const QString &s : std::as_const(sql))
                QVERIFY2(raw.exec(s), qPrintable(s));
        }
        const QByteArray before = readBytes(path);
        ResultsStore store;
        QVERIFY2(!store.open(path), "a file that is not a sound archive must not open");
        QCOMPARE(int(store.lastError().kind), kind);
        const QString message = store.lastError().message;
        QVERIFY2(message.contains(QDir::toNativeSeparators(dir->path())) && message.contains(named), qPrintable(message));
        QVERIFY2(!store.listNames(), "a failed open is never reported as an empty list");
        QVERIFY2(!store.save(QStringLiteral("Rossi Mario"), totals(1), at(1, 2, 3)), "nothing is written into it");
        store.close();
        QCOMPARE(readBytes(path), before);
        if (kind == StoreError::WrongLayout) {
            QVERIFY2(message.contains(QStringLiteral("insegnante")), "the teacher is to be asked");
            const QString report = ResultsStore::verify(path).join(u'\n');
            QVERIFY2(report.contains(named), qPrintable(report));
        }
    }

    // A new name adds one complete row; the same name in other capitals
    // replaces its totals and date, keeping the name as first archived.
    void saveWritesOneRowPerName()
    {
        ResultsStore store;
        QVERIFY(store.open(path));
        const QString rowSql = QStringLiteral("SELECT nome, data, sovragiusti, sovrasbagliati, nozioligiusti, "
                                              "noziolisbagliati, spaziotempogiusti, spaziotemposbagliati FROM nozioli");
        QVERIFY2(store.save(QStringLiteral("Rossi Mario"), totals(10), at(7, 8, 9)), qPrintable(store.lastError().message));
        QCOMPARE(RawDb(path).rows(rowSql), (QList<QVariantList>{{QStringLiteral("Rossi Mario"),
                                                                 QStringLiteral("2024-05-06 07:08:09"),
                                                                 11.0, 12.0, 13.0, 14.0, 15.0, 16.0}}));
        QVERIFY(store.save(QStringLiteral("ROSSI MARIO"), totals(20), at(10, 11, 12)));
        QCOMPARE(RawDb(path).rows(rowSql), (QList<QVariantList>{{QStringLiteral("Rossi Mario"),
                                                                 QStringLiteral("2024-05-06 10:11:12"),
                                                                 21.0, 22.0, 23.0, 24.0, 25.0, 26.0}}));
    }

    // Another program changes the schema while the store has the archive
    // open: the next operation checks it again before it runs anything.
    void changedWhileOpen_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("operation");
        QTest::newRow("trigger, then archiving")
            << QStringLiteral("CREATE TRIGGER t AFTER INSERT ON nozioli BEGIN DELETE FROM nozioli WHERE rowid <> new.rowid; END")
            << QStringLiteral("save");
        QTest::newRow("trigger on update, then archiving an archived name")
            << QStringLiteral("CREATE TRIGGER t AFTER UPDATE ON nozioli BEGIN UPDATE nozioli SET nozioligiusti = 0; END")
            << QStringLiteral("update");
        QTest::newRow("view, then listing") << QStringLiteral("CREATE VIEW v AS SELECT * FROM nozioli")
                                            << QStringLiteral("list");
        QTest::newRow("column, then look-up") << QStringLiteral("ALTER TABLE nozioli ADD COLUMN x TEXT")
                                              << QStringLiteral("find");
    }

    void changedWhileOpen()
    {
        QFETCH(QString, sql);
        QFETCH(QString, operation);
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.save(QStringLiteral("Bianchi Anna"), totals(10), at(1, 1, 1)));
        QVERIFY(store.save(QStringLiteral("Rossi Mario"), totals(20), at(1, 1, 1)));
        QVERIFY(RawDb(path).exec(sql));
        const QList<QVariantList> before = RawDb(path).rows(QStringLiteral("SELECT * FROM nozioli ORDER BY rowid"));
        bool done = false;
        if (operation == u"save")
            done = store.save(QStringLiteral("Verdi Ugo"), totals(30), at(2, 2, 2));
        else if (operation == u"update")
            done = store.save(QStringLiteral("Rossi Mario"), totals(30), at(2, 2, 2));
        else if (operation == u"list")
            done = store.listNames().has_value();
        else
            done = store.find(QStringLiteral("Rossi Mario"), nullptr) != ResultsStore::Lookup::Failed;
        QVERIFY2(!done, "an archive changed into one the program does not make is refused");
        QCOMPARE(int(store.lastError().kind), int(StoreError::WrongLayout));
        store.close();
        QCOMPARE(RawDb(path).rows(QStringLiteral("SELECT * FROM nozioli ORDER BY rowid")), before);
    }

    // A statement that would take longer than any sound archive needs is
    // stopped, and the archive is free again at once.
    void workIsBounded()
    {
        {
            RawDb raw(path);
            QVERIFY(raw.exec(QStringLiteral(
                "WITH RECURSIVE n(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM n LIMIT 3000) "
                "INSERT INTO nozioli SELECT 'Alunno ' || x, '2024-01-01 10:00:00', 1, 2, 3, 4, 5, 6, 'alunno ' || x FROM n")));
        }
        ResultsStore store;
        QVERIFY(store.open(path));
        store.setWorkLimitForTesting(5000);
        QVERIFY2(!store.records(), "reading 3000 rows takes more than 5000 steps");
        QCOMPARE(int(store.lastError().kind), int(StoreError::Other));
        QVERIFY2(store.lastError().message.contains(QStringLiteral("troppo lavoro")), qPrintable(store.lastError().message));
        QVERIFY2(RawDb(path).exec(QStringLiteral("BEGIN IMMEDIATE")), "nothing holds the archive");
        // The first rows by key come through the key's index, well within the bound.
        const std::optional<QList<ResultRecord>> first = store.firstRecordsByKey(3);
        QVERIFY2(first, qPrintable(store.lastError().message));
        QStringList firstNames;
        for (const ResultRecord &r : *first)
            firstNames << r.nome;
        QCOMPARE(firstNames, QStringList({QStringLiteral("Alunno 1"), QStringLiteral("Alunno 10"), QStringLiteral("Alunno 100")}));
        store.setWorkLimitForTesting(0);
        QCOMPARE(store.records().value_or(QList<ResultRecord>()).size(), 3000);
    }

    // Another program holding the archive for a moment (another pupil's
    // archiving, a teacher's export) is waited for, not reported as a failure,
    // with or without a listener. The listener hears of the wait at short
    // intervals and of its end once; an operation started from the listener
    // fails at once instead of entering SQLite a second time. Several
    // processes archiving at once are tried by the load test.
    void waitsForABriefLock_data()
    {
        QTest::addColumn<bool>("listening");
        QTest::newRow("no listener") << false;
        QTest::newRow("listener told of the wait") << true;
    }

    void waitsForABriefLock()
    {
        QFETCH(bool, listening);
        struct Listener : LockWaitListener
        {
            ResultsStore *store = nullptr;
            int calls = 0, over = 0, lastMs = -1;
            bool nestedFailed = false;
            void waiting(int elapsedMs) override
            {
                if (calls++ == 0)
                    nestedFailed = !store->listNames() && store->lastError().kind == StoreError::Locked;
                lastMs = elapsedMs;
            }
            void waitOver() override { ++over; }
        } listener;
        ResultsStore store;
        listener.store = &store;
        if (listening)
            store.setLockWaitListener(&listener);
        QVERIFY(store.open(path));
        std::promise<void> held;
        bool locked = false;
        std::thread other([&] {
            RawDb raw(path);
            locked = raw.exec(QStringLiteral("BEGIN EXCLUSIVE"));
            held.set_value();
            QThread::msleep(400);
            raw.exec(QStringLiteral("COMMIT"));
        });
        held.get_future().wait();
        const bool saved = store.save(QStringLiteral("Rossi Mario"), totals(10), at(7, 8, 9));
        other.join();
        QVERIFY2(locked, "the other connection held the archive");
        QVERIFY2(saved, qPrintable(store.lastError().message));
        if (!listening)
            return;
        QVERIFY2(listener.calls >= 5 && listener.lastMs >= 200, qPrintable(QString::number(listener.calls)));
        QCOMPARE(listener.over, 1);
        QVERIFY2(listener.nestedFailed, "no second operation while one waits");
        QVERIFY(store.save(QStringLiteral("Rossi Mario"), totals(11), at(7, 8, 9)));
        QCOMPARE(listener.over, 1);     // no wait, nothing to tell
    }

    void verifyNamesTheProblem_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<QString>("expected");      // part of the report
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
