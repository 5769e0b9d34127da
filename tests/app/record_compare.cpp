// A stand-in for the folder-compare program: writes its arguments (in UTF-8,
// as the system gave them) and the contents of the two folders it was given
// into the file named by the environment variable VERGLE_RECORD, then exits
// with VERGLE_RECORD_EXIT (0).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform.h"

namespace {

void list(const std::string& dir, const std::string& prefix, std::string& out) {
    std::vector<plat_dirent> entries;
    if (plat_list_dir(dir.c_str(), entries) != 0) {
        out += prefix + "(cannot list)\n";
        return;
    }
    std::sort(entries.begin(), entries.end(), [](const plat_dirent& a, const plat_dirent& b) { return a.name < b.name; });
    for (const plat_dirent& e : entries) {
        std::string p = dir + plat_separator() + e.name;
        if (e.kind == PLAT_DIR) {
            list(p, prefix + e.name + "/", out);
            continue;
        }
        plat_file* f = plat_open(p.c_str(), PLAT_READ);
        std::string content;
        if (f) {
            char buf[4096];
            size_t n;
            while ((n = plat_read(f, buf, sizeof buf)) > 0) content.append(buf, n);
            plat_close(f);
        }
        out += prefix + e.name + "=" + content + "\n";
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::string record;
    if (!plat_getenv("VERGLE_RECORD", record)) return 3;
    std::vector<std::string> args;
    plat_utf8_args(argc, argv, args);
    std::string out = "argc=" + std::to_string(args.size()) + "\n";
    for (size_t i = 1; i < args.size(); ++i) out += "arg=" + args[i] + "\n";
    for (size_t i = 1; i < args.size(); ++i) {
        out += "folder " + std::to_string(i) + ":\n";
        list(args[i], "  ", out);
    }
    plat_file* f = plat_open(record.c_str(), PLAT_WRITE);
    if (!f) return 4;
    plat_write(f, out.data(), out.size());
    plat_close(f);
    std::string code;
    return plat_getenv("VERGLE_RECORD_EXIT", code) ? std::atoi(code.c_str()) : 0;
}
