#include "store/archiving.h"

ArchiveResult archivia(ResultsStore &store, const QString &pupilName, const ArchiveTotals &totals,
                       const QDateTime &now)
{
    ArchiveResult result;
    if (totals.sovragiusti == 0 && totals.nozioligiusti == 0)
        return result;
    if (store.save(pupilName, totals, now)) {
        result.outcome = ArchiveResult::Saved;
    } else {
        result.outcome = ArchiveResult::Failed;
        result.error = store.lastError();
    }
    return result;
}
