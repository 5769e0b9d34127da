// The engine's own tools: hashes, set sketches, the shortest edit script
// between two sequences of keys, the pairing of what lies between anchors,
// and the word splitter.
#ifndef VERGLE_ALIGN_INTERNAL_H
#define VERGLE_ALIGN_INTERNAL_H

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <utility>
#include <vector>

namespace align::detail {

// ---------------------------------------------------------------------------
// Hashes
// ---------------------------------------------------------------------------

inline uint64_t mix(uint64_t x) {
    x ^= x >> 30;
    x *= 0xBF58476D1CE4E5B9ull;
    x ^= x >> 27;
    x *= 0x94D049BB133111EBull;
    x ^= x >> 31;
    return x;
}

// A 64-bit hash of bytes, eight at a time.
inline uint64_t hash_bytes(std::string_view s, uint64_t seed = 0) {
    uint64_t h = seed ^ (s.size() * 0x9E3779B97F4A7C15ull);
    const char* p = s.data();
    size_t n = s.size();
    while (n >= 8) {
        uint64_t w;
        std::memcpy(&w, p, 8);
        h = (h ^ mix(w)) * 0x9E3779B97F4A7C15ull;
        h = (h << 29) | (h >> 35);
        p += 8, n -= 8;
    }
    uint64_t w = 0;
    std::memcpy(&w, p, n);
    h = (h ^ mix(w ^ n)) * 0x9E3779B97F4A7C15ull;
    return mix(h);
}

// Combines an ordered sequence of hashes.
inline uint64_t combine(uint64_t h, uint64_t v) { return mix(h * 0x100000001B3ull + v + 0x9E3779B97F4A7C15ull); }

// ---------------------------------------------------------------------------
// Set sketches
// ---------------------------------------------------------------------------

// The k smallest distinct hashes of a set: the share of the smallest hashes
// of two sets' union found in both estimates how much the sets share
// (exactly, for sets of at most k members).
class sketch {
public:
    explicit sketch(size_t k = 64) : k_(k) {}
    void add(uint64_t h) {
        if (v_.size() == k_ && h >= v_.back()) return;
        auto at = std::lower_bound(v_.begin(), v_.end(), h);
        if (at != v_.end() && *at == h) return;
        v_.insert(at, h);
        if (v_.size() > k_) v_.pop_back();
    }
    bool empty() const { return v_.empty(); }
    const std::vector<uint64_t>& values() const { return v_; }
    size_t k() const { return k_; }

private:
    size_t k_;
    std::vector<uint64_t> v_;
};

// From 0 to 1; two empty sets are alike.
inline double resemblance(const sketch& x, const sketch& y) {
    const std::vector<uint64_t>& a = x.values();
    const std::vector<uint64_t>& b = y.values();
    if (a.empty() || b.empty()) return a.empty() && b.empty() ? 1.0 : 0.0;
    const size_t k = std::min(x.k(), y.k());
    size_t i = 0, j = 0, taken = 0, both = 0;
    while (taken < k && (i < a.size() || j < b.size())) {
        if (j == b.size() || (i < a.size() && a[i] < b[j])) {
            ++i;
        } else if (i == a.size() || b[j] < a[i]) {
            ++j;
        } else {
            ++i, ++j, ++both;
        }
        ++taken;
    }
    return static_cast<double>(both) / static_cast<double>(taken);
}

// ---------------------------------------------------------------------------
// Edit scripts
// ---------------------------------------------------------------------------

// Marks the elements of a deleted and those of b inserted by a shortest edit
// script turning a into b (equal keys, equal elements); the unmarked ones of
// both, in order, are a longest common subsequence.  Elements found on one
// side only are marked first and the search runs on the others; when the
// differences are many, the search settles for good splits instead of the
// best (the script stays valid), so that its cost stays near-linear.
void diff_keys(const std::vector<uint64_t>& a, const std::vector<uint64_t>& b, std::vector<bool>& deleted,
               std::vector<bool>& inserted);

// One stretch of a script: a[a0, a1) against b[b0, b1), equal or changed.
struct stretch {
    size_t a0, a1, b0, b1;
    bool equal;
};
std::vector<stretch> stretches(const std::vector<bool>& deleted, const std::vector<bool>& inserted);

// Gaps up to this many candidate pairs are paired by dynamic programming;
// larger ones greedily within a window.
constexpr size_t MAX_DP_PAIRS = 4096;
constexpr size_t GREEDY_WINDOW = 16;

// Pairs the elements of a gap (i of n against j of m) that are alike: a
// monotone pairing with the largest sum of similarities, each at least
// threshold, by dynamic programming up to max_dp candidate pairs (greedily
// within a window beyond).  With fill, the elements left between two pairs
// (or before the first, after the last) are paired in order where both
// sides left as many.
template <class Sim>
std::vector<std::pair<size_t, size_t>> pair_gap(size_t n, size_t m, Sim&& sim, double threshold, bool fill,
                                                size_t max_dp = MAX_DP_PAIRS) {
    std::vector<std::pair<size_t, size_t>> pairs;
    if (n == 0 || m == 0) return pairs;
    if (n * m <= max_dp) {
        // best[i][j]: the largest sum for a[0, i) and b[0, j).
        std::vector<double> s(n * m), best((n + 1) * (m + 1), 0.0);
        for (size_t i = 0; i < n; ++i)
            for (size_t j = 0; j < m; ++j) s[i * m + j] = sim(i, j);
        auto at = [&](size_t i, size_t j) -> double& { return best[i * (m + 1) + j]; };
        for (size_t i = 1; i <= n; ++i) {
            for (size_t j = 1; j <= m; ++j) {
                double v = std::max(at(i - 1, j), at(i, j - 1));
                double x = s[(i - 1) * m + (j - 1)];
                if (x >= threshold) v = std::max(v, at(i - 1, j - 1) + x);
                at(i, j) = v;
            }
        }
        size_t i = n, j = m;
        while (i > 0 && j > 0) {
            double x = s[(i - 1) * m + (j - 1)];
            if (x >= threshold && at(i, j) == at(i - 1, j - 1) + x) {
                pairs.push_back({i - 1, j - 1});
                --i, --j;
            } else if (at(i, j) == at(i - 1, j)) {
                --i;
            } else {
                --j;
            }
        }
        std::reverse(pairs.begin(), pairs.end());
    } else {
        size_t next = 0;
        for (size_t i = 0; i < n && next < m; ++i) {
            size_t best_j = m;
            double best = threshold;
            for (size_t j = next; j < m && j < next + GREEDY_WINDOW; ++j) {
                double x = sim(i, j);
                if (x >= best && (best_j == m || x > best)) best = x, best_j = j;
            }
            if (best_j < m) {
                pairs.push_back({i, best_j});
                next = best_j + 1;
            }
        }
    }
    if (!fill) return pairs;
    std::vector<std::pair<size_t, size_t>> out;
    size_t pi = 0, pj = 0;
    for (size_t k = 0; k <= pairs.size(); ++k) {
        size_t ei = k < pairs.size() ? pairs[k].first : n;
        size_t ej = k < pairs.size() ? pairs[k].second : m;
        if (ei - pi == ej - pj)
            for (size_t d = 0; d < ei - pi; ++d) out.push_back({pi + d, pj + d});
        if (k < pairs.size()) out.push_back(pairs[k]);
        pi = ei + 1, pj = ej + 1;
    }
    return out;
}

// ---------------------------------------------------------------------------
// Words
// ---------------------------------------------------------------------------

enum class word_class : uint8_t { blank, number, latin, kanji, hiragana, katakana, other };

// Splits text into words (see diff_words) and calls f(word, class) for each.
template <class F>
void for_each_word(std::string_view text, F&& f);

// The character at text[i] (its code point, or 0xFFFFFFFF for a byte that
// does not start a valid UTF-8 sequence) and its length in bytes.
inline uint32_t decode(std::string_view text, size_t i, size_t& len) {
    const unsigned char c = static_cast<unsigned char>(text[i]);
    len = 1;
    if (c < 0x80) return c;
    size_t n = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
    if (n == 0 || c > 0xF4 || i + n > text.size()) return 0xFFFFFFFF;
    uint32_t cp = c & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        unsigned char t = static_cast<unsigned char>(text[i + k]);
        if ((t & 0xC0) != 0x80) return 0xFFFFFFFF;
        cp = (cp << 6) | (t & 0x3F);
    }
    // Overlong forms, surrogates and code points past U+10FFFF.
    if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0xFFFFFFFF;
    len = n;
    return cp;
}

word_class class_of(uint32_t cp);

// The sorted hashes of a text's words, blanks left out, and how much two
// such bags share (twice the words in both over all words; two empty bags
// are alike).
std::vector<uint64_t> word_bag(std::string_view text);
double bag_similarity(const std::vector<uint64_t>& x, const std::vector<uint64_t>& y);

template <class F>
void for_each_word(std::string_view text, F&& f) {
    size_t i = 0;
    while (i < text.size()) {
        size_t len;
        uint32_t cp = decode(text, i, len);
        word_class k = class_of(cp);
        size_t end = i + len;
        if (k != word_class::other) {
            while (end < text.size()) {
                size_t l2;
                uint32_t c2 = decode(text, end, l2);
                word_class k2 = class_of(c2);
                // Voiced sound marks belong to the kana before them.
                bool joins = k2 == k || (c2 >= 0x3099 && c2 <= 0x309C && (k == word_class::hiragana ||
                                                                          k == word_class::katakana));
                // "120,000" and "3.5": a comma or point between digits.
                if (!joins && k == word_class::number && (c2 == ',' || c2 == '.') && end + 1 < text.size()) {
                    size_t l3;
                    joins = class_of(decode(text, end + 1, l3)) == word_class::number;
                }
                if (!joins) break;
                end += l2;
            }
        }
        f(text.substr(i, end - i), k);
        i = end;
    }
}

}  // namespace align::detail

#endif
