// The formula decoder: the first two bytes give how many of the rest are
// tokens, the others are their extra data; decoded in both layouts over a
// workbook of sheets, links and names, within a small limit.
#include <cstdint>
#include <cstdlib>

#include "biff_formula.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const xls::formula_links links = [] {
        xls::formula_links l;
        l.sheets = {"Data", "数値 一覧"};
        l.books.resize(3);
        l.books[0].kind = xls::formula_links::BOOK_SELF;
        l.books[1].kind = xls::formula_links::BOOK_ADDIN;
        l.books[1].names = {"_xlfn.IFERROR"};
        l.books[2] = {xls::formula_links::BOOK_EXTERNAL, 1, {"Feuil1"}, {"Rate"}};
        l.xtis = {{0, 0, 1}, {1, -2, -2}, {2, 0, 0}, {0, -1, -1}};
        l.names = {{"Total", -1}, {"Local", 1}};
        return l;
    }();
    if (size < 2) return 0;
    const size_t cce = (data[0] | (data[1] << 8)) % (size - 1);
    for (bool biff5 : {false, true}) {
        std::string out;
        int rc = xls::formula_text(data + 2, cce, data + 2 + cce, size - 2 - cce, links, {0, 5, 3}, 2048, out,
                                   nullptr, biff5, 932);
        if (rc == xls::FORMULA_OK ? out.size() > 2048 : !out.empty()) abort();
    }
    return 0;
}
