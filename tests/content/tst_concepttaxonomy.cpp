// The fixed vocabulary: names, counts, exact texts and the empty positions.
#include "concepttaxonomy.h"

#include <QSet>
#include <QTest>

class TstConceptTaxonomy : public QObject
{
    Q_OBJECT

    ConceptTaxonomy taxonomy;

private slots:
    void initTestCase() { taxonomy.fill(); }

    void emptyBeforeFilling()
    {
        const ConceptTaxonomy empty;
        QVERIFY2(!empty.isFilled() && !empty.find(QStringLiteral("cultura")),
                 "an unfilled taxonomy must not offer any list");
        QCOMPARE(empty.conceptCount(QStringLiteral("cultura")), 0);
    }

    void lists_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("labelName");
        QTest::addColumn<int>("count");
        QTest::newRow("cultura") << QStringLiteral("cultura") << QStringLiteral("labcultura") << 9;
        QTest::newRow("società") << QString::fromUtf16(u"societ\u00e0")
                                 << QString::fromUtf16(u"labsociet\u00e0") << 6;
        QTest::newRow("popolazione") << QStringLiteral("popolazione") << QStringLiteral("labpopolazione") << 4;
        QTest::newRow("spazio") << QStringLiteral("spazio") << QStringLiteral("labspazio") << 3;
        QTest::newRow("politica") << QStringLiteral("politica") << QStringLiteral("labpolitica") << 8;
        QTest::newRow("economia") << QStringLiteral("economia") << QStringLiteral("labeconomia") << 10;
        QTest::newRow("avvenimenti") << QStringLiteral("avvenimenti") << QStringLiteral("Labavvenimenti") << 12;
    }

    // Count, label, and the slots that must stay empty: position 0 and every position above the count.
    void lists()
    {
        QFETCH(QString, name);
        QFETCH(QString, labelName);
        QFETCH(int, count);
        const ConceptTaxonomy::Entry *e = taxonomy.find(name);
        QVERIFY2(e, "every one of the seven names must be found by exact comparison");
        QCOMPARE(e->name, name);
        QCOMPARE(e->labelName, labelName);
        QCOMPARE(e->count, count);
        QCOMPARE(taxonomy.conceptCount(name), count);
        QVERIFY2(e->concepts[0].isEmpty(), "position 0 is never used");
        for (int p = 1; p <= ConceptTaxonomy::MaxConcepts; ++p)
            QVERIFY2(e->concepts[size_t(p)].isEmpty() == (p > count), "positions 1..count filled, above empty");
        QVERIFY(taxonomy.conceptAt(name, 0).isEmpty());
        QVERIFY(taxonomy.conceptAt(name, count + 1).isEmpty());
        QVERIFY(!taxonomy.conceptAt(name, count).isEmpty());
    }

    void exactTexts_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("position");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *tag, const char16_t *name, int position, const char16_t *text) {
            QTest::newRow(tag) << QString::fromUtf16(name) << position << QString::fromUtf16(text);
        };
        row("quantità ends in U+00E0", u"popolazione", 3, u"quantit\u00e0");
        row("produttività ends in U+00E0", u"economia", 3, u"produttivit\u00e0");
        row("slash kept", u"politica", 2, u"istituzioni politiche centrali e/o periferiche");
        row("apostrophe and hyphen kept", u"economia", 6, u"potere d'acquisto-prezzi");
        row("e-o with hyphen", u"popolazione", 4, u"gruppi etnici e-o linguistici");
        row("comma kept", u"cultura", 8, u"usi e costumi, tradizioni");
        row("last of the longest list", u"avvenimenti", 12, u"strage, genocidio");
    }

    void exactTexts()
    {
        QFETCH(QString, name);
        QFETCH(int, position);
        QFETCH(QString, text);
        QCOMPARE(taxonomy.conceptAt(name, position), text);
    }

    void accentedNamesAreExact()
    {
        const QString decomposed = QStringLiteral("societa") + QChar(0x0300);
        QVERIFY2(!taxonomy.find(decomposed) && !taxonomy.find(QStringLiteral("societa")),
                 "a decomposed or unaccented name is another text");
        QVERIFY(taxonomy.superConceptOf(QStringLiteral("quantita")).isEmpty());
    }

    // 52 concepts in all, none in two lists, each traced back to its own super-concept.
    void everyConceptBelongsToOneList()
    {
        QSet<QString> seen;
        int total = 0;
        for (const ConceptTaxonomy::Entry &e : taxonomy.entries()) {
            for (int p = 1; p <= e.count; ++p) {
                const QString &c = e.concepts[size_t(p)];
                QVERIFY2(!seen.contains(c), qPrintable(QStringLiteral("in two lists: ") + c));
                seen.insert(c);
                QCOMPARE(taxonomy.superConceptOf(c), e.name);
                QCOMPARE(c, c.normalized(QString::NormalizationForm_C));
                ++total;
            }
        }
        QCOMPARE(total, 52);
        QCOMPARE(taxonomy.superConceptNames().size(), ConceptTaxonomy::SuperConceptCount);
    }
};

QTEST_APPLESS_MAIN(TstConceptTaxonomy)
#include "tst_concepttaxonomy.moc"
