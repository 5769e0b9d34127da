// The worksheet XML scanner with each part kind (chosen by the first byte)
// over an empty book that has one sheet and a few shared strings; then the
// same text fed in pieces (of 1 to 32 bytes, also chosen by the first byte,
// as an inflated member arrives), which must come to the same result and
// the same book.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "mfile.h"
#include "tabx.h"
#include "tbx_store.h"
#include "xlsx_scan.h"

namespace {

// What a reader of the book sees: sheets, cells as displayed and typed,
// shared strings and shape texts.
std::string book_record(XLS_BOOK& book) {
    std::string out;
    char text[TABX_CELL_TEXT_BUF], type[1024], name[32];
    for (int s = 0; s < book.sheet_count; ++s) {
        out += book.sheets[s].name;
        out += '\n';
        if (TABX_open_sheet2(&book, s) != 0) continue;
        for (int r = 0; r < TABX_row_num(&book); ++r) {
            for (int c = 0; c < TABX_column_num(&book, r); ++c) {
                TABX_cell_name(r + 1, c + 1, name);
                int rc = TABX_get_cell(&book, name, text, sizeof text, type, sizeof type);
                out += std::to_string(rc) + " " + type + " " + text + "\t";
            }
            out += '\n';
        }
    }
    for (int i = 0; i < book.sst_count; ++i) out += std::string(book.sst[i].text ? book.sst[i].text : "") + "\n";
    for (int i = 0; i < book.drawing_count; ++i) {
        const XLS_DRAWING& d = book.drawings[i];
        const XLS_OBJECT_TEXT* t = static_cast<const XLS_OBJECT_TEXT*>(d.data);
        out += std::to_string(d.sheet) + " " + (d.kind == 1 && t && t->text ? t->text : "") + "\n";
    }
    return out + std::to_string(book.xf_count) + " " + std::to_string(book.numfmt_count);
}

// Scans text whole (piece 0) or in pieces of that many bytes; the result
// code and the book's record.
std::string scan(int kind, const char* text, size_t size, size_t piece) {
    XLS_BOOK book;
    std::string record = "not opened";
    if (TABX_open_book(&book, "MODE=CREATE") == 0 && tbx_add_sheet(&book, 0) == 0) {
        for (int i = 0; i < 8; ++i) tbx_add_sst(&book, "s", 1);
        tbx_add_xf(&book, 14);
        xlsx_reader reader;
        xml_scan s;
        s.book = &book;
        s.reader = &reader;
        s.part = kind;
        int rc = 0;
        if (piece == 0) {
            rc = xml_scan_member(s, text, size);
        } else {
            xml_stream stream(s, 1);
            for (size_t at = 0; at < size && rc == 0; at += piece) {
                size_t n = size - at < piece ? size - at : piece;
                char* room = stream.space(n);
                if (!room) abort();
                std::memcpy(room, text + at, n);
                rc = stream.add(n);
            }
            if (rc == 0) rc = stream.finish();
        }
        record = std::to_string(rc) + "\n" + book_record(book);
    }
    TABX_close_book(&book, "DESTROY");
    mcloseall();
    return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kinds[] = {PART_WORKSHEET, PART_SHARED_STRINGS, PART_DRAWING, PART_COMMENTS,
                                PART_WORKBOOK,  PART_CUSTOM_PROPS,   PART_STYLES};
    constexpr size_t n_kinds = sizeof kinds / sizeof *kinds;
    if (size < 1) return 0;
    const int kind = kinds[data[0] % n_kinds];
    const size_t piece = 1 + (data[0] / n_kinds) % 32;
    const char* text = reinterpret_cast<const char*>(data + 1);
    if (scan(kind, text, size - 1, 0) != scan(kind, text, size - 1, piece)) abort();
    return 0;
}
