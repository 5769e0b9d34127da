// The library's legacy reader: gets the workbook stream, from the stream
// image the caller copied out (TEMP_WORKBOOK_PATH) or from the compound
// document itself, and feeds its records to the record handler.
#include <cstdint>
#include <new>
#include <vector>

#include "biff_formulas.h"
#include "biff_records.h"
#include "biff_stream.h"
#include "cfb.h"
#include "orb_cancel.h"
#include "orb_file.h"
#include "platform.h"
#include "tbx_message.h"
#include "tbx_readers.h"
#include "tbx_store.h"
#include "xls_book.h"

namespace {

// Message-log numbers of this reader.
enum { LOG_MEMORY = 2, LOG_PROTECTED = 901, LOG_OPEN = 3000, LOG_BUFFER = 4000 };

void log_line(XLS_BOOK* book, int number, const char* detail) {
    tbx_log_pending(book, number);
    tbx_log(book, detail);
}

// A whole file through the platform's read-only mapping (a copy read in
// where the file cannot be mapped); released with the object.
struct mapped_file {
    plat_mapping* m = nullptr;
    ~mapped_file() { plat_unmap_file(m); }
    const unsigned char* data() const { return plat_mapped_data(m); }
    size_t size() const { return plat_mapped_size(m); }
};

// The stream's pages in the mapped file are let go once its records have
// been read past: only what the book keeps stays in memory.
struct read_past {
    plat_mapping* file;
    const std::vector<xls::stream_piece>* pieces;
    size_t index;  // the piece that holds the first byte not let go yet
    size_t start;  // the stream offset of that piece
    size_t done;   // bytes of the stream let go
};

// Also where a long stream asks whether it is to stop.
int let_go(void* ctx, size_t upto) {
    read_past* r = static_cast<read_past*>(ctx);
    const uintptr_t base = reinterpret_cast<uintptr_t>(plat_mapped_data(r->file));
    const size_t file_size = plat_mapped_size(r->file);
    while (r->done < upto && r->index < r->pieces->size()) {
        const xls::stream_piece& p = (*r->pieces)[r->index];
        size_t end = r->start + p.size;
        size_t to = upto < end ? upto : end;
        // Pieces of the mini stream lie in memory of their own.
        const uintptr_t at = reinterpret_cast<uintptr_t>(p.data);
        if (at >= base && at - base < file_size)
            plat_mapped_done(r->file, static_cast<size_t>(at - base) + (r->done - r->start), to - r->done);
        r->done = to;
        if (to == end) {
            ++r->index;
            r->start = end;
        }
    }
    return orb_cancelled() ? ORB_CANCELLED : 0;
}

int read_records(XLS_BOOK* book, plat_mapping* file, const std::vector<xls::stream_piece>& pieces) {
    if (book->style_keep == 0) tbx_clear_numfmts(book);
    xls::xls_book target(book);
    xls::biff_reader reader(target);
    xls::formula_reader formulas(target);
    if (target.wants_formulas()) reader.set_formula_reader(&formulas);
    read_past past{file, &pieces, 0, 0, 0};
    int rc = xls::feed_records(reader, pieces.data(), pieces.size(), let_go, &past);
    switch (rc) {
    case 0:
        return 0;
    case xls::BIFF_ENCRYPTED:
        log_line(book, LOG_PROTECTED, "");
        return rc;
    case -2:
        log_line(book, LOG_MEMORY, "");
        return rc;
    case -9:
    case ORB_CANCELLED:
        return rc;
    default:
        return -1;
    }
}

int read_excel2003(XLS_BOOK* book, const char* path) {
    int64_t size = 0;
    if (aod_fsze(path, &size) != 0) {
        log_line(book, LOG_OPEN, path);
        return -1;
    }
    int status = 0;
    if (book->temp_path[0]) {
        // The stream image: the workbook stream alone, from its first byte.
        // It is the caller's temporary file (deleted with the store), not a
        // document another program may rewrite meanwhile: it is mapped.
        mapped_file image;
        image.m = plat_map_file(book->temp_path, &status, true);
        if (status == -2) {
            log_line(book, LOG_MEMORY, "");
            return -2;
        }
        if (!image.m) {
            log_line(book, LOG_OPEN, path);
            tbx_message(book, "TABX-03103 イメージファイルオープンエラー(\"%s\")。", book->temp_path);
            return -1;
        }
        std::vector<xls::stream_piece> whole{{image.data(), image.size()}};
        return read_records(book, image.m, whole);
    }
    mapped_file file;
    file.m = plat_map_file(path, &status);
    if (status == -2) {
        log_line(book, LOG_MEMORY, "");
        return -2;
    }
    if (!file.m) {
        log_line(book, LOG_OPEN, path);
        return -1;
    }
    // The whole chain is followed and checked before any record is read;
    // the records are then read where they lie in the document.
    xls::compound_file cf;
    std::vector<xls::compound_file::piece> chain;
    uint32_t entry = 0;
    int rc = cf.open(file.data(), file.size());
    if (rc == xls::CFB_OK) rc = xls::cfb_find_workbook(cf, &entry, nullptr);
    if (rc == xls::CFB_OK) rc = cf.stream_pieces(entry, chain);
    switch (rc) {
    case xls::CFB_OK:
        break;
    case xls::CFB_NOT_FOUND:
        // No workbook stream at all: an empty book.
        if (book->style_keep == 0) tbx_clear_numfmts(book);
        return 0;
    case xls::CFB_NO_MEMORY:
        log_line(book, LOG_MEMORY, "");
        return -2;
    default:
        // The header checks, or a container whose chains are broken: a
        // damaged file, not a protected one (that one is told by its
        // FILEPASS record).
        log_line(book, LOG_BUFFER, xls::cfb_status_text(rc));
        return -1;
    }
    std::vector<xls::stream_piece> pieces;
    try {
        pieces.reserve(chain.size());
        for (const xls::compound_file::piece& p : chain) pieces.push_back({p.data, p.size});
    } catch (const std::bad_alloc&) {
        log_line(book, LOG_MEMORY, "");
        return -2;
    }
    return read_records(book, file.m, pieces);
}

}  // namespace

int tbx_read_excel2003(XLS_BOOK* book, const char* path) {
    if (!book || !path) return -1;
    try {
        return read_excel2003(book, path);
    } catch (const std::bad_alloc&) {
        return -2;
    }
}
