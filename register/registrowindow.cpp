#include "register/registrowindow.h"

#include "register/classcharts.h"
#include "register/classpdf.h"
#include "register/classregister.h"
#include "register/classreport.h"

#include <QAction>
#include <QChart>
#include <QChartView>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QSaveFile>
#include <QScreen>
#include <QShortcut>
#include <QSplitter>
#include <QStatusBar>
#include <QTableView>
#include <QTime>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QString native(const QString &path)
{
    return QDir::toNativeSeparators(path);
}

} // namespace

RegistroWindow::RegistroWindow(ClassRegister &classRegister, QWidget *parent)
    : QMainWindow(parent)
    , m_register(classRegister)
{
    setObjectName(QStringLiteral("registro"));
    buildActions();
    buildWidgets();
    updateTitle();
    updateCount();
    updatePupilChart();
    updateClassCharts();

    connect(&m_register, &ClassRegister::loaded, this, &RegistroWindow::showLoaded);
    connect(&m_register, &ClassRegister::failed, this, &RegistroWindow::showFailure);
    // A table read anew from scratch keeps the selected pupil.
    ClassTableModel *table = m_register.table();
    connect(table, &QAbstractItemModel::modelAboutToBeReset, this, [this] { m_kept = selectedName(); });
    connect(table, &QAbstractItemModel::modelReset, this, [this] {
        if (!m_kept.isEmpty())
            selectName(m_kept);
    });
    // The selected pupil's values changed with an archiving.
    connect(table, &QAbstractItemModel::dataChanged, this, [this](const QModelIndex &from, const QModelIndex &to) {
        const QModelIndex current = m_register.shown()->mapToSource(m_table->currentIndex());
        if (current.isValid() && current.row() >= from.row() && current.row() <= to.row())
            updatePupilChart();
    });
    ClassFilterModel *shown = m_register.shown();
    for (const auto signal : {&QAbstractItemModel::rowsInserted, &QAbstractItemModel::rowsRemoved})
        connect(shown, signal, this, &RegistroWindow::updateCount);
    connect(shown, &QAbstractItemModel::modelReset, this, &RegistroWindow::updateCount);
}

void RegistroWindow::buildActions()
{
    const auto action = [this](const char *name, const QString &text, const QList<QKeySequence> &keys,
                               void (RegistroWindow::*slot)()) {
        auto *a = new QAction(text, this);
        a->setObjectName(QString::fromLatin1(name));
        a->setShortcuts(keys);
        if (!keys.isEmpty())
            a->setToolTip(QStringLiteral("%1 (%2)").arg(QString(text).remove(u'&').remove(u'…'),
                                                        keys.first().toString(QKeySequence::NativeText)));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    m_open = action("apri", QStringLiteral("&Apri archivio…"), QKeySequence::keyBindings(QKeySequence::Open),
                    &RegistroWindow::chooseArchive);
    m_reload = action("aggiorna", QStringLiteral("A&ggiorna"), {QKeySequence(Qt::Key_F5)}, &RegistroWindow::reload);
    m_spreadsheet = action("esportaFoglio", QStringLiteral("&Esporta per foglio di calcolo…"),
                           {QKeySequence(Qt::CTRL | Qt::Key_E)}, &RegistroWindow::chooseSpreadsheet);
    m_pdf = action("stampaPdf", QStringLiteral("&Stampa / PDF…"), QKeySequence::keyBindings(QKeySequence::Print),
                   &RegistroWindow::choosePdf);
    QAction *find = action("cerca", QStringLiteral("&Cerca un alunno"), QKeySequence::keyBindings(QKeySequence::Find),
                           &RegistroWindow::focusSearch);
    QAction *quit = action("esci", QStringLiteral("E&sci"), {QKeySequence(Qt::CTRL | Qt::Key_Q)},
                           &RegistroWindow::closeWindow);

    QMenu *menu = menuBar()->addMenu(QStringLiteral("&Registro"));
    menu->setObjectName(QStringLiteral("menuRegistro"));
    menu->addActions({m_open, m_reload, find});
    menu->addSeparator();
    menu->addActions({m_spreadsheet, m_pdf});
    menu->addSeparator();
    menu->addAction(quit);

    QToolBar *bar = addToolBar(QStringLiteral("Comandi"));
    bar->setObjectName(QStringLiteral("barraComandi"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addActions({m_open, m_reload, m_spreadsheet, m_pdf});
}

void RegistroWindow::buildWidgets()
{
    auto *tablePart = new QWidget;
    tablePart->setObjectName(QStringLiteral("classe"));
    auto *tableLayout = new QVBoxLayout(tablePart);
    tableLayout->setContentsMargins(6, 6, 6, 3);

    m_notice = new QLabel;
    m_notice->setObjectName(QStringLiteral("avviso"));
    m_notice->setWordWrap(true);
    m_notice->setFrameShape(QFrame::StyledPanel);
    m_notice->setMargin(6);
    m_notice->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    m_notice->hide();
    tableLayout->addWidget(m_notice);

    auto *searchRow = new QHBoxLayout;
    auto *searchLabel = new QLabel(QStringLiteral("&Cerca:"));
    searchLabel->setObjectName(QStringLiteral("etichettaRicerca"));
    m_search = new QLineEdit;
    m_search->setObjectName(QStringLiteral("ricerca"));
    m_search->setAccessibleName(QStringLiteral("Cerca un alunno per nome"));
    m_search->setPlaceholderText(QStringLiteral("nome o parte del nome, anche senza accenti"));
    m_search->setClearButtonEnabled(true);
    searchLabel->setBuddy(m_search);
    m_count = new QLabel;
    m_count->setObjectName(QStringLiteral("conteggio"));
    // A value: read out as its text, described by what it counts.
    m_count->setAccessibleDescription(QStringLiteral("Alunni mostrati"));
    searchRow->addWidget(searchLabel);
    searchRow->addWidget(m_search, 1);
    searchRow->addWidget(m_count);
    tableLayout->addLayout(searchRow);

    ClassFilterModel *shown = m_register.shown();
    connect(m_search, &QLineEdit::textChanged, this, [this, shown](const QString &text) {
        shown->setSearchText(text);
        updateCount();
        updateClassCharts();
    });
    // Escape empties the search; Enter goes on to the table.
    auto *clear = new QShortcut(QKeySequence(Qt::Key_Escape), m_search, nullptr, nullptr, Qt::WidgetShortcut);
    connect(clear, &QShortcut::activated, m_search, &QLineEdit::clear);
    connect(m_search, &QLineEdit::returnPressed, this, [this] {
        m_table->setFocus();
        if (!m_table->currentIndex().isValid() && m_table->model()->rowCount() > 0)
            m_table->setCurrentIndex(m_table->model()->index(0, 0));
    });

    m_table = new QTableView;
    m_table->setObjectName(QStringLiteral("tabella"));
    m_table->setAccessibleName(QStringLiteral("Classe"));
    m_table->setAccessibleDescription(QStringLiteral("Un alunno per riga: ultima archiviazione, risposte giuste e "
                                                     "sbagliate di ogni tipo e percentuali di risposte giuste. "
                                                     "Un clic su un'intestazione ordina la tabella."));
    m_table->setModel(shown);
    m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_table->setSelectionMode(QAbstractItemView::SingleSelection);
    m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_table->setAlternatingRowColors(true);
    m_table->setWordWrap(false);
    m_table->setTabKeyNavigation(false);
    m_table->setCornerButtonEnabled(false);
    // Rows of one height and no per-row work: quick with tens of thousands of pupils.
    QHeaderView *rows = m_table->verticalHeader();
    rows->hide();
    rows->setSectionResizeMode(QHeaderView::Fixed);
    rows->setDefaultSectionSize(fontMetrics().height() + 8);
    QHeaderView *columns = m_table->horizontalHeader();
    columns->setSectionResizeMode(QHeaderView::Interactive);
    columns->setDefaultAlignment(Qt::AlignCenter);
    columns->setHighlightSections(false);
    const QFontMetrics metrics = fontMetrics();
    for (int c = 0; c < ClassTableModel::ColumnCount; ++c) {
        int width = 0;
        for (const QString &line : ClassTableModel::shortTitle(c).split(u'\n'))
            width = std::max(width, metrics.horizontalAdvance(line));
        if (c == ClassTableModel::Name)
            width = metrics.horizontalAdvance(QStringLiteral("Colombo Alessandro Maria"));
        else if (c == ClassTableModel::LastArchiving)
            width = metrics.horizontalAdvance(QStringLiteral("00/00/0000 00:00"));
        m_table->setColumnWidth(c, width + 24);
    }
    // Sorted by name from the start, as the table's own order is: the first
    // sort is left to the first click on a heading.
    columns->setSortIndicator(ClassTableModel::Name, Qt::AscendingOrder);
    columns->setSortIndicatorShown(true);
    columns->setSectionsClickable(true);
    connect(columns, &QHeaderView::sortIndicatorChanged, shown, [shown](int column, Qt::SortOrder order) {
        shown->sort(column, order);
    });
    connect(m_table->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            &RegistroWindow::updatePupilChart);
    tableLayout->addWidget(m_table, 1);

    auto *chartsPart = new QWidget;
    chartsPart->setObjectName(QStringLiteral("grafici"));
    m_chartsLayout = new QHBoxLayout(chartsPart);
    m_chartsLayout->setContentsMargins(6, 3, 6, 6);
    // The charts come once the table has been painted.
    m_table->viewport()->installEventFilter(this);

    // The table above, the charts side by side below.
    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->setObjectName(QStringLiteral("divisore"));
    splitter->addWidget(tablePart);
    splitter->addWidget(chartsPart);
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    // Three fifths to the table from the start, before the charts are there.
    splitter->setSizes({3000, 2000});
    splitter->setChildrenCollapsible(false);
    setCentralWidget(splitter);

    m_archiveLabel = new QLabel;
    m_archiveLabel->setObjectName(QStringLiteral("percorsoArchivio"));
    m_archiveLabel->setAccessibleDescription(QStringLiteral("Archivio aperto"));
    statusBar()->setObjectName(QStringLiteral("barraStato"));
    statusBar()->addPermanentWidget(m_archiveLabel);

    setTabOrder(m_search, m_table);
    m_table->setFocus();
    // Most of the screen: the table has twelve columns and the charts want room.
    const QSize screen = QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableSize()
                                                          : QSize(1280, 1024);
    resize(std::min(1600, screen.width() * 9 / 10), std::min(1100, screen.height() * 9 / 10));
}

bool RegistroWindow::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::Paint && watched == m_table->viewport()) {
        m_table->viewport()->removeEventFilter(this);
        QMetaObject::invokeMethod(this, &RegistroWindow::buildCharts, Qt::QueuedConnection);
    }
    return QMainWindow::eventFilter(watched, event);
}

void RegistroWindow::buildCharts()
{
    if (m_pupilView)
        return;
    const auto chartView = [this](const char *name, const QString &accessibleName, QChart **chart) {
        *chart = classcharts::newChart();
        auto *view = new QChartView(*chart);
        view->setObjectName(QString::fromLatin1(name));
        view->setAccessibleName(accessibleName);
        view->setRenderHint(QPainter::Antialiasing);
        // Read, not worked: no focus, nor for its viewport, which would
        // otherwise be offered to screen readers as a nameless control.
        view->setFocusPolicy(Qt::NoFocus);
        view->viewport()->setFocusPolicy(Qt::NoFocus);
        view->setMinimumSize(300, 220);
        m_chartsLayout->addWidget(view, 1);
        return view;
    };
    m_pupilView = chartView("graficoAlunno", QStringLiteral("Grafico delle risposte dell'alunno scelto"), &m_pupilChart);
    m_bandsView = chartView("graficoFasce", QStringLiteral("Grafico degli alunni per quota di risposte giuste"),
                            &m_bandsChart);
    m_averagesView = chartView("graficoMedie", QStringLiteral("Grafico delle medie della classe"), &m_averagesChart);

    updatePupilChart();
    updateClassCharts();
}

void RegistroWindow::focusSearch()
{
    m_search->setFocus(Qt::ShortcutFocusReason);
    m_search->selectAll();
}

void RegistroWindow::closeWindow()
{
    close();
}

bool RegistroWindow::openArchive(const QString &path)
{
    return openArchive(ClassRegister::read(path));
}

bool RegistroWindow::openArchive(ClassRegister::Reading reading)
{
    const QString path = reading.path;
    if (m_register.open(std::move(reading)))
        return true;
    const StoreError &e = m_register.lastError();
    if (e.kind == StoreError::Missing) {
        const QFileInfo fi(path);
        showFailure(QStringLiteral("L'archivio dei risultati «%1» non si trova nella cartella «%2». Scegli l'archivio "
                                   "con «Apri archivio…» (%3).")
                        .arg(fi.fileName(), native(fi.absolutePath()),
                             m_open->shortcut().toString(QKeySequence::NativeText)));
    } else {
        showFailure(e.message);
    }
    return false;
}

void RegistroWindow::reload()
{
    if (!m_register.isOpen())
        return;
    m_register.reload();
}

void RegistroWindow::showLoaded()
{
    m_notice->hide();
    updateTitle();
    updateCount();
    updatePupilChart();
    updateClassCharts();
    if (m_register.isPartial()) {
        statusBar()->showMessage(QStringLiteral("Lettura dell'archivio in corso: per ora %1.")
                                     .arg(ClassTableModel::pupilsText(m_register.table()->pupilCount())));
        return;
    }
    statusBar()->showMessage(QStringLiteral("Archivio letto alle %1: %2.")
                                 .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")),
                                      ClassTableModel::pupilsText(m_register.table()->pupilCount())));
}

void RegistroWindow::showFailure(const QString &message)
{
    m_notice->setText(message);
    m_notice->show();
    statusBar()->clearMessage();
    updateTitle();
}

void RegistroWindow::updateTitle()
{
    const bool open = m_register.isOpen();
    const QString path = m_register.archivePath();
    setWindowTitle(open ? QStringLiteral("Registro di classe — %1").arg(ResultsStore::displayName(path))
                        : QStringLiteral("Registro di classe"));
    m_archiveLabel->setText(!open ? QStringLiteral("nessun archivio aperto")
                            : ResultsStore::isServerAddress(path) ? QStringLiteral("server ") + ResultsStore::displayName(path)
                                                                  : native(path));
    m_reload->setEnabled(open);
    // The reports are of the whole class: not while only its first rows are read.
    for (QAction *a : {m_spreadsheet, m_pdf})
        a->setEnabled(open && !m_register.isPartial());
}

void RegistroWindow::updateCount()
{
    const int shown = m_register.shown()->rowCount();
    const int all = m_register.table()->pupilCount();
    m_count->setText(shown == all ? ClassTableModel::pupilsText(all)
                                  : QStringLiteral("%1 su %2").arg(ClassTableModel::pupilsText(shown),
                                                                   ClassTableModel::countText(all)));
}

void RegistroWindow::updatePupilChart()
{
    if (!m_pupilView)
        return;
    const QModelIndex current = m_register.shown()->mapToSource(m_table->currentIndex());
    const PupilRow *pupil = current.isValid() ? &m_register.table()->pupil(current.row()) : nullptr;
    classcharts::showPupil(m_pupilChart, pupil);
    m_pupilView->setAccessibleDescription(classcharts::describePupil(pupil));
}

void RegistroWindow::updateClassCharts()
{
    if (!m_bandsView)
        return;
    const ClassSummary summary = summarize(*m_register.table(), m_register.shown()->shownRows());
    classcharts::showBands(m_bandsChart, summary);
    classcharts::showAverages(m_averagesChart, summary, summary.pupils == m_register.table()->pupilCount());
    m_bandsView->setAccessibleDescription(classcharts::describeBands(summary));
    m_averagesView->setAccessibleDescription(classcharts::describeAverages(summary));
}

QString RegistroWindow::selectedName() const
{
    const QModelIndex current = m_register.shown()->mapToSource(m_table->currentIndex());
    return current.isValid() ? m_register.table()->pupil(current.row()).record.nome : QString();
}

void RegistroWindow::selectName(const QString &name)
{
    const int row = m_register.table()->rowOfName(name);
    if (row < 0)
        return;
    const QModelIndex index = m_register.shown()->mapFromSource(m_register.table()->index(row, 0));
    if (!index.isValid())
        return;
    m_table->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_table->scrollTo(index);
}

QString RegistroWindow::reportFolder() const
{
    const QString archive = m_register.archivePath();
    return m_register.isOpen() && !ResultsStore::isServerAddress(archive) ? QFileInfo(archive).absolutePath()
                                                                          : QDir::currentPath();
}

void RegistroWindow::chooseArchive()
{
    const QString path = QFileDialog::getOpenFileName(this, QStringLiteral("Apri un archivio dei risultati"),
                                                      reportFolder(),
                                                      QStringLiteral("Archivi dei risultati (*.mdb);;Tutti i file (*)"));
    if (!path.isEmpty())
        openArchive(path);
}

QString RegistroWindow::askReportFile(const QString &title, const QString &suffix, const QString &filter)
{
    QString path = QFileDialog::getSaveFileName(this, title,
                                                QDir(reportFolder()).filePath(QStringLiteral("registro.") + suffix),
                                                filter);
    if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
        path += u'.' + suffix;
    return path;
}

void RegistroWindow::chooseSpreadsheet()
{
    const QString path = askReportFile(QStringLiteral("Esporta per foglio di calcolo"), QStringLiteral("csv"),
                                       QStringLiteral("File CSV per foglio di calcolo (*.csv)"));
    if (!path.isEmpty())
        exportSpreadsheet(path);
}

void RegistroWindow::choosePdf()
{
    const QString path = askReportFile(QStringLiteral("Stampa / PDF"), QStringLiteral("pdf"),
                                       QStringLiteral("Documenti PDF (*.pdf)"));
    if (!path.isEmpty())
        exportPdf(path);
}

bool RegistroWindow::exportSpreadsheet(const QString &path)
{
    const QList<int> rows = m_register.shown()->shownRows();
    const QByteArray data = spreadsheetCsv(*m_register.table(), rows);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(data) != data.size() || !file.commit()) {
        showFailure(QStringLiteral("Impossibile scrivere il file «%1»: %2").arg(native(path), file.errorString()));
        return false;
    }
    m_notice->hide();
    statusBar()->showMessage(QStringLiteral("Esportati %1 nel file «%2».").arg(ClassTableModel::pupilsText(rows.size()), native(path)));
    return true;
}

bool RegistroWindow::exportPdf(const QString &path)
{
    const QList<int> rows = m_register.shown()->shownRows();
    ClassReportHeading heading;
    heading.archive = ResultsStore::displayName(m_register.archivePath());
    heading.search = m_search->text().trimmed();
    heading.when = QDateTime::currentDateTime();
    QString error;
    if (!writeClassPdf(path, *m_register.table(), rows, heading, &error)) {
        showFailure(error);
        return false;
    }
    m_notice->hide();
    statusBar()->showMessage(QStringLiteral("Rapporto di %1 scritto nel file «%2».").arg(ClassTableModel::pupilsText(rows.size()), native(path)));
    return true;
}
