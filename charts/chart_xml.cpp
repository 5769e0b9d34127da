// The DrawingML chart part reader (see chart_text.h).  It steps from tag to
// tag and keeps a stack of the open elements; only the character data of
// the elements that hold what the chart shows is collected.  Formatting,
// data labels, trendlines, legends and extensions are passed over whole,
// and so is the fallback of an alternate content (its choice is read).
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <map>
#include <new>
#include <string>
#include <string_view>
#include <vector>

#include "chart_text.h"
#include "xml_text.h"

namespace {

enum ns_id { NS_OTHER, NS_C, NS_A, NS_MC };

enum code {
    E_OTHER,
    E_CHART, E_TITLE, E_TX, E_RICH, E_P, E_T, E_SER, E_IDX,
    E_CAT, E_VAL, E_XVAL, E_YVAL, E_BUBBLE,
    E_NUMCACHE, E_NUMLIT, E_MULTI, E_LVL, E_PT, E_V, E_FORMAT,
    E_CATAX, E_VALAX, E_DATEAX, E_SERAX, E_DATE1904,
    E_SKIP,  // content left out
};

struct name_code {
    ns_id ns;
    const char* local;
    code c;
};

const name_code k_names[] = {
    {NS_C, "chart", E_CHART},          {NS_C, "title", E_TITLE},
    {NS_C, "tx", E_TX},                {NS_C, "rich", E_RICH},
    {NS_A, "p", E_P},                  {NS_A, "t", E_T},
    {NS_C, "ser", E_SER},              {NS_C, "idx", E_IDX},
    {NS_C, "cat", E_CAT},              {NS_C, "val", E_VAL},
    {NS_C, "xVal", E_XVAL},            {NS_C, "yVal", E_YVAL},
    {NS_C, "bubbleSize", E_BUBBLE},    {NS_C, "numCache", E_NUMCACHE},
    {NS_C, "numLit", E_NUMLIT},        {NS_C, "multiLvlStrCache", E_MULTI},
    {NS_C, "lvl", E_LVL},              {NS_C, "pt", E_PT},
    {NS_C, "v", E_V},                  {NS_C, "formatCode", E_FORMAT},
    {NS_C, "catAx", E_CATAX},          {NS_C, "valAx", E_VALAX},
    {NS_C, "dateAx", E_DATEAX},        {NS_C, "serAx", E_SERAX},
    {NS_C, "date1904", E_DATE1904},
    {NS_C, "extLst", E_SKIP},          {NS_C, "txPr", E_SKIP},
    {NS_C, "dLbls", E_SKIP},           {NS_C, "trendline", E_SKIP},
    {NS_C, "errBars", E_SKIP},         {NS_C, "legend", E_SKIP},
    {NS_C, "spPr", E_SKIP},            {NS_MC, "Fallback", E_SKIP},
};

ns_id ns_of_uri(std::string_view uri) {
    if (uri == "http://schemas.openxmlformats.org/drawingml/2006/chart" ||
        uri == "http://purl.oclc.org/ooxml/drawingml/chart")
        return NS_C;
    if (uri == "http://schemas.openxmlformats.org/drawingml/2006/main" ||
        uri == "http://purl.oclc.org/ooxml/drawingml/main")
        return NS_A;
    if (uri == "http://schemas.openxmlformats.org/markup-compatibility/2006") return NS_MC;
    return NS_OTHER;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

const char* find(const char* from, const char* end, const char* what) {
    size_t n = std::strlen(what);
    if (static_cast<size_t>(end - from) < n) return nullptr;
    for (const char* p = from; p + n <= end; ++p) {
        p = static_cast<const char*>(std::memchr(p, what[0], static_cast<size_t>(end - p)));
        if (!p || static_cast<size_t>(end - p) < n) return nullptr;
        if (std::memcmp(p, what, n) == 0) return p;
    }
    return nullptr;
}

struct attribute {
    std::string_view name, value;  // value as written, without its quotes
};

// The attributes of a tag (from after its name to its '>').
std::vector<attribute> attributes_of(const char* p, const char* end) {
    std::vector<attribute> out;
    while (p < end) {
        while (p < end && (is_blank(*p) || *p == '/')) ++p;
        const char* n = p;
        while (p < end && !is_blank(*p) && *p != '=' && *p != '/') ++p;
        std::string_view name(n, static_cast<size_t>(p - n));
        while (p < end && is_blank(*p)) ++p;
        if (p >= end || *p != '=') {
            if (name.empty()) ++p;
            continue;
        }
        ++p;
        while (p < end && is_blank(*p)) ++p;
        if (p >= end || (*p != '"' && *p != '\'')) continue;
        char q = *p++;
        const char* v = p;
        while (p < end && *p != q) ++p;
        out.push_back({name, std::string_view(v, static_cast<size_t>(p - v))});
        if (p < end) ++p;
    }
    return out;
}

uint32_t index_of(std::string_view v) {
    uint32_t n = 0;
    auto r = std::from_chars(v.data(), v.data() + v.size(), n);
    return r.ec == std::errc() ? n : 0;
}

struct element {
    code c;
};

struct reader {
    const chart_number_format& format;
    chart_text& out;
    std::map<std::string, ns_id, std::less<>> prefixes;
    std::vector<element> stack;
    int skip_depth = -1;  // the stack depth whose content is passed over

    std::string* text_target = nullptr;  // a title or series name being read
    int text_depth = -1;
    int paragraphs = 0;

    chart_series* ser = nullptr;
    chart_points* points = nullptr;  // the data being read (categories, values, sizes)
    bool numeric = false;            // inside a number cache or literal
    std::string cache_format;        // its format code
    std::vector<chart_points> levels;  // a multi-level category cache
    bool in_lvl = false;
    uint32_t pt_idx = 0;
    std::string pt_format;
    bool pt_has_format = false;
    bool date1904 = false;
    std::string chars;  // the character data of the open c:v, a:t or c:formatCode
    bool capturing = false;

    reader(const chart_number_format& f, chart_text& o) : format(f), out(o) {}

    ns_id ns_of(std::string_view prefix) const {
        auto it = prefixes.find(prefix);
        if (it != prefixes.end()) return it->second;
        if (prefix == "c") return NS_C;
        if (prefix == "a") return NS_A;
        if (prefix == "mc") return NS_MC;
        return NS_OTHER;
    }

    code classify(std::string_view name) const {
        size_t colon = name.find(':');
        std::string_view prefix = colon == std::string_view::npos ? std::string_view() : name.substr(0, colon);
        std::string_view local = colon == std::string_view::npos ? name : name.substr(colon + 1);
        ns_id ns = ns_of(prefix);
        for (const name_code& e : k_names)
            if (e.ns == ns && local == e.local) return e.c;
        return E_OTHER;
    }

    code parent() const { return stack.empty() ? E_OTHER : stack.back().c; }

    bool inside(code c) const {
        for (const element& e : stack)
            if (e.c == c) return true;
        return false;
    }

    std::string shown(const std::string& v) const {
        double d = 0;
        const char* b = v.data();
        const char* e = b + v.size();
        while (b < e && is_blank(*b)) ++b;
        while (e > b && is_blank(e[-1])) --e;
        if (b < e && *b == '+') ++b;
        auto r = std::from_chars(b, e, d);
        if (r.ec != std::errc() || r.ptr != e || b == e) return v;
        const std::string& code = pt_has_format ? pt_format : cache_format;
        return format ? format(d, code, date1904) : chart_format_number(d, code);
    }

    void start(code c, const std::vector<attribute>& attrs) {
        code up = parent();
        switch (c) {
        case E_TITLE:
            if (text_target) break;
            if (up == E_CHART) {
                out.title.clear();
                text_target = &out.title;
            } else if (up == E_CATAX || up == E_VALAX || up == E_DATEAX || up == E_SERAX) {
                chart_axis_kind k = up == E_VALAX ? CHART_AXIS_VALUE
                                  : up == E_SERAX ? CHART_AXIS_SERIES
                                                  : CHART_AXIS_CATEGORY;
                out.axes.push_back({k, {}});
                text_target = &out.axes.back().text;
            }
            if (text_target) {
                text_depth = static_cast<int>(stack.size());
                paragraphs = 0;
            }
            break;
        case E_TX:
            if (up == E_SER && ser && !text_target) {
                ser->named = true;
                ser->name.clear();
                text_target = &ser->name;
                text_depth = static_cast<int>(stack.size());
                paragraphs = 0;
            }
            break;
        case E_P:
            if (text_target && paragraphs++ > 0) *text_target += ' ';
            break;
        case E_SER:
            // Nothing may point into the series table while it grows.
            text_target = nullptr;
            text_depth = -1;
            points = nullptr;
            out.series.emplace_back();
            ser = &out.series.back();
            ser->number = static_cast<int>(out.series.size());
            break;
        case E_IDX:
            if (up == E_SER && ser) {
                for (const attribute& a : attrs)
                    if (a.name == "val") ser->number = static_cast<int>(std::min<uint32_t>(index_of(a.value), 1u << 30)) + 1;
            }
            break;
        case E_CAT: case E_XVAL:
        case E_VAL: case E_YVAL:
        case E_BUBBLE:
            if (up == E_SER && ser) {
                points = c == E_CAT || c == E_XVAL ? &ser->categories
                       : c == E_BUBBLE            ? &ser->sizes
                                                  : &ser->values;
                points->clear();
                cache_format.clear();
                numeric = false;
            }
            break;
        case E_NUMCACHE: case E_NUMLIT:
            numeric = true;
            cache_format.clear();
            break;
        case E_MULTI: levels.clear(); break;
        case E_DATE1904:
            for (const attribute& a : attrs)
                if (a.name == "val") date1904 = a.value == "1" || a.value == "true";
            break;
        case E_LVL:
            if (inside(E_MULTI)) {
                levels.emplace_back();
                in_lvl = true;
            }
            break;
        case E_PT:
            pt_idx = 0;
            pt_has_format = false;
            for (const attribute& a : attrs) {
                if (a.name == "idx") pt_idx = index_of(a.value);
                if (a.name == "formatCode") {
                    pt_format.clear();
                    xml_append_text(pt_format, a.value.data(), a.value.data() + a.value.size());
                    pt_has_format = true;
                }
            }
            break;
        case E_V: case E_T: case E_FORMAT:
            chars.clear();
            capturing = true;
            break;
        default: break;
        }
    }

    void end(code c) {
        switch (c) {
        case E_V:
            capturing = false;
            if (text_target) {
                *text_target += chars;
            } else if (points && parent() == E_PT) {
                std::string v = numeric ? shown(chars) : chars;
                if (in_lvl && !levels.empty()) levels.back().emplace_back(pt_idx, std::move(v));
                else points->emplace_back(pt_idx, std::move(v));
            }
            break;
        case E_T:
            capturing = false;
            if (text_target && inside(E_RICH)) *text_target += chars;
            break;
        case E_FORMAT:
            capturing = false;
            if (points) cache_format = chars;
            break;
        case E_LVL: in_lvl = false; break;
        case E_MULTI:
            if (points) join_levels();
            break;
        case E_NUMCACHE: case E_NUMLIT: numeric = false; break;
        case E_CAT: case E_XVAL: case E_VAL: case E_YVAL: case E_BUBBLE:
            if (parent() == E_SER) points = nullptr;
            break;
        case E_SER: ser = nullptr; points = nullptr; break;
        default: break;
        }
        if (text_target && static_cast<int>(stack.size()) == text_depth) {
            text_target = nullptr;
            text_depth = -1;
        }
    }

    // A multi-level category: the labels of every level a point lies
    // under, outermost first; the first level holds the innermost labels.
    void join_levels() {
        if (levels.empty()) return;
        std::vector<std::map<uint32_t, std::string*>> at(levels.size());
        for (size_t l = 0; l < levels.size(); ++l)
            for (auto& p : levels[l]) at[l][p.first] = &p.second;
        for (const auto& leaf : at[0]) {
            std::string label;
            for (size_t l = levels.size(); l-- > 1;) {
                auto it = at[l].upper_bound(leaf.first);
                if (it == at[l].begin()) continue;
                --it;
                label += *it->second;
                label += ' ';
            }
            label += *leaf.second;
            points->emplace_back(leaf.first, std::move(label));
        }
        levels.clear();
    }

    int run(const char* xml, const char* stop) {
        const char* p = xml;
        while (p < stop) {
            const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(stop - p)));
            if (capturing && skip_depth < 0) xml_append_text(chars, p, lt ? lt : stop);
            if (!lt) break;
            p = lt;
            if (stop - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
                const char* close = find(p + 4, stop, "-->");
                if (!close) break;
                p = close + 3;
                continue;
            }
            if (stop - p >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
                const char* close = find(p + 9, stop, "]]>");
                if (!close) break;
                if (capturing && skip_depth < 0) chars.append(p + 9, close);
                p = close + 3;
                continue;
            }
            const char* gt = xml_tag_end(p + 1, stop);
            if (!gt) break;
            if (p + 1 < stop && (p[1] == '?' || p[1] == '!')) {
                p = gt + 1;
                continue;
            }
            if (p[1] == '/') {
                if (stack.empty()) break;
                code c = stack.back().c;
                stack.pop_back();
                if (skip_depth < 0) end(c);
                if (static_cast<int>(stack.size()) == skip_depth) skip_depth = -1;
                p = gt + 1;
                continue;
            }
            const char* n = p + 1;
            const char* ne = n;
            while (ne < gt && !is_blank(*ne) && *ne != '/') ++ne;
            bool empty = gt[-1] == '/' && gt - 1 > p;
            std::vector<attribute> attrs = attributes_of(ne, empty ? gt - 1 : gt);
            for (const attribute& a : attrs) {
                if (a.name == "xmlns") prefixes[""] = ns_of_uri(a.value);
                else if (a.name.substr(0, 6) == "xmlns:") prefixes[std::string(a.name.substr(6))] = ns_of_uri(a.value);
            }
            code c = skip_depth >= 0 ? E_OTHER : classify(std::string_view(n, static_cast<size_t>(ne - n)));
            if (c == E_SKIP && skip_depth < 0) skip_depth = static_cast<int>(stack.size());
            if (skip_depth < 0) start(c, attrs);
            stack.push_back({c});
            if (empty) {
                stack.pop_back();
                if (skip_depth < 0) end(c);
                if (static_cast<int>(stack.size()) == skip_depth) skip_depth = -1;
            }
            p = gt + 1;
        }
        // An unfinished part: what was collected stays.
        if (text_target) text_target = nullptr;
        return 0;
    }
};

}  // namespace

int chart_read_part(const char* xml, size_t len, const chart_number_format& format, chart_text& out) {
    if (!xml) return 0;
    try {
        reader r(format, out);
        return r.run(xml, xml + len);
    } catch (const std::bad_alloc&) {
        return -2;
    }
}
