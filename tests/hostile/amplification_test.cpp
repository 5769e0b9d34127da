// Rows and columns cost memory that the file does not pay for: a cell in the
// last row makes the sheet hold a million row records (a cell at the last
// column costs its row one cell, the row being sparse).  The store refuses
// growth beyond its budget with the memory code instead of exhausting the
// machine.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hostile_support.h"
#include "mfile.h"
#include "tabx.h"
#include "tbx_store.h"

namespace {

int open_memory_workbook(const std::string& sheet_xml, XLS_BOOK* book) {
    std::string bytes = ht::zip_bytes([&](ht::zip_writer& z) {
        ht::workbook_members(z, sheet_xml, "<sheet name=\"S\" r:id=\"rId1\"/>");
        z.finish();
    });
    ht::put_memory_file("wide.xlsx", bytes);
    return TABX_open_book(book, "EXCEL=\"wide.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE");
}

std::string last_column_rows(int rows) {
    std::string xml = "<worksheet><sheetData>";
    for (int r = 1; r <= rows; ++r) {
        std::string n = std::to_string(r);
        xml += "<row r=\"" + n + "\"><c r=\"XFD" + n + "\" s=\"0\"/></row>";
    }
    return xml + "</sheetData></worksheet>";
}

struct StoreBudget : ::testing::Test {
    void TearDown() override { tbx_set_slot_budget(0); }
};

TEST_F(StoreBudget, CellsAtTheLastColumnCostTheirCellsNotTheirWidth) {
    // 2,000 rows with a cell at XFD: 2,000 cells, not 2,000 x 16,385 cell
    // records (which once made a 27 KB file ask for gigabytes); 1 MiB holds
    // them.
    tbx_set_slot_budget(1 << 20);
    XLS_BOOK book;
    ASSERT_EQ(open_memory_workbook(last_column_rows(2000), &book), 0) << book.error_info;
    EXPECT_EQ(TABX_row_num(&book), 2000);
    EXPECT_EQ(TABX_column_num(&book, 1999), 0);  // an empty cell at XFD
    char text[16];
    EXPECT_EQ(TABX_get_cell(&book, "XFD2000", text, sizeof text, nullptr, 0), 0);
    EXPECT_EQ(TABX_get_cell(&book, "C2000", text, sizeof text, nullptr, 0), 0) << "an empty cell below it";
    TABX_close_book(&book, "DESTROY");
    // Cells that are really there are refused beyond the budget all the same.
    tbx_set_slot_budget(64 << 10);
    std::string wide = "<worksheet><sheetData>";
    for (int r = 1; r <= 10; ++r) {
        wide += "<row r=\"" + std::to_string(r) + "\">";
        for (int c = 0; c < 500; ++c) wide += "<c><v>1</v></c>";
        wide += "</row>";
    }
    EXPECT_EQ(open_memory_workbook(wide + "</sheetData></worksheet>", &book), -2);
    EXPECT_NE(std::strstr(book.error_info, "TABX-00002"), nullptr);
    TABX_close_book(&book, "DESTROY");
}

TEST_F(StoreBudget, ACellInTheLastRowOfManySheetsIsRefusedAsMemory) {
    tbx_set_slot_budget(16 << 20);
    std::string bytes = ht::zip_bytes([&](ht::zip_writer& z) {
        std::string sheets;
        for (int i = 1; i <= 8; ++i)
            sheets += "<sheet name=\"S" + std::to_string(i) + "\" r:id=\"rId" + std::to_string(i) + "\"/>";
        ht::workbook_members(z, "<worksheet><sheetData><row r=\"1048576\"><c r=\"A1048576\" s=\"0\"/></row></sheetData></worksheet>",
                             sheets);
        for (int i = 2; i <= 8; ++i) {
            z.stored("xl/worksheets/sheet" + std::to_string(i) + ".xml",
                     "<worksheet><sheetData><row r=\"1048576\"><c r=\"A1048576\" s=\"0\"/></row></sheetData></worksheet>");
        }
        z.finish();
    });
    ht::put_memory_file("tall.xlsx", bytes);
    XLS_BOOK book;
    EXPECT_EQ(TABX_open_book(&book, "EXCEL=\"tall.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE"), -2);
    TABX_close_book(&book, "DESTROY");
}

TEST_F(StoreBudget, WorkbooksWithinTheBudgetLoadWhole) {
    tbx_set_slot_budget(64 << 20);
    XLS_BOOK book;
    ASSERT_EQ(open_memory_workbook(last_column_rows(20), &book), 0);
    EXPECT_EQ(TABX_row_num(&book), 20);
    TABX_close_book(&book, "DESTROY");
}

}  // namespace

namespace {

// Nesting, counts and positions named by the file end with their codes.
std::string nested(int depth, const std::string& open, const std::string& close) {
    std::string s;
    for (int i = 0; i < depth; ++i) s += open;
    for (int i = 0; i < depth; ++i) s += close;
    return s;
}

TEST(FileLimits, DeepNestingEndsTheMemberWithTheLimitCode) {
    XLS_BOOK book;
    ASSERT_EQ(open_memory_workbook("<worksheet>" + nested(5000, "<x>", "</x>") + "</worksheet>", &book), -1);
    EXPECT_NE(std::strstr(book.error_info, "rc=-9"), nullptr) << book.error_info;
    TABX_close_book(&book, "DESTROY");
}

TEST(FileLimits, RowsAndColumnsBeyondTheSheetAreRefused) {
    for (const char* cell : {"<row r=\"1048577\"><c r=\"A1048577\" s=\"0\"/></row>",
                             "<row r=\"1\"><c r=\"XFE1\" s=\"0\"/></row>",
                             "<row r=\"1\"><c r=\"A99999999999999999999\" s=\"0\"/></row>",
                             "<row r=\"-5\"><c r=\"A0\" s=\"0\"/></row>"}) {
        XLS_BOOK book;
        EXPECT_NE(open_memory_workbook(std::string("<worksheet><sheetData>") + cell + "</sheetData></worksheet>", &book),
                  0)
            << cell;
        TABX_close_book(&book, "DESTROY");
    }
}

}  // namespace
