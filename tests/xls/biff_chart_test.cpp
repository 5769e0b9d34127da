// The chart records of a legacy workbook, on streams built in the test.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "biff_fixtures.h"

namespace {

using namespace bt;

enum : uint16_t {
    CHART = 0x1002, SERIES = 0x1003, SERIESTEXT = 0x100D, TEXT = 0x1025, OBJECTLINK = 0x1027,
    BEGIN = 0x1033, END = 0x1034, SERPARENT = 0x104A, SIINDEX = 0x1065,
};

std::string series_text(const std::u16string& t) { return bytes().u16(0).u8(t.size()).u8(1).wide(t).s; }
std::string series_text8(const std::string& t) { return bytes().u16(0).u8(t.size()).u8(0).raw(t).s; }
std::string link(unsigned what, unsigned series = 0, unsigned point = 0) { return bytes().u16(what).u16(series).u16(point).s; }
std::string label(unsigned row, unsigned col, const std::string& t) {
    return bytes().raw(cell(row, col)).u16(t.size()).u8(0).raw(t).s;
}

// A text block linked to what it labels, the link before or after the text.
void text_block(stream& st, const std::string& text, unsigned what, bool link_first = false) {
    st.add(TEXT, std::string(32, '\0'));
    st.add(BEGIN, "");
    if (link_first) st.add(OBJECTLINK, link(what));
    st.add(SERIESTEXT, text);
    if (!link_first) st.add(OBJECTLINK, link(what, 0, 0xFFFF));
    st.add(END, "");
}

TEST(BiffChart, EmbeddedChartAndChartSheet) {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    size_t ws = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Data"));
    size_t cs = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Chart1", 0, 2));
    st.add(xls::BIFF_EOF, "");
    st.patch32(ws + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
    st.add(xls::BIFF_NUMBER, number(0, 0, 1));
    st.add(xls::BIFF_BOF, bof(0x0020));  // the chart after its OBJ
    st.add(CHART, std::string(16, '\0'));
    st.add(BEGIN, "");
    st.add(SERIES, bytes().u16(3).u16(1).u16(2).u16(2).u16(1).u16(0).s);
    st.add(BEGIN, "");
    st.add(SERIESTEXT, series_text(u"東京"));
    st.add(END, "");
    st.add(SERIES, std::string(12, '\0'));  // a trendline of the first series
    st.add(BEGIN, "");
    st.add(SERIESTEXT, series_text8("trend"));
    st.add(SERPARENT, bytes().u16(1).s);
    st.add(END, "");
    st.add(SERIES, std::string(12, '\0'));  // a series without name
    st.add(BEGIN, "");
    st.add(END, "");
    text_block(st, series_text(u"題名"), 1);
    text_block(st, series_text(u"月"), 3, true);
    text_block(st, series_text8("amount"), 2);
    text_block(st, series_text8("a data label"), 4);
    st.add(END, "");
    st.add(SIINDEX, bytes().u16(2).s);  // category labels
    st.add(xls::BIFF_LABEL, label(0, 0, "Jan"));
    st.add(xls::BIFF_LABEL, label(1, 0, "Feb"));
    st.add(SIINDEX, bytes().u16(1).s);  // values: row = point, column = series
    st.add(xls::BIFF_NUMBER, number(0, 0, 1200.5));
    st.add(xls::BIFF_NUMBER, number(1, 0, -3));
    st.add(xls::BIFF_NUMBER, number(0, 2, 7));
    st.add(xls::BIFF_BOOLERR, bytes().raw(cell(1, 2)).u8(0x07).u8(1).s);
    st.add(xls::BIFF_NUMBER, number(0, 9, 99));  // no such series
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_NUMBER, number(1, 0, 2));  // the sheet goes on
    st.add(xls::BIFF_EOF, "");
    st.patch32(cs + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0020))));
    st.add(SERIES, std::string(12, '\0'));
    st.add(BEGIN, "");
    st.add(SERIESTEXT, series_text8("s"));
    st.add(END, "");
    st.add(SIINDEX, bytes().u16(1).s);
    st.add(xls::BIFF_NUMBER, number(0, 0, 5));
    st.add(xls::BIFF_EOF, "");
    fake_book b;
    ASSERT_EQ(feed(b, st.s), 0);
    EXPECT_EQ(b.cells.size(), 2u) << "the chart's data are no cells";
    EXPECT_EQ(b.objects, (std::vector<std::pair<int, std::string>>{
                             {0, "【グラフ】題名"},
                             {0, "【項目軸】月"},
                             {0, "【値軸】amount"},
                             {0, "【系列】東京\tJan: 1200.5\tFeb: -3"},
                             {0, "【系列】系列2\tJan: 7\tFeb: #DIV/0!"},
                             {1, "【グラフ】"},
                             {1, "【系列】s\t5"},
                         }));
}

TEST(BiffChart, DamagedChartsLoseNothingAroundThem) {
    struct {
        const char* what;
        std::vector<std::pair<uint16_t, std::string>> chart;  // records after the chart's BOF
        std::vector<std::pair<int, std::string>> want;
    } cases[] = {
        {"records shorter than their fields",
         {{SERIES, ""}, {BEGIN, ""}, {SERIESTEXT, "\0"}, {SERIESTEXT, bytes().u16(0).u8(9).u8(1).raw("ab").s},
          {END, ""}, {END, ""}, {SIINDEX, "\1"}, {SIINDEX, bytes().u16(1).s}, {xls::BIFF_NUMBER, "\0\0\0"},
          {xls::BIFF_LABEL, bytes().raw(cell(0, 0)).u16(50).u8(1).raw("x").s}, {xls::BIFF_EOF, ""}},
         // A text takes the characters its record holds.
         {{0, "【グラフ】"}, {0, "【系列】扡\t"}}},
        {"a chart cut short by the next sheet gives nothing", {{SERIES, ""}}, {}},
    };
    for (const auto& c : cases) {
        stream st;
        st.add(xls::BIFF_BOF, bof(0x0005));
        st.add(xls::BIFF_XF, xf(0));
        size_t first = st.add(xls::BIFF_BOUNDSHEET, boundsheet("One"));
        size_t second = st.add(xls::BIFF_BOUNDSHEET, boundsheet("Two"));
        st.add(xls::BIFF_EOF, "");
        st.patch32(first + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
        st.add(xls::BIFF_BOF, bof(0x0020));
        for (const auto& [type, data] : c.chart) st.add(type, data);
        if (!c.want.empty()) {
            st.add(xls::BIFF_NUMBER, number(5, 0, 1));  // the sheet's, the chart has ended
            st.add(xls::BIFF_EOF, "");
        }
        st.patch32(second + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bof(0x0010))));
        st.add(xls::BIFF_NUMBER, number(0, 0, 2));
        st.add(xls::BIFF_EOF, "");
        fake_book b;
        EXPECT_EQ(feed(b, st.s), 0) << c.what;
        EXPECT_EQ(b.objects, c.want) << c.what;
        EXPECT_NE(b.find(1, 0, 0), nullptr) << c.what << ": the sheet after the chart is read";
        if (!c.want.empty()) {
            EXPECT_NE(b.find(0, 5, 0), nullptr) << c.what;
        }
    }
}

}  // namespace
