#pragma once

#include <QString>

// The archive the pupils' program uses, by the same rules: for now
// "nozioli.mdb" in the current folder. The one place the register asks.
QString programArchivePath();
