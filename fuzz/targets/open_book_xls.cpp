// TABX_open_book on a legacy workbook: the input is written to a file in the
// current folder (the legacy reader reads from disk), opened for unloading,
// walked cell by cell and destroyed.
#include <cstdint>

#include "mfile.h"
#include "platform.h"
#include "tabx.h"
#include "walk_book.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const name = "fuzz_open_book.xls";
    plat_file* f = plat_open(name, PLAT_WRITE);
    if (!f) return 0;
    bool ok = plat_write(f, data, size) == size;
    plat_close(f);
    if (ok) {
        XLS_BOOK book;
        if (TABX_open_book(&book, "EXCEL=\"fuzz_open_book.xls\" MODE=UNLOAD") == 0) fuzz_walk_book(&book);
        TABX_error_mesg(&book);
        TABX_close_book(&book, "DESTROY");
    }
    plat_remove_file(name);
    mcloseall();
    return 0;
}
