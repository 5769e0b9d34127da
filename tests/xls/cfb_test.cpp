// The compound-document reader: streams read by following their chains, the
// header checks, and damaged documents refused without overruns or hangs.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cfb.h"
#include "cfb_builder.h"
#include "test_support.h"

namespace {

std::string pattern(size_t n, unsigned seed) {
    std::string s(n, '\0');
    for (size_t i = 0; i < n; ++i) s[i] = static_cast<char>((i * 31 + seed * 7 + (i >> 9)) & 0xFF);
    return s;
}

const unsigned char* bytes(const std::string& s) { return reinterpret_cast<const unsigned char*>(s.data()); }

std::string as_string(const std::vector<unsigned char>& v) { return std::string(v.begin(), v.end()); }

int read_workbook(const std::string& file, std::string& out, bool* is_book = nullptr) {
    std::vector<unsigned char> v;
    int rc = xls::cfb_workbook_stream(bytes(file), file.size(), v, is_book);
    out = as_string(v);
    return rc;
}

TEST(CompoundFile, ReadsStreamsOfEverySize) {
    // Short streams live in the mini stream, long ones in regular sectors;
    // sizes either side of the 4096-byte cutoff and of sector boundaries.
    for (size_t n : {1u, 63u, 64u, 65u, 4095u, 4096u, 4097u, 5000u, 70000u}) {
        for (bool reverse : {false, true}) {
            cfbt::options opt;
            opt.reverse_sectors = reverse;
            std::string wb = pattern(n, 1);
            std::string file = cfbt::build({{"\x05SummaryInformation", pattern(300, 2)}, {"Workbook", wb},
                                            {"Other", pattern(5000, 3)}},
                                           opt);
            std::string got;
            bool is_book = true;
            ASSERT_EQ(read_workbook(file, got, &is_book), xls::CFB_OK) << n;
            EXPECT_FALSE(is_book);
            EXPECT_EQ(got, wb) << "size " << n << (reverse ? " reversed" : "");
        }
    }
}

TEST(CompoundFile, FallsBackToBookAndIgnoresLetterCase) {
    std::string got;
    bool is_book = false;
    std::string file = cfbt::build({{"BOOK", pattern(5000, 4)}});
    ASSERT_EQ(read_workbook(file, got, &is_book), xls::CFB_OK);
    EXPECT_TRUE(is_book);
    EXPECT_EQ(got, pattern(5000, 4));

    file = cfbt::build({{"Book", "old"}, {"WORKBOOK", "new"}});
    ASSERT_EQ(read_workbook(file, got, &is_book), xls::CFB_OK);
    EXPECT_FALSE(is_book);
    EXPECT_EQ(got, "new");

    file = cfbt::build({{"Workbook2", "x"}, {"Books", "y"}});
    EXPECT_EQ(read_workbook(file, got), xls::CFB_NOT_FOUND);
}

TEST(CompoundFile, ReadsTheFatThroughTheDifatChain) {
    // More than 109 FAT sectors: the rest are listed in DIFAT sectors.
    std::string wb = pattern(7u << 20, 5);
    cfbt::layout lay;
    std::string file = cfbt::build({{"Workbook", wb}}, {}, &lay);
    ASSERT_GT(lay.fat_sectors, 109u);
    ASSERT_GE(lay.difat_sectors, 1u);
    std::string got;
    ASSERT_EQ(read_workbook(file, got), xls::CFB_OK);
    EXPECT_TRUE(got == wb);
    // A DIFAT chain that points outside the file is refused.
    cfbt::put32(file, 68, 0x7FFFFFF0);
    EXPECT_EQ(read_workbook(file, got), xls::CFB_CORRUPT);
}

struct header_case {
    const char* what;
    size_t offset;
    uint16_t value;
    int status;
    const char* text;
};

TEST(CompoundFile, RefusesBadHeaders) {
    const header_case cases[] = {
        {"byte order", 28, 0xFEFF, xls::CFB_BAD_BYTE_ORDER, "Invalid Byte Order"},
        {"4096-byte sectors", 30, 12, xls::CFB_BAD_SECTOR_SIZE, "Invalid Sector Size"},
        {"sector size 8", 30, 8, xls::CFB_BAD_SECTOR_SIZE, "Invalid Sector Size"},
        {"short sectors", 32, 7, xls::CFB_BAD_SHORT_SECTOR_SIZE, "Invalid Short-sector Size"},
        {"signature", 0, 0, xls::CFB_NOT_COMPOUND, "Invalid Signature"},
    };
    for (const auto& c : cases) {
        std::string file = cfbt::build({{"Workbook", "abc"}});
        cfbt::put16(file, c.offset, c.value);
        std::string got;
        EXPECT_EQ(read_workbook(file, got), c.status) << c.what;
        EXPECT_TRUE(xls::cfb_is_header_failure(c.status));
        EXPECT_STREQ(xls::cfb_status_text(c.status), c.text);
        EXPECT_TRUE(got.empty());
    }
}

TEST(CompoundFile, RefusesBrokenChains) {
    cfbt::layout lay;
    const std::string good = cfbt::build({{"Workbook", pattern(6000, 6)}, {"Small", "tiny"}}, {}, &lay);
    uint32_t s0 = lay.stream_start[0];
    struct damage {
        const char* what;
        size_t offset;
        uint32_t value;
    } cases[] = {
        {"sector links to itself", lay.fat_entry_offset(s0), s0},
        {"sector beyond the file", lay.fat_entry_offset(s0), 100000},
        {"chain ends early", lay.fat_entry_offset(s0), cfbt::END},
        {"free sector in chain", lay.fat_entry_offset(s0), cfbt::FREE},
        {"first sector beyond the table", 512 + lay.first_dir * 512 + 128 + 116, 0x00FFFFFF},
        {"FAT count beyond the file", 44, 1000},
        {"FAT sector beyond the file", 76, 5000},
        {"directory chain loops", lay.fat_entry_offset(lay.first_dir), lay.first_dir},
        {"directory beyond the file", 48, 9999},
    };
    vt::scratch_dir dir;
    for (const auto& c : cases) {
        std::string file = good;
        cfbt::put32(file, c.offset, c.value);
        std::string got;
        EXPECT_EQ(read_workbook(file, got), xls::CFB_CORRUPT) << c.what;
        // The copy for the workbook library is refused before its file exists.
        ASSERT_TRUE(vt::write_file(dir / "bad.xls", file));
        EXPECT_EQ(extract_workbook_stream((dir / "bad.xls").c_str(), (dir / "bad.tmp").c_str(), nullptr), -1)
            << c.what;
        EXPECT_FALSE(vt::exists(dir / "bad.tmp")) << c.what;
    }
    // A mini stream that is damaged spoils the short streams only.
    std::string file = good;
    cfbt::put32(file, 512 + lay.first_dir * 512 + 116, 0x0FFFFFFF);
    xls::compound_file cf;
    ASSERT_EQ(cf.open(bytes(file), file.size()), xls::CFB_OK);
    uint32_t e = 0;
    std::vector<unsigned char> v;
    ASSERT_EQ(cf.find_stream("Small", &e), xls::CFB_OK);
    EXPECT_EQ(cf.read_stream(e, v), xls::CFB_CORRUPT);
    ASSERT_EQ(cf.find_stream("Workbook", &e), xls::CFB_OK);
    EXPECT_EQ(cf.read_stream(e, v), xls::CFB_OK);
}

TEST(CompoundFile, DirectoryTreeLoopsEndTheSearch) {
    cfbt::layout lay;
    std::string file = cfbt::build({{"A", "1"}, {"B", "2"}}, {}, &lay);
    size_t dir = 512 + lay.first_dir * 512;
    cfbt::put32(file, dir + 2 * 128 + 72, 1);  // B's right sibling is A again
    cfbt::put32(file, dir + 1 * 128 + 68, 1);  // A's left sibling is A
    xls::compound_file cf;
    ASSERT_EQ(cf.open(bytes(file), file.size()), xls::CFB_OK);
    uint32_t e = 0;
    EXPECT_EQ(cf.find_stream("Workbook", &e), xls::CFB_NOT_FOUND);
    EXPECT_EQ(cf.find_stream("B", &e), xls::CFB_OK);
    cfbt::put32(file, dir + 76, 77777);  // root's child out of range
    ASSERT_EQ(cf.open(bytes(file), file.size()), xls::CFB_OK);
    EXPECT_EQ(cf.find_stream("A", &e), xls::CFB_NOT_FOUND);
}

TEST(CompoundFile, EveryTruncationIsReadOrRefused) {
    const std::string wb = pattern(9000, 7);
    const std::string file = cfbt::build({{"Workbook", wb}, {"Small", pattern(700, 8)}}, {cfbt::options{true}});
    for (size_t n = 0; n <= file.size(); n += (n < 1100 ? 1 : 97)) {
        std::string cut = file.substr(0, n);
        std::string got;
        int rc = read_workbook(cut, got);
        if (rc == xls::CFB_OK)
            EXPECT_EQ(got, wb) << n;
        else
            EXPECT_TRUE(got.empty()) << n;
    }
    std::string got;
    EXPECT_EQ(read_workbook(file.substr(0, 511), got), xls::CFB_NOT_COMPOUND);
}

TEST(ExtractWorkbookStream, CopiesTheStreamByteForByte) {
    vt::scratch_dir dir;
    std::string wb = pattern(12345, 9);
    ASSERT_TRUE(vt::write_file(dir / "a.xls", cfbt::build({{"Workbook", wb}}, {cfbt::options{true}})));
    bool is_book = true;
    ASSERT_EQ(extract_workbook_stream((dir / "a.xls").c_str(), (dir / "a.tmp").c_str(), &is_book), 0);
    EXPECT_FALSE(is_book);
    EXPECT_TRUE(vt::read_file(dir / "a.tmp") == wb);

    ASSERT_TRUE(vt::write_file(dir / "b.xls", cfbt::build({{"Book", "abc"}})));
    ASSERT_EQ(extract_workbook_stream((dir / "b.xls").c_str(), (dir / "b.tmp").c_str(), &is_book), 0);
    EXPECT_TRUE(is_book);
    EXPECT_EQ(vt::read_file(dir / "b.tmp"), "abc");
}

// The pieces of a stream point into the document: sectors that follow one
// another are one piece, a chain laid out backwards is one piece per sector.
TEST(CompoundFile, StreamPiecesJoinNeighbouringSectors) {
    const std::string wb = pattern(6000, 7), small = "a short stream";
    for (bool reverse : {false, true}) {
        const std::string file = cfbt::build({{"Workbook", wb}, {"Small", small}}, {cfbt::options{reverse}});
        xls::compound_file cf;
        ASSERT_EQ(cf.open(bytes(file), file.size()), xls::CFB_OK);
        uint32_t e = 0;
        std::vector<xls::compound_file::piece> pieces;
        ASSERT_EQ(cf.find_stream("Workbook", &e), xls::CFB_OK);
        ASSERT_EQ(cf.stream_pieces(e, pieces), xls::CFB_OK);
        EXPECT_EQ(pieces.size(), reverse ? 12u : 1u);
        std::string joined;
        for (const auto& p : pieces) {
            EXPECT_TRUE(p.data >= bytes(file) && p.data + p.size <= bytes(file) + file.size());
            joined.append(reinterpret_cast<const char*>(p.data), p.size);
        }
        EXPECT_TRUE(joined == wb) << reverse;
        ASSERT_EQ(cf.find_stream("Small", &e), xls::CFB_OK);
        ASSERT_EQ(cf.stream_pieces(e, pieces), xls::CFB_OK);
        ASSERT_EQ(pieces.size(), 1u);
        EXPECT_EQ(std::string(reinterpret_cast<const char*>(pieces[0].data), pieces[0].size), small);
        EXPECT_EQ(cf.stream_pieces(12345, pieces), xls::CFB_NOT_FOUND);
        EXPECT_TRUE(pieces.empty());
    }
}

TEST(ExtractWorkbookStream, ReportsFailures) {
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "none.xls", cfbt::build({{"Other", "abc"}})));
    ASSERT_TRUE(vt::write_file(dir / "text.xls", "this is not a compound document at all"));
    ASSERT_TRUE(vt::write_file(dir / "good.xls", cfbt::build({{"Workbook", "abc"}})));
    EXPECT_EQ(extract_workbook_stream((dir / "missing.xls").c_str(), (dir / "o1").c_str(), nullptr), -1);
    EXPECT_EQ(extract_workbook_stream((dir / "none.xls").c_str(), (dir / "o2").c_str(), nullptr), -1);
    EXPECT_EQ(extract_workbook_stream((dir / "text.xls").c_str(), (dir / "o3").c_str(), nullptr), -1);
    EXPECT_FALSE(vt::exists(dir / "o2"));
    EXPECT_EQ(extract_workbook_stream((dir / "good.xls").c_str(), (vt::join(dir / "no", "o4")).c_str(), nullptr),
              -101);
}

// Every .xls of the corpus: the stream is found and is a whole record
// sequence (a BOF first, an EOF record inside), or the file is refused.
TEST(CompoundFileCorpus, WorkbookStreamOfEveryXls) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    int read = 0;
    for (const std::string& path : vt::corpus_files({"xls"})) {
        std::string file = vt::read_file(path);
        std::string s;
        bool is_book = false;
        int rc = read_workbook(file, s, &is_book);
        if (rc != xls::CFB_OK) {
            EXPECT_TRUE(rc == xls::CFB_NOT_COMPOUND || rc == xls::CFB_CORRUPT) << path << " rc=" << rc;
            continue;
        }
        ++read;
        ASSERT_GE(s.size(), 4u) << path;
        auto u16 = [&](size_t o) {
            return static_cast<unsigned>(static_cast<unsigned char>(s[o]) | (static_cast<unsigned char>(s[o + 1]) << 8));
        };
        EXPECT_EQ(u16(0), 0x0809u) << path;
        bool eof = false;
        size_t pos = 0;
        while (pos + 4 <= s.size()) {
            unsigned type = u16(pos), len = u16(pos + 2);
            if (pos + 4 + len > s.size()) break;
            pos += 4 + len;
            if (type == 0x000A) eof = true;
        }
        EXPECT_TRUE(eof) << path;
    }
    EXPECT_GT(read, 50);
}

}  // namespace
