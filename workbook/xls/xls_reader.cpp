// The library's legacy reader: gets the workbook stream, from the stream
// image the caller copied out (TEMP_WORKBOOK_PATH) or from the compound
// document itself, and feeds its records to the record handler.
#include <algorithm>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "biff_records.h"
#include "biff_stream.h"
#include "cfb.h"
#include "orb_file.h"
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

// Bytes read from a file, not zero-filled before the read fills them.
struct file_bytes {
    std::unique_ptr<unsigned char[]> data;
    size_t size = 0;
};

// A whole disk file, read straight into one buffer in large pieces.  The
// size from the file system is only a first guess: the buffer is one byte
// longer, so that a file of the expected size is read without growing it,
// and grows (by a megabyte, copying what was read) only when the file turns
// out longer.  0, -2, or -101 when it cannot be opened.
int load(const char* path, file_bytes& out) {
    int64_t hint = 0;
    if (aod_fsze(path, &hint) != 0 || hint < 0) hint = 0;
    ORB_FILE* f = orb_fopen(path, 1);
    if (!f) return -101;
    int rc = 0;
    try {
        constexpr size_t kPiece = 1 << 20;
        size_t capacity = static_cast<size_t>(hint) + 1;
        std::unique_ptr<unsigned char[]> buf(new unsigned char[capacity]);
        size_t used = 0;
        for (;;) {
            if (used == capacity) {
                std::unique_ptr<unsigned char[]> more(new unsigned char[capacity + kPiece]);
                std::copy_n(buf.get(), used, more.get());
                buf.swap(more);
                capacity += kPiece;
            }
            size_t got = orb_fread(buf.get() + used, std::min(capacity - used, kPiece), f);
            used += got;
            if (got == 0) break;
        }
        out.data = std::move(buf);
        out.size = used;
    } catch (const std::bad_alloc&) {
        rc = -2;
    }
    orb_fclose(f);
    return rc;
}

int read_records(XLS_BOOK* book, const unsigned char* stream, size_t size) {
    if (book->style_keep == 0) tbx_clear_numfmts(book);
    xls::xls_book target(book);
    xls::biff_reader reader(target);
    int rc = xls::feed_records(reader, stream, size);
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
    if (book->temp_path[0]) {
        // The stream image: the workbook stream alone, from its first byte.
        file_bytes stream;
        int rc = load(book->temp_path, stream);
        if (rc == -2) {
            log_line(book, LOG_MEMORY, "");
            return -2;
        }
        if (rc != 0) {
            log_line(book, LOG_OPEN, path);
            tbx_message(book, "TABX-03103 イメージファイルオープンエラー(\"%s\")。", book->temp_path);
            return -1;
        }
        return read_records(book, stream.data.get(), stream.size);
    }
    file_bytes file;
    int rc = load(path, file);
    if (rc == -2) {
        log_line(book, LOG_MEMORY, "");
        return -2;
    }
    if (rc != 0) {
        log_line(book, LOG_OPEN, path);
        return -1;
    }
    std::vector<unsigned char> stream;
    rc = xls::cfb_workbook_stream(file.data.get(), file.size, stream, nullptr);
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
    file = file_bytes();
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
