// The compound-document reader: every stream of the root storage that the
// workbook reader would look for, then the workbook stream itself, read in
// memory and extracted from a disk file.  The two ways must agree: the same
// bytes and stream name when both succeed, and no image file when the
// extraction fails.
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "cfb.h"
#include "platform.h"

namespace {

// The image file's bytes; false when there is none.
bool read_image(const char* path, std::vector<unsigned char>& out) {
    plat_file* f = plat_open(path, PLAT_READ);
    if (!f) return false;
    unsigned char buf[65536];
    size_t n;
    while ((n = plat_read(f, buf, sizeof buf)) > 0) out.insert(out.end(), buf, buf + n);
    plat_close(f);
    return true;
}

// Extracts the workbook stream of the input (written to a file in the
// current folder) and checks the result against the in-memory read.
void extract_and_compare(const uint8_t* data, size_t size, int memory_rc,
                         const std::vector<unsigned char>& stream, bool is_book) {
    static const char* const doc = "fuzz_cfb.xls";
    static const char* const image = "fuzz_cfb.img";
    plat_file* f = plat_open(doc, PLAT_WRITE);
    if (!f) return;
    bool written = plat_write(f, data, size) == size;
    plat_close(f);
    if (written) {
        plat_remove_file(image);
        bool book = false;
        int rc = extract_workbook_stream(doc, image, &book);
        std::vector<unsigned char> got;
        bool have_image = read_image(image, got);
        // A memory failure of one side alone is the allocator's doing.
        if (rc == 0) {
            if (!have_image) abort();
            if (memory_rc != xls::CFB_NO_MEMORY && (memory_rc != xls::CFB_OK || got != stream || book != is_book))
                abort();
        } else {
            if (have_image) abort();
            if (memory_rc == xls::CFB_OK && rc != -2) abort();
        }
        plat_remove_file(image);
    }
    plat_remove_file(doc);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    xls::compound_file cf;
    if (cf.open(data, size) == xls::CFB_OK) {
        static const char* const names[] = {"Workbook", "Book", "EncryptedPackage", "WordDocument"};
        for (const char* n : names) {
            uint32_t entry = 0;
            std::vector<unsigned char> out;
            if (cf.find_stream(n, &entry) == xls::CFB_OK) cf.read_stream(entry, out);
        }
        for (uint32_t e = 0; e < cf.entry_count() && e < 64; ++e) {
            std::vector<unsigned char> out;
            cf.read_stream(e, out);
        }
    }
    std::vector<unsigned char> stream;
    bool is_book = false;
    int rc = xls::cfb_workbook_stream(data, size, stream, &is_book);
    extract_and_compare(data, size, rc, stream, is_book);
    return 0;
}
