/*
 * tabx.h - the workbook library's C interface.
 *
 * The library opens an Excel workbook (the 97-2003 .xls format or the Open
 * XML .xlsx/.xlsm formats) into an in-memory book, lists its sheets and
 * returns the text of any cell as Excel would display it.
 *
 * Usage: the caller allocates one XLS_BOOK (on its stack is fine), passes its
 * address to every TABX_ function, and releases what the library hung from
 * it with TABX_close_book or TABX_free_book:
 *
 *     XLS_BOOK book;
 *     if (TABX_open_book(&book, "EXCEL=\"a b.xlsx\" MODE=UNLOAD") == 0) {
 *         for (int s = 0; s < TABX_sheet_num(&book); s++) {
 *             TABX_open_sheet2(&book, s);
 *             ...TABX_row_num, TABX_column_num, TABX_cell_name, TABX_get_cell...
 *         }
 *     } else {
 *         puts(TABX_error_mesg(&book));
 *     }
 *     TABX_close_book(&book, "DESTROY");
 *
 * Conventions shared by every function:
 *   - The book comes first.  Each function sets book->error_code to 0 on
 *     entry and, on failure, stores its result there and returns it.
 *   - A failing call writes at most one coded message ("TABX-" five digits,
 *     a blank and a Japanese text) into the book; TABX_error_mesg returns it
 *     in the caller's character set.  A success leaves the message alone.
 *   - Results: 0 success; -1 general failure; -2 memory exhausted; -3 bad
 *     argument text or cell name; -4 unsupported file; -5 interrupted by
 *     the caller (TABX_set_cancel); -101 the workbook
 *     cannot be opened; -103 the workbook cannot be written; -801 sheet index
 *     or name out of range; -901/-902/-903 current sheet, row or column out of
 *     range; -909 the caller's buffer is too small; -910 a legacy workbook
 *     protected by a read password.
 *   - Arguments are keyword texts: KEY=value tokens separated by blanks,
 *     values in double quotes when they hold blanks; ASCII keywords and values
 *     compare without regard to case, Japanese synonyms exactly.
 *   - Texts are exchanged in the character set chosen with CHARSET (SJIS,
 *     the system's Japanese code page, by default; EUC; UTF8).
 *   - Rows and columns are 0-based in the store, TABX_open_sheet2,
 *     TABX_row_num, TABX_column_num and TABX_get_cells; 1-based in cell
 *     names ("A1") and in TABX_cell_name / TABX_cell_range.
 *   - No function throws; memory exhaustion is reported as -2.
 *
 * Threads: separate books may be used on separate threads at the same time;
 * one book is used by one thread at a time (it may move between threads when
 * the caller hands it over with its own synchronisation).  The library keeps
 * no shared state outside a lock, with one rule to know: the memory-file
 * table (READ_MEMORY, the unpacked members of a package, TABX_swap_book) and
 * the choice of orb_zip_on_memory belong to the calling thread.  A memory
 * file is seen only by the thread that made it, and TABX_close_book empties
 * the calling thread's table only (a thread that ends with memory files
 * left, without closing its book, leaves them behind).  With a single
 * thread this is the process-wide table it always was.
 */
#ifndef TABX_H
#define TABX_H

#ifdef __cplusplus
extern "C" {
#endif

/* The library's release; the VERSION keyword must name exactly this. */
#define TABX_VERSION "2.0.4.0"

/* Fixed sizes of the book record. */
#define TABX_PATH_LEN 260          /* path fields of the book record */
#define TABX_MESSAGE_LEN 6000      /* usable bytes of a message */
#define TABX_MESSAGE_BUF 6001      /* message buffer (text + terminator) */
#define TABX_RETURNED_BUF 18001    /* the message in the caller's character set
                                      (conversion may triple a Shift-JIS text) */
#define TABX_CELL_TEXT_BUF 98302   /* buffers of TABX_get_cells */
#define TABX_SHEET_NAME_BUF 100    /* sheet name: 99 bytes + terminator */

/* Value types of a cell (XLS_CELL.type). */
#define TABX_EMPTY (-1)
#define TABX_CHARACTER 0
#define TABX_INTEGER 11
#define TABX_FLOAT 12
#define TABX_PERCENT 13
#define TABX_DATE 20
#define TABX_DATE_TIME 21
#define TABX_TIME_HM 23
#define TABX_TIME_HMS 24
#define TABX_SHARED_STRING 41
#define TABX_FORMULA 50
#define TABX_FORMULA_ARRAY 51

/* Layout of the cell and row records.  1 was the 40-byte cell record of
   release 2.0.4.0 and before (a value text for every number, separate
   formula and extra texts); 2 is the 24-byte cell record below: a number is
   kept as a double, with no text (TABX_get_cell renders it with the same
   digits), a formula shares the text's place (a cell whose cached result was
   read holds the result), and the Open XML reader's "str" type attribute is
   a flag bit; 3 adds the sparse row (XLS_ROW.columns), so that a row with a
   few cells far apart (one at A, one at XFD) costs its cells, not 16,384. */
#define TABX_CELL_RECORD 3

/* Flags of a cell (XLS_CELL.flags). */
#define TABX_CELL_TEXT 0x01        /* the value is `text`, not `number` */
#define TABX_CELL_STR 0x02         /* an Open XML formula cell written with
                                      the type attribute t="str" */
#define TABX_CELL_ERROR 0x04       /* the text is an error value ("#N/A",
                                      "#DIV/0!", ...), shown as it is
                                      whatever the cell's format */

/* One cell.  Every new cell slot starts empty (type -1, flags 0). */
typedef struct XLS_CELL {
    signed char type;          /* value type (above) */
    unsigned char flags;       /* TABX_CELL_... bits */
    unsigned short writer;     /* writer engine */
    int xf;                    /* index into the book's cell-format table */
    int value;                 /* shared-string index, the day of a date
                                  (its serial rounded down), or the number
                                  truncated to 32 bits */
    int decimals;              /* types 12, 13 kept as a number: the
                                  decimals of its value text */
    union {
        char* text;            /* with TABX_CELL_TEXT: UTF-8, owned by the
                                  library: the value text (type 0; numbers
                                  and times stored for the classic
                                  renderings) or the formula (types 50, 51) */
        double number;         /* without it: the number of types 11-13, the
                                  serial of types 20-24 */
    };
} XLS_CELL;

/* One row: its cells.  A dense row (columns null) holds cells[c] for every
   column c below used, 0-based.  A sparse row (columns not null) holds count
   cells, cells[i] being column columns[i], in ascending order; a column below
   used that is not among them is an empty cell.  Read cells through
   TABX_get_cell and its companions, which know both forms. */
typedef struct XLS_ROW {
    XLS_CELL* cells;
    unsigned short* columns;   /* sparse: the column of each cell; else null */
    unsigned short used;       /* highest column stored + 1 */
    unsigned short capacity;   /* allocated cells, at most 16385 */
    unsigned short count;      /* sparse: cells held */
    unsigned short format;     /* writer: row format, 0xFFFF = none */
    unsigned char flags[3];    /* writer: 0xFF each */
    unsigned int word;         /* writer */
} XLS_ROW;

/* One sheet: its rows, 0-based. */
typedef struct XLS_SHEET {
    char name[100];            /* UTF-8, 99 bytes + terminator */
    char name2[96];            /* writer: second name */
    int index;                 /* position when created */
    XLS_ROW* rows;
    int used_rows;             /* highest row stored + 1 (TABX_row_num) */
    int row_capacity;          /* allocated rows, at most 1048577 */
    double margin_side;        /* writer print settings: 1.9 */
    double margin_top;         /* 1.8 */
    double margin_header;      /* 0.8 */
    int zoom;                  /* 100 */
} XLS_SHEET;

/* One shared string. */
typedef struct XLS_SST {
    int word;                  /* reader's use */
    int length;                /* bytes of text */
    char* text;                /* UTF-8 */
} XLS_SST;

/* One cell format (extended format); the first field is the number-format
   id that applies to cells of this format (-1 for a style format). */
typedef struct XLS_XF {
    int numfmt;
    int font;
    int fill;
    int border;
    int flags;
} XLS_XF;

/* One number format of the workbook (at most 500 per book). */
typedef struct XLS_NUMFMT {
    short type;                /* internal format type (100, 107, 201, 3xx...) */
    short id;                  /* number-format id */
    char code[258];            /* format code, Shift-JIS */
} XLS_NUMFMT;

/* A text carried by a drawing object (tag 302). */
typedef struct XLS_OBJECT_TEXT {
    int tag;                   /* 302 */
    int length;                /* bytes of text */
    char* text;                /* UTF-8 */
} XLS_OBJECT_TEXT;

/* A drawing object: shape, text box or comment found by the readers.  When
   kind is 1 and data is not null, data points to an XLS_OBJECT_TEXT. */
typedef struct XLS_DRAWING {
    int kind;                  /* 1 = object with text; 10, 20, 30 others */
    int sheet;                 /* index of the sheet it lies on */
    void* data;
} XLS_DRAWING;

/* The book record.  Allocated by the caller, filled by TABX_open_book.
   Mode flags are 0xFF when off and 0 when on, unless noted. */
typedef struct XLS_BOOK {
    void* priv;                            /* library-private block */
    char path[TABX_PATH_LEN];              /* the workbook as opened, in the
                                              system's ANSI code page (code
                                              page 932 on Windows, UTF-8 on
                                              Linux); a longer path is cut
                                              at a character's end */
    unsigned char legacy_save;             /* save as legacy; 0 for Open XML */
    unsigned char read_memory;             /* 0: READ_MEMORY=TRUE */
    unsigned char write_memory;            /* 0: WRITE_MEMORY=TRUE */
    unsigned char raw_display;             /* 0: cells show as their formats
                                              display them (MODE=UNLOAD) */
    unsigned char macro;                   /* 0: macro-enabled workbook */
    unsigned char style_keep;              /* 0: readers empty the number-
                                              format table (LOAD, UNLOAD) */
    int writer_row;                        /* writer cursor and counters */
    int writer_column;
    int writer_counters[8];
    char temp_path[TABX_PATH_LEN];         /* TEMP_WORKBOOK_PATH; deleted
                                              when the store is released */
    int max_rows;                          /* 65536 legacy, 1048576 else */
    int max_columns;                       /* 256 legacy, 16384 else */
    int max_formula_len;                   /* 32768 */
    int max_text_len;                      /* 65534 */
    int format;                            /* 11 legacy, 12 else; the caller
                                              may set 8 (old "Book" stream):
                                              sheet names then unconverted */
    char company[128];                     /* document properties */
    char author[128];
    char error_info[TABX_MESSAGE_BUF];     /* last message, system code page */
    char error_mesg[TABX_RETURNED_BUF];    /* the same, caller's charset */
    int error_code;                        /* result of the last call */
    int sheet;                             /* current sheet, 0-based */
    int row;                               /* last cell fetched, 0-based */
    int column;
    unsigned char writer_state[512];       /* writer engine */
    XLS_SHEET* sheets;                     /* sheet table */
    int sheet_count;
    int sheet_capacity;
    XLS_SST* sst;                          /* shared strings */
    int sst_count;
    XLS_XF* xf;                            /* cell formats */
    int xf_count;
    int xf_capacity;
    XLS_NUMFMT* numfmt;                    /* number formats */
    int numfmt_count;
    XLS_DRAWING* drawings;                 /* drawing objects */
    int drawing_count;
    char** members;                        /* unpacked package members */
    int member_count;
    int reader_state[32];                  /* legacy reader's record state */
} XLS_BOOK;

/* ------------------------------------------------------------------------
 * Opening and closing
 * ------------------------------------------------------------------------ */

/* Opens or creates a workbook.  Keywords:
 *   EXCEL | BOOK | ブック = path   the workbook ("Book1.xlsx" when absent);
 *        a name without extension gets ".xlsx"; relative paths are taken
 *        from the current folder; in the caller's character set (give
 *        CHARSET=UTF8 first for a path with characters code page 932 lacks:
 *        every character the file system allows reaches the file); at most
 *        4096 bytes with the current folder (TABX-00005 beyond)
 *   MODE | モード = READ|読込|読み込み, UPDATE|更新, LOAD|ロード,
 *        UNLOAD|アンロード (cells as their formats display them),
 *        LIST|一覧, CREATE|新規 (the default: an empty book, disk untouched)
 *   FORMULAS = TRUE    keep each formula cell's formula text as well, for
 *        TABX_get_formula (the default: formulas are not kept)
 *   DISPLAY = EXCEL (the default: cells through the number-format engine,
 *        as Excel in a Japanese locale shows them) | CLASSIC (the closed
 *        list of renderings of release 2.0.4.0 and before: a format code is
 *        matched against sample codes, dates are split to whole seconds,
 *        unrecognised codes show the plain number)
 *   CHARSET | キャラクタセット = SJIS | EUC | UTF8
 *   VERSION = "2.0.4.0"    XLS_BOOK = sizeof(XLS_BOOK)
 *   READ_MEMORY = TRUE (the path names a memory file)   WRITE_MEMORY = TRUE
 *   TEMP_WORKBOOK_PATH = path (deleted when the book is released): the
 *        workbook stream of a 97-2003 workbook, copied out of the document;
 *        read in place, so it must not change while the book is opened;
 *        kept in the record in UTF-8, at most 259 bytes
 * A workbook is read whole or refused: a damaged package (a central
 * directory that breaks off, a member that fails its check) or legacy
 * stream (a record that runs past its end) fails the open.
 * Writes every field of *book.  Returns 0; -1 version or record-size
 * mismatch, reader failure (a damaged legacy workbook: TABX-03110; a
 * damaged package: TABX-03600 with the reader's code), internal error; -2
 * memory; -3 bad keyword text (TABX-02200, TABX-02303, TABX-00005, or no
 * message for a missing value); -4 unsupported file (TABX-00900); -5 the
 * caller's cancel function asked to stop (TABX-00003, TABX_set_cancel);
 * -101 the file cannot be opened (TABX-03101); -910 a legacy workbook
 * protected by a read password.
 * A failed open releases what it allocated, except after a keyword error:
 * call TABX_close_book or TABX_free_book then. */
int TABX_open_book(XLS_BOOK* book, const char* keywords);

/* Interrupting a long open.  While TABX_open_book reads a workbook on the
 * calling thread it asks cancelled(ctx) now and then (every few thousand
 * records or XML elements, every 8 KiB inflated from a package); once the
 * function returns non-zero, the open ends soon after with -5 and
 * TABX-00003 and releases what it read.  The function must be cheap and may
 * not call the library.  cancelled may be null (nothing interrupts, the
 * start state).  The choice holds for the calling thread until it names
 * another.  Returns 0. */
typedef int (*TABX_CANCEL_FN)(void* ctx);
int TABX_set_cancel(TABX_CANCEL_FN cancelled, void* ctx);

/* Closes the book.  Keywords (may be null): SAVE|保存 or DESTROY|破棄 (the
 * default); the last one counts.  Releases the private block and the store
 * and empties the calling thread's memory-file table.  Returns 0; with SAVE -1
 * and TABX-03600 (this build has no writer engine; the book stays open). */
int TABX_close_book(XLS_BOOK* book, const char* keywords);

/* Releases the private block and the store; memory files stay.  Returns 0. */
int TABX_free_book(XLS_BOOK* book);

/* The error code stored by the last call. */
int TABX_error_code(XLS_BOOK* book);

/* The last message, converted to the book's character set (SJIS when the
 * book has no private block), in book->error_mesg; a message of 6000 bytes
 * or more is returned as "TABX-4000 book->log.error_info too long". */
const char* TABX_error_mesg(XLS_BOOK* book);

/* Writes "2.0.4.0" into version (at least 8 bytes).  Returns 0. */
int TABX_version(XLS_BOOK* book, char* version);

/* Prints the library's name, release and keyword reference to standard
 * output.  Returns 0. */
int TABX_help(void);

/* Sets the calling thread's memory-file table aside (direction 0) or brings
 * it back (other).
 * Returns 0, or -1 when memory runs out. */
int TABX_swap_book(int direction);

/* Prints text and a line feed to standard output.  Returns 0. */
int TABX_debug(const char* text);

/* ------------------------------------------------------------------------
 * Sheets and cells
 * ------------------------------------------------------------------------ */

/* The number of sheets. */
int TABX_sheet_num(XLS_BOOK* book);

/* Writes the name of sheet `index` (0-based) into name, in the book's
 * character set (unconverted when book->format is 8); name must hold 100
 * bytes plus what conversion adds (300 bytes always suffice).  Returns 0;
 * -801 for an index outside the table (name then empty). */
int TABX_sheet_name(XLS_BOOK* book, int index, char* name);

/* Makes sheet `index` (0-based) current.  Returns 0; -801 for an index
 * outside the table (the current sheet stays). */
int TABX_open_sheet2(XLS_BOOK* book, int index);

/* Selects a sheet by name.  Keywords: SHEET_NAME|シート = name,
 * MODE|モード = READ|読込|読み込み or UPDATE|更新 (CREATE, TEMPLATE belong
 * to the writer).  Returns 0; -3 keyword errors (TABX-02200, TABX-02303);
 * -801 no sheet of that name (TABX-02320); -909 a name longer than 93 bytes
 * (TABX-03009); -1 for the writer's modes (TABX-03600, no writer engine). */
int TABX_open_sheet(XLS_BOOK* book, const char* keywords);

/* The current sheet's used rows (highest row stored + 1); 0 when the current
 * sheet is outside the table. */
int TABX_row_num(XLS_BOOK* book);

/* The columns of `row` (0-based) in the current sheet, ignoring empty cells
 * at its end (with FORMULAS=TRUE, a formula cell with an empty value is not
 * ignored); 0 for an invalid sheet or row or an all-empty row. */
int TABX_column_num(XLS_BOOK* book, int row);

/* Writes the A1 name of (row, column), both 1-based, into name (at least 12
 * bytes).  Returns 0; -3 when the row is outside 1..1048576 or the column
 * outside 1..16384 (name then empty). */
int TABX_cell_name(int row, int column, char* name);

/* Writes "A1:B2" for two 1-based corners into name (at least 24 bytes).
 * Returns 0; -3 when either corner is invalid. */
int TABX_cell_range(int row1, int column1, int row2, int column2, char* name);

/* Fetches the cell `cell_name` ("B2", "$b$2") of the current sheet as
 * display text into text (text_size bytes) and, when type is not null and
 * type_size above 0, its type name ("CHARACTER", "INTEGER", "FLOAT",
 * "PERCENT", "DATE", "DATE_TIME", "FORMULA:" + formula; empty for others).
 * Writes text, type, book->row and book->column.  Returns 0; -901 the current
 * sheet is outside the table; -3 invalid name (TABX-02300); -902 the row is
 * beyond the sheet's rows; -903 the column is beyond the row's cells; -2 no
 * memory; -909 the text does not fit (TABX-03009) or a formula type name
 * does not fit (no message). */
int TABX_get_cell(XLS_BOOK* book, const char* cell_name, char* text, int text_size,
                  char* type, int type_size);

/* The display text of the cell at (row, column), both 0-based, of the
 * current sheet: the text TABX_get_cell gives, without a cell name to
 * format and parse and, where it can be, without a copy.  *text points at
 * the text and *length gets its length in bytes (the text is also
 * terminated).  Where the cell's stored text is what is shown (a string
 * that no text section of its format changes, in a book opened with
 * CHARSET=UTF8), *text points into the book, valid until the book changes
 * or closes; otherwise the text is written into buf (size bytes) and *text
 * points at buf.  Writes book->row and book->column.  Returns 0; -3 a null
 * text or length, or a row or column outside the sheet's bounds; -901,
 * -902, -903, -2 and -909 as TABX_get_cell (-909 also when the text in
 * place is not shorter than size). */
int TABX_cell_text(XLS_BOOK* book, int row, int column, char* buf, int size, const char** text, int* length);

/* As TABX_get_cell without the type name, the text rendered with the given
 * internal format types: date_type for date cells (0 = the cell's default),
 * number_type and decimals for numbers. */
int TABX_get_format_cell(XLS_BOOK* book, const char* cell_name, char* text, int text_size,
                         int date_type, int number_type, int decimals);

/* Fills count buffers (each of TABX_CELL_TEXT_BUF bytes) with the display
 * texts of consecutive cells of sheet `sheet`, starting at (row, column),
 * 0-based: down the column when direction is non-zero, along the row
 * otherwise.  Buffers past the end of the row or sheet are emptied.
 * Returns 0. */
int TABX_get_cells(XLS_BOOK* book, int direction, int sheet, int row, int column, int count,
                   char** texts);

/* The formula of the cell `cell_name` of the current sheet as the formula
 * bar shows it, with its "=": "=SUM(B2:B9)".  Needs a book opened with
 * FORMULAS=TRUE.  An Open XML workbook gives the formula as stored, a shared
 * formula's cells each their own text (relative references moved with the
 * cell); a legacy workbook gives the text of its parsed formula.  An array
 * formula is given once, at its first cell, as "{=A1:A3*2}", with its range
 * ("C1:C3") in range; a data table likewise as "{=TABLE(B1,A2)}".
 * Writes text (text_size bytes) and, when range is not null and range_size
 * above 0, range; both empty for a cell without formula (also a cell that is
 * not stored) and range empty for any other formula.  Returns 0; -1 the book
 * keeps no formulas (TABX-03600), or the cell's formula could not be read
 * (TABX-03610, naming the cell and why); -9 the formula's text is longer
 * than 32768 bytes (TABX-03009, naming the cell; it is never given cut);
 * -3 invalid name (TABX-02300); -901 the current sheet is outside the table;
 * -909 text or range does not fit (TABX-03009); -2 no memory. */
int TABX_get_formula(XLS_BOOK* book, const char* cell_name, char* text, int text_size, char* range,
                     int range_size);

/* Parses a cell name into 1-based row and column.  Returns 0; -801 when the
 * text names no cell; -3 when it is longer than 4000 bytes. */
int TABX_is_cell(XLS_BOOK* book, const char* text, int* row, int* column);

/* Parses "A1:B2" (or a single cell) into 1-based corners.  Returns 0; -801
 * when the text names no range; -3 when it is longer than 4000 bytes. */
int TABX_is_range(XLS_BOOK* book, const char* text, int* row1, int* column1, int* row2,
                  int* column2);

/* ------------------------------------------------------------------------
 * Macros
 *
 * The VBA project of a document: its modules (standard, class, document and
 * form modules), each with its name and source text, converted from the
 * project's code page to the book's character set.
 * ------------------------------------------------------------------------ */

/* Kinds of module (TABX_macro_name). */
#define TABX_MACRO_STANDARD 1      /* a standard module ("Module1") */
#define TABX_MACRO_CLASS 2         /* a class module */
#define TABX_MACRO_DOCUMENT 3      /* a document's own module ("ThisWorkbook",
                                      "Sheet1", "ThisDocument") */
#define TABX_MACRO_FORM 4          /* a form's code */

/* Reads the VBA project of a document into the book, replacing the one it
 * held: path (in the book's character set) names a .xls/.doc compound
 * document, whose project is a storage of it, or an Open XML package (.xlsm,
 * .docm, .pptm), whose project part the main part's relationships name;
 * null or "" reads the book's own workbook (book->path, so a book opened from
 * a memory file has none).  The book must have been opened (MODE=CREATE,
 * which touches no file, will do for another document).  A document without
 * a project gives an empty one.  A project whose modules cannot all be read
 * is still read: those modules report themselves (TABX_macro_text).
 * Returns 0; -1 the project cannot be read (TABX-03620 naming the document
 * and why), or its package is damaged; -4 neither a compound document nor a
 * package (TABX-00900); -101 the file cannot be opened (TABX-03101); -2 no
 * memory; -3 a book without its private block. */
int TABX_open_macros(XLS_BOOK* book, const char* path);

/* The same for a project held by the caller: size bytes of a compound file
 * (a vbaProject.bin part, or a whole .xls or .doc).  Returns 0; -1 the
 * project cannot be read (TABX-03620); -2 no memory; -3 data null with size
 * above 0, a negative size, or a book without its private block. */
int TABX_open_macros_memory(XLS_BOOK* book, const void* data, long long size);

/* The number of modules of the book's project (0 when none was read). */
int TABX_macro_num(XLS_BOOK* book);

/* Writes the name of module `index` (0-based, in the project's order) into
 * name (name_size bytes) and its kind (TABX_MACRO_...) into *kind when kind
 * is not null.  Returns 0; -801 no such module; -909 name does not fit
 * (TABX-03009). */
int TABX_macro_name(XLS_BOOK* book, int index, char* name, int name_size, int* kind);

/* Writes the source text of module `index` into text (text_size bytes),
 * lines ending in CR LF as the project stores them, and its length in bytes
 * (without the terminator) into *length when length is not null; text may be
 * null to ask for the length alone.  Returns 0; -801 no such module; -909
 * text is null or too small (TABX-03009; *length is set all the same); -1 the
 * module's source cannot be read (TABX-03620 naming the module and why); -9
 * the module's source is longer than 16 MiB, or the project's together
 * longer than 64 MiB (TABX-03009 naming the module; never given cut); -2 no
 * memory. */
int TABX_macro_text(XLS_BOOK* book, int index, char* text, int text_size, long long* length);

/* ------------------------------------------------------------------------
 * Writer and template engine.  This build has no writer engine: the
 * functions below fail with -1 and TABX-03600, except those marked
 * "accepts", which accept their arguments, do nothing and return 0.
 * ------------------------------------------------------------------------ */

int TABX_is_property(XLS_BOOK* book, const char* text);
int TABX_search(XLS_BOOK* book, const char* keywords, char* result, int result_size);
int TABX_read_file(XLS_BOOK* book, const char* keywords);
int TABX_sheet_hyperlink(XLS_BOOK* book, const char* cell_name, const char* sheet_name,
                         const char* target_cell);
int TABX_external_hyperlink(XLS_BOOK* book, const char* cell_name, const char* target);
int TABX_put_cell(XLS_BOOK* book, const char* cell_name, const char* value,
                  const char* properties);
int TABX_put_values(XLS_BOOK* book, const char* keywords);
int TABX_write_row(XLS_BOOK* book, const char* values);
int TABX_put_image_memory(XLS_BOOK* book, const char* keywords, const void* data, int size);
int TABX_put_variable(XLS_BOOK* book, const char* name, const char* value);
int TABX_set_property(XLS_BOOK* book, const char* keywords);          /* accepts */
int TABX_open_datasource(XLS_BOOK* book, const char* keywords);       /* accepts */
int TABX_close_datasource(XLS_BOOK* book);                            /* accepts */
int TABX_paste_datasource(XLS_BOOK* book, const char* keywords);      /* accepts */

/* ------------------------------------------------------------------------
 * File layer
 * ------------------------------------------------------------------------ */

/* Decides the kind of a document from its first 16 bytes and its name.
 * source: 0 reads the memory file named path; 9999 takes path as the 16
 * header bytes themselves; any other value reads the disk file.  Writes
 * *type: 11 legacy workbook, 12 Open XML workbook, 14 macro workbook, 19/29/
 * 39 password-protected workbook/document/presentation, 21-23 Word, 31-33
 * PowerPoint, other codes for other kinds, -1 when nothing matched.
 * Returns 0; -101 the file cannot be opened; -104 a seek failed; -1 a file
 * that looks password-protected lacks its encrypted package. */
int orb_file_type(int source, const char* path, int* type);

/* Chooses how the zip reader reaches a package file: non-zero (the start
 * state) reads the named disk file, 0 reads the memory file of that name.
 * The choice holds for the calling thread. */
int orb_zip_on_memory(int flag);

#ifdef __cplusplus
}
#endif

#endif
