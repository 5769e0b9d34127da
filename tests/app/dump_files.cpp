// The product's dump of one workbook into a folder, for the digests of its
// files:  dump_files OPTIONS WORKBOOK OUTPUT_FOLDER TEMP_FOLDER
// OPTIONS is "-" or letters: t shape and comment text, a one file for the
// whole book, f formulas beside their values, m macro modules, u UTF-8
// instead of code page 932.  Messages go to standard output; the exit
// status is the dump's.
#include <cstdio>
#include <cstring>
#include <string>

#include "workbook_dump.h"

namespace {

struct stdout_ui : vergle_ui {
    void show_error(const std::string& text, bool) override { std::printf("%s\n", text.c_str()); }
    bool ask_retry(const std::string& text) override {
        std::printf("%s\n", text.c_str());
        return false;
    }
    bool pump_one_message() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: dump_files OPTIONS WORKBOOK OUTPUT_FOLDER TEMP_FOLDER\n");
        return 2;
    }
    const std::string options = argv[1];
    stdout_ui ui;
    dump_request req{argv[2], argv[3], options.find('t') != std::string::npos,
                     options.find('a') != std::string::npos, argv[4], &ui};
    req.formulas = options.find('f') != std::string::npos;
    req.macros = options.find('m') != std::string::npos;
    if (options.find('u') != std::string::npos) req.out_charset = 3;
    return dump_workbook_text(req) == 0 ? 0 : 1;
}
