// The settings file "Vergle.ini".
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "platform.h"
#include "settings.h"
#include "test_support.h"

namespace {

run_settings read_from(const std::string& bytes) {
    vt::scratch_dir dir;
    std::string p = dir / "Vergle.ini";
    EXPECT_TRUE(vt::write_file(p, bytes));
    run_settings s;
    read_settings_from(p, s);
    return s;
}

TEST(Settings, DefaultsWithoutAFile) {
    run_settings s;
    read_settings_from("/nonexistent-folder/Vergle.ini", s);
    EXPECT_STREQ(s.diff_program, plat_default_diff_program());
    EXPECT_FALSE(s.textbox);
    EXPECT_FALSE(s.allpage);
}

TEST(Settings, LinesAreToldByPositionAndTheLetterY) {
    struct row {
        std::string file;
        std::string program;
        bool textbox, allpage;
    } rows[] = {
        {"C:\\Tools\\WinMergeU.exe\r\nTEXTBOX=Y\r\nALLPAGE=N", "C:\\Tools\\WinMergeU.exe", true, false},
        {"prog\r\ntextbox=y\r\nALLPAGE=Y", "prog", true, true},
        {"prog\nyes\nno", "prog", true, false},                       // LF alone, any text with a Y
        {"C:\\Y\\YY.exe\r\nTEXTBOX=N\r\nALLPAGE=N", "C:\\Y\\YY.exe", false, false},
        {"prog", "prog", false, false},                             // lines 2 and 3 missing
        {"prog\r\nTEXTBOX=Y", "prog", true, false},
        {"", plat_default_diff_program(), false, false},            // an empty file keeps the default
        {"\r\nTEXTBOX=Y", plat_default_diff_program(), true, false},  // an empty first line too
        {std::string(RUN_PATH_MAX, 'p') + "\r\nTEXTBOX=Y", plat_default_diff_program(), true, false},  // too long: ignored
        {std::string(RUN_PATH_MAX - 1, 'p'), std::string(RUN_PATH_MAX - 1, 'p'), false, false},  // the longest that fits
        {"pro\tg\r\nTEXTBOX=Y", plat_default_diff_program(), true, false},  // a control character: ignored
        {"pro\rg\r\nTEXTBOX=Y", plat_default_diff_program(), true, false},
    };
    for (const row& r : rows) {
        run_settings s = read_from(r.file);
        EXPECT_EQ(std::string(s.diff_program), r.program) << r.file;
        EXPECT_EQ(s.textbox, r.textbox) << r.file;
        EXPECT_EQ(s.allpage, r.allpage) << r.file;
    }
}

TEST(Settings, ReadingNeverTurnsASwitchOff) {
    vt::scratch_dir dir;
    std::string p = dir / "Vergle.ini";
    ASSERT_TRUE(vt::write_file(p, "prog\r\nTEXTBOX=N\r\nALLPAGE=N"));
    run_settings s;
    s.textbox = s.allpage = true;
    read_settings_from(p, s);
    EXPECT_TRUE(s.textbox);
    EXPECT_TRUE(s.allpage);
}

TEST(Settings, WrittenBytesAndRoundTrip) {
    vt::scratch_dir dir;
    std::string p = dir / "Vergle.ini";
    run_settings s;
    std::strcpy(s.diff_program, "C:\\Program Files\\WinMerge\\WinMergeU.exe");
    s.textbox = false;
    s.allpage = true;
    EXPECT_EQ(write_settings_to(p, s), 0);
    EXPECT_EQ(vt::read_file(p), "C:\\Program Files\\WinMerge\\WinMergeU.exe\r\nTEXTBOX=N\r\nALLPAGE=Y");
    s.textbox = true;
    EXPECT_EQ(write_settings_to(p, s), 0);
    EXPECT_EQ(vt::read_file(p), "C:\\Program Files\\WinMerge\\WinMergeU.exe\r\nTEXTBOX=Y\r\nALLPAGE=Y")
        << "the file is truncated, not appended to";
    run_settings back;
    read_settings_from(p, back);
    EXPECT_STREQ(back.diff_program, s.diff_program);
    EXPECT_TRUE(back.textbox);
    EXPECT_TRUE(back.allpage);
    // A file that cannot be written is reported: a missing folder, a folder
    // in the file's place.
    EXPECT_EQ(write_settings_to(dir / "missing" + std::string(1, plat_separator()) + "Vergle.ini", s), -1);
    std::string folder = dir / "folder.ini";
    ASSERT_EQ(plat_make_dir(folder.c_str()), 0);
    EXPECT_EQ(write_settings_to(folder, s), -1);
}

TEST(Settings, LaterSwitchesByNameWrittenOnlyWhenOn) {
    const struct {
        std::string file;
        bool formulas, macros;
    } rows[] = {
        {"prog\r\nTEXTBOX=N\r\nALLPAGE=N\r\nFORMULAS=Y\r\nMACROS=Y", true, true},
        {"prog\r\nTEXTBOX=N\r\nALLPAGE=N\r\nMACROS=Y", false, true},
        {"prog\r\nTEXTBOX=N\r\nALLPAGE=N\r\nFORMULAS=N", false, false},
        {"prog\r\nTEXTBOX=N\r\nFORMULAS=Y", false, false},  // line 3 is ALLPAGE's, whatever it says
    };
    for (const auto& r : rows) {
        run_settings s = read_from(r.file);
        EXPECT_EQ(s.formulas, r.formulas) << r.file;
        EXPECT_EQ(s.macros, r.macros) << r.file;
    }
    vt::scratch_dir dir;
    std::string p = dir / "Vergle.ini";
    run_settings s;
    std::strcpy(s.diff_program, "prog");
    s.macros = true;
    EXPECT_EQ(write_settings_to(p, s), 0);
    EXPECT_EQ(vt::read_file(p), "prog\r\nTEXTBOX=N\r\nALLPAGE=N\r\nMACROS=Y");
    s.formulas = true;
    EXPECT_EQ(write_settings_to(p, s), 0);
    run_settings back;
    read_settings_from(p, back);
    EXPECT_TRUE(back.formulas && back.macros);
    s.formulas = s.macros = false;
    EXPECT_EQ(write_settings_to(p, s), 0);
    EXPECT_EQ(vt::read_file(p), "prog\r\nTEXTBOX=N\r\nALLPAGE=N") << "the file of the earlier versions";
}

TEST(Settings, AProgramPathWithALineBreakIsNeverWritten) {
    vt::scratch_dir dir;
    std::string p = dir / "Vergle.ini";
    ASSERT_TRUE(vt::write_file(p, "prog\r\nTEXTBOX=N\r\nALLPAGE=N"));
    for (const char* bad : {"a\nTEXTBOX=Y", "a\r\nb", "tab\there", "del\x7f"}) {
        EXPECT_FALSE(valid_program_path(bad)) << bad;
        run_settings s;
        std::strcpy(s.diff_program, bad);
        EXPECT_EQ(write_settings_to(p, s), -1) << bad;
        EXPECT_EQ(vt::read_file(p), "prog\r\nTEXTBOX=N\r\nALLPAGE=N") << "left as it was";
    }
    // No program chosen is an empty first line, not a refusal.
    run_settings none;
    none.diff_program[0] = 0;
    EXPECT_EQ(write_settings_to(p, none), 0);
    EXPECT_EQ(vt::read_file(p), "\r\nTEXTBOX=N\r\nALLPAGE=N");
    EXPECT_FALSE(valid_program_path(""));
    EXPECT_TRUE(valid_program_path("C:\\Program Files\\WinMerge\\WinMergeU.exe"));
    EXPECT_TRUE(valid_program_path("\xE6\xAF\x94\xE8\xBC\x83.exe"));
    EXPECT_TRUE(valid_program_path(std::string(300, 'p').c_str())) << "a path of 300 characters";
    EXPECT_FALSE(valid_program_path(std::string(RUN_PATH_MAX, 'p').c_str()));
}

// The file is in the system's ANSI code page (code page 932 on Windows,
// UTF-8 on Linux); the settings are UTF-8.  A program path the code page
// cannot hold is not saved: the file keeps the program it named, and the
// switches are saved all the same.
TEST(Settings, FileInTheAnsiCodePage) {
    vt::scratch_dir dir;
    std::string p = dir / "Vergle.ini";
    const std::string japanese = "C:\\ツール\\比較表\\WinMergeU.exe";  // ソ and 表 end in 0x5C in code page 932
    std::string ansi;
    ASSERT_TRUE(plat_ansi_from_utf8(japanese, ansi));
    run_settings s;
    std::strcpy(s.diff_program, japanese.c_str());
    EXPECT_EQ(write_settings_to(p, s), 0);
    EXPECT_EQ(vt::read_file(p), ansi + "\r\nTEXTBOX=N\r\nALLPAGE=N");
    run_settings back;
    read_settings_from(p, back);
    EXPECT_EQ(std::string(back.diff_program), japanese);

    // Where the ANSI code page is code page 932 (Windows): a path with
    // Korean and a character outside the BMP.
    const std::string korean = "C:\\도구 𠮷\\diff.exe";
    std::string lossy;
    if (plat_ansi_from_utf8(korean, lossy)) return;  // UTF-8 (Linux) holds it
    std::strcpy(s.diff_program, korean.c_str());
    s.textbox = true;
    EXPECT_EQ(write_settings_to(p, s), 1) << "saved without the program path";
    EXPECT_EQ(vt::read_file(p), ansi + "\r\nTEXTBOX=Y\r\nALLPAGE=N");
    EXPECT_EQ(std::string(s.diff_program), korean) << "the run still uses the new path";
    // With nothing saved before, the first line stays empty: the default.
    std::string fresh = dir / "fresh.ini";
    EXPECT_EQ(write_settings_to(fresh, s), 1);
    EXPECT_EQ(vt::read_file(fresh), "\r\nTEXTBOX=Y\r\nALLPAGE=N");
    EXPECT_NE(settings_program_unsaved_text(korean.c_str()).find(korean), std::string::npos);
}

// The file is never written through a link in its place: the link is
// replaced, what it points at stays as it was; nothing else is left beside.
TEST(Settings, ALinkInThePlaceOfTheFileIsReplacedNotFollowed) {
    namespace fs = std::filesystem;
    vt::scratch_dir dir;
    std::string precious = dir / "precious", p = dir / "Vergle.ini";
    ASSERT_TRUE(vt::write_file(precious, "keep"));
    std::error_code ec;
    fs::create_symlink(precious, p, ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    run_settings s;
    s.textbox = true;
    for (const char* target : {"precious", "missing"}) {  // a link, a dangling link
        fs::remove(p);
        fs::create_symlink(dir / target, p);
        EXPECT_EQ(write_settings_to(p, s), 0) << target;
        EXPECT_EQ(plat_path_kind(p.c_str()), PLAT_FILE) << target;
        EXPECT_EQ(vt::read_file(p), std::string(s.diff_program) + "\r\nTEXTBOX=Y\r\nALLPAGE=N");
        EXPECT_EQ(vt::read_file(precious), "keep");
        EXPECT_FALSE(vt::exists(dir / "missing")) << "nothing created where the link pointed";
    }
    std::vector<plat_dirent> names;
    ASSERT_EQ(plat_list_dir(dir.path().c_str(), names), 0);
    EXPECT_EQ(names.size(), 2u) << "no partly written file left beside";
}

TEST(Settings, PathIsBesideTheExecutable) {
    std::string exe;
    ASSERT_EQ(plat_module_path(exe), 0);
    std::string p = settings_path();
    ASSERT_GE(p.size(), 10u);
    EXPECT_EQ(p.substr(p.size() - 10), "Vergle.ini");
    EXPECT_EQ(exe.substr(0, p.size() - 10), p.substr(0, p.size() - 10));
    EXPECT_TRUE(plat_is_separator(p[p.size() - 11]));
}

}  // namespace
