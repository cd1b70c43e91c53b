#pragma once

#include <QHash>
#include <QObject>
#include <QString>

#include <functional>

// Watches the paint events of the whole application. A window is known by its
// object name; a paint of any widget inside it counts for it.
class PaintWatch : public QObject
{
public:
    // Installs itself as the application's event filter.
    explicit PaintWatch(QObject *parent = nullptr);
    ~PaintWatch() override;

    // Calls done once, after the first paint of the window has been drawn and
    // flushed: it runs when the event loop gets back to its queue, after the
    // event that painted.
    void onFirstPaint(const QString &windowName, std::function<void()> done);

    // Paint events seen so far by widgets of the window.
    int paints(const QString &windowName) const { return m_paints.value(windowName); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    QHash<QString, int> m_paints;
    QHash<QString, std::function<void()>> m_pending;
};
