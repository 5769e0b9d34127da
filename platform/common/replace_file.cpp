// A file written whole beside its place and then renamed into it.
#include <atomic>
#include <chrono>
#include <string>

#include "platform.h"

int plat_write_replacing(const std::string& path, const std::string& bytes) {
    if (path.empty() || plat_path_kind(path.c_str()) == PLAT_DIR) return -1;
    // A new file of its own (never anything that is there already, a link
    // included), named so that two writers at once take two names.
    static std::atomic<unsigned> serial{0};
    unsigned stamp = static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string part = path + ".new-" + std::to_string(stamp % 1000000) + "-" + std::to_string(serial++);
        plat_file* f = plat_open(part.c_str(), PLAT_CREATE);
        if (!f) {
            if (plat_path_kind(part.c_str()) != PLAT_NONE) continue;  // taken: another name
            return -1;
        }
        bool whole = plat_write(f, bytes.data(), bytes.size()) == bytes.size();
        if (plat_close(f) != 0) whole = false;
        if (whole && plat_rename(part.c_str(), path.c_str()) == 0) return 0;
        plat_remove_file(part.c_str());
        return -1;
    }
    return -1;
}
