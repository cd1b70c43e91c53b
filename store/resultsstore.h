#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <array>
#include <functional>
#include <memory>
#include <optional>

// One row of the table "nozioli".
struct ResultRecord
{
    QString nome;
    QDateTime data;                 // local date and time of the last archiving
    double sovragiusti = 0;
    double sovrasbagliati = 0;
    double nozioligiusti = 0;
    double noziolisbagliati = 0;
    double spaziotempogiusti = 0;
    double spaziotemposbagliati = 0;
};

// The six running totals written by one archiving.
struct ArchiveTotals
{
    qint64 sovragiusti = 0;
    qint64 sovrasbagliati = 0;
    qint64 nozioligiusti = 0;
    qint64 noziolisbagliati = 0;
    qint64 spaziotempogiusti = 0;
    qint64 spaziotemposbagliati = 0;

    friend bool operator==(const ArchiveTotals &, const ArchiveTotals &) = default;
};

// The six running totals: each is a field of the table, of ResultRecord and of
// ArchiveTotals under the same name. Listed in the order archiving writes them
// and the archive tool exports them; everything that handles all six loops
// over this table.
struct TotalField
{
    const char *name;
    double ResultRecord::*recorded;
    qint64 ArchiveTotals::*archived;
};
inline constexpr std::array<TotalField, 6> totalFields {{
    {"spaziotempogiusti", &ResultRecord::spaziotempogiusti, &ArchiveTotals::spaziotempogiusti},
    {"spaziotemposbagliati", &ResultRecord::spaziotemposbagliati, &ArchiveTotals::spaziotemposbagliati},
    {"sovragiusti", &ResultRecord::sovragiusti, &ArchiveTotals::sovragiusti},
    {"sovrasbagliati", &ResultRecord::sovrasbagliati, &ArchiveTotals::sovrasbagliati},
    {"nozioligiusti", &ResultRecord::nozioligiusti, &ArchiveTotals::nozioligiusti},
    {"noziolisbagliati", &ResultRecord::noziolisbagliati, &ArchiveTotals::noziolisbagliati},
}};

// Why an operation on the archive failed. The message is Italian and meant for
// the pupil or the teacher: what failed, which file in which folder, what to try.
struct StoreError
{
    enum Kind {
        None,
        Missing,        // the file (or its folder) is not there
        BrokenLink,     // the path is a symbolic link to nothing
        Unreadable,     // the file cannot be read
        NotAnArchive,   // garbage, a damaged file or another database format
        WrongLayout,    // an SQLite file whose schema is not the one the program creates
        Journal,        // what lies under the name of the archive's journal is in the way
        ReadOnly,       // the file or its folder cannot be written
        Locked,         // another program kept the archive busy past the busy timeout
        DiskFull,
        Exists,         // create(): a file is already there
        NoName,         // save(): no pupil's name to archive under
        Unreachable,    // the archive's server does not answer, or the connection broke
        AccessDenied,   // the server refused the user (password, permissions)
        Tls,            // the server and the address disagree on encrypted connections
        Other
    };
    Kind kind = None;
    QString message;
    explicit operator bool() const { return kind != None; }
};

// Told while an operation waits for another program to release the archive,
// so that a window can show that the program waits and keep repainting.
class LockWaitListener
{
public:
    virtual ~LockWaitListener() = default;
    // Called before each new try while an operation waits (every 20 ms once
    // the wait lasts), with the time waited so far. Must not use the store:
    // any operation started from here fails at once as "occupato".
    virtual void waiting(int elapsedMs) = 0;
    // The operation that waited is over, done or failed.
    virtual void waitOver() = 0;
};

// What verify() found besides the problems.
struct ArchiveFacts
{
    int version = 0;                // PRAGMA user_version
    qint64 rows = -1;               // rows of the table; -1 when they could not be read
};

class QSqlQuery;
class ServerStore;
namespace storedrows {
struct Dialect;
}

// The results archive "nozioli.mdb": an SQLite file holding the table
// "nozioli", one row per pupil. Names are compared ignoring case (full Unicode
// case folding), listed in the order the rows were added.
//
// Every operation checks first that the file it opened is still the one at its
// path; when the file was deleted, replaced or an operation failed, the
// connection is dropped and the next operation opens the file again, so that a
// retry succeeds once the cause is gone.
//
// An archive runs no SQL stored in it: its schema must be exactly the one
// create() makes (no trigger, view, other table or index, constraint or
// default), checked at every opening and again whenever another program
// changes it; triggers and views are switched off on the program's
// connections; and the work one operation may do inside SQLite is bounded, so
// that nothing in a file can keep the archive locked for long.
//
// The archive may also be on a PostgreSQL server, when its location is a
// connection URI ("postgresql://…"): the same operations with the same
// effects, the file's checks and limits left to the server.
class ResultsStore
{
public:
    static QString defaultFileName() { return QStringLiteral("nozioli.mdb"); }
    static constexpr int LayoutVersion = 1;
    static constexpr int DefaultBusyTimeout = 10000;    // ms spent waiting for another writer

    ResultsStore();
    ~ResultsStore();
    ResultsStore(const ResultsStore &) = delete;
    ResultsStore &operator=(const ResultsStore &) = delete;

    // "nozioli.mdb" in the folder; in the current folder when folder is empty.
    static QString pathIn(const QString &folder)
    {
        return folder.isEmpty() ? defaultFileName() : folder + u'/' + defaultFileName();
    }

    // Whether a location names an archive on a server (a PostgreSQL URI) rather than a file.
    static bool isServerAddress(const QString &location);
    // A location as messages and headings name it: a server's "host:port/database"
    // (never its password), a file's absolute path with native separators.
    static QString locationLabel(const QString &location);

    // The archive a program's settings name: the server when one is set,
    // otherwise "nozioli.mdb" in the folder (see pathIn()).
    static QString locationIn(const QString &folder, const QString &server)
    {
        return server.isEmpty() ? pathIn(folder) : server;
    }

    // The same, shorter: a file's name only (for a window's title).
    static QString displayName(const QString &location);

    // Opens an existing archive; creates nothing. Fails when the file is
    // missing, unreadable, not an archive, or its schema is not the program's.
    bool open(const QString &path);
    // Opens the archive set by setPath(), "nozioli.mdb" in the current folder
    // unless set.
    bool open() { return open(m_path); }
    void setPath(const QString &path);
    // Opens an existing archive for reading only (SQLite's mode=ro): nothing
    // is ever written to the file, and save() fails with ReadOnly. The same
    // checks as open().
    bool openReadOnly(const QString &path);
    // Drops the connection. A later operation opens the same file again.
    void close();
    bool isOpen() const;
    QString filePath() const;       // absolute path of the open (or last tried) file; a server's URI
    bool onServer() const { return m_server != nullptr; }
    const StoreError &lastError() const { return m_error; }

    // Every non-empty name, in the order the rows were added. nullopt on failure.
    std::optional<QStringList> listNames();

    // A page of the non-empty names, in the order the rows were added: those of
    // the rows after row afterRow (0: from the first), reading at most limit
    // rows. lastRow is where the next page starts; atEnd when no row is left.
    struct NamePage
    {
        QStringList names;
        qint64 lastRow = 0;
        bool atEnd = false;
    };
    std::optional<NamePage> listNames(qint64 afterRow, int limit);

    // Every row, empty names included, in the order the rows were added.
    std::optional<QList<ResultRecord>> records();
    // The first rows in the order of their folded names (the key, which has
    // a unique index), at most count: a screenful read without reading the
    // whole table. nullopt on failure.
    std::optional<QList<ResultRecord>> firstRecordsByKey(int count);

    // On a server: a digest of every row, which changes whenever a row is
    // added or changed, for a program that follows the archive by polling.
    // nullopt on failure, and for a file (whose changes a file watcher sees).
    std::optional<QByteArray> serverStamp();

    enum class Lookup { Found, NotFound, Failed };
    // Finds the row whose name matches, ignoring case.
    Lookup find(const QString &name, ResultRecord *record);

    // Writes the totals and the moment into the row of the name, adding the row
    // when missing, in one immediate transaction. False (and lastError) on failure.
    bool save(const QString &name, const ArchiveTotals &totals, const QDateTime &when);
    // The same, except that a row whose moment is not older than when is left
    // as it is (which is no failure).
    bool saveIfNewer(const QString &name, const ArchiveTotals &totals, const QDateTime &when);

    // How long an operation waits for another program's lock (milliseconds).
    void setBusyTimeout(int ms);
    int busyTimeout() const;
    // Caps the file at the given number of pages on every connection (0: no cap),
    // so that tests can stand in for a full disk.
    void setPageLimitForTesting(qint64 pages);
    // The SQLite virtual-machine steps one operation may take (0: the default),
    // so that tests can reach the bound without a huge archive.
    void setWorkLimitForTesting(qint64 steps);
    // Told while an operation waits for another program's lock; nullptr: nobody.
    void setLockWaitListener(LockWaitListener *listener);

    // Creates a new, empty archive; refuses to overwrite an existing file.
    // The file appears whole or not at all. On a server, the tables belong to
    // the connecting role, and pupilRole (when given) may only read, add and
    // update rows.
    static bool create(const QString &path, StoreError *error, const QString &pupilRole = {});

    // Checks an archive without changing it: schema (everything the program
    // did not create is named), version, integrity, duplicate names, rows
    // without a name or key. Returns the problems found, in Italian; an empty
    // list means the archive is sound. facts, when given, receives what the
    // file holds.
    static QStringList verify(const QString &path, ArchiveFacts *facts = nullptr);

    // NFD, full Unicode case folding, NFC: the key names are compared by.
    static QString foldName(const QString &name);

private:
    bool write(const QString &name, const ArchiveTotals &totals, const QDateTime &when, bool onlyIfNewer);

    // Sets up the server backend when the location is a server's, drops it otherwise.
    void choose(const QString &location);
    // Runs one read-only statement on the backend in use, handing it each row
    // until onRow returns false; false (and lastError) on failure.
    bool readRows(const QString &sql, const QVariantList &binds, const std::function<bool(const QSqlQuery &)> &onRow);
    // The SQL of the backend in use.
    const storedrows::Dialect &dialect() const;

    struct Private;
    std::unique_ptr<Private> d;
    std::unique_ptr<ServerStore> m_server;
    StoreError m_error;
    QString m_path = defaultFileName();
};
