// The messages in the user's language: Japanese as written where the locale
// is Japanese, English otherwise, and every Japanese text of the front end
// with its English form.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "platform.h"
#include "test_support.h"
#include "ui.h"

namespace {

// Sets the locale variables for one test and puts them back after.
struct locale_env {
    const char* names[3] = {"LC_ALL", "LC_MESSAGES", "LANG"};
    std::string saved[3];
    bool had[3] = {};
    locale_env(const char* all, const char* messages, const char* lang) {
        const char* values[3] = {all, messages, lang};
        for (int i = 0; i < 3; ++i) {
            had[i] = plat_getenv(names[i], saved[i]);
            plat_setenv(names[i], values[i]);
        }
    }
    ~locale_env() {
        for (int i = 0; i < 3; ++i) plat_setenv(names[i], had[i] ? saved[i].c_str() : nullptr);
    }
};

// The placeholders of a template, in order.
std::string placeholders(const std::string& t) {
    std::string out;
    for (size_t i = 0; i + 1 < t.size(); ++i) {
        if (t[i] == '%' && (t[i + 1] == 's' || t[i + 1] == 'd')) out += t.substr(i, 2);
    }
    return out;
}

bool has_non_ascii(const std::string& s) {
    for (unsigned char c : s) {
        if (c >= 0x80) return true;
    }
    return false;
}

// The string literals inside the argument lists of every call of a function
// named ui_... in a C++ source (adjacent literals joined, simple escapes
// read).
std::vector<std::string> message_literals(const std::string& src) {
    std::vector<std::string> out;
    size_t pos = 0;
    while ((pos = src.find("ui_", pos)) != std::string::npos) {
        bool word_start = pos == 0 || !(std::isalnum(static_cast<unsigned char>(src[pos - 1])) || src[pos - 1] == '_');
        size_t name_end = pos + 3;
        while (name_end < src.size() && (std::isalnum(static_cast<unsigned char>(src[name_end])) || src[name_end] == '_'))
            ++name_end;
        pos = name_end;
        if (!word_start || name_end >= src.size() || src[name_end] != '(') continue;
        int depth = 0;
        std::string literal;
        bool in_literal_run = false;
        for (size_t i = name_end; i < src.size(); ++i) {
            char c = src[i];
            if (c == '"') {
                std::string s;
                for (++i; i < src.size() && src[i] != '"'; ++i) {
                    if (src[i] == '\\' && i + 1 < src.size()) {
                        char e = src[++i];
                        s += e == 'n' ? '\n' : e == 't' ? '\t' : e;
                    } else {
                        s += src[i];
                    }
                }
                literal += s;
                in_literal_run = true;
                continue;
            }
            if (std::isspace(static_cast<unsigned char>(c))) continue;
            if (in_literal_run) {
                out.push_back(literal);
                literal.clear();
                in_literal_run = false;
            }
            if (c == '(') ++depth;
            if (c == ')' && --depth == 0) break;
        }
    }
    return out;
}

}  // namespace

TEST(UserMessages, LanguageFollowsTheLocaleVariables) {
    const char* ja = "ファイルオープンエラー時にエラーが発生しました。(%s)";
    const std::string english = ui_english(ja);
    struct row {
        const char *all, *messages, *lang;
        bool japanese;
    } rows[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", true},
        {nullptr, nullptr, "ja", true},
        {nullptr, nullptr, "ja_JP.eucJP@x", true},
        {nullptr, nullptr, "C.UTF-8", false},
        {nullptr, nullptr, nullptr, false},
        {nullptr, nullptr, "jam", false},
        {"C", nullptr, "ja_JP.UTF-8", false},          // LC_ALL first
        {"ja_JP.UTF-8", "C", "C", true},
        {nullptr, "en_US.UTF-8", "ja_JP.UTF-8", false},  // then LC_MESSAGES
        {nullptr, "ja_JP.UTF-8", "en_US.UTF-8", true},
        {"", "", "ja_JP.UTF-8", true},                  // empty ones do not count
    };
    for (const row& r : rows) {
        locale_env env(r.all, r.messages, r.lang);
        // The Windows program always speaks Japanese.
        bool want = r.japanese || plat_japanese_messages();
        std::string shown = ui_format(ja, std::string("/x/a.xlsx"));
        EXPECT_EQ(shown, plat_native_from_utf8(want ? "ファイルオープンエラー時にエラーが発生しました。(/x/a.xlsx)"
                                                    : "Cannot open the file (/x/a.xlsx)"))
            << (r.lang ? r.lang : "-");
        EXPECT_EQ(ui_japanese(), want);
    }
    EXPECT_EQ(english, "Cannot open the file (%s)");
}

TEST(UserMessages, TwoArgumentsAndReasons) {
    locale_env env(nullptr, nullptr, "ja_JP.UTF-8");
    EXPECT_EQ(ui_format("%s と %s", std::string("a%s"), std::string("b")), plat_native_from_utf8("a%s と b"))
        << "an argument is never filled again";
    EXPECT_EQ(ui_with_reason("M", "R"), "M: R");
    EXPECT_EQ(ui_with_reason("M", ""), "M");
}

// Every Japanese text that the front end hands to the message layer has its
// English form with the same placeholders: a message added later without
// one fails here.  The Windows program's window texts are Japanese only.
TEST(UserMessages, EveryJapaneseMessageHasItsEnglishForm) {
    namespace fs = std::filesystem;
    fs::path root = vt::source_dir();
    if (!fs::exists(root / "app")) GTEST_SKIP() << "source tree not found: " << root.string();
    std::set<std::string> seen;
    int files = 0;
    for (const char* dir : {"app", "ooxml_text", "platform", "orb", "workbook"}) {
        for (const auto& e : fs::recursive_directory_iterator(root / dir)) {
            std::string ext = e.path().extension().string();
            if (!e.is_regular_file() || (ext != ".cpp" && ext != ".h")) continue;
            if (e.path().string().find("win32") != std::string::npos) continue;
            if (e.path().filename() == "ui_english.cpp") continue;
            std::ifstream in(e.path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            ++files;
            for (const std::string& lit : message_literals(ss.str())) {
                if (!has_non_ascii(lit) || !seen.insert(lit).second) continue;
                const char* en = ui_english(lit.c_str());
                EXPECT_TRUE(en != nullptr) << "no English form for \"" << lit << "\" in " << e.path().string();
                if (!en) continue;
                EXPECT_FALSE(has_non_ascii(en)) << en;
                EXPECT_EQ(placeholders(en), placeholders(lit)) << lit;
            }
        }
    }
    EXPECT_GT(files, 50);
    EXPECT_GT(seen.size(), 20u);
    // Each row once.
    size_t n = 0;
    const ui_translation* t = ui_translations(&n);
    std::set<std::string> keys;
    for (size_t i = 0; i < n; ++i) EXPECT_TRUE(keys.insert(t[i].japanese).second) << t[i].japanese;
}
