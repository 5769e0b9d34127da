#include "document_text.h"

#include <random>

#include "orb_file.h"
#include "platform.h"

std::string make_run_folder(const std::string& base, vergle_ui& ui) {
    std::random_device rd;
    std::mt19937_64 gen((static_cast<uint64_t>(rd()) << 32) ^ rd());
    char p[ORB_PATH_MAX];
    for (int attempt = 0; attempt < 100; ++attempt) {
        char name[32];
        std::snprintf(name, sizeof name, "vergle-%012llx",
                      static_cast<unsigned long long>(gen() & 0xFFFFFFFFFFFFULL));
        if (orb_join_path(p, sizeof p, base.c_str(), name) != 0) break;
        if (plat_make_private_dir(p) == 0) return p;
        // Only a name already taken is worth another try.
        if (plat_path_kind(p) == PLAT_NONE) break;
    }
    ui.show_error(ui_format("一時フォルダを作成できません。(%s)", base), true);
    return "";
}

namespace {

// Each section after its header line.  0, or 2 after a file that cannot be
// read (shown on ui) or a write that fails.
int write_sections(const std::string& folder, const std::vector<text_section>& sections, int charset, vergle_ui& ui,
                   std::FILE* out) {
    for (const text_section& sec : sections) {
        std::string text, p = folder + plat_separator() + sec.file;
        if (!read_written_text(p, charset, text)) {
            ui.show_error(ui_format("テキストファイルを読めません。(%s)", p), true);
            return 2;
        }
        if (!text.empty() && text.back() != '\n') text += '\n';
        std::string head = "=== " + sec.title + " ===\n";
        if (std::fwrite(head.data(), 1, head.size(), out) != head.size() ||
            std::fwrite(text.data(), 1, text.size(), out) != text.size()) {
            return 2;
        }
    }
    return std::fflush(out) == 0 ? 0 : 2;
}

}  // namespace

int print_document_text(const char* path, const run_settings& s, const dump_table& dumps, int charset,
                        terminal_ui& ui, std::FILE* out) {
    int kind = -1;
    if (orb_file_type(ORB_SOURCE_DISK, path, &kind) != 0) {
        ui.show_error(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", path), true);
        return 2;
    }
    dump_fn fn = nullptr;
    switch (kind) {
    case ORB_KIND_XLS:
    case ORB_KIND_XLSX:
    case ORB_KIND_XLSM: fn = dumps.workbook; break;
    case ORB_KIND_DOCX:
    case ORB_KIND_DOCM: fn = dumps.word; break;
    case ORB_KIND_PPTX:
    case ORB_KIND_PPTM: fn = dumps.powerpoint; break;
    case ORB_KIND_XLSX_LOCKED:
    case ORB_KIND_DOCX_LOCKED:
    case ORB_KIND_PPTX_LOCKED:
        ui.show_error(ui_format("読み取りパスワードが設定されているファイルはサポート対象外です。(%s)", path), true);
        return 2;
    default: break;
    }
    if (!fn) {
        ui.show_error(ui_format("サポート対象外のファイルです(%s)。", path), true);
        return 2;
    }

    std::string temp;
    if (!plat_getenv("TEMP", temp) || temp.empty()) temp = plat_default_temp_folder();
    std::string run = make_run_folder(temp, ui);
    if (run.empty()) return 2;
    char folder[ORB_PATH_MAX];
    int rc = 2;
    if (orb_join_path(folder, sizeof folder, run.c_str(), "text") != 0) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", run), true);
    } else {
        dump_request req{path, folder, s.textbox, s.allpage, run.c_str(), &ui};
        std::vector<text_section> sections;
        if (fn(req) != 0) {
            // The dump has shown its message.
        } else if (plat_path_kind(folder) != PLAT_NONE && !folder_sections(folder, ui.sheets_of(folder), sections)) {
            ui.show_error(ui_format("テキストファイルを読めません。(%s)", std::string(folder)), true);
        } else {
            rc = write_sections(folder, sections, charset, ui, out);
        }
    }
    orb_remove_tree(run.c_str());
    return rc;
}
