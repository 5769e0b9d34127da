// The main window, created for real and driven by the messages a user's
// actions cause.  Message boxes, the file dialog and the end of the process
// are recorded instead.
#include <gtest/gtest.h>
#include <windows.h>
#include <shlobj.h>

#include <cstring>
#include <string>
#include <vector>

#include "comparison.h"
#include "main_window.h"
#include "platform.h"
#include "resource.h"
#include "settings.h"
#include "test_support.h"

namespace {

struct shown_box {
    HWND owner;
    std::string text, caption;
    UINT flags;
};
std::vector<shown_box> boxes;
int box_answer = IDOK;
int exits = 0;
std::string dialog_choice;

int WINAPI record_box(HWND owner, LPCSTR text, LPCSTR caption, UINT flags) {
    boxes.push_back({owner, text, caption, flags});
    return box_answer;
}
void record_exit(vergle_window&) { ++exits; }
BOOL WINAPI fake_dialog(LPOPENFILENAMEA ofn) {
    if (dialog_choice.empty()) return FALSE;
    std::strncpy(ofn->lpstrFile, dialog_choice.c_str(), ofn->nMaxFile - 1);
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

std::string edit_text(HWND h) {
    char buf[1024] = {0};
    GetWindowTextA(h, buf, sizeof buf);
    return buf;
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
        DeleteFileA(ini.c_str());
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
        DeleteFileA(ini.c_str());
    }
    void start() { ASSERT_EQ(vergle_start(w, GetModuleHandleA(nullptr), SW_SHOW), 1); }
    void pump() {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            vergle_dispatch(w, msg);
        }
    }
    std::string doc(const std::string& name) {
        std::string p = docs / name;
        vt::write_file(p, std::string("PK\x03\x04", 4) + std::string(20, 'x') + name);
        return p;
    }
    // A drop of one or more files, as the shell sends it.
    void drop(const std::vector<std::string>& files) {
        size_t size = sizeof(DROPFILES) + 1;
        for (const std::string& f : files) size += f.size() + 1;
        HGLOBAL mem = GlobalAlloc(GHND, size);
        char* p = static_cast<char*>(GlobalLock(mem));
        DROPFILES* df = reinterpret_cast<DROPFILES*>(p);
        df->pFiles = sizeof(DROPFILES);
        df->fWide = FALSE;
        char* at = p + sizeof(DROPFILES);
        for (const std::string& f : files) {
            std::memcpy(at, f.c_str(), f.size() + 1);
            at += f.size() + 1;
        }
        *at = 0;
        GlobalUnlock(mem);
        SendMessageA(w.main, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
    }
    void command(int id) { SendMessageA(w.main, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }
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
    std::string native(const char* utf8) { return plat_native_from_utf8(utf8); }
};

TEST_F(WindowTest, LayoutCaptionsAndDefaults) {
    start();
    char caption[64];
    GetWindowTextA(w.main, caption, sizeof caption);
    EXPECT_STREQ(caption, "Vergle");
    // The outer size is that of a 670 x 245 client area in an overlapped
    // frame without menu, centred by the client size.
    RECT want = {0, 0, 670, 245};
    AdjustWindowRect(&want, WS_OVERLAPPEDWINDOW, FALSE);
    RECT rc;
    GetWindowRect(w.main, &rc);
    EXPECT_EQ(rc.right - rc.left, want.right - want.left);
    EXPECT_EQ(rc.bottom - rc.top, want.bottom - want.top);
    EXPECT_EQ(rc.left, (GetSystemMetrics(SM_CXSCREEN) - 670) / 2);
    EXPECT_EQ(rc.top, (GetSystemMetrics(SM_CYSCREEN) - 245) / 2);
    EXPECT_EQ(edit_text(w.program_edit), "WinMergeU.exe") << "the default program without a settings file";
    EXPECT_EQ(SendMessageA(w.textbox_check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    struct expected {
        int id;
        const char* caption;
        int x, y, width, height;
    } controls[] = {
        {IDC_TEXTBOX, "オートシェイプ・コメント文字列比較", 15, 160, 200, 22},
        {IDC_ALLPAGE, "全ページ一括出力", 15, 180, 120, 22},
        {IDC_BROWSE, "...", 625, 30, 40, 22},
        {IDC_CLEAR, "クリア", 625, 104, 40, 22},
        {IDC_CANCEL, "キャンセル", 485, 190, 80, 25},
        {IDC_RUN, "比較実行", 585, 190, 80, 25},
    };
    for (const expected& e : controls) {
        HWND h = GetDlgItem(w.main, e.id);
        ASSERT_NE(h, nullptr) << e.id;
        EXPECT_EQ(edit_text(h), native(e.caption)) << e.id;
        RECT r;
        GetWindowRect(h, &r);
        MapWindowPoints(nullptr, w.main, reinterpret_cast<POINT*>(&r), 2);
        EXPECT_EQ(r.left, e.x) << e.id;
        EXPECT_EQ(r.top, e.y) << e.id;
        EXPECT_EQ(r.right - r.left, e.width) << e.id;
        EXPECT_EQ(r.bottom - r.top, e.height) << e.id;
        EXPECT_TRUE(IsWindowVisible(h)) << e.id;
    }
    EXPECT_NE(GetMenu(w.main), nullptr);
    LONG style = GetWindowLongA(w.main, GWL_STYLE);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
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
    EXPECT_STREQ(w.file2, b.c_str());
    EXPECT_TRUE(boxes.empty());
    command(IDC_CLEAR);
    EXPECT_EQ(w.file_count, 0);
    EXPECT_EQ(edit_text(w.file1_edit), "");
    drop({c});
    EXPECT_STREQ(w.file1, c.c_str()) << "after clearing, the next drop is the first file again";
}

TEST_F(WindowTest, SameFileTwiceIsRefusedIgnoringCase) {
    start();
    std::string a = doc("Plan.xlsx");
    drop({a});
    drop({a});
    std::string upper = a;
    for (char& ch : upper) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    drop({upper});
    EXPECT_EQ(w.file_count, 1);
    ASSERT_EQ(boxes.size(), 2u);
    for (const shown_box& b : boxes) {
        EXPECT_EQ(b.text, native("同じファイルを指定することはできません。"));
        EXPECT_EQ(b.caption, "Vergle");
        EXPECT_EQ(b.flags, static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TOPMOST));
        EXPECT_EQ(b.owner, w.main);
    }
}

TEST_F(WindowTest, RunWithFewerThanTwoFilesOnlyWarns) {
    start();
    SetWindowTextA(w.program_edit, "C:\\typed\\but-not-taken.exe");
    drop({doc("a.docx")});
    command(IDC_RUN);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, native("比較するExcel/PowerPointファイルを２つ指定してください。"));
    EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR | MB_TOPMOST));
    EXPECT_STREQ(g_settings.diff_program, "WinMergeU.exe") << "the program field is not taken";
    EXPECT_FALSE(vt::exists(ini)) << "nor saved";
}

TEST_F(WindowTest, RunStartsTheFolderCompareProgramAndSavesSettings) {
    start();
    std::string record = docs / "record.txt";
    plat_setenv("VERGLE_RECORD", record.c_str());
    std::string program = vt::beside_tests("record_compare");
    SetWindowTextA(w.program_edit, program.c_str());
    SendMessageA(w.textbox_check, BM_SETCHECK, BST_CHECKED, 0);
    SendMessageA(w.allpage_check, BM_SETCHECK, BST_CHECKED, 0);
    std::string a = doc("first.docx"), b = doc("second.docx");
    drop({a});
    drop({b});
    run_button = GetDlgItem(w.main, IDC_RUN);
    run_enabled_during_dump.clear();
    command(IDC_RUN);
    run_button = nullptr;
    EXPECT_EQ(run_enabled_during_dump, (std::vector<BOOL>{FALSE, FALSE})) << "disabled while the run works";
    EXPECT_TRUE(boxes.empty()) << (boxes.empty() ? "" : boxes[0].text);
    EXPECT_EQ(vt::read_file(ini), program + "\r\nTEXTBOX=Y\r\nALLPAGE=Y");
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

HWND main_window = nullptr;
void post_clear() { PostMessageA(main_window, WM_COMMAND, MAKEWPARAM(IDC_CLEAR, BN_CLICKED), 0); }
void post_cancel() { PostMessageA(main_window, WM_COMMAND, MAKEWPARAM(IDC_CANCEL, BN_CLICKED), 0); }
void post_close() { PostMessageA(main_window, WM_CLOSE, 0, 0); }

std::string third_doc;
BOOL clear_enabled_during_run = TRUE;

// A drop of one file, sent straight to the window.
void send_drop(const std::string& f) {
    HGLOBAL mem = GlobalAlloc(GHND, sizeof(DROPFILES) + f.size() + 2);
    char* p = static_cast<char*>(GlobalLock(mem));
    reinterpret_cast<DROPFILES*>(p)->pFiles = sizeof(DROPFILES);
    std::memcpy(p + sizeof(DROPFILES), f.c_str(), f.size() + 1);
    GlobalUnlock(mem);
    SendMessageA(main_window, WM_DROPFILES, reinterpret_cast<WPARAM>(mem), 0);
}

TEST_F(WindowTest, ClearAndDropDuringARunChangeNothing) {
    start();
    std::string record = docs / "record.txt";
    plat_setenv("VERGLE_RECORD", record.c_str());
    SetWindowTextA(w.program_edit, vt::beside_tests("record_compare").c_str());
    std::string a = doc("first.docx"), b = doc("second.docx");
    third_doc = doc("third.docx");
    drop({a});
    drop({b});
    main_window = w.main;
    during_first_dump = [] {
        clear_enabled_during_run = IsWindowEnabled(GetDlgItem(main_window, IDC_CLEAR));
        post_clear();  // handled by the dump's message pumping
        send_drop(third_doc);
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
        DeleteFileA(record.c_str());
        plat_setenv("VERGLE_RECORD", record.c_str());
        SetWindowTextA(w.program_edit, vt::beside_tests("record_compare").c_str());
        drop({doc("first.docx")});
        drop({doc("second.docx")});
        main_window = w.main;
        during_first_dump = act;
        exits = 0;
        DeleteFileA(ini.c_str());
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

TEST_F(WindowTest, SettingsThatCannotBeSavedAndBadProgramPaths) {
    start();
    SetWindowTextA(w.program_edit, "C:\\tool.exe\r\nTEXTBOX=Y");
    drop({doc("a.docx")});
    drop({doc("b.docx")});
    command(IDC_RUN);
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, native("フォルダ比較プログラムのパスが空か、改行や制御文字を含んでいます。"));
    EXPECT_FALSE(vt::exists(ini)) << "nothing saved, nothing run";
    // A settings file that cannot be written: a folder in its place.
    ASSERT_TRUE(CreateDirectoryA(ini.c_str(), nullptr));
    boxes.clear();
    SendMessageA(w.main, WM_CLOSE, 0, 0);
    RemoveDirectoryA(ini.c_str());
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, settings_error_text());
    EXPECT_EQ(exits, 1);
}

TEST_F(WindowTest, BrowseTakesTheChosenProgram) {
    start();
    dialog_choice = "C:\\Tools\\WinMergeU.exe";
    command(IDC_BROWSE);
    EXPECT_EQ(edit_text(w.program_edit), dialog_choice);
    EXPECT_EQ(vt::read_file(ini), "C:\\Tools\\WinMergeU.exe\r\nTEXTBOX=N\r\nALLPAGE=N");
    dialog_choice.clear();
    DeleteFileA(ini.c_str());
    command(IDC_BROWSE);  // cancelled: nothing changes, nothing written
    EXPECT_FALSE(vt::exists(ini));
}

TEST_F(WindowTest, AcceleratorsWinOverEditFields) {
    start();
    SetWindowTextA(w.program_edit, "some text");
    key(w.program_edit, 'A', true);
    ASSERT_EQ(boxes.size(), 1u) << "Ctrl+A shows the version box instead of selecting";
    EXPECT_EQ(boxes[0].text, "Vergle    \nVersion : 3.0.0.0");
    EXPECT_EQ(boxes[0].flags, static_cast<UINT>(MB_OK));
    key(w.file1_edit, VK_F1, false);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].text.substr(0, native("使用前に").size()), native("使用前に"));
    EXPECT_NE(boxes[1].text.find("\n\r"), std::string::npos);
    EXPECT_EQ(boxes[1].flags, static_cast<UINT>(MB_OK));
    key(w.program_edit, 'X', true);
    EXPECT_EQ(exits, 1) << "Ctrl+X ends the program instead of cutting";
    EXPECT_EQ(edit_text(w.program_edit), "") << "the window is gone";
    EXPECT_TRUE(vt::exists(ini)) << "settings written on the way out";
}

TEST_F(WindowTest, CloseAndCancelWriteSettings) {
    start();
    SendMessageA(w.main, WM_CLOSE, 0, 0);
    EXPECT_EQ(exits, 1);
    EXPECT_TRUE(IsWindow(w.main)) << "the close box does not destroy the window first";
    EXPECT_EQ(vt::read_file(ini), "WinMergeU.exe\r\nTEXTBOX=N\r\nALLPAGE=N");
    DeleteFileA(ini.c_str());
    command(IDC_CANCEL);
    EXPECT_EQ(exits, 2);
    EXPECT_TRUE(vt::exists(ini));
}

TEST_F(WindowTest, SecondInstanceEndsSilently) {
    start();
    vergle_window second;
    EXPECT_EQ(vergle_start(second, GetModuleHandleA(nullptr), SW_SHOW), 0);
    EXPECT_EQ(second.main, nullptr);
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(IsWindowVisible(w.main)) << "the first window stays";
}

TEST_F(WindowTest, PendingMessagesAndQuitDuringADump) {
    start();
    window_ui ui(&w);
    EXPECT_TRUE(ui.pump_one_message()) << "nothing pending";
    drop({doc("a.xlsx")});
    ASSERT_EQ(w.file_count, 1);
    PostMessageA(w.main, WM_COMMAND, MAKEWPARAM(IDC_CLEAR, BN_CLICKED), 0);
    EXPECT_TRUE(ui.pump_one_message());
    EXPECT_EQ(w.file_count, 0) << "the pending message was dispatched";
    PostQuitMessage(0);
    EXPECT_FALSE(ui.pump_one_message()) << "a quit request ends the dump";
    MSG msg;
    EXPECT_TRUE(PeekMessageA(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "and still ends the message loop";
    // Errors of the run are owned by the main window, the dumps' file errors
    // have no owner; both carry the error icon and the topmost flag.
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

TEST_F(WindowTest, SettingsComeFromTheExecutablesFolder) {
    vt::write_file(ini, "C:\\from-exe-folder.exe\r\nTEXTBOX=Y\r\nALLPAGE=N");
    vt::scratch_dir cwd;
    vt::write_file(cwd / "Vergle.ini", "C:\\from-current-folder.exe\r\nTEXTBOX=N\r\nALLPAGE=Y");
    char saved[MAX_PATH];
    GetCurrentDirectoryA(sizeof saved, saved);
    SetCurrentDirectoryA(cwd.path().c_str());
    start();
    SetCurrentDirectoryA(saved);
    EXPECT_EQ(edit_text(w.program_edit), "C:\\from-exe-folder.exe");
    EXPECT_EQ(SendMessageA(w.textbox_check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(SendMessageA(w.allpage_check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
}

}  // namespace
