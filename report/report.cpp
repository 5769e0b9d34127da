#include "report.h"

#include <algorithm>

namespace report {

namespace {

using align::op;

// A run of rows inserted or deleted together shows this many, the rest
// folded (a sheet added whole is a change of one run).
constexpr size_t MAX_RUN_SHOWN = 100;

const char* const STYLE = R"CSS(
:root { --ins: #d9f5d3; --ins-strong: #8fd88a; --del: #fbdcdc; --del-strong: #f09a9a; --chg: #fff2b3;
        --line: #d0d4da; --muted: #6b7280; --current: #2563eb; }
* { box-sizing: border-box; }
body { margin: 0; font: 14px/1.45 system-ui, "Noto Sans CJK JP", "IPAGothic", sans-serif; color: #1f2328;
       background: #f6f7f9; }
header { position: sticky; top: 0; z-index: 3; background: #fff; border-bottom: 1px solid var(--line);
         padding: 10px 20px; display: flex; flex-wrap: wrap; gap: 8px 24px; align-items: center; }
h1 { font-size: 16px; margin: 0; font-weight: 600; }
h1 .arrow { color: var(--muted); margin: 0 6px; }
#summary { border-collapse: collapse; font-size: 13px; }
#summary th { font-weight: normal; color: var(--muted); padding: 0 4px 0 12px; text-align: right; }
#summary td { font-weight: 600; padding: 0 4px; }
#nav { margin-left: auto; display: flex; gap: 6px; align-items: center; color: var(--muted); font-size: 13px; }
#nav button { font: inherit; padding: 2px 10px; border: 1px solid var(--line); border-radius: 4px; background: #fff;
              cursor: pointer; }
main { padding: 12px 20px 40px; }
nav.toc { margin: 0 0 16px; font-size: 13px; }
nav.toc ul { list-style: none; margin: 0; padding: 0; display: flex; flex-wrap: wrap; gap: 4px 14px; }
.st { font-size: 11px; padding: 0 5px; border-radius: 3px; background: #e5e7eb; color: #374151; margin-left: 4px; }
.st-added { background: var(--ins-strong); } .st-removed { background: var(--del-strong); }
.st-changed { background: #f7d774; } .st-renamed, .st-moved { background: #c7d2fe; }
section.pair { background: #fff; border: 1px solid var(--line); border-radius: 6px; margin: 0 0 18px; }
section.pair > h2 { font-size: 15px; margin: 0; padding: 8px 12px; border-bottom: 1px solid var(--line); }
p.note { margin: 6px 12px; color: #374151; }
.wrap { overflow-x: auto; }
table.grid, table.side { border-collapse: collapse; font-size: 13px; margin: 0; }
table.side { width: 100%; table-layout: fixed; }
.grid th, .grid td, .side td, .side th { border: 1px solid #e3e6ea; padding: 2px 6px; vertical-align: top;
  white-space: pre-wrap; word-break: break-word; }
.grid td { min-width: 4em; max-width: 28em; }
.grid thead th { position: sticky; top: 0; background: #eef0f3; font-weight: 600; text-align: center; }
.grid thead tr.names th { font-weight: normal; background: #f5f6f8; text-align: left; }
.grid th.rn, .side td.ln { background: #f5f6f8; color: var(--muted); text-align: right; font-weight: normal;
  white-space: nowrap; }
.side td.ln { width: 3.5em; }
.side thead th { background: #eef0f3; text-align: left; }
tr.fold td { background: #f3f4f6; color: var(--muted); text-align: center; font-style: italic; }
tr.row-ins td, tr.row-ins th.rn { background: var(--ins); }
tr.row-del td, tr.row-del th.rn { background: var(--del); }
tr.row-del td:not(.ln) { text-decoration: line-through; text-decoration-color: #b91c1c; }
tr.border td { background: #eef2ff; color: #3730a3; text-align: center; }
td.cell-chg { background: var(--chg); }
td.cell-chg .old { color: #7f1d1d; } td.cell-chg .new { color: #14532d; }
th.col-ins, td.col-ins { background: var(--ins); box-shadow: inset 2px 0 #34a853, inset -2px 0 #34a853; }
th.col-del, td.col-del { background: var(--del); text-decoration: line-through;
  box-shadow: inset 2px 0 #d93025, inset -2px 0 #d93025; }
del { background: var(--del-strong); text-decoration: line-through; }
ins { background: var(--ins-strong); text-decoration: none; }
tr.row-chg td.old, tr.row-chg td.new { background: #fffbea; }
.current, .current td, .current th { outline: 2px solid var(--current); outline-offset: -2px; }
p.same { font-size: 15px; }
h2.doc { font-size: 16px; margin: 22px 0 10px; padding: 6px 10px; border-left: 4px solid var(--current);
         background: #fff; }
nav.toc li.doc { flex-basis: 100%; }
nav.toc li.doc ul { display: inline-flex; margin-left: 12px; }
.st-refused { background: #fca5a5; }
)CSS";

const char* const SCRIPT = R"JS(
(function () {
  var changes = document.querySelectorAll('.change');
  var at = -1;
  var where = document.getElementById('where');
  function go(i) {
    if (!changes.length) return;
    if (at >= 0) changes[at].classList.remove('current');
    at = (i + changes.length) % changes.length;
    var c = changes[at];
    c.classList.add('current');
    c.scrollIntoView({block: 'center'});
    where.textContent = (at + 1) + ' / ' + changes.length;
  }
  document.addEventListener('keydown', function (e) {
    if (e.altKey || e.ctrlKey || e.metaKey) return;
    if (e.key === 'n' || e.key === 'j') { go(at + 1); e.preventDefault(); }
    else if (e.key === 'p' || e.key === 'k') { go(at - 1); e.preventDefault(); }
  });
  document.getElementById('next').addEventListener('click', function () { go(at + 1); });
  document.getElementById('prev').addEventListener('click', function () { go(at - 1); });
  where.textContent = changes.length + (changes.length === 1 ? ' change' : ' changes');
  document.documentElement.setAttribute('data-changes', String(changes.length));
})();
)JS";

std::string escape(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        case '\'': out += "&#39;"; break;
        default: out += c;
        }
    }
    return out;
}

std::string number(long n) { return n >= 0 ? std::to_string(n) : ""; }

// "1,234".
std::string grouped(long n) {
    std::string s = std::to_string(n), out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (i && (s.size() - i) % 3 == 0 && s[0] != '-') out += ',';
        out += s[i];
    }
    return out;
}

// A changed text's two sides: the first with its deleted words marked, the
// second with its inserted ones.
void marked(std::string_view a, std::string_view b, std::string& old_side, std::string& new_side, bool cell) {
    for (const align::word_op& w : cell ? align::diff_cell(a, b) : align::diff_words(a, b)) {
        std::string t = html_text(w.text);
        if (w.kind == op::same) {
            old_side += t;
            new_side += t;
        } else if (w.kind == op::deleted) {
            old_side += "<del>" + t + "</del>";
        } else {
            new_side += "<ins>" + t + "</ins>";
        }
    }
}

const char* kind_plural(align::section_kind k) {
    switch (k) {
    case align::section_kind::sheet: return "Sheets";
    case align::section_kind::page: return "Pages";
    case align::section_kind::slide: return "Slides";
    default: return "Sections";
    }
}

const char* kind_word(align::section_kind k) {
    switch (k) {
    case align::section_kind::sheet: return "sheet";
    case align::section_kind::page: return "page";
    case align::section_kind::slide: return "slide";
    default: return "section";
    }
}

// The folded rows of a stretch of unchanged (or not shown) rows.
std::string fold(size_t n, size_t columns, const char* what) {
    if (n == 0) return "";
    return "<tr class=\"fold\"><td colspan=\"" + std::to_string(columns) + "\">⋯ " + grouped(static_cast<long>(n)) +
           " " + what + (n == 1 ? " row" : " rows") + " ⋯</td></tr>\n";
}

}  // namespace

std::string html_text(std::string_view text) {
    std::string out;
    size_t start = 0;
    for (;;) {
        size_t lf = text.find('\n', start);
        out += escape(align::visible(text.substr(start, lf == std::string_view::npos ? lf : lf - start), true));
        if (lf == std::string_view::npos) break;
        out += "<br>";
        start = lf + 1;
    }
    return out;
}

page::page(std::string first, std::string second, int context)
    : first_(std::move(first)), second_(std::move(second)), context_(static_cast<size_t>(std::max(context, 0))) {}

void page::add(const std::vector<align::section>& a, const std::vector<align::section>& b,
               const align::section_pair& p, const align::layout& la, const align::layout& lb,
               const align::pair_script& s) {
    const align::section* sa = p.inserted() ? nullptr : &a[static_cast<size_t>(p.a0)];
    const align::section* sb = p.deleted() ? nullptr : &b[static_cast<size_t>(p.b0)];
    const align::section& any = sb ? *sb : *sa;
    if (!kind_known_) kind_ = any.kind, kind_known_ = true;
    // Two folders may hold workbooks beside documents; one document's
    // macro modules beside its sheets do not count.
    if (documents_begun_ && any.kind != kind_) mixed_ = true;
    std::string title;
    if (sb) {
        for (long j = p.b0; j < p.b1; ++j) title += (j > p.b0 ? ", " : "") + b[static_cast<size_t>(j)].title;
    } else {
        for (long i = p.a0; i < p.a1; ++i) title += (i > p.a0 ? ", " : "") + a[static_cast<size_t>(i)].title;
    }
    std::string states;
    auto state = [&](const char* what) {
        states += std::string("<span class=\"st st-") + what + "\">" + what + "</span>";
    };
    if (p.inserted()) state("added");
    if (p.deleted()) state("removed");
    if (p.renamed) state("renamed");
    if (p.moved) state("moved");
    const bool differs = p.inserted() || p.deleted() || s.differs || !p.same;
    if (!p.inserted() && !p.deleted() && differs) state("changed");
    if (states.empty()) state("unchanged");

    const std::string id = "s" + std::to_string(++sections_);
    toc_ += "<li><a href=\"#" + id + "\">" + html_text(title) + "</a>" + states + "</li>\n";
    if (!differs && !p.renamed && !p.moved) return;

    body_ += "<section class=\"pair\" id=\"" + id + "\">\n<h2>" + html_text(title) + states + "</h2>\n";
    if (p.renamed)
        body_ += "<p class=\"note change\">Renamed: " + html_text(sa->title) + " → " + html_text(sb->title) + "</p>\n";
    if (p.moved) {
        std::string k = kind_word(any.kind);
        body_ += "<p class=\"note change\">Moved: " + k + " " + std::to_string(p.a0 + 1) + " → " + k + " " +
                 std::to_string(p.b0 + 1) + "</p>\n";
    }
    for (const align::column_pair& c : s.columns) {
        if (c.a < 0)
            body_ += "<p class=\"note change\">Column " + align::column_name(c.b) + " inserted</p>\n";
        if (c.b < 0)
            body_ += "<p class=\"note change\">Column " + align::column_name(c.a) + " deleted</p>\n";
    }
    if (differs) {
        if (s.sheet) sheet(la, lb, s);
        else lines(s.rows, la.rows, lb.rows, a, b);
        if (s.sheet && (la.notes.rows() || lb.notes.rows()) && s.notes.size()) {
            bool notes_differ = false;
            for (const align::row_op& o : s.notes) notes_differ = notes_differ || o.kind != op::same;
            if (notes_differ) {
                body_ += "<p class=\"note\">Shapes and comments</p>\n";
                lines(s.notes, la.notes, lb.notes, a, b);
            }
        }
    }
    body_ += "</section>\n";
}

void page::sheet(const align::layout& la, const align::layout& lb, const align::pair_script& s) {
    const align::grid& a = la.rows;
    const align::grid& b = lb.rows;
    const std::vector<align::column_pair>& cols = s.columns;
    auto regions = align::regions(s.rows, context_);
    // Where each side's columns stand among the paired ones.
    std::vector<long> pa, pb;
    for (size_t k = 0; k < cols.size(); ++k) {
        if (cols[k].a >= 0) {
            if (pa.size() <= static_cast<size_t>(cols[k].a)) pa.resize(static_cast<size_t>(cols[k].a) + 1, -1);
            pa[static_cast<size_t>(cols[k].a)] = static_cast<long>(k);
        }
        if (cols[k].b >= 0) {
            if (pb.size() <= static_cast<size_t>(cols[k].b)) pb.resize(static_cast<size_t>(cols[k].b) + 1, -1);
            pb[static_cast<size_t>(cols[k].b)] = static_cast<long>(k);
        }
    }
    auto last_column = [&](const align::grid& g, const std::vector<long>& pos, long r) -> size_t {
        if (r < 0) return 0;
        size_t w = g.width(static_cast<size_t>(r));
        while (w > 0 && g.cell(static_cast<size_t>(r), w - 1).empty()) --w;
        return w == 0 || w > pos.size() ? 0 : static_cast<size_t>(pos[w - 1]) + 1;
    };
    // The columns shown: up to the last one holding text in a shown row, and
    // every inserted or deleted column.
    const long header = align::header_row(b.rows() ? b : a);
    const align::grid& hg = b.rows() ? b : a;
    size_t ncols = header >= 0 ? last_column(hg, b.rows() ? pb : pa, header) : 0;
    for (auto [first, last] : regions)
        for (size_t k = first; k < last; ++k)
            ncols = std::max({ncols, last_column(a, pa, s.rows[k].a), last_column(b, pb, s.rows[k].b)});
    for (size_t k = 0; k < cols.size(); ++k)
        if (cols[k].a < 0 || cols[k].b < 0) ncols = std::max(ncols, k + 1);
    ncols = std::min(ncols, cols.size());
    const size_t span = ncols + 2;

    std::string& o = body_;
    o += "<div class=\"wrap\"><table class=\"grid\">\n<thead><tr><th class=\"rn\" title=\"" + escape(first_) +
         "\">" + "old</th><th class=\"rn\" title=\"" + escape(second_) + "\">new</th>";
    for (size_t k = 0; k < ncols; ++k) {
        const align::column_pair& c = cols[k];
        if (c.a < 0) {
            o += "<th class=\"col-ins\">" + align::column_name(c.b) + "</th>";
        } else if (c.b < 0) {
            o += "<th class=\"col-del\">" + align::column_name(c.a) + "</th>";
        } else if (c.a != c.b) {
            o += "<th title=\"" + align::column_name(c.a) + " before\">" + align::column_name(c.b) + "</th>";
        } else {
            o += "<th>" + align::column_name(c.b) + "</th>";
        }
    }
    o += "</tr>\n";
    bool header_shown = false;
    if (header >= 0 && !regions.empty())
        for (size_t k = regions[0].first; k < regions[0].second; ++k)
            header_shown = header_shown || (&hg == &b ? s.rows[k].b : s.rows[k].a) == header;
    if (header >= 0 && !header_shown) {
        // The row that names the columns, when the first region does not
        // show it; it stays in sight while the page scrolls.
        o += "<tr class=\"names\"><th class=\"rn\"></th><th class=\"rn\">" +
             number(hg.number(static_cast<size_t>(header))) + "</th>";
        for (size_t k = 0; k < ncols; ++k) {
            long c = &hg == &b ? cols[k].b : cols[k].a;
            o += "<th>" + (c >= 0 ? html_text(hg.cell(static_cast<size_t>(header), static_cast<size_t>(c))) : "") +
                 "</th>";
        }
        o += "</tr>\n";
    }
    o += "</thead>\n<tbody>\n";

    // A row of one side with its cells in the paired columns.
    auto side_row = [&](const char* cls, long na, long nb, const align::grid& g, size_t r, bool side_b) {
        o += std::string("<tr class=\"") + cls + "\"><th class=\"rn\">" + number(na) + "</th><th class=\"rn\">" +
             number(nb) + "</th>";
        for (size_t k = 0; k < ncols; ++k) {
            long c = side_b ? cols[k].b : cols[k].a;
            const char* col_cls = cols[k].a < 0 ? " class=\"col-ins\"" : cols[k].b < 0 ? " class=\"col-del\"" : "";
            o += std::string("<td") + col_cls + ">" +
                 (c >= 0 ? html_text(g.cell(r, static_cast<size_t>(c))) : std::string()) + "</td>";
        }
        o += "</tr>\n";
    };
    size_t shown_to = 0;  // the operations before it are shown or folded
    for (auto [first, last] : regions) {
        o += fold(first - shown_to, span, "unchanged");
        size_t run = 0;  // rows of the current run of inserted or deleted rows
        for (size_t k = first; k < last; ++k) {
            const align::row_op& r = s.rows[k];
            bool one_sided = r.kind == op::inserted || r.kind == op::deleted;
            run = one_sided ? run + 1 : 0;
            if (run > MAX_RUN_SHOWN) {
                size_t end = k;
                while (end < last && s.rows[end].kind == r.kind) ++end;
                o += fold(end - k, span, r.kind == op::inserted ? "more inserted" : "more deleted");
                k = end - 1;
                run = 0;
                continue;
            }
            long na = r.a >= 0 ? a.number(static_cast<size_t>(r.a)) : -1;
            long nb = r.b >= 0 ? b.number(static_cast<size_t>(r.b)) : -1;
            switch (r.kind) {
            case op::same: side_row("row-same", na, nb, b, static_cast<size_t>(r.b), true); break;
            case op::deleted: side_row("row-del change", na, nb, a, static_cast<size_t>(r.a), false); break;
            case op::inserted: side_row("row-ins change", na, nb, b, static_cast<size_t>(r.b), true); break;
            case op::changed: {
                o += "<tr class=\"row-chg change\"><th class=\"rn\">" + number(na) + "</th><th class=\"rn\">" +
                     number(nb) + "</th>";
                std::vector<align::cell_op> cells =
                    align::row_cells(s, a, static_cast<size_t>(r.a), b, static_cast<size_t>(r.b));
                for (size_t c = 0; c < ncols; ++c) {
                    if (c >= cells.size()) {
                        const char* col_cls =
                            cols[c].a < 0 ? " class=\"col-ins\"" : cols[c].b < 0 ? " class=\"col-del\"" : "";
                        o += std::string("<td") + col_cls + "></td>";
                        continue;
                    }
                    const align::cell_op& x = cells[c];
                    std::string_view va = x.col_a >= 0 ? a.cell(static_cast<size_t>(r.a), static_cast<size_t>(x.col_a))
                                                       : std::string_view();
                    std::string_view vb = x.col_b >= 0 ? b.cell(static_cast<size_t>(r.b), static_cast<size_t>(x.col_b))
                                                       : std::string_view();
                    if (x.col_a < 0) {
                        o += "<td class=\"col-ins\">" + html_text(vb) + "</td>";
                    } else if (x.col_b < 0) {
                        o += "<td class=\"col-del\">" + html_text(va) + "</td>";
                    } else if (!x.changed) {
                        o += "<td>" + html_text(vb) + "</td>";
                    } else {
                        std::string old_side, new_side;
                        marked(va, vb, old_side, new_side, true);
                        o += "<td class=\"cell-chg\" title=\"" + align::cell_name(x.col_b, nb) +
                             "\"><div class=\"old\">" + (va.empty() ? std::string("<del></del>") : old_side) +
                             "</div><div class=\"new\">" + (vb.empty() ? std::string("<ins></ins>") : new_side) +
                             "</div></td>";
                    }
                }
                o += "</tr>\n";
                break;
            }
            }
        }
        shown_to = last;
    }
    o += fold(s.rows.size() - shown_to, span, "unchanged");
    o += "</tbody></table></div>\n";
}

void page::lines(const std::vector<align::row_op>& ops, const align::grid& a, const align::grid& b,
                 const std::vector<align::section>& da, const std::vector<align::section>& db) {
    std::string& o = body_;
    o += "<table class=\"side\"><colgroup><col style=\"width:3.5em\"><col><col style=\"width:3.5em\"><col>"
         "</colgroup>\n<thead><tr><th colspan=\"2\">" +
         html_text(first_) + "</th><th colspan=\"2\">" + html_text(second_) + "</th></tr></thead>\n<tbody>\n";
    auto cell = [&](const align::grid& g, long r) {
        return r >= 0 ? html_text(g.cell(static_cast<size_t>(r), 0)) : std::string();
    };
    size_t shown_to = 0;
    for (auto [first, last] : align::regions(ops, context_)) {
        o += fold(first - shown_to, 4, "unchanged");
        size_t run = 0;
        for (size_t k = first; k < last; ++k) {
            const align::row_op& r = ops[k];
            bool one_sided = r.kind == op::inserted || r.kind == op::deleted;
            run = one_sided ? run + 1 : 0;
            if (run > MAX_RUN_SHOWN) {
                size_t end = k;
                while (end < last && ops[end].kind == r.kind) ++end;
                o += fold(end - k, 4, r.kind == op::inserted ? "more inserted" : "more deleted");
                k = end - 1;
                run = 0;
                continue;
            }
            const bool border = (r.a >= 0 && a.is_border(static_cast<size_t>(r.a))) ||
                                (r.b >= 0 && b.is_border(static_cast<size_t>(r.b)));
            if (border) {
                const align::grid& g = r.b >= 0 ? b : a;
                const std::vector<align::section>& d = r.b >= 0 ? db : da;
                long page = g.border_page(static_cast<size_t>(r.b >= 0 ? r.b : r.a));
                std::string t = static_cast<size_t>(page) < d.size() ? d[static_cast<size_t>(page)].title : "";
                const char* what = r.kind == op::inserted ? " (page break inserted)"
                                   : r.kind == op::deleted ? " (page break removed)" : "";
                o += std::string("<tr class=\"border") + (r.kind == op::same ? "" : " change") +
                     "\"><td colspan=\"4\">" + html_text(t) + what + "</td></tr>\n";
                continue;
            }
            long na = r.a >= 0 ? a.number(static_cast<size_t>(r.a)) : -1;
            long nb = r.b >= 0 ? b.number(static_cast<size_t>(r.b)) : -1;
            switch (r.kind) {
            case op::same:
                o += "<tr><td class=\"ln\">" + number(na) + "</td><td>" + cell(a, r.a) + "</td><td class=\"ln\">" +
                     number(nb) + "</td><td>" + cell(b, r.b) + "</td></tr>\n";
                break;
            case op::deleted:
                o += "<tr class=\"row-del change\"><td class=\"ln\">" + number(na) + "</td><td>" + cell(a, r.a) +
                     "</td><td class=\"ln\"></td><td></td></tr>\n";
                break;
            case op::inserted:
                o += "<tr class=\"row-ins change\"><td class=\"ln\"></td><td></td><td class=\"ln\">" + number(nb) +
                     "</td><td>" + cell(b, r.b) + "</td></tr>\n";
                break;
            case op::changed: {
                std::string old_side, new_side;
                marked(a.cell(static_cast<size_t>(r.a), 0), b.cell(static_cast<size_t>(r.b), 0), old_side, new_side,
                       false);
                o += "<tr class=\"row-chg change\"><td class=\"ln\">" + number(na) + "</td><td class=\"old\">" +
                     old_side + "</td><td class=\"ln\">" + number(nb) + "</td><td class=\"new\">" + new_side +
                     "</td></tr>\n";
                break;
            }
            }
        }
        shown_to = last;
    }
    o += fold(ops.size() - shown_to, 4, "unchanged");
    o += "</tbody></table>\n";
}

void page::begin_document() {
    documents_begun_ = true;
    toc_mark_ = toc_.size();
    body_mark_ = body_.size();
}

void page::end_document(const std::string& title, const char* state, const std::string& note, bool show) {
    if (!show) {
        toc_.resize(toc_mark_);
        body_.resize(body_mark_);
        return;
    }
    const std::string id = "d" + std::to_string(++documents_);
    const std::string st = std::string("<span class=\"st st-") + state + "\">" + state + "</span>";
    const bool listed = toc_.size() > toc_mark_, sections = body_.size() > body_mark_;
    toc_.insert(toc_mark_, "<li class=\"doc\"><a href=\"#" + id + "\">" + html_text(title) + "</a>" + st +
                               (listed ? "<ul>\n" : "</li>\n"));
    if (listed) toc_ += "</ul></li>\n";
    // A document without sections shown is a change of its own.
    std::string head = "<h2 class=\"doc" + std::string(sections ? "" : " change") + "\" id=\"" + id + "\">" +
                       html_text(title) + st + "</h2>\n";
    if (!note.empty()) head += "<p class=\"note\">" + html_text(note) + "</p>\n";
    body_.insert(body_mark_, head);
}

std::string page::finish(const align::summary& sum, const document_counts* docs) const {
    std::string o;
    o += "<!DOCTYPE html>\n<html lang=\"ja\">\n<head>\n<meta charset=\"utf-8\">\n"
         "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n<title>Vergle: " +
         html_text(first_) + " → " + html_text(second_) + "</title>\n<style>" + STYLE + "</style>\n</head>\n<body>\n";
    o += "<header>\n<h1><span class=\"doc\">" + html_text(first_) + "</span><span class=\"arrow\">→</span>"
         "<span class=\"doc\">" + html_text(second_) + "</span></h1>\n<table id=\"summary\"><tr>";
    const std::string k = kind_plural(mixed_ ? align::section_kind::text : kind_);
    auto count = [&](const char* id, const std::string& label, long n) {
        o += "<th>" + label + "</th><td id=\"count-" + id + "\">" + grouped(n) + "</td>";
    };
    if (docs) {
        count("docs-added", "Documents added", docs->added);
        count("docs-removed", "Documents removed", docs->removed);
        count("docs-renamed", "Documents renamed", docs->renamed);
        count("docs-changed", "Documents changed", docs->changed);
        count("docs-refused", "Documents refused", docs->refused);
        o += "</tr><tr>";
    }
    count("added", k + " added", sum.added);
    count("removed", k + " removed", sum.removed);
    if (kind_ == align::section_kind::sheet) count("renamed", k + " renamed", sum.renamed);
    count("moved", k + " moved", sum.moved);
    count("changed", k + " changed", sum.changed);
    o += "</tr><tr>";
    if (mixed_) {
        // Sheets beside pages or slides (two folders): both kinds of counts.
        count("cells", "Cells changed", sum.cells_changed);
        count("lines", "Lines changed", sum.lines_changed);
        count("rows-ins", "Rows and lines inserted", sum.rows_inserted);
        count("rows-del", "Rows and lines deleted", sum.rows_deleted);
        count("cols-ins", "Columns inserted", sum.columns_inserted);
        count("cols-del", "Columns deleted", sum.columns_deleted);
    } else if (kind_ == align::section_kind::sheet) {
        count("cells", "Cells changed", sum.cells_changed);
        count("rows-ins", "Rows inserted", sum.rows_inserted);
        count("rows-del", "Rows deleted", sum.rows_deleted);
        count("cols-ins", "Columns inserted", sum.columns_inserted);
        count("cols-del", "Columns deleted", sum.columns_deleted);
        if (sum.lines_changed) count("lines", "Shape lines changed", sum.lines_changed);
    } else {
        count("lines", "Lines changed", sum.lines_changed);
        count("rows-ins", "Lines inserted", sum.rows_inserted);
        count("rows-del", "Lines deleted", sum.rows_deleted);
    }
    o += "</tr></table>\n<div id=\"nav\"><button id=\"prev\" title=\"previous change (p, k)\">↑</button>"
         "<button id=\"next\" title=\"next change (n, j)\">↓</button><span id=\"where\"></span></div>\n</header>\n"
         "<main>\n<nav class=\"toc\"><ul>\n" +
         toc_ + "</ul></nav>\n";
    const bool documents_differ = docs && (docs->added || docs->removed || docs->renamed || docs->changed ||
                                           docs->refused);
    if (!sum.differs() && !documents_differ) o += "<p class=\"same\">No differences.</p>\n";
    o += body_;
    o += "</main>\n<script>" + std::string(SCRIPT) + "</script>\n</body>\n</html>\n";
    return o;
}

}  // namespace report
