// Package unpacking: every member of a zip package (an Open XML document) is
// written either into a memory file named after the member or into a file
// below a destination folder, and the member names are collected in a table
// of fixed-size name slots.  The zip format is read through minizip over
// zlib, with file functions of our own so that the package itself can also be
// a memory file.
//
// Calling order for a reader: create the table with orb_grow_slots (step
// ORB_SLOT_STEP, slot size ORB_SLOT_SIZE), set an integer to the capacity,
// call orb_unzip_package, sort the first count names with orb_name_order,
// read the wanted members with orb_load_file, release the table with
// orb_free_slots.
#ifndef ORB_ZIP_H
#define ORB_ZIP_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

enum {
    ORB_SLOT_SIZE = 257,      // a member name of at most 256 bytes and its terminator
    ORB_SLOT_STEP = 1000,     // the table grows by this many slots
    ORB_ZIP_NAME_MAX = 256,   // longest member name accepted
    ORB_ZIP_PIECE = 8192,     // members are copied in pieces of this size
};

// Unpacking modes.
enum {
    ORB_UNZIP_MEMORY = 0,  // members become memory files named like the member
    ORB_UNZIP_DISK = 1,    // members become files below the destination folder
};

// The package's central directory is damaged: an entry cannot be read, or
// the entries end before the directory does (its end record counts fewer
// entries than it holds).  The whole package is refused, nothing written.
enum { ORB_ZIP_BAD_DIRECTORY = -110 };

// Makes sure the name slot table has more than `needed` slots.
//   table     in/out (written): the array of slot pointers; may be nullptr
//             together with *capacity 0.
//   capacity  in/out (written): the number of slots.
//   used      the number of slots in use, whose contents are carried over.
//   slot_size bytes of each slot; step: the growth step in slots.
// Does nothing while needed < *capacity.  Otherwise the capacity grows by
// step (by as many steps as needed), new slots are zero-filled.  Returns 0;
// -2 when memory runs out (the table is then left as it was); -3 for a
// slot size or step below 1, a negative count, or used above the capacity.
int orb_grow_slots(char*** table, int needed, int* capacity, int used, int slot_size, int step);

// Frees every slot and the table (nullptr is fine).  Returns 0.
int orb_free_slots(char** table, int capacity);

// Unpacks every member of a package.
//   mode     ORB_UNZIP_MEMORY, or any other value for disk mode.
//   package  the package: a disk file, or a memory file when
//            orb_zip_on_memory(0) was called.
//   dest     disk mode: the destination folder; it is removed with everything
//            below it and created again (one level), and every member is
//            written below it under its relative name, creating folders as
//            needed.  Unused in memory mode.
//   count    in: the table's capacity; out (written): the names recorded.
//   table    (written) receives the member names, folder members excepted.
// Every entry of the central directory is read before anything is written
// or removed (the names, the declared sizes): a package is unpacked whole
// or refused.
// Returns 0, or:
//   -3    capacity below 1, or disk mode with an empty destination;
//   -101  the package cannot be opened, or a member's output cannot be created;
//   -9    the package holds at least as many members as the capacity; a
//         member name is longer than 256 bytes; in disk mode, a member name
//         that is absolute, holds a drive letter or a ':' or climbs out with
//         ".." (refused before anything is written or removed);
//   -104  the read buffer cannot be allocated;
//   -1    a member cannot be opened inside the package (an encrypted member),
//         or writing a disk file fails;
//   -2    writing a memory file fails, or the package would inflate beyond
//         what may be held: a member beyond 2 GiB - 1 bytes, or all members
//         together beyond min(physical memory / 4, 4 GiB), declared or
//         really produced (see orb_zip.cpp; orb_zip_over_budget() is then
//         true);
//   ORB_ZIP_BAD_DIRECTORY (-110)  the directory is damaged (above);
//   ORB_CANCELLED (-5)  the calling thread's cancel function said stop
//         (orb_cancel.h) while a member was inflated;
//   minizip's and zlib's own negative codes for a damaged member, e.g. -105
//   (UNZ_CRCERROR) for a member that fails its CRC check, -103
//   (UNZ_BADZIPFILE) for a member that ends before its declared size.
// Members written before a failure stay in place.
int orb_unzip_package(int mode, const char* package, const char* dest, int* count, char** table);

// Chooses the members orb_unzip_package_if unpacks: true for a member
// name (as stored in the package) that is wanted.
typedef bool (*orb_member_filter)(const char* name, void* arg);

// orb_unzip_package for the members the filter wants (every member when
// filter is nullptr): the others are neither inflated nor recorded, and
// neither their declared nor their real sizes count against the limits.
// Same codes.
int orb_unzip_package_if(int mode, const char* package, const char* dest, int* count, char** table,
                         orb_member_filter filter, void* arg);

// A package kept open after unpacking (orb_unzip_package_open), for the
// members left to be inflated on demand.
struct orb_package;

// orb_unzip_package in memory mode for the members `later` leaves out: those
// are named in the table and checked as every member is (the directory,
// the declared sizes against the limits, a password, a header that cannot
// be read) but not inflated; orb_package_stream inflates them, each as
// often as asked, and orb_package_close ends.  The package is opened once,
// for all of it.  *out is set on success only.  Same codes as
// orb_unzip_package.
int orb_unzip_package_open(const char* package, int* count, char** table, orb_member_filter later, void* arg,
                           orb_package** out);

// Where a member inflated on demand goes, piece by piece.
struct orb_member_sink {
    virtual ~orb_member_sink() = default;
    // Room for n more bytes; nullptr when memory runs out.
    virtual char* space(size_t n) = 0;
    // n bytes were written into space(): 0 to go on; any other result stops
    // the feeding and is what orb_package_stream returns (unless the member
    // turns out damaged: the member is read to its end anyway).
    virtual int add(size_t n) = 0;
};

// Inflates a member that the filter of orb_unzip_package_open left for
// later into sink, in pieces of ORB_ZIP_PIECE bytes.  The member counts
// against the package's limits as it would unpacked, and the calling
// thread's cancel function is asked after each piece, as for an unpacked
// member.  0; -1 a member not left for later; -2 memory or the limits (see
// orb_unzip_package); ORB_CANCELLED; minizip's codes for a damaged member
// (-105 a CRC that fails, -103 a member shorter than declared); else the
// sink's own result.
int orb_package_stream(orb_package* pkg, const char* name, orb_member_sink& sink);

// Reads every member left for later that was not yet inflated to its end,
// in directory order, and gives the first damaged one's code (0 when all
// are sound): a reader that fails on a member's content says first whether
// the package itself is damaged, as it would had it unpacked everything.
int orb_package_check_later(orb_package* pkg);

// Closes the package (nullptr is fine).
void orb_package_close(orb_package* pkg);

// True when the calling thread's last orb_unzip_package was refused for inflating beyond its
// bounds (-2): unpacking it again, on disk, cannot succeed either.
bool orb_zip_over_budget();

// The member count that the last package opened by orb_unzip_package on
// the calling thread declares (0 when none could be opened): after a -9 for a full table, the
// capacity it needs.  Unchecked: a damaged directory may claim more members
// than it holds.
int orb_zip_declared_members();

// Tests: replaces the total budget and the member limit (bytes; 0 restores
// the rule).
void orb_zip_set_limits(int64_t total, int64_t member);

// Chooses how the zip reader reaches the package file: non-zero (the state at
// start) means a disk file, 0 a memory file of that name.  The choice holds
// for the calling thread only.  Returns 0.
extern "C" int orb_zip_on_memory(int flag);

// Reads one member of a package whole into out: the member whose name
// matches without regard to ASCII letter case.  The package is read as
// orb_unzip_package reads it (a disk file, or a memory file after
// orb_zip_on_memory(0)).  Returns 0; -101 the package cannot be opened; -1
// no such member, or one that needs a password; -2 a member that would
// inflate beyond limit bytes (declared or really), or no memory; minizip's
// own negative codes for a damaged package or a member that fails its CRC
// check.
int orb_zip_read_member(const char* package, const char* name, std::string& out, int64_t limit);

// The member a relationship target names, resolved against the folder of
// its source part ("xl/worksheets"): "../drawings/drawing1.xml" gives
// "xl/drawings/drawing1.xml"; a target beginning with "/" is taken from the
// package root, ".." never climbs above it.
std::string orb_package_target(std::string_view folder, std::string_view target);

#endif
