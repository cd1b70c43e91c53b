#include "register/classregister.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <functional>

namespace {

// Reads the archive at path read-only with one of the store's readings of rows.
ClassRegister::Reading readWith(const QString &path,
                                const std::function<std::optional<QList<ResultRecord>>(ResultsStore &)> &rows)
{
    ClassRegister::Reading r;
    const bool server = ResultsStore::isServerAddress(path);
    r.path = server ? path : QFileInfo(path).absoluteFilePath();
    r.stamp = ClassRegister::stampOf(r.path);
    ResultsStore store;
    std::optional<QList<ResultRecord>> records;
    if (store.openReadOnly(r.path)) {
        // Taken before the rows: a change in between is seen at the next poll.
        const std::optional<QByteArray> digest = server ? store.serverStamp() : QByteArray();
        if (digest) {
            r.stamp.header = *digest;
            records = rows(store);
        }
    }
    if (!records) {
        r.error = store.lastError();
        return r;
    }
    r.rows = ClassTableModel::prepare(*records);
    return r;
}

} // namespace

ClassRegister::Reading ClassRegister::read(const QString &path)
{
    return readWith(path, [](ResultsStore &store) { return store.records(); });
}

ClassRegister::Reading ClassRegister::readFirst(const QString &path, int count)
{
    Reading r = readWith(path, [count](ResultsStore &store) { return store.firstRecordsByKey(count); });
    r.partial = !r.error && int(r.rows.size()) >= count;
    return r;
}

ClassRegister::ClassRegister(QObject *parent)
    : QObject(parent)
    , m_shown(&m_table)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(SettleMs);
    connect(&m_settle, &QTimer::timeout, this, [this] {
        if (!(stampOf(m_path) == m_stamp))
            reload();
    });
    // SQLite writes the file in place and makes and deletes its journal beside
    // it; a copy put in its place replaces the file, which the watch on the
    // file does not survive, so the folder is watched too.
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, &ClassRegister::changedOnDisk);
    connect(&m_watcher, &QFileSystemWatcher::directoryChanged, this, &ClassRegister::changedOnDisk);
    m_poll.setInterval(PollMs);
    connect(&m_poll, &QTimer::timeout, this, &ClassRegister::poll);
}

bool ClassRegister::open(Reading reading)
{
    if (reading.error) {
        m_error = reading.error;
        return false;
    }
    m_path = reading.path;
    show(reading);
    return true;
}

bool ClassRegister::reload()
{
    if (m_path.isEmpty())
        return false;
    Reading reading = read(m_path);
    if (reading.error) {
        m_error = reading.error;
        // Whatever came in the archive's place, keep an eye on it.
        watch();
        emit failed(m_error.message);
        return false;
    }
    show(reading);
    return true;
}

bool ClassRegister::complete(Reading whole)
{
    if (!m_partial || whole.path != m_path)
        return false;
    if (whole.error) {
        m_error = whole.error;
        emit failed(m_error.message);
        return false;
    }
    show(whole);
    return true;
}

void ClassRegister::show(Reading &reading)
{
    m_error = {};
    m_partial = reading.partial;
    m_stamp = reading.stamp;
    m_table.setRows(std::move(reading.rows));
    watch();
    emit loaded();
}

void ClassRegister::watch()
{
    if (ResultsStore::isServerAddress(m_path)) {
        const QStringList watched = m_watcher.files() + m_watcher.directories();
        if (!watched.isEmpty())
            m_watcher.removePaths(watched);
        if (m_pollStore && m_pollStore->filePath() != m_path)
            m_pollStore.reset();
        m_poll.start();
        return;
    }
    m_poll.stop();
    m_pollStore.reset();
    const QString folder = QFileInfo(m_path).absolutePath();
    const QStringList wanted{m_path, folder};
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    for (const QString &w : watched) {
        if (!wanted.contains(w))
            m_watcher.removePath(w);
    }
    if (!m_watcher.directories().contains(folder))
        m_watcher.addPath(folder);
    if (!m_watcher.files().contains(m_path) && QFileInfo::exists(m_path))
        m_watcher.addPath(m_path);
}

void ClassRegister::changedOnDisk()
{
    // A file put in place of the archive needs a new watch.
    watch();
    // One archiving shows up as several changes: read once they are over,
    // and only when the archive's content changed.
    m_settle.start();
}

void ClassRegister::poll()
{
    if (!m_pollStore) {
        m_pollStore = std::make_unique<ResultsStore>();
        if (!m_pollStore->openReadOnly(m_path)) {
            // Not reachable now: tried again at the next poll.
            m_pollStore.reset();
            return;
        }
    }
    const std::optional<QByteArray> digest = m_pollStore->serverStamp();
    if (digest && *digest != m_stamp.header)
        reload();
}

ClassRegister::Stamp ClassRegister::stampOf(const QString &path)
{
    Stamp s;
    if (ResultsStore::isServerAddress(path))
        return s;
    const QFileInfo fi(path);
    s.exists = fi.exists();
    if (!s.exists)
        return s;
    s.size = fi.size();
    s.modified = fi.lastModified().toMSecsSinceEpoch();
    QFile file(path);
    // Bytes 24–27 of an SQLite file count its committed changes; 92–99 hold
    // the count the header is valid for and the library's version.
    if (file.open(QIODevice::ReadOnly)) {
        const QByteArray head = file.read(100);
        s.header = head.mid(24, 4) + head.mid(92, 8);
    }
    return s;
}
