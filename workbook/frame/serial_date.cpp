// Serial dates of the 1900 date system.
//
// A serial counts days from 1900-01-00 (serial 0), with the time of day as
// its fraction.  The system inherits a famous quirk: it treats 1900 as a leap
// year, so serial 60 is the fictitious 1900-02-29 and every day from
// 1900-03-01 on is one higher than a true day count would make it.  Serials
// run to 2958465 (9999-12-31).  A workbook set to the 1904 system is shown as
// if it used this one.
#include <cmath>
#include <cstring>

#include "cell_format.h"

namespace {

constexpr int kLastSerial = 2958465;  // 9999-12-31

bool is_leap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int month_days(int y, int m) {
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return (m == 2 && is_leap(y)) ? 29 : days[m - 1];
}

// Days from 1900-01-01 (day 1) through y-01-01 exclusive, Gregorian.
long days_before_year(int y) {
    long n = y - 1900;
    auto leaps_upto = [](long year) { return year / 4 - year / 100 + year / 400; };
    return n * 365 + (leaps_upto(y - 1) - leaps_upto(1899));
}

// The Gregorian date that lies k days after 1899-12-31 (k >= 1).  Equivalent
// to walking whole years and then single days, without the walk.
void civil_from_day(long k, int* y, int* m, int* d) {
    int year = 1900 + static_cast<int>(k / 366);
    while (days_before_year(year + 1) < k) ++year;
    long rest = k - days_before_year(year);  // 1-based day of the year
    int month = 1;
    while (rest > month_days(year, month)) {
        rest -= month_days(year, month);
        ++month;
    }
    *y = year;
    *m = month;
    *d = static_cast<int>(rest);
}

void split_time(double fraction, int* hour, int* minute, int* second) {
    int seconds = static_cast<int>(fraction * 86400 + 0.5);
    *hour = seconds / 3600;  // 24 when the fraction rounds to a whole day
    *minute = (seconds % 3600) / 60;
    *second = seconds % 60;
}

}  // namespace

int serial_to_datetime(double serial, int* year, int* month, int* day, int* hour, int* minute,
                       int* second) {
    *year = 1900;
    *month = 1;
    *day = 1;
    *hour = *minute = *second = 0;
    if (std::isnan(serial)) return 0;
    // Serial 1 (1900-01-01) keeps any fraction as its time, even one below
    // the threshold that other days apply.
    if (serial >= 1 && serial < 2) {
        split_time(serial - 1, hour, minute, second);
        return 0;
    }
    if (serial < 0 || serial > kLastSerial) return 0;
    long n = static_cast<long>(serial);
    if (n == 60) {  // the fictitious 1900-02-29, always at midnight
        *month = 2;
        *day = 29;
        return 0;
    }
    if (n == 0) {  // 1900-01-00: the day before 1900-01-01
        *day = 0;
    } else {
        // Day numbers after 1900-02-28 count the fictitious 1900-02-29.
        long k = n < 60 ? n : n - 1;
        civil_from_day(k, year, month, day);
    }
    double fraction = serial - static_cast<double>(n);
    if (fraction > 0.00001) split_time(fraction, hour, minute, second);
    return 0;
}

int datetime_to_serial(int year, int month, int day, int hour, int minute, int second,
                       double* serial) {
    *serial = 0;
    double time = (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    if (year == 0) {
        if (month == 0 && day == 0) {  // a pure time of day
            *serial = time;
            return 0;
        }
        year = 1900;
    }
    if (month == 0) month = 1;
    if (day == 0) day = 1;
    if (year < 1900 || month < 1 || month > 12 || day < 1 || day > 31) return -1;
    if (hour < 0 || hour > 24) hour = 0;
    if (minute < 0 || minute > 60) minute = 0;
    if (second < 0 || second > 60) second = 0;
    long days = days_before_year(year);
    for (int m = 1; m < month; ++m) days += month_days(year, m);
    days += day;
    // Count the fictitious 1900-02-29: 1900-02-29 itself is day 60 (28 + 31 +
    // 1 by the arithmetic above), every later month and year is one higher.
    if (year > 1900 || month > 2) days += 1;
    *serial = static_cast<double>(days) + (hour * 3600.0 + minute * 60.0 + second) / 86400.0;
    return 0;
}

int weekday_of(int year, int month, int day) {
    if (month == 1 || month == 2) {
        year -= 1;
        month += 12;
    }
    int w = (year + year / 4 - year / 100 + year / 400 + (13 * month + 8) / 5 + day) % 7;
    return w < 0 ? w + 7 : w;
}

// 1900 itself prints as "00", as the years after it print their last two
// digits; from 2000 on the year counts from 2000 (2100 gives 100).
int two_digit_year(int year, int* value) {
    *value = year < 2000 ? year - 1900 : year - 2000;
    return 0;
}

int month_name(int form, int month, char* out) {
    static const char* const abbrev[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                           "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    static const char* const full[12] = {"January", "February", "March",     "April",
                                         "May",     "June",     "July",      "August",
                                         "September", "October", "November", "December"};
    static const char* const initial[12] = {"J", "F", "M", "A", "M", "J",
                                            "J", "A", "S", "O", "N", "D"};
    out[0] = '\0';
    if (month < 1 || month > 12) return -1;
    const char* const* names = form == TBX_MONTH_ABBREV  ? abbrev
                               : form == TBX_MONTH_FULL  ? full
                               : form == TBX_MONTH_INITIAL ? initial
                                                           : nullptr;
    if (!names) return -1;
    std::strcpy(out, names[month - 1]);
    return 0;
}
