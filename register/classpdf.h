#pragma once

#include "register/classtable.h"

#include <QDateTime>
#include <QList>
#include <QString>

// What the printed report says about where its rows come from.
struct ClassReportHeading
{
    QString archive;        // the archive's file name
    QString search;         // the search that narrowed the rows, or empty
    QDateTime when;         // the moment printed
};

// Writes a PDF report, A4 landscape, of the rows given, in that order: the title, the
// archive and the date, the class's charts (shares by band, averages per kind)
// and the table, over as many pages as it takes, each with its heading row and
// page number. Needs a QApplication (the charts are Qt Charts). False, with a
// message, when the file cannot be written.
bool writeClassPdf(const QString &path, const ClassTableModel &table, const QList<int> &rows,
                   const ClassReportHeading &heading, QString *error);
