// Texts far beyond the 98301-byte cell limit, in both workbook formats: the
// per-cell buffers, the caller's buffer and the message buffer never
// overflow, and what is returned fits what was given.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "hostile_support.h"
#include "mfile.h"
#include "platform.h"
#include "tabx.h"
#include "test_support.h"

namespace {

constexpr size_t BIG = 200 * 1024;

// Every cell of the first sheet, fetched into a full-size buffer and into a
// small one.  Checks the answers and returns the longest text.
size_t fetch_all(XLS_BOOK* book) {
    std::vector<char> text(TABX_CELL_TEXT_BUF + 64, '\x7F');
    size_t longest = 0;
    EXPECT_EQ(TABX_open_sheet2(book, 0), 0);
    for (int r = 0; r < TABX_row_num(book); ++r) {
        for (int c = 0; c < TABX_column_num(book, r); ++c) {
            char name[16], type[64];
            TABX_cell_name(r + 1, c + 1, name);
            int rc = TABX_get_cell(book, name, text.data(), TABX_CELL_TEXT_BUF, type, sizeof type);
            EXPECT_TRUE(rc == 0 || rc == -909) << name << " rc " << rc;
            // Nothing was written past the buffer given.
            for (size_t i = TABX_CELL_TEXT_BUF; i < text.size(); ++i) EXPECT_EQ(text[i], '\x7F') << name;
            if (rc == 0) longest = std::max(longest, std::strlen(text.data()));
            char small[8];
            std::memset(small, 0, sizeof small);
            rc = TABX_get_cell(book, name, small, sizeof small, type, sizeof type);
            EXPECT_TRUE(rc == 0 || rc == -909) << name;
            EXPECT_LT(std::strlen(small), sizeof small);
            EXPECT_LT(std::strlen(book->error_info), static_cast<size_t>(TABX_MESSAGE_BUF));
            EXPECT_LT(std::strlen(TABX_error_mesg(book)), static_cast<size_t>(TABX_RETURNED_BUF));
        }
    }
    return longest;
}

TEST(BigText, OpenXmlCellsSharedStringsAndShapesOf200Kilobytes) {
    const std::string big(BIG, 'x');
    const std::string sheet = "<worksheet><sheetData><row r=\"1\">"
                              "<c r=\"A1\" t=\"s\"><v>0</v></c>"
                              "<c r=\"B1\" t=\"str\"><v>" + big + "</v></c>"
                              "<c r=\"C1\"><f>" + big + "</f><v>1</v></c>"
                              "<c r=\"D1\" t=\"inlineStr\"><is><t>" + big + "</t></is></c>"
                              "<c r=\"E1\" t=\"s\"><v>1</v></c>"
                              "</row></sheetData></worksheet>";
    const std::string sst = "<sst><si><t>" + big + "</t></si><si><r><t>" + big.substr(0, 90000) +
                            "</t></r><r><t>" + big.substr(0, 90000) + "</t></r></si></sst>";
    std::string bytes = ht::zip_bytes([&](ht::zip_writer& z) {
        ht::workbook_members(z, sheet, "<sheet name=\"" + std::string(300, 'n') + "\" r:id=\"rId1\"/>", sst);
        z.stored("xl/drawings/drawing1.xml",
                 "<xdr:wsDr><xdr:twoCellAnchor><xdr:sp><xdr:txBody><a:p><a:r><a:t>" + big +
                     "</a:t></a:r></a:p></xdr:txBody></xdr:sp></xdr:twoCellAnchor></xdr:wsDr>");
        z.finish();
    });
    ht::put_memory_file("big.xlsx", bytes);
    XLS_BOOK book;
    int rc = TABX_open_book(&book, "EXCEL=\"big.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE");
    EXPECT_LT(std::strlen(book.error_info), static_cast<size_t>(TABX_MESSAGE_BUF));
    if (rc == 0) {
        EXPECT_LT(fetch_all(&book), static_cast<size_t>(TABX_CELL_TEXT_BUF));
        char name[300];
        EXPECT_EQ(TABX_sheet_name(&book, 0, name), 0);
        EXPECT_LT(std::strlen(name), static_cast<size_t>(TABX_SHEET_NAME_BUF));
        for (int d = 0; d < book.drawing_count; ++d) {
            const XLS_DRAWING& o = book.drawings[d];
            if (o.kind == 1 && o.data) {
                const XLS_OBJECT_TEXT* t = static_cast<const XLS_OBJECT_TEXT*>(o.data);
                EXPECT_LT(static_cast<size_t>(t->length), static_cast<size_t>(TABX_CELL_TEXT_BUF));
            }
        }
    }
    TABX_close_book(&book, "DESTROY");
}

// A BIFF8 shared-string table whose one string of 200 KB runs through
// CONTINUE records, and a text box of as much, in a legacy workbook.
std::string big_legacy_stream() {
    std::string chars(BIG, 'y');
    std::string first;
    ht::put32(first, 2);
    ht::put32(first, 2);
    ht::put16(first, 0xFFFF);  // character count of a string is 16 bits
    first.push_back(0);
    std::string records;
    size_t at = 0;
    const size_t first_take = 8000;
    records += ht::record(0x00FC, first + chars.substr(0, first_take));
    at = first_take;
    while (at < chars.size()) {
        size_t take = std::min<size_t>(8000, chars.size() - at);
        records += ht::record(0x003C, std::string(1, '\0') + chars.substr(at, take));
        at += take;
    }
    std::string cell;
    ht::put16(cell, 0);
    ht::put16(cell, 0);
    ht::put16(cell, 0);
    ht::put32(cell, 0);
    std::string sheet = ht::record(0x00FD, cell);
    std::string label;
    ht::put16(label, 0);
    ht::put16(label, 1);
    ht::put16(label, 0);
    ht::put16(label, 8000);
    label += std::string(8000, 'z');
    sheet += ht::record(0x0204, label);
    std::string txo(18, '\0');
    txo[10] = static_cast<char>(0xFF);
    txo[11] = static_cast<char>(0xFF);
    sheet += ht::record(0x01B6, txo);
    for (size_t left = 65535; left > 0;) {
        size_t take = std::min<size_t>(8000, left);
        sheet += ht::record(0x003C, std::string(1, '\0') + std::string(take, 't'));
        left -= take;
    }
    return ht::biff_workbook(records, sheet);
}

TEST(BigText, LegacyStringsAndTextBoxesBeyondTheLimit) {
    vt::scratch_dir dir;
    std::string path = dir / "big.xls";
    ASSERT_TRUE(vt::write_file(path, ht::compound_workbook(big_legacy_stream())));
    XLS_BOOK book;
    std::string args = "EXCEL=\"" + path + "\" MODE=UNLOAD";
    int rc = TABX_open_book(&book, args.c_str());
    EXPECT_LT(std::strlen(book.error_info), static_cast<size_t>(TABX_MESSAGE_BUF));
    if (rc == 0) {
        EXPECT_LT(fetch_all(&book), static_cast<size_t>(TABX_CELL_TEXT_BUF));
    }
    TABX_close_book(&book, "DESTROY");
}

TEST(BigText, MessagesNamingLongPathsStayInTheirBuffers) {
    // A path of the longest accepted length, in a failing open: the
    // message that names it fits the message buffers.
    std::string name(250, 'p');
    name += ".xlsx";
    XLS_BOOK book;
    std::string args = "EXCEL=\"" + name + "\" MODE=UNLOAD READ_MEMORY=TRUE";
    EXPECT_NE(TABX_open_book(&book, args.c_str()), 0);
    EXPECT_LT(std::strlen(book.error_info), static_cast<size_t>(TABX_MESSAGE_BUF));
    EXPECT_LT(std::strlen(TABX_error_mesg(&book)), static_cast<size_t>(TABX_RETURNED_BUF));
    TABX_close_book(&book, "DESTROY");
    // A keyword of 4000 bytes and more.
    std::string huge = std::string(5000, 'K') + "=1";
    EXPECT_EQ(TABX_open_book(&book, huge.c_str()), -3);
    EXPECT_LT(std::strlen(book.error_info), static_cast<size_t>(TABX_MESSAGE_BUF));
    TABX_close_book(&book, "DESTROY");
    std::string value = "EXCEL=" + std::string(3990, 'v') + " MODE=READ";
    EXPECT_NE(TABX_open_book(&book, value.c_str()), 0);
    EXPECT_LT(std::strlen(book.error_info), static_cast<size_t>(TABX_MESSAGE_BUF));
    TABX_close_book(&book, "DESTROY");
}

}  // namespace
