// The alignment engine and the HTML report on two arbitrary documents: the
// first byte picks the sections' kind and whether a sheet's layout is told;
// the rest is the two documents parted by a zero byte, their sections by
// 0x01.  What must hold whatever the input: every section and every row in
// exactly one pair or operation, in order; the words of two texts give both
// texts back; the report renders.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "align.h"
#include "report.h"

namespace {

void require(bool ok) {
    if (!ok) std::abort();
}

std::vector<align::section> document(std::string_view text, uint8_t mode) {
    std::vector<align::section> doc;
    const align::section_kind kind = static_cast<align::section_kind>(mode % 4);
    size_t start = 0;
    while (start <= text.size() && doc.size() < 64) {
        size_t end = text.find('\x01', start);
        if (end == std::string_view::npos) end = text.size();
        align::section s;
        s.kind = kind;
        s.text = std::string(text.substr(start, end - start));
        size_t lf = s.text.find('\n');
        s.title = s.text.substr(0, lf == std::string::npos ? 0 : std::min<size_t>(lf, 8));
        if (kind == align::section_kind::sheet && (mode & 4)) {
            // A layout as a dump would tell it, made from the text: its line
            // count less a few, cells said to run over by their bytes.
            long lines = 0;
            for (char c : s.text) lines += c == '\n';
            s.sheet_rows = lines - (mode >> 5);
            for (size_t k = 0; k + 2 < s.text.size() && s.breaks.size() < 8; k += 7) {
                long row = static_cast<unsigned char>(s.text[k]) % 8;
                long col = static_cast<unsigned char>(s.text[k + 1]) % 6;
                if (!s.breaks.empty() && (row < s.breaks.back().row ||
                                          (row == s.breaks.back().row && col <= s.breaks.back().column)))
                    continue;
                s.breaks.push_back({row, col, static_cast<unsigned char>(s.text[k + 2]) % 3});
            }
        }
        doc.push_back(std::move(s));
        start = end + 1;
    }
    return doc;
}

void check_rows(const std::vector<align::row_op>& ops, size_t na, size_t nb) {
    long next_a = 0, next_b = 0;
    for (const align::row_op& o : ops) {
        if (o.a >= 0) require(o.a == next_a++);
        if (o.b >= 0) require(o.b == next_b++);
        require(o.kind == align::op::deleted ? o.b < 0 && o.a >= 0
                : o.kind == align::op::inserted ? o.a < 0 && o.b >= 0
                                                : o.a >= 0 && o.b >= 0);
    }
    require(static_cast<size_t>(next_a) == na && static_cast<size_t>(next_b) == nb);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 20000) return 0;
    const uint8_t mode = data[0];
    std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
    size_t zero = rest.find('\0');
    std::string_view first = rest.substr(0, zero), second = zero == std::string_view::npos ? "" : rest.substr(zero + 1);
    std::vector<align::section> a = document(first, mode), b = document(second, mode);

    std::vector<align::section_pair> pairs = align::align_sections(a, b);
    std::vector<int> seen_a(a.size(), 0), seen_b(b.size(), 0);
    report::page page("first", "second", mode % 5);
    align::summary sum;
    for (const align::section_pair& p : pairs) {
        require(p.a0 <= p.a1 && p.b0 <= p.b1 && p.a1 <= static_cast<long>(a.size()) &&
                p.b1 <= static_cast<long>(b.size()) && (p.a1 > p.a0 || p.b1 > p.b0));
        for (long i = p.a0; i < p.a1; ++i) ++seen_a[static_cast<size_t>(i)];
        for (long j = p.b0; j < p.b1; ++j) ++seen_b[static_cast<size_t>(j)];
        align::layout la = align::pair_layout(a, p.a0, p.a1), lb = align::pair_layout(b, p.b0, p.b1);
        align::pair_script s = align::align_pair(la, lb, (p.inserted() ? b[p.b0] : a[p.a0]).kind);
        check_rows(s.rows, la.rows.rows(), lb.rows.rows());
        check_rows(s.notes, la.notes.rows(), lb.notes.rows());
        for (const align::row_op& o : s.rows) {
            if (o.kind != align::op::changed) continue;
            std::string_view x = la.rows.cell(static_cast<size_t>(o.a), 0);
            std::string_view y = lb.rows.cell(static_cast<size_t>(o.b), 0);
            std::string back_a, back_b;
            for (const align::word_op& w : align::diff_words(x, y)) {
                if (w.kind != align::op::inserted) back_a += w.text;
                if (w.kind != align::op::deleted) back_b += w.text;
            }
            require(back_a == x && back_b == y);
            align::row_cells(s, la.rows, static_cast<size_t>(o.a), lb.rows, static_cast<size_t>(o.b));
        }
        align::count(sum, p, s, la, lb);
        page.add(a, b, p, la, lb, s);
    }
    for (int n : seen_a) require(n == 1);
    for (int n : seen_b) require(n == 1);
    std::string html = page.finish(sum);
    require(html.find('\x1b') == std::string::npos);
    return 0;
}
