#include "play/answermark.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOptionButton>

#include <algorithm>

QString answerDescription(AnswerMark mark)
{
    switch (mark) {
    case AnswerMark::Right: return QStringLiteral("giusto");
    case AnswerMark::Wrong: return QStringLiteral("sbagliato");
    case AnswerMark::None: break;
    }
    return {};
}

void showAnswerMark(QWidget *widget, AnswerMark &held, AnswerMark mark)
{
    if (mark == held)
        return;
    held = mark;
    widget->setAccessibleDescription(answerDescription(mark));
    widget->update();
}

int answerMarkSide(const QFontMetrics &metrics)
{
    return std::max(6, metrics.ascent() * 3 / 4);
}

void drawAnswerMark(QPainter &painter, const QRectF &box, AnswerMark mark, const QColor &colour)
{
    if (mark == AnswerMark::None || box.isEmpty())
        return;
    const qreal side = std::min(box.width(), box.height());
    const QRectF sq(box.center().x() - side / 2, box.center().y() - side / 2, side, side);
    QPainterPath path;
    if (mark == AnswerMark::Right) {
        path.moveTo(sq.left() + side * 0.08, sq.top() + side * 0.55);
        path.lineTo(sq.left() + side * 0.38, sq.top() + side * 0.85);
        path.lineTo(sq.left() + side * 0.92, sq.top() + side * 0.15);
    } else {
        const qreal in = side * 0.15;
        path.moveTo(sq.topLeft() + QPointF(in, in));
        path.lineTo(sq.bottomRight() - QPointF(in, in));
        path.moveTo(sq.topRight() + QPointF(-in, in));
        path.lineTo(sq.bottomLeft() + QPointF(in, -in));
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(colour, std::max<qreal>(1.5, side / 6.0), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPath(path);
    painter.restore();
}

void AnswerCheckBox::paintEvent(QPaintEvent *event)
{
    QCheckBox::paintEvent(event);
    if (m_mark == AnswerMark::None)
        return;
    QStyleOptionButton option;
    initStyleOption(&option);
    const QRect textRect = style()->subElementRect(QStyle::SE_CheckBoxContents, &option, this);
    const int textWidth = fontMetrics().horizontalAdvance(text());
    const int side = answerMarkSide(fontMetrics());
    const int x = textRect.left() + textWidth + side / 2;
    if (x + side > width())
        return;
    QPainter painter(this);
    drawAnswerMark(painter, QRectF(x, height() / 2.0 - side / 2.0, side, side), m_mark, Qt::black);
}
