// The lines of a chart (see chart_text.h).
#include "chart_text.h"

#include <map>

namespace {

// A text inside a line: its line breaks and tabs become blanks, so that
// each line of the layout stays one line with its fields.
std::string field(const std::string& s) {
    std::string out = s;
    for (char& c : out)
        if (c == '\n' || c == '\r' || c == '\t') c = ' ';
    return out;
}

std::map<uint32_t, const std::string*> by_index(const chart_points& points) {
    std::map<uint32_t, const std::string*> m;
    for (const auto& p : points) m[p.first] = &p.second;
    return m;
}

const char* axis_label(chart_axis_kind kind) {
    switch (kind) {
    case CHART_AXIS_CATEGORY: return "【項目軸】";
    case CHART_AXIS_VALUE: return "【値軸】";
    default: return "【系列軸】";
    }
}

}  // namespace

std::vector<std::string> chart_lines(const chart_text& chart) {
    std::vector<std::string> lines;
    lines.push_back("【グラフ】" + field(chart.title));
    for (const chart_axis_title& a : chart.axes) lines.push_back(axis_label(a.kind) + field(a.text));
    // A series without categories of its own is plotted against the
    // category axis, which the first series with categories labels.
    const chart_points* shared = nullptr;
    for (const chart_series& s : chart.series) {
        if (!s.categories.empty()) {
            shared = &s.categories;
            break;
        }
    }
    for (const chart_series& s : chart.series) {
        std::string line = "【系列】";
        line += s.named ? field(s.name) : "系列" + std::to_string(s.number);
        const chart_points* cats = s.categories.empty() ? shared : &s.categories;
        auto cat = cats ? by_index(*cats) : std::map<uint32_t, const std::string*>{};
        auto val = by_index(s.values);
        auto size = by_index(s.sizes);
        std::map<uint32_t, bool> points;
        for (const auto& p : s.values) points[p.first] = true;
        for (const auto& p : s.sizes) points[p.first] = true;
        for (const auto& p : s.categories) points[p.first] = true;
        for (const auto& p : points) {
            uint32_t i = p.first;
            line += '\t';
            if (cats) {
                auto c = cat.find(i);
                if (c != cat.end()) line += field(*c->second);
                line += ": ";
            }
            auto v = val.find(i);
            if (v != val.end()) line += field(*v->second);
            auto z = size.find(i);
            if (z != size.end()) line += " (" + field(*z->second) + ")";
        }
        lines.push_back(std::move(line));
    }
    return lines;
}

std::string chart_lines_text(const chart_text& chart) {
    std::string out;
    for (const std::string& line : chart_lines(chart)) {
        out += line;
        out += '\n';
    }
    return out;
}
