// An interrupt reaches inside the readers: the caller's cancel function is
// asked while a long sheet is scanned, a long legacy stream fed and a large
// member inflated, and the open ends with -5 and its message instead of
// reading to the end.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "hostile_support.h"
#include "mfile.h"
#include "orb_cancel.h"
#include "orb_zip.h"
#include "tabx.h"
#include "test_support.h"

namespace {

// Says stop at its stop_at-th question.
struct asker {
    int calls = 0;
    int stop_at = 2;
    static int ask(void* ctx) {
        asker* a = static_cast<asker*>(ctx);
        return ++a->calls >= a->stop_at ? 1 : 0;
    }
};

struct Interrupt : ::testing::Test {
    void TearDown() override {
        TABX_set_cancel(nullptr, nullptr);
        orb_set_cancel(nullptr, nullptr);
        mcloseall();
    }
};

std::string long_sheet(int rows) {
    std::string xml = "<worksheet><sheetData>";
    for (int r = 1; r <= rows; ++r)
        xml += "<row r=\"" + std::to_string(r) + "\"><c r=\"A" + std::to_string(r) + "\"><v>" + std::to_string(r) +
               "</v></c></row>";
    return xml + "</sheetData></worksheet>";
}

// The open of one workbook (a memory package or a legacy image on disk)
// with a cancel function that stops at its stop_at-th question (0: none).
struct open_result {
    int rc;
    int asked;
    std::string message;
    int rows;
};

open_result open_with(const std::string& keywords, int stop_at) {
    asker a;
    a.stop_at = stop_at;
    TABX_set_cancel(stop_at ? asker::ask : nullptr, &a);
    XLS_BOOK book;
    open_result r{TABX_open_book(&book, keywords.c_str()), 0, book.error_info, 0};
    if (r.rc == 0 && TABX_open_sheet2(&book, 0) == 0) r.rows = TABX_row_num(&book);
    TABX_close_book(&book, "DESTROY");
    TABX_set_cancel(nullptr, nullptr);
    r.asked = a.calls;
    return r;
}

TEST_F(Interrupt, ALongWorksheetIsLeftHalfway) {
    const std::string bytes = ht::zip_bytes([](ht::zip_writer& z) {
        ht::workbook_members(z, long_sheet(100000), "<sheet name=\"S\" r:id=\"rId1\"/>");
        z.finish();
    });
    const std::string open = "EXCEL=\"long.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE";
    ht::put_memory_file("long.xlsx", bytes);
    open_result whole = open_with(open, 0);
    ASSERT_EQ(whole.rc, 0) << whole.message;
    EXPECT_EQ(whole.rows, 100000);
    // Asked while the one worksheet is scanned (and its member inflated):
    // more than a few times in a sheet this long, so the stop comes inside it.
    ht::put_memory_file("long.xlsx", bytes);
    open_result counted = open_with(open, 1 << 30);
    EXPECT_GT(counted.asked, 10);
    ht::put_memory_file("long.xlsx", bytes);
    open_result stopped = open_with(open, counted.asked / 2);
    EXPECT_EQ(stopped.rc, -5);
    EXPECT_EQ(stopped.asked, counted.asked / 2);
    EXPECT_NE(stopped.message.find("TABX-00003"), std::string::npos) << stopped.message;
}

TEST_F(Interrupt, ALongLegacyStreamIsLeftHalfway) {
    std::string cells;
    for (int r = 0; r < 60000; ++r) {
        std::string number;
        ht::put16(number, static_cast<unsigned>(r));
        ht::put16(number, 0);
        ht::put16(number, 0);
        number += std::string("\0\0\0\0\0\0\xF8\x3F", 8);
        for (int c = 0; c < 5; ++c) {
            number[2] = static_cast<char>(c);
            cells += ht::record(0x0203, number);
        }
    }
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "image.bin", ht::biff_workbook("", cells)));
    ASSERT_TRUE(vt::write_file(dir / "doc.xls", ht::compound_workbook("")));
    auto open = [&](int stop_at) {
        // The image is deleted with the book: written again each time.
        vt::write_file(dir / "image.tmp", vt::read_file(dir / "image.bin"));
        return open_with("EXCEL=\"" + (dir / "doc.xls") + "\" MODE=UNLOAD TEMP_WORKBOOK_PATH=\"" +
                             (dir / "image.tmp") + "\"",
                         stop_at);
    };
    open_result whole = open(0);
    ASSERT_EQ(whole.rc, 0) << whole.message;
    EXPECT_EQ(whole.rows, 60000);
    open_result counted = open(1 << 30);
    EXPECT_GE(counted.asked, 5);  // every megabyte of a 5 MB stream
    open_result stopped = open(2);
    EXPECT_EQ(stopped.rc, -5);
    EXPECT_NE(stopped.message.find("TABX-00003"), std::string::npos) << stopped.message;
}

TEST_F(Interrupt, InflatingALargeMemberStops) {
    const std::string bytes = ht::zip_bytes([](ht::zip_writer& z) {
        z.zeros("big.bin", 8u << 20);
        z.finish();
    });
    ht::put_memory_file("big.zip", bytes);
    asker a;
    a.stop_at = 100;
    orb_set_cancel(asker::ask, &a);
    char** table = nullptr;
    int capacity = 0;
    ASSERT_EQ(orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP), 0);
    int count = capacity;
    orb_zip_on_memory(0);
    EXPECT_EQ(orb_unzip_package(ORB_UNZIP_MEMORY, "big.zip", "", &count, table), ORB_CANCELLED);
    orb_zip_on_memory(1);
    orb_free_slots(table, capacity);
    EXPECT_EQ(a.calls, 100);
    EXPECT_LT(msize("big.bin"), 8 << 20);
}

}  // namespace
