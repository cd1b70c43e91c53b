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

} // namespace benchdata
