// Opening and closing books: keywords, paths, modes, results and messages.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mfile.h"
#include "orb_text.h"
#include "platform.h"
#include "tabx.h"
#include "tbx_private.h"
#include "tbx_store.h"
#include "sheets_xlsx.h"
#include "test_support.h"

namespace {

// The book's message converted to UTF-8 for comparison.
std::string message_utf8(XLS_BOOK* b) {
    std::string s = b->error_info;
    orb_convert_string(ORB_SJIS, ORB_UTF8, s);
    return s;
}

std::string cwd_join(const std::string& name) {
    std::string cwd;
    plat_get_cwd(cwd);
    return vt::join(cwd, name);
}

struct result_row {
    const char* keywords;
    int rc;
    const char* message;  // UTF-8; "" = none
};

TEST(OpenBook, KeywordErrors) {
    // A value of 3994 bytes in code page 932 (the keyword limit is 4000),
    // 5989 bytes as a UTF-8 path: longer than 4096 bytes.
    std::string name;
    for (int i = 0; i < 1995; ++i) name += "\x82\xA0";  // あ
    const std::string long_name = "EXCEL=" + name + ".xls";
    result_row rows[] = {
        {"MODE=\"READ\"", -3, "TABX-02200 サポート外のキーワードです(\"\"READ\"\")。"},
        {"MODE=WRITE", -3, "TABX-02200 サポート外のキーワードです(\"WRITE\")。"},
        {"COLOUR=red", -3, "TABX-02200 サポート外のキーワードです(\"COLOUR\")。"},
        {"MODE READ", -3, "TABX-02303 引数列のイコール(=)部分が不正です(\"READ\")。"},
        {"MODE", -3, ""},
        {"MODE=", -3, ""},
        {"VERSION=1.0", -1,
         "TABX-00901 呼び出し側(\"1.0\")と共有ライブラリ側(\"2.0.4.0\")でバージョンが異なります。"},
        {"XLS_BOOK=12", -1, nullptr},  // checked below
        {long_name.c_str(), -3, "TABX-00005 ファイル名が長すぎます。"},
    };
    for (const result_row& r : rows) {
        XLS_BOOK b;
        std::memset(&b, 0x5A, sizeof b);  // the record may hold anything
        EXPECT_EQ(TABX_open_book(&b, r.keywords), r.rc) << r.keywords;
        EXPECT_EQ(TABX_error_code(&b), r.rc);
        if (r.message) {
            EXPECT_EQ(message_utf8(&b), r.message) << r.keywords;
        }
        EXPECT_NE(b.priv, nullptr);  // stays until close or free
        EXPECT_EQ(TABX_close_book(&b, nullptr), 0);
        EXPECT_EQ(b.priv, nullptr);
    }
}

TEST(OpenBook, RecordSizeCheck) {
    XLS_BOOK b;
    std::string ok = "XLS_BOOK=\"" + std::to_string(sizeof(XLS_BOOK)) + "\" VERSION=\"2.0.4.0\"";
    EXPECT_EQ(TABX_open_book(&b, ok.c_str()), 0);
    TABX_free_book(&b);
    EXPECT_EQ(TABX_open_book(&b, "XLS_BOOK=12"), -1);
    EXPECT_EQ(message_utf8(&b), "TABX-00902 構造体XLS_BOOKのサイズが異なります。(\"CALL側:12byte DLL側:" +
                                    std::to_string(sizeof(XLS_BOOK)) + "byte\")。");
    TABX_free_book(&b);
}

TEST(OpenBook, CreateModeTouchesNoDiskAndCompletesNames) {
    struct row {
        const char* keywords;
        std::string path;
    } rows[] = {
        {"", cwd_join("Book1.xlsx")},
        {"EXCEL=report", cwd_join("report.xlsx")},
        {"EXCEL=abcd MODE=CREATE", cwd_join("abcd.xlsx")},
        {"BOOK=report.csv", cwd_join("report.csv")},
        {"EXCEL=a.csv", cwd_join("a.csv.xlsx")},  // shorter than 6 bytes
        {"EXCEL=old.XLS", cwd_join("old.XLS")},
        {"EXCEL=c:\\data\\report", "c:\\data\\report"},
        {"EXCEL=\\\\server\\share\\x.xlsx", "\\\\server\\share\\x.xlsx"},
        {"CHARSET=UTF8 モード=新規 ブック=\"a b\"", cwd_join("a b.xlsx")},
    };
    for (const row& r : rows) {
        XLS_BOOK b;
        ASSERT_EQ(TABX_open_book(&b, r.keywords), 0) << r.keywords;
        EXPECT_EQ(std::string(b.path), r.path) << r.keywords;
        EXPECT_EQ(b.sheet_count, 0);
        EXPECT_EQ(TABX_close_book(&b, "DESTROY"), 0);
    }
    // An absolute path of this platform is taken as it is.
    vt::scratch_dir dir;
    std::string abs = dir / "x.xlsx";
    XLS_BOOK b;
    ASSERT_EQ(TABX_open_book(&b, ("EXCEL=\"" + abs + "\"").c_str()), 0);
    EXPECT_EQ(std::string(b.path), abs);
    TABX_free_book(&b);
}

TEST(OpenBook, FilesThatCannotBeRead) {
    vt::scratch_dir dir;
    std::string missing = dir / "missing.xlsx";
    std::string text = dir / "notes.txt";
    ASSERT_TRUE(vt::write_file(text, "plain text, no workbook\n"));
    XLS_BOOK b;
    EXPECT_EQ(TABX_open_book(&b, ("EXCEL=\"" + missing + "\" MODE=READ").c_str()), -101);
    EXPECT_EQ(message_utf8(&b), "TABX-03101 Excelファイルオープンエラー(\"" + missing + "\")。");
    EXPECT_EQ(b.priv, nullptr);  // released
    EXPECT_EQ(TABX_open_book(&b, ("EXCEL=\"" + text + "\" MODE=UNLOAD").c_str()), -4);
    EXPECT_EQ(message_utf8(&b), "TABX-00900 サポート外のファイルです(\"" + text + "\")。");
    EXPECT_EQ(b.priv, nullptr);
    EXPECT_EQ(TABX_close_book(&b, nullptr), 0);  // closing a released book is harmless
}

// Paths of every character and length: a UTF-8 caller reaches any file; a
// code page 932 caller still reaches its own; the book path field keeps the
// system's ANSI form, cut to its size.
TEST(OpenBook, PathsOfEveryCharacterAndLength) {
    vt::scratch_dir dir;
    std::string deep = dir.path();
    while (deep.size() < 400) {
        deep = vt::join(deep, "汇总 𠮷 é 한국어 folder");
        ASSERT_GE(plat_make_dir(deep.c_str()), 0);
    }
    std::string book_bytes = vt::sheets_xlsx({{"汇总", "summary"}});
    struct row {
        std::string path;
        bool utf8;  // CHARSET=UTF8, else the default (code page 932)
    } rows[] = {
        {vt::join(deep, "𠮷野家.xlsx"), true},
        {dir / "売上表 ソ 能.xlsx", false},
        {dir / "売上表 ソ 能.xlsx", true},
    };
    for (const row& r : rows) {
        ASSERT_TRUE(vt::write_file(r.path, book_bytes)) << r.path;
        std::string arg = r.path;
        if (!r.utf8) orb_convert_string(ORB_UTF8, ORB_SJIS, arg);
        XLS_BOOK b;
        std::string keywords = std::string(r.utf8 ? "CHARSET=UTF8 " : "") + "MODE=UNLOAD EXCEL=\"" + arg + "\"";
        ASSERT_EQ(TABX_open_book(&b, keywords.c_str()), 0) << r.path << " " << TABX_error_mesg(&b);
        EXPECT_EQ(TABX_sheet_num(&b), 1);
        std::string ansi;
        plat_ansi_from_utf8(r.path, ansi);
        size_t n = std::strlen(b.path);
        EXPECT_LT(n, sizeof b.path);
        EXPECT_EQ(ansi.compare(0, n, b.path), 0) << "the ANSI form, cut";
        EXPECT_EQ(n, ansi.size() < sizeof b.path ? ansi.size() : n);
        EXPECT_GE(n, ansi.size() < sizeof b.path ? ansi.size() : sizeof b.path - 4) << "cut at a character's end";
        TABX_close_book(&b, "DESTROY");
    }
    // A message naming such a path reaches a UTF-8 caller whole.
    std::string missing = vt::join(deep, "汇总 missing.xlsx");
    XLS_BOOK b;
    EXPECT_EQ(TABX_open_book(&b, ("CHARSET=UTF8 MODE=READ EXCEL=\"" + missing + "\"").c_str()), -101);
    EXPECT_EQ(std::string(TABX_error_mesg(&b)), "TABX-03101 Excelファイルオープンエラー(\"" + missing + "\")。");
    EXPECT_EQ(std::string(TABX_error_mesg(&b)), "TABX-03101 Excelファイルオープンエラー(\"" + missing + "\")。")
        << "asked again";
}

TEST(OpenBook, CloseWithSaveKeepsTheBook) {
    XLS_BOOK b;
    ASSERT_EQ(TABX_open_book(&b, "EXCEL=new"), 0);
    EXPECT_EQ(TABX_close_book(&b, "DESTROY SAVE"), -1);  // the last one counts
    EXPECT_EQ(message_utf8(&b), "TABX-03600 内部処理エラー(\"tbx_create_excel2007()\")。");
    EXPECT_NE(b.priv, nullptr);
    EXPECT_EQ(TABX_close_book(&b, "保存 破棄"), 0);
    EXPECT_EQ(b.priv, nullptr);
}

TEST(OpenBook, CloseEmptiesTheMemoryFilesFreeDoesNot) {
    XLS_BOOK b;
    ASSERT_EQ(TABX_open_book(&b, ""), 0);
    Mfile* f = mopen("member.xml", "wb");
    ASSERT_NE(f, nullptr);
    mclose(f);
    EXPECT_EQ(TABX_free_book(&b), 0);
    EXPECT_GE(mcount(), 1);
    ASSERT_EQ(TABX_open_book(&b, ""), 0);
    EXPECT_EQ(TABX_close_book(&b, nullptr), 0);
    EXPECT_EQ(mcount(), 0);
}

TEST(OpenBook, MessagesInTheCallersCharacterSet) {
    XLS_BOOK b;
    EXPECT_EQ(TABX_open_book(&b, "CHARSET=UTF8 MODE=ヘン"), -3);
    EXPECT_STREQ(TABX_error_mesg(&b), "TABX-02200 サポート外のキーワードです(\"ヘン\")。");
    TABX_free_book(&b);
    // Default SJIS: the caller's text is Shift-JIS, and so is the message.
    std::string sjis_value = "\x83\x77\x83\x93";  // "ヘン"
    EXPECT_EQ(TABX_open_book(&b, ("MODE=" + sjis_value).c_str()), -3);
    std::string expected = "TABX-02200 サポート外のキーワードです(\"ヘン\")。";
    orb_convert_string(ORB_UTF8, ORB_SJIS, expected);
    EXPECT_EQ(std::string(TABX_error_mesg(&b)), expected);
    TABX_free_book(&b);
    // EUC.
    EXPECT_EQ(TABX_open_book(&b, "CHARSET=EUC MODE=x"), -3);
    std::string euc = "TABX-02200 サポート外のキーワードです(\"x\")。";
    orb_convert_string(ORB_UTF8, ORB_EUC, euc);
    EXPECT_EQ(std::string(TABX_error_mesg(&b)), euc);
    TABX_free_book(&b);
}

TEST(OpenBook, ReleasingDeletesTheTemporaryWorkbook) {
    vt::scratch_dir dir;
    std::string temp = dir / "Vergle2003.tmp";
    ASSERT_TRUE(vt::write_file(temp, "stream image"));
    XLS_BOOK b;
    ASSERT_EQ(TABX_open_book(&b, ""), 0);
    std::snprintf(b.temp_path, sizeof b.temp_path, "%s", temp.c_str());
    EXPECT_EQ(TABX_close_book(&b, "DESTROY"), 0);
    EXPECT_FALSE(vt::exists(temp));
}

TEST(LibraryFunctions, VersionHelpDebugAndWriterEntries) {
    XLS_BOOK b;
    ASSERT_EQ(TABX_open_book(&b, ""), 0);
    char version[16];
    EXPECT_EQ(TABX_version(&b, version), 0);
    EXPECT_STREQ(version, "2.0.4.0");
    testing::internal::CaptureStdout();
    EXPECT_EQ(TABX_help(), 0);
    EXPECT_EQ(TABX_debug("trace line"), 0);
    std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(out.rfind("TABX: Release 2.0.4.0\n", 0), 0u) << out;
    EXPECT_NE(out.find("trace line\n"), std::string::npos);
    EXPECT_EQ(TABX_set_property(&b, "FONT=x"), 0);
    EXPECT_EQ(TABX_open_datasource(&b, "x"), 0);
    EXPECT_EQ(TABX_paste_datasource(&b, "x"), 0);
    EXPECT_EQ(TABX_close_datasource(&b), 0);
    EXPECT_EQ(TABX_put_cell(&b, "A1", "x", ""), -1);
    EXPECT_EQ(message_utf8(&b), "TABX-03600 内部処理エラー(\"TABX_put_cell()\")。");
    EXPECT_EQ(TABX_swap_book(0), 0);
    EXPECT_EQ(TABX_swap_book(1), 0);
    TABX_free_book(&b);
}

}  // namespace
