#include "register/classregister.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

ClassRegister::ClassRegister(QObject *parent)
    : QObject(parent)
    , m_shown(&m_table)
{
    m_shown.sort(ClassTableModel::Name, Qt::AscendingOrder);
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

bool ClassRegister::open(const QString &path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    if (!m_store.openReadOnly(absolute)) {
        m_error = m_store.lastError();
        if (!m_path.isEmpty())
            m_store.openReadOnly(m_path);       // back to the archive on show
        return false;
    }
    const QString before = m_path;
    m_path = absolute;
    if (!read()) {
        m_path = before;
        if (!before.isEmpty())
            m_store.openReadOnly(before);
        return false;
    }
    watch();
    emit loaded();
    return true;
}

bool ClassRegister::reload()
{
    if (m_path.isEmpty())
        return false;
    watch();
    if (!read()) {
        emit failed(m_error.message);
        return false;
    }
    emit loaded();
    return true;
}

bool ClassRegister::read()
{
    const Stamp stamp = stampOf(m_path);
    const std::optional<QList<ResultRecord>> rows = m_store.records();
    if (!rows) {
        m_error = m_store.lastError();
        return false;
    }
    m_error = {};
    m_stamp = stamp;
    m_table.setRecords(*rows);
    return true;
}

void ClassRegister::watch()
{
    const QStringList watched = m_watcher.files() + m_watcher.directories();
    const QString folder = QFileInfo(m_path).absolutePath();
    const QStringList wanted{m_path, folder};
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
    // One archiving shows up as several changes: read once they are over.
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
