#include "settings/locations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace locations {

QString dataFolder()
{
    return QDir::cleanPath(QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral(NOZIOLI_DATA_FROM_BIN)));
}

QString helpDocument()
{
    const QString name = QStringLiteral("aiuto.rtf");
    if (QFileInfo::exists(name))
        return name;
    const QString installed = QDir(dataFolder()).filePath(name);
    return QFileInfo::exists(installed) ? installed : name;
}

} // namespace locations
