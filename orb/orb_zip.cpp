// Package unpacking over minizip.  minizip reaches the package through the
// file-function table below, which serves either a disk file (through the
// platform layer) or a memory file; members are written to memory files or
// to disk files below the destination folder.
#include "orb_zip.h"

#include <unzip.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>
#include <new>
#include <string>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "mfile.h"
#include "orb_cancel.h"
#include "orb_file.h"
#include "platform.h"

namespace {

// Non-zero: the package is a disk file; 0: a memory file.  The calling
// thread's choice: a reader on another thread is not affected.
thread_local int g_package_on_disk = 1;

// ---------------------------------------------------------------------------
// Inflation limits
// ---------------------------------------------------------------------------
//
// A package is small on disk, but its members may declare, or really
// inflate to, far more than the machine holds: deflate reaches about 1032:1,
// so a 1 MB package can hold a gigabyte, and sizes in the directory can
// claim anything.  Two bounds hold for every unpacking, memory or disk:
//
//   member limit  one member inflates to at most 2 GiB - 1 bytes (every
//                 reader above sizes a member's text with an int);
//   total budget  all members of one package together inflate to at most
//                 min(physical memory / 4, 4 GiB) (4 GiB when the memory
//                 cannot be queried).  Memory files grow by doubling, so the
//                 memory held stays below half the machine's.
//
// The declared sizes of the central directory are summed before anything is
// written, so that a package that admits to being too large is refused at
// once; the bytes that inflate really produces are counted as well, so a
// directory that understates a member cannot get past the bounds either.
// The declared size is never trusted to allow anything.  A ratio rule is not
// used: deflate's own ceiling of about 1032:1 lies so close to what long runs
// of equal cells compress to that a ratio bound either refuses real
// workbooks or adds nothing to the byte budget.
//
// Exceeding either bound is reported as -2 (memory): the package cannot be
// held, whatever the medium; orb_zip_over_budget() then tells the caller not
// to retry it on disk.

constexpr int64_t k_member_limit = INT32_MAX;
constexpr int64_t k_budget_ceiling = int64_t{4} << 30;

std::atomic<int64_t> g_budget_override{0};  // tests: 0 = the rule above
std::atomic<int64_t> g_member_override{0};
// What the last unpacking of this thread found.
thread_local bool g_over_budget = false;
thread_local int g_declared_members = 0;  // of the last package opened

int64_t total_budget() {
    int64_t over = g_budget_override;
    if (over > 0) return over;
    uint64_t phys = plat_physical_memory();
    if (phys == 0) return k_budget_ceiling;
    return std::min<int64_t>(static_cast<int64_t>(std::min<uint64_t>(phys / 4, INT64_MAX)), k_budget_ceiling);
}

int64_t member_limit() {
    int64_t over = g_member_override;
    return over > 0 ? over : k_member_limit;
}

// The inflated bytes of one unpacking so far, against its budget.
struct inflate_budget {
    int64_t total = total_budget();
    int64_t member = member_limit();
    int64_t used = 0;
};

// The caller's choice of members (orb_unzip_package_if).
struct member_choice {
    orb_member_filter filter = nullptr;
    void* arg = nullptr;
    bool wanted(const char* name) const { return !filter || filter(name, arg); }
};

// ---------------------------------------------------------------------------
// File functions for minizip
// ---------------------------------------------------------------------------

// minizip reads the central directory a few bytes at a time: disk reads go
// through a buffer of our own so that they do not each cost a system call.
enum { PKG_BUFFER = 65536 };

struct package_stream {
    plat_file* disk = nullptr;
    Mfile* mem = nullptr;
    bool error = false;
    int64_t size = 0;       // disk: the file's size
    int64_t pos = 0;        // disk: the logical position
    int64_t buf_start = 0;  // disk: file offset of buf[0]
    size_t buf_len = 0;     // disk: valid bytes in buf
    unsigned char* buf = nullptr;
};

void free_stream(package_stream* s) {
    if (s->disk) plat_close(s->disk);
    if (s->mem) mclose(s->mem);
    std::free(s->buf);
    delete s;
}

voidpf ZCALLBACK pkg_open(voidpf, const void* filename, int mode) {
    // The package is only ever read.
    if (!filename || (mode & ZLIB_FILEFUNC_MODE_READWRITEFILTER) != ZLIB_FILEFUNC_MODE_READ) return nullptr;
    package_stream* s = new (std::nothrow) package_stream;
    if (!s) return nullptr;
    const char* name = static_cast<const char*>(filename);
    if (g_package_on_disk) {
        // A folder opens on some systems but cannot be read as a package.
        if (plat_path_kind(name) != PLAT_DIR) s->disk = plat_open(name, PLAT_READ);
        if (s->disk) {
            s->buf = static_cast<unsigned char*>(std::malloc(PKG_BUFFER));
            if (!s->buf || plat_seek(s->disk, 0, 2) != 0 || (s->size = plat_tell(s->disk)) < 0 ||
                plat_seek(s->disk, 0, 0) != 0) {
                free_stream(s);
                return nullptr;
            }
        }
    } else {
        s->mem = mopen(name, "rb");
    }
    if (!s->disk && !s->mem) {
        free_stream(s);
        return nullptr;
    }
    return s;
}

// Reads from the disk file at the logical position, through the buffer.
size_t disk_read(package_stream* s, unsigned char* out, size_t n) {
    size_t done = 0;
    while (done < n && s->pos < s->size) {
        if (s->pos >= s->buf_start && s->pos < s->buf_start + static_cast<int64_t>(s->buf_len)) {
            size_t off = static_cast<size_t>(s->pos - s->buf_start);
            size_t take = std::min(n - done, s->buf_len - off);
            std::memcpy(out + done, s->buf + off, take);
            done += take;
            s->pos += static_cast<int64_t>(take);
            continue;
        }
        if (plat_seek(s->disk, s->pos, 0) != 0) {
            s->error = true;
            break;
        }
        if (n - done >= PKG_BUFFER) {
            // A large read goes straight to the caller.
            size_t got = plat_read(s->disk, out + done, n - done);
            if (got == 0) break;
            done += got;
            s->pos += static_cast<int64_t>(got);
            continue;
        }
        s->buf_start = s->pos;
        s->buf_len = plat_read(s->disk, s->buf, PKG_BUFFER);
        if (s->buf_len == 0) break;
    }
    return done;
}

uLong ZCALLBACK pkg_read(voidpf, voidpf stream, void* buf, uLong size) {
    package_stream* s = static_cast<package_stream*>(stream);
    size_t n = s->disk ? disk_read(s, static_cast<unsigned char*>(buf), size) : mread(buf, 1, size, s->mem);
    return static_cast<uLong>(n);
}

uLong ZCALLBACK pkg_write(voidpf, voidpf stream, const void*, uLong) {
    static_cast<package_stream*>(stream)->error = true;
    return 0;
}

ZPOS64_T ZCALLBACK pkg_tell(voidpf, voidpf stream) {
    package_stream* s = static_cast<package_stream*>(stream);
    int64_t pos = s->disk ? s->pos : mtell(s->mem);
    if (pos < 0) {
        s->error = true;
        return static_cast<ZPOS64_T>(-1);
    }
    return static_cast<ZPOS64_T>(pos);
}

long ZCALLBACK pkg_seek(voidpf, voidpf stream, ZPOS64_T offset, int origin) {
    package_stream* s = static_cast<package_stream*>(stream);
    int whence;
    switch (origin) {
    case ZLIB_FILEFUNC_SEEK_SET: whence = 0; break;
    case ZLIB_FILEFUNC_SEEK_CUR: whence = 1; break;
    case ZLIB_FILEFUNC_SEEK_END: whence = 2; break;
    default: return -1;
    }
    // minizip passes negative offsets from the end as large unsigned values.
    int64_t off = static_cast<int64_t>(offset);
    if (s->mem) return mseek(s->mem, off, whence) == 0 ? 0 : -1;
    int64_t base = whence == 0 ? 0 : whence == 1 ? s->pos : s->size;
    int64_t target = base + off;
    if (target < 0) return -1;
    s->pos = target;
    return 0;
}

int ZCALLBACK pkg_close(voidpf, voidpf stream) {
    free_stream(static_cast<package_stream*>(stream));
    return 0;
}

int ZCALLBACK pkg_error(voidpf, voidpf stream) {
    return static_cast<package_stream*>(stream)->error ? 1 : 0;
}

// minizip's "open" of a stream opened beforehand: the package's name is
// the stream itself, so that the directory checks and minizip read one open
// file.  minizip closes it (pkg_close) when the package is closed, also when
// it cannot be read as a package.
voidpf ZCALLBACK pkg_adopt(voidpf, const void* stream, int) { return const_cast<void*>(stream); }

unzFile open_stream_package(package_stream* s) {
    zlib_filefunc64_def ff;
    ff.zopen64_file = pkg_adopt;
    ff.zread_file = pkg_read;
    ff.zwrite_file = pkg_write;
    ff.ztell64_file = pkg_tell;
    ff.zseek64_file = pkg_seek;
    ff.zclose_file = pkg_close;
    ff.zerror_file = pkg_error;
    ff.opaque = nullptr;
    return unzOpen2_64(s, &ff);
}

package_stream* open_stream(const char* path) {
    return static_cast<package_stream*>(pkg_open(nullptr, path, ZLIB_FILEFUNC_MODE_READ));
}

unzFile open_package(const char* path) {
    zlib_filefunc64_def ff;
    ff.zopen64_file = pkg_open;
    ff.zread_file = pkg_read;
    ff.zwrite_file = pkg_write;
    ff.ztell64_file = pkg_tell;
    ff.zseek64_file = pkg_seek;
    ff.zclose_file = pkg_close;
    ff.zerror_file = pkg_error;
    ff.opaque = nullptr;
    return unzOpen2_64(path, &ff);
}

// ---------------------------------------------------------------------------
// Member names
// ---------------------------------------------------------------------------

bool is_sep(char c) { return c == '/' || c == '\\'; }

// True when a member written below the destination could land outside it:
// an absolute name, a drive letter or stream name (any ':'), or a ".."
// component.
bool name_escapes(const char* name) {
    if (!*name) return false;
    if (is_sep(name[0])) return true;
    if (std::strchr(name, ':')) return true;
    const char* p = name;
    while (*p) {
        const char* end = p;
        while (*end && !is_sep(*end)) ++end;
        if (end - p == 2 && p[0] == '.' && p[1] == '.') return true;
        p = *end ? end + 1 : end;
    }
    return false;
}

// The member name with both separators turned into the platform's.
std::string native_relative(const char* name) {
    std::string s(name);
    for (char& c : s)
        if (is_sep(c)) c = plat_separator();
    return s;
}

// The DOS time of a member as a file time (local time).
void set_disk_time(const std::string& path, const tm_unz& t) {
    std::tm tm{};
    tm.tm_sec = static_cast<int>(t.tm_sec);
    tm.tm_min = static_cast<int>(t.tm_min);
    tm.tm_hour = static_cast<int>(t.tm_hour);
    tm.tm_mday = static_cast<int>(t.tm_mday);
    tm.tm_mon = static_cast<int>(t.tm_mon);
    tm.tm_year = static_cast<int>(t.tm_year) - 1900;
    tm.tm_isdst = -1;
    std::time_t tt = std::mktime(&tm);
    if (tt == static_cast<std::time_t>(-1)) return;
    // The time is a courtesy; the member itself is written.
    plat_set_file_time(path.c_str(), static_cast<int64_t>(tt));
}

// ---------------------------------------------------------------------------
// Members
// ---------------------------------------------------------------------------

struct member_output {
    plat_file* disk = nullptr;
    Mfile* mem = nullptr;
};

// Creates the output of one member; nullptr-filled on failure.
member_output create_output(int mode, const std::string& dest, const char* name, std::string* disk_path) {
    member_output out;
    if (mode == ORB_UNZIP_MEMORY) {
        // A memory file either opens or not: retrying or creating folders
        // cannot change that.
        out.mem = mopen(name, "wb");
        return out;
    }
    *disk_path = dest + plat_separator() + native_relative(name);
    for (int attempt = 0; attempt < 102; ++attempt) {
        if (attempt > 0) {
            // Create the member's folders below the destination.
            size_t cut = disk_path->find_last_of(plat_separator());
            if (cut != std::string::npos && cut > dest.size()) orb_make_dirs(disk_path->substr(0, cut).c_str());
        }
        out.disk = plat_open(disk_path->c_str(), PLAT_WRITE);
        if (out.disk) break;
    }
    return out;
}

// The members a caller inflates later (orb_unzip_package_open), by name:
// where each stands in the directory.
struct later_members {
    member_choice choice;  // filter nullptr: none
    std::unordered_map<std::string, unz64_file_pos> at;
    std::vector<std::string> order;  // directory order
    bool wanted(const char* name) const { return choice.filter && choice.filter(name, choice.arg); }
};

// The bytes a member may be given beforehand: its declared size, as far as
// its compressed data could inflate to it (deflate reaches about 1032:1), so
// that a directory that overstates a size gains nothing by it.
int64_t reservation(const unz_file_info64& info) {
    uint64_t most = info.compression_method == 0 ? info.compressed_size : info.compressed_size * 1032 + 1024;
    return static_cast<int64_t>(std::min<uint64_t>(std::min<uint64_t>(info.uncompressed_size, most), INT32_MAX));
}

int unzip_member(int mode, unzFile uf, const std::string& dest, int capacity, int* count, char** table,
                 inflate_budget& budget, const member_choice& choice, later_members& later) {
    unz_file_info64 info;
    char name[ORB_ZIP_NAME_MAX + 1];
    int rc = unzGetCurrentFileInfo64(uf, &info, name, sizeof name, nullptr, 0, nullptr, 0);
    if (rc != UNZ_OK) return rc;
    if (info.size_filename > ORB_ZIP_NAME_MAX) return -9;
    name[info.size_filename] = '\0';
    // A member the caller leaves out is never inflated.
    if (!choice.wanted(name)) return 0;

    char* piece = static_cast<char*>(std::malloc(ORB_ZIP_PIECE));
    if (!piece) return -104;

    // A folder member: the name is empty after its last separator.
    size_t len = std::strlen(name);
    if (len == 0 || is_sep(name[len - 1])) {
        if (mode != ORB_UNZIP_MEMORY && len > 0) {
            std::string folder = dest + plat_separator() + native_relative(name);
            folder.pop_back();
            orb_make_dirs(folder.c_str());
        }
        std::free(piece);
        return 0;
    }

    // Encrypted members need a password, which is never given.
    if ((info.flag & 1) != 0 || unzOpenCurrentFile(uf) != UNZ_OK) {
        std::free(piece);
        return -1;
    }

    // A member left for later: named now, inflated when the caller asks
    // (its header was read, so it opens then as it opened now).
    if (later.wanted(name)) {
        unzCloseCurrentFile(uf);
        std::free(piece);
        if (*count >= capacity || len > ORB_ZIP_NAME_MAX) return -9;
        unz64_file_pos pos;
        if (unzGetFilePos64(uf, &pos) != UNZ_OK) return ORB_ZIP_BAD_DIRECTORY;
        try {
            // A name given twice is read twice, with the content of the
            // later member, as a memory file of that name would hold it.
            auto at = later.at.find(name);
            if (at == later.at.end()) {
                later.at.emplace(name, pos);
                later.order.emplace_back(name);
            } else {
                at->second = pos;
            }
        } catch (const std::bad_alloc&) {
            return -2;
        }
        std::memcpy(table[*count], name, len + 1);
        ++*count;
        return 0;
    }

    std::string disk_path;
    member_output out = create_output(mode, dest, name, &disk_path);
    if (!out.disk && !out.mem) {
        unzCloseCurrentFile(uf);
        std::free(piece);
        return -101;
    }

    // Sized from its header: a large member is not grown step by step.
    if (out.mem) mreserve(out.mem, reservation(info));

    auto close_output = [&]() {
        if (out.mem) {
            mclose(out.mem);
        } else {
            plat_close(out.disk);
            set_disk_time(disk_path, info.tmu_date);
        }
    };

    if (*count < capacity && len <= ORB_ZIP_NAME_MAX) {
        std::memcpy(table[*count], name, len + 1);
        ++*count;
    } else {
        close_output();
        unzCloseCurrentFile(uf);
        std::free(piece);
        return -9;
    }

    int result = 0;
    int64_t produced = 0;
    for (;;) {
        int n = unzReadCurrentFile(uf, piece, ORB_ZIP_PIECE);
        if (n < 0) {
            result = n;
            break;
        }
        if (n == 0) break;
        if (orb_cancelled()) {
            result = ORB_CANCELLED;
            break;
        }
        // Counted before the bytes are kept: the limits are never passed.
        produced += n;
        budget.used += n;
        if (produced > budget.member || budget.used > budget.total) {
            g_over_budget = true;
            result = -2;
            break;
        }
        if (out.mem) {
            if (mwrite(piece, static_cast<size_t>(n), 1, out.mem) != 1) {
                result = -2;
                break;
            }
        } else if (plat_write(out.disk, piece, static_cast<size_t>(n)) != static_cast<size_t>(n)) {
            result = -1;
            break;
        }
    }
    // A member that ends before the size its directory entry declares is
    // damaged: minizip checks the CRC only of a member read to that size.
    if (result == 0 && static_cast<uint64_t>(produced) != info.uncompressed_size) result = UNZ_BADZIPFILE;
    close_output();
    std::free(piece);
    int close_rc = unzCloseCurrentFile(uf);
    return result != 0 ? result : close_rc;
}

// ---------------------------------------------------------------------------
// The central directory
// ---------------------------------------------------------------------------
//
// A package is read whole or refused: before any member is written, every
// entry of its central directory is read (the names, the declared sizes),
// and the entries must fill the directory that the end record describes.
// A directory that breaks off after some entries, or an end record that
// counts fewer entries than the directory holds, would otherwise give the
// members before the break as if they were the whole document.  This is
// apart from a member that is damaged itself (a wrong CRC, data that ends
// early), which is found when that member is inflated.

// Where minizip takes the directory from: the record it reads (the Zip64
// end record when a locator points at one, else the classic end record) and
// the directory's size that record gives.
struct directory_end {
    int64_t record = 0;  // file offset of the end record used
    uint64_t size = 0;   // bytes of the central directory
};

uint32_t le32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}
uint64_t le64(const unsigned char* p) { return le32(p) | static_cast<uint64_t>(le32(p + 4)) << 32; }

// Reads n bytes at offset through the package's own file functions.
bool read_at(package_stream* s, int64_t offset, unsigned char* out, size_t n) {
    if (offset < 0 || pkg_seek(nullptr, s, static_cast<ZPOS64_T>(offset), ZLIB_FILEFUNC_SEEK_SET) != 0) return false;
    return pkg_read(nullptr, s, out, static_cast<uLong>(n)) == n;
}

// The last occurrence of the 4-byte signature within the file's last 64 KiB,
// as minizip searches it; -1 when there is none.
int64_t find_last_signature(package_stream* s, int64_t file_size, uint32_t signature) {
    const int64_t back = std::min<int64_t>(file_size, 0xFFFF);
    std::vector<unsigned char> tail(static_cast<size_t>(back));
    if (back < 4 || !read_at(s, file_size - back, tail.data(), tail.size())) return -1;
    for (int64_t i = back - 4; i >= 0; --i)
        if (le32(&tail[static_cast<size_t>(i)]) == signature) return file_size - back + i;
    return -1;
}

bool read_directory_end(package_stream* s, directory_end& out) {
    bool found = false;
    try {
        pkg_seek(nullptr, s, 0, ZLIB_FILEFUNC_SEEK_END);
        const int64_t file_size = static_cast<int64_t>(pkg_tell(nullptr, s));
        unsigned char rec[56];
        int64_t locator = find_last_signature(s, file_size, 0x07064b50);
        if (locator >= 0 && read_at(s, locator, rec, 20)) {
            int64_t at = static_cast<int64_t>(le64(rec + 8));
            if (read_at(s, at, rec, 56) && le32(rec) == 0x06064b50) {
                out.record = at;
                out.size = le64(rec + 40);
                found = true;
            }
        }
        if (!found) {
            int64_t at = find_last_signature(s, file_size, 0x06054b50);
            if (at >= 0 && read_at(s, at, rec, 22)) {
                out.record = at;
                out.size = le32(rec + 12);
                found = true;
            }
        }
    } catch (const std::bad_alloc&) {
        found = false;
    }
    return found;
}

// True when another directory entry follows the last one walked: the end
// record counts fewer entries than the directory holds.  (minizip seeks
// before each of its reads, so reading the stream here does not disturb it.)
bool entries_left_over(package_stream* s, const directory_end* end, uint64_t walked) {
    if (!end || walked >= end->size) return false;
    unsigned char sig[4];
    return read_at(s, end->record - static_cast<int64_t>(end->size) + static_cast<int64_t>(walked), sig, 4) &&
           le32(sig) == 0x02014b50;
}

// Walks every entry of the directory before anything is written: -9 for a
// table too small for the declared entries, a name over 256 bytes or (disk
// mode) a name that would land outside the destination; -2 when the declared
// sizes of the members the caller wants pass the bounds; ORB_ZIP_BAD_DIRECTORY when an entry cannot be read
// or entries are left unread; else 0, positioned at the first entry.
int check_directory(unzFile uf, package_stream* stream, const directory_end* end, int mode, int capacity,
                    const inflate_budget& budget, const member_choice& choice) {
    unz_global_info64 gi;
    int rc = unzGetGlobalInfo64(uf, &gi);
    if (rc != UNZ_OK) return ORB_ZIP_BAD_DIRECTORY;
    // The caller may grow its table to the declared count at once instead
    // of retrying step by step (orb_zip_declared_members).
    g_declared_members = static_cast<int>(std::min<ZPOS64_T>(gi.number_entry, INT32_MAX));
    if (gi.number_entry >= static_cast<ZPOS64_T>(capacity)) return -9;
    uint64_t sum = 0, walked = 0;
    rc = unzGoToFirstFile(uf);
    for (ZPOS64_T i = 0; i < gi.number_entry; ++i) {
        if (rc != UNZ_OK) return ORB_ZIP_BAD_DIRECTORY;
        unz_file_info64 info;
        char name[ORB_ZIP_NAME_MAX + 1];
        if (unzGetCurrentFileInfo64(uf, &info, name, sizeof name, nullptr, 0, nullptr, 0) != UNZ_OK)
            return ORB_ZIP_BAD_DIRECTORY;
        if (info.size_filename > ORB_ZIP_NAME_MAX) return -9;
        name[info.size_filename] = '\0';
        if (mode != ORB_UNZIP_MEMORY && name_escapes(name)) return -9;
        if (choice.wanted(name)) {
            if (info.uncompressed_size > static_cast<uint64_t>(budget.member)) return -2;
            sum += info.uncompressed_size;
            if (sum > static_cast<uint64_t>(budget.total)) return -2;
        }
        walked += 46 + info.size_filename + info.size_file_extra + info.size_file_comment;
        if (i + 1 < gi.number_entry) rc = unzGoToNextFile(uf);
    }
    if (entries_left_over(stream, end, walked)) return ORB_ZIP_BAD_DIRECTORY;
    return gi.number_entry == 0 ? 0 : unzGoToFirstFile(uf) == UNZ_OK ? 0 : ORB_ZIP_BAD_DIRECTORY;
}

int unzip_members(int mode, unzFile uf, const std::string& dest, int capacity, int* count, char** table,
                  const member_choice& choice, inflate_budget& budget, later_members& later) {
    unz_global_info64 gi;
    if (unzGetGlobalInfo64(uf, &gi) != UNZ_OK) return ORB_ZIP_BAD_DIRECTORY;
    for (ZPOS64_T i = 0; i < gi.number_entry; ++i) {
        int rc = unzip_member(mode, uf, dest, capacity, count, table, budget, choice, later);
        if (rc != 0) return rc;
        if (i + 1 < gi.number_entry && unzGoToNextFile(uf) != UNZ_OK) return ORB_ZIP_BAD_DIRECTORY;
    }
    return 0;
}

// Opens the package once, reads and checks its whole directory and unpacks
// the members chosen; *uf stays open on success.
int open_and_unpack(int mode, const char* package, const char* dest, int* count, char** table,
                    const member_choice& choice, inflate_budget& budget, later_members& later, unzFile* uf) {
    *uf = nullptr;
    if (!count || !package) return -3;
    int capacity = *count;
    if (capacity < 1 || !table) return -3;
    if (mode != ORB_UNZIP_MEMORY && (!dest || !*dest)) return -3;
    *count = 0;
    g_over_budget = false;
    g_declared_members = 0;

    package_stream* stream = open_stream(package);
    if (!stream) return -101;
    directory_end end;
    const bool has_end = read_directory_end(stream, end);
    unzFile f = open_stream_package(stream);  // minizip owns the stream now
    if (!f) return -101;

    // The whole directory is read before anything is written or removed.
    member_choice checked = choice;
    if (later.choice.filter) {
        // Members left for later count against the limits as well.
        checked.filter = [](const char* name, void* arg) {
            auto* both = static_cast<std::pair<const member_choice*, const later_members*>*>(arg);
            return both->first->wanted(name) || both->second->wanted(name);
        };
    }
    std::pair<const member_choice*, const later_members*> both{&choice, &later};
    if (later.choice.filter) checked.arg = &both;
    int rc = check_directory(f, stream, has_end ? &end : nullptr, mode, capacity, budget, checked);
    if (rc != 0) {
        if (rc == -2) g_over_budget = true;
        unzClose(f);
        return rc;
    }
    std::string folder;
    if (mode != ORB_UNZIP_MEMORY) {
        folder = dest;
        while (folder.size() > 1 && plat_is_separator(folder.back())) folder.pop_back();
        orb_remove_tree(folder.c_str());
        orb_make_dir(folder.c_str());
    }
    rc = unzip_members(mode, f, folder, capacity, count, table, choice, budget, later);
    if (rc != 0) {
        unzClose(f);
        return rc;
    }
    *uf = f;
    return 0;
}

}  // namespace

int orb_grow_slots(char*** table, int needed, int* capacity, int used, int slot_size, int step) {
    if (!table || !capacity || slot_size < 1 || step < 1 || needed < 0 || used < 0 || *capacity < 0 ||
        used > *capacity)
        return -3;
    if (needed < *capacity) return 0;
    int64_t grown = *capacity;
    while (grown <= needed) grown += step;
    if (grown > INT32_MAX / 2) return -2;
    int new_cap = static_cast<int>(grown);
    char** fresh = static_cast<char**>(std::calloc(static_cast<size_t>(new_cap), sizeof(char*)));
    if (!fresh) return -2;
    for (int i = 0; i < new_cap; ++i) {
        fresh[i] = static_cast<char*>(std::calloc(1, static_cast<size_t>(slot_size)));
        if (!fresh[i]) {
            orb_free_slots(fresh, i);
            return -2;
        }
    }
    char** old = *table;
    for (int i = 0; i < used && old; ++i) std::memcpy(fresh[i], old[i], static_cast<size_t>(slot_size));
    orb_free_slots(old, *capacity);
    *table = fresh;
    *capacity = new_cap;
    return 0;
}

int orb_free_slots(char** table, int capacity) {
    if (!table) return 0;
    for (int i = 0; i < capacity; ++i) std::free(table[i]);
    std::free(table);
    return 0;
}

int orb_unzip_package(int mode, const char* package, const char* dest, int* count, char** table) {
    return orb_unzip_package_if(mode, package, dest, count, table, nullptr, nullptr);
}

int orb_unzip_package_if(int mode, const char* package, const char* dest, int* count, char** table,
                         orb_member_filter filter, void* arg) {
    inflate_budget budget;
    later_members none;
    unzFile uf = nullptr;
    int rc = open_and_unpack(mode, package, dest, count, table, member_choice{filter, arg}, budget, none, &uf);
    if (uf) unzClose(uf);
    return rc;
}

struct orb_package {
    unzFile uf = nullptr;
    inflate_budget budget;
    later_members later;
    std::unordered_set<std::string> read;  // later members inflated to their end
};

int orb_unzip_package_open(const char* package, int* count, char** table, orb_member_filter later, void* arg,
                           orb_package** out) {
    if (!out) return -3;
    *out = nullptr;
    orb_package* pkg = new (std::nothrow) orb_package;
    if (!pkg) return -2;
    pkg->later.choice = member_choice{later, arg};
    int rc;
    try {
        rc = open_and_unpack(ORB_UNZIP_MEMORY, package, "", count, table, member_choice{}, pkg->budget, pkg->later,
                             &pkg->uf);
    } catch (const std::bad_alloc&) {
        rc = -2;
    }
    if (rc != 0) {
        orb_package_close(pkg);
        return rc;
    }
    *out = pkg;
    return 0;
}

namespace {

// Inflates a later member into the sink (nullptr: only read and checked).
// The sink's own non-zero result ends the feeding; the member is then read
// to its end all the same, so that a damaged member is reported as such.
int stream_member(orb_package* pkg, const std::string& name, orb_member_sink* sink) {
    auto it = pkg->later.at.find(name);
    if (it == pkg->later.at.end()) return -1;
    unzFile uf = pkg->uf;
    unz_file_info64 info;
    if (unzGoToFilePos64(uf, &it->second) != UNZ_OK ||
        unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK)
        return ORB_ZIP_BAD_DIRECTORY;
    if ((info.flag & 1) != 0 || unzOpenCurrentFile(uf) != UNZ_OK) return -1;
    inflate_budget& budget = pkg->budget;
    int result = 0, sink_result = 0;
    int64_t produced = 0;
    char scratch[ORB_ZIP_PIECE];
    for (;;) {
        char* room = sink && sink_result == 0 ? sink->space(ORB_ZIP_PIECE) : scratch;
        if (!room) {
            result = -2;
            break;
        }
        int n = unzReadCurrentFile(uf, room, ORB_ZIP_PIECE);
        if (n < 0) {
            result = n;
            break;
        }
        if (n == 0) break;
        if (orb_cancelled()) {
            result = ORB_CANCELLED;
            break;
        }
        produced += n;
        budget.used += n;
        if (produced > budget.member || budget.used > budget.total) {
            g_over_budget = true;
            result = -2;
            break;
        }
        if (room != scratch) sink_result = sink->add(static_cast<size_t>(n));
    }
    if (result == 0 && static_cast<uint64_t>(produced) != info.uncompressed_size) result = UNZ_BADZIPFILE;
    int close_rc = unzCloseCurrentFile(uf);
    if (result == 0) result = close_rc;
    if (result == 0) {
        try {
            pkg->read.insert(name);
        } catch (const std::bad_alloc&) {
            return -2;
        }
    }
    return result != 0 ? result : sink_result;
}

}  // namespace

int orb_package_stream(orb_package* pkg, const char* name, orb_member_sink& sink) {
    if (!pkg || !pkg->uf || !name) return -3;
    try {
        return stream_member(pkg, name, &sink);
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

int orb_package_check_later(orb_package* pkg) {
    if (!pkg || !pkg->uf) return -3;
    try {
        for (const std::string& name : pkg->later.order) {
            if (pkg->read.count(name)) continue;
            int rc = stream_member(pkg, name, nullptr);
            if (rc != 0) return rc;
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return 0;
}

void orb_package_close(orb_package* pkg) {
    if (!pkg) return;
    if (pkg->uf) unzClose(pkg->uf);
    delete pkg;
}

bool orb_zip_over_budget() { return g_over_budget; }

int orb_zip_declared_members() { return g_declared_members; }

void orb_zip_set_limits(int64_t total, int64_t member) {
    g_budget_override = total > 0 ? total : 0;
    g_member_override = member > 0 ? member : 0;
}

int orb_zip_read_member(const char* package, const char* name, std::string& out, int64_t limit) {
    out.clear();
    if (!package || !name) return -3;
    unzFile uf = open_package(package);
    if (!uf) return -101;
    int result = 0;
    unz_file_info64 info;
    if (unzLocateFile(uf, name, 2) != UNZ_OK ||
        unzGetCurrentFileInfo64(uf, &info, nullptr, 0, nullptr, 0, nullptr, 0) != UNZ_OK || (info.flag & 1) != 0) {
        result = -1;
    } else if (info.uncompressed_size > static_cast<uint64_t>(limit)) {
        result = -2;
    } else if (unzOpenCurrentFile(uf) != UNZ_OK) {
        result = -1;
    } else {
        try {
            out.reserve(static_cast<size_t>(info.uncompressed_size));
            char piece[ORB_ZIP_PIECE];
            for (;;) {
                int n = unzReadCurrentFile(uf, piece, sizeof piece);
                if (n < 0) {
                    result = n;
                    break;
                }
                if (n == 0) break;
                if (static_cast<int64_t>(out.size()) + n > limit) {
                    result = -2;
                    break;
                }
                out.append(piece, static_cast<size_t>(n));
            }
        } catch (const std::bad_alloc&) {
            result = -2;
        }
        if (result == 0 && out.size() != info.uncompressed_size) result = UNZ_BADZIPFILE;
        int close_rc = unzCloseCurrentFile(uf);
        if (result == 0) result = close_rc;
    }
    unzClose(uf);
    if (result != 0) out.clear();
    return result;
}

extern "C" int orb_zip_on_memory(int flag) {
    g_package_on_disk = flag;
    return 0;
}

std::string orb_package_target(std::string_view folder, std::string_view target) {
    std::vector<std::string> parts;
    auto push = [&](std::string_view path) {
        size_t b = 0;
        while (b <= path.size()) {
            size_t e = path.find('/', b);
            if (e == std::string_view::npos) e = path.size();
            std::string_view seg = path.substr(b, e - b);
            if (seg == "..") {
                if (!parts.empty()) parts.pop_back();
            } else if (!seg.empty() && seg != ".") {
                parts.emplace_back(seg);
            }
            b = e + 1;
        }
    };
    if (target.empty() || target[0] != '/') push(folder);
    push(target);
    std::string out;
    for (size_t i = 0; i < parts.size(); ++i) {
        if (i) out += '/';
        out += parts[i];
    }
    return out;
}

