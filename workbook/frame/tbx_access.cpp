// Sheet and cell access: counting and naming sheets, choosing the current
// sheet, row and column counts, cell names, and fetching cells as display
// text in the caller's character set.
//
// These functions change nothing in the store except the current sheet, row
// and column.
#include <cstring>
#include <string>
#include <vector>

#include "cell_format.h"
#include "orb_text.h"
#include "tabx.h"
#include "tbx_cell_name.h"
#include "tbx_formulas.h"
#include "tbx_guard.h"
#include "tbx_keywords.h"
#include "tbx_message.h"
#include "tbx_private.h"
#include "tbx_store.h"

namespace {

enum { SHEET_NAME_CHARS = 31, SHEET_NAME_CUT = 30, XLS_SHEET_LEN = 93 };

bool is_date_kind(int type) {
    return type == TBX_DATE || type == TBX_DATE_TIME || type == TBX_TIME_HM ||
           type == TBX_TIME_HMS;
}

bool is_ascii(const char* s, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        if (static_cast<unsigned char>(s[i]) >= 0x80) return false;
    }
    return true;
}

// Converts a rendering in place into the caller's character set.  Date
// renderings are Shift-JIS, the others UTF-8; ASCII text is the same in every
// set and is left alone.  Text renderings are UTF-8, which no target set
// makes longer; date renderings are a few dozen bytes.  0 or -2.
int to_caller(const XLS_BOOK* book, int value_type, char* text, int* len) {
    *len = static_cast<int>(std::strlen(text));
    if (is_ascii(text, static_cast<size_t>(*len))) return 0;
    // The engine writes UTF-8; the classic date renderings are Shift-JIS.
    int from = is_date_kind(value_type) && !tbx_engine_display(book) ? ORB_SJIS : ORB_UTF8;
    int rc = orb_convert(from, tbx_charset(book), text, len, TBX_RENDER_BUF);
    if (rc == -9) {
        // Cannot happen for short renderings; a text too long to convert
        // whole is cut to what the buffer holds.
        *len = static_cast<int>(std::strlen(text));
        return 0;
    }
    return rc == 0 ? 0 : -2;
}

bool sheet_valid(const XLS_BOOK* book, int s) { return s >= 0 && s < book->sheet_count; }

// The cell at a parsed position of the current sheet, with the -902/-903
// rules.  0 with *cell set.
int locate(XLS_BOOK* book, int row, int column, const XLS_CELL** cell) {
    const XLS_SHEET& s = book->sheets[book->sheet];
    if (row >= s.used_rows) return -902;
    const XLS_CELL* c = tbx_row_cell(s.rows[row], column);
    if (!c) return -903;
    book->row = row;
    book->column = column;
    *cell = c;
    return 0;
}

// Steps 1 to 4 of fetching a cell: checks and parsing.
int begin_fetch(XLS_BOOK* book, const char* name, char* text, int text_size,
                const XLS_CELL** cell) {
    book->error_code = 0;
    if (text && text_size > 0) text[0] = '\0';
    // No sheet at all counts as a current sheet outside the table.
    if (!sheet_valid(book, book->sheet)) return tbx_fail(book, -901);
    int row, column;
    if (tbx_parse_cell_name(name, &row, &column) != 0) {
        tbx_message(book, TBX_MSG_CELL_NAME, name ? name : "");
        return tbx_fail(book, -3);
    }
    int rc = locate(book, row, column, cell);
    return rc == 0 ? 0 : tbx_fail(book, rc);
}

int too_small(XLS_BOOK* book, const XLS_CELL* cell, int text_size) {
    tbx_message(book, TBX_MSG_BUFFER, text_size, is_date_kind(cell->type) ? "CELL_DATE/CELL_DATE_TIME" : "CELL_STRING");
    return tbx_fail(book, -909);
}

// Steps 5 to 7: the rendering, converted, copied when it fits.  *length
// (when asked for) gets the text's length.
template <typename Render>
int finish_fetch(XLS_BOOK* book, const XLS_CELL* cell, char* text, int text_size, Render render,
                 int* length = nullptr) {
    char* work = tbx_work_buffer(book);
    if (!work) return tbx_fail(book, -2);
    render(work);
    int len = 0;
    if (to_caller(book, cell->type, work, &len) != 0) return tbx_fail(book, -2);
    if (!text || len >= text_size) return too_small(book, cell, text_size);
    std::memcpy(text, work, static_cast<size_t>(len) + 1);
    if (length) *length = len;
    return 0;
}

const char* type_name(int type) {
    switch (type) {
    case TBX_CHARACTER:
    case TBX_SHARED_STRING: return "CHARACTER";
    case TBX_INTEGER: return "INTEGER";
    case TBX_FLOAT: return "FLOAT";
    case TBX_PERCENT: return "PERCENT";
    case TBX_DATE: return "DATE";
    case TBX_DATE_TIME: return "DATE_TIME";
    default: return "";
    }
}

}  // namespace

extern "C" int TABX_sheet_num(XLS_BOOK* book) {
    if (!book) return 0;
    book->error_code = 0;
    return book->sheet_count;
}

extern "C" int TABX_sheet_name(XLS_BOOK* book, int index, char* name) {
    if (!book || !name) return -3;
    book->error_code = 0;
    name[0] = '\0';
    if (!sheet_valid(book, index)) return tbx_fail(book, -801);
    char buf[4 * TABX_SHEET_NAME_BUF];
    std::snprintf(buf, TABX_SHEET_NAME_BUF, "%s", book->sheets[index].name);
    int len = static_cast<int>(std::strlen(buf));
    if (book->format != 8 && orb_convert(ORB_UTF8, tbx_charset(book), buf, &len, sizeof buf) == -2)
        return tbx_fail(book, -2);
    std::memcpy(name, buf, std::strlen(buf) + 1);
    return 0;
}

extern "C" int TABX_open_sheet2(XLS_BOOK* book, int index) {
    if (!book) return -3;
    book->error_code = 0;
    if (!sheet_valid(book, index)) return tbx_fail(book, -801);
    book->sheet = index;
    return 0;
}

extern "C" int TABX_open_sheet(XLS_BOOK* book, const char* keywords) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_open_sheet()", [&]() -> int {
        book->error_code = 0;
        const int cs = tbx_charset(book);
        tbx_tokenizer tok(keywords, cs);
        std::string key, eq, value, name;
        bool has_name = false;
        enum { NONE, READ, CREATE, UPDATE, TEMPLATE } mode = NONE;
        for (;;) {
            int rc = tok.next(key);
            if (rc == 0) break;
            if (rc < 0) return tbx_fail(book, -3);
            if (tok.next(eq) <= 0) return tbx_fail(book, -3);
            if (eq != "=") {
                tbx_message(book, TBX_MSG_EQUAL, tbx_to_utf8(cs, eq).c_str());
                return tbx_fail(book, -3);
            }
            if (tok.next(value) <= 0) return tbx_fail(book, -3);
            const std::string k = tbx_to_utf8(cs, key);
            const std::string v = tbx_to_utf8(cs, value);
            if (tbx_keyword_is(k, "SHEET_NAME", "シート")) {
                name = tbx_unquoted(v);
                has_name = true;
            } else if (tbx_keyword_is(k, "MODE", "モード")) {
                if (tbx_keyword_is(v, "READ", "読込", "読み込み")) mode = READ;
                else if (tbx_keyword_is(v, "CREATE", "新規")) mode = CREATE;
                else if (tbx_keyword_is(v, "UPDATE", "更新")) mode = UPDATE;
                else if (tbx_keyword_is(v, "TEMPLATE", "テンプレート")) mode = TEMPLATE;
                else return tbx_fail(book, -3);
            } else {
                tbx_message(book, TBX_MSG_KEYWORD, k.c_str());
                return tbx_fail(book, -3);
            }
        }
        // A name of more than 31 characters keeps its first 30.
        int chars = 0;
        size_t cut = 0;
        for (size_t i = 0; i < name.size(); ++chars) {
            if (chars == SHEET_NAME_CUT) cut = i;
            i += 1 + static_cast<size_t>(orb_mb_len(ORB_UTF8, static_cast<unsigned char>(name[i])));
        }
        if (chars > SHEET_NAME_CHARS) name.resize(cut);
        if (name.size() > XLS_SHEET_LEN) {
            tbx_message(book, TBX_MSG_BUFFER, static_cast<int>(XLS_SHEET_LEN), "XLS_SHEET_LEN");
            return tbx_fail(book, -909);
        }
        if (mode != READ && mode != UPDATE) {
            // Adding or copying a sheet belongs to the writer engine.
            tbx_message(book, TBX_MSG_INTERNAL, "TABX_open_sheet() CREATE/TEMPLATE");
            return tbx_fail(book, -1);
        }
        for (int i = 0; has_name && i < book->sheet_count; ++i) {
            if (name == book->sheets[i].name) {
                book->sheet = i;
                return 0;
            }
        }
        tbx_message(book, TBX_MSG_SHEET_NAME, name.c_str());
        return tbx_fail(book, -801);
    });
}

extern "C" int TABX_row_num(XLS_BOOK* book) {
    if (!book) return 0;
    book->error_code = 0;
    return sheet_valid(book, book->sheet) ? book->sheets[book->sheet].used_rows : 0;
}

extern "C" int TABX_column_num(XLS_BOOK* book, int row) {
    if (!book) return 0;
    book->error_code = 0;
    if (!sheet_valid(book, book->sheet)) return 0;
    const XLS_SHEET& s = book->sheets[book->sheet];
    if (row < 0 || row >= s.used_rows) return 0;
    const XLS_ROW& r = s.rows[row];
    int n = tbx_row_columns(r);
    // A formula whose value is empty still has its text to show.
    const int extent = r.columns ? (r.count > 0 ? r.columns[r.count - 1] + 1 : 0) : r.used;
    if (n < extent) {
        int end = tbx_formula_row_end(book, book->sheet, row);
        if (end > n) n = end < extent ? end : extent;
    }
    return n;
}

extern "C" int TABX_cell_name(int row, int column, char* name) {
    if (!name) return -3;
    return tbx_format_cell_name(row - 1, column - 1, name);
}

extern "C" int TABX_cell_range(int row1, int column1, int row2, int column2, char* name) {
    if (!name) return -3;
    char a[12], b[12];
    name[0] = '\0';
    if (tbx_format_cell_name(row1 - 1, column1 - 1, a) != 0 ||
        tbx_format_cell_name(row2 - 1, column2 - 1, b) != 0) {
        return -3;
    }
    std::snprintf(name, 24, "%s:%s", a, b);
    return 0;
}

extern "C" int TABX_get_cell(XLS_BOOK* book, const char* cell_name, char* text, int text_size,
                             char* type, int type_size) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_get_cell()", [&]() -> int {
        if (type && type_size > 0) type[0] = '\0';
        const XLS_CELL* cell = nullptr;
        int rc = begin_fetch(book, cell_name, text, text_size, &cell);
        if (rc != 0) return rc;
        rc = finish_fetch(book, cell, text, text_size,
                          [&](char* out) { format_cell(book, cell, out); });
        if (rc != 0) return rc;
        if (type && type_size > 0) {
            if (cell->type == TBX_FORMULA) {
                std::string f = std::string("FORMULA:") + cell_text(cell);
                if (static_cast<int>(f.size()) >= type_size) return tbx_fail(book, -909);
                std::memcpy(type, f.c_str(), f.size() + 1);
            } else {
                const char* n = type_name(cell->type);
                if (static_cast<int>(std::strlen(n)) < type_size - 1) std::strcpy(type, n);
            }
        }
        return 0;
    });
}

extern "C" int TABX_cell_text(XLS_BOOK* book, int row, int column, char* buf, int size, const char** text,
                              int* length) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_cell_text()", [&]() -> int {
        book->error_code = 0;
        if (buf && size > 0) buf[0] = '\0';
        if (!text || !length) return tbx_fail(book, -3);
        *text = buf ? buf : "";
        *length = 0;
        if (!sheet_valid(book, book->sheet)) return tbx_fail(book, -901);
        if (row < 0 || row >= TBX_MAX_ROWS || column < 0 || column >= TBX_MAX_COLUMNS) return tbx_fail(book, -3);
        const XLS_CELL* cell = nullptr;
        int rc = locate(book, row, column, &cell);
        if (rc != 0) return tbx_fail(book, rc);
        const bool utf8 = tbx_charset(book) == ORB_UTF8;
        const char* in_place;
        size_t n;
        if (utf8 && display_text_in_place(book, cell, &in_place, &n)) {
            if (!buf || n >= static_cast<size_t>(size)) return too_small(book, cell, size);
            *text = in_place;
            *length = static_cast<int>(n);
            return 0;
        }
        if (utf8 && tbx_engine_display(book) && buf && size >= TBX_RENDER_BUF) {
            // The engine writes UTF-8, the caller's set: no conversion, so
            // the rendering goes straight into the caller's buffer.
            format_cell(book, cell, buf);
            *length = static_cast<int>(std::strlen(buf));
            return 0;
        }
        return finish_fetch(book, cell, buf, size, [&](char* out) { format_cell(book, cell, out); }, length);
    });
}

extern "C" int TABX_get_format_cell(XLS_BOOK* book, const char* cell_name, char* text,
                                    int text_size, int date_type, int number_type,
                                    int decimals) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_get_format_cell()", [&]() -> int {
        const XLS_CELL* cell = nullptr;
        int rc = begin_fetch(book, cell_name, text, text_size, &cell);
        if (rc != 0) return rc;
        return finish_fetch(book, cell, text, text_size, [&](char* out) {
            format_cell_with(book, cell, date_type, number_type, decimals, out);
        });
    });
}

extern "C" int TABX_get_cells(XLS_BOOK* book, int direction, int sheet, int row, int column,
                              int count, char** texts) {
    if (!book || !texts) return 0;
    return tbx_guarded(book, "TABX_get_cells()", [&]() -> int {
        book->error_code = 0;
        int i = 0;
        if (sheet_valid(book, sheet) && row >= 0 && column >= 0) {
            const XLS_SHEET& s = book->sheets[sheet];
            for (; i < count; ++i) {
                if (row >= s.used_rows) break;
                const XLS_CELL* at = tbx_row_cell(s.rows[row], column);
                if (!at) break;
                const XLS_CELL& cell = *at;
                if (texts[i]) {
                    format_cell(book, &cell, texts[i]);
                    int len = 0;
                    if (to_caller(book, cell.type, texts[i], &len) != 0) texts[i][0] = '\0';
                }
                if (direction != 0) ++row;
                else ++column;
            }
        }
        for (; i < count; ++i) {
            if (texts[i]) texts[i][0] = '\0';
        }
        return 0;
    });
}

extern "C" int TABX_is_cell(XLS_BOOK* book, const char* text, int* row, int* column) {
    if (book) book->error_code = 0;
    if (!text || !row || !column) return tbx_fail(book, -3);
    if (std::strlen(text) > 4000) return tbx_fail(book, -3);
    int r, c;
    if (tbx_parse_cell_name(text, &r, &c) != 0) return tbx_fail(book, -801);
    *row = r + 1;
    *column = c + 1;
    return 0;
}

extern "C" int TABX_is_range(XLS_BOOK* book, const char* text, int* row1, int* column1,
                             int* row2, int* column2) {
    return tbx_guarded(book, "TABX_is_range()", [&]() -> int {
        if (book) book->error_code = 0;
        if (!text || !row1 || !column1 || !row2 || !column2) return tbx_fail(book, -3);
        if (std::strlen(text) > 4000) return tbx_fail(book, -3);
        std::string first(text), second;
        size_t colon = first.find(':');
        if (colon != std::string::npos) {
            second = first.substr(colon + 1);
            first.resize(colon);
        } else {
            second = first;
        }
        int r1, c1, r2, c2;
        if (tbx_parse_cell_name(first.c_str(), &r1, &c1) != 0 ||
            tbx_parse_cell_name(second.c_str(), &r2, &c2) != 0) {
            return tbx_fail(book, -801);
        }
        *row1 = r1 + 1;
        *column1 = c1 + 1;
        *row2 = r2 + 1;
        *column2 = c2 + 1;
        return 0;
    });
}
