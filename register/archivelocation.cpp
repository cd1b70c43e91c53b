#include "register/archivelocation.h"

#include "settings/settings.h"
#include "store/resultsstore.h"

#include <QDir>

std::optional<QString> programArchivePath(QString *error)
{
    const std::optional<Settings> settings = settings::load(error);
    if (!settings)
        return std::nullopt;
    const QDir folder = settings->archiveFolder.isEmpty() ? QDir::current() : QDir(settings->archiveFolder);
    return folder.absoluteFilePath(ResultsStore::defaultFileName());
}
