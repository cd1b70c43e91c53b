#include "fnozioli.h"

#include <QApplication>
#include <QScreen>
#include <QStyleFactory>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nozioli"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nozioli"));
    // Fusion paints the background colours given to check boxes and buttons.
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);

    FNozioli window;
    QObject::connect(&window, &FNozioli::esciRequested, &app, &QApplication::quit);
    window.placeOnScreen(window.screen());
    window.showFullScreen();
    return app.exec();
}
