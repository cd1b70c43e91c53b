#include "register/archivelocation.h"

#include "store/resultsstore.h"

#include <QDir>

QString programArchivePath()
{
    return QDir::current().absoluteFilePath(ResultsStore::defaultFileName());
}
