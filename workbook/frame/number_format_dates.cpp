// Dates and times of the number-format engine: the calendar of the 1900
// and 1904 date systems, the Japanese eras, and the date and time parts of
// a section.
#include <cmath>

#include "number_format_impl.h"

namespace nf {
namespace {

struct civil {
    int y, m, d, wd;
};

// The calendar date of a day serial of the 1900 system (0 is 1900-01-00,
// 60 the fictitious 1900-02-29).
civil civil_of(long long serial) {
    civil c{1900, 1, 0, 6};
    c.wd = static_cast<int>(((serial + 6) % 7 + 7) % 7);
    if (serial <= 0) return c;
    if (serial < 60) {
        c.m = serial <= 31 ? 1 : 2;
        c.d = static_cast<int>(serial <= 31 ? serial : serial - 31);
        return c;
    }
    if (serial == 60) {
        c.m = 2;
        c.d = 29;
        return c;
    }
    long long z = serial - 25569 + 719468;  // days since 0000-03-01
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    c.d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    c.m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    c.y = static_cast<int>(yoe + era * 400 + (c.m <= 2 ? 1 : 0));
    return c;
}

struct era_info {
    char letter;
    const char* first;  // first character of the name
    const char* name;
    int year;
};

era_info era_of_date(const civil& c) {
    long key = c.y * 10000L + c.m * 100L + c.d;
    if (key < 19120730) return {'M', "明", "明治", c.y - 1867};
    if (key < 19261225) return {'T', "大", "大正", c.y - 1911};
    if (key < 19890108) return {'S', "昭", "昭和", c.y - 1925};
    if (key < 20190501) return {'H', "平", "平成", c.y - 1988};
    return {'R', "令", "令和", c.y - 2018};
}

const char* const kMonthAbbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                      "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kMonthFull[12] = {"January", "February", "March",     "April",
                                    "May",     "June",     "July",      "August",
                                    "September", "October", "November", "December"};
const char* const kDayAbbrev[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kDayFull[7] = {"Sunday", "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};
const char* const kDayJp[7] = {"日", "月", "火", "水", "木", "金", "土"};

}  // namespace

void render_date(const section& s, double value, bool date1904, writer& w) {
    // Round to the smallest unit shown: a second, or its shown fraction.
    long long per_second = 1;
    for (int i = 0; i < s.subsec; ++i) per_second *= 10;
    const long long per_day = 86400LL * per_second;
    if (!(value >= 0) || value >= 2958466.0 + (date1904 ? -1462 : 0) || !std::isfinite(value)) {
        // Excel shows negative and too large dates as a row of #.
        if (!(s.elapsed && value >= 0 && std::isfinite(value) && value < 1e10)) {
            hashes(w);
            return;
        }
    }
    // The product of a serial kept to fifteen digits may fall a hair short
    // of a half tick: two units in the last place decide for it.
    double scaled = value * static_cast<double>(per_day);
    // A code without time parts shows the day the serial falls on: a time
    // just before midnight does not move the date.
    const double half = s.has_time ? 0.5 : 0.0;
    long long ticks = static_cast<long long>(std::floor(scaled + half + std::fabs(scaled) * 4e-16));
    // Excel keeps 15 significant digits: a serial of 45000.9999999999 is
    // not nudged past the next tick by the binary error of the product.
    long long day = ticks / per_day;
    long long rest = ticks % per_day;
    long long sub = rest % per_second;
    long long secs = rest / per_second;
    int hour = static_cast<int>(secs / 3600), minute = static_cast<int>(secs / 60 % 60),
        second = static_cast<int>(secs % 60);
    civil c = civil_of(day + (date1904 ? 1462 : 0));
    era_info era = era_of_date(c);
    const char* lits = s.lits.data();
    const bool has_hour = [&] {
        for (const token& k : s.tok) {
            if (k.kind == T_HOUR) return true;
        }
        return false;
    }();
    (void)has_hour;
    const long long total_seconds = ticks / per_second;
    for (const token& k : s.tok) {
        switch (k.kind) {
        case T_LIT: w.lit(lits + k.off, k.len); break;
        case T_YEAR:
            if (k.width == 2) w.num(c.y % 100, 2);
            else w.num(c.y, 4);
            break;
        case T_MONTH:
            if (k.width <= 2) {
                w.num(c.m, k.width);
            } else if (s.japanese) {
                // Japanese months have no names but their numbers: mmm and
                // mmmm show 12月, mmmmm its first character.
                if (k.width == 5) {
                    w.num(c.m >= 10 ? 1 : c.m, 1);
                } else {
                    w.num(c.m, 1);
                    w.put("月");
                }
            } else if (k.width == 3) w.put(kMonthAbbrev[c.m - 1]);
            else if (k.width == 4) w.put(kMonthFull[c.m - 1]);
            else w.put(kMonthFull[c.m - 1], 1);
            break;
        case T_DAY:
            if (k.width <= 2) w.num(c.d, k.width);
            else if (s.japanese) w.put(kDayJp[c.wd]), w.put(k.width == 4 ? "曜日" : "");
            else if (k.width == 3) w.put(kDayAbbrev[c.wd]);
            else w.put(kDayFull[c.wd]);
            break;
        case T_WEEKDAY_JP:
            w.put(kDayJp[c.wd]);
            if (k.width >= 4) w.put("曜日");
            break;
        case T_HOUR: {
            int h = hour;
            if (s.ampm) {
                h %= 12;
                if (h == 0) h = 12;
            }
            w.num(h, k.width);
            break;
        }
        case T_MINUTE: w.num(minute, k.width); break;
        case T_SECOND: w.num(second, k.width); break;
        case T_SUBSEC: {
            w.put('.');
            long long div = per_second;
            long long v = sub;
            for (int i = 0; i < k.width; ++i) {
                div /= 10;
                w.put(static_cast<char>('0' + (div ? v / div % 10 : 0)));
            }
            break;
        }
        case T_AMPM: {
            bool pm = hour >= 12;
            switch (s.japanese && (k.ch == 'A' || k.ch == 'a') ? 'J' : k.ch) {
            case 'A': w.put(pm ? "PM" : "AM"); break;
            case 'a': w.put(pm ? "PM" : "AM"); break;  // am/pm shows in upper case too
            case 'P': w.put(pm ? "P" : "A"); break;
            case 'p': w.put(pm ? "p" : "a"); break;
            default: w.put(pm ? "午後" : "午前"); break;
            }
            break;
        }
        case T_ELAPSED_H: w.num(total_seconds / 3600, k.width); break;
        case T_ELAPSED_M: {
            bool outer = true;  // [m] after [h] counts within the hour
            for (const token& o : s.tok) {
                if (o.kind == T_ELAPSED_H || o.kind == T_HOUR) outer = false;
            }
            w.num(outer ? total_seconds / 60 : minute, k.width);
            break;
        }
        case T_ELAPSED_S: {
            bool outer = true;
            for (const token& o : s.tok) {
                if (o.kind == T_ELAPSED_H || o.kind == T_ELAPSED_M || o.kind == T_MINUTE ||
                    o.kind == T_HOUR) {
                    outer = false;
                }
            }
            w.num(outer ? total_seconds : second, k.width);
            break;
        }
        case T_ERA:
            if (k.width == 1) w.put(era.letter);
            else if (k.width == 2) w.put(era.first);
            else w.put(era.name);
            break;
        case T_ERA_YEAR:
            if (era.year == 1 && s.gannen) w.put("元");
            else w.num(era.year, k.width);
            break;
        default: break;
        }
    }
}

}  // namespace nf
