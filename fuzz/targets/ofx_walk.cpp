// The Word and PowerPoint tag walkers on one part (the first byte chooses
// which, the switches and, in its high bits, the kind of part).  Page files go into a scratch folder below the current folder,
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
    static const int word_modes[] = {OFX_MODE_DOCX, OFX_MODE_DOCX_COMMENTS, OFX_MODE_DOCX_HEADER,
                                     OFX_MODE_DOCX_FOOTNOTES, OFX_MODE_DOCX_ENDNOTES, OFX_MODE_DOCX_PARAGRAPH,
                                     OFX_MODE_DOCX, OFX_MODE_DOCX};
    static const int slide_modes[] = {OFX_MODE_PPTX, OFX_MODE_PPTX_NOTES, OFX_MODE_PPTX_COMMENTS,
                                      OFX_MODE_PPTX_PARAGRAPH, OFX_MODE_PPTX, OFX_MODE_PPTX,
                                      OFX_MODE_PPTX, OFX_MODE_PPTX};
    const int kind = data[0] >> 5;
    if (word) ofx_walk_docx(&ctx, word_modes[kind], xml, size - 1);
    else ofx_walk_pptx(&ctx, slide_modes[kind], xml, size - 1);
    ofx_term(&ctx);
    plat_remove_tree(folder);
    mcloseall();
    return 0;
}
