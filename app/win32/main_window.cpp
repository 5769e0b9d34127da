#include "main_window.h"

#include <commdlg.h>
#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "comparison.h"
#include "platform.h"
#include "resource.h"
#include "settings.h"

namespace {

const wchar_t* const CLASS_NAME = L"Vergle";
const wchar_t* const CAPTION = L"Vergle";
const DWORD MAIN_STYLE = WS_SYSMENU;                // a caption and a close box, no sizing
const DWORD MAIN_EX_STYLE = WS_EX_OVERLAPPEDWINDOW;
const int BASE_DPI = 96;

int WINAPI default_message_box(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) {
    return MessageBoxW(owner, text, caption, flags);
}

// The chooser starts where the field's path lies.
int CALLBACK chooser_started(HWND dialog, UINT msg, LPARAM, LPARAM start) {
    if (msg == BFFM_INITIALIZED && start) SendMessageW(dialog, BFFM_SETSELECTIONW, TRUE, start);
    return 0;
}

// The shell's chooser of folders, files shown too, so that either can be
// chosen.
bool default_choose_path(HWND owner, const std::string& title, std::string& path) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    std::wstring t = vergle_wide(title), start = vergle_wide(path);
    BROWSEINFOW bi;
    std::memset(&bi, 0, sizeof bi);
    bi.hwndOwner = owner;
    bi.lpszTitle = t.c_str();
    bi.ulFlags = BIF_NEWDIALOGSTYLE | BIF_BROWSEINCLUDEFILES | BIF_NONEWFOLDERBUTTON;
    bi.lpfn = chooser_started;
    bi.lParam = start.empty() ? 0 : reinterpret_cast<LPARAM>(start.c_str());
    PIDLIST_ABSOLUTE chosen = SHBrowseForFolderW(&bi);
    bool ok = false;
    if (chosen) {
        // Long enough for any path the wide calls take.
        std::vector<wchar_t> buf(32768, L'\0');
        if (SHGetPathFromIDListEx(chosen, buf.data(), static_cast<DWORD>(buf.size()), GPFIDL_DEFAULT)) {
            path = vergle_utf8(buf.data());
            ok = !path.empty();
        }
        CoTaskMemFree(chosen);
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return ok;
}

void default_exit(vergle_window& w) { vergle_exit_process(w); }

int box(HWND owner, const std::string& utf8, UINT flags) {
    return vergle_message_box(owner, vergle_wide(utf8).c_str(), CAPTION, flags);
}

void warn(vergle_window& w, const char* utf8) { box(w.main, ui_text(utf8), MB_OK | MB_ICONERROR | MB_TOPMOST); }

void set_text(HWND h, const std::string& utf8) { SetWindowTextW(h, vergle_wide(utf8).c_str()); }

// ---------------------------------------------------------------------------
// The controls and their layout

enum control_kind { EDIT_FIELD, CHECK_BOX, SMALL_BUTTON, LARGE_BUTTON };

struct control_def {
    HWND vergle_window::*slot;  // where the handle is kept, or null
    const wchar_t* cls;
    const char* caption;        // UTF-8
    int id;
    DWORD style;
    DWORD ex_style;
    control_kind kind;
};

const DWORD EDIT_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL;
const DWORD BUTTON_STYLE = WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_FLAT | BS_PUSHBUTTON;
const DWORD CHECK_STYLE = WS_CHILD | BS_AUTOCHECKBOX;

// In the order of the CTRL_ constants.
const control_def CONTROLS[CTRL_COUNT] = {
    {&vergle_window::program_edit, L"EDIT", "", 0, EDIT_STYLE, WS_EX_CLIENTEDGE, EDIT_FIELD},
    {&vergle_window::file1_edit, L"EDIT", "", 0, EDIT_STYLE, WS_EX_CLIENTEDGE, EDIT_FIELD},
    {&vergle_window::file2_edit, L"EDIT", "", 0, EDIT_STYLE, WS_EX_CLIENTEDGE, EDIT_FIELD},
    {&vergle_window::textbox_check, L"BUTTON", "オートシェイプ・コメント文字列比較", IDC_TEXTBOX, CHECK_STYLE, 0,
     CHECK_BOX},
    {&vergle_window::allpage_check, L"BUTTON", "全ページ一括出力", IDC_ALLPAGE, CHECK_STYLE, 0, CHECK_BOX},
    {nullptr, L"BUTTON", "...", IDC_BROWSE, BUTTON_STYLE, 0, SMALL_BUTTON},
    {nullptr, L"BUTTON", "クリア", IDC_CLEAR, BUTTON_STYLE, 0, SMALL_BUTTON},
    {nullptr, L"BUTTON", "キャンセル", IDC_CANCEL, BUTTON_STYLE, 0, LARGE_BUTTON},
    {nullptr, L"BUTTON", "比較実行", IDC_RUN, BUTTON_STYLE, 0, LARGE_BUTTON},
    {nullptr, L"BUTTON", "...", IDC_CHOOSE1, BUTTON_STYLE, 0, SMALL_BUTTON},
    {nullptr, L"BUTTON", "...", IDC_CHOOSE2, BUTTON_STYLE, 0, SMALL_BUTTON},
};

const char* const LABELS[3] = {"フォルダ比較プログラム", "対象ファイル１", "対象ファイル２"};

// DPI-aware calls of Windows 10, looked up so that the program still starts
// on older systems (which scale the whole window instead).
template <typename Fn>
Fn user32_call(const char* name) {
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), name)));
}

UINT window_dpi(HWND hwnd) {
    using fn = UINT(WINAPI*)(HWND);
    static fn get = user32_call<fn>("GetDpiForWindow");
    UINT dpi = get && hwnd ? get(hwnd) : 0;
    if (dpi == 0) {
        HDC dc = GetDC(hwnd);
        dpi = static_cast<UINT>(GetDeviceCaps(dc, LOGPIXELSY));
        ReleaseDC(hwnd, dc);
    }
    return dpi ? dpi : BASE_DPI;
}

int metric(int index, UINT dpi) {
    using fn = int(WINAPI*)(int, UINT);
    static fn get = user32_call<fn>("GetSystemMetricsForDpi");
    if (get) return get(index, dpi);
    HDC dc = GetDC(nullptr);
    int system_dpi = GetDeviceCaps(dc, LOGPIXELSY);
    ReleaseDC(nullptr, dc);
    return MulDiv(GetSystemMetrics(index), static_cast<int>(dpi), system_dpi ? system_dpi : BASE_DPI);
}

// The system's UI font (the message font of the desktop's settings) at dpi.
HFONT make_font(UINT dpi) {
    NONCLIENTMETRICSW ncm;
    std::memset(&ncm, 0, sizeof ncm);
    ncm.cbSize = sizeof ncm;
    using fn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
    static fn for_dpi = user32_call<fn>("SystemParametersInfoForDpi");
    if (!for_dpi || !for_dpi(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0, dpi)) {
        if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0)) {
            ncm.lfMessageFont = LOGFONTW{};
            ncm.lfMessageFont.lfHeight = -12;
            ncm.lfMessageFont.lfWeight = FW_NORMAL;
            ncm.lfMessageFont.lfCharSet = DEFAULT_CHARSET;
        }
        HDC dc = GetDC(nullptr);
        int system_dpi = GetDeviceCaps(dc, LOGPIXELSY);
        ReleaseDC(nullptr, dc);
        ncm.lfMessageFont.lfHeight =
            MulDiv(ncm.lfMessageFont.lfHeight, static_cast<int>(dpi), system_dpi ? system_dpi : BASE_DPI);
    }
    return CreateFontIndirectW(&ncm.lfMessageFont);
}

int text_width(HDC dc, const char* utf8) {
    std::wstring t = vergle_wide(ui_text(utf8));
    SIZE size = {0, 0};
    GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
    return size.cx;
}

RECT rect_at(int x, int y, int width, int height) { return RECT{x, y, x + width, y + height}; }

// The window's outer size for a client area at dpi.
SIZE outer_size(SIZE client, UINT dpi) {
    RECT rc = {0, 0, client.cx, client.cy};
    using fn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    static fn adjust = user32_call<fn>("AdjustWindowRectExForDpi");
    if (!adjust || !adjust(&rc, MAIN_STYLE | WS_CAPTION, TRUE, MAIN_EX_STYLE, dpi)) {
        AdjustWindowRectEx(&rc, MAIN_STYLE | WS_CAPTION, TRUE, MAIN_EX_STYLE);
    }
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

// Sets the window font and the layout for dpi, moves the controls and
// resizes the window (keeping its top-left corner at `at` when given, else
// centring it on its monitor).
void apply_layout(vergle_window& w, UINT dpi, const POINT* at) {
    HFONT font = make_font(dpi);
    if (!font) return;
    HDC dc = GetDC(w.main);
    HGDIOBJ old = SelectObject(dc, font);
    window_layout layout = vergle_layout(dc, dpi);
    SelectObject(dc, old);
    ReleaseDC(w.main, dc);
    HFONT previous = w.font;
    w.font = font;
    w.layout = layout;
    for (int i = 0; i < CTRL_COUNT; ++i) {
        if (!w.controls[i]) continue;
        SendMessageW(w.controls[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        const RECT& r = layout.controls[i];
        MoveWindow(w.controls[i], r.left, r.top, r.right - r.left, r.bottom - r.top, TRUE);
    }
    if (previous) DeleteObject(previous);
    SIZE outer = outer_size(layout.client, dpi);
    POINT corner;
    if (at) {
        corner = *at;
    } else {
        MONITORINFO mi;
        mi.cbSize = sizeof mi;
        GetMonitorInfoW(MonitorFromWindow(w.main, MONITOR_DEFAULTTOPRIMARY), &mi);
        const RECT& work = mi.rcWork;
        corner.x = work.left + std::max(0L, (work.right - work.left - outer.cx) / 2);
        corner.y = work.top + std::max(0L, (work.bottom - work.top - outer.cy) / 2);
    }
    w.outer = outer;
    SetWindowPos(w.main, nullptr, corner.x, corner.y, outer.cx, outer.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    // The frame the system drew may differ from the estimate (a menu bar
    // of another height): the client area is what must fit.
    RECT client;
    GetClientRect(w.main, &client);
    LONG dx = layout.client.cx - client.right, dy = layout.client.cy - client.bottom;
    if (dx || dy) {
        w.outer = SIZE{outer.cx + dx, outer.cy + dy};
        SetWindowPos(w.main, nullptr, 0, 0, w.outer.cx, w.outer.cy, SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOMOVE);
    }
    InvalidateRect(w.main, nullptr, TRUE);
}

// The window is as large as its layout, even where that is larger than the
// screen (200% on a small monitor): the system would otherwise cut it.
void on_min_max_info(const vergle_window& w, MINMAXINFO* info) {
    info->ptMaxTrackSize.x = std::max(info->ptMaxTrackSize.x, w.outer.cx);
    info->ptMaxTrackSize.y = std::max(info->ptMaxTrackSize.y, w.outer.cy);
}

// ---------------------------------------------------------------------------
// Message handlers

LRESULT on_create(vergle_window& w, HWND hwnd) {
    DragAcceptFiles(hwnd, TRUE);
    for (int i = 0; i < CTRL_COUNT; ++i) {
        const control_def& c = CONTROLS[i];
        HWND h = CreateWindowExW(c.ex_style, c.cls, vergle_wide(ui_text(c.caption)).c_str(), c.style, 0, 0, 10, 10,
                                 hwnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(c.id)), w.instance, nullptr);
        if (!h) return -1;
        ShowWindow(h, SW_SHOW);
        w.controls[i] = h;
        if (c.slot) w.*c.slot = h;
    }
    apply_layout(w, window_dpi(hwnd), nullptr);
    SendMessageW(w.textbox_check, BM_SETCHECK, g_settings.textbox ? BST_CHECKED : BST_UNCHECKED, 0);
    SendMessageW(w.allpage_check, BM_SETCHECK, g_settings.allpage ? BST_CHECKED : BST_UNCHECKED, 0);
    return 0;
}

// The window moved to a monitor of another scaling (or the scaling
// changed): the font and the layout are made again for the new DPI, at the
// place the system suggests.
void on_dpi_changed(vergle_window& w, UINT dpi, const RECT* suggested) {
    POINT at = {suggested->left, suggested->top};
    apply_layout(w, dpi, &at);
}

void on_paint(vergle_window& w, HWND hwnd) {
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    HGDIOBJ old_font = SelectObject(dc, w.font);
    SetBkMode(dc, TRANSPARENT);
    for (int i = 0; i < 3; ++i) {
        std::wstring t = vergle_wide(ui_text(LABELS[i]));
        TextOutW(dc, w.layout.labels[i].left, w.layout.labels[i].top, t.c_str(), static_cast<int>(t.size()));
    }
    SelectObject(dc, old_font);
    HBITMAP banner = static_cast<HBITMAP>(
        LoadImageW(w.instance, MAKEINTRESOURCEW(IDB_BANNER), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR));
    if (banner) {
        BITMAP bm;
        GetObjectW(banner, sizeof bm, &bm);
        HDC mem = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(mem, banner);
        const RECT& r = w.layout.banner;
        int width = r.right - r.left, height = r.bottom - r.top;
        if (width == bm.bmWidth && height == bm.bmHeight) {
            BitBlt(dc, r.left, r.top, width, height, mem, 0, 0, SRCCOPY);
        } else {
            SetStretchBltMode(dc, HALFTONE);
            SetBrushOrgEx(dc, 0, 0, nullptr);
            StretchBlt(dc, r.left, r.top, width, height, mem, 0, 0, bm.bmWidth, bm.bmHeight, SRCCOPY);
        }
        SelectObject(mem, old);
        DeleteDC(mem);
        DeleteObject(banner);
    }
    EndPaint(hwnd, &ps);
}

// Saves the settings; a file that cannot be written is reported, and so is
// (once for each path) a program path the file cannot hold.
void save_settings(vergle_window& w) {
    int rc = write_settings();
    if (rc < 0) {
        box(w.main, settings_error_text(), MB_OK | MB_ICONERROR | MB_TOPMOST);
    } else if (rc > 0 && w.unsaved_program != g_settings.diff_program) {
        w.unsaved_program = g_settings.diff_program;
        box(w.main, settings_program_unsaved_text(g_settings.diff_program), MB_OK | MB_ICONWARNING | MB_TOPMOST);
    }
}

// The program path as the settings can hold it; false after the warning.
bool program_path_ok(vergle_window& w, const std::string& path) {
    if (valid_program_path(path.c_str())) return true;
    warn(w, "フォルダ比較プログラムのパスが空か、改行や制御文字を含んでいます。");
    return false;
}

bool is_folder(const std::string& path) { return plat_check_readable(path.c_str()) == PLAT_CHECK_FOLDER; }

// Puts a file or folder into the first (slot 0) or the second field: not
// the one the other field holds, and of its kind (two files or two
// folders).  False after the warning.
bool take_path(vergle_window& w, int slot, const std::string& path) {
    const std::string& other = slot == 0 ? w.file2 : w.file1;
    if (!other.empty()) {
        const bool folder = is_folder(path);
        if (plat_same_file_name(path, other)) {
            warn(w, folder ? "同じフォルダを指定することはできません。" : "同じファイルを指定することはできません。");
            return false;
        }
        if (folder != is_folder(other)) {
            const std::string& first = slot == 0 ? path : other;
            const std::string& second = slot == 0 ? other : path;
            box(w.main,
                ui_format("フォルダとファイルは比較できません。フォルダ同士かファイル同士を指定してください。(%s、%s)",
                          first, second),
                MB_OK | MB_ICONERROR | MB_TOPMOST);
            return false;
        }
    }
    set_text(slot == 0 ? w.file1_edit : w.file2_edit, path);
    (slot == 0 ? w.file1 : w.file2) = path;
    w.file_count = !w.file1.empty() + !w.file2.empty();
    return true;
}

void on_drop_files(vergle_window& w, HDROP drop) {
    UINT n = DragQueryFileW(drop, 0, nullptr, 0);
    std::wstring buf(n + 1, L'\0');
    UINT got = n ? DragQueryFileW(drop, 0, &buf[0], n + 1) : 0;
    DragFinish(drop);
    if (w.running) return;  // the run holds the two files: no change now
    if (got == 0 || w.file_count >= 2) return;
    buf.resize(got);
    // The first field while it is empty, then the second.
    take_path(w, w.file1.empty() ? 0 : 1, vergle_utf8(buf.c_str()));
}

// "..." beside a file field: a file or a folder chosen for it.
void on_choose(vergle_window& w, int slot) {
    if (w.running) return;
    std::string path = slot == 0 ? w.file1 : w.file2;
    if (!vergle_choose_path(w.main, ui_text("比較するファイルかフォルダを選んでください"), path)) return;
    take_path(w, slot, path);
}

void on_browse(vergle_window& w) {
    if (w.running) return;  // the run is using the program path
    std::vector<wchar_t> file(32768, L'\0'), title(32768, L'\0');
    OPENFILENAMEW ofn;
    std::memset(&ofn, 0, sizeof ofn);
    static const wchar_t filter[] = L"(*.exe)\0*.exe\0";
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = w.main;
    ofn.lpstrFilter = filter;
    ofn.lpstrFile = file.data();
    ofn.nMaxFile = static_cast<DWORD>(file.size());
    ofn.lpstrFileTitle = title.data();
    ofn.nMaxFileTitle = static_cast<DWORD>(title.size());
    ofn.lpstrTitle = L"DiffProgram";
    ofn.Flags = OFN_FILEMUSTEXIST;
    ofn.lpstrDefExt = L"";
    if (!vergle_open_dialog(&ofn)) return;
    file.back() = 0;
    std::string path = vergle_utf8(file.data());
    if (!program_path_ok(w, path)) return;
    set_text(w.program_edit, path);
    std::memcpy(g_settings.diff_program, path.c_str(), path.size() + 1);
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
    g_settings.textbox = SendMessageW(w.textbox_check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    g_settings.allpage = SendMessageW(w.allpage_check, BM_GETCHECK, 0, 0) == BST_CHECKED;
    std::string program = vergle_window_text(w.program_edit);
    if (!program_path_ok(w, program)) return;
    std::memcpy(g_settings.diff_program, program.c_str(), program.size() + 1);
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
    {
        window_ui ui(&w);
        const char* argv[3] = {"Vergle", file1.c_str(), file2.c_str()};
        run_comparison(3, argv, ui);
    }
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
    set_text(w.file1_edit, "");
    set_text(w.file2_edit, "");
    w.file1.clear();
    w.file2.clear();
    w.file_count = 0;
}

void on_version(vergle_window& w) { box(w.main, "Vergle    \nVersion : 3.0.0.0", MB_OK); }

void on_help(vergle_window& w) {
    box(w.main,
        ui_text("使用前に「フォルダ比較プログラム」に、WinMerge等のフォルダ比較ツールのフルパス(*.exe)を指定します。"
                "\n\r内容はiniファイルに保存されますので、2回目からはこの操作は不要です。\n\r\n比較は対象のExcel/Word/"
                "PowerPointファイルを2つドラッグ＆ドロップした後に、「比較実行」ボタンをクリックしてください。\n\r\n"),
        MB_OK);
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
    case IDC_CHOOSE1: on_choose(w, 0); break;
    case IDC_CHOOSE2: on_choose(w, 1); break;
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
    vergle_window* w = reinterpret_cast<vergle_window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (msg == WM_NCCREATE) {
        w = static_cast<vergle_window*>(reinterpret_cast<CREATESTRUCTW*>(lp)->lpCreateParams);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(w));
        w->main = hwnd;
    }
    if (!w) return DefWindowProcW(hwnd, msg, wp, lp);
    switch (msg) {
    case WM_CREATE: return on_create(*w, hwnd);
    case WM_PAINT: on_paint(*w, hwnd); return 0;
    case WM_DPICHANGED: on_dpi_changed(*w, LOWORD(wp), reinterpret_cast<const RECT*>(lp)); return 0;
    case WM_GETMINMAXINFO: on_min_max_info(*w, reinterpret_cast<MINMAXINFO*>(lp)); return 0;
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
    default: return DefWindowProcW(hwnd, msg, wp, lp);
    }
}

}  // namespace

message_box_fn vergle_message_box = default_message_box;
open_dialog_fn vergle_open_dialog = GetOpenFileNameW;
choose_path_fn vergle_choose_path = default_choose_path;
exit_fn vergle_exit = default_exit;

std::wstring vergle_wide(const std::string& utf8) {
    std::u16string w;
    plat_utf8_to_utf16(utf8.data(), utf8.size(), w);
    return std::wstring(w.begin(), w.end());
}

std::string vergle_utf8(const wchar_t* text) {
    std::string out;
    plat_utf16_to_utf8(reinterpret_cast<const char16_t*>(text), std::wcslen(text), out);
    return out;
}

std::string vergle_window_text(HWND h) {
    int n = GetWindowTextLengthW(h);
    std::wstring buf(static_cast<size_t>(n) + 1, L'\0');
    int got = GetWindowTextW(h, &buf[0], n + 1);
    buf.resize(got > 0 ? static_cast<size_t>(got) : 0);
    return vergle_utf8(buf.c_str());
}

window_layout vergle_layout(HDC dc, UINT dpi) {
    auto s = [dpi](int px) { return MulDiv(px, static_cast<int>(dpi), BASE_DPI); };
    TEXTMETRICW tm;
    GetTextMetricsW(dc, &tm);
    const int line = tm.tmHeight;
    const int margin = s(15), gap = s(10), small_gap = s(4);

    // Sizes from the texts: every caption fits its control.
    const int edge = metric(SM_CYEDGE, dpi);
    const int edit_h = line + 2 * edge + s(6);
    const int large_h = std::max(s(25), line + s(12));
    const int check_box = metric(SM_CXMENUCHECK, dpi);
    const int check_h = std::max(line, check_box) + s(4);
    int width[CTRL_COUNT] = {};
    int small_w = s(40), large_w = s(80), checks_w = 0;
    for (int i = 0; i < CTRL_COUNT; ++i) {
        int text = text_width(dc, CONTROLS[i].caption);
        switch (CONTROLS[i].kind) {
        case EDIT_FIELD: break;
        case CHECK_BOX:
            // The box, the gap the control leaves after it, the text and
            // room for the focus frame.
            width[i] = check_box + s(6) + text + s(6);
            checks_w = std::max(checks_w, width[i]);
            break;
        case SMALL_BUTTON: small_w = std::max(small_w, text + s(16)); break;
        case LARGE_BUTTON: large_w = std::max(large_w, text + s(24)); break;
        }
    }
    const int banner_w = s(200), banner_h = s(30);
    int label_w = 0;
    for (const char* l : LABELS) label_w = std::max(label_w, text_width(dc, l));

    // The width: the classic 670 pixels (at 96 DPI), more when the bottom
    // row or a label needs it.
    int bottom_row = margin + checks_w + gap + banner_w + gap + large_w + gap + large_w + margin;
    int client_w = std::max({s(670), bottom_row, margin + label_w + gap + small_w + margin});
    int edit_w = client_w - 2 * margin - gap - small_w;
    int right_x = margin + edit_w + gap;

    window_layout l;
    l.dpi = dpi;
    int y = s(12);
    auto label_at = [&](int i, int top) { l.labels[i] = rect_at(margin, top, text_width(dc, LABELS[i]), line); };
    // "フォルダ比較プログラム" and the program field with "..." beside it.
    label_at(0, y);
    y += line + small_gap;
    l.controls[CTRL_PROGRAM] = rect_at(margin, y, edit_w, edit_h);
    l.controls[CTRL_BROWSE] = rect_at(right_x, y, small_w, edit_h);
    y += edit_h + gap;
    // "対象ファイル１" and its field.
    label_at(1, y);
    y += line + small_gap;
    l.controls[CTRL_FILE1] = rect_at(margin, y, edit_w, edit_h);
    l.controls[CTRL_CHOOSE1] = rect_at(right_x, y, small_w, edit_h);
    y += edit_h + small_gap;
    // "対象ファイル２" with "クリア" between the two file fields, and the
    // second field.
    int row = std::max(line + small_gap, edit_h + small_gap);
    label_at(2, y + row - small_gap - line);
    l.controls[CTRL_CLEAR] = rect_at(right_x, y + (row - small_gap - edit_h) / 2, small_w, edit_h);
    y += row;
    l.controls[CTRL_FILE2] = rect_at(margin, y, edit_w, edit_h);
    l.controls[CTRL_CHOOSE2] = rect_at(right_x, y, small_w, edit_h);
    y += edit_h + gap;
    // The check boxes, the banner beside them and the two buttons at the
    // right, all in one row.
    int block_h = 2 * check_h;
    int row_h = std::max({block_h, banner_h, large_h});
    l.controls[CTRL_TEXTBOX] = rect_at(margin, y + (row_h - block_h) / 2, width[CTRL_TEXTBOX], check_h);
    l.controls[CTRL_ALLPAGE] = rect_at(margin, y + (row_h - block_h) / 2 + check_h, width[CTRL_ALLPAGE], check_h);
    l.banner = rect_at(margin + checks_w + gap, y + (row_h - banner_h) / 2, banner_w, banner_h);
    int run_x = client_w - margin - large_w;
    l.controls[CTRL_RUN] = rect_at(run_x, y + row_h - large_h, large_w, large_h);
    l.controls[CTRL_CANCEL] = rect_at(run_x - gap - large_w, y + row_h - large_h, large_w, large_h);
    y += row_h + gap;
    l.client = SIZE{client_w, y};
    return l;
}

int vergle_start(vergle_window& w, HINSTANCE instance, int show) {
    w.instance = instance;
    w.show = show;
    w.mutex = CreateMutexW(nullptr, FALSE, L"Vergle");
    if (w.mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(w.mutex);
        w.mutex = nullptr;
        return 0;
    }
    read_settings();

    WNDCLASSEXW wc;
    std::memset(&wc, 0, sizeof wc);
    wc.cbSize = sizeof wc;
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = window_proc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_VERGLE));
    wc.hIconSm = wc.hIcon;
    wc.hCursor = static_cast<HCURSOR>(
        LoadImageW(nullptr, MAKEINTRESOURCEW(32512), IMAGE_CURSOR, 0, 0, LR_SHARED | LR_DEFAULTSIZE));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszMenuName = L"VERGLE_DIALOG_01";
    wc.lpszClassName = CLASS_NAME;
    if (!RegisterClassExW(&wc) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS) return -1;

    // The size and place are set when the window knows its DPI (WM_CREATE).
    HWND hwnd = CreateWindowExW(MAIN_EX_STYLE, CLASS_NAME, CAPTION, MAIN_STYLE, CW_USEDEFAULT, CW_USEDEFAULT, 670, 245,
                                nullptr, nullptr, instance, &w);
    if (!hwnd) return -1;
    ShowWindow(hwnd, show);
    UpdateWindow(hwnd);
    w.accel = LoadAcceleratorsW(instance, L"VERGLE_ACCEL");
    if (!w.accel) return -1;
    set_text(w.program_edit, g_settings.diff_program);
    return 1;
}

void vergle_dispatch(vergle_window& w, MSG& msg) {
    if (!w.main || !TranslateAcceleratorW(w.main, w.accel, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void vergle_message_loop(vergle_window& w) {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) vergle_dispatch(w, msg);
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

window_ui::~window_ui() {
    if (quit_seen) PostQuitMessage(static_cast<int>(quit_code));
}

void window_ui::show_error(const std::string& text, bool owned) {
    box(owned ? w->main : nullptr, text, MB_OK | MB_ICONERROR | MB_TOPMOST);
}

bool window_ui::ask_retry(const std::string& text) {
    return box(w->main, text, MB_YESNO | MB_ICONERROR | MB_TOPMOST) == IDYES;
}

bool window_ui::pump_one_message() {
    MSG msg;
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) return !w->exit_after_run;
    if (msg.message == WM_QUIT) {
        PostQuitMessage(static_cast<int>(msg.wParam));  // the loop still ends
        return false;
    }
    vergle_dispatch(*w, msg);
    return !w->exit_after_run;
}

bool window_ui::interrupted() { return w->exit_after_run || quit_seen; }

void window_ui::documents_done(long done, long total) {
    if (!w->main) return;
    const unsigned long long now = GetTickCount64();
    if (done >= total) {
        SetWindowTextW(w->main, CAPTION);
        return;
    }
    if (now - title_shown < 100) return;
    title_shown = now;
    set_text(w->main, "Vergle - " + ui_text("文書") + " " + std::to_string(done) + "/" + std::to_string(total));
}

bool window_ui::program_running() {
    MSG msg;
    while (!quit_seen && PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Posted again once the run is over, so that the loop ends then.
            quit_seen = true;
            quit_code = msg.wParam;
            break;
        }
        vergle_dispatch(*w, msg);
    }
    return !w->exit_after_run && !quit_seen;
}
