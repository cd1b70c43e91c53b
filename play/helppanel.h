#pragma once

#include <QString>

class QTextDocument;
class TwipMapping;

namespace helppanel {

// The help document: "aiuto.rtf" in the current folder, otherwise the
// installed one.
QString fileName();

// What the panel shows when the help document cannot be shown.
QString missingMessage();

// Turns the document's point sizes into pixel sizes and scales its
// paragraph indents and spacing by the mapping's scale.
void scaleDocument(QTextDocument &document, const TwipMapping &mapping);

// Fills document from the help file at path, with its sizes and indents
// scaled like the window. When the file is missing, unreadable, too large
// or not a rich-text file, or has no text to show (cut short before its
// text), the document shows missingMessage() instead.
// Returns whether the file was shown.
bool load(QTextDocument &document, const QString &path, const TwipMapping &mapping);

} // namespace helppanel
