#pragma once

#include <QString>

// The archives on a PostgreSQL server the benchmark runs on. Apart from
// benchdata so that only the programs that reach the server link libpq.
namespace benchdata {

// The name of row i (0-based) of an archive on a server: lower-case ASCII,
// so that it is its own folded key.
QString serverName(int row);

// Creates the database `database` on the PostgreSQL server of uri (whose user
// may create databases), the archive in it (ResultsStore::create) and rows
// names, added by one INSERT … SELECT on the server. Puts the URI of the new
// database in *databaseUri. False, with a message, on failure.
bool makeServerArchive(const QString &uri, const QString &database, int rows, QString *databaseUri,
                       QString *error);

} // namespace benchdata
