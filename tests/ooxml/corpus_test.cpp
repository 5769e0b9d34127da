// Real documents written by office software and other producers.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <string>
#include <vector>

#include "mfile.h"
#include "ofx.h"
#include "ooxml_helpers.h"

namespace {

bool has_line(const std::string& text, const std::string& line) {
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

std::string generated(const std::string& name) { return vt::join(vt::join(vt::corpus_dir(), "generated"), name); }

class Corpus : public ::testing::Test {
protected:
    void SetUp() override {
        if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    }
    vt::scratch_dir dir;

    vt::dump_result dump(const std::string& name, vt::dump_options opt = {}) {
        std::string path = generated(name);
        if (!vt::exists(path)) ADD_FAILURE() << "missing " << path;
        return vt::run_dump(dir, path, name.find(".doc") != std::string::npos, opt);
    }
};

TEST_F(Corpus, EveryDocumentDumpsOrIsRefused) {
    std::vector<std::string> files = vt::corpus_files({"docx", "docm", "pptx", "pptm"});
    ASSERT_FALSE(files.empty());
    for (const std::string& f : files) {
        bool word = f.size() > 5 && f.compare(f.size() - 5, 4, ".doc") == 0;
        for (bool textbox : {false, true}) {
            vt::dump_result r = vt::run_dump(dir, f, word, {textbox, false});
            if (r.rc == 0) {
                EXPECT_TRUE(r.messages.empty()) << f;
                // Only the parts that hold text were unpacked: no picture,
                // font or embedded object.
                std::vector<std::string> unpacked;
                mlist(unpacked);
                for (const std::string& m : unpacked)
                    EXPECT_TRUE(m.size() > 4 && (m.compare(m.size() - 4, 4, ".xml") == 0 ||
                                                 m.compare(m.size() - 5, 5, ".rels") == 0))
                        << f << ": " << m;
                mcloseall();
            } else {
                EXPECT_EQ(r.rc, -1) << f;
                ASSERT_EQ(r.messages.size(), 1u) << f;
                EXPECT_EQ(r.messages[0].rfind(word ? "ERROR:ofx_docx_pptx() rc=" : "ERROR:ofx_read_pptx() rc=", 0), 0u)
                    << f << ": " << r.messages[0];
            }
        }
    }
}

TEST_F(Corpus, PasswordProtectedPackagesAreRefused) {
    for (const char* name : {"docx_password_open__libreoffice.docx", "pptx_password_open__libreoffice.pptx"}) {
        vt::dump_result r = dump(name);
        EXPECT_EQ(r.rc, -1) << name;
        EXPECT_EQ(r.messages.size(), 1u) << name;
        EXPECT_TRUE(r.files.empty()) << name;
    }
}

TEST_F(Corpus, WordParagraphsAndPageBreaks) {
    for (const char* name : {"docx_paragraphs_breaks__libreoffice.docx", "docm_paragraphs_breaks__libreoffice.docm"}) {
        vt::dump_result r = dump(name);
        ASSERT_EQ(r.rc, 0) << name;
        ASSERT_EQ(r.files.size(), 3u) << name;
        EXPECT_TRUE(has_line(r.files["ページ001"], "見出し：段落と改ページ"));
        EXPECT_TRUE(has_line(r.files["ページ001"], "Second paragraph with ASCII & <escaped> \"chars\"."));
        EXPECT_TRUE(has_line(r.files["ページ002"], "2ページ目（改ページの後）"));
        EXPECT_TRUE(has_line(r.files["ページ003"], "Page three starts here."));
        vt::dump_result all = dump(name, {false, true});
        ASSERT_EQ(all.files.size(), 1u);
        EXPECT_EQ(all.files["全文"], r.files["ページ001"] + r.files["ページ002"] + r.files["ページ003"]);
    }
}

TEST_F(Corpus, WordFromPythonDocx) {
    vt::dump_result r = dump("docx_python_docx__python-docx.docx");
    ASSERT_EQ(r.rc, 0);
    // The page ends inside the paragraph, where its break stands.
    EXPECT_TRUE(has_line(r.files["ページ001"], "改ページの前の文。"));
    EXPECT_TRUE(has_line(r.files["ページ002"], "改ページの後の文（同じ段落）。"));
    EXPECT_TRUE(has_line(r.files["ページ002"], "r1c1\tr1c2\tr1c3\t"));
    EXPECT_TRUE(has_line(r.files["ページ002"], "r2c1\tr2c2\tr2c3\t"));
}

TEST_F(Corpus, WordTables) {
    vt::dump_result r = dump("docx_tables__libreoffice.docx");
    ASSERT_EQ(r.rc, 0);
    const std::string& t = r.files["ページ001"];
    EXPECT_TRUE(has_line(t, "品名\t数量\t単価\t"));
    EXPECT_TRUE(has_line(t, "りんご\t3\t120\t"));
    EXPECT_TRUE(has_line(t, "one-column row 1\t"));
    EXPECT_TRUE(has_line(t, "表の後の段落"));
}

TEST_F(Corpus, WordTextBoxesKeepTheAnchorParagraph) {
    vt::dump_result off = dump("docx_textboxes_drawings__libreoffice.docx");
    ASSERT_EQ(off.rc, 0);
    const std::string& t = off.files["ページ001"];
    EXPECT_TRUE(has_line(t, "本文：図形を含む段落"));
    EXPECT_EQ(t.find("テキストボックスの中の文字"), std::string::npos);
    vt::dump_result on = dump("docx_textboxes_drawings__libreoffice.docx", {true, false});
    const std::string& u = on.files["ページ001"];
    EXPECT_TRUE(has_line(u, "本文：図形を含む段落"));
    size_t box = u.find("テキストボックスの中の文字");
    ASSERT_NE(box, std::string::npos);
    EXPECT_EQ(u.find("テキストボックスの中の文字", box + 1), std::string::npos);  // once, not twice
    EXPECT_TRUE(has_line(u, "楕円の図形の文字"));
}

TEST_F(Corpus, PowerPointSlides) {
    vt::dump_result r = dump("pptx_many_slides__libreoffice.pptx", {true, false});
    ASSERT_EQ(r.rc, 0);
    ASSERT_EQ(r.files.size(), 11u);
    EXPECT_TRUE(has_line(r.files["スライド009"], "スライド 10"));
    EXPECT_TRUE(has_line(r.files["スライド010"], "スライド 11"));
    EXPECT_TRUE(has_line(r.files["スライド003"], "スライド 4"));  // hidden, still read

    vt::dump_result t = dump("pptx_titles_bodies__libreoffice.pptx");
    ASSERT_EQ(t.rc, 0);
    EXPECT_TRUE(has_line(t.files["スライド001"], "XML specials: <a> & \"b\""));
    EXPECT_TRUE(has_line(t.files["スライド001"], "行内改行の前"));
    EXPECT_TRUE(has_line(t.files["スライド001"], "行内改行の後"));
}

TEST_F(Corpus, PowerPointTextBoxes) {
    for (const char* name : {"pptx_textboxes_shapes__libreoffice.pptx", "pptm_textboxes_shapes__libreoffice.pptm"}) {
        vt::dump_result off = dump(name);
        ASSERT_EQ(off.rc, 0) << name;
        // Every placeholder stays, only the shapes go.
        EXPECT_EQ(off.files["スライド000"], "図形とテキストボックス\n本文プレースホルダー\n") << name;
        EXPECT_EQ(off.files["スライド001"], "Shapes only\n") << name;
        vt::dump_result on = dump(name, {true, false});
        EXPECT_TRUE(has_line(on.files["スライド000"], "楕円の中の文字")) << name;
        EXPECT_TRUE(has_line(on.files["スライド000"], "本文プレースホルダー")) << name;
        EXPECT_TRUE(has_line(on.files["スライド001"], "ひし形")) << name;
    }
}

// True when the tag that ends at gt opens a text element, whose content
// whitespace is text.
bool opens_text(const std::string& x, size_t gt) {
    size_t lt = x.rfind('<', gt);
    if (lt == std::string::npos || x[lt + 1] == '/' || x[lt + 1] == '?' || x[lt + 1] == '!' || x[gt - 1] == '/')
        return false;
    size_t end = x.find_first_of(" \t\r\n>", lt);
    std::string name = x.substr(lt + 1, end - lt - 1);
    std::string local = name.substr(name.find(':') + 1);
    return local == "t" || local == "text" || local == "delText" || local == "instrText";
}

// Every tag on a line of its own, indented; or no whitespace between tags.
std::string reformat(const std::string& x, bool indent) {
    std::string out;
    int depth = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        char c = x[i];
        if (c == '>' && !opens_text(x, i)) {
            out += c;
            size_t next = x.find_first_not_of(" \t\r\n", i + 1);
            if (next != std::string::npos && x[next] == '<') {
                bool closing = x[next + 1] == '/';
                size_t lt = out.rfind('<');
                bool opened = lt != std::string::npos && out[out.size() - 2] != '/' &&
                              std::string("/?!").find(out[lt + 1]) == std::string::npos;
                depth += opened ? 1 : 0;
                if (closing) --depth;
                if (indent) out += "\n" + std::string(depth > 0 ? 2 * depth : 0, ' ');
                i = next - 1;
            }
            continue;
        }
        out += c;
    }
    return out;
}

TEST_F(Corpus, IndentedAndCompactXmlGiveTheSameText) {
    for (const std::string& f : vt::corpus_files({"docx", "docm", "pptx", "pptm"})) {
        bool word = f.size() > 5 && f.compare(f.size() - 5, 4, ".doc") == 0;
        std::vector<vt::zip_member> members = vt::package_members(f);
        if (members.empty()) continue;  // an encrypted document
        std::vector<vt::zip_member> indented = members, compact = members;
        for (size_t i = 0; i < members.size(); ++i) {
            const std::string& n = members[i].name;
            if (n.size() < 4 || (n.compare(n.size() - 4, 4, ".xml") != 0 && n.compare(n.size() - 5, 5, ".rels") != 0))
                continue;
            indented[i].data = reformat(members[i].data, true);
            compact[i].data = reformat(members[i].data, false);
        }
        for (bool textbox : {false, true}) {
            vt::dump_result a = vt::dump_package(dir, indented, word, {textbox, false});
            vt::dump_result b = vt::dump_package(dir, compact, word, {textbox, false});
            vt::dump_result original = vt::run_dump(dir, f, word, {textbox, false});
            EXPECT_EQ(a.rc, original.rc) << f;
            EXPECT_EQ(a.raw, original.raw) << f << " indented, textbox " << textbox;
            EXPECT_EQ(b.raw, original.raw) << f << " compact, textbox " << textbox;
        }
    }
}

bool is_word(const std::string& f) { return f.size() > 5 && f.compare(f.size() - 5, 4, ".doc") == 0; }

bool is_text_member(const std::string& n) {
    return n.size() > 4 && (n.compare(n.size() - 4, 4, ".xml") == 0 || n.compare(n.size() - 5, 5, ".rels") == 0);
}

#define SEPARATOR OFX_EXTRA_SEPARATOR "\n"

TEST_F(Corpus, NoteMarksAndTheirTexts) {
    vt::dump_result poi = vt::run_dump(dir, vt::join(vt::join(vt::corpus_dir(), "public"), "apache__poi/footnotes.docx"),
                                       true, {true, false});
    ASSERT_EQ(poi.rc, 0);
    EXPECT_EQ(poi.files["ページ001"], "Eto ochen prostoy[1] text so snoskoy\n" SEPARATOR "【脚注】\n[1] snoska\n");
    vt::dump_result lo = dump("docx_notes_lists__libreoffice.docx", {true, false});
    const std::string& t = lo.files["ページ001"];
    EXPECT_TRUE(has_line(t, "脚注付きの文[1]です。"));
    EXPECT_NE(t.find("【脚注】\n[1]"), std::string::npos) << t;
}

TEST_F(Corpus, HeadersWithTheSectionsTheyBelongTo) {
    // Section 2 has an empty header of its own; section 3 the first again.
    vt::dump_result r = dump("docx_sections__libreoffice.docx", {true, false});
    ASSERT_EQ(r.files.size(), 3u);
    EXPECT_NE(r.files["ページ001"].find(SEPARATOR "【ヘッダー】\nヘッダーの文字\n【フッター】\nフッターの文字\n"),
              std::string::npos);
    EXPECT_EQ(r.files["ページ002"].find("ヘッダーの文字"), std::string::npos);
    EXPECT_NE(r.files["ページ003"].find(SEPARATOR "【ヘッダー】\nヘッダーの文字\n"), std::string::npos);
    vt::dump_result poi = vt::run_dump(dir, vt::join(vt::join(vt::corpus_dir(), "public"), "apache__poi/Headers.docx"),
                                       true, {true, false});
    for (int page = 1; page <= 3; ++page)
        EXPECT_NE(poi.files["ページ00" + std::to_string(page)].find("【ヘッダー】\nSection " + std::to_string(page) + "\n"),
                  std::string::npos)
            << page;
}

// A page added at the end of every Word document of the corpus leaves every
// page file before it as it was, its comments, notes, headers and footers
// included.
TEST_F(Corpus, AnAddedPageChangesNoOtherPage) {
    int documents = 0;
    for (const std::string& f : vt::corpus_files({"docx", "docm"})) {
        std::vector<vt::zip_member> members = vt::package_members(f);
        bool edited = false;
        for (vt::zip_member& m : members) {
            if (m.name != "word/document.xml") continue;
            size_t at = m.data.rfind("<w:sectPr");
            size_t body_end = m.data.rfind("</w:body>");
            if (at == std::string::npos || at < m.data.rfind("</w:p>")) at = body_end;
            if (at == std::string::npos) break;
            m.data.insert(at, "<w:p><w:r><w:br w:type=\"page\"/><w:t>added page</w:t></w:r></w:p>");
            edited = true;
        }
        if (!edited) continue;
        ++documents;
        vt::dump_result before = vt::run_dump(dir, f, true, {true, false});
        vt::dump_result after = vt::dump_package(dir, members, true, {true, false});
        ASSERT_EQ(after.rc, 0) << f;
        EXPECT_GT(after.files.size(), before.files.size()) << f;
        for (const auto& [name, text] : before.files) EXPECT_EQ(after.files[name], text) << f << " " << name;
    }
    EXPECT_GT(documents, 10);
}

// Every prefix of every part written as another: the same text.
std::string other_prefixes(const std::string& x) {
    auto rename = [](const std::string& qname) {
        size_t colon = qname.find(':');
        if (colon == std::string::npos) return qname;
        std::string prefix = qname.substr(0, colon);
        if (prefix == "xml") return qname;
        if (prefix == "xmlns") return qname == "xmlns:xml" ? qname : "xmlns:q" + qname.substr(colon + 1);
        return "q" + qname;
    };
    std::string out;
    size_t i = 0;
    while (i < x.size()) {
        size_t lt = x.find('<', i);
        if (lt == std::string::npos || lt + 1 >= x.size() || x[lt + 1] == '?' || x[lt + 1] == '!') {
            size_t stop = lt == std::string::npos ? x.size() : x.find('>', lt) + 1;
            if (stop == 0) stop = x.size();
            out.append(x, i, stop - i);
            i = stop;
            continue;
        }
        out.append(x, i, lt - i);
        size_t gt = lt;
        char quote = 0;
        for (; gt < x.size() && (quote || x[gt] != '>'); ++gt)
            if (quote ? x[gt] == quote : (x[gt] == '"' || x[gt] == '\'')) quote = quote ? 0 : x[gt];
        std::string tag = x.substr(lt, gt - lt + 1);
        std::string renamed;
        size_t k = 0;
        while (k < tag.size()) {
            char c = tag[k];
            if (c == '"' || c == '\'') {
                size_t end = tag.find(c, k + 1);
                renamed.append(tag, k, end - k + 1);
                k = end + 1;
                continue;
            }
            if (std::isalpha(static_cast<unsigned char>(c))) {
                size_t e = k;
                while (e < tag.size() && !std::strchr(" \t\r\n=/>", tag[e])) ++e;
                renamed += rename(tag.substr(k, e - k));
                k = e;
                continue;
            }
            renamed += c;
            ++k;
        }
        out += renamed;
        i = gt + 1;
    }
    return out;
}

TEST_F(Corpus, NamespacePrefixesDoNotMatter) {
    int documents = 0;
    for (const std::string& f : vt::corpus_files({"docx", "docm", "pptx", "pptm"})) {
        std::vector<vt::zip_member> members = vt::package_members(f);
        if (members.empty()) continue;
        for (vt::zip_member& m : members) {
            if (!is_text_member(m.name)) continue;
            m.data = other_prefixes(m.data);
            if (m.name == "word/document.xml" || m.name == "ppt/presentation.xml") {
                EXPECT_TRUE(m.data.find("<w:") == std::string::npos && m.data.find("<p:") == std::string::npos &&
                            (m.data.find("<qw:") != std::string::npos || m.data.find("<qp:") != std::string::npos))
                    << f;
            }
        }
        ++documents;
        for (bool textbox : {false, true}) {
            vt::dump_result a = vt::run_dump(dir, f, is_word(f), {textbox, false});
            vt::dump_result b = vt::dump_package(dir, members, is_word(f), {textbox, false});
            EXPECT_EQ(b.rc, a.rc) << f;
            EXPECT_EQ(b.raw, a.raw) << f << ", textbox " << textbox;
        }
    }
    EXPECT_GT(documents, 30);
}

TEST_F(Corpus, WithoutItsMainPartADocumentIsRefused) {
    for (const std::string& f : vt::corpus_files({"docx", "docm", "pptx", "pptm"})) {
        std::vector<vt::zip_member> members = vt::package_members(f);
        if (members.empty()) continue;
        std::vector<vt::zip_member> kept;
        for (const vt::zip_member& m : members)
            if (m.name != "word/document.xml" && m.name != "ppt/presentation.xml") kept.push_back(m);
        ASSERT_LT(kept.size(), members.size()) << f;
        vt::dump_result r = vt::dump_package(dir, kept, is_word(f));
        EXPECT_EQ(r.messages, std::vector<std::string>{is_word(f) ? "ERROR:ofx_docx_pptx() rc=-1"
                                                                    : "ERROR:ofx_read_pptx() rc=-1"})
            << f;
        EXPECT_TRUE(r.files.empty()) << f;
    }
}

}  // namespace
