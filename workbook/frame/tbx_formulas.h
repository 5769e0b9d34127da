// The formulas of a book, kept when it is opened with FORMULAS=TRUE: the
// text each formula cell shows in the formula bar ("=SUM(B2:B9)"; an array
// formula "{=A1:A3*2}" at its first cell, with its range), by sheet and
// cell.  Both readers put them here; TABX_get_formula reads them.
//
// A formula that could not be read, or whose text would pass the limit
// (TBX_FORMULA_MAX bytes), is kept as such with what went wrong, so that it
// is reported and never shown cut.
#ifndef TBX_FORMULAS_H
#define TBX_FORMULAS_H

#include <string>

#include "tabx.h"

enum {
    TBX_FORMULA_MAX = 32768,     // bytes of a formula text (book->max_formula_len)
    TBX_FORMULA_OK = 0,
    TBX_FORMULA_UNREADABLE = 1,  // text: what made it unreadable
    TBX_FORMULA_TOO_LONG = 2,    // text: empty, or the length it would have
};

struct tbx_formula {
    int status = TBX_FORMULA_OK;
    std::string text;   // UTF-8
    std::string range;  // an array formula's or data table's range, "C1:C3"
};

// True when the book was opened to keep its formulas.
bool tbx_keeps_formulas(const XLS_BOOK* book);

// Keeps the formula of a cell (0-based), replacing one it had; a text over
// TBX_FORMULA_MAX bytes is kept as TBX_FORMULA_TOO_LONG.  0, -3 for a sheet
// or cell outside the store's ranges, -2 without memory.  Does nothing when
// the book keeps no formulas.
int tbx_put_formula(XLS_BOOK* book, int sheet, int row, int column, int status, const std::string& text,
                    const std::string& range);

// Forgets the formula of a cell (a cell written again).
void tbx_drop_formula(XLS_BOOK* book, int sheet, int row, int column);

// The formula of a cell, or null.
const tbx_formula* tbx_find_formula(const XLS_BOOK* book, int sheet, int row, int column);

// One past the last column of a row that holds a formula (0 when none):
// with formulas kept, a formula cell counts as used even when its value is
// empty.
int tbx_formula_row_end(const XLS_BOOK* book, int sheet, int row);

// Forgets every formula of the book (its store is released).
void tbx_clear_formulas(XLS_BOOK* book);

#endif
