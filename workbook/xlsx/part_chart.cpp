// Charts in drawings (see xlsx_chart.h).
#include <map>
#include <memory>
#include <vector>

#include "chart_text.h"
#include "number_format.h"
#include "tbx_store.h"
#include "xlsx_chart.h"

int xlsx_chart_lines(const std::string& xml, std::vector<std::string>& lines) {
    // Each code of the chart is compiled once.
    std::map<std::string, nf_format_ptr> compiled;
    chart_number_format format = [&](double value, const std::string& code, bool date1904) {
        auto it = compiled.find(code);
        if (it == compiled.end()) it = compiled.emplace(code, nf_compile(code.c_str())).first;
        char buf[512];
        size_t n = nf_render_number(it->second.get(), value, date1904, buf, sizeof buf);
        return std::string(buf, n);
    };
    chart_text chart;
    int rc = chart_read_part(xml.data(), xml.size(), format, chart);
    if (rc != 0) return rc;
    try {
        lines = chart_lines(chart);
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return 0;
}

int xlsx_chart_objects(xml_scan& s, std::string_view tag) {
    if (!s.reader || !s.reader->charts) return 0;
    xlsx_charts& charts = *s.reader->charts;
    std::vector<std::string> lines;
    try {
        // The relationship id: "r:id", under whatever prefix.
        xml_attrs a(tag);
        std::string_view name, raw;
        std::string id;
        while (a.next(name, raw)) {
            if (name.size() > 3 && name.substr(name.size() - 3) == ":id") id.assign(xml_unquoted(raw));
        }
        auto it = charts.targets.find(id);
        if (it == charts.targets.end() || !charts.read) return 0;
        std::string xml;
        int rc = charts.read(it->second, xml);
        if (rc == -2) return -2;
        if (rc != 0) return 0;
        rc = xlsx_chart_lines(xml, lines);
        if (rc != 0) return rc;
    } catch (const std::bad_alloc&) {
        return -2;
    }
    for (const std::string& line : lines)
        if (tbx_add_drawing(s.book, 1, s.sheet, line.c_str()) != 0) return -2;
    return 0;
}
