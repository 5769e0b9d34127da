#include "main_window.h"

#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "comparison.h"
#include "resource.h"
#include "settings.h"

namespace {

const char* const CLASS_NAME = "Vergle";
const char* const CAPTION = "Vergle";
const int CLIENT_WIDTH = 670;
const int CLIENT_HEIGHT = 245;

int WINAPI default_message_box(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    return MessageBoxA(owner, text, caption, flags);
}

void default_exit(vergle_window& w) { vergle_exit_process(w); }

// Texts of the sources are UTF-8; the window shows them in the ANSI code page.
std::string T(const char* utf8) { return ui_text(utf8); }

void warn(vergle_window& w, const char* utf8) {
    vergle_message_box(w.main, T(utf8).c_str(), CAPTION, MB_OK | MB_ICONERROR | MB_TOPMOST);
}

struct control_def {
    HWND vergle_window::*slot;  // where the handle is kept, or null
    const char* cls;
    const char* caption;        // UTF-8
    int x, y, width, height;
    int id;
    DWORD style;
    DWORD ex_style;
};

const DWORD EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP;
const DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_FLAT | BS_PUSHBUTTON;

const control_def CONTROLS[] = {
    {&vergle_window::program_edit, "EDIT", "", 15, 30, 600, 22, 0, EDIT_STYLE, WS_EX_CLIENTEDGE},
    {&vergle_window::file1_edit, "EDIT", "", 15, 80, 600, 22, 0, EDIT_STYLE, WS_EX_CLIENTEDGE},
    {&vergle_window::file2_edit, "EDIT", "", 15, 130, 600, 22, 0, EDIT_STYLE, WS_EX_CLIENTEDGE},
    {&vergle_window::textbox_check, "BUTTON", "オートシェイプ・コメント文字列比較", 15, 160, 200, 22, IDC_TEXTBOX,
     WS_CHILD | BS_AUTOCHECKBOX, 0},
    {&vergle_window::allpage_check, "BUTTON", "全ページ一括出力", 15, 180, 120, 22, IDC_ALLPAGE,
     WS_CHILD | BS_AUTOCHECKBOX, 0},
    {nullptr, "BUTTON", "...", 625, 30, 40, 22, IDC_BROWSE, BUTTON_STYLE, 0},
    {nullptr, "BUTTON", "クリア", 625, 104, 40, 22, IDC_CLEAR, BUTTON_STYLE, 0},
    {nullptr, "BUTTON", "キャンセル", 485, 190, 80, 25, IDC_CANCEL, BUTTON_STYLE, 0},
    {nullptr, "BUTTON", "比較実行", 585, 190, 80, 25, IDC_RUN, BUTTON_STYLE, 0},
};

// ---------------------------------------------------------------------------
// Message handlers

LRESULT on_create(vergle_window& w, HWND hwnd) {
    DragAcceptFiles(hwnd, TRUE);
    for (const control_def& c : CONTROLS) {
        HWND h = CreateWindowExA(c.ex_style, c.cls, T(c.caption).c_str(), c.style, c.x, c.y, c.width, c.height, hwnd,
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), w.instance, nullptr);
        if (!h) return -1;
        SendMessageA(h, WM_SETFONT, reinterpret_cast<WPARAM>(w.font), FALSE);
        ShowWindow(h, SW_SHOW);
        if (c.slot) w.*c.slot = h;
    }
    SendMessageA(w.textbox_check, BM_SETCHECK, g_settings.textbox ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageA(w.allpage_check, BM_SETCHECK, g_settings.allpage ? BST_CHECKED : BST_UNCHECKED, 0);
    return 0;
}

void on_paint(vergle_window& w, HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HGDIOBJ old_font = SelectObject(dc, w.font);
    SetBkMode(dc, TRANSPARENT);
    struct label {
        const char* text;
        int x, y;
    } labels[] = {{"フォルダ比較プログラム", 15, 12}, {"対象ファイル１", 15, 62}, {"対象ファイル２", 15, 112}};
    for (const label& l : labels) {
        std::string t = T(l.text);
        TextOutA(dc, l.x, l.y, t.c_str(), static_cast<int>(t.size()));
    }
    SelectObject(dc, old_font);
    HBITMAP banner = LoadBitmapA(w.instance, MAKEINTRESOURCEA(IDB_BANNER));
    if (banner) {
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, banner);
        BitBlt(dc, 190, 186, 200, 30, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(banner);
    }
    EndPaint(hwnd, &ps);
}

// Saves the settings; a file that cannot be written is reported.
void save_settings(vergle_window& w) {
    if (write_settings() != 0) {
        vergle_message_box(w.main, settings_error_text().c_str(), CAPTION, MB_OK | MB_ICONERROR | MB_TOPMOST);
    }
}

// The program path as the settings file can hold it; false after the
// warning.
bool program_path_ok(vergle_window& w, const char* path) {
    if (valid_program_path(path)) return true;
    warn(w, "フォルダ比較プログラムのパスが空か、改行や制御文字を含んでいます。");
    return false;
}

void on_drop_files(vergle_window& w, HDROP drop) {
    w.path_buf[0] = 0;
    UINT n = DragQueryFileA(drop, 0, w.path_buf, sizeof w.path_buf);
    DragFinish(drop);
    if (w.running) return;  // the run holds the two files: no change now
    if (n == 0 || n >= sizeof w.path_buf) return;
    if (w.file_count == 0) {
        SetWindowTextA(w.file1_edit, w.path_buf);
        std::strcpy(w.file1, w.path_buf);
        w.file_count = 1;
    } else if (w.file_count == 1) {
        if (lstrcmpiA(w.path_buf, w.file1) == 0) {
            warn(w, "同じファイルを指定することはできません。");
            return;
        }
        SetWindowTextA(w.file2_edit, w.path_buf);
        std::strcpy(w.file2, w.path_buf);
        w.file_count = 2;
    }
}

void on_browse(vergle_window& w) {
    if (w.running) return;  // the run is using the program path
    OPENFILENAMEA ofn;
    std::memset(&ofn, 0, sizeof ofn);
    static const char filter[] = "(*.exe)\0*.exe\0";
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = w.main;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = w.path_buf;
    ofn.nMaxFile = sizeof w.path_buf;
    ofn.lpstrFileTitle = w.title_buf;
    ofn.nMaxFileTitle = sizeof w.title_buf;
    ofn.lpstrTitle = "DiffProgram";
    ofn.Flags = OFN_FILEMUSTEXIST;
    ofn.lpstrDefExt = "";
    if (!vergle_open_dialog(&ofn)) return;
    if (!program_path_ok(w, w.path_buf)) return;
    SetWindowTextA(w.program_edit, w.path_buf);
    std::strncpy(g_settings.diff_program, w.path_buf, sizeof g_settings.diff_program - 1);
    g_settings.diff_program[sizeof g_settings.diff_program - 1] = 0;
    save_settings(w);
}

// The end of the program: the settings are saved first.
void end_program(vergle_window& w, bool destroy) {
    save_settings(w);
    if (destroy) DestroyWindow(w.main);
    vergle_exit(w);
}

void on_run(vergle_window& w) {
    if (w.file_count < 2) {
        warn(w, "比較するExcel/PowerPointファイルを２つ指定してください。");
        return;
    }
    g_settings.textbox = SendMessageA(w.textbox_check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    g_settings.allpage = SendMessageA(w.allpage_check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    char program[257];
    GetWindowTextA(w.program_edit, program, sizeof program);
    if (!program_path_ok(w, program)) return;
    std::strcpy(g_settings.diff_program, program);
    HWND run = GetDlgItem(w.main, IDC_RUN);
    HWND clear = GetDlgItem(w.main, IDC_CLEAR);
    EnableWindow(run, FALSE);
    EnableWindow(clear, FALSE);
    save_settings(w);
    // The run works on copies: the fields may not change under it, and the
    // dump handles window messages between sheets.
    std::string file1 = w.file1, file2 = w.file2;
    w.running = true;
    w.exit_after_run = false;
    window_ui ui(&w);
    const char* argv[3] = {"Vergle", file1.c_str(), file2.c_str()};
    run_comparison(3, argv, ui);
    w.running = false;
    if (w.exit_after_run) {
        // Cancel or close came during the run: it has ended and removed its
        // folder; now the program ends as asked.
        end_program(w, true);
        return;
    }
    EnableWindow(run, TRUE);
    EnableWindow(clear, TRUE);
}

void on_clear(vergle_window& w) {
    if (w.running) return;
    SetWindowTextA(w.file1_edit, "");
    SetWindowTextA(w.file2_edit, "");
    w.file_count = 0;
}

void on_version(vergle_window& w) {
    vergle_message_box(w.main, "Vergle    \nVersion : 3.0.0.0", CAPTION, MB_OK);
}

void on_help(vergle_window& w) {
    vergle_message_box(w.main,
                       T("使用前に「フォルダ比較プログラム」に、WinMerge等のフォルダ比較ツールのフルパス(*.exe)を指定"
                         "します。\n\r内容はiniファイルに保存されますので、2回目からはこの操作は不要です。\n\r\n比較は"
                         "対象のExcel/Word/PowerPointファイルを2つドラッグ＆ドロップした後に、「比較実行」ボタンをクリ"
                         "ックしてください。\n\r\n")
                           .c_str(),
                       CAPTION, MB_OK);
}

void on_command(vergle_window& w, int id) {
    switch (id) {
    case IDC_BROWSE: on_browse(w); break;
    case IDC_CANCEL:
    case IDM_EXIT:
        if (w.running) {
            w.exit_after_run = true;  // the run ends at its next message
            return;
        }
        end_program(w, true);
        return;
    case IDC_RUN: on_run(w); break;
    case IDC_CLEAR: on_clear(w); break;
    case IDM_VERSION: on_version(w); break;
    case IDM_HELP: on_help(w); break;
    default: return;
    }
    if (w.main) {
        InvalidateRect(w.main, nullptr, FALSE);
        UpdateWindow(w.main);
    }
}

LRESULT CALLBACK window_proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    vergle_window* w = reinterpret_cast<vergle_window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        w = static_cast<vergle_window*>(reinterpret_cast<CREATESTRUCTA*>(lp)->lpCreateParams);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
        w->main = hwnd;
    }
    if (!w) return DefWindowProcA(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_CREATE: return on_create(*w, hwnd);
    case WM_PAINT: on_paint(*w, hwnd); return 0;
    case WM_DROPFILES: on_drop_files(*w, reinterpret_cast<HDROP>(wp)); return 0;
    case WM_COMMAND: on_command(*w, LOWORD(wp)); return 0;
    case WM_CLOSE:
        if (w->running) {
            w->exit_after_run = true;  // the run ends at its next message
            return 0;
        }
        end_program(*w, false);
        return 0;
    case WM_DESTROY:
        w->main = nullptr;
        PostQuitMessage(0);
        return 0;
    default: return DefWindowProcA(hwnd, msg, wp, lp);
    }
}

}  // namespace

message_box_fn vergle_message_box = default_message_box;
open_dialog_fn vergle_open_dialog = GetOpenFileNameA;
exit_fn vergle_exit = default_exit;

int vergle_start(vergle_window& w, HINSTANCE instance, int show) {
    w.instance = instance;
    w.show = show;
    w.mutex = CreateMutexA(nullptr, FALSE, "Vergle");
    if (w.mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(w.mutex);
        w.mutex = nullptr;
        return 0;
    }
    read_settings();
    w.font = CreateFontA(12, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, SHIFTJIS_CHARSET, OUT_DEFAULT_PRECIS,
                         CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH, nullptr);

    WNDCLASSEXA wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_VERGLE));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = static_cast<HCURSOR>(LoadImageA(nullptr, MAKEINTRESOURCEA(32512), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = "VERGLE_DIALOG_01";
    wc.lpszClassName = CLASS_NAME;
    if (!RegisterClassExA(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return -1;

    RECT rc = {0, 0, CLIENT_WIDTH, CLIENT_HEIGHT};
    AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
    int x = (GetSystemMetrics(SM_CXSCREEN) - CLIENT_WIDTH) / 2;
    int y = (GetSystemMetrics(SM_CYSCREEN) - CLIENT_HEIGHT) / 2;
    HWND hwnd = CreateWindowExA(WS_EX_OVERLAPPEDWINDOW, CLASS_NAME, CAPTION, WS_SYSMENU, x, y, rc.right - rc.left,
                                rc.bottom - rc.top, nullptr, nullptr, instance, &w);
    if (!hwnd) return -1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    w.accel = LoadAcceleratorsA(instance, "VERGLE_ACCEL");
    if (!w.accel) return -1;
    SetWindowTextA(w.program_edit, g_settings.diff_program);
    return 1;
}

void vergle_dispatch(vergle_window& w, MSG& msg) {
    if (!w.main || !TranslateAcceleratorA(w.main, w.accel, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

void vergle_message_loop(vergle_window& w) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) vergle_dispatch(w, msg);
}

void vergle_release(vergle_window& w) {
    if (w.main) DestroyWindow(w.main);
    w.main = nullptr;
    if (w.font) DeleteObject(w.font);
    w.font = nullptr;
    if (w.mutex) CloseHandle(w.mutex);
    w.mutex = nullptr;
}

void vergle_exit_process(vergle_window& w) {
    if (w.font) DeleteObject(w.font);
    w.font = nullptr;
    ExitProcess(0);
}

void window_ui::show_error(const std::string& text, bool owned) {
    vergle_message_box(owned ? w->main : nullptr, text.c_str(), CAPTION, MB_OK | MB_ICONERROR | MB_TOPMOST);
}

bool window_ui::ask_retry(const std::string& text) {
    return vergle_message_box(w->main, text.c_str(), CAPTION, MB_YESNO | MB_ICONERROR | MB_TOPMOST) == IDYES;
}

bool window_ui::pump_one_message() {
    MSG msg;
    if (!PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) return true;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // the loop still ends
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
    return !w->exit_after_run;
}
