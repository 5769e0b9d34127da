// The chart text module: the part reader, the layout and the formatter that
// needs no engine, on chart parts written in the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "chart_text.h"

namespace {

const std::string kNs =
    "xmlns:c=\"http://schemas.openxmlformats.org/drawingml/2006/chart\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\"";

std::string part(const std::string& chart) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n<c:chartSpace " + kNs + "><c:chart>" +
           chart + "</c:chart></c:chartSpace>";
}

std::string rich(const std::string& paragraphs) { return "<c:tx><c:rich><a:bodyPr/>" + paragraphs + "</c:rich></c:tx>"; }
std::string para(const std::string& t) { return "<a:p><a:r><a:rPr lang=\"ja-JP\"/><a:t>" + t + "</a:t></a:r></a:p>"; }

std::string str_cache(const std::vector<std::string>& v) {
    std::string s = "<c:strRef><c:f>Sheet1!$A$2</c:f><c:strCache><c:ptCount val=\"" + std::to_string(v.size()) + "\"/>";
    for (size_t i = 0; i < v.size(); ++i) s += "<c:pt idx=\"" + std::to_string(i) + "\"><c:v>" + v[i] + "</c:v></c:pt>";
    return s + "</c:strCache></c:strRef>";
}

std::string num_cache(const std::string& code, const std::vector<std::string>& v) {
    std::string s = "<c:numRef><c:f>Sheet1!$B$2</c:f><c:numCache><c:formatCode>" + code + "</c:formatCode>";
    for (size_t i = 0; i < v.size(); ++i) s += "<c:pt idx=\"" + std::to_string(i) + "\"><c:v>" + v[i] + "</c:v></c:pt>";
    return s + "</c:numCache></c:numRef>";
}

std::string lines_of(const std::string& xml, const chart_number_format& f = nullptr) {
    chart_text chart;
    EXPECT_EQ(chart_read_part(xml.data(), xml.size(), f, chart), 0);
    return chart_lines_text(chart);
}

TEST(ChartPart, WhatAReaderSees) {
    const std::string bar_series =
        "<c:ser><c:idx val=\"0\"/><c:order val=\"0\"/><c:tx>" + str_cache({"東京"}) + "</c:tx>" +
        "<c:spPr><a:solidFill><a:srgbClr val=\"4472C4\"/></a:solidFill></c:spPr>"
        "<c:dLbls><c:dLbl><c:idx val=\"0\"/><c:tx><c:rich>" + para("custom label") + "</c:rich></c:tx></c:dLbl></c:dLbls>"
        "<c:cat>" + str_cache({"1月", "2月"}) + "</c:cat><c:val>" + num_cache("#,##0", {"1200", "3400.5"}) + "</c:val>"
        "<c:extLst><c:ext uri=\"{x}\"><c:v>ext</c:v></c:ext></c:extLst></c:ser>";
    struct {
        const char* what;
        std::string xml;
        std::string want;
    } cases[] = {
        {"title, axis titles, series name, categories and values through their format",
         part("<c:title>" + rich(para("売上") + para("2024 &amp; 2025")) + "</c:title><c:autoTitleDeleted val=\"0\"/>"
              "<c:plotArea><c:barChart>" + bar_series + "</c:barChart>"
              "<c:catAx><c:axId val=\"1\"/><c:title>" + rich(para("月")) + "</c:title></c:catAx>"
              "<c:valAx><c:axId val=\"2\"/><c:title>" + rich(para("金額")) + "</c:title>"
              "<c:txPr><a:p><a:r><a:t>not shown</a:t></a:r></a:p></c:txPr></c:valAx></c:plotArea>"
              "<c:legend><c:legendPos val=\"r\"/></c:legend>"),
         "【グラフ】売上 2024 & 2025\n【項目軸】月\n【値軸】金額\n【系列】東京\t1月: 1,200\t2月: 3,401\n"},
        {"no title; a series without name is called by its number; the first series' categories serve the others",
         part("<c:plotArea><c:lineChart><c:ser><c:idx val=\"0\"/><c:tx><c:v>literal</c:v></c:tx><c:cat>" +
              str_cache({"a", "b"}) + "</c:cat><c:val>" + num_cache("General", {"1", "0.1"}) +
              "</c:val></c:ser><c:ser><c:idx val=\"4\"/><c:val>" + num_cache("0.0%", {"0.256", "-1"}) +
              "</c:val></c:ser></c:lineChart></c:plotArea>"),
         "【グラフ】\n【系列】literal\ta: 1\tb: 0.1\n【系列】系列5\ta: 25.6%\tb: -100.0%\n"},
        {"a point's own format code, points out of order, a missing point, literals",
         part("<c:plotArea><c:barChart><c:ser><c:cat><c:strLit><c:pt idx=\"2\"><c:v>z</c:v></c:pt>"
              "<c:pt idx=\"0\"><c:v>x</c:v></c:pt></c:strLit></c:cat><c:val><c:numLit><c:formatCode>0.00"
              "</c:formatCode><c:pt idx=\"2\" formatCode=\"0&quot;個&quot;\"><c:v>3</c:v></c:pt>"
              "<c:pt idx=\"0\"><c:v>1</c:v></c:pt><c:pt idx=\"1\"><c:v>text</c:v></c:pt></c:numLit></c:val>"
              "</c:ser></c:barChart></c:plotArea>"),
         "【グラフ】\n【系列】系列1\tx: 1.00\t: text\tz: 3個\n"},
        {"multi-level categories, outer level first",
         part("<c:plotArea><c:barChart><c:ser><c:tx><c:strRef><c:strCache><c:pt idx=\"0\"><c:v>Total</c:v></c:pt>"
              "</c:strCache></c:strRef></c:tx><c:cat><c:multiLvlStrRef><c:multiLvlStrCache><c:ptCount val=\"3\"/>"
              "<c:lvl><c:pt idx=\"0\"><c:v>Cost</c:v></c:pt><c:pt idx=\"1\"><c:v>Revenue</c:v></c:pt>"
              "<c:pt idx=\"2\"><c:v>Cost</c:v></c:pt></c:lvl><c:lvl><c:pt idx=\"0\"><c:v>2005</c:v></c:pt>"
              "<c:pt idx=\"2\"><c:v>2006</c:v></c:pt></c:lvl></c:multiLvlStrCache></c:multiLvlStrRef></c:cat>"
              "<c:val>" + num_cache("General", {"1", "2", "3"}) + "</c:val></c:ser></c:barChart></c:plotArea>"),
         "【グラフ】\n【系列】Total\t2005 Cost: 1\t2005 Revenue: 2\t2006 Cost: 3\n"},
        {"scatter and bubble: x values, y values and sizes; date and series axes",
         part("<c:plotArea><c:bubbleChart><c:ser><c:xVal>" + num_cache("0.0", {"1", "2"}) + "</c:xVal><c:yVal>" +
              num_cache("General", {"10", "20"}) + "</c:yVal><c:bubbleSize>" + num_cache("General", {"5", "6"}) +
              "</c:bubbleSize></c:ser></c:bubbleChart><c:dateAx><c:title>" + rich(para("日付")) +
              "</c:title></c:dateAx><c:serAx><c:title>" + rich(para("系列軸")) + "</c:title></c:serAx></c:plotArea>"),
         "【グラフ】\n【項目軸】日付\n【系列軸】系列軸\n【系列】系列1\t1.0: 10 (5)\t2.0: 20 (6)\n"},
        {"another prefix for the chart namespace; the fallback of alternate content is not read twice; a title "
         "from a cell; texts keep every line of the layout one line",
         "<ch:chartSpace xmlns:ch=\"http://purl.oclc.org/ooxml/drawingml/chart\" xmlns:a=\"http://purl.oclc.org/"
         "ooxml/drawingml/main\" xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\">"
         "<mc:AlternateContent><mc:Choice Requires=\"c14\"><ch:style val=\"1\"/></mc:Choice><mc:Fallback><ch:chart>"
         "<ch:title><ch:tx><ch:v>twice</ch:v></ch:tx></ch:title></ch:chart></mc:Fallback></mc:AlternateContent>"
         "<ch:chart><ch:title><ch:tx><ch:strRef><ch:strCache><ch:pt idx=\"0\"><ch:v>from&#x9;a&#10;cell</ch:v>"
         "</ch:pt></ch:strCache></ch:strRef></ch:tx></ch:title><ch:plotArea><ch:pieChart><ch:ser><ch:tx><ch:v>"
         "<![CDATA[<pie>]]></ch:v></ch:tx></ch:ser></ch:pieChart></ch:plotArea></ch:chart></ch:chartSpace>",
         "【グラフ】from a cell\n【系列】<pie>\n"},
        {"a part cut short keeps what was read",
         part("<c:title>" + rich(para("kept")) + "</c:title><c:plotArea><c:barChart><c:ser><c:tx><c:v>s</c:v></c:tx>"
              "<c:val><c:numLit><c:pt idx=\"0\"><c:v>7</c:v></c:pt><c:pt idx=\"1\"><c:v>8")
             .substr(0, part("<c:title>" + rich(para("kept")) + "</c:title><c:plotArea><c:barChart><c:ser><c:tx>"
                             "<c:v>s</c:v></c:tx><c:val><c:numLit><c:pt idx=\"0\"><c:v>7</c:v></c:pt>"
                             "<c:pt idx=\"1\"><c:v>8").find("</c:chart>")),
         "【グラフ】kept\n【系列】s\t7\n"},
        {"not a chart", "<w:document><w:body><w:p/></w:body></w:document>", "【グラフ】\n"},
    };
    for (const auto& c : cases) EXPECT_EQ(lines_of(c.xml), c.want) << c.what;
}

TEST(ChartPart, NumbersGoThroughTheCallersFormat) {
    std::string xml = "<c:chartSpace " + kNs + "><c:date1904 val=\"1\"/><c:chart><c:plotArea><c:barChart><c:ser>"
                      "<c:val>" + num_cache("yyyy/m/d", {"45296", "x"}) + "</c:val></c:ser></c:barChart></c:plotArea>"
                      "</c:chart></c:chartSpace>";
    std::vector<std::string> seen;
    auto format = [&](double v, const std::string& code, bool date1904) {
        seen.push_back(code + (date1904 ? " 1904" : ""));
        return "<" + std::to_string(static_cast<long>(v)) + ">";
    };
    EXPECT_EQ(lines_of(xml, format), "【グラフ】\n【系列】系列1\t<45296>\tx\n");
    EXPECT_EQ(seen, std::vector<std::string>{"yyyy/m/d 1904"});
}

TEST(ChartNumber, GeneralAndPlainCodes) {
    struct {
        double value;
        const char* code;
        const char* want;
    } cases[] = {
        {3, "General", "3"},
        {18474075.5625, "General", "18474075.56"},
        {22401812.188000001, "", "22401812.19"},
        {12345678.125, "General", "12345678.13"},
        {3400.5, "#,##0", "3,401"},
        {0.1 + 0.2, "General", "0.3"},
        {-0.5, "General", "-0.5"},
        {123456789012.0, "General", "1.23457E+11"},
        {0.00001, "General", "1E-05"},
        {0, "General", "0"},
        {2.5, "G/標準", "2.5"},
        {1234567.8, "#,##0", "1,234,568"},
        {1234.5, "#,##0.00", "1,234.50"},
        {0.256, "0.0%", "25.6%"},
        {-5, "#,##0;[Red]-#,##0", "-5"},
        {-5, "#,##0;(#,##0)", "(5)"},
        {0, "0;-0;\"zero\"", "zero"},
        {1000, "\"¥\"#,##0", "¥1,000"},
        {1000, "[$¥-411]#,##0", "¥1,000"},
        {12345, "0,\"千\"", "12千"},
        {1.5, "0.0#", "1.5"},
        {1.234, "0.0#", "1.23"},
        {0.5, "#.00", ".50"},
        {7, "0_);(0)", "7 "},
        {45296, "yyyy/m/d", "45296"},  // dates: General here, the engine's where there is one
        {1234.5, "0.00E+00", "1234.5"},
    };
    for (const auto& c : cases) EXPECT_EQ(chart_format_number(c.value, c.code), c.want) << c.code << " " << c.value;
}

}  // namespace
