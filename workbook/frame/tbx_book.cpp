// Opening and closing a book, its error code and message, and the small
// library-wide functions (version, help, swap, debug).
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mfile.h"
#include "orb_cancel.h"
#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"
#include "tabx.h"
#include "tbx_guard.h"
#include "tbx_keywords.h"
#include "tbx_message.h"
#include "tbx_private.h"
#include "tbx_readers.h"
#include "tbx_store.h"

namespace {

enum open_mode { MODE_CREATE, MODE_READ, MODE_UPDATE, MODE_LOAD, MODE_UNLOAD, MODE_LIST };

// The longest workbook path, in UTF-8 (a keyword value holds at most 4000
// bytes; the current folder may come before it).
enum { BOOK_PATH_MAX = 4096 };

struct open_args {
    std::string path;  // platform path encoding
    bool has_path = false;
    int mode = MODE_CREATE;
    bool read_memory = false;
    bool write_memory = false;
    std::string temp_path;
};

bool ends_with_nocase(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    if (s.size() < n) return false;
    for (size_t i = 0; i < n; ++i) {
        char a = s[s.size() - n + i], b = suffix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a + 32);
        if (a != b) return false;
    }
    return true;
}

// A workbook name without a recognisable extension gets ".xlsx".
std::string with_extension(const std::string& name) {
    if (ends_with_nocase(name, ".xls")) return name;
    bool has_dot_or_folder = false;
    for (char c : name) {
        if (c == '.' || c == '\\' || plat_is_separator(c)) has_dot_or_folder = true;
    }
    if (name.size() < 6 ||
        (!ends_with_nocase(name, ".xlsx") && !ends_with_nocase(name, ".xlsm") && !has_dot_or_folder)) {
        std::string completed = name;
        completed.append(".xlsx");
        return completed;
    }
    return name;
}

bool is_full_path(const std::string& p) {
    return (!p.empty() && p[0] == '\\') || (p.size() >= 2 && p[1] == ':') ||
           plat_is_absolute(p.c_str());
}

std::string utf8_of_native(const std::string& s) { return plat_utf8_from_native(s); }

// Reads the keywords of TABX_open_book.  0, or the failure (message written).
int parse_open_keywords(XLS_BOOK* book, const char* keywords, open_args& a) {
    tbx_private* p = tbx_priv(book);
    tbx_tokenizer tok(keywords, p->charset);
    std::string key, eq, value;
    for (;;) {
        int rc = tok.next(key);
        if (rc == 0) return 0;
        if (rc < 0) return tbx_fail(book, -3);
        rc = tok.next(eq);
        if (rc <= 0) return tbx_fail(book, -3);  // a keyword at the very end
        if (eq != "=") {
            tbx_message(book, TBX_MSG_EQUAL, tbx_to_utf8(p->charset, eq).c_str());
            return tbx_fail(book, -3);
        }
        rc = tok.next(value);
        if (rc <= 0) return tbx_fail(book, -3);  // no value after "="
        const std::string k = tbx_to_utf8(p->charset, key);
        const std::string v = tbx_to_utf8(p->charset, value);
        if (tbx_keyword_is(k, "EXCEL", "ブック") || tbx_keyword_is(k, "BOOK")) {
            std::string path = with_extension(plat_native_from_utf8(tbx_unquoted(v)));
            if (path.size() > BOOK_PATH_MAX) {
                tbx_message(book, TBX_MSG_NAME_TOO_LONG);
                return tbx_fail(book, -3);
            }
            a.path = path;
            a.has_path = true;
        } else if (tbx_keyword_is(k, "MODE", "モード")) {
            if (tbx_keyword_is(v, "READ", "読込", "読み込み")) a.mode = MODE_READ;
            else if (tbx_keyword_is(v, "CREATE", "新規")) a.mode = MODE_CREATE;
            else if (tbx_keyword_is(v, "UPDATE", "更新")) a.mode = MODE_UPDATE;
            else if (tbx_keyword_is(v, "LOAD", "ロード")) a.mode = MODE_LOAD;
            else if (tbx_keyword_is(v, "UNLOAD", "アンロード")) a.mode = MODE_UNLOAD;
            else if (tbx_keyword_is(v, "LIST", "一覧")) a.mode = MODE_LIST;
            else {
                tbx_message(book, TBX_MSG_KEYWORD, v.c_str());
                return tbx_fail(book, -3);
            }
        } else if (tbx_keyword_is(k, "CHARSET", "キャラクタセット")) {
            std::string cs = tbx_unquoted(v);
            if (tbx_keyword_is(cs, "SJIS")) p->charset = ORB_SJIS;
            else if (tbx_keyword_is(cs, "EUC")) p->charset = ORB_EUC;
            else if (tbx_keyword_is(cs, "UTF8")) p->charset = ORB_UTF8;
            tok.charset = p->charset;
        } else if (tbx_keyword_is(k, "VERSION")) {
            std::string ver = tbx_unquoted(v);
            if (ver != TABX_VERSION) {
                tbx_message(book, TBX_MSG_VERSION, ver.c_str());
                return tbx_fail(book, -1);
            }
        } else if (tbx_keyword_is(k, "XLS_BOOK")) {
            long size = std::strtol(tbx_unquoted(v).c_str(), nullptr, 10);
            if (size != static_cast<long>(sizeof(XLS_BOOK))) {
                char sizes[96];
                std::snprintf(sizes, sizeof sizes, "CALL側:%ldbyte DLL側:%dbyte", size,
                              static_cast<int>(sizeof(XLS_BOOK)));
                tbx_message(book, TBX_MSG_BOOK_SIZE, sizes);
                return tbx_fail(book, -1);
            }
        } else if (tbx_keyword_is(k, "READ_MEMORY")) {
            a.read_memory = tbx_keyword_is(tbx_unquoted(v), "TRUE");
        } else if (tbx_keyword_is(k, "WRITE_MEMORY")) {
            a.write_memory = tbx_keyword_is(tbx_unquoted(v), "TRUE");
        } else if (tbx_keyword_is(k, "DISPLAY")) {
            // EXCEL (the default): cells as Excel shows them, through the
            // number-format engine; CLASSIC: the closed list of renderings.
            std::string d = tbx_unquoted(v);
            if (tbx_keyword_is(d, "EXCEL")) p->classic = false;
            else if (tbx_keyword_is(d, "CLASSIC")) p->classic = true;
            else {
                tbx_message(book, TBX_MSG_KEYWORD, d.c_str());
                return tbx_fail(book, -3);
            }
        } else if (tbx_keyword_is(k, "FORMULAS")) {
            // TRUE: the readers keep each formula cell's formula text too.
            p->keep_formulas = tbx_keyword_is(tbx_unquoted(v), "TRUE");
        } else if (tbx_keyword_is(k, "TEMP_WORKBOOK_PATH")) {
            a.temp_path = plat_native_from_utf8(tbx_unquoted(v));
            if (a.temp_path.size() >= TABX_PATH_LEN) {
                tbx_message(book, TBX_MSG_NAME_TOO_LONG);
                return tbx_fail(book, -3);
            }
        } else {
            tbx_message(book, TBX_MSG_KEYWORD, k.c_str());
            return tbx_fail(book, -3);
        }
    }
}

void copy_path(char* dst, const std::string& src) {
    std::snprintf(dst, TABX_PATH_LEN, "%s", src.c_str());
}

// The book path field: the path in the system's ANSI code page, as callers
// have always read it there (the library itself keeps the UTF-8 path); a
// path longer than the field is cut at a character's end.
void copy_book_path(XLS_BOOK* book, const std::string& utf8) {
    std::string ansi;
    plat_ansi_from_utf8(utf8, ansi);
    // The ANSI form differs only on Windows, where it is code page 932.
    int cs = ansi == utf8 ? ORB_UTF8 : ORB_SJIS;
    size_t n = 0;
    for (int i = 0; i < static_cast<int>(ansi.size());) {
        int at = i;
        orb_mb_len(cs, static_cast<unsigned char>(ansi[at]), &at);
        if (static_cast<size_t>(at) + 1 >= TABX_PATH_LEN || static_cast<size_t>(at) >= ansi.size()) break;
        i = at + 1;
        n = static_cast<size_t>(i);
    }
    std::memcpy(book->path, ansi.data(), n);
    book->path[n] = '\0';
}

// What TABX_close_book does without SAVE.
void release_book(XLS_BOOK* book) {
    tbx_message_before_release(book);
    tbx_free_private(book);
    mcloseall();
}

// Releases the book and fails with a message naming the path.
int fail_released(XLS_BOOK* book, const char* message, const std::string& path, int code) {
    release_book(book);
    tbx_message(book, message, utf8_of_native(path).c_str());
    return tbx_fail(book, code);
}

// The caller's cancel function stopped the reading (TABX_set_cancel).
int fail_cancelled(XLS_BOOK* book) {
    tbx_message(book, TBX_MSG_CANCELLED);
    return tbx_fail(book, -5);
}

int open_book(XLS_BOOK* book, const char* keywords) {
    // The record is the caller's and may hold anything: start from zero.
    std::memset(book, 0, sizeof *book);
    if (tbx_alloc_private(book) != 0) return tbx_fail_memory(book);

    open_args a;
    int rc = parse_open_keywords(book, keywords, a);
    if (rc != 0) return rc;  // the private block stays until close/free

    std::string given = a.has_path ? a.path : std::string("Book1.xlsx");
    std::string full = given;
    if (!a.read_memory && !is_full_path(given)) {
        std::string cwd;
        if (plat_get_cwd(cwd) == 0) {
            if (!cwd.empty() && !plat_is_separator(cwd.back())) cwd.push_back(plat_separator());
            full = cwd + given;
        }
    }
    if (full.size() > BOOK_PATH_MAX) {
        tbx_message(book, TBX_MSG_NAME_TOO_LONG);
        return tbx_fail(book, -3);
    }

    if (tbx_book_init(book, false) != 0) return tbx_fail_memory(book);

    if (a.mode == MODE_CREATE) {
        copy_book_path(book, full);
        return 0;
    }
    if (a.mode == MODE_LIST) {
        copy_book_path(book, full);
        rc = tbx_list_excel2007(book, full.c_str());
        if (rc == 0) return 0;
        if (rc == TBX_NO_READER) return fail_released(book, TBX_MSG_UNSUPPORTED, full, -4);
        release_book(book);
        if (rc == -2) return tbx_fail_memory(book);
        char detail[64];
        std::snprintf(detail, sizeof detail, "tbx_list_excel2007() rc=%d", rc);
        tbx_message(book, TBX_MSG_INTERNAL, detail);
        return tbx_fail(book, -1);
    }

    int kind = -1;
    rc = orb_file_type(a.read_memory ? ORB_SOURCE_MEMORY : ORB_SOURCE_DISK, full.c_str(), &kind);
    if (rc != 0) {
        fail_released(book, TBX_MSG_OPEN, full, rc == -101 || rc == -102 ? rc : -101);
        return -101;
    }

    const bool load = a.mode == MODE_LOAD, unload = a.mode == MODE_UNLOAD;
    if (kind == ORB_KIND_XLS) {
        if (tbx_book_init(book, true) != 0) {
            release_book(book);
            return tbx_fail_memory(book);
        }
        copy_path(book->temp_path, a.temp_path);
        if (load || unload) book->style_keep = 0;
        if (unload) book->raw_display = 0;
        rc = tbx_read_excel2003(book, full.c_str());
        if (rc == 0) {
            copy_book_path(book, full);
            return 0;
        }
        if (rc == TBX_NO_READER) return fail_released(book, TBX_MSG_UNSUPPORTED, full, -4);
        release_book(book);
        if (rc == -2) return tbx_fail_memory(book);
        if (rc == ORB_CANCELLED) return fail_cancelled(book);
        if (rc == -4 || rc == 1002) return tbx_fail(book, -910);
        if (rc == -9) return tbx_fail(book, -1);
        tbx_message(book, TBX_MSG_READ_2003);
        return tbx_fail(book, -1);
    }
    if (kind == ORB_KIND_XLSX || kind == ORB_KIND_XLSM) {
        if (kind == ORB_KIND_XLSM) book->macro = 0;
        book->legacy_save = 0;
        if (load || unload) book->style_keep = 0;
        if (unload) book->raw_display = 0;
        if (a.read_memory) book->read_memory = 0;  // the reader reads a memory file
        copy_book_path(book, full);
        if (kind == ORB_KIND_XLSM && !ends_with_nocase(full, ".xlsm")) {
            size_t len = std::strlen(book->path);
            size_t at = len >= 5 ? len - 5 : 0;
            std::snprintf(book->path + at, TABX_PATH_LEN - at, "%s", ".xlsm");
        }
        rc = tbx_read_excel2007(book, full.c_str());
        if (rc == 0) {
            if (a.read_memory) mremove(full.c_str());
            if (a.write_memory) book->write_memory = 0;
            return 0;
        }
        if (rc == -101 || rc == -102) return fail_released(book, TBX_MSG_OPEN, full, -101);
        if (rc == -4 || rc == TBX_NO_READER) return fail_released(book, TBX_MSG_UNSUPPORTED, full, -4);
        release_book(book);
        if (rc == -2) return tbx_fail_memory(book);
        if (rc == ORB_CANCELLED) return fail_cancelled(book);
        char detail[64];
        std::snprintf(detail, sizeof detail, "tbx_read_excel2007() rc=%d", rc);
        tbx_message(book, TBX_MSG_INTERNAL, detail);
        return tbx_fail(book, -1);
    }
    return fail_released(book, TBX_MSG_UNSUPPORTED, full, -4);
}

}  // namespace

extern "C" int TABX_open_book(XLS_BOOK* book, const char* keywords) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_open_book()", [&] { return open_book(book, keywords); });
}

extern "C" int TABX_set_cancel(TABX_CANCEL_FN cancelled, void* ctx) {
    orb_set_cancel(cancelled, ctx);
    return 0;
}

extern "C" int TABX_close_book(XLS_BOOK* book, const char* keywords) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_close_book()", [&] {
        book->error_code = 0;
        tbx_private* p = tbx_priv(book);
        if (keywords && p) {
            bool save = false;
            tbx_tokenizer tok(keywords, p->charset);
            std::string t;
            while (tok.next(t) == 1) {
                std::string k = tbx_to_utf8(p->charset, t);
                if (tbx_keyword_is(k, "SAVE", "保存")) save = true;
                else if (tbx_keyword_is(k, "DESTROY", "破棄")) save = false;
            }
            if (save) {
                // This build carries no writer engine: the book stays open.
                tbx_message(book, TBX_MSG_INTERNAL, "tbx_create_excel2007()");
                return tbx_fail(book, -1);
            }
        }
        release_book(book);
        return 0;
    });
}

extern "C" int TABX_free_book(XLS_BOOK* book) {
    if (!book) return -3;
    book->error_code = 0;
    tbx_free_private(book);
    return 0;
}

extern "C" int TABX_error_code(XLS_BOOK* book) { return book ? book->error_code : -3; }

extern "C" const char* TABX_error_mesg(XLS_BOOK* book) {
    if (!book) return "";
    return tbx_returned_message(book);
}

extern "C" int TABX_version(XLS_BOOK* book, char* version) {
    if (book) book->error_code = 0;
    if (version) std::strcpy(version, TABX_VERSION);
    return 0;
}

extern "C" int TABX_help(void) {
    std::printf("%s: Release %s\n", "TABX", TABX_VERSION);
    std::printf(
        "TABX_open_book keywords:\n"
        "  EXCEL|BOOK=path  MODE=READ|UPDATE|LOAD|UNLOAD|LIST|CREATE\n"
        "  DISPLAY=EXCEL|CLASSIC  FORMULAS=TRUE\n"
        "  CHARSET=SJIS|EUC|UTF8  VERSION=%s  XLS_BOOK=size\n"
        "  READ_MEMORY=TRUE  WRITE_MEMORY=TRUE  TEMP_WORKBOOK_PATH=path\n"
        "TABX_open_sheet keywords:\n"
        "  SHEET_NAME=name  MODE=READ|UPDATE|CREATE|TEMPLATE\n"
        "TABX_close_book keywords:\n"
        "  SAVE | DESTROY\n",
        TABX_VERSION);
    std::fflush(stdout);
    return 0;
}

extern "C" int TABX_swap_book(int direction) {
    try {
        return mcopy(direction) == 0 ? 0 : -1;
    } catch (...) {
        return -1;
    }
}

extern "C" int TABX_debug(const char* text) {
    std::printf("%s\n", text ? text : "");
    std::fflush(stdout);
    return 0;
}
