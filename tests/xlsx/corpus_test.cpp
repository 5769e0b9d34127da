// Every Open XML workbook of the corpus is read or refused with the right
// code, and the workbooks whose cells are known show them as expected.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "tabx.h"
#include "test_support.h"

namespace {

std::string base_name(const std::string& path) {
    size_t p = path.find_last_of("/\\");
    return p == std::string::npos ? path : path.substr(p + 1);
}

struct book_dump {
    XLS_BOOK book{};
    int rc;
    explicit book_dump(const std::string& path) {
        std::string args = "EXCEL=\"" + path + "\" MODE=UNLOAD CHARSET=UTF8";
        rc = TABX_open_book(&book, args.c_str());
    }
    ~book_dump() { TABX_close_book(&book, "DESTROY"); }

    int sheet_index(const std::string& name) {
        for (int i = 0; i < TABX_sheet_num(&book); ++i) {
            char buf[400] = {};
            TABX_sheet_name(&book, i, buf);
            if (name == buf) return i;
        }
        return -1;
    }
    std::string cell(const std::string& sheet, const char* ref) {
        int s = sheet_index(sheet);
        if (s < 0) return "<no sheet>";
        TABX_open_sheet2(&book, s);
        std::vector<char> buf(TABX_CELL_TEXT_BUF);
        if (TABX_get_cell(&book, ref, buf.data(), static_cast<int>(buf.size()), nullptr, 0) != 0) return "<none>";
        return buf.data();
    }
};

// Files that must be refused, and the code.
const std::map<std::string, int> k_refused = {
    {"bad_empty.xlsx", -4},
    {"bad_truncated.xlsx", -101},
    {"bad_xls_content_named.xlsx", -101},
    {"bad_docx_content_named.xlsx", -4},
    {"xlsx_password_open__libreoffice.xlsx", -4},
    {"xlsm_password_open__libreoffice.xlsm", -4},
    {"protect.xlsx", -4},
    {"protected_passtika.xlsx", -4},
    {"protected_sha512.xlsx", -4},
    {"60320-protected.xlsx", -4},
    {"pass_protected.xlsx", -4},
    // Its parts lie outside "xl/" (found only through the package
    // relationships, which the reader does not follow).
    {"minimal_package.xlsx", -4},
};

TEST(XlsxCorpus, EveryWorkbookIsReadOrRefused) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    std::vector<std::string> files = vt::corpus_files({"xlsx", "xlsm"});
    if (files.empty()) GTEST_SKIP() << "no workbooks in the corpus";
    int read = 0;
    for (const std::string& f : files) {
        book_dump b(f);
        std::string name = base_name(f);
        auto it = k_refused.find(name);
        if (it != k_refused.end()) {
            EXPECT_EQ(b.rc, it->second) << name;
            continue;
        }
        EXPECT_EQ(b.rc, 0) << name << ": " << TABX_error_mesg(&b.book);
        if (b.rc != 0) continue;
        ++read;
        // Every cell can be fetched.
        std::vector<char> buf(TABX_CELL_TEXT_BUF);
        for (int s = 0; s < TABX_sheet_num(&b.book); ++s) {
            TABX_open_sheet2(&b.book, s);
            for (int r = 0; r < TABX_row_num(&b.book); ++r) {
                for (int c = 0; c < TABX_column_num(&b.book, r); ++c) {
                    char ref[16];
                    TABX_cell_name(r + 1, c + 1, ref);
                    EXPECT_EQ(TABX_get_cell(&b.book, ref, buf.data(), static_cast<int>(buf.size()), nullptr, 0), 0)
                        << name << " " << ref;
                }
            }
        }
    }
    EXPECT_GT(read, 0);
}

struct known {
    const char* file;
    const char* sheet;
    const char* ref;
    const char* text;
};

TEST(XlsxCorpus, KnownCells) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    const std::string dir = vt::join(vt::corpus_dir(), "generated");
    const known rows[] = {
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B3", "日本語のテキスト（全角）"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B5", "<tag> & \"quotes\" 'apos'"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B7", "line one\nline two"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B8", "絵文字😀テスト"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B9", "42"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B11", "1.23457E+12"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B12", "2.5"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B15", "1.5E+20"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B16", "2.0000001"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B18", "TRUE"},
        {"xlsx_basic_types__xlsxwriter.xlsx", "Types", "B19", "FALSE"},
        {"xlsx_basic_types__libreoffice.xlsx", "Types", "B3", "日本語のテキスト（全角）"},
        {"xlsx_basic_types__libreoffice.xlsx", "Types", "B9", "42"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "和暦", "B2", "明治33年1月0日"},  // the writer stored serial 0
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "和暦", "C4", "T1.7.30"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "和暦", "B8", "平成1年1月8日"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "和暦", "D11", "2024年1月1日"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "日付形式", "B2", "2024/1/5"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "日付形式", "B3", "2024/1/5 13:05"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "日付形式", "B4", "2024/1/5 1:05 PM"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "日付形式", "B6", "2024年1月"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "日付形式", "B7", "1月5日"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "曜日", "B2", "月"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "曜日", "C2", "月曜日"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "曜日", "D2", "Mon"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "時刻", "B2", "0:15"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "時刻", "C3", "9:05:30"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "時刻", "B4", "12:15 AM"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "時刻", "C7", "9時05分"},
        {"xlsx_dates_japanese__xlsxwriter.xlsx", "1900境界", "B5", "1900/2/29"},
        {"xlsx_number_formats__xlsxwriter.xlsx", "書式", "B5", "1,234,567"},
        {"xlsx_number_formats__xlsxwriter.xlsx", "書式", "B7", "25%"},
        {"xlsx_number_formats__xlsxwriter.xlsx", "書式", "B8", "12.50%"},
        {"xlsx_number_formats__xlsxwriter.xlsx", "書式", "B10", "1,000"},
        {"xlsx_number_formats__xlsxwriter.xlsx", "書式", "B13", "¥1,500"},
        {"xlsx_number_formats__xlsxwriter.xlsx", "書式", "B24", "0123"},
        {"xlsx_rich_text__xlsxwriter.xlsx", nullptr, nullptr, nullptr},
    };
    for (const known& k : rows) {
        if (!k.sheet) continue;
        std::string path = vt::join(dir, k.file);
        if (!vt::exists(path)) continue;
        book_dump b(path);
        ASSERT_EQ(b.rc, 0) << k.file;
        EXPECT_EQ(b.cell(k.sheet, k.ref), k.text) << k.file << " " << k.sheet << "!" << k.ref;
    }
}

TEST(XlsxCorpus, SheetNamesAndTexts) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    const std::string dir = vt::join(vt::corpus_dir(), "generated");
    for (const char* f : {"xlsx_sheet_names__xlsxwriter.xlsx", "xlsx_sheet_names__libreoffice.xlsx"}) {
        std::string path = vt::join(dir, f);
        if (!vt::exists(path)) continue;
        book_dump b(path);
        ASSERT_EQ(b.rc, 0) << f;
        for (const char* name : {"Sales 2024 Q1", "Sales_2024_Q1", "売上 集計", "ABCDEFGHIJKLMNOPQRSTUVWXYZ01234",
                                 "Q&A <x> 'q' end", "Tab\u3000全角空白"})
            EXPECT_GE(b.sheet_index(name), 0) << f << ": " << name;
    }
    std::string path = vt::join(dir, "xlsx_comments_shapes__libreoffice.xlsx");
    if (vt::exists(path)) {
        book_dump b(path);
        ASSERT_EQ(b.rc, 0);
        bool found = false;
        for (int i = 0; i < b.book.drawing_count; ++i) {
            auto* t = static_cast<XLS_OBJECT_TEXT*>(b.book.drawings[i].data);
            if (t && std::string(t->text) == "コメント：りんごは青森産\n二行目のコメント") found = true;
        }
        EXPECT_TRUE(found);
    }
}

}  // namespace

namespace {

// Every workbook of the corpus with a chart: the chart's lines among the
// shape texts of the sheet it belongs to (a chart sheet of an .xlsx: the
// worksheet before it).  LibreOffice's .xls charts hold no cached values.
TEST(CorpusCharts, EveryChartShowsItsText) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    const std::vector<std::string> pie = {"【グラフ】グラフ題名", "【系列】系列1\tりんご: 3\tBanana: 12"};
    const std::vector<std::string> any = {"【グラフ】", "【系列】系列1\t1\t3\t5", "【系列】系列2\t2\t4\t6"};
    struct {
        const char* file;
        const char* sheet;
        std::vector<std::string> lines;
    } cases[] = {
        {"generated/xlsx_comments_shapes__xlsxwriter.xlsx", "注釈", pie},
        {"generated/xlsx_comments_shapes__libreoffice.xlsx", "注釈", pie},
        {"generated/xlsm_comments_shapes__libreoffice.xlsm", "注釈", pie},
        {"generated/xls_comments_shapes__libreoffice.xls", "注釈", {"【グラフ】グラフ題名", "【系列】系列1"}},
        {"generated/xlsx_sheet_names__xlsxwriter.xlsx", "Tab　全角空白",
         {"【グラフシート】グラフ", "【グラフ】", "【系列】series\t1"}},
        {"generated/xlsx_sheet_names__libreoffice.xlsx", "グラフ", {"【グラフ】series", "【系列】series\t1"}},
        {"generated/xls_sheet_names__libreoffice.xls", "グラフ", {"【グラフ】series", "【系列】系列1"}},
        {"public/apache__poi/WithChartSheet.xlsx", "Sheet2",
         {"【グラフシート】Chart2", "【グラフ】",
          "【系列】Total\t2005 Sum of Cost: 15355463\t2005 Sum of Revenue: 18474075.56\t2006 Sum of Cost: 18593182\t"
          "2006 Sum of Revenue: 22401812.19\t2007 Sum of Cost: 22860084\t2007 Sum of Revenue: 27490579.69"}},
        {"public/tafia__calamine/any_sheets.xlsx", "VeryHidden",
         {"【グラフシート】Chart", any[0], any[1], any[2]}},
        {"public/tafia__calamine/any_sheets.xls", "Chart", any},
        {"public/python-excel__xlrd/Formate.xls", "Blätt3", {"【グラフ】", "【系列】系列1"}},
    };
    for (const auto& c : cases) {
        book_dump b(vt::join(vt::corpus_dir(), c.file));
        ASSERT_EQ(b.rc, 0) << c.file;
        int sheet = b.sheet_index(c.sheet);
        ASSERT_GE(sheet, 0) << c.file << " " << c.sheet;
        std::vector<std::string> lines;
        for (int i = 0; i < b.book.drawing_count; ++i) {
            const XLS_DRAWING& d = b.book.drawings[i];
            std::string text = static_cast<const XLS_OBJECT_TEXT*>(d.data)->text;
            bool chart_line = text.rfind("【グラフ", 0) == 0 || text.rfind("【系列】", 0) == 0 ||
                              text.rfind("【項目軸】", 0) == 0 || text.rfind("【値軸】", 0) == 0;
            if (d.sheet == sheet && chart_line) lines.push_back(text);
        }
        EXPECT_EQ(lines, c.lines) << c.file;
    }
}

}  // namespace
