// nozioli-bench: start-up, play, archiving and look-up of the program, and the
// start-up of the class register, against a bare Qt Widgets program, measured
// in one run, alternating, and printed as Markdown tables with the median and
// the spread of every figure.
//
//   nozioli-bench [--runs N] [--work DIR] [--quick] [--keep]
//
// --work DIR holds the archives (default: the current folder), --quick makes
// the in-process part short, --keep leaves the archives there afterwards.
//
// Start-up runs from just before the child process is spawned to the moment
// its first paint is over, both read from CLOCK_MONOTONIC; peak memory is the
// child's ru_maxrss. Every figure of the program is set against the bare
// program's figure measured right before or after it (the order alternates).
#include "bench/benchclock.h"
#include "bench/benchdata.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QHash>
#include <QList>
#include <QStorageInfo>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <optional>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace {

struct Child
{
    std::int64_t spawnedNs = 0;
    long maxRssKiB = 0;
    QHash<QByteArray, QList<QByteArray>> values;    // key → values, in the order printed
    QHash<QByteArray, QList<double>> samples;       // "sample KIND µs" lines

    std::int64_t number(const char *key) const
    {
        const QList<QByteArray> v = values.value(key);
        return v.isEmpty() ? -1 : v.first().toLongLong();
    }
};

[[noreturn]] void fail(const QString &what)
{
    std::fprintf(stderr, "nozioli-bench: %s\n", qPrintable(what));
    std::exit(1);
}

// Spawns the program in folder, reads what it prints, waits for its end.
// What it says on stderr goes to errors.log in the folder, shown when it fails.
Child run(const QString &program, const QStringList &arguments, const QString &folder)
{
    const QString errorLog = folder + QStringLiteral("/errors.log");
    const QByteArray errorPath = QFile::encodeName(errorLog);
    QList<QByteArray> args{QFile::encodeName(program)};
    for (const QString &a : arguments)
        args << a.toUtf8();
    std::vector<char *> argv;
    for (QByteArray &a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);

    int out[2];
    if (pipe(out) != 0)
        fail(QStringLiteral("pipe"));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[1]);
    const QByteArray dir = QFile::encodeName(folder);
    posix_spawn_file_actions_addchdir_np(&actions, dir.constData());
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);

    Child child;
    pid_t pid = 0;
    child.spawnedNs = bench::monotonicNs();
    const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    if (spawned != 0)
        fail(QStringLiteral("cannot start %1").arg(program));

    QByteArray text;
    char buffer[65536];
    for (;;) {
        const ssize_t n = read(out[0], buffer, sizeof buffer);
        if (n > 0)
            text.append(buffer, n);
        else if (n == 0 || errno != EINTR)
            break;
    }
    close(out[0]);
    int status = 0;
    rusage usage {};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        QFile log(errorLog);
        const QString said = log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()) : QString();
        fail(QStringLiteral("%1 %2 ended badly (status %3)\n%4").arg(program, arguments.join(u' ')).arg(status).arg(said));
    }
    child.maxRssKiB = usage.ru_maxrss;
    for (const QByteArray &line : text.split('\n')) {
        const QList<QByteArray> words = line.split(' ');
        if (words.size() == 3 && words[0] == "sample")
            child.samples[words[1]] << words[2].toDouble();
        else if (words.size() == 2)
            child.values[words[0]] << words[1];
    }
    return child;
}

struct Stats
{
    int n = 0;
    double median = 0, p25 = 0, p75 = 0, p95 = 0, min = 0, max = 0;
};

double quantile(const QList<double> &sorted, double q)
{
    if (sorted.isEmpty())
        return 0;
    const double pos = q * double(sorted.size() - 1);
    const auto lo = qsizetype(std::floor(pos));
    const auto hi = std::min(lo + 1, sorted.size() - 1);
    return sorted[lo] + (sorted[hi] - sorted[lo]) * (pos - double(lo));
}

Stats stats(QList<double> values)
{
    std::sort(values.begin(), values.end());
    Stats s;
    s.n = int(values.size());
    if (values.isEmpty())
        return s;
    s.median = quantile(values, 0.5);
    s.p25 = quantile(values, 0.25);
    s.p75 = quantile(values, 0.75);
    s.p95 = quantile(values, 0.95);
    s.min = values.first();
    s.max = values.last();
    return s;
}

QList<double> paired(const QList<double> &a, const QList<double> &b, bool ratio)
{
    QList<double> out;
    for (qsizetype i = 0; i < std::min(a.size(), b.size()); ++i)
        out << (ratio ? a[i] / b[i] : a[i] - b[i]);
    return out;
}

QString f(double v, int decimals)
{
    return QString::number(v, 'f', decimals);
}

// "median (p25–p75)"
QString mq(const Stats &s, int decimals)
{
    return QStringLiteral("%1 (%2–%3)").arg(f(s.median, decimals), f(s.p25, decimals), f(s.p75, decimals));
}

QString range(const Stats &s, int decimals)
{
    return QStringLiteral("%1–%2").arg(f(s.min, decimals), f(s.max, decimals));
}

void line(const QString &text)
{
    std::printf("%s\n", qPrintable(text));
}

QString cpuModel()
{
    QFile file(QStringLiteral("/proc/cpuinfo"));
    if (file.open(QIODevice::ReadOnly)) {
        for (const QByteArray &l : file.readAll().split('\n')) {
            if (l.startsWith("model name"))
                return QString::fromUtf8(l.mid(l.indexOf(':') + 1).trimmed());
        }
    }
    return QStringLiteral("?");
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return QStringLiteral("?");
    return QString::fromLatin1(file.readAll().split(' ').mid(0, 3).join(' '));
}

QString holds(bool ok)
{
    return ok ? QStringLiteral("yes") : QStringLiteral("**no**");
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    int runs = 15;
    bool quick = false;
    bool keep = false;
    QString work;
    const QStringList args = QCoreApplication::arguments();
    for (qsizetype i = 1; i < args.size(); ++i) {
        if (args[i] == u"--runs" && i + 1 < args.size())
            runs = std::max(1, args[++i].toInt());
        else if (args[i] == u"--work" && i + 1 < args.size())
            work = args[++i];
        else if (args[i] == u"--quick")
            quick = true;
        else if (args[i] == u"--keep")
            keep = true;
        else {
            std::fprintf(stderr, "usage: nozioli-bench [--runs N] [--work DIR] [--quick] [--keep]\n");
            return 2;
        }
    }
    // The targets were measured on the offscreen platform.
    qputenv("QT_QPA_PLATFORM", "offscreen");

    const QString bin = QCoreApplication::applicationDirPath();
    const QString bare = bin + QStringLiteral("/nozioli-bench-bare");
    const QString mock = bin + QStringLiteral("/nozioli-bench-mock");
    const QString program = bin + QStringLiteral("/nozioli-bench-program");
    const QString player = bin + QStringLiteral("/nozioli-bench-play");
    const QString registro = bin + QStringLiteral("/nozioli-bench-registro");

    // Archives on the disk the benchmark runs from (a tmpfs would make every
    // fsync free): by default a new folder in the current one.
    QTemporaryDir temp((work.isEmpty() ? QDir::currentPath() : work) + QStringLiteral("/nozioli-bench-XXXXXX"));
    if (!temp.isValid())
        fail(QStringLiteral("cannot make a work folder: %1").arg(temp.errorString()));
    temp.setAutoRemove(!keep);
    const int sizes[] = {0, 1000, 32767};
    QHash<int, QString> folders;
    for (int rows : sizes) {
        const QString folder = temp.filePath(QStringLiteral("names-%1").arg(rows));
        QDir().mkpath(folder);
        QString error;
        if (!benchdata::makeArchive(folder + QStringLiteral("/nozioli.mdb"), rows, &error))
            fail(error);
        folders.insert(rows, folder);
    }
    const QString playFolder = temp.filePath(QStringLiteral("play"));
    QDir().mkpath(playFolder);
    if (!QFile::copy(folders.value(32767) + QStringLiteral("/nozioli.mdb"), playFolder + QStringLiteral("/nozioli.mdb")))
        fail(QStringLiteral("cannot copy the archive"));

    const QString loadBefore = loadAverage();
    const QStorageInfo storage(temp.path());

    auto startUp = [](const Child &c) {
        const std::int64_t painted = c.number("painted");
        if (painted < 0)
            fail(QStringLiteral("a child printed no paint"));
        return double(painted - c.spawnedNs) / 1e6;
    };

    // One round of each kind first, to fill the file cache; not counted.
    run(bare, {}, folders.value(0));
    for (int rows : sizes) {
        run(mock, {}, folders.value(rows));
        run(program, {QStringLiteral("formnome")}, folders.value(rows));
    }
    run(program, {QStringLiteral("fnozioli")}, folders.value(1000));
    run(registro, {}, folders.value(32767));

    // Key: the rows in the archive; -1 for the main window after a confirmed name.
    QHash<int, QList<double>> bareMs, realMs, mockMs, bareMiB, realMiB, mockMiB;
    QList<double> confirmMs;
    // The bare program, the mock (when wanted) and the program, one right
    // after the other, in an order that turns round from one round to the next.
    const auto group = [&](int key, int round, const QStringList &arguments, const QString &folder, bool withMock) {
        const auto measure = [&](int which) {
            if (which == 0) {
                const Child c = run(bare, {}, folder);
                bareMs[key] << startUp(c);
                bareMiB[key] << double(c.maxRssKiB) / 1024.0;
            } else if (which == 1) {
                if (!withMock)
                    return;
                const Child c = run(mock, {}, folder);
                mockMs[key] << startUp(c);
                mockMiB[key] << double(c.maxRssKiB) / 1024.0;
            } else {
                const Child c = run(program, arguments, folder);
                realMs[key] << startUp(c);
                realMiB[key] << double(c.maxRssKiB) / 1024.0;
                if (key < 0)
                    confirmMs << double(c.number("fnozioli") - c.number("confirmed")) / 1e6;
            }
        };
        for (int i = 0; i < 3; ++i)
            measure((round + i) % 3);
    };
    // The class register on the largest archive, paired with a bare run the same way.
    QList<double> registroMs, registroBareMs, registroMiB, registroBareMiB;
    const auto registroPair = [&](int round) {
        for (int i = 0; i < 2; ++i) {
            const bool bareTurn = (round + i) % 2 == 0;
            const Child c = run(bareTurn ? bare : registro, {}, folders.value(32767));
            (bareTurn ? registroBareMs : registroMs) << startUp(c);
            (bareTurn ? registroBareMiB : registroMiB) << double(c.maxRssKiB) / 1024.0;
        }
    };
    for (int round = 0; round < runs; ++round) {
        for (int rows : sizes)
            group(rows, round, {QStringLiteral("formnome")}, folders.value(rows), true);
        group(-1, round, {QStringLiteral("fnozioli")}, folders.value(1000), false);
        registroPair(round);
    }

    const int rounds = quick ? 1 : 3;
    const int lookups = quick ? 10 : 201;
    const int archivings = quick ? 3 : 31;
    const Child play = run(player,
                           {QString::number(32767), QString::number(rounds),
                            QString::number(lookups), QString::number(archivings)},
                           playFolder);
    const QString loadAfter = loadAverage();

    // The report.
    QList<double> allBare = registroBareMs;
    for (int key : {0, 1000, 32767, -1})
        allBare += bareMs.value(key);
    const Stats bareStart = stats(allBare);
    QList<double> allBareMiB = registroBareMiB;
    for (int key : {0, 1000, 32767, -1})
        allBareMiB += bareMiB.value(key);
    const Stats bareMem = stats(allBareMiB);

    line(QStringLiteral("## Run of %1").arg(QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
    line(QString());
    line(QStringLiteral("Qt %1, offscreen platform; %2 CPUs (%3); archives on %4 (%5); load average %6 at the start, "
                        "%7 at the end; %8 alternating runs of each start-up.")
             .arg(QString::fromLatin1(qVersion()))
             .arg(sysconf(_SC_NPROCESSORS_ONLN))
             .arg(cpuModel(), QString::fromUtf8(storage.fileSystemType()), QDir::toNativeSeparators(temp.path()),
                  loadBefore, loadAfter)
             .arg(runs));
    line(QString());
    line(QStringLiteral("### Start-up and memory: median (quartiles), min–max; ratios and differences paired with the bare run next to each"));
    line(QString());
    line(QStringLiteral("| Measure | ms | min–max | × bare | peak MiB | MiB over bare |"));
    line(QStringLiteral("|---|---|---|---|---|---|"));
    line(QStringLiteral("| bare: empty QMainWindow, first paint | %1 | %2 | 1 | %3 | 0 |")
             .arg(mq(bareStart, 1), range(bareStart, 1), f(bareMem.median, 1)));
    QHash<int, Stats> startRatio, memExtra;
    for (int rows : sizes) {
        const Stats ms = stats(realMs.value(rows));
        startRatio.insert(rows, stats(paired(realMs.value(rows), bareMs.value(rows), true)));
        memExtra.insert(rows, stats(paired(realMiB.value(rows), bareMiB.value(rows), false)));
        line(QStringLiteral("| FormNOME painted, %1 names | %2 | %3 | %4 | %5 | %6 |")
                 .arg(QLocale(QLocale::English).toString(rows), mq(ms, 1), range(ms, 1), mq(startRatio[rows], 2),
                      f(stats(realMiB.value(rows)).median, 1), mq(memExtra[rows], 1)));
    }
    for (int rows : sizes) {
        const Stats ms = stats(mockMs.value(rows));
        line(QStringLiteral("| reference: mock pupil window, %1 names | %2 | %3 | %4 | %5 | %6 |")
                 .arg(QLocale(QLocale::English).toString(rows), mq(ms, 1), range(ms, 1),
                      mq(stats(paired(mockMs.value(rows), bareMs.value(rows), true)), 2),
                      f(stats(mockMiB.value(rows)).median, 1),
                      mq(stats(paired(mockMiB.value(rows), bareMiB.value(rows), false)), 1)));
    }
    const Stats confirm = stats(confirmMs);
    const Stats confirmRatio = stats(paired(confirmMs, bareMs.value(-1), true));
    line(QStringLiteral("| name confirmed → fnozioli painted (1,000 names; × bare start-up) | %1 | %2 | %3 | %4 | %5 |")
             .arg(mq(confirm, 1), range(confirm, 1), mq(confirmRatio, 2), f(stats(realMiB.value(-1)).median, 1),
                  mq(stats(paired(realMiB.value(-1), bareMiB.value(-1), false)), 1)));
    const Stats registroStart = stats(registroMs);
    const Stats registroRatio = stats(paired(registroMs, registroBareMs, true));
    line(QStringLiteral("| class register painted, its table filled, 32,767 pupils | %1 | %2 | %3 | %4 | %5 |")
             .arg(mq(registroStart, 1), range(registroStart, 1), mq(registroRatio, 2),
                  f(stats(registroMiB).median, 1), mq(stats(paired(registroMiB, registroBareMiB, false)), 1)));
    line(QString());

    line(QStringLiteral("### In-process (µs), 32,767 names in the archive; every action includes the repaint it causes"));
    line(QString());
    line(QStringLiteral("| Action | samples | median (quartiles) | 95th percentile | min–max |"));
    line(QStringLiteral("|---|---|---|---|---|"));
    const std::pair<const char *, const char *> actions[] = {
        {"choose", "choosing an exercise (arrow key in Combo1)"},
        {"super_right", "super-concept click, right"},
        {"super_wrong", "super-concept click, wrong"},
        {"concept_right", "concept click, right"},
        {"concept_wrong", "concept click, wrong"},
        {"box_right", "space-time box click, right"},
        {"box_wrong", "space-time box click, wrong"},
    };
    double worstClickMedian = 0, worstClickP95 = 0;
    for (const auto &[key, label] : actions) {
        const Stats s = stats(play.samples.value(key));
        if (s.n == 0)
            fail(QStringLiteral("no sample of %1").arg(QString::fromLatin1(key)));
        line(QStringLiteral("| %1 | %2 | %3 | %4 | %5 |")
                 .arg(QString::fromUtf8(label))
                 .arg(s.n)
                 .arg(mq(s, 0), f(s.p95, 0), range(s, 0)));
        if (QByteArray(key) != "choose") {
            worstClickMedian = std::max(worstClickMedian, s.median);
            worstClickP95 = std::max(worstClickP95, s.p95);
        }
    }
    const std::int64_t unpainted = play.number("unpainted");
    line(QString());
    line(QStringLiteral("Actions after which no paint was seen: %1.").arg(unpainted));
    line(QString());

    line(QStringLiteral("### Archive of 32,767 names (µs): the program against bare SQLite, alternating"));
    line(QString());
    line(QStringLiteral("| Operation | samples | program | bare SQLite | program − bare | program ÷ bare |"));
    line(QStringLiteral("|---|---|---|---|---|---|"));
    const QList<double> lookup = play.samples.value("lookup"), lookupBare = play.samples.value("lookup_bare");
    const QList<double> archive = play.samples.value("archive"), archiveBare = play.samples.value("archive_bare");
    const QList<double> archiveKept = play.samples.value("archive_bare_kept");
    const Stats lookupDiff = stats(paired(lookup, lookupBare, false));
    const Stats archiveRatio = stats(paired(archive, archiveBare, true));
    line(QStringLiteral("| look-up in Risultati (LabCERCA, grid repainted) / reading the row | %1 | %2 | %3 | %4 | %5 |")
             .arg(lookup.size())
             .arg(mq(stats(lookup), 0), mq(stats(lookupBare), 0), mq(lookupDiff, 0),
                  mq(stats(paired(lookup, lookupBare, true)), 1)));
    line(QStringLiteral("| archivia() / upsert of one row (journal DELETE, synchronous FULL) | %1 | %2 | %3 | %4 | %5 |")
             .arg(archive.size())
             .arg(mq(stats(archive), 0), mq(stats(archiveBare), 0), mq(stats(paired(archive, archiveBare, false)), 0),
                  mq(archiveRatio, 2)));
    line(QStringLiteral("| archivia() / the same upsert, its statement prepared once and kept | %1 | %2 | %3 | %4 | %5 |")
             .arg(archive.size())
             .arg(mq(stats(archive), 0), mq(stats(archiveKept), 0), mq(stats(paired(archive, archiveKept, false)), 0),
                  mq(stats(paired(archive, archiveKept, true)), 2)));
    line(QString());

    line(QStringLiteral("### Targets"));
    line(QString());
    line(QStringLiteral("| Target | Measured (median) | Holds |"));
    line(QStringLiteral("|---|---|---|"));
    line(QStringLiteral("| start-up to FormNOME, 1,000 names: ≤ 1.8 × bare | %1 × | %2 |")
             .arg(f(startRatio[1000].median, 2), holds(startRatio[1000].median <= 1.8)));
    line(QStringLiteral("| start-up to FormNOME, 32,767 names: ≤ 3 × bare | %1 × | %2 |")
             .arg(f(startRatio[32767].median, 2), holds(startRatio[32767].median <= 3.0)));
    line(QStringLiteral("| peak memory, 1,000 names: ≤ bare + 12 MiB | + %1 MiB | %2 |")
             .arg(f(memExtra[1000].median, 1), holds(memExtra[1000].median <= 12.0)));
    line(QStringLiteral("| peak memory, 32,767 names: ≤ bare + 20 MiB | + %1 MiB | %2 |")
             .arg(f(memExtra[32767].median, 1), holds(memExtra[32767].median <= 20.0)));
    line(QStringLiteral("| FormNOME → fnozioli painted: ≤ 1 × the bare start-up | %1 × | %2 |")
             .arg(f(confirmRatio.median, 2), holds(confirmRatio.median <= 1.0)));
    line(QStringLiteral("| class register start-up, 32,767 pupils: ≤ 2.5 × bare | %1 × | %2 |")
             .arg(f(registroRatio.median, 2), holds(registroRatio.median <= 2.5)));
    line(QStringLiteral("| judging a click with its repaint: < 1 ms | %1 µs (95th percentile %2 µs), slowest kind | %3 |")
             .arg(f(worstClickMedian, 0), f(worstClickP95, 0), holds(worstClickMedian < 1000.0)));
    line(QStringLiteral("| archiving: ≤ 1.3 × bare upsert | %1 × | %2 |")
             .arg(f(archiveRatio.median, 2), holds(archiveRatio.median <= 1.3)));
    line(QStringLiteral("| look-up: ≤ bare read + 2 ms | + %1 µs | %2 |")
             .arg(f(lookupDiff.median, 0), holds(lookupDiff.median <= 2000.0)));
    if (keep) {
        line(QString());
        line(QStringLiteral("Archives kept in %1").arg(QDir::toNativeSeparators(temp.path())));
    }
    return 0;
}
