#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <unordered_map>

class QStringDecoder;

namespace rtf::detail {

// Code page numbers with a meaning of their own besides the Windows ones.
constexpr int CodepageSymbol = 42;    // the Symbol font's own encoding
constexpr int CodepageWingdings = 43; // a few bullets of the Wingdings font

// The code page of a font's \fcharset; `documentCodepage` (from \ansicpg)
// stands for the ANSI and default character sets.
int codepageForCharset(int charset, int documentCodepage);

// For a font of the symbol character set: the code page its name selects.
int symbolCodepageForFont(const QString &fontName, int documentCodepage);

// Maps a character of the private range U+F020..U+F0FF, which word processors
// use for symbol fonts, to the character the font shows. Others are returned
// unchanged.
char32_t mapSymbolPrivateUse(char32_t c, int codepage);

// Decodes runs of bytes in a code page. Multi-byte code pages are decoded a
// whole run at a time; code pages without a converter fall back to Windows-1252.
class TextDecoder
{
public:
    TextDecoder();
    ~TextDecoder();
    TextDecoder(const TextDecoder &) = delete;
    TextDecoder &operator=(const TextDecoder &) = delete;

    void decode(int codepage, const QByteArray &bytes, QString &out);

    // Whether a converter other than the built-in Windows-1252 table serves this code page.
    bool hasConverter(int codepage);

private:
    QStringDecoder *converter(int codepage);
    std::unordered_map<int, std::unique_ptr<QStringDecoder>> m_converters;
};

// Windows-1252, the fallback for every code page without a converter.
void decodeWindows1252(const QByteArray &bytes, QString &out);

} // namespace rtf::detail
