// The kind of a document read from standard input, told from its bytes
// alone: every document of the samples and the corpus shows its own family.
#include <gtest/gtest.h>

#include <algorithm>

#include "orb_file.h"
#include "standard_input.h"
#include "test_support.h"

namespace {

std::string extension_of(const std::string& path) {
    std::string ext = path.substr(path.find_last_of('.'));
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return std::tolower(c); });
    return ext;
}

// What the copy of standard input keeps: the first 64 KiB, the last 1 MiB.
std::string sniff(const std::string& bytes) {
    size_t tail = std::min(bytes.size(), size_t(1) << 20);
    return extension_from_content(std::string_view(bytes).substr(0, 64 << 10),
                                  std::string_view(bytes).substr(bytes.size() - tail));
}

}  // namespace

TEST(StandardInput, KindFromTheBytesOfEveryDocument) {
    std::vector<std::string> docs = vt::corpus_files({"xls", "xlsx", "xlsm", "xlsb", "docx", "docm", "doc", "pptx",
                                                      "pptm", "ppt"});
    for (const char* s : {"budget_v1.xlsx", "report_v1.docx"})
        docs.push_back(vt::join(vt::join(vt::source_dir(), "samples"), s));
    int checked = 0;
    for (const std::string& d : docs) {
        if (d.find("bad_") != std::string::npos || d.find("too_small") != std::string::npos) continue;
        std::string bytes = vt::read_file(d);
        std::string ext = extension_of(d), got = sniff(bytes);
        int kind = -1;
        orb_file_type(ORB_SOURCE_DISK, d.c_str(), &kind);
        bool encrypted = bytes.find(std::string("E\0n\0c\0r\0y\0p\0t\0e\0d\0P\0", 20)) != std::string::npos;
        if (kind == ORB_KIND_XLSX_LOCKED || kind == ORB_KIND_DOCX_LOCKED || kind == ORB_KIND_PPTX_LOCKED ||
            encrypted) {
            // An encrypted package tells no family; it is refused as locked.
            EXPECT_EQ(got, ".xlsx") << d;
        } else if (ext == ".xls" || ext == ".doc" || ext == ".ppt" || ext == ".xlsb") {
            // (Not every file of these names is a compound document or
            // holds its stream: a bare BIFF4 stream, a damaged one.)
            if (!got.empty()) {
                EXPECT_EQ(got, ext) << d;
            }
        } else {
            // The family; a macro document without macros reads the same.
            EXPECT_EQ(got.substr(0, 4), ext.substr(0, 4)) << d;
            if (got != ext) {
                EXPECT_EQ(ext.back(), 'm') << d;
            }
        }
        ++checked;
    }
    EXPECT_GE(checked, 2);
    // Bytes of no known kind.
    EXPECT_EQ(extension_from_content("hello", "hello"), "");
    EXPECT_EQ(extension_from_content("", ""), "");
    EXPECT_EQ(extension_from_content(std::string("PK\x03\x04", 4) + "media/a.png", ""), "");
}
