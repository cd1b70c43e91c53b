#pragma once

#include "content/concepttaxonomy.h"
#include "content/exercisebank.h"
#include "play/model/exercisemodel.h"
#include "play/twiplayout.h"

#include <QRect>
#include <QWidget>

#include <array>

class AnswerCheckBox;
class ClickLabel;
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
    void closeEvent(QCloseEvent *event) override;
    // A window maximized by the window system lays its controls out again for
    // the client area it got, at one uniform scale.
    void resizeEvent(QResizeEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    bool focusNextPrevChild(bool next) override;

private:
    void buildControls();
    // A row of the table of controls for a counter of the score sheet.
    TwipControl counter(ScoreSheet::Counter counter, QRect twips, const QColor &background, const QColor &text);
    void buildExerciseHead();
    void buildSpaceTime();
    void buildAnswerPanels();
    void buildCommands();
    void buildScorePanel();
    void buildHelpPanel();
    void arrangeTabOrder();
    void relayout();

    void chooseExercise(int comboIndex);
    void blink();
    QRect helpRect() const;
    void openHelp();
    void closeHelp();
    void answerSuperConcept(int index);
    void answerConcept(int index);
    void answerBox(int checkNumber);

    // Shows the model's state; changes only the properties that differ.
    void render();

    ConceptTaxonomy m_taxonomy;
    ExerciseBank m_bank;
    ExerciseModel m_model;
    TwipLayout m_layout;
    TwipMapping m_mapping;

    QLabel *m_passage = nullptr;                 // Label1
    QLabel *m_toFindSuper = nullptr;             // Label11
    QLabel *m_toFindConcepts = nullptr;          // Label12
    QLabel *m_prompt = nullptr;                  // Label29
    QComboBox *m_combo = nullptr;                // Combo1
    std::array<ClickLabel *, ConceptTaxonomy::SuperConceptCount> m_superLabels {};
    std::array<ClickLabel *, ExerciseModel::ConceptSlots> m_conceptLabels {};
    std::array<QGroupBox *, 4> m_frames {};      // Frame1..Frame4
    std::array<AnswerCheckBox *, ExerciseModel::BoxCount + 1> m_boxes {}; // Check1..Check9, 0 unused
    std::array<QLabel *, ScoreSheet::CounterCount> m_counters {};
    QPushButton *m_helpButton = nullptr;         // cmdaiuto
    ClickLabel *m_archivio = nullptr;            // Labarchivio
    ClickLabel *m_esci = nullptr;                // Labesci
    QTextBrowser *m_help = nullptr;              // RichTextBox1
    QPushButton *m_closeHelp = nullptr;          // CmdChiudiAiuto
    QTimer *m_timer = nullptr;                   // Timer1
    ScaledIndicatorStyle *m_indicatorStyle = nullptr;
};
