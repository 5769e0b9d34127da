// The alignment engine: what changed between two documents, as one edit
// script at four levels.
//
//   sections  sheets paired by name, then by what they hold (renamed,
//             moved); pages and slides aligned as a sequence (inserted,
//             deleted, moved, changed)
//   rows      rows or paragraphs: equal ones anchor the alignment, the
//             changed ones between anchors are paired by what they share
//   columns   inserted or deleted columns of a sheet
//   cells     the cells of a changed row, and the words of a changed cell or
//             paragraph (Japanese split by character class)
//
// Every renderer (the command line's view, the HTML report) only shows this
// script.  The cost stays near-linear in the size of the text: rows equal on
// both sides are found by hashing, and the similarity work on what lies
// between them is bounded per gap.
#ifndef VERGLE_ALIGN_H
#define VERGLE_ALIGN_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace align {

// ---------------------------------------------------------------------------
// Input
// ---------------------------------------------------------------------------

enum class section_kind : uint8_t {
    sheet,  // a workbook's sheet: rows of cells
    page,   // a Word document's page: lines
    slide,  // a presentation's slide: lines
    text,   // one file for a whole document: lines
};

// A cell whose text holds `count` line feeds or tabs (row and column from 0):
// in the written text such a cell runs over into the next line or cell.
struct cell_break {
    long row = 0, column = 0, count = 0;
};

// One section of a document as written: its title (the sheet's name or the
// file's), its text (lines ended by line feeds) and, for a sheet, what the
// dump said of its layout.
struct section {
    std::string title;
    section_kind kind = section_kind::text;
    std::string text;
    // Sheet: the rows the dump wrote, each one line of cells each followed by
    // a tab (the lines after them are shape and comment text); -1 when not
    // known (every line is then a row).
    long sheet_rows = -1;
    std::vector<cell_break> breaks;  // sorted by row, then column
};

// Rows of cells pointing into a section's text.  A sheet's row r (from 0) is
// row number r + 1; a line of a page is one row of one cell.  A cell past
// the end of its row is empty.
class grid {
public:
    // Room for this many rows and cells, so that a large grid is not moved
    // as it grows.
    void reserve(size_t rows, size_t cells);
    void add_row(long number);
    void add_cell(std::string_view text);  // to the last row
    // A row that stands for the border between two pages of a group.
    void add_border(long page);

    size_t rows() const { return number_.size(); }
    long number(size_t r) const { return number_[r]; }
    bool is_border(size_t r) const { return number_[r] <= 0; }
    // The page index a border row introduces.
    long border_page(size_t r) const { return -number_[r]; }
    size_t width(size_t r) const { return start_[r + 1] - start_[r]; }
    // Where row r's cells start among all cells of the grid.
    size_t offset(size_t r) const { return start_[r]; }
    std::string_view cell(size_t r, size_t c) const {
        return c < width(r) ? cells_[start_[r] + c] : std::string_view();
    }
    // The widest row's cell count.
    size_t columns() const { return columns_; }
    size_t cells() const { return cells_.size(); }

private:
    std::vector<std::string_view> cells_;
    std::vector<size_t> start_{0};
    std::vector<long> number_;
    size_t columns_ = 0;
};

// A section split into rows: for a sheet its rows of cells and the lines of
// shape and comment text after them; otherwise its lines.
struct layout {
    grid rows;
    grid notes;
};

// Splits a section's text.  The views point into s.text.
layout split(const section& s);

// ---------------------------------------------------------------------------
// Sections
// ---------------------------------------------------------------------------

// Sections of the first document a0 <= i < a1 against those of the second
// b0 <= j < b1.  A sheet or slide pair holds one of each; an empty range is
// a section deleted or inserted; a group of pages (a page break inserted
// or removed) holds several on either side, compared as one text.
struct section_pair {
    long a0 = 0, a1 = 0, b0 = 0, b1 = 0;
    bool renamed = false;  // a sheet paired with one of another name
    bool moved = false;    // out of the order of the others
    bool same = false;     // the same text (a renamed or moved pair may be)
    bool deleted() const { return b0 == b1; }
    bool inserted() const { return a0 == a1; }
};

// The sections of two documents aligned: every section of each in exactly
// one pair, in the order of the second document, a section found only in
// the first where it stood.
std::vector<section_pair> align_sections(const std::vector<section>& a, const std::vector<section>& b);

// The text of a pair's side as one layout: a single section as split(), a
// group of pages one after the other with a border row before each page
// after the first.  An empty range gives an empty layout.
layout pair_layout(const std::vector<section>& doc, long first, long last);

// ---------------------------------------------------------------------------
// Rows, columns, cells
// ---------------------------------------------------------------------------

enum class op : uint8_t { same, changed, deleted, inserted };

// A row of one side (index into its grid, -1 where the row has no
// counterpart) and what became of it.
struct row_op {
    op kind;
    long a, b;
};

// A column of the first sheet and the column of the second that stands for
// it; -1 for a column inserted (a) or deleted (b).  Without columns inserted
// or deleted, the columns are paired by place (a column past the end of one
// sheet stands for an empty one).
struct column_pair {
    long a, b;
};

struct pair_script {
    bool sheet = false;
    std::vector<column_pair> columns;  // sheets: in order
    bool columns_shifted = false;      // columns inserted or deleted
    std::vector<row_op> rows;   // every row of both sides, in order
    std::vector<row_op> notes;  // sheet: the shape and comment lines
    bool differs = false;       // rows, notes or columns
};

// Aligns one pair's rows (and columns, when both are sheets).
pair_script align_pair(const layout& a, const layout& b, section_kind kind);

// The regions of a list of row operations worth showing: ranges [first,
// last) of it, each change with up to `context` unchanged rows around it;
// changes closer than twice the context share a region.
std::vector<std::pair<size_t, size_t>> regions(const std::vector<row_op>& ops, size_t context);

// The cells of a row pair in the order of the script's columns, up to the
// last cell of either row: each with its column on either side (-1 where
// the column was inserted or deleted) and whether its text changed (a cell
// of an inserted or deleted column changed when it holds text).
struct cell_op {
    long col_a, col_b;
    bool changed;
};
std::vector<cell_op> row_cells(const pair_script& s, const grid& a, size_t row_a, const grid& b, size_t row_b);

// The words of two texts aligned: equal, deleted and inserted pieces in
// order (the pieces of one side, read in order, give its text).  Text is
// split into words of one character class: runs of kanji, of hiragana, of
// katakana, Latin words, numbers (with their inner "," and "."), blanks;
// anything else is a word of its own.  A changed run of Japanese script
// keeps its common start and end, so that one changed character or word is
// one mark.  Changes parted by nothing but blanks (not a tab) are one
// piece.
struct word_op {
    op kind;  // same, deleted or inserted
    std::string_view text;
};
std::vector<word_op> diff_words(std::string_view a, std::string_view b);

// The words of two cells: as diff_words, unless what the two share is
// shorter than what changed on either side ("25%" to "27%"); the whole cell
// is then one change.
std::vector<word_op> diff_cell(std::string_view a, std::string_view b);

// How alike two texts are by their words (not counting blanks), from 0 to 1.
double word_similarity(std::string_view a, std::string_view b);

// ---------------------------------------------------------------------------
// What a renderer needs besides the script
// ---------------------------------------------------------------------------

// The column letters of a column from 0 ("A", ..., "Z", "AA", ...).
std::string column_name(long column);
// "C5" for column 2, row number 5.
std::string cell_name(long column, long row_number);

// The row of a sheet that names its columns, or -1: among the first ten
// rows, the first with at least two cells and no number among them.
long header_row(const grid& g);

// Text as it may be shown on a terminal or in a page: control characters
// made visible ("^[" for ESC, "^M" for CR, "^?" for DEL, "<U+0085>" for the
// C1 controls and the marks that turn text around), bytes that are not
// UTF-8 as "\xNN".  Tabs are kept when keep_tabs is set, else shown as "^I";
// line feeds are always shown as "^J".
std::string visible(std::string_view text, bool keep_tabs = false);

// ---------------------------------------------------------------------------
// Counts
// ---------------------------------------------------------------------------

struct summary {
    // Sections: sheets, pages or slides.
    long added = 0, removed = 0, renamed = 0, moved = 0, changed = 0, same = 0;
    long cells_changed = 0;                      // cells of paired rows
    long rows_inserted = 0, rows_deleted = 0;    // sheet rows, or lines
    long columns_inserted = 0, columns_deleted = 0;
    long lines_changed = 0;                      // paired lines of pages and slides
    bool differs() const { return added || removed || renamed || moved || changed; }
};

// Adds a pair and its script to the counts.
void count(summary& sum, const section_pair& p, const pair_script& s, const layout& a, const layout& b);

}  // namespace align

#endif
