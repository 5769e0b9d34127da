// A comparison run writes only inside its two output folders (and the
// temporary stream image of a legacy workbook), whatever the documents'
// sheet names say, removes what it wrote without following links, and
// leaves the temporary folder as it found it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "comparison.h"
#include "hostile_support.h"
#include "linked_dumps.h"
#include "platform.h"
#include "test_support.h"

namespace {


// Every entry below a folder, as relative paths ("a/b"), links included
// and not followed.
void snapshot(const std::string& dir, const std::string& prefix, std::vector<std::string>& out) {
    std::vector<plat_dirent> entries;
    if (plat_list_dir(dir.c_str(), entries) != 0) return;
    for (const plat_dirent& e : entries) {
        out.push_back(prefix + e.name);
        if (e.kind == PLAT_DIR) snapshot(dir + plat_separator() + e.name, prefix + e.name + "/", out);
    }
    std::sort(out.begin(), out.end());
}

// A workbook whose sheets carry the given names (any bytes, written as XML
// attribute text).
std::string workbook_with_sheets(const std::vector<std::string>& names) {
    return ht::zip_bytes([&](ht::zip_writer& z) {
        z.stored("[Content_Types].xml", "<Types/>");
        std::string sheets, rels;
        for (size_t i = 0; i < names.size(); ++i) {
            std::string n = std::to_string(i + 1);
            sheets += "<sheet name=\"" + names[i] + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
            rels += "<Relationship Id=\"rId" + n + "\" Type=\"worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        }
        z.stored("xl/workbook.xml", "<workbook xmlns:r=\"r\"><sheets>" + sheets + "</sheets></workbook>");
        z.stored("xl/_rels/workbook.xml.rels", "<Relationships>" + rels + "</Relationships>");
        for (size_t i = 0; i < names.size(); ++i) {
            z.stored("xl/worksheets/sheet" + std::to_string(i + 1) + ".xml",
                     "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"str\"><v>cell " + std::to_string(i) +
                         "</v></c></row></sheetData></worksheet>");
        }
        z.finish();
    });
}

struct NothingLost : ::testing::Test {
    vt::scratch_dir root;  // holds everything the test makes
    std::string temp, docs, record;
    std::string saved_temp;
    bool had_temp = false;
    run_settings s;
    dump_table dumps;
    vt::recording_ui ui;

    void SetUp() override {
        temp = root / "temp";
        docs = root / "docs";
        plat_make_dir(temp.c_str());
        plat_make_dir(docs.c_str());
        had_temp = plat_getenv("TEMP", saved_temp);
        plat_setenv("TEMP", temp.c_str());
        record = docs + plat_separator() + "record.txt";
        plat_setenv("VERGLE_RECORD", record.c_str());
        // The recording folder-compare program: beside the tests where the
        // build puts every program in one folder, else where it was built.
        std::string prog = vt::beside_tests("record_compare");
        if (!vt::exists(prog)) prog = RECORD_COMPARE;
        ASSERT_LT(prog.size(), sizeof s.diff_program);
        std::strcpy(s.diff_program, prog.c_str());
        s.textbox = true;
        register_linked_dumps(dumps);
    }
    void TearDown() override { plat_setenv("TEMP", had_temp ? saved_temp.c_str() : nullptr); }

    int run(const std::string& a, const std::string& b) {
        const char* argv[3] = {"Vergle", a.c_str(), b.c_str()};
        return run_comparison(3, argv, s, dumps, ui);
    }
    std::string doc(const std::string& name, const std::string& bytes) {
        std::string p = docs + plat_separator() + name;
        EXPECT_TRUE(vt::write_file(p, bytes));
        return p;
    }
    std::vector<std::string> everything() {
        std::vector<std::string> all;
        snapshot(root.path(), "", all);
        all.erase(std::remove(all.begin(), all.end(), "docs/record.txt"), all.end());
        return all;
    }
};

TEST_F(NothingLost, SheetNamesThatClimbOutStayInsideTheOutputFolder) {
    const std::vector<std::string> hostile = {
        "../escape", "..\\escape2", "/abs", "\\\\server\\share", "C:drive", "CON", "con.txt", "..", ".",
        "a/b/c", "LPT1", "NUL", "tab\there", "&quot;q&quot;", "dots...", "AUX.xml"};
    std::string a = doc("a.xlsx", workbook_with_sheets(hostile));
    std::string b = doc("b.xlsx", workbook_with_sheets({"../../b-escape", "..", "COM1"}));
    std::vector<std::string> before = everything();
    EXPECT_EQ(run(a, b), 0) << (ui.errors.empty() ? "" : ui.errors[0].text);
    EXPECT_EQ(everything(), before);  // nothing outside, and both folders removed
    std::string seen = vt::read_file(record);
    // The program saw every sheet as a file directly inside its folder.
    EXPECT_NE(seen.find("folder 1:"), std::string::npos) << seen;
    size_t files = 0;
    for (size_t at = seen.find("\n  "); at != std::string::npos; at = seen.find("\n  ", at + 1)) {
        ++files;
        std::string line = seen.substr(at + 3, seen.find('\n', at + 3) - at - 3);
        std::string name = line.substr(0, line.find('='));
        EXPECT_EQ(name.find('/'), std::string::npos) << name;
        EXPECT_NE(name, "..");
        EXPECT_NE(name, ".");
    }
    EXPECT_GE(files, 2u) << seen;
}

// Sheets whose file names coincide ("a b" and "a_b", and on Windows "A_B")
// are all written, none replacing another.
TEST_F(NothingLost, SheetsWhoseFileNamesCoincideAreAllWritten) {
    std::string a = doc("a.xlsx", workbook_with_sheets({"a b", "a_b", "a?b", "A_B"}));
    std::string b = doc("b.xlsx", workbook_with_sheets({"x"}));
    EXPECT_EQ(run(a, b), 0) << (ui.errors.empty() ? "" : ui.errors[0].text);
    std::string seen = vt::read_file(record);
    std::string folder1 = seen.substr(seen.find("folder 1:"), seen.find("folder 2:") - seen.find("folder 1:"));
    bool folded = plat_same_file_name("a_b", "A_B");
    std::string lines = folder1.substr(folder1.find('\n') + 1);
    EXPECT_NE(lines.find("a_b(2)=cell 1"), std::string::npos) << seen;
    EXPECT_NE(lines.find("a_b(3)=cell 2"), std::string::npos) << seen;
    EXPECT_NE(lines.find(folded ? "A_B(4)=cell 3" : "A_B=cell 3"), std::string::npos) << seen;
    EXPECT_NE(lines.find("a_b=cell 0"), std::string::npos) << seen;
}

// A folder of the user's named like a document's stem, holding a link to
// another folder: the run neither writes into it nor removes it.
TEST_F(NothingLost, AFolderAtAStemsPlaceIsLeftAloneLinksAndAll) {
    std::string outside = root / "outside";
    plat_make_dir(outside.c_str());
    ASSERT_TRUE(vt::write_file(outside + plat_separator() + "keep.txt", "keep"));
    std::string folder = temp + plat_separator() + "a";
    plat_make_dir(folder.c_str());
    std::error_code ec;
    std::filesystem::create_directory_symlink(std::filesystem::u8path(outside),
                                              std::filesystem::u8path(folder + plat_separator() + "link"), ec);
    if (ec) GTEST_SKIP() << "no symbolic links here: " << ec.message();
    std::string a = doc("a.xlsx", workbook_with_sheets({"Sheet1"}));
    std::string b = doc("b.xlsx", workbook_with_sheets({"Sheet1"}));
    std::vector<std::string> before = everything();
    EXPECT_EQ(run(a, b), 0);
    EXPECT_EQ(vt::read_file(outside + plat_separator() + "keep.txt"), "keep");
    EXPECT_EQ(everything(), before) << "the user's folder and its link stay, nothing was added";
    EXPECT_EQ(vt::read_file(record).find("keep.txt"), std::string::npos) << "not part of the comparison";
}

TEST_F(NothingLost, LegacyWorkbooksLeaveTheTemporaryFolderAsItWas) {
    std::string cell;
    ht::put16(cell, 0);
    ht::put16(cell, 0);
    ht::put16(cell, 0);
    cell += std::string("\0\0\0\0\0\0\xF8\x3F", 8);
    std::string xls = ht::compound_workbook(ht::biff_workbook("", ht::record(0x0203, cell)));
    std::string a = doc("a.xls", xls);
    std::string b = doc("b.xls", xls);
    ASSERT_TRUE(vt::write_file(temp + plat_separator() + "mine.txt", "mine"));
    // Links where the stream image and a document's folder used to go: the
    // run writes through neither.
    std::string target = root / "target.txt";
    ASSERT_TRUE(vt::write_file(target, "target"));
    std::error_code ec;
    std::filesystem::create_symlink(std::filesystem::u8path(target),
                                    std::filesystem::u8path(temp + plat_separator() + "Vergle2003.tmp"), ec);
    bool links = !ec;
    if (links) {
        std::filesystem::create_directory_symlink(std::filesystem::u8path(root.path()),
                                                  std::filesystem::u8path(temp + plat_separator() + "a"), ec);
    }
    std::vector<std::string> before = everything();
    EXPECT_EQ(run(a, b), 0) << (ui.errors.empty() ? "" : ui.errors[0].text);
    EXPECT_EQ(everything(), before);
    EXPECT_EQ(vt::read_file(temp + plat_separator() + "mine.txt"), "mine");
    EXPECT_EQ(vt::read_file(target), "target");
    if (links) {
        EXPECT_EQ(plat_path_kind((temp + plat_separator() + "Vergle2003.tmp").c_str()), PLAT_LINK);
    }
    EXPECT_NE(vt::read_file(record).find("1.5"), std::string::npos) << vt::read_file(record);
}

TEST_F(NothingLost, WordAndPowerPointDocumentsLeaveTheTemporaryFolderAsItWas) {
    auto files = vt::corpus_files({"docx", "pptx"});
    if (files.size() < 2) GTEST_SKIP() << "no corpus";
    std::string word, slides;
    for (const std::string& f : files) {
        bool w = f.compare(f.size() - 5, 5, ".docx") == 0;
        if (w && word.empty()) word = f;
        if (!w && slides.empty()) slides = f;
    }
    std::vector<std::string> before = everything();
    if (!word.empty()) {
        std::string a = doc("one.docx", vt::read_file(word));
        std::string b = doc("two.docx", vt::read_file(word));
        before = everything();
        run(a, b);
        EXPECT_EQ(everything(), before);
    }
    if (!slides.empty()) {
        std::string a = doc("one.pptx", vt::read_file(slides));
        std::string b = doc("two.pptx", vt::read_file(slides));
        before = everything();
        run(a, b);
        EXPECT_EQ(everything(), before);
    }
}

}  // namespace
