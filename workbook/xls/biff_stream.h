// Splits a workbook stream into its records and hands them to the record
// handler: a 16-bit type, a 16-bit length and that many data bytes each,
// little-endian.
#ifndef VERGLE_XLS_BIFF_STREAM_H
#define VERGLE_XLS_BIFF_STREAM_H

#include <cstddef>

#include "biff_records.h"

namespace xls {

// Feeds every record of the stream to the reader, then finishes it.  The
// stream ends with its last whole record, at a record of type 0 right after
// an EOF record (the zero padding of a stream), or when the handler says the
// stream is over.  Returns 0, or the handler's failure status (1002, -1, -2,
// -9 and the like).
//
// When done is not null it is called now and then (every few megabytes) with
// ctx and the number of bytes at the start of the stream that the records
// have been read past: the caller may let their memory go.
using feed_done_fn = void (*)(void* ctx, size_t upto);
int feed_records(biff_reader& reader, const unsigned char* data, size_t size, feed_done_fn done = nullptr,
                 void* ctx = nullptr);

}  // namespace xls

#endif
