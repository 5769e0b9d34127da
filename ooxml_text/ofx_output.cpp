// The output files of the dump: buffered writes to a file of the output
// folder, every line feed written as CR LF (the same bytes on every system).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "ofx.h"
#include "ofx_internal.h"
#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"

struct ofx_stream {
    plat_file* file = nullptr;
    bool failed = false;
    size_t used = 0;
    char buf[1 << 16];
};

namespace {

bool flush(ofx_stream* s) {
    if (s->used > 0 && s->file) {
        if (plat_write(s->file, s->buf, s->used) != s->used) s->failed = true;
    }
    s->used = 0;
    return !s->failed;
}

// The paths, counters and switches as a new context has them.
void reset_fields(OFX_CONTEXT* ctx) {
    ctx->input_path[0] = '\0';
    ctx->output_folder[0] = '\0';
    ctx->page_number = 0;
    ctx->line_count = 0;
    ctx->grid_columns = 0;
    ctx->work_size = 0;
    ctx->split_pages = true;
    ctx->skip_shapes = false;
}

}  // namespace

int ofx_init(OFX_CONTEXT* ctx) {
    reset_fields(ctx);
    ctx->ui = nullptr;
    ctx->chart_text = nullptr;
    ctx->chart_source = nullptr;
    ctx->out_charset = 1;
    ctx->doc = nullptr;
    ctx->out = new (std::nothrow) ofx_stream;
    return ctx->out ? 0 : -2;
}

int ofx_term(OFX_CONTEXT* ctx) {
    if (ctx->out) {
        ofx_close_output(ctx);
        delete ctx->out;
    }
    ctx->out = nullptr;
    reset_fields(ctx);
    return 0;
}

int ofx_close_output(OFX_CONTEXT* ctx) {
    ofx_stream* s = ctx->out;
    if (!s || !s->file) return 0;
    flush(s);
    if (plat_close(s->file) != 0) s->failed = true;
    s->file = nullptr;
    bool failed = s->failed;
    s->failed = false;
    return failed ? -103 : 0;
}

int ofx_open_output(OFX_CONTEXT* ctx, const char* path) {
    if (!ctx->out) return -2;
    int rc = ofx_close_output(ctx);
    // Every page file is new: a file or link already in its place is never
    // written through.
    ctx->out->file = plat_open(path, PLAT_CREATE);
    if (!ctx->out->file) {
        if (ctx->ui) ctx->ui->show_error(ui_format("ERROR:一時ファイル(%s)作成エラー", std::string(path)), false);
        return -101;
    }
    return rc;
}

int ofx_output_path(const OFX_CONTEXT* ctx, bool word, int number, char* out, size_t size) {
    std::string name;
    if (number < 0) {
        name = word ? "全文" : "全スライド";
    } else {
        char digits[16];
        std::snprintf(digits, sizeof digits, "%03d", number);
        name = std::string(word ? "ページ" : "スライド") + digits;
    }
    std::string native = plat_native_from_utf8(name);
    return orb_join_path(out, size, ctx->output_folder, native.c_str());
}

namespace {

// Characters that code page 932 lacks but list numbers and check boxes
// use, written as what they enclose or as the nearest character it has, so
// that "⑴" and "⑵" do not both become "?".  UTF-8 files keep them.
void spell_for_cp932(std::string& text) {
    static const char* const kanji[] = {"一", "二", "三", "四", "五", "六", "七", "八", "九", "十"};
    std::string out;
    size_t kept = 0;  // text before this is in out
    for (size_t i = 0; i + 2 < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if ((c & 0xFE) != 0xE2 || (c == 0xE3 && text[i + 1] != '\x88')) continue;  // only U+3220-U+3229 of U+3xxx
        uint32_t cp = ((c & 0x0Fu) << 12) | ((static_cast<unsigned char>(text[i + 1]) & 0x3Fu) << 6) |
                      (static_cast<unsigned char>(text[i + 2]) & 0x3Fu);
        std::string with;
        if (cp >= 0x2474 && cp <= 0x2487) with.append("(").append(std::to_string(cp - 0x2473)).append(")");  // ⑴
        else if (cp >= 0x2488 && cp <= 0x249B) with = std::to_string(cp - 0x2487) + ".";   // ⒈
        else if (cp >= 0x3220 && cp <= 0x3229) with = std::string("(") + kanji[cp - 0x3220] + ")";  // ㈠
        else if (cp == 0x2022) with = "・";                                                // •
        else if (cp == 0x25AA) with = "■";                                                 // ▪
        else if (cp == 0x2610) with = "□";                                                 // ☐
        else if (cp == 0x2611 || cp == 0x2612) with = "■";                                 // ☑ ☒
        else continue;
        out.append(text, kept, i - kept);
        out += with;
        i += 2;
        kept = i + 1;
    }
    if (kept == 0) return;
    out.append(text, kept, std::string::npos);
    text.swap(out);
}

}  // namespace

int ofx_write_utf8(OFX_CONTEXT* ctx, std::string& text) {
    if (ctx->out_charset != ORB_UTF8) spell_for_cp932(text);
    if (ctx->out_charset != ORB_UTF8 && orb_convert_string(ORB_UTF8, ORB_SJIS, text) != 0) return -2;
    ofx_write(ctx, text.data(), text.size());
    return 0;
}

void ofx_write(OFX_CONTEXT* ctx, const char* text, size_t n) {
    ofx_stream* s = ctx->out;
    // Before the first file is open the text goes nowhere.
    if (!s || !s->file) return;
    while (n > 0) {
        const char* lf = static_cast<const char*>(std::memchr(text, '\n', n));
        size_t run = lf ? static_cast<size_t>(lf - text) : n;
        // The run, then CR LF for the line feed that ends it.
        size_t need = run + (lf ? 2 : 0);
        if (s->used + need > sizeof s->buf) flush(s);
        if (need > sizeof s->buf) {
            if (plat_write(s->file, text, run) != run) s->failed = true;
        } else {
            std::memcpy(s->buf + s->used, text, run);
            s->used += run;
        }
        if (!lf) break;
        if (s->used + 2 > sizeof s->buf) flush(s);
        s->buf[s->used++] = '\r';
        s->buf[s->used++] = '\n';
        text += run + 1;
        n -= run + 1;
    }
}

bool ofx_write_failed(const OFX_CONTEXT* ctx) { return ctx->out && ctx->out->failed; }
