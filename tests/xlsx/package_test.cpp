// The package reader through TABX_open_book: member order, sheet names,
// drawings and comments on their sheets, listing, refusals.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mfile.h"
#include "tabx.h"
#include "test_support.h"
#include "test_zip.h"

namespace {

const char k_types[] =
    "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
    "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";

std::string sheet_xml(const std::string& a1) {
    return "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" + a1 +
           "</t></is></c></row></sheetData></worksheet>";
}

std::string workbook_xml(const std::vector<std::pair<std::string, std::string>>& sheets) {
    std::string s = "<workbook><sheets>";
    int id = 1;
    for (const auto& [name, rid] : sheets)
        s += "<sheet name=\"" + name + "\" sheetId=\"" + std::to_string(id++) + "\" r:id=\"" + rid + "\"/>";
    return s + "</sheets></workbook>";
}

std::string rels(const std::vector<std::pair<std::string, std::string>>& targets) {
    std::string s = "<Relationships>";
    for (const auto& [id, target] : targets)
        s += "<Relationship Id=\"" + id + "\" Type=\"t\" Target=\"" + target + "\"/>";
    return s + "</Relationships>";
}

struct opened {
    XLS_BOOK book{};
    int rc = 0;
    opened(const std::string& path, const char* mode = "UNLOAD") {
        std::string args = "EXCEL=\"" + path + "\" MODE=" + mode + " CHARSET=UTF8";
        rc = TABX_open_book(&book, args.c_str());
    }
    ~opened() { TABX_close_book(&book, "DESTROY"); }
    std::string name(int i) {
        char buf[400] = {};
        TABX_sheet_name(&book, i, buf);
        return buf;
    }
    std::string cell(int sheet, const char* ref) {
        TABX_open_sheet2(&book, sheet);
        std::vector<char> buf(TABX_CELL_TEXT_BUF);
        if (TABX_get_cell(&book, ref, buf.data(), static_cast<int>(buf.size()), nullptr, 0) != 0) return "<none>";
        return buf.data();
    }
};

std::string write_package(const vt::scratch_dir& dir, const std::string& name,
                          const std::vector<vt::zip_member>& members) {
    std::string path = dir / name;
    EXPECT_TRUE(vt::write_file(path, vt::make_zip(members)));
    return path;
}

TEST(Package, WorksheetsInNaturalOrderNamedByRelationship) {
    vt::scratch_dir dir;
    std::vector<vt::zip_member> m = {
        {"[Content_Types].xml", k_types},
        // The sheet list order differs from the member numbering; a chart
        // sheet stands between the worksheets.
        {"xl/workbook.xml", workbook_xml({{"Ten", "rId10"}, {"Chart", "rId99"}, {"One", "rId1"},
                                          {"Two", "rId2"}})},
        {"xl/_rels/workbook.xml.rels", rels({{"rId1", "worksheets/sheet1.xml"},
                                              {"rId2", "/xl/worksheets/sheet2.xml"},
                                              {"rId10", "worksheets/sheet10.xml"},
                                              {"rId99", "chartsheets/sheet1.xml"}})},
        {"xl/worksheets/sheet10.xml", sheet_xml("ten")},
        {"xl/worksheets/sheet2.xml", sheet_xml("two")},
        {"xl/worksheets/sheet1.xml", sheet_xml("one")},
        {"xl/chartsheets/sheet1.xml", "<chartsheet/>"},
    };
    opened b(write_package(dir, "order.xlsx", m));
    ASSERT_EQ(b.rc, 0) << TABX_error_mesg(&b.book);
    ASSERT_EQ(TABX_sheet_num(&b.book), 3);
    EXPECT_EQ(b.name(0), "One");
    EXPECT_EQ(b.cell(0, "A1"), "one");
    EXPECT_EQ(b.name(1), "Two");
    EXPECT_EQ(b.cell(1, "A1"), "two");
    EXPECT_EQ(b.name(2), "Ten");
    EXPECT_EQ(b.cell(2, "A1"), "ten");
}

TEST(Package, WithoutRelationshipsNamesGoByPosition) {
    vt::scratch_dir dir;
    std::vector<vt::zip_member> m = {
        {"xl/workbook.xml", workbook_xml({{"A&amp;B", "rId1"}, {"Second", "rId2"}})},
        {"xl/worksheets/sheet1.xml", sheet_xml("1")},
        {"xl/worksheets/sheet2.xml", sheet_xml("2")},
    };
    opened b(write_package(dir, "pos.xlsx", m));
    ASSERT_EQ(b.rc, 0);
    EXPECT_EQ(b.name(0), "A&B");
    EXPECT_EQ(b.name(1), "Second");
    EXPECT_EQ(b.cell(1, "A1"), "2");
}

TEST(Package, SharedStringsStylesDrawingsAndComments) {
    vt::scratch_dir dir;
    std::vector<vt::zip_member> m = {
        {"xl/workbook.xml", workbook_xml({{"S1", "rId1"}, {"S2", "rId2"}})},
        {"xl/_rels/workbook.xml.rels", rels({{"rId1", "worksheets/sheet1.xml"}, {"rId2", "worksheets/sheet2.xml"}})},
        {"xl/sharedStrings.xml", "<sst><si><t>zero</t></si><si><t>one</t></si></sst>"},
        {"xl/styles.xml", "<styleSheet><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\"/></cellXfs></styleSheet>"},
        {"xl/worksheets/sheet1.xml", "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"s\"><v>1</v></c>"
                                     "<c r=\"B1\" s=\"1\"><v>45296</v></c></row></sheetData></worksheet>"},
        {"xl/worksheets/sheet2.xml", sheet_xml("x")},
        {"xl/worksheets/_rels/sheet2.xml.rels",
         rels({{"rId1", "../drawings/vmlDrawing1.vml"}, {"rId2", "../drawings/drawing2.xml"},
               {"rId3", "/xl/comments/comment1.xml"}})},
        {"xl/drawings/drawing1.xml", "<xdr:wsDr><xdr:txBody><a:p><a:r><a:t>orphan</a:t></a:r></a:p></xdr:txBody></xdr:wsDr>"},
        {"xl/drawings/drawing2.xml", "<xdr:wsDr><xdr:txBody><a:p><a:r><a:t>shape</a:t></a:r></a:p></xdr:txBody></xdr:wsDr>"},
        {"xl/comments/comment1.xml", "<comments><commentList><comment ref=\"A1\"><text><t>note</t></text></comment>"
                                     "</commentList></comments>"},
    };
    opened b(write_package(dir, "parts.xlsx", m));
    ASSERT_EQ(b.rc, 0);
    EXPECT_EQ(b.cell(0, "A1"), "one");
    EXPECT_EQ(b.cell(0, "B1"), "2024/1/5");
    std::vector<std::pair<int, std::string>> objects;
    for (int i = 0; i < b.book.drawing_count; ++i)
        objects.emplace_back(b.book.drawings[i].sheet, static_cast<XLS_OBJECT_TEXT*>(b.book.drawings[i].data)->text);
    std::vector<std::pair<int, std::string>> want = {{1, "note"}, {0, "orphan"}, {1, "shape"}};
    EXPECT_EQ(objects, want);
    // The worksheets and shared strings left memory once read.
    EXPECT_EQ(msize("xl/worksheets/sheet1.xml"), 0);
    EXPECT_EQ(msize("xl/sharedStrings.xml"), 0);
    EXPECT_GT(msize("xl/workbook.xml"), 0);
}

// Many sheets, listed in the reverse of their members' order and named
// through the relationships: each worksheet gets its own name.
TEST(Package, TwentyThousandSheetsNamedByRelationship) {
    vt::scratch_dir dir;
    const int n = 20000;
    std::vector<std::pair<std::string, std::string>> list, targets;
    std::vector<vt::zip_member> m;
    for (int i = n; i >= 1; --i) {
        std::string k = std::to_string(i);
        list.push_back({"N" + k, "rId" + k});
        targets.push_back({"rId" + k, "worksheets/sheet" + k + ".xml"});
        m.push_back({"xl/worksheets/sheet" + k + ".xml", sheet_xml("c" + k)});
    }
    m.push_back({"xl/workbook.xml", workbook_xml(list)});
    m.push_back({"xl/_rels/workbook.xml.rels", rels(targets)});
    opened b(write_package(dir, "sheets.xlsx", m));
    ASSERT_EQ(b.rc, 0) << TABX_error_mesg(&b.book);
    ASSERT_EQ(TABX_sheet_num(&b.book), n);
    for (int s : {0, 1, 9, 10, 999, n / 2, n - 1}) {
        // Worksheets are read in their members' natural order: sheet s is sheet{s+1}.xml.
        EXPECT_EQ(b.name(s), "N" + std::to_string(s + 1)) << s;
        EXPECT_EQ(b.cell(s, "A1"), "c" + std::to_string(s + 1)) << s;
    }
}

TEST(Package, MoreThanAThousandMembers) {
    vt::scratch_dir dir;
    std::vector<vt::zip_member> m = {{"xl/workbook.xml", workbook_xml({{"Only", "rId1"}})},
                                     {"xl/worksheets/sheet1.xml", sheet_xml("end")}};
    for (int i = 0; i < 1200; ++i) m.push_back({"xl/media/pad" + std::to_string(i) + ".bin", "x", false});
    opened b(write_package(dir, "many.xlsx", m));
    ASSERT_EQ(b.rc, 0);
    EXPECT_EQ(b.cell(0, "A1"), "end");
    EXPECT_EQ(b.book.member_count, 1202);
}

TEST(Package, ListingReadsOnlyTheNames) {
    vt::scratch_dir dir;
    std::vector<vt::zip_member> m = {
        {"xl/workbook.xml", workbook_xml({{"First", "rId1"}, {"日本語", "rId2"}, {std::string(94, 'n'), "rId3"},
                                          {"After", "rId4"}})},
        {"xl/worksheets/sheet1.xml", sheet_xml("x")},
    };
    opened b(write_package(dir, "list.xlsx", m), "LIST");
    ASSERT_EQ(b.rc, 0);
    ASSERT_EQ(TABX_sheet_num(&b.book), 2);
    EXPECT_EQ(b.name(0), "First");
    EXPECT_EQ(b.name(1), "日本語");
}

TEST(Package, Refusals) {
    vt::scratch_dir dir;
    std::string deep;
    for (int i = 0; i < 101; ++i) deep += "<a>";
    struct row {
        const char* what;
        std::string bytes;
        int rc;
    } rows[] = {
        {"Word package", vt::make_zip({{"word/document.xml", "<w:document/>"}}), -4},
        {"damaged worksheet", vt::make_zip({{"xl/workbook.xml", workbook_xml({{"A", "rId1"}})},
                                            {"xl/worksheets/sheet1.xml", "</worksheet>"}}), -1},
        {"worksheet nested too deep", vt::make_zip({{"xl/workbook.xml", "<workbook/>"},
                                                     {"xl/worksheets/sheet1.xml", deep}}), -1},
        {"bad CRC", vt::make_zip({{"xl/workbook.xml", "<workbook/>", true, 0, true}}), -1},
    };
    for (const row& r : rows) {
        std::string path = dir / "refused.xlsx";
        ASSERT_TRUE(vt::write_file(path, r.bytes));
        opened b(path);
        EXPECT_EQ(b.rc, r.rc) << r.what << ": " << TABX_error_mesg(&b.book);
    }
}

}  // namespace

namespace {

std::string chart_xml(const std::string& title, const std::string& code, const std::string& value) {
    return "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" xmlns:a=\"http://schemas."
           "openxmlformats.org/drawingml/2006/main\"><c:chart><c:title><c:tx><c:rich><a:p><a:r><a:t>" + title +
           "</a:t></a:r></a:p></c:rich></c:tx></c:title><c:plotArea><c:barChart><c:ser><c:cat><c:numRef><c:numCache>"
           "<c:formatCode>yyyy/m/d</c:formatCode><c:pt idx=\"0\"><c:v>45296</c:v></c:pt></c:numCache></c:numRef>"
           "</c:cat><c:val><c:numRef><c:numCache><c:formatCode>" + code + "</c:formatCode><c:pt idx=\"0\"><c:v>" +
           value + "</c:v></c:pt></c:numCache></c:numRef></c:val></c:ser></c:barChart></c:plotArea></c:chart>"
           "</c:chartSpace>";
}

std::string shape(const std::string& text) {
    return "<xdr:twoCellAnchor><xdr:sp><xdr:txBody><a:p><a:r><a:t>" + text + "</a:t></a:r></a:p></xdr:txBody>"
           "</xdr:sp></xdr:twoCellAnchor>";
}

const char k_frame[] =
    "<xdr:twoCellAnchor><xdr:graphicFrame><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/"
    "drawingml/2006/chart\"><c:chart xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" r:id=\"rId7\"/>"
    "</a:graphicData></a:graphic></xdr:graphicFrame></xdr:twoCellAnchor>";

TEST(Package, ChartsInDrawingsAndChartSheets) {
    vt::scratch_dir dir;
    for (bool chart_sheet_first : {false, true}) {
        std::vector<std::pair<std::string, std::string>> list = {{"Data", "rId1"}, {"グラフ", "rId2"}, {"Last", "rId3"}};
        if (chart_sheet_first) std::swap(list[0], list[1]);
        std::vector<vt::zip_member> m = {
            {"xl/workbook.xml", workbook_xml(list)},
            {"xl/_rels/workbook.xml.rels", rels({{"rId1", "worksheets/sheet1.xml"}, {"rId2", "chartsheets/sheet1.xml"},
                                                 {"rId3", "worksheets/sheet2.xml"}})},
            {"xl/worksheets/sheet1.xml", sheet_xml("data")},
            {"xl/worksheets/sheet2.xml", sheet_xml("last")},
            {"xl/worksheets/_rels/sheet1.xml.rels", rels({{"rId1", "../drawings/drawing1.xml"}})},
            {"xl/drawings/drawing1.xml", "<xdr:wsDr>" + shape("before") + k_frame + shape("after") + "</xdr:wsDr>"},
            {"xl/drawings/_rels/drawing1.xml.rels", rels({{"rId7", "../charts/chart1.xml"}})},
            {"xl/charts/chart1.xml", chart_xml("売上", "0.0%", "0.256")},
            {"xl/chartsheets/sheet1.xml", "<chartsheet><drawing r:id=\"rId1\"/></chartsheet>"},
            {"xl/chartsheets/_rels/sheet1.xml.rels", rels({{"rId1", "../drawings/drawing2.xml"}})},
            {"xl/drawings/drawing2.xml", std::string("<xdr:wsDr>") + k_frame + "</xdr:wsDr>"},
            {"xl/drawings/_rels/drawing2.xml.rels", rels({{"rId7", "/xl/charts/chart2.xml"}})},
            {"xl/charts/chart2.xml", chart_xml("on its own sheet", "#,##0", "1234.5")},
        };
        opened b(write_package(dir, "charts.xlsx", m));
        ASSERT_EQ(b.rc, 0) << TABX_error_mesg(&b.book);
        ASSERT_EQ(TABX_sheet_num(&b.book), 2) << "a chart sheet has no cells and no file";
        std::vector<std::pair<int, std::string>> objects;
        for (int i = 0; i < b.book.drawing_count; ++i)
            objects.emplace_back(b.book.drawings[i].sheet, static_cast<XLS_OBJECT_TEXT*>(b.book.drawings[i].data)->text);
        // The chart sheet's chart goes to the worksheet before it in the
        // tab order, or the one after it when it comes first.
        std::vector<std::pair<int, std::string>> want = {
            {0, "before"}, {0, "【グラフ】売上"}, {0, "【系列】系列1\t2024/1/5: 25.6%"}, {0, "after"},
            {0, "【グラフシート】グラフ"}, {0, "【グラフ】on its own sheet"}, {0, "【系列】系列1\t2024/1/5: 1,235"}};
        EXPECT_EQ(objects, want) << chart_sheet_first;
    }
}

}  // namespace
