// The worksheet XML scanner with each part kind (chosen by the first byte)
// over an empty book that has one sheet and a few shared strings.
#include <cstdint>

#include "mfile.h"
#include "tabx.h"
#include "tbx_store.h"
#include "xlsx_scan.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int kinds[] = {PART_WORKSHEET, PART_SHARED_STRINGS, PART_DRAWING, PART_COMMENTS,
                                PART_WORKBOOK,  PART_CUSTOM_PROPS,   PART_STYLES};
    if (size < 1) return 0;
    XLS_BOOK book;
    if (TABX_open_book(&book, "MODE=CREATE") == 0 && tbx_add_sheet(&book, 0) == 0) {
        for (int i = 0; i < 8; ++i) tbx_add_sst(&book, "s", 1);
        tbx_add_xf(&book, 14);
        xlsx_reader reader;
        xml_scan s;
        s.book = &book;
        s.reader = &reader;
        s.part = kinds[data[0] % (sizeof kinds / sizeof *kinds)];
        xml_scan_member(s, reinterpret_cast<const char*>(data + 1), size - 1);
    }
    TABX_close_book(&book, "DESTROY");
    mcloseall();
    return 0;
}
