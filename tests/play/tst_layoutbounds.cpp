// Where a document is cut to the bounds of what a view lays out: after the
// last line, block or table row within them, and nowhere when it fits.
#include "play/layoutbounds.h"

#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace {

const QString lineBreak(QChar::LineSeparator);

// The text of every block, table cells included, joined by line feeds.
QString text(const QTextDocument &document)
{
    QStringList blocks;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next())
        blocks << block.text();
    return blocks.join(u'\n');
}

// Lines a, b, c ... of one paragraph, each exactly 100 pixels high.
void addLines(QTextCursor &cursor, int count)
{
    QTextBlockFormat format;
    format.setLineHeight(100, QTextBlockFormat::FixedHeight);
    cursor.setBlockFormat(format);
    for (int i = 0; i < count; ++i)
        cursor.insertText(QString(QChar(u'a' + i)) + (i + 1 < count ? lineBreak : QString()));
}

} // namespace

class TstLayoutBounds : public QObject
{
    Q_OBJECT

private slots:
    void cut_data()
    {
        QTest::addColumn<QString>("content"); // "lines", "paragraphs" or "table": five of them
        QTest::addColumn<int>("blocks");
        QTest::addColumn<int>("lines");
        QTest::addColumn<qreal>("height");
        QTest::addColumn<QString>("kept");     // the text left, blocks joined by line feeds
        QTest::addColumn<int>("tableRows");    // left in the table, -1 none

        const QString lines = u'a' + lineBreak + u'b' + lineBreak + u'c' + lineBreak + u'd' + lineBreak + u'e';
        QTest::newRow("within the bounds") << "lines" << 10 << 10 << 1000.0 << lines << -1;
        QTest::newRow("lines past the bound, cut after the last one within")
            << "lines" << 10 << 3 << 1000.0 << lines.left(6) << -1;
        // The document's margin of 4 pixels above and below: 308 for three lines.
        QTest::newRow("height past the bound") << "lines" << 10 << 10 << 350.0 << lines.left(6) << -1;
        QTest::newRow("blocks past the bound, cut before the first one beyond")
            << "paragraphs" << 3 << 10 << 1000.0 << QStringLiteral("a\nb\nc\n") << -1;
        QTest::newRow("a table keeps its rows before the one past the bounds")
            << "table" << 3 << 10 << 1000.0 << QStringLiteral("prima\na\nb\n") << 2;
        QTest::newRow("a table past the bounds in its first row goes whole")
            << "table" << 1 << 10 << 1000.0 << QStringLiteral("prima") << -1;
    }

    void cut()
    {
        QFETCH(QString, content);
        QFETCH(int, blocks);
        QFETCH(int, lines);
        QFETCH(qreal, height);
        QFETCH(QString, kept);
        QFETCH(int, tableRows);
        QTextDocument document;
        document.setDocumentMargin(4);
        QTextCursor cursor(&document);
        if (content == QLatin1String("lines")) {
            addLines(cursor, 5);
        } else if (content == QLatin1String("paragraphs")) {
            for (const char *text : {"a", "b", "c", "d", "e"}) {
                cursor.insertText(QString::fromLatin1(text));
                if (*text != 'e')
                    cursor.insertBlock();
            }
        } else {
            cursor.insertText(QStringLiteral("prima"));
            QTextTable *table = cursor.insertTable(5, 1);
            for (int row = 0; row < 5; ++row)
                table->cellAt(row, 0).firstCursorPosition().insertText(QString(QChar(u'a' + row)));
            cursor.movePosition(QTextCursor::End);
            cursor.insertText(QStringLiteral("dopo"));
        }
        const QString before = text(document);

        QCOMPARE(cutToLayoutBounds(document, 500, {blocks, lines, height}), kept != before);
        QCOMPARE(text(document), kept);
        QTextTable *table = nullptr;
        for (QTextBlock block = document.begin(); block.isValid() && !table; block = block.next())
            table = QTextCursor(block).currentTable();
        QCOMPARE(table ? table->rows() : -1, tableRows);
    }
};

QTEST_MAIN(TstLayoutBounds)
#include "tst_layoutbounds.moc"
