#pragma once

#include "store/resultsstore.h"

#include <QDateTime>
#include <QString>

struct ArchiveResult
{
    enum Outcome { Skipped, Saved, Failed };
    Outcome outcome = Skipped;
    StoreError error;               // set when Failed
};

// Stores the six running totals and the moment under the pupil's name.
// Nothing is written when both sovragiusti and nozioligiusti are 0. The totals
// are the caller's, so a failed archiving can be retried.
ArchiveResult archivia(ResultsStore &store, const QString &pupilName, const ArchiveTotals &totals,
                       const QDateTime &now = QDateTime::currentDateTime());
