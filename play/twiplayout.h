#pragma once

#include "play/twips.h"

#include <QColor>
#include <QMargins>
#include <QRect>
#include <QSize>
#include <QString>

#include <functional>
#include <initializer_list>
#include <vector>

class QScreen;
class QWidget;

// Where a window keeps a control that its table builds: the address of a
// pointer of the control's own type.
class ControlTarget
{
public:
    ControlTarget() = default;
    template <typename T>
    ControlTarget(T **pointer)
        : m_keep([pointer](QWidget *control) { *pointer = qobject_cast<T *>(control); })
    {
    }

    void keep(QWidget *control) const
    {
        if (m_keep)
            m_keep(control);
    }

private:
    std::function<void(QWidget *)> m_keep;
};

// One row of a window's table of controls.
struct TwipControl
{
    enum Kind {
        Label,       // a caption, or a picture that fills it
        Command,     // a label used as a button (ClickLabel)
        Shape,       // a rectangle: its border in the text colour, filled with the background
        Button,      // a command button whose caption wraps over several lines
        TextBox,     // a one-line text box; its caption is its accessible name
    };
    enum Option { Wrap = 1, Fit = 2 };   // word wrap; shrink the font when the caption would not fit

    Kind kind;
    QString name;                        // the object name
    QString caption;
    QRect twips;                         // relative to the parent
    QColor background = {};              // invalid: none of its own
    QColor text = {};                    // invalid: the default
    Qt::Alignment alignment = Qt::AlignLeft | Qt::AlignVCenter;
    int options = 0;
    TwipFont font = {};
    ControlTarget keepIn = {};
    QString picture = {};                // a label's picture
};

// The controls of a window laid out in twips: each control's rectangle and
// font, applied again whenever the window's scale changes.
class TwipLayout
{
public:
    struct Item
    {
        QWidget *widget;
        QRect twips;                     // relative to the widget's parent
        TwipFont font = {};
        bool fitText = false;            // shrink the font when the fixed caption would not fit
    };

    Item &add(QWidget *widget, QRect twips, TwipFont font = {});
    // Builds the control of a row as a child of parent and lays it out.
    QWidget *addControl(QWidget *parent, const TwipControl &row);
    // The same for every row, in order (later rows stack above earlier ones).
    void addControls(QWidget *parent, std::initializer_list<TwipControl> rows);
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
