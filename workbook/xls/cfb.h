// The compound-document reader: bytes in, streams out.
//
// A compound document (the structured storage container of the 97-2003
// Office formats) is a file of 512-byte sectors.  A sector allocation table
// (the FAT, whose own sectors are listed by the header and the DIFAT chain)
// links the sectors of each stream into a chain; the directory is itself such
// a stream of 128-byte entries arranged as a red-black tree per storage.
// Streams shorter than 4096 bytes live in the mini stream, a stream of 64-byte
// short sectors with its own allocation table (the mini FAT).
//
// This reader follows those chains.  Every sector number is checked against
// the file and the table before it is used, every chain is guarded against
// loops, and no allocation is sized by a count that has not been checked
// against the file's size.  It knows nothing of what the streams hold.
#ifndef VERGLE_XLS_CFB_H
#define VERGLE_XLS_CFB_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xls {

// Results of the reader.
enum cfb_status {
    CFB_OK = 0,
    CFB_NOT_COMPOUND = 1,          // too short for a header, or no signature
    CFB_BAD_BYTE_ORDER = 2,        // byte-order mark other than 0xFE 0xFF
    CFB_BAD_SECTOR_SIZE = 3,       // sector size other than 2^9
    CFB_BAD_SHORT_SECTOR_SIZE = 4, // short-sector size other than 2^6
    CFB_CORRUPT = 5,               // a sector number, a chain or a size out of bounds
    CFB_NOT_FOUND = 6,             // no stream of that name in the root storage
    CFB_NO_MEMORY = 7,
};

// The log text of a header failure ("Invalid Byte Order", "Invalid Sector
// Size", "Invalid Short-sector Size"), a short description otherwise.
const char* cfb_status_text(int status);

// True for the results that mean the header itself was refused.
inline bool cfb_is_header_failure(int status) {
    return status >= CFB_NOT_COMPOUND && status <= CFB_BAD_SHORT_SECTOR_SIZE;
}

class compound_file {
public:
    // Reads the header, the FAT (with its DIFAT extension), the mini FAT and
    // the directory of a compound document held in memory.  The bytes must
    // outlive the object.  Returns a cfb_status.
    int open(const unsigned char* data, size_t size);

    // Finds a stream among the direct children of the root storage; names
    // are compared without regard to ASCII letter case, as the format's own
    // name order does.  CFB_OK with *entry set, or CFB_NOT_FOUND.
    int find_stream(const char* name, uint32_t* entry) const;

    // The declared size of a directory entry's stream (0 for an unknown
    // entry).
    uint64_t stream_size(uint32_t entry) const;

    // Finds a stream or storage among the direct children of a storage
    // entry (0 is the root storage), its name compared as find_stream
    // compares.  CFB_OK with *entry set, or CFB_NOT_FOUND.
    int find_child(uint32_t storage, const std::u16string& name, uint32_t* entry) const;
    int find_child(uint32_t storage, const char* name, uint32_t* entry) const;

    // True for a storage entry (the root included).
    bool is_storage(uint32_t entry) const;

    // Reads a whole stream by following its chain (in the mini stream when
    // it is shorter than the cutoff).  CFB_OK, CFB_CORRUPT when the chain
    // is broken, loops, or is shorter than the declared size, CFB_NO_MEMORY.
    int read_stream(uint32_t entry, std::vector<unsigned char>& out) const;

    // The same stream without copying it: its bytes in order as pieces of
    // the document held in memory (or of the mini stream), neighbouring
    // sectors joined.  The pieces stay valid as long as the object and the
    // document's bytes.  Same results as read_stream; on failure out is empty.
    struct piece {
        const unsigned char* data;
        size_t size;
    };
    int stream_pieces(uint32_t entry, std::vector<piece>& out) const;

    // The number of directory entries (tests and diagnostics).
    size_t entry_count() const { return entries_.size(); }

private:
    struct dir_entry {
        std::u16string name;
        uint8_t type = 0;  // 0 unused, 1 storage, 2 stream, 5 root
        uint32_t left = 0, right = 0, child = 0;
        uint32_t start = 0;
        uint64_t size = 0;
    };

    int read_fat();
    int read_directory();
    int read_mini_stream();
    // Follows a chain of regular sectors through the FAT; the sector numbers
    // in order.  A sector met twice (a loop) or outside the file or the
    // table makes it CFB_CORRUPT.
    int chain(uint32_t start, std::vector<uint32_t>& out) const;
    // The pieces of size bytes of a chain of regular sectors, or of short
    // sectors in the mini stream; CFB_CORRUPT for a loop, a sector outside the
    // file or the table, or a chain shorter than size (out is then partial).
    int regular_pieces(uint32_t start, uint64_t size, std::vector<piece>& out) const;
    int mini_pieces(uint32_t start, uint64_t size, std::vector<piece>& out) const;
    // Bytes of sector s available in the file (512, fewer for a cut last
    // sector, 0 when it lies beyond the end).
    size_t sector_bytes(uint32_t s) const;

    const unsigned char* data_ = nullptr;
    size_t size_ = 0;
    uint32_t sector_count_ = 0;  // sectors that start inside the file
    uint32_t mini_cutoff_ = 4096;
    uint32_t first_dir_ = 0, first_minifat_ = 0, minifat_count_ = 0;
    std::vector<uint32_t> fat_;
    std::vector<uint32_t> minifat_;
    std::vector<dir_entry> entries_;
    std::vector<unsigned char> mini_stream_;
    int mini_status_ = CFB_OK;
};

// The workbook stream's entry in an open document: the root stream
// "Workbook", else "Book" (*is_book set accordingly when not null).  CFB_OK,
// or CFB_NOT_FOUND when neither exists.
int cfb_find_workbook(const compound_file& cf, uint32_t* entry, bool* is_book);

// Reads the workbook stream of a compound document held in memory (as
// cfb_find_workbook finds it).  A cfb_status; CFB_NOT_FOUND when neither
// stream exists.
int cfb_workbook_stream(const unsigned char* data, size_t size, std::vector<unsigned char>& out,
                        bool* is_book);

}  // namespace xls

// Copies the workbook stream ("Workbook", else "Book") of the compound
// document at compound_path, byte for byte, into a new file at image_path.
// *is_book_stream (when not null) is set true when the stream was "Book".
// Returns 0; -1 when the document cannot be read, is not a readable compound
// document or has neither stream; -2 when memory runs out; -101 when the
// output cannot be created; -103 on a short write (the partial output is
// removed).
int extract_workbook_stream(const char* compound_path, const char* image_path,
                            bool* is_book_stream);

#endif
