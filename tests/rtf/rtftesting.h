#pragma once

// Small helpers shared by the tests of the rich-text reader.

#include "play/rtf/rtfreader.h"

#include <QBuffer>
#include <QImage>
#include <QStringList>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>

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

// The first fragment holding `needle`.
inline QTextFragment fragment(const QTextDocument &document, const QString &needle)
{
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            if (it.fragment().text().contains(needle))
                return it.fragment();
        }
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
    for (QTextBlock b = document.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (format.isImageFormat())
                found.append(format.toImageFormat());
        }
    }
    return found;
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
