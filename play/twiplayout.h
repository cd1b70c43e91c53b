#pragma once

#include "play/twips.h"

#include <QMargins>
#include <QRect>
#include <QSize>

#include <vector>

class QScreen;
class QWidget;

// The controls of a window laid out in twips: each control's rectangle and
// font, applied again whenever the window's scale changes.
class TwipLayout
{
public:
    struct Item
    {
        QWidget *widget;
        QRect twips;                 // relative to the widget's parent
        TwipMapping::Face face = TwipMapping::Face::MsSansSerif;
        double points = 8.25;
        bool bold = false;
        bool fitText = false;        // shrink the font when the fixed caption would not fit
    };

    Item &add(QWidget *widget, QRect twips);
    // Places every control and sets its font for the mapping.
    void apply(const TwipMapping &mapping) const;

private:
    std::vector<Item> m_items;
};

// Room kept for a window's frame (title bar and borders) when the window is
// fitted to the screen's available area.
inline constexpr QMargins WindowFrameAllowance {8, 40, 8, 8};

// The scale of a window whose client area is clientTwips: the scale of the
// main window on this screen, reduced where needed so that the whole window,
// frame included, fits into the screen's available area.
TwipMapping windowMapping(const QScreen *screen, QSize clientTwips);
