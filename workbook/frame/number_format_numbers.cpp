// Numbers of the number-format engine: the fifteen significant digits a
// workbook keeps, Excel's General form, and a number section's placeholders
// (integer part, decimals, thousands, the scientific form, fractions).
//
// Numbers are first brought to the fifteen significant digits a workbook
// keeps; every later rounding works on those decimal digits, half away from
// zero, as Excel rounds what it displays (0.285 shows as 0.29 under 0.00).
#include <charconv>
#include <cmath>
#include <cstring>

#include "number_format_impl.h"

namespace nf {

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

namespace {

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
            w.lit(lits + k.off, k.len);
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
        if (k.kind == T_LIT) w.lit(lits + k.off, k.len);
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


}  // namespace

// Literals, text placeholders and General inside a number section.
void put_other(const section& s, const token& k, double value, writer& w) {
    if (k.kind == T_LIT) w.lit(s.lits.data() + k.off, k.len);
    else if (k.kind == T_GENERAL) {
        char buf[32];
        size_t n = general_into(value, buf, sizeof buf);
        w.put(buf, n);
    }
}

namespace {

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

}  // namespace

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
        // No placeholder before the point: the integer part still shows,
        // right before the point (.00 shows 12.5 as 12.50, 0.5 as .50).
        // Without a point the number shows through its placeholders alone.
        for (size_t i = 0; i < point; ++i) put_other(s, s.tok[i], x, w);
        if (point < s.tok.size()) w.put(buf, static_cast<size_t>(n));
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

}  // namespace nf
