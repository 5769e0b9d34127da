// The library's legacy reader end to end: compound documents and stream
// images built here, and every .xls of the corpus, read through the book.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "biff_fixtures.h"
#include "cfb.h"
#include "cell_format.h"
#include "cfb_builder.h"
#include "tabx.h"
#include "tbx_message.h"
#include "tbx_private.h"
#include "tbx_readers.h"
#include "tbx_store.h"
#include "test_support.h"

namespace {

using namespace bt;

// A legacy book ready for the reader, as the open sequence prepares it.
struct legacy_book {
    XLS_BOOK book{};
    legacy_book() {
        EXPECT_EQ(tbx_alloc_private(&book), 0);
        EXPECT_EQ(tbx_book_init(&book, true), 0);
    }
    ~legacy_book() { TABX_free_book(&book); }
    std::string last_log() const {
        int n = tbx_log_count(&book);
        return n ? tbx_log_line(&book, n - 1) : "";
    }
    std::string cell_text(int sheet, int row, int column) {
        if (sheet >= book.sheet_count) return "<no sheet>";
        const XLS_SHEET& s = book.sheets[sheet];
        const XLS_CELL* at = row < s.used_rows ? tbx_row_cell(s.rows[row], column) : nullptr;
        if (!at) return "<no cell>";
        const XLS_CELL& c = *at;
        if (c.type == TABX_SHARED_STRING) return c.value < book.sst_count ? book.sst[c.value].text : "<bad index>";
        char buf[TBX_VALUE_TEXT_BUF];
        return cell_value_text(&c, buf);
    }
};

// A small workbook: one sheet "Data" with a shared string, a number, a
// label of 600 0xFF bytes (which a reader that skips allocation-table-like
// stretches would lose) and a formula with a string result.
std::string workbook_stream() {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    st.add(xls::BIFF_FORMAT, bytes().u16(164).u16(5).u8(0).raw("0.00%"));
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Data"));
    st.add(xls::BIFF_SST, bytes().u32(1).u32(1).u16(5).u8(0).raw("hello"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_LABELSST, labelsst(0, 0, 0));
    st.add(xls::BIFF_NUMBER, number(0, 1, 42));
    st.add(xls::BIFF_LABEL, bytes().raw(cell(1, 0)).u16(600).u8(0).raw(std::string(600, '\xFF')));
    st.add(xls::BIFF_FORMULA, formula_special(2, 0, 0));
    st.add(xls::BIFF_STRING, bytes().u16(2).u8(0).raw("ok"));
    st.add(xls::BIFF_EOF, "");
    return st.s;
}

std::string y_umlauts(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s += "\xC3\xBF";
    return s;
}

void expect_workbook(legacy_book& b) {
    ASSERT_EQ(b.book.sheet_count, 1);
    EXPECT_STREQ(b.book.sheets[0].name, "Data");
    EXPECT_EQ(b.cell_text(0, 0, 0), "hello");
    EXPECT_EQ(b.cell_text(0, 0, 1), "42");
    EXPECT_EQ(b.cell_text(0, 1, 0), y_umlauts(600));
    EXPECT_EQ(b.cell_text(0, 2, 0), "ok");
}

TEST(ReadExcel2003, CompoundDocumentAndImageGiveTheSameBook) {
    vt::scratch_dir dir;
    const std::string wb = workbook_stream();
    for (bool reverse : {false, true}) {
        // Padded past the mini-stream cutoff as well as in the mini stream.
        for (size_t pad : {size_t(0), size_t(5000)}) {
            std::string s = wb + std::string(pad, '\0');
            ASSERT_TRUE(vt::write_file(dir / "a.xls", cfbt::build({{"Workbook", s}}, {cfbt::options{reverse}})));
            legacy_book direct;
            ASSERT_EQ(tbx_read_excel2003(&direct.book, (dir / "a.xls").c_str()), 0);
            expect_workbook(direct);

            legacy_book image;
            ASSERT_EQ(extract_workbook_stream((dir / "a.xls").c_str(), (dir / "a.tmp").c_str(), nullptr), 0);
            std::snprintf(image.book.temp_path, sizeof image.book.temp_path, "%s", (dir / "a.tmp").c_str());
            ASSERT_EQ(tbx_read_excel2003(&image.book, (dir / "a.xls").c_str()), 0);
            expect_workbook(image);
        }
    }
}

TEST(ReadExcel2003, BookStreamAndMissingStreams) {
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "b.xls", cfbt::build({{"Book", workbook_stream()}})));
    legacy_book b;
    ASSERT_EQ(tbx_read_excel2003(&b.book, (dir / "b.xls").c_str()), 0);
    expect_workbook(b);

    ASSERT_TRUE(vt::write_file(dir / "n.xls", cfbt::build({{"Other", workbook_stream()}})));
    legacy_book n;
    ASSERT_EQ(tbx_read_excel2003(&n.book, (dir / "n.xls").c_str()), 0);
    EXPECT_EQ(n.book.sheet_count, 0);
}

TEST(ReadExcel2003, InvalidContainersAreRefused) {
    vt::scratch_dir dir;
    struct {
        size_t offset;
        uint16_t value;
        const char* log;
    } cases[] = {
        {28, 0xFEFF, "ORB-04000: 内部処理バッファ(\"Invalid Byte Order\")がオーバーフローしました。処理を中断します。"},
        {30, 12, "ORB-04000: 内部処理バッファ(\"Invalid Sector Size\")がオーバーフローしました。処理を中断します。"},
        {32, 5, "ORB-04000: 内部処理バッファ(\"Invalid Short-sector Size\")がオーバーフローしました。処理を中断します。"},
    };
    for (const auto& c : cases) {
        std::string file = cfbt::build({{"Workbook", workbook_stream()}});
        cfbt::put16(file, c.offset, c.value);
        ASSERT_TRUE(vt::write_file(dir / "h.xls", file));
        legacy_book b;
        EXPECT_EQ(tbx_read_excel2003(&b.book, (dir / "h.xls").c_str()), -1);
        EXPECT_EQ(b.last_log(), c.log);
        EXPECT_EQ(b.book.sheet_count, 0);
    }
    // A sector chain that loops.
    cfbt::layout lay;
    std::string file = cfbt::build({{"Workbook", workbook_stream() + std::string(5000, '\0')}}, {}, &lay);
    cfbt::put32(file, lay.fat_entry_offset(lay.stream_start[0]), lay.stream_start[0]);
    ASSERT_TRUE(vt::write_file(dir / "loop.xls", file));
    legacy_book b;
    EXPECT_EQ(tbx_read_excel2003(&b.book, (dir / "loop.xls").c_str()), -1);
}

TEST(ReadExcel2003, DamagedFilesAreNotTakenForProtectedOnes) {
    // Through the library: a truncated or damaged .xls is a read error
    // (TABX-03110, -1); only a FILEPASS record means a password (-910).
    vt::scratch_dir dir;
    const std::string whole = cfbt::build({{"Workbook", workbook_stream() + std::string(5000, '\0')}});
    stream enc;
    enc.add(xls::BIFF_BOF, bof(0x0005));
    enc.add(xls::BIFF_FILEPASS, bytes().u16(0).u16(0x1234).u16(0x5678));
    struct {
        std::string file;
        int rc;
    } cases[] = {
        {whole.substr(0, whole.size() / 2), -1},
        {whole.substr(0, 1536), -1},
        {[&] { std::string f = whole; cfbt::put16(f, 30, 12); return f; }(), -1},
        {cfbt::build({{"Workbook", enc.s}}), -910},
        {whole, 0},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(vt::write_file(dir / "t.xls", c.file));
        XLS_BOOK book{};
        std::string kw = "EXCEL=\"" + (dir / "t.xls") + "\" MODE=UNLOAD";
        EXPECT_EQ(TABX_open_book(&book, kw.c_str()), c.rc) << c.file.size();
        if (c.rc == -1) {
            EXPECT_TRUE(std::strstr(book.error_info, "TABX-03110")) << book.error_info;
        }
        TABX_close_book(&book, "DESTROY");
    }
}

TEST(ReadExcel2003, EightBitFormatCodesShowAsTheirUtf16Twins) {
    // "¥"#,##0 written with compressed characters by one writer and with
    // UTF-16 ones by another shows the same text.
    std::string shown[2];
    for (int wide = 0; wide < 2; ++wide) {
        stream st;
        st.add(xls::BIFF_BOF, bof(0x0005));
        if (wide) st.add(xls::BIFF_FORMAT, bytes().u16(164).u16(8).u8(1).wide(u"\"\u00A5\"#,##0"));
        else st.add(xls::BIFF_FORMAT, bytes().u16(164).u16(8).u8(0).raw("\"\xA5\"#,##0"));
        st.add(xls::BIFF_XF, xf(0));
        st.add(xls::BIFF_XF, xf(164));
        size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Yen"));
        st.add(xls::BIFF_EOF, "");
        st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
        st.add(xls::BIFF_NUMBER, number(0, 0, 1500, 1));
        st.add(xls::BIFF_EOF, "");
        vt::scratch_dir dir;
        ASSERT_TRUE(vt::write_file(dir / "y.xls", cfbt::build({{"Workbook", st.s}})));
        XLS_BOOK book{};
        std::string kw = "CHARSET=UTF8 EXCEL=\"" + (dir / "y.xls") + "\" MODE=UNLOAD";
        ASSERT_EQ(TABX_open_book(&book, kw.c_str()), 0);
        char text[64] = "";
        EXPECT_EQ(TABX_get_cell(&book, "A1", text, sizeof text, nullptr, 0), 0);
        shown[wide] = text;
        TABX_close_book(&book, "DESTROY");
    }
    EXPECT_EQ(shown[0], shown[1]);
    EXPECT_NE(shown[0].find("1,500"), std::string::npos) << shown[0];
    EXPECT_GT(shown[0].size(), 5u) << shown[0];  // the currency sign shows
}

// A format code shows every character it holds, those code page 932 lacks
// too, written in UTF-16 or as compressed 8-bit characters.
TEST(ReadExcel2003, FormatCodesKeepEveryCharacter) {
    struct {
        std::u16string code;
        double value;
        const char* text;
    } rows[] = {
        {u"\"\u20AC\"#,##0.00", 12345.67, "€12,345.67"},
        {u"\u20AC#,##0.00", 12345.67, "€12,345.67"},
        {u"0\"m\u00B2\"", 3, "3m²"},
        {u"0\" St\u00FCck\"", 3, "3 Stück"},
        {u"\u00A3#,##0", 5, "£5"},
        {u"\u00A5#,##0", 12345, "¥12,345"},
        {u"\u20A9#,##0", 5, "₩5"},
        {u"\u20B9#,##0", 5, "₹5"},
        {u"0\"\u301C\"", 5, "5〜"},
        {u"\"\u2212\"0", 5, "−5"},
    };
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    int i = 0;
    for (const auto& r : rows) {
        bool narrow = true;
        for (char16_t c : r.code) narrow = narrow && c < 0x100;
        bytes f = bytes().u16(164 + i).u16(static_cast<unsigned>(r.code.size())).u8(narrow ? 0 : 1);
        for (char16_t c : r.code) narrow ? f.u8(c) : f.u16(c);
        st.add(xls::BIFF_FORMAT, f);
        st.add(xls::BIFF_XF, xf(164 + i++));
    }
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Codes"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    i = 0;
    for (const auto& r : rows) st.add(xls::BIFF_NUMBER, number(0, i, r.value, i + 1)), ++i;
    st.add(xls::BIFF_EOF, "");
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "c.xls", cfbt::build({{"Workbook", st.s}})));
    XLS_BOOK book{};
    ASSERT_EQ(TABX_open_book(&book, ("CHARSET=UTF8 EXCEL=\"" + (dir / "c.xls") + "\" MODE=UNLOAD").c_str()), 0);
    i = 0;
    for (const auto& r : rows) {
        char name[16], text[64] = "";
        TABX_cell_name(1, ++i, name);
        EXPECT_EQ(TABX_get_cell(&book, name, text, sizeof text, nullptr, 0), 0);
        EXPECT_STREQ(text, r.text) << name;
    }
    TABX_close_book(&book, "DESTROY");
}

// A code of Excel's 255 characters comes whole, not cut at 255 bytes of
// code page 932.
TEST(ReadExcel2003, LongFormatCodesComeWhole) {
    std::u16string code = u"0\"";
    std::string want = "7";
    for (int i = 0; i < 252; ++i) code += u'\u5897', want += "増";
    code += u"\"";
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    st.add(xls::BIFF_FORMAT, bytes().u16(164).u16(static_cast<unsigned>(code.size())).u8(1).wide(code));
    st.add(xls::BIFF_XF, xf(164));
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Long"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_NUMBER, number(0, 0, 7, 1));
    st.add(xls::BIFF_EOF, "");
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "l.xls", cfbt::build({{"Workbook", st.s}})));
    XLS_BOOK book{};
    ASSERT_EQ(TABX_open_book(&book, ("CHARSET=UTF8 EXCEL=\"" + (dir / "l.xls") + "\" MODE=UNLOAD").c_str()), 0);
    std::vector<char> text(TABX_CELL_TEXT_BUF);
    EXPECT_EQ(TABX_get_cell(&book, "A1", text.data(), static_cast<int>(text.size()), nullptr, 0), 0);
    EXPECT_TRUE(want == text.data()) << std::strlen(text.data()) << " bytes";
    TABX_close_book(&book, "DESTROY");
}

// UTF-16 of a UTF-8 text (characters of the basic plane).
std::u16string utf16(const char* s) {
    std::u16string out;
    for (const unsigned char* p = reinterpret_cast<const unsigned char*>(s); *p;) {
        unsigned c = *p++;
        if (c >= 0xE0) c = ((c & 0x0F) << 12) | ((p[0] & 0x3F) << 6) | (p[1] & 0x3F), p += 2;
        else if (c >= 0xC0) c = ((c & 0x1F) << 6) | (p[0] & 0x3F), p += 1;
        out += static_cast<char16_t>(c);
    }
    return out;
}

// The 8-byte result of a FORMULA that is not a number: kind 0 text (in the
// STRING record after it), 1 boolean, 2 error.
std::string result(unsigned kind, unsigned value) {
    return bytes().u8(kind).u8(0).u8(value).u8(0).u8(0).u8(0).u16(0xFFFF);
}

// Texts, booleans and errors are shown through their cell format, as the
// same book saved as .xlsx shows them: a text through the text section (its
// literals, padding, or nothing under ;;;).  Excel's documentation speaks
// of the text section for texts only; a boolean takes it too (;;; is how
// people hide the TRUE and FALSE of a linked check box), an error value
// takes none (a format never changes #N/A).
TEST(ReadExcel2003, TextsBooleansAndErrorsShowThroughTheirFormat) {
    struct {
        const char* code;
        char kind;  // S shared string, L label, B boolean, E error, F formula text, b formula boolean, e formula error
        const char* value;
        const char* text;
    } rows[] = {
        {"\\C\\O\\B\\ \\o\\n\\ @", 'S', "pf1", "COB on pf1"},
        {"\\C\\O\\B\\ \\o\\n\\ @", 'L', "pf1", "COB on pf1"},
        {"_(@_)", 'S', "abc", " abc "},
        {"@\"様\"", 'F', "山田", "山田様"},
        {"@\"様\"", 'L', "山田", "山田様"},
        {";;;", 'L', "hidden", ""},
        {";;;", 'S', "hidden", ""},
        {";;;", 'B', "1", ""},
        {"0.00;-0.00;0.00;\"<\"@\">\"", 'b', "0", "<FALSE>"},
        {"0.00", 'B', "1", "TRUE"},
        {";;;", 'E', "#N/A", "#N/A"},
        {"@\"様\"", 'e', "#DIV/0!", "#DIV/0!"},
        {"General", 'S', "x", "x"},
    };
    int sst_count = 0;
    for (const auto& r : rows) sst_count += r.kind == 'S';
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    bytes sst = bytes().u32(sst_count).u32(sst_count);
    int i = 0;
    for (const auto& r : rows) {
        std::u16string code = utf16(r.code);
        st.add(xls::BIFF_FORMAT, bytes().u16(164 + i).u16(static_cast<unsigned>(code.size())).u8(1).wide(code));
        st.add(xls::BIFF_XF, xf(164 + i));
        if (r.kind == 'S') {
            std::u16string v = utf16(r.value);
            sst.u16(static_cast<unsigned>(v.size())).u8(1).wide(v);
        }
        ++i;
    }
    st.add(xls::BIFF_SST, sst);
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Texts"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    i = 0;
    int sst_index = 0;
    for (const auto& r : rows) {
        const unsigned x = static_cast<unsigned>(i + 1);
        const std::u16string v = utf16(r.value);
        const unsigned error = std::string(r.value) == "#N/A" ? 0x2A : 0x07;
        switch (r.kind) {
        case 'S': st.add(xls::BIFF_LABELSST, bytes().raw(cell(0, i, x)).u32(sst_index++)); break;
        case 'L': st.add(xls::BIFF_LABEL, bytes().raw(cell(0, i, x)).u16(static_cast<unsigned>(v.size())).u8(1).wide(v)); break;
        case 'B': st.add(xls::BIFF_BOOLERR, bytes().raw(cell(0, i, x)).u8(r.value[0] - '0').u8(0)); break;
        case 'E': st.add(xls::BIFF_BOOLERR, bytes().raw(cell(0, i, x)).u8(error).u8(1)); break;
        case 'F':
            st.add(xls::BIFF_FORMULA, formula(0, i, result(0, 0), x));
            st.add(xls::BIFF_STRING, bytes().u16(static_cast<unsigned>(v.size())).u8(1).wide(v));
            break;
        case 'b': st.add(xls::BIFF_FORMULA, formula(0, i, result(1, r.value[0] - '0'), x)); break;
        case 'e': st.add(xls::BIFF_FORMULA, formula(0, i, result(2, error), x)); break;
        }
        ++i;
    }
    st.add(xls::BIFF_EOF, "");
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "t.xls", cfbt::build({{"Workbook", st.s}})));
    XLS_BOOK book{};
    ASSERT_EQ(TABX_open_book(&book, ("CHARSET=UTF8 EXCEL=\"" + (dir / "t.xls") + "\" MODE=UNLOAD").c_str()), 0);
    i = 0;
    for (const auto& r : rows) {
        char name[16], text[64] = "";
        TABX_cell_name(1, ++i, name);
        EXPECT_EQ(TABX_get_cell(&book, name, text, sizeof text, nullptr, 0), 0);
        EXPECT_STREQ(text, r.text) << r.code << " " << r.kind << " " << r.value;
    }
    TABX_close_book(&book, "DESTROY");
}

TEST(ReadExcel2003, TheLongestCellTextComesWhole) {
    // 32,767 characters, the most a cell holds: as a label over CONTINUE
    // records and as a shared string, read back whole through the library.
    std::u16string jp(32767, u'\u3042');
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Long"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_FORMULA, formula_special(0, 0, 0));
    const size_t first = 4000;
    st.add(xls::BIFF_STRING, bytes().u16(32767).u8(1).wide(jp.substr(0, first)));
    for (size_t at = first; at < jp.size(); at += 4000)
        st.add(xls::BIFF_CONTINUE, bytes().u8(1).wide(jp.substr(at, 4000)));
    st.add(xls::BIFF_EOF, "");
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "l.xls", cfbt::build({{"Workbook", st.s}})));
    XLS_BOOK book{};
    std::string kw = "CHARSET=UTF8 EXCEL=\"" + (dir / "l.xls") + "\" MODE=UNLOAD";
    ASSERT_EQ(TABX_open_book(&book, kw.c_str()), 0);
    std::vector<char> text(TABX_CELL_TEXT_BUF);
    ASSERT_EQ(TABX_get_cell(&book, "A1", text.data(), static_cast<int>(text.size()), nullptr, 0), 0)
        << book.error_info;
    std::string want;
    for (int i = 0; i < 32767; ++i) want += "あ";
    EXPECT_TRUE(want == text.data()) << std::strlen(text.data());
    TABX_close_book(&book, "DESTROY");
}

TEST(ReadExcel2003, EncryptedWorkbook) {
    vt::scratch_dir dir;
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_FILEPASS, bytes().u16(0).u16(0x1234).u16(0x5678));
    st.add(xls::BIFF_BOUNDSHEET, boundsheet("S"));
    ASSERT_TRUE(vt::write_file(dir / "p.xls", cfbt::build({{"Workbook", st.s}})));
    legacy_book b;
    EXPECT_EQ(tbx_read_excel2003(&b.book, (dir / "p.xls").c_str()), 1002);
    EXPECT_EQ(b.last_log(), "ORB-00901: パスワード保護されたファイルです。処理を中断します。");
    EXPECT_EQ(b.book.sheet_count, 0);
}

TEST(ReadExcel2003, FilesThatCannotBeRead) {
    vt::scratch_dir dir;
    legacy_book missing;
    EXPECT_EQ(tbx_read_excel2003(&missing.book, (dir / "none.xls").c_str()), -1);
    EXPECT_EQ(missing.last_log(),
              "ORB-03000: Officeファイルオープンエラー(\"" + (dir / "none.xls") + "\")。処理を中断します。");

    ASSERT_TRUE(vt::write_file(dir / "a.xls", cfbt::build({{"Workbook", workbook_stream()}})));
    legacy_book image;
    std::snprintf(image.book.temp_path, sizeof image.book.temp_path, "%s", (dir / "gone.tmp").c_str());
    EXPECT_EQ(tbx_read_excel2003(&image.book, (dir / "a.xls").c_str()), -1);
    EXPECT_TRUE(std::strstr(image.book.error_info, "TABX-03103")) << image.book.error_info;

    // An image shorter than one record header holds a cut record: damaged.
    ASSERT_TRUE(vt::write_file(dir / "short.tmp", "\x09\x08"));
    legacy_book tiny;
    std::snprintf(tiny.book.temp_path, sizeof tiny.book.temp_path, "%s", (dir / "short.tmp").c_str());
    EXPECT_EQ(tbx_read_excel2003(&tiny.book, (dir / "a.xls").c_str()), -1);
    EXPECT_EQ(tiny.book.sheet_count, 0);

    // Empty files: an empty image is an empty book, an empty .xls no
    // compound document; a folder is no image.
    ASSERT_TRUE(vt::write_file(dir / "empty.tmp", ""));
    legacy_book empty_image;
    std::snprintf(empty_image.book.temp_path, sizeof empty_image.book.temp_path, "%s", (dir / "empty.tmp").c_str());
    EXPECT_EQ(tbx_read_excel2003(&empty_image.book, (dir / "a.xls").c_str()), 0);
    EXPECT_EQ(empty_image.book.sheet_count, 0);
    ASSERT_TRUE(vt::write_file(dir / "empty.xls", ""));
    legacy_book empty;
    EXPECT_EQ(tbx_read_excel2003(&empty.book, (dir / "empty.xls").c_str()), -1);
    EXPECT_EQ(empty.last_log(), "ORB-04000: 内部処理バッファ(\"Invalid Signature\")がオーバーフローしました。処理を中断します。");
    legacy_book folder;
    std::snprintf(folder.book.temp_path, sizeof folder.book.temp_path, "%s", dir.path().c_str());
    EXPECT_EQ(tbx_read_excel2003(&folder.book, (dir / "a.xls").c_str()), -1);
    EXPECT_TRUE(std::strstr(folder.book.error_info, "TABX-03103")) << folder.book.error_info;
}

TEST(ReadExcel2003, ReadingModesEmptyTheNumberFormatTable) {
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "a.xls", cfbt::build({{"Workbook", workbook_stream()}})));
    for (unsigned char keep : {static_cast<unsigned char>(0xFF), static_cast<unsigned char>(0)}) {
        legacy_book b;
        ASSERT_EQ(tbx_add_numfmt(&b.book, 200, "0.0"), 0);
        b.book.style_keep = keep;
        ASSERT_EQ(tbx_read_excel2003(&b.book, (dir / "a.xls").c_str()), 0);
        ASSERT_EQ(b.book.numfmt_count, keep ? 2 : 1);
        EXPECT_EQ(b.book.numfmt[b.book.numfmt_count - 1].id, 164);
    }
}

// DATEMODE 1: the book counts its serials from 1904-01-01.
TEST(ReadExcel2003, DateModeRecord) {
    vt::scratch_dir dir;
    for (int mode : {0, 1}) {
        stream st;
        st.add(xls::BIFF_BOF, bof(0x0005));
        st.add(xls::BIFF_DATEMODE, bytes().u16(static_cast<uint16_t>(mode)).s);
        st.add(xls::BIFF_XF, xf(14));  // yyyy/m/d
        size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Data"));
        st.add(xls::BIFF_EOF, "");
        st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
        st.add(xls::BIFF_NUMBER, number(0, 0, 43830));
        st.add(xls::BIFF_EOF, "");
        ASSERT_TRUE(vt::write_file(dir / "a.xls", cfbt::build({{"Workbook", st.s}})));
        legacy_book b;
        b.book.raw_display = 0;  // shown by the number format
        ASSERT_EQ(tbx_read_excel2003(&b.book, (dir / "a.xls").c_str()), 0);
        std::vector<char> out(TBX_RENDER_BUF);
        format_cell(&b.book, &b.book.sheets[0].rows[0].cells[0], out.data());
        EXPECT_STREQ(out.data(), mode ? "2024/1/1" : "2019/12/31");
    }
}

// ---------------------------------------------------------------------------
// The corpus, through the library's interface
// ---------------------------------------------------------------------------

// Everything a caller can see of an opened book, as text.
std::string dump(XLS_BOOK* b, bool objects = true) {
    std::string out;
    std::vector<char> text(98302);
    int sheets = TABX_sheet_num(b);
    for (int s = 0; s < sheets; ++s) {
        char name[400] = "";
        TABX_sheet_name(b, s, name);
        out += "[" + std::string(name) + "]\n";
        TABX_open_sheet2(b, s);
        int rows = TABX_row_num(b);
        for (int r = 0; r < rows; ++r) {
            int cols = TABX_column_num(b, r);
            for (int c = 1; c <= cols; ++c) {
                char cell_name[16];
                TABX_cell_name(r + 1, c, cell_name);
                if (TABX_get_cell(b, cell_name, text.data(), static_cast<int>(text.size()), nullptr, 0) == 0)
                    out += text.data();
                out += '\t';
            }
            out += '\n';
        }
    }
    for (int k = 0; objects && k < b->drawing_count; ++k) {
        const XLS_DRAWING& d = b->drawings[k];
        if (d.kind == 1 && d.data) out += "{" + std::to_string(d.sheet) + ":" + static_cast<XLS_OBJECT_TEXT*>(d.data)->text + "}\n";
    }
    return out;
}

struct opened {
    int rc;
    std::string text;
};

opened open_and_dump(const std::string& path, const std::string& image, bool objects = true) {
    auto book = std::make_unique<XLS_BOOK>();
    std::string kw = "CHARSET=UTF8 EXCEL=\"" + path + "\" MODE=UNLOAD";
    if (!image.empty()) kw += " TEMP_WORKBOOK_PATH=\"" + image + "\"";
    opened o{TABX_open_book(book.get(), kw.c_str()), ""};
    if (o.rc == 0) o.text = dump(book.get(), objects);
    TABX_close_book(book.get(), "DESTROY");
    return o;
}

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// A book that one writer saved both as .xls and as .xlsx (or .xlsm) shows
// the same sheets and the same text in every cell, no cell more or less.
// The pairs are found by name: xls_NAME__WRITER.xls beside
// xlsx_NAME__WRITER.xlsx.
TEST(ReadExcel2003Corpus, TheSameBookAsXlsAndXlsxShowsTheSameText) {
    int pairs = 0;
    for (const std::string& xls : vt::corpus_files({"xls"})) {
        size_t slash = xls.find_last_of("/\\");
        std::string folder = xls.substr(0, slash + 1), name = xls.substr(slash + 1);
        if (name.compare(0, 4, "xls_") != 0 || name.find("__") == std::string::npos) continue;
        const std::string stem = name.substr(4, name.size() - 8);  // NAME__WRITER
        for (const char* kind : {"xlsx", "xlsm"}) {
            const std::string other = folder + kind + "_" + stem + "." + kind;
            if (!vt::exists(other)) continue;
            opened a = open_and_dump(xls, "", false), b = open_and_dump(other, "", false);
            EXPECT_EQ(a.rc == 0, b.rc == 0) << name << ": " << a.rc << ", " << kind << ": " << b.rc;
            if (a.rc != 0 || b.rc != 0) continue;  // both refused: protected by a password
            EXPECT_TRUE(a.text == b.text) << name << " and " << kind << "_" << stem << "\n" << a.text << "\n" << b.text;
            ++pairs;
        }
    }
    if (pairs == 0) GTEST_SKIP() << "no corpus";
    EXPECT_GE(pairs, 7);
}

TEST(ReadExcel2003Corpus, EveryXlsIsReadOrRefused) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    vt::scratch_dir dir;
    const char* encrypted[] = {"xls_password_open__libreoffice.xls", "password.xls", "xor-encryption-abc.xls"};
    const char* not_compound[] = {"bad_15_bytes.xls", "bad_xlsx_content_named.xls", "too_small.xls",
                                  "biff4_no_format_no_window2.xls"};
    int read = 0;
    for (const std::string& path : vt::corpus_files({"xls"})) {
        opened direct = open_and_dump(path, "");
        bool is_book = false;
        std::string image = dir / "image.tmp";
        int ex = extract_workbook_stream(path.c_str(), image.c_str(), &is_book);
        bool expect_encrypted = false, expect_foreign = false;
        for (const char* e : encrypted) expect_encrypted |= ends_with(path, e);
        for (const char* e : not_compound) expect_foreign |= ends_with(path, e);
        if (expect_encrypted) {
            EXPECT_EQ(direct.rc, -910) << path;
        } else if (expect_foreign) {
            EXPECT_EQ(direct.rc, -4) << path;
            EXPECT_EQ(ex, -1) << path;
        } else if (ends_with(path, "xls2csv_ole_ole2_fread_327.xls")) {
            EXPECT_EQ(direct.rc, -1) << path;  // broken container
            EXPECT_EQ(ex, -1) << path;
        } else {
            EXPECT_EQ(direct.rc, 0) << path;
            ++read;
        }
        if (ex == 0) {
            // The image the front end hands over gives the same book.
            opened via_image = open_and_dump(path, image);
            EXPECT_EQ(via_image.rc, direct.rc) << path;
            EXPECT_TRUE(via_image.text == direct.text) << path;
            EXPECT_FALSE(vt::exists(image)) << "the image is deleted with the book: " << path;
        }
    }
    EXPECT_GT(read, 55);
}

TEST(ReadExcel2003Corpus, KnownContents) {
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    const std::string gen = vt::join(vt::corpus_dir(), "generated");
    struct {
        const char* file;
        std::vector<std::string> fragments;
    } cases[] = {
        {"xls_basic_types__libreoffice.xls",
         {"[Types]\nKind\tValue\tNote\t\nascii\tHello, world\t\n", "japanese\t日本語のテキスト（全角）\t",
          "emoji (4-byte UTF-8)\t絵文字😀テスト\t", "large integer\t1.23457E+12\t", "[数値 一覧]\n0\t1\t2\t3\t"}},
        {"xls95_basic_types__gnumeric.xls",
         {"ascii\tHello, world\t\n", "japanese\t日本語のテキスト（全角）\t", "halfwidth kana\tﾊﾝｶｸｶﾀｶﾅ\t"}},
        {"xls95_basic_types_cp1252__gnumeric.xls", {"ascii\tHello, world\t\n"}},
        {"xls_comments_shapes__libreoffice.xls",
         {"{0:コメント：りんごは青森産", "{0:テキストボックス１", "{1:Box on sheet 2}"}},
        {"xls_large_sst__libreoffice.xls", {"[", "\t"}},
    };
    for (const auto& c : cases) {
        opened o = open_and_dump(vt::join(gen, c.file), "");
        ASSERT_EQ(o.rc, 0) << c.file;
        for (const auto& f : c.fragments) EXPECT_NE(o.text.find(f), std::string::npos) << c.file << ": " << f;
    }
}

TEST(ReadExcel2003Corpus, OldBookStreamSheetNamesAreConvertedByTheReader) {
    // A 5.0/95 name (code page 932 here) is converted once, when read: the
    // caller gets it in its character set, and as stored (UTF-8) when it
    // asks for names without conversion.
    if (vt::corpus_dir().empty()) GTEST_SKIP() << "no corpus";
    vt::scratch_dir dir;
    std::string path = vt::join(vt::join(vt::corpus_dir(), "generated"), "xls95_basic_types__gnumeric.xls");
    bool is_book = false;
    ASSERT_EQ(extract_workbook_stream(path.c_str(), (dir / "i.tmp").c_str(), &is_book), 0);
    EXPECT_TRUE(is_book);
    auto book = std::make_unique<XLS_BOOK>();
    std::string kw = "EXCEL=\"" + path + "\" MODE=UNLOAD TEMP_WORKBOOK_PATH=\"" + (dir / "i.tmp") + "\"";
    ASSERT_EQ(TABX_open_book(book.get(), kw.c_str()), 0);
    char name[400];
    ASSERT_EQ(TABX_sheet_name(book.get(), 1, name), 0);
    EXPECT_STREQ(name, "\x90\x94\x92\x6C \x88\xEA\x97\x97");  // 数値 一覧 in Shift-JIS
    book->format = 8;
    ASSERT_EQ(TABX_sheet_name(book.get(), 1, name), 0);
    EXPECT_STREQ(name, "数値 一覧");
    TABX_close_book(book.get(), "DESTROY");
}

}  // namespace

namespace {

TEST(ReadExcel2003, ChartValuesShowThroughTheirCellFormats) {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    st.add(xls::BIFF_XF, xf(164));
    st.add(xls::BIFF_XF, xf(14));
    st.add(xls::BIFF_FORMAT, bytes().u16(164).u16(4).u8(0).raw("0.0%").s);
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Data"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(bs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_BOF, bof(0x0020));
    st.add(0x1003, std::string(12, '\0'));  // SERIES
    st.add(0x1065, bytes().u16(2).s);       // SIINDEX: categories
    st.add(xls::BIFF_NUMBER, number(0, 0, 45296, 2));
    st.add(0x1065, bytes().u16(1).s);       // values
    st.add(xls::BIFF_NUMBER, number(0, 0, 0.256, 1));
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_EOF, "");
    vt::scratch_dir dir;
    ASSERT_TRUE(vt::write_file(dir / "c.xls", cfbt::build({{"Workbook", st.s}})));
    legacy_book b;
    ASSERT_EQ(tbx_read_excel2003(&b.book, (dir / "c.xls").c_str()), 0);
    std::vector<std::string> objects;
    for (int i = 0; i < b.book.drawing_count; ++i)
        objects.push_back(static_cast<const XLS_OBJECT_TEXT*>(b.book.drawings[i].data)->text);
    EXPECT_EQ(objects, (std::vector<std::string>{"【グラフ】", "【系列】系列1\t2024/1/5: 25.6%"}));
}

}  // namespace
