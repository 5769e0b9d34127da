// Rendering a cell as Excel would display it, by the closed list of internal
// format types:
//
//   100            plain number             107, 108    thousands separators
//   200-205        currency: "\" + grouped  900         hidden (empty)
//   501            percentage
//   301 y/m        302 y/m/d                303 y/m/d hh:mm
//   304 y/m/d hh:mm AM/PM                   305 m       306 m/d
//   307 m/d/yy     308 mm/dd/yy             309 d-mmm   310 d-mmm-yy
//   311 dd-mmm-yy  312 mmm-yy               313 mmmm-yy 314 mmmmm
//   315 mmmmm-yy   316 yyyymmdd             317 yyyymmddhhmmss
//   318 y/m/d hh:mm:ss                      319 d
//   330-333 m月, m月d日, y年m月, y年m月d日   334, 335 Japanese era
//   340-343 weekday: Sun, Sunday, 日, 日曜日
//   401 hh:mm      402 h時m分               403 hh:mm AM/PM
//   404 h:mm:ss    405 h時mm分ss秒          406 h:mm:ss AM/PM   407 mm:ss
//
// Date and time texts are Shift-JIS (code page 932); the others UTF-8.
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "cell_format.h"
#include "number_format.h"
#include "number_text.h"
#include "orb_text.h"
#include "tbx_private.h"

namespace {

constexpr size_t kMaxText = TBX_RENDER_BUF - 1;

void put(char* out, const std::string& s) {
    size_t n = s.size() < kMaxText ? s.size() : kMaxText;
    std::memcpy(out, s.data(), n);
    out[n] = '\0';
}

void put_bounded(char* out, const char* text, size_t len) {
    if (len > kMaxText) len = kMaxText;
    std::memcpy(out, text, len);
    out[len] = '\0';
}


std::string normalised(const char* text) {
    std::string s(text);
    s.push_back('\0');  // room for "" -> "0"
    normalise_number_text(s.data());
    s.resize(std::strlen(s.c_str()));
    return s;
}

std::string printed(const char* fmt, int precision, double v) {
    char buf[512];
    if (precision < 0) precision = 0;
    if (precision > 40) precision = 40;
    if (std::isfinite(v) && std::strcmp(fmt, "%.*f") == 0) {
        // The same digits as printf, without its format interpreter.
        auto r = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, precision);
        if (r.ec == std::errc()) return std::string(buf, r.ptr);
    }
    std::snprintf(buf, sizeof buf, fmt, precision, v);
    return buf;
}

std::string grouped(const char* text, int decimals) {
    bool negative = false;
    std::string digits;
    double fraction = 0;
    if (std::strchr(text, '.')) {
        double x = tbx_strtod(text);
        if (!std::isfinite(x)) x = 0;
        double whole = std::trunc(x);
        fraction = std::fabs(x - whole);
        negative = x < 0;
        char buf[400];
        auto r = std::to_chars(buf, buf + sizeof buf, std::fabs(whole), std::chars_format::fixed, 0);
        digits.assign(buf, r.ec == std::errc() ? r.ptr : buf);
    } else {
        // The integer part as a signed 64-bit integer; a text beyond that
        // range keeps its own digits.
        const char* p = text;
        while (*p == ' ') ++p;
        if (*p == '-' || *p == '+') negative = (*p++ == '-');
        while (*p == '0' && p[1] >= '0' && p[1] <= '9') ++p;
        while (*p >= '0' && *p <= '9') digits.push_back(*p++);
        if (digits.empty()) digits.assign(1, '0');
        if (digits == "0") negative = false;
    }
    std::string out;
    if (negative) out.push_back('-');
    int n = static_cast<int>(digits.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out.push_back(',');
        out.push_back(digits[i]);
    }
    if (decimals > 0) {
        std::string f = printed("%.*f", decimals, fraction);
        size_t point = f.find('.');
        if (point != std::string::npos) out += f.substr(point);
    } else if (fraction > 0) {
        std::string f = normalised(printed("%.*f", 6, fraction).c_str());
        size_t point = f.find('.');
        if (point != std::string::npos) out += f.substr(point);
    }
    return out;
}

bool is_date_kind(int type) {
    return type == TBX_DATE || type == TBX_DATE_TIME || type == TBX_TIME_HM ||
           type == TBX_TIME_HMS;
}

// The Japanese eras, decided on the split date.  Dates before an era's first
// day belong to the previous era, whose year count keeps running until then
// (1912-07-29 is Meiji 45, 1912-07-30 Taisho 1).  Reiwa began on
// 2019-05-01: counting Heisei years on past it would show 2024 as Heisei 36,
// which no reader of the workbook sees.
struct era {
    const char* letter;
    const char* name;  // Shift-JIS
    int year;
};

era era_of(int y, int m, int d) {
    static const char* const meiji = "\x96\xbe\x8e\xa1";   // 明治
    static const char* const taisho = "\x91\xe5\x90\xb3";  // 大正
    static const char* const showa = "\x8f\xba\x98\x61";   // 昭和
    static const char* const heisei = "\x95\xbd\x90\xac";  // 平成
    static const char* const reiwa = "\x97\xdf\x98\x61";   // 令和
    long key = y * 10000L + m * 100L + d;
    if (y <= 1911) return {"M", meiji, y - 1867};
    if (key <= 19120729) return {"M", meiji, 45};
    if (y <= 1925) return {"T", taisho, y - 1911};
    if (key <= 19261224) return {"T", taisho, 15};
    if (y <= 1988) return {"S", showa, y - 1925};
    if (key <= 19890107) return {"S", showa, 64};
    if (key <= 20190430) return {"H", heisei, y - 1988};
    return {"R", reiwa, y - 2018};
}

// 12-hour clock: 0 is 12 AM, 12 is 12 PM.  Hour 24 (a time that rounds up
// to a whole day) is the midnight ending the day: 12 AM.
void twelve_hour(int h, int* h12, const char** suffix) {
    if (h == 0 || h == 24) {
        *h12 = 12;
        *suffix = "AM";
    } else if (h < 12) {
        *h12 = h;
        *suffix = "AM";
    } else if (h == 12) {
        *h12 = 12;
        *suffix = "PM";
    } else {
        *h12 = h - 12;
        *suffix = "PM";
    }
}

}  // namespace

int normalise_number_text(char* text) {
    char* p = text;
    if (*p == '-') ++p;
    size_t len = std::strlen(p);
    size_t skip = 0;
    while (p[skip] == '0' && p[skip + 1] != '.') ++skip;
    if (skip) {
        std::memmove(p, p + skip, len - skip + 1);
        len -= skip;
    }
    if (len == 0) {
        p[0] = '0';
        p[1] = '\0';
        return 0;
    }
    if (std::strchr(p, '.')) {
        while (len >= 2 && p[len - 1] == '0' && p[len - 2] != '.') p[--len] = '\0';
    }
    return 0;
}

int group_thousands(const char* text, int decimals, char* out) {
    std::string s = grouped(text ? text : "", decimals);
    std::memcpy(out, s.c_str(), s.size() + 1);
    return 0;
}

void format_number_value(const XLS_BOOK* book, const XLS_CELL* cell, int type, int decimals,
                         char* out) {
    char buf[TBX_VALUE_TEXT_BUF];
    const char* text = cell_value_text(cell, buf);
    if (type == 107 || type == 108) {
        put(out, grouped(text, decimals));
    } else if (type >= 200 && type <= 205) {
        std::string currency(1, '\\');
        currency += grouped(text, decimals);
        put(out, currency);
    } else if (type == TBX_FMT_HIDDEN) {
        out[0] = '\0';
    } else {
        size_t len = std::strlen(text);
        if (len < kMaxText) {
            // Tidied in place: the same text as put(out, normalised(text)).
            std::memcpy(out, text, len + 1);
            normalise_number_text(out);
        } else {
            put(out, normalised(text));
        }
    }
}

void format_date_value(const XLS_BOOK* book, const XLS_CELL* cell, int type, char* out) {
    out[0] = '\0';
    if (!is_date_kind(cell->type)) return;
    double serial = cell->type == TBX_DATE ? cell->value : cell_number(cell);
    if (type == 0) {
        type = cell->type == TBX_DATE        ? TBX_FMT_DATE
               : cell->type == TBX_DATE_TIME ? TBX_FMT_DATE_TIME
               : cell->type == TBX_TIME_HM   ? TBX_FMT_TIME_JP_HM
                                             : TBX_FMT_TIME_HMS;
    }
    int y, m, d, h, mi, s;
    serial_to_datetime(serial, &y, &m, &d, &h, &mi, &s);
    if ((type == 334 || type == 335) && y < 1900) return;
    int yy;
    two_digit_year(y, &yy);
    int h12;
    const char* suffix;
    twelve_hour(h, &h12, &suffix);
    char mon[16];
    const size_t n = TBX_RENDER_BUF;
    switch (type) {
    case 301: std::snprintf(out, n, "%d/%d", y, m); break;
    case 302: std::snprintf(out, n, "%d/%d/%d", y, m, d); break;
    case 303: std::snprintf(out, n, "%d/%d/%d %02d:%02d", y, m, d, h, mi); break;
    case 304: std::snprintf(out, n, "%d/%d/%d %02d:%02d %s", y, m, d, h12, mi, suffix); break;
    case 305: std::snprintf(out, n, "%d", m); break;
    case 306: std::snprintf(out, n, "%d/%d", m, d); break;
    case 307: std::snprintf(out, n, "%d/%d/%02d", m, d, yy); break;
    case 308: std::snprintf(out, n, "%02d/%02d/%02d", m, d, yy); break;
    case 309:
        month_name(TBX_MONTH_ABBREV, m, mon);
        std::snprintf(out, n, "%d-%s", d, mon);
        break;
    case 310:
        month_name(TBX_MONTH_ABBREV, m, mon);
        std::snprintf(out, n, "%d-%s-%02d", d, mon, yy);
        break;
    case 311:
        month_name(TBX_MONTH_ABBREV, m, mon);
        std::snprintf(out, n, "%02d-%s-%02d", d, mon, yy);
        break;
    case 312:
        month_name(TBX_MONTH_ABBREV, m, mon);
        std::snprintf(out, n, "%s-%02d", mon, yy);
        break;
    case 313:
        month_name(TBX_MONTH_FULL, m, mon);
        std::snprintf(out, n, "%s-%02d", mon, yy);
        break;
    case 314:
        month_name(TBX_MONTH_INITIAL, m, mon);
        std::snprintf(out, n, "%s", mon);
        break;
    case 315:
        month_name(TBX_MONTH_INITIAL, m, mon);
        std::snprintf(out, n, "%s-%02d", mon, yy);
        break;
    case 316: std::snprintf(out, n, "%04d%02d%02d", y, m, d); break;
    case 317: std::snprintf(out, n, "%04d%02d%02d%02d%02d%02d", y, m, d, h, mi, s); break;
    case 318: std::snprintf(out, n, "%d/%d/%d %02d:%02d:%02d", y, m, d, h, mi, s); break;
    case 319: std::snprintf(out, n, "%d", d); break;
    case 330: std::snprintf(out, n, "%d" SJ_GETSU, m); break;
    case 331: std::snprintf(out, n, "%d" SJ_GETSU "%d" SJ_NICHI, m, d); break;
    case 332: std::snprintf(out, n, "%d" SJ_NEN "%d" SJ_GETSU, y, m); break;
    case 333: std::snprintf(out, n, "%d" SJ_NEN "%d" SJ_GETSU "%d" SJ_NICHI, y, m, d); break;
    case 334: {
        era e = era_of(y, m, d);
        std::snprintf(out, n, "%s%d.%d.%d", e.letter, e.year, m, d);
        break;
    }
    case 335: {
        era e = era_of(y, m, d);
        std::snprintf(out, n, "%s%d" SJ_NEN "%d" SJ_GETSU "%d" SJ_NICHI, e.name, e.year, m, d);
        break;
    }
    case 340: case 341: case 342: case 343: {
        static const char* const abbrev[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
        static const char* const full[7] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
        static const char* const kanji[7] = {SJ_NICHI,   SJ_GETSU,   "\x89\xce", "\x90\x85",
                                             "\x96\xd8", "\x8b\xe0", "\x93\x79"};
        int w = weekday_of(y, m, d);
        if (type == 340) std::snprintf(out, n, "%s", abbrev[w]);
        if (type == 341) std::snprintf(out, n, "%s", full[w]);
        if (type == 342) std::snprintf(out, n, "%s", kanji[w]);
        if (type == 343) std::snprintf(out, n, "%s" SJ_YOU SJ_NICHI, kanji[w]);
        break;
    }
    case 401: std::snprintf(out, n, "%02d:%02d", h, mi); break;
    case 402: std::snprintf(out, n, "%d" SJ_JI "%d" SJ_FUN, h, mi); break;
    case 403: std::snprintf(out, n, "%02d:%02d %s", h12, mi, suffix); break;
    case 404: std::snprintf(out, n, "%d:%02d:%02d", h, mi, s); break;
    case 405: std::snprintf(out, n, "%d" SJ_JI "%02d" SJ_FUN "%02d" SJ_BYO, h, mi, s); break;
    case 406: std::snprintf(out, n, "%d:%02d:%02d %s", h12, mi, s, suffix); break;
    case 407: std::snprintf(out, n, "%02d:%02d", mi, s); break;
    default: break;  // no rendering: empty text
    }
}

// A percentage cell's text: the stored fraction x 100 with the given
// decimals, tidied when asked, and "%".
static std::string percent_text(const XLS_CELL* cell, int decimals, bool tidy) {
    char buf[TBX_VALUE_TEXT_BUF];
    double v = tbx_strtod(cell_value_text(cell, buf)) * 100;
    std::string percent = printed("%.*f", decimals, v);
    if (tidy) percent = normalised(percent.c_str());
    percent.push_back('%');
    return percent;
}

namespace {

// A text cell through its format's text section, if it has one.  An error
// value shows as it is: number formats do not apply to it.
void engine_text(const XLS_BOOK* book, const XLS_CELL* cell, const char* text, size_t len,
                 char* out) {
    const nf_format* f = tbx_format_of_cell(book, cell);
    if (!nf_has_text_section(f) || (cell->flags & TABX_CELL_ERROR)) {
        put_bounded(out, text, len);
        return;
    }
    nf_render_text(f, text, len, out, TBX_RENDER_BUF);
}

// The cell as Excel shows it, through the number-format engine (UTF-8).
void engine_cell(const XLS_BOOK* book, const XLS_CELL* cell, char* out) {
    switch (cell->type) {
    case TBX_CHARACTER:
        engine_text(book, cell, cell_text(cell), std::strlen(cell_text(cell)), out);
        return;
    case TBX_SHARED_STRING:
        if (cell->value >= 0 && cell->value < book->sst_count) {
            const XLS_SST& e = book->sst[cell->value];
            if (e.text && e.length > 0) {
                engine_text(book, cell, e.text, static_cast<size_t>(e.length), out);
            } else {
                engine_text(book, cell, "", 0, out);
            }
        }
        return;
    case TBX_INTEGER:
    case TBX_FLOAT:
    case TBX_PERCENT:
    case TBX_DATE:
    case TBX_DATE_TIME:
    case TBX_TIME_HM:
    case TBX_TIME_HMS: {
        const nf_format* f = tbx_format_of_cell(book, cell);
        if ((cell->type == TBX_INTEGER || cell->type == TBX_FLOAT) && nf_is_general(f) &&
            !((cell->flags & TABX_CELL_TEXT) && !cell->text)) {
            // A number text of at most 11 characters shows as it is stored
            // (its fifteen significant digits, no trailing zeros), unless
            // General writes it in scientific form (below 0.0001).
            char buf[TBX_VALUE_TEXT_BUF];
            const char* t = cell_value_text(cell, buf);
            size_t len = std::strlen(t);
            const char* digits = *t == '-' ? t + 1 : t;
            bool tiny = digits[0] == '0' && digits[1] == '.' && std::strncmp(digits + 2, "000", 3) == 0;
            if (len <= 11 && !tiny && !std::strpbrk(t, "eEin")) {
                std::memcpy(out, t, len + 1);
                return;
            }
        }
        const tbx_private* p = tbx_priv(book);
        nf_render_number(f, cell_number(cell), p && p->date1904, out, TBX_RENDER_BUF);
        return;
    }
    default:
        return;
    }
}

}  // namespace

bool display_text_in_place(const XLS_BOOK* book, const XLS_CELL* cell, const char** text, size_t* len) {
    if (!tbx_engine_display(book)) return false;
    const char* t;
    size_t n;
    if (cell->type == TBX_CHARACTER) {
        t = cell_text(cell);
        n = std::strlen(t);
    } else if (cell->type == TBX_SHARED_STRING && cell->value >= 0 && cell->value < book->sst_count &&
               book->sst[cell->value].text && book->sst[cell->value].length > 0) {
        const XLS_SST& e = book->sst[cell->value];
        t = e.text;
        n = static_cast<size_t>(e.length);
        // What a copy would hold: up to the first zero byte.
        if (const void* nul = std::memchr(t, 0, n)) n = static_cast<size_t>(static_cast<const char*>(nul) - t);
    } else {
        return false;
    }
    if (n > kMaxText) return false;
    if (nf_has_text_section(tbx_format_of_cell(book, cell)) && !(cell->flags & TABX_CELL_ERROR)) return false;
    *text = t;
    *len = n;
    return true;
}

void format_cell(const XLS_BOOK* book, const XLS_CELL* cell, char* out) {
    out[0] = '\0';
    if (tbx_engine_display(book)) {
        engine_cell(book, cell, out);
        return;
    }
    const bool raw = book->raw_display != 0;
    switch (cell->type) {
    case TBX_CHARACTER:
        put_bounded(out, cell_text(cell), std::strlen(cell_text(cell)));
        break;
    case TBX_SHARED_STRING:
        if (cell->value >= 0 && cell->value < book->sst_count) {
            const XLS_SST& e = book->sst[cell->value];
            if (e.text && e.length > 0) put_bounded(out, e.text, static_cast<size_t>(e.length));
        }
        break;
    case TBX_INTEGER:
        if (raw) {
            char buf[TBX_VALUE_TEXT_BUF];
            const char* t = cell_value_text(cell, buf);
            put_bounded(out, t, std::strlen(t));
        } else {
            format_number_value(book, cell, display_type_of_cell(book, cell), -1, out);
        }
        break;
    case TBX_FLOAT:
        if (raw) {
            char buf[TBX_VALUE_TEXT_BUF];
            put(out, normalised(cell_value_text(cell, buf)));
        } else {
            format_number_value(book, cell, display_type_of_cell(book, cell), -1, out);
        }
        break;
    case TBX_PERCENT:
        put(out, percent_text(cell, 6, true));
        break;
    case TBX_DATE:
    case TBX_DATE_TIME:
    case TBX_TIME_HM:
    case TBX_TIME_HMS:
        format_date_value(book, cell, raw ? 0 : display_type_of_cell(book, cell), out);
        break;
    default:
        break;
    }
}

void format_cell_with(const XLS_BOOK* book, const XLS_CELL* cell, int date_type,
                      int number_type, int decimals, char* out) {
    out[0] = '\0';
    switch (cell->type) {
    case TBX_CHARACTER:
    case TBX_SHARED_STRING: {
        format_cell(book, cell, out);
        break;
    }
    case TBX_INTEGER:
    case TBX_FLOAT:
        format_number_value(book, cell, number_type, decimals, out);
        break;
    case TBX_PERCENT:
        put(out, percent_text(cell, decimals, false));
        break;
    case TBX_DATE:
    case TBX_DATE_TIME:
    case TBX_TIME_HM:
    case TBX_TIME_HMS:
        format_date_value(book, cell, date_type, out);
        if (tbx_engine_display(book)) {
            // Callers of an engine book take every text as UTF-8.
            int len = static_cast<int>(std::strlen(out));
            if (orb_convert(ORB_SJIS, ORB_UTF8, out, &len, TBX_RENDER_BUF) != 0) out[0] = '\0';
        }
        break;
    default:
        break;
    }
}
