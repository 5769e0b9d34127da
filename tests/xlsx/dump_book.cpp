// Prints every cell of a workbook as the library displays it: for each sheet
// a line "#sheet<TAB>index<TAB>name", then one line per non-empty cell,
// "A1<TAB>text" (UTF-8; line breaks and tabs inside a text as \n, \r, \t),
// then the sheet's text objects as "#object<TAB>text".  Opens the book with
// MODE=UNLOAD and CHARSET=UTF8 through the library's C interface.
//
//   dump_book FILE            exit 0, or 1 with the library's message
//   dump_book -q FILE         walks every cell, prints only the cell count
//   dump_book -a FILE         every cell through every way of reading it:
//                             opened with MODE=UNLOAD, with DISPLAY=CLASSIC
//                             and with MODE=READ, each cell's text and type
//                             (TABX_get_cell) and its text under a few
//                             caller-chosen formats (TABX_get_format_cell);
//                             a record of what the store returns, so that two
//                             builds can be compared byte for byte
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

// Opens the book; on failure prints "#error", the result and the message.
bool open_or_report(XLS_BOOK& book, const std::string& args) {
    int rc = TABX_open_book(&book, args.c_str());
    if (rc == 0) return true;
    std::printf("#error\t%d\t%s\n", rc, TABX_error_mesg(&book));
    TABX_close_book(&book, "DESTROY");
    return false;
}

// Calls visit with the name of every cell of the current sheet, row by row.
template <class Visit>
void each_cell(XLS_BOOK& book, Visit visit) {
    int rows = TABX_row_num(&book);
    for (int r = 0; r < rows; ++r) {
        int cols = TABX_column_num(&book, r);
        for (int c = 0; c < cols; ++c) {
            char cell[16];
            if (TABX_cell_name(r + 1, c + 1, cell) == 0) visit(cell);
        }
    }
}

// The -a record of one opening of the book.
int dump_all(const char* file, const char* mode) {
    static XLS_BOOK book;
    std::printf("#open\t%s\n", mode);
    if (!open_or_report(book, "EXCEL=\"" + std::string(file) + "\" CHARSET=UTF8 " + mode)) return 1;
    std::vector<char> text(TABX_CELL_TEXT_BUF), type(TABX_CELL_TEXT_BUF);
    static const int formats[][3] = {{0, 100, -1}, {302, 107, 2}, {318, 201, 0}, {335, 501, 3}};
    for (int s = 0; s < TABX_sheet_num(&book); ++s) {
        TABX_open_sheet2(&book, s);
        std::printf("#sheet\t%d\n", s);
        each_cell(book, [&](const char* cell) {
            int rc = TABX_get_cell(&book, cell, text.data(), static_cast<int>(text.size()), type.data(),
                                   static_cast<int>(type.size()));
            if (rc == 0 && !text[0] && !type[0]) return;
            std::printf("%s\t%d\t", cell, rc);
            put_escaped(text.data());
            std::fputc('\t', stdout);
            put_escaped(type.data());
            for (const auto& f : formats) {
                rc = TABX_get_format_cell(&book, cell, text.data(), static_cast<int>(text.size()), f[0], f[1],
                                          f[2]);
                std::printf("\t%d:", rc);
                put_escaped(text.data());
            }
            std::fputc('\n', stdout);
        });
    }
    TABX_close_book(&book, "DESTROY");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "-a") == 0) {
        int rc = dump_all(argv[2], "MODE=UNLOAD");
        rc |= dump_all(argv[2], "MODE=UNLOAD DISPLAY=CLASSIC");
        rc |= dump_all(argv[2], "MODE=READ");
        return rc;
    }
    bool quiet = argc > 1 && std::strcmp(argv[1], "-q") == 0;
    if (argc != (quiet ? 3 : 2)) {
        std::fprintf(stderr, "usage: dump_book [-q|-a] FILE\n");
        return 2;
    }
    static XLS_BOOK book;
    if (!open_or_report(book, "EXCEL=\"" + std::string(argv[quiet ? 2 : 1]) + "\" MODE=UNLOAD CHARSET=UTF8"))
        return 1;
    std::vector<char> text(TABX_CELL_TEXT_BUF);
    long long cells = 0;
    for (int s = 0; s < TABX_sheet_num(&book); ++s) {
        char name[400] = {};
        TABX_sheet_name(&book, s, name);
        TABX_open_sheet2(&book, s);
        if (!quiet) std::printf("#sheet\t%d\t%s\n", s, name);
        each_cell(book, [&](const char* cell) {
            if (TABX_get_cell(&book, cell, text.data(), static_cast<int>(text.size()), nullptr, 0) != 0) return;
            ++cells;
            if (quiet || !text[0]) return;
            std::printf("%s\t", cell);
            put_escaped(text.data());
            std::fputc('\n', stdout);
        });
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
