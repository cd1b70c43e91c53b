#pragma once

#include <QString>

namespace locations {

// The installed data folder of the program: share/nozioli beside the folder
// of the running program's binary (bin/), whatever the installation prefix.
QString dataFolder();

// The help document "aiuto.rtf": the one in the current folder when there is
// one, otherwise the installed one. When neither is there, the name in the
// current folder, so that the help panel says the document is missing.
QString helpDocument();

} // namespace locations
