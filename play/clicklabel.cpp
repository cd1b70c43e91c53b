#include "play/clicklabel.h"

#include "play/colours.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace {

// Assistive technologies see a ClickLabel as a push button that can be pressed.
class ClickLabelAccessible : public QAccessibleWidget
{
public:
    explicit ClickLabelAccessible(ClickLabel *label)
        : QAccessibleWidget(label, QAccessible::Button)
    {
        addControllingSignal(QStringLiteral("activated()"));
    }

    QString text(QAccessible::Text t) const override
    {
        const auto *label = static_cast<const ClickLabel *>(widget());
        if (t == QAccessible::Name) {
            const QString name = label->accessibleName();
            return name.isEmpty() ? label->text() : name;
        }
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        return widget()->isEnabled() ? QStringList{pressAction()} : QStringList{};
    }

    void doAction(const QString &action) override
    {
        auto *label = static_cast<ClickLabel *>(widget());
        if (action == pressAction() && label->isEnabled() && label->isVisible())
            emit label->activated();
    }
};

QAccessibleInterface *clickLabelFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("ClickLabel") && object && object->isWidgetType())
        return new ClickLabelAccessible(static_cast<ClickLabel *>(object));
    return nullptr;
}

} // namespace

ClickLabel::ClickLabel(QWidget *parent)
    : QLabel(parent)
{
    init();
}

ClickLabel::ClickLabel(const QString &caption, QWidget *parent)
    : QLabel(parent)
{
    init();
    setCaption(caption);
}

void ClickLabel::init()
{
    static const bool factoryInstalled = [] {
        QAccessible::installFactory(clickLabelFactory);
        return true;
    }();
    Q_UNUSED(factoryInstalled);
    setFocusPolicy(Qt::StrongFocus);
    setMouseTracking(true);
    setTextFormat(Qt::PlainText);
}

void ClickLabel::setCaption(const QString &caption)
{
    if (caption == text() && caption == accessibleName())
        return;
    setText(caption);
    setAccessibleName(caption);
}

void ClickLabel::setMarkRoom(bool room)
{
    if (room == m_markRoom)
        return;
    m_markRoom = room;
    updateMargins();
}

int ClickLabel::markExtent() const
{
    const int side = answerMarkSide(fontMetrics());
    return side + std::max(2, side / 3);
}

void ClickLabel::updateMargins()
{
    if (!m_markRoom) {
        setContentsMargins(0, 0, 0, 0);
        return;
    }
    const int room = markExtent();
    const int pad = std::max(2, room / 5);
    if (alignment() & Qt::AlignHCenter)
        setContentsMargins(room, 0, room, 0);
    else
        setContentsMargins(pad, 0, room, 0);
}

void ClickLabel::changeEvent(QEvent *event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        updateMargins();
}

void ClickLabel::focusInEvent(QFocusEvent *event)
{
    // A click gives the focus too, but only keyboard users need to see it.
    m_focusFromMouse = event->reason() == Qt::MouseFocusReason;
    QLabel::focusInEvent(event);
}

void ClickLabel::mousePressEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton) {
        m_pressed = true;
        event->accept();
        return;
    }
    QLabel::mousePressEvent(event);
}

void ClickLabel::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_pressed) {
        m_pressed = false;
        event->accept();
        if (rect().contains(event->position().toPoint()))
            emit activated();
        return;
    }
    QLabel::mouseReleaseEvent(event);
}

void ClickLabel::mouseMoveEvent(QMouseEvent *event)
{
    // Accepted, so that the move does not also reach the parent as a move
    // over its background.
    event->accept();
    emit hovered();
}

void ClickLabel::enterEvent(QEnterEvent *event)
{
    QLabel::enterEvent(event);
    emit hovered();
}

void ClickLabel::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Space:
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if ((event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier)) != Qt::NoModifier)
            break;
        event->accept();
        if (!event->isAutoRepeat())
            emit activated();
        return;
    default:
        break;
    }
    QLabel::keyPressEvent(event);
}

void ClickLabel::paintEvent(QPaintEvent *event)
{
    QLabel::paintEvent(event);
    const bool showFocus = hasFocus() && !m_focusFromMouse;
    if (m_mark == AnswerMark::None && !showFocus)
        return;

    QPainter painter(this);
    if (m_mark != AnswerMark::None) {
        const int room = markExtent();
        const int side = room - std::max(2, room / 4);
        const QRect area = contentsRect();
        const QRectF box(width() - room + (room - side) / 2.0, area.center().y() - side / 2.0 + 0.5, side, side);
        drawAnswerMark(painter, box, m_mark, palette().color(QPalette::WindowText));
    }
    if (showFocus) {
        // Two contrasting frames, visible on any background.
        const int w = std::max(1, fontMetrics().height() / 10);
        QRect r = rect().adjusted(w / 2, w / 2, -(w + 1) / 2, -(w + 1) / 2);
        painter.setPen(QPen(Qt::black, w));
        painter.drawRect(r);
        r.adjust(w, w, -w, -w);
        QPen dashed(Qt::white, w, Qt::DashLine);
        painter.setPen(dashed);
        painter.drawRect(r);
    }
}

CommandHighlight::CommandHighlight(QWidget *window)
    : QObject(window)
    , m_window(window)
{
    window->setMouseTracking(true);
    window->installEventFilter(this);
}

void CommandHighlight::add(ClickLabel *command, const QColor &resting)
{
    m_commands.emplace_back(command, resting);
    connect(command, &ClickLabel::hovered, this, [command] { colours::setText(command, colours::red); });
}

bool CommandHighlight::eventFilter(QObject *watched, QEvent *event)
{
    // Moves over controls that do not track the pointer reach the window too;
    // only the bare background counts.
    if (watched == m_window && event->type() == QEvent::MouseMove
        && !m_window->childAt(static_cast<QMouseEvent *>(event)->position().toPoint())) {
        for (const auto &[command, resting] : m_commands)
            colours::setText(command, resting);
    }
    return QObject::eventFilter(watched, event);
}
