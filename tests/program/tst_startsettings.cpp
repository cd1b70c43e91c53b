// The program started with settings: the archive of the folder they name, not
// the one of the current folder, and the main window shown as they say.
#include "programharness.h"
#include "testserver.h"

#include "store/pendingresults.h"

#include <QStandardPaths>

class TstStartSettings : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void archiveOfTheSettings()
    {
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive({{QStringLiteral("Rossi Mario"), {}}}));
        QTemporaryDir shared;
        const QString sharedArchive = shared.filePath(ResultsStore::defaultFileName());
        StoreError error;
        QVERIFY(ResultsStore::create(sharedArchive, &error));
        {
            ResultsStore store;
            QVERIFY(store.open(sharedArchive) && store.save(QStringLiteral("Bianchi Anna"), {}, QDateTime::currentDateTime()));
        }

        Settings settings;
        settings.archiveFolder = shared.path();
        QVERIFY(run.start(settings));
        const QAbstractItemModel *names = child<QListView>(run.form(), "List1")->model();
        QCOMPARE(names->rowCount(), 1);
        QCOMPARE(names->index(0, 0).data().toString(), QStringLiteral("Bianchi Anna"));
        run.typeName(QStringLiteral("Verdi Luca"));
        run.answerExerciseSeven();
        run.esci();
        QCOMPARE(run.finished->size(), 1);
        QVERIFY2(!run.row(QStringLiteral("Verdi Luca")), "the current folder's archive is left alone");
        ResultsStore store;
        ResultRecord record;
        QVERIFY(store.open(sharedArchive));
        QCOMPARE(store.find(QStringLiteral("Verdi Luca"), &record), ResultsStore::Lookup::Found);
    }

    // The archive on the server the settings name: the names listed from it,
    // an archiving refused while the server is stopped with the answers kept,
    // and the same button archiving them once it is back.
    void serverOfTheSettings()
    {
        QFile::remove(PendingResults::defaultFilePath());
        TestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        StoreError error;
        QVERIFY2(ResultsStore::create(server.uri(), &error), qPrintable(error.message));
        {
            ResultsStore store;
            QVERIFY(store.open(server.uri()) && store.save(QStringLiteral("Bianchi Anna"), {}, QDateTime::currentDateTime()));
        }
        ProgramRun run;
        Settings settings;
        settings.server = server.uri();
        QVERIFY(run.ready() && run.start(settings));
        const QAbstractItemModel *names = child<QListView>(run.form(), "List1")->model();
        QCOMPARE(names->rowCount(), 1);
        QCOMPARE(names->index(0, 0).data().toString(), QStringLiteral("Bianchi Anna"));
        run.typeName(QStringLiteral("Verdi Luca"));
        run.answerExerciseSeven();
        const QStringList totals = run.counters();

        server.stop();
        run.archivio();
        QCOMPARE(run.dialogs.failures.size(), 1);
        const QString text = run.dialogs.failures.last();
        QVERIFY2(text.startsWith(QStringLiteral("I risultati non sono stati archiviati.")) && text.contains(QStringLiteral("non risponde"))
                     && text.contains(ResultsStore::displayName(server.uri())),
                 qPrintable(text));
        QCOMPARE(run.counters(), totals);
        QVERIFY2(run.finished->isEmpty() && run.main()->isVisible(), "the program stays with the answers");

        QVERIFY2(server.restart(), qPrintable(server.error()));
        run.archivio();
        QCOMPARE(run.dialogs.failures.size(), 1);
        QVERIFY2(run.results() && run.results()->isVisible(), "the results open");
        ResultsStore store;
        ResultRecord record;
        QVERIFY(store.open(server.uri()));
        QCOMPARE(store.find(QStringLiteral("verdi luca"), &record), ResultsStore::Lookup::Found);
        QVERIFY2(run.rowHoldsTotals(record), "the row holds every total of the lesson");
        QVERIFY2(!QFile::exists(run.archivePath()), "no file archive is made beside the server");

        // Leaving while the server is stopped keeps the results on this PC;
        // the next start writes them to the server.
        const ResultRecord first = record;
        clickBox(child(run.main(), "Check5"));     // one more concept answer
        // Kept results replace only an older moment, to the second.
        QTRY_VERIFY(QDateTime::currentSecsSinceEpoch() > first.data.toSecsSinceEpoch());
        server.stop();
        run.dialogs.exitChoices = {Dialogs::ExitChoice::LeaveKeepingResults};
        run.esci();
        QVERIFY(run.program->hasEnded());
        QVERIFY2(!PendingResults().isEmpty(), "the results are kept on this PC");
        QVERIFY2(server.restart(), qPrintable(server.error()));
        ProgramRun next;
        QVERIFY(next.ready() && next.start(settings));
        QVERIFY2(PendingResults().isEmpty(), "a written record is no longer kept");
        QCOMPARE(store.find(QStringLiteral("Verdi Luca"), &record), ResultsStore::Lookup::Found);
        const auto answers = [](const ResultRecord &r) {
            double sum = 0;
            for (const TotalField &f : totalFields)
                sum += r.*f.recorded;
            return sum;
        };
        QCOMPARE(answers(record), answers(first) + 1);
        QVERIFY(next.dialogs.failures.isEmpty());
    }

    void windowMode_data()
    {
        QTest::addColumn<std::optional<bool>>("setting");
        QTest::addColumn<bool>("fullScreen");
        QTest::newRow("unset: maximized, with its title bar") << std::optional<bool>() << false;
        QTest::newRow("true: full-screen") << std::optional<bool>(true) << true;
        QTest::newRow("false: maximized") << std::optional<bool>(false) << false;
    }

    void windowMode()
    {
        QFETCH(std::optional<bool>, setting);
        QFETCH(bool, fullScreen);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive());
        Settings settings;
        settings.fullScreen = setting;
        QVERIFY(run.start(settings));
        run.typeName(QStringLiteral("Rossi Mario"));
        QVERIFY(run.main() && run.main()->isVisible());
        QCOMPARE(run.main()->isFullScreen(), fullScreen);
        QCOMPARE(run.main()->isMaximized(), !fullScreen);
    }
};

QTEST_MAIN(TstStartSettings)
#include "tst_startsettings.moc"
