// The edit script of the command line's difference view and its unified
// hunks.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "line_diff.h"

namespace {

std::vector<std::string_view> lines_of(const std::vector<std::string>& v) { return {v.begin(), v.end()}; }

// The length of a longest common subsequence, by the textbook table.
size_t lcs_length(const std::vector<std::string>& a, const std::vector<std::string>& b) {
    std::vector<std::vector<size_t>> t(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
    for (size_t i = a.size(); i-- > 0;)
        for (size_t j = b.size(); j-- > 0;) t[i][j] = a[i] == b[j] ? t[i + 1][j + 1] + 1 : std::max(t[i + 1][j], t[i][j + 1]);
    return t[0][0];
}

TEST(LineDiff, ScriptsAreShortestOnRandomSequences) {
    std::mt19937 rng(18);
    for (int round = 0; round < 2000; ++round) {
        // Few distinct lines, so that many alignments compete.
        std::uniform_int_distribution<int> len(0, round < 1000 ? 12 : 60), letter(0, round % 3 == 0 ? 1 : 4);
        std::vector<std::string> a(len(rng)), b(len(rng));
        for (auto& l : a) l = std::string(1, static_cast<char>('a' + letter(rng)));
        for (auto& l : b) l = std::string(1, static_cast<char>('a' + letter(rng)));
        std::vector<bool> del, ins;
        diff_lines(lines_of(a), lines_of(b), del, ins);
        std::vector<std::string> kept_a, kept_b;
        for (size_t i = 0; i < a.size(); ++i)
            if (!del[i]) kept_a.push_back(a[i]);
        for (size_t j = 0; j < b.size(); ++j)
            if (!ins[j]) kept_b.push_back(b[j]);
        ASSERT_EQ(kept_a, kept_b) << "round " << round;
        ASSERT_EQ(kept_a.size(), lcs_length(a, b)) << "round " << round;
    }
}

TEST(LineDiff, LongSheetWithFewChanges) {
    std::vector<std::string> a, b;
    for (int i = 0; i < 200000; ++i) a.push_back("row\t" + std::to_string(i));
    b = a;
    b[5] = "changed";
    b.erase(b.begin() + 100000);
    b.push_back("appended");
    std::string out;
    ASSERT_TRUE(write_hunks(lines_of(a), lines_of(b), hunk_style{}, out));
    EXPECT_EQ(out,
              "@@ -3,7 +3,7 @@\n row\t2\n row\t3\n row\t4\n-row\t5\n+changed\n row\t6\n row\t7\n row\t8\n"
              "@@ -99998,7 +99998,6 @@\n row\t99997\n row\t99998\n row\t99999\n-row\t100000\n row\t100001\n"
              " row\t100002\n row\t100003\n"
              "@@ -199998,3 +199997,4 @@\n row\t199997\n row\t199998\n row\t199999\n+appended\n");
}

TEST(LineDiff, ManyDifferencesStillGiveAValidScript) {
    // Two long sequences of few distinct lines: the search settles for good
    // splits instead of the best; what stays unmarked is still common to
    // both and in order.  And a sheet whose every row changed.
    std::mt19937 rng(7);
    std::vector<std::string> a(30000), b(30000), c(30000);
    for (auto& l : a) l = std::string(1, static_cast<char>('a' + rng() % 4));
    for (auto& l : b) l = std::string(1, static_cast<char>('a' + rng() % 4));
    for (size_t i = 0; i < c.size(); ++i) c[i] = "new\t" + a[i];
    for (const auto* other : {&b, &c}) {
        std::vector<bool> del, ins;
        diff_lines(lines_of(a), lines_of(*other), del, ins);
        std::vector<std::string> kept_a, kept_b;
        for (size_t i = 0; i < a.size(); ++i)
            if (!del[i]) kept_a.push_back(a[i]);
        for (size_t j = 0; j < other->size(); ++j)
            if (!ins[j]) kept_b.push_back((*other)[j]);
        EXPECT_EQ(kept_a, kept_b);
        if (other == &b)
            EXPECT_GT(kept_a.size(), a.size() / 2) << "a common subsequence, if not the longest";
        else
            EXPECT_TRUE(kept_a.empty()) << "no row in common";
    }
}

struct hunk_case {
    const char* what;
    std::vector<std::string> a, b;
    const char* expected;
};

TEST(LineDiff, HunksAsDiffWritesThem) {
    const std::vector<std::string> ten = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"};
    auto with = [&](std::vector<std::pair<size_t, const char*>> changes) {
        std::vector<std::string> v = ten;
        for (auto& [i, t] : changes) v[i] = t;
        return v;
    };
    const hunk_case cases[] = {
        {"equal", ten, ten, ""},
        {"both empty", {}, {}, ""},
        {"all added", {}, {"x", "y"}, "@@ -0,0 +1,2 @@\n+x\n+y\n"},
        {"all removed", {"x"}, {}, "@@ -1 +0,0 @@\n-x\n"},
        {"first line", ten, with({{0, "one"}}), "@@ -1,4 +1,4 @@\n-1\n+one\n 2\n 3\n 4\n"},
        {"inserted at the start", ten, [&] { auto v = ten; v.insert(v.begin(), "0"); return v; }(),
         "@@ -1,3 +1,4 @@\n+0\n 1\n 2\n 3\n"},
        {"six apart: one hunk", ten, with({{1, "b"}, {8, "i"}}),
         "@@ -1,10 +1,10 @@\n 1\n-2\n+b\n 3\n 4\n 5\n 6\n 7\n 8\n-9\n+i\n 10\n"},
        {"seven apart: two hunks", [&] { auto v = ten; v.push_back("11"); return v; }(),
         [&] { auto v = with({{0, "a"}, {8, "i"}}); v.push_back("11"); return v; }(),
         "@@ -1,4 +1,4 @@\n-1\n+a\n 2\n 3\n 4\n@@ -6,6 +6,6 @@\n 6\n 7\n 8\n-9\n+i\n 10\n 11\n"},
    };
    for (const hunk_case& c : cases) {
        std::string out;
        bool differs = write_hunks(lines_of(c.a), lines_of(c.b), hunk_style{}, out);
        EXPECT_EQ(out, c.expected) << c.what;
        EXPECT_EQ(differs, *c.expected != 0) << c.what;
    }
}

TEST(LineDiff, ChangedLinesHaveTheirWordsMarked) {
    std::vector<std::string> a = {"name\tqty\t", "apple\t3\t150\t", "pear\t1\t"};
    std::vector<std::string> b = {"name\tqty\t", "new\trow\t", "apple\t4\t150\t9\t", "plum\t2\t"};
    // The apple lines pair up across the inserted line and show what changed
    // in them; pear and plum share no word: one deleted, one inserted.
    hunk_style style;
    std::string plain;
    ASSERT_TRUE(write_hunks(lines_of(a), lines_of(b), style, plain));
    EXPECT_EQ(plain,
              "@@ -1,3 +1,4 @@\n"
              " name\tqty\t\n"
              "+new\trow\t\n"
              "~apple\t[-3-]{+4+}\t150\t{+9\t+}\n"
              "-pear\t1\t\n"
              "+plum\t2\t\n");
    style.colour = true;
    std::string coloured;
    ASSERT_TRUE(write_hunks(lines_of(a), lines_of(b), style, coloured));
    EXPECT_EQ(coloured,
              "\033[36m@@ -1,3 +1,4 @@\033[m\n"
              " name\tqty\t\n"
              "\033[32m+new\trow\t\033[m\n"
              "\033[33m~\033[mapple\t\033[31m[-3-]\033[m\033[32m{+4+}\033[m\t150\t\033[32m{+9\t+}\033[m\n"
              "\033[31m-pear\t1\t\033[m\n"
              "\033[32m+plum\t2\t\033[m\n");
}

TEST(LineDiff, ControlCharactersNeverReachTheTerminal) {
    // Text that would clear the screen, move the cursor or overwrite a line
    // is shown escaped; tabs stay tabs.
    std::vector<std::string> a = {"total\t100", "note"};
    std::vector<std::string> b = {"total\t\x1b[2J\x1b[1;1H100", "note\rfake line\x07"};
    std::string out;
    ASSERT_TRUE(write_hunks(lines_of(a), lines_of(b), hunk_style{}, out));
    EXPECT_EQ(out.find('\x1b'), std::string::npos);
    EXPECT_EQ(out.find('\r'), std::string::npos);
    EXPECT_EQ(out.find('\x07'), std::string::npos);
    EXPECT_NE(out.find("^[[2J^[[1;1H"), std::string::npos) << out;
    EXPECT_NE(out.find("note^Mfake line^G"), std::string::npos) << out;
}

}  // namespace
