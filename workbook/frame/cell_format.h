// Cell values and their display: what each value type keeps in a cell, the
// typed value setter through which both readers store every value, the
// classification of number formats, serial dates of the 1900 date system,
// and the rendering of a cell as Excel would display it.
//
// Rendering follows a closed list of internal format types instead of
// interpreting format codes: a code is classified once, when the workbook is
// read (classify_format_code), and only the small integer type is used at
// display time.  Whatever is not recognised shows as the plain number.
//
// Encodings: cell texts are UTF-8.  The date and time renderings (value types
// 20, 21, 23, 24) are Shift-JIS (code page 932), since their fixed words
// (年, 月, 日, era names, weekday names) are written in it; every other
// rendering is UTF-8.
//
// Used by the access functions (format_cell, format_cell_with) and by the
// readers (put_typed_value, put_number, classify_format_code,
// value_type_of_format).
#ifndef TBX_CELL_FORMAT_H
#define TBX_CELL_FORMAT_H

#include <cstdint>

#include "tabx.h"

// Value types, as stored in XLS_CELL.type.  TBX_GENERAL_NUMBER is never
// stored: value_type_of_format answers it for a plain number.
enum {
    TBX_EMPTY = -1,
    TBX_CHARACTER = 0,
    TBX_GENERAL_NUMBER = 10,
    TBX_INTEGER = 11,
    TBX_FLOAT = 12,
    TBX_PERCENT = 13,
    TBX_DATE = 20,
    TBX_DATE_TIME = 21,
    TBX_TIME_HM = 23,
    TBX_TIME_HMS = 24,
    TBX_SHARED_STRING = 41,
    TBX_FORMULA = 50,
    TBX_FORMULA_ARRAY = 51,
};

// Internal format types (selection; the full list is in cell_render.cpp):
// 100 plain number, 107/108 thousands separators, 200-205 currency, 301-343
// dates, 401-407 times, 501 percentage, 900 hidden.
enum {
    TBX_FMT_PLAIN = 100,
    TBX_FMT_THOUSANDS = 107,
    TBX_FMT_CURRENCY = 201,
    TBX_FMT_DATE = 302,
    TBX_FMT_DATE_TIME = 303,
    TBX_FMT_TIME_JP_HM = 402,
    TBX_FMT_TIME_HMS = 404,
    TBX_FMT_PERCENT = 501,
    TBX_FMT_HIDDEN = 900,
};

// Month-name forms of month_name.
enum { TBX_MONTH_ABBREV = 350, TBX_MONTH_FULL = 351, TBX_MONTH_INITIAL = 352 };

// The size of a rendering buffer: 98301 bytes of text and the terminator.
enum { TBX_RENDER_BUF = 98302 };

// The value handed to put_typed_value.  Which fields are read depends on the
// value type:
//   CHARACTER, 50, 51     text (UTF-8, zero-terminated; copied)
//   INTEGER               integer
//   FLOAT, PERCENT        number and decimals (the precision of the text)
//   SHARED_STRING         index
//   DATE                  year, month, day
//   DATE_TIME, TIME_HM, TIME_HMS   year, month, day, hour, minute, second
//                         (a year below 1900 means a pure time of day)
struct tbx_value {
    const char* text = nullptr;
    int64_t integer = 0;
    double number = 0;
    int decimals = 0;
    int32_t index = 0;
    int16_t year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    XLS_BOOK* book = nullptr;  // when set: value texts come from its text pool
};

// ---------------------------------------------------------------------------
// Storing values
// ---------------------------------------------------------------------------

// Stores a value of the given type into the cell, replacing what it held.
// A number whose text would be the one cell_value_text renders is kept as
// the number (no text); texts, formulas and numbers of other precisions keep
// their text (TABX_CELL_TEXT).
// 0; -1 unrecognised value type; -2 no memory (the cell is unchanged);
// -4 the date fields form no valid date (the cell is unchanged).
int put_typed_value(int type, XLS_CELL* cell, const tbx_value* value);

// Stores a number read from a legacy cell record into (sheet, row, column),
// creating the cell: the number-format id decides between PERCENT, the date
// kinds, INTEGER and FLOAT.  On success the cell's format index becomes
// xf_index.  0, or the status of the store primitives / put_typed_value.
int put_number(XLS_BOOK* book, int sheet, int row, int column, int numfmt_id, int xf_index,
               double value);

// Stores a number into a cell by the value type of its format (t from
// value_type_of_format): PERCENT, a date kind, else INTEGER or FLOAT with the
// fifteen significant digits a workbook keeps.  Date kinds keep the serial
// as it is (whole days in the payload, the rest of the day as the value
// text) unless the book asked for the classic renderings, where the serial
// is split into fields and rebuilt.  0, or the status of put_typed_value.
int put_number_cell(XLS_BOOK* book, XLS_CELL* cell, int t, double value);

// The number a number or date cell holds (0 for other cells): for INTEGER,
// FLOAT and PERCENT the number its value text shows.
double cell_number(const XLS_CELL* cell);

// The most decimals a number's text takes: the fifteen significant digits
// of the smallest double (4.94e-324) lie 338 places after the point.
enum { TBX_MAX_DECIMALS = 340 };

// The size of a value-text buffer: the longest fixed-point text of a double
// with its decimals (309 digits of DBL_MAX, or a sign, "0." and 340
// decimals) and the terminator.
enum { TBX_VALUE_TEXT_BUF = 400 };

// The cell's text ("" when it holds none).
const char* cell_text(const XLS_CELL* cell);

// The value text of a cell: its text when it keeps one, else the text of
// its number as the readers store it: INTEGER "%lld", FLOAT and PERCENT
// "%.*f" with the fifteen significant digits (significant_decimals), the
// date kinds the shortest text of the serial's rest beyond its day.  buf
// (TBX_VALUE_TEXT_BUF bytes) receives a rendered text.
const char* cell_value_text(const XLS_CELL* cell, char* buf);

// The decimal count that shows a number with fifteen significant digits and
// no trailing zeros (at most TBX_MAX_DECIMALS).
int significant_decimals(double value);

// The same for the number read from the text t (a worksheet's value text):
// counted on the text when it has at most fifteen significant digits (their
// fifteen-digit form is the text itself), else significant_decimals(value).
int text_significant_decimals(const char* t, double value);

// ---------------------------------------------------------------------------
// Number formats
// ---------------------------------------------------------------------------

// The internal format type of a format code (Shift-JIS text; the Open XML
// reader keeps quotes as "&quot;").  Never fails: 100 when unrecognised.
int classify_format_code(const char* code);

// The value type that a number of the given number-format id takes:
// TBX_GENERAL_NUMBER, TBX_PERCENT, TBX_DATE, TBX_DATE_TIME, TBX_TIME_HM or
// TBX_TIME_HMS.  Built-in ids decide first, then the book's number formats.
int value_type_of_format(const XLS_BOOK* book, int numfmt_id);

// The internal format type that applies to the cell when it is displayed, or
// 0 when none does.
int display_type_of_cell(const XLS_BOOK* book, const XLS_CELL* cell);

// ---------------------------------------------------------------------------
// Rendering (out: TBX_RENDER_BUF bytes; never fails)
// ---------------------------------------------------------------------------

// The cell's display text.  Honours the book's raw-display flag.
void format_cell(const XLS_BOOK* book, const XLS_CELL* cell, char* out);

// Where the cell's display text is its stored text as it stands (a text or
// shared string of a book rendered by the engine, that no text section of
// its format changes): that text and its length, exactly what format_cell
// would write.  False when the text must be rendered.
bool display_text_in_place(const XLS_BOOK* book, const XLS_CELL* cell, const char** text, size_t* len);

// The cell's display text with the caller's types: date_type for the date
// kinds (0 = the value type's default), number_type and decimals for numbers.
void format_cell_with(const XLS_BOOK* book, const XLS_CELL* cell, int date_type,
                      int number_type, int decimals, char* out);

// An INTEGER or FLOAT cell under an internal format type; decimals -1 shows
// as many as the value has.
void format_number_value(const XLS_BOOK* book, const XLS_CELL* cell, int type, int decimals,
                         char* out);

// A DATE, DATE_TIME, TIME_HM or TIME_HMS cell under an internal format type
// (0 = the default of the value type).  Shift-JIS text; empty for other cells,
// for unknown types and for era types before 1900.
void format_date_value(const XLS_BOOK* book, const XLS_CELL* cell, int type, char* out);

// Groups the integer part of a number text by thousands ("-1234567.25" gives
// "-1,234,567.25").  decimals > 0 prints that many fraction digits; 0 or
// below prints the fraction as it is.  out needs strlen(text) * 2 + 64 bytes.
// Always 0.
int group_thousands(const char* text, int decimals, char* out);

// Tidies a number text in place: leading zeros go (one kept before "."),
// trailing zeros of a fraction go (one digit kept), "" becomes "0".  The
// buffer needs one byte more than the text when the text is empty.
// Always 0.
int normalise_number_text(char* text);

// ---------------------------------------------------------------------------
// Serial dates, 1900 date system
// ---------------------------------------------------------------------------

// Splits a serial into date and time.  Serial 0 is 1900-01-00, 60 the
// fictitious 1900-02-29; serials below 0 or above 2958465 give 1900-01-01
// 00:00:00.  Always 0.
int serial_to_datetime(double serial, int* year, int* month, int* day, int* hour, int* minute,
                       int* second);

// Fills the date and time fields of a value record from a serial.
void value_from_serial(double serial, tbx_value* v);

// Builds a serial.  0, or -1 (serial 0) for an invalid date.
int datetime_to_serial(int year, int month, int day, int hour, int minute, int second,
                       double* serial);

// 0 (Sunday) to 6 (Saturday).
int weekday_of(int year, int month, int day);

// The two-digit year printed by the "yy" forms.  Always 0.
int two_digit_year(int year, int* value);

// Writes the month's name (form 350 "Jan", 351 "January", 352 "J") into out
// (at least 10 bytes).  0, or -1 for another form or a month outside 1..12.
int month_name(int form, int month, char* out);

// Shift-JIS (code page 932) bytes of the fixed Japanese words of the date
// and time forms.
#define SJ_NEN "\x94\x4e"    // 年
#define SJ_GETSU "\x8c\x8e"  // 月
#define SJ_NICHI "\x93\xfa"  // 日
#define SJ_JI "\x8e\x9e"     // 時
#define SJ_FUN "\x95\xaa"    // 分
#define SJ_BYO "\x95\x62"    // 秒
#define SJ_YOU "\x97\x6a"    // 曜

#endif
