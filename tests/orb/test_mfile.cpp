// Memory files.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "mfile.h"
#include "test_support.h"

namespace {

struct MfileTest : ::testing::Test {
    void SetUp() override { mcloseall(); }
    void TearDown() override { mcloseall(); }
};

TEST_F(MfileTest, WriteCloseReopenRead) {
    Mfile* f = mopen("word/document.xml", "wb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(mwrite("abcdefghijklmnopqrstuvwxyz", 2, 13, f), 13u) << "the item count comes back";
    EXPECT_EQ(f->size, 26);
    mclose(f);
    EXPECT_EQ(f->status, MFILE_CLOSED);
    Mfile* r = mopen("word/document.xml", "rb");
    ASSERT_EQ(r, f) << "the same record, content kept";
    char buf[32] = {};
    // Item size 4, count 3, ten bytes before the end: ten BYTES come back.
    ASSERT_EQ(mseek(r, -10, 2), 0);
    EXPECT_EQ(mread(buf, 4, 3, r), 10u);
    EXPECT_STREQ(buf, "qrstuvwxyz");
    EXPECT_EQ(mread(buf, 1, 1, r), 0u);
    EXPECT_EQ(meof(r), -1);
    EXPECT_EQ(msize("word/document.xml"), 26);
    EXPECT_EQ(msize("other"), 0);
}

TEST_F(MfileTest, WbOnAnExistingNameEmptiesIt) {
    Mfile* f = mopen("a", "wb");
    mwrite("hello", 1, 5, f);
    mclose(f);
    Mfile* g = mopen("a", "wb");
    EXPECT_EQ(g, f);
    EXPECT_EQ(g->size, 0);
    EXPECT_EQ(g->position, 0);
    EXPECT_EQ(mcount(), 1);
}

TEST_F(MfileTest, NamesAndModesRefusedWithoutMessage) {
    std::string long_name(257, 'n');
    EXPECT_EQ(mopen(long_name.c_str(), "wb"), nullptr);
    EXPECT_STREQ(merror(), "");
    EXPECT_NE(mopen(std::string(256, 'n').c_str(), "wb"), nullptr);
    EXPECT_EQ(mopen("", "wb"), nullptr);
    EXPECT_EQ(mopen("x", "r"), nullptr);
    EXPECT_EQ(mopen("x", "w+"), nullptr);
}

TEST_F(MfileTest, RbLoadsADiskFileOrFailsWithMessage) {
    vt::scratch_dir dir;
    std::string p = dir / "disk.bin";
    std::string content("a\r\nb\0c", 6);
    ASSERT_TRUE(vt::write_file(p, content));
    Mfile* f = mopen(p.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->size, 6);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(f->data), 6), content) << "no newline translation";
    EXPECT_EQ(mopen((dir / "missing").c_str(), "rb"), nullptr);
    EXPECT_STREQ(merror(), "mopen() aod_fsze() rc=-101");
}

TEST_F(MfileTest, SeekAndTellStayWithinCapacity) {
    Mfile* f = mopen("s", "wb");
    mwrite("12345", 1, 5, f);
    EXPECT_EQ(mseek(f, 2, 0), 0);
    EXPECT_EQ(mtell(f), 2);
    EXPECT_EQ(mseek(f, 1, 1), 0);
    EXPECT_EQ(mtell(f), 3);
    EXPECT_EQ(mseek(f, -1, 0), -1);
    EXPECT_EQ(mtell(f), 3) << "a refused seek leaves the position";
    EXPECT_EQ(mseek(f, f->capacity + 1, 0), -1);
    EXPECT_EQ(mseek(f, 0, 3), -1);
    // Writing past the end after a seek inside the capacity grows the size.
    ASSERT_EQ(mseek(f, 10, 0), 0);
    mwrite("x", 1, 1, f);
    EXPECT_EQ(f->size, 11);
}

TEST_F(MfileTest, GrowthKeepsContentAcrossManyWrites) {
    Mfile* f = mopen("big", "wb");
    std::string expect;
    for (int i = 0; i < 5000; ++i) {
        std::string piece = std::to_string(i) + ",";
        ASSERT_EQ(mwrite(piece.data(), 1, piece.size(), f), piece.size());
        expect += piece;
    }
    // One large write that is far beyond the current step.
    std::string block(3 * 1024 * 1024, 'q');
    ASSERT_EQ(mwrite(block.data(), block.size(), 1, f), 1u);
    expect += block;
    ASSERT_EQ(f->size, static_cast<int64_t>(expect.size()));
    EXPECT_GE(f->capacity, f->size);
    EXPECT_EQ(std::memcmp(f->data, expect.data(), expect.size()), 0);
}

TEST_F(MfileTest, RemoveFreeAndList) {
    mclose(mopen("one", "wb"));
    Mfile* two = mopen("two", "wb");
    mwrite("22", 1, 2, two);
    mclose(two);
    mclose(mopen("three", "wb"));
    EXPECT_EQ(mremove("one"), 0);
    std::vector<std::string> names;
    mlist(names);
    EXPECT_EQ(names, (std::vector<std::string>{"two", "three"}));
    EXPECT_EQ(mcount(), 3) << "a removed record keeps its slot";
    EXPECT_EQ(mopen("one", "rb"), nullptr) << "removed records are skipped; no disk file of that name";
    EXPECT_EQ(mfree("two"), 0);
    EXPECT_EQ(msize("two"), 0);
    EXPECT_EQ(mremove("missing"), -1);
}

TEST_F(MfileTest, CopySetsTheTableAsideAndBack) {
    Mfile* f = mopen("kept", "wb");
    mwrite("data", 1, 4, f);
    mclose(f);
    EXPECT_EQ(mcopy(0), 0);
    EXPECT_EQ(mcount(), 0);
    EXPECT_EQ(msize("kept"), 0);
    mclose(mopen("temporary", "wb"));
    EXPECT_EQ(mcopy(1), 0);
    EXPECT_EQ(mcount(), 1);
    EXPECT_EQ(msize("kept"), 4);
    EXPECT_EQ(msize("temporary"), 0);
}

TEST_F(MfileTest, TableLimitIsEnforced) {
    for (int i = 0; i < MFILE_MAX_OPEN_FILES; ++i) {
        ASSERT_NE(mopen(std::to_string(i).c_str(), "wb"), nullptr) << i;
    }
    EXPECT_EQ(mopen("one more", "wb"), nullptr);
    EXPECT_STREQ(merror(), "mopen() Mfile_ct >= MFILE_MAX_OPEN_FILES");
    EXPECT_NE(mopen("5", "wb"), nullptr) << "an existing name is reused, not added";
}

}  // namespace
