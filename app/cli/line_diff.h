// The shortest edit script between two sequences of lines (Myers' O(ND)
// algorithm, in linear space: the middle of each path is found from both
// ends at once and the halves are solved alone), and its unified form.
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
    int context = 3;      // unchanged lines around each change
    bool colour = false;  // terminal colours, changed cells marked
};

// Appends the hunks ("@@ -l,n +l,n @@", then lines starting with " ", "-" or
// "+") of the differences between a and b to out.  False when a and b are
// equal (nothing appended).  With colour, a deleted row and the inserted row
// that takes its place have the tab-separated cells that differ marked in
// reverse video.
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
constexpr const char* mark = "\033[7m";
constexpr const char* unmark = "\033[27m";
}  // namespace colour

#endif
