// The book's private block: the state a caller never sees.  Allocated by
// TABX_open_book, freed by TABX_close_book and TABX_free_book.
//
// It holds the caller's character set, the standard streams, the message
// log (messages.h) and the owners of the store's memory (tbx_store.h).
#ifndef TBX_PRIVATE_H
#define TBX_PRIVATE_H

#include <cstdio>
#include <memory>
#include <vector>

#include "number_format.h"
#include "tabx.h"

struct tbx_store_owner;  // tbx_store.cpp
struct tbx_formula_table;  // tbx_formulas.cpp
struct tbx_macro_project;  // tbx_macros.cpp

enum { TBX_LOG_LINES = 32, TBX_LOG_LINE_LEN = 200 };

struct tbx_private {
    int charset = 1;  // caller's texts: 1 SJIS, 2 EUC, 3 UTF8
    std::FILE* out = stdout;
    std::FILE* err = stderr;

    // The message log: the latest 32 lines of at most 200 bytes (UTF-8).
    char log[TBX_LOG_LINES][TBX_LOG_LINE_LEN + 1] = {};
    int log_count = 0;
    int pending = -1;  // pending message number, -1 = none

    std::unique_ptr<tbx_store_owner> store;
    std::vector<char> work;  // a cell's rendering buffer, made on first use

    // Cell display: the compiled number formats of the book, the workbook's
    // date system, and the classic renderings asked for with DISPLAY=CLASSIC
    // (the closed list of internal format types instead of the engine).
    std::unique_ptr<tbx_format_cache> formats;
    bool date1904 = false;
    bool classic = false;

    // The formula text of each formula cell, kept when asked for with
    // FORMULAS=TRUE (tbx_formulas.h), and the macro project read by
    // TABX_open_macros.
    bool keep_formulas = false;
    std::shared_ptr<tbx_formula_table> formula_table;
    std::shared_ptr<tbx_macro_project> macros;

    tbx_private();
    ~tbx_private();
};

// The private block of a book, or null.
inline tbx_private* tbx_priv(const XLS_BOOK* book) {
    return book ? static_cast<tbx_private*>(book->priv) : nullptr;
}

// Gives the book a fresh private block when it has none (the record is
// otherwise left alone).  0, or -2.
int tbx_alloc_private(XLS_BOOK* book);

// Initialises every field of the book for the Open XML format (legacy false:
// 1048576 rows, 16384 columns, format 12) or the legacy format (65536, 256,
// format 11): all mode flags off, document properties, an empty store with
// 10 sheet slots.  The private block, the error code and the message stay.
// 0, or -2.
int tbx_book_init(XLS_BOOK* book, bool legacy);

// Releases the store and frees the private block.  The record keeps its
// message; every table pointer becomes null.
void tbx_free_private(XLS_BOOK* book);

// The rendering buffer of the book (TBX_RENDER_BUF bytes), or null when
// memory runs out.
char* tbx_work_buffer(XLS_BOOK* book);

// The book's character set (1 when it has no private block).
inline int tbx_charset(const XLS_BOOK* book) {
    const tbx_private* p = tbx_priv(book);
    return p ? p->charset : 1;
}

// True when cells are rendered through the number-format engine: the book
// shows cells as their formats display them (MODE=UNLOAD) and the classic
// renderings were not asked for.
inline bool tbx_engine_display(const XLS_BOOK* book) {
    const tbx_private* p = tbx_priv(book);
    return p && !p->classic && book->raw_display == 0;
}

// True when the readers store numbers as they are (every mode but the
// classic one, which splits date serials into fields and back).
inline bool tbx_exact_values(const XLS_BOOK* book) {
    const tbx_private* p = tbx_priv(book);
    return !p || !p->classic;
}

#endif
