// The command-line tool nozioli-archivio, run as a separate process.
#include "archivefixture.h"
#include "testserver.h"

#include <QProcess>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// The tool with its arguments, run in workDir, or under the wrapper command
// (another user, a namespace of its own) when one is given.
Run tool(const QStringList &args, const QString &workDir = {}, const std::function<void(QProcess &)> &prepare = {},
         QStringList wrapper = {})
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    if (prepare)
        prepare(p);
    if (wrapper.isEmpty())
        p.start(QStringLiteral(ARCHIVE_TOOL), args);
    else
        p.start(wrapper.takeFirst(), wrapper + QStringList{QStringLiteral(ARCHIVE_TOOL)} + args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Text from a UTF-16 literal, NUL characters included.
template<qsizetype N>
QString text(const char16_t (&s)[N])
{
    return QStringView(s, N - 1).toString();
}

const QByteArray csvHeader = "nome,data,sovragiusti,sovrasbagliati,nozioligiusti,noziolisbagliati,"
                             "spaziotempogiusti,spaziotemposbagliati\r\n";

const QDateTime archived(QDate(2024, 3, 1), QTime(8, 30, 0));

// A new archive at path with one row per name, the i-th with totals(i * 10).
bool createWith(const QString &path, const QStringList &names)
{
    if (!ResultsStore::create(path, nullptr))
        return false;
    ResultsStore store;
    if (!store.open(path))
        return false;
    for (qsizetype i = 0; i < names.size(); ++i)
        if (!store.save(names.at(i), totals(i * 10), archived))
            return false;
    return true;
}

// Every row of an archive as "name|date|six totals", in the order the rows were added.
QStringList rowsOf(const QString &location)
{
    ResultsStore store;
    std::optional<QList<ResultRecord>> rows;
    if (store.open(location))
        rows = store.records();
    if (!rows)
        return {store.lastError().message};
    QStringList out;
    for (const ResultRecord &r : std::as_const(*rows)) {
        QString line = r.nome + u'|' + r.data.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        for (const TotalField &f : totalFields)
            line += u'|' + QString::number(r.*f.recorded);
        out << line;
    }
    return out;
}

QString rowText(const QString &name, const QDateTime &when, qint64 base)
{
    QString line = name + u'|' + when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    const ArchiveTotals t = totals(base);
    for (const TotalField &f : totalFields)
        line += u'|' + QString::number(t.*f.archived);
    return line;
}

} // namespace

class TstArchiveTool : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path;
    // The settings the tool reads: the user's in "utente", the system's in "sistema".
    std::unique_ptr<QTemporaryDir> config;
    // One server for the whole class, with the pupils' role "alunni"; each
    // test that uses it starts from a database without the archive.
    TestServer server;

    QString configFile(const char *folder) const
    {
        return config->filePath(QString::fromUtf8(folder) + QStringLiteral("/nozioli/nozioli.ini"));
    }

    bool writeSettings(const QByteArray &text)
    {
        return QDir().mkpath(QFileInfo(configFile("utente")).absolutePath()) && replaceFile(configFile("utente"), text);
    }

    // How the tool names the test server: its socket's folder, port and database.
    QString serverLabel() const
    {
        return QStringLiteral("%1:%2/nozioli").arg(server.socketFolder()).arg(server.port());
    }

    // The archive made anew on the server by the tool, the pupils' role granted.
    bool createOnServer()
    {
        if (!server.psql(QStringLiteral("DROP TABLE IF EXISTS nozioli, nozioli_versione")))
            return false;
        const Run r = tool({QStringLiteral("crea"), QStringLiteral("--server"), server.uri(),
                            QStringLiteral("--ruolo-alunni"), QStringLiteral("alunni")});
        if (r.exitCode != 0)
            qWarning("%s", qPrintable(r.err));
        return r.exitCode == 0;
    }

public:
    enum Place { JournalFolder, JournalLink, DanglingArchive, DanglingArchiveCrea, Fifo, Device, FolderIsAFile,
                 NoInodesLeft, AnotherUsersJournal };
    Q_ENUM(Place)

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY2(server.psql(QStringLiteral("CREATE ROLE alunni LOGIN PASSWORD 'segreto'")), qPrintable(server.error()));
    }

    void init()
    {
        const QString problem = newArchiveFolder(dir, path, false);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        config = std::make_unique<QTemporaryDir>();
        QVERIFY(config->isValid());
        qputenv("XDG_CONFIG_HOME", config->filePath(QStringLiteral("utente")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", config->filePath(QStringLiteral("sistema")).toUtf8());
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
        const QStringList names{QStringLiteral("Rossi, \"Mario\""), QStringLiteral("=1+1"),
                                QString::fromUtf8("Niccolò\nsecondo rigo"), QStringLiteral("@SOMMA(A1)"),
                                QStringLiteral("-2"), QStringLiteral("Bianchi")};
        const char *const written[] = {"\"Rossi, \"\"Mario\"\"\"", "'=1+1", "\"Niccolò\nsecondo rigo\"",
                                       "'@SOMMA(A1)", "'-2", "Bianchi"};
        QVERIFY(createWith(path, names));
        QByteArray expected = csvHeader;
        for (qsizetype i = 0; i < names.size(); ++i) {
            expected += written[i] + QByteArray(",2024-03-01 08:30:00");
            for (qsizetype k = 1; k <= 6; ++k)
                expected += ',' + QByteArray::number(i * 10 + k);
            expected += "\r\n";
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

        const Run missing = tool({QStringLiteral("esporta"), dir->filePath(QStringLiteral("manca.mdb"))});
        QVERIFY2(missing.exitCode != 0 && missing.out.isEmpty() && missing.err.contains(QStringLiteral("non si trova")),
                 qPrintable(missing.err));
    }

    // Each row names what the cell must not let through: a formula behind
    // invisible characters or in full-width form, a typed apostrophe that would
    // make two names alike, control characters no spreadsheet shows.
    void esportaKeepsNamesText_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("cell");
        QTest::newRow("spaces then =") << text(u"  =1+1") << text(u"'  =1+1");
        QTest::newRow("no-break space then =") << text(u"\u00A0=1+1") << text(u"'\u00A0=1+1");
        QTest::newRow("ideographic space then +") << text(u"\u3000+1") << text(u"'\u3000+1");
        QTest::newRow("byte-order mark then =") << text(u"\uFEFF=1+1") << text(u"'\uFEFF=1+1");
        QTest::newRow("zero-width space then @") << text(u"\u200B@SOMMA(A1)") << text(u"'\u200B@SOMMA(A1)");
        QTest::newRow("right-to-left mark then -") << text(u"\u200F-2") << text(u"'\u200F-2");
        QTest::newRow("line feed then =") << text(u"\n=1+1") << text(u"\"'\n=1+1\"");
        QTest::newRow("full-width =") << text(u"\uFF1D1+1") << text(u"'\uFF1D1+1");
        QTest::newRow("full-width +") << text(u"\uFF0B1") << text(u"'\uFF0B1");
        QTest::newRow("full-width -") << text(u"\uFF0D1") << text(u"'\uFF0D1");
        QTest::newRow("full-width @") << text(u"\uFF20SOMMA(A1)") << text(u"'\uFF20SOMMA(A1)");
        QTest::newRow("space then small =") << text(u" \uFE661+1") << text(u"' \uFE661+1");
        QTest::newRow("typed apostrophe before =") << text(u"'=1+1") << text(u"''=1+1");
        QTest::newRow("typed apostrophe before a name") << text(u"'Rossi") << text(u"''Rossi");
        QTest::newRow("NUL inside") << text(u"Ros\0si") << text(u"Ros\uFFFDsi");
        QTest::newRow("NUL then =") << text(u"\0=1+1") << text(u"'\uFFFD=1+1");
        QTest::newRow("escape sequence") << text(u"\x1B[31mRossi") << text(u"\uFFFD[31mRossi");
        QTest::newRow("DEL and a C1 control") << text(u"Ros\x7Fsi\x85") << text(u"Ros\uFFFDsi\uFFFD");
    }

    void esportaKeepsNamesText()
    {
        QFETCH(QString, name);
        QFETCH(QString, cell);
        QVERIFY(createWith(path, {name}));
        // The name byte for byte, as another program could have stored it
        // (SQLite drops a leading byte-order mark from text bound as UTF-16).
        QVERIFY(RawDb(path).exec(QStringLiteral("UPDATE nozioli SET nome = CAST(X'%1' AS TEXT)")
                                     .arg(QString::fromLatin1(name.toUtf8().toHex()))));
        const Run r = tool({QStringLiteral("esporta"), path});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(r.out, csvHeader + cell.toUtf8() + ",2024-03-01 08:30:00,1,2,3,4,5,6\r\n");
    }

    // A write that fails must fail the command, say why in Italian, and leave
    // a CSV already there as it was, with no temporary file beside it. The
    // full device is a node of its own in the test folder when one can be made
    // (as root), so that nothing can ever replace the system's /dev/full.
    void esportaReportsAFailedWrite_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("expected");
        QTest::newRow("standard output on the full device") << QStringLiteral("stdout") << QStringLiteral("spazio");
        QTest::newRow("-o the full device") << QStringLiteral("device") << QStringLiteral("spazio");
        QTest::newRow("disk full over a good CSV (file size limit)")
            << QStringLiteral("limit") << QStringLiteral("dimensione massima");
    }

    void esportaReportsAFailedWrite()
    {
        QFETCH(QString, target);
        QFETCH(QString, expected);
        QStringList names;
        for (int i = 0; i < 50; ++i)
            names << QStringLiteral("Alunno %1").arg(i);
        QVERIFY(createWith(path, names));
        const QString csvPath = dir->filePath(QStringLiteral("classe.csv"));
        const QByteArray good = csvHeader + "Rossi,2024-03-01 08:30:00,1,2,3,4,5,6\r\n";
        QVERIFY(replaceFile(csvPath, good));

        QString device = dir->filePath(QStringLiteral("full"));
        if (::mknod(QFile::encodeName(device).constData(), S_IFCHR | 0666, makedev(1, 7)) != 0)
            device = QStringLiteral("/dev/full");
        QVERIFY2(QFileInfo(device).exists() && !QFileInfo(device).isFile(), qPrintable(device));

        Run r;
        if (target == u"stdout") {
            r = tool({QStringLiteral("esporta"), path}, {},
                     [&](QProcess &p) { p.setStandardOutputFile(device); });
        } else if (target == u"device") {
            r = tool({QStringLiteral("esporta"), path, QStringLiteral("-o"), device});
        } else {
            // Writing past RLIMIT_FSIZE fails with EFBIG, as a full disk fails
            // with ENOSPC, part of the way into the file.
            r = tool({QStringLiteral("esporta"), path, QStringLiteral("-o"), csvPath}, {}, [](QProcess &p) {
                p.setChildProcessModifier([] {
                    const rlimit limit{512, 512};
                    ::setrlimit(RLIMIT_FSIZE, &limit);
                    ::signal(SIGXFSZ, SIG_IGN);
                });
            });
        }
        QVERIFY2(r.exitCode > 0, qPrintable(r.err));
        QVERIFY2(r.err.contains(expected) && !r.err.contains(QStringLiteral("Esportate")), qPrintable(r.err));
        QVERIFY2(QFileInfo(device).exists() && !QFileInfo(device).isFile(), "the device is never replaced");
        QCOMPARE(readBytes(csvPath), good);
        QStringList left = QDir(dir->path()).entryList(QDir::Files | QDir::System | QDir::NoDotAndDotDot);
        left.removeAll(QStringLiteral("full"));
        QCOMPARE(left, QStringList({QStringLiteral("classe.csv"), QStringLiteral("nozioli.mdb")}));
    }

    // Each problem verify() finds is reported, one per line (what it finds,
    // and the exact words, are tried on the store in openRefuses).
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
        row("garbage", {u8("garbage")}, false, {u8("non è un archivio")});
        row("view and another table", {u8("CREATE VIEW v AS SELECT 1"), u8("CREATE TABLE registro (nome TEXT)")}, false,
            {u8("la vista «v»"), u8("la tabella «registro»")});
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
        const Run r = tool(command, {}, {}, wrapper);
        QVERIFY2(r.exitCode == 1 && r.err.contains(said) && !r.err.contains(notSaid), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("«%1»").arg(QDir::toNativeSeparators(folder)))
                     || r.err.contains(QStringLiteral("«%1/classe»").arg(QDir::toNativeSeparators(folder))),
                 "the message names the folder");
    }

    // configura names the folder in the settings; then every command without an
    // archive of its own, run from anywhere, works on the archive there.
    void configura_data()
    {
        QTest::addColumn<bool>("system");
        QTest::newRow("user's settings") << false;
        QTest::newRow("system's settings") << true;
    }

    void configura()
    {
        QFETCH(bool, system);
        QTemporaryDir elsewhere;
        QStringList args{QStringLiteral("configura"), QStringLiteral("--cartella"), dir->path()};
        if (system)
            args << QStringLiteral("--sistema");
        Run r = tool(args, elsewhere.path());
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("nozioli-archivio crea")), "says the archive is still to be created");
        QCOMPARE(QFile::exists(configFile("sistema")), system);
        QCOMPARE(QFile::exists(configFile("utente")), !system);

        r = tool({QStringLiteral("crea")}, elsewhere.path());
        QVERIFY2(r.exitCode == 0 && QFile::exists(path), qPrintable(r.err));
        ResultsStore store;
        QVERIFY(store.open(path) && store.save(QStringLiteral("Rossi Mario"), totals(1), QDateTime::currentDateTime()));
        store.close();
        r = tool({QStringLiteral("esporta")}, elsewhere.path());
        QVERIFY2(r.exitCode == 0 && r.out.contains("Rossi Mario"), qPrintable(r.err));
        r = tool({QStringLiteral("verifica")}, elsewhere.path());
        QVERIFY2(r.exitCode == 0 && r.err.contains(path), qPrintable(r.err));
        QVERIFY(QDir(elsewhere.path()).isEmpty());
    }

    // The system's setting when the user has one of their own is written, and
    // the tool says that the user's wins.
    void configuraWarnsOfASettingReadFirst()
    {
        QVERIFY(QDir().mkpath(QFileInfo(configFile("utente")).absolutePath()));
        QVERIFY(replaceFile(configFile("utente"), "[finestra]\nschermo-intero=true\n"));
        const Run r = tool({QStringLiteral("configura"), QStringLiteral("--cartella"), dir->path(),
                            QStringLiteral("--sistema")});
        QVERIFY2(r.exitCode == 0 && QFile::exists(configFile("sistema")), qPrintable(r.err));
        QVERIFY2(r.err.contains(QString::fromUtf8("«%1» viene letto prima").arg(configFile("utente"))), qPrintable(r.err));

        // A server in the same file comes before the folder written: said too.
        QVERIFY(replaceFile(configFile("sistema"), "[archivio]\nserver=postgresql://alunni@scuola/nozioli\n"));
        const Run again = tool({QStringLiteral("configura"), QStringLiteral("--cartella"), dir->path(),
                                QStringLiteral("--sistema")});
        QVERIFY2(again.exitCode == 0 && again.err.contains(QStringLiteral("server=")), qPrintable(again.err));
    }

    void unusableSettingStopsEveryCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::newRow("crea") << QStringLiteral("crea");
        QTest::newRow("esporta") << QStringLiteral("esporta");
        QTest::newRow("verifica") << QStringLiteral("verifica");
    }

    void unusableSettingStopsEveryCommand()
    {
        QFETCH(QString, command);
        QVERIFY(ResultsStore::create(path, nullptr));
        QVERIFY(QDir().mkpath(QFileInfo(configFile("sistema")).absolutePath()));
        QVERIFY(replaceFile(configFile("sistema"), "[archivio]\ncartella=" + dir->filePath(QStringLiteral("manca")).toUtf8()));
        // The current folder holds an archive, which must not be used instead.
        const Run r = tool({command}, dir->path());
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(configFile("sistema")) && r.err.contains(QString::fromUtf8("«cartella»")), qPrintable(r.err));
    }

    // The archive on a server: the settings' server by default, never replaced.
    // (What the pupils' role may do is tried on the store's own tests.)
    void creaOnServer()
    {
        QVERIFY(server.psql(QStringLiteral("DROP TABLE IF EXISTS nozioli, nozioli_versione")));
        QVERIFY(writeSettings("[archivio]\nserver=" + server.uri().toUtf8() + '\n'));
        Run r = tool({QStringLiteral("crea")}, dir->path());
        QVERIFY2(r.exitCode == 0 && r.err.contains(QStringLiteral("sul server «%1»").arg(serverLabel())), qPrintable(r.err));
        QVERIFY2(!QFile::exists(path), "the server, not a file");
        r = tool({QStringLiteral("crea")}, dir->path());
        QVERIFY2(r.exitCode == 1 && r.err.contains(QString::fromUtf8("c'è già un archivio")), qPrintable(r.err));
    }

    // What the pupils' role must never do to the archive, whatever a program on
    // a pupil's PC sends: each statement is refused and the archive stays whole.
    void pupilMayNotChangeTheArchive_data()
    {
        QTest::addColumn<QString>("statement");
        QTest::newRow("DELETE") << QStringLiteral("DELETE FROM nozioli");
        QTest::newRow("TRUNCATE") << QStringLiteral("TRUNCATE nozioli");
        QTest::newRow("DROP TABLE") << QStringLiteral("DROP TABLE nozioli");
        QTest::newRow("ALTER TABLE") << QStringLiteral("ALTER TABLE nozioli ADD COLUMN classe text");
        QTest::newRow("UPDATE of the version") << QStringLiteral("UPDATE nozioli_versione SET versione = 2");
        QTest::newRow("CREATE TABLE") << QStringLiteral("CREATE TABLE registro (nome text)");
    }

    void pupilMayNotChangeTheArchive()
    {
        QFETCH(QString, statement);
        QVERIFY(createOnServer());
        ResultsStore teacher;
        QVERIFY(teacher.open(server.uri()) && teacher.save(QStringLiteral("Rossi Mario"), totals(0), archived));
        teacher.close();
        const QString name = QStringLiteral("alunno-sql");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
            db.setHostName(server.socketFolder());
            db.setPort(server.port());
            db.setDatabaseName(QStringLiteral("nozioli"));
            db.setUserName(QStringLiteral("alunni"));
            db.setPassword(QStringLiteral("segreto"));
            QVERIFY2(db.open(), qPrintable(db.lastError().text()));
            QSqlQuery query(db);
            QVERIFY2(query.exec(QStringLiteral("SELECT count(*) FROM nozioli")), "the pupil reads");
            QVERIFY2(!query.exec(statement), "refused");
            QCOMPARE(query.lastError().nativeErrorCode(), QStringLiteral("42501"));     // insufficient privilege
        }
        QSqlDatabase::removeDatabase(name);
        ArchiveFacts facts;
        QCOMPARE(ResultsStore::verify(server.uri(), &facts), QStringList());
        QCOMPARE(facts.rows, 1);
    }

    // trasferisci copies each sound row of a file to the server unless the
    // server's row of that name (case aside) is as new or newer; run again,
    // it changes nothing.
    void trasferisci()
    {
        QVERIFY(createOnServer());
        const QDateTime before = archived.addMonths(-1), after = archived.addMonths(1);
        ResultsStore teacher;
        QVERIFY(teacher.open(server.uri()));
        QVERIFY(teacher.save(QStringLiteral("Bianchi Luca"), totals(100), before));
        QVERIFY(teacher.save(QStringLiteral("Neri Carlo"), totals(200), after));
        QVERIFY(teacher.save(QStringLiteral("Verdi Anna"), totals(300), archived));
        QVERIFY(teacher.save(QStringLiteral("Solo sul server"), totals(400), archived));
        teacher.close();
        // File rows i: totals(i * 10), all archived at the same moment; the
        // last three are damaged.
        QVERIFY(createWith(path, {QStringLiteral("Nuovo"), QStringLiteral("Bianchi Luca"), QStringLiteral("Neri Carlo"),
                                  QStringLiteral("verdi anna"), QStringLiteral("Senza nome"),
                                  QStringLiteral("Totale rotto"), QStringLiteral("Data rotta")}));
        {
            RawDb raw(path);
            QVERIFY(raw.exec(QStringLiteral("UPDATE nozioli SET nome = '' WHERE nome = 'Senza nome'")));
            QVERIFY(raw.exec(QStringLiteral("UPDATE nozioli SET sovragiusti = 'x' WHERE nome = 'Totale rotto'")));
            QVERIFY(raw.exec(QStringLiteral("UPDATE nozioli SET data = 'ieri' WHERE nome = 'Data rotta'")));
        }
        const QStringList expected{
            rowText(QStringLiteral("Bianchi Luca"), archived, 10),       // newer in the file
            rowText(QStringLiteral("Neri Carlo"), after, 200),           // newer on the server
            rowText(QStringLiteral("Verdi Anna"), archived, 300),        // as new: left
            rowText(QStringLiteral("Solo sul server"), archived, 400),
            rowText(QStringLiteral("Nuovo"), archived, 0),
        };
        const auto summary = [](int copied, int kept, int skipped) {
            return QString::fromUtf8("  righe copiate: %1\n"
                                     "  righe lasciate com'erano (sul server erano più recenti o uguali): %2\n"
                                     "  righe saltate (senza nome, o con totali o data danneggiati): %3\n")
                .arg(copied).arg(kept).arg(skipped);
        };
        Run r = tool({QStringLiteral("trasferisci"), path, QStringLiteral("--server"), server.uri()});
        QVERIFY2(r.exitCode == 0 && r.err.contains(summary(2, 2, 3)), qPrintable(r.err));
        QCOMPARE(rowsOf(server.uri()), expected);

        // Again, to the settings' server: nothing left to copy.
        QVERIFY(writeSettings("[archivio]\nserver=" + server.uri().toUtf8() + '\n'));
        r = tool({QStringLiteral("trasferisci"), path});
        QVERIFY2(r.exitCode == 0 && r.err.contains(summary(0, 4, 3)), qPrintable(r.err));
        QVERIFY2(r.err.contains(QStringLiteral("al server «%1»").arg(serverLabel())), qPrintable(r.err));
        QCOMPARE(rowsOf(server.uri()), expected);
    }

    // The commands that read an archive, on the settings' server or on one
    // named; {uri} is the teacher's address, {wrong} one with a wrong password.
    void readingOnServer_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("said");      // on standard output or error
        const auto u8 = [](const char *text) { return QString::fromUtf8(text); };
        QTest::newRow("esporta") << QStringList{u8("esporta")} << 0
                                 << u8("Rossi Mario,2024-03-01 08:30:00,1,2,3,4,5,6");
        QTest::newRow("esporta --foglio") << QStringList{u8("esporta"), u8("--foglio")} << 0
                                          << u8("Rossi Mario;01/03/2024 08:30:00;1;2;3;4;5;6");
        QTest::newRow("verifica") << QStringList{u8("verifica")} << 0
                                  << u8("L'archivio del server «{label}» è in ordine: 2 righe, struttura versione 1");
        QTest::newRow("verifica URI") << QStringList{u8("verifica"), u8("{uri}")} << 0
                                      << u8("del server «{label}» è in ordine: 2 righe");
        QTest::newRow("rapporto") << QStringList{u8("rapporto"), u8("-o"), u8("classe.pdf")} << 0
                                  << u8("Scritto il rapporto di 2 alunni dell'archivio del server «{label}»");
        QTest::newRow("verifica of a database without the archive")
            << QStringList{u8("verifica"), u8("{postgres}")} << 1 << u8("non c'è l'archivio dei risultati");
        QTest::newRow("wrong password") << QStringList{u8("esporta"), u8("{wrong}")} << 1
                                        << u8("non ha accettato la password dell'utente «alunni»");
    }

    void readingOnServer()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, said);
        const auto u8 = [](const char *text) { return QString::fromUtf8(text); };
        QVERIFY(createOnServer());
        ResultsStore teacher;
        QVERIFY(teacher.open(server.uri()));
        QVERIFY(teacher.save(QStringLiteral("Rossi Mario"), totals(0), archived));
        QVERIFY(teacher.save(QStringLiteral("Bianchi Luca"), totals(10), archived));
        teacher.close();
        QVERIFY(writeSettings("[archivio]\nserver=" + server.uri().toUtf8() + '\n'));
        const QString uri = server.uri();
        const QString wrong = server.uriFor(QStringLiteral("alunni")).replace(u8("alunni@"), u8("alunni:sbagliata@"));
        for (QString &a : args) {
            a.replace(u8("{uri}"), uri).replace(u8("{wrong}"), wrong);
            a.replace(u8("{postgres}"), QString(uri).replace(u8("/nozioli?"), u8("/postgres?")));
        }
        said.replace(u8("{label}"), serverLabel());
        const Run r = tool(args, dir->path());
        const QString shown = QString::fromUtf8(r.out) + r.err;
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(shown.contains(said), qPrintable(shown));
        QVERIFY2(!shown.contains(QStringLiteral("sbagliata")), "a password is never shown");
        QCOMPARE(QDir(dir->path()).exists(ResultsStore::defaultFileName()), false);
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
        QTest::newRow("configura without --cartella") << QStringList{QStringLiteral("configura")} << 2;
        QTest::newRow("--cartella without its folder")
            << QStringList{QStringLiteral("configura"), QStringLiteral("--cartella")} << 2;
        QTest::newRow("--sistema without configura")
            << QStringList{QStringLiteral("esporta"), QStringLiteral("--sistema")} << 2;
        QTest::newRow("--server with esporta")
            << QStringList{QStringLiteral("esporta"), QStringLiteral("--server"), QStringLiteral("postgresql://s/db")} << 2;
        QTest::newRow("--server that is not an address")
            << QStringList{QStringLiteral("crea"), QStringLiteral("--server"), QStringLiteral("/tmp")} << 2;
        QTest::newRow("--ruolo-alunni for a file")
            << QStringList{QStringLiteral("crea"), QStringLiteral("--ruolo-alunni"), QStringLiteral("alunni")} << 2;
        QTest::newRow("trasferisci without a server")
            << QStringList{QStringLiteral("trasferisci"), QStringLiteral("vecchio.mdb")} << 2;
        QTest::newRow("trasferisci from a server")
            << QStringList{QStringLiteral("trasferisci"), QStringLiteral("postgresql://s/db")} << 2;
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
