// The platform layer's contract, checked the same way on every system.
#include <gtest/gtest.h>

#include <algorithm>

#include "platform.h"
#include "test_support.h"

namespace {

TEST(PlatformFiles, OpenModesReadWriteSeek) {
    vt::scratch_dir dir;
    std::string p = dir / "a.bin";
    EXPECT_EQ(plat_open(p.c_str(), PLAT_READ), nullptr) << "read mode needs an existing file";
    EXPECT_EQ(plat_open(p.c_str(), 7), nullptr);

    plat_file* f = plat_open(p.c_str(), PLAT_WRITE);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat_write(f, "hello\n", 6), 6u);
    plat_close(f);
    // Append mode starts at the end; write mode truncates.
    f = plat_open(p.c_str(), PLAT_APPEND);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat_write(f, "world", 5), 5u);
    plat_close(f);
    EXPECT_EQ(vt::read_file(p), "hello\nworld") << "no newline translation on any system";

    f = plat_open(p.c_str(), PLAT_READ);
    ASSERT_NE(f, nullptr);
    char buf[16] = {};
    EXPECT_EQ(plat_seek(f, -5, 2), 0);
    EXPECT_EQ(plat_read(f, buf, sizeof buf), 5u);
    EXPECT_STREQ(buf, "world");
    EXPECT_EQ(plat_read(f, buf, sizeof buf), 0u);
    EXPECT_EQ(plat_seek(f, 1, 0), 0);
    EXPECT_EQ(plat_tell(f), 1);
    EXPECT_EQ(plat_seek(f, 0, 9), -1);
    plat_close(f);

    int64_t size = -1;
    EXPECT_EQ(plat_file_size(p.c_str(), &size), 0);
    EXPECT_EQ(size, 11);
    EXPECT_EQ(plat_file_size((dir / "missing").c_str(), &size), -101);
    EXPECT_EQ(plat_open(dir.path().c_str(), PLAT_READ), nullptr) << "a folder is not a file";
}

TEST(PlatformFiles, CreateModeMakesOnlyNewFiles) {
    vt::scratch_dir dir;
    std::string p = dir / "new.txt";
    plat_file* f = plat_open(p.c_str(), PLAT_CREATE);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat_write(f, "one", 3), 3u);
    EXPECT_EQ(plat_close(f), 0);
    EXPECT_EQ(plat_open(p.c_str(), PLAT_CREATE), nullptr) << "an existing file is never opened";
    EXPECT_EQ(vt::read_file(p), "one");
    EXPECT_EQ(plat_open(dir.path().c_str(), PLAT_CREATE), nullptr);
}

// A mapped file shows its bytes whatever way the system gave them; letting
// pages go never changes what is read afterwards.
TEST(PlatformFiles, MappedFiles) {
    vt::scratch_dir dir;
    std::string big(300000, '\0');
    for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>(i * 7 + (i >> 12));
    ASSERT_TRUE(vt::write_file(dir / "big.bin", big));
    ASSERT_TRUE(vt::write_file(dir / "empty.bin", ""));
    int status = 1;
    plat_mapping* m = nullptr;
    for (bool own : {false, true}) {
        m = plat_map_file((dir / "big.bin").c_str(), &status, own);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(status, 0);
        ASSERT_EQ(plat_mapped_size(m), big.size());
        plat_mapped_done(m, 100, 200000);
        plat_mapped_done(m, 290000, 1000000);
        EXPECT_TRUE(std::string(reinterpret_cast<const char*>(plat_mapped_data(m)), big.size()) == big);
        plat_unmap_file(m);
    }

    m = plat_map_file((dir / "empty.bin").c_str(), &status);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(plat_mapped_size(m), 0u);
    EXPECT_NE(plat_mapped_data(m), nullptr);
    plat_mapped_done(m, 0, 10);
    plat_unmap_file(m);

    EXPECT_EQ(plat_map_file((dir / "missing").c_str(), &status), nullptr);
    EXPECT_EQ(status, -101);
    EXPECT_EQ(plat_map_file(dir.path().c_str(), &status), nullptr) << "a folder is not a file";
    EXPECT_EQ(status, -101);
    plat_unmap_file(nullptr);
}

TEST(PlatformFolders, RunFoldersAreNewAndDistinct) {
    vt::scratch_dir dir;
    std::string a, b;
    ASSERT_EQ(plat_make_run_dir(dir.path().c_str(), a), 0);
    ASSERT_EQ(plat_make_run_dir(dir.path().c_str(), b), 0);
    EXPECT_NE(a, b);
    std::string sep(1, plat_separator());
    EXPECT_EQ(a.substr(0, dir.path().size() + 8), dir.path() + sep + "Vergle-");
    EXPECT_EQ(plat_path_kind(a.c_str()), PLAT_DIR);
    EXPECT_EQ(plat_make_dir(a.c_str()), 1);
    EXPECT_EQ(plat_make_run_dir((dir / "missing").c_str(), a), -1);
}

TEST(PlatformFolders, SameFileName) {
    EXPECT_TRUE(plat_same_file_name("plan", "plan"));
    EXPECT_FALSE(plat_same_file_name("plan", "plan2"));
    EXPECT_FALSE(plat_same_file_name("a_b", "a b"));
    // Letter case: the file system decides.
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "Plan", "x"));
    bool folded = vt::exists(dir / "plan");
    EXPECT_EQ(plat_same_file_name("Plan", "plan"), folded);
}

TEST(PlatformFolders, MakeListRemove) {
    vt::scratch_dir dir;
    std::string sub = dir / "sub";
    EXPECT_EQ(plat_make_dir(sub.c_str()), 0);
    EXPECT_EQ(plat_make_dir(sub.c_str()), 1) << "an existing folder is reported, not an error";
    EXPECT_EQ(plat_make_dir((dir / "no" + std::string(1, plat_separator()) + "deeper").c_str()), -1);
    ASSERT_TRUE(vt::write_file(vt::join(sub, "f.txt"), "x"));
    EXPECT_EQ(plat_make_dir(vt::join(sub, "f.txt").c_str()), -1) << "a file in the way";

    std::vector<plat_dirent> entries;
    ASSERT_EQ(plat_list_dir(dir.path().c_str(), entries), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "sub");
    EXPECT_EQ(entries[0].kind, PLAT_DIR);
    EXPECT_EQ(plat_list_dir((dir / "missing").c_str(), entries), -1);

    EXPECT_EQ(plat_path_kind(sub.c_str()), PLAT_DIR);
    EXPECT_EQ(plat_path_kind(vt::join(sub, "f.txt").c_str()), PLAT_FILE);
    EXPECT_EQ(plat_remove_dir(sub.c_str()), -1) << "not empty";
    EXPECT_EQ(plat_remove_tree(sub.c_str()), 0);
    EXPECT_EQ(plat_path_kind(sub.c_str()), PLAT_NONE);
    EXPECT_EQ(plat_remove_tree(sub.c_str()), 0) << "a folder that is gone already";
}

TEST(PlatformFolders, RemoveTreeOfDeepTree) {
    vt::scratch_dir dir;
    std::string p = dir / "t";
    std::string deepest = p;
    ASSERT_EQ(plat_make_dir(p.c_str()), 0);
    for (int i = 0; i < 20; ++i) {
        deepest = vt::join(deepest, "d" + std::to_string(i));
        ASSERT_EQ(plat_make_dir(deepest.c_str()), 0);
        ASSERT_TRUE(vt::write_file(vt::join(deepest, "file"), "content"));
    }
    EXPECT_EQ(plat_remove_tree(p.c_str()), 0);
    EXPECT_FALSE(vt::exists(p));
}

// Names of every character and paths of 300 characters and more, through
// every call that takes a path: the same on every system.
TEST(PlatformFolders, NamesOfEveryCharacterAndLongPaths) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string deep = dir.path();
    size_t characters = 0;
    while (characters < 300) {
        deep = vt::join(deep, "𠮷野家 汇总 Café é 한국어 \xF0\x9F\x98\x80 and some more");
        ASSERT_EQ(plat_make_dir(deep.c_str()), 0) << deep.size();
        characters = 0;
        for (unsigned char c : deep) characters += (c & 0xC0) != 0x80;
    }
    std::string file = vt::join(deep, "表ソ能 汇总.xlsx");
    plat_file* f = plat_open(file.c_str(), PLAT_CREATE);
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(plat_write(f, "content", 7), 7u);
    EXPECT_EQ(plat_close(f), 0);
    int64_t size = 0;
    EXPECT_EQ(plat_file_size(file.c_str(), &size), 0);
    EXPECT_EQ(size, 7);
    EXPECT_EQ(plat_path_kind(file.c_str()), PLAT_FILE);
    EXPECT_EQ(plat_path_kind(deep.c_str()), PLAT_DIR);
    EXPECT_EQ(plat_set_file_time(file.c_str(), 1700000000), 0);
    int status = 0;
    plat_mapping* m = plat_map_file(file.c_str(), &status);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plat_mapped_data(m)), plat_mapped_size(m)), "content");
    plat_unmap_file(m);
    std::vector<plat_dirent> entries;
    ASSERT_EQ(plat_list_dir(deep.c_str(), entries), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "表ソ能 汇总.xlsx");
    std::string run;
    ASSERT_EQ(plat_make_run_dir(deep.c_str(), run), 0);
    EXPECT_EQ(plat_remove_tree(run.c_str()), 0);
    EXPECT_EQ(plat_remove_file(file.c_str()), 0);
    EXPECT_EQ(plat_path_kind(file.c_str()), PLAT_NONE);
    ASSERT_TRUE(vt::write_file(file, "again"));
    std::string top = vt::join(dir.path(), "𠮷野家 汇总 Café é 한국어 \xF0\x9F\x98\x80 and some more");
    EXPECT_EQ(plat_remove_tree(top.c_str()), 0);
    EXPECT_EQ(plat_path_kind(top.c_str()), PLAT_NONE);
    // A variable with such a path, as TEMP under "C:\Users\José".
    plat_setenv("VERGLE_TEST_VAR", deep.c_str());
    std::string v;
    EXPECT_TRUE(plat_getenv("VERGLE_TEST_VAR", v));
    EXPECT_EQ(v, deep);
    plat_setenv("VERGLE_TEST_VAR", nullptr);
}

TEST(PlatformProcess, EnvironmentAndModulePath) {
    plat_setenv("VERGLE_TEST_VAR", "value 1");
    std::string v;
    EXPECT_TRUE(plat_getenv("VERGLE_TEST_VAR", v));
    EXPECT_EQ(v, "value 1");
    plat_setenv("VERGLE_TEST_VAR", nullptr);
    EXPECT_FALSE(plat_getenv("VERGLE_TEST_VAR", v));

    std::string exe;
    ASSERT_EQ(plat_module_path(exe), 0);
    EXPECT_TRUE(plat_is_absolute(exe.c_str())) << exe;
    EXPECT_NE(exe.find("test_platform"), std::string::npos) << exe;

    std::string cwd;
    ASSERT_EQ(plat_get_cwd(cwd), 0);
    EXPECT_FALSE(cwd.empty());
}

TEST(PlatformProcess, MissingProgramIsReported) {
    EXPECT_EQ(plat_run_and_wait("vergle-no-such-program-xyz", "a", "b", nullptr), -1);
    EXPECT_EQ(plat_run_and_wait("", "a", "b", nullptr), -1);
}

// Code page 932 as Windows converts it: the same bytes on every system.
struct cp932_row {
    const char* utf8;
    const char* cp932;
};

TEST(PlatformCodePage, Cp932RoundTripTable) {
    const cp932_row rows[] = {
        {"abc", "abc"},
        {"\xE3\x81\x82", "\x82\xA0"},              // あ
        {"\xE3\x82\xBD", "\x83\x5C"},              // ソ: trail byte 0x5C
        {"\xEF\xBD\xB1", "\xB1"},                  // half-width ｱ
        {"\xE2\x91\xA0", "\x87\x40"},              // ① (NEC row 13)
        {"\xE9\xAB\x99", "\xFB\xFC"},              // 髙 (IBM extension)
        {"\xEF\xBD\x9E", "\x81\x60"},              // ～ FULLWIDTH TILDE
        {"\xE2\x80\x95", "\x81\x5C"},              // ― HORIZONTAL BAR
        {"\xEF\xBC\x8D", "\x81\x7C"},              // － FULLWIDTH HYPHEN-MINUS
    };
    for (const cp932_row& r : rows) {
        std::u16string w;
        ASSERT_TRUE(plat_utf8_to_utf16(r.utf8, strlen(r.utf8), w));
        std::string sjis;
        ASSERT_TRUE(plat_utf16_to_cp932(w.data(), w.size(), sjis));
        EXPECT_EQ(sjis, r.cp932) << r.utf8;
        std::u16string back;
        ASSERT_TRUE(plat_cp932_to_utf16(sjis.data(), sjis.size(), back));
        EXPECT_EQ(back, w) << r.utf8;
    }
}

TEST(PlatformCodePage, Cp932BestFitAndUnmappable) {
    // Characters outside code page 932: Windows' best-fit mappings, or "?"
    // where it has none.  Both builds must write the same bytes.
    const cp932_row rows[] = {
        {"\xC2\xA5", "\x5C"},          // ¥
        {"\xC3\xA9", "e"},              // é: its ASCII base letter
        {"\xC3\x85", "A"},              // Å
        {"\xC2\xAB", "\x81\xE1"},      // «
        {"\xC2\xB2", "2"},              // ²
        {"\xC2\xA2", "\x81\x91"},      // ¢
        {"\xC2\xA3", "\x81\x92"},      // £
        {"\xC2\xAC", "\x81\xCA"},      // ¬
        {"\xE2\x88\x92", "?"},          // − MINUS SIGN: no best fit on Windows
        {"\xE3\x80\x9C", "?"},          // 〜 WAVE DASH
        {"\xE2\x80\x96", "?"},          // ‖ DOUBLE VERTICAL LINE
        {"\xE2\x80\x94", "?"},          // — EM DASH
        {"\xE3\x82\x94", "\x83\x94"},  // ゔ
        {"\xF0\x9F\x98\x80", "??"},    // an emoji: one "?" for each half of the pair
        {"\xE4\xB8\x82", "?"},          // a CJK character outside JIS
        // Characters with two codes: Windows writes the IBM extension's
        // (small roman numerals) or the older row's (because).
        {"\xE2\x85\xB0", "\xFA\x40"},  // ⅰ
        {"\xE2\x88\xB5", "\x81\xE6"},  // ∵
        {"\xE7\xBA\x8A", "\xFA\x5C"},  // 纊: 0xED40 decodes to it, Windows writes 0xFA5C
    };
    for (const cp932_row& r : rows) {
        std::u16string w;
        ASSERT_TRUE(plat_utf8_to_utf16(r.utf8, strlen(r.utf8), w));
        std::string sjis;
        ASSERT_TRUE(plat_utf16_to_cp932(w.data(), w.size(), sjis));
        EXPECT_EQ(sjis, r.cp932) << r.utf8;
    }
    // Single bytes without a character of their own decode to private-use
    // characters, as on Windows.
    std::u16string w;
    ASSERT_TRUE(plat_cp932_to_utf16("\xA0\xFD\xFE\xFF\x80", 5, w));
    EXPECT_EQ(w, (std::u16string{0xF8F0, 0xF8F1, 0xF8F2, 0xF8F3, 0x0080}));
}

TEST(PlatformCodePage, InvalidBytesNeverStopTheConversion) {
    // A lone lead byte at the end and an invalid trail byte.
    std::u16string w;
    ASSERT_TRUE(plat_cp932_to_utf16("a\x82", 2, w));
    ASSERT_EQ(w.size(), 2u);
    EXPECT_EQ(w[0], u'a');
    ASSERT_TRUE(plat_cp932_to_utf16("\x82\x20x", 3, w));
    EXPECT_EQ(w.back(), u'x');
}

TEST(PlatformUnicode, Utf8Utf16Table) {
    struct row {
        std::string utf8;
        std::u16string utf16;
    } rows[] = {
        {"", u""},
        {"A", u"A"},
        {"\xC3\xA9", u"\u00E9"},
        {"\xE6\x97\xA5", u"\u65E5"},
        {"\xF0\x9F\x98\x80", u"\U0001F600"},
    };
    for (const row& r : rows) {
        std::u16string w;
        ASSERT_TRUE(plat_utf8_to_utf16(r.utf8.data(), r.utf8.size(), w));
        EXPECT_EQ(w, r.utf16);
        std::string back;
        ASSERT_TRUE(plat_utf16_to_utf8(w.data(), w.size(), back));
        EXPECT_EQ(back, r.utf8);
    }
    // Broken input decodes to U+FFFD and the rest survives.
    const std::string broken[] = {"\xC3", "\xE6\x97", "\xFF", "\xED\xA0\x80", "\xC0\xAF"};
    for (const std::string& b : broken) {
        std::u16string w;
        ASSERT_TRUE(plat_utf8_to_utf16((b + "z").data(), b.size() + 1, w));
        ASSERT_FALSE(w.empty());
        EXPECT_EQ(w.front(), 0xFFFD);
        EXPECT_EQ(w.back(), u'z');
    }
    const char16_t lone[] = {0xD800, u'x'};
    std::string out;
    ASSERT_TRUE(plat_utf16_to_utf8(lone, 2, out));
    EXPECT_EQ(out, "\xEF\xBF\xBDx");
}

}  // namespace
