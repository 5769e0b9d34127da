// Replays saved inputs through a fuzz target without libFuzzer, so that every
// input that ever crashed or hung is run again by the ordinary test build
// (natively, under the sanitizers and in the Windows build).
//
//   replay_<target> [--ext=a,b] [--optional] PATH...
//
// Each PATH is a file or a folder (read recursively, in name order).
// --ext limits the files taken from folders named after it to those ending
// in one of the extensions (letter case ignored).  --optional makes the
// folders named after it optional: a missing one is skipped (the shared
// corpus of real documents is not present everywhere).  The exit code is 0
// when every input ran to its end; a crash ends the program as it would end
// the fuzzer.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return s;
}

bool wanted(const std::string& name, const std::vector<std::string>& exts) {
    if (exts.empty()) return true;
    std::string n = lower(name);
    for (const std::string& e : exts) {
        if (n.size() > e.size() + 1 && n.compare(n.size() - e.size(), e.size(), e) == 0 &&
            n[n.size() - e.size() - 1] == '.')
            return true;
    }
    return false;
}

void collect(const std::string& dir, const std::vector<std::string>& exts, std::vector<std::string>& out) {
    std::vector<plat_dirent> entries;
    if (plat_list_dir(dir.c_str(), entries) != 0) return;
    std::sort(entries.begin(), entries.end(),
              [](const plat_dirent& a, const plat_dirent& b) { return a.name < b.name; });
    for (const plat_dirent& e : entries) {
        std::string p = dir + plat_separator() + e.name;
        if (e.kind == PLAT_DIR) collect(p, exts, out);
        else if (e.kind == PLAT_FILE && wanted(e.name, exts)) out.push_back(p);
    }
}

bool read_whole(const std::string& path, std::string& out) {
    plat_file* f = plat_open(path.c_str(), PLAT_READ);
    if (!f) return false;
    char buf[65536];
    size_t n;
    while ((n = plat_read(f, buf, sizeof buf)) > 0) out.append(buf, n);
    plat_close(f);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> exts;
    bool optional = false;
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a.rfind("--ext=", 0) == 0) {
            exts.clear();
            std::string list = a.substr(6);
            size_t at = 0;
            while (at <= list.size()) {
                size_t comma = list.find(',', at);
                if (comma == std::string::npos) comma = list.size();
                if (comma > at) exts.push_back(lower(list.substr(at, comma - at)));
                at = comma + 1;
            }
            continue;
        }
        if (a == "--optional") {
            optional = true;
            continue;
        }
        plat_kind kind = plat_path_kind(a.c_str());
        if (kind == PLAT_DIR) {
            collect(a, exts, files);
        } else if (kind == PLAT_FILE) {
            files.push_back(a);
        } else if (!optional) {
            std::fprintf(stderr, "replay: %s does not exist\n", a.c_str());
            return 2;
        }
    }
    int count = 0;
    for (const std::string& f : files) {
        std::string bytes;
        if (!read_whole(f, bytes)) {
            std::fprintf(stderr, "replay: cannot read %s\n", f.c_str());
            return 2;
        }
        // A buffer of exactly the input's size, as the fuzzer gives it, so
        // that the sanitizers see a read one byte past its end (a string's
        // capacity and terminator would hide it).
        std::unique_ptr<uint8_t[]> exact(new uint8_t[bytes.size() ? bytes.size() : 1]);
        std::memcpy(exact.get(), bytes.data(), bytes.size());
        LLVMFuzzerTestOneInput(exact.get(), bytes.size());
        ++count;
    }
    std::printf("replay: %d inputs\n", count);
    return 0;
}
