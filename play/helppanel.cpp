#include "play/helppanel.h"

#include "play/rtf/rtfreader.h"
#include "play/twips.h"
#include "settings/locations.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <utility>
#include <vector>

namespace helppanel {

namespace {

constexpr double DefaultPoints = 12.0;

void showMessage(QTextDocument &document, const TwipMapping &mapping)
{
    document.clear();
    document.setDefaultFont(mapping.font(TwipMapping::Face::Arial, 14.0, true));
    QTextCursor cursor(&document);
    QTextBlockFormat bf;
    bf.setAlignment(Qt::AlignHCenter);
    bf.setTopMargin(mapping.pixels(1440));
    cursor.setBlockFormat(bf);
    cursor.insertText(missingMessage());
}

} // namespace

QString fileName()
{
    return locations::helpDocument();
}

QString missingMessage()
{
    return QStringLiteral("Non trovo il documento di aiuto «aiuto.rtf» nella cartella del programma, "
                          "oppure non si può leggere.");
}

void scaleDocument(QTextDocument &document, const TwipMapping &mapping)
{
    const double s = mapping.scale();
    QFont base = document.defaultFont();
    base.setPixelSize(mapping.fontPixelSize(base.pointSizeF() > 0 ? base.pointSizeF() : DefaultPoints));
    document.setDefaultFont(base);

    std::vector<std::pair<int, QTextBlockFormat>> blocks;
    std::vector<std::pair<std::pair<int, int>, QTextCharFormat>> fragments;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat bf = block.blockFormat();
        bf.setLeftMargin(bf.leftMargin() * s);
        bf.setRightMargin(bf.rightMargin() * s);
        bf.setTopMargin(bf.topMargin() * s);
        bf.setBottomMargin(bf.bottomMargin() * s);
        bf.setTextIndent(bf.textIndent() * s);
        blocks.emplace_back(block.position(), bf);
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            QTextCharFormat cf = fragment.charFormat();
            if (!cf.hasProperty(QTextFormat::FontPointSize))
                continue;
            const double points = cf.doubleProperty(QTextFormat::FontPointSize);
            cf.clearProperty(QTextFormat::FontPointSize);
            cf.setProperty(QTextFormat::FontPixelSize, mapping.fontPixelSize(points > 0 ? points : DefaultPoints));
            fragments.push_back({{fragment.position(), fragment.length()}, cf});
        }
    }

    // Applied after the walk: formats are replaced whole, positions do not move.
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    for (const auto &[position, format] : blocks) {
        cursor.setPosition(position);
        cursor.setBlockFormat(format);
    }
    for (const auto &[range, format] : fragments) {
        cursor.setPosition(range.first);
        cursor.setPosition(range.first + range.second, QTextCursor::KeepAnchor);
        cursor.setCharFormat(format);
    }
    cursor.endEditBlock();
}

bool load(QTextDocument &document, const QString &path, const TwipMapping &mapping)
{
    // Text without a font of its own reads as the conventional default, Times 12 pt.
    QFont base;
    base.setFamilies(TwipMapping::families(TwipMapping::Face::TimesNewRoman));
    base.setPointSizeF(DefaultPoints);
    document.setDefaultFont(base);
    QString error;
    // A file cut short before its text, or holding none, would leave a blank
    // panel that tells the pupil nothing.
    if (!rtf::loadRtfFile(path, document, &error) || document.toPlainText().trimmed().isEmpty()) {
        showMessage(document, mapping);
        return false;
    }
    scaleDocument(document, mapping);
    document.setDocumentMargin(mapping.pixels(120));
    return true;
}

} // namespace helppanel
