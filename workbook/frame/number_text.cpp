// Locale-free number reading (number_text.h): std::from_chars, which knows
// no locale, behind strtod's rules for blanks, a '+' and the range.
#include "number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

bool blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }
bool digit(char c) { return c >= '0' && c <= '9'; }

// True when the number text in [p, end) (no sign) lies above 1: its first
// significant digit stands before the point by more than the exponent takes
// away.
bool beyond_one(const char* p, const char* end) {
    long place = 0;  // decimal place of the first significant digit, units = 0
    bool found = false, point = false;
    long before = 0, zeros_after = 0;
    for (; p < end && (digit(*p) || (*p == '.' && !point)); ++p) {
        if (*p == '.') {
            point = true;
        } else if (!found && *p == '0') {
            if (point) ++zeros_after;
        } else if (!found) {
            found = true;
            if (!point) ++before;
        } else if (!point) {
            ++before;
        }
    }
    if (!found) return false;
    place = before > 0 ? before - 1 : -(zeros_after + 1);
    long exponent = 0;
    if (p < end && (*p == 'e' || *p == 'E')) {
        ++p;
        bool negative = p < end && *p == '-';
        if (p < end && (*p == '-' || *p == '+')) ++p;
        for (; p < end && digit(*p); ++p) {
            if (exponent < 100000) exponent = exponent * 10 + (*p - '0');
        }
        if (negative) exponent = -exponent;
    }
    return place + exponent >= 0;
}

}  // namespace

size_t tbx_read_double(const char* p, const char* end, double* value) {
    *value = 0;
    const char* q = p;
    while (q < end && blank(*q)) ++q;
    bool negative = false;
    if (q < end && (*q == '+' || *q == '-')) negative = *q++ == '-';
    if (q >= end || *q == '+' || *q == '-') return 0;  // from_chars takes a '-' itself
    double x = 0;
    std::from_chars_result r = std::from_chars(q, end, x, std::chars_format::general);
    if (r.ptr == q) return 0;
    if (r.ec == std::errc::result_out_of_range) x = beyond_one(q, r.ptr) ? HUGE_VAL : 0.0;
    else if (r.ec != std::errc()) return 0;
    *value = negative ? -x : x;
    return static_cast<size_t>(r.ptr - p);
}

double tbx_strtod(const char* text, const char** stop) {
    double x = 0;
    size_t n = tbx_read_double(text, text + std::strlen(text), &x);
    if (stop) *stop = text + n;
    return x;
}
