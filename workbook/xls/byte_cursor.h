// A bounds-checked reader over a byte range, with explicit little-endian
// reads.  Every binary field of the legacy reader (compound-document
// headers, sectors, directory entries, BIFF records) is read through it: a
// read that would pass the end fails and leaves the position where it was,
// so a record shorter than its fields is a result, never an overrun.
#ifndef VERGLE_XLS_BYTE_CURSOR_H
#define VERGLE_XLS_BYTE_CURSOR_H

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace xls {

class byte_cursor {
public:
    byte_cursor() = default;
    byte_cursor(const unsigned char* data, size_t size) : data_(data), size_(data ? size : 0) {}

    size_t size() const { return size_; }
    size_t position() const { return pos_; }
    size_t remaining() const { return size_ - pos_; }
    bool at_end() const { return pos_ >= size_; }
    // The bytes from the current position on (remaining() of them).
    const unsigned char* here() const { return data_ + pos_; }

    // Moves to an absolute position (at most size()).
    bool seek(size_t pos) {
        if (pos > size_) return false;
        pos_ = pos;
        return true;
    }
    bool skip(size_t n) {
        if (n > remaining()) return false;
        pos_ += n;
        return true;
    }

    bool u8(uint8_t& v) {
        if (remaining() < 1) return false;
        v = data_[pos_++];
        return true;
    }
    bool u16(uint16_t& v) {
        if (remaining() < 2) return false;
        v = static_cast<uint16_t>(data_[pos_] | (data_[pos_ + 1] << 8));
        pos_ += 2;
        return true;
    }
    bool u32(uint32_t& v) {
        if (remaining() < 4) return false;
        v = static_cast<uint32_t>(data_[pos_]) | (static_cast<uint32_t>(data_[pos_ + 1]) << 8) |
            (static_cast<uint32_t>(data_[pos_ + 2]) << 16) |
            (static_cast<uint32_t>(data_[pos_ + 3]) << 24);
        pos_ += 4;
        return true;
    }
    bool u64(uint64_t& v) {
        uint32_t lo, hi;
        size_t keep = pos_;
        if (!u32(lo) || !u32(hi)) {
            pos_ = keep;
            return false;
        }
        v = (static_cast<uint64_t>(hi) << 32) | lo;
        return true;
    }
    // An IEEE 754 double stored little-endian.
    bool f64(double& v) {
        uint64_t bits;
        if (!u64(bits)) return false;
        std::memcpy(&v, &bits, sizeof v);
        return true;
    }
    // Hands out a view of the next n bytes and steps over them.
    bool bytes(const unsigned char*& p, size_t n) {
        if (n > remaining()) return false;
        p = data_ + pos_;
        pos_ += n;
        return true;
    }

private:
    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
    size_t pos_ = 0;
};

// Little-endian reads at a fixed offset of a range; false when the field
// does not lie wholly inside it.
inline bool read_u16_at(const unsigned char* data, size_t size, size_t off, uint16_t& v) {
    byte_cursor c(data, size);
    return c.seek(off) && c.u16(v);
}
inline bool read_u32_at(const unsigned char* data, size_t size, size_t off, uint32_t& v) {
    byte_cursor c(data, size);
    return c.seek(off) && c.u32(v);
}

}  // namespace xls

#endif
