#include "play/model/exercisemodel.h"

#include "content/concepttaxonomy.h"
#include "content/exercisebank.h"

namespace {

struct BoxInfo
{
    SpaceTimeGroup group;
    int code;
};

// Check1..Check9: the group each box answers and the code it stands for.
constexpr BoxInfo boxInfo[ExerciseModel::BoxCount + 1] = {
    {SpaceTimeGroup::Periodo, -1}, // unused
    {SpaceTimeGroup::Periodo, 1},  // Check1 "  Esplicito"
    {SpaceTimeGroup::Periodo, 0},  // Check2 "  Implicito"
    {SpaceTimeGroup::Durata, 0},   // Check3 "  Breve"
    {SpaceTimeGroup::Durata, 1},   // Check4 "  Media"
    {SpaceTimeGroup::Luogo, 1},    // Check5 "  Esplicito"
    {SpaceTimeGroup::Luogo, 0},    // Check6 "  Implicito"
    {SpaceTimeGroup::Durata, 2},   // Check7 "  Lunga"
    {SpaceTimeGroup::Tempo, 0},    // Check8 "Contemporaneità"
    {SpaceTimeGroup::Tempo, 1},    // Check9 "Successione"
};

bool validBox(int checkNumber)
{
    return checkNumber >= 1 && checkNumber <= ExerciseModel::BoxCount;
}

int keyCode(const ExerciseKey &key, SpaceTimeGroup group)
{
    switch (group) {
    case SpaceTimeGroup::Periodo: return key.periodo;
    case SpaceTimeGroup::Durata: return key.durata;
    case SpaceTimeGroup::Luogo: return key.luogo;
    case SpaceTimeGroup::Tempo: return key.tempo;
    }
    return -1;
}

} // namespace

ExerciseModel::ExerciseModel(const ConceptTaxonomy &taxonomy, const ExerciseBank &bank)
    : m_taxonomy(taxonomy)
    , m_bank(bank)
{
    load();
}

void ExerciseModel::load()
{
    m_currentExercise = 0;
    m_blinking = true;
    m_passage.clear();
    m_superConceptsToFind = QString(13, u' ');
    m_conceptsToFind.clear();
    m_framesEnabled = false;
    m_superConceptsEnabled = false;
    m_superConcepts.fill(AnswerState::Unanswered);
    clearConceptPanel();
    for (Box &b : m_boxes)
        b = Box{};
    m_groupAnswers.fill(0);
    m_score = ScoreSheet{};
}

const ExerciseKey &ExerciseModel::currentKey() const
{
    return m_bank.key(m_currentExercise);
}

void ExerciseModel::clearConceptPanel()
{
    for (ConceptSlot &slot : m_conceptPanel) {
        slot.shown = false;
        slot.state = AnswerState::Unanswered;
    }
}

void ExerciseModel::startExercise(int number)
{
    m_blinking = false;
    // The space-time totals are held across the reset of the boxes.
    const qint64 heldRight = m_score.value(ScoreSheet::spaziotempogiusti);
    const qint64 heldWrong = m_score.value(ScoreSheet::spaziotemposbagliati);

    m_superConcepts.fill(AnswerState::Unanswered);
    m_superConceptsEnabled = true;
    m_framesEnabled = true;
    clearConceptPanel();
    if (number < 1)
        return;

    m_currentExercise = number;
    const ExerciseKey &key = currentKey();
    m_passage = key.passage;
    m_superConceptsToFind = QString::number(key.superConceptCount);
    m_conceptsToFind = QString::number(key.conceptCount);

    // Unchecking from here is not an answer: nothing is judged or counted.
    for (Box &b : m_boxes)
        b = Box{};

    m_score.setValue(ScoreSheet::sovragiustiesercizio, 0);
    m_score.setValue(ScoreSheet::sovrasbagliatiesercizio, 0);
    m_score.setValue(ScoreSheet::nozioligiustiesercizio, 0);
    m_score.setValue(ScoreSheet::noziolisbagliatiesercizio, 0);
    m_score.setValue(ScoreSheet::spaziotempogiusti, heldRight);
    m_score.setValue(ScoreSheet::spaziotemposbagliati, heldWrong);
}

int ExerciseModel::superConceptIndex(const QString &caption) const
{
    const auto &entries = m_taxonomy.entries();
    for (int i = 0; i < int(entries.size()); ++i) {
        if (!entries[size_t(i)].name.isEmpty() && entries[size_t(i)].name == caption)
            return i;
    }
    return -1;
}

AnswerState ExerciseModel::superConceptState(const QString &caption) const
{
    const int i = superConceptIndex(caption);
    return i < 0 ? AnswerState::Unanswered : m_superConcepts[size_t(i)];
}

Verdict ExerciseModel::answerSuperConcept(const QString &caption)
{
    const int index = superConceptIndex(caption);
    if (!m_superConceptsEnabled || index < 0)
        return Verdict::Ignored;
    AnswerState &state = m_superConcepts[size_t(index)];
    if (state != AnswerState::Unanswered)
        return Verdict::Ignored;

    clearConceptPanel();

    const ExerciseKey &key = currentKey();
    const int n = qMin(key.superConceptCount, ExerciseKey::SuperConceptSlots - 1);
    bool right = false;
    for (int j = 1; j <= n && !right; ++j)
        right = key.superConcepts[size_t(j)] == caption;

    if (!right) {
        m_score.count(ScoreSheet::sovrasbagliatiesercizio);
        m_score.count(ScoreSheet::sovrasbagliati);
        state = AnswerState::Wrong;
        return Verdict::Wrong;
    }

    state = AnswerState::Right;
    const ConceptTaxonomy::Entry &entry = m_taxonomy.entries()[size_t(index)];
    const int m = qMin(entry.count, ConceptSlots);
    for (int k = 1; k <= m; ++k) {
        ConceptSlot &slot = m_conceptPanel[size_t(k - 1)];
        slot.shown = true;
        slot.caption = entry.concepts[size_t(k)];
    }
    m_score.count(ScoreSheet::sovragiustiesercizio);
    m_score.count(ScoreSheet::sovragiusti);
    return Verdict::Right;
}

const ExerciseModel::ConceptSlot &ExerciseModel::conceptSlot(int index) const
{
    return m_conceptPanel[size_t(qBound(0, index, ConceptSlots - 1))];
}

Verdict ExerciseModel::answerConcept(int index)
{
    if (index < 0 || index >= ConceptSlots)
        return Verdict::Ignored;
    ConceptSlot &slot = m_conceptPanel[size_t(index)];
    if (!slot.shown || slot.state != AnswerState::Unanswered)
        return Verdict::Ignored;

    const ExerciseKey &key = currentKey();
    const int c = qMin(key.conceptCount, ExerciseKey::ConceptSlots - 1);
    int misses = 0;
    for (int p = 1; p <= c; ++p) {
        if (key.concepts[size_t(p)] != slot.caption)
            ++misses;
    }

    if (misses == c) {
        m_score.count(ScoreSheet::noziolisbagliatiesercizio);
        slot.state = AnswerState::Wrong;
        m_score.count(ScoreSheet::noziolisbagliati);
        return Verdict::Wrong;
    }
    m_score.count(ScoreSheet::nozioligiustiesercizio);
    slot.state = AnswerState::Right;
    m_score.count(ScoreSheet::nozioligiusti);
    return Verdict::Right;
}

const ExerciseModel::Box &ExerciseModel::box(int checkNumber) const
{
    return m_boxes[size_t(validBox(checkNumber) ? checkNumber : 0)];
}

SpaceTimeGroup ExerciseModel::groupOf(int checkNumber)
{
    return boxInfo[validBox(checkNumber) ? checkNumber : 0].group;
}

int ExerciseModel::boxCode(int checkNumber)
{
    return validBox(checkNumber) ? boxInfo[checkNumber].code : -1;
}

Verdict ExerciseModel::checkBox(int checkNumber)
{
    if (!validBox(checkNumber) || !m_framesEnabled)
        return Verdict::Ignored;
    Box &checked = m_boxes[size_t(checkNumber)];
    if (!checked.enabled || checked.checked)
        return Verdict::Ignored;

    const SpaceTimeGroup group = groupOf(checkNumber);
    checked.checked = true;
    m_groupAnswers[size_t(group)] = boxCode(checkNumber);
    for (int b = 1; b <= BoxCount; ++b) {
        if (b != checkNumber && groupOf(b) == group)
            m_boxes[size_t(b)].checked = false;
    }

    const bool right = m_groupAnswers[size_t(group)] == keyCode(currentKey(), group);
    if (right) {
        m_score.count(ScoreSheet::spaziotempogiusti);
    } else {
        checked.wrong = true;
        m_score.count(ScoreSheet::spaziotemposbagliati);
    }
    for (int b = 1; b <= BoxCount; ++b) {
        if (groupOf(b) == group)
            m_boxes[size_t(b)].enabled = false;
    }
    return right ? Verdict::Right : Verdict::Wrong;
}
