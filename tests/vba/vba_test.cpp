// VBA projects: the decompression of their streams, as tables of compressed
// containers (the published examples among them), and whole projects built
// here as compound files, read by the reader and through the library.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cfb_builder.h"
#include "tabx.h"
#include "test_support.h"
#include "vba_decompress.h"
#include "vba_project.h"

namespace {

std::string hex(const char* h) {
    std::string out;
    for (const char* p = h; p[0] && p[1];) {
        if (*p == ' ') {
            ++p;
            continue;
        }
        out.push_back(static_cast<char>(std::stoi(std::string(p, 2), nullptr, 16)));
        p += 2;
    }
    return out;
}

int decompress(const std::string& in, std::string& out, size_t limit = vba::MODULE_LIMIT) {
    return vba::decompress(reinterpret_cast<const unsigned char*>(in.data()), in.size(), limit, out);
}

// A container of literal tokens only (a raw chunk for each full 4096 bytes):
// a writer's simplest form, independent of the copy tokens.
std::string literal_container(const std::string& text) {
    std::string out(1, '\x01');
    for (size_t pos = 0; pos < text.size(); pos += 4096) {
        std::string chunk = text.substr(pos, 4096);
        std::string body;
        for (size_t i = 0; i < chunk.size(); i += 8) body += '\0' + chunk.substr(i, 8);
        unsigned header = chunk.size() == 4096 ? 0x3000u | 4095u : 0xB000u | static_cast<unsigned>(body.size() + 2 - 3);
        out += static_cast<char>(header & 0xFF);
        out += static_cast<char>(header >> 8);
        out += chunk.size() == 4096 ? chunk : body;
    }
    return out;
}

// n chunks, each 4096 "a": a literal and one copy token of 4095 bytes.
std::string runs_of_a(size_t n) {
    std::string out(1, '\x01');
    for (size_t i = 0; i < n; ++i) out += hex("03 B0 02 61 FC 0F");
    return out;
}

TEST(VbaDecompress, Containers) {
    struct {
        const char* what;
        std::string in;
        std::string out;
        int status;
    } cases[] = {
        // The published examples: literals only, and literals with copies.
        {"no compression", hex("01 19 B0 00 61 62 63 64 65 66 67 68 00 69 6A 6B 6C 6D 6E 6F 70 00 71 72 73 74 75 76 2E"),
         "abcdefghijklmnopqrstuv.", vba::DECOMPRESS_OK},
        {"normal compression",
         hex("01 2F B0 00 23 61 61 61 62 63 64 65 82 66 00 70 61 67 68 69 6A 01 38 08 61 6B 6C 00 20 6D 6E 6F 70 06 71 "
             "02 70 04 00 72 73 74 75 76 10 77 78 79 7A 00 2C"),
         "#aaabcdefaaaaghijaaaaaklaaamnopqaaaaaaaaaaaarstuvwxyzaaa", vba::DECOMPRESS_OK},
        {"a copy overlapping itself", hex("01 03 B0 02 61 0B 00"), std::string(15, 'a'), vba::DECOMPRESS_OK},
        {"a whole chunk in one copy, then a raw chunk", runs_of_a(1) + literal_container(std::string(4096, 'b')).substr(1),
         std::string(4096, 'a') + std::string(4096, 'b'), vba::DECOMPRESS_OK},
        {"empty container", hex("01"), "", vba::DECOMPRESS_OK},
        {"no signature", hex("02 19 B0 00 61"), "", vba::DECOMPRESS_BAD_SIGNATURE},
        {"nothing at all", "", "", vba::DECOMPRESS_BAD_SIGNATURE},
        {"chunk without its signature", hex("01 19 A0 00 61"), "", vba::DECOMPRESS_BAD_CHUNK},
        {"header cut short", hex("01 19"), "", vba::DECOMPRESS_BAD_CHUNK},
        {"copy before the chunk", hex("01 03 B0 01 00 00"), "", vba::DECOMPRESS_BAD_COPY},
        {"copy reaching too far back", hex("01 03 B0 02 61 00 10"), "a", vba::DECOMPRESS_BAD_COPY},
        {"copy past the chunk's 4096 bytes", hex("01 03 B0 02 61 FF 0F"), "a", vba::DECOMPRESS_BAD_CHUNK},
        {"copy token cut short", hex("01 03 B0 02 61 0B"), "a", vba::DECOMPRESS_BAD_CHUNK},
        {"raw chunk cut short", hex("01 FF 3F 61 62"), "", vba::DECOMPRESS_BAD_CHUNK},
    };
    for (const auto& c : cases) {
        std::string out;
        EXPECT_EQ(decompress(c.in, out), c.status) << c.what;
        EXPECT_TRUE(out == c.out) << c.what << ": " << out.size() << " bytes, not " << c.out.size();
    }
}

TEST(VbaDecompress, StopsAtTheLimitAndSaysSo) {
    std::string out;
    EXPECT_EQ(decompress(runs_of_a(3), out, 10000), vba::DECOMPRESS_TOO_LARGE);
    EXPECT_EQ(out.size(), 10000u);
    EXPECT_EQ(decompress(runs_of_a(3), out, 3 * 4096), vba::DECOMPRESS_OK);
    EXPECT_EQ(decompress(literal_container(std::string(5000, 'x')), out, 4096), vba::DECOMPRESS_TOO_LARGE);
    EXPECT_TRUE(out == std::string(4096, 'x')) << out.size();
}

// A dir stream record: id, size, data.
std::string rec(unsigned id, const std::string& data) {
    std::string r;
    r += static_cast<char>(id & 0xFF);
    r += static_cast<char>(id >> 8);
    for (int i = 0; i < 4; ++i) r += static_cast<char>((data.size() >> (8 * i)) & 0xFF);
    return r + data;
}
std::string u16s(unsigned v) { return std::string{static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)}; }
std::string u32s(uint32_t v) { return u16s(v & 0xFFFF) + u16s(v >> 16); }
std::string wide(const std::u16string& s) {
    std::string w;
    for (char16_t c : s) w += u16s(c);
    return w;
}

struct module_spec {
    std::string name;         // in the project's code page
    std::u16string unicode;   // its Unicode name, or empty
    std::string stream;       // ASCII
    bool procedural;
    std::string source;       // in the project's code page
    std::string cache = "performance cache";
};

// A vbaProject.bin (or, with a holder storage, a 97-2003 document holding
// one): dir stream, module streams after their performance caches, PROJECT.
std::string project_file(const std::vector<module_spec>& modules, const std::string& holder = "",
                         const std::vector<std::string>& skip_streams = {}) {
    std::string dir = rec(0x0001, u32s(1)) + rec(0x0002, u32s(0x411)) + rec(0x0014, u32s(0x411)) +
                      rec(0x0003, u16s(932)) + rec(0x0004, "VBAProject") + rec(0x0005, "") + rec(0x0040, "") +
                      rec(0x0006, "") + rec(0x003D, "") + rec(0x0007, u32s(0)) + rec(0x0008, u32s(0)) +
                      u16s(0x0009) + u32s(4) + u32s(1) + u16s(2) +  // the version: its size says 4, 6 bytes follow
                      rec(0x000C, "") + rec(0x003C, "") + rec(0x000D, u32s(4) + "stdo" + u32s(0) + u16s(0)) +
                      rec(0x000F, u16s(static_cast<unsigned>(modules.size()))) + rec(0x0013, u16s(0xFFFF));
    std::string project = "ID=\"{00000000-0000-0000-0000-000000000000}\"\r\n";
    std::vector<cfbt::stream> streams;
    const std::string at = holder.empty() ? "" : holder + "/";
    for (const module_spec& m : modules) {
        dir += rec(0x0019, m.name);
        if (!m.unicode.empty()) dir += rec(0x0047, wide(m.unicode));
        dir += rec(0x001A, m.stream) + rec(0x0032, wide(std::u16string(m.stream.begin(), m.stream.end()))) +
               rec(0x001C, "") + rec(0x0048, "") + rec(0x0031, u32s(static_cast<uint32_t>(m.cache.size()))) +
               rec(0x001E, u32s(0)) + rec(0x002C, u16s(0xFFFF)) + rec(m.procedural ? 0x0021 : 0x0022, "") +
               rec(0x002B, "");
        bool skip = false;
        for (const std::string& s : skip_streams) skip = skip || s == m.stream;
        if (!skip) streams.push_back({at + "VBA/" + m.stream, m.cache + m.source});
        if (m.procedural) {
            project += "Module=" + m.name + "\r\n";
        } else if (m.name == "ThisWorkbook" || m.name.rfind("Sheet", 0) == 0) {
            project += "Document=" + m.name + "/&H00000000\r\n";
        } else if (m.name.rfind("UserForm", 0) == 0) {
            project += "BaseClass=" + m.name + "\r\n";
        } else {
            project += "Class=" + m.name + "\r\n";
        }
    }
    dir += rec(0x0010, "");
    project += "Name=\"VBAProject\"\r\n\r\n[Host Extender Info]\r\n&H00000001={3832D640}\r\n";
    streams.push_back({at + "VBA/dir", literal_container(dir)});
    streams.push_back({at + "VBA/_VBA_PROJECT", std::string("\xCC\x61\xFF\xFF\x00\x00\x00", 7)});
    streams.push_back({at + "PROJECT", project});
    if (!holder.empty()) streams.insert(streams.begin(), {"Workbook", std::string(64, '\0')});
    return cfbt::build(streams);
}

const std::string kModule1 = "Attribute VB_Name = \"Module1\"\r\nSub Rate()\r\n    r = 0.08\r\nEnd Sub\r\n";

std::vector<module_spec> sample_modules() {
    std::vector<module_spec> m = {
        {"Module1", u"", "Module1", true, literal_container(kModule1)},
        {"ThisWorkbook", u"", "ThisWorkbook", false, literal_container("Attribute VB_Name = \"ThisWorkbook\"\r\n")},
        {"Class1", u"", "Class1", false, literal_container("Public Total As Long\r\n")},
        {"UserForm1", u"", "UserForm1", false, literal_container("Private Sub UserForm_Click()\r\nEnd Sub\r\n")},
        // A Japanese name and comment, in code page 932.
        {hex("8f578c76"), u"集計", "Module2", true, literal_container(hex("272090c597a682f095cf8d58") + "\r\n")},
    };
    return m;
}

TEST(VbaProject, ModulesWithTheirKindsAndText) {
    std::string file = project_file(sample_modules());
    vba::project p;
    std::string problem;
    ASSERT_EQ(vba::read_project(reinterpret_cast<const unsigned char*>(file.data()), file.size(), p, &problem),
              vba::PROJECT_OK) << problem;
    EXPECT_EQ(p.codepage, 932);
    EXPECT_EQ(p.name, "VBAProject");
    ASSERT_EQ(p.modules.size(), 5u);
    const std::pair<const char*, int> names[] = {{"Module1", vba::MODULE_STANDARD}, {"ThisWorkbook", vba::MODULE_DOCUMENT},
                                                 {"Class1", vba::MODULE_CLASS}, {"UserForm1", vba::MODULE_FORM},
                                                 {"集計", vba::MODULE_STANDARD}};
    for (size_t i = 0; i < 5; ++i) {
        EXPECT_EQ(p.modules[i].name, names[i].first);
        EXPECT_EQ(p.modules[i].kind, names[i].second) << names[i].first;
        EXPECT_EQ(p.modules[i].status, vba::MODULE_READ) << p.modules[i].problem;
    }
    EXPECT_EQ(p.modules[0].source, kModule1);
    EXPECT_EQ(p.modules[4].source, "' 税率を変更\r\n");
}

TEST(VbaProject, BrokenPartsAreReportedTheRestRead) {
    std::vector<module_spec> m = sample_modules();
    m[1].source = hex("01 03 B0 01 00 00");                   // a broken container
    m[2].cache = std::string(100, 'c');
    m[2].source = "";                                          // its offset past the stream's end
    m[2].cache.resize(10);
    std::string file = project_file(m, "", {"UserForm1"});     // a stream that is missing
    vba::project p;
    ASSERT_EQ(vba::read_project(reinterpret_cast<const unsigned char*>(file.data()), file.size(), p, nullptr),
              vba::PROJECT_OK);
    ASSERT_EQ(p.modules.size(), 5u);
    EXPECT_EQ(p.modules[0].status, vba::MODULE_READ);
    EXPECT_EQ(p.modules[1].status, vba::MODULE_BROKEN);
    EXPECT_EQ(p.modules[1].problem, "source: a copy token before its chunk");
    EXPECT_EQ(p.modules[3].status, vba::MODULE_BROKEN);
    EXPECT_EQ(p.modules[3].problem, "no module stream");

    // Whole projects that cannot be read, and documents without one.
    struct {
        const char* what;
        std::string file;
        int status;
        const char* problem;
    } cases[] = {
        {"not a compound file", "PK\x03\x04", vba::PROJECT_BROKEN, "compound file: Invalid Signature"},
        {"no project", cfbt::build({{"Workbook", std::string(64, '\0')}}), vba::PROJECT_NONE, ""},
        {"no dir stream", cfbt::build({{"VBA/Module1", "x"}}), vba::PROJECT_BROKEN, "no dir stream"},
        {"dir stream not compressed", cfbt::build({{"VBA/dir", "\x02\x00"}}), vba::PROJECT_BROKEN,
         "dir stream: no compressed container"},
        {"dir records cut short", cfbt::build({{"VBA/dir", literal_container(rec(0x0003, u16s(932)).substr(0, 5))}}),
         vba::PROJECT_BROKEN, "dir stream: a record runs past its end"},
        {"no module list", cfbt::build({{"VBA/dir", literal_container(rec(0x0003, u16s(932)) + rec(0x0010, ""))}}),
         vba::PROJECT_BROKEN, "dir stream: no module list"},
    };
    for (const auto& c : cases) {
        std::string problem;
        EXPECT_EQ(vba::read_project(reinterpret_cast<const unsigned char*>(c.file.data()), c.file.size(), p, &problem),
                  c.status) << c.what;
        if (c.status == vba::PROJECT_BROKEN) {
            EXPECT_EQ(problem, c.problem) << c.what;
        }
    }
}

struct opened_book {
    XLS_BOOK book{};
    opened_book() { EXPECT_EQ(TABX_open_book(&book, "CHARSET=UTF8"), 0); }
    ~opened_book() { TABX_close_book(&book, "DESTROY"); }
};

TEST(MacroInterface, ModulesThroughTheLibrary) {
    // A 97-2003 workbook holding its project, as a file.
    vt::scratch_dir dir;
    std::string path = dir / "macros.xls";
    std::string file = project_file(sample_modules(), "_VBA_PROJECT_CUR");
    ASSERT_TRUE(vt::write_file(path, file));
    opened_book b;
    ASSERT_EQ(TABX_open_macros(&b.book, path.c_str()), 0) << TABX_error_mesg(&b.book);
    ASSERT_EQ(TABX_macro_num(&b.book), 5);
    char name[64];
    int kind = 0;
    ASSERT_EQ(TABX_macro_name(&b.book, 4, name, sizeof name, &kind), 0);
    EXPECT_STREQ(name, "集計");
    EXPECT_EQ(kind, TABX_MACRO_STANDARD);
    EXPECT_EQ(TABX_macro_name(&b.book, 5, name, sizeof name, &kind), -801);
    EXPECT_EQ(TABX_macro_name(&b.book, 0, name, 4, &kind), -909);
    long long length = 0;
    EXPECT_EQ(TABX_macro_text(&b.book, 0, nullptr, 0, &length), -909);
    EXPECT_EQ(length, static_cast<long long>(kModule1.size()));
    std::vector<char> text(static_cast<size_t>(length) + 1);
    ASSERT_EQ(TABX_macro_text(&b.book, 0, text.data(), static_cast<int>(text.size()), nullptr), 0);
    EXPECT_EQ(std::string(text.data()), kModule1);

    // In Shift-JIS for a caller that asks for it.
    XLS_BOOK sjis{};
    ASSERT_EQ(TABX_open_book(&sjis, ""), 0);
    std::string bin = project_file(sample_modules());
    ASSERT_EQ(TABX_open_macros_memory(&sjis, bin.data(), static_cast<long long>(bin.size())), 0);
    ASSERT_EQ(TABX_macro_text(&sjis, 4, text.data(), static_cast<int>(text.size()), &length), 0);
    EXPECT_EQ(std::string(text.data()), hex("272090c597a682f095cf8d58") + "\r\n");
    TABX_close_book(&sjis, "DESTROY");
}

TEST(MacroInterface, WhatCannotBeReadIsReported) {
    std::vector<module_spec> m = sample_modules();
    m[1].source = hex("01 03 B0 01 00 00");
    // 16 MiB and one chunk more of source: beyond the limit of a module.
    m[2].source = runs_of_a(vba::MODULE_LIMIT / 4096 + 1);
    std::string file = project_file(m);
    opened_book b;
    ASSERT_EQ(TABX_open_macros_memory(&b.book, file.data(), static_cast<long long>(file.size())), 0);
    char text[256];
    long long length = -1;
    EXPECT_EQ(TABX_macro_text(&b.book, 1, text, sizeof text, &length), -1);
    EXPECT_STREQ(TABX_error_mesg(&b.book),
                 "TABX-03620 マクロを読み取れません(\"ThisWorkbook: source: a copy token before its chunk\")。");
    EXPECT_EQ(TABX_macro_text(&b.book, 2, text, sizeof text, &length), -9);
    EXPECT_STREQ(TABX_error_mesg(&b.book), "TABX-03009 バッファサイズ(\"16777216\")オーバー(\"Class1\")。");
    EXPECT_EQ(TABX_macro_text(&b.book, 0, text, sizeof text, &length), 0);

    // Projects and documents that cannot be read leave the book without
    // modules and say why.
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "text.xls", "not a document"));
    ASSERT_TRUE(vt::write_file(dir / "broken.bin", cfbt::build({{"VBA/dir", "x"}})));
    const struct {
        std::string path;
        int rc;
        const char* message;
    } cases[] = {
        {dir / "missing.xlsm", -101, "TABX-03101"},
        {dir / "text.xls", -4, "TABX-00900"},
        {dir / "broken.bin", -1, "TABX-03620"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TABX_open_macros(&b.book, c.path.c_str()), c.rc) << c.path;
        EXPECT_EQ(std::string(TABX_error_mesg(&b.book)).substr(0, 10), c.message) << c.path;
        EXPECT_EQ(TABX_macro_num(&b.book), 0) << c.path;
    }
    EXPECT_EQ(TABX_open_macros_memory(&b.book, "PK\x03\x04", 4), -1);
    EXPECT_EQ(TABX_open_macros_memory(&b.book, nullptr, 4), -3);
}

// The macro projects of the corpus: every document's project is read, and
// the modules of the known ones hold what their documents' macros do.
TEST(MacroCorpus, EveryProjectReadKnownModulesMatch) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    int projects = 0;
    for (const std::string& path : vt::corpus_files({"xls", "xlsm", "docm", "pptm", "doc"})) {
        opened_book b;
        int rc = TABX_open_macros(&b.book, path.c_str());
        // Damaged and misnamed documents are refused, never half read.
        EXPECT_TRUE(rc == 0 || rc == -1 || rc == -4) << path << ": " << TABX_error_mesg(&b.book);
        if (rc != 0 || TABX_macro_num(&b.book) == 0) continue;
        ++projects;
        for (int i = 0; i < TABX_macro_num(&b.book); ++i) {
            long long length = 0;
            EXPECT_EQ(TABX_macro_text(&b.book, i, nullptr, 0, &length), -909) << path << " module " << i;
        }
    }
    EXPECT_EQ(projects, 7);  // SimpleMacro .xlsm, .docm, .pptm, vba.xlsm and three .xls of calamine's

    struct {
        const char* file;
        const char* module;
        int kind;
        const char* line;
    } known[] = {
        {"public/apache__poi/SimpleMacro.xlsm", "Module1", TABX_MACRO_STANDARD,
         "    ActiveCell.FormulaR1C1 = \"This is a macro workbook\"\r\n"},
        {"public/apache__poi/SimpleMacro.xlsm", "ThisWorkbook", TABX_MACRO_DOCUMENT, "Attribute VB_Name = \"ThisWorkbook\"\r\n"},
        {"public/apache__poi/SimpleMacro.docm", "Module1",  TABX_MACRO_STANDARD,
         "    ActiveDocument.Paragraphs(1).Range.Text = \"This is a macro word processing document\"\r\n"},
        {"public/apache__poi/SimpleMacro.docm", "ThisDocument", TABX_MACRO_DOCUMENT, "Attribute VB_Name = \"ThisDocument\"\r\n"},
        {"public/apache__poi/SimpleMacro.pptm", "Module1", TABX_MACRO_STANDARD,
         "        .Title.TextFrame.TextRange.Text = \"This is a macro slideshow\"\r\n"},
        {"public/tafia__calamine/vba.xlsm", "testVBA", TABX_MACRO_STANDARD, "    MsgBox \"Hello from vba!\"\r\n"},
        {"public/tafia__calamine/vba.xlsm", "Sheet3", TABX_MACRO_DOCUMENT, "Attribute VB_Name = \"Sheet3\"\r\n"},
        {"public/tafia__calamine/issues.xls", "testVBA", TABX_MACRO_STANDARD, "    MsgBox \"Hello from vba!\"\r\n"},
        // Code page 1251: a Russian workbook's sheet module.
        {"public/tafia__calamine/any_sheets.xls", "Лист2", TABX_MACRO_DOCUMENT, "Attribute VB_Name = \"Лист2\"\r\n"},
    };
    for (const auto& k : known) {
        opened_book b;
        ASSERT_EQ(TABX_open_macros(&b.book, vt::join(vt::corpus_dir(), k.file).c_str()), 0) << k.file;
        bool found = false;
        for (int i = 0; i < TABX_macro_num(&b.book); ++i) {
            char name[64];
            int kind = 0;
            ASSERT_EQ(TABX_macro_name(&b.book, i, name, sizeof name, &kind), 0);
            if (std::string(name) != k.module) continue;
            found = true;
            EXPECT_EQ(kind, k.kind) << k.file << " " << k.module;
            long long length = 0;
            TABX_macro_text(&b.book, i, nullptr, 0, &length);
            std::vector<char> text(static_cast<size_t>(length) + 1);
            ASSERT_EQ(TABX_macro_text(&b.book, i, text.data(), static_cast<int>(text.size()), nullptr), 0);
            EXPECT_NE(std::string(text.data()).find(k.line), std::string::npos) << k.file << " " << k.module;
        }
        EXPECT_TRUE(found) << k.file << " " << k.module;
    }
}

}  // namespace
