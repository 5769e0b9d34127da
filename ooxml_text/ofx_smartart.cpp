// SmartArt text from the diagram's data part.
#include "ofx_smartart.h"

#include <algorithm>
#include <cstdlib>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "ofx_xml.h"

namespace {

struct point {
    std::string id;
    std::string type;  // "node" when not given
    std::string lines;
};

struct connection {
    std::string src, dest;
    long order = 0;
    size_t seq = 0;  // position in the list, for equal orders
};

}  // namespace

std::string ofx_smartart_text(const char* xml, size_t len) {
    std::vector<point> points;
    std::vector<connection> cxns;
    ofx_xml x(xml, len);
    // Where the reader stands: inside a point's text body, a paragraph, a
    // text element.
    int depth = 0, text_depth = -1, para_depth = -1, t_depth = -1;
    std::string para;
    for (;;) {
        ofx_xml::token tok = x.next();
        if (tok == ofx_xml::DONE || tok == ofx_xml::BAD_END) break;
        if (tok == ofx_xml::TEXT) {
            if (t_depth >= 0) x.append_text(para);
            continue;
        }
        if (tok == ofx_xml::END) {
            --depth;
            if (depth == t_depth) t_depth = -1;
            if (depth == para_depth) {
                para_depth = -1;
                if (!para.empty() && !points.empty()) points.back().lines += para + "\n";
                para.clear();
            }
            if (depth == text_depth) text_depth = -1;
            continue;
        }
        ++depth;
        int at = depth - 1;
        std::string_view l = x.local();
        if (x.ns() == OFX_NS_DGM && l == "pt") {
            point p;
            x.attr(OFX_NS_NONE, "modelId", &p.id);
            if (!x.attr(OFX_NS_NONE, "type", &p.type)) p.type = "node";
            points.push_back(std::move(p));
        } else if (x.ns() == OFX_NS_DGM && l == "cxn") {
            std::string type, order;
            if (x.attr(OFX_NS_NONE, "type", &type) && type != "parOf") continue;
            connection c;
            x.attr(OFX_NS_NONE, "srcId", &c.src);
            x.attr(OFX_NS_NONE, "destId", &c.dest);
            if (x.attr(OFX_NS_NONE, "srcOrd", &order)) c.order = std::strtol(order.c_str(), nullptr, 10);
            c.seq = cxns.size();
            cxns.push_back(std::move(c));
        } else if (x.ns() == OFX_NS_DGM && l == "t" && !points.empty() && text_depth < 0) {
            text_depth = at;
        } else if (text_depth >= 0 && x.ns() == OFX_NS_A) {
            if (l == "p" && para_depth < 0) {
                para_depth = at;
                para.clear();
            } else if (l == "t" && para_depth >= 0) {
                t_depth = at;
            } else if (l == "br" && para_depth >= 0) {
                para += "\n";
            } else if (l == "tab" && para_depth >= 0 && t_depth < 0) {
                para += "\t";
            }
        }
    }

    // The diagram's order: from the document point down its children.
    std::unordered_map<std::string, size_t> by_id;
    for (size_t i = 0; i < points.size(); ++i) by_id.emplace(points[i].id, i);
    std::stable_sort(cxns.begin(), cxns.end(), [](const connection& a, const connection& b) {
        return a.src != b.src ? a.src < b.src : a.order != b.order ? a.order < b.order : a.seq < b.seq;
    });
    std::unordered_map<std::string, std::pair<size_t, size_t>> children;  // src -> range in cxns
    for (size_t i = 0; i < cxns.size();) {
        size_t j = i;
        while (j < cxns.size() && cxns[j].src == cxns[i].src) ++j;
        children.emplace(cxns[i].src, std::make_pair(i, j));
        i = j;
    }
    std::string out;
    std::vector<bool> shown(points.size(), false);
    auto show = [&](size_t i) {
        if (shown[i]) return;
        shown[i] = true;
        if (points[i].type == "node" || points[i].type == "asst") out += points[i].lines;
    };
    for (size_t root = 0; root < points.size(); ++root) {
        if (points[root].type != "doc" || shown[root]) continue;
        std::vector<size_t> stack{root};
        std::unordered_set<std::string> visited;
        while (!stack.empty()) {
            size_t i = stack.back();
            stack.pop_back();
            if (!visited.insert(points[i].id).second) continue;
            show(i);
            auto c = children.find(points[i].id);
            if (c == children.end()) continue;
            // Pushed in reverse so that the first child comes out first.
            for (size_t k = c->second.second; k-- > c->second.first;) {
                auto d = by_id.find(cxns[k].dest);
                if (d != by_id.end() && !visited.count(points[d->second].id)) stack.push_back(d->second);
            }
        }
    }
    for (size_t i = 0; i < points.size(); ++i) show(i);
    return out;
}
