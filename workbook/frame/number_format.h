// The number-format engine: a format code is compiled once into a short
// list of tokens per section (conditions, literals, digit placeholders, date
// and time parts, eras, elapsed units), and a value is rendered through it
// the way Excel in a Japanese locale displays it.
//
// Codes and renderings are UTF-8.  The compiled form is immutable: a book
// keeps one per distinct number format (tbx_format_cache) and renders every
// cell through it without allocating.
#ifndef TBX_NUMBER_FORMAT_H
#define TBX_NUMBER_FORMAT_H

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "tabx.h"

struct nf_format;

struct nf_format_deleter {
    void operator()(nf_format* f) const;
};
using nf_format_ptr = std::unique_ptr<nf_format, nf_format_deleter>;

// Compiles a format code (UTF-8).  Never fails: a code that makes no sense
// still compiles to something that renders (its characters as literals).
nf_format_ptr nf_compile(const char* code_utf8);

// The value type a number takes under the format: TBX_GENERAL_NUMBER,
// TBX_PERCENT, TBX_DATE or TBX_DATE_TIME (cell_format.h).
int nf_value_type(const nf_format* f);

// True when the format shows a number exactly as General does (so the
// caller may take a shortcut).
bool nf_is_general(const nf_format* f);

// True when text cells are shown through a text section ("@").
bool nf_has_text_section(const nf_format* f);

// Renders a number.  date1904: serials count from 1904-01-01.  Writes at most
// cap - 1 bytes and a terminator; returns the length.
size_t nf_render_number(const nf_format* f, double value, bool date1904, char* out, size_t cap);

// Renders a text through the format's text section (the text itself when
// there is none).
size_t nf_render_text(const nf_format* f, const char* text, size_t len, char* out, size_t cap);

// Excel's General form of a number in a cell of standard width: at most 11
// characters, scientific beyond.
size_t nf_general(double value, char* out, size_t cap);

// The code of a built-in number-format id as Japanese Excel defines it
// (UTF-8), or null for an id without a built-in code.
const char* nf_builtin_code(int id);

// The compiled number formats of one book, by number-format id; built on
// first use and dropped when the book's number-format or cell-format table
// changes.  Lives in the book's private block.
struct tbx_format_cache {
    const XLS_NUMFMT* numfmt = nullptr;
    int numfmt_count = -1;
    std::vector<int> slot_of_id;            // id + 1 -> slot + 1 (0: not yet)
    std::vector<nf_format_ptr> formats;     // compiled, by slot
    std::vector<const nf_format*> by_xf;    // cell format -> compiled
    const XLS_XF* xf = nullptr;
    int xf_count = -1;
};

// The compiled format of a number-format id in the book (built-ins where
// the book defines none; General for unknown ids).  Never null.
const nf_format* tbx_format_of_id(const XLS_BOOK* book, int id);

// The compiled format that applies to a cell (by its cell format).
const nf_format* tbx_format_of_cell(const XLS_BOOK* book, const XLS_CELL* cell);

#endif
