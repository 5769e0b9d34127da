// The macros of a document for the comparison: each module of its VBA
// project as a text file of its own in the document's output folder, named
// "マクロ_" and the module's name with the extension its kind is exported
// with (".bas" a standard module, ".cls" a class or document module, ".frm"
// a form's code), holding the module's code as the macro editor shows it:
// the hidden "Attribute" lines that the project stores are left out.  A
// module that cannot be read holds the library's message instead.  The
// project is read through the workbook library's exported interface.
#ifndef VERGLE_MACRO_DUMP_H
#define VERGLE_MACRO_DUMP_H

#include <string>
#include <vector>

#include "tabx.h"
#include "ui.h"
#include "workbook_dump.h"

// Writes the modules of the project of book (an open book: its own
// workbook's project), or, when book is null, of the document req.path,
// into req.output_folder (created when missing), in req.out_charset.  File
// names already used in the folder (used, when not null; it receives the
// new ones) are not used again.  A project that cannot be read is shown on
// req.ui and the dump goes on: 0.  -1 after a file that cannot be written
// has been reported.
int dump_macros(const dump_request& req, XLS_BOOK* book, name_set* used);

// The code of a module as the macro editor shows it: its lines without the
// hidden "Attribute" lines, each ending in LF.
std::string editor_text(const std::string& source);

#endif
