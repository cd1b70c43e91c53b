#include "play/twiplayout.h"

#include "play/clicklabel.h"
#include "play/colours.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QStyleOptionButton>
#include <QStylePainter>

#include <algorithm>

namespace {

// A command button whose caption wraps over several lines, as long
// captions of these windows do.
class WrapButton : public QPushButton
{
public:
    using QPushButton::QPushButton;

protected:
    void paintEvent(QPaintEvent *) override
    {
        QStylePainter painter(this);
        QStyleOptionButton option;
        initStyleOption(&option);
        const QString caption = option.text;
        option.text.clear();
        painter.drawControl(QStyle::CE_PushButton, option);
        QRect room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
        if (isDown())
            room.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                           style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
        painter.drawItemText(room, int(Qt::AlignCenter | Qt::TextWordWrap), palette(), isEnabled(), caption,
                             QPalette::ButtonText);
    }
};

QWidget *makeLabel(QLabel *label, const TwipControl &row)
{
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(row.alignment);
    label->setWordWrap(row.options & TwipControl::Wrap);
    if (!row.picture.isEmpty()) {
        label->setScaledContents(true);
        label->setPixmap(QPixmap(row.picture));
    }
    if (row.background.isValid())
        colours::setBackground(label, row.background);
    if (row.text.isValid())
        colours::setText(label, row.text);
    return label;
}

QWidget *makeShape(QWidget *parent, const TwipControl &row)
{
    auto *shape = new QFrame(parent);
    shape->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (row.text.isValid()) {
        // A plain frame is drawn in the text colour.
        shape->setFrameStyle(QFrame::Box | QFrame::Plain);
        colours::setText(shape, row.text);
    }
    if (row.background.isValid())
        colours::setBackground(shape, row.background);
    return shape;
}

// Buttons and text boxes paint their faces from roles of their own.
QWidget *makeButton(QWidget *parent, const TwipControl &row)
{
    auto *button = new WrapButton(row.caption, parent);
    if (row.background.isValid())
        colours::setRoles(button, {QPalette::Button, QPalette::Window}, row.background);
    if (row.text.isValid())
        colours::setRoles(button, {QPalette::ButtonText}, row.text);
    return button;
}

QWidget *makeTextBox(QWidget *parent, const TwipControl &row)
{
    auto *edit = new QLineEdit(parent);
    edit->setAccessibleName(row.caption);
    if (row.background.isValid())
        colours::setRoles(edit, {QPalette::Base}, row.background);
    if (row.text.isValid())
        colours::setRoles(edit, {QPalette::Text}, row.text);
    return edit;
}

} // namespace

TwipLayout::Item &TwipLayout::add(QWidget *widget, QRect twips, TwipFont font)
{
    m_items.push_back(Item{widget, twips, font});
    return m_items.back();
}

QWidget *TwipLayout::addControl(QWidget *parent, const TwipControl &row)
{
    QWidget *control = nullptr;
    switch (row.kind) {
    case TwipControl::Label:
        control = makeLabel(new QLabel(row.caption, parent), row);
        break;
    case TwipControl::Command:
        control = makeLabel(new ClickLabel(row.caption, parent), row);
        break;
    case TwipControl::Shape:
        control = makeShape(parent, row);
        break;
    case TwipControl::Button:
        control = makeButton(parent, row);
        break;
    case TwipControl::TextBox:
        control = makeTextBox(parent, row);
        break;
    }
    control->setObjectName(row.name);
    add(control, row.twips, row.font).fitText = row.options & TwipControl::Fit;
    row.keepIn.keep(control);
    return control;
}

void TwipLayout::addControls(QWidget *parent, std::initializer_list<TwipControl> rows)
{
    for (const TwipControl &row : rows)
        addControl(parent, row);
}

void TwipLayout::apply(const TwipMapping &mapping) const
{
    for (const Item &item : m_items) {
        item.widget->setGeometry(mapping.rect(item.twips));
        QFont font = mapping.font(item.font);
        if (item.fitText) {
            if (auto *label = qobject_cast<QLabel *>(item.widget)) {
                const int flags = int(label->alignment()) | (label->wordWrap() ? int(Qt::TextWordWrap) : 0);
                const QSize room = label->contentsRect().size();
                font.setPixelSize(TwipMapping::fittingPixelSize(font, label->text(), room, flags));
            } else if (auto *button = qobject_cast<QAbstractButton *>(item.widget)) {
                // Room inside the button's bevel.
                const int inset = std::max(3, mapping.pixels(90));
                const QSize room = button->size().shrunkBy(QMargins(inset, inset, inset, inset));
                font.setPixelSize(TwipMapping::fittingPixelSize(font, button->text(), room,
                                                                int(Qt::AlignCenter | Qt::TextWordWrap)));
            }
        }
        item.widget->setFont(font);
    }
}

TwipMapping windowMapping(const QScreen *screen, QSize clientTwips)
{
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (!screen)
        return TwipMapping();
    const double mainScale = TwipMapping::fitting(screen->size(), MainLayoutTwips).scale();
    const QSize room = screen->availableGeometry().size().shrunkBy(WindowFrameAllowance);
    const double fitScale = TwipMapping::fitting(room, clientTwips).scale();
    return TwipMapping(std::min(mainScale, fitScale));
}
