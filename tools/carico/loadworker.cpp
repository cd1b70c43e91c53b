// The worker and reader processes of a load run.
#include "tools/carico/loadplan.h"
#include "tools/carico/loadrun.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QMap>
#include <QRandomGenerator>
#include <QSet>
#include <QThread>

#include <chrono>

namespace loadrun {

namespace {

// Nanoseconds of the system-wide monotonic clock: comparable between the
// processes of one machine, so the check can order archivings of different processes.
qint64 nowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Line-at-a-time log: each line reaches the file at once, so a process that
// dies leaves every line written so far.
class Log
{
public:
    explicit Log(const QString &path) : m_file(path) { m_ok = m_file.open(QIODevice::WriteOnly | QIODevice::Truncate); }
    bool ok() const { return m_ok; }
    void line(const QStringList &fields)
    {
        QString text = fields.join(u'\t');
        text.replace(u'\n', u' ');
        m_file.write(text.toUtf8() + '\n');
        m_file.flush();
    }

private:
    QFile m_file;
    bool m_ok = false;
};

// Waits for the driver's signal that every process has started.
bool waitForGo(const QString &goFile)
{
    QDeadlineTimer deadline(120000);
    while (!QFileInfo::exists(goFile)) {
        if (deadline.hasExpired())
            return false;
        QThread::msleep(2);
    }
    return true;
}

// Whether list holds every name of earlier, in the same order.
bool keepsInOrder(const QStringList &list, const QStringList &earlier)
{
    qsizetype at = 0;
    for (const QString &name : earlier) {
        while (at < list.size() && list.at(at) != name)
            ++at;
        if (at == list.size())
            return false;
        ++at;
    }
    return true;
}

} // namespace

QString kindName(StoreError::Kind kind)
{
    switch (kind) {
    case StoreError::None: return QStringLiteral("none");
    case StoreError::Missing: return QStringLiteral("missing");
    case StoreError::BrokenLink: return QStringLiteral("broken-link");
    case StoreError::Unreadable: return QStringLiteral("unreadable");
    case StoreError::NotAnArchive: return QStringLiteral("not-an-archive");
    case StoreError::WrongLayout: return QStringLiteral("wrong-layout");
    case StoreError::Journal: return QStringLiteral("journal");
    case StoreError::ReadOnly: return QStringLiteral("read-only");
    case StoreError::Locked: return QStringLiteral("locked");
    case StoreError::DiskFull: return QStringLiteral("disk-full");
    case StoreError::Exists: return QStringLiteral("exists");
    case StoreError::NoName: return QStringLiteral("no-name");
    case StoreError::Unreachable: return QStringLiteral("unreachable");
    case StoreError::AccessDenied: return QStringLiteral("access-denied");
    case StoreError::Tls: return QStringLiteral("tls");
    case StoreError::Other: return QStringLiteral("other");
    }
    return QStringLiteral("other");
}

QString workerLog(const QString &workDir, int process)
{
    return workDir + QStringLiteral("/worker-%1.log").arg(process);
}

QString readerLog(const QString &workDir, int reader)
{
    return workDir + QStringLiteral("/reader-%1.log").arg(reader);
}

// Log lines of a worker:
//   B  process count                      at the start
//   O  kind message                       the first opening failed
//   S  seq ok kind startNs endNs name     one archiving (ok: 1 landed, 0 failed)
//   M  kind message                       the first message of each error kind
//   D                                     every archiving was tried
int runWorker(const QString &archive, const QString &logPath, const QString &goFile, int process, int count,
              int busyTimeout)
{
    Log log(logPath);
    if (!log.ok())
        return 3;
    log.line({QStringLiteral("B"), QString::number(process), QString::number(count)});
    if (!waitForGo(goFile))
        return 4;

    ResultsStore store;
    store.setBusyTimeout(busyTimeout);
    QSet<StoreError::Kind> told;
    if (!store.open(archive)) {
        // save() opens the file again by itself: the run goes on and counts what happens.
        log.line({QStringLiteral("O"), kindName(store.lastError().kind), store.lastError().message});
        told.insert(store.lastError().kind);
    }
    for (int seq = 0; seq < count; ++seq) {
        const loadplan::Step step = loadplan::step(process, seq, count);
        const ArchiveTotals totals = loadplan::totalsFor(process, seq, ResultsStore::foldName(step.name));
        const qint64 start = nowNs();
        const bool ok = store.save(step.name, totals, QDateTime::currentDateTime());
        const qint64 end = nowNs();
        const StoreError::Kind kind = ok ? StoreError::None : store.lastError().kind;
        log.line({QStringLiteral("S"), QString::number(seq), ok ? QStringLiteral("1") : QStringLiteral("0"),
                  kindName(kind), QString::number(start), QString::number(end), step.name});
        if (!ok && !told.contains(kind)) {
            told.insert(kind);
            log.line({QStringLiteral("M"), kindName(kind), store.lastError().message});
        }
    }
    store.close();
    log.line({QStringLiteral("D")});
    return 0;
}

// Log lines of a reader, written when it stops:
//   T  lists lookups
//   E  kind count message                 errors of one kind, with the first message
//   D
// Besides the store's own failures, a reader counts what it reads wrong:
// a list that lost, renamed or reordered earlier rows, a folded name listed
// twice, a listed name not found, a look-up returning another pupil's row or a
// row whose totals are not those of one archiving, an unknown name found.
int runReader(const QString &archive, const QString &logPath, const QString &goFile, const QString &stopFile,
              int reader, int busyTimeout, int maxSeconds)
{
    Log log(logPath);
    if (!log.ok())
        return 3;
    if (!waitForGo(goFile))
        return 4;

    struct Count
    {
        qint64 n = 0;
        QString message;
    };
    QMap<QString, Count> errors;
    auto fail = [&](const QString &kind, const QString &message) {
        Count &c = errors[kind];
        if (c.n++ == 0)
            c.message = message;
    };

    ResultsStore store;
    store.setBusyTimeout(busyTimeout);
    if (!store.open(archive))
        fail(QStringLiteral("open-") + kindName(store.lastError().kind), store.lastError().message);

    QRandomGenerator random(quint32(reader) * 7919u + 17u);
    const QString nobody = QStringLiteral("Nessuno Zzyzx %1").arg(reader);
    QStringList previous;
    const bool onServer = ResultsStore::isServerAddress(archive);
    qint64 lists = 0, lookups = 0;
    QDeadlineTimer deadline(qint64(maxSeconds) * 1000);
    // At least one round, however short the run.
    for (bool first = true; first || (!QFileInfo::exists(stopFile) && !deadline.hasExpired()); first = false) {
        ++lists;
        const std::optional<QStringList> names = store.listNames();
        if (!names) {
            fail(kindName(store.lastError().kind), store.lastError().message);
            QThread::msleep(1);
            continue;
        }
        // Rows are only ever added and a name never changes. In a file they
        // are added at the end; on a server a row may show up between rows
        // listed before, as rows are numbered when added but seen when committed.
        if (onServer ? !keepsInOrder(*names, previous)
                     : names->size() < previous.size() || names->mid(0, previous.size()) != previous)
            fail(QStringLiteral("list-lost-rows"),
                 onServer ? QStringLiteral("a list lost or reordered rows of the previous list")
                          : QStringLiteral("a list no longer starts with the previous list"));
        QSet<QString> keys;
        for (const QString &n : *names) {
            const QString key = ResultsStore::foldName(n);
            if (keys.contains(key))
                fail(QStringLiteral("list-duplicate"), QStringLiteral("«%1» listed twice").arg(n));
            keys.insert(key);
        }
        previous = *names;

        for (int i = 0; i < 4 && !names->isEmpty(); ++i) {
            const QString listed = names->at(random.bounded(int(names->size())));
            // The results window looks names up in capitals.
            const QString asked = i % 2 ? listed.toUpper() : loadplan::spelling(listed, i + 2);
            ResultRecord row;
            ++lookups;
            const ResultsStore::Lookup found = store.find(asked, &row);
            if (found == ResultsStore::Lookup::Failed) {
                fail(kindName(store.lastError().kind), store.lastError().message);
            } else if (found == ResultsStore::Lookup::NotFound) {
                fail(QStringLiteral("listed-not-found"), QStringLiteral("«%1» listed but not found").arg(asked));
            } else if (row.nome != listed) {
                fail(QStringLiteral("found-other-row"),
                     QStringLiteral("«%1» found the row of «%2»").arg(asked, row.nome));
            } else if (!loadplan::originOf(row, ResultsStore::foldName(listed))) {
                fail(QStringLiteral("row-not-whole"),
                     QStringLiteral("the totals of «%1» are not those of one archiving").arg(listed));
            }
        }
        ++lookups;
        const ResultsStore::Lookup none = store.find(nobody, nullptr);
        if (none == ResultsStore::Lookup::Failed)
            fail(kindName(store.lastError().kind), store.lastError().message);
        else if (none == ResultsStore::Lookup::Found)
            fail(QStringLiteral("unknown-name-found"), QStringLiteral("«%1» found").arg(nobody));
        QThread::msleep(1);
    }
    store.close();
    log.line({QStringLiteral("T"), QString::number(lists), QString::number(lookups)});
    for (auto it = errors.cbegin(); it != errors.cend(); ++it)
        log.line({QStringLiteral("E"), it.key(), QString::number(it->n), it->message});
    log.line({QStringLiteral("D")});
    return 0;
}

} // namespace loadrun
