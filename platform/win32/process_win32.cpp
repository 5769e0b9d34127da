// The Windows platform layer's process calls: the program's arguments in
// UTF-8, and the folder-compare program started with CreateProcessW.  Apart
// from the file calls, so that the workbook library, which needs none of
// this, imports neither user32 nor shell32.
#include <windows.h>
#include <shellapi.h>

#include <cstring>
#include <cwchar>
#include <new>

#include "platform.h"
#include "win32/wide.h"

using plat_win::narrow;
using plat_win::sys_path;
using plat_win::wide;

bool plat_utf8_args(int argc, char** argv, std::vector<std::string>& out) {
    out.clear();
    int n = 0;
    LPWSTR* args = CommandLineToArgvW(GetCommandLineW(), &n);
    if (!args) {
        for (int i = 0; i < argc; ++i) out.push_back(argv[i]);
        return false;
    }
    for (int i = 0; i < n; ++i) out.push_back(narrow(args[i], wcslen(args[i])));
    LocalFree(args);
    return true;
}

// ---------------------------------------------------------------------------
// Starting the folder-compare program

namespace {

// One argument of a command line, as the C runtime and CommandLineToArgvW
// split it again: in double quotes, a quote inside escaped, and the
// backslashes right before a quote (the closing one included) doubled.  The
// text is UTF-16, so a backslash is always a backslash, never the second
// byte of a double-byte character.
void append_argument(std::wstring& cmd, const std::wstring& arg) {
    cmd += L'"';
    size_t slashes = 0;
    for (wchar_t c : arg) {
        if (c == L'\\') {
            ++slashes;
            continue;
        }
        if (c == L'"') {
            cmd.append(slashes * 2 + 1, L'\\');
        } else {
            cmd.append(slashes, L'\\');
        }
        slashes = 0;
        cmd += c;
    }
    cmd.append(slashes * 2, L'\\');
    cmd += L'"';
}

// The last part of a path (after its last separator).
std::wstring last_part(const std::wstring& p) {
    size_t cut = p.find_last_of(L"\\/:");
    return cut == std::wstring::npos ? p : p.substr(cut + 1);
}

bool is_file(const std::wstring& p) {
    DWORD attr = GetFileAttributesW(sys_path(p).c_str());
    return attr != INVALID_FILE_ATTRIBUTES && !(attr & FILE_ATTRIBUTE_DIRECTORY);
}

// The file the program names.  A name with a folder part (a separator or a
// drive) is taken where it points (with ".exe" added when there is no such
// file and the name has no extension); a bare name is looked for in the
// folders of PATH alone, never in the current folder or Vergle's own
// folder, where the system's own search would look first, ".exe" added
// when it has no extension, as the system does.  Empty when there is none.
std::wstring find_program(const std::wstring& program) {
    std::wstring name = program;
    bool no_extension = last_part(name).find(L'.') == std::wstring::npos;
    if (name.find_first_of(L"\\/:") != std::wstring::npos) {
        if (is_file(name)) return name;
        return no_extension && is_file(name + L".exe") ? name + L".exe" : std::wstring();
    }
    if (no_extension) name += L".exe";
    std::string path;
    if (!plat_getenv("PATH", path)) return std::wstring();
    std::wstring dirs = wide(path);
    size_t start = 0;
    while (start <= dirs.size()) {
        size_t end = dirs.find(L';', start);
        if (end == std::wstring::npos) end = dirs.size();
        std::wstring dir = dirs.substr(start, end - start);
        start = end + 1;
        if (dir.size() >= 2 && dir.front() == L'"' && dir.back() == L'"') dir = dir.substr(1, dir.size() - 2);
        if (dir.empty()) continue;
        if (dir.back() != L'\\' && dir.back() != L'/') dir += L'\\';
        if (is_file(dir + name)) return dir + name;
    }
    return std::wstring();
}

// True for a batch file, which the system runs through cmd.exe: cmd
// expands "%...%" and reads "&", "|" and "^" in the arguments, which no
// quoting keeps from it.  (Trailing dots and blanks are dropped from a name
// by the system.)
bool is_batch_file(const std::wstring& p) {
    std::wstring name = last_part(p);
    while (!name.empty() && (name.back() == L'.' || name.back() == L' ')) name.pop_back();
    size_t dot = name.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    std::wstring ext = name.substr(dot);
    return CompareStringOrdinal(ext.c_str(), -1, L".bat", -1, TRUE) == CSTR_EQUAL ||
           CompareStringOrdinal(ext.c_str(), -1, L".cmd", -1, TRUE) == CSTR_EQUAL;
}

// Asks a program to end as a user would: its visible top-level windows are
// sent WM_CLOSE.  False when it shows none (yet).
struct close_request {
    DWORD process;
    int asked;
};

BOOL CALLBACK close_window_of(HWND hwnd, LPARAM param) {
    close_request* req = reinterpret_cast<close_request*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == req->process && IsWindowVisible(hwnd) && PostMessageW(hwnd, WM_CLOSE, 0, 0)) ++req->asked;
    return TRUE;
}

bool ask_to_close(DWORD process) {
    close_request req{process, 0};
    EnumWindows(close_window_of, reinterpret_cast<LPARAM>(&req));
    return req.asked > 0;
}

}  // namespace

namespace {

// Starts the program and waits for it: handling the window's messages with
// watch, or asking interrupted every 20 ms and ending the program once it
// says so.
int run_program(const char* program, const char* a1, const char* a2, int* exit_code, plat_watch_fn watch, void* ctx,
                bool (*interrupted)(void*), void* interrupted_ctx) {
    if (!program || !*program) return -1;
    std::wstring cmd, app;
    try {
        std::wstring given = wide(program);
        app = find_program(given);
        if (app.empty()) return -1;
        if (is_batch_file(app)) return -2;
        // The program's name is split without backslash rules: quoted as is.
        cmd = L"\"" + given + L"\" ";
        append_argument(cmd, wide(a1 ? a1 : ""));
        cmd += L' ';
        append_argument(cmd, wide(a2 ? a2 : ""));
        app = sys_path(app);
    } catch (const std::bad_alloc&) {
        return -1;
    }
    STARTUPINFOW si;
    memset(&si, 0, sizeof si);
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESHOWWINDOW;
    si.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION pi;
    memset(&pi, 0, sizeof pi);
    if (!CreateProcessW(app.c_str(), &cmd[0], nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS, nullptr, nullptr, &si,
                        &pi)) {
        return -1;
    }
    CloseHandle(pi.hThread);
    if (!watch && interrupted) {
        bool ended = false;
        while (WaitForSingleObject(pi.hProcess, 20) == WAIT_TIMEOUT) {
            if (!ended && interrupted(interrupted_ctx)) {
                TerminateProcess(pi.hProcess, 1);
                ended = true;
            }
        }
    } else if (!watch) {
        WaitForSingleObject(pi.hProcess, INFINITE);
    } else {
        // The window's messages are handled while the program runs.  Once
        // the watcher asks to stop, the program's windows are asked to close
        // (once: a second WM_CLOSE would answer the program's own question,
        // such as whether to save); a program not showing a window yet is
        // asked again a little later.
        bool stop = false, asked = false;
        for (;;) {
            DWORD r = MsgWaitForMultipleObjectsEx(1, &pi.hProcess, stop && !asked ? 250 : INFINITE, QS_ALLINPUT,
                                                  MWMO_INPUTAVAILABLE);
            if (r == WAIT_OBJECT_0 || r == WAIT_FAILED) break;
            if (r == WAIT_OBJECT_0 + 1 && !watch(ctx)) stop = true;
            if (stop && !asked) asked = ask_to_close(pi.dwProcessId);
        }
    }
    DWORD code = 0;
    if (!GetExitCodeProcess(pi.hProcess, &code)) code = static_cast<DWORD>(-1);
    CloseHandle(pi.hProcess);
    if (exit_code) *exit_code = static_cast<int>(code);
    return 0;
}

}  // namespace

int plat_run_and_watch(const char* program, const char* a1, const char* a2, int* exit_code, plat_watch_fn watch,
                       void* ctx) {
    return run_program(program, a1, a2, exit_code, watch, ctx, nullptr, nullptr);
}

int plat_run_and_wait(const char* program, const char* a1, const char* a2, int* exit_code,
                      bool (*interrupted)(void* ctx), void* ctx) {
    return run_program(program, a1, a2, exit_code, nullptr, nullptr, interrupted, ctx);
}
