// The shared library used through include/tabx.h alone, as any caller would:
// no internal header of the library is included here.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "tabx.h"
#include "test_support.h"

namespace {

TEST(TabxShared, NewBookAndTheRecordSizeCheck) {
    XLS_BOOK book;
    std::string kw = "MODE=CREATE VERSION=\"" TABX_VERSION "\" XLS_BOOK=" + std::to_string(sizeof(XLS_BOOK));
    ASSERT_EQ(TABX_open_book(&book, kw.c_str()), 0) << TABX_error_mesg(&book);
    EXPECT_EQ(TABX_error_code(&book), 0);
    EXPECT_EQ(TABX_sheet_num(&book), 0);
    EXPECT_EQ(TABX_row_num(&book), 0);
    char text[64];
    EXPECT_EQ(TABX_get_cell(&book, "A1", text, sizeof text, nullptr, 0), -901);
    char version[16];
    EXPECT_EQ(TABX_version(&book, version), 0);
    EXPECT_STREQ(version, TABX_VERSION);
    EXPECT_EQ(TABX_close_book(&book, "DESTROY"), 0);
}

TEST(TabxShared, FailuresCarryCodedMessages) {
    XLS_BOOK book;
    EXPECT_EQ(TABX_open_book(&book, "CHARSET=UTF8 MODE=\"READ\""), -3);
    EXPECT_STREQ(TABX_error_mesg(&book), "TABX-02200 サポート外のキーワードです(\"\"READ\"\")。");
    EXPECT_EQ(TABX_free_book(&book), 0);
    char name[16];
    EXPECT_EQ(TABX_cell_name(1, 16384, name), 0);
    EXPECT_STREQ(name, "XFD1");
    int type = 0;
    EXPECT_EQ(orb_file_type(9999, "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1\0\0\0\0\0\0\0", &type), 0);
    EXPECT_EQ(type, 11);
}

// The front end's argument text, with a path holding blanks.
TEST(TabxShared, FrontEndArgumentText) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    std::string source = vt::join(vt::join(vt::corpus_dir(), "generated"), "xls_number_formats__libreoffice.xls");
    if (!vt::exists(source)) GTEST_SKIP() << "fixture missing";
    vt::scratch_dir dir;
    std::string path = dir / "with blanks in name.xls";
    ASSERT_TRUE(vt::write_file(path, vt::read_file(source)));
    XLS_BOOK book;
    std::string kw = "EXCEL=\"" + path + "\" MODE=UNLOAD";
    ASSERT_EQ(TABX_open_book(&book, kw.c_str()), 0) << TABX_error_mesg(&book);
    EXPECT_EQ(book.raw_display, 0);
    EXPECT_EQ(book.format, 11);
    EXPECT_EQ(book.max_rows, 65536);
    EXPECT_GT(TABX_sheet_num(&book), 0);
    EXPECT_EQ(TABX_close_book(&book, "DESTROY"), 0);
}

// Every workbook of the corpus opens, or fails with one of the documented
// codes, and can be walked whole and closed.
TEST(TabxShared, CorpusWorkbooksOpenAndWalk) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    std::vector<std::string> files = vt::corpus_files({"xls", "xlsx", "xlsm"});
    std::vector<char> text(TABX_CELL_TEXT_BUF);
    for (const std::string& f : files) {
        XLS_BOOK book;
        std::string kw = "EXCEL=\"" + f + "\" MODE=UNLOAD CHARSET=UTF8";
        int rc = TABX_open_book(&book, kw.c_str());
        EXPECT_TRUE(rc == 0 || rc == -1 || rc == -4 || rc == -101 || rc == -910) << f << " " << rc;
        if (rc == 0) {
            for (int s = 0; s < TABX_sheet_num(&book); ++s) {
                char sheet[400];
                ASSERT_EQ(TABX_sheet_name(&book, s, sheet), 0);
                ASSERT_EQ(TABX_open_sheet2(&book, s), 0);
                for (int r = 0; r < TABX_row_num(&book); ++r) {
                    for (int c = 0; c < TABX_column_num(&book, r); ++c) {
                        char cell[16];
                        ASSERT_EQ(TABX_cell_name(r + 1, c + 1, cell), 0);
                        int g = TABX_get_cell(&book, cell, text.data(), static_cast<int>(text.size()), nullptr, 0);
                        ASSERT_EQ(g, 0) << f << " " << cell;
                    }
                }
            }
        }
        EXPECT_EQ(TABX_close_book(&book, "DESTROY"), 0);
    }
}

// A whole workbook as text: every sheet's name and every cell, or the open's
// failure.
std::string book_text(const std::string& f) {
    XLS_BOOK book;
    std::string kw = "EXCEL=\"" + f + "\" MODE=UNLOAD CHARSET=UTF8";
    int rc = TABX_open_book(&book, kw.c_str());
    std::string out = "rc=" + std::to_string(rc) + "\n";
    std::vector<char> text(TABX_CELL_TEXT_BUF);
    for (int s = 0; rc == 0 && s < TABX_sheet_num(&book); ++s) {
        char sheet[400];
        TABX_sheet_name(&book, s, sheet);
        TABX_open_sheet2(&book, s);
        out += std::string("[") + sheet + "]\n";
        for (int r = 0; r < TABX_row_num(&book); ++r) {
            for (int c = 0; c < TABX_column_num(&book, r); ++c) {
                char cell[16];
                TABX_cell_name(r + 1, c + 1, cell);
                int g = TABX_get_cell(&book, cell, text.data(), static_cast<int>(text.size()), nullptr, 0);
                out += std::to_string(g) + ":" + text.data() + "\t";
            }
            out += "\n";
        }
    }
    TABX_close_book(&book, "DESTROY");
    return out;
}

// Separate books on separate threads read what they read one after the
// other: the two threads take the corpus workbooks in opposite order, so
// that different books (and packages with members of the same names) are
// open at the same time.
TEST(TabxShared, SeparateBooksOnSeparateThreads) {
    std::vector<std::string> files = vt::corpus_files({"xls", "xlsx", "xlsm"});
    if (files.empty()) GTEST_SKIP() << "no corpus";
    std::vector<std::string> alone;
    for (const std::string& f : files) alone.push_back(book_text(f));
    std::vector<std::string> forward(files.size()), backward(files.size());
    std::thread a([&] {
        for (size_t i = 0; i < files.size(); ++i) forward[i] = book_text(files[i]);
    });
    std::thread b([&] {
        for (size_t i = files.size(); i-- > 0;) backward[i] = book_text(files[i]);
    });
    a.join();
    b.join();
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_TRUE(forward[i] == alone[i]) << files[i];
        EXPECT_TRUE(backward[i] == alone[i]) << files[i];
    }
}

}  // namespace
