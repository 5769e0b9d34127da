// The sections of two documents aligned: sheets by name, then by what they
// hold; pages and slides as a sequence.
#include <algorithm>
#include <unordered_map>

#include "align.h"
#include "internal.h"

namespace align {

namespace {

using detail::sketch;

// What the pairing needs of a section: its text's hash and, made when first
// asked for (most sheets pair by name), a sketch of its cells (a sheet) or
// words.
struct digest {
    const section* s = nullptr;
    uint64_t hash = 0;
    mutable bool made = false;
    mutable sketch words{128};

    const sketch& content() const {
        if (made) return words;
        made = true;
        if (s->kind == section_kind::sheet) {
            layout l = split(*s);
            for (const grid* g : {&l.rows, &l.notes})
                for (size_t r = 0; r < g->rows(); ++r)
                    for (size_t c = 0; c < g->width(r); ++c)
                        if (!g->cell(r, c).empty()) words.add(detail::hash_bytes(g->cell(r, c)));
        } else {
            detail::for_each_word(s->text, [&](std::string_view w, detail::word_class c) {
                if (c != detail::word_class::blank && w != "\n") words.add(detail::hash_bytes(w));
            });
        }
        return words;
    }
};

digest digest_of(const section& s) {
    digest d;
    d.s = &s;
    d.hash = detail::hash_bytes(s.text);
    return d;
}

bool same_text(const section& x, const digest& dx, const section& y, const digest& dy) {
    return dx.hash == dy.hash && x.text == y.text;
}

// Marks the members of a longest increasing subsequence of v.
std::vector<bool> increasing(const std::vector<long>& v) {
    std::vector<size_t> tails, prev(v.size(), SIZE_MAX);
    for (size_t i = 0; i < v.size(); ++i) {
        auto at = std::lower_bound(tails.begin(), tails.end(), v[i], [&](size_t t, long x) { return v[t] < x; });
        if (at != tails.begin()) prev[i] = *(at - 1);
        if (at == tails.end()) tails.push_back(i);
        else *at = i;
    }
    std::vector<bool> in(v.size(), false);
    for (size_t i = tails.empty() ? SIZE_MAX : tails.back(); i != SIZE_MAX; i = prev[i]) in[i] = true;
    return in;
}

// Unpaired sections alike enough to be one renamed or moved: how many pairs
// of them are weighed at most, and how alike they must be.
constexpr size_t MAX_WEIGHED = 250000;
constexpr double RENAME_LIKENESS = 0.5;
constexpr double PAIR_LIKENESS = 0.3;
constexpr double MOVE_LIKENESS = 0.75;

// Sheets: by name, then by content.
std::vector<section_pair> align_sheets(const std::vector<section>& a, const std::vector<section>& b,
                                       const std::vector<digest>& da, const std::vector<digest>& db) {
    const size_t na = a.size(), nb = b.size();
    std::vector<long> pa(na, -1), pb(nb, -1);
    std::unordered_map<std::string, std::vector<size_t>> by_title;
    for (size_t j = 0; j < nb; ++j) by_title[b[j].title].push_back(j);
    for (size_t i = 0; i < na; ++i) {
        auto it = by_title.find(a[i].title);
        if (it == by_title.end()) continue;
        for (size_t j : it->second) {
            if (pb[j] >= 0) continue;
            pa[i] = static_cast<long>(j), pb[j] = static_cast<long>(i);
            break;
        }
    }
    // The rest by content: equal texts first, then the most alike, then the
    // closest in place.
    std::vector<size_t> ua, ub;
    for (size_t i = 0; i < na; ++i)
        if (pa[i] < 0) ua.push_back(i);
    for (size_t j = 0; j < nb; ++j)
        if (pb[j] < 0) ub.push_back(j);
    struct candidate {
        double likeness;
        size_t i, j;
    };
    std::vector<candidate> cands;
    if (ua.size() * ub.size() <= MAX_WEIGHED) {
        for (size_t i : ua) {
            for (size_t j : ub) {
                double s = same_text(a[i], da[i], b[j], db[j])
                               ? 2.0
                               : detail::resemblance(da[i].content(), db[j].content());
                if (s >= RENAME_LIKENESS) cands.push_back({s, i, j});
            }
        }
    } else {
        std::unordered_map<uint64_t, std::vector<size_t>> by_hash;
        for (size_t j : ub) by_hash[db[j].hash].push_back(j);
        for (size_t i : ua) {
            auto it = by_hash.find(da[i].hash);
            if (it == by_hash.end()) continue;
            for (size_t j : it->second)
                if (same_text(a[i], da[i], b[j], db[j])) cands.push_back({2.0, i, j});
        }
    }
    auto distance = [](const candidate& c) { return c.i > c.j ? c.i - c.j : c.j - c.i; };
    std::stable_sort(cands.begin(), cands.end(), [&](const candidate& x, const candidate& y) {
        if (x.likeness != y.likeness) return x.likeness > y.likeness;
        return distance(x) < distance(y);
    });
    for (const candidate& c : cands) {
        if (pa[c.i] >= 0 || pb[c.j] >= 0) continue;
        pa[c.i] = static_cast<long>(c.j), pb[c.j] = static_cast<long>(c.i);
    }

    // Moved: the pairs out of the longest run that keeps the first
    // document's order.
    std::vector<long> order;
    std::vector<size_t> at;
    for (size_t j = 0; j < nb; ++j)
        if (pb[j] >= 0) order.push_back(pb[j]), at.push_back(j);
    std::vector<bool> kept = increasing(order);
    std::vector<bool> moved(nb, false);
    for (size_t k = 0; k < order.size(); ++k) moved[at[k]] = !kept[k];

    std::vector<section_pair> out;
    size_t next = 0;  // sections of the first document before it are placed
    auto flush = [&](size_t upto) {
        for (; next < upto && next < na; ++next) {
            if (pa[next] < 0) out.push_back({static_cast<long>(next), static_cast<long>(next) + 1, 0, 0});
        }
    };
    // Before an inserted section, the deleted ones that stood before the
    // next pair in place.
    std::vector<size_t> next_in_place(nb + 1, na);
    for (size_t j = nb; j-- > 0;)
        next_in_place[j] = pb[j] >= 0 && !moved[j] ? static_cast<size_t>(pb[j]) : next_in_place[j + 1];
    for (size_t j = 0; j < nb; ++j) {
        long jj = static_cast<long>(j);
        if (pb[j] < 0) {
            flush(next_in_place[j]);
            out.push_back({0, 0, jj, jj + 1});
            continue;
        }
        size_t i = static_cast<size_t>(pb[j]);
        if (!moved[j]) flush(i);
        section_pair p{static_cast<long>(i), static_cast<long>(i) + 1, jj, jj + 1};
        p.renamed = a[i].title != b[j].title;
        p.moved = moved[j];
        p.same = same_text(a[i], da[i], b[j], db[j]);
        out.push_back(p);
    }
    flush(na);
    return out;
}

// Pages and slides: equal ones anchor the sequence; between anchors pages
// are compared as one text, slides paired by what they hold; what is left
// and stands elsewhere unchanged (or nearly) has moved.
std::vector<section_pair> align_sequence(const std::vector<section>& a, const std::vector<section>& b,
                                         const std::vector<digest>& da, const std::vector<digest>& db, bool pages) {
    const size_t na = a.size(), nb = b.size();
    std::vector<uint64_t> ka(na), kb(nb);
    for (size_t i = 0; i < na; ++i) ka[i] = da[i].hash;
    for (size_t j = 0; j < nb; ++j) kb[j] = db[j].hash;
    std::vector<bool> del, ins;
    detail::diff_keys(ka, kb, del, ins);
    std::vector<detail::stretch> parts = detail::stretches(del, ins);

    // Unchanged sections that moved: left out of the anchors, equal to one
    // on the other side.
    std::vector<long> move_a(na, -1), move_b(nb, -1);
    std::unordered_map<uint64_t, std::vector<size_t>> left_b;
    for (size_t j = 0; j < nb; ++j)
        if (ins[j] && !b[j].text.empty()) left_b[kb[j]].push_back(j);
    for (size_t i = 0; i < na; ++i) {
        if (!del[i] || a[i].text.empty()) continue;
        auto it = left_b.find(ka[i]);
        if (it == left_b.end()) continue;
        for (size_t j : it->second) {
            if (move_b[j] >= 0 || !same_text(a[i], da[i], b[j], db[j])) continue;
            move_a[i] = static_cast<long>(j), move_b[j] = static_cast<long>(i);
            break;
        }
    }

    // The pairs inside each gap.
    std::vector<std::vector<section_pair>> inside(parts.size());
    std::vector<bool> paired_a(na, false), paired_b(nb, false);
    for (size_t k = 0; k < parts.size(); ++k) {
        const detail::stretch& s = parts[k];
        if (s.equal) continue;
        std::vector<size_t> ga, gb;
        for (size_t i = s.a0; i < s.a1; ++i)
            if (move_a[i] < 0) ga.push_back(i);
        for (size_t j = s.b0; j < s.b1; ++j)
            if (move_b[j] < 0) gb.push_back(j);
        if (ga.empty() || gb.empty()) continue;
        bool contiguous = ga.back() - ga.front() + 1 == ga.size() && gb.back() - gb.front() + 1 == gb.size();
        // A page break inserted, removed or moved shifts text from one page
        // to the next: the gap's pages are compared as one text (unless as
        // many pages are left on both sides and their text did not merely
        // move across a break).
        bool group = false;
        if (pages && contiguous) {
            group = ga.size() != gb.size();
            if (!group) {
                std::string ta, tb;
                for (size_t i : ga) ta += a[i].text;
                for (size_t j : gb) tb += b[j].text;
                group = ta == tb;
            }
        }
        if (group) {
            inside[k].push_back({static_cast<long>(ga.front()), static_cast<long>(ga.back()) + 1,
                                 static_cast<long>(gb.front()), static_cast<long>(gb.back()) + 1});
            for (size_t i : ga) paired_a[i] = true;
            for (size_t j : gb) paired_b[j] = true;
            continue;
        }
        auto pairs = detail::pair_gap(
            ga.size(), gb.size(),
            [&](size_t x, size_t y) { return detail::resemblance(da[ga[x]].content(), db[gb[y]].content()); },
            PAIR_LIKENESS, true);
        for (auto [x, y] : pairs) {
            inside[k].push_back({static_cast<long>(ga[x]), static_cast<long>(ga[x]) + 1, static_cast<long>(gb[y]),
                                 static_cast<long>(gb[y]) + 1});
            paired_a[ga[x]] = paired_b[gb[y]] = true;
        }
    }

    // Edited sections that moved: left unpaired, much like one left on the
    // other side.
    std::vector<size_t> la, lb;
    for (size_t i = 0; i < na; ++i)
        if (del[i] && move_a[i] < 0 && !paired_a[i]) la.push_back(i);
    for (size_t j = 0; j < nb; ++j)
        if (ins[j] && move_b[j] < 0 && !paired_b[j]) lb.push_back(j);
    if (la.size() * lb.size() <= MAX_WEIGHED) {
        for (size_t i : la) {
            double best = MOVE_LIKENESS;
            long best_j = -1;
            for (size_t j : lb) {
                if (move_b[j] >= 0) continue;
                double s = detail::resemblance(da[i].content(), db[j].content());
                if (s >= best && (best_j < 0 || s > best)) best = s, best_j = static_cast<long>(j);
            }
            if (best_j >= 0) move_a[i] = best_j, move_b[static_cast<size_t>(best_j)] = static_cast<long>(i);
        }
    }

    std::vector<section_pair> out;
    auto moved_pair = [&](size_t j) {
        size_t i = static_cast<size_t>(move_b[j]);
        section_pair p{static_cast<long>(i), static_cast<long>(i) + 1, static_cast<long>(j), static_cast<long>(j) + 1};
        p.moved = true;
        p.same = same_text(a[i], da[i], b[j], db[j]);
        out.push_back(p);
    };
    for (size_t k = 0; k < parts.size(); ++k) {
        const detail::stretch& s = parts[k];
        if (s.equal) {
            for (size_t d = 0; d < s.a1 - s.a0; ++d) {
                size_t i = s.a0 + d, j = s.b0 + d;
                section_pair p{static_cast<long>(i), static_cast<long>(i) + 1, static_cast<long>(j),
                               static_cast<long>(j) + 1};
                p.same = same_text(a[i], da[i], b[j], db[j]);
                out.push_back(p);
            }
            continue;
        }
        size_t ai = s.a0, bj = s.b0;
        auto upto = [&](size_t ea, size_t eb) {
            for (; ai < ea; ++ai)
                if (move_a[ai] < 0) out.push_back({static_cast<long>(ai), static_cast<long>(ai) + 1, 0, 0});
            for (; bj < eb; ++bj) {
                if (move_b[bj] >= 0) moved_pair(bj);
                else out.push_back({0, 0, static_cast<long>(bj), static_cast<long>(bj) + 1});
            }
        };
        for (const section_pair& p : inside[k]) {
            upto(static_cast<size_t>(p.a0), static_cast<size_t>(p.b0));
            out.push_back(p);
            ai = static_cast<size_t>(p.a1), bj = static_cast<size_t>(p.b1);
        }
        upto(s.a1, s.b1);
    }
    return out;
}

}  // namespace

std::vector<section_pair> align_sections(const std::vector<section>& a, const std::vector<section>& b) {
    std::vector<digest> da, db;
    da.reserve(a.size());
    db.reserve(b.size());
    for (const section& s : a) da.push_back(digest_of(s));
    for (const section& s : b) db.push_back(digest_of(s));
    bool sheets = !a.empty() || !b.empty(), pages = true;
    for (const auto* doc : {&a, &b}) {
        for (const section& s : *doc) {
            sheets = sheets && s.kind == section_kind::sheet;
            pages = pages && s.kind == section_kind::page;
        }
    }
    return sheets ? align_sheets(a, b, da, db) : align_sequence(a, b, da, db, pages);
}

}  // namespace align
