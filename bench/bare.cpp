// The floor: one empty QMainWindow that ends after its first paint, printing
// the moment (CLOCK_MONOTONIC, ns) its paint was over.
#include "bench/benchclock.h"
#include "bench/paintwatch.h"

#include <QApplication>
#include <QMainWindow>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PaintWatch watch;
    QMainWindow window;
    window.setObjectName(QStringLiteral("bare"));
    watch.onFirstPaint(QStringLiteral("bare"), [] {
        std::printf("painted %lld\n", static_cast<long long>(bench::monotonicNs()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    window.show();
    return app.exec();
}
