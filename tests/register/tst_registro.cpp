// The register on real archives: a read-only copy left byte for byte as it
// was, an archiving by another process followed with the selection and the
// sort kept, and the reports of nozioli-archivio (the PDF read back with
// pdftotext).
#include "../store/archivefixture.h"
#include "../testserver.h"
#include "register/classregister.h"
#include "register/classreport.h"
#include "register/registrowindow.h"
#include "store/resultsstore.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <cstdlib>

using namespace Qt::StringLiterals;

namespace {

struct Pupil
{
    QString name;
    ArchiveTotals totals;
};

bool makeArchive(const QString &path, const QList<Pupil> &pupils)
{
    if (!ResultsStore::create(path, nullptr))
        return false;
    ResultsStore store;
    if (!store.open(path))
        return false;
    for (const Pupil &p : pupils) {
        if (!store.save(p.name, p.totals, QDateTime(QDate(2025, 3, 4), QTime(9, 30))))
            return false;
    }
    return true;
}

struct Run
{
    int exitCode = -1;      // -1: did not end normally
    QByteArray out;
    QString err;
};

Run run(const QString &program, const QStringList &args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit)
        return {};
    return {p.exitCode(), p.readAllStandardOutput(), QString::fromUtf8(p.readAllStandardError())};
}

// Another process archiving, as a pupil's program would: this test program
// started again with --archivia.
bool archiveElsewhere(const QString &path, const QString &name, qint64 right)
{
    return QProcess::execute(QCoreApplication::applicationFilePath(),
                             {QStringLiteral("--archivia"), path, name, QString::number(right)})
        == 0;
}

QTableView *tableOf(RegistroWindow &w)
{
    return w.findChild<QTableView *>(QStringLiteral("tabella"));
}

QStringList namesShown(ClassRegister &reg)
{
    QStringList names;
    for (const int row : reg.shown()->shownRows())
        names << reg.table()->pupil(row).record.nome;
    return names;
}

} // namespace

class TstRegistro : public QObject
{
    Q_OBJECT

    const QList<Pupil> pupils{
        {u"Rossi Niccolò"_s, {3, 1, 2, 1, 1, 0}},
        {u"=1+1"_s, {0, 0, 0, 0, 0, 2}},
        {u"D'Amico Lia"_s, {5, 0, 0, 0, 2, 2}},
        {u"Bianchi Luca"_s, {}},
    };

private slots:
    void initTestCase() { QTest::failOnWarning(QRegularExpression(QStringLiteral("QSql|database"))); }

    void readOnlyCopyIsLeftAsItWas()
    {
        QTemporaryDir dir;
        const QString original = dir.filePath(QStringLiteral("nozioli.mdb"));
        QVERIFY(makeArchive(original, pupils));
        QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("copia")));
        const QString copy = dir.filePath(QStringLiteral("copia/nozioli.mdb"));
        QVERIFY(QFile::copy(original, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        const QByteArray bytes = readBytes(copy);

        {
            ResultsStore store;
            QVERIFY(store.openReadOnly(copy));
            QCOMPARE(store.records()->size(), pupils.size());
            QVERIFY(!store.save(QStringLiteral("Nuovo"), {}, QDateTime::currentDateTime()));
            QCOMPARE(store.lastError().kind, StoreError::ReadOnly);
        }
        {
            ClassRegister reg;
            RegistroWindow window(reg);
            QVERIFY(window.openArchive(copy));
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            QCOMPARE(window.windowTitle(), QStringLiteral("Registro di classe — nozioli.mdb"));
            window.selectName(QStringLiteral("D'Amico Lia"));
            QTest::keyClick(tableOf(window), Qt::Key_F5);
            QCOMPARE(window.selectedName(), QStringLiteral("D'Amico Lia"));
            const QString csv = dir.filePath(QStringLiteral("registro.csv"));
            const QString pdf = dir.filePath(QStringLiteral("registro.pdf"));
            QVERIFY(window.exportSpreadsheet(csv));
            QVERIFY(window.exportPdf(pdf));
            QVERIFY(readBytes(csv).startsWith("\xEF\xBB\xBF"));
            QVERIFY(readBytes(pdf).startsWith("%PDF"));
        }
        QCOMPARE(readBytes(copy), bytes);
        QCOMPARE(QDir(dir.filePath(QStringLiteral("copia"))).entryList(QDir::Files | QDir::Hidden),
                 QStringList{QStringLiteral("nozioli.mdb")});
    }

    void followsAnArchivingByAnotherProcess()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nozioli.mdb"));
        QVERIFY(makeArchive(path, pupils));
        ClassRegister reg;
        RegistroWindow window(reg);
        QVERIFY(window.openArchive(path));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTableView *table = tableOf(window);
        // The teacher sorts by the overall share, highest first, with clicks on its heading.
        QHeaderView *header = table->horizontalHeader();
        const QPoint heading(header->sectionViewportPosition(ClassTableModel::OverallShare) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, heading);
        if (header->sortIndicatorOrder() != Qt::DescendingOrder)
            QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, heading);
        QCOMPARE(reg.shown()->sortColumn(), int(ClassTableModel::OverallShare));
        window.selectName(QStringLiteral("Bianchi Luca"));

        QVERIFY(archiveElsewhere(path, QStringLiteral("Bianchi Luca"), 7));
        QVERIFY(archiveElsewhere(path, QStringLiteral("Amato Sara"), 1));
        QTRY_COMPARE(reg.table()->pupilCount(), 5);
        const int bianchi = reg.table()->rowOfName(QStringLiteral("Bianchi Luca"));
        QTRY_COMPARE(reg.table()->text(bianchi, ClassTableModel::SovraRight), QStringLiteral("7"));
        QCOMPARE(window.selectedName(), QStringLiteral("Bianchi Luca"));
        QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), int(ClassTableModel::OverallShare));
        QCOMPARE(table->horizontalHeader()->sortIndicatorOrder(), Qt::DescendingOrder);
        // Overall shares: Bianchi 100 %, Amato 100 %, D'Amico 77,8 %, Rossi 75 %, "=1+1" 0 %.
        QCOMPARE(namesShown(reg), u"Amato Sara|Bianchi Luca|D'Amico Lia|Rossi Niccolò|=1+1"_s.split(u'|'));

        // A copy put in the archive's place: read anew, the pupil still selected.
        const QString other = dir.filePath(QStringLiteral("altro.mdb"));
        QVERIFY(makeArchive(other, {{u"Verdi Anna"_s, {1, 1}}, {u"Bianchi Luca"_s, {2, 0}}}));
        QVERIFY(QFile::remove(path));
        QVERIFY(QFile::copy(other, path));
        QTRY_COMPARE(reg.table()->pupilCount(), 2);
        QCOMPARE(window.selectedName(), QStringLiteral("Bianchi Luca"));
        QCOMPARE(namesShown(reg), u"Bianchi Luca|Verdi Anna"_s.split(u'|'));
    }

    // On a server the register polls: another PC's archiving shows up with
    // the selection kept.
    void followsTheServer()
    {
        TestServer server;
        QVERIFY2(server.start(), qPrintable(server.error()));
        QVERIFY(makeArchive(server.uri(), pupils));
        ClassRegister reg;
        RegistroWindow window(reg);
        QVERIFY(window.openArchive(server.uri()));
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QCOMPARE(window.windowTitle(), u"Registro di classe — "_s + ResultsStore::displayName(server.uri()));
        QVERIFY2(!window.windowTitle().contains(u"postgresql"_s), "the server is named, not its address");
        window.selectName(QStringLiteral("Bianchi Luca"));
        QVERIFY(archiveElsewhere(server.uri(), QStringLiteral("Bianchi Luca"), 7));
        QVERIFY(archiveElsewhere(server.uri(), QStringLiteral("Amato Sara"), 1));
        QTRY_COMPARE_WITH_TIMEOUT(reg.table()->pupilCount(), 5, 4 * ClassRegister::PollMs);
        const int bianchi = reg.table()->rowOfName(QStringLiteral("Bianchi Luca"));
        QTRY_COMPARE_WITH_TIMEOUT(reg.table()->text(bianchi, ClassTableModel::SovraRight), QStringLiteral("7"),
                                  4 * ClassRegister::PollMs);
        QCOMPARE(window.selectedName(), QStringLiteral("Bianchi Luca"));
    }

    // At start-up the first rows by folded name are shown, then the whole
    // class takes their place with the selection and the sort kept.
    void firstRowsThenTheWholeClass()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nozioli.mdb"));
        QVERIFY(makeArchive(path, pupils + QList<Pupil>{{u"Amato Sara"_s, {1, 0}}, {u"Élise Neri"_s, {1, 1}}}));
        QVERIFY2(!ClassRegister::readFirst(path, 7).partial, "fewer rows than asked for are the whole class");
        ClassRegister reg;
        RegistroWindow window(reg);
        // By folded name "=1+1", "amato sara", "bianchi luca" come first; "élise neri" last.
        QVERIFY(window.openArchive(ClassRegister::readFirst(path, 3)));
        QVERIFY(reg.isPartial());
        auto *spreadsheet = window.findChild<QAction *>(QStringLiteral("esportaFoglio"));
        QVERIFY2(!spreadsheet->isEnabled(), "no report of part of the class");
        tableOf(window)->sortByColumn(ClassTableModel::OverallShare, Qt::DescendingOrder);
        window.selectName(QStringLiteral("Bianchi Luca"));
        QCOMPARE(namesShown(reg), u"Amato Sara|=1+1|Bianchi Luca"_s.split(u'|'));

        QVERIFY(reg.complete(ClassRegister::read(path)));
        QVERIFY(!reg.isPartial());
        QVERIFY(spreadsheet->isEnabled());
        QCOMPARE(window.selectedName(), QStringLiteral("Bianchi Luca"));
        // Overall: Amato 100 %, D'Amico 77,8 %, Rossi 75 %, Élise 50 %, "=1+1" 0 %, Bianchi "–".
        QCOMPARE(namesShown(reg), u"Amato Sara|D'Amico Lia|Rossi Niccolò|Élise Neri|=1+1|Bianchi Luca"_s.split(u'|'));
        QVERIFY2(!reg.complete(ClassRegister::read(path)), "the whole class is on show already");
    }

    // Reading every row takes the local time's offset once an hour of the
    // archive and checks it on every row: each row must come back as the
    // moment it was archived, in winter and in summer time, and in another
    // time zone the program is started in later.
    void datesReadBackInEveryTimeZone()
    {
        if (!QFile::exists(QStringLiteral("/usr/share/zoneinfo/Europe/Rome")))
            QSKIP("no time-zone data for Europe/Rome (Debian tzdata)");
        const QByteArray zone = qgetenv("TZ");
        const auto restore = qScopeGuard([&] {
            if (zone.isNull())
                qunsetenv("TZ");
            else
                qputenv("TZ", zone);
        });
        const QList<std::pair<QDate, QTime>> moments{
            {QDate(2025, 1, 15), QTime(8, 0)},          // winter, +1
            {QDate(2025, 7, 15), QTime(8, 0)},          // summer, +2
            {QDate(2025, 3, 30), QTime(1, 59, 59)},     // the last second of winter time
            {QDate(2025, 3, 30), QTime(3, 0, 0)},       // the first of summer time
            {QDate(2025, 10, 26), QTime(3, 30)},        // winter again
        };
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nozioli.mdb"));
        QVERIFY(ResultsStore::create(path, nullptr));
        qputenv("TZ", "Europe/Rome");
        {
            ResultsStore store;
            QVERIFY(store.open(path));
            for (qsizetype i = 0; i < moments.size(); ++i)
                QVERIFY(store.save(QStringLiteral("Alunno %1").arg(i), {}, QDateTime(moments[i].first, moments[i].second)));
        }
        for (const char *tz : {"Europe/Rome", "UTC", "Europe/Rome"}) {
            qputenv("TZ", tz);
            ResultsStore store;
            QVERIFY(store.openReadOnly(path));
            const std::optional<QList<ResultRecord>> rows = store.records();
            QVERIFY(rows);
            QCOMPARE(rows->size(), moments.size());
            for (qsizetype i = 0; i < moments.size(); ++i) {
                const QDateTime expected(moments[i].first, moments[i].second);
                QCOMPARE(rows->at(i).data, expected);
                QCOMPARE(rows->at(i).data.offsetFromUtc(), expected.offsetFromUtc());
            }
        }
    }

    // nozioli-archivio rapporto and esporta --foglio: the same reports as the
    // window's, every pupil in Italian alphabetical order.
    void reportsFromTheCommandLine()
    {
        const QString pdftotext = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
        QVERIFY2(!pdftotext.isEmpty(), "pdftotext (Debian poppler-utils) reads the report back");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("nozioli.mdb"));
        QVERIFY(makeArchive(path, pupils));
        const QByteArray bytes = readBytes(path);

        const QString pdf = dir.filePath(QStringLiteral("classe.pdf"));
        Run r = run(QStringLiteral(ARCHIVE_TOOL), {QStringLiteral("rapporto"), path, QStringLiteral("-o"), pdf});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        r = run(pdftotext, {QStringLiteral("-layout"), QStringLiteral("-enc"), QStringLiteral("UTF-8"), pdf,
                            QStringLiteral("-")});
        QCOMPARE(r.exitCode, 0);
        const QStringList lines = QString::fromUtf8(r.out).split(u'\n');
        ClassTableModel table;
        table.setRecords(*[&] {
            ResultsStore store;
            store.openReadOnly(path);
            return store.records();
        }());
        for (int row = 0; row < table.pupilCount(); ++row) {
            const QString name = table.pupil(row).record.nome;
            const auto line = std::find_if(lines.cbegin(), lines.cend(),
                                           [&](const QString &l) { return l.trimmed().startsWith(name); });
            QVERIFY2(line != lines.cend(), qPrintable(name));
            // The four shares, in order, on the pupil's line.
            qsizetype from = name.size();
            for (int c = ClassTableModel::SovraShare; c <= ClassTableModel::OverallShare; ++c) {
                const QString share = table.text(row, c);
                const qsizetype at = line->indexOf(share, from);
                QVERIFY2(at >= 0, qPrintable(QStringLiteral("%1: %2 in «%3»").arg(name, share, *line)));
                from = at + share.size();
            }
        }

        const QString csv = dir.filePath(QStringLiteral("classe.csv"));
        r = run(QStringLiteral(ARCHIVE_TOOL),
                {QStringLiteral("esporta"), QStringLiteral("--foglio"), path, QStringLiteral("-o"), csv});
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QCOMPARE(readBytes(csv), spreadsheetCsv(table, rowsByName(table)));
        QVERIFY2(readBytes(csv).contains("\r\n'=1+1;"), "a name that is a formula stays text");

        r = run(QStringLiteral(ARCHIVE_TOOL), {QStringLiteral("rapporto"), path});
        QCOMPARE(r.exitCode, 2);
        QCOMPARE(readBytes(path), bytes);
    }
};

int main(int argc, char *argv[])
{
    // The other process of followsAnArchivingByAnotherProcess:
    //   tst_registro --archivia ARCHIVIO NOME GIUSTI
    if (argc == 5 && qstrcmp(argv[1], "--archivia") == 0) {
        QCoreApplication app(argc, argv);
        ResultsStore store;
        ArchiveTotals totals;
        totals.sovragiusti = std::atoi(argv[4]);
        const bool saved = store.open(QString::fromLocal8Bit(argv[2]))
            && store.save(QString::fromUtf8(argv[3]), totals, QDateTime::currentDateTime());
        return saved ? 0 : 1;
    }
    QApplication app(argc, argv);
    TstRegistro test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_registro.moc"
