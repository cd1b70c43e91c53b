// Archiving the score sheet: the skip rule and the values written. Faults of
// the archive while the program runs, each followed by a successful retry, are
// tried on the whole program (tst_faults, tst_program).
#include "app/module1.h"
#include "play/model/scoresheet.h"
#include "store/archiving.h"

#include "archivefixture.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

namespace {

ScoreSheet sheetWith(std::initializer_list<std::pair<ScoreSheet::Counter, qint64>> values)
{
    ScoreSheet s;
    for (const auto &[c, v] : values)
        s.setValue(c, v);
    return s;
}

} // namespace

Q_DECLARE_METATYPE(ScoreSheet)

class TstArchiving : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path;

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        const QString problem = newArchiveFolder(dir, path, true);
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
    }

    void skipRule_data()
    {
        QTest::addColumn<ScoreSheet>("sheet");
        QTest::addColumn<bool>("saved");
        using C = ScoreSheet;
        QTest::newRow("nothing answered") << ScoreSheet() << false;
        QTest::newRow("only space-time answers") << sheetWith({{C::spaziotempogiusti, 5}, {C::spaziotemposbagliati, 2}})
                                                 << false;
        QTest::newRow("only wrong answers") << sheetWith({{C::sovrasbagliati, 3}, {C::noziolisbagliati, 4}}) << false;
        QTest::newRow("one super-concept right") << sheetWith({{C::sovragiusti, 1}}) << true;
        QTest::newRow("one concept right") << sheetWith({{C::nozioligiusti, 1}}) << true;
    }

    void skipRule()
    {
        QFETCH(ScoreSheet, sheet);
        QFETCH(bool, saved);
        const QByteArray bytes = readBytes(path);
        const QDateTime modified = QFileInfo(path).lastModified();
        ResultsStore store;
        QVERIFY(store.open(path));
        const ArchiveResult r = archivia(store, QStringLiteral("Rossi Mario"), runningTotals(sheet));
        QCOMPARE(r.outcome, saved ? ArchiveResult::Saved : ArchiveResult::Skipped);
        QVERIFY(!r.error);
        store.close();
        if (!saved) {
            QVERIFY2(readBytes(path) == bytes && QFileInfo(path).lastModified() == modified,
                     "a skipped archiving leaves the file untouched");
            // Not even a missing archive matters when nothing is to be written.
            ResultsStore none;
            QCOMPARE(archivia(none, QStringLiteral("Rossi Mario"), runningTotals(sheet)).outcome, ArchiveResult::Skipped);
        } else {
            QCOMPARE(RawDb(path).value(QStringLiteral("SELECT count(*) FROM nozioli")).toInt(), 1);
        }
    }

    void writesTheSixTotals()
    {
        using C = ScoreSheet;
        const ScoreSheet sheet = sheetWith({{C::sovragiusti, 1}, {C::sovrasbagliati, 2}, {C::nozioligiusti, 3},
                                            {C::noziolisbagliati, 4}, {C::spaziotempogiusti, 5},
                                            {C::spaziotemposbagliati, 6}, {C::sovragiustiesercizio, 90}});
        const QDateTime when(QDate(2024, 2, 29), QTime(23, 59, 58));
        ResultsStore store;
        QVERIFY(store.open(path));
        QCOMPARE(archivia(store, QStringLiteral("Rossi Mario"), runningTotals(sheet), when).outcome, ArchiveResult::Saved);
        ResultRecord r;
        QCOMPARE(store.find(QStringLiteral("Rossi Mario"), &r), ResultsStore::Lookup::Found);
        QVERIFY2(sameTotals(r, totals(0)), "each total lands in the field of its own name");
        QCOMPARE(r.data, when);
    }
};

QTEST_GUILESS_MAIN(TstArchiving)
#include "tst_archiving.moc"
