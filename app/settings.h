// The run settings and the settings file "Vergle.ini" beside the executable.
//
// The file has three lines: the folder-compare program's path, "TEXTBOX=Y" or
// "TEXTBOX=N", "ALLPAGE=Y" or "ALLPAGE=N", separated by CR LF, with no line
// end after the third.  Lines 2 and 3 are told only by their position: a "Y"
// or "y" anywhere in the line turns the switch on.
#ifndef VERGLE_SETTINGS_H
#define VERGLE_SETTINGS_H

#include <string>

enum { TEMP_FOLDER_MAX = 264, RUN_PATH_MAX = 260 };

struct run_settings {
    char temp_folder[TEMP_FOLDER_MAX];  // base of all output, from "TEMP" at each run
    char diff_program[RUN_PATH_MAX];    // the folder-compare program
    bool textbox = false;               // include shape and comment text
    bool allpage = false;               // one output file per document
    run_settings();
};

// The front end's settings, for the whole process.
extern run_settings g_settings;

// "Vergle.ini" in the folder of the running executable ("" when the
// executable's path cannot be had or the result would be too long).
std::string settings_path();

// Reads or writes the settings file at path.  Missing or unreadable files
// leave the settings as they are; a write that fails is ignored.  A first line
// that is empty or longer than the program field holds is ignored.
void read_settings_from(const std::string& path, run_settings& s);
void write_settings_to(const std::string& path, const run_settings& s);

// The same on g_settings and settings_path().  Always 0.
int read_settings();
int write_settings();

#endif
