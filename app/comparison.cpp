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

std::string output_folder(const char* base, const char* path, const char* suffix) {
    char stem[RUN_PATH_MAX];
    name_stem(path, stem);
    std::string name = std::string(stem) + suffix;
    char out[RUN_PATH_MAX];
    if (orb_join_path(out, sizeof out, base, name.c_str()) != 0) return "";
    return out;
}

int launch_folder_compare(const run_settings& s, vergle_ui& ui, const std::string& folder1,
                          const std::string& folder2) {
    if (plat_run_and_wait(s.diff_program, folder1.c_str(), folder2.c_str(), nullptr) != 0) {
        ui.show_error(ui_text("フォルダ比較プログラム起動エラー"), true);
        return -1;
    }
    return 0;
}

int dump_document(const dump_table& dumps, vergle_ui& ui, const run_settings& s, int out_charset, const char* base,
                  const char* path, const char* folder) {
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
    dump_request req{path, folder, s.textbox, s.allpage, base, &ui};
    req.out_charset = out_charset;
    return fn(req) == 0 ? 0 : -1;
}

namespace {

// Refuses what the fixed buffers cannot hold and a stem that names no
// folder, before anything is written.  0, or -1 after the message.
int check_file(vergle_ui& ui, const char* base, const char* path, const char* suffix) {
    if (std::strlen(path) >= RUN_PATH_MAX) {
        ui.show_error(ui_format("ファイルのパスが長すぎます。(%s)", path), true);
        return -1;
    }
    char stem[RUN_PATH_MAX];
    name_stem(path, stem);
    if (!stem[0] || !std::strcmp(stem, ".") || !std::strcmp(stem, "..")) {
        // "_1" and "_2" would make harmless names, but two such files are
        // still refused so that both names follow one rule.
        ui.show_error(ui_format("ファイル名から出力フォルダ名を作れません。(%s)", path), true);
        return -1;
    }
    if (output_folder(base, path, suffix).empty()) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", path), true);
        return -1;
    }
    return 0;
}

// The base folder of a run: a new folder of its own under the temporary
// folder, or the keep folder, created here.  0, or -1 after the message.
int make_base(run_settings& s, vergle_ui& ui, const run_options& opt, std::string& base) {
    if (opt.keep_dir) {
        if (std::strlen(opt.keep_dir) >= RUN_PATH_MAX) {
            ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", opt.keep_dir), true);
            return -1;
        }
        // Only a folder this run creates is written into.
        if (plat_make_dir(opt.keep_dir) != 0) {
            ui.show_error(ui_format("出力フォルダを作成できません(既にあるフォルダは使いません)。(%s)", opt.keep_dir),
                          true);
            return -1;
        }
        base = opt.keep_dir;
        return 0;
    }
    std::string temp;
    if (!plat_getenv("TEMP", temp)) temp = plat_default_temp_folder();
    if (temp.empty() || temp.size() >= sizeof s.temp_folder) {
        ui.show_error(ui_format("一時フォルダ(TEMP)のパスが長すぎるか空です。(%s)", temp), true);
        return -1;
    }
    std::memcpy(s.temp_folder, temp.c_str(), temp.size() + 1);
    if (plat_make_run_dir(s.temp_folder, base) != 0) {
        ui.show_error(ui_format("出力フォルダを作成できません。(%s)", temp), true);
        return -1;
    }
    return 0;
}

}  // namespace

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui,
                   const run_options& opt) {
    if (argc < 3 || !argv[1] || !argv[2]) return -1;
    const char* path1 = argv[1];
    const char* path2 = argv[2];

    char stem1[RUN_PATH_MAX], stem2[RUN_PATH_MAX];
    name_stem(path1, stem1);
    name_stem(path2, stem2);
    // Stems that would name one folder get "_1" and "_2" (on Windows also
    // stems that differ only in letter case).
    bool same = plat_same_file_name(stem1, stem2);
    const char* suffix1 = same ? "_1" : "";
    const char* suffix2 = same ? "_2" : "";

    std::string base;
    if (make_base(s, ui, opt, base) != 0) return -1;
    bool keep = opt.keep_dir != nullptr;
    int rc = -1;
    if (check_file(ui, base.c_str(), path1, suffix1) == 0 && check_file(ui, base.c_str(), path2, suffix2) == 0) {
        std::string f1 = output_folder(base.c_str(), path1, suffix1);
        std::string f2 = output_folder(base.c_str(), path2, suffix2);
        // Between the steps one pending window message is handled, so that
        // a cancel or close asked for during a dump that does not look at
        // messages still ends the run before the compare program starts.
        if (dump_document(dumps, ui, s, opt.out_charset, base.c_str(), path1, f1.c_str()) == 0 && ui.pump_one_message() &&
            dump_document(dumps, ui, s, opt.out_charset, base.c_str(), path2, f2.c_str()) == 0 && ui.pump_one_message()) {
            if (opt.compare) {
                rc = opt.compare(f1.c_str(), f2.c_str(), opt.compare_ctx);
                if (rc < 0) rc = 2;
            } else {
                rc = launch_folder_compare(s, ui, f1, f2);
            }
        }
    }
    // The run's folder goes, and with it everything the run wrote; a kept
    // folder stays only when the run succeeded.
    if ((!keep || rc < 0) && plat_remove_tree(base.c_str()) != 0) {
        ui.show_error(ui_format("出力フォルダを削除できません。(%s)", base), true);
        rc = -1;
    }
    return rc;
}

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui) {
    return run_comparison(argc, argv, s, dumps, ui, run_options());
}

int run_comparison(int argc, const char* const* argv, vergle_ui& ui) {
    return run_comparison(argc, argv, g_settings, g_dumps, ui);
}
