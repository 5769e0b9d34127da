// The small interface through which the portable front end talks to the
// user: the window on Windows, the terminal in the command line, a recording
// fake in tests.  Texts are in the platform's native encoding (CP932 on
// Windows, UTF-8 on POSIX), so that paths can be put into them unchanged.
#ifndef VERGLE_UI_H
#define VERGLE_UI_H

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
};

// Fills the first "%s" (or "%d") of a UTF-8 message template with arg and
// returns the result in the native encoding.  arg is already native.
std::string ui_format(const char* template_utf8, const std::string& arg);
std::string ui_format(const char* template_utf8, long long arg);
std::string ui_text(const char* utf8);

// What a dump needs to know: the document, its output folder (created by the
// dump, one level), the switches, and where to show messages.
struct dump_request {
    const char* path;           // the document
    const char* output_folder;  // full path of the output folder
    bool textbox;               // include shape and comment text
    bool allpage;               // one output file for the whole document
    const char* temp_folder;    // the run's own folder: temporary files go here
    vergle_ui* ui;
    int out_charset = 1;        // the files' text: 1 code page 932, 3 UTF-8
};

// A dump writes the document's text into its output folder, shows its own
// messages and returns 0, or non-zero on failure.
using dump_fn = int (*)(const dump_request& req);

#endif
