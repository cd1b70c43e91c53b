#pragma once

#include "register/classfilter.h"
#include "register/classtable.h"
#include "store/resultsstore.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

// The archive the register shows: opened read-only, read whole into the class
// table, and read again when it changes on disk (another program archiving),
// when the teacher asks (reload) or when another archive is opened.
class ClassRegister : public QObject
{
    Q_OBJECT

public:
    // How long the register waits for an archiving to settle before reading.
    static constexpr int SettleMs = 150;

    explicit ClassRegister(QObject *parent = nullptr);

    // Opens the archive at path read-only and reads it. On failure the table
    // is left as it was, lastError() says why, and nothing is watched.
    bool open(const QString &path);
    // Reads the open archive again; false (and lastError) on failure.
    bool reload();

    bool isOpen() const { return !m_path.isEmpty(); }
    QString archivePath() const { return m_path; }
    const StoreError &lastError() const { return m_error; }

    ClassTableModel *table() { return &m_table; }
    ClassFilterModel *shown() { return &m_shown; }

signals:
    // After every successful reading of the archive.
    void loaded();
    // A reading failed (the message is for the teacher); the table keeps
    // what it showed.
    void failed(const QString &message);

private:
    // What identifies the archive's content on disk without reading it.
    struct Stamp
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0;
        QByteArray header;          // SQLite's change counter and its version-valid-for copy
        bool operator==(const Stamp &) const = default;
    };
    static Stamp stampOf(const QString &path);

    bool read();
    void watch();
    void changedOnDisk();

    ResultsStore m_store;
    ClassTableModel m_table;
    ClassFilterModel m_shown;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QString m_path;
    Stamp m_stamp;
    StoreError m_error;
};
