// The plan of a load run: which names each process archives, in which
// spellings, and the totals each archiving writes, so that a row read back
// tells which archiving wrote it and whether it is whole.
#pragma once

#include "store/resultsstore.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace loadplan {

// Pupils archived by every process, each written in several spellings that
// fold to the same key (case, decomposed accents, "ß" against "SS", final sigma).
QStringList sharedPupils();

// The spellings used for one name: as given, upper case, lower case,
// decomposed (NFD) and alternating case.
constexpr int SpellingCount = 5;
QString spelling(const QString &name, int variant);

// One archiving of the plan.
struct Step
{
    QString name;       // as written by this archiving
    bool shared = false;
};

// The archiving number seq (0-based) of process p. About a third of the
// archivings go to the shared pupils; the others go to the process's own
// pupils, a fifth of whom are archived a second time under another spelling.
Step step(int process, int seq, int perProcess);

// The distinct keys a whole run archives (when every archiving lands).
int plannedRows(int processes, int perProcess);

// The totals written by archiving seq of process p under the folded key.
// Every field depends on all three, so a row mixing two archivings shows.
ArchiveTotals totalsFor(int process, int seq, const QString &key);

// Which archiving wrote a row: process and sequence number, when the six
// totals are exactly those of that archiving for that key.
struct Origin
{
    int process = -1;
    int seq = -1;
};
std::optional<Origin> originOf(const ResultRecord &row, const QString &key);

// A hash of the key that stays the same from one process to the next.
quint32 keyHash(const QString &key);

} // namespace loadplan
