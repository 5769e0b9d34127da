// Number formats: the internal format type of a format code, the value type
// of a number-format id, and the type that applies to a cell on display.
//
// A format code is not parsed.  It is searched byte by byte for a fixed list
// of sample codes, in order, and the first sample found decides.  The samples
// come in two spellings: the legacy reader keeps quotes as '"', the Open XML
// reader as "&quot;".  Japanese samples are Shift-JIS, as the codes are.
#include <cstring>
#include <string>

#include "cell_format.h"
#include "number_format.h"
#include "tbx_private.h"

namespace {

#define Q "&quot;"

bool has(const char* code, const char* sample) { return std::strstr(code, sample) != nullptr; }

bool sjis_lead(unsigned char c) { return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC); }

// The code with every backslash-escaped Japanese character written between
// double quotes, the spelling of the samples: some writers escape the
// characters of yyyy"年"m"月"d"日" one by one (yyyy\年m\月d\日).  Empty when
// the code holds no such escape.
std::string quoted_escapes(const char* code) {
    std::string out;
    bool any = false;
    for (const char* p = code; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (c == '\\' && sjis_lead(static_cast<unsigned char>(p[1])) && p[2]) {
            out += '"';
            out.append(p + 1, 2);
            out += '"';
            p += 2;
            any = true;
        } else {
            out += *p;
            if (sjis_lead(c) && p[1]) out += *++p;
        }
    }
    return any ? out : std::string();
}

// What the code holds outside quoted texts, escaped and padding characters,
// Japanese characters and bracketed parts: the lower-cased placeholder
// letters and symbols.
std::string placeholders(const char* code) {
    std::string out;
    bool quoted = false;
    for (const char* p = code; *p; ++p) {
        unsigned char c = static_cast<unsigned char>(*p);
        if (std::strncmp(p, Q, 6) == 0) {
            quoted = !quoted;
            p += 5;
        } else if (c == '"') {
            quoted = !quoted;
        } else if (sjis_lead(c)) {
            if (p[1]) ++p;
        } else if (quoted) {
            continue;
        } else if (c == '\\' || c == '_' || c == '*') {
            if (!p[1]) break;
            ++p;
            if (sjis_lead(static_cast<unsigned char>(*p)) && p[1]) ++p;
        } else if (c == '[') {
            const char* end = std::strchr(p, ']');
            if (!end) break;
            p = end;
        } else {
            out += static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        }
    }
    return out;
}

// Rules beyond the samples, at their place in the list.
enum {
    RULE_YMD_AT_END = -1,  // the code ends in yyyy/m/d: a date (302)
    RULE_DATE_TIME = -2,   // year, day and hour placeholders: date and time (303, 304)
    RULE_PERCENT = -3,     // a percent sign outside quotes: percentage (501)
};

struct sample_row {
    const char* samples[4];  // any of them decides; unused slots are null
    int type;                // or a RULE_ code
    int type_with_ampm;      // the type when the code also holds "AM/PM" (0: same)
};

// The order matters: a code holding h"時"mm"分"ss"秒" is decided by the
// hour-minute row, and d\-mmm\-yy by the d-mmm row.
const sample_row kRows[] = {
    {{"yyyy/m/d\\ h:mm"}, 303, 304},
    {{"yyyy/m/d;"}, 302, 0},
    {{nullptr}, RULE_YMD_AT_END, 0},
    {{"ggge"}, 335, 0},
    {{"ge"}, 334, 0},
    {{"dddd"}, 341, 0},
    {{"ddd"}, 340, 0},
    {{"aaaa", "AAAA"}, 343, 0},
    {{"aaa", "AAA"}, 342, 0},
    {{"yyyy" Q SJ_NEN Q "m" Q SJ_GETSU Q "d" Q SJ_NICHI Q ";",
      "yyyy\"" SJ_NEN "\"m\"" SJ_GETSU "\"d\"" SJ_NICHI "\""},
     333, 0},
    {{"m" Q SJ_GETSU Q "d" Q SJ_NICHI Q ";", "m\"" SJ_GETSU "\"d\"" SJ_NICHI "\""}, 331, 0},
    {{"yyyy" Q SJ_NEN Q "m" Q SJ_GETSU Q ";", "yyyy\"" SJ_NEN "\"m\"" SJ_GETSU "\""}, 332, 0},
    {{"h" Q SJ_JI Q "mm" Q SJ_FUN Q ";", "h\"" SJ_JI "\"mm\"" SJ_FUN "\""}, 402, 0},
    {{"h" Q SJ_JI Q "mm" Q SJ_FUN Q "ss" Q SJ_BYO Q,
      "h\"" SJ_JI "\"mm\"" SJ_FUN "\"ss\"" SJ_BYO "\""},
     405, 0},
    {{"m" Q SJ_GETSU Q, "m\"" SJ_GETSU "\""}, 330, 0},
    {{nullptr}, RULE_DATE_TIME, 0},
    {{"h:mm:ss"}, 404, 406},
    {{"h:mm"}, 401, 403},
    {{"mm:ss"}, 407, 0},
    {{"m/d/yy"}, 307, 0},
    {{"mm/dd/yy"}, 308, 0},
    {{"d\\-mmm"}, 309, 0},
    {{"mmmmm\\-yy"}, 315, 0},
    {{"mmmm\\-yy"}, 313, 0},
    {{"mmm\\-yy"}, 312, 0},
    {{"mmmmm"}, 314, 0},
    {{"m/d"}, 306, 0},
    {{nullptr}, RULE_PERCENT, 0},
    // Currency: a backslash-dollar, a yen sign (0xA5) or a backslash between
    // double quotes, in either spelling.
    {{"\\$", "\"\xa5\"", "\"\\\"", Q "\\" Q}, 201, 0},
    {{"#,##0"}, 107, 0},
};

}  // namespace

int classify_format_code(const char* code) {
    if (!code) return TBX_FMT_PLAIN;
    const std::string quoted = quoted_escapes(code);
    const std::string marks = placeholders(code);
    const bool date = marks.find('y') != std::string::npos && marks.find('d') != std::string::npos;
    for (const sample_row& row : kRows) {
        bool found = false;
        switch (row.type) {
        case RULE_YMD_AT_END: {
            size_t n = std::strlen(code);
            if (n >= 8 && std::strcmp(code + n - 8, "yyyy/m/d") == 0) return TBX_FMT_DATE;
            continue;
        }
        case RULE_DATE_TIME:
            if (date && marks.find('h') != std::string::npos) {
                return has(code, "AM/PM") ? 304 : TBX_FMT_DATE_TIME;
            }
            continue;
        case RULE_PERCENT:
            if (marks.find('%') != std::string::npos) return TBX_FMT_PERCENT;
            continue;
        default:
            break;
        }
        for (const char* sample : row.samples) {
            if (sample && (has(code, sample) || (!quoted.empty() && has(quoted.c_str(), sample)))) {
                found = true;
                break;
            }
        }
        if (found) return (row.type_with_ampm && has(code, "AM/PM")) ? row.type_with_ampm : row.type;
    }
    // Hidden: a code of nothing but an empty quoted text.
    if (std::strcmp(code, "\"\"") == 0 || std::strcmp(code, Q Q) == 0 ||
        std::strcmp(code, "\"" Q Q "\"") == 0) {
        return TBX_FMT_HIDDEN;
    }
    // Year, month and day in another order or with other separators
    // (yyyy-mm-dd, dd/mm/yyyy, yyyymmdd): a date rather than its day alone.
    if (date) return TBX_FMT_DATE;
    if (has(code, "d")) return 319;
    if (has(code, Q "%" Q)) return TBX_FMT_PERCENT;
    return TBX_FMT_PLAIN;
}

namespace {

const XLS_NUMFMT* find_numfmt(const XLS_BOOK* book, int id) {
    for (int i = 0; i < book->numfmt_count; ++i) {
        if (book->numfmt[i].id == id) return &book->numfmt[i];
    }
    return nullptr;
}

}  // namespace

int value_type_of_format(const XLS_BOOK* book, int id) {
    // A number format that the workbook itself defines decides, as it does
    // when the cell is displayed: some writers give their own formats ids
    // below 164 (a yyyy/m/d h:mm under id 55 is not the built-in date 55).
    const XLS_NUMFMT* f = find_numfmt(book, id);
    const bool engine = tbx_exact_values(book) && tbx_priv(book);
    if (f && engine) {
        // The compiled code decides: its first section's date, time and
        // percent parts, outside quotes, brackets and escapes.
        return nf_value_type(tbx_format_of_id(book, id));
    }
    if (!f) {
        switch (id) {
        case 9: case 10: return TBX_PERCENT;
        case 14: case 15: case 16: case 17: case 30: case 31: case 55: case 56: case 58:
            return TBX_DATE;
        case 18: case 20: case 32: return TBX_TIME_HM;
        case 19: case 21: case 33: case 45: case 46: case 47: return TBX_TIME_HMS;
        case 22: return TBX_DATE_TIME;
        default:
            // The Japanese date forms (27-29, 34-36, 50-54, 57) are dates.
            if (engine && nf_builtin_code(id)) return nf_value_type(tbx_format_of_id(book, id));
            return TBX_GENERAL_NUMBER;  // 0 General, 49 text, ...
        }
    }
    int t = f->type;
    if (t >= 301 && t <= 302) return TBX_DATE;
    if (t >= 303 && t <= 304) return TBX_DATE_TIME;
    if (t >= 305 && t <= 315) return TBX_DATE;
    if (t == 319) return TBX_DATE;
    if (t >= 330 && t <= 335) return TBX_DATE;
    if (t >= 340 && t <= 343) return TBX_DATE;
    if (t >= 401 && t <= 407) return TBX_DATE_TIME;
    if (t == 501) return TBX_PERCENT;
    return TBX_GENERAL_NUMBER;
}

int display_type_of_cell(const XLS_BOOK* book, const XLS_CELL* cell) {
    // A cell whose format index lies outside the table has no number format.
    int f = (cell->xf >= 0 && cell->xf < book->xf_count) ? book->xf[cell->xf].numfmt : -1;
    const XLS_NUMFMT* entry = find_numfmt(book, f);
    if (entry && entry->type != 0) return entry->type;
    switch (f) {
    // #,##0 (3), #,##0.00 (4) and the #,##0 forms with negatives (37-40).
    case 3: case 4: case 37: case 38: case 39: case 40: case 177: case 178:
        return TBX_FMT_THOUSANDS;
    case 5: return TBX_FMT_CURRENCY;
    case 18: return 403;
    case 19: return 406;
    case 20: return 401;
    case 21: return 404;
    case 32: return 402;
    case 33: return 405;
    case 45: case 46: case 47: return 407;
    default: break;
    }
    switch (cell->type) {
    case TBX_DATE: case TBX_DATE_TIME: return TBX_FMT_DATE;
    case TBX_TIME_HM: case TBX_TIME_HMS: return TBX_FMT_TIME_HMS;
    default: return 0;
    }
}
