// The number-format engine's own parts (number_format.h is what the rest of
// the library sees): the compiled form of a code, and the pieces its
// tokenizer, compiler and renderers share.
//
//   number_format_tokenize.cpp  a section's text into tokens
//   number_format_compile.cpp   sections, their facts, the compiled format
//   number_format_render.cpp    choosing the section, the sign, DBNum
//   number_format_numbers.cpp   digits: rounding, General, placeholders,
//                               scientific form, fractions
//   number_format_dates.cpp     the calendar, eras, date and time parts
//   number_format_cache.cpp     built-in codes and a book's compiled formats
#ifndef TBX_NUMBER_FORMAT_IMPL_H
#define TBX_NUMBER_FORMAT_IMPL_H

#include <charconv>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "cell_format.h"
#include "number_format.h"

namespace nf {

enum tok_kind : uint8_t {
    T_LIT,        // literal text (lits[off, off + len))
    T_DIGIT,      // digit placeholder: ch is '0', '#' or '?'
    T_POINT,      // decimal point
    T_EXP,        // E+ / E- (ch is '+' or '-', width: placeholders after it)
    T_SLASH,      // the slash of a fraction
    T_TEXT,       // @
    T_GENERAL,    // General
    T_YEAR,       // width 2 or 4
    T_MONTH,      // width 1, 2 (number), 3 (Jan), 4 (January), 5 (J)
    T_DAY,        // width 1, 2 (number), 3 (Sun), 4 (Sunday)
    T_WEEKDAY_JP, // width 3 (日), 4 (日曜日)
    T_HOUR,       // width 1 or 2
    T_MINUTE,     // width 1 or 2
    T_SECOND,     // width 1 or 2
    T_SUBSEC,     // width: digits of a second's fraction
    T_AMPM,       // ch: 'A' AM/PM, 'a' am/pm, 'P' A/P, 'p' a/p, 'J' 午前/午後
    T_ELAPSED_H,  // width: digits at least
    T_ELAPSED_M,
    T_ELAPSED_S,
    T_ERA,        // width 1 (M), 2 (明), 3 (明治)
    T_ERA_YEAR,   // width 1 or 2
    T_COMMA,      // a comma, resolved when the section is complete
};

struct token {
    uint8_t kind;
    uint8_t width;
    char ch;
    uint16_t off;
    uint16_t len;
};

enum cond_op : uint8_t { C_NONE, C_LT, C_LE, C_GT, C_GE, C_EQ, C_NE };

struct section {
    std::vector<token> tok;
    std::string lits;
    cond_op op = C_NONE;
    double cond = 0;
    bool date = false;       // shows date or time parts
    bool has_date = false;   // year, month, day, era, weekday
    bool has_time = false;   // hour, minute, second, AM/PM
    bool ampm = false;
    bool text = false;       // holds @
    bool general = false;    // holds General
    bool digits = false;     // holds digit placeholders
    bool thousands = false;
    bool fraction = false;
    bool exponent = false;
    bool gannen = false;     // first year of an era as 元
    int system = 0;          // [$-F800] 1: the system's long date, [$-F400] 2: its time
    bool japanese = false;   // [$-411], [$-ja-JP]: Japanese names of months, days, AM/PM
    int dbnum = 0;           // 1-3
    int scale = 0;           // powers of ten: +2 per %, -3 per scaling comma
    int int_digits = 0;      // placeholders before the point (or the exponent)
    int frac_digits = 0;     // placeholders after the point
    int subsec = 0;          // digits of a second's fraction
    int den_fixed = 0;       // a fraction's fixed denominator, or 0
    int den_digits = 0;      // placeholders of the denominator
    bool int_part = false;   // a fraction with a whole-number part
    bool elapsed = false;
};

// The bytes of the UTF-8 character at p (never past a terminator).
inline size_t utf8_len(const char* p) {
    unsigned char c = static_cast<unsigned char>(*p);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    for (size_t i = 1; i < n; ++i) {
        if (!p[i]) return i;
    }
    return n;
}

// ------------------------------------------------------------ Tokenizer

// Splits one section's text into tokens.
void tokenize(section& s, const char* p, const char* end);

// Appends literal text to a section (a backslash shows as the yen sign).
void add_lit(section& s, const char* text, size_t len);

// ------------------------------------------------------------ Rendering

// The places [from, to) of a rendering's literal texts, as offsets from its
// beginning.
using spans = std::vector<std::pair<size_t, size_t>>;

// The output of a rendering: at most end - begin bytes.
struct writer {
    char* p;
    char* end;  // the terminator's place
    char* begin;
    spans* literals = nullptr;  // when set: where literal texts were written
    void put(char c) {
        if (p < end) *p++ = c;
    }
    void put(const char* s, size_t n) {
        size_t room = static_cast<size_t>(end - p);
        if (n > room) n = room;
        std::memcpy(p, s, n);
        p += n;
    }
    void put(const char* s) { put(s, std::strlen(s)); }
    // A literal text of the code (noted when literals are tracked).
    void lit(const char* s, size_t n) {
        size_t at = static_cast<size_t>(p - begin);
        put(s, n);
        if (literals) literals->emplace_back(at, static_cast<size_t>(p - begin));
    }
    void num(long long v, int width) {
        char buf[24];
        auto r = std::to_chars(buf, buf + sizeof buf, v < 0 ? -v : v);
        int n = static_cast<int>(r.ptr - buf);
        if (v < 0) put('-');
        for (int i = n; i < width; ++i) put('0');
        put(buf, static_cast<size_t>(n));
    }
};

// A number as at most fifteen significant decimal digits: value =
// 0.d[0]d[1]... x 10^point.  n == 0 means zero.
struct decimal {
    char d[24];
    int n = 0;
    int point = 0;
    bool negative = false;
};

// The fifteen significant digits of |x|.
void to_decimal(double x, decimal& out);

// Rounds to `decimals` digits after the point, half away from zero.
void round_decimal(decimal& v, int decimals);

inline char digit_at(const decimal& v, int i) { return i >= 0 && i < v.n ? v.d[i] : '0'; }

// Excel's General form of x (at most 11 characters).
size_t general_into(double x, char* out, size_t cap);

// The row of # that Excel shows for what does not fit.
inline void hashes(writer& w) { w.put("########"); }

// A date or time section (number_format_dates.cpp).
void render_date(const section& s, double value, bool date1904, writer& w);

// A number section given x >= 0, the sign being the caller's
// (number_format_numbers.cpp).
void render_number(const section& s, double x, writer& w);

// Literals, text placeholders and General inside a number section.
void put_other(const section& s, const token& k, double value, writer& w);

}  // namespace nf

struct nf_format {
    std::vector<nf::section> sec;
    int text_section = -1;  // index, or -1
    int numeric = 0;        // sections that take numbers
    bool plain_general = false;
    int value_type = TBX_GENERAL_NUMBER;
};

#endif
