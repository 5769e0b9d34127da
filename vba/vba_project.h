// The VBA project of an Office document: its modules' names, kinds and
// source text.
//
// A project is a storage of a compound file: the whole vbaProject.bin of an
// Open XML document, the storage "_VBA_PROJECT_CUR" of a 97-2003 workbook, or
// "Macros" of a 97-2003 Word document.  Inside it the storage "VBA" holds
// the "dir" stream (compressed: the project's records, among them its code
// page and, for each module, its name, its stream's name and where in that
// stream its compressed source begins) and one stream per module; the
// stream "PROJECT" beside it (text) tells class, document and form modules
// apart.  Module names and sources are in the project's code page and are
// converted to UTF-8 here.
//
// The reader takes bytes and never reads past them: every record length,
// stream name and offset is checked, decompression stops at its limits, and
// a project whose modules could not all be read still gives those it could.
#ifndef VERGLE_VBA_PROJECT_H
#define VERGLE_VBA_PROJECT_H

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace xls {
class compound_file;
}

namespace vba {

// Results.
enum project_status {
    PROJECT_OK = 0,
    PROJECT_NONE = 1,       // the document holds no VBA project
    PROJECT_BROKEN = 2,     // the container, the dir stream or its records
                            // cannot be read (see the problem text)
    PROJECT_NO_MEMORY = 3,
};

// The limits of what is read: a dir stream, one module's source and all
// sources of a project together, decompressed.  A module beyond them is
// reported (module_too_large), never cut.
enum : size_t {
    DIR_LIMIT = size_t{16} << 20,
    MODULE_LIMIT = size_t{16} << 20,
    PROJECT_LIMIT = size_t{64} << 20,
};

// Kinds of module: a standard module, a class module, a document module
// (a workbook's or sheet's, a document's own code) and a form's code.
enum module_kind { MODULE_STANDARD = 1, MODULE_CLASS = 2, MODULE_DOCUMENT = 3, MODULE_FORM = 4 };

// How the source of one module was read.
enum module_status {
    MODULE_READ = 0,
    MODULE_BROKEN = 1,     // its stream is missing or its source cannot be
                           // decompressed (see problem)
    MODULE_TOO_LARGE = 2,  // its source is beyond MODULE_LIMIT, or the
                           // project's beyond PROJECT_LIMIT
};

struct module {
    std::string name;    // UTF-8
    int kind = MODULE_STANDARD;
    int status = MODULE_READ;
    std::string source;  // UTF-8, lines ending in CR LF as stored; empty
                         // unless status is MODULE_READ
    std::string problem; // what went wrong (English), when status is not 0
};

struct project {
    int codepage = 1252;
    std::string name;    // UTF-8
    std::vector<module> modules;
};

// Reads the project held by a compound file in data[0, size): the root
// storage itself when it has a "VBA" storage, else its "_VBA_PROJECT_CUR"
// or "Macros" storage.  PROJECT_OK (modules that failed are marked so),
// PROJECT_NONE, PROJECT_BROKEN with *problem saying why, or
// PROJECT_NO_MEMORY.
int read_project(const unsigned char* data, size_t size, project& out, std::string* problem);

// The same for a compound file already open.
int read_project(const xls::compound_file& cf, project& out, std::string* problem);

// Text of the project's code page as UTF-8: 932 (Japanese), the single-byte
// Windows code pages (874, 1250-1258), 10000 (Mac Roman), 65001 (UTF-8 as it
// is); any other code page keeps its ASCII characters and shows the others
// as U+FFFD.  False without memory.
bool codepage_text(int codepage, const char* p, size_t n, std::string& out);

}  // namespace vba

#endif
