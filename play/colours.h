#pragma once

#include <QColor>
#include <QPalette>

#include <initializer_list>

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
inline const QColor purple {192, 0, 192};
inline const QColor paleYellow {255, 255, 192};
inline const QColor paleGreen {240, 255, 192};
inline const QColor mintGreen {192, 255, 192};
inline const QColor seaGreen {170, 224, 192};
inline const QColor lightOrange {255, 224, 192};
inline const QColor mapGold {214, 190, 140};      // the outlines of the map picture
inline const QColor nightBlue {0, 0, 64};
inline const QColor navy {0, 0, 128};
inline const QColor olive {128, 128, 0};
inline const QColor oliveYellow {192, 192, 0};
inline const QColor pink {255, 192, 255};
inline const QColor silver {192, 192, 192};
inline const QColor grey {128, 128, 128};

// The platform's standard colour of controls.
QColor control();

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

// Sets these palette roles to colour in every colour group, for widgets that
// paint themselves from other roles than a label's (buttons, lists, text boxes).
void setRoles(QWidget *widget, std::initializer_list<QPalette::ColorRole> roles, const QColor &colour);

} // namespace colours
