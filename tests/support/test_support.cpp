#include "test_support.h"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform.h"

namespace vt {

std::string corpus_dir() {
    std::string dir;
    if (!plat_getenv("VERGLE_CORPUS", dir) || dir.empty()) dir = VERGLE_CORPUS_DIR;
    return plat_path_kind(dir.c_str()) == PLAT_DIR ? dir : "";
}

std::string source_dir() {
    std::string dir;
    if (plat_getenv("VERGLE_SOURCE", dir) && !dir.empty()) return dir;
    return VERGLE_SOURCE_DIR;
}

std::string beside_tests(const std::string& name) {
    std::string exe;
    plat_module_path(exe);
    size_t cut = exe.size();
    while (cut > 0 && !plat_is_separator(exe[cut - 1])) --cut;
    std::string base = exe.substr(0, cut) + name;
    return exists(base + ".exe") ? base + ".exe" : base;
}

std::string join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    if (plat_is_separator(a.back())) return a + b;
    return a + plat_separator() + b;
}

namespace {

void walk(const std::string& dir, const std::vector<std::string>& exts, std::vector<std::string>& out) {
    std::vector<plat_dirent> entries;
    if (plat_list_dir(dir.c_str(), entries) != 0) return;
    for (const plat_dirent& e : entries) {
        std::string p = join(dir, e.name);
        if (e.kind == PLAT_DIR) {
            walk(p, exts, out);
            continue;
        }
        size_t dot = e.name.rfind('.');
        if (dot == std::string::npos) continue;
        std::string ext = e.name.substr(dot + 1);
        std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
        if (std::find(exts.begin(), exts.end(), ext) != exts.end()) out.push_back(p);
    }
}

}  // namespace

std::vector<std::string> corpus_files(const std::vector<std::string>& extensions) {
    std::vector<std::string> out;
    std::string dir = corpus_dir();
    if (!dir.empty()) walk(dir, extensions, out);
    std::sort(out.begin(), out.end());
    return out;
}

scratch_dir::scratch_dir() {
    static std::atomic<int> counter{0};
    std::string base;
    if ((!plat_getenv("VERGLE_TEST_TMP", base) || base.empty()) && (!plat_getenv("TEMP", base) || base.empty())) {
        base = plat_default_temp_folder();
    }
    plat_time t;
    plat_local_time(&t);
    for (int attempt = 0; attempt < 1000; ++attempt) {
        char name[96];
        std::snprintf(name, sizeof name, "vergle-test-%02d%02d%02d-%d-%d", t.hour, t.minute, t.second,
                      counter++, attempt + static_cast<int>(reinterpret_cast<uintptr_t>(this) % 100000));
        path_ = join(base, name);
        if (plat_path_kind(path_.c_str()) == PLAT_NONE && plat_make_dir(path_.c_str()) == 0) return;
    }
    path_.clear();
}

scratch_dir::~scratch_dir() {
    if (!path_.empty()) plat_remove_tree(path_.c_str());
}

bool write_file(const std::string& path, const std::string& bytes) {
    plat_file* f = plat_open(path.c_str(), PLAT_WRITE);
    if (!f) return false;
    bool ok = plat_write(f, bytes.data(), bytes.size()) == bytes.size();
    plat_close(f);
    return ok;
}

std::string read_file(const std::string& path) {
    plat_file* f = plat_open(path.c_str(), PLAT_READ);
    if (!f) return "";
    std::string out;
    char buf[65536];
    size_t n;
    while ((n = plat_read(f, buf, sizeof buf)) > 0) out.append(buf, n);
    plat_close(f);
    return out;
}

bool exists(const std::string& path) { return plat_path_kind(path.c_str()) != PLAT_NONE; }

}  // namespace vt
