// vergle: the comparison from the command line.
//
//   vergle [options] FILE1 FILE2
//
// reads "Vergle.ini" beside the executable, writes the text of both documents
// into two folders under the temporary folder, starts the folder-compare
// program on them, waits for it and removes the folders.  Exit status 0 when
// the comparison ran without differences (or the program ran), 1 when there
// are differences, 2 for a usage error or a failure.
#include <csignal>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "comparison.h"
#include "linked_dumps.h"
#include "platform.h"
#include "settings.h"
#include "terminal_ui.h"

namespace {

const char* const VERSION = "3.0.0.0";

void usage(std::FILE* out) {
    std::fputs(
        "usage: vergle [options] FILE1 FILE2\n"
        "\n"
        "Compares two Excel workbooks (.xls, .xlsx, .xlsm), Word documents (.docx,\n"
        ".docm) or PowerPoint presentations (.pptx, .pptm) by their text with a\n"
        "folder-compare program.\n"
        "\n"
        "options (override the settings file for this run):\n"
        "  --program PATH   the folder-compare program\n"
        "  --textbox        include shape and comment text\n"
        "  --no-textbox     leave shape and comment text out\n"
        "  --allpage        one text file per document\n"
        "  --no-allpage     one text file per sheet, page or slide\n"
        "  --save           write these settings into Vergle.ini\n"
        "  --encoding utf-8|cp932\n"
        "                   character set of the written text files (cp932)\n"
        "  --keep DIR       write the two text folders into DIR (which must not\n"
        "                   exist yet) and keep them\n"
        "  --help           show this text\n"
        "  --version        show the version\n"
        "\n"
        "Each comparison writes into a folder of its own under TEMP (else TMPDIR,\n"
        "else /tmp), readable by you alone, and removes it at the end.\n"
        "\n"
        "exit status: 0 no differences (or the folder-compare program ran),\n"
        "1 differences, 2 usage errors and failures.\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    read_settings();
    run_settings& s = g_settings;
    bool save = false;
    run_options opt;
    std::vector<const char*> files;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (!std::strcmp(a, "--help") || !std::strcmp(a, "-h")) {
            usage(stdout);
            return 0;
        } else if (!std::strcmp(a, "--version")) {
            std::printf("%s\n", VERSION);
            return 0;
        } else if (!std::strcmp(a, "--program")) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "vergle: --program needs a path\n");
                return 2;
            }
            const char* p = argv[++i];
            if (!valid_program_path(p)) {
                std::fprintf(stderr,
                             "vergle: the program path is empty, longer than %d bytes or holds a line break or "
                             "control character\n",
                             static_cast<int>(sizeof s.diff_program) - 1);
                return 2;
            }
            std::strcpy(s.diff_program, p);
        } else if (!std::strcmp(a, "--textbox")) {
            s.textbox = true;
        } else if (!std::strcmp(a, "--no-textbox")) {
            s.textbox = false;
        } else if (!std::strcmp(a, "--allpage")) {
            s.allpage = true;
        } else if (!std::strcmp(a, "--no-allpage")) {
            s.allpage = false;
        } else if (!std::strcmp(a, "--save")) {
            save = true;
        } else if (!std::strcmp(a, "--encoding")) {
            const char* e = i + 1 < argc ? argv[++i] : "";
            if (!std::strcmp(e, "utf-8") || !std::strcmp(e, "utf8")) {
                opt.out_charset = 3;
            } else if (!std::strcmp(e, "cp932")) {
                opt.out_charset = 1;
            } else {
                std::fprintf(stderr, "vergle: --encoding takes utf-8 or cp932\n");
                return 2;
            }
        } else if (!std::strcmp(a, "--keep")) {
            if (i + 1 >= argc || !*argv[i + 1]) {
                std::fprintf(stderr, "vergle: --keep needs a folder\n");
                return 2;
            }
            opt.keep_dir = argv[++i];
        } else if (!std::strcmp(a, "--")) {
            for (++i; i < argc; ++i) files.push_back(argv[i]);
        } else if (a[0] == '-' && a[1] != 0) {
            std::fprintf(stderr, "vergle: unknown option %s\n", a);
            usage(stderr);
            return 2;
        } else {
            files.push_back(a);
        }
    }
    terminal_ui ui;
    if (save && write_settings() != 0) {
        ui.show_error(settings_error_text(), true);
        return 2;
    }
    if (files.empty() && save) return 0;
    if (files.size() != 2) {
        usage(stderr);
        return 2;
    }
    register_linked_dumps(g_dumps);
    ui.interactive = plat_stdin_is_terminal();
    // A file-size limit then fails the write, which is reported, instead of
    // ending the process with the run's folder left behind.
    std::signal(SIGXFSZ, SIG_IGN);
    const char* args[3] = {"Vergle", files[0], files[1]};
    int rc = run_comparison(3, args, g_settings, g_dumps, ui, opt);
    return rc < 0 ? 2 : rc;
}
