// The comparison run: decide each file's kind, write its text into an output
// folder of its own under the temporary folder, start the folder-compare
// program on the two folders, wait for it, and remove both folders.
#ifndef VERGLE_COMPARISON_H
#define VERGLE_COMPARISON_H

#include <string>

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

// temp_folder, the separator, the stem of path and the suffix; "" when that
// does not fit in a path buffer.
std::string output_folder(const run_settings& s, const char* path, const char* suffix);

// Starts the folder-compare program on the two output folders and waits until
// it ends.  0 when it was started, -1 (after the message) when not.
int launch_folder_compare(const run_settings& s, vergle_ui& ui, const char* path1, const char* suffix1,
                          const char* path2, const char* suffix2);

// Removes the first output folder and, when path2 is not empty, the second.
// Always 0.
int remove_output_folders(const run_settings& s, const char* path1, const char* suffix1, const char* path2,
                          const char* suffix2);

// argv holds "Vergle", the first file and the second file (argc 3).  0 when
// both dumps succeeded, -1 otherwise; every failure has been shown on ui.
int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui);

// What a caller may change about a run.  compare, when set, is called on the
// two written folders instead of starting the folder-compare program; it
// returns 0 when they are the same, 1 when they differ, 2 or more after its
// own message.  keep_dir and out_charset belong to the caller's options for
// the written folders.
using compare_fn = int (*)(const char* folder1, const char* folder2, void* ctx);
struct run_options {
    compare_fn compare = nullptr;
    void* compare_ctx = nullptr;
    const char* keep_dir = nullptr;
    int out_charset = 1;
};

// The same with options: -1 on failure (after its message; a folder-compare
// program that cannot be started counts as a failure), else the result of
// compare (0 when the folder-compare program ran).
int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui,
                   const run_options& opt);

// The same with the process's settings and dumps.
int run_comparison(int argc, const char* const* argv, vergle_ui& ui);

#endif
