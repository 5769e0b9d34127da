// Helpers shared by the unit tests: the corpus folder, scratch folders, file
// contents, and a recording stand-in for the user interface.
#ifndef VERGLE_TEST_SUPPORT_H
#define VERGLE_TEST_SUPPORT_H

#include <string>
#include <vector>

#include "ui.h"

namespace vt {

// The folder of real documents (environment VERGLE_CORPUS, else the build's
// default), or "" when it does not exist.  Tests that need it call
// GTEST_SKIP() when it is empty.
std::string corpus_dir();

// The source tree (for fixtures committed with the tests).
std::string source_dir();

// Every file below the corpus folder whose name ends with one of the
// extensions (lower-case, without the dot); sorted.
std::vector<std::string> corpus_files(const std::vector<std::string>& extensions);

// A file beside the running test program (a helper program: ".exe" is
// added where that file exists).
std::string beside_tests(const std::string& name);

// Joins path parts with the platform separator.
std::string join(const std::string& a, const std::string& b);

// A fresh, empty scratch folder for one test, removed by the destructor.
class scratch_dir {
public:
    scratch_dir();
    ~scratch_dir();
    scratch_dir(const scratch_dir&) = delete;
    scratch_dir& operator=(const scratch_dir&) = delete;
    const std::string& path() const { return path_; }
    std::string operator/(const std::string& name) const { return join(path_, name); }

private:
    std::string path_;
};

// Whole-file helpers (binary).
bool write_file(const std::string& path, const std::string& bytes);
std::string read_file(const std::string& path);
bool exists(const std::string& path);

// Records what the front end shows instead of showing it.
struct recording_ui : vergle_ui {
    struct shown {
        std::string text;
        bool owned;
    };
    std::vector<shown> errors;
    std::vector<std::string> questions;
    bool retry_answer = false;
    int pumps = 0;
    bool quit_after_pumps = false;  // pump_one_message answers "quit"

    void show_error(const std::string& text, bool owned) override { errors.push_back({text, owned}); }
    bool ask_retry(const std::string& text) override {
        questions.push_back(text);
        return retry_answer;
    }
    bool pump_one_message() override {
        ++pumps;
        return !quit_after_pumps;
    }
};

}  // namespace vt

#endif
