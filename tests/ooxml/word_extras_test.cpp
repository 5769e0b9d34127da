// What a Word reader sees beside the plain text: note marks, comments,
// headers and footers on the pages they belong to, SmartArt, WordArt, check
// boxes, "page break before".
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "ofx.h"
#include "ooxml_helpers.h"

namespace {

using files_t = std::map<std::string, std::string>;

std::string p(const std::string& inner) { return "<w:p>" + inner + "</w:p>"; }
std::string t(const std::string& text) { return "<w:r><w:t xml:space=\"preserve\">" + text + "</w:t></w:r>"; }
std::string ref(const char* kind, int id) {
    return "<w:r><w:" + std::string(kind) + " w:id=\"" + std::to_string(id) + "\"/></w:r>";
}
const std::string kBreak = p("<w:r><w:br w:type=\"page\"/></w:r>");

std::string part(const std::string& root, const std::string& inner) {
    return "<w:" + root + " " + vt::kWordNamespaces + ">" + inner + "</w:" + root + ">";
}
std::string note(const char* kind, int id, const std::string& text, const char* mark = "footnoteRef") {
    return "<w:" + std::string(kind) + " w:id=\"" + std::to_string(id) + "\">" +
           p("<w:r><w:" + std::string(mark) + "/></w:r>" + t(" " + text)) + "</w:" + kind + ">";
}

std::string pages(const files_t& f) {
    std::string s;
    for (const auto& [name, text] : f) s += "[" + name + "]" + text;
    return s;
}

#define SEP OFX_EXTRA_SEPARATOR "\n"

// A document of two sections over three pages, with a comment, a note and
// a header on each of several pages, and a comment no anchor names.
std::vector<vt::related_part> extras_parts() {
    return {
        {"comments", "comments.xml",
         part("comments", "<w:comment w:id=\"0\">" + p(t("c0")) + "</w:comment><w:comment w:id=\"1\">" + p(t("c1")) +
                              "</w:comment><w:comment w:id=\"2\">" + p(t("unanchored")) + "</w:comment>")},
        {"footnotes", "footnotes.xml",
         part("footnotes", "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p>"
                           "</w:footnote>" + note("footnote", 1, "fn1") + note("footnote", 2, "fn2"))},
        {"endnotes", "endnotes.xml", part("endnotes", note("endnote", 1, "en1", "endnoteRef"))},
        {"header", "header1.xml", part("hdr", p(t("h1")))},
        {"footer", "footer1.xml", part("ftr", p(t("f1")))},
        {"header", "header2.xml", part("hdr", p(t("h2")))},
    };
}

std::string extras_body(const std::string& inserted_after_page_one = "") {
    return p(t("page one") + ref("commentReference", 0)) + p(t("more") + ref("footnoteReference", 1)) +
           inserted_after_page_one + kBreak + p(t("page two") + ref("endnoteReference", 1) + ref("commentReference", 1)) +
           p("<w:pPr><w:sectPr><w:headerReference w:type=\"default\" r:id=\"rId4\"/><w:footerReference "
             "w:type=\"default\" r:id=\"rId5\"/></w:sectPr></w:pPr>" + t("end of section one")) +
           p(t("page three") + ref("footnoteReference", 2)) +
           "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rId6\"/></w:sectPr>";
}

TEST(WordExtras, EachWithThePageItBelongsTo) {
    vt::scratch_dir dir;
    vt::dump_result d = vt::dump_word(dir, extras_body(), extras_parts(), {true, false});
    ASSERT_EQ(d.rc, 0);
    // Marks where they stand; each note begins with its own mark; the
    // section's header and footer on its first page, a header that
    // changes on the page where it does; what nothing names on the first.
    EXPECT_EQ(pages(d.files),
              "[ページ001]page one\nmore[1]\n" SEP "【コメント】\nc0\n【コメント】\nunanchored\n【ヘッダー】\nh1\n"
              "【フッター】\nf1\n【脚注】\n[1] fn1\n"
              "[ページ002]page two[i]\nend of section one\n" SEP "【コメント】\nc1\n【文末脚注】\n[i] en1\n"
              "[ページ003]page three[2]\n" SEP "【ヘッダー】\nh2\n【脚注】\n[2] fn2\n");
    // Without shape and comment text only the marks stay.
    vt::dump_result off = vt::dump_word(dir, extras_body(), extras_parts());
    EXPECT_EQ(pages(off.files), "[ページ001]page one\nmore[1]\n[ページ002]page two[i]\nend of section one\n"
                                "[ページ003]page three[2]\n");
    // One file: everything after the one separator line, in the order of
    // its kind and then of its anchor.
    vt::dump_result all = vt::dump_word(dir, extras_body(), extras_parts(), {true, true});
    EXPECT_EQ(pages(all.files), "[全文]page one\nmore[1]\npage two[i]\nend of section one\npage three[2]\n" SEP
                                "【コメント】\nc0\n【コメント】\nc1\n【コメント】\nunanchored\n【ヘッダー】\nh1\n"
                                "【ヘッダー】\nh2\n【フッター】\nf1\n【脚注】\n[1] fn1\n【脚注】\n[2] fn2\n"
                                "【文末脚注】\n[i] en1\n");
}

TEST(WordExtras, UnchangedOnesStayUnchangedWhenAPageIsAdded) {
    vt::scratch_dir dir;
    files_t before = vt::dump_word(dir, extras_body(), extras_parts(), {true, false}).files;
    files_t after =
        vt::dump_word(dir, extras_body(kBreak + p(t("a new page"))), extras_parts(), {true, false}).files;
    ASSERT_EQ(before.size(), 3u);
    ASSERT_EQ(after.size(), 4u);
    // Every page after the new one is the same file as before, its
    // comments, notes and headers included; the new page holds its own
    // text and the separator only.
    EXPECT_EQ(after["ページ001"], before["ページ001"]);
    EXPECT_EQ(after["ページ002"], "a new page\n" SEP);
    EXPECT_EQ(after["ページ003"], before["ページ002"]);
    EXPECT_EQ(after["ページ004"], before["ページ003"]);
}

TEST(WordExtras, NoteMarks) {
    vt::scratch_dir dir;
    const std::string settings =
        part("settings", "<w:footnotePr><w:numFmt w:val=\"upperLetter\"/><w:numStart w:val=\"3\"/></w:footnotePr>"
                         "<w:endnotePr><w:numFmt w:val=\"decimal\"/></w:endnotePr>");
    struct {
        std::string body;
        std::vector<vt::related_part> parts;
        std::string want;
    } cases[] = {
        // Numbered in the order of the references, whatever their ids.
        {p(t("a") + ref("footnoteReference", 7) + t("b") + ref("footnoteReference", 3)) +
             p(ref("endnoteReference", 1) + ref("endnoteReference", 2) + ref("endnoteReference", 3) +
               ref("endnoteReference", 4)),
         {}, "a[1]b[2]\n[i][ii][iii][iv]\n"},
        // A custom mark: the run that follows is the mark.
        {p(t("x") + "<w:r><w:footnoteReference w:customMarkFollows=\"1\" w:id=\"1\"/><w:t>*</w:t></w:r>" +
           ref("footnoteReference", 2)),
         {}, "x*[1]\n"},
        // The document's format and start; a section that restarts them.
        {p(ref("footnoteReference", 1) + ref("footnoteReference", 2) + ref("endnoteReference", 1)), {{"settings", "settings.xml", settings}},
         "[C][D][1]\n"},
        {p("<w:pPr><w:sectPr><w:footnotePr><w:numFmt w:val=\"lowerRoman\"/><w:numRestart w:val=\"eachSect\"/>"
           "</w:footnotePr></w:sectPr></w:pPr>" + ref("footnoteReference", 1) + ref("footnoteReference", 2)) +
             p(ref("footnoteReference", 3)) +
             "<w:sectPr><w:footnotePr><w:numRestart w:val=\"eachSect\"/></w:footnotePr></w:sectPr>",
         {}, "[i][ii]\n[1]\n"},
    };
    for (const auto& c : cases) {
        vt::dump_result d = vt::dump_word(dir, c.body, c.parts, {false, true});
        ASSERT_EQ(d.rc, 0) << c.body;
        EXPECT_EQ(d.files["全文"], c.want) << c.body;
    }
}

std::string smartart_data() {
    auto pt = [](const std::string& id, const std::string& type, const std::string& text) {
        return "<dgm:pt modelId=\"" + id + "\"" + (type.empty() ? "" : " type=\"" + type + "\"") +
               "><dgm:prSet/><dgm:spPr/><dgm:t><a:bodyPr/>" +
               (text.empty() ? "<a:p><a:endParaRPr/></a:p>" : "<a:p><a:r><a:t>" + text + "</a:t></a:r></a:p>") +
               "</dgm:t></dgm:pt>";
    };
    auto cxn = [](const std::string& src, const std::string& dest, int ord, const std::string& type = "") {
        return "<dgm:cxn modelId=\"c" + src + dest + "\" srcId=\"" + src + "\" destId=\"" + dest + "\" srcOrd=\"" +
               std::to_string(ord) + "\" destOrd=\"0\"" + (type.empty() ? "" : " type=\"" + type + "\"") + "/>";
    };
    // The point list in another order than the diagram's.
    return "<dgm:dataModel xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/diagram\" "
           "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><dgm:ptLst>" +
           pt("0", "doc", "") + pt("2", "", "second") + pt("1", "", "first") + pt("3", "", "child of first") +
           pt("4", "parTrans", "") + pt("5", "pres", "") + pt("6", "", "") + "</dgm:ptLst><dgm:cxnLst>" +
           cxn("0", "2", 1) + cxn("0", "1", 0) + cxn("1", "3", 0) + cxn("1", "5", 0, "presOf") + cxn("0", "6", 2) +
           "</dgm:cxnLst></dgm:dataModel>";
}

TEST(WordExtras, SmartArtWordArtAndCheckBoxes) {
    vt::scratch_dir dir;
    const std::string diagram =
        "<w:r><w:drawing><wp:inline><a:graphic><a:graphicData uri=\"http://schemas.openxmlformats.org/drawingml/2006/"
        "diagram\"><dgm:relIds r:dm=\"rId1\" r:lo=\"rId9\" r:qs=\"rId9\" r:cs=\"rId9\"/></a:graphicData></a:graphic>"
        "</wp:inline></w:drawing></w:r>";
    const std::string wordart = "<w:r><w:pict><v:shape><v:textpath style=\"font-family:&quot;MS Gothic&quot;\" "
                                "string=\"社外秘 &amp; copy\"/></v:shape></w:pict></w:r>";
    auto legacy = [](const std::string& inner) {
        return "<w:r><w:fldChar w:fldCharType=\"begin\"><w:ffData><w:name w:val=\"c\"/><w:checkBox><w:sizeAuto/>" +
               inner + "</w:checkBox></w:ffData></w:fldChar></w:r><w:r><w:instrText> FORMCHECKBOX </w:instrText>"
               "</w:r><w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
    };
    auto control = [](const char* state, const char* glyph) {
        return std::string("<w:sdt><w:sdtPr><w14:checkbox><w14:checked w14:val=\"") + state +
               "\"/><w14:checkedState w14:val=\"2612\" w14:font=\"MS Gothic\"/><w14:uncheckedState w14:val=\"2610\" "
               "w14:font=\"MS Gothic\"/></w14:checkbox></w:sdtPr><w:sdtContent><w:r><w:t>" + glyph +
               "</w:t></w:r></w:sdtContent></w:sdt>";
    };
    std::string body = p(t("diagram") + diagram) + p(t("art") + wordart) +
                       p(legacy("<w:default w:val=\"0\"/><w:checked/>") + t(" checked ") +
                         legacy("<w:default w:val=\"1\"/><w:checked w:val=\"0\"/>") + t(" unchecked ") +
                         legacy("<w:default w:val=\"1\"/>") + t(" by default ") + legacy("") + t(" plain")) +
                       p(control("1", "☒") + t(" yes ") + control("0", "☐") + t(" no"));
    std::vector<vt::related_part> parts{{"diagramData", "diagrams/data1.xml", smartart_data()},
                                        {"header", "header1.xml", part("hdr", p(wordart))}};
    vt::dump_result on = vt::dump_word(dir, body, parts, {true, true});
    ASSERT_EQ(on.rc, 0);
    // SmartArt in the diagram's order after its anchor paragraph, WordArt
    // likewise (a watermark in its header); check boxes as ■ and □.
    EXPECT_EQ(on.files["全文"], "diagram\nfirst\nchild of first\nsecond\nart\n社外秘 & copy\n"
                                "■ checked □ unchecked ■ by default □ plain\n■ yes □ no\n" SEP
                                "【ヘッダー】\n\n社外秘 & copy\n");
    vt::dump_result off = vt::dump_word(dir, body, parts, {false, true});
    EXPECT_EQ(off.files["全文"], "diagram\nart\n■ checked □ unchecked ■ by default □ plain\n■ yes □ no\n");
}

TEST(WordExtras, PageBreakBefore) {
    vt::scratch_dir dir;
    const std::string styles =
        part("styles", "<w:style w:type=\"paragraph\" w:styleId=\"Chapter\"><w:pPr><w:pageBreakBefore/></w:pPr>"
                       "</w:style><w:style w:type=\"paragraph\" w:styleId=\"Part\"><w:basedOn w:val=\"Chapter\"/>"
                       "</w:style>");
    auto styled = [](const std::string& style, const std::string& text, const std::string& more = "") {
        return "<w:p><w:pPr><w:pStyle w:val=\"" + style + "\"/>" + more + "</w:pPr>" + t(text) + "</w:p>";
    };
    std::string body = styled("Chapter", "first chapter") + p(t("text")) + styled("Part", "second chapter") +
                       styled("Chapter", "not here", "<w:pageBreakBefore w:val=\"0\"/>") +
                       "<w:p><w:pPr><w:pageBreakBefore/></w:pPr>" + t("direct") + "</w:p>" +
                       "<w:tbl><w:tr><w:tc>" + styled("Chapter", "in a table") + "</w:tc></w:tr></w:tbl>" + kBreak +
                       styled("Chapter", "after a break");
    vt::dump_result d = vt::dump_word(dir, body, {{"styles", "styles.xml", styles}});
    ASSERT_EQ(d.rc, 0);
    // The first paragraph of the document opens no empty page; a break
    // already there is enough; a table's paragraph does not break it.
    EXPECT_EQ(pages(d.files), "[ページ001]first chapter\ntext\n[ページ002]second chapter\nnot here\n"
                              "[ページ003]direct\nin a table\t\n[ページ004]after a break\n");
    vt::dump_result all = vt::dump_word(dir, body, {{"styles", "styles.xml", styles}}, {false, true});
    EXPECT_EQ(all.files.size(), 1u);
}

}  // namespace
