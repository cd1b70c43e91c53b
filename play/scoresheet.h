#pragma once

#include <QString>
#include <QStringView>

#include <array>

// The number a counter caption begins with, leading blanks ignored; 0 when the
// caption does not begin with a number. Values too large for 64 bits saturate.
qint64 leadingNumber(QStringView caption);

// Ten counters of right and wrong answers. Each counter lives in the caption
// its label shows, and counting follows the caption: read its leading number,
// add one, write back a plain decimal.
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

    QString caption(Counter c) const { return m_captions[c]; }
    qint64 value(Counter c) const { return leadingNumber(m_captions[c]); }

    // Adds one to the counter by the caption rule.
    void count(Counter c);
    void setValue(Counter c, qint64 value);

    // Object name of the label that shows the counter ("Label5" ...).
    static QString labelName(Counter c);
    // Name of the counter, also the name of its archive field.
    static QString counterName(Counter c);

private:
    std::array<QString, CounterCount> m_captions;
};
