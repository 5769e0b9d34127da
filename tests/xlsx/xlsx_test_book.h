// A book for feeding inline XML members to the reader's scanner.
#ifndef XLSX_TEST_BOOK_H
#define XLSX_TEST_BOOK_H

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "cell_format.h"
#include "tabx.h"
#include "tbx_store.h"
#include "xlsx_scan.h"

namespace xt {

// An empty book as MODE=UNLOAD leaves it (load mode: cached formula results
// are kept, numbers display by their formats), with one sheet.
struct test_book {
    XLS_BOOK book{};
    xlsx_reader reader;

    explicit test_book(bool unload = true) {
        EXPECT_EQ(TABX_open_book(&book, "CHARSET=UTF8"), 0);
        if (unload) book.style_keep = book.raw_display = 0;
    }
    ~test_book() { TABX_close_book(&book, "DESTROY"); }

    int scan(int part, const std::string& xml, int sheet = 0) {
        if (part == PART_WORKSHEET && sheet >= book.sheet_count) tbx_add_sheet(&book, sheet);
        xml_scan s;
        s.book = &book;
        s.reader = &reader;
        s.part = part;
        s.sheet = sheet;
        return xml_scan_member(s, xml.data(), xml.size());
    }

    // The same, the text fed to the scanner in pieces of `piece` bytes (an
    // inflated member as it arrives), scanned after each piece.
    int scan_in_pieces(int part, const std::string& xml, size_t piece, int sheet = 0) {
        if (part == PART_WORKSHEET && sheet >= book.sheet_count) tbx_add_sheet(&book, sheet);
        xml_scan s;
        s.book = &book;
        s.reader = &reader;
        s.part = part;
        s.sheet = sheet;
        xml_stream stream(s, 1);
        for (size_t at = 0; at < xml.size(); at += piece) {
            size_t n = std::min(piece, xml.size() - at);
            char* room = stream.space(n);
            if (!room) return -2;
            std::copy(xml.data() + at, xml.data() + at + n, room);
            if (int rc = stream.add(n)) return rc;
        }
        return stream.finish();
    }

    // Everything a reader sees of the book: each cell of sheet 0 as
    // displayed and typed, the shared strings, the text objects.
    std::string record() {
        std::string out;
        std::vector<char> buf(TABX_CELL_TEXT_BUF);
        char type[1024], name[16];
        TABX_open_sheet2(&book, 0);
        for (int r = 0; book.sheet_count > 0 && r < TABX_row_num(&book); ++r) {
            for (int c = 0; c < TABX_column_num(&book, r); ++c) {
                TABX_cell_name(r + 1, c + 1, name);
                int rc = TABX_get_cell(&book, name, buf.data(), static_cast<int>(buf.size()), type, sizeof type);
                out += std::to_string(rc) + ":" + type + ":" + buf.data() + "\t";
            }
            out += "\n";
        }
        for (const std::string& t : strings()) out += "sst " + t + "\n";
        for (const auto& o : objects()) out += "object " + std::to_string(o.first) + " " + o.second + "\n";
        return out;
    }

    // A worksheet holding the given sheet data.
    int sheet(const std::string& sheet_data) {
        return scan(PART_WORKSHEET, "<?xml version=\"1.0\"?><worksheet><sheetData>" + sheet_data +
                                        "</sheetData></worksheet>");
    }

    // The display text of a cell of sheet 0 ("" for a cell not stored).
    std::string cell(const char* name) {
        TABX_open_sheet2(&book, 0);
        std::vector<char> buf(TABX_CELL_TEXT_BUF);
        if (TABX_get_cell(&book, name, buf.data(), static_cast<int>(buf.size()), nullptr, 0) != 0)
            return "<none>";
        return buf.data();
    }

    const XLS_CELL* find(int row, int col, int sheet = 0) {
        return tbx_find_cell(&book, sheet, row, col);
    }

    std::vector<std::string> strings() {
        std::vector<std::string> v;
        for (int i = 0; i < book.sst_count; ++i) v.emplace_back(book.sst[i].text, book.sst[i].length);
        return v;
    }

    std::vector<std::pair<int, std::string>> objects() {
        std::vector<std::pair<int, std::string>> v;
        for (int i = 0; i < book.drawing_count; ++i) {
            auto* t = static_cast<const XLS_OBJECT_TEXT*>(book.drawings[i].data);
            v.emplace_back(book.drawings[i].sheet, t ? t->text : "");
        }
        return v;
    }
};

}  // namespace xt

#endif
