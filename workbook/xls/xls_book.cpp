// The record reader's view of the library's book (see xls_book.h).
#include "xls_book.h"

#include "tbx_private.h"

#include "cell_format.h"
#include "number_format.h"
#include "tbx_formulas.h"
#include "tbx_message.h"
#include "tbx_store.h"

namespace xls {

int xls_book::sheet_count() const { return book_->sheet_count; }
int xls_book::sheet_capacity() const { return book_->sheet_capacity; }

int xls_book::add_sheet(int index, const std::string& name) {
    int rc = tbx_add_sheet(book_, index);
    if (rc != 0) return rc;
    return tbx_set_sheet_name(book_, index, name.c_str());
}

int xls_book::place_cell(int sheet, int row, int column) {
    XLS_CELL* cell = nullptr;
    return tbx_ensure_cell(book_, sheet, row, column, &cell);
}

int xls_book::put_number(int sheet, int row, int column, int numfmt_id, int xf, double value) {
    return ::put_number(book_, sheet, row, column, numfmt_id, xf, value);
}

int xls_book::put_text(int sheet, int row, int column, const std::string& utf8) {
    XLS_CELL* cell = nullptr;
    int rc = tbx_ensure_cell(book_, sheet, row, column, &cell);
    if (rc != 0) return rc;
    tbx_value v;
    v.text = utf8.c_str();
    return put_typed_value(TBX_CHARACTER, cell, &v);
}

int xls_book::put_error(int sheet, int row, int column, const std::string& utf8) {
    int rc = put_text(sheet, row, column, utf8);
    if (rc == 0) tbx_find_cell(book_, sheet, row, column)->flags |= TABX_CELL_ERROR;
    return rc;
}

int xls_book::put_shared_string(int sheet, int row, int column, int index) {
    XLS_CELL* cell = nullptr;
    int rc = tbx_ensure_cell(book_, sheet, row, column, &cell);
    if (rc != 0) return rc;
    tbx_value v;
    v.index = index;
    return put_typed_value(TBX_SHARED_STRING, cell, &v);
}

int xls_book::put_empty(int sheet, int row, int column) {
    XLS_CELL* cell = nullptr;
    int rc = tbx_ensure_cell(book_, sheet, row, column, &cell);
    if (rc != 0) return rc;
    tbx_value v;
    return put_typed_value(TBX_EMPTY, cell, &v);
}

int xls_book::set_cell_format(int sheet, int row, int column, int xf) {
    if (xf < 0 || xf >= book_->xf_count) return 0;
    if (XLS_CELL* cell = tbx_find_cell(book_, sheet, row, column)) cell->xf = xf;
    return 0;
}

int xls_book::sst_count() const { return book_->sst_count; }

int xls_book::add_sst(const std::string& utf8) {
    return tbx_add_sst(book_, utf8.data(), static_cast<int>(utf8.size()));
}

int xls_book::xf_count() const { return book_->xf_count; }
int xls_book::xf_capacity() const { return book_->xf_capacity; }

int xls_book::xf_numfmt(int xf) const {
    return xf >= 0 && xf < book_->xf_count ? book_->xf[xf].numfmt : 0;
}

int xls_book::add_xf(int numfmt_id) { return tbx_add_xf(book_, numfmt_id); }

int xls_book::numfmt_count() const { return book_->numfmt_count; }

int xls_book::add_numfmt(int id, const std::string& code_utf8) {
    return tbx_add_numfmt_utf8(book_, id, code_utf8.c_str());
}

void xls_book::set_date1904(bool on) {
    if (tbx_private* p = tbx_priv(book_)) p->date1904 = on;
}

bool xls_book::wants_formulas() const { return tbx_keeps_formulas(book_); }

int xls_book::put_formula(int sheet, int row, int column, int status, const std::string& text,
                          const std::string& range) {
    int rc = tbx_put_formula(book_, sheet, row, column, status, text, range);
    return rc == -2 ? -2 : 0;  // a cell outside the store has no formula to keep
}

int xls_book::add_text_object(int sheet, const std::string& utf8) {
    return tbx_add_drawing(book_, 1, sheet, utf8.c_str());
}

std::string xls_book::format_number(int xf, double value) const {
    const tbx_private* p = tbx_priv(book_);
    char buf[512];
    size_t n = nf_render_number(tbx_format_of_id(book_, xls_book::xf_numfmt(xf)), value, p && p->date1904, buf,
                                sizeof buf);
    return std::string(buf, n);
}

void xls_book::message(const std::string& utf8) { tbx_message(book_, "%s", utf8.c_str()); }

void xls_book::log(const std::string& utf8) {
    tbx_log_pending(book_, 4090);  // "内部処理エラー(\"%s\")。"
    tbx_log(book_, utf8.c_str());
}

}  // namespace xls
