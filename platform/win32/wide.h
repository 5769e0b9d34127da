// UTF-8 paths and texts for the wide (UTF-16) system calls, shared by the
// files of the Windows platform layer.
#ifndef PLAT_WIN32_WIDE_H
#define PLAT_WIN32_WIDE_H

#include <windows.h>

#include <cstring>
#include <cwchar>
#include <string>

#include "platform.h"

namespace plat_win {

// The UTF-16 form of a UTF-8 text (invalid sequences become U+FFFD).
inline std::wstring wide(const char* utf8, size_t n) {
    std::u16string w;
    plat_utf8_to_utf16(utf8, n, w);
    return std::wstring(w.begin(), w.end());
}
inline std::wstring wide(const char* utf8) { return utf8 ? wide(utf8, std::strlen(utf8)) : std::wstring(); }
inline std::wstring wide(const std::string& utf8) { return wide(utf8.data(), utf8.size()); }

// The UTF-8 form of a UTF-16 text.
inline std::string narrow(const wchar_t* w, size_t n) {
    std::string out;
    plat_utf16_to_utf8(reinterpret_cast<const char16_t*>(w), n, out);
    return out;
}
inline std::string narrow(const wchar_t* w) { return narrow(w, std::wcslen(w)); }
inline std::string narrow(const std::wstring& w) { return narrow(w.data(), w.size()); }

inline bool starts_with(const std::wstring& s, const wchar_t* prefix) {
    return s.compare(0, std::wcslen(prefix), prefix) == 0;
}

// The "\\?\" form of a path: the full path (in which "/", "." and ".." are
// already resolved, since the prefix makes the system take the rest
// literally) behind "\\?\", or "\\?\UNC\server\share\..." for a share.  A
// path already in that form or a device path ("\\.\") stays as it is, and
// so does one whose full path cannot be had.
inline std::wstring long_form(const std::wstring& w) {
    if (starts_with(w, L"\\\\?\\") || starts_with(w, L"\\\\.\\")) return w;
    DWORD need = GetFullPathNameW(w.c_str(), 0, nullptr, nullptr);
    if (need == 0) return w;
    std::wstring full(need, L'\0');
    DWORD got = GetFullPathNameW(w.c_str(), need, &full[0], nullptr);
    if (got == 0 || got >= need) return w;
    full.resize(got);
    if (starts_with(full, L"\\\\?\\") || starts_with(full, L"\\\\.\\")) return full;
    if (starts_with(full, L"\\\\")) return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

// A path in the form the wide functions take: a path of MAX_PATH - 12 UTF-16
// units or more (a folder must leave room for an 8.3 name below it) in its
// "\\?\" form, which has no length limit; a shorter one as it is.
inline std::wstring sys_path(const std::wstring& w) {
    return w.size() < MAX_PATH - 12 ? w : long_form(w);
}
inline std::wstring sys_path(const char* utf8) { return sys_path(wide(utf8)); }

}  // namespace plat_win

#endif
