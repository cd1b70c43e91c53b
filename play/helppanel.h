#pragma once

#include "play/layoutbounds.h"

#include <QByteArray>
#include <QRect>
#include <QString>

class QTextDocument;
class TwipMapping;

namespace helppanel {

// What the panel reads and lays out at most: a help document beyond these
// is shown up to them, followed by cutNote(). Paragraphs past MaxParagraphs
// become lines of the last one, as in the reader. A help document of a few
// pages is far within them, and the panel opens in a fraction of a second
// whatever the file holds.
constexpr int MaxCharacters = 20000;
constexpr int MaxParagraphs = 500;
constexpr int MaxFormatRuns = 500;
constexpr int MaxTableCells = 300;
constexpr LayoutBounds MaxLayout{1000, 2000, 1000000};

// The help document: "aiuto.rtf" in the current folder, otherwise the
// installed one.
QString fileName();

// Where the panel lies in a window laid out with mapping: over the whole
// layout, within the window.
QRect area(const TwipMapping &mapping, const QRect &window);

// What the panel shows when the help document cannot be shown.
QString missingMessage();

// The last line of a help document shown only in part.
QString cutNote();

// Turns the document's point sizes into pixel sizes and scales its
// paragraph indents and spacing by the mapping's scale.
void scaleDocument(QTextDocument &document, const TwipMapping &mapping);

// Fills document from the help file at path, with its sizes and indents
// scaled like the window, cut to the bounds above at the document's text
// width (the width of the view it is in). Nothing is laid out before it is
// cut. When the file is missing, unreadable, not a regular file, too large
// or not a rich-text file, or has no text to show (cut short before its
// text), the document shows missingMessage() instead.
// Returns whether the file was shown.
bool load(QTextDocument &document, const QString &path, const TwipMapping &mapping);

// The same for the bytes of a help file.
bool loadData(QTextDocument &document, const QByteArray &data, const TwipMapping &mapping);

} // namespace helppanel
