// The comparison run: decide each file's kind, write its text into an output
// folder of its own under the temporary folder, start the folder-compare
// program on the two folders, wait for it, and remove both folders.
#ifndef VERGLE_COMPARISON_H
#define VERGLE_COMPARISON_H

#include <string>
#include <vector>

#include "folder_tree.h"
#include "settings.h"
#include "ui.h"

// The dumps the run calls for each family of documents.  A family without a
// dump is refused as an unsupported file.
struct dump_table {
    dump_fn workbook = nullptr;    // .xls, .xlsx, .xlsm
    dump_fn word = nullptr;        // .docx, .docm
    dump_fn powerpoint = nullptr;  // .pptx, .pptm
};

// The dumps linked into this program.
extern dump_table g_dumps;

// The stem of a path's file name: after the last separator and before the
// last dot (the whole name when it has no dot).  Lead bytes are skipped, so
// a trail byte never counts as a separator or a dot.  out holds at least
// RUN_PATH_MAX bytes.
void name_stem(const char* path, char* out);

// The folder a document's text goes to: base (the run's own folder), the
// separator, the stem of path and the suffix; "" when that does not fit in a
// path buffer.
std::string output_folder(const char* base, const char* path, const char* suffix);

// Starts the folder-compare program on the two output folders and waits until
// it ends, the window handling its messages meanwhile (ui.program_running);
// an interrupt of the run (ui.interrupted()) or the user stopping it tells
// the program to end and waits for that.  0 when it ran and ended by itself;
// -1 when it could not be started, was refused (a batch file, on Windows) or
// a signal ended it (after the message; none when the run was interrupted).
// folders_unread (when not null) is set when the program returned within 2
// seconds without having listed either folder: it may have handed them on
// to an instance of itself that is to show them.
int launch_folder_compare(const run_settings& s, vergle_ui& ui, const std::string& folder1,
                          const std::string& folder2, bool* folders_unread = nullptr);

// The temporary folder of a run: "TEMP", else the platform's default; a
// relative one made absolute against the current folder, so that a program
// started on folders under it finds them (and never reads "-x/..." as an
// option).  "" when the current folder cannot be had.
std::string run_temp_folder();

// The family of a document kind: 1 workbooks, 2 Word documents, 3
// presentations (each with its password-protected kind), 0 any other.
int document_family(int kind);

// Checks the document at path before anything of it is read: it must be a
// regular file that can be read (a FIFO or device is never opened), of a
// kind that can be told and that dumps has a dump for, and not locked by a
// password.  0 and *kind set, or -1 after the message (with its reason).
int check_document(const dump_table& dumps, vergle_ui& ui, const char* path, int* kind);

// Detects the kind of the file at path and dumps it into folder (created by
// the dump) in the character set out_charset (1 code page 932, 3 UTF-8);
// work_folder holds the dump's temporary files.  The document is read once,
// into a private copy in work_folder that the dump reads: a document that
// changes while it is copied (its size, times or identity differ after the
// last byte from before the first) is refused.  0, or -1 after the message
// (the dump's own, or the refusal of a locked, unsupported, unreadable or
// changing file).
int dump_document(const dump_table& dumps, vergle_ui& ui, const run_settings& s, int out_charset,
                  const char* work_folder, const char* path, const char* folder);

// Why a document could not be read, as one short line without its path
// ("パスワード付きのため比較できません", "読めないため比較できません: REASON"),
// from what is at path and the message its dump showed.
std::string refusal_line(const char* path, const std::string& message);

// A comparison of two folders, as its compare step sees it: both trees with
// the folder each document's text went to (refused documents with their
// messages), the two text trees, and the pairs of documents.
struct tree_run {
    folder_tree tree[2];
    std::string text_root[2];
    std::vector<tree_pair> pairs;
    int out_charset = 1;
    long refused = 0;  // documents refused, on either side
};

// What compares two written text trees: 0 (no differences), 1 (differences)
// or 2 and above (trouble, after its message).
using tree_compare_fn = int (*)(const tree_run& run, void* ctx);

// What compares the two written folders.  Null: the settings' external
// program.  Otherwise called with the two folders; returns 0 (no
// differences), 1 (differences) or 2 and above (trouble, after its message).
using compare_fn = int (*)(const char* folder1, const char* folder2, void* ctx);

struct run_options {
    compare_fn compare = nullptr;
    void* compare_ctx = nullptr;
    // After compare (a report written, say), start the settings' external
    // program on the folders all the same, unless compare found trouble.
    bool then_program = false;
    // Write the two folders into this folder and keep them.  It must not
    // exist yet: the run creates it, so nothing of the user's is written
    // into.  Null: a folder of the run's own under the temporary folder,
    // removed at the end.
    const char* keep_dir = nullptr;
    // Character set of the written files: 1 code page 932 (the default),
    // 3 UTF-8.
    int out_charset = 1;
    // Dump the two documents at the same time, each on a thread of its own
    // (the files written are the same as one after the other).
    bool parallel = true;
    // Two folders: what compares the two text trees (with compare_ctx).
    // Null: the settings' external program on the two text trees.
    tree_compare_fn tree_compare = nullptr;
    // Two folders: the documents are dumped by this many threads (0: one
    // for each processor the process may use).
    unsigned threads = 0;
};

// argv holds "Vergle", the first file and the second file (argc 3).  Both
// files are checked first (check_document; then they must be of one
// family), so that a wrong second file is told before the first is read and
// nothing is written for a pair that cannot be compared.  The run
// creates a folder of its own under the temporary folder ("TEMP"), writes the
// two documents' folders (named after their stems, "_1" and "_2" when the
// stems name the same folder) and, in a work folder for each dump, the
// private copies of the documents and a legacy workbook's stream image
// inside it, compares the two folders and removes its folder, whatever
// happened; except after an external program that returned within 2 seconds
// without having listed the folders (launch_folder_compare): the folder is
// then left, marked, for that program, and a run that starts a day later or
// more removes it (each run removes such folders of the user's own).
// The two documents are dumped at the same time (run_options::parallel);
// meanwhile the calling thread handles the window's messages one at a time
// and shows what the dumps report, in the order of one dump after the other.
// A quit request ends both dumps at their next sheet and the run (-1, no
// message); so does one in the pending message handled after the dumps.
// -1 after a failure (shown on ui, the external program's launch failure
// included); otherwise the compare result (0 when the external program ran).
//
// Two folders instead of two files (argv[1] and argv[2] both folders): every
// document under each (see folder_tree.h) is dumped into a text tree of the
// run's own (named after the folder, "_1" and "_2" when the two names are
// one) at its path below its folder, each into a folder named as the
// document is, so that the two text trees mirror the two folders; a
// document of one side alone is dumped on its side.  The documents are
// dumped by a pool of threads (run_options::threads), both trees together,
// each document's work files in a work folder of its thread; this thread
// shows what the dumps report, one document at a time, and how many are
// done (ui.documents_done).  A document that is refused does not end the
// run: its messages are kept with it (nothing is shown for it here), its
// text folder holds one file "比較できません" with the reason, and the rest is
// compared.  Documents alone on their side are then paired by what they
// hold (pair_renamed).  The two text trees are compared by
// run_options::tree_compare, else by the external program (after one
// message listing the refused documents).  A folder and a file are refused
// together.  Results as above; 2 (after the compare) when a document was
// refused or a folder under either could not be listed.
int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui,
                   const run_options& opt);

// The same with the external program: 0 when it ran, -1 otherwise.
int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui);

// The same with the process's settings and dumps.
int run_comparison(int argc, const char* const* argv, vergle_ui& ui);

#endif
