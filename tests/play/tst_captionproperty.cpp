// Properties of the reading of a counter caption, checked on many captions
// drawn at random against a plain reference reading. The generator starts
// from a fixed value, so every run checks the same captions.
#include "scoresheet.h"

#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>
#include <iterator>
#include <limits>

using namespace Qt::StringLiterals;
using C = ScoreSheet::Counter;

namespace {

constexpr qint64 Max = std::numeric_limits<qint64>::max();
constexpr quint32 StartValue = 20240611;
constexpr int Rounds = 20000;

bool isAsciiDigit(QChar c)
{
    return c.unicode() >= u'0' && c.unicode() <= u'9';
}

// The value of a run of ASCII digits, found by comparing the digits as text
// with the largest value, so that it shares no arithmetic with the code tested.
qint64 digitsValue(QStringView digits)
{
    while (!digits.isEmpty() && digits.front() == u'0')
        digits = digits.sliced(1);
    if (digits.isEmpty())
        return 0;
    const QString max = QString::number(Max);
    if (digits.size() > max.size() || (digits.size() == max.size() && digits.compare(max) > 0))
        return Max;
    return digits.toLongLong();
}

// Reference reading: blanks (U+0020) skipped, then the ASCII digits that follow.
qint64 referenceValue(QStringView caption)
{
    qsizetype begin = 0;
    while (begin < caption.size() && caption[begin] == u' ')
        ++begin;
    qsizetype end = begin;
    while (end < caption.size() && isAsciiDigit(caption[end]))
        ++end;
    return digitsValue(caption.sliced(begin, end - begin));
}

// The caption as code points, for failure messages.
QByteArray describe(QStringView caption)
{
    QByteArray out = "caption of " + QByteArray::number(caption.size()) + " units:";
    for (qsizetype i = 0; i < std::min<qsizetype>(caption.size(), 48); ++i)
        out += ' ' + QByteArray::number(caption[i].unicode(), 16);
    return caption.size() > 48 ? out + " ..." : out;
}

// Characters a caption may hold beyond ASCII digits: text, signs and points,
// other blanks, controls, lone surrogates and digits of other scripts.
constexpr char16_t NonDigits[] = {
    u' ', u'a', u'Z', u'-', u'+', u'.', u',', u'e', u'x', u'\t', u'\n', u'\r', 0x0000, 0x0001,
    0x007F, 0x00A0, 0x00E0, 0x00B2, 0x0301, 0x2007, 0x2028, 0x3000, 0xFEFF, 0xFFFD,
    0xD800, 0xDBFF, 0xDC00, 0xDFFF,                 // surrogates, mostly unpaired
    0x0660, 0x0663, 0x06F5, 0x0967, 0x0E51, 0xFF10, 0xFF19, // digits of other scripts
};

class Captions
{
public:
    QString blanks()
    {
        const int n = m_generator.bounded(8) == 0 ? m_generator.bounded(40) : m_generator.bounded(4);
        return QString(n, u' ');
    }

    QString digits()
    {
        QString s;
        switch (m_generator.bounded(6)) {
        case 0: // about the largest value, where saturation begins
            s = QString::number(Max - m_generator.bounded(1000)).left(18 + m_generator.bounded(2));
            for (int i = s.size(); i < 19 + m_generator.bounded(3); ++i)
                s += QChar(u'0' + m_generator.bounded(10));
            break;
        case 1: // leading zeros before a small number
            s = QString(m_generator.bounded(40), u'0') + QString::number(m_generator.bounded(1000));
            break;
        default:
            for (int i = 0, n = m_generator.bounded(26); i < n; ++i)
                s += QChar(u'0' + m_generator.bounded(10));
        }
        return s;
    }

    // Anything, as long as it does not begin with an ASCII digit, nor with a
    // blank, which would still be a leading blank after an empty digit run.
    QString tail()
    {
        QString s;
        if (m_generator.bounded(4) == 0)
            return s;
        static_assert(NonDigits[0] == u' ');
        s += QChar(NonDigits[m_generator.bounded(1, int(std::size(NonDigits)))]);
        for (int i = 0, n = m_generator.bounded(12); i < n; ++i)
            s += anyCharacter();
        return s;
    }

    QString any()
    {
        QString s;
        for (int i = 0, n = m_generator.bounded(30); i < n; ++i)
            s += anyCharacter();
        return s;
    }

    qint64 anyValue()
    {
        switch (m_generator.bounded(5)) {
        case 0: return m_generator.bounded(qint64(1000));
        case 1: return Max - m_generator.bounded(qint64(3));
        case 2: return -m_generator.bounded(qint64(1000)) - 1;
        case 3: return std::numeric_limits<qint64>::min() + m_generator.bounded(qint64(3));
        default: return qint64(m_generator.generate64());
        }
    }

private:
    QChar anyCharacter()
    {
        switch (m_generator.bounded(4)) {
        case 0: return QChar(u'0' + m_generator.bounded(10));
        case 1: return QChar(NonDigits[m_generator.bounded(int(std::size(NonDigits)))]);
        default: return QChar(char16_t(m_generator.bounded(0x10000)));
        }
    }

    QRandomGenerator m_generator{StartValue};
};

} // namespace

class TstCaptionProperty : public QObject
{
    Q_OBJECT

private slots:
    // blanks + digits + anything: the digits' value, whatever surrounds them.
    void readsTheLeadingDigits()
    {
        Captions captions;
        for (int round = 0; round < Rounds; ++round) {
            const QString digits = captions.digits();
            const QString caption = captions.blanks() + digits + captions.tail();
            const qint64 value = leadingNumber(caption);
            if (value != digitsValue(digits))
                QFAIL((describe(caption) + " read as " + QByteArray::number(value)).constData());
        }
    }

    void anyCaptionMatchesTheReference()
    {
        Captions captions;
        for (int round = 0; round < Rounds; ++round) {
            const QString caption = round % 2 ? captions.any() : captions.blanks() + captions.any();
            const qint64 value = leadingNumber(caption);
            if (value < 0 || value != referenceValue(caption))
                QFAIL((describe(caption) + " read as " + QByteArray::number(value)).constData());
        }
    }

    // Cutting a caption short never raises its value, nor does anything
    // written after the leading number change it.
    void prefixStable()
    {
        Captions captions;
        for (int round = 0; round < Rounds / 4; ++round) {
            const QString head = captions.blanks() + captions.digits();
            const QString caption = head + captions.tail();
            const qint64 whole = leadingNumber(caption);
            qint64 previous = 0;
            for (qsizetype k = 0; k <= caption.size(); ++k) {
                const qint64 value = leadingNumber(QStringView(caption).first(k));
                if (value < previous)
                    QFAIL((describe(caption) + " is larger cut at " + QByteArray::number(k)).constData());
                if (k >= head.size() && value != whole)
                    QFAIL((describe(caption) + " changes after its number at " + QByteArray::number(k)).constData());
                previous = value;
            }
        }
    }

    // Counting reads the caption, adds one and writes a plain decimal: the
    // value never goes down and only stops at the largest value.
    void countingNeverDecreases()
    {
        static const QRegularExpression plainDecimal(u"^(0|[1-9][0-9]*)$"_s);
        Captions captions;
        ScoreSheet sheet;
        for (int round = 0; round < Rounds; ++round) {
            const C counter = C(round % ScoreSheet::CounterCount);
            const qint64 start = captions.anyValue();
            sheet.setValue(counter, start);
            for (int step = 0; step < 3; ++step) {
                const qint64 before = sheet.value(counter);
                sheet.count(counter);
                const QString caption = sheet.caption(counter);
                const qint64 after = sheet.value(counter);
                if (before < 0 || after != (before == Max ? Max : before + 1)
                    || !plainDecimal.match(caption).hasMatch())
                    QFAIL(("counting from " + QByteArray::number(start) + " wrote " + caption.toLatin1()).constData());
            }
        }
    }

    void nastyCaptions_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<qint64>("value");
        const QString max = QString::number(Max);

        QTest::newRow("100000 nines saturate") << QString(100000, u'9') << Max;
        QTest::newRow("one and 100000 zeros saturate") << u"1"_s + QString(100000, u'0') << Max;
        QTest::newRow("100000 leading zeros do not saturate") << QString(100000, u'0') + u"7"_s << qint64(7);
        QTest::newRow("100000 blanks before a number") << QString(100000, u' ') + u"12"_s << qint64(12);
        QTest::newRow("largest value exactly") << max << Max;
        QTest::newRow("one above the largest value") << u"9223372036854775808"_s << Max;
        QTest::newRow("one below the largest value") << u"9223372036854775806"_s << Max - 1;
        QTest::newRow("largest value with a leading zero") << u"0"_s + max << Max;
        QTest::newRow("lone high surrogate before digits") << u"\xD83D" "12"_s << qint64(0);
        QTest::newRow("lone low surrogate after digits") << u"12\xDE00"_s << qint64(12);
        QTest::newRow("lone surrogate after blanks") << u"  \xDC00" "5"_s << qint64(0);
        QTest::newRow("NUL before digits") << QString(QChar(0)) + u"5"_s << qint64(0);
        QTest::newRow("NUL inside the number ends it") << u"4"_s + QChar(0) + u"2"_s << qint64(4);
        QTest::newRow("NUL among the blanks") << u" "_s + QChar(0) + u" 3"_s << qint64(0);
        QTest::newRow("fullwidth digits") << u"\uFF11\uFF12"_s << qint64(0);
        QTest::newRow("Devanagari digits") << u"\u0967\u0968"_s << qint64(0);
        QTest::newRow("mathematical bold digit (surrogate pair)") << u"\U0001D7CF"_s << qint64(0);
        QTest::newRow("superscript two ends the number") << u"3\u00B2"_s << qint64(3);
        QTest::newRow("combining accent ends the number") << u"7\u0301"_s << qint64(7);
        QTest::newRow("no-break space is not a blank") << u"\u00A08"_s << qint64(0);
        QTest::newRow("byte order mark is not a blank") << u"\uFEFF8"_s << qint64(0);
    }

    void nastyCaptions()
    {
        QFETCH(QString, caption);
        QFETCH(qint64, value);
        QCOMPARE(leadingNumber(caption), value);
        QCOMPARE(referenceValue(caption), value);
    }
};

QTEST_GUILESS_MAIN(TstCaptionProperty)
#include "tst_captionproperty.moc"
