#include "macro_dump.h"

#include <cstring>
#include <memory>
#include <new>

#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"
#include "workbook_dump.h"

namespace {

const char* extension_of(int kind) {
    switch (kind) {
    case TABX_MACRO_STANDARD: return ".bas";
    case TABX_MACRO_FORM: return ".frm";
    default: return ".cls";
    }
}

// Writes text (LF line ends) as a new file with CR LF line ends.
bool write_file(const std::string& path, const std::string& text) {
    std::string crlf;
    crlf.reserve(text.size() + text.size() / 16);
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    plat_file* f = plat_open(path.c_str(), PLAT_CREATE);
    if (!f) return false;
    bool ok = plat_write(f, crlf.data(), crlf.size()) == crlf.size();
    if (plat_close(f) != 0) ok = false;
    return ok;
}

struct empty_book {
    XLS_BOOK* book = nullptr;
    ~empty_book() {
        if (book) TABX_close_book(book, "DESTROY");
        delete book;
    }
};

}  // namespace

std::string editor_text(const std::string& source) {
    std::string out;
    size_t pos = 0;
    while (pos < source.size()) {
        size_t end = source.find('\n', pos);
        if (end == std::string::npos) end = source.size();
        size_t len = end - pos;
        if (len > 0 && source[pos + len - 1] == '\r') --len;
        std::string line = source.substr(pos, len);
        if (line.compare(0, 10, "Attribute ") != 0) {
            out += line;
            out += '\n';
        }
        pos = end + 1;
    }
    return out;
}

int dump_macros(const dump_request& req, XLS_BOOK* book, name_set* used) {
    vergle_ui& ui = *req.ui;
    empty_book own;
    if (!book) {
        // Another document's project, through a book that touches no file.
        own.book = new (std::nothrow) XLS_BOOK();
        if (!own.book || TABX_open_book(own.book, "CHARSET=UTF8") != 0) {
            ui.show_error(ui_text("TABX-00002 メモリ不足です。処理を中断します。"), true);
            return -1;
        }
        book = own.book;
    }
    // The run's own copy of the document, read once.
    std::string path = req.path && own.book ? plat_utf8_from_native(dump_source(req)) : std::string();
    if (int rc = TABX_open_macros(book, path.empty() ? nullptr : path.c_str()); rc != 0) {
        // The rest of the comparison goes on; the library's own text only
        // with --debug.
        if (ui_debug()) {
            ui.show_error(ui_format("マクロを比較できません。%s", plat_native_from_utf8(TABX_error_mesg(book))), true);
        } else {
            ui.show_error(ui_with_reason(ui_format("マクロを比較できません。(%s)", req.path), ui_code_reason(rc)), true);
        }
        return 0;
    }
    if (TABX_macro_num(book) == 0) return 0;
    if (plat_make_dir(req.output_folder) < 0) {
        ui.show_error(ui_format("出力フォルダを作成できません。(%s)", req.output_folder), true);
        return -1;
    }
    name_set own_names;
    if (!used) used = &own_names;
    for (int i = 0; i < TABX_macro_num(book); ++i) {
        char name[1024] = {};
        int kind = 0;
        if (TABX_macro_name(book, i, name, sizeof name, &kind) != 0) continue;
        long long length = 0;
        std::string text;
        int rc = TABX_macro_text(book, i, nullptr, 0, &length);
        if (rc == -909) {
            std::string source(static_cast<size_t>(length) + 1, '\0');
            rc = TABX_macro_text(book, i, source.data(), static_cast<int>(source.size()), nullptr);
            source.resize(static_cast<size_t>(length));
            text = editor_text(source);
        }
        if (rc != 0) text = std::string(TABX_error_mesg(book)) + "\n";
        if (req.out_charset != ORB_UTF8) orb_convert_string(ORB_UTF8, ORB_SJIS, text);
        std::string file = distinct_file_name(sheet_file_name(std::string("マクロ_") + name + extension_of(kind)), *used);
        char p[ORB_PATH_MAX] = {0};
        if (orb_join_path(p, sizeof p, req.output_folder, file.c_str()) != 0) {
            ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", req.output_folder), true);
            return -1;
        }
        while (!write_file(p, text)) {
            if (!ui.ask_retry(ui_format("一時テキストファイル(%s)作成エラー。再度実行しますか？", std::string(p))))
                return -1;
        }
    }
    return 0;
}
