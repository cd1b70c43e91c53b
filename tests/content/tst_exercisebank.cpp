// The bank of 39 exercises: the invariants every key holds and the form of the passages.
#include "content/concepttaxonomy.h"
#include "content/exercisebank.h"

#include <QSet>
#include <QTest>

#include <iterator>

namespace {

// The fixed opening words of passages 1 to 39, in order; the passage goes on after a blank.
const char16_t *const openings[] = {
    u"Con l'impero romano, sorsero anche in Europa",
    u"Le nuove genti arrivate, i Dori, si",
    u"Il santuario di Delfi era molto famoso",
    u"I Fenici, a differenza degli Egizi, vivevano",
    u"Essi furono i primi ad utilizzare il",
    u"Le prime civiltà urbane nacquero in zone",
    u"Provenienti dalle montagne, essi si insediarono nel",
    u"Semplificando, si può dire che nelle civiltà",
    u"Gli Ebrei credevano (e ancora oggi credono)",
    u"I Dori, gli Ioni e gli Eoli",
    u"Il territorio greco, molto montuoso, ostacolava i",
    u"Quando Atene era guidata dagli aristocratici, i",
    u"I Fenici hanno inventato l'alfabeto che si",
    u"Nel III S. d.C. l'impero romano fu",
    u"Tra XI e XII secolo i Papi",
    u"A partire dal XV secolo, nel Centro",
    u"Dalle rotte commerciali con l'America, affluì in",
    u"Con la Pace di Augusta (1555), Carlo",
    u"Filippo II, per governare le regioni del",
    u"Elisabetta I fece pagare meno tasse ai",
    u"Galileo fu molto importante nella storia del",
    u"Luigi XIV è considerato un simbolo della",
    u"Luigi XIV, per sostenere il lusso della",
    u"Gli Illuministi francesi volevano uno stato più",
    u"L'Assemblea Nazionale Costituente, il 4-8-1789, abrogò tutti",
    u"Il Congresso di Vienna, nel 1815, riuscì",
    u"Nel 1848 tutta l'Europa fu scossa da",
    u"L'Italia, dopo l'Unità, è nata con uno",
    u"L'industria trasformò (e continua a trasformare) tutto",
    u"Le grandi potenze europee, mentre sviluppavano le",
    u"Nel 1907 nacque, tra Francia, Inghilterra e",
    u"Una delle cause della I guerra mondiale",
    u"Nei trattati di pace del 1919 ci",
    u"Mussolini, leader dei Fascisti e capo del",
    u"Per gli operai europei la Rivoluzione russa",
    u"I nazisti attuarono la loro ideologia razzista",
    u"La II guerra mondiale è stata provocata",
    u"Nel corso del XX S., soprattutto nella",
    u"Dopo la II guerra mondiale, inizia la",
};
static_assert(std::size(openings) == ExerciseBank::ExerciseCount);

} // namespace

class TstExerciseBank : public QObject
{
    Q_OBJECT

    ConceptTaxonomy taxonomy;
    ExerciseBank bank;

private slots:
    void initTestCase()
    {
        taxonomy.fill();
        bank.frasi();
    }

    void exercise_data()
    {
        QTest::addColumn<int>("number");
        for (int k = 1; k <= ExerciseBank::ExerciseCount; ++k)
            QTest::addRow("exercise %d", k) << k;
    }

    // Every invariant of a key, and the form of its passage.
    void exercise()
    {
        QFETCH(int, number);
        const ExerciseKey &key = bank.key(number);

        QVERIFY2(key.superConceptCount >= 1 && key.superConceptCount <= 4, "1 to 4 super-concepts");
        QVERIFY2(key.conceptCount >= 1 && key.conceptCount <= 4, "1 to 4 concepts");
        QVERIFY2(key.superConcepts[0].isEmpty() && key.concepts[0].isEmpty(), "position 0 stays empty");

        const QStringList supers = key.superConceptList();
        const QStringList concepts = key.conceptList();
        QVERIFY2(!supers.contains(QString()) && !concepts.contains(QString()), "no gap up to the count");
        QCOMPARE(QSet<QString>(supers.begin(), supers.end()).size(), supers.size());
        QCOMPARE(QSet<QString>(concepts.begin(), concepts.end()).size(), concepts.size());

        for (const QString &s : supers)
            QVERIFY2(taxonomy.find(s), qPrintable(QStringLiteral("not a super-concept: ") + s));
        QSet<QString> reached;
        for (const QString &c : concepts) {
            const QString owner = taxonomy.superConceptOf(c);
            QVERIFY2(supers.contains(owner),
                     qPrintable(QStringLiteral("concept outside the key's super-concepts: ") + c));
            reached.insert(owner);
        }
        QCOMPARE(reached.size(), supers.size()); // every super-concept leads to a concept

        QVERIFY(key.periodo == 0 || key.periodo == 1);
        QVERIFY(key.durata >= 0 && key.durata <= 2);
        QVERIFY(key.luogo == 0 || key.luogo == 1);
        QVERIFY(key.tempo == 0 || key.tempo == 1);

        const QString &passage = key.passage;
        const QString opening = QString::fromUtf16(openings[number - 1]);
        QVERIFY2(passage.startsWith(opening + u' '),
                 qPrintable(QStringLiteral("passage does not open with \"%1\"").arg(opening)));
        QVERIFY2(passage.size() >= 81 && passage.size() <= 267,
                 qPrintable(QStringLiteral("length %1 outside 81..267").arg(passage.size())));
        QCOMPARE(passage, passage.normalized(QString::NormalizationForm_C));
        QVERIFY2(!passage.contains(QChar(0x2019)) && !passage.contains(QStringLiteral("  ")),
                 "apostrophes are U+0027 and words are one blank apart");
    }

    void totalsAndLongDurations()
    {
        int supers = 0, concepts = 0;
        QList<int> long_;
        for (int k = 1; k <= ExerciseBank::ExerciseCount; ++k) {
            supers += bank.key(k).superConceptCount;
            concepts += bank.key(k).conceptCount;
            if (bank.key(k).durata == 2)
                long_.append(k);
        }
        QCOMPARE(supers, 79);
        QCOMPARE(concepts, 98);
        QCOMPARE(long_, QList<int>({4, 6, 8, 9, 13, 38}));
    }

    void slotsWithoutExercise()
    {
        for (int k : {-1, 0, 40, 41, 100, 200, 201}) {
            const ExerciseKey &key = bank.key(k);
            QVERIFY2(key.passage.isEmpty() && key.superConceptCount == 0 && key.conceptCount == 0
                         && key.superConcepts[1].isEmpty() && key.concepts[1].isEmpty(),
                     qPrintable(QStringLiteral("slot %1 must hold no exercise").arg(k)));
        }
    }
};

QTEST_APPLESS_MAIN(TstExerciseBank)
#include "tst_exercisebank.moc"
