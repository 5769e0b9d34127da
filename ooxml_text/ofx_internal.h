// Shared by the files of the dump; not part of its interface.
#ifndef OFX_INTERNAL_H
#define OFX_INTERNAL_H

#include <cstddef>
#include <string>

#include "ofx.h"

// Appends bytes to the current output file (LF becomes CR LF); nothing when
// no file is open.
void ofx_write(OFX_CONTEXT* ctx, const char* text, size_t n);

// Converts UTF-8 text to the files' character set (ctx->out_charset) and
// appends it as ofx_write does; text is left converted.  0, or -2 when the
// conversion runs out of memory.
int ofx_write_utf8(OFX_CONTEXT* ctx, std::string& text);

// The label line that introduces a part of this mode when the part as a
// whole is one item ("【ヘッダー】", "【フッター】", "【ノート】"), or nullptr.
const char* ofx_label_text(int mode);

// True when a write to the current file has failed.
bool ofx_write_failed(const OFX_CONTEXT* ctx);

#endif
