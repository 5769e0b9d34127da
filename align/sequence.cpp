// The shortest edit script between two sequences (Myers' O(ND) algorithm, in
// linear space: the middle of each path is found from both ends at once and
// the halves are solved alone).
#include "internal.h"

namespace align::detail {

namespace {

// The edit script of one pair of ranges, on elements replaced by numbers
// (equal elements, equal numbers).  Marks go into del (for a) and ins (for b).
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

// Small numbers for keys: equal keys, equal numbers (an open-addressed
// table, twice as large as the keys it may hold).
class numbering {
public:
    explicit numbering(size_t n) {
        size_t cap = 16;
        while (cap < 2 * n) cap <<= 1;
        keys_.assign(cap, 0);
        ids_.assign(cap, -1);
        mask_ = cap - 1;
    }
    int operator()(uint64_t key) {
        size_t i = mix(key) & mask_;
        while (ids_[i] >= 0 && keys_[i] != key) i = (i + 1) & mask_;
        if (ids_[i] < 0) keys_[i] = key, ids_[i] = count_++;
        return ids_[i];
    }
    size_t size() const { return static_cast<size_t>(count_); }

private:
    std::vector<uint64_t> keys_;
    std::vector<int> ids_;
    size_t mask_ = 0;
    int count_ = 0;
};

}  // namespace

void diff_keys(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b, std::vector<bool>& deleted,
               std::vector<bool>& inserted) {
    // Keys as small numbers; an element found in one sequence only is
    // deleted or inserted whatever else happens, so only the others are
    // searched (a column added to a sheet changes every row: nothing is
    // left).
    numbering ids(a.size() + b.size());
    std::vector<int> na, nb;
    na.reserve(a.size());
    nb.reserve(b.size());
    for (uint64_t k : a) na.push_back(ids(k));
    for (uint64_t k : b) nb.push_back(ids(k));
    std::vector<char> in(ids.size(), 0);  // bit 1: in a, bit 2: in b
    for (int id : na) in[id] |= 1;
    for (int id : nb) in[id] |= 2;
    deleted.assign(a.size(), false);
    inserted.assign(b.size(), false);
    std::vector<int> ra, rb;     // the elements found on both sides
    std::vector<size_t> ia, ib;  // and where they stand
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

std::vector<stretch> stretches(const std::vector<bool>& del, const std::vector<bool>& ins) {
    std::vector<stretch> out;
    size_t i = 0, j = 0;
    while (i < del.size() || j < ins.size()) {
        stretch s{i, i, j, j, false};
        if ((i < del.size() && del[i]) || (j < ins.size() && ins[j])) {
            while (i < del.size() && del[i]) ++i;
            while (j < ins.size() && ins[j]) ++j;
        } else {
            s.equal = true;
            while (i < del.size() && j < ins.size() && !del[i] && !ins[j]) ++i, ++j;
        }
        s.a1 = i, s.b1 = j;
        out.push_back(s);
    }
    return out;
}

}  // namespace align::detail
