// The command line's stand-in for message boxes: messages go to standard
// error, the retry question is asked on the terminal (answered "no" when
// standard input is not a terminal).  It also follows the dumps: the sheets
// each document's folder received, in order, and progress on standard error
// while a document takes longer than a second.
#ifndef VERGLE_TERMINAL_UI_H
#define VERGLE_TERMINAL_UI_H

#include <chrono>
#include <cstdio>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "folder_diff.h"
#include "ui.h"

struct terminal_ui : vergle_ui {
    std::FILE* err = stderr;
    std::FILE* in = stdin;
    bool interactive = false;
    bool progress = false;  // show progress on err (a terminal)
    // Messages are kept in held instead of shown (a caller that tells the
    // user in its own way).
    bool hold_errors = false;
    std::vector<std::string> held;
    // Paths shown under another name in the messages shown (standard
    // input's copy as "-"); held messages keep them.
    std::vector<std::pair<std::string, std::string>> aliases;
    // How long a document runs before its progress is shown.
    std::chrono::milliseconds progress_after{1000};

    void show_error(const std::string& text, bool owned) override;
    bool ask_retry(const std::string& text) override;
    // False once an interrupt (SIGINT, SIGTERM) has arrived: the run then
    // ends at its next step and removes its folder.
    bool pump_one_message() override;
    bool interrupted() override;
    void sheet_begun(int sheet, int sheets, const std::string& name_utf8) override;
    void sheet_written(int rows, const std::vector<sheet_break>& breaks) override;

    void document_begun(const std::string& document, const std::string& folder) override;
    void document_ended() override;
    // Two folders: "文書 12/1000" (documents done of all) on err, once the
    // dumps have taken longer than progress_after, at most ten times a
    // second; taken back when the last is done.
    void documents_done(long done, long total) override;
    // A notice on err, as messages are shown (exit status untouched).
    void show_notice(const std::string& text) override;

    // The sheets the dump of folder began, in order, with their files and
    // layouts.
    const std::vector<text_section>& sheets_of(const std::string& folder) const;

private:
    std::map<std::string, std::vector<text_section>> sheets_;
    std::string folder_, document_;
    std::chrono::steady_clock::time_point start_;
    bool shown_ = false;
    std::chrono::steady_clock::time_point documents_start_, documents_shown_;
    bool documents_line_ = false;  // the line shown is the documents' count
};

// The table of dumps with each dump announced to the terminal_ui it reports
// to, so that it can follow the sheets and show progress.
struct dump_table;
void follow_dumps(const dump_table& linked, dump_table& followed);

// Catches the interrupts a user or a session sends (Ctrl+C, SIGTERM, a closed
// terminal), so that the run can end by itself and remove its folder instead
// of leaving it behind.  The signal that arrived, or 0.
void terminal_catch_interrupts();
int terminal_interrupt();

#endif
