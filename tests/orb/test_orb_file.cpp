// The file layer: document kinds, OS files, whole files, folders.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

#include "mfile.h"
#include "orb_file.h"
#include "platform.h"
#include "test_support.h"

namespace {

const std::string ZIP_HEAD("PK\x03\x04\x14\x00\x06\x00\x08\x00\x00\x00\x21\x00\x00\x00", 16);
const std::string CFB_HEAD("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\x00\x00\x00\x00\x00\x00\x00\x00", 16);

int kind_of(const std::string& path) {
    int type = 99;
    int rc = orb_file_type(ORB_SOURCE_DISK, path.c_str(), &type);
    return rc != 0 ? 1000 + rc : type;
}

// A minimal compound document: header, then one directory sector holding the
// root entry and, when wanted, an "EncryptedPackage" entry.
std::string compound(bool encrypted) {
    std::string doc = CFB_HEAD + std::string(512 - 16, '\0');
    doc[30] = 9;                       // 512-byte sectors
    doc[44] = 1;                       // one FAT sector ...
    doc[76] = 1;                       // ... sector 1
    doc[48] = 0;                       // the directory starts at sector 0
    std::string fat(512, '\xFF');
    fat[0] = '\xFE', fat[1] = '\xFF', fat[2] = '\xFF', fat[3] = '\xFF';  // end of chain
    std::string dir(512, '\0');
    const char* root = "Root Entry";
    for (int i = 0; root[i]; ++i) dir[2 * i] = root[i];
    dir[64] = 22;
    if (encrypted) {
        const char* name = "EncryptedPackage";
        for (int i = 0; name[i]; ++i) dir[128 + 2 * i] = name[i];
        dir[128 + 64] = 34;
        dir[128 + 116] = 3;  // starting sector
    }
    return doc + dir + fat + std::string(512 * 4, '\0');
}

TEST(OrbFileType, MagicAndExtensionTable) {
    vt::scratch_dir dir;
    struct row {
        std::string name, bytes;
        int kind;
    } rows[] = {
        {"book.xlsx", ZIP_HEAD, 12},
        {"book.XLSX", ZIP_HEAD, 12},  // the extension ignores case
        {"book.zip", ZIP_HEAD, 301},
        {"book.xlsm", ZIP_HEAD, 14},
        {"book.xlsb", ZIP_HEAD, 13},
        {"doc.docx", ZIP_HEAD, 22},
        {"doc.docm", ZIP_HEAD, 23},
        {"deck.pptx", ZIP_HEAD, 32},
        {"deck.pptm", ZIP_HEAD, 33},
        {"old.xls", CFB_HEAD + std::string(600, '\0'), 11},
        {"old.doc", CFB_HEAD, 21},
        {"old.ppt", CFB_HEAD, 31},
        {"zip-named.xls", ZIP_HEAD, -1},
        {"noext", ZIP_HEAD, -1},
        {"data.csv", "a,b,c\n1,2,3\n4,5,6", 0},
        {"short.xlsx", std::string("PK\x03\x04", 4) + std::string(11, 'x'), -1},  // 15 bytes
        {"empty.xlsx", "", -1},
        {"axlsx", ZIP_HEAD, 12},  // no dot is required
    };
    for (const row& r : rows) {
        std::string p = dir / r.name;
        ASSERT_TRUE(vt::write_file(p, r.bytes));
        EXPECT_EQ(kind_of(p), r.kind) << r.name;
    }
    EXPECT_EQ(kind_of(dir / "missing.xlsx"), 1000 - 101);
}

TEST(OrbFileType, PasswordProtectedNeedsTheEncryptedStream) {
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "locked.xlsx", compound(true)));
    ASSERT_TRUE(vt::write_file(dir / "locked.docx", compound(true)));
    ASSERT_TRUE(vt::write_file(dir / "locked.pptx", compound(true)));
    ASSERT_TRUE(vt::write_file(dir / "plain.xlsx", compound(false)));
    EXPECT_EQ(kind_of(dir / "locked.xlsx"), 19);
    EXPECT_EQ(kind_of(dir / "locked.docx"), 29);
    EXPECT_EQ(kind_of(dir / "locked.pptx"), 39);
    EXPECT_EQ(kind_of(dir / "plain.xlsx"), 1000 - 1) << "a compound file named .xlsx without the stream fails";
    // A decoy: a block that begins with "Root Entry" ahead of the real
    // directory must not be taken for it.
    std::string decoy = compound(true);
    decoy[48] = 2;  // the directory now starts at sector 2 ...
    std::string real_dir = decoy.substr(512, 512);
    std::string empty_dir(512, '\0');
    for (int i = 0; i < 10; ++i) empty_dir[2 * i] = "Root Entry"[i];
    empty_dir[64] = 22;
    decoy.replace(512, 512, empty_dir);  // ... and sector 0 holds a lookalike
    decoy.replace(512 * 3, 512, real_dir);
    decoy[1024 + 8] = '\xFE', decoy[1024 + 9] = '\xFF', decoy[1024 + 10] = '\xFF', decoy[1024 + 11] = '\xFF';
    ASSERT_TRUE(vt::write_file(dir / "decoy.docx", decoy));
    EXPECT_EQ(kind_of(dir / "decoy.docx"), 29);
    // A directory chain that loops on itself ends.
    std::string loop = compound(false);
    loop[1024] = 0, loop[1025] = 0, loop[1026] = 0, loop[1027] = 0;  // sector 0 -> sector 0
    ASSERT_TRUE(vt::write_file(dir / "loop.xlsx", loop));
    EXPECT_EQ(kind_of(dir / "loop.xlsx"), 1000 - 1);
    // A truncated compound file: no directory block at all.
    ASSERT_TRUE(vt::write_file(dir / "cut.xlsx", CFB_HEAD + std::string(100, '\0')));
    EXPECT_EQ(kind_of(dir / "cut.xlsx"), 1000 - 1);
}

TEST(OrbFileType, HeaderAndMemorySources) {
    int type = 0;
    EXPECT_EQ(orb_file_type(ORB_SOURCE_HEADER, ZIP_HEAD.data(), &type), 0);
    EXPECT_EQ(type, 301) << "header mode takes the first magic match";
    EXPECT_EQ(orb_file_type(ORB_SOURCE_HEADER, CFB_HEAD.data(), &type), 0);
    EXPECT_EQ(type, 11);

    mcloseall();
    Mfile* f = mopen("mem.xlsx", "wb");
    mwrite(ZIP_HEAD.data(), 1, ZIP_HEAD.size(), f);
    mclose(f);
    EXPECT_EQ(orb_file_type(ORB_SOURCE_MEMORY, "mem.xlsx", &type), 0);
    EXPECT_EQ(type, 12);
    std::string locked = compound(true);
    f = mopen("mem-locked.pptx", "wb");
    mwrite(locked.data(), 1, locked.size(), f);
    mclose(f);
    EXPECT_EQ(orb_file_type(ORB_SOURCE_MEMORY, "mem-locked.pptx", &type), 0);
    EXPECT_EQ(type, 39);
    mcloseall();
}

// Every document of the corpus gets the kind its name and content give.
TEST(OrbFileType, EveryCorpusFile) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    const std::map<std::string, int> by_ext = {{"xls", 11},  {"xlsx", 12}, {"xlsb", 13}, {"xlsm", 14},
                                               {"doc", 21},  {"docx", 22}, {"docm", 23}, {"ppt", 31},
                                               {"pptx", 32}, {"pptm", 33}};
    // Files whose content does not fit their name, and encrypted packages.
    const std::map<std::string, int> special = {
        {"bad_15_bytes.xls", -1},
        {"bad_empty.xlsx", -1},
        {"bad_xls_content_named.xlsx", 1000 - 1},
        {"bad_xlsx_content_named.xls", -1},
        {"bad_docx_content_named.xlsx", 12},
        {"bad_truncated.xlsx", 12},
        {"xlsx_password_open__libreoffice.xlsx", 19},
        {"xlsm_password_open__libreoffice.xlsm", 19},
        {"docx_password_open__libreoffice.docx", 29},
        {"pptx_password_open__libreoffice.pptx", 39},
        {"too_small.xls", -1},
        {"biff4_no_format_no_window2.xls", -1},  // a bare record stream, no compound document
        {"protect.xlsx", 19},
        {"protected_passtika.xlsx", 19},
        {"protected_sha512.xlsx", 19},
        {"60320-protected.xlsx", 19},
        {"protected_agile.docx", 29},
        {"bug53475-password-is-pass.docx", 29},
        {"pass_protected.xlsx", 19},
        {"protected_passtika.xlsb", -1},
        {"pass_protected.xlsb", -1},
    };
    std::vector<std::string> files = vt::corpus_files({"xls", "xlsx", "xlsb", "xlsm", "doc", "docx", "docm", "ppt",
                                                       "pptx", "pptm"});
    ASSERT_GT(files.size(), 50u);
    for (const std::string& p : files) {
        std::string name = p.substr(p.find_last_of("/\\") + 1);
        std::string ext = name.substr(name.rfind('.') + 1);
        for (char& c : ext) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        auto sp = special.find(name);
        int want = sp != special.end() ? sp->second : by_ext.at(ext);
        EXPECT_EQ(kind_of(p), want) << name;
    }
}

TEST(OrbFiles, SeekOriginsAndErrors) {
    vt::scratch_dir dir;
    std::string p = dir / "f";
    ASSERT_TRUE(vt::write_file(p, "0123456789"));
    ORB_FILE* f = orb_fopen(p.c_str(), 1);
    ASSERT_NE(f, nullptr);
    char c;
    EXPECT_EQ(orb_fseek(f, 3, 1), 0);
    orb_fread(&c, 1, f);
    EXPECT_EQ(c, '3');
    EXPECT_EQ(orb_fseek(f, -1, 2), 0);
    orb_fread(&c, 1, f);
    EXPECT_EQ(c, '9');
    EXPECT_EQ(orb_fseek(f, -5, 3), 0);
    orb_fread(&c, 1, f);
    EXPECT_EQ(c, '5');
    EXPECT_EQ(orb_fseek(f, 0, 0), -3);
    EXPECT_EQ(orb_fseek(f, -100, 1), -104);
    EXPECT_EQ(orb_fwrite("x", 1, f), 0u) << "read-only handle";
    orb_fclose(f);
    EXPECT_EQ(orb_fopen(p.c_str(), 5), nullptr);
    EXPECT_EQ(orb_fopen((dir / "missing").c_str(), 1), nullptr);
    // Mode 3 appends, mode 4 opens or creates without truncating.
    f = orb_fopen(p.c_str(), 3);
    orb_fwrite("A", 1, f);
    orb_fclose(f);
    f = orb_fopen(p.c_str(), 4);
    orb_fwrite("B", 1, f);
    orb_fclose(f);
    EXPECT_EQ(vt::read_file(p), "B123456789A");
}

TEST(OrbFiles, ReadLineKeepsQuotedLineEnds) {
    vt::scratch_dir dir;
    std::string p = dir / "lines.csv";
    ASSERT_TRUE(vt::write_file(p, "a,\"x\r\ny\",b\r\nsecond\rthird\n\nlast"));
    ORB_FILE* f = orb_fopen(p.c_str(), 1);
    char buf[64];
    std::vector<std::string> lines;
    while (orb_read_line(buf, sizeof buf, f) == 1) lines.push_back(buf);
    orb_fclose(f);
    EXPECT_EQ(lines, (std::vector<std::string>{"a,\"x\r\ny\",b", "second", "third", "", "last"}));

    // The line stops at size - 1 bytes and the buffer stays terminated.
    ASSERT_TRUE(vt::write_file(p, "abcdefghij\n"));
    f = orb_fopen(p.c_str(), 1);
    char small[5];
    EXPECT_EQ(orb_read_line(small, sizeof small, f), 1);
    EXPECT_STREQ(small, "abcd");
    orb_fclose(f);
}

TEST(OrbFiles, LoadAndCopyWholeFiles) {
    vt::scratch_dir dir;
    std::string content(10000, 'x');
    content[4096] = '\0';
    ASSERT_TRUE(vt::write_file(dir / "src", content));
    char* buf = nullptr;
    int64_t len = 0;
    ASSERT_EQ(orb_load_file(true, (dir / "src").c_str(), &buf, &len), 0);
    EXPECT_EQ(len, 10000);
    EXPECT_EQ(std::string(buf, len), content);
    EXPECT_EQ(buf[len], 0);
    std::free(buf);
    EXPECT_EQ(orb_load_file(true, (dir / "missing").c_str(), &buf, &len), -101);

    EXPECT_EQ(orb_copy_file(true, (dir / "dst").c_str(), (dir / "src").c_str()), 0);
    EXPECT_EQ(vt::read_file(dir / "dst"), content);
    EXPECT_EQ(orb_copy_file(true, (dir / "dst").c_str(), (dir / "missing").c_str()), -101);
    EXPECT_EQ(orb_copy_file(true, (dir / "no" + std::string(1, plat_separator()) + "dst").c_str(),
                            (dir / "src").c_str()),
              -101);

    mcloseall();
    Mfile* m = mopen("m1", "wb");
    mwrite("memory text", 1, 11, m);
    mclose(m);
    EXPECT_EQ(orb_copy_file(false, "m2", "m1"), 0);
    ASSERT_EQ(orb_load_file(false, "m2", &buf, &len), 0);
    EXPECT_STREQ(buf, "memory text");
    std::free(buf);
    EXPECT_EQ(orb_copy_file(false, "m1", "m1"), 0) << "a copy onto itself keeps the content";
    EXPECT_EQ(msize("m1"), 11);
    mcloseall();
}

TEST(OrbFiles, GrowArray) {
    int* a = nullptr;
    int64_t cap = 0;
    ASSERT_EQ(orb_grow_array(reinterpret_cast<void**>(&a), 0, &cap, sizeof(int), 10, 2), 0);
    EXPECT_EQ(cap, 10);
    a[9] = 7;
    ASSERT_EQ(orb_grow_array(reinterpret_cast<void**>(&a), 9, &cap, sizeof(int), 10, 2), 0);
    EXPECT_EQ(cap, 10) << "nothing to do while the index fits";
    ASSERT_EQ(orb_grow_array(reinterpret_cast<void**>(&a), 10, &cap, sizeof(int), 10, 2), 0);
    EXPECT_EQ(cap, 20);
    EXPECT_EQ(a[9], 7);
    EXPECT_EQ(a[19], 0);
    ASSERT_EQ(orb_grow_array(reinterpret_cast<void**>(&a), 100, &cap, sizeof(int), 10, 2), 0);
    EXPECT_EQ(cap, 101) << "raised to the needed index + 1";
    std::free(a);
    char* huge = nullptr;
    int64_t hcap = 0;
    EXPECT_EQ(orb_grow_array(reinterpret_cast<void**>(&huge), INT64_C(1) << 62, &hcap, 16, 10, 2), -2);
    EXPECT_EQ(huge, nullptr);
}

TEST(OrbFolders, MakeDirsJoinAndTemp) {
    vt::scratch_dir dir;
    const std::string sep(1, plat_separator());
    std::string deep = dir / ("a" + sep + "b" + sep + "c" + sep);
    EXPECT_EQ(orb_make_dirs(deep.c_str()), 0);
    EXPECT_EQ(plat_path_kind((dir / ("a" + sep + "b" + sep + "c")).c_str()), PLAT_DIR);
    EXPECT_EQ(orb_make_dirs(deep.c_str()), 0) << "existing folders are fine";
    ASSERT_TRUE(vt::write_file(dir / "file", "x"));
    EXPECT_EQ(orb_make_dirs((dir / ("file" + sep + "sub")).c_str()), -1);

    char out[16];
    EXPECT_EQ(orb_join_path(out, sizeof out, "abc", "def"), 0);
    EXPECT_EQ(std::string(out), "abc" + sep + "def");
    EXPECT_EQ(orb_join_path(out, sizeof out, ("abc" + sep).c_str(), "def"), 0);
    EXPECT_EQ(std::string(out), "abc" + sep + "def");
    EXPECT_EQ(orb_join_path(out, sizeof out, "0123456789", "abcde"), -9) << "never cut silently";
    EXPECT_EQ(orb_join_path(out, sizeof out, "012345678", "abcde"), 0);

    char exe[ORB_PATH_MAX];
    EXPECT_EQ(orb_module_path(exe, sizeof exe), 0);
    EXPECT_EQ(orb_module_path(exe, 4), -1);
}

}  // namespace
