// The text of a parsed formula (see biff_formula.h).
#include "biff_formula.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>

#include "biff_records.h"
#include "biff_text.h"
#include "byte_cursor.h"

namespace xls {

namespace {

// Precedence of what a piece of text is, higher binding tighter.  An
// operand, a function call or a parenthesised expression never needs
// parentheses of its own.
enum precedence : int {
    P_COMPARE = 10,
    P_CONCAT = 20,
    P_ADD = 30,
    P_MULTIPLY = 40,
    P_POWER = 50,
    P_PERCENT = 60,
    P_UNARY = 70,
    P_UNION = 80,
    P_INTERSECT = 85,
    P_RANGE = 90,
    P_OPERAND = 100,
};

struct piece {
    std::string text;
    int prec = P_OPERAND;
};

// Token numbers (the base token, its class bits cleared).
enum : unsigned {
    T_EXP = 0x01, T_TBL = 0x02, T_ADD = 0x03, T_SUB = 0x04, T_MUL = 0x05, T_DIV = 0x06,
    T_POWER = 0x07, T_CONCAT = 0x08, T_LT = 0x09, T_LE = 0x0A, T_EQ = 0x0B, T_GE = 0x0C,
    T_GT = 0x0D, T_NE = 0x0E, T_ISECT = 0x0F, T_UNION = 0x10, T_RANGE = 0x11, T_UPLUS = 0x12,
    T_UMINUS = 0x13, T_PERCENT = 0x14, T_PAREN = 0x15, T_MISSARG = 0x16, T_STR = 0x17,
    T_EXTENDED = 0x18, T_ATTR = 0x19, T_ERR = 0x1C, T_BOOL = 0x1D, T_INT = 0x1E, T_NUM = 0x1F,
    T_ARRAY = 0x20, T_FUNC = 0x21, T_FUNCVAR = 0x22, T_NAME = 0x23, T_REF = 0x24, T_AREA = 0x25,
    T_MEMAREA = 0x26, T_MEMERR = 0x27, T_MEMNOMEM = 0x28, T_MEMFUNC = 0x29, T_REFERR = 0x2A,
    T_AREAERR = 0x2B, T_REFN = 0x2C, T_AREAN = 0x2D, T_NAMEX = 0x39, T_REF3D = 0x3A,
    T_AREA3D = 0x3B, T_REFERR3D = 0x3C, T_AREAERR3D = 0x3D,
};

// Attribute bits of T_ATTR.
enum : unsigned {
    ATTR_SEMI = 0x01, ATTR_IF = 0x02, ATTR_CHOOSE = 0x04, ATTR_GOTO = 0x08, ATTR_SUM = 0x10,
    ATTR_BAXCEL = 0x20, ATTR_SPACE = 0x40,
};

constexpr unsigned kUserFunction = 255;  // the function named by its first argument

std::string column_letters(int column) {
    std::string s;
    int c = column + 1;
    while (c > 0) {
        int r = (c - 1) % 26;
        s.insert(s.begin(), static_cast<char>('A' + r));
        c = (c - 1) / 26;
    }
    return s;
}

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }

// True when a name reads as a cell reference in A1 or R1C1 style (it would
// then be taken for one unquoted).
bool looks_like_reference(const std::string& s) {
    size_t i = 0, letters = 0;
    while (i < s.size() && is_ascii_letter(s[i])) ++i, ++letters;
    size_t digits = 0;
    while (i < s.size() && is_digit(s[i])) ++i, ++digits;
    if (i == s.size() && letters >= 1 && letters <= 3 && digits >= 1) return true;
    // R1C1: "R", "C", "R1", "C1", "R1C1", "RC", ...
    i = 0;
    auto part = [&](char p) {
        if (i < s.size() && (s[i] == p || s[i] == p + 32)) {
            ++i;
            while (i < s.size() && is_digit(s[i])) ++i;
            return true;
        }
        return false;
    };
    bool r = part('R');
    bool c = part('C');
    return (r || c) && i == s.size();
}

// Code points of a UTF-8 text (invalid bytes as themselves).
std::u32string code_points(const std::string& s) {
    std::u32string out;
    for (size_t i = 0; i < s.size();) {
        unsigned char b = static_cast<unsigned char>(s[i]);
        int n = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 1;
        if (i + n > s.size()) n = 1;
        char32_t cp = n == 1 ? b : b & (0x7F >> n);
        for (int k = 1; k < n; ++k) cp = (cp << 6) | (static_cast<unsigned char>(s[i + k]) & 0x3F);
        out.push_back(cp);
        i += n;
    }
    return out;
}

// A character a sheet name may hold without quotes: letters and digits of
// any script, "_" and "."; blanks, punctuation and symbols need quotes.
bool plain_character(char32_t c) {
    if (c < 0x80) return is_ascii_letter(static_cast<char>(c)) || is_digit(static_cast<char>(c)) || c == '_' || c == '.';
    if (c == 0xA0 || (c >= 0x2000 && c <= 0x206F) || (c >= 0x3000 && c <= 0x303F) || (c >= 0xFF01 && c <= 0xFF0F) ||
        (c >= 0xFF1A && c <= 0xFF20) || (c >= 0xFF3B && c <= 0xFF40) || (c >= 0xFF5B && c <= 0xFF65))
        return false;  // general punctuation, CJK symbols, full-width ASCII punctuation
    return true;
}

std::string error_name(unsigned code) { return error_text(code); }

// A function that a legacy workbook calls by name: those new in Excel 2007
// are named with the prefix "_xlfn." there, but are built in from then on
// and written (and shown) without it; later ones keep it, as the Open XML
// formats store them.
std::string native_function(const std::string& name) {
    static const char* const k2007[] = {
        "IFERROR",    "SUMIFS",          "COUNTIFS",           "AVERAGEIF",         "AVERAGEIFS", "CUBEKPIMEMBER",
        "CUBEMEMBER", "CUBEMEMBERPROPERTY", "CUBERANKEDMEMBER", "CUBESET",           "CUBESETCOUNT", "CUBEVALUE",
    };
    const std::string prefix = "_xlfn.";
    if (name.compare(0, prefix.size(), prefix) != 0) return name;
    std::string rest = name.substr(prefix.size());
    for (const char* f : k2007) {
        if (rest.size() == std::strlen(f)) {
            bool same = true;
            for (size_t i = 0; i < rest.size() && same; ++i) same = std::toupper(static_cast<unsigned char>(rest[i])) == f[i];
            if (same) return rest;
        }
    }
    return name;
}

class decoder {
public:
    decoder(const formula_links& links, const formula_place& at, size_t limit, bool biff5, int codepage)
        : links_(links), at_(at), limit_(limit), biff5_(biff5), codepage_(codepage) {}

    int run(const unsigned char* rgce, size_t cce, const unsigned char* extra, size_t extra_size,
            std::string& out, std::string* problem);

private:
    int fail(const char* what) {
        if (problem_) *problem_ = what;
        return FORMULA_UNREADABLE;
    }
    bool too_long(const std::string& s) const { return s.size() > limit_; }
    bool pop(piece& p) {
        if (stack_.empty()) return false;
        p = std::move(stack_.back());
        stack_.pop_back();
        return true;
    }
    // Takes the spaces typed before the next token.
    std::string take_before() {
        std::string s;
        s.swap(before_);
        return s;
    }
    int push(std::string text, int prec) {
        if (too_long(text)) return FORMULA_TOO_LONG;
        stack_.push_back({std::move(text), prec});
        return FORMULA_OK;
    }

    int binary(const char* op, int prec);
    int function(const char* name, size_t args);
    int reference(byte_cursor& c, unsigned base);
    int reference3d(byte_cursor& c, unsigned base);
    int name(byte_cursor& c, unsigned base);
    int string_token(byte_cursor& c, std::string& out);
    int array(byte_cursor& extra);

    std::string cell(unsigned row, unsigned col_field, bool relative_offsets);
    std::string area(unsigned r1, unsigned r2, unsigned c1, unsigned c2, bool relative_offsets);
    // The prefix "Sheet1!" of a 3D reference; empty and false when the
    // reference names no sheet that exists.
    bool sheet_prefix(int xti, int first, int last, std::string& out);
    std::string sheet_range(const std::vector<std::string>& sheets, int first, int last, const char* book);

    const formula_links& links_;
    formula_place at_;
    size_t limit_;
    bool biff5_;
    int codepage_;
    std::string* problem_ = nullptr;
    std::vector<piece> stack_;
    std::string before_, before_open_, before_close_;
};

int decoder::binary(const char* op, int prec) {
    piece right, left;
    if (!pop(right) || !pop(left)) return fail("an operator without its operands");
    if (left.prec < prec) left.text = "(" + left.text + ")";
    if (right.prec <= prec) right.text = "(" + right.text + ")";
    return push(left.text + take_before() + op + right.text, prec);
}

int decoder::function(const char* name, size_t args) {
    if (stack_.size() < args) return fail("a function without its arguments");
    std::string text = take_before();
    text += name;
    text += '(';
    for (size_t i = stack_.size() - args; i < stack_.size(); ++i) {
        if (i > stack_.size() - args) text += ',';
        piece& a = stack_[i];
        // A union inside an argument list would read as two arguments.
        if (a.prec == P_UNION) text += "(" + a.text + ")";
        else text += a.text;
        if (too_long(text)) return FORMULA_TOO_LONG;
    }
    stack_.resize(stack_.size() - args);
    text += before_close_;
    before_close_.clear();
    text += ')';
    return push(std::move(text), P_OPERAND);
}

std::string decoder::cell(unsigned row, unsigned col_field, bool relative_offsets) {
    // BIFF8: the column field holds the column in its low bits and the
    // relative flags in bits 14 and 15; 5.0/95 keeps the flags in the row
    // field and the column in a byte of its own.
    bool row_rel, col_rel;
    unsigned col;
    if (biff5_) {
        row_rel = (row & 0x8000) != 0;
        col_rel = (row & 0x4000) != 0;
        row &= 0x3FFF;
        col = col_field & 0xFF;
    } else {
        row_rel = (col_field & 0x8000) != 0;
        col_rel = (col_field & 0x4000) != 0;
        col = col_field & 0x3FFF;
    }
    if (relative_offsets) {
        // Offsets from the formula's cell, wrapping around the sheet.
        if (row_rel) row = biff5_ ? (at_.row + row) & 0x3FFF : (at_.row + row) & 0xFFFF;
        if (col_rel) col = (at_.column + col) & 0xFF;
    }
    return a1_reference(static_cast<int>(row), static_cast<int>(col), !row_rel, !col_rel);
}

std::string decoder::area(unsigned r1, unsigned r2, unsigned c1, unsigned c2, bool relative_offsets) {
    std::string first = cell(r1, c1, relative_offsets), last = cell(r2, c2, relative_offsets);
    // Whole columns and whole rows: "A:B" and "1:3".
    const unsigned last_row = biff5_ ? 0x3FFF : 0xFFFF;
    unsigned row1 = biff5_ ? r1 & 0x3FFF : r1, row2 = biff5_ ? r2 & 0x3FFF : r2;
    unsigned col1 = (biff5_ ? c1 : c1 & 0x3FFF) & 0xFF, col2 = (biff5_ ? c2 : c2 & 0x3FFF) & 0xFF;
    bool rows_whole = !relative_offsets && row1 == 0 && row2 == last_row;
    bool cols_whole = !relative_offsets && col1 == 0 && col2 == 0xFF;
    auto strip = [](const std::string& ref, bool keep_letters) {
        // ref is "$A$1", "A1", ...: split at the first digit or "$" after
        // the letters.
        size_t i = ref[0] == '$' ? 1 : 0;
        while (i < ref.size() && is_ascii_letter(ref[i])) ++i;
        return keep_letters ? ref.substr(0, i) : ref.substr(i);
    };
    if (rows_whole) return strip(first, true) + ":" + strip(last, true);
    if (cols_whole) return strip(first, false) + ":" + strip(last, false);
    return first + ":" + last;
}

std::string decoder::sheet_range(const std::vector<std::string>& sheets, int first, int last, const char* book) {
    // "Sheet1!", "Sheet1:Sheet3!", "[1]Sheet1!"; quoted as a whole when a
    // part needs quotes ("'Sheet 1:Sheet3'!").
    std::string a = sheets[static_cast<size_t>(first)], b;
    if (last != first && last >= 0 && static_cast<size_t>(last) < sheets.size()) b = sheets[static_cast<size_t>(last)];
    bool quote = quoted_sheet(a) != a || (!b.empty() && quoted_sheet(b) != b);
    std::string name = book + a + (b.empty() ? "" : ":" + b);
    if (!quote) return name + "!";
    std::string q = "'";
    for (char ch : name) {
        q += ch;
        if (ch == '\'') q += '\'';
    }
    return q + "'!";
}

bool decoder::sheet_prefix(int xti, int first, int last, std::string& out) {
    const std::vector<std::string>* sheets = &links_.sheets;
    std::string book;
    if (!biff5_) {
        if (xti < 0 || static_cast<size_t>(xti) >= links_.xtis.size()) return false;
        const formula_links::xti& x = links_.xtis[static_cast<size_t>(xti)];
        first = x.first;
        last = x.last;
        if (x.book < 0 || static_cast<size_t>(x.book) >= links_.books.size()) return false;
        const formula_links::book& b = links_.books[static_cast<size_t>(x.book)];
        if (b.kind == formula_links::BOOK_EXTERNAL) {
            book = "[" + std::to_string(b.number) + "]";
            sheets = &b.sheets;
        } else if (b.kind != formula_links::BOOK_SELF) {
            return false;
        }
    }
    if (first < 0 || static_cast<size_t>(first) >= sheets->size()) return false;
    out = sheet_range(*sheets, first, last, book.c_str());
    return true;
}

int decoder::reference(byte_cursor& c, unsigned base) {
    const bool rel = base == T_REFN || base == T_AREAN;
    uint16_t r1 = 0, r2 = 0, c1 = 0, c2 = 0;
    uint8_t b1 = 0, b2 = 0;
    const bool is_area = base == T_AREA || base == T_AREAN || base == T_AREAERR;
    bool ok;
    if (biff5_) {
        ok = is_area ? c.u16(r1) && c.u16(r2) && c.u8(b1) && c.u8(b2) : c.u16(r1) && c.u8(b1);
        c1 = b1;
        c2 = b2;
    } else {
        ok = is_area ? c.u16(r1) && c.u16(r2) && c.u16(c1) && c.u16(c2) : c.u16(r1) && c.u16(c1);
    }
    if (!ok) return fail("a reference cut short");
    std::string text = take_before();
    if (base == T_REFERR || base == T_AREAERR) text += "#REF!";
    else if (is_area) text += area(r1, r2, c1, c2, rel);
    else text += cell(r1, c1, rel);
    return push(std::move(text), P_OPERAND);
}

int decoder::reference3d(byte_cursor& c, unsigned base) {
    const bool is_area = base == T_AREA3D || base == T_AREAERR3D;
    const bool is_err = base == T_REFERR3D || base == T_AREAERR3D;
    int xti = -1;
    int16_t first = -1, last = -1;
    uint16_t r1 = 0, r2 = 0, c1 = 0, c2 = 0;
    uint8_t b1 = 0, b2 = 0;
    bool ok;
    if (biff5_) {
        int16_t ixals = 0;
        ok = c.u16(reinterpret_cast<uint16_t&>(ixals)) && c.skip(8) && c.u16(reinterpret_cast<uint16_t&>(first)) &&
             c.u16(reinterpret_cast<uint16_t&>(last));
        ok = ok && (is_area ? c.u16(r1) && c.u16(r2) && c.u8(b1) && c.u8(b2) : c.u16(r1) && c.u8(b1));
        c1 = b1;
        c2 = b2;
    } else {
        uint16_t ixti = 0;
        ok = c.u16(ixti) && (is_area ? c.u16(r1) && c.u16(r2) && c.u16(c1) && c.u16(c2) : c.u16(r1) && c.u16(c1));
        xti = ixti;
    }
    if (!ok) return fail("a 3D reference cut short");
    std::string prefix;
    std::string text = take_before();
    if (!sheet_prefix(xti, first, last, prefix)) {
        text += "#REF!";
        if (!is_err) text += is_area ? area(r1, r2, c1, c2, false) : cell(r1, c1, false);
        return push(std::move(text), P_OPERAND);
    }
    text += prefix;
    if (is_err) text += "#REF!";
    else text += is_area ? area(r1, r2, c1, c2, false) : cell(r1, c1, false);
    return push(std::move(text), P_OPERAND);
}

int decoder::name(byte_cursor& c, unsigned base) {
    uint16_t ixti = 0;
    uint32_t index = 0;
    bool ok;
    if (base == T_NAME) {
        if (biff5_) {
            uint16_t i16 = 0;
            ok = c.u16(i16) && c.skip(12);
            index = i16;
        } else {
            ok = c.u32(index);
        }
    } else if (biff5_) {
        uint16_t i16 = 0;
        ok = c.u16(ixti) && c.skip(8) && c.u16(i16) && c.skip(12);
        index = i16;
        ixti = 0xFFFF;  // names of other workbooks are not kept for 5.0/95
    } else {
        ok = c.u16(ixti) && c.u32(index);
    }
    if (!ok) return fail("a name cut short");
    std::string text = take_before();
    const formula_links::book* book = nullptr;
    if (base == T_NAMEX) {
        if (ixti < links_.xtis.size()) {
            int b = links_.xtis[ixti].book;
            if (b >= 0 && static_cast<size_t>(b) < links_.books.size()) book = &links_.books[static_cast<size_t>(b)];
        }
        if (!book) return push(text + "#REF!", P_OPERAND);
    }
    if (!book || book->kind == formula_links::BOOK_SELF) {
        if (index < 1 || index > links_.names.size()) return push(text + "#NAME?", P_OPERAND);
        const formula_links::name& n = links_.names[index - 1];
        if (n.sheet >= 0 && n.sheet != at_.sheet && static_cast<size_t>(n.sheet) < links_.sheets.size())
            text += quoted_sheet(links_.sheets[static_cast<size_t>(n.sheet)]) + "!";
        text += n.text;
        return push(std::move(text), P_OPERAND);
    }
    if (index < 1 || index > book->names.size()) return push(text + "#NAME?", P_OPERAND);
    if (book->kind == formula_links::BOOK_EXTERNAL) text += "[" + std::to_string(book->number) + "]!";
    text += book->names[index - 1];
    return push(std::move(text), P_OPERAND);
}

// A string token: 8-bit (5.0/95, in the code page) or with an option byte
// saying whether its characters are 8-bit or UTF-16LE.
int decoder::string_token(byte_cursor& c, std::string& out) {
    uint8_t count = 0, option = 0;
    if (!c.u8(count)) return fail("a string cut short");
    const unsigned char* p = nullptr;
    bool ok;
    if (biff5_) {
        ok = c.bytes(p, count) && codepage_to_utf8(codepage_, p, count, out);
    } else {
        bool wide = c.u8(option) && (option & 0x01);
        if (wide) ok = c.bytes(p, 2u * count) && utf16le_to_utf8(p, count, out);
        else ok = c.bytes(p, count) && latin1_to_utf8(p, count, out);
    }
    return ok ? FORMULA_OK : fail("a string cut short");
}

std::string quoted_text(const std::string& s) {
    std::string q = "\"";
    for (char ch : s) {
        q += ch;
        if (ch == '"') q += '"';
    }
    return q + "\"";
}

int decoder::array(byte_cursor& extra) {
    uint8_t cols8 = 0;
    uint16_t rows16 = 0;
    if (!extra.u8(cols8) || !extra.u16(rows16)) return fail("an array without its values");
    size_t cols = static_cast<size_t>(cols8) + 1, rows = static_cast<size_t>(rows16) + 1;
    if (cols8 == 0 && !biff5_) cols = 256;  // a byte of 0 stands for all 256 columns
    std::string text = take_before() + "{";
    for (size_t r = 0; r < rows; ++r) {
        if (r) text += ';';
        for (size_t k = 0; k < cols; ++k) {
            if (k) text += ',';
            uint8_t type = 0;
            if (!extra.u8(type)) return fail("an array cut short");
            switch (type) {
            case 0x00:
                if (!extra.skip(8)) return fail("an array cut short");
                break;
            case 0x01: {
                double v = 0;
                if (!extra.f64(v)) return fail("an array cut short");
                text += formula_number(v);
                break;
            }
            case 0x02: {
                std::string s;
                if (biff5_) {
                    uint8_t n = 0;
                    const unsigned char* p = nullptr;
                    if (!extra.u8(n) || !extra.bytes(p, n) || !codepage_to_utf8(codepage_, p, n, s))
                        return fail("an array cut short");
                } else {
                    uint16_t n = 0;
                    uint8_t option = 0;
                    const unsigned char* p = nullptr;
                    if (!extra.u16(n) || !extra.u8(option)) return fail("an array cut short");
                    bool ok = (option & 1) ? extra.bytes(p, 2u * n) && utf16le_to_utf8(p, n, s)
                                           : extra.bytes(p, n) && latin1_to_utf8(p, n, s);
                    if (!ok) return fail("an array cut short");
                }
                text += quoted_text(s);
                break;
            }
            case 0x04: {
                uint8_t b = 0;
                if (!extra.u8(b) || !extra.skip(7)) return fail("an array cut short");
                text += boolean_text(b);
                break;
            }
            case 0x10: {
                uint8_t e = 0;
                if (!extra.u8(e) || !extra.skip(7)) return fail("an array cut short");
                text += error_name(e);
                break;
            }
            default: return fail("an array value of an unknown kind");
            }
            if (too_long(text)) return FORMULA_TOO_LONG;
        }
    }
    text += '}';
    return push(std::move(text), P_OPERAND);
}

int decoder::run(const unsigned char* rgce, size_t cce, const unsigned char* extra_data, size_t extra_size,
                 std::string& out, std::string* problem) {
    problem_ = problem;
    byte_cursor c(rgce, cce);
    byte_cursor extra(extra_data, extra_size);
    while (!c.at_end()) {
        uint8_t ptg = 0;
        c.u8(ptg);
        const unsigned base = ptg >= 0x20 ? (ptg & 0x1Fu) | 0x20u : ptg;
        int rc = FORMULA_OK;
        switch (base) {
        case T_EXP:
        case T_TBL:
            // Shared, array and table formulas are resolved before this.
            return fail("a formula that points to another");
        case T_ADD: rc = binary("+", P_ADD); break;
        case T_SUB: rc = binary("-", P_ADD); break;
        case T_MUL: rc = binary("*", P_MULTIPLY); break;
        case T_DIV: rc = binary("/", P_MULTIPLY); break;
        case T_POWER: rc = binary("^", P_POWER); break;
        case T_CONCAT: rc = binary("&", P_CONCAT); break;
        case T_LT: rc = binary("<", P_COMPARE); break;
        case T_LE: rc = binary("<=", P_COMPARE); break;
        case T_EQ: rc = binary("=", P_COMPARE); break;
        case T_GE: rc = binary(">=", P_COMPARE); break;
        case T_GT: rc = binary(">", P_COMPARE); break;
        case T_NE: rc = binary("<>", P_COMPARE); break;
        case T_ISECT: rc = binary(" ", P_INTERSECT); break;
        case T_UNION: rc = binary(",", P_UNION); break;
        case T_RANGE: rc = binary(":", P_RANGE); break;
        case T_UPLUS:
        case T_UMINUS: {
            piece a;
            if (!pop(a)) return fail("a sign without its operand");
            if (a.prec < P_UNARY) a.text = "(" + a.text + ")";
            rc = push(take_before() + (base == T_UPLUS ? "+" : "-") + a.text, P_UNARY);
            break;
        }
        case T_PERCENT: {
            piece a;
            if (!pop(a)) return fail("a percent sign without its operand");
            if (a.prec < P_PERCENT) a.text = "(" + a.text + ")";
            rc = push(a.text + take_before() + "%", P_PERCENT);
            break;
        }
        case T_PAREN: {
            piece a;
            if (!pop(a)) return fail("parentheses without an expression");
            std::string text = take_before() + before_open_ + "(" + a.text + before_close_ + ")";
            before_open_.clear();
            before_close_.clear();
            rc = push(std::move(text), P_OPERAND);
            break;
        }
        case T_MISSARG: rc = push(take_before(), P_OPERAND); break;
        case T_STR: {
            std::string s;
            if ((rc = string_token(c, s)) != FORMULA_OK) return rc;
            rc = push(take_before() + quoted_text(s), P_OPERAND);
            break;
        }
        case T_EXTENDED:
            return fail("an extended token");
        case T_ATTR: {
            uint8_t bits = 0;
            uint16_t data = 0;
            if (!c.u8(bits) || !c.u16(data)) return fail("an attribute cut short");
            if (bits & ATTR_CHOOSE) {
                // The jump table of CHOOSE: one offset per choice and one more.
                if (!c.skip((static_cast<size_t>(data) + 1) * 2)) return fail("a CHOOSE table cut short");
            } else if (bits & ATTR_SUM) {
                rc = function("SUM", 1);
            } else if (bits & ATTR_SPACE) {
                // Blanks or line breaks typed before the next token, or
                // before the parentheses of the next one.
                const unsigned type = data & 0xFF, count = data >> 8;
                std::string typed(count, type & 1 ? '\n' : ' ');
                if (type == 0x02 || type == 0x03) before_open_ += typed;
                else if (type == 0x04 || type == 0x05) before_close_ += typed;
                else before_ += typed;
            }
            // Volatile marks and the jumps of IF and CHOOSE write nothing.
            break;
        }
        case T_ERR: {
            uint8_t e = 0;
            if (!c.u8(e)) return fail("an error cut short");
            rc = push(take_before() + error_name(e), P_OPERAND);
            break;
        }
        case T_BOOL: {
            uint8_t b = 0;
            if (!c.u8(b)) return fail("a boolean cut short");
            rc = push(take_before() + boolean_text(b), P_OPERAND);
            break;
        }
        case T_INT: {
            uint16_t v = 0;
            if (!c.u16(v)) return fail("an integer cut short");
            rc = push(take_before() + std::to_string(v), P_OPERAND);
            break;
        }
        case T_NUM: {
            double v = 0;
            if (!c.f64(v)) return fail("a number cut short");
            rc = push(take_before() + formula_number(v), P_OPERAND);
            break;
        }
        case T_ARRAY:
            if (!c.skip(7)) return fail("an array cut short");
            rc = array(extra);
            break;
        case T_FUNC:
        case T_FUNCVAR: {
            uint8_t argc = 0;
            uint16_t tab = 0;
            if (base == T_FUNCVAR && !c.u8(argc)) return fail("a function cut short");
            if (!c.u16(tab)) return fail("a function cut short");
            const bool command = (tab & 0x8000) != 0;
            const unsigned index = tab & 0x7FFF;
            int fixed = -1;
            const char* fname = command ? nullptr : builtin_function(index, &fixed);
            size_t args;
            if (base == T_FUNC) {
                if (!fname || fixed < 0) return fail("a function unknown by number");
                args = static_cast<size_t>(fixed);
            } else {
                args = argc & 0x7F;
            }
            if (base == T_FUNCVAR && index == kUserFunction && !command) {
                // The first argument names the function.
                if (args < 1 || stack_.size() < args) return fail("a function without its name");
                piece n = std::move(stack_[stack_.size() - args]);
                stack_.erase(stack_.end() - static_cast<std::ptrdiff_t>(args));
                std::string named = native_function(n.text);
                rc = function(named.c_str(), args - 1);
                break;
            }
            std::string unknown;
            if (!fname) {
                unknown = (command ? "_xlcmd" : "_xlfunc") + std::to_string(index);
                fname = unknown.c_str();
            }
            rc = function(fname, args);
            break;
        }
        case T_NAME:
        case T_NAMEX: rc = name(c, base); break;
        case T_REF:
        case T_AREA:
        case T_REFERR:
        case T_AREAERR:
        case T_REFN:
        case T_AREAN: rc = reference(c, base); break;
        case T_MEMAREA:
        case T_MEMERR:
        case T_MEMNOMEM: {
            // The tokens of the reference expression follow as usual; an area
            // cache of its own in the extra data belongs to T_MEMAREA.
            if (!c.skip(6)) return fail("a reference expression cut short");
            if (base == T_MEMAREA) {
                uint16_t count = 0;
                if (!extra.u16(count) || !extra.skip(static_cast<size_t>(count) * (biff5_ ? 6 : 8)))
                    return fail("an area cache cut short");
            }
            break;
        }
        case T_MEMFUNC:
            if (!c.skip(2)) return fail("a reference expression cut short");
            break;
        case T_REF3D:
        case T_AREA3D:
        case T_REFERR3D:
        case T_AREAERR3D: rc = reference3d(c, base); break;
        default: return fail("a token unknown by number");
        }
        if (rc != FORMULA_OK) return rc;
    }
    if (stack_.size() != 1) return fail(stack_.empty() ? "no expression" : "operands left over");
    out = std::move(stack_.back().text);
    if (!before_.empty()) out += before_;  // blanks typed at the end
    if (too_long(out)) return FORMULA_TOO_LONG;
    return FORMULA_OK;
}

}  // namespace

std::string a1_reference(int row, int column, bool row_absolute, bool column_absolute) {
    std::string s;
    if (column_absolute) s += '$';
    s += column_letters(column);
    if (row_absolute) s += '$';
    s += std::to_string(row + 1);
    return s;
}

std::string quoted_sheet(const std::string& name) {
    bool plain = !name.empty() && !is_digit(name[0]) && name[0] != '.' && !looks_like_reference(name) &&
                 name != "TRUE" && name != "FALSE";
    if (plain) {
        for (char32_t ch : code_points(name)) {
            if (!plain_character(ch)) {
                plain = false;
                break;
            }
        }
    }
    if (plain) return name;
    std::string q = "'";
    for (char ch : name) {
        q += ch;
        if (ch == '\'') q += '\'';
    }
    return q + "'";
}

std::string formula_number(double v) {
    if (v == 0) return "0";
    char buf[64];
    const double a = std::fabs(v);
    if (a >= 1e-9 && a < 1e15) {
        // Fifteen significant digits in plain decimals.
        int exponent = static_cast<int>(std::floor(std::log10(a)));
        int decimals = 14 - exponent;
        if (decimals < 0) decimals = 0;
        std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
        std::string s = buf;
        if (s.find('.') != std::string::npos) {
            while (s.back() == '0') s.pop_back();
            if (s.back() == '.') s.pop_back();
        }
        return s;
    }
    std::snprintf(buf, sizeof buf, "%.14E", v);
    std::string s = buf;
    size_t e = s.find('E');
    std::string mantissa = s.substr(0, e), exponent = s.substr(e + 1);
    if (mantissa.find('.') != std::string::npos) {
        while (mantissa.back() == '0') mantissa.pop_back();
        if (mantissa.back() == '.') mantissa.pop_back();
    }
    char sign = exponent[0];
    std::string digits = exponent.substr(1);
    while (digits.size() > 2 && digits[0] == '0') digits.erase(0, 1);
    return mantissa + "E" + sign + digits;
}

int formula_text(const unsigned char* rgce, size_t cce, const unsigned char* extra, size_t extra_size,
                 const formula_links& links, const formula_place& at, size_t limit, std::string& out,
                 std::string* problem, bool biff5, int codepage) {
    out.clear();
    try {
        decoder d(links, at, limit, biff5, codepage);
        return d.run(rgce, cce, extra, extra_size, out, problem);
    } catch (const std::bad_alloc&) {
        return FORMULA_NO_MEMORY;
    }
}

}  // namespace xls
