// Prints every cell of a workbook as the library displays it: for each sheet
// a line "#sheet<TAB>index<TAB>name", then one line per non-empty cell,
// "A1<TAB>text" (UTF-8; line breaks and tabs inside a text as \n, \r, \t),
// then the sheet's text objects as "#object<TAB>text".  Opens the book with
// MODE=UNLOAD and CHARSET=UTF8 through the library's C interface.
//
//   dump_book FILE            exit 0, or 1 with the library's message
//   dump_book -q FILE         walks every cell, prints only the cell count
//   dump_book -f FILE         the formulas (FORMULAS=TRUE): for each sheet its
//                             "#sheet" line, then "A1<TAB>=formula" per
//                             formula cell ("A1<TAB>{=...}<TAB>A1:B2" for an
//                             array formula, "A1<TAB>#error<TAB>code<TAB>
//                             message" for one the library reports)
//   dump_book -m FILE         the macro modules of any document (.xls, .xlsm,
//                             .docm, .pptm, ...): "#module<TAB>kind<TAB>name"
//                             then the source's lines (escaped as above)
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

int dump_formulas(const char* file) {
    static XLS_BOOK book;
    if (!open_or_report(book, "EXCEL=\"" + std::string(file) + "\" MODE=UNLOAD CHARSET=UTF8 FORMULAS=TRUE"))
        return 1;
    std::vector<char> text(TABX_CELL_TEXT_BUF);
    char range[64];
    for (int s = 0; s < TABX_sheet_num(&book); ++s) {
        char name[400] = {};
        TABX_sheet_name(&book, s, name);
        TABX_open_sheet2(&book, s);
        std::printf("#sheet\t%d\t%s\n", s, name);
        each_cell(book, [&](const char* cell) {
            int rc = TABX_get_formula(&book, cell, text.data(), static_cast<int>(text.size()), range, sizeof range);
            if (rc != 0) {
                std::printf("%s\t#error\t%d\t%s\n", cell, rc, TABX_error_mesg(&book));
                return;
            }
            if (!text[0]) return;
            std::printf("%s\t", cell);
            put_escaped(text.data());
            if (range[0]) std::printf("\t%s", range);
            std::fputc('\n', stdout);
        });
    }
    TABX_close_book(&book, "DESTROY");
    return 0;
}

int dump_macros(const char* file) {
    static XLS_BOOK book;
    // Any document: an empty book (no file touched) reads the project.
    if (!open_or_report(book, "CHARSET=UTF8")) return 1;
    int rc = TABX_open_macros(&book, file);
    if (rc != 0) {
        std::printf("#error\t%d\t%s\n", rc, TABX_error_mesg(&book));
        TABX_close_book(&book, "DESTROY");
        return 0;
    }
    for (int i = 0; i < TABX_macro_num(&book); ++i) {
        char name[400];
        int kind = 0;
        TABX_macro_name(&book, i, name, sizeof name, &kind);
        std::printf("#module\t%d\t%s\n", kind, name);
        long long length = 0;
        rc = TABX_macro_text(&book, i, nullptr, 0, &length);
        if (rc != -909) {
            std::printf("#error\t%d\t%s\n", rc, TABX_error_mesg(&book));
            continue;
        }
        std::vector<char> text(static_cast<size_t>(length) + 1);
        TABX_macro_text(&book, i, text.data(), static_cast<int>(text.size()), nullptr);
        // One line per source line, CR LF taken as the line end.
        std::string src(text.data());
        size_t pos = 0;
        while (pos < src.size()) {
            size_t end = src.find('\n', pos);
            if (end == std::string::npos) end = src.size();
            std::string line = src.substr(pos, end - pos);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            put_escaped(line.c_str());
            std::fputc('\n', stdout);
            pos = end + 1;
        }
    }
    TABX_close_book(&book, "DESTROY");
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 3 && std::strcmp(argv[1], "-f") == 0) return dump_formulas(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "-m") == 0) return dump_macros(argv[2]);
    if (argc == 3 && std::strcmp(argv[1], "-a") == 0) {
        int rc = dump_all(argv[2], "MODE=UNLOAD");
        rc |= dump_all(argv[2], "MODE=UNLOAD DISPLAY=CLASSIC");
        rc |= dump_all(argv[2], "MODE=READ");
        return rc;
    }
    bool quiet = argc > 1 && std::strcmp(argv[1], "-q") == 0;
    if (argc != (quiet ? 3 : 2)) {
        std::fprintf(stderr, "usage: dump_book [-q|-a|-f|-m] FILE\n");
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
