// The record handler: takes the workbook stream's records one at a time and
// fills the book with the sheet list, shared strings, cell and number
// formats, cells and text-box texts.
//
// It reads BIFF8 (97-2003) and the 5.0/95 layouts of the records that differ
// (BOUNDSHEET, LABEL, RSTRING, FORMAT, STRING, NOTE, TXO texts); the layout
// follows the version in the stream's first BOF record.  8-bit text of a
// 5.0/95 stream is in the code page of its CODEPAGE record (Shift-JIS when
// there is none) and is converted here, once: the book holds UTF-8 texts and
// Shift-JIS number-format codes.
//
// Substreams nest: a BOF inside a sheet's substream (an embedded chart)
// opens a substream whose records, up to its own EOF, belong to the chart
// and are passed over, but for the texts of shapes drawn in it; the sheet's
// cells and objects around it are kept.
// Chart sheets and module sheets hold no cells.
//
// A record shorter than its fixed fields, or a cell record whose position,
// cell format or shared string lies outside its table, is passed over with
// a line in the book's log; only the container, the shared-string table and
// the limits of the book's tables fail the whole workbook.
#ifndef VERGLE_XLS_BIFF_RECORDS_H
#define VERGLE_XLS_BIFF_RECORDS_H

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <string>

#include "biff_book.h"
#include "biff_chart.h"
#include "biff_sst.h"
#include "byte_cursor.h"

namespace xls {

class formula_reader;  // biff_formulas.h

// Record types.
enum : uint16_t {
    BIFF_FORMULA = 0x0006,
    BIFF_EOF = 0x000A,
    BIFF_NAME = 0x0018,
    BIFF_NOTE = 0x001C,
    BIFF_FILEPASS = 0x002F,
    BIFF_CONTINUE = 0x003C,
    BIFF_CODEPAGE = 0x0042,
    BIFF_DATEMODE = 0x0022,
    BIFF_BOUNDSHEET = 0x0085,
    BIFF_MULRK = 0x00BD,
    BIFF_RSTRING = 0x00D6,
    BIFF_XF = 0x00E0,
    BIFF_SST = 0x00FC,
    BIFF_LABELSST = 0x00FD,
    BIFF_TXO = 0x01B6,
    BIFF_BLANK = 0x0201,
    BIFF_BOOLERR = 0x0205,
    BIFF_NUMBER = 0x0203,
    BIFF_LABEL = 0x0204,
    BIFF_STRING = 0x0207,
    BIFF_RK = 0x027E,
    BIFF_FORMAT = 0x041E,
    BIFF_BOF = 0x0809,
};

// Results of the handler beyond the store's codes.
enum {
    BIFF_STREAM_OVER = 1403,  // the current stream is over
    BIFF_ENCRYPTED = 1002,    // FILEPASS: the workbook is encrypted
};

// Limits of the cell store of a legacy workbook and of its tables.
enum {
    BIFF_MAX_ROWS = 65536,
    BIFF_MAX_COLUMNS = 256,
    BIFF_MAX_XF = 64000,
    BIFF_MAX_NUMFMT = 500,
    BIFF_MAX_FORMAT_BYTES = 4000,
    BIFF_MAX_SHEET_NAME = 94,  // a name this long or longer is left empty
};

// The value of an RK number ([MS-XLS] RkNumber).
double rk_value(uint32_t rk);

// The text a cell shows for a boolean (0 FALSE, else TRUE) or for an error
// code ([MS-XLS] BErr: 0x07 "#DIV/0!", 0x2A "#N/A", ...); an unknown error
// code shows "#N/A".
const char* boolean_text(unsigned value);
const char* error_text(unsigned code);

class biff_reader {
public:
    explicit biff_reader(biff_book& book) : book_(book) {}

    // One record: its type, its data and the offset of its header in the
    // stream.  0: taken, ignored, or passed over with a log line (a record
    // too short or out of range); BIFF_STREAM_OVER; BIFF_ENCRYPTED; -1
    // malformed shared-string table; -2 memory; -9 a limit (message written).
    int record(uint16_t type, const unsigned char* data, size_t len, uint64_t offset);

    // The stream has ended: completes a shared-string table still being
    // gathered.  0 or a status as record().
    int finish();

    // Whether a stream of `size` bytes may end at `offset` without losing
    // anything: no substream is open, and every substream the sheet list
    // announced inside the stream (or at its very end) begins before it.
    // cut: a record runs past the end there, which only trailing bytes
    // after a substream may.
    bool may_end_at(uint64_t offset, uint64_t size, bool cut) const;

    // 8 or 5, from the first BOF record (8 until one is met).
    int version() const { return version_; }

    // Hands every record the reader takes to a collector of the workbook's
    // formulas as well (null: none).
    void set_formula_reader(formula_reader* f) { formulas_ = f; }

private:
    // What a CONTINUE record continues.
    enum last_kind { NONE, SST, TXO, CELL_TEXT, NOTE_TEXT };

    int dispatch(uint16_t type, const unsigned char* data, size_t len, uint64_t offset);
    // Completes what the last record left open (a text object, a cell text,
    // a note) before a record that does not continue it.
    int end_pending();
    int on_bof(const unsigned char* data, size_t len, uint64_t offset);
    int on_boundsheet(const unsigned char* data, size_t len);
    int on_xf(const unsigned char* data, size_t len);
    int on_format(const unsigned char* data, size_t len);
    int on_labelsst(const unsigned char* data, size_t len);
    int on_number(const unsigned char* data, size_t len);
    int on_rk(const unsigned char* data, size_t len);
    int on_mulrk(const unsigned char* data, size_t len);
    int on_formula(const unsigned char* data, size_t len);
    int on_string(const unsigned char* data, size_t len);
    int on_blank(const unsigned char* data, size_t len);
    int on_boolerr(const unsigned char* data, size_t len);
    int on_label(const unsigned char* data, size_t len);
    int on_txo(const unsigned char* data, size_t len);
    int on_txo_continue(const unsigned char* data, size_t len);
    int on_note(const unsigned char* data, size_t len);
    int on_text_continue(const unsigned char* data, size_t len);
    // Stores the text of a LABEL or STRING gathered so far into its cell.
    int store_cell_text();
    // Adds the text of a 5.0/95 NOTE gathered so far as a comment.
    int store_note();
    // Whether cells of the current substream have a place in the book.
    bool cells_wanted() const { return substream_ != 0x0020 && substream_ != 0x0006; }

    // The checks shared by the cell records: the position, then whether
    // the substream has a sheet whose cells these are (1 when not).
    int check_cell(unsigned row, unsigned column, const char* position_label);
    int check_xf(unsigned xf, const char* label);
    // The characters of a LABEL or STRING record after their count: 8-bit
    // in the code page (5.0/95), else an option byte and 8-bit or UTF-16LE
    // characters, which may go on in CONTINUE records.  The text goes to the
    // cell (row, column) of the current sheet when complete.
    int cell_text(byte_cursor& c, uint16_t count, int row, int column);
    // Writes a line into the book's log about a record passed over.
    void skipped(uint16_t type, uint64_t offset, size_t len, const char* why);
    // Every record also goes here: a chart substream's records make its
    // text, added as text objects of the sheet at the chart's end
    // (biff_chart.cpp).  0, or -2 / the book's code.
    int chart_record(uint16_t type, const unsigned char* data, size_t len);

    biff_book& book_;
    sst_gather sst_;
    last_kind last_ = NONE;
    int version_ = 8;
    bool seen_bof_ = false;
    int codepage_ = 932;
    int sheet_ = 0;           // current sheet
    uint16_t substream_ = 0x0010;  // kind of the current substream (BOF)
    bool in_substream_ = false;    // between a BOF and its EOF
    int nested_ = 0;          // depth of the embedded substream being passed over
    int worksheets_ = 0;      // worksheet substreams met
    // Stream offset of each sheet's BOF, as BOUNDSHEET gives it.
    std::unordered_map<uint64_t, int> sheet_at_;
    // The cell of a FORMULA whose text follows in a STRING record.
    bool string_pending_ = false;
    int row_ = 0, column_ = 0;
    // Text-object characters still expected in CONTINUE records.
    size_t txo_chars_ = 0;
    std::u16string txo_text_;
    // A cell text (LABEL, STRING) or a 5.0/95 note still expecting
    // characters in CONTINUE (NOTE) records: where it goes, how many are
    // missing, what has come.
    int text_row_ = 0, text_column_ = 0;
    size_t text_left_ = 0;
    std::u16string text_;
    std::string note_bytes_;  // 8-bit, in the workbook's code page
    std::string bad_;         // what was wrong with a record passed over
    biff_chart chart_;        // the chart substream being read
    formula_reader* formulas_ = nullptr;
};

}  // namespace xls

#endif
