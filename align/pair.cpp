// One pair of sections: their columns, rows and cells.
#include <algorithm>

#include "align.h"
#include "internal.h"

namespace align {

namespace {

// How alike two columns, two rows of a sheet, or two lines must be to pair.
constexpr double COLUMN_LIKENESS = 0.3;
constexpr double ROW_LIKENESS = 0.3;
constexpr double LINE_LIKENESS = 0.4;
// Columns paired by dynamic programming up to this many candidate pairs
// (256 columns on each side); wider sheets keep their columns by place.
constexpr size_t MAX_COLUMN_PAIRS = 65536;
// A column past the end of the other sheet, holding at least this many
// cells, was inserted (or deleted) rather than filled in.
constexpr size_t APPENDED_COLUMN_CELLS = 2;
constexpr uint64_t BORDER_KEY = 0x5EC7B0D3A11E9E5Full;

// A grid with the hash of every cell (0 for an empty one) and the number of
// filled cells in each row.
struct hashed {
    const grid& g;
    std::vector<uint64_t> h;
    std::vector<uint32_t> filled;

    explicit hashed(const grid& grid_) : g(grid_), h(grid_.cells(), 0), filled(grid_.rows(), 0) {
        for (size_t r = 0; r < g.rows(); ++r) {
            for (size_t c = 0; c < g.width(r); ++c) {
                std::string_view cell = g.cell(r, c);
                if (cell.empty()) continue;
                h[g.offset(r) + c] = detail::hash_bytes(cell) | 1;
                ++filled[r];
            }
        }
    }
    uint64_t at(size_t r, size_t c) const { return c < g.width(r) ? h[g.offset(r) + c] : 0; }
};

// The columns of two sheets: by place, unless pairing them by what they
// hold fits at least half a column's worth better (columns inserted or
// deleted).
std::vector<column_pair> map_columns(const hashed& a, const hashed& b, bool& shifted) {
    const size_t wa = a.g.columns(), wb = b.g.columns();
    std::vector<size_t> count_a(wa, 0), count_b(wb, 0);
    for (size_t r = 0; r < a.g.rows(); ++r)
        for (size_t c = 0; c < a.g.width(r); ++c) count_a[c] += a.at(r, c) != 0;
    for (size_t r = 0; r < b.g.rows(); ++r)
        for (size_t c = 0; c < b.g.width(r); ++c) count_b[c] += b.at(r, c) != 0;

    shifted = false;
    std::vector<column_pair> by_place;
    for (size_t c = 0; c < std::max(wa, wb); ++c) {
        long cc = static_cast<long>(c);
        if (wa == 0 || wb == 0) {
            // A sheet added or emptied: its cells, not its columns.
            by_place.push_back({cc, cc});
        } else if (c >= wa && count_b[c] >= APPENDED_COLUMN_CELLS) {
            by_place.push_back({-1, cc});
            shifted = true;
        } else if (c >= wb && count_a[c] >= APPENDED_COLUMN_CELLS) {
            by_place.push_back({cc, -1});
            shifted = true;
        } else {
            by_place.push_back({cc, cc});
        }
    }
    if (wa == 0 || wb == 0 || (wa < 2 && wb < 2) || wa * wb > MAX_COLUMN_PAIRS) return by_place;

    std::vector<detail::sketch> sa(wa, detail::sketch(32)), sb(wb, detail::sketch(32));
    for (size_t r = 0; r < a.g.rows(); ++r)
        for (size_t c = 0; c < a.g.width(r); ++c)
            if (uint64_t h = a.at(r, c)) sa[c].add(h);
    for (size_t r = 0; r < b.g.rows(); ++r)
        for (size_t c = 0; c < b.g.width(r); ++c)
            if (uint64_t h = b.at(r, c)) sb[c].add(h);
    auto alike = [&](size_t i, size_t j) { return detail::resemblance(sa[i], sb[j]); };
    double in_place = 0;
    for (size_t c = 0; c < std::max(wa, wb); ++c) {
        if (c < wa && c < wb) in_place += alike(c, c);
        else in_place += (c < wa ? sa[c].empty() : sb[c].empty()) ? 1.0 : 0.0;
    }
    auto pairs = detail::pair_gap(wa, wb, alike, COLUMN_LIKENESS, true, MAX_COLUMN_PAIRS);
    double by_content = 0;
    for (auto [i, j] : pairs) by_content += alike(i, j);
    if (by_content < in_place + 0.5) return by_place;

    std::vector<column_pair> out;
    size_t i = 0, j = 0;
    for (size_t k = 0; k <= pairs.size(); ++k) {
        size_t ei = k < pairs.size() ? pairs[k].first : wa, ej = k < pairs.size() ? pairs[k].second : wb;
        for (; i < ei; ++i) out.push_back({static_cast<long>(i), -1});
        for (; j < ej; ++j) out.push_back({-1, static_cast<long>(j)});
        if (k < pairs.size()) out.push_back({static_cast<long>(ei), static_cast<long>(ej)}), i = ei + 1, j = ej + 1;
    }
    shifted = true;
    return out;
}

// Where each column of one side stands among the paired columns.
std::vector<long> positions(const std::vector<column_pair>& cols, bool side_b) {
    std::vector<long> pos;
    for (size_t k = 0; k < cols.size(); ++k) {
        long c = side_b ? cols[k].b : cols[k].a;
        if (c < 0) continue;
        if (pos.size() <= static_cast<size_t>(c)) pos.resize(static_cast<size_t>(c) + 1, -1);
        pos[static_cast<size_t>(c)] = static_cast<long>(k);
    }
    return pos;
}

// The rows of a grid as the paired columns see them: for each row the
// (position, cell hash) of its filled cells in columns both sheets have,
// all rows in one array.
struct row_views {
    std::vector<std::pair<long, uint64_t>> cells;
    std::vector<size_t> start{0};

    row_views(const hashed& g, const std::vector<column_pair>& cols, const std::vector<long>& pos) {
        cells.reserve(g.g.cells());
        start.reserve(g.g.rows() + 1);
        for (size_t r = 0; r < g.g.rows(); ++r) {
            for (size_t c = 0; c < g.g.width(r) && c < pos.size(); ++c) {
                uint64_t h = g.at(r, c);
                long k = pos[c];
                if (!h || k < 0 || cols[static_cast<size_t>(k)].a < 0 || cols[static_cast<size_t>(k)].b < 0) continue;
                cells.push_back({k, h});
            }
            start.push_back(cells.size());
        }
    }
    const std::pair<long, uint64_t>* begin(size_t r) const { return cells.data() + start[r]; }
    const std::pair<long, uint64_t>* end(size_t r) const { return cells.data() + start[r + 1]; }
    size_t size(size_t r) const { return start[r + 1] - start[r]; }

    uint64_t key(size_t r) const {
        uint64_t h = 0x243F6A8885A308D3ull;
        for (auto p = begin(r); p != end(r); ++p)
            h = detail::combine(detail::combine(h, static_cast<uint64_t>(p->first)), p->second);
        return h;
    }
};

// How many filled cells of two rows are the same, over the cells of the
// fuller one.
double rows_alike(const row_views& va, size_t i, const row_views& vb, size_t j) {
    if (va.size(i) == 0 && vb.size(j) == 0) return 1.0;
    auto x = va.begin(i), xe = va.end(i), y = vb.begin(j), ye = vb.end(j);
    size_t shared = 0;
    while (x != xe && y != ye) {
        if (x->first < y->first) ++x;
        else if (y->first < x->first) ++y;
        else shared += x->second == y->second, ++x, ++y;
    }
    return static_cast<double>(shared) / static_cast<double>(std::max(va.size(i), vb.size(j)));
}

// Whether two rows hold the same texts in the columns both sheets have.
bool rows_equal(const std::vector<column_pair>& cols, const grid& a, size_t ra, const grid& b, size_t rb) {
    const size_t wa = a.width(ra), wb = b.width(rb);
    size_t next_a = 0, next_b = 0;
    for (const column_pair& c : cols) {
        if (next_a >= wa && next_b >= wb) break;
        if (c.a >= 0) next_a = static_cast<size_t>(c.a) + 1;
        if (c.b >= 0) next_b = static_cast<size_t>(c.b) + 1;
        if (c.a < 0 || c.b < 0) continue;
        if (a.cell(ra, static_cast<size_t>(c.a)) != b.cell(rb, static_cast<size_t>(c.b))) return false;
    }
    return true;
}

// The rows of two grids aligned: equal ones (by key) anchor; the rows
// between anchors are paired by likeness (sheets: also in order where
// both sides left as many).  same(i, j) tells rows with equal keys apart
// when their hashes met by chance.
template <class KeyA, class KeyB, class Alike, class Same>
std::vector<row_op> align_rows(size_t na, size_t nb, KeyA&& key_a, KeyB&& key_b, Alike&& alike, Same&& same,
                               double threshold, bool fill) {
    std::vector<uint64_t> ka(na), kb(nb);
    for (size_t i = 0; i < na; ++i) ka[i] = key_a(i);
    for (size_t j = 0; j < nb; ++j) kb[j] = key_b(j);
    std::vector<bool> del, ins;
    detail::diff_keys(ka, kb, del, ins);
    std::vector<row_op> out;
    out.reserve(std::max(na, nb));
    auto paired = [&](size_t i, size_t j) {
        out.push_back({same(i, j) ? op::same : op::changed, static_cast<long>(i), static_cast<long>(j)});
    };
    for (const detail::stretch& s : detail::stretches(del, ins)) {
        if (s.equal) {
            for (size_t d = 0; d < s.a1 - s.a0; ++d) paired(s.a0 + d, s.b0 + d);
            continue;
        }
        auto pairs = detail::pair_gap(
            s.a1 - s.a0, s.b1 - s.b0, [&](size_t x, size_t y) { return alike(s.a0 + x, s.b0 + y); }, threshold, fill);
        size_t i = s.a0, j = s.b0;
        for (size_t k = 0; k <= pairs.size(); ++k) {
            size_t ei = k < pairs.size() ? s.a0 + pairs[k].first : s.a1;
            size_t ej = k < pairs.size() ? s.b0 + pairs[k].second : s.b1;
            for (; i < ei; ++i) out.push_back({op::deleted, static_cast<long>(i), -1});
            for (; j < ej; ++j) out.push_back({op::inserted, -1, static_cast<long>(j)});
            if (k < pairs.size()) paired(ei, ej), i = ei + 1, j = ej + 1;
        }
    }
    return out;
}

// Lines: pages, slides, whole documents, and a sheet's shape and comment
// text.  Border rows meet border rows only.
std::vector<row_op> align_lines(const grid& a, const grid& b) {
    auto key = [](const grid& g) {
        return [&g](size_t r) { return g.is_border(r) ? BORDER_KEY : detail::hash_bytes(g.cell(r, 0)); };
    };
    // Word bags of the rows met in gaps, made once each.
    std::vector<std::vector<uint64_t>> bags_a(a.rows()), bags_b(b.rows());
    std::vector<bool> made_a(a.rows(), false), made_b(b.rows(), false);
    auto bag = [](const grid& g, std::vector<std::vector<uint64_t>>& bags, std::vector<bool>& made,
                  size_t r) -> const std::vector<uint64_t>& {
        if (!made[r]) bags[r] = detail::word_bag(g.cell(r, 0)), made[r] = true;
        return bags[r];
    };
    auto alike = [&](size_t i, size_t j) {
        if (a.is_border(i) || b.is_border(j)) return a.is_border(i) && b.is_border(j) ? 1.0 : 0.0;
        return detail::bag_similarity(bag(a, bags_a, made_a, i), bag(b, bags_b, made_b, j));
    };
    auto same = [&](size_t i, size_t j) {
        return a.is_border(i) == b.is_border(j) && (a.is_border(i) || a.cell(i, 0) == b.cell(j, 0));
    };
    return align_rows(a.rows(), b.rows(), key(a), key(b), alike, same, LINE_LIKENESS, false);
}

}  // namespace

pair_script align_pair(const layout& a, const layout& b, section_kind kind) {
    pair_script s;
    s.sheet = kind == section_kind::sheet;
    if (s.sheet) {
        hashed ha(a.rows), hb(b.rows);
        s.columns = map_columns(ha, hb, s.columns_shifted);
        row_views va(ha, s.columns, positions(s.columns, false)), vb(hb, s.columns, positions(s.columns, true));
        auto key_a = [&](size_t r) { return va.key(r); };
        auto key_b = [&](size_t r) { return vb.key(r); };
        auto alike = [&](size_t i, size_t j) { return rows_alike(va, i, vb, j); };
        auto same = [&](size_t i, size_t j) { return rows_equal(s.columns, a.rows, i, b.rows, j); };
        s.rows = align_rows(a.rows.rows(), b.rows.rows(), key_a, key_b, alike, same, ROW_LIKENESS, true);
        s.notes = align_lines(a.notes, b.notes);
    } else {
        s.rows = align_lines(a.rows, b.rows);
    }
    s.differs = s.columns_shifted;
    for (const auto* ops : {&s.rows, &s.notes})
        for (const row_op& o : *ops) s.differs = s.differs || o.kind != op::same;
    return s;
}

std::vector<std::pair<size_t, size_t>> regions(const std::vector<row_op>& ops, size_t context) {
    std::vector<std::pair<size_t, size_t>> out;
    size_t k = 0;
    while (k < ops.size()) {
        while (k < ops.size() && ops[k].kind == op::same) ++k;
        if (k == ops.size()) break;
        size_t first = k - std::min(context, k);
        size_t last = k;
        for (;;) {
            while (last < ops.size() && ops[last].kind != op::same) ++last;
            size_t same = last;
            while (same < ops.size() && ops[same].kind == op::same) ++same;
            if (same < ops.size() && same - last <= 2 * context) {
                last = same;
                continue;
            }
            last = std::min(ops.size(), last + context);
            break;
        }
        out.push_back({first, last});
        k = last;
    }
    return out;
}

std::vector<cell_op> row_cells(const pair_script& s, const grid& a, size_t ra, const grid& b, size_t rb) {
    std::vector<cell_op> out;
    const size_t wa = a.width(ra), wb = b.width(rb);
    size_t next_a = 0, next_b = 0;  // the first column of each side still to come
    for (const column_pair& c : s.columns) {
        if (next_a >= wa && next_b >= wb) break;
        std::string_view x = c.a >= 0 ? a.cell(ra, static_cast<size_t>(c.a)) : std::string_view();
        std::string_view y = c.b >= 0 ? b.cell(rb, static_cast<size_t>(c.b)) : std::string_view();
        if (c.a >= 0) next_a = static_cast<size_t>(c.a) + 1;
        if (c.b >= 0) next_b = static_cast<size_t>(c.b) + 1;
        out.push_back({c.a, c.b, x != y});
    }
    return out;
}

void count(summary& sum, const section_pair& p, const pair_script& s, const layout& a, const layout& b) {
    const long na = p.a1 - p.a0, nb = p.b1 - p.b0;
    if (na == 0 || nb == 0) {
        sum.added += nb;
        sum.removed += na;
        return;
    }
    if (nb > na) sum.added += nb - na;
    if (na > nb) sum.removed += na - nb;
    sum.renamed += p.renamed;
    sum.moved += p.moved;
    if (s.differs || !p.same) ++sum.changed;
    else if (!p.renamed && !p.moved) ++sum.same;
    for (const column_pair& c : s.columns) {
        sum.columns_inserted += c.a < 0;
        sum.columns_deleted += c.b < 0;
    }
    for (const row_op& o : s.rows) {
        bool border = (o.a >= 0 && a.rows.is_border(static_cast<size_t>(o.a))) ||
                      (o.b >= 0 && b.rows.is_border(static_cast<size_t>(o.b)));
        if (border) continue;
        if (o.kind == op::inserted) ++sum.rows_inserted;
        if (o.kind == op::deleted) ++sum.rows_deleted;
        if (o.kind != op::changed) continue;
        if (!s.sheet) {
            ++sum.lines_changed;
            continue;
        }
        for (const cell_op& c : row_cells(s, a.rows, static_cast<size_t>(o.a), b.rows, static_cast<size_t>(o.b)))
            sum.cells_changed += c.changed && c.col_a >= 0 && c.col_b >= 0;
    }
    for (const row_op& o : s.notes) sum.lines_changed += o.kind != op::same;
}

}  // namespace align
