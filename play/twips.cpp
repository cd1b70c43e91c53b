#include "play/twips.h"

#include <QFontMetrics>
#include <QtMath>

#include <algorithm>

TwipMapping::TwipMapping(double scale)
    : m_scale(scale > 0.0 ? scale : 1.0)
{
}

TwipMapping TwipMapping::fitting(QSize area, QSize layoutTwips)
{
    if (area.isEmpty() || layoutTwips.isEmpty())
        return TwipMapping(1.0);
    const double sx = area.width() * double(TwipsPerPixel) / layoutTwips.width();
    const double sy = area.height() * double(TwipsPerPixel) / layoutTwips.height();
    return TwipMapping(std::min(sx, sy));
}

int TwipMapping::pixels(int twips) const
{
    return qRound(twips * m_scale / TwipsPerPixel);
}

QRect TwipMapping::rect(int left, int top, int width, int height) const
{
    const int x0 = pixels(left);
    const int y0 = pixels(top);
    return QRect(x0, y0, pixels(left + width) - x0, pixels(top + height) - y0);
}

QSize TwipMapping::size(QSize layoutTwips) const
{
    return QSize(pixels(layoutTwips.width()), pixels(layoutTwips.height()));
}

int TwipMapping::fontPixelSize(double points) const
{
    return std::max(1, qRound(points * 96.0 / 72.0 * m_scale));
}

QStringList TwipMapping::families(Face face)
{
    switch (face) {
    case Face::TimesNewRoman:
        return {QStringLiteral("Times New Roman"), QStringLiteral("Liberation Serif"),
                QStringLiteral("DejaVu Serif"), QStringLiteral("serif")};
    case Face::Arial:
        return {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")};
    case Face::MsSansSerif:
        // Not installed outside Windows; Liberation Sans has close widths.
        return {QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"),
                QStringLiteral("DejaVu Sans"), QStringLiteral("sans-serif")};
    }
    return {};
}

QFont TwipMapping::font(Face face, double points, bool bold) const
{
    QFont f;
    f.setFamilies(families(face));
    f.setPixelSize(fontPixelSize(points));
    f.setBold(bold);
    return f;
}

QFont TwipMapping::font(const TwipFont &font) const
{
    return this->font(font.face, font.points, font.bold);
}

int TwipMapping::fittingPixelSize(const QFont &font, const QString &text, QSize box, int flags)
{
    QFont f = font;
    int px = font.pixelSize() > 0 ? font.pixelSize() : QFontMetrics(font).height();
    for (; px > 6; --px) {
        f.setPixelSize(px);
        const QRect needed = QFontMetrics(f).boundingRect(QRect(QPoint(0, 0), box), flags, text);
        if (needed.width() <= box.width() && needed.height() <= box.height())
            break;
    }
    return px;
}
