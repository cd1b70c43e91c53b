#pragma once

#include "register/classreport.h"

#include <QColor>
#include <QString>

class QChart;

// The register's charts, for the window and the printed report alike. Right
// and wrong answers are blue and orange (Okabe and Ito's palette, told apart
// by colour-blind readers too), and every bar has its value written above it.
namespace classcharts {

inline const QColor rightColour {0, 114, 178};      // blue
inline const QColor wrongColour {230, 159, 0};      // orange
inline const QColor barText {0, 0, 0};

// A chart set up as all of the register's are: no animation, Italian numbers.
QChart *newChart();

// Right and wrong answers of the three kinds, side by side; with no pupil, an
// empty chart that asks for one.
void showPupil(QChart *chart, const PupilRow *pupil);
// The pupils by overall share of right answers, by tens of percent.
void showBands(QChart *chart, const ClassSummary &summary);
// The mean share of right answers of each kind, of the class or of the
// pupils a search shows.
void showAverages(QChart *chart, const ClassSummary &summary, bool wholeClass);

// What each chart shows, in words, for screen readers.
QString describePupil(const PupilRow *pupil);
QString describeBands(const ClassSummary &summary);
QString describeAverages(const ClassSummary &summary);

} // namespace classcharts
