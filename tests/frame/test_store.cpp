// The store's growth rules and limits, its release, and the message log.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "cell_format.h"
#include "tabx.h"
#include "tbx_message.h"
#include "tbx_private.h"
#include "tbx_store.h"
#include "test_support.h"

namespace {

struct book_fixture : ::testing::Test {
    XLS_BOOK b{};
    void SetUp() override { ASSERT_EQ(TABX_open_book(&b, ""), 0); }  // an empty new book
    void TearDown() override { TABX_free_book(&b); }
};

using Store = book_fixture;
using MessageLog = book_fixture;

TEST_F(Store, NewBookHasTenSheetSlots) {
    EXPECT_EQ(b.sheet_count, 0);
    EXPECT_EQ(b.sheet_capacity, 10);
    EXPECT_EQ(b.max_rows, 1048576);
    EXPECT_EQ(b.max_columns, 16384);
    EXPECT_EQ(b.max_formula_len, 32768);
    EXPECT_EQ(b.max_text_len, 65534);
    EXPECT_EQ(b.format, 12);
    EXPECT_STREQ(b.company, "MyCompany");
    EXPECT_STREQ(b.author, "MyName");
    EXPECT_EQ(b.raw_display, 0xFF);
}

TEST_F(Store, SheetTableGrowth) {
    struct step {
        int index, count, capacity;
    } steps[] = {{0, 1, 10}, {9, 10, 10}, {10, 11, 20}, {25, 26, 40}, {100, 101, 101}, {3, 101, 101}};
    for (const step& s : steps) {
        XLS_SHEET* sheet = nullptr;
        ASSERT_EQ(tbx_add_sheet(&b, s.index, &sheet), 0);
        EXPECT_EQ(b.sheet_count, s.count) << s.index;
        EXPECT_EQ(b.sheet_capacity, s.capacity) << s.index;
        EXPECT_EQ(sheet, &b.sheets[s.index]);
        EXPECT_EQ(sheet->index, s.index);
        EXPECT_EQ(sheet->row_capacity, 100);
        EXPECT_EQ(sheet->zoom, 100);
        EXPECT_DOUBLE_EQ(sheet->margin_side, 1.9);
    }
    EXPECT_EQ(tbx_add_sheet(&b, -1), -3);
    EXPECT_EQ(tbx_add_sheet(&b, TBX_MAX_SHEETS), -9);
}

TEST_F(Store, ExistingSheetsKeepTheirContent) {
    ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
    ASSERT_EQ(tbx_set_sheet_name(&b, 0, "first"), 0);
    XLS_CELL* c = nullptr;
    ASSERT_EQ(tbx_ensure_cell(&b, 0, 5, 5, &c), 0);
    tbx_value v;
    v.text = "kept";
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &v), 0);
    ASSERT_EQ(tbx_add_sheet(&b, 50), 0);  // moves the sheet table
    ASSERT_EQ(tbx_add_sheet(&b, 0), 0);   // an existing index
    EXPECT_STREQ(b.sheets[0].name, "first");
    ASSERT_NE(tbx_find_cell(&b, 0, 5, 5), nullptr);
    EXPECT_STREQ(tbx_find_cell(&b, 0, 5, 5)->text, "kept");
}

TEST_F(Store, RowGrowthAndLimit) {
    ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
    struct step {
        int row, capacity, used;
    } steps[] = {{0, 100, 1},     {99, 100, 100},      {100, 200, 101},
                 {50, 200, 101},  {1000, 1001, 1001},  {1048576, 1048577, 1048577}};
    for (const step& s : steps) {
        ASSERT_EQ(tbx_ensure_row(&b, 0, s.row), 0) << s.row;
        EXPECT_EQ(b.sheets[0].row_capacity, s.capacity) << s.row;
        EXPECT_EQ(b.sheets[0].used_rows, s.used) << s.row;
    }
    EXPECT_EQ(tbx_ensure_row(&b, 0, 1048577), -9);
    EXPECT_EQ(tbx_ensure_row(&b, 0, -1), -3);
    EXPECT_EQ(tbx_ensure_row(&b, 1, 0), -3);  // no such sheet
}

TEST_F(Store, CellGrowthAndLimit) {
    ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
    // Dense while the row is narrow; far columns with nothing in the row
    // make it sparse: its cells, not its width.
    struct step {
        int column, capacity, used;
        bool sparse;
        int count;
    } steps[] = {{0, 1, 1, false, 0},     {9, 10, 10, false, 0},     {10, 20, 11, false, 0},
                 {3, 20, 11, false, 0},   {100, 4, 101, true, 1},    {16384, 4, 16385, true, 2},
                 {50, 4, 16385, true, 3}, {16384, 4, 16385, true, 3}};
    for (const step& s : steps) {
        XLS_CELL* c = nullptr;
        ASSERT_EQ(tbx_ensure_cell(&b, 0, 2, s.column, &c), 0) << s.column;
        const XLS_ROW& r = b.sheets[0].rows[2];
        EXPECT_EQ(r.capacity, s.capacity) << s.column;
        EXPECT_EQ(r.used, s.used) << s.column;
        EXPECT_EQ(r.columns != nullptr, s.sparse) << s.column;
        EXPECT_EQ(r.count, s.count) << s.column;
        EXPECT_EQ(c, tbx_find_cell(&b, 0, 2, s.column));
    }
    const XLS_ROW& r = b.sheets[0].rows[2];
    EXPECT_EQ((std::vector<int>(r.columns, r.columns + r.count)), (std::vector<int>{50, 100, 16384}));
    // A column without a cell reads as an empty cell and is not stored.
    EXPECT_EQ(tbx_row_cell(r, 5000)->type, TBX_EMPTY);
    EXPECT_EQ(tbx_find_cell(&b, 0, 2, 5000), nullptr);
    EXPECT_EQ(tbx_row_cell(r, 16385), nullptr);
    EXPECT_EQ(tbx_ensure_cell(&b, 0, 2, 16385, nullptr), -9);
    EXPECT_EQ(tbx_ensure_cell(&b, 0, 2, -1, nullptr), -3);
    // A row never used has no cells allocated.
    EXPECT_EQ(b.sheets[0].rows[1].capacity, 0);
    EXPECT_EQ(b.sheets[0].rows[1].cells, nullptr);
}

// A row's cost follows its cells: a dense row whose cells lie far apart
// turns sparse (keeping what its cells hold), a sparse row that fills up
// turns dense again, in either order of columns.
TEST_F(Store, RowsTurnSparseAndDenseWithTheirCells) {
    ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
    auto put = [&](int row, int column, int value) {
        XLS_CELL* c = nullptr;
        ASSERT_EQ(tbx_ensure_cell(&b, 0, row, column, &c), 0);
        c->type = TBX_INTEGER;
        c->value = value;
        c->number = value;
    };
    // A header of ten filled cells, then one at XFD: sparse, the ten kept.
    for (int col = 0; col < 10; ++col) put(0, col, col);
    put(0, 16383, 99);
    const XLS_ROW& r0 = b.sheets[0].rows[0];
    EXPECT_NE(r0.columns, nullptr);
    EXPECT_EQ(r0.count, 11);
    EXPECT_EQ(tbx_row_columns(r0), 16384);
    for (int col = 0; col < 10; ++col) EXPECT_EQ(tbx_row_cell(r0, col)->value, col);
    EXPECT_EQ(tbx_row_cell(r0, 16383)->value, 99);
    // Filled from the right, a cell for every 16 columns and more: dense.
    for (int col = 1000; col >= 0; --col) put(1, col, col);
    const XLS_ROW& r1 = b.sheets[0].rows[1];
    EXPECT_EQ(r1.columns, nullptr);
    EXPECT_EQ(r1.used, 1001);
    for (int col : {0, 1, 500, 937, 1000}) EXPECT_EQ(tbx_row_cell(r1, col)->value, col) << col;
    // The row after a wide dense one starts with at most 64 slots, the next
    // with as many as that one used.
    put(2, 0, 7);
    EXPECT_EQ(b.sheets[0].rows[2].capacity, 64);
    put(3, 0, 8);
    EXPECT_EQ(b.sheets[0].rows[3].capacity, 1);
    // 20,000 rows of two cells at A and XFD cost their cells.
    for (int row = 10; row < 20010; ++row) {
        put(row, 0, row);
        put(row, 16383, -row);
    }
    size_t slots = 0;
    for (int row = 10; row < 20010; ++row) slots += b.sheets[0].rows[row].capacity;
    EXPECT_LE(slots, 20000u * 4);
    EXPECT_EQ(tbx_row_cell(b.sheets[0].rows[12345], 16383)->value, -12345);
}

TEST_F(Store, LaterRowsStartAsWideAsTheRowBefore) {
    ASSERT_EQ(tbx_add_sheet(&b, 1), 0);
    // Sheet 0: a header of 3 cells, then rows of 5 filled left to right.
    for (int col = 0; col < 3; ++col) ASSERT_EQ(tbx_ensure_cell(&b, 0, 0, col, nullptr), 0);
    EXPECT_EQ(b.sheets[0].rows[0].capacity, 4);  // a sheet's first row: 1, doubled
    for (int row = 1; row < 4; ++row)
        for (int col = 0; col < 5; ++col) ASSERT_EQ(tbx_ensure_cell(&b, 0, row, col, nullptr), 0);
    EXPECT_EQ(b.sheets[0].rows[1].capacity, 6);  // 3, doubled at column 3
    EXPECT_EQ(b.sheets[0].rows[2].capacity, 5);
    EXPECT_EQ(b.sheets[0].rows[3].capacity, 5);
    // A row that starts further right still gets its column.
    XLS_CELL* c = nullptr;
    ASSERT_EQ(tbx_ensure_cell(&b, 0, 9, 40, &c), 0);
    EXPECT_EQ(b.sheets[0].rows[9].capacity, 41);
    EXPECT_EQ(c, &b.sheets[0].rows[9].cells[40]);
    EXPECT_EQ(c->type, TBX_EMPTY);
    // Going back to an earlier row grows that row only.
    ASSERT_EQ(tbx_ensure_cell(&b, 0, 2, 7, nullptr), 0);
    EXPECT_EQ(b.sheets[0].rows[2].capacity, 10);
    EXPECT_EQ(b.sheets[0].rows[2].cells[6].type, TBX_EMPTY);
    // Another sheet's first row starts with what its cell needs.
    ASSERT_EQ(tbx_ensure_cell(&b, 1, 5, 2, nullptr), 0);
    EXPECT_EQ(b.sheets[1].rows[5].capacity, 3);
}

TEST_F(Store, TablesAndRelease) {
    ASSERT_EQ(tbx_add_sheet(&b, 2), 0);
    int index = -1;
    ASSERT_EQ(tbx_add_sst(&b, "abc", 3, &index), 0);
    EXPECT_EQ(index, 0);
    ASSERT_EQ(tbx_add_sst(&b, "", 0, &index), 0);
    EXPECT_EQ(index, 1);
    EXPECT_EQ(b.sst_count, 2);
    EXPECT_EQ(b.sst[0].length, 3);
    ASSERT_EQ(tbx_add_xf(&b, 14, &index), 0);
    EXPECT_EQ(b.xf[index].numfmt, 14);
    ASSERT_EQ(tbx_add_drawing(&b, 1, 2, "shape text"), 0);
    ASSERT_EQ(tbx_add_drawing(&b, 10, 0, nullptr), 0);
    ASSERT_EQ(b.drawing_count, 2);
    const XLS_OBJECT_TEXT* t = static_cast<const XLS_OBJECT_TEXT*>(b.drawings[0].data);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(t->tag, 302);
    EXPECT_STREQ(t->text, "shape text");
    EXPECT_EQ(b.drawings[1].data, nullptr);
    ASSERT_EQ(tbx_add_member(&b, "xl/workbook.xml"), 0);
    EXPECT_STREQ(b.members[0], "xl/workbook.xml");

    vt::scratch_dir dir;
    std::string temp = dir / "Vergle2003.tmp";
    ASSERT_TRUE(vt::write_file(temp, "stream"));
    std::snprintf(b.temp_path, sizeof b.temp_path, "%s", temp.c_str());
    tbx_release_store(&b);
    EXPECT_EQ(b.sheet_count, 0);
    EXPECT_EQ(b.sst_count, 0);
    EXPECT_EQ(b.xf_count, 0);
    EXPECT_EQ(b.numfmt_count, 0);
    EXPECT_EQ(b.drawing_count, 0);
    EXPECT_EQ(b.member_count, 0);
    EXPECT_EQ(b.sheets, nullptr);
    EXPECT_FALSE(vt::exists(temp));
    EXPECT_EQ(b.temp_path[0], '\0');
}

TEST(StoreWithoutBook, PrimitivesRefuseABookWithoutPrivateBlock) {
    XLS_BOOK b{};
    XLS_CELL* c = nullptr;
    EXPECT_EQ(tbx_add_sheet(&b, 0), -3);
    EXPECT_EQ(tbx_ensure_cell(&b, 0, 0, 0, &c), -3);
    EXPECT_EQ(tbx_add_sst(&b, "x", 1), -3);
    EXPECT_EQ(tbx_find_cell(&b, 0, 0, 0), nullptr);
    tbx_release_store(&b);  // harmless
    tbx_log(&b, "nothing");
    EXPECT_EQ(tbx_log_count(&b), 0);
}

TEST_F(Store, SheetNamesAreCutOnACharacterBoundary) {
    ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
    std::string name(98, 'a');
    name += "表";  // 3 bytes: 101 in all
    ASSERT_EQ(tbx_set_sheet_name(&b, 0, name.c_str()), 0);
    EXPECT_EQ(std::strlen(b.sheets[0].name), 98u);
    EXPECT_EQ(tbx_set_sheet_name(&b, 1, "x"), -3);
}

TEST_F(MessageLog, LinesFromCatalogueAndPendingNumbers) {
    tbx_log(&b, "plain detail\nsecond line ignored");
    tbx_log_pending(&b, 3000);
    tbx_log(&b, "book.xls");
    tbx_log_pending(&b, 2);
    tbx_log(&b, "after");
    tbx_log_pending(&b, 12345);
    tbx_log(&b, "unknown");
    tbx_log(&b, "cleared");
    ASSERT_EQ(tbx_log_count(&b), 5);
    EXPECT_STREQ(tbx_log_line(&b, 0), "plain detail");
    EXPECT_STREQ(tbx_log_line(&b, 1),
                 "ORB-03000: Officeファイルオープンエラー(\"book.xls\")。処理を中断します。");
    EXPECT_STREQ(tbx_log_line(&b, 2), "ORB-00002: メモリ不足です。処理を中断します。after");
    EXPECT_STREQ(tbx_log_line(&b, 3), "ORB-12345: unknown");
    EXPECT_STREQ(tbx_log_line(&b, 4), "cleared");
    EXPECT_EQ(tbx_log_line(&b, 5), nullptr);
}

TEST_F(MessageLog, KeepsTheLatest32LinesOf200Bytes) {
    for (int i = 0; i < 40; ++i) tbx_log(&b, std::to_string(i).c_str());
    ASSERT_EQ(tbx_log_count(&b), 32);
    EXPECT_STREQ(tbx_log_line(&b, 0), "8");
    EXPECT_STREQ(tbx_log_line(&b, 31), "39");
    std::string longer(150, 'x');
    longer += std::string(40, 'y') + "表表表表";  // 202 bytes
    tbx_log(&b, longer.c_str());
    EXPECT_EQ(std::strlen(tbx_log_line(&b, 31)), 199u);  // not inside a character
}

TEST(Messages, StoredInTheSystemCodePageAndCut) {
    XLS_BOOK b{};
    tbx_message(&b, TBX_MSG_KEYWORD, "FOO");
    // "TABX-02200 サポート外..." in Shift-JIS: "サ" is 0x83 0x54.
    EXPECT_EQ(std::string(b.error_info, 13), std::string("TABX-02200 \x83\x54"));
    std::string huge(7000, 'z');
    tbx_message(&b, TBX_MSG_CELL_NAME, huge.c_str());
    EXPECT_EQ(std::strlen(b.error_info), 6000u);
    EXPECT_STREQ(TABX_error_mesg(&b), "TABX-4000 book->log.error_info too long");
}

}  // namespace
