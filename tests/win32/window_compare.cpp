// A folder-compare program with a window, for the wait of the run: writes
// its arguments (UTF-8) into the file named by VERGLE_RECORD, lists the two
// folders as a compare program does, then
// VERGLE_RECORD with ".started" appended once its window shows, and ends
// when its window is closed (WM_CLOSE), adding "closed" to the record.
#include <windows.h>

#include <string>
#include <vector>

#include "platform.h"

namespace {

std::string record;

void append(const std::string& path, const std::string& text) {
    plat_file* f = plat_open(path.c_str(), PLAT_APPEND);
    if (!f) return;
    plat_write(f, text.data(), text.size());
    plat_close(f);
}

LRESULT CALLBACK proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
    case WM_CLOSE:
        append(record, "closed\n");
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY: PostQuitMessage(0); return 0;
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!plat_getenv("VERGLE_RECORD", record)) return 3;
    std::vector<std::string> args;
    plat_utf8_args(argc, argv, args);
    std::string out = "argc=" + std::to_string(args.size()) + "\n";
    for (size_t i = 1; i < args.size(); ++i) out += "arg=" + args[i] + "\n";
    append(record, out);
    for (size_t i = 1; i < args.size(); ++i) {
        std::vector<plat_dirent> entries;
        plat_list_dir(args[i].c_str(), entries);
    }
    WNDCLASSW wc = {};
    wc.lpfnWndProc = proc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"window_compare";
    RegisterClassW(&wc);
    HWND w = CreateWindowExW(0, L"window_compare", L"window_compare", WS_OVERLAPPEDWINDOW, 10, 10, 200, 100, nullptr,
                             nullptr, wc.hInstance, nullptr);
    if (!w) return 4;
    ShowWindow(w, SW_SHOWNORMAL);
    append(record + ".started", "started\n");
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
