// The platform layer: the only code that talks to the operating system.
//
// Everything above this header is free of #ifdef _WIN32.  One implementation
// per system is chosen by the build: platform/posix/ and platform/win32/.
//
// Paths are UTF-8 byte strings on every system: the Windows layer hands them
// to the wide (UTF-16) system calls, so a path may hold any character the
// file system allows.  Results follow the codes of the file layer: 0 or a
// count on success, negative on failure.
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

// The character-set code whose lead-byte rule applies to path scans: 3
// (UTF-8) on every system, so no byte of a character is ever taken for a
// separator or a dot.
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
    PLAT_READ_DOCUMENT = 6,  // read a user's document: fails while another
                             // program has it open for writing, and keeps
                             // others from writing it while it is open, where
                             // the system can (Windows: no write sharing;
                             // Linux: a read lease, on a file of the user's
                             // own); elsewhere as PLAT_READ
};

// Returns the open file, or nullptr when the mode is unknown or the system
// refuses.  On Windows a file opened for reading cannot be written by
// another program while it is open (no write sharing), unless another
// program already held it open for writing.
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

// What stands at a path that is to be read as a document, found without
// opening anything but a regular file (a FIFO or device is never opened, so
// that a FIFO without a writer cannot hold the caller).
enum plat_check {
    PLAT_CHECK_OK = 0,       // a regular file (through links) that can be read
    PLAT_CHECK_MISSING,      // nothing there (or a folder on the way is missing)
    PLAT_CHECK_DENIED,       // the system refuses to let the caller read it
    PLAT_CHECK_FOLDER,       // a folder
    PLAT_CHECK_NOT_REGULAR,  // a FIFO, socket or device
};
plat_check plat_check_readable(const char* path);

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
// private to the user: mode 0700 on POSIX; on Windows a security descriptor
// of its own that gives the user alone access, inherited by what is made in
// it and nothing taken from base.  0 and out set, or -1.
int plat_make_run_dir(const char* base, std::string& out);

// True when the two file names name the same entry of a folder: compared
// without regard to letter case on Windows, byte for byte on POSIX.
bool plat_same_file_name(const std::string& a, const std::string& b);

// A key under which file names that plat_same_file_name takes for one name
// fall together (for sorting and looking names up): the name itself on
// POSIX, its upper-case form on Windows.
std::string plat_file_name_key(const std::string& name);

// Gives the file from the name to, in the same folder, replacing a file or
// link already called so (a link is replaced, never followed; a folder is
// never replaced).  0 or -1.
int plat_rename(const char* from, const char* to);

// Writes bytes into a new file beside path and then puts it in path's
// place: a file there is replaced whole or not at all, a link there is
// replaced and never written through, a folder there is left.  0 or -1.
int plat_write_replacing(const std::string& path, const std::string& bytes);

// Sets the time a file was last written to unix_seconds (seconds since
// 1970-01-01 UTC).  0 or -1.
int plat_set_file_time(const char* path, int64_t unix_seconds);

// Removes one file (or a link, never what it points at).  0 or -1.
int plat_remove_file(const char* path);

// Removes one empty folder (or a junction/link to a folder).  0 or -1.
int plat_remove_dir(const char* path);

struct plat_dirent {
    std::string name;
    plat_kind kind;  // as plat_path_kind; links are never reported as folders
};

// Lists a folder without "." and "..".  0, or -1 when it cannot be listed.
int plat_list_dir(const char* path, std::vector<plat_dirent>& out);

// The absolute path of what path names, every symbolic link, junction and
// "." or ".." on the way resolved (POSIX realpath; on Windows the final
// path of the opened file or folder, without its "\\?\" prefix).  0 and
// out set, or -1 when nothing is there or it cannot be resolved.
int plat_real_path(const char* path, std::string& out);

// Removes a folder and everything below it.  Symbolic links and junctions
// inside the tree are removed as links: nothing outside the tree is touched.
// When the path itself is a link, only the link is removed.  0 when the path
// is gone afterwards (or never existed), -1 otherwise.
int plat_remove_tree(const char* path);

// ---------------------------------------------------------------------------
// File stamps
// ---------------------------------------------------------------------------

// What tells one version of a file from another, and what a run needs to
// know of a folder it left behind.  Times are nanoseconds since 1970-01-01
// (UTC), as std::chrono::system_clock counts them.
struct plat_stamp {
    uint64_t volume = 0, index = 0;  // the file's identity: device and inode;
                                     // volume serial and file index on Windows
    int64_t size = 0;
    int64_t modified = 0;  // last write
    int64_t changed = 0;   // last change of content or status (POSIX; on
                           // Windows the last write)
    int64_t accessed = 0;  // last access, as far as the system keeps it
    plat_kind kind = PLAT_NONE;
    bool private_to_user = false;  // owned by this user and closed to all
                                   // others (POSIX: no group or other bits;
                                   // on Windows always, TEMP being the user's)
};

// True when two stamps describe the same version of the same file.
inline bool plat_same_version(const plat_stamp& a, const plat_stamp& b) {
    return a.volume == b.volume && a.index == b.index && a.size == b.size && a.modified == b.modified &&
           a.changed == b.changed;
}

// The stamp of an open file.  0, or -1.
int plat_stamp_file(plat_file* f, plat_stamp* out);

// The stamp of what a path names, a final symbolic link or junction not
// followed (its kind is then PLAT_LINK).  0, or -1 when nothing is there or
// it cannot be queried.
int plat_stamp_path(const char* path, plat_stamp* out);

// Sets the last-access time of a file or folder of the caller's own
// (nanoseconds since 1970), leaving its other times alone, so that a later
// stamp tells whether something has read it since.  0, or -1.
int plat_set_accessed(const char* path, int64_t time);

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
// ends.  Windows: CreateProcessW with the command line "\"%s\" \"%s\" \"%s\"",
// each argument quoted by characters as the C runtime splits it again; a
// bare program name is searched in the folders of PATH only (not in the
// current folder), ".exe" added when it has no extension; a batch file
// (.bat, .cmd), which would run through cmd.exe and have "%...%" in the
// paths expanded, is refused.  POSIX: the program is started directly with
// argv {program, a1, a2} (no shell), searched in PATH when it has no '/',
// with the signals this process ignores for itself (SIGPIPE, SIGXFSZ) back
// at their defaults unless they were ignored when it started.  interrupted
// (when not null) is asked every few milliseconds while the program runs;
// once it answers true the program is told to end (POSIX: SIGTERM, then
// SIGKILL after 5 seconds; Windows: ended) and waited for.  Returns 0 when
// the program ended by itself (*exit_code receives its exit status when not
// null), 1 when a signal ended it (POSIX; *exit_code receives the signal's
// number), -1 when it could not be started, -2 when it was refused (a batch
// file).
int plat_run_and_wait(const char* program, const char* a1, const char* a2, int* exit_code,
                      bool (*interrupted)(void* ctx) = nullptr, void* ctx = nullptr);

// The folder of the user's own settings: "XDG_CONFIG_HOME" when it is set
// to an absolute path, else "HOME" and ".config" (POSIX).  0 and out set,
// or -1 where the system keeps no such folder (Windows, where settings lie
// beside the executable) or "HOME" is not set.
int plat_user_config_folder(std::string& out);

// True when the caller may create files in the folder.
bool plat_folder_writable(const char* path);

// Called while the program of plat_run_and_watch runs, whenever the calling
// thread has window messages waiting: handles them all, and returns false
// when the user asked to stop.
using plat_watch_fn = bool (*)(void* ctx);

// plat_run_and_wait that keeps the calling thread's window alive.  Windows:
// watch(ctx) handles the window's messages during the wait; once it returns
// false the program's windows are asked to close (WM_CLOSE, as the user
// closing them), and the wait goes on until the program has ended.  POSIX:
// plat_run_and_wait with watch asked every few milliseconds as whether to
// go on (a terminal program has no window to keep alive); its results.
int plat_run_and_watch(const char* program, const char* a1, const char* a2, int* exit_code, plat_watch_fn watch,
                       void* ctx);

// The program's arguments in UTF-8 (argv[0] first): on Windows from the
// wide command line, on POSIX argv itself.  False when they could only be
// taken from argv.
bool plat_utf8_args(int argc, char** argv, std::vector<std::string>& out);

// The temporary folder when "TEMP" is not set: "C:\\Temp" on Windows;
// "TMPDIR", else "/tmp" on POSIX.
std::string plat_default_temp_folder();

// The folder-compare program when the settings name none: "WinMergeU.exe" on
// Windows; "" on POSIX, where the command line shows the differences itself.
const char* plat_default_diff_program();

// True when messages are to be shown in Japanese.  Windows: always.  POSIX:
// when the first of LC_ALL, LC_MESSAGES and LANG that is set and not empty
// names a Japanese locale ("ja", "ja_JP", "ja_JP.UTF-8", ...).  Only the
// variables count, not whether such a locale is installed.
bool plat_japanese_messages();

// Reads up to n bytes of standard input, waiting at most wait_ms for the
// first of them (POSIX; Windows waits without limit).  The count read (0 at
// the end of the input), -1 when reading fails, -2 when nothing came in
// time (the caller may look for an interrupt and ask again).
long long plat_read_stdin(void* buf, size_t n, int wait_ms);

// True when standard input is an interactive terminal.
bool plat_stdin_is_terminal();

// True when standard output (1) or standard error (2) is an interactive
// terminal.
bool plat_stream_is_terminal(int stream);

// The processors this process may run on (POSIX: its affinity mask, so
// that taskset narrows it; Windows: the process's affinity mask), at
// least 1.
unsigned plat_cpu_count();

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

// The character at s[i] of a UTF-8 text of n bytes (i < n): its code point,
// or U+FFFD for a broken sequence (one for what it consumed, so that the next
// lead byte starts afresh; a byte below 0x80 is never consumed by a broken
// sequence); i moves past what was consumed.
inline uint32_t plat_utf8_decode(const unsigned char* s, size_t n, size_t& i) {
    unsigned c = s[i];
    if (c < 0x80) {
        ++i;
        return c;
    }
    int trail;
    uint32_t cp, min;
    if (c >= 0xC2 && c <= 0xDF) {
        trail = 1, cp = c & 0x1F, min = 0x80;
    } else if (c >= 0xE0 && c <= 0xEF) {
        trail = 2, cp = c & 0x0F, min = 0x800;
    } else if (c >= 0xF0 && c <= 0xF4) {
        trail = 3, cp = c & 0x07, min = 0x10000;
    } else {
        ++i;
        return 0xFFFD;
    }
    int k = 1;
    for (; k <= trail; ++k) {
        if (i + k >= n || (s[i + k] & 0xC0) != 0x80) break;
        cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (k <= trail || cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        i += (k <= trail) ? static_cast<size_t>(k) : static_cast<size_t>(trail + 1);
        return 0xFFFD;
    }
    i += static_cast<size_t>(trail) + 1;
    return cp;
}

// UTF-8 to code page 932 in one pass, byte for byte as plat_utf8_to_utf16
// followed by plat_utf16_to_cp932 converts it.  Writes at most 2 * n bytes
// to out and gives their count in *written; false only when memory runs
// out.
bool plat_utf8_to_cp932(const char* src, size_t n, char* out, size_t* written);
bool plat_utf16_to_utf8(const char16_t* src, size_t n, std::string& out);

// Text in the platform's path and text encoding from UTF-8, and back: UTF-8
// on every system now, so both give their argument unchanged (kept for
// callers written when Windows paths were in the ANSI code page).
std::string plat_native_from_utf8(const std::string& utf8);
std::string plat_utf8_from_native(const std::string& native);

// Text in the system's ANSI code page from UTF-8, and back: code page 932
// on the target Windows systems (as plat_utf16_to_cp932), UTF-8 on POSIX,
// which has none.  Files of the ANSI world keep it ("Vergle.ini", the
// library's book path).  plat_ansi_from_utf8 is false when a character has
// no exact place in the code page (ansi then holds '?' or a best-fit
// look-alike for it) or the text is not valid UTF-8.
bool plat_ansi_from_utf8(const std::string& utf8, std::string& ansi);
std::string plat_utf8_from_ansi(const std::string& ansi);

#endif
