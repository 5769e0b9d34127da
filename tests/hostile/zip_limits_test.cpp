// Packages that would inflate beyond what the machine can hold are refused
// with the memory code before the bytes are produced, and nothing of them is
// kept; honest packages within the bounds unpack as before.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <string>

#include "hostile_support.h"
#include "mfile.h"
#include "ofx.h"
#include "orb_zip.h"
#include "platform.h"
#include "tabx.h"
#include "test_support.h"

namespace {

// Writes a package into the memory file "bomb.zip" as it is built.
void memory_package(const std::function<void(ht::zip_writer&)>& build) {
    Mfile* f = mopen("bomb.zip", "wb");
    ASSERT_NE(f, nullptr);
    ht::zip_writer z([&](const char* p, size_t n) { mwrite(p, n, 1, f); });
    build(z);
    mclose(f);
}

// Unpacks "bomb.zip" from memory; the member count in *count.
int unpack(int* count) {
    char** table = nullptr;
    int capacity = 0;
    EXPECT_EQ(orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP), 0);
    *count = capacity;
    orb_zip_on_memory(0);
    int rc = orb_unzip_package(ORB_UNZIP_MEMORY, "bomb.zip", "", count, table);
    orb_zip_on_memory(1);
    orb_free_slots(table, capacity);
    return rc;
}

struct ZipLimits : ::testing::Test {
    void TearDown() override {
        orb_zip_set_limits(0, 0);
        mcloseall();
    }
};

TEST_F(ZipLimits, TwentyGigabytesDeclaredInASmallFileAreRefusedBeforeInflating) {
    // Five members each claiming nearly 4 GiB: 20 GB in about 1 KB.
    uint64_t size = 0;
    memory_package([&](ht::zip_writer& z) {
        for (int i = 0; i < 5; ++i) z.claims("big" + std::to_string(i) + ".xml", 0xFFFFFFF0u);
        z.finish();
        size = z.written();
    });
    EXPECT_LT(size, 4096u);
    int count = -1;
    EXPECT_EQ(unpack(&count), -2);
    EXPECT_TRUE(orb_zip_over_budget());
    EXPECT_EQ(count, 0);
    EXPECT_EQ(msize("big0.xml"), 0);  // nothing was inflated
}

TEST_F(ZipLimits, RealInflationBeyondTheBudgetIsRefused) {
    // 64 MiB of zeros really inflate from about 64 KB (1000:1); the budget
    // is lowered so that the test need not produce gigabytes.
    orb_zip_set_limits(32 << 20, 0);
    uint64_t size = 0;
    memory_package([&](ht::zip_writer& z) {
        z.zeros("a.xml", 24u << 20);
        z.zeros("b.xml", 24u << 20);
        z.finish();
        size = z.written();
    });
    EXPECT_LT(size, 200000u);
    int count = -1;
    EXPECT_EQ(unpack(&count), -2);
    EXPECT_TRUE(orb_zip_over_budget());
    EXPECT_EQ(msize("b.xml"), 0);
}

TEST_F(ZipLimits, OneMemberBeyondTheMemberLimitIsRefused) {
    orb_zip_set_limits(0, 1 << 20);
    memory_package([&](ht::zip_writer& z) {
        z.stored("small.xml", "<a/>");
        z.zeros("large.xml", 2u << 20);
        z.finish();
    });
    int count = -1;
    EXPECT_EQ(unpack(&count), -2);
    EXPECT_EQ(msize("large.xml"), 0);
}

TEST_F(ZipLimits, AnUnderstatedMemberYieldsNoMoreThanItDeclares) {
    // The directory says 1000 bytes; the data inflates to 8 MiB.  The
    // unpacking stops at the declared size and the check of the member's
    // CRC fails, so the lie costs nothing.
    memory_package([&](ht::zip_writer& z) {
        z.zeros("liar.xml", 8u << 20, 1000);
        z.finish();
    });
    int count = -1;
    int rc = unpack(&count);
    EXPECT_NE(rc, 0);
    EXPECT_LE(msize("liar.xml"), 1000);
    EXPECT_FALSE(orb_zip_over_budget());
}

TEST_F(ZipLimits, PackagesWithinTheBoundsUnpackWhole) {
    orb_zip_set_limits(32 << 20, 16 << 20);
    memory_package([&](ht::zip_writer& z) {
        z.zeros("a.xml", 12u << 20);
        z.zeros("b.xml", 12u << 20);
        z.finish();
    });
    int count = -1;
    EXPECT_EQ(unpack(&count), 0);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(msize("a.xml"), 12 << 20);
    EXPECT_EQ(msize("b.xml"), 12 << 20);
    EXPECT_FALSE(orb_zip_over_budget());
}

TEST_F(ZipLimits, AWorkbookBombIsReportedAsMemoryAndNotRetriedOnDisk) {
    vt::scratch_dir temp;
    std::string saved;
    bool had = plat_getenv("TEMP", saved);
    plat_setenv("TEMP", temp.path().c_str());
    std::string path = temp / "bomb.xlsx";
    {
        plat_file* f = plat_open(path.c_str(), PLAT_WRITE);
        ASSERT_NE(f, nullptr);
        ht::zip_writer z([&](const char* p, size_t n) { plat_write(f, p, n); });
        ht::workbook_members(z, "<worksheet><sheetData/></worksheet>", "<sheet name=\"S\" r:id=\"rId1\"/>");
        for (int i = 2; i < 7; ++i) z.claims("xl/worksheets/sheet" + std::to_string(i) + ".xml", 0xFFFFFFF0u);
        z.finish();
        plat_close(f);
    }
    XLS_BOOK book;
    std::string args = "EXCEL=\"" + path + "\" MODE=UNLOAD";
    EXPECT_EQ(TABX_open_book(&book, args.c_str()), -2);
    EXPECT_NE(std::strstr(book.error_info, "TABX-00002"), nullptr);
    TABX_close_book(&book, "DESTROY");
    // The reader's disk fallback folder was not made.
    std::vector<plat_dirent> entries;
    plat_list_dir(temp.path().c_str(), entries);
    for (const plat_dirent& e : entries) EXPECT_EQ(e.name.find("QZtemp"), std::string::npos) << e.name;
    plat_setenv("TEMP", had ? saved.c_str() : nullptr);
}

// Members that hold no text are never inflated: media claiming gigabytes
// cost a Word document nothing; the same claims on a text part still end
// the dump with the memory code.
TEST_F(ZipLimits, ADocumentBombEndsTheWordDumpWithTheMemoryCode) {
    struct {
        const char* claimed;  // the members that claim 4 GiB each
        int rc;
    } cases[] = {{"word/media/image%d.bin", 0}, {"word/header%d.xml", -2}};
    for (const auto& c : cases) {
        vt::scratch_dir dir;
        std::string path = dir / "bomb.docx";
        {
            plat_file* f = plat_open(path.c_str(), PLAT_WRITE);
            ASSERT_NE(f, nullptr);
            ht::zip_writer z([&](const char* p, size_t n) { plat_write(f, p, n); });
            z.stored("word/document.xml", "<w:document><w:body><w:p><w:r><w:t>kept</w:t></w:r></w:p></w:body></w:document>");
            for (int i = 0; i < 5; ++i) {
                char name[64];
                std::snprintf(name, sizeof name, c.claimed, i);
                z.claims(name, 0xFFFFFFF0u);
            }
            z.finish();
            plat_close(f);
        }
        OFX_CONTEXT ctx;
        ASSERT_EQ(ofx_init(&ctx), 0);
        std::snprintf(ctx.input_path, sizeof ctx.input_path, "%s", path.c_str());
        std::snprintf(ctx.output_folder, sizeof ctx.output_folder, "%s", (dir / "out").c_str());
        plat_make_dir(ctx.output_folder);
        ctx.skip_shapes = true;
        EXPECT_EQ(ofx_docx_pptx(&ctx), c.rc) << c.claimed;
        ofx_term(&ctx);
        if (c.rc == 0) {
            EXPECT_EQ(vt::read_file(vt::join(dir / "out", plat_native_from_utf8("ページ001"))), "kept\r\n");
        }
    }
}

}  // namespace
