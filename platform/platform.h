// The platform layer: the only code that talks to the operating system.
//
// Everything above this header is free of #ifdef _WIN32.  One implementation
// per system is chosen by the build: platform/posix/ and platform/win32/.
//
// Paths are byte strings in the platform's path encoding: the ANSI code page
// (CP932 on the target systems) on Windows, UTF-8 on POSIX.  Results follow the
// codes of the file layer: 0 or a count on success, negative on failure.
#ifndef VERGLE_PLATFORM_H
#define VERGLE_PLATFORM_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------
// Path conventions
// ---------------------------------------------------------------------------

// The separator used to join paths: '\\' on Windows, '/' on POSIX.
char plat_separator();

// True when the byte separates path components ('\\' and '/' on Windows,
// '/' on POSIX).
bool plat_is_separator(char c);

// The character-set code (1 = Shift-JIS, 3 = UTF-8) whose lead-byte rule
// applies to path scans.
int plat_path_charset();

// True when the path is absolute ("/x" on POSIX; "\\x", "X:..." on Windows).
bool plat_is_absolute(const char* path);

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------

struct plat_file;  // opaque

// Open modes, as the file layer numbers them.
enum {
    PLAT_READ = 1,       // read; the file must exist
    PLAT_WRITE = 2,      // write; created or truncated
    PLAT_APPEND = 3,     // write; opened or created, positioned at the end
    PLAT_READWRITE = 4,  // read and write; opened or created
    PLAT_CREATE = 5,     // write; a new file: fails when anything (a link
                         // included) is already at the path
};

// Returns the open file, or nullptr when the mode is unknown or the system
// refuses.
plat_file* plat_open(const char* path, int mode);
// Closes the file: 0, or -1 when the system reports a failure (data that
// may not have reached the disk).
int plat_close(plat_file* f);
// Bytes read (0 at end of file or on failure).
size_t plat_read(plat_file* f, void* buf, size_t n);
// Bytes written (less than n on failure).
size_t plat_write(plat_file* f, const void* buf, size_t n);
// origin: 0 = from the start, 1 = from the current position, 2 = from the end.
// Returns 0, or -1 when the system refuses (invalid parameter).
int plat_seek(plat_file* f, int64_t offset, int origin);
// The current position, or -1.
int64_t plat_tell(plat_file* f);

// The size of a file: 0 and *size set; -101 when it cannot be opened; -1 when
// its status cannot be queried.
int plat_file_size(const char* path, int64_t* size);

// ---------------------------------------------------------------------------
// Read-only file mappings
// ---------------------------------------------------------------------------

struct plat_mapping;  // opaque

// The whole content of a file, read-only and without a copy where the system
// allows it: the file is mapped into memory.  Where it does not (an empty
// file, a pipe or device, a mapping the system refuses) the file is read into
// a buffer of the mapping's own instead, so callers see no difference.  The
// bytes stay valid until plat_unmap_file.  A mapped file must not shrink
// meanwhile (on POSIX a mapped page past a new end cannot be read: the
// process would be killed), so a file that another program may rewrite
// meanwhile (a user's document) is mapped only where the system keeps a
// mapped file from shrinking (Windows) and read in elsewhere; own_file says
// the file is the caller's own (a temporary file in its run folder) and may
// be mapped everywhere.  Returns the mapping, or nullptr with *status (when
// not null) -101 when the file cannot be opened (a folder included), -1 when
// it cannot be read, -2 when memory runs out.
plat_mapping* plat_map_file(const char* path, int* status, bool own_file = false);
// The bytes and their count (a valid pointer also for an empty file).
const unsigned char* plat_mapped_data(const plat_mapping* m);
size_t plat_mapped_size(const plat_mapping* m);
// Tells the system that the bytes [offset, offset + n) will not be read
// again soon: their pages may leave the process's memory (a later read takes
// them from the file again).  Nothing happens for a read-in copy.
void plat_mapped_done(plat_mapping* m, size_t offset, size_t n);
// Releases the mapping (nullptr is ignored).
void plat_unmap_file(plat_mapping* m);

// ---------------------------------------------------------------------------
// Folders
// ---------------------------------------------------------------------------

enum plat_kind { PLAT_NONE = 0, PLAT_FILE = 1, PLAT_DIR = 2, PLAT_LINK = 3, PLAT_OTHER = 4 };

// What the path names, without following a final symbolic link or junction.
plat_kind plat_path_kind(const char* path);

// Creates one folder.  0 when created, 1 when it already exists as a folder,
// -1 otherwise.
int plat_make_dir(const char* path);

// Creates a folder of its own under base: base, the separator, "Vergle-"
// and a random part, made exclusively (never an existing folder or link) and
// on POSIX readable by the user alone.  0 and out set, or -1.
int plat_make_run_dir(const char* base, std::string& out);

// True when the two file names name the same entry of a folder: compared
// without regard to letter case on Windows, byte for byte on POSIX.
bool plat_same_file_name(const std::string& a, const std::string& b);

// Removes one file (or a link, never what it points at).  0 or -1.
int plat_remove_file(const char* path);
// Puts the file at from in the place of to (a file, or a link, at to is
// replaced, never written through): 0, or -1.
int plat_replace_file(const char* from, const char* to);

// Removes one empty folder (or a junction/link to a folder).  0 or -1.
int plat_remove_dir(const char* path);

struct plat_dirent {
    std::string name;
    plat_kind kind;  // as plat_path_kind; links are never reported as folders
};

// Lists a folder without "." and "..".  0, or -1 when it cannot be listed.
int plat_list_dir(const char* path, std::vector<plat_dirent>& out);

// Removes a folder and everything below it.  Symbolic links and junctions
// inside the tree are removed as links: nothing outside the tree is touched.
// When the path itself is a link, only the link is removed.  0 when the path
// is gone afterwards (or never existed), -1 otherwise.
int plat_remove_tree(const char* path);

// ---------------------------------------------------------------------------
// Process environment
// ---------------------------------------------------------------------------

// The current folder; 0 or -1.
int plat_get_cwd(std::string& out);
int plat_set_cwd(const char* path);

// The full path of the running executable; 0 or -1.
int plat_module_path(std::string& out);

// True when the variable is set (out receives its value).
bool plat_getenv(const char* name, std::string& out);

// Sets (value non-null) or removes (value null) a variable of this process.
void plat_setenv(const char* name, const char* value);

// Starts program with the two arguments and waits without time limit until it
// ends.  Windows: CreateProcessA with the command line "\"%s\" \"%s\" \"%s\"";
// POSIX: the program is started directly with argv {program, a1, a2} (no
// shell), searched in PATH when it has no '/'.  Returns 0 when the program was
// started (whatever it returned; *exit_code receives its exit status when not
// null), -1 when it could not be started.
int plat_run_and_wait(const char* program, const char* a1, const char* a2, int* exit_code);

// The temporary folder when "TEMP" is not set: "C:\\Temp" on Windows;
// "TMPDIR", else "/tmp" on POSIX.
std::string plat_default_temp_folder();

// The folder-compare program when the settings name none: "WinMergeU.exe" on
// Windows; "" on POSIX, where the command line shows the differences itself.
const char* plat_default_diff_program();

// True when standard input is an interactive terminal.
bool plat_stdin_is_terminal();

// True when standard output (1) or standard error (2) is an interactive
// terminal.
bool plat_stream_is_terminal(int stream);

// The machine's physical memory in bytes, 0 when it cannot be queried.
uint64_t plat_physical_memory();

// Local date and time.
struct plat_time {
    int year, month, day, hour, minute, second;
};
void plat_local_time(plat_time* t);

// ---------------------------------------------------------------------------
// Code pages
// ---------------------------------------------------------------------------

// Code page 932 (Windows' Shift-JIS, the system ANSI code page on the target
// systems) to and from UTF-16.  Unmappable characters become '?' when
// encoding (with Windows' best-fit mappings), U+30FB when decoding invalid
// bytes.  Both return false only when memory runs out.
bool plat_cp932_to_utf16(const char* src, size_t n, std::u16string& out);
bool plat_utf16_to_cp932(const char16_t* src, size_t n, std::string& out);

// Appends the UTF-8 form of code point cp (at most U+10FFFF; the caller
// rejects what it must not write).  May throw std::bad_alloc.
void plat_append_utf8(std::string& out, uint32_t cp);

// UTF-8 to and from UTF-16.  Invalid UTF-8 sequences decode to U+FFFD; lone
// surrogates encode as U+FFFD.
bool plat_utf8_to_utf16(const char* src, size_t n, std::u16string& out);
bool plat_utf16_to_utf8(const char16_t* src, size_t n, std::string& out);

// Text in the platform's path and console encoding (CP932 on Windows, UTF-8 on
// POSIX) from UTF-8, and back.
std::string plat_native_from_utf8(const std::string& utf8);
std::string plat_utf8_from_native(const std::string& native);

#endif
