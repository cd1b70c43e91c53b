// A reference between the bare window and the class register: a mock of the
// register's window with the same widgets (menu, tool bar, search row, a
// twelve-column table, splitter, status bar) and its first 200 rows read from
// the archive in the current folder with a plain query into a plain item
// model, on one thread, without Qt Charts. Ends after its first paint,
// printing the moment (CLOCK_MONOTONIC, ns).
#include "bench/benchclock.h"
#include "bench/paintwatch.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QScreen>
#include <QSplitter>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStandardItemModel>
#include <QStatusBar>
#include <QStyleFactory>
#include <QTableView>
#include <QToolBar>
#include <QVBoxLayout>
#include <QVariant>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (QStyle *fusion = QStyleFactory::create(QStringLiteral("Fusion")))
        QApplication::setStyle(fusion);
    PaintWatch watch;
    QMainWindow window;
    window.setObjectName(QStringLiteral("mockRegistro"));

    QList<QAction *> actions;
    for (const char *text : {"&Apri archivio…", "A&ggiorna", "&Cerca un alunno", "&Esporta per foglio di calcolo…",
                             "&Stampa / PDF…", "E&sci"})
        actions << new QAction(QString::fromUtf8(text), &window);
    window.menuBar()->addMenu(QStringLiteral("&Registro"))->addActions(actions);
    QToolBar *bar = window.addToolBar(QStringLiteral("Comandi"));
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    bar->addActions({actions[0], actions[1], actions[3], actions[4]});

    auto *tablePart = new QWidget;
    auto *tableLayout = new QVBoxLayout(tablePart);
    auto *searchRow = new QHBoxLayout;
    auto *search = new QLineEdit;
    search->setPlaceholderText(QStringLiteral("nome o parte del nome, anche senza accenti"));
    search->setClearButtonEnabled(true);
    searchRow->addWidget(new QLabel(QStringLiteral("&Cerca:")));
    searchRow->addWidget(search, 1);
    searchRow->addWidget(new QLabel(QStringLiteral("32767 alunni")));
    tableLayout->addLayout(searchRow);

    auto *model = new QStandardItemModel(0, 12, &window);
    model->setHorizontalHeaderLabels(
        {QStringLiteral("Alunno"), QStringLiteral("Ultima\narchiviazione"), QStringLiteral("Sovra\ngiusti"),
         QStringLiteral("Sovra\nsbagliati"), QStringLiteral("Nozioli\ngiusti"), QStringLiteral("Nozioli\nsbagliati"),
         QStringLiteral("Sp.-tempo\ngiusti"), QStringLiteral("Sp.-tempo\nsbagliati"), QStringLiteral("% giusti\nsovra"),
         QStringLiteral("% giusti\nnozioli"), QStringLiteral("% giusti\nsp.-tempo"), QStringLiteral("% giusti\nin tutto")});
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(QStringLiteral("nozioli.mdb"));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (db.open()) {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            query.exec(QStringLiteral("SELECT nome, data, sovragiusti, sovrasbagliati, nozioligiusti, noziolisbagliati, "
                                      "spaziotempogiusti, spaziotemposbagliati FROM nozioli ORDER BY chiave LIMIT 200"));
            while (query.next()) {
                QList<QStandardItem *> row;
                for (int c = 0; c < 8; ++c)
                    row << new QStandardItem(query.value(c).toString());
                for (int c = 8; c < 12; ++c)
                    row << new QStandardItem(QStringLiteral("50,0%"));
                model->appendRow(row);
            }
        }
    }
    auto *table = new QTableView;
    table->setModel(model);
    table->setAlternatingRowColors(true);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->verticalHeader()->hide();
    table->horizontalHeader()->setSortIndicatorShown(true);
    tableLayout->addWidget(table, 1);

    auto *splitter = new QSplitter(Qt::Vertical);
    splitter->addWidget(tablePart);
    splitter->addWidget(new QWidget);
    splitter->setSizes({3000, 2000});
    window.setCentralWidget(splitter);
    window.statusBar()->addPermanentWidget(new QLabel(QStringLiteral("nozioli.mdb")));
    const QSize screen = QGuiApplication::primaryScreen()->availableSize();
    window.resize(std::min(1600, screen.width() * 9 / 10), std::min(1100, screen.height() * 9 / 10));

    watch.onFirstPaint(QStringLiteral("mockRegistro"), [] {
        std::printf("painted %lld\n", static_cast<long long>(bench::monotonicNs()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    window.show();
    return app.exec();
}
