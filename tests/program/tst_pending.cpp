// Results kept on this PC when archiving failed on the way out, and applied
// to the archive at a later start; exits that archive only what changed.
#include "programharness.h"

#include "store/pendingresults.h"

namespace {

const QString rossi = QStringLiteral("Rossi Mario");

ArchiveTotals totalsOf(qint64 base)
{
    ArchiveTotals t;
    qint64 v = base;
    for (const TotalField &f : totalFields)
        t.*f.archived = v++;
    return t;
}

QDateTime at(int hour)
{
    return QDateTime(QDate(2025, 5, 6), QTime(hour, 0, 0));
}

} // namespace

class TstPending : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpProgramTest(); }

    void init()
    {
        QFile::remove(PendingResults::defaultFilePath());
    }

    // The archive goes away during a session: "Esci" offers to try again or
    // to leave keeping the results; leaving ends the program, and the next
    // start writes them. Closing the dialog stays, with nothing kept.
    void exitWithArchiveGone_data()
    {
        QTest::addColumn<QList<Dialogs::ExitChoice>>("choices");
        QTest::addColumn<bool>("leaves");
        QTest::newRow("retry fails, then leave keeping the results")
            << QList<Dialogs::ExitChoice>{Dialogs::ExitChoice::Retry, Dialogs::ExitChoice::LeaveKeepingResults} << true;
        QTest::newRow("dialog closed: the program stays") << QList<Dialogs::ExitChoice>{} << false;
    }

    void exitWithArchiveGone()
    {
        QFETCH(QList<Dialogs::ExitChoice>, choices);
        QFETCH(bool, leaves);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive());
        QVERIFY(run.start());
        run.typeName(rossi);
        run.answerExerciseSeven();
        QVERIFY(QFile::remove(run.archivePath()));

        run.dialogs.exitChoices = choices;
        run.esci();
        QCOMPARE(run.program->hasEnded(), leaves);
        QCOMPARE(run.dialogs.failures.size(), qMax(1, int(choices.size())));   // each try said why
        if (!leaves) {
            QVERIFY(PendingResults().isEmpty());
            return;
        }
        const std::optional<QList<PendingResults::Record>> kept = PendingResults().load();
        QVERIFY(kept && kept->size() == 1);
        QCOMPARE(kept->first().nome, rossi);
        QCOMPARE(kept->first().totals.sovragiusti, 1);

        QVERIFY(run.createArchive());
        QVERIFY(run.start());
        const std::optional<ResultRecord> row = run.row(rossi);
        QVERIFY2(row, "the next start writes the kept record into the archive");
        QCOMPARE(row->nozioligiusti, 1.0);
        QCOMPARE(row->sovrasbagliati, 1.0);
        QVERIFY2(PendingResults().isEmpty(), "a written record is no longer kept");
        QVERIFY2(run.form()->isVisible() && run.dialogs.failures.size() == 2, "nothing more is said");
    }

    // Each record is applied only over an older moment; of two records of one
    // name (in any spelling) the newer is kept.
    void newerWins_data()
    {
        QTest::addColumn<QDateTime>("archived");
        QTest::addColumn<QList<QDateTime>>("kept");
        QTest::addColumn<int>("expectedBase");      // 0: the archived row stays
        QTest::newRow("kept record newer than the row") << at(9) << QList<QDateTime>{at(10)} << 10;
        QTest::newRow("kept record older than the row") << at(11) << QList<QDateTime>{at(10)} << 0;
        QTest::newRow("same moment: nothing rewritten") << at(10) << QList<QDateTime>{at(10)} << 0;
        QTest::newRow("two kept, newer first") << at(8) << QList<QDateTime>{at(10), at(9)} << 10;
        QTest::newRow("two kept, newer last") << at(8) << QList<QDateTime>{at(9), at(10)} << 10;
    }

    void newerWins()
    {
        QFETCH(QDateTime, archived);
        QFETCH(QList<QDateTime>, kept);
        QFETCH(int, expectedBase);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive());
        ResultsStore store;
        QVERIFY(store.open(run.archivePath()));
        QVERIFY(store.save(rossi, totalsOf(0), archived));

        PendingResults pending;
        bool upper = false;
        for (const QDateTime &when : kept) {
            const QString name = upper ? rossi.toUpper() : rossi;
            QVERIFY(pending.add({name, when, totalsOf(when.time().hour())}));
            upper = !upper;
        }
        QCOMPARE(pending.load()->size(), 1);
        QCOMPARE(pending.applyTo(store), 1);
        QVERIFY(pending.isEmpty());
        ResultRecord row;
        QCOMPARE(store.find(rossi, &row), ResultsStore::Lookup::Found);
        QCOMPARE(row.spaziotempogiusti, double(expectedBase));
        QCOMPARE(store.records()->size(), 1);
    }

    // "Esco" on the pupil window after an archiving with nothing new leaves
    // the row as it was, moment included.
    void escoWritesOnlyWhatChanged()
    {
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive());
        QVERIFY(run.start());
        run.typeName(rossi);
        run.answerExerciseSeven();
        run.archivio();
        QVERIFY(run.row(rossi));
        QFile file(run.archivePath());
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray before = file.readAll();
        file.close();
        click(child(run.results(), "Labesci"));
        QVERIFY(run.program->hasEnded());
        QVERIFY(file.open(QIODevice::ReadOnly));
        QVERIFY2(file.readAll() == before, "nothing was written: not even the moment changed");
    }
};

QTEST_MAIN(TstPending)
#include "tst_pending.moc"
