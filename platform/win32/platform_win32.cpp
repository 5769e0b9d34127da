// The platform layer on Windows: paths are UTF-8 inside the program, as on
// POSIX, and reach the system through the wide (UTF-16) functions, a path
// too long for the classic limit in its "\\?\" form; "\" separates them;
// code page 932 is the system's own conversion.
#include <windows.h>

#include <atomic>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <new>

#include "common/mapping.h"
#include "win32/wide.h"
#include "platform.h"

#ifndef IO_REPARSE_TAG_SYMLINK
#define IO_REPARSE_TAG_SYMLINK 0xA000000CL
#endif

using plat_win::narrow;
using plat_win::sys_path;
using plat_win::wide;

// ---------------------------------------------------------------------------
// Path conventions

char plat_separator() { return '\\'; }
bool plat_is_separator(char c) { return c == '\\' || c == '/'; }
int plat_path_charset() { return 3; }

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

namespace {

// Opens a file for reading so that no other program can write it meanwhile
// (read and delete sharing only).  A file another program already holds
// open for writing (a workbook open in Excel) cannot be opened so: it is
// opened with write sharing, and *shared_write says so.
HANDLE open_for_reading(const std::wstring& path, DWORD flags, bool* shared_write) {
    *shared_write = false;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           flags, nullptr);
    if (h == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION) {
        *shared_write = true;
        h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        OPEN_EXISTING, flags, nullptr);
    }
    return h;
}

}  // namespace

plat_file* plat_open(const char* path, int mode) {
    DWORD access, disposition;
    switch (mode) {
    case PLAT_READ: access = GENERIC_READ, disposition = OPEN_EXISTING; break;
    case PLAT_WRITE: access = GENERIC_WRITE, disposition = CREATE_ALWAYS; break;
    case PLAT_APPEND: access = GENERIC_WRITE, disposition = OPEN_ALWAYS; break;
    case PLAT_READWRITE: access = GENERIC_READ | GENERIC_WRITE, disposition = OPEN_ALWAYS; break;
    case PLAT_CREATE: access = GENERIC_WRITE, disposition = CREATE_NEW; break;
    case PLAT_READ_DOCUMENT: access = GENERIC_READ, disposition = OPEN_EXISTING; break;
    default: return nullptr;
    }
    if (!path) return nullptr;
    std::wstring p = sys_path(path);
    // Folders cannot be opened this way (no FILE_FLAG_BACKUP_SEMANTICS).  A
    // new file never goes through a link: CREATE_NEW fails on any existing
    // entry, and the reparse flag keeps a link from being followed.
    DWORD flags = FILE_ATTRIBUTE_NORMAL | (mode == PLAT_CREATE ? FILE_FLAG_OPEN_REPARSE_POINT : 0);
    HANDLE h;
    if (mode == PLAT_READ) {
        bool shared_write;
        h = open_for_reading(p, flags, &shared_write);
    } else if (mode == PLAT_READ_DOCUMENT) {
        // A document is read with no one writing it meanwhile: refused while
        // another program has it open for writing.
        h = CreateFileW(p.c_str(), access, FILE_SHARE_READ, nullptr, disposition, flags, nullptr);
    } else {
        h = CreateFileW(p.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                        disposition, flags, nullptr);
    }
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
    std::wstring p = sys_path(path);
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        // A folder opens on POSIX but has no file size: the same code here.
        DWORD attr = GetFileAttributesW(p.c_str());
        return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) ? -1 : -101;
    }
    LARGE_INTEGER sz;
    BOOL ok = GetFileSizeEx(h, &sz);
    CloseHandle(h);
    if (!ok) return -1;
    *size = sz.QuadPart;
    return 0;
}

plat_check plat_check_readable(const char* path) {
    std::wstring p = sys_path(path);
    DWORD attr = GetFileAttributesW(p.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES)
        return GetLastError() == ERROR_ACCESS_DENIED ? PLAT_CHECK_DENIED : PLAT_CHECK_MISSING;
    if (attr & FILE_ATTRIBUTE_DIRECTORY) return PLAT_CHECK_FOLDER;
    if (attr & FILE_ATTRIBUTE_DEVICE) return PLAT_CHECK_NOT_REGULAR;
    // Opened as the readers open it, and asked what it is.
    HANDLE h = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        DWORD e = GetLastError();
        return e == ERROR_FILE_NOT_FOUND || e == ERROR_PATH_NOT_FOUND ? PLAT_CHECK_MISSING : PLAT_CHECK_DENIED;
    }
    DWORD type = GetFileType(h);
    CloseHandle(h);
    return type == FILE_TYPE_DISK ? PLAT_CHECK_OK : PLAT_CHECK_NOT_REGULAR;
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

plat_mapping* plat_map_file(const char* path, int* status, bool own_file) {
    // A file with a mapped view cannot be cut shorter.  A user's document is
    // opened without write sharing and its handle kept with the mapping, so
    // that no other program can write it while it is read either; one that
    // another program holds open for writing is read into a copy instead
    // (its mapped pages would change under the reader).
    int dummy = 0;
    int& rc = status ? *status : dummy;
    rc = 0;
    HANDLE h = INVALID_HANDLE_VALUE;
    bool shared_write = false;
    if (path) {
        std::wstring p = sys_path(path);
        if (own_file) {
            h = CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        } else {
            h = open_for_reading(p, FILE_ATTRIBUTE_NORMAL, &shared_write);
        }
    }
    if (h == INVALID_HANDLE_VALUE) {
        rc = -101;
        return nullptr;
    }
    plat_mapping* m = new (std::nothrow) plat_mapping{no_bytes, 0, nullptr, nullptr, nullptr};
    if (!m) {
        CloseHandle(h);
        rc = -2;
        return nullptr;
    }
    LARGE_INTEGER sz{};
    bool disk = GetFileType(h) == FILE_TYPE_DISK && GetFileSizeEx(h, &sz);
    if (disk && !shared_write && sz.QuadPart > 0 && static_cast<uint64_t>(sz.QuadPart) <= SIZE_MAX) {
        // The view keeps the section and the file open by itself.
        HANDLE section = CreateFileMappingW(h, nullptr, PAGE_READONLY, 0, 0, nullptr);
        if (section) {
            void* v = MapViewOfFile(section, FILE_MAP_READ, 0, 0, 0);
            CloseHandle(section);
            if (v) {
                m->mapped = v;
                m->data = static_cast<const unsigned char*>(v);
                m->size = static_cast<size_t>(sz.QuadPart);
            }
        }
    }
    if (!m->mapped) {
        size_t hint = disk && sz.QuadPart > 0 ? static_cast<size_t>(sz.QuadPart) : 0;
        rc = read_all(h, hint, m);
    }
    if (rc != 0) {
        CloseHandle(h);
        delete m;
        return nullptr;
    }
    // The handle holds the sharing mode: kept for a mapped user's document.
    if (m->mapped && !own_file) {
        m->os_handle = h;
    } else {
        CloseHandle(h);
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
    if (m->os_handle) CloseHandle(m->os_handle);
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
bool delete_file(const std::wstring& path) {
    if (DeleteFileW(path.c_str())) return true;
    DWORD attr = GetFileAttributesW(path.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES || !(attr & FILE_ATTRIBUTE_READONLY) || (attr & FILE_ATTRIBUTE_DIRECTORY)) {
        return false;
    }
    if (!SetFileAttributesW(path.c_str(), attr & ~FILE_ATTRIBUTE_READONLY)) return false;
    if (DeleteFileW(path.c_str())) return true;
    SetFileAttributesW(path.c_str(), attr);
    return false;
}

plat_kind path_kind(const std::wstring& p) {
    DWORD attr = GetFileAttributesW(p.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return PLAT_NONE;
    DWORD tag = 0;
    if (attr & FILE_ATTRIBUTE_REPARSE_POINT) {
        // The reparse tag is only reported by the folder enumeration.
        WIN32_FIND_DATAW fd;
        HANDLE h = FindFirstFileW(p.c_str(), &fd);
        if (h != INVALID_HANDLE_VALUE) {
            tag = fd.dwReserved0;
            FindClose(h);
        } else {
            tag = IO_REPARSE_TAG_SYMLINK;  // a root or a name with wildcards: be safe
        }
    }
    return kind_of(attr, tag);
}

// The security descriptor of a run's folder: the current user alone has
// access, to the folder and (inherited) to everything made in it, and
// nothing is taken over from the folder above.  The buffers hold what the
// descriptor points to.  False when the user's identity cannot be had.
struct private_security {
    std::vector<unsigned char> user, acl;
    SECURITY_DESCRIPTOR sd;
    SECURITY_ATTRIBUTES sa;

    bool make() {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
        DWORD need = 0;
        GetTokenInformation(token, TokenUser, nullptr, 0, &need);
        user.resize(need ? need : 1);
        bool ok = need && GetTokenInformation(token, TokenUser, user.data(), need, &need);
        CloseHandle(token);
        if (!ok) return false;
        PSID sid = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
        if (!IsValidSid(sid)) return false;
        acl.resize(sizeof(ACL) + sizeof(ACCESS_ALLOWED_ACE) + GetLengthSid(sid));
        PACL a = reinterpret_cast<PACL>(acl.data());
        return InitializeAcl(a, static_cast<DWORD>(acl.size()), ACL_REVISION) &&
               AddAccessAllowedAceEx(a, ACL_REVISION, OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE, FILE_ALL_ACCESS,
                                     sid) &&
               InitializeSecurityDescriptor(&sd, SECURITY_DESCRIPTOR_REVISION) &&
               SetSecurityDescriptorOwner(&sd, sid, FALSE) && SetSecurityDescriptorDacl(&sd, TRUE, a, FALSE) &&
               SetSecurityDescriptorControl(&sd, SE_DACL_PROTECTED, SE_DACL_PROTECTED) &&
               (sa = SECURITY_ATTRIBUTES{sizeof sa, &sd, FALSE}, true);
    }
};

}  // namespace

plat_kind plat_path_kind(const char* path) { return path ? path_kind(sys_path(path)) : PLAT_NONE; }

int plat_make_dir(const char* path) {
    std::wstring p = sys_path(path);
    if (CreateDirectoryW(p.c_str(), nullptr)) return 0;
    if (GetLastError() == ERROR_ALREADY_EXISTS && path_kind(p) == PLAT_DIR) return 1;
    return -1;
}

int plat_make_run_dir(const char* base, std::string& out) {
    if (!base || !*base) return -1;
    std::string prefix = base;
    if (!plat_is_separator(prefix.back())) prefix += '\\';
    prefix += "Vergle-";
    private_security security;
    try {
        if (!security.make()) return -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
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
        if (CreateDirectoryW(sys_path(path.c_str()).c_str(), &security.sa)) {
            out = path;
            return 0;
        }
        if (GetLastError() != ERROR_ALREADY_EXISTS) return -1;
    }
    return -1;
}

bool plat_same_file_name(const std::string& a, const std::string& b) {
    // NTFS and FAT compare names without regard to case.
    std::wstring wa = wide(a), wb = wide(b);
    return CompareStringOrdinal(wa.c_str(), static_cast<int>(wa.size()), wb.c_str(), static_cast<int>(wb.size()),
                                TRUE) == CSTR_EQUAL;
}

std::string plat_file_name_key(const std::string& name) {
    std::wstring w = wide(name);
    if (w.empty()) return name;
    std::wstring up(w.size(), L'\0');
    int n = LCMapStringW(LOCALE_INVARIANT, LCMAP_UPPERCASE, w.c_str(), static_cast<int>(w.size()), &up[0],
                         static_cast<int>(up.size()));
    if (n <= 0) return name;
    up.resize(static_cast<size_t>(n));
    return narrow(up);
}

int plat_rename(const char* from, const char* to) {
    std::wstring wto = sys_path(to);
    DWORD attr = GetFileAttributesW(wto.c_str());
    if (attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY) && !(attr & FILE_ATTRIBUTE_REPARSE_POINT))
        return -1;
    return MoveFileExW(sys_path(from).c_str(), wto.c_str(), MOVEFILE_REPLACE_EXISTING) ? 0 : -1;
}

int plat_set_file_time(const char* path, int64_t unix_seconds) {
    HANDLE h = CreateFileW(sys_path(path).c_str(), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    // 100-nanosecond steps since 1601-01-01.
    ULARGE_INTEGER t;
    t.QuadPart = static_cast<unsigned long long>(unix_seconds + 11644473600LL) * 10000000ULL;
    FILETIME ft = {t.LowPart, t.HighPart};
    BOOL ok = SetFileTime(h, nullptr, nullptr, &ft);
    CloseHandle(h);
    return ok ? 0 : -1;
}

int plat_remove_file(const char* path) {
    std::wstring p = sys_path(path);
    DWORD attr = GetFileAttributesW(p.c_str());
    if (attr == INVALID_FILE_ATTRIBUTES) return -1;
    if (attr & FILE_ATTRIBUTE_DIRECTORY) {
        // A link to a folder is removed as a folder entry; a real folder is
        // not a file.
        if (!(attr & FILE_ATTRIBUTE_REPARSE_POINT)) return -1;
        return RemoveDirectoryW(p.c_str()) ? 0 : -1;
    }
    return delete_file(p) ? 0 : -1;
}

int plat_remove_dir(const char* path) { return RemoveDirectoryW(sys_path(path).c_str()) ? 0 : -1; }

int plat_list_dir(const char* path, std::vector<plat_dirent>& out) {
    out.clear();
    if (!path) return -1;
    std::string pattern = path;
    if (!pattern.empty() && !plat_is_separator(pattern.back())) pattern += '\\';
    pattern += '*';
    WIN32_FIND_DATAW fd;
    HANDLE h = FindFirstFileW(sys_path(pattern.c_str()).c_str(), &fd);
    if (h == INVALID_HANDLE_VALUE) {
        // An empty root has no "." entry: only a folder may list as empty.
        return GetLastError() == ERROR_FILE_NOT_FOUND && plat_path_kind(path) == PLAT_DIR ? 0 : -1;
    }
    do {
        const wchar_t* name = fd.cFileName;
        if (!wcscmp(name, L".") || !wcscmp(name, L"..")) continue;
        out.push_back({narrow(name, wcslen(name)), kind_of(fd.dwFileAttributes, fd.dwReserved0)});
    } while (FindNextFileW(h, &fd));
    FindClose(h);
    return 0;
}

int plat_real_path(const char* path, std::string& out) {
    if (!path || !*path) return -1;
    // Opened without access to its content (a folder too), links followed.
    HANDLE h = CreateFileW(sys_path(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    std::wstring buf(MAX_PATH, L'\0');
    DWORD n = GetFinalPathNameByHandleW(h, &buf[0], static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED);
    if (n >= buf.size()) {
        buf.assign(n + 1, L'\0');
        n = GetFinalPathNameByHandleW(h, &buf[0], static_cast<DWORD>(buf.size()), FILE_NAME_NORMALIZED);
    }
    CloseHandle(h);
    if (n == 0 || n >= buf.size()) return -1;
    buf.resize(n);
    // "\\?\C:\x" and "\\?\UNC\server\share\x" in their usual forms.
    if (buf.compare(0, 8, L"\\\\?\\UNC\\") == 0) {
        buf = L"\\\\" + buf.substr(8);
    } else if (buf.compare(0, 4, L"\\\\?\\") == 0) {
        buf = buf.substr(4);
    }
    out = narrow(buf.c_str(), buf.size());
    return 0;
}

namespace {

// Reparse points (junctions, symbolic links, and any other kind) are
// removed as entries and never entered.  path is in the "\\?\" form, so
// that no depth of the tree is too long.
bool remove_entry(const std::wstring& path, DWORD attr) {
    if (attr & FILE_ATTRIBUTE_DIRECTORY) {
        if (!(attr & FILE_ATTRIBUTE_REPARSE_POINT)) {
            std::wstring pattern = path + L"\\*";
            WIN32_FIND_DATAW fd;
            HANDLE h = FindFirstFileW(pattern.c_str(), &fd);
            if (h != INVALID_HANDLE_VALUE) {
                do {
                    if (!wcscmp(fd.cFileName, L".") || !wcscmp(fd.cFileName, L"..")) continue;
                    remove_entry(path + L"\\" + fd.cFileName, fd.dwFileAttributes);
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
    return delete_file(path);
}

}  // namespace

int plat_remove_tree(const char* path) {
    if (!path || !*path) return -1;
    try {
        std::wstring w = wide(path);
        while (w.size() > 1 && (w.back() == L'\\' || w.back() == L'/') && w[w.size() - 2] != L':') w.pop_back();
        w = plat_win::long_form(w);
        DWORD attr = GetFileAttributesW(w.c_str());
        if (attr == INVALID_FILE_ATTRIBUTES) {
            DWORD err = GetLastError();
            return err == ERROR_FILE_NOT_FOUND || err == ERROR_PATH_NOT_FOUND ? 0 : -1;
        }
        remove_entry(w, attr);
        return GetFileAttributesW(w.c_str()) == INVALID_FILE_ATTRIBUTES ? 0 : -1;
    } catch (const std::bad_alloc&) {
        return -1;
    }
}

// ---------------------------------------------------------------------------
// File stamps

namespace {

// A FILETIME (100 ns since 1601) as nanoseconds since 1970.
int64_t unix_nanoseconds(const FILETIME& t) {
    const int64_t ticks = static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    return (ticks - 116444736000000000LL) * 100;
}

int stamp_of_handle(HANDLE h, plat_stamp* out) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(h, &info)) return -1;
    out->volume = info.dwVolumeSerialNumber;
    out->index = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    out->size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
    out->modified = out->changed = unix_nanoseconds(info.ftLastWriteTime);
    out->accessed = unix_nanoseconds(info.ftLastAccessTime);
    const DWORD attr = info.dwFileAttributes;
    out->kind = (attr & FILE_ATTRIBUTE_REPARSE_POINT) ? PLAT_LINK
                : (attr & FILE_ATTRIBUTE_DIRECTORY)   ? PLAT_DIR
                                                      : PLAT_FILE;
    out->private_to_user = true;
    return 0;
}

}  // namespace

int plat_stamp_file(plat_file* f, plat_stamp* out) {
    if (!f || !out) return -1;
    return stamp_of_handle(f->h, out);
}

int plat_stamp_path(const char* path, plat_stamp* out) {
    if (!path || !out) return -1;
    HANDLE h = CreateFileW(sys_path(path).c_str(), FILE_READ_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    int rc = stamp_of_handle(h, out);
    CloseHandle(h);
    return rc;
}

int plat_set_accessed(const char* path, int64_t time) {
    if (!path) return -1;
    HANDLE h = CreateFileW(sys_path(path).c_str(), FILE_WRITE_ATTRIBUTES,
                           FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) return -1;
    const uint64_t ticks = static_cast<uint64_t>(time / 100 + 116444736000000000LL);
    FILETIME ft;
    ft.dwLowDateTime = static_cast<DWORD>(ticks & 0xFFFFFFFF);
    ft.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
    BOOL ok = SetFileTime(h, nullptr, &ft, nullptr);
    CloseHandle(h);
    return ok ? 0 : -1;
}

// ---------------------------------------------------------------------------
// Process environment

int plat_get_cwd(std::string& out) {
    DWORD need = GetCurrentDirectoryW(0, nullptr);
    for (int tries = 0; need && tries < 4; ++tries) {
        std::wstring buf(need, L'\0');
        DWORD got = GetCurrentDirectoryW(need, &buf[0]);
        if (got == 0) break;
        if (got < need) {
            buf.resize(got);
            out = narrow(buf);
            return 0;
        }
        need = got;  // changed in between: try again with the new size
    }
    return -1;
}

int plat_set_cwd(const char* path) { return SetCurrentDirectoryW(sys_path(path).c_str()) ? 0 : -1; }

int plat_module_path(std::string& out) {
    for (DWORD size = MAX_PATH; size <= 32768 * 2; size *= 2) {
        std::wstring buf(size, L'\0');
        DWORD got = GetModuleFileNameW(nullptr, &buf[0], size);
        if (got == 0) return -1;
        if (got < size) {
            buf.resize(got);
            out = narrow(buf);
            return 0;
        }
    }
    return -1;
}

bool plat_getenv(const char* name, std::string& out) {
    std::wstring n = wide(name);
    SetLastError(ERROR_SUCCESS);
    DWORD need = GetEnvironmentVariableW(n.c_str(), nullptr, 0);
    if (need == 0) {
        if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
        out.clear();  // set, but empty
        return true;
    }
    for (int tries = 0; tries < 4; ++tries) {
        std::wstring buf(need, L'\0');
        DWORD got = GetEnvironmentVariableW(n.c_str(), &buf[0], need);
        if (got == 0) {
            if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
            out.clear();
            return true;
        }
        if (got < need) {
            buf.resize(got);
            out = narrow(buf);
            return true;
        }
        need = got;
    }
    return false;
}

void plat_setenv(const char* name, const char* value) {
    // The process environment (what children inherit) and the C runtime's
    // copy (what getenv reads) both.
    // _wputenv_s removes a variable given "": the system call afterwards
    // keeps an empty value in the process environment.
    std::wstring n = wide(name), v = wide(value ? value : "");
    _wputenv_s(n.c_str(), v.c_str());
    SetEnvironmentVariableW(n.c_str(), value ? v.c_str() : nullptr);
}

// Settings lie beside the executable, as they always have.
int plat_user_config_folder(std::string&) { return -1; }

bool plat_folder_writable(const char* path) {
    DWORD attr = GetFileAttributesW(sys_path(path).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_DIRECTORY);
}

std::string plat_default_temp_folder() { return "C:\\Temp"; }

const char* plat_default_diff_program() { return "WinMergeU.exe"; }

unsigned plat_cpu_count() {
    DWORD_PTR process = 0, system = 0;
    unsigned n = 0;
    if (GetProcessAffinityMask(GetCurrentProcess(), &process, &system)) {
        for (; process; process &= process - 1) ++n;
    }
    if (n == 0) {
        SYSTEM_INFO si;
        GetSystemInfo(&si);
        n = si.dwNumberOfProcessors;
    }
    return n ? n : 1;
}

uint64_t plat_physical_memory() {
    MEMORYSTATUSEX st;
    st.dwLength = sizeof st;
    return GlobalMemoryStatusEx(&st) ? static_cast<uint64_t>(st.ullTotalPhys) : 0;
}

// The Windows program speaks Japanese, whatever the system's language.
bool plat_japanese_messages() { return true; }

long long plat_read_stdin(void* buf, size_t n, int) {
    DWORD got = 0;
    DWORD want = n > 0x10000000 ? 0x10000000 : static_cast<DWORD>(n);
    if (!ReadFile(GetStdHandle(STD_INPUT_HANDLE), buf, want, &got, nullptr))
        return GetLastError() == ERROR_BROKEN_PIPE ? 0 : -1;
    return got;
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

bool plat_utf8_to_cp932(const char* src, size_t n, char* out, size_t* written) {
    std::u16string wide;
    std::string bytes;
    if (!plat_utf8_to_utf16(src, n, wide) || !plat_utf16_to_cp932(wide.data(), wide.size(), bytes)) return false;
    std::memcpy(out, bytes.data(), bytes.size());
    *written = bytes.size();
    return true;
}

std::string plat_native_from_utf8(const std::string& utf8) { return utf8; }
std::string plat_utf8_from_native(const std::string& native) { return native; }

bool plat_ansi_from_utf8(const std::string& utf8, std::string& ansi) {
    std::u16string w;
    std::string back;
    if (!plat_utf8_to_utf16(utf8.data(), utf8.size(), w) || !plat_utf16_to_cp932(w.data(), w.size(), ansi)) {
        ansi.clear();
        return false;
    }
    return plat_utf8_from_ansi(ansi) == utf8;
}

std::string plat_utf8_from_ansi(const std::string& ansi) {
    std::u16string w;
    std::string utf8;
    if (!plat_cp932_to_utf16(ansi.data(), ansi.size(), w) || !plat_utf16_to_utf8(w.data(), w.size(), utf8)) {
        return std::string();
    }
    return utf8;
}
