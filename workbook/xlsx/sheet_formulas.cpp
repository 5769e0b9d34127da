// The formulas of a worksheet member, kept when the book keeps formulas.
//
// A formula cell carries an "f" element: its text as stored ("SUM(B2:B9)",
// no "="), with attributes for the formulas that span cells.  A shared
// formula (t="shared") is written once, at its first cell, with its range
// ("ref") and an index ("si"); the other cells carry only the index and take
// the first cell's text with their relative references moved by their
// distance from it, as Excel shows them.  An array formula (t="array") is
// kept once, at its first cell, with its range; a data table
// (t="dataTable") likewise as TABLE(row input, column input).
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>

#include "platform.h"
#include "tbx_formulas.h"
#include "xlsx_scan.h"

struct xlsx_sheet_formulas {
    struct shared {
        int row, column;
        std::string text;
    };
    std::unordered_map<std::string, shared> by_index;
    // The attributes of the "f" element being read.
    std::string type, ref, si, r1, r2;
    bool two_inputs = false, row_input = false;
};

namespace {

bool is_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }
bool is_digit(char c) { return c >= '0' && c <= '9'; }
bool is_name_char(char c) {
    return is_letter(c) || is_digit(c) || c == '_' || c == '.' || c == '\\' || static_cast<unsigned char>(c) >= 0x80;
}

// The text of the element as XML gives it: line ends folded to LF, then
// entity and character references resolved.
std::string unescaped(std::string_view raw) {
    std::string folded;
    folded.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r') {
            folded += '\n';
            if (i + 1 < raw.size() && raw[i + 1] == '\n') ++i;
        } else {
            folded += raw[i];
        }
    }
    std::string out;
    out.reserve(folded.size());
    for (size_t i = 0; i < folded.size(); ++i) {
        if (folded[i] != '&') {
            out += folded[i];
            continue;
        }
        size_t semi = folded.find(';', i);
        if (semi == std::string::npos || semi - i > 10) {
            out += '&';
            continue;
        }
        std::string_view ent(folded.data() + i + 1, semi - i - 1);
        unsigned long cp = 0;
        bool known = true;
        if (ent == "lt") cp = '<';
        else if (ent == "gt") cp = '>';
        else if (ent == "amp") cp = '&';
        else if (ent == "quot") cp = '"';
        else if (ent == "apos") cp = '\'';
        else if (ent.size() > 1 && ent[0] == '#') {
            const bool hex = ent[1] == 'x' || ent[1] == 'X';
            std::string digits(ent.substr(hex ? 2 : 1));
            char* end = nullptr;
            cp = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            known = !digits.empty() && end && *end == '\0' && cp > 0 && cp <= 0x10FFFF &&
                    !(cp >= 0xD800 && cp <= 0xDFFF);
        } else {
            known = false;
        }
        if (!known) {
            out += '&';
            continue;
        }
        plat_append_utf8(out, static_cast<uint32_t>(cp));
        i = semi;
    }
    return out;
}

std::string column_name(long column) {
    std::string s;
    for (long c = column; c > 0; c = (c - 1) / 26) s.insert(s.begin(), static_cast<char>('A' + (c - 1) % 26));
    return s;
}

// A column part ("$AB") at text[i]: its 1-based column and length, or 0.
size_t column_part(std::string_view t, size_t i, bool& absolute, long& column) {
    size_t j = i;
    absolute = j < t.size() && t[j] == '$';
    if (absolute) ++j;
    size_t letters = 0;
    column = 0;
    while (j < t.size() && is_letter(t[j]) && letters < 4) {
        column = column * 26 + ((t[j] & 0x1F));
        ++j;
        ++letters;
    }
    if (letters == 0 || letters > 3 || column > 16384) return 0;
    return j - i;
}

// A row part ("$12") at text[i]: its 1-based row and length, or 0.
size_t row_part(std::string_view t, size_t i, bool& absolute, long& row) {
    size_t j = i;
    absolute = j < t.size() && t[j] == '$';
    if (absolute) ++j;
    size_t digits = 0;
    row = 0;
    while (j < t.size() && is_digit(t[j]) && digits < 8) {
        row = row * 10 + (t[j] - '0');
        ++j;
        ++digits;
    }
    if (digits == 0 || row < 1 || row > 1048576) return 0;
    return j - i;
}

// True when no reference may end before text[i]: a name, a function call,
// a sheet or a structured reference goes on there.
bool continues(std::string_view t, size_t i) {
    return i < t.size() && (is_name_char(t[i]) || t[i] == '(' || t[i] == '[' || t[i] == '!' || t[i] == '$');
}

// The formula text of a shared formula's cell: the first cell's text with
// every relative row moved by dr and relative column by dc.  Strings, quoted
// sheet names and bracketed parts are copied as they are.
std::string moved(std::string_view t, long dr, long dc) {
    std::string out;
    size_t i = 0;
    auto put_column = [&](bool abs, long c) {
        long moved_c = abs ? c : c + dc;
        if (moved_c < 1 || moved_c > 16384) return false;
        out += abs ? "$" : "";
        out += column_name(moved_c);
        return true;
    };
    auto put_row = [&](bool abs, long r) {
        long moved_r = abs ? r : r + dr;
        if (moved_r < 1 || moved_r > 1048576) return false;
        out += abs ? "$" : "";
        out += std::to_string(moved_r);
        return true;
    };
    while (i < t.size()) {
        char c = t[i];
        if (c == '"' || c == '\'') {
            // A string or a quoted sheet name, its quote doubled inside.
            size_t j = i + 1;
            while (j < t.size()) {
                if (t[j] == c) {
                    if (j + 1 < t.size() && t[j + 1] == c) {
                        j += 2;
                        continue;
                    }
                    break;
                }
                ++j;
            }
            size_t end = j < t.size() ? j + 1 : t.size();
            out.append(t.substr(i, end - i));
            i = end;
            continue;
        }
        if (c == '[') {
            size_t depth = 0, j = i;
            for (; j < t.size(); ++j) {
                if (t[j] == '[') ++depth;
                else if (t[j] == ']' && --depth == 0) break;
            }
            size_t end = j < t.size() ? j + 1 : t.size();
            out.append(t.substr(i, end - i));
            i = end;
            continue;
        }
        const bool boundary = i == 0 || !is_name_char(t[i - 1]);
        if (boundary && (c == '$' || is_letter(c) || is_digit(c))) {
            bool ca = false, ra = false, ca2 = false, ra2 = false;
            long col = 0, row = 0, col2 = 0, row2 = 0;
            size_t n;
            // A cell: column and row.
            if ((n = column_part(t, i, ca, col)) > 0) {
                size_t m = row_part(t, i + n, ra, row);
                if (m > 0 && !continues(t, i + n + m)) {
                    size_t mark = out.size();
                    if (!put_column(ca, col) || !put_row(ra, row)) {
                        out.resize(mark);
                        out += "#REF!";
                    }
                    i += n + m;
                    continue;
                }
                // Whole columns: "A:C".
                if (m == 0 && i + n < t.size() && t[i + n] == ':') {
                    size_t k = column_part(t, i + n + 1, ca2, col2);
                    if (k > 0 && !continues(t, i + n + 1 + k)) {
                        size_t mark = out.size();
                        bool ok = put_column(ca, col);
                        out += ':';
                        if (!ok || !put_column(ca2, col2)) {
                            out.resize(mark);
                            out += "#REF!";
                        }
                        i += n + 1 + k;
                        continue;
                    }
                }
            } else if ((n = row_part(t, i, ra, row)) > 0 && i + n < t.size() && t[i + n] == ':') {
                // Whole rows: "2:4".
                size_t k = row_part(t, i + n + 1, ra2, row2);
                if (k > 0 && !continues(t, i + n + 1 + k) && (c == '$' || !is_digit(i > 0 ? t[i - 1] : ' '))) {
                    size_t mark = out.size();
                    bool ok = put_row(ra, row);
                    out += ':';
                    if (!ok || !put_row(ra2, row2)) {
                        out.resize(mark);
                        out += "#REF!";
                    }
                    i += n + 1 + k;
                    continue;
                }
            }
            // Any other name or number goes as it is, whole.
            size_t j = i + 1;
            while (j < t.size() && is_name_char(t[j])) ++j;
            out.append(t.substr(i, j - i));
            i = j;
            continue;
        }
        out += c;
        ++i;
    }
    return out;
}

// Reads the attributes of an "f" tag into the state.
void read_attributes(xlsx_sheet_formulas& f, std::string_view tag) {
    f.type.clear();
    f.ref.clear();
    f.si.clear();
    f.r1.clear();
    f.r2.clear();
    f.two_inputs = f.row_input = false;
    xml_attrs a(tag);
    std::string_view name, raw;
    while (a.next(name, raw)) {
        std::string v(xml_unquoted(raw));
        if (name == "t") f.type = v;
        else if (name == "ref") f.ref = v;
        else if (name == "si") f.si = v;
        else if (name == "r1") f.r1 = v;
        else if (name == "r2") f.r2 = v;
        else if (name == "dt2D") f.two_inputs = v == "1" || v == "true";
        else if (name == "dtr") f.row_input = v == "1" || v == "true";
    }
}

int keep(xml_scan& s, int status, const std::string& text, const std::string& range) {
    int rc = tbx_put_formula(s.book, s.sheet, s.row, s.column, status, text, range);
    return rc == -2 ? -2 : 0;
}

// The formula of the current cell, from the element's text and the
// attributes read before it.
int finish(xml_scan& s, xlsx_sheet_formulas& f, std::string_view raw) {
    if (s.row < 0 || s.column < 0) return 0;
    std::string text = unescaped(raw);
    if (f.type == "shared") {
        if (!text.empty() || f.by_index.find(f.si) == f.by_index.end()) {
            if (text.empty()) return keep(s, TBX_FORMULA_UNREADABLE, "a shared formula that is missing", "");
            f.by_index[f.si] = {s.row, s.column, text};
            return keep(s, TBX_FORMULA_OK, "=" + text, "");
        }
        const xlsx_sheet_formulas::shared& first = f.by_index[f.si];
        return keep(s, TBX_FORMULA_OK, "=" + moved(first.text, s.row - first.row, s.column - first.column), "");
    }
    if (f.type == "array") return keep(s, TBX_FORMULA_OK, "{=" + text + "}", f.ref);
    if (f.type == "dataTable") {
        std::string args = f.two_inputs ? f.r1 + "," + f.r2 : f.row_input ? f.r1 + "," : "," + f.r1;
        return keep(s, TBX_FORMULA_OK, "{=TABLE(" + args + ")}", f.ref);
    }
    return keep(s, TBX_FORMULA_OK, "=" + text, "");
}

}  // namespace

std::string xlsx_moved_formula(std::string_view text, long rows, long columns) { return moved(text, rows, columns); }

int xlsx_formula_event(xml_scan& s, int event, std::string_view text) {
    if (!tbx_keeps_formulas(s.book)) return 0;
    try {
        if (!s.formulas) s.formulas = std::make_shared<xlsx_sheet_formulas>();
        xlsx_sheet_formulas& f = *s.formulas;
        if (event == XML_START || event == XML_EMPTY) {
            read_attributes(f, text);
            return event == XML_EMPTY ? finish(s, f, {}) : 0;
        }
        if (event == XML_LEAF) {
            int rc = finish(s, f, text);
            f.type.clear();
            return rc;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return -2;
    }
}
