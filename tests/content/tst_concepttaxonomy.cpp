// The fixed vocabulary: the shape of every list, and no concept in two lists.
#include "content/concepttaxonomy.h"

#include <QSet>
#include <QTest>

class TstConceptTaxonomy : public QObject
{
    Q_OBJECT

    ConceptTaxonomy taxonomy;

private slots:
    void initTestCase() { taxonomy.fill(); }

    // Positions 1..count filled, position 0 and every position above the count
    // empty; no concept in two lists, each traced back to its own
    // super-concept and stored in NFC.
    void everyListHasItsShape()
    {
        QSet<QString> seen;
        for (const ConceptTaxonomy::Entry &e : taxonomy.entries()) {
            QCOMPARE(taxonomy.find(e.name), &e);
            QVERIFY2(e.count >= 3 && e.count <= ConceptTaxonomy::MaxConcepts, qPrintable(e.name));
            QVERIFY(taxonomy.conceptAt(e.name, 0).isEmpty());
            QVERIFY(taxonomy.conceptAt(e.name, e.count + 1).isEmpty());
            for (int p = 0; p <= ConceptTaxonomy::MaxConcepts; ++p)
                QVERIFY2(e.concepts[size_t(p)].isEmpty() == (p < 1 || p > e.count), "positions 1..count filled");
            for (int p = 1; p <= e.count; ++p) {
                const QString &c = e.concepts[size_t(p)];
                QCOMPARE(taxonomy.conceptAt(e.name, p), c);
                QVERIFY2(!seen.contains(c), qPrintable(QStringLiteral("in two lists: ") + c));
                seen.insert(c);
                QCOMPARE(taxonomy.superConceptOf(c), e.name);
                QCOMPARE(c, c.normalized(QString::NormalizationForm_C));
            }
        }
    }
};

QTEST_APPLESS_MAIN(TstConceptTaxonomy)
#include "tst_concepttaxonomy.moc"
