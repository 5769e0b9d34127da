// The command line's own view of two written text folders: one section per
// sheet, page or slide, each a unified difference in UTF-8 with LF line ends.
#ifndef VERGLE_FOLDER_DIFF_H
#define VERGLE_FOLDER_DIFF_H

#include <cstdio>
#include <string>
#include <vector>

#include "line_diff.h"
#include "ui.h"

// One text file of a document's folder and the title it is shown under (the
// sheet's name, or the file's name).
struct text_section {
    std::string file;
    std::string title;
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
    hunk_style style;          // context lines (-U) and colours
    bool quiet = false;        // write nothing: only whether they differ (-q)
};

// Writes the differences between the sections of two folders to out:
//   --- NAME1: TITLE
//   +++ NAME2: TITLE
//   @@ ... @@ hunks
// A section only in the first document is compared with nothing
// ("+++ /dev/null"), one only in the second likewise ("--- /dev/null"); a
// section that moved to another title with unchanged text shows its two
// headers and no hunk.  0 when the folders hold the same text, 1 when they
// differ, 2 when a file cannot be read (shown on ui) or out cannot be written.
// Quiet, it stops at the first difference and writes nothing.
int diff_folders(const std::string& folder1, const std::vector<text_section>& sections1,
                 const std::string& folder2, const std::vector<text_section>& sections2,
                 const folder_diff_options& opt, vergle_ui& ui, std::FILE* out);

#endif
