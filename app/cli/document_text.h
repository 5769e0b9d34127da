// One document's text on standard output, for reading or for a version
// control system's text conversion: each sheet, page or slide introduced by
// the line "=== NAME ===", then its lines, in UTF-8 with LF line ends.
#ifndef VERGLE_DOCUMENT_TEXT_H
#define VERGLE_DOCUMENT_TEXT_H

#include <cstdio>
#include <string>
#include <vector>

#include "comparison.h"
#include "terminal_ui.h"

// One document dumped by the command line itself.
struct document_text {
    std::string folder;                 // its text files
    std::vector<text_section> sections; // in the document's order
    // Why it could not be read, as one short line (password-protected,
    // unsupported, unreadable and the reason), when the dump failed.
    std::string refusal;
};

// Dumps the document at path into the folder name under run (a folder of
// the caller's own) and lists its sections.  0, or 2 after the message (on
// ui) with out.refusal set.
int load_document(const char* path, const std::string& run, const char* name, const run_settings& s,
                  const dump_table& dumps, int charset, terminal_ui& ui, document_text& out);

// The sections' text as --text writes it: "=== TITLE ===" before each, its
// rows without the tab that ends each (the text files keep theirs).  0, or
// 2 after a file that cannot be read (shown on ui) or a failed write.
int write_document_text(const document_text& doc, int charset, vergle_ui& ui, std::FILE* out);

// Dumps the document into a private folder under the temporary folder
// (created for this call alone and removed after it), then writes its
// sections to out.  0, or 2 after the message (on ui) when the document is
// refused or cannot be read, or when out cannot be written.  textconv: a
// document that cannot be read gives the one line "=== REASON ===" on out
// instead of a message, and 0, so that a version control system showing
// its history goes on.
int print_document_text(const char* path, const run_settings& s, const dump_table& dumps, int charset,
                        terminal_ui& ui, std::FILE* out, bool textconv = false);

// Creates a folder of this run's own under base (see plat_make_run_dir).
// The folder's path, or "" after the message on ui.
std::string make_run_folder(const std::string& base, vergle_ui& ui);

// The temporary folder: "TEMP", else the platform's default.
std::string temp_base();

#endif
