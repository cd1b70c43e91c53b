// The reading of a counter caption, compared on many captions drawn at random
// with a plain reference reading, plus the nasty cases; and counting by the
// caption rule. The generator starts from a fixed value, so every run checks
// the same captions.
#include "scoresheet.h"

#include <QRandomGenerator>
#include <QTest>

#include <iterator>
#include <limits>

using namespace Qt::StringLiterals;
using C = ScoreSheet::Counter;

namespace {

constexpr qint64 Max = std::numeric_limits<qint64>::max();

// Reference reading: blanks (U+0020) skipped, then the ASCII digits that
// follow, valued by comparing them as text with the largest value, so that it
// shares no arithmetic with the code tested.
qint64 referenceValue(QStringView caption)
{
    qsizetype begin = 0;
    while (begin < caption.size() && caption[begin] == u' ')
        ++begin;
    qsizetype end = begin;
    while (end < caption.size() && caption[end] >= u'0' && caption[end] <= u'9')
        ++end;
    while (begin < end && caption[begin] == u'0')
        ++begin;
    const QStringView digits = caption.sliced(begin, end - begin);
    const QString max = QString::number(Max);
    if (digits.size() > max.size() || (digits.size() == max.size() && digits.compare(max) > 0))
        return Max;
    return digits.isEmpty() ? 0 : digits.toLongLong();
}

// Characters a caption may hold beyond ASCII digits: text, signs, other
// blanks, controls, lone surrogates and digits of other scripts.
constexpr char16_t Others[] = {
    u' ', u'a', u'-', u'+', u'.', u'\t', u'\n', 0x0000, 0x00A0, 0x00B2, 0x0301, 0x3000, 0xFEFF,
    0xD800, 0xDC00, 0x0660, 0x0967, 0xFF10,
};

// Leading blanks, a run of digits (often around the largest value, where
// saturation begins), then anything.
QString randomCaption(QRandomGenerator &g)
{
    QString s(g.bounded(8) == 0 ? g.bounded(40) : g.bounded(4), u' ');
    if (g.bounded(3) == 0)
        s += QString::number(Max - g.bounded(1000)).left(17 + g.bounded(3));
    for (int i = 0, n = g.bounded(6); i < n; ++i)
        s += QChar(u'0' + g.bounded(10));
    for (int i = 0, n = g.bounded(12); i < n; ++i) {
        switch (g.bounded(3)) {
        case 0: s += QChar(u'0' + g.bounded(10)); break;
        case 1: s += QChar(Others[g.bounded(int(std::size(Others)))]); break;
        default: s += QChar(char16_t(g.bounded(0x10000)));
        }
    }
    return s;
}

} // namespace

class TstCaptionProperty : public QObject
{
    Q_OBJECT

private slots:
    void randomCaptionsMatchTheReference()
    {
        QRandomGenerator generator(20240611);
        for (int round = 0; round < 40000; ++round) {
            const QString caption = randomCaption(generator);
            const qint64 value = leadingNumber(caption);
            if (value != referenceValue(caption)) {
                QByteArray units;
                for (const QChar c : caption)
                    units += ' ' + QByteArray::number(c.unicode(), 16);
                QFAIL(("caption of units" + units + " read as " + QByteArray::number(value)).constData());
            }
        }
    }

    void nastyCaptions_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::addColumn<qint64>("value");
        QTest::newRow("leading blanks ignored") << u"   42"_s << qint64(42);
        QTest::newRow("stops at the first non-digit") << u"7 giusti"_s << qint64(7);
        QTest::newRow("no number") << u"Tot Giusti"_s << qint64(0);
        QTest::newRow("sign is not a number") << u"-3"_s << qint64(0);
        QTest::newRow("tab is not a blank") << u"\t5"_s << qint64(0);
        QTest::newRow("largest value exactly") << QString::number(Max) << Max;
        QTest::newRow("one above the largest value saturates") << u"9223372036854775808"_s << Max;
        QTest::newRow("100000 nines saturate") << QString(100000, u'9') << Max;
        QTest::newRow("100000 leading zeros do not saturate") << QString(100000, u'0') + u"7"_s << qint64(7);
        QTest::newRow("mathematical bold digit (surrogate pair)") << u"\U0001D7CF"_s << qint64(0);
        QTest::newRow("NUL inside the number ends it") << u"4"_s + QChar(0) + u"2"_s << qint64(4);
    }

    void nastyCaptions()
    {
        QFETCH(QString, caption);
        QFETCH(qint64, value);
        QCOMPARE(leadingNumber(caption), value);
        QCOMPARE(referenceValue(caption), value);
    }

    // Counting reads the caption, adds one and writes a plain decimal that
    // never goes below 0 and stops at the largest value.
    void counting_data()
    {
        QTest::addColumn<qint64>("start");
        QTest::addColumn<QString>("after");
        QTest::newRow("nine becomes ten") << qint64(9) << u"10"_s;
        QTest::newRow("the largest value stays") << Max << QString::number(Max);
        QTest::newRow("a negative value is written as 0") << qint64(-5) << u"1"_s;
        QTest::newRow("the smallest value") << std::numeric_limits<qint64>::min() << u"1"_s;
    }

    void counting()
    {
        QFETCH(qint64, start);
        QFETCH(QString, after);
        for (int c = 0; c < ScoreSheet::CounterCount; ++c) {
            ScoreSheet sheet;
            sheet.setValue(C(c), start);
            sheet.count(C(c));
            QCOMPARE(sheet.caption(C(c)), after);
            QCOMPARE(sheet.value(C(c)), after.toLongLong());
        }
    }
};

QTEST_GUILESS_MAIN(TstCaptionProperty)
#include "tst_captionproperty.moc"
