#include "register/classpdf.h"

#include "register/classcharts.h"
#include "register/classreport.h"

#include <QChart>
#include <QDir>
#include <QFileInfo>
#include <QFontMetricsF>
#include <QGraphicsScene>
#include <QPageLayout>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <array>

namespace {

// Ten device units a millimetre.
constexpr int resolution = 254;
constexpr double mm = 10.0;

// A4 across, inside margins of 15 mm: twelve columns fit at a size that
// reads well on paper.
constexpr double widthMm = 267.0;
constexpr std::array<double, ClassTableModel::ColumnCount> columnMm {62,   29,   17,   17,   17,   17,
                                                                     17,   17,   18.5, 18.5, 18.5, 18.5};
constexpr double rowMm = 5.0;
constexpr double headMm = 9.0;
constexpr double footMm = 8.0;
constexpr double chartMm = 62.0;

QFont font(double points, bool bold = false)
{
    QFont f(QStringLiteral("DejaVu Sans"));
    f.setPointSizeF(points);
    f.setBold(bold);
    return f;
}

// Draws a chart into the rectangle, laid out at a size that suits its fonts.
void drawChart(QPainter &painter, QChart *chart, const QRectF &target)
{
    QGraphicsScene scene;
    scene.addItem(chart);       // the scene owns the chart from here
    const QSizeF size(640, 640 * target.height() / target.width());
    chart->resize(size);
    scene.setSceneRect(QRectF(QPointF(), size));
    scene.render(&painter, target, scene.sceneRect());
}

void drawHeadingRow(QPainter &painter, double top)
{
    painter.setFont(font(7, true));
    double x = 0;
    for (int c = 0; c < ClassTableModel::ColumnCount; ++c) {
        const QRectF cell(x * mm + 0.8 * mm, top, (columnMm[size_t(c)] - 1.6) * mm, headMm * mm);
        const Qt::Alignment align = (c == ClassTableModel::Name ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignBottom;
        painter.drawText(cell.adjusted(0, 0, 0, -0.8 * mm), int(align), ClassTableModel::shortTitle(c));
        x += columnMm[size_t(c)];
    }
    painter.setPen(QPen(Qt::black, 0.25 * mm));
    painter.drawLine(QPointF(0, top + headMm * mm), QPointF(widthMm * mm, top + headMm * mm));
}

void drawRow(QPainter &painter, const ClassTableModel &table, int row, double top, bool shaded)
{
    if (shaded)
        painter.fillRect(QRectF(0, top, widthMm * mm, rowMm * mm), QColor(238, 238, 238));
    painter.setPen(Qt::black);
    const QFontMetricsF metrics(painter.font(), painter.device());
    double x = 0;
    for (int c = 0; c < ClassTableModel::ColumnCount; ++c) {
        const QRectF cell(x * mm + 0.8 * mm, top, (columnMm[size_t(c)] - 1.6) * mm, rowMm * mm);
        QString text = table.text(row, c);
        if (c == ClassTableModel::Name)
            text = metrics.elidedText(text, Qt::ElideRight, cell.width());
        const Qt::Alignment align = (c == ClassTableModel::Name ? Qt::AlignLeft : Qt::AlignRight) | Qt::AlignVCenter;
        painter.drawText(cell, int(align), text);
        x += columnMm[size_t(c)];
    }
}

} // namespace

bool writeClassPdf(const QString &path, const ClassTableModel &table, const QList<int> &rows,
                   const ClassReportHeading &heading, QString *error)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        if (error)
            *error = QStringLiteral("Impossibile scrivere il file «%1»: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(resolution);
        writer.setTitle(QStringLiteral("Registro di classe – %1").arg(heading.archive));
        writer.setCreator(QStringLiteral("Nozioli, registro di classe"));
        writer.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Landscape, QMarginsF(15, 15, 15, 15),
                                         QPageLayout::Millimeter));
        const double pageHeight = writer.pageLayout().paintRectPixels(resolution).height();
        const double bodyBottom = pageHeight - footMm * mm;

        // The first page: the title block and the charts, then the table.
        const double firstTop = 14 * mm + chartMm * mm + 6 * mm;
        const int firstRows = std::max(0, int((bodyBottom - firstTop - headMm * mm) / (rowMm * mm)));
        const int otherRows = int((bodyBottom - headMm * mm) / (rowMm * mm));
        const int later = int(rows.size()) - firstRows;
        const int pages = 1 + (later > 0 ? (later + otherRows - 1) / otherRows : 0);

        QPainter painter(&writer);
        const ClassSummary summary = summarize(table, rows);
        painter.setFont(font(16, true));
        painter.drawText(QRectF(0, 0, widthMm * mm, 8 * mm), Qt::AlignLeft | Qt::AlignTop, QStringLiteral("Registro di classe"));
        painter.setFont(font(8.5));
        QString line = QStringLiteral("Archivio «%1» · %2 · stampato il %3")
                           .arg(heading.archive,
                                ClassTableModel::pupilsText(rows.size()),
                                heading.when.toString(QStringLiteral("dd/MM/yyyy 'alle' HH:mm")));
        if (!heading.search.isEmpty())
            line += QStringLiteral(" · solo i nomi che contengono «%1»").arg(heading.search);
        painter.drawText(QRectF(0, 8.5 * mm, widthMm * mm, 5 * mm), Qt::AlignLeft | Qt::AlignTop, line);

        QChart *bands = classcharts::newChart();
        classcharts::showBands(bands, summary);
        const double chartWidth = (widthMm - 7) / 2;
        drawChart(painter, bands, QRectF(0, 14 * mm, chartWidth * mm, chartMm * mm));
        QChart *averages = classcharts::newChart();
        classcharts::showAverages(averages, summary, heading.search.isEmpty());
        drawChart(painter, averages, QRectF((widthMm - chartWidth) * mm, 14 * mm, chartWidth * mm, chartMm * mm));

        int next = 0;
        for (int page = 1; page <= pages; ++page) {
            double top = 0;
            int count = otherRows;
            if (page == 1) {
                top = firstTop;
                count = firstRows;
            } else {
                writer.newPage();
            }
            drawHeadingRow(painter, top);
            top += headMm * mm + 0.5 * mm;
            painter.setFont(font(7.5));
            for (int i = 0; i < count && next < rows.size(); ++i, ++next)
                drawRow(painter, table, rows[next], top + i * rowMm * mm, i % 2 == 1);
            painter.setFont(font(7.5));
            painter.setPen(Qt::black);
            painter.drawText(QRectF(0, bodyBottom, widthMm * mm, footMm * mm), Qt::AlignRight | Qt::AlignBottom,
                             QStringLiteral("Registro di classe – pagina %1 di %2").arg(page).arg(pages));
        }
        painter.end();
    }
    if (!file.commit()) {
        if (error)
            *error = QStringLiteral("Impossibile scrivere il file «%1»: %2")
                         .arg(QDir::toNativeSeparators(path), file.errorString());
        return false;
    }
    return true;
}
