// Cell names in A1 notation: an optional "$", one to three letters (case
// ignored) for the column, an optional "$", and the row in decimal, which may
// carry a leading "+" or "-" and one "." (the part after it is ignored).
// Columns A..XFD are 0..16383, rows 1..1048576 are 0..1048575.
#ifndef TBX_CELL_NAME_H
#define TBX_CELL_NAME_H

enum { TBX_MAX_COLUMNS = 16384, TBX_MAX_ROWS = 1048576 };

// Parses a whole cell name into 0-based row and column.  0, or -3 when the
// text is no valid cell name.
int tbx_parse_cell_name(const char* name, int* row, int* column);

// Writes the A1 name of a 0-based (row, column) into out (at least 12
// bytes).  0, or -3 (out empty) when either is out of range.
int tbx_format_cell_name(int row, int column, char* out);

#endif
