#include "document_text.h"

#include "orb_file.h"
#include "platform.h"

std::string make_run_folder(const std::string& base, vergle_ui& ui) {
    std::string folder;
    if (plat_make_run_dir(base.c_str(), folder) == 0) return folder;
    ui.show_error(ui_format("一時フォルダを作成できません。(%s)", base), true);
    return "";
}

std::string temp_base() {
    std::string temp;
    if (!plat_getenv("TEMP", temp) || temp.empty()) temp = plat_default_temp_folder();
    return temp;
}

int load_document(const char* path, const std::string& run, const char* name, const run_settings& s,
                  const dump_table& dumps, int charset, terminal_ui& ui, document_text& out) {
    char folder[ORB_PATH_MAX];
    out = document_text();
    if (orb_join_path(folder, sizeof folder, run.c_str(), name) != 0) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", run), true);
        out.refusal = ui_with_reason(ui_text("読めないため比較できません"), ui_code_reason(-9));
        return 2;
    }
    out.folder = folder;
    size_t shown = ui.held.size();
    if (dump_document(dumps, ui, s, charset, run.c_str(), path, folder) != 0) {
        out.refusal = refusal_line(path, ui.held.size() > shown ? ui.held[shown] : std::string());
        return 2;
    }
    // A document without any text may leave no folder.
    if (plat_path_kind(folder) != PLAT_NONE && !folder_sections(folder, ui.sheets_of(folder), out.sections)) {
        ui.show_error(ui_format("テキストファイルを読めません。(%s)", std::string(folder)), true);
        out.refusal = ui_with_reason(ui_text("読めないため比較できません"), ui_code_reason(-1));
        return 2;
    }
    return 0;
}

int write_document_text(const document_text& doc, int charset, vergle_ui& ui, std::FILE* out) {
    std::string text, lines;
    for (const text_section& sec : doc.sections) {
        std::string p = doc.folder + plat_separator() + sec.file;
        if (!read_written_text(p, charset, text)) {
            ui.show_error(ui_format("テキストファイルを読めません。(%s)", p), true);
            return 2;
        }
        // Each row without the tab after its last cell, which a version
        // control system would show as trailing white space on every row.
        lines = "=== " + sec.title + " ===\n";
        size_t start = 0;
        while (start < text.size()) {
            size_t lf = text.find('\n', start);
            if (lf == std::string::npos) lf = text.size();
            size_t end = lf > start && text[lf - 1] == '\t' ? lf - 1 : lf;
            lines.append(text, start, end - start);
            lines += '\n';
            start = lf + 1;
        }
        if (std::fwrite(lines.data(), 1, lines.size(), out) != lines.size()) return 2;
    }
    return std::fflush(out) == 0 ? 0 : 2;
}

int print_document_text(const char* path, const run_settings& s, const dump_table& dumps, int charset,
                        terminal_ui& ui, std::FILE* out, bool textconv) {
    std::string run = make_run_folder(temp_base(), ui);
    if (run.empty()) return 2;
    document_text doc;
    bool held = ui.hold_errors;
    ui.hold_errors = held || textconv;
    int rc = load_document(path, run, "text", s, dumps, charset, ui, doc);
    ui.hold_errors = held;
    if (rc == 0) {
        rc = write_document_text(doc, charset, ui, out);
    } else if (textconv) {
        std::string line = "=== " + doc.refusal + " ===\n";
        rc = std::fwrite(line.data(), 1, line.size(), out) == line.size() && std::fflush(out) == 0 ? 0 : 2;
    }
    orb_remove_tree(run.c_str());
    return rc;
}
