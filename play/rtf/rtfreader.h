#pragma once

#include <QByteArray>
#include <QString>

#include <limits>

class QTextDocument;

// A reader of Rich Text Format that fills a QTextDocument through text
// cursors. It shows the text, character and paragraph formatting, simple
// tables, footnotes (gathered at the end) and PNG or JPEG pictures of files
// written by word processors, and skips everything that is not text (style
// sheets, document information, headers and footers, field instructions,
// embedded objects). It never reads another file and never follows a link;
// hostile input costs time linear in its size and bounded memory.
namespace rtf {

// Files larger than this are refused unread.
constexpr qint64 MaxFileSize = 8 * 1024 * 1024;

// Groups nested deeper than this are still matched but their content is ignored.
constexpr int MaxGroupDepth = 256;

// Pictures larger than this many pixels are not shown; nor are further
// pictures once this many pixels have been decoded for one document.
constexpr qint64 MaxPicturePixels = 4 * 1024 * 1024;
constexpr qint64 MaxDocumentPicturePixels = 8 * 1024 * 1024;

// Table cells built as real table cells per document; further rows are shown
// as paragraphs with cells separated by tabs.
constexpr int MaxTableCells = 4096;
constexpr int MaxTableColumns = 64;

// Beyond this many paragraphs, paragraph marks become line breaks; beyond
// this many runs of text in one format (pictures included), further changes
// of character formatting are not shown. The text itself is always shown:
// these limits keep a hostile file from costing more than a moment.
constexpr int MaxParagraphs = 20000;
constexpr int MaxFormatRuns = 20000;

// Pictures after this many (shown or not) are skipped unread.
constexpr int MaxPictures = 1000;

struct ReadOptions
{
    // Multiplies font sizes, indents, spacing and picture sizes, for a view
    // that is scaled as a whole. Lengths are mapped at 96 dots per inch
    // (15 twips make one pixel) before scaling.
    qreal scale = 1.0;
    // The limits above, for a view that lays out less.
    int maxParagraphs = MaxParagraphs;
    int maxFormatRuns = MaxFormatRuns;
    int maxTableCells = MaxTableCells;
    // Text beyond this many characters (line breaks and tabs included) is
    // not read: the document ends there and the reading reports it cut.
    int maxCharacters = std::numeric_limits<int>::max();
};

// Fills the document from RTF bytes, replacing its content and resources.
// Never fails on broken input: what can be read is shown. Returns false,
// leaving the document empty, only when the data is empty or not RTF at all.
// cut tells whether text was left out for options.maxCharacters.
bool readRtf(const QByteArray &data, QTextDocument &document, QString *error = nullptr);
bool readRtf(const QByteArray &data, QTextDocument &document, const ReadOptions &options,
             QString *error = nullptr, bool *cut = nullptr);

// Reads a file and fills the document from it. Returns false, with a reason
// in Italian and the document left empty, when the file is missing,
// unreadable, not a regular file, empty, larger than MaxFileSize or not RTF.
// Never waits for a pipe or a device put in the file's place.
bool loadRtfFile(const QString &path, QTextDocument &document, QString *error = nullptr);
bool loadRtfFile(const QString &path, QTextDocument &document, const ReadOptions &options,
                 QString *error = nullptr, bool *cut = nullptr);

} // namespace rtf
