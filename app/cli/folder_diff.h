// The command line's own view of two written text folders: one section per
// sheet, page or slide, each a unified difference in UTF-8 with LF line ends.
#ifndef VERGLE_FOLDER_DIFF_H
#define VERGLE_FOLDER_DIFF_H

#include <cstdio>
#include <string>
#include <vector>

#include "align.h"
#include "line_diff.h"
#include "ui.h"

// One text file of a document's folder and the title it is shown under (the
// sheet's name, or the file's name).
struct text_section {
    std::string file;
    std::string title;
    // A sheet's layout as its dump reported it: the rows written (-1 when
    // not known) and the cells that run over.
    long rows = -1;
    std::vector<sheet_break> breaks{};
};

// The text files of a folder in the document's order: those of known first
// (the sheets as the dump began them; a later sheet writing the same file
// takes its place), then the others by name, numbers by value ("ページ2"
// before "ページ10").  False when the folder cannot be listed.
bool folder_sections(const std::string& folder, const std::vector<text_section>& known,
                     std::vector<text_section>& out);

// A written text file in UTF-8 with LF line ends: code page 932 (charset 1)
// is converted, CR before LF dropped.  False when the file cannot be read.
bool read_written_text(const std::string& path, int charset, std::string& out);

struct folder_diff_options {
    std::string name1, name2;  // the documents, as the headers show them
    int charset = 1;           // of the written files
    hunk_style style;          // context rows (-U) and colours
    bool quiet = false;        // write nothing: only whether they differ (-q)
    std::string report;        // also write the HTML report into this file ("": none)
};

// Writes the differences between the sections of two folders to out, as the
// alignment engine finds them: sheets paired by name, then by content
// (renamed, moved), pages and slides as a sequence, each pair that differs
// shown by section_view:
//   --- NAME1: TITLE
//   +++ NAME2: TITLE
//   # notes (renamed, moved, columns inserted or deleted)
//   @@ ... @@ hunks
// A section only in the first document is compared with nothing
// ("+++ /dev/null"), one only in the second likewise ("--- /dev/null").
// With a report named, the HTML report of the same alignment is written
// into it (in its place only once whole).  0 when the folders hold the same
// text in the same order, 1 when they differ, 2 when a file cannot be read
// or the report cannot be written (shown on ui) or out cannot be written.
// Quiet, it writes nothing and stops at the first difference (unless a
// report is wanted).
int diff_folders(const std::string& folder1, const std::vector<text_section>& sections1,
                 const std::string& folder2, const std::vector<text_section>& sections2,
                 const folder_diff_options& opt, vergle_ui& ui, std::FILE* out);

namespace report {
class page;
}

// One pair of documents, as diff_folders compares them, for a caller that
// compares many: the headers name the documents name1 and name2; what the
// view shows goes to out (null: nothing, and the comparison stops at the
// first difference unless html is given), after header (written before the
// pair's first text; with force_header also when the pair shows nothing);
// the report's sections go to html (when not null) and the counts are added
// to sum.  0 the same, 1 different, 2 when a file cannot be read (shown on
// ui) or out cannot be written.
int compare_documents(const std::string& folder1, const std::vector<text_section>& sections1, const std::string& name1,
                      const std::string& folder2, const std::vector<text_section>& sections2, const std::string& name2,
                      const folder_diff_options& opt, vergle_ui& ui, std::FILE* out, const std::string& header,
                      bool force_header, report::page* html, align::summary& sum);

// Writes bytes into the file at path: into a new file beside it first,
// which then takes the place of path (so a link at path is replaced, never
// written through, and a failed write leaves what was there).  0, or -1.
int write_whole_file(const std::string& path, const std::string& bytes);

#endif
