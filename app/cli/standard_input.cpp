#include "standard_input.h"

#include <algorithm>
#include <cstring>

#include "orb_file.h"
#include "platform.h"
#include "terminal_ui.h"

namespace {

bool has(std::string_view a, std::string_view b, std::string_view what) {
    return a.find(what) != std::string_view::npos || b.find(what) != std::string_view::npos;
}

// A directory entry's name as a compound document stores it (UTF-16LE).
std::string utf16(const char* ascii) {
    std::string s;
    for (const char* p = ascii; *p; ++p) s += *p, s += '\0';
    return s;
}

}  // namespace

std::string extension_from_content(std::string_view head, std::string_view tail) {
    if (head.substr(0, 4) == std::string_view("PK\x03\x04", 4)) {
        struct {
            const char *part, *macros, *plain, *with_macros;
        } families[] = {
            {"xl/workbook.xml", "xl/vbaProject.bin", ".xlsx", ".xlsm"},
            {"word/document.xml", "word/vbaProject.bin", ".docx", ".docm"},
            {"ppt/presentation.xml", "ppt/vbaProject.bin", ".pptx", ".pptm"},
        };
        for (const auto& f : families) {
            if (has(head, tail, f.part)) return has(head, tail, f.macros) ? f.with_macros : f.plain;
        }
        if (has(head, tail, "xl/workbook.bin")) return ".xlsb";
        // A package whose parts lie elsewhere (its relationships say where).
        for (const auto& f : families) {
            if (has(head, tail, std::strchr(f.part, '/') + 1)) return f.plain;
        }
        return "";
    }
    if (head.substr(0, 8) == std::string_view("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8)) {
        if (has(head, tail, utf16("EncryptedPackage"))) return ".xlsx";
        // Stream names are compared without regard to case.
        for (const char* name : {"Workbook", "WORKBOOK", "Book", "BOOK"}) {
            if (has(head, tail, utf16(name))) return ".xls";
        }
        if (has(head, tail, utf16("WordDocument"))) return ".doc";
        if (has(head, tail, utf16("PowerPoint Document"))) return ".ppt";
    }
    return "";
}

std::string copy_standard_input(const std::string& dir, vergle_ui& ui) {
    char part[ORB_PATH_MAX];
    if (orb_join_path(part, sizeof part, dir.c_str(), "stdin.part") != 0) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", dir), true);
        return "";
    }
    plat_file* f = plat_open(part, PLAT_CREATE);
    if (!f) {
        ui.show_error(ui_format("一時テキストファイル(%s)作成エラー。", std::string(part)), true);
        return "";
    }
    // The first 64 KiB and the last 1 MiB are kept for the kind.
    const size_t head_max = 64 << 10, tail_max = 1 << 20;
    std::string head, tail;
    char buf[1 << 16];
    bool ok = true;
    for (;;) {
        long long n = plat_read_stdin(buf, sizeof buf, 200);
        if (n == -2) {
            if (terminal_interrupt()) {
                ok = false;
                break;
            }
            continue;
        }
        if (n == 0) break;
        if (n < 0) {
            ui.show_error(ui_with_reason(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", std::string("-")),
                                         ui_code_reason(-101)),
                          true);
            ok = false;
            break;
        }
        size_t got = static_cast<size_t>(n);
        if (head.size() < head_max) head.append(buf, std::min(got, head_max - head.size()));
        tail.append(buf, got);
        if (tail.size() > 2 * tail_max) tail.erase(0, tail.size() - tail_max);
        if (plat_write(f, buf, got) != got) {
            ui.show_error(ui_format("一時テキストファイル(%s)作成エラー。", std::string(part)), true);
            ok = false;
            break;
        }
    }
    if (plat_close(f) != 0 && ok) {
        ui.show_error(ui_format("一時テキストファイル(%s)作成エラー。", std::string(part)), true);
        ok = false;
    }
    char named[ORB_PATH_MAX];
    std::string name = "stdin" + extension_from_content(head, tail);
    if (!ok || orb_join_path(named, sizeof named, dir.c_str(), name.c_str()) != 0 ||
        plat_rename(part, named) != 0) {
        plat_remove_file(part);
        return "";
    }
    return named;
}
