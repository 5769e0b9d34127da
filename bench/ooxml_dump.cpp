// A command-line driver for the Word and PowerPoint dump, for the benchmark:
//   ooxml_dump word|powerpoint DOCUMENT OUTPUT_FOLDER [textbox] [allpage]
// Messages go to standard error; the exit status is the dump's result.
#include <cstdio>
#include <cstring>
#include <string>

#include "ofx.h"

namespace {

struct stderr_ui : vergle_ui {
    void show_error(const std::string& text, bool) override { std::fprintf(stderr, "%s\n", text.c_str()); }
    bool ask_retry(const std::string&) override { return false; }
    bool pump_one_message() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        std::fprintf(stderr, "usage: ooxml_dump word|powerpoint DOCUMENT OUTPUT_FOLDER [textbox] [allpage]\n");
        return 2;
    }
    bool textbox = false, allpage = false;
    for (int i = 4; i < argc; ++i) {
        if (std::strcmp(argv[i], "textbox") == 0) textbox = true;
        if (std::strcmp(argv[i], "allpage") == 0) allpage = true;
    }
    stderr_ui ui;
    dump_request req{argv[2], argv[3], textbox, allpage, "", &ui};
    int rc = std::strcmp(argv[1], "word") == 0 ? dump_word_text(req) : dump_powerpoint_text(req);
    return rc == 0 ? 0 : 1;
}
