// nozioli-carico: load test of a results archive shared by several processes.
//
// Creates a new archive (a file, or the layout in a server's database),
// starts processes that archive pupils into it at the same time while others
// list and look up names, then checks the archive against what every process
// did and prints the figures. The same program, started with --worker or
// --reader, is one of those processes.
#include "tools/carico/loadrun.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <memory>
#include <vector>

namespace {

enum Exit { Pass = 0, Fail = 1, Usage = 2 };

QTextStream &outStream()
{
    static QTextStream stream(stdout);
    return stream;
}

int usage(const QString &text)
{
    QTextStream err(stderr);
    err << "nozioli-carico: " << text << "\nTry «nozioli-carico --help».\n";
    return Usage;
}

bool touch(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly);
}

// Internal modes: the driver starts the program again as its own processes.
//   --worker ARCHIVE LOG GOFILE PROCESS COUNT BUSY
//   --reader ARCHIVE LOG GOFILE STOPFILE READER BUSY MAXSECONDS
int internalMode(const QStringList &a)
{
    if (a.value(1) == QLatin1String("--worker") && a.size() == 8)
        return loadrun::runWorker(a[2], a[3], a[4], a[5].toInt(), a[6].toInt(), a[7].toInt());
    if (a.value(1) == QLatin1String("--reader") && a.size() == 9)
        return loadrun::runReader(a[2], a[3], a[4], a[5], a[6].toInt(), a[7].toInt(), a[8].toInt());
    return usage(QStringLiteral("wrong arguments for an internal mode"));
}

struct Options
{
    int processes = 8;
    int pupils = 300;
    int readers = 2;
    int busyTimeout = ResultsStore::DefaultBusyTimeout;
    int deadline = 1800;
    QString folder;
    QString second;
    QString server;
    QString work;
    bool keep = false;
    bool checkOnly = false;
};

bool positive(const QCommandLineParser &p, const QString &name, int min, int max, int *value, QString *error)
{
    if (!p.isSet(name))
        return true;
    bool ok = false;
    const int v = p.value(name).toInt(&ok);
    if (!ok || v < min || v > max) {
        *error = QStringLiteral("--%1 takes a whole number from %2 to %3").arg(name).arg(min).arg(max);
        return false;
    }
    *value = v;
    return true;
}

QString firstLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(f.read(400)).simplified();
}

int drive(const Options &o)
{
    QTextStream &out = outStream();
    std::unique_ptr<QTemporaryDir> tempFolder, tempWork;
    QString folder = o.folder;
    if (!o.server.isEmpty()) {
        // The archive is in the server's database: no folder.
    } else if (folder.isEmpty()) {
        tempFolder = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/nozioli-carico-XXXXXX"));
        if (!tempFolder->isValid())
            return usage(QStringLiteral("cannot make a temporary folder: %1").arg(tempFolder->errorString()));
        folder = tempFolder->path();
    } else if (!QDir().mkpath(folder)) {
        return usage(QStringLiteral("cannot make the folder %1").arg(folder));
    }
    QString work = o.work;
    if (work.isEmpty()) {
        tempWork = std::make_unique<QTemporaryDir>(QDir::tempPath() + QStringLiteral("/nozioli-carico-log-XXXXXX"));
        if (!tempWork->isValid())
            return usage(QStringLiteral("cannot make a temporary folder: %1").arg(tempWork->errorString()));
        work = tempWork->path();
    } else if (!QDir().mkpath(work)) {
        return usage(QStringLiteral("cannot make the folder %1").arg(work));
    }
    if (o.keep) {
        if (tempFolder)
            tempFolder->setAutoRemove(false);
        if (tempWork)
            tempWork->setAutoRemove(false);
    }
    const QString archive =
        o.server.isEmpty() ? QDir(folder).absoluteFilePath(ResultsStore::defaultFileName()) : o.server;
    const QString other =
        o.second.isEmpty() ? archive : QDir(o.second).absoluteFilePath(ResultsStore::defaultFileName());
    work = QDir(work).absolutePath();

    if (o.checkOnly) {
        const loadrun::Figures f = loadrun::check(archive, work, {}, 0, out);
        return f.pass ? Pass : Fail;
    }

    if (!QDir(work).entryList({QStringLiteral("*.log")}, QDir::Files).isEmpty())
        return usage(QStringLiteral("the log folder %1 already holds the logs of a run").arg(work));
    StoreError created;
    if (!ResultsStore::create(archive, &created)) {
        QTextStream(stderr) << created.message << '\n';
        return Usage;
    }
    if (o.server.isEmpty() && !QFileInfo::exists(other))
        return usage(QStringLiteral("%1 is not the folder %2 reached by another path").arg(o.second, folder));
    // Every other process reaches the archive through the second path, as from another PC.
    auto pathOf = [&](int i) { return i % 2 ? other : archive; };
    const QString go = work + QStringLiteral("/go");
    const QString stop = work + QStringLiteral("/stop");
    const QString self = QCoreApplication::applicationFilePath();

    struct Child
    {
        std::unique_ptr<QProcess> process;
        loadrun::ProcessOutcome outcome;
        QString errorFile;
    };
    std::vector<Child> workers, readers;
    auto start = [&](std::vector<Child> &into, const QString &what, const QString &tag, const QStringList &args) {
        Child c;
        c.process = std::make_unique<QProcess>();
        c.outcome.what = what;
        c.errorFile = work + u'/' + tag + QStringLiteral(".err");
        c.process->setStandardOutputFile(work + u'/' + tag + QStringLiteral(".out"));
        c.process->setStandardErrorFile(c.errorFile);
        c.process->start(self, args);
        if (!c.process->waitForStarted(30000)) {
            c.outcome.crashed = true;
            c.outcome.errorOutput = c.process->errorString();
        }
        into.push_back(std::move(c));
    };
    const QString busy = QString::number(o.busyTimeout);
    for (int p = 0; p < o.processes; ++p) {
        start(workers, QStringLiteral("archiving process %1").arg(p), QStringLiteral("worker-%1").arg(p),
              {QStringLiteral("--worker"), pathOf(p), loadrun::workerLog(work, p), go, QString::number(p),
               QString::number(o.pupils), busy});
    }
    for (int r = 0; r < o.readers; ++r) {
        start(readers, QStringLiteral("reader %1").arg(r), QStringLiteral("reader-%1").arg(r),
              {QStringLiteral("--reader"), pathOf(r + 1), loadrun::readerLog(work, r), go, stop, QString::number(r),
               busy, QString::number(o.deadline)});
    }

    out << "Running " << o.processes << " archiving processes x " << o.pupils << " pupils and " << o.readers
        << " readers on " << QDir::toNativeSeparators(archive) << '\n';
    if (other != archive)
        out << "Half of them through " << QDir::toNativeSeparators(other) << '\n';
    out.flush();
    QElapsedTimer clock;
    clock.start();
    touch(go);

    QDeadlineTimer deadline(qint64(o.deadline) * 1000);
    auto finish = [&](Child &c, QDeadlineTimer until) {
        const int wait = int(qMax<qint64>(1, until.remainingTime()));
        if (c.process->state() != QProcess::NotRunning && !c.process->waitForFinished(wait)) {
            c.outcome.finished = false;
            c.process->kill();
            c.process->waitForFinished(10000);
            return;
        }
        if (c.outcome.crashed)
            return;
        c.outcome.crashed = c.process->exitStatus() != QProcess::NormalExit;
        c.outcome.exitCode = c.process->exitCode();
        c.outcome.errorOutput = firstLines(c.errorFile);
    };
    for (Child &c : workers)
        finish(c, deadline);
    const double seconds = double(clock.nsecsElapsed()) / 1e9;
    touch(stop);
    for (Child &c : readers)
        finish(c, QDeadlineTimer(60000));

    QList<loadrun::ProcessOutcome> outcomes;
    for (const Child &c : workers)
        outcomes << c.outcome;
    for (const Child &c : readers)
        outcomes << c.outcome;
    const loadrun::Figures f = loadrun::check(archive, work, outcomes, seconds, out);
    if (o.keep)
        out << "kept: archive " << QDir::toNativeSeparators(archive) << ", logs " << QDir::toNativeSeparators(work)
            << '\n';
    return f.pass ? Pass : Fail;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("nozioli-carico"));
    const QStringList args = QCoreApplication::arguments();
    if (args.value(1) == QLatin1String("--worker") || args.value(1) == QLatin1String("--reader"))
        return internalMode(args);

    QCommandLineParser p;
    p.setApplicationDescription(QStringLiteral(
        "Load test of a shared results archive: several processes archive pupils into one new archive "
        "while others list and look up names; then the archive is checked against what each process did.\n"
        "Exit status: 0 when every archiving landed once with its values and nothing failed, 1 otherwise, "
        "2 for wrong options."));
    p.addHelpOption();
    p.addOptions({
        {{QStringLiteral("p"), QStringLiteral("processes")}, QStringLiteral("Archiving processes (default 8)."),
         QStringLiteral("N")},
        {{QStringLiteral("n"), QStringLiteral("pupils")}, QStringLiteral("Archivings per process (default 300)."),
         QStringLiteral("N")},
        {{QStringLiteral("r"), QStringLiteral("readers")},
         QStringLiteral("Processes listing and looking up names meanwhile (default 2)."), QStringLiteral("N")},
        {{QStringLiteral("f"), QStringLiteral("folder")},
         QStringLiteral("Folder of the new archive nozioli.mdb (default: a new temporary folder). "
                        "It must not already hold an archive."),
         QStringLiteral("DIR")},
        {{QStringLiteral("b"), QStringLiteral("busy-timeout")},
         QStringLiteral("How long an operation waits for another process's lock, in ms (default 10000)."),
         QStringLiteral("MS")},
        {QStringLiteral("second-folder"),
         QStringLiteral("The same folder reached by another path, such as a second mount of the same network "
                        "share: every other process uses it, as another PC would."),
         QStringLiteral("DIR")},
        {QStringLiteral("server"),
         QStringLiteral("The archive on a PostgreSQL server instead of a file: a connection URI "
                        "(postgresql://…) of a database that does not hold an archive yet. The run creates it "
                        "there and leaves it. Not with --folder or --second-folder."),
         QStringLiteral("URI")},
        {QStringLiteral("work"), QStringLiteral("Folder for the processes' logs (default: a new temporary folder)."),
         QStringLiteral("DIR")},
        {QStringLiteral("deadline"),
         QStringLiteral("Seconds after which processes still running are stopped and counted as failed "
                        "(default 1800)."),
         QStringLiteral("S")},
        {QStringLiteral("keep"), QStringLiteral("Keep the temporary archive and logs.")},
        {QStringLiteral("check-only"),
         QStringLiteral("Run nothing: check the archive in --folder (or on --server) against the logs in --work of "
                        "an earlier run.")},
    });
    p.process(app);
    if (!p.positionalArguments().isEmpty())
        return usage(QStringLiteral("unexpected argument %1").arg(p.positionalArguments().first()));

    Options o;
    QString error;
    if (!positive(p, QStringLiteral("processes"), 1, 64, &o.processes, &error)
        || !positive(p, QStringLiteral("pupils"), 1, 100000, &o.pupils, &error)
        || !positive(p, QStringLiteral("readers"), 0, 64, &o.readers, &error)
        || !positive(p, QStringLiteral("busy-timeout"), 0, 3600000, &o.busyTimeout, &error)
        || !positive(p, QStringLiteral("deadline"), 1, 86400, &o.deadline, &error))
        return usage(error);
    o.folder = p.value(QStringLiteral("folder"));
    o.second = p.value(QStringLiteral("second-folder"));
    o.server = p.value(QStringLiteral("server"));
    o.work = p.value(QStringLiteral("work"));
    o.keep = p.isSet(QStringLiteral("keep"));
    o.checkOnly = p.isSet(QStringLiteral("check-only"));
    if (p.isSet(QStringLiteral("server")) && !ResultsStore::isServerAddress(o.server))
        return usage(QStringLiteral("--server takes a PostgreSQL URI (postgresql://…)"));
    if (!o.server.isEmpty() && (!o.folder.isEmpty() || !o.second.isEmpty()))
        return usage(QStringLiteral("--server goes without --folder and --second-folder"));
    if (o.checkOnly && ((o.folder.isEmpty() && o.server.isEmpty()) || o.work.isEmpty()))
        return usage(QStringLiteral("--check-only needs --folder (or --server) and --work"));
    return drive(o);
}
