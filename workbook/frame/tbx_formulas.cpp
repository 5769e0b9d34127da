// The formulas of a book (see tbx_formulas.h) and TABX_get_formula.
#include "tbx_formulas.h"

#include <cstdio>
#include <cstring>
#include <new>
#include <unordered_map>

#include "orb_text.h"
#include "tbx_cell_name.h"
#include "tbx_guard.h"
#include "tbx_message.h"
#include "tbx_private.h"

struct tbx_formula_table {
    std::unordered_map<uint64_t, tbx_formula> cells;
    std::unordered_map<uint64_t, int> row_end;  // by key(sheet, row, 0)
};

namespace {

uint64_t key(int sheet, int row, int column) {
    return (static_cast<uint64_t>(static_cast<uint32_t>(sheet)) << 40) |
           (static_cast<uint64_t>(static_cast<uint32_t>(row)) << 16) | static_cast<uint32_t>(column);
}

bool in_store(const XLS_BOOK* book, int sheet, int row, int column) {
    return sheet >= 0 && sheet < book->sheet_count && row >= 0 && row < book->max_rows && column >= 0 &&
           column < book->max_columns;
}

// A text in the caller's character set into buf (buf_size bytes): 0, or
// -909 when it does not fit, -2 without memory.
int to_caller(XLS_BOOK* book, const std::string& utf8, char* buf, int buf_size) {
    std::string s = utf8;
    if (tbx_charset(book) != ORB_UTF8 && orb_convert_string(ORB_UTF8, tbx_charset(book), s) == -2) return -2;
    if (!buf || buf_size <= 0 || s.size() >= static_cast<size_t>(buf_size)) return -909;
    std::memcpy(buf, s.c_str(), s.size() + 1);
    return 0;
}

}  // namespace

bool tbx_keeps_formulas(const XLS_BOOK* book) {
    const tbx_private* p = tbx_priv(book);
    return p && p->keep_formulas;
}

int tbx_put_formula(XLS_BOOK* book, int sheet, int row, int column, int status, const std::string& text,
                    const std::string& range) {
    tbx_private* p = tbx_priv(book);
    if (!p || !p->keep_formulas) return 0;
    if (!in_store(book, sheet, row, column)) return -3;
    try {
        if (!p->formula_table) p->formula_table = std::make_shared<tbx_formula_table>();
        int& end = p->formula_table->row_end[key(sheet, row, 0)];
        if (end < column + 1) end = column + 1;
        tbx_formula& f = p->formula_table->cells[key(sheet, row, column)];
        f.status = status;
        f.range = range;
        if (status == TBX_FORMULA_OK && text.size() > TBX_FORMULA_MAX) {
            f.status = TBX_FORMULA_TOO_LONG;
            f.text = std::to_string(text.size());
        } else {
            f.text = text;
        }
        return 0;
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

void tbx_drop_formula(XLS_BOOK* book, int sheet, int row, int column) {
    tbx_private* p = tbx_priv(book);
    if (p && p->formula_table) p->formula_table->cells.erase(key(sheet, row, column));
}

const tbx_formula* tbx_find_formula(const XLS_BOOK* book, int sheet, int row, int column) {
    const tbx_private* p = tbx_priv(book);
    if (!p || !p->formula_table) return nullptr;
    auto it = p->formula_table->cells.find(key(sheet, row, column));
    return it == p->formula_table->cells.end() ? nullptr : &it->second;
}

int tbx_formula_row_end(const XLS_BOOK* book, int sheet, int row) {
    const tbx_private* p = tbx_priv(book);
    if (!p || !p->formula_table) return 0;
    auto it = p->formula_table->row_end.find(key(sheet, row, 0));
    return it == p->formula_table->row_end.end() ? 0 : it->second;
}

void tbx_clear_formulas(XLS_BOOK* book) {
    if (tbx_private* p = tbx_priv(book)) p->formula_table.reset();
}

extern "C" int TABX_get_formula(XLS_BOOK* book, const char* cell_name, char* text, int text_size, char* range,
                                int range_size) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_get_formula()", [&]() -> int {
        book->error_code = 0;
        if (text && text_size > 0) text[0] = '\0';
        if (range && range_size > 0) range[0] = '\0';
        if (!tbx_keeps_formulas(book)) {
            tbx_message(book, TBX_MSG_INTERNAL, "FORMULAS=TRUE");
            return tbx_fail(book, -1);
        }
        if (book->sheet < 0 || book->sheet >= book->sheet_count) return tbx_fail(book, -901);
        int row = 0, column = 0;
        if (tbx_parse_cell_name(cell_name, &row, &column) != 0) {
            tbx_message(book, TBX_MSG_CELL_NAME, cell_name ? cell_name : "");
            return tbx_fail(book, -3);
        }
        const tbx_formula* f = tbx_find_formula(book, book->sheet, row, column);
        if (!f) return 0;
        char where[200];
        std::snprintf(where, sizeof where, "%s!%s", book->sheets[book->sheet].name, cell_name);
        if (f->status == TBX_FORMULA_TOO_LONG) {
            tbx_message(book, TBX_MSG_BUFFER, static_cast<int>(TBX_FORMULA_MAX), where);
            return tbx_fail(book, -9);
        }
        if (f->status != TBX_FORMULA_OK) {
            std::string detail = std::string(where) + ": " + f->text;
            tbx_message(book, TBX_MSG_FORMULA, detail.c_str());
            return tbx_fail(book, -1);
        }
        int rc = to_caller(book, f->text, text, text_size);
        if (rc == 0 && range && range_size > 0) rc = to_caller(book, f->range, range, range_size);
        if (rc == -2) return tbx_fail_memory(book);
        if (rc == -909) {
            tbx_message(book, TBX_MSG_BUFFER, text_size, "TABX_get_formula()");
            if (text && text_size > 0) text[0] = '\0';
            return tbx_fail(book, -909);
        }
        return 0;
    });
}
