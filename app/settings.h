// The run settings and the settings file "Vergle.ini" beside the executable.
//
// The file has three lines: the folder-compare program's path, "TEXTBOX=Y" or
// "TEXTBOX=N", "ALLPAGE=Y" or "ALLPAGE=N", separated by CR LF, with no line
// end after the third.  Lines 2 and 3 are told only by their position: a "Y"
// or "y" anywhere in the line turns the switch on.  The switches added later
// follow as lines of their own, told by their names and written only when
// on: "FORMULAS=Y" and "MACROS=Y".
#ifndef VERGLE_SETTINGS_H
#define VERGLE_SETTINGS_H

#include <string>

enum { TEMP_FOLDER_MAX = 264, RUN_PATH_MAX = 260 };

struct run_settings {
    char temp_folder[TEMP_FOLDER_MAX];  // base of all output, from "TEMP" at each run
    char diff_program[RUN_PATH_MAX];    // the folder-compare program
    bool textbox = false;               // include shape and comment text
    bool allpage = false;               // one output file per document
    bool formulas = false;              // formulas beside the cells' values
    bool macros = false;                // macro modules' source text
    run_settings();
};

// The front end's settings, for the whole process.
extern run_settings g_settings;

// "Vergle.ini" in the folder of the running executable ("" when the
// executable's path cannot be had or the result would be too long).
std::string settings_path();

// True when path can be the folder-compare program: not empty, shorter than
// the program field, and free of line breaks and other control characters
// (the settings file holds it as one line).
bool valid_program_path(const char* path);

// Reads or writes the settings file at path.  Missing or unreadable files
// leave the settings as they are.  A first line that is empty or longer than
// the program field holds is ignored.  The write is 0, or -1 when the file
// cannot be written completely or the program path is not valid (the file
// is then left as it was).
void read_settings_from(const std::string& path, run_settings& s);
int write_settings_to(const std::string& path, const run_settings& s);

// The same on g_settings and settings_path().  read_settings: always 0;
// write_settings: 0, or -1 when the file could not be saved.
int read_settings();
int write_settings();

// The message for a settings file that could not be saved, in the native
// encoding.
std::string settings_error_text();

#endif
