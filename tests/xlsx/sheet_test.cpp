// Worksheet handlers: cells, values by their pending types, rows.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tbx_private.h"
#include "xlsx_test_book.h"

namespace {

using xt::test_book;

// Cell formats 0..6 with number formats General, 0%, yyyy/m/d (14),
// h:mm (20), a custom Japanese date, a custom thousands format and a time
// with milliseconds.
void add_formats(test_book& b) {
    ASSERT_EQ(b.scan(PART_STYLES,
                     "<styleSheet><numFmts count=\"2\">"
                     "<numFmt numFmtId=\"176\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
                     "<numFmt numFmtId=\"177\" formatCode=\"#,##0\"/>"
                     "<numFmt numFmtId=\"178\" formatCode=\"h:mm:ss.000\"/></numFmts>"
                     "<cellStyleXfs count=\"1\"><xf numFmtId=\"9\"/></cellStyleXfs>"
                     "<cellXfs count=\"6\"><xf numFmtId=\"0\"/><xf numFmtId=\"9\"/>"
                     "<xf numFmtId=\"14\"/><xf numFmtId=\"20\"/><xf numFmtId=\"176\"/>"
                     "<xf numFmtId=\"177\"><alignment/></xf><xf numFmtId=\"178\"/></cellXfs></styleSheet>"),
              0);
    ASSERT_EQ(b.book.xf_count, 7);
}

TEST(SheetXml, ValuesByPendingType) {
    struct row {
        const char* what;
        const char* cell;  // the <c> element at A1
        const char* text;  // displayed
        int type;
    } rows[] = {
        {"integer", "<c r=\"A1\"><v>42</v></c>", "42", TABX_INTEGER},
        {"negative integer", "<c r=\"A1\"><v>-7</v></c>", "-7", TABX_INTEGER},
        {"64-bit integer", "<c r=\"A1\"><v>1234567890123</v></c>", "1.23457E+12", TABX_INTEGER},
        {"decimal", "<c r=\"A1\"><v>2.5</v></c>", "2.5", TABX_FLOAT},
        {"long decimal", "<c r=\"A1\"><v>0.30000000000000004</v></c>", "0.3", TABX_FLOAT},
        {"exponent without point", "<c r=\"A1\"><v>1E+20</v></c>", "1E+20", TABX_FLOAT},
        {"integer beyond 64 bits", "<c r=\"A1\"><v>100000000000000000000</v></c>", "1E+20", TABX_FLOAT},
        {"negative integer beyond 64 bits", "<c r=\"A1\"><v>-200000000000000000000</v></c>", "-2E+20", TABX_FLOAT},
        {"negative zero", "<c r=\"A1\"><v>-0.0</v></c>", "0", TABX_FLOAT},
        {"below 1E-40", "<c r=\"A1\"><v>1E-41</v></c>", "1E-41", TABX_FLOAT},
        {"beyond 40 decimals", "<c r=\"A1\"><v>5.58069E-36</v></c>", "5.58069E-36", TABX_FLOAT},
        {"blanks before the number", "<c r=\"A1\"><v> 2.5</v></c>", "2.5", TABX_FLOAT},
        {"small exponent", "<c r=\"A1\"><v>1E-7</v></c>", "1E-07", TABX_FLOAT},
        {"exponent giving a whole number", "<c r=\"A1\"><v>1.5E3</v></c>", "1500", TABX_FLOAT},
        {"not a number", "<c r=\"A1\"><v>abc</v></c>", "0", TABX_INTEGER},
        {"percentage", "<c r=\"A1\" s=\"1\"><v>0.125</v></c>", "13%", TABX_PERCENT},
        {"built-in date", "<c r=\"A1\" s=\"2\"><v>45296</v></c>", "2024/1/5", TABX_DATE},
        {"built-in time", "<c r=\"A1\" s=\"3\"><v>0.5</v></c>", "12:00", TABX_TIME_HM},
        {"Japanese date", "<c r=\"A1\" s=\"4\"><v>45296</v></c>", "2024年1月5日", TABX_DATE},
        {"thousands", "<c r=\"A1\" s=\"5\"><v>-1234567</v></c>", "-1,234,567", TABX_INTEGER},
        {"t before s", "<c r=\"A1\" t=\"s\" s=\"1\"><v>1</v></c>", "second", TABX_SHARED_STRING},
        {"shared string", "<c r=\"A1\" s=\"2\" t=\"s\"><v>0</v></c>", "first", TABX_SHARED_STRING},
        {"shared string out of range", "<c r=\"A1\" t=\"s\"><v>2</v></c>", "", TABX_EMPTY},
        {"negative shared string", "<c r=\"A1\" t=\"s\"><v>-1</v></c>", "", TABX_EMPTY},
        {"text without formula", "<c r=\"A1\" t=\"str\"><v>007</v></c>", "007", TABX_CHARACTER},
        {"escaped formula text", "<c r=\"A1\" t=\"str\"><f>A2</f><v>R&amp;D &lt;x&gt;</v></c>", "R&D <x>", TABX_CHARACTER},
        {"ISO date", "<c r=\"A1\" s=\"4\" t=\"d\"><v>2024-01-05T00:00:00Z</v></c>", "2024年1月5日", TABX_DATE},
        {"ISO date and time with a fraction of a second", "<c r=\"A1\" s=\"6\" t=\"d\"><v>2024-01-05T13:04:05.678</v></c>",
         "13:04:05.678", TABX_DATE_TIME},
        {"ISO time with a fraction of a second", "<c r=\"A1\" s=\"6\" t=\"d\"><v>13:04:05.123Z</v></c>",
         "13:04:05.123", TABX_DATE_TIME},
        {"error value", "<c r=\"A1\" t=\"e\"><v>#DIV/0!</v></c>", "#DIV/0!", TABX_CHARACTER},
        {"boolean true", "<c r=\"A1\" t=\"b\"><v>1</v></c>", "TRUE", TABX_CHARACTER},
        {"boolean false", "<c r=\"A1\" t=\"b\"><v>0</v></c>", "FALSE", TABX_CHARACTER},
        {"inline string", "<c r=\"A1\" t=\"inlineStr\"><is><t>in &amp; line</t></is></c>",
         "in & line", TABX_CHARACTER},
        {"inline rich string", "<c r=\"A1\" t=\"inlineStr\"><is><r><t>ab</t></r><r><t>cd</t></r>"
                               "<rPh sb=\"0\" eb=\"1\"><t>ヨミ</t></rPh></is></c>", "abcd", TABX_CHARACTER},
        {"formula with number", "<c r=\"A1\"><f>1+1</f><v>2</v></c>", "2", TABX_INTEGER},
        {"formula with text", "<c r=\"A1\" t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c>", "ab", TABX_CHARACTER},
        {"formula with date", "<c r=\"A1\" s=\"2\"><f>TODAY()</f><v>45296</v></c>", "2024/1/5", TABX_DATE},
        {"formula with error", "<c r=\"A1\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>", "#DIV/0!", TABX_CHARACTER},
        {"formula with a shared-string result", "<c r=\"A1\" t=\"s\"><f>B1</f><v>1</v></c>", "second", TABX_SHARED_STRING},
        {"styled cell without value", "<c r=\"A1\" s=\"3\"/>", "", TABX_EMPTY},
        {"empty value", "<c r=\"A1\"><v/></c>", "0", TABX_INTEGER},
    };
    for (const row& r : rows) {
        test_book b;
        add_formats(b);
        tbx_add_sst(&b.book, "first", 5);
        tbx_add_sst(&b.book, "second", 6);
        ASSERT_EQ(b.sheet(std::string("<row r=\"1\">") + r.cell + "</row>"), 0) << r.what;
        EXPECT_EQ(b.cell("A1"), r.text) << r.what;
        const XLS_CELL* c = b.find(0, 0);
        ASSERT_NE(c, nullptr) << r.what;
        EXPECT_EQ(c->type, r.type) << r.what;
    }
}

// Number texts of the plain form are read once, by a reader of their own:
// the number strtod reads, the decimals counted on the text, integer or
// decimal by the point, as for any other form.
TEST(SheetXml, PlainNumberTextsReadAsStrtodReadsThem) {
    std::vector<std::string> texts = {"0", "-0", "7", "-12.50", "0.000", "123456789012345", "1234567890123456",
                                      "0.1000000000000001", "0.000000000000000000001", "99.995", "1.", ".5", "00012.3400"};
    uint64_t state = 1181783497276652981ull;
    auto next = [&] { return state ^= state << 13, state ^= state >> 7, state ^= state << 17; };
    for (int i = 0; i < 3000; ++i) {
        std::string digits = std::to_string(next() % 10000000000000000ull);
        size_t point = next() % (digits.size() + 1);
        std::string t = (next() % 3 ? "" : "-") + digits.substr(0, point);
        if (point < digits.size() || next() % 2) t += "." + digits.substr(point);
        texts.push_back(t);
    }
    std::string data;
    for (size_t i = 0; i < texts.size(); ++i) {
        std::string r = std::to_string(i + 1);
        data += "<row r=\"" + r + "\"><c r=\"A" + r + "\"><v>" + texts[i] + "</v></c><c r=\"B" + r + "\" s=\"1\"><v>" +
                texts[i] + "</v></c></row>";
    }
    test_book b;
    tbx_add_xf(&b.book, 0);
    tbx_add_xf(&b.book, 10);  // 0.00%
    ASSERT_EQ(b.sheet(data), 0);
    for (size_t i = 0; i < texts.size(); ++i) {
        const char* t = texts[i].c_str();
        const double x = std::strtod(t, nullptr);
        const XLS_CELL* a = b.find(static_cast<int>(i), 0);
        ASSERT_NE(a, nullptr) << t;
        const bool point = std::strchr(t, '.') != nullptr;
        EXPECT_EQ(a->type, point ? TBX_FLOAT : TBX_INTEGER) << t;
        if (point) {
            EXPECT_EQ(a->decimals, text_significant_decimals(t, x)) << t;
        }
        const XLS_CELL* p = b.find(static_cast<int>(i), 1);
        ASSERT_NE(p, nullptr) << t;
        EXPECT_EQ(p->type, TBX_PERCENT) << t;
        // The number itself where the cell keeps it; an integer's text
        // reads back as strtod's number, a decimal's is that number as the
        // printer writes it with the cell's decimals.
        for (const XLS_CELL* c : {a, p}) {
            if (!(c->flags & TABX_CELL_TEXT)) {
                EXPECT_EQ(c->number, x) << t;
            }
            if (c->type == TBX_INTEGER) {
                EXPECT_EQ(cell_number(c), x) << t;
                continue;
            }
            char want[TBX_VALUE_TEXT_BUF], buf[TBX_VALUE_TEXT_BUF];
            std::snprintf(want, sizeof want, "%.*f", c->decimals, x == 0 ? 0.0 : x);  // -0 shows as 0
            EXPECT_STREQ(cell_value_text(c, buf), want) << t;
        }
        const char* dot = std::strchr(t, '.');
        int after = dot ? static_cast<int>(std::strlen(dot + 1)) : 0;
        // A book that keeps numbers as they are counts the digits the text
        // shows; the classic renderings show at least six.
        EXPECT_EQ(p->decimals, tbx_exact_values(&b.book) ? text_significant_decimals(t, x) : after < 6 ? 6 : after)
            << t;
    }
}

// Texts and booleans through the text section of their cell format; an
// error value as it is (the same rows as the legacy reader's test).
TEST(SheetXml, TextsBooleansAndErrorsShowThroughTheirFormat) {
    struct {
        const char* code;  // as the package writes it
        const char* cell;  // A1 with format 0
        const char* text;
    } rows[] = {
        {"\\C\\O\\B\\ \\o\\n\\ @", "<c r=\"A1\" s=\"0\" t=\"s\"><v>0</v></c>", "COB on pf1"},
        {"_(@_)", "<c r=\"A1\" s=\"0\" t=\"inlineStr\"><is><t>abc</t></is></c>", " abc "},
        {"@&quot;様&quot;", "<c r=\"A1\" s=\"0\" t=\"str\"><f>B1</f><v>山田</v></c>", "山田様"},
        {";;;", "<c r=\"A1\" s=\"0\" t=\"s\"><v>0</v></c>", ""},
        {";;;", "<c r=\"A1\" s=\"0\" t=\"b\"><v>1</v></c>", ""},
        {"0.00;-0.00;0.00;&quot;&lt;&quot;@&quot;&gt;&quot;", "<c r=\"A1\" s=\"0\" t=\"b\"><f>B1</f><v>0</v></c>", "<FALSE>"},
        {"0.00", "<c r=\"A1\" s=\"0\" t=\"b\"><v>1</v></c>", "TRUE"},
        {";;;", "<c r=\"A1\" s=\"0\" t=\"e\"><v>#N/A</v></c>", "#N/A"},
        {"@&quot;様&quot;", "<c r=\"A1\" s=\"0\" t=\"e\"><f>1/0</f><v>#DIV/0!</v></c>", "#DIV/0!"},
    };
    for (const auto& r : rows) {
        test_book b;
        tbx_add_sst(&b.book, "pf1", 3);
        ASSERT_EQ(b.scan(PART_STYLES, std::string("<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"") +
                                          r.code + "\"/></numFmts><cellXfs><xf numFmtId=\"164\"/></cellXfs></styleSheet>"),
                  0);
        ASSERT_EQ(b.sheet(std::string("<row r=\"1\">") + r.cell + "</row>"), 0) << r.cell;
        EXPECT_EQ(b.cell("A1"), r.text) << r.code << " " << r.cell;
    }
}

TEST(SheetXml, FormulasInReadModeKeepOnlyTheFormula) {
    test_book b(false);
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\"><f>SUM(B1:B2)</f><v>3</v></c>"
                      "<c r=\"B1\"><f t=\"shared\" ref=\"B1:B2\" si=\"0\">C1</f><v>1</v></c></row>"),
              0);
    const XLS_CELL* a1 = b.find(0, 0);
    ASSERT_NE(a1, nullptr);
    EXPECT_EQ(a1->type, TABX_FORMULA);
    EXPECT_STREQ(a1->text, "SUM(B1:B2)");
    const XLS_CELL* b1 = b.find(0, 1);
    ASSERT_NE(b1, nullptr);
    EXPECT_STREQ(b1->text, "<f t=\"shared\" ref=\"B1:B2\" si=\"0\">C1</f>");
    EXPECT_EQ(b.cell("A1"), "");
}

TEST(SheetXml, CachedFormulaResultIsTheValue) {
    test_book b;
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\" t=\"str\"><f>B1</f><v>x</v></c></row>"), 0);
    const XLS_CELL* c = b.find(0, 0);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->type, TABX_CHARACTER);
    EXPECT_STREQ(c->text, "x");
    EXPECT_EQ(c->flags, TABX_CELL_TEXT | TABX_CELL_STR);
}

TEST(SheetXml, SelfClosingStyledCellIsCreatedWithItsFormat) {
    test_book b;
    for (int i = 0; i < 5; ++i) tbx_add_xf(&b.book, 0);
    ASSERT_EQ(b.sheet("<row r=\"3\"><c r=\"B3\" s=\"4\"/></row>"), 0);
    const XLS_CELL* c = b.find(2, 1);
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->type, TABX_EMPTY);
    EXPECT_EQ(c->xf, 4);
}

TEST(SheetXml, ReferencesAndRows) {
    test_book b;
    ASSERT_EQ(b.sheet("<row r=\"3\"><c r=\"b3\"><v>1</v></c><c r=\"$D$3\"><v>2</v></c></row>"
                      "<row r=\"5\"><c><v>3</v></c><c><v>4</v></c></row>"
                      "<row><c r=\"C6\"><v>5</v></c></row>"),
              0);
    EXPECT_EQ(b.cell("B3"), "1");
    EXPECT_EQ(b.cell("D3"), "2");
    EXPECT_EQ(b.cell("A5"), "3");  // a cell without reference follows the previous one
    EXPECT_EQ(b.cell("B5"), "4");
    EXPECT_EQ(b.cell("C6"), "5");  // a row without number follows the previous one
    EXPECT_EQ(TABX_row_num(&b.book), 6);
    EXPECT_EQ(TABX_column_num(&b.book, 2), 4);
}

TEST(SheetXml, BadReferencesEndTheMember) {
    for (const char* c : {"<c r=\"AAAA1\"><v>1</v></c>", "<c r=\"A0\"/>", "<c r=\"XFE1\"/>", "<c r=\"1A\"/>"}) {
        test_book b;
        EXPECT_EQ(b.sheet(std::string("<row r=\"1\">") + c + "</row>"), -1) << c;
    }
    test_book b;
    EXPECT_EQ(b.sheet("<row r=\"0\"/>"), -1);
}

TEST(SheetXml, RowsAndCellsInAnyOrderLandInTheirPlace) {
    test_book b;
    ASSERT_EQ(b.sheet("<row r=\"5\"><c r=\"C5\"><v>3</v></c><c r=\"A5\"><v>1</v></c></row>"
                      "<row r=\"2\"><c r=\"A2\"><v>2</v></c></row>"
                      // Without references: after an empty cell, the next column.
                      "<row r=\"7\"><c><v>10</v></c><c s=\"0\"/><c><v>30</v></c><c/><c><v>50</v></c></row>"
                      // Written twice: the later cell counts, also when it is empty.
                      "<row r=\"8\"><c r=\"A8\"><v>1</v></c><c r=\"B8\"><v>1</v></c></row>"
                      "<row r=\"8\"><c r=\"A8\"><v>9</v></c><c r=\"B8\"/></row>"),
              0);
    EXPECT_EQ(TABX_row_num(&b.book), 8);
    EXPECT_EQ(b.cell("A2"), "2");
    EXPECT_EQ(b.cell("A5"), "1");
    EXPECT_EQ(b.cell("C5"), "3");
    EXPECT_EQ(b.cell("A7"), "10");
    EXPECT_EQ(b.cell("B7"), "");
    EXPECT_EQ(b.cell("C7"), "30");
    EXPECT_EQ(b.cell("E7"), "50");
    EXPECT_EQ(b.cell("A8"), "9");
    EXPECT_EQ(b.cell("B8"), "");
}

TEST(SheetXml, PrettyPrintedCellsAndRows) {
    test_book b;
    ASSERT_EQ(b.sheet("\n  <row r=\"1\">\n    <c r=\"A1\" t=\"inlineStr\">\n      <is>\n        <t>x y</t>\n"
                      "      </is>\n    </c>\n    <c r=\"B1\">\n      <v>7</v>\n    </c>\n  </row>\n"),
              0);
    EXPECT_EQ(b.cell("A1"), "x y");
    EXPECT_EQ(b.cell("B1"), "7");
}

TEST(SheetXml, OtherNamespacePrefixesAreNotRecognised) {
    test_book b;
    ASSERT_EQ(b.sheet("<x:row r=\"1\"><x:c r=\"A1\"><x:v>1</x:v></x:c></x:row>"), 0);
    EXPECT_EQ(TABX_row_num(&b.book), 0);
}

TEST(SheetXml, PrefixBoundToTheSpreadsheetNamespace) {
    test_book b;
    ASSERT_EQ(b.scan(PART_WORKSHEET,
                     "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\">"
                     "<x:sheetData><x:row r=\"1\"><x:c r=\"A1\"><x:v>1</x:v></x:c>"
                     "<x:c r=\"B1\" t=\"inlineStr\"><x:is><x:t>in</x:t></x:is></x:c></x:row></x:sheetData>"
                     "</x:worksheet>"),
              0);
    EXPECT_EQ(b.cell("A1"), "1");
    EXPECT_EQ(b.cell("B1"), "in");
}

TEST(SheetXml, InlineStringInCdata) {
    test_book b;
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t><![CDATA[a <b> & _x000D_]]></t></is></c></row>"), 0);
    EXPECT_EQ(b.cell("A1"), "a <b> & _x000D_");
}

TEST(SheetXml, CodeName) {
    test_book b;
    ASSERT_EQ(b.scan(PART_WORKSHEET, "<worksheet><sheetPr codeName=\"Sheet1\"><pageSetUpPr fitToPage=\"1\"/>"
                                     "</sheetPr><sheetData/></worksheet>"),
              0);
    EXPECT_STREQ(b.book.sheets[0].name2, "Sheet1");
}

TEST(SheetXml, LongTextsComeWhole) {
    // Texts up to the longest a cell holds (32,767 characters); a number
    // text is read from its first 4000 bytes.
    test_book b;
    std::string digits(5000, '1'), jp;
    for (int i = 0; i < 32767; ++i) jp += "\u3042";
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\" t=\"str\"><f>x</f><v>" + digits + "</v></c>"
                      "<c r=\"B1\" t=\"inlineStr\"><is><t>" + jp + "</t></is></c>"
                      "<c r=\"C1\" t=\"str\"><v>" + jp + "</v></c></row>"),
              0);
    EXPECT_EQ(b.cell("A1"), digits);
    EXPECT_TRUE(b.cell("B1") == jp);
    EXPECT_TRUE(b.cell("C1") == jp);
}

}  // namespace

namespace {

// A workbook in the 1904 date system counts its serials from 1904-01-01.
TEST(SheetXml, Date1904Workbook) {
    for (bool on : {false, true}) {
        test_book b;
        add_formats(b);
        std::string pr = on ? "<workbookPr date1904=\"1\"/>" : "<workbookPr date1904=\"0\"/>";
        ASSERT_EQ(b.scan(PART_WORKBOOK, "<workbook>" + pr + "</workbook>"), 0);
        ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\" s=\"2\"><v>43830</v></c></row>"), 0);
        EXPECT_EQ(b.cell("A1"), on ? "2024/1/1" : "2019/12/31");
    }
}

}  // namespace
