#pragma once

#include "register/classregister.h"

#include <QMainWindow>
#include <QString>

class QAction;
class QChart;
class QChartView;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QTableView;

// The register's window: the class table with its search box and count, the
// charts of the selected pupil and of the pupils shown, and the commands to
// open another archive, reload (F5), export for a spreadsheet and print to PDF.
// Nothing in it writes to the archive.
class RegistroWindow : public QMainWindow
{
    Q_OBJECT

public:
    explicit RegistroWindow(ClassRegister &classRegister, QWidget *parent = nullptr);

    // Opens the archive; on failure says why above the table and keeps what
    // was shown.
    bool openArchive(const QString &path);
    // The same with an archive read beforehand (ClassRegister::read).
    bool openArchive(ClassRegister::Reading reading);
    // The two reports of the pupils shown, in the order shown.
    bool exportSpreadsheet(const QString &path);
    bool exportPdf(const QString &path);

    // The selected pupil's name, or empty.
    QString selectedName() const;
    void selectName(const QString &name);

private:
    void buildActions();
    void buildWidgets();
    void chooseArchive();
    void chooseSpreadsheet();
    void choosePdf();
    // Asks where a report goes, "registro.SUFFIX" in the report folder
    // offered; the suffix is added to a name without one. Empty: cancelled.
    QString askReportFile(const QString &title, const QString &suffix, const QString &filter);
    void reload();
    void focusSearch();
    void closeWindow();
    void showLoaded();
    void showFailure(const QString &message);
    void updateCount();
    // The three charts, built after the window's first paint so that the
    // class table shows without waiting for them.
    void buildCharts();
    bool eventFilter(QObject *watched, QEvent *event) override;
    void updatePupilChart();
    void updateClassCharts();
    void updateTitle();
    QString reportFolder() const;

    ClassRegister &m_register;
    QTableView *m_table = nullptr;
    QLineEdit *m_search = nullptr;
    QLabel *m_count = nullptr;
    QLabel *m_notice = nullptr;
    QLabel *m_archiveLabel = nullptr;
    QHBoxLayout *m_chartsLayout = nullptr;
    QChartView *m_pupilView = nullptr;
    QChartView *m_bandsView = nullptr;
    QChartView *m_averagesView = nullptr;
    QChart *m_pupilChart = nullptr;
    QChart *m_bandsChart = nullptr;
    QChart *m_averagesChart = nullptr;
    QAction *m_open = nullptr;
    QAction *m_reload = nullptr;
    QAction *m_spreadsheet = nullptr;
    QAction *m_pdf = nullptr;
    QString m_kept;             // the selected name across a reset of the table
};
