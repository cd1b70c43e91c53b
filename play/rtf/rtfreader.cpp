#include "play/rtf/rtfreader.h"

#include "play/rtf/rtfcodepages.h"
#include "play/rtf/rtfformats.h"
#include "play/rtf/rtfkeywords.h"
#include "play/rtf/rtfsink.h"

#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QTextCursor>
#include <QTextDocument>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <limits>
#include <memory>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace rtf {

namespace {

using namespace detail;

constexpr std::size_t MaxWordLength = 32; // longer control words are unknown
constexpr int MaxFonts = 4096;
constexpr int MaxColors = 4096;
constexpr int MaxFontNameBytes = 256;
constexpr int MaxShapePropertyName = 64;
constexpr int MaxUnicodeSkip = 255;
constexpr qreal MaxPictureSide = 4000; // pixels, before scaling

// Where the text of a group goes.
enum class Dest : quint8 {
    Text,       // shown
    Skip,       // nothing inside is shown
    FontTable,
    ColorTable,
    Pict,       // hex picture data
    Object,     // an embedded object: only its \result is shown
    Shape,      // a drawing shape: its picture, text box or \shprslt
    ShapeInst,
    ShapeProp,
    ShapeName,
    PibValue,   // the value of the shape property "pib": the shape's picture
};

struct Group
{
    CharState chr;
    ParaState para;
    Dest dest = Dest::Text;
    bool notes = false; // inside a footnote
    int uc = 1;         // bytes of fallback after each \u
    int shapeMark = 0;  // shape content shown before this shape began
};

struct Picture
{
    enum class Kind : quint8 { Unknown, Png, Jpeg, Other };
    Kind kind = Kind::Unknown;
    int goalWidth = 0; // twips
    int goalHeight = 0;
    int scaleX = 100; // percent
    int scaleY = 100;
    int highNibble = -1;
    QByteArray data;
};

bool isLetter(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

int twips(int value)
{
    return std::clamp(value, -MaxTwips, MaxTwips);
}

// The character a word stands for, or 0 when it stands for none. Nested
// cells and rows, which this reader does not build, become tabs and lines.
char32_t specialCharacter(Kw kw)
{
    switch (kw) {
    case Kw::Line:
    case Kw::NestRow:
        return QChar::LineSeparator;
    case Kw::Tab:
    case Kw::NestCell:
        return u'\t';
    case Kw::Bullet: return 0x2022;
    case Kw::EmDash: return 0x2014;
    case Kw::EnDash: return 0x2013;
    case Kw::LQuote: return 0x2018;
    case Kw::RQuote: return 0x2019;
    case Kw::LDblQuote: return 0x201C;
    case Kw::RDblQuote: return 0x201D;
    case Kw::EmSpace: return 0x2003;
    case Kw::EnSpace: return 0x2002;
    case Kw::QmSpace: return 0x2005;
    case Kw::Zwj: return 0x200D;
    case Kw::Zwnj: return 0x200C;
    case Kw::LtrMark: return 0x200E;
    case Kw::RtlMark: return 0x200F;
    default: return 0;
    }
}

// A control word as read: its keyword and its numeric parameter, if any.
struct Word
{
    Kw kw;
    bool hasParam;
    int param;
    // A switch such as \b is turned on by the bare word and off by \b0.
    bool on() const { return !hasParam || param != 0; }
};

class Reader
{
public:
    Reader(QByteArrayView data, QTextDocument &document, const ReadOptions &options);
    void read();
    bool cut() const { return m_budget.cut; }

private:
    Group &top() { return m_stack.back(); }
    bool ignoring() const { return m_overflow > 0 || m_stack.back().dest == Dest::Skip; }
    static bool shown(const Group &g) { return g.dest == Dest::Text && !g.chr.hidden; }
    Sink &sink(const Group &g);
    int codepage(const Group &g) const;

    void openGroup();
    void closeGroup();
    void control();
    void word();
    void handle(Kw kw, bool hasParam, int param);
    void destination(Group &g, Kw kw);
    void shapeDestination(Group &g, Kw kw);
    bool documentWord(Group &g, const Word &w);
    void unicode(const Group &g, int param);
    bool tableEntryWord(const Group &g, const Word &w);
    bool characterFormatWord(Group &g, const Word &w);
    bool paragraphFormatWord(Group &g, const Word &w);
    bool breakWord(Group &g, const Word &w);
    bool tableWord(Group &g, const Word &w);
    bool specialCharacterWord(const Group &g, const Word &w);
    void footnoteNumber(const Group &g);
    bool pictureWord(const Group &g, const Word &w);
    void symbol(char c);
    void plainText();
    void bytes(const char *s, qsizetype n);
    void flushBytes();
    void character(char32_t c);
    void skipBinary(int count, bool keep);

    void beginFont(int number);
    void finishFont();
    void addColor();
    void finishPicture(const Group &parent);
    void finish();

    const char *m_p;
    const char *m_end;
    QTextDocument &m_document;
    Formats m_formats;

    std::vector<Group> m_stack;
    int m_overflow = 0;     // groups opened beyond MaxGroupDepth
    int m_skip = 0;         // fallback characters still to skip after \u
    bool m_ignorable = false; // after \*
    bool m_done = false;    // the outermost group is closed
    int m_docCodepage = 1252;

    QByteArray m_bytes; // text bytes not yet decoded, all in one code page
    int m_bytesCodepage = 1252;
    TextDecoder m_decoder;
    QString m_scratch;

    bool m_fontOpen = false;
    int m_fontNumber = 0;
    int m_fontCharset = 0;
    int m_fontCpg = 0;
    QFont::StyleHint m_fontHint = QFont::AnyStyle;
    QByteArray m_fontName;

    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colorSet = false;

    Picture m_pict;
    qint64 m_pixels = 0;
    int m_pictures = 0; // pictures read, shown or not
    int m_images = 0;   // pictures shown
    int m_shapeContent = 0;
    QByteArray m_shapeProperty;
    int m_footnotes = 0;

    RowDefinition m_row;
    Budget m_budget;
    Sink m_main;
    std::unique_ptr<QTextDocument> m_notesDocument;
    QTextCursor m_notesEditBlock;
    std::unique_ptr<Sink> m_notes;
};

Reader::Reader(QByteArrayView data, QTextDocument &document, const ReadOptions &options)
    : m_p(data.data())
    , m_end(data.data() + data.size())
    , m_document(document)
    , m_formats(options.scale)
    , m_budget{options.maxParagraphs, options.maxFormatRuns, options.maxTableCells,
               std::max(options.maxCharacters, 0)}
    , m_main(document, m_formats, &m_row, m_budget)
{
    m_stack.reserve(MaxGroupDepth + 1);
    m_stack.emplace_back();
    QTextOption option = document.defaultTextOption();
    option.setTabStopDistance(m_formats.pixels(720));
    document.setDefaultTextOption(option);
}

Sink &Reader::sink(const Group &g)
{
    if (!g.notes)
        return m_main;
    if (!m_notes) {
        m_notesDocument = std::make_unique<QTextDocument>();
        m_notesDocument->setUndoRedoEnabled(false);
        // Inside an edit block cursors do not lay out text after each insertion.
        m_notesEditBlock = QTextCursor(m_notesDocument.get());
        m_notesEditBlock.beginEditBlock();
        m_notes = std::make_unique<Sink>(*m_notesDocument, m_formats, nullptr, m_budget);
    }
    return *m_notes;
}

int Reader::codepage(const Group &g) const
{
    const auto font = m_formats.fonts.constFind(g.chr.font < 0 ? m_formats.defaultFont : g.chr.font);
    return font != m_formats.fonts.constEnd() ? font->codepage : m_docCodepage;
}

void Reader::read()
{
    // Inside an edit block cursors do not lay out text after each insertion,
    // and a view lays out the document once at the end.
    QTextCursor editBlock(&m_document);
    editBlock.beginEditBlock();
    // Once the text allowed is written, nothing after it can show.
    while (m_p < m_end && !m_done && !m_budget.cut) {
        const char c = *m_p;
        switch (c) {
        case '{':
            ++m_p;
            openGroup();
            break;
        case '}':
            ++m_p;
            closeGroup();
            break;
        case '\\':
            ++m_p;
            control();
            break;
        case '\r':
        case '\n':
            ++m_p;
            break;
        default:
            if (m_skip > 0) {
                --m_skip;
                ++m_p;
            } else {
                plainText();
            }
        }
    }
    finish();
    editBlock.endEditBlock();
}

void Reader::openGroup()
{
    flushBytes();
    m_skip = 0;
    m_ignorable = false;
    if (m_overflow > 0 || int(m_stack.size()) > MaxGroupDepth) {
        ++m_overflow;
        return;
    }
    m_stack.push_back(m_stack.back());
}

void Reader::closeGroup()
{
    flushBytes();
    m_skip = 0;
    m_ignorable = false;
    if (m_overflow > 0) {
        --m_overflow;
        return;
    }
    if (m_stack.size() <= 1) {
        m_done = true;
        return;
    }
    const Group closed = m_stack.back();
    m_stack.pop_back();
    const Group &parent = m_stack.back();
    if (closed.dest == Dest::FontTable)
        finishFont();
    else if (closed.dest == Dest::Pict && parent.dest != Dest::Pict)
        finishPicture(parent);
    if (m_stack.size() == 1)
        m_done = true; // whatever follows the outermost group is not read
}

void Reader::control()
{
    if (m_p >= m_end)
        return;
    const char c = *m_p;
    if (isLetter(c)) {
        word();
        return;
    }
    ++m_p;
    if (c == '\'') {
        const int high = m_p < m_end ? hexValue(*m_p) : -1;
        if (high < 0)
            return;
        ++m_p;
        int value = high;
        if (m_p < m_end && hexValue(*m_p) >= 0)
            value = high * 16 + hexValue(*m_p++);
        if (m_skip > 0) {
            --m_skip;
            return;
        }
        m_ignorable = false;
        if (top().dest != Dest::Pict) {
            const char byte = char(value);
            bytes(&byte, 1);
        }
        return;
    }
    if (m_skip > 0) {
        --m_skip;
        return;
    }
    symbol(c);
}

void Reader::word()
{
    const char *start = m_p;
    while (m_p < m_end && isLetter(*m_p))
        ++m_p;
    const std::string_view name(start, std::size_t(m_p - start));
    bool negative = false;
    if (m_end - m_p >= 2 && *m_p == '-' && isDigit(m_p[1])) {
        negative = true;
        ++m_p;
    }
    bool hasParam = false;
    qint64 value = 0;
    while (m_p < m_end && isDigit(*m_p)) {
        hasParam = true;
        if (value <= std::numeric_limits<int>::max())
            value = value * 10 + (*m_p - '0');
        ++m_p;
    }
    if (negative)
        value = -value;
    const int param = int(std::clamp<qint64>(value, std::numeric_limits<int>::min(),
                                             std::numeric_limits<int>::max()));
    if (m_p < m_end && *m_p == ' ')
        ++m_p;
    const Kw kw = name.size() <= MaxWordLength ? lookupKeyword(name) : Kw::Unknown;
    if (m_skip > 0) {
        // A control word in the fallback of \u counts as one character.
        --m_skip;
        if (kw == Kw::Bin)
            skipBinary(param, false);
        return;
    }
    handle(kw, hasParam, param);
}

void Reader::symbol(char c)
{
    switch (c) {
    case '\\':
    case '{':
    case '}':
        m_ignorable = false;
        bytes(&c, 1);
        break;
    case '~':
        character(0x00A0);
        break;
    case '-':
        character(0x00AD);
        break;
    case '_':
        character(0x2011);
        break;
    case '*':
        m_ignorable = true;
        break;
    case '\r':
    case '\n': {
        flushBytes();
        m_ignorable = false;
        const Group &g = top();
        if (!ignoring() && shown(g))
            sink(g).paragraph(g.chr, g.para);
        break;
    }
    default:
        m_ignorable = false; // \: \| and unknown symbols mean nothing here
        break;
    }
}

void Reader::plainText()
{
    const char *start = m_p;
    while (m_p < m_end) {
        const char c = *m_p;
        if (c == '{' || c == '}' || c == '\\' || c == '\r' || c == '\n')
            break;
        ++m_p;
    }
    m_ignorable = false;
    bytes(start, m_p - start);
}

void Reader::bytes(const char *s, qsizetype n)
{
    if (ignoring())
        return;
    Group &g = top();
    switch (g.dest) {
    case Dest::Text:
        if (g.chr.hidden)
            return;
        if (m_bytes.isEmpty())
            m_bytesCodepage = codepage(g);
        m_bytes.append(s, n);
        break;
    case Dest::FontTable:
        for (qsizetype i = 0; i < n; ++i) {
            if (s[i] == ';')
                finishFont();
            else if (m_fontOpen && m_fontName.size() < MaxFontNameBytes)
                m_fontName.append(s[i]);
        }
        break;
    case Dest::ColorTable:
        for (qsizetype i = 0; i < n; ++i) {
            if (s[i] == ';')
                addColor();
        }
        break;
    case Dest::Pict:
        if (m_pict.kind == Picture::Kind::Other)
            return;
        for (qsizetype i = 0; i < n; ++i) {
            const int v = hexValue(s[i]);
            if (v < 0)
                continue;
            if (m_pict.highNibble < 0) {
                m_pict.highNibble = v;
            } else {
                m_pict.data.append(char(m_pict.highNibble * 16 + v));
                m_pict.highNibble = -1;
            }
        }
        break;
    case Dest::ShapeName:
        if (m_shapeProperty.size() + n <= MaxShapePropertyName)
            m_shapeProperty.append(s, n);
        break;
    default:
        break;
    }
}

// Decodes the bytes gathered so far; called before anything that may change
// the state they were written in.
void Reader::flushBytes()
{
    if (m_bytes.isEmpty())
        return;
    m_scratch.clear();
    m_decoder.decode(m_bytesCodepage, m_bytes, m_scratch);
    m_bytes.clear();
    const Group &g = top();
    sink(g).text(m_scratch, g.chr, g.para);
}

void Reader::character(char32_t c)
{
    flushBytes();
    m_ignorable = false;
    const Group &g = top();
    if (ignoring() || !shown(g))
        return;
    char16_t units[2];
    qsizetype n = 1;
    if (c > 0xFFFF) {
        units[0] = QChar::highSurrogate(c);
        units[1] = QChar::lowSurrogate(c);
        n = 2;
    } else {
        units[0] = char16_t(c);
    }
    sink(g).text(QStringView(units, n), g.chr, g.para);
}

void Reader::skipBinary(int count, bool keep)
{
    const qsizetype n = std::clamp<qsizetype>(count, 0, m_end - m_p);
    if (keep)
        m_pict.data.append(m_p, n);
    m_p += n;
}

void Reader::handle(Kw kw, bool hasParam, int param)
{
    flushBytes();
    const bool ignorable = std::exchange(m_ignorable, false);
    if (ignoring()) {
        if (kw == Kw::Bin)
            skipBinary(param, false);
        return;
    }
    Group &g = top();
    if (isKnownDestination(kw)) {
        destination(g, kw);
        return;
    }
    if (ignorable) {
        g.dest = Dest::Skip; // \* before a word this reader does not know
        return;
    }
    // Each handler acts on the words of its kind and tells whether the word
    // was one of them; any other word (Kw::Unknown among them) is ignored.
    const Word w{kw, hasParam, param};
    documentWord(g, w) || tableEntryWord(g, w) || characterFormatWord(g, w)
        || paragraphFormatWord(g, w) || breakWord(g, w) || tableWord(g, w)
        || specialCharacterWord(g, w) || pictureWord(g, w);
}

// Code pages, the default font and tab stop, and characters given by number.
bool Reader::documentWord(Group &g, const Word &w)
{
    switch (w.kw) {
    case Kw::Ansi: m_docCodepage = 1252; return true;
    case Kw::Mac: m_docCodepage = 10000; return true;
    case Kw::Pc: m_docCodepage = 437; return true;
    case Kw::Pca: m_docCodepage = 850; return true;
    case Kw::AnsiCpg:
        if (w.param > 0)
            m_docCodepage = w.param;
        return true;
    case Kw::Deff: m_formats.defaultFont = std::max(w.param, 0); return true;
    case Kw::DefTab:
        if (w.param > 0) {
            QTextOption option = m_document.defaultTextOption();
            option.setTabStopDistance(std::max<qreal>(1, m_formats.pixels(w.param)));
            m_document.setDefaultTextOption(option);
        }
        return true;
    case Kw::Uc: g.uc = std::clamp(w.param, 0, MaxUnicodeSkip); return true;
    case Kw::U:
        if (w.hasParam)
            unicode(g, w.param);
        return true;
    default:
        return false;
    }
}

// \uN shows the character numbered N (negative numbers count back from
// 65536); the fallback that follows it, \uc characters long, is skipped.
void Reader::unicode(const Group &g, int param)
{
    const int v = param < 0 && param >= -32768 ? param + 65536 : param;
    char32_t c = v < 0 || v > 0x10FFFF ? char32_t(0xFFFD) : char32_t(v);
    if (g.dest == Dest::Text)
        c = mapSymbolPrivateUse(c, codepage(g));
    character(c);
    m_skip = top().uc;
}

// The entry of the font or colour table being read.
bool Reader::tableEntryWord(const Group &g, const Word &w)
{
    switch (w.kw) {
    case Kw::FCharset:
        if (g.dest == Dest::FontTable)
            m_fontCharset = w.param;
        return true;
    case Kw::Cpg:
        if (g.dest == Dest::FontTable)
            m_fontCpg = w.param;
        return true;
    case Kw::FRoman: m_fontHint = QFont::Serif; return true;
    case Kw::FSwiss: m_fontHint = QFont::SansSerif; return true;
    case Kw::FModern: m_fontHint = QFont::TypeWriter; return true;
    case Kw::FScript: m_fontHint = QFont::Cursive; return true;
    case Kw::FDecor: m_fontHint = QFont::Decorative; return true;
    case Kw::FTech:
    case Kw::FBidi:
    case Kw::FNil:
        return true;
    case Kw::Red:
    case Kw::Green:
    case Kw::Blue: {
        int &part = w.kw == Kw::Red ? m_red : w.kw == Kw::Green ? m_green : m_blue;
        part = std::clamp(w.param, 0, 255);
        m_colorSet = true;
        return true;
    }
    default:
        return false;
    }
}

bool Reader::characterFormatWord(Group &g, const Word &w)
{
    const bool on = w.on();
    switch (w.kw) {
    case Kw::Plain: g.chr = CharState{}; return true;
    case Kw::Bold: g.chr.bold = on; return true;
    case Kw::Italic: g.chr.italic = on; return true;
    case Kw::Underline: g.chr.underline = on; return true;
    case Kw::UnderlineNone: g.chr.underline = false; return true;
    case Kw::Strike: g.chr.strike = on; return true;
    case Kw::Hidden:
    case Kw::Deleted: // deleted text of tracked changes is not shown
        g.chr.hidden = on;
        return true;
    case Kw::Super: g.chr.verticalPosition = on ? 1 : 0; return true;
    case Kw::Sub: g.chr.verticalPosition = on ? -1 : 0; return true;
    case Kw::NoSuperSub: g.chr.verticalPosition = 0; return true;
    case Kw::Up: g.chr.verticalPosition = on ? 1 : 0; return true;
    case Kw::Dn: g.chr.verticalPosition = on ? -1 : 0; return true;
    case Kw::FontSize:
        g.chr.halfPoints = w.hasParam && w.param > 0 ? std::min(w.param, 3200) : 24;
        return true;
    case Kw::Font:
        if (g.dest == Dest::FontTable)
            beginFont(w.param);
        else
            g.chr.font = std::max(w.param, 0);
        return true;
    case Kw::ColorFore: g.chr.fore = std::max(w.param, -1); return true;
    case Kw::ColorBack:
    case Kw::Highlight:
        g.chr.back = std::max(w.param, -1);
        return true;
    default:
        return false;
    }
}

bool Reader::paragraphFormatWord(Group &g, const Word &w)
{
    switch (w.kw) {
    case Kw::Pard: g.para = ParaState{}; return true;
    case Kw::Ql: g.para.align = Align::Left; return true;
    case Kw::Qc: g.para.align = Align::Centre; return true;
    case Kw::Qr: g.para.align = Align::Right; return true;
    case Kw::Qj: g.para.align = Align::Justify; return true;
    case Kw::Li: g.para.left = twips(w.param); return true;
    case Kw::Ri: g.para.right = twips(w.param); return true;
    case Kw::Fi: g.para.first = twips(w.param); return true;
    case Kw::Sb: g.para.before = twips(w.param); return true;
    case Kw::Sa: g.para.after = twips(w.param); return true;
    case Kw::Sl: g.para.lineSpacing = twips(w.param); return true;
    case Kw::SlMult: g.para.lineMultiple = w.on(); return true;
    case Kw::InTable: g.para.inTable = w.on(); return true;
    case Kw::Tx:
    case Kw::TabBar:
        if (g.para.tabCount < MaxTabStops)
            g.para.tabs[g.para.tabCount++] = qint16(std::clamp(w.param, 0, MaxTwips));
        return true;
    default:
        return false;
    }
}

// Paragraph marks; a page break only ends the paragraph it falls in.
bool Reader::breakWord(Group &g, const Word &w)
{
    switch (w.kw) {
    case Kw::Par:
    case Kw::Sect:
        if (shown(g))
            sink(g).paragraph(g.chr, g.para);
        return true;
    case Kw::Page:
        if (shown(g))
            sink(g).closeParagraph(g.chr, g.para);
        return true;
    default:
        return false;
    }
}

// The ends of cells and rows, and the row definition they are laid out by.
bool Reader::tableWord(Group &g, const Word &w)
{
    switch (w.kw) {
    case Kw::Cell:
        if (shown(g))
            sink(g).cell(g.chr, g.para);
        return true;
    case Kw::Row:
        if (shown(g))
            sink(g).row(g.chr, g.para);
        return true;
    case Kw::TRowD: m_row = RowDefinition{}; return true;
    case Kw::CellX:
        if (m_row.cells < int(m_row.rightEdges.size()))
            m_row.rightEdges[m_row.cells++] = std::clamp(w.param, 0, 10 * MaxTwips);
        return true;
    case Kw::CellBorder: m_row.borders = true; return true;
    default:
        return false;
    }
}

bool Reader::specialCharacterWord(const Group &g, const Word &w)
{
    if (w.kw == Kw::ChFtn) {
        footnoteNumber(g);
        return true;
    }
    const char32_t c = specialCharacter(w.kw);
    if (c == 0)
        return false;
    character(c);
    return true;
}

// \chftn: the anchor counts the note; inside the note the number repeats.
void Reader::footnoteNumber(const Group &g)
{
    if (!shown(g))
        return;
    const int number = g.notes ? std::max(m_footnotes, 1) : ++m_footnotes;
    const QString text = QString::number(number);
    sink(g).text(text, g.chr, g.para);
}

// The kind, size and binary data of the picture being read.
bool Reader::pictureWord(const Group &g, const Word &w)
{
    const bool inPicture = g.dest == Dest::Pict;
    switch (w.kw) {
    case Kw::Bin: skipBinary(w.param, inPicture && m_pict.kind != Picture::Kind::Other); return true;
    case Kw::PngBlip:
        if (inPicture)
            m_pict.kind = Picture::Kind::Png;
        return true;
    case Kw::JpegBlip:
        if (inPicture)
            m_pict.kind = Picture::Kind::Jpeg;
        return true;
    case Kw::OtherBlip:
        if (inPicture) {
            m_pict.kind = Picture::Kind::Other;
            m_pict.data.clear();
        }
        return true;
    case Kw::PicWGoal: m_pict.goalWidth = std::clamp(w.param, 0, MaxTwips); return true;
    case Kw::PicHGoal: m_pict.goalHeight = std::clamp(w.param, 0, MaxTwips); return true;
    case Kw::PicScaleX: m_pict.scaleX = std::clamp(w.param, 1, 1000); return true;
    case Kw::PicScaleY: m_pict.scaleY = std::clamp(w.param, 1, 1000); return true;
    case Kw::PicW:
    case Kw::PicH:
        return true;
    default:
        return false;
    }
}

// A word that starts a destination changes where the text of its group goes.
void Reader::destination(Group &g, Kw kw)
{
    switch (kw) {
    case Kw::SkipDestination:
        g.dest = Dest::Skip;
        break;
    case Kw::FontTable:
        g.dest = Dest::FontTable;
        break;
    case Kw::ColorTable:
        g.dest = Dest::ColorTable;
        m_formats.colors.clear();
        m_colorSet = false;
        break;
    case Kw::Pict:
        if ((g.dest == Dest::Text || g.dest == Dest::PibValue) && m_pictures < MaxPictures) {
            g.dest = Dest::Pict;
            m_pict = Picture{};
        } else {
            g.dest = Dest::Skip;
        }
        break;
    case Kw::ShpPict: // the picture of a shape, shown where it stands
    case Kw::Field:   // a field shows its result, never its instruction
    case Kw::FldRslt:
    case Kw::ListText: // the number or bullet of a list paragraph
    case Kw::PnText:
        if (g.dest != Dest::Text)
            g.dest = Dest::Skip;
        break;
    case Kw::Object:
        g.dest = g.dest == Dest::Text ? Dest::Object : Dest::Skip;
        break;
    case Kw::Result:
        if (g.dest == Dest::Object)
            g.dest = Dest::Text;
        else if (g.dest != Dest::Text)
            g.dest = Dest::Skip;
        break;
    case Kw::Footnote:
        if (g.dest == Dest::Text && !g.notes) {
            g.notes = true;
            sink(g).closeParagraph(g.chr, g.para);
        } else {
            g.dest = Dest::Skip;
        }
        break;
    default:
        shapeDestination(g, kw);
        break;
    }
}

// The destinations inside a drawing shape: of its properties only the
// picture ("pib") is read, and its text box is shown.
void Reader::shapeDestination(Group &g, Kw kw)
{
    switch (kw) {
    case Kw::Shp:
        if (g.dest == Dest::Text) {
            g.dest = Dest::Shape;
            g.shapeMark = m_shapeContent;
        } else {
            g.dest = Dest::Skip;
        }
        break;
    case Kw::ShpInst:
        g.dest = g.dest == Dest::Shape ? Dest::ShapeInst : Dest::Skip;
        break;
    case Kw::Sp:
        g.dest = g.dest == Dest::ShapeInst ? Dest::ShapeProp : Dest::Skip;
        m_shapeProperty.clear();
        break;
    case Kw::Sn:
        g.dest = g.dest == Dest::ShapeProp ? Dest::ShapeName : Dest::Skip;
        m_shapeProperty.clear();
        break;
    case Kw::Sv:
        g.dest = g.dest == Dest::ShapeProp && m_shapeProperty.trimmed() == "pib" ? Dest::PibValue
                                                                                  : Dest::Skip;
        break;
    case Kw::ShpTxt: // the text of a text box
        if (g.dest == Dest::ShapeInst) {
            g.dest = Dest::Text;
            ++m_shapeContent;
        } else {
            g.dest = Dest::Skip;
        }
        break;
    case Kw::ShpRslt:
        // What older readers show instead of the shape: shown only when the
        // shape itself showed nothing, so that a picture appears once.
        if (g.dest == Dest::Shape)
            g.dest = m_shapeContent > g.shapeMark ? Dest::Skip : Dest::Text;
        else if (g.dest != Dest::Text)
            g.dest = Dest::Skip;
        break;
    default:
        break;
    }
}

void Reader::beginFont(int number)
{
    finishFont();
    m_fontOpen = true;
    m_fontNumber = number;
    m_fontCharset = 0;
    m_fontCpg = 0;
    m_fontHint = QFont::AnyStyle;
    m_fontName.clear();
}

void Reader::finishFont()
{
    if (!m_fontOpen)
        return;
    m_fontOpen = false;
    FontEntry font;
    font.hint = m_fontHint;
    // The name of a symbol font is written in the document's code page, not in the font's own.
    const int nameCodepage = m_fontCpg > 0 ? m_fontCpg
        : m_fontCharset == 2                ? m_docCodepage
                                            : codepageForCharset(m_fontCharset, m_docCodepage);
    QString name;
    m_decoder.decode(nameCodepage, m_fontName.trimmed(), name);
    font.name = sanitized(name).trimmed();
    if (m_fontCpg > 0)
        font.codepage = m_fontCpg;
    else if (m_fontCharset == 2)
        font.codepage = symbolCodepageForFont(font.name, m_docCodepage);
    else
        font.codepage = codepageForCharset(m_fontCharset, m_docCodepage);
    if (m_formats.fonts.size() < MaxFonts || m_formats.fonts.contains(m_fontNumber))
        m_formats.fonts.insert(m_fontNumber, font);
}

void Reader::addColor()
{
    if (m_formats.colors.size() < MaxColors)
        m_formats.colors.append(m_colorSet ? QColor(m_red, m_green, m_blue) : QColor());
    m_red = m_green = m_blue = 0;
    m_colorSet = false;
}

void Reader::finishPicture(const Group &parent)
{
    const Picture pict = std::exchange(m_pict, Picture{});
    if (pict.kind != Picture::Kind::Png && pict.kind != Picture::Kind::Jpeg)
        return;
    if ((parent.dest != Dest::Text && parent.dest != Dest::PibValue) || parent.chr.hidden)
        return;
    ++m_pictures;
    const bool png = pict.kind == Picture::Kind::Png;
    if (!pict.data.startsWith(png ? QByteArrayView("\x89PNG\r\n\x1a\n") : QByteArrayView("\xFF\xD8")))
        return;
    QByteArray data = pict.data;
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, png ? "png" : "jpeg");
    reader.setDecideFormatFromContent(false);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return;
    const qint64 pixels = qint64(size.width()) * size.height();
    if (pixels > MaxPicturePixels || m_pixels + pixels > MaxDocumentPicturePixels)
        return;
    QImage image;
    if (!reader.read(&image) || image.isNull())
        return;
    m_pixels += pixels;
    ++m_shapeContent;

    const QString name = QStringLiteral("rtf-image:%1").arg(++m_images);
    m_document.addResource(QTextDocument::ImageResource, QUrl(name), image);
    const qreal scale = m_formats.scale();
    qreal width = pict.goalWidth > 0 ? m_formats.pixels(pict.goalWidth) : image.width() * scale;
    qreal height = pict.goalHeight > 0 ? m_formats.pixels(pict.goalHeight) : image.height() * scale;
    width = std::clamp(width * pict.scaleX / 100.0, 1.0, MaxPictureSide * scale);
    height = std::clamp(height * pict.scaleY / 100.0, 1.0, MaxPictureSide * scale);
    sink(parent).image(name, width, height, parent.chr, parent.para);
}

void Reader::finish()
{
    flushBytes();
    // Groups left open by a truncated file are closed as if it went on.
    m_overflow = 0;
    m_skip = 0;
    while (m_stack.size() > 1)
        closeGroup();
    m_main.finish();
    if (m_notes) {
        m_notes->finish();
        m_notesEditBlock.endEditBlock();
        if (!m_notes->isEmpty())
            m_main.appendNotes(*m_notesDocument);
    }
}

} // namespace

bool readRtf(const QByteArray &data, QTextDocument &document, const ReadOptions &options,
             QString *error, bool *cut)
{
    if (cut)
        *cut = false;
    document.clear();
    QByteArrayView text(data);
    if (text.startsWith("\xEF\xBB\xBF"))
        text = text.sliced(3);
    while (!text.isEmpty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r'
                               || text.front() == '\n'))
        text = text.sliced(1);
    if (text.isEmpty()) {
        if (error)
            *error = QStringLiteral("il file è vuoto");
        return false;
    }
    if (!text.startsWith("{\\rtf")) {
        if (error)
            *error = QStringLiteral("il file non è in formato RTF");
        return false;
    }
    const bool undo = document.isUndoRedoEnabled();
    document.setUndoRedoEnabled(false);
    Reader reader(text, document, options);
    reader.read();
    if (cut)
        *cut = reader.cut();
    document.setUndoRedoEnabled(undo);
    return true;
}

bool readRtf(const QByteArray &data, QTextDocument &document, QString *error)
{
    return readRtf(data, document, ReadOptions{}, error);
}

bool loadRtfFile(const QString &path, QTextDocument &document, const ReadOptions &options,
                 QString *error, bool *cut)
{
    if (cut)
        *cut = false;
    const auto fail = [&](const QString &reason) {
        document.clear();
        if (error)
            *error = reason;
        return false;
    };
    // Opened before it is looked at, without waiting: a pipe or a device put
    // in the file's place is opened at once and then refused for what it is,
    // so that nothing can swap the file between the check and the reading.
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) {
        return fail(errno == ENOENT ? QStringLiteral("il file non esiste")
                                    : QStringLiteral("il file non si può leggere"));
    }
    QFile file;
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(QStringLiteral("il file non si può leggere"));
    }
    struct stat status;
    if (::fstat(fd, &status) != 0)
        return fail(QStringLiteral("il file non si può leggere"));
    // Devices and pipes are refused: they could be endless or never answer.
    if (!S_ISREG(status.st_mode))
        return fail(QStringLiteral("non è un file"));
    if (status.st_size > MaxFileSize)
        return fail(QStringLiteral("il file è troppo grande"));
    const QByteArray data = file.read(MaxFileSize + 1);
    if (data.size() > MaxFileSize)
        return fail(QStringLiteral("il file è troppo grande"));
    if (data.isEmpty() && file.error() != QFileDevice::NoError)
        return fail(QStringLiteral("il file non si può leggere"));
    return readRtf(data, document, options, error, cut);
}

bool loadRtfFile(const QString &path, QTextDocument &document, QString *error)
{
    return loadRtfFile(path, document, ReadOptions{}, error);
}

} // namespace rtf
