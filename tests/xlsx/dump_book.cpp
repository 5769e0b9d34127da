// Prints every cell of a workbook as the library displays it: for each sheet
// a line "#sheet<TAB>index<TAB>name", then one line per non-empty cell,
// "A1<TAB>text" (UTF-8; line breaks and tabs inside a text as \n, \r, \t),
// then the sheet's text objects as "#object<TAB>text".  Opens the book with
// MODE=UNLOAD and CHARSET=UTF8 through the library's C interface.
//
//   dump_book FILE            exit 0, or 1 with the library's message
//   dump_book -q FILE         walks every cell, prints only the cell count
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "tabx.h"

namespace {

void put_escaped(const char* s) {
    for (; *s; ++s) {
        if (*s == '\n') std::fputs("\\n", stdout);
        else if (*s == '\r') std::fputs("\\r", stdout);
        else if (*s == '\t') std::fputs("\\t", stdout);
        else if (*s == '\\') std::fputs("\\\\", stdout);
        else std::fputc(*s, stdout);
    }
}

}  // namespace

int main(int argc, char** argv) {
    bool quiet = argc > 1 && std::strcmp(argv[1], "-q") == 0;
    if (argc != (quiet ? 3 : 2)) {
        std::fprintf(stderr, "usage: dump_book [-q] FILE\n");
        return 2;
    }
    const char* file = argv[quiet ? 2 : 1];
    std::string args = "EXCEL=\"" + std::string(file) + "\" MODE=UNLOAD CHARSET=UTF8";
    static XLS_BOOK book;
    int rc = TABX_open_book(&book, args.c_str());
    if (rc != 0) {
        std::printf("#error\t%d\t%s\n", rc, TABX_error_mesg(&book));
        TABX_close_book(&book, "DESTROY");
        return 1;
    }
    std::vector<char> text(TABX_CELL_TEXT_BUF);
    long long cells = 0;
    for (int s = 0; s < TABX_sheet_num(&book); ++s) {
        char name[400] = {};
        TABX_sheet_name(&book, s, name);
        TABX_open_sheet2(&book, s);
        if (!quiet) std::printf("#sheet\t%d\t%s\n", s, name);
        int rows = TABX_row_num(&book);
        for (int r = 0; r < rows; ++r) {
            int cols = TABX_column_num(&book, r);
            for (int c = 0; c < cols; ++c) {
                char cell[16];
                if (TABX_cell_name(r + 1, c + 1, cell) != 0) continue;
                if (TABX_get_cell(&book, cell, text.data(), static_cast<int>(text.size()), nullptr, 0) != 0)
                    continue;
                ++cells;
                if (quiet || !text[0]) continue;
                std::printf("%s\t", cell);
                put_escaped(text.data());
                std::fputc('\n', stdout);
            }
        }
        if (quiet) continue;
        for (int i = 0; i < book.drawing_count; ++i) {
            const XLS_DRAWING& d = book.drawings[i];
            if (d.sheet != s || d.kind != 1 || !d.data) continue;
            const XLS_OBJECT_TEXT* t = static_cast<const XLS_OBJECT_TEXT*>(d.data);
            if (t->tag != 302 || !t->text) continue;
            std::fputs("#object\t", stdout);
            put_escaped(t->text);
            std::fputc('\n', stdout);
        }
    }
    if (quiet) std::printf("%lld cells\n", cells);
    TABX_close_book(&book, "DESTROY");
    return 0;
}
