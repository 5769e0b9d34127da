// The shared-string table gathered over CONTINUE records.
#include <gtest/gtest.h>

#include "biff_fixtures.h"

namespace {

using namespace bt;

// A stream holding an SST record and CONTINUE pieces, then a record that
// completes the table.
std::string sst_stream(const std::vector<std::string>& pieces, bool close = true) {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_SST, bytes().u32(9).u32(9).raw(pieces[0]));
    for (size_t i = 1; i < pieces.size(); ++i) st.add(xls::BIFF_CONTINUE, pieces[i]);
    if (close) st.add(xls::BIFF_EOF, "");
    return st.s;
}

struct sst_case {
    const char* what;
    std::vector<std::string> pieces;
    std::vector<std::string> strings;
};

TEST(SharedStrings, StringsAcrossPieces) {
    const sst_case cases[] = {
        {"8-bit and 16-bit strings", {bytes().u16(3).u8(0).raw("abc").u16(2).u8(1).wide(u"\u65e5\u672c")}, {"abc", "日本"}},
        {"16-bit part, then 8-bit continuation",
         {bytes().u16(4).u8(1).wide(u"\u3042\u3044"), bytes().u8(0).raw("ab").u16(1).u8(0).raw("z")},
         {"あいab", "z"}},
        {"8-bit part, then 16-bit continuation",
         {bytes().u16(3).u8(0).raw("a"), bytes().u8(1).wide(u"\u3046\u3048")}, {"aうえ"}},
        {"split twice", {bytes().u16(3).u8(0).raw("a"), bytes().u8(1).wide(u"b"), bytes().u8(0).raw("c")}, {"abc"}},
        {"rich-text runs straddle a piece",
         {bytes().u16(3).u8(0x08).u16(2).raw("abc").u32(1).u8(2), bytes().u16(0).u8(0).u16(1).u8(0).raw("d")},
         {"abc", "d"}},
        {"phonetic block straddles a piece",
         {bytes().u16(2).u8(0x04).u32(6).raw("xy").u16(0x0201), bytes().u32(0x06050403).u16(1).u8(0).raw("e")},
         {"xy", "e"}},
        {"runs and phonetic block together",
         {bytes().u16(1).u8(0x0D).u16(1).u32(2).wide(u"\u30a2").u32(0).u16(0x0707).u16(1).u8(0).raw("f")},
         {"ア", "f"}},
        {"a string starts at a piece boundary",
         {bytes().u16(2).u8(0).raw("gh"), bytes().u16(2).u8(0).raw("ij")}, {"gh", "ij"}},
        {"an empty piece between", {bytes().u16(2).u8(0).raw("k"), std::string(), bytes().u8(0).raw("l")}, {"kl"}},
        {"no-break spaces become spaces", {bytes().u16(3).u8(1).wide(u"a\u00a0b")}, {"a b"}},
        {"empty string", {bytes().u16(0).u8(0).u16(1).u8(0).raw("m")}, {"", "m"}},
        {"padding after the last string", {bytes().u16(1).u8(0).raw("n").u8(0)}, {"n"}},
        {"a table cut inside the runs", {bytes().u16(1).u8(0x08).u16(5).raw("o").u16(0)}, {"o"}},
    };
    for (const auto& c : cases) {
        fake_book b;
        ASSERT_EQ(feed(b, sst_stream(c.pieces)), 0) << c.what;
        EXPECT_EQ(b.sst, c.strings) << c.what;
    }
}

TEST(SharedStrings, MalformedTables) {
    struct {
        const char* what;
        std::vector<std::string> pieces;
        int status;
        const char* message;
    } cases[] = {
        {"continuation option byte 2", {bytes().u16(3).u8(0).raw("a"), bytes().u8(2).raw("bc")}, -1, nullptr},
        {"characters cut by the end", {bytes().u16(5).u8(0).raw("ab")}, -1, nullptr},
        {"half a character before a piece end", {bytes().u16(2).u8(1).u16(0x41).u8(0x42), bytes().u8(1).u16(0)}, -1, nullptr},
        {"32768 characters", {bytes().u16(32768).u8(0).raw("a")}, -9,
         "TABX-03009 バッファサイズ(\"32767\")オーバー(\"tbx_put_sst() XLS_CELL_STR_LEN\")。"},
    };
    for (const auto& c : cases) {
        fake_book b;
        EXPECT_EQ(feed(b, sst_stream(c.pieces)), c.status) << c.what;
        if (c.message) {
            ASSERT_EQ(b.messages.size(), 1u) << c.what;
            EXPECT_EQ(b.messages[0], c.message);
        } else {
            EXPECT_TRUE(b.messages.empty()) << c.what;
        }
    }
}

TEST(SharedStrings, TheLongestStringFitsInOnePiece) {
    std::u16string w(32767, u'\u3042');
    std::vector<std::string> pieces{bytes().u16(32767).u8(1).wide(w.substr(0, 4000))};
    for (size_t at = 4000; at < w.size(); at += 4000) pieces.push_back(bytes().u8(1).wide(w.substr(at, 4000)));
    fake_book b;
    ASSERT_EQ(feed(b, sst_stream(pieces)), 0);
    ASSERT_EQ(b.sst.size(), 1u);
    EXPECT_EQ(b.sst[0].size(), 32767u * 3);
}

TEST(SharedStrings, TableAtTheEndOfTheStreamIsCompleted) {
    // Records outside any substream (no BOF): the table is completed by the
    // end of the stream.
    std::string table = sst_stream({bytes().u16(1).u8(0).raw("a"), bytes().u16(1).u8(0).raw("b")}, false);
    fake_book b;
    ASSERT_EQ(feed(b, table.substr(bof(0x0005).size() + 4)), 0);
    EXPECT_EQ(b.sst, (std::vector<std::string>{"a", "b"}));
    // A globals substream that ends without its EOF is cut short.
    fake_book cut;
    EXPECT_EQ(feed(cut, table), xls::BIFF_CUT);
}

TEST(SharedStrings, PieceTableLimit) {
    // 4096 slots: the SST record, 4094 CONTINUE records and the end.
    std::vector<std::string> pieces{bytes().u16(1).u8(0).raw("a")};
    for (int i = 0; i < 4094; ++i) pieces.push_back(bytes().u16(1).u8(0).raw("b"));
    fake_book ok;
    ASSERT_EQ(feed(ok, sst_stream(pieces)), 0);
    EXPECT_EQ(ok.sst.size(), 4095u);
    pieces.push_back(bytes().u16(1).u8(0).raw("c"));
    fake_book over;
    EXPECT_EQ(feed(over, sst_stream(pieces)), -9);
    ASSERT_EQ(over.messages.size(), 1u);
    EXPECT_EQ(over.messages[0], "TABX-03009 バッファサイズ(\"4096\")オーバー(\"TBX_MAX_CONTINUE\")。");
}

TEST(SharedStrings, EveryCutOfATableIsReadOrRefused) {
    const std::string body = bytes().u32(3).u32(3).u16(3).u8(0x0C).u16(1).u32(3).raw("abc").u32(0).raw("xyz")
                                 .u16(2).u8(1).wide(u"\u3042\u3044").u16(1).u8(0).raw("q");
    for (size_t n = 0; n <= body.size(); ++n) {
        for (size_t split = 0; split <= n; split += 3) {
            stream st;
            st.add(xls::BIFF_SST, body.substr(0, split));
            st.add(xls::BIFF_CONTINUE, body.substr(split, n - split));
            st.add(xls::BIFF_EOF, "");
            fake_book b;
            int rc = feed(b, st.s);
            EXPECT_TRUE(rc == 0 || rc == -1) << n << "/" << split << " rc=" << rc;
            EXPECT_LE(b.sst.size(), 3u);
        }
    }
}

}  // namespace
