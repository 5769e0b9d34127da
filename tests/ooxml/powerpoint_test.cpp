#include <gtest/gtest.h>

#include <map>
#include <string>

#include "ofx.h"
#include "ooxml_helpers.h"

namespace {

using vt::placeholder_shape;
using vt::slide_paragraph;
using vt::text_box_shape;

std::string slides(const std::map<std::string, std::string>& f) {
    std::string s;
    for (const auto& [name, text] : f) s += "[" + name + "]" + text;
    return s;
}

std::string table_frame(const std::vector<std::vector<std::string>>& rows) {
    std::string s = "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"9\" name=\"\"/><p:cNvGraphicFramePr/><p:nvPr/>"
                    "</p:nvGraphicFramePr><a:graphic><a:graphicData><a:tbl><a:tblPr/><a:tblGrid><a:gridCol w=\"1\"/>"
                    "</a:tblGrid>";
    for (const auto& row : rows) {
        s += "<a:tr h=\"1\">";
        for (const std::string& c : row)
            s += "<a:tc><a:txBody><a:bodyPr/>" + (c.empty() ? std::string("<a:p><a:endParaRPr/></a:p>") : slide_paragraph(c)) +
                 "</a:txBody><a:tcPr/></a:tc>";
        s += "</a:tr>";
    }
    return s + "</a:tbl></a:graphicData></a:graphic></p:graphicFrame>";
}

TEST(PowerPointDump, SlidesInNumericOrder) {
    vt::scratch_dir dir;
    std::vector<std::string> trees;
    for (int i = 1; i <= 12; ++i) trees.push_back(placeholder_shape("title", slide_paragraph("S" + std::to_string(i))));
    vt::dump_result r = dump_slides(dir, trees);
    ASSERT_EQ(r.rc, 0);
    ASSERT_EQ(r.files.size(), 12u);
    EXPECT_EQ(r.files["スライド000"], "S1\n");
    EXPECT_EQ(r.files["スライド009"], "S10\n");
    EXPECT_EQ(r.files["スライド011"], "S12\n");
    EXPECT_EQ(r.raw["スライド011"], "S12\r\n");

    vt::dump_result all = dump_slides(dir, trees, {false, true});
    ASSERT_EQ(all.rc, 0);
    EXPECT_EQ(slides(all.files), "[全スライド]S1\nS2\nS3\nS4\nS5\nS6\nS7\nS8\nS9\nS10\nS11\nS12\n");
}

TEST(PowerPointDump, TextBoxSwitch) {
    vt::scratch_dir dir;
    std::vector<std::string> trees{placeholder_shape("title", slide_paragraph("Title")) +
                                   text_box_shape(slide_paragraph("Box")) +
                                   placeholder_shape("body", slide_paragraph("Body"))};
    // Off: only the text box is left out, whatever comes before a placeholder.
    EXPECT_EQ(slides(dump_slides(dir, trees).files), "[スライド000]Title\nBody\n");
    EXPECT_EQ(slides(dump_slides(dir, trees, {true, false}).files),
              "[スライド000]Title\nBox\nBody\n" OFX_EXTRA_SEPARATOR "\n");

    // Placeholders with their own geometry, pictures, lines and groups
    // before them change nothing.
    std::string picture = "<p:pic><p:nvPicPr><p:cNvPr id=\"5\" name=\"pic\"/><p:cNvPicPr/><p:nvPr/></p:nvPicPr>"
                          "<p:spPr><a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr></p:pic>";
    std::string line = "<p:cxnSp><p:nvCxnSpPr><p:cNvPr id=\"6\" name=\"line\"/><p:cNvCxnSpPr/><p:nvPr/>"
                       "</p:nvCxnSpPr><p:spPr><a:prstGeom prst=\"line\"><a:avLst/></a:prstGeom></p:spPr></p:cxnSp>";
    std::vector<std::string> geometry{picture + line + placeholder_shape("title", slide_paragraph("T"), true) +
                                      "<p:grpSp><p:nvGrpSpPr/><p:grpSpPr/>" + text_box_shape(slide_paragraph("X")) +
                                      placeholder_shape("subTitle", slide_paragraph("S"), true) + "</p:grpSp>" +
                                      placeholder_shape("body", slide_paragraph("B"), true)};
    EXPECT_EQ(slides(dump_slides(dir, geometry).files), "[スライド000]T\nS\nB\n");

    // Tables are kept.
    std::vector<std::string> table{text_box_shape(slide_paragraph("X")) + table_frame({{"a", "b"}}) +
                                   placeholder_shape("body", slide_paragraph("after"))};
    EXPECT_EQ(slides(dump_slides(dir, table).files), "[スライド000]a\tb\t\nafter\n");
}

TEST(PowerPointDump, ParagraphsBreaksAndTables) {
    vt::scratch_dir dir;
    std::string paragraphs = "<a:p><a:r><a:t>line</a:t></a:r><a:br><a:rPr lang=\"en\"/></a:br><a:r><a:t>next</a:t>"
                             "</a:r></a:p><a:p><a:endParaRPr lang=\"ja-JP\"/></a:p><a:p><a:pPr><a:tabLst><a:tab "
                             "pos=\"1\"/></a:tabLst></a:pPr><a:r><a:t>x</a:t></a:r><a:br/>"
                             "<a:r><a:t/><a:t>y &amp; z</a:t></a:r><a:fld type=\"slidenum\"><a:t>3</a:t></a:fld></a:p>";
    std::string two_paragraph_cell = "<a:tc><a:txBody><a:bodyPr/>" + slide_paragraph("p1") + slide_paragraph("p2") +
                                     "</a:txBody></a:tc>";
    std::string table = table_frame({{"1", "", "3"}, {"日本", "語", ""}});
    table.insert(table.find("</a:tr>"), two_paragraph_cell);
    std::vector<std::string> trees{placeholder_shape("body", paragraphs) + table};
    vt::dump_result r = dump_slides(dir, trees);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(slides(r.files), "[スライド000]line\nnext\n\nx\ny & z3\n1\t\t3\tp1\np2\t\n日本\t語\t\t\n");
}

TEST(PowerPointDump, OnlySlidePartsAreRead) {
    vt::scratch_dir dir;
    vt::dump_result r = dump_package(dir,
                                     {{"ppt/presentation.xml", "<p:presentation/>"},
                                      {"ppt/slides/slide2.xml", vt::slide_xml(placeholder_shape("title", slide_paragraph("two")))},
                                      {"ppt/notesSlides/notesSlide1.xml", vt::slide_xml(slide_paragraph("note"))},
                                      {"ppt/slideLayouts/slideLayout1.xml", vt::slide_xml(slide_paragraph("layout"))},
                                      {"ppt/slides/slide1.xml", vt::slide_xml(placeholder_shape("title", slide_paragraph("one")))}},
                                     false);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(slides(r.files), "[スライド000]one\n[スライド001]two\n");
}

TEST(PowerPointDump, Failures) {
    vt::scratch_dir dir;
    std::string deep;
    for (int i = 0; i < 200; ++i) deep += "<p:grpSp>";
    vt::dump_result r = dump_slides(dir, {placeholder_shape("title", slide_paragraph("ok")), deep});
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_read_pptx() rc=-9"});
    EXPECT_EQ(r.files["スライド000"], "ok\n");  // files written before stay

    r = dump_package(dir, {{"ppt/presentation.xml", "<p:presentation/>"}, {"ppt/slides/slide1.xml", "</p:sld>"}},
                     false);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_read_pptx() rc=-1"});

    vt::zip_member bad{"ppt/slides/slide1.xml", vt::slide_xml("")};
    bad.bad_crc = true;
    r = dump_package(dir, {bad}, false);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_read_pptx() rc=-105"});

    // A member name longer than the name slots is still refused.
    r = dump_package(dir, {{"ppt/slides/slide1.xml", vt::slide_xml("")}, {std::string(300, 'n'), ""}}, false);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_read_pptx() rc=-9"});
}

}  // namespace

namespace {

const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
const std::string kP = "http://schemas.openxmlformats.org/presentationml/2006/main";
const std::string kR = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string rels(const std::vector<std::pair<std::string, std::string>>& type_target) {
    std::string s = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    int id = 0;
    for (const auto& [type, target] : type_target)
        s += "<Relationship Id=\"rId" + std::to_string(++id) + "\" Type=\"" + kRel + type + "\" Target=\"" + target +
             "\"/>";
    return s + "</Relationships>";
}

std::string title(const std::string& t) { return vt::slide_xml(placeholder_shape("title", slide_paragraph(t))); }

TEST(PowerPointDump, SlidesInThePresentationsOrder) {
    vt::scratch_dir dir;
    // Moved slides keep their file names; the third shown is hidden.
    std::vector<vt::zip_member> members{
        {"_rels/.rels", rels({{"officeDocument", "ppt/presentation.xml"}})},
        {"ppt/presentation.xml",
         "<p:presentation xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId3\"/>"
         "<p:sldId id=\"257\" r:id=\"rId1\"/><p:sldId id=\"258\" r:id=\"rId2\"/></p:sldIdLst></p:presentation>"},
        {"ppt/_rels/presentation.xml.rels",
         rels({{"slide", "slides/slide1.xml"}, {"slide", "slides/slide2.xml"}, {"slide", "/ppt/slides/slide10.xml"},
               {"slideMaster", "slideMasters/slideMaster1.xml"}})},
        {"ppt/slides/slide1.xml", title("one")},
        {"ppt/slides/slide2.xml", "<p:sld xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" show=\"0\"><p:cSld><p:spTree>" +
                                      placeholder_shape("title", slide_paragraph("two")) + "</p:spTree></p:cSld></p:sld>"},
        {"ppt/slides/slide10.xml", title("ten")},
        {"ppt/slides/slide3.xml", title("not in the show")},
    };
    vt::dump_result r = dump_package(dir, members, false);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(slides(r.files), "[スライド000]ten\n[スライド001]one\n[スライド002]two\n");
}

TEST(PowerPointDump, NotesAndCommentsWithShapeText) {
    vt::scratch_dir dir;
    std::string notes = "<p:notes xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"><p:cSld><p:spTree>" +
                        placeholder_shape("sldImg", "") + placeholder_shape("body", slide_paragraph("note 1") +
                                                                                          slide_paragraph("note 2")) +
                        placeholder_shape("sldNum", slide_paragraph("1")) + "</p:spTree></p:cSld></p:notes>";
    std::string legacy = "<p:cmLst xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"><p:cm authorId=\"0\" idx=\"1\"><p:pos x=\"1\" y=\"1\"/>"
                         "<p:text>old &amp; plain</p:text></p:cm></p:cmLst>";
    std::string modern = "<p188:cmLst xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" xmlns:p188=\"http://schemas.microsoft.com/office/powerpoint/2018/"
                         "8/main\"><p188:cm id=\"{1}\" authorId=\"{2}\"><p188:replyLst><p188:reply id=\"{3}\">"
                         "<p188:txBody><a:bodyPr/>" + slide_paragraph("reply") + "</p188:txBody></p188:reply>"
                         "</p188:replyLst><p188:txBody><a:bodyPr/>" + slide_paragraph("modern") +
                         "</p188:txBody></p188:cm></p188:cmLst>";
    std::vector<vt::zip_member> members{
        {"ppt/presentation.xml", "<p:presentation/>"},
        {"ppt/slides/slide1.xml", title("one")},
        {"ppt/slides/_rels/slide1.xml.rels",
         rels({{"notesSlide", "../notesSlides/notesSlide1.xml"}, {"comments", "../comments/comment1.xml"},
               {"comments", "../comments/modernComment_1.xml"}})},
        {"ppt/notesSlides/notesSlide1.xml", notes},
        {"ppt/comments/comment1.xml", legacy},
        {"ppt/comments/modernComment_1.xml", modern},
        {"ppt/slides/slide2.xml", title("two")},
    };
    EXPECT_EQ(slides(dump_package(dir, members, false).files), "[スライド000]one\n[スライド001]two\n");
    vt::dump_result on = dump_package(dir, members, false, {true, false});
    ASSERT_EQ(on.rc, 0);
    EXPECT_EQ(slides(on.files), "[スライド000]one\n" OFX_EXTRA_SEPARATOR "\n【ノート】\nnote 1\nnote 2\n【コメント】\n"
                                "old & plain\n【コメント】\nreply\nmodern\n[スライド001]two\n" OFX_EXTRA_SEPARATOR "\n");
}

TEST(PowerPointDump, PackagesOfManyMembers) {
    vt::scratch_dir dir;
    std::vector<std::string> trees;
    for (int i = 1; i <= 600; ++i) trees.push_back(placeholder_shape("title", slide_paragraph("S" + std::to_string(i))));
    // 600 slides and their relationships: 1202 members.
    vt::dump_result r = dump_slides(dir, trees);
    ASSERT_EQ(r.rc, 0);
    ASSERT_EQ(r.files.size(), 600u);
    EXPECT_EQ(r.files["スライド000"], "S1\n");
    EXPECT_EQ(r.files["スライド599"], "S600\n");
}

// A slide list that names slides again (one slide 100,000 times, one
// slide twice among others) shows each slide once, where it is first listed.
TEST(PowerPointDump, ASlideListedAgainIsShownOnce) {
    vt::scratch_dir dir;
    std::string ids;
    for (int i = 0; i < 100000; ++i) ids += "<p:sldId id=\"" + std::to_string(256 + i) + "\" r:id=\"rId1\"/>";
    std::vector<vt::zip_member> members{
        {"_rels/.rels", rels({{"officeDocument", "ppt/presentation.xml"}})},
        {"ppt/presentation.xml",
         std::string("<p:presentation xmlns:p=\"") + kP + "\" xmlns:r=\"" + kR + "\"><p:sldIdLst>" + ids + "</p:sldIdLst></p:presentation>"},
        {"ppt/_rels/presentation.xml.rels", rels({{"slide", "slides/slide1.xml"}})},
        {"ppt/slides/slide1.xml", title("one")},
    };
    vt::dump_result r = dump_package(dir, members, false);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(slides(r.files), "[スライド000]one\n");
    members[1].data = std::string("<p:presentation xmlns:p=\"") + kP + "\" xmlns:r=\"" + kR + "\"><p:sldIdLst><p:sldId id=\"256\" r:id=\"rId2\"/>"
                      "<p:sldId id=\"257\" r:id=\"rId1\"/><p:sldId id=\"258\" r:id=\"rId3\"/></p:sldIdLst></p:presentation>";
    members[2].data = rels({{"slide", "slides/slide1.xml"}, {"slide", "slides/slide2.xml"}, {"slide", "slides/slide2.xml"}});
    members.push_back({"ppt/slides/slide2.xml", title("two")});
    r = dump_package(dir, members, false);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(slides(r.files), "[スライド000]two\n[スライド001]one\n");
}

}  // namespace

namespace {

// A SmartArt diagram in a slide: a graphic frame naming its data part.
std::string diagram_frame(const std::string& rel_id, bool placeholder) {
    return "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"4\" name=\"Diagram\"/><p:cNvGraphicFramePr/><p:nvPr>" +
           std::string(placeholder ? "<p:ph idx=\"1\"/>" : "") +
           "</p:nvPr></p:nvGraphicFramePr><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/"
           "drawingml/2006/diagram\"><dgm:relIds xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/"
           "diagram\" xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" r:dm=\"" +
           rel_id + "\" r:lo=\"rId9\" r:qs=\"rId9\" r:cs=\"rId9\"/></a:graphicData></a:graphic></p:graphicFrame>";
}

std::string diagram_data(const std::string& a, const std::string& b) {
    return "<dgm:dataModel xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/diagram\" "
           "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><dgm:ptLst><dgm:pt modelId=\"0\" "
           "type=\"doc\"/><dgm:pt modelId=\"1\"><dgm:t><a:p><a:r><a:t>" + a + "</a:t></a:r></a:p></dgm:t></dgm:pt>"
           "<dgm:pt modelId=\"2\"><dgm:t><a:p><a:r><a:t>" + b + "</a:t></a:r></a:p><a:p><a:r><a:t>" + b +
           " 2</a:t></a:r></a:p></dgm:t></dgm:pt></dgm:ptLst><dgm:cxnLst><dgm:cxn modelId=\"9\" srcId=\"0\" "
           "destId=\"1\" srcOrd=\"0\" destOrd=\"0\"/><dgm:cxn modelId=\"8\" srcId=\"0\" destId=\"2\" srcOrd=\"1\" "
           "destOrd=\"0\"/></dgm:cxnLst></dgm:dataModel>";
}

TEST(PowerPointDump, SmartArtInItsFrame) {
    vt::scratch_dir dir;
    std::vector<vt::zip_member> members{
        {"ppt/presentation.xml", "<p:presentation/>"},
        {"ppt/slides/slide1.xml", vt::slide_xml(placeholder_shape("title", slide_paragraph("T")) +
                                                diagram_frame("rId1", false) + diagram_frame("rId2", true))},
        {"ppt/slides/_rels/slide1.xml.rels",
         rels({{"diagramData", "../diagrams/data1.xml"}, {"diagramData", "../diagrams/data2.xml"}})},
        {"ppt/diagrams/data1.xml", diagram_data("shape", "text")},
        {"ppt/diagrams/data2.xml", diagram_data("placeholder", "node")},
    };
    // A diagram in a content placeholder is shown like the placeholder's
    // text; another like a shape's, with shape text on.
    EXPECT_EQ(slides(dump_package(dir, members, false).files), "[スライド000]T\nplaceholder\nnode\nnode 2\n");
    EXPECT_EQ(slides(dump_package(dir, members, false, {true, false}).files),
              "[スライド000]T\nshape\ntext\ntext 2\nplaceholder\nnode\nnode 2\n" OFX_EXTRA_SEPARATOR "\n");
}

}  // namespace
