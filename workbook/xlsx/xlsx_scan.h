// The XML event scanner of the Open XML workbook reader, and the element
// handlers it calls for each kind of package member.
//
// The scanner is not a general XML parser.  It walks a member's text once, in
// place, recognises a fixed set of element names, keeps a stack of at most
// 100 open elements, and hands four kinds of events to the handler of the
// member's part kind:
//
//   XML_START  a start tag "<name ...>" (the tag text, at most 255 bytes;
//              a longer tag loses what lies beyond, except a "numFmt",
//              which comes whole)
//   XML_EMPTY  a self-closing tag "<name .../>" (the tag text, as above)
//   XML_LEAF   the text content of an element that had no child element,
//              at its end tag (a view into the member, not a copy)
//   XML_END    the end tag of an element that had child elements
//
// Nothing is copied while scanning: tag texts and contents are views into
// the member's text, and each handler copies what it keeps.  A large
// container (the sheet data, a row) is therefore never copied at all.
//
// Results of the scanner and of every handler: 0 to go on; -1 malformed input
// (an end tag without open element, an element name longer than 80 bytes, a
// cell reference that does not parse); -9 more than 100 nested elements, or a
// text that cannot be unescaped; -2 memory exhausted.  The first non-zero
// result ends the member.
#ifndef XLSX_SCAN_H
#define XLSX_SCAN_H

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "tabx.h"

// Part kinds: one per member that is read.
enum {
    PART_WORKSHEET = 100,
    PART_SHARED_STRINGS = 101,
    PART_DRAWING = 102,
    PART_COMMENTS = 103,
    PART_WORKBOOK = 104,
    PART_CUSTOM_PROPS = 114,
    PART_STYLES = 116,
};

// Element codes of the recognised names (-1: not recognised; no handler
// sees such an element, though its children are scanned).
enum {
    X_NONE = -1,
    // worksheet
    X_WORKSHEET = 1, X_SHEETPR, X_SHEETVIEWS, X_SHEETFORMATPR, X_COLS, X_COL, X_SHEETDATA,
    X_ROW, X_C, X_V, X_F, X_SHEETPROTECTION, X_PAGEMARGINS, X_PAGESETUPPR, X_MERGECELLS,
    X_MERGECELL, X_IS,
    // workbook
    X_SHEETS, X_SHEET,
    // shared strings and comments
    X_SI, X_T, X_R, X_RPH, X_TEXT,
    // styles
    X_NUMFMTS, X_NUMFMT, X_FONTS, X_FONT, X_SZ, X_NAME, X_FILL, X_PATTERNFILL, X_BORDER,
    X_TOP, X_BOTTOM, X_LEFT, X_RIGHT, X_COLOR, X_CELLXFS, X_XF,
    // custom properties
    X_PROPERTY, X_VT_LPWSTR,
    // drawings
    X_TWOCELLANCHOR, X_ONECELLANCHOR, X_CNVPR, X_TXBODY, X_PRSTGEOM, X_A_P, X_A_T,
    X_WORKBOOKPR,
    X_C_CHART,  // a chart in a drawing: its text is read from the chart part
};

enum xml_event { XML_START, XML_EMPTY, XML_LEAF, XML_END };

enum {
    XML_STACK_MAX = 100,    // open elements
    XML_TAG_MAX = 255,      // bytes of a tag text handed to a handler
    XML_NAME_MAX = 80,      // bytes of an element name
    // An assembled text keeps Excel's longest cell text, 32,767 characters:
    // at most 98301 bytes of UTF-8 once unescaped, and as written (where an
    // escaped character takes up to a dozen bytes) at most 12 times 32,767.
    XML_TEXT_MAX = 98301,
    XML_TEXT_RAW_MAX = 12 * 32767,
    XML_VALUE_MAX = 4000,   // bytes of a number value
};

struct xlsx_charts;  // xlsx_chart.h

// State of one load that outlives a member.
struct xlsx_reader {
    xlsx_charts* charts = nullptr;        // the charts the drawing being read names
    int xf_base = 0;                      // first cell format of the styles part
    std::vector<std::string> sheet_names; // the workbook's sheet list, in order
    std::vector<std::string> sheet_rids;  // their relationship ids
};

struct xlsx_sheet_formulas;  // sheet_formulas.cpp

// Scanner context, one per member being read.
struct xml_scan {
    XLS_BOOK* book = nullptr;
    xlsx_reader* reader = nullptr;
    int part = 0;
    int container = X_NONE;  // code of the enclosing element
    int sheet = 0;           // sheet index that the member fills or belongs to

    // Worksheet cell state.
    int row = -1, column = -1;    // current cell, 0-based
    int xf = 0;                   // current cell format (index into book->xf)
    int pending = 10;             // pending value type of the current cell
    int format_type = 10;         // value type of the current cell format
    char cell_kind = 0;           // the cell's "t": 's', 'S' (str), 'e', 'b', 'i', 'd'

    // Styles state.
    int xf_seen = 0;

    int phonetic = 0;  // open "rPh" elements: their text is a reading

    std::string text;  // assembled text (shared string, shape, comment, formula)

    // The worksheet's formulas, when the book keeps them (sheet_formulas.cpp).
    std::shared_ptr<xlsx_sheet_formulas> formulas;
};

// Scans one member's text (len bytes, need not be terminated).  0, or the
// first non-zero result (see above).
int xml_scan_member(xml_scan& s, const char* text, size_t len);

// The scanner's own state while it walks a member: its open elements.
struct xml_walk {
    struct open_element {
        int code;
        bool has_child;
        size_t content;  // offset where its content begins
    };
    open_element stack[XML_STACK_MAX];
    int depth = 0;
    bool root_seen = false;
    std::string prefix;  // of the spreadsheet namespace, from the root tag
    unsigned tags = 0;   // tags read: the cancel function is asked every 16,384

    // Scans text[from, len).  With last false, a construct that the text
    // does not complete (a tag, a comment, a CDATA section) is left for
    // later and *stop is the offset of its '<'; else *stop is len.  0, or
    // the first non-zero result.
    int scan(xml_scan& s, const char* text, size_t len, size_t from, bool last, size_t* stop);
    // Reads the common forms of a cell's content at once (xml_scanner.cpp).
    int cell_content(xml_scan& s, const char* v, const char* end, const char** after);
    // The first offset still needed when the scan stopped at stop: the
    // content of an element that has had no child element yet is handed on
    // whole at its end tag.
    size_t needed_from(size_t stop) const;
    // The text before offset by was let go: offsets move down.
    void shift(size_t by);
};

enum {
    XML_STREAM_BUFFER = 256 * 1024,  // a streamed member's first buffer
    XML_STREAM_STEP = 64 * 1024,     // bytes gathered before each scan
};

// A member read piece by piece (inflated straight into the scanner): the
// same events as xml_scan_member gives for the whole text, wherever the
// pieces cut it.  Only what a later piece completes is held back: a tag
// cut in two, the text of an element still open.
class xml_stream {
public:
    // step: bytes gathered before a scan (tests and fuzzing scan after
    // every piece with 1).
    explicit xml_stream(xml_scan& s, size_t step = XML_STREAM_STEP);
    ~xml_stream();
    xml_stream(const xml_stream&) = delete;
    xml_stream& operator=(const xml_stream&) = delete;
    // Room for at least n more bytes after those held; nullptr when memory
    // runs out.  Valid until the next call.
    char* space(size_t n);
    // n bytes were written into space(): scans what they complete.  0, or
    // the scanner's first non-zero result, after which the member is done.
    int add(size_t n);
    // The member ends: scans the rest.  0, or the first non-zero result.
    int finish();

private:
    int scan(bool last);
    xml_scan& s_;
    xml_walk walk_;
    char* buf_ = nullptr;
    size_t cap_ = 0, len_ = 0;
    size_t resume_ = 0;  // where the next scan begins
    size_t seen_ = 0;    // bytes held at the last scan
    size_t step_;
};

// The element code of a name (len bytes), X_NONE when not recognised.
int xml_element_code(const char* name, size_t len);

// Attributes of a tag text: name="value" pairs, values with their quotes.
struct xml_attrs {
    std::string_view rest;
    explicit xml_attrs(std::string_view tag);
    // The next attribute; false at the end.  raw keeps the value's quotes.
    bool next(std::string_view& name, std::string_view& raw);
};

// A value without its enclosing double (or single) quotes.
std::string_view xml_unquoted(std::string_view raw);

// Leading decimal integer of a text (optional sign), 0 when there is none;
// saturates at the 64-bit limits.
long long xml_leading_int(std::string_view text);

// Appends a piece to the assembled text, as much of it as keeps the text
// within XML_TEXT_RAW_MAX bytes (cut before a character or an entity that
// would not fit whole).
void xml_append_piece(xml_scan& s, std::string_view piece);

// Unescapes a text in place: entity references, numeric character
// references and the "_x005F" forms.  0, or -9 when it cannot be unescaped.
int xml_unescape_text(std::string& text);

// Unescapes the assembled text and folds its CR LF pairs into out, cut to
// XML_TEXT_MAX bytes on a character boundary; the assembled text is
// emptied.  0, or -9 when the text cannot be unescaped.
int xml_take_text(xml_scan& s, std::string& out);

// Keeps count of the open phonetic runs ("rPh"); true for a "t" that lies
// inside one.
bool xml_track_phonetic(xml_scan& s, int event, int code);

// Per-part handlers.
int sheet_xml_event(xml_scan& s, int event, int code, std::string_view text);
int workbook_part_event(xml_scan& s, int event, int code, std::string_view text);
int shared_strings_event(xml_scan& s, int event, int code, std::string_view text);
int styles_part_event(xml_scan& s, int event, int code, std::string_view text);
int drawing_part_event(xml_scan& s, int event, int code, std::string_view text);
int comments_part_event(xml_scan& s, int event, int code, std::string_view text);
int custom_props_event(xml_scan& s, int event, int code, std::string_view text);

// Keeps the formula of the current cell for a book that keeps formulas:
// the "f" element's start or empty tag (its attributes) and its text.
// 0, or -2.
int xlsx_formula_event(xml_scan& s, int event, std::string_view text);

// A shared formula's text moved by rows and columns: its relative
// references follow, absolute ones stay, strings and quoted names are left
// alone; a reference moved off the sheet becomes "#REF!".
std::string xlsx_moved_formula(std::string_view text, long rows, long columns);

// Parses an A1 reference ("$B$3", "b3") into 0-based row and column.
// 0, or -1 when it does not parse or lies beyond XFD1048576.
int xlsx_parse_ref(std::string_view ref, int* row, int* column);

#endif
