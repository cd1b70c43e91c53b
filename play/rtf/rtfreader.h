#pragma once

#include <QByteArray>
#include <QString>

class QTextDocument;

namespace rtf {

// Files larger than this are refused unread.
constexpr qint64 MaxFileSize = 8 * 1024 * 1024;

// Fills the document from RTF bytes, replacing its content. Never follows a
// link and never fails on broken input: what can be read is shown. Returns
// false, leaving the document empty, only when the data is not RTF at all.
bool readRtf(const QByteArray &data, QTextDocument &document, QString *error = nullptr);

// Reads a file and fills the document from it. Returns false, with a reason,
// when the file is missing, unreadable, too large or not RTF.
bool loadRtfFile(const QString &path, QTextDocument &document, QString *error = nullptr);

} // namespace rtf
