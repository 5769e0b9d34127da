// vergle: the comparison from the command line.
//
//   vergle [options] FILE1 FILE2
//   vergle [options] FOLDER1 FOLDER2
//   vergle [options] --text FILE
//   vergle PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE   (git)
//
// reads the settings file and writes the text of both documents into two
// folders under the temporary folder.  With no folder-compare program
// named, it shows their differences itself (a unified difference, one
// section per sheet, page or slide, in UTF-8); otherwise it starts the
// program on the folders and waits for it.  The folders are removed at the
// end.  Two folders are compared document by document (tree_view.h).
// --text writes one document's text to standard output instead.  Exit
// status as diff's: 0 the same, 1 different, 2 trouble.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "comparison.h"
#include "document_text.h"
#include "folder_diff.h"
#include "linked_dumps.h"
#include "orb_file.h"
#include "platform.h"
#include "settings.h"
#include "standard_input.h"
#include "terminal_ui.h"
#include "tree_view.h"

namespace {

const char* const VERSION = "3.0.0.0";

// Exit statuses.
enum { SAME = 0, DIFFERENT = 1, TROUBLE = 2 };

void usage(std::FILE* out) {
    std::fputs(
        "usage: vergle [options] FILE1 FILE2\n"
        "       vergle [options] FOLDER1 FOLDER2\n"
        "       vergle [options] --text FILE\n"
        "\n"
        "Compares two Excel workbooks (.xls, .xlsx, .xlsm), Word documents (.docx,\n"
        ".docm) or PowerPoint presentations (.pptx, .pptm) by the text a person sees\n"
        "in them.  With no folder-compare program named, the differences are shown\n"
        "here: a unified difference in UTF-8, one section per sheet, page or slide.\n"
        "A FILE of \"-\" is standard input; /dev/null is a document without text.\n"
        "Two folders are compared as diff -r compares them: every document under\n"
        "each (by its extension; other files are left out), paired by its path,\n"
        "a document moved or renamed found by its text; -q lists those that differ.\n"
        "\n"
        "options (override the settings file for this run):\n"
        "  --program PATH   start this folder-compare program on the two text folders\n"
        "  --no-program     show the differences here (the default)\n"
        "  --color[=WHEN]   colour the differences: auto (on a terminal, unless\n"
        "                   NO_COLOR is set or TERM is dumb; the default), always\n"
        "                   or never\n"
        "  -u               a unified difference (what is shown anyway)\n"
        "  -U N, --unified=N\n"
        "                   N lines of context around each change (3)\n"
        "  -q, --brief      say only whether the documents differ\n"
        "  --label LABEL    name the first document so in the headers (given\n"
        "                   twice: the second document too)\n"
        "  --text           write the text of one document to standard output, each\n"
        "                   sheet, page or slide after a line \"=== NAME ===\"\n"
        "  --textconv       --text for git's textconv: a document that cannot be\n"
        "                   read gives one line \"=== REASON ===\" and exit 0\n"
        "  --textbox        include shape and comment text\n"
        "  --no-textbox     leave shape and comment text out\n"
        "  --allpage        one text file per document\n"
        "  --no-allpage     one text file per sheet, page or slide\n"
        "  --formulas       show each formula beside its cell's value\n"
        "                   (\"=SUM(B2:B9) → 465,800\"; --no-formulas: values only)\n"
        "  --macros         include each macro module's code as a section of its\n"
        "                   own (\"マクロ_Module1.bas\"; --no-macros: leave it out)\n"
        "  --save           write the program and switches into Vergle.ini (beside\n"
        "                   the executable, else in ~/.config/vergle)\n"
        "  --encoding utf-8|cp932\n"
        "                   character set of the written text files (cp932; the\n"
        "                   built-in view and --text read UTF-8 unless --keep)\n"
        "  --keep DIR       write the two text folders into DIR (which must not\n"
        "                   exist yet) and keep them\n"
        "  --html FILE      also write the differences as one HTML page into FILE\n"
        "  --debug          show the library's codes in messages\n"
        "  --help           show this text\n"
        "  --version        show the version\n"
        "\n"
        "git calls vergle as an external diff (GIT_EXTERNAL_DIFF=vergle) with seven\n"
        "arguments: the differences are shown, exit 0.\n"
        "\n"
        "Each comparison writes into a folder of its own under TEMP (else TMPDIR,\n"
        "else /tmp), readable by you alone, and removes it at the end.  Messages\n"
        "are in Japanese where LC_ALL, LC_MESSAGES or LANG names a Japanese locale,\n"
        "in English otherwise.\n"
        "\n"
        "exit status: 0 no differences, 1 differences, 2 or more trouble (a document\n"
        "refused or unreadable, a usage error, a program that cannot be started, a\n"
        "failed write); 0 after a folder-compare program ran, whatever it found;\n"
        "128 + the signal's number after an interrupt (the run's folder removed).\n",
        out);
}

// A usage error: one line naming what is wrong.
int usage_error(const std::string& text) {
    std::fprintf(stderr, "vergle: %s %s\n", text.c_str(), ui_text("(使い方は vergle --help)").c_str());
    return TROUBLE;
}

struct cli_options {
    bool save = false;
    bool text = false;
    bool textconv = false;
    bool quiet = false;
    int colour = -1;                // -1 auto, 0 never, 1 always
    int context = -1;               // -U; -1: the view's own
    int out_charset = 0;            // of the written files: 1 code page 932, 3 UTF-8; 0 not given
    const char* keep_dir = nullptr; // --keep
    bool program_given = false;     // --program on the command line
    std::vector<std::string> labels;
    const char* html = nullptr;     // --html
    std::vector<const char*> files;
};

// What the built-in view needs while the run calls it.  With a program,
// the view only writes the report, then starts the program.
struct view_context {
    folder_diff_options opt;
    terminal_ui* ui;
    bool with_program = false;  // the settings' program shows the differences
};

// -q: the line diff writes for documents that differ.
void say_differ(const folder_diff_options& opt) {
    std::printf("%s\n", ui_format("ファイル %s と %s は異なります", opt.name1, opt.name2).c_str());
}

int view(const char* folder1, const char* folder2, void* ctx) {
    view_context& v = *static_cast<view_context*>(ctx);
    std::vector<text_section> s1, s2;
    for (const char* f : {folder1, folder2}) {
        // A document without any text may leave no folder.
        if (plat_path_kind(f) != PLAT_NONE && !folder_sections(f, v.ui->sheets_of(f), f == folder1 ? s1 : s2)) {
            v.ui->show_error(ui_format("テキストファイルを読めません。(%s)", f), true);
            return TROUBLE;
        }
    }
    int rc = diff_folders(folder1, s1, folder2, s2, v.opt, *v.ui, stdout);
    // With a program, the view wrote the report alone: the program shows
    // the differences.
    if (rc == DIFFERENT && v.opt.quiet && !v.with_program) say_differ(v.opt);
    return rc;
}

// Two folders: the tree's view.
int tree_view(const tree_run& run, void* ctx) {
    view_context& v = *static_cast<view_context*>(ctx);
    return diff_trees(run, v.opt, *v.ui, stdout, !v.with_program);
}

bool term_is_dumb() {
    std::string v;
    return plat_getenv("TERM", v) && v == "dumb";
}

bool use_colour(int setting) {
    if (setting >= 0) return setting == 1;
    std::string v;
    if (plat_getenv("NO_COLOR", v) && !v.empty()) return false;
    if (term_is_dumb()) return false;
    return plat_stream_is_terminal(1);
}

// A number of context lines: digits only.
bool parse_count(const char* s, int& out) {
    if (!*s) return false;
    long n = 0;
    for (const char* p = s; *p; ++p) {
        if (*p < '0' || *p > '9' || n > 100000000) return false;
        n = n * 10 + (*p - '0');
    }
    out = static_cast<int>(n);
    return true;
}

// 0 and the options, or the exit status of a usage error (or of --help).
int parse(int argc, char** argv, run_settings& s, cli_options& o, bool& done) {
    // The value of an option given as "--name VALUE" or "--name=VALUE".
    auto value = [&](int& i, const char* name, const char*& out) {
        const char* a = argv[i];
        size_t n = std::strlen(name);
        if (!std::strncmp(a, name, n) && a[n] == '=') {
            out = a + n + 1;
            return true;
        }
        if (std::strcmp(a, name) != 0) return false;
        out = i + 1 < argc ? argv[++i] : nullptr;
        return true;
    };
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        const char* v = nullptr;
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            usage(stdout);
            done = true;
            return 0;
        } else if (!std::strcmp(a, "--version")) {
            std::printf("%s\n", VERSION);
            done = true;
            return 0;
        } else if (value(i, "--program", v)) {
            if (!v) return usage_error(ui_format("%s には値が必要です。", std::string("--program")));
            if (!valid_program_path(v))
                return usage_error(ui_format("プログラムのパスが空か、%dバイト以上か、改行や制御文字を含んでいます。",
                                             static_cast<long long>(sizeof s.diff_program)));
            std::strcpy(s.diff_program, v);
            o.program_given = true;
        } else if (!std::strcmp(a, "--no-program")) {
            s.diff_program[0] = 0;
            o.program_given = false;
        } else if (!std::strcmp(a, "--color") || !std::strcmp(a, "--color=always")) {
            o.colour = 1;
        } else if (!std::strcmp(a, "--color=never")) {
            o.colour = 0;
        } else if (!std::strcmp(a, "--color=auto")) {
            o.colour = -1;
        } else if (!std::strncmp(a, "--color=", 8)) {
            return usage_error(ui_format("--color には auto、always、never のどれかを指定してください(%s ではなく)。",
                                         std::string(a + 8)));
        } else if (!std::strcmp(a, "-u")) {
            // The view is a unified difference anyway.
        } else if (!std::strcmp(a, "--unified")) {
            // Three lines of context, as without it.
        } else if (!std::strncmp(a, "-U", 2) || !std::strncmp(a, "--unified=", 10)) {
            v = a[1] == '-' ? a + 10 : a[2] ? a + 2 : i + 1 < argc ? argv[++i] : nullptr;
            if (!v || !parse_count(v, o.context))
                return usage_error(ui_format("-U には行数を指定してください(%s ではなく)。", std::string(v ? v : "")));
        } else if (!std::strcmp(a, "-q") || !std::strcmp(a, "--brief")) {
            o.quiet = true;
        } else if (value(i, "--label", v)) {
            if (!v) return usage_error(ui_format("%s には値が必要です。", std::string("--label")));
            if (o.labels.size() == 2) return usage_error(ui_text("--label は2回までです。"));
            o.labels.push_back(v);
        } else if (!std::strcmp(a, "--text")) {
            o.text = true;
        } else if (!std::strcmp(a, "--textconv")) {
            o.text = o.textconv = true;
        } else if (!std::strcmp(a, "--textbox")) {
            s.textbox = true;
        } else if (!std::strcmp(a, "--no-textbox")) {
            s.textbox = false;
        } else if (!std::strcmp(a, "--allpage")) {
            s.allpage = true;
        } else if (!std::strcmp(a, "--no-allpage")) {
            s.allpage = false;
        } else if (!std::strcmp(a, "--formulas") || !std::strcmp(a, "--no-formulas")) {
            s.formulas = a[2] == 'f';
        } else if (!std::strcmp(a, "--macros") || !std::strcmp(a, "--no-macros")) {
            s.macros = a[2] == 'm';
        } else if (!std::strcmp(a, "--save")) {
            o.save = true;
        } else if (!std::strcmp(a, "--debug")) {
            ui_set_debug(true);
        } else if (value(i, "--encoding", v)) {
            if (v && (!std::strcmp(v, "utf-8") || !std::strcmp(v, "utf8"))) {
                o.out_charset = 3;
            } else if (v && !std::strcmp(v, "cp932")) {
                o.out_charset = 1;
            } else {
                return usage_error(ui_text("--encoding には utf-8 か cp932 を指定してください。"));
            }
        } else if (value(i, "--keep", v)) {
            if (!v || !*v) return usage_error(ui_format("%s には値が必要です。", std::string("--keep")));
            o.keep_dir = v;
        } else if (value(i, "--html", v)) {
            if (!v || !*v) return usage_error(ui_format("%s には値が必要です。", std::string("--html")));
            o.html = v;
        } else if (!std::strcmp(a, "--")) {
            for (++i; i < argc; ++i) o.files.push_back(argv[i]);
        } else if (a[0] == '-' && a[1] != 0) {
            return usage_error(ui_format("不明なオプションです: %s", std::string(a)));
        } else {
            o.files.push_back(a);
        }
    }
    return 0;
}

// git's call of an external diff: PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE
// NEW-HEX NEW-MODE, and after a rename NEW-PATH and a description.  A file
// that does not exist on one side is /dev/null with "." for its hex and
// mode.
bool git_call(const std::vector<const char*>& f) {
    if (f.size() != 7 && f.size() != 9) return false;
    auto all = [](const char* s, const char* set, size_t n1, size_t n2) {
        size_t n = std::strlen(s);
        if (!std::strcmp(s, ".")) return true;
        if (n != n1 && n != n2) return false;
        return std::strspn(s, set) == n;
    };
    auto hex = [&](const char* s) { return all(s, "0123456789abcdef", 40, 64); };
    auto mode = [&](const char* s) { return all(s, "01234567", 6, 6); };
    return hex(f[2]) && mode(f[3]) && hex(f[5]) && mode(f[6]);
}

bool is_null_device(const char* path) { return !std::strcmp(path, "/dev/null"); }

// A comparison the command line makes itself, one document at a time: with
// /dev/null on one side (a document without text), and for git, where a
// document that cannot be read is one line after the headers, not a
// failure.
int compare_here(const char* path1, const char* path2, const run_settings& s, const dump_table& dumps, int charset,
                 view_context& v, bool git) {
    terminal_ui& ui = *v.ui;
    std::string run = make_run_folder(temp_base(), ui);
    if (run.empty()) return TROUBLE;
    document_text doc[2];
    const char* paths[2] = {path1, path2};
    bool refused = false;
    ui.hold_errors = git;
    for (int i = 0; i < 2 && !terminal_interrupt(); ++i) {
        if (is_null_device(paths[i])) continue;
        if (load_document(paths[i], run, i == 0 ? "1" : "2", s, dumps, charset, ui, doc[i]) != 0) {
            refused = true;
            if (!git) break;
        }
    }
    ui.hold_errors = false;
    int rc = TROUBLE;
    if (terminal_interrupt()) {
        // The status says why it ended.
    } else if (refused && git) {
        std::string text = "--- " + v.opt.name1 + "\n+++ " + v.opt.name2 + "\n";
        for (int i = 0; i < 2; ++i) {
            if (!doc[i].refusal.empty()) text += "=== " + (i ? v.opt.name2 : v.opt.name1) + ": " + doc[i].refusal + " ===\n";
        }
        rc = std::fwrite(text.data(), 1, text.size(), stdout) == text.size() && std::fflush(stdout) == 0 ? SAME : TROUBLE;
    } else if (!refused) {
        rc = diff_folders(doc[0].folder, doc[0].sections, doc[1].folder, doc[1].sections, v.opt, ui, stdout);
        if (rc == DIFFERENT && v.opt.quiet) say_differ(v.opt);
    }
    if (plat_remove_tree(run.c_str()) != 0) {
        ui.show_error(ui_format("出力フォルダを削除できません。(%s)", run), true);
        rc = TROUBLE;
    }
    return rc;
}

// Removes the folder of standard input's copy when the program ends.
struct stdin_folder {
    std::string path;
    ~stdin_folder() {
        if (!path.empty()) plat_remove_tree(path.c_str());
    }
};

}  // namespace

int main(int argc, char** argv) {
#ifdef SIGPIPE
    // A reader that stops early (a pager, head) must not end the run before
    // it removes its folders: a failed write ends it instead.
    std::signal(SIGPIPE, SIG_IGN);
#endif
    terminal_catch_interrupts();
    read_settings();
    run_settings& s = g_settings;
    // "diff" was the program of earlier versions when none was chosen; it
    // shows code page 932 bytes as they are, so the built-in view takes its
    // place.  Name its full path to have it started all the same.
    if (!std::strcmp(s.diff_program, "diff")) s.diff_program[0] = 0;

    cli_options o;
    bool done = false;
    int rc = parse(argc, argv, s, o, done);
    if (rc != 0 || done) return rc;
    terminal_ui ui;
    if (o.save) {
        if (write_settings() != 0) {
            ui.show_error(settings_error_text(), true);
            return TROUBLE;
        }
        // Not beside the executable, where the settings file has always
        // been: say where.
        std::string where = settings_target();
        if (where != settings_path())
            std::fprintf(stderr, "Vergle: %s\n", ui_format("設定を保存しました。(%s)", where).c_str());
    }
    if (o.files.empty() && o.save && !o.text) return SAME;

    bool git = !o.text && git_call(o.files);
    std::vector<const char*> files = o.files;
    if (git) {
        // git shows what the external diff writes: the view here, whatever
        // program the settings name.
        o.labels = {std::string("a/") + files[0], std::string("b/") + files[files.size() == 9 ? 7 : 0]};
        files = {o.files[1], o.files[4]};
        s.diff_program[0] = 0;
    }
    if (o.text && files.size() != 1) {
        return usage_error(ui_format("--text と --textconv にはファイルを1つ指定してください(指定されたのは%d個)。",
                                     static_cast<long long>(files.size())));
    }
    if (!o.text && files.size() != 2) {
        return usage_error(ui_format("比較するファイルを2つ指定してください(指定されたのは%d個)。",
                                     static_cast<long long>(files.size())));
    }
    // The view's options ask for the view, over a program of the settings.
    bool view_options = o.quiet || o.context >= 0 || !o.labels.empty();
    if (!o.text && view_options && o.program_given) {
        return usage_error(ui_text("-q、-U、--label は組み込みの差分表示のためのもので、--program とは使えません。"));
    }
    if (view_options) s.diff_program[0] = 0;
    if (files.size() == 2 && !std::strcmp(files[0], "-") && !std::strcmp(files[1], "-")) {
        return usage_error(ui_text("標準入力(-)は一度しか読めません。"));
    }
    if (o.text && o.html) return usage_error(ui_text("--html は --text と一緒には使えません。"));

    dump_table linked, dumps;
    register_linked_dumps(linked);
    follow_dumps(linked, dumps);
    ui.interactive = plat_stdin_is_terminal();
    // No progress line (nor the sequences that take it back) where the
    // terminal cannot take a line back.
    ui.progress = plat_stream_is_terminal(2) && !term_is_dumb();
    // A file-size limit then fails the write, which is reported, instead of
    // ending the process with the run's folder left behind.
    std::signal(SIGXFSZ, SIG_IGN);

    // Standard input is copied first, into a folder of this run's own, and
    // read from there as any document.
    stdin_folder input;
    std::string copy;
    std::vector<std::string> names;
    for (const char*& f : files) {
        names.push_back(f);
        if (std::strcmp(f, "-") != 0) continue;
        input.path = make_run_folder(temp_base(), ui);
        if (input.path.empty()) return TROUBLE;
        copy = copy_standard_input(input.path, ui);
        if (terminal_interrupt()) return 128 + terminal_interrupt();
        if (copy.empty()) return TROUBLE;
        f = copy.c_str();
        ui.aliases.push_back({copy, "-"});
    }

    // The built-in view and --text read the files back as UTF-8 text: written
    // in UTF-8 they lose no character that code page 932 lacks.  Files that
    // are kept or handed to a program are code page 932 unless asked.
    bool own_reader = o.text || !s.diff_program[0];
    int charset = o.out_charset ? o.out_charset : own_reader && !o.keep_dir ? 3 : 1;
    if (o.text) {
        rc = print_document_text(files[0], s, dumps, charset, ui, stdout, o.textconv);
        return terminal_interrupt() ? 128 + terminal_interrupt() : rc;
    }

    view_context v{{}, &ui};
    v.opt.name1 = o.labels.size() > 0 ? o.labels[0] : names[0];
    v.opt.name2 = o.labels.size() > 1 ? o.labels[1] : names[1];
    v.opt.charset = charset;
    v.opt.style.colour = use_colour(o.colour);
    if (o.context >= 0) v.opt.style.context = o.context;
    v.opt.quiet = o.quiet;
    // Two folders (or a folder and a file, which the run refuses) go to the
    // run as they are.
    const bool folders = plat_check_readable(files[0]) == PLAT_CHECK_FOLDER ||
                         plat_check_readable(files[1]) == PLAT_CHECK_FOLDER;
    if (git || (!folders && (is_null_device(files[0]) || is_null_device(files[1])))) {
        rc = compare_here(files[0], files[1], s, dumps, charset, v, git);
        if (terminal_interrupt()) return 128 + terminal_interrupt();
        // git stops at an external diff's non-zero status.
        return git && rc == DIFFERENT ? SAME : rc;
    }
    run_options ro;
    ro.out_charset = charset;
    ro.keep_dir = o.keep_dir;
    if (o.html) v.opt.report = o.html;
    if (s.diff_program[0] && o.html) {
        v.opt.quiet = true;
        v.with_program = true;
        ro.then_program = true;
    }
    if (!s.diff_program[0] || o.html) {
        ro.compare = view;
        ro.tree_compare = tree_view;
        ro.compare_ctx = &v;
    }
    const char* args[3] = {"Vergle", files[0], files[1]};
    rc = run_comparison(3, args, s, dumps, ui, ro);
    // Interrupted: the run has removed its folder; the status says why it ended.
    if (terminal_interrupt()) return 128 + terminal_interrupt();
    return rc < 0 ? TROUBLE : rc;
}
