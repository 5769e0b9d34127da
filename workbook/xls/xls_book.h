// The library's book seen by the record reader: biff_book over XLS_BOOK and
// the store primitives of the frame.
#ifndef VERGLE_XLS_XLS_BOOK_H
#define VERGLE_XLS_XLS_BOOK_H

#include "biff_book.h"
#include "tabx.h"

namespace xls {

class xls_book : public biff_book {
public:
    explicit xls_book(XLS_BOOK* book) : book_(book) {}

    int sheet_count() const override;
    int sheet_capacity() const override;
    int add_sheet(int index, const std::string& name) override;
    int place_cell(int sheet, int row, int column) override;
    int put_number(int sheet, int row, int column, int numfmt_id, int xf, double value) override;
    int put_text(int sheet, int row, int column, const std::string& utf8) override;
    int put_error(int sheet, int row, int column, const std::string& utf8) override;
    int put_shared_string(int sheet, int row, int column, int index) override;
    int put_empty(int sheet, int row, int column) override;
    int set_cell_format(int sheet, int row, int column, int xf) override;
    int sst_count() const override;
    int add_sst(const std::string& utf8) override;
    int xf_count() const override;
    int xf_capacity() const override;
    int xf_numfmt(int xf) const override;
    int add_xf(int numfmt_id) override;
    int numfmt_count() const override;
    int add_numfmt(int id, const std::string& code_utf8) override;
    int add_text_object(int sheet, const std::string& utf8) override;
    void message(const std::string& utf8) override;
    void log(const std::string& utf8) override;
    void set_date1904(bool on) override;
    std::string format_number(int xf, double value) const override;
    bool wants_formulas() const override;
    int put_formula(int sheet, int row, int column, int status, const std::string& text,
                    const std::string& range) override;

private:
    XLS_BOOK* book_;
};

}  // namespace xls

#endif
