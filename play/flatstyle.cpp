#include "play/flatstyle.h"

#include <QApplication>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOption>

namespace {

// A one-pixel edge a little darker than the fill, so that a flat button still
// shows where it ends; a pressed button is a little darker all over.
void fillFlat(QPainter *painter, const QRect &rect, const QColor &fill, bool pressed)
{
    const QColor face = pressed ? fill.darker(115) : fill;
    painter->save();
    painter->setPen(fill.darker(160));
    painter->setBrush(face);
    painter->drawRect(rect.adjusted(0, 0, -1, -1));
    painter->restore();
}

} // namespace

FlatStyle::FlatStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

void FlatStyle::drawPrimitive(PrimitiveElement element, const QStyleOption *option, QPainter *painter,
                              const QWidget *widget) const
{
    switch (element) {
    case PE_PanelButtonCommand:
        fillFlat(painter, option->rect, option->palette.color(QPalette::Button),
                 option->state & (State_Sunken | State_On));
        return;
    case PE_FrameGroupBox:
        return;     // the group box's own background is its panel
    default:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

void FlatStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex *option, QPainter *painter,
                                   const QWidget *widget) const
{
    if (control != CC_ComboBox) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    const auto *combo = qstyleoption_cast<const QStyleOptionComboBox *>(option);
    if (!combo) {
        QProxyStyle::drawComplexControl(control, option, painter, widget);
        return;
    }
    fillFlat(painter, combo->rect, combo->palette.color(QPalette::Button), false);
    if (combo->subControls & SC_ComboBoxArrow) {
        // A plain triangle in the text colour.
        const QRectF box = subControlRect(CC_ComboBox, combo, SC_ComboBoxArrow, widget);
        const qreal half = qMin(box.width(), box.height()) / 4;
        const QPointF c = box.center();
        const QPointF points[] = {{c.x() - half, c.y() - half / 2}, {c.x() + half, c.y() - half / 2},
                                  {c.x(), c.y() + half / 2}};
        painter->save();
        painter->setRenderHint(QPainter::Antialiasing);
        painter->setPen(Qt::NoPen);
        painter->setBrush(combo->palette.color(QPalette::ButtonText));
        painter->drawPolygon(points, 3);
        painter->restore();
    }
    if (combo->state & State_HasFocus) {
        QStyleOptionFocusRect focus;
        focus.QStyleOption::operator=(*combo);
        focus.rect = subControlRect(CC_ComboBox, combo, SC_ComboBoxEditField, widget);
        focus.backgroundColor = combo->palette.color(QPalette::Button);
        proxy()->drawPrimitive(PE_FrameFocusRect, &focus, painter, widget);
    }
}

int FlatStyle::styleHint(StyleHint hint, const QStyleOption *option, const QWidget *widget,
                         QStyleHintReturn *returnData) const
{
    // A plain list below the drop-down, as many rows as maxVisibleItems says,
    // instead of a menu over the whole height of the screen.
    if (hint == SH_ComboBox_Popup)
        return 0;
    return QProxyStyle::styleHint(hint, option, widget, returnData);
}

void installProgramStyle()
{
    QApplication::setStyle(new FlatStyle);
}
