// TABX_open_book on an Open XML workbook given as a memory file: opened for
// unloading, walked cell by cell and destroyed.
#include <cstdint>

#include "mfile.h"
#include "tabx.h"
#include "walk_book.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Mfile* f = mopen("fuzz.xlsx", "wb");
    if (f) {
        if (size > 0) mwrite(data, size, 1, f);
        mclose(f);
        XLS_BOOK book;
        if (TABX_open_book(&book, "EXCEL=\"fuzz.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE") == 0)
            fuzz_walk_book(&book);
        TABX_error_mesg(&book);
        TABX_close_book(&book, "DESTROY");
    }
    mcloseall();
    return 0;
}
