// Storing values into cells: the typed value setter of both readers, and the
// rule by which the legacy reader turns a number into an INTEGER, FLOAT,
// PERCENT or date cell.
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "cell_format.h"
#include "number_text.h"
#include "tbx_private.h"
#include "tbx_store.h"

namespace {

// Precision of a FLOAT or PERCENT text: the record's decimal count, kept in
// the range a number takes (a negative count would make no format).
int precision_of(int decimals) { return decimals < 0 ? 0 : decimals > TBX_MAX_DECIMALS ? TBX_MAX_DECIMALS : decimals; }

// A copy of len bytes and a terminator: from the text pool of v->book when
// it is set (and the text fits there), else from the heap.
char* dup_bytes(const tbx_value* v, const char* text, size_t len) {
    if (v->book) {
        if (char* p = tbx_pool_text(v->book, text, len)) return p;
    }
    char* p = static_cast<char*>(std::malloc(len + 1));
    if (!p) return nullptr;
    if (len) std::memcpy(p, text, len);
    p[len] = '\0';
    return p;
}

// The "%lld" text of an integer.
char* dup_integer(const tbx_value* v, long long n) {
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, n);
    return dup_bytes(v, buf, static_cast<size_t>(r.ptr - buf));
}

// The "%.*f" text of a number.  std::to_chars gives the same correctly
// rounded digits as printf for finite values; the others keep printf's
// spelling.
char* dup_fixed(const tbx_value* v, double x, int precision) {
    char buf[TBX_VALUE_TEXT_BUF];
    if (std::isfinite(x)) {
        auto r = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::fixed, precision);
        if (r.ec == std::errc()) return dup_bytes(v, buf, static_cast<size_t>(r.ptr - buf));
    }
    int n = std::snprintf(buf, sizeof buf, "%.*f", precision, x);
    return n >= 0 && static_cast<size_t>(n) < sizeof buf ? dup_bytes(v, buf, static_cast<size_t>(n)) : nullptr;
}

// The value truncated to 32 bits; values beyond the range saturate.
int truncated(double v) {
    if (!(v == v)) return 0;
    if (v >= 2147483647.0) return 2147483647;
    if (v <= -2147483648.0) return -2147483647 - 1;
    return static_cast<int>(v);
}

// The decimal count that shows a number with the fifteen significant digits
// a workbook keeps, without trailing zeros: 2.0000001 needs 7, 0.0000001
// needs 7, 0.1 + 0.2 needs 1 (0.3), 5.58069e-36 needs 41.  Six decimals
// would turn the first two into "2" and "0".
}  // namespace

int significant_decimals(double value) {
    char text[64];
    auto r = std::to_chars(text, text + sizeof text - 1, value, std::chars_format::general, 15);
    *(r.ec == std::errc() ? r.ptr : text) = '\0';  // the %.15g form
    const char* e = std::strpbrk(text, "eE");
    int exponent = e ? std::atoi(e + 1) : 0;
    const char* point = std::strchr(text, '.');
    int fraction = 0;
    if (point) fraction = static_cast<int>((e ? e : text + std::strlen(text)) - point - 1);
    int decimals = fraction - exponent;
    return decimals < 0 ? 0 : decimals > TBX_MAX_DECIMALS ? TBX_MAX_DECIMALS : decimals;
}

int text_significant_decimals(const char* t, double value) {
    // [sign] digits [. digits] [e [sign] digits], nothing else.  Digit i
    // (counted over both parts) stands at decimal place i - whole + 1.
    const char* p = t;
    if (*p == '-' || *p == '+') ++p;
    int whole = 0, count = 0, first = -1, last = -1;
    for (; *p >= '0' && *p <= '9'; ++p, ++whole, ++count) {
        if (*p != '0') last = count, first = first < 0 ? count : first;
    }
    if (*p == '.') {
        for (++p; *p >= '0' && *p <= '9'; ++p, ++count) {
            if (*p != '0') last = count, first = first < 0 ? count : first;
        }
    }
    long exponent = 0;
    if (count > 0 && (*p == 'e' || *p == 'E')) {
        char* end = nullptr;
        exponent = std::strtol(p + 1, &end, 10);
        p = end == p + 1 ? p : end;
    }
    // More than fifteen digits (the double's fifteen are another text), a
    // text of another form or a number out of range: from the number.
    if (count == 0 || *p || !std::isfinite(value) || exponent > 400 || exponent < -400 ||
        (first >= 0 && last - first + 1 > 15)) {
        return significant_decimals(value);
    }
    if (first < 0) return 0;  // zero
    long decimals = static_cast<long>(last - whole + 1) - exponent;
    if (decimals > TBX_MAX_DECIMALS) return significant_decimals(value);
    return decimals < 0 ? 0 : static_cast<int>(decimals);
}

namespace {

// Empties the cell's value: its text freed (a pooled one stays in its block),
// the number 0, no longer an error value.
void clear_value(XLS_CELL* cell) {
    if (cell->flags & TABX_CELL_TEXT) tbx_free_cell_text(cell->text);
    cell->flags = static_cast<unsigned char>(cell->flags & ~(TABX_CELL_TEXT | TABX_CELL_ERROR));
    cell->number = 0;
}

void set_text(XLS_CELL* cell, char* text) {
    clear_value(cell);
    cell->text = text;
    cell->flags |= TABX_CELL_TEXT;
}

void set_number(XLS_CELL* cell, double number) {
    clear_value(cell);
    cell->number = number;
    cell->decimals = 0;
}

// True when an INTEGER survives as a double: its text is then rendered
// from the number when asked for (cell_value_text).
bool integer_as_number(int64_t n) {
    double d = static_cast<double>(n);
    return d >= -9223372036854775808.0 && d < 9223372036854775808.0 && static_cast<int64_t>(d) == n;
}

}  // namespace

int put_typed_value(int type, XLS_CELL* cell, const tbx_value* v) {
    if (!cell || !v) return -1;
    switch (type) {
    case TBX_EMPTY:
        clear_value(cell);
        cell->type = TBX_EMPTY;
        return 0;
    case TBX_CHARACTER: {
        const char* s = v->text ? v->text : "";
        char* copy = dup_bytes(v, s, std::strlen(s));
        if (!copy) return -2;
        set_text(cell, copy);
        break;
    }
    case TBX_INTEGER: {
        if (integer_as_number(v->integer)) {
            set_number(cell, static_cast<double>(v->integer));
        } else {
            char* copy = dup_integer(v, static_cast<long long>(v->integer));
            if (!copy) return -2;
            set_text(cell, copy);
        }
        cell->value = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(v->integer)));
        break;
    }
    case TBX_FLOAT:
    case TBX_PERCENT: {
        // The number and the decimals of its text; a number that is none
        // keeps printf's spelling as its text.
        if (std::isfinite(v->number)) {
            set_number(cell, v->number == 0 ? 0.0 : v->number);  // -0 is 0
            cell->decimals = precision_of(v->decimals);
        } else {
            char* copy = dup_fixed(v, v->number, precision_of(v->decimals));
            if (!copy) return -2;
            set_text(cell, copy);
        }
        cell->value = truncated(v->number);
        break;
    }
    case TBX_DATE: {
        double serial = 0;
        if (datetime_to_serial(v->year, v->month, v->day, 0, 0, 0, &serial) != 0) return -4;
        set_number(cell, static_cast<double>(truncated(serial)));
        cell->value = truncated(serial);
        break;
    }
    case TBX_DATE_TIME:
    case TBX_TIME_HM:
    case TBX_TIME_HMS: {
        int y = v->year, m = v->month, d = v->day;
        if (y < 1900) y = m = d = 0;  // a pure time of day
        double serial = 0;
        if (datetime_to_serial(y, m, d, v->hour, v->minute, v->second, &serial) != 0) return -4;
        double time = (v->hour * 3600.0 + v->minute * 60.0 + v->second) / 86400.0;
        char* copy = dup_fixed(v, time, 6);
        if (!copy) return -2;
        set_text(cell, copy);
        cell->value = truncated(serial);
        break;
    }
    case TBX_SHARED_STRING:
        clear_value(cell);
        cell->value = v->index;
        break;
    case TBX_FORMULA:
    case TBX_FORMULA_ARRAY: {
        const char* f = v->text ? v->text : "";
        char* copy = static_cast<char*>(std::malloc(std::strlen(f) + 1));  // formulas: never pooled
        if (!copy) return -2;
        std::strcpy(copy, f);
        set_text(cell, copy);
        break;
    }
    default:
        return -1;
    }
    cell->type = static_cast<signed char>(type);
    return 0;
}

void value_from_serial(double serial, tbx_value* v) {
    int y, mo, d, h, mi, s;
    serial_to_datetime(serial, &y, &mo, &d, &h, &mi, &s);
    v->year = static_cast<int16_t>(y);
    v->month = static_cast<int16_t>(mo);
    v->day = static_cast<int16_t>(d);
    v->hour = static_cast<int16_t>(h);
    v->minute = static_cast<int16_t>(mi);
    v->second = static_cast<int16_t>(s);
}

int put_number_cell(XLS_BOOK* book, XLS_CELL* cell, int t, double value) {
    tbx_value v;
    v.book = book;
    const bool exact = tbx_exact_values(book);
    if (t == TBX_PERCENT) {
        v.number = value;
        // Classic: printed with "%lf", six decimals; else the fifteen
        // significant digits a workbook keeps.
        v.decimals = exact ? significant_decimals(value) : 6;
        return put_typed_value(TBX_PERCENT, cell, &v);
    }
    if (t == TBX_DATE || t == TBX_DATE_TIME || t == TBX_TIME_HM || t == TBX_TIME_HMS) {
        if (!exact) {
            value_from_serial(value, &v);
            return put_typed_value(t, cell, &v);
        }
        if (!std::isfinite(value)) value = 0;
        // The serial as it is: its day in the payload, the whole serial as
        // the number.
        double day = std::floor(value);
        if (day < -2147483648.0 || day > 2147483647.0) day = value < 0 ? -2147483648.0 : 2147483647.0;
        set_number(cell, value);
        cell->value = static_cast<int>(day);
        cell->type = static_cast<signed char>(t);
        return 0;
    }
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9223372036854775808.0) {
        v.integer = static_cast<int64_t>(value);
        return put_typed_value(TBX_INTEGER, cell, &v);
    }
    v.number = value;
    v.decimals = significant_decimals(value);
    return put_typed_value(TBX_FLOAT, cell, &v);
}

const char* cell_text(const XLS_CELL* cell) {
    return (cell->flags & TABX_CELL_TEXT) && cell->text ? cell->text : "";
}

namespace {

constexpr double k_two52 = 4503599627370496.0;
constexpr int64_t k_two52_int = int64_t{1} << 52;

// x rounded to d decimals, where that needs no general printer: x is the
// double nearest to m / 10^d for an integer |m| below 2^52 (10^d and m are
// exact doubles, so the one division rounds that quotient correctly).  Then
// x's step times 10^d is below 1: x lies within half a step of m / 10^d,
// nearer than half the spacing of d decimals, so x rounds to m / 10^d
// itself (no tie can arise), and that decimal, read back, is the nearest
// double to it again: x.  Zero is 0 only when x is +0 (to_chars writes
// -0 with its sign).  False where it cannot tell (the general printer
// then decides).
bool exact_fixed(double x, int d, int64_t* m) {
    static const double k_p10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                   1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    if (d < 0 || d > 22) return false;
    const double scaled = x * k_p10[d];
    if (!(std::fabs(scaled) < k_two52)) return false;
    const int64_t r = static_cast<int64_t>(std::nearbyint(scaled));
    // (scaled just below 2^52 can still round up to it.)
    if (r >= k_two52_int || r <= -k_two52_int) return false;
    if (static_cast<double>(r) / k_p10[d] != x || (r == 0 && std::signbit(x))) return false;
    *m = r;
    return true;
}

// m / 10^d with d decimals, as to_chars writes it in fixed form; the end.
char* write_fixed(int64_t m, int d, char* out) {
    char digits[24];
    uint64_t a = m < 0 ? static_cast<uint64_t>(-m) : static_cast<uint64_t>(m);
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + a % 10);
        a /= 10;
    } while (a);
    if (m < 0) *out++ = '-';
    if (n <= d) {
        *out++ = '0';
        *out++ = '.';
        for (int i = n; i < d; ++i) *out++ = '0';
        while (n > 0) *out++ = digits[--n];
        return out;
    }
    while (n > d) *out++ = digits[--n];
    if (d > 0) {
        *out++ = '.';
        while (n > 0) *out++ = digits[--n];
    }
    return out;
}

}  // namespace

const char* cell_value_text(const XLS_CELL* cell, char* buf) {
    if (cell->flags & TABX_CELL_TEXT) return cell->text ? cell->text : "";
    buf[0] = '\0';
    const double x = cell->number;
    std::to_chars_result r{buf, std::errc()};
    switch (cell->type) {
    case TBX_INTEGER:
        r = std::to_chars(buf, buf + TBX_VALUE_TEXT_BUF - 1, static_cast<long long>(x));
        break;
    case TBX_FLOAT:
    case TBX_PERCENT: {
        const int d = precision_of(cell->decimals);
        int64_t m;
        if (exact_fixed(x, d, &m)) {
            *write_fixed(m, d, buf) = '\0';
            return buf;
        }
        r = std::to_chars(buf, buf + TBX_VALUE_TEXT_BUF - 1, x, std::chars_format::fixed, d);
        break;
    }
    case TBX_DATE:
    case TBX_DATE_TIME:
    case TBX_TIME_HM:
    case TBX_TIME_HMS:
        // The rest of the serial beyond its day.
        r = std::to_chars(buf, buf + TBX_VALUE_TEXT_BUF - 1, x - static_cast<double>(cell->value));
        break;
    default:
        break;
    }
    *(r.ec == std::errc() ? r.ptr : buf) = '\0';
    return buf;
}

double cell_number(const XLS_CELL* cell) {
    double x = 0;
    switch (cell->type) {
    case TBX_INTEGER:
    case TBX_FLOAT:
    case TBX_PERCENT: {
        if ((cell->flags & TABX_CELL_TEXT) && !cell->text) return cell->value;
        if (!(cell->flags & TABX_CELL_TEXT)) {
            // Where the text is known to read back as the number itself.
            int64_t m;
            if (cell->type == TBX_INTEGER && std::fabs(cell->number) < k_two52)
                return static_cast<double>(static_cast<long long>(cell->number));
            if (cell->type != TBX_INTEGER && exact_fixed(cell->number, precision_of(cell->decimals), &m))
                return cell->number;
        }
        // The number as its text shows it: a FLOAT of fifteen significant
        // digits is that, not the double it was read as (0.1 + 0.2 is 0.3).
        char buf[TBX_VALUE_TEXT_BUF];
        const char* t = cell_value_text(cell, buf);
        const char* b = *t == '+' ? t + 1 : t;
        auto r = std::from_chars(b, b + std::strlen(b), x);
        if (r.ec != std::errc()) x = tbx_strtod(t);
        return x;
    }
    case TBX_DATE:
    case TBX_DATE_TIME:
    case TBX_TIME_HM:
    case TBX_TIME_HMS:
        if (!(cell->flags & TABX_CELL_TEXT)) {
            const double day = cell->value;
            return day + (cell->number - day);
        }
        if (const char* t = cell->text; t && *t) {
            auto r = std::from_chars(t, t + std::strlen(t), x);
            if (r.ec != std::errc()) x = 0;
        }
        return cell->value + x;
    default:
        return 0;
    }
}

int put_number(XLS_BOOK* book, int sheet, int row, int column, int numfmt_id, int xf_index,
               double value) {
    XLS_CELL* cell = nullptr;
    int rc = tbx_ensure_cell(book, sheet, row, column, &cell);
    if (rc != 0) return rc;
    rc = put_number_cell(book, cell, value_type_of_format(book, numfmt_id), value);
    if (rc == 0) cell->xf = xf_index;
    return rc;
}
