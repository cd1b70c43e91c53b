#include "play/model/scoresheet.h"

#include <limits>

ScoreSheet::ScoreSheet()
{
    m_values.fill(0);
}

void ScoreSheet::count(Counter c)
{
    if (m_values[c] < std::numeric_limits<qint64>::max())
        ++m_values[c];
}

void ScoreSheet::setValue(Counter c, qint64 value)
{
    m_values[c] = value < 0 ? 0 : value;
}

QString ScoreSheet::labelName(Counter c)
{
    static const char *const names[CounterCount] = {
        "Label5", "Label6", "Label7", "Label8", "Label15",
        "Label17", "Label16", "Label18", "Label23", "Label24",
    };
    return QString::fromLatin1(names[c]);
}

QString ScoreSheet::counterName(Counter c)
{
    static const char *const names[CounterCount] = {
        "sovragiustiesercizio", "sovrasbagliatiesercizio", "nozioligiustiesercizio",
        "noziolisbagliatiesercizio", "sovragiusti", "sovrasbagliati", "nozioligiusti",
        "noziolisbagliati", "spaziotempogiusti", "spaziotemposbagliati",
    };
    return QString::fromLatin1(names[c]);
}
