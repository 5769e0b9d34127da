// Charts in Word documents and presentations: shape text, written where the
// chart is anchored.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ofx.h"
#include "ooxml_helpers.h"

namespace {

const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";

std::string chart_ref(const std::string& id) {
    return "<a:graphic xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><a:graphicData uri=\"http://"
           "schemas.openxmlformats.org/drawingml/2006/chart\"><c:chart xmlns:c=\"http://schemas.openxmlformats.org/"
           "drawingml/2006/chart\" xmlns:r=\"" + kRel + "\" r:id=\"" + id + "\"/></a:graphicData></a:graphic>";
}

std::string chart(const std::string& title) {
    return "<c:chartSpace xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" xmlns:a=\"http://schemas."
           "openxmlformats.org/drawingml/2006/main\"><c:chart><c:title><c:tx><c:rich><a:p><a:r><a:t>" + title +
           "</a:t></a:r></a:p></c:rich></c:tx></c:title><c:plotArea><c:pieChart><c:ser><c:tx><c:v>s</c:v></c:tx>"
           "<c:cat><c:strLit><c:pt idx=\"0\"><c:v>a</c:v></c:pt></c:strLit></c:cat><c:val><c:numLit><c:formatCode>"
           "0%</c:formatCode><c:pt idx=\"0\"><c:v>0.5</c:v></c:pt></c:numLit></c:val></c:ser></c:pieChart>"
           "</c:plotArea></c:chart></c:chartSpace>";
}

std::string rels(const std::vector<std::pair<std::string, std::string>>& id_target) {
    std::string s = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    for (const auto& [id, target] : id_target)
        s += "<Relationship Id=\"" + id + "\" Type=\"" + kRel + "/chart\" Target=\"" + target + "\"/>";
    return s + "</Relationships>";
}

std::string all(const std::map<std::string, std::string>& files) {
    std::string s;
    for (const auto& [name, text] : files) s += "[" + name + "]" + text;
    return s;
}

std::string para(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

TEST(Charts, WordChartFollowsItsParagraph) {
    vt::scratch_dir dir;
    std::string body =
        para("before") + "<w:p><w:r><w:t>Figure 1</w:t></w:r><w:r><w:drawing><wp:inline>" + chart_ref("rId5") +
        "</wp:inline></w:drawing></w:r><w:r><w:t> (2024)</w:t></w:r></w:p>" +
        "<w:p><w:r><w:drawing><wp:anchor>" + chart_ref("rId404") + "</wp:anchor></w:drawing></w:r></w:p>" +
        "<w:p><w:r><mc:AlternateContent xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
        "<mc:Choice Requires=\"cx1\"><w:drawing>" + chart_ref("rId6") + "</w:drawing></mc:Choice><mc:Fallback>"
        "<w:drawing>" + chart_ref("rId6") + "</w:drawing></mc:Fallback></mc:AlternateContent></w:r></w:p>" +
        para("after");
    std::vector<vt::zip_member> members = {
        {"[Content_Types].xml", "<Types/>"},
        {"word/document.xml", "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\">"
                              "<w:body>" + body + "</w:body></w:document>"},
        // rId404: a chart part the package lacks.
        {"word/_rels/document.xml.rels",
         rels({{"rId5", "charts/chart1.xml"}, {"rId6", "/word/charts/chart2.xml"}, {"rId404", "charts/none.xml"}})},
        {"word/charts/chart1.xml", chart("one")},
        {"word/charts/chart2.xml", chart("two &amp; more")},
    };
    // Without shape text the body alone, as before.
    EXPECT_EQ(all(vt::dump_package(dir, members, true).files), "[ページ001]before\nFigure 1 (2024)\n\n\nafter\n");
    vt::dump_result on = vt::dump_package(dir, members, true, {true, false});
    ASSERT_EQ(on.rc, 0);
    EXPECT_EQ(all(on.files), "[ページ001]before\nFigure 1 (2024)\n【グラフ】one\n【系列】s\ta: 50%\n\n\n"
                             "【グラフ】two & more\n【系列】s\ta: 50%\nafter\n" OFX_EXTRA_SEPARATOR "\n");
}

TEST(Charts, SlideChartStandsAmongTheShapes) {
    vt::scratch_dir dir;
    std::string tree = vt::placeholder_shape("title", vt::slide_paragraph("Title")) +
                       "<p:graphicFrame><p:nvGraphicFramePr><p:cNvPr id=\"4\" name=\"Chart\"/></p:nvGraphicFramePr>" +
                       chart_ref("rId2") + "</p:graphicFrame>" + vt::text_box_shape(vt::slide_paragraph("box"));
    std::vector<vt::zip_member> members = {
        {"[Content_Types].xml", "<Types/>"},
        {"ppt/presentation.xml", "<p:presentation/>"},
        {"ppt/slides/slide1.xml", vt::slide_xml(tree)},
        {"ppt/slides/_rels/slide1.xml.rels", rels({{"rId2", "../charts/chart7.xml"}})},
        {"ppt/charts/chart7.xml", chart("sales")},
    };
    EXPECT_EQ(all(vt::dump_package(dir, members, false).files), "[スライド000]Title\n");
    EXPECT_EQ(all(vt::dump_package(dir, members, false, {true, false}).files),
              "[スライド000]Title\n【グラフ】sales\n【系列】s\ta: 50%\nbox\n" OFX_EXTRA_SEPARATOR "\n");
}

}  // namespace
