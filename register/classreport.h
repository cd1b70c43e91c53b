#pragma once

#include "register/classtable.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>

// What the charts and the printed report say about a group of pupils.
struct ClassSummary
{
    static constexpr int bandCount = 10;

    int pupils = 0;                 // pupils summarised
    int withoutAnswers = 0;         // of them, pupils with no answer at all
    // Pupils by overall share of right answers: 0–10 %, 10–20 %, …, 90–100 %;
    // each band holds its lower end, the last one 100 % too.
    std::array<int, bandCount> bands {};
    // Per kind (AnswerKind order): the mean of the shares of the pupils who
    // gave answers of that kind, and how many they are.
    std::array<Share, answerKindCount> averages {};
    std::array<int, answerKindCount> answered {};
};

ClassSummary summarize(const ClassTableModel &table, const QList<int> &rows);

// The band of a share (0 to bandCount - 1).
int shareBand(double share);
// "0–10", …, "90–100".
QString bandName(int band);

// Every row of the table in Italian alphabetical order of the names.
QList<int> rowsByName(const ClassTableModel &table);

// One cell of the spreadsheet file: text that a spreadsheet could take for a
// formula (a pupil may type "=1+1" as a name) gets a leading apostrophe, and a
// cell holding a semicolon, a quote or a line end is quoted.
QString spreadsheetText(const QString &text);

// The rows given, in that order, as a CSV file that Italian spreadsheets open
// directly: UTF-8 with a byte-order mark, semicolons, CRLF line ends, decimal
// commas, the dates as dd/MM/yyyy hh:mm:ss, the shares as percent numbers
// without the sign and an empty cell for "–".
QByteArray spreadsheetCsv(const ClassTableModel &table, const QList<int> &rows);
