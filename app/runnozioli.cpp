#include "app/runnozioli.h"

#include "app/module1.h"
#include "archive/dialogs.h"

#include <QApplication>
#include <QStyleFactory>

int runNozioli(int argc, char **argv, const RunHooks &hooks)
{
    QApplication app(argc, argv);
    // No display name: Qt would append it to every window title. Dialogs
    // without a title of their own show the application's name instead.
    QApplication::setApplicationName(QStringLiteral("Nozioli"));
    // Fusion paints the background colours given to check boxes and buttons.
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);

    QtDialogs platformDialogs;
    Module1 program(hooks.dialogs ? *hooks.dialogs : static_cast<Dialogs &>(platformDialogs));
    // Queued, so that an end decided before the event loop runs still ends it.
    QObject::connect(&program, &Module1::finished, &app, &QCoreApplication::exit, Qt::QueuedConnection);
    if (hooks.beforeStart)
        hooks.beforeStart(program);
    if (!program.start())
        return Module1::ExitArchiveUnavailable;
    return app.exec();
}
