// The macro project reader: the input decompressed as a compressed
// container (within a limit, which a smaller limit must cut at a prefix),
// and read as a compound file holding a project.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "vba_decompress.h"
#include "vba_project.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string whole, part;
    int rc = vba::decompress(data, size, 1 << 20, whole);
    if (whole.size() > (1 << 20)) abort();
    int rc2 = vba::decompress(data, size, 1000, part);
    if (part.size() > 1000 || whole.compare(0, part.size(), part) != 0) abort();
    if (rc == vba::DECOMPRESS_OK && whole.size() <= 1000 && (rc2 != rc || part != whole)) abort();
    vba::project project;
    std::string problem;
    vba::read_project(data, size, project, &problem);
    return 0;
}
