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

void appendCutNote(QTextDocument &document, const TwipMapping &mapping)
{
    QTextCursor cursor(&document);
    cursor.movePosition(QTextCursor::End);
    QTextBlockFormat bf;
    bf.setAlignment(Qt::AlignHCenter);
    bf.setTopMargin(mapping.pixels(240));
    QTextCharFormat cf;
    cf.setFont(mapping.font(TwipMapping::Face::Arial, 12.0, true));
    if (cursor.block().length() > 1) {
        cursor.insertBlock(bf, cf);
    } else { // the empty block where the cut fell
        cursor.setBlockFormat(bf);
        cursor.setBlockCharFormat(cf);
    }
    cursor.insertText(cutNote(), cf);
}

// Fills document through read, which reads the help document with the
// options given and tells whether it left text out.
template <typename Read>
bool fill(QTextDocument &document, const TwipMapping &mapping, Read read)
{
    // Nothing is laid out while the document is read, scaled and cut: with
    // no page size its layout waits, and a view lays out what is left once
    // the page size is back. A document in no view is measured at the width
    // of the panel's layout.
    const QSizeF page = document.pageSize();
    const qreal width = page.width() > 0 ? page.width() : mapping.pixels(12000);
    document.setPageSize(QSizeF(0, 0));
    // Nor is any of it kept for undoing.
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);

    // Text without a font of its own reads as the conventional default, Times 12 pt.
    QFont base;
    base.setFamilies(TwipMapping::families(TwipMapping::Face::TimesNewRoman));
    base.setPointSizeF(DefaultPoints);
    document.setDefaultFont(base);
    rtf::ReadOptions options;
    options.maxParagraphs = MaxParagraphs;
    options.maxFormatRuns = MaxFormatRuns;
    options.maxTableCells = MaxTableCells;
    options.maxCharacters = MaxCharacters;
    bool cut = false;
    // A file cut short before its text, or holding none, would leave a blank
    // panel that tells the pupil nothing.
    const bool shown = read(options, &cut) && !document.toPlainText().trimmed().isEmpty();
    if (shown) {
        scaleDocument(document, mapping);
        document.setDocumentMargin(mapping.pixels(120));
        if (cutToLayoutBounds(document, width, MaxLayout))
            cut = true;
        if (cut)
            appendCutNote(document, mapping);
    } else {
        showMessage(document, mapping);
    }
    document.setUndoRedoEnabled(undo);
    document.setPageSize(page);
    return shown;
}

} // namespace

QString fileName()
{
    return locations::helpDocument();
}

QRect area(const TwipMapping &mapping, const QRect &window)
{
    // 12000 twips are wider than the layout: on a screen that limits the
    // scale by its width the panel would reach past the edge, scroll bar and all.
    return mapping.rect(0, 0, 12000, 9000).intersected(window);
}

QString missingMessage()
{
    return QStringLiteral("Non trovo il documento di aiuto «aiuto.rtf» nella cartella del programma, "
                          "oppure non si può leggere.");
}

QString cutNote()
{
    return QStringLiteral("Il documento di aiuto è troppo lungo: ne è mostrata solo la prima parte.");
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
    return fill(document, mapping, [&](const rtf::ReadOptions &options, bool *cut) {
        return rtf::loadRtfFile(path, document, options, nullptr, cut);
    });
}

bool loadData(QTextDocument &document, const QByteArray &data, const TwipMapping &mapping)
{
    return fill(document, mapping, [&](const rtf::ReadOptions &options, bool *cut) {
        return rtf::readRtf(data, document, options, nullptr, cut);
    });
}

} // namespace helppanel
