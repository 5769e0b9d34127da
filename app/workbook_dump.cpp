#include "workbook_dump.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "cfb.h"
#include "macro_dump.h"
#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"
#include "tabx.h"

namespace {

// Columns of a sheet (A to XFD).
constexpr size_t SHEET_COLUMNS = 16384;

const char* const SHAPE_HEADER = "★★★以下オートシェイプ・コメント文字列---------------------------------------------->";

// An output text file: every line feed written as CR LF, in large pieces.
// The file is always a new one, never an existing file or a link.
class text_file {
public:
    ~text_file() { close(); }
    bool open(const std::string& path) {
        close();
        ok_ = true;
        f_ = plat_open(path.c_str(), PLAT_CREATE);
        return f_ != nullptr;
    }
    // Appends a text of the library (UTF-8), converted to code page 932 when
    // cp932 is set, in one pass: ASCII as it is, each run of other bytes
    // converted as orb_convert_string converts it (a text that cannot be
    // converted stays as it is).  Gives the number of line feeds and tabs
    // in the text.
    int put_text(const char* text, size_t n, bool cp932) {
        char* const first = room(2 * n);  // no byte becomes more than two
        char* o = first;
        int runs = 0;
        const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
        for (size_t i = 0; i < n;) {
            unsigned char c = s[i];
            if (c < 0x80) {
                if (c == '\n') {
                    *o++ = '\r';
                    ++runs;
                } else if (c == '\t') {
                    ++runs;
                }
                *o++ = static_cast<char>(c);
                ++i;
                continue;
            }
            size_t j = i + 1;
            while (j < n && s[j] >= 0x80) ++j;
            size_t written = 0;
            if (!cp932) {
                std::memcpy(o, text + i, j - i);
                written = j - i;
            } else if (!plat_utf8_to_cp932(text + i, j - i, o, &written)) {
                len_ = static_cast<size_t>(first - buf_.get());
                return put_text(text, n, false);
            }
            o += written;
            i = j;
        }
        len_ = static_cast<size_t>(o - buf_.get());
        if (len_ >= FLUSH_AT) flush();
        return runs;
    }
    // Bytes already in the output's character set.
    void put(const char* text, size_t n) { put_text(text, n, false); }
    void put(const std::string& s) { put(s.data(), s.size()); }
    void put_byte(char c) {
        *room(1) = c;
        ++len_;
    }
    bool close() {
        if (!f_) return true;
        bool ok = flush();
        if (plat_close(f_) != 0) ok = false;
        f_ = nullptr;
        return ok && ok_;
    }

private:
    enum : size_t { FLUSH_AT = 256 * 1024 };
    // Room for n more bytes at the end of the buffer.
    char* room(size_t n) {
        if (cap_ - len_ < n) {
            if (len_ > 0) flush();
            if (cap_ < n) {
                size_t want = std::max<size_t>(n, 2 * FLUSH_AT);
                buf_.reset(new char[want]);
                cap_ = want;
            }
        }
        return buf_.get() + len_;
    }
    bool flush() {
        if (f_ && len_ > 0 && plat_write(f_, buf_.get(), len_) != len_) ok_ = false;
        len_ = 0;
        return ok_;
    }
    plat_file* f_ = nullptr;
    std::unique_ptr<char[]> buf_;
    size_t len_ = 0, cap_ = 0;
    bool ok_ = true;
};

bool valid_utf8(const std::string& s) {
    std::u16string w;
    plat_utf8_to_utf16(s.data(), s.size(), w);
    std::string back;
    plat_utf16_to_utf8(w.data(), w.size(), back);
    return back == s;
}

// A text of the library (UTF-8) in the character set of the output files.
std::string to_output(const std::string& utf8, int charset) {
    std::string s = utf8;
    if (charset != ORB_UTF8) orb_convert_string(ORB_UTF8, ORB_SJIS, s);
    return s;
}

// Opens path, asking the user again while it fails.  False when the user
// gives up.
bool open_with_retry(text_file& f, const std::string& path, vergle_ui& ui) {
    while (!f.open(path)) {
        if (!ui.ask_retry(ui_format("一時テキストファイル(%s)作成エラー。再度実行しますか？", path))) return false;
    }
    return true;
}

// The shape and comment section: the header line and the texts of the
// drawing objects (of one sheet, or of all when sheet is -1).
void write_shapes(text_file& f, const XLS_BOOK& book, int sheet, int charset) {
    f.put(to_output(SHAPE_HEADER, charset));
    f.put("\n", 1);
    for (int i = 0; i < book.drawing_count; ++i) {
        const XLS_DRAWING& d = book.drawings[i];
        if (d.kind != 1 || !d.data || (sheet >= 0 && d.sheet != sheet)) continue;
        const XLS_OBJECT_TEXT* t = static_cast<const XLS_OBJECT_TEXT*>(d.data);
        if (t->tag != 302 || !t->text) continue;
        f.put(to_output(t->text, charset));
        f.put("\n", 1);
    }
}

// The formula of a cell as its field begins it: "=SUM(B2:B9) → ", an
// array formula with its range "{=A1:A3*2} C1:C3 → ", or the library's
// message about a formula it cannot give.  False for a cell without formula.
bool with_formula(XLS_BOOK& book, const char* cell, std::vector<char>& text, std::string& out) {
    char range[64];
    int rc = TABX_get_formula(&book, cell, text.data(), static_cast<int>(text.size()), range, sizeof range);
    if (rc != 0) {
        out = TABX_error_mesg(&book);
    } else if (text[0]) {
        out = text.data();
        if (range[0]) out += std::string(" ") + range;
    } else {
        return false;
    }
    out += " → ";
    return true;
}

// The library's reading asks the run whether to stop (TABX_set_cancel),
// for as long as the object lives.
struct cancel_scope {
    explicit cancel_scope(vergle_ui* ui) { TABX_set_cancel(ui ? ask : nullptr, ui); }
    ~cancel_scope() { TABX_set_cancel(nullptr, nullptr); }
    static int ask(void* ui) { return static_cast<vergle_ui*>(ui)->interrupted() ? 1 : 0; }
};

struct book_guard {
    XLS_BOOK* book;
    bool open = true;
    ~book_guard() {
        if (open) TABX_close_book(book, "DESTROY");
    }
};

}  // namespace

// No sheet's text replaces another's.
std::string distinct_file_name(const std::string& name, name_set& used) {
    std::string candidate = name;
    if (used.taken(candidate)) {
        int& n = used.next(name);
        do {
            candidate = name + "(" + std::to_string(n++) + ")";
        } while (used.taken(candidate));
    }
    used.add(candidate);
    return candidate;
}

bool name_set::taken(const std::string& name) const {
    auto it = used_.find(key(name));
    if (it == used_.end()) return false;
    for (const std::string& u : it->second)
        if (plat_same_file_name(u, name)) return true;
    return false;
}

void name_set::add(const std::string& name) { used_[key(name)].push_back(name); }

int& name_set::next(const std::string& base) { return next_.try_emplace(key(base), 2).first->second; }

std::string name_set::key(const std::string& native) {
    std::u16string wide;
    std::string utf8 = plat_utf8_from_native(native), k;
    plat_utf8_to_utf16(utf8.data(), utf8.size(), wide);
    for (char16_t c : wide) {
        if (c < 0x80) {
            char a = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
            k += a == 'i' || a == 's' ? '\x01' : a;
        } else if ((c >= 0x3000 && c <= 0x9FFF) || (c >= 0xAC00 && c <= 0xD7AF) || (c >= 0xFF61 && c <= 0xFF9F)) {
            k += static_cast<char>(0x80 | (c >> 12));
            k += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
            k += static_cast<char>(0x80 | (c & 0x3F));
        } else {
            k += '\x01';
        }
    }
    return k;
}

std::string sheet_file_name(const std::string& sheet_name_utf8) {
    // Valid UTF-8 first (a broken sequence becomes U+FFFD), so that the
    // name is the same one on a system that takes it through UTF-16.
    std::u16string wide;
    std::string name;
    plat_utf8_to_utf16(sheet_name_utf8.data(), sheet_name_utf8.size(), wide);
    plat_utf16_to_utf8(wide.data(), wide.size(), name);
    // Blanks become "_", and so does every character no file name may hold
    // on Windows (separators, ":", wildcards, quotes, pipes, control
    // characters), on every system alike so both builds write the same
    // names.  Bytes of multi-byte characters are all 0x80 or above.
    for (char& ch : name) {
        unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || std::strchr(" /\\:*?\"<>|", c)) ch = '_';
    }
    // Windows drops trailing dots and blanks from a file name, so "a." would
    // be the file "a"; "." and ".." name folders.
    if (name.empty() || name.back() == '.') name += "_";
    // Names the system keeps for devices, with or without an extension.
    std::string base = name.substr(0, name.find('.'));
    for (char& c : base) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    static const char* const devices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    bool device = false;
    for (const char* d : devices) device = device || base == d;
    if (base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) && base[3] >= '0' &&
        base[3] <= '9') {
        device = true;
    }
    if (device) name = "_" + name;
    return name;
}

int dump_workbook_text(const dump_request& req) {
    vergle_ui& ui = *req.ui;
    const char* source = dump_source(req);
    int kind = -1;
    if (plat_check_readable(source) != PLAT_CHECK_OK || orb_file_type(ORB_SOURCE_DISK, source, &kind) != 0) {
        ui.show_error(ui_with_reason(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", req.path),
                                     ui_file_reason(req.path)),
                      true);
        return -1;
    }

    // A 97-2003 workbook: its workbook stream is copied out of the compound
    // document into a temporary image that the library reads.
    std::string image;
    bool book_stream = false;
    if (kind == ORB_KIND_XLS) {
        char tmp[ORB_PATH_MAX];
        if (orb_join_path(tmp, sizeof tmp, req.temp_folder, "Vergle2003.tmp") != 0 ||
            extract_workbook_stream(source, tmp, &book_stream) != 0) {
            ui.show_error(ui_format("2003WorkBook一時ファイル作成エラー。(%s)", req.path), true);
            return -1;
        }
        image = tmp;
    }

    // Texts cross the library in UTF-8, so that paths keep their bytes on
    // every system; cell texts are converted to code page 932 here.
    std::unique_ptr<XLS_BOOK> book(new (std::nothrow) XLS_BOOK());
    if (!book) {
        if (!image.empty()) plat_remove_file(image.c_str());
        ui.show_error(ui_text("TABX-00002 メモリ不足です。処理を中断します。"), true);
        return -1;
    }
    std::string args = "CHARSET=UTF8 EXCEL=\"" + plat_utf8_from_native(source) +
                       "\" MODE=UNLOAD TEMP_WORKBOOK_PATH=\"" + plat_utf8_from_native(image) + "\"";
    if (req.formulas) args += " FORMULAS=TRUE";
    int rc;
    {
        cancel_scope cancel(&ui);
        rc = TABX_open_book(book.get(), args.c_str());
    }
    if (rc != 0) {
        std::string mesg = plat_native_from_utf8(TABX_error_mesg(book.get()));
        TABX_free_book(book.get());
        if (!image.empty()) plat_remove_file(image.c_str());
        if (rc == -910) {
            ui.show_error(ui_format("読み取りパスワードが設定されているファイルはサポート対象外です。(%s)", req.path),
                          true);
        } else if (rc == -4) {
            ui.show_error(ui_format("Excelブックではありません。%s", req.path), true);
        } else if (rc == -5 && ui.interrupted()) {
            // Interrupted: the run says so itself.
        } else {
            // The library's code and coded message only with --debug; else
            // why the file could not be read.  The library only saw the
            // run's copy of the document: its message names the document.
            bool named = false;
            for (size_t at = 0; !std::string(source).empty() && (at = mesg.find(source, at)) != std::string::npos;
                 at += std::strlen(req.path)) {
                mesg.replace(at, std::strlen(source), req.path);
                named = true;
            }
            if (!named) mesg += ui_format("(%s)", req.path);
            std::string text = ui_format("ERROR:TABX_open_book() rc=%d %s", static_cast<long long>(rc));
            size_t at = text.find("%s");
            if (at != std::string::npos) text.replace(at, 2, mesg);
            ui.show_error(ui_open_failure(req.path, rc, text), true);
        }
        return -1;
    }
    book_guard guard{book.get()};
    // An old "Book" stream: sheet names as stored, for this workbook only.
    if (book_stream) book->format = 8;

    if (plat_make_dir(req.output_folder) < 0) {
        ui.show_error(ui_format("出力フォルダを作成できません。(%s)", req.output_folder), true);
        return -1;
    }
    text_file out;
    char all_path[ORB_PATH_MAX] = {0};
    if (req.allpage) {
        if (orb_join_path(all_path, sizeof all_path, req.output_folder, plat_native_from_utf8("全シート").c_str()) != 0 ||
            !open_with_retry(out, all_path, ui)) {
            return -1;
        }
    }
    name_set used_names;

    // The longest cell (32,767 characters) in UTF-8, and its terminator.
    // The type text is not asked for: a formula longer than its buffer
    // would fail the cell.
    std::unique_ptr<char[]> text(new (std::nothrow) char[TABX_CELL_TEXT_BUF]);
    if (!text) return -1;
    const bool convert = req.out_charset != ORB_UTF8;
    std::string formula, text_with_formula;
    std::vector<char> formula_buf(req.formulas ? TABX_CELL_TEXT_BUF : 0);
    for (int sheet = 0; sheet < TABX_sheet_num(book.get()); ++sheet) {
        char name_buf[256] = {0};
        TABX_sheet_name(book.get(), sheet, name_buf);
        std::string name = name_buf;
        if (!valid_utf8(name)) orb_convert_string(ORB_SJIS, ORB_UTF8, name);  // stored unconverted

        if (!ui.pump_one_message()) return -1;
        ui.sheet_begun(sheet, TABX_sheet_num(book.get()), name);

        char p[ORB_PATH_MAX] = {0};
        if (!req.allpage) {
            std::string file = distinct_file_name(sheet_file_name(name), used_names);
            if (orb_join_path(p, sizeof p, req.output_folder, file.c_str()) != 0) {
                ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", req.output_folder), true);
                return -1;
            }
            if (!open_with_retry(out, p, ui)) return -1;
        }
        if (TABX_open_sheet2(book.get(), sheet) != 0) {
            std::fputs("TABX_open_sheet2() ERROR\n", stdout);
            return -1;
        }
        std::vector<sheet_break> breaks;
        // Each cell's displayed text, converted and written in one pass.
        auto put_cell = [&](int row, int col) {
            const char* t = nullptr;
            int len = 0;
            if (TABX_cell_text(book.get(), row, col - 1, text.get(), TABX_CELL_TEXT_BUF, &t, &len) != 0) {
                std::printf("TABX_get_cell() ERROR |%s|\n", TABX_error_mesg(book.get()));
                return false;
            }
            std::string_view v(t, static_cast<size_t>(len));
            if (req.formulas) {
                char cell[32];
                TABX_cell_name(row + 1, col, cell);
                if (with_formula(*book, cell, formula_buf, formula)) {
                    text_with_formula.assign(formula);
                    text_with_formula.append(v);
                    v = text_with_formula;
                }
            }
            if (int n = out.put_text(v.data(), v.size(), convert)) breaks.push_back({row, col - 1, n});
            out.put_byte('\t');
            return true;
        };
        const std::string tabs(SHEET_COLUMNS, '\t');
        const int rows = TABX_row_num(book.get());
        for (int row = 0; row < rows; ++row) {
            // A long sheet is no reason to let an interrupt wait.
            if ((row & 0xFFF) == 0xFFF && ui.interrupted()) return -1;
            const int columns = TABX_column_num(book.get(), row);
            const XLS_ROW& r = book->sheets[sheet].rows[row];
            if (r.columns) {
                // A sparse row: its cells, and one tab for each empty cell
                // between them, as the cell-by-cell walk writes them.
                int next = 0;
                for (int i = 0; i < r.count && r.columns[i] < columns; ++i) {
                    out.put(tabs.data(), static_cast<size_t>(r.columns[i] - next));
                    if (!put_cell(row, r.columns[i] + 1)) return -1;
                    next = r.columns[i] + 1;
                }
                out.put(tabs.data(), static_cast<size_t>(columns - next));
            } else {
                for (int col = 1; col <= columns; ++col)
                    if (!put_cell(row, col)) return -1;
            }
            out.put("\n", 1);
        }
        if (!req.allpage) ui.sheet_written(rows, breaks);
        if (req.textbox && !req.allpage) write_shapes(out, *book, sheet, req.out_charset);
        if (!req.allpage && !out.close()) {
            ui.show_error(ui_format("一時テキストファイル(%s)作成エラー。", std::string(p)), true);
            return -1;
        }
    }
    if (req.macros && dump_macros(req, book.get(), &used_names) != 0) return -1;
    if (req.allpage) {
        if (req.textbox) write_shapes(out, *book, -1, req.out_charset);
        if (!out.close()) {
            ui.show_error(ui_format("一時テキストファイル(%s)作成エラー。", std::string(all_path)), true);
            return -1;
        }
    }
    guard.open = false;
    TABX_close_book(book.get(), "DESTROY");
    return 0;
}
