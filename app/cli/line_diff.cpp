#include "line_diff.h"

#include <unordered_map>

#include "align.h"
#include "section_view.h"

std::vector<std::string_view> split_lines(std::string_view text) {
    std::vector<std::string_view> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t lf = text.find('\n', start);
        if (lf == std::string_view::npos) lf = text.size();
        lines.push_back(text.substr(start, lf - start));
        start = lf + 1;
    }
    return lines;
}

void diff_lines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                std::vector<bool>& deleted, std::vector<bool>& inserted) {
    align::layout la, lb;
    for (size_t i = 0; i < a.size(); ++i) la.rows.add_row(static_cast<long>(i) + 1), la.rows.add_cell(a[i]);
    for (size_t j = 0; j < b.size(); ++j) lb.rows.add_row(static_cast<long>(j) + 1), lb.rows.add_cell(b[j]);
    align::pair_script s = align::align_pair(la, lb, align::section_kind::text);
    deleted.assign(a.size(), false);
    inserted.assign(b.size(), false);
    for (const align::row_op& o : s.rows) {
        if (o.kind == align::op::same) continue;
        if (o.a >= 0) deleted[static_cast<size_t>(o.a)] = true;
        if (o.b >= 0) inserted[static_cast<size_t>(o.b)] = true;
    }
}

bool write_hunks(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                 const hunk_style& style, std::string& out) {
    align::layout la, lb;
    for (size_t i = 0; i < a.size(); ++i) la.rows.add_row(static_cast<long>(i) + 1), la.rows.add_cell(a[i]);
    for (size_t j = 0; j < b.size(); ++j) lb.rows.add_row(static_cast<long>(j) + 1), lb.rows.add_cell(b[j]);
    align::pair_script s = align::align_pair(la, lb, align::section_kind::text);
    if (!s.differs) return false;
    render_hunks(la, lb, s, style, "", out);
    return true;
}
