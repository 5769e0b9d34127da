// The file layer: document kinds, OS file handles, whole-file helpers,
// folders and paths.
#include "orb_file.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "mfile.h"
#include "orb_text.h"
#include "platform.h"

// ---------------------------------------------------------------------------
// Document kinds

namespace {

struct kind_entry {
    int code;
    const char* name;
    const char* ext;
    const char* magic;  // hexadecimal bytes separated by blanks
    int count;
};

// Searched in this order: the first entry whose magic bytes and extension
// both fit wins, so "zip" must come before the Open XML kinds.
const kind_entry KINDS[] = {
    {202, "JPEG", "jpg", "FF D8 FF", 3},
    {202, "JPEG", "jpeg", "FF D8 FF", 3},
    {204, "GIF", "gif", "47 49 46 38", 4},
    {201, "BMP", "bmp", "42 4D", 2},
    {203, "PNG", "png", "89 50 4E 47 0D 0A 1A 0A", 8},
    {205, "TIFF", "tiff", "49 49 2A 00", 4},
    {205, "TIFF", "tif", "49 49 2A 00", 4},
    {301, "Zip", "zip", "50 4B 03 04", 4},
    {11, "MS-Excel2003", "xls", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {12, "MS-Excel2007", "xlsx", "50 4B 03 04", 4},
    {13, "MS-Excel2007-BINARY", "xlsb", "50 4B 03 04", 4},
    {14, "MS-Excel2007-Macro", "xlsm", "50 4B 03 04", 4},
    {19, "MS-Excel2007-Locked", "xlsx", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {19, "MS-Excel2007-Locked", "xlsm", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {21, "MS-Word2003", "doc", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {22, "MS-Word2007", "docx", "50 4B 03 04", 4},
    {23, "MS-Word2007-Macrp", "docm", "50 4B 03 04", 4},
    {29, "MS-Word2007-Locked", "docx", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {29, "MS-Word2007-Locked", "docm", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {31, "MS-PowerPoint2003", "ppt", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {32, "MS-PowerPoint2007", "pptx", "50 4B 03 04", 4},
    {33, "MS-PowerPoint2007-Macro", "pptm", "50 4B 03 04", 4},
    {39, "MS-PowerPoint2007-Locked", "pptx", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {39, "MS-PowerPoint2007-Locked", "pptm", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {40, "MS-Project", "mpp", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {101, "MS-Visio", "vsd", "D0 CF 11 E0 A1 B1 1A E1", 8},
    {102, "Adobe-PDF", "pdf", "25 50 44 46", 4},
    {103, "Adobe-Photoshop", "psd", "38 42 50 53", 4},
    {207, "Windows-MataFile", "wmf", "D7 CD C6 9A", 4},
    {206, "Enhanced-MataFile", "emf", "01 00 00 00", 4},
    {900, "EXE", "exe", "4D 5A", 2},
    {0, "CSV", "csv", "", 0},
    {401, "AVI", "avi", "52 49 46 46", 4},
    {402, "MPG", "mpg", "00 00 01", 3},
    {403, "WMV", "wmv", "30 26 B2 75 8E 66 CF 11", 8},
};

int magic_bytes(const char* text, unsigned char* out, int max) {
    int n = 0;
    while (*text && n < max) {
        char* end;
        long v = std::strtol(text, &end, 16);
        if (end == text) break;
        out[n++] = static_cast<unsigned char>(v);
        text = end;
    }
    return n;
}

bool ends_with_ci(const char* path, const char* ext) {
    size_t lp = std::strlen(path), le = std::strlen(ext);
    if (le > lp) return false;
    for (size_t i = 0; i < le; ++i) {
        char a = path[lp - le + i], b = ext[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

// A file that is either an OS file or a memory file.
struct any_file {
    bool memory;
    ORB_FILE* os = nullptr;
    Mfile* mem = nullptr;

    size_t read(void* buf, size_t n) { return memory ? mread(buf, 1, n, mem) : orb_fread(buf, n, os); }
    int seek(int64_t offset) { return memory ? mseek(mem, offset, 0) : orb_fseek(os, offset, 1); }
    int64_t size() {
        if (memory) return mem->size;
        int64_t here = plat_tell(os->handle);
        if (plat_seek(os->handle, 0, 2) != 0) return -1;
        int64_t end = plat_tell(os->handle);
        plat_seek(os->handle, here, 0);
        return end;
    }
    void close() {
        if (memory) {
            if (mem) mclose(mem);
        } else if (os) {
            orb_fclose(os);
        }
        os = nullptr;
        mem = nullptr;
    }
};


}  // namespace

int orb_find_stream(bool is_memory, void* file, const char* name) {
    // The directory is found through the header and followed along its
    // sector chain: a block that merely begins with "Root Entry" (an embedded
    // document, stream data) is not taken for it.
    any_file f{is_memory};
    if (is_memory) {
        f.mem = static_cast<Mfile*>(file);
    } else {
        f.os = static_cast<ORB_FILE*>(file);
    }
    unsigned char wanted[64] = {0};
    size_t name_len = std::strlen(name);
    if (name_len > 31) return 1;
    for (size_t i = 0; i < name_len; ++i) wanted[2 * i] = static_cast<unsigned char>(name[i]);

    int64_t file_size = f.size();
    if (file_size < 512) return 1;
    unsigned char header[512];
    if (f.seek(0) != 0) return -104;
    if (f.read(header, sizeof header) != sizeof header) return 1;
    unsigned shift = orb_read_u16(header + 30);
    if (shift != 9 && shift != 12) return 1;
    const int64_t ssz = int64_t(1) << shift;
    const int64_t sectors = file_size / ssz;  // sectors after the header, at most
    const uint32_t per_sector = static_cast<uint32_t>(ssz / 4);

    // The FAT's own sectors: 109 in the header, the rest along the DIFAT chain.
    std::vector<uint32_t> fat_sectors;
    uint32_t fat_count = orb_read_u32(header + 44);
    if (fat_count > sectors) return 1;
    for (int i = 0; i < 109 && fat_sectors.size() < fat_count; ++i) fat_sectors.push_back(orb_read_u32(header + 76 + 4 * i));
    uint32_t difat = orb_read_u32(header + 68);
    std::vector<unsigned char> block(static_cast<size_t>(ssz));
    for (int64_t hops = 0; fat_sectors.size() < fat_count && difat < sectors && hops <= sectors; ++hops) {
        if (f.seek((static_cast<int64_t>(difat) + 1) * ssz) != 0) return -104;
        if (f.read(block.data(), block.size()) != block.size()) return 1;
        for (uint32_t i = 0; i + 1 < per_sector && fat_sectors.size() < fat_count; ++i)
            fat_sectors.push_back(orb_read_u32(block.data() + 4 * i));
        difat = orb_read_u32(block.data() + ssz - 4);
    }
    auto next_sector = [&](uint32_t sector, uint32_t* next) -> int {
        uint32_t index = sector / per_sector;
        if (index >= fat_sectors.size() || fat_sectors[index] >= sectors) return 1;
        unsigned char entry[4];
        if (f.seek((static_cast<int64_t>(fat_sectors[index]) + 1) * ssz + 4 * (sector % per_sector)) != 0) return -104;
        if (f.read(entry, 4) != 4) return 1;
        *next = orb_read_u32(entry);
        return 0;
    };

    uint32_t sector = orb_read_u32(header + 48);
    for (int64_t hops = 0; sector < sectors && hops <= sectors; ++hops) {
        if (f.seek((static_cast<int64_t>(sector) + 1) * ssz) != 0) return -104;
        if (f.read(block.data(), block.size()) != block.size()) return 1;
        for (int64_t at = 0; at + 128 <= ssz; at += 128) {
            const unsigned char* e = block.data() + at;
            unsigned name_bytes = orb_read_u16(e + 64);
            if (name_bytes == 2 * name_len + 2 && std::memcmp(e, wanted, 2 * name_len) == 0) {
                uint32_t start = orb_read_u32(e + 116);
                if (f.seek((static_cast<int64_t>(start) + 1) * ssz) != 0) return -104;
                return 0;
            }
        }
        uint32_t next = 0;
        int rc = next_sector(sector, &next);
        if (rc != 0) return rc;
        sector = next;
    }
    return 1;
}

int orb_file_type(int source, const char* path, int* type) {
    if (!path || !type) return -3;
    *type = -1;
    unsigned char head[16];
    any_file f{source == ORB_SOURCE_MEMORY};
    bool header_mode = source == ORB_SOURCE_HEADER;
    if (header_mode) {
        std::memcpy(head, path, sizeof head);
    } else {
        if (f.memory) {
            f.mem = mopen(path, "rb");
            if (!f.mem) return -101;
        } else {
            f.os = orb_fopen(path, 1);
            if (!f.os) return -101;
        }
        if (f.read(head, sizeof head) != sizeof head) {
            f.close();
            return 0;
        }
    }
    const kind_entry* taken = nullptr;
    for (const kind_entry& e : KINDS) {
        unsigned char magic[16];
        int n = magic_bytes(e.magic, magic, e.count);
        if (e.count > 0) {
            if (n != e.count || std::memcmp(head, magic, n) != 0) continue;
            if (header_mode || ends_with_ci(path, e.ext)) {
                taken = &e;
                break;
            }
        } else if (!header_mode && ends_with_ci(path, e.ext)) {
            taken = &e;
            break;
        }
    }
    if (!taken) {
        f.close();
        return 0;
    }
    if (!header_mode && (taken->code == 19 || taken->code == 29 || taken->code == 39)) {
        if (f.seek(0) != 0) {
            f.close();
            return -104;
        }
        int rc = orb_find_stream(f.memory, f.memory ? static_cast<void*>(f.mem) : static_cast<void*>(f.os),
                                 "EncryptedPackage");
        f.close();
        if (rc == -104) return -104;
        if (rc != 0) return -1;
        *type = taken->code;
        return 0;
    }
    *type = taken->code;
    f.close();
    return 0;
}

// ---------------------------------------------------------------------------
// OS file handles

ORB_FILE* orb_fopen(const char* path, int mode) {
    if (!path || mode < 1 || mode > 4) return nullptr;
    plat_file* h = plat_open(path, mode);
    if (!h) return nullptr;
    ORB_FILE* f = new (std::nothrow) ORB_FILE{h, mode};
    if (!f) plat_close(h);
    return f;
}

void orb_fclose(ORB_FILE* f) {
    if (!f) return;
    plat_close(f->handle);
    delete f;
}

size_t orb_fread(void* buf, size_t n, ORB_FILE* f) { return f ? plat_read(f->handle, buf, n) : 0; }

size_t orb_fwrite(const void* buf, size_t n, ORB_FILE* f) {
    if (!f) return 0;
    size_t w = plat_write(f->handle, buf, n);
    return w == n ? w : 0;
}

int orb_fseek(ORB_FILE* f, int64_t offset, int origin) {
    int o;
    switch (origin) {
    case 1: o = 0; break;
    case 2: o = 2; break;
    case 3: o = 1; break;
    default: return -3;
    }
    if (!f) return -3;
    return plat_seek(f->handle, offset, o) == 0 ? 0 : -104;
}

int orb_read_line(char* buf, int size, ORB_FILE* f) {
    if (!buf || size < 1) return 0;
    int n = 0;
    bool any = false;
    bool quoted = false;
    unsigned char c;
    while (n < size - 1) {
        if (orb_fread(&c, 1, f) != 1) break;
        any = true;
        if (quoted) {
            buf[n++] = static_cast<char>(c);
            if (c == '"') quoted = false;
            continue;
        }
        if (c == '\n') break;
        if (c == '\r') {
            unsigned char next;
            if (orb_fread(&next, 1, f) == 1 && next != '\n') orb_fseek(f, -1, 3);
            break;
        }
        if (c == '"') quoted = true;
        buf[n++] = static_cast<char>(c);
    }
    buf[n] = 0;
    return any ? 1 : 0;
}

// ---------------------------------------------------------------------------
// Whole files

int aod_fsze(const char* path, int64_t* size) { return plat_file_size(path, size); }

int orb_load_file(bool is_disk, const char* path, char** buf, int64_t* len) {
    *buf = nullptr;
    if (len) *len = 0;
    ORB_FILE* os = nullptr;
    Mfile* mem = nullptr;
    if (is_disk) {
        os = orb_fopen(path, 1);
        if (!os) return -101;
    } else {
        mem = mopen(path, "rb");
        if (!mem) return -101;
    }
    size_t cap = 4096, used = 0;
    char* data = static_cast<char*>(std::malloc(cap));
    int rc = data ? 0 : -2;
    while (rc == 0) {
        if (cap - used < 4096 + 1) {
            size_t grown = cap * 2;
            char* p = static_cast<char*>(std::realloc(data, grown));
            if (!p) {
                rc = -2;
                break;
            }
            data = p;
            cap = grown;
        }
        size_t got = is_disk ? orb_fread(data + used, 4096, os) : mread(data + used, 1, 4096, mem);
        used += got;
        if (got < 4096) break;
    }
    if (is_disk) {
        orb_fclose(os);
    } else {
        mclose(mem);
    }
    if (rc != 0) {
        std::free(data);
        return rc;
    }
    data[used] = 0;
    *buf = data;
    if (len) *len = static_cast<int64_t>(used);
    return 0;
}

int orb_copy_file(bool is_disk, const char* dest, const char* src) {
    char chunk[256];
    if (is_disk) {
        ORB_FILE* in = orb_fopen(src, 1);
        if (!in) return -101;
        ORB_FILE* out = orb_fopen(dest, 2);
        if (!out) {
            orb_fclose(in);
            return -101;
        }
        int rc = 0;
        size_t n;
        while ((n = orb_fread(chunk, sizeof chunk, in)) > 0) {
            if (orb_fwrite(chunk, n, out) != n) {
                rc = -103;
                break;
            }
        }
        orb_fclose(in);
        orb_fclose(out);
        return rc;
    }
    Mfile* in = mopen(src, "rb");
    if (!in) return -101;
    // The source is read whole first: a memory file copied onto itself must
    // not be emptied by the "wb" open of the destination.
    std::string content;
    try {
        size_t n;
        while ((n = mread(chunk, 1, sizeof chunk, in)) > 0) content.append(chunk, n);
    } catch (const std::bad_alloc&) {
        mclose(in);
        return -2;
    }
    mclose(in);
    Mfile* out = mopen(dest, "wb");
    if (!out) return -101;
    int rc = 0;
    for (size_t at = 0; at < content.size(); at += sizeof chunk) {
        size_t n = content.size() - at < sizeof chunk ? content.size() - at : sizeof chunk;
        if (mwrite(content.data() + at, 1, n, out) != n) {
            rc = -103;
            break;
        }
    }
    mclose(out);
    return rc;
}

int orb_grow_array(void** array, int64_t needed, int64_t* capacity, size_t elem_size, int64_t first, int factor) {
    if (needed < *capacity) return 0;
    int64_t cap = *capacity == 0 ? first : *capacity * factor;
    if (cap <= needed) cap = needed + 1;
    if (elem_size != 0 && static_cast<uint64_t>(cap) > SIZE_MAX / elem_size) return -2;
    void* p = std::realloc(*array, static_cast<size_t>(cap) * elem_size);
    if (!p) return -2;
    std::memset(static_cast<char*>(p) + static_cast<size_t>(*capacity) * elem_size, 0,
                static_cast<size_t>(cap - *capacity) * elem_size);
    *array = p;
    *capacity = cap;
    return 0;
}

// ---------------------------------------------------------------------------
// Folders and paths

int orb_module_path(char* buf, size_t size) {
    std::string p;
    if (plat_module_path(p) != 0 || p.size() + 1 > size) return -1;
    std::memcpy(buf, p.c_str(), p.size() + 1);
    return 0;
}

int orb_make_dir(const char* path) { return plat_make_dir(path) >= 0 ? 0 : -1; }

int orb_make_dirs(const char* path) {
    std::string p;
    try {
        p = path;
    } catch (const std::bad_alloc&) {
        return -2;
    }
    if (p.size() > 1 && plat_is_separator(p.back())) p.pop_back();
    if (p.empty() || plat_make_dir(p.c_str()) >= 0) return 0;
    for (size_t i = 1; i <= p.size(); ++i) {
        if (i < p.size() && !plat_is_separator(p[i])) continue;
        std::string prefix = p.substr(0, i);
        if (plat_path_kind(prefix.c_str()) == PLAT_DIR) continue;
        // A drive ("C:") is no folder to create.
        if (prefix.size() == 2 && prefix[1] == ':') continue;
        if (plat_make_dir(prefix.c_str()) < 0) return -1;
    }
    return 0;
}

int orb_remove_tree(const char* path) { return plat_remove_tree(path); }

int orb_join_path(char* out, size_t size, const char* a, const char* b) {
    size_t la = std::strlen(a), lb = std::strlen(b);
    bool sep = la > 0 && !plat_is_separator(a[la - 1]);
    size_t total = la + (sep ? 1 : 0) + lb;
    if (total + 1 > size) return -9;
    std::memmove(out, a, la);
    if (sep) out[la] = plat_separator();
    std::memcpy(out + la + (sep ? 1 : 0), b, lb);
    out[total] = 0;
    return 0;
}

