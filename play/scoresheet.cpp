#include "scoresheet.h"

#include <limits>

qint64 leadingNumber(QStringView caption)
{
    qsizetype i = 0;
    while (i < caption.size() && caption[i] == u' ')
        ++i;
    qint64 value = 0;
    constexpr qint64 max = std::numeric_limits<qint64>::max();
    for (; i < caption.size(); ++i) {
        const char16_t c = caption[i].unicode();
        if (c < u'0' || c > u'9')
            break;
        const int digit = c - u'0';
        value = value > (max - digit) / 10 ? max : value * 10 + digit;
    }
    return value;
}

ScoreSheet::ScoreSheet()
{
    m_captions.fill(QStringLiteral("0"));
}

void ScoreSheet::count(Counter c)
{
    const qint64 v = value(c);
    setValue(c, v == std::numeric_limits<qint64>::max() ? v : v + 1);
}

void ScoreSheet::setValue(Counter c, qint64 value)
{
    m_captions[c] = QString::number(value < 0 ? 0 : value);
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
