// The main window: start-up, the window procedure and its handlers, and the
// front end's state, kept in one record.
#ifndef VERGLE_MAIN_WINDOW_H
#define VERGLE_MAIN_WINDOW_H

#include <windows.h>
#include <commdlg.h>

#include "ui.h"

struct vergle_window {
    HINSTANCE instance = nullptr;
    int show = SW_SHOWNORMAL;
    HANDLE mutex = nullptr;
    HWND main = nullptr;
    HWND program_edit = nullptr;
    HWND file1_edit = nullptr;
    HWND file2_edit = nullptr;
    HWND textbox_check = nullptr;
    HWND allpage_check = nullptr;
    HFONT font = nullptr;
    HACCEL accel = nullptr;
    char file1[MAX_PATH] = {};
    char file2[MAX_PATH] = {};
    int file_count = 0;
    char path_buf[MAX_PATH] = {};   // dropped files and the file dialog
    char title_buf[MAX_PATH] = {};  // the file dialog's file title
    bool running = false;           // a comparison is under way
    bool exit_after_run = false;    // cancel or close came during the run
};

// Calls the window makes to the outside, replaceable for tests: the message
// box, the file-open dialog, and the end of the process.
using message_box_fn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using open_dialog_fn = BOOL(WINAPI*)(LPOPENFILENAMEA);
using exit_fn = void (*)(vergle_window& w);
extern message_box_fn vergle_message_box;
extern open_dialog_fn vergle_open_dialog;
extern exit_fn vergle_exit;

// Start-up: the single-instance mutex "Vergle", the settings, the font, the
// window class, the main window and the accelerators.  1 when the window is
// up; 0 when another instance holds the mutex (nothing shown); -1 when the
// window could not be made.
int vergle_start(vergle_window& w, HINSTANCE instance, int show);

// One message of the loop: the accelerator table translates it first (so
// Ctrl+X in an edit field ends the program rather than cutting text);
// otherwise it is translated and dispatched.
void vergle_dispatch(vergle_window& w, MSG& msg);

// The message loop; returns when the loop ends.
void vergle_message_loop(vergle_window& w);

// Releases what start-up made (the window, the font, the mutex).  For tests
// and for the end of the process.
void vergle_release(vergle_window& w);

// The exit path of the program: deletes the font and ends the process with
// code 0.
void vergle_exit_process(vergle_window& w);

// The message boxes and message pumping of the comparison run, on the main
// window.  pump_one_message answers false once cancel or close has been
// asked for during the run, so that the dump ends and the run removes what
// it wrote before the program ends.
struct window_ui : vergle_ui {
    vergle_window* w;
    explicit window_ui(vergle_window* win) : w(win) {}
    void show_error(const std::string& text, bool owned) override;
    bool ask_retry(const std::string& text) override;
    bool pump_one_message() override;
};

#endif
