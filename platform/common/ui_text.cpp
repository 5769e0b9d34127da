// Message texts for the user: templates and paths are UTF-8; the window
// shows them through the wide calls, the terminal as they are.
#include <cstdio>
#include <cstring>

#include "platform.h"
#include "ui.h"

namespace {

// Replaces the first "%s" or "%d" of the (native) template by arg.
std::string fill(const std::string& tmpl, const std::string& arg) {
    for (size_t i = 0; i + 1 < tmpl.size(); ++i) {
        if (tmpl[i] == '%' && (tmpl[i + 1] == 's' || tmpl[i + 1] == 'd')) {
            return tmpl.substr(0, i) + arg + tmpl.substr(i + 2);
        }
    }
    return tmpl;
}

}  // namespace

std::string ui_text(const char* utf8) { return plat_native_from_utf8(utf8); }

std::string ui_format(const char* template_utf8, const std::string& arg) {
    return fill(plat_native_from_utf8(template_utf8), arg);
}

std::string ui_format(const char* template_utf8, long long arg) {
    char num[32];
    std::snprintf(num, sizeof num, "%lld", arg);
    return fill(plat_native_from_utf8(template_utf8), num);
}
