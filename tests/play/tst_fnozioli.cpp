// The main exercise window: its controls after the load, the choice of an
// exercise, answers by mouse and keyboard rendered as colours, marks and
// counters, the blinking prompt, the help panel and the pointer highlighting.
#include "clicklabel.h"
#include "colours.h"
#include "fnozioli.h"
#include "helppanel.h"
#include "rtfreader.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <QSpontaneKeyEvent>

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

// The colour actually painted at a point of the widget.
QColor paintedAt(QWidget *widget, QPoint point)
{
    return widget->grab().toImage().pixelColor(point * widget->devicePixelRatioF());
}

} // namespace

class TstFNozioli : public QObject
{
    Q_OBJECT

    std::unique_ptr<FNozioli> w;
    QString startFolder;

    template <typename T = QWidget>
    T *get(const QString &name) const
    {
        return w->findChild<T *>(name);
    }
    QLabel *label(const QString &name) const { return get<QLabel>(name); }
    ClickLabel *clickLabel(const QString &name) const { return get<ClickLabel>(name); }
    QCheckBox *box(int n) const { return get<QCheckBox>(checkName(n)); }
    QString caption(const char *name) const { return label(QString::fromUtf8(name))->text(); }

    ClickLabel *superLabel(const QString &superConcept) const
    {
        for (const QString &name : superLabelNames) {
            if (clickLabel(name)->text() == superConcept)
                return clickLabel(name);
        }
        return nullptr;
    }

    // As the pupil does: opens the list of Combo1 and confirms the item.
    void choose(int number)
    {
        auto *combo = get<QComboBox>(QStringLiteral("Combo1"));
        combo->showPopup();
        QAbstractItemView *view = combo->view();
        view->setCurrentIndex(view->model()->index(number - 1, 0));
        QTest::keyClick(view, Qt::Key_Return);
    }

    void click(QWidget *widget) { QTest::mouseClick(widget, Qt::LeftButton); }
    // A check box reacts to clicks on its indicator and its text only.
    void clickBox(int n) { QTest::mouseClick(box(n), Qt::LeftButton, {}, QPoint(4, box(n)->height() / 2)); }

    QString counter(ScoreSheet::Counter c) const { return label(ScoreSheet::labelName(c))->text(); }

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
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        startFolder = QDir::currentPath();
    }

    void init()
    {
        w = std::make_unique<FNozioli>();
        w->show();
        QVERIFY(QTest::qWaitForWindowExposed(w.get()));
    }

    void cleanup()
    {
        w.reset();
        QDir::setCurrent(startFolder);
    }

    // ---- State after the load ----

    void load_window()
    {
        QCOMPARE(w->objectName(), QStringLiteral("fnozioli"));
        QCOMPARE(w->windowTitle(), QStringLiteral("ESERCIZI DI NOZIOLIZZAZIONE"));
        QCOMPARE(colours::background(w.get()), QColor(64, 64, 64));
        QCOMPARE(w->model().currentExercise(), 0);
        QVERIFY2(w->taxonomy().isFilled(), "the load fills the taxonomy");
        QVERIFY2(!w->bank().key(7).passage.isEmpty(), "the load fills the exercise bank");
    }

    void load_captions_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const QString &text) { QTest::newRow(name) << QString::fromUtf8(name) << text; };
        row("Label9", QStringLiteral("Devi trovare") + QString(24, u' ') + QStringLiteral("sovranozioli"));
        row("Label10", QStringLiteral("e") + QString(25, u' ') + QStringLiteral("nozioli"));
        row("Label2", QStringLiteral("Sovranozioli") + QString(16, u' ') + QStringLiteral("Nozioli"));
        row("Label22", QStringLiteral("Giusti        Sbagliati"));
        row("Label4", QStringLiteral(" Giusti   Sbagliati"));
        row("Label11", QString(13, u' '));
        row("Label12", QString());
        row("Label1", QString());
        row("Label13", QStringLiteral("S  O  V  R  A  N  O  Z  I  O  L  I"));
        row("Label14", QStringLiteral("N  O  Z  I  O  L  I"));
        row("Label19", QStringLiteral("Tot Giusti"));
        row("Label20", QStringLiteral("Tot Sbagli"));
        row("Label27", QStringLiteral("Risultati"));
        row("Label28", QStringLiteral("prima, però, rispondi qui sotto..."));
        row("Label29", QStringLiteral("Seleziona, qui sopra, l'esercizio"));
        row("Labarchivio", QStringLiteral("Archivio dei risultati"));
        row("Labesci", QStringLiteral("         Esci"));
        row("Check1", QStringLiteral("  Esplicito"));
        row("Check2", QStringLiteral("  Implicito"));
        row("Check3", QStringLiteral("  Breve"));
        row("Check4", QStringLiteral("  Media"));
        row("Check7", QStringLiteral("  Lunga"));
        row("Check5", QStringLiteral("  Esplicito"));
        row("Check6", QStringLiteral("  Implicito"));
        row("Check8", QStringLiteral("Contemporaneità"));
        row("Check9", QStringLiteral("Successione"));
        row("Frame1", QStringLiteral("Periodo"));
        row("Frame2", QStringLiteral("Durata"));
        row("Frame3", QStringLiteral("Luogo"));
        row("Frame4", QStringLiteral("Tempo"));
        row("cmdaiuto", QStringLiteral("? Aiuto ?"));
        row("CmdChiudiAiuto", QStringLiteral("CHIUDI"));
        for (int c = 0; c < ScoreSheet::CounterCount; ++c)
            QTest::newRow(qPrintable(ScoreSheet::labelName(ScoreSheet::Counter(c))))
                << ScoreSheet::labelName(ScoreSheet::Counter(c)) << QStringLiteral("0");
    }

    void load_captions()
    {
        QFETCH(QString, name);
        QFETCH(QString, text);
        QObject *control = w->findChild<QObject *>(name);
        QVERIFY2(control, qPrintable(name + QStringLiteral(" exists")));
        QString shown;
        if (auto *l = qobject_cast<QLabel *>(control))
            shown = l->text();
        else if (auto *b = qobject_cast<QAbstractButton *>(control))
            shown = b->text();
        else if (auto *g = qobject_cast<QGroupBox *>(control))
            shown = g->title();
        QCOMPARE(shown, text);
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
        QVERIFY(get(QStringLiteral("RichTextBox1"))->isHidden());
        QVERIFY(get(QStringLiteral("CmdChiudiAiuto"))->isHidden());

        const QStringList before = snapshot();
        click(clickLabel(QStringLiteral("labspazio")));
        clickBox(1);
        QCOMPARE(snapshot(), before);
    }

    void load_combo()
    {
        auto *combo = get<QComboBox>(QStringLiteral("Combo1"));
        QCOMPARE(combo->count(), 39);
        for (int i = 0; i < 39; ++i)
            QCOMPARE(combo->itemText(i), QString::number(i + 1));
        QCOMPARE(combo->currentIndex(), -1);
        auto *timer = w->findChild<QTimer *>(QStringLiteral("Timer1"));
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
        const TwipMapping &m = w->mapping();
        QCOMPARE(get(QStringLiteral("Label3_6"))->geometry(), m.rect(4920, 5640, 2175, 495));
        QCOMPARE(get(QStringLiteral("labsocietà"))->geometry(), m.rect(5760, 3480, 2895, 375));
        QCOMPARE(box(7)->geometry().topLeft(), m.rect(960, 720, 1, 1).topLeft());
        QCOMPARE(get(QStringLiteral("Label1"))->font().pixelSize(), m.fontPixelSize(14.25));
        click(get(QStringLiteral("cmdaiuto")));
        QVERIFY2(w->rect().contains(get(QStringLiteral("RichTextBox1"))->geometry()), "the help panel stays on the screen");

        const QRect band = get(QStringLiteral("Label14"))->geometry();
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
        QLabel *passage = label(QStringLiteral("Label1"));
        for (int n = 1; n <= ExerciseBank::ExerciseCount; ++n) {
            const QRect used = passage->fontMetrics().boundingRect(passage->contentsRect(), Qt::TextWordWrap,
                                                                   w->bank().key(n).passage);
            QVERIFY2(used.height() <= passage->height(), qPrintable(QStringLiteral("passage %1 fits").arg(n)));
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
        click(superLabel(QStringLiteral("economia")));
        QCOMPARE(counter(ScoreSheet::sovragiustiesercizio), QStringLiteral("1"));
        choose(7);
        QCOMPARE(counter(ScoreSheet::sovragiustiesercizio), QStringLiteral("0"));
        QCOMPARE(counter(ScoreSheet::sovrasbagliatiesercizio), QStringLiteral("0"));
        QCOMPARE(counter(ScoreSheet::sovragiusti), QStringLiteral("1"));
        QCOMPARE(counter(ScoreSheet::sovrasbagliati), QStringLiteral("1"));
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

    void answer_superConcepts()
    {
        choose(7);
        const ExerciseKey &key = w->bank().key(7);
        ClickLabel *right = superLabel(QStringLiteral("spazio"));
        ClickLabel *wrong = superLabel(QStringLiteral("economia"));
        QCOMPARE(key.superConcepts[1] == QStringLiteral("spazio") || key.superConcepts[2] == QStringLiteral("spazio"), true);

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

        const QStringList before = snapshot();
        click(right);
        click(wrong);
        QCOMPARE(snapshot(), before);
    }

    void answer_concepts()
    {
        choose(7);
        click(superLabel(QStringLiteral("spazio")));
        const ExerciseKey &key = w->bank().key(7);
        const auto inKey = [&key](const QString &text) {
            for (int p = 1; p <= key.conceptCount; ++p) {
                if (key.concepts[size_t(p)] == text)
                    return true;
            }
            return false;
        };
        int rights = 0;
        int wrongs = 0;
        for (int i = 0; i < 3; ++i) {
            ClickLabel *l = clickLabel(conceptName(i));
            const bool right = inKey(l->text());
            click(l);
            QCOMPARE(colours::background(l), right ? colours::magenta : colours::red);
            QCOMPARE(l->mark(), right ? AnswerMark::Right : AnswerMark::Wrong);
            (right ? rights : wrongs) += 1;
        }
        QVERIFY2(rights == 1, "\"rapporto tra ambiente e avvenimento\" is the right spazio concept of exercise 7");
        QCOMPARE(counter(ScoreSheet::nozioligiustiesercizio), QString::number(rights));
        QCOMPARE(counter(ScoreSheet::nozioligiusti), QString::number(rights));
        QCOMPARE(counter(ScoreSheet::noziolisbagliatiesercizio), QString::number(wrongs));
        QCOMPARE(counter(ScoreSheet::noziolisbagliati), QString::number(wrongs));
        const QStringList before = snapshot();
        click(clickLabel(conceptName(0)));
        QCOMPARE(snapshot(), before);
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
        QLabel *prompt = label(QStringLiteral("Label29"));
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        QTRY_COMPARE(colours::background(prompt), colours::white);
        choose(5);
        QVERIFY(!w->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive());
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        QTest::qWait(700);
        QCOMPARE(colours::background(prompt), colours::lightBlue);
        choose(6);
        QVERIFY2(!w->findChild<QTimer *>(QStringLiteral("Timer1"))->isActive(), "nothing starts the blinking again");
    }

    // ---- Help panel ----

    void help_reopenedReadsAfresh()
    {
        QTemporaryDir folder;
        QVERIFY(folder.isValid());
        QVERIFY(QDir::setCurrent(folder.path()));
        const auto write = [&folder](const QByteArray &rtf) {
            QFile f(folder.filePath(QStringLiteral("aiuto.rtf")));
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(rtf);
        };
        write("{\\rtf1\\ansi Prima stesura dell'aiuto\\par}");

        choose(7);
        click(superLabel(QStringLiteral("spazio")));
        clickBox(1);
        const QStringList before = snapshot();

        auto *panel = get<QTextBrowser>(QStringLiteral("RichTextBox1"));
        auto *close = get<QPushButton>(QStringLiteral("CmdChiudiAiuto"));
        auto *help = get<QPushButton>(QStringLiteral("cmdaiuto"));
        click(help);
        QVERIFY(panel->isVisible() && close->isVisible());
        QVERIFY2(panel->geometry().contains(help->geometry()), "the panel covers the window's controls");
        QCOMPARE(w->childAt(help->geometry().center()), panel->viewport());
        QCOMPARE(w->childAt(close->geometry().center()), close);
        QVERIFY(panel->isReadOnly());
        QVERIFY(!panel->openLinks() && !panel->openExternalLinks());
        QVERIFY(panel->toPlainText().contains(QStringLiteral("Prima stesura")));

        click(close);
        QVERIFY(panel->isHidden() && close->isHidden());
        write("{\\rtf1\\ansi Seconda stesura\\par}");
        click(help);
        QVERIFY2(panel->toPlainText().contains(QStringLiteral("Seconda stesura")), "each opening reads the file again");
        QVERIFY(!panel->toPlainText().contains(QStringLiteral("Prima")));
        click(close);
        QCOMPARE(snapshot(), before);
    }

    void help_unusableFile_data()
    {
        QTest::addColumn<QByteArray>("content");   // empty: no file at all
        QTest::addColumn<bool>("folder");          // a folder in place of the file
        QTest::newRow("missing") << QByteArray() << false;
        QTest::newRow("not rich text") << QByteArray("Solo testo, senza intestazione") << false;
        QTest::newRow("oversized") << QByteArray("{\\rtf1 ") + QByteArray(rtf::MaxFileSize, 'a') << false;
        QTest::newRow("folder of the same name") << QByteArray() << true;
    }

    void help_unusableFile()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, folder);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        QVERIFY(QDir::setCurrent(dir.path()));
        if (folder)
            QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("aiuto.rtf")));
        else if (!content.isEmpty()) {
            QFile f(dir.filePath(QStringLiteral("aiuto.rtf")));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        click(get(QStringLiteral("cmdaiuto")));
        auto *panel = get<QTextBrowser>(QStringLiteral("RichTextBox1"));
        QVERIFY(panel->isVisible());
        QCOMPARE(panel->toPlainText(), helppanel::missingMessage());
        QVERIFY(panel->toPlainText().contains(QStringLiteral("aiuto.rtf")));
        click(get(QStringLiteral("CmdChiudiAiuto")));
        QVERIFY(panel->isHidden());
    }

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

        QLabel *label25 = label(QStringLiteral("Label25"));
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
        auto *combo = get<QComboBox>(QStringLiteral("Combo1"));
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

        ClickLabel *politica = superLabel(QStringLiteral("politica"));
        const QImage unfocused = politica->grab().toImage();
        politica->setFocus();
        QVERIFY2(politica->grab().toImage() != unfocused, "focus is drawn");

        QSignalSpy esci(w.get(), &FNozioli::esciRequested);
        QSignalSpy archivio(w.get(), &FNozioli::archivioRequested);
        QTest::keyClick(clickLabel(QStringLiteral("Labesci")), Qt::Key_Enter, Qt::KeypadModifier);
        QTest::keyClick(clickLabel(QStringLiteral("Labarchivio")), Qt::Key_Space);
        QCOMPARE(esci.count(), 1);
        QCOMPARE(archivio.count(), 1);
        QCOMPARE(clickLabel(QStringLiteral("Labesci"))->accessibleName(), QStringLiteral("         Esci"));
        QCOMPARE(QAccessible::queryAccessibleInterface(spazio)->text(QAccessible::Description), QStringLiteral("giusto"));
    }

    void keyboard_helpKeepsFocusInside()
    {
        w->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(w.get()));
        auto *help = get<QPushButton>(QStringLiteral("cmdaiuto"));
        help->setFocus();
        QTest::keyClick(help, Qt::Key_Space);
        auto *panel = get<QTextBrowser>(QStringLiteral("RichTextBox1"));
        auto *close = get<QPushButton>(QStringLiteral("CmdChiudiAiuto"));
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

    // ---- Leaving ----

    void close_controlMeansEsci()
    {
        QSignalSpy esci(w.get(), &FNozioli::esciRequested);
        // As the window system sends it when its close control is used.
        QCloseEvent fromWindowSystem;
        QSpontaneKeyEvent::setSpontaneous(&fromWindowSystem);
        QCoreApplication::instance()->notify(w.get(), &fromWindowSystem);   // sendEvent() would clear the flag
        QVERIFY2(!fromWindowSystem.isAccepted(), "the window does not close by itself");
        QCOMPARE(esci.count(), 1);
        QVERIFY2(w->isVisible(), "the window stays until the program ends");
        click(clickLabel(QStringLiteral("Labesci")));
        QCOMPARE(esci.count(), 2);
        QVERIFY(w->close());
        QCOMPARE(esci.count(), 2);
    }
};

QTEST_MAIN(TstFNozioli)
#include "tst_fnozioli.moc"
