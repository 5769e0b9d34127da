// The built-in number formats and the compiled formats of a book.
#include <string>

#include "number_format_impl.h"
#include "tbx_private.h"
#include "tbx_store.h"

const char* nf_builtin_code(int id) {
    switch (id) {
    case 0: return "General";
    case 1: return "0";
    case 2: return "0.00";
    case 3: return "#,##0";
    case 4: return "#,##0.00";
    case 5: return "\"¥\"#,##0;\"¥\"\\-#,##0";
    case 6: return "\"¥\"#,##0;[Red]\"¥\"\\-#,##0";
    case 7: return "\"¥\"#,##0.00;\"¥\"\\-#,##0.00";
    case 8: return "\"¥\"#,##0.00;[Red]\"¥\"\\-#,##0.00";
    case 9: return "0%";
    case 10: return "0.00%";
    case 11: return "0.00E+00";
    case 12: return "# ?/?";
    case 13: return "# ?\?/??";
    case 14: return "yyyy/m/d";
    case 15: return "d-mmm-yy";
    case 16: return "d-mmm";
    case 17: return "mmm-yy";
    case 18: return "h:mm AM/PM";
    case 19: return "h:mm:ss AM/PM";
    case 20: return "h:mm";
    case 21: return "h:mm:ss";
    case 22: return "yyyy/m/d h:mm";
    case 27: case 36: case 50: case 57: return "[$-411]ge.m.d";
    case 28: case 29: case 51: case 54: case 58: return "[$-411]ggge\"年\"m\"月\"d\"日\"";
    case 30: return "m/d/yy";
    case 31: return "yyyy\"年\"m\"月\"d\"日\"";
    case 32: return "h\"時\"mm\"分\"";
    case 33: return "h\"時\"mm\"分\"ss\"秒\"";
    case 34: case 52: case 55: return "yyyy\"年\"m\"月\"";
    case 35: case 53: case 56: return "m\"月\"d\"日\"";
    case 37: return "#,##0 ;(#,##0)";
    case 38: return "#,##0 ;[Red](#,##0)";
    case 39: return "#,##0.00;(#,##0.00)";
    case 40: return "#,##0.00;[Red](#,##0.00)";
    case 41: return "_ * #,##0_ ;_ * \\-#,##0_ ;_ * \"-\"_ ;_ @_ ";
    case 42: return "_ \"¥\"* #,##0_ ;_ \"¥\"* \\-#,##0_ ;_ \"¥\"* \"-\"_ ;_ @_ ";
    case 43: return "_ * #,##0.00_ ;_ * \\-#,##0.00_ ;_ * \"-\"??_ ;_ @_ ";
    case 44: return "_ \"¥\"* #,##0.00_ ;_ \"¥\"* \\-#,##0.00_ ;_ \"¥\"* \"-\"??_ ;_ @_ ";
    case 45: return "mm:ss";
    case 46: return "[h]:mm:ss";
    case 47: return "mm:ss.0";
    case 48: return "##0.0E+0";
    case 49: return "@";
    default: return nullptr;
    }
}

// ------------------------------------------------------------ The cache

namespace {

tbx_format_cache& cache_of(const XLS_BOOK* book) {
    tbx_private* p = tbx_priv(book);
    if (!p->formats) p->formats.reset(new tbx_format_cache);
    tbx_format_cache& c = *p->formats;
    if (c.numfmt != book->numfmt || c.numfmt_count != book->numfmt_count) {
        c.numfmt = book->numfmt;
        c.numfmt_count = book->numfmt_count;
        c.slot_of_id.clear();
        c.formats.clear();
        c.by_xf.clear();
        c.xf = nullptr;
        c.xf_count = -1;
    }
    if (c.xf != book->xf || c.xf_count != book->xf_count) {
        c.xf = book->xf;
        c.xf_count = book->xf_count;
        c.by_xf.assign(static_cast<size_t>(book->xf_count > 0 ? book->xf_count : 0), nullptr);
    }
    return c;
}

const nf_format* general_format() {
    static const nf_format_ptr general = nf_compile("General");
    return general.get();
}

}  // namespace

const nf_format* tbx_format_of_id(const XLS_BOOK* book, int id) {
    if (!tbx_priv(book)) return general_format();
    tbx_format_cache& c = cache_of(book);
    size_t key = static_cast<size_t>(id + 1);
    if (id < -1 || id > 65535) return general_format();
    if (key < c.slot_of_id.size() && c.slot_of_id[key]) return c.formats[c.slot_of_id[key] - 1].get();
    const char* code = nullptr;
    for (int i = 0; i < book->numfmt_count; ++i) {
        if (book->numfmt[i].id == id) {
            code = tbx_numfmt_code(book, i);
            break;
        }
    }
    nf_format_ptr f;
    if (code) {
        f = nf_compile(code);
    } else {
        const char* b = nf_builtin_code(id);
        f = nf_compile(b ? b : "General");
    }
    if (key >= c.slot_of_id.size()) c.slot_of_id.resize(key + 1, 0);
    c.formats.push_back(std::move(f));
    c.slot_of_id[key] = static_cast<int>(c.formats.size());
    return c.formats.back().get();
}

const nf_format* tbx_format_of_cell(const XLS_BOOK* book, const XLS_CELL* cell) {
    if (!tbx_priv(book)) return general_format();
    if (cell->xf < 0 || cell->xf >= book->xf_count) return tbx_format_of_id(book, 0);
    tbx_format_cache& c = cache_of(book);
    const nf_format*& slot = c.by_xf[static_cast<size_t>(cell->xf)];
    if (!slot) slot = tbx_format_of_id(book, book->xf[cell->xf].numfmt);
    return slot;
}
