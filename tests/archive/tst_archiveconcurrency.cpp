// Several processes archiving into one archive at once, while another
// connection holds the lock for a while: every archiving lands, once.
#include "archivefixture.h"

#include <QProcess>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

class TstArchiveConcurrency : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void processesArchiveAtOnce()
    {
        constexpr int workers = 4;
        constexpr int count = 40;
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(QStringLiteral("nozioli.mdb"));
        StoreError e;
        QVERIFY2(ResultsStore::create(path, &e), qPrintable(e.message));

        std::vector<std::unique_ptr<QProcess>> procs;
        for (int w = 0; w < workers; ++w) {
            auto p = std::make_unique<QProcess>();
            p->start(QStringLiteral(ARCHIVE_WORKER), {path, QString::number(w), QString::number(count)});
            QVERIFY2(p->waitForStarted(), qPrintable(p->errorString()));
            procs.push_back(std::move(p));
        }
        {
            // Another program holds the archive briefly while the workers run.
            RawDb holder(path);
            QVERIFY(holder.exec(QStringLiteral("PRAGMA busy_timeout = 60000")));
            QVERIFY(holder.exec(QStringLiteral("BEGIN EXCLUSIVE")));
            QThread::msleep(300);
            QVERIFY(holder.exec(QStringLiteral("COMMIT")));
        }
        for (auto &p : procs) {
            QVERIFY(p->waitForFinished(300000));
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0,
                     p->readAllStandardError().constData());
        }

        ResultsStore store;
        QVERIFY(store.open(path));
        const QStringList names = store.listNames().value_or(QStringList());
        QCOMPARE(names.size(), workers * count + 1);
        QCOMPARE(QSet<QString>(names.begin(), names.end()).size(), names.size());
        for (int w = 0; w < workers; ++w) {
            for (int i = 0; i < count; ++i) {
                ResultRecord r;
                QCOMPARE(store.find(QStringLiteral("Alunno %1-%2").arg(w).arg(i), &r), ResultsStore::Lookup::Found);
                QVERIFY2(r.sovragiusti == i + 1 && r.sovrasbagliati == w, "each row holds its own archiving");
            }
        }
        // The last archiving of the shared name is the last one of some worker.
        ResultRecord shared;
        QCOMPARE(store.find(QStringLiteral("classe comune"), &shared), ResultsStore::Lookup::Found);
        QCOMPARE(shared.sovragiusti, double(count));
        QVERIFY(shared.sovrasbagliati >= 0 && shared.sovrasbagliati < workers);
        QVERIFY(ResultsStore::verify(path).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TstArchiveConcurrency)
#include "tst_archiveconcurrency.moc"
