// The number-format engine against the case table (number_format_cases.tsv:
// code, value and the text Excel shows, grouped by feature), and the rule
// that no change is hidden: two values Excel shows differently give
// different texts under every kind of code.
#include <gtest/gtest.h>

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "cell_format.h"
#include "number_format.h"
#include "tabx.h"
#include "tbx_private.h"
#include "test_support.h"

namespace {

struct row {
    std::string feature, code, value, expected, note;
    int line;
};

std::vector<row> load_cases() {
    std::vector<row> rows;
    std::ifstream in(VERGLE_NUMBER_FORMAT_CASES);
    std::string line;
    int n = 0;
    while (std::getline(in, line)) {
        ++n;
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> f;
        size_t start = 0;
        for (;;) {
            size_t tab = line.find('\t', start);
            f.push_back(line.substr(start, tab == std::string::npos ? std::string::npos : tab - start));
            if (tab == std::string::npos) break;
            start = tab + 1;
        }
        while (f.size() < 5) f.emplace_back();
        rows.push_back({f[0], f[1], f[2], f[3], f[4], n});
    }
    return rows;
}

std::string code_of(const std::string& code) {
    if (code.compare(0, 3, "id:") == 0) {
        const char* b = nf_builtin_code(std::atoi(code.c_str() + 3));
        return b ? b : "General";
    }
    return code;
}

std::string render(const std::string& code, const std::string& value, bool date1904) {
    nf_format_ptr f = nf_compile(code_of(code).c_str());
    std::vector<char> out(TBX_RENDER_BUF);
    if (value.compare(0, 2, "s:") == 0) {
        nf_render_text(f.get(), value.c_str() + 2, value.size() - 2, out.data(), out.size());
    } else {
        double x = std::strtod(value.c_str(), nullptr);
        nf_render_number(f.get(), x, date1904, out.data(), out.size());
    }
    return out.data();
}

TEST(NumberFormat, CaseTable) {
    std::vector<row> rows = load_cases();
    ASSERT_GE(rows.size(), 400u);
    std::map<std::string, int> failed;
    for (const row& r : rows) {
        std::string got = render(r.code, r.value, r.feature == "date1904");
        EXPECT_EQ(got, r.expected) << "line " << r.line << " [" << r.feature << "] code " << r.code
                                   << " value " << r.value;
        if (got != r.expected) failed[r.feature]++;
    }
    for (const auto& f : failed) ADD_FAILURE() << f.first << ": " << f.second << " rows differ";
}

TEST(NumberFormat, ValueTypes) {
    struct {
        const char* code;
        int type;
    } cases[] = {
        {"yyyy/mm/dd", TBX_DATE},
        {"yyyy\"年\"m\"月\"d\"日\"(aaa)", TBX_DATE},
        {"m/d(aaa)", TBX_DATE},
        {"0.00;[Red]-0.00", TBX_GENERAL_NUMBER},
        {"0.0\"days\"", TBX_GENERAL_NUMBER},
        {"[h]:mm", TBX_DATE_TIME},
        {"[h]:mm:ss", TBX_DATE_TIME},
        {"HH:MM:SS", TBX_DATE_TIME},
        {"yyyy/m/d h:mm", TBX_DATE_TIME},
        {"0.0%", TBX_PERCENT},
        {"0\"%\"", TBX_GENERAL_NUMBER},
        {"[Red]0", TBX_GENERAL_NUMBER},
        {"[$-411]ggge\"年\"m\"月\"d\"日\"", TBX_DATE},
        {"General", TBX_GENERAL_NUMBER},
        {"@", TBX_GENERAL_NUMBER},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(nf_value_type(nf_compile(c.code).get()), c.type) << c.code;
    }
}

// For every kind of code, two values Excel shows differently give two
// different texts.
TEST(NumberFormat, NoChangeHidden) {
    auto serial = [](int y, int m, int d) {
        double s = 0;
        datetime_to_serial(y, m, d, 0, 0, 0, &s);
        return s;
    };
    const double jan5 = serial(2024, 1, 5), jan12 = serial(2024, 1, 12), jan5_2023 = serial(2023, 1, 5);
    struct {
        const char* code;
        double a, b;
    } pairs[] = {
        {"General", 0.1, 0.2},
        {"General", 1e100, 2e100},
        {"[>=100]0;0.0", 150, 151},
        {"[Red]0", 1, 2},
        {"[Color10]0", 1, 2},
        {"[$-411]0", 1, 2},
        {"[$-ja-JP]0", 1, 2},
        {"[$¥-411]#,##0", 1, 2},
        {"[$-F800]dddd, mmmm dd, yyyy", jan5, jan12},
        {"[$-F400]h:mm:ss AM/PM", 0.25, 0.5},
        {"0\"days\"", 2, 3},
        {"0\\h", 1, 2},
        {"_(0_)", 1, 2},
        {"*-0", 1, 2},
        {"0;-0;0;@", 1, 2},
        {"0", 1234, 1235},
        {"#", 1, 2},
        {"?", 1, 2},
        {"0.00", 1.01, 1.02},
        {"#,##0", 1234, 1235},
        {"#,##0,", 1234000, 1235000},
        {"0%", 0.01, 0.02},
        {"0.00E+00", 12345, 12355},
        {"# ?/?", 1.5, 1.25},
        {"?/8", 0.25, 0.5},
        {"0.00;[Red]-0.00", 1234.5, 4156.5},
        {"0.0\"days\"", 2.5, 3.5},
        {"y", jan5, jan5_2023},
        {"yy", jan5, jan5_2023},
        {"yyyy", jan5, jan5_2023},
        {"yyyy/mm/dd", jan5, jan5_2023},
        {"yyyy\"年\"mm\"月\"dd\"日\"", jan5, jan5_2023},
        {"m", jan5, serial(2024, 2, 5)},
        {"mm", jan5, serial(2024, 2, 5)},
        {"mmm", jan5, serial(2024, 2, 5)},
        {"mmmm", jan5, serial(2024, 2, 5)},
        {"mmmmm", jan5, serial(2024, 2, 5)},
        {"mmm\\ yyyy", jan5, jan5_2023},
        {"d", jan5, jan12},
        {"dd", jan5, jan12},
        {"ddd", jan5, jan5 + 1},
        {"dddd", jan5, jan5 + 1},
        {"yyyy\"年\"m\"月\"d\"日\"(aaa)", jan5, jan12},
        {"yyyy/m/d(aaa)", jan5, jan12},
        {"m/d(aaa)", jan5, jan12},
        {"h", 0.25, 0.5},
        {"hh", 0.25, 0.5},
        {"h:mm", 0.25, 0.25 + 1.0 / 1440},
        {"s", 0, 1.0 / 86400},
        {"ss", 0, 1.0 / 86400},
        {"mm:ss.0", 0, 0.1 / 86400},
        {"mm:ss.00", 0, 0.01 / 86400},
        {"h:mm AM/PM", 0.25, 0.75},
        {"h:mm A/P", 0.25, 0.75},
        {"午前/午後h:mm", 0.25, 0.75},
        {"[h]:mm", 1.5, 0.5},
        {"[m]", 1.0 / 24, 2.0 / 24},
        {"[s]", 1.0 / 1440, 2.0 / 1440},
        {"HH:MM:SS", 0.458333333333333, 0.5},
        {"yyyy\"年\"m\"月\"d\"日\" h:mm", jan5 + 0.25, jan5 + 0.5},
        {"g", serial(2018, 1, 1), serial(2020, 1, 1)},
        {"gg", serial(2018, 1, 1), serial(2020, 1, 1)},
        {"ggg", serial(2018, 1, 1), serial(2020, 1, 1)},
        {"e", jan5, jan5_2023},
        {"ee", jan5, jan5_2023},
        {"aaa", jan5, jan5 + 1},
        {"aaaa", jan5, jan5 + 1},
        {"[DBNum1]0", 1, 2},
        {"[DBNum2]0", 1, 2},
        {"[DBNum3]0", 1, 2},
        {";;;", 1, 1},  // hidden: Excel shows nothing for either
        {".00", 12.5, 0.5},
        {".00", 12.5, 99.5},
        {".0%", 1.234, 0.234},
        {"\"This is a \".00\"test\"000", 3.14159, 4.14159},
        {"General", 1e-41, 2e-41},
        {"0.00000E+00", 5.58069e-36, 5.5807e-36},
        {"0", 1e20, 2e20},
        {"[$-x-sysdate]dddd, mmmm dd, yyyy", jan5, jan12},
        {"[$-x-systime]h:mm:ss AM/PM", 0.25, 0.5},
        {"[$-411]mmm", jan5, serial(2024, 2, 5)},
        {"[$-ja-JP]mmmm", jan5, serial(2024, 2, 5)},
        {"[$-411]ddd", jan5, jan5 + 1},
        {"[$-411]dddd", jan5, jan5 + 1},
        {"[$-411]h:mm AM/PM", 0.25, 0.75},
        {"[<=-25]General", -25, 25},
        {"[Red][<-25]General;[Blue][>25]General;[Green]General;[Yellow]General", -26, 26},
    };
    for (const auto& p : pairs) {
        nf_format_ptr f = nf_compile(p.code);
        std::vector<char> a(256), b(256);
        nf_render_number(f.get(), p.a, false, a.data(), a.size());
        nf_render_number(f.get(), p.b, false, b.data(), b.size());
        if (std::strcmp(p.code, ";;;") == 0) {
            EXPECT_STREQ(a.data(), "");
            continue;
        }
        EXPECT_STRNE(a.data(), b.data()) << p.code << ": " << p.a << " and " << p.b;
    }
    // Text sections: two texts stay two texts.
    for (const char* code : {"0;-0;0;\"<\"@\">\"", "[Red][<-25]General;[Blue][>25]General;[Green]General;[Yellow]General"}) {
        nf_format_ptr t = nf_compile(code);
        std::vector<char> a(64), b(64);
        nf_render_text(t.get(), "foo", 3, a.data(), a.size());
        nf_render_text(t.get(), "bar", 3, b.data(), b.size());
        EXPECT_STRNE(a.data(), b.data()) << code;
    }
    // Negative times of the 1904 date system.
    nf_format_ptr hm = nf_compile("h:mm");
    std::vector<char> a(64), b(64);
    nf_render_number(hm.get(), -0.5, true, a.data(), a.size());
    nf_render_number(hm.get(), -0.25, true, b.data(), b.size());
    EXPECT_STRNE(a.data(), b.data());
    // The same value under two codes Excel shows differently, and two
    // values Excel shows the same.
    struct shown {
        const char* code;
        double value;
    };
    const std::pair<shown, shown> differ[] = {
        {{"[DBNum1]0\"2\"", 1}, {"[DBNum1]0", 12}},
        {{"₩#,##0", 5}, {"₹#,##0", 5}},
        {{"\"€\"0", 5}, {"\"£\"0", 5}},
        {{"0\"〜\"", 5}, {"0\"~\"", 5}},
    };
    const std::pair<shown, shown> same[] = {
        {{"0", -0.0}, {"0", 0}},
        {{"General", -0.0}, {"General", 0}},
        {{"0.00", -0.0}, {"0.00", 0}},
        {{"[$-x-sysdate]dddd, mmmm dd, yyyy", jan5}, {"[$-F800]dddd, mmmm dd, yyyy", jan5}},
    };
    auto text_of = [](const shown& x) {
        std::vector<char> out(256);
        nf_render_number(nf_compile(x.code).get(), x.value, false, out.data(), out.size());
        return std::string(out.data());
    };
    for (const auto& d : differ) EXPECT_NE(text_of(d.first), text_of(d.second)) << d.first.code << " and " << d.second.code;
    for (const auto& d : same) EXPECT_EQ(text_of(d.first), text_of(d.second)) << d.first.code << " and " << d.second.code;
}

}  // namespace

namespace {

// DISPLAY=CLASSIC keeps the closed list of renderings; the default shows the
// same cells as Excel does.
TEST(NumberFormat, ClassicDisplayKeyword) {
    const std::string path = vt::join(vt::join(vt::corpus_dir(), "generated"),
                                      "xlsx_dates_japanese__xlsxwriter.xlsx");
    if (!std::ifstream(path).good()) GTEST_SKIP() << "no corpus";
    struct {
        const char* keywords;
        const char* text;
    } modes[] = {{"", "0:15"}, {" DISPLAY=EXCEL", "0:15"}, {" DISPLAY=CLASSIC", "00:15"}};
    for (const auto& m : modes) {
        XLS_BOOK book;
        std::string args = "EXCEL=\"" + path + "\" MODE=UNLOAD CHARSET=UTF8" + m.keywords;
        ASSERT_EQ(TABX_open_book(&book, args.c_str()), 0) << m.keywords;
        char text[256], type[64];
        int found = -1;
        for (int s = 0; s < TABX_sheet_num(&book); ++s) {
            char name[300];
            TABX_sheet_name(&book, s, name);
            if (std::string(name) == "時刻") found = s;
        }
        ASSERT_GE(found, 0);
        TABX_open_sheet2(&book, found);
        ASSERT_EQ(TABX_get_cell(&book, "B2", text, sizeof text, type, sizeof type), 0);
        EXPECT_STREQ(text, m.text) << m.keywords;
        TABX_close_book(&book, "DESTROY");
    }
    XLS_BOOK book;
    EXPECT_EQ(TABX_open_book(&book, "DISPLAY=SOMETIMES"), -3);
    TABX_close_book(&book, "DESTROY");
}

}  // namespace

namespace {

// The code a cell is shown with: the book's own, else the built-in one.
std::string code_of_cell(const XLS_BOOK& b, const XLS_CELL& c) {
    int id = c.xf >= 0 && c.xf < b.xf_count ? b.xf[c.xf].numfmt : 0;
    for (int i = 0; i < b.numfmt_count; ++i) {
        if (b.numfmt[i].id == id) return b.numfmt[i].code;
    }
    const char* builtin = nf_builtin_code(id);
    return builtin ? builtin : "General";
}

// The same sheets saved by two writers: wherever both files give a cell the
// same value kind and the same format code, the texts are the same.
TEST(NumberFormat, TwoWritersShowTheSameText) {
    const std::string gen = vt::join(vt::corpus_dir(), "generated");
    const char* pairs[][2] = {
        {"xls_number_formats__gnumeric.xls", "xls_number_formats__libreoffice.xls"},
        {"xls_basic_types__gnumeric.xls", "xls_basic_types__libreoffice.xls"},
        {"xlsx_number_formats__libreoffice.xlsx", "xlsx_number_formats__xlsxwriter.xlsx"},
        {"xlsx_dates_japanese__libreoffice.xlsx", "xlsx_dates_japanese__xlsxwriter.xlsx"},
        {"xlsx_basic_types__libreoffice.xlsx", "xlsx_basic_types__xlsxwriter.xlsx"},
    };
    int compared = 0;
    for (const auto& p : pairs) {
        if (!std::ifstream(vt::join(gen, p[0])).good()) GTEST_SKIP() << "no corpus";
        XLS_BOOK a, b;
        ASSERT_EQ(TABX_open_book(&a, ("EXCEL=\"" + vt::join(gen, p[0]) + "\" MODE=UNLOAD CHARSET=UTF8").c_str()), 0);
        ASSERT_EQ(TABX_open_book(&b, ("EXCEL=\"" + vt::join(gen, p[1]) + "\" MODE=UNLOAD CHARSET=UTF8").c_str()), 0);
        std::vector<char> ta(TBX_RENDER_BUF), tb(TBX_RENDER_BUF);
        for (int s = 0; s < a.sheet_count && s < b.sheet_count; ++s) {
            const XLS_SHEET& sa = a.sheets[s];
            const XLS_SHEET& sb = b.sheets[s];
            for (int r = 0; r < sa.used_rows && r < sb.used_rows; ++r) {
                for (int c = 0; c < sa.rows[r].used && c < sb.rows[r].used; ++c) {
                    const XLS_CELL& ca = sa.rows[r].cells[c];
                    const XLS_CELL& cb = sb.rows[r].cells[c];
                    bool number_a = ca.type >= TBX_INTEGER && ca.type <= TBX_TIME_HMS;
                    bool number_b = cb.type >= TBX_INTEGER && cb.type <= TBX_TIME_HMS;
                    if (!number_a || !number_b || code_of_cell(a, ca) != code_of_cell(b, cb)) continue;
                    if (cell_number(&ca) != cell_number(&cb)) continue;  // not the same value
                    format_cell(&a, &ca, ta.data());
                    format_cell(&b, &cb, tb.data());
                    EXPECT_STREQ(ta.data(), tb.data()) << p[0] << " and " << p[1] << " sheet " << s << " row "
                                                       << r + 1 << " column " << c + 1 << " code "
                                                       << code_of_cell(a, ca);
                    ++compared;
                }
            }
        }
        TABX_close_book(&a, "DESTROY");
        TABX_close_book(&b, "DESTROY");
    }
    EXPECT_GT(compared, 50);
}

}  // namespace

namespace {

// The published format-code tables of another project's test suite: each
// row holds Excel's TEXT(value, code) result as cached by Excel, the code and
// the value.  At least 95% of the rows show Excel's text.
TEST(NumberFormat, PublishedTablesOfExcelResults) {
    const char* books[] = {"NumberFormatTests.xlsx", "DateFormatTests.xlsx"};
    for (const char* name : books) {
        const std::string path = vt::join(vt::join(vt::join(vt::corpus_dir(), "public"), "apache__poi"), name);
        if (!std::ifstream(path).good()) GTEST_SKIP() << "no corpus";
        XLS_BOOK b;
        ASSERT_EQ(TABX_open_book(&b, ("EXCEL=\"" + path + "\" MODE=UNLOAD CHARSET=UTF8").c_str()), 0);
        int rows = 0, same = 0;
        std::string misses;
        std::vector<char> out(TBX_RENDER_BUF), want(TBX_RENDER_BUF), code(TBX_RENDER_BUF);
        for (int s = 0; s < b.sheet_count; ++s) {
            const XLS_SHEET& sh = b.sheets[s];
            for (int r = 1; r < sh.used_rows; ++r) {
                const XLS_ROW& row = sh.rows[r];
                if (row.used < 3) continue;
                const XLS_CELL& result = row.cells[0];
                const XLS_CELL& fmt = row.cells[1];
                const XLS_CELL& value = row.cells[2];
                if (result.type != TBX_CHARACTER || (fmt.type != TBX_SHARED_STRING && fmt.type != TBX_CHARACTER)) continue;
                if (value.type < TBX_INTEGER || value.type > TBX_TIME_HMS) continue;
                format_cell(&b, &result, want.data());
                format_cell(&b, &fmt, code.data());
                nf_format_ptr f = nf_compile(code.data());
                const tbx_private* p = tbx_priv(&b);
                nf_render_number(f.get(), cell_number(&value), p && p->date1904, out.data(), out.size());
                ++rows;
                if (std::strcmp(out.data(), want.data()) == 0) ++same;
                else misses += std::string("  ") + code.data() + " " + std::to_string(cell_number(&value)) + " -> \"" + out.data() + "\", Excel \"" + want.data() + "\"\n";
            }
        }
        TABX_close_book(&b, "DESTROY");
        ASSERT_GT(rows, 20) << name;
        EXPECT_GE(same * 100, rows * 95) << name << ": " << same << " of " << rows << "\n" << misses;
        std::printf("%s: %d of %d rows show Excel's text\n%s", name, same, rows, misses.c_str());
    }
}

}  // namespace
