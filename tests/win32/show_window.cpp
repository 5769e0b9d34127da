// Shows the real main window with two files dropped on it, for a picture of
// the program: writes the file named by its first argument when the window
// is drawn, and ends after the number of seconds of its second argument.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "main_window.h"
#include "platform.h"

namespace {

void drop(HWND target, const std::string& file) {
    std::wstring name = vergle_wide(file);
    size_t bytes = (name.size() + 2) * sizeof(wchar_t);
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + bytes);
    char* p = static_cast<char*>(GlobalLock(mem));
    DROPFILES* df = reinterpret_cast<DROPFILES*>(p);
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    std::memcpy(p + sizeof(DROPFILES), name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(mem);
    SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

void pump_for(vergle_window& w, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) vergle_dispatch(w, msg);
        Sleep(20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> args;
    plat_utf8_args(argc, argv, args);
    if (args.size() < 5) return 2;
    static vergle_window w;
    if (vergle_start(w, GetModuleHandleW(nullptr), SW_SHOW) != 1) return 1;
    drop(w.main, args[3]);
    drop(w.main, args[4]);
    InvalidateRect(w.main, nullptr, TRUE);
    pump_for(w, 1500);
    // The window's place on the screen, for cropping: "WxH+X+Y", and the DPI
    // it is laid out for.
    RECT rc;
    GetWindowRect(w.main, &rc);
    std::string geometry = std::to_string(rc.right - rc.left) + "x" + std::to_string(rc.bottom - rc.top) + "+" +
                           std::to_string(rc.left) + "+" + std::to_string(rc.top) + " " +
                           std::to_string(w.layout.dpi) + "\n";
    plat_file* ready = plat_open(args[1].c_str(), PLAT_WRITE);
    if (ready) {
        plat_write(ready, geometry.data(), geometry.size());
        plat_close(ready);
    }
    pump_for(w, static_cast<DWORD>(std::atoi(args[2].c_str()) * 1000));
    vergle_release(w);
    return 0;
}
