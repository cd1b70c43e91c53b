#pragma once

#include <QColor>
#include <QFont>
#include <QHash>
#include <QList>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>

#include <array>

namespace rtf::detail {

// Lengths in RTF are twips; the document works in pixels at 96 dots per inch.
constexpr qreal TwipsPerPixel = 15.0;
// No indent, spacing or tab stop goes beyond 22 inches.
constexpr int MaxTwips = 31680;
constexpr int MaxTabStops = 32;

// The character formatting of a group. Plain values, so that comparing two
// states (to end a run of text) is cheap.
struct CharState
{
    int font = -1;       // font number; -1 is the document's default font (\deff)
    int halfPoints = 24; // \fs
    int fore = -1;       // colour table index of the text; -1 none
    int back = -1;       // colour table index of the background; -1 none
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
    bool hidden = false;
    qint8 verticalPosition = 0; // 1 superscript, -1 subscript

    bool operator==(const CharState &) const = default;
};

enum class Align : quint8 { Left, Centre, Right, Justify };

// The paragraph formatting of a group.
struct ParaState
{
    int left = 0; // twips
    int right = 0;
    int first = 0;
    int before = 0;
    int after = 0;
    int lineSpacing = 0; // \sl: > 0 at least, < 0 exactly, 0 single
    bool lineMultiple = false;
    bool inTable = false;
    Align align = Align::Left;
    quint8 tabCount = 0;
    std::array<qint16, MaxTabStops> tabs{};

    bool operator==(const ParaState &) const = default;
};

struct FontEntry
{
    QString name;
    QFont::StyleHint hint = QFont::AnyStyle;
    int codepage = 1252;
};

// The document-wide tables that turn states into Qt formats.
class Formats
{
public:
    explicit Formats(qreal scale);

    QHash<int, FontEntry> fonts;
    QList<QColor> colors; // invalid entries stand for "auto"
    int defaultFont = 0;

    QTextCharFormat charFormat(const CharState &c) const;
    QTextBlockFormat blockFormat(const ParaState &p) const;
    qreal pixels(int twips) const;
    qreal scale() const { return m_scale; }

private:
    qreal m_scale;
};

} // namespace rtf::detail
