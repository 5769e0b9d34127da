#include "section_view.h"

#include <algorithm>

namespace {

using align::op;

// Cells a changed row may show before its unchanged ones are left out.
constexpr size_t WIDE_ROW = 8;

class writer {
public:
    writer(const hunk_style& st, std::string& out) : st_(st), out_(out) {}

    void colour(const char* c) {
        if (st_.colour) out_ += c;
    }
    void reset() {
        if (st_.colour) out_ += colour::reset;
    }
    // A whole line in one colour (none: nullptr).
    void line(const char* col, const std::string& text) {
        if (col) colour(col);
        out_ += text;
        if (col) reset();
        out_ += '\n';
    }
    void text(std::string_view s) { out_.append(s); }

    // The words of a changed text: the same ones as they are, the others as
    // "[-deleted-]" and "{+inserted+}".
    void marked(std::string_view a, std::string_view b, bool keep_tabs, bool cell) {
        for (const align::word_op& w : cell ? align::diff_cell(a, b) : align::diff_words(a, b)) {
            std::string v = align::visible(w.text, keep_tabs);
            if (w.kind == op::same) {
                out_ += v;
            } else if (w.kind == op::deleted) {
                colour(colour::removed);
                out_ += "[-" + v + "-]";
                reset();
            } else {
                colour(colour::added);
                out_ += "{+" + v + "+}";
                reset();
            }
        }
    }

private:
    const hunk_style& st_;
    std::string& out_;
};

// "l,n" as unified hunks give a range: the line before an empty range; no
// count when it is 1.
std::string range_text(long start, long count) {
    std::string s = std::to_string(start);
    if (count != 1) {
        s += ',';
        s += std::to_string(count);
    }
    return s;
}

std::string pad(long n, size_t width) {
    std::string s = n >= 0 ? std::to_string(n) : "";
    return std::string(width > s.size() ? width - s.size() : 0, ' ') + s;
}

// Renders hunks of one grid pair.
class hunk_renderer {
public:
    hunk_renderer(const align::layout& la, const align::layout& lb, const align::pair_script& s,
                  const hunk_style& st, std::string& out)
        : la_(la), lb_(lb), s_(s), st_(st), w_(st, out) {}

    // Titles: the hunks' heading, and a border row's page (by its index in
    // its document; the heading of a hunk that starts after a border is
    // that page's).
    std::string title;
    const view_document* doc_a = nullptr;
    const view_document* doc_b = nullptr;
    long first_a = 0, first_b = 0;  // the pages the grids start with

    void rows() { ops(s_.rows, la_.rows, lb_.rows, s_.sheet); }
    void notes() { ops(s_.notes, la_.notes, lb_.notes, false); }

private:
    void ops(const std::vector<align::row_op>& ops, const align::grid& a, const align::grid& b, bool sheet) {
        const size_t context = static_cast<size_t>(std::max(st_.context, 0));
        const long header = sheet ? align::header_row(b.rows() ? b : a) : -1;
        const align::grid& hg = b.rows() ? b : a;
        // The header row's numbers on both sides.
        long header_a = -1, header_b = -1;
        if (header >= 0) {
            for (const align::row_op& o : ops) {
                if ((&hg == &b ? o.b : o.a) != header) continue;
                header_a = o.a >= 0 ? a.number(o.a) : -1;
                header_b = o.b >= 0 ? b.number(o.b) : -1;
                break;
            }
        }
        size_t scanned = 0;             // the operations before it are counted in
        long before_a = 0, before_b = 0;  // the last rows before the hunk
        long page_a = -1, page_b = -1;    // the last borders up to the hunk's first row
        for (auto [first, last] : align::regions(ops, context)) {
            long a0 = -1, b0 = -1, na = 0, nb = 0;
            long max_number = 0;
            for (; scanned < first; ++scanned) {
                const align::row_op& o = ops[scanned];
                if (o.a >= 0 && a.is_border(o.a)) page_a = a.border_page(o.a);
                else if (o.a >= 0) before_a = a.number(o.a);
                if (o.b >= 0 && b.is_border(o.b)) page_b = b.border_page(o.b);
                else if (o.b >= 0) before_b = b.number(o.b);
            }
            long hunk_page_a = ops[first].a >= 0 && a.is_border(ops[first].a) ? a.border_page(ops[first].a) : page_a;
            long hunk_page_b = ops[first].b >= 0 && b.is_border(ops[first].b) ? b.border_page(ops[first].b) : page_b;
            for (size_t k = first; k < last; ++k) {
                const align::row_op& o = ops[k];
                if (o.a >= 0 && !a.is_border(o.a)) {
                    if (a0 < 0) a0 = a.number(o.a);
                    ++na;
                    max_number = std::max(max_number, a.number(o.a));
                }
                if (o.b >= 0 && !b.is_border(o.b)) {
                    if (b0 < 0) b0 = b.number(o.b);
                    ++nb;
                    max_number = std::max(max_number, b.number(o.b));
                }
            }
            std::string head = "@@ -";
            head += range_text(na ? a0 : before_a, na);
            head += " +";
            head += range_text(nb ? b0 : before_b, nb);
            head += " @@";
            std::string heading = hunk_title(hunk_page_a, hunk_page_b, b);
            if (!heading.empty()) {
                head += ' ';
                head += align::visible(heading);
            }
            w_.line(colour::hunk, head);
            width_ = std::to_string(max_number).size();
            // The sheet's header row above a hunk that starts below it.
            if (header >= 0) {
                long hn = hg.number(static_cast<size_t>(header));
                long first_number = b0 >= 0 ? b0 : a0;
                if (first_number > hn) {
                    width_ = std::max(width_, std::to_string(hn).size());
                    sheet_line(' ', nullptr, header_a, header_b, hg, static_cast<size_t>(header));
                }
            }
            for (size_t k = first; k < last; ++k) one(ops[k], a, b, sheet);
        }
    }

    // The heading of a hunk: the section's title, or in a group of pages the
    // page its first row stands on (page_a, page_b: the last border up to
    // it on either side, -1 for none).
    std::string hunk_title(long page_a, long page_b, const align::grid& b) {
        if (!doc_a && !doc_b) return title;
        if (doc_b && b.rows()) {
            long p = page_b >= 0 ? page_b : first_b;
            if (p >= 0 && static_cast<size_t>(p) < doc_b->sections.size())
                return doc_b->sections[static_cast<size_t>(p)].title;
        }
        if (doc_a) {
            long p = page_a >= 0 ? page_a : first_a;
            if (p >= 0 && static_cast<size_t>(p) < doc_a->sections.size())
                return doc_a->sections[static_cast<size_t>(p)].title;
        }
        return title;
    }

    void one(const align::row_op& o, const align::grid& a, const align::grid& b, bool sheet) {
        const char sign = o.kind == op::same ? ' ' : o.kind == op::deleted ? '-' : o.kind == op::inserted ? '+' : '~';
        const char* col = o.kind == op::deleted ? colour::removed : o.kind == op::inserted ? colour::added : nullptr;
        // A page border in a group: its page's title.
        const align::grid& g = o.b >= 0 ? b : a;
        const long r = o.b >= 0 ? o.b : o.a;
        if (g.is_border(static_cast<size_t>(r))) {
            const view_document* d = o.b >= 0 ? doc_b : doc_a;
            long page = g.border_page(static_cast<size_t>(r));
            std::string t = d && static_cast<size_t>(page) < d->sections.size()
                                ? d->sections[static_cast<size_t>(page)].title
                                : std::to_string(page + 1);
            w_.line(col, std::string(1, sign) + "=== " + align::visible(t) + " ===");
            return;
        }
        if (!sheet) {
            if (o.kind != op::changed) {
                w_.line(col, std::string(1, sign) + align::visible(g.cell(static_cast<size_t>(r), 0), true));
                return;
            }
            w_.colour(colour::changed);
            w_.text("~");
            w_.reset();
            w_.marked(a.cell(static_cast<size_t>(o.a), 0), b.cell(static_cast<size_t>(o.b), 0), true, false);
            w_.text("\n");
            return;
        }
        long na = o.a >= 0 ? a.number(o.a) : -1, nb = o.b >= 0 ? b.number(o.b) : -1;
        if (o.kind != op::changed) {
            sheet_line(sign, col, na, nb, g, static_cast<size_t>(r));
            return;
        }
        changed_row(a, static_cast<size_t>(o.a), b, static_cast<size_t>(o.b));
    }

    std::string gutter(char sign, long na, long nb) {
        return std::string(1, sign) + pad(na, width_) + " " + pad(nb, width_) + "\t";
    }

    void sheet_line(char sign, const char* col, long na, long nb, const align::grid& g, size_t r) {
        std::string text = gutter(sign, na, nb);
        for (size_t c = 0; c < g.width(r); ++c) {
            if (c) text += '\t';
            text += align::visible(g.cell(r, c));
        }
        while (!text.empty() && text.back() == '\t') text.pop_back();
        w_.line(col, text);
    }

    // A changed row: the second sheet's cells, each changed one by its
    // address with its words marked; in a wide row only the first cell and
    // the changed ones, the others left out ("…").
    void changed_row(const align::grid& a, size_t ra, const align::grid& b, size_t rb) {
        std::vector<align::cell_op> cells = align::row_cells(s_, a, ra, b, rb);
        // The cells shown: those of the second sheet's columns (a deleted
        // column's cell goes with its column), trailing empty ones left out.
        std::vector<align::cell_op> shown;
        for (const align::cell_op& c : cells)
            if (c.col_b >= 0) shown.push_back(c);
        while (!shown.empty() && !shown.back().changed && b.cell(rb, static_cast<size_t>(shown.back().col_b)).empty())
            shown.pop_back();
        const bool wide = shown.size() > WIDE_ROW;
        w_.colour(colour::changed);
        w_.text(std::string(1, '~'));
        w_.reset();
        std::string g = gutter('~', a.number(ra), b.number(rb)).substr(1);
        w_.text(g);
        bool skipped = false, first = true;
        for (size_t k = 0; k < shown.size(); ++k) {
            const align::cell_op& c = shown[k];
            const bool edit = c.changed && c.col_a >= 0;
            if (wide && !edit && k > 0) {
                skipped = true;
                continue;
            }
            if (!first) w_.text("\t");
            if (skipped) w_.text("…\t");
            skipped = false;
            first = false;
            std::string_view y = b.cell(rb, static_cast<size_t>(c.col_b));
            if (!edit) {
                w_.text(align::visible(y));
                continue;
            }
            w_.text(align::cell_name(c.col_b, b.number(rb)) + ": ");
            w_.marked(a.cell(ra, static_cast<size_t>(c.col_a)), y, false, true);
        }
        if (skipped) w_.text("\t…");
        w_.text("\n");
    }

    const align::layout& la_;
    const align::layout& lb_;
    const align::pair_script& s_;
    const hunk_style& st_;
    writer w_;
    size_t width_ = 1;
};

const char* kind_word(align::section_kind k) {
    switch (k) {
    case align::section_kind::sheet: return "sheet";
    case align::section_kind::page: return "page";
    case align::section_kind::slide: return "slide";
    default: return "section";
    }
}

// "C inserted, 5 cells: 単価, 150, 90, …": what an inserted or deleted
// column held.
std::string column_note(const align::grid& g, long column, const char* what) {
    std::string values;
    long filled = 0, listed = 0;
    for (size_t r = 0; r < g.rows(); ++r) {
        std::string_view v = g.cell(r, static_cast<size_t>(column));
        if (v.empty()) continue;
        ++filled;
        if (listed < 5) values += (listed ? ", " : "") + align::visible(v), ++listed;
    }
    std::string note = "# column " + align::column_name(column) + " " + what + ", " + std::to_string(filled) +
                       (filled == 1 ? " cell" : " cells");
    if (filled) note += ": " + values + (filled > listed ? ", …" : "");
    return note;
}

std::string titles(const view_document& d, long first, long last) {
    std::string t;
    for (long i = first; i < last; ++i) t += (i > first ? ", " : "") + d.sections[static_cast<size_t>(i)].title;
    return t;
}

}  // namespace

void render_hunks(const align::layout& la, const align::layout& lb, const align::pair_script& s,
                  const hunk_style& style, const std::string& title, std::string& out) {
    hunk_renderer h(la, lb, s, style, out);
    h.title = title;
    h.rows();
    h.notes();
}

void render_pair(const view_document& a, const view_document& b, const align::section_pair& p,
                 const align::layout& la, const align::layout& lb, const align::pair_script& s,
                 const hunk_style& style, std::string& out) {
    if (!p.inserted() && !p.deleted() && p.same && !p.renamed && !p.moved && !s.differs) return;
    writer w(style, out);
    const std::string& name_a = a.name;
    const std::string& name_b = b.name;
    w.line(colour::header, "--- " + (p.inserted() ? std::string("/dev/null")
                                                  : align::visible(name_a + ": " + titles(a, p.a0, p.a1))));
    w.line(colour::header, "+++ " + (p.deleted() ? std::string("/dev/null")
                                                 : align::visible(name_b + ": " + titles(b, p.b0, p.b1))));
    const align::section* sa = p.inserted() ? nullptr : &a.sections[static_cast<size_t>(p.a0)];
    const align::section* sb = p.deleted() ? nullptr : &b.sections[static_cast<size_t>(p.b0)];
    if (p.renamed) w.line(colour::hunk, "# renamed: " + align::visible(sa->title) + " → " + align::visible(sb->title));
    if (p.moved) {
        std::string k = kind_word(sb->kind);
        w.line(colour::hunk, "# moved: " + k + " " + std::to_string(p.a0 + 1) + " → " + k + " " +
                                 std::to_string(p.b0 + 1));
    }
    for (const align::column_pair& c : s.columns) {
        if (c.a < 0) w.line(colour::hunk, column_note(lb.rows, c.b, "inserted"));
        if (c.b < 0) w.line(colour::hunk, column_note(la.rows, c.a, "deleted"));
    }
    hunk_renderer h(la, lb, s, style, out);
    h.title = sb ? sb->title : sa->title;
    if (!s.sheet) {
        h.doc_a = &a;
        h.doc_b = &b;
        h.first_a = p.inserted() ? -1 : p.a0;
        h.first_b = p.deleted() ? -1 : p.b0;
    }
    h.rows();
    h.notes();
}
