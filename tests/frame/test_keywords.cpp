// The keyword tokenizer and keyword comparison.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tbx_keywords.h"

namespace {

// All tokens of a text, or {"<error>"} after a failing token.
std::vector<std::string> tokens(const char* text, int charset = 1) {
    tbx_tokenizer t(text, charset);
    std::vector<std::string> out;
    std::string tok;
    for (;;) {
        int rc = t.next(tok);
        if (rc == 0) break;
        if (rc < 0) {
            out.push_back("<error>");
            break;
        }
        out.push_back(tok);
    }
    return out;
}

using V = std::vector<std::string>;

TEST(Tokenizer, QuotingForms) {
    struct row {
        const char* text;
        V expected;
    } rows[] = {
        {"", {}},
        {"   \t\r\n ", {}},
        {"EXCEL=x", {"EXCEL", "=", "x"}},
        {"EXCEL = x MODE=READ", {"EXCEL", "=", "x", "MODE", "=", "READ"}},
        {"EXCEL=\"a b.xlsx\"", {"EXCEL", "=", "\"a b.xlsx\""}},
        {"A=\"x=y\"", {"A", "=", "\"x=y\""}},
        {"A=\"no escape\\\"", {"A", "=", "\"no escape\\\""}},
        {"A=\"open to the end", {"A", "=", "\"open to the end"}},
        {"A='it''s' B", {"A", "=", "'it''s'", "B"}},
        {"A='' B", {"A", "=", "''", "B"}},
        {"A='x y'z", {"A", "=", "'x y'", "z"}},
        {"abc\"def\"", {"abc", "\"def\""}},   // a quote ends the token before it
        {"abc'def'", {"abc", "'def'"}},
        {"MODE=READ;", {"MODE", "=", "READ"}},  // final ";" dropped
        {"MODE=READ;  ", {"MODE", "=", "READ"}},
        {"MODE=READ ;", {"MODE", "=", "READ"}},
        {"A=x; B=y", {"A", "=", "x;", "B", "=", "y"}},  // only the last token
        {"A=\"x\";", {"A", "=", "\"x\""}},
        {"==", {"=", "="}},
    };
    for (const row& r : rows) EXPECT_EQ(tokens(r.text), r.expected) << r.text;
}

TEST(Tokenizer, MultiByteCharactersAreCopiedWhole) {
    // Shift-JIS "表" and "ソ" end in 0x5C.  The lead-byte rule takes the byte
    // after a lead byte whatever it is, so even "=" (0x3D) or a double
    // quote after a lead byte stays inside the token.
    EXPECT_EQ(tokens("A=\x95\x5c\x83\x5c", 1), V({"A", "=", "\x95\x5c\x83\x5c"}));
    EXPECT_EQ(tokens("A=\x88\x3d" "b", 1), V({"A", "=", "\x88\x3d" "b"}));
    EXPECT_EQ(tokens("A=\"\x88\x22\"", 1), V({"A", "=", "\"\x88\x22\""}));
    // The same bytes under UTF-8 rules are single bytes: "=" splits.
    EXPECT_EQ(tokens("A=\x88\x3d" "b", 3), V({"A", "=", "\x88", "=", "b"}));
    // UTF-8 "シート" stays one token.
    EXPECT_EQ(tokens("シート=\"売上 表\"", 3), V({"シート", "=", "\"売上 表\""}));
    // A lead byte at the very end does not read past the text.
    EXPECT_EQ(tokens("A=\x95", 1), V({"A", "=", "\x95"}));
}

TEST(Tokenizer, FourThousandByteLimit) {
    std::string ok = "A=" + std::string(4000, 'x');
    EXPECT_EQ(tokens(ok.c_str()).back().size(), 4000u);
    std::string quoted = "A=\"" + std::string(3998, 'x') + "\"";
    EXPECT_EQ(tokens(quoted.c_str()).back().size(), 4000u);
    std::string too_long = "A=" + std::string(4001, 'x');
    EXPECT_EQ(tokens(too_long.c_str()).back(), "<error>");
}

TEST(Keywords, ComparisonRules) {
    EXPECT_TRUE(tbx_keyword_is("mode", "MODE", "モード"));
    EXPECT_TRUE(tbx_keyword_is("MoDe", "MODE", "モード"));
    EXPECT_TRUE(tbx_keyword_is("モード", "MODE", "モード"));
    EXPECT_TRUE(tbx_keyword_is("読み込み", "READ", "読込", "読み込み"));
    EXPECT_FALSE(tbx_keyword_is("MODES", "MODE", "モード"));
    EXPECT_FALSE(tbx_keyword_is("\"READ\"", "READ", "読込"));
    EXPECT_FALSE(tbx_keyword_is("", "READ"));
    EXPECT_EQ(tbx_unquoted("\"a b\""), "a b");
    EXPECT_EQ(tbx_unquoted("\"\""), "");
    EXPECT_EQ(tbx_unquoted("\"a"), "\"a");
    EXPECT_EQ(tbx_unquoted("\""), "\"");
}

}  // namespace
