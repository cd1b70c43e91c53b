#pragma once

#include "play/model/scoresheet.h"

#include <QString>

#include <array>

class ConceptTaxonomy;
class ExerciseBank;
struct ExerciseKey;

enum class AnswerState { Unanswered, Right, Wrong };

// What a click did: Ignored when the control was already answered or could not be used.
enum class Verdict { Ignored, Right, Wrong };

// The four single-choice space-time questions.
enum class SpaceTimeGroup { Periodo, Durata, Luogo, Tempo };

// The exercise in progress on the main window: the current exercise, the
// answer state of every answer control, and the score sheet. The window
// renders this state; every rule of judging lives here.
class ExerciseModel
{
public:
    static constexpr int ConceptSlots = 12;  // Label3(0) .. Label3(11)
    static constexpr int BoxCount = 9;       // Check1 .. Check9

    struct ConceptSlot
    {
        QString caption;
        bool shown = false;
        AnswerState state = AnswerState::Unanswered;
    };

    struct Box
    {
        bool checked = false;
        bool enabled = true;
        bool wrong = false;                  // red background
    };

    // Both must outlive the model; they are read as they are at each call.
    ExerciseModel(const ConceptTaxonomy &taxonomy, const ExerciseBank &bank);

    // State right after the main window's load: nothing chosen, every answer
    // control disabled or hidden, the prompt blinking.
    void load();

    int currentExercise() const { return m_currentExercise; }
    bool blinking() const { return m_blinking; }

    // Captions of Label1 (passage), Label11 and Label12 (numbers to find).
    QString passage() const { return m_passage; }
    QString superConceptsToFind() const { return m_superConceptsToFind; }
    QString conceptsToFind() const { return m_conceptsToFind; }

    // Starts the exercise chosen in the drop-down list (1..39). A number
    // below 1 stands for "no item selected": only the resets before the
    // choice are done. Resetting the boxes never judges or counts anything.
    void startExercise(int number);

    bool superConceptsEnabled() const { return m_superConceptsEnabled; }
    bool framesEnabled() const { return m_framesEnabled; }

    // State of the super-concept whose label shows this caption.
    AnswerState superConceptState(const QString &caption) const;
    // The pupil clicked the super-concept label showing this caption.
    Verdict answerSuperConcept(const QString &caption);

    const ConceptSlot &conceptSlot(int index) const;
    // The pupil clicked Label3(index).
    Verdict answerConcept(int index);

    // checkNumber is 1..9, as in Check1..Check9.
    const Box &box(int checkNumber) const;
    // The pupil checked CheckN; only a check by the pupil is judged.
    Verdict checkBox(int checkNumber);

    static SpaceTimeGroup groupOf(int checkNumber);
    static int boxCode(int checkNumber);

    const ScoreSheet &scoreSheet() const { return m_score; }

private:
    const ExerciseKey &currentKey() const;
    int superConceptIndex(const QString &caption) const;
    void clearConceptPanel();

    const ConceptTaxonomy &m_taxonomy;
    const ExerciseBank &m_bank;

    int m_currentExercise = 0;
    bool m_blinking = true;
    QString m_passage;
    QString m_superConceptsToFind;
    QString m_conceptsToFind;
    bool m_superConceptsEnabled = false;
    bool m_framesEnabled = false;
    std::array<AnswerState, 7> m_superConcepts {};
    std::array<ConceptSlot, ConceptSlots> m_conceptPanel;
    std::array<Box, BoxCount + 1> m_boxes;   // index 0 unused
    std::array<int, 4> m_groupAnswers {};
    ScoreSheet m_score;
};
