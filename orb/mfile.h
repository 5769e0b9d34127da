// Memory files: a table of named in-memory files that stand in
// for disk files wherever a caller asks for memory mode (a workbook read from
// memory, a zip package and its members unpacked into memory).
//
// The table holds at most MFILE_MAX_OPEN_FILES records.  Records leave it only
// through mcloseall (all at once) or mcopy (setting the table aside); mclose
// keeps the content, so a later "rb" open of the same name reads it again.
// Each failure leaves one line in a message buffer that merror returns.
//
// Each thread has a table of its own (and its own message buffer): a memory
// file is seen by the thread that made it, and books read on separate threads
// never meet.  A thread's records stay until mcloseall frees them (a thread
// that ends with records left leaves them behind).
#ifndef ORB_MFILE_H
#define ORB_MFILE_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum { MFILE_MAX_OPEN_FILES = 100000, MFILE_NAME_MAX = 256 };

// Record status.
enum { MFILE_OPEN = 0, MFILE_CLOSED = 1, MFILE_REMOVED = 9, MFILE_WRITE_FAILED = -9 };

struct Mfile {
    char name[MFILE_NAME_MAX + 1];  // compared byte for byte
    int status;
    int index;            // slot in the table
    unsigned char* data;  // content
    int64_t increment;    // current growth step
    int64_t capacity;     // bytes allocated for data
    int factor;           // growth factor, 2
    int64_t size;         // bytes of content
    int64_t position;     // offset for reading and writing
};

// Opens a memory file.  mode: "wb" creates or empties the named record; "rb"
// and "ab" open an existing record at position 0, or load the disk file of
// that name into a new one.  Returns nullptr for another mode, an empty name
// or a name longer than MFILE_NAME_MAX (no message), and on failure (message).
Mfile* mopen(const char* name, const char* mode);

// Copies min(size*count, size - position) bytes; returns the number of BYTES
// copied (0 when the position is negative or at or past the end).
size_t mread(void* buf, size_t size, size_t count, Mfile* f);

// Writes size*count bytes at the position, growing the content; returns count,
// or 0 when memory runs out (status -9, message "mwrite() malloc()", content
// and size kept).
size_t mwrite(const void* buf, size_t size, size_t count, Mfile* f);

// Makes room for a content of bytes (a size known beforehand) so that
// writing it needs no growth.  0, or -1 when memory runs out (the record is
// kept as it was, and grows as it is written).
int mreserve(Mfile* f, int64_t bytes);

// origin 0 = from the start, 1 = from the position, 2 = from the size.  The new
// position must lie in 0..capacity.  0, or -1 (position unchanged).
int mseek(Mfile* f, int64_t offset, int origin);

// The position, or -1 when it lies outside 0..capacity.
int64_t mtell(Mfile* f);

// 0 while position < size, else -1.
int meof(Mfile* f);

// Position 0, status closed; the content stays.  Always 0.
int mclose(Mfile* f);

// Frees the content of the named record (any status).  0, or -1 when no record
// has that name.
int mfree(const char* name);

// Frees the content, empties the name and marks the record removed.  0, or -1
// when no record has that name.
int mremove(const char* name);

// The size of the named record, 0 when none has that name.
int64_t msize(const char* name);

// The names of all records not removed, in table order.
void mlist(std::vector<std::string>& names);

// The number of records in the table.
int mcount();

// The last failure text.
const char* merror();

// Frees every record; the count becomes 0.
void mcloseall();

// Direction 0: sets the whole table aside (the table becomes empty).  Other:
// empties the table and brings the set-aside records back.  0, or -1 with
// "mcopy() malloc()".
int mcopy(int direction);

#endif
