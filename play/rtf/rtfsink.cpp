#include "play/rtf/rtfsink.h"

#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTextTable>

#include <algorithm>

namespace rtf::detail {

namespace {

constexpr char16_t Tab = u'\t';
constexpr char16_t LineSeparator = QChar::LineSeparator;
constexpr char16_t Replacement = 0xFFFD;
constexpr int MaxRowsPerTable = 128;
// Qt lays out a paragraph with many changes of format slowly; past this many
// runs in one paragraph the rest keep the format of the last run.
constexpr int MaxRunsPerParagraph = 400;
// Qt breaks a line inside a word that does not fit slowly, in time growing
// with the square of the word's length; longer words get a zero-width space.
constexpr int MaxWordLength = 256;
constexpr char16_t ZeroWidthSpace = 0x200B;

// Qt shapes a cluster of combining marks in time growing with the square of
// its length; marks past this many in a row, counting the invisible format
// characters they may hang on, are left out.
constexpr int MaxMarksInARow = 32;

bool needsCare(char16_t u)
{
    return (u < 0x20 && u != Tab) || u == 0x2029 || u == 0xFFFC || u == 0xFDD0 || u == 0xFDD1
        || QChar::isSurrogate(u);
}

bool attaches(char32_t c)
{
    return QChar::isMark(c) || QChar::category(c) == QChar::Other_Format;
}

} // namespace

QString sanitized(QString text)
{
    const auto bad = std::find_if(text.cbegin(), text.cend(), [](QChar c) {
        return needsCare(c.unicode()) || attaches(c.unicode());
    });
    if (bad == text.cend())
        return text;
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    int attached = 0; // marks and format characters in a row
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = text.at(i).unicode();
        const bool pair = QChar::isHighSurrogate(u) && i + 1 < n && text.at(i + 1).isLowSurrogate();
        const char32_t c = pair ? QChar::surrogateToUcs4(u, text.at(i + 1).unicode()) : u;
        attached = attaches(c) ? attached + 1 : 0;
        if (attached > MaxMarksInARow && QChar::isMark(c)) {
            i += pair ? 1 : 0;
        } else if (!needsCare(u)) {
            out.append(QChar(u));
        } else if (u < 0x20) {
            continue; // controls, line feeds and carriage returns included
        } else if (u == 0x2029) {
            out.append(QChar(QChar::LineSeparator));
        } else if (pair) {
            out.append(QChar(u));
            out.append(text.at(++i));
        } else {
            out.append(QChar(Replacement));
        }
    }
    return out;
}

Sink::Sink(QTextDocument &document, const Formats &formats, const RowDefinition *rows,
           Budget &budget)
    : m_formats(formats)
    , m_cursor(&document)
    , m_rows(rows)
    , m_budget(budget)
{
}

void Sink::text(QStringView s, const CharState &c, const ParaState &p)
{
    s = affordable(s);
    if (s.isEmpty())
        return;
    ensureBlock(c, p);
    if (!m_run.isEmpty() && !(m_runState == c) && mayChangeFormat())
        flushRun();
    appendToRun(s);
    m_runState = c;
    m_empty = false;
}

// The beginning of s that the budget still pays for.
QStringView Sink::affordable(QStringView s)
{
    qsizetype n = std::min<qsizetype>(s.size(), m_budget.characters);
    // A surrogate pair is kept whole or not at all, also when it comes in two parts.
    if (n > 0 && n == m_budget.characters && QChar::isHighSurrogate(s[n - 1].unicode()))
        --n;
    m_budget.characters -= int(n);
    if (n < s.size())
        m_budget.cut = true;
    return s.first(n);
}

void Sink::appendToRun(QStringView s)
{
    qsizetype from = 0;
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        if (c.isSpace() || c.unicode() == ZeroWidthSpace) {
            m_wordLength = 0;
        } else if (++m_wordLength >= MaxWordLength && !c.isHighSurrogate()) {
            m_run.append(s.sliced(from, i + 1 - from));
            m_run.append(QChar(ZeroWidthSpace));
            from = i + 1;
            m_wordLength = 0;
        }
    }
    m_run.append(s.sliced(from));
}

bool Sink::mayChangeFormat() const
{
    return m_budget.runs > 0 && m_blockRuns < MaxRunsPerParagraph;
}

void Sink::flushRun()
{
    if (m_run.isEmpty())
        return;
    m_cursor.insertText(sanitized(std::move(m_run)), m_formats.charFormat(m_runState));
    m_run.clear();
    --m_budget.runs;
    ++m_blockRuns;
}

void Sink::paragraph(const CharState &c, const ParaState &p)
{
    if (m_budget.paragraphs <= 0 && !m_table) {
        // Too many paragraphs: the rest are lines of the last one.
        text(QStringView(&LineSeparator, 1), c, p);
        return;
    }
    ensureBlock(c, p);
    flushRun();
    finishBlock(c, p);
    m_pending = true;
    m_empty = false;
}

void Sink::ensureBlock(const CharState &c, const ParaState &p)
{
    if (m_rows) {
        if (p.inTable) {
            if (ensureCell() && m_pastLastCell) {
                // More cells than columns: the rest share the last cell.
                flushRun();
                m_cursor = m_table->cellAt(m_row, m_column).lastCursorPosition();
                if (!affordable(QStringView(&Tab, 1)).isEmpty())
                    m_cursor.insertText(QString(QChar(Tab)));
                m_pastLastCell = false;
                m_fresh = false;
                m_pending = false;
            }
        } else if (m_table) {
            leaveTable();
        }
    }
    if (m_pending && m_budget.paragraphs <= 0) {
        // Too many paragraphs: the rest are lines of the last one.
        m_pending = false;
        if (!m_run.isEmpty() && !(m_runState == c) && mayChangeFormat())
            flushRun();
        if (!affordable(QStringView(&LineSeparator, 1)).isEmpty()) {
            m_run.append(QChar(LineSeparator));
            m_runState = c;
        }
    } else if (m_pending) {
        flushRun();
        --m_budget.paragraphs;
        m_cursor.insertBlock(m_formats.blockFormat(p), m_formats.charFormat(c));
        m_blockRuns = 0;
        m_blockPara = p;
        m_blockChar = c;
        m_pending = false;
        m_fresh = false;
    } else if (m_fresh) {
        m_cursor.setBlockFormat(m_formats.blockFormat(p));
        m_cursor.setBlockCharFormat(m_formats.charFormat(c));
        m_blockPara = p;
        m_blockChar = c;
        m_fresh = false;
    }
}

// The paragraph formatting in effect at the paragraph mark is the one that counts.
void Sink::finishBlock(const CharState &c, const ParaState &p)
{
    if (!(p == m_blockPara)) {
        m_cursor.setBlockFormat(m_formats.blockFormat(p));
        m_blockPara = p;
    }
    if (!(c == m_blockChar)) {
        m_cursor.setBlockCharFormat(m_formats.charFormat(c));
        m_blockChar = c;
    }
}

bool Sink::ensureCell()
{
    if (!m_table)
        startTable();
    else if (m_rowEnded)
        newRow();
    return m_table != nullptr;
}

void Sink::startTable()
{
    const int columns = std::clamp(m_rows->cells, 1, int(m_rows->rightEdges.size()));
    if (m_budget.cells < columns)
        return;
    flushRun();
    QTextTableFormat format;
    format.setCellPadding(3 * m_formats.scale());
    format.setCellSpacing(0);
    format.setBorderCollapse(true);
    format.setBorder(m_rows->borders ? 1 : 0);
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setBorderBrush(QColor(Qt::black));
    format.setAlignment(Qt::AlignLeft);
    if (m_rows->cells == columns) {
        QList<QTextLength> widths;
        int previous = 0;
        for (int i = 0; i < columns; ++i) {
            const int edge = m_rows->rightEdges[i];
            if (edge <= previous)
                break;
            widths.append(QTextLength(QTextLength::FixedLength, m_formats.pixels(edge - previous)));
            previous = edge;
        }
        if (widths.size() == columns)
            format.setColumnWidthConstraints(widths);
    }
    m_table = m_cursor.insertTable(1, columns, format);
    m_budget.cells -= columns;
    m_columns = columns;
    m_row = 0;
    m_rowEnded = false;
    moveToCell(0, 0);
}

void Sink::newRow()
{
    if (m_budget.cells < m_columns) {
        leaveTable();
        return;
    }
    if (m_row + 1 >= MaxRowsPerTable) {
        // Qt rebuilds a table's grid at each new row: long tables are cut
        // into several to keep that cost linear.
        leaveTable();
        startTable();
        return;
    }
    flushRun();
    m_table->appendRows(1);
    m_budget.cells -= m_columns;
    ++m_row;
    m_rowEnded = false;
    moveToCell(m_row, 0);
}

void Sink::moveToCell(int row, int column)
{
    m_cursor = m_table->cellAt(row, column).firstCursorPosition();
    m_column = column;
    m_blockRuns = 0;
    m_pastLastCell = false;
    m_fresh = true;
    m_pending = false;
}

void Sink::leaveTable()
{
    flushRun();
    m_cursor = m_table->lastCursorPosition();
    m_cursor.movePosition(QTextCursor::NextBlock);
    m_table = nullptr;
    m_blockRuns = 0;
    m_rowEnded = false;
    m_pastLastCell = false;
    m_pending = false;
    m_fresh = true;
}

void Sink::cell(const CharState &c, const ParaState &p)
{
    if (m_rows && (p.inTable || (m_table && !m_rowEnded))) {
        if (!m_table || m_rowEnded)
            ensureCell();
        if (m_table) {
            flushRun();
            if (!m_pending && !m_fresh)
                finishBlock(c, p);
            if (m_column + 1 < m_columns)
                moveToCell(m_row, m_column + 1);
            else
                m_pastLastCell = true;
            m_empty = false;
            return;
        }
    }
    text(QStringView(&Tab, 1), c, p);
}

void Sink::row(const CharState &c, const ParaState &p)
{
    if (m_table) {
        flushRun();
        if (!m_pending && !m_fresh)
            finishBlock(c, p);
        m_rowEnded = true;
        m_pending = false;
        m_fresh = false;
        return;
    }
    paragraph(c, p);
}

void Sink::image(const QString &name, qreal width, qreal height, const CharState &c,
                 const ParaState &p)
{
    ensureBlock(c, p);
    flushRun();
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(width);
    format.setHeight(height);
    m_cursor.insertImage(format);
    --m_budget.runs;
    m_empty = false;
}

void Sink::closeParagraph(const CharState &c, const ParaState &p)
{
    if (!m_pending && !m_fresh)
        paragraph(c, p);
}

void Sink::finish()
{
    flushRun();
}

void Sink::appendNotes(const QTextDocument &notes)
{
    flushRun();
    if (m_table)
        leaveTable();
    // A short rule above the notes, as word processors draw it.
    QTextBlockFormat rule;
    rule.setProperty(QTextFormat::BlockTrailingHorizontalRulerWidth,
                     QTextLength(QTextLength::PercentageLength, 30));
    rule.setTopMargin(6 * m_formats.scale());
    if (m_fresh)
        m_cursor.setBlockFormat(rule);
    else
        m_cursor.insertBlock(rule);
    m_cursor.insertBlock(QTextBlockFormat());
    m_cursor.insertFragment(QTextDocumentFragment(&notes));
    m_fresh = false;
    m_pending = false;
    m_empty = false;
}

} // namespace rtf::detail
