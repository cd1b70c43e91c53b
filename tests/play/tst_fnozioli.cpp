// The main exercise window: its controls after the load, the choice of an
// exercise, answers by mouse and keyboard rendered as colours, marks and
// counters, the blinking prompt, the help panel and the pointer highlighting.
#include "guitesting.h"

#include "play/clicklabel.h"
#include "play/colours.h"
#include "play/fnozioli.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>

#include <memory>

namespace {

const QStringList superLabelNames = {
    QStringLiteral("labpolitica"), QStringLiteral("labeconomia"), QStringLiteral("labsocietà"),
    QStringLiteral("labcultura"), QStringLiteral("labpopolazione"), QStringLiteral("labspazio"),
    QStringLiteral("Labavvenimenti"),
};

QString conceptName(int i)
{
    return QStringLiteral("Label3_%1").arg(i);
}

QString checkName(int n)
{
    return QStringLiteral("Check%1").arg(n);
}

QString flag(bool on)
{
    return on ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

class TstFNozioli : public QObject
{
    Q_OBJECT

    std::unique_ptr<FNozioli> w;

    template <typename T = QWidget>
    T *get(QAnyStringView name) const
    {
        return child<T>(w.get(), name);
    }
    ClickLabel *clickLabel(const QString &name) const { return get<ClickLabel>(name); }
    QCheckBox *box(int n) const { return get<QCheckBox>(checkName(n)); }
    QString caption(QAnyStringView name) const { return ::caption(w.get(), name); }

    ClickLabel *superLabel(const QString &superConcept) const
    {
        for (const QString &name : superLabelNames) {
            if (clickLabel(name)->text() == superConcept)
                return clickLabel(name);
        }
        return nullptr;
    }

    // As the pupil does: opens the list of Combo1 and confirms the item.
    void choose(int number) { chooseItem(get<QComboBox>("Combo1"), number - 1); }
    void clickBox(int n) { ::clickBox(box(n)); }

    QString counter(ScoreSheet::Counter c) const { return caption(ScoreSheet::labelName(c)); }

    // Everything the pupil can see of the answers, to compare before and after.
    QStringList snapshot() const
    {
        QStringList s;
        for (const QString &name : superLabelNames)
            s << colours::background(clickLabel(name)).name() + flag(clickLabel(name)->isEnabled())
                     + flag(clickLabel(name)->isHidden());
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            ClickLabel *l = clickLabel(conceptName(i));
            s << l->text() + colours::background(l).name() + flag(l->isHidden());
        }
        for (int n = 1; n <= ExerciseModel::BoxCount; ++n)
            s << colours::background(box(n)).name() + flag(box(n)->isChecked()) + flag(box(n)->isEnabled());
        for (int c = 0; c < ScoreSheet::CounterCount; ++c)
            s << counter(ScoreSheet::Counter(c));
        s << caption("Label1") << caption("Label11") << caption("Label12");
        return s;
    }

private slots:
    void initTestCase() { QStandardPaths::setTestModeEnabled(true); }

    void init()
    {
        w = std::make_unique<FNozioli>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup() { w.reset(); }

    // ---- State after the load ----

    void load_window()
    {
        QCOMPARE(w->objectName(), QStringLiteral("fnozioli"));
        QCOMPARE(w->windowTitle(), QStringLiteral("ESERCIZI DI NOZIOLIZZAZIONE"));
        QCOMPARE(colours::background(w.get()), QColor(64, 64, 64));
        QCOMPARE(w->model().currentExercise(), 0);
        QVERIFY2(w->taxonomy().isFilled(), "the load fills the taxonomy");
        QVERIFY2(!w->bank().key(7).passage.isEmpty(), "the load fills the exercise bank");
        QCOMPARE(caption("Label11"), QString(13, u' '));
        QVERIFY2(caption("Label12").isEmpty() && caption("Label1").isEmpty(), "no exercise shown yet");
        for (int c = 0; c < ScoreSheet::CounterCount; ++c)
            QCOMPARE(counter(ScoreSheet::Counter(c)), QStringLiteral("0"));
    }

    void load_answerControlsLocked()
    {
        for (const QString &name : superLabelNames) {
            QVERIFY2(!clickLabel(name)->isEnabled(), qPrintable(name + QStringLiteral(" is disabled until a choice")));
            QCOMPARE(colours::background(clickLabel(name)), colours::lightGreen);
        }
        QCOMPARE(superLabelNames.size(), w->taxonomy().superConceptNames().size());
        for (const QString &name : w->taxonomy().superConceptNames())
            QVERIFY2(superLabel(name), qPrintable(QStringLiteral("a label captioned %1").arg(name)));
        for (int f = 1; f <= 4; ++f)
            QVERIFY(!get(QStringLiteral("Frame%1").arg(f))->isEnabled());
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i)
            QVERIFY2(clickLabel(conceptName(i))->isHidden(), "the concept panel is hidden");
        QVERIFY(get("RichTextBox1")->isHidden());
        QVERIFY(get("CmdChiudiAiuto")->isHidden());

        const QStringList before = snapshot();
        click(clickLabel(QStringLiteral("labspazio")));
        clickBox(1);
        QCOMPARE(snapshot(), before);
    }

    void load_combo()
    {
        auto *combo = get<QComboBox>("Combo1");
        QCOMPARE(combo->count(), 39);
        for (int i = 0; i < 39; ++i)
            QCOMPARE(combo->itemText(i), QString::number(i + 1));
        QCOMPARE(combo->currentIndex(), -1);
        auto *timer = get<QTimer>("Timer1");
        QVERIFY(timer);
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), 300);
    }

    // ---- Layout ----

    void layout_scaled_data()
    {
        QTest::addColumn<QSize>("screen");
        QTest::addColumn<double>("scale");
        QTest::newRow("800x600") << QSize(800, 600) << 600.0 / 603;
        QTest::newRow("1280x1024") << QSize(1280, 1024) << 1280.0 / 789;
        QTest::newRow("1920x1080") << QSize(1920, 1080) << 1080.0 / 603;
    }

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
        const QFontMetrics fm(clickLabel(conceptName(0))->font());
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            ClickLabel *l = clickLabel(conceptName(i));
            QVERIFY2(band.contains(l->geometry()), "concept labels lie inside their band");
            for (const auto &entry : w->taxonomy().entries()) {
                for (int k = 1; k <= entry.count; ++k) {
                    const QRect room = l->contentsRect();
                    const QRect used = fm.boundingRect(room, Qt::TextWordWrap | int(l->alignment()), entry.concepts[size_t(k)]);
                    QVERIFY2(used.width() <= room.width() && used.height() <= room.height(),
                             qPrintable(QStringLiteral("\"%1\" fits a concept label").arg(entry.concepts[size_t(k)])));
                }
            }
        }
        // Every passage fits Label1, measured with the font metrics.
        QLabel *passage = get<QLabel>("Label1");
        const QRect room = passage->contentsRect();
        for (int n = 1; n <= ExerciseBank::ExerciseCount; ++n) {
            const QRect used = passage->fontMetrics().boundingRect(room, Qt::TextWordWrap, w->bank().key(n).passage);
            QVERIFY2(used.height() <= room.height() && used.width() <= room.width(),
                     qPrintable(QStringLiteral("passage %1 fits").arg(n)));
        }
    }

    // ---- Choosing an exercise ----

    void choose_exercise7()
    {
        choose(7);
        QCOMPARE(w->model().currentExercise(), 7);
        QCOMPARE(caption("Label1"), w->bank().key(7).passage);
        QCOMPARE(caption("Label11"), QStringLiteral("2"));
        QCOMPARE(caption("Label12"), QStringLiteral("2"));
        for (const QString &name : superLabelNames) {
            QVERIFY(clickLabel(name)->isEnabled());
            QCOMPARE(colours::background(clickLabel(name)), colours::lightGreen);
        }
        for (int n = 1; n <= ExerciseModel::BoxCount; ++n) {
            QVERIFY(box(n)->isEnabled());
            QVERIFY(!box(n)->isChecked());
            QCOMPARE(colours::background(box(n)), colours::lightBlue);
        }
    }

    void choose_sameAgainStartsAfresh()
    {
        choose(7);
        click(superLabel(QStringLiteral("spazio")));
        click(clickLabel(conceptName(2)));   // "rapporto tra ambiente e avvenimento", right
        click(superLabel(QStringLiteral("economia")));
        QCOMPARE(counter(ScoreSheet::sovragiustiesercizio), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::nozioligiustiesercizio), QStringLiteral("1"));
        choose(7);
        QCOMPARE(counter(ScoreSheet::sovragiustiesercizio), QStringLiteral("0"));
        QCOMPARE(counter(ScoreSheet::sovrasbagliatiesercizio), QStringLiteral("0"));
        QCOMPARE(counter(ScoreSheet::nozioligiustiesercizio), QStringLiteral("0"));
        QCOMPARE(counter(ScoreSheet::sovragiusti), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::sovrasbagliati), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::nozioligiusti), QStringLiteral("1"));
        QCOMPARE(colours::background(superLabel(QStringLiteral("spazio"))), colours::lightGreen);
        QCOMPARE(superLabel(QStringLiteral("spazio"))->mark(), AnswerMark::None);
        QVERIFY2(clickLabel(conceptName(0))->isHidden(), "the concept panel is cleared");
        click(superLabel(QStringLiteral("spazio")));
        QCOMPARE(counter(ScoreSheet::sovragiusti), QStringLiteral("2"));
    }

    void choose_whileBoxesCheckedAndRed()
    {
        choose(7);
        const ExerciseKey &key = w->bank().key(7);
        const int wrongPeriodo = key.periodo == 1 ? 2 : 1;   // Check1 stands for 1, Check2 for 0
        clickBox(wrongPeriodo);
        clickBox(key.luogo == 1 ? 5 : 6);
        QCOMPARE(colours::background(box(wrongPeriodo)), colours::red);
        QCOMPARE(counter(ScoreSheet::spaziotempogiusti), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::spaziotemposbagliati), QStringLiteral("1"));

        choose(3);
        for (int n = 1; n <= ExerciseModel::BoxCount; ++n) {
            QVERIFY2(!box(n)->isChecked() && box(n)->isEnabled(), "every group is open again");
            QCOMPARE(colours::background(box(n)), colours::lightBlue);
        }
        QCOMPARE(counter(ScoreSheet::spaziotempogiusti), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::spaziotemposbagliati), QStringLiteral("1"));
    }

    // ---- Right and wrong answers ----

    void answer_superConceptsAndConcepts()
    {
        choose(7);
        ClickLabel *right = superLabel(QStringLiteral("spazio"));
        ClickLabel *wrong = superLabel(QStringLiteral("economia"));
        click(wrong);
        QCOMPARE(colours::background(wrong), colours::red);
        QCOMPARE(paintedAt(wrong, QPoint(6, wrong->height() / 2)), colours::red);
        QCOMPARE(wrong->mark(), AnswerMark::Wrong);
        QCOMPARE(wrong->accessibleDescription(), QStringLiteral("sbagliato"));
        QCOMPARE(wrong->text(), QStringLiteral("economia"));
        QCOMPARE(counter(ScoreSheet::sovrasbagliatiesercizio), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::sovrasbagliati), QStringLiteral("1"));

        click(right);
        QCOMPARE(colours::background(right), colours::magenta);
        QCOMPARE(paintedAt(right, QPoint(6, right->height() / 2)), colours::magenta);
        QCOMPARE(right->accessibleDescription(), QStringLiteral("giusto"));
        QCOMPARE(counter(ScoreSheet::sovragiustiesercizio), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::sovragiusti), QStringLiteral("1"));
        const auto *entry = w->taxonomy().find(QStringLiteral("spazio"));
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            ClickLabel *l = clickLabel(conceptName(i));
            QCOMPARE(l->isHidden(), i >= entry->count);
            if (i < entry->count) {
                QCOMPARE(l->text(), entry->concepts[size_t(i + 1)]);
                QCOMPARE(l->accessibleName(), l->text());
                QCOMPARE(colours::background(l), colours::lightYellow);
            }
        }
        const QStringList opened = snapshot();
        click(right);
        click(wrong);
        QCOMPARE(snapshot(), opened);

        // Of the three concepts of spazio, only this one is in the key of exercise 7.
        for (int i = 0; i < entry->count; ++i) {
            ClickLabel *l = clickLabel(conceptName(i));
            const bool inKey = l->text() == QStringLiteral("rapporto tra ambiente e avvenimento");
            click(l);
            QCOMPARE(colours::background(l), inKey ? colours::magenta : colours::red);
            QCOMPARE(l->mark(), inKey ? AnswerMark::Right : AnswerMark::Wrong);
        }
        QCOMPARE(counter(ScoreSheet::nozioligiustiesercizio), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::nozioligiusti), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::noziolisbagliatiesercizio), QStringLiteral("2"));
        QCOMPARE(counter(ScoreSheet::noziolisbagliati), QStringLiteral("2"));
        const QStringList answered = snapshot();
        click(clickLabel(conceptName(0)));
        QCOMPARE(snapshot(), answered);
    }

    void answer_shortListAfterLong()
    {
        choose(7);
        click(superLabel(QStringLiteral("avvenimenti")));
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i)
            QVERIFY2(clickLabel(conceptName(i))->isVisible(), "avvenimenti fills all twelve concept labels");
        for (int i : {0, 1, 4, 11})
            click(clickLabel(conceptName(i)));
        click(superLabel(QStringLiteral("spazio")));
        const auto *entry = w->taxonomy().find(QStringLiteral("spazio"));
        for (int i = 0; i < ExerciseModel::ConceptSlots; ++i) {
            ClickLabel *l = clickLabel(conceptName(i));
            QCOMPARE(l->isVisible(), i < entry->count);
            if (i < entry->count) {
                QCOMPARE(l->text(), entry->concepts[size_t(i + 1)]);
                QCOMPARE(colours::background(l), colours::lightYellow);
                QCOMPARE(l->mark(), AnswerMark::None);
                QVERIFY(l->accessibleDescription().isEmpty());
            }
        }
    }

    void answer_boxes_data()
    {
        QTest::addColumn<int>("group");
        QTest::newRow("Periodo") << int(SpaceTimeGroup::Periodo);
        QTest::newRow("Durata") << int(SpaceTimeGroup::Durata);
        QTest::newRow("Luogo") << int(SpaceTimeGroup::Luogo);
        QTest::newRow("Tempo") << int(SpaceTimeGroup::Tempo);
    }

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

        // A wrong check turns red, locks the group and hides the right box.
        choose(1);
        clickBox(wrong);
        QVERIFY(box(wrong)->isChecked());
        QCOMPARE(colours::background(box(wrong)), colours::red);
        QCOMPARE(paintedAt(box(wrong), QPoint(box(wrong)->width() - 2, 2)), colours::red);
        QCOMPARE(box(wrong)->accessibleDescription(), QStringLiteral("sbagliato"));
        QCOMPARE(counter(ScoreSheet::spaziotemposbagliati), QStringLiteral("1"));
        QCOMPARE(colours::background(box(right)), colours::lightBlue);
        for (int n : members)
            QVERIFY2(!box(n)->isEnabled(), "the whole group is locked");
        for (int n = 1; n <= ExerciseModel::BoxCount; ++n) {
            if (!members.contains(n))
                QVERIFY2(box(n)->isEnabled(), "other groups stay open");
        }
        clickBox(right);
        QVERIFY2(!box(right)->isChecked(), "a locked group takes no second answer");
        QCOMPARE(counter(ScoreSheet::spaziotempogiusti), QStringLiteral("0"));

        // A right check keeps the light blue.
        choose(1);
        clickBox(right);
        QVERIFY(box(right)->isChecked());
        QCOMPARE(colours::background(box(right)), colours::lightBlue);
        QCOMPARE(paintedAt(box(right), QPoint(box(right)->width() - 2, 2)), colours::lightBlue);
        QCOMPARE(box(right)->accessibleDescription(), QStringLiteral("giusto"));
        QCOMPARE(counter(ScoreSheet::spaziotempogiusti), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::spaziotemposbagliati), QStringLiteral("1"));
        for (int n : members)
            QVERIFY(!box(n)->isEnabled());
    }

    // ---- Blinking prompt ----

    void blink_stopsForGood()
    {
        QLabel *prompt = get<QLabel>("Label29");
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        QTRY_COMPARE(colours::background(prompt), colours::white);
        choose(5);
        QVERIFY(!get<QTimer>("Timer1")->isActive());
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        QTest::qWait(700);
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        choose(6);
        QVERIFY2(!get<QTimer>("Timer1")->isActive(), "nothing starts the blinking again");
    }

    // ---- Help panel ----
    // Reading the file afresh at every opening, its faults, and the panel's
    // place over the window are tried on the whole program (tst_faults).

    // ---- Pointer highlighting ----

    void hover_commands()
    {
        ClickLabel *esci = clickLabel(QStringLiteral("Labesci"));
        ClickLabel *archivio = clickLabel(QStringLiteral("Labarchivio"));
        const QPoint background = w->mapping().rect(60, 60, 1, 1).topLeft();
        QVERIFY2(!w->childAt(background), "a point of the bare background");

        QTest::mouseMove(esci, esci->rect().center());
        QTRY_COMPARE(colours::text(esci), colours::red);
        QTest::mouseMove(archivio, archivio->rect().center());
        QTRY_COMPARE(colours::text(archivio), colours::red);
        QCOMPARE(colours::text(esci), colours::red);   // nothing crossed the background

        QLabel *label25 = get<QLabel>("Label25");
        QTest::mouseMove(label25, label25->rect().center());
        QTest::qWait(50);
        QCOMPARE(colours::text(archivio), colours::red);

        QTest::mouseMove(w.get(), background);
        QTRY_COMPARE(colours::text(esci), colours::white);
        QCOMPARE(colours::text(archivio), colours::lightBlue);
    }

    // ---- Keyboard and accessibility ----

    void keyboard_tabAndActivate()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        choose(7);
        auto *combo = get<QComboBox>("Combo1");
        combo->setFocus();
        QCOMPARE(QApplication::focusWidget(), combo);

        ClickLabel *spazio = superLabel(QStringLiteral("spazio"));
        for (int i = 0; i < 40 && QApplication::focusWidget() != spazio; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), spazio);
        QTest::keyClick(spazio, Qt::Key_Space);
        QCOMPARE(colours::background(spazio), colours::magenta);

        ClickLabel *target = nullptr;
        for (int i = 0; i < 3; ++i) {
            if (clickLabel(conceptName(i))->text() == QStringLiteral("rapporto tra ambiente e avvenimento"))
                target = clickLabel(conceptName(i));
        }
        QVERIFY(target);
        for (int i = 0; i < 20 && QApplication::focusWidget() != target; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(target, Qt::Key_Return);
        QCOMPARE(colours::background(target), colours::magenta);
        QCOMPARE(counter(ScoreSheet::nozioligiusti), QStringLiteral("1"));

        QSignalSpy esci(w.get(), &FNozioli::esciRequested);
        QSignalSpy archivio(w.get(), &FNozioli::archivioRequested);
        QTest::keyClick(clickLabel(QStringLiteral("Labesci")), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(clickLabel(QStringLiteral("Labarchivio")), Qt::Key_Space);
        QCOMPARE(esci.count(), 1);
        QCOMPARE(archivio.count(), 1);
    }

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
