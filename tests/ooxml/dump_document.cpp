// The Word or PowerPoint dump of one document, for the agreement checks with
// independent readers: dumps into FOLDER (created, then emptied) and prints
// every file as "#file\tNAME" and its lines in UTF-8.
//   ooxml_dump_document PATH FOLDER [textbox] [allpage] [raw] [utf8]
// (raw: the files' bytes as written, not converted; utf8: the files written
// in UTF-8, as with --encoding utf-8)
//   ooxml_dump_document --through-cp932 < lines: each line converted to code
//   page 932 and back, as a reader's text looks in the dump
// Exit status 0, or 1 when the dump fails.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ofx.h"
#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace {

struct quiet_ui : vergle_ui {
    void show_error(const std::string& text, bool) override {
        std::fprintf(stderr, "%s\n", plat_utf8_from_native(text).c_str());
    }
    bool ask_retry(const std::string&) override { return false; }
    bool pump_one_message() override { return true; }
};

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--through-cp932") == 0) {
        // The lines of the standard input as the dump would write them:
        // converted to code page 932 and back.
        char buf[65536];
        while (std::fgets(buf, sizeof buf, stdin)) {
            std::string line = buf;
            orb_convert_string(ORB_UTF8, ORB_SJIS, line);
            orb_convert_string(ORB_SJIS, ORB_UTF8, line);
            std::fputs(line.c_str(), stdout);
        }
        return 0;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: ooxml_dump_document PATH FOLDER [textbox] [allpage]\n");
        return 2;
    }
    bool textbox = false, allpage = false, raw = false, utf8 = false;
    for (int i = 3; i < argc; ++i) {
        raw |= std::strcmp(argv[i], "raw") == 0;
        utf8 |= std::strcmp(argv[i], "utf8") == 0;
        textbox |= std::strcmp(argv[i], "textbox") == 0;
        allpage |= std::strcmp(argv[i], "allpage") == 0;
    }
    std::string path = argv[1];
    bool word = path.find(".doc") != std::string::npos;
#ifdef _WIN32
    _setmode(_fileno(stdout), _O_BINARY);  // the bytes as they are
#endif
    plat_remove_tree(argv[2]);
    orb_make_dir(argv[2]);
    quiet_ui ui;
    dump_request req{argv[1], argv[2], textbox, allpage, argv[2], &ui};
    if (utf8) req.out_charset = ORB_UTF8;
    int rc = word ? dump_word_text(req) : dump_powerpoint_text(req);
    std::vector<plat_dirent> entries;
    plat_list_dir(argv[2], entries);
    std::vector<std::string> names;
    for (const plat_dirent& e : entries) names.push_back(e.name);
    std::sort(names.begin(), names.end());
    for (const std::string& name : names) {
        std::string full = std::string(argv[2]) + "/" + name;
        char* buf = nullptr;
        int64_t len = 0;
        if (orb_load_file(true, full.c_str(), &buf, &len) != 0) continue;
        std::string text(buf, static_cast<size_t>(len));
        std::free(buf);
        if (!raw && !utf8) orb_convert_string(ORB_SJIS, ORB_UTF8, text);
        std::printf("#file\t%s\n", plat_utf8_from_native(name).c_str());
        std::fwrite(text.data(), 1, text.size(), stdout);
        if (!text.empty() && text.back() != '\n') std::printf("\n");
    }
    plat_remove_tree(argv[2]);
    return rc == 0 ? 0 : 1;
}
