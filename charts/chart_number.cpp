// Cached numbers of a chart shown without the workbook library's engine:
// General and the plain number codes that charts of Word documents and
// presentations carry (see chart_text.h).
#include "chart_text.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// The value with the 15 significant digits a cell keeps.
double significant(double v) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", v);
    return std::strtod(buf, nullptr);
}

std::string strip_zeros(std::string s) {
    size_t dot = s.find('.');
    if (dot == std::string::npos) return s;
    size_t e = s.find('E');
    std::string exp = e == std::string::npos ? std::string() : s.substr(e);
    std::string m = e == std::string::npos ? s : s.substr(0, e);
    while (!m.empty() && m.back() == '0') m.pop_back();
    if (!m.empty() && m.back() == '.') m.pop_back();
    return m + exp;
}

std::string fixed(double a, int places);

// Excel's General in a cell of standard width: at most 11 characters,
// scientific from 1E+11 and below 1E-4.
std::string general(double v) {
    if (!std::isfinite(v)) return "#NUM!";
    v = significant(v);
    if (v == 0) return "0";
    const int width = 11 - (v < 0 ? 1 : 0);
    double a = std::fabs(v);
    int e = static_cast<int>(std::floor(std::log10(a)));
    char buf[64];
    if (e <= 10 && e >= -4) {
        int int_digits = e >= 0 ? e + 1 : 1;
        int decimals = width - int_digits - 1;
        if (decimals < 0) decimals = 0;
        std::string s = strip_zeros((v < 0 ? "-" : "") + fixed(a, decimals));
        if (s != "0" && s != "-0" && s.size() <= static_cast<size_t>(11)) return s;
    }
    int exp_digits = (e >= 100 || e <= -100) ? 3 : 2;
    int decimals = width - 4 - exp_digits;
    if (decimals < 0) decimals = 0;
    std::snprintf(buf, sizeof buf, "%.*E", decimals, v);
    // "1.23457E+011" on some C libraries: two exponent digits where they do.
    std::string s = buf;
    size_t epos = s.find('E');
    std::string mant = strip_zeros(s.substr(0, epos));
    std::string sign = s.substr(epos + 1, 1);
    std::string digits = s.substr(epos + 2);
    while (digits.size() > static_cast<size_t>(exp_digits) && digits[0] == '0') digits.erase(0, 1);
    return mant + "E" + sign + digits;
}

// One section of a plain number code, taken apart.
struct plain_section {
    std::string prefix, suffix;  // literal text before and after the number
    int int_zeros = 0;           // '0' placeholders before the point
    bool grouping = false;       // a ',' between digit placeholders
    int scale = 0;               // ',' after the last placeholder: thousands
    int percent = 0;
    std::string decimals;        // the placeholders after the point
    bool point = false;
    bool general = false;
    bool plain = true;           // false: a code this module does not show
};

// Splits a code into sections at ';' outside quotes and brackets.
std::vector<std::string> sections_of(const std::string& code) {
    std::vector<std::string> out(1);
    bool quote = false;
    int bracket = 0;
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        if (c == '\\' && !quote && i + 1 < code.size()) {
            out.back() += c;
            out.back() += code[++i];
            continue;
        }
        if (c == '"') quote = !quote;
        else if (!quote && c == '[') ++bracket;
        else if (!quote && c == ']' && bracket > 0) --bracket;
        if (c == ';' && !quote && bracket == 0) {
            out.emplace_back();
            continue;
        }
        out.back() += c;
    }
    return out;
}

plain_section parse(const std::string& s) {
    plain_section p;
    bool seen_digit = false, after_number = false;
    auto literal = [&](const std::string& t) {
        if (seen_digit) {
            after_number = true;
            p.suffix += t;
        } else {
            p.prefix += t;
        }
    };
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '"') {
            size_t close = s.find('"', i + 1);
            if (close == std::string::npos) close = s.size();
            literal(s.substr(i + 1, close - i - 1));
            i = close;
        } else if (c == '\\' && i + 1 < s.size()) {
            // The whole character after the backslash.
            size_t n = 1;
            while (i + 1 + n < s.size() && (static_cast<unsigned char>(s[i + 1 + n]) & 0xC0) == 0x80) ++n;
            literal(s.substr(i + 1, n));
            i += n;
        } else if (c == '_' && i + 1 < s.size()) {
            literal(" ");
            ++i;
        } else if (c == '*' && i + 1 < s.size()) {
            ++i;
        } else if (c == '[') {
            size_t close = s.find(']', i);
            if (close == std::string::npos) close = s.size();
            std::string b = s.substr(i + 1, close - i - 1);
            if (b.size() > 1 && b[0] == '$') {
                size_t dash = b.find('-');
                literal(b.substr(1, dash == std::string::npos ? std::string::npos : dash - 1));
            } else if (!b.empty() && (b[0] == '<' || b[0] == '>' || b[0] == '=')) {
                p.plain = false;  // a condition
            }
            i = close;
        } else if (c == '0' || c == '#' || c == '?') {
            if (after_number) p.plain = false;  // placeholders around a literal
            seen_digit = true;
            if (p.point) p.decimals += c;
            else if (c == '0') ++p.int_zeros;
        } else if (c == '.' && !after_number) {
            p.point = true;
            seen_digit = true;
        } else if (c == ',') {
            if (!seen_digit) literal(",");
            else if (i + 1 < s.size() && (s[i + 1] == '0' || s[i + 1] == '#' || s[i + 1] == '?') && !p.point)
                p.grouping = true;
            else if (!p.point) ++p.scale;
        } else if (c == '%') {
            ++p.percent;
            literal("%");
        } else if (s.compare(i, 7, "General") == 0 || s.compare(i, 8, "G/\xE6\xA8\x99\xE6\xBA\x96") == 0) {
            // General, also in its Japanese spelling "G/標準".
            p.general = true;
            seen_digit = true;
            i += s[i + 1] == '/' ? 7 : 6;
        } else if (std::strchr("yYmMdDhHsSeEgGbBaA/@", c)) {
            p.plain = false;  // dates, times, scientific, fractions, text
        } else {
            literal(std::string(1, c));
        }
    }
    return p;
}

// a >= 0 with `places` decimals, its 15 significant digits rounded half
// away from zero as Excel rounds (printf rounds 3400.5 to 3400).
std::string fixed(double a, int places) {
    char buf[40];
    std::snprintf(buf, sizeof buf, "%.14e", a);  // d.dddddddddddddde+XX
    std::string digits;
    for (const char* p = buf; *p && *p != 'e'; ++p)
        if (*p >= '0' && *p <= '9') digits += *p;
    int exp = std::atoi(std::strchr(buf, 'e') + 1);
    int point = exp + 1;  // digits before the decimal point
    int keep = point + places;
    if (keep < 0) return places > 0 ? "0." + std::string(static_cast<size_t>(places), '0') : "0";
    bool up = keep < static_cast<int>(digits.size()) && digits[static_cast<size_t>(keep)] >= '5';
    if (keep < static_cast<int>(digits.size())) digits.resize(static_cast<size_t>(keep));
    while (static_cast<int>(digits.size()) < keep) digits += '0';
    if (up) {
        int i = keep - 1;
        for (; i >= 0 && digits[static_cast<size_t>(i)] == '9'; --i) digits[static_cast<size_t>(i)] = '0';
        if (i >= 0) digits[static_cast<size_t>(i)] += 1;
        else {
            digits.insert(digits.begin(), '1');
            ++point;
        }
    }
    std::string whole = point > 0 ? digits.substr(0, static_cast<size_t>(point)) : "0";
    std::string frac = point >= 0 ? digits.substr(static_cast<size_t>(point)) : std::string(static_cast<size_t>(-point), '0') + digits;
    if (whole.empty()) whole = "0";
    size_t nz = whole.find_first_not_of('0');
    whole = nz == std::string::npos ? "0" : whole.substr(nz);
    return places > 0 ? whole + "." + frac : whole;
}

std::string group(const std::string& digits) {
    std::string out;
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += ',';
        out += digits[i];
    }
    return out;
}

std::string render(const plain_section& p, double a) {
    if (p.general) return p.prefix + general(a) + p.suffix;
    for (int i = 0; i < p.percent; ++i) a *= 100;
    for (int i = 0; i < p.scale; ++i) a /= 1000;
    int places = static_cast<int>(p.decimals.size());
    if (!std::isfinite(a) || a >= 1e300) return general(a);
    std::string shown_fixed = a == 0 ? (places > 0 ? "0." + std::string(static_cast<size_t>(places), '0') : "0")
                                     : fixed(a, places);
    size_t dot = shown_fixed.find('.');
    std::string whole = shown_fixed.substr(0, dot);
    std::string frac = dot == std::string::npos ? std::string() : shown_fixed.substr(dot + 1);
    if (whole == "0") whole.clear();
    while (static_cast<int>(whole.size()) < p.int_zeros) whole.insert(whole.begin(), '0');
    if (p.grouping) whole = group(whole);
    // Optional decimals: '#' drops a trailing zero, '?' shows a blank.
    for (int i = places - 1; i >= 0 && frac[i] == '0' && p.decimals[i] != '0'; --i)
        frac[i] = p.decimals[i] == '?' ? ' ' : '\x01';
    std::string shown;
    for (char c : frac)
        if (c != '\x01') shown += c;
    std::string out = p.prefix + whole;
    if (p.point) out += "." + shown;
    return out + p.suffix;
}

}  // namespace

std::string chart_format_number(double value, const std::string& code) {
    if (code.empty() || code == "General" || code == "G/\xE6\xA8\x99\xE6\xBA\x96") return general(value);
    std::vector<std::string> secs = sections_of(code);
    size_t which = 0;
    bool sign = true;
    if (value < 0 && secs.size() >= 2) {
        which = 1;
        sign = false;
    } else if (value == 0 && secs.size() >= 3) {
        which = 2;
    }
    plain_section p = parse(secs[which]);
    if (!p.plain) return general(value);
    std::string out = render(p, std::fabs(value));
    // A value that rounds to zero keeps its sign, as Excel shows "-0".
    if (value < 0 && sign) out = "-" + out;
    return out;
}
