// TABX_get_cell over a store of 1,000,000 cells of mixed types: texts (half
// of them Japanese), integers under a thousands format, decimals and dates
// under a Japanese date format.  Each fetch parses the cell name, renders the
// cell and converts the text to the caller's Shift-JIS, as the workbook dump
// does.  Reported as cells per second (items_per_second).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cell_format.h"
#include "tabx.h"
#include "tbx_store.h"

namespace {

constexpr int kRows = 10000;
constexpr int kColumns = 100;

struct bench_book {
    XLS_BOOK book;
    std::vector<std::string> names;  // cell names in row order

    bench_book() {
        if (TABX_open_book(&book, "MODE=CREATE") != 0) std::abort();
        book.raw_display = 0;  // as MODE=UNLOAD
        tbx_add_sheet(&book, 0);
        int xf_general, xf_thousands, xf_date;
        tbx_add_xf(&book, 0, &xf_general);
        tbx_add_xf(&book, 3, &xf_thousands);
        tbx_add_numfmt(&book, 176, "yyyy\"\x94\x4e\"m\"\x8c\x8e\"d\"\x93\xfa\"");
        tbx_add_xf(&book, 176, &xf_date);
        char text[64];
        names.reserve(static_cast<size_t>(kRows) * kColumns);
        for (int r = 0; r < kRows; ++r) {
            for (int c = 0; c < kColumns; ++c) {
                switch (c % 4) {
                case 0: {
                    XLS_CELL* cell = nullptr;
                    tbx_ensure_cell(&book, 0, r, c, &cell);
                    std::snprintf(text, sizeof text, (r + c) % 8 == 0 ? "品名%d" : "item %d", r * c);
                    tbx_value v;
                    v.text = text;
                    put_typed_value(TBX_CHARACTER, cell, &v);
                    break;
                }
                case 1: put_number(&book, 0, r, c, 3, xf_thousands, r * 1000.0 + c); break;
                case 2: put_number(&book, 0, r, c, 0, xf_general, r + c / 1000.0); break;
                default: put_number(&book, 0, r, c, 176, xf_date, 40000 + r); break;
                }
                char name[16];
                TABX_cell_name(r + 1, c + 1, name);
                names.emplace_back(name);
            }
        }
    }
    ~bench_book() { TABX_close_book(&book, nullptr); }
};

void BM_GetCell(benchmark::State& state) {
    static bench_book b;
    char text[256];
    size_t i = 0;
    const size_t n = b.names.size();
    for (auto _ : state) {
        int rc = TABX_get_cell(&b.book, b.names[i].c_str(), text, sizeof text, nullptr, 0);
        benchmark::DoNotOptimize(rc);
        benchmark::DoNotOptimize(text[0]);
        if (++i == n) i = 0;
    }
    state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_GetCell)->MinTime(2.0);

// A whole pass over the million cells per iteration.
void BM_GetCellFullPass(benchmark::State& state) {
    static bench_book b;
    char text[256];
    for (auto _ : state) {
        for (const std::string& name : b.names) {
            benchmark::DoNotOptimize(TABX_get_cell(&b.book, name.c_str(), text, sizeof text, nullptr, 0));
        }
    }
    state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(b.names.size()));
}
BENCHMARK(BM_GetCellFullPass)->Unit(benchmark::kMillisecond)->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
