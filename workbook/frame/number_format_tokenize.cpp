// The tokenizer of the number-format engine: one section's text becomes a
// list of tokens (literals, placeholders, date and time parts, brackets).
#include <cstdlib>
#include <string>

#include "number_format_impl.h"
#include "number_text.h"

namespace nf {

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

}  // namespace

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

namespace {

void add_tok(section& s, uint8_t kind, int width = 0, char ch = 0) {
    s.tok.push_back(token{kind, static_cast<uint8_t>(width > 255 ? 255 : width), ch, 0, 0});
}

bool hex_digits(const std::string& t) {
    if (t.empty() || t.size() > 8) return false;
    for (char c : t) {
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// The locale of a [$text-locale] part (lower case, after the '-'): an LCID
// in hexadecimal (411, 1030411: Japanese when its low 16 bits are 0x411)
// or a language tag (ja-JP, ja-JP-x-gannen), then an optional ",xxyy".
// The system's long date and time, F800 and F400, are what current Excel
// writes as x-sysdate and x-systime.
void locale(section& s, std::string loc) {
    loc = loc.substr(0, loc.find(','));
    if (loc == "f800" || loc == "x-sysdate") s.system = 1;
    else if (loc == "f400" || loc == "x-systime") s.system = 2;
    else if (hex_digits(loc)) s.japanese = (std::strtoul(loc.c_str(), nullptr, 16) & 0xFFFF) == 0x411;
    else s.japanese = loc.compare(0, 2, "ja") == 0 && (loc.size() == 2 || loc[2] == '-');
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
        double v = 0;
        if (tbx_read_double(q, b.c_str() + b.size(), &v) > 0) {
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
        if (dash != std::string::npos) locale(s, low.substr(dash + 1));
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

}  // namespace

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

}  // namespace nf
