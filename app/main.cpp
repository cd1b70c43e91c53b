#include <QApplication>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Nozioli"));
    QApplication::setApplicationDisplayName(QStringLiteral("Nozioli"));
    QMainWindow window;
    window.show();
    return app.exec();
}
