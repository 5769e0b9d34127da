// List numbers: the number formats, and the numbering engine on documents
// built here (levels, starts, restarts, overrides, styles, bullets).  The
// labels are compared with LibreOffice's text export in
// list_numbers_agreement.py.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ofx_numfmt.h"
#include "ooxml_helpers.h"

namespace {

TEST(NumberFormats, AsWordShowsThem) {
    struct {
        const char* format;
        long n;
        const char* want;
    } cases[] = {
        {"decimal", 7, "7"}, {"decimal", 0, "0"}, {"decimalZero", 7, "07"}, {"decimalZero", 12, "12"},
        {"upperRoman", 1994, "MCMXCIV"}, {"lowerRoman", 4, "iv"}, {"lowerRoman", 0, "0"},
        {"upperLetter", 1, "A"}, {"upperLetter", 26, "Z"}, {"upperLetter", 27, "AA"}, {"lowerLetter", 54, "bbb"},
        {"ordinal", 1, "1st"}, {"ordinal", 12, "12th"}, {"ordinal", 23, "23rd"}, {"ordinal", 111, "111th"},
        {"cardinalText", 21, "Twenty-one"}, {"cardinalText", 305, "Three hundred five"},
        {"ordinalText", 3, "Third"}, {"ordinalText", 20, "Twentieth"}, {"ordinalText", 42, "Forty-second"},
        {"hex", 255, "FF"}, {"chicago", 5, "**"}, {"numberInDash", 3, "- 3 -"}, {"none", 3, ""},
        {"decimalFullWidth", 10, "１０"}, {"decimalFullWidth2", 3, "３"},
        {"decimalEnclosedCircle", 1, "①"}, {"decimalEnclosedCircle", 20, "⑳"}, {"decimalEnclosedCircle", 21, "21"},
        {"decimalEnclosedCircleChinese", 5, "⑤"}, {"decimalEnclosedParen", 2, "⑵"},
        {"decimalEnclosedFullstop", 3, "⒊"}, {"ideographEnclosedCircle", 10, "㈩"},
        {"aiueo", 1, "ｱ"}, {"aiueo", 46, "ﾝ"}, {"aiueo", 47, "ｱｱ"}, {"aiueoFullWidth", 6, "カ"},
        {"iroha", 3, "ﾊ"}, {"iroha", 25, "ヰ"}, {"irohaFullWidth", 25, "ヰ"}, {"irohaFullWidth", 47, "ス"},
        {"japaneseCounting", 1, "一"}, {"japaneseCounting", 10, "十"}, {"japaneseCounting", 11, "十一"},
        {"japaneseCounting", 20, "二十"}, {"japaneseCounting", 105, "百五"}, {"japaneseCounting", 1000, "千"},
        {"japaneseCounting", 2024, "二千二十四"}, {"japaneseCounting", 10000, "一万"},
        {"japaneseCounting", 23456, "二万三千四百五十六"},
        {"japaneseLegal", 1, "壱"}, {"japaneseLegal", 10, "壱拾"}, {"japaneseLegal", 23, "弐拾参"},
        {"ideographDigital", 105, "一〇五"}, {"japaneseDigitalTenThousand", 20, "二〇"},
        {"chineseCounting", 10, "十"}, {"chineseCounting", 15, "十五"}, {"chineseCounting", 101, "一百零一"},
        {"chineseCounting", 110, "一百一十"}, {"chineseCountingThousand", 2001, "二千零一"},
        {"chineseLegalSimplified", 12, "壹拾贰"}, {"ideographLegalTraditional", 3, "參"},
        {"taiwaneseCounting", 10000, "一萬"},
        {"ideographTraditional", 1, "甲"}, {"ideographTraditional", 11, "11"}, {"ideographZodiac", 12, "亥"},
        {"ideographZodiacTraditional", 1, "甲子"}, {"ideographZodiacTraditional", 60, "癸亥"},
        {"ganada", 2, "나"}, {"chosung", 14, "ㅎ"}, {"russianLower", 2, "б"},
        {"koreanDigital", 3, "3"}, {"bullet", 3, ""}, {"nonsense", 5, "5"},
    };
    for (const auto& c : cases) EXPECT_EQ(ofx_format_number(c.format, c.n), c.want) << c.format << " " << c.n;
    // The custom pattern of Word 2010's numbering ("001, 002, 003, ...").
    EXPECT_EQ(ofx_format_number("custom", 7, "001, 002, 003, ..."), "007");
    EXPECT_EQ(ofx_format_number("custom", 1234, "01, 02, 03, ..."), "1234");
    EXPECT_EQ(ofx_format_number("custom", 7, "A, B, C"), "7");
    // Symbol-font bullets as the characters they draw.
    EXPECT_EQ(ofx_symbol_text("\xEF\x82\xB7"), "•");
    EXPECT_EQ(ofx_symbol_text("\xEF\x82\xA7 x"), "▪ x");
    EXPECT_EQ(ofx_symbol_text("\xEF\x81\xA1"), "\xEF\x81\xA1");  // a symbol not known stays
}

std::string level(int ilvl, const std::string& fmt, const std::string& text, const std::string& extra = "",
                  int start = 1) {
    return "<w:lvl w:ilvl=\"" + std::to_string(ilvl) + "\"><w:start w:val=\"" + std::to_string(start) +
           "\"/><w:numFmt w:val=\"" + fmt + "\"/><w:lvlText w:val=\"" + text + "\"/>" + extra + "</w:lvl>";
}

std::string para(const std::string& text, int num, int ilvl = 0, const std::string& style = "") {
    std::string ppr = style.empty() ? std::string() : "<w:pStyle w:val=\"" + style + "\"/>";
    if (num >= 0)
        ppr += "<w:numPr>" + (ilvl >= 0 ? "<w:ilvl w:val=\"" + std::to_string(ilvl) + "\"/>" : std::string()) +
               "<w:numId w:val=\"" + std::to_string(num) + "\"/></w:numPr>";
    return "<w:p><w:pPr>" + ppr + "</w:pPr><w:r><w:t>" + text + "</w:t></w:r></w:p>";
}

std::string numbering(const std::string& inner) {
    return std::string("<w:numbering ") + vt::kWordNamespaces + ">" + inner + "</w:numbering>";
}

std::string all(const vt::dump_result& d) {
    std::string s;
    for (const auto& [name, text] : d.files) s += "[" + name + "]" + text;
    return s;
}

TEST(ListNumbers, TheEngine) {
    vt::scratch_dir dir;
    const std::string num =
        numbering("<w:abstractNum w:abstractNumId=\"0\">" + level(0, "decimal", "%1.") +
                  level(1, "lowerLetter", "(%2)", "<w:suff w:val=\"space\"/>") +
                  level(2, "lowerRoman", "%3)", "<w:suff w:val=\"nothing\"/>") + "</w:abstractNum>"
                  "<w:abstractNum w:abstractNumId=\"1\">" + level(0, "decimalFullWidth", "第%1条") +
                  level(1, "upperRoman", "%1.%2", "<w:isLgl/>") + "</w:abstractNum>"
                  "<w:abstractNum w:abstractNumId=\"2\">" + level(0, "upperLetter", "%1.") +
                  level(1, "decimal", "%1-%2", "<w:lvlRestart w:val=\"0\"/>") + level(2, "decimal", "%3", "", 5) +
                  "</w:abstractNum>"
                  "<w:abstractNum w:abstractNumId=\"3\">" + level(0, "bullet", "\xEF\x82\xB7") +
                  level(1, "bullet", "・") + "</w:abstractNum>"
                  "<w:abstractNum w:abstractNumId=\"4\"><w:numStyleLink w:val=\"ListStyle\"/></w:abstractNum>"
                  "<w:abstractNum w:abstractNumId=\"5\"><w:styleLink w:val=\"ListStyle\"/>" +
                  level(0, "decimalEnclosedCircle", "%1") + "</w:abstractNum>"
                  "<w:abstractNum w:abstractNumId=\"6\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>"
                  "<mc:AlternateContent><mc:Choice Requires=\"w14\"><w:numFmt w:val=\"custom\" "
                  "w:format=\"001, 002, 003, ...\"/></mc:Choice><mc:Fallback><w:numFmt w:val=\"decimal\"/>"
                  "</mc:Fallback></mc:AlternateContent><w:lvlText w:val=\"No.%1\"/></w:lvl></w:abstractNum>"
                  "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>"
                  "<w:num w:numId=\"2\"><w:abstractNumId w:val=\"0\"/></w:num>"
                  "<w:num w:numId=\"3\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"0\">"
                  "<w:startOverride w:val=\"1\"/></w:lvlOverride></w:num>"
                  "<w:num w:numId=\"4\"><w:abstractNumId w:val=\"1\"/></w:num>"
                  "<w:num w:numId=\"5\"><w:abstractNumId w:val=\"2\"/></w:num>"
                  "<w:num w:numId=\"6\"><w:abstractNumId w:val=\"3\"/></w:num>"
                  "<w:num w:numId=\"7\"><w:abstractNumId w:val=\"4\"/></w:num>"
                  "<w:num w:numId=\"8\"><w:abstractNumId w:val=\"5\"/></w:num>"
                  "<w:num w:numId=\"9\"><w:abstractNumId w:val=\"0\"/><w:lvlOverride w:ilvl=\"0\">"
                  "<w:startOverride w:val=\"5\"/>" + level(0, "upperRoman", "%1:") + "</w:lvlOverride></w:num>"
                  "<w:num w:numId=\"10\"><w:abstractNumId w:val=\"6\"/></w:num>");
    const std::string styles =
        std::string("<w:styles ") + vt::kWordNamespaces + ">"
        "<w:style w:type=\"paragraph\" w:default=\"1\" w:styleId=\"Normal\"><w:name w:val=\"Normal\"/></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Item\"><w:pPr><w:numPr><w:numId w:val=\"4\"/></w:numPr></w:pPr>"
        "</w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"SubItem\"><w:basedOn w:val=\"Item\"/><w:pPr><w:numPr>"
        "<w:ilvl w:val=\"1\"/></w:numPr></w:pPr></w:style>"
        "<w:style w:type=\"paragraph\" w:styleId=\"Loop\"><w:basedOn w:val=\"Loop\"/></w:style>"
        "<w:style w:type=\"numbering\" w:styleId=\"ListStyle\"><w:pPr><w:numPr><w:numId w:val=\"8\"/></w:numPr>"
        "</w:pPr></w:style></w:styles>";
    std::string body =
        para("one", 1) + para("two", 1) + para("sub a", 1, 1) + para("sub b", 1, 1) + para("deep", 1, 2) +
        para("three", 1) + para("sub again", 1, 1) +
        // Another instance of the same definition goes on counting; one
        // with a start override begins again.
        para("four", 2) + para("restarted", 3) + para("then", 3) +
        // Styles' numbering; full-width article numbers; w:isLgl.
        para("article", -1, 0, "Item") + para("clause", -1, 0, "SubItem") + para("article 2", -1, 0, "Item") +
        para("clause", -1, 0, "SubItem") +
        // w:lvlRestart 0: never restarts; a level's own start.
        para("A", 5) + para("A sub", 5, 1) + para("B", 5) + para("B sub", 5, 1) + para("five", 5, 2) +
        // Bullets; numId 0 takes the style's numbering away.
        para("bullet", 6) + para("dot", 6, 1) + para("plain", 0, 0, "Item") + para("loop", -1, 0, "Loop") +
        // Through a numbering style; an override that redefines a level.
        para("linked", 7) + para("linked 2", 7) + para("V", 9) + para("VI", 9) +
        // The custom format of a choice, not its fallback.
        para("custom", 10) +
        // A level that names no number, an instance that does not exist.
        para("no level text", 1, 3) + para("missing", 42);
    vt::dump_result d = vt::dump_word(dir, body, {{"numbering", "numbering.xml", num}, {"styles", "styles.xml", styles}},
                                      {false, true, true});
    ASSERT_EQ(d.rc, 0);
    EXPECT_EQ(all(d),
              "[全文]1.\tone\n2.\ttwo\n(a) sub a\n(b) sub b\ni)deep\n3.\tthree\n(a) sub again\n"
              "4.\tfour\n1.\trestarted\n2.\tthen\n"
              "第１条\tarticle\n1.1\tclause\n第２条\tarticle 2\n2.1\tclause\n"
              "A.\tA\nA-1\tA sub\nB.\tB\nB-2\tB sub\n5\tfive\n"
              "•\tbullet\n・\tdot\nplain\nloop\n"
              "①\tlinked\n②\tlinked 2\nV:\tV\nVI:\tVI\n"
              "No.001\tcustom\n"
              "no level text\nmissing\n");
}

TEST(ListNumbers, InsertingAnItemRenumbersTheRest) {
    vt::scratch_dir dir;
    const std::string num = numbering("<w:abstractNum w:abstractNumId=\"0\">" + level(0, "japaneseCounting", "第%1条") +
                                      "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>");
    auto doc = [&](const std::vector<std::string>& items) {
        std::string body;
        for (const std::string& i : items) body += para(i, 1);
        return all(vt::dump_word(dir, body, {{"numbering", "numbering.xml", num}}, {false, true}));
    };
    EXPECT_EQ(doc({"目的", "定義", "適用", "附則"}), "[全文]第一条\t目的\n第二条\t定義\n第三条\t適用\n第四条\t附則\n");
    EXPECT_EQ(doc({"目的", "定義", "用語", "適用", "附則"}),
              "[全文]第一条\t目的\n第二条\t定義\n第三条\t用語\n第四条\t適用\n第五条\t附則\n");
}

TEST(ListNumbers, InCodePage932Files) {
    vt::scratch_dir dir;
    // Code page 932 lacks ⑴, ⒈, ㈠ and •: they are spelt with what it has,
    // so that one number written for another still shows; UTF-8 keeps them.
    const std::string num =
        numbering("<w:abstractNum w:abstractNumId=\"0\">" + level(0, "decimalEnclosedParen", "%1") +
                  level(1, "decimalEnclosedFullstop", "%2") + level(2, "ideographEnclosedCircle", "%3") +
                  level(3, "bullet", "\xEF\x82\xB7") + "</w:abstractNum><w:num w:numId=\"1\"><w:abstractNumId "
                  "w:val=\"0\"/></w:num>");
    std::string body = para("a", 1) + para("b", 1) + para("c", 1, 1) + para("d", 1, 2) + para("e", 1, 3) +
                       "<w:p><w:r><w:t>☒ ☐</w:t></w:r></w:p>";
    std::vector<vt::related_part> parts{{"numbering", "numbering.xml", num}};
    EXPECT_EQ(all(vt::dump_word(dir, body, parts, {false, true})),
              "[全文](1)\ta\n(2)\tb\n1.\tc\n(一)\td\n・\te\n■ □\n");
    EXPECT_EQ(all(vt::dump_word(dir, body, parts, {false, true, true})), "[全文]⑴\ta\n⑵\tb\n⒈\tc\n㈠\td\n•\te\n☒ ☐\n");
}

}  // namespace
