// The platform layer on POSIX systems: paths are UTF-8, "/" separates them,
// code page 932 is reached through iconv.
#include <dirent.h>
#include <errno.h>
#include <fcntl.h>
#include <iconv.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "platform.h"

extern char** environ;

// ---------------------------------------------------------------------------
// Path conventions

char plat_separator() { return '/'; }
bool plat_is_separator(char c) { return c == '/'; }
int plat_path_charset() { return 3; }
bool plat_is_absolute(const char* path) { return path && path[0] == '/'; }

// ---------------------------------------------------------------------------
// Files

struct plat_file {
    int fd;
};

plat_file* plat_open(const char* path, int mode) {
    int flags;
    switch (mode) {
    case PLAT_READ: flags = O_RDONLY; break;
    case PLAT_WRITE: flags = O_WRONLY | O_CREAT | O_TRUNC; break;
    case PLAT_APPEND: flags = O_WRONLY | O_CREAT; break;
    case PLAT_READWRITE: flags = O_RDWR | O_CREAT; break;
    case PLAT_CREATE: flags = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW; break;
    default: return nullptr;
    }
    int fd = ::open(path, flags | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
    if (mode == PLAT_APPEND && lseek(fd, 0, SEEK_END) < 0) {
        ::close(fd);
        return nullptr;
    }
    plat_file* f = new (std::nothrow) plat_file{fd};
    if (!f) ::close(fd);
    return f;
}

int plat_close(plat_file* f) {
    if (!f) return 0;
    // close() may report a write that failed late (a full disk over NFS);
    // EINTR leaves the descriptor closed on Linux.
    int rc = ::close(f->fd) == 0 || errno == EINTR ? 0 : -1;
    delete f;
    return rc;
}

size_t plat_read(plat_file* f, void* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::read(f->fd, static_cast<char*>(buf) + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<size_t>(r);
    }
    return done;
}

size_t plat_write(plat_file* f, const void* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        ssize_t r = ::write(f->fd, static_cast<const char*>(buf) + done, n - done);
        if (r < 0 && errno == EINTR) continue;
        if (r <= 0) break;
        done += static_cast<size_t>(r);
    }
    return done;
}

int plat_seek(plat_file* f, int64_t offset, int origin) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : -1;
    if (whence < 0) return -1;
    return lseek(f->fd, static_cast<off_t>(offset), whence) < 0 ? -1 : 0;
}

int64_t plat_tell(plat_file* f) { return lseek(f->fd, 0, SEEK_CUR); }

int plat_file_size(const char* path, int64_t* size) {
    int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return -101;
    struct stat st;
    int rc = fstat(fd, &st);
    ::close(fd);
    if (rc != 0 || S_ISDIR(st.st_mode)) return -1;
    *size = st.st_size;
    return 0;
}

// ---------------------------------------------------------------------------
// Folders

plat_kind plat_path_kind(const char* path) {
    struct stat st;
    if (lstat(path, &st) != 0) return PLAT_NONE;
    if (S_ISLNK(st.st_mode)) return PLAT_LINK;
    if (S_ISDIR(st.st_mode)) return PLAT_DIR;
    if (S_ISREG(st.st_mode)) return PLAT_FILE;
    return PLAT_OTHER;
}

int plat_make_dir(const char* path) {
    if (mkdir(path, 0777) == 0) return 0;
    if (errno == EEXIST && plat_path_kind(path) == PLAT_DIR) return 1;
    return -1;
}

int plat_make_run_dir(const char* base, std::string& out) {
    if (!base || !*base) return -1;
    std::string tmpl = base;
    if (tmpl.back() != '/') tmpl += '/';
    tmpl += "Vergle-XXXXXX";
    // mkdtemp creates the folder exclusively with mode 0700 and a random name.
    if (!mkdtemp(&tmpl[0])) return -1;
    out = tmpl;
    return 0;
}

bool plat_same_file_name(const std::string& a, const std::string& b) { return a == b; }

int plat_remove_file(const char* path) { return unlink(path) == 0 ? 0 : -1; }

int plat_remove_dir(const char* path) { return rmdir(path) == 0 ? 0 : -1; }

int plat_list_dir(const char* path, std::vector<plat_dirent>& out) {
    out.clear();
    DIR* d = opendir(path);
    if (!d) return -1;
    std::string base = path;
    if (!base.empty() && base.back() != '/') base += '/';
    while (dirent* e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        out.push_back({e->d_name, plat_path_kind((base + e->d_name).c_str())});
    }
    closedir(d);
    return 0;
}

namespace {

// Removes the contents of the folder open as dirfd, relative to it, so that
// a folder swapped for a link while we work cannot redirect the removal.
int remove_below(int dirfd) {
    DIR* d = fdopendir(dirfd);
    if (!d) {
        ::close(dirfd);
        return -1;
    }
    int rc = 0;
    std::vector<std::string> names;
    while (dirent* e = readdir(d)) {
        if (!strcmp(e->d_name, ".") || !strcmp(e->d_name, "..")) continue;
        names.push_back(e->d_name);
    }
    for (const std::string& name : names) {
        struct stat st;
        if (fstatat(dirfd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISDIR(st.st_mode)) {
            int sub = openat(dirfd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0 || remove_below(sub) != 0) rc = -1;
            if (unlinkat(dirfd, name.c_str(), AT_REMOVEDIR) != 0) rc = -1;
        } else if (unlinkat(dirfd, name.c_str(), 0) != 0) {
            rc = -1;
        }
    }
    closedir(d);  // closes dirfd
    return rc;
}

}  // namespace

int plat_remove_tree(const char* path) {
    switch (plat_path_kind(path)) {
    case PLAT_NONE: return 0;
    case PLAT_DIR: break;
    default: return unlink(path) == 0 ? 0 : -1;  // a file or a link: only itself
    }
    int fd = ::open(path, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0) return -1;
    int rc = remove_below(fd);
    if (rmdir(path) != 0) rc = -1;
    return rc;
}

// ---------------------------------------------------------------------------
// Process environment

int plat_get_cwd(std::string& out) {
    char buf[PATH_MAX];
    if (!getcwd(buf, sizeof buf)) return -1;
    out = buf;
    return 0;
}

int plat_set_cwd(const char* path) { return chdir(path) == 0 ? 0 : -1; }

int plat_module_path(std::string& out) {
    char buf[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return -1;
    buf[n] = 0;
    out = buf;
    return 0;
}

bool plat_getenv(const char* name, std::string& out) {
    const char* v = getenv(name);
    if (!v) return false;
    out = v;
    return true;
}

void plat_setenv(const char* name, const char* value) {
    if (value) {
        setenv(name, value, 1);
    } else {
        unsetenv(name);
    }
}

int plat_run_and_wait(const char* program, const char* a1, const char* a2, int* exit_code) {
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(a1), const_cast<char*>(a2), nullptr};
    pid_t pid;
    if (!program || !*program) return -1;
    if (posix_spawnp(&pid, program, nullptr, nullptr, argv, environ) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) return -1;
    }
    // glibc reports a failed exec as exit status 127 of the child.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && !strchr(program, '/')) {
        // Tell "not found in PATH" apart from a program that returned 127.
        std::string path;
        bool found = false;
        if (plat_getenv("PATH", path)) {
            size_t start = 0;
            while (start <= path.size()) {
                size_t end = path.find(':', start);
                if (end == std::string::npos) end = path.size();
                std::string dir = path.substr(start, end - start);
                if (dir.empty()) dir = ".";
                if (access((dir + "/" + program).c_str(), X_OK) == 0) {
                    found = true;
                    break;
                }
                start = end + 1;
            }
        }
        if (!found) return -1;
    }
    if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return 0;
}

bool plat_stdin_is_terminal() { return isatty(0) == 1; }

uint64_t plat_physical_memory() {
    long pages = sysconf(_SC_PHYS_PAGES), size = sysconf(_SC_PAGE_SIZE);
    return pages > 0 && size > 0 ? static_cast<uint64_t>(pages) * static_cast<uint64_t>(size) : 0;
}

void plat_local_time(plat_time* t) {
    time_t now = time(nullptr);
    struct tm tm;
    localtime_r(&now, &tm);
    *t = {tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

// ---------------------------------------------------------------------------
// Code page 932 through iconv.  Windows' conversion services replace an
// unmappable character by '?' and map invalid double-byte sequences to
// U+30FB; iconv stops at them, so we convert one character at a time.  Each
// character is asked of iconv once and remembered, so that converting a
// large workbook costs a table look-up per character.

namespace {

struct iconv_handle {
    iconv_t cd;
    iconv_handle(const char* to, const char* from) : cd(iconv_open(to, from)) {}
    ~iconv_handle() {
        if (cd != (iconv_t)-1) iconv_close(cd);
    }
};

// Remembered answers: 0 = not asked yet; otherwise the answer + 1.
// Encoding: bytes in the low 16 bits (one byte when below 0x100), 0x10000 for
// "unmappable".  Decoding: the UTF-16 unit, 0x10000 for "invalid".
uint32_t enc_cache[65536];
uint32_t dec_cache[65536];  // lead << 8 | trail; single bytes at 0..0xFF

const uint32_t NO_MAPPING = 0x10000;
const uint32_t QUESTION = 0x3F;

// Where Windows' code page 932 and iconv's CP932 differ, Windows decides, so
// that both builds write the same bytes: Windows' best-fit mappings (Latin-1
// letters to their ASCII base, guillemets, superscripts, ...), the characters
// iconv maps but Windows does not (U+2014, U+2016, U+203E, U+2212, U+301C
// give "?"), and the private-use characters of the single bytes 0xA0 and
// 0xFD-0xFF.  Read off Windows' conversion of every code point.
struct cp932_override {
    char16_t unit;
    uint16_t bytes;  // one byte when below 0x100
};
const cp932_override ENCODE_OVERRIDES[] = {
    {0x0080, 0x80}, {0x00A1, 0x21}, {0x00A6, 0x7C}, {0x00A9, 0x63}, {0x00AA, 0x61}, {0x00AB, 0x81E1},
    {0x00AD, 0x2D}, {0x00AE, 0x52}, {0x00AF, 0x8150}, {0x00B2, 0x32}, {0x00B3, 0x33}, {0x00B5, 0x83CA},
    {0x00B7, 0x8145}, {0x00B8, 0x8143}, {0x00B9, 0x31}, {0x00BA, 0x6F}, {0x00BB, 0x81E2}, {0x00C0, 0x41},
    {0x00C1, 0x41}, {0x00C2, 0x41}, {0x00C3, 0x41}, {0x00C4, 0x41}, {0x00C5, 0x41}, {0x00C6, 0x41},
    {0x00C7, 0x43}, {0x00C8, 0x45}, {0x00C9, 0x45}, {0x00CA, 0x45}, {0x00CB, 0x45}, {0x00CC, 0x49},
    {0x00CD, 0x49}, {0x00CE, 0x49}, {0x00CF, 0x49}, {0x00D0, 0x44}, {0x00D1, 0x4E}, {0x00D2, 0x4F},
    {0x00D3, 0x4F}, {0x00D4, 0x4F}, {0x00D5, 0x4F}, {0x00D6, 0x4F}, {0x00D8, 0x4F}, {0x00D9, 0x55},
    {0x00DA, 0x55}, {0x00DB, 0x55}, {0x00DC, 0x55}, {0x00DD, 0x59}, {0x00DE, 0x54}, {0x00DF, 0x73},
    {0x00E0, 0x61}, {0x00E1, 0x61}, {0x00E2, 0x61}, {0x00E3, 0x61}, {0x00E4, 0x61}, {0x00E5, 0x61},
    {0x00E6, 0x61}, {0x00E7, 0x63}, {0x00E8, 0x65}, {0x00E9, 0x65}, {0x00EA, 0x65}, {0x00EB, 0x65},
    {0x00EC, 0x69}, {0x00ED, 0x69}, {0x00EE, 0x69}, {0x00EF, 0x69}, {0x00F0, 0x64}, {0x00F1, 0x6E},
    {0x00F2, 0x6F}, {0x00F3, 0x6F}, {0x00F4, 0x6F}, {0x00F5, 0x6F}, {0x00F6, 0x6F}, {0x00F8, 0x6F},
    {0x00F9, 0x75}, {0x00FA, 0x75}, {0x00FB, 0x75}, {0x00FC, 0x75}, {0x00FD, 0x79}, {0x00FE, 0x74},
    {0x00FF, 0x79}, {0x2014, 0x3F}, {0x2016, 0x3F}, {0x203E, 0x3F}, {0x2212, 0x3F}, {0x301C, 0x3F},
    {0x3094, 0x8394}, {0xF8F0, 0xA0}, {0xF8F1, 0xFD}, {0xF8F2, 0xFE}, {0xF8F3, 0xFF},
};
const cp932_override DECODE_OVERRIDES[] = {
    {0x0080, 0x80}, {0xF8F0, 0xA0}, {0xF8F1, 0xFD}, {0xF8F2, 0xFE}, {0xF8F3, 0xFF},
};

uint32_t encode_one(char16_t c) {
    uint32_t& slot = enc_cache[c];
    if (slot) return slot - 1;
    for (const cp932_override& o : ENCODE_OVERRIDES) {
        if (o.unit == c) {
            uint32_t answer = o.bytes == QUESTION ? NO_MAPPING : o.bytes;
            slot = answer + 1;
            return answer;
        }
    }
    static iconv_handle h("CP932", "UTF-16LE");
    uint32_t answer = NO_MAPPING;
    if (h.cd != (iconv_t)-1 && !(c >= 0xD800 && c <= 0xDFFF)) {
        char* in = reinterpret_cast<char*>(&c);
        size_t inleft = 2;
        unsigned char buf[8];
        char* o = reinterpret_cast<char*>(buf);
        size_t oleft = sizeof buf;
        if (iconv(h.cd, &in, &inleft, &o, &oleft) != (size_t)-1 && inleft == 0) {
            size_t n = sizeof buf - oleft;
            if (n == 1) answer = buf[0];
            if (n == 2) answer = (buf[0] << 8) | buf[1];
        } else {
            iconv(h.cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    slot = answer + 1;
    return answer;
}

uint32_t decode_one(unsigned lead, unsigned trail, bool pair) {
    unsigned key = pair ? (lead << 8 | trail) : lead;
    uint32_t& slot = dec_cache[key];
    if (slot) return slot - 1;
    if (!pair) {
        for (const cp932_override& o : DECODE_OVERRIDES) {
            if (o.bytes == lead) {
                slot = o.unit + 1u;
                return o.unit;
            }
        }
    }
    static iconv_handle h("UTF-16LE", "CP932");
    uint32_t answer = NO_MAPPING;
    if (h.cd != (iconv_t)-1) {
        unsigned char b[2] = {static_cast<unsigned char>(lead), static_cast<unsigned char>(trail)};
        char* in = reinterpret_cast<char*>(b);
        size_t inleft = pair ? 2 : 1;
        char16_t u[4];
        char* o = reinterpret_cast<char*>(u);
        size_t oleft = sizeof u;
        if (iconv(h.cd, &in, &inleft, &o, &oleft) != (size_t)-1 && inleft == 0 && sizeof u - oleft == 2) {
            answer = u[0];
        } else {
            iconv(h.cd, nullptr, nullptr, nullptr, nullptr);
        }
    }
    slot = answer + 1;
    return answer;
}

}  // namespace

bool plat_cp932_to_utf16(const char* src, size_t n, std::u16string& out) {
    out.clear();
    try {
        out.reserve(n);
        const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
        for (size_t i = 0; i < n; ++i) {
            unsigned c = s[i];
            if (c < 0x80) {
                out.push_back(static_cast<char16_t>(c));
                continue;
            }
            bool lead = (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
            uint32_t u = lead && i + 1 < n ? decode_one(c, s[i + 1], true) : decode_one(c, 0, false);
            if (lead && i + 1 < n) ++i;
            out.push_back(u == NO_MAPPING ? char16_t(0x30FB) : static_cast<char16_t>(u));
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool plat_utf16_to_cp932(const char16_t* src, size_t n, std::string& out) {
    out.clear();
    try {
        out.reserve(n * 2);
        for (size_t i = 0; i < n; ++i) {
            char16_t c = src[i];
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
                continue;
            }
            if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
                out += "??";  // nothing outside the BMP is in code page 932; one "?" a unit, as on Windows
                ++i;
                continue;
            }
            uint32_t b = encode_one(c);
            if (b == NO_MAPPING) {
                out.push_back('?');
            } else if (b < 0x100) {
                out.push_back(static_cast<char>(b));
            } else {
                out.push_back(static_cast<char>(b >> 8));
                out.push_back(static_cast<char>(b & 0xFF));
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::string plat_native_from_utf8(const std::string& utf8) { return utf8; }
std::string plat_utf8_from_native(const std::string& native) { return native; }

std::string plat_default_temp_folder() {
    std::string t;
    if (plat_getenv("TMPDIR", t) && !t.empty()) return t;
    return "/tmp";
}

const char* plat_default_diff_program() { return "diff"; }
