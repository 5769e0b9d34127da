// The run settings and the settings file "Vergle.ini" beside the executable
// (and on Linux the user's own, see user_settings_path).
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

// Path buffers of the front end: UTF-8 paths as deep as Linux allows.
enum { RUN_PATH_MAX = 4096, TEMP_FOLDER_MAX = RUN_PATH_MAX + 4 };

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

// The user's own settings file where the system keeps one: "Vergle.ini" in
// the folder "vergle" of the user's configuration folder
// ($XDG_CONFIG_HOME/vergle/Vergle.ini, else ~/.config/vergle/Vergle.ini);
// "" on Windows.
std::string user_settings_path();

// The file write_settings writes: the user's own when it exists (it is the
// one read); else the one beside the executable, unless the executable's
// folder cannot be written into (a system folder), where the user's own is
// taken instead.
std::string settings_target();

// True when path can be the folder-compare program: not empty, shorter than
// the program field, and free of line breaks and other control characters
// (the settings file holds it as one line).
bool valid_program_path(const char* path);

// Reads or writes the settings file at path.  Missing or unreadable files
// leave the settings as they are.  A first line that is empty or longer than
// the program field holds is ignored.  The file is in the system's ANSI code
// page (code page 932 on Windows), the settings in UTF-8.  The write is 0;
// 1 when the program path has a character the code page lacks: it is not
// saved (the file keeps the program it named) and the rest is; or -1 when
// the file cannot be written completely or the program path is not valid
// (the file is then left as it was).  It writes a new file beside path and
// then puts it in path's place: a file there is replaced whole or not at
// all, a link there is replaced and never written through, a folder there
// is left.
void read_settings_from(const std::string& path, run_settings& s);
int write_settings_to(const std::string& path, const run_settings& s);

// The same on g_settings.  read_settings reads the user's own file when it
// exists, else the one beside the executable; always 0.  write_settings
// writes settings_target() (creating the user's folders where it is the
// user's own file), with write_settings_to's results.
int read_settings();
int write_settings();

// The message for a settings file that could not be saved.
std::string settings_error_text();

// The message for a program path that the settings file cannot hold.
std::string settings_program_unsaved_text(const char* program);

#endif
