// Builds small compound documents in memory for the tests: named streams in
// the root storage, short ones in the mini stream, long ones in regular
// sectors (optionally in reverse sector order, so that only a reader that
// follows the chains reads them right).  Tests then damage the bytes as they
// need: the header field offsets are the format's own.
#ifndef VERGLE_TESTS_XLS_CFB_BUILDER_H
#define VERGLE_TESTS_XLS_CFB_BUILDER_H

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace cfbt {

struct stream {
    std::string name;  // ASCII; "A/B/name" puts the stream in storage B of storage A
    std::string data;
};

struct options {
    bool reverse_sectors = false;  // lay long streams out back to front
};

inline void put16(std::string& b, size_t off, uint16_t v) {
    b[off] = static_cast<char>(v & 0xFF);
    b[off + 1] = static_cast<char>(v >> 8);
}
inline void put32(std::string& b, size_t off, uint32_t v) {
    for (int i = 0; i < 4; ++i) b[off + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline uint32_t get32(const std::string& b, size_t off) {
    uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= static_cast<uint32_t>(static_cast<unsigned char>(b[off + i])) << (8 * i);
    return v;
}

constexpr uint32_t END = 0xFFFFFFFE, FREE = 0xFFFFFFFF, FATSECT = 0xFFFFFFFD, DIFSECT = 0xFFFFFFFC;

// Where things ended up, for tests that damage them.
struct layout {
    uint32_t fat_sectors = 0;
    uint32_t difat_sectors = 0;
    uint32_t first_dir = 0;
    std::vector<uint32_t> stream_start;  // per input stream: first (mini) sector
    // File offset of FAT entry n.
    std::vector<uint32_t> fat_sector_list;
    size_t fat_entry_offset(uint32_t n) const {
        return 512 + static_cast<size_t>(fat_sector_list[n / 128]) * 512 + (n % 128) * 4;
    }
};

inline std::string build(const std::vector<stream>& streams, const options& opt = {}, layout* out_layout = nullptr) {
    // Mini stream.
    std::string mini;
    std::vector<uint32_t> minifat;
    std::vector<uint32_t> start(streams.size(), END);
    for (size_t i = 0; i < streams.size(); ++i) {
        const std::string& d = streams[i].data;
        if (d.size() >= 4096 || d.empty()) continue;
        uint32_t first = static_cast<uint32_t>(minifat.size());
        size_t n = (d.size() + 63) / 64;
        for (size_t k = 0; k < n; ++k) minifat.push_back(k + 1 < n ? first + static_cast<uint32_t>(k) + 1 : END);
        std::string padded = d;
        padded.resize(n * 64, '\0');
        mini += padded;
        start[i] = first;
    }
    // Regular runs: each long stream, the mini stream, the mini FAT, the
    // directory.
    struct run {
        std::string bytes;
        bool reverse;
        int stream_index;  // -1 for the container's own runs
        uint32_t first = END;
        std::vector<uint32_t> sectors;
    };
    std::vector<run> runs;
    for (size_t i = 0; i < streams.size(); ++i)
        if (streams[i].data.size() >= 4096) runs.push_back({streams[i].data, opt.reverse_sectors, static_cast<int>(i), END, {}});
    int mini_run = -1, minifat_run = -1;
    if (!mini.empty()) {
        mini_run = static_cast<int>(runs.size());
        runs.push_back({mini, false, -1, END, {}});
        std::string mf;
        for (uint32_t v : minifat) {
            std::string w(4, '\0');
            put32(w, 0, v);
            mf += w;
        }
        minifat_run = static_cast<int>(runs.size());
        runs.push_back({mf, false, -1, END, {}});
    }
    // The directory's entries: the root, the storages the names hold and
    // the streams, each storage's children chained through their right
    // siblings (any binary tree serves a reader that walks it).
    struct node {
        std::string name;
        uint8_t type;
        int stream;
        std::vector<size_t> children;
    };
    std::vector<node> nodes{{"Root Entry", 5, -1, {}}};
    for (size_t i = 0; i < streams.size(); ++i) {
        size_t at = 0, pos = 0;
        const std::string& path = streams[i].name;
        for (size_t slash; (slash = path.find('/', pos)) != std::string::npos; pos = slash + 1) {
            std::string part = path.substr(pos, slash - pos);
            size_t found = 0;
            for (size_t c : nodes[at].children)
                if (nodes[c].name == part && nodes[c].type == 1) found = c;
            if (!found) {
                found = nodes.size();
                nodes.push_back({part, 1, -1, {}});
                nodes[at].children.push_back(found);
            }
            at = found;
        }
        nodes[at].children.push_back(nodes.size());
        nodes.push_back({path.substr(pos), 2, static_cast<int>(i), {}});
    }
    int dir_run = static_cast<int>(runs.size());
    runs.push_back({std::string(), false, -1, END, {}});  // filled below; size known now
    size_t entries = nodes.size();
    runs[dir_run].bytes.assign(((entries + 3) / 4) * 512, '\0');

    uint32_t data_sectors = 0;
    for (auto& r : runs) data_sectors += static_cast<uint32_t>((r.bytes.size() + 511) / 512);
    uint32_t F = 1, D = 0;
    for (;;) {
        uint32_t total = data_sectors + F + D;
        uint32_t nf = (total + 127) / 128;
        uint32_t nd = nf > 109 ? (nf - 109 + 126) / 127 : 0;
        if (nf == F && nd == D) break;
        F = nf;
        D = nd;
    }
    uint32_t total = data_sectors + F + D;
    std::vector<uint32_t> fat(static_cast<size_t>(F) * 128, FREE);
    std::vector<uint32_t> fat_list, difat_list;
    for (uint32_t i = 0; i < F; ++i) {
        fat_list.push_back(i);
        fat[i] = FATSECT;
    }
    for (uint32_t i = 0; i < D; ++i) {
        difat_list.push_back(F + i);
        fat[F + i] = DIFSECT;
    }
    uint32_t next = F + D;
    for (auto& r : runs) {
        uint32_t n = static_cast<uint32_t>((r.bytes.size() + 511) / 512);
        for (uint32_t k = 0; k < n; ++k) r.sectors.push_back(next + (r.reverse ? n - 1 - k : k));
        next += n;
        for (uint32_t k = 0; k < n; ++k) fat[r.sectors[k]] = k + 1 < n ? r.sectors[k + 1] : END;
        r.first = n ? r.sectors[0] : END;
        if (r.stream_index >= 0) start[r.stream_index] = r.first;
    }
    std::string& dir = runs[dir_run].bytes;
    auto entry = [&](size_t idx, const std::string& name, uint8_t type, uint32_t right, uint32_t child,
                     uint32_t st, uint32_t size) {
        size_t o = idx * 128;
        for (size_t i = 0; i < name.size() && i < 31; ++i) put16(dir, o + 2 * i, static_cast<unsigned char>(name[i]));
        put16(dir, o + 64, static_cast<uint16_t>((name.size() + 1) * 2));
        dir[o + 66] = static_cast<char>(type);
        dir[o + 67] = 1;
        put32(dir, o + 68, FREE);
        put32(dir, o + 72, right);
        put32(dir, o + 76, child);
        put32(dir, o + 116, st);
        put32(dir, o + 120, size);
    };
    for (size_t n = 0; n < nodes.size(); ++n) {
        for (size_t k = 0; k < nodes[n].children.size(); ++k) {
            size_t c = nodes[n].children[k];
            uint32_t right = k + 1 < nodes[n].children.size() ? static_cast<uint32_t>(nodes[n].children[k + 1]) : FREE;
            const node& e = nodes[c];
            uint32_t child = e.children.empty() ? FREE : static_cast<uint32_t>(e.children[0]);
            if (e.type == 2)
                entry(c, e.name, 2, right, FREE, start[static_cast<size_t>(e.stream)],
                      static_cast<uint32_t>(streams[static_cast<size_t>(e.stream)].data.size()));
            else
                entry(c, e.name, 1, right, child, 0, 0);
        }
    }
    entry(0, "Root Entry", 5, FREE, nodes[0].children.empty() ? FREE : static_cast<uint32_t>(nodes[0].children[0]),
          mini_run >= 0 ? runs[mini_run].first : END, static_cast<uint32_t>(mini.size()));
    for (size_t i = entries; i < dir.size() / 128; ++i) {
        put32(dir, i * 128 + 68, FREE);
        put32(dir, i * 128 + 72, FREE);
        put32(dir, i * 128 + 76, FREE);
    }

    std::string file(512 + static_cast<size_t>(total) * 512, '\0');
    const unsigned char sig[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};
    for (int i = 0; i < 8; ++i) file[i] = static_cast<char>(sig[i]);
    put16(file, 24, 0x3E);
    put16(file, 26, 3);
    put16(file, 28, 0xFFFE);
    put16(file, 30, 9);
    put16(file, 32, 6);
    put32(file, 44, F);
    put32(file, 48, runs[dir_run].first);
    put32(file, 56, 4096);
    put32(file, 60, minifat_run >= 0 ? runs[minifat_run].first : END);
    put32(file, 64, minifat_run >= 0 ? static_cast<uint32_t>(runs[minifat_run].sectors.size()) : 0);
    put32(file, 68, D ? difat_list[0] : END);
    put32(file, 72, D);
    for (uint32_t i = 0; i < 109; ++i) put32(file, 76 + 4 * i, i < F ? fat_list[i] : FREE);
    for (uint32_t d = 0; d < D; ++d) {
        size_t o = 512 + static_cast<size_t>(difat_list[d]) * 512;
        for (uint32_t i = 0; i < 127; ++i) {
            uint32_t k = 109 + d * 127 + i;
            put32(file, o + 4 * i, k < F ? fat_list[k] : FREE);
        }
        put32(file, o + 508, d + 1 < D ? difat_list[d + 1] : END);
    }
    for (size_t i = 0; i < fat.size(); ++i) put32(file, 512 + static_cast<size_t>(fat_list[i / 128]) * 512 + (i % 128) * 4, fat[i]);
    for (auto& r : runs)
        for (size_t k = 0; k < r.sectors.size(); ++k) {
            size_t n = std::min<size_t>(512, r.bytes.size() - k * 512);
            file.replace(512 + static_cast<size_t>(r.sectors[k]) * 512, n, r.bytes, k * 512, n);
        }
    if (out_layout) {
        out_layout->fat_sectors = F;
        out_layout->difat_sectors = D;
        out_layout->first_dir = runs[dir_run].first;
        out_layout->stream_start = start;
        out_layout->fat_sector_list = fat_list;
    }
    return file;
}

}  // namespace cfbt

#endif
