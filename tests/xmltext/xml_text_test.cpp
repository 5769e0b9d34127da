#include "xml_text.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct conv_case {
    int mode;
    std::string in;
    std::string out;
};

// Runs xml_escape on a copy with room for the worst case; returns the code.
int run(int mode, const std::string& in, std::string* out) {
    std::vector<char> buf(in.size() * 7 + 1, '\x7f');
    in.copy(buf.data(), in.size());
    buf[in.size()] = '\0';
    int len = static_cast<int>(in.size());
    int rc = xml_escape(mode, buf.data(), &len);
    if (rc == 0) {
        EXPECT_EQ(buf[len], '\0');
        *out = std::string(buf.data(), len);
    }
    return rc;
}

class XmlEscapeTable : public ::testing::TestWithParam<conv_case> {};

TEST_P(XmlEscapeTable, ConvertsExactly) {
    const conv_case& c = GetParam();
    std::string out;
    ASSERT_EQ(run(c.mode, c.in, &out), 0);
    EXPECT_EQ(out, c.out);
}

INSTANTIATE_TEST_SUITE_P(
    Unescape, XmlEscapeTable,
    ::testing::Values(
        conv_case{0, "", ""},
        conv_case{0, "a&amp;lt;b", "a&lt;b"},  // one level only
        conv_case{0, "x&#13;y", "x&#13;y"},     // decimal references stay
        conv_case{0, "&lt;&gt;&amp;&quot;&apos;", "<>&\"'"},
        conv_case{0, "&#xD;&#xA;&#x9;&#x20;", "\r\n\t "},
        conv_case{0, "&#xd;&#x0A;&nbsp;&LT;", "&#xd;&#x0A;&nbsp;&LT;"},
        conv_case{0, "_x005F_x000D_", "_x000D_"},
        conv_case{0, "_x005F_", "_"},
        conv_case{0, "_x000D_", "_x000D_"},
        conv_case{0, "a_x001A_b", "a b"},
        conv_case{0, "\xC2\xA0x\xC2", " x\xC2"},
        conv_case{0, "\xE3\x81\x82&amp;", "\xE3\x81\x82&"},
        conv_case{0, "&lt", "&lt"},                   // truncated entity at the end
        conv_case{0, "_x005", "_x005"}));

INSTANTIATE_TEST_SUITE_P(
    Escape, XmlEscapeTable,
    ::testing::Values(
        conv_case{1, "A<B>&\"", "A&lt;B&gt;&amp;&quot;"},
        conv_case{1, "'\t", "&apos;&#x9;"},
        conv_case{1, "a\r\nb", "a&#xD;&#xA;b"},
        conv_case{2, "a\r\nb\t", "a\r\nb&#x9;"},
        conv_case{1, "_x0041_", "_x005F_x0041_"},
        conv_case{1, "_xZZ41_", "_xZZ41_"},
        conv_case{1, "_x00aF_x0041_", "_x005F_x00aF_x005F_x0041_"},
        conv_case{1, "_x0041", "_x0041"},  // closer than seven bytes to the end
        conv_case{2, "", ""},
        conv_case{1, "&&&&", "&amp;&amp;&amp;&amp;"},  // needs the grown work buffer
        conv_case{1, "_x0041_", "_x005F_x0041_"}));

TEST(XmlEscape, EscapedTextReadsBack) {
    const std::string texts[] = {"_x000D_ & <tag> \"q\" 'a'", "line\r\nnext\ttab", "\xE6\x97\xA5\xE6\x9C\xAC"};
    for (const std::string& t : texts) {
        std::string esc, back;
        ASSERT_EQ(run(1, t, &esc), 0);
        ASSERT_EQ(run(0, esc, &back), 0);
        EXPECT_EQ(back, t);
    }
}

TEST(XmlEscape, RefusesBadArguments) {
    char buf[8] = "abc";
    int len = 3;
    EXPECT_EQ(xml_escape(3, buf, &len), -3);
    EXPECT_EQ(xml_escape(-1, buf, &len), -3);
    EXPECT_EQ(xml_escape(0, nullptr, &len), -3);
    EXPECT_EQ(xml_escape(0, buf, nullptr), -3);
    len = -1;
    EXPECT_EQ(xml_escape(0, buf, &len), -3);
    EXPECT_STREQ(buf, "abc");
}

TEST(XmlEscape, LongTextOfOnlySpecials) {
    // Every byte grows sevenfold: the work buffer must be grown twice.
    std::string in(5000, '_');
    for (size_t i = 0; i + 7 <= in.size(); i += 7) in.replace(i, 7, "_x1234_");
    std::string out;
    ASSERT_EQ(run(1, in, &out), 0);
    std::string back;
    ASSERT_EQ(run(0, out, &back), 0);
    EXPECT_EQ(back, in);
}

struct fold_case {
    int charset;
    std::string in;
    std::string out;
};

TEST(FoldCrlf, Table) {
    const fold_case cases[] = {
        {3, "\r\r\n", "\r\n"},
        {3, "\r\n\r\n", "\n\n"},
        {3, "a\rb\nc", "a\rb\nc"},
        {3, "", ""},
        {3, "\r", "\r"},
        {3, "x\r\n", "x\n"},
        // A CR that is a trail byte position is not a character position:
        // a three-byte UTF-8 lead steps over two bytes.
        {3, "\xE3\r\n\r\n", "\xE3\r\n\n"},
        // Shift-JIS: 0x82 is a lead byte, its trail is taken whole.
        {1, "\x82\xA0\r\n", "\x82\xA0\n"},
        // A lead byte at the end: nothing past the terminator is touched.
        {1, "ab\x82", "ab\x82"},
        {3, "\xF0", "\xF0"},
    };
    for (const fold_case& c : cases) {
        std::vector<char> buf(c.in.begin(), c.in.end());
        buf.push_back('\0');
        buf.push_back('\r');  // bytes after the terminator must stay untouched
        buf.push_back('\n');
        EXPECT_EQ(fold_crlf(c.charset, buf.data()), 0);
        EXPECT_EQ(std::string(buf.data()), c.out);
        EXPECT_EQ(buf[buf.size() - 2], '\r');
    }
}

}  // namespace

// Character data as the walker, the chart reader and the worksheet scanner
// read it: every reference they resolve, and what stays as written.
TEST(XmlAppendText, Table) {
    const struct {
        std::string in, out;
    } cases[] = {
        {"a&lt;b&gt;c&amp;d&quot;e&apos;f", "a<b>c&d\"e'f"},
        {"&#65;&#x42;&#X43;", "ABC"},
        {"&#x20AC;&#128512;", "\xE2\x82\xAC\xF0\x9F\x98\x80"},
        {"&#xD800;&#x110000;&#xFFFE;", ""},  // no character has these
        {"&#0;&# 65;&#+65;&#-65;&#x;&#;&#65", "&#0;&# 65;&#+65;&#-65;&#x;&#;&#65"},
        {"&nbsp;&LT;&amp", "&nbsp;&LT;&amp"},
        {"&#000000000065;", "&#000000000065;"},        // longer than a reference is
        {"x\xEF\xBF\xBEy\xEF\xBF\xBFz\xEF\xBC\xA1", "xyz\xEF\xBC\xA1"},  // the dumps' marks
    };
    for (const auto& c : cases) {
        std::string out;
        xml_append_text(out, c.in.data(), c.in.data() + c.in.size());
        EXPECT_EQ(out, c.out) << c.in;
    }
}

TEST(XmlTagEnd, QuotedValuesArePassedOver) {
    const std::string tag = "a b=\"x>y\" c='>'/>rest";
    const char* gt = xml_tag_end(tag.data(), tag.data() + tag.size());
    ASSERT_NE(gt, nullptr);
    EXPECT_EQ(std::string(gt), ">rest");
    const std::string open = "a b=\"x>";
    EXPECT_EQ(xml_tag_end(open.data(), open.data() + open.size()), nullptr);
}
