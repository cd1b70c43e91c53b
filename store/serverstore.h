#pragma once

#include "store/resultsstore.h"
#include "store/storedrows.h"

#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

// The results archive on a PostgreSQL server, reached through Qt's PostgreSQL
// driver: the table "nozioli" with the same fields, the folded names under a
// unique index "nome", the order of insertion kept by an identity column "riga"
// and the layout's version in the table "nozioli_versione". ResultsStore hands
// its operations here when its location is a server address; the effect of
// each operation, the name matching and the messages' form are those of the
// archive file.
//
// Every operation runs in one statement (a transaction of its own), so that an
// archiving from any number of PCs at once is never lost nor doubled. A
// connection found broken during an operation is opened again once and the
// operation tried again; a failure drops the connection, so that the next
// operation starts afresh.
class ServerStore
{
public:
    // A PostgreSQL connection URI: "postgresql://…" or "postgres://…".
    static bool isAddress(const QString &location);

    explicit ServerStore(const QString &address);
    ~ServerStore();
    ServerStore(const ServerStore &) = delete;
    ServerStore &operator=(const ServerStore &) = delete;

    // Connects and checks the layout. readOnly: every transaction of the
    // connection is read-only, and write() fails with ReadOnly.
    bool open(bool readOnly, StoreError &err);
    void close();
    bool isOpen() const;
    // The server and database of an address, for messages; never a password.
    static QString label(const QString &address);

    // Runs one read-only statement, handing each row to onRow until it returns false.
    using OnRow = std::function<bool(const QSqlQuery &)>;
    bool read(const QString &sql, const QVariantList &binds, StoreError &err, const OnRow &onRow);
    // The server's SQL for the store's operations.
    static const storedrows::Dialect &dialect();
    bool write(const QString &name, const ArchiveTotals &totals, const QDateTime &moment, bool onlyIfNewer,
               StoreError &err);
    void setBusyTimeout(int ms);
    // A digest of every row, which changes whenever a row is added or changed.
    std::optional<QByteArray> stamp(StoreError &err);

    // Creates the layout in the database, owned by the connecting role; when
    // pupilRole is given, that role may read, add and update rows and nothing else.
    static bool create(const QString &address, const QString &pupilRole, StoreError *error);
    // Checks the layout and the rows without changing anything.
    static QStringList verify(const QString &address, ArchiveFacts *facts);

private:
    struct Private;
    std::unique_ptr<Private> d;
};
