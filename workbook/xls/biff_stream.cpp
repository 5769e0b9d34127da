// Record splitting (see biff_stream.h).
#include "biff_stream.h"

#include <cstring>
#include <vector>

namespace xls {

namespace {

// Reads the pieces in order without copying what lies in one piece.
class piece_reader {
public:
    piece_reader(const stream_piece* pieces, size_t count) : pieces_(pieces), count_(count) { next_piece(); }

    // The stream offset of the next byte.
    size_t position() const { return position_; }

    // n bytes at *out: in place when the current piece holds them, else
    // joined in a buffer of the reader's own (valid until the next call).
    // False when the stream ends first.
    bool take(size_t n, const unsigned char*& out) {
        if (left_ >= n) {
            out = at_;
            at_ += n;
            left_ -= n;
            position_ += n;
            return true;
        }
        joined_.resize(n);
        size_t got = 0;
        while (got < n) {
            if (left_ == 0 && !next_piece()) return false;
            size_t m = n - got < left_ ? n - got : left_;
            std::memcpy(joined_.data() + got, at_, m);
            at_ += m;
            left_ -= m;
            got += m;
        }
        position_ += n;
        out = joined_.data();
        return true;
    }

private:
    // Moves to the next piece that holds bytes; false after the last.
    bool next_piece() {
        while (index_ < count_) {
            const stream_piece& p = pieces_[index_++];
            if (p.size) {
                at_ = p.data;
                left_ = p.size;
                return true;
            }
        }
        return false;
    }

    const stream_piece* pieces_;
    size_t count_;
    size_t index_ = 0;
    const unsigned char* at_ = nullptr;
    size_t left_ = 0;
    size_t position_ = 0;
    std::vector<unsigned char> joined_;
};

}  // namespace

int feed_records(biff_reader& reader, const unsigned char* data, size_t size) {
    stream_piece whole{data, size};
    return feed_records(reader, &whole, 1, nullptr, nullptr);
}

int feed_records(biff_reader& reader, const stream_piece* pieces, size_t count, feed_done_fn done, void* ctx) {
    constexpr size_t kDoneStep = size_t(1) << 20;
    size_t total = 0;
    for (size_t i = 0; i < count; ++i) total += pieces[i].size;
    piece_reader in(pieces, count);
    uint16_t previous = 0xFFFF;
    size_t told = 0;
    // The stream may end only where nothing is lost: after its last
    // substream (trailing bytes, zero padding after an EOF included).  A
    // record cut off by the end, or an end inside a substream or before one
    // the sheet list announced, means a damaged workbook: what follows the
    // cut would be missing without a word.
    auto end_at = [&](size_t at, bool cut) {
        if (!reader.may_end_at(at, total, cut)) return static_cast<int>(BIFF_CUT);
        int rc = reader.finish();
        return rc == BIFF_STREAM_OVER ? 0 : rc;
    };
    for (;;) {
        size_t at = in.position();
        if (done && at - told >= kDoneStep) {
            told = at;
            if (int stop = done(ctx, at)) return stop;
        }
        const unsigned char* header = nullptr;
        const unsigned char* body = nullptr;
        if (at == total) return end_at(at, false);
        if (total - at < 4 || !in.take(4, header)) return end_at(at, true);
        uint16_t type = static_cast<uint16_t>(header[0] | header[1] << 8);
        uint16_t len = static_cast<uint16_t>(header[2] | header[3] << 8);
        if (total - at - 4 < len || !in.take(len, body)) return end_at(at, true);
        if (type == 0 && previous == BIFF_EOF) return end_at(at, false);
        previous = type;
        int rc = reader.record(type, body, len, at);
        if (rc == BIFF_STREAM_OVER) {
            rc = reader.finish();
            return rc == BIFF_STREAM_OVER ? 0 : rc;
        }
        if (rc != 0) return rc;
    }
}

}  // namespace xls
