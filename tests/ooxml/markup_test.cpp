// The markup as XML says it: names known by namespace URI, never by
// prefix; the forms that once cost quadratic time read right; members that
// hold no text are never inflated.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "mfile.h"
#include "ofx.h"
#include "ooxml_helpers.h"

namespace {

const std::string kW = "http://schemas.openxmlformats.org/wordprocessingml/2006/main";

std::string body_of(const vt::dump_result& d) {
    std::string s;
    for (const auto& [name, text] : d.files) s += "[" + name + "]" + text;
    return s;
}

TEST(Namespaces, KnownByUriNotPrefix) {
    vt::scratch_dir dir;
    struct {
        std::string document;
        std::string want;
    } cases[] = {
        // Another prefix for the same namespace, for elements and attributes.
        {"<x:document xmlns:x=\"" + kW + "\"><x:body><x:p><x:r><x:t>one</x:t><x:br x:type=\"page\"/><x:t>two</x:t>"
         "<x:sym x:char=\"03B1\"/></x:r></x:p></x:body></x:document>",
         "[ページ001]one\n[ページ002]twoα\n"},
        // The default namespace.
        {"<document xmlns=\"" + kW + "\"><body><p><r><t>plain</t></r></p></body></document>", "[ページ001]plain\n"},
        // An attribute in another namespace is another attribute: a line
        // break, not a page break.
        {"<w:document xmlns:w=\"" + kW + "\" xmlns:o=\"urn:other\"><w:body><w:p><w:r><w:t>a</w:t><w:br o:type=\"page\"/>"
         "<w:t>b</w:t></w:r></w:p></w:body></w:document>",
         "[ページ001]a\nb\n"},
        // The prefix w bound to another namespace names nothing of Word's;
        // a declaration ends with its element.
        {"<w:document xmlns:w=\"" + kW + "\"><w:body><w:p xmlns:w=\"urn:not-word\"><w:r><w:t>foreign</w:t></w:r>"
         "</w:p><q:p xmlns:q=\"" + kW + "\"><q:r><q:t>scoped</q:t></q:r></q:p><q:p><q:r><q:t>undeclared</q:t></q:r>"
         "</q:p><w:p><w:r><w:t>word</w:t></w:r></w:p></w:body></w:document>",
         "[ページ001]scoped\nword\n"},
    };
    for (const auto& c : cases) {
        vt::dump_result d = vt::dump_package(dir, {{"word/document.xml", c.document}}, true);
        ASSERT_EQ(d.rc, 0) << c.document;
        EXPECT_EQ(body_of(d), c.want) << c.document;
    }
    // PowerPoint: a slide written with other prefixes.
    std::string slide =
        "<z:sld xmlns:z=\"http://schemas.openxmlformats.org/presentationml/2006/main\" "
        "xmlns:y=\"http://schemas.openxmlformats.org/drawingml/2006/main\"><z:cSld><z:spTree><z:sp><z:nvSpPr><z:nvPr>"
        "<z:ph type=\"title\"/></z:nvPr></z:nvSpPr><z:txBody><y:p><y:r><y:t>title</y:t></y:r></y:p></z:txBody></z:sp>"
        "</z:spTree></z:cSld></z:sld>";
    vt::dump_result d = vt::dump_package(
        dir, {{"ppt/presentation.xml", "<p:presentation/>"}, {"ppt/slides/slide1.xml", slide}}, false);
    EXPECT_EQ(body_of(d), "[スライド000]title\n");
}

// Forms that cost quadratic time before (declarations piling up, long
// tags, deep nesting) give their whole text.  Their time is measured in
// bench/bench_ooxml.py.
TEST(Markup, PathologicalFormsReadWhole) {
    vt::scratch_dir dir;
    const int n = 50000;
    std::string each_declares, pictures, expected, expected_pictures;
    for (int i = 0; i < n; ++i) {
        std::string s = std::to_string(i);
        // Every other paragraph declares the document's own prefix again.
        each_declares += "<w:p" + (i % 2 ? " xmlns:w=\"" + kW + "\"" : std::string()) + " xmlns:x" + s + "=\"urn:x" +
                         s + "\"><w:r><w:t>" + s + "</w:t></w:r></w:p>";
        expected += s + "\n";
    }
    // Pictures as Word writes them: three declarations each.
    for (int i = 0; i < 2000; ++i) {
        pictures += "<w:p><w:r><w:t>p" + std::to_string(i) + "</w:t></w:r><w:r><w:drawing><wp:inline xmlns:wp=\"http://"
                    "schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\"><a:graphic xmlns:a=\"http://"
                    "schemas.openxmlformats.org/drawingml/2006/main\"><a:graphicData><pic:pic xmlns:pic=\"http://"
                    "schemas.openxmlformats.org/drawingml/2006/picture\"/></a:graphicData></a:graphic></wp:inline>"
                    "</w:drawing></w:r></w:p>";
        expected_pictures += "p" + std::to_string(i) + "\n";
    }
    std::string many_attributes = "<w:p";
    for (int i = 0; i < 100000; ++i) many_attributes += " w:a" + std::to_string(i) + "=\"v\"";
    many_attributes += " xmlns:last=\"urn:last\"><w:r><w:t>attributes</w:t></w:r></w:p>";
    std::string many_declarations = "<w:p";
    for (int i = 0; i < 20000; ++i) many_declarations += " xmlns:d" + std::to_string(i) + "=\"urn:d\"";
    many_declarations += "><d19999:x/><w:r><w:t>declarations</w:t></w:r></w:p>";
    std::string nesting;
    for (int i = 0; i < 5000; ++i) {
        for (int k = 0; k < 45; ++k) nesting += "<w:sdt><w:sdtContent>";
        nesting += "<w:p><w:r><w:t>n</w:t></w:r></w:p>";
        for (int k = 0; k < 45; ++k) nesting += "</w:sdtContent></w:sdt>";
    }
    std::string expected_nesting;
    for (int i = 0; i < 5000; ++i) expected_nesting += "n\n";
    struct {
        std::string body;
        std::string want;
    } cases[] = {
        {each_declares, expected},
        {pictures, expected_pictures},
        {many_attributes + many_declarations, "attributes\ndeclarations\n"},
        {nesting, expected_nesting},
    };
    for (const auto& c : cases) {
        vt::dump_result d = vt::dump_word(dir, c.body, {}, {false, true});
        ASSERT_EQ(d.rc, 0) << c.body.substr(0, 80);
        EXPECT_EQ(d.files["全文"], c.want) << c.body.substr(0, 80);
    }
}

TEST(Package, MembersWithoutTextAreNeverInflated) {
    vt::scratch_dir dir;
    std::string noise;
    unsigned seed = 7;
    for (int i = 0; i < 1 << 20; ++i) {
        seed = seed * 1103515245u + 12345u;
        noise += static_cast<char>(seed >> 24);
    }
    const std::string types =
        "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
        "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
        "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
        "<Default Extension=\"png\" ContentType=\"image/png\"/>"
        "<Default Extension=\"odttf\" ContentType=\"application/vnd.openxmlformats-officedocument.obfuscatedFont\"/>"
        "<Override PartName=\"/word/main.part\" ContentType=\"application/vnd.openxmlformats-officedocument."
        "wordprocessingml.document.main+xml\"/>"
        "<Override PartName=\"/word/picture.xml\" ContentType=\"image/svg\"/></Types>";
    std::vector<vt::zip_member> members{
        {"[Content_Types].xml", types},
        {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"http://schemas.openxmlformats.org/officeDocument/2006/"
                        "relationships/officeDocument\" Target=\"word/main.part\"/></Relationships>"},
        {"word/main.part", "<w:document xmlns:w=\"" + kW + "\"><w:body><w:p><w:r><w:t>read</w:t></w:r></w:p>"
                           "</w:body></w:document>"},
        {"word/media/image1.png", noise, false},
        {"word/fonts/font1.odttf", noise},
        {"word/embeddings/oleObject1.bin", noise},
        {"word/picture.xml", "<svg/>"},
    };
    // The part the content types call the document is read, whatever its
    // name; pictures, fonts, embedded objects and a part whose content type
    // is not XML are never inflated.
    mcloseall();
    vt::dump_result d = vt::dump_package(dir, members, true);
    ASSERT_EQ(d.rc, 0) << (d.messages.empty() ? "" : d.messages[0]);
    EXPECT_EQ(body_of(d), "[ページ001]read\n");
    for (const char* name : {"word/media/image1.png", "word/fonts/font1.odttf", "word/embeddings/oleObject1.bin",
                             "word/picture.xml"}) {
        Mfile* f = mopen(name, "rb");
        EXPECT_EQ(f, nullptr) << name;
        if (f) mclose(f);
    }
    Mfile* main = mopen("word/main.part", "rb");
    EXPECT_NE(main, nullptr);
    if (main) mclose(main);
    // Without content types, the names decide: XML and relationships.
    members.erase(members.begin());
    members.push_back({"word/document.xml", members[1].data});
    mcloseall();
    vt::dump_result bare = vt::dump_package(dir, members, true);
    EXPECT_EQ(body_of(bare), "[ページ001]read\n");
    Mfile* media = mopen("word/media/image1.png", "rb");
    EXPECT_EQ(media, nullptr);
    if (media) mclose(media);
}

}  // namespace
