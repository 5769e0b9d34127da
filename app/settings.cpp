#include "settings.h"

#include <cstring>

#include "orb_file.h"
#include "platform.h"
#include "ui.h"

run_settings g_settings;

run_settings::run_settings() {
    std::strcpy(temp_folder, "C:\\Temp");
    std::strncpy(diff_program, plat_default_diff_program(), sizeof diff_program - 1);
    diff_program[sizeof diff_program - 1] = 0;
}

std::string settings_path() {
    char exe[ORB_PATH_MAX];
    if (orb_module_path(exe, sizeof exe) != 0) return "";
    std::string p = exe;
    size_t cut = p.size();
    while (cut > 0 && !plat_is_separator(p[cut - 1])) --cut;
    p.resize(cut);
    p += "Vergle.ini";
    return p.size() < ORB_PATH_MAX ? p : "";
}

void read_settings_from(const std::string& path, run_settings& s) {
    if (path.empty()) return;
    ORB_FILE* f = orb_fopen(path.c_str(), 1);
    if (!f) return;
    // orb_read_line would keep quoted runs together; the settings are plain
    // lines, so read them here, ending each at LF and dropping a CR before it.
    std::string lines[5];
    int line = 0;
    char buf[1024];
    size_t n;
    bool too_long = false;
    while (line < 5 && (n = orb_fread(buf, sizeof buf, f)) > 0) {
        for (size_t i = 0; i < n && line < 5; ++i) {
            if (buf[i] == '\n') {
                ++line;
            } else if (lines[line].size() < 4096) {
                lines[line].push_back(buf[i]);
            } else {
                too_long = true;
            }
        }
    }
    orb_fclose(f);
    for (std::string& l : lines) {
        if (!l.empty() && l.back() == '\r') l.pop_back();
    }
    if (!too_long && valid_program_path(lines[0].c_str())) {
        std::memcpy(s.diff_program, lines[0].c_str(), lines[0].size() + 1);
    }
    auto has_y = [](const std::string& l) { return l.find_first_of("Yy") != std::string::npos; };
    if (has_y(lines[1])) s.textbox = true;
    if (has_y(lines[2])) s.allpage = true;
    for (int i = 3; i < 5; ++i) {
        if (lines[i] == "FORMULAS=Y") s.formulas = true;
        if (lines[i] == "MACROS=Y") s.macros = true;
    }
}

bool valid_program_path(const char* path) {
    if (!path || !*path || std::strlen(path) >= RUN_PATH_MAX) return false;
    for (const char* p = path; *p; ++p) {
        if (static_cast<unsigned char>(*p) < 0x20 || *p == 0x7F) return false;
    }
    return true;
}

int write_settings_to(const std::string& path, const run_settings& s) {
    // A line break in the program path would turn the file into more lines
    // than it has, and the next start would read them as the switches.  An
    // empty line is kept: no program chosen.
    if (path.empty() || (s.diff_program[0] && !valid_program_path(s.diff_program))) return -1;
    std::string text = s.diff_program;
    text += s.textbox ? "\r\nTEXTBOX=Y" : "\r\nTEXTBOX=N";
    text += s.allpage ? "\r\nALLPAGE=Y" : "\r\nALLPAGE=N";
    if (s.formulas) text += "\r\nFORMULAS=Y";
    if (s.macros) text += "\r\nMACROS=Y";
    plat_file* f = plat_open(path.c_str(), PLAT_WRITE);
    if (!f) return -1;
    bool whole = plat_write(f, text.data(), text.size()) == text.size();
    if (plat_close(f) != 0) whole = false;
    return whole ? 0 : -1;
}

int read_settings() {
    read_settings_from(settings_path(), g_settings);
    return 0;
}

int write_settings() { return write_settings_to(settings_path(), g_settings); }

std::string settings_error_text() {
    std::string p = settings_path();
    return ui_format("設定ファイル(%s)を保存できません。", p.empty() ? std::string("Vergle.ini") : p);
}
