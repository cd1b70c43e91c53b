#pragma once

#include <QtGlobal>

class QTextDocument;

// What a view may lay out of one document. Qt lays a document out in time
// that grows with its blocks and lines, and never finishes laying out one
// taller than about 8 million pixels, where its fixed-point positions overflow.
struct LayoutBounds
{
    int blocks;
    int lines;
    qreal height; // pixels
};

// Lays document out at width (its text width as a view shows it), block by
// block and line by line, and removes everything from the first block or
// line that goes past bounds to the end. A table that goes past them keeps
// its rows before the one that does. Returns whether anything was removed.
//
// Costs about the layout of what is kept: no line after the first one past
// the bounds is laid out. Blocks in tables are measured as if every
// character stood on a line of its own, one cell above the other, which no
// table is taller than. Nothing else of the document changes, so a view
// lays out what is left in about the height measured here.
bool cutToLayoutBounds(QTextDocument &document, qreal width, const LayoutBounds &bounds);
