// The command line's stand-in for message boxes: messages go to standard
// error, the retry question is asked on the terminal (answered "no" when
// standard input is not a terminal).
#ifndef VERGLE_TERMINAL_UI_H
#define VERGLE_TERMINAL_UI_H

#include <cstdio>

#include "ui.h"

struct terminal_ui : vergle_ui {
    std::FILE* err = stderr;
    std::FILE* in = stdin;
    bool interactive = false;

    void show_error(const std::string& text, bool owned) override;
    bool ask_retry(const std::string& text) override;
    bool pump_one_message() override { return true; }
};

#endif
