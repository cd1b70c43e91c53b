// The whole program around a temporary archive, dialogs answered by a fake:
// from the pupil window through the main window to the archive and the
// results window, look-ups, exits and close controls, and failures of the
// archive that must not lose the pupil's answers.
#include "play/clicklabel.h"
#include "play/colours.h"
#include "programharness.h"


namespace {

const QString rossi = QStringLiteral("Rossi Mario");
const QString bianchi = QStringLiteral("Bianchi Anna");

ArchiveTotals totals(qint64 sovra, qint64 sovraWrong, qint64 nozioli, qint64 nozioliWrong, qint64 st, qint64 stWrong)
{
    return ArchiveTotals {sovra, sovraWrong, nozioli, nozioliWrong, st, stWrong};
}

} // namespace

class TstProgram : public QObject
{
    Q_OBJECT

    std::unique_ptr<ProgramRun> run;

    FormNOME *form() const { return run->form(); }
    FNozioli *main() const { return run->main(); }
    Risultati *results() const { return run->results(); }
    const FakeDialogs &dialogs() const { return run->dialogs; }

    QString counter(ScoreSheet::Counter c) const
    {
        return caption(main(), ScoreSheet::labelName(c));
    }

    // The archive with these rows, the program started on it, the name
    // "Rossi Mario" typed and exercise 7 answered as in the worked example.
    void startAsRossi(const QList<std::pair<QString, ArchiveTotals>> &rows = {})
    {
        QVERIFY(run->createArchive(rows) && run->start());
        run->typeName(rossi);
        QVERIFY2(main() && main()->isVisible(), "a typed name opens the main window");
        run->answerExerciseSeven();
    }

private slots:
    void initTestCase() { setUpProgramTest(); }

    void init()
    {
        run = std::make_unique<ProgramRun>();
        QVERIFY(run->ready());
    }

    void cleanup() { run.reset(); }

    void workedExampleFromNameToResults()
    {
        startAsRossi();
        QVERIFY2(!form()->isVisible(), "the pupil window hides once the name is given");
        QCOMPARE(run->program->pupilName(), rossi);
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        run->archivio();
        const std::optional<ResultRecord> r = run->row(rossi);
        QVERIFY2(r, "the first archiving adds the pupil's row");
        QCOMPARE(QList<double>({r->sovragiusti, r->sovrasbagliati, r->nozioligiusti, r->noziolisbagliati,
                                r->spaziotempogiusti, r->spaziotemposbagliati}),
                 QList<double>({1, 1, 1, 0, 1, 0}));
        QVERIFY2(r->data >= before && r->data <= QDateTime::currentDateTime().addSecs(1), "the moment of archiving");

        QVERIFY2(results() && results()->isVisible() && main()->isVisible(), "results open over the main window");
        QCOMPARE(caption(results(), "LabNOME"), rossi);
        QCOMPARE(gridRows(results()), expectedGrid(*r));
        QVERIFY(dialogs().messages.isEmpty() && dialogs().failures.isEmpty());
        QCOMPARE(counter(ScoreSheet::sovragiusti), QStringLiteral("1"));   // the exercise goes on as it was

        click(child(results(), "Labtorna"));
        QVERIFY(!results()->isVisible());
        clickBox(child(main(), "Check5"));
        run->esci();
        QCOMPARE(run->finished->count(), 1);
        QCOMPARE(run->finished->first().first().toInt(), 0);
        QVERIFY2(!main()->isVisible() && !form()->isVisible(), "no window is left once the program ends");
        QVERIFY2(!run->program->resultsDb().isOpen(), "the archive is closed");
        QCOMPARE(run->records().size(), 1);
        QCOMPARE(run->row(rossi)->spaziotempogiusti + run->row(rossi)->spaziotemposbagliati, 2.0);
    }

    void typedNameAndCancel()
    {
        QVERIFY(run->createArchive({{bianchi, totals(1, 0, 0, 0, 0, 0)}}) && run->start());
        run->clickListEntry(0);
        click(child(form(), "cmdNOME"));   // Cancel
        QCOMPARE(dialogs().prompts, QStringList {FormNOME::namePrompt()});
        QVERIFY2(FormNOME::namePrompt().count(QStringLiteral("\n\r")) == 2 && !FormNOME::namePrompt().contains(u"\r\n"),
                 "each line break of the prompt is a line feed, then a carriage return");
        QCOMPARE(run->program->pupilName(), QStringLiteral("Anonimo"));
        QVERIFY2(form()->isVisible() && !main(), "Cancel stays on the pupil window");
        QCOMPARE(caption(form(), "LabNOME"), bianchi);
        QVERIFY2(child(form(), "CmdOK")->isVisible(), "the clicked name is still offered");

        run->typeName(QStringLiteral(" De  Luca   Anna "));
        QCOMPARE(run->program->pupilName(), QStringLiteral("De Luca Anna"));
        QVERIFY2(main() && main()->isVisible() && !form()->isVisible(), "a typed name goes on to the main window");
        QVERIFY2(!child(form(), "CmdOK")->isHidden(), "typing leaves LabNOME and CmdOK as they were");
    }

    void emptyArchiveListsNothing()
    {
        QVERIFY(run->createArchive() && run->start());
        QVERIFY(form()->isVisible());
        QCOMPARE(form()->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(child<QListView>(form(), "List1")->model()->rowCount(), 0);
        QVERIFY2(!child(form(), "CmdOK")->isVisible() && child(form(), "Label7")->isVisible(), "nothing to confirm");
        QVERIFY(child(form(), "LabNOME")->isVisible() && caption(form(), "LabNOME").isEmpty());
        QVERIFY(dialogs().messages.isEmpty() && dialogs().failures.isEmpty());
    }

    void listClickThenOk()
    {
        QVERIFY(run->createArchive({{QStringLiteral("verdi luca"), totals(1, 0, 0, 0, 0, 0)},
                                    {QStringLiteral("Bianchi  Anna "), totals(2, 0, 0, 0, 0, 0)}})
                && run->start());
        auto *list = child<QListView>(form(), "List1");
        QCOMPARE(list->model()->rowCount(), 2);
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("verdi luca"));   // table order
        run->clickListEntry(0);
        run->clickListEntry(1);
        QCOMPARE(run->program->pupilName(), QStringLiteral("Bianchi  Anna "));   // as stored, not tidied
        QCOMPARE(caption(form(), "LabNOME"), QStringLiteral("Bianchi  Anna "));
        QVERIFY(child(form(), "CmdOK")->isVisible());

        click(child(form(), "CmdOK"));
        QVERIFY2(main() && main()->isVisible() && !form()->isVisible(), "CmdOK goes on to the main window");
        QVERIFY2(child(form(), "LabNOME")->isHidden() && child(form(), "CmdOK")->isHidden(),
                 "a later showing starts with neither");
        QCOMPARE(caption(form(), "LabNOME"), QString());
    }

    void skipTestLeadsToNomeNonTrovato()
    {
        QVERIFY(run->createArchive() && run->start());
        run->typeName(rossi);
        clickBox(child(main(), "Check1"));   // space-time answers alone are not archived
        run->archivio();
        QVERIFY2(run->records().isEmpty(), "the skip test writes nothing");
        QCOMPARE(dialogs().messages, QStringList {QStringLiteral("Nome non trovato")});
        QVERIFY(results()->isVisible());
        QCOMPARE(caption(results(), "LabNOME"), rossi);
        QCOMPARE(gridRows(results()), QStringList(4, QStringLiteral("|||")));
    }

    void lookUpsThenTorna()
    {
        startAsRossi({{bianchi, totals(4, 1, 6, 2, 3, 5)}, {QStringLiteral("Verdi Luca"), totals(9, 0, 9, 0, 9, 0)}});
        run->archivio();
        const QStringList own = gridRows(results());

        run->lookUp(QStringLiteral("  bianchi "), QStringLiteral(" anna"));   // small letters, spaces around
        QCOMPARE(results()->shownName(), QStringLiteral("BIANCHI ANNA"));
        QCOMPARE(caption(results(), "LabNOME"), QStringLiteral("BIANCHI ANNA"));
        QCOMPARE(gridRows(results()), expectedGrid(*run->row(bianchi)));
        QCOMPARE(run->program->pupilName(), rossi);

        run->lookUp(QStringLiteral("Verdi"), QStringLiteral("Luca"));
        const QStringList verdi = gridRows(results());
        QCOMPARE(verdi, expectedGrid(*run->row(QStringLiteral("Verdi Luca"))));
        run->lookUp(QStringLiteral("Verdi"), QString());   // the key ends with a space: nobody
        QCOMPARE(results()->shownName(), QStringLiteral("VERDI "));
        QCOMPARE(dialogs().messages, QStringList {QStringLiteral("Nome non trovato")});
        QVERIFY2(gridRows(results()) == clearedGrid(), "no other pupil's numbers under the name not found");
        QCOMPARE(caption(results(), "LabNOME"), QStringLiteral("VERDI "));
        run->lookUp(QStringLiteral("  "), QString());
        QCOMPARE(dialogs().messages.last(), QStringLiteral("Il tuo nome non è completo.."));
        QCOMPARE(results()->shownName(), QStringLiteral("VERDI "));

        click(child(results(), "Labtorna"));
        QVERIFY2(!results()->isVisible() && main()->isVisible(), "TORNA goes back to the main window");
        QCOMPARE(results()->shownName(), rossi);
        run->archivio();
        QCOMPARE(gridRows(results()), own);
        QCOMPARE(caption(results(), "LabNOME"), rossi);
    }

    void archivingWhileAnotherPupilIsShownWritesUnderOwnName()
    {
        startAsRossi({{bianchi, totals(4, 1, 6, 2, 3, 5)}});
        run->archivio();
        run->lookUp(QStringLiteral("Bianchi"), QStringLiteral("Anna"));
        const ResultRecord before = *run->row(bianchi);
        click(child(main(), "Labavvenimenti"));   // the main window stays usable behind
        run->archivio();
        QCOMPARE(run->row(rossi)->sovragiusti, 2.0);
        QCOMPARE(caption(results(), "LabNOME"), rossi);

        run->lookUp(QStringLiteral("Bianchi"), QStringLiteral("Anna"));
        run->esci();
        QCOMPARE(run->finished->count(), 1);
        QVERIFY2(run->row(bianchi)->sovragiusti == before.sovragiusti && run->row(bianchi)->data == before.data,
                 "the other pupil's row is never written");
    }

    void missingArchiveEndsAtStart()
    {
        QVERIFY(!run->start());
        QCOMPARE(run->finished->count(), 1);
        QCOMPARE(run->finished->first().first().toInt(), Module1::ExitArchiveUnavailable);
        QCOMPARE(dialogs().failures.size(), 1);
        const QString text = dialogs().failures.first();
        QVERIFY2(text.contains(QStringLiteral("nozioli.mdb")) && text.contains(QDir::toNativeSeparators(run->folder()))
                     && text.contains(QStringLiteral("nozioli-archivio crea")),
                 qPrintable(text));
        QVERIFY2(!form()->isVisible() && !main(), "no window is left");
        QVERIFY2(!QFile::exists(run->archivePath()), "the program creates no archive");
    }

    // A look-up that cannot read the archive (deleted, then garbage) reports
    // the failure, never "Nome non trovato", and leaves the grid as it was;
    // once the archive is back, look-ups work again.
    void storeFailureWhileReadingIsReported()
    {
        startAsRossi();
        run->archivio();
        const QStringList own = gridRows(results());
        const QString path = run->archivePath();
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray good = file.readAll();
        file.close();
        QVERIFY(QFile::remove(path));   // the open connection would still read the deleted file
        run->lookUp(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QCOMPARE(dialogs().failures.size(), 1);
        const QString missing = dialogs().failures.last();
        QVERIFY2(missing.contains(QStringLiteral("non si trova")), qPrintable(missing));
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(QByteArray(8192, 'x')) == 8192);
        file.close();
        run->lookUp(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QCOMPARE(dialogs().failures.size(), 2);
        QVERIFY2(dialogs().messages.isEmpty(), "a failure is not \"Nome non trovato\"");
        QCOMPARE(gridRows(results()), own);
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(good) == good.size());
        file.close();
        run->lookUp(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QCOMPARE(dialogs().failures.size(), 2);
        QCOMPARE(gridRows(results()), own);
    }

    void exitsAndCloseControls_data()
    {
        QTest::addColumn<QString>("how");
        for (const char *how : {"cmdesci", "FormNOME close", "Risultati Labesci", "Risultati close", "fnozioli close"})
            QTest::newRow(how) << QString::fromUtf8(how);
    }

    void exitsAndCloseControls()
    {
        QFETCH(QString, how);
        QVERIFY(run->createArchive() && run->start());
        if (how == u"cmdesci" || how == u"FormNOME close") {
            how == u"cmdesci" ? click(child(form(), "cmdesci")) : closeFromWindowSystem(form());
            QCOMPARE(run->finished->count(), 1);
            QVERIFY(!form()->isVisible() && !run->program->resultsDb().isOpen());
            return;
        }
        run->typeName(rossi);
        run->answerExerciseSeven();
        if (how == u"fnozioli close") {
            closeFromWindowSystem(main());
            QCOMPARE(run->finished->count(), 1);
            QVERIFY2(run->row(rossi), "closing the main window archives like Esci");
            return;
        }
        run->archivio();
        clickBox(child(main(), "Check5"));
        if (how == u"Risultati Labesci") {
            click(child(results(), "Labesci"));
            QCOMPARE(run->finished->count(), 1);
            QVERIFY(!results()->isVisible() && !main()->isVisible());
            QVERIFY2(run->row(rossi)->spaziotempogiusti + run->row(rossi)->spaziotemposbagliati == 2.0,
                     "the answer given after the last archiving is archived on the way out");
            return;
        }
        run->lookUp(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        closeFromWindowSystem(results());
        QVERIFY2(run->finished->isEmpty(), "closing the results window goes back like TORNA");
        QVERIFY(!results()->isVisible() && main()->isVisible());
        QCOMPARE(results()->shownName(), rossi);
    }

    void resultsHighlightingAndScale()
    {
        startAsRossi();
        run->archivio();
        auto *cerca = child<ClickLabel>(results(), "LabCERCA");
        auto *torna = child<ClickLabel>(results(), "Labtorna");
        const QPoint background = child(results(), "Shape1")->geometry().center() + QPoint(0, 2);
        QVERIFY2(!results()->childAt(background), "the frame Shape1 counts as background");
        QCOMPARE(colours::text(cerca), colours::lightBlue);
        // Moves through the window system, as the pointer makes them.
        const auto pointAt = [this](QPoint point) { QTest::mouseMove(results()->windowHandle(), point); };
        pointAt(cerca->geometry().center());
        QCOMPARE(colours::text(cerca), colours::red);
        pointAt(torna->geometry().center());
        pointAt(child(results(), "Label5")->geometry().center());   // a label is no background
        QCOMPARE(colours::text(torna), colours::red);
        QCOMPARE(colours::text(cerca), colours::red);
        pointAt(background);
        QCOMPARE(colours::text(cerca), QColor(192, 192, 192));
        QCOMPARE(colours::text(torna), QColor(255, 192, 255));

        // Fitting the screen is checked with every window in tst_badnames.
        QVERIFY(form()->mapping().scale() <= main()->mapping().scale());
        QVERIFY(results()->mapping().scale() <= main()->mapping().scale());
    }
};

QTEST_MAIN(TstProgram)
#include "tst_program.moc"
