#pragma once

#include <functional>

class RegistroWindow;

// What a caller other than the program may put around a run: the benchmark
// watches the window through it. The program passes none.
struct RegistroHooks
{
    // Called once the window exists and has read the archive, before it is shown.
    std::function<void(RegistroWindow &)> beforeShow;
};

// Exit status when a setting of nozioli.ini cannot be used; 2 is a command
// line written wrong.
inline constexpr int RegistroSettingsUnusable = 1;

// The whole register: sets up the application, reads the command line
// ("nozioli-registro [ARCHIVIO]"), opens the archive given or the one the
// pupils' program uses, shows the window and runs the event loop. When no
// archive is given and a setting cannot be used, says why and ends with
// RegistroSettingsUnusable before any window shows.
int runRegistro(int argc, char **argv, const RegistroHooks &hooks = {});
