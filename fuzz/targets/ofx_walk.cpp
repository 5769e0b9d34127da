// The Word and PowerPoint tag walkers on one part (the first byte chooses
// which).  Page files go into a scratch folder below the current folder,
// removed after each input.
#include <cstdint>
#include <cstdio>

#include "mfile.h"
#include "ofx.h"
#include "platform.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const folder = "fuzz_ofx_out";
    if (size < 1) return 0;
    OFX_CONTEXT ctx;
    if (ofx_init(&ctx) != 0) return 0;
    plat_make_dir(folder);
    std::snprintf(ctx.output_folder, sizeof ctx.output_folder, "%s", folder);
    ctx.work_size = static_cast<int>(size) + OFX_WORK_EXTRA;
    ctx.skip_shapes = (data[0] & 2) != 0;
    ctx.split_pages = (data[0] & 4) == 0;
    const bool word = (data[0] & 1) == 0;
    char path[OFX_PATH_SIZE + 64];
    if (ofx_output_path(&ctx, word, ctx.split_pages ? 1 : -1, path, sizeof path) == 0) ofx_open_output(&ctx, path);
    const char* xml = reinterpret_cast<const char*>(data + 1);
    if (word) ofx_walk_docx(&ctx, OFX_MODE_DOCX, xml, size - 1);
    else ofx_walk_pptx(&ctx, OFX_MODE_PPTX, xml, size - 1);
    ofx_term(&ctx);
    plat_remove_tree(folder);
    mcloseall();
    return 0;
}
