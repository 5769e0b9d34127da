#include "ooxml_helpers.h"

#include <gtest/gtest.h>

#include "mfile.h"
#include "ofx.h"
#include "orb_zip.h"
#include "orb_text.h"
#include "platform.h"

namespace vt {

namespace {

std::string utf8_of_cp932(const std::string& s) {
    std::string out = s;
    orb_convert_string(ORB_SJIS, ORB_UTF8, out);
    return out;
}

std::string without_cr(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') continue;
        out += s[i];
    }
    return out;
}

}  // namespace

dump_result run_dump(const scratch_dir& dir, const std::string& document, bool word, dump_options opt) {
    static int serial = 0;
    std::string folder = dir / ("out" + std::to_string(++serial));
    recording_ui ui;
    dump_request req{document.c_str(), folder.c_str(), opt.textbox, opt.allpage, dir.path().c_str(), &ui};
    if (opt.utf8) req.out_charset = ORB_UTF8;
    dump_result r;
    // The walker's own code in its message, as --debug shows it.
    ui_set_debug(true);
    r.rc = word ? dump_word_text(req) : dump_powerpoint_text(req);
    ui_set_debug(false);
    for (const auto& e : ui.errors) {
        EXPECT_FALSE(e.owned);
        std::string text = plat_utf8_from_native(e.text);
        // A failure names the document it is about; kept here without it.
        if (text.rfind("ERROR:ofx_", 0) == 0) {
            const std::string named = " (" + plat_utf8_from_native(document) + ")";
            EXPECT_TRUE(text.size() > named.size() && text.compare(text.size() - named.size(), named.size(), named) == 0)
                << text;
            if (text.size() > named.size()) text.resize(text.size() - named.size());
        }
        r.messages.push_back(text);
    }
    std::vector<plat_dirent> entries;
    if (plat_list_dir(folder.c_str(), entries) == 0) {
        for (const plat_dirent& e : entries) {
            std::string bytes = read_file(join(folder, e.name));
            std::string name = plat_utf8_from_native(e.name);
            r.raw[name] = bytes;
            r.files[name] = without_cr(opt.utf8 ? bytes : utf8_of_cp932(bytes));
        }
    }
    return r;
}

dump_result dump_package(const scratch_dir& dir, const std::vector<zip_member>& members, bool word,
                         dump_options opt) {
    static int serial = 0;
    std::string path = dir / ("doc" + std::to_string(++serial) + (word ? ".docx" : ".pptx"));
    EXPECT_TRUE(write_file(path, make_zip(members)));
    return run_dump(dir, path, word, opt);
}

dump_result dump_word_body(const scratch_dir& dir, const std::string& body, dump_options opt) {
    std::string xml =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>" +
        body + "</w:body></w:document>";
    return dump_package(dir, {{"[Content_Types].xml", "<Types/>"}, {"word/", ""}, {"word/document.xml", xml}},
                        true, opt);
}

const char* const kWordNamespaces =
    "xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\" "
    "xmlns:r=\"http://schemas.openxmlformats.org/officeDocument/2006/relationships\" "
    "xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\" "
    "xmlns:v=\"urn:schemas-microsoft-com:vml\" "
    "xmlns:w14=\"http://schemas.microsoft.com/office/word/2010/wordml\" "
    "xmlns:wp=\"http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing\" "
    "xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" "
    "xmlns:dgm=\"http://schemas.openxmlformats.org/drawingml/2006/diagram\" "
    "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";

std::vector<zip_member> word_package(const std::string& body, const std::vector<related_part>& parts) {
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships/";
    std::string rels = "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">";
    std::vector<zip_member> members{
        {"[Content_Types].xml", "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
                                "<Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>"},
        {"_rels/.rels", "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
                        "<Relationship Id=\"rId1\" Type=\"" + rel + "officeDocument\" Target=\"word/document.xml\"/>"
                        "</Relationships>"},
        {"word/document.xml", std::string("<w:document ") + kWordNamespaces + "><w:body>" + body +
                                  "</w:body></w:document>"},
    };
    int id = 0;
    for (const related_part& p : parts) {
        rels += "<Relationship Id=\"rId" + std::to_string(++id) + "\" Type=\"" + rel + p.type + "\" Target=\"" +
                p.name + "\"/>";
        members.push_back({"word/" + p.name, p.xml});
    }
    members.push_back({"word/_rels/document.xml.rels", rels + "</Relationships>"});
    return members;
}

dump_result dump_word(const scratch_dir& dir, const std::string& body, const std::vector<related_part>& parts,
                      dump_options opt) {
    return dump_package(dir, word_package(body, parts), true, opt);
}

std::vector<zip_member> package_members(const std::string& path) {
    std::vector<zip_member> out;
    char** table = nullptr;
    int capacity = 0;
    if (orb_grow_slots(&table, 4999, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP) != 0) return out;
    int count = capacity;
    if (orb_unzip_package(ORB_UNZIP_MEMORY, path.c_str(), "", &count, table) == 0) {
        for (int i = 0; i < count; ++i) {
            Mfile* f = mopen(table[i], "rb");
            if (!f) continue;
            out.push_back({table[i], std::string(reinterpret_cast<const char*>(f->data), f->data ? f->size : 0)});
            mclose(f);
        }
    }
    orb_free_slots(table, capacity);
    return out;
}

std::string slide_xml(const std::string& tree) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n"
           "<p:sld xmlns:a=\"http://schemas.openxmlformats.org/drawingml/2006/main\" xmlns:p=\"http://schemas.openxmlformats.org/presentationml/2006/main\"><p:cSld><p:spTree><p:nvGrpSpPr><p:cNvPr id=\"1\" name=\"\"/>"
           "<p:cNvGrpSpPr/><p:nvPr/></p:nvGrpSpPr><p:grpSpPr/>" +
           tree + "</p:spTree></p:cSld></p:sld>";
}

dump_result dump_slides(const scratch_dir& dir, const std::vector<std::string>& trees, dump_options opt) {
    std::vector<zip_member> members{{"[Content_Types].xml", "<Types/>"},
                                    {"ppt/presentation.xml", "<p:presentation/>"}};
    for (size_t i = 0; i < trees.size(); ++i) {
        std::string n = std::to_string(i + 1);
        members.push_back({"ppt/slides/slide" + n + ".xml", slide_xml(trees[i])});
        members.push_back({"ppt/slides/_rels/slide" + n + ".xml.rels", "<Relationships/>"});
    }
    return dump_package(dir, members, false, opt);
}

std::string slide_paragraph(const std::string& text) {
    return "<a:p><a:r><a:rPr lang=\"ja-JP\"/><a:t>" + text + "</a:t></a:r></a:p>";
}

std::string placeholder_shape(const std::string& type, const std::string& paragraphs, bool with_geometry) {
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"2\" name=\"" + type + "\"/><p:cNvSpPr/><p:nvPr><p:ph type=\"" + type +
           "\"/></p:nvPr></p:nvSpPr><p:spPr>" +
           (with_geometry ? "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom>" : "") +
           "</p:spPr><p:txBody><a:bodyPr/><a:lstStyle/>" + paragraphs + "</p:txBody></p:sp>";
}

std::string text_box_shape(const std::string& paragraphs) {
    return "<p:sp><p:nvSpPr><p:cNvPr id=\"3\" name=\"TextBox\"/><p:cNvSpPr txBox=\"1\"/><p:nvPr/></p:nvSpPr>"
           "<p:spPr><a:xfrm><a:off x=\"0\" y=\"0\"/><a:ext cx=\"1\" cy=\"1\"/></a:xfrm>"
           "<a:prstGeom prst=\"rect\"><a:avLst/></a:prstGeom></p:spPr><p:txBody><a:bodyPr/>" +
           paragraphs + "</p:txBody></p:sp>";
}

}  // namespace vt
