// Entry points of the writer and template engine.  This build carries no
// writer engine: the entry points that would change or save a workbook fail
// with -1 and an internal-error message naming themselves; the property and
// datasource functions accept their arguments and do nothing.
#include "tabx.h"
#include "tbx_message.h"

namespace {

int no_writer(XLS_BOOK* book, const char* function) {
    if (!book) return -1;
    book->error_code = 0;
    tbx_message(book, TBX_MSG_INTERNAL, function);
    return tbx_fail(book, -1);
}

int accepted(XLS_BOOK* book) {
    if (book) book->error_code = 0;
    return 0;
}

}  // namespace

extern "C" {

int TABX_is_property(XLS_BOOK* book, const char*) { return no_writer(book, "TABX_is_property()"); }
int TABX_search(XLS_BOOK* book, const char*, char* result, int result_size) {
    if (result && result_size > 0) result[0] = '\0';
    return no_writer(book, "TABX_search()");
}
int TABX_read_file(XLS_BOOK* book, const char*) { return no_writer(book, "TABX_read_file()"); }
int TABX_sheet_hyperlink(XLS_BOOK* book, const char*, const char*, const char*) {
    return no_writer(book, "TABX_sheet_hyperlink()");
}
int TABX_external_hyperlink(XLS_BOOK* book, const char*, const char*) {
    return no_writer(book, "TABX_external_hyperlink()");
}
int TABX_put_cell(XLS_BOOK* book, const char*, const char*, const char*) {
    return no_writer(book, "TABX_put_cell()");
}
int TABX_put_values(XLS_BOOK* book, const char*) { return no_writer(book, "TABX_put_values()"); }
int TABX_write_row(XLS_BOOK* book, const char*) { return no_writer(book, "TABX_write_row()"); }
int TABX_put_image_memory(XLS_BOOK* book, const char*, const void*, int) {
    return no_writer(book, "TABX_put_image_memory()");
}
int TABX_put_variable(XLS_BOOK* book, const char*, const char*) {
    return no_writer(book, "TABX_put_variable()");
}
int TABX_set_property(XLS_BOOK* book, const char*) { return accepted(book); }
int TABX_open_datasource(XLS_BOOK* book, const char*) { return accepted(book); }
int TABX_close_datasource(XLS_BOOK* book) { return accepted(book); }
int TABX_paste_datasource(XLS_BOOK* book, const char*) { return accepted(book); }

}  // extern "C"
