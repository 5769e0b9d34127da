// The decompression of a VBA project's streams (see vba_decompress.h).
#include "vba_decompress.h"

#include <new>

namespace vba {

namespace {

constexpr size_t kChunkText = 4096;

// The number of bits of a copy token that hold its offset, from the bytes
// of the chunk's text written so far (at least 1 before a copy): the bits
// needed to count them, at least 4.
unsigned offset_bits(size_t written) {
    unsigned bits = 0;
    while ((size_t{1} << bits) < written) ++bits;
    return bits < 4 ? 4 : bits;
}

// One compressed chunk's data (after its header) into out.
int decompress_chunk(const unsigned char* p, size_t n, size_t limit, std::string& out) {
    const size_t start = out.size();
    size_t i = 0;
    while (i < n) {
        const unsigned flags = p[i++];
        for (int bit = 0; bit < 8 && i < n; ++bit) {
            const size_t written = out.size() - start;
            if ((flags & (1u << bit)) == 0) {
                if (written >= kChunkText) return DECOMPRESS_BAD_CHUNK;
                if (out.size() >= limit) return DECOMPRESS_TOO_LARGE;
                out.push_back(static_cast<char>(p[i++]));
                continue;
            }
            if (n - i < 2) return DECOMPRESS_BAD_CHUNK;
            const unsigned token = p[i] | (p[i + 1] << 8);
            i += 2;
            if (written == 0) return DECOMPRESS_BAD_COPY;
            const unsigned bits = offset_bits(written);
            const unsigned length_mask = 0xFFFFu >> bits;
            const size_t length = (token & length_mask) + 3;
            const size_t offset = (token >> (16 - bits)) + 1;
            if (offset > written) return DECOMPRESS_BAD_COPY;
            if (written + length > kChunkText) return DECOMPRESS_BAD_CHUNK;
            // Byte by byte: a copy may overlap the bytes it writes.
            for (size_t k = 0; k < length; ++k) {
                if (out.size() >= limit) return DECOMPRESS_TOO_LARGE;
                out.push_back(out[out.size() - offset]);
            }
        }
    }
    return DECOMPRESS_OK;
}

}  // namespace

const char* decompress_status_text(int status) {
    switch (status) {
    case DECOMPRESS_OK: return "ok";
    case DECOMPRESS_BAD_SIGNATURE: return "no compressed container";
    case DECOMPRESS_BAD_CHUNK: return "a broken compressed chunk";
    case DECOMPRESS_BAD_COPY: return "a copy token before its chunk";
    case DECOMPRESS_TOO_LARGE: return "beyond the size limit";
    case DECOMPRESS_NO_MEMORY: return "out of memory";
    }
    return "unknown";
}

int decompress(const unsigned char* data, size_t size, size_t limit, std::string& out) {
    out.clear();
    if (size < 1 || data[0] != 0x01) return DECOMPRESS_BAD_SIGNATURE;
    try {
        size_t pos = 1;
        while (pos < size) {
            if (size - pos < 2) return DECOMPRESS_BAD_CHUNK;
            const unsigned header = data[pos] | (data[pos + 1] << 8);
            if (((header >> 12) & 0x07) != 0x03) return DECOMPRESS_BAD_CHUNK;
            const size_t chunk = (header & 0x0FFF) + 3;  // header included
            // The last chunk may be cut short by the end of the stream.
            const size_t body = (chunk < size - pos ? chunk : size - pos) - 2;
            const unsigned char* p = data + pos + 2;
            if (header & 0x8000) {
                int rc = decompress_chunk(p, body, limit, out);
                if (rc != DECOMPRESS_OK) return rc;
            } else {
                // A raw chunk: its 4096 bytes of text as they are.
                if (chunk != kChunkText + 2 || body != kChunkText) return DECOMPRESS_BAD_CHUNK;
                if (limit - out.size() < body) {
                    out.append(reinterpret_cast<const char*>(p), limit - out.size());
                    return DECOMPRESS_TOO_LARGE;
                }
                out.append(reinterpret_cast<const char*>(p), body);
            }
            pos += chunk;
        }
        return DECOMPRESS_OK;
    } catch (const std::bad_alloc&) {
        return DECOMPRESS_NO_MEMORY;
    }
}

}  // namespace vba
