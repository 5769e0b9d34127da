#include "document_text.h"

#include "orb_file.h"
#include "platform.h"

std::string make_run_folder(const std::string& base, vergle_ui& ui) {
    std::string folder;
    if (plat_make_run_dir(base.c_str(), folder) == 0) return folder;
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
    std::string temp;
    if (!plat_getenv("TEMP", temp) || temp.empty()) temp = plat_default_temp_folder();
    std::string run = make_run_folder(temp, ui);
    if (run.empty()) return 2;
    char folder[ORB_PATH_MAX];
    int rc = 2;
    if (orb_join_path(folder, sizeof folder, run.c_str(), "text") != 0) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", run), true);
    } else {
        std::vector<text_section> sections;
        if (dump_document(dumps, ui, s, charset, run.c_str(), path, folder) != 0) {
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
