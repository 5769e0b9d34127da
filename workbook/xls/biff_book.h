// What the record reader needs of a book: its sheet list, cell store and
// book-wide tables, seen through a narrow interface.  The library fills the
// real book through it (xls_book.cpp); tests and fuzzers use a recording one.
//
// Results follow the store: 0; -2 memory exhausted; -9 a fixed limit (with
// the message already written through message()); other negative codes for
// arguments outside the store's ranges.
#ifndef VERGLE_XLS_BIFF_BOOK_H
#define VERGLE_XLS_BIFF_BOOK_H

#include <string>

namespace xls {

class biff_book {
public:
    virtual ~biff_book() = default;

    // Sheets.  add_sheet makes sheet `index` exist with the name (UTF-8,
    // or the raw bytes of a 5.0/95 name; may be empty).
    virtual int sheet_count() const = 0;
    virtual int sheet_capacity() const = 0;
    virtual int add_sheet(int index, const std::string& name) = 0;

    // Cells.  Each creates the cell (and its row) when missing, raising the
    // sheet's used rows and the row's used cells.
    virtual int place_cell(int sheet, int row, int column) = 0;
    virtual int put_number(int sheet, int row, int column, int numfmt_id, int xf, double value) = 0;
    virtual int put_text(int sheet, int row, int column, const std::string& utf8) = 0;
    // An error value ("#N/A"): a text that no number format changes.
    virtual int put_error(int sheet, int row, int column, const std::string& utf8) {
        return put_text(sheet, row, column, utf8);
    }
    virtual int put_shared_string(int sheet, int row, int column, int index) = 0;
    virtual int put_empty(int sheet, int row, int column) = 0;
    // Gives a stored cell the cell format it is shown through (a text, a
    // boolean or an error; put_number sets a number's); an index outside
    // the cell-format table is passed over.
    virtual int set_cell_format(int /*sheet*/, int /*row*/, int /*column*/, int /*xf*/) { return 0; }

    // Shared strings (UTF-8), numbered from 0 in the order added.
    virtual int sst_count() const = 0;
    virtual int add_sst(const std::string& utf8) = 0;

    // Cell formats: the n-th added is cell format n; its number-format id
    // (-1 for a style format).
    virtual int xf_count() const = 0;
    virtual int xf_capacity() const = 0;
    virtual int xf_numfmt(int xf) const = 0;
    virtual int add_xf(int numfmt_id) = 0;

    // Number formats (code in UTF-8; the book classifies it).
    virtual int numfmt_count() const = 0;
    virtual int add_numfmt(int id, const std::string& code_utf8) = 0;

    // A text box or comment text (UTF-8) on a sheet.
    virtual int add_text_object(int sheet, const std::string& utf8) = 0;

    // The workbook counts its date serials from 1904-01-01 (DATEMODE 1).
    virtual void set_date1904(bool) {}

    // A chart's cached number of cell format xf as the cell would show it
    // (General unless the book has a number-format engine).
    virtual std::string format_number(int xf, double value) const;
    // The formula of a cell, for a book that keeps formulas (wants_formulas):
    // status 0 with its text ("=A1*2", an array formula "{=...}" at its first
    // cell with its range "C1:C3"), or a formula that could not be read
    // (status 1) or would pass the limit (status 2), the text then saying why.
    virtual bool wants_formulas() const { return false; }
    virtual int put_formula(int sheet, int row, int column, int status, const std::string& text,
                            const std::string& range) {
        (void)sheet, (void)row, (void)column, (void)status, (void)text, (void)range;
        return 0;
    }

    // Writes a coded message (UTF-8) as the book's message.
    virtual void message(const std::string& utf8) = 0;
    // Writes a line into the book's log (UTF-8): something was passed over
    // without failing the reading.
    virtual void log(const std::string& utf8) = 0;
};

// The coded messages of the record reader.
std::string message_buffer_over(long long value, const char* label);  // TABX-03009
std::string message_internal(const char* label);                     // TABX-03600

}  // namespace xls

#endif
