// The platform layer on Windows: paths are bytes in the ANSI code page
// (CP932 on the target systems) and go to the A functions; "\" separates
// them; code page 932 is the system's own conversion.
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "common/mapping.h"
#include "platform.h"

#ifndef IO_REPARSE_TAG_SYMLINK
#define IO_REPARSE_TAG_SYMLINK 0xA000000CL
#endif

// ---------------------------------------------------------------------------
// Path conventions

char plat_separator() { return '\\'; }
bool plat_is_separator(char c) { return c == '\\' || c == '/'; }
int plat_path_charset() { return 1; }

bool plat_is_absolute(const char* path) {
    if (!path || !path[0]) return false;
    if (plat_is_separator(path[0])) return true;
    unsigned char c = static_cast<unsigned char>(path[0]);
    return ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) && path[1] == ':';
}

// ---------------------------------------------------------------------------
// Files

struct plat_file {
    HANDLE h;
};

plat_file* plat_open(const char* path, int mode) {
    DWORD access, disposition;
    switch (mode) {
    case PLAT_READ: access = GENERIC_READ, disposition = OPEN_EXISTING; break;
    case PLAT_WRITE: access = GENERIC_WRITE, disposition = CREATE_ALWAYS; break;
    case PLAT_APPEND: access = GENERIC_WRITE, disposition = OPEN_ALWAYS; break;
    case PLAT_READWRITE: access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_ALWAYS; break;
    case PLAT_CREATE: access = GENERIC_WRITE, disposition = CREATE_NEW; break;
    default: return nullptr;
    }
    if (!path) return nullptr;
    // Folders cannot be opened this way (no FILE_FLAG_BACKUP_SEMANTICS).  A
    // new file never goes through a link: CREATE_NEW fails on any existing
    // entry, and the reparse flag keeps a link from being followed.
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (mode == PLAT_CREATE ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE h = CreateFileA(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           disposition, flags, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    if (mode == PLAT_APPEND) {
        LARGE_INTEGER zero{};
        if (!SetFilePointerEx(h, zero, nullptr, FILE_END)) {
            CloseHandle(h);
            return nullptr;
        }
    }
    plat_file* f = new (std::nothrow) plat_file{h};
    if (!f) CloseHandle(h);
    return f;
}

int plat_close(plat_file* f) {
    if (!f) return 0;
    int rc = CloseHandle(f->h) ? 0 : -1;
    delete f;
    return rc;
}

// ReadFile and WriteFile take a DWORD count: larger requests go in pieces.
static const size_t io_piece = 1u << 30;

size_t plat_read(plat_file* f, void* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        DWORD want = static_cast<DWORD>(n - done < io_piece ? n - done : io_piece);
        DWORD got = 0;
        if (!ReadFile(f->h, static_cast<char*>(buf) + done, want, &got, nullptr) || got == 0) break;
        done += got;
    }
    return done;
}

size_t plat_write(plat_file* f, const void* buf, size_t n) {
    size_t done = 0;
    while (done < n) {
        DWORD want = static_cast<DWORD>(n - done < io_piece ? n - done : io_piece);
        DWORD put = 0;
        if (!WriteFile(f->h, static_cast<const char*>(buf) + done, want, &put, nullptr) || put == 0) break;
        done += put;
    }
    return done;
}

int plat_seek(plat_file* f, int64_t offset, int origin) {
    DWORD method = origin == 0 ? FILE_BEGIN : origin == 1 ? FILE_CURRENT : origin == 2 ? FILE_END : 0xFFFFFFFF;
    if (method == 0xFFFFFFFF) return -1;
    LARGE_INTEGER to;
    to.QuadPart = offset;
    // A position before the start is refused by the system.
    return SetFilePointerEx(f->h, to, nullptr, method) ? 0 : -1;
}

int64_t plat_tell(plat_file* f) {
    LARGE_INTEGER zero{}, at{};
    if (!SetFilePointerEx(f->h, zero, &at, FILE_CURRENT)) return -1;
    return at.QuadPart;
}

int plat_file_size(const char* path, int64_t* size) {
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // A folder opens on POSIX but has no file size: the same code here.
        DWORD attr = GetFileAttributesA(path);
        return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) ? -1 : -101;
    }
    LARGE_INTEGER sz;
    BOOL ok = GetFileSizeEx(h, &sz);
    CloseHandle(h);
    if (!ok) return -1;
    *size = sz.QuadPart;
    return 0;
}

// ---------------------------------------------------------------------------
// Read-only file mappings

namespace {

using plat_detail::no_bytes;

// Reads what remains of h (see plat_detail::read_all).
int read_all(HANDLE h, size_t hint, plat_mapping* m) {
    return plat_detail::read_all(hint, m, [h](unsigned char* to, size_t room) -> long long {
        DWORD want = static_cast<DWORD>(room < io_piece ? room : io_piece);
        DWORD got = 0;
        if (!ReadFile(h, to, want, &got, nullptr)) {
            // A pipe whose writer has gone is at its end.
            return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
        }
        return got;
    });
}

}  // namespace

plat_mapping* plat_map_file(const char* path, int* status, bool) {
    // A file with a mapped view cannot be cut shorter: every file is mapped.
    int dummy = 0;
    int& rc = status ? *status : dummy;
    rc = 0;
    HANDLE h = path ? CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                    : INVALID_HANDLE_VALUE;
    if (h == INVALID_HANDLE_VALUE) {
        rc = -101;
        return nullptr;
    }
    plat_mapping* m = new (std::nothrow) plat_mapping{no_bytes, 0, nullptr, nullptr};
    if (!m) {
        CloseHandle(h);
        rc = -2;
        return nullptr;
    }
    LARGE_INTEGER sz{};
    bool disk = GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &sz);
    if (disk && sz.QuadPart > 0 && static_cast<uint64_t>(sz.QuadPart) <= SIZE_MAX) {
        // The view keeps the section and the file open by itself.
        HANDLE section = CreateFileMappingA(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (section) {
            void* p = MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0);
            CloseHandle(section);
            if (p) {
                m->mapped = p;
                m->data = static_cast<const unsigned char*>(p);
                m->size = static_cast<size_t>(sz.QuadPart);
            }
        }
    }
    if (!m->mapped) {
        size_t hint = disk && sz.QuadPart > 0 ? static_cast<size_t>(sz.QuadPart) : 0;
        rc = read_all(h, hint, m);
    }
    CloseHandle(h);
    if (rc != 0) {
        delete m;
        return nullptr;
    }
    return m;
}

void plat_mapped_done(plat_mapping* m, size_t offset, size_t n) {
    // Unlocking pages that were never locked takes them out of the working
    // set (and reports ERROR_NOT_LOCKED).
    SYSTEM_INFO si;
    GetSystemInfo(&si);
    size_t from = 0, to = 0;
    if (plat_detail::whole_pages(m, offset, n, si.dwPageSize, &from, &to))
        VirtualUnlock(static_cast<char*>(m->mapped) + from, to - from);
}

void plat_unmap_file(plat_mapping* m) {
    if (!m) return;
    if (m->mapped) UnmapViewOfFile(m->mapped);
    std::free(m->owned);
    delete m;
}

// ---------------------------------------------------------------------------
// Folders

namespace {

// Junctions and symbolic links carry name-surrogate tags; Microsoft's other
// tags (cloud files, deduplication) mark ordinary files and folders.  Any
// other reparse point counts as a link (Wine shows POSIX symbolic links so).
bool is_link_tag(DWORD tag) { return (tag & 0x20000000) || !(tag & 0x80000000); }

// The kind of a directory entry from its attributes and reparse tag.
plat_kind kind_of(DWORD attr, DWORD reparse_tag) {
    if ((attr & FILE_ATTRIBUTE_REPARSE_POINT) && is_link_tag(reparse_tag)) return PLAT_LINK;
    if (attr & FILE_ATTRIBUTE_DIRECTORY) return PLAT_DIR;
    if (attr & FILE_ATTRIBUTE_DEVICE) return PLAT_OTHER;
    return PLAT_FILE;
}

// A file's read-only attribute keeps DeleteFile away, unlike unlink on POSIX.
template <typename Char, typename GetAttr, typename SetAttr, typename Delete>
bool delete_file(const Char* path, GetAttr get_attr, SetAttr set_attr, Delete del) {
    if (del(path)) return true;
    DWORD attr = get_attr(path);
    if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_READONLY) || (attr & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    if (!set_attr(path, attr & ~FILE_ATTRIBUTE_READONLY)) return false;
    if (del(path)) return true;
    set_attr(path, attr);
    return false;
}

bool delete_file_a(const char* path) { return delete_file(path, GetFileAttributesA, SetFileAttributesA, DeleteFileA); }
bool delete_file_w(const wchar_t* path) {
    return delete_file(path, GetFileAttributesW, SetFileAttributesW, DeleteFileW);
}

}  // namespace

plat_kind plat_path_kind(const char* path) {
    DWORD attr = GetFileAttributesA(path);
    if (attr == INVALID_FILE_ATTRIBUTES) return PLAT_NONE;
    DWORD tag = 0;
    if (attr & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The reparse tag is only reported by the folder enumeration.
        WIN32_FIND_DATAA fd;
        HANDLE h = FindFirstFileA(path, &fd);
        if (h != INVALID_HANDLE_VALUE) {
            tag = fd.dwReserved0;
            FindClose(h);
        } else {
            tag = IO_REPARSE_TAG_SYMLINK;  // a root or a name with wildcards: be safe
        }
    }
    return kind_of(attr, tag);
}

int plat_make_dir(const char* path) {
    if (CreateDirectoryA(path, nullptr)) return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS && plat_path_kind(path) == PLAT_DIR) return 1;
    return -1;
}

int plat_make_run_dir(const char* base, std::string& out) {
    if (!base || !*base) return -1;
    std::string prefix = base;
    if (!plat_is_separator(prefix.back())) prefix += '\\';
    prefix += "Vergle-";
    // The name only has to be hard to guess and unlikely to be taken:
    // CreateDirectory never opens an existing folder or link, so a taken
    // name is simply tried again with another.
    static std::atomic<unsigned> counter{0};
    for (int tries = 0; tries < 100; ++tries) {
        LARGE_INTEGER t;
        QueryPerformanceCounter(&t);
        unsigned long long mix = static_cast<unsigned long long>(t.QuadPart) * 0x9E3779B97F4A7C15ull ^
                                 (static_cast<unsigned long long>(GetCurrentProcessId()) << 20) ^
                                 GetTickCount64() ^ (++counter * 0xBF58476D1CE4E5B9ull);
        char part[16];
        static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyz";
        for (int i = 0; i < 8; ++i) {
            part[i] = digits[mix % 36];
            mix /= 36;
        }
        part[8] = 0;
        std::string path = prefix + part;
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            out = path;
            return 0;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return -1;
    }
    return -1;
}

bool plat_same_file_name(const std::string& a, const std::string& b) {
    // NTFS and FAT compare names without regard to case.
    std::u16string wa, wb;
    if (!plat_cp932_to_utf16(a.data(), a.size(), wa) || !plat_cp932_to_utf16(b.data(), b.size(), wb)) return a == b;
    return CompareStringOrdinal(reinterpret_cast<const wchar_t*>(wa.c_str()), static_cast<int>(wa.size()),
                                reinterpret_cast<const wchar_t*>(wb.c_str()), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

int plat_replace_file(const char* from, const char* to) {
    return MoveFileExA(from, to, MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
}

int plat_remove_file(const char* path) {
    DWORD attr = GetFileAttributesA(path);
    if (attr == INVALID_FILE_ATTRIBUTES) return -1;
    if (attr & FILE_ATTRIBUTE_DIRECTORY) {
        // A link to a folder is removed as a folder entry; a real folder is
        // not a file.
        if (!(attr & FILE_ATTRIBUTE_REPARSE_POINT)) return -1;
        return RemoveDirectoryA(path) ? 0 : -1;
    }
    return delete_file_a(path) ? 0 : -1;
}

int plat_remove_dir(const char* path) { return RemoveDirectoryA(path) ? 0 : -1; }

int plat_list_dir(const char* path, std::vector<plat_dirent>& out) {
    out.clear();
    if (!path) return -1;
    std::string pattern = path;
    if (!pattern.empty() && !plat_is_separator(pattern.back())) pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAA fd;
    HANDLE h = FindFirstFileA(pattern.c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        // An empty root has no "." entry: only a folder may list as empty.
        return GetLastError() == ERROR_FILE_NOT_FOUND && plat_path_kind(path) == PLAT_DIR ? 0 : -1;
    }
    do {
        const char* name = fd.cFileName;
        if (!strcmp(name, ".") || !strcmp(name, "..")) continue;
        // '?' cannot be part of a file name: the long name has characters
        // the ANSI code page lacks.  The short name still reaches the file.
        if (strchr(name, '?') && fd.cAlternateFileName[0]) name = fd.cAlternateFileName;
        out.push_back({name, kind_of(fd.dwFileAttributes, fd.dwReserved0)});
    } while (FindNextFileA(h, &fd));
    FindClose(h);
    return 0;
}

namespace {

// The tree is removed through the UTF-16 functions: a name the ANSI code
// page cannot spell would otherwise keep its folder from being removed.
// Reparse points (junctions, symbolic links, and any other kind) are
// removed as entries and never entered.
bool remove_entry_w(const std::wstring& path, DWORD attr) {
    if (attr & FILE_ATTRIBUTE_DIRECTORY) {
        if (!(attr & FILE_ATTRIBUTE_REPARSE_POINT)) {
            std::wstring pattern = path + L"\\*";
            WIN32_FIND_DATAW fd;
            HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
            if (h != INVALID_HANDLE_VALUE) {
                do {
                    if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
                    remove_entry_w(path + L"\\" + fd.cFileName, fd.dwFileAttributes);
                } while (FindNextFileW(h, &fd));
                FindClose(h);
            }
        }
        if (RemoveDirectoryW(path.c_str())) return true;
        // A read-only folder refuses removal.
        if ((attr & FILE_ATTRIBUTE_READONLY) && SetFileAttributesW(path.c_str(), attr & ~FILE_ATTRIBUTE_READONLY)) {
            return RemoveDirectoryW(path.c_str()) != 0;
        }
        return false;
    }
    return delete_file_w(path.c_str());
}

}  // namespace

int plat_remove_tree(const char* path) {
    if (!path || !*path) return -1;
    try {
        std::u16string wide16;
        if (!plat_cp932_to_utf16(path, strlen(path), wide16)) return -1;
        std::wstring wide(wide16.begin(), wide16.end());
        while (wide.size() > 1 && (wide.back() == L'\\' || wide.back() == L'/') && wide[wide.size() - 2] != L':') {
            wide.pop_back();
        }
        DWORD attr = GetFileAttributesW(wide.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) {
            DWORD err = GetLastError();
            return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? 0 : -1;
        }
        remove_entry_w(wide, attr);
        return GetFileAttributesW(wide.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

// ---------------------------------------------------------------------------
// Process environment

int plat_get_cwd(std::string& out) {
    DWORD need = GetCurrentDirectoryA(0, nullptr);
    for (int tries = 0; need && tries < 4; ++tries) {
        std::string buf(need, '\0');
        DWORD got = GetCurrentDirectoryA(need, &buf[0]);
        if (got == 0) break;
        if (got < need) {
            buf.resize(got);
            out = buf;
            return 0;
        }
        need = got;  // changed in between: try again with the new size
    }
    return -1;
}

int plat_set_cwd(const char* path) { return SetCurrentDirectoryA(path) ? 0 : -1; }

int plat_module_path(std::string& out) {
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        std::string buf(size, '\0');
        DWORD got = GetModuleFileNameA(nullptr, &buf[0], size);
        if (got == 0) return -1;
        if (got < size) {
            buf.resize(got);
            out = buf;
            return 0;
        }
    }
    return -1;
}

bool plat_getenv(const char* name, std::string& out) {
    SetLastError(ERROR_SUCCESS);
    DWORD need = GetEnvironmentVariableA(name, nullptr, 0);
    if (need == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        out.clear();  // set, but empty
        return true;
    }
    for (int tries = 0; tries < 4; ++tries) {
        std::string buf(need, '\0');
        DWORD got = GetEnvironmentVariableA(name, &buf[0], need);
        if (got == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            out.clear();
            return true;
        }
        if (got < need) {
            buf.resize(got);
            out = buf;
            return true;
        }
        need = got;
    }
    return false;
}

void plat_setenv(const char* name, const char* value) {
    // The process environment (what children inherit) and the C runtime's
    // copy (what getenv reads) both.
    // _putenv_s removes a variable given "": the system call afterwards keeps
    // an empty value in the process environment.
    _putenv_s(name, value ? value : "");
    SetEnvironmentVariableA(name, value);
}

namespace {

// One argument in double quotes.  Backslashes right before the closing
// quote are doubled, so that a folder given as "C:\dir\" does not swallow
// the quote when the program splits its command line.
void append_quoted(std::string& cmd, const char* arg) {
    cmd += '"';
    size_t len = strlen(arg);
    cmd.append(arg, len);
    size_t slashes = 0;
    while (slashes < len && arg[len - 1 - slashes] == '\\') ++slashes;
    cmd.append(slashes, '\\');
    cmd += '"';
}

}  // namespace

int plat_run_and_wait(const char* program, const char* a1, const char* a2, int* exit_code) {
    if (!program || !*program) return -1;
    std::string cmd;
    try {
        // The program's name is split without backslash rules: quoted as is.
        cmd = "\"";
        cmd += program;
        cmd += "\" ";
        append_quoted(cmd, a1 ? a1 : "");
        cmd += ' ';
        append_quoted(cmd, a2 ? a2 : "");
    } catch (const std::bad_alloc&) {
        return -1;
    }
    STARTUPINFOA si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    if (!CreateProcessA(nullptr, &cmd[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si,
                        &pi)) {
        return -1;
    }
    CloseHandle(pi.hThread);
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 0;
    if (!GetExitCodeProcess(pi.hProcess, &code)) code = static_cast<DWORD>(-1);
    CloseHandle(pi.hProcess);
    if (exit_code) *exit_code = static_cast<int>(code);
    return 0;
}

std::string plat_default_temp_folder() { return "C:\\Temp"; }

const char* plat_default_diff_program() { return "WinMergeU.exe"; }

uint64_t plat_physical_memory() {
    MEMORYSTATUSEX st;
    st.dwLength = sizeof st;
    return GlobalMemoryStatusEx(&st) ? static_cast<uint64_t>(st.ullTotalPhys) : 0;
}

bool plat_stdin_is_terminal() { return plat_stream_is_terminal(0); }

bool plat_stream_is_terminal(int stream) {
    if (stream < 0 || stream > 2) return false;
    static const DWORD ids[] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    HANDLE h = GetStdHandle(ids[stream]);
    if (h == nullptr || h == INVALID_HANDLE_VALUE) return false;
    // NUL is a character device too, but has no console mode.
    DWORD mode;
    return GetFileType(h) == FILE_TYPE_CHAR && GetConsoleMode(h, &mode);
}

void plat_local_time(plat_time* t) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    *t = {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// ---------------------------------------------------------------------------
// Code page 932: the system's ANSI code page (code page 0).  Unmappable
// characters become the system's default character '?' (after Windows'
// best-fit mappings); invalid bytes decode to U+30FB.

namespace {

// The conversion functions count in int: longer texts go in pieces that
// end on a character boundary.
const size_t cp_piece = 1u << 28;

size_t mb_piece_end(const char* src, size_t start, size_t n) {
    if (n - start <= cp_piece) return n;
    size_t i = start;
    while (i - start < cp_piece) i += IsDBCSLeadByte(static_cast<BYTE>(src[i])) ? 2 : 1;
    return i < n ? i : n;
}

size_t wide_piece_end(const char16_t* src, size_t start, size_t n) {
    if (n - start <= cp_piece) return n;
    size_t end = start + cp_piece;
    if (src[end - 1] >= 0xD800 && src[end - 1] <= 0xDBFF) --end;  // keep a surrogate pair whole
    return end;
}

}  // namespace

bool plat_cp932_to_utf16(const char* src, size_t n, std::u16string& out) {
    out.clear();
    try {
        size_t start = 0;
        while (start < n) {
            size_t end = mb_piece_end(src, start, n);
            int len = static_cast<int>(end - start);
            int need = MultiByteToWideChar(CP_ACP, 0, src + start, len, nullptr, 0);
            if (need <= 0) return false;
            size_t at = out.size();
            out.resize(at + static_cast<size_t>(need));
            int got = MultiByteToWideChar(CP_ACP, 0, src + start, len, reinterpret_cast<wchar_t*>(&out[at]), need);
            if (got <= 0) return false;
            out.resize(at + static_cast<size_t>(got));
            start = end;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

bool plat_utf16_to_cp932(const char16_t* src, size_t n, std::string& out) {
    out.clear();
    try {
        size_t start = 0;
        while (start < n) {
            size_t end = wide_piece_end(src, start, n);
            int len = static_cast<int>(end - start);
            const wchar_t* w = reinterpret_cast<const wchar_t*>(src + start);
            int need = WideCharToMultiByte(CP_ACP, 0, w, len, nullptr, 0, nullptr, nullptr);
            if (need <= 0) return false;
            size_t at = out.size();
            out.resize(at + static_cast<size_t>(need));
            int got = WideCharToMultiByte(CP_ACP, 0, w, len, &out[at], need, nullptr, nullptr);
            if (got <= 0) return false;
            out.resize(at + static_cast<size_t>(got));
            start = end;
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

std::string plat_native_from_utf8(const std::string& utf8) {
    std::u16string wide;
    std::string native;
    if (!plat_utf8_to_utf16(utf8.data(), utf8.size(), wide) || !plat_utf16_to_cp932(wide.data(), wide.size(), native)) {
        return std::string();
    }
    return native;
}

std::string plat_utf8_from_native(const std::string& native) {
    std::u16string wide;
    std::string utf8;
    if (!plat_cp932_to_utf16(native.data(), native.size(), wide) || !plat_utf16_to_utf8(wide.data(), wide.size(), utf8)) {
        return std::string();
    }
    return utf8;
}
