#pragma once

// Small helpers shared by the tests of the rich-text reader.

#include "play/rtf/rtfreader.h"

#include <QBuffer>
#include <QImage>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextTable>

#include <memory>

namespace rtftesting {

inline std::unique_ptr<QTextDocument> read(const QByteArray &rtf, const rtf::ReadOptions &options = {})
{
    auto document = std::make_unique<QTextDocument>();
    rtf::readRtf(rtf, *document, options);
    return document;
}

// The text of every block, table cells included, one block a line; line
// breaks stay U+2028 and pictures U+FFFC.
inline QString text(const QTextDocument &document)
{
    QStringList blocks;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next())
        blocks.append(b.text());
    return blocks.join(QLatin1Char('\n'));
}

// Every fragment of the document, table cells included, in order.
inline QList<QTextFragment> fragments(const QTextDocument &document)
{
    QList<QTextFragment> found;
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it)
            found.append(it.fragment());
    }
    return found;
}

// The first fragment holding `needle`.
inline QTextFragment fragment(const QTextDocument &document, const QString &needle)
{
    for (const QTextFragment &f : fragments(document)) {
        if (f.text().contains(needle))
            return f;
    }
    return {};
}

inline QTextBlock block(const QTextDocument &document, const QString &needle)
{
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        if (b.text().contains(needle))
            return b;
    }
    return {};
}

inline QList<QTextImageFormat> images(const QTextDocument &document)
{
    QList<QTextImageFormat> found;
    for (const QTextFragment &f : fragments(document)) {
        if (f.charFormat().isImageFormat())
            found.append(f.charFormat().toImageFormat());
    }
    return found;
}

// The table the first block holding `needle` is in; null when none.
inline QTextTable *tableHolding(QTextDocument &document, const QString &needle)
{
    QTextCursor cursor(&document);
    cursor.setPosition(block(document, needle).position());
    return cursor.currentTable();
}

inline QByteArray imageBytes(const QImage &image, const char *format)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

inline QByteArray png(int width, int height)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 30, 30));
    return imageBytes(image, "PNG");
}

} // namespace rtftesting
