// vergle: the comparison from the command line.
//
//   vergle [options] FILE1 FILE2
//
// reads "Vergle.ini" beside the executable, writes the text of both documents
// into two folders under the temporary folder, starts the folder-compare
// program on them, waits for it and removes the folders.  Exit status 0 when
// both documents were written, 1 when the comparison failed, 2 for a usage
// error.
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
        "  --help           show this text\n"
        "  --version        show the version\n",
        out);
}

}  // namespace

int main(int argc, char** argv) {
    read_settings();
    run_settings& s = g_settings;
    bool save = false;
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
            if (!*p || std::strlen(p) >= sizeof s.diff_program) {
                std::fprintf(stderr, "vergle: the program path is empty or longer than %d bytes\n",
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
    if (save) write_settings();
    if (files.empty() && save) return 0;
    if (files.size() != 2) {
        usage(stderr);
        return 2;
    }
    register_linked_dumps(g_dumps);
    terminal_ui ui;
    ui.interactive = plat_stdin_is_terminal();
    const char* args[3] = {"Vergle", files[0], files[1]};
    return run_comparison(3, args, ui) == 0 ? 0 : 1;
}
