// Charts in a workbook's drawings: the text of each chart (charts/) becomes
// text objects on the drawing's sheet, one per line, where the chart stands
// among the drawing's shapes.
#ifndef XLSX_CHART_H
#define XLSX_CHART_H

#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "xlsx_scan.h"

// What the package reader tells about the drawing being read.
struct xlsx_charts {
    std::map<std::string, std::string> targets;  // relationship id -> chart member
    // Reads a member whole: 0, -1 when it is missing, -2 memory.
    std::function<int(const std::string& member, std::string& text)> read;
};

// The chart that a "c:chart" tag of a drawing names (its relationship id):
// its lines as text objects on the drawing's sheet.  A chart whose part is
// missing or unreadable adds nothing.  0, or -2 memory.
int xlsx_chart_objects(xml_scan& s, std::string_view tag);

// The lines of a chart part, its numbers shown by the book's number-format
// engine.  0, or -2 memory.
int xlsx_chart_lines(const std::string& xml, std::vector<std::string>& lines);

#endif
