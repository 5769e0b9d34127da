// A section's text split into rows of cells.
#include <algorithm>

#include "align.h"

namespace align {

void grid::reserve(size_t rows, size_t cells) {
    number_.reserve(rows);
    start_.reserve(rows + 1);
    cells_.reserve(cells);
}

void grid::add_row(long number) {
    number_.push_back(number);
    start_.push_back(cells_.size());
}

void grid::add_cell(std::string_view text) {
    cells_.push_back(text);
    ++start_.back();
    columns_ = std::max(columns_, width(rows() - 1));
}

void grid::add_border(long page) { add_row(-page); }

namespace {

// Every line a row of one cell, numbered from first.  The text from `from`
// on; returns the rows added.
void split_lines(std::string_view text, size_t from, long first, grid& g) {
    long number = first;
    while (from < text.size()) {
        size_t lf = text.find('\n', from);
        if (lf == std::string_view::npos) lf = text.size();
        g.add_row(number++);
        g.add_cell(text.substr(from, lf - from));
        from = lf + 1;
    }
}

// Where the next tab or line feed from `from` on stands (the end of the text
// when none does).
size_t separator(std::string_view text, size_t from) {
    const char* p = text.data();
    const size_t n = text.size();
    while (from < n && p[from] != '\t' && p[from] != '\n') ++from;
    return from;
}

// The rows of a sheet: each row's cells, each followed by a tab, then a line
// feed.  A cell listed in breaks runs over that many tabs or line feeds of
// its own.  Returns where the rows end.
size_t split_sheet(std::string_view text, long rows, const std::vector<cell_break>& breaks, grid& g) {
    size_t pos = 0, bi = 0;
    for (long r = 0; r < rows && pos < text.size(); ++r) {
        g.add_row(r + 1);
        for (long c = 0;; ++c) {
            if (pos >= text.size()) break;
            if (text[pos] == '\n') {
                ++pos;
                break;
            }
            while (bi < breaks.size() && (breaks[bi].row < r || (breaks[bi].row == r && breaks[bi].column < c))) ++bi;
            long skip = 0;
            if (bi < breaks.size() && breaks[bi].row == r && breaks[bi].column == c) skip = breaks[bi++].count;
            size_t end = pos;
            for (;;) {
                end = separator(text, end);
                if (end == text.size() || skip <= 0) break;
                --skip;
                ++end;
            }
            g.add_cell(text.substr(pos, end - pos));
            // A cell ends at its tab; a row cut short (no tab) at the line
            // feed, which then ends the row.
            pos = end < text.size() && text[end] == '\t' ? end + 1 : end;
        }
    }
    return pos;
}

// Without the dump's layout: every line a row, its cells parted by tabs
// (the tab after the last cell ends it, it starts no empty cell).
void split_rows_by_tabs(std::string_view text, grid& g) {
    size_t pos = 0;
    long number = 1;
    while (pos < text.size()) {
        size_t lf = text.find('\n', pos);
        if (lf == std::string_view::npos) lf = text.size();
        std::string_view line = text.substr(pos, lf - pos);
        g.add_row(number++);
        size_t at = 0;
        while (at < line.size()) {
            size_t tab = line.find('\t', at);
            if (tab == std::string_view::npos) tab = line.size();
            g.add_cell(line.substr(at, tab - at));
            at = tab + 1;
        }
        pos = lf + 1;
    }
}

}  // namespace

layout split(const section& s) {
    layout out;
    std::string_view text = s.text;
    if (s.kind != section_kind::sheet) {
        split_lines(text, 0, 1, out.rows);
        return out;
    }
    if (s.sheet_rows < 0) {
        split_rows_by_tabs(text, out.rows);
        return out;
    }
    out.rows.reserve(static_cast<size_t>(s.sheet_rows), static_cast<size_t>(std::count(text.begin(), text.end(), '\t')));
    size_t end = split_sheet(text, s.sheet_rows, s.breaks, out.rows);
    // The shape and comment text after the rows, numbered as lines of the
    // file.
    long line = 1;
    for (size_t i = 0; i < end; ++i) line += text[i] == '\n';
    split_lines(text, end, line, out.notes);
    return out;
}

layout pair_layout(const std::vector<section>& doc, long first, long last) {
    if (last - first == 1) return split(doc[static_cast<size_t>(first)]);
    layout out;
    for (long p = first; p < last; ++p) {
        if (p > first) out.rows.add_border(p);
        split_lines(doc[static_cast<size_t>(p)].text, 0, 1, out.rows);
    }
    return out;
}

}  // namespace align
