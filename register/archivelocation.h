#pragma once

#include <QString>

#include <optional>

// The archive the pupils' program uses, by the same rules: "nozioli.mdb" in
// the folder the settings name ([archivio] cartella of nozioli.ini),
// otherwise in the current folder. nullopt when a setting cannot be used,
// with the Italian message (file, key, what to do) in *error: the register
// never opens another archive than the one set. The one place the register asks.
std::optional<QString> programArchivePath(QString *error);
