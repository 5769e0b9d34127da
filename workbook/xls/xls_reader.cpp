// The library's legacy reader: gets the workbook stream, from the stream
// image the caller copied out (TEMP_WORKBOOK_PATH) or from the compound
// document itself, and feeds its records to the record handler.
#include <cstdint>
#include <new>
#include <vector>

#include "biff_records.h"
#include "biff_stream.h"
#include "cfb.h"
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

// The records of a stream that lies in one piece of a mapped file let its
// pages go once they have been read: only what the book keeps stays.
struct read_past {
    plat_mapping* m;
    size_t base;  // the stream's offset in the file
    size_t done;  // bytes of the stream already let go
};

void let_go(void* ctx, size_t upto) {
    read_past* r = static_cast<read_past*>(ctx);
    plat_mapped_done(r->m, r->base + r->done, upto - r->done);
    r->done = upto;
}

int read_records(XLS_BOOK* book, const unsigned char* stream, size_t size, read_past* past = nullptr) {
    if (book->style_keep == 0) tbx_clear_numfmts(book);
    xls::xls_book target(book);
    xls::biff_reader reader(target);
    int rc = past ? xls::feed_records(reader, stream, size, let_go, past) : xls::feed_records(reader, stream, size);
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
        mapped_file image;
        image.m = plat_map_file(book->temp_path, &status);
        if (status == -2) {
            log_line(book, LOG_MEMORY, "");
            return -2;
        }
        if (!image.m) {
            log_line(book, LOG_OPEN, path);
            tbx_message(book, "TABX-03103 イメージファイルオープンエラー(\"%s\")。", book->temp_path);
            return -1;
        }
        read_past past{image.m, 0, 0};
        return read_records(book, image.data(), image.size(), &past);
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
    // The whole chain is followed and checked before any record is read.
    xls::compound_file cf;
    std::vector<xls::compound_file::piece> pieces;
    uint32_t entry = 0;
    int rc = cf.open(file.data(), file.size());
    if (rc == xls::CFB_OK) rc = xls::cfb_find_workbook(cf, &entry, nullptr);
    if (rc == xls::CFB_OK) rc = cf.stream_pieces(entry, pieces);
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
    if (pieces.empty()) return read_records(book, nullptr, 0);
    if (pieces.size() == 1) {
        // Sectors that follow one another in the file (or in the mini
        // stream): the records are read where they lie.
        const xls::compound_file::piece& p = pieces[0];
        bool in_file = p.data >= file.data() && p.data < file.data() + file.size();
        read_past past{file.m, in_file ? static_cast<size_t>(p.data - file.data()) : 0, 0};
        return read_records(book, p.data, p.size, in_file ? &past : nullptr);
    }
    // A chain whose sectors are scattered: the stream is put together first.
    std::vector<unsigned char> stream;
    try {
        stream.reserve(static_cast<size_t>(cf.stream_size(entry)));
        for (const xls::compound_file::piece& p : pieces) stream.insert(stream.end(), p.data, p.data + p.size);
    } catch (const std::bad_alloc&) {
        log_line(book, LOG_MEMORY, "");
        return -2;
    }
    pieces = {};
    cf = xls::compound_file();
    plat_unmap_file(file.m);
    file.m = nullptr;
    return read_records(book, stream.data(), stream.size());
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
