// The workbook text dump: through the library's exported interface, one
// file per sheet (or one for the book), CP932 text with CR LF line ends.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "orb_text.h"
#include "platform.h"
#include "sheets_xlsx.h"
#include "test_support.h"
#include "test_zip.h"
#include "comparison.h"
#include "linked_dumps.h"
#include "workbook_dump.h"

namespace {

std::string cp932(const std::string& utf8) {
    std::string s = utf8;
    orb_convert_string(ORB_UTF8, ORB_SJIS, s);
    return s;
}

std::vector<std::string> names_in(const std::string& dir) {
    std::vector<plat_dirent> e;
    plat_list_dir(dir.c_str(), e);
    std::vector<std::string> names;
    for (const plat_dirent& d : e) names.push_back(plat_utf8_from_native(d.name));
    std::sort(names.begin(), names.end());
    return names;
}

TEST(SheetFileName, StaysInsideTheOutputFolder) {
    struct row {
        std::string sheet, file;
    } rows[] = {
        {"Sales 2024 Q1", "Sales_2024_Q1"},
        {"Sales_2024_Q1", "Sales_2024_Q1"},  // the same file as the one above
        {"\xE6\xB3\xA8\xE9\x87\x88", "\xE6\xB3\xA8\xE9\x87\x88"},
        {"../up", ".._up"},
        {"a\\b/c:d", "a_b_c_d"},
        {"Q1? <draft> \"x\" | *", "Q1___draft___x_____"},
        {"tab\there", "tab_here"},
        {"..", ".._"},
        {".", "._"},
        {"end.", "end._"},
        {"", "_"},
        {"CON", "_CON"},
        {"con.txt", "_con.txt"},
        {"COM1", "_COM1"},
        {"LPT9", "_LPT9"},
        {"CONSOLE", "CONSOLE"},
        {"COM10", "COM10"},
        {"\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88", "\xE3\x82\xBD\xE3\x83\x95\xE3\x83\x88"},  // ソフト: trail byte 0x5C in CP932
        {"\xE8\xA1\xA8", "\xE8\xA1\xA8"},  // 表: trail byte 0x5C in CP932
        // Every character a file name may hold stays, on every system:
        // code page 932 has none of these.
        {"汇总", "汇总"},
        {"明细表", "明细表"},
        {"גיליון1", "גיליון1"},
        {"Météo", "Météo"},
        {"売上 𠮷野家", "売上_𠮷野家"},
        {"한국어 시트", "한국어_시트"},
        {"\xF0\x9F\x93\x8A 2024", "\xF0\x9F\x93\x8A_2024"},  // an emoji
        {"Blätt1", "Blätt1"},
        {"bad\xFFutf8", "bad\xEF\xBF\xBDutf8"},  // a broken sequence: U+FFFD
    };
    for (const row& r : rows) EXPECT_EQ(sheet_file_name(r.sheet), r.file) << r.sheet;
}

struct DumpTest : ::testing::Test {
    vt::scratch_dir temp;
    vt::recording_ui ui;
    std::string out = temp / "out";

    int dump(const std::string& path, bool textbox = false, bool allpage = false) {
        dump_request req{path.c_str(), out.c_str(), textbox, allpage, temp.path().c_str(), &ui};
        return dump_workbook_text(req);
    }
    std::string file(const std::string& utf8_name) { return vt::read_file(vt::join(out, plat_native_from_utf8(utf8_name))); }
    std::string corpus(const std::string& rel) {
        std::string dir = vt::corpus_dir();
        return dir.empty() ? "" : vt::join(vt::join(dir, "generated"), rel);
    }
};

TEST_F(DumpTest, OneFilePerSheetWithShapesAndComments) {
    std::string book = corpus("xlsx_comments_shapes__xlsxwriter.xlsx");
    if (book.empty()) GTEST_SKIP() << "no corpus";
    ASSERT_EQ(dump(book, true, false), 0) << (ui.errors.empty() ? "" : ui.errors[0].text);
    EXPECT_EQ(names_in(out), (std::vector<std::string>{"Shapes_2", "\xE6\xB3\xA8\xE9\x87\x88"}));
    std::string header = cp932("★★★以下オートシェイプ・コメント文字列---------------------------------------------->");
    EXPECT_EQ(file("Shapes_2"), "cells and one box\t\r\n" + header + "\r\ncomment on the second sheet\r\nBox on sheet 2\r\n");
    std::string first = file("注釈");
    EXPECT_EQ(first.substr(0, first.find(header)),
              cp932("商品\t数量\t備考\t\r\nりんご\t3\tcomment on A2\t\r\nBanana\t12\tcomment on B3\t\r\n"));
    EXPECT_NE(first.find(cp932("\r\nコメント：りんごは青森産\r\n")), std::string::npos);
    EXPECT_TRUE(ui.errors.empty());
}

TEST_F(DumpTest, AllPagesInOneFileWithTheSectionOnceAtTheEnd) {
    std::string book = corpus("xlsx_comments_shapes__xlsxwriter.xlsx");
    if (book.empty()) GTEST_SKIP() << "no corpus";
    ASSERT_EQ(dump(book, true, true), 0);
    EXPECT_EQ(names_in(out), std::vector<std::string>{"\xE5\x85\xA8\xE3\x82\xB7\xE3\x83\xBC\xE3\x83\x88"});  // 全シート
    std::string all = file("全シート");
    std::string header = cp932("★★★以下オートシェイプ・コメント文字列");
    EXPECT_EQ(all.find(header), all.rfind(header)) << "one section";
    EXPECT_LT(all.find("cells and one box"), all.find(header));
    EXPECT_NE(all.find("Box on sheet 2\r\n"), std::string::npos);
    // Without TEXTBOX no section at all.
    plat_remove_tree(out.c_str());
    ASSERT_EQ(dump(book, false, true), 0);
    EXPECT_EQ(file("全シート").find(header), std::string::npos);
}

TEST_F(DumpTest, LegacyWorkbookThroughItsStreamImage) {
    std::string book = corpus("xls_comments_shapes__libreoffice.xls");
    if (book.empty()) GTEST_SKIP() << "no corpus";
    ASSERT_EQ(dump(book, true, false), 0);
    EXPECT_EQ(names_in(out), (std::vector<std::string>{"Shapes_2", "\xE6\xB3\xA8\xE9\x87\x88"}));
    std::string want = cp932("商品\t数量\t");
    EXPECT_EQ(file("注釈").substr(0, want.size()), want);
    EXPECT_FALSE(vt::exists(temp / "Vergle2003.tmp")) << "the image goes with the book";
    EXPECT_EQ(names_in(temp.path()), std::vector<std::string>{"out"});
}

TEST_F(DumpTest, RefusedWorkbooksAndTheirMessages) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    std::string locked = corpus("xls_password_open__libreoffice.xls");
    EXPECT_EQ(dump(locked), -1);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].text, ui_format("読み取りパスワードが設定されているファイルはサポート対象外です。(%s)", locked));
    EXPECT_FALSE(vt::exists(temp / "Vergle2003.tmp"));

    ui.errors.clear();
    std::string word = corpus("bad_docx_content_named.xlsx");
    EXPECT_EQ(dump(word), -1);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].text, ui_format("Excelブックではありません。%s", word));

    ui.errors.clear();
    std::string missing = temp / "missing.xlsx";
    EXPECT_EQ(dump(missing), -1);
    EXPECT_EQ(ui.errors[0].text, ui_with_reason(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", missing),
                                                ui_text("ファイルがありません")));
}

// Sheet file names keep every character, on every system alike: names that
// code page 932 lacks no longer collapse into "_" (and "(2)" in sheet
// order), so sheets that moved between two versions still pair up.
TEST_F(DumpTest, SheetFilesNamedWithEveryCharacter) {
    const std::vector<std::pair<std::string, std::string>> v1 = {
        {"汇总", "summary"}, {"订单", "orders"}, {"Météo", "weather"}, {"גיליון1", "hebrew"},
        {"明细表", "details"}, {"𠮷野家 \xF0\x9F\x93\x8A", "emoji"}, {"Sales 2024", "sales"}};
    auto v2 = v1;
    std::swap(v2[0], v2[1]);  // 订单 before 汇总 in the second version
    const std::vector<std::string> names = {"Météo",  "Sales_2024", "גיליון1", "明细表",
                                            "汇总", "订单",      "𠮷野家_\xF0\x9F\x93\x8A"};
    std::vector<std::string> sorted = names;
    std::sort(sorted.begin(), sorted.end());
    for (int version = 1; version <= 2; ++version) {
        std::string book = temp / "names.xlsx";
        ASSERT_TRUE(vt::write_file(book, vt::sheets_xlsx(version == 1 ? v1 : v2)));
        plat_remove_tree(out.c_str());
        ASSERT_EQ(dump(book), 0) << (ui.errors.empty() ? "" : ui.errors[0].text);
        EXPECT_EQ(names_in(out), sorted);
        EXPECT_EQ(file("汇总"), "summary\t\r\n");
        EXPECT_EQ(file("订单"), "orders\t\r\n");
        EXPECT_EQ(file("Météo"), "weather\t\r\n");
        EXPECT_EQ(file("𠮷野家_\xF0\x9F\x93\x8A"), "emoji\t\r\n");
    }
    // Real workbooks with such sheet names: Hindi, and German umlauts
    // (which the code page turned into their best-fit look-alikes).
    struct real {
        const char* rel;
        std::vector<std::string> files;
    } reals[] = {
        {"public/apache__poi/DBCSSheetName.xls", {"Sheet3", "एक", "जा"}},
        {"public/python-excel__xlrd/Formate.xls", {"Blätt1", "Blätt3", "Formate", "ÖÄÜ"}},
    };
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus for the real workbooks";
    for (const real& r : reals) {
        plat_remove_tree(out.c_str());
        ASSERT_EQ(dump(vt::join(vt::corpus_dir(), r.rel)), 0) << r.rel;
        std::vector<std::string> want = r.files;
        std::sort(want.begin(), want.end());
        EXPECT_EQ(names_in(out), want) << r.rel;
    }
}

TEST_F(DumpTest, FileThatCannotBeCreatedAsksToRetry) {
    std::string book = corpus("xlsx_comments_shapes__xlsxwriter.xlsx");
    if (book.empty()) GTEST_SKIP() << "no corpus";
    ASSERT_EQ(plat_make_dir(out.c_str()), 0);
    // A folder where the sheet's file should go.
    ASSERT_EQ(plat_make_dir(vt::join(out, "Shapes_2").c_str()), 0);
    ui.retry_answer = false;
    EXPECT_EQ(dump(book), -1);
    ASSERT_EQ(ui.questions.size(), 1u);
    EXPECT_EQ(ui.questions[0],
              ui_format("一時テキストファイル(%s)作成エラー。再度実行しますか？", vt::join(out, "Shapes_2")));
}

TEST_F(DumpTest, QuitRequestEndsTheDump) {
    std::string book = corpus("xlsx_comments_shapes__xlsxwriter.xlsx");
    if (book.empty()) GTEST_SKIP() << "no corpus";
    ui.quit_after_pumps = true;
    EXPECT_EQ(dump(book), -1);
    EXPECT_EQ(ui.pumps, 1) << "one pending message before the first sheet";
    EXPECT_TRUE(ui.errors.empty());
}

// Sheets whose file names meet (names that become one file name, names that
// differ in letter case only, a name like the one given to another, and
// a thousand of one name): every sheet's text lands in a file of its own.
TEST_F(DumpTest, SheetsWhoseFileNamesMeetEachKeepTheirText) {
    std::vector<std::string> names = {"a?", "a*", "a_", "a_(2)", "A_", "a_(3)", "\xEF\xBD\x81_"};  // ａ_
    for (int i = 0; i < 1000; ++i) names.push_back(i % 2 ? "x:" : "X:");
    std::string list = "<workbook><sheets>";
    std::vector<vt::zip_member> members;
    for (size_t i = 0; i < names.size(); ++i) {
        std::string n = std::to_string(i + 1);
        list += "<sheet name=\"" + names[i] + "\" sheetId=\"" + n + "\"/>";
        members.push_back({"xl/worksheets/sheet" + n + ".xml",
                           "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>v" + n +
                               "</t></is></c></row></sheetData></worksheet>"});
    }
    members.push_back({"xl/workbook.xml", list + "</sheets></workbook>"});
    std::string book = temp / "meet.xlsx";
    ASSERT_TRUE(vt::write_file(book, vt::make_zip(members)));
    ASSERT_EQ(dump(book), 0) << (ui.errors.empty() ? "" : ui.errors[0].text);
    std::vector<std::string> files = names_in(out), texts;
    EXPECT_EQ(files.size(), names.size());
    for (const std::string& f : files) texts.push_back(file(f));
    std::sort(texts.begin(), texts.end());
    EXPECT_EQ(std::unique(texts.begin(), texts.end()), texts.end()) << "no sheet's text replaced another's";
}

// A row with a few cells far apart (held sparse by the library) is written
// as every row is: each column up to its last cell, each followed by a tab.
TEST_F(DumpTest, ARowReachingTheLastColumnIsWrittenWhole) {
    std::string row = "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>b</t></is></c>"
                      "<c r=\"Z2\"/><c r=\"XFC2\" t=\"inlineStr\"><is><t>end</t></is></c><c r=\"XFD2\"/></row>";
    std::string book = temp / "wide.xlsx";
    ASSERT_TRUE(vt::write_file(book, vt::make_zip({{"xl/workbook.xml", "<workbook><sheets><sheet name=\"W\" sheetId=\"1\"/>"
                                                                       "</sheets></workbook>"},
                                                   {"xl/worksheets/sheet1.xml",
                                                    "<worksheet><sheetData>" + row + "</sheetData></worksheet>"}})));
    ASSERT_EQ(dump(book), 0);
    EXPECT_EQ(file("W"), "\r\n\tb" + std::string(16381, '\t') + "end\t\r\n");
}

// The exact text of every message the refused documents of the corpus give,
// through the whole run with the linked dumps: the library's message of a
// failed open arrives in the native character set like every other.
TEST(CorpusRefusals, EveryMessage) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    std::string dir = vt::join(vt::corpus_dir(), "generated");
    auto path = [&](const char* name) { return vt::join(dir, name); };
    const std::string unsupported = "サポート対象外のファイルです(%s)。";
    const std::string password = "読み取りパスワードが設定されているファイルはサポート対象外です。(%s)";
    const std::string open_error = "ファイルオープンエラー時にエラーが発生しました。(%s)";
    // The library's internals (function, code, coded message) only with
    // --debug: the truncated package says so instead.
    struct row {
        const char* name;
        std::string message;
        const char* reason;
    } rows[] = {
        {"bad_15_bytes.xls", unsupported, "文書としては短すぎます"},
        {"bad_docx_content_named.xlsx", "Excelブックではありません。%s", ""},
        {"bad_empty.xlsx", unsupported, "空のファイルです"},
        {"bad_truncated.xlsx", open_error, "途中で切れています"},
        {"bad_xls_content_named.xlsx", open_error, "zipパッケージではありません"},
        {"bad_xlsx_content_named.xls", unsupported, "Excel 97-2003形式ではありません"},
        {"docx_password_open__libreoffice.docx", password, ""},
        {"pptx_password_open__libreoffice.pptx", password, ""},
        {"xls_password_open__libreoffice.xls", password, ""},
        {"xlsm_password_open__libreoffice.xlsm", password, ""},
        {"xlsx_password_open__libreoffice.xlsx", password, ""},
    };
    vt::scratch_dir temp;
    std::string saved;
    bool had = plat_getenv("TEMP", saved);
    plat_setenv("TEMP", temp.path().c_str());
    dump_table dumps;
    register_linked_dumps(dumps);
    run_settings s;
    for (const row& r : rows) {
        std::string p = path(r.name);
        ASSERT_TRUE(vt::exists(p)) << p;
        vt::recording_ui ui;
        const char* argv[3] = {"Vergle", p.c_str(), p.c_str()};
        EXPECT_EQ(run_comparison(3, argv, s, dumps, ui), -1) << r.name;
        ASSERT_EQ(ui.errors.size(), 1u) << r.name;
        EXPECT_EQ(ui.errors[0].text, ui_with_reason(ui_format(r.message.c_str(), p), ui_text(r.reason))) << r.name;
        std::vector<plat_dirent> left;
        plat_list_dir(temp.path().c_str(), left);
        EXPECT_TRUE(left.empty()) << r.name;
    }
    // With --debug, the library's own words.
    ui_set_debug(true);
    vt::recording_ui ui;
    std::string p = path("bad_truncated.xlsx");
    const char* argv[3] = {"Vergle", p.c_str(), p.c_str()};
    EXPECT_EQ(run_comparison(3, argv, s, dumps, ui), -1);
    ui_set_debug(false);
    ASSERT_EQ(ui.errors.size(), 1u);
    EXPECT_EQ(ui.errors[0].text, ui_format("ERROR:TABX_open_book() rc=-101 TABX-03101 Excelファイルオープンエラー(\"%s\")。", p));
    plat_setenv("TEMP", had ? saved.c_str() : nullptr);
}

// Every workbook of the corpus dumps or is refused with a message.
TEST_F(DumpTest, EveryCorpusWorkbook) {
    std::vector<std::string> books = vt::corpus_files({"xls", "xlsx", "xlsm"});
    if (books.empty()) GTEST_SKIP() << "no corpus";
    int dumped = 0;
    for (const std::string& b : books) {
        ui.errors.clear();
        plat_remove_tree(out.c_str());
        int rc = dump(b, true, false);
        if (rc == 0) {
            ++dumped;
            EXPECT_TRUE(ui.errors.empty()) << b;
        } else {
            EXPECT_EQ(ui.errors.size(), 1u) << b;
        }
        EXPECT_FALSE(vt::exists(temp / "Vergle2003.tmp")) << b;
    }
    EXPECT_GT(dumped, 80) << "of " << books.size();
}


// Documents named with characters code page 932 lacks (𠮷, 汇总, é, Korean,
// an emoji), in folders of such names to a path of 300 characters and
// more, under a TEMP inside a folder named "José": compared end to end
// through the linked dumps, the compare program receiving the exact folders.
TEST(UnicodePaths, DeepDocumentsComparedEndToEnd) {
    vt::scratch_dir root;
    ASSERT_FALSE(root.path().empty());
    std::string jose = vt::join(root.path(), "José");
    std::string temp = vt::join(jose, "Temp");
    ASSERT_EQ(plat_make_dir(jose.c_str()), 0);
    ASSERT_EQ(plat_make_dir(temp.c_str()), 0);
    auto characters = [](const std::string& s) {
        size_t n = 0;
        for (unsigned char c : s) n += (c & 0xC0) != 0x80;
        return n;
    };
    std::string dir = root.path();
    for (int level = 0; characters(dir) < 300; ++level) {
        dir = vt::join(dir, "𠮷野家 汇总 é 한국어 \xF0\x9F\x98\x80 folder " + std::to_string(level) +
                                " with a name long enough");
        ASSERT_GE(plat_make_dir(dir.c_str()), 0) << dir;
    }
    struct pair {
        std::string a, b, a_bytes, b_bytes;
        std::vector<std::string> files;
    };
    std::vector<pair> pairs;
    const std::vector<std::pair<std::string, std::string>> v1 = {{"汇总", "summary"}, {"订单", "orders"}};
    pairs.push_back({"𠮷野家.xlsx", "汇总 é 한국어 \xF0\x9F\x98\x80.xlsx", vt::sheets_xlsx(v1),
                     vt::sheets_xlsx({v1[1], v1[0]}), {"汇总", "订单"}});
    std::string docx = vt::read_file(vt::join(vt::join(vt::source_dir(), "samples"), "report_v1.docx"));
    ASSERT_FALSE(docx.empty());
    pairs.push_back({"Café é.docx", "한국어 \xF0\x9F\x98\x80.docx", docx, docx, {"ページ001"}});
    if (!vt::corpus_dir().empty()) {
        std::string xls = vt::read_file(vt::join(vt::corpus_dir(), "public/python-excel__xlrd/Formate.xls"));
        pairs.push_back({"é 𠮷.xls", "汇总.xls", xls, xls, {"Blätt1", "Blätt3", "Formate", "ÖÄÜ"}});
    }
    std::string saved;
    bool had = plat_getenv("TEMP", saved);
    plat_setenv("TEMP", temp.c_str());
    std::string record = vt::join(root.path(), "record.txt");
    plat_setenv("VERGLE_RECORD", record.c_str());
    run_settings s;
    std::string program = vt::beside_tests("record_compare");
    std::memcpy(s.diff_program, program.c_str(), program.size() + 1);
    dump_table dumps;
    register_linked_dumps(dumps);
    for (const pair& p : pairs) {
        std::string a = vt::join(dir, p.a), b = vt::join(dir, p.b);
        ASSERT_GE(characters(a), 300u);
        ASSERT_TRUE(vt::write_file(a, p.a_bytes) && vt::write_file(b, p.b_bytes)) << a;
        vt::recording_ui ui;
        const char* argv[3] = {"Vergle", a.c_str(), b.c_str()};
        plat_remove_file(record.c_str());
        ASSERT_EQ(run_comparison(3, argv, s, dumps, ui), 0) << (ui.errors.empty() ? "" : ui.errors[0].text);
        std::string rec = vt::read_file(record);
        // The run's folder lies in TEMP under "José"; the two folders are
        // named after the documents' stems, character for character.
        size_t at = rec.find("\narg=") + 5;
        std::string first = rec.substr(at, rec.find('\n', at) - at);
        std::string stem_a = p.a.substr(0, p.a.rfind('.')), stem_b = p.b.substr(0, p.b.rfind('.'));
        ASSERT_GT(first.size(), stem_a.size() + 1) << rec;
        std::string base = first.substr(0, first.size() - stem_a.size() - 1);
        EXPECT_EQ(base.substr(0, temp.size() + 8), vt::join(temp, "Vergle-")) << rec;
        std::string want = "argc=3\narg=" + vt::join(base, stem_a) + "\narg=" + vt::join(base, stem_b) + "\n";
        EXPECT_EQ(rec.substr(0, want.size()), want) << rec;
        size_t folder2 = rec.find("\nfolder 2:\n");
        ASSERT_NE(folder2, std::string::npos) << rec;
        for (const std::string& f : p.files) {
            EXPECT_LT(rec.find("\n  " + f + "="), folder2) << f << "\n" << rec;
            EXPECT_NE(rec.find("\n  " + f + "=", folder2), std::string::npos) << f << "\n" << rec;
        }
        if (p.files[0] == "汇总") {
            // Sheets that moved between the versions still pair up.
            EXPECT_LT(rec.find("\n  汇总=summary\t\r\n"), folder2) << rec;
            EXPECT_NE(rec.find("\n  汇总=summary\t\r\n", folder2), std::string::npos) << rec;
        }
        std::vector<plat_dirent> left;
        plat_list_dir(temp.c_str(), left);
        EXPECT_TRUE(left.empty()) << "the run's folder is gone";
    }
    plat_setenv("VERGLE_RECORD", nullptr);
    plat_setenv("TEMP", had ? saved.c_str() : nullptr);
}

// Every file below dir with its bytes, by path relative to dir.
void tree_of(const std::string& dir, const std::string& rel, std::vector<std::pair<std::string, std::string>>& out) {
    std::vector<plat_dirent> e;
    plat_list_dir(dir.c_str(), e);
    for (const plat_dirent& d : e) {
        std::string path = vt::join(dir, d.name);
        if (d.kind == PLAT_DIR) {
            tree_of(path, rel + d.name + "/", out);
        } else {
            out.push_back({rel + d.name, vt::read_file(path)});
        }
    }
    std::sort(out.begin(), out.end());
}

// The two documents dumped at once write what one after the other writes,
// and the user sees the same messages: every corpus file paired with the
// next one (refused and broken files included).
TEST(ParallelRun, WritesAndShowsWhatTheSequentialRunDoes) {
    std::vector<std::string> files =
        vt::corpus_files({"xls", "xlsx", "xlsm", "docx", "docm", "pptx", "pptm", "xlsb", "doc", "ppt"});
    if (files.empty()) GTEST_SKIP() << "no corpus";
    run_settings s;
    dump_table dumps;
    register_linked_dumps(dumps);
    vt::scratch_dir out;
    int compared = 0;
    for (size_t i = 0; i + 1 < files.size(); ++i) {
        std::vector<std::pair<std::string, std::string>> trees[2];
        std::vector<std::string> shown[2];
        int rcs[2];
        for (int parallel = 0; parallel < 2; ++parallel) {
            std::string keep = out / ("run" + std::to_string(i) + "_" + std::to_string(parallel));
            vt::recording_ui ui;
            run_options ro;
            ro.parallel = parallel != 0;
            ro.keep_dir = keep.c_str();
            ro.compare = [](const char*, const char*, void*) { return 0; };
            const char* argv[3] = {"Vergle", files[i].c_str(), files[i + 1].c_str()};
            rcs[parallel] = run_comparison(3, argv, s, dumps, ui, ro);
            tree_of(keep, "", trees[parallel]);
            for (const auto& e : ui.errors) shown[parallel].push_back(e.text);
            plat_remove_tree(keep.c_str());
        }
        SCOPED_TRACE(files[i] + " and " + files[i + 1]);
        EXPECT_EQ(rcs[0], rcs[1]);
        EXPECT_EQ(shown[0], shown[1]);
        ASSERT_EQ(trees[0].size(), trees[1].size());
        for (size_t k = 0; k < trees[0].size(); ++k) {
            EXPECT_EQ(trees[0][k].first, trees[1][k].first);
            EXPECT_TRUE(trees[0][k].second == trees[1][k].second) << trees[0][k].first;
        }
        compared += rcs[0] == 0;
    }
    EXPECT_GT(compared, 50) << "most pairs are dumped";
}

}  // namespace
