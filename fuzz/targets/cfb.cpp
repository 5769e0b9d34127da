// The compound-document reader: every stream of the root storage that the
// workbook reader would look for, then the workbook stream itself.
#include <cstdint>
#include <vector>

#include "cfb.h"

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
    xls::cfb_workbook_stream(data, size, stream, &is_book);
    return 0;
}
