// Handlers of the workbook-level parts: shared strings, styles, sheet list,
// drawings and comments.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "xlsx_test_book.h"

namespace {

using xt::test_book;
using strings = std::vector<std::string>;

TEST(SharedStrings, OneStringPerSi) {
    struct row {
        const char* what;
        const char* xml;
        strings want;
    } rows[] = {
        {"direct text", "<si><t>abc</t></si><si><t>def</t></si>", {"abc", "def"}},
        {"runs append", "<si><r><rPr><b/></rPr><t>bold</t></r><r><t xml:space=\"preserve\"> plain</t></r></si>",
         {"bold plain"}},
        {"phonetic runs are left out",
         "<si><t>漢字</t><rPh sb=\"0\" eb=\"2\"><t>カンジ</t></rPh><phoneticPr fontId=\"1\"/></si>", {"漢字"}},
        {"rich text with phonetic run",
         "<si><r><t>東京</t></r><r><t>都</t></r><rPh sb=\"0\" eb=\"2\"><t>トウキョウ</t></rPh></si>", {"東京都"}},
        {"phonetic runs with their own runs",
         "<si><r><t>課きく</t></r><rPh sb=\"0\" eb=\"1\"><r><t>カ</t></r></rPh><rPh/><r><t>毛</t></r></si>",
         {"課きく毛"}},
        {"empty t", "<si><t/></si><si><t>x</t></si>", {"", "x"}},
        {"self-closing si keeps the indexes", "<si/><si><t>x</t></si>", {"", "x"}},
        {"escapes", "<si><t>&lt;a&gt; &amp; &quot;q&quot; &apos;s&apos;</t></si>", {"<a> & \"q\" 's'"}},
        {"CR LF folded", "<si><t>one&#xD;&#xA;two\r\nthree</t></si>", {"one\ntwo\nthree"}},
        {"indented", "\n<si>\n  <t>x</t>\n</si>\n<si>\n  <r>\n    <t>y</t>\n  </r>\n</si>", {"x", "y"}},
        {"escape forms", "<si><t>_x005F_x000D_ _x000D_</t></si>", {"_x000D_ _x000D_"}},
    };
    for (const row& r : rows) {
        test_book b;
        ASSERT_EQ(b.scan(PART_SHARED_STRINGS, std::string("<sst>") + r.xml + "</sst>"), 0) << r.what;
        EXPECT_EQ(b.strings(), r.want) << r.what;
    }
}

TEST(SharedStrings, TheLongestTextComesWholeAndLongerOnesAreCut) {
    // 32,767 Japanese characters are 98,301 bytes of UTF-8: kept whole, as
    // runs or written with character references.  A longer text is cut on
    // a character boundary, never dropped.
    test_book b;
    std::string jp, refs;
    for (int i = 0; i < 32767; ++i) jp += "\u3042", refs += "&#x3042;";
    std::string big(98000, 'a');
    ASSERT_EQ(b.scan(PART_SHARED_STRINGS,
                     "<sst><si><t>" + jp + "</t></si><si><r><t>" + jp.substr(0, 30000) + "</t></r><r><t>" +
                         jp.substr(30000) + "</t></r></si><si><t>" + refs + "</t></si><si><r><t>" + big +
                         "</t></r><r><t>" + std::string(400, 'b') + "</t></r><r><t>c</t></r></si><si><t>" + jp +
                         "\u3044</t></si></sst>"),
              0);
    auto v = b.strings();
    ASSERT_EQ(v.size(), 5u);
    EXPECT_TRUE(v[0] == jp);
    EXPECT_TRUE(v[1] == jp);
    EXPECT_TRUE(v[2] == jp);
    EXPECT_TRUE(v[3] == big + std::string(301, 'b'));
    EXPECT_TRUE(v[4] == jp);
}

TEST(Styles, NumberFormatsAreConvertedAndClassified) {
    test_book b;
    ASSERT_EQ(b.scan(PART_STYLES,
                     "<styleSheet><numFmts count=\"4\">"
                     "<numFmt numFmtId=\"176\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
                     "<numFmt numFmtId=\"177\" formatCode=\"#,##0\"/>"
                     "<numFmt numFmtId=\"178\" formatCode=\"0.0%\"/>"
                     "<numFmt numFmtId=\"-1\" formatCode=\"0\"/></numFmts>"
                     "<dxfs><dxf><numFmt numFmtId=\"300\" formatCode=\"0\"/></dxf></dxfs></styleSheet>"),
              0);
    ASSERT_EQ(b.book.numfmt_count, 3);
    EXPECT_EQ(b.book.numfmt[0].id, 176);
    EXPECT_EQ(b.book.numfmt[0].type, 333);
    // Shift-JIS, unescaped.
    EXPECT_STREQ(b.book.numfmt[0].code, "yyyy\"\x94N\"m\"\x8c\x8e\"d\"\x93\xfa\"");
    EXPECT_EQ(b.book.numfmt[1].type, 107);
    EXPECT_EQ(b.book.numfmt[2].type, 501);  // a percent sign outside quotes
}

// A code shows every character it holds, those code page 932 lacks too;
// the book's own field keeps the code page 932 form.
TEST(Styles, FormatCodesKeepEveryCharacter) {
    struct {
        const char* code;  // as the package writes it
        const char* value;
        const char* text;
    } rows[] = {
        {"&quot;€&quot;#,##0.00", "12345.67", "€12,345.67"},
        {"€#,##0.00", "12345.67", "€12,345.67"},
        {"0&quot;m²&quot;", "3", "3m²"},
        {"0&quot; Stück&quot;", "3", "3 Stück"},
        {"£#,##0", "5", "£5"},
        {"¥#,##0", "12345", "¥12,345"},
        {"₩#,##0", "5", "₩5"},
        {"₹#,##0", "5", "₹5"},
        {"0&quot;〜&quot;", "5", "5〜"},
        {"&quot;−&quot;0", "5", "−5"},
        {"0&quot;円&quot;", "5", "5円"},
    };
    test_book b;
    std::string styles = "<styleSheet><numFmts>", xfs = "<cellXfs>", row = "<row r=\"1\">";
    int i = 0;
    for (const auto& r : rows) {
        styles += "<numFmt numFmtId=\"" + std::to_string(164 + i) + "\" formatCode=\"" + r.code + "\"/>";
        xfs += "<xf numFmtId=\"" + std::to_string(164 + i) + "\"/>";
        row += "<c r=\"" + std::string(1, static_cast<char>('A' + i)) + "1\" s=\"" + std::to_string(i) + "\"><v>" +
               r.value + "</v></c>";
        ++i;
    }
    ASSERT_EQ(b.scan(PART_STYLES, styles + "</numFmts>" + xfs + "</cellXfs></styleSheet>"), 0);
    ASSERT_EQ(b.sheet(row + "</row>"), 0);
    i = 0;
    for (const auto& r : rows) {
        std::string ref = std::string(1, static_cast<char>('A' + i++)) + "1";
        EXPECT_EQ(b.cell(ref.c_str()), r.text) << r.code;
    }
    EXPECT_STREQ(b.book.numfmt[0].code, "\"?\"#,##0.00");
    EXPECT_STREQ(b.book.numfmt[10].code, "0\"\x89\x7e\"");
}

TEST(Styles, NumberFormatTableHolds500) {
    test_book b;
    std::string xml = "<styleSheet><numFmts>";
    for (int i = 0; i < 510; ++i) xml += "<numFmt numFmtId=\"" + std::to_string(164 + i) + "\" formatCode=\"0\"/>";
    xml += "</numFmts></styleSheet>";
    ASSERT_EQ(b.scan(PART_STYLES, xml), 0);
    EXPECT_EQ(b.book.numfmt_count, 500);
}

TEST(Styles, LongFormatCodeIsClassifiedAndKeptEmpty) {
    test_book b;
    std::string code = "yyyy/m/d;" + std::string(200, '0') + "h:mm";
    ASSERT_EQ(b.scan(PART_STYLES, "<styleSheet><numFmts><numFmt numFmtId=\"164\" formatCode=\"" + code +
                                      "\"/></numFmts></styleSheet>"),
              0);
    ASSERT_EQ(b.book.numfmt_count, 1);
    EXPECT_EQ(b.book.numfmt[0].type, 302);
}

// Codes up to Excel's 255 characters come whole, however long their
// escaped form and whichever attribute comes first.
TEST(Styles, LongCodesComeWhole) {
    std::string many, many_refs;
    for (int i = 0; i < 250; ++i) many += "増", many_refs += "&#x5897;";
    const std::string jp = "[&gt;0]&quot;前年同期を上回りました（増加傾向）&quot;;[&lt;0]&quot;前年同期を下回りました（減少傾向）&quot;;"
                           "&quot;前年同期と同水準（変動なし）&quot;";
    struct {
        std::string numfmt;  // the whole element
        const char* value;
        std::string text;
    } rows[] = {
        {"<numFmt numFmtId=\"164\" formatCode=\"" + jp + "\"/>", "1", "前年同期を上回りました（増加傾向）"},
        {"<numFmt numFmtId=\"164\" formatCode=\"" + jp + "\"/>", "-1", "前年同期を下回りました（減少傾向）"},
        {"<numFmt numFmtId=\"164\" formatCode=\"" + jp + "\"/>", "0", "前年同期と同水準（変動なし）"},
        {"<numFmt formatCode=\"" + jp + "\" numFmtId=\"164\"/>", "0", "前年同期と同水準（変動なし）"},
        {"<numFmt formatCode=\"0&quot;" + many_refs + "&quot;\" numFmtId=\"164\"/>", "7", "7" + many},
        {"<numFmt numFmtId=\"164\" formatCode=\"0&quot;" + many_refs + "&quot;\"/>", "8", "8" + many},
    };
    for (const auto& r : rows) {
        test_book b;
        ASSERT_EQ(b.scan(PART_STYLES, "<styleSheet><numFmts>" + r.numfmt +
                                          "</numFmts><cellXfs><xf numFmtId=\"164\"/></cellXfs></styleSheet>"),
                  0);
        ASSERT_EQ(b.sheet(std::string("<row r=\"1\"><c r=\"A1\" s=\"0\"><v>") + r.value + "</v></c></row>"), 0);
        std::string shown = b.cell("A1");
        EXPECT_TRUE(shown == r.text) << r.numfmt.substr(0, 40) << " " << r.value << ": " << shown.substr(0, 60);
    }
}

TEST(Styles, OnlyCellXfsAreCellFormats) {
    test_book b;
    ASSERT_EQ(b.scan(PART_STYLES,
                     "<styleSheet><cellStyleXfs count=\"2\"><xf numFmtId=\"9\"/><xf numFmtId=\"10\"/></cellStyleXfs>"
                     "<cellXfs><xf numFmtId=\"0\" fontId=\"1\" fillId=\"2\" borderId=\"3\" xfId=\"0\"/>"
                     "<xf><alignment horizontal=\"center\"/></xf><xf numFmtId=\"14\" applyNumberFormat=\"1\">"
                     "<protection/></xf></cellXfs></styleSheet>"),
              0);
    ASSERT_EQ(b.book.xf_count, 3);
    EXPECT_EQ(b.book.xf[0].numfmt, 0);
    EXPECT_EQ(b.book.xf[0].font, 1);
    EXPECT_EQ(b.book.xf[0].fill, 2);
    EXPECT_EQ(b.book.xf[0].border, 3);
    EXPECT_EQ(b.book.xf[1].numfmt, 0);
    EXPECT_EQ(b.book.xf[2].numfmt, 14);
}

TEST(Workbook, SheetList) {
    test_book b;
    ASSERT_EQ(b.scan(PART_WORKBOOK,
                     "<workbook><sheets><sheet name=\"First\" sheetId=\"1\" r:id=\"rId1\"/>"
                     "<sheet name=\"no id\" r:id=\"rId2\"/>"
                     "<sheet name=\"Q&amp;A &lt;x&gt;\" sheetId=\"3\" r:id=\"rId3\"/>"
                     "<sheet name=\"" + std::string(94, 'n') + "\" sheetId=\"4\"/>"
                     "<sheet name=\"" + std::string(31, 'x') + "\" sheetId=\"5\"/>"
                     "<sheet sheetId=\"6\" name=\"日本語\"></sheet></sheets></workbook>"),
              0);
    strings want = {"First", "Q&A <x>", std::string(31, 'x'), "日本語"};
    EXPECT_EQ(b.reader.sheet_names, want);
    ASSERT_EQ(b.book.sheet_count, 4);
    EXPECT_STREQ(b.book.sheets[1].name, "Q&A <x>");
    EXPECT_EQ(b.reader.sheet_rids[0], "rId1");
}

TEST(Drawings, OneObjectPerNonEmptyParagraph) {
    test_book b;
    ASSERT_EQ(b.scan(PART_DRAWING,
                     "<xdr:wsDr><xdr:twoCellAnchor><xdr:sp><xdr:nvSpPr><xdr:cNvPr id=\"2\" name=\"T\"/></xdr:nvSpPr>"
                     "<xdr:spPr><a:prstGeom prst=\"rect\"/></xdr:spPr><xdr:txBody><a:bodyPr/>"
                     "<a:p><a:r><a:t>one</a:t></a:r><a:r><a:t> &amp; more</a:t></a:r></a:p>"
                     "<a:p><a:endParaRPr/></a:p><a:p/><a:p><a:r><a:t/></a:r></a:p>"
                     "<a:p><a:r><a:t>two</a:t></a:r></a:p><a:p><a:r><a:t>三</a:t></a:r></a:p>"
                     "</xdr:txBody></xdr:sp></xdr:twoCellAnchor></xdr:wsDr>",
                     2),
              0);
    std::vector<std::pair<int, std::string>> want = {{2, "one & more"}, {2, "two"}, {2, "三"}};
    EXPECT_EQ(b.objects(), want);
}

TEST(Comments, OneObjectPerComment) {
    test_book b;
    ASSERT_EQ(b.scan(PART_COMMENTS,
                     "<comments><authors><author>me</author></authors><commentList>"
                     "<comment ref=\"A2\" authorId=\"0\"><text><r><rPr><b/></rPr><t>me:</t></r>"
                     "<r><t xml:space=\"preserve\">\r\nline one&#10;line two</t></r></text></comment>"
                     "<comment ref=\"B3\" authorId=\"0\"><text><t>plain</t><rPh><t>よみ</t></rPh></text></comment>"
                     "<comment ref=\"C3\" authorId=\"0\"><text><t></t></text></comment>"
                     "</commentList></comments>",
                     1),
              0);
    std::vector<std::pair<int, std::string>> want = {{1, "me:\nline one\nline two"}, {1, "plain"}};
    EXPECT_EQ(b.objects(), want);
}

}  // namespace
