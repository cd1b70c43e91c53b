// The command-line tool nozioli-archivio, run as a separate process.
#include "archivefixture.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

struct Run
{
    int exitCode = -1;
    QByteArray out;
    QString err;
};

Run tool(const QStringList &args, const QString &workDir = {})
{
    QProcess p;
    if (!workDir.isEmpty())
        p.setWorkingDirectory(workDir);
    p.start(QStringLiteral(ARCHIVE_TOOL), args);
    Run r;
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return r;
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

} // namespace

class TstArchiveTool : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        const QString problem = newArchiveFolder(dir, path, false);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void creaMakesAnArchiveAndNeverReplacesOne()
    {
        Run r = tool({QStringLiteral("crea"), dir->path()});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QVERIFY(ResultsStore::verify(path).isEmpty());
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.save(QStringLiteral("Rossi"), totals(0), QDateTime::currentDateTime()));
        store.close();
        const QByteArray bytes = readBytes(path);

        r = tool({QStringLiteral("crea"), dir->path()});
        QVERIFY2(r.exitCode != 0, "an existing archive is never replaced");
        QVERIFY2(r.err.contains(QString::fromUtf8("esiste già")), qPrintable(r.err));
        QCOMPARE(readBytes(path), bytes);

        QTemporaryDir other;
        r = tool({QStringLiteral("crea")}, other.path());
        QCOMPARE(r.exitCode, 0);
        QVERIFY2(QFile::exists(other.filePath(QStringLiteral("nozioli.mdb"))), "the current folder by default");
    }

    // RFC 4180: CRLF after every record, quotes around a field that holds a
    // comma, a quote or a line end, quotes doubled; a name that a spreadsheet
    // would run as a formula begins with an apostrophe.
    void esportaWritesCsvThatStaysText()
    {
        QVERIFY(ResultsStore::create(path, nullptr));
        const QStringList names{QStringLiteral("Rossi, \"Mario\""), QStringLiteral("=1+1"),
                                QString::fromUtf8("Niccolò\nsecondo rigo"), QStringLiteral("@SOMMA(A1)"),
                                QStringLiteral("-2"), QStringLiteral("Bianchi")};
        const char *const written[] = {"\"Rossi, \"\"Mario\"\"\"", "'=1+1", "\"Niccolò\nsecondo rigo\"",
                                       "'@SOMMA(A1)", "'-2", "Bianchi"};
        QByteArray expected = "nome,data,sovragiusti,sovrasbagliati,nozioligiusti,noziolisbagliati,"
                              "spaziotempogiusti,spaziotemposbagliati\r\n";
        {
            ResultsStore store;
            QVERIFY(store.open(path));
            for (qsizetype i = 0; i < names.size(); ++i) {
                QVERIFY(store.save(names.at(i), totals(i * 10), QDateTime(QDate(2024, 3, 1), QTime(8, 30, 0))));
                expected += written[i] + QByteArray(",2024-03-01 08:30:00");
                for (qsizetype k = 1; k <= 6; ++k)
                    expected += ',' + QByteArray::number(i * 10 + k);
                expected += "\r\n";
            }
        }
        const QString csvPath = dir->filePath(QStringLiteral("classe.csv"));
        const Run r = tool({QStringLiteral("esporta"), path, QStringLiteral("-o"), csvPath});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        const QByteArray bytes = readBytes(csvPath);
        QCOMPARE(bytes, expected);

        // Standard output and the default archive of the current folder.
        const Run toStdout = tool({QStringLiteral("esporta")}, dir->path());
        QCOMPARE(toStdout.exitCode, 0);
        QCOMPARE(toStdout.out, bytes);

        const Run self = tool({QStringLiteral("esporta"), path, QStringLiteral("-o"), path});
        QVERIFY2(self.exitCode != 0 && ResultsStore::verify(path).isEmpty(), "the archive is never written over");
    }

    void esportaReportsAMissingArchive()
    {
        const Run r = tool({QStringLiteral("esporta"), path});
        QVERIFY(r.exitCode != 0);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains(QStringLiteral("non si trova")), qPrintable(r.err));
    }

    void verifica_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<bool>("sound");
        QTest::addColumn<QString>("expected");
        QTest::newRow("good archive") << QString() << true << QStringLiteral("in ordine");
        QTest::newRow("index dropped") << QStringLiteral("DROP INDEX nome") << false << QString::fromUtf8("«nome»");
        QTest::newRow("garbage") << QStringLiteral("garbage") << false << QStringLiteral("non è un archivio");
    }

    void verifica()
    {
        QFETCH(QString, damage);
        QFETCH(bool, sound);
        QFETCH(QString, expected);
        QVERIFY(ResultsStore::create(path, nullptr));
        if (damage == u"garbage")
            QVERIFY(replaceFile(path, garbage()));
        else if (!damage.isEmpty())
            QVERIFY(RawDb(path).exec(damage));
        const Run r = tool({QStringLiteral("verifica"), path});
        QCOMPARE(r.exitCode == 0, sound);
        QVERIFY2(r.err.contains(expected), qPrintable(r.err));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("help") << QStringList{QStringLiteral("--help")} << 0;
        QTest::newRow("no command") << QStringList() << 2;
        QTest::newRow("unknown option") << QStringList{QStringLiteral("crea"), QStringLiteral("--forza")} << 2;
        QTest::newRow("output without esporta")
            << QStringList{QStringLiteral("crea"), QStringLiteral("-o"), QStringLiteral("x.csv")} << 2;
    }

    void usage()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        const Run r = tool(args, dir->path());
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(exitCode == 0 ? QString::fromUtf8(r.out).contains(QStringLiteral("esporta")) : !r.err.isEmpty(),
                 "help on standard output, mistakes explained on standard error");
        QVERIFY2(!QFile::exists(path), "a wrong command creates nothing");
    }
};

QTEST_GUILESS_MAIN(TstArchiveTool)
#include "tst_archivetool.moc"
