// The host's locale plays no part in what cells show: a program that loads
// the library and sets LC_NUMERIC to a locale with a decimal comma gets the
// same texts as one that leaves the "C" locale alone.
#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform.h"
#include "tabx.h"
#include "test_support.h"
#include "xlsx_test_book.h"

namespace {

bool decimal_comma() {
    const std::lconv* c = std::localeconv();
    return c && c->decimal_point && std::string(c->decimal_point) == ",";
}

// Sets LC_NUMERIC to a locale whose decimal point is a comma: one the system
// has, else one built with localedef into `dir` (found through LOCPATH).
// False, with the reason, when there is none to be had.
bool set_comma_locale(const vt::scratch_dir& dir, std::string* why) {
    const char* names[] = {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "nl_NL.UTF-8", "German_Germany.1252"};
    for (const char* n : names) {
        if (std::setlocale(LC_NUMERIC, n) && decimal_comma()) return true;
    }
    std::string cmd = "localedef -c -i de_DE -f UTF-8 \"" + (dir / "de_DE.UTF-8") + "\" >/dev/null 2>&1";
    std::system(cmd.c_str());  // warnings give a non-zero status with a usable locale
    if (vt::exists(dir / "de_DE.UTF-8")) {
        plat_setenv("LOCPATH", dir.path().c_str());
        bool ok = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") && decimal_comma();
        plat_setenv("LOCPATH", nullptr);
        if (ok) return true;
    }
    std::setlocale(LC_NUMERIC, "C");
    *why = "no locale with a decimal comma on this system, and localedef could not build one";
    return false;
}

// Every cell's text and type of a workbook, sheet by sheet.
std::string dump(const std::string& path) {
    XLS_BOOK book{};
    std::string args = "EXCEL=\"" + path + "\" MODE=UNLOAD CHARSET=UTF8";
    std::string out = "rc " + std::to_string(TABX_open_book(&book, args.c_str())) + "\n";
    std::vector<char> text(TABX_CELL_TEXT_BUF), type(TABX_CELL_TEXT_BUF);
    for (int s = 0; s < TABX_sheet_num(&book); ++s) {
        TABX_open_sheet2(&book, s);
        for (int r = 0; r < TABX_row_num(&book); ++r) {
            for (int c = 0; c < TABX_column_num(&book, r); ++c) {
                char name[16];
                TABX_cell_name(r + 1, c + 1, name);
                TABX_get_cell(&book, name, text.data(), static_cast<int>(text.size()), type.data(),
                              static_cast<int>(type.size()));
                out += std::string(name) + "\t" + text.data() + "\t" + type.data() + "\n";
            }
        }
    }
    TABX_close_book(&book, "DESTROY");
    return out;
}

// Value texts with blanks and decimals, and conditions with decimals.
std::vector<std::string> own_cells() {
    xt::test_book b;
    EXPECT_EQ(b.scan(PART_STYLES,
                     "<styleSheet><numFmts>"
                     "<numFmt numFmtId=\"164\" formatCode=\"[&lt;0.5]&quot;small&quot;0.00;&quot;big&quot;0.00\"/>"
                     "</numFmts><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/></cellXfs></styleSheet>"),
              0);
    EXPECT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\"><v> 2.5</v></c><c r=\"B1\"><v>+1.25E+2</v></c>"
                      "<c r=\"C1\" s=\"1\"><v>0.25</v></c><c r=\"D1\" s=\"1\"><v>0.75</v></c>"
                      "<c r=\"E1\"><v>1.5</v></c></row>"),
              0);
    return {b.cell("A1"), b.cell("B1"), b.cell("C1"), b.cell("D1"), b.cell("E1")};
}

TEST(HostLocale, ADecimalCommaChangesNoText) {
    const std::vector<std::string> want = {"2.5", "125", "small0.25", "big0.75", "1.5"};
    std::vector<std::string> books = vt::corpus_files({"xls", "xlsx", "xlsm"});
    std::vector<std::string> in_c;
    ASSERT_EQ(own_cells(), want);
    for (const std::string& f : books) in_c.push_back(dump(f));

    vt::scratch_dir dir;
    std::string why;
    if (!set_comma_locale(dir, &why)) GTEST_SKIP() << why;
    EXPECT_EQ(own_cells(), want);
    for (size_t i = 0; i < books.size(); ++i) EXPECT_EQ(dump(books[i]), in_c[i]) << books[i];
    std::setlocale(LC_NUMERIC, "C");
}

}  // namespace
