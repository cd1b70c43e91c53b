#pragma once

#include <functional>

class Dialogs;
class Module1;

// What a caller other than the program itself may put around a run: the
// benchmark watches the windows through these. The program passes none.
struct RunHooks
{
    // In place of the platform's message box and text-input dialog.
    Dialogs *dialogs = nullptr;
    // Called once the application and Module1 exist, before Module1::start()
    // creates and shows FormNOME.
    std::function<void(Module1 &)> beforeStart;
};

class QCoreApplication;

// Loads Qt's own Italian texts (context menus, standard buttons) into app.
// Returns whether they were found.
bool installItalianTranslations(QCoreApplication &app);

// Exit status when a setting of nozioli.ini cannot be used.
inline constexpr int ExitSettingsUnusable = 2;

// The whole program: sets up the application (name, style), reads the
// settings, creates Module1, starts on FormNOME and runs the event loop.
// Returns the exit status. A setting that cannot be used is reported and
// ends the program with ExitSettingsUnusable before any window shows.
int runNozioli(int argc, char **argv, const RunHooks &hooks = {});
