// Worksheet handlers: rows and cells of a worksheet member into the store.
//
// A cell arrives as "<c r=.. s=.. t=..>" with its "f" (formula) and "v"
// (value) leaves, or an "is" inline string.  The start tag decides the
// pending value type: the number-format kind of the cell format ("s"), a
// shared-string index (t="s"), or a text kind; the "v" leaf stores the value
// by that type.
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cell_format.h"
#include "number_text.h"
#include "tbx_private.h"
#include "tbx_formulas.h"
#include "tbx_store.h"
#include "xlsx_scan.h"

namespace {

bool is_date_kind(int t) {
    return t == TBX_DATE || t == TBX_DATE_TIME || t == TBX_TIME_HM || t == TBX_TIME_HMS;
}

bool load_mode(const XLS_BOOK* book) { return book->style_keep == 0; }

// A NUL-terminated copy of at most max bytes of a view.
struct small_text {
    std::string copy;
    const char* buf;
    explicit small_text(std::string_view v, size_t max = XML_VALUE_MAX)
        : copy(v.substr(0, max)), buf(copy.c_str()) {}
};

// The number of decimals that a number text shows: the digits after its
// point, moved by its exponent.
int decimals_of(const char* t) {
    const char* point = std::strchr(t, '.');
    int digits = 0;
    if (point) {
        for (const char* p = point + 1; *p >= '0' && *p <= '9'; ++p) ++digits;
    }
    const char* e = std::strpbrk(t, "eE");
    if (e) digits -= static_cast<int>(std::strtol(e + 1, nullptr, 10));
    if (digits < 0) digits = 0;
    if (digits > TBX_MAX_DECIMALS) digits = TBX_MAX_DECIMALS;
    return digits;
}

// The number of a value text, read as strtod reads it in the "C" locale
// (blanks before it, a "+", "1E+20") whatever the host's locale.
double number_of(const char* t) { return tbx_strtod(t); }

int store_text(XLS_BOOK* book, XLS_CELL* cell, const char* text) {
    tbx_value v;
    v.book = book;
    v.text = text;
    return put_typed_value(TBX_CHARACTER, cell, &v);
}

// A number text of the plain form a worksheet writes ("-12.50"): an
// optional "-", digits, optionally a point and digits, nothing else, and at
// most fifteen digits after its leading zeros.  Read once for all that
// store_number asks of it: its value is then exactly what strtod reads (its
// digits, an integer below 2^53, divided by a power of ten of at most 10^22,
// which a double holds exactly: one correctly rounded division).
struct plain_number {
    double value = 0;
    long long integer = 0;  // the digits, signed, when there is no point
    bool point = false;
    int fraction = 0;       // digits after the point
    int significant = 0;    // decimals up to the last digit that is not 0
};

bool read_plain_number(const char* t, plain_number* out) {
    static const double k_powers[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                      1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};
    const char* p = t;
    const bool negative = *p == '-';
    if (negative) ++p;
    long long m = 0;
    int digits = 0;  // counted from the first digit that is not 0
    const char* whole = p;
    for (; *p >= '0' && *p <= '9'; ++p) {
        if (m != 0 || *p != '0') ++digits;
        m = m * 10 + (*p - '0');
        if (digits > 15) return false;
    }
    if (p == whole) return false;
    if (*p == '.') {
        const char* first = ++p;
        for (; *p >= '0' && *p <= '9'; ++p) {
            if (m != 0 || *p != '0') ++digits;
            m = m * 10 + (*p - '0');
            if (digits > 15 || p - first >= 22) return false;
            if (*p != '0') out->significant = static_cast<int>(p - first) + 1;
        }
        if (p == first) return false;
        out->point = true;
        out->fraction = static_cast<int>(p - first);
    }
    if (*p) return false;
    double x = static_cast<double>(m);
    if (out->fraction > 0) x /= k_powers[out->fraction];
    out->value = negative ? -x : x;
    out->integer = negative ? -m : m;
    return true;
}

// A number text under a value type: 13 percentage, 20-24 date kinds, else
// a plain number (decimal when it holds a point or an exponent).
int store_number(XLS_BOOK* book, XLS_CELL* cell, const char* t, int type) {
    tbx_value v;
    v.book = book;
    plain_number plain;
    if (read_plain_number(t, &plain)) {
        // The same steps as below, on the number read once.
        const double x = plain.value;
        if (tbx_exact_values(book) && type == TBX_PERCENT) {
            v.number = x;
            v.decimals = plain.significant;
            return put_typed_value(TBX_PERCENT, cell, &v);
        }
        if (tbx_exact_values(book) && is_date_kind(type)) return put_number_cell(book, cell, type, x);
        if (type == TBX_PERCENT) {
            v.number = x;
            v.decimals = plain.fraction < 6 ? 6 : plain.fraction;
            return put_typed_value(TBX_PERCENT, cell, &v);
        }
        if (is_date_kind(type)) {
            value_from_serial(x, &v);
            int rc = put_typed_value(type, cell, &v);
            return rc == -4 ? 0 : rc;
        }
        if (plain.point) {
            v.number = x;
            v.decimals = plain.significant;
            return put_typed_value(TBX_FLOAT, cell, &v);
        }
        v.number = x;
        v.integer = plain.integer;
        return put_typed_value(TBX_INTEGER, cell, &v);
    }
    if (tbx_exact_values(book) && type == TBX_PERCENT) {
        // The number as it is, as put_number_cell keeps it.
        v.number = number_of(t);
        v.decimals = text_significant_decimals(t, v.number);
        return put_typed_value(TBX_PERCENT, cell, &v);
    }
    if (tbx_exact_values(book) && is_date_kind(type)) {
        return put_number_cell(book, cell, type, number_of(t));  // the number as it is
    }
    if (type == TBX_PERCENT) {
        v.number = number_of(t);
        int d = decimals_of(t);
        v.decimals = d < 6 ? 6 : d;
        return put_typed_value(TBX_PERCENT, cell, &v);
    }
    if (is_date_kind(type)) {
        value_from_serial(number_of(t), &v);
        int rc = put_typed_value(type, cell, &v);
        return rc == -4 ? 0 : rc;  // not a date: the cell keeps no value
    }
    if (std::strchr(t, '.')) {
        // The fifteen significant digits a workbook keeps, as in .xls:
        // "0.30000000000000004" is 0.3.
        v.number = number_of(t);
        v.decimals = text_significant_decimals(t, v.number);
        return put_typed_value(TBX_FLOAT, cell, &v);
    }
    if (std::strpbrk(t, "eE")) {
        // "1E+20": an exponent without point is still the whole number.
        double x = number_of(t);
        if (std::isfinite(x) && x == std::trunc(x) && std::fabs(x) < 9223372036854775808.0) {
            v.integer = static_cast<int64_t>(x);
            return put_typed_value(TBX_INTEGER, cell, &v);
        }
        v.number = x;
        v.decimals = decimals_of(t);
        return put_typed_value(TBX_FLOAT, cell, &v);
    }
    v.number = number_of(t);
    if (std::isfinite(v.number) && std::fabs(v.number) >= 9223372036854775808.0) {
        // An integer beyond 64 bits: the number it is, not the largest
        // 64-bit integer.
        v.decimals = 0;
        return put_typed_value(TBX_FLOAT, cell, &v);
    }
    v.integer = xml_leading_int(t);
    return put_typed_value(TBX_INTEGER, cell, &v);
}

int cell_here(xml_scan& s, XLS_CELL** cell) {
    if (s.row < 0 || s.column < 0) return -1;
    int rc = tbx_ensure_cell(s.book, s.sheet, s.row, s.column, cell);
    return rc == -3 || rc == -9 ? -1 : rc;
}

// "<row r=.. spans=.. ht=.. hidden=..>"
int on_row(xml_scan& s, std::string_view tag) {
    xml_attrs a(tag);
    std::string_view name, raw;
    int r = -1;
    while (a.next(name, raw)) {
        if (name == "r") {
            long long v = xml_leading_int(xml_unquoted(raw));
            r = v >= 1 && v <= 1048576 ? static_cast<int>(v) : 0;
        }
    }
    if (r == 0) return -1;
    if (r < 0) r = s.row + 2;  // a row without number follows the previous one
    if (r > 1048576) return -1;
    s.row = r - 1;
    s.column = -1;
    // Rows may come in any order: the row count is the highest row's number
    // (the store keeps it).
    int rc = tbx_ensure_row(s.book, s.sheet, s.row);
    if (rc != 0) return rc == -2 ? -2 : -1;
    return 0;
}

// The attributes of a cell that on_cell reads.
struct cell_attributes {
    std::string_view ref, style, type;
    bool has_ref = false, has_style = false, has_type = false;

    void take(std::string_view name, std::string_view value) {
        if (name.size() != 1) return;
        if (name[0] == 'r') ref = value, has_ref = true;
        else if (name[0] == 's') style = value, has_style = true;
        else if (name[0] == 't') type = value, has_type = true;
    }

    // The usual form of a cell's start tag, read by a scanner of its own:
    // "<c" and, each after blanks, name="value" (no other quoting, no blank
    // around "="), then ">" or "/>".  False for any other form, which the
    // general attribute reader then reads; in the usual form both read the
    // same names and values.
    bool read_usual(std::string_view tag) {
        const char* p = tag.data() + 2;  // after "<c"
        const char* end = tag.data() + tag.size();
        for (;;) {
            if (p >= end) return false;
            if (*p == '>' || (*p == '/' && p + 1 < end && p[1] == '>')) return p + (*p == '>' ? 1 : 2) == end;
            if (*p != ' ') return false;
            while (p < end && *p == ' ') ++p;
            const char* name = p;
            while (p < end && ((*p >= 'a' && *p <= 'z') || (*p >= 'A' && *p <= 'Z') || *p == ':')) ++p;
            if (p == name || end - p < 2 || p[0] != '=' || p[1] != '"') return false;
            const char* value = p + 2;
            const char* close = static_cast<const char*>(std::memchr(value, '"', static_cast<size_t>(end - value)));
            if (!close) return false;
            take(std::string_view(name, static_cast<size_t>(p - name)),
                 std::string_view(value, static_cast<size_t>(close - value)));
            p = close + 1;
        }
    }

    void read_any(std::string_view tag) {
        *this = cell_attributes();
        std::string_view name, raw;
        xml_attrs a(tag);
        while (a.next(name, raw)) take(name, xml_unquoted(raw));
    }
};

// "<c r=.. s=.. t=..>": the cell's position, format and pending value type.
// The attributes are read whatever their order: "t" decides over "s".
int on_cell(xml_scan& s, std::string_view tag) {
    s.pending = TBX_GENERAL_NUMBER;
    s.format_type = TBX_GENERAL_NUMBER;
    s.xf = s.reader->xf_base;
    s.cell_kind = 0;
    s.text.clear();
    cell_attributes at;
    if (tag.size() < 2 || !at.read_usual(tag)) at.read_any(tag);
    const std::string_view ref = at.ref, style = at.style, type = at.type;
    const bool has_ref = at.has_ref, has_style = at.has_style, has_type = at.has_type;
    if (has_ref) {
        if (xlsx_parse_ref(ref, &s.row, &s.column) != 0) return -1;
    } else {
        // A cell without reference follows the previous one in its row.
        if (s.row < 0) return -1;
        if (++s.column >= 16384) return -1;
    }
    XLS_CELL* cell = nullptr;
    // A cell written again replaces what it held: the later one counts.
    tbx_drop_formula(s.book, s.sheet, s.row, s.column);
    if (XLS_CELL* before = tbx_find_cell(s.book, s.sheet, s.row, s.column)) {
        if (before->type != TBX_EMPTY || before->flags) {
            tbx_value none;
            int rc = put_typed_value(TBX_EMPTY, before, &none);
            if (rc != 0) return rc;
            before->flags = 0;
        }
    }
    if (has_style) {
        long long x = xml_leading_int(style);
        int rc = tbx_ensure_row(s.book, s.sheet, s.row);
        if (rc != 0) return rc == -2 ? -2 : -1;
        rc = cell_here(s, &cell);
        if (rc != 0) return rc;
        long long index = s.reader->xf_base + x;
        if (x >= 0 && index < s.book->xf_count) {
            s.xf = static_cast<int>(index);
            s.format_type = value_type_of_format(s.book, s.book->xf[s.xf].numfmt);
            s.pending = s.format_type;
            cell->xf = s.xf;
        }
    }
    if (has_type) {
        if (type == "s") {
            s.pending = TBX_SHARED_STRING;
            s.cell_kind = 's';
        } else if (type == "str") {
            s.cell_kind = 'S';
            int rc = cell_here(s, &cell);
            if (rc != 0) return rc;
            cell->flags |= TABX_CELL_STR;
        } else if (type == "e") {
            s.cell_kind = 'e';
        } else if (type == "b") {
            s.cell_kind = 'b';
        } else if (type == "inlineStr") {
            s.cell_kind = 'i';
        } else if (type == "d") {
            s.cell_kind = 'd';
        }
    }
    return 0;
}

// "<f ...>" tag or the formula text.
int on_formula(xml_scan& s, int event, std::string_view text) {
    XLS_CELL* cell = nullptr;
    int rc = cell_here(s, &cell);
    if (rc != 0) return rc;
    std::string formula;
    if (event == XML_LEAF) {
        if (text.size() < XML_TEXT_MAX + 1) formula.assign(text);
        const char* prev = cell->type == TBX_FORMULA ? cell_text(cell) : "";
        size_t n = prev ? std::strlen(prev) : 0;
        if (n >= 2 && prev[0] == '<' && prev[n - 1] == '>') {
            // The formula had attributes: keep the whole element.
            formula = std::string(prev, n) + formula + "</f>";
        }
    } else {
        formula.assign(text);
    }
    tbx_value v;
    v.text = formula.c_str();
    rc = put_typed_value(TBX_FORMULA, cell, &v);
    if (rc != 0) return rc;
    s.pending = TBX_FORMULA;
    return 0;
}

// A decimal integer of at most 9 digits (a sign allowed where the C library
// allows one), stepping over it; false when none stands there.
bool read_int(const char*& p, int* out) {
    const char* q = p;
    bool negative = *q == '-';
    if (*q == '-' || *q == '+') ++q;
    int v = 0, n = 0;
    for (; *q >= '0' && *q <= '9' && n < 9; ++q, ++n) v = v * 10 + (*q - '0');
    if (n == 0) return false;
    *out = negative ? -v : v;
    p = q;
    return true;
}

// The time of an ISO 8601 text at p, "13:04" or "13:04:05.678": hours,
// minutes, whole seconds and the rest of the second.  False when there is
// none.
bool read_time(const char* p, int* h, int* mi, int* sec, double* fraction) {
    if (!read_int(p, h) || *p != ':' || !read_int(++p, mi)) return false;
    if (*p == ':' && read_int(++p, sec) && *p == '.') {
        double scale = 0.1;
        for (++p; *p >= '0' && *p <= '9' && scale > 1e-10; ++p, scale /= 10) *fraction += (*p - '0') * scale;
    }
    return true;
}

// The serial of an ISO 8601 date and time ("2024-01-05T13:04:05.678Z", a
// date alone or a time alone), its fraction of a second kept; false when
// the text is none.
bool iso_serial(const XLS_BOOK* book, const char* t, double* serial) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0;
    double fraction = 0;
    const char* p = t;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\r') ++p;
    const char* q = p;
    if (read_int(q, &y) && *q == '-' && read_int(++q, &mo) && *q == '-' && read_int(++q, &d)) {
        if (*q == 'T' && !read_time(q + 1, &h, &mi, &sec, &fraction)) h = mi = sec = 0, fraction = 0;
    } else if (read_time(p, &h, &mi, &sec, &fraction)) {
        y = mo = d = 0;
    } else {
        return false;
    }
    if (datetime_to_serial(y, mo, d, h, mi, sec, serial) != 0) return false;
    *serial += fraction / 86400;
    const tbx_private* p1904 = tbx_priv(book);
    if (p1904 && p1904->date1904 && y) *serial -= 1462;
    return true;
}

// A value of a text kind of cell ("str", "e", "b", "d"): its text,
// unescaped; a date (t="d") becomes its serial under the cell's format.
int store_kind_text(XLS_BOOK* book, XLS_CELL* cell, char kind, const char* t, int format_type) {
    if (kind == 'b') return store_text(book, cell, xml_leading_int(t) != 0 ? "TRUE" : "FALSE");
    if (kind == 'd' && tbx_exact_values(book)) {
        double serial = 0;
        if (iso_serial(book, t, &serial)) return put_number_cell(book, cell, format_type, serial);
    }
    std::string text(t);
    if (std::strchr(t, '&') && xml_unescape_text(text) != 0) text = t;
    int rc = store_text(book, cell, text.c_str());
    if (rc == 0 && kind == 'e') cell->flags |= TABX_CELL_ERROR;
    return rc;
}

// A shared-string index: the cell refers to that string; an index outside
// the table leaves it without value.
int store_shared_string(XLS_BOOK* book, XLS_CELL* cell, const char* t) {
    long long index = xml_leading_int(t);
    if (index < 0 || index >= book->sst_count) return 0;
    tbx_value v;
    v.index = static_cast<int32_t>(index);
    return put_typed_value(TBX_SHARED_STRING, cell, &v);
}

// The "v" leaf: the value by the pending value type.
int on_value(xml_scan& s, std::string_view text) {
    XLS_CELL* cell = nullptr;
    int rc = cell_here(s, &cell);
    if (rc != 0) return rc;
    const bool text_kind = s.cell_kind == 'S' || s.cell_kind == 'e' || s.cell_kind == 'b' ||
                           s.cell_kind == 'd';
    // A text is kept up to the longest cell text, a number up to its limit.
    small_text t(text, text_kind || s.pending == TBX_CHARACTER ? XML_TEXT_RAW_MAX : XML_VALUE_MAX);
    switch (s.pending) {
    case TBX_CHARACTER:
        rc = store_text(s.book, cell, t.buf);
        break;
    case TBX_SHARED_STRING:
        rc = store_shared_string(s.book, cell, t.buf);
        break;
    case TBX_FORMULA:
        s.text.clear();
        if (!load_mode(s.book)) break;  // the cell keeps its formula only
        if (s.cell_kind == 's') rc = store_shared_string(s.book, cell, t.buf);  // a text result by index
        else if (text_kind) rc = store_kind_text(s.book, cell, s.cell_kind, t.buf, s.format_type);
        else rc = store_number(s.book, cell, t.buf, s.format_type);
        break;
    default:
        if (text_kind) {
            rc = store_kind_text(s.book, cell, s.cell_kind, t.buf, s.format_type);
        } else if (s.pending == TBX_GENERAL_NUMBER || s.pending == TBX_INTEGER ||
                   s.pending == TBX_FLOAT || s.pending == TBX_PERCENT || is_date_kind(s.pending)) {
            rc = store_number(s.book, cell, t.buf, s.pending);
        }
        break;
    }
    if (rc != 0) return rc == -2 ? -2 : 0;
    cell->xf = s.xf;
    return 0;
}

// The end of an "is" (inline string): its text is the cell's value.
int on_inline_string(xml_scan& s) {
    std::string out;
    int rc = xml_take_text(s, out);
    if (rc != 0) return rc;
    XLS_CELL* cell = nullptr;
    rc = cell_here(s, &cell);
    if (rc != 0) return rc;
    rc = store_text(s.book, cell, out.c_str());
    if (rc != 0) return rc;
    cell->xf = s.xf;
    return 0;
}

int on_sheet_properties(xml_scan& s, std::string_view tag) {
    xml_attrs a(tag);
    std::string_view name, raw;
    while (a.next(name, raw)) {
        std::string_view v = xml_unquoted(raw);
        if (name == "codeName" || name == "CodeName") {
            if (v.size() <= 93) {
                char* dst = s.book->sheets[s.sheet].name2;
                std::memcpy(dst, v.data(), v.size());
                dst[v.size()] = '\0';
            }
        }
    }
    return 0;
}

}  // namespace

int xlsx_parse_ref(std::string_view ref, int* row, int* column) {
    size_t i = 0;
    if (i < ref.size() && ref[i] == '$') ++i;
    int letters = 0;
    long col = 0;
    for (; i < ref.size(); ++i) {
        char c = ref[i];
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (c < 'A' || c > 'Z') break;
        if (++letters > 3) return -1;
        col = col * 26 + (c - 'A' + 1);
    }
    if (letters == 0) return -1;
    if (i < ref.size() && ref[i] == '$') ++i;
    long r = 0;
    int digits = 0;
    for (; i < ref.size() && ref[i] >= '0' && ref[i] <= '9'; ++i) {
        if (++digits > 7) return -1;
        r = r * 10 + (ref[i] - '0');
    }
    if (digits == 0 || i != ref.size()) return -1;
    if (r < 1 || r > 1048576 || col > 16384) return -1;
    *row = static_cast<int>(r - 1);
    *column = static_cast<int>(col - 1);
    return 0;
}

int sheet_xml_event(xml_scan& s, int event, int code, std::string_view text) {
    if (xml_track_phonetic(s, event, code)) return 0;
    const bool tag = event == XML_START || event == XML_EMPTY;
    switch (code) {
    case X_ROW:
        return tag ? on_row(s, text) : 0;
    case X_C:
        if (event == XML_START) return on_cell(s, text);
        // A self-closing cell: a styled cell without value.  Read once, so
        // that a cell without reference after it takes the next column.
        if (event == XML_EMPTY) return on_cell(s, text);
        return 0;
    case X_V:
        if (event == XML_LEAF) return on_value(s, text);
        if (event == XML_EMPTY) return on_value(s, {});
        return 0;
    case X_F:
        if (int rc = xlsx_formula_event(s, event, text)) return rc;
        if (event == XML_LEAF) return on_formula(s, event, text);
        if (tag) {
            // Only a tag with attributes is kept as the formula's start.
            xml_attrs a(text);
            std::string_view n, raw;
            if (!a.next(n, raw)) return 0;
            return on_formula(s, event, text);
        }
        return 0;
    case X_T:
        // Text of an inline string: a direct "t" replaces, a run's "t"
        // appends, a phonetic run's "t" is left out.
        if (event != XML_LEAF || s.cell_kind != 'i') return 0;
        if (s.container == X_IS) {
            s.text.clear();
            xml_append_piece(s, text);
        } else if (s.container == X_R) {
            xml_append_piece(s, text);
        }
        return 0;
    case X_IS:
        if (s.cell_kind != 'i') return 0;
        if (event == XML_END || event == XML_LEAF || event == XML_EMPTY) return on_inline_string(s);
        s.text.clear();
        return 0;
    case X_SHEETPR:
        return tag ? on_sheet_properties(s, text) : 0;
    default:
        // Column widths and styles, row heights, merged ranges, print
        // settings and protection concern only a writer of the book.
        return 0;
    }
}
