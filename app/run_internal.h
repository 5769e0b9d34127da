// What the run of two files and the run of two folders share: the run's
// own folder, its work folders, and its end.
#ifndef VERGLE_RUN_INTERNAL_H
#define VERGLE_RUN_INTERNAL_H

#include <string>

#include "comparison.h"

// The base folder of a run: a new folder of its own under the temporary
// folder (s.temp_folder set from "TEMP"), or the keep folder, created
// here.  0, or -1 after the message.
int make_base(run_settings& s, vergle_ui& ui, const run_options& opt, std::string& base);

// A folder of the run's own for one dump's temporary files (the private
// copy of its document, the legacy workbook's stream image): base joined
// with name, "-" added until it names neither f1 nor f2 (the output
// folders), so that a document whose stem is the name of such a file
// ("Vergle2003.tmp.xlsx") cannot meet it.  "" when it does not fit.
std::string work_folder(const std::string& base, const char* name, const std::string& f1, const std::string& f2);

// Marks a run folder left behind for a compare program that returned at
// once; true when the mark is written.
bool mark_kept(const std::string& base);

// Removes the user's own run folders under temp that were kept for a compare
// program and whose mark is older than a day.  Only folders named as runs
// name them, private to the user and marked by a run are touched.
void remove_stale_runs(const std::string& temp);

// The end of a run: its folder removed (unless kept, or left marked for a
// compare program that returned at once without having listed it).  The
// result, -1 when the folder could not be removed (after the message).
int finish_run(const std::string& base, bool keep, int rc, bool folders_unread, vergle_ui& ui);

// The run of two folders (run_comparison with two folders).
int run_tree_comparison(const char* root1, const char* root2, run_settings& s, const dump_table& dumps,
                        vergle_ui& ui, const run_options& opt);

#endif
