#include "bench/paintwatch.h"

#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

PaintWatch::PaintWatch(QObject *parent)
    : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

PaintWatch::~PaintWatch()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void PaintWatch::onFirstPaint(const QString &windowName, std::function<void()> done)
{
    m_pending.insert(windowName, std::move(done));
}

bool PaintWatch::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::Paint || !watched->isWidgetType())
        return false;
    const QString name = static_cast<QWidget *>(watched)->window()->objectName();
    ++m_paints[name];
    const auto pending = m_pending.find(name);
    if (pending != m_pending.end()) {
        std::function<void()> done = std::move(pending.value());
        m_pending.erase(pending);
        QMetaObject::invokeMethod(this, std::move(done), Qt::QueuedConnection);
    }
    return false;
}
