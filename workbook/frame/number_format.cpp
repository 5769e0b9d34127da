// The number-format engine (number_format.h).
//
// A code is split into at most four sections at the semicolons outside
// quotes and brackets.  Each section becomes a list of tokens and a few
// facts found while compiling (its condition, whether it shows a date, its
// digit placeholders before and after the point, thousands separators,
// scaling, percent signs, an exponent or a fraction).  Rendering picks the
// section by the value (or the condition), and writes the tokens.
//
// Numbers are first brought to the fifteen significant digits a workbook
// keeps; every later rounding works on those decimal digits, half away from
// zero, as Excel rounds what it displays (0.285 shows as 0.29 under 0.00).
#include "number_format.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "cell_format.h"
#include "orb_text.h"
#include "tbx_private.h"

namespace {

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

}  // namespace

struct nf_format {
    std::vector<section> sec;
    int text_section = -1;  // index, or -1
    int numeric = 0;        // sections that take numbers
    bool plain_general = false;
    int value_type = TBX_GENERAL_NUMBER;
};

void nf_format_deleter::operator()(nf_format* f) const { delete f; }

namespace {

bool ieq(const char* p, const char* word) {
    for (; *word; ++p, ++word) {
        char c = *p;
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
        if (c != *word) return false;
    }
    return true;
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t utf8_len(const char* p) {
    unsigned char c = static_cast<unsigned char>(*p);
    size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    for (size_t i = 1; i < n; ++i) {
        if (!p[i]) return i;
    }
    return n;
}

void add_lit_raw(section& s, const char* text, size_t len);

// A literal text.  A backslash shown as text is the yen sign of a Japanese
// code ("\"#,##0 is how Shift-JIS writes "¥"#,##0).
void add_lit(section& s, const char* text, size_t len) {
    const char* b = static_cast<const char*>(std::memchr(text, '\\', len));
    if (!b) {
        add_lit_raw(s, text, len);
        return;
    }
    add_lit_raw(s, text, static_cast<size_t>(b - text));
    add_lit_raw(s, "¥", 2);
    add_lit(s, b + 1, len - static_cast<size_t>(b - text) - 1);
}

void add_lit_raw(section& s, const char* text, size_t len) {
    if (!len) return;
    if (!s.tok.empty() && s.tok.back().kind == T_LIT &&
        s.tok.back().off + s.tok.back().len == s.lits.size() && s.lits.size() + len < 65000) {
        s.lits.append(text, len);
        s.tok.back().len = static_cast<uint16_t>(s.tok.back().len + len);
        return;
    }
    if (s.lits.size() + len >= 65000) return;
    token t{T_LIT, 0, 0, static_cast<uint16_t>(s.lits.size()), static_cast<uint16_t>(len)};
    s.lits.append(text, len);
    s.tok.push_back(t);
}

void add_tok(section& s, uint8_t kind, int width = 0, char ch = 0) {
    s.tok.push_back(token{kind, static_cast<uint8_t>(width > 255 ? 255 : width), ch, 0, 0});
}

// A bracketed part: [Red], [Color10], [$-411], [$¥-411], [DBNum1], [h],
// [>=100].  p points after '[', end at ']'.
void bracket(section& s, const char* p, const char* end) {
    std::string b(p, end);
    std::string low;
    for (char c : b) low.push_back(lower(c));
    if (!low.empty() && (low[0] == '<' || low[0] == '>' || low[0] == '=')) {
        const char* q = b.c_str();
        cond_op op = C_NONE;
        if (q[0] == '<' && q[1] == '=') op = C_LE, q += 2;
        else if (q[0] == '<' && q[1] == '>') op = C_NE, q += 2;
        else if (q[0] == '>' && q[1] == '=') op = C_GE, q += 2;
        else if (q[0] == '<') op = C_LT, q += 1;
        else if (q[0] == '>') op = C_GT, q += 1;
        else op = C_EQ, q += 1;
        while (*q == ' ') ++q;
        char* stop = nullptr;
        double v = std::strtod(q, &stop);
        if (stop != q) {
            s.op = op;
            s.cond = v;
        }
        return;
    }
    if (!low.empty() && low[0] == '$') {
        // [$text-locale]: the text is shown, the locale is noted.
        size_t dash = b.find('-', 1);
        std::string shown = b.substr(1, dash == std::string::npos ? std::string::npos : dash - 1);
        add_lit(s, shown.data(), shown.size());
        if (low.find("gannen") != std::string::npos) s.gannen = true;
        if (low == "$-f800") s.system = 1;
        if (low == "$-f400") s.system = 2;
        return;
    }
    if (low.size() >= 6 && low.compare(0, 5, "dbnum") == 0) {
        int n = low[5] - '0';
        if (n >= 1 && n <= 3) s.dbnum = n;
        return;
    }
    bool all_same = !low.empty();
    for (char c : low) all_same = all_same && c == low[0];
    if (all_same && (low[0] == 'h' || low[0] == 'm' || low[0] == 's')) {
        add_tok(s, low[0] == 'h' ? T_ELAPSED_H : low[0] == 'm' ? T_ELAPSED_M : T_ELAPSED_S,
                static_cast<int>(low.size()));
        s.elapsed = true;
        return;
    }
    // Colours and anything else: not shown.
}

// Splits one section's text into tokens.
void tokenize(section& s, const char* p, const char* end) {
    while (p < end) {
        char c = *p;
        char lc = lower(c);
        if (c == '"') {
            const char* q = p + 1;
            while (q < end && *q != '"') ++q;
            add_lit(s, p + 1, static_cast<size_t>(q - p - 1));
            p = q < end ? q + 1 : end;
        } else if (c == '\\') {
            if (p + 1 >= end) break;
            size_t n = utf8_len(p + 1);
            add_lit(s, p + 1, n);
            p += 1 + n;
        } else if (c == '_') {
            if (p + 1 >= end) break;
            add_lit(s, " ", 1);
            p += 1 + utf8_len(p + 1);
        } else if (c == '*') {
            // The fill character repeats to the column's width; a text has
            // no width, so nothing is shown.
            if (p + 1 >= end) break;
            p += 1 + utf8_len(p + 1);
        } else if (c == '[') {
            const char* q = p + 1;
            while (q < end && *q != ']') ++q;
            if (q >= end) {
                add_lit(s, p, static_cast<size_t>(end - p));
                break;
            }
            bracket(s, p + 1, q);
            p = q + 1;
        } else if (c == '@') {
            add_tok(s, T_TEXT);
            s.text = true;
            ++p;
        } else if (c == '0' || c == '#' || c == '?') {
            add_tok(s, T_DIGIT, 0, c);
            ++p;
        } else if (c == '.') {
            add_tok(s, T_POINT);
            ++p;
        } else if (c == ',') {
            add_tok(s, T_COMMA);
            ++p;
        } else if (c == '%') {
            add_lit(s, "%", 1);
            s.scale += 2;
            ++p;
        } else if ((c == 'E' || c == 'e') && p + 1 < end && (p[1] == '+' || p[1] == '-')) {
            add_tok(s, T_EXP, 0, p[1]);
            s.exponent = true;
            p += 2;
        } else if (c == '/') {
            add_tok(s, T_SLASH);
            ++p;
        } else if (end - p >= 7 && ieq(p, "general")) {
            add_tok(s, T_GENERAL);
            s.general = true;
            p += 7;
        } else if (end - p >= 5 && ieq(p, "am/pm")) {
            add_tok(s, T_AMPM, 0, c == 'a' ? 'a' : 'A');
            s.ampm = true;
            p += 5;
        } else if (end - p >= 3 && ieq(p, "a/p")) {
            add_tok(s, T_AMPM, 0, c == 'a' ? 'p' : 'P');
            s.ampm = true;
            p += 3;
        } else if (end - p >= 13 && std::memcmp(p, "午前/午後", 13) == 0) {
            add_tok(s, T_AMPM, 0, 'J');
            s.ampm = true;
            p += 13;
        } else if (lc == 'y' || lc == 'm' || lc == 'd' || lc == 'h' || lc == 's' || lc == 'g' ||
                   lc == 'e' || lc == 'a') {
            int n = 0;
            while (p + n < end && lower(p[n]) == lc) ++n;
            if (lc == 'a' && n < 3) {
                add_lit(s, p, static_cast<size_t>(n));  // a lone a is a letter
            } else if (lc == 'y') {
                add_tok(s, T_YEAR, n <= 2 ? 2 : 4);
            } else if (lc == 'm') {
                add_tok(s, T_MONTH, n > 5 ? 4 : n);  // mmmmmm+ is mmmm
            } else if (lc == 'd') {
                add_tok(s, T_DAY, n > 4 ? 4 : n);
            } else if (lc == 'a') {
                add_tok(s, T_WEEKDAY_JP, n > 4 ? 4 : n);
            } else if (lc == 'h') {
                add_tok(s, T_HOUR, n >= 2 ? 2 : 1);
            } else if (lc == 's') {
                add_tok(s, T_SECOND, n >= 2 ? 2 : 1);
            } else if (lc == 'g') {
                add_tok(s, T_ERA, n > 3 ? 3 : n);
            } else {
                add_tok(s, T_ERA_YEAR, n >= 2 ? 2 : 1);
            }
            p += n;
        } else {
            size_t n = utf8_len(p);
            add_lit(s, p, n);
            p += n;
        }
    }
}

bool is_date_token(uint8_t k) { return k >= T_YEAR && k <= T_ERA_YEAR; }

// Facts of a section, after its tokens are known.
void analyse(section& s) {
    std::vector<token>& t = s.tok;
    for (const token& k : t) {
        if (is_date_token(k.kind)) s.date = true;
    }
    if (s.date) {
        // m is a minute after an hour or before a second; the digits after
        // a second's point are its fraction; other placeholders are text.
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i].kind != T_MONTH || t[i].width > 2) continue;
            bool minute = false;
            for (size_t j = i; j-- > 0;) {
                if (t[j].kind == T_LIT) continue;
                minute = t[j].kind == T_HOUR || t[j].kind == T_ELAPSED_H;
                break;
            }
            for (size_t j = i + 1; !minute && j < t.size(); ++j) {
                if (t[j].kind == T_LIT) continue;
                minute = t[j].kind == T_SECOND || t[j].kind == T_ELAPSED_S;
                break;
            }
            if (minute) t[i].kind = T_MINUTE;
        }
        std::vector<token> out;
        for (size_t i = 0; i < t.size(); ++i) {
            if (t[i].kind == T_POINT && i + 1 < t.size() && t[i + 1].kind == T_DIGIT &&
                t[i + 1].ch == '0') {
                bool after_second = false;
                for (size_t j = out.size(); j-- > 0;) {
                    if (out[j].kind == T_LIT) continue;
                    after_second = out[j].kind == T_SECOND || out[j].kind == T_ELAPSED_S;
                    break;
                }
                if (after_second) {
                    int n = 0;
                    while (i + 1 < t.size() && t[i + 1].kind == T_DIGIT && t[i + 1].ch == '0' && n < 3) {
                        ++i;
                        ++n;
                    }
                    token k{T_SUBSEC, static_cast<uint8_t>(n), 0, 0, 0};
                    out.push_back(k);
                    if (n > s.subsec) s.subsec = n;
                    continue;
                }
            }
            token k = t[i];
            if (k.kind == T_DIGIT || k.kind == T_POINT || k.kind == T_COMMA || k.kind == T_SLASH ||
                k.kind == T_EXP) {
                static const char sym[] = {0, '0', '.', 0, '/'};
                char text[3] = {0, 0, 0};
                size_t n = 1;
                if (k.kind == T_DIGIT) text[0] = k.ch;
                else if (k.kind == T_POINT) text[0] = '.';
                else if (k.kind == T_COMMA) text[0] = ',';
                else if (k.kind == T_SLASH) text[0] = '/';
                else text[0] = 'E', text[1] = k.ch, n = 2;
                (void)sym;
                section tmp;
                tmp.lits.swap(s.lits);
                tmp.tok.swap(out);
                add_lit(tmp, text, n);
                tmp.lits.swap(s.lits);
                tmp.tok.swap(out);
                continue;
            }
            out.push_back(k);
        }
        t.swap(out);
        for (const token& k : t) {
            switch (k.kind) {
            case T_YEAR: case T_MONTH: case T_DAY: case T_WEEKDAY_JP: case T_ERA: case T_ERA_YEAR:
                s.has_date = true;
                break;
            case T_HOUR: case T_MINUTE: case T_SECOND: case T_SUBSEC: case T_AMPM:
            case T_ELAPSED_H: case T_ELAPSED_M: case T_ELAPSED_S:
                s.has_time = true;
                break;
            default: break;
            }
        }
        s.scale = 0;
        return;
    }
    // A number section.  Commas right after the last placeholder before the
    // point (or the end) scale by 1000 each; a comma between placeholders
    // groups thousands; any other comma is text.
    int last_int = -1, point = -1, first_digit = -1, last_digit = -1;
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind == T_POINT && point < 0) point = static_cast<int>(i);
        if (t[i].kind == T_EXP || t[i].kind == T_SLASH) break;
        if (t[i].kind == T_DIGIT) {
            if (first_digit < 0) first_digit = static_cast<int>(i);
            if (point < 0) last_int = static_cast<int>(i);
            last_digit = static_cast<int>(i);
        }
    }
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind != T_COMMA) continue;
        int ii = static_cast<int>(i);
        bool between = first_digit >= 0 && ii > first_digit && ii < last_int;
        // Scaling: commas right after the last placeholder of the integer
        // part (before the point) or of the whole number.
        bool trailing = false;
        for (int anchor : {last_int, last_digit}) {
            if (anchor < 0 || ii <= anchor) continue;
            bool only_commas = true;
            for (int j = anchor + 1; j < ii; ++j) {
                only_commas = only_commas && (t[j].kind == T_COMMA || t[j].kind == 0xFF);
            }
            trailing = trailing || only_commas;
        }
        if (between) {
            s.thousands = true;
            t[i].kind = 0xFF;  // dropped below
        } else if (trailing) {
            s.scale -= 3;
            t[i].kind = 0xFF;
        } else {
            t[i].kind = T_LIT;
            t[i].off = static_cast<uint16_t>(s.lits.size());
            t[i].len = 1;
            s.lits.push_back(',');
        }
    }
    std::vector<token> out;
    for (const token& k : t) {
        if (k.kind != 0xFF) out.push_back(k);
    }
    t.swap(out);
    // Fraction: digits, a slash, digits (or a fixed denominator).
    size_t slash = t.size();
    for (size_t i = 0; i < t.size(); ++i) {
        if (t[i].kind == T_SLASH) {
            slash = i;
            break;
        }
    }
    if (slash < t.size()) {
        bool before = false, after = false;
        for (size_t i = 0; i < slash; ++i) before = before || t[i].kind == T_DIGIT;
        // A fixed denominator: digits right after the slash that begin with
        // 1-9 (its zeros were read as placeholders: ?/100).
        size_t j = slash + 1;
        if (j < t.size() && t[j].kind == T_LIT) {
            const char* q = s.lits.data() + t[j].off;
            if (t[j].len > 0 && q[0] >= '1' && q[0] <= '9') {
                long long den = 0;
                int n = 0;
                while (n < t[j].len && q[n] >= '0' && q[n] <= '9' && den < 100000000) den = den * 10 + (q[n++] - '0');
                size_t k = j;
                if (n == t[j].len) {
                    while (k + 1 < t.size() && t[k + 1].kind == T_DIGIT && t[k + 1].ch == '0' && den < 100000000) {
                        den *= 10;
                        t[++k].kind = 0xFF;
                    }
                }
                s.den_fixed = static_cast<int>(den);
                after = true;
                // The digits are the denominator, not text.
                t[j].off = static_cast<uint16_t>(t[j].off + n);
                t[j].len = static_cast<uint16_t>(t[j].len - n);
                std::vector<token> kept;
                for (const token& x : t) {
                    if (x.kind != 0xFF) kept.push_back(x);
                }
                t.swap(kept);
            }
        }
        for (size_t i = slash + 1; i < t.size(); ++i) {
            if (t[i].kind == T_DIGIT) {
                after = true;
                ++s.den_digits;
            }
        }
        if (before && after) {
            s.fraction = true;
        } else {
            t[slash].kind = T_LIT;
            t[slash].off = static_cast<uint16_t>(s.lits.size());
            t[slash].len = 1;
            s.lits.push_back('/');
        }
    }
    if (s.fraction) {
        // The whole-number part: placeholders followed by a literal before
        // the numerator's placeholders.
        size_t i = 0;
        while (i < slash && t[i].kind != T_DIGIT) ++i;
        size_t k = i;
        while (k < slash && t[k].kind == T_DIGIT) ++k;
        bool gap = false;
        for (size_t m = k; m < slash; ++m) {
            if (t[m].kind == T_LIT) gap = true;
            if (gap && t[m].kind == T_DIGIT) {
                s.int_part = true;
                break;
            }
        }
        for (size_t m = 0; m < slash; ++m) {
            if (t[m].kind == T_DIGIT) s.digits = true;
        }
        return;
    }
    bool after_point = false, after_exp = false;
    for (const token& k : t) {
        if (k.kind == T_POINT) {
            if (!after_point && !after_exp) after_point = true;
        } else if (k.kind == T_EXP) {
            after_exp = true;
        } else if (k.kind == T_DIGIT) {
            s.digits = true;
            if (!after_exp) {
                if (after_point) ++s.frac_digits;
                else ++s.int_digits;
            }
        }
    }
}

// The tokens of a built-in General section.
bool is_plain_general(const section& s) {
    return s.general && s.tok.size() == 1 && s.op == C_NONE && s.dbnum == 0;
}

}  // namespace

nf_format_ptr nf_compile(const char* code) {
    nf_format_ptr f(new nf_format);
    if (!code) code = "";
    const char* p = code;
    const char* start = p;
    std::vector<std::pair<const char*, const char*>> parts;
    while (true) {
        char c = *p;
        if (c == '"') {
            ++p;
            while (*p && *p != '"') ++p;
            if (*p) ++p;
            continue;
        }
        if (c == '\\' || c == '_' || c == '*') {
            ++p;
            if (*p) p += utf8_len(p);
            continue;
        }
        if (c == '[') {
            while (*p && *p != ']') ++p;
            if (*p) ++p;
            continue;
        }
        if (c == ';' || c == '\0') {
            parts.emplace_back(start, p);
            if (c == '\0' || parts.size() == 4) break;
            start = ++p;
            continue;
        }
        p += utf8_len(p);
    }
    for (auto& part : parts) {
        section s;
        tokenize(s, part.first, part.second);
        if (s.system) {
            // The system's long date or time format, whatever the code
            // writes after it: in Japanese, 2024年1月5日 and 13:05:09.
            static const char long_date[] = "yyyy\"年\"m\"月\"d\"日\"";
            static const char time[] = "h:mm:ss";
            const char* code = s.system == 1 ? long_date : time;
            section sys;
            tokenize(sys, code, code + std::strlen(code));
            s = std::move(sys);
        }
        analyse(s);
        f->sec.push_back(std::move(s));
    }
    // The text section: the fourth, or a later one that holds @ and takes
    // no number; a single section with @ and no placeholders serves text.
    int n = static_cast<int>(f->sec.size());
    if (n == 4) {
        f->text_section = 3;
    } else if (n >= 2 && f->sec[n - 1].text && !f->sec[n - 1].digits && !f->sec[n - 1].date) {
        f->text_section = n - 1;
    } else if (n == 1 && f->sec[0].text && !f->sec[0].digits && !f->sec[0].date) {
        f->text_section = 0;
    }
    f->numeric = f->text_section >= 0 && f->text_section == n - 1 ? n - 1 : n;
    if (f->numeric == 0 && n == 1 && f->text_section == 0) f->numeric = 0;
    f->plain_general = f->numeric == 1 && is_plain_general(f->sec[0]) && f->text_section < 0;
    if (n == 1 && f->sec[0].tok.empty() && f->sec[0].op == C_NONE && parts[0].first == parts[0].second) {
        f->plain_general = true;  // an empty code is General
    }
    if (f->numeric > 0) {
        const section& s = f->sec[0];
        if (s.date) f->value_type = s.has_date ? (s.has_time ? TBX_DATE_TIME : TBX_DATE) : TBX_DATE_TIME;
        else if (s.scale > 0 && s.digits) f->value_type = TBX_PERCENT;
    }
    return f;
}

int nf_value_type(const nf_format* f) { return f ? f->value_type : TBX_GENERAL_NUMBER; }
bool nf_is_general(const nf_format* f) { return !f || f->plain_general; }
bool nf_has_text_section(const nf_format* f) { return f && f->text_section >= 0; }

namespace {

struct writer {
    char* p;
    char* end;  // the terminator's place
    char* begin;
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

void to_decimal(double x, decimal& out) {
    out.negative = x < 0 || (x == 0 && std::signbit(x) && false);
    out.n = 0;
    out.point = 0;
    if (x < 0) x = -x;
    if (x == 0 || !std::isfinite(x)) return;
    char buf[40];
    auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
    // d.dddddddddddddde[+-]xx
    const char* q = buf;
    out.d[out.n++] = *q++;
    if (*q == '.') ++q;
    while (q < r.ptr && *q != 'e') out.d[out.n++] = *q++;
    int e = 0;
    std::from_chars(q + 1 + (q[1] == '+'), r.ptr, e);
    out.point = e + 1;
    while (out.n > 0 && out.d[out.n - 1] == '0') --out.n;
    if (out.n == 0) out.point = 0;
}

// Rounds to `decimals` digits after the point, half away from zero.
void round_decimal(decimal& v, int decimals) {
    int keep = v.point + decimals;
    if (keep >= v.n) return;
    if (keep < 0) {
        v.n = 0;
        v.point = 0;
        return;
    }
    bool up = v.d[keep] >= '5';
    v.n = keep;
    if (up) {
        int i = keep - 1;
        while (i >= 0 && v.d[i] == '9') --i;
        if (i < 0) {
            v.d[0] = '1';
            v.n = 1;
            v.point += 1;
        } else {
            v.d[i] = static_cast<char>(v.d[i] + 1);
            v.n = i + 1;
        }
    }
    while (v.n > 0 && v.d[v.n - 1] == '0') --v.n;
    if (v.n == 0) v.point = 0;
}

char digit_at(const decimal& v, int i) { return i >= 0 && i < v.n ? v.d[i] : '0'; }

// ---------------------------------------------------------------- General

size_t general_into(double x, char* out, size_t cap) {
    writer w{out, out + (cap ? cap - 1 : 0), out};
    if (!std::isfinite(x)) {
        w.put("#NUM!");
        *w.p = '\0';
        return static_cast<size_t>(w.p - out);
    }
    decimal v;
    to_decimal(x, v);
    if (v.n == 0) {
        w.put('0');
        *w.p = '\0';
        return 1;
    }
    const int width = 11 - (v.negative ? 1 : 0);
    int e = v.point - 1;  // x = d.ddd x 10^e
    bool sci = e > 10 || e < -5 + 1 - 1 || e < -4;
    if (!sci) {
        int int_digits = v.point > 0 ? v.point : 1;
        int decimals = width - int_digits - 1;
        if (decimals < 0) decimals = 0;
        decimal r = v;
        round_decimal(r, decimals);
        int shown = r.point > 0 ? r.point : 1;
        if (shown > width) sci = true;
        else if (r.n == 0) {
            // Too small for the decimals that fit: scientific.
            sci = true;
        } else {
            if (v.negative) w.put('-');
            if (r.point <= 0) w.put('0');
            for (int i = 0; i < r.point; ++i) w.put(digit_at(r, i));
            if (r.n > r.point) {
                w.put('.');
                for (int i = r.point; i < r.n; ++i) w.put(digit_at(r, i));
            }
        }
    }
    if (sci) {
        w.p = out;
        // Mantissa digits that fit beside the exponent ("E+nn" or "E+nnn").
        int exp_digits = (e >= 100 || e <= -100) ? 3 : 2;
        int decimals = width - 1 - 1 - 2 - exp_digits;
        if (decimals < 0) decimals = 0;
        decimal m = v;
        m.point = 1;
        round_decimal(m, decimals);
        if (m.point > 1) {  // 9.99995 -> 10.0000
            e += 1;
            m.point = 1;
        }
        if (v.negative) w.put('-');
        w.put(digit_at(m, 0));
        if (m.n > 1) {
            w.put('.');
            for (int i = 1; i < m.n; ++i) w.put(m.d[i]);
        }
        w.put('E');
        w.put(e < 0 ? '-' : '+');
        w.num(e < 0 ? -e : e, 2);
    }
    *w.p = '\0';
    return static_cast<size_t>(w.p - out);
}

// ------------------------------------------------------------- Dates

struct civil {
    int y, m, d, wd;
};

// The calendar date of a day serial of the 1900 system (0 is 1900-01-00,
// 60 the fictitious 1900-02-29).
civil civil_of(long long serial) {
    civil c{1900, 1, 0, 6};
    c.wd = static_cast<int>(((serial + 6) % 7 + 7) % 7);
    if (serial <= 0) return c;
    if (serial < 60) {
        c.m = serial <= 31 ? 1 : 2;
        c.d = static_cast<int>(serial <= 31 ? serial : serial - 31);
        return c;
    }
    if (serial == 60) {
        c.m = 2;
        c.d = 29;
        return c;
    }
    long long z = serial - 25569 + 719468;  // days since 0000-03-01
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    c.d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.y = static_cast<int>(yoe + era * 400 + (c.m <= 2 ? 1 : 0));
    return c;
}

struct era_info {
    char letter;
    const char* first;  // first character of the name
    const char* name;
    int year;
};

era_info era_of_date(const civil& c) {
    long key = c.y * 10000L + c.m * 100L + c.d;
    if (key < 19120730) return {'M', "明", "明治", c.y - 1867};
    if (key < 19261225) return {'T', "大", "大正", c.y - 1911};
    if (key < 19890108) return {'S', "昭", "昭和", c.y - 1925};
    if (key < 20190501) return {'H', "平", "平成", c.y - 1988};
    return {'R', "令", "令和", c.y - 2018};
}

const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthFull[12] = {"January", "February", "March",     "April",
                                    "May",     "June",     "July",      "August",
                                    "September", "October", "November", "December"};
const char* const kDayAbbrev[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayFull[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
const char* const kDayJp[7] = {"日", "月", "火", "水", "木", "金", "土"};

void hashes(writer& w) { w.put("########"); }

void render_date(const section& s, double value, bool date1904, writer& w) {
    // Round to the smallest unit shown: a second, or its shown fraction.
    long long per_second = 1;
    for (int i = 0; i < s.subsec; ++i) per_second *= 10;
    const long long per_day = 86400LL * per_second;
    if (!(value >= 0) || value >= 2958466.0 + (date1904 ? -1462 : 0) || !std::isfinite(value)) {
        // Excel shows negative and too large dates as a row of #.
        if (!(s.elapsed && value >= 0 && std::isfinite(value) && value < 1e10)) {
            hashes(w);
            return;
        }
    }
    // The product of a serial kept to fifteen digits may fall a hair short
    // of a half tick: two units in the last place decide for it.
    double scaled = value * static_cast<double>(per_day);
    // A code without time parts shows the day the serial falls on: a time
    // just before midnight does not move the date.
    const double half = s.has_time ? 0.5 : 0.0;
    long long ticks = static_cast<long long>(std::floor(scaled + half + std::fabs(scaled) * 4e-16));
    // Excel keeps 15 significant digits: a serial of 45000.9999999999 is
    // not nudged past the next tick by the binary error of the product.
    long long day = ticks / per_day;
    long long rest = ticks % per_day;
    long long sub = rest % per_second;
    long long secs = rest / per_second;
    int hour = static_cast<int>(secs / 3600), minute = static_cast<int>(secs / 60 % 60),
        second = static_cast<int>(secs % 60);
    civil c = civil_of(day + (date1904 ? 1462 : 0));
    era_info era = era_of_date(c);
    const char* lits = s.lits.data();
    const bool has_hour = [&] {
        for (const token& k : s.tok) {
            if (k.kind == T_HOUR) return true;
        }
        return false;
    }();
    (void)has_hour;
    const long long total_seconds = ticks / per_second;
    for (const token& k : s.tok) {
        switch (k.kind) {
        case T_LIT: w.put(lits + k.off, k.len); break;
        case T_YEAR:
            if (k.width == 2) w.num(c.y % 100, 2);
            else w.num(c.y, 4);
            break;
        case T_MONTH:
            if (k.width <= 2) w.num(c.m, k.width);
            else if (k.width == 3) w.put(kMonthAbbrev[c.m - 1]);
            else if (k.width == 4) w.put(kMonthFull[c.m - 1]);
            else w.put(kMonthFull[c.m - 1], 1);
            break;
        case T_DAY:
            if (k.width <= 2) w.num(c.d, k.width);
            else if (k.width == 3) w.put(kDayAbbrev[c.wd]);
            else w.put(kDayFull[c.wd]);
            break;
        case T_WEEKDAY_JP:
            w.put(kDayJp[c.wd]);
            if (k.width >= 4) w.put("曜日");
            break;
        case T_HOUR: {
            int h = hour;
            if (s.ampm) {
                h %= 12;
                if (h == 0) h = 12;
            }
            w.num(h, k.width);
            break;
        }
        case T_MINUTE: w.num(minute, k.width); break;
        case T_SECOND: w.num(second, k.width); break;
        case T_SUBSEC: {
            w.put('.');
            long long div = per_second;
            long long v = sub;
            for (int i = 0; i < k.width; ++i) {
                div /= 10;
                w.put(static_cast<char>('0' + (div ? v / div % 10 : 0)));
            }
            break;
        }
        case T_AMPM: {
            bool pm = hour >= 12;
            switch (k.ch) {
            case 'A': w.put(pm ? "PM" : "AM"); break;
            case 'a': w.put(pm ? "PM" : "AM"); break;  // am/pm shows in upper case too
            case 'P': w.put(pm ? "P" : "A"); break;
            case 'p': w.put(pm ? "p" : "a"); break;
            default: w.put(pm ? "午後" : "午前"); break;
            }
            break;
        }
        case T_ELAPSED_H: w.num(total_seconds / 3600, k.width); break;
        case T_ELAPSED_M: {
            bool outer = true;  // [m] after [h] counts within the hour
            for (const token& o : s.tok) {
                if (o.kind == T_ELAPSED_H || o.kind == T_HOUR) outer = false;
            }
            w.num(outer ? total_seconds / 60 : minute, k.width);
            break;
        }
        case T_ELAPSED_S: {
            bool outer = true;
            for (const token& o : s.tok) {
                if (o.kind == T_ELAPSED_H || o.kind == T_ELAPSED_M || o.kind == T_MINUTE ||
                    o.kind == T_HOUR) {
                    outer = false;
                }
            }
            w.num(outer ? total_seconds : second, k.width);
            break;
        }
        case T_ERA:
            if (k.width == 1) w.put(era.letter);
            else if (k.width == 2) w.put(era.first);
            else w.put(era.name);
            break;
        case T_ERA_YEAR:
            if (era.year == 1 && s.gannen) w.put("元");
            else w.num(era.year, k.width);
            break;
        default: break;
        }
    }
}

// ------------------------------------------------------------ Numbers

// Writes the placeholders of one part (integer part or numerator) with the
// digits of `digits` (most significant first), right-aligned; the literals
// between the placeholders stay where they are.
void put_integer_part(const section& s, size_t from, size_t to, const char* digits, int n,
                      bool thousands, writer& w) {
    int places = 0;
    for (size_t i = from; i < to; ++i) places += s.tok[i].kind == T_DIGIT;
    int extra = n > places ? n - places : 0;  // leading digits beyond the placeholders
    int pos = places > n ? places : n;        // digit position from the right, + 1
    int seen = 0;
    const char* lits = s.lits.data();
    bool shown_any = false;
    for (size_t i = from; i < to; ++i) {
        const token& k = s.tok[i];
        if (k.kind == T_LIT) {
            w.put(lits + k.off, k.len);
            continue;
        }
        if (k.kind != T_DIGIT) continue;
        int count = seen == 0 ? 1 + extra : 1;
        ++seen;
        for (int c = 0; c < count; ++c) {
            --pos;  // pos: this digit's place from the right (0 = units)
            int di = n - 1 - pos;
            char out;
            bool real = di >= 0;
            if (real) out = digits[di];
            else if (k.ch == '0') out = '0';
            else if (k.ch == '?') out = ' ';
            else out = 0;
            if (out) {
                w.put(out);
                if (out != ' ') shown_any = true;
            }
            if (thousands && pos > 0 && pos % 3 == 0 && out && out != ' ' && shown_any) w.put(',');
            else if (thousands && pos > 0 && pos % 3 == 0 && out == ' ') w.put(' ');
        }
    }
}

void put_fraction_digits(const section& s, size_t from, size_t to, const decimal& v, writer& w) {
    // The decimal placeholders take the digits after the point; trailing
    // zeros go for #, become blanks for ?.
    int count = 0;
    for (size_t i = from; i < to; ++i) count += s.tok[i].kind == T_DIGIT;
    char digits[64];
    int n = count < 64 ? count : 64;
    for (int i = 0; i < n; ++i) digits[i] = digit_at(v, v.point + i);
    // Which trailing placeholders are dropped or blank.
    char shown[64];
    for (int i = 0; i < n; ++i) shown[i] = digits[i];
    int idx = n;
    for (size_t i = to; i-- > from;) {
        if (s.tok[i].kind != T_DIGIT) continue;
        --idx;
        if (idx < 0 || idx >= n) continue;
        if (digits[idx] != '0') break;
        if (s.tok[i].ch == '#') shown[idx] = 0;
        else if (s.tok[i].ch == '?') shown[idx] = ' ';
        else break;
    }
    idx = 0;
    const char* lits = s.lits.data();
    for (size_t i = from; i < to; ++i) {
        const token& k = s.tok[i];
        if (k.kind == T_LIT) w.put(lits + k.off, k.len);
        else if (k.kind == T_DIGIT) {
            if (idx < n && shown[idx]) w.put(shown[idx]);
            ++idx;
        }
    }
}

void put_digits_of(long long v, char* buf, int* n) {
    auto r = std::to_chars(buf, buf + 24, v);
    *n = static_cast<int>(r.ptr - buf);
    if (*n == 1 && buf[0] == '0') *n = 0;
}

// Literals, text placeholders and General inside a number section.
void put_other(const section& s, const token& k, double value, writer& w) {
    if (k.kind == T_LIT) w.put(s.lits.data() + k.off, k.len);
    else if (k.kind == T_GENERAL) {
        char buf[32];
        size_t n = general_into(value, buf, sizeof buf);
        w.put(buf, n);
    }
}

// Best rational approximation p/q of x (0 <= x < 1) with q < limit.
void approximate(double x, long long limit, long long* p, long long* q) {
    long long p0 = 0, q0 = 1, p1 = 1, q1 = 0;
    double r = x;
    for (int i = 0; i < 64; ++i) {
        double a = std::floor(r);
        long long ai = static_cast<long long>(a);
        long long p2 = ai * p1 + p0, q2 = ai * q1 + q0;
        if (q2 >= limit) {
            // The best semiconvergent below the limit.
            long long k = (limit - 1 - q0) / (q1 ? q1 : 1);
            long long ps = k * p1 + p0, qs = k * q1 + q0;
            if (q1 && std::fabs(x - static_cast<double>(ps) / qs) < std::fabs(x - static_cast<double>(p1) / q1)) {
                p1 = ps;
                q1 = qs;
            }
            break;
        }
        p0 = p1, q0 = q1, p1 = p2, q1 = q2;
        double f = r - a;
        if (f < 1e-12) break;
        r = 1 / f;
    }
    if (q1 == 0) {
        p1 = 0;
        q1 = 1;
    }
    *p = p1;
    *q = q1;
}

// Does a token range hold a placeholder of the kind?
bool has_placeholder(const section& s, size_t from, size_t to, char kind) {
    for (size_t i = from; i < to; ++i) {
        if (s.tok[i].kind == T_DIGIT && s.tok[i].ch == kind) return true;
    }
    return false;
}

// Blanks for every character the tokens would take.
void put_blanks(const section& s, size_t from, size_t to, writer& w) {
    for (size_t i = from; i < to; ++i) {
        const token& k = s.tok[i];
        size_t n = k.kind == T_LIT ? k.len : 1;
        for (size_t c = 0; c < n; ++c) w.put(' ');
    }
}

// A fraction: [prefix][whole part][separator][numerator][/][denominator]
// [suffix].  The numerator is the last run of placeholders before the
// slash; the whole part is every placeholder before it, with the literals
// between them in place.
void render_fraction(const section& s, double x, writer& w) {
    const size_t end = s.tok.size();
    size_t slash = 0;
    while (slash < end && s.tok[slash].kind != T_SLASH) ++slash;
    double max_den = s.den_fixed;
    if (!s.den_fixed) {
        max_den = 1;
        for (int i = 0; i < s.den_digits && i < 9; ++i) max_den *= 10;
    }
    if (!(x < 1e15) || !(x * max_den < 4e18)) {
        // Beyond the digits a workbook keeps no fraction is left: the number.
        char buf[32];
        w.put(buf, general_into(x, buf, sizeof buf));
        return;
    }
    // The numerator's run and the literals between it and the slash.
    size_t ne = slash;
    while (ne > 0 && s.tok[ne - 1].kind != T_DIGIT) --ne;
    size_t nb = ne;
    while (nb > 0 && s.tok[nb - 1].kind == T_DIGIT) --nb;
    size_t i0 = 0;
    while (i0 < nb && s.tok[i0].kind != T_DIGIT) ++i0;
    const bool whole_part = i0 < nb;
    size_t we = nb;  // the whole part ends after its last placeholder
    while (whole_part && we > i0 && s.tok[we - 1].kind != T_DIGIT) --we;
    // The denominator's run.
    size_t db = slash + 1;
    while (db < end && s.tok[db].kind != T_DIGIT) ++db;
    size_t de = db;
    while (de < end && s.tok[de].kind == T_DIGIT) ++de;
    if (s.den_fixed) db = de = slash + 1;

    long long whole = 0;
    double rest = x;
    if (whole_part) {
        whole = static_cast<long long>(std::floor(x));
        rest = x - static_cast<double>(whole);
    }
    long long num = 0, den = 1;
    if (s.den_fixed) {
        den = s.den_fixed;
        num = static_cast<long long>(std::floor(rest * den + 0.5));
    } else {
        long long wi = static_cast<long long>(std::floor(rest));
        approximate(rest - static_cast<double>(wi), static_cast<long long>(max_den), &num, &den);
        num += wi * den;
    }
    if (whole_part && num >= den) {
        whole += num / den;
        num %= den;
    }
    if (num == 0) den = 1;
    const bool any_blank = has_placeholder(s, i0, de, '?');
    const bool zero_shown = has_placeholder(s, nb, ne, '0');
    const bool zero_fraction = whole_part && num == 0 && !zero_shown;
    char buf[24];
    int n = 0;
    for (size_t i = 0; i < i0; ++i) put_other(s, s.tok[i], x, w);
    if (whole_part) {
        put_digits_of(whole, buf, &n);
        bool blank_whole = false, drop_whole = false;
        if (n == 0) {
            const token& units = s.tok[we - 1];
            if (zero_fraction) {
                buf[0] = '0';
                n = 1;
            } else if (units.ch == '#') {
                drop_whole = true;
            } else if (units.ch == '?' && num != 0) {
                blank_whole = true;
            } else {
                buf[0] = '0';
                n = 1;
            }
        }
        if (drop_whole) {
            // The whole part's placeholders do not show, its literals do;
            // the separator gives way to the numerator (blank before a ?).
            for (size_t i = i0; i < we; ++i) {
                if (s.tok[i].kind == T_LIT) put_other(s, s.tok[i], x, w);
            }
            if (s.tok[nb].ch == '?') put_blanks(s, we, nb, w);
        } else if (blank_whole) {
            put_blanks(s, i0, nb, w);
        } else {
            put_integer_part(s, i0, we, buf, n, s.thousands, w);
            if (!zero_fraction) {
                for (size_t i = we; i < nb; ++i) put_other(s, s.tok[i], x, w);
            }
        }
    }
    if (zero_fraction) {
        // Nothing of the fraction shows; blanks keep its place when a ?
        // asks for them.
        if (any_blank) {
            put_blanks(s, we, de, w);
            if (s.den_fixed) {
                for (long long d = s.den_fixed; d; d /= 10) w.put(' ');
            }
        }
        for (size_t i = de; i < end; ++i) put_other(s, s.tok[i], x, w);
        return;
    }
    put_digits_of(num, buf, &n);
    if (n == 0) {
        buf[0] = '0';
        n = 1;
    }
    put_integer_part(s, nb, ne, buf, n, false, w);
    for (size_t i = ne; i < slash; ++i) put_other(s, s.tok[i], x, w);
    w.put('/');
    for (size_t i = slash + 1; i < db; ++i) put_other(s, s.tok[i], x, w);
    put_digits_of(den, buf, &n);
    if (s.den_fixed) {
        w.put(buf, static_cast<size_t>(n));
    } else {
        // Zeros before the denominator for 0, blanks after it for ?.
        int zeros = 0, places = 0;
        for (size_t i = db; i < de; ++i) {
            ++places;
            if (s.tok[i].ch == '0') ++zeros;
        }
        for (int i = n; i < zeros; ++i) w.put('0');
        w.put(buf, static_cast<size_t>(n));
        int shown = n > zeros ? n : zeros;
        if (has_placeholder(s, db, de, '?')) {
            for (int i = shown; i < places; ++i) w.put(' ');
        }
    }
    for (size_t i = de; i < end; ++i) put_other(s, s.tok[i], x, w);
}

void render_scientific(const section& s, decimal v, writer& w) {
    size_t exp_at = 0;
    while (exp_at < s.tok.size() && s.tok[exp_at].kind != T_EXP) ++exp_at;
    int k_int = s.int_digits;
    bool hash = false;
    for (size_t i = 0; i < exp_at; ++i) {
        if (s.tok[i].kind == T_POINT) break;
        if (s.tok[i].kind == T_DIGIT && s.tok[i].ch == '#') hash = true;
    }
    int e = 0;
    if (v.n) {
        int E = v.point - 1;
        if (hash && k_int > 1) {
            int m = ((E % k_int) + k_int) % k_int;
            e = E - m;
        } else {
            e = E - (k_int > 0 ? k_int - 1 : 0);
        }
        v.point -= e;
        round_decimal(v, s.frac_digits);
        int limit = (hash && k_int > 1) ? k_int : (k_int > 0 ? k_int : 1);
        if (v.point > limit) {
            v.point -= (hash && k_int > 1) ? k_int : 1;
            e += (hash && k_int > 1) ? k_int : 1;
        }
    }
    size_t point = exp_at;
    for (size_t i = 0; i < exp_at; ++i) {
        if (s.tok[i].kind == T_POINT) {
            point = i;
            break;
        }
    }
    char buf[24] = {};
    int n = 0;
    for (int i = 0; i < v.point && i < 20; ++i) buf[n++] = digit_at(v, i);
    put_integer_part(s, 0, point, buf, n, s.thousands, w);
    if (point < exp_at) {
        w.put('.');
        put_fraction_digits(s, point + 1, exp_at, v, w);
    }
    const token& ek = s.tok[exp_at];
    w.put('E');
    if (e < 0) w.put('-');
    else if (ek.ch == '+') w.put('+');
    int places = 0;
    size_t end = exp_at + 1;
    while (end < s.tok.size() && (s.tok[end].kind == T_DIGIT)) {
        if (s.tok[end].ch == '0') ++places;
        ++end;
    }
    w.num(e < 0 ? -e : e, places);
    for (size_t i = end; i < s.tok.size(); ++i) put_other(s, s.tok[i], 0, w);
}

void render_number(const section& s, double x, writer& w) {
    // x >= 0 here: the sign is the caller's.
    if (s.fraction) {
        render_fraction(s, x, w);
        return;
    }
    decimal v;
    to_decimal(x, v);
    if (v.n) v.point += s.scale;
    if (s.exponent) {
        render_scientific(s, v, w);
        return;
    }
    round_decimal(v, s.frac_digits);
    size_t point = s.tok.size();
    for (size_t i = 0; i < s.tok.size(); ++i) {
        if (s.tok[i].kind == T_POINT) {
            point = i;
            break;
        }
    }
    char buf[400];
    int n = 0;
    for (int i = 0; i < v.point && n < 399; ++i) buf[n++] = digit_at(v, i);
    // The integer part, with the literals around it.
    size_t first = 0, last = 0;
    bool any = false;
    for (size_t i = 0; i < point; ++i) {
        if (s.tok[i].kind == T_DIGIT) {
            if (!any) first = i;
            last = i;
            any = true;
        }
    }
    if (!any) {
        for (size_t i = 0; i < point; ++i) put_other(s, s.tok[i], x, w);
        if (point == s.tok.size() && n > 0 && !s.general) {
            // No placeholder at all: the number is not shown.
        }
    } else {
        for (size_t i = 0; i < first; ++i) put_other(s, s.tok[i], x, w);
        put_integer_part(s, first, last + 1, buf, n, s.thousands, w);
        for (size_t i = last + 1; i < point; ++i) put_other(s, s.tok[i], x, w);
    }
    if (point < s.tok.size()) {
        w.put('.');
        size_t end = s.tok.size();
        put_fraction_digits(s, point + 1, end, v, w);
        // General after the point is rare; literals were written above.
        for (size_t i = point + 1; i < end; ++i) {
            if (s.tok[i].kind == T_GENERAL) put_other(s, s.tok[i], x, w);
        }
    }
}

bool holds(const section& s, double v) {
    switch (s.op) {
    case C_LT: return v < s.cond;
    case C_LE: return v <= s.cond;
    case C_GT: return v > s.cond;
    case C_GE: return v >= s.cond;
    case C_EQ: return v == s.cond;
    case C_NE: return v != s.cond;
    default: return true;
    }
}

// A condition that only negative numbers meet: its section shows no sign.
bool negative_only(const section& s) {
    return (s.op == C_LT && s.cond <= 0) || (s.op == C_LE && s.cond < 0);
}

// Kanji numerals of [DBNum1] and [DBNum2], full-width digits of [DBNum3].
void dbnum_convert(int kind, const char* in, size_t n, writer& w) {
    static const char* const d1[10] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    static const char* const d2[10] = {"〇", "壱", "弐", "参", "四", "伍", "六", "七", "八", "九"};
    static const char* const d3[10] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
    static const char* const small1[4] = {"", "十", "百", "千"};
    static const char* const small2[4] = {"", "拾", "百", "阡"};
    static const char* const big1[5] = {"", "万", "億", "兆", "京"};
    static const char* const big2[5] = {"", "萬", "億", "兆", "京"};
    size_t i = 0;
    bool after_point = false;
    while (i < n) {
        char c = in[i];
        if (kind == 3 && (c == '.' || c == ',')) {
            w.put(c == '.' ? "．" : "，");  // full-width, as the digits
            ++i;
            continue;
        }
        if (c < '0' || c > '9') {
            after_point = c == '.';
            size_t l = utf8_len(in + i);
            w.put(in + i, l);
            i += l;
            continue;
        }
        size_t j = i;
        while (j < n && in[j] >= '0' && in[j] <= '9') ++j;
        if (kind == 3 || after_point || j - i > 20) {
            for (size_t k = i; k < j; ++k) w.put((kind == 2 ? d2 : kind == 3 ? d3 : d1)[in[k] - '0']);
        } else {
            const char* const* dg = kind == 2 ? d2 : d1;
            const char* const* sm = kind == 2 ? small2 : small1;
            const char* const* bg = kind == 2 ? big2 : big1;
            size_t len = j - i;
            bool all_zero = true;
            for (size_t k = i; k < j; ++k) all_zero = all_zero && in[k] == '0';
            if (all_zero) {
                w.put(dg[0]);
            } else {
                bool group_has = false;
                for (size_t k = 0; k < len; ++k) {
                    int digit = in[i + k] - '0';
                    size_t place = len - 1 - k;
                    int smallp = static_cast<int>(place % 4);
                    int bigp = static_cast<int>(place / 4);
                    if (digit) {
                        if (!(kind == 1 && digit == 1 && smallp > 0)) w.put(dg[digit]);
                        w.put(sm[smallp]);
                        group_has = true;
                    }
                    if (smallp == 0) {
                        if (group_has && bigp > 0 && bigp < 5) w.put(bg[bigp]);
                        group_has = false;
                    }
                }
            }
        }
        after_point = false;
        i = j;
    }
}

}  // namespace

size_t nf_general(double value, char* out, size_t cap) { return general_into(value, out, cap); }

size_t nf_render_number(const nf_format* f, double value, bool date1904, char* out, size_t cap) {
    if (!cap) return 0;
    writer w{out, out + cap - 1, out};
    if (!f || f->plain_general || f->numeric == 0) {
        return general_into(value, out, cap);
    }
    // Choose the section.
    const int n = f->numeric;
    const section* s = &f->sec[0];
    bool sign = true;  // show a minus sign for a negative value
    bool conditions = false;
    for (int i = 0; i < n && i < 2; ++i) conditions = conditions || f->sec[i].op != C_NONE;
    if (!conditions) {
        if (n >= 2 && value < 0) {
            s = &f->sec[1];
            sign = false;
        } else if (n >= 3 && value == 0) {
            s = &f->sec[2];
        }
    } else {
        int chosen = -1;
        for (int i = 0; i < n && i < 2; ++i) {
            if (f->sec[i].op != C_NONE && holds(f->sec[i], value)) {
                chosen = i;
                break;
            }
        }
        if (chosen < 0) {
            if (n >= 3) chosen = 2;
            else if (n == 2 && f->sec[1].op == C_NONE) chosen = 1;
            else if (n == 1 && f->sec[0].op == C_NONE) chosen = 0;
        }
        if (chosen < 0) {
            hashes(w);
            *w.p = '\0';
            return static_cast<size_t>(w.p - out);
        }
        s = &f->sec[chosen];
        if (negative_only(*s)) sign = false;
        if (chosen == 1 && s->op == C_NONE && f->sec[0].op != C_NONE && n == 2) {
            // [>=0]...;... : the second section takes what the first did not.
            sign = !(f->sec[0].op == C_GE && f->sec[0].cond == 0) &&
                   !(f->sec[0].op == C_GT && f->sec[0].cond == 0);
            if (!sign && value >= 0) sign = true;
        }
    }
    if (s->text && !s->digits && !s->date && !s->general) {
        // A text-only section given a number: General.
        return general_into(value, out, cap);
    }
    char* start = w.p;
    if (s->date) {
        render_date(*s, value, date1904, w);
    } else {
        double x = std::fabs(value);
        if (value < 0 && sign) {
            // A value that rounds to zero keeps its sign, as Excel shows -0.
            w.put('-');
        }
        if (!s->digits && !s->general) {
            for (const token& k : s->tok) put_other(*s, k, x, w);
        } else if (!s->digits && s->general) {
            for (const token& k : s->tok) put_other(*s, k, x, w);
        } else {
            render_number(*s, x, w);
        }
    }
    if (s->dbnum && w.p > start) {
        char tmp[512];
        size_t len = static_cast<size_t>(w.p - start);
        if (len < sizeof tmp) {
            std::memcpy(tmp, start, len);
            w.p = start;
            dbnum_convert(s->dbnum, tmp, len, w);
        }
    }
    *w.p = '\0';
    return static_cast<size_t>(w.p - out);
}

size_t nf_render_text(const nf_format* f, const char* text, size_t len, char* out, size_t cap) {
    if (!cap) return 0;
    writer w{out, out + cap - 1, out};
    if (!f || f->text_section < 0) {
        w.put(text, len);
    } else {
        const section& s = f->sec[f->text_section];
        for (const token& k : s.tok) {
            if (k.kind == T_TEXT) w.put(text, len);
            else if (k.kind == T_LIT) w.put(s.lits.data() + k.off, k.len);
        }
    }
    *w.p = '\0';
    return static_cast<size_t>(w.p - out);
}

const char* nf_builtin_code(int id) {
    switch (id) {
    case 0: return "General";
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 5: return "\"¥\"#,##0;\"¥\"\\-#,##0";
    case 6: return "\"¥\"#,##0;[Red]\"¥\"\\-#,##0";
    case 7: return "\"¥\"#,##0.00;\"¥\"\\-#,##0.00";
    case 8: return "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00";
    case 9: return "0%";
    case 10: return "0.00%";
    case 11: return "0.00E+00";
    case 12: return "# ?/?";
    case 13: return "# ?\?/??";
    case 14: return "yyyy/m/d";
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return "yyyy/m/d h:mm";
    case 27: case 36: case 50: case 57: return "[$-411]ge.m.d";
    case 28: case 29: case 51: case 54: case 58: return "[$-411]ggge\"年\"m\"月\"d\"日\"";
    case 30: return "m/d/yy";
    case 31: return "yyyy\"年\"m\"月\"d\"日\"";
    case 32: return "h\"時\"mm\"分\"";
    case 33: return "h\"時\"mm\"分\"ss\"秒\"";
    case 34: case 52: case 55: return "yyyy\"年\"m\"月\"";
    case 35: case 53: case 56: return "m\"月\"d\"日\"";
    case 37: return "#,##0 ;(#,##0)";
    case 38: return "#,##0 ;[Red](#,##0)";
    case 39: return "#,##0.00;(#,##0.00)";
    case 40: return "#,##0.00;[Red](#,##0.00)";
    case 41: return "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ";
    case 42: return "_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ";
    case 43: return "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ";
    case 44: return "_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ ";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mm:ss.0";
    case 48: return "##0.0E+0";
    case 49: return "@";
    default: return nullptr;
    }
}

// ------------------------------------------------------------ The cache

namespace {

tbx_format_cache& cache_of(const XLS_BOOK* book) {
    tbx_private* p = tbx_priv(book);
    if (!p->formats) p->formats.reset(new tbx_format_cache);
    tbx_format_cache& c = *p->formats;
    if (c.numfmt != book->numfmt || c.numfmt_count != book->numfmt_count) {
        c.numfmt = book->numfmt;
        c.numfmt_count = book->numfmt_count;
        c.slot_of_id.clear();
        c.formats.clear();
        c.by_xf.clear();
        c.xf = nullptr;
        c.xf_count = -1;
    }
    if (c.xf != book->xf || c.xf_count != book->xf_count) {
        c.xf = book->xf;
        c.xf_count = book->xf_count;
        c.by_xf.assign(static_cast<size_t>(book->xf_count > 0 ? book->xf_count : 0), nullptr);
    }
    return c;
}

const nf_format* general_format() {
    static const nf_format_ptr general = nf_compile("General");
    return general.get();
}

}  // namespace

const nf_format* tbx_format_of_id(const XLS_BOOK* book, int id) {
    if (!tbx_priv(book)) return general_format();
    tbx_format_cache& c = cache_of(book);
    size_t key = static_cast<size_t>(id + 1);
    if (id < -1 || id > 65535) return general_format();
    if (key < c.slot_of_id.size() && c.slot_of_id[key]) return c.formats[c.slot_of_id[key] - 1].get();
    std::string code;
    bool found = false;
    for (int i = 0; i < book->numfmt_count; ++i) {
        if (book->numfmt[i].id == id) {
            code = book->numfmt[i].code;
            found = true;
            break;
        }
    }
    nf_format_ptr f;
    if (found) {
        if (orb_convert_string(ORB_SJIS, ORB_UTF8, code) != 0) code.clear();
        f = nf_compile(code.c_str());
    } else {
        const char* b = nf_builtin_code(id);
        f = nf_compile(b ? b : "General");
    }
    if (key >= c.slot_of_id.size()) c.slot_of_id.resize(key + 1, 0);
    c.formats.push_back(std::move(f));
    c.slot_of_id[key] = static_cast<int>(c.formats.size());
    return c.formats.back().get();
}

const nf_format* tbx_format_of_cell(const XLS_BOOK* book, const XLS_CELL* cell) {
    if (!tbx_priv(book)) return general_format();
    if (cell->xf < 0 || cell->xf >= book->xf_count) return tbx_format_of_id(book, 0);
    tbx_format_cache& c = cache_of(book);
    const nf_format*& slot = c.by_xf[static_cast<size_t>(cell->xf)];
    if (!slot) slot = tbx_format_of_id(book, book->xf[cell->xf].numfmt);
    return slot;
}
