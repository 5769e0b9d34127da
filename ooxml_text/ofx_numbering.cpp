// The numbering engine of Word's numbering part.
#include "ofx_numbering.h"

#include <cstdlib>

#include "ofx_numfmt.h"
#include "ofx_xml.h"

namespace {

// A decimal attribute; false when absent or not a number.
bool number_attr(const ofx_xml& x, long* out) {
    std::string v;
    if (!x.attr(OFX_NS_W, "val", &v) || v.empty()) return false;
    char* stop = nullptr;
    long n = std::strtol(v.c_str(), &stop, 10);
    if (!stop || *stop != '\0') return false;
    // Counts stay far from overflow.
    if (n > 1000000000L) n = 1000000000L;
    if (n < -1000000000L) n = -1000000000L;
    *out = n;
    return true;
}

// An on/off property: present without a value means on.
int on_off(const ofx_xml& x) {
    std::string v;
    if (!x.attr(OFX_NS_W, "val", &v)) return 1;
    return v == "0" || v == "false" || v == "off" ? 0 : 1;
}

// The names of the open elements of a part, for questions about where the
// reader stands: only wordprocessing elements keep their names; mc:Fallback
// is remembered so that what it holds is passed over.
struct path {
    std::vector<std::string> names;
    int fallback_depth = -1;

    void open(const ofx_xml& x) {
        if (x.ns() == OFX_NS_MC && x.local() == "Fallback" && fallback_depth < 0)
            fallback_depth = static_cast<int>(names.size());
        // mc:AlternateContent and mc:Choice stand between a level and its
        // number format: they do not count.
        bool wrapper = x.ns() == OFX_NS_MC && (x.local() == "AlternateContent" || x.local() == "Choice");
        names.emplace_back(x.ns() == OFX_NS_W ? std::string(x.local()) : std::string(wrapper ? "" : "?"));
    }
    void close() {
        if (names.empty()) return;
        names.pop_back();
        if (static_cast<int>(names.size()) == fallback_depth) fallback_depth = -1;
    }
    bool hidden() const { return fallback_depth >= 0; }
    // The name `up` levels above the current element (0: the element
    // itself), the wrappers not counted (a few at most).
    const std::string& at(size_t up) const {
        static const std::string none;
        size_t i = names.size(), wrappers = 0;
        while (i > 0) {
            --i;
            if (names[i].empty() && i + 1 < names.size() && ++wrappers <= 4) continue;
            if (up == 0) return names[i];
            --up;
        }
        return none;
    }
};

}  // namespace

void ofx_numbering::read_numbering(const char* xml, size_t len) {
    ofx_xml x(xml, len);
    path at;
    abstract_num* abs = nullptr;
    num* instance = nullptr;
    level* lvl = nullptr;
    int override_ilvl = -1;
    for (;;) {
        ofx_xml::token t = x.next();
        if (t == ofx_xml::DONE || t == ofx_xml::BAD_END) break;
        if (t == ofx_xml::END) {
            const std::string& name = at.at(0);
            if (name == "lvl") lvl = nullptr;
            else if (name == "abstractNum") abs = nullptr;
            else if (name == "num") instance = nullptr;
            else if (name == "lvlOverride") override_ilvl = -1;
            at.close();
            continue;
        }
        if (t != ofx_xml::START) continue;
        at.open(x);
        if (at.hidden() || x.ns() != OFX_NS_W) continue;
        std::string_view name = x.local();
        const std::string& parent = at.at(1);
        long v = 0;
        if (name == "abstractNum") {
            std::string id;
            if (x.attr(OFX_NS_W, "abstractNumId", &id)) abs = &abstracts_[std::strtol(id.c_str(), nullptr, 10)];
        } else if (name == "num" && parent == "numbering") {
            std::string id;
            if (x.attr(OFX_NS_W, "numId", &id)) instance = &nums_[std::strtol(id.c_str(), nullptr, 10)];
        } else if (name == "lvl") {
            std::string i;
            long n = x.attr(OFX_NS_W, "ilvl", &i) ? std::strtol(i.c_str(), nullptr, 10) : 0;
            if (n < 0 || n > 8) {
                lvl = nullptr;
            } else if (parent == "abstractNum" && abs) {
                lvl = &abs->levels[static_cast<size_t>(n)];
            } else if (parent == "lvlOverride" && instance && override_ilvl >= 0) {
                lvl = &instance->level_override[override_ilvl];
            }
        } else if (name == "abstractNumId" && parent == "num" && instance && number_attr(x, &v)) {
            instance->abstract_id = v;
        } else if (name == "lvlOverride" && instance) {
            std::string i;
            long n = x.attr(OFX_NS_W, "ilvl", &i) ? std::strtol(i.c_str(), nullptr, 10) : -1;
            override_ilvl = n >= 0 && n <= 8 ? static_cast<int>(n) : -1;
        } else if (name == "startOverride" && instance && override_ilvl >= 0 && number_attr(x, &v)) {
            instance->start_override[override_ilvl] = v;
        } else if (name == "numStyleLink" && parent == "abstractNum" && abs) {
            x.attr(OFX_NS_W, "val", &abs->num_style_link);
        } else if (lvl && parent == "lvl") {
            std::string s;
            if (name == "start" && number_attr(x, &v)) lvl->start = v;
            else if (name == "numFmt" && x.attr(OFX_NS_W, "val", &s)) {
                lvl->format = s;
                x.attr(OFX_NS_W, "format", &lvl->custom);
            } else if (name == "lvlText" && x.attr(OFX_NS_W, "val", &s)) {
                lvl->text = s;
            } else if (name == "lvlRestart" && number_attr(x, &v)) lvl->restart = v;
            else if (name == "isLgl") lvl->legal = on_off(x) == 1;
            else if (name == "suff" && x.attr(OFX_NS_W, "val", &s))
                lvl->suffix = std::string(s == "space" ? " " : s == "nothing" ? "" : "\t");
            else if (name == "pStyle") x.attr(OFX_NS_W, "val", &lvl->style);
        }
    }
}

void ofx_numbering::read_styles(const char* xml, size_t len) {
    ofx_xml x(xml, len);
    path at;
    style* st = nullptr;
    for (;;) {
        ofx_xml::token t = x.next();
        if (t == ofx_xml::DONE || t == ofx_xml::BAD_END) break;
        if (t == ofx_xml::END) {
            if (at.at(0) == "style") st = nullptr;
            at.close();
            continue;
        }
        if (t != ofx_xml::START) continue;
        at.open(x);
        if (at.hidden() || x.ns() != OFX_NS_W) continue;
        std::string_view name = x.local();
        long v = 0;
        if (name == "style" && at.at(1) == "styles") {
            std::string id, type, dflt;
            x.attr(OFX_NS_W, "styleId", &id);
            st = &styles_[id];
            x.attr(OFX_NS_W, "type", &type);
            if ((type.empty() || type == "paragraph") && x.attr(OFX_NS_W, "default", &dflt) &&
                (dflt == "1" || dflt == "true" || dflt == "on") && default_style_.empty())
                default_style_ = id;
        } else if (!st) {
            continue;
        } else if (name == "basedOn" && at.at(1) == "style") {
            x.attr(OFX_NS_W, "val", &st->based_on);
        } else if (at.at(1) == "numPr" && at.at(2) == "pPr" && at.at(3) == "style") {
            if (name == "numId" && number_attr(x, &v)) {
                st->has_num_id = true;
                st->num_id = v;
            } else if (name == "ilvl" && number_attr(x, &v)) {
                st->has_ilvl = true;
                st->ilvl = v;
            }
        } else if (name == "pageBreakBefore" && at.at(1) == "pPr" && at.at(2) == "style") {
            st->page_break_before = on_off(x);
        }
    }
}

void ofx_numbering::load(const char* numbering, size_t numbering_len, const char* styles, size_t styles_len) {
    if (numbering && numbering_len > 0) read_numbering(numbering, numbering_len);
    if (styles && styles_len > 0) read_styles(styles, styles_len);
}

template <typename F>
long ofx_numbering::inherited(const std::string& style_id, F f, std::map<std::string, long>& memo) const {
    std::vector<const std::string*> chain;
    std::set<std::string> seen;
    std::string id = style_id;
    long v = -1;
    // A chain that comes back to a style (a loop) ends there.
    while (seen.insert(id).second) {
        auto m = memo.find(id);
        if (m != memo.end()) {
            v = m->second;
            break;
        }
        auto it = styles_.find(id);
        if (it == styles_.end()) break;
        chain.push_back(&it->first);
        long own = f(it->second);
        if (own != -1) {
            v = own;
            break;
        }
        if (it->second.based_on.empty()) break;
        id = it->second.based_on;
    }
    for (const std::string* c : chain) memo[*c] = v;
    return v;
}

long ofx_numbering::abstract_of(long num_id) const {
    for (int hops = 0; hops < 8; ++hops) {
        auto n = nums_.find(num_id);
        if (n == nums_.end()) return -1;
        long a = n->second.abstract_id;
        auto abs = abstracts_.find(a);
        if (abs == abstracts_.end()) return -1;
        if (abs->second.num_style_link.empty()) return a;
        // The definition lies with the numbering style's own instance.
        long linked = inherited(abs->second.num_style_link,
                                [](const style& s) { return s.has_num_id ? s.num_id : -1L; }, num_memo_);
        if (linked < 0 || linked == num_id) return a;
        num_id = linked;
    }
    return -1;
}

const ofx_numbering::level& ofx_numbering::level_of(const num& n, long abstract_id, int ilvl) const {
    auto o = n.level_override.find(ilvl);
    if (o != n.level_override.end()) return o->second;
    auto a = abstracts_.find(abstract_id);
    static const level none;
    if (a == abstracts_.end()) return none;
    return a->second.levels[static_cast<size_t>(ilvl)];
}

long ofx_numbering::start_of(const num& n, long abstract_id, int ilvl) const {
    auto s = n.start_override.find(ilvl);
    if (s != n.start_override.end()) return s->second;
    return level_of(n, abstract_id, ilvl).start;
}

bool ofx_numbering::page_break_before(const ofx_paragraph_props& p) const {
    if (p.page_break_before >= 0) return p.page_break_before == 1;
    const std::string& id = p.style.empty() ? default_style_ : p.style;
    return inherited(id, [](const style& s) { return static_cast<long>(s.page_break_before); }, break_memo_) == 1;
}

std::string ofx_numbering::label(const ofx_paragraph_props& p) {
    const std::string& style_id = p.style.empty() ? default_style_ : p.style;
    long num_id = p.has_num_id ? p.num_id
                               : inherited(style_id, [](const style& s) { return s.has_num_id ? s.num_id : -1L; },
                                           num_memo_);
    if (num_id <= 0) return std::string();
    auto ni = nums_.find(num_id);
    if (ni == nums_.end()) return std::string();
    num& n = ni->second;
    long abstract_id = abstract_of(num_id);
    if (abstract_id < 0) return std::string();

    long ilvl = -1;
    if (p.has_ilvl) ilvl = p.ilvl;
    if (ilvl < 0) ilvl = inherited(style_id, [](const style& s) { return s.has_ilvl ? s.ilvl : -1L; }, ilvl_memo_);
    if (ilvl < 0) {
        // The level that names the paragraph's style.
        auto a = abstracts_.find(abstract_id);
        for (int k = 0; a != abstracts_.end() && k < 9 && ilvl < 0; ++k)
            if (!style_id.empty() && a->second.levels[static_cast<size_t>(k)].style == style_id) ilvl = k;
    }
    if (ilvl < 0) ilvl = 0;
    if (ilvl > 8) ilvl = 8;
    int lv = static_cast<int>(ilvl);

    counts& c = states_[abstract_id];
    if (!n.used) {
        // A restarted list: its overridden levels begin again.
        n.used = true;
        for (const auto& [k, v] : n.start_override) c.started[k] = false;
    }
    if (!c.started[lv]) {
        c.value[lv] = start_of(n, abstract_id, lv);
    } else if (c.value[lv] < 1000000000L) {
        c.value[lv] += 1;
    }
    c.started[lv] = true;
    for (int k = lv + 1; k < 9; ++k) {
        long r = level_of(n, abstract_id, k).restart;
        if (r < 0) r = k;  // restarts after any higher level
        if (r != 0 && lv < r) c.started[k] = false;
    }

    const level& def = level_of(n, abstract_id, lv);
    if (def.format == "bullet") {
        std::string t = ofx_symbol_text(def.text);
        return t.empty() ? t : t + def.suffix;
    }
    std::string out;
    const std::string& text = def.text;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 1 < text.size() && text[i + 1] >= '1' && text[i + 1] <= '9') {
            int k = text[i + 1] - '1';
            long value = c.started[k] || k == lv ? c.value[k] : start_of(n, abstract_id, k);
            const level& lk = level_of(n, abstract_id, k);
            out += def.legal && lk.format != "none" ? std::to_string(value)
                                                    : ofx_format_number(lk.format, value, lk.custom);
            ++i;
            continue;
        }
        out += text[i];
    }
    out = ofx_symbol_text(out);
    return out.empty() ? out : out + def.suffix;
}
