#include "store/csvexport.h"

namespace {

// Characters a spreadsheet shows as nothing: white space, control characters,
// broken UTF-16, and the default-ignorable ones (format characters such as the
// byte-order mark, zero-width and direction marks; variation selectors; Hangul fillers).
bool isInvisible(char32_t c)
{
    if (QChar::isSpace(c))
        return true;
    switch (QChar::category(c)) {
    case QChar::Other_Control:
    case QChar::Other_Format:
    case QChar::Other_Surrogate:
        return true;
    default:
        break;
    }
    return c == 0x034F || c == 0x115F || c == 0x1160 || c == 0x17B4 || c == 0x17B5 || (c >= 0x180B && c <= 0x180F)
        || c == 0x3164 || (c >= 0xFE00 && c <= 0xFE0F) || c == 0xFFA0 || (c >= 0xE0100 && c <= 0xE01EF);
}

// Control characters and broken UTF-16, written as U+FFFD.
bool isDropped(char32_t c)
{
    switch (QChar::category(c)) {
    case QChar::Other_Control:
        return c != u'\t' && c != u'\n' && c != u'\r';
    case QChar::Other_Surrogate:
        return true;
    default:
        return false;
    }
}

// A spreadsheet runs a cell as a formula when its first visible character is
// one of these; compatibility forms (full-width, small) count as well.
bool startsFormulaOrQuote(char32_t c)
{
    const QString plain = QString::fromUcs4(&c, 1).normalized(QString::NormalizationForm_KC);
    if (plain.isEmpty())
        return false;
    const QChar first = plain.front();
    return first == u'=' || first == u'+' || first == u'-' || first == u'@' || first == u'\'';
}

} // namespace

QString csvCell(const QString &text)
{
    QString cell;
    cell.reserve(text.size() + 3);
    bool guard = false;
    bool visibleSeen = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text.at(i).unicode();
        qsizetype units = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text.at(i), text.at(i + 1));
            units = 2;
        }
        if (!visibleSeen && !isInvisible(c)) {
            visibleSeen = true;
            guard = startsFormulaOrQuote(c);
        }
        if (isDropped(c))
            cell += QChar(QChar::ReplacementCharacter);
        else
            cell += QStringView(text).mid(i, units);
        i += units - 1;
    }
    if (guard)
        cell.prepend(u'\'');
    if (!cell.contains(u',') && !cell.contains(u'"') && !cell.contains(u'\r') && !cell.contains(u'\n'))
        return cell;
    cell.replace(u'"', QStringLiteral("\"\""));
    return u'"' + cell + u'"';
}
