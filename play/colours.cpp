#include "play/colours.h"

#include <QApplication>
#include <QPalette>
#include <QWidget>

namespace colours {

QColor control()
{
    return QApplication::palette().color(QPalette::Active, QPalette::Button);
}

void setBackground(QWidget *widget, const QColor &colour)
{
    // Buttons (check boxes among them) fill their background from the Button
    // role; the colour goes to Window as well, so that both read the same.
    const QPalette::ColorRole role = widget->backgroundRole();
    const QPalette &current = widget->palette();
    if (widget->autoFillBackground() && current.isBrushSet(QPalette::Active, role)
        && current.color(QPalette::Active, role) == colour && current.color(QPalette::Active, QPalette::Window) == colour)
        return;
    QPalette pal = current;
    pal.setColor(QPalette::Window, colour);
    pal.setColor(role, colour);
    widget->setPalette(pal);
    widget->setAutoFillBackground(true);
}

void clearBackground(QWidget *widget)
{
    widget->setAutoFillBackground(false);
}

QColor background(const QWidget *widget)
{
    if (!widget->autoFillBackground())
        return {};
    return widget->palette().color(QPalette::Active, widget->backgroundRole());
}

void setText(QWidget *widget, const QColor &colour, const QColor &disabledColour)
{
    const QPalette::ColorRole role = widget->foregroundRole();
    const QPalette &current = widget->palette();
    const auto same = [&](QPalette::ColorGroup group, QPalette::ColorRole r, const QColor &c) {
        return current.isBrushSet(group, r) && current.color(group, r) == c;
    };
    if (same(QPalette::Active, QPalette::WindowText, colour) && same(QPalette::Inactive, QPalette::WindowText, colour)
        && same(QPalette::Active, role, colour) && same(QPalette::Inactive, role, colour)
        && (!disabledColour.isValid() || (same(QPalette::Disabled, QPalette::WindowText, disabledColour)
                                          && same(QPalette::Disabled, QPalette::Text, disabledColour)
                                          && same(QPalette::Disabled, role, disabledColour))))
        return;
    QPalette pal = current;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive}) {
        pal.setColor(group, QPalette::WindowText, colour);
        pal.setColor(group, role, colour);
    }
    if (disabledColour.isValid()) {
        // A label that takes focus draws its text through a text document,
        // which dims with the Text role.
        pal.setColor(QPalette::Disabled, QPalette::WindowText, disabledColour);
        pal.setColor(QPalette::Disabled, QPalette::Text, disabledColour);
        pal.setColor(QPalette::Disabled, role, disabledColour);
    }
    widget->setPalette(pal);
}

QColor text(const QWidget *widget)
{
    return widget->palette().color(QPalette::Active, QPalette::WindowText);
}

void setRoles(QWidget *widget, std::initializer_list<QPalette::ColorRole> roles, const QColor &colour)
{
    QPalette pal = widget->palette();
    for (const QPalette::ColorRole role : roles)
        pal.setColor(role, colour);
    widget->setPalette(pal);
}

} // namespace colours
