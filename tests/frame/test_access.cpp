// Sheet and cell access over a store filled through the store primitives, the
// way the readers fill it and the workbook dump walks it.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cell_format.h"
#include "orb_text.h"
#include "tabx.h"
#include "tbx_store.h"

namespace {

std::string sjis(const std::string& utf8) {
    std::string s = utf8;
    orb_convert_string(ORB_UTF8, ORB_SJIS, s);
    return s;
}

std::string message_utf8(XLS_BOOK* b) {
    std::string s = b->error_info;
    orb_convert_string(ORB_SJIS, ORB_UTF8, s);
    return s;
}

// Two sheets: "売上" with a small table, "空" with nothing.
struct filled_book : ::testing::Test {
    XLS_BOOK b;
    void SetUp() override {
        ASSERT_EQ(TABX_open_book(&b, "MODE=CREATE"), 0);
        b.raw_display = 0;  // as MODE=UNLOAD
        ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
        ASSERT_EQ(tbx_set_sheet_name(&b, 0, "売上"), 0);
        ASSERT_EQ(tbx_add_sheet(&b, 1), 0);
        ASSERT_EQ(tbx_set_sheet_name(&b, 1, "空"), 0);
        int sst, xf_general, xf_date, xf_thousands;
        ASSERT_EQ(tbx_add_sst(&b, "品名", static_cast<int>(std::strlen("品名")), &sst), 0);
        ASSERT_EQ(tbx_add_xf(&b, 0, &xf_general), 0);
        ASSERT_EQ(tbx_add_xf(&b, 14, &xf_date), 0);
        ASSERT_EQ(tbx_add_numfmt(&b, 176, "yyyy\"\x94\x4e\"m\"\x8c\x8e\"d\"\x93\xfa\""), 0);
        int xf_jdate;
        ASSERT_EQ(tbx_add_xf(&b, 176, &xf_jdate), 0);
        ASSERT_EQ(tbx_add_xf(&b, 3, &xf_thousands), 0);
        // Row 1: shared string, text, integer, decimal.
        XLS_CELL* c = nullptr;
        tbx_value v;
        v.index = sst;
        ASSERT_EQ(tbx_ensure_cell(&b, 0, 0, 0, &c), 0);
        ASSERT_EQ(put_typed_value(TBX_SHARED_STRING, c, &v), 0);
        v.text = "りんご";
        ASSERT_EQ(tbx_ensure_cell(&b, 0, 0, 1, &c), 0);
        ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &v), 0);
        ASSERT_EQ(put_number(&b, 0, 0, 2, 3, xf_thousands, 1234567), 0);
        ASSERT_EQ(put_number(&b, 0, 0, 3, 0, xf_general, 0.25), 0);
        // Row 2 empty; row 3: dates.
        ASSERT_EQ(put_number(&b, 0, 2, 0, 14, xf_date, 45292), 0);
        ASSERT_EQ(put_number(&b, 0, 2, 1, 176, xf_jdate, 45292), 0);
        // Row 4: cells stored, then emptied at its end.
        ASSERT_EQ(put_number(&b, 0, 3, 0, 0, xf_general, 7), 0);
        ASSERT_EQ(tbx_ensure_cell(&b, 0, 3, 4, &c), 0);
        v.text = "gone";
        ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &v), 0);
        ASSERT_EQ(put_typed_value(TBX_EMPTY, c, &v), 0);
        // Row 5: a formula.
        v.text = "SUM(C1:C4)";
        ASSERT_EQ(tbx_ensure_cell(&b, 0, 4, 0, &c), 0);
        ASSERT_EQ(put_typed_value(TBX_FORMULA, c, &v), 0);
    }
    void TearDown() override { TABX_close_book(&b, "DESTROY"); }
};

using Access = filled_book;

TEST_F(Access, WalkLikeTheWorkbookDump) {
    std::vector<std::string> lines;
    char name[300], cell[16], text[1000];
    for (int s = 0; s < TABX_sheet_num(&b); ++s) {
        ASSERT_EQ(TABX_sheet_name(&b, s, name), 0);
        ASSERT_EQ(TABX_open_sheet2(&b, s), 0);
        lines.push_back(std::string("[") + name + "]");
        int rows = TABX_row_num(&b);
        for (int r = 0; r < rows; ++r) {
            std::string line;
            int cols = TABX_column_num(&b, r);
            for (int c = 0; c < cols; ++c) {
                ASSERT_EQ(TABX_cell_name(r + 1, c + 1, cell), 0);
                ASSERT_EQ(TABX_get_cell(&b, cell, text, sizeof text, nullptr, 0), 0) << cell;
                if (c > 0) line += "\t";
                line += text;
            }
            lines.push_back(line);
        }
    }
    std::vector<std::string> expected = {
        sjis("[売上]"),
        sjis("品名\tりんご\t1,234,567\t0.25"),
        "",
        sjis("2024/1/1\t2024年1月1日"),
        "7",
        "",
        sjis("[空]"),
    };
    EXPECT_EQ(lines, expected);
}

TEST_F(Access, TypeNames) {
    struct row {
        const char* cell;
        const char* type;
    } rows[] = {
        {"A1", "CHARACTER"}, {"B1", "CHARACTER"}, {"C1", "INTEGER"}, {"D1", "FLOAT"},
        {"A3", "DATE"},      {"A5", "FORMULA:SUM(C1:C4)"}, {"E4", ""},
    };
    for (const row& r : rows) {
        char text[100], type[100];
        ASSERT_EQ(TABX_get_cell(&b, r.cell, text, sizeof text, type, sizeof type), 0) << r.cell;
        EXPECT_STREQ(type, r.type) << r.cell;
    }
    char text[100], type[8];
    EXPECT_EQ(TABX_get_cell(&b, "A5", text, sizeof text, type, sizeof type), -909);
    // "CHARACTER" (9 bytes) is copied only into more than 10 bytes.
    char small[10] = "x";
    EXPECT_EQ(TABX_get_cell(&b, "A1", text, sizeof text, small, sizeof small), 0);
    EXPECT_STREQ(small, "");
}

TEST_F(Access, CellNamesAndCodes) {
    struct row {
        const char* name;
        int rc;
        int row, column;  // book's current cell after success (0-based)
    } rows[] = {
        {"A1", 0, 0, 0},     {"$b$1", 0, 0, 1},  {"d1", 0, 0, 3},   {"a+1", 0, 0, 0},
        {"A1.9", 0, 0, 0},   {"A0", -3, 0, 0},   {"A-1", -3, 0, 0}, {"1A", -3, 0, 0},
        {"A", -3, 0, 0},     {"AAAA1", -3, 0, 0}, {"XFE1", -3, 0, 0}, {"A1048577", -3, 0, 0},
        {"A1.2.3", -3, 0, 0}, {"A 1", -3, 0, 0},  {"", -3, 0, 0},    {"A6", -902, 0, 0},
        {"XFD1048576", -902, 0, 0}, {"E1", -903, 0, 0}, {"A2", -903, 0, 0},
    };
    for (const row& r : rows) {
        char text[100];
        b.row = b.column = -7;
        EXPECT_EQ(TABX_get_cell(&b, r.name, text, sizeof text, nullptr, 0), r.rc) << r.name;
        EXPECT_EQ(TABX_error_code(&b), r.rc);
        if (r.rc == 0) {
            EXPECT_EQ(b.row, r.row) << r.name;
            EXPECT_EQ(b.column, r.column) << r.name;
        }
        if (r.rc == -3) {
            EXPECT_EQ(message_utf8(&b), std::string("TABX-02300 セル指定値が不正です(\"") + r.name + "\")。");
        }
    }
}

TEST_F(Access, TextMustBeShorterThanTheBuffer) {
    std::string expected = sjis("りんご");  // 6 bytes
    std::vector<char> text(16, 'x');
    EXPECT_EQ(TABX_get_cell(&b, "B1", text.data(), 6, nullptr, 0), -909);
    EXPECT_EQ(message_utf8(&b), "TABX-03009 バッファサイズ(\"6\")オーバー(\"CELL_STRING\")。");
    EXPECT_STREQ(text.data(), "");
    EXPECT_EQ(TABX_get_cell(&b, "B1", text.data(), 7, nullptr, 0), 0);
    EXPECT_EQ(std::string(text.data()), expected);
    EXPECT_EQ(TABX_get_cell(&b, "A3", text.data(), 8, nullptr, 0), -909);  // "2024/1/1"
    EXPECT_EQ(message_utf8(&b), "TABX-03009 バッファサイズ(\"8\")オーバー(\"CELL_DATE/CELL_DATE_TIME\")。");
    EXPECT_EQ(TABX_get_cell(&b, "A3", text.data(), 9, nullptr, 0), 0);
    EXPECT_EQ(TABX_get_cell(&b, "A1", text.data(), 0, nullptr, 0), -909);
    // A success leaves the previous message in place.
    EXPECT_NE(message_utf8(&b).find("CELL_STRING"), std::string::npos);
}

TEST_F(Access, CurrentSheetOutsideTheTable) {
    char text[100];
    b.sheet = 2;
    EXPECT_EQ(TABX_get_cell(&b, "A1", text, sizeof text, nullptr, 0), -901);
    EXPECT_EQ(TABX_row_num(&b), 0);
    EXPECT_EQ(TABX_column_num(&b, 0), 0);
    b.sheet = -1;
    EXPECT_EQ(TABX_get_cell(&b, "A1", text, sizeof text, nullptr, 0), -901);
    EXPECT_EQ(TABX_open_sheet2(&b, 2), -801);
    EXPECT_EQ(b.sheet, -1);  // unchanged
    EXPECT_EQ(TABX_open_sheet2(&b, 1), 0);
    EXPECT_EQ(TABX_row_num(&b), 0);
    EXPECT_EQ(TABX_get_cell(&b, "A1", text, sizeof text, nullptr, 0), -902);
}

TEST_F(Access, SheetNames) {
    char name[300] = "x";
    EXPECT_EQ(TABX_sheet_name(&b, 2, name), -801);
    EXPECT_STREQ(name, "");
    EXPECT_EQ(TABX_sheet_name(&b, -1, name), -801);
    ASSERT_EQ(TABX_sheet_name(&b, 0, name), 0);
    EXPECT_EQ(std::string(name), sjis("売上"));
    b.format = 8;  // an old "Book" stream: names unconverted
    ASSERT_EQ(TABX_sheet_name(&b, 0, name), 0);
    EXPECT_STREQ(name, "売上");
}

TEST_F(Access, OpenSheetByName) {
    struct row {
        std::string keywords;
        int rc;
        int sheet;
        const char* message;
    } rows[] = {
        {sjis("SHEET_NAME=\"空\" MODE=READ"), 0, 1, nullptr},
        {sjis("シート=売上 モード=読み込み"), 0, 0, nullptr},
        {sjis("SHEET_NAME=空 MODE=UPDATE"), 0, 1, nullptr},
        {sjis("SHEET_NAME=無い MODE=READ"), -801, 1, "TABX-02320 シート名が不正です(\"無い\")。"},
        {"SHEET_NAME=x MODE=DELETE", -3, 1, nullptr},
        {"SHEET_NAME=x COLOUR=red", -3, 1, "TABX-02200 サポート外のキーワードです(\"COLOUR\")。"},
        {"SHEET_NAME x", -3, 1, "TABX-02303 引数列のイコール(=)部分が不正です(\"x\")。"},
        {"SHEET_NAME=x", -1, 1, nullptr},  // without MODE: the writer's
        {"SHEET_NAME=" + std::string(40, 'a') + " MODE=READ", -801, 1,
         "TABX-02320 シート名が不正です(\"aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa\")。"},  // cut to 30
    };
    for (const row& r : rows) {
        EXPECT_EQ(TABX_open_sheet(&b, r.keywords.c_str()), r.rc) << r.keywords;
        EXPECT_EQ(b.sheet, r.sheet) << r.keywords;
        if (r.message) {
            EXPECT_EQ(message_utf8(&b), r.message) << r.keywords;
        }
    }
}

TEST_F(Access, LongSheetNamesAreCutOrRefused) {
    std::string kanji30, kanji31, kanji32;
    for (int i = 0; i < 30; ++i) kanji30 += "表";
    kanji31 = kanji30 + "表";
    kanji32 = kanji31 + "表";
    ASSERT_EQ(tbx_set_sheet_name(&b, 1, kanji30.c_str()), 0);
    // More than 31 characters: cut to the first 30, which is the stored name.
    EXPECT_EQ(TABX_open_sheet(&b, sjis("SHEET_NAME=" + kanji32 + " MODE=READ").c_str()), 0);
    EXPECT_EQ(b.sheet, 1);
    // Exactly 31 characters are not cut (93 bytes): no such sheet.
    b.sheet = 0;
    EXPECT_EQ(TABX_open_sheet(&b, sjis("SHEET_NAME=" + kanji31 + " MODE=READ").c_str()), -801);
    EXPECT_EQ(b.sheet, 0);
    // 31 four-byte characters are 124 bytes: too long.
    std::string wide31;
    for (int i = 0; i < 31; ++i) wide31 += "\xf0\x9f\x98\x80";
    XLS_BOOK u;
    ASSERT_EQ(TABX_open_book(&u, "CHARSET=UTF8"), 0);
    EXPECT_EQ(TABX_open_sheet(&u, ("SHEET_NAME=" + wide31 + " MODE=READ").c_str()), -909);
    EXPECT_EQ(message_utf8(&u), "TABX-03009 バッファサイズ(\"93\")オーバー(\"XLS_SHEET_LEN\")。");
    TABX_free_book(&u);
}

TEST_F(Access, ColumnCountIgnoresEmptiedCells) {
    EXPECT_EQ(TABX_column_num(&b, 0), 4);
    EXPECT_EQ(TABX_column_num(&b, 1), 0);  // never stored
    EXPECT_EQ(TABX_column_num(&b, 3), 1);  // E4 emptied, B4..D4 never stored
    EXPECT_EQ(TABX_column_num(&b, 5), 0);
    EXPECT_EQ(TABX_column_num(&b, -1), 0);
    EXPECT_EQ(b.sheets[0].rows[3].used, 5);  // the store still holds five
}

TEST_F(Access, GetCellsAlongAndDown) {
    std::vector<std::vector<char>> store(6, std::vector<char>(TABX_CELL_TEXT_BUF, 'x'));
    std::vector<char*> bufs;
    for (auto& s : store) bufs.push_back(s.data());
    ASSERT_EQ(TABX_get_cells(&b, 0, 0, 0, 1, 6, bufs.data()), 0);
    std::vector<std::string> got(bufs.begin(), bufs.end());
    EXPECT_EQ(got, (std::vector<std::string>{sjis("りんご"), "1,234,567", "0.25", "", "", ""}));
    ASSERT_EQ(TABX_get_cells(&b, 1, 0, 0, 0, 6, bufs.data()), 0);
    got.assign(bufs.begin(), bufs.end());
    // Row 2 has no cells: the walk stops there.
    EXPECT_EQ(got, (std::vector<std::string>{sjis("品名"), "", "", "", "", ""}));
    ASSERT_EQ(TABX_get_cells(&b, 1, 0, 2, 0, 3, bufs.data()), 0);
    got.assign(bufs.begin(), bufs.begin() + 3);
    EXPECT_EQ(got, (std::vector<std::string>{"2024/1/1", "7", ""}));
    // An invalid sheet index empties every buffer.
    EXPECT_EQ(TABX_get_cells(&b, 0, 9, 0, 0, 2, bufs.data()), 0);
    EXPECT_STREQ(bufs[0], "");
}

TEST_F(Access, FormatCellWithExplicitTypes) {
    char text[100];
    ASSERT_EQ(TABX_get_format_cell(&b, "C1", text, sizeof text, 0, 100, -1), 0);
    EXPECT_STREQ(text, "1234567");
    ASSERT_EQ(TABX_get_format_cell(&b, "A3", text, sizeof text, 333, 0, 0), 0);
    EXPECT_EQ(std::string(text), sjis("2024年1月1日"));
    ASSERT_EQ(TABX_get_format_cell(&b, "A3", text, sizeof text, 341, 0, 0), 0);
    EXPECT_STREQ(text, "Monday");
}

TEST_F(Access, DatesReachUtf8CallersInUtf8) {
    XLS_BOOK u;
    ASSERT_EQ(TABX_open_book(&u, "CHARSET=UTF8"), 0);
    ASSERT_EQ(tbx_add_sheet(&u, 0), 0);
    ASSERT_EQ(put_number(&u, 0, 0, 0, 14, 0, 45292), 0);
    char text[100];
    ASSERT_EQ(TABX_get_format_cell(&u, "A1", text, sizeof text, 343, 0, 0), 0);
    EXPECT_STREQ(text, "月曜日");
    TABX_close_book(&u, nullptr);
}

TEST(CellName, Table) {
    struct row {
        int r, c, rc;
        const char* name;
    } rows[] = {
        {1, 1, 0, "A1"},          {1, 27, 0, "AA1"},       {1, 26, 0, "Z1"},
        {1, 702, 0, "ZZ1"},       {1, 703, 0, "AAA1"},     {1048576, 16384, 0, "XFD1048576"},
        {0, 1, -3, ""},           {1, 0, -3, ""},          {1048577, 1, -3, ""},
        {1, 16385, -3, ""},
    };
    for (const row& r : rows) {
        char name[16] = "junk";
        EXPECT_EQ(TABX_cell_name(r.r, r.c, name), r.rc) << r.r << "," << r.c;
        EXPECT_STREQ(name, r.name);
    }
    char range[32];
    EXPECT_EQ(TABX_cell_range(1, 1, 1048576, 16384, range), 0);
    EXPECT_STREQ(range, "A1:XFD1048576");
    EXPECT_EQ(TABX_cell_range(1, 1, 0, 1, range), -3);
    int r1, c1, r2, c2;
    EXPECT_EQ(TABX_is_cell(nullptr, "$c$7", &r1, &c1), 0);
    EXPECT_EQ(r1, 7);
    EXPECT_EQ(c1, 3);
    EXPECT_EQ(TABX_is_cell(nullptr, "hello", &r1, &c1), -801);
    EXPECT_EQ(TABX_is_cell(nullptr, std::string(4001, 'A').c_str(), &r1, &c1), -3);
    EXPECT_EQ(TABX_is_range(nullptr, "B2:D9", &r1, &c1, &r2, &c2), 0);
    EXPECT_EQ(r2, 9);
    EXPECT_EQ(c2, 4);
    EXPECT_EQ(TABX_is_range(nullptr, "B2:", &r1, &c1, &r2, &c2), -801);
}

}  // namespace
