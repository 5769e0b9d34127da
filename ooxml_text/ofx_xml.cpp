// The tag tokenizer and namespace scope of the Word and PowerPoint readers.
#include "ofx_xml.h"

#include <cstring>

namespace {

struct known_ns {
    const char* uri;
    ofx_ns id;
};

// Transitional and strict names of each namespace.
const known_ns k_uris[] = {
    {"http://schemas.openxmlformats.org/wordprocessingml/2006/main", OFX_NS_W},
    {"http://purl.oclc.org/ooxml/wordprocessingml/main", OFX_NS_W},
    {"http://schemas.openxmlformats.org/drawingml/2006/main", OFX_NS_A},
    {"http://purl.oclc.org/ooxml/drawingml/main", OFX_NS_A},
    {"http://schemas.openxmlformats.org/presentationml/2006/main", OFX_NS_P},
    {"http://purl.oclc.org/ooxml/presentationml/main", OFX_NS_P},
    {"http://schemas.openxmlformats.org/markup-compatibility/2006", OFX_NS_MC},
    {"http://schemas.microsoft.com/office/powerpoint/2018/8/main", OFX_NS_P188},
    {"http://schemas.openxmlformats.org/officeDocument/2006/math", OFX_NS_M},
    {"http://purl.oclc.org/ooxml/officeDocument/math", OFX_NS_M},
    {"http://schemas.openxmlformats.org/officeDocument/2006/relationships", OFX_NS_R},
    {"http://purl.oclc.org/ooxml/officeDocument/relationships", OFX_NS_R},
    {"urn:schemas-microsoft-com:vml", OFX_NS_V},
    {"http://schemas.microsoft.com/office/word/2010/wordml", OFX_NS_W14},
    {"http://schemas.microsoft.com/office/drawing/2010/main", OFX_NS_A14},
    {"http://schemas.openxmlformats.org/drawingml/2006/diagram", OFX_NS_DGM},
    {"http://purl.oclc.org/ooxml/drawingml/diagram", OFX_NS_DGM},
    {"http://schemas.openxmlformats.org/drawingml/2006/chart", OFX_NS_C},
    {"http://purl.oclc.org/ooxml/drawingml/chart", OFX_NS_C},
    {"http://schemas.openxmlformats.org/package/2006/relationships", OFX_NS_PKG_REL},
    {"http://schemas.openxmlformats.org/package/2006/content-types", OFX_NS_CT},
    {"http://www.w3.org/XML/1998/namespace", OFX_NS_XML},
};

struct conventional_prefix {
    const char* prefix;
    ofx_ns id;
};

// What an undeclared prefix stands for.
const conventional_prefix k_prefixes[] = {
    {"w", OFX_NS_W},     {"a", OFX_NS_A},     {"p", OFX_NS_P},     {"mc", OFX_NS_MC},
    {"p188", OFX_NS_P188}, {"m", OFX_NS_M},   {"r", OFX_NS_R},     {"v", OFX_NS_V},
    {"w14", OFX_NS_W14}, {"a14", OFX_NS_A14}, {"dgm", OFX_NS_DGM}, {"c", OFX_NS_C}, {"xml", OFX_NS_XML},
};

ofx_ns of_uri(std::string_view uri) {
    for (const known_ns& k : k_uris)
        if (uri == k.uri) return k.id;
    return OFX_NS_OTHER;
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

const char* find(const char* from, const char* end, const char* what, size_t n) {
    while (from < end) {
        const char* hit = static_cast<const char*>(std::memchr(from, what[0], static_cast<size_t>(end - from)));
        if (!hit || static_cast<size_t>(end - hit) < n) return nullptr;
        if (std::memcmp(hit, what, n) == 0) return hit;
        from = hit + 1;
    }
    return nullptr;
}

// Calls f(name, value-begin, value-end) for every attribute of the tag
// [tag, close); the name runs to its '='.  Stops early when f returns true.
template <typename F>
void each_attribute(const char* tag, const char* close, F f) {
    const char* p = tag + 1;
    while (p < close && !is_blank(*p) && *p != '/' && *p != '>') ++p;  // the tag name
    while (p < close) {
        while (p < close && (is_blank(*p) || *p == '/')) ++p;
        const char* n = p;
        while (p < close && !is_blank(*p) && *p != '=' && *p != '>' && *p != '/') ++p;
        std::string_view name(n, static_cast<size_t>(p - n));
        while (p < close && is_blank(*p)) ++p;
        if (p >= close || *p != '=') {
            if (name.empty()) ++p;
            continue;
        }
        ++p;
        while (p < close && is_blank(*p)) ++p;
        if (p >= close || (*p != '"' && *p != '\'')) continue;
        char q = *p++;
        const char* v = p;
        while (p < close && *p != q) ++p;
        if (f(name, v, p)) return;
        if (p < close) ++p;
    }
}

}  // namespace

ofx_xml::ofx_xml(const char* xml, size_t len) : p_(xml), end_(xml ? xml + len : xml) {
    if (xml) {
        const char* nul = static_cast<const char*>(std::memchr(xml, '\0', len));
        if (nul) end_ = nul;
    }
}

ofx_ns ofx_xml::resolve(std::string_view prefix) const {
    for (const resolved& r : resolved_)
        if (r.valid && r.prefix == prefix) return r.ns;
    ofx_ns ns = OFX_NS_OTHER;
    bool found = false;
    if (!scope_.empty()) {
        auto it = scope_.find(std::string(prefix));
        if (it != scope_.end() && !it->second.empty()) ns = it->second.back(), found = true;
    }
    if (!found && prefix.empty()) {
        ns = OFX_NS_NONE;
    } else if (!found) {
        for (const conventional_prefix& k : k_prefixes)
            if (prefix == k.prefix) {
                ns = k.id;
                break;
            }
    }
    resolved_[1] = std::move(resolved_[0]);
    resolved_[0] = resolved{std::string(prefix), ns, true};
    return ns;
}

void ofx_xml::declare() {
    last_declared_ = 0;
    // Only a tag that holds "xmlns" declares anything.
    if (!find(tag_, close_, "xmlns", 5)) return;
    each_attribute(tag_, close_, [&](std::string_view name, const char* v, const char* e) {
        if (name.substr(0, 5) != "xmlns" || (name.size() > 5 && name[5] != ':')) return false;
        std::string prefix(name.size() > 5 ? name.substr(6) : std::string_view());
        std::string uri;
        xml_append_text(uri, v, e);
        scope_[prefix].push_back(uri.empty() && !prefix.empty() ? OFX_NS_OTHER
                                 : uri.empty()                  ? OFX_NS_NONE
                                                                : of_uri(uri));
        pushed_.push_back(std::move(prefix));
        ++last_declared_;
        resolved_[0].valid = resolved_[1].valid = false;
        return false;
    });
}

void ofx_xml::undeclare(unsigned n) {
    if (n > 0) resolved_[0].valid = resolved_[1].valid = false;
    for (; n > 0 && !pushed_.empty(); --n) {
        auto it = scope_.find(pushed_.back());
        if (it != scope_.end()) {
            it->second.pop_back();
            if (it->second.empty()) scope_.erase(it);
        }
        pushed_.pop_back();
    }
}

void ofx_xml::name_parts() {
    const char* n = tag_ + 1;
    const char* q = n;
    while (q < close_ && !is_blank(*q) && *q != '/' && *q != '>') ++q;
    qname_ = std::string_view(n, static_cast<size_t>(q - n));
    size_t colon = qname_.find(':');
    if (colon == std::string_view::npos) {
        local_ = qname_;
        ns_ = resolve(std::string_view());
    } else {
        local_ = qname_.substr(colon + 1);
        ns_ = resolve(qname_.substr(0, colon));
    }
}

bool ofx_xml::attr(ofx_ns ns, std::string_view local, std::string* value) const {
    bool found = false;
    each_attribute(tag_, close_, [&](std::string_view name, const char* v, const char* e) {
        size_t colon = name.find(':');
        std::string_view l = colon == std::string_view::npos ? name : name.substr(colon + 1);
        if (l != local) return false;
        ofx_ns n = colon == std::string_view::npos ? OFX_NS_NONE : resolve(name.substr(0, colon));
        if (n != ns) return false;
        value->clear();
        xml_append_text(*value, v, e);
        found = true;
        return true;
    });
    return found;
}

void ofx_xml::append_text(std::string& out) const {
    // CDATA holds no references.
    if (cdata_)
        xml_append_raw(out, text_b_, text_e_);
    else
        xml_append_text(out, text_b_, text_e_);
}

ofx_xml::token ofx_xml::next() {
    if (pending_end_) {
        pending_end_ = false;
        undeclare(last_declared_);
        last_declared_ = 0;
        return END;
    }
    while (p_ < end_) {
        if (*p_ != '<') {
            const char* lt = static_cast<const char*>(std::memchr(p_, '<', static_cast<size_t>(end_ - p_)));
            text_b_ = p_;
            text_e_ = lt ? lt : end_;
            cdata_ = false;
            p_ = text_e_;
            return TEXT;
        }
        const char* p = p_;
        if (end_ - p >= 2 && p[1] == '?') {
            const char* q = find(p + 2, end_, "?>", 2);
            if (!q) break;
            p_ = q + 2;
            continue;
        }
        if (end_ - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            const char* q = find(p + 4, end_, "-->", 3);
            if (!q) break;
            p_ = q + 3;
            continue;
        }
        if (end_ - p >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
            const char* q = find(p + 9, end_, "]]>", 3);
            if (!q) break;
            text_b_ = p + 9;
            text_e_ = q;
            cdata_ = true;
            p_ = q + 3;
            return TEXT;
        }
        if (end_ - p >= 2 && p[1] == '!') {
            const char* q = xml_tag_end(p + 2, end_);
            if (!q) break;
            p_ = q + 1;
            continue;
        }
        const char* gt = xml_tag_end(p + 1, end_);
        if (!gt) break;  // an unfinished tag ends the part
        tag_ = p;
        close_ = gt;
        p_ = gt + 1;
        if (p[1] == '/') {
            if (open_.empty()) return BAD_END;
            undeclare(open_.back().declared);
            open_.pop_back();
            return END;
        }
        empty_ = gt[-1] == '/' && gt - 1 > p;
        declare();
        name_parts();
        if (empty_) {
            pending_end_ = true;
        } else {
            open_.push_back(open_element{last_declared_});
            last_declared_ = 0;
        }
        return START;
    }
    p_ = end_;
    return DONE;
}
