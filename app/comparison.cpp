#include "comparison.h"

#include <cstring>

#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"

dump_table g_dumps;

void name_stem(const char* path, char* out) {
    // Find the last separator and the last dot after it, skipping trail bytes.
    int cs = plat_path_charset();
    int len = static_cast<int>(std::strlen(path));
    int start = 0, dot = -1;
    for (int i = 0; i < len; ++i) {
        char c = path[i];
        if (plat_is_separator(c)) {
            start = i + 1;
            dot = -1;
        } else if (c == '.') {
            dot = i;
        } else {
            orb_mb_len(cs, static_cast<unsigned char>(c), &i);
        }
    }
    int end = dot >= 0 ? dot : len;
    int n = end - start;
    if (n > RUN_PATH_MAX - 1) n = RUN_PATH_MAX - 1;
    std::memcpy(out, path + start, n);
    out[n] = 0;
}

std::string output_folder(const run_settings& s, const char* path, const char* suffix) {
    char stem[RUN_PATH_MAX];
    name_stem(path, stem);
    std::string name = std::string(stem) + suffix;
    char out[RUN_PATH_MAX];
    if (orb_join_path(out, sizeof out, s.temp_folder, name.c_str()) != 0) return "";
    return out;
}

int launch_folder_compare(const run_settings& s, vergle_ui& ui, const char* path1, const char* suffix1,
                          const char* path2, const char* suffix2) {
    std::string f1 = output_folder(s, path1, suffix1);
    std::string f2 = output_folder(s, path2, suffix2);
    if (plat_run_and_wait(s.diff_program, f1.c_str(), f2.c_str(), nullptr) != 0) {
        ui.show_error(ui_text("フォルダ比較プログラム起動エラー"), true);
        return -1;
    }
    return 0;
}

int remove_output_folders(const run_settings& s, const char* path1, const char* suffix1, const char* path2,
                          const char* suffix2) {
    std::string f1 = output_folder(s, path1, suffix1);
    if (!f1.empty()) orb_remove_tree(f1.c_str());
    if (path2 && *path2) {
        std::string f2 = output_folder(s, path2, suffix2);
        if (!f2.empty()) orb_remove_tree(f2.c_str());
    }
    return 0;
}

namespace {

// Refuses what the fixed buffers cannot hold, and a stem that would make the
// output folder the temporary folder itself or its parent, before anything is
// written.  0, or -1 after the message.
int check_file(const run_settings& s, vergle_ui& ui, const char* path, const char* suffix) {
    if (std::strlen(path) >= RUN_PATH_MAX) {
        ui.show_error(ui_format("ファイルのパスが長すぎます。(%s)", path), true);
        return -1;
    }
    char stem[RUN_PATH_MAX];
    name_stem(path, stem);
    if ((!stem[0] || !std::strcmp(stem, ".") || !std::strcmp(stem, "..")) && !*suffix) {
        ui.show_error(ui_format("ファイル名から出力フォルダ名を作れません。(%s)", path), true);
        return -1;
    }
    if (!stem[0] || !std::strcmp(stem, ".") || !std::strcmp(stem, "..")) {
        // "_1" and "_2" would make harmless names, but two such files are
        // still refused so that both names follow one rule.
        ui.show_error(ui_format("ファイル名から出力フォルダ名を作れません。(%s)", path), true);
        return -1;
    }
    std::string folder = output_folder(s, path, suffix);
    if (folder.empty()) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", path), true);
        return -1;
    }
    plat_kind k = plat_path_kind(folder.c_str());
    if (k != PLAT_NONE && k != PLAT_DIR) {
        // A link or a file in the folder's place: writing through it would
        // put files outside the temporary folder.
        ui.show_error(ui_format("出力フォルダを作成できません。(%s)", folder), true);
        return -1;
    }
    return 0;
}

// Kind detection and the dump of one file.  0; -1 when the file was refused
// before its dump (after the message); -2 when the dump itself failed (it has
// shown its message).
int dump_one(const run_settings& s, const dump_table& dumps, vergle_ui& ui, const char* path, const char* suffix) {
    int kind = -1;
    if (orb_file_type(ORB_SOURCE_DISK, path, &kind) != 0) {
        ui.show_error(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", path), true);
        return -1;
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
        return -1;
    default: break;
    }
    if (!fn) {
        ui.show_error(ui_format("サポート対象外のファイルです(%s)。", path), true);
        return -1;
    }
    std::string folder = output_folder(s, path, suffix);
    dump_request req{path, folder.c_str(), s.textbox, s.allpage, s.temp_folder, &ui};
    if (fn(req) == 0) return 0;
    // What a failed dump wrote would stay beside the next run's files.
    orb_remove_tree(folder.c_str());
    return -2;
}

}  // namespace

namespace {

int run(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui,
        const run_options& opt, bool& launch_failed) {
    if (argc < 3 || !argv[1] || !argv[2]) return -1;
    const char* path1 = argv[1];
    const char* path2 = argv[2];

    std::string temp;
    if (!plat_getenv("TEMP", temp)) temp = plat_default_temp_folder();
    if (temp.empty() || temp.size() >= sizeof s.temp_folder) {
        ui.show_error(ui_format("一時フォルダ(TEMP)のパスが長すぎるか空です。(%s)", temp), true);
        return -1;
    }
    std::memcpy(s.temp_folder, temp.c_str(), temp.size() + 1);

    char stem1[RUN_PATH_MAX], stem2[RUN_PATH_MAX];
    name_stem(path1, stem1);
    name_stem(path2, stem2);
    bool same = std::strcmp(stem1, stem2) == 0;
    const char* suffix1 = same ? "_1" : "";
    const char* suffix2 = same ? "_2" : "";

    if (check_file(s, ui, path1, suffix1) != 0 || check_file(s, ui, path2, suffix2) != 0) return -1;

    if (dump_one(s, dumps, ui, path1, suffix1) != 0) return -1;
    int rc = dump_one(s, dumps, ui, path2, suffix2);
    if (rc == -2) remove_output_folders(s, path1, suffix1, "", "");
    // A second file refused before its dump leaves the first folder as it is.
    if (rc != 0) return -1;
    int result = 0;
    if (opt.compare) {
        std::string f1 = output_folder(s, path1, suffix1), f2 = output_folder(s, path2, suffix2);
        result = opt.compare(f1.c_str(), f2.c_str(), opt.compare_ctx);
    } else {
        launch_failed = launch_folder_compare(s, ui, path1, suffix1, path2, suffix2) != 0;
    }
    remove_output_folders(s, path1, suffix1, path2, suffix2);
    return result;
}

}  // namespace

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui) {
    bool launch_failed = false;
    return run(argc, argv, s, dumps, ui, run_options{}, launch_failed);
}

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui,
                   const run_options& opt) {
    bool launch_failed = false;
    int rc = run(argc, argv, s, dumps, ui, opt, launch_failed);
    return launch_failed ? -1 : rc;
}

int run_comparison(int argc, const char* const* argv, vergle_ui& ui) {
    return run_comparison(argc, argv, g_settings, g_dumps, ui);
}
