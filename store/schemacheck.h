#pragma once

#include <QSqlError>
#include <QStringList>

#include <optional>

class QSqlDatabase;

// The schema of the results archive: the statements that make it, and the
// check of a file's schema against them, which reads the schema as data and
// runs nothing stored in the file.
namespace schemacheck {

// The table "nozioli" and its unique index "nome", as ResultsStore::create() makes them.
extern const char *const statements[2];

// What the file holds, against the schema the program creates.
struct Layout
{
    bool failed = false;            // the file could not be read as a database
    QSqlError error;
    int version = 0;                // PRAGMA user_version
    bool rowsReadable = false;      // the table and all its fields are there, none computed
    QStringList problems;           // in Italian, each naming what is wrong
};

// Names everything that is not exactly what create() makes: other tables,
// views, triggers, indexes, columns, constraints, clauses; an index that is
// not the program's; a version the program does not know.
Layout inspect(QSqlDatabase &db);

// The schema's change counter, which any change of the schema by any program moves on.
std::optional<int> changeCounter(QSqlDatabase &db, QSqlError &error);

} // namespace schemacheck
