#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <QStringList>

struct TwipFont;

// Maps a window layout given in twips (1/1440 inch) to pixels. At scale 1,
// 15 twips make one pixel (96 dots per inch); a window that fills a larger
// screen scales the whole layout, fonts included, by one uniform factor.
class TwipMapping
{
public:
    static constexpr int TwipsPerPixel = 15;

    // The faces the layouts were designed with, each mapped to a metric
    // compatible or close face that is normally installed.
    enum class Face { TimesNewRoman, Arial, MsSansSerif };

    explicit TwipMapping(double scale = 1.0);

    // The largest scale at which a layout of layoutTwips fits into area
    // (in pixels), anchored at the top left corner.
    static TwipMapping fitting(QSize area, QSize layoutTwips);

    double scale() const { return m_scale; }

    // A length or a coordinate in twips, in pixels.
    int pixels(int twips) const;
    // A rectangle in twips, in pixels. Edges are rounded one by one, so
    // controls that touch in twips touch on screen too.
    QRect rect(int left, int top, int width, int height) const;
    QRect rect(const QRect &twips) const { return rect(twips.x(), twips.y(), twips.width(), twips.height()); }
    // The size of the whole layout in pixels.
    QSize size(QSize layoutTwips) const;

    // Pixel size of a font given in points: points at 96 dots per inch,
    // times the scale. Pixel sizes keep the layout independent of the
    // display's own resolution.
    int fontPixelSize(double points) const;
    QFont font(Face face, double points, bool bold = false) const;
    QFont font(const TwipFont &font) const;

    static QStringList families(Face face);

    // The largest pixel size, at most the font's own, at which text fits
    // into box when drawn with flags (Qt::TextWordWrap and alignment).
    static int fittingPixelSize(const QFont &font, const QString &text, QSize box, int flags);

    friend bool operator==(const TwipMapping &, const TwipMapping &) = default;

private:
    double m_scale;
};

// A font of a layout: the face it was designed with, its size in points and
// its weight.
struct TwipFont
{
    TwipMapping::Face face = TwipMapping::Face::MsSansSerif;
    double points = 8.25;
    bool bold = false;
};

// A rectangle in twips, as the layouts list them: left, top, width, height.
constexpr QRect tw(int left, int top, int width, int height)
{
    return QRect(left, top, width, height);
}

// The area the main window's controls are laid out in, in twips. The other
// windows take their scale from the main window's.
inline constexpr QSize MainLayoutTwips {11835, 9045};
