// The rich-text reader on small inputs: code pages, Unicode, destinations,
// formatting, tables, pictures and broken input.

#include "rtftesting.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

using namespace rtftesting;

namespace {

QByteArray nested(int depth, const QByteArray &inside)
{
    return QByteArray(depth, '{') + inside + QByteArray(depth, '}');
}

QByteArray pict(const QByteArray &words, const QByteArray &data)
{
    return "{\\pict" + words + ' ' + data.toHex() + '}';
}

// Bold, italics, underlining, colours, sizes and families turned on are also
// checked on the word processors' files (tst_rtfdocuments).
enum class Check { NotBold, NotItalic, NotUnderline, Strike, NotStrike, Super, Sub, Points, Colour, NoColour,
                   Background, Family, LaysOut };

} // namespace

Q_DECLARE_METATYPE(Check)

class TestRtfReader : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
    }

    void text_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("expected");
        const auto row = [](const char *name, const QByteArray &rtf, const QString &expected) {
            QTest::newRow(name) << rtf << expected;
        };

        // code pages
        row("cp1252 hex escapes", R"rtf({\rtf1\ansi caff\'e8 \'e0 \'80})rtf", QStringLiteral("caffè à €"));
        row("raw 8-bit bytes read in the code page", "{\\rtf1\\ansi caff\xe8}", QStringLiteral("caffè"));
        row("ansicpg1251 Cyrillic", R"rtf({\rtf1\ansi\ansicpg1251 \'cf\'f0\'e8\'e2\'e5\'f2})rtf",
            QStringLiteral("Привет"));
        row("fcharset204 font switches the code page",
            R"rtf({\rtf1\ansi\ansicpg1252{\fonttbl{\f0 Arial;}{\f1\fcharset204 Arial Cyr;}}\f0 \'e0{\f1 \'e0}\'e0})rtf",
            QStringLiteral("àаà"));
        row("cpg of the font wins over its charset",
            R"rtf({\rtf1\ansi{\fonttbl{\f1\fcharset0\cpg1251 X;}}\f1 \'e0})rtf", QStringLiteral("а"));
        row("ANSI fonts follow ansicpg", R"rtf({\rtf1\ansi\ansicpg1251{\fonttbl{\f0\fcharset0 Arial;}}\f0 \'e0})rtf",
            QStringLiteral("а"));
        row("default font sets the code page", R"rtf({\rtf1\ansi\deff1{\fonttbl{\f1\fcharset204 X;}}\'e0})rtf",
            QStringLiteral("а"));
        row("plain returns to the default font",
            R"rtf({\rtf1\ansi\deff0{\fonttbl{\f0 A;}{\f1\fcharset204 X;}}\f1 \'e0\plain \'e0})rtf",
            QStringLiteral("аà"));
        row("cp932 byte pair decoded together",
            R"rtf({\rtf1\ansi{\fonttbl{\f1\fcharset128 MS Mincho;}}\f1 \'93\'fa\'96\'7b})rtf", QStringLiteral("日本"));
        row("cp932 trail byte written as text",
            R"rtf({\rtf1\ansi{\fonttbl{\f1\fcharset128 MS Mincho;}}\f1 \'83A\'95\\})rtf", QStringLiteral("ア表"));
        row("Symbol font bytes", R"rtf({\rtf1\ansi{\fonttbl{\f2\fcharset2 Symbol;}}{\f2 \'b7 \'61\'62}})rtf",
            QStringLiteral("• αβ"));
        row("Symbol font private-use Unicode", R"rtf({\rtf1\ansi{\fonttbl{\f2\fcharset2 Symbol;}}{\f2 \u-3913?}})rtf",
            QStringLiteral("•"));
        row("mac code page", R"rtf({\rtf1\mac caf\'8e})rtf", QStringLiteral("café"));

        // Unicode
        row("uc1 skips one fallback character", R"rtf({\rtf1 a\u224?b})rtf", QStringLiteral("aàb"));
        row("uc0 skips nothing", R"rtf({\rtf1\uc0 a\u224 b})rtf", QStringLiteral("aàb"));
        row("uc2 counts each hex escape as one", R"rtf({\rtf1\uc2 \u26085\'93\'fab})rtf", QStringLiteral("日b"));
        row("uc2 counts a control word as one", R"rtf({\rtf1\uc2 \u224\b xb})rtf", QStringLiteral("àb"));
        row("fallback skipping stops at a group end", R"rtf({\rtf1\uc3 {\u224?}xyz})rtf", QStringLiteral("àxyz"));
        row("uc is scoped by groups", R"rtf({\rtf1 {\uc2 \u224??}\u225?x})rtf", QStringLiteral("àáx"));
        row("surrogate pair from negative u", R"rtf({\rtf1 \u-10179?\u-8704?})rtf", QStringLiteral("😀"));
        row("lone high surrogate replaced", R"rtf({\rtf1 \u55357?x})rtf", QStringLiteral("\uFFFDx"));
        row("lone low surrogate replaced", R"rtf({\rtf1 x\u56832?})rtf", QStringLiteral("x\uFFFD"));
        row("u beyond Unicode replaced", R"rtf({\rtf1 \u99999999?x})rtf", QStringLiteral("\uFFFDx"));
        row("document structure characters from u are not structure",
            R"rtf({\rtf1 a\u65532?\u64976?\u8233?\u13?b})rtf", QStringLiteral("a\uFFFD\uFFFD\u2028b"));

        // control symbols and words
        row("escaped braces and backslash", R"rtf({\rtf1 \{a\}\\})rtf", QStringLiteral("{a}\\"));
        row("non-breaking space and hyphens", R"rtf({\rtf1 a\~b\-c\_d})rtf", QStringLiteral("a\u00A0b\u00ADc\u2011d"));
        row("par, line and tab", R"rtf({\rtf1 a\par b\line c\tab d})rtf", QStringLiteral("a\nb\u2028c\td"));
        row("empty paragraphs kept, no empty last one", R"rtf({\rtf1 a\par\par b\par})rtf", QStringLiteral("a\n\nb"));
        row("typographic characters", R"rtf({\rtf1 \lquote a\rquote  \ldblquote b\rdblquote  \emdash\endash\bullet})rtf",
            QStringLiteral("‘a’ “b” —–•"));
        row("backslash before a line break is a paragraph", "{\\rtf1 a\\\nb}", QStringLiteral("a\nb"));
        row("line breaks of the file are not text", "{\\rtf1 a\r\nb\nc}", QStringLiteral("abc"));
        row("one space ends a control word, the next is text", R"rtf({\rtf1 \b  a})rtf", QStringLiteral(" a"));

        // destinations
        row("unknown starred destination skipped", R"rtf({\rtf1 a{\*\inconnu segreto}b})rtf", QStringLiteral("ab"));
        row("star before a formatting word skips the group", R"rtf({\rtf1 a{\*\b segreto}b})rtf", QStringLiteral("ab"));
        row("unknown word without star is ignored", R"rtf({\rtf1 a{\inconnu b}c})rtf", QStringLiteral("abc"));
        row("field instruction without star", R"rtf({\rtf1 pagina {\field{\fldinst PAGE}{\fldrslt 3}}})rtf",
            QStringLiteral("pagina 3"));
        row("object shows its result only",
            R"rtf({\rtf1 {\object\objemb{\*\objclass Paint.Picture}{\*\objdata 0102ff}{\result vista}}})rtf",
            QStringLiteral("vista"));
        row("hidden text", R"rtf({\rtf1 a{\v nascosto}b\v c\v0 d})rtf", QStringLiteral("abd"));
        row("old numbering: pntext shown, pn skipped", R"rtf({\rtf1 {\*\pn\pnlvlblt{\pntxtb X}}{\pntext 1.\tab}voce})rtf",
            QStringLiteral("1.\tvoce"));
        row("footnote gathered at the end", R"rtf({\rtf1 a{\super\chftn}{\*\footnote\chftn nota}b\par})rtf",
            QStringLiteral("a1b\n\n1nota"));

        // broken input
        row("unterminated groups closed at the end", R"rtf({\rtf1 a{\b b{\i c)rtf", QStringLiteral("abc"));
        row("stray closing brace ends the document", R"rtf({\rtf1 a}}b})rtf", QStringLiteral("a"));
        row("bytes after the last brace ignored", R"rtf({\rtf1 a}coda)rtf", QStringLiteral("a"));
        row("bin skips braces in its data", R"rtf({\rtf1 a\bin3 }{xb})rtf", QStringLiteral("ab"));
        row("negative bin", R"rtf({\rtf1 a\bin-5 b})rtf", QStringLiteral("ab"));
        row("huge numbers clamped",
            R"rtf({\rtf1\fs99999999999999999999 a\li-99999999999999999999 b\cf4294967296 c\uc99999999999 })rtf",
            QStringLiteral("abc"));
        row("overlong control word is unknown", "{\\rtf1 \\" + QByteArray(100, 'a') + " x}", QStringLiteral("x"));
        row("backslash at the end", "{\\rtf1 a\\", QStringLiteral("a"));
        row("hex escape cut short", R"rtf({\rtf1 a\'e)rtf", QStringLiteral("a"));
        row("bad hex escape", R"rtf({\rtf1 a\'zzb})rtf", QStringLiteral("azzb"));
        row("zero bytes", QByteArray("{\\rtf1 a\0b\0}", 12), QStringLiteral("ab"));
        row("header only", "{\\rtf1", QString());
        row("nesting up to the depth limit is shown",
            "{\\rtf1 " + nested(rtf::MaxGroupDepth - 1, "x") + "}", QStringLiteral("x"));
        row("content deeper than the limit ignored, groups balanced",
            "{\\rtf1 a" + nested(rtf::MaxGroupDepth, "x") + "b}", QStringLiteral("ab"));
        row("combining marks past the 32nd in a row left out", "{\\rtf1 a" + QByteArray("\\u769?").repeated(40) + "b}",
            u'a' + QString(32, QChar(0x0301)) + u'b');
        row("marks on invisible format characters counted with them",
            "{\\rtf1 a" + QByteArray("\\u769?\\u8203?").repeated(20) + "}",
            u'a' + QStringLiteral("\u0301\u200B").repeated(16) + QString(4, QChar(0x200B)));
    }

    void text()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, expected);
        QTextDocument document;
        QVERIFY2(rtf::readRtf(rtf, document), "anything that begins as RTF is read");
        QCOMPARE(rtftesting::text(document), expected);
    }

    void characterFormat_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("needle");
        QTest::addColumn<Check>("check");
        QTest::addColumn<QVariant>("value");
        const auto row = [](const char *name, const QByteArray &rtf, const char *needle, Check check,
                            const QVariant &value = {}) {
            QTest::newRow(name) << rtf << QString::fromUtf8(needle) << check << value;
        };
        const QByteArray colours = R"rtf({\colortbl;\red255\green0\blue0;\red0\green128\blue0;\red255\green255\blue0;})rtf";

        row("b0 ends bold", R"rtf({\rtf1 \b a\b0 N})rtf", "N", Check::NotBold);
        row("bold ends with its group", R"rtf({\rtf1 {\b a}N})rtf", "N", Check::NotBold);
        row("i0 ends italic", R"rtf({\rtf1 \i I\i0 N})rtf", "N", Check::NotItalic);
        row("ulnone ends underline", R"rtf({\rtf1 \ul a\ulnone N})rtf", "N", Check::NotUnderline);
        row("ul0 ends underline", R"rtf({\rtf1 \ul a\ul0 N})rtf", "N", Check::NotUnderline);
        row("strike", R"rtf({\rtf1 \strike S})rtf", "S", Check::Strike);
        row("strike0 ends it", R"rtf({\rtf1 \strike a\strike0 N})rtf", "N", Check::NotStrike);
        row("plain ends bold", R"rtf({\rtf1 \b\i\ul\strike a\plain N})rtf", "N", Check::NotBold);
        row("plain ends underline", R"rtf({\rtf1 \b\i\ul\strike a\plain N})rtf", "N", Check::NotUnderline);
        row("skipped fallback word is not applied", R"rtf({\rtf1\uc2 \u224\b xN})rtf", "N", Check::NotBold);
        row("without fs 12 points", R"rtf({\rtf1 T})rtf", "T", Check::Points, 12.0);
        row("fs0 falls back to 12 points", R"rtf({\rtf1 \fs0 T})rtf", "T", Check::Points, 12.0);
        row("tiny superscript has a size Qt can lay out", R"rtf({\rtf1\fs1 a{\super 2}})rtf", "2", Check::LaysOut);
        row("tiny subscript has a size Qt can lay out", R"rtf({\rtf1\fs2 H{\sub 2}O})rtf", "2", Check::LaysOut);
        row("cf takes the colour table", "{\\rtf1" + colours + "\\cf2 V}", "V", Check::Colour, QColor(0, 128, 0));
        row("cf0 is the automatic colour", "{\\rtf1" + colours + "\\cf1 r\\cf0 A}", "A", Check::NoColour);
        row("cf beyond the table ignored", "{\\rtf1" + colours + "\\cf99 X}", "X", Check::NoColour);
        row("highlight gives a background", "{\\rtf1" + colours + "\\highlight3 H}", "H", Check::Background,
            QColor(255, 255, 0));
        row("super raises", R"rtf({\rtf1 a{\super 2}})rtf", "2", Check::Super);
        row("sub lowers", R"rtf({\rtf1 H{\sub 2}O})rtf", "2", Check::Sub);
        row("deff gives the family without f", R"rtf({\rtf1\deff1{\fonttbl{\f0 Arial;}{\f1 Courier New;}}D})rtf",
            "D", Check::Family, QStringLiteral("Courier New"));
        row("font table without inner groups", R"rtf({\rtf1{\fonttbl\f0 Arial;\f1 Courier New;}\f1 D})rtf", "D",
            Check::Family, QStringLiteral("Courier New"));
        row("font name with a hex escape", R"rtf({\rtf1{\fonttbl{\f1\fcharset0 Caf\'e9 Sans;}}\f1 T})rtf", "T",
            Check::Family, QStringLiteral("Café Sans"));
    }

    void characterFormat()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, needle);
        QFETCH(Check, check);
        QFETCH(QVariant, value);
        const auto document = read(rtf);
        const QTextFragment found = fragment(*document, needle);
        QVERIFY2(found.isValid(), "the text must be shown");
        const QTextCharFormat f = found.charFormat();
        switch (check) {
        case Check::NotBold: QCOMPARE(f.fontWeight(), int(QFont::Normal)); break;
        case Check::NotItalic: QVERIFY(!f.fontItalic()); break;
        case Check::NotUnderline: QVERIFY(!f.fontUnderline()); break;
        case Check::Strike: QVERIFY(f.fontStrikeOut()); break;
        case Check::NotStrike: QVERIFY(!f.fontStrikeOut()); break;
        case Check::Super: QCOMPARE(f.verticalAlignment(), QTextCharFormat::AlignSuperScript); break;
        case Check::Sub: QCOMPARE(f.verticalAlignment(), QTextCharFormat::AlignSubScript); break;
        case Check::Points: QCOMPARE(f.fontPointSize(), value.toDouble()); break;
        case Check::Colour:
            QVERIFY2(f.hasProperty(QTextFormat::ForegroundBrush), "a colour from the table is set");
            QCOMPARE(f.foreground().color(), value.value<QColor>());
            break;
        case Check::NoColour:
            QVERIFY2(!f.hasProperty(QTextFormat::ForegroundBrush), "automatic text keeps the view's colour");
            break;
        case Check::Background: QCOMPARE(f.background().color(), value.value<QColor>()); break;
        case Check::Family: QCOMPARE(f.fontFamilies().toStringList(), QStringList{value.toString()}); break;
        case Check::LaysOut:
            QTest::failOnWarning(QRegularExpression(QStringLiteral("^QFont")));
            document->setTextWidth(400);
            QVERIFY2(document->size().height() > 0, "the text takes room once laid out");
            break;
        }
    }

    // The format of the paragraph that holds "P".
    void paragraphFormat_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<QList<qreal>>("margins"); // left, right, first line, top, bottom
        const auto row = [](const char *name, const char *rtf, int alignment,
                            const QList<qreal> &margins = {0, 0, 0, 0, 0}) {
            QTest::newRow(name) << QByteArray(rtf) << alignment << margins;
        };
        const int left = Qt::AlignLeft;
        row("qj justified", R"rtf({\rtf1 \qj P\par})rtf", Qt::AlignJustify);
        row("ql left", R"rtf({\rtf1 \qc\ql P\par})rtf", left);
        row("pard resets the paragraph", R"rtf({\rtf1 \qc\li720 a\par\pard P\par})rtf", left);
        row("paragraph format ends with its group", R"rtf({\rtf1 {\qc a\par}P\par})rtf", left);
        row("twips at 15 to the pixel", R"rtf({\rtf1 \li1440\ri720\fi-360\sb240\sa120 P\par})rtf", left,
            {96, 48, -24, 16, 8});
        row("format at the paragraph mark counts", R"rtf({\rtf1 P\qc\par})rtf", Qt::AlignHCenter);
        row("last paragraph without a mark keeps its format", R"rtf({\rtf1 \qr P})rtf", Qt::AlignRight);
        row("negative indents stop at the edge", R"rtf({\rtf1 \li-720\fi-720 P\par})rtf", left);
        row("huge indents clamped to 22 inches", R"rtf({\rtf1 \li99999999 P\par})rtf", left, {2112, 0, 0, 0, 0});
        row("alignment after an empty paragraph", R"rtf({\rtf1 a\par\par\qc P\par})rtf", Qt::AlignHCenter);
    }

    void paragraphFormat()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(int, alignment);
        QFETCH(QList<qreal>, margins);
        const auto document = read(rtf);
        const QTextBlock found = block(*document, QStringLiteral("P"));
        QVERIFY2(found.isValid(), "the paragraph must be shown");
        const QTextBlockFormat f = found.blockFormat();
        QCOMPARE(int(f.alignment() & Qt::AlignHorizontal_Mask), alignment);
        QCOMPARE((QList<qreal>{f.leftMargin(), f.rightMargin(), f.textIndent(), f.topMargin(), f.bottomMargin()}),
                 margins);
    }

    void table()
    {
        const auto document = read(R"rtf({\rtf1 prima\par
\trowd\clbrdrt\brdrs\cellx1500\cellx3000\intbl A\cell B\cell\row
\trowd\cellx1500\cellx3000\intbl\cell D\cell\row
\pard dopo\par})rtf");
        QCOMPARE(rtftesting::text(*document), QStringLiteral("prima\nA\nB\n\nD\ndopo"));
        QTextTable *table = tableHolding(*document, QStringLiteral("A"));
        QVERIFY2(table, "intbl paragraphs make a table");
        QCOMPARE(table->rows(), 2);
        QCOMPARE(table->columns(), 2);
        QCOMPARE(table->cellAt(0, 1).firstCursorPosition().block().text(), QStringLiteral("B"));
        QCOMPARE(table->cellAt(1, 0).firstCursorPosition().block().text(), QString());
        QCOMPARE(table->format().columnWidthConstraints().value(1).rawValue(), 100.0);
        QVERIFY2(table->format().border() > 0, "cell borders are drawn");
        QVERIFY2(!tableHolding(*document, QStringLiteral("dopo")), "a paragraph without intbl follows the table");
    }

    void tableCellsBeyondColumnsShareTheLastCell()
    {
        const auto document = read(R"rtf({\rtf1 \trowd\cellx1000\intbl A\cell B\cell C\cell\row})rtf");
        QTextTable *table = tableHolding(*document, QStringLiteral("A"));
        QVERIFY(table);
        QCOMPARE(table->columns(), 1);
        QCOMPARE(block(*document, QStringLiteral("A")).text(), QStringLiteral("A\tB\tC"));
    }

    void tablesBeyondTheCellLimitKeepTheirText()
    {
        const int rows = rtf::MaxTableCells + 10;
        const auto document = read("{\\rtf1 \\trowd\\cellx1000" + QByteArray("\\intbl r\\cell\\row ").repeated(rows) + "}");
        QCOMPARE(int(rtftesting::text(*document).count(QLatin1Char('r'))), rows);
        int cells = 0;
        for (QTextFrame *frame : document->rootFrame()->childFrames()) {
            if (auto *t = qobject_cast<QTextTable *>(frame))
                cells += t->rows() * t->columns();
        }
        QVERIFY2(cells > 0 && cells <= rtf::MaxTableCells, "tables are built up to the cell limit only");
    }

    void pictures_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<int>("count");
        QTest::addColumn<QSizeF>("size"); // of the last picture; invalid: not checked

        const QByteArray small = png(3, 2);
        const QByteArray jpeg = imageBytes(QImage(4, 4, QImage::Format_RGB32), "JPEG");
        const QByteArray shown = pict("\\pngblip\\picwgoal720\\pichgoal480", small);
        const auto row = [](const char *name, const QByteArray &body, int count, QSizeF size = {}) {
            QTest::newRow(name) << "{\\rtf1 " + body + "}" << count << size;
        };
        row("png without goal keeps its pixels", pict("\\pngblip", small), 1, {3, 2});
        row("picscale scales", pict("\\pngblip\\picwgoal720\\pichgoal480\\picscalex200\\picscaley50", small), 1, {96, 16});
        row("jpeg", pict("\\jpegblip", jpeg), 1, {4, 4});
        row("two pictures, each its own image", pict("\\pngblip", small) + pict("\\pngblip", png(5, 1)), 2, {5, 1});
        row("picture data after bin", "{\\pict\\pngblip\\bin" + QByteArray::number(small.size()) + ' ' + small + "}", 1,
            {3, 2});
        row("wmf and emf skipped", pict("\\wmetafile8", "\x01\x02") + pict("\\emfblip", "\x01\x02"), 0);
        row("shape picture shown once, its result skipped",
            "{\\shp{\\*\\shpinst{\\sp{\\sn pib}{\\sv " + shown + "}}{\\sp{\\sn fillBlip}{\\sv " + shown
                + "}}}{\\shprslt " + shown + "}}",
            1, {48, 32});
        row("corrupt png skipped", pict("\\pngblip", QByteArray::fromHex("89504e470d0a1a0a0000")), 0);
        row("picture over the pixel limit skipped", pict("\\pngblip", png(2100, 2100)), 0);
        row("hidden picture not shown", "{\\v " + shown + "}", 0);
        row("pictures beyond the count limit skipped", shown.repeated(rtf::MaxPictures + 5), rtf::MaxPictures);
    }

    void pictures()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(int, count);
        QFETCH(QSizeF, size);
        const auto document = read(rtf);
        const QList<QTextImageFormat> found = images(*document);
        QCOMPARE(found.size(), count);
        if (size.isValid()) {
            QCOMPARE(found.last().width(), size.width());
            QCOMPARE(found.last().height(), size.height());
        }
        QSet<QString> names;
        for (const QTextImageFormat &image : found) {
            const QVariant resource = document->resource(QTextDocument::ImageResource, QUrl(image.name()));
            QVERIFY2(resource.typeId() == QMetaType::QImage, "each picture shown has its image in the document");
            names.insert(image.name());
        }
        QCOMPARE(names.size(), found.size());   // no picture stands in for another
        QVERIFY2(!rtftesting::text(*document).contains(QLatin1String("89504e")), "no picture data as text");
    }

    void readingAgainReplacesEverything()
    {
        QTextDocument document;
        document.setUndoRedoEnabled(true);
        QVERIFY(rtf::readRtf("{\\rtf1 primo" + pict("\\pngblip", png(2, 2)) + "}", document));
        const QString name = images(document).value(0).name();
        QVERIFY(!name.isEmpty());
        QVERIFY(rtf::readRtf("{\\rtf1 secondo}", document));
        QCOMPARE(rtftesting::text(document), QStringLiteral("secondo"));
        QVERIFY2(document.resource(QTextDocument::ImageResource, QUrl(name)).isNull(),
                 "the pictures of the earlier reading are gone");
        QVERIFY2(document.isUndoRedoEnabled(), "the document's undo setting is left as it was");
        QVERIFY2(!document.isUndoAvailable(), "reading leaves nothing to undo");
        QVERIFY(!rtf::readRtf("nulla", document));
        QVERIFY2(document.isEmpty(), "a failed reading leaves the document empty");
    }

    void scaleOption()
    {
        rtf::ReadOptions options;
        options.scale = 2;
        const auto document =
            read("{\\rtf1 \\li1440\\fs24 a" + pict("\\pngblip\\picwgoal720\\pichgoal480", png(3, 2)) + "\\par}", options);
        QCOMPARE(block(*document, QStringLiteral("a")).blockFormat().leftMargin(), 192.0);
        QCOMPARE(fragment(*document, QStringLiteral("a")).charFormat().fontPointSize(), 24.0);
        QCOMPARE(images(*document).value(0).width(), 96.0);
    }

    void limitsKeepTheText_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<QString>("letters"); // each must be shown as often as written
        QTest::addColumn<int>("times");

        const auto row = [](const char *name, const QByteArray &unit, const char *letters, int times) {
            QTest::newRow(name) << "{\\rtf1 " + unit.repeated(times) + "}" << QString::fromUtf8(letters) << times;
        };
        const int paragraphs = rtf::MaxParagraphs + 500;
        row("paragraphs beyond the limit", "x\\par ", "x", paragraphs);
        row("format runs beyond the limit", "{\\b a}{\\i b}", "ab", rtf::MaxFormatRuns);
        row("footnotes beyond the limit", "{\\footnote n\\par}", "n", paragraphs);
        row("one long word", "w", "w", 100000);
    }

    void limitsKeepTheText()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(QString, letters);
        QFETCH(int, times);
        const auto document = read(rtf);
        const QString shown = rtftesting::text(*document);
        for (const QChar letter : letters)
            QCOMPARE(int(shown.count(letter)), times);
        QVERIFY2(document->blockCount() <= rtf::MaxParagraphs + 3, "paragraphs are built up to the limit only");
    }

    void characterLimit_data()
    {
        QTest::addColumn<QByteArray>("rtf");
        QTest::addColumn<int>("limit");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("cut");
        const auto row = [](const char *name, const char *rtf, int limit, const QString &expected, bool cut) {
            QTest::newRow(name) << QByteArray(rtf) << limit << expected << cut;
        };
        row("within the limit", R"rtf({\rtf1 abc\par def})rtf", 6, QStringLiteral("abc\ndef"), false);
        row("past the limit", R"rtf({\rtf1 abc\par def})rtf", 5, QStringLiteral("abc\nde"), true);
        row("line breaks count", R"rtf({\rtf1 a\line b\line c})rtf", 3, QStringLiteral("a\u2028b"), true);
        row("a surrogate pair kept whole or not at all", R"rtf({\rtf1 a\u-10179?\u-8704?})rtf", 2,
            QStringLiteral("a"), true);
    }

    void characterLimit()
    {
        QFETCH(QByteArray, rtf);
        QFETCH(int, limit);
        QFETCH(QString, expected);
        QFETCH(bool, cut);
        rtf::ReadOptions options;
        options.maxCharacters = limit;
        QTextDocument document;
        bool wasCut = !cut;
        QVERIFY(rtf::readRtf(rtf, document, options, nullptr, &wasCut));
        QCOMPARE(rtftesting::text(document), expected);
        QCOMPARE(wasCut, cut);
    }

    void loadFile_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<qint64>("size"); // > 0: the file is grown to this size; < 0: nothing written
        QTest::addColumn<bool>("loaded");
        const auto file = [](const char *tag, const QByteArray &content, bool loaded, const char *name = "aiuto.rtf",
                             qint64 size = 0) {
            QTest::newRow(tag) << QString::fromUtf8(name) << content << size << loaded;
        };
        file("missing", QByteArray(), false, "manca.rtf", -1);
        file("folder", QByteArray(), false, "cartella", -1);
        file("too large", "{\\rtf1 a", false, "grande.rtf", rtf::MaxFileSize + 1);
        file("largest allowed", "{\\rtf1 a}", true, "limite.rtf", rtf::MaxFileSize);
        file("good", "{\\rtf1 a}", true);
        file("empty", QByteArray(), false);
        file("blanks only", " \r\n\t", false);
        file("plain text", "Aiuto", false);
        file("HTML", "<html><body>{\\rtf1}</body></html>", false);
        file("cut inside the header", "{\\rt", false);
        file("UTF-8 mark and blanks before RTF", "\xEF\xBB\xBF \r\n{\\rtf1 a}", true);
    }

    void loadFile()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, content);
        QFETCH(qint64, size);
        QFETCH(bool, loaded);
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString path = dir.filePath(name);
        if (name == QLatin1String("cartella")) {
            QVERIFY(QDir(dir.path()).mkdir(name));
        } else if (size >= 0) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(content);
            if (size > 0)
                QVERIFY(file.resize(size)); // sparse: the rest reads as zero bytes
        }
        QTextDocument document;
        document.setPlainText(QStringLiteral("vecchio"));
        QString error;
        QCOMPARE(rtf::loadRtfFile(path, document, &error), loaded);
        if (loaded) {
            QCOMPARE(rtftesting::text(document), QStringLiteral("a"));
            QVERIFY2(error.isEmpty(), qPrintable(error));
        } else {
            QVERIFY2(!error.isEmpty(), "a refused file comes with a reason");
            QVERIFY2(document.isEmpty(), "a refused file leaves the document empty");
        }
    }
};

QTEST_MAIN(TestRtfReader)
#include "tst_rtfreader.moc"
