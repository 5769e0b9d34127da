// Shows the real main window with two files dropped on it, for a picture of
// the program: writes the file named by its first argument when the window
// is drawn, and ends after the number of seconds of its second argument.
#include <windows.h>
#include <shlobj.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "main_window.h"

namespace {

void drop(HWND target, const std::string& file) {
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + file.size() + 2);
    char* p = static_cast<char*>(GlobalLock(mem));
    reinterpret_cast<DROPFILES*>(p)->pFiles = sizeof(DROPFILES);
    std::memcpy(p + sizeof(DROPFILES), file.c_str(), file.size() + 1);
    GlobalUnlock(mem);
    SendMessageA(target, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

void pump_for(vergle_window& w, DWORD ms) {
    DWORD end = GetTickCount() + ms;
    while (GetTickCount() < end) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) vergle_dispatch(w, msg);
        Sleep(20);
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 5) return 2;
    static vergle_window w;
    if (vergle_start(w, GetModuleHandleA(nullptr), SW_SHOW) != 1) return 1;
    drop(w.main, argv[3]);
    drop(w.main, argv[4]);
    InvalidateRect(w.main, nullptr, TRUE);
    pump_for(w, 1500);
    // The window's place on the screen, for cropping: "WxH+X+Y".
    RECT rc;
    GetWindowRect(w.main, &rc);
    char geometry[64];
    int n = wsprintfA(geometry, "%ldx%ld+%ld+%ld\n", rc.right - rc.left, rc.bottom - rc.top, rc.left, rc.top);
    HANDLE ready = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(ready, geometry, static_cast<DWORD>(n), &written, nullptr);
    CloseHandle(ready);
    pump_for(w, static_cast<DWORD>(std::atoi(argv[2]) * 1000));
    vergle_release(w);
    return 0;
}
