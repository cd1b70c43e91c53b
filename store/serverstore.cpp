#include "store/serverstore.h"

#include "store/storedrows.h"

#include <QAtomicInteger>
#include <QLibrary>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <libpq-fe.h>

#include <functional>
#include <memory>
#include <initializer_list>
#include <type_traits>
#include <utility>
#include <vector>

namespace {

// libpq, loaded the first time a server is used: a program whose archive is
// a file does not load it, nor the TLS and Kerberos libraries it brings.
// Qt's PostgreSQL driver loads the same library when it connects.
struct LibPq
{
    decltype(&::PQconninfoParse) conninfoParse = nullptr;
    decltype(&::PQconninfoFree) conninfoFree = nullptr;
    decltype(&::PQfreemem) freemem = nullptr;
    decltype(&::PQpingParams) pingParams = nullptr;
    decltype(&::PQconnectdbParams) connectdbParams = nullptr;
    decltype(&::PQstatus) status = nullptr;
    decltype(&::PQconnectionNeedsPassword) connectionNeedsPassword = nullptr;
    decltype(&::PQconnectionUsedPassword) connectionUsedPassword = nullptr;
    decltype(&::PQerrorMessage) errorMessage = nullptr;
    decltype(&::PQfinish) finish = nullptr;
    bool loaded = false;

    static const LibPq &get()
    {
        static const LibPq lib = [] {
            LibPq l;
            QLibrary library(QStringLiteral("pq"), 5);
            const auto resolve = [&library](auto &function, const char *name) {
                function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
                return function != nullptr;
            };
            // Kept loaded for the life of the program, as the driver keeps it.
            library.setLoadHints(QLibrary::PreventUnloadHint);
            l.loaded = resolve(l.conninfoParse, "PQconninfoParse") && resolve(l.conninfoFree, "PQconninfoFree")
                && resolve(l.freemem, "PQfreemem") && resolve(l.pingParams, "PQpingParams")
                && resolve(l.connectdbParams, "PQconnectdbParams") && resolve(l.status, "PQstatus")
                && resolve(l.connectionNeedsPassword, "PQconnectionNeedsPassword")
                && resolve(l.connectionUsedPassword, "PQconnectionUsedPassword")
                && resolve(l.errorMessage, "PQerrorMessage") && resolve(l.finish, "PQfinish");
            return l;
        }();
        return lib;
    }
};

using storedrows::Context;

QString q(const char *text) { return QString::fromUtf8(text); }

constexpr int LayoutVersion = ResultsStore::LayoutVersion;
// The longest any one statement may run on the server (ms): far above what
// any operation of the program needs, so that nothing holds a connection for long.
constexpr int StatementTimeout = 30000;
// Seconds to wait for the server to answer at all, unless the address says otherwise.
constexpr const char *ConnectTimeout = "10";

// SQLSTATE codes the program acts on.
const QLatin1String DuplicateTable("42P07");
const QLatin1String UndefinedTable("42P01");
const QLatin1String UndefinedColumn("42703");
const QLatin1String InsufficientPrivilege("42501");
const QLatin1String ReadOnlyTransaction("25006");
const QLatin1String LockNotAvailable("55P03");
const QLatin1String QueryCanceled("57014");
const QLatin1String DiskFull("53100");
const QLatin1String UndefinedObject("42704");

// The layout the program creates. "riga" keeps the order rows were added in.
const char *const createStatements[] = {
    "CREATE TABLE nozioli ("
    " riga bigint GENERATED ALWAYS AS IDENTITY PRIMARY KEY,"
    " nome text NOT NULL,"
    " data timestamp(0) without time zone NOT NULL,"
    " sovragiusti double precision NOT NULL,"
    " sovrasbagliati double precision NOT NULL,"
    " nozioligiusti double precision NOT NULL,"
    " noziolisbagliati double precision NOT NULL,"
    " spaziotempogiusti double precision NOT NULL,"
    " spaziotemposbagliati double precision NOT NULL,"
    " chiave text NOT NULL)",
    "CREATE UNIQUE INDEX nome ON nozioli (chiave)",
    "CREATE TABLE nozioli_versione (versione integer NOT NULL)",
};

// The fields of "nozioli" and their types as the server names them.
struct Column
{
    const char *name;
    const char *type;
};
const Column layoutColumns[] = {
    {"riga", "bigint"},
    {"nome", "text"},
    {"data", "timestamp(0) without time zone"},
    {"sovragiusti", "double precision"},
    {"sovrasbagliati", "double precision"},
    {"nozioligiusti", "double precision"},
    {"noziolisbagliati", "double precision"},
    {"spaziotempogiusti", "double precision"},
    {"spaziotemposbagliati", "double precision"},
    {"chiave", "text"},
};

// The moment as the file archive stores it, read back in the same form.
const QString dateText = QStringLiteral("to_char(data, 'YYYY-MM-DD HH24:MI:SS')");

// The keywords and values of a connection URI, parsed by libpq itself.
struct Address
{
    QList<QByteArray> keywords;
    QList<QByteArray> values;
    QString invalid;            // why the address could not be read

    QString value(const char *keyword) const
    {
        const qsizetype i = keywords.indexOf(QByteArray(keyword));
        return i < 0 ? QString() : QString::fromUtf8(values.at(i));
    }
    void set(const char *keyword, const QByteArray &v)
    {
        const qsizetype i = keywords.indexOf(QByteArray(keyword));
        if (i < 0) {
            keywords << keyword;
            values << v;
        } else {
            values[i] = v;
        }
    }
};

Address parseAddress(const QString &uri)
{
    Address a;
    const LibPq &pq = LibPq::get();
    if (!pq.loaded || !QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))) {
        a.invalid = q("su questo PC manca il programma per collegarsi a PostgreSQL (i pacchetti libpq5 e "
                      "libqt6sql6-psql)");
        return a;
    }
    char *message = nullptr;
    PQconninfoOption *options = pq.conninfoParse(uri.toUtf8().constData(), &message);
    if (!options) {
        a.invalid = message ? QString::fromUtf8(message).trimmed() : q("indirizzo non valido");
        pq.freemem(message);
        return a;
    }
    for (PQconninfoOption *o = options; o->keyword; ++o) {
        if (o->val && *o->val) {
            a.keywords << o->keyword;
            a.values << o->val;
        }
    }
    pq.conninfoFree(options);
    // A server that vanishes from the network without closing the connection
    // (a cable pulled, a switch down) would otherwise keep the program waiting
    // for as long as TCP retries, many minutes: these bound the wait for an
    // answer to seconds. An address may set its own.
    const std::pair<const char *, const char *> defaults[] = {
        {"connect_timeout", ConnectTimeout},
        {"keepalives", "1"},
        {"keepalives_idle", "5"},
        {"keepalives_interval", "2"},
        {"keepalives_count", "3"},
        {"tcp_user_timeout", "10000"},
    };
    for (const auto &[keyword, value] : defaults) {
        if (a.value(keyword).isEmpty())
            a.set(keyword, value);
    }
    if (a.value("application_name").isEmpty())
        a.set("application_name", "nozioli");
    return a;
}

QString userOf(const Address &a)
{
    const QString user = a.value("user");
    return user.isEmpty() ? qEnvironmentVariable("PGUSER", qEnvironmentVariable("USER")) : user;
}

// "host:port/database", the socket's folder standing for the host; never the password.
QString describe(const Address &a)
{
    // What the address leaves out, libpq takes from its environment variables.
    const auto value = [&a](const char *keyword, const char *variable, const QString &otherwise) {
        const QString v = a.value(keyword);
        return !v.isEmpty() ? v : qEnvironmentVariable(variable, otherwise);
    };
    const QString host = value("host", "PGHOST", value("hostaddr", "PGHOSTADDR", QStringLiteral("localhost")));
    const QString port = value("port", "PGPORT", QStringLiteral("5432"));
    const QString database = value("dbname", "PGDATABASE", userOf(a));
    return host + u':' + port + u'/' + database;
}


// Why a connection could not be made, and what to try.
enum class Cause {
    Plain,
    NotAnswering,       // Unreachable: nothing answers at the address
    NotAccepting,       // Unreachable: the server is starting, stopping or full
    ConnectionLost,     // Unreachable: the connection broke during the operation
    BadAddress,         // Other: the address cannot be read
    NoPassword,         // AccessDenied
    WrongPassword,      // AccessDenied
    TlsRequired,        // Tls: the server takes encrypted connections only
    TlsMissing,         // Tls: the address asks for TLS, the server offers none
    TlsCertificate,     // Tls: the server's certificate could not be verified
    NoLayout,           // WrongLayout: no table "nozioli"
    NoPermission,       // ReadOnly: the role may not write
};

// The one place where the messages about an archive on a server are written;
// storedrows::message() puts them together as the archive file's.
// In the texts: %1 the server and database, %2 the user, %3 the detail.
StoreError makeError(StoreError::Kind kind, Context ctx, const Address &a, const QString &detail = {},
                     Cause cause = Cause::Plain)
{
    QString reason;
    switch (kind) {
    case StoreError::Unreachable:
        if (cause == Cause::NotAccepting)
            reason = q("Il server dell'archivio «%1» per ora non accetta connessioni (si sta avviando o "
                       "spegnendo, o ne ha già troppe): riprova fra qualche minuto.");
        else if (cause == Cause::ConnectionLost)
            reason = q("La connessione al server dell'archivio «%1» si è interrotta: controlla che il PC sia "
                       "collegato alla rete della scuola, poi riprova.");
        else
            reason = q("Il server dell'archivio «%1» non risponde: controlla che il PC sia collegato alla rete "
                       "della scuola e chiedi all'insegnante se il server è acceso, poi riprova.");
        break;
    case StoreError::AccessDenied:
        if (cause == Cause::NoPassword)
            reason = q("Il server dell'archivio «%1» chiede una password per l'utente «%2», ma non ce n'è una nel "
                       "file delle password di PostgreSQL (~/.pgpass): chiedi all'insegnante di aggiungerla, poi "
                       "riprova.");
        else if (cause == Cause::WrongPassword)
            reason = q("Il server dell'archivio «%1» non ha accettato la password dell'utente «%2»: chiedi "
                       "all'insegnante di correggerla nel file delle password di PostgreSQL (~/.pgpass), poi "
                       "riprova.");
        else
            reason = q("Il server dell'archivio «%1» non ha accettato l'utente «%2» (%3): chiedi all'insegnante "
                       "di controllare l'indirizzo del server nelle impostazioni e i permessi dell'utente, poi "
                       "riprova.");
        break;
    case StoreError::Tls:
        if (cause == Cause::TlsMissing)
            reason = q("L'indirizzo del server dell'archivio «%1» chiede una connessione cifrata (TLS), ma il "
                       "server non la offre: chiedi al tecnico della scuola di attivare TLS sul server.");
        else if (cause == Cause::TlsCertificate)
            reason = q("Il certificato del server dell'archivio «%1» non è stato riconosciuto (%3): controlla "
                       "il certificato indicato con sslrootcert nell'indirizzo del server, poi riprova.");
        else
            reason = q("Il server dell'archivio «%1» accetta solo connessioni cifrate (TLS): aggiungi "
                       "«sslmode=verify-full» e «sslrootcert=» con il certificato della scuola all'indirizzo del "
                       "server nelle impostazioni, poi riprova.");
        break;
    case StoreError::WrongLayout:
        reason = cause == Cause::NoLayout
            ? q("Sul server «%1» non c'è l'archivio dei risultati (la tabella «nozioli»): l'insegnante può "
                "crearlo con «nozioli-archivio crea --server», poi riprova.")
            : q("Sul server «%1» la tabella «nozioli» non è quella del programma (%3): chiedi all'insegnante "
                "di controllarla con «nozioli-archivio verifica».");
        break;
    case StoreError::ReadOnly:
        reason = cause == Cause::NoPermission
            ? q("L'utente «%2» non ha il permesso di fare questa operazione sull'archivio del server «%1»: "
                "chiedi all'insegnante di controllarne i permessi, poi riprova.")
            : q("L'archivio del server «%1» è aperto in sola lettura.");
        break;
    case StoreError::Locked:
        reason = q("L'archivio del server «%1» è occupato da un altro programma: riprova fra qualche istante.");
        break;
    case StoreError::DiskFull:
        reason = q("Il server dell'archivio «%1» non ha più spazio su disco: chiedi al tecnico della scuola di "
                   "liberarne, poi riprova.");
        break;
    case StoreError::Exists:
        reason = q("Sul server «%1» c'è già un archivio dei risultati (la tabella «nozioli»): non viene "
                   "sostituito.");
        break;
    case StoreError::Other:
        reason = cause == Cause::BadAddress
            ? q("L'indirizzo del server dell'archivio non è valido (%3): correggilo nelle impostazioni "
                "(nozioli.ini, [archivio] server=), poi riprova.")
            : q("Errore del server dell'archivio «%1»: %3");
        break;
    default:
        reason = q("Errore del server dell'archivio «%1»: %3");
        break;
    }
    reason = storedrows::fill(reason, {describe(a), userOf(a), detail});
    return storedrows::message(kind, ctx, reason);
}

// The first line of a libpq or server message, without the address libpq puts before it.
QString firstLine(QString text)
{
    text = text.trimmed();
    const qsizetype cut = text.indexOf(u'\n');
    if (cut >= 0)
        text.truncate(cut);
    const qsizetype failed = text.indexOf(QLatin1String("failed: "));
    if (failed >= 0)
        text = text.mid(failed + 8);
    if (text.startsWith(QLatin1String("FATAL:")) || text.startsWith(QLatin1String("ERROR:")))
        text = text.mid(6);
    return text.trimmed();
}

// The address's keywords and values as libpq's arrays, with some values changed.
class Params
{
public:
    Params(const Address &a, std::initializer_list<std::pair<const char *, const char *>> changes = {}) : m_a(a)
    {
        for (const auto &[keyword, value] : changes)
            m_a.set(keyword, value);
        for (qsizetype i = 0; i < m_a.keywords.size(); ++i) {
            m_k.push_back(m_a.keywords.at(i).constData());
            m_v.push_back(m_a.values.at(i).constData());
        }
        m_k.push_back(nullptr);
        m_v.push_back(nullptr);
    }
    const char *const *keywords() const { return m_k.data(); }
    const char *const *values() const { return m_v.data(); }
    PGPing ping() const { return LibPq::get().pingParams(keywords(), values(), 0); }

private:
    Address m_a;
    std::vector<const char *> m_k, m_v;
};

// A connection made by libpq alone, to find why the driver's failed.
struct Probe
{
    const LibPq &pq = LibPq::get();
    PGconn *conn = nullptr;
    explicit Probe(const Params &p) : conn(pq.connectdbParams(p.keywords(), p.values(), 0)) {}
    ~Probe() { pq.finish(conn); }
    Probe(const Probe &) = delete;
    Probe &operator=(const Probe &) = delete;
    bool ok() const { return pq.status(conn) == CONNECTION_OK; }
    bool needsPassword() const { return pq.connectionNeedsPassword(conn); }
    bool usedPassword() const { return pq.connectionUsedPassword(conn); }
    // Reached the server and spoke with it: connected, or turned back over the password.
    bool gotFurther() const { return ok() || needsPassword() || usedPassword(); }
    QString message() const { return firstLine(QString::fromUtf8(pq.errorMessage(conn))); }
};

// Why a connection failed, found by asking the server again without the
// driver: whether anything answers, then whether TLS, the password or the
// database stood in the way. Uses libpq's state rather than its messages,
// which are translated.
StoreError whyNotConnected(Context ctx, const Address &a, const QString &driverMessage)
{
    const QString sslmode = a.value("sslmode");
    const bool tlsRequired = sslmode == QLatin1String("require") || sslmode.startsWith(QLatin1String("verify"));
    switch (Params(a).ping()) {
    case PQPING_NO_ATTEMPT:
        return makeError(StoreError::Other, ctx, a, firstLine(driverMessage), Cause::BadAddress);
    case PQPING_REJECT:
        return makeError(StoreError::Unreachable, ctx, a, {}, Cause::NotAccepting);
    case PQPING_NO_RESPONSE:
        // A TLS handshake that failed on this side looks like silence.
        // require without a root certificate does not check the server's.
        if (tlsRequired && sslmode != QLatin1String("require")
            && Params(a, {{"sslmode", "require"}, {"sslrootcert", ""}}).ping() == PQPING_OK)
            return makeError(StoreError::Tls, ctx, a, Probe(Params(a)).message(), Cause::TlsCertificate);
        if (tlsRequired && Params(a, {{"sslmode", "disable"}}).ping() == PQPING_OK)
            return makeError(StoreError::Tls, ctx, a, {}, Cause::TlsMissing);
        return makeError(StoreError::Unreachable, ctx, a, {}, Cause::NotAnswering);
    case PQPING_OK:
        break;
    }
    const Probe as{Params(a)};
    if (as.ok())
        return makeError(StoreError::Other, ctx, a, firstLine(driverMessage));
    if (as.needsPassword())
        return makeError(StoreError::AccessDenied, ctx, a, {}, Cause::NoPassword);
    // The password was sent: either it was wrong, or it was right and the
    // database is missing or closed to the user, which the database every
    // cluster has tells apart.
    if (as.usedPassword()) {
        if (!Probe(Params(a, {{"dbname", "template1"}})).ok())
            return makeError(StoreError::AccessDenied, ctx, a, {}, Cause::WrongPassword);
        return makeError(StoreError::AccessDenied, ctx, a, as.message());
    }
    if (!tlsRequired && Probe(Params(a, {{"sslmode", "require"}})).gotFurther())
        return makeError(StoreError::Tls, ctx, a, {}, Cause::TlsRequired);
    return makeError(StoreError::AccessDenied, ctx, a, as.message());
}

// Turns a failed statement into what the pupil or the teacher can act on.
StoreError classify(const QSqlError &e, Context ctx, const Address &a)
{
    const QString state = e.nativeErrorCode();
    const QString detail = firstLine(e.databaseText().isEmpty() ? e.text() : e.databaseText());
    if (state == InsufficientPrivilege)
        return makeError(StoreError::ReadOnly, ctx, a, {}, Cause::NoPermission);
    if (state == ReadOnlyTransaction)
        return makeError(StoreError::ReadOnly, ctx, a);
    if (state == UndefinedTable)
        return makeError(StoreError::WrongLayout, ctx, a, {}, Cause::NoLayout);
    if (state == UndefinedColumn)
        return makeError(StoreError::WrongLayout, ctx, a, detail);
    if (state == LockNotAvailable)
        return makeError(StoreError::Locked, ctx, a);
    if (state == DiskFull)
        return makeError(StoreError::DiskFull, ctx, a);
    if (state == QueryCanceled)
        return makeError(StoreError::Other, ctx, a, q("l'operazione è durata troppo ed è stata fermata"));
    if (state.isEmpty() || state.startsWith(QLatin1String("08")))
        return makeError(StoreError::Unreachable, ctx, a, {}, Cause::ConnectionLost);
    return makeError(StoreError::Other, ctx, a, detail);
}

PGconn *handleOf(const QSqlDatabase &db)
{
    if (!db.driver())
        return nullptr;
    const QVariant v = db.driver()->handle();
    if (!v.isValid() || qstrcmp(v.typeName(), "PGconn*") != 0)
        return nullptr;
    return *static_cast<PGconn *const *>(v.constData());
}

// One connection of Qt's PostgreSQL driver, under a name of its own, removed with it.
class Connection
{
public:
    Connection() = default;
    ~Connection() { close(); }
    Connection(const Connection &) = delete;
    Connection &operator=(const Connection &) = delete;

    bool open(const Address &a)
    {
        close();
        static QAtomicInteger<quint64> counter;
        m_name = QStringLiteral("nozioli-server-%1").arg(counter.fetchAndAddRelaxed(1));
        db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
        QStringList options;
        for (qsizetype i = 0; i < a.keywords.size(); ++i) {
            const QByteArray &k = a.keywords.at(i);
            const QString value = QString::fromUtf8(a.values.at(i));
            if (k == "host")
                db.setHostName(value);
            else if (k == "port")
                db.setPort(value.toInt());
            else if (k == "dbname")
                db.setDatabaseName(value);
            else if (k == "user")
                db.setUserName(value);
            else if (k == "password")
                db.setPassword(value);
            else
                options << QString::fromLatin1(k) + u'=' + quoted(value);
        }
        db.setConnectOptions(options.join(u';'));
        if (!db.open()) {
            error = db.lastError();
            return false;
        }
        return true;
    }
    void close()
    {
        if (m_name.isEmpty())
            return;
        // The driver goes first: its prepared statements end with the
        // connection, and are not freed one by one on a connection that may be broken.
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
        statements.clear();
        m_name.clear();
    }
    bool isOpen() const { return !m_name.isEmpty() && db.isOpen(); }
    // Whether libpq still holds a working connection.
    bool broken() const
    {
        PGconn *c = handleOf(db);
        return !c || LibPq::get().status(c) != CONNECTION_OK;
    }

    QSqlDatabase db;
    QSqlError error;
    // Prepared statements of this connection, by their text.
    QHash<QString, std::shared_ptr<QSqlQuery>> statements;

private:
    // A value for the driver's options, which it joins with blanks: quoted as libpq reads it.
    static QString quoted(QString value)
    {
        value.replace(u'\\', QLatin1String("\\\\"));
        value.replace(u'\'', QLatin1String("\\'"));
        return u'\'' + value + u'\'';
    }
    QString m_name;
};

// The six totals' fields, comma-separated.
QString totalColumns()
{
    QStringList names;
    for (const TotalField &f : totalFields)
        names << QString::fromLatin1(f.name);
    return names.join(QLatin1String(", "));
}

// Names what is not as create() makes it; empty when the layout is the program's.
QStringList layoutProblems(QSqlDatabase &db, QSqlError &failure, int *version)
{
    QStringList problems;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(QStringLiteral("SELECT to_regclass('nozioli') IS NOT NULL"))) {
        failure = query.lastError();
        return problems;
    }
    if (!query.next() || !query.value(0).toBool()) {
        failure = QSqlError(q("relation \"nozioli\" does not exist"), QString(), QSqlError::StatementError,
                            UndefinedTable);
        return problems;
    }
    QHash<QString, QString> types;
    if (!query.exec(QStringLiteral(
            "SELECT attname, format_type(atttypid, atttypmod) FROM pg_attribute"
            " WHERE attrelid = 'nozioli'::regclass AND attnum > 0 AND NOT attisdropped"))) {
        failure = query.lastError();
        return problems;
    }
    while (query.next())
        types.insert(query.value(0).toString(), query.value(1).toString());
    for (const Column &c : layoutColumns) {
        const QString name = QString::fromLatin1(c.name);
        if (!types.contains(name))
            problems << q("manca il campo «%1»").arg(name);
        else if (types.value(name) != QLatin1String(c.type))
            problems << q("il campo «%1» è di tipo %2 invece che %3").arg(name, types.value(name), QLatin1String(c.type));
        types.remove(name);
    }
    for (auto i = types.cbegin(); i != types.cend(); ++i)
        problems << q("il campo «%1» non è del programma").arg(i.key());
    if (!query.exec(QStringLiteral(
            "SELECT i.indisunique AND i.indnkeyatts = 1 AND a.attname = 'chiave' FROM pg_index i"
            " JOIN pg_attribute a ON a.attrelid = i.indrelid AND a.attnum = i.indkey[0]"
            " WHERE i.indexrelid = to_regclass('nome') AND i.indrelid = 'nozioli'::regclass"))) {
        failure = query.lastError();
        return problems;
    }
    if (!query.next() || !query.value(0).toBool())
        problems << q("manca l'indice unico «nome» sul campo «chiave»");
    if (!query.exec(QStringLiteral("SELECT versione FROM nozioli_versione"))) {
        if (query.lastError().nativeErrorCode() != UndefinedTable) {
            failure = query.lastError();
            return problems;
        }
        problems << q("manca la tabella «nozioli_versione»");
    } else {
        QList<int> found;
        while (query.next())
            found << query.value(0).toInt();
        if (version && found.size() == 1)
            *version = found.first();
        if (found.size() != 1)
            problems << q("la tabella «nozioli_versione» non ha una sola riga");
        else if (found.first() != LayoutVersion)
            problems << q("versione della struttura %1, il programma conosce la %2").arg(found.first()).arg(LayoutVersion);
    }
    return problems;
}

} // namespace

struct ServerStore::Private
{
    Address address;
    Connection conn;
    bool readOnly = false;
    int lockTimeout = ResultsStore::DefaultBusyTimeout;

    bool connect(Context ctx, StoreError &err);
    // Runs one statement, connecting first when needed; a connection found
    // broken is opened again once and the statement run again.
    using OnRow = ServerStore::OnRow;
    bool run(Context ctx, const QString &sql, const QVariantList &binds, StoreError &err, const OnRow &onRow,
             int *rowsAffected = nullptr);
    bool runOnce(const QString &sql, const QVariantList &binds, QSqlError &failure, const OnRow &onRow,
                 int *rowsAffected);
};

bool ServerStore::Private::connect(Context ctx, StoreError &err)
{
    conn.close();
    if (!address.invalid.isEmpty()) {
        err = makeError(StoreError::Other, ctx, address, address.invalid, Cause::BadAddress);
        return false;
    }
    if (!conn.open(address)) {
        err = whyNotConnected(ctx, address, conn.error.text());
        conn.close();
        return false;
    }
    QSqlQuery query(conn.db);
    QSqlError failure;
    const QStringList settings{
        QStringLiteral("SET lock_timeout = %1").arg(lockTimeout),
        QStringLiteral("SET statement_timeout = %1").arg(StatementTimeout),
        readOnly ? QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY") : QString(),
    };
    for (const QString &s : settings) {
        if (!s.isEmpty() && !query.exec(s)) {
            failure = query.lastError();
            break;
        }
    }
    QStringList problems;
    if (!failure.isValid())
        problems = layoutProblems(conn.db, failure, nullptr);
    if (failure.isValid())
        err = classify(failure, ctx, address);
    else if (!problems.isEmpty())
        err = makeError(StoreError::WrongLayout, ctx, address, problems.join(QLatin1String("; ")));
    if (err) {
        conn.close();
        return false;
    }
    return true;
}

bool ServerStore::Private::runOnce(const QString &sql, const QVariantList &binds, QSqlError &failure,
                                   const OnRow &onRow, int *rowsAffected)
{
    std::shared_ptr<QSqlQuery> &query = conn.statements[sql];
    if (!query) {
        auto prepared = std::make_shared<QSqlQuery>(conn.db);
        prepared->setForwardOnly(true);
        if (!prepared->prepare(sql)) {
            failure = prepared->lastError();
            conn.statements.remove(sql);
            return false;
        }
        query = prepared;
    }
    for (int i = 0; i < binds.size(); ++i)
        query->bindValue(i, binds.at(i));
    if (!query->exec()) {
        failure = query->lastError();
        return false;
    }
    if (rowsAffected)
        *rowsAffected = query->numRowsAffected();
    while (query->next() && onRow(*query)) {
    }
    query->finish();
    return true;
}

bool ServerStore::Private::run(Context ctx, const QString &sql, const QVariantList &binds, StoreError &err,
                               const OnRow &onRow, int *rowsAffected)
{
    if (ctx == Context::Save && readOnly) {
        err = makeError(StoreError::ReadOnly, ctx, address);
        return false;
    }
    const bool wasOpen = conn.isOpen();
    if (!wasOpen && !connect(ctx, err))
        return false;
    QSqlError failure;
    if (runOnce(sql, binds, failure, onRow, rowsAffected))
        return true;
    // Dropped since the last operation (the server restarted, the network
    // blinked): open again once. A write is safe to repeat, as it sets the
    // same values.
    if (wasOpen && conn.broken()) {
        if (!connect(ctx, err))
            return false;
        failure = QSqlError();
        if (runOnce(sql, binds, failure, onRow, rowsAffected))
            return true;
    }
    err = classify(failure, ctx, address);
    conn.close();
    return false;
}

bool ServerStore::isAddress(const QString &location)
{
    return location.startsWith(QLatin1String("postgresql://")) || location.startsWith(QLatin1String("postgres://"));
}

ServerStore::ServerStore(const QString &address) : d(std::make_unique<Private>())
{
    d->address = parseAddress(address);
}

ServerStore::~ServerStore() = default;

bool ServerStore::open(bool readOnly, StoreError &err)
{
    d->readOnly = readOnly;
    return d->connect(Context::Open, err);
}

void ServerStore::close()
{
    d->conn.close();
}

bool ServerStore::isOpen() const
{
    return d->conn.isOpen();
}

QString ServerStore::label(const QString &address)
{
    return describe(parseAddress(address));
}

std::optional<QByteArray> ServerStore::stamp(StoreError &err)
{
    QByteArray digest;
    QString sql = QStringLiteral("SELECT count(*), md5(string_agg(concat_ws(' ', riga, nome, data");
    for (const TotalField &f : totalFields)
        sql += QLatin1String(", ") + QLatin1String(f.name);
    sql += QLatin1String("), '/' ORDER BY riga)) FROM nozioli");
    const bool ok = d->run(Context::Read, sql, {}, err, [&](const QSqlQuery &query) {
        digest = query.value(0).toByteArray() + ' ' + query.value(1).toByteArray();
        return false;
    });
    return ok ? std::optional(digest) : std::nullopt;
}

void ServerStore::setBusyTimeout(int ms)
{
    d->lockTimeout = qMax(0, ms);
    if (d->conn.isOpen()) {
        QSqlQuery query(d->conn.db);
        query.exec(QStringLiteral("SET lock_timeout = %1").arg(d->lockTimeout));
    }
}

bool ServerStore::read(const QString &sql, const QVariantList &binds, StoreError &err, const OnRow &onRow)
{
    return d->run(Context::Read, sql, binds, err, onRow);
}

const storedrows::Dialect &ServerStore::dialect()
{
    // The identity column keeps the order; moments are read in the file's
    // form; keys sort by code point, as the file's bytes do.
    static const storedrows::Dialect dialect{QStringLiteral("riga"), dateText,
                                             QStringLiteral("CAST(? AS timestamp(0))"),
                                             QStringLiteral("chiave COLLATE \"C\"")};
    return dialect;
}

bool ServerStore::write(const QString &name, const ArchiveTotals &totals, const QDateTime &moment, bool onlyIfNewer,
                        StoreError &err)
{
    // One statement, so one transaction: the row of the name is added or
    // updated whole, however many PCs archive at once.
    const QString upsert = storedrows::upsertStatement(dialect(), onlyIfNewer);
    const QVariantList binds = storedrows::upsertValues(name, totals, moment);
    int affected = -1;
    if (!d->run(Context::Save, upsert, binds, err, [](const QSqlQuery &) { return false; }, &affected))
        return false;
    if (affected != 1 && !onlyIfNewer) {
        err = makeError(StoreError::Other, Context::Save, d->address, q("la riga dell'alunno non è stata scritta"));
        return false;
    }
    return true;
}

bool ServerStore::create(const QString &address, const QString &pupilRole, StoreError *error)
{
    Address a = parseAddress(address);
    StoreError err;
    auto done = [&](bool ok) {
        if (error)
            *error = err;
        return ok;
    };
    if (!a.invalid.isEmpty()) {
        err = makeError(StoreError::Other, Context::Create, a, a.invalid, Cause::BadAddress);
        return done(false);
    }
    Connection c;
    if (!c.open(a)) {
        err = whyNotConnected(Context::Create, a, c.error.text());
        return done(false);
    }
    QStringList steps{QStringLiteral("BEGIN")};
    for (const char *s : createStatements)
        steps << QString::fromLatin1(s);
    steps << QStringLiteral("INSERT INTO nozioli_versione VALUES (%1)").arg(LayoutVersion);
    if (!pupilRole.isEmpty()) {
        // Only what the program does: read, add and update rows. No delete,
        // no truncate, no change of the layout (the tables stay the teacher's).
        const QString role = c.db.driver()->escapeIdentifier(pupilRole, QSqlDriver::FieldName);
        steps << QStringLiteral("GRANT USAGE ON SCHEMA %1 TO %2")
                     .arg(c.db.driver()->escapeIdentifier(QStringLiteral("public"), QSqlDriver::FieldName), role)
              << QStringLiteral("GRANT SELECT, INSERT ON nozioli TO %1").arg(role)
              // An archiving updates the moment and the totals, never a name or its key.
              << QStringLiteral("GRANT UPDATE (data, %1) ON nozioli TO %2").arg(totalColumns(), role)
              << QStringLiteral("GRANT SELECT ON nozioli_versione TO %1").arg(role);
    }
    steps << QStringLiteral("COMMIT");
    QSqlQuery query(c.db);
    QSqlError failure;
    for (const QString &s : std::as_const(steps)) {
        if (!query.exec(s)) {
            failure = query.lastError();
            break;
        }
    }
    if (failure.isValid()) {
        QSqlQuery(c.db).exec(QStringLiteral("ROLLBACK"));
        const QString state = failure.nativeErrorCode();
        if (state == DuplicateTable)
            err = makeError(StoreError::Exists, Context::Create, a);
        else if (state == UndefinedObject)
            err = makeError(StoreError::Other, Context::Create, a,
                            q("sul server non c'è il ruolo «%1» degli alunni").arg(pupilRole));
        else if (state == InsufficientPrivilege)
            err = makeError(StoreError::AccessDenied, Context::Create, a,
                            q("l'utente non può creare tabelle in questo database"));
        else
            err = classify(failure, Context::Create, a);
        return done(false);
    }
    return done(true);
}

QStringList ServerStore::verify(const QString &address, ArchiveFacts *facts)
{
    ArchiveFacts found;
    const Address a = parseAddress(address);
    if (!a.invalid.isEmpty())
        return {makeError(StoreError::Other, Context::Check, a, a.invalid, Cause::BadAddress).message};
    Connection c;
    if (!c.open(a))
        return {whyNotConnected(Context::Check, a, c.error.text()).message};
    QSqlQuery query(c.db);
    query.exec(QStringLiteral("SET SESSION CHARACTERISTICS AS TRANSACTION READ ONLY"));
    QSqlError failure;
    QStringList problems = layoutProblems(c.db, failure, &found.version);
    if (!failure.isValid())
        storedrows::auditRows(query, dialect().date, dialect().row, found, problems, failure);
    if (failure.isValid())
        problems << classify(failure, Context::Check, a).message;
    if (facts)
        *facts = found;
    return problems;
}
