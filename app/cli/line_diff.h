// The shortest edit script between two sequences of lines and its unified
// form, through the alignment engine.
#ifndef VERGLE_LINE_DIFF_H
#define VERGLE_LINE_DIFF_H

#include <string>
#include <string_view>
#include <vector>

// Marks the lines of a that are deleted and the lines of b that are inserted
// by a shortest edit script turning a into b.  The unmarked lines of both,
// in order, are a longest common subsequence.
void diff_lines(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                std::vector<bool>& deleted, std::vector<bool>& inserted);

// How hunks are written.
struct hunk_style {
    int context = 3;      // unchanged lines or rows around each change
    bool colour = false;  // terminal colours
};

// Appends the hunks ("@@ -l,n +l,n @@", then lines starting with " ", "-",
// "+" or "~") of the differences between a and b, lines of text, to out.
// False when a and b are equal (nothing appended).  A deleted line and the
// inserted line that took its place, when they share enough words, are one
// changed line ("~") with the words that changed marked: "[-old-]" and
// "{+new+}" (coloured with colour).  Control characters are shown as
// escapes ("^[", "^M").
bool write_hunks(const std::vector<std::string_view>& a, const std::vector<std::string_view>& b,
                 const hunk_style& style, std::string& out);

// Splits text at line feeds; a last line without one counts as a line.
std::vector<std::string_view> split_lines(std::string_view text);

// The escape sequences of the colours used.
namespace colour {
constexpr const char* reset = "\033[m";
constexpr const char* header = "\033[1m";
constexpr const char* hunk = "\033[36m";
constexpr const char* removed = "\033[31m";
constexpr const char* added = "\033[32m";
constexpr const char* changed = "\033[33m";
}  // namespace colour

#endif
