// vergle: the comparison from the command line.
//
//   vergle [options] FILE1 FILE2
//   vergle [options] --text FILE
//
// reads "Vergle.ini" beside the executable and writes the text of both
// documents into two folders under the temporary folder.  With no
// folder-compare program named, it shows their differences itself (a
// unified difference, one section per sheet, page or slide, in UTF-8);
// otherwise it starts the program on the folders and waits for it.  The
// folders are removed at the end.  --text writes one document's text to
// standard output instead.  Exit status as diff's: 0 the same, 1 different,
// 2 trouble.
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
#include "platform.h"
#include "settings.h"
#include "terminal_ui.h"

namespace {

const char* const VERSION = "3.0.0.0";

// Exit statuses.
enum { SAME = 0, DIFFERENT = 1, TROUBLE = 2 };

void usage(std::FILE* out) {
    std::fputs(
        "usage: vergle [options] FILE1 FILE2\n"
        "       vergle [options] --text FILE\n"
        "\n"
        "Compares two Excel workbooks (.xls, .xlsx, .xlsm), Word documents (.docx,\n"
        ".docm) or PowerPoint presentations (.pptx, .pptm) by the text a person sees\n"
        "in them.  With no folder-compare program named, the differences are shown\n"
        "here: a unified difference in UTF-8, one section per sheet, page or slide.\n"
        "\n"
        "options (override the settings file for this run):\n"
        "  --program PATH   start this folder-compare program on the two text folders\n"
        "  --no-program     show the differences here (the default)\n"
        "  --color[=WHEN]   colour the differences: auto (on a terminal, unless\n"
        "                   NO_COLOR is set; the default), always or never\n"
        "  --text           write the text of one document to standard output, each\n"
        "                   sheet, page or slide after a line \"=== NAME ===\"\n"
        "  --textbox        include shape and comment text\n"
        "  --no-textbox     leave shape and comment text out\n"
        "  --allpage        one text file per document\n"
        "  --no-allpage     one text file per sheet, page or slide\n"
        "  --save           write the program and switches into Vergle.ini\n"
        "  --encoding utf-8|cp932\n"
        "                   character set of the written text files (cp932; the\n"
        "                   built-in view and --text read UTF-8 unless --keep)\n"
        "  --keep DIR       write the two text folders into DIR (which must not\n"
        "                   exist yet) and keep them\n"
        "  --html FILE      also write the differences as one HTML page into FILE\n"
        "  --help           show this text\n"
        "  --version        show the version\n"
        "\n"
        "Each comparison writes into a folder of its own under TEMP (else TMPDIR,\n"
        "else /tmp), readable by you alone, and removes it at the end.\n"
        "\n"
        "exit status: 0 no differences, 1 differences, 2 or more trouble (a document\n"
        "refused or unreadable, a usage error, a program that cannot be started, a\n"
        "failed write); 0 after a folder-compare program ran, whatever it found;\n"
        "128 + the signal's number after an interrupt (the run's folder removed).\n",
        out);
}

struct cli_options {
    bool save = false;
    bool text = false;
    int colour = -1;                // -1 auto, 0 never, 1 always
    int out_charset = 0;            // of the written files: 1 code page 932, 3 UTF-8; 0 not given
    const char* keep_dir = nullptr; // --keep
    const char* html = nullptr;     // --html
    std::vector<const char*> files;
};

// What the built-in view needs while the run calls it.  With a program,
// the view only writes the report, then starts the program.
struct view_context {
    folder_diff_options opt;
    terminal_ui* ui;
    const run_settings* program = nullptr;
};

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
    if (!v.program || rc > 1) return rc;
    return launch_folder_compare(*v.program, *v.ui, folder1, folder2) == 0 ? 0 : TROUBLE;
}

bool use_colour(int setting) {
    if (setting >= 0) return setting == 1;
    std::string v;
    if (plat_getenv("NO_COLOR", v) && !v.empty()) return false;
    if (plat_getenv("TERM", v) && v == "dumb") return false;
    return plat_stream_is_terminal(1);
}

// 0 and the options, or the exit status of a usage error (or of --help).
int parse(int argc, char** argv, run_settings& s, cli_options& o, bool& done) {
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            usage(stdout);
            done = true;
            return 0;
        } else if (!std::strcmp(a, "--version")) {
            std::printf("%s\n", VERSION);
            done = true;
            return 0;
        } else if (!std::strcmp(a, "--program")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vergle: --program needs a path\n");
                return TROUBLE;
            }
            const char* p = argv[++i];
            if (!valid_program_path(p)) {
                std::fprintf(stderr,
                             "vergle: the program path is empty, longer than %d bytes or holds a line break or "
                             "control character\n",
                             static_cast<int>(sizeof s.diff_program) - 1);
                return TROUBLE;
            }
            std::strcpy(s.diff_program, p);
        } else if (!std::strcmp(a, "--no-program")) {
            s.diff_program[0] = 0;
        } else if (!std::strcmp(a, "--color") || !std::strcmp(a, "--color=always")) {
            o.colour = 1;
        } else if (!std::strcmp(a, "--color=never")) {
            o.colour = 0;
        } else if (!std::strcmp(a, "--color=auto")) {
            o.colour = -1;
        } else if (!std::strncmp(a, "--color=", 8)) {
            std::fprintf(stderr, "vergle: --color takes auto, always or never, not %s\n", a + 8);
            return TROUBLE;
        } else if (!std::strcmp(a, "--text")) {
            o.text = true;
        } else if (!std::strcmp(a, "--textbox")) {
            s.textbox = true;
        } else if (!std::strcmp(a, "--no-textbox")) {
            s.textbox = false;
        } else if (!std::strcmp(a, "--allpage")) {
            s.allpage = true;
        } else if (!std::strcmp(a, "--no-allpage")) {
            s.allpage = false;
        } else if (!std::strcmp(a, "--save")) {
            o.save = true;
        } else if (!std::strcmp(a, "--encoding")) {
            const char* e = i + 1 < argc ? argv[++i] : "";
            if (!std::strcmp(e, "utf-8") || !std::strcmp(e, "utf8")) {
                o.out_charset = 3;
            } else if (!std::strcmp(e, "cp932")) {
                o.out_charset = 1;
            } else {
                std::fprintf(stderr, "vergle: --encoding takes utf-8 or cp932\n");
                return TROUBLE;
            }
        } else if (!std::strcmp(a, "--keep")) {
            if (i + 1 >= argc || !*argv[i + 1]) {
                std::fprintf(stderr, "vergle: --keep needs a folder\n");
                return TROUBLE;
            }
            o.keep_dir = argv[++i];
        } else if (!std::strcmp(a, "--html")) {
            if (i + 1 >= argc || !*argv[i + 1]) {
                std::fprintf(stderr, "vergle: --html needs a file\n");
                return TROUBLE;
            }
            o.html = argv[++i];
        } else if (!std::strcmp(a, "--")) {
            for (++i; i < argc; ++i) o.files.push_back(argv[i]);
        } else if (a[0] == '-' && a[1] != 0) {
            std::fprintf(stderr, "vergle: unknown option %s\n", a);
            usage(stderr);
            return TROUBLE;
        } else {
            o.files.push_back(a);
        }
    }
    return 0;
}

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
    if (o.save && write_settings() != 0) {
        ui.show_error(settings_error_text(), true);
        return TROUBLE;
    }
    if (o.files.empty() && o.save && !o.text) return SAME;
    if (o.files.size() != (o.text ? 1u : 2u) || (o.text && o.html)) {
        usage(stderr);
        return TROUBLE;
    }

    dump_table linked, dumps;
    register_linked_dumps(linked);
    follow_dumps(linked, dumps);
    ui.interactive = plat_stdin_is_terminal();
    ui.progress = plat_stream_is_terminal(2);
    // A file-size limit then fails the write, which is reported, instead of
    // ending the process with the run's folder left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    // The built-in view and --text read the files back as UTF-8 text: written
    // in UTF-8 they lose no character that code page 932 lacks.  Files that
    // are kept or handed to a program are code page 932 unless asked.
    bool own_reader = o.text || !s.diff_program[0];
    int charset = o.out_charset ? o.out_charset : own_reader && !o.keep_dir ? 3 : 1;
    if (o.text) {
        rc = print_document_text(o.files[0], s, dumps, charset, ui, stdout);
        return terminal_interrupt() ? 128 + terminal_interrupt() : rc;
    }

    view_context v{{}, &ui};
    v.opt.name1 = o.files[0];
    v.opt.name2 = o.files[1];
    v.opt.charset = charset;
    v.opt.style.colour = use_colour(o.colour);
    run_options ro;
    ro.out_charset = charset;
    ro.keep_dir = o.keep_dir;
    if (o.html) v.opt.report = o.html;
    if (s.diff_program[0] && o.html) {
        v.opt.quiet = true;
        v.program = &s;
    }
    if (!s.diff_program[0] || o.html) {
        ro.compare = view;
        ro.compare_ctx = &v;
    }
    const char* args[3] = {"Vergle", o.files[0], o.files[1]};
    rc = run_comparison(3, args, s, dumps, ui, ro);
    // Interrupted: the run has removed its folder; the status says why it ended.
    if (terminal_interrupt()) return 128 + terminal_interrupt();
    return rc < 0 ? TROUBLE : rc;
}
