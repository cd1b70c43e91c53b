#include "register/classreport.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <numeric>

int shareBand(double share)
{
    return std::clamp(int(std::floor(share / 10.0)), 0, ClassSummary::bandCount - 1);
}

QString bandName(int band)
{
    return QStringLiteral("%1–%2").arg(band * 10).arg(band * 10 + 10);
}

ClassSummary summarize(const ClassTableModel &table, const QList<int> &rows)
{
    ClassSummary s;
    s.pupils = int(rows.size());
    std::array<double, answerKindCount> sums {};
    for (const int row : rows) {
        const PupilRow &p = table.pupil(row);
        for (size_t k = 0; k < size_t(answerKindCount); ++k) {
            if (p.shares[k]) {
                sums[k] += *p.shares[k];
                ++s.answered[k];
            }
        }
        if (const Share &overall = p.shares[size_t(AnswerKind::Overall)])
            ++s.bands[size_t(shareBand(*overall))];
        else
            ++s.withoutAnswers;
    }
    for (size_t k = 0; k < size_t(answerKindCount); ++k) {
        if (s.answered[k] > 0)
            s.averages[k] = sums[k] / s.answered[k];
    }
    return s;
}

QList<int> rowsByName(const ClassTableModel &table)
{
    QList<int> rows(table.pupilCount());
    std::iota(rows.begin(), rows.end(), 0);
    std::sort(rows.begin(), rows.end(),
              [&](int a, int b) { return table.lessThan(a, b, ClassTableModel::Name); });
    return rows;
}

QString spreadsheetText(const QString &text)
{
    static const QString formulaStarts = QStringLiteral("=+-@\t\r");
    QString cell = text;
    if (!cell.isEmpty() && formulaStarts.contains(cell.front()))
        cell.prepend(u'\'');
    if (cell.contains(u';') || cell.contains(u'"') || cell.contains(u'\r') || cell.contains(u'\n')) {
        cell.replace(QStringLiteral("\""), QStringLiteral("\"\""));
        cell = u'"' + cell + u'"';
    }
    return cell;
}

QByteArray spreadsheetCsv(const ClassTableModel &table, const QList<int> &rows)
{
    const QLocale italian(QLocale::Italian);
    const QString crlf = QStringLiteral("\r\n");
    QStringList cells;
    for (int c = 0; c < ClassTableModel::ColumnCount; ++c)
        cells << spreadsheetText(ClassTableModel::title(c));
    QString out = cells.join(u';') + crlf;
    for (const int row : rows) {
        const PupilRow &p = table.pupil(row);
        cells.clear();
        cells << spreadsheetText(p.record.nome)
              << (p.record.data.isValid() ? p.record.data.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")) : QString());
        for (int c = ClassTableModel::SovraRight; c <= ClassTableModel::SpazioTempoWrong; ++c)
            cells << table.text(row, c);
        for (const Share &share : p.shares)
            cells << (share ? italian.toString(*share, 'f', 1) : QString());
        out += cells.join(u';') + crlf;
    }
    return QByteArray("\xEF\xBB\xBF") + out.toUtf8();
}
