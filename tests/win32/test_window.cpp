// The main window, created for real and driven by the messages a user's
// actions cause.  Message boxes, the file dialog and the end of the process
// are recorded instead.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "comparison.h"
#include "linked_dumps.h"
#include "main_window.h"
#include "platform.h"
#include "resource.h"
#include "settings.h"
#include "sheets_xlsx.h"
#include "test_support.h"

namespace {

struct shown_box {
    HWND owner;
    std::string text, caption;  // UTF-8
    UINT flags;
};
std::vector<shown_box> boxes;
int box_answer = IDOK;
int exits = 0;
std::string dialog_choice;  // UTF-8

// The chooser beside the file fields: answers the next path of choices
// (none: cancelled) and keeps where it was asked to start.
std::vector<std::string> choices;
std::vector<std::string> chooser_starts;
bool fake_chooser(HWND, const std::string&, std::string& path) {
    chooser_starts.push_back(path);
    if (choices.empty()) return false;
    path = choices.front();
    choices.erase(choices.begin());
    return true;
}

int WINAPI record_box(HWND owner, LPCWSTR text, LPCWSTR caption, UINT flags) {
    boxes.push_back({owner, vergle_utf8(text), vergle_utf8(caption), flags});
    return box_answer;
}
void record_exit(vergle_window&) { ++exits; }
BOOL WINAPI fake_dialog(LPOPENFILENAMEW ofn) {
    if (dialog_choice.empty()) return FALSE;
    std::wstring w = vergle_wide(dialog_choice);
    if (w.size() >= ofn->nMaxFile) return FALSE;
    std::memcpy(ofn->lpstrFile, w.c_str(), (w.size() + 1) * sizeof(wchar_t));
    return TRUE;
}

HWND run_button = nullptr;
std::vector<BOOL> run_enabled_during_dump;

// What the user does while the first dump works: called after the dump has
// written its file, before it handles one pending window message as the
// workbook dump does between sheets.
void (*during_first_dump)() = nullptr;

int fake_dump(const dump_request& req) {
    if (run_button) run_enabled_during_dump.push_back(IsWindowEnabled(run_button));
    if (plat_make_dir(req.output_folder) < 0) return -1;
    vt::write_file(vt::join(req.output_folder, "text"), vt::read_file(req.path));
    if (during_first_dump) {
        void (*act)() = during_first_dump;
        during_first_dump = nullptr;
        act();
        if (!req.ui->pump_one_message()) return -1;
    }
    return 0;
}

std::string edit_text(HWND h) { return vergle_window_text(h); }
void set_edit(HWND h, const std::string& utf8) { SetWindowTextW(h, vergle_wide(utf8).c_str()); }

// A drop of one or more files, as the shell sends it (wide names).
void send_drop(HWND target, const std::vector<std::string>& files) {
    std::vector<std::wstring> names;
    size_t size = sizeof(DROPFILES) + sizeof(wchar_t);
    for (const std::string& f : files) {
        names.push_back(vergle_wide(f));
        size += (names.back().size() + 1) * sizeof(wchar_t);
    }
    HGLOBAL mem = GlobalAlloc(GHND, size);
    char* p = static_cast<char*>(GlobalLock(mem));
    DROPFILES* df = reinterpret_cast<DROPFILES*>(p);
    df->pFiles = sizeof(DROPFILES);
    df->fWide = TRUE;
    char* at = p + sizeof(DROPFILES);
    for (const std::wstring& n : names) {
        std::memcpy(at, n.c_str(), (n.size() + 1) * sizeof(wchar_t));
        at += (n.size() + 1) * sizeof(wchar_t);
    }
    GlobalUnlock(mem);
    SendMessageW(target, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

struct WindowTest : ::testing::Test {
    vergle_window w;
    vt::scratch_dir docs;
    vt::scratch_dir temp;
    std::string ini = vt::beside_tests("Vergle.ini");

    void SetUp() override {
        boxes.clear();
        box_answer = IDOK;
        exits = 0;
        dialog_choice.clear();
        vergle_message_box = record_box;
        vergle_exit = record_exit;
        vergle_open_dialog = fake_dialog;
        vergle_choose_path = fake_chooser;
        choices.clear();
        chooser_starts.clear();
        plat_remove_file(ini.c_str());
        g_settings = run_settings();
        g_dumps.workbook = g_dumps.word = g_dumps.powerpoint = fake_dump;
        during_first_dump = nullptr;
        had_temp = plat_getenv("TEMP", saved_temp);
        plat_setenv("TEMP", temp.path().c_str());
    }
    // The scratch folders of the next test are made under TEMP: it goes
    // back to what it was.
    std::string saved_temp;
    bool had_temp = false;
    void TearDown() override {
        plat_setenv("TEMP", had_temp ? saved_temp.c_str() : nullptr);
        vergle_release(w);
        pump();
        plat_remove_file(ini.c_str());
    }
    void start() { ASSERT_EQ(vergle_start(w, GetModuleHandleW(nullptr), SW_SHOW), 1); }
    void pump() {
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            vergle_dispatch(w, msg);
        }
    }
    std::string doc(const std::string& name) {
        std::string p = docs / name;
        vt::write_file(p, std::string("PK\x03\x04", 4) + std::string(20, 'x') + name);
        return p;
    }
    void drop(const std::vector<std::string>& files) { send_drop(w.main, files); }
    void command(int id) { SendMessageW(w.main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
    // A key pressed with Ctrl (or not) while the control has the focus.
    void key(HWND target, WPARAM vk, bool ctrl) {
        BYTE state[256];
        GetKeyboardState(state);
        state[VK_CONTROL] = ctrl ? 0x80 : 0;
        SetKeyboardState(state);
        MSG msg = {};
        msg.hwnd = target;
        msg.message = WM_KEYDOWN;
        msg.wParam = vk;
        vergle_dispatch(w, msg);
        state[VK_CONTROL] = 0;
        SetKeyboardState(state);
    }
};

RECT client_rect_of(HWND child, HWND parent) {
    RECT r;
    GetWindowRect(child, &r);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

bool overlap(const RECT& a, const RECT& b) {
    RECT i;
    return IntersectRect(&i, &a, &b) != 0;
}

TEST_F(WindowTest, CaptionsLayoutAndDefaults) {
    start();
    EXPECT_EQ(edit_text(w.main), "Vergle");
    // The client area is the layout's, at least the classic 670 pixels wide
    // (at 96 DPI), and the window is centred on its monitor.
    RECT client;
    GetClientRect(w.main, &client);
    EXPECT_EQ(client.right, w.layout.client.cx);
    EXPECT_EQ(client.bottom, w.layout.client.cy);
    EXPECT_GE(w.layout.client.cx, MulDiv(670, static_cast<int>(w.layout.dpi), 96));
    RECT rc;
    GetWindowRect(w.main, &rc);
    MONITORINFO mi;
    mi.cbSize = sizeof mi;
    GetMonitorInfoW(MonitorFromWindow(w.main, MONITOR_DEFAULTTOPRIMARY), &mi);
    EXPECT_NEAR(rc.left - mi.rcWork.left, mi.rcWork.right - rc.right, 1);
    EXPECT_NEAR(rc.top - mi.rcWork.top, mi.rcWork.bottom - rc.bottom, 1);
    EXPECT_EQ(edit_text(w.program_edit), "WinMergeU.exe") << "the default program without a settings file";
    EXPECT_EQ(SendMessageW(w.textbox_check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    struct expected {
        int id;
        const char* caption;
    } controls[] = {
        {IDC_TEXTBOX, "オートシェイプ・コメント文字列比較"}, {IDC_ALLPAGE, "全ページ一括出力"},
        {IDC_BROWSE, "..."}, {IDC_CLEAR, "クリア"}, {IDC_CANCEL, "キャンセル"}, {IDC_RUN, "比較実行"},
    };
    for (const expected& e : controls) {
        HWND h = GetDlgItem(w.main, e.id);
        ASSERT_NE(h, nullptr) << e.id;
        EXPECT_EQ(edit_text(h), e.caption) << e.id;
        EXPECT_TRUE(IsWindowVisible(h)) << e.id;
    }
    EXPECT_NE(GetMenu(w.main), nullptr);
    LONG style = GetWindowLongW(w.main, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    // The font is the system's UI font.
    NONCLIENTMETRICSW ncm;
    ncm.cbSize = sizeof ncm;
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof ncm, &ncm, 0));
    LOGFONTW lf;
    ASSERT_TRUE(GetObjectW(w.font, sizeof lf, &lf));
    EXPECT_STREQ(lf.lfFaceName, ncm.lfMessageFont.lfFaceName);
    EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(w.textbox_check, WM_GETFONT, 0, 0)), w.font);
}

// The manifest declares per-monitor DPI awareness (v2) and long paths, and
// the process runs per-monitor aware.
TEST_F(WindowTest, DpiAwareAndLongPathsByTheManifest) {
    HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
    ASSERT_NE(res, nullptr) << "no manifest";
    std::string manifest(static_cast<const char*>(LockResource(LoadResource(nullptr, res))),
                         SizeofResource(nullptr, res));
    EXPECT_NE(manifest.find(">PerMonitorV2, PerMonitor</dpiAwareness>"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(">true/pm</dpiAware>"), std::string::npos) << manifest;
    EXPECT_NE(manifest.find(">true</longPathAware>"), std::string::npos) << manifest;
    using get_context_fn = HANDLE(WINAPI*)();
    using awareness_fn = int(WINAPI*)(HANDLE);
    HMODULE user32 = GetModuleHandleW(L"user32.dll");
    auto get_context = reinterpret_cast<get_context_fn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetThreadDpiAwarenessContext")));
    auto awareness = reinterpret_cast<awareness_fn>(
        reinterpret_cast<void*>(GetProcAddress(user32, "GetAwarenessFromDpiAwarenessContext")));
    if (!get_context || !awareness) GTEST_SKIP() << "the system has no DPI awareness contexts";
    EXPECT_EQ(awareness(get_context()), 2) << "DPI_AWARENESS_PER_MONITOR_AWARE";
}

// At 100%, 125%, 150% and 200% every label and caption fits its control as
// the control's font measures it, nothing overlaps, and everything lies in
// the client area: the window moved to a monitor of that scaling
// (WM_DPICHANGED) lays itself out again.
TEST_F(WindowTest, EveryLabelFitsAtEveryScaling) {
    start();
    for (UINT dpi : {96u, 120u, 144u, 192u}) {
        RECT suggested;
        GetWindowRect(w.main, &suggested);
        SendMessageW(w.main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
        ASSERT_EQ(w.layout.dpi, dpi);
        RECT client;
        GetClientRect(w.main, &client);
        EXPECT_EQ(client.right, w.layout.client.cx) << dpi;
        EXPECT_EQ(client.bottom, w.layout.client.cy) << dpi;
        HDC dc = GetDC(w.main);
        HGDIOBJ old = SelectObject(dc, w.font);
        TEXTMETRICW tm;
        GetTextMetricsW(dc, &tm);
        auto extent = [&](const std::string& utf8) {
            std::wstring t = vergle_wide(utf8);
            SIZE size = {0, 0};
            GetTextExtentPoint32W(dc, t.c_str(), static_cast<int>(t.size()), &size);
            return size;
        };
        std::vector<RECT> placed;
        for (int i = 0; i < CTRL_COUNT; ++i) {
            HWND h = w.controls[i];
            RECT r = client_rect_of(h, w.main);
            EXPECT_TRUE(EqualRect(&r, &w.layout.controls[i])) << dpi << " control " << i;
            EXPECT_GE(r.left, 0);
            EXPECT_GE(r.top, 0);
            EXPECT_LE(r.right, client.right) << dpi << " control " << i;
            EXPECT_LE(r.bottom, client.bottom) << dpi << " control " << i;
            for (const RECT& other : placed) EXPECT_FALSE(overlap(r, other)) << dpi << " control " << i;
            placed.push_back(r);
            EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(h, WM_GETFONT, 0, 0)), w.font);
            std::string text = edit_text(h);
            int width = r.right - r.left, height = r.bottom - r.top;
            EXPECT_GE(height, tm.tmHeight) << dpi << " control " << i;
            if (text.empty()) continue;
            SIZE s = extent(text);
            if (i == CTRL_TEXTBOX || i == CTRL_ALLPAGE) {
                // The box, the gap after it, and the text.
                int box = GetSystemMetrics(SM_CXMENUCHECK);
                using fn = int(WINAPI*)(int, UINT);
                auto for_dpi = reinterpret_cast<fn>(reinterpret_cast<void*>(
                    GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetSystemMetricsForDpi")));
                if (for_dpi) box = for_dpi(SM_CXMENUCHECK, dpi);
                EXPECT_LE(box + s.cx, width) << dpi << " " << text << ": " << s.cx;
            } else {
                EXPECT_LE(s.cx + 2 * GetSystemMetrics(SM_CXEDGE), width) << dpi << " " << text << ": " << s.cx;
            }
        }
        const char* labels[3] = {"フォルダ比較プログラム", "対象ファイル１", "対象ファイル２"};
        for (int i = 0; i < 3; ++i) {
            const RECT& r = w.layout.labels[i];
            SIZE s = extent(labels[i]);
            EXPECT_GE(r.right - r.left, s.cx) << dpi << " " << labels[i];
            EXPECT_GE(r.bottom - r.top, s.cy) << dpi << " " << labels[i];
            EXPECT_LE(r.right, client.right);
            for (const RECT& c : placed) EXPECT_FALSE(overlap(r, c)) << dpi << " " << labels[i];
        }
        const RECT& b = w.layout.banner;
        EXPECT_EQ(b.right - b.left, MulDiv(200, static_cast<int>(dpi), 96));
        EXPECT_EQ(b.bottom - b.top, MulDiv(30, static_cast<int>(dpi), 96));
        for (const RECT& c : placed) EXPECT_FALSE(overlap(b, c)) << dpi << " banner";
        EXPECT_LE(b.right, client.right);
        SelectObject(dc, old);
        ReleaseDC(w.main, dc);
        // The font follows the DPI.
        EXPECT_GE(tm.tmHeight, MulDiv(10, static_cast<int>(dpi), 96)) << dpi;
    }
}

TEST_F(WindowTest, DropsFillTheFieldsInTurn) {
    start();
    std::string a = doc("a.xlsx"), b = doc("b.xlsx"), c = doc("c.xlsx");
    drop({a, b, c});  // three at once: only the first counts
    EXPECT_EQ(w.file_count, 1);
    EXPECT_EQ(edit_text(w.file1_edit), a);
    EXPECT_EQ(edit_text(w.file2_edit), "");
    drop({b});
    EXPECT_EQ(w.file_count, 2);
    EXPECT_EQ(edit_text(w.file2_edit), b);
    drop({c});  // two files given: ignored
    EXPECT_EQ(w.file2, b);
    EXPECT_TRUE(boxes.empty());
    command(IDC_CLEAR);
    EXPECT_EQ(w.file_count, 0);
    EXPECT_EQ(edit_text(w.file1_edit), "");
    drop({c});
    EXPECT_EQ(w.file1, c) << "after clearing, the next drop is the first file again";
}

TEST_F(WindowTest, SameFileTwiceIsRefusedIgnoringCase) {
    start();
    std::string a = doc("Plan Ä.xlsx");
    drop({a});
    drop({a});
    std::wstring upper = vergle_wide(a);
    CharUpperBuffW(&upper[0], static_cast<DWORD>(upper.size()));
    drop({vergle_utf8(upper.c_str())});
    EXPECT_EQ(w.file_count, 1);
    ASSERT_EQ(boxes.size(), 2u);
    for (const shown_box& b : boxes) {
        EXPECT_EQ(b.text, "同じファイルを指定することはできません。");
        EXPECT_EQ(b.caption, "Vergle");
        EXPECT_EQ(b.flags, static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TOPMOST));
        EXPECT_EQ(b.owner, w.main);
    }
}

TEST_F(WindowTest, RunWithFewerThanTwoFilesOnlyWarns) {
    start();
    set_edit(w.program_edit, "C:\\typed\\but-not-taken.exe");
    drop({doc("a.docx")});
    command(IDC_RUN);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "比較するExcel/PowerPointファイルを２つ指定してください。");
    EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TOPMOST));
    EXPECT_STREQ(g_settings.diff_program, "WinMergeU.exe") << "the program field is not taken";
    EXPECT_FALSE(vt::exists(ini)) << "nor saved";
}

TEST_F(WindowTest, RunStartsTheFolderCompareProgramAndSavesSettings) {
    start();
    std::string record = docs / "record.txt";
    plat_setenv("VERGLE_RECORD", record.c_str());
    std::string program = vt::beside_tests("record_compare");
    set_edit(w.program_edit, program);
    SendMessageW(w.textbox_check, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageW(w.allpage_check, BM_SETCHECK, BST_CHECKED, 0);
    std::string a = doc("first.docx"), b = doc("second.docx");
    drop({a});
    drop({b});
    run_button = GetDlgItem(w.main, IDC_RUN);
    run_enabled_during_dump.clear();
    command(IDC_RUN);
    run_button = nullptr;
    EXPECT_EQ(run_enabled_during_dump, (std::vector<BOOL>{FALSE, FALSE})) << "disabled while the run works";
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    std::string ansi;
    ASSERT_TRUE(plat_ansi_from_utf8(program, ansi));
    EXPECT_EQ(vt::read_file(ini), ansi + "\r\nTEXTBOX=Y\r\nALLPAGE=Y");
    std::string rec = vt::read_file(record);
    // Both folders lie in the run's own folder under TEMP.
    EXPECT_NE(rec.find("arg=" + (temp / "Vergle-")), std::string::npos) << rec;
    EXPECT_NE(rec.find("\\first\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("\\second\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("text=PK"), std::string::npos) << rec;
    std::vector<plat_dirent> left;
    plat_list_dir(temp.path().c_str(), left);
    EXPECT_TRUE(left.empty()) << "the folders are removed after the program ends";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(w.main, IDC_RUN))) << "the run button is enabled again";
    EXPECT_EQ(w.file_count, 2) << "both files stay selected";
}

// Documents named with characters code page 932 lacks, in a folder of such
// names, dropped on the window; the compare program chosen through the file
// dialog from a folder with Korean in its name (which "Vergle.ini" cannot
// hold: used, not saved, and said so); TEMP under "José"; compared end to
// end through the linked dumps.  The compare program receives the exact
// folders, and sees the sheets' files under their own names.
TEST_F(WindowTest, UnicodeDocumentsDroppedAndProgramChosenEndToEnd) {
    register_linked_dumps(g_dumps);
    std::string jose = vt::join(temp.path(), "José");
    std::string user_temp = vt::join(jose, "Temp");
    ASSERT_EQ(plat_make_dir(jose.c_str()), 0);
    ASSERT_EQ(plat_make_dir(user_temp.c_str()), 0);
    plat_setenv("TEMP", user_temp.c_str());
    std::string folder = docs / "𠮷野家 汇总 é 한국어 \xF0\x9F\x98\x80";
    ASSERT_EQ(plat_make_dir(folder.c_str()), 0);
    std::string a = vt::join(folder, "𠮷野家 \xF0\x9F\x98\x80.xlsx");
    std::string b = vt::join(folder, "汇总 é 한국어.xlsx");
    ASSERT_TRUE(vt::write_file(a, vt::sheets_xlsx({{"汇总", "summary"}, {"订单", "orders"}})));
    ASSERT_TRUE(vt::write_file(b, vt::sheets_xlsx({{"订单", "orders 2"}, {"汇总", "summary 2"}})));
    std::string tools = docs / "도구 𠮷";
    ASSERT_EQ(plat_make_dir(tools.c_str()), 0);
    std::string program = vt::join(tools, "record_compare.exe");
    ASSERT_TRUE(vt::write_file(program, vt::read_file(vt::beside_tests("record_compare"))));
    std::string record = docs / "record.txt";
    plat_setenv("VERGLE_RECORD", record.c_str());

    start();
    dialog_choice = program;
    command(IDC_BROWSE);
    EXPECT_EQ(edit_text(w.program_edit), program);
    ASSERT_EQ(boxes.size(), 1u) << "the path cannot be saved, and the user is told";
    EXPECT_EQ(boxes[0].text, settings_program_unsaved_text(program.c_str()));
    EXPECT_EQ(vt::read_file(ini), "\r\nTEXTBOX=N\r\nALLPAGE=N") << "nothing saved for the program";
    drop({a});
    drop({b});
    EXPECT_EQ(edit_text(w.file1_edit), a);
    EXPECT_EQ(edit_text(w.file2_edit), b);
    command(IDC_RUN);
    ASSERT_EQ(boxes.size(), 1u) << "said once: " << boxes.back().text;
    std::string rec = vt::read_file(record);
    size_t at = rec.find("\narg=") + 5;
    std::string first = rec.substr(at, rec.find('\n', at) - at);
    std::string base = first.substr(0, first.rfind('\\'));
    EXPECT_EQ(base.rfind(vt::join(user_temp, "Vergle-"), 0), 0u) << rec;
    EXPECT_EQ(rec.substr(0, rec.find("folder 1:")), "argc=3\narg=" + vt::join(base, "𠮷野家 \xF0\x9F\x98\x80") +
                                                         "\narg=" + vt::join(base, "汇总 é 한국어") + "\n");
    size_t folder2 = rec.find("folder 2:");
    EXPECT_LT(rec.find("\n  汇总=summary\t\r\n"), folder2) << rec;
    EXPECT_NE(rec.find("\n  汇总=summary 2\t\r\n", folder2), std::string::npos) << rec;
    EXPECT_NE(rec.find("\n  订单=orders 2\t\r\n", folder2), std::string::npos) << rec;
    std::vector<plat_dirent> left;
    plat_list_dir(user_temp.c_str(), left);
    EXPECT_TRUE(left.empty());
    EXPECT_EQ(vt::read_file(ini), "\r\nTEXTBOX=N\r\nALLPAGE=N");
    plat_setenv("VERGLE_RECORD", nullptr);
}

// Two folders dropped on the window are compared as trees, end to end
// through the linked dumps: the compare program receives two text trees
// that mirror the folders (nested folders, names with blanks and Japanese,
// a document of one side alone dumped on its side, other files left out),
// the title counts the documents while they are dumped and is "Vergle"
// again after, and nothing is left under TEMP.
TEST_F(WindowTest, TwoFoldersDroppedAreComparedAsTrees) {
    register_linked_dumps(g_dumps);
    std::string old_tree = docs / "旧 版", new_tree = docs / "新 版";
    for (const std::string& t : {old_tree, new_tree}) {
        ASSERT_EQ(plat_make_dir(t.c_str()), 0);
        ASSERT_EQ(plat_make_dir(vt::join(t, "予算 2024").c_str()), 0);
    }
    ASSERT_TRUE(vt::write_file(vt::join(old_tree, "a.xlsx"), vt::sheets_xlsx({{"S", "one"}})));
    ASSERT_TRUE(vt::write_file(vt::join(new_tree, "a.xlsx"), vt::sheets_xlsx({{"S", "two"}})));
    ASSERT_TRUE(vt::write_file(vt::join(vt::join(old_tree, "予算 2024"), "表 計画.XLSX"), vt::sheets_xlsx({{"表", "x"}})));
    ASSERT_TRUE(vt::write_file(vt::join(vt::join(new_tree, "予算 2024"), "表 計画.XLSX"), vt::sheets_xlsx({{"表", "x"}})));
    ASSERT_TRUE(vt::write_file(vt::join(new_tree, "added.xlsx"), vt::sheets_xlsx({{"New", "added"}})));
    ASSERT_TRUE(vt::write_file(vt::join(old_tree, "notes.txt"), "not a document"));
    std::string record = docs / "record.txt";
    plat_setenv("VERGLE_RECORD", record.c_str());
    start();
    set_edit(w.program_edit, vt::beside_tests("record_compare"));
    drop({old_tree});
    drop({new_tree});
    EXPECT_EQ(w.file_count, 2);
    command(IDC_RUN);
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    std::string rec = vt::read_file(record);
    size_t folder2 = rec.find("folder 2:");
    EXPECT_NE(rec.find("\\旧 版\narg="), std::string::npos) << rec;
    EXPECT_NE(rec.find("\\新 版\nfolder 1:"), std::string::npos) << rec;
    EXPECT_LT(rec.find("\n  a.xlsx/S=one\t\r\n"), folder2) << rec;
    EXPECT_LT(rec.find("\n  予算 2024/表 計画.XLSX/表=x\t\r\n"), folder2) << rec;
    EXPECT_NE(rec.find("\n  a.xlsx/S=two\t\r\n", folder2), std::string::npos) << rec;
    EXPECT_NE(rec.find("\n  added.xlsx/New=added\t\r\n", folder2), std::string::npos) << rec;
    EXPECT_NE(rec.find("\n  予算 2024/表 計画.XLSX/表=x\t\r\n", folder2), std::string::npos) << rec;
    EXPECT_EQ(rec.find("notes"), std::string::npos) << "other files are left out: " << rec;
    EXPECT_EQ(edit_text(w.main), "Vergle");
    std::vector<plat_dirent> left;
    plat_list_dir(temp.path().c_str(), left);
    EXPECT_TRUE(left.empty());
    plat_setenv("VERGLE_RECORD", nullptr);
}

// A folder and a file are refused together, however they come (dropped,
// or chosen with "..." beside either field), and so is one folder twice;
// "..." starts at the field's path and fills its own field.
TEST_F(WindowTest, AFolderAndAFileAreRefusedTogether) {
    start();
    std::string folder = docs / "フォルダ", other = docs / "other";
    ASSERT_EQ(plat_make_dir(folder.c_str()), 0);
    ASSERT_EQ(plat_make_dir(other.c_str()), 0);
    std::string file = doc("a.xlsx");
    const std::string mixed = "フォルダとファイルは比較できません。フォルダ同士かファイル同士を指定してください。";
    drop({folder});
    drop({file});
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, mixed + "(" + folder + "、" + file + ")");
    EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TOPMOST));
    EXPECT_EQ(w.file_count, 1);
    EXPECT_EQ(edit_text(w.file2_edit), "");
    drop({folder});
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text, "同じフォルダを指定することはできません。");
    choices = {file};
    command(IDC_CHOOSE2);
    ASSERT_EQ(boxes.size(), 3u) << "a file chosen beside a folder";
    EXPECT_EQ(boxes[2].text, mixed + "(" + folder + "、" + file + ")");
    choices = {other};
    command(IDC_CHOOSE2);
    EXPECT_EQ(boxes.size(), 3u);
    EXPECT_EQ(w.file_count, 2);
    EXPECT_EQ(edit_text(w.file2_edit), other);
    // The first field chosen anew: a file beside the second's folder.
    choices = {file};
    command(IDC_CHOOSE1);
    ASSERT_EQ(boxes.size(), 4u);
    EXPECT_EQ(boxes[3].text, mixed + "(" + file + "、" + other + ")");
    EXPECT_EQ(w.file1, folder);
    EXPECT_EQ(chooser_starts, (std::vector<std::string>{"", "", folder})) << "each starts at its field's path";
    command(IDC_CHOOSE1);  // cancelled: nothing changes
    EXPECT_EQ(w.file1, folder);
    EXPECT_EQ(boxes.size(), 4u);
    // After クリア, a file and a file again.
    command(IDC_CLEAR);
    choices = {file};
    command(IDC_CHOOSE2);
    drop({doc("b.xlsx")});
    EXPECT_EQ(w.file2, file);
    EXPECT_EQ(w.file1, docs / "b.xlsx") << "a drop fills the empty field";
    EXPECT_EQ(boxes.size(), 4u);
}

HWND main_window = nullptr;
void post_clear() { PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDC_CLEAR, BN_CLICKED), 0); }
void post_cancel() { PostMessageW(main_window, WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED), 0); }
void post_close() { PostMessageW(main_window, WM_CLOSE, 0, 0); }

std::string third_doc;
BOOL clear_enabled_during_run = TRUE;

TEST_F(WindowTest, ClearAndDropDuringARunChangeNothing) {
    start();
    std::string record = docs / "record.txt";
    plat_setenv("VERGLE_RECORD", record.c_str());
    set_edit(w.program_edit, vt::beside_tests("record_compare"));
    std::string a = doc("first.docx"), b = doc("second.docx");
    third_doc = doc("third.docx");
    drop({a});
    drop({b});
    main_window = w.main;
    during_first_dump = [] {
        clear_enabled_during_run = IsWindowEnabled(GetDlgItem(main_window, IDC_CLEAR));
        post_clear();  // handled by the dump's message pumping
        send_drop(main_window, {third_doc});
    };
    command(IDC_RUN);
    EXPECT_FALSE(clear_enabled_during_run) << "クリア is disabled during the run";
    EXPECT_TRUE(IsWindowEnabled(GetDlgItem(w.main, IDC_CLEAR))) << "and enabled again after it";
    EXPECT_EQ(w.file_count, 2) << "neither the clear nor the drop changed the files";
    EXPECT_EQ(edit_text(w.file1_edit), a);
    EXPECT_EQ(edit_text(w.file2_edit), b);
    std::string rec = vt::read_file(record);
    EXPECT_NE(rec.find("second.docx"), std::string::npos) << "the run compared what it started with: " << rec;
    EXPECT_EQ(rec.find("third"), std::string::npos) << rec;
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    std::vector<plat_dirent> left;
    plat_list_dir(temp.path().c_str(), left);
    EXPECT_TRUE(left.empty());
}

TEST_F(WindowTest, CancelOrCloseDuringARunEndsItAndRemovesWhatItWrote) {
    for (void (*act)() : {post_cancel, post_close}) {
        start();
        std::string record = docs / "record.txt";
        plat_remove_file(record.c_str());
        plat_setenv("VERGLE_RECORD", record.c_str());
        set_edit(w.program_edit, vt::beside_tests("record_compare"));
        drop({doc("first.docx")});
        drop({doc("second.docx")});
        main_window = w.main;
        during_first_dump = act;
        exits = 0;
        plat_remove_file(ini.c_str());
        command(IDC_RUN);
        EXPECT_EQ(exits, 1) << "the program ends once the run has ended";
        EXPECT_FALSE(vt::exists(record)) << "the folder-compare program never started";
        std::vector<plat_dirent> left;
        plat_list_dir(temp.path().c_str(), left);
        EXPECT_TRUE(left.empty()) << "what the run wrote is gone";
        EXPECT_TRUE(vt::exists(ini)) << "settings written on the way out";
        EXPECT_TRUE(boxes.empty());
        vergle_release(w);
        pump();
    }
}

// While the folder-compare program runs, the window handles its messages
// (a thread timer fires only when they are), keeps its run button
// disabled, and キャンセル (or the close box) asks the program to close;
// once it has, the run removes its folders and the program ends.
struct wait_probe {
    std::string started;  // the marker the compare program writes
    int ticks = 0;        // timer messages handled during the wait
    int ticks_after_start = 0;
    BOOL run_enabled = TRUE;
    void (*act)() = nullptr;  // what the user does once the program shows
    HWND program_window = nullptr;
} probe;

void CALLBACK on_tick(HWND, UINT, UINT_PTR, DWORD) {
    ++probe.ticks;
    if (!vt::exists(probe.started)) return;
    if (++probe.ticks_after_start != 3) return;
    probe.run_enabled = IsWindowEnabled(GetDlgItem(main_window, IDC_RUN));
    probe.program_window = FindWindowW(L"window_compare", nullptr);
    probe.act();
}

void close_program() { PostMessageW(probe.program_window, WM_CLOSE, 0, 0); }

TEST_F(WindowTest, WindowStaysAliveWhileTheProgramRunsAndCancelClosesIt) {
    for (void (*act)() : {close_program, post_cancel, post_close}) {
        start();
        std::string record = docs / "record.txt";
        plat_remove_file(record.c_str());
        plat_remove_file((record + ".started").c_str());
        plat_setenv("VERGLE_RECORD", record.c_str());
        set_edit(w.program_edit, vt::beside_tests("window_compare"));
        drop({doc("表.docx")});
        drop({doc("能.docx")});
        main_window = w.main;
        probe = wait_probe();
        probe.started = record + ".started";
        probe.act = act;
        exits = 0;
        UINT_PTR timer = SetTimer(nullptr, 0, 50, on_tick);
        command(IDC_RUN);
        KillTimer(nullptr, timer);
        EXPECT_GE(probe.ticks_after_start, 3) << "the window handled no messages while the program ran";
        EXPECT_FALSE(probe.run_enabled) << "比較実行 stays disabled while the program runs";
        EXPECT_NE(probe.program_window, nullptr);
        std::string rec = vt::read_file(record);
        EXPECT_NE(rec.find("\\表\narg="), std::string::npos) << rec;
        EXPECT_NE(rec.find("closed\n"), std::string::npos) << "the program was closed: " << rec;
        std::vector<plat_dirent> left;
        plat_list_dir(temp.path().c_str(), left);
        EXPECT_TRUE(left.empty()) << "the folders are gone once the program has closed";
        EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
        if (act == close_program) {
            EXPECT_EQ(exits, 0) << "the user closed the program: Vergle goes on";
            EXPECT_TRUE(IsWindowEnabled(GetDlgItem(w.main, IDC_RUN)));
        } else {
            EXPECT_EQ(exits, 1) << "cancel or close ends Vergle once the program has closed";
        }
        vergle_release(w);
        pump();
    }
}

TEST_F(WindowTest, SettingsThatCannotBeSavedAndBadProgramPaths) {
    start();
    set_edit(w.program_edit, "C:\\tool.exe\r\nTEXTBOX=Y");
    drop({doc("a.docx")});
    drop({doc("b.docx")});
    command(IDC_RUN);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, "フォルダ比較プログラムのパスが空か、改行や制御文字を含んでいます。");
    EXPECT_FALSE(vt::exists(ini)) << "nothing saved, nothing run";
    // A settings file that cannot be written: a folder in its place.
    ASSERT_EQ(plat_make_dir(ini.c_str()), 0);
    boxes.clear();
    SendMessageW(w.main, WM_CLOSE, 0, 0);
    plat_remove_dir(ini.c_str());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, settings_error_text());
    EXPECT_EQ(exits, 1);
}

TEST_F(WindowTest, BrowseTakesTheChosenProgram) {
    start();
    dialog_choice = "C:\\Tools\\比較表\\WinMergeU.exe";
    command(IDC_BROWSE);
    EXPECT_EQ(edit_text(w.program_edit), dialog_choice);
    EXPECT_TRUE(boxes.empty());
    std::string ansi;
    ASSERT_TRUE(plat_ansi_from_utf8(dialog_choice, ansi));
    EXPECT_EQ(vt::read_file(ini), ansi + "\r\nTEXTBOX=N\r\nALLPAGE=N") << "code page 932 in the file";
    dialog_choice.clear();
    plat_remove_file(ini.c_str());
    command(IDC_BROWSE);  // cancelled: nothing changes, nothing written
    EXPECT_FALSE(vt::exists(ini));
}

TEST_F(WindowTest, AcceleratorsWinOverEditFields) {
    start();
    set_edit(w.program_edit, "some text");
    key(w.program_edit, 'A', true);
    ASSERT_EQ(boxes.size(), 1u) << "Ctrl+A shows the version box instead of selecting";
    EXPECT_EQ(boxes[0].text, "Vergle    \nVersion : 3.0.0.0");
    EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK));
    key(w.file1_edit, VK_F1, false);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text.rfind("使用前に", 0), 0u);
    EXPECT_NE(boxes[1].text.find("\n\r"), std::string::npos);
    EXPECT_EQ(boxes[1].flags, static_cast<UINT>(MB_OK));
    key(w.program_edit, 'X', true);
    EXPECT_EQ(exits, 1) << "Ctrl+X ends the program instead of cutting";
    EXPECT_EQ(edit_text(w.program_edit), "") << "the window is gone";
    EXPECT_TRUE(vt::exists(ini)) << "settings written on the way out";
}

TEST_F(WindowTest, CloseAndCancelWriteSettings) {
    start();
    SendMessageW(w.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(IsWindow(w.main)) << "the close box does not destroy the window first";
    EXPECT_EQ(vt::read_file(ini), "WinMergeU.exe\r\nTEXTBOX=N\r\nALLPAGE=N");
    plat_remove_file(ini.c_str());
    command(IDC_CANCEL);
    EXPECT_EQ(exits, 2);
    EXPECT_TRUE(vt::exists(ini));
}

TEST_F(WindowTest, SecondInstanceEndsSilently) {
    start();
    vergle_window second;
    EXPECT_EQ(vergle_start(second, GetModuleHandleW(nullptr), SW_SHOW), 0);
    EXPECT_EQ(second.main, nullptr);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(IsWindowVisible(w.main)) << "the first window stays";
}

TEST_F(WindowTest, PendingMessagesAndQuitDuringADump) {
    start();
    {
        window_ui ui(&w);
        EXPECT_TRUE(ui.pump_one_message()) << "nothing pending";
        drop({doc("a.xlsx")});
        ASSERT_EQ(w.file_count, 1);
        PostMessageW(w.main, WM_COMMAND, MAKEWPARAM(IDC_CLEAR, BN_CLICKED), 0);
        EXPECT_TRUE(ui.pump_one_message());
        EXPECT_EQ(w.file_count, 0) << "the pending message was dispatched";
        PostQuitMessage(0);
        EXPECT_FALSE(ui.pump_one_message()) << "a quit request ends the dump";
        MSG msg;
        EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "and still ends the message loop";
        // While the compare program runs: every pending message, and a quit
        // request is kept for the end of the run.
        PostMessageW(w.main, WM_NULL, 0, 0);
        PostMessageW(w.main, WM_NULL, 0, 0);
        EXPECT_TRUE(ui.program_running());
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE)) << "all handled";
        PostQuitMessage(3);
        EXPECT_FALSE(ui.program_running());
        EXPECT_FALSE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "not yet";
        // Errors of the run are owned by the main window, the dumps' file
        // errors have no owner; both carry the error icon and the topmost
        // flag.
        ui.show_error("owned", true);
        ui.show_error("ownerless", false);
        ASSERT_EQ(boxes.size(), 2u);
        EXPECT_EQ(boxes[0].owner, w.main);
        EXPECT_EQ(boxes[1].owner, nullptr);
        EXPECT_EQ(boxes[1].flags, static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TOPMOST));
        box_answer = IDYES;
        EXPECT_TRUE(ui.ask_retry("again?"));
        EXPECT_EQ(boxes[2].flags, static_cast<UINT>(MB_YESNO | MB_ICONERROR | MB_TOPMOST));
        box_answer = IDNO;
        EXPECT_FALSE(ui.ask_retry("again?"));
    }
    MSG msg;
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "posted again after the run";
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(WindowTest, SettingsComeFromTheExecutablesFolder) {
    vt::write_file(ini, "C:\\from-exe-folder.exe\r\nTEXTBOX=Y\r\nALLPAGE=N");
    vt::scratch_dir cwd;
    vt::write_file(cwd / "Vergle.ini", "C:\\from-current-folder.exe\r\nTEXTBOX=N\r\nALLPAGE=Y");
    std::string saved;
    plat_get_cwd(saved);
    plat_set_cwd(cwd.path().c_str());
    start();
    plat_set_cwd(saved.c_str());
    EXPECT_EQ(edit_text(w.program_edit), "C:\\from-exe-folder.exe");
    EXPECT_EQ(SendMessageW(w.textbox_check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageW(w.allpage_check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

}  // namespace
