#pragma once

#include "play/answermark.h"

#include <QColor>
#include <QLabel>

#include <utility>
#include <vector>

// A label used as a button. It takes keyboard focus (Tab), shows a focus it
// got from the keyboard with a frame, and is activated by a click, by Space or by Enter, all of
// which emit activated(). It emits hovered() while the pointer enters or
// moves over it. Its accessible name is its caption; an answered label
// carries a mark (drawn beside the text, never part of it) and says
// "giusto" or "sbagliato" in its accessible description.
class ClickLabel : public QLabel
{
    Q_OBJECT

public:
    explicit ClickLabel(QWidget *parent = nullptr);
    explicit ClickLabel(const QString &caption, QWidget *parent = nullptr);

    // Sets the text and the accessible name together. Does nothing when the
    // caption is already this text.
    void setCaption(const QString &caption);
    QString caption() const { return text(); }

    void setMark(AnswerMark mark) { showAnswerMark(this, m_mark, mark); }
    AnswerMark mark() const { return m_mark; }

    // Keeps room beside the text for the mark, so that the text does not
    // move or wrap differently once the label is answered.
    void setMarkRoom(bool room);
    bool hasMarkRoom() const { return m_markRoom; }

    // Room taken by the mark, in pixels, for the current font.
    int markExtent() const;

signals:
    void activated();
    void hovered();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void enterEvent(QEnterEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void focusInEvent(QFocusEvent *event) override;

private:
    void init();
    void updateMargins();

    AnswerMark m_mark = AnswerMark::None;
    bool m_markRoom = false;
    bool m_pressed = false;
    bool m_focusFromMouse = false;
};

// The commands of a window (labels used as buttons) turn red under the
// pointer and take their resting colours again only when the pointer crosses
// the window's bare background: a move over another control keeps them red.
class CommandHighlight : public QObject
{
public:
    // Watches the pointer over window, which tracks it from now on.
    explicit CommandHighlight(QWidget *window);

    void add(ClickLabel *command, const QColor &resting);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QWidget *m_window;
    std::vector<std::pair<ClickLabel *, QColor>> m_commands;
};
