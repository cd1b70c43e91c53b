#include "store/resultsstore.h"

#include <QAtomicInteger>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QSet>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>
#include <QVariant>

#include <cmath>
#include <memory>

#ifdef Q_OS_UNIX
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

const char *const schema[] = {
    "CREATE TABLE nozioli ("
    " nome TEXT,"
    " data TEXT,"
    " sovragiusti REAL,"
    " sovrasbagliati REAL,"
    " nozioligiusti REAL,"
    " noziolisbagliati REAL,"
    " spaziotempogiusti REAL,"
    " spaziotemposbagliati REAL,"
    " chiave TEXT)",
    "CREATE UNIQUE INDEX nome ON nozioli(chiave)",
};

const char *const dateFormat = "yyyy-MM-dd HH:mm:ss";

// SQLite's primary result codes; extended codes carry them in their low byte.
enum SqliteCode {
    SqliteError = 1,
    SqliteBusy = 5,
    SqliteLocked = 6,
    SqliteReadOnly = 8,
    SqliteIoErr = 10,
    SqliteCorrupt = 11,
    SqliteFull = 13,
    SqliteCantOpen = 14,
    SqliteNotADb = 26,
};

enum class Context { Open, Read, Save, Create, Check };

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

QString lead(Context c)
{
    switch (c) {
    case Context::Open: return q("Impossibile aprire l'archivio dei risultati.");
    case Context::Read: return q("Impossibile leggere l'archivio dei risultati.");
    case Context::Save: return q("I risultati non sono stati archiviati.");
    case Context::Create: return q("L'archivio dei risultati non è stato creato.");
    case Context::Check: break;
    }
    return {};
}

enum class Subject { File, Folder };

StoreError makeError(StoreError::Kind kind, Context ctx, const QString &path, const QString &detail = {},
                     Subject subject = Subject::File)
{
    const QFileInfo fi(path);
    const QString file = fi.fileName();
    const QString folder = QDir::toNativeSeparators(fi.absolutePath());
    QString reason;
    switch (kind) {
    case StoreError::None:
        return {};
    case StoreError::Missing:
        reason = subject == Subject::Folder
            ? q("La cartella «%2», dove va l'archivio dei risultati «%1», non esiste: controlla il nome "
                "della cartella, poi riprova.")
            : q("L'archivio dei risultati «%1» non si trova nella cartella «%2»: chiedi all'insegnante "
                "di rimetterlo al suo posto, poi riprova.");
        break;
    case StoreError::Unreadable:
        reason = q("L'archivio dei risultati «%1» nella cartella «%2» non si può leggere: chiedi "
                   "all'insegnante di controllarne i permessi, poi riprova.");
        break;
    case StoreError::NotAnArchive:
        reason = q("Il file «%1» nella cartella «%2» non è un archivio dei risultati (%3): chiedi "
                   "all'insegnante di rimettere al suo posto una copia buona dell'archivio, poi riprova.");
        break;
    case StoreError::WrongLayout:
        reason = q("Il file «%1» nella cartella «%2» è un database, ma %3: chiedi all'insegnante di "
                   "rimettere al suo posto l'archivio giusto, poi riprova.");
        break;
    case StoreError::ReadOnly:
        reason = subject == Subject::Folder
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
        reason = q("Non c'è più spazio sul disco per l'archivio dei risultati «%1» nella cartella «%2»: "
                   "chiedi all'insegnante di liberare spazio, poi riprova.");
        break;
    case StoreError::Exists:
        reason = q("Il file «%1» esiste già nella cartella «%2» e non viene sostituito: spostalo o "
                   "cancellalo prima, se vuoi davvero un archivio nuovo.");
        break;
    case StoreError::NoName:
        reason = q("manca il nome dell'alunno. Scegli o scrivi il tuo nome, poi riprova.");
        break;
    case StoreError::Other:
        reason = q("Errore con l'archivio dei risultati «%1» nella cartella «%2» (%3): riprova; se "
                   "l'errore si ripete, avvisa l'insegnante.");
        break;
    }
    QString d = detail;
    if (d.isEmpty())
        d = kind == StoreError::NotAnArchive ? q("è rovinato o è un file di un altro tipo") : q("errore sconosciuto");
    if (reason.contains(QLatin1String("%1")))
        reason = reason.contains(QLatin1String("%3")) ? reason.arg(file, folder, d) : reason.arg(file, folder);
    QString head = lead(ctx);
    if (kind == StoreError::NoName)
        head.chop(1);           // "… non sono stati archiviati: manca il nome …"
    const QString separator = kind == StoreError::NoName ? QStringLiteral(": ") : QStringLiteral(" ");
    return {kind, head.isEmpty() ? reason : head + separator + reason};
}

// Turns an engine failure into what the pupil or the teacher can act on.
StoreError classify(const QSqlError &e, Context ctx, const QString &path)
{
    bool numeric = false;
    const int code = e.nativeErrorCode().toInt(&numeric) & 0xff;
    const QFileInfo fi(path);
    const bool folderWritable = QFileInfo(fi.absolutePath()).isWritable();
    const QString engine = e.databaseText().isEmpty() ? e.text() : e.databaseText();
    switch (numeric ? code : 0) {
    case SqliteBusy:
    case SqliteLocked:
        return makeError(StoreError::Locked, ctx, path);
    case SqliteReadOnly:
        return makeError(StoreError::ReadOnly, ctx, path, {},
                         fi.exists() && !fileReadOnly(fi) && !folderWritable ? Subject::Folder : Subject::File);
    case SqliteFull:
        return makeError(StoreError::DiskFull, ctx, path);
    case SqliteCantOpen:
        if (ctx == Context::Create || (ctx == Context::Save && fi.exists()))
            return folderWritable ? makeError(StoreError::Other, ctx, path, engine)
                                  : makeError(StoreError::ReadOnly, ctx, path, {}, Subject::Folder);
        return fi.exists() ? makeError(StoreError::Unreadable, ctx, path) : makeError(StoreError::Missing, ctx, path);
    case SqliteNotADb:
    case SqliteCorrupt:
        return makeError(StoreError::NotAnArchive, ctx, path);
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

// One connection of Qt's SQLite driver, under a name of its own, removed with it.
class Connection
{
public:
    Connection() = default;
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;
    ~Connection() { close(); }

    // mode is SQLite's URI mode: "rw" never creates the file, "rwc" may, "ro" only reads.
    bool open(const QString &path, const char *mode, int busyTimeout)
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
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeout));
        if (db.open())
            return true;
        error = db.lastError();
        close();
        return false;
    }

    bool isOpen() const { return !m_name.isEmpty(); }

    // Every QSqlQuery on the connection must be gone before this runs.
    void close()
    {
        upsert.reset();
        upsertIfNewer.reset();
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
    QString m_name;
};

// What the file holds, against the layout the program needs.
struct Layout
{
    bool failed = false;            // the file could not be read as a database
    QSqlError error;
    int version = 0;
    bool rowsReadable = false;      // the table and all its fields are there
    QStringList problems;
};

Layout inspect(QSqlDatabase &db)
{
    Layout l;
    QSqlQuery query(db);
    // The first read of the file: a file that is not an SQLite database fails here.
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next()) {
        l.failed = true;
        l.error = query.lastError();
        return l;
    }
    l.version = query.value(0).toInt();

    QSet<QString> columns;
    if (!query.exec(QStringLiteral("PRAGMA table_info(nozioli)"))) {
        l.failed = true;
        l.error = query.lastError();
        return l;
    }
    while (query.next())
        columns.insert(query.value(1).toString().toLower());
    if (columns.isEmpty()) {
        l.problems << q("non ha la tabella «nozioli»");
    } else {
        QStringList needed{QStringLiteral("nome"), QStringLiteral("data"), QStringLiteral("chiave")};
        for (const TotalField &f : totalFields)
            needed << QString::fromLatin1(f.name);
        for (const QString &f : std::as_const(needed)) {
            if (!columns.contains(f))
                l.problems << q("la tabella «nozioli» non ha il campo «%1»").arg(f);
        }
        l.rowsReadable = l.problems.isEmpty();

        bool found = false, unique = false, partial = false;
        if (!query.exec(QStringLiteral("PRAGMA index_list(nozioli)"))) {
            l.failed = true;
            l.error = query.lastError();
            return l;
        }
        while (query.next()) {
            if (query.value(1).toString().compare(QLatin1String("nome"), Qt::CaseInsensitive) == 0) {
                found = true;
                unique = query.value(2).toInt() == 1;
                partial = query.value(4).toInt() == 1;
            }
        }
        if (!found) {
            l.problems << q("non ha l'indice «nome»");
        } else {
            QStringList keys;
            if (query.exec(QStringLiteral("PRAGMA index_info(nome)"))) {
                while (query.next())
                    keys << query.value(2).toString().toLower();
            }
            if (keys != QStringList{QStringLiteral("chiave")})
                l.problems << q("l'indice «nome» non è sul solo campo «chiave»");
            if (!unique || partial)
                l.problems << q("l'indice «nome» non impedisce le righe doppie dello stesso nome");
        }
    }
    if (l.version > ResultsStore::LayoutVersion)
        l.problems << q("è stato fatto da una versione più recente del programma (struttura %1)").arg(l.version);
    return l;
}

// The form the store writes, "yyyy-MM-dd HH:mm:ss", read digit by digit:
// QDateTime::fromString with a format parses the format again for every
// value, tens of microseconds a row when every row of a large archive is read.
// The local time's offset from UTC is found once an hour of the archive
// (mktime() is slow) and checked on every value.
QDateTime parseStoredDate(const QString &s)
{
    if (s.size() != 19 || s[4] != u'-' || s[7] != u'-' || s[10] != u' ' || s[13] != u':' || s[16] != u':')
        return {};
    const auto number = [&s](int from, int digits) {
        int n = 0;
        for (int i = from; i < from + digits; ++i) {
            const char16_t c = s[i].unicode();
            if (c < u'0' || c > u'9')
                return -1;
            n = n * 10 + (c - u'0');
        }
        return n;
    };
    const QDate date(number(0, 4), number(5, 2), number(8, 2));
    const int hour = number(11, 2), minute = number(14, 2), second = number(17, 2);
    if (!date.isValid() || !QTime::isValid(hour, minute, second))
        return {};
    const QTime time(hour, minute, second);
    constexpr qint64 unixEpochDay = 2440588;       // the Julian day of 1970-01-01
    const qint64 wallClock = (date.toJulianDay() - unixEpochDay) * 86400 + time.msecsSinceStartOfDay() / 1000;
    thread_local QHash<qint64, qint64> hourOffsets;
    auto offset = hourOffsets.constFind(wallClock / 3600);
    if (offset == hourOffsets.cend()) {
        const QDateTime full(date, time);
        if (!full.isValid())
            return full;
        offset = hourOffsets.insert(wallClock / 3600, full.offsetFromUtc());
    }
    const QDateTime quick = QDateTime::fromSecsSinceEpoch(wallClock - *offset, Qt::LocalTime);
    // The offset changed within the hour (a change to or from summer time).
    if (quick.date() != date || quick.time() != time)
        return QDateTime(date, time);
    return quick;
}

QDateTime parseDate(const QVariant &v)
{
    const QString s = v.toString();
    if (const QDateTime quick = parseStoredDate(s); quick.isValid())
        return quick;
    QDateTime t = QDateTime::fromString(s, QLatin1String(dateFormat));
    if (!t.isValid())
        t = QDateTime::fromString(s, Qt::ISODate);
    return t;
}

// "nome", "data", then the six totals in the order of totalFields.
QString selectRecord()
{
    QString sql = QStringLiteral("SELECT nome, data");
    for (const TotalField &f : totalFields)
        sql += QLatin1String(", ") + QLatin1String(f.name);
    return sql + QLatin1String(" FROM nozioli");
}

ResultRecord readRecord(const QSqlQuery &query)
{
    ResultRecord r;
    r.nome = query.value(0).toString();
    r.data = parseDate(query.value(1));
    int column = 2;
    for (const TotalField &f : totalFields)
        r.*f.recorded = query.value(column++).toDouble();
    return r;
}

} // namespace

struct ResultsStore::Private
{
    QString path;
    Connection conn;
    FileId id;                      // the file the connection opened
    int busyTimeout = DefaultBusyTimeout;
    qint64 pageLimit = 0;
    bool readOnly = false;          // openReadOnly(): every connection is mode=ro

    bool connect(Context ctx, StoreError &err);
    bool ready(Context ctx, StoreError &err);
    // Runs one read-only statement and hands each row to onRow; on failure
    // sets err, drops the connection (the next operation starts afresh) and
    // returns false.
    template <typename OnRow>
    bool read(const QString &sql, const QVariantList &binds, StoreError &err, OnRow onRow);
};

template <typename OnRow>
bool ResultsStore::Private::read(const QString &sql, const QVariantList &binds, StoreError &err, OnRow onRow)
{
    if (!ready(Context::Read, err))
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
    err = {};
    const QFileInfo fi(path);
    if (!fi.exists()) {
        err = makeError(StoreError::Missing, ctx, path);
        return false;
    }
    if (fi.isDir()) {
        err = makeError(StoreError::NotAnArchive, ctx, path, q("è una cartella"));
        return false;
    }
    if (!fi.isReadable()) {
        err = makeError(StoreError::Unreadable, ctx, path);
        return false;
    }
    // SQLite takes an empty file for an empty database.
    if (fi.size() == 0) {
        err = makeError(StoreError::NotAnArchive, ctx, path, q("è vuoto"));
        return false;
    }
    const FileId opened = fileId(path);
    if (!conn.open(path, readOnly ? "ro" : "rw", busyTimeout)) {
        err = classify(conn.error, ctx, path);
        return false;
    }
    QSqlError failure;
    {
        Layout l = inspect(conn.db);
        if (l.failed) {
            failure = l.error;
        } else if (!l.problems.isEmpty()) {
            err = makeError(StoreError::WrongLayout, ctx, path, l.problems.first());
        } else {
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
    if (!conn.isOpen() && !connect(ctx, err))
        return false;
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

bool ResultsStore::open(const QString &path)
{
    d->conn.close();
    d->readOnly = false;
    d->path = QFileInfo(path).absoluteFilePath();
    m_error = {};
    return d->connect(Context::Open, m_error);
}

bool ResultsStore::openReadOnly(const QString &path)
{
    d->conn.close();
    d->readOnly = true;
    d->path = QFileInfo(path).absoluteFilePath();
    m_error = {};
    return d->connect(Context::Open, m_error);
}

void ResultsStore::close()
{
    d->conn.close();
}

bool ResultsStore::isOpen() const
{
    return d->conn.isOpen();
}

QString ResultsStore::filePath() const
{
    return d->path;
}

void ResultsStore::setBusyTimeout(int ms)
{
    d->busyTimeout = qMax(0, ms);
    if (d->conn.isOpen()) {
        QSqlQuery query(d->conn.db);
        query.exec(QStringLiteral("PRAGMA busy_timeout = %1").arg(d->busyTimeout));
    }
}

int ResultsStore::busyTimeout() const
{
    return d->busyTimeout;
}

void ResultsStore::setPageLimitForTesting(qint64 pages)
{
    d->pageLimit = qMax<qint64>(0, pages);
    d->conn.close();
}

std::optional<QStringList> ResultsStore::listNames()
{
    m_error = {};
    QStringList names;
    const bool ok = d->read(QStringLiteral("SELECT nome FROM nozioli ORDER BY rowid"), {}, m_error,
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
    m_error = {};
    NamePage page;
    page.lastRow = afterRow;
    int rows = 0;
    const bool ok = d->read(QStringLiteral("SELECT rowid, nome FROM nozioli WHERE rowid > ? ORDER BY rowid LIMIT ?"),
                            {afterRow, qMax(1, limit)}, m_error, [&](const QSqlQuery &query) {
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
    m_error = {};
    QList<ResultRecord> rows;
    const bool ok = d->read(selectRecord() + QLatin1String(" ORDER BY rowid"), {}, m_error,
                            [&](const QSqlQuery &query) {
                                rows << readRecord(query);
                                return true;
                            });
    return ok ? std::optional(rows) : std::nullopt;
}

ResultsStore::Lookup ResultsStore::find(const QString &name, ResultRecord *record)
{
    m_error = {};
    Lookup result = Lookup::NotFound;
    const bool ok = d->read(selectRecord() + QLatin1String(" WHERE chiave = ?"), {foldName(name)}, m_error,
                            [&](const QSqlQuery &query) {
                                result = Lookup::Found;
                                if (record)
                                    *record = readRecord(query);
                                return false;
                            });
    return ok ? result : Lookup::Failed;
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
    if (!d->ready(Context::Save, m_error))
        return false;

    const QDateTime moment = when.isValid() ? when.toLocalTime() : QDateTime::currentDateTime();

    QSqlError failure;
    bool saved = false;
    {
        QSqlQuery query(d->conn.db);
        // A deferred BEGIN would fail at once when another writer gets in between.
        if (query.exec(QStringLiteral("BEGIN IMMEDIATE"))) {
            std::unique_ptr<QSqlQuery> &statement = onlyIfNewer ? d->conn.upsertIfNewer : d->conn.upsert;
            if (!statement) {
                QString columns, marks, updates;
                for (const TotalField &f : totalFields) {
                    const QString field = QString::fromLatin1(f.name);
                    columns += QLatin1String(", ") + field;
                    marks += QLatin1String(", ?");
                    updates += field + QLatin1String(" = excluded.") + field + QLatin1String(", ");
                }
                // The row of the name, added when missing ("nome" as given, never
                // changed afterwards), then the six totals in archiving order and the moment.
                const QString upsert = QLatin1String("INSERT INTO nozioli (nome, chiave") + columns
                    + QLatin1String(", data) VALUES (?, ?") + marks
                    + QLatin1String(", ?) ON CONFLICT(chiave) DO UPDATE SET ") + updates
                    + QLatin1String("data = excluded.data")
                    // The moments are stored as yyyy-MM-dd hh:mm:ss, which sort as text.
                    + QLatin1String(onlyIfNewer ? " WHERE nozioli.data IS NULL OR nozioli.data < excluded.data" : "");
                auto prepared = std::make_unique<QSqlQuery>(d->conn.db);
                if (prepared->prepare(upsert))
                    statement = std::move(prepared);
                else
                    failure = prepared->lastError();
            }
            if (statement) {
                QSqlQuery &write = *statement;
                int position = 0;
                write.bindValue(position++, name);
                write.bindValue(position++, foldName(name));
                for (const TotalField &f : totalFields)
                    write.bindValue(position++, double(totals.*f.archived));
                write.bindValue(position++, moment.toString(QLatin1String(dateFormat)));
                if (!write.exec())
                    failure = write.lastError();
                else if (write.numRowsAffected() != 1 && !onlyIfNewer)
                    failure = QSqlError(q("la riga dell'alunno non è stata scritta"), QString(),
                                        QSqlError::StatementError);
                write.finish();
            }
            if (!failure.isValid()) {
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
        m_error = classify(failure, Context::Save, d->path);
        d->conn.close();        // the next try starts from a fresh connection
        return false;
    }
    return true;
}

bool ResultsStore::create(const QString &path, StoreError *error)
{
    StoreError err;
    const QFileInfo target(QFileInfo(path).absoluteFilePath());
    const QString targetPath = target.absoluteFilePath();
    const QFileInfo folder(target.absolutePath());
    auto done = [&](bool ok) {
        if (error)
            *error = err;
        return ok;
    };
    if (target.exists() || target.isSymLink()) {
        err = makeError(StoreError::Exists, Context::Create, targetPath);
        return done(false);
    }
    if (!folder.isDir()) {
        err = makeError(StoreError::Missing, Context::Create, targetPath, {}, Subject::Folder);
        return done(false);
    }
    if (!folder.isWritable()) {
        err = makeError(StoreError::ReadOnly, Context::Create, targetPath, {}, Subject::Folder);
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
        Connection c;
        if (c.open(temp, "rwc", DefaultBusyTimeout)) {
            QSqlQuery query(c.db);
            QStringList steps{QStringLiteral("PRAGMA journal_mode = DELETE"), QStringLiteral("PRAGMA synchronous = FULL"),
                              QStringLiteral("BEGIN IMMEDIATE")};
            for (const char *s : schema)
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

QStringList ResultsStore::verify(const QString &path)
{
    const QString file = QFileInfo(path).absoluteFilePath();
    const QFileInfo fi(file);
    if (!fi.exists())
        return {makeError(StoreError::Missing, Context::Check, file).message};
    if (fi.isDir())
        return {makeError(StoreError::NotAnArchive, Context::Check, file, q("è una cartella")).message};
    if (!fi.isReadable())
        return {makeError(StoreError::Unreadable, Context::Check, file).message};
    if (fi.size() == 0)
        return {makeError(StoreError::NotAnArchive, Context::Check, file, q("è vuoto")).message};

    QStringList problems;
    QSqlError failure;
    {
        Connection c;
        if (!c.open(file, "ro", DefaultBusyTimeout))
            return {classify(c.error, Context::Check, file).message};
        const Layout l = inspect(c.db);
        if (l.failed) {
            failure = l.error;
        } else {
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

            if (!failure.isValid() && l.rowsReadable) {
                int rows = 0, noName = 0, badKey = 0, badTotal = 0, badDate = 0;
                QHash<QString, int> perKey;
                QStringList keyOrder;
                QHash<QString, QString> firstName;
                QString select = QStringLiteral("SELECT nome, chiave, data");
                for (const TotalField &f : totalFields)
                    select += QLatin1String(", ") + QLatin1String(f.name);
                if (query.exec(select + QLatin1String(" FROM nozioli ORDER BY rowid"))) {
                    while (query.next()) {
                        ++rows;
                        const QString name = query.value(0).toString();
                        const QVariant key = query.value(1);
                        if (name.isEmpty())
                            ++noName;
                        const QString folded = foldName(name);
                        if (key.isNull() || key.toString() != folded)
                            ++badKey;
                        if (!name.isEmpty()) {
                            if (!perKey.contains(folded)) {
                                keyOrder << folded;
                                firstName.insert(folded, name);
                            }
                            ++perKey[folded];
                        }
                        if (!parseDate(query.value(2)).isValid())
                            ++badDate;
                        for (int i = 3; i <= 8; ++i) {
                            const QVariant v = query.value(i);
                            bool ok = false;
                            const double n = v.toDouble(&ok);
                            if (v.isNull() || !ok || n < 0 || std::floor(n) != n) {
                                ++badTotal;
                                break;
                            }
                        }
                    }
                }
                if (query.lastError().isValid()) {
                    failure = query.lastError();
                } else {
                    for (const QString &k : std::as_const(keyOrder)) {
                        if (perKey.value(k) > 1)
                            problems << q("il nome «%1» compare in %2 righe").arg(firstName.value(k)).arg(perKey.value(k));
                    }
                    if (noName)
                        problems << q("righe senza nome: %1 su %2").arg(noName).arg(rows);
                    if (badKey)
                        problems << q("righe con il campo «chiave» mancante o diverso dal nome: %1 su %2").arg(badKey).arg(rows);
                    if (badTotal)
                        problems << q("righe con totali mancanti o non interi da 0 in su: %1 su %2").arg(badTotal).arg(rows);
                    if (badDate)
                        problems << q("righe con il campo «data» mancante o non nella forma AAAA-MM-GG hh:mm:ss: %1 su %2")
                                        .arg(badDate).arg(rows);
                }
            }
        }
    }
    if (failure.isValid())
        problems << classify(failure, Context::Check, file).message;
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
