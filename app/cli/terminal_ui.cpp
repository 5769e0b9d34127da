#include "terminal_ui.h"

void terminal_ui::show_error(const std::string& text, bool) {
    std::fprintf(err, "Vergle: %s\n", text.c_str());
    std::fflush(err);
}

bool terminal_ui::ask_retry(const std::string& text) {
    std::fprintf(err, "Vergle: %s\n", text.c_str());
    if (!interactive) {
        std::fprintf(err, "%s\n", ui_text("再試行しません(標準入力が端末ではありません)。").c_str());
        return false;
    }
    std::fprintf(err, "%s", ui_text("再試行しますか? [y/N] ").c_str());
    std::fflush(err);
    char line[64];
    if (!std::fgets(line, sizeof line, in)) return false;
    return line[0] == 'y' || line[0] == 'Y';
}
