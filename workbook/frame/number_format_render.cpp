// Rendering through a compiled format: the section that takes the value
// (by its sign or the conditions), the sign, [DBNum] numerals, and texts
// through the text section.
#include <cmath>
#include <cstring>

#include "number_format_impl.h"

namespace nf {
namespace {

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

// A condition that takes the negative numbers, [<0] or [<=0].
bool negative_section(const section& s) { return (s.op == C_LT || s.op == C_LE) && s.cond == 0; }

// A condition that only negative numbers meet: its section shows no sign.
bool negative_only(const section& s) {
    return (s.op == C_LT && s.cond <= 0) || (s.op == C_LE && s.cond < 0);
}

// Kanji numerals of [DBNum1] and [DBNum2], full-width digits of [DBNum3],
// for the number's digits: the code's literal texts (lit, offsets into in)
// stay as they are ([DBNum1]0"2" shows 1 as 一2).
void dbnum_convert(int kind, const char* in, size_t n, const spans& lit, writer& w) {
    static const char* const d1[10] = {"〇", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
    static const char* const d2[10] = {"〇", "壱", "弐", "参", "四", "伍", "六", "七", "八", "九"};
    static const char* const d3[10] = {"０", "１", "２", "３", "４", "５", "６", "７", "８", "９"};
    static const char* const small1[4] = {"", "十", "百", "千"};
    static const char* const small2[4] = {"", "拾", "百", "阡"};
    static const char* const big1[5] = {"", "万", "億", "兆", "京"};
    static const char* const big2[5] = {"", "萬", "億", "兆", "京"};
    size_t i = 0, next_lit = 0;
    bool after_point = false;
    while (i < n) {
        while (next_lit < lit.size() && lit[next_lit].second <= i) ++next_lit;
        if (next_lit < lit.size() && lit[next_lit].first <= i) {
            size_t to = lit[next_lit].second < n ? lit[next_lit].second : n;
            w.put(in + i, to - i);
            i = to;
            after_point = false;
            continue;
        }
        const size_t run_end = next_lit < lit.size() && lit[next_lit].first < n ? lit[next_lit].first : n;
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
        while (j < run_end && in[j] >= '0' && in[j] <= '9') ++j;
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
}  // namespace nf

using namespace nf;

size_t nf_general(double value, char* out, size_t cap) { return general_into(value, out, cap); }

size_t nf_render_number(const nf_format* f, double value, bool date1904, char* out, size_t cap) {
    if (!cap) return 0;
    writer w{out, out + cap - 1, out};
    if (value == 0) value = 0;  // -0 is 0
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
        // The second section is the negative one: its condition decides.
        // The first shows a value's sign unless its condition is [<0] or
        // [<=0]: [<=-25]General shows -25 as -25.
        if (chosen == 0 ? negative_section(*s) : negative_only(*s)) sign = false;
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
    spans literals;
    if (s->dbnum) w.literals = &literals;
    if (s->date && date1904 && value < 0) {
        // The 1904 date system shows a negative serial as the date or time
        // of its size with a minus sign (-12:00), where the 1900 system
        // shows a row of #.
        w.put('-');
        render_date(*s, -value, date1904, w);
    } else if (s->date) {
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
            const size_t at = static_cast<size_t>(start - out);
            for (auto& l : literals) l.first -= at, l.second -= at;
            w.p = start;
            w.literals = nullptr;
            dbnum_convert(s->dbnum, tmp, len, literals, w);
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
        // @ and General both stand for the text.
        for (const token& k : s.tok) {
            if (k.kind == T_TEXT || k.kind == T_GENERAL) w.put(text, len);
            else if (k.kind == T_LIT) w.put(s.lits.data() + k.off, k.len);
        }
    }
    *w.p = '\0';
    return static_cast<size_t>(w.p - out);
}
