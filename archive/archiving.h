#pragma once

#include "resultsstore.h"

#include <QDateTime>
#include <QString>

class ScoreSheet;

struct ArchiveResult
{
    enum Outcome { Skipped, Saved, Failed };
    Outcome outcome = Skipped;
    StoreError error;               // set when Failed
};

// Stores the six running totals of the score sheet and the moment under the
// pupil's name. Nothing is written when both sovragiusti and nozioligiusti show
// "0". The score sheet is never changed, so a failed archiving can be retried.
ArchiveResult archivia(ResultsStore &store, const QString &pupilName, const ScoreSheet &sheet,
                       const QDateTime &now = QDateTime::currentDateTime());
