// The settings file "Vergle.ini".
#include <gtest/gtest.h>

#include <cstring>

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
        {std::string(300, 'p') + "\r\nTEXTBOX=Y", plat_default_diff_program(), true, false},  // too long: ignored
        {std::string(259, 'p'), std::string(259, 'p'), false, false},  // the longest that fits
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
    EXPECT_FALSE(valid_program_path(std::string(260, 'p').c_str()));
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
