// Shared by the files of the dump; not part of its interface.
#ifndef OFX_INTERNAL_H
#define OFX_INTERNAL_H

#include <cstddef>

#include "ofx.h"

// Appends bytes to the current output file (LF becomes CR LF); nothing when
// no file is open.
void ofx_write(OFX_CONTEXT* ctx, const char* text, size_t n);

// True when a write to the current file has failed.
bool ofx_write_failed(const OFX_CONTEXT* ctx);

#endif
