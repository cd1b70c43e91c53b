#pragma once

#include <string_view>

namespace rtf::detail {

// The control words the reader acts on. Every other word is ignored, or, when
// it follows \*, makes its group skipped.
enum class Kw : unsigned char {
    Unknown,
    // document
    Ansi, Mac, Pc, Pca, AnsiCpg, Deff, DefTab, Uc, U,
    // destinations with a meaning of their own
    FontTable, ColorTable, Pict, ShpPict, Shp, ShpInst, ShpRslt, ShpTxt, Sp, Sn, Sv,
    Object, Result, Field, FldRslt, Footnote, ListText, PnText,
    SkipDestination, // stylesheet, info, headers and footers, field instructions ...
    // font and colour tables
    FCharset, Cpg, FRoman, FSwiss, FModern, FScript, FDecor, FTech, FBidi, FNil,
    Red, Green, Blue,
    // character formatting
    Plain, Bold, Italic, Underline, UnderlineNone, Strike, Hidden, Deleted,
    Super, Sub, NoSuperSub, Up, Dn, FontSize, Font, ColorFore, ColorBack, Highlight,
    // paragraph formatting
    Pard, Ql, Qc, Qr, Qj, Li, Ri, Fi, Sb, Sa, Sl, SlMult, InTable, Tx, TabBar,
    // breaks and special characters
    Par, Sect, Page, Line, Tab, Cell, Row, NestCell, NestRow, TRowD, CellX, CellBorder,
    Bullet, EmDash, EnDash, LQuote, RQuote, LDblQuote, RDblQuote,
    EmSpace, EnSpace, QmSpace, Zwj, Zwnj, LtrMark, RtlMark, ChFtn,
    // pictures
    Bin, PngBlip, JpegBlip, OtherBlip, PicWGoal, PicHGoal, PicScaleX, PicScaleY, PicW, PicH,
};

Kw lookupKeyword(std::string_view word);

// Whether the word names a destination this reader knows: after \* such a
// word is handled as usual, any other makes its group skipped.
bool isKnownDestination(Kw kw);

} // namespace rtf::detail
