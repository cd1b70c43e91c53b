#include "register/classregister.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

ClassRegister::Reading ClassRegister::read(const QString &path)
{
    Reading r;
    r.path = QFileInfo(path).absoluteFilePath();
    r.stamp = stampOf(r.path);
    ResultsStore store;
    std::optional<QList<ResultRecord>> records;
    if (store.openReadOnly(r.path))
        records = store.records();
    if (!records) {
        r.error = store.lastError();
        return r;
    }
    r.rows = ClassTableModel::prepare(*records);
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

void ClassRegister::show(Reading &reading)
{
    m_error = {};
    m_stamp = reading.stamp;
    m_table.setRows(std::move(reading.rows));
    watch();
    emit loaded();
}

void ClassRegister::watch()
{
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

ClassRegister::Stamp ClassRegister::stampOf(const QString &path)
{
    Stamp s;
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
