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

// The value of attribute `name` of the tag whose text runs from tag (its
// "<") to tag_end (its ">"), references resolved; a name beginning with ':'
// matches that local name under any prefix.  False when it is absent.
bool ofx_attribute(const char* tag, const char* tag_end, const char* name, std::string* value);

// True when a write to the current file has failed.
bool ofx_write_failed(const OFX_CONTEXT* ctx);

#endif
