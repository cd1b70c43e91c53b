#pragma once

#include <QString>

#include <array>

// Ten counters of right and wrong answers, whole numbers from 0 that saturate
// instead of overflowing. Each is shown as the plain decimal caption of its
// label ("0", "1", … "10").
class ScoreSheet
{
public:
    enum Counter {
        sovragiustiesercizio,
        sovrasbagliatiesercizio,
        nozioligiustiesercizio,
        noziolisbagliatiesercizio,
        sovragiusti,
        sovrasbagliati,
        nozioligiusti,
        noziolisbagliati,
        spaziotempogiusti,
        spaziotemposbagliati,
        CounterCount
    };

    ScoreSheet();

    QString caption(Counter c) const { return QString::number(m_values[c]); }
    qint64 value(Counter c) const { return m_values[c]; }

    // Adds one to the counter.
    void count(Counter c);
    void setValue(Counter c, qint64 value);

    // Object name of the label that shows the counter ("Label5" ...).
    static QString labelName(Counter c);
    // Name of the counter, also the name of its archive field.
    static QString counterName(Counter c);

private:
    std::array<qint64, CounterCount> m_values;
};
