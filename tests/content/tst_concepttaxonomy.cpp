// The fixed vocabulary: the shape of every list, exact comparison of names,
// accented letters as single characters, and no concept in two lists.
#include "content/concepttaxonomy.h"

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

    // Positions 1..count filled, position 0 and every position above the count
    // empty; 52 concepts in all, none in two lists, each traced back to its own
    // super-concept and stored in NFC.
    void everyListHasItsShape()
    {
        QSet<QString> seen;
        int total = 0;
        for (const ConceptTaxonomy::Entry &e : taxonomy.entries()) {
            QCOMPARE(taxonomy.find(e.name), &e);
            QVERIFY2(e.count >= 3 && e.count <= ConceptTaxonomy::MaxConcepts, qPrintable(e.name));
            QVERIFY2(e.concepts[0].isEmpty(), "position 0 is never used");
            QVERIFY(taxonomy.conceptAt(e.name, 0).isEmpty());
            QVERIFY(taxonomy.conceptAt(e.name, e.count + 1).isEmpty());
            for (int p = 1; p <= ConceptTaxonomy::MaxConcepts; ++p)
                QVERIFY2(e.concepts[size_t(p)].isEmpty() == (p > e.count), "positions 1..count filled, above empty");
            for (int p = 1; p <= e.count; ++p) {
                const QString &c = e.concepts[size_t(p)];
                QCOMPARE(taxonomy.conceptAt(e.name, p), c);
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

    void accentedTextsAreExact()
    {
        QVERIFY2(taxonomy.find(QString::fromUtf16(u"societ\u00e0")), "società ends in U+00E0");
        QCOMPARE(taxonomy.conceptAt(QStringLiteral("popolazione"), 3), QString::fromUtf16(u"quantit\u00e0"));
        QCOMPARE(taxonomy.conceptAt(QStringLiteral("economia"), 3), QString::fromUtf16(u"produttivit\u00e0"));
        const QString decomposed = QStringLiteral("societa") + QChar(0x0300);
        QVERIFY2(!taxonomy.find(decomposed) && !taxonomy.find(QStringLiteral("societa")),
                 "a decomposed or unaccented name is another text");
        QVERIFY(taxonomy.superConceptOf(QStringLiteral("quantita")).isEmpty());
    }
};

QTEST_APPLESS_MAIN(TstConceptTaxonomy)
#include "tst_concepttaxonomy.moc"
