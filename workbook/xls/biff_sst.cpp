// The shared-string table (see biff_sst.h).
#include "biff_sst.h"

#include <algorithm>
#include <new>
#include <string>

#include "biff_text.h"

namespace xls {

namespace {

// Walks the gathered pieces.  Field reads run on into the next piece without
// further ado; character runs go through chars(), which reads the option
// byte that opens a continuation.
class piece_reader {
public:
    piece_reader(const std::vector<unsigned char>& buf, const std::vector<size_t>& starts)
        : buf_(buf), starts_(starts) {
        enter(0);
    }

    bool at_piece_end() const { return pos_ >= end_; }
    // Moves to the start of the next piece's data; false after the last.
    bool next_piece() {
        if (piece_ + 1 >= starts_.size()) return false;
        enter(piece_ + 1);
        return true;
    }
    // True when nothing is left in this piece nor in any later one.
    bool exhausted() {
        while (at_piece_end())
            if (!next_piece()) return true;
        return false;
    }
    bool read(unsigned char* dst, size_t n) {
        while (n) {
            if (at_piece_end() && !next_piece()) return false;
            size_t k = std::min(n, end_ - pos_);
            std::copy_n(buf_.data() + pos_, k, dst);
            dst += k;
            pos_ += k;
            n -= k;
        }
        return true;
    }
    bool skip(uint64_t n) {
        while (n) {
            if (at_piece_end() && !next_piece()) return false;
            size_t k = static_cast<size_t>(std::min<uint64_t>(n, end_ - pos_));
            pos_ += k;
            n -= k;
        }
        return true;
    }
    // Reads count characters into out; `wide` is the string's own width and
    // is replaced by the option byte of every continuation.  0, or -1 when
    // the data ends or an option byte is not 0 or 1.
    int chars(size_t count, bool wide, std::u16string& out) {
        while (count) {
            if (at_piece_end()) {
                do {
                    if (!next_piece()) return -1;
                } while (at_piece_end());
                unsigned char opt = buf_[pos_++];
                if (opt > 1) return -1;
                wide = opt == 1;
                if (at_piece_end()) continue;
            }
            size_t width = wide ? 2 : 1;
            size_t k = std::min(count, (end_ - pos_) / width);
            if (k == 0) return -1;  // half a character at the end of a piece
            for (size_t i = 0; i < k; ++i) {
                const unsigned char* p = buf_.data() + pos_ + i * width;
                out.push_back(static_cast<char16_t>(wide ? (p[0] | (p[1] << 8)) : p[0]));
            }
            pos_ += k * width;
            count -= k;
        }
        return 0;
    }

private:
    void enter(size_t piece) {
        piece_ = piece;
        pos_ = starts_.empty() ? 0 : starts_[piece];
        end_ = piece + 1 < starts_.size() ? starts_[piece + 1] : buf_.size();
    }

    const std::vector<unsigned char>& buf_;
    const std::vector<size_t>& starts_;
    size_t piece_ = 0, pos_ = 0, end_ = 0;
};

}  // namespace

void sst_gather::reset() {
    buf_.clear();
    buf_.shrink_to_fit();
    starts_.clear();
    active_ = false;
}

int sst_gather::start(const unsigned char* data, size_t len) {
    try {
        buf_.clear();
        starts_.clear();
        if (buf_.capacity() < SST_GROW_STEP) buf_.reserve(SST_GROW_STEP);
        starts_.reserve(64);
        buf_.insert(buf_.end(), data, data + len);
        starts_.push_back(0);
        active_ = true;
        return 0;
    } catch (const std::bad_alloc&) {
        reset();
        return -2;
    }
}

int sst_gather::add(const unsigned char* data, size_t len, biff_book& book) {
    // One slot stays free for the end offset of the last piece.
    if (starts_.size() + 1 >= SST_MAX_PIECES) {
        book.message(message_buffer_over(SST_MAX_PIECES, "TBX_MAX_CONTINUE"));
        return -9;
    }
    try {
        if (buf_.capacity() - buf_.size() < len) buf_.reserve(buf_.capacity() + SST_GROW_STEP);
        starts_.push_back(buf_.size());
        buf_.insert(buf_.end(), data, data + len);
        return 0;
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

int sst_gather::parse(biff_book& book) {
    if (!active_) return 0;
    int rc = 0;
    try {
        piece_reader r(buf_, starts_);
        // The table opens with its two counts (all strings, unique strings);
        // the strings themselves decide where it ends.
        if (!r.skip(8)) {
            reset();
            return 0;
        }
        std::u16string text;
        std::string utf8;
        while (!r.exhausted()) {
            unsigned char head[3];
            if (!r.read(head, 3)) break;  // padding after the last string
            size_t count = head[0] | (head[1] << 8);
            unsigned char flags = head[2];
            if (count > SST_MAX_CHARS) {
                book.message(message_buffer_over(SST_MAX_CHARS, "tbx_put_sst() XLS_CELL_STR_LEN"));
                rc = -9;
                break;
            }
            uint32_t runs = 0, phonetic = 0;
            unsigned char f[4];
            if (flags & 0x08) {
                if (!r.read(f, 2)) { rc = -1; break; }
                runs = f[0] | (f[1] << 8);
            }
            if (flags & 0x04) {
                if (!r.read(f, 4)) { rc = -1; break; }
                phonetic = f[0] | (f[1] << 8) | (f[2] << 16) | (static_cast<uint32_t>(f[3]) << 24);
            }
            text.clear();
            if (r.chars(count, flags & 0x01, text) != 0) {
                rc = -1;
                break;
            }
            if (text.size() * 2 > SST_MAX_UTF16_BYTES) {
                book.message(message_buffer_over(SST_MAX_UTF16_BYTES + 1, "tbx_put_sst() XLS_CELL_UTF8_LEN"));
                rc = -9;
                break;
            }
            for (char16_t& c : text)
                if (c == 0x00A0) c = u' ';
            if (!utf16_to_utf8(text, utf8)) {
                rc = -2;
                break;
            }
            rc = book.add_sst(utf8);
            if (rc != 0) break;
            // The formatting runs and the phonetic block; a table cut short
            // inside them has nothing more to give.
            if (!r.skip(4ull * runs + phonetic)) break;
        }
    } catch (const std::bad_alloc&) {
        rc = -2;
    }
    reset();
    return rc;
}

}  // namespace xls
