#pragma once

#include "content/concepttaxonomy.h"
#include "content/exercisebank.h"
#include "play/model/exercisemodel.h"
#include "play/twips.h"

#include <QRect>
#include <QWidget>

#include <array>
#include <vector>

class ClickLabel;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QScreen;
class QTextBrowser;
class QTimer;
class ScaledIndicatorStyle;

// The main exercise window: the pupil chooses an exercise, reads its passage
// and answers super-concepts, concepts and the four space-time questions.
// Every click goes to the ExerciseModel, which judges it; the window then
// shows the model's state as the colours, captions, marks, visibility and
// enabled states of its controls.
class FNozioli : public QWidget
{
    Q_OBJECT

public:
    // The area the controls are laid out in, in twips.
    static constexpr QSize LayoutTwips {11835, 9045};

    // Runs the load: fills the taxonomy and the exercise bank, leaves every
    // answer control disabled or hidden, starts Timer1 blinking the prompt,
    // and covers the primary screen.
    explicit FNozioli(QWidget *parent = nullptr);
    ~FNozioli() override;

    const ExerciseModel &model() const { return m_model; }
    const ScoreSheet &scoreSheet() const { return m_model.scoreSheet(); }
    const ConceptTaxonomy &taxonomy() const { return m_taxonomy; }
    const ExerciseBank &bank() const { return m_bank; }

    // Covers the whole screen; the layout is scaled to fit it, anchored at
    // the top left corner.
    void placeOnScreen(QScreen *screen);
    // Covers area (global coordinates), the layout scaled to fit it.
    void placeInArea(const QRect &area);
    const TwipMapping &mapping() const { return m_mapping; }

    bool helpShown() const;

signals:
    // "Archivio dei risultati" was activated.
    void archivioRequested();
    // "Esci" was activated.
    void esciRequested();
    // The window system asked to close the window.
    void closeRequested();

protected:
    void mouseMoveEvent(QMouseEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    struct Placement
    {
        QWidget *widget;
        QRect twips;                 // relative to the widget's parent
        TwipMapping::Face face = TwipMapping::Face::MsSansSerif;
        double points = 8.25;        // 0: the widget keeps its font
        bool bold = false;
        bool fitText = false;        // shrink the font when the fixed caption would not fit
    };

    void buildControls();
    void buildSpaceTime();
    void arrangeTabOrder();
    QLabel *addLabel(const char *name, const QString &caption, QRect twips);
    ClickLabel *addClickLabel(const char *name, const QString &caption, QRect twips);
    QWidget *addShape(const char *name, QRect twips);
    Placement &place(QWidget *widget, QRect twips);
    void relayout();

    void chooseExercise(int comboIndex);
    void blink();
    QRect helpRect() const;
    void openHelp();
    void closeHelp();
    void answerSuperConcept(int index);
    void answerConcept(int index);
    void answerBox(int checkNumber);
    void pointerOverBackground();

    // Shows the model's state; changes only the properties that differ.
    void render();

    ConceptTaxonomy m_taxonomy;
    ExerciseBank m_bank;
    ExerciseModel m_model;
    TwipMapping m_mapping;
    std::vector<Placement> m_placements;

    QLabel *m_passage = nullptr;                 // Label1
    QLabel *m_toFindSuper = nullptr;             // Label11
    QLabel *m_toFindConcepts = nullptr;          // Label12
    QLabel *m_prompt = nullptr;                  // Label29
    QComboBox *m_combo = nullptr;                // Combo1
    std::array<ClickLabel *, ConceptTaxonomy::SuperConceptCount> m_superLabels {};
    std::array<ClickLabel *, ExerciseModel::ConceptSlots> m_conceptLabels {};
    std::array<QGroupBox *, 4> m_frames {};      // Frame1..Frame4
    std::array<QCheckBox *, ExerciseModel::BoxCount + 1> m_boxes {}; // Check1..Check9, 0 unused
    std::array<QLabel *, ScoreSheet::CounterCount> m_counters {};
    QPushButton *m_helpButton = nullptr;         // cmdaiuto
    ClickLabel *m_archivio = nullptr;            // Labarchivio
    ClickLabel *m_esci = nullptr;                // Labesci
    QLabel *m_picture = nullptr;                 // Image2
    QTextBrowser *m_help = nullptr;              // RichTextBox1
    QPushButton *m_closeHelp = nullptr;          // CmdChiudiAiuto
    QTimer *m_timer = nullptr;                   // Timer1
    ScaledIndicatorStyle *m_indicatorStyle = nullptr;
};
