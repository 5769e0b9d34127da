// Document kind detection with the compound-stream probe: the input is a
// memory file whose name ends with an extension chosen by its first byte.
#include <cstdint>
#include <cstring>
#include <string>

#include "mfile.h"
#include "orb_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const ext[] = {".xls", ".xlsx", ".xlsm", ".xlsb", ".docx", ".docm",
                                      ".pptx", ".pptm", ".doc",  ".ppt",  ".txt",  ""};
    if (size < 1) return 0;
    std::string name = std::string("fuzz") + ext[data[0] % (sizeof ext / sizeof *ext)];
    Mfile* f = mopen(name.c_str(), "wb");
    if (f) {
        if (size > 1) mwrite(data + 1, size - 1, 1, f);
        mclose(f);
        int type = 0;
        orb_file_type(ORB_SOURCE_MEMORY, name.c_str(), &type);
        // The header form reads exactly 16 bytes.
        char head[16] = {};
        std::memcpy(head, data, size < sizeof head ? size : sizeof head);
        orb_file_type(ORB_SOURCE_HEADER, head, &type);
    }
    mcloseall();
    return 0;
}
