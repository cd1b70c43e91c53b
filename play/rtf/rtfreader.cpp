#include "rtfreader.h"

#include <QFile>
#include <QTextDocument>

namespace rtf {

bool readRtf(const QByteArray &data, QTextDocument &document, QString *error)
{
    document.clear();
    if (!data.startsWith("{\\rtf")) {
        if (error)
            *error = QStringLiteral("not RTF");
        return false;
    }
    document.setPlainText(QString::fromLatin1(data));
    return true;
}

bool loadRtfFile(const QString &path, QTextDocument &document, QString *error)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = f.errorString();
        document.clear();
        return false;
    }
    if (f.size() > MaxFileSize) {
        if (error)
            *error = QStringLiteral("too large");
        document.clear();
        return false;
    }
    return readRtf(f.readAll(), document, error);
}

} // namespace rtf
