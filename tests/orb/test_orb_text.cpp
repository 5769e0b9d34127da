// Character sets, conversions and string helpers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "orb_text.h"

namespace {

TEST(OrbLeadBytes, RulePerCharacterSet) {
    struct row {
        int set;
        unsigned char byte;
        int trail;
    } rows[] = {
        {1, 0x80, 0}, {1, 0x81, 1}, {1, 0x9F, 1}, {1, 0xA0, 0}, {1, 0xB1, 0}, {1, 0xDF, 0}, {1, 0xE0, 1},
        {1, 0xFC, 1}, {1, 0xFD, 0}, {2, 0x8E, 1}, {2, 0xA0, 0}, {2, 0xA1, 1}, {2, 0xFE, 1}, {2, 0xFF, 0},
        {3, 0x7F, 0}, {3, 0xBF, 0}, {3, 0xC0, 1}, {3, 0xDF, 1}, {3, 0xE0, 2}, {3, 0xEF, 2}, {3, 0xF0, 3},
        {3, 0xF7, 3}, {3, 0xF8, 0}, {4, 0x00, 1}, {4, 0xD8, 3}, {4, 0xDB, 3}, {4, 0xDC, 1}, {9, 0x81, 0},
    };
    for (const row& r : rows) {
        int pos = 10;
        EXPECT_EQ(orb_mb_len(r.set, r.byte, &pos), r.trail) << r.set << " " << int(r.byte);
        EXPECT_EQ(pos, 10 + r.trail);
    }
}

std::string convert(int from, int to, const std::string& in, int capacity = 256) {
    std::vector<char> buf(capacity, 'Z');
    std::memcpy(buf.data(), in.data(), in.size());
    int len = static_cast<int>(in.size());
    int rc = orb_convert(from, to, buf.data(), &len, capacity);
    if (rc != 0) return "rc=" + std::to_string(rc);
    EXPECT_EQ(buf[len], 0) << "terminated";
    return std::string(buf.data(), len);
}

TEST(OrbConvert, PairsTable) {
    // あ in every set, the half-width katakana ｱ, and a mixed text.
    const std::string sjis_a = "\x82\xA0", euc_a = "\xA4\xA2", utf8_a = "\xE3\x81\x82", be_a = std::string("\x30\x42", 2);
    struct row {
        int from, to;
        std::string in, out;
    } rows[] = {
        {1, 2, sjis_a, euc_a},
        {2, 1, euc_a, sjis_a},
        {1, 3, sjis_a, utf8_a},
        {3, 1, utf8_a, sjis_a},
        {2, 3, euc_a, utf8_a},
        {3, 2, utf8_a, euc_a},
        {4, 1, be_a, sjis_a},
        {4, 2, be_a, euc_a},
        {4, 3, be_a, utf8_a},
        {1, 2, "\xB1", "\x8E\xB1"},
        {2, 1, "\x8E\xB1", "\xB1"},
        {1, 2, "A\x82\xA0" "b", "A\xA4\xA2" "b"},
        {1, 1, "\x82\xA0", "\x82\xA0"},
        {3, 4, utf8_a, utf8_a},  // not a target: unchanged
        {1, 3, "plain ascii", "plain ascii"},
        // ソ (trail byte 0x5C) and the JIS X 0208 rows at the edges.
        {1, 2, "\x83\x5C", "\xA5\xBD"},
        {2, 1, "\xA5\xBD", "\x83\x5C"},
        {1, 2, "\x88\x9F", "\xB0\xA1"},  // 亜: first kanji
        {2, 1, "\xB0\xA1", "\x88\x9F"},
        {1, 2, "\xEA\xA4", "\xF4\xA6"},  // 熙: last of level 2
        {2, 1, "\xF4\xA6", "\xEA\xA4"},
    };
    for (const row& r : rows) EXPECT_EQ(convert(r.from, r.to, r.in), r.out) << r.from << "->" << r.to;
}

TEST(OrbConvert, SurrogatePairBecomesOneUtf8Character) {
    std::string be("\xD8\x3D\xDE\x00", 4);  // U+1F600
    EXPECT_EQ(convert(4, 3, be), "\xF0\x9F\x98\x80");
}

TEST(OrbConvert, JisArithmeticRoundTripsEveryRow) {
    // Every JIS X 0208 code point converts there and back by the arithmetic.
    for (int c1 = 0xA1; c1 <= 0xF4; ++c1) {
        for (int c2 = 0xA1; c2 <= 0xFE; ++c2) {
            std::string euc{static_cast<char>(c1), static_cast<char>(c2)};
            std::string sjis = convert(2, 1, euc);
            ASSERT_EQ(sjis.size(), 2u);
            ASSERT_EQ(convert(1, 2, sjis), euc) << c1 << "," << c2;
        }
    }
}

TEST(OrbConvert, CapacityIsNeverExceeded) {
    // Three half-width katakana grow to six bytes: room for five is refused
    // and the text is left as it was.
    char buf[6] = "\xB1\xB2\xB3";
    int len = 3;
    EXPECT_EQ(orb_convert(1, 2, buf, &len, 6), -9);
    EXPECT_EQ(len, 3);
    EXPECT_EQ(std::string(buf, 3), "\xB1\xB2\xB3");
    char big[7] = "\xB1\xB2\xB3";
    len = 3;
    EXPECT_EQ(orb_convert(1, 2, big, &len, 7), 0);
    EXPECT_EQ(std::string(big, len), "\x8E\xB1\x8E\xB2\x8E\xB3");
}

TEST(OrbConvert, ShrinkingZeroFillsTheTail) {
    char buf[16];
    std::memset(buf, 'Z', sizeof buf);
    std::memcpy(buf, "\xE3\x81\x82\xE3\x81\x84", 6);  // あい
    int len = 6;
    ASSERT_EQ(orb_convert(3, 1, buf, &len, sizeof buf), 0);
    EXPECT_EQ(len, 4);
    for (int i = 4; i <= 6; ++i) EXPECT_EQ(buf[i], 0) << i;
}

TEST(OrbStrings, TrimNumber) {
    struct row {
        const char* in;
        const char* out;
    } rows[] = {{"007.500", "7.5"}, {"-0.0", "-0.0"}, {"0", "0"}, {"", "0"}, {"000", "0"}, {"0.50", "0.5"},
                {"-007", "-7"}, {"12.000", "12.0"}, {"100", "100"}, {"0.0", "0.0"}};
    for (const row& r : rows) {
        char buf[32];
        std::strcpy(buf, r.in);
        orb_trim_number(buf);
        EXPECT_STREQ(buf, r.out) << r.in;
    }
}

TEST(OrbStrings, TrimAndUnquote) {
    char a[] = " \t\nabc \r\n\t";
    orb_trim(a);
    EXPECT_STREQ(a, "abc \r") << "carriage returns stay";
    char b[] = " \t\n";
    orb_trim(b);
    EXPECT_STREQ(b, "");
    char c[] = "\"x y\"";
    orb_unquote(c);
    EXPECT_STREQ(c, "x y");
    char d[] = "\"\"";
    orb_unquote(d);
    EXPECT_STREQ(d, "");
    char e[] = "\"open";
    orb_unquote(e);
    EXPECT_STREQ(e, "\"open");
    char f[] = "\"";
    orb_unquote(f);
    EXPECT_STREQ(f, "\"") << "one quote is not a pair";
    char g[] = "'q'";
    orb_unquote1(g);
    EXPECT_STREQ(g, "q");
}

TEST(OrbStrings, Predicates) {
    EXPECT_EQ(orb_is_number("+1.5-"), 0);
    EXPECT_EQ(orb_is_number(""), 0);
    EXPECT_EQ(orb_is_number("1e5"), -1);
    EXPECT_EQ(orb_is_number_or_quoted("'abc'"), 0);
    EXPECT_EQ(orb_is_number_or_quoted("'"), -1);
    EXPECT_EQ(orb_is_hex("09afAF"), 0);
    EXPECT_EQ(orb_is_hex("0g"), -1);
}

TEST(OrbStrings, SkipQuotedRuns) {
    int pos = 0;
    EXPECT_EQ(orb_skip_quoted(3, "'it''s' rest", &pos), 0);
    EXPECT_EQ(pos, 7);
    pos = 0;
    EXPECT_EQ(orb_skip_quoted(3, "'open", &pos), -1);
    pos = 0;
    EXPECT_EQ(orb_skip_dquoted(3, "\"a\"\"b\"", &pos), 0);
    EXPECT_EQ(pos, 3) << "no doubling in double quotes";
    // A trail byte equal to a quote (0x27 is never a trail in SJIS; use the
    // lead-byte rule with set 1 and a 0x5C trail) does not end the run.
    pos = 0;
    EXPECT_EQ(orb_skip_dquoted(1, "\"\x83\x5C\"x", &pos), 0);
    EXPECT_EQ(pos, 4);
}

TEST(OrbStrings, UpperOutsideQuotes) {
    char a[] = "abc 'def' \"ghi\" jkl";
    EXPECT_EQ(orb_upper_outside_quotes(3, a), 0);
    EXPECT_STREQ(a, "ABC 'def' \"ghi\" JKL");
    char b[] = "ab 'cd";
    EXPECT_EQ(orb_upper_outside_quotes(3, b), -1);
    // The trail byte 0x61 ('a') of a Shift-JIS character stays as it is.
    char c[] = "\x81\x61x";
    EXPECT_EQ(orb_upper_outside_quotes(1, c), 0);
    EXPECT_STREQ(c, "\x81\x61X");
}

TEST(OrbStrings, SplitPath) {
    char p[] = "C:\\dir\\sub/file.xlsx";
    char folder[64];
    orb_split_path(1, p, folder);
    EXPECT_STREQ(folder, "C:\\dir\\sub");
    EXPECT_STREQ(p, "file.xlsx");
    char q[] = "name.xlsx";
    orb_split_path(1, q, folder);
    EXPECT_STREQ(folder, "");
    EXPECT_STREQ(q, "name.xlsx");
    // ソ ends in 0x5C: with set 1 the name is not split inside it.
    char r[] = "dir\\\x83\x5C.xls";
    orb_split_path(1, r, folder);
    EXPECT_STREQ(folder, "dir");
    EXPECT_STREQ(r, "\x83\x5C.xls");
}

TEST(OrbStrings, NameOrderSortsNumbersNaturally) {
    std::vector<std::string> names = {"xl/worksheets/sheet10.xml", "xl/worksheets/sheet2.xml",
                                      "xl/worksheets/sheet1.xml", "xl/styles.xml", "xl/worksheets/_rels/a.xml"};
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return orb_name_order(a.c_str(), b.c_str()) < 0; });
    EXPECT_EQ(names[2], "xl/worksheets/sheet1.xml");
    EXPECT_EQ(names[3], "xl/worksheets/sheet2.xml");
    EXPECT_EQ(names[4], "xl/worksheets/sheet10.xml");
    EXPECT_EQ(orb_name_order("slide2.xml", "slide10.xml"), -1);
    EXPECT_EQ(orb_name_order("slide10.xml", "slide2.xml"), 1);
    EXPECT_EQ(orb_name_order("a.xml", "a.xml"), 0);
    // Different extensions or prefixes compare byte by byte.
    EXPECT_EQ(orb_name_order("s2.rels", "s10.xml"), 1);
    // More than 8 digits is not a number part.
    EXPECT_EQ(orb_name_order("s123456789.xml", "s2.xml"), -1);
}

TEST(OrbStrings, ReadersAndClock) {
    const unsigned char b[] = {0x34, 0x12, 0x78, 0x56};
    EXPECT_EQ(orb_read_u16(b), 0x1234);
    EXPECT_EQ(orb_read_u32(b), 0x56781234u);
    char now[20];
    orb_now_text(now);
    EXPECT_EQ(std::strlen(now), 19u);
    EXPECT_EQ(now[4], '/');
    EXPECT_EQ(now[13], ':');
}

}  // namespace
