// The program's start-up, run through runNozioli() exactly as its entry point
// runs it, with a watch on its paints. It links what the program links and
// nothing more. Started by nozioli-bench in the folder of an archive; prints
// CLOCK_MONOTONIC moments (ns) as "key value" lines.
//
//   nozioli-bench-program formnome   ends after the first paint of FormNOME
//   nozioli-bench-program fnozioli   then confirms the first listed name and
//                                    ends after the first paint of fnozioli
#include "app/module1.h"
#include "app/runnozioli.h"
#include "archive/formnome.h"
#include "bench/benchclock.h"
#include "bench/paintwatch.h"
#include "bench/silentdialogs.h"

#include <QAbstractItemView>
#include <QCoreApplication>
#include <QListView>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

void print(const char *key, long long value)
{
    std::printf("%s %lld\n", key, value);
    std::fflush(stdout);
}

[[noreturn]] void fail(const char *what)
{
    std::fprintf(stderr, "nozioli-bench-program: %s\n", what);
    std::_Exit(3);
}

} // namespace

int main(int argc, char *argv[])
{
    print("main", bench::monotonicNs());
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray("formnome");
    if (mode != "formnome" && mode != "fnozioli") {
        std::fprintf(stderr, "usage: %s formnome|fnozioli\n", argv[0]);
        return 2;
    }

    SilentDialogs dialogs;
    std::unique_ptr<PaintWatch> watch;
    RunHooks hooks;
    hooks.dialogs = &dialogs;
    hooks.beforeStart = [&](Module1 &module) {
        print("module", bench::monotonicNs());
        watch = std::make_unique<PaintWatch>();
        watch->onFirstPaint(QStringLiteral("FormNOME"), [&, m = &module] {
            print("painted", bench::monotonicNs());
            if (mode == "formnome") {
                QCoreApplication::exit(dialogs.said ? 4 : 0);
                return;
            }
            // The pupil picks the first name; the list offers CmdOK.
            FormNOME *form = m->formNome();
            auto *list = form->findChild<QListView *>(QStringLiteral("List1"));
            auto *ok = form->findChild<QPushButton *>(QStringLiteral("CmdOK"));
            if (!list || !ok || list->model()->rowCount() == 0)
                fail("no name to pick in FormNOME");
            list->setCurrentIndex(list->model()->index(0, 0));
            QCoreApplication::processEvents();
            if (!ok->isVisible())
                fail("CmdOK is not offered after a name was picked");
            watch->onFirstPaint(QStringLiteral("fnozioli"), [&] {
                print("fnozioli", bench::monotonicNs());
                QCoreApplication::exit(dialogs.said ? 4 : 0);
            });
            print("confirmed", bench::monotonicNs());
            ok->click();
        });
    };
    // The program has no command line: it gets none.
    const int status = runNozioli(1, argv, hooks);
    std::fflush(stdout);
    return status;
}
