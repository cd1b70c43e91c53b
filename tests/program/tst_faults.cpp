// Faults while the program runs, on the real windows and a real archive file:
// the archive deleted, read-only, damaged, of another kind, without its table,
// locked or out of room, and a help document that is missing or hostile. Each
// ends with a message that names what failed, keeps every total of the lesson,
// and a retry works once the cause is gone.
#include "../store/archivefixture.h"
#include "play/helppanel.h"
#include "programharness.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTextBrowser>

namespace {

const QString rossi = QStringLiteral("Rossi Mario");

// What the pupil sees of the exercise, and the exercise chosen.
QStringList exerciseState(const FNozioli *window)
{
    return shownState(window) << QStringLiteral("esercizio %1").arg(window->model().currentExercise());
}

const char *const helpHeading = "Aiuto: come si fanno gli esercizi";

QByteArray helpDocument()
{
    return readBytes(QStringLiteral(NOZIOLI_HELP_DOCUMENT));
}

} // namespace

class TstFaults : public QObject
{
    Q_OBJECT

public:
    enum Fault { Deleted, MadeReadOnly, ReplacedByGarbage, GarbageWrittenOver, ReplacedByJetDatabase,
                 TableDropped, LockedByAnotherProgram, DiskFull };
    Q_ENUM(Fault)

private slots:
    void initTestCase()
    {
        setUpProgramTest();
        QVERIFY2(helpDocument().contains(helpHeading), "the help document of the program is at hand");
    }

    void init()
    {
        // A connection of the archive left in use, or dropped under a query, is a fault.
        QTest::failOnWarning(QRegularExpression(QStringLiteral("QSql")));
    }

    void archiveFaults_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<QString>("command");   // "Archivio", "Esci" or the close control of the main window
        QTest::addColumn<QString>("reason");
        const struct
        {
            Fault fault;
            const char *name;
            const char *reason;
        } faults[] = {
            {Deleted, "file deleted", "non si trova nella cartella"},
            {MadeReadOnly, "file made read-only", "è di sola lettura"},
            {ReplacedByGarbage, "replaced by garbage", "non è un archivio dei risultati"},
            {GarbageWrittenOver, "garbage written over it", "non è un archivio dei risultati"},
            {ReplacedByJetDatabase, "replaced by a Jet database", "non è un archivio dei risultati"},
            {TableDropped, "table dropped", "è un database, ma"},
            {LockedByAnotherProgram, "locked past the busy timeout", "è occupato da un altro programma"},
            {DiskFull, "disk full", "Non c'è più spazio sul disco"},
        };
        for (const auto &f : faults) {
            QTest::addRow("%s, Archivio dei risultati", f.name) << f.fault << QStringLiteral("Archivio")
                                                                << QString::fromUtf8(f.reason);
            QTest::addRow("%s, Esci", f.name) << f.fault << QStringLiteral("Esci") << QString::fromUtf8(f.reason);
        }
        QTest::newRow("file made read-only, close control")
            << MadeReadOnly << QStringLiteral("close") << QString::fromUtf8("è di sola lettura");
    }

    void archiveFaults()
    {
        QFETCH(Fault, fault);
        QFETCH(QString, command);
        QFETCH(QString, reason);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive() && run.start());
        // A row this long needs pages the archive does not have yet.
        const QString pupil = fault == DiskFull ? QStringLiteral("Verdi Anna ").repeated(800).trimmed() : rossi;
        run.typeName(pupil);
        QVERIFY2(run.main() && run.main()->isVisible(), "the typed name opens the main window");
        run.answerExerciseSeven();
        const QString path = run.archivePath();
        const QByteArray good = readBytes(path);
        ResultsStore &db = run.program->resultsDb();

        std::optional<RawDb> lock;   // another program's connection
        switch (fault) {
        case Deleted: QVERIFY(QFile::remove(path)); break;
        case MadeReadOnly: QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther)); break;
        case ReplacedByGarbage: QVERIFY(replaceFile(path, garbage())); break;
        case GarbageWrittenOver: QVERIFY(overwriteFile(path, garbage())); break;
        case ReplacedByJetDatabase: QVERIFY(replaceFile(path, jetFile())); break;
        case TableDropped: QVERIFY(RawDb(path).exec(QStringLiteral("DROP TABLE nozioli"))); break;
        case LockedByAnotherProgram:
            lock.emplace(path);
            QVERIFY2(lock->exec(QStringLiteral("BEGIN EXCLUSIVE")), "the other program holds the archive");
            db.setBusyTimeout(100);
            break;
        case DiskFull: db.setPageLimitForTesting(1); break;
        }

        const QStringList totals = run.counters();
        const QString folder = QDir::toNativeSeparators(run.folder());
        const auto press = [&] {
            if (command == u"Archivio")
                run.archivio();
            else if (command == u"Esci")
                run.esci();
            else
                closeFromWindowSystem(run.main());
        };
        // Twice: trying again while the cause remains fails the same way.
        for (int attempt = 1; attempt <= 2; ++attempt) {
            press();
            QCOMPARE(run.dialogs.failures.size(), attempt);
            const QString text = run.dialogs.failures.last();
            QVERIFY2(text.startsWith(QStringLiteral("I risultati non sono stati archiviati.")) && text.contains(reason),
                     qPrintable(text));
            QVERIFY2(text.contains(QStringLiteral("«nozioli.mdb»")) && text.contains(QStringLiteral("«%1»").arg(folder)),
                     "the message names the file and its folder");
            QCOMPARE(run.counters(), totals);
            QVERIFY2(run.finished->isEmpty() && run.main()->isVisible(), "the program stays with the answers");
            QVERIFY2(!run.results() || !run.results()->isVisible(), "a failed archiving shows no results");
        }
        QVERIFY2(run.dialogs.messages.isEmpty(), "a failure is never reported as anything else");

        // The lesson goes on, and the retry stores the totals as they are then.
        clickBox(child(run.main(), "Check5"));
        QVERIFY(run.counters() != totals);
        switch (fault) {
        case MadeReadOnly: QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner)); break;
        case LockedByAnotherProgram: QVERIFY(lock->exec(QStringLiteral("ROLLBACK"))); lock.reset(); break;
        case DiskFull: db.setPageLimitForTesting(0); break;
        default: QVERIFY(replaceFile(path, good)); break;
        }
        press();
        QCOMPARE(run.dialogs.failures.size(), 2);
        const std::optional<ResultRecord> row = run.row(pupil);
        QVERIFY2(row && row->nome == pupil, "the retry adds the pupil's row");
        QVERIFY2(run.rowHoldsTotals(*row), "the row holds every total of the lesson");
        QCOMPARE(run.records().size(), 1);
        if (command == u"Archivio") {
            QVERIFY2(run.results() && run.results()->isVisible() && run.finished->isEmpty(), "the results open");
            QCOMPARE(gridRows(run.results()), expectedGrid(*row));
            QVERIFY(run.dialogs.messages.isEmpty());
        } else {
            QCOMPARE(run.finished->count(), 1);
            QCOMPARE(run.finished->first().first().toInt(), 0);
        }
    }

    void helpDocumentFaults_data()
    {
        QTest::addColumn<bool>("present");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("shown");     // empty: the panel's own message

        const QByteArray document = helpDocument();
        const QString heading = QString::fromUtf8(helpHeading);
        // Cut just inside a group: halfway through the text, or halfway
        // through the tables that come before any text.
        const qsizetype text = document.indexOf(helpHeading);
        const qsizetype inText = document.indexOf('{', (text + document.size()) / 2) + 2;
        const qsizetype inTables = document.indexOf('{', text / 2) + 2;

        QTest::newRow("missing") << false << QByteArray() << QString();
        QTest::newRow("empty") << true << QByteArray() << QString();
        QTest::newRow("truncated inside a group of the text") << true << document.left(inText) << heading;
        QTest::newRow("truncated before any text") << true << document.left(inTables) << QString();
        QTest::newRow("100000 groups deep")
            << true << QByteArrayLiteral("{\\rtf1\\ansi Aiuto iniziale. ") + QByteArray(100000, '{') + "dentro"
            << QStringLiteral("Aiuto iniziale.");
        QTest::newRow("huge \\bin") << true << QByteArrayLiteral("{\\rtf1\\ansi Prima dei dati.\\bin2000000000 abc}")
                                    << QStringLiteral("Prima dei dati.");
        QTest::newRow("\\bin past 64 bits")
            << true << QByteArrayLiteral("{\\rtf1\\ansi Prima dei dati.\\bin99999999999999999999999 abc}")
            << QStringLiteral("Prima dei dati.");
    }

    void helpDocumentFaults()
    {
        QFETCH(bool, present);
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive() && run.start());
        run.typeName(rossi);
        run.answerExerciseSeven();
        const QString file = helppanel::fileName();
        if (present)
            QVERIFY(replaceFile(file, content));
        FNozioli *main = run.main();
        const QStringList exercise = exerciseState(main);
        auto *help = child<QTextBrowser>(main, "RichTextBox1");
        QWidget *open = child(main, "cmdaiuto");
        QWidget *close = child(main, "CmdChiudiAiuto");
        QString previous;

        const auto openAndClose = [&](const QString &expected) {
            click(open);
            QVERIFY2(help->isVisible() && close->isVisible(), "the help panel opens");
            QVERIFY2(help->geometry().contains(open->geometry()), "the panel covers the window's controls");
            QCOMPARE(main->childAt(open->geometry().center()), help->viewport());
            QCOMPARE(main->childAt(close->geometry().center()), close);
            QVERIFY(help->isReadOnly() && !help->openLinks() && !help->openExternalLinks());
            const QString text = help->toPlainText();
            QVERIFY2(text != previous, "the file is read again at every opening");
            previous = text;
            if (expected.isEmpty())
                QCOMPARE(text, helppanel::missingMessage());
            else
                QVERIFY2(text.contains(expected), qPrintable(text.left(200)));
            QVERIFY(!main->grab().isNull());
            QVERIFY2(run.dialogs.messages.isEmpty() && run.dialogs.failures.isEmpty()
                         && !QApplication::activeModalWidget(),
                     "the panel shows what it can without a dialog");
            click(close);
            QVERIFY(!help->isVisible() && !close->isVisible());
            QCOMPARE(exerciseState(main), exercise);
        };
        openAndClose(shown);
        QVERIFY(!QTest::currentTestFailed());
        // Read again at every opening: the document put back shows at once.
        QVERIFY(replaceFile(file, helpDocument()));
        openAndClose(QString::fromUtf8(helpHeading));
    }
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
