#include "register/archivelocation.h"

#include "settings/settings.h"
#include "store/resultsstore.h"

#include <QFileInfo>

std::optional<QString> programArchivePath(QString *error)
{
    const std::optional<Settings> settings = settings::load(error);
    if (!settings)
        return std::nullopt;
    if (!settings->server.isEmpty())
        return settings->server;
    return QFileInfo(ResultsStore::pathIn(settings->archiveFolder)).absoluteFilePath();
}
