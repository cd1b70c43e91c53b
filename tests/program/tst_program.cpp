// The whole program around a temporary archive, dialogs answered by a fake:
// from the pupil window through the main window to the archive and the
// results window, look-ups, exits and close controls, and failures of the
// archive that must not lose the pupil's answers.
#include "clicklabel.h"
#include "colours.h"
#include "programharness.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QSpontaneKeyEvent>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

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

    std::unique_ptr<QTemporaryDir> dir;
    FakeDialogs dialogs;
    std::unique_ptr<Module1> program;
    std::unique_ptr<QSignalSpy> finished;
    QString startFolder;

    FormNOME *form() const { return program->formNome(); }
    FNozioli *main() const { return program->fnozioli(); }
    Risultati *results() const { return program->risultati(); }
    QString archivePath() const { return dir->filePath(ResultsStore::defaultFileName()); }

    // Creates the archive with these rows (unless withArchive is false) in the
    // current folder and starts the program.
    bool start(const QList<std::pair<QString, ArchiveTotals>> &rows = {}, bool withArchive = true)
    {
        if (withArchive) {
            StoreError error;
            ResultsStore store;
            if (!ResultsStore::create(archivePath(), &error) || !store.open(archivePath()))
                return false;
            for (const auto &[name, t] : rows)
                store.save(name, t, QDateTime(QDate(2024, 3, 1), QTime(9, 30, 0)));
        }
        program = std::make_unique<Module1>(dialogs);
        finished = std::make_unique<QSignalSpy>(program.get(), &Module1::finished);
        return program->start();
    }

    std::optional<ResultRecord> row(const QString &name) const
    {
        ResultsStore store;
        ResultRecord record;
        if (!store.open(archivePath()) || store.find(name, &record) != ResultsStore::Lookup::Found)
            return std::nullopt;
        return record;
    }

    QStringList storedNames() const
    {
        ResultsStore store;
        return store.open(archivePath()) ? store.listNames().value_or(QStringList()) : QStringList();
    }

    void typeName(const QString &answer)
    {
        dialogs.answers << answer;
        click(child(form(), "cmdNOME"));
    }

    void clickListEntry(int row)
    {
        auto *list = child<QListView>(form(), "List1");
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualRect(list->model()->index(row, 0)).center());
    }

    // The Overview's example: exercise 7, "spazio" right, "rapporto tra ambiente
    // e avvenimento" right, "economia" wrong, "  Implicito" under "Periodo" right.
    void answerExerciseSeven()
    {
        auto *combo = child<QComboBox>(main(), "Combo1");
        combo->showPopup();
        combo->view()->setCurrentIndex(combo->model()->index(6, 0));
        QTest::keyClick(combo->view(), Qt::Key_Return);
        click(child(main(), "labspazio"));
        click(child(main(), "Label3_2"));
        click(child(main(), "labeconomia"));
        clickBox(child(main(), "Check2"));
    }

    QString counter(ScoreSheet::Counter c) const
    {
        return child<QLabel>(main(), ScoreSheet::labelName(c).toLatin1().constData())->text();
    }

    void archivio() { click(child(main(), "Labarchivio")); }
    void esci() { click(child(main(), "Labesci")); }

    void startAsRossi(const QList<std::pair<QString, ArchiveTotals>> &rows = {})
    {
        QVERIFY(start(rows));
        typeName(rossi);
        QVERIFY2(main() && main()->isVisible(), "a typed name opens the main window");
        answerExerciseSeven();
    }

    void lookUp(const QString &surname, const QString &firstName)
    {
        child<QLineEdit>(results(), "Text2")->setText(surname);
        child<QLineEdit>(results(), "Text1")->setText(firstName);
        click(child(results(), "LabCERCA"));
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCoreApplication::setApplicationName(QStringLiteral("Nozioli"));
        startFolder = QDir::currentPath();
    }

    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid() && QDir::setCurrent(dir->path()));
        dialogs = FakeDialogs();
    }

    void cleanup()
    {
        QFile::setPermissions(archivePath(), QFile::ReadOwner | QFile::WriteOwner);
        finished.reset();
        program.reset();
        QDir::setCurrent(startFolder);
        dir.reset();
    }

    void tidyTypedName_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("tidy");
        QTest::newRow("spaces around and a run inside") << QStringLiteral("  Rossi   Mario ") << rossi;
        QTest::newRow("two-word surname with runs") << QStringLiteral("De  Luca    Anna") << QStringLiteral("De Luca Anna");
        QTest::newRow("already tidy keeps capitals") << QStringLiteral("DE luca Anna") << QStringLiteral("DE luca Anna");
        QTest::newRow("one word keeps its spaces") << QStringLiteral(" Rossi ") << QStringLiteral(" Rossi ");
        QTest::newRow("only spaces stay") << QStringLiteral("   ") << QStringLiteral("   ");
        QTest::newRow("tabs are not spaces") << QStringLiteral(" Rossi\t\tMario ") << QStringLiteral(" Rossi\t\tMario ");
        QTest::newRow("accents stay") << QStringLiteral("D'Amico  Niccolò") << QStringLiteral("D'Amico Niccolò");
    }

    void tidyTypedName()
    {
        QFETCH(QString, typed);
        QFETCH(QString, tidy);
        QCOMPARE(::tidyTypedName(typed), tidy);
    }

    void workedExampleFromNameToResults()
    {
        startAsRossi();
        QVERIFY2(!form()->isVisible(), "the pupil window hides once the name is given");
        QCOMPARE(program->pupilName(), rossi);   // typed "  Rossi   Mario " would give the same
        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        archivio();
        const std::optional<ResultRecord> r = row(rossi);
        QVERIFY2(r, "the first archiving adds the pupil's row");
        QCOMPARE(QList<double>({r->sovragiusti, r->sovrasbagliati, r->nozioligiusti, r->noziolisbagliati,
                                r->spaziotempogiusti, r->spaziotemposbagliati}),
                 QList<double>({1, 1, 1, 0, 1, 0}));
        QVERIFY2(r->data >= before && r->data <= QDateTime::currentDateTime().addSecs(1), "the moment of archiving");

        QVERIFY2(results() && results()->isVisible() && main()->isVisible(), "results open over the main window");
        QCOMPARE(child<QLabel>(results(), "LabNOME")->text(), rossi);
        QCOMPARE(gridRows(results()), expectedGrid(*r));
        QVERIFY(dialogs.messages.isEmpty() && dialogs.failures.isEmpty());
        QCOMPARE(counter(ScoreSheet::sovragiusti), QStringLiteral("1"));   // the exercise goes on as it was

        click(child(results(), "Labtorna"));
        QVERIFY(!results()->isVisible());
        clickBox(child(main(), "Check5"));
        esci();
        QCOMPARE(finished->count(), 1);
        QCOMPARE(finished->first().first().toInt(), 0);
        QVERIFY2(!main()->isVisible() && !form()->isVisible(), "no window is left once the program ends");
        QVERIFY2(!program->resultsDb().isOpen(), "the archive is closed");
        QCOMPARE(storedNames(), QStringList {rossi});
        QCOMPARE(row(rossi)->spaziotempogiusti + row(rossi)->spaziotemposbagliati, 2.0);
    }

    void typedNameAndCancel()
    {
        QVERIFY(start({{bianchi, totals(1, 0, 0, 0, 0, 0)}}));
        clickListEntry(0);
        click(child(form(), "cmdNOME"));   // Cancel
        QCOMPARE(dialogs.prompts, QStringList {FormNOME::namePrompt()});
        QVERIFY2(FormNOME::namePrompt().count(QStringLiteral("\n\r")) == 2 && !FormNOME::namePrompt().contains(u"\r\n"),
                 "each line break of the prompt is a line feed, then a carriage return");
        QCOMPARE(program->pupilName(), QStringLiteral("Anonimo"));
        QVERIFY2(form()->isVisible() && !main(), "Cancel stays on the pupil window");
        QCOMPARE(child<QLabel>(form(), "LabNOME")->text(), bianchi);
        QVERIFY2(child(form(), "CmdOK")->isVisible(), "the clicked name is still offered");

        typeName(QStringLiteral(" De  Luca   Anna "));
        QCOMPARE(program->pupilName(), QStringLiteral("De Luca Anna"));
        QVERIFY2(main() && main()->isVisible() && !form()->isVisible(), "a typed name goes on to the main window");
        QVERIFY2(!child(form(), "CmdOK")->isHidden(), "typing leaves LabNOME and CmdOK as they were");
    }

    void emptyArchiveListsNothing()
    {
        QVERIFY(start());
        QVERIFY(form()->isVisible());
        QCOMPARE(form()->windowTitle(), QStringLiteral("Form1"));
        QCOMPARE(child<QListView>(form(), "List1")->model()->rowCount(), 0);
        QVERIFY2(!child(form(), "CmdOK")->isVisible() && child(form(), "Label7")->isVisible(), "nothing to confirm");
        QVERIFY(child(form(), "LabNOME")->isVisible() && child<QLabel>(form(), "LabNOME")->text().isEmpty());
        QVERIFY(dialogs.messages.isEmpty() && dialogs.failures.isEmpty());
    }

    void listClickThenOk()
    {
        QVERIFY(start({{QStringLiteral("verdi luca"), totals(1, 0, 0, 0, 0, 0)},
                       {QStringLiteral("Bianchi  Anna "), totals(2, 0, 0, 0, 0, 0)}}));
        auto *list = child<QListView>(form(), "List1");
        QCOMPARE(list->model()->rowCount(), 2);
        QCOMPARE(list->model()->index(0, 0).data().toString(), QStringLiteral("verdi luca"));   // table order
        clickListEntry(0);
        clickListEntry(1);
        QCOMPARE(program->pupilName(), QStringLiteral("Bianchi  Anna "));   // as stored, not tidied
        QCOMPARE(child<QLabel>(form(), "LabNOME")->text(), QStringLiteral("Bianchi  Anna "));
        QVERIFY(child(form(), "CmdOK")->isVisible());

        click(child(form(), "CmdOK"));
        QVERIFY2(main() && main()->isVisible() && !form()->isVisible(), "CmdOK goes on to the main window");
        QVERIFY2(child(form(), "LabNOME")->isHidden() && child(form(), "CmdOK")->isHidden(),
                 "a later showing starts with neither");
        QCOMPARE(child<QLabel>(form(), "LabNOME")->text(), QString());
    }

    void skipTestLeadsToNomeNonTrovato()
    {
        QVERIFY(start());
        typeName(rossi);
        clickBox(child(main(), "Check1"));   // space-time answers alone are not archived
        archivio();
        QVERIFY2(storedNames().isEmpty(), "the skip test writes nothing");
        QCOMPARE(dialogs.messages, QStringList {QStringLiteral("Nome non trovato")});
        QVERIFY(results()->isVisible());
        QCOMPARE(child<QLabel>(results(), "LabNOME")->text(), rossi);
        QCOMPARE(gridRows(results()), QStringList(4, QStringLiteral("|||")));
    }

    void lookUpsThenTorna()
    {
        startAsRossi({{bianchi, totals(4, 1, 6, 2, 3, 5)}, {QStringLiteral("Verdi Luca"), totals(9, 0, 9, 0, 9, 0)}});
        archivio();
        const QStringList own = gridRows(results());

        lookUp(QStringLiteral("  bianchi "), QStringLiteral(" anna"));   // small letters, spaces around
        QCOMPARE(results()->shownName(), QStringLiteral("BIANCHI ANNA"));
        QCOMPARE(child<QLabel>(results(), "LabNOME")->text(), QStringLiteral("BIANCHI ANNA"));
        QCOMPARE(gridRows(results()), expectedGrid(*row(bianchi)));
        QCOMPARE(program->pupilName(), rossi);

        lookUp(QStringLiteral("Verdi"), QStringLiteral("Luca"));
        const QStringList verdi = gridRows(results());
        QCOMPARE(verdi, expectedGrid(*row(QStringLiteral("Verdi Luca"))));
        lookUp(QStringLiteral("Verdi"), QString());   // the key ends with a space: nobody
        QCOMPARE(results()->shownName(), QStringLiteral("VERDI "));
        QCOMPARE(dialogs.messages, QStringList {QStringLiteral("Nome non trovato")});
        QCOMPARE(gridRows(results()), verdi);
        QCOMPARE(child<QLabel>(results(), "LabNOME")->text(), QStringLiteral("VERDI LUCA"));
        lookUp(QStringLiteral("  "), QString());
        QCOMPARE(dialogs.messages.last(), QStringLiteral("Il tuo nome non è completo.."));
        QCOMPARE(results()->shownName(), QStringLiteral("VERDI "));

        click(child(results(), "Labtorna"));
        QVERIFY2(!results()->isVisible() && main()->isVisible(), "TORNA goes back to the main window");
        QCOMPARE(results()->shownName(), rossi);
        archivio();
        QCOMPARE(gridRows(results()), own);
        QCOMPARE(child<QLabel>(results(), "LabNOME")->text(), rossi);
    }

    void archivingWhileAnotherPupilIsShownWritesUnderOwnName()
    {
        startAsRossi({{bianchi, totals(4, 1, 6, 2, 3, 5)}});
        archivio();
        lookUp(QStringLiteral("Bianchi"), QStringLiteral("Anna"));
        const ResultRecord before = *row(bianchi);
        click(child(main(), "Labavvenimenti"));   // the main window stays usable behind
        archivio();
        QCOMPARE(row(rossi)->sovragiusti, 2.0);
        QCOMPARE(child<QLabel>(results(), "LabNOME")->text(), rossi);

        lookUp(QStringLiteral("Bianchi"), QStringLiteral("Anna"));
        esci();
        QCOMPARE(finished->count(), 1);
        QVERIFY2(row(bianchi)->sovragiusti == before.sovragiusti && row(bianchi)->data == before.data,
                 "the other pupil's row is never written");
    }

    void readOnlyArchiveKeepsTheProgramAndTheTotals()
    {
        startAsRossi();
        QVERIFY(QFile::setPermissions(archivePath(), QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        archivio();
        QCOMPARE(dialogs.failures.size(), 1);
        QVERIFY2(!results(), "a failed archiving shows no results");
        esci();
        closeFromWindowSystem(main());
        QCOMPARE(dialogs.failures.size(), 3);
        QVERIFY2(dialogs.failures.last().contains(QStringLiteral("nozioli.mdb")), "the message names the file");
        QVERIFY2(finished->isEmpty() && main()->isVisible(), "the program stays while the answers are not archived");
        QCOMPARE(counter(ScoreSheet::sovragiusti), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::sovrasbagliati), QStringLiteral("1"));

        QVERIFY(QFile::setPermissions(archivePath(), QFile::ReadOwner | QFile::WriteOwner));
        esci();
        QCOMPARE(finished->count(), 1);
        QCOMPARE(finished->first().first().toInt(), 0);
        QCOMPARE(row(rossi)->sovrasbagliati, 1.0);
    }

    void missingArchiveEndsAtStart()
    {
        QVERIFY(!start({}, false));
        QCOMPARE(finished->count(), 1);
        QCOMPARE(finished->first().first().toInt(), Module1::ExitArchiveUnavailable);
        QCOMPARE(dialogs.failures.size(), 1);
        const QString text = dialogs.failures.first();
        QVERIFY2(text.contains(QStringLiteral("nozioli.mdb")) && text.contains(QDir::toNativeSeparators(dir->path()))
                     && text.contains(QStringLiteral("nozioli-archivio crea")),
                 qPrintable(text));
        QVERIFY2(!form()->isVisible() && !main(), "no window is left");
        QVERIFY2(!QFile::exists(archivePath()), "the program creates no archive");
    }

    void storeFailureWhileReadingIsReported()
    {
        startAsRossi();
        archivio();
        const QStringList own = gridRows(results());
        QFile::remove(archivePath());
        QFile garbage(archivePath());
        QVERIFY(garbage.open(QIODevice::WriteOnly) && garbage.write(QByteArray(8192, 'x')) == 8192);
        garbage.close();
        lookUp(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        QVERIFY2(dialogs.messages.isEmpty(), "a failure is not \"Nome non trovato\"");
        QCOMPARE(dialogs.failures.size(), 1);
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
        QVERIFY(start());
        if (how == u"cmdesci" || how == u"FormNOME close") {
            how == u"cmdesci" ? click(child(form(), "cmdesci")) : closeFromWindowSystem(form());
            QCOMPARE(finished->count(), 1);
            QVERIFY(!form()->isVisible() && !program->resultsDb().isOpen());
            return;
        }
        typeName(rossi);
        answerExerciseSeven();
        if (how == u"fnozioli close") {
            closeFromWindowSystem(main());
            QCOMPARE(finished->count(), 1);
            QVERIFY2(row(rossi), "closing the main window archives like Esci");
            return;
        }
        archivio();
        clickBox(child(main(), "Check5"));
        if (how == u"Risultati Labesci") {
            click(child(results(), "Labesci"));
            QCOMPARE(finished->count(), 1);
            QVERIFY(!results()->isVisible() && !main()->isVisible());
            QVERIFY2(row(rossi)->spaziotempogiusti + row(rossi)->spaziotemposbagliati == 2.0,
                     "the answer given after the last archiving is archived on the way out");
            return;
        }
        lookUp(QStringLiteral("Rossi"), QStringLiteral("Mario"));
        closeFromWindowSystem(results());
        QVERIFY2(finished->isEmpty(), "closing the results window goes back like TORNA");
        QVERIFY(!results()->isVisible() && main()->isVisible());
        QCOMPARE(results()->shownName(), rossi);
    }

    void resultsHighlightingAndScale()
    {
        startAsRossi();
        archivio();
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

        const QRect available = form()->screen()->availableGeometry();
        for (QWidget *w : {static_cast<QWidget *>(form()), static_cast<QWidget *>(results())})
            QVERIFY2(available.contains(QRect(w->pos(), w->size().grownBy(WindowFrameAllowance))),
                     qPrintable(w->objectName() + QStringLiteral(" fits the screen")));
        QVERIFY(form()->mapping().scale() <= main()->mapping().scale());
        QVERIFY(results()->mapping().scale() <= main()->mapping().scale());
        QCOMPARE(child<QTableWidget>(results(), "Grid5")->columnWidth(3), results()->mapping().pixels(2600));
    }
};

QTEST_MAIN(TstProgram)
#include "tst_program.moc"
