// The chart records of a legacy workbook: a chart substream (an embedded
// chart after its OBJ record, or a chart sheet) read into chart text
// (charts/): the title and axis titles (TEXT blocks whose OBJECTLINK names
// what they label, their text in SERIESTEXT), each series' name (the
// SERIESTEXT of its SERIES block) and the cached data that follows SIINDEX
// records (NUMBER, LABEL, BOOLERR: a point's row, its series' column).
// Trendlines and error bars, which are SERIES blocks too, are left out.
#ifndef VERGLE_XLS_BIFF_CHART_H
#define VERGLE_XLS_BIFF_CHART_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "chart_text.h"

namespace xls {

class biff_chart {
public:
    // Shows a cached number of cell format xf.
    using number_format = std::function<std::string(int xf, double value)>;

    bool active() const { return depth_ > 0; }

    // Starts a chart at its BOF record: version 5 or 8, the code page of
    // 8-bit texts.
    void begin(int version, int codepage);

    // One record of the chart's substream, its BOF excluded.  True at the
    // EOF that ends the chart: its lines are then in lines().
    bool record(uint16_t type, const unsigned char* data, size_t len, const number_format& format);

    // Forgets a chart left unfinished.
    void abandon() { depth_ = 0; }

    const std::vector<std::string>& lines() const { return lines_; }

private:
    void finish();

    int depth_ = 0;  // open substreams: 1 inside the chart
    int version_ = 8;
    int codepage_ = 932;
    uint16_t last_ = 0;                 // the record before a BEGIN opens its block
    std::vector<uint16_t> blocks_;      // the records whose blocks are open
    chart_text chart_;
    std::vector<bool> auxiliary_;       // per SERIES record: a trendline or error bars
    int series_ = -1;                   // the SERIES block being read
    std::string text_;                  // the SERIESTEXT of the TEXT block being read
    int link_ = 0;                      // its OBJECTLINK target
    int data_ = 0;                      // SIINDEX: 1 values, 2 categories, 3 bubble sizes
    std::vector<std::string> lines_;
};

}  // namespace xls

#endif
