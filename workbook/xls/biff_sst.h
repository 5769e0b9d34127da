// The shared-string table: gathered from the SST record and the CONTINUE
// records that follow it, then parsed once into the book's shared strings.
//
// A string's characters may be split between two pieces; the next piece
// then opens with a fresh option byte that says whether the rest of the
// characters are one byte or two.  Rich-text runs and phonetic blocks are
// skipped, also when they straddle a piece boundary.  A string that begins
// exactly at a boundary starts at the next piece's data.
#ifndef VERGLE_XLS_BIFF_SST_H
#define VERGLE_XLS_BIFF_SST_H

#include <cstddef>
#include <cstdint>
#include <vector>

#include "biff_book.h"

namespace xls {

enum {
    SST_MAX_PIECES = 4096,           // piece table: pieces plus the end offset
    SST_GROW_STEP = 4 << 20,         // the gather buffer grows in 4 MiB steps
    SST_MAX_CHARS = 32767,           // characters of one string
    SST_MAX_UTF16_BYTES = 98300,     // assembled UTF-16LE bytes of one string
};

class sst_gather {
public:
    // Starts a new table with the SST record's data.  0 or -2.
    int start(const unsigned char* data, size_t len);
    // Appends a CONTINUE piece.  0; -2; -9 when the piece table is full
    // (message written through the book).
    int add(const unsigned char* data, size_t len, biff_book& book);
    // Parses the gathered table into the book's shared strings and forgets
    // it.  0; -1 malformed table; -2; -9 a string over its limit (message).
    int parse(biff_book& book);

    bool active() const { return active_; }
    void reset();

private:
    std::vector<unsigned char> buf_;
    std::vector<size_t> starts_;  // start of each piece in buf_
    bool active_ = false;
};

}  // namespace xls

#endif
