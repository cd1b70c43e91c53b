// Text for CSV files that spreadsheets open as plain text.
#pragma once

#include <QString>

// One CSV cell (RFC 4180) holding text a person typed, such as a pupil's name:
// - control characters that no spreadsheet shows (NUL, escape, DEL, C1 codes)
//   and broken UTF-16 become U+FFFD; tab, line feed and carriage return stay;
// - text that a spreadsheet could run as a formula gets a leading apostrophe:
//   its first visible character, after white space, byte-order marks and other
//   invisible characters, is = + - @ or one of their full-width or small forms;
// - text that begins with an apostrophe gets one more, so that "=1" and a typed
//   "'=1" stay apart: removing one leading apostrophe from a cell that has one
//   always gives back the text;
// - the cell is quoted, quotes doubled, when it holds a comma, a quote or a line end.
// Numbers and dates written by the program itself need none of this.
QString csvCell(const QString &text);
