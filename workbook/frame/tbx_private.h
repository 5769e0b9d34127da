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

#include "tabx.h"

struct tbx_store_owner;  // tbx_store.cpp

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

#endif
