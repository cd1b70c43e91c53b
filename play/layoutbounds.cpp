#include "play/layoutbounds.h"

#include <QAbstractTextDocumentLayout>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextLayout>
#include <QTextTable>

#include <algorithm>

namespace {

void removeFrom(QTextDocument &document, int position)
{
    QTextCursor cursor(&document);
    cursor.setPosition(position);
    cursor.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    cursor.removeSelectedText();
}

// Lays block out line by line at lineWidth (firstWidth for its first line),
// adding each line's height and count. Returns the position in the block of
// the first line past the bounds, or -1 when every line is within them.
int layOutBlock(const QTextBlock &block, const QTextOption &option, qreal firstWidth, qreal lineWidth,
                const LayoutBounds &bounds, qreal &height, int &lines)
{
    const QTextBlockFormat format = block.blockFormat();
    QTextLayout *layout = block.layout();
    layout->setTextOption(option);
    int cut = -1;
    layout->beginLayout();
    for (QTextLine line = layout->createLine(); line.isValid(); line = layout->createLine()) {
        line.setLeadingIncluded(true);
        line.setLineWidth(std::max<qreal>(1, line.lineNumber() == 0 ? firstWidth : lineWidth));
        height += format.lineHeight(line.height(), 1.0);
        if (++lines > bounds.lines || height > bounds.height) {
            cut = line.textStart();
            break;
        }
    }
    layout->endLayout();
    // The view lays the block out again at its own time.
    layout->clearLayout();
    return cut;
}

} // namespace

bool cutToLayoutBounds(QTextDocument &document, qreal width, const LayoutBounds &bounds)
{
    document.documentLayout(); // which gives pictures their size in a line
    const qreal margin = document.documentMargin();
    qreal height = 2 * margin;
    int lines = 0;
    int blocks = 0;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        const QTextBlockFormat format = block.blockFormat();
        QTextOption option = document.defaultTextOption();
        option.setTabs(format.tabPositions());
        QTextTable *table = QTextCursor(block).currentTable();
        height += format.topMargin() + format.bottomMargin();
        if (table) {
            const QTextTableFormat tf = table->format();
            height += 2 * (tf.cellPadding() + tf.border());
        }
        int cut = 0;
        if (++blocks <= bounds.blocks && height <= bounds.height) {
            if (table) {
                cut = layOutBlock(block, option, 1, 1, bounds, height, lines);
            } else {
                const qreal available = width - 2 * margin - format.leftMargin() - format.rightMargin();
                cut = layOutBlock(block, option, available - format.textIndent(), available, bounds, height,
                                  lines);
            }
        }
        if (cut < 0)
            continue;
        if (table) {
            const int row = table->cellAt(block.position()).row();
            removeFrom(document, table->lastPosition() + 1);
            table->removeRows(row, table->rows() - row); // from the first row on, the whole table goes
        } else {
            removeFrom(document, block.position() + cut);
        }
        return true;
    }
    return false;
}
