// The command line's own view of two compared folders, as diff -r shows
// two trees: each pair of documents that differs headed by a line naming
// both, then its sheets, pages or slides as for two documents; a document
// renamed or moved (paired by what it holds) says so on the line after;
// a document of one side alone is one line; documents without differences
// stay quiet:
//
//   diff old/予算/budget.xlsx new/予算/budget.xlsx
//   --- old/予算/budget.xlsx: 予算 2024
//   +++ new/予算/budget.xlsx: 予算 2024
//   @@ -1,5 +1,6 @@ 予算 2024
//   ...
//   diff old/plan.docx new/archive/plan 2023.docx
//   # renamed: plan.docx → archive/plan 2023.docx
//   Only in new/sub: added.pptx
//
// A refused document is named in its place on standard output with the
// reason ("=== old/locked.xlsx: パスワード付きのため比較できません ==="), its
// messages go to standard error, and the status is 2.  With -q each pair
// that differs is one line ("Files old/x.xlsx and new/x.xlsx differ"; a
// rename with the same text "File old/x.xlsx renamed to new/y.xlsx"), and
// documents alone on one side one line each as above.
#ifndef VERGLE_TREE_VIEW_H
#define VERGLE_TREE_VIEW_H

#include <cstdio>

#include "comparison.h"
#include "folder_diff.h"
#include "terminal_ui.h"

// Shows the differences of a run of two folders on out; opt.name1 and
// opt.name2 name the two folders.  list: with opt.quiet, name what differs
// (false: write nothing, only the report).  0 when every document has its
// counterpart with the same text at the same path, 1 when something
// differs, 2 when a document was refused, a text file cannot be read, the
// report cannot be written or out cannot be written.
int diff_trees(const tree_run& run, const folder_diff_options& opt, terminal_ui& ui, std::FILE* out, bool list = true);

#endif
