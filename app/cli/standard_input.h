// A document given as "-": standard input copied into a file of the run's
// own, named so that it is read as any document.
#ifndef VERGLE_STANDARD_INPUT_H
#define VERGLE_STANDARD_INPUT_H

#include <string>
#include <string_view>

#include "ui.h"

// The extension a document's bytes show (".xlsx", ".xlsm", ".xlsb",
// ".docx", ".docm", ".pptx", ".pptm", ".xls", ".doc", ".ppt"), "" when
// they show none.  head: its first bytes; tail: its last ones (a zip
// package names its members in its directory at the end).  A compound
// document holding an encrypted package tells no family: ".xlsx", which is
// refused as password-protected like the others.
std::string extension_from_content(std::string_view head, std::string_view tail);

// Copies standard input into the file "stdin" and the extension its bytes
// show, in the folder dir (a folder of the caller's own).  An interrupt
// (terminal_interrupt) ends the wait for input.  The file's path, or ""
// after the message on ui (nothing on an interrupt).
std::string copy_standard_input(const std::string& dir, vergle_ui& ui);

#endif
