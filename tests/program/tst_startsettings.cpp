// The program started with settings: the archive of the folder they name, not
// the one of the current folder, and the main window shown as they say.
#include "programharness.h"

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
