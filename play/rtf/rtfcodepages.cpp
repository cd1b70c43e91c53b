#include "play/rtf/rtfcodepages.h"

#include <QStringDecoder>

namespace rtf::detail {

namespace {

// Windows-1252 at 0x80..0x9F; the five unassigned bytes keep their C1 values.
constexpr char16_t Windows1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The Symbol font, bytes 0x20..0xFF (Adobe Symbol encoding); 0 where the font
// has no glyph.
constexpr char16_t SymbolTable[224] = {
    // 0x20
    0x0020, 0x0021, 0x2200, 0x0023, 0x2203, 0x0025, 0x0026, 0x220B,
    0x0028, 0x0029, 0x2217, 0x002B, 0x002C, 0x2212, 0x002E, 0x002F,
    // 0x30
    0x0030, 0x0031, 0x0032, 0x0033, 0x0034, 0x0035, 0x0036, 0x0037,
    0x0038, 0x0039, 0x003A, 0x003B, 0x003C, 0x003D, 0x003E, 0x003F,
    // 0x40
    0x2245, 0x0391, 0x0392, 0x03A7, 0x0394, 0x0395, 0x03A6, 0x0393,
    0x0397, 0x0399, 0x03D1, 0x039A, 0x039B, 0x039C, 0x039D, 0x039F,
    // 0x50
    0x03A0, 0x0398, 0x03A1, 0x03A3, 0x03A4, 0x03A5, 0x03C2, 0x03A9,
    0x039E, 0x03A8, 0x0396, 0x005B, 0x2234, 0x005D, 0x22A5, 0x005F,
    // 0x60
    0x203E, 0x03B1, 0x03B2, 0x03C7, 0x03B4, 0x03B5, 0x03C6, 0x03B3,
    0x03B7, 0x03B9, 0x03D5, 0x03BA, 0x03BB, 0x03BC, 0x03BD, 0x03BF,
    // 0x70
    0x03C0, 0x03B8, 0x03C1, 0x03C3, 0x03C4, 0x03C5, 0x03D6, 0x03C9,
    0x03BE, 0x03C8, 0x03B6, 0x007B, 0x007C, 0x007D, 0x223C, 0,
    // 0x80
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0x90
    0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
    // 0xA0
    0x20AC, 0x03D2, 0x2032, 0x2264, 0x2044, 0x221E, 0x0192, 0x2663,
    0x2666, 0x2665, 0x2660, 0x2194, 0x2190, 0x2191, 0x2192, 0x2193,
    // 0xB0
    0x00B0, 0x00B1, 0x2033, 0x2265, 0x00D7, 0x221D, 0x2202, 0x2022,
    0x00F7, 0x2260, 0x2261, 0x2248, 0x2026, 0x23D0, 0x23AF, 0x21B5,
    // 0xC0
    0x2135, 0x2111, 0x211C, 0x2118, 0x2297, 0x2295, 0x2205, 0x2229,
    0x222A, 0x2283, 0x2287, 0x2284, 0x2282, 0x2286, 0x2208, 0x2209,
    // 0xD0
    0x2220, 0x2207, 0x00AE, 0x00A9, 0x2122, 0x220F, 0x221A, 0x22C5,
    0x00AC, 0x2227, 0x2228, 0x21D4, 0x21D0, 0x21D1, 0x21D2, 0x21D3,
    // 0xE0
    0x25CA, 0x2329, 0x00AE, 0x00A9, 0x2122, 0x2211, 0x239B, 0x239C,
    0x239D, 0x23A1, 0x23A2, 0x23A3, 0x23A7, 0x23A8, 0x23A9, 0x23AA,
    // 0xF0
    0, 0x232A, 0x222B, 0x2320, 0x23AE, 0x2321, 0x239E, 0x239F,
    0x23A0, 0x23A4, 0x23A5, 0x23A6, 0x23AB, 0x23AC, 0x23AD, 0,
};

// The Wingdings glyphs that word processors use as bullets.
char16_t wingdings(unsigned char b)
{
    switch (b) {
    case 0x4A: return 0x263A;
    case 0x6C: return 0x25CF;
    case 0x6E: return 0x25A0;
    case 0x71: return 0x2751;
    case 0x75: return 0x25C6;
    case 0x76: return 0x2756;
    case 0x9F: return 0x2022;
    case 0xA7: return 0x25AA;
    case 0xA8: return 0x25FB;
    case 0xD8: return 0x27A2;
    case 0xE8: return 0x2794;
    case 0xFB: return 0x2717;
    case 0xFC: return 0x2713;
    default: return 0;
    }
}

char16_t windows1252(unsigned char b)
{
    return b >= 0x80 && b < 0xA0 ? Windows1252High[b - 0x80] : char16_t(b);
}

char16_t symbolChar(unsigned char b, int codepage)
{
    char16_t c = 0;
    if (codepage == CodepageSymbol && b >= 0x20)
        c = SymbolTable[b - 0x20];
    else if (codepage == CodepageWingdings)
        c = wingdings(b);
    return c ? c : windows1252(b);
}

// The converter name of a Windows code page, or nullptr when there is none.
QByteArray converterName(int codepage)
{
    switch (codepage) {
    case 874:
    case 1250: case 1251: case 1253: case 1254: case 1255:
    case 1256: case 1257: case 1258:
    case 932: case 936: case 949: case 950:
        return "windows-" + QByteArray::number(codepage);
    case 437: case 737: case 775: case 850: case 852: case 855: case 857:
    case 860: case 861: case 862: case 863: case 864: case 865: case 866: case 869:
        return "IBM" + QByteArray::number(codepage);
    case 10000: return "macintosh";
    case 10007: return "x-mac-cyrillic";
    case 20866: return "KOI8-R";
    case 21866: return "KOI8-U";
    case 28591: return "ISO-8859-1";
    case 28592: return "ISO-8859-2";
    case 28595: return "ISO-8859-5";
    case 28597: return "ISO-8859-7";
    case 28605: return "ISO-8859-15";
    case 65001: return "UTF-8";
    default: return {};
    }
}

// A document naming ever new code pages must not make ever new converters.
constexpr std::size_t MaxConverters = 24;

} // namespace

int codepageForCharset(int charset, int documentCodepage)
{
    switch (charset) {
    case 0: // ANSI
    case 1: // default
        return documentCodepage;
    case 2: return CodepageSymbol; // refined by symbolCodepageForFont
    case 77: return 10000;
    case 78: return 10001;
    case 128: return 932;
    case 129: return 949;
    case 134: return 936;
    case 136: return 950;
    case 161: return 1253;
    case 162: return 1254;
    case 163: return 1258;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 204: return 1251;
    case 222: return 874;
    case 238: return 1250;
    case 254: return 437;
    case 255: return 850;
    default: return documentCodepage;
    }
}

int symbolCodepageForFont(const QString &fontName, int documentCodepage)
{
    if (fontName.compare(QLatin1String("Symbol"), Qt::CaseInsensitive) == 0)
        return CodepageSymbol;
    if (fontName.startsWith(QLatin1String("Wingdings"), Qt::CaseInsensitive))
        return CodepageWingdings;
    return documentCodepage;
}

char32_t mapSymbolPrivateUse(char32_t c, int codepage)
{
    if ((codepage != CodepageSymbol && codepage != CodepageWingdings) || c < 0xF020 || c > 0xF0FF)
        return c;
    return symbolChar(static_cast<unsigned char>(c - 0xF000), codepage);
}

void decodeWindows1252(const QByteArray &bytes, QString &out)
{
    const qsizetype start = out.size();
    out.resize(start + bytes.size());
    QChar *dst = out.data() + start;
    for (const char ch : bytes)
        *dst++ = QChar(windows1252(static_cast<unsigned char>(ch)));
}

TextDecoder::TextDecoder() = default;
TextDecoder::~TextDecoder() = default;

QStringDecoder *TextDecoder::converter(int codepage)
{
    const auto found = m_converters.find(codepage);
    if (found != m_converters.end())
        return found->second.get();
    std::unique_ptr<QStringDecoder> made;
    const QByteArray name = converterName(codepage);
    if (!name.isEmpty() && m_converters.size() < MaxConverters) {
        made = std::make_unique<QStringDecoder>(name.constData(), QStringConverter::Flag::Stateless);
        if (!made->isValid())
            made.reset();
    }
    QStringDecoder *result = made.get();
    if (m_converters.size() < MaxConverters)
        m_converters.emplace(codepage, std::move(made));
    return result;
}

bool TextDecoder::hasConverter(int codepage)
{
    return converter(codepage) != nullptr;
}

void TextDecoder::decode(int codepage, const QByteArray &bytes, QString &out)
{
    if (codepage == CodepageSymbol || codepage == CodepageWingdings) {
        out.reserve(out.size() + bytes.size());
        for (const char ch : bytes)
            out.append(QChar(symbolChar(static_cast<unsigned char>(ch), codepage)));
        return;
    }
    if (codepage != 1252) {
        if (QStringDecoder *d = converter(codepage)) {
            out.append(d->decode(bytes));
            d->resetState();
            return;
        }
    }
    decodeWindows1252(bytes, out);
}

} // namespace rtf::detail
