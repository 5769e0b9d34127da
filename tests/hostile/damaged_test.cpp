// Damaged containers end with an error code, never a crash or a hang: sector
// chains that loop, a directory that points at itself, a zip whose central
// directory lies, a member with a wrong CRC, and real documents cut at every
// 512-byte boundary.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "cfb.h"
#include "hostile_support.h"
#include "mfile.h"
#include "ofx.h"
#include "orb_file.h"
#include "orb_zip.h"
#include "platform.h"
#include "tabx.h"
#include "test_support.h"

namespace {

std::string small_stream() {
    std::string cell;
    ht::put16(cell, 0);
    ht::put16(cell, 0);
    ht::put16(cell, 0);
    cell += std::string("\0\0\0\0\0\0\xF8\x3F", 8);  // 1.5
    return ht::biff_workbook("", ht::record(0x0203, cell));
}

void set32(std::string& s, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

// Byte offsets in compound_workbook's layout.
constexpr size_t FAT = 512, DIR = 1024;

int open_cfb(const std::string& doc, std::vector<unsigned char>& stream) {
    return xls::cfb_workbook_stream(reinterpret_cast<const unsigned char*>(doc.data()), doc.size(), stream, nullptr);
}

// TABX_open_book on a legacy document written to disk.
int open_xls(const vt::scratch_dir& dir, const std::string& bytes, std::string* message = nullptr) {
    std::string path = dir / "damaged.xls";
    EXPECT_TRUE(vt::write_file(path, bytes));
    XLS_BOOK book;
    std::string args = "EXCEL=\"" + path + "\" MODE=UNLOAD";
    int rc = TABX_open_book(&book, args.c_str());
    if (rc == 0) {
        char text[TABX_CELL_TEXT_BUF];
        for (int s = 0; s < TABX_sheet_num(&book); ++s) {
            TABX_open_sheet2(&book, s);
            for (int r = 0; r < TABX_row_num(&book) && r < 70000; ++r) {
                for (int c = 0; c < TABX_column_num(&book, r); ++c) {
                    char name[16];
                    TABX_cell_name(r + 1, c + 1, name);
                    TABX_get_cell(&book, name, text, sizeof text, nullptr, 0);
                }
            }
        }
    }
    if (message) *message = book.error_info;
    TABX_close_book(&book, "DESTROY");
    return rc;
}

// The smallest few corpus files of the extensions, below a size bound so
// that every cut stays cheap.
std::vector<std::string> small_corpus(const std::vector<std::string>& exts, size_t how_many) {
    std::vector<std::pair<int64_t, std::string>> sized;
    for (const std::string& p : vt::corpus_files(exts)) {
        int64_t size = 0;
        if (plat_file_size(p.c_str(), &size) == 0 && size >= 2048 && size <= 65536) sized.push_back({size, p});
    }
    std::sort(sized.begin(), sized.end());
    std::vector<std::string> out;
    for (size_t i = 0; i < sized.size() && out.size() < how_many; i += 1 + sized.size() / (how_many + 1))
        out.push_back(sized[i].second);
    return out;
}

TEST(DamagedCompound, TheIntactBuilderDocumentReads) {
    std::vector<unsigned char> stream;
    EXPECT_EQ(open_cfb(ht::compound_workbook(small_stream()), stream), xls::CFB_OK);
    vt::scratch_dir dir;
    EXPECT_EQ(open_xls(dir, ht::compound_workbook(small_stream())), 0);
}

TEST(DamagedCompound, AStreamChainThatLoopsIsCorrupt) {
    std::string doc = ht::compound_workbook(small_stream());
    set32(doc, FAT + 4 * 4, 3);  // sector 4 leads back to sector 3
    std::vector<unsigned char> stream;
    EXPECT_EQ(open_cfb(doc, stream), xls::CFB_CORRUPT);
    vt::scratch_dir dir;
    EXPECT_EQ(open_xls(dir, doc), -1);  // damaged, not protected
}

TEST(DamagedCompound, AChainThatPointsAtItselfIsCorrupt) {
    std::string doc = ht::compound_workbook(small_stream());
    set32(doc, FAT + 2 * 4, 2);
    std::vector<unsigned char> stream;
    EXPECT_EQ(open_cfb(doc, stream), xls::CFB_CORRUPT);
}

TEST(DamagedCompound, ADirectoryWhoseChainLoopsIsRefused) {
    std::string doc = ht::compound_workbook(small_stream());
    set32(doc, FAT + 1 * 4, 1);  // the directory sector is its own successor
    std::vector<unsigned char> stream;
    EXPECT_NE(open_cfb(doc, stream), xls::CFB_OK);
    vt::scratch_dir dir;
    EXPECT_NE(open_xls(dir, doc), 0);
}

TEST(DamagedCompound, ADirectoryEntryThatPointsAtItselfEndsTheSearch) {
    for (size_t field : {size_t{68}, size_t{72}, size_t{76}}) {  // left, right, child
        std::string doc = ht::compound_workbook(small_stream());
        set32(doc, DIR + 128 + field, 1);  // the stream entry names itself
        set32(doc, DIR + field, 0);        // the root names itself too
        std::vector<unsigned char> stream;
        int rc = open_cfb(doc, stream);
        EXPECT_TRUE(rc == xls::CFB_OK || rc == xls::CFB_CORRUPT || rc == xls::CFB_NOT_FOUND) << rc;
    }
}

TEST(DamagedCompound, SectorNumbersBeyondTheFileAreCorrupt) {
    std::string doc = ht::compound_workbook(small_stream());
    set32(doc, FAT + 3 * 4, 0x7FFFFFF0);
    std::vector<unsigned char> stream;
    EXPECT_EQ(open_cfb(doc, stream), xls::CFB_CORRUPT);
    doc = ht::compound_workbook(small_stream());
    set32(doc, 0x4C, 0xFFFFFF00);  // the only FAT sector lies far beyond
    EXPECT_NE(open_cfb(doc, stream), xls::CFB_OK);
    doc = ht::compound_workbook(small_stream());
    set32(doc, DIR + 128 + 120, 0xFFFFFFF0);  // the stream declares 4 GiB
    EXPECT_EQ(open_cfb(doc, stream), xls::CFB_CORRUPT);
}

// ---------------------------------------------------------------------------
// Zip packages
// ---------------------------------------------------------------------------

int unpack_memory(const std::string& bytes, int* count) {
    ht::put_memory_file("damaged.zip", bytes);
    char** table = nullptr;
    int capacity = 0;
    orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP);
    *count = capacity;
    orb_zip_on_memory(0);
    int rc = orb_unzip_package(ORB_UNZIP_MEMORY, "damaged.zip", "", count, table);
    orb_zip_on_memory(1);
    orb_free_slots(table, capacity);
    mcloseall();
    return rc;
}

TEST(DamagedZip, AMemberWithAWrongCrcFails) {
    std::string bytes = ht::zip_bytes([](ht::zip_writer& z) {
        z.stored("a.xml", "<a/>");
        z.stored("b.xml", "<b>text</b>", ~uint64_t{0}, 0x1234);
        z.finish();
    });
    int count = 0;
    EXPECT_EQ(unpack_memory(bytes, &count), -105);  // UNZ_CRCERROR
}

TEST(DamagedZip, ACentralDirectoryThatLiesIsAnError) {
    // More entries than it holds: the walk ends at the last real one.
    std::string more = ht::zip_bytes([](ht::zip_writer& z) {
        z.stored("a.xml", "<a/>");
        z.finish(40);
    });
    int count = 0;
    int rc = unpack_memory(more, &count);
    EXPECT_LE(count, 1);
    // An offset that points into the members.
    for (int shift : {-1, -30, 7, 1 << 20}) {
        std::string off = ht::zip_bytes([&](ht::zip_writer& z) {
            z.stored("a.xml", "<a/>");
            z.stored("b.xml", "<b/>");
            z.finish(-1, shift);
        });
        rc = unpack_memory(off, &count);
        EXPECT_NE(rc, 0) << shift;
    }
    // A declared size that differs from the stored data.
    std::string sizes = ht::zip_bytes([](ht::zip_writer& z) {
        z.stored("a.xml", "<a>0123456789</a>", 5000);
        z.finish();
    });
    EXPECT_NE(unpack_memory(sizes, &count), 0);
}

// Byte offsets of the central directory's entries ("PK\1\2") and of its
// end record ("PK\5\6") in a package built here.
std::vector<size_t> signatures(const std::string& bytes, const char* sig) {
    std::vector<size_t> at;
    for (size_t p = bytes.find(sig, 0, 4); p != std::string::npos; p = bytes.find(sig, p + 1, 4)) at.push_back(p);
    return at;
}

// A directory that breaks off after some entries, or an end record that
// counts fewer entries than the directory holds, refuses the whole package
// before anything is written: the entries before the break are not taken
// for the whole document.
TEST(DamagedZip, ADirectoryThatBreaksOffRefusesThePackage) {
    const std::string whole = ht::zip_bytes([](ht::zip_writer& z) {
        for (int i = 0; i < 6; ++i) z.stored("m" + std::to_string(i) + ".xml", "<m>" + std::to_string(i) + "</m>");
        z.finish();
    });
    const std::vector<size_t> entry = signatures(whole, "PK\x01\x02");
    const size_t end = signatures(whole, "PK\x05\x06").back();
    ASSERT_EQ(entry.size(), 6u);
    struct {
        const char* what;
        size_t at;
        std::string bytes;
    } cases[] = {
        {"entry 2's signature", entry[2], "XXXX"},
        {"entry 5's signature", entry[5], std::string(4, '\0')},
        {"entry 1's name length", entry[1] + 28, "\x40"},
        {"entry 3's extra length", entry[3] + 30, "\x07"},
        {"entry 1 onwards zeroed", entry[1], std::string(end - entry[1], '\0')},
        {"the end record counts 3 entries", end + 8, std::string("\x03\x00\x03\x00", 4)},
        {"the end record counts none", end + 8, std::string(4, '\0')},
    };
    for (const auto& c : cases) {
        std::string bytes = whole;
        bytes.replace(c.at, c.bytes.size(), c.bytes);
        ht::put_memory_file("broken.zip", bytes);
        char** table = nullptr;
        int capacity = 0;
        ASSERT_EQ(orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP), 0);
        int count = capacity;
        orb_zip_on_memory(0);
        EXPECT_EQ(orb_unzip_package(ORB_UNZIP_MEMORY, "broken.zip", "", &count, table), ORB_ZIP_BAD_DIRECTORY)
            << c.what;
        orb_zip_on_memory(1);
        EXPECT_EQ(count, 0) << c.what;
        EXPECT_EQ(mcount(), 1) << c.what << ": only the package itself is in memory";
        orb_free_slots(table, capacity);
        mcloseall();
    }
    int count = 0;
    EXPECT_EQ(unpack_memory(whole, &count), 0);
}

// Real documents whose directory breaks after each of its entries in turn:
// every reader refuses them (the library with its message, the Word and
// PowerPoint dump with the directory's code).
TEST(DamagedZip, CorpusDocumentsWithABrokenDirectoryAreRefused) {
    std::vector<std::string> files = small_corpus({"xlsx", "docx", "pptx"}, 6);
    if (files.empty()) GTEST_SKIP() << "no corpus";
    vt::scratch_dir dir;
    for (const std::string& file : files) {
        const std::string whole = vt::read_file(file);
        const std::string ext = file.substr(file.size() - 5);
        const std::vector<size_t> entry = signatures(whole, "PK\x01\x02");
        for (size_t k = 1; k < entry.size(); ++k) {
            std::string bytes = whole;
            bytes.replace(entry[k], 4, "PK\x09\x09");
            std::string path = dir / ("broken" + ext);
            ASSERT_TRUE(vt::write_file(path, bytes));
            int rc = 0;
            if (ext == ".xlsx") {
                XLS_BOOK book;
                std::string args = "EXCEL=\"" + path + "\" MODE=UNLOAD";
                rc = TABX_open_book(&book, args.c_str());
                EXPECT_NE(std::strstr(book.error_info, "rc=-110"), nullptr) << file << " entry " << k;
                TABX_close_book(&book, "DESTROY");
            } else {
                OFX_CONTEXT ctx;
                ASSERT_EQ(ofx_init(&ctx), 0);
                std::snprintf(ctx.input_path, sizeof ctx.input_path, "%s", path.c_str());
                std::snprintf(ctx.output_folder, sizeof ctx.output_folder, "%s", (dir / "out").c_str());
                plat_make_dir(ctx.output_folder);
                rc = ext == ".docx" ? ofx_docx_pptx(&ctx) : ofx_read_pptx(&ctx);
                ofx_term(&ctx);
                EXPECT_EQ(rc, ORB_ZIP_BAD_DIRECTORY) << file << " entry " << k;
                plat_remove_tree(ctx.output_folder);
                mcloseall();
            }
            EXPECT_NE(rc, 0) << file << " entry " << k;
        }
    }
}

TEST(DamagedZip, AWorkbookWithALyingDirectoryIsRefusedByTheLibrary) {
    std::string bytes = ht::zip_bytes([](ht::zip_writer& z) {
        ht::workbook_members(z, "<worksheet><sheetData/></worksheet>", "<sheet name=\"S\" r:id=\"rId1\"/>");
        z.finish(-1, -9);
    });
    ht::put_memory_file("lying.xlsx", bytes);
    XLS_BOOK book;
    EXPECT_NE(TABX_open_book(&book, "EXCEL=\"lying.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE"), 0);
    EXPECT_GT(std::strlen(book.error_info), 0u);
    TABX_close_book(&book, "DESTROY");
}

TEST(DamagedZip, AMemberNameBeyondTheLimitEndsTheLoadWithItsCode) {
    // Found by fuzzing: the reader took this -9 for a full name table and
    // unpacked the package again a hundred times with ever larger tables.
    std::string bytes = ht::zip_bytes([](ht::zip_writer& z) {
        ht::workbook_members(z, "<worksheet><sheetData/></worksheet>", "<sheet name=\"S\" r:id=\"rId1\"/>");
        z.stored("xl/" + std::string(300, 'n') + ".xml", "<a/>");
        z.finish();
    });
    int count = 0;
    EXPECT_EQ(unpack_memory(bytes, &count), -9);
    ht::put_memory_file("longname.xlsx", bytes);
    XLS_BOOK book;
    EXPECT_EQ(TABX_open_book(&book, "EXCEL=\"longname.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE"), -1);
    EXPECT_NE(std::strstr(book.error_info, "rc=-9"), nullptr) << book.error_info;
    TABX_close_book(&book, "DESTROY");
}

TEST(DamagedZip, ADeclaredMemberCountBeyondTheTableIsReportedForOneGrowth) {
    std::string bytes = ht::zip_bytes([](ht::zip_writer& z) {
        z.stored("a.xml", "<a/>");
        z.finish(5000);
    });
    ht::put_memory_file("many.zip", bytes);
    char** table = nullptr;
    int capacity = 0;
    ASSERT_EQ(orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP), 0);
    int count = capacity;
    orb_zip_on_memory(0);
    EXPECT_EQ(orb_unzip_package(ORB_UNZIP_MEMORY, "many.zip", "", &count, table), -9);
    orb_zip_on_memory(1);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(orb_zip_declared_members(), 5000);
    orb_free_slots(table, capacity);
    mcloseall();
}

// ---------------------------------------------------------------------------
// Truncations of real documents
// ---------------------------------------------------------------------------

// Real legacy workbooks whose records, one after the other, claim a length
// that runs past the end of the workbook stream: each is refused with the
// library's read-error message, never read in part.
TEST(Truncated, LegacyRecordsThatRunPastTheStreamAreRefused) {
    auto files = small_corpus({"xls"}, 4);
    if (files.empty()) GTEST_SKIP() << "no corpus";
    vt::scratch_dir dir;
    int refused = 0;
    for (const std::string& file : files) {
        const std::string doc = vt::read_file(file);
        std::vector<unsigned char> stream;
        if (xls::cfb_workbook_stream(reinterpret_cast<const unsigned char*>(doc.data()), doc.size(), stream,
                                     nullptr) != xls::CFB_OK)
            continue;
        ASSERT_TRUE(vt::write_file(dir / "doc.xls", doc));
        size_t at = 0, step = 0;
        while (at + 4 <= stream.size()) {
            size_t len = stream[at + 2] | stream[at + 3] << 8;
            size_t left = stream.size() - at - 4;
            if (left < 0xFFFF && (step++ % 7 == 0 || stream[at] == 0x0A)) {  // every 7th, and every EOF
                std::vector<unsigned char> bad = stream;
                bad[at + 2] = bad[at + 3] = 0xFF;
                ASSERT_TRUE(vt::write_file(dir / "image.tmp", std::string(bad.begin(), bad.end())));
                XLS_BOOK book;
                std::string args = "EXCEL=\"" + (dir / "doc.xls") + "\" MODE=UNLOAD TEMP_WORKBOOK_PATH=\"" +
                                   (dir / "image.tmp") + "\"";
                EXPECT_EQ(TABX_open_book(&book, args.c_str()), -1) << file << " record at " << at;
                EXPECT_NE(std::strstr(book.error_info, "TABX-03110"), nullptr) << file << " record at " << at;
                TABX_close_book(&book, "DESTROY");
                ++refused;
            }
            if (left < len) break;
            at += 4 + len;
        }
    }
    EXPECT_GT(refused, 0);
}

TEST(Truncated, LegacyWorkbooksCutAtEverySectorEndInACodeOrAPartialBook) {
    auto files = small_corpus({"xls"}, 3);
    if (files.empty()) GTEST_SKIP() << "no corpus";
    vt::scratch_dir dir;
    for (const std::string& file : files) {
        std::string bytes = vt::read_file(file);
        for (size_t cut = 512; cut < bytes.size(); cut += 512) {
            std::string message;
            int rc = open_xls(dir, bytes.substr(0, cut), &message);
            // A cut file is damaged, never taken for a protected one (-910).
            EXPECT_TRUE(rc == 0 || rc == -1 || rc == -4 || rc == -101)
                << file << " cut at " << cut << " rc " << rc;
            if (rc != 0) {
                EXPECT_FALSE(message.empty()) << file << " cut at " << cut << " rc " << rc;
            }
        }
    }
}

TEST(Truncated, OpenXmlWorkbooksCutAtEverySectorEndFailWithACode) {
    auto files = small_corpus({"xlsx", "xlsm"}, 3);
    if (files.empty()) GTEST_SKIP() << "no corpus";
    for (const std::string& file : files) {
        std::string bytes = vt::read_file(file);
        for (size_t cut = 512; cut < bytes.size(); cut += 512) {
            ht::put_memory_file("cut.xlsx", bytes, cut);
            XLS_BOOK book;
            int rc = TABX_open_book(&book, "EXCEL=\"cut.xlsx\" MODE=UNLOAD READ_MEMORY=TRUE");
            // The end of central directory lies at the very end: any cut
            // loses it.
            EXPECT_NE(rc, 0) << file << " cut at " << cut;
            EXPECT_GT(std::strlen(book.error_info), 0u);
            TABX_close_book(&book, "DESTROY");
        }
    }
}

TEST(Truncated, WordAndPowerPointDocumentsCutAtEverySectorEndFailWithACode) {
    auto files = small_corpus({"docx"}, 2);
    auto slides = small_corpus({"pptx"}, 2);
    files.insert(files.end(), slides.begin(), slides.end());
    if (files.empty()) GTEST_SKIP() << "no corpus";
    vt::scratch_dir dir;
    for (const std::string& file : files) {
        std::string bytes = vt::read_file(file);
        bool word = file.size() > 5 && file.compare(file.size() - 5, 5, ".docx") == 0;
        for (size_t cut = 512; cut < bytes.size(); cut += 512) {
            std::string path = dir / (word ? "cut.docx" : "cut.pptx");
            ASSERT_TRUE(vt::write_file(path, bytes.substr(0, cut)));
            OFX_CONTEXT ctx;
            ASSERT_EQ(ofx_init(&ctx), 0);
            std::snprintf(ctx.input_path, sizeof ctx.input_path, "%s", path.c_str());
            std::snprintf(ctx.output_folder, sizeof ctx.output_folder, "%s", (dir / "out").c_str());
            plat_make_dir(ctx.output_folder);
            int rc = word ? ofx_docx_pptx(&ctx) : ofx_read_pptx(&ctx);
            ofx_term(&ctx);
            EXPECT_NE(rc, 0) << file << " cut at " << cut;
            plat_remove_tree(ctx.output_folder);
            mcloseall();
        }
    }
}

}  // namespace
