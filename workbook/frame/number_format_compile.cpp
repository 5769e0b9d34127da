// The compiler of the number-format engine: a code split into its sections
// at the semicolons outside quotes and brackets, each section tokenized and
// analysed (its condition, whether it shows a date, its digit placeholders
// before and after the point, thousands separators, scaling, percent signs,
// an exponent or a fraction), and the facts of the whole code (the text
// section, the value type).
#include <string>
#include <utility>

#include "cell_format.h"
#include "number_format_impl.h"

namespace nf {
namespace {

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
}  // namespace nf

using namespace nf;

void nf_format_deleter::operator()(nf_format* f) const { delete f; }

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
