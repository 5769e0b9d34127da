// Package unpacking of arbitrary bytes: the package is a memory file and its
// members become memory files.
#include <cstdint>

#include "mfile.h"
#include "orb_zip.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Mfile* f = mopen("fuzz.zip", "wb");
    if (f) {
        if (size > 0) mwrite(data, size, 1, f);
        mclose(f);
        char** table = nullptr;
        int capacity = 0;
        if (orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP) == 0) {
            int count = capacity;
            orb_zip_on_memory(0);
            orb_unzip_package(ORB_UNZIP_MEMORY, "fuzz.zip", "", &count, table);
            orb_zip_on_memory(1);
            orb_free_slots(table, capacity);
        }
    }
    mcloseall();
    return 0;
}
