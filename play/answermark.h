#pragma once

#include <QCheckBox>

class QFontMetrics;
class QPainter;
class QRectF;

// Marks that tell a right or a wrong answer by shape as well as by colour.
enum class AnswerMark { None, Right, Wrong };

// What an answered control says in its accessible description: "giusto",
// "sbagliato", or nothing while it is unanswered.
QString answerDescription(AnswerMark mark);

// Gives widget the mark held in held: stores it, describes it to assistive
// technologies and repaints. Does nothing when the mark is already shown.
void showAnswerMark(QWidget *widget, AnswerMark &held, AnswerMark mark);

// The side of a mark drawn beside text in this font.
int answerMarkSide(const QFontMetrics &metrics);

// Draws a tick (Right) or a cross (Wrong) centred in box, in colour.
void drawAnswerMark(QPainter &painter, const QRectF &box, AnswerMark mark, const QColor &colour);

// A check box that also shows the verdict on its answer as a mark, drawn
// after its caption.
class AnswerCheckBox : public QCheckBox
{
public:
    using QCheckBox::QCheckBox;

    void setMark(AnswerMark mark) { showAnswerMark(this, m_mark, mark); }
    AnswerMark mark() const { return m_mark; }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    AnswerMark m_mark = AnswerMark::None;
};
