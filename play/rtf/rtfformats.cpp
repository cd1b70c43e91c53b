#include "play/rtf/rtfformats.h"

#include "play/rtf/rtfcodepages.h"

#include <QTextOption>

#include <algorithm>

namespace rtf::detail {

namespace {

// Qt draws a superscript or subscript at two thirds of the whole size in
// points, rounded to whole points, and refuses a size below one point: below
// 1.5 points the format could not be laid out as written. Nobody reads such
// text anyway.
constexpr qreal MinPointSize = 1.5;

} // namespace

Formats::Formats(qreal scale)
    : m_scale(scale > 0 && scale < 100 ? scale : 1.0)
{
}

qreal Formats::pixels(int twips) const
{
    return std::clamp(twips, -MaxTwips, MaxTwips) / TwipsPerPixel * m_scale;
}

QTextCharFormat Formats::charFormat(const CharState &c) const
{
    QTextCharFormat f;
    const auto font = fonts.constFind(c.font < 0 ? defaultFont : c.font);
    // Symbol fonts are read as the Unicode characters they show, which any
    // font may draw; their own glyphs are where those characters are not.
    if (font != fonts.constEnd() && !font->name.isEmpty() && font->codepage != CodepageSymbol
        && font->codepage != CodepageWingdings) {
        f.setFontFamilies(QStringList{font->name});
        f.setFontStyleHint(font->hint);
    }
    f.setFontPointSize(std::max(std::clamp(c.halfPoints, 2, 1600) / 2.0 * m_scale, MinPointSize));
    f.setFontWeight(c.bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(c.italic);
    f.setFontUnderline(c.underline);
    f.setFontStrikeOut(c.strike);
    if (c.verticalPosition > 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSuperScript);
    else if (c.verticalPosition < 0)
        f.setVerticalAlignment(QTextCharFormat::AlignSubScript);
    if (c.fore >= 0 && c.fore < colors.size() && colors.at(c.fore).isValid())
        f.setForeground(colors.at(c.fore));
    if (c.back >= 0 && c.back < colors.size() && colors.at(c.back).isValid())
        f.setBackground(colors.at(c.back));
    return f;
}

QTextBlockFormat Formats::blockFormat(const ParaState &p) const
{
    QTextBlockFormat b;
    switch (p.align) {
    case Align::Left: b.setAlignment(Qt::AlignLeft); break;
    case Align::Centre: b.setAlignment(Qt::AlignHCenter); break;
    case Align::Right: b.setAlignment(Qt::AlignRight); break;
    case Align::Justify: b.setAlignment(Qt::AlignJustify); break;
    }
    // Margins never push text out of the view: negative indents are cut at
    // the left edge, and a hanging first line no further than the margin.
    const int left = std::clamp(p.left, 0, MaxTwips);
    const int first = std::clamp(p.first, -left, MaxTwips);
    b.setLeftMargin(pixels(left));
    b.setRightMargin(pixels(std::clamp(p.right, 0, MaxTwips)));
    b.setTextIndent(pixels(first));
    b.setTopMargin(pixels(std::clamp(p.before, 0, MaxTwips)));
    b.setBottomMargin(pixels(std::clamp(p.after, 0, MaxTwips)));
    if (p.lineSpacing != 0) {
        const int amount = p.lineSpacing > 0 ? p.lineSpacing : -p.lineSpacing;
        if (p.lineMultiple)
            b.setLineHeight(std::clamp(amount * 100.0 / 240.0, 50.0, 500.0),
                            QTextBlockFormat::ProportionalHeight);
        else
            b.setLineHeight(pixels(amount), p.lineSpacing > 0 ? QTextBlockFormat::MinimumHeight
                                                              : QTextBlockFormat::FixedHeight);
    }
    // Qt measures tab stops from the start of the first line; RTF from the
    // left edge of the text area. A hanging first line has an implicit stop
    // at the paragraph's margin.
    const qreal lineStart = pixels(left + first);
    QList<QTextOption::Tab> tabs;
    std::array<qint16, MaxTabStops> sorted = p.tabs;
    std::sort(sorted.begin(), sorted.begin() + p.tabCount);
    for (int i = 0; i < p.tabCount; ++i) {
        const qreal at = pixels(sorted[i]) - lineStart;
        if (at > 0 && (tabs.isEmpty() || at > tabs.constLast().position))
            tabs.append(QTextOption::Tab(at, QTextOption::LeftTab));
    }
    if (first < 0 && (tabs.isEmpty() || tabs.constFirst().position > pixels(-first)))
        tabs.prepend(QTextOption::Tab(pixels(-first), QTextOption::LeftTab));
    if (!tabs.isEmpty())
        b.setTabPositions(tabs);
    return b;
}

} // namespace rtf::detail
