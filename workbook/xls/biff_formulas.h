// The formulas of a legacy workbook: the record reader hands this collector
// the records that concern formulas, and it gives the book each formula
// cell's text (biff_book::put_formula) as the formula bar shows it.
//
// The workbook's globals name what formulas refer to: the sheets
// (BOUNDSHEET), the supporting links with their external names (SUPBOOK,
// EXTERNNAME), the sheet ranges of 3D references (EXTERNSHEET) and the
// defined names (NAME).  In a sheet, a FORMULA record holds its tokens, or a
// pointer to the cell where a shared formula (SHRFMLA) or an array formula
// (ARRAY) or a data table (TABLE) begins; those records follow the formula
// of their first cell.  The pointers are resolved when the sheet ends: each
// cell of a shared formula gets its own text, its relative references moved
// with it; an array formula is given once, at its first cell, with its
// range; a data table shows as TABLE(row input, column input).
#ifndef VERGLE_XLS_BIFF_FORMULAS_H
#define VERGLE_XLS_BIFF_FORMULAS_H

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "biff_book.h"
#include "biff_formula.h"

namespace xls {

enum : uint16_t {
    BIFF_EXTERNSHEET = 0x0017,
    BIFF_EXTERNNAME = 0x0023,
    BIFF_SUPBOOK = 0x01AE,
    BIFF_ARRAY = 0x0221,
    BIFF_TABLE = 0x0236,
    BIFF_SHRFMLA = 0x04BC,
};

class formula_reader {
public:
    explicit formula_reader(biff_book& book) : book_(book) {}

    // One record, after the record reader has taken it: the substream's
    // sheet (its index in the book), whether the substream is a sheet whose
    // cells the book keeps (a worksheet, or a macro sheet, whose formulas
    // are its macros), the stream's layout (8 or 5) and code page.  0, or -2
    // when memory runs out.
    int record(uint16_t type, const unsigned char* data, size_t len, int sheet, bool worksheet, int version,
               int codepage);

    // The stream has ended: formulas still waiting for their shared or
    // array formula are given what can be given.  0 or -2.
    int finish();

    const formula_links& links() const { return links_; }

private:
    struct pending {
        int row, column;
        int anchor_row, anchor_column;
    };
    struct shared {
        int first_row, last_row, first_column, last_column;
        std::string tokens;  // rgce then its extra data
        size_t cce = 0;
        bool array = false;
        std::string table;   // a data table's text
    };

    int on_formula(const unsigned char* data, size_t len);
    int on_shared(uint16_t type, const unsigned char* data, size_t len);
    int on_table(const unsigned char* data, size_t len);
    void on_name(const unsigned char* data, size_t len);
    void on_supbook(const unsigned char* data, size_t len);
    void on_externsheet(const unsigned char* data, size_t len);
    void on_externname(const unsigned char* data, size_t len);
    void on_boundsheet(const unsigned char* data, size_t len);
    // Resolves the cells of the sheet that point to shared, array and table
    // formulas, and forgets the sheet's formulas.
    int end_sheet();
    // Decodes tokens for a cell and gives the result to the book.
    int put(int row, int column, const unsigned char* rgce, size_t cce, const unsigned char* extra, size_t extra_size,
            const std::string& range, bool array);

    biff_book& book_;
    formula_links links_;
    int sheet_ = -1;
    bool worksheet_ = false;
    int version_ = 8;
    int codepage_ = 1252;
    int external_books_ = 0;
    // The last FORMULA cell, which a SHRFMLA, ARRAY or TABLE right after it
    // belongs to.
    int last_row_ = -1, last_column_ = -1;
    std::vector<pending> pending_;
    std::map<std::pair<int, int>, shared> shared_;  // by first cell
};

}  // namespace xls

#endif
