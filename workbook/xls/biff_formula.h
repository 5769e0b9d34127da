// The text of a parsed formula: a workbook stores a formula as a run of
// tokens in reverse Polish order (operands first, then the operator or
// function that takes them), and this decoder turns them back into the
// text the formula bar shows, "SUM(B2:B9)*1.1" (without the leading "=").
//
// Operators keep Excel's precedence: a parenthesis token writes the
// parentheses the author typed, and any others the order of the tokens
// needs are added.  Functions come from the built-in function table by
// number, with their fixed argument counts; references are written in A1
// style relative to the formula's cell where the token says so (the tokens
// of shared formulas), with "$" for absolute parts and whole columns and
// rows as "A:A" and "1:1"; sheet names are quoted where needed; defined and
// external names come from the workbook's link tables.  Spaces and line
// breaks the author typed are kept where their tokens put them.
//
// The decoder reads only the bytes it is given: a token cut short, an
// operator without its operands or a function unknown by number makes the
// formula unreadable, and a text beyond the limit is reported, never cut.
#ifndef VERGLE_XLS_BIFF_FORMULA_H
#define VERGLE_XLS_BIFF_FORMULA_H

#include <cstddef>
#include <string>
#include <vector>

namespace xls {

// What a formula's sheet references and names stand for: the workbook's
// sheets (BOUNDSHEET order), its supporting links (SUPBOOK) with their
// external names (EXTERNNAME), the sheet ranges that 3D references name
// (EXTERNSHEET) and the defined names (NAME), all text in UTF-8.
struct formula_links {
    std::vector<std::string> sheets;
    enum book_kind { BOOK_SELF, BOOK_ADDIN, BOOK_EXTERNAL, BOOK_OTHER };
    struct book {
        int kind = BOOK_OTHER;
        int number = 0;  // an external workbook's place among them, from 1
        std::vector<std::string> sheets;
        std::vector<std::string> names;
    };
    std::vector<book> books;
    struct xti {
        int book = 0;
        int first = 0, last = 0;  // sheet indexes; negative: none
    };
    std::vector<xti> xtis;
    struct name {
        std::string text;
        int sheet = -1;  // -1: the workbook's; else the sheet it belongs to
    };
    std::vector<name> names;
};

// Where a formula stands: its sheet and cell (0-based).
struct formula_place {
    int sheet = 0;
    int row = 0;
    int column = 0;
};

// The longest formula text kept, in bytes (Excel's own limit, 8192
// characters, stays well inside it).
enum : size_t { FORMULA_LIMIT = 32768 };

enum formula_status {
    FORMULA_OK = 0,
    FORMULA_UNREADABLE = 1,  // see *problem
    FORMULA_TOO_LONG = 2,    // its text would pass the limit
    FORMULA_NO_MEMORY = 3,
};

// Writes the text of the tokens rgce[0, cce) (with their extra data
// extra[0, extra_size): array constants and the like) into out.  biff5:
// the 5.0/95 layout of the tokens, whose 8-bit strings are in codepage.
// At most limit bytes of text are written.  A formula_status; *problem (when
// not null) says what made a formula unreadable.
int formula_text(const unsigned char* rgce, size_t cce, const unsigned char* extra, size_t extra_size,
                 const formula_links& links, const formula_place& at, size_t limit, std::string& out,
                 std::string* problem = nullptr, bool biff5 = false, int codepage = 1252);

// The name of a built-in function by its number, or null; *args receives
// its fixed argument count, or -1 when it takes a varying number.
const char* builtin_function(unsigned index, int* args);

// A number as a formula writes it: up to 15 significant digits, no
// trailing zeros, an exponent ("1E+20", "1E-10") for very large and very
// small numbers.
std::string formula_number(double value);

// A cell reference in A1 style: column letters and row number, each with
// "$" when absolute (0-based row and column).
std::string a1_reference(int row, int column, bool row_absolute, bool column_absolute);

// A sheet name as a reference writes it: quoted ('My Sheet') when it is
// not a plain name, quotes inside doubled.
std::string quoted_sheet(const std::string& name_utf8);

}  // namespace xls

#endif
