// The register's start-up, run through runRegistro() exactly as its entry
// point runs it, with a watch on its paints. It links what nozioli-registro
// links and nothing more. Started by nozioli-bench in the folder of an
// archive, which it opens as the program would; prints CLOCK_MONOTONIC moments
// (ns) as "key value" lines and ends after the first paint of its window,
// the class table filled.
#include "bench/benchclock.h"
#include "bench/paintwatch.h"
#include "register/registrowindow.h"
#include "register/runregistro.h"

#include <QAbstractItemModel>
#include <QCoreApplication>
#include <QTableView>

#include <cstdio>
#include <memory>

namespace {

void print(const char *key, long long value)
{
    std::printf("%s %lld\n", key, value);
    std::fflush(stdout);
}

} // namespace

int main(int, char *argv[])
{
    print("main", bench::monotonicNs());
    std::unique_ptr<PaintWatch> watch;
    RegistroHooks hooks;
    hooks.beforeShow = [&](RegistroWindow &window) {
        print("opened", bench::monotonicNs());
        watch = std::make_unique<PaintWatch>();
        watch->onFirstPaint(QStringLiteral("registro"), [&window] {
            print("painted", bench::monotonicNs());
            const auto *table = window.findChild<QTableView *>(QStringLiteral("tabella"));
            const int rows = table ? table->model()->rowCount() : 0;
            print("rows", rows);
            // A register that painted an empty table measured nothing.
            QCoreApplication::exit(rows > 0 ? 0 : 4);
        });
    };
    // The archive of the current folder, as when the teacher starts it there.
    return runRegistro(1, argv, hooks);
}
