// The chart records of a legacy workbook (see biff_chart.h).
#include "biff_chart.h"

#include <algorithm>

#include "biff_text.h"
#include "byte_cursor.h"

namespace xls {

namespace {

enum : uint16_t {
    R_BOF = 0x0809,
    R_EOF = 0x000A,
    R_NUMBER = 0x0203,
    R_LABEL = 0x0204,
    R_BOOLERR = 0x0205,
    R_SERIES = 0x1003,
    R_SERIESTEXT = 0x100D,
    R_TEXT = 0x1025,
    R_OBJECTLINK = 0x1027,
    R_BEGIN = 0x1033,
    R_END = 0x1034,
    R_SERPARENT = 0x104A,
    R_SIINDEX = 0x1065,
};

// ObjectLink targets.
enum { LINK_CHART = 1, LINK_VALUE_AXIS = 2, LINK_CATEGORY_AXIS = 3, LINK_SERIES_AXIS = 7 };

const char* boolerr_text(unsigned value, bool error) {
    if (!error) return value ? "TRUE" : "FALSE";
    switch (value) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    default: return "#N/A";
    }
}

}  // namespace

void biff_chart::begin(int version, int codepage) {
    depth_ = 1;
    version_ = version;
    codepage_ = codepage;
    last_ = 0;
    blocks_.clear();
    chart_ = chart_text();
    auxiliary_.clear();
    series_ = -1;
    text_.clear();
    link_ = 0;
    data_ = 0;
    lines_.clear();
}

bool biff_chart::record(uint16_t type, const unsigned char* data, size_t len, const number_format& format) {
    if (depth_ == 0) return false;
    byte_cursor c(data, len);
    switch (type) {
    case R_BOF: ++depth_; break;
    case R_EOF:
        if (--depth_ == 0) {
            finish();
            return true;
        }
        break;
    case R_BEGIN:
        blocks_.push_back(last_);
        if (last_ == R_TEXT) {
            text_.clear();
            link_ = 0;
        }
        break;
    case R_END:
        if (blocks_.empty()) break;
        if (blocks_.back() == R_TEXT) {
            if (link_ == LINK_CHART) chart_.title = text_;
            else if (link_ == LINK_VALUE_AXIS) chart_.axes.push_back({CHART_AXIS_VALUE, text_});
            else if (link_ == LINK_CATEGORY_AXIS) chart_.axes.push_back({CHART_AXIS_CATEGORY, text_});
            else if (link_ == LINK_SERIES_AXIS) chart_.axes.push_back({CHART_AXIS_SERIES, text_});
            link_ = 0;
        } else if (blocks_.back() == R_SERIES) {
            series_ = -1;
        }
        blocks_.pop_back();
        break;
    case R_SERIES:
        chart_.series.emplace_back();
        chart_.series.back().number = static_cast<int>(chart_.series.size());
        auxiliary_.push_back(false);
        series_ = static_cast<int>(chart_.series.size()) - 1;
        break;
    case R_SERPARENT:
        if (series_ >= 0) auxiliary_[static_cast<size_t>(series_)] = true;
        break;
    case R_SERIESTEXT: {
        uint16_t id = 0;
        uint8_t count = 0, option = 0;
        if (!c.u16(id) || !c.u8(count)) break;
        std::string text;
        const unsigned char* p = nullptr;
        if (version_ == 8 && c.u8(option) && option <= 1) {
            size_t n = std::min<size_t>(count, c.remaining() / (option ? 2 : 1));
            if (!c.bytes(p, n * (option ? 2 : 1))) break;
            bool ok = option ? utf16le_to_utf8(p, n, text) : latin1_to_utf8(p, n, text);
            if (!ok) text.clear();
        } else {
            c.seek(3);
            size_t n = std::min<size_t>(count, c.remaining());
            if (!c.bytes(p, n) || !codepage_to_utf8(codepage_, p, n, text)) text.clear();
        }
        uint16_t block = blocks_.empty() ? 0 : blocks_.back();
        if (block == R_TEXT) {
            text_ = text;
        } else if (block == R_SERIES && series_ >= 0) {
            chart_series& s = chart_.series[static_cast<size_t>(series_)];
            s.named = true;
            s.name = text;
        }
        break;
    }
    case R_OBJECTLINK: {
        uint16_t what = 0;
        if (c.u16(what)) link_ = what;
        break;
    }
    case R_SIINDEX: {
        uint16_t kind = 0;
        data_ = c.u16(kind) ? kind : 0;
        break;
    }
    case R_NUMBER:
    case R_LABEL:
    case R_BOOLERR: {
        uint16_t row = 0, column = 0, xf = 0;
        if (data_ < 1 || data_ > 3 || !c.u16(row) || !c.u16(column) || !c.u16(xf)) break;
        if (column >= chart_.series.size()) break;
        std::string shown;
        if (type == R_NUMBER) {
            double v = 0;
            if (!c.f64(v)) break;
            shown = format ? format(xf, v) : chart_format_number(v, "");
        } else if (type == R_BOOLERR) {
            uint8_t value = 0, error = 0;
            if (!c.u8(value) || !c.u8(error)) break;
            shown = boolerr_text(value, error != 0);
        } else {
            uint16_t count = 0;
            uint8_t option = 0;
            const unsigned char* p = nullptr;
            if (!c.u16(count)) break;
            if (version_ == 8 && c.u8(option)) {
                bool wide = option & 1;
                size_t n = std::min<size_t>(count, c.remaining() / (wide ? 2 : 1));
                if (!c.bytes(p, n * (wide ? 2 : 1))) break;
                if (!(wide ? utf16le_to_utf8(p, n, shown) : latin1_to_utf8(p, n, shown))) shown.clear();
            } else {
                c.seek(8);
                size_t n = std::min<size_t>(count, c.remaining());
                if (!c.bytes(p, n) || !codepage_to_utf8(codepage_, p, n, shown)) shown.clear();
            }
        }
        chart_series& s = chart_.series[column];
        chart_points& points = data_ == 1 ? s.values : data_ == 2 ? s.categories : s.sizes;
        points.emplace_back(row, std::move(shown));
        break;
    }
    default: break;
    }
    if (type != R_BEGIN && type != R_END) last_ = type;
    return false;
}

void biff_chart::finish() {
    // Trendlines and error bars are no series of their own.
    chart_text shown = chart_;
    shown.series.clear();
    int number = 0;
    for (size_t i = 0; i < chart_.series.size(); ++i) {
        if (auxiliary_[i]) continue;
        shown.series.push_back(chart_.series[i]);
        shown.series.back().number = ++number;
    }
    lines_ = chart_lines(shown);
}

}  // namespace xls

#include <new>

#include "biff_records.h"

namespace xls {

std::string biff_book::format_number(int, double value) const { return chart_format_number(value, ""); }

int biff_reader::chart_record(uint16_t type, const unsigned char* data, size_t len) {
    if (type == BIFF_BOF) {
        uint16_t kind = 0;
        read_u16_at(data, len, 2, kind);
        if (!chart_.active()) {
            if (kind == 0x0020) chart_.begin(version_, codepage_);
            return 0;
        }
        // A sheet starting inside a chart: the chart was cut short.
        if (kind == 0x0005 || kind == 0x0010) {
            chart_.abandon();
            return 0;
        }
    }
    if (!chart_.active()) return 0;
    try {
        auto format = [this](int xf, double value) { return book_.format_number(xf, value); };
        if (!chart_.record(type, data, len, format)) return 0;
        for (const std::string& line : chart_.lines()) {
            int rc = book_.add_text_object(sheet_, line);
            if (rc != 0) return rc;
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return 0;
}

}  // namespace xls
