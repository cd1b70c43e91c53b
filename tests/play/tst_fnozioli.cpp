// The main exercise window as the pupil sees it: nothing to answer before a
// choice, answers shown as colours and marks, a new choice starting afresh,
// the blinking prompt, the layout on several screens and the help panel's
// hold on the keyboard. The judging itself is tried on the model
// (tst_exercisemodel); the commands, archiving and the pointer highlighting
// on the whole program (tst_program).
#include "guitesting.h"

#include "play/clicklabel.h"
#include "play/colours.h"
#include "play/fnozioli.h"

#include <QFontMetrics>
#include <QPushButton>
#include <QTextBrowser>
#include <QTimer>

#include <memory>

using namespace Qt::StringLiterals;

class TstFNozioli : public QObject
{
    Q_OBJECT

    std::unique_ptr<FNozioli> w;

    template <typename T = QWidget>
    T *get(QAnyStringView name) const
    {
        return child<T>(w.get(), name);
    }
    ClickLabel *conceptLabel(int i) const { return get<ClickLabel>(u"Label3_%1"_s.arg(i)); }
    QCheckBox *box(int n) const { return get<QCheckBox>(u"Check%1"_s.arg(n)); }

    // The label of a super-concept, found by its caption.
    ClickLabel *superLabel(const QString &name) const
    {
        for (ClickLabel *l : w->findChildren<ClickLabel *>()) {
            if (l->text() == name && !l->objectName().startsWith(u"Label3_"))
                return l;
        }
        return nullptr;
    }

    QString counters() const { return counterCaptions(w.get()).join(u' '); }

    // As the pupil does: opens the list of Combo1 and confirms the item.
    void choose(int number) { chooseItem(get<QComboBox>("Combo1"), number - 1); }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        w = std::make_unique<FNozioli>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup() { w.reset(); }

    // Every super-concept of the taxonomy has its label, and none of them,
    // no box and no concept can be answered before an exercise is chosen.
    void nothingToAnswerBeforeAChoice()
    {
        for (const QString &name : w->taxonomy().superConceptNames())
            QVERIFY2(superLabel(name) && !superLabel(name)->isEnabled(), qPrintable(name));
        for (int f = 1; f <= 4; ++f)
            QVERIFY(!get(u"Frame%1"_s.arg(f))->isEnabled());
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i)
            QVERIFY2(conceptLabel(i)->isHidden(), "the concept panel is hidden");
        QVERIFY(get("RichTextBox1")->isHidden() && get("CmdChiudiAiuto")->isHidden());
        QCOMPARE(counters(), u"0 0 0 0 0 0 0 0 0 0"_s);
        QCOMPARE(get<QComboBox>("Combo1")->currentIndex(), -1);

        get<QTimer>("Timer1")->stop();   // the blinking prompt is no answer
        const QStringList before = shownState(w.get());
        click(superLabel(u"spazio"_s));
        clickBox(box(1));
        QCOMPARE(shownState(w.get()), before);
    }

    void layout_scaled_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("scale");
        QTest::newRow("800x600") << QSize(800, 600) << 600.0 / 603;
        QTest::newRow("1280x1024") << QSize(1280, 1024) << 1280.0 / 789;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 1080.0 / 603;
    }

    // The layout fills the screen, and every concept and passage fits its
    // label, measured with the font metrics.
    void layout_scaled()
    {
        QFETCH(QSize, screen);
        QFETCH(double, scale);
        w->placeInArea(QRect(QPoint(0, 0), screen));
        QCOMPARE(w->size(), screen);
        QVERIFY(qAbs(w->mapping().scale() - scale) < 1e-9);
        click(get("cmdaiuto"));
        QVERIFY2(w->rect().contains(get("RichTextBox1")->geometry()), "the help panel stays on the screen");

        const QRect band = get("Label14")->geometry();
        const QFontMetrics fm(conceptLabel(0)->font());
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            ClickLabel *l = conceptLabel(i);
            QVERIFY2(band.contains(l->geometry()), "concept labels lie inside their band");
            const QRect room = l->contentsRect();
            for (const auto &entry : w->taxonomy().entries()) {
                for (int k = 1; k <= entry.count; ++k) {
                    const QString &text = entry.concepts[size_t(k)];
                    const QRect used = fm.boundingRect(room, Qt::TextWordWrap | int(l->alignment()), text);
                    QVERIFY2(used.width() <= room.width() && used.height() <= room.height(), qPrintable(text));
                }
            }
        }
        QLabel *passage = get<QLabel>("Label1");
        const QRect room = passage->contentsRect();
        for (int n = 1; n <= ExerciseBank::ExerciseCount; ++n) {
            const QRect used = passage->fontMetrics().boundingRect(room, Qt::TextWordWrap, w->bank().key(n).passage);
            QVERIFY2(used.height() <= room.height() && used.width() <= room.width(),
                     qPrintable(u"passage %1 fits"_s.arg(n)));
        }
    }

    // Exercise 7 holds avvenimenti and spazio but not economia; of the
    // concepts of spazio only "rapporto tra ambiente e avvenimento".
    void answersShownAsColoursAndMarks()
    {
        choose(7);
        click(superLabel(u"avvenimenti"_s));
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i)
            QVERIFY2(conceptLabel(i)->isVisible(), "avvenimenti fills all twelve concept labels");
        for (int i : {0, 1, 4, 11})
            click(conceptLabel(i));

        ClickLabel *wrong = superLabel(u"economia"_s);
        click(wrong);
        QCOMPARE(paintedAt(wrong, QPoint(6, wrong->height() / 2)), colours::red);
        QCOMPARE(wrong->mark(), AnswerMark::Wrong);
        ClickLabel *right = superLabel(u"spazio"_s);
        click(right);
        QCOMPARE(paintedAt(right, QPoint(6, right->height() / 2)), colours::magenta);
        QCOMPARE(right->mark(), AnswerMark::Right);

        // The short list of spazio over the long one: fresh labels, the rest hidden.
        const auto *entry = w->taxonomy().find(u"spazio"_s);
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            ClickLabel *l = conceptLabel(i);
            QCOMPARE(l->isVisible(), i < entry->count);
            if (i < entry->count) {
                QCOMPARE(l->text(), entry->concepts[size_t(i + 1)]);
                QCOMPARE(l->accessibleName(), l->text());
                QCOMPARE(colours::background(l), colours::lightYellow);
                QCOMPARE(l->mark(), AnswerMark::None);
            }
        }
        for (int i = 0; i < entry->count; ++i) {
            ClickLabel *l = conceptLabel(i);
            const bool inKey = l->text() == u"rapporto tra ambiente e avvenimento";
            click(l);
            QCOMPARE(colours::background(l), inKey ? colours::magenta : colours::red);
            QCOMPARE(l->mark(), inKey ? AnswerMark::Right : AnswerMark::Wrong);
        }
        const QStringList answered = shownState(w.get());
        click(conceptLabel(0));
        QCOMPARE(shownState(w.get()), answered);
    }

    void answer_boxes_data()
    {
        QTest::addColumn<int>("group");
        QTest::newRow("Periodo") << int(SpaceTimeGroup::Periodo);
        QTest::newRow("Durata") << int(SpaceTimeGroup::Durata);
        QTest::newRow("Luogo") << int(SpaceTimeGroup::Luogo);
        QTest::newRow("Tempo") << int(SpaceTimeGroup::Tempo);
    }

    // A wrong check turns red, a right one stays light blue; either locks its
    // group, shows no other box of it as right, and leaves the other groups open.
    void answer_boxes()
    {
        QFETCH(int, group);
        const ExerciseKey &key = w->bank().key(1);
        const int codes[] = {key.periodo, key.durata, key.luogo, key.tempo};
        QList<int> members;
        int right = 0;
        int wrong = 0;
        for (int n = 1; n <= ExerciseModel::BoxCount; ++n) {
            if (int(ExerciseModel::groupOf(n)) != group)
                continue;
            members << n;
            (ExerciseModel::boxCode(n) == codes[group] ? right : wrong) = n;
        }
        QVERIFY(right && wrong);

        for (const int n : {wrong, right}) {
            choose(1);
            clickBox(box(n));
            QVERIFY(box(n)->isChecked());
            const QColor colour = n == right ? colours::lightBlue : colours::red;
            QCOMPARE(colours::background(box(n)), colour);
            QCOMPARE(paintedAt(box(n), QPoint(box(n)->width() - 2, 2)), colour);
            QCOMPARE(box(n)->accessibleDescription(), n == right ? u"giusto"_s : u"sbagliato"_s);
            for (int b = 1; b <= ExerciseModel::BoxCount; ++b) {
                QCOMPARE(box(b)->isEnabled(), !members.contains(b));
                if (b != n)
                    QVERIFY(!box(b)->isChecked() && colours::background(box(b)) == colours::lightBlue);
            }
        }
    }

    void choosingStartsAfresh_data()
    {
        QTest::addColumn<int>("next");
        QTest::newRow("the same exercise again") << 7;
        QTest::newRow("the last exercise") << int(ExerciseBank::ExerciseCount);
    }

    // A choice clears the answers and the exercise's counters; the lesson's
    // totals stay, the space-time ones included.
    void choosingStartsAfresh()
    {
        QFETCH(int, next);
        choose(7);
        click(superLabel(u"spazio"_s));
        click(conceptLabel(2));   // "rapporto tra ambiente e avvenimento", right
        click(superLabel(u"economia"_s));
        const ExerciseKey &seven = w->bank().key(7);
        clickBox(box(seven.periodo == 1 ? 2 : 1));   // Check1 stands for 1, Check2 for 0: wrong
        clickBox(box(seven.luogo == 1 ? 5 : 6));     // right
        QCOMPARE(counters(), u"1 1 1 0 1 1 1 0 1 1"_s);

        choose(next);
        const ExerciseKey &key = w->bank().key(next);
        QCOMPARE(caption(w.get(), "Label1"), key.passage);
        QCOMPARE(caption(w.get(), "Label11"), QString::number(key.superConceptCount));
        QCOMPARE(caption(w.get(), "Label12"), QString::number(key.conceptCount));
        QCOMPARE(counters(), u"0 0 0 0 1 1 1 0 1 1"_s);
        for (const QString &name : w->taxonomy().superConceptNames()) {
            ClickLabel *l = superLabel(name);
            QVERIFY(l->isEnabled() && l->mark() == AnswerMark::None);
            QCOMPARE(colours::background(l), colours::lightGreen);
        }
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i)
            QVERIFY2(conceptLabel(i)->isHidden(), "the concept panel is cleared");
        for (int n = 1; n <= ExerciseModel::BoxCount; ++n) {
            QVERIFY2(!box(n)->isChecked() && box(n)->isEnabled(), "every group is open again");
            QCOMPARE(colours::background(box(n)), colours::lightBlue);
        }
    }

    void blink_stopsForGood()
    {
        QLabel *prompt = get<QLabel>("Label29");
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        QTRY_COMPARE(colours::background(prompt), colours::white);
        choose(5);
        QVERIFY(!get<QTimer>("Timer1")->isActive());
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        choose(6);
        QVERIFY2(!get<QTimer>("Timer1")->isActive(), "nothing starts the blinking again");
    }

    // While the help covers the window Tab stays inside it; Escape closes it
    // and gives the focus back to its button. Its file and its faults are
    // tried on the whole program (tst_faults).
    void keyboard_helpKeepsFocusInside()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto *help = get<QPushButton>("cmdaiuto");
        help->setFocus();
        QTest::keyClick(help, Qt::Key_Space);
        auto *panel = get<QTextBrowser>("RichTextBox1");
        auto *close = get<QPushButton>("CmdChiudiAiuto");
        QVERIFY(panel->isVisible());
        for (int i = 0; i < 4; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            QVERIFY2(QApplication::focusWidget() == panel || QApplication::focusWidget() == close,
                     "Tab stays inside the help panel");
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        QVERIFY(panel->isHidden());
        QCOMPARE(QApplication::focusWidget(), help);
    }
};

QTEST_MAIN(TstFNozioli)
#include "tst_fnozioli.moc"
