// Two folders compared in one run: the trees walked, the documents paired
// (by path, then by what they hold), dumped by a pool of threads into two
// text trees that mirror the folders, and handed to the compare program,
// with dumps of the test's own and a compare program that records what it
// was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

#include "comparison.h"
#include "folder_tree.h"
#include "platform.h"
#include "test_support.h"

namespace {

const std::string ZIP_HEAD("PK\x03\x04\x14\x00\x06\x00\x08\x00\x00\x00\x21\x00\x00\x00", 16);

// The test's dump: one file "text" holding the document's bytes after the
// zip head, one line for each "|"; "FAIL" in a document fails it after it
// has written its file.
int fake_dump(const dump_request& req) {
    if (plat_make_dir(req.output_folder) < 0) return -1;
    std::string content = vt::read_file(dump_source(req)).substr(ZIP_HEAD.size());
    std::replace(content.begin(), content.end(), '|', '\n');
    vt::write_file(vt::join(req.output_folder, "text"), content);
    if (content.find("FAIL") != std::string::npos) {
        req.ui->show_error("the dump failed (" + std::string(req.path) + ")", false);
        return -1;
    }
    return 0;
}

// A path below a folder, "/" standing for the platform's separator.
std::string below(const std::string& root, const std::string& rel) {
    std::string p = rel;
    std::replace(p.begin(), p.end(), '/', plat_separator());
    return vt::join(root, p);
}

struct TreeTest : ::testing::Test {
    vt::scratch_dir temp;  // the run's TEMP
    vt::scratch_dir docs;  // where the two folders lie
    vt::recording_ui ui;
    run_settings s;
    dump_table dumps;
    std::string record, saved_temp;
    bool had_temp = false;
    std::string old_root = docs / "旧 版", new_root = docs / "新 版";

    void SetUp() override {
        had_temp = plat_getenv("TEMP", saved_temp);
        plat_setenv("TEMP", temp.path().c_str());
        record = docs / "record.txt";
        plat_setenv("VERGLE_RECORD", record.c_str());
        std::string prog = vt::beside_tests("record_compare");
        ASSERT_LT(prog.size(), sizeof s.diff_program);
        std::strcpy(s.diff_program, prog.c_str());
        dumps.workbook = dumps.word = dumps.powerpoint = fake_dump;
        ASSERT_EQ(plat_make_dir(old_root.c_str()), 0);
        ASSERT_EQ(plat_make_dir(new_root.c_str()), 0);
    }
    void TearDown() override {
        plat_setenv("TEMP", had_temp ? saved_temp.c_str() : nullptr);
        plat_setenv("VERGLE_RECORD", nullptr);
    }

    // Writes a file below a root, its folders made on the way; a document's
    // body goes after a zip head.
    void put(const std::string& root, const std::string& rel, const std::string& body, bool document = true) {
        std::string at = root;
        size_t from = 0;
        for (size_t slash; (slash = rel.find('/', from)) != std::string::npos; from = slash + 1) {
            at = vt::join(at, rel.substr(from, slash - from));
            plat_make_dir(at.c_str());
        }
        ASSERT_TRUE(vt::write_file(vt::join(at, rel.substr(from)), (document ? ZIP_HEAD : "") + body));
    }
    int run(const std::string& a, const std::string& b, run_options opt = run_options()) {
        const char* argv[3] = {"Vergle", a.c_str(), b.c_str()};
        return run_comparison(3, argv, s, dumps, ui, opt);
    }
    // The record's listing of both folders, without the run's folder.
    std::string listing() {
        std::string rec = vt::read_file(record);
        size_t at = rec.find("folder 1:");
        return at == std::string::npos ? rec : rec.substr(at);
    }
    bool temp_empty() {
        std::vector<plat_dirent> e;
        plat_list_dir(temp.path().c_str(), e);
        return e.empty();
    }
};

// The compare program is given two text trees named after the folders,
// each document a folder of its text at its path: changed, unchanged,
// nested, added and removed ones, names with blanks and Japanese, an
// extension in capitals; an owner file of an open document ("~$"), a text
// file and a .doc are left out.  The same trees whatever the number of
// threads, and nothing is left under TEMP.
TEST_F(TreeTest, TheCompareProgramSeesTwoMirroredTrees) {
    put(old_root, "a.xlsx", "one");
    put(new_root, "a.xlsx", "two");
    put(old_root, "same.docx", "same");
    put(new_root, "same.docx", "same");
    put(old_root, "予算 2024/深い/表 計画.PPTX", "deep");
    put(new_root, "予算 2024/深い/表 計画.PPTX", "deep|more");
    put(old_root, "removed.xlsm", "gone");
    put(new_root, "sub/added.docm", "new");
    put(old_root, "~$a.xlsx", "owner", false);
    put(new_root, "notes.txt", "text", false);
    put(new_root, "old.doc", "word 97", false);
    const std::string expected =
        "folder 1:\n"
        "  a.xlsx/text=one\n"
        "  removed.xlsm/text=gone\n"
        "  same.docx/text=same\n"
        "  予算 2024/深い/表 計画.PPTX/text=deep\n"
        "folder 2:\n"
        "  a.xlsx/text=two\n"
        "  same.docx/text=same\n"
        "  sub/added.docm/text=new\n"
        "  予算 2024/深い/表 計画.PPTX/text=deep\nmore\n";
    for (unsigned threads : {1u, 2u, 7u}) {
        run_options opt;
        opt.threads = threads;
        plat_remove_file(record.c_str());
        EXPECT_EQ(run(old_root, new_root, opt), 0) << threads;
        EXPECT_TRUE(ui.errors.empty()) << ui.errors[0].text;
        EXPECT_EQ(listing(), expected) << threads;
        std::string rec = vt::read_file(record);
        EXPECT_NE(rec.find(std::string(1, plat_separator()) + "旧 版\narg="), std::string::npos) << rec;
        EXPECT_TRUE(temp_empty()) << threads;
    }
}

// Two folders of one name get "_1" and "_2", as two documents of one stem.
TEST_F(TreeTest, FoldersOfOneNameGetSuffixes) {
    std::string a = vt::join(old_root, "docs"), b = vt::join(new_root, "docs");
    put(old_root, "docs/x.xlsx", "1");
    put(new_root, "docs/x.xlsx", "1");
    EXPECT_EQ(run(a + plat_separator(), b), 0);
    std::string rec = vt::read_file(record);
    EXPECT_NE(rec.find(std::string(1, plat_separator()) + "docs_1\narg="), std::string::npos) << rec;
    EXPECT_NE(rec.find(std::string(1, plat_separator()) + "docs_2\nfolder 1:"), std::string::npos) << rec;
}

// A refused document does not stop the run: the rest is compared, the
// document's text folder holds one file that says why, one message lists
// the refused documents before the compare program starts, and the result
// is 2.  A compare step of the caller's own gets the refusals with the
// documents instead, and nothing is shown for them.
TEST_F(TreeTest, RefusedDocumentsStayInTheirPlace) {
    put(old_root, "a.xlsx", "fine");
    put(new_root, "a.xlsx", "FAIL");
    put(old_root, "sub/damaged.docx", "not a package", false);
    put(new_root, "sub/damaged.docx", "fine");
    put(new_root, "b.xlsx", "fine too");
    EXPECT_EQ(run(old_root, new_root), 2);
    ASSERT_EQ(ui.errors.size(), 1u);
    const std::string damaged = below(old_root, "sub/damaged.docx"), failed = below(new_root, "a.xlsx");
    EXPECT_EQ(ui.errors[0].text,
              ui_format("比較できない文書がありました(%d件)。", 2LL) + "\n" +
                  ui_with_reason(ui_format("サポート対象外のファイルです(%s)。", damaged), ui_file_reason(damaged.c_str())) +
                  "\nthe dump failed (" + failed + ")");
    // The reason without the path, in code page 932 with CR LF.
    std::string reason = refusal_line(failed.c_str(), "the dump failed (" + failed + ")"), cp932;
    std::u16string wide;
    ASSERT_TRUE(plat_utf8_to_utf16(reason.data(), reason.size(), wide) &&
                plat_utf16_to_cp932(wide.data(), wide.size(), cp932));
    std::string l = listing();
    EXPECT_NE(l.find("  a.xlsx/比較できません=" + cp932 + "\r\n"), std::string::npos) << reason << "\n" << l;
    EXPECT_NE(l.find("  sub/damaged.docx/比較できません="), std::string::npos) << l;
    EXPECT_NE(l.find("  b.xlsx/text=fine too"), std::string::npos) << l;
    EXPECT_TRUE(temp_empty());

    // The caller's compare step.
    struct seen {
        long refused = 0;
        std::vector<std::string> refusals;
    } got;
    run_options opt;
    opt.tree_compare = [](const tree_run& r, void* ctx) {
        seen& g = *static_cast<seen*>(ctx);
        g.refused = r.refused;
        for (const folder_tree& t : r.tree)
            for (const tree_document& d : t.documents)
                if (d.refused) g.refusals.push_back(d.refusal);
        return 1;
    };
    opt.compare_ctx = &got;
    ui.errors.clear();
    EXPECT_EQ(run(old_root, new_root, opt), 2);
    EXPECT_TRUE(ui.errors.empty()) << ui.errors[0].text;
    EXPECT_EQ(got.refused, 2);
    EXPECT_EQ(got.refusals.size(), 2u);
}

// A folder and a file are not compared; nothing is written.  A folder that
// cannot be read is refused before anything is written.
TEST_F(TreeTest, AFolderAndAFileAreRefused) {
    put(docs.path(), "x.xlsx", "x");
    const char* mixed = "フォルダとファイルは比較できません。フォルダ同士かファイル同士を指定してください。(%s、%s)";
    EXPECT_EQ(run(old_root, docs / "x.xlsx"), -1);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].text, ui_format(mixed, old_root, docs / "x.xlsx"));
    EXPECT_EQ(run(docs / "x.xlsx", new_root), -1);
    EXPECT_EQ(ui.errors.back().text, ui_format(mixed, docs / "x.xlsx", new_root));
    EXPECT_FALSE(vt::exists(record));
    EXPECT_TRUE(temp_empty());
}

// A quit asked for while the pool dumps ends the run: no compare program,
// nothing left.
TEST_F(TreeTest, QuitWhileDumpingEndsTheRun) {
    for (int i = 0; i < 40; ++i) put(old_root, "d" + std::to_string(i) + ".xlsx", "x");
    ui.quit_after_pumps = true;
    EXPECT_EQ(run(old_root, new_root), -1);
    EXPECT_TRUE(ui.errors.empty());
    EXPECT_FALSE(vt::exists(record));
    EXPECT_TRUE(temp_empty());
}

// The walk: documents in the order of their paths, folder by folder, and
// the pairs by path (a document alone on one side a pair of one).
TEST_F(TreeTest, WalkAndPairsByPath) {
    for (const char* rel : {"b.xlsx", "a/z.docx", "a.xlsx", "a/b/c.pptx", "~$a.xlsx", "x.txt", "A.XLSM"})
        put(old_root, rel, "x");
    for (const char* rel : {"a.xlsx", "a/b/c.pptx", "c.xlsx"}) put(new_root, rel, "x");
    folder_tree a, b;
    ASSERT_EQ(scan_tree(old_root, a), 0);
    ASSERT_EQ(scan_tree(new_root, b), 0);
    std::vector<std::string> rels;
    for (const tree_document& d : a.documents) rels.push_back(d.rel);
    const std::string sep(1, plat_separator());
    EXPECT_EQ(rels, (std::vector<std::string>{"A.XLSM", "a" + sep + "b" + sep + "c.pptx", "a" + sep + "z.docx",
                                              "a.xlsx", "b.xlsx"}));
    std::string pairs;
    for (const tree_pair& p : pair_by_path(a, b)) pairs += std::to_string(p.a) + ":" + std::to_string(p.b) + " ";
    // On Windows "A.XLSM" and "a.xlsx" are other names still; only a
    // name in another case alone would pair.
    EXPECT_EQ(pairs, "0:-1 1:0 2:-1 3:1 4:-1 -1:2 ");
    folder_tree missing;
    EXPECT_EQ(scan_tree(docs / "missing", missing), -1);
}

// Documents alone on their side paired by what they hold.
struct rename_case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> removed, added;  // (rel, text)
    const char* pairs;  // "removed index > added index" for each pair found
};

TEST_F(TreeTest, RenamesFoundByWhatTheDocumentsHold) {
    std::string ten, eight_of_ten, three_of_ten;
    for (int i = 0; i < 10; ++i) {
        ten += "line " + std::to_string(i) + "\n";
        eight_of_ten += (i < 8 ? "line " : "other ") + std::to_string(i) + "\n";
        three_of_ten += (i < 3 ? "line " : "other ") + std::to_string(i) + "\n";
    }
    const rename_case cases[] = {
        {"the same text under another name", {{"a.xlsx", ten}}, {{"b.xlsx", ten}}, "0>0"},
        {"the same name preferred among equal texts",
         {{"x/plan.docx", ten}}, {{"copy.docx", ten}, {"y/plan.docx", ten}}, "0>1"},
        {"clearly alike", {{"old.docx", ten}}, {{"new.docx", eight_of_ten}}, "0>0"},
        {"not alike enough", {{"old.docx", ten}}, {{"new.docx", three_of_ten}}, ""},
        {"another family", {{"a.xlsx", ten}}, {{"a.docx", ten}}, ""},
        {"no text", {{"a.xlsx", ""}}, {{"b.xlsx", ""}}, ""},
        {"each the other's best",
         {{"a.docx", ten}, {"b.docx", three_of_ten}}, {{"c.docx", eight_of_ten}, {"d.docx", three_of_ten}}, "0>0 1>1"},
    };
    for (const rename_case& c : cases) {
        vt::scratch_dir texts;
        folder_tree a, b;
        std::vector<tree_pair> pairs;
        int n = 0;
        for (int side = 0; side < 2; ++side) {
            folder_tree& t = side ? b : a;
            for (const auto& [rel, text] : side ? c.added : c.removed) {
                tree_document d;
                d.rel = rel;
                std::replace(d.rel.begin(), d.rel.end(), '/', plat_separator());
                d.family = document_name_family(rel);
                std::string folder = texts / std::to_string(n++);
                ASSERT_EQ(plat_make_dir(folder.c_str()), 0);
                if (!text.empty()) {
                    ASSERT_TRUE(vt::write_file(vt::join(folder, "text"), text));
                }
                ASSERT_TRUE(sketch_text(folder, d.digest, d.sketch));
                long index = static_cast<long>(t.documents.size());
                t.documents.push_back(d);
                pairs.push_back(side ? tree_pair{-1, index} : tree_pair{index, -1});
            }
        }
        pair_renamed(a, b, pairs);
        std::string found;
        for (const tree_pair& p : pairs) {
            if (p.a < 0 || p.b < 0) continue;
            EXPECT_TRUE(p.renamed) << c.name;
            found += (found.empty() ? "" : " ") + std::to_string(p.a) + ">" + std::to_string(p.b);
        }
        EXPECT_EQ(found, c.pairs) << c.name;
    }
}

}  // namespace
