// Words of a cell or paragraph, and how two of them differ.
#include <algorithm>

#include "align.h"
#include "internal.h"

namespace align {

namespace detail {

word_class class_of(uint32_t cp) {
    if (cp == ' ' || cp == '\t' || cp == 0xA0 || cp == 0x3000) return word_class::blank;
    if ((cp >= '0' && cp <= '9') || (cp >= 0xFF10 && cp <= 0xFF19)) return word_class::number;
    if ((cp >= 'A' && cp <= 'Z') || (cp >= 'a' && cp <= 'z') || cp == '_' ||
        (cp >= 0xC0 && cp <= 0x24F && cp != 0xD7 && cp != 0xF7) || (cp >= 0x370 && cp <= 0x52F) ||
        (cp >= 0xFF21 && cp <= 0xFF3A) || (cp >= 0xFF41 && cp <= 0xFF5A))
        return word_class::latin;
    if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0xF900 && cp <= 0xFAFF) ||
        (cp >= 0x20000 && cp <= 0x3134F) || (cp >= 0x3005 && cp <= 0x3007))
        return word_class::kanji;
    if ((cp >= 0x3041 && cp <= 0x3096) || (cp >= 0x309D && cp <= 0x309F)) return word_class::hiragana;
    if ((cp >= 0x30A1 && cp <= 0x30FA) || (cp >= 0x30FC && cp <= 0x30FF) || (cp >= 0x31F0 && cp <= 0x31FF) ||
        (cp >= 0xFF66 && cp <= 0xFF9F))
        return word_class::katakana;
    return word_class::other;
}

}  // namespace detail

namespace {

using detail::word_class;

struct word {
    std::string_view text;
    size_t at;  // offset in its text
    word_class cls;
};

std::vector<word> words_of(std::string_view text) {
    std::vector<word> out;
    detail::for_each_word(text, [&](std::string_view w, word_class c) {
        out.push_back({w, static_cast<size_t>(w.data() - text.data()), c});
    });
    return out;
}

bool japanese(word_class c) {
    return c == word_class::kanji || c == word_class::hiragana || c == word_class::katakana;
}

// A piece of the result as offsets into both texts: [a0, a1) of a and
// [b0, b1) of b; equal pieces cover the same text on both sides.
struct piece {
    size_t a0, a1, b0, b1;
    bool equal;
};

// Bytes of the characters two texts share at their start (whole UTF-8
// characters only).
size_t common_start(std::string_view x, std::string_view y) {
    size_t i = 0;
    while (i < x.size() && i < y.size()) {
        size_t lx, ly;
        uint32_t cx = detail::decode(x, i, lx), cy = detail::decode(y, i, ly);
        if (cx != cy || lx != ly || x.compare(i, lx, y, i, ly) != 0) break;
        i += lx;
    }
    return i;
}

// Bytes of the characters two texts share at their end, not reaching into
// the first `keep` bytes of either.
size_t common_end(std::string_view x, std::string_view y, size_t keep) {
    size_t n = 0;
    while (n < x.size() - keep && n < y.size() - keep) {
        // The start of the last character before the end already matched.
        size_t px = x.size() - n - 1, py = y.size() - n - 1;
        while (px > keep && (static_cast<unsigned char>(x[px]) & 0xC0) == 0x80) --px;
        while (py > keep && (static_cast<unsigned char>(y[py]) & 0xC0) == 0x80) --py;
        size_t lx = x.size() - n - px, ly = y.size() - n - py;
        if (lx != ly || x.compare(px, lx, y, py, ly) != 0) break;
        n += lx;
    }
    return n;
}

}  // namespace

std::vector<word_op> diff_words(std::string_view a, std::string_view b) {
    std::vector<word> wa = words_of(a), wb = words_of(b);
    std::vector<uint64_t> ka, kb;
    ka.reserve(wa.size());
    kb.reserve(wb.size());
    for (const word& w : wa) ka.push_back(detail::hash_bytes(w.text));
    for (const word& w : wb) kb.push_back(detail::hash_bytes(w.text));
    std::vector<bool> del, ins;
    detail::diff_keys(ka, kb, del, ins);
    // Equal words whose hashes met by chance are changed words.
    for (size_t i = 0, j = 0; i < wa.size() && j < wb.size();) {
        if (del[i]) { ++i; continue; }
        if (ins[j]) { ++j; continue; }
        if (wa[i].text != wb[j].text) del[i] = ins[j] = true;
        ++i, ++j;
    }

    auto a_end = [&](size_t i) { return i < wa.size() ? wa[i].at : a.size(); };
    auto b_end = [&](size_t j) { return j < wb.size() ? wb[j].at : b.size(); };
    std::vector<piece> pieces;
    for (const detail::stretch& s : detail::stretches(del, ins)) {
        piece p{a_end(s.a0), a_end(s.a1), b_end(s.b0), b_end(s.b1), s.equal};
        if (!s.equal && p.a0 < p.a1 && p.b0 < p.b1) {
            // A changed run of Japanese script on both sides keeps what its
            // two texts share at the start and at the end.
            bool all = true;
            for (size_t i = s.a0; i < s.a1 && all; ++i) all = japanese(wa[i].cls);
            for (size_t j = s.b0; j < s.b1 && all; ++j) all = japanese(wb[j].cls);
            if (all) {
                std::string_view x = a.substr(p.a0, p.a1 - p.a0), y = b.substr(p.b0, p.b1 - p.b0);
                size_t head = common_start(x, y);
                size_t tail = common_end(x, y, head);
                if (head) pieces.push_back({p.a0, p.a0 + head, p.b0, p.b0 + head, true});
                pieces.push_back({p.a0 + head, p.a1 - tail, p.b0 + head, p.b1 - tail, false});
                if (tail) pieces.push_back({p.a1 - tail, p.a1, p.b1 - tail, p.b1, true});
                continue;
            }
        }
        pieces.push_back(p);
    }
    // Changes parted by a lone blank are one change.
    std::vector<piece> merged;
    for (size_t k = 0; k < pieces.size(); ++k) {
        const piece& p = pieces[k];
        if (!p.equal && !merged.empty() && !merged.back().equal) {
            merged.back().a1 = p.a1, merged.back().b1 = p.b1;
            continue;
        }
        if (p.equal && !merged.empty() && !merged.back().equal && k + 1 < pieces.size() && !pieces[k + 1].equal) {
            std::string_view between = a.substr(p.a0, p.a1 - p.a0);
            bool blank = !between.empty();
            size_t n = 0;
            detail::for_each_word(between, [&](std::string_view, word_class c) {
                blank = blank && c == word_class::blank;
                ++n;
            });
            // (A tab parts the cells of a table row: changes on either
            // side of it stay apart.)
            if (blank && n == 1 && between.find('\t') == std::string_view::npos) {
                merged.back().a1 = p.a1, merged.back().b1 = p.b1;
                continue;
            }
        }
        merged.push_back(p);
    }
    std::vector<word_op> out;
    for (const piece& p : merged) {
        if (p.equal) {
            if (p.a1 > p.a0) out.push_back({op::same, a.substr(p.a0, p.a1 - p.a0)});
            continue;
        }
        if (p.a1 > p.a0) out.push_back({op::deleted, a.substr(p.a0, p.a1 - p.a0)});
        if (p.b1 > p.b0) out.push_back({op::inserted, b.substr(p.b0, p.b1 - p.b0)});
    }
    return out;
}

std::vector<word_op> diff_cell(std::string_view a, std::string_view b) {
    std::vector<word_op> w = diff_words(a, b);
    size_t same = 0, deleted = 0, inserted = 0;
    auto chars = [](std::string_view t) {
        size_t n = 0;
        for (char c : t) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
        return n;
    };
    for (const word_op& x : w) {
        size_t& n = x.kind == op::same ? same : x.kind == op::deleted ? deleted : inserted;
        n += chars(x.text);
    }
    if (same >= deleted && same >= inserted) return w;
    std::vector<word_op> whole;
    if (!a.empty()) whole.push_back({op::deleted, a});
    if (!b.empty()) whole.push_back({op::inserted, b});
    return whole;
}

namespace detail {

// The sorted hashes of a text's words, blanks left out.
std::vector<uint64_t> word_bag(std::string_view text) {
    std::vector<uint64_t> bag;
    for_each_word(text, [&](std::string_view w, word_class c) {
        if (c != word_class::blank) bag.push_back(hash_bytes(w));
    });
    std::sort(bag.begin(), bag.end());
    return bag;
}

double bag_similarity(const std::vector<uint64_t>& x, const std::vector<uint64_t>& y) {
    if (x.empty() || y.empty()) return x.empty() && y.empty() ? 1.0 : 0.0;
    size_t i = 0, j = 0, both = 0;
    while (i < x.size() && j < y.size()) {
        if (x[i] < y[j]) ++i;
        else if (y[j] < x[i]) ++j;
        else ++both, ++i, ++j;
    }
    return 2.0 * static_cast<double>(both) / static_cast<double>(x.size() + y.size());
}

}  // namespace detail

double word_similarity(std::string_view a, std::string_view b) {
    return detail::bag_similarity(detail::word_bag(a), detail::word_bag(b));
}

}  // namespace align
