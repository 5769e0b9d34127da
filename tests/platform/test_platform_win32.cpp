// What only the Windows platform layer does: UTF-8 paths through the wide
// calls and the ANSI code page beside them, junctions and links inside a
// tree being removed, read-only files, names the code page cannot spell, the
// command line of a started program and where the program is looked for,
// the run folder's security, and documents no one writes while they are
// read.
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <winioctl.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform.h"
#include "test_support.h"

namespace {

// When VERGLE_ARGV_ECHO names a file, this program only writes the
// arguments it was given (as UTF-8, split from the wide command line as the
// C runtime splits it) into that file, one per line, and exits with 7: the
// child of the command-line tests.
struct argv_echo {
    argv_echo() {
        std::string out;
        if (!plat_getenv("VERGLE_ARGV_ECHO", out)) return;
        std::vector<std::string> args;
        plat_utf8_args(__argc, __argv, args);
        std::string text;
        for (size_t i = 1; i < args.size(); ++i) text += args[i] + "\n";
        vt::write_file(out, text);
        ExitProcess(7);
    }
} echo_when_asked;

std::u16string wide(const std::string& utf8) {
    std::u16string w;
    EXPECT_TRUE(plat_utf8_to_utf16(utf8.data(), utf8.size(), w));
    return w;
}

const wchar_t* wc(const std::u16string& s) { return reinterpret_cast<const wchar_t*>(s.c_str()); }

// A junction (mount-point reparse point) at link, pointing at the absolute
// folder target.  False when the file system or Wine cannot make one.
bool make_junction(const std::string& link, const std::string& target) {
    if (!CreateDirectoryA(link.c_str(), nullptr)) return false;
    std::u16string print = wide(target);
    std::u16string subst = u"\\??\\" + print;
    HANDLE h = CreateFileA(link.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                           FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        RemoveDirectoryA(link.c_str());
        return false;
    }
    // REPARSE_DATA_BUFFER with its MountPointReparseBuffer.
    const size_t subst_bytes = subst.size() * 2, print_bytes = print.size() * 2;
    const size_t path_bytes = subst_bytes + 2 + print_bytes + 2;
    std::vector<BYTE> buf(8 + 8 + path_bytes, 0);
    auto put16 = [&](size_t at, size_t v) {
        buf[at] = static_cast<BYTE>(v);
        buf[at + 1] = static_cast<BYTE>(v >> 8);
    };
    DWORD tag = IO_REPARSE_TAG_MOUNT_POINT;
    memcpy(&buf[0], &tag, 4);
    put16(4, 8 + path_bytes);       // ReparseDataLength
    put16(8, 0);                    // SubstituteNameOffset
    put16(10, subst_bytes);         // SubstituteNameLength
    put16(12, subst_bytes + 2);     // PrintNameOffset
    put16(14, print_bytes);         // PrintNameLength
    memcpy(&buf[16], subst.data(), subst_bytes);
    memcpy(&buf[16 + subst_bytes + 2], print.data(), print_bytes);
    DWORD got = 0;
    BOOL ok = DeviceIoControl(h, FSCTL_SET_REPARSE_POINT, buf.data(), static_cast<DWORD>(buf.size()), nullptr, 0,
                              &got, nullptr);
    CloseHandle(h);
    if (!ok || !(GetFileAttributesA(link.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT)) {
        RemoveDirectoryA(link.c_str());
        return false;
    }
    return true;
}

// Under Wine, which cannot make junctions, a POSIX symbolic link made by
// /bin/sh (Wine starts POSIX programs too) is what Windows programs see as
// a link to a folder.  Runs "sh -c" with the command made of the unix forms
// of the two paths; true when the test on path passes within 5 s (Wine does
// not wait for a POSIX program).
template <typename Done>
bool posix_shell(const char* verb, const std::string& a, const std::string& b, const std::string& path, Done done) {
    using unix_name_fn = char*(CDECL*)(const wchar_t*);
    auto unix_name = reinterpret_cast<unix_name_fn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name")));
    if (!unix_name) return false;
    std::u16string wa = wide(a), wb = wide(b);
    char* ua = unix_name(wc(wa));
    char* ub = b.empty() ? nullptr : unix_name(wc(wb));
    bool ok = false;
    if (ua && (ub || b.empty())) {
        std::string cmd = std::string(verb) + " '" + ua + "'" + (ub ? std::string(" '") + ub + "'" : "");
        if (plat_run_and_wait("Z:\\bin\\sh", "-c", cmd.c_str(), nullptr) == 0) {
            for (int i = 0; i < 200 && !done(path); ++i) Sleep(25);
            ok = done(path);
        }
    }
    HeapFree(GetProcessHeap(), 0, ua);
    HeapFree(GetProcessHeap(), 0, ub);
    return ok;
}

bool is_reparse_point(const std::string& p) {
    DWORD attr = GetFileAttributesA(p.c_str());
    return attr != INVALID_FILE_ATTRIBUTES && (attr & FILE_ATTRIBUTE_REPARSE_POINT);
}

enum class link_made { none, junction, posix };

// A link to a folder: a junction, or where that is impossible (Wine), a
// POSIX symbolic link.
link_made make_folder_link(const std::string& link, const std::string& target) {
    if (make_junction(link, target)) return link_made::junction;
    if (posix_shell("ln -sn", target, link, link, is_reparse_point)) return link_made::posix;
    return link_made::none;
}

// Wine cannot remove a POSIX link through the Windows calls (it reaches the
// folder behind it): the test removes it itself.
void remove_posix_link(const std::string& link) {
    posix_shell("rm -f", link, "", link, [](const std::string& p) { return plat_path_kind(p.c_str()) == PLAT_NONE; });
}

std::string full_path(const std::string& p) {
    char buf[MAX_PATH];
    DWORD n = GetFullPathNameA(p.c_str(), sizeof buf, buf, nullptr);
    return n > 0 && n < sizeof buf ? std::string(buf, n) : p;
}

TEST(PlatformWin32, PathsAreUtf8BesideTheAnsiCodePage) {
    // The tests run with the Japanese ANSI code page, as the target systems.
    EXPECT_EQ(GetACP(), 932u);
    // Paths and texts are UTF-8 inside, as on POSIX.
    EXPECT_EQ(plat_path_charset(), 3);
    EXPECT_EQ(plat_native_from_utf8("全シート"), "全シート");
    // The settings file keeps code page 932: "全シート" and a character
    // the code page lacks.
    std::string ansi;
    EXPECT_TRUE(plat_ansi_from_utf8("全シート", ansi));
    EXPECT_EQ(ansi, "\x91\x53\x83\x56\x81\x5B\x83\x67");
    EXPECT_EQ(plat_utf8_from_ansi(ansi), "全シート");
    EXPECT_FALSE(plat_ansi_from_utf8("汇总", ansi));
    EXPECT_FALSE(plat_ansi_from_utf8("Météo", ansi)) << "a best-fit look-alike is no exact place";
    EXPECT_EQ(ansi, "Meteo");
}

TEST(PlatformWin32, InvalidCp932BytesDecodeToMiddleDot) {
    std::u16string w;
    // 0x82 0x20: a lead byte whose trail byte is not one.
    ASSERT_TRUE(plat_cp932_to_utf16("\x82\x20z", 3, w));
    ASSERT_FALSE(w.empty());
    EXPECT_EQ(w[0], 0x30FB);
    EXPECT_EQ(w.back(), u'z');
}

TEST(PlatformWin32, PathConventions) {
    struct row {
        const char* path;
        bool absolute;
    } rows[] = {
        {"C:\\x", true}, {"c:", true},     {"\\\\server\\share", true}, {"\\x", true},
        {"/x", true},    {"x\\y", false},  {"", false},                 {"1:\\x", false},
    };
    for (const row& r : rows) EXPECT_EQ(plat_is_absolute(r.path), r.absolute) << r.path;
    EXPECT_FALSE(plat_is_absolute(nullptr));
    EXPECT_EQ(plat_separator(), '\\');
    EXPECT_TRUE(plat_is_separator('\\'));
    EXPECT_TRUE(plat_is_separator('/'));
    EXPECT_FALSE(plat_is_separator(':'));
    EXPECT_EQ(plat_default_temp_folder(), "C:\\Temp");
    EXPECT_STREQ(plat_default_diff_program(), "WinMergeU.exe");
}

TEST(PlatformWin32, NamesReachTheDiskAsTheirCharacters) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    // 表 ends in 0x5C in code page 932; the others are not in it at all.
    for (const char* name : {"表ページ001.txt", "𠮷野家.xlsx", "汇总", "Café é", "한국어", "\xF0\x9F\x98\x80"}) {
        std::string p = dir / name;
        ASSERT_TRUE(vt::write_file(p, "x")) << name;
        std::vector<plat_dirent> entries;
        ASSERT_EQ(plat_list_dir(dir.path().c_str(), entries), 0);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].name, name);
        // The name on disk is the Unicode name, not mojibake.
        EXPECT_NE(GetFileAttributesW(wc(wide(p))), INVALID_FILE_ATTRIBUTES) << name;
        EXPECT_EQ(plat_remove_file(p.c_str()), 0);
        EXPECT_EQ(plat_path_kind(p.c_str()), PLAT_NONE);
    }
}

TEST(PlatformWin32, RemoveTreeLeavesLinkTargetsAlone) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string outside = full_path(dir / "outside");
    ASSERT_EQ(plat_make_dir(outside.c_str()), 0);
    ASSERT_TRUE(vt::write_file(vt::join(outside, "keep.txt"), "keep"));

    std::string tree = dir / "tree";
    ASSERT_EQ(plat_make_dir(tree.c_str()), 0);
    ASSERT_EQ(plat_make_dir(vt::join(tree, "sub").c_str()), 0);
    std::string link = vt::join(vt::join(tree, "sub"), "to-outside");
    link_made made = make_folder_link(link, outside);
    if (made == link_made::none) GTEST_SKIP() << "links to folders cannot be made here";

    EXPECT_EQ(plat_path_kind(link.c_str()), PLAT_LINK);
    std::vector<plat_dirent> entries;
    ASSERT_EQ(plat_list_dir(vt::join(tree, "sub").c_str(), entries), 0);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].kind, PLAT_LINK) << "a link is never listed as a folder";

    int rc = plat_remove_tree(tree.c_str());
    EXPECT_EQ(vt::read_file(vt::join(outside, "keep.txt")), "keep") << "the link's target was entered";
    if (made == link_made::posix) {
        remove_posix_link(link);
        rc = plat_remove_tree(tree.c_str());
    }
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(plat_path_kind(tree.c_str()), PLAT_NONE);
}

TEST(PlatformWin32, RemoveTreeGivenALinkRemovesOnlyIt) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string outside = full_path(dir / "outside");
    ASSERT_EQ(plat_make_dir(outside.c_str()), 0);
    ASSERT_TRUE(vt::write_file(vt::join(outside, "keep.txt"), "keep"));
    std::string link = dir / "link";
    link_made made = make_folder_link(link, outside);
    if (made == link_made::none) GTEST_SKIP() << "links to folders cannot be made here";

    int rc = plat_remove_tree(link.c_str());
    EXPECT_EQ(vt::read_file(vt::join(outside, "keep.txt")), "keep");
    if (made == link_made::posix) {
        remove_posix_link(link);
        GTEST_SKIP() << "Wine removes no POSIX link through the Windows calls; the target was left alone";
    }
    EXPECT_EQ(rc, 0);
    EXPECT_EQ(plat_path_kind(link.c_str()), PLAT_NONE);

    // The same through the single-entry functions.
    ASSERT_EQ(make_folder_link(link, outside), link_made::junction);
    EXPECT_EQ(plat_remove_file(link.c_str()), 0) << "a link is removed as a file would be";
    EXPECT_EQ(plat_path_kind(link.c_str()), PLAT_NONE);
    ASSERT_EQ(make_folder_link(link, outside), link_made::junction);
    EXPECT_EQ(plat_remove_dir(link.c_str()), 0);
    EXPECT_EQ(vt::read_file(vt::join(outside, "keep.txt")), "keep");
}

TEST(PlatformWin32, RemoveTreeTakesReadOnlyAndUnspellableNames) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string tree = dir / "tree";
    ASSERT_EQ(plat_make_dir(tree.c_str()), 0);
    std::string ro = vt::join(tree, "read-only.txt");
    ASSERT_TRUE(vt::write_file(ro, "x"));
    ASSERT_TRUE(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    // "한글.txt": Hangul has no place in code page 932.
    std::u16string korean = wide(tree) + u"\\\uD55C\uAE00.txt";
    HANDLE h = CreateFileW(wc(korean), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);

    EXPECT_EQ(plat_remove_tree(tree.c_str()), 0);
    EXPECT_EQ(plat_path_kind(tree.c_str()), PLAT_NONE);
}

TEST(PlatformWin32, RemoveFileClearsReadOnlyButNotFolders) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string ro = dir / "ro.txt";
    ASSERT_TRUE(vt::write_file(ro, "x"));
    ASSERT_TRUE(SetFileAttributesA(ro.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(plat_remove_file(ro.c_str()), 0);
    EXPECT_EQ(plat_path_kind(ro.c_str()), PLAT_NONE);
    std::string sub = dir / "sub";
    ASSERT_EQ(plat_make_dir(sub.c_str()), 0);
    EXPECT_EQ(plat_remove_file(sub.c_str()), -1) << "a real folder is not a file";
    EXPECT_EQ(plat_path_kind(sub.c_str()), PLAT_DIR);
    int64_t size = 0;
    EXPECT_EQ(plat_file_size(sub.c_str(), &size), -1) << "a folder has no file size";
}

TEST(PlatformWin32, EmptyVariableIsSet) {
    std::string v = "old";
    plat_setenv("VERGLE_TEST_EMPTY", "");
    EXPECT_TRUE(plat_getenv("VERGLE_TEST_EMPTY", v));
    EXPECT_EQ(v, "");
    plat_setenv("VERGLE_TEST_EMPTY", nullptr);
    EXPECT_FALSE(plat_getenv("VERGLE_TEST_EMPTY", v));
    // Values longer than a first guess of the buffer.
    std::string big(5000, 'v');
    plat_setenv("VERGLE_TEST_BIG", big.c_str());
    EXPECT_TRUE(plat_getenv("VERGLE_TEST_BIG", v));
    EXPECT_EQ(v, big);
    EXPECT_STREQ(std::getenv("VERGLE_TEST_BIG"), big.c_str()) << "the C runtime's copy follows";
    plat_setenv("VERGLE_TEST_BIG", nullptr);
    EXPECT_EQ(std::getenv("VERGLE_TEST_BIG"), nullptr);
}

// The arguments a started program splits from its command line are the
// ones given, character for character: a folder whose name ends in 表, ソ
// or 能 (second byte 0x5C in code page 932), a trailing separator, quotes,
// blanks, characters code page 932 lacks, and what cmd.exe would expand.
TEST(PlatformWin32, StartedProgramGetsItsArgumentsByCharacters) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string exe;
    ASSERT_EQ(plat_module_path(exe), 0);
    std::string out = dir / "argv.txt";
    struct row {
        std::string a1, a2;
    } rows[] = {
        {"C:\\Temp\\Vergle-x\\売上表", "C:\\Temp\\Vergle-x\\売上表_改"},
        {"C:\\ソ", "C:\\能"},
        {"C:\\some folder\\", "C:\\two\\\\"},
        {"say \"hi\"", "back\\\"slash"},
        {"", "x"},
        {"𠮷野家 汇总 é 한국어 \xF0\x9F\x98\x80", "%PATH% a&b|c^d <e>"},
    };
    for (const row& r : rows) {
        plat_setenv("VERGLE_ARGV_ECHO", out.c_str());
        int code = -1;
        int rc = plat_run_and_wait(exe.c_str(), r.a1.c_str(), r.a2.c_str(), &code);
        plat_setenv("VERGLE_ARGV_ECHO", nullptr);
        ASSERT_EQ(rc, 0);
        EXPECT_EQ(code, 7);
        EXPECT_EQ(vt::read_file(out), r.a1 + "\n" + r.a2 + "\n");
    }
}

// A bare program name is looked for in the folders of PATH only, not in the
// current folder; a name with a folder part is taken where it points.
TEST(PlatformWin32, ProgramIsSearchedOnPathNotInTheCurrentFolder) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string exe;
    ASSERT_EQ(plat_module_path(exe), 0);
    std::string folder = dir / "道具 𠮷";
    ASSERT_EQ(plat_make_dir(folder.c_str()), 0);
    std::string probe = vt::join(folder, "vergle-probe.exe");
    ASSERT_TRUE(vt::write_file(probe, vt::read_file(exe)));
    std::string out = dir / "argv.txt";
    std::string saved_cwd, saved_path;
    ASSERT_EQ(plat_get_cwd(saved_cwd), 0);
    bool had_path = plat_getenv("PATH", saved_path);
    ASSERT_EQ(plat_set_cwd(folder.c_str()), 0);
    plat_setenv("VERGLE_ARGV_ECHO", out.c_str());
    int code = -1;
    EXPECT_EQ(plat_run_and_wait("vergle-probe", "a", "b", &code), -1) << "found in the current folder";
    EXPECT_EQ(plat_run_and_wait("vergle-probe.exe", "a", "b", &code), -1);
    EXPECT_FALSE(vt::exists(out));
    EXPECT_EQ(plat_run_and_wait(".\\vergle-probe.exe", "a", "b", &code), 0) << "named with its folder";
    EXPECT_EQ(code, 7);
    plat_setenv("PATH", ("C:\\nowhere;;\"" + folder + "\";" + saved_path).c_str());
    ASSERT_EQ(plat_set_cwd(saved_cwd.c_str()), 0);
    vt::write_file(out, "");
    EXPECT_EQ(plat_run_and_wait("vergle-probe", "on", "PATH", &code), 0) << ".exe added, found on PATH";
    EXPECT_EQ(vt::read_file(out), "on\nPATH\n");
    plat_setenv("VERGLE_ARGV_ECHO", nullptr);
    plat_setenv("PATH", had_path ? saved_path.c_str() : nullptr);
}

// The run's folder has a security descriptor of its own: the user alone,
// inherited by what is made in it, nothing taken from the folder above;
// and it is always a new folder.
TEST(PlatformWin32, RunFolderIsPrivateAndNew) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string base = dir / "José";
    ASSERT_EQ(plat_make_dir(base.c_str()), 0);
    std::string a, b;
    ASSERT_EQ(plat_make_run_dir(base.c_str(), a), 0);
    ASSERT_EQ(plat_make_run_dir(base.c_str(), b), 0);
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(vt::join(base, "Vergle-"), 0), 0u) << a;
    EXPECT_EQ(plat_path_kind(a.c_str()), PLAT_DIR);

    PSECURITY_DESCRIPTOR sd = nullptr;
    PACL dacl = nullptr;
    PSID owner = nullptr;
    std::u16string w = wide(a);
    ASSERT_EQ(GetNamedSecurityInfoW(wc(w), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION | OWNER_SECURITY_INFORMATION,
                                    &owner, nullptr, &dacl, nullptr, &sd),
              static_cast<DWORD>(ERROR_SUCCESS));
    SECURITY_DESCRIPTOR_CONTROL control = 0;
    DWORD revision = 0;
    GetSecurityDescriptorControl(sd, &control, &revision);
    HANDLE token = nullptr;
    ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
    std::vector<unsigned char> user(256);
    DWORD need = 0;
    ASSERT_TRUE(GetTokenInformation(token, TokenUser, user.data(), static_cast<DWORD>(user.size()), &need));
    CloseHandle(token);
    PSID me = reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid;
    if (!dacl || !(control & SE_DACL_PROTECTED)) {
        // Wine keeps no security descriptor of a folder of its own: it makes
        // the folder's POSIX permissions from the one given, which must
        // leave the user alone.
        LocalFree(sd);
        std::string mode_file = dir / "mode.txt";
        bool ran = posix_shell("sh -c 'stat -c %a \"$0\" > \"$1\"'", a, mode_file, mode_file,
                               [](const std::string& p) { return !vt::read_file(p).empty(); });
        if (!ran) GTEST_SKIP() << "neither a security descriptor nor POSIX permissions to be read here";
        // Others have no access (a folder made without the descriptor has
        // 755 here); Wine gives the group what it gives the user but
        // writing.
        std::string mode = vt::read_file(mode_file);
        ASSERT_EQ(mode.size(), 4u) << mode;
        EXPECT_EQ(mode[0], '7') << mode;
        EXPECT_EQ(mode[2], '0') << "the run's folder is open to others: " << mode;
        std::string plain = dir / "plain";
        ASSERT_EQ(plat_make_dir(plain.c_str()), 0);
        ASSERT_TRUE(posix_shell("sh -c 'stat -c %a \"$0\" > \"$1\"'", plain, mode_file, mode_file,
                                [&](const std::string& p) { return vt::read_file(p) != mode; }));
        EXPECT_NE(vt::read_file(mode_file)[2], '0') << "a plain folder is open to others here: the check tells";
        plat_remove_tree(a.c_str());
        plat_remove_tree(b.c_str());
        return;
    }
    EXPECT_TRUE(EqualSid(owner, me));
    ASSERT_EQ(dacl->AceCount, 1) << "the user alone";
    ACCESS_ALLOWED_ACE* ace = nullptr;
    ASSERT_TRUE(GetAce(dacl, 0, reinterpret_cast<void**>(&ace)));
    EXPECT_EQ(ace->Header.AceType, ACCESS_ALLOWED_ACE_TYPE);
    EXPECT_EQ(ace->Header.AceFlags & (OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE),
              OBJECT_INHERIT_ACE | CONTAINER_INHERIT_ACE);
    EXPECT_EQ(ace->Mask & FILE_ALL_ACCESS, static_cast<DWORD>(FILE_ALL_ACCESS));
    EXPECT_TRUE(EqualSid(reinterpret_cast<PSID>(&ace->SidStart), me));
    LocalFree(sd);
    plat_remove_tree(a.c_str());
    plat_remove_tree(b.c_str());
}

// A document being read cannot be written by another program (no write
// sharing), for as long as its mapping lives; one that another program
// already holds open for writing is still read.
TEST(PlatformWin32, DocumentsAreReadWithoutWriteSharing) {
    vt::scratch_dir dir;
    ASSERT_FALSE(dir.path().empty());
    std::string doc = dir / "売上表 汇总.xlsx";
    ASSERT_TRUE(vt::write_file(doc, std::string(100000, 'd')));
    std::u16string w = wide(doc);
    auto writer = [&] {
        return CreateFileW(wc(w), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    };
    int status = 0;
    plat_mapping* m = plat_map_file(doc.c_str(), &status);
    ASSERT_NE(m, nullptr);
    HANDLE h = writer();
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "written while mapped";
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    plat_unmap_file(m);
    plat_file* f = plat_open(doc.c_str(), PLAT_READ);
    ASSERT_NE(f, nullptr);
    h = writer();
    EXPECT_EQ(h, INVALID_HANDLE_VALUE) << "written while open for reading";
    if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    plat_close(f);
    h = writer();
    ASSERT_NE(h, INVALID_HANDLE_VALUE) << "free again once read";
    // Held open for writing by another program (with read sharing): read
    // all the same, into a copy of its own.
    m = plat_map_file(doc.c_str(), &status);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(plat_mapped_data(m)), plat_mapped_size(m)),
              std::string(100000, 'd'));
    plat_unmap_file(m);
    f = plat_open(doc.c_str(), PLAT_READ);
    EXPECT_NE(f, nullptr);
    plat_close(f);
    CloseHandle(h);
}

}  // namespace
