// Record splitting (see biff_stream.h).
#include "biff_stream.h"

#include "byte_cursor.h"

namespace xls {

int feed_records(biff_reader& reader, const unsigned char* data, size_t size, feed_done_fn done, void* ctx) {
    constexpr size_t kDoneStep = size_t(4) << 20;
    byte_cursor c(data, size);
    uint16_t previous = 0xFFFF;
    size_t told = 0;
    for (;;) {
        size_t at = c.position();
        if (done && at - told >= kDoneStep) {
            told = at;
            done(ctx, at);
        }
        uint16_t type = 0, len = 0;
        const unsigned char* body = nullptr;
        // A header or body cut off by the end of the stream ends it.
        if (!c.u16(type) || !c.u16(len) || !c.bytes(body, len)) break;
        if (type == 0 && previous == BIFF_EOF) break;
        previous = type;
        int rc = reader.record(type, body, len, at);
        if (rc == BIFF_STREAM_OVER) break;
        if (rc != 0) return rc;
    }
    int rc = reader.finish();
    return rc == BIFF_STREAM_OVER ? 0 : rc;
}

}  // namespace xls
