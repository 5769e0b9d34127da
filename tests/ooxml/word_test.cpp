#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>
#include <string>

#include "ofx.h"
#include "ooxml_helpers.h"
#include "platform.h"

namespace {

using files_t = std::map<std::string, std::string>;

const std::string kSect = "<w:sectPr><w:pgSz w:w=\"11906\" w:h=\"16838\"/></w:sectPr>";

std::string para(const std::string& text) { return "<w:p><w:r><w:t>" + text + "</w:t></w:r></w:p>"; }

std::string pages(const files_t& f) {
    std::string s;
    for (const auto& [name, text] : f) s += "[" + name + "]" + text;
    return s;
}

TEST(WordDump, OneFileWithoutBreaksAndCrLfCp932) {
    vt::scratch_dir dir;
    vt::dump_result r = dump_word_body(dir, para("日本語") + para("ASCII & more") + kSect);
    ASSERT_EQ(r.rc, 0);
    EXPECT_TRUE(r.messages.empty());
    // The final section opened ページ002, which stayed empty and is gone.
    EXPECT_EQ(pages(r.files), "[ページ001]日本語\nASCII & more\n");
    EXPECT_EQ(r.raw["ページ001"], "\x93\xfa\x96\x7b\x8c\xea\r\nASCII & more\r\n");
}

TEST(WordDump, PageBreaks) {
    vt::scratch_dir dir;
    struct {
        std::string body;
        std::string want;
    } cases[] = {
        // A break inside a paragraph ends the page where it stands.
        {"<w:p><w:r><w:t>one</w:t></w:r></w:p><w:p><w:r><w:t>before</w:t></w:r><w:r><w:br w:type=\"page\"/>"
         "</w:r><w:r><w:t>after</w:t></w:r></w:p>",
         "[ページ001]one\nbefore\n[ページ002]after\n"},
        {"<w:p><w:r><w:t>a</w:t><w:br w:type='PAGE'/></w:r></w:p><w:p><w:r><w:t>b</w:t></w:r></w:p>",
         "[ページ001]a\n[ページ002]b\n"},
        {"<w:p><w:r><w:br w:type=\"page\"/><w:t>b</w:t></w:r></w:p>", "[ページ001][ページ002]b\n"},
        // Two breaks leave an empty page between them.
        {para("a") + "<w:p><w:r><w:br w:type=\"page\"/><w:br w:type=\"page\"/></w:r></w:p>" + para("c"),
         "[ページ001]a\n[ページ002][ページ003]c\n"},
        // Line breaks, not page breaks.
        {"<w:p><w:r><w:t>a</w:t><w:br w:type=\"textWrapping\"/><w:br/><w:br w:clear=\"all\"/>"
         "<w:t>b</w:t></w:r></w:p>",
         "[ページ001]a\n\n\nb\n"},
        // A section break in the paragraph properties ends its page after
        // that paragraph; a continuous one does not.
        {"<w:p><w:r><w:t>first</w:t></w:r></w:p><w:p><w:pPr>" + std::string(kSect) +
             "</w:pPr><w:r><w:t>sect end</w:t></w:r></w:p>" + para("second section"),
         "[ページ001]first\nsect end\n[ページ002]second section\n"},
        {"<w:p><w:pPr><w:sectPr><w:type w:val=\"continuous\"/></w:sectPr></w:pPr><w:r><w:t>a</w:t></w:r></w:p>" +
             para("b"),
         "[ページ001]a\nb\n"},
        // A break inside a table cell does not split the table.
        {"<w:tbl><w:tr><w:tc><w:p><w:r><w:t>x</w:t><w:br w:type=\"page\"/><w:t>y</w:t></w:r></w:p></w:tc></w:tr>"
         "</w:tbl>",
         "[ページ001]xy\t\n"},
    };
    for (const auto& c : cases) {
        vt::dump_result r = dump_word_body(dir, c.body + kSect);
        ASSERT_EQ(r.rc, 0) << c.body;
        EXPECT_EQ(pages(r.files), c.want) << c.body;
    }
}

TEST(WordDump, AllPageWritesOneFile) {
    vt::scratch_dir dir;
    vt::dump_result r = dump_word_body(
        dir, para("a") + "<w:p><w:r><w:br w:type=\"page\"/><w:t>b</w:t></w:r></w:p><w:p><w:pPr>" + kSect +
                 "</w:pPr></w:p>" + para("c") + kSect,
        {false, true});
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(pages(r.files), "[全文]a\nb\n\nc\n");
    // The same lines as the page files together.
    vt::dump_result split = dump_word_body(
        dir, para("a") + "<w:p><w:r><w:br w:type=\"page\"/><w:t>b</w:t></w:r></w:p><w:p><w:pPr>" + kSect +
                 "</w:pPr></w:p>" + para("c") + kSect);
    EXPECT_EQ(pages(split.files), "[ページ001]a\n[ページ002]b\n\n[ページ003]c\n");
}

TEST(WordDump, LineBreaks) {
    vt::scratch_dir dir;
    // Both forms of a break end the line; tabs, hyphens and symbols write
    // their characters; tab stops in the properties write nothing.
    vt::dump_result r = dump_word_body(
        dir, "<w:p><w:pPr><w:tabs><w:tab w:val=\"left\" w:pos=\"100\"/></w:tabs></w:pPr><w:r><w:t>x</w:t>"
             "<w:br></w:br><w:t>y</w:t><w:br/><w:t>z</w:t><w:cr/><w:t>tab</w:t><w:tab/><w:t>separated</w:t>"
             "<w:ptab w:relativeTo=\"margin\" w:alignment=\"right\" w:leader=\"none\"/><w:t>words</w:t></w:r></w:p>"
             "<w:p><w:r><w:t>e</w:t><w:noBreakHyphen/><w:t>mail</w:t><w:softHyphen/><w:t>x</w:t>"
             "<w:sym w:font=\"Symbol\" w:char=\"03B1\"/><w:sym w:font=\"Wingdings\" w:char=\"zz\"/></w:r></w:p>" +
                 kSect);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(pages(r.files), "[ページ001]x\ny\nz\ntab\tseparated\twords\ne-mail-xα\n");
}

TEST(WordDump, Tables) {
    vt::scratch_dir dir;
    auto cell = [](const std::string& t) { return "<w:tc><w:tcPr/>" + para(t) + "</w:tc>"; };
    std::string three = "<w:tbl><w:tblPr/><w:tblGrid><w:gridCol w:w=\"1\"/><w:gridCol w:w=\"1\"/>"
                        "<w:gridCol w:w=\"1\"/></w:tblGrid><w:tr>" +
                        cell("a") + cell("b") + cell("c") + "</w:tr><w:tr>" + cell("d") + cell("e") + cell("f") +
                        "</w:tr></w:tbl>";
    std::string one = "<w:tbl><w:tblGrid><w:gridCol w:w=\"5\"/></w:tblGrid><w:tr>" + cell("p") + "</w:tr><w:tr>" +
                      cell("q") + "</w:tr></w:tbl>";
    vt::dump_result r = dump_word_body(dir, para("before") + three + one + para("after") + kSect);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(pages(r.files), "[ページ001]before\na\tb\tc\t\nd\te\tf\t\np\t\nq\t\nafter\n");

    // Every paragraph of a cell is a line of its own within the cell; a
    // picture, a field or a nested table leaves the layout as it is.
    std::string picture = "<w:r><w:drawing><wp:inline><a:graphic><a:graphicData><pic:pic/></a:graphicData>"
                          "</a:graphic></wp:inline></w:drawing></w:r>";
    std::string field = "<w:r><w:fldChar w:fldCharType=\"begin\"/></w:r><w:r><w:instrText> PAGE </w:instrText>"
                        "</w:r><w:r><w:fldChar w:fldCharType=\"separate\"/></w:r><w:r><w:t>7</w:t></w:r>"
                        "<w:r><w:fldChar w:fldCharType=\"end\"/></w:r>";
    std::string rich = "<w:tbl><w:tblGrid><w:gridCol/><w:gridCol/></w:tblGrid><w:tr><w:tc>" + para("one") +
                       "<w:p>" + picture + "<w:r><w:t>two</w:t></w:r></w:p></w:tc><w:tc><w:p>" + field +
                       "</w:p></w:tc></w:tr><w:tr><w:tc><w:tbl><w:tr>" + cell("in") + cell("ner") +
                       "</w:tr></w:tbl><w:p/></w:tc>" + cell("z") + "</w:tr></w:tbl>";
    vt::dump_result rr = dump_word_body(dir, rich + rich + kSect);
    ASSERT_EQ(rr.rc, 0);
    std::string once = "one\ntwo\t7\t\nin\tner\t\n\tz\t\n";
    EXPECT_EQ(pages(rr.files), "[ページ001]" + once + once);
}

// A paragraph holding a DrawingML text box and its VML fallback.
std::string shape_paragraph() {
    std::string box = "<w:txbxContent>" + para("box text") + "</w:txbxContent>";
    return "<w:p><w:r><w:t>own text</w:t></w:r><w:r><mc:AlternateContent><mc:Choice Requires=\"wps\"><w:drawing>"
           "<wp:anchor><a:graphic><wps:txbx>" +
           box +
           "</wps:txbx></a:graphic></wp:anchor></w:drawing></mc:Choice><mc:Fallback><w:pict><v:rect><v:textbox>" +
           box + "</v:textbox></v:rect></w:pict></mc:Fallback></mc:AlternateContent></w:r><w:r><w:t> tail</w:t>"
                 "</w:r></w:p>";
}

TEST(WordDump, DrawingsAndVmlPictures) {
    vt::scratch_dir dir;
    std::string body = para("first") + shape_paragraph() + para("last") + kSect;
    vt::dump_result off = dump_word_body(dir, body, {false, false});
    ASSERT_EQ(off.rc, 0);
    // The paragraph's own text stays; the text box's does not.
    EXPECT_EQ(pages(off.files), "[ページ001]first\nown text tail\nlast\n");
    vt::dump_result on = dump_word_body(dir, body, {true, false});
    ASSERT_EQ(on.rc, 0);
    // The paragraph, then its text box once (not again from the fallback).
    EXPECT_EQ(pages(on.files), "[ページ001]first\nown text tail\nbox text\nlast\n" OFX_EXTRA_SEPARATOR "\n");
    // A VML text box without a drawing beside it.
    vt::dump_result vml = dump_word_body(
        dir, "<w:p><w:r><w:pict><v:shape><v:textbox><w:txbxContent>" + para("vml") +
                 "</w:txbxContent></v:textbox></v:shape></w:pict></w:r><w:r><w:t>anchor</w:t></w:r></w:p>" + kSect,
        {true, false});
    EXPECT_EQ(pages(vml.files), "[ページ001]anchor\nvml\n" OFX_EXTRA_SEPARATOR "\n");

    // An inline picture between two texts of one paragraph.
    vt::dump_result pic = dump_word_body(
        dir, "<w:p><w:r><w:t xml:space=\"preserve\">image </w:t></w:r><w:r><w:drawing><wp:inline><a:graphic/>"
             "</wp:inline></w:drawing></w:r><w:r><w:t xml:space=\"preserve\"> after</w:t></w:r></w:p>" +
                 kSect);
    EXPECT_EQ(pages(pic.files), "[ページ001]image  after\n");
}

TEST(WordDump, TextEscapesAndOddMarkup) {
    vt::scratch_dir dir;
    vt::dump_result r = dump_word_body(
        dir,
        "<!-- <w:p><w:r><w:t>comment</w:t></w:r></w:p> --><?pi data?>"
        "<w:p><w:r><w:t>&lt;a&gt; &amp; &quot;q&quot; _x005F_x000D_ &#x3042;&#12354;&bogus; &#;</w:t></w:r></w:p>"
        "<w:p><w:r><w:t xml:space=\"preserve\"/><w:t xml:space=\"preserve\"> sp </w:t><w:tab/></w:r></w:p>"
        "<w:p><w:r><w:t><![CDATA[<raw> &amp;]]></w:t><w:delText>deleted</w:delText></w:r>"
        "<w:del><w:r><w:t>gone</w:t></w:r></w:del><w:moveFrom><w:r><w:t>moved</w:t></w:r></w:moveFrom></w:p>" +
            kSect);
    ASSERT_EQ(r.rc, 0);
    // Numeric references are characters; "_x005F_" is no escape in a document.
    EXPECT_EQ(pages(r.files), "[ページ001]<a> & \"q\" _x005F_x000D_ ああ&bogus; &#;\n sp \t\n<raw> &amp;\n");
}

TEST(WordDump, IndentedXmlAndOtherPrefixes) {
    vt::scratch_dir dir;
    // Whitespace between tags is no content; a self-closing paragraph is an
    // empty line; another prefix for the same namespace reads the same.
    vt::dump_result r = dump_word_body(
        dir, "\n  <w:p>\n    <w:r>\n      <w:t>indented</w:t>\n    </w:r>\n  </w:p>\n  <w:p/>\n"
             "<x:p xmlns:x=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><x:r><x:t>x</x:t>"
             "</x:r></x:p>\n" + kSect + "\n");
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(pages(r.files), "[ページ001]indented\n\nx\n");
}

TEST(WordDump, NestingLimit) {
    vt::scratch_dir dir;
    auto nested = [](int depth) {
        std::string s;
        // The document and body elements are two levels already.
        for (int i = 2; i < depth; ++i) s += "<w:x>";
        s += "<w:p><w:r><w:t>deep</w:t></w:r></w:p>";
        for (int i = 2; i < depth; ++i) s += "</w:x>";
        return s;
    };
    // w:t is the deepest element: document, body, 95 + p, r, t = 100 levels.
    vt::dump_result ok = dump_word_body(dir, nested(97) + kSect);
    EXPECT_EQ(ok.rc, 0);
    EXPECT_EQ(pages(ok.files), "[ページ001]deep\n");
    vt::dump_result deep = dump_word_body(dir, nested(98) + kSect);
    EXPECT_EQ(deep.rc, -1);
    EXPECT_EQ(deep.messages, std::vector<std::string>{"ERROR:ofx_docx_pptx() rc=-9"});
    vt::dump_result very = dump_word_body(dir, nested(5000));
    EXPECT_EQ(very.messages, std::vector<std::string>{"ERROR:ofx_docx_pptx() rc=-9"});
}

TEST(WordDump, MalformedXml) {
    vt::scratch_dir dir;
    struct {
        std::string body;
        int rc;
    } cases[] = {
        {"</w:p>" + para("x"), -1},                               // end tag with nothing open
        {"</w:body></w:document></w:extra>", -1},
        {"<w:" + std::string(78, 'n') + ">" + para("x"), 0},         // 80-byte name
        {"<w:" + std::string(79, 'n') + ">" + para("x"), -1},        // 81-byte name
        {para("x") + "<!-- unfinished", 0},
        {"<w:p><w:r><w:t>unclosed", 0},
        {std::string("<w:p><w:r><w:t>a</w:t></w:r></w:p>\0<w:p>", 40), 0},  // ends at the NUL
    };
    for (const auto& c : cases) {
        vt::dump_result r = dump_word_body(dir, c.body);
        if (c.rc == 0) {
            EXPECT_EQ(r.rc, 0) << c.body.substr(0, 60);
            EXPECT_TRUE(r.messages.empty());
        } else {
            EXPECT_EQ(r.rc, -1) << c.body.substr(0, 60);
            EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_docx_pptx() rc=" + std::to_string(c.rc)});
        }
    }
}

TEST(WordDump, UnfinishedPartsEndTheWalk) {
    vt::scratch_dir dir;
    const std::string docs[] = {
        "<w:document><w:body>" + para("x") + "<w:" + std::string(400, 'n'),
        "<w:document><w:body>" + para("x") + "<w:p><w:r><w:t>open",
        "<w:document><w:body>" + para("x") + "<!-- <w:p>",
        "<w:document><w:body>" + para("x") + "<?xml",
    };
    for (const std::string& d : docs) {
        vt::dump_result r = dump_package(dir, {{"word/document.xml", d}}, true);
        EXPECT_EQ(r.rc, 0) << d.substr(0, 60);
        EXPECT_EQ(pages(r.files), "[ページ001]x\n") << d.substr(0, 60);
    }
}

TEST(WordDump, PackageProblems) {
    vt::scratch_dir dir;
    // Not a package.
    ASSERT_TRUE(vt::write_file(dir / "text.docx", "just some text, no zip"));
    vt::dump_result r = vt::run_dump(dir, dir / "text.docx", true);
    EXPECT_EQ(r.rc, -1);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_docx_pptx() rc=-101"});
    // An encrypted member.
    vt::zip_member enc{"word/document.xml", "<w:document/>"};
    enc.flags = 1;
    r = dump_package(dir, {enc}, true);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_docx_pptx() rc=-1"});
    // A package without its document part is refused as a part that
    // cannot be read, not read as an empty document; so is a presentation
    // without its presentation part, whatever slides it holds.
    r = dump_package(dir, {{"word/styles.xml", "<w:styles/>"}}, true);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_docx_pptx() rc=-1"});
    EXPECT_TRUE(r.files.empty());
    r = dump_package(dir, {{"ppt/slides/slide1.xml", vt::slide_xml(vt::placeholder_shape("title", vt::slide_paragraph("x")))}},
                     false);
    EXPECT_EQ(r.messages, std::vector<std::string>{"ERROR:ofx_read_pptx() rc=-1"});
    EXPECT_TRUE(r.files.empty());
}

TEST(WordDump, OutputFolderThatCannotBeCreated) {
    vt::scratch_dir dir;
    std::string doc = dir / "a.docx";
    ASSERT_TRUE(vt::write_file(doc, vt::make_zip({{"word/document.xml", "<w:document/>"}})));
    std::string folder = vt::join(dir / "missing", "out");
    vt::recording_ui ui;
    dump_request req{doc.c_str(), folder.c_str(), false, false, dir.path().c_str(), &ui};
    // The file that could not be written is the message; the walker's code
    // follows only with --debug.
    EXPECT_EQ(dump_word_text(req), -1);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].text, ui_format("ERROR:一時ファイル(%s)作成エラー", vt::join(folder, plat_native_from_utf8("ページ001"))));
    ui.errors.clear();
    ui_set_debug(true);
    EXPECT_EQ(dump_word_text(req), -1);
    ASSERT_EQ(ui.errors.size(), 2u);
    EXPECT_EQ(ui.errors[1].text, ui_text("ERROR:ofx_docx_pptx() rc=-101") + " (" + doc + ")");
    ui_set_debug(false);
    // A folder path beyond the context's buffer is refused, not cut.
    std::string long_folder = dir / std::string(OFX_PATH_SIZE, 'f');
    dump_request long_req{doc.c_str(), long_folder.c_str(), false, false, dir.path().c_str(), &ui};
    EXPECT_EQ(dump_word_text(long_req), -1);
    EXPECT_EQ(ui.errors.back().text, ui_format("出力フォルダのパスが長すぎます。(%s)", long_folder));
}

TEST(WordWalker, ParagraphTextRoutine) {
    vt::scratch_dir dir;
    OFX_CONTEXT ctx;
    ASSERT_EQ(ofx_init(&ctx), 0);
    std::string path = dir / "page";
    ASSERT_EQ(ofx_open_output(&ctx, path.c_str()), 0);
    // A paragraph cut before its end is not written.
    std::string range = "<w:p><w:r><w:t>a</w:t><w:br/><w:t>b</w:t></w:r></w:p><w:p><w:t>cut</w:";
    EXPECT_EQ(ofx_docx_paragraph_text(&ctx, range.data(), range.size()), 0);
    EXPECT_EQ(ctx.line_count, 1);
    std::string slide = "<a:p><a:t/><a:t>x</a:t><a:br><a:rPr/></a:br><a:t>y</a:t></a:p>";
    EXPECT_EQ(ofx_pptx_paragraph_text(&ctx, slide.data(), slide.size()), 0);
    EXPECT_EQ(ofx_close_output(&ctx), 0);
    EXPECT_EQ(ofx_term(&ctx), 0);
    EXPECT_EQ(vt::read_file(path), "a\r\nbx\r\ny");
}

}  // namespace

namespace {

// Every truncation and a thousand byte flips of real-looking parts walk
// to an end without a crash or a read past the part.
TEST(Walker, DamagedPartsNeverCrash) {
    const std::string docx =
        "<?xml version=\"1.0\"?><w:document><w:body><!-- c --><w:p><w:pPr><w:sectPr/></w:pPr><w:r><w:t "
        "xml:space=\"preserve\">a &amp; b</w:t><w:br w:type=\"page\"/><w:br></w:br></w:r></w:p><w:tbl><w:tblGrid>"
        "<w:gridCol w:w=\"1\"/><w:gridCol/></w:tblGrid><w:tr><w:tc><w:p><w:r><w:t>c</w:t></w:r></w:p></w:tc></w:tr>"
        "</w:tbl><w:p><w:r><w:drawing><w:p><w:r><w:t>d</w:t></w:r></w:p></w:drawing><w:pict><w:p><w:r><w:t>e"
        "</w:t></w:r></w:p></w:pict></w:r></w:p><w:sectPr><w:pgSz/></w:sectPr></w:body></w:document>";
    const std::string pptx =
        "<p:sld><p:cSld><p:spTree><p:sp><p:nvSpPr><p:nvPr><p:ph type=\"title\"/></p:nvPr></p:nvSpPr><p:spPr>"
        "<a:prstGeom prst=\"rect\"/></p:spPr><p:txBody><a:p><a:pPr/><a:r><a:t>t</a:t></a:r><a:br><a:rPr/></a:br>"
        "<a:t/></a:p></p:txBody></p:sp><a:tbl><a:tr><a:tc><a:p><a:r><a:t>x</a:t></a:r></a:p></a:tc></a:tr></a:tbl>"
        "</p:spTree></p:cSld></p:sld>";
    unsigned seed = 12345;
    auto next = [&seed]() {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) & 0x7FFF;
    };
    for (bool word : {true, false}) {
        const std::string& base = word ? docx : pptx;
        std::vector<std::string> inputs;
        for (size_t n = 0; n <= base.size(); ++n) inputs.push_back(base.substr(0, n));
        for (int i = 0; i < 1000; ++i) {
            std::string m = base;
            for (int k = 0; k < 3; ++k) m[next() % m.size()] = "<>/ \"=\0wa:tp"[next() % 13];
            inputs.push_back(m);
        }
        for (const std::string& in : inputs) {
            vt::scratch_dir dir;  // page files are always new
            OFX_CONTEXT ctx;
            ASSERT_EQ(ofx_init(&ctx), 0);
            std::strcpy(ctx.output_folder, dir.path().c_str());
            // The part is copied to a buffer of exactly its size, so that a
            // read past it is caught by the sanitizers.
            std::vector<char> exact(in.begin(), in.end());
            int rc = word ? ofx_walk_docx(&ctx, OFX_MODE_DOCX, exact.data(), exact.size())
                          : ofx_walk_pptx(&ctx, OFX_MODE_PPTX, exact.data(), exact.size());
            EXPECT_TRUE(rc == 0 || rc == -1 || rc == -9) << rc;
            ofx_term(&ctx);
        }
    }
}

}  // namespace

namespace {

const std::string kW = "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"";
const std::string kRel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";

std::string rels(const std::vector<std::pair<std::string, std::string>>& type_target) {
    std::string s = "<?xml version=\"1.0\"?>\n<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/"
                    "relationships\">";
    int id = 0;
    for (const auto& [type, target] : type_target)
        s += "\n  <Relationship Id=\"rId" + std::to_string(++id) + "\" Type=\"" + kRel + type + "\" Target=\"" +
             target + "\"/>";
    return s + "\n</Relationships>";
}

TEST(WordDump, MainDocumentFromThePackageRelationships) {
    vt::scratch_dir dir;
    // The relationships name another part; "word/document.xml" is not it.
    vt::dump_result r = dump_package(
        dir,
        {{"_rels/.rels", rels({{"officeDocument", "/word/document2.xml"}})},
         {"word/document.xml", "<w:document " + kW + "><w:body>" + para("stale") + "</w:body></w:document>"},
         {"word/document2.xml", "<w:document " + kW + "><w:body>" + para("main") + "</w:body></w:document>"}},
        true);
    ASSERT_EQ(r.rc, 0);
    EXPECT_EQ(pages(r.files), "[ページ001]main\n");
}

TEST(WordDump, CommentsHeadersFootersAndNotesWithShapeText) {
    vt::scratch_dir dir;
    auto part = [](const std::string& root, const std::string& inner) {
        return "<w:" + root + " " + kW + ">" + inner + "</w:" + root + ">";
    };
    std::vector<vt::zip_member> members{
        {"_rels/.rels", rels({{"officeDocument", "word/document.xml"}})},
        {"word/document.xml", part("document", "<w:body>" + para("body") + kSect + "</w:body>")},
        {"word/_rels/document.xml.rels",
         rels({{"footer", "footer1.xml"}, {"header", "header2.xml"}, {"header", "header1.xml"},
               {"comments", "comments.xml"}, {"footnotes", "footnotes.xml"}, {"endnotes", "endnotes.xml"},
               {"hyperlink", "http://example.invalid/\" TargetMode=\"External"}})},
        {"word/header1.xml", part("hdr", para("head 1"))},
        {"word/header2.xml", part("hdr", para("head 2"))},
        {"word/footer1.xml", part("ftr", para("foot") + "<w:p/>")},
        {"word/comments.xml", part("comments", "<w:comment w:id=\"0\" w:author=\"A\">" + para("c1") + para("c2") +
                                                   "</w:comment><w:comment w:id=\"1\">" + para("c3") + "</w:comment>")},
        {"word/footnotes.xml",
         part("footnotes", "<w:footnote w:type=\"separator\" w:id=\"-1\"><w:p><w:r><w:separator/></w:r></w:p>"
                           "</w:footnote><w:footnote w:type=\"continuationSeparator\" w:id=\"0\"><w:p/></w:footnote>"
                           "<w:footnote w:id=\"1\">" + para("fn") + "</w:footnote>")},
        {"word/endnotes.xml", part("endnotes", "<w:endnote w:id=\"1\">" + para("en") + "</w:endnote>")},
    };
    vt::dump_result off = dump_package(dir, members, true);
    ASSERT_EQ(off.rc, 0);
    EXPECT_EQ(pages(off.files), "[ページ001]body\n");
    vt::dump_result on = dump_package(dir, members, true, {true, false});
    ASSERT_EQ(on.rc, 0);
    EXPECT_EQ(pages(on.files), "[ページ001]body\n" OFX_EXTRA_SEPARATOR
                               "\n【コメント】\nc1\nc2\n【コメント】\nc3\n【ヘッダー】\nhead 1\n【ヘッダー】\nhead 2\n"
                               "【フッター】\nfoot\n\n【脚注】\nfn\n【文末脚注】\nen\n");
}

}  // namespace
