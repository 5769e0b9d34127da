// Splits a workbook stream into its records and hands them to the record
// handler: a 16-bit type, a 16-bit length and that many data bytes each,
// little-endian.
#ifndef VERGLE_XLS_BIFF_STREAM_H
#define VERGLE_XLS_BIFF_STREAM_H

#include <cstddef>

#include "biff_records.h"

namespace xls {

// A run of the stream's bytes, where it lies in memory.
struct stream_piece {
    const unsigned char* data;
    size_t size;
};

// Told now and then (every megabyte) how many bytes at the start of the
// stream the records have been read past: the caller may let them go.  A
// non-zero answer stops the reading, which then returns it (an interrupt).
using feed_done_fn = int (*)(void* ctx, size_t upto);

// The stream ends where it cannot: inside a substream or before a substream
// the sheet list announced (a record that runs past the end, a stream cut
// short).  The workbook is damaged and would be read in part.
enum { BIFF_CUT = -1 };

// Feeds every record of the stream to the reader, then finishes it.  The
// stream ends after its last record, at a record of type 0 right after an
// EOF record (the zero padding of a stream), or when the handler says the
// stream is over.  It must end after its last substream (trailing bytes
// after one are passed over); an empty stream is an empty book.  Returns 0, BIFF_CUT,
// or the handler's failure status (1002, -1, -2, -9 and the like).
int feed_records(biff_reader& reader, const unsigned char* data, size_t size);

// The same for a stream held in pieces, in order (the sectors of a compound
// document's chain): a record that a piece boundary cuts is put together
// before it is handed on, any other is handed on where it lies.  done (when
// not null) is called with ctx as above, and its non-zero answer returned.
int feed_records(biff_reader& reader, const stream_piece* pieces, size_t count, feed_done_fn done, void* ctx);

}  // namespace xls

#endif
