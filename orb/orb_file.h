// The file layer: document kind detection, OS file handles, whole-file
// helpers, folders and paths.  Every routine reports through its result:
// 0 (or a count) on success, a negative code on failure.
//
// Codes: -1 general failure, -2 memory, -3 bad argument, -9 a fixed limit,
// -101 open failure, -103 short write, -104 seek failure.
#ifndef ORB_FILE_H
#define ORB_FILE_H

#include <cstddef>
#include <cstdint>
#include <string>

struct plat_file;

// Paths live in buffers of this size: UTF-8 paths, as deep as Linux allows
// (a path of 300 characters and more included).
enum { ORB_PATH_MAX = 4096 };

// Document kind codes of orb_file_type.
enum {
    ORB_KIND_NONE = -1,
    ORB_KIND_XLS = 11,
    ORB_KIND_XLSX = 12,
    ORB_KIND_XLSB = 13,
    ORB_KIND_XLSM = 14,
    ORB_KIND_XLSX_LOCKED = 19,
    ORB_KIND_DOC = 21,
    ORB_KIND_DOCX = 22,
    ORB_KIND_DOCM = 23,
    ORB_KIND_DOCX_LOCKED = 29,
    ORB_KIND_PPT = 31,
    ORB_KIND_PPTX = 32,
    ORB_KIND_PPTM = 33,
    ORB_KIND_PPTX_LOCKED = 39,
};

// Source modes of orb_file_type.
enum { ORB_SOURCE_MEMORY = 0, ORB_SOURCE_DISK = 1, ORB_SOURCE_HEADER = 9999 };

// Decides the kind of a document from its first 16 bytes and its name.
// source: ORB_SOURCE_MEMORY reads the memory file named path; ORB_SOURCE_HEADER
// takes path as the 16 header bytes themselves (only magic bytes decide);
// any other value reads the disk file.  *type receives the kind code, -1 when
// nothing matched.  Returns 0; -101 when the file cannot be opened; -104 when
// a seek fails; -1 when a file that matches a password-protected entry lacks
// the "EncryptedPackage" stream.
extern "C" int orb_file_type(int source, const char* path, int* type);

// The compound-stream probe: in an open file positioned at its start, finds the
// directory entry named `name` (UTF-16LE, compared over its bytes).  0 when
// found (the file is then positioned at the stream's first sector), 1 when not
// found, -104 when a seek fails.  `file` is an ORB_FILE or an Mfile as told by
// is_memory.
int orb_find_stream(bool is_memory, void* file, const char* name);

// An OS file handle.
struct ORB_FILE {
    plat_file* handle;
    int mode;
};

// Mode 1 read (must exist), 2 write (create/truncate), 3 append (open or
// create, at the end), 4 read and write (open or create).  nullptr for another
// mode or when the system refuses.
ORB_FILE* orb_fopen(const char* path, int mode);
void orb_fclose(ORB_FILE* f);
// Bytes read; 0 at end of file or on failure.
size_t orb_fread(void* buf, size_t n, ORB_FILE* f);
// Bytes written; 0 on failure.
size_t orb_fwrite(const void* buf, size_t n, ORB_FILE* f);
// origin 1 = from the start, 2 = from the end, 3 = from the current position.
// 0; -3 for another origin; -104 when the system refuses.
int orb_fseek(ORB_FILE* f, int64_t offset, int origin);

// Reads one line: stops at a line feed (not stored) or a carriage return (a
// following line feed is consumed); a double-quoted run is stored whole, line
// ends included.  At most size - 1 bytes; always terminated.  1 when a line
// was read, 0 at end of file with nothing read.
int orb_read_line(char* buf, int size, ORB_FILE* f);

// The size of a disk file.  0; -101 when it cannot be opened; -1 when its
// status cannot be queried.
int aod_fsze(const char* path, int64_t* size);

// Reads a whole file (disk file when is_disk, memory file otherwise) into a
// new zero-terminated heap buffer (*buf, freed with free()); *len (when not
// null) receives the byte count.  0; -2 memory; -101 open failure.
int orb_load_file(bool is_disk, const char* path, char** buf, int64_t* len = nullptr);

// Copies a file (disk files when is_disk, memory files otherwise).
// 0; -101 when either cannot be opened; -103 on a short write.
int orb_copy_file(bool is_disk, const char* dest, const char* src);

// Grows an array so that index `needed` is valid: nothing while needed <
// *capacity; else the new capacity is first (from 0) or *capacity * factor,
// raised to needed + 1.  New elements are zeroed.  0, or -2 on memory failure
// (the array is unchanged).
int orb_grow_array(void** array, int64_t needed, int64_t* capacity, size_t elem_size,
                   int64_t first, int factor);

// The full path of the running executable (when it fits in size bytes with
// its terminator).  0 or -1.
int orb_module_path(char* buf, size_t size);

// Creates one folder.  0 when created or already there, -1 otherwise.
int orb_make_dir(const char* path);

// Creates every folder of a path.  0; -1 when a prefix cannot be created;
// -2 memory.
int orb_make_dirs(const char* path);

// Removes a folder with everything below it, never following symbolic links or
// junctions.  The current folder is not changed.  0, or -1 when something
// could not be removed.
int orb_remove_tree(const char* path);

// Joins two path parts with the platform separator into out (size bytes).
// 0, or -9 when the result does not fit.
int orb_join_path(char* out, size_t size, const char* a, const char* b);

#endif
