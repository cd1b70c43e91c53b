#include "store/resultsstore.h"

#include "store/schemacheck.h"
#include "store/serverstore.h"
#include "store/storedrows.h"

#include <QAtomicInteger>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUrl>
#include <QVariant>

#include <cmath>
#include <functional>
#include <iterator>
#include <limits>
#include <memory>
#include <optional>

#include <sqlite3.h>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#endif

namespace {

// Virtual-machine steps between two calls of the progress handler, and the
// steps one operation may take: under a second of SQLite's work on a slow
// machine, over ten times what reading every row of an archive of 100,000
// pupils takes (about 3 million steps, as many as its integrity check).
constexpr int WorkStep = 1000;
constexpr qint64 DefaultWorkLimit = 50'000'000;

// How long the busy handler sleeps between two tries for a lock (ms): short
// at first, as another archiving is usually over within milliseconds, then
// in slices short enough for the windows to repaint smoothly.
constexpr int WaitSteps[] = {1, 2, 5, 10, 15};
constexpr int WaitSlice = 20;

// SQLite's primary result codes; extended codes carry them in their low byte.
enum SqliteCode {
    SqliteError = 1,
    SqliteBusy = 5,
    SqliteLocked = 6,
    SqliteReadOnly = 8,
    SqliteInterrupt = 9,
    SqliteIoErr = 10,
    SqliteCorrupt = 11,
    SqliteFull = 13,
    SqliteCantOpen = 14,
    SqliteNotADb = 26,
};

using storedrows::Context;

QString q(const char *text) { return QString::fromUtf8(text); }

// Identity of the file at a path, to notice a file deleted or replaced while open.
struct FileId
{
    bool valid = false;
    quint64 device = 0;
    quint64 inode = 0;
    bool operator==(const FileId &o) const { return valid == o.valid && device == o.device && inode == o.inode; }
};

FileId fileId(const QString &path)
{
#ifdef Q_OS_UNIX
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return {true, quint64(st.st_dev), quint64(st.st_ino)};
#else
    return {QFileInfo::exists(path), 0, 0};
#endif
}

void syncFolder(const QString &folder)
{
#ifdef Q_OS_UNIX
    const int fd = ::open(QFile::encodeName(folder).constData(), O_RDONLY | O_DIRECTORY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
#else
    Q_UNUSED(folder);
#endif
}

// Read-only for the program: not writable for this user, or writable by nobody
// at all (which also holds for a user who bypasses permissions).
bool fileReadOnly(const QFileInfo &fi)
{
    // WriteUser is left out: it tells what this user may do, and that is isWritable().
    constexpr QFile::Permissions anyWrite = QFile::WriteOwner | QFile::WriteGroup | QFile::WriteOther;
    return !fi.isWritable() || !(fi.permissions() & anyWrite);
}

// What, beside its kind, a message is about.
enum class Cause {
    Plain,
    Folder,         // the archive's folder rather than the file
    FolderIsFile,   // Missing: the folder's path names a file
    NotAFile,       // NotAnArchive: a folder, a pipe, a device (the detail says which)
    NoInodes,       // DiskFull: the file system can hold no more files
    JournalFolder,  // Journal: a folder under the journal's name
    JournalLink,    // Journal: a symbolic link under the journal's name
    JournalOther,   // Journal: a pipe, a device or a socket under the journal's name
    JournalStuck,   // Journal: another user's journal that this user can neither use nor remove
};

QString journalPath(const QString &path)
{
    return path + QLatin1String("-journal");
}

// The one place where the messages about the archive are written. In the
// texts: %1 the file's name, %2 its folder, %3 the detail, %4 the journal's name.
StoreError makeError(StoreError::Kind kind, Context ctx, const QString &path, const QString &detail = {},
                     Cause cause = Cause::Plain)
{
    const QFileInfo fi(path);
    const QString file = fi.fileName();
    const QString folder = QDir::toNativeSeparators(fi.absolutePath());
    QString reason;
    switch (kind) {
    case StoreError::None:
        return {};
    case StoreError::Missing:
        if (cause == Cause::FolderIsFile)
            reason = q("«%2» è un file, non una cartella: l'archivio dei risultati «%1» va creato dentro una "
                       "cartella. Indica una cartella, poi riprova.");
        else if (cause == Cause::Folder)
            reason = q("La cartella «%2», dove va l'archivio dei risultati «%1», non esiste: controlla il nome "
                       "della cartella, poi riprova.");
        else
            reason = q("L'archivio dei risultati «%1» non si trova nella cartella «%2»: chiedi all'insegnante "
                       "di rimetterlo al suo posto, poi riprova.");
        break;
    case StoreError::BrokenLink:
        reason = ctx == Context::Create
            ? q("«%1» nella cartella «%2» è un collegamento a «%3», che non esiste: al suo posto non viene "
                "creato nulla. Togli il collegamento, o fallo puntare all'archivio giusto, poi riprova.")
            : q("«%1» nella cartella «%2» è un collegamento a «%3», che non esiste: chiedi all'insegnante di "
                "far puntare il collegamento all'archivio dei risultati, o di mettere l'archivio al suo posto, "
                "poi riprova.");
        break;
    case StoreError::Unreadable:
        reason = q("L'archivio dei risultati «%1» nella cartella «%2» non si può leggere: chiedi "
                   "all'insegnante di controllarne i permessi, poi riprova.");
        break;
    case StoreError::NotAnArchive:
        reason = cause == Cause::NotAFile
            ? q("«%1» nella cartella «%2» non è un file ma %3, e non può essere l'archivio dei risultati: "
                "chiedi all'insegnante di rimettere al suo posto l'archivio, poi riprova.")
            : q("Il file «%1» nella cartella «%2» non è un archivio dei risultati (%3): chiedi "
                "all'insegnante di rimettere al suo posto una copia buona dell'archivio, poi riprova.");
        break;
    case StoreError::WrongLayout:
        reason = q("Il file «%1» nella cartella «%2» è un database, ma %3: chiedi all'insegnante di "
                   "controllarlo con «nozioli-archivio verifica» e di rimettere al suo posto l'archivio giusto, "
                   "poi riprova.");
        break;
    case StoreError::Journal:
        switch (cause) {
        case Cause::JournalFolder:
            reason = q("Nella cartella «%2» c'è una cartella «%4»: quel nome serve all'archivio dei risultati "
                       "«%1» per il suo file di ripristino. Chiedi all'insegnante di spostare o rinominare quella "
                       "cartella, poi riprova.");
            break;
        case Cause::JournalLink:
            reason = q("Nella cartella «%2» c'è un collegamento «%4»: quel nome serve all'archivio dei risultati "
                       "«%1» per il suo file di ripristino, e un collegamento non viene mai usato al suo posto. "
                       "Chiedi all'insegnante di cancellare il collegamento, poi riprova.");
            break;
        case Cause::JournalOther:
            reason = q("Nella cartella «%2» c'è «%4», che non è un file ma %3: quel nome serve all'archivio dei "
                       "risultati «%1» per il suo file di ripristino. Chiedi all'insegnante di toglierlo, poi "
                       "riprova.");
            break;
        default:
            reason = q("Nella cartella «%2» è rimasto il file di ripristino «%4» di un'archiviazione interrotta, "
                       "e questo utente non ha i permessi per sistemarlo (il file è di un altro utente). Chiedi "
                       "all'insegnante di avviare una volta il programma in questa cartella con l'utente a cui "
                       "appartiene il file, o come amministratore: l'archiviazione interrotta viene annullata e il "
                       "file tolto. Non cancellarlo a mano: serve a rimettere in ordine l'archivio.");
            break;
        }
        break;
    case StoreError::ReadOnly:
        reason = cause == Cause::Folder
            ? q("La cartella «%2» dell'archivio dei risultati «%1» è di sola lettura: chiedi "
                "all'insegnante di renderla scrivibile, poi riprova.")
            : q("L'archivio dei risultati «%1» nella cartella «%2» è di sola lettura: chiedi "
                "all'insegnante di renderlo scrivibile, poi riprova.");
        break;
    case StoreError::Locked:
        reason = q("L'archivio dei risultati «%1» nella cartella «%2» è occupato da un altro programma: "
                   "aspetta qualche istante, poi riprova; se non basta, chiudi gli altri programmi che "
                   "lo stanno usando.");
        break;
    case StoreError::DiskFull:
        reason = cause == Cause::NoInodes
            ? q("Sul disco della cartella «%2» non si possono creare altri file (è finito il numero di file "
                "che il disco può contenere, anche se resta spazio libero), e l'archivio dei risultati «%1» ne "
                "ha bisogno per scrivere: chiedi all'insegnante di cancellare i file che non servono, poi "
                "riprova.")
            : q("Non c'è più spazio sul disco per l'archivio dei risultati «%1» nella cartella «%2»: "
                "chiedi all'insegnante di liberare spazio, poi riprova.");
        break;
    case StoreError::Exists:
        reason = q("Il file «%1» esiste già nella cartella «%2» e non viene sostituito: spostalo o "
                   "cancellalo prima, se vuoi davvero un archivio nuovo.");
        break;
    case StoreError::NoName:
        reason = q("manca il nome dell'alunno. Scegli o scrivi il tuo nome, poi riprova.");
        break;
    case StoreError::Unreachable:
    case StoreError::AccessDenied:
    case StoreError::Tls:
    case StoreError::Other:
        reason = q("Errore con l'archivio dei risultati «%1» nella cartella «%2» (%3): riprova; se "
                   "l'errore si ripete, avvisa l'insegnante.");
        break;
    }
    QString d = detail;
    if (d.isEmpty())
        d = kind == StoreError::NotAnArchive ? q("è rovinato o è un file di un altro tipo") : q("errore sconosciuto");
    reason = storedrows::fill(reason, {file, folder, d, QFileInfo(journalPath(path)).fileName()});
    return storedrows::message(kind, ctx, reason);
}

// What a path names; a last symbolic link is followed or not.
enum class Entry { Missing, File, Folder, Link, Pipe, Device, Socket, Other };

Entry entryAt(const QString &path, bool follow)
{
#ifdef Q_OS_UNIX
    struct stat st;
    const QByteArray p = QFile::encodeName(path);
    if ((follow ? ::stat(p.constData(), &st) : ::lstat(p.constData(), &st)) != 0)
        return Entry::Missing;
    if (S_ISREG(st.st_mode))
        return Entry::File;
    if (S_ISDIR(st.st_mode))
        return Entry::Folder;
    if (S_ISLNK(st.st_mode))
        return Entry::Link;
    if (S_ISFIFO(st.st_mode))
        return Entry::Pipe;
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        return Entry::Device;
    if (S_ISSOCK(st.st_mode))
        return Entry::Socket;
    return Entry::Other;
#else
    const QFileInfo fi(path);
    if (!follow && fi.isSymLink())
        return Entry::Link;
    return !fi.exists() ? Entry::Missing : fi.isDir() ? Entry::Folder : fi.isFile() ? Entry::File : Entry::Other;
#endif
}

QString entryName(Entry e)
{
    switch (e) {
    case Entry::Folder: return q("una cartella");
    case Entry::Link: return q("un collegamento");
    case Entry::Pipe: return q("una pipe (FIFO)");
    case Entry::Device: return q("un dispositivo");
    case Entry::Socket: return q("un socket");
    case Entry::Missing:
    case Entry::File:
    case Entry::Other: break;
    }
    return q("un oggetto speciale del sistema");
}

// SQLite makes its journal as a plain file beside the archive and opens it
// without following links; anything else under that name stops every write,
// and reads too when it looks like a journal left behind.
StoreError journalInTheWay(Context ctx, const QString &path)
{
    const Entry e = entryAt(journalPath(path), false);
    switch (e) {
    case Entry::Missing:
    case Entry::File: return {};
    case Entry::Folder: return makeError(StoreError::Journal, ctx, path, {}, Cause::JournalFolder);
    case Entry::Link: return makeError(StoreError::Journal, ctx, path, {}, Cause::JournalLink);
    default: return makeError(StoreError::Journal, ctx, path, entryName(e), Cause::JournalOther);
    }
}

// A journal of another user that this one can neither write nor remove (a
// shared folder with the sticky bit lets only the owner remove a file): SQLite
// must do one or the other to roll an interrupted archiving back or to write.
bool journalStuck(const QString &path)
{
#ifdef Q_OS_UNIX
    const QByteArray journal = QFile::encodeName(journalPath(path));
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    struct stat js, fs;
    if (::lstat(journal.constData(), &js) != 0 || !S_ISREG(js.st_mode) || ::stat(folder.constData(), &fs) != 0)
        return false;
    const uid_t me = ::geteuid();
    if (js.st_uid == me)
        return false;
    const bool usable = ::access(journal.constData(), R_OK | W_OK) == 0;
    const bool removable = ::access(folder.constData(), W_OK | X_OK) == 0
        && (!(fs.st_mode & S_ISVTX) || me == 0 || fs.st_uid == me);
    return !usable || !removable;
#else
    Q_UNUSED(path);
    return false;
#endif
}

// The file system of the folder can hold no more files, whatever space is left.
bool outOfInodes(const QString &folder)
{
#ifdef Q_OS_UNIX
    struct statvfs v;
    return ::statvfs(QFile::encodeName(folder).constData(), &v) == 0 && v.f_files > 0 && v.f_favail == 0;
#else
    Q_UNUSED(folder);
    return false;
#endif
}

// What the path names, checked before SQLite opens it: SQLite would block on
// a pipe, take an empty file for an empty database, and answer a folder or a
// link under its journal's name with a bare "disk I/O error".
StoreError precheck(Context ctx, const QString &path)
{
    const QFileInfo fi(path);
    const Entry e = entryAt(path, true);
    if (e == Entry::Missing) {
        if (fi.isSymLink())
            return makeError(StoreError::BrokenLink, ctx, path, QDir::toNativeSeparators(fi.symLinkTarget()));
        return makeError(StoreError::Missing, ctx, path);
    }
    if (e != Entry::File)
        return makeError(StoreError::NotAnArchive, ctx, path, entryName(e), Cause::NotAFile);
    if (!fi.isReadable())
        return makeError(StoreError::Unreadable, ctx, path);
    // SQLite takes an empty file for an empty database.
    if (fi.size() == 0)
        return makeError(StoreError::NotAnArchive, ctx, path, q("è vuoto"));
    return journalInTheWay(ctx, path);
}

// Turns an engine failure into what the pupil or the teacher can act on.
StoreError classify(const QSqlError &e, Context ctx, const QString &path)
{
    bool numeric = false;
    const int code = e.nativeErrorCode().toInt(&numeric) & 0xff;
    const QFileInfo fi(path);
    const QString folder = fi.absolutePath();
    const bool folderWritable = QFileInfo(folder).isWritable();
    const QString engine = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    const int primary = numeric ? code : 0;
    // A file that could not be opened, read or written: first what lies around the archive.
    if (primary == SqliteCantOpen || primary == SqliteIoErr || primary == SqliteReadOnly || primary == SqliteFull) {
        if (ctx != Context::Create) {
            if (StoreError j = journalInTheWay(ctx, path))
                return j;
            if (folderWritable && journalStuck(path))
                return makeError(StoreError::Journal, ctx, path, {}, Cause::JournalStuck);
        }
        if (primary != SqliteReadOnly && outOfInodes(folder))
            return makeError(StoreError::DiskFull, ctx, path, {}, Cause::NoInodes);
    }
    switch (primary) {
    case SqliteBusy:
    case SqliteLocked:
        return makeError(StoreError::Locked, ctx, path);
    case SqliteReadOnly:
        return makeError(StoreError::ReadOnly, ctx, path, {},
                         fi.exists() && !fileReadOnly(fi) && !folderWritable ? Cause::Folder : Cause::Plain);
    case SqliteFull:
        return makeError(StoreError::DiskFull, ctx, path);
    case SqliteCantOpen:
        if (ctx == Context::Create || (ctx == Context::Save && fi.exists()))
            return folderWritable ? makeError(StoreError::Other, ctx, path, engine)
                                  : makeError(StoreError::ReadOnly, ctx, path, {}, Cause::Folder);
        return fi.exists() ? makeError(StoreError::Unreadable, ctx, path) : makeError(StoreError::Missing, ctx, path);
    case SqliteNotADb:
    case SqliteCorrupt:
        return makeError(StoreError::NotAnArchive, ctx, path);
    case SqliteInterrupt:
        return makeError(StoreError::Other, ctx, path,
                         q("l'operazione chiedeva troppo lavoro ed è stata fermata: l'archivio potrebbe essere rovinato"));
    case SqliteIoErr:
        if (ctx != Context::Create && !fi.exists())
            return makeError(StoreError::Missing, ctx, path);
        return makeError(StoreError::Other, ctx, path, q("errore di lettura o scrittura del disco o della rete"));
    case SqliteError:
        if (engine.contains(QLatin1String("no such table")) || engine.contains(QLatin1String("no such column")))
            return makeError(StoreError::WrongLayout, ctx, path, q("la tabella «nozioli» non è come deve essere"));
        break;
    default:
        break;
    }
    return makeError(StoreError::Other, ctx, path, engine.isEmpty() ? QString() : engine);
}

// What one operation may do inside SQLite, and who is told while it waits for
// a lock. Kept by the store across its connections.
struct Watch
{
    int busyTimeout = ResultsStore::DefaultBusyTimeout;     // ms
    qint64 workLimit = DefaultWorkLimit;                    // virtual-machine steps
    LockWaitListener *listener = nullptr;

    qint64 work = 0;            // progress calls in this operation
    bool waited = false;        // the listener was told of a wait in this operation
    QElapsedTimer clock;        // since the current wait began

    void begin()
    {
        work = 0;
        waited = false;
    }
    void end()
    {
        if (waited && listener)
            listener->waitOver();
        waited = false;
    }
};

// SQLite's progress handler: stops a statement once the operation has done
// its share of work, so that nothing keeps the archive locked for long.
int progress(void *context)
{
    Watch *w = static_cast<Watch *>(context);
    return ++w->work > w->workLimit / WorkStep ? 1 : 0;
}

// SQLite's busy handler: tries again after a short pause until the busy
// timeout, telling the listener, which may repaint the windows meanwhile.
int waitForLock(void *context, int tries)
{
    Watch *w = static_cast<Watch *>(context);
    if (tries == 0)
        w->clock.start();
    if (w->clock.elapsed() >= w->busyTimeout)
        return 0;
    if (w->listener) {
        w->waited = true;
        w->listener->waiting(int(w->clock.elapsed()));
    }
    const qint64 left = w->busyTimeout - w->clock.elapsed();
    if (left <= 0)
        return 0;
    const int pause = tries < int(std::size(WaitSteps)) ? WaitSteps[tries] : WaitSlice;
    QThread::msleep(ulong(qMin<qint64>(pause, left)));
    return 1;
}

// One connection of Qt's SQLite driver, under a name of its own, removed with it.
class Connection
{
public:
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { close(); }

    // mode is SQLite's URI mode: "rw" never creates the file, "rwc" may, "ro" only reads.
    // watch must outlive the connection.
    bool open(const QString &path, const char *mode, Watch *watch)
    {
        close();
        if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE"))) {
            error = QSqlError(q("il modulo SQLite di Qt non è installato"), QString(), QSqlError::ConnectionError);
            return false;
        }
        static QAtomicInteger<quint32> counter;
        m_name = QStringLiteral("nozioli-archivio-%1").arg(counter.fetchAndAddRelaxed(1));
        db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        // A URI, so that the mode holds: SQLite would otherwise create a missing file.
        db.setDatabaseName(QUrl::fromLocalFile(path).toString(QUrl::FullyEncoded) + QLatin1String("?mode=")
                           + QLatin1String(mode));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(watch->busyTimeout));
        if (!db.open())
            error = db.lastError();
        else if (guard(watch))
            return true;
        close();
        return false;
    }

    bool isOpen() const { return !m_name.isEmpty(); }
    // Whether the program's busy and progress handlers are set, through the driver's handle.
    bool native() const { return m_native; }

    // Every QSqlQuery on the connection must be gone before this runs.
    void close()
    {
        upsert.reset();
        upsertIfNewer.reset();
        m_native = false;
        if (m_name.isEmpty())
            return;
        db.close();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        m_name.clear();
    }

    QSqlDatabase db;
    QSqlError error;
    // The statement of ResultsStore::save(), prepared on its first use and kept
    // while the connection lasts: preparing it takes longer than running it.
    std::unique_ptr<QSqlQuery> upsert;
    std::unique_ptr<QSqlQuery> upsertIfNewer;

private:
    // No SQL stored in the file runs on this connection: functions and virtual
    // tables that are not harmless are refused in the schema, triggers and
    // views do not run, and the schema cannot be written to directly. Qt's
    // plugin and the program share the system's SQLite library, whose handle
    // the driver hands out; should the plugin run another copy of SQLite (the
    // engine then reports another source), the handle is left alone and the
    // check of the schema at every opening still keeps out every trigger and view.
    bool guard(Watch *watch)
    {
        QString engine;
        {
            QSqlQuery query(db);
            if (!query.exec(QStringLiteral("PRAGMA trusted_schema = OFF"))
                || !query.exec(QStringLiteral("SELECT sqlite_source_id()")) || !query.next()) {
                error = query.lastError();
                return false;
            }
            engine = query.value(0).toString();
        }
        const QVariant handle = db.driver()->handle();
        if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0
            || engine != QLatin1String(sqlite3_sourceid()))
            return true;
        sqlite3 *h = *static_cast<sqlite3 *const *>(handle.constData());
        if (!h)
            return true;
        sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
        sqlite3_db_config(h, SQLITE_DBCONFIG_ENABLE_VIEW, 0, nullptr);
        sqlite3_db_config(h, SQLITE_DBCONFIG_DEFENSIVE, 1, nullptr);
        sqlite3_db_config(h, SQLITE_DBCONFIG_TRUSTED_SCHEMA, 0, nullptr);
        sqlite3_progress_handler(h, WorkStep, progress, watch);
        sqlite3_busy_handler(h, waitForLock, watch);
        m_native = true;
        return true;
    }

    QString m_name;
    bool m_native = false;
};

// The problems of a schema, shortened for a message: verify() lists them all.
QString summary(const QStringList &problems)
{
    constexpr qsizetype shown = 3;
    QString s = problems.mid(0, shown).join(QLatin1String("; "));
    if (problems.size() > shown)
        s += q("; e altro ancora (%1 problemi in tutto)").arg(problems.size());
    return s;
}

// The file's SQL: SQLite's rowid keeps the order, moments are stored as text,
// keys compare by their bytes.
const storedrows::Dialect &fileDialect()
{
    static const storedrows::Dialect dialect{QStringLiteral("rowid"), QStringLiteral("data"), QStringLiteral("?"),
                                             QStringLiteral("chiave")};
    return dialect;
}

} // namespace

struct ResultsStore::Private
{
    QString path;
    Watch watch;                    // before conn, whose handlers point to it
    Connection conn;
    FileId id;                      // the file the connection opened
    int schema = 0;                 // the schema_version whose schema was checked
    qint64 pageLimit = 0;
    bool readOnly = false;          // openReadOnly(): every connection is mode=ro
    bool busy = false;              // an operation is under way
    bool closeLater = false;        // close() was asked during it

    // One operation of the store: its share of SQLite's work starts afresh,
    // a wait for a lock is reported over at its end, and an operation started
    // meanwhile (from a window repainted while waiting) fails at once.
    class Operation
    {
    public:
        Operation(Private &d, Context ctx, StoreError &err)
            : m_d(d)
            , m_entered(!d.busy)
        {
            if (!m_entered) {
                err = makeError(StoreError::Locked, ctx, d.path);
                return;
            }
            d.busy = true;
            d.watch.begin();
        }
        ~Operation()
        {
            if (!m_entered)
                return;
            m_d.busy = false;
            if (m_d.closeLater) {
                m_d.closeLater = false;
                m_d.conn.close();
            }
            m_d.watch.end();
        }
        Operation(const Operation &) = delete;
        Operation &operator=(const Operation &) = delete;
        explicit operator bool() const { return m_entered; }

    private:
        Private &m_d;
        bool m_entered;
    };

    bool connect(Context ctx, StoreError &err);
    bool ready(Context ctx, StoreError &err);
    bool schemaUnchanged(Context ctx, StoreError &err);
    // Runs one read-only statement and hands each row to onRow; on failure
    // sets err, drops the connection (the next operation starts afresh) and
    // returns false.
    template <typename OnRow>
    bool read(const QString &sql, const QVariantList &binds, StoreError &err, OnRow onRow);
};

template <typename OnRow>
bool ResultsStore::Private::read(const QString &sql, const QVariantList &binds, StoreError &err, OnRow onRow)
{
    const Operation operation(*this, Context::Read, err);
    if (!operation || !ready(Context::Read, err))
        return false;
    QSqlError failure;
    {
        QSqlQuery query(conn.db);
        query.setForwardOnly(true);
        if (query.prepare(sql)) {
            for (const QVariant &b : binds)
                query.addBindValue(b);
            if (query.exec()) {
                while (query.next() && onRow(query)) {
                }
            }
        }
        if (query.lastError().isValid())
            failure = query.lastError();
    }
    if (failure.isValid()) {
        err = classify(failure, Context::Read, path);
        conn.close();
        return false;
    }
    return true;
}

// Opens the file at path and checks that it is an archive; nothing is created.
bool ResultsStore::Private::connect(Context ctx, StoreError &err)
{
    conn.close();
    err = precheck(ctx, path);
    if (err)
        return false;
    const FileId opened = fileId(path);
    if (!conn.open(path, readOnly ? "ro" : "rw", &watch)) {
        err = classify(conn.error, ctx, path);
        return false;
    }
    QSqlError failure;
    {
        // Read before the schema: a change in between shows at the next operation.
        const std::optional<int> version = schemacheck::changeCounter(conn.db, failure);
        const schemacheck::Layout l = version ? schemacheck::inspect(conn.db) : schemacheck::Layout();
        if (!version) {
        } else if (l.failed) {
            failure = l.error;
        } else if (!l.problems.isEmpty()) {
            err = makeError(StoreError::WrongLayout, ctx, path, summary(l.problems));
        } else {
            schema = *version;
            QSqlQuery query(conn.db);
            // A small page cache: a row is found or written through a handful of
            // pages, and listing every name reads each page once, so a large
            // cache only costs memory to fill (the default is 2000 KiB).
            QStringList pragmas{QStringLiteral("PRAGMA journal_mode = DELETE"),
                                QStringLiteral("PRAGMA synchronous = FULL"),
                                QStringLiteral("PRAGMA cache_size = -256")};
            // A reader changes nothing, not even the journal mode the writers set.
            if (readOnly)
                pragmas = QStringList{QStringLiteral("PRAGMA cache_size = -256")};
            if (pageLimit > 0)
                pragmas << QStringLiteral("PRAGMA max_page_count = %1").arg(pageLimit);
            for (const QString &p : std::as_const(pragmas)) {
                if (!query.exec(p)) {
                    failure = query.lastError();
                    break;
                }
            }
        }
    }
    if (failure.isValid())
        err = classify(failure, ctx, path);
    if (err) {
        conn.close();
        return false;
    }
    id = opened;
    return true;
}

// Whether the schema is still the one checked; when another program changed
// it since, it is checked again. Sets err when it is no longer sound.
bool ResultsStore::Private::schemaUnchanged(Context ctx, StoreError &err)
{
    QSqlError failure;
    const std::optional<int> now = schemacheck::changeCounter(conn.db, failure);
    if (!now) {
        err = classify(failure, ctx, path);
        return false;
    }
    if (*now == schema)
        return true;
    const schemacheck::Layout l = schemacheck::inspect(conn.db);
    if (l.failed) {
        err = classify(l.error, ctx, path);
        return false;
    }
    if (!l.problems.isEmpty()) {
        err = makeError(StoreError::WrongLayout, ctx, path, summary(l.problems));
        return false;
    }
    schema = *now;
    return true;
}

// Makes sure the connection reaches the file now at the path, opening it again
// when it was dropped, or when the file was replaced since it was opened.
bool ResultsStore::Private::ready(Context ctx, StoreError &err)
{
    if (path.isEmpty())
        path = QFileInfo(defaultFileName()).absoluteFilePath();
    if (ctx == Context::Save && readOnly) {
        err = makeError(StoreError::ReadOnly, ctx, path);
        return false;
    }
    if (conn.isOpen()) {
        const FileId now = fileId(path);
        if (!now.valid) {
            // Deleted (or moved away) while open: SQLite would go on writing into the lost file.
            conn.close();
            err = makeError(StoreError::Missing, ctx, path);
            return false;
        }
        if (!(now == id))
            conn.close();
    }
    if (!conn.isOpen()) {
        if (!connect(ctx, err))
            return false;
    } else if (ctx == Context::Read && !schemaUnchanged(ctx, err)) {
        // save() checks within its transaction.
        conn.close();
        return false;
    }
    if (ctx == Context::Save) {
        // SQLite keeps writing through a descriptor opened before the file was made read-only.
        const QFileInfo fi(path);
        if (fileReadOnly(fi)) {
            conn.close();
            err = makeError(StoreError::ReadOnly, ctx, path);
            return false;
        }
    }
    return true;
}

ResultsStore::ResultsStore() : d(std::make_unique<Private>()) {}

ResultsStore::~ResultsStore() = default;

bool ResultsStore::isServerAddress(const QString &location)
{
    return ServerStore::isAddress(location);
}

QString ResultsStore::locationLabel(const QString &location)
{
    if (isServerAddress(location))
        return ServerStore::label(location);
    return QDir::toNativeSeparators(QFileInfo(location).absoluteFilePath());
}

void ResultsStore::choose(const QString &location)
{
    if (!isServerAddress(location)) {
        m_server.reset();
    } else if (!m_server || d->path != location) {
        d->conn.close();
        m_server = std::make_unique<ServerStore>(location);
        m_server->setBusyTimeout(d->watch.busyTimeout);
        d->path = location;
    }
}

QString ResultsStore::displayName(const QString &location)
{
    return isServerAddress(location) ? ServerStore::label(location) : QFileInfo(location).fileName();
}

std::optional<QByteArray> ResultsStore::serverStamp()
{
    m_error = {};
    if (!m_server) {
        m_error = {StoreError::Other, QString()};
        return std::nullopt;
    }
    return m_server->stamp(m_error);
}

void ResultsStore::setPath(const QString &path)
{
    m_path = path;
    choose(path);
}

bool ResultsStore::open(const QString &path)
{
    m_error = {};
    choose(path);
    if (m_server)
        return m_server->open(false, m_error);
    const Private::Operation operation(*d, Context::Open, m_error);
    if (!operation)
        return false;
    d->conn.close();
    d->readOnly = false;
    d->path = QFileInfo(path).absoluteFilePath();
    m_error = {};
    return d->connect(Context::Open, m_error);
}

bool ResultsStore::openReadOnly(const QString &path)
{
    m_error = {};
    choose(path);
    if (m_server)
        return m_server->open(true, m_error);
    d->conn.close();
    d->readOnly = true;
    d->path = QFileInfo(path).absoluteFilePath();
    return d->connect(Context::Open, m_error);
}

void ResultsStore::close()
{
    if (m_server)
        m_server->close();
    // Asked while an operation waits for a lock: the connection goes when it is over.
    if (d->busy)
        d->closeLater = true;
    else
        d->conn.close();
}

bool ResultsStore::isOpen() const
{
    return m_server ? m_server->isOpen() : d->conn.isOpen();
}

QString ResultsStore::filePath() const
{
    return d->path;
}

void ResultsStore::setBusyTimeout(int ms)
{
    d->watch.busyTimeout = qMax(0, ms);
    if (m_server)
        m_server->setBusyTimeout(d->watch.busyTimeout);
    // The program's own busy handler reads the timeout at every wait.
    if (d->conn.isOpen() && !d->conn.native()) {
        QSqlQuery query(d->conn.db);
        query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(d->watch.busyTimeout));
    }
}

int ResultsStore::busyTimeout() const
{
    return d->watch.busyTimeout;
}

void ResultsStore::setWorkLimitForTesting(qint64 steps)
{
    d->watch.workLimit = steps > 0 ? steps : DefaultWorkLimit;
}

void ResultsStore::setLockWaitListener(LockWaitListener *listener)
{
    d->watch.listener = listener;
}

void ResultsStore::setPageLimitForTesting(qint64 pages)
{
    d->pageLimit = qMax<qint64>(0, pages);
    d->conn.close();
}

std::optional<QStringList> ResultsStore::listNames()
{
    QStringList names;
    const bool ok = readRows(QStringLiteral("SELECT nome FROM nozioli ORDER BY ") + dialect().row, {},
                             [&](const QSqlQuery &query) {
                                 const QString name = query.value(0).toString();
                                 if (!name.isEmpty())
                                     names << name;
                                 return true;
                             });
    return ok ? std::optional(names) : std::nullopt;
}

std::optional<ResultsStore::NamePage> ResultsStore::listNames(qint64 afterRow, int limit)
{
    NamePage page;
    page.lastRow = afterRow;
    int rows = 0;
    const QString row = dialect().row;
    const bool ok = readRows(QStringLiteral("SELECT %1, nome FROM nozioli WHERE %1 > ? ORDER BY %1 LIMIT ?").arg(row),
                             {afterRow, qMax(1, limit)}, [&](const QSqlQuery &query) {
                                 ++rows;
                                 page.lastRow = query.value(0).toLongLong();
                                 const QString name = query.value(1).toString();
                                 if (!name.isEmpty())
                                     page.names << name;
                                 return true;
                             });
    if (!ok)
        return std::nullopt;
    page.atEnd = rows < qMax(1, limit);
    return page;
}

std::optional<QList<ResultRecord>> ResultsStore::records()
{
    QList<ResultRecord> rows;
    const bool ok = readRows(storedrows::selectRecord(dialect().date) + QLatin1String(" ORDER BY ") + dialect().row,
                             {}, [&](const QSqlQuery &query) {
                                 rows << storedrows::readRecord(query);
                                 return true;
                             });
    return ok ? std::optional(rows) : std::nullopt;
}

std::optional<QList<ResultRecord>> ResultsStore::firstRecordsByKey(int count)
{
    QList<ResultRecord> rows;
    const bool ok = readRows(storedrows::selectRecord(dialect().date) + QLatin1String(" ORDER BY ")
                                 + dialect().keyOrder + QLatin1String(" LIMIT ?"),
                             {qMax(0, count)}, [&](const QSqlQuery &query) {
                                 rows << storedrows::readRecord(query);
                                 return true;
                             });
    return ok ? std::optional(rows) : std::nullopt;
}

ResultsStore::Lookup ResultsStore::find(const QString &name, ResultRecord *record)
{
    Lookup result = Lookup::NotFound;
    const bool ok = readRows(storedrows::selectRecord(dialect().date) + QLatin1String(" WHERE chiave = ?"),
                             {foldName(name)}, [&](const QSqlQuery &query) {
                                 result = Lookup::Found;
                                 if (record)
                                     *record = storedrows::readRecord(query);
                                 return false;
                             });
    return ok ? result : Lookup::Failed;
}

bool ResultsStore::readRows(const QString &sql, const QVariantList &binds,
                            const std::function<bool(const QSqlQuery &)> &onRow)
{
    m_error = {};
    return m_server ? m_server->read(sql, binds, m_error, onRow) : d->read(sql, binds, m_error, onRow);
}

const storedrows::Dialect &ResultsStore::dialect() const
{
    return m_server ? ServerStore::dialect() : fileDialect();
}

bool ResultsStore::save(const QString &name, const ArchiveTotals &totals, const QDateTime &when)
{
    return write(name, totals, when, false);
}

bool ResultsStore::saveIfNewer(const QString &name, const ArchiveTotals &totals, const QDateTime &when)
{
    return write(name, totals, when, true);
}

bool ResultsStore::write(const QString &name, const ArchiveTotals &totals, const QDateTime &when, bool onlyIfNewer)
{
    m_error = {};
    if (name.isEmpty()) {
        // A row without a name could never be listed again.
        m_error = makeError(StoreError::NoName, Context::Save, d->path);
        return false;
    }
    const QDateTime moment = when.isValid() ? when.toLocalTime() : QDateTime::currentDateTime();
    if (m_server)
        return m_server->write(name, totals, moment, onlyIfNewer, m_error);
    const Private::Operation operation(*d, Context::Save, m_error);
    if (!operation || !d->ready(Context::Save, m_error))
        return false;

    QSqlError failure;
    StoreError refused;
    bool saved = false;
    {
        QSqlQuery query(d->conn.db);
        // A deferred BEGIN would fail at once when another writer gets in between.
        if (query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            // Under the write lock no other program can change the schema
            // until the commit: checked here, it holds for the write.
            const bool sound = d->schemaUnchanged(Context::Save, refused);
            std::unique_ptr<QSqlQuery> &statement = onlyIfNewer ? d->conn.upsertIfNewer : d->conn.upsert;
            if (sound && !statement) {
                const QString upsert = storedrows::upsertStatement(fileDialect(), onlyIfNewer);
                auto prepared = std::make_unique<QSqlQuery>(d->conn.db);
                if (prepared->prepare(upsert))
                    statement = std::move(prepared);
                else
                    failure = prepared->lastError();
            }
            if (sound && statement) {
                QSqlQuery &write = *statement;
                const QVariantList values = storedrows::upsertValues(name, totals, moment);
                for (int i = 0; i < values.size(); ++i)
                    write.bindValue(i, values.at(i));
                if (!write.exec())
                    failure = write.lastError();
                else if (write.numRowsAffected() != 1 && !onlyIfNewer)
                    failure = QSqlError(q("la riga dell'alunno non è stata scritta"), QString(),
                                        QSqlError::StatementError);
                write.finish();
            }
            if (sound && !failure.isValid()) {
                if (query.exec(QStringLiteral("COMMIT")))
                    saved = true;
                else
                    failure = query.lastError();
            }
            if (!saved) {
                QSqlQuery rollback(d->conn.db);
                rollback.exec(QStringLiteral("ROLLBACK"));
            }
        } else {
            failure = query.lastError();
        }
    }
    if (!saved) {
        m_error = refused ? refused : classify(failure, Context::Save, d->path);
        d->conn.close();        // the next try starts from a fresh connection
        return false;
    }
    return true;
}

bool ResultsStore::create(const QString &path, StoreError *error, const QString &pupilRole)
{
    if (isServerAddress(path))
        return ServerStore::create(path, pupilRole, error);
    StoreError err;
    const QFileInfo target(QFileInfo(path).absoluteFilePath());
    const QString targetPath = target.absoluteFilePath();
    const QFileInfo folder(target.absolutePath());
    auto done = [&](bool ok) {
        if (error)
            *error = err;
        return ok;
    };
    if (target.isSymLink() && !target.exists()) {
        err = makeError(StoreError::BrokenLink, Context::Create, targetPath,
                        QDir::toNativeSeparators(target.symLinkTarget()));
        return done(false);
    }
    if (target.exists()) {
        err = makeError(StoreError::Exists, Context::Create, targetPath);
        return done(false);
    }
    if (!folder.isDir()) {
        err = makeError(StoreError::Missing, Context::Create, targetPath, {},
                        folder.exists() ? Cause::FolderIsFile : Cause::Folder);
        return done(false);
    }
    if (!folder.isWritable()) {
        err = makeError(StoreError::ReadOnly, Context::Create, targetPath, {}, Cause::Folder);
        return done(false);
    }

    // Built under a hidden name in the same folder, then moved into place
    // without replacing anything: a half-made archive never shows.
    QString temp;
    do {
        temp = QDir(folder.absoluteFilePath()).absoluteFilePath(QStringLiteral(".%1.%2.tmp")
                                           .arg(target.fileName())
                                           .arg(QRandomGenerator::global()->generate64(), 16, 16, QLatin1Char('0')));
    } while (QFileInfo::exists(temp));

    QSqlError failure;
    {
        Watch watch;
        Connection c;
        if (c.open(temp, "rwc", &watch)) {
            QSqlQuery query(c.db);
            QStringList steps{QStringLiteral("PRAGMA journal_mode = DELETE"), QStringLiteral("PRAGMA synchronous = FULL"),
                              QStringLiteral("BEGIN IMMEDIATE")};
            for (const char *s : schemacheck::statements)
                steps << QString::fromLatin1(s);
            steps << QStringLiteral("PRAGMA user_version = %1").arg(LayoutVersion) << QStringLiteral("COMMIT");
            for (const QString &s : std::as_const(steps)) {
                if (!query.exec(s)) {
                    failure = query.lastError();
                    break;
                }
            }
        } else {
            failure = c.error;
        }
    }
    if (failure.isValid()) {
        err = classify(failure, Context::Create, targetPath);
        QFile::remove(temp);
        QFile::remove(temp + QLatin1String("-journal"));
        return done(false);
    }
    QFile moved(temp);
    if (!moved.rename(targetPath)) {
        QFile::remove(temp);
        err = QFileInfo::exists(targetPath)
            ? makeError(StoreError::Exists, Context::Create, targetPath)
            : makeError(StoreError::Other, Context::Create, targetPath, moved.errorString());
        return done(false);
    }
    syncFolder(folder.absoluteFilePath());
    return done(true);
}

QStringList ResultsStore::verify(const QString &path, ArchiveFacts *facts)
{
    if (isServerAddress(path))
        return ServerStore::verify(path, facts);
    ArchiveFacts found;
    const QString file = QFileInfo(path).absoluteFilePath();
    if (const StoreError e = precheck(Context::Check, file))
        return {e.message};

    QStringList problems;
    QSqlError failure;
    {
        Watch watch;
        Connection c;
        if (!c.open(file, "ro", &watch))
            return {classify(c.error, Context::Check, file).message};
        const schemacheck::Layout l = schemacheck::inspect(c.db);
        if (l.failed) {
            failure = l.error;
        } else {
            found.version = l.version;
            if (l.version == 0)
                problems << q("non registra la versione della sua struttura (PRAGMA user_version è 0)");
            problems += l.problems;

            QSqlQuery query(c.db);
            query.setForwardOnly(true);
            if (query.exec(QStringLiteral("PRAGMA integrity_check(20)"))) {
                QStringList faults;
                while (query.next())
                    faults << query.value(0).toString();
                if (faults != QStringList{QStringLiteral("ok")}) {
                    for (const QString &f : std::as_const(faults))
                        problems << q("danno nel file: %1").arg(f);
                }
            } else {
                failure = query.lastError();
            }

            if (!failure.isValid() && l.rowsReadable)
                storedrows::auditRows(query, fileDialect().date, fileDialect().row, found, problems, failure);
        }
    }
    if (failure.isValid())
        problems << classify(failure, Context::Check, file).message;
    if (facts)
        *facts = found;
    return problems;
}

QString ResultsStore::foldName(const QString &name)
{
    // Qt's toCaseFolded() applies the simple folding only ("ß" stays "ß"). The
    // letters whose full folding is longer are those whose upper case is longer
    // ("ß" → "SS", "ﬁ" → "FI"), plus "ẞ"; the decomposition first takes care of
    // the others ("İ" → "I" + U+0307).
    const QString decomposed = name.normalized(QString::NormalizationForm_D);
    QString folded;
    folded.reserve(decomposed.size());
    const QList<uint> points = decomposed.toUcs4();
    for (const uint cp : points) {
        if (cp < 0x80) {
            folded += QChar(char16_t(cp >= 'A' && cp <= 'Z' ? cp + ('a' - 'A') : cp));
            continue;
        }
        const char32_t c = char32_t(cp);
        const QString one = QString::fromUcs4(&c, 1);
        const QString upper = one.toUpper();
        if (cp == 0x1E9E)
            folded += QLatin1String("ss");
        else if (upper.toUcs4().size() > 1)
            folded += upper.toLower().toCaseFolded();
        else
            folded += one.toCaseFolded();
    }
    return folded.normalized(QString::NormalizationForm_C);
}
