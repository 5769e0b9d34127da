// Runs the Word and PowerPoint dumps on packages built in the test and reads
// back what they wrote.
#ifndef VERGLE_OOXML_HELPERS_H
#define VERGLE_OOXML_HELPERS_H

#include <map>
#include <string>
#include <vector>

#include "test_support.h"
#include "test_zip.h"

namespace vt {

struct dump_result {
    int rc = 0;
    std::vector<std::string> messages;          // shown errors, UTF-8
    std::map<std::string, std::string> files;   // output file name -> text, both UTF-8, CR LF as LF
    std::map<std::string, std::string> raw;     // output file name (UTF-8) -> bytes as written
};

struct dump_options {
    bool textbox = false;
    bool allpage = false;
    bool utf8 = false;  // files in UTF-8 instead of code page 932
};

// Dumps a document file into a fresh folder below dir.
dump_result run_dump(const scratch_dir& dir, const std::string& document, bool word, dump_options opt = {});

// Packs the members, dumps the package.
dump_result dump_package(const scratch_dir& dir, const std::vector<zip_member>& members, bool word,
                         dump_options opt = {});

// A Word package whose document body is `body`.
dump_result dump_word_body(const scratch_dir& dir, const std::string& body, dump_options opt = {});

// The namespace declarations of a Word part (w, r, m, v, w14, wp, a, dgm,
// mc) and a package of a Word document: the body, and parts related to the
// document by the relationship types named (numbering, styles, settings,
// footnotes, endnotes, comments, header, footer, diagramData): each
// (type, member name relative to word/, part XML), with ids rId1, rId2 ...
// in this order.
extern const char* const kWordNamespaces;
struct related_part {
    std::string type;
    std::string name;
    std::string xml;
};
std::vector<zip_member> word_package(const std::string& body, const std::vector<related_part>& parts = {});
dump_result dump_word(const scratch_dir& dir, const std::string& body, const std::vector<related_part>& parts = {},
                      dump_options opt = {});

// Every member of a package, read through the package layer (none for a
// package that cannot be unpacked).
std::vector<zip_member> package_members(const std::string& path);

// A presentation whose slides hold these shape trees, in order.
dump_result dump_slides(const scratch_dir& dir, const std::vector<std::string>& trees, dump_options opt = {});

// Slide XML around a shape tree.
std::string slide_xml(const std::string& tree);

// A shape: title placeholder, body placeholder, text box, with paragraphs.
std::string placeholder_shape(const std::string& type, const std::string& paragraphs, bool with_geometry = false);
std::string text_box_shape(const std::string& paragraphs);
std::string slide_paragraph(const std::string& text);

}  // namespace vt

#endif
