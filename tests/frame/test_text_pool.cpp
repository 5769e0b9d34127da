// Value texts taken from a book's text pool: kept, replaced and released
// like heap texts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "cell_format.h"
#include "tabx.h"
#include "tbx_store.h"

namespace {

struct TextPool : ::testing::Test {
    XLS_BOOK b{};
    void SetUp() override {
        ASSERT_EQ(TABX_open_book(&b, ""), 0);
        ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
    }
    void TearDown() override { TABX_free_book(&b); }

    XLS_CELL* cell(int row, int column) {
        XLS_CELL* c = nullptr;
        EXPECT_EQ(tbx_ensure_cell(&b, 0, row, column, &c), 0);
        return c;
    }
};

TEST_F(TextPool, PooledTextsHoldTheirValues) {
    // More texts than one pool block holds, beside numbers of a precision
    // that keeps its text.
    for (int r = 0; r < 40000; ++r) {
        tbx_value v;
        v.book = &b;
        std::string text = std::to_string(r * 7 - 1000);
        v.text = text.c_str();
        ASSERT_EQ(put_typed_value(TBX_CHARACTER, cell(r, 0), &v), 0);
        v.number = r / 8.0;
        v.decimals = 3;
        ASSERT_EQ(put_typed_value(TBX_FLOAT, cell(r, 1), &v), 0);
    }
    for (int r = 0; r < 40000; r += 997) {
        EXPECT_EQ(std::string(cell(r, 0)->text), std::to_string(r * 7 - 1000));
        char expect[64], buf[TBX_VALUE_TEXT_BUF];
        std::snprintf(expect, sizeof expect, "%.3f", r / 8.0);
        EXPECT_STREQ(cell_value_text(cell(r, 1), buf), expect);
    }
}

TEST_F(TextPool, ReplacingAPooledTextWithAndWithoutBook) {
    tbx_value v;
    v.book = &b;
    v.text = "first";
    XLS_CELL* c = cell(0, 0);
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &v), 0);
    EXPECT_STREQ(c->text, "first");
    // A caller without the book replaces the pooled text: it is not freed
    // on its own, and the heap text that replaces it is.
    tbx_value plain;
    plain.text = "second";
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &plain), 0);
    EXPECT_STREQ(c->text, "second");
    v.text = "third";
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &v), 0);
    EXPECT_STREQ(c->text, "third");
    // A date keeps no text.
    v.year = 2024, v.month = 1, v.day = 2;
    ASSERT_EQ(put_typed_value(TBX_DATE, c, &v), 0);
    EXPECT_EQ(c->flags & TABX_CELL_TEXT, 0);
}

TEST_F(TextPool, LongTextsComeFromTheHeap) {
    std::string s(5000, 'x');
    tbx_value v;
    v.book = &b;
    v.text = s.c_str();
    XLS_CELL* c = cell(3, 3);
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, c, &v), 0);
    EXPECT_EQ(std::string(c->text), s);
    tbx_free_cell_text(nullptr);  // allowed
}

TEST_F(TextPool, ReleasedWithTheStoreAndUsableAgain) {
    tbx_value v;
    v.book = &b;
    v.text = "kept";
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, cell(1, 1), &v), 0);
    tbx_release_store(&b);
    EXPECT_EQ(b.sheet_count, 0);
    ASSERT_EQ(tbx_add_sheet(&b, 0), 0);
    v.text = "again";
    ASSERT_EQ(put_typed_value(TBX_CHARACTER, cell(1, 1), &v), 0);
    EXPECT_STREQ(cell(1, 1)->text, "again");
}

}  // namespace
