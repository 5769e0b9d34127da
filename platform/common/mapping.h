// The record behind plat_mapping and the read-in that stands in for a
// mapping where the system cannot map a file; shared by the POSIX and the
// Windows parts of the platform layer.
#ifndef PLAT_MAPPING_H
#define PLAT_MAPPING_H

#include <cstddef>
#include <cstdint>
#include <cstdlib>

struct plat_mapping {
    const unsigned char* data;
    size_t size;
    void* mapped;          // the mapped pages, nullptr for a read-in copy
    unsigned char* owned;  // the read-in copy (malloc)
    void* os_handle;       // an open file kept with the mapping (Windows), or nullptr
};

namespace plat_detail {

// What an empty read-in points to.
inline const unsigned char no_bytes[1] = {0};

// Reads a file to its end into m->owned, growing the buffer as the content
// turns out longer than the size hint (pipes and devices report none).
// read_some(buffer, room) gives the bytes it read, 0 at the end, or -1 when
// the read fails.  0, -1 (read failed) or -2 (no memory).
template <class ReadSome>
int read_all(size_t hint, plat_mapping* m, ReadSome read_some) {
    size_t capacity = hint && hint < SIZE_MAX ? hint + 1 : 65536, used = 0;
    unsigned char* buf = static_cast<unsigned char*>(std::malloc(capacity));
    if (!buf) return -2;
    for (;;) {
        if (used == capacity) {
            unsigned char* more =
                capacity > SIZE_MAX / 2 ? nullptr : static_cast<unsigned char*>(std::realloc(buf, capacity * 2));
            if (!more) {
                std::free(buf);
                return -2;
            }
            buf = more;
            capacity *= 2;
        }
        long long got = read_some(buf + used, capacity - used);
        if (got < 0) {
            std::free(buf);
            return -1;
        }
        if (got == 0) break;
        used += static_cast<size_t>(got);
    }
    m->owned = buf;
    m->data = used ? buf : no_bytes;
    m->size = used;
    return 0;
}

// The whole pages of size `page` inside the bytes [offset, offset + n) of a
// mapping, cut to its end: [*from, *to) from the mapping's start.  The pages
// at the range's edges may still be read and are left out.  False when there
// are none, or when the bytes are a read-in copy.
inline bool whole_pages(const plat_mapping* m, size_t offset, size_t n, size_t page, size_t* from, size_t* to) {
    if (!m || !m->mapped || offset >= m->size) return false;
    if (n > m->size - offset) n = m->size - offset;
    *from = (offset + page - 1) / page * page;
    *to = (offset + n) / page * page;
    return *to > *from;
}

}  // namespace plat_detail

#endif
