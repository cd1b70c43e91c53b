#pragma once

#include "play/rtf/rtfformats.h"

#include <QString>
#include <QTextCursor>

class QTextDocument;
class QTextTable;

namespace rtf::detail {

// What one reading may still build; shared by every sink of the reading.
struct Budget
{
    int paragraphs;
    int runs;
    int cells;
    int characters;   // of text, line breaks and tabs; beyond it text is dropped
    bool cut = false; // text was dropped for want of characters
};

// The row definition in effect (\trowd ... \cellx).
struct RowDefinition
{
    int cells = 0;
    std::array<int, 64> rightEdges{}; // twips
    bool borders = false;
};

// Writes text into a document through one cursor. Text is gathered into
// runs of equal formatting and inserted one run at a time; a paragraph mark
// only ends the paragraph, the next one is opened by the content that
// follows, so that a document ending in \par has no empty last paragraph.
class Sink
{
public:
    // With a row definition the sink builds tables from \intbl paragraphs,
    // without one it writes cells as tab-separated text.
    Sink(QTextDocument &document, const Formats &formats, const RowDefinition *rows,
         Budget &budget);

    void text(QStringView s, const CharState &c, const ParaState &p);
    void paragraph(const CharState &c, const ParaState &p);
    void cell(const CharState &c, const ParaState &p);
    void row(const CharState &c, const ParaState &p);
    void image(const QString &name, qreal width, qreal height, const CharState &c,
               const ParaState &p);
    // Ends the current paragraph unless it is already ended or still empty.
    void closeParagraph(const CharState &c, const ParaState &p);
    // Writes what is still gathered. The last paragraph keeps the formatting
    // it was opened with when no paragraph mark ends it.
    void finish();
    bool isEmpty() const { return m_empty; }
    // Appends the footnotes gathered in another document, under a short rule.
    void appendNotes(const QTextDocument &notes);

private:
    void flushRun();
    QStringView affordable(QStringView s);
    void appendToRun(QStringView s);
    bool mayChangeFormat() const;
    void ensureBlock(const CharState &c, const ParaState &p);
    void finishBlock(const CharState &c, const ParaState &p);
    bool ensureCell();
    void startTable();
    void newRow();
    void leaveTable();
    void moveToCell(int row, int column);

    const Formats &m_formats;
    QTextCursor m_cursor;

    QString m_run;
    CharState m_runState;

    // The current block: its formatting, whether it is still untouched
    // (fresh) and whether it was closed by a paragraph mark (pending).
    CharState m_blockChar;
    ParaState m_blockPara;
    int m_blockRuns = 0;  // runs written into the current block
    int m_wordLength = 0; // characters since the last space
    bool m_fresh = true;
    bool m_pending = false;
    bool m_empty = true;

    const RowDefinition *m_rows;
    Budget &m_budget;
    QTextTable *m_table = nullptr;
    int m_row = 0;
    int m_column = 0;
    int m_columns = 0;
    bool m_rowEnded = false;
    bool m_pastLastCell = false; // every cell of the row's columns is ended
};

// Text with the characters a document must not receive as text replaced:
// controls other than tab, paragraph separators, the object replacement and
// frame marks of QTextDocument, and unpaired surrogates; and with combining
// marks past the 32nd in a row left out.
QString sanitized(QString text);

} // namespace rtf::detail
