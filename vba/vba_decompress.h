// The compression of a VBA project's streams: a compressed container is a
// signature byte 0x01 and a run of chunks, each a 16-bit header (its size
// less 3 in the low 12 bits, the signature 0b011 in bits 12-14, and whether
// the chunk is compressed in bit 15) and at most 4096 bytes of text once
// decompressed.  A compressed chunk is a run of token sequences: a flag byte
// whose bits, lowest first, tell whether each of the next eight tokens is a
// literal byte (0) or a 16-bit copy token (1) naming an offset back into the
// chunk's text and a length, split at a point that depends on how much of
// the chunk has been written.
#ifndef VERGLE_VBA_DECOMPRESS_H
#define VERGLE_VBA_DECOMPRESS_H

#include <cstddef>
#include <string>

namespace vba {

enum decompress_status {
    DECOMPRESS_OK = 0,
    DECOMPRESS_BAD_SIGNATURE = 1,  // no container signature byte
    DECOMPRESS_BAD_CHUNK = 2,      // a chunk header without its signature, or
                                   // a chunk that runs past the data or holds
                                   // more than 4096 bytes of text
    DECOMPRESS_BAD_COPY = 3,       // a copy token reaching before the chunk
    DECOMPRESS_TOO_LARGE = 4,      // more text than the limit allows
    DECOMPRESS_NO_MEMORY = 5,
};

// A short English description of a status, for messages.
const char* decompress_status_text(int status);

// Decompresses the container in data[0, size) into out (which is replaced).
// At most limit bytes are written: a container holding more stops there
// with DECOMPRESS_TOO_LARGE (out then holds the first limit bytes).  On any
// other failure out holds what was decompressed before it.
int decompress(const unsigned char* data, size_t size, size_t limit, std::string& out);

}  // namespace vba

#endif
