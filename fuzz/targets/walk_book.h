// Walks every sheet, row and cell of an open book as the workbook text dump
// does, with a full-size and a deliberately small text buffer, then reads
// the drawing-object texts.  Shared by the two book-opening targets.
#ifndef VERGLE_FUZZ_WALK_BOOK_H
#define VERGLE_FUZZ_WALK_BOOK_H

#include <cstring>
#include <vector>

#include "tabx.h"

inline void fuzz_walk_book(XLS_BOOK* book) {
    static std::vector<char> text(TABX_CELL_TEXT_BUF);
    char type[256], small[16], name[300], cell[16];
    for (int s = 0; s < TABX_sheet_num(book); ++s) {
        TABX_sheet_name(book, s, name);
        if (TABX_open_sheet2(book, s) != 0) continue;
        int rows = TABX_row_num(book);
        // Rows beyond this many are only counted: the walk stays fast on
        // sparse sheets whose last row is near the limit.
        if (rows > 100000) rows = 100000;
        for (int r = 0; r < rows; ++r) {
            int cols = TABX_column_num(book, r);
            for (int c = 0; c <= cols && c < 16384; ++c) {
                if (TABX_cell_name(r + 1, c + 1, cell) != 0) continue;
                TABX_get_cell(book, cell, text.data(), static_cast<int>(text.size()), type, sizeof type);
                if (c == 0) TABX_get_cell(book, cell, small, sizeof small, type, 8);
            }
        }
    }
    for (int d = 0; d < book->drawing_count; ++d) {
        const XLS_DRAWING& o = book->drawings[d];
        if (o.kind == 1 && o.data) {
            const XLS_OBJECT_TEXT* t = static_cast<const XLS_OBJECT_TEXT*>(o.data);
            if (t->text) (void)std::strlen(t->text);
        }
    }
    TABX_error_mesg(book);
}

#endif
