#include "settings.h"

#include <cstring>
#include <string>

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
    // The file is in the system's ANSI code page (code page 932 on Windows).
    std::string program = plat_utf8_from_ansi(lines[0]);
    if (!too_long && valid_program_path(program.c_str())) {
        std::memcpy(s.diff_program, program.c_str(), program.size() + 1);
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

namespace {

// The first line of the settings file as it is on disk (ANSI), "" when there
// is none that could name a program.
std::string saved_program_line(const std::string& path) {
    std::string line;
    plat_file* f = plat_open(path.c_str(), PLAT_READ);
    if (!f) return line;
    char buf[1024];
    size_t n;
    bool done = false;
    while (!done && (n = plat_read(f, buf, sizeof buf)) > 0) {
        for (size_t i = 0; i < n && !done; ++i) {
            if (buf[i] == '\n') done = true;
            else line.push_back(buf[i]);
        }
        if (line.size() > RUN_PATH_MAX) break;
    }
    plat_close(f);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return valid_program_path(line.c_str()) ? line : std::string();
}

}  // namespace

int write_settings_to(const std::string& path, const run_settings& s) {
    // A line break in the program path would turn the file into more lines
    // than it has, and the next start would read them as the switches.  An
    // empty line is kept: no program chosen.
    if (path.empty() || (s.diff_program[0] && !valid_program_path(s.diff_program))) return -1;
    // A path the ANSI code page cannot hold is not saved: the file keeps the
    // program it names (the run still uses the new one).
    std::string text;
    bool program_saved = plat_ansi_from_utf8(s.diff_program, text);
    if (!program_saved) text = saved_program_line(path);
    text += s.textbox ? "\r\nTEXTBOX=Y" : "\r\nTEXTBOX=N";
    text += s.allpage ? "\r\nALLPAGE=Y" : "\r\nALLPAGE=N";
    if (s.formulas) text += "\r\nFORMULAS=Y";
    if (s.macros) text += "\r\nMACROS=Y";
    if (plat_write_replacing(path, text) != 0) return -1;
    return program_saved ? 0 : 1;
}

std::string user_settings_path() {
    std::string folder;
    if (plat_user_config_folder(folder) != 0) return "";
    char vergle[ORB_PATH_MAX], file[ORB_PATH_MAX];
    if (orb_join_path(vergle, sizeof vergle, folder.c_str(), "vergle") != 0 ||
        orb_join_path(file, sizeof file, vergle, "Vergle.ini") != 0)
        return "";
    return file;
}

namespace {

std::string folder_of(const std::string& path) {
    size_t cut = path.size();
    while (cut > 0 && !plat_is_separator(path[cut - 1])) --cut;
    return cut > 1 ? path.substr(0, cut - 1) : path.substr(0, cut);
}

bool exists(const std::string& path) { return !path.empty() && plat_path_kind(path.c_str()) != PLAT_NONE; }

}  // namespace

std::string settings_target() {
    std::string user = user_settings_path(), beside = settings_path();
    if (exists(user)) return user;
    if (!user.empty() && (beside.empty() || !plat_folder_writable(folder_of(beside).c_str()))) return user;
    return beside;
}

int read_settings() {
    std::string user = user_settings_path();
    read_settings_from(exists(user) ? user : settings_path(), g_settings);
    return 0;
}

int write_settings() {
    std::string target = settings_target();
    if (!target.empty() && target == user_settings_path()) {
        // The user's folders, where they are new.
        std::string vergle = folder_of(target);
        plat_make_dir(folder_of(vergle).c_str());
        plat_make_dir(vergle.c_str());
    }
    return write_settings_to(target, g_settings);
}

std::string settings_program_unsaved_text(const char* program) {
    return ui_format("フォルダ比較プログラムのパスに設定ファイル(Vergle.ini)に保存できない文字が含まれています。"
                     "このパスは今回は使いますが、保存はしません。(%s)",
                     std::string(program));
}

std::string settings_error_text() {
    std::string p = settings_target();
    return ui_format("設定ファイル(%s)を保存できません。", p.empty() ? std::string("Vergle.ini") : p);
}
