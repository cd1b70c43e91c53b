#include "exercisebank.h"

#include <QtGlobal>

ExerciseBank::ExerciseBank()
    : m_slots(SlotCount)
{
}

const ExerciseKey &ExerciseBank::key(int number) const
{
    if (number < 0 || number >= SlotCount)
        return m_slots[0];
    return m_slots[size_t(number)];
}

ExerciseKey &ExerciseBank::slot(int number)
{
    Q_ASSERT(number >= 1 && number < SlotCount);
    return m_slots[size_t(qBound(1, number, SlotCount - 1))];
}

void ExerciseBank::frasi()
{
    // Filled with the 39 passages and keys.
}
