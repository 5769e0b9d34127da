// One document's dump, as the comparison run makes it, for the benchmark:
//   vergle_dump_one workbook|word|powerpoint DOCUMENT OUTPUT_FOLDER [textbox] [allpage]
// The workbook dump goes through the workbook library's exported functions,
// the Word and PowerPoint dumps through the text extraction, exactly as in
// `vergle`; only the folder-compare program and the second document are left
// out.  Messages go to standard error; the exit status is the dump's result.
#include <cstdio>
#include <cstring>
#include <string>

#include "ofx.h"
#include "workbook_dump.h"

namespace {

struct stderr_ui : vergle_ui {
    void show_error(const std::string& text, bool) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool ask_retry(const std::string&) override { return false; }
    bool pump_one_message() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr,
                     "usage: vergle_dump_one workbook|word|powerpoint DOCUMENT OUTPUT_FOLDER [textbox] [allpage]\n");
        return 2;
    }
    bool textbox = false, allpage = false;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "textbox") == 0) textbox = true;
        if (std::strcmp(argv[i], "allpage") == 0) allpage = true;
    }
    // The temporary image of a 97-2003 workbook goes beside the output folder.
    std::string temp = argv[3];
    size_t cut = temp.find_last_of("/\\");
    temp = cut == std::string::npos ? "." : temp.substr(0, cut == 0 ? 1 : cut);
    stderr_ui ui;
    dump_request req{argv[2], argv[3], textbox, allpage, temp.c_str(), &ui};
    int rc;
    if (std::strcmp(argv[1], "workbook") == 0) rc = dump_workbook_text(req);
    else if (std::strcmp(argv[1], "word") == 0) rc = dump_word_text(req);
    else rc = dump_powerpoint_text(req);
    return rc == 0 ? 0 : 1;
}
