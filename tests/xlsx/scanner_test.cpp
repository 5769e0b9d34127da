// The XML event scanner: structure, limits and malformed input.
#include <gtest/gtest.h>

#include <string>

#include "xlsx_test_book.h"

namespace {

using xt::test_book;

std::string nested(int depth) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += "<a>";
    s += "x";
    for (int i = 0; i < depth; ++i) s += "</a>";
    return s;
}

TEST(XmlScanner, ResultsOfStructure) {
    struct row {
        const char* what;
        std::string xml;
        int rc;
    } rows[] = {
        {"empty text", "", 0},
        {"declaration and comment", "<?xml version=\"1.0\"?><!-- <c r=\"A1\"> --><worksheet/>", 0},
        {"end tag without open element", "</worksheet>", -1},
        {"end tag after balanced elements", "<a></a></a>", -1},
        {"mismatched end tag closes the innermost", "<a><b></a></b>", 0},
        {"100 nested elements", nested(100), 0},
        {"101 nested elements", nested(101), -9},
        {"element name of 80 bytes", "<" + std::string(80, 'n') + "/>", 0},
        {"element name of 81 bytes", "<" + std::string(81, 'n') + "/>", -1},
        {"unterminated comment", "<a><!-- never closed", 0},
        {"unterminated tag", "<a><c r=\"A1", 0},
        {"bang without hyphens is a start tag", "<!DOCTYPE x><a/>", 0},
    };
    for (const row& r : rows) {
        test_book b;
        EXPECT_EQ(b.scan(PART_WORKSHEET, r.xml), r.rc) << r.what;
    }
}

TEST(XmlScanner, CommentsAndInstructionsHideTheirContent) {
    test_book b;
    ASSERT_EQ(b.sheet("<!-- <row r=\"1\"><c r=\"A1\"><v>1</v></c></row> -->"
                      "<?pi target ?>"
                      "<row r=\"2\"><c r=\"A2\"><v>3</v></c></row>"),
              0);
    EXPECT_EQ(b.find(0, 0), nullptr);
    EXPECT_EQ(b.cell("A2"), "3");
}

TEST(XmlScanner, GreaterThanInsideAnAttributeValue) {
    test_book b;
    ASSERT_EQ(b.scan(PART_STYLES, "<styleSheet><numFmts count=\"1\">"
                                  "<numFmt numFmtId=\"164\" formatCode=\"[>=100]0\"/>"
                                  "</numFmts></styleSheet>"),
              0);
    ASSERT_EQ(b.book.numfmt_count, 1);
    EXPECT_STREQ(b.book.numfmt[0].code, "[>=100]0");
}

TEST(XmlScanner, TagsAreCutAt255Bytes) {
    // The "s" attribute lies beyond the 255th byte and is lost.
    test_book b;
    tbx_add_xf(&b.book, 0);
    tbx_add_xf(&b.book, 10);  // percentage
    std::string pad(260, 'x');
    ASSERT_EQ(b.sheet("<row r=\"1\"><c r=\"A1\" pad=\"" + pad + "\" s=\"1\"><v>0.5</v></c>"
                      "<c r=\"B1\" s=\"1\"><v>0.5</v></c></row>"),
              0);
    EXPECT_EQ(b.cell("A1"), "0.5");
    EXPECT_EQ(b.cell("B1"), "50.00%");
}

TEST(XmlScanner, EveryPrefixOfAWorksheetEndsCleanly) {
    const std::string xml =
        "<?xml version=\"1.0\"?><worksheet><sheetData><row r=\"1\" spans=\"1:3\">"
        "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\"><f>A1</f><v>2.5</v></c>"
        "<c r=\"C1\" t=\"inlineStr\"><is><t>x</t></is></c></row></sheetData></worksheet>";
    for (size_t n = 0; n <= xml.size(); ++n) {
        test_book b;
        tbx_add_sst(&b.book, "s", 1);
        int rc = b.scan(PART_WORKSHEET, xml.substr(0, n));
        EXPECT_TRUE(rc == 0 || rc == -1) << n << ": " << rc;
    }
}

// A member inflated piece by piece reads as the whole member, wherever the
// pieces cut it: inside a tag, an attribute value, an entity, a comment, a
// CDATA section, a cell's value or inline string, a multi-byte character.
TEST(XmlScanner, PiecesGiveTheSameBookAsTheWholeMember) {
    struct member {
        int part;
        std::string xml;
    };
    const member members[] = {
        {PART_WORKSHEET,
         "<?xml version=\"1.0\"?><worksheet xmlns=\"x\"><sheetData><row r=\"1\" spans=\"1:6\">"
         "<c r=\"A1\" t=\"s\"><v>1</v></c><c r=\"B1\" s=\"1\"><v>-12.50</v></c>"
         "<c r=\"C1\" t=\"inlineStr\"><is><t xml:space=\"preserve\"> 東京 &amp; 大阪</t></is></c>"
         "<c r=\"D1\" t=\"inlineStr\"><is><r><t>a</t></r><rPh><t>よみ</t></rPh><r><t>b</t></r></is></c>"
         "<c r=\"E1\"><f>SUM(A1:B1)</f><v>1E+20</v></c><c r=\"F1\" t=\"str\"><v><![CDATA[<x>]]></v></c>"
         "</row><!-- a comment <c r=\"A9\"><v>9</v></c> --><row r=\"2\"><c r=\"A2\" s=\"1\"/>"
         "<c r = 'B2' t=\"b\"><v>1</v></c><c><v>0.1</v></c><x:c r=\"E2\"><v>7</v></x:c></row>"
         "</sheetData></worksheet>"},
        {PART_WORKSHEET,
         "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\"><x:sheetData>"
         "<x:row r=\"1\"><x:c r=\"A1\"><x:v>3</x:v></x:c><x:c r=\"B1\" t=\"inlineStr\"><x:is><x:t>t</x:t>"
         "</x:is></x:c></x:row></x:sheetData></x:worksheet>"},
        {PART_SHARED_STRINGS,
         "<sst><si><t>plain</t></si><si><r><t>ri</t></r><r><t>ch</t></r><rPh><t>x</t></rPh></si>"
         "<si><t>a&lt;b_x005F_x0041_&#x3042;\r\n</t></si><si><t/></si></sst>"},
        {PART_WORKSHEET, "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></c></row></sheetData"},
        {PART_WORKSHEET, "<worksheet><sheetData><row r=\"1\"><c r=\"A1\"><v>1</v></row></sheetData></worksheet>"
                         "</worksheet>"},
    };
    for (const member& m : members) {
        test_book whole;
        tbx_add_sst(&whole.book, "s0", 2);
        tbx_add_sst(&whole.book, "s1", 2);
        tbx_add_xf(&whole.book, 10);
        tbx_add_xf(&whole.book, 14);
        const int rc = whole.scan(m.part, m.xml);
        const std::string expected = whole.record();
        for (size_t piece : {1, 2, 3, 5, 8, 13, 64, 4096}) {
            test_book cut;
            tbx_add_sst(&cut.book, "s0", 2);
            tbx_add_sst(&cut.book, "s1", 2);
            tbx_add_xf(&cut.book, 10);
            tbx_add_xf(&cut.book, 14);
            EXPECT_EQ(cut.scan_in_pieces(m.part, m.xml, piece), rc) << piece << " " << m.xml;
            EXPECT_EQ(cut.record(), expected) << piece << " " << m.xml;
        }
    }
}

TEST(XmlScanner, ElementNames) {
    struct row {
        const char* name;
        int code;
    } rows[] = {
        {"c", X_C},          {"v", X_V},         {"row", X_ROW},           {"sheetData", X_SHEETDATA},
        {"SHEETDATA", X_SHEETDATA}, {"sheetdata", X_SHEETDATA}, {"Row", X_NONE}, {"x:row", X_NONE},
        {"a:t", X_A_T},      {"a:p", X_A_P},     {"xdr:txBody", X_TXBODY}, {"vt:lpwstr", X_VT_LPWSTR},
        {"cellXfs", X_CELLXFS}, {"cellxfs", X_NONE}, {"", X_NONE},
    };
    for (const row& r : rows)
        EXPECT_EQ(xml_element_code(r.name, std::char_traits<char>::length(r.name)), r.code) << r.name;
}

TEST(XmlScanner, Attributes) {
    xml_attrs a("<c r=\"A1\"  s = '3' t=str\tlone x=\"a>b\"/>");
    std::string_view n, v;
    std::vector<std::pair<std::string, std::string>> got;
    while (a.next(n, v)) got.emplace_back(std::string(n), std::string(xml_unquoted(v)));
    std::vector<std::pair<std::string, std::string>> want = {
        {"r", "A1"}, {"s", "3"}, {"t", "str"}, {"x", "a>b"}};
    EXPECT_EQ(got, want);
}

TEST(XmlScanner, LeadingIntegers) {
    EXPECT_EQ(xml_leading_int("42"), 42);
    EXPECT_EQ(xml_leading_int("-7x"), -7);
    EXPECT_EQ(xml_leading_int("abc"), 0);
    EXPECT_EQ(xml_leading_int(""), 0);
    EXPECT_EQ(xml_leading_int("99999999999999999999999"), INT64_MAX);
    EXPECT_EQ(xml_leading_int("-9223372036854775808"), INT64_MIN);
}

TEST(XmlScanner, CellReferences) {
    struct row {
        const char* ref;
        int rc, row, col;
    } rows[] = {
        {"A1", 0, 0, 0},         {"b3", 0, 2, 1},          {"$C$7", 0, 6, 2},
        {"Z1", 0, 0, 25},        {"AA1", 0, 0, 26},        {"AAA1", 0, 0, 702},
        {"XFD1048576", 0, 1048575, 16383},                 {"XFE1", -1, 0, 0},
        {"A1048577", -1, 0, 0},  {"AAAA1", -1, 0, 0},      {"A0", -1, 0, 0},
        {"1", -1, 0, 0},         {"A", -1, 0, 0},          {"A1B", -1, 0, 0},
        {"", -1, 0, 0},          {"A99999999999", -1, 0, 0},
    };
    for (const row& r : rows) {
        int rr = -5, cc = -5;
        EXPECT_EQ(xlsx_parse_ref(r.ref, &rr, &cc), r.rc) << r.ref;
        if (r.rc == 0) {
            EXPECT_EQ(rr, r.row) << r.ref;
            EXPECT_EQ(cc, r.col) << r.ref;
        }
    }
}

TEST(XmlScanner, UnescapesEntitiesAndCharacterReferences) {
    struct row {
        const char* in;
        const char* out;
    } rows[] = {
        {"a&amp;b", "a&b"},
        {"a&amp;lt;b", "a&lt;b"},
        {"line&#10;two", "line\ntwo"},
        {"&#x3042;&#12354;", "\xE3\x81\x82\xE3\x81\x82"},
        {"&#38;lt;", "&lt;"},
        {"&#;&#x;&#12", "&#;&#x;&#12"},
        {"_x005F_x000D_", "_x000D_"},
    };
    for (const row& r : rows) {
        std::string t = r.in;
        EXPECT_EQ(xml_unescape_text(t), 0);
        EXPECT_EQ(t, r.out) << r.in;
    }
}

}  // namespace
