// The comparison run, with dumps of the test's own and a folder-compare
// program that records what it was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "comparison.h"
#include "mfile.h"
#include "orb_file.h"
#include "platform.h"
#include "test_support.h"

namespace {

const std::string ZIP_HEAD("PK\x03\x04\x14\x00\x06\x00\x08\x00\x00\x00\x21\x00\x00\x00", 16);

// The test dumps write one file "text" holding the document's bytes; a
// document whose content starts with "FAIL" makes the dump fail after it
// has written a file.
int fake_dump(const dump_request& req) {
    if (plat_make_dir(req.output_folder) < 0) return -1;
    std::string content = vt::read_file(req.path);
    vt::write_file(vt::join(req.output_folder, "text"), content);
    return content.find("FAIL", 16) != std::string::npos ? -1 : 0;
}


struct RunTest : ::testing::Test {
    vt::scratch_dir temp;   // the run's TEMP
    vt::scratch_dir docs;   // where the documents lie
    vt::recording_ui ui;
    run_settings s;
    dump_table dumps;
    std::string record;
    std::string saved_temp;
    bool had_temp = false;

    void SetUp() override {
        had_temp = plat_getenv("TEMP", saved_temp);
        plat_setenv("TEMP", temp.path().c_str());
        record = docs / "record.txt";
        plat_setenv("VERGLE_RECORD", record.c_str());
        std::string prog = vt::beside_tests("record_compare");
        ASSERT_LT(prog.size(), sizeof s.diff_program);
        std::strcpy(s.diff_program, prog.c_str());
        dumps.workbook = dumps.word = dumps.powerpoint = fake_dump;
    }
    void TearDown() override { plat_setenv("TEMP", had_temp ? saved_temp.c_str() : nullptr); }

    std::string doc(const std::string& rel, const std::string& body = "body") {
        std::string p = docs / rel;
        EXPECT_TRUE(vt::write_file(p, ZIP_HEAD + body));
        return p;
    }
    int run(const std::string& a, const std::string& b) {
        const char* argv[3] = {"Vergle", a.c_str(), b.c_str()};
        return run_comparison(3, argv, s, dumps, ui);
    }
    std::vector<std::string> temp_entries() {
        std::vector<plat_dirent> e;
        plat_list_dir(temp.path().c_str(), e);
        std::vector<std::string> names;
        for (const plat_dirent& d : e) names.push_back(d.name);
        return names;
    }
    std::string last_error() { return ui.errors.empty() ? "" : ui.errors.back().text; }
    // The run's own folder, as the folder-compare program saw it: the
    // parent of the first folder it was given.
    std::string run_dir() {
        std::string rec = vt::read_file(record);
        size_t at = rec.find("arg=");
        if (at == std::string::npos) return "";
        std::string first = rec.substr(at + 4, rec.find('\n', at) - at - 4);
        size_t cut = first.size();
        while (cut > 0 && !plat_is_separator(first[cut - 1])) --cut;
        return first.substr(0, cut > 0 ? cut - 1 : 0);
    }
};

TEST(NameStem, Table) {
    const std::string sep(1, plat_separator());
    struct row {
        std::string path, stem;
    } rows[] = {
        {"budget.xlsx", "budget"},
        {"dir" + sep + "budget_old.xlsx", "budget_old"},
        {"dir" + sep + "a.b.c.docx", "a.b.c"},
        {"dir.d" + sep + "noext", "noext"},
        {"dir" + sep + ".xlsx", ""},
        {"dir" + sep + "..xlsx", "."},
        {"dir" + sep + "Plan.xlsx", "Plan"},
    };
    for (const row& r : rows) {
        char out[RUN_PATH_MAX];
        name_stem(r.path.c_str(), out);
        EXPECT_EQ(std::string(out), r.stem) << r.path;
    }
    // Paths are UTF-8 on every system: no byte of a character is taken for
    // a separator or a dot (ソ, 表 and 能 end in 0x5C in code page 932).
    EXPECT_EQ(plat_path_charset(), 3);
    struct utf8_row {
        std::string path, stem;
    } utf8_rows[] = {
        {"見積.xlsx", "見積"},
        {"dir" + sep + "ソフト.xlsx", "ソフト"},
        {"売上表" + sep + "売上表.xlsx", "売上表"},
        {"能" + sep + "機能.docx", "機能"},
        {"𠮷野家.xlsx", "𠮷野家"},
    };
    for (const utf8_row& r : utf8_rows) {
        char out[RUN_PATH_MAX];
        name_stem(r.path.c_str(), out);
        EXPECT_EQ(std::string(out), r.stem) << r.path;
    }
}

TEST_F(RunTest, EqualStemsGetSuffixesAndFoldersAreRemoved) {
    std::string sep(1, plat_separator());
    ASSERT_EQ(plat_make_dir((docs / "old").c_str()), 0);
    ASSERT_EQ(plat_make_dir((docs / "new").c_str()), 0);
    std::string a = doc("old" + sep + "plan.xlsx", "first");
    std::string b = doc("new" + sep + "plan.xlsx", "second");
    EXPECT_EQ(run(a, b), 0);
    EXPECT_TRUE(ui.errors.empty()) << last_error();
    std::string rec = vt::read_file(record);
    // Both folders lie in a folder of the run's own under TEMP.
    std::string base = run_dir();
    std::string name = base.substr(base.size() < temp.path().size() + 1 ? 0 : temp.path().size() + 1);
    EXPECT_EQ(base, temp / name);
    EXPECT_EQ(name.substr(0, 7), "Vergle-") << base;
    std::string f1 = vt::join(base, "plan_1"), f2 = vt::join(base, "plan_2");
    EXPECT_EQ(rec, "argc=3\narg=" + f1 + "\narg=" + f2 + "\nfolder 1:\n  text=" + ZIP_HEAD + "first\nfolder 2:\n  text=" +
                       ZIP_HEAD + "second\n");
    EXPECT_TRUE(temp_entries().empty()) << "both folders are gone";
}

TEST_F(RunTest, DifferentStemsGetNoSuffix) {
    EXPECT_EQ(run(doc("budget.docx"), doc("budget_old.docx")), 0);
    std::string rec = vt::read_file(record);
    EXPECT_NE(rec.find("arg=" + vt::join(run_dir(), "budget") + "\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("arg=" + vt::join(run_dir(), "budget_old") + "\n"), std::string::npos) << rec;
    // Names that differ only in letter case name one folder where the file
    // system ignores case (Windows): they get suffixes there, and not here.
    EXPECT_EQ(run(doc("Plan.pptx"), doc("plan.pptm")), 0);
    rec = vt::read_file(record);
    bool folded = plat_same_file_name("Plan", "plan");
    EXPECT_NE(rec.find("arg=" + vt::join(run_dir(), folded ? "Plan_1" : "Plan") + "\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("arg=" + vt::join(run_dir(), folded ? "plan_2" : "plan") + "\n"), std::string::npos) << rec;
    EXPECT_NE(rec.find("folder 2:\n  text="), std::string::npos) << "the second folder holds its own text";
    EXPECT_TRUE(temp_entries().empty());
}

TEST_F(RunTest, RefusedKindsAndTheirMessages) {
    std::string good = doc("good.xlsx");
    struct row {
        std::string name, bytes, message, reason;
    } rows[] = {
        {"book.xlsb", ZIP_HEAD, "サポート対象外のファイルです(%s)。", ""},
        {"old.doc", std::string("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) + std::string(8, '\0'),
         "サポート対象外のファイルです(%s)。", ""},
        {"tiny.xlsx", "0123456789abcde", "サポート対象外のファイルです(%s)。", "文書としては短すぎます"},
        {"pic.png", "\x89PNG\r\n\x1a\n01234567", "サポート対象外のファイルです(%s)。", ""},
        {"plain.docx", "just some text, not a package", "サポート対象外のファイルです(%s)。", "zipパッケージではありません"},
    };
    for (const row& r : rows) {
        std::string p = docs / r.name;
        ASSERT_TRUE(vt::write_file(p, r.bytes));
        ui.errors.clear();
        EXPECT_EQ(run(p, good), -1) << r.name;
        ASSERT_EQ(ui.errors.size(), 1u) << r.name;
        EXPECT_EQ(ui.errors[0].text, ui_with_reason(ui_format(r.message.c_str(), p), ui_text(r.reason.c_str())))
            << r.name;
        EXPECT_TRUE(ui.errors[0].owned);
        EXPECT_TRUE(temp_entries().empty()) << "nothing written for " << r.name;
    }
    ui.errors.clear();
    std::string missing = docs / "missing.xlsx";
    EXPECT_EQ(run(missing, good), -1);
    EXPECT_EQ(last_error(), ui_with_reason(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", missing),
                                           ui_text("ファイルがありません")));
    EXPECT_FALSE(vt::exists(record)) << "the folder-compare program never ran";
}

TEST_F(RunTest, FamilyWithoutADumpIsUnsupported) {
    dumps.workbook = nullptr;
    std::string a = doc("a.xlsx");
    EXPECT_EQ(run(a, doc("b.xlsx")), -1);
    EXPECT_EQ(last_error(), ui_format("サポート対象外のファイルです(%s)。", a));
}

TEST_F(RunTest, SecondFileRefusedLeavesNothingBehind) {
    std::string a = doc("a.docx");
    std::string b = docs / "b.doc";
    ASSERT_TRUE(vt::write_file(b, "not a document at all"));
    EXPECT_EQ(run(a, b), -1);
    EXPECT_EQ(last_error(), ui_format("サポート対象外のファイルです(%s)。", b));
    EXPECT_TRUE(temp_entries().empty());
}

TEST_F(RunTest, SecondDumpFailingRemovesBothFolders) {
    std::string a = doc("a.docx");
    std::string b = doc("b.docx", "contents that FAIL");
    EXPECT_EQ(run(a, b), -1);
    EXPECT_TRUE(temp_entries().empty());
    EXPECT_FALSE(vt::exists(record));
}

TEST_F(RunTest, QuitRequestBetweenTheDumpsEndsTheRun) {
    ui.quit_after_pumps = true;
    EXPECT_EQ(run(doc("a.docx"), doc("b.docx")), -1);
    EXPECT_EQ(ui.pumps, 1);
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_FALSE(vt::exists(record)) << "the folder-compare program never started";
    EXPECT_TRUE(temp_entries().empty());
}

TEST_F(RunTest, FirstDumpFailingLeavesNothingBehind) {
    EXPECT_EQ(run(doc("a.docx", "FAIL here"), doc("b.docx")), -1);
    EXPECT_TRUE(temp_entries().empty());
}

TEST_F(RunTest, ProgramThatCannotStartIsAFailure) {
    // Missing, a folder, and (on POSIX) a file that is not executable.
    std::vector<std::string> programs = {"vergle-no-such-folder-compare-program", docs.path()};
    std::string plain = docs / "not-a-program";
    ASSERT_TRUE(vt::write_file(plain, "just text"));
    if (plat_separator() == '/') programs.push_back(plain);
    for (const std::string& p : programs) {
        std::strcpy(s.diff_program, p.c_str());
        ui.errors.clear();
        EXPECT_EQ(run(doc("a.xlsx"), doc("b.xlsx")), -1) << p;
        EXPECT_EQ(last_error(), ui_text("フォルダ比較プログラム起動エラー")) << p;
        EXPECT_TRUE(temp_entries().empty()) << p;
    }
    if (plat_separator() != '\\') return;
    // Windows runs a batch file through cmd.exe, which would expand
    // "%...%" in the folders' paths: refused, and nothing of it runs.
    std::string ran = docs / "ran.txt";
    for (const char* name : {"compare.bat", "compare.CMD", "compare.bat. "}) {
        std::string batch = docs / name;
        ASSERT_TRUE(vt::write_file(batch, "@echo ran > \"" + ran + "\"\r\n"));
        std::strcpy(s.diff_program, batch.c_str());
        ui.errors.clear();
        EXPECT_EQ(run(doc("a.xlsx"), doc("b.xlsx")), -1) << name;
        EXPECT_EQ(last_error(), ui_format("バッチファイル(.bat/.cmd)はフォルダ比較プログラムに指定できません。(%s)",
                                          batch))
            << name;
        EXPECT_FALSE(vt::exists(ran)) << name;
        EXPECT_TRUE(temp_entries().empty()) << name;
        plat_remove_file(batch.c_str());
    }
}

// What the run hands to a compare function of the caller's, and what it
// keeps with a keep folder.
int compare_in_process(const char* f1, const char* f2, void* ctx) {
    std::string& seen = *static_cast<std::string*>(ctx);
    seen = vt::read_file(vt::join(f1, "text")) + "|" + vt::read_file(vt::join(f2, "text"));
    return 1;
}

TEST_F(RunTest, CompareFunctionAndKeepFolder) {
    std::string seen;
    run_options opt;
    opt.compare = compare_in_process;
    opt.compare_ctx = &seen;
    std::string a = doc("a.docx", "one"), b = doc("b.docx", "two");
    const char* argv[3] = {"Vergle", a.c_str(), b.c_str()};
    EXPECT_EQ(run_comparison(3, argv, s, dumps, ui, opt), 1) << "the compare result comes back";
    EXPECT_EQ(seen, ZIP_HEAD + "one|" + ZIP_HEAD + "two");
    EXPECT_FALSE(vt::exists(record)) << "no external program";
    EXPECT_TRUE(temp_entries().empty());

    std::string keep = docs / "kept";
    opt.keep_dir = keep.c_str();
    EXPECT_EQ(run_comparison(3, argv, s, dumps, ui, opt), 1);
    EXPECT_EQ(vt::read_file(vt::join(vt::join(keep, "b"), "text")), ZIP_HEAD + "two");
    EXPECT_TRUE(temp_entries().empty()) << "nothing under TEMP with a keep folder";
    // An existing folder is never written into.
    ui.errors.clear();
    EXPECT_EQ(run_comparison(3, argv, s, dumps, ui, opt), -1);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(vt::read_file(vt::join(vt::join(keep, "b"), "text")), ZIP_HEAD + "two") << "and stays as it was";
    // A failed run removes the keep folder it made.
    std::string keep2 = docs / "kept2";
    opt.keep_dir = keep2.c_str();
    std::string bad = doc("c.docx", "a FAIL");
    const char* argv2[3] = {"Vergle", a.c_str(), bad.c_str()};
    EXPECT_EQ(run_comparison(3, argv2, s, dumps, ui, opt), -1);
    EXPECT_FALSE(vt::exists(keep2));
}

TEST_F(RunTest, StemsThatWouldNameTheTemporaryFolderAreRefused) {
    // ".xlsx" has an empty stem and "..xlsx" the stem ".": the output folder
    // would be the temporary folder itself or its parent, which the run
    // removes at its end.
    ASSERT_TRUE(vt::write_file(temp / "precious.txt", "keep"));
    for (const char* name : {".xlsx", "..xlsx"}) {
        std::string p = doc(name);
        ui.errors.clear();
        EXPECT_EQ(run(p, doc("other.xlsx")), -1) << name;
        EXPECT_EQ(last_error(), ui_format("ファイル名から出力フォルダ名を作れません。(%s)", p));
        EXPECT_EQ(vt::read_file(temp / "precious.txt"), "keep");
        EXPECT_EQ(temp_entries(), std::vector<std::string>{"precious.txt"});
    }
}

// A folder below base holding folders of 100 characters each, to a path of
// at least `length` bytes; "" when the system refuses.
std::string deep_folder(const std::string& base, size_t length) {
    std::string p = base;
    while (p.size() < length) {
        p = vt::join(p, std::string(100, 'd'));
        if (plat_make_dir(p.c_str()) < 0) return "";
    }
    return p;
}

TEST_F(RunTest, OverlongPathsAreRefusedNotCut) {
    std::string long_temp = temp.path() + std::string(1, plat_separator()) + std::string(TEMP_FOLDER_MAX, 't');
    plat_setenv("TEMP", long_temp.c_str());
    EXPECT_EQ(run(doc("a.xlsx"), doc("b.xlsx")), -1);
    EXPECT_EQ(last_error(), ui_format("一時フォルダ(TEMP)のパスが長すぎるか空です。(%s)", long_temp));
    plat_setenv("TEMP", temp.path().c_str());

    // A TEMP deep enough that the folder path outgrows a path buffer while
    // the document's own path still fits.
    std::string deep_temp = deep_folder(temp.path(), RUN_PATH_MAX - 250);
    ASSERT_FALSE(deep_temp.empty());
    plat_setenv("TEMP", deep_temp.c_str());
    // folder: deep_temp, sep, "Vergle-" and at least six more, sep, stem:
    // RUN_PATH_MAX bytes or more
    size_t stem_len = RUN_PATH_MAX - deep_temp.size() - 14;
    ASSERT_LT(stem_len, 250u);
    std::string p = docs / (std::string(stem_len, 's') + ".xlsx");
    ASSERT_LT(p.size(), static_cast<size_t>(RUN_PATH_MAX)) << "the scratch folders are too deep for this test";
    ASSERT_TRUE(vt::write_file(p, ZIP_HEAD));
    EXPECT_EQ(run(p, doc("b.xlsx")), -1);
    EXPECT_EQ(last_error(), ui_format("出力フォルダのパスが長すぎます。(%s)", p));
    std::vector<plat_dirent> left;
    plat_list_dir(deep_temp.c_str(), left);
    EXPECT_TRUE(left.empty()) << "the run's folder is gone";
    plat_remove_tree((temp / std::string(100, 'd')).c_str());
    plat_setenv("TEMP", temp.path().c_str());
    // A document path longer than a path buffer (refused before it is
    // looked at).
    std::string too_long = vt::join(docs.path(), std::string(RUN_PATH_MAX, 'v') + ".xlsx");
    EXPECT_EQ(run(too_long, doc("b.xlsx")), -1);
    EXPECT_EQ(last_error(), ui_format("ファイルのパスが長すぎます。(%s)", too_long));
    // A document deep in long folders is compared: it is read into a copy
    // of the run's own (where the system can make such a path at all).
    EXPECT_TRUE(temp_entries().empty());
    std::string deep_docs = docs / std::string(250, 'v');
    std::string very_long = vt::join(deep_docs, "a.xlsx");
    if (plat_make_dir(deep_docs.c_str()) == 0 && vt::write_file(very_long, ZIP_HEAD + "deep")) {
        EXPECT_EQ(run(very_long, doc("b.xlsx")), 0) << last_error();
        EXPECT_NE(vt::read_file(record).find("text=" + ZIP_HEAD + "deep"), std::string::npos);
        EXPECT_TRUE(temp_entries().empty());
    }
}

// Paths reach the compare program whole, whatever their characters:
// folders named after stems that end in 表, ソ or 能 (whose second byte in
// code page 932 is a backslash) are two arguments, not one; and so are
// names code page 932 lacks.
TEST_F(RunTest, FoldersReachTheProgramByCharacters) {
    struct pair {
        std::string a, b;
    } pairs[] = {
        {"売上表.xlsx", "売上表_改.xlsx"},
        {"ソ.docx", "能.docx"},
        {"汇总 é.pptx", "한국어 𠮷 \xF0\x9F\x98\x80.pptx"},
    };
    for (const pair& p : pairs) {
        std::string a = doc(p.a, "first"), b = doc(p.b, "second");
        ASSERT_EQ(run(a, b), 0) << last_error();
        char sa[RUN_PATH_MAX], sb[RUN_PATH_MAX];
        name_stem(a.c_str(), sa);
        name_stem(b.c_str(), sb);
        std::string base = run_dir();
        EXPECT_EQ(vt::read_file(record), "argc=3\narg=" + vt::join(base, sa) + "\narg=" + vt::join(base, sb) +
                                              "\nfolder 1:\n  text=" + ZIP_HEAD + "first\nfolder 2:\n  text=" +
                                              ZIP_HEAD + "second\n");
        EXPECT_TRUE(temp_entries().empty());
    }
}

TEST_F(RunTest, TheUsersFilesAndFoldersNamedLikeAStemAreLeftAlone) {
    // A file where the old fixed folder "a" would go, and a folder "b" with
    // the user's files (or the leftovers of a run that ended early).
    ASSERT_TRUE(vt::write_file(temp / "a", "a file of the user's"));
    ASSERT_EQ(plat_make_dir((temp / "b").c_str()), 0);
    ASSERT_EQ(plat_make_dir(vt::join(temp / "b", "sub").c_str()), 0);
    ASSERT_TRUE(vt::write_file(vt::join(temp / "b", "precious.txt"), "keep"));
    ASSERT_TRUE(vt::write_file(vt::join(vt::join(temp / "b", "sub"), "old"), "x"));
    EXPECT_EQ(run(doc("a.xlsx"), doc("b.xlsx")), 0) << last_error();
    std::string rec = vt::read_file(record);
    EXPECT_EQ(rec.find("precious"), std::string::npos) << "not part of the comparison: " << rec;
    EXPECT_EQ(rec.find("  old="), std::string::npos) << rec;
    EXPECT_EQ(vt::read_file(temp / "a"), "a file of the user's");
    EXPECT_EQ(vt::read_file(vt::join(temp / "b", "precious.txt")), "keep");
    EXPECT_EQ(vt::read_file(vt::join(vt::join(temp / "b", "sub"), "old")), "x");
    std::vector<std::string> names = temp_entries();
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a", "b"})) << "the run's own folder is gone";
}

}  // namespace
