#pragma once

#include <QColor>

class QWidget;

// The colours of the program's windows, as RGB.
namespace colours {

inline const QColor darkGrey {64, 64, 64};       // window background
inline const QColor lightBlue {192, 192, 255};
inline const QColor lightGreen {128, 255, 128};
inline const QColor lightYellow {255, 255, 128};
inline const QColor magenta {255, 0, 255};
inline const QColor red {255, 0, 0};
inline const QColor darkBlue {0, 0, 192};
inline const QColor white {255, 255, 255};
inline const QColor black {0, 0, 0};
inline const QColor green {0, 255, 0};
inline const QColor yellow {255, 255, 0};
inline const QColor lightGrey {224, 224, 224};
inline const QColor helpButton {128, 128, 255};
inline const QColor dimmedText {96, 96, 96};      // disabled captions on light backgrounds

// Paints the widget's whole background in this colour (palette role Window,
// and the widget's own background role where that differs, in every colour
// group). Does nothing when the colour is already set, so it
// can be called on every repaint of the state.
void setBackground(QWidget *widget, const QColor &colour);
// Lets the parent show through again.
void clearBackground(QWidget *widget);
// The background colour painted, or an invalid colour when the widget
// paints none of its own.
QColor background(const QWidget *widget);

// Text colour (palette roles WindowText and the widget's foreground role)
// for the enabled states. A disabled widget shows disabledColour, or the
// style's dimmed text when that is invalid. Does nothing when already set.
void setText(QWidget *widget, const QColor &colour, const QColor &disabledColour = QColor());
QColor text(const QWidget *widget);

} // namespace colours
