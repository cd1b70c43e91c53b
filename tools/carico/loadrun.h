// The processes of a load run and the check of what they left behind.
#pragma once

#include "store/resultsstore.h"

#include <QString>
#include <QList>
#include <QStringList>
#include <QTextStream>

namespace loadrun {

// One archiving process: archives `count` pupils of the plan into the archive,
// one line per archiving in its log. Waits for goFile before the first one.
int runWorker(const QString &archive, const QString &log, const QString &goFile, int process, int count,
              int busyTimeout);

// One reading process: lists every name and looks names up, checking what it
// reads, until stopFile appears (or maxSeconds pass). Counts go to its log.
int runReader(const QString &archive, const QString &log, const QString &goFile, const QString &stopFile,
              int reader, int busyTimeout, int maxSeconds);

// Short, stable name of an error kind for the logs and the report.
QString kindName(StoreError::Kind kind);

// What the driver knows about a process beyond its log.
struct ProcessOutcome
{
    QString what;           // "archiving process 3", "reader 1"
    bool finished = true;   // false: killed at the deadline
    bool crashed = false;
    int exitCode = 0;
    QString errorOutput;    // first lines of its standard error
};

struct Figures
{
    int processes = 0;
    int perProcess = 0;
    qint64 planned = 0;
    qint64 attempted = 0;
    qint64 landed = 0;
    qint64 plannedRows = -1;        // -1 when the plan is unknown
    qint64 expectedRows = 0;
    qint64 rowsFound = 0;
    qint64 lost = 0;
    qint64 unexpected = 0;
    qint64 duplicates = 0;          // rows beyond the first one of their folded name
    qint64 sharedDuplicated = 0;    // shared pupils with more than one row
    qint64 valuesChecked = 0;
    qint64 valuesWrong = 0;
    qint64 errors = 0;              // every error of every kind, readers' included
    qint64 readerOps = 0;
    qint64 readerErrors = 0;
    double slowestMs = 0;
    double medianMs = 0;
    bool pass = false;
};

// Reads the logs in workDir and the archive, prints the report on out and
// returns the figures. outcomes may be empty (a check of an earlier run).
Figures check(const QString &archive, const QString &workDir, const QList<ProcessOutcome> &outcomes,
              double seconds, QTextStream &out);

QString workerLog(const QString &workDir, int process);
QString readerLog(const QString &workDir, int reader);

} // namespace loadrun
