// Helpers shared by the tests of the windows: controls found by their object
// names, clicks and choices made as the pupil makes them, and what a control
// shows.
#pragma once

#include "play/colours.h"
#include "play/model/scoresheet.h"

#include <QAbstractItemView>
#include <QAnyStringView>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QSpontaneKeyEvent>
#include <QStandardPaths>
#include <QTest>
#include <QWidget>

// The child of window named name, of type T (any widget by default); null
// when there is none.
template <typename T = QWidget>
T *child(const QObject *window, QAnyStringView name)
{
    return window ? window->findChild<T *>(name.toString()) : nullptr;
}

// The caption of the label named name.
inline QString caption(const QObject *window, QAnyStringView name)
{
    return child<QLabel>(window, name)->text();
}

// The captions of the ten counters of the main window, in the order of
// ScoreSheet::Counter.
inline QStringList counterCaptions(const QObject *window)
{
    QStringList captions;
    for (int c = 0; c < ScoreSheet::CounterCount; ++c)
        captions << caption(window, ScoreSheet::labelName(ScoreSheet::Counter(c)));
    return captions;
}

inline void click(QWidget *widget)
{
    QTest::mouseClick(widget, Qt::LeftButton);
}

// A check box reacts to clicks on its indicator and its text only.
inline void clickBox(QWidget *box)
{
    QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(4, box->height() / 2));
}

// As the pupil does: opens the list of combo and confirms the item in row.
inline void chooseItem(QComboBox *combo, int row)
{
    combo->showPopup();
    QAbstractItemView *view = combo->view();
    view->setCurrentIndex(view->model()->index(row, 0));
    QTest::keyClick(view, Qt::Key_Return);
}

// The window system's close control, which a sent event cannot stand for:
// sendEvent() would clear the flag that tells it apart.
inline void closeFromWindowSystem(QWidget *window)
{
    QCloseEvent event;
    QSpontaneKeyEvent::setSpontaneous(&event);
    QCoreApplication::instance()->notify(window, &event);
}

// Everything the pupil can see of a window's labels, check boxes, frames and
// lists: captions, check marks, background colours, answer marks (by their
// accessible description), enabled and hidden states, the item chosen. Taken
// before and after a step that must change none of it.
inline QStringList shownState(const QWidget *window)
{
    QStringList state;
    const auto shown = [](const QWidget *w) {
        return QStringList {w->objectName(), colours::background(w).name(), w->accessibleDescription(),
                            QString::number(int(w->isEnabled()) + 2 * int(w->isHidden()))}
            .join(u' ');
    };
    for (const QLabel *l : window->findChildren<QLabel *>())
        state << shown(l) + u'=' + l->text();
    for (const QCheckBox *b : window->findChildren<QCheckBox *>())
        state << shown(b) + (b->isChecked() ? QStringLiteral(" x") : QStringLiteral(" o"));
    for (const QGroupBox *g : window->findChildren<QGroupBox *>())
        state << shown(g);
    for (const QComboBox *c : window->findChildren<QComboBox *>())
        state << shown(c) + u'=' + c->currentText();
    return state;
}

// The colour actually painted at a point of the widget.
inline QColor paintedAt(QWidget *widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point * widget->devicePixelRatioF());
}

// Runs under the program's name, which dialogs without a title of their own
// show, with standard paths kept apart from the user's and, through an
// organisation named after the test, from the other tests that CTest runs at
// the same time: results kept on this PC by one must not reach another.
inline void setUpProgramTest()
{
    QStandardPaths::setTestModeEnabled(true);
    QCoreApplication::setOrganizationName(QFileInfo(QCoreApplication::applicationFilePath()).baseName());
    QCoreApplication::setApplicationName(QStringLiteral("Nozioli"));
}
