// One edit in each kind of place a reader sees shows in the comparison:
// for every corpus document that has the place, and for a Word document
// and a presentation built here with every place (equations, SmartArt and
// WordArt included, which the corpus lacks).  The edit rewrites the XML of
// one text; the dump of the edited document must differ from the
// original's and hold the new text.
#include <gtest/gtest.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "ofx_xml.h"
#include "ooxml_helpers.h"

namespace {

const char* const kEdit = "変更";

struct name {
    ofx_ns ns;
    const char* local;
};

// Where a text sits: the element holding it, elements it must lie within,
// elements it must not.
struct place {
    const char* kind;
    const char* member_prefix;  // the parts searched, in name order
    name text;
    std::vector<name> within;
    std::vector<name> outside;
};

const name kFallback{OFX_NS_MC, "Fallback"};

const place kPlaces[] = {
    {"paragraph", "word/document", {OFX_NS_W, "t"}, {{OFX_NS_W, "p"}},
     {{OFX_NS_W, "tbl"}, {OFX_NS_W, "txbxContent"}, {OFX_NS_W, "del"}, kFallback}},
    {"table cell", "word/document", {OFX_NS_W, "t"}, {{OFX_NS_W, "tc"}}, {{OFX_NS_W, "txbxContent"}, kFallback}},
    {"header", "word/header", {OFX_NS_W, "t"}, {}, {kFallback}},
    {"footer", "word/footer", {OFX_NS_W, "t"}, {}, {kFallback}},
    {"footnote", "word/footnotes", {OFX_NS_W, "t"}, {{OFX_NS_W, "footnote"}}, {kFallback}},
    {"endnote", "word/endnotes", {OFX_NS_W, "t"}, {{OFX_NS_W, "endnote"}}, {kFallback}},
    {"comment", "word/comments", {OFX_NS_W, "t"}, {{OFX_NS_W, "comment"}}, {kFallback}},
    {"text box", "word/document", {OFX_NS_W, "t"}, {{OFX_NS_W, "txbxContent"}}, {kFallback}},
    {"equation", "word/document", {OFX_NS_M, "t"}, {}, {kFallback}},
    {"SmartArt node", "word/diagrams/data", {OFX_NS_A, "t"}, {{OFX_NS_DGM, "pt"}}, {}},
    {"slide paragraph", "ppt/slides/slide", {OFX_NS_A, "t"}, {{OFX_NS_P, "txBody"}}, {kFallback}},
    {"slide table cell", "ppt/slides/slide", {OFX_NS_A, "t"}, {{OFX_NS_A, "tc"}}, {kFallback}},
    {"slide note", "ppt/notesSlides/notesSlide", {OFX_NS_A, "t"}, {{OFX_NS_P, "txBody"}}, {}},
    {"slide comment", "ppt/comments/", {OFX_NS_P, "text"}, {}, {}},
    {"slide equation", "ppt/slides/slide", {OFX_NS_M, "t"}, {}, {kFallback}},
    {"slide SmartArt node", "ppt/diagrams/data", {OFX_NS_A, "t"}, {{OFX_NS_DGM, "pt"}}, {}},
};

// The offset of the first character of a text in this place, or npos.
size_t text_site(const std::string& xml, const place& pl) {
    ofx_xml x(xml.data(), xml.size());
    std::vector<std::pair<ofx_ns, std::string>> open;
    for (;;) {
        ofx_xml::token t = x.next();
        if (t == ofx_xml::DONE || t == ofx_xml::BAD_END) return std::string::npos;
        if (t == ofx_xml::START) open.emplace_back(x.ns(), std::string(x.local()));
        if (t == ofx_xml::END && !open.empty()) open.pop_back();
        if (t != ofx_xml::TEXT || open.empty() || x.cdata()) continue;
        if (open.back().first != pl.text.ns || open.back().second != pl.text.local) continue;
        auto has = [&](const name& n) {
            for (const auto& o : open)
                if (o.first == n.ns && o.second == n.local) return true;
            return false;
        };
        bool ok = true;
        for (const name& n : pl.within) ok = ok && has(n);
        for (const name& n : pl.outside) ok = ok && !has(n);
        // A note page's text: its body placeholder, not the slide image
        // or the page number.
        if (ok && std::string(pl.member_prefix).find("notesSlide") != std::string::npos) {
            size_t body = xml.rfind("type=\"body\"", static_cast<size_t>(x.text_begin() - xml.data()));
            size_t shape_start = xml.rfind("<p:sp>", static_cast<size_t>(x.text_begin() - xml.data()));
            ok = body != std::string::npos && (shape_start == std::string::npos || body > shape_start);
        }
        if (ok) return static_cast<size_t>(x.text_begin() - xml.data());
    }
}

// The first numbered paragraph of a Word body, as [begin, end) offsets.
bool numbered_paragraph(const std::string& xml, size_t* begin, size_t* end) {
    ofx_xml x(xml.data(), xml.size());
    std::vector<std::string> open;
    size_t p_begin = 0, p_depth = 0;
    bool numbered = false;
    for (;;) {
        ofx_xml::token t = x.next();
        if (t == ofx_xml::DONE || t == ofx_xml::BAD_END) return false;
        if (t == ofx_xml::START) {
            std::string n = x.ns() == OFX_NS_W ? std::string(x.local()) : std::string();
            if (n == "p" && p_depth == 0) {
                p_begin = static_cast<size_t>(x.tag() - xml.data());
                p_depth = x.depth();
                numbered = false;
            }
            if (n == "numPr" && open.size() >= 2 && open.back() == "pPr" && open[open.size() - 2] == "p") numbered = true;
            open.push_back(n);
        } else if (t == ofx_xml::END && !open.empty()) {
            open.pop_back();
            if (p_depth > 0 && x.depth() < p_depth) {
                p_depth = 0;
                if (numbered) {
                    *begin = p_begin;
                    *end = static_cast<size_t>(x.tag_close() - xml.data()) + 1;
                    return true;
                }
            }
        }
    }
}

bool starts_with(const std::string& s, const char* prefix) { return s.rfind(prefix, 0) == 0; }

// Applies the edit of one kind of place; false when the document has none.
bool edit(std::vector<vt::zip_member>& members, const std::string& kind) {
    for (vt::zip_member& m : members) {
        if (kind == "WordArt") {
            if (!starts_with(m.name, "word/document") && !starts_with(m.name, "word/header")) continue;
            size_t at = m.data.find("<v:textpath");
            if (at == std::string::npos) continue;
            size_t value = m.data.find("string=\"", at);
            if (value == std::string::npos) continue;
            m.data.insert(value + 8, kEdit);
            return true;
        }
        if (kind == "list item inserted") {
            if (m.name != "word/document.xml") continue;
            size_t begin = 0, end = 0;
            if (!numbered_paragraph(m.data, &begin, &end)) return false;
            std::string copy = m.data.substr(begin, end - begin);
            // The inserted item's own text, so that it can be told apart.
            size_t t = copy.find("<w:t");
            if (t != std::string::npos && (t = copy.find('>', t)) != std::string::npos) copy.insert(t + 1, kEdit);
            m.data.insert(begin, copy);
            return true;
        }
        for (const place& pl : kPlaces) {
            if (kind != pl.kind || !starts_with(m.name, pl.member_prefix)) continue;
            if (m.name.find("_rels") != std::string::npos) continue;
            size_t at = text_site(m.data, pl);
            if (at == std::string::npos) continue;
            m.data.insert(at, kEdit);
            return true;
        }
    }
    return false;
}

std::vector<std::string> kinds() {
    std::vector<std::string> k;
    for (const place& pl : kPlaces) k.push_back(pl.kind);
    k.push_back("WordArt");
    k.push_back("list item inserted");
    return k;
}

std::string text_of(const vt::dump_result& d) {
    std::string s;
    for (const auto& [n, text] : d.files) s += "[" + n + "]" + text;
    return s;
}

// Applies every kind of edit the document has; counts each kind shown.
void check_every_edit(const vt::scratch_dir& dir, const std::string& label, const std::vector<vt::zip_member>& members,
                      bool word, std::map<std::string, int>& shown) {
    std::string original = text_of(vt::dump_package(dir, members, word, {true, false}));
    for (const std::string& kind : kinds()) {
        std::vector<vt::zip_member> edited = members;
        if (!edit(edited, kind)) continue;
        vt::dump_result d = vt::dump_package(dir, edited, word, {true, false});
        ASSERT_EQ(d.rc, 0) << label << ": " << kind;
        std::string changed = text_of(d);
        EXPECT_NE(changed, original) << label << ": " << kind;
        EXPECT_NE(changed.find(kEdit), std::string::npos) << label << ": " << kind;
        if (changed != original && changed.find(kEdit) != std::string::npos) shown[kind] += 1;
    }
}

TEST(ChangeVisibility, EveryPlaceInTheCorpus) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    vt::scratch_dir dir;
    std::map<std::string, int> shown;
    for (const std::string& f : vt::corpus_files({"docx", "docm", "pptx", "pptm"})) {
        bool word = f.size() > 5 && f.compare(f.size() - 5, 4, ".doc") == 0;
        std::vector<vt::zip_member> members = vt::package_members(f);
        if (members.empty()) continue;  // an encrypted document
        check_every_edit(dir, f, members, word, shown);
    }
    // The places the corpus has; each must have been found somewhere.
    for (const char* kind : {"paragraph", "table cell", "header", "footer", "footnote", "comment", "text box",
                             "list item inserted", "slide paragraph", "slide table cell", "slide note"})
        EXPECT_GT(shown[kind], 0) << kind;
    for (const auto& [kind, n] : shown) std::printf("  %-20s %d documents\n", kind.c_str(), n);
}

TEST(ChangeVisibility, EveryPlaceInBuiltDocuments) {
    vt::scratch_dir dir;
    std::map<std::string, int> shown;
    auto para = [](const std::string& inner) { return "<w:p>" + inner + "</w:p>"; };
    auto run = [](const std::string& text) { return "<w:r><w:t>" + text + "</w:t></w:r>"; };
    auto part = [](const char* root, const std::string& inner) {
        return std::string("<w:") + root + " " + vt::kWordNamespaces + ">" + inner + "</w:" + root + ">";
    };
    const std::string numbering =
        part("numbering", "<w:abstractNum w:abstractNumId=\"0\"><w:lvl w:ilvl=\"0\"><w:start w:val=\"1\"/>"
                          "<w:numFmt w:val=\"decimal\"/><w:lvlText w:val=\"%1.\"/></w:lvl></w:abstractNum>"
                          "<w:num w:numId=\"1\"><w:abstractNumId w:val=\"0\"/></w:num>");
    const std::string item = "<w:pPr><w:numPr><w:ilvl w:val=\"0\"/><w:numId w:val=\"1\"/></w:numPr></w:pPr>";
    const std::string data =
        "<dgm:dataModel " + std::string(vt::kWordNamespaces) + "><dgm:ptLst><dgm:pt modelId=\"0\" type=\"doc\"/>"
        "<dgm:pt modelId=\"1\"><dgm:t><a:p><a:r><a:t>node</a:t></a:r></a:p></dgm:t></dgm:pt></dgm:ptLst><dgm:cxnLst>"
        "<dgm:cxn modelId=\"2\" srcId=\"0\" destId=\"1\" srcOrd=\"0\" destOrd=\"0\"/></dgm:cxnLst></dgm:dataModel>";
    std::string body =
        para(run("text") + "<w:r><w:footnoteReference w:id=\"1\"/></w:r><w:r><w:endnoteReference w:id=\"1\"/></w:r>"
             "<w:r><w:commentReference w:id=\"0\"/></w:r>") +
        "<w:tbl><w:tr><w:tc>" + para(run("cell")) + "</w:tc></w:tr></w:tbl>" +
        para(run("anchor") + "<w:r><w:pict><v:shape><v:textbox><w:txbxContent>" + para(run("box")) +
             "</w:txbxContent></v:textbox></v:shape></w:pict></w:r>") +
        para("<m:oMath><m:r><m:t>x=1</m:t></m:r></m:oMath>") +
        para("<w:r><w:drawing><wp:inline><a:graphic><a:graphicData><dgm:relIds r:dm=\"rId7\"/></a:graphicData>"
             "</a:graphic></wp:inline></w:drawing></w:r>") +
        para("<w:r><w:pict><v:shape><v:textpath string=\"DRAFT\"/></v:shape></w:pict></w:r>") +
        "<w:p>" + item + run("first") + "</w:p><w:p>" + item + run("second") + "</w:p>" +
        "<w:sectPr><w:headerReference w:type=\"default\" r:id=\"rId4\"/><w:footerReference w:type=\"default\" "
        "r:id=\"rId5\"/></w:sectPr>";
    std::vector<vt::zip_member> word = vt::word_package(
        body, {{"footnotes", "footnotes.xml", part("footnotes", "<w:footnote w:id=\"1\">" + para(run("fn")) +
                                                                    "</w:footnote>")},
               {"endnotes", "endnotes.xml", part("endnotes", "<w:endnote w:id=\"1\">" + para(run("en")) + "</w:endnote>")},
               {"comments", "comments.xml", part("comments", "<w:comment w:id=\"0\">" + para(run("cm")) + "</w:comment>")},
               {"header", "header1.xml", part("hdr", para(run("head")))},
               {"footer", "footer1.xml", part("ftr", para(run("foot")))},
               {"numbering", "numbering.xml", numbering},
               {"diagramData", "diagrams/data1.xml", data}});
    check_every_edit(dir, "built Word document", word, true, shown);

    const std::string ns = "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
                           "xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
                           "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
                           "xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\" "
                           "xmlns:a14=\"http://schemas.microsoft.com/office/drawing/2010/main\" "
                           "xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/diagram\"";
    auto slide_part = [&](const char* root, const std::string& tree) {
        return std::string("<p:") + root + " " + ns + "><p:cSld><p:spTree>" + tree + "</p:spTree></p:cSld></p:" +
               root + ">";
    };
    std::string tree =
        vt::placeholder_shape("title", vt::slide_paragraph("title")) + vt::text_box_shape(vt::slide_paragraph("box")) +
        "<p:graphicFrame><a:graphic><a:graphicData><a:tbl><a:tr><a:tc><a:txBody>" + vt::slide_paragraph("cell") +
        "</a:txBody></a:tc></a:tr></a:tbl></a:graphicData></a:graphic></p:graphicFrame>" +
        vt::placeholder_shape("body", "<a:p><a14:m><m:oMathPara><m:oMath><m:r><m:t>y=2</m:t></m:r></m:oMath>"
                                      "</m:oMathPara></a14:m></a:p>") +
        "<p:graphicFrame><a:graphic><a:graphicData><dgm:relIds r:dm=\"rId3\"/></a:graphicData></a:graphic>"
        "</p:graphicFrame>";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::vector<vt::zip_member> deck{
        {"ppt/presentation.xml", "<p:presentation " + ns + "/>"},
        {"ppt/slides/slide1.xml", slide_part("sld", tree)},
        {"ppt/slides/_rels/slide1.xml.rels",
         "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
         "<Relationship Id=\"rId1\" Type=\"" + rel + "notesSlide\" Target=\"../notesSlides/notesSlide1.xml\"/>"
         "<Relationship Id=\"rId2\" Type=\"" + rel + "comments\" Target=\"../comments/comment1.xml\"/>"
         "<Relationship Id=\"rId3\" Type=\"" + rel + "diagramData\" Target=\"../diagrams/data1.xml\"/>"
         "</Relationships>"},
        {"ppt/notesSlides/notesSlide1.xml", slide_part("notes", vt::placeholder_shape("body", vt::slide_paragraph("note")))},
        {"ppt/comments/comment1.xml", "<p:cmLst " + ns + "><p:cm><p:text>remark</p:text></p:cm></p:cmLst>"},
        {"ppt/diagrams/data1.xml", data},
    };
    check_every_edit(dir, "built presentation", deck, false, shown);
    for (const std::string& kind : kinds()) EXPECT_GT(shown[kind], 0) << kind;
}

}  // namespace
