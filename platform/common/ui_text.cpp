// Message texts for the user: templates are UTF-8 in the sources, written in
// Japanese, shown in Japanese or in their English form (ui_english.cpp);
// paths are UTF-8 too.  The window shows them through the wide calls, the
// terminal as they are.
#include <atomic>
#include <cstdio>
#include <cstring>

#include "platform.h"
#include "ui.h"

namespace {

std::atomic<bool> g_debug{false};

// Replaces the first "%s" or "%d" of the (native) template at or after from
// by arg; from is moved past it.
std::string fill(const std::string& tmpl, const std::string& arg, size_t& from) {
    for (size_t i = from; i + 1 < tmpl.size(); ++i) {
        if (tmpl[i] == '%' && (tmpl[i + 1] == 's' || tmpl[i + 1] == 'd')) {
            from = i + arg.size();
            return tmpl.substr(0, i) + arg + tmpl.substr(i + 2);
        }
    }
    from = tmpl.size();
    return tmpl;
}

std::string fill(const std::string& tmpl, const std::string& arg) {
    size_t from = 0;
    return fill(tmpl, arg, from);
}

// The template in the user's language, native.
std::string localized(const char* utf8) {
    if (!ui_japanese()) {
        if (const char* en = ui_english(utf8)) return plat_native_from_utf8(en);
    }
    return plat_native_from_utf8(utf8);
}

}  // namespace

bool ui_japanese() { return plat_japanese_messages(); }

std::string ui_text(const char* utf8) { return localized(utf8); }

std::string ui_format(const char* template_utf8, const std::string& arg) { return fill(localized(template_utf8), arg); }

std::string ui_format(const char* template_utf8, long long arg) {
    char num[32];
    std::snprintf(num, sizeof num, "%lld", arg);
    return fill(localized(template_utf8), num);
}

std::string ui_format(const char* template_utf8, const std::string& arg1, const std::string& arg2) {
    size_t from = 0;
    std::string once = fill(localized(template_utf8), arg1, from);
    return fill(once, arg2, from);
}

std::string ui_with_reason(const std::string& message, const std::string& reason) {
    return reason.empty() ? message : message + ": " + reason;
}

const char* ui_english(const char* japanese_utf8) {
    size_t n = 0;
    const ui_translation* t = ui_translations(&n);
    for (size_t i = 0; i < n; ++i) {
        if (!std::strcmp(t[i].japanese, japanese_utf8)) return t[i].english;
    }
    return nullptr;
}

void ui_set_debug(bool on) { g_debug = on; }
bool ui_debug() { return g_debug; }
