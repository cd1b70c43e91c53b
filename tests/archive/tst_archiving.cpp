// Archiving the score sheet: the skip rule, the values written, and faults of
// the archive file while the program runs, each followed by a successful retry.
#include "archiving.h"
#include "scoresheet.h"

#include "archivefixture.h"

#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

namespace {

ScoreSheet sheetWith(std::initializer_list<std::pair<ScoreSheet::Counter, qint64>> values)
{
    ScoreSheet s;
    for (const auto &[c, v] : values)
        s.setValue(c, v);
    return s;
}

QStringList captions(const ScoreSheet &s)
{
    QStringList out;
    for (int c = 0; c < ScoreSheet::CounterCount; ++c)
        out << s.caption(ScoreSheet::Counter(c));
    return out;
}

} // namespace

Q_DECLARE_METATYPE(ScoreSheet)

class TstArchiving : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString path;

public:
    enum Fault { Deleted, MadeReadOnly, ReplacedByGarbage, OverwrittenWithGarbage, ReplacedByJet, TableDropped,
                 LockedByAnother, DiskFull };
    Q_ENUM(Fault)

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        // Any warning (a connection still in use, a malformed message) is a fault.
        QTest::failOnWarning(QRegularExpression(QStringLiteral(".")));
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        path = dir->filePath(QStringLiteral("nozioli.mdb"));
        StoreError e;
        QVERIFY2(ResultsStore::create(path, &e), qPrintable(e.message));
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
        const ArchiveResult r = archivia(store, QStringLiteral("Rossi Mario"), sheet);
        QCOMPARE(r.outcome, saved ? ArchiveResult::Saved : ArchiveResult::Skipped);
        QVERIFY(!r.error);
        store.close();
        if (!saved) {
            QVERIFY2(readBytes(path) == bytes && QFileInfo(path).lastModified() == modified,
                     "a skipped archiving leaves the file untouched");
            // Not even a missing archive matters when nothing is to be written.
            ResultsStore none;
            QCOMPARE(archivia(none, QStringLiteral("Rossi Mario"), sheet).outcome, ArchiveResult::Skipped);
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
        QCOMPARE(archivia(store, QStringLiteral("Rossi Mario"), sheet, when).outcome, ArchiveResult::Saved);
        ResultRecord r;
        QCOMPARE(store.find(QStringLiteral("Rossi Mario"), &r), ResultsStore::Lookup::Found);
        QVERIFY2(sameTotals(r, totals(0)), "each total lands in the field of its own name");
        QCOMPARE(r.data, when);
    }

    void faultThenRetry_data()
    {
        QTest::addColumn<Fault>("fault");
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("pupil");
        const QString rossi = QStringLiteral("Rossi Mario");
        QTest::newRow("file deleted") << Deleted << int(StoreError::Missing) << rossi;
        QTest::newRow("file made read-only") << MadeReadOnly << int(StoreError::ReadOnly) << rossi;
        QTest::newRow("replaced by garbage") << ReplacedByGarbage << int(StoreError::NotAnArchive) << rossi;
        QTest::newRow("overwritten with garbage") << OverwrittenWithGarbage << int(StoreError::NotAnArchive) << rossi;
        QTest::newRow("replaced by a Jet database") << ReplacedByJet << int(StoreError::NotAnArchive) << rossi;
        QTest::newRow("table dropped") << TableDropped << int(StoreError::WrongLayout) << rossi;
        QTest::newRow("locked past the timeout") << LockedByAnother << int(StoreError::Locked) << rossi;
        QTest::newRow("disk full") << DiskFull << int(StoreError::DiskFull)
                                   << QStringLiteral("Verdi ").repeated(1500);
    }

    void faultThenRetry()
    {
        QFETCH(Fault, fault);
        QFETCH(int, kind);
        QFETCH(QString, pupil);
        using C = ScoreSheet;
        ResultsStore store;
        QVERIFY(store.open(path));
        QCOMPARE(archivia(store, QStringLiteral("Rossi Mario"), sheetWith({{C::sovragiusti, 1}})).outcome,
                 ArchiveResult::Saved);
        const QByteArray good = readBytes(path);
        const ScoreSheet sheet = sheetWith({{C::sovragiusti, 1}, {C::sovrasbagliati, 2}, {C::nozioligiusti, 3},
                                            {C::noziolisbagliati, 4}, {C::spaziotempogiusti, 5},
                                            {C::spaziotemposbagliati, 6}});
        const QStringList before = captions(sheet);

        std::optional<RawDb> locker;
        switch (fault) {
        case Deleted: QVERIFY(QFile::remove(path)); break;
        case MadeReadOnly: QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadGroup)); break;
        case ReplacedByGarbage: QVERIFY(replaceFile(path, garbage())); break;
        case OverwrittenWithGarbage: QVERIFY(overwriteFile(path, garbage())); break;
        case ReplacedByJet: QVERIFY(replaceFile(path, jetFile())); break;
        case TableDropped: QVERIFY(RawDb(path).exec(QStringLiteral("DROP TABLE nozioli"))); break;
        case LockedByAnother:
            locker.emplace(path);
            QVERIFY(locker->exec(QStringLiteral("BEGIN EXCLUSIVE")));
            store.setBusyTimeout(100);
            break;
        case DiskFull: store.setPageLimitForTesting(1); break;
        }

        // Twice: a second try while the cause remains must not succeed either.
        for (int attempt = 0; attempt < 2; ++attempt) {
            const ArchiveResult r = archivia(store, pupil, sheet);
            QCOMPARE(r.outcome, ArchiveResult::Failed);
            QCOMPARE(int(r.error.kind), kind);
            QVERIFY2(r.error.message.contains(QStringLiteral("nozioli.mdb"))
                         && r.error.message.contains(QDir::toNativeSeparators(dir->path())),
                     qPrintable(r.error.message));
            QVERIFY2(r.error.message.startsWith(QStringLiteral("I risultati non sono stati archiviati.")),
                     "the message says that nothing was stored");
            QCOMPARE(captions(sheet), before);
        }

        switch (fault) {
        case MadeReadOnly: QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner)); break;
        case LockedByAnother: QVERIFY(locker->exec(QStringLiteral("ROLLBACK"))); locker.reset(); break;
        case DiskFull: store.setPageLimitForTesting(0); break;
        default: QVERIFY(replaceFile(path, good)); break;
        }

        const ArchiveResult retry = archivia(store, pupil, sheet);
        QVERIFY2(retry.outcome == ArchiveResult::Saved, qPrintable(retry.error.message));
        ResultsStore fresh;
        QVERIFY(fresh.open(path));
        ResultRecord r;
        QCOMPARE(fresh.find(pupil, &r), ResultsStore::Lookup::Found);
        QVERIFY2(sameTotals(r, totals(0)), "the retry stores the totals kept on the score sheet");
        QCOMPARE(fresh.listNames().value_or(QStringList()).count(pupil), 1);
    }

    // Reading also notices a file deleted under an open connection.
    void listingAfterDeletion()
    {
        ResultsStore store;
        QVERIFY(store.open(path));
        QVERIFY(store.save(QStringLiteral("Rossi"), totals(0), QDateTime::currentDateTime()));
        const QByteArray good = readBytes(path);
        QVERIFY(QFile::remove(path));
        QVERIFY2(!store.listNames(), "names of a deleted file are not listed as if it were there");
        QCOMPARE(store.lastError().kind, StoreError::Missing);
        QVERIFY(replaceFile(path, good));
        QCOMPARE(store.listNames().value_or(QStringList()), QStringList{QStringLiteral("Rossi")});
    }
};

QTEST_GUILESS_MAIN(TstArchiving)
#include "tst_archiving.moc"
