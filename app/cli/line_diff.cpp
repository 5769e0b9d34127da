#include "line_diff.h"

#include <algorithm>
#include <unordered_map>

namespace {

// The edit script of one pair of ranges, on lines replaced by numbers (equal
// lines, equal numbers).  Marks go into del (for a) and ins (for b).
class myers {
public:
    myers(const std::vector<int>& a, const std::vector<int>& b, std::vector<bool>& del, std::vector<bool>& ins)
        : a_(a), b_(b), del_(del), ins_(ins) {
        size_t max = (a.size() + b.size() + 1) / 2 + 2;
        fwd_.resize(2 * max + 2);
        bwd_.resize(2 * max + 2);
    }

    // Solves a[a0, a1) against b[b0, b1).  Halves are pushed on a stack, not
    // recursed into, so that a long script cannot exhaust the call stack.
    void solve(long a0, long a1, long b0, long b1) {
        std::vector<range> todo{{a0, a1, b0, b1}};
        while (!todo.empty()) {
            range r = todo.back();
            todo.pop_back();
            while (r.a0 < r.a1 && r.b0 < r.b1 && a_[r.a0] == b_[r.b0]) ++r.a0, ++r.b0;
            while (r.a0 < r.a1 && r.b0 < r.b1 && a_[r.a1 - 1] == b_[r.b1 - 1]) --r.a1, --r.b1;
            if (r.a0 == r.a1) {
                for (long j = r.b0; j < r.b1; ++j) ins_[j] = true;
                continue;
            }
            if (r.b0 == r.b1) {
                for (long i = r.a0; i < r.a1; ++i) del_[i] = true;
                continue;
            }
            long x, y;
            if (!middle(r, x, y)) {
                for (long i = r.a0; i < r.a1; ++i) del_[i] = true;
                for (long j = r.b0; j < r.b1; ++j) ins_[j] = true;
                continue;
            }
            todo.push_back({x, r.a1, y, r.b1});
            todo.push_back({r.a0, x, r.b0, y});
        }
    }

private:
    struct range {
        long a0, a1, b0, b1;
    };

    // Edits searched from each end before the search settles for a good
    // split instead of the best one.
    static constexpr long COST_LIMIT = 256;

    // A point (x, y) on a shortest path through the range that is neither of
    // its corners: the end of the forward snake where the searches from both
    // ends first overlap.  The range starts and ends with a difference.
    bool middle(const range& r, long& sx, long& sy) {
        const long n = r.a1 - r.a0, m = r.b1 - r.b0;
        const long max_d = (n + m + 1) / 2;
        const long off = max_d;
        std::fill(fwd_.begin(), fwd_.begin() + 2 * max_d + 2, -1);
        std::fill(bwd_.begin(), bwd_.begin() + 2 * max_d + 2, -1);
        fwd_[off + 1] = 0;
        bwd_[off + 1] = 0;
        const long delta = n - m;
        const bool front = (delta & 1) != 0;
        long k1start = 0, k1end = 0, k2start = 0, k2end = 0;
        const int* a = a_.data() + r.a0;
        const int* b = b_.data() + r.b0;
        // The forward point that got furthest, for when the search costs
        // too much.
        long best_x = 0, best_y = 0;
        for (long d = 0; d < max_d; ++d) {
            if (d >= COST_LIMIT) {
                // Many differences: split where the forward search got
                // furthest, as diff does without --minimal.  The script
                // stays correct, though maybe not the shortest.
                if ((best_x == 0 && best_y == 0) || (best_x == n && best_y == m)) return false;
                sx = r.a0 + best_x, sy = r.b0 + best_y;
                return true;
            }
            for (long k1 = -d + k1start; k1 <= d - k1end; k1 += 2) {
                long i = off + k1;
                long x1 = (k1 == -d || (k1 != d && fwd_[i - 1] < fwd_[i + 1])) ? fwd_[i + 1] : fwd_[i - 1] + 1;
                long y1 = x1 - k1;
                while (x1 < n && y1 < m && a[x1] == b[y1]) ++x1, ++y1;
                fwd_[i] = x1;
                if (x1 <= n && y1 <= m && x1 + y1 > best_x + best_y) best_x = x1, best_y = y1;
                if (x1 > n) {
                    k1end += 2;
                } else if (y1 > m) {
                    k1start += 2;
                } else if (front) {
                    long j = off + delta - k1;
                    if (j >= 0 && j < 2 * max_d + 2 && bwd_[j] != -1 && x1 >= n - bwd_[j]) {
                        sx = r.a0 + x1, sy = r.b0 + y1;
                        return true;
                    }
                }
            }
            for (long k2 = -d + k2start; k2 <= d - k2end; k2 += 2) {
                long i = off + k2;
                long x2 = (k2 == -d || (k2 != d && bwd_[i - 1] < bwd_[i + 1])) ? bwd_[i + 1] : bwd_[i - 1] + 1;
                long y2 = x2 - k2;
                while (x2 < n && y2 < m && a[n - x2 - 1] == b[m - y2 - 1]) ++x2, ++y2;
                bwd_[i] = x2;
                if (x2 > n) {
                    k2end += 2;
                } else if (y2 > m) {
                    k2start += 2;
                } else if (!front) {
                    long j = off + delta - k2;
                    if (j >= 0 && j < 2 * max_d + 2 && fwd_[j] != -1) {
                        long x1 = fwd_[j];
                        long y1 = off + x1 - j;
                        if (x1 >= n - x2) {
                            sx = r.a0 + x1, sy = r.b0 + y1;
                            return true;
                        }
                    }
                }
            }
        }
        return false;
    }

    const std::vector<int>& a_;
    const std::vector<int>& b_;
    std::vector<bool>& del_;
    std::vector<bool>& ins_;
    std::vector<long> fwd_, bwd_;
};

// One run of changed lines: a[a0, a1) replaced by b[b0, b1).
struct change {
    size_t a0, a1, b0, b1;
};

std::vector<change> changes(const std::vector<bool>& del, const std::vector<bool>& ins) {
    std::vector<change> out;
    size_t i = 0, j = 0;
    while (i < del.size() || j < ins.size()) {
        if ((i < del.size() && del[i]) || (j < ins.size() && ins[j])) {
            change c{i, i, j, j};
            while (i < del.size() && del[i]) ++i;
            while (j < ins.size() && ins[j]) ++j;
            c.a1 = i, c.b1 = j;
            out.push_back(c);
        } else {
            ++i, ++j;
        }
    }
    return out;
}

// "l,n" as unified hunks give a range: the line before an empty range; no
// count when it is 1.
std::string range_text(size_t start, size_t count) {
    std::string s = std::to_string(count == 0 ? start : start + 1);
    if (count != 1) s += "," + std::to_string(count);
    return s;
}

std::vector<std::string_view> split_cells(std::string_view row) {
    std::vector<std::string_view> cells;
    size_t start = 0;
    for (;;) {
        size_t tab = row.find('\t', start);
        if (tab == std::string_view::npos) {
            cells.push_back(row.substr(start));
            return cells;
        }
        cells.push_back(row.substr(start, tab - start));
        start = tab + 1;
    }
}

// A changed row with its differing cells marked: the cells of row that are
// not the same at the same place in other.  Nothing is marked when no cell
// is the same (the row was replaced, not edited).
void put_marked(std::string& out, std::string_view row, std::string_view other) {
    std::vector<std::string_view> mine = split_cells(row), theirs = split_cells(other);
    size_t same = 0;
    for (size_t c = 0; c < mine.size() && c < theirs.size(); ++c) same += mine[c] == theirs[c] && !mine[c].empty();
    if (same == 0) {
        out.append(row);
        return;
    }
    for (size_t c = 0; c < mine.size(); ++c) {
        if (c) out += '\t';
        bool changed = c >= theirs.size() || mine[c] != theirs[c];
        if (changed && !mine[c].empty()) {
            out += colour::mark;
            out.append(mine[c]);
            out += colour::unmark;
        } else {
            out.append(mine[c]);
        }
    }
}

// Pairs the deleted rows of a change with the inserted rows that took their
// places: in order, each deleted row with the first inserted row not far
// after the last pair that has a non-empty cell equal at the same place.
void pair_rows(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b, const change& ch,
               std::vector<long>& partner_a, std::vector<long>& partner_b) {
    const size_t window = 32;
    partner_a.assign(ch.a1 - ch.a0, -1);
    partner_b.assign(ch.b1 - ch.b0, -1);
    size_t next = ch.b0;
    for (size_t k = ch.a0; k < ch.a1 && next < ch.b1; ++k) {
        std::vector<std::string_view> mine = split_cells(a[k]);
        for (size_t j = next; j < ch.b1 && j < next + window; ++j) {
            std::vector<std::string_view> theirs = split_cells(b[j]);
            bool shared = false;
            for (size_t c = 0; c < mine.size() && c < theirs.size() && !shared; ++c)
                shared = !mine[c].empty() && mine[c] == theirs[c];
            if (shared) {
                partner_a[k - ch.a0] = static_cast<long>(j);
                partner_b[j - ch.b0] = static_cast<long>(k);
                next = j + 1;
                break;
            }
        }
    }
}

}  // namespace

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
    // Lines as numbers; a line found in one sequence only is deleted or
    // inserted whatever else happens, so only the others are searched
    // (a column added to a sheet changes every row: nothing is left).
    std::unordered_map<std::string_view, int> ids;
    std::vector<int> na, nb;
    na.reserve(a.size());
    nb.reserve(b.size());
    for (std::string_view l : a) na.push_back(ids.emplace(l, static_cast<int>(ids.size())).first->second);
    for (std::string_view l : b) nb.push_back(ids.emplace(l, static_cast<int>(ids.size())).first->second);
    std::vector<char> in(ids.size(), 0);  // bit 1: in a, bit 2: in b
    for (int id : na) in[id] |= 1;
    for (int id : nb) in[id] |= 2;
    deleted.assign(a.size(), false);
    inserted.assign(b.size(), false);
    std::vector<int> ra, rb;        // the lines found on both sides
    std::vector<size_t> ia, ib;     // and where they stand
    for (size_t i = 0; i < na.size(); ++i) {
        if (in[na[i]] == 3) ra.push_back(na[i]), ia.push_back(i);
        else deleted[i] = true;
    }
    for (size_t j = 0; j < nb.size(); ++j) {
        if (in[nb[j]] == 3) rb.push_back(nb[j]), ib.push_back(j);
        else inserted[j] = true;
    }
    std::vector<bool> rdel(ra.size(), false), rins(rb.size(), false);
    myers m(ra, rb, rdel, rins);
    m.solve(0, static_cast<long>(ra.size()), 0, static_cast<long>(rb.size()));
    for (size_t i = 0; i < ra.size(); ++i)
        if (rdel[i]) deleted[ia[i]] = true;
    for (size_t j = 0; j < rb.size(); ++j)
        if (rins[j]) inserted[ib[j]] = true;
}

bool write_hunks(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                 const hunk_style& style, std::string& out) {
    std::vector<bool> del, ins;
    diff_lines(a, b, del, ins);
    std::vector<change> cs = changes(del, ins);
    if (cs.empty()) return false;
    const size_t ctx = static_cast<size_t>(std::max(style.context, 0));
    auto line = [&](const char* sign, const char* col, std::string_view text) {
        if (style.colour && col) out += col;
        out += sign;
        out.append(text);
        if (style.colour && col) out += colour::reset;
        out += '\n';
    };
    for (size_t first = 0; first < cs.size();) {
        // Changes closer than twice the context share a hunk.
        size_t last = first;
        while (last + 1 < cs.size() && cs[last + 1].a0 - cs[last].a1 <= 2 * ctx) ++last;
        size_t a0 = cs[first].a0 - std::min(ctx, cs[first].a0);
        size_t b0 = cs[first].b0 - (cs[first].a0 - a0);
        size_t a1 = std::min(a.size(), cs[last].a1 + ctx);
        size_t b1 = cs[last].b1 + (a1 - cs[last].a1);
        std::string head = "@@ -" + range_text(a0, a1 - a0) + " +" + range_text(b0, b1 - b0) + " @@";
        line("", colour::hunk, head);
        size_t i = a0;
        for (size_t c = first; c <= last; ++c) {
            for (; i < cs[c].a0; ++i) line(" ", nullptr, a[i]);
            const change& ch = cs[c];
            std::vector<long> partner_a, partner_b;
            if (style.colour) pair_rows(a, b, ch, partner_a, partner_b);
            // The rows of one side; a row paired with one of the other side
            // has its changed cells marked.
            auto side = [&](const std::vector<std::string_view>& own, const std::vector<std::string_view>& other,
                            size_t from, size_t to, const std::vector<long>& partner, const char* sign,
                            const char* col) {
                for (size_t k = from; k < to; ++k) {
                    long p = style.colour ? partner[k - from] : -1;
                    if (p < 0) {
                        line(sign, col, own[k]);
                        continue;
                    }
                    out += col;
                    out += sign;
                    put_marked(out, own[k], other[static_cast<size_t>(p)]);
                    out += colour::reset;
                    out += '\n';
                }
            };
            side(a, b, ch.a0, ch.a1, partner_a, "-", colour::removed);
            side(b, a, ch.b0, ch.b1, partner_b, "+", colour::added);
            i = ch.a1;
        }
        for (; i < a1; ++i) line(" ", nullptr, a[i]);
        first = last + 1;
    }
    return true;
}
