// Chart text: what a reader sees in a chart, and the lines the dumps write
// for it.
//
// A chart shows its title, the titles of its axes, the name of each series
// in the legend, the category labels along an axis and the values each
// series plots.  A chart part keeps the last two as caches of the cells it
// plots (the values with the number format of those cells), so a changed
// number in the chart's data changes what the chart shows even when the
// cells lie in a workbook the comparison never opens.
//
// The lines (UTF-8, without line ends), one chart after the other:
//
//   【グラフ】TITLE                 always, the title empty when there is none
//   【項目軸】TITLE                 one per titled axis: category (or date)
//   【値軸】TITLE                   axis, value axis, series axis, in the
//   【系列軸】TITLE                 chart's order
//   【系列】NAME<TAB>CAT: VALUE<TAB>CAT: VALUE ...
//                                   one per series: its name ("系列N", N its
//                                   number from 1, when it has none), then
//                                   one field per point; "CAT: " is left
//                                   out when the series has no categories,
//                                   a bubble's size follows its value as
//                                   " (SIZE)"
#ifndef VERGLE_CHART_TEXT_H
#define VERGLE_CHART_TEXT_H

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <utility>
#include <vector>

enum chart_axis_kind { CHART_AXIS_CATEGORY, CHART_AXIS_VALUE, CHART_AXIS_SERIES };

// The points of one kind of a series' data, by point index (0-based), in the
// order met; a later text for the same index replaces an earlier one.
using chart_points = std::vector<std::pair<uint32_t, std::string>>;

struct chart_series {
    int number = 0;          // its number among the chart's series, from 1
    bool named = false;      // the name below was given (it may be empty)
    std::string name;
    chart_points categories; // category labels, or a scatter chart's x values
    chart_points values;     // the values, as shown
    chart_points sizes;      // bubble sizes
};

struct chart_axis_title {
    chart_axis_kind kind;
    std::string text;
};

struct chart_text {
    std::string title;
    std::vector<chart_axis_title> axes;
    std::vector<chart_series> series;
};

// Shows a cached number through its number-format code (UTF-8, "General"
// or empty for none); date1904: the chart counts its date serials from
// 1904-01-01.  The workbook readers pass their number-format engine;
// chart_format_number is the one that needs nothing.
using chart_number_format = std::function<std::string(double value, const std::string& code, bool date1904)>;

// Shows a number as General does (at most 11 characters, scientific beyond)
// or through a plain number code: digit placeholders 0 # ?, thousands
// separators, decimals, percent, scaling commas, literal texts and the
// sections for negative numbers and zero.  Any other code (dates, times,
// fractions, conditions) shows the number as General.
std::string chart_format_number(double value, const std::string& code);

// Reads a DrawingML chart part (c:chartSpace; the chart namespace under any
// prefix) of len bytes into out.  Malformed XML ends the reading where it
// stands and keeps what was read; format shows the cached numbers (null:
// chart_format_number).  0, or -2 when memory runs out.
int chart_read_part(const char* xml, size_t len, const chart_number_format& format, chart_text& out);

// The lines of a chart (above).
std::vector<std::string> chart_lines(const chart_text& chart);

// The lines joined, each followed by "\n".
std::string chart_lines_text(const chart_text& chart);

#endif
