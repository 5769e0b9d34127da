// Formulas of Open XML worksheets: a shared formula's text moved to each of
// its cells, and the formula texts the library gives (TABX_get_formula).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xlsx_test_book.h"

namespace {

TEST(SharedFormula, MovedToItsCell) {
    struct {
        const char* text;
        long rows, columns;
        const char* moved;
    } cases[] = {
        {"TEXT(C2, B2)", 1, 0, "TEXT(C3, B3)"},
        {"A1+$A1+A$1+$A$1", 2, 3, "D3+$A3+D$1+$A$1"},
        {"SUM(A1:B2)*2", 1, 1, "SUM(B2:C3)*2"},
        {"SUM(A:B)+SUM($C:C)+SUM(1:2)+SUM($3:3)", 1, 1, "SUM(B:C)+SUM($C:D)+SUM(2:3)+SUM($3:4)"},
        {"Data!A1+'My Sheet'!B2+'A1'!C3", 1, 0, "Data!A2+'My Sheet'!B3+'A1'!C4"},
        {"\"A1\"&A1&\"say \"\"B2\"\"\"", 1, 0, "\"A1\"&A2&\"say \"\"B2\"\"\""},
        {"LOG10(A1)+RATE2024+ATAN2(B1,C1)+TAX2024", 1, 0, "LOG10(A2)+RATE2024+ATAN2(B2,C2)+TAX2025"},
        {"A1*1E5+2.5E-3", 1, 0, "A2*1E5+2.5E-3"},
        {"SUM(Table1[Amount])+[1]Sheet1!A1", 1, 0, "SUM(Table1[Amount])+[1]Sheet1!A2"},
        {"_xlfn.STDEV.S(A1:A3)", 0, 1, "_xlfn.STDEV.S(B1:B3)"},
        {"A1 B2", 1, 1, "B2 C3"},
        {"XFD1+A1048576", 1, 1, "#REF!+#REF!"},
        {"a1+xfd1", 0, -1, "#REF!+XFC1"},
        {"{1,2;3,4}", 5, 5, "{1,2;3,4}"},
        {"IF(A1>0,TRUE,FALSE)", 1, 0, "IF(A2>0,TRUE,FALSE)"},
    };
    for (const auto& c : cases) EXPECT_EQ(xlsx_moved_formula(c.text, c.rows, c.columns), c.moved) << c.text;
}

struct formula_book : xt::test_book {
    formula_book() {
        TABX_close_book(&book, "DESTROY");
        EXPECT_EQ(TABX_open_book(&book, "CHARSET=UTF8 FORMULAS=TRUE"), 0);
        book.style_keep = book.raw_display = 0;
    }
    // "=..." with " | range" when it has one, or "#code message".
    std::string formula(const char* name) {
        TABX_open_sheet2(&book, 0);
        std::vector<char> text(TABX_CELL_TEXT_BUF);
        char range[32];
        int rc = TABX_get_formula(&book, name, text.data(), static_cast<int>(text.size()), range, sizeof range);
        if (rc != 0) return "#" + std::to_string(rc) + " " + TABX_error_mesg(&book);
        return std::string(text.data()) + (range[0] ? std::string(" | ") + range : "");
    }
};

TEST(XlsxFormulas, AsStoredSharedFormulasPerCell) {
    formula_book b;
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\"><v>1</v></c><c r=\"B1\"><f>A1*2</f><v>2</v></c>"
                      "<c r=\"C1\"><f t=\"shared\" ref=\"C1:C3\" si=\"0\">$A1+A1</f><v>2</v></c>"
                      "<c r=\"D1\"><f t=\"array\" ref=\"D1:D3\">A1:A3*2</f><v>2</v></c>"
                      "<c r=\"E1\" t=\"str\"><f>IF(A1&gt;0,&quot;a&amp;b&quot;,&quot;&lt;&quot;)</f><v>a&amp;b</v></c></row>"
                      "<row r=\"2\"><c r=\"C2\"><f t=\"shared\" si=\"0\"/><v>4</v></c><c r=\"D2\"><v>4</v></c>"
                      "<c r=\"F2\"><f t=\"dataTable\" ref=\"F2:G3\" dt2D=\"1\" dtr=\"0\" r1=\"A1\" r2=\"B1\"/><v>9</v></c></row>"
                      "<row r=\"3\"><c r=\"C3\"><f t=\"shared\" si=\"0\"></f><v>6</v></c>"
                      "<c r=\"E3\" t=\"str\"><f>\"line\r\nbreak\"</f><v></v></c>"
                      "<c r=\"F3\"><f t=\"shared\" si=\"7\"/><v>6</v></c></row>"),
              0);
    const std::pair<const char*, const char*> want[] = {
        {"A1", ""},
        {"B1", "=A1*2"},
        {"C1", "=$A1+A1"},
        {"C2", "=$A2+A2"},
        {"C3", "=$A3+A3"},
        {"D1", "{=A1:A3*2} | D1:D3"},
        {"D2", ""},
        {"E1", "=IF(A1>0,\"a&b\",\"<\")"},
        {"E3", "=\"line\nbreak\""},
        {"F2", "{=TABLE(A1,B1)} | F2:G3"},
        {"F3", "#-1 TABX-03610 数式を読み取れません(\"Sheet1!F3: a shared formula that is missing\")。"},
        {"Z9", ""},
    };
    ASSERT_EQ(tbx_set_sheet_name(&b.book, 0, "Sheet1"), 0);
    for (const auto& w : want) EXPECT_EQ(b.formula(w.first), w.second) << w.first;
    // A formula whose value is empty still counts among its row's cells.
    TABX_open_sheet2(&b.book, 0);
    EXPECT_EQ(TABX_column_num(&b.book, 2), 6);
}

TEST(XlsxFormulas, WrittenAgainOrTooLongOrNotKept) {
    formula_book b;
    const std::string huge(40000, '1');
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\"><f>1+1</f><v>2</v></c><c r=\"A1\"><v>5</v></c>"
                      "<c r=\"B1\"><f>" + huge + "</f><v>1</v></c></row>"),
              0);
    EXPECT_EQ(b.formula("A1"), "");
    std::string long_one = b.formula("B1");
    EXPECT_EQ(long_one.substr(0, 14), "#-9 TABX-03009") << long_one;
    std::vector<char> small(8);
    char range[4];
    EXPECT_EQ(TABX_get_formula(&b.book, "B1", small.data(), 8, range, sizeof range), -9);
    EXPECT_EQ(TABX_get_formula(&b.book, "Q0", small.data(), 8, range, sizeof range), -3);

    xt::test_book plain;
    ASSERT_EQ(plain.sheet("<row r=\"1\"><c r=\"A1\"><f>1+1</f><v>2</v></c></row>"), 0);
    TABX_open_sheet2(&plain.book, 0);
    EXPECT_EQ(TABX_get_formula(&plain.book, "A1", small.data(), 8, nullptr, 0), -1);
}

TEST(XlsxFormulas, BufferTooSmall) {
    formula_book b;
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\"><f t=\"array\" ref=\"A1:A3\">B1:B3*2</f><v>2</v></c></row>"), 0);
    TABX_open_sheet2(&b.book, 0);
    char text[64], range[4];
    EXPECT_EQ(TABX_get_formula(&b.book, "A1", text, 8, nullptr, 0), -909);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(TABX_get_formula(&b.book, "A1", text, sizeof text, range, sizeof range), -909);
    EXPECT_EQ(TABX_get_formula(&b.book, "A1", text, sizeof text, nullptr, 0), 0);
    EXPECT_STREQ(text, "{=B1:B3*2}");
}

}  // namespace
