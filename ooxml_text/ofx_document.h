// What the walker consults beyond the part it walks, for one document: the
// package (parts reached through relationships: SmartArt data), Word's list
// numbering, note marks, the sections with their headers and footers, and
// the texts that each page file carries after its separator line.  Not part
// of the dump's interface.
//
// Where the texts beside the body go (shape and comment text on): each page
// file ends with the separator line, then the comments anchored on that
// page, the headers and footers of each section that begins on it, the
// footnotes and endnotes whose marks stand on it, each in the order of its
// anchor.  A comment, note, header or footer that nothing in the body names
// goes with the first page.  So an unchanged comment or header stays with
// the text it belongs to when pages are added or removed elsewhere.
#ifndef OFX_DOCUMENT_H
#define OFX_DOCUMENT_H

#include <map>
#include <set>
#include <string>
#include <vector>

#include "ofx.h"
#include "ofx_numbering.h"

struct ofx_package;

// Marks inside the walker's lines: U+FFFE, a kind letter, an id, U+FFFE;
// U+FFFF alone where a note's own mark belongs.  Neither ever comes from a
// document (the reader leaves them out).
#define OFX_MARK "\xEF\xBF\xBE"
#define OFX_NOTE_SELF "\xEF\xBF\xBF"

enum ofx_ref_kind : char {
    OFX_REF_COMMENT = 'C',
    OFX_REF_FOOTNOTE = 'F',
    OFX_REF_ENDNOTE = 'E',
    OFX_REF_HEADER = 'H',
    OFX_REF_FOOTER = 'T',
};

// How a section numbers its notes.
struct ofx_note_format {
    std::string format;  // "" when the section does not say
    long start = -1;     // -1 when the section does not say
    int restart = -1;    // 1 each section, 0 continuous, -1 not said
};

struct ofx_section {
    std::vector<std::pair<std::string, std::string>> headers;  // (type, part) in their order
    std::vector<std::pair<std::string, std::string>> footers;
    ofx_note_format footnotes, endnotes;
};

struct ofx_document {
    const ofx_package* pkg = nullptr;
    std::string part;  // the part being walked; relationships are read from it
    bool word = true;
    ofx_numbering numbering;

    // Note marks.
    ofx_note_format footnote_default, endnote_default;  // the settings part's
    std::vector<ofx_section> sections;                   // the body's, in order
    size_t section = 0;                                  // where the body walk stands
    long footnote_count = 0, endnote_count = 0;
    std::map<std::string, std::string> footnote_marks, endnote_marks;  // id -> mark

    // Every header and footer part of the document, in name order, and
    // the anchors the body holds (kind letter and id): what none names
    // goes with the first page.
    std::vector<std::string> all_headers, all_footers;
    std::set<std::string> anchors;

    // The texts of comments and notes, by id, read before the body.
    std::map<std::string, std::string> comments, footnotes, endnotes;
    std::vector<std::string> comment_order, footnote_order, endnote_order;

    // What the current page carries after its separator line, in the order
    // its anchors came.
    std::vector<std::pair<char, std::string>> page_refs;
    std::set<std::string> written;  // kind + id of everything written already
    bool section_pending = true;    // the current section's headers wait for its first line
    std::map<std::string, std::string> header_parts_shown;  // type -> part, as last shown

    // The next mark of a note referenced here: "1", "i", ... as the
    // section's format says; remembered for the note's own text.
    std::string note_mark(char kind, const std::string& id);

    // The body walk has passed the end of a section.
    void section_ended();

    // Lines of the body are about to be written: a section that has begun
    // gives its headers and footers to the current page.
    void lines_coming();

    // A comment or note anchored on the current page.
    void page_ref(char kind, const std::string& id);

    // Ends the current page: the separator line and everything anchored on
    // the page (shape and comment text on; nothing otherwise); the first
    // page also what nothing in the body names, the last page whatever has
    // not been written yet.  0, -2 or -103.
    int end_page(OFX_CONTEXT* ctx, bool last);

    // The text of the SmartArt diagram whose data part the relationship
    // rel_id of the current part names ("" when there is none).
    std::string smartart(const std::string& rel_id) const;

    // A header's or footer's lines, its label first.
    std::string header_text(char kind, const std::string& part, OFX_CONTEXT* ctx);

private:
    std::map<std::string, std::string> header_cache_;
    std::map<std::string, std::string> headers_now_, footers_now_;  // type -> part in force
    size_t footnote_section_ = 0, endnote_section_ = 0;  // where the last note was counted
    bool first_page_done_ = false;
    void add_unnamed();
};

// The sections of a document body in order: the parts of their headers and
// footers (relationship ids resolved with targets) and how they number
// notes.  A section ends with a w:sectPr in the properties of a body
// paragraph, the last one with the body's own.  anchors receives the
// comments and notes the body refers to (kind letter and id), as the walk
// will see them.
std::vector<ofx_section> ofx_read_sections(const char* xml, size_t len,
                                           const std::map<std::string, std::string>& targets,
                                           std::set<std::string>* anchors);

// The settings part's note numbering (w:footnotePr, w:endnotePr).
void ofx_read_note_settings(const char* xml, size_t len, ofx_note_format* footnotes, ofx_note_format* endnotes);

// Walks a part into text instead of the output file: the lines it gives
// (UTF-8), with the walker's marks.  For comment and note parts each item's
// text is handed to doc instead (comments, footnotes, endnotes).
int ofx_walk_to_text(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len, std::string* out);

#endif
