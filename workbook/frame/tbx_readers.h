// The one dispatch point between the frame and the workbook readers.
//
// TABX_open_book decides a file's kind and hands the file to exactly one of
// these functions.  Each reader target defines its own: workbook/xls defines
// tbx_read_excel2003, workbook/xlsx defines tbx_read_excel2007 and
// tbx_list_excel2007.  While a reader is not built, a fallback in the frame
// (tbx_no_excel2003.cpp, tbx_no_excel2007.cpp) answers TBX_NO_READER and the
// open sequence reports the file as unsupported (-4, TABX-00900).
//
// A reader fills the book's store through tbx_store.h and cell_format.h,
// writes its own messages through tbx_message.h where the open sequence says
// so, and releases everything it created besides the store (memory files,
// buffers) before it returns.  The book arrives initialised for the reader's
// format, with book->temp_path (legacy), book->raw_display and
// book->style_keep set from the keywords.
//
// How a reader fills a book (all functions return 0 or a negative code):
//
//     if (book->style_keep == 0) tbx_clear_numfmts(book);
//     tbx_add_numfmt_utf8(book, 164, code);              // per custom format
//     tbx_add_xf(book, numfmt_id, &xf);                  // per cell format
//     tbx_add_sst(book, utf8, len, &index);              // per shared string
//     tbx_add_sheet(book, s);                            // per sheet
//     tbx_set_sheet_name(book, s, utf8_name);
//     // a number of a legacy record:
//     put_number(book, s, row, col, book->xf[xf].numfmt, xf, value);
//     // any other value:
//     XLS_CELL* cell;
//     tbx_ensure_cell(book, s, row, col, &cell);
//     tbx_value v;  v.index = index;
//     put_typed_value(TBX_SHARED_STRING, cell, &v);
//     cell->xf = xf;
//     tbx_add_drawing(book, 1, s, utf8_text);            // shape or comment
//
// Rows and columns are 0-based.  Messages for the failures the open sequence
// leaves to the reader go through tbx_message (tbx_message.h).
#ifndef TBX_READERS_H
#define TBX_READERS_H

#include "tabx.h"

// Returned by a fallback: this build has no reader for the kind.
enum { TBX_NO_READER = -4004 };

// Reads a legacy (97-2003) workbook at path into the book.
// 0 success; -2 memory; -4 an invalid container or a password-protected
// workbook, and 1002 (both reported as -910); -9 a fixed limit exceeded (the
// reader has written its message); any other value is reported as
// "TABX-03110".
int tbx_read_excel2003(XLS_BOOK* book, const char* path);

// Reads an Open XML workbook at path (a memory file when book->read_memory
// is 0) into the book.  0; -101/-102 the file cannot be opened; -4 not a
// workbook; -2 memory; any other value is reported as an internal error with
// its code.
int tbx_read_excel2007(XLS_BOOK* book, const char* path);

// Lists an Open XML workbook (MODE=LIST): fills the sheet table only.
// 0; -2 memory; any other value is reported as an internal error.
int tbx_list_excel2007(XLS_BOOK* book, const char* path);

#endif
