// Test helper: one process archiving into a shared archive.
//   archive_worker ARCHIVE WORKER COUNT
// Archives COUNT names of its own and, after each, the name shared by every
// worker; lists and looks up names now and then. Exit status 1 on any failure.
#include "resultsstore.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4)
        return 2;
    const QString path = args.at(1);
    const int worker = args.at(2).toInt();
    const int count = args.at(3).toInt();
    QTextStream err(stderr);

    ResultsStore store;
    if (!store.open(path)) {
        err << store.lastError().message << '\n';
        return 1;
    }
    for (int i = 0; i < count; ++i) {
        ArchiveTotals t;
        t.sovragiusti = i + 1;
        t.sovrasbagliati = worker;
        const QString own = QStringLiteral("Alunno %1-%2").arg(worker).arg(i);
        if (!store.save(own, t, QDateTime::currentDateTime())
            || !store.save(QStringLiteral("Classe comune"), t, QDateTime::currentDateTime())) {
            err << store.lastError().message << '\n';
            return 1;
        }
        if (i % 10 == 0) {
            ResultRecord r;
            if (!store.listNames() || store.find(QStringLiteral("CLASSE COMUNE"), &r) != ResultsStore::Lookup::Found) {
                err << "lettura: " << store.lastError().message << '\n';
                return 1;
            }
        }
    }
    return 0;
}
