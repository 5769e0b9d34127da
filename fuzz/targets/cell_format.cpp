// Number-format classification and cell rendering: the input holds a value
// (8 bytes), a value kind and a format code; the code is classified, stored
// as the book's only custom format (as UTF-8, or as Shift-JIS when the
// kind's top bit is set) and used to render the value with every
// date type and with the classified type; the number-format engine
// compiles the code and renders the value (in both date systems) and the
// code's bytes as a text.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "cell_format.h"
#include "mfile.h"
#include "number_format.h"
#include "tabx.h"
#include "tbx_store.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 10) return 0;
    double value;
    std::memcpy(&value, data, 8);
    const int kind = data[8];
    const std::string code(reinterpret_cast<const char*>(data + 9), size - 9);
    const int type = classify_format_code(code.c_str());
    static std::vector<char> out(TBX_RENDER_BUF);
    {
        nf_format_ptr f = nf_compile(code.c_str());
        nf_value_type(f.get());
        nf_render_number(f.get(), value, (kind & 4) != 0, out.data(), out.size());
        nf_render_number(f.get(), value, false, out.data(), 16);  // a short buffer
        nf_render_text(f.get(), code.data(), code.size(), out.data(), out.size());
        nf_general(value, out.data(), 12);
    }
    XLS_BOOK book;
    if (TABX_open_book(&book, "MODE=CREATE") == 0 && tbx_add_sheet(&book, 0) == 0 &&
        ((kind & 0x80) ? tbx_add_numfmt(&book, 200, code.c_str()) : tbx_add_numfmt_utf8(&book, 200, code.c_str())) == 0 &&
        tbx_add_xf(&book, 200) == 0) {
        book.raw_display = (kind & 1) ? 0 : 0xFF;
        // Built-in ids (0-49 and some beyond) or the custom one.
        const int id = (kind & 2) ? 200 : (kind >> 2);
        if (put_number(&book, 0, 0, 0, id, 0, value) == 0) {
            XLS_CELL* cell = nullptr;
            if (tbx_ensure_cell(&book, 0, 0, 0, &cell) == 0 && cell) {
                format_cell(&book, cell, out.data());
                format_cell_with(&book, cell, 0, type, -1, out.data());
                format_cell_with(&book, cell, type, type, kind % 12, out.data());
                for (int t = 300; t <= 410; ++t) format_date_value(&book, cell, t, out.data());
            }
        }
        char text[64], type_name[64];
        TABX_get_cell(&book, "A1", text, sizeof text, type_name, sizeof type_name);
    }
    TABX_close_book(&book, "DESTROY");
    mcloseall();
    return 0;
}
