// A small load on a shared archive, a file and an archive on a server:
// several processes archive at once while another reads; nothing may be lost,
// doubled or fail. Then the check itself is shown damaged archives, each of
// which it must catch.
#include "../store/archivefixture.h"
#include "testserver.h"
#include "tools/carico/loadplan.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using Summary = QHash<QString, double>;

namespace {

struct Run
{
    int exitCode = -1;
    QString output;
    Summary summary;
};

Run runTool(const QStringList &args)
{
    Run r;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral(LOAD_TOOL), args);
    if (!p.waitForFinished(600000)) {
        p.kill();
        p.waitForFinished();
        r.output = QStringLiteral("did not finish");
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.output = QString::fromUtf8(p.readAll());
    const QRegularExpressionMatch m = QRegularExpression(QStringLiteral("^summary: (.*)$"),
                                                         QRegularExpression::MultilineOption).match(r.output);
    if (m.hasMatch()) {
        const QStringList pairs = m.captured(1).split(u' ', Qt::SkipEmptyParts);
        for (const QString &pair : pairs)
            r.summary.insert(pair.section(u'=', 0, 0), pair.section(u'=', 1).toDouble());
    }
    return r;
}

constexpr int Processes = 4;
constexpr int Pupils = 30;

} // namespace

class TstLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(m_dir.isValid());
    }

    void smallLoadHolds_data()
    {
        QTest::addColumn<bool>("onServer");
        QTest::newRow("file") << false;
        QTest::newRow("server") << true;
    }

    void smallLoadHolds()
    {
        QFETCH(bool, onServer);
        TestServer server;
        QString archive = archiveFolder() + QStringLiteral("/nozioli.mdb");
        QStringList where{QStringLiteral("--folder"), archiveFolder(), QStringLiteral("--work"), logFolder()};
        if (onServer) {
            QVERIFY2(server.start(), qPrintable(server.error()));
            archive = server.uri();
            where = QStringList{QStringLiteral("--server"), archive, QStringLiteral("--work"),
                                m_dir.filePath(QStringLiteral("server-logs"))};
        }
        // A long busy timeout: a slow, busy machine must not turn waiting into a failure.
        const Run r = runTool(QStringList{QStringLiteral("--processes"), QString::number(Processes),
                                          QStringLiteral("--pupils"), QString::number(Pupils),
                                          QStringLiteral("--readers"), QStringLiteral("1"),
                                          QStringLiteral("--busy-timeout"), QStringLiteral("30000")}
                              + where);
        QVERIFY2(r.exitCode == 0, qPrintable(r.output));
        const Summary &s = r.summary;
        QCOMPARE(s.value(QStringLiteral("attempted")), double(Processes * Pupils));
        QCOMPARE(s.value(QStringLiteral("landed")), double(Processes * Pupils));
        QCOMPARE(s.value(QStringLiteral("expected")), double(loadplan::plannedRows(Processes, Pupils)));
        QCOMPARE(s.value(QStringLiteral("found")), s.value(QStringLiteral("expected")));
        for (const char *zero : {"lost", "duplicates", "wrong", "errors", "reader_errors", "unexpected"})
            QVERIFY2(s.value(QString::fromLatin1(zero), -1) == 0,
                     qPrintable(QString::fromLatin1(zero) + u'\n' + r.output));
        QVERIFY2(s.value(QStringLiteral("reader_ops")) >= 2, "the reader listed and looked up names");
        QVERIFY(ResultsStore::verify(archive).isEmpty());
        m_ran = m_ran || !onServer;
    }

    void checkCatchesDamage_data()
    {
        QTest::addColumn<QStringList>("statements");
        QTest::addColumn<QString>("figure");
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("detail");      // what the report must say

        const QString lastRow = QStringLiteral("(SELECT max(rowid) FROM nozioli)");
        QTest::newRow("row lost") << QStringList{QStringLiteral("DELETE FROM nozioli WHERE rowid = ") + lastRow}
                                  << QStringLiteral("lost") << 1.0 << QStringLiteral("Result: FAIL");
        QTest::newRow("row doubled under another key")
            << QStringList{QStringLiteral("INSERT INTO nozioli (nome, data, sovragiusti, sovrasbagliati, nozioligiusti, "
                                          "noziolisbagliati, spaziotempogiusti, spaziotemposbagliati, chiave) "
                                          "SELECT upper(nome), data, sovragiusti, sovrasbagliati, nozioligiusti, "
                                          "noziolisbagliati, spaziotempogiusti, spaziotemposbagliati, chiave || '*' "
                                          "FROM nozioli WHERE rowid = 1")}
            << QStringLiteral("duplicates") << 1.0 << QStringLiteral("more than one row for");
        QTest::newRow("totals of two archivings mixed")
            << QStringList{QStringLiteral("UPDATE nozioli SET noziolisbagliati = noziolisbagliati + 1 WHERE rowid = 1")}
            << QStringLiteral("wrong") << 1.0 << QStringLiteral("torn 1,");
        QTest::newRow("row of a name never archived")
            << QStringList{QStringLiteral("INSERT INTO nozioli (nome, data, sovragiusti, sovrasbagliati, nozioligiusti, "
                                          "noziolisbagliati, spaziotempogiusti, spaziotemposbagliati, chiave) "
                                          "VALUES ('Nessuno Mai', '2024-01-01 10:00:00', 1, 1, 1, 1, 1, 1, 'nessuno mai')")}
            << QStringLiteral("unexpected") << 1.0 << QStringLiteral("Result: FAIL");

        // Process 0 archives its first own pupil at its first archiving and
        // again later: the earlier totals back in the row are a lost update.
        const QString name = loadplan::step(0, 0, Pupils).name;
        const QString key = ResultsStore::foldName(name);
        const ArchiveTotals t = loadplan::totalsFor(0, 0, key);
        QTest::newRow("overwritten by older totals")
            << QStringList{QStringLiteral("UPDATE nozioli SET sovragiusti = %1, sovrasbagliati = %2, nozioligiusti = %3, "
                                          "noziolisbagliati = %4, spaziotempogiusti = %5, spaziotemposbagliati = %6 "
                                          "WHERE chiave = '%7'")
                               .arg(t.sovragiusti).arg(t.sovrasbagliati).arg(t.nozioligiusti).arg(t.noziolisbagliati)
                               .arg(t.spaziotempogiusti).arg(t.spaziotemposbagliati)
                               .arg(QString(key).replace(u'\'', QStringLiteral("''")))}
            << QStringLiteral("wrong") << 1.0 << QStringLiteral("stale 1,");
    }

    // The check finds each kind of damage in an archive that a run left whole.
    void checkCatchesDamage()
    {
        QFETCH(QStringList, statements);
        QFETCH(QString, figure);
        QFETCH(double, value);
        QFETCH(QString, detail);
        if (!m_ran)
            QSKIP("needs the archive of smallLoadHolds");

        const QString folder = m_dir.filePath(QString::fromLatin1(QTest::currentDataTag()).replace(u' ', u'-'));
        QVERIFY(QDir().mkpath(folder));
        QVERIFY(QFile::copy(archiveFolder() + QStringLiteral("/nozioli.mdb"), folder + QStringLiteral("/nozioli.mdb")));
        {
            RawDb damage(folder + QStringLiteral("/nozioli.mdb"));
            for (const QString &statement : statements)
                QVERIFY2(damage.exec(statement), qPrintable(statement));
        }

        const Run r = runTool({QStringLiteral("--check-only"), QStringLiteral("--folder"), folder,
                               QStringLiteral("--work"), logFolder()});
        QVERIFY2(r.exitCode == 1, qPrintable(r.output));
        QVERIFY2(r.summary.value(figure, -1) == value, qPrintable(figure + u'\n' + r.output));
        QVERIFY2(r.output.contains(detail), qPrintable(detail + u'\n' + r.output));
    }

private:
    QString archiveFolder() const { return m_dir.filePath(QStringLiteral("archive")); }
    QString logFolder() const { return m_dir.filePath(QStringLiteral("logs")); }

    QTemporaryDir m_dir;
    bool m_ran = false;
};

QTEST_GUILESS_MAIN(TstLoad)
#include "tst_load.moc"
