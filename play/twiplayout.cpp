#include "play/twiplayout.h"

#include "play/fnozioli.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

#include <algorithm>

TwipLayout::Item &TwipLayout::add(QWidget *widget, QRect twips)
{
    m_items.push_back(Item{widget, twips});
    return m_items.back();
}

void TwipLayout::apply(const TwipMapping &mapping) const
{
    for (const Item &item : m_items) {
        item.widget->setGeometry(mapping.rect(item.twips));
        QFont font = mapping.font(item.face, item.points, item.bold);
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
    const double mainScale = TwipMapping::fitting(screen->size(), FNozioli::LayoutTwips).scale();
    const QSize room = screen->availableGeometry().size().shrunkBy(WindowFrameAllowance);
    const double fitScale = TwipMapping::fitting(room, clientTwips).scale();
    return TwipMapping(std::min(mainScale, fitScale));
}
