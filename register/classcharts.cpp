#include "register/classcharts.h"

#include <QBarCategoryAxis>
#include <QHorizontalBarSeries>
#include <QBarSet>
#include <QChart>
#include <QLocale>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace classcharts {

namespace {

constexpr AnswerKind threeKinds[] = {AnswerKind::Sovranozioli, AnswerKind::Nozioli, AnswerKind::SpazioTempo};
constexpr AnswerKind allKinds[] = {AnswerKind::Sovranozioli, AnswerKind::Nozioli, AnswerKind::SpazioTempo,
                                   AnswerKind::Overall};
// The same, bottom to top, so that the charts read from the top like the table.
constexpr AnswerKind threeKindsUp[] = {AnswerKind::SpazioTempo, AnswerKind::Nozioli, AnswerKind::Sovranozioli};
constexpr AnswerKind allKindsUp[] = {AnswerKind::Overall, AnswerKind::SpazioTempo, AnswerKind::Nozioli,
                                     AnswerKind::Sovranozioli};

void clear(QChart *chart)
{
    chart->removeAllSeries();
    const QList<QAbstractAxis *> axes = chart->axes();
    for (QAbstractAxis *axis : axes) {
        chart->removeAxis(axis);
        delete axis;
    }
}

QBarSet *barSet(const QString &label, const QColor &colour)
{
    auto *set = new QBarSet(label);
    set->setColor(colour);
    set->setBorderColor(colour.darker(130));
    set->setLabelColor(barText);
    return set;
}

// A step of 1, 2 or 5 times a power of ten that gives about five ticks.
double niceStep(double top)
{
    const double rough = std::max(1.0, top / 5.0);
    const double power = std::pow(10.0, std::floor(std::log10(rough)));
    for (const double m : {1.0, 2.0, 5.0}) {
        if (m * power >= rough)
            return m * power;
    }
    return 10.0 * power;
}

// Bars lying down: the categories up the left, where their names have room
// however narrow the chart, bottom to top in the order given; the values
// along the bottom, with room past the longest bar for its label.
void addAxes(QChart *chart, QHorizontalBarSeries *series, const QStringList &categories, double highest, bool percent,
             const QString &valueTitle)
{
    series->setLabelsVisible(true);
    series->setLabelsPosition(QAbstractBarSeries::LabelsOutsideEnd);
    series->setLabelsFormat(percent ? QStringLiteral("@value%") : QStringLiteral("@value"));
    chart->addSeries(series);

    auto *names = new QBarCategoryAxis;
    names->append(categories);
    chart->addAxis(names, Qt::AlignLeft);
    series->attachAxis(names);

    auto *values = new QValueAxis;
    const double step = percent ? 20.0 : niceStep(highest);
    const double top = percent ? 100.0 : std::max(step, std::ceil(highest / step) * step);
    // Room past the last tick, for the label of the longest bar, but no tick there.
    values->setRange(0, top + step * 0.99);
    values->setTickType(QValueAxis::TicksDynamic);
    values->setTickAnchor(0);
    values->setTickInterval(step);
    values->setLabelFormat(QStringLiteral("%.0f"));
    values->setTitleText(valueTitle);
    chart->addAxis(values, Qt::AlignBottom);
    series->attachAxis(values);
}

double oneDecimal(double v)
{
    return std::round(v * 10.0) / 10.0;
}

QString count(double v)
{
    return QLocale(QLocale::Italian).toString(v, 'f', 0);
}

} // namespace

QChart *newChart()
{
    auto *chart = new QChart;
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setLocale(QLocale(QLocale::Italian, QLocale::Italy));
    chart->setLocalizeNumbers(true);
    chart->setBackgroundRoundness(0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    return chart;
}

void showPupil(QChart *chart, const PupilRow *pupil)
{
    clear(chart);
    if (!pupil) {
        chart->setTitle(QStringLiteral("Scegli un alunno nella tabella per vederne le risposte"));
        chart->legend()->hide();
        return;
    }
    chart->setTitle(QStringLiteral("%1: risposte giuste e sbagliate").arg(pupil->record.nome.toHtmlEscaped()));
    auto *right = barSet(QStringLiteral("Giuste"), rightColour);
    auto *wrong = barSet(QStringLiteral("Sbagliate"), wrongColour);
    QStringList categories;
    double highest = 0;
    for (const AnswerKind k : threeKindsUp) {
        const double r = ClassTableModel::right(pupil->record, k);
        const double w = ClassTableModel::wrong(pupil->record, k);
        *right << r;
        *wrong << w;
        highest = std::max({highest, r, w});
        categories << ClassTableModel::kindName(k);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(right);
    series->append(wrong);
    addAxes(chart, series, categories, highest, false, QStringLiteral("risposte"));
    chart->legend()->show();
    chart->legend()->setAlignment(Qt::AlignBottom);
}

void showBands(QChart *chart, const ClassSummary &summary)
{
    clear(chart);
    chart->setTitle(QStringLiteral("Alunni per quota di risposte giuste<br><small>%1 su %2 hanno risposto</small>")
                        .arg(ClassTableModel::countText(summary.pupils - summary.withoutAnswers),
                             ClassTableModel::countText(summary.pupils)));
    auto *set = barSet(QStringLiteral("Alunni"), rightColour);
    QStringList categories;
    int highest = 0;
    for (int b = 0; b < ClassSummary::bandCount; ++b) {
        *set << summary.bands[size_t(b)];
        highest = std::max(highest, summary.bands[size_t(b)]);
        categories << bandName(b);
    }
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    addAxes(chart, series, categories, highest, false, QStringLiteral("alunni"));
    if (auto *bandsAxis = qobject_cast<QBarCategoryAxis *>(chart->axes(Qt::Vertical).value(0)))
        bandsAxis->setTitleText(QStringLiteral("% di risposte giuste in tutto"));
    chart->legend()->hide();
}

void showAverages(QChart *chart, const ClassSummary &summary, bool wholeClass)
{
    clear(chart);
    chart->setTitle(wholeClass ? QStringLiteral("Media della classe: % di risposte giuste per tipo")
                               : QStringLiteral("Media degli alunni mostrati: % di risposte giuste per tipo"));
    auto *set = barSet(QStringLiteral("Media"), rightColour);
    QStringList categories;
    for (const AnswerKind k : allKindsUp) {
        const Share &average = summary.averages[size_t(k)];
        *set << (average ? oneDecimal(*average) : 0.0);
        categories << (average ? ClassTableModel::kindName(k) : ClassTableModel::kindName(k) + QStringLiteral(" (–)"));
    }
    auto *series = new QHorizontalBarSeries;
    series->append(set);
    addAxes(chart, series, categories, 100, true, QStringLiteral("%"));
    chart->legend()->hide();
}

QString describePupil(const PupilRow *pupil)
{
    if (!pupil)
        return QStringLiteral("Nessun alunno scelto.");
    QStringList parts;
    for (const AnswerKind k : threeKinds) {
        parts << QStringLiteral("%1: %2 giuste, %3 sbagliate")
                     .arg(ClassTableModel::kindName(k), count(ClassTableModel::right(pupil->record, k)),
                          count(ClassTableModel::wrong(pupil->record, k)));
    }
    return pupil->record.nome + QStringLiteral(". ") + parts.join(QStringLiteral("; ")) + u'.';
}

QString describeBands(const ClassSummary &summary)
{
    QStringList parts;
    for (int b = 0; b < ClassSummary::bandCount; ++b)
        parts << QStringLiteral("da %1%: %2").arg(bandName(b), ClassTableModel::countText(summary.bands[size_t(b)]));
    QString text = QStringLiteral("Alunni per quota di risposte giuste, ") + parts.join(QStringLiteral("; ")) + u'.';
    if (summary.withoutAnswers > 0)
        text += QStringLiteral(" Senza risposte: %1.").arg(ClassTableModel::countText(summary.withoutAnswers));
    return text;
}

QString describeAverages(const ClassSummary &summary)
{
    QStringList parts;
    for (const AnswerKind k : allKinds)
        parts << ClassTableModel::kindName(k) + QStringLiteral(": ")
                + ClassTableModel::shareText(summary.averages[size_t(k)]);
    return QStringLiteral("Media della classe, risposte giuste: ") + parts.join(QStringLiteral("; ")) + u'.';
}

} // namespace classcharts
