// The two extraction entries and the front-end dumps around them.
#include <algorithm>
#include <cstring>
#include <string>

#include "mfile.h"
#include "ofx.h"
#include "ofx_internal.h"
#include "orb_file.h"
#include "orb_text.h"
#include "orb_zip.h"
#include "platform.h"

namespace {

// The unpacked package: the name slot table and the sorted member names.
struct package {
    char** table = nullptr;
    int capacity = 0;
    int count = 0;
    ~package() { orb_free_slots(table, capacity); }

    int unpack(const char* path) {
        int rc = orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP);
        if (rc != 0) return rc;
        count = capacity;
        rc = orb_unzip_package(ORB_UNZIP_MEMORY, path, "", &count, table);
        if (rc != 0) return rc;
        std::stable_sort(table, table + count, [](const char* a, const char* b) { return orb_name_order(a, b) < 0; });
        return 0;
    }
};

bool starts_with(const char* s, const char* prefix) { return std::strncmp(s, prefix, std::strlen(prefix)) == 0; }

// Walks one member, read whole from its memory file.
int walk_member(OFX_CONTEXT* ctx, const char* name, bool word) {
    Mfile* f = mopen(name, "rb");
    if (!f) return -1;
    const char* xml = reinterpret_cast<const char*>(f->data);
    size_t len = f->data ? static_cast<size_t>(f->size) : 0;
    ctx->work_size = static_cast<int>(std::min<int64_t>(f->size + OFX_WORK_EXTRA, INT32_MAX));
    int rc = word ? ofx_walk_docx(ctx, OFX_MODE_DOCX, xml, len) : ofx_walk_pptx(ctx, OFX_MODE_PPTX, xml, len);
    mclose(f);
    return rc;
}

int open_numbered(OFX_CONTEXT* ctx, bool word, int number) {
    char path[OFX_PATH_SIZE + 64];
    if (ofx_output_path(ctx, word, number, path, sizeof path) != 0) return -9;
    return ofx_open_output(ctx, path);
}

// Copies a text into a context buffer; false when it does not fit.
bool copy_path(char* dst, const char* src) {
    size_t n = std::strlen(src);
    if (n >= OFX_PATH_SIZE) return false;
    std::memcpy(dst, src, n + 1);
    return true;
}

int run_dump(const dump_request& req, bool word) {
    OFX_CONTEXT ctx;
    int rc = ofx_init(&ctx);
    if (rc == 0) {
        ctx.split_pages = !req.allpage;
        ctx.skip_shapes = !req.textbox;
        ctx.ui = req.ui;
        ctx.out_charset = req.out_charset;
        if (!copy_path(ctx.output_folder, req.output_folder) || !copy_path(ctx.input_path, req.path)) {
            rc = -9;
        } else {
            // An existing folder is used as it is.
            orb_make_dir(ctx.output_folder);
            rc = word ? ofx_docx_pptx(&ctx) : ofx_read_pptx(&ctx);
        }
    }
    ofx_term(&ctx);
    if (rc != 0) {
        if (req.ui)
            req.ui->show_error(ui_format(word ? "ERROR:ofx_docx_pptx() rc=%d" : "ERROR:ofx_read_pptx() rc=%d",
                                         static_cast<long long>(rc)),
                               false);
        return -1;
    }
    return 0;
}

}  // namespace

int ofx_docx_pptx(OFX_CONTEXT* ctx) {
    package pkg;
    int rc = pkg.unpack(ctx->input_path);
    if (rc != 0) return rc;
    ctx->page_number = 0;
    ctx->line_count = 0;
    for (int i = 0; i < pkg.count; ++i) {
        if (!starts_with(pkg.table[i], "word/document.xml")) continue;
        rc = open_numbered(ctx, true, ctx->split_pages ? ctx->page_number + 1 : -1);
        if (rc != 0) return rc;
        ctx->line_count = 0;
        ctx->grid_columns = 0;
        rc = walk_member(ctx, pkg.table[i], true);
        int close_rc = ofx_close_output(ctx);
        if (rc != 0) return rc;
        if (close_rc != 0) return close_rc;
    }
    if (ctx->split_pages && ctx->line_count == 0) {
        // The last page file, opened by the last break, has stayed empty.
        char path[OFX_PATH_SIZE + 64];
        if (ofx_output_path(ctx, true, ctx->page_number + 1, path, sizeof path) == 0) plat_remove_file(path);
    }
    return 0;
}

int ofx_read_pptx(OFX_CONTEXT* ctx) {
    package pkg;
    int rc = pkg.unpack(ctx->input_path);
    if (rc != 0) return rc;
    ctx->page_number = 0;
    ctx->line_count = 0;
    if (!ctx->split_pages) {
        rc = open_numbered(ctx, false, -1);
        if (rc != 0) return rc;
    }
    for (int i = 0; i < pkg.count; ++i) {
        if (!starts_with(pkg.table[i], "ppt/slides/slide")) continue;
        ctx->page_number += 1;
        if (ctx->split_pages) {
            rc = open_numbered(ctx, false, ctx->page_number - 1);
            if (rc != 0) return rc;
        }
        ctx->line_count = 0;
        rc = walk_member(ctx, pkg.table[i], false);
        if (ctx->split_pages) {
            int close_rc = ofx_close_output(ctx);
            if (rc == 0) rc = close_rc;
        }
        if (rc != 0) return rc;
    }
    if (!ctx->split_pages) return ofx_close_output(ctx);
    return 0;
}

int dump_word_text(const dump_request& req) { return run_dump(req, true); }

int dump_powerpoint_text(const dump_request& req) { return run_dump(req, false); }
