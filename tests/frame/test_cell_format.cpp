// Cell display formatting: serial dates, classification of format codes,
// storing values and rendering them.
#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cell_format.h"
#include "tbx_private.h"
#include "tbx_store.h"

namespace {

// Shift-JIS words of the expected renderings.
#define SJ_NEN "\x94\x4e"
#define SJ_GETSU "\x8c\x8e"
#define SJ_NICHI "\x93\xfa"
#define SJ_JI "\x8e\x9e"
#define SJ_FUN "\x95\xaa"
#define SJ_BYO "\x95\x62"

// A book with a private block and an empty store.
struct test_book {
    XLS_BOOK b{};
    test_book() {
        EXPECT_EQ(tbx_alloc_private(&b), 0);
        EXPECT_EQ(tbx_book_init(&b, false), 0);
        EXPECT_EQ(tbx_add_sheet(&b, 0), 0);
    }
    ~test_book() { tbx_free_private(&b); }
    XLS_CELL* cell(int row, int col) {
        XLS_CELL* c = nullptr;
        EXPECT_EQ(tbx_ensure_cell(&b, 0, row, col, &c), 0);
        return c;
    }
};

std::string render(const XLS_BOOK& b, const XLS_CELL& c) {
    std::vector<char> out(TBX_RENDER_BUF);
    format_cell(&b, &c, out.data());
    return out.data();
}

std::string render_date(const XLS_BOOK& b, const XLS_CELL& c, int type) {
    std::vector<char> out(TBX_RENDER_BUF);
    format_date_value(&b, &c, type, out.data());
    return out.data();
}

// The serial split exactly as the 1900 date system defines it: whole years,
// then single days back from December 31.  The library's version computes
// the same without walking; this one is the reference.
void reference_split(double serial, int* y, int* m, int* d) {
    *y = 1900;
    *m = 1;
    *d = 1;
    long n = static_cast<long>(serial);
    if (n == 1) return;
    if (serial < 0 || serial > 2958465) return;
    auto leap = [](int yr) { return (yr % 4 == 0 && yr % 100 != 0) || yr % 400 == 0; };
    long total = 0;
    int year = 1900;
    while (total < serial) {
        total += leap(year) ? 366 : 365;
        ++year;
    }
    --year;
    if (n == 60) {
        *m = 2;
        *d = 29;
        return;
    }
    long k = n < 60 ? n : n - 1;
    int yy = year, mm = 12, dd = 31;
    static const int md[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    for (long i = 0; i < total - k; ++i) {
        if (--dd == 0) {
            if (--mm == 0) {
                mm = 12;
                --yy;
            }
            dd = (mm == 2 && leap(yy)) ? 29 : md[mm - 1];
        }
    }
    if (yy == 1899 && mm == 12 && dd == 31) {
        *y = 1900;
        *m = 1;
        *d = 0;
        return;
    }
    *y = yy;
    *m = mm;
    *d = dd;
}

// ---------------------------------------------------------------------------
// Serial dates
// ---------------------------------------------------------------------------

TEST(SerialDate, SplitMatchesTheYearAndDayWalk) {
    auto check = [](double serial) {
        int y, m, d, h, mi, s, ry, rm, rd;
        serial_to_datetime(serial, &y, &m, &d, &h, &mi, &s);
        reference_split(serial, &ry, &rm, &rd);
        ASSERT_EQ(std::to_string(y) + "-" + std::to_string(m) + "-" + std::to_string(d),
                  std::to_string(ry) + "-" + std::to_string(rm) + "-" + std::to_string(rd))
            << "serial " << serial;
    };
    for (long n = -3; n < 80000; ++n) check(static_cast<double>(n));
    for (long n = 80000; n <= 2958467; n += 89) check(static_cast<double>(n));
    for (double v : {0.5, 59.99, 60.5, 61.25, 365.0, 366.0, 367.0, 2958465.0, 2958465.5})
        check(v);
}

TEST(SerialDate, RoundTripsEveryDay) {
    for (long n = 1; n <= 2958465; n += 7) {
        int y, m, d, h, mi, s;
        serial_to_datetime(static_cast<double>(n), &y, &m, &d, &h, &mi, &s);
        double back = -1;
        ASSERT_EQ(datetime_to_serial(y, m, d, 0, 0, 0, &back), 0);
        ASSERT_EQ(back, static_cast<double>(n)) << y << "-" << m << "-" << d;
    }
}

TEST(SerialDate, BuildRules) {
    struct row {
        int y, m, d, h, mi, s;
        int rc;
        double serial;
    } rows[] = {
        {1900, 1, 1, 0, 0, 0, 0, 1},
        {1900, 2, 28, 0, 0, 0, 0, 59},
        {1900, 2, 29, 0, 0, 0, 0, 60},      // the fictitious day
        {1900, 3, 1, 0, 0, 0, 0, 61},
        {9999, 12, 31, 0, 0, 0, 0, 2958465},
        {2024, 1, 1, 12, 0, 0, 0, 45292.5},
        {0, 0, 0, 6, 0, 0, 0, 0.25},        // a pure time
        {0, 3, 1, 0, 0, 0, 0, 61},          // year 0 with a date is 1900
        {1900, 0, 0, 0, 0, 0, 0, 1},        // month and day 0 become 1
        {1900, 1, 1, 25, 0, 0, 0, 1},       // hour out of range taken as 0
        {1899, 12, 31, 0, 0, 0, -1, 0},
        {2000, 13, 1, 0, 0, 0, -1, 0},
        {2000, 1, 32, 0, 0, 0, -1, 0},
    };
    for (const row& r : rows) {
        double serial = -1;
        EXPECT_EQ(datetime_to_serial(r.y, r.m, r.d, r.h, r.mi, r.s, &serial), r.rc)
            << r.y << "-" << r.m << "-" << r.d;
        EXPECT_DOUBLE_EQ(serial, r.serial) << r.y << "-" << r.m << "-" << r.d;
    }
}

TEST(SerialDate, TimeOfDay) {
    struct row {
        double serial;
        int h, mi, s;
    } rows[] = {
        {1.5, 12, 0, 0},
        {1.000005, 0, 0, 0},             // serial 1: no threshold, rounds to 0 s
        {2.000005, 0, 0, 0},             // below the 0.00001 threshold
        {2.0001, 0, 0, 9},
        {2.9999999, 24, 0, 0},           // rounds to a whole day: hour 24
        {60.5, 0, 0, 0},                 // the fictitious day has no time
        {-0.5, 0, 0, 0},
        {2958466.5, 0, 0, 0},
    };
    for (const row& r : rows) {
        int y, m, d, h, mi, s;
        serial_to_datetime(r.serial, &y, &m, &d, &h, &mi, &s);
        EXPECT_EQ(h, r.h) << r.serial;
        EXPECT_EQ(mi, r.mi) << r.serial;
        EXPECT_EQ(s, r.s) << r.serial;
    }
}

TEST(SerialDate, WeekdaysMonthsAndShortYears) {
    EXPECT_EQ(weekday_of(2024, 1, 1), 1);   // Monday
    EXPECT_EQ(weekday_of(2023, 12, 31), 0); // Sunday
    EXPECT_EQ(weekday_of(2000, 2, 29), 2);  // Tuesday
    EXPECT_EQ(weekday_of(1900, 3, 1), 4);   // Thursday
    char name[16];
    EXPECT_EQ(month_name(TBX_MONTH_ABBREV, 9, name), 0);
    EXPECT_STREQ(name, "Sep");
    EXPECT_EQ(month_name(TBX_MONTH_FULL, 12, name), 0);
    EXPECT_STREQ(name, "December");
    EXPECT_EQ(month_name(TBX_MONTH_INITIAL, 5, name), 0);
    EXPECT_STREQ(name, "M");
    EXPECT_EQ(month_name(353, 5, name), -1);
    EXPECT_EQ(month_name(TBX_MONTH_FULL, 13, name), -1);
    EXPECT_EQ(month_name(TBX_MONTH_FULL, 0, name), -1);
    struct { int year, value; } years[] = {{1900, 0}, {1901, 1}, {1999, 99}, {2000, 0}, {2024, 24}, {2100, 100}};
    for (auto y : years) {
        int v = -1;
        two_digit_year(y.year, &v);
        EXPECT_EQ(v, y.value) << y.year;
    }
}

// ---------------------------------------------------------------------------
// Format codes
// ---------------------------------------------------------------------------

TEST(FormatClassify, SampleRowsInOrder) {
    struct row {
        const char* code;
        int type;
    } rows[] = {
        {"yyyy/m/d\\ h:mm", 303},
        {"yyyy/m/d\\ h:mm AM/PM", 304},
        {"yyyy/m/d;@", 302},
        {"[$-411]ggge\"" SJ_NEN "\"m\"" SJ_GETSU "\"d\"" SJ_NICHI "\"", 335},
        {"[$-411]ge.m.d", 334},
        {"dddd", 341},
        {"ddd", 340},
        {"aaaa", 343},
        {"aaa", 342},
        {"yyyy&quot;" SJ_NEN "&quot;m&quot;" SJ_GETSU "&quot;d&quot;" SJ_NICHI "&quot;;@", 333},
        {"yyyy\"" SJ_NEN "\"m\"" SJ_GETSU "\"d\"" SJ_NICHI "\"", 333},
        {"m&quot;" SJ_GETSU "&quot;d&quot;" SJ_NICHI "&quot;;@", 331},
        {"m\"" SJ_GETSU "\"d\"" SJ_NICHI "\"", 331},
        {"yyyy&quot;" SJ_NEN "&quot;m&quot;" SJ_GETSU "&quot;;@", 332},
        {"yyyy\"" SJ_NEN "\"m\"" SJ_GETSU "\"", 332},
        {"h&quot;" SJ_JI "&quot;mm&quot;" SJ_FUN "&quot;;@", 402},
        // The hour-minute row comes first: the seconds form of the legacy
        // spelling is decided by it.
        {"h\"" SJ_JI "\"mm\"" SJ_FUN "\"ss\"" SJ_BYO "\"", 402},
        {"h&quot;" SJ_JI "&quot;mm&quot;" SJ_FUN "&quot;ss&quot;" SJ_BYO "&quot;", 405},
        {"m&quot;" SJ_GETSU "&quot;", 330},
        {"h:mm:ss", 404},
        {"h:mm:ss AM/PM", 406},
        {"h:mm", 401},
        {"h:mm AM/PM", 403},
        {"mm:ss", 407},
        {"m/d/yy", 307},
        {"mm/dd/yy", 308},
        {"d\\-mmm", 309},
        {"d\\-mmm\\-yy", 309},  // decided by the d-mmm row
        {"mmmmm\\-yy", 315},
        {"mmmm\\-yy", 313},
        {"mmm\\-yy", 312},
        {"mmmmm", 314},
        {"m/d", 306},
        {"\\$#,##0", 201},
        {"\"\xa5\"#,##0", 201},
        {"\"\\\"#,##0", 201},
        {"&quot;\\&quot;#,##0", 201},
        {"#,##0.00", 107},
        {"\"\"", 900},
        {"\"&quot;&quot;\"", 900},
        {"&quot;&quot;", 900},
        {"dd", 319},
        {"0.0&quot;%&quot;", 501},
        {"0.00", 100},
        {"General", 100},
        {"", 100},
    };
    for (const row& r : rows) EXPECT_EQ(classify_format_code(r.code), r.type) << r.code;
    EXPECT_EQ(classify_format_code(nullptr), 100);
}

// Codes whose sample search alone would lose what the cell shows: the year
// and month of a date, a weekday, the scale of a percentage.
TEST(FormatClassify, CodesBeyondTheSamples) {
    struct row {
        const char* code;
        int type;
    } rows[] = {
        // Japanese characters escaped one by one instead of quoted.
        {"yyyy\\" SJ_NEN "m\\" SJ_GETSU "d\\" SJ_NICHI, 333},
        {"[$-1030411]ggge\\" SJ_NEN "m\\" SJ_GETSU "d\\" SJ_NICHI, 335},
        {"yyyy\\" SJ_NEN "m\\" SJ_GETSU, 332},
        {"m\\" SJ_GETSU "d\\" SJ_NICHI, 331},
        {"m\\" SJ_GETSU, 330},
        {"m\"" SJ_GETSU "\"", 330},
        {"h\\" SJ_JI "mm\\" SJ_FUN, 402},
        {"d\\-mmm", 309},  // an escaped ASCII character stays as it is
        // Weekdays in capitals.
        {"AAA", 342},
        {"AAAA", 343},
        {"m/d\\(AAA\\)", 342},
        // Dates in other orders and separators.
        {"yyyy/m/d", 302},
        {"yyyy\\-mm\\-dd", 302},
        {"yyyy-mm-dd", 302},
        {"dd/mm/yyyy", 302},
        {"yyyymmdd", 302},
        {"YYYY.MM.DD", 302},
        {"[$-411]yyyy.mm.dd", 302},
        {"m/d/yyyy\\ h:mm", 303},
        {"yyyy-mm-dd hh:mm:ss", 303},
        {"yyyy-mm-dd h:mm AM/PM", 304},
        {"d", 319},
        {"dd\"y\"", 319},  // a quoted y is no year
        {"[h]:mm:ss", 407},
        // A percent sign outside quotes scales the number.
        {"0%", 501},
        {"0.00%", 501},
        {"0.0%", 501},
        {"#,##0%", 501},
        {"0\"%\"", 100},
        {"0\\%", 100},
        {"#,##0\"%\"", 107},
    };
    for (const row& r : rows) EXPECT_EQ(classify_format_code(r.code), r.type) << r.code;
}

TEST(FormatClassify, ValueTypeOfFormatIds) {
    test_book t;
    ASSERT_EQ(tbx_add_numfmt(&t.b, 180, "yyyy/m/d;@"), 0);          // 302
    ASSERT_EQ(tbx_add_numfmt(&t.b, 181, "yyyymmdd"), 0);            // 319 -> date
    ASSERT_EQ(tbx_add_numfmt(&t.b, 182, "h:mm"), 0);                // 401
    ASSERT_EQ(tbx_add_numfmt(&t.b, 183, "0.0%"), 0);                // 501
    ASSERT_EQ(tbx_add_numfmt(&t.b, 184, "#,##0"), 0);               // 107
    ASSERT_EQ(tbx_add_numfmt(&t.b, 185, "yyyy/m/d\\ h:mm"), 0);     // 303
    ASSERT_EQ(tbx_add_numfmt(&t.b, 180, "#,##0"), 0);               // second 180 ignored
    struct row {
        int id, type;
    } rows[] = {
        {0, TBX_GENERAL_NUMBER}, {9, TBX_PERCENT},     {10, TBX_PERCENT},
        {14, TBX_DATE},          {17, TBX_DATE},       {58, TBX_DATE},
        {18, TBX_TIME_HM},       {32, TBX_TIME_HM},    {19, TBX_TIME_HMS},
        {49, TBX_GENERAL_NUMBER}, {22, TBX_DATE_TIME}, {1, TBX_GENERAL_NUMBER},
        {180, TBX_DATE},         {181, TBX_DATE},      {182, TBX_DATE_TIME},
        {183, TBX_PERCENT},      {184, TBX_GENERAL_NUMBER}, {185, TBX_DATE_TIME},
        {999, TBX_GENERAL_NUMBER},
    };
    for (const row& r : rows) EXPECT_EQ(value_type_of_format(&t.b, r.id), r.type) << r.id;
}

// A workbook's own format under a built-in id decides, as it does on display.
TEST(FormatClassify, WorkbookFormatsOverrideBuiltInIds) {
    test_book t;
    ASSERT_EQ(tbx_add_numfmt(&t.b, 55, "yyyy/m/d h:mm"), 0);
    ASSERT_EQ(tbx_add_numfmt(&t.b, 58, "0.0"), 0);
    ASSERT_EQ(tbx_add_numfmt(&t.b, 66, "yyyy/m/d"), 0);
    ASSERT_EQ(tbx_add_numfmt(&t.b, 9, "0%"), 0);
    EXPECT_EQ(value_type_of_format(&t.b, 55), TBX_DATE_TIME);
    EXPECT_EQ(value_type_of_format(&t.b, 58), TBX_GENERAL_NUMBER);
    EXPECT_EQ(value_type_of_format(&t.b, 66), TBX_DATE);
    EXPECT_EQ(value_type_of_format(&t.b, 9), TBX_PERCENT);
    EXPECT_EQ(value_type_of_format(&t.b, 56), TBX_DATE);  // not defined: built in
}

TEST(FormatClassify, NumberFormatTableHoldsAtMost500) {
    test_book t;
    for (int i = 0; i < 500; ++i) ASSERT_EQ(tbx_add_numfmt(&t.b, 164 + i, "0.00"), 0);
    EXPECT_EQ(tbx_add_numfmt(&t.b, 999, "0.00"), -9);
    EXPECT_EQ(t.b.numfmt_count, 500);
    tbx_clear_numfmts(&t.b);
    EXPECT_EQ(t.b.numfmt_count, 0);
}

TEST(FormatClassify, DisplayTypeOfCell) {
    test_book t;
    ASSERT_EQ(tbx_add_numfmt(&t.b, 200, "yyyy&quot;" SJ_NEN "&quot;m&quot;" SJ_GETSU "&quot;;@"), 0);
    struct row {
        int numfmt;
        int value_type;
        int expected;
    } rows[] = {
        {200, TBX_DATE, 332},      {3, TBX_INTEGER, 107},   {5, TBX_INTEGER, 201},
        {177, TBX_FLOAT, 107},     {18, TBX_TIME_HM, 403},  {19, TBX_TIME_HMS, 406},
        {20, TBX_TIME_HM, 401},    {21, TBX_TIME_HMS, 404}, {32, TBX_TIME_HM, 402},
        {33, TBX_TIME_HMS, 405},   {46, TBX_TIME_HMS, 407}, {14, TBX_DATE, 302},
        {22, TBX_DATE_TIME, 302},  {20, TBX_DATE, 401},     {0, TBX_TIME_HM, 404},
        {0, TBX_INTEGER, 0},       {-1, TBX_FLOAT, 0},      {4, TBX_FLOAT, 107},
        {37, TBX_INTEGER, 107},    {40, TBX_FLOAT, 107},    {49, TBX_INTEGER, 0},
    };
    for (const row& r : rows) {
        int xf = -1;
        ASSERT_EQ(tbx_add_xf(&t.b, r.numfmt, &xf), 0);
        XLS_CELL c{};
        c.type = static_cast<signed char>(r.value_type);
        c.xf = xf;
        EXPECT_EQ(display_type_of_cell(&t.b, &c), r.expected) << r.numfmt;
    }
    XLS_CELL c{};
    c.type = TBX_DATE;
    c.xf = 12345;  // outside the table: no number format
    EXPECT_EQ(display_type_of_cell(&t.b, &c), 302);
}

// ---------------------------------------------------------------------------
// Number texts
// ---------------------------------------------------------------------------

TEST(NumberText, Normalise) {
    struct row {
        const char* in;
        const char* out;
    } rows[] = {
        {"0.250000", "0.25"}, {"3.000000", "3.0"}, {"007", "7"},   {"0", "0"},
        {"", "0"},            {"-0.500000", "-0.5"}, {"000.5", "0.5"}, {"-007", "-7"},
        {"120", "120"},       {"100.100", "100.1"},
    };
    for (const row& r : rows) {
        char buf[32];
        std::strcpy(buf, r.in);
        EXPECT_EQ(normalise_number_text(buf), 0);
        EXPECT_STREQ(buf, r.out) << r.in;
    }
}

TEST(NumberText, GroupThousands) {
    struct row {
        const char* in;
        int decimals;
        const char* out;
    } rows[] = {
        {"0", -1, "0"},
        {"999", -1, "999"},
        {"1000", -1, "1,000"},
        {"-1234567", -1, "-1,234,567"},
        {"1234.5", -1, "1,234.5"},
        {"-1234567.25", -1, "-1,234,567.25"},
        {"-0.5", -1, "-0.5"},
        {"1234.5", 2, "1,234.50"},
        {"1234", 3, "1,234.000"},
        {"123456789012345678901234", -1, "123,456,789,012,345,678,901,234"},
        {"100000.000000", -1, "100,000"},
    };
    for (const row& r : rows) {
        char out[128];
        EXPECT_EQ(group_thousands(r.in, r.decimals, out), 0);
        EXPECT_STREQ(out, r.out) << r.in;
    }
}

// ---------------------------------------------------------------------------
// Storing values
// ---------------------------------------------------------------------------

TEST(PutNumber, LegacyNumbersBecomeTypedCells) {
    test_book t;
    struct row {
        double value;
        int numfmt;
        int type;
        const char* text;   // stored value text (null: none)
        int payload;
    } rows[] = {
        {2.5, 0, TBX_FLOAT, "2.5", 2},
        {3.0, 0, TBX_INTEGER, "3", 3},
        // Fifteen significant digits: the fraction a person sees in the
        // cell is kept, however small.
        {2.0000001, 0, TBX_FLOAT, "2.0000001", 2},
        {0.0000001, 0, TBX_FLOAT, "0.0000001", 0},
        {-0.000123, 0, TBX_FLOAT, "-0.000123", 0},
        {0.1 + 0.2, 0, TBX_FLOAT, "0.3", 0},
        {1.0 / 3, 0, TBX_FLOAT, "0.333333333333333", 0},
        {99.99, 0, TBX_FLOAT, "99.99", 99},
        {45296.54524305555, 0, TBX_FLOAT, "45296.5452430556", 45296},
        {1234567.25, 0, TBX_FLOAT, "1234567.25", 1234567},
        {1.5e-20, 0, TBX_FLOAT, "0.000000000000000000015", 0},
        {-7, 0, TBX_INTEGER, "-7", -7},
        {0.125, 10, TBX_PERCENT, "0.125", 0},
        // Dates keep their serial: whole days and the rest of the day.
        {0, 14, TBX_DATE, "0", 0},
        {45292, 14, TBX_DATE, "0", 45292},
        {0.5, 22, TBX_DATE_TIME, "0.5", 0},
        {0.75, 20, TBX_TIME_HM, "0.75", 0},
        {45296.25, 22, TBX_DATE_TIME, "0.25", 45296},
        {4294967296.0 + 5, 0, TBX_INTEGER, "4294967301", 5},  // low 32 bits
    };
    int col = 0;
    for (const row& r : rows) {
        ASSERT_EQ(put_number(&t.b, 0, 0, col, r.numfmt, 7, r.value), 0) << r.value;
        const XLS_CELL* c = tbx_find_cell(&t.b, 0, 0, col);
        ASSERT_NE(c, nullptr);
        EXPECT_EQ(c->type, r.type) << r.value;
        // Kept as the number, its text rendered when asked for.
        EXPECT_EQ(c->flags & TABX_CELL_TEXT, 0) << r.value;
        char buf[TBX_VALUE_TEXT_BUF];
        EXPECT_STREQ(cell_value_text(c, buf), r.text) << r.value;
        EXPECT_EQ(c->value, r.payload) << r.value;
        EXPECT_EQ(c->xf, 7);
        ++col;
    }
}

// The decimals counted on a worksheet's value text are the ones the number
// read from it shows with fifteen significant digits, for the forms a
// worksheet writes and for the ones that fall back to the number.
TEST(SignificantDecimals, CountedOnTheTextAsOnTheNumber) {
    std::vector<std::string> texts = {
        "0.1", "-0.000123", "1.50", "2.0000001", "0.30000000000000004", "1234567.25", "1.5E-20",
        "1.5e+20", "9.99999999999999E+307", "123456789012345.6", "0.0", "-0.0", ".5", "5.",
        "1.7976931348623157E308", "4.9406564584124654E-324", "1.0E400", "12.5x", "1.5E", "+3.25",
        "100000000000000000000.5", "0.000000000000000000000000000000000000000000001"};
    uint64_t state = 88172645463325252ull;
    auto next = [&] { return state ^= state << 13, state ^= state >> 7, state ^= state << 17; };
    for (int i = 0; i < 20000; ++i) {
        // Up to 17 digits, the point anywhere, sometimes an exponent.
        std::string digits = std::to_string(next() % 100000000000000000ull);
        size_t point = next() % (digits.size() + 1);
        std::string t = (next() % 2 ? "-" : "") + digits.substr(0, point) + "." + digits.substr(point);
        if (next() % 4 == 0) t += "E" + std::to_string(static_cast<int>(next() % 60) - 30);
        texts.push_back(t);
    }
    for (const std::string& t : texts) {
        double x = std::strtod(t.c_str(), nullptr);
        EXPECT_EQ(text_significant_decimals(t.c_str(), x), significant_decimals(x)) << t;
    }
}

// A FLOAT or PERCENT number's text and the number read back from it are
// the general printer's (to_chars, fixed) and reader's (from_chars), also
// where a shortcut gives them: exact ties, carries, the edge of 2^52 and
// of 22 decimals, negatives and numbers no short decimal gives.
TEST(NumberText, ShortcutsGiveThePrintersText) {
    std::vector<std::pair<double, int>> cases = {
        {0.125, 2}, {2.5, 0}, {3.5, 0}, {0.5, 0}, {-0.125, 2}, {0.3, 1}, {0.1 + 0.2, 15}, {0.1 + 0.2, 17},
        {4503599627370495.0, 0}, {4503599627370496.0, 0}, {4503599627370495.5, 0}, {450359962737049.5, 1},
        {450359962737049.55, 1}, {1e-22, 22}, {1e-22, 23},
        {123.456, 6}, {-99.995, 2}, {9.995, 2}, {1.0 / 3, 16}, {0.0, 3}, {1e300, 2}, {-5e-324, 2}, {0.01, 6}};
    uint64_t state = 2463534242ull;
    auto next = [&] { return state ^= state << 13, state ^= state >> 7, state ^= state << 17; };
    for (int i = 0; i < 20000; ++i) {
        // Short decimals (as worksheets hold them) and arbitrary doubles.
        int d = static_cast<int>(next() % 24);
        double x = i % 2 ? static_cast<double>(static_cast<int64_t>(next() % 2000000000000ull) - 1000000000000ll) /
                               std::pow(10.0, static_cast<double>(next() % 16))
                         : std::ldexp(static_cast<double>(next() % (1ull << 53)), static_cast<int>(next() % 80) - 70);
        cases.emplace_back(x, d);
    }
    for (int type : {TBX_FLOAT, TBX_PERCENT}) {
        for (const auto& [x, d] : cases) {
            XLS_CELL c{};
            c.type = static_cast<signed char>(type);
            c.number = x;
            c.decimals = d;
            char want[TBX_VALUE_TEXT_BUF], buf[TBX_VALUE_TEXT_BUF];
            *std::to_chars(want, want + sizeof want - 1, x, std::chars_format::fixed, d).ptr = '\0';
            EXPECT_STREQ(cell_value_text(&c, buf), want) << x << " " << d;
            double back = 0;
            std::from_chars(want, want + std::strlen(want), back);
            EXPECT_EQ(cell_number(&c), back) << x << " " << d;
        }
    }
}

TEST(PutTypedValue, FailuresLeaveTheCellAlone) {
    test_book t;
    XLS_CELL* c = t.cell(0, 0);
    tbx_value v;
    v.text = "kept";
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &v), 0);
    EXPECT_EQ(put_typed_value(99, c, &v), -1);
    tbx_value bad;
    bad.year = 2024;
    bad.month = 13;
    bad.day = 1;
    EXPECT_EQ(put_typed_value(TBX_DATE, c, &bad), -4);
    EXPECT_EQ(put_typed_value(TBX_DATE_TIME, c, &bad), -4);
    EXPECT_EQ(c->type, TBX_CHARACTER);
    EXPECT_STREQ(c->text, "kept");
}

TEST(PutTypedValue, EveryKind) {
    test_book t;
    tbx_value v;
    v.number = 3.14159;
    v.decimals = 2;
    XLS_CELL* c = t.cell(0, 0);
    char buf[TBX_VALUE_TEXT_BUF];
    ASSERT_EQ(put_typed_value(TBX_FLOAT, c, &v), 0);
    EXPECT_STREQ(cell_value_text(c, buf), "3.14");
    EXPECT_EQ(c->value, 3);
    v.decimals = -3;  // no usable precision: printed without decimals
    ASSERT_EQ(put_typed_value(TBX_FLOAT, c, &v), 0);
    EXPECT_STREQ(cell_value_text(c, buf), "3");
    v.number = -HUGE_VAL;  // no number: printf's spelling
    ASSERT_EQ(put_typed_value(TBX_FLOAT, c, &v), 0);
    EXPECT_STREQ(cell_value_text(c, buf), "-inf");
    tbx_value s;
    s.index = 4;
    ASSERT_EQ(put_typed_value(TBX_SHARED_STRING, c, &s), 0);
    EXPECT_EQ(c->type, TBX_SHARED_STRING);
    EXPECT_EQ(c->value, 4);
    tbx_value f;
    f.text = "SUM(A1:A3)";
    ASSERT_EQ(put_typed_value(TBX_FORMULA, c, &f), 0);
    EXPECT_STREQ(c->text, "SUM(A1:A3)");
    tbx_value time;
    time.year = 1899;  // below 1900: a pure time of day
    time.month = 12;
    time.day = 31;
    time.hour = 18;
    ASSERT_EQ(put_typed_value(TBX_TIME_HMS, c, &time), 0);
    EXPECT_EQ(c->value, 0);
    EXPECT_STREQ(c->text, "0.750000");
    ASSERT_EQ(put_typed_value(TBX_EMPTY, c, &time), 0);
    EXPECT_EQ(c->type, TBX_EMPTY);
}

// ---------------------------------------------------------------------------
// Rendering
// ---------------------------------------------------------------------------

TEST(RenderDate, DefaultDateOfSerials) {
    XLS_BOOK b{};
    struct row {
        int serial;
        const char* text;
    } rows[] = {
        {0, "1900/1/0"},       {1, "1900/1/1"},    {59, "1900/2/28"}, {60, "1900/2/29"},
        {61, "1900/3/1"},      {2958465, "9999/12/31"}, {-1, "1900/1/1"}, {2958466, "1900/1/1"},
    };
    for (const row& r : rows) {
        XLS_CELL c{};
        c.type = TBX_DATE;
        c.value = r.serial;
        EXPECT_EQ(render_date(b, c, 0), r.text) << r.serial;
    }
}

TEST(RenderDate, TypesOfTheTable) {
    XLS_BOOK b{};
    struct row {
        int serial;
        const char* fraction;
        int type;
        const char* text;
    } rows[] = {
        {45292, "", 301, "2024/1"},
        {45292, "0.5", 303, "2024/1/1 12:00"},
        {45292, "0.5", 304, "2024/1/1 12:00 PM"},
        {45296, "", 305, "1"},
        {45296, "", 306, "1/5"},
        {45296, "", 307, "1/5/24"},
        {45296, "", 308, "01/05/24"},
        {45296, "", 309, "5-Jan"},
        {45296, "", 310, "5-Jan-24"},
        {45296, "", 311, "05-Jan-24"},
        {45296, "", 312, "Jan-24"},
        {45296, "", 313, "January-24"},
        {45296, "", 314, "J"},
        {45296, "", 315, "J-24"},
        {45296, "0.5", 316, "20240105"},
        {45296, "0.545833", 317, "20240105130600"},
        {45296, "0.545833", 318, "2024/1/5 13:06:00"},
        {45296, "", 319, "5"},
        {45296, "", 330, "1" SJ_GETSU},
        {45296, "", 331, "1" SJ_GETSU "5" SJ_NICHI},
        {45296, "", 332, "2024" SJ_NEN "1" SJ_GETSU},
        {45296, "", 333, "2024" SJ_NEN "1" SJ_GETSU "5" SJ_NICHI},
        {5, "", 307, "1/5/00"},  // 1900 prints as 00
        {45292, "", 340, "Mon"},
        {45292, "", 341, "Monday"},
        {45292, "", 342, SJ_GETSU},
        {45292, "", 343, SJ_GETSU "\x97\x6a" SJ_NICHI},
        {2, "0.378819", 401, "09:05"},
        {2, "0.378819", 402, "9" SJ_JI "5" SJ_FUN},
        {2, "0.010417", 403, "12:15 AM"},
        {2, "0.5", 403, "12:00 PM"},
        {2, "0.378819", 404, "9:05:30"},
        {2, "0.378819", 405, "9" SJ_JI "05" SJ_FUN "30" SJ_BYO},
        {2, "0.545243", 406, "1:05:09 PM"},
        {2, "0.378819", 407, "05:30"},
        {2, "0.000005", 404, "0:00:00"},     // below the threshold
        {2, "0.9999999", 404, "24:00:00"},   // rounds to hour 24
        {2, "0.9999999", 403, "12:00 AM"},   // hour 24 is the closing midnight
        {60, "0.5", 303, "1900/2/29 00:00"}, // no time on the fictitious day
        {1, "0.5", 303, "1900/1/1 12:00"},
        {1, "0.5", 404, "12:00:00"},
        {45292, "", 336, ""},
        {45292, "", 408, ""},
    };
    for (const row& r : rows) {
        XLS_CELL c{};
        c.type = TBX_DATE_TIME;
        c.value = r.serial;
        c.flags = TABX_CELL_TEXT;
        c.text = const_cast<char*>(r.fraction);
        EXPECT_EQ(render_date(b, c, r.type), r.text) << r.serial << " type " << r.type;
    }
}

TEST(RenderDate, Eras) {
    XLS_BOOK b{};
    struct row {
        int y, m, d, type;
        const char* text;
    } rows[] = {
        {1900, 1, 1, 334, "M33.1.1"},
        {1911, 12, 31, 334, "M44.12.31"},
        {1912, 7, 29, 334, "M45.7.29"},
        {1912, 7, 30, 334, "T1.7.30"},
        {1926, 12, 24, 334, "T15.12.24"},
        {1926, 12, 25, 334, "S1.12.25"},
        {1989, 1, 7, 334, "S64.1.7"},
        {1989, 1, 8, 334, "H1.1.8"},
        {2019, 4, 30, 334, "H31.4.30"},
        {2019, 5, 1, 334, "R1.5.1"},
        {2020, 5, 1, 334, "R2.5.1"},
        {2024, 4, 1, 335, "\x97\xdf\x98\x61" "6" SJ_NEN "4" SJ_GETSU "1" SJ_NICHI},
        {1989, 1, 8, 335, "\x95\xbd\x90\xac" "1" SJ_NEN "1" SJ_GETSU "8" SJ_NICHI},
        {1912, 7, 29, 335, "\x96\xbe\x8e\xa1" "45" SJ_NEN "7" SJ_GETSU "29" SJ_NICHI},
    };
    for (const row& r : rows) {
        double serial;
        ASSERT_EQ(datetime_to_serial(r.y, r.m, r.d, 0, 0, 0, &serial), 0);
        XLS_CELL c{};
        c.type = TBX_DATE;
        c.value = static_cast<int>(serial);
        EXPECT_EQ(render_date(b, c, r.type), r.text) << r.y << "-" << r.m << "-" << r.d;
    }
}

TEST(RenderCell, StoredValuesAsDisplayed) {
    test_book t;
    t.b.raw_display = 0;  // as MODE=UNLOAD: by number format
    int sst = -1;
    ASSERT_EQ(tbx_add_sst(&t.b, "shared\0tail", 6, &sst), 0);
    int xf_thousands, xf_currency, xf_general, xf_hidden, xf_date_time;
    ASSERT_EQ(tbx_add_xf(&t.b, 3, &xf_thousands), 0);
    ASSERT_EQ(tbx_add_xf(&t.b, 5, &xf_currency), 0);
    ASSERT_EQ(tbx_add_xf(&t.b, 0, &xf_general), 0);
    ASSERT_EQ(tbx_add_numfmt(&t.b, 190, "\"\""), 0);
    ASSERT_EQ(tbx_add_xf(&t.b, 190, &xf_hidden), 0);
    ASSERT_EQ(tbx_add_xf(&t.b, 22, &xf_date_time), 0);

    ASSERT_EQ(put_number(&t.b, 0, 0, 0, 3, xf_thousands, 1234567), 0);
    ASSERT_EQ(put_number(&t.b, 0, 0, 1, 5, xf_currency, -1234.5), 0);
    ASSERT_EQ(put_number(&t.b, 0, 0, 2, 0, xf_general, 2.5), 0);
    ASSERT_EQ(put_number(&t.b, 0, 0, 3, 190, xf_hidden, 42), 0);
    ASSERT_EQ(put_number(&t.b, 0, 0, 4, 10, xf_general, 0.125), 0);
    ASSERT_EQ(put_number(&t.b, 0, 0, 5, 22, xf_date_time, 45292.5), 0);
    tbx_value v;
    v.index = sst;
    ASSERT_EQ(put_typed_value(TBX_SHARED_STRING, t.cell(0, 6), &v), 0);
    v.index = 99;  // outside the table
    ASSERT_EQ(put_typed_value(TBX_SHARED_STRING, t.cell(0, 7), &v), 0);
    v.text = "text";
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, t.cell(0, 8), &v), 0);
    v.text = "A1+1";
    ASSERT_EQ(put_typed_value(TBX_FORMULA, t.cell(0, 9), &v), 0);

    // Through each cell's own format: id 5 is Japanese currency, the
    // percentage stored under id 10 shows by its General cell format, and
    // id 22 is yyyy/m/d h:mm.
    const char* formatted[] = {"1,234,567", "\xC2\xA5-1,235", "2.5", "", "0.125",
                               "2024/1/1 12:00", "shared", "", "text", ""};
    const char* raw[] = {"1234567", "-1234.5", "2.5", "42", "12.5%",
                         "2024/1/1 12:00", "shared", "", "text", ""};
    for (int col = 0; col < 10; ++col) {
        t.b.raw_display = 0;
        EXPECT_EQ(render(t.b, *tbx_find_cell(&t.b, 0, 0, col)), formatted[col]) << col;
        t.b.raw_display = 0xFF;
        EXPECT_EQ(render(t.b, *tbx_find_cell(&t.b, 0, 0, col)), raw[col]) << col;
    }
}

TEST(RenderCell, ExplicitFormats) {
    test_book t;
    ASSERT_EQ(put_number(&t.b, 0, 0, 0, 0, 0, 1234.5), 0);
    ASSERT_EQ(put_number(&t.b, 0, 0, 1, 10, 0, 0.125), 0);
    ASSERT_EQ(put_number(&t.b, 0, 0, 2, 14, 0, 45296), 0);
    std::vector<char> out(TBX_RENDER_BUF);
    format_cell_with(&t.b, tbx_find_cell(&t.b, 0, 0, 0), 0, 107, 2, out.data());
    EXPECT_STREQ(out.data(), "1,234.50");
    format_cell_with(&t.b, tbx_find_cell(&t.b, 0, 0, 0), 0, 100, 2, out.data());
    EXPECT_STREQ(out.data(), "1234.5");
    format_cell_with(&t.b, tbx_find_cell(&t.b, 0, 0, 1), 0, 0, 1, out.data());
    EXPECT_STREQ(out.data(), "12.5%");
    format_cell_with(&t.b, tbx_find_cell(&t.b, 0, 0, 2), 311, 0, 0, out.data());
    EXPECT_STREQ(out.data(), "05-Jan-24");
}

TEST(RenderCell, LongTextsAreCutToTheBuffer) {
    test_book t;
    std::string big(200000, 'x');
    tbx_value v;
    v.text = big.c_str();
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, t.cell(0, 0), &v), 0);
    ASSERT_EQ(tbx_add_sst(&t.b, big.data(), static_cast<int>(big.size())), 0);
    v.index = 0;
    ASSERT_EQ(put_typed_value(TBX_SHARED_STRING, t.cell(0, 1), &v), 0);
    EXPECT_EQ(render(t.b, *tbx_find_cell(&t.b, 0, 0, 0)).size(), 98301u);
    EXPECT_EQ(render(t.b, *tbx_find_cell(&t.b, 0, 0, 1)).size(), 98301u);
}

}  // namespace
