// The main window: start-up, the window procedure and its handlers, and the
// front end's state, kept in one record.  Every text goes to the system and
// comes back through the wide (UTF-16) calls; inside, texts and paths are
// UTF-8.
#ifndef VERGLE_MAIN_WINDOW_H
#define VERGLE_MAIN_WINDOW_H

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "ui.h"

// The controls in their creation order (child window ids aside).
enum {
    CTRL_PROGRAM,   // the program field
    CTRL_FILE1,     // the first file field
    CTRL_FILE2,     // the second file field
    CTRL_TEXTBOX,   // "オートシェイプ・コメント文字列比較"
    CTRL_ALLPAGE,   // "全ページ一括出力"
    CTRL_BROWSE,    // "..."
    CTRL_CLEAR,     // "クリア"
    CTRL_CANCEL,    // "キャンセル"
    CTRL_RUN,       // "比較実行"
    CTRL_CHOOSE1,   // "..." beside the first file field: a file or a folder
    CTRL_CHOOSE2,   // "..." beside the second
    CTRL_COUNT
};

// Where everything lies at one DPI, in client coordinates: worked out from
// the window font's text metrics and the texts' extents, so that no text is
// cut at any scaling.
struct window_layout {
    UINT dpi = 96;
    SIZE client = {0, 0};
    RECT controls[CTRL_COUNT] = {};
    RECT labels[3] = {};  // "フォルダ比較プログラム", "対象ファイル１", "対象ファイル２"
    RECT banner = {};     // bitmap 101, scaled from its 200 x 30 at 96 DPI
};

struct vergle_window {
    HINSTANCE instance = nullptr;
    int show = SW_SHOWNORMAL;
    HANDLE mutex = nullptr;
    HWND main = nullptr;
    HWND controls[CTRL_COUNT] = {};
    HWND program_edit = nullptr;
    HWND file1_edit = nullptr;
    HWND file2_edit = nullptr;
    HWND textbox_check = nullptr;
    HWND allpage_check = nullptr;
    HFONT font = nullptr;   // the system's UI font at the window's DPI
    HACCEL accel = nullptr;
    window_layout layout;   // at the window's current DPI
    SIZE outer = {0, 0};    // the window's size for that layout
    std::string file1;      // the dropped or chosen files or folders (UTF-8)
    std::string file2;
    int file_count = 0;     // how many of the two are given
    bool running = false;           // a comparison is under way
    bool exit_after_run = false;    // cancel or close came during the run
    std::string unsaved_program;    // the program path last reported as not saved
};

// Calls the window makes to the outside, replaceable for tests: the message
// box, the file-open dialog, the chooser of a file or folder to compare
// (owner, title, the path to start at and, when it returns true, the
// path chosen; UTF-8), and the end of the process.
using message_box_fn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);
using open_dialog_fn = BOOL(WINAPI*)(LPOPENFILENAMEW);
using choose_path_fn = bool (*)(HWND owner, const std::string& title, std::string& path);
using exit_fn = void (*)(vergle_window& w);
extern message_box_fn vergle_message_box;
extern open_dialog_fn vergle_open_dialog;
extern choose_path_fn vergle_choose_path;
extern exit_fn vergle_exit;

// A UTF-8 text in UTF-16 for the system, and back.
std::wstring vergle_wide(const std::string& utf8);
std::string vergle_utf8(const wchar_t* text);

// A window's text in UTF-8.
std::string vergle_window_text(HWND h);

// The layout at a DPI, for the given font (selected into dc).
window_layout vergle_layout(HDC dc, UINT dpi);

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
// window.  pump_one_message and program_running answer false once cancel or
// close has been asked for during the run, so that the dump ends (or the
// folder-compare program is asked to close) and the run removes what it
// wrote before the program ends.  A quit request seen while the program runs
// is posted again when the run is over.
struct window_ui : vergle_ui {
    vergle_window* w;
    bool quit_seen = false;
    WPARAM quit_code = 0;
    explicit window_ui(vergle_window* win) : w(win) {}
    ~window_ui() override;
    void show_error(const std::string& text, bool owned) override;
    bool ask_retry(const std::string& text) override;
    bool pump_one_message() override;
    bool program_running() override;
    // The user asked to stop (cancel, the close box, a quit): the run ends
    // and keeps nothing behind.
    bool interrupted() override;
    // Two folders: the window's title counts the documents done
    // ("Vergle - 文書 12/1000"), "Vergle" again when all are.
    void documents_done(long done, long total) override;
    unsigned long long title_shown = 0;  // when the title last changed (ms)
};

#endif
