// The command-line tool nozioli-archivio, run as a separate process.
#include "archivefixture.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Run tool(const QStringList &args, const QString &workDir = {})
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(ARCHIVE_TOOL), args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TstArchiveTool : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path;

public:
    enum Place { JournalFolder, JournalLink, DanglingArchive, DanglingArchiveCrea, Fifo, Device, FolderIsAFile,
                 NoInodesLeft, AnotherUsersJournal };
    Q_ENUM(Place)

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        const QString problem = newArchiveFolder(dir, path, false);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void creaMakesAnArchiveAndNeverReplacesOne()
    {
        Run r = tool({QStringLiteral("crea"), dir->path()});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(ResultsStore::verify(path).isEmpty());
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.save(QStringLiteral("Rossi"), totals(0), QDateTime::currentDateTime()));
        store.close();
        const QByteArray bytes = readBytes(path);

        r = tool({QStringLiteral("crea"), dir->path()});
        QVERIFY2(r.exitCode != 0, "an existing archive is never replaced");
        QVERIFY2(r.err.contains(QString::fromUtf8("esiste già")), qPrintable(r.err));
        QCOMPARE(readBytes(path), bytes);

        QTemporaryDir other;
        r = tool({QStringLiteral("crea")}, other.path());
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(QFile::exists(other.filePath(QStringLiteral("nozioli.mdb"))), "the current folder by default");
    }

    // RFC 4180: CRLF after every record, quotes around a field that holds a
    // comma, a quote or a line end, quotes doubled; a name that a spreadsheet
    // would run as a formula begins with an apostrophe.
    void esportaWritesCsvThatStaysText()
    {
        QVERIFY(ResultsStore::create(path, nullptr));
        const QStringList names{QStringLiteral("Rossi, \"Mario\""), QStringLiteral("=1+1"),
                                QString::fromUtf8("Niccolò\nsecondo rigo"), QStringLiteral("@SOMMA(A1)"),
                                QStringLiteral("-2"), QStringLiteral("Bianchi")};
        const char *const written[] = {"\"Rossi, \"\"Mario\"\"\"", "'=1+1", "\"Niccolò\nsecondo rigo\"",
                                       "'@SOMMA(A1)", "'-2", "Bianchi"};
        QByteArray expected = "nome,data,sovragiusti,sovrasbagliati,nozioligiusti,noziolisbagliati,"
                              "spaziotempogiusti,spaziotemposbagliati\r\n";
        {
            ResultsStore store;
            QVERIFY(store.open(path));
            for (qsizetype i = 0; i < names.size(); ++i) {
                QVERIFY(store.save(names.at(i), totals(i * 10), QDateTime(QDate(2024, 3, 1), QTime(8, 30, 0))));
                expected += written[i] + QByteArray(",2024-03-01 08:30:00");
                for (qsizetype k = 1; k <= 6; ++k)
                    expected += ',' + QByteArray::number(i * 10 + k);
                expected += "\r\n";
            }
        }
        const QString csvPath = dir->filePath(QStringLiteral("classe.csv"));
        const Run r = tool({QStringLiteral("esporta"), path, QStringLiteral("-o"), csvPath});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QByteArray bytes = readBytes(csvPath);
        QCOMPARE(bytes, expected);

        // Standard output and the default archive of the current folder.
        const Run toStdout = tool({QStringLiteral("esporta")}, dir->path());
        QCOMPARE(toStdout.exitCode, 0);
        QCOMPARE(toStdout.out, bytes);

        const Run self = tool({QStringLiteral("esporta"), path, QStringLiteral("-o"), path});
        QVERIFY2(self.exitCode != 0 && ResultsStore::verify(path).isEmpty(), "the archive is never written over");
    }

    void esportaReportsAMissingArchive()
    {
        const Run r = tool({QStringLiteral("esporta"), path});
        QVERIFY(r.exitCode != 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(QStringLiteral("non si trova")), qPrintable(r.err));
    }

    void verifica_data()
    {
        QTest::addColumn<QStringList>("damage");    // statements, or "garbage"
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QStringList>("expected");
        const auto row = [](const char *name, const QStringList &damage, bool sound, const QStringList &expected) {
            QTest::newRow(name) << damage << sound << expected;
        };
        const auto u8 = [](const char *text) { return QString::fromUtf8(text); };
        row("good archive", {}, true, {u8("in ordine: 0 righe, struttura versione 1.")});
        row("index dropped", {u8("DROP INDEX nome")}, false, {u8("«nome»")});
        row("garbage", {u8("garbage")}, false, {u8("non è un archivio")});
        row("trigger", {u8("CREATE TRIGGER t AFTER INSERT ON nozioli BEGIN DELETE FROM nozioli WHERE rowid <> new.rowid; END")},
            false, {u8("il trigger «t»")});
        row("view and another table", {u8("CREATE VIEW v AS SELECT 1"), u8("CREATE TABLE registro (nome TEXT)")}, false,
            {u8("la vista «v»"), u8("la tabella «registro»")});
        const QString table = u8("CREATE TABLE nozioli (nome TEXT, data TEXT, sovragiusti REAL, sovrasbagliati REAL, "
                                 "nozioligiusti REAL, noziolisbagliati REAL, spaziotempogiusti REAL, "
                                 "spaziotemposbagliati REAL, chiave TEXT%1)");
        const auto rebuilt = [&](const char *more) {
            return QStringList{u8("DROP TABLE nozioli"), table.arg(u8(more)), u8("CREATE UNIQUE INDEX nome ON nozioli(chiave)")};
        };
        row("extra NOT NULL column without default", rebuilt(", classe TEXT NOT NULL"), false,
            {u8("campo in più «classe», obbligatorio (NOT NULL) e senza valore predefinito")});
        row("CHECK the program's values break", rebuilt(", CHECK (sovragiusti < 0)"), false, {u8("vincolo CHECK")});
        row("version -1", {u8("PRAGMA user_version = -1")}, false, {u8("PRAGMA user_version è -1")});
        row("version 2", {u8("PRAGMA user_version = 2")}, false, {u8("versione più recente del programma (struttura 2)")});
    }

    void verifica()
    {
        QFETCH(QStringList, damage);
        QFETCH(bool, sound);
        QFETCH(QStringList, expected);
        QVERIFY(ResultsStore::create(path, nullptr));
        if (damage == QStringList{QStringLiteral("garbage")}) {
            QVERIFY(replaceFile(path, garbage()));
        } else {
            RawDb raw(path);
            for (const QString &s : std::as_const(damage))
                QVERIFY2(raw.exec(s), qPrintable(s));
        }
        const Run r = tool({QStringLiteral("verifica"), path});
        QCOMPARE(r.exitCode == 0, sound);
        for (const QString &e : std::as_const(expected))
            QVERIFY2(r.err.contains(e), qPrintable(r.err));
    }

    // What is at the archive's path, or beside it, and could not be told
    // apart before: each message says what it is and what to do.
    void places_data()
    {
        QTest::addColumn<Place>("place");
        QTest::addColumn<QString>("said");
        QTest::addColumn<QString>("notSaid");
        const auto u8 = [](const char *text) { return QString::fromUtf8(text); };
        QTest::newRow("folder named as the journal") << JournalFolder << u8("c'è una cartella «nozioli.mdb-journal»")
                                                     << u8("disco");
        QTest::newRow("stray journal link") << JournalLink << u8("c'è un collegamento «nozioli.mdb-journal»")
                                            << u8("permessi");
        QTest::newRow("dangling archive link") << DanglingArchive << u8("è un collegamento a «") << u8("non si trova");
        QTest::newRow("crea over a dangling link") << DanglingArchiveCrea << u8("è un collegamento a «")
                                                   << u8("esiste già");
        QTest::newRow("FIFO") << Fifo << u8("non è un file ma una pipe (FIFO)") << u8("vuoto");
        QTest::newRow("device") << Device << u8("non è un file ma un dispositivo") << u8("vuoto");
        QTest::newRow("crea in a file") << FolderIsAFile << u8("è un file, non una cartella") << u8("non esiste");
        QTest::newRow("no inodes left") << NoInodesLeft << u8("non si possono creare altri file")
                                        << u8("unable to open");
        QTest::newRow("another user's journal in a sticky folder")
            << AnotherUsersJournal << u8("è rimasto il file di ripristino «nozioli.mdb-journal»") << u8("disco");
    }

    void places()
    {
        QFETCH(Place, place);
        QFETCH(QString, said);
        QFETCH(QString, notSaid);
        const QString folder = dir->path();
        const QString journal = path + QStringLiteral("-journal");
        QStringList command{QStringLiteral("esporta"), path};
        QStringList wrapper;        // runs the tool under another user or in a file system of its own
        switch (place) {
        case JournalFolder:
            QVERIFY(ResultsStore::create(path, nullptr) && QDir().mkdir(journal));
            break;
        case JournalLink:
            QVERIFY(ResultsStore::create(path, nullptr) && QFile::link(dir->filePath(QStringLiteral("altrove")), journal));
            break;
        case DanglingArchive:
        case DanglingArchiveCrea:
            QVERIFY(QFile::link(dir->filePath(QStringLiteral("spostato.mdb")), path));
            if (place == DanglingArchiveCrea)
                command = QStringList{QStringLiteral("crea"), folder};
            break;
        case Fifo:
            QVERIFY(::mkfifo(QFile::encodeName(path).constData(), 0644) == 0);
            command = QStringList{QStringLiteral("verifica"), path};
            break;
        case Device:
            QVERIFY(QFile::link(QStringLiteral("/dev/null"), path));
            command = QStringList{QStringLiteral("verifica"), path};
            break;
        case FolderIsAFile:
            QVERIFY(replaceFile(dir->filePath(QStringLiteral("classe")), "x"));
            command = QStringList{QStringLiteral("crea"), dir->filePath(QStringLiteral("classe"))};
            break;
        case NoInodesLeft:
            // A file system of four inodes, three of them taken, mounted in a
            // namespace of the tool's own.
            if (QProcess::execute(QStringLiteral("unshare"), {QStringLiteral("--mount"), QStringLiteral("--map-root-user"),
                                                              QStringLiteral("true")}) != 0)
                QSKIP("no mount namespace to make a small file system in");
            wrapper = QStringList{QStringLiteral("unshare"), QStringLiteral("--mount"), QStringLiteral("--map-root-user"),
                                  QStringLiteral("sh"), QStringLiteral("-c"),
                                  QStringLiteral("mount -t tmpfs -o size=1m,nr_inodes=4 none \"$1\" && "
                                                 "touch \"$1/a\" \"$1/b\" \"$1/c\" && shift && exec \"$@\""),
                                  QStringLiteral("sh"), folder};
            command = QStringList{QStringLiteral("crea"), folder};
            break;
        case AnotherUsersJournal:
            // An archiving of this user, interrupted, in a folder shared with
            // the sticky bit; the tool runs as another user.
            if (::geteuid() != 0
                || QProcess::execute(QStringLiteral("setpriv"), {QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                                                  QStringLiteral("--clear-groups"), QStringLiteral(ARCHIVE_TOOL),
                                                                  QStringLiteral("--version")}) != 0)
                QSKIP("needs to run as root, and the tool as another user");
            QVERIFY(ResultsStore::create(path, nullptr) && replaceFile(journal, "\xd9\xd5\x05\xf9"));
            QVERIFY(::chmod(QFile::encodeName(folder).constData(), 01777) == 0
                    && ::chmod(QFile::encodeName(path).constData(), 0666) == 0);
            wrapper = QStringList{QStringLiteral("setpriv"), QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
                                  QStringLiteral("--clear-groups")};
            break;
        }
        Run r;
        if (wrapper.isEmpty()) {
            r = tool(command);
        } else {
            QProcess p;
            p.start(wrapper.takeFirst(), wrapper + QStringList{QStringLiteral(ARCHIVE_TOOL)} + command);
            QVERIFY(p.waitForFinished(60000));
            r.exitCode = p.exitCode();
            r.err = QString::fromUtf8(p.readAllStandardError());
        }
        QVERIFY2(r.exitCode == 1 && r.err.contains(said) && !r.err.contains(notSaid), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("«%1»").arg(QDir::toNativeSeparators(folder)))
                     || r.err.contains(QStringLiteral("«%1/classe»").arg(QDir::toNativeSeparators(folder))),
                 "the message names the folder");
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0;
        QTest::newRow("no command") << QStringList() << 2;
        QTest::newRow("unknown option") << QStringList{QStringLiteral("crea"), QStringLiteral("--forza")} << 2;
        QTest::newRow("output without esporta")
            << QStringList{QStringLiteral("crea"), QStringLiteral("-o"), QStringLiteral("x.csv")} << 2;
    }

    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const Run r = tool(args, dir->path());
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(exitCode == 0 ? QString::fromUtf8(r.out).contains(QStringLiteral("esporta")) : !r.err.isEmpty(),
                 "help on standard output, mistakes explained on standard error");
        QVERIFY2(!QFile::exists(path), "a wrong command creates nothing");
    }
};

QTEST_GUILESS_MAIN(TstArchiveTool)
#include "tst_archivetool.moc"
