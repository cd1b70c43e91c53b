#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// What the settings file "nozioli.ini" says. A member left unset keeps the
// program's own default.
struct Settings
{
    QString file;                       // the file read, absolute; empty when none was found
    QString archiveFolder;              // [archivio] cartella: the folder of "nozioli.mdb", absolute
    QString server;                     // [archivio] server: the archive's PostgreSQL server, a URI
                                        // without password; when set, it is used instead of the file
    std::optional<bool> fullScreen;     // [finestra] schermo-intero
};

// The settings file is an INI file named "nozioli.ini". Only the first one
// found is read: in the current folder, then in the user's configuration
// folder (~/.config/nozioli/), then in the system's (/etc/xdg/nozioli/, or
// the folders of XDG_CONFIG_DIRS), so that one file set up for a whole PC
// applies to every user who has none of their own.
namespace settings {

QString fileName();

// Every place looked in, in order.
QStringList searchPaths();
// The user's settings file and the system's, as `nozioli-archivio configura` writes them.
QString userFile();
QString systemFile();

// Reads the first settings file found; an empty Settings when there is none.
// When a setting cannot be used (a folder that does not exist, a value that
// is not a boolean, a file that cannot be read) returns nullopt and puts in
// *error an Italian message that names the file, the key and what to do:
// the program never goes on with another archive than the one set.
std::optional<Settings> load(QString *error);
// Reads one settings file, as load() does.
std::optional<Settings> read(const QString &file, QString *error);

// Whether the main window is shown full-screen: what the settings say;
// maximized, with its title bar, when they say nothing.
bool fullScreen(const Settings &settings);
// The settings with the program's command line applied: "--schermo-intero"
// shows the main window full-screen whatever the file says.
Settings withCommandLine(Settings settings, const QStringList &arguments);

// Sets [archivio] cartella in the file to the folder (made absolute), which
// must exist, keeping every other setting of the file. Creates the file and
// its folder when missing. False, with an Italian message, on failure.
bool writeArchiveFolder(const QString &file, const QString &folder, QString *error);

} // namespace settings
