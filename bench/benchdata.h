#pragma once

#include <QString>

// The archives the benchmark runs on: names made up from the row number, so
// that every process of a run can tell the name of any row.
namespace benchdata {

// Surname and first name of row i (0-based); the stored name is "surname first".
QString surname(int row);
QString firstName(int row);
QString name(int row);

// Creates an archive at path (ResultsStore::create) holding rows names, added
// in one transaction with the store's layout. False, with a message, on failure.
bool makeArchive(const QString &path, int rows, QString *error);

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
