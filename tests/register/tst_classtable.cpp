// The class table of the register: shares, sorting, searching, the summary of
// the charts and the spreadsheet file.
#include "register/archivelocation.h"
#include "register/classfilter.h"
#include "register/classreport.h"
#include "register/classtable.h"

#include <QDir>
#include <QFile>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

// A pupil with right/wrong counts of super-concepts, concepts and space-time.
ResultRecord pupil(const QString &name, std::array<double, 6> counts = {}, const QDateTime &when = {})
{
    ResultRecord r;
    r.nome = name;
    r.data = when.isValid() ? when : QDateTime(QDate(2024, 9, 16), QTime(8, 30));
    r.sovragiusti = counts[0];
    r.sovrasbagliati = counts[1];
    r.nozioligiusti = counts[2];
    r.noziolisbagliati = counts[3];
    r.spaziotempogiusti = counts[4];
    r.spaziotemposbagliati = counts[5];
    return r;
}

QStringList namesShown(const ClassFilterModel &shown)
{
    QStringList names;
    for (const int row : shown.shownRows())
        names << shown.table()->pupil(row).record.nome;
    return names;
}

} // namespace

class TstClassTable : public QObject
{
    Q_OBJECT

private slots:
    void shares_data()
    {
        QTest::addColumn<ResultRecord>("record");
        QTest::addColumn<QStringList>("texts");     // sovra, nozioli, spazio-tempo, in tutto

        QTest::newRow("every kind answered")
            << pupil(QStringLiteral("A"), {3, 1, 2, 1, 1, 0}) << u"75,0%|66,7%|100,0%|75,0%"_s.split(u'|');
        QTest::newRow("no concepts answered shows a dash")
            << pupil(QStringLiteral("A"), {1, 1, 0, 0, 0, 4}) << u"50,0%|–|0,0%|16,7%"_s.split(u'|');
        QTest::newRow("no answers at all")
            << pupil(QStringLiteral("A")) << u"–|–|–|–"_s.split(u'|');
        QTest::newRow("only wrong answers are 0 %, not a dash")
            << pupil(QStringLiteral("A"), {0, 2, 0, 0, 0, 0}) << u"0,0%|–|–|0,0%"_s.split(u'|');
    }

    void shares()
    {
        QFETCH(ResultRecord, record);
        QFETCH(QStringList, texts);
        ClassTableModel table;
        table.setRecords({record});
        QStringList shown;
        for (int c = ClassTableModel::SovraShare; c <= ClassTableModel::OverallShare; ++c)
            shown << table.data(table.index(0, c)).toString();
        QCOMPARE(shown, texts);
    }

    // Italian alphabetical order ignores case and accents and reads numbers
    // as numbers; code-point order would put "de Santis", "Èrcoli" and
    // "Ñeco" after "Zanetti" and "Rossi 10" before "Rossi 2".
    void sortsNamesInItalianOrder()
    {
        const QStringList added = u"Zanetti Ugo|Èrcoli Anna|de Santis Rita|Rossi 10|Ñeco Luis|Rossi 2|De Luca Pia|"
                                  u"ercolani Bice|Àlberti Ciro"_s.split(u'|');
        QList<ResultRecord> records;
        for (const QString &n : added)
            records << pupil(n);
        ClassTableModel table;
        table.setRecords(records);
        ClassFilterModel shown(&table);
        shown.sort(ClassTableModel::Name, Qt::AscendingOrder);
        const QStringList expected = u"Àlberti Ciro|De Luca Pia|de Santis Rita|ercolani Bice|Èrcoli Anna|Ñeco Luis|"
                                     u"Rossi 2|Rossi 10|Zanetti Ugo"_s.split(u'|');
        QCOMPARE(namesShown(shown), expected);
        shown.sort(ClassTableModel::Name, Qt::DescendingOrder);
        QCOMPARE(namesShown(shown), QStringList(expected.crbegin(), expected.crend()));
    }

    // Shares sort as numbers with "–" lowest, ties by name; dates by moment.
    void sortsValueColumns_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<bool>("descending");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("overall share, dash first, ties by name")
            << int(ClassTableModel::OverallShare) << false << u"Dini|Bassi|Conti|Amato"_s.split(u'|');
        QTest::newRow("overall share descending, ties still by name")
            << int(ClassTableModel::OverallShare) << true << u"Amato|Bassi|Conti|Dini"_s.split(u'|');
        QTest::newRow("count of wrong concepts, 10 after 9")
            << int(ClassTableModel::NozioliWrong) << false << u"Dini|Amato|Bassi|Conti"_s.split(u'|');
        QTest::newRow("last archiving across a change of year")
            << int(ClassTableModel::LastArchiving) << false << u"Conti|Dini|Amato|Bassi"_s.split(u'|');
    }

    void sortsValueColumns()
    {
        QFETCH(int, column);
        QFETCH(bool, descending);
        QFETCH(QStringList, expected);
        ClassTableModel table;
        table.setRecords({
            pupil(QStringLiteral("Amato"), {9, 1, 0, 9, 0, 0}, QDateTime(QDate(2025, 1, 8), QTime(9, 0))),
            pupil(QStringLiteral("Conti"), {1, 1, 0, 10, 0, 0}, QDateTime(QDate(2024, 12, 31), QTime(23, 59))),
            pupil(QStringLiteral("Bassi"), {1, 1, 0, 10, 0, 0}, QDateTime(QDate(2025, 1, 8), QTime(10, 0))),
            pupil(QStringLiteral("Dini"), {}, QDateTime(QDate(2025, 1, 2), QTime(8, 0))),
        });
        ClassFilterModel shown(&table);
        shown.sort(column, descending ? Qt::DescendingOrder : Qt::AscendingOrder);
        QCOMPARE(namesShown(shown), expected);
    }

    void searchIgnoresCaseAndAccents_data()
    {
        QTest::addColumn<QString>("search");
        QTest::addColumn<QStringList>("expected");
        QTest::newRow("plain letters find accented ones") << u"niccolo"_s << QStringList{u"Bruno Niccolò"_s};
        QTest::newRow("accented capitals find plain letters") << u"ÉVA"_s << u"Niccolai Èva|Rossi Eva"_s.split(u'|');
        QTest::newRow("part of a surname") << u"ross"_s << QStringList{u"Rossi Eva"_s};
        QTest::newRow("spaces around and between are loose") << u"  rossi   eva "_s << QStringList{u"Rossi Eva"_s};
        QTest::newRow("nothing matches") << u"zeta"_s << QStringList();
        QTest::newRow("empty search shows everyone")
            << u""_s << u"Bruno Niccolò|Niccolai Èva|Rossi Eva"_s.split(u'|');
    }

    void searchIgnoresCaseAndAccents()
    {
        QFETCH(QString, search);
        QFETCH(QStringList, expected);
        ClassTableModel table;
        table.setRecords({pupil(QStringLiteral("Rossi Eva")), pupil(QStringLiteral("Bruno Niccolò")),
                          pupil(QStringLiteral("Niccolai Èva"))});
        ClassFilterModel shown(&table);
        shown.sort(ClassTableModel::Name);
        shown.setSearchText(search);
        QCOMPARE(namesShown(shown), expected);
    }

    // An archiving changes a row in place or adds one at the end: views are
    // told just that, so that they keep their selection; anything else resets.
    void readingAgainAnnouncesOnlyWhatChanged()
    {
        ClassTableModel table;
        table.setRecords({pupil(QStringLiteral("Rossi")), pupil(QStringLiteral("Bianchi"))});
        QSignalSpy reset(&table, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&table, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&table, &QAbstractItemModel::rowsInserted);

        table.setRecords({pupil(QStringLiteral("Rossi")), pupil(QStringLiteral("Bianchi"), {1, 0, 0, 0, 0, 0}),
                          pupil(QStringLiteral("Amato"))});
        QCOMPARE(reset.count(), 0);
        QCOMPARE(inserted.count(), 1);
        QCOMPARE(inserted.first().at(1).toInt(), 0);       // "Amato" takes its place, first
        QCOMPARE(table.pupil(0).record.nome, QStringLiteral("Amato"));
        QCOMPARE(changed.count(), 1);
        QCOMPARE(changed.first().at(0).toModelIndex().row(), 1);
        QCOMPARE(table.text(1, ClassTableModel::SovraShare), QStringLiteral("100,0%"));

        table.setRecords({pupil(QStringLiteral("Bianchi"))});
        QCOMPARE(reset.count(), 1);
        QCOMPARE(table.pupilCount(), 1);
    }

    void summaryOfTheCharts()
    {
        ClassTableModel table;
        table.setRecords({
            pupil(QStringLiteral("A"), {1, 0, 1, 0, 1, 0}),     // 100 %: the last band
            pupil(QStringLiteral("B"), {1, 9, 0, 0, 0, 0}),     // 10 %: the band 10–20
            pupil(QStringLiteral("C"), {0, 1, 0, 0, 0, 0}),     // 0 %
            pupil(QStringLiteral("D")),                         // no answers
        });
        ClassSummary s = summarize(table, {0, 1, 2, 3});
        QCOMPARE(s.pupils, 4);
        QCOMPARE(s.withoutAnswers, 1);
        const std::array<int, 10> bands{1, 1, 0, 0, 0, 0, 0, 0, 0, 1};
        QCOMPARE(s.bands, bands);
        // The mean over the pupils who answered that kind: (100 + 10 + 0) / 3, and A alone for concepts.
        QCOMPARE(*s.averages[size_t(AnswerKind::Sovranozioli)], 110.0 / 3);
        QCOMPARE(*s.averages[size_t(AnswerKind::Nozioli)], 100.0);
        QCOMPARE(s.answered[size_t(AnswerKind::Nozioli)], 1);

        s = summarize(table, {3});
        QVERIFY2(!s.averages[size_t(AnswerKind::Overall)], "no answers: no mean, no division by zero");

        // Counts of pupils as Italian writes them, as the charts' own axes do.
        QCOMPARE(ClassTableModel::pupilsText(1), QStringLiteral("1 alunno"));
        QCOMPARE(ClassTableModel::pupilsText(32767), QStringLiteral("32.767 alunni"));
    }

    // The file as Italian spreadsheets open it, byte for byte: BOM,
    // semicolons, CRLF, decimal commas, empty cells for "–", and names that
    // could run as formulas or break the line kept as text.
    void spreadsheetFile()
    {
        ClassTableModel table;
        table.setRecords({
            pupil(QStringLiteral("Rossi Niccolò"), {3, 1, 2, 1, 1, 0}, QDateTime(QDate(2025, 3, 4), QTime(9, 5, 7))),
            pupil(QStringLiteral("=SOMMA(A1:A9)"), {0, 0, 0, 0, 0, 2}, QDateTime(QDate(2025, 3, 5), QTime(12, 0))),
            pupil(QStringLiteral("Bianchi; \"Lulù\""), {}, QDateTime(QDate(2025, 3, 6), QTime(0, 0))),
        });
        const QByteArray expected =
            "\xEF\xBB\xBF"
            "Alunno;Ultima archiviazione;Sovranozioli giusti;Sovranozioli sbagliati;Nozioli giusti;"
            "Nozioli sbagliati;Spazio-tempo giusti;Spazio-tempo sbagliati;% giusti sovranozioli;"
            "% giusti nozioli;% giusti spazio-tempo;% giusti in tutto\r\n"
            "'=SOMMA(A1:A9);05/03/2025 12:00:00;0;0;0;0;0;2;;;0,0;0,0\r\n"
            "\"Bianchi; \"\"Lul\xC3\xB9\"\"\";06/03/2025 00:00:00;0;0;0;0;0;0;;;;\r\n"
            "Rossi Niccol\xC3\xB2;04/03/2025 09:05:07;3;1;2;1;1;0;75,0;66,7;100,0;75,0\r\n";
        QCOMPARE(spreadsheetCsv(table, rowsByName(table)), expected);
    }

    void spreadsheetTextKeepsFormulasAsText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("cell");
        QTest::newRow("plus") << u"+39 333"_s << u"'+39 333"_s;
        QTest::newRow("minus") << u"-2"_s << u"'-2"_s;
        QTest::newRow("at") << u"@SOMMA(1)"_s << u"'@SOMMA(1)"_s;
        QTest::newRow("tab") << u"\t=1"_s << u"'\t=1"_s;
        QTest::newRow("a formula with a semicolon is quoted too") << u"=A1;B1"_s << u"\"'=A1;B1\""_s;
        QTest::newRow("an ordinary name") << u"D'Amico Lia"_s << u"D'Amico Lia"_s;
        QTest::newRow("a hyphen inside") << u"Rossi-Bianchi"_s << u"Rossi-Bianchi"_s;
    }

    void spreadsheetTextKeepsFormulasAsText()
    {
        QFETCH(QString, text);
        QFETCH(QString, cell);
        QCOMPARE(spreadsheetText(text), cell);
    }

    // The archive opened when none is named: the pupils' program's, by its
    // settings ("@" stands for the test's folder).
    void programArchive_data()
    {
        QTest::addColumn<QString>("setting");       // [archivio] cartella in ./nozioli.ini; none when null
        QTest::addColumn<QString>("archive");       // empty: refused
        QTest::newRow("no settings: the current folder") << QString() << QStringLiteral("@corrente/nozioli.mdb");
        QTest::newRow("the folder set") << QStringLiteral("@condivisa") << QStringLiteral("@condivisa/nozioli.mdb");
        QTest::newRow("a folder set relative to the file") << QStringLiteral("../condivisa")
                                                           << QStringLiteral("@condivisa/nozioli.mdb");
        QTest::newRow("a missing folder is refused, not the current one") << QStringLiteral("@manca") << QString();
    }

    void programArchive()
    {
        QFETCH(QString, setting);
        QFETCH(QString, archive);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const auto at = [&dir](QString text) { return text.replace(u'@', dir.path() + u'/'); };
        for (const char *folder : {"corrente", "utente", "sistema", "condivisa"})
            QVERIFY(QDir(dir.path()).mkdir(QString::fromLatin1(folder)));
        qputenv("XDG_CONFIG_HOME", at(QStringLiteral("@utente")).toUtf8());
        qputenv("XDG_CONFIG_DIRS", at(QStringLiteral("@sistema")).toUtf8());
        const QString startFolder = QDir::currentPath();
        const auto back = qScopeGuard([&] { QDir::setCurrent(startFolder); });
        QVERIFY(QDir::setCurrent(at(QStringLiteral("@corrente"))));
        if (!setting.isNull()) {
            QFile ini(QStringLiteral("nozioli.ini"));
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[archivio]\ncartella=\"" + at(setting).toUtf8() + "\"\n");
        }

        QString problem;
        const std::optional<QString> path = programArchivePath(&problem);
        if (archive.isEmpty()) {
            QVERIFY(!path);
            QVERIFY2(problem.contains(QStringLiteral("nozioli.ini")) && problem.contains(QStringLiteral("cartella")),
                     qPrintable(problem));
        } else {
            QVERIFY2(path, qPrintable(problem));
            QCOMPARE(QDir::cleanPath(*path), QDir::cleanPath(at(archive)));
        }
    }
};

QTEST_GUILESS_MAIN(TstClassTable)
#include "tst_classtable.moc"
