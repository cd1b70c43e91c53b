// A reference between the bare window and the program: a mock of the pupil
// window with the same widgets at the same places, its name list read from the
// archive in the current folder with a plain query, no picture, no fitted
// fonts. Ends after its first paint, printing the moment (CLOCK_MONOTONIC, ns).
#include "bench/benchclock.h"
#include "bench/paintwatch.h"

#include <QApplication>
#include <QFrame>
#include <QLabel>
#include <QListView>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStringListModel>
#include <QVariant>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    PaintWatch watch;
    QWidget window;
    window.setObjectName(QStringLiteral("mock"));
    window.setFixedSize(792, 572);
    const auto add = [&window](QWidget *widget, int x, int y, int width, int height) {
        widget->setParent(&window);
        widget->setGeometry(x, y, width, height);
        return widget;
    };
    add(new QFrame, 0, 0, 9, 513);
    add(new QLabel(QStringLiteral("Clicca sul tuo nome se è già presente nell'elenco. Se non lo trovi, clicca su "
                                  "INSERISCO IL MIO NOME")),
        8, 8, 769, 33);
    add(new QLabel(QStringLiteral("Elenco dei nomi presenti in archivio")), 88, 48, 241, 17);
    auto *list = new QListView;
    list->setUniformItemSizes(true);
    add(list, 88, 64, 241, 434);
    add(new QLabel(QStringLiteral("Nome selezionato:")), 440, 64, 297, 25);
    add(new QLabel, 440, 88, 297, 25);
    add(new QLabel, 440, 160, 297, 105);
    add(new QPushButton(QStringLiteral("CLICCA QUI, se la scelta del nome è giusta.")), 440, 160, 297, 105)->hide();
    add(new QPushButton(QStringLiteral("INSERISCO IL MIO NOME")), 440, 312, 297, 97);
    add(new QPushButton(QStringLiteral("Esco")), 440, 448, 297, 49);
    add(new QLabel(QStringLiteral("Illustrazione: carta del Mediterraneo antico")), 104, 504, 265, 17);

    QStringList names;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"));
        db.setDatabaseName(QStringLiteral("nozioli.mdb"));
        if (db.open()) {
            QSqlQuery query(db);
            query.setForwardOnly(true);
            query.exec(QStringLiteral("SELECT nome FROM nozioli ORDER BY rowid"));
            while (query.next())
                names << query.value(0).toString();
        }
    }
    list->setModel(new QStringListModel(names, &window));

    watch.onFirstPaint(QStringLiteral("mock"), [] {
        std::printf("painted %lld\n", static_cast<long long>(bench::monotonicNs()));
        std::fflush(stdout);
        QCoreApplication::exit(0);
    });
    window.show();
    return app.exec();
}
