// The chart readers: a DrawingML chart part (first byte even) or the records
// of a legacy chart substream (odd: type, length and data, little-endian),
// each laid out in lines.
#include <cstdint>
#include <string>

#include "biff_chart.h"
#include "chart_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const char* text = reinterpret_cast<const char*>(data + 1);
    if ((data[0] & 1) == 0) {
        chart_text chart;
        if (chart_read_part(text, size - 1, nullptr, chart) == 0) chart_lines_text(chart);
        return 0;
    }
    xls::biff_chart chart;
    chart.begin(data[0] & 2 ? 5 : 8, data[0] & 4 ? 1252 : 932);
    static const char* const codes[] = {"General", "#,##0.00", "0.0%", "0;(0);\"zero\"", "[$\xC2\xA5-411]#,##0_)"};
    auto format = [](int xf, double v) { return chart_format_number(v, codes[static_cast<unsigned>(xf) % 5]); };
    for (size_t at = 1; at + 4 <= size && chart.active();) {
        uint16_t type = data[at] | data[at + 1] << 8, len = data[at + 2] | data[at + 3] << 8;
        size_t n = len < size - at - 4 ? len : size - at - 4;
        chart.record(type, data + at + 4, n, format);
        at += 4 + n;
    }
    return 0;
}
