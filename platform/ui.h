// The small interface through which the portable front end talks to the
// user: the window on Windows, the terminal in the command line, a recording
// fake in tests.  Texts are UTF-8 on every system, as paths are, so that
// paths can be put into them unchanged.
#ifndef VERGLE_UI_H
#define VERGLE_UI_H

#include <cstddef>
#include <string>
#include <vector>

// A cell whose text holds line feeds or tabs: in the written text it runs
// over `count` of them into the next lines or cells.  Row and column from 0.
struct sheet_break {
    int row, column, count;
};

struct vergle_ui {
    virtual ~vergle_ui() = default;

    // An error message: caption "Vergle", error icon, topmost, OK button.
    // owned: true when the main window owns the box (messages of the
    // comparison run), false for ownerless boxes (the dumps' file errors).
    virtual void show_error(const std::string& text, bool owned) = 0;

    // The retry question of the dumps (retry and cancel buttons).  True for
    // retry.
    virtual bool ask_retry(const std::string& text) = 0;

    // Handles at most one pending window message.  False when the user asked
    // to quit: the caller then ends its work.
    virtual bool pump_one_message() = 0;

    // The folder-compare program runs: handles every pending window message,
    // so that the window stays alive while the run waits.  False when the
    // user asked to stop (the program is then asked to close).  By default
    // there is nothing to handle.
    virtual bool program_running() { return true; }
    // True once the user has asked the run to stop (an interrupt, a quit
    // seen by the thread that handles the window).  Handles no message; cheap
    // and safe to ask from any thread, so that the readers' long loops and
    // the wait for the compare program can ask it often.  By default never.
    virtual bool interrupted() { return false; }

    // A workbook dump begins a sheet: its index from 0, the number of
    // sheets, and its name in UTF-8.  For progress shown to the user and
    // the order of the sheets' files; by default nothing.
    virtual void sheet_begun(int sheet, int sheets, const std::string& name_utf8) {
        (void)sheet, (void)sheets, (void)name_utf8;
    }

    // A workbook dump has written the rows of the sheet it began last: how
    // many, and the cells that run over, so that a reader of the text file
    // can tell its rows and cells apart (the lines after the rows are shape
    // and comment text).  By default nothing.
    virtual void sheet_written(int rows, const std::vector<sheet_break>& breaks) { (void)rows, (void)breaks; }

    // The dump of document into folder begins or has ended; by default
    // nothing.
    virtual void document_begun(const std::string& document, const std::string& folder) {
        (void)document, (void)folder;
    }
    virtual void document_ended() {}

    // A comparison of two folders has dumped done of its total documents;
    // by default nothing.
    virtual void documents_done(long done, long total) { (void)done, (void)total; }

    // Something the user may want to know that is no failure (a link in a
    // folder that is not followed); by default nothing.
    virtual void show_notice(const std::string& text) { (void)text; }
};

// Messages are written in Japanese in the sources, and every one passes
// through the functions below.  They are shown in Japanese where the user's
// locale is Japanese (always on Windows; see plat_japanese_messages) and in
// English otherwise, through one table of English forms (ui_english.cpp).
// A template without an English form is shown as written.

// Fills the first "%s" (or "%d") of a UTF-8 message template with arg (a
// UTF-8 text or path) and returns the result.
std::string ui_format(const char* template_utf8, const std::string& arg);
std::string ui_format(const char* template_utf8, long long arg);
// The same with two arguments, filled in order.
std::string ui_format(const char* template_utf8, const std::string& arg1, const std::string& arg2);
std::string ui_text(const char* utf8);

// A message followed by the system's reason (a short text of the table, such
// as "ファイルがありません"): "MESSAGE: REASON".  An empty reason leaves the
// message as it is.
std::string ui_with_reason(const std::string& message, const std::string& reason);

// Why the file at path cannot be read as a document, as a short text in the
// user's language, or "" when nothing is found wrong with it: missing, no
// permission, a folder, not a regular file (found without opening it), empty
// or too short, and for the names of zip packages (.xlsx, .xlsm, .docx,
// .docm, .pptx, .pptm) not a zip package or one cut short (no end record),
// for .xls not a 97-2003 workbook.  UTF-8.
std::string ui_file_reason(const char* path);

// The reason a reader's failure code gives: -2 out of memory, -9 more than
// can be handled, -101 cannot be opened, any other damaged content.
std::string ui_code_reason(int rc);

// The message of a document a reader could not open (rc its code): the
// open-error message with the path and the reason (the file's, else the
// code's), or with --debug the reader's own text internal (its function,
// code and message), as the dumps have always shown it.
std::string ui_open_failure(const std::string& path, int rc, const std::string& internal);

// True when messages are shown in Japanese.
bool ui_japanese();

// One row of the table: a Japanese text as the sources write it and its
// English form, with the same placeholders in the same order.
struct ui_translation {
    const char* japanese;
    const char* english;
};
// The English form of a Japanese text, or nullptr when the table lacks it.
const char* ui_english(const char* japanese_utf8);
// The whole table (for the test that every message has its English form).
const ui_translation* ui_translations(size_t* count);

// Whether messages may show the library's internal codes and function names
// (the command line's --debug).  Off by default: a failure is told by its
// message and reason alone.
void ui_set_debug(bool on);
bool ui_debug();

// What a dump needs to know: the document, its output folder (created by the
// dump, one level), the switches, and where to show messages.
struct dump_request {
    const char* path;           // the document, as messages name it
    const char* output_folder;  // full path of the output folder
    bool textbox;               // include shape and comment text
    bool allpage;               // one output file for the whole document
    const char* temp_folder;    // the run's own folder: temporary files go here
    vergle_ui* ui;
    int out_charset = 1;        // the files' text: 1 code page 932, 3 UTF-8
    bool formulas = false;      // each formula cell's formula beside its value
    bool macros = false;        // each macro module's source, a file of its own
    const char* source = nullptr;  // the file to read: the run's private copy
                                   // of the document (null: path itself)
};

// The file a dump reads.
inline const char* dump_source(const dump_request& req) { return req.source ? req.source : req.path; }

// A dump writes the document's text into its output folder, shows its own
// messages and returns 0, or non-zero on failure.
using dump_fn = int (*)(const dump_request& req);

#endif
