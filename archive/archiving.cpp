#include "archiving.h"

#include "scoresheet.h"

ArchiveResult archivia(ResultsStore &store, const QString &pupilName, const ScoreSheet &sheet,
                       const QDateTime &now)
{
    ArchiveResult result;
    if (sheet.caption(ScoreSheet::sovragiusti) == u"0" && sheet.caption(ScoreSheet::nozioligiusti) == u"0")
        return result;

    ArchiveTotals totals;
    totals.sovragiusti = sheet.value(ScoreSheet::sovragiusti);
    totals.sovrasbagliati = sheet.value(ScoreSheet::sovrasbagliati);
    totals.nozioligiusti = sheet.value(ScoreSheet::nozioligiusti);
    totals.noziolisbagliati = sheet.value(ScoreSheet::noziolisbagliati);
    totals.spaziotempogiusti = sheet.value(ScoreSheet::spaziotempogiusti);
    totals.spaziotemposbagliati = sheet.value(ScoreSheet::spaziotemposbagliati);

    if (store.save(pupilName, totals, now)) {
        result.outcome = ArchiveResult::Saved;
    } else {
        result.outcome = ArchiveResult::Failed;
        result.error = store.lastError();
    }
    return result;
}
