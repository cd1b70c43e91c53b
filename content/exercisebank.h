#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <vector>

// The answer key of one exercise. Name slots are 1-based: position 0 stays empty
// and positions above the count are never read.
struct ExerciseKey
{
    static constexpr int SuperConceptSlots = 11; // positions 0..10
    static constexpr int ConceptSlots = 16;      // positions 0..15

    QString passage;
    int superConceptCount = 0;
    std::array<QString, SuperConceptSlots> superConcepts;
    int conceptCount = 0;
    std::array<QString, ConceptSlots> concepts;
    int periodo = 0; // 1 explicit ("  Esplicito"), 0 implicit
    int durata = 0;  // 0 short, 1 medium, 2 long
    int luogo = 0;   // 1 explicit, 0 implicit
    int tempo = 0;   // 0 simultaneity, 1 succession

    // The names at positions 1 to the count.
    QStringList superConceptList() const;
    QStringList conceptList() const;
};

// The 39 exercises, indexed by exercise number. Slots 0 and 40..200 hold no exercise.
class ExerciseBank
{
public:
    static constexpr int SlotCount = 201;
    static constexpr int ExerciseCount = 39;

    ExerciseBank();

    // Fills exercises 1..39 with their passages and keys. Runs once, when the main window loads.
    void frasi();

    // Any number; numbers outside 0..200 give the empty slot 0.
    const ExerciseKey &key(int number) const;
    // Writable slot, for building test keys; numbers outside 1..200 are refused by an assertion.
    ExerciseKey &slot(int number);

private:
    std::vector<ExerciseKey> m_slots;
};
