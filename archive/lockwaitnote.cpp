#include "archive/lockwaitnote.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QScreen>
#include <QVBoxLayout>

LockWaitNote::LockWaitNote() = default;

LockWaitNote::~LockWaitNote()
{
    if (m_shown)
        QGuiApplication::restoreOverrideCursor();
}

void LockWaitNote::waiting(int elapsedMs)
{
    m_active = true;
    if (elapsedMs >= ShowAfterMs && !m_shown)
        show();
    // Paint, expose and timer events only: input waits for the end of the wait.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void LockWaitNote::waitOver()
{
    m_active = false;
    if (!m_shown)
        return;
    m_shown = false;
    m_note->hide();
    QGuiApplication::restoreOverrideCursor();
}

void LockWaitNote::show()
{
    QWidget *front = QApplication::activeWindow();
    if (!m_note) {
        m_note = std::make_unique<QDialog>(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint);
        m_note->setObjectName(QStringLiteral("attesaArchivio"));
        m_note->setWindowModality(Qt::ApplicationModal);
        auto *layout = new QVBoxLayout(m_note.get());
        auto *text = new QLabel(QStringLiteral("L'archivio dei risultati è occupato da un altro programma: "
                                               "aspetto che si liberi…"),
                                m_note.get());
        text->setObjectName(QStringLiteral("attesaTesto"));
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(true);
        auto *bar = new QProgressBar(m_note.get());
        bar->setObjectName(QStringLiteral("attesaBarra"));
        bar->setRange(0, 0);            // moving to and fro: no end to foretell
        bar->setTextVisible(false);
        layout->addWidget(text);
        layout->addWidget(bar);
    }
    // At the scale of the window in front, centred on it.
    if (front)
        m_note->setFont(front->font());
    m_note->setMinimumWidth(m_note->fontMetrics().averageCharWidth() * 48);
    m_note->adjustSize();
    const QRect area = front ? front->frameGeometry()
                             : (m_note->screen() ? m_note->screen()->availableGeometry() : QRect());
    if (area.isValid())
        m_note->move(area.center() - m_note->rect().center());
    m_note->show();
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    m_shown = true;
}
