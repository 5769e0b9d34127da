// The platform layer on POSIX systems: paths are UTF-8, "/" separates them,
// code page 932 comes from the table of Windows' conversions (cp932_table.h).
#include <dirent.h>
#include <sched.h>
#include <errno.h>
#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <signal.h>
#include <time.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "cp932_table.h"
#include "common/mapping.h"
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
    case PLAT_READ_DOCUMENT: flags = O_RDONLY; break;
    default: return nullptr;
    }
    int fd = ::open(path, flags | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {
        ::close(fd);
        return nullptr;
    }
#ifdef F_SETLEASE
    // A read lease is refused while another program has the file open for
    // writing, and a program that opens it for writing meanwhile waits until
    // it is closed.  The lease's break notice goes out as SIGURG, which is
    // ignored unless asked for (the default SIGIO would end the process).
    // Where there is no lease to be had (another user's file, a file system
    // without leases) the file is read as it is.
    if (mode == PLAT_READ_DOCUMENT && S_ISREG(st.st_mode) && fcntl(fd, F_SETSIG, SIGURG) == 0 &&
        fcntl(fd, F_SETLEASE, F_RDLCK) != 0 && errno == EAGAIN) {
        ::close(fd);
        return nullptr;
    }
#endif
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

plat_check plat_check_readable(const char* path) {
    struct stat st;
    if (stat(path, &st) != 0) return errno == EACCES ? PLAT_CHECK_DENIED : PLAT_CHECK_MISSING;
    if (S_ISDIR(st.st_mode)) return PLAT_CHECK_FOLDER;
    if (!S_ISREG(st.st_mode)) return PLAT_CHECK_NOT_REGULAR;
    // The effective user's rights, as an open would meet them.
    if (faccessat(AT_FDCWD, path, R_OK, AT_EACCESS) != 0)
        return errno == ENOENT || errno == ENOTDIR ? PLAT_CHECK_MISSING : PLAT_CHECK_DENIED;
    return PLAT_CHECK_OK;
}

// ---------------------------------------------------------------------------
// Read-only file mappings

namespace {

using plat_detail::no_bytes;

// Reads what remains of fd (see plat_detail::read_all).
int read_all(int fd, size_t hint, plat_mapping* m) {
    return plat_detail::read_all(hint, m, [fd](unsigned char* to, size_t room) -> long long {
        for (;;) {
            ssize_t r = ::read(fd, to, room);
            if (r < 0 && errno == EINTR) continue;
            return r;
        }
    });
}

}  // namespace

plat_mapping* plat_map_file(const char* path, int* status, bool own_file) {
    int dummy = 0;
    int& rc = status ? *status : dummy;
    rc = 0;
    int fd = path ? ::open(path, O_RDONLY | O_CLOEXEC) : -1;
    struct stat st;
    if (fd >= 0 && (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode))) {
        ::close(fd);
        fd = -1;
    }
    if (fd < 0) {
        rc = -101;
        return nullptr;
    }
    plat_mapping* m = new (std::nothrow) plat_mapping{no_bytes, 0, nullptr, nullptr, nullptr};
    if (!m) {
        ::close(fd);
        rc = -2;
        return nullptr;
    }
    if (own_file && S_ISREG(st.st_mode) && st.st_size > 0 && static_cast<uint64_t>(st.st_size) <= SIZE_MAX) {
        size_t size = static_cast<size_t>(st.st_size);
        void* p = mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        if (p != MAP_FAILED) {
            m->mapped = p;
            m->data = static_cast<const unsigned char*>(p);
            m->size = size;
        }
    }
    if (!m->mapped) {
        size_t hint = S_ISREG(st.st_mode) && st.st_size > 0 ? static_cast<size_t>(st.st_size) : 0;
        rc = read_all(fd, hint, m);
    }
    ::close(fd);
    if (rc != 0) {
        delete m;
        return nullptr;
    }
    return m;
}

void plat_mapped_done(plat_mapping* m, size_t offset, size_t n) {
    // A private mapping that was never written loses nothing.
    size_t from = 0, to = 0;
    if (plat_detail::whole_pages(m, offset, n, static_cast<size_t>(sysconf(_SC_PAGESIZE)), &from, &to))
        madvise(static_cast<char*>(m->mapped) + from, to - from, MADV_DONTNEED);
}

void plat_unmap_file(plat_mapping* m) {
    if (!m) return;
    if (m->mapped) munmap(m->mapped, m->size);
    std::free(m->owned);
    delete m;
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

std::string plat_file_name_key(const std::string& name) { return name; }

int plat_rename(const char* from, const char* to) { return rename(from, to) == 0 ? 0 : -1; }

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

int plat_real_path(const char* path, std::string& out) {
    if (!path || !*path) return -1;
    char* r = realpath(path, nullptr);
    if (!r) return -1;
    out = r;
    std::free(r);
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
// File stamps

namespace {

int64_t nanoseconds(const struct timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

void fill_stamp(const struct stat& st, plat_stamp* out) {
    out->volume = static_cast<uint64_t>(st.st_dev);
    out->index = static_cast<uint64_t>(st.st_ino);
    out->size = static_cast<int64_t>(st.st_size);
    out->modified = nanoseconds(st.st_mtim);
    out->changed = nanoseconds(st.st_ctim);
    out->accessed = nanoseconds(st.st_atim);
    out->kind = S_ISLNK(st.st_mode) ? PLAT_LINK : S_ISDIR(st.st_mode) ? PLAT_DIR : S_ISREG(st.st_mode) ? PLAT_FILE
                                                                                                         : PLAT_OTHER;
    out->private_to_user = st.st_uid == geteuid() && (st.st_mode & 077) == 0;
}

}  // namespace

int plat_stamp_file(plat_file* f, plat_stamp* out) {
    struct stat st;
    if (!f || !out || fstat(f->fd, &st) != 0) return -1;
    fill_stamp(st, out);
    return 0;
}

int plat_stamp_path(const char* path, plat_stamp* out) {
    struct stat st;
    if (!path || !out || lstat(path, &st) != 0) return -1;
    fill_stamp(st, out);
    return 0;
}

int plat_set_accessed(const char* path, int64_t time) {
    if (!path) return -1;
    struct timespec times[2];
    times[0].tv_sec = static_cast<time_t>(time / 1000000000);
    times[0].tv_nsec = static_cast<long>(time % 1000000000);
    times[1].tv_sec = 0;
    times[1].tv_nsec = UTIME_OMIT;
    return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -1;
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

namespace {

// The signals this process ignores for itself (a reader that stops early,
// a file-size limit): a started program gets them back at their defaults,
// unless they were ignored already when this process started (nohup and the
// like), which the program then inherits as well.
struct startup_signals {
    sigset_t to_default;
    startup_signals() {
        sigemptyset(&to_default);
        for (int sig : {SIGPIPE, SIGXFSZ}) {
            struct sigaction a;
            if (sigaction(sig, nullptr, &a) == 0 && a.sa_handler != SIG_IGN) sigaddset(&to_default, sig);
        }
    }
};
const startup_signals g_startup_signals;

// True when program (without '/') is found as an executable in PATH.
bool in_path(const char* program) {
    std::string path;
    if (!plat_getenv("PATH", path)) return false;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(':', start);
        if (end == std::string::npos) end = path.size();
        std::string dir = path.substr(start, end - start);
        if (dir.empty()) dir = ".";
        if (access((dir + "/" + program).c_str(), X_OK) == 0) return true;
        start = end + 1;
    }
    return false;
}

}  // namespace

int plat_run_and_wait(const char* program, const char* a1, const char* a2, int* exit_code,
                      bool (*interrupted)(void* ctx), void* ctx) {
    char* argv[] = {const_cast<char*>(program), const_cast<char*>(a1), const_cast<char*>(a2), nullptr};
    pid_t pid;
    if (!program || !*program) return -1;
    posix_spawnattr_t attr;
    if (posix_spawnattr_init(&attr) != 0) return -1;
    sigset_t none;
    sigemptyset(&none);
    posix_spawnattr_setsigdefault(&attr, &g_startup_signals.to_default);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);
    int spawned = posix_spawnp(&pid, program, nullptr, &attr, argv, environ);
    posix_spawnattr_destroy(&attr);
    if (spawned != 0) return -1;
    // Waits, asking now and then whether the run is being interrupted: the
    // program is then told to end, and after a grace period made to.
    int status = 0;
    const struct timespec tick = {0, 20 * 1000 * 1000};
    int told = 0;  // 0 not yet, else the ticks since SIGTERM
    for (;;) {
        pid_t r = waitpid(pid, &status, interrupted ? WNOHANG : 0);
        if (r == pid) break;
        if (r < 0) {
            if (errno == EINTR) continue;
            return -1;
        }
        if (!told && interrupted(ctx)) {
            kill(pid, SIGTERM);
            told = 1;
        } else if (told && ++told == 250) {  // 5 seconds
            kill(pid, SIGKILL);
        }
        nanosleep(&tick, nullptr);
    }
    // glibc reports a failed exec as exit status 127 of the child; tell "not
    // found in PATH" apart from a program that returned 127.
    if (WIFEXITED(status) && WEXITSTATUS(status) == 127 && !strchr(program, '/') && !in_path(program)) return -1;
    if (WIFSIGNALED(status)) {
        if (exit_code) *exit_code = WTERMSIG(status);
        return 1;
    }
    if (exit_code) *exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return 0;
}

bool plat_japanese_messages() {
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = getenv(name);
        if (!v || !*v) continue;
        return v[0] == 'j' && v[1] == 'a' && (v[2] == 0 || v[2] == '_' || v[2] == '.' || v[2] == '@');
    }
    return false;
}

long long plat_read_stdin(void* buf, size_t n, int wait_ms) {
    pollfd p{0, POLLIN, 0};
    int ready = poll(&p, 1, wait_ms);
    if (ready == 0 || (ready < 0 && errno == EINTR)) return -2;
    if (ready < 0) return -1;
    ssize_t r = ::read(0, buf, n);
    if (r < 0) return errno == EINTR || errno == EAGAIN ? -2 : -1;
    return r;
}

bool plat_stdin_is_terminal() { return isatty(0) == 1; }

bool plat_stream_is_terminal(int stream) { return (stream == 1 || stream == 2) && isatty(stream) == 1; }

unsigned plat_cpu_count() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) {
        int n = CPU_COUNT(&set);
        if (n > 0) return static_cast<unsigned>(n);
    }
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n > 0 ? static_cast<unsigned>(n) : 1;
}

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
// Code page 932 from the table of Windows' own conversions (cp932_table.h):
// an unmappable character becomes '?', an invalid double-byte code U+30FB,
// as on Windows.

bool plat_cp932_to_utf16(const char* src, size_t n, std::u16string& out) {
    out.clear();
    try {
        out.reserve(n);
        const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
        for (size_t i = 0; i < n; ++i) {
            unsigned char c = s[i];
            if (c < 0x80) {
                out.push_back(static_cast<char16_t>(c));
            } else if (cp932_is_lead(c) && i + 1 < n) {
                out.push_back(cp932_decode_pair(c, s[i + 1]));
                ++i;
            } else {
                out.push_back(cp932_decode_single(c));
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool plat_utf8_to_cp932(const char* src, size_t n, char* out, size_t* written) {
    const uint16_t* encode = cp932_encode_table();
    const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
    char* o = out;
    size_t i = 0;
    while (i < n) {
        if (s[i] < 0x80) {
            *o++ = static_cast<char>(s[i++]);
            continue;
        }
        uint32_t cp = plat_utf8_decode(s, n, i);
        if (cp >= 0x10000) {
            // Two UTF-16 units, neither in the code page: one "?" each.
            *o++ = '?';
            *o++ = '?';
            continue;
        }
        uint16_t b = encode[cp];
        if (b == CP932_NONE) {
            *o++ = '?';
        } else if (b < 0x100) {
            *o++ = static_cast<char>(b);
        } else {
            *o++ = static_cast<char>(b >> 8);
            *o++ = static_cast<char>(b & 0xFF);
        }
    }
    *written = static_cast<size_t>(o - out);
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
            uint16_t b = (c >= 0xD800 && c <= 0xDFFF) ? uint16_t(CP932_NONE) : cp932_encode(c);
            if (b == CP932_NONE) {
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

int plat_user_config_folder(std::string& out) {
    const char* xdg = getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/') {
        out = xdg;
        return 0;
    }
    const char* home = getenv("HOME");
    if (!home || home[0] != '/') return -1;
    out = std::string(home) + "/.config";
    return 0;
}

bool plat_folder_writable(const char* path) { return faccessat(AT_FDCWD, path, W_OK | X_OK, AT_EACCESS) == 0; }

std::string plat_default_temp_folder() {
    std::string t;
    if (plat_getenv("TMPDIR", t) && !t.empty()) return t;
    return "/tmp";
}

const char* plat_default_diff_program() { return ""; }

// ---------------------------------------------------------------------------
// What only Windows needs, in its POSIX form

int plat_run_and_watch(const char* program, const char* a1, const char* a2, int* exit_code, plat_watch_fn watch,
                       void* ctx) {
    // No window to keep alive: the watcher is asked as often as an
    // interrupt would be, and a false answer ends the program.
    if (!watch) return plat_run_and_wait(program, a1, a2, exit_code);
    struct watcher {
        plat_watch_fn fn;
        void* ctx;
    } w{watch, ctx};
    return plat_run_and_wait(
        program, a1, a2, exit_code, [](void* p) { return !static_cast<watcher*>(p)->fn(static_cast<watcher*>(p)->ctx); },
        &w);
}

bool plat_utf8_args(int argc, char** argv, std::vector<std::string>& out) {
    out.assign(argv, argv + argc);
    return true;
}

bool plat_ansi_from_utf8(const std::string& utf8, std::string& ansi) {
    ansi = utf8;
    return true;
}

std::string plat_utf8_from_ansi(const std::string& ansi) { return ansi; }

int plat_set_file_time(const char* path, int64_t unix_seconds) {
    struct timespec times[2];
    times[0].tv_sec = times[1].tv_sec = static_cast<time_t>(unix_seconds);
    times[0].tv_nsec = times[1].tv_nsec = 0;
    return utimensat(AT_FDCWD, path, times, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : -1;
}
