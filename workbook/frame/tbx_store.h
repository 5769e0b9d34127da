// The book's in-memory store: sheets, rows and cells, and the book-wide
// tables (shared strings, cell formats, number formats, drawing objects,
// package members).  Internal to the library; used by the readers, the
// access functions and the open/close sequences.
//
// Layout.  The records are the plain C records of tabx.h, reachable from the
// book (book->sheets[s].rows[r].cells[c], book->sst[i], ...).  Their memory
// is owned by C++ objects inside the book's private block (tbx_private.h):
// after every growth the store writes the new table addresses and counts back
// into the book, so a pointer taken from the book stays valid until the next
// call that grows the same table.  Texts hung from the records (cell texts,
// shared strings) are copies owned by the store, cut from the book's text
// pool or, when long, taken from the heap; never free or replace them by
// hand; use put_typed_value (cell_format.h) or the append functions below.
// A cell keeps a number as a double, not as a text (cell_value_text renders
// its text when asked for).
//
// Growth rules and limits:
//   sheets  capacity 10 at first, then doubled (at least to index + 1), at
//           most TBX_MAX_SHEETS
//   rows    capacity 100 per sheet, then doubled (at least to row + 1),
//           never above 1048577 (so rows 0..1048576)
//   cells   a row is dense (cells[c] for every column below its used
//           count) while that costs little: on its first use as many slots
//           as the row started before it uses (at most 64; the sheet's first
//           row: none), at least column + 1; then doubled (always at least to
//           column + 1), never above 16385 (so columns 0..16384).  A row
//           whose next growth would pass 64 slots and 64 for each of its
//           non-empty cells turns sparse instead (its cells with their
//           columns, ascending; empty cells left out), and a sparse row
//           holding a cell for every 16 columns below its used count turns
//           dense again: memory follows the cells present, not the widest
//           column, and a cell costs at most a bounded number of moves
//   number formats at most 500
//   all row and cell arrays of the book together at most min(physical
//           memory / 4, 4 GiB): growth beyond is refused with -2 (a file
//           names rows and columns, not memory; see tbx_store.cpp)
//
// Results: 0; -2 memory exhausted (the store is unchanged); -3 a negative
// index or an argument out of its range; -9 a fixed limit exceeded.
//
// Every function needs a book with a private block (TABX_open_book, or
// tbx_book_init of tbx_private.h); without one they give -3.
#ifndef TBX_STORE_H
#define TBX_STORE_H

#include <cstddef>
#include <cstdint>

#include "tabx.h"

enum {
    TBX_MAX_SHEETS = 65535,
    TBX_FIRST_SHEETS = 10,
    TBX_FIRST_ROWS = 100,
    TBX_ROW_LIMIT = 1048577,  // capacity never above this
    TBX_CELL_LIMIT = 16385,   // capacity never above this
    TBX_MAX_NUMFMTS = 500,
    TBX_SHEET_NAME_MAX = 99,  // bytes of a sheet name
    TBX_OBJECT_TEXT = 302,    // tag of an XLS_OBJECT_TEXT
};

// Tests: replaces the budget of the row and cell arrays (bytes; 0 restores
// the rule).  Applies to books opened afterwards and to growth from now on.
void tbx_set_slot_budget(int64_t bytes);

// Makes sheet `index` exist: grows the sheet table, initialising every new
// record (empty names, its index, 100 empty rows, writer defaults); the
// sheet count becomes at least index + 1.  Existing sheets keep their content.
// On success *sheet (when not null) points to the record.
int tbx_add_sheet(XLS_BOOK* book, int index, XLS_SHEET** sheet = nullptr);

// Sets a sheet's name (UTF-8, cut to 99 bytes on a character boundary).
// 0; -3 for a sheet outside the table.
int tbx_set_sheet_name(XLS_BOOK* book, int index, const char* name_utf8);

// Makes row `row` of sheet `sheet` exist (the sheet must exist); the sheet's
// used rows become at least row + 1.
int tbx_ensure_row(XLS_BOOK* book, int sheet, int row, XLS_ROW** out = nullptr);

// Makes cell (row, column) of sheet `sheet` exist, creating its row; new
// slots are empty.  The row's used cells become at least column + 1.  On
// success *out points to the cell (valid until the row grows again).
int tbx_ensure_cell(XLS_BOOK* book, int sheet, int row, int column, XLS_CELL** out);

// The cell if it is stored, else null (no growth).  In a sparse row a
// column without a cell of its own has none.
XLS_CELL* tbx_find_cell(const XLS_BOOK* book, int sheet, int row, int column);

// The cell at a column of a row, dense or sparse: null beyond the row's used
// count; an empty cell (type EMPTY) for a column below it that a sparse row
// holds no cell for.
const XLS_CELL* tbx_row_cell(const XLS_ROW& row, int column);

// The columns of a row up to its last cell that is not empty.
int tbx_row_columns(const XLS_ROW& row);

// Frees everything of the store (sheets, rows, cells and their texts, the
// book-wide tables) and sets every count to 0; deletes the temporary
// workbook file when book->temp_path is set (the path is emptied).  Safe on
// a book without a private block.
void tbx_release_store(XLS_BOOK* book);

// A copy of len bytes of a cell's value text and a terminator, taken from
// the book's text pool: blocks of 256 KiB from which the texts of a whole
// book are cut one after the other and which are freed together with the
// store, so that a million cells do not cost a million allocations.
// nullptr when there is no memory or the text is longer than 1024 bytes (the
// caller then allocates it on its own).
char* tbx_pool_text(XLS_BOOK* book, const char* text, size_t len);

// Frees a cell's value text: a text of a text pool stays until its store
// is released; any other is freed.  Null is allowed.
void tbx_free_cell_text(char* text);

// Appends a shared string (len bytes of UTF-8; need not be terminated).
// *index (when not null) receives its index.
int tbx_add_sst(XLS_BOOK* book, const char* text, int len, int* index = nullptr);

// Appends a cell format whose number-format id is numfmt_id (-1 for a style
// format); *index (when not null) receives its index.
int tbx_add_xf(XLS_BOOK* book, int numfmt_id, int* index = nullptr);

// Appends a number format, classified with classify_format_code.  The
// book keeps the code twice: as written, in UTF-8 (tbx_numfmt_code: what
// cells are shown through), and in the record's own field in Shift-JIS,
// cut to 255 bytes (characters Shift-JIS lacks become '?').  The code is
// given in UTF-8 (the readers) or in Shift-JIS.  -9 when the table holds
// 500 entries already.
int tbx_add_numfmt_utf8(XLS_BOOK* book, int id, const char* code_utf8);
int tbx_add_numfmt(XLS_BOOK* book, int id, const char* code_sjis);

// The code of number format `index` (0-based, as book->numfmt) in UTF-8,
// whole; "" for an index outside the table.
const char* tbx_numfmt_code(const XLS_BOOK* book, int index);

// Empties the number-format table (style-keeping mode, before a reader reads
// the file's own formats).
void tbx_clear_numfmts(XLS_BOOK* book);

// Appends a drawing object.  When text is not null the object carries an
// XLS_OBJECT_TEXT with a copy of it (UTF-8).
int tbx_add_drawing(XLS_BOOK* book, int kind, int sheet, const char* text_utf8);

// Appends the path of an unpacked package member.
int tbx_add_member(XLS_BOOK* book, const char* path);

#endif
