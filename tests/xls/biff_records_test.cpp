// The record handler, fed with record streams built here, storing into a
// recording book.
#include <gtest/gtest.h>

#include <cmath>

#include "biff_fixtures.h"
#include "biff_text.h"

namespace {

using namespace bt;
using xls::biff_reader;

TEST(RkValue, DecodesIntegersFloatsAndHundredths) {
    auto float_rk = [](double d, bool hundredths) {
        uint64_t b;
        std::memcpy(&b, &d, 8);
        return static_cast<uint32_t>(b >> 32) | (hundredths ? 1u : 0u);
    };
    struct {
        uint32_t rk;
        double value;
    } cases[] = {
        {(static_cast<uint32_t>(-5) << 2) | 2, -5},
        {(1234u << 2) | 3, 12.34},
        {(0u << 2) | 2, 0},
        {0x7FFFFFFEu, 536870911},  // largest positive integer
        {0x80000002u, -536870912}, // most negative integer
        {float_rk(100000.25, false), 100000.25},
        {float_rk(1.5, false), 1.5},
        {float_rk(1234.5, true), 12.345},
    };
    for (const auto& c : cases) EXPECT_DOUBLE_EQ(xls::rk_value(c.rk), c.value) << std::hex << c.rk;
}

TEST(BiffCells, NumbersTakeTheNumberFormatOfTheirCellFormat) {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    st.add(xls::BIFF_XF, xf(14));
    st.add(xls::BIFF_XF, xf(0, true));
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("S"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_NUMBER, number(0, 0, 2.5, 1));
    st.add(xls::BIFF_RK, rk(1, 2, (static_cast<uint32_t>(-5) << 2) | 2, 0));
    st.add(xls::BIFF_MULRK, bytes().u16(3).u16(4).u16(0).u32((1u << 2) | 2).u16(1).u32((2u << 2) | 2)
                                .u16(2).u32((3u << 2) | 2).u16(6));
    st.add(xls::BIFF_MULRK, bytes().u16(5).u16(0).u16(0));  // too short: nothing
    st.add(xls::BIFF_BLANK, cell(6, 1));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.xfs, (std::vector<int>{0, 14, -1}));
    const auto* n = b.find(0, 0, 0);
    ASSERT_TRUE(n);
    EXPECT_EQ(n->kind, 'n');
    EXPECT_EQ(n->number, 2.5);
    EXPECT_EQ(n->numfmt, 14);
    EXPECT_EQ(n->xf, 1);
    EXPECT_EQ(b.find(0, 1, 2)->number, -5);
    for (int i = 0; i < 3; ++i) {
        const auto* m = b.find(0, 3, 4 + i);
        ASSERT_TRUE(m) << i;
        EXPECT_EQ(m->number, i + 1);
        EXPECT_EQ(m->numfmt, i == 1 ? 14 : (i == 2 ? -1 : 0));
    }
    EXPECT_FALSE(b.find(0, 3, 7));
    EXPECT_FALSE(b.find(0, 5, 0));
    EXPECT_EQ(b.find(0, 6, 1)->kind, 'e');
}

TEST(BiffCells, FormulaResults) {
    stream st = one_sheet();
    st.add(xls::BIFF_FORMULA, formula_number(0, 0, 1.99));
    st.add(xls::BIFF_FORMULA, formula_special(1, 0, 0));
    st.add(0x04BC, std::string(10, '\0'));  // a shared formula between them
    st.add(xls::BIFF_STRING, bytes().u16(3).u8(0).raw("abc"));
    st.add(xls::BIFF_FORMULA, formula_special(2, 0, 1, 1));  // TRUE
    st.add(xls::BIFF_STRING, bytes().u16(1).u8(0).raw("x"));  // no formula waits for it
    st.add(xls::BIFF_FORMULA, formula_special(3, 0, 0));
    st.add(xls::BIFF_STRING, bytes().u16(2).u8(1).wide(u"\u65e5\u672c"));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.find(0, 0, 0)->number, 1.99);
    EXPECT_EQ(b.find(0, 1, 0)->text, "abc");
    EXPECT_EQ(b.find(0, 2, 0)->text, "TRUE");
    EXPECT_EQ(b.find(0, 3, 0)->text, "日本");
}

// Booleans and errors show the text a person sees in the cell, whether they
// come from a BOOLERR record or are the result of a formula.
TEST(BiffCells, BooleansAndErrorsShowTheirText) {
    struct {
        bool formula;
        unsigned kind_or_error;  // formula: result kind 1/2/3; BOOLERR: 0 boolean, 1 error
        unsigned value;
        const char* shown;       // nullptr: the cell stays without a value
    } cases[] = {
        {false, 0, 1, "TRUE"},     {false, 0, 0, "FALSE"},     {false, 0, 2, "TRUE"},
        {false, 1, 0x00, "#NULL!"}, {false, 1, 0x07, "#DIV/0!"}, {false, 1, 0x0F, "#VALUE!"},
        {false, 1, 0x17, "#REF!"},  {false, 1, 0x1D, "#NAME?"},  {false, 1, 0x24, "#NUM!"},
        {false, 1, 0x2A, "#N/A"},   {false, 1, 0x99, "#N/A"},
        {true, 1, 1, "TRUE"},       {true, 1, 0, "FALSE"},       {true, 2, 0x07, "#DIV/0!"},
        {true, 2, 0x2A, "#N/A"},    {true, 3, 0, nullptr},
    };
    stream st = one_sheet();
    unsigned row = 0;
    for (const auto& c : cases) {
        if (c.formula) {
            st.add(xls::BIFF_FORMULA, formula_special(row++, 1, c.kind_or_error, c.value));
        } else {
            st.add(xls::BIFF_BOOLERR, bytes().raw(cell(row++, 1)).u8(c.value).u8(c.kind_or_error));
        }
    }
    // A string that no formula waits for after a boolean result.
    st.add(xls::BIFF_STRING, bytes().u16(1).u8(0).raw("x"));
    st.add(xls::BIFF_BOOLERR, bytes().raw(cell(0, 300)).u8(1).u8(0));  // column out of range
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    EXPECT_EQ(feed(b, st.s), 0);
    ASSERT_EQ(b.logged.size(), 1u);
    EXPECT_NE(b.logged[0].find("TABX-03600 内部処理エラー(\"BIFF_BOOLERR row/column overflow\")。"),
              std::string::npos);
    row = 0;
    for (const auto& c : cases) {
        const auto* v = b.find(0, static_cast<int>(row++), 1);
        ASSERT_TRUE(v) << row;
        if (c.shown) {
            EXPECT_EQ(v->kind, 't') << row;
            EXPECT_EQ(v->text, c.shown) << row;
        } else {
            EXPECT_EQ(v->kind, 'p') << row;
        }
    }
}

TEST(BiffCells, LabelsInBothLayouts) {
    stream st = one_sheet();
    st.add(xls::BIFF_LABEL, bytes().raw(cell(0, 0)).u16(3).u8(0).raw("a\xE9z"));
    st.add(xls::BIFF_LABEL, bytes().raw(cell(0, 1)).u16(2).u8(1).wide(u"\u3042\u3044"));
    st.add(xls::BIFF_RSTRING, bytes().raw(cell(0, 2)).u16(2).u8(0).raw("ok").u16(0));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.find(0, 0, 0)->text, "a\xC3\xA9z");
    EXPECT_EQ(b.find(0, 0, 1)->text, "あい");
    EXPECT_EQ(b.find(0, 0, 2)->text, "ok");

    // The 5.0/95 layout: 8-bit text in the workbook's code page.
    struct {
        int codepage;  // 0: no CODEPAGE record
        std::string bytes;
        std::string utf8;
    } cases[] = {
        {932, "\x93\xFA\x96\x7B", "日本"},
        {0, "\x82\xA0", "あ"},
        {1252, "caf\xE9 \x80", "café €"},
        {10000, "\x8E", "é"},
    };
    for (const auto& c : cases) {
        stream s5;
        s5.add(xls::BIFF_BOF, bof(0x0005, 0x0500));
        if (c.codepage) s5.add(xls::BIFF_CODEPAGE, bytes().u16(c.codepage));
        s5.add(xls::BIFF_XF, xf(0));
        size_t bs = s5.add(xls::BIFF_BOUNDSHEET, bytes().u32(0).u16(0).u8(5).raw("Blatt"));
        s5.add(xls::BIFF_EOF, "");
        s5.patch32(bs + 4, static_cast<uint32_t>(s5.add(xls::BIFF_BOF, bof(0x0010, 0x0500))));
        s5.add(xls::BIFF_LABEL, bytes().raw(cell(2, 3)).u16(static_cast<unsigned>(c.bytes.size())).raw(c.bytes));
        s5.add(xls::BIFF_FORMULA, formula_special(4, 0, 0));
        s5.add(xls::BIFF_STRING, bytes().u16(static_cast<unsigned>(c.bytes.size())).raw(c.bytes));
        s5.add(xls::BIFF_EOF, "");
        fake_book b5;
        ASSERT_EQ(feed(b5, s5.s), 0) << c.codepage;
        ASSERT_EQ(b5.sheets, std::vector<std::string>{"Blatt"});
        ASSERT_TRUE(b5.find(0, 2, 3)) << c.codepage;
        EXPECT_EQ(b5.find(0, 2, 3)->text, c.utf8) << c.codepage;
        EXPECT_EQ(b5.find(0, 4, 0)->text, c.utf8) << c.codepage;
    }
}

TEST(BiffCells, LabelSstIndexMustLieInTheTable) {
    stream st = one_sheet();
    st.add(xls::BIFF_LABELSST, labelsst(0, 0, 1));
    st.add(xls::BIFF_LABELSST, labelsst(0, 1, 2));
    st.add(xls::BIFF_LABELSST, labelsst(0, 2, 0));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    b.sst = {"a", "b"};
    EXPECT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.find(0, 0, 0)->index, 1);
    EXPECT_FALSE(b.find(0, 0, 1));
    EXPECT_EQ(b.find(0, 0, 2)->index, 0);
    EXPECT_TRUE(b.messages.empty());
    ASSERT_EQ(b.logged.size(), 1u);
    EXPECT_NE(b.logged[0].find("TABX-03009 バッファサイズ(\"2\")オーバー(\"BIFF_LABELSST sst\")。"),
              std::string::npos);
}

struct limit_case {
    const char* what;
    uint16_t type;
    std::string data;
    std::string message;
};

TEST(BiffCells, PositionsSheetsAndCellFormatsAreChecked) {
    const limit_case cases[] = {
        {"NUMBER column 256", xls::BIFF_NUMBER, number(0, 256, 1),
         "TABX-03600 内部処理エラー(\"BIFF_NUMBER row/column overflow\")。"},
        {"RK column 300", xls::BIFF_RK, rk(0, 300, 2),
         "TABX-03600 内部処理エラー(\"BIFF_LABELSST row/column overflow\")。"},
        {"BLANK column 256", xls::BIFF_BLANK, cell(0, 256),
         "TABX-03600 内部処理エラー(\"BIFF_LABELSST row/column overflow\")。"},
        {"MULRK column 256", xls::BIFF_MULRK, bytes().u16(0).u16(256).u16(0).u32(2).u16(256),
         "TABX-03600 内部処理エラー(\"BIFF_MULRK row/column overflow\")。"},
        {"LABEL column 999", xls::BIFF_LABEL, bytes().raw(cell(0, 999)).u16(1).u8(0).raw("x"),
         "TABX-03600 内部処理エラー(\"BIFF_FORMULA row/column overflow\")。"},
        {"NUMBER cell format", xls::BIFF_NUMBER, number(0, 0, 1, 1),
         "TABX-03009 バッファサイズ(\"10\")オーバー(\"BIFF_NUMBER\")。"},
        {"RK cell format", xls::BIFF_RK, rk(0, 0, 2, 5), "TABX-03009 バッファサイズ(\"10\")オーバー(\"BIFF_RK\")。"},
        {"MULRK cell format", xls::BIFF_MULRK, bytes().u16(0).u16(0).u16(0).u32(2).u16(7).u32(2).u16(1),
         "TABX-03009 バッファサイズ(\"10\")オーバー(\"BIFF_MULRK\")。"},
        {"FORMULA cell format", xls::BIFF_FORMULA, formula_number(0, 0, 1, 3),
         "TABX-03009 バッファサイズ(\"10\")オーバー(\"BIFF_FORMULA\")。"},
    };
    // Such a record is passed over, named in the log; the cells after it
    // are read.
    for (const auto& c : cases) {
        stream st = one_sheet();
        st.add(c.type, c.data);
        st.add(xls::BIFF_NUMBER, number(9, 9, 9));
        st.add(xls::BIFF_EOF, "");
        fake_book b;
        EXPECT_EQ(feed(b, st.s), 0) << c.what;
        EXPECT_TRUE(b.messages.empty()) << c.what;
        ASSERT_EQ(b.logged.size(), 1u) << c.what;
        EXPECT_NE(b.logged[0].find(c.message), std::string::npos) << b.logged[0];
        EXPECT_TRUE(b.find(0, 9, 9)) << c.what;
    }
    // Column 255 and row 65535 are the last cells of a sheet.
    stream st = one_sheet();
    st.add(xls::BIFF_NUMBER, number(65535, 255, 7));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    EXPECT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.find(0, 65535, 255)->number, 7);
}

TEST(BiffCells, SubstreamsBeyondTheSheetListHaveNoCells) {
    // Eleven worksheet substreams but one sheet entry: the cells of the
    // other ten have no sheet to go to.
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet("only", 999999));
    st.add(xls::BIFF_EOF, "");
    for (int i = 0; i < 11; ++i) {
        st.add(xls::BIFF_BOF, bof(0x0010));
        st.add(xls::BIFF_RK, rk(0, 0, (static_cast<uint32_t>(i) << 2) | 2));
        st.add(xls::BIFF_EOF, "");
    }
    fake_book b;
    EXPECT_EQ(feed(b, st.s), 0);
    EXPECT_TRUE(b.messages.empty());
    EXPECT_EQ(b.find(0, 0, 0)->number, 0);  // the first substream went to the only sheet
    EXPECT_EQ(b.cells.size(), 1u);          // the others had no sheet to go to
}

TEST(BiffSheets, NamesInEveryLayout) {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet("Feuil\xE9"));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet16(u"\u30b7\u30fc\u30c8"));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet(std::string(93, 'a')));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet(std::string(94, 'b')));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet16(std::u16string(31, u'\u3042')));  // 93 bytes
    st.add(xls::BIFF_BOUNDSHEET, boundsheet16(std::u16string(32, u'\u3042')));  // 96 bytes
    st.add(xls::BIFF_BOUNDSHEET, bytes().u32(0).u16(0).u8(3).u8(1).u16(0x41));  // cut short
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    ASSERT_EQ(b.sheets.size(), 7u);
    EXPECT_EQ(b.sheets[0], "Feuil\xC3\xA9");
    EXPECT_EQ(b.sheets[1], "シート");
    EXPECT_EQ(b.sheets[2], std::string(93, 'a'));
    EXPECT_EQ(b.sheets[3], "");
    EXPECT_EQ(b.sheets[4].size(), 93u);
    EXPECT_EQ(b.sheets[5], "");
    EXPECT_EQ(b.sheets[6], "A");
}

TEST(BiffSheets, SubstreamsFindTheirEntryByOffset) {
    // A chart sheet comes first: its entry gets a sheet record, and the
    // worksheet's cells still land in the worksheet's record.
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    size_t chart = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Chart1", 0, 2));
    size_t ws = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Data"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(chart + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0020))));
    st.add(xls::BIFF_EOF, "");
    st.patch32(ws + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_NUMBER, number(0, 0, 42));
    st.add(xls::BIFF_BOF, bof(0x0020));  // an embedded chart inside the worksheet
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_NUMBER, number(1, 0, 43));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.sheets, (std::vector<std::string>{"Chart1", "Data"}));
    ASSERT_TRUE(b.find(1, 0, 0));
    ASSERT_TRUE(b.find(1, 1, 0));
    EXPECT_FALSE(b.find(0, 0, 0));
}

TEST(BiffSheets, SheetListAfterTheWorksheetsEndsTheStream) {
    stream st = one_sheet();
    st.add(xls::BIFF_NUMBER, number(0, 0, 1));
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_BOUNDSHEET, boundsheet("late"));
    st.add(xls::BIFF_NUMBER, number(5, 0, 1));
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.sheets.size(), 1u);
    EXPECT_FALSE(b.find(0, 5, 0));
}

TEST(BiffFormats, CellFormatTableLimit) {
    stream st;
    for (int i = 0; i < xls::BIFF_MAX_XF + 1; ++i) st.add(xls::BIFF_XF, xf(i % 50));
    fake_book b;
    EXPECT_EQ(feed(b, st.s), -9);
    EXPECT_EQ(b.xfs.size(), static_cast<size_t>(xls::BIFF_MAX_XF));
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0], "TABX-03009 バッファサイズ(\"64000\")オーバー(\"tbx_set_xf() MAX_XF\")。");
}

TEST(BiffFormats, NumberFormatsInBothLayouts) {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_FORMAT, bytes().u16(164).u16(10).u8(0).raw("yyyy/m/d;@"));
    st.add(xls::BIFF_FORMAT, bytes().u16(165).u16(4).u8(1).wide(u"m\"\u6708\""));
    st.add(xls::BIFF_FORMAT, bytes().u16(166).u16(50).u8(0).raw("0.0"));  // count beyond the record
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    ASSERT_EQ(b.numfmts.size(), 3u);
    EXPECT_EQ(b.numfmts[0], (std::pair<int, std::string>{164, "yyyy/m/d;@"}));
    EXPECT_EQ(b.numfmts[1], (std::pair<int, std::string>{165, "m\"月\""}));  // UTF-8
    EXPECT_EQ(b.numfmts[2], (std::pair<int, std::string>{166, "0.0"}));

    stream s5;
    s5.add(xls::BIFF_BOF, bof(0x0005, 0x0500));
    s5.add(xls::BIFF_FORMAT, bytes().u16(170).u8(6).raw("0.00%;"));
    s5.add(xls::BIFF_EOF, "");
    fake_book b5;
    ASSERT_EQ(feed(b5, s5.s), 0);
    ASSERT_EQ(b5.numfmts.size(), 1u);
    EXPECT_EQ(b5.numfmts[0], (std::pair<int, std::string>{170, "0.00%;"}));
}

TEST(BiffFormats, NumberFormatTableLimit) {
    stream st;
    for (int i = 0; i < 501; ++i) st.add(xls::BIFF_FORMAT, bytes().u16(164 + i).u16(1).u8(0).raw("0"));
    fake_book b;
    EXPECT_EQ(feed(b, st.s), -9);
    EXPECT_EQ(b.numfmts.size(), 500u);
    ASSERT_EQ(b.messages.size(), 1u);
    EXPECT_EQ(b.messages[0], "TABX-03009 バッファサイズ(\"500\")オーバー(\"TBX_MAX_NUMFORMAT\")。");
}

TEST(BiffTextObjects, TextFollowsTheTxoInContinueRecords) {
    stream st = one_sheet();
    st.add(xls::BIFF_TXO, bytes().u16(0x0212).u16(0).raw(std::string(6, '\0')).u16(5).u16(16).u32(0));
    st.add(xls::BIFF_CONTINUE, bytes().u8(0).raw("ab"));
    st.add(xls::BIFF_CONTINUE, bytes().u8(1).wide(u"\u3042c\u3044"));
    st.add(xls::BIFF_CONTINUE, bytes().u16(0).u16(0).u32(0).u16(5).u16(0).u32(0));  // runs
    st.add(xls::BIFF_TXO, bytes().u16(0x0212).u16(0).raw(std::string(6, '\0')).u16(0).u16(0).u32(0));
    st.add(xls::BIFF_TXO, bytes().u16(0x0212).u16(0).raw(std::string(6, '\0')).u16(9).u16(16).u32(0));
    st.add(xls::BIFF_CONTINUE, bytes().u8(0).raw("cut"));  // shorter than announced
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_CONTINUE, bytes().u8(0).raw("stray"));
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    ASSERT_EQ(b.objects.size(), 2u);
    EXPECT_EQ(b.objects[0], (std::pair<int, std::string>{0, "abあcい"}));
    EXPECT_EQ(b.objects[1], (std::pair<int, std::string>{0, "cut"}));
}

TEST(BiffStream, FilepassStopsBeforeAnyCell) {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_FILEPASS, bytes().u16(1).u16(1).raw(std::string(48, '\x5A')));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet("S"));
    fake_book b;
    EXPECT_EQ(feed(b, st.s), xls::BIFF_ENCRYPTED);
    EXPECT_TRUE(b.sheets.empty());
}

TEST(BiffStream, ZeroPaddingAfterEofEndsTheStream) {
    stream st = one_sheet();
    st.add(xls::BIFF_EOF, "");
    std::string padded = st.s + std::string(600, '\0') + bytes().u16(xls::BIFF_NUMBER).u16(14).raw(number(0, 0, 1)).s;
    fake_book b;
    ASSERT_EQ(feed(b, padded), 0);
    EXPECT_TRUE(b.cells.empty());
    // Other bytes after the EOF are read on as records.
    std::string garbage = st.s + bytes().u16(xls::BIFF_NUMBER).u16(14).raw(number(0, 0, 1)).s;
    fake_book g;
    ASSERT_EQ(feed(g, garbage), 0);
    EXPECT_TRUE(g.find(0, 0, 0));
}

TEST(BiffStream, RecordsShorterThanTheirFieldsArePassedOverWithALogLine) {
    const std::pair<uint16_t, std::string> cases[] = {
        {xls::BIFF_NUMBER, number(0, 0, 1).substr(0, 13)},
        {xls::BIFF_RK, rk(0, 0, 2).substr(0, 9)},
        {xls::BIFF_LABELSST, labelsst(0, 0, 0).substr(0, 9)},
        {xls::BIFF_FORMULA, formula_number(0, 0, 1).substr(0, 13)},
        {xls::BIFF_BLANK, cell(0, 0).substr(0, 3)},
        {xls::BIFF_BOOLERR, bytes().raw(cell(0, 0)).u8(1).s},
        {xls::BIFF_LABEL, bytes().raw(cell(0, 0)).u8(1).s},
        {xls::BIFF_XF, bytes().u16(0).u16(0).s},
        {xls::BIFF_BOUNDSHEET, bytes().u32(0).u16(0).s},
        {xls::BIFF_FORMAT, bytes().u16(164).u16(1).s},
        {xls::BIFF_BOF, bytes().u16(0x0600).s},
    };
    for (const auto& c : cases) {
        // The short record sits in the globals or in the sheet; the cell
        // after it is read.
        const bool global = c.first == xls::BIFF_XF || c.first == xls::BIFF_BOUNDSHEET ||
                            c.first == xls::BIFF_FORMAT;
        stream st;
        st.add(xls::BIFF_BOF, bof(0x0005));
        if (global) st.add(c.first, c.second);
        st.add(xls::BIFF_XF, xf(0));
        size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Sheet1"));
        st.add(xls::BIFF_EOF, "");
        st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
        if (!global) st.add(c.first, c.second);
        st.add(xls::BIFF_NUMBER, number(3, 1, 7));
        st.add(xls::BIFF_EOF, "");
        fake_book b;
        EXPECT_EQ(feed(b, st.s), 0) << std::hex << c.first;
        ASSERT_EQ(b.logged.size(), 1u) << std::hex << c.first;
        EXPECT_NE(b.logged[0].find("shorter than its fields"), std::string::npos);
        ASSERT_TRUE(b.find(0, 3, 1)) << std::hex << c.first;
        EXPECT_EQ(b.find(0, 3, 1)->number, 7);
        EXPECT_FALSE(b.find(0, 0, 0)) << std::hex << c.first;
    }
    // A short cell format keeps its place: the one after it is still 2.
    stream st;
    st.add(xls::BIFF_XF, xf(0));
    st.add(xls::BIFF_XF, bytes().u16(0));
    st.add(xls::BIFF_XF, xf(14));
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.xfs, (std::vector<int>{0, 0, 14}));
}

TEST(BiffSheets, EmbeddedChartsKeepTheirSeriesToThemselves) {
    // A data sheet with a chart inside: the chart's substream carries its
    // series values as cell records; they are the chart's, not the sheet's.
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    size_t ws = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Data"));
    size_t chart = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Chart1", 0, 2));
    st.add(xls::BIFF_SST, bytes().u32(1).u32(1).u16(14).u8(0).raw("HEADER TEXT A1"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(ws + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_LABELSST, labelsst(0, 0, 0));
    st.add(xls::BIFF_NUMBER, number(5, 0, 6));
    st.add(xls::BIFF_BOF, bof(0x0020));
    st.add(xls::BIFF_NUMBER, number(0, 0, 100));  // the series' cached values
    st.add(xls::BIFF_NUMBER, number(5, 0, 101));
    st.add(xls::BIFF_LABEL, bytes().raw(cell(7, 0)).u16(1).u8(0).raw("s"));
    st.add(xls::BIFF_BOF, bof(0x0020));  // deeper still
    st.add(xls::BIFF_NUMBER, number(9, 9, 1));
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_TXO, bytes().u16(0x0212).u16(0).raw(std::string(6, '\0')).u16(5).u16(16).u32(0));
    st.add(xls::BIFF_CONTINUE, bytes().u8(0).raw("title"));
    st.add(xls::BIFF_NUMBER, number(8, 0, 102));
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_NUMBER, number(7, 0, 8));  // the sheet goes on
    st.add(xls::BIFF_TXO, bytes().u16(0x0212).u16(0).raw(std::string(6, '\0')).u16(4).u16(16).u32(0));
    st.add(xls::BIFF_CONTINUE, bytes().u8(0).raw("note"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(chart + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0020))));
    st.add(xls::BIFF_NUMBER, number(0, 0, 55));  // a chart sheet has no cells either
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    ASSERT_EQ(b.cells.size(), 3u);
    EXPECT_EQ(b.find(0, 0, 0)->kind, 's');
    EXPECT_EQ(b.find(0, 5, 0)->number, 6);
    EXPECT_EQ(b.find(0, 7, 0)->number, 8);
    // A shape drawn in the chart shows on the sheet: its text is kept; each
    // chart (one without series here) gives its line where it ends.
    EXPECT_EQ(b.objects, (std::vector<std::pair<int, std::string>>{
                             {0, "title"}, {0, "【グラフ】"}, {0, "note"}, {1, "【グラフ】"}}));
}

TEST(BiffCells, TextsGoOnInContinueRecords) {
    // =REPT("あ",8000)&REPT("b",2000): the STRING holds what fits, each
    // CONTINUE opens with its own option byte.
    stream st = one_sheet();
    st.add(xls::BIFF_FORMULA, formula_special(0, 0, 0));
    st.add(xls::BIFF_STRING, bytes().u16(10000).u8(1).wide(std::u16string(4000, u'\u3042')));
    st.add(xls::BIFF_CONTINUE, bytes().u8(1).wide(std::u16string(4000, u'\u3042')));
    st.add(xls::BIFF_CONTINUE, bytes().u8(0).raw(std::string(2000, 'b')));
    // A LABEL the same way, and a STRING whose CONTINUE never comes.
    st.add(xls::BIFF_LABEL, bytes().raw(cell(1, 0)).u16(9000).u8(0).raw(std::string(8000, 'c')));
    st.add(xls::BIFF_CONTINUE, bytes().u8(1).wide(std::u16string(1000, u'\u3044')));
    st.add(xls::BIFF_FORMULA, formula_special(2, 0, 0));
    st.add(xls::BIFF_STRING, bytes().u16(50).u8(0).raw("cut"));
    st.add(xls::BIFF_NUMBER, number(3, 0, 1));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    std::string a8000;
    for (int i = 0; i < 8000; ++i) a8000 += "あ";
    std::string i1000;
    for (int i = 0; i < 1000; ++i) i1000 += "い";
    EXPECT_TRUE(b.find(0, 0, 0)->text == a8000 + std::string(2000, 'b'));
    EXPECT_TRUE(b.find(0, 1, 0)->text == std::string(8000, 'c') + i1000);
    EXPECT_EQ(b.find(0, 2, 0)->text, "cut");
    EXPECT_EQ(b.find(0, 3, 0)->number, 1);
}

TEST(BiffText, EightBitTextsInTheWorkbooksCodePage) {
    // 5.0/95: sheet names, labels, format codes and notes in the code page
    // of the CODEPAGE record, converted once by the reader.
    struct {
        int codepage;
        std::string name, name_utf8, note, note_utf8, format, format_utf8;
    } cases[] = {
        {1252, "Caf\xE9 \xDC" "ber", "Café Über", "r\xE9sum\xE9 \x80", "résumé €", "#,##0 \x80", "#,##0 €"},
        {932, "\x93\xFA\x96\x7B", "日本", "\x83\x81\x83\x82", "メモ", "#,##0\"\x89\x7E\"", "#,##0\"円\""},
    };
    for (const auto& c : cases) {
        stream s5;
        s5.add(xls::BIFF_BOF, bof(0x0005, 0x0500));
        s5.add(xls::BIFF_CODEPAGE, bytes().u16(c.codepage));
        s5.add(xls::BIFF_FORMAT, bytes().u16(170).u8(static_cast<unsigned>(c.format.size())).raw(c.format));
        s5.add(xls::BIFF_XF, xf(0));
        size_t bs = s5.add(xls::BIFF_BOUNDSHEET, bytes().u32(0).u16(0).u8(static_cast<unsigned>(c.name.size())).raw(c.name));
        s5.add(xls::BIFF_EOF, "");
        s5.patch32(bs + 4, static_cast<uint32_t>(s5.add(xls::BIFF_BOF, bof(0x0010, 0x0500))));
        // A note whose text goes on in a second NOTE record (row 0xFFFF).
        const size_t half = 2;
        s5.add(xls::BIFF_NOTE, bytes().u16(1).u16(1).u16(static_cast<unsigned>(c.note.size())).raw(c.note.substr(0, half)));
        s5.add(xls::BIFF_NOTE, bytes().u16(0xFFFF).u16(0).u16(static_cast<unsigned>(c.note.size() - half)).raw(c.note.substr(half)));
        s5.add(xls::BIFF_NOTE, bytes().u16(2).u16(2).u16(2).raw("ok"));
        s5.add(xls::BIFF_EOF, "");
        fake_book b;
        ASSERT_EQ(feed(b, s5.s), 0) << c.codepage;
        EXPECT_EQ(b.sheets, std::vector<std::string>{c.name_utf8});
        EXPECT_EQ(b.objects, (std::vector<std::pair<int, std::string>>{{0, c.note_utf8}, {0, "ok"}}));
        ASSERT_EQ(b.numfmts.size(), 1u);
        EXPECT_EQ(b.numfmts[0].second, c.format_utf8);
    }
    // BIFF8 compressed format codes are Latin-1: "¥" (0xA5) comes out as
    // the same code as from a writer of UTF-16 characters.
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_FORMAT, bytes().u16(164).u16(8).u8(0).raw("\"\xA5\"#,##0"));
    st.add(xls::BIFF_FORMAT, bytes().u16(165).u16(8).u8(1).wide(u"\"\u00A5\"#,##0"));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    ASSERT_EQ(b.numfmts.size(), 2u);
    EXPECT_EQ(b.numfmts[0].second, b.numfmts[1].second);
    EXPECT_EQ(b.numfmts[0].second, "\"¥\"#,##0");
}

// A stream that ends where it cannot (inside a substream, a record cut off
// by the end) is refused: what followed would be missing without a word.
// Trailing bytes after the last substream are passed over.
TEST(BiffStream, EveryTruncationIsRefused) {
    stream st = one_sheet();
    st.add(xls::BIFF_SST, bytes().u32(2).u32(2).u16(3).u8(0).raw("abc").u16(2).u8(1).wide(u"xy"));
    st.add(xls::BIFF_LABELSST, labelsst(0, 0, 1));
    st.add(xls::BIFF_MULRK, bytes().u16(1).u16(0).u16(0).u32(6).u16(0).u32(10).u16(1));
    st.add(xls::BIFF_FORMULA, formula_special(2, 0, 0));
    st.add(xls::BIFF_STRING, bytes().u16(3).u8(0).raw("str"));
    st.add(xls::BIFF_EOF, "");
    for (size_t n = 1; n < st.s.size(); ++n) {
        fake_book b;
        EXPECT_EQ(feed(b, st.s.substr(0, n)), xls::BIFF_CUT) << n;
    }
    fake_book empty;
    EXPECT_EQ(feed(empty, ""), 0);
    for (const std::string& tail : {std::string("\0", 1), std::string(3, '\0'), std::string("\x09\x08\xFF\xFF", 4)}) {
        fake_book b;
        ASSERT_EQ(feed(b, st.s + tail), 0) << tail.size();
        EXPECT_EQ(b.sst, (std::vector<std::string>{"abc", "xy"}));
        EXPECT_EQ(b.find(0, 2, 0)->text, "str");
    }
    // A record whose length runs past the end, anywhere before the last EOF:
    // in the sheet list, among the cells, the last EOF itself.
    for (size_t at = 0; at + 4 <= st.s.size(); at += 4 + (static_cast<unsigned char>(st.s[at + 2]) |
                                                          static_cast<unsigned char>(st.s[at + 3]) << 8)) {
        std::string bad = st.s;
        bad[at + 2] = bad[at + 3] = '\xFF';
        fake_book b;
        EXPECT_EQ(feed(b, bad), xls::BIFF_CUT) << "record at " << at;
    }
    // A sheet whose entry points past the end of the stream (a writer's
    // wrong offset) does not make a whole stream a cut one.
    stream odd;
    odd.add(xls::BIFF_BOF, bof(0x0005));
    odd.add(xls::BIFF_BOUNDSHEET, boundsheet("S", 999999));
    odd.add(xls::BIFF_EOF, "");
    fake_book b;
    EXPECT_EQ(feed(b, odd.s), 0);
}

// A stream held in pieces (the sectors of a chain) gives the records of the
// whole stream wherever the boundaries cut them, and the same refusal when
// the last record is cut off.
TEST(BiffStream, PiecesGiveTheRecordsOfTheWholeStream) {
    stream st = one_sheet();
    st.add(xls::BIFF_SST, bytes().u32(2).u32(2).u16(3).u8(0).raw("abc").u16(2).u8(1).wide(u"xy"));
    st.add(xls::BIFF_LABELSST, labelsst(0, 0, 1));
    st.add(xls::BIFF_NUMBER, number(0, 1, 42));
    st.add(xls::BIFF_LABEL, bytes().raw(cell(1, 0)).u16(3).u8(0).raw("lbl"));
    st.add(xls::BIFF_NUMBER, "\x01");  // too short: a log line naming its offset
    st.add(xls::BIFF_EOF, "");
    auto state = [](const fake_book& b) {
        std::string out;
        for (const std::string& s : b.sheets) out += "sheet " + s + "\n";
        for (const auto& c : b.cells)
            out += std::to_string(std::get<1>(c.first)) + "," + std::to_string(std::get<2>(c.first)) + " " +
                   c.second.kind + c.second.text + std::to_string(c.second.number) + std::to_string(c.second.index) +
                   "\n";
        for (const std::string& s : b.sst) out += "sst " + s + "\n";
        for (const std::string& s : b.logged) out += "log " + s + "\n";
        return out;
    };
    auto feed_pieces = [](fake_book& b, const std::vector<xls::stream_piece>& pieces) {
        xls::biff_reader reader(b);
        return xls::feed_records(reader, pieces.data(), pieces.size(), nullptr, nullptr);
    };
    const unsigned char* p = reinterpret_cast<const unsigned char*>(st.s.data());
    const size_t n = st.s.size();
    for (size_t cut_end : {n, n - 3}) {
        fake_book whole;
        const int expected_rc = feed(whole, st.s.substr(0, cut_end));
        ASSERT_EQ(expected_rc, cut_end == n ? 0 : xls::BIFF_CUT);
        const std::string expected = state(whole);
        ASSERT_NE(expected.find("log "), std::string::npos);
        for (size_t k = 0; k <= cut_end; ++k) {
            fake_book b;
            EXPECT_EQ(feed_pieces(b, {{p, k}, {p + k, 0}, {p + k, cut_end - k}}), expected_rc);
            EXPECT_EQ(state(b), expected) << "cut at " << k;
        }
        std::vector<xls::stream_piece> bytes_one_by_one;
        for (size_t k = 0; k < cut_end; ++k) bytes_one_by_one.push_back({p + k, 1});
        fake_book b;
        EXPECT_EQ(feed_pieces(b, bytes_one_by_one), expected_rc);
        EXPECT_EQ(state(b), expected);
    }
}

}  // namespace
