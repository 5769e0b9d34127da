// One document's text on standard output, for reading or for a version
// control system's text conversion: each sheet, page or slide introduced by
// the line "=== NAME ===", then its lines, in UTF-8 with LF line ends.
#ifndef VERGLE_DOCUMENT_TEXT_H
#define VERGLE_DOCUMENT_TEXT_H

#include <cstdio>

#include "comparison.h"
#include "terminal_ui.h"

// Dumps the document into a private folder under the temporary folder
// (created for this call alone and removed after it), then writes its
// sections to out.  0, or 2 after the message (on ui) when the document is
// refused or cannot be read, or when out cannot be written.
int print_document_text(const char* path, const run_settings& s, const dump_table& dumps, int charset,
                        terminal_ui& ui, std::FILE* out);

// Creates a folder of this run's own under base (see plat_make_run_dir).
// The folder's path, or "" after the message on ui.
std::string make_run_folder(const std::string& base, vergle_ui& ui);

#endif
