#pragma once

#include "register/classfilter.h"
#include "register/classtable.h"
#include "store/resultsstore.h"

#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>
#include <vector>

// The archive the register shows: read whole into the class table, read-only,
// and read again when it changes (another program archiving: a file watcher
// sees it on disk, a light poll on a server), when the teacher asks (reload)
// or when another archive is opened.
class ClassRegister : public QObject
{
    Q_OBJECT

public:
    // How long the register waits for an archiving to settle before reading.
    static constexpr int SettleMs = 150;
    // The rows read first at start-up, more than a window shows.
    static constexpr int FirstRows = 200;
    // How often an archive on a server is asked whether it changed.
    static constexpr int PollMs = 3000;

    // What identifies an archive's content on disk without reading it.
    struct Stamp
    {
        bool exists = false;
        qint64 size = 0;
        qint64 modified = 0;
        QByteArray header;          // SQLite's change counter and the version it is valid for;
                                    // on a server, the digest of its rows
        bool operator==(const Stamp &) const = default;
    };
    static Stamp stampOf(const QString &path);

    // One reading of an archive, ready for the table.
    struct Reading
    {
        QString path;               // absolute, or a server's address
        Stamp stamp;                // taken before the reading
        std::vector<PupilRow> rows;
        StoreError error;           // set when the reading failed
        bool partial = false;       // only the first rows of the archive
    };
    // Opens the archive read-only through the store, reads every row and
    // prepares the table's rows. Touches nothing else: safe on any thread, so
    // that the program can read while it builds its window.
    static Reading read(const QString &path);
    // The same for the first count rows in the order of the folded names,
    // read through the archive's index: something to show at once while the
    // whole class is read. Partial unless fewer rows than count came. The rows
    // missing are ones whose folded names come later in code-point order
    // (among them names beginning with an accented letter), so the whole
    // reading only adds rows to those shown.
    static Reading readFirst(const QString &path, int count);

    explicit ClassRegister(QObject *parent = nullptr);

    // Shows the archive at path. On failure the table is left as it was,
    // lastError() says why and the archive on show stays the same.
    bool open(const QString &path) { return open(read(path)); }
    bool open(Reading reading);
    // Reads the archive on show again; false (and lastError) on failure.
    bool reload();
    // Puts the whole reading of the archive on show in place of its first
    // rows (a partial reading): the rows added are announced as inserted, so
    // that views keep their selection and sort. Ignored (false) when the
    // register no longer shows those first rows: read again or another
    // archive opened in the meantime. A failed reading is told as reload() does.
    bool complete(Reading whole);

    bool isOpen() const { return !m_path.isEmpty(); }
    // Only the first rows of the archive are on show.
    bool isPartial() const { return m_partial; }
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
    void show(Reading &reading);
    void watch();
    void changedOnDisk();
    void poll();

    ClassTableModel m_table;
    ClassFilterModel m_shown;
    QFileSystemWatcher m_watcher;
    QTimer m_settle;
    QTimer m_poll;
    std::unique_ptr<ResultsStore> m_pollStore;     // kept connected to the server between polls
    QString m_path;
    Stamp m_stamp;
    StoreError m_error;
    bool m_partial = false;
};
