#include "orb_zip.h"

#include <gtest/gtest.h>
#include <unzip.h>

#include <chrono>
#include <cstring>
#include <ctime>
#include <filesystem>

#include <string>
#include <vector>

#include "mfile.h"
#include "platform.h"
#include "test_support.h"
#include "test_zip.h"

namespace {

// The modification time of a file as a time_t.
long long vt_file_mtime(const std::string& path) {
    std::error_code ec;
    std::filesystem::path p(std::u8string(reinterpret_cast<const char8_t*>(plat_utf8_from_native(path).c_str())));
    auto ft = std::filesystem::last_write_time(p, ec);
    if (ec) return -1;
    using fclock = std::filesystem::file_time_type::clock;
    auto epoch_gap = std::chrono::round<std::chrono::seconds>(
        fclock::now().time_since_epoch() - std::chrono::system_clock::now().time_since_epoch());
    return std::chrono::duration_cast<std::chrono::seconds>(ft.time_since_epoch() - epoch_gap).count();
}

// A name slot table that frees itself.
struct slots {
    char** table = nullptr;
    int capacity = 0;
    explicit slots(int step = ORB_SLOT_STEP) {
        EXPECT_EQ(orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, step), 0);
    }
    ~slots() { orb_free_slots(table, capacity); }
    std::vector<std::string> names(int count) const { return {table, table + count}; }
};

std::string mem_content(const std::string& name) {
    Mfile* f = mopen(name.c_str(), "rb");
    if (!f) return "<missing>";
    std::string s(static_cast<size_t>(f->size), '\0');
    mread(s.data(), 1, s.size(), f);
    mclose(f);
    return s;
}

bool mem_exists(const std::string& name) {
    std::vector<std::string> all;
    mlist(all);
    for (const std::string& n : all)
        if (n == name) return true;
    return false;
}

// Writes the package into a scratch folder and unpacks it in memory mode.
int unzip_memory(const vt::scratch_dir& dir, const std::vector<vt::zip_member>& members, slots& s, int* count) {
    std::string pkg = dir / "package.zip";
    EXPECT_TRUE(vt::write_file(pkg, vt::make_zip(members)));
    *count = s.capacity;
    return orb_unzip_package(ORB_UNZIP_MEMORY, pkg.c_str(), "", count, s.table);
}

TEST(NameSlots, GrowCarriesContentsAndRefusesBadArguments) {
    char** table = nullptr;
    int cap = 0;
    ASSERT_EQ(orb_grow_slots(&table, 0, &cap, 0, ORB_SLOT_SIZE, 1000), 0);
    EXPECT_EQ(cap, 1000);
    std::strcpy(table[0], "first");
    std::strcpy(table[999], "last");
    char** before = table;
    EXPECT_EQ(orb_grow_slots(&table, 999, &cap, 1000, ORB_SLOT_SIZE, 1000), 0);  // 999 < 1000: nothing
    EXPECT_EQ(table, before);
    EXPECT_EQ(orb_grow_slots(&table, 1000, &cap, 1000, ORB_SLOT_SIZE, 1000), 0);
    EXPECT_NE(table, before);
    EXPECT_EQ(cap, 2000);
    EXPECT_STREQ(table[0], "first");
    EXPECT_STREQ(table[999], "last");
    EXPECT_STREQ(table[1000], "");
    EXPECT_EQ(orb_grow_slots(&table, 2000, &cap, 0, ORB_SLOT_SIZE, 1000), 0);
    EXPECT_EQ(cap, 3000);
    EXPECT_EQ(orb_grow_slots(&table, 5, &cap, 0, ORB_SLOT_SIZE, 1000), 0);  // nothing to do
    EXPECT_EQ(cap, 3000);
    EXPECT_EQ(orb_grow_slots(&table, 5000, &cap, 0, ORB_SLOT_SIZE, 0), -3);
    EXPECT_EQ(orb_grow_slots(&table, 5000, &cap, 3001, ORB_SLOT_SIZE, 1000), -3);
    EXPECT_EQ(orb_grow_slots(&table, 5000, &cap, 0, 0, 1000), -3);
    EXPECT_EQ(cap, 3000);
    EXPECT_EQ(orb_free_slots(table, cap), 0);
    EXPECT_EQ(orb_free_slots(nullptr, 0), 0);
}

TEST(Unzip, MemoryModeWritesMembersAndSkipsFolders) {
    vt::scratch_dir dir;
    slots s;
    int count = 0;
    std::string big(100000, 'x');
    for (size_t i = 0; i < big.size(); i += 7) big[i] = static_cast<char>('a' + i % 26);
    ASSERT_EQ(unzip_memory(dir,
                           {{"zt_basic/", ""},
                            {"zt_basic/word/document.xml", "<w:document/>"},
                            {"zt_basic/stored.bin", std::string("a\0b\r\n", 5), false},
                            {"zt_basic/big.xml", big},
                            {"zt_basic/empty.xml", ""},
                            // Stored: the package is larger than its read buffer.
                            {"zt_basic/big_stored.bin", big + big + big, false}},
                           s, &count),
              0);
    EXPECT_EQ(s.names(count), (std::vector<std::string>{"zt_basic/word/document.xml", "zt_basic/stored.bin",
                                                        "zt_basic/big.xml", "zt_basic/empty.xml",
                                                        "zt_basic/big_stored.bin"}));
    EXPECT_EQ(mem_content("zt_basic/word/document.xml"), "<w:document/>");
    EXPECT_EQ(mem_content("zt_basic/stored.bin"), std::string("a\0b\r\n", 5));
    EXPECT_EQ(mem_content("zt_basic/big.xml"), big);
    EXPECT_EQ(mem_content("zt_basic/empty.xml"), "");
    EXPECT_EQ(mem_content("zt_basic/big_stored.bin"), big + big + big);
    EXPECT_FALSE(mem_exists("zt_basic/"));
}

TEST(Unzip, MemberCountLimit) {
    vt::scratch_dir dir;
    std::vector<vt::zip_member> members;
    for (int i = 0; i < 999; ++i) members.push_back({"zt_999/m" + std::to_string(i), std::to_string(i), false});
    {
        slots s;
        int count = 0;
        ASSERT_EQ(unzip_memory(dir, members, s, &count), 0);
        EXPECT_EQ(count, 999);
        EXPECT_STREQ(s.table[998], "zt_999/m998");
        EXPECT_EQ(mem_content("zt_999/m998"), "998");
    }
    for (auto& m : members) m.name.replace(0, 6, "zt_1k");
    members.push_back({"zt_1k/m999", "999", false});
    {
        slots s;
        int count = 0;
        EXPECT_EQ(unzip_memory(dir, members, s, &count), -9);
        EXPECT_EQ(count, 0);
        EXPECT_FALSE(mem_exists("zt_1k/m0"));  // refused before anything is written
    }
    // Folder members count too.
    std::vector<vt::zip_member> with_folder(members.begin(), members.begin() + 998);
    for (auto& m : with_folder) m.name.replace(0, 5, "zt_fd");
    with_folder.push_back({"zt_fd/", ""});
    with_folder.push_back({"zt_fd/sub/", ""});
    slots s;
    int count = 0;
    EXPECT_EQ(unzip_memory(dir, with_folder, s, &count), -9);
}

TEST(Unzip, LongNames) {
    vt::scratch_dir dir;
    std::string n256 = "zt_long/" + std::string(256 - 8, 'n');
    std::string n257 = n256 + "x";
    slots s;
    int count = 0;
    ASSERT_EQ(unzip_memory(dir, {{n256, "ok"}}, s, &count), 0);
    EXPECT_EQ(count, 1);
    EXPECT_EQ(std::string(s.table[0]), n256);
    EXPECT_EQ(mem_content(n256), "ok");
    // Found while the directory is read, before anything is written.
    EXPECT_EQ(unzip_memory(dir, {{"zt_long/a", "a"}, {n257, "too long"}}, s, &count), -9);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(mem_content("zt_long/a"), "<missing>");
    EXPECT_EQ(unzip_memory(dir, {{n257 + std::string(1000, 'y'), "far too long"}}, s, &count), -9);
}

TEST(Unzip, EncryptedMemberCannotBeOpened) {
    vt::scratch_dir dir;
    slots s;
    int count = 0;
    vt::zip_member enc{"zt_enc/secret.xml", "secret"};
    enc.flags = 1;
    EXPECT_EQ(unzip_memory(dir, {{"zt_enc/plain.xml", "plain"}, enc}, s, &count), -1);
    EXPECT_EQ(count, 1);  // the member before stays
    EXPECT_EQ(mem_content("zt_enc/plain.xml"), "plain");
    EXPECT_FALSE(mem_exists("zt_enc/secret.xml"));
}

TEST(Unzip, DamagedCrcGivesTheZipCode) {
    vt::scratch_dir dir;
    for (bool deflate : {true, false}) {
        slots s;
        int count = 0;
        vt::zip_member bad{"zt_crc/bad.xml", "content whose CRC is wrong", deflate};
        bad.bad_crc = true;
        EXPECT_EQ(unzip_memory(dir, {bad, {"zt_crc/after.xml", "after"}}, s, &count), UNZ_CRCERROR);
    }
}

TEST(Unzip, SamePackageTwiceKeepsOneFilePerName) {
    vt::scratch_dir dir;
    slots s;
    int count = 0;
    ASSERT_EQ(unzip_memory(dir, {{"zt_twice/a.xml", "first a"}, {"zt_twice/b.xml", "first b"}}, s, &count), 0);
    int files = mcount();
    ASSERT_EQ(unzip_memory(dir, {{"zt_twice/a.xml", "second"}, {"zt_twice/b.xml", ""}}, s, &count), 0);
    EXPECT_EQ(mcount(), files);
    EXPECT_EQ(mem_content("zt_twice/a.xml"), "second");
    EXPECT_EQ(mem_content("zt_twice/b.xml"), "");
}

TEST(Unzip, RefusesBadArgumentsAndBrokenPackages) {
    vt::scratch_dir dir;
    slots s;
    int count = 0;
    std::string pkg = dir / "p.zip";
    ASSERT_TRUE(vt::write_file(pkg, vt::make_zip({{"zt_args/a", "a"}})));
    EXPECT_EQ(orb_unzip_package(ORB_UNZIP_MEMORY, pkg.c_str(), "", &count, s.table), -3);  // capacity 0
    count = s.capacity;
    EXPECT_EQ(orb_unzip_package(ORB_UNZIP_DISK, pkg.c_str(), "", &count, s.table), -3);
    count = s.capacity;
    EXPECT_EQ(orb_unzip_package(ORB_UNZIP_MEMORY, (dir / "missing.zip").c_str(), "", &count, s.table), -101);
    count = s.capacity;
    EXPECT_EQ(orb_unzip_package(ORB_UNZIP_MEMORY, dir.path().c_str(), "", &count, s.table), -101);

    std::string zip = vt::make_zip({{"zt_args/a", std::string(5000, 'a')}});
    const std::string broken[] = {"", "PK\x03\x04", zip.substr(0, zip.size() / 2), std::string(100, '\0'),
                                  "not a zip at all, just text"};
    for (const std::string& b : broken) {
        ASSERT_TRUE(vt::write_file(pkg, b));
        count = s.capacity;
        EXPECT_EQ(orb_unzip_package(ORB_UNZIP_MEMORY, pkg.c_str(), "", &count, s.table), -101);
    }
    // Every truncation of a package either opens or is refused, never crashes.
    for (size_t n = 0; n < zip.size(); n += 13) {
        ASSERT_TRUE(vt::write_file(pkg, zip.substr(0, n) + std::string(zip.size() - n, 'Z')));
        count = s.capacity;
        EXPECT_NE(orb_unzip_package(ORB_UNZIP_MEMORY, pkg.c_str(), "", &count, s.table), 0) << n;
    }
}

TEST(Unzip, PackageAsMemoryFile) {
    std::string zip = vt::make_zip({{"zt_inmem/doc.xml", "from memory"}});
    Mfile* f = mopen("zt_inmem.zip", "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(mwrite(zip.data(), zip.size(), 1, f), 1u);
    mclose(f);
    slots s;
    int count = s.capacity;
    orb_zip_on_memory(0);
    int rc = orb_unzip_package(ORB_UNZIP_MEMORY, "zt_inmem.zip", "", &count, s.table);
    int rc_missing = orb_unzip_package(ORB_UNZIP_MEMORY, "zt_no_such.zip", "", &count, s.table);
    orb_zip_on_memory(1);
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(rc_missing, -101);
    EXPECT_EQ(mem_content("zt_inmem/doc.xml"), "from memory");
}

TEST(Unzip, DiskModeWritesBelowTheDestination) {
    vt::scratch_dir dir;
    std::string pkg = dir / "book.zip";
    vt::zip_member sheet{"xl/worksheets/sheet1.xml", "<sheet/>"};
    sheet.dos_date = (2020 - 1980) << 9 | 3 << 5 | 15;  // 2020-03-15
    sheet.dos_time = 10 << 11 | 30 << 5;                 // 10:30:00
    ASSERT_TRUE(vt::write_file(pkg, vt::make_zip({{"[Content_Types].xml", "<Types/>"},
                                                  {"docProps/", ""},
                                                  sheet,
                                                  {"xl\\styles.xml", "<styles/>"}})));
    std::string dest = dir / "out";
    ASSERT_EQ(plat_make_dir(dest.c_str()), 0);
    ASSERT_TRUE(vt::write_file(vt::join(dest, "stale"), "old"));
    slots s;
    int count = s.capacity;
    ASSERT_EQ(orb_unzip_package(ORB_UNZIP_DISK, pkg.c_str(), dest.c_str(), &count, s.table), 0);
    EXPECT_EQ(s.names(count),
              (std::vector<std::string>{"[Content_Types].xml", "xl/worksheets/sheet1.xml", "xl\\styles.xml"}));
    EXPECT_FALSE(vt::exists(vt::join(dest, "stale")));
    EXPECT_EQ(vt::read_file(vt::join(dest, "[Content_Types].xml")), "<Types/>");
    std::string sheet_path = vt::join(vt::join(vt::join(dest, "xl"), "worksheets"), "sheet1.xml");
    EXPECT_EQ(vt::read_file(sheet_path), "<sheet/>");
    EXPECT_EQ(vt::read_file(vt::join(vt::join(dest, "xl"), "styles.xml")), "<styles/>");
    EXPECT_EQ(plat_path_kind(vt::join(dest, "docProps").c_str()), PLAT_DIR);

    std::tm tm{};
    tm.tm_year = 120;
    tm.tm_mon = 2;
    tm.tm_mday = 15;
    tm.tm_hour = 10;
    tm.tm_min = 30;
    tm.tm_isdst = -1;
    std::time_t want = std::mktime(&tm);
    EXPECT_EQ(vt_file_mtime(sheet_path), static_cast<long long>(want));
}

TEST(Unzip, DiskModeRefusesNamesOutsideTheDestination) {
    vt::scratch_dir dir;
    const char* evil[] = {"../evil.txt", "/abs/evil.txt", "\\evil.txt", "C:/evil.txt", "c:evil.txt",
                          "a/../../evil.txt", "a\\..\\..\\evil.txt", "..", "ok/.."};
    std::string dest = dir / "sub" ;
    ASSERT_EQ(plat_make_dir(dest.c_str()), 0);
    dest = vt::join(dest, "out");
    for (const char* name : evil) {
        std::string pkg = dir / "evil.zip";
        ASSERT_TRUE(vt::write_file(pkg, vt::make_zip({{"first.txt", "first"}, {name, "evil"}})));
        ASSERT_EQ(plat_make_dir(dest.c_str()), 0);
        ASSERT_TRUE(vt::write_file(vt::join(dest, "keep"), "keep"));
        slots s;
        int count = s.capacity;
        EXPECT_EQ(orb_unzip_package(ORB_UNZIP_DISK, pkg.c_str(), dest.c_str(), &count, s.table), -9) << name;
        EXPECT_EQ(count, 0);
        // Nothing was written or removed.
        EXPECT_EQ(vt::read_file(vt::join(dest, "keep")), "keep") << name;
        EXPECT_FALSE(vt::exists(vt::join(dest, "first.txt"))) << name;
        EXPECT_FALSE(vt::exists(dir / "evil.txt")) << name;
        EXPECT_FALSE(vt::exists(vt::join(dir / "sub", "evil.txt"))) << name;
        plat_remove_tree(dest.c_str());
    }
    // Names that merely contain dots are fine.
    std::string pkg = dir / "dots.zip";
    ASSERT_TRUE(vt::write_file(pkg, vt::make_zip({{"a..b/..c", "x"}, {"x...y", "y"}})));
    slots s;
    int count = s.capacity;
    EXPECT_EQ(orb_unzip_package(ORB_UNZIP_DISK, pkg.c_str(), dest.c_str(), &count, s.table), 0);
    EXPECT_EQ(vt::read_file(vt::join(vt::join(dest, "a..b"), "..c")), "x");
}

}  // namespace
