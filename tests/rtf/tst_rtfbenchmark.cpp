// Time to read hostile inputs of about 1 MB: every one must be read in well
// under a second. Measured only, never asserted.

#include "rtftesting.h"

#include <QTest>

class BenchRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void hostile_data();
    void hostile();
};

void BenchRtfReader::hostile_data()
{
    QTest::addColumn<QByteArray>("rtf");
    constexpr int Size = 1000 * 1000;
    const auto row = [](const char *name, const QByteArray &piece) {
        QTest::newRow(name) << "{\\rtf1\\ansi " + piece.repeated(Size / piece.size()) + "}";
    };
    row("plain text", "Nel Trecento la citt\\'e0 era gi\\'e0 ricca. ");
    row("paragraphs", "x\\par ");
    row("empty paragraphs", "\\par ");
    row("format toggles", "\\b a\\b0 b");
    row("formatted groups", "{\\b a}");
    row("groups opened", "{");
    row("groups opened and closed", "{}");
    row("table rows", "\\intbl a\\cell\\row ");
    row("tables of three cells", "\\trowd\\cellx1\\cellx2\\cellx3\\intbl\\cell\\cell\\cell\\row\\pard x\\par ");
    row("footnotes", "{\\footnote a\\chftn}");
    row("unicode", "\\u12345?");
    row("double-byte pairs", "{\\fonttbl{\\f1\\fcharset128 M;}}\\f1 \\'93\\'fa");
    row("font table entries", "{\\fonttbl\\f1000 x;}");
    row("empty pictures", "{\\pict\\pngblip 00}");
    row("long word", "w");
    row("tab stops", "\\tx100 ");
    row("skipped destinations", "{\\*\\x {\\y z}}");
}

void BenchRtfReader::hostile()
{
    QFETCH(QByteArray, rtf);
    QTextDocument document;
    QBENCHMARK {
        rtf::readRtf(rtf, document);
    }
}

QTEST_MAIN(BenchRtfReader)
#include "tst_rtfbenchmark.moc"
