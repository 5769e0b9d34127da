// Numbers as a list level or a note mark shows them: the number formats of
// Word's numbering part (w:numFmt) and of footnote and endnote marks.
#ifndef OFX_NUMFMT_H
#define OFX_NUMFMT_H

#include <string>
#include <string_view>

// The text of n in the format named as in w:numFmt w:val ("decimal",
// "upperRoman", "aiueoFullWidth", "japaneseCounting", ...).  "custom" takes
// its pattern from custom ("001, 002, 003, ..." pads with zeros); "none"
// gives nothing; a format without a rendering here, and a number a format
// cannot show (0 in roman, 21 in circled digits), gives decimal digits.
std::string ofx_format_number(std::string_view format, long n, std::string_view custom = {});

// The bullets and symbols Word stores in a symbol font's private-use range
// (U+F0B7 for Symbol's bullet, U+F0A7 for Wingdings' square, ...) as the
// Unicode characters they draw; other text unchanged.
std::string ofx_symbol_text(const std::string& utf8);

#endif
