// Unusual names typed by the pupil, through every window: stored as tidied,
// listed at the next start, found by a look-up, shown without a crash, and
// without a window growing past its place or past the screen.
#include "programharness.h"

#include <QListView>
#include <QRegularExpression>
#include <QScreen>

namespace {

// The window fits the screen's available area with its frame, and its
// controls stand where the layout puts them, however long their text.
void checkPlacement(QWidget *window, QSize clientTwips, const TwipMapping &mapping,
                    std::initializer_list<std::pair<const char *, QRect>> controls)
{
    const QRect available = window->screen()->availableGeometry();
    QVERIFY2(available.contains(QRect(window->pos(), window->size().grownBy(WindowFrameAllowance))),
             qPrintable(window->objectName() + QStringLiteral(" fits the screen")));
    QCOMPARE(window->size(), mapping.size(clientTwips));
    for (const auto &[name, twips] : controls)
        QCOMPARE(child(window, name)->geometry(), mapping.rect(twips));
    QVERIFY(!window->grab().isNull());    // everything painted once
}

void checkResultsPlacement(Risultati *results)
{
    checkPlacement(results, Risultati::ClientTwips, results->mapping(),
                   {{"LabNOME", QRect(0, 100, 11895, 375)}, {"Grid5", QRect(1440, 2400, 6735, 3345)}});
}

void checkFormPlacement(FormNOME *form)
{
    checkPlacement(form, FormNOME::ClientTwips, form->mapping(),
                   {{"LabNOME", QRect(6600, 1320, 4455, 375)}, {"List1", QRect(1320, 960, 3615, 6510)}});
}

} // namespace

class TstBadNames : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { setUpProgramTest(); }

    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral("QSql"))); }

    // typed: what the name dialog gives back (pasted text keeps control
    // characters); tidy: the name stored; surname and firstName: a look-up
    // in the results window that must find the row (none when both empty).
    void badNames_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("tidy");
        QTest::addColumn<QString>("surname");
        QTest::addColumn<QString>("firstName");

        // As long as the name dialog and the look-up fields take.
        const QString longSurname = QStringLiteral("Cognomelunghissimo").repeated(12).left(NameMaxLength - 11);
        QTest::newRow("200 characters") << QStringLiteral("  ") + longSurname + QStringLiteral("   Mario ")
                                        << longSurname + QStringLiteral(" Mario") << longSurname.toLower()
                                        << QStringLiteral("mario");
        QTest::newRow("only spaces") << QStringLiteral("    ") << QStringLiteral("    ") << QString() << QString();
        const QString withNul = QStringLiteral("Rossi") + QChar(u'\0') + QStringLiteral(" Mario");
        QTest::newRow("NUL") << withNul << withNul << QStringLiteral("Rossi") + QChar(u'\0') << QStringLiteral("Mario");
        QTest::newRow("line feed") << QStringLiteral("Rossi\nMario Bianchi") << QStringLiteral("Rossi\nMario Bianchi")
                                   << QStringLiteral("ROSSI\nMARIO") << QStringLiteral("bianchi");
        QTest::newRow("zero-width space") << QStringLiteral("Rossi\u200b Mario\u200b")
                                          << QStringLiteral("Rossi\u200b Mario\u200b") << QStringLiteral("rossi\u200b")
                                          << QStringLiteral("mario\u200b");
        QTest::newRow("Arabic") << QStringLiteral(" حسن  علي ") << QStringLiteral("حسن علي") << QStringLiteral("حسن")
                                << QStringLiteral("علي");
        QTest::newRow("right-to-left override") << QStringLiteral("\u202ERossi  Mario\u202C")
                                                << QStringLiteral("\u202ERossi Mario\u202C")
                                                << QStringLiteral("\u202Erossi") << QStringLiteral("mario\u202C");
        QTest::newRow("emoji") << QStringLiteral("Rossi 😀") << QStringLiteral("Rossi 😀") << QStringLiteral("ROSSI")
                               << QStringLiteral("😀");
        QTest::newRow("ZWJ sequence") << QStringLiteral("👩‍👩‍👧‍👦  Famiglia") << QStringLiteral("👩‍👩‍👧‍👦 Famiglia")
                                      << QStringLiteral("👩‍👩‍👧‍👦") << QStringLiteral("famiglia");
        // Found by the precomposed "ò" as well: names are compared after normalising.
        QTest::newRow("combining grave") << QStringLiteral("Rossi Niccolo\u0300") << QStringLiteral("Rossi Niccolo\u0300")
                                         << QStringLiteral("rossi") << QStringLiteral("niccolò");
        QTest::newRow("stacked combining marks")
            << QStringLiteral("Z") + QStringLiteral("\u0334\u0321\u0322\u0336").repeated(48) + QStringLiteral(" Ugo")
            << QStringLiteral("Z") + QStringLiteral("\u0334\u0321\u0322\u0336").repeated(48) + QStringLiteral(" Ugo")
            << QStringLiteral("z") + QStringLiteral("\u0334\u0321\u0322\u0336").repeated(48) << QStringLiteral("ugo");
    }

    void badNames()
    {
        QFETCH(QString, typed);
        QFETCH(QString, tidy);
        QFETCH(QString, surname);
        QFETCH(QString, firstName);
        QCOMPARE(tidyTypedName(typed), tidy);

        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive() && run.start());
        run.typeName(typed);
        QCOMPARE(run.program->pupilName(), tidy);
        QVERIFY2(run.main() && run.main()->isVisible(), "any name that is not empty opens the main window");
        const QRect mainGeometry = run.main()->geometry();
        run.answerExerciseSeven();

        // Stored exactly as tidied, and shown after archiving.
        run.archivio();
        const QList<ResultRecord> rows = run.records();
        QCOMPARE(rows.size(), 1);
        QCOMPARE(rows.first().nome, tidy);
        QVERIFY2(run.rowHoldsTotals(rows.first()), "the row holds the totals");
        QVERIFY2(run.dialogs.messages.isEmpty() && run.dialogs.failures.isEmpty(), "found without a message");
        Risultati *results = run.results();
        QVERIFY(results && results->isVisible());
        QCOMPARE(child<QLabel>(results, "LabNOME")->text(), tidy);
        const QStringList grid = expectedGrid(rows.first());
        QCOMPARE(gridRows(results), grid);
        checkResultsPlacement(results);
        QCOMPARE(run.main()->geometry(), mainGeometry);

        // Found by a look-up of surname and first name.
        if (!surname.isEmpty() || !firstName.isEmpty()) {
            run.lookUp(surname, firstName);
            QVERIFY2(run.dialogs.messages.isEmpty(), "the look-up finds the row");
            QCOMPARE(results->shownName(), surname.toUpper().trimmed() + u' ' + firstName.toUpper().trimmed());
            QCOMPARE(child<QLabel>(results, "LabNOME")->text(), results->shownName());
            QCOMPARE(gridRows(results), grid);
            checkResultsPlacement(results);
        }
        // Absent: the same message as for any other name, and no numbers of
        // the pupil shown before under the name looked up.
        run.lookUp(tidy, QStringLiteral("Assente"));
        QCOMPARE(run.dialogs.messages, QStringList {QStringLiteral("Nome non trovato")});
        QVERIFY(run.dialogs.failures.isEmpty());
        QCOMPARE(gridRows(results), clearedGrid());
        QCOMPARE(child<QLabel>(results, "LabNOME")->text(), results->shownName());
        checkResultsPlacement(results);
        click(child(results, "Labtorna"));
        run.esci();
        QCOMPARE(run.finished->count(), 1);
        QCOMPARE(run.records().size(), 1);
        const QStringList lastArchived = expectedGrid(run.records().first());   // Esci archived again

        // Listed at the next start, chosen there, and found again.
        run.dialogs = FakeDialogs();
        QVERIFY(run.start());
        FormNOME *form = run.form();
        checkFormPlacement(form);
        const QRect formGeometry = form->geometry();
        auto *list = child<QListView>(form, "List1");
        QCOMPARE(list->model()->rowCount(), 1);
        QCOMPARE(list->model()->index(0, 0).data().toString(), tidy);
        run.clickListEntry(0);
        QCOMPARE(run.program->pupilName(), tidy);
        QCOMPARE(child<QLabel>(form, "LabNOME")->text(), tidy);
        checkFormPlacement(form);
        QCOMPARE(form->geometry(), formGeometry);
        click(child(form, "CmdOK"));
        QVERIFY(run.main() && run.main()->isVisible());
        run.archivio();   // nothing answered: nothing written, the stored row shown
        QVERIFY2(run.dialogs.messages.isEmpty() && run.dialogs.failures.isEmpty(), "the listed name finds its row");
        QCOMPARE(gridRows(run.results()), lastArchived);
        QCOMPARE(run.records().size(), 1);
    }
};

QTEST_MAIN(TstBadNames)
#include "tst_badnames.moc"
