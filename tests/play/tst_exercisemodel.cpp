// Judging rules of the exercise in progress, played on the real bank and on
// hand-made keys for the corner cases the bank does not contain.
#include "content/concepttaxonomy.h"
#include "content/exercisebank.h"
#include "play/model/exercisemodel.h"

#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;
using C = ScoreSheet::Counter;

class TstExerciseModel : public QObject
{
    Q_OBJECT

    ConceptTaxonomy taxonomy;
    ExerciseBank bank;
    std::unique_ptr<ExerciseModel> model;

    qint64 v(C c) const { return model->scoreSheet().value(c); }

    // Index in the concept panel of a concept text, -1 when not shown.
    int slotOf(const QString &text) const
    {
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            const auto &s = model->conceptSlot(i);
            if (s.shown && s.caption == text)
                return i;
        }
        return -1;
    }

    // A hand-made key in slot 200, which the bank leaves empty.
    ExerciseKey &testKey()
    {
        ExerciseKey &k = bank.slot(200);
        k = ExerciseKey{};
        return k;
    }

private slots:
    void init()
    {
        taxonomy.fill();
        bank = ExerciseBank{};
        bank.frasi();
        model = std::make_unique<ExerciseModel>(taxonomy, bank);
    }

    void superConcepts_data()
    {
        QTest::addColumn<int>("exercise");
        QTest::addColumn<QStringList>("clicks");
        QTest::addColumn<int>("right");
        QTest::addColumn<int>("wrong");
        QTest::addColumn<QString>("panelOwner"); // super-concept whose list is shown, or ""
        QTest::newRow("right opens its list") << 1 << QStringList{u"cultura"_s} << 1 << 0 << u"cultura"_s;
        QTest::newRow("wrong leaves the panel hidden") << 1 << QStringList{u"economia"_s} << 0 << 1 << QString();
        QTest::newRow("wrong after right hides the list")
            << 1 << QStringList{u"cultura"_s, u"economia"_s} << 1 << 1 << QString();
        QTest::newRow("second click on magenta is ignored")
            << 1 << QStringList{u"cultura"_s, u"economia"_s, u"cultura"_s} << 1 << 1 << QString();
        QTest::newRow("second click on red is ignored")
            << 1 << QStringList{u"cultura"_s, u"economia"_s, u"economia"_s} << 1 << 1 << QString();
        QTest::newRow("avvenimenti fills all twelve") << 1 << QStringList{u"avvenimenti"_s} << 1 << 0
                                                      << u"avvenimenti"_s;
        QTest::newRow("short list after long one")
            << 7 << QStringList{u"avvenimenti"_s, u"spazio"_s} << 2 << 0 << u"spazio"_s;
        QTest::newRow("accented name matches") << 8 << QStringList{u"societ\u00e0"_s} << 1 << 0
                                               << u"societ\u00e0"_s;
        QTest::newRow("decomposed accent is another text") << 8 << QStringList{u"societa\u0300"_s} << 0 << 0
                                                           << QString();
    }

    void superConcepts()
    {
        QFETCH(int, exercise);
        QFETCH(QStringList, clicks);
        QFETCH(int, right);
        QFETCH(int, wrong);
        QFETCH(QString, panelOwner);
        model->startExercise(exercise);
        for (const QString &c : clicks)
            model->answerSuperConcept(c);
        QCOMPARE(v(C::sovragiustiesercizio), right);
        QCOMPARE(v(C::sovragiusti), right);
        QCOMPARE(v(C::sovrasbagliatiesercizio), wrong);
        QCOMPARE(v(C::sovrasbagliati), wrong);

        const int shownCount = panelOwner.isEmpty() ? 0 : taxonomy.conceptCount(panelOwner);
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            const auto &s = model->conceptSlot(i);
            QCOMPARE(s.shown, i < shownCount);
            if (s.shown) {
                QCOMPARE(s.caption, taxonomy.conceptAt(panelOwner, i + 1));
                QCOMPARE(s.state, AnswerState::Unanswered);
            }
        }
    }

    void handMadeKeys_data()
    {
        QTest::addColumn<QString>("keyText");      // text stored in the key
        QTest::addColumn<int>("count");            // count that the key claims
        QTest::addColumn<bool>("right");
        QTest::newRow("exact match") << u"religione"_s << 1 << true;
        QTest::newRow("case differs") << u"Religione"_s << 1 << false;
        QTest::newRow("trailing blank") << u"religione "_s << 1 << false;
        QTest::newRow("count zero") << u"religione"_s << 0 << false;
        QTest::newRow("text above the count") << u"religione"_s << -1 << false;
    }

    // The same corner cases hold for super-concepts and for concepts.
    void handMadeKeys()
    {
        QFETCH(QString, keyText);
        QFETCH(int, count);
        QFETCH(bool, right);
        ExerciseKey &k = testKey();
        // Super-concept "cultura" is always found so that its list opens.
        k.superConceptCount = 1;
        k.superConcepts[1] = u"cultura"_s;
        if (count >= 0) {
            k.conceptCount = count;
            k.concepts[1] = keyText;
        } else {
            k.conceptCount = 1;
            k.concepts[1] = u"arte"_s;
            k.concepts[2] = keyText;
        }
        model->startExercise(200);
        QCOMPARE(model->answerSuperConcept(u"cultura"_s), Verdict::Right);
        QCOMPARE(model->answerConcept(slotOf(u"religione"_s)), right ? Verdict::Right : Verdict::Wrong);
        QCOMPARE(v(C::nozioligiusti), right ? 1 : 0);
        QCOMPARE(v(C::noziolisbagliati), right ? 0 : 1);

        // The same stored text judged as a super-concept name.
        QString superText = keyText;
        superText.replace(u"religione"_s, u"economia"_s);
        ExerciseKey &s = testKey();
        if (count >= 0) {
            s.superConceptCount = count;
            s.superConcepts[1] = superText;
        } else {
            s.superConceptCount = 1;
            s.superConcepts[1] = u"cultura"_s;
            s.superConcepts[2] = superText;
        }
        model->startExercise(200);
        QCOMPARE(model->answerSuperConcept(u"economia"_s), right ? Verdict::Right : Verdict::Wrong);
    }

    void spaceTime_data()
    {
        QTest::addColumn<int>("exercise");
        QTest::addColumn<int>("check");
        QTest::addColumn<bool>("right");
        QTest::addColumn<QList<int>>("locked");
        // Exercise 1: periodo 0, durata 1, luogo 1, tempo 1.
        QTest::newRow("Esplicito of Periodo wrong") << 1 << 1 << false << QList<int>{1, 2};
        QTest::newRow("Implicito of Periodo right") << 1 << 2 << true << QList<int>{1, 2};
        QTest::newRow("Media right") << 1 << 4 << true << QList<int>{3, 4, 7};
        QTest::newRow("Lunga locks Breve and Media") << 1 << 7 << false << QList<int>{3, 4, 7};
        QTest::newRow("Esplicito of Luogo right") << 1 << 5 << true << QList<int>{5, 6};
        QTest::newRow("Contemporaneita wrong") << 1 << 8 << false << QList<int>{8, 9};
        QTest::newRow("Successione right") << 1 << 9 << true << QList<int>{8, 9};
        QTest::newRow("Implicito of Luogo right, exercise 5") << 5 << 6 << true << QList<int>{5, 6};
    }

    void spaceTime()
    {
        QFETCH(int, exercise);
        QFETCH(int, check);
        QFETCH(bool, right);
        QFETCH(QList<int>, locked);
        model->startExercise(exercise);
        QCOMPARE(model->checkBox(check), right ? Verdict::Right : Verdict::Wrong);
        for (int b = 1; b <= ExerciseModel::BoxCount; ++b) {
            const auto &box = model->box(b);
            QCOMPARE(box.enabled, !locked.contains(b));
            QCOMPARE(box.checked, b == check);
            QVERIFY2(box.wrong == (b == check && !right), "only a wrong checked box turns red");
        }
        QCOMPARE(v(C::spaziotempogiusti), right ? 1 : 0);
        QCOMPARE(v(C::spaziotemposbagliati), right ? 0 : 1);
        for (int b : locked)
            QCOMPARE(model->checkBox(b), Verdict::Ignored);
        QVERIFY2(v(C::sovragiustiesercizio) == 0 && v(C::sovrasbagliati) == 0,
                 "space-time answers have no per-exercise counters");
    }

    // Every exercise can be answered in full: each key concept is reachable
    // from a key super-concept, and the counters add up.
    void everyExercisePlays()
    {
        const QStringList all = taxonomy.superConceptNames();
        for (int e = 1; e <= ExerciseBank::ExerciseCount; ++e) {
            const ExerciseKey &key = bank.key(e);
            model->startExercise(e);
            int listEntries = 0;
            for (const QString &s : all) {
                if (model->answerSuperConcept(s) != Verdict::Right)
                    continue;
                listEntries += taxonomy.conceptCount(s);
                for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
                    if (model->conceptSlot(i).shown)
                        model->answerConcept(i);
                }
            }
            const QByteArray where = "exercise " + QByteArray::number(e);
            QVERIFY2(v(C::sovragiustiesercizio) == key.superConceptCount, where);
            QVERIFY2(v(C::sovrasbagliatiesercizio) == 7 - key.superConceptCount, where);
            QVERIFY2(v(C::nozioligiustiesercizio) == key.conceptCount, where);
            QVERIFY2(v(C::noziolisbagliatiesercizio) == listEntries - key.conceptCount, where);

            // One answer per group, whatever the boxes tried: four more in all.
            for (int b = 1; b <= ExerciseModel::BoxCount; ++b)
                model->checkBox(b);
            QVERIFY2(v(C::spaziotempogiusti) + v(C::spaziotemposbagliati)
                         == qint64(e) * 4, where);
        }
    }
};

QTEST_APPLESS_MAIN(TstExerciseModel)
#include "tst_exercisemodel.moc"
