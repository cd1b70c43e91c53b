// Faults while the program runs, on the real windows and a real archive file:
// the archive deleted, read-only, damaged, of another kind, without its table,
// locked or out of room, and a help document that is missing or hostile. Each
// ends with a message that names what failed, keeps every total of the lesson,
// and a retry works once the cause is gone.
#include "../store/archivefixture.h"
#include "play/helppanel.h"
#include "programharness.h"
#include "play/rtf/rtfreader.h"

#include <QApplication>
#include <QRegularExpression>
#include <QTextBrowser>
#include <QTimer>

#include <cstdio>
#include <thread>

#include <sys/stat.h>
#include <unistd.h>

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

// An RTF document that begins with "Inizio." and then repeats piece up to
// the largest size the reader accepts.
QByteArray upToSizeCap(const QByteArray &piece)
{
    const QByteArray start = "{\\rtf1\\ansi Inizio.\\par ";
    return start + piece.repeated((rtf::MaxFileSize - start.size() - 1) / piece.size()) + '}';
}

// Swaps the file at path, as fast as it can, between a FIFO and an empty
// file: a program that checks the file and then opens it by name now and
// then finds the FIFO there when it opens it. Leaves the FIFO in place.
class FifoSwapper
{
public:
    explicit FifoSwapper(const QString &path)
        : m_path(QFile::encodeName(path))
    {
        if (::mkfifo((m_path + ".fifo").constData(), 0600) == 0
            && QFile(path + QStringLiteral(".empty")).open(QIODevice::WriteOnly)) {
            m_thread = std::jthread([this](std::stop_token stop) {
                while (!stop.stop_requested()) {
                    put(".empty");
                    put(".fifo");
                }
            });
        }
    }

    bool ready() const { return m_thread.joinable(); }

private:
    void put(const char *kind) const
    {
        const QByteArray source = m_path + kind;
        const QByteArray link = m_path + ".new";
        if (::link(source.constData(), link.constData()) == 0)
            std::rename(link.constData(), m_path.constData());
    }

    const QByteArray m_path;
    std::jthread m_thread;  // last: stopped and joined before m_path goes
};

} // namespace

class TstFaults : public QObject
{
    Q_OBJECT

public:
    enum Fault { Deleted, MadeReadOnly, ReplacedByGarbage, GarbageWrittenOver, ReplacedByJetDatabase,
                 TableDropped, LockedByAnotherProgram, DiskFull };
    Q_ENUM(Fault)
    // What stands where the help document is looked for.
    enum HelpFile { NoFile, RegularFile, Fifo, SwappedForFifo };
    Q_ENUM(HelpFile)

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

    // Another pupil's row damaged by another program: whatever cannot be
    // shown is shown as missing, never as the value of the pupil shown before.
    void damagedValuesInTheLookUp_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("grid");
        const QString m = Risultati::missingValue();
        const QString when = QStringLiteral("01/03/2024 09:30:00");
        const auto grid = [&](const QString &spaziotempo, const QString &sovra, const QString &nozioli) {
            return QStringList{QStringLiteral("Attività|Giusti|Su|Quando"), QStringLiteral("Durata-Tempo-Luogo|") + spaziotempo,
                               QStringLiteral("Sovranozioli|") + sovra, QStringLiteral("Nozioli|") + nozioli};
        };
        const QString spaziotempo = QStringLiteral("105|211|") + when, sovra = QStringLiteral("101|203|") + when,
                      nozioli = QStringLiteral("103|207|") + when, missing = m + u'|' + m + u'|' + when;
        QTest::newRow("infinite total") << QStringLiteral("sovrasbagliati = 1e999")
                                        << grid(spaziotempo, QStringLiteral("101|") + m + u'|' + when, nozioli);
        QTest::newRow("text for a total") << QStringLiteral("nozioligiusti = 'molti'")
                                          << grid(spaziotempo, sovra, missing);
        QTest::newRow("empty total") << QStringLiteral("spaziotempogiusti = NULL") << grid(missing, sovra, nozioli);
        QTest::newRow("date that is no date")
            << QStringLiteral("data = 'ieri'")
            << grid(QStringLiteral("105|211|") + m, QStringLiteral("101|203|") + m, QStringLiteral("103|207|") + m);
    }

    void damagedValuesInTheLookUp()
    {
        QFETCH(QString, damage);
        QFETCH(QStringList, grid);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive({{QStringLiteral("Verdi Anna"), totals(100)}}));
        QVERIFY(RawDb(run.archivePath()).exec(QStringLiteral("UPDATE nozioli SET ") + damage));
        QVERIFY(run.start());
        run.typeName(rossi);
        run.answerExerciseSeven();
        run.archivio();
        QVERIFY2(run.results() && run.results()->isVisible(), "the pupil's own results first");
        run.lookUp(QStringLiteral("verdi"), QStringLiteral("anna"));
        QVERIFY(run.dialogs.messages.isEmpty() && run.dialogs.failures.isEmpty());
        QCOMPARE(gridRows(run.results()), grid);
    }

    // Another program holds the archive for a second: from half a second on
    // the program shows that it waits (busy cursor, a note), keeps running its
    // timers and repainting, takes no second archiving meanwhile, and archives
    // once the archive is free.
    void waitingForTheArchive_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("Archivio dei risultati") << QStringLiteral("Archivio");
        QTest::newRow("Esci") << QStringLiteral("Esci");
    }

    void waitingForTheArchive()
    {
        QFETCH(QString, command);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive() && run.start());
        run.typeName(rossi);
        run.answerExerciseSeven();
        struct PaintCounter : QObject
        {
            int paints = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                paints += e->type() == QEvent::Paint;
                return false;
            }
        } counter;
        run.main()->installEventFilter(&counter);
        RawDb lock(run.archivePath());
        QVERIFY2(lock.exec(QStringLiteral("BEGIN EXCLUSIVE")), "the other program holds the archive");

        int paintsBefore = -1;
        bool noteShown = false, busyCursor = false, repainted = false, pressesIgnored = false;
        QTimer::singleShot(700, run.main(), [&] {
            paintsBefore = counter.paints;
            run.main()->update();
        });
        QTimer::singleShot(900, run.main(), [&] {
            for (QWidget *w : QApplication::topLevelWidgets()) {
                if (w->objectName() == u"attesaArchivio" && w->isVisible())
                    noteShown = w->findChild<QLabel *>()->text().contains(QStringLiteral("occupato"));
            }
            busyCursor = QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor;
            repainted = counter.paints > paintsBefore;
            run.archivio();
            run.esci();
            pressesIgnored = run.dialogs.failures.isEmpty() && run.finished->isEmpty()
                && (!run.results() || !run.results()->isVisible());
        });
        QTimer::singleShot(1200, run.main(), [&] { lock.exec(QStringLiteral("ROLLBACK")); });
        if (command == u"Archivio")
            run.archivio();
        else
            run.esci();
        QVERIFY2(noteShown && busyCursor, "the program shows that it waits");
        QVERIFY2(repainted, "the window repaints while the program waits");
        QVERIFY2(pressesIgnored, "no second archiving while waiting");
        QVERIFY2(run.dialogs.failures.isEmpty(), qPrintable(run.dialogs.failures.join(u'\n')));
        QVERIFY2(!QApplication::overrideCursor(), "the cursor is back");
        for (QWidget *w : QApplication::topLevelWidgets())
            QVERIFY2(w->objectName() != u"attesaArchivio" || !w->isVisible(), "the note is gone");
        const std::optional<ResultRecord> row = run.row(rossi);
        QVERIFY2(row && run.rowHoldsTotals(*row), "archived once the archive was free");
        QCOMPARE(run.records().size(), 1);
        if (command == u"Archivio")
            QVERIFY(run.results() && run.results()->isVisible());
        else
            QCOMPARE(run.finished->count(), 1);
    }

    void helpDocumentFaults_data()
    {
        QTest::addColumn<HelpFile>("file");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("shown");     // empty: the panel's own message
        QTest::addColumn<bool>("cut");          // the panel says it shows only the beginning

        const QByteArray document = helpDocument();
        const QString heading = QString::fromUtf8(helpHeading);
        // Cut just inside a group: halfway through the text, or halfway
        // through the tables that come before any text.
        const qsizetype text = document.indexOf(helpHeading);
        const qsizetype inText = document.indexOf('{', (text + document.size()) / 2) + 2;
        const qsizetype inTables = document.indexOf('{', text / 2) + 2;
        const QString beginning = QStringLiteral("Inizio.");

        QTest::newRow("missing") << NoFile << QByteArray() << QString() << false;
        QTest::newRow("empty") << RegularFile << QByteArray() << QString() << false;
        QTest::newRow("truncated inside a group of the text") << RegularFile << document.left(inText) << heading
                                                               << false;
        QTest::newRow("truncated before any text") << RegularFile << document.left(inTables) << QString() << false;
        QTest::newRow("100000 groups deep")
            << RegularFile << QByteArrayLiteral("{\\rtf1\\ansi Aiuto iniziale. ") + QByteArray(100000, '{') + "dentro"
            << QStringLiteral("Aiuto iniziale.") << false;
        QTest::newRow("huge \\bin") << RegularFile
                                    << QByteArrayLiteral("{\\rtf1\\ansi Prima dei dati.\\bin2000000000 abc}")
                                    << QStringLiteral("Prima dei dati.") << false;
        QTest::newRow("\\bin past 64 bits")
            << RegularFile << QByteArrayLiteral("{\\rtf1\\ansi Prima dei dati.\\bin99999999999999999999999 abc}")
            << QStringLiteral("Prima dei dati.") << false;

        // Documents taller than anything Qt finishes laying out, and the
        // largest ones the reader accepts.
        QTest::newRow("20000 line breaks at 1600 pt")
            << RegularFile << "{\\rtf1\\ansi \\fs3200 Inizio.\\line " + QByteArray("x\\line ").repeated(20000) + '}'
            << beginning << true;
        QTest::newRow("5000 line breaks at the largest exact line spacing")
            << RegularFile << "{\\rtf1\\ansi \\sl-31680 Inizio.\\line " + QByteArray("x\\line ").repeated(5000) + '}'
            << beginning << true;
        QTest::newRow("short paragraphs up to the size cap")
            << RegularFile << upToSizeCap("x\\par ") << beginning << true;
        QTest::newRow("line breaks up to the size cap")
            << RegularFile << upToSizeCap("x\\line ") << beginning << true;
        QTest::newRow("footnotes up to the size cap")
            << RegularFile << upToSizeCap("a{\\footnote x\\par y}") << beginning << true;
        QTest::newRow("format runs up to the size cap")
            << RegularFile << upToSizeCap("{\\b x}{\\i y}") << beginning << true;
        QTest::newRow("table rows up to the size cap")
            << RegularFile << upToSizeCap("\\trowd\\cellx1000\\cellx2000\\intbl x\\cell y\\cell\\row ")
            << beginning << true;

        // Files that never answer: refused without waiting for them.
        QTest::newRow("a FIFO in its place") << Fifo << QByteArray() << QString() << false;
        QTest::newRow("swapped for a FIFO between the check and the open")
            << SwappedForFifo << QByteArray() << QString() << false;
    }

    void helpDocumentFaults()
    {
        QFETCH(HelpFile, file);
        QFETCH(QByteArray, content);
        QFETCH(QString, shown);
        QFETCH(bool, cut);
        ProgramRun run;
        QVERIFY(run.ready() && run.createArchive() && run.start());
        run.typeName(rossi);
        run.answerExerciseSeven();
        const QString path = helppanel::fileName();
        if (file == RegularFile)
            QVERIFY(replaceFile(path, content));
        else if (file == Fifo)
            QCOMPARE(::mkfifo(QFile::encodeName(path).constData(), 0600), 0);
        FNozioli *main = run.main();
        const QStringList exercise = exerciseState(main);
        auto *help = child<QTextBrowser>(main, "RichTextBox1");
        QWidget *open = child(main, "cmdaiuto");
        QWidget *close = child(main, "CmdChiudiAiuto");
        QString previous;

        // A document that cannot be shown in time, or a file that never
        // answers, keeps the window in click() for good: the test then
        // ends by its time limit in CTest.
        const auto openAndClose = [&](const QString &expected, bool cutNote) {
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
                QVERIFY2(text.startsWith(expected), qPrintable(text.left(200)));
            QCOMPARE(text.endsWith(helppanel::cutNote()), cutNote);
            QVERIFY(!main->grab().isNull());
            QVERIFY2(run.dialogs.messages.isEmpty() && run.dialogs.failures.isEmpty()
                         && !QApplication::activeModalWidget(),
                     "the panel shows what it can without a dialog");
            click(close);
            QVERIFY(!help->isVisible() && !close->isVisible());
            QCOMPARE(exerciseState(main), exercise);
        };
        if (file == SwappedForFifo) {
            FifoSwapper swapper(path);
            QVERIFY(swapper.ready());
            for (int i = 0; i < 100 && !QTest::currentTestFailed(); ++i) {
                previous.clear();
                openAndClose(QString(), false);
            }
        } else {
            openAndClose(shown, cut);
        }
        QVERIFY(!QTest::currentTestFailed());
        // Read again at every opening: the document put back shows at once.
        QVERIFY(replaceFile(path, helpDocument()));
        openAndClose(QString::fromUtf8(helpHeading), false);
    }
};

QTEST_MAIN(TstFaults)
#include "tst_faults.moc"
