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
#include "tbx_private.h"
#include "tbx_store.h"

namespace {

// Precision of a FLOAT or PERCENT text: the record's decimal count, kept in
// the range printf can honour (a negative count would make no format).
int precision_of(int decimals) { return decimals < 0 ? 0 : decimals > 40 ? 40 : decimals; }

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
    char buf[400];  // DBL_MAX has 309 digits, plus sign, point and 40 decimals
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
// needs 7, 0.1 + 0.2 needs 1 (0.3).  Six decimals would turn the first two
// into "2" and "0".  At most 40.
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
    return decimals < 0 ? 0 : decimals > 40 ? 40 : decimals;
}

namespace {

void replace_text(XLS_CELL* cell, char* text) {
    tbx_free_cell_text(cell->text);
    cell->text = text;
}

}  // namespace

int put_typed_value(int type, XLS_CELL* cell, const tbx_value* v) {
    if (!cell || !v) return -1;
    switch (type) {
    case TBX_EMPTY:
        cell->type = TBX_EMPTY;
        return 0;
    case TBX_CHARACTER: {
        const char* s = v->text ? v->text : "";
        char* copy = dup_bytes(v, s, std::strlen(s));
        if (!copy) return -2;
        replace_text(cell, copy);
        break;
    }
    case TBX_INTEGER: {
        char* copy = dup_integer(v, static_cast<long long>(v->integer));
        if (!copy) return -2;
        replace_text(cell, copy);
        cell->value = static_cast<int>(static_cast<uint32_t>(static_cast<uint64_t>(v->integer)));
        break;
    }
    case TBX_FLOAT:
    case TBX_PERCENT: {
        char* copy = dup_fixed(v, v->number, precision_of(v->decimals));
        if (!copy) return -2;
        replace_text(cell, copy);
        cell->value = truncated(v->number);
        break;
    }
    case TBX_DATE: {
        double serial = 0;
        if (datetime_to_serial(v->year, v->month, v->day, 0, 0, 0, &serial) != 0) return -4;
        replace_text(cell, nullptr);
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
        replace_text(cell, copy);
        cell->value = truncated(serial);
        break;
    }
    case TBX_SHARED_STRING:
        cell->value = v->index;
        break;
    case TBX_FORMULA:
    case TBX_FORMULA_ARRAY: {
        const char* f = v->text ? v->text : "";
        char* copy = static_cast<char*>(std::malloc(std::strlen(f) + 1));  // formulas: never pooled
        if (!copy) return -2;
        std::strcpy(copy, f);
        std::free(cell->formula);
        cell->formula = copy;
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
        v.decimals = static_cast<signed char>(exact ? significant_decimals(value) : 6);
        return put_typed_value(TBX_PERCENT, cell, &v);
    }
    if (t == TBX_DATE || t == TBX_DATE_TIME || t == TBX_TIME_HM || t == TBX_TIME_HMS) {
        if (!exact) {
            value_from_serial(value, &v);
            return put_typed_value(t, cell, &v);
        }
        if (!std::isfinite(value)) value = 0;
        // The serial as it is: whole days in the payload, the rest of the
        // day as the value text (the shortest text that reads back the same
        // double, so that day + rest is the serial again).
        double day = std::floor(value);
        if (day < -2147483648.0 || day > 2147483647.0) day = value < 0 ? -2147483648.0 : 2147483647.0;
        double rest = value - day;
        char buf[64];
        auto r = std::to_chars(buf, buf + sizeof buf, rest);
        char* copy = dup_bytes(&v, buf, static_cast<size_t>(r.ptr - buf));
        if (!copy) return -2;
        replace_text(cell, copy);
        cell->value = static_cast<int>(day);
        cell->type = static_cast<signed char>(t);
        return 0;
    }
    if (std::isfinite(value) && value == std::trunc(value) && std::fabs(value) < 9223372036854775808.0) {
        v.integer = static_cast<int64_t>(value);
        return put_typed_value(TBX_INTEGER, cell, &v);
    }
    v.number = value;
    v.decimals = static_cast<signed char>(significant_decimals(value));
    return put_typed_value(TBX_FLOAT, cell, &v);
}

double cell_number(const XLS_CELL* cell) {
    const char* t = cell->text;
    double x = 0;
    switch (cell->type) {
    case TBX_INTEGER:
    case TBX_FLOAT:
    case TBX_PERCENT:
        if (!t) return cell->value;
        {
            const char* b = *t == '+' ? t + 1 : t;
            auto r = std::from_chars(b, b + std::strlen(b), x);
            if (r.ec != std::errc()) x = std::strtod(t, nullptr);
        }
        return x;
    case TBX_DATE:
    case TBX_DATE_TIME:
    case TBX_TIME_HM:
    case TBX_TIME_HMS:
        if (t && *t) {
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
