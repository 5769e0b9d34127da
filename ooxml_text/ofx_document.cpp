// The document state of a dump: note marks, sections, and what each page
// file carries after its separator line.
#include "ofx_document.h"

#include <algorithm>
#include <cstdlib>

#include "ofx_internal.h"
#include "ofx_numfmt.h"
#include "ofx_package.h"
#include "ofx_smartart.h"
#include "ofx_xml.h"

namespace {

void read_note_format(const ofx_xml& x, ofx_note_format* f) {
    std::string v;
    if (!x.attr(OFX_NS_W, "val", &v)) return;
    if (x.local() == "numFmt") f->format = v;
    else if (x.local() == "numStart") f->start = std::strtol(v.c_str(), nullptr, 10);
    else if (x.local() == "numRestart") f->restart = v == "eachSect" ? 1 : 0;
}

// The order of the texts after the separator line.
int kind_rank(char kind) {
    switch (kind) {
    case OFX_REF_COMMENT: return 0;
    case OFX_REF_HEADER: return 1;
    case OFX_REF_FOOTER: return 2;
    case OFX_REF_FOOTNOTE: return 3;
    default: return 4;
    }
}

// The header types in the order they are written.
int type_rank(const std::string& type) {
    return type == "default" ? 0 : type == "first" ? 1 : type == "even" ? 2 : 3;
}

}  // namespace

std::vector<ofx_section> ofx_read_sections(const char* xml, size_t len,
                                           const std::map<std::string, std::string>& targets,
                                           std::set<std::string>* anchors) {
    std::vector<ofx_section> out;
    ofx_section current;
    ofx_xml x(xml, len);
    // The names of the open wordprocessing elements ("" for others), and
    // the depth below which nothing counts (deleted or former content).
    std::vector<std::string> names;
    int hidden = -1;
    int sect_depth = -1;           // the w:sectPr being read
    ofx_note_format* notes = nullptr;  // its w:footnotePr or w:endnotePr
    int notes_depth = -1;
    auto has = [&](const char* n, size_t below) {
        for (size_t i = 0; i + below < names.size(); ++i)
            if (names[i] == n) return true;
        return false;
    };
    for (;;) {
        ofx_xml::token t = x.next();
        if (t == ofx_xml::DONE || t == ofx_xml::BAD_END) break;
        if (t == ofx_xml::END) {
            if (names.empty()) break;
            names.pop_back();
            int depth = static_cast<int>(names.size());
            if (depth == hidden) hidden = -1;
            if (depth == sect_depth) {
                sect_depth = -1;
                out.push_back(std::move(current));
                current = ofx_section();
            }
            if (depth == notes_depth) notes = nullptr;
            continue;
        }
        if (t != ofx_xml::START) continue;
        std::string name = x.ns() == OFX_NS_W ? std::string(x.local()) : std::string();
        names.push_back(name);
        // Deeper than the walk goes, the walk fails anyway.
        if (names.size() > OFX_MAX_DEPTH) break;
        if (hidden >= 0) continue;
        int at = static_cast<int>(names.size()) - 1;
        if ((x.ns() == OFX_NS_MC && x.local() == "Fallback") || name == "del" || name == "moveFrom" ||
            name == "pPrChange" || name == "rPrChange" || name == "sectPrChange") {
            hidden = at;
            continue;
        }
        if (name == "commentReference" || name == "footnoteReference" || name == "endnoteReference") {
            std::string id;
            x.attr(OFX_NS_W, "id", &id);
            char kind = name[0] == 'c' ? OFX_REF_COMMENT : name[0] == 'f' ? OFX_REF_FOOTNOTE : OFX_REF_ENDNOTE;
            if (anchors) anchors->insert(std::string(1, kind) + id);
            continue;
        }
        if (name == "sectPr" && sect_depth < 0) {
            // A section ends here: in a body paragraph's properties, or in
            // the body itself; not inside tables or text boxes.
            const std::string& parent = at >= 1 ? names[static_cast<size_t>(at - 1)] : std::string();
            const std::string& grand = at >= 2 ? names[static_cast<size_t>(at - 2)] : std::string();
            bool in_paragraph = parent == "pPr" && grand == "p";
            if (!has("tbl", 1) && !has("txbxContent", 1) && (in_paragraph ? true : !has("p", 1)))
                sect_depth = at;
            continue;
        }
        if (sect_depth < 0) continue;
        if (name == "headerReference" || name == "footerReference") {
            std::string type = "default", id;
            x.attr(OFX_NS_W, "type", &type);
            if (!x.attr(OFX_NS_R, "id", &id)) continue;
            auto target = targets.find(id);
            if (target == targets.end()) continue;
            auto& list = name == "headerReference" ? current.headers : current.footers;
            list.emplace_back(type, target->second);
        } else if ((name == "footnotePr" || name == "endnotePr") && at == sect_depth + 1) {
            notes = name == "footnotePr" ? &current.footnotes : &current.endnotes;
            notes_depth = at;
        } else if (notes && at == notes_depth + 1) {
            read_note_format(x, notes);
        }
    }
    return out;
}

void ofx_read_note_settings(const char* xml, size_t len, ofx_note_format* footnotes, ofx_note_format* endnotes) {
    ofx_xml x(xml, len);
    ofx_note_format* notes = nullptr;
    size_t notes_depth = 0;
    for (;;) {
        ofx_xml::token t = x.next();
        if (t == ofx_xml::DONE || t == ofx_xml::BAD_END) break;
        if (t == ofx_xml::END) {
            if (notes && x.depth() < notes_depth) notes = nullptr;
            continue;
        }
        if (t != ofx_xml::START || x.ns() != OFX_NS_W) continue;
        // The settings' own note properties lie right below the root.
        if (x.depth() == 2 && (x.local() == "footnotePr" || x.local() == "endnotePr")) {
            notes = x.local() == "footnotePr" ? footnotes : endnotes;
            notes_depth = x.depth();
        } else if (notes && x.depth() == notes_depth + 1) {
            read_note_format(x, notes);
        }
    }
}

std::string ofx_document::note_mark(char kind, const std::string& id) {
    bool end = kind == OFX_REF_ENDNOTE;
    const ofx_note_format& dflt = end ? endnote_default : footnote_default;
    const ofx_note_format* sect = nullptr;
    if (section < sections.size()) sect = end ? &sections[section].endnotes : &sections[section].footnotes;
    std::string format = sect && !sect->format.empty() ? sect->format
                       : !dflt.format.empty()        ? dflt.format
                       : end                          ? "lowerRoman"
                                                      : "decimal";
    long start = sect && sect->start >= 0 ? sect->start : dflt.start >= 0 ? dflt.start : 1;
    int restart = sect && sect->restart >= 0 ? sect->restart : dflt.restart >= 0 ? dflt.restart : 0;
    long& count = end ? endnote_count : footnote_count;
    size_t& counted_in = end ? endnote_section_ : footnote_section_;
    if (restart == 1 && counted_in != section) count = 0;
    counted_in = section;
    if (count < 1000000000L) ++count;
    std::string mark = ofx_format_number(format, start + count - 1);
    (end ? endnote_marks : footnote_marks).emplace(id, mark);
    return mark;
}

void ofx_document::section_ended() {
    ++section;
    section_pending = true;
}

void ofx_document::lines_coming() {
    if (!section_pending) return;
    section_pending = false;
    if (section >= sections.size()) return;
    const ofx_section& s = sections[section];
    // A section without its own header of a kind keeps the one before.
    for (int pass = 0; pass < 2; ++pass) {
        const auto& refs = pass == 0 ? s.headers : s.footers;
        auto& now = pass == 0 ? headers_now_ : footers_now_;
        auto& shown = header_parts_shown;
        char kind = pass == 0 ? OFX_REF_HEADER : OFX_REF_FOOTER;
        for (const auto& [type, part] : refs) now[type] = part;
        std::vector<std::pair<std::string, std::string>> in_force(now.begin(), now.end());
        std::stable_sort(in_force.begin(), in_force.end(),
                         [](const auto& a, const auto& b) { return type_rank(a.first) < type_rank(b.first); });
        for (const auto& [type, part] : in_force) {
            std::string key = std::string(1, kind) + type;
            auto it = shown.find(key);
            if (it != shown.end() && it->second == part) continue;
            shown[key] = part;
            page_refs.emplace_back(kind, part);
        }
    }
}

void ofx_document::page_ref(char kind, const std::string& id) {
    if (written.insert(std::string(1, kind) + id).second) page_refs.emplace_back(kind, id);
}

std::string ofx_document::header_text(char kind, const std::string& part, OFX_CONTEXT* ctx) {
    auto cached = header_cache_.find(part);
    if (cached != header_cache_.end()) return cached->second;
    int mode = kind == OFX_REF_HEADER ? OFX_MODE_DOCX_HEADER : OFX_MODE_DOCX_FOOTER;
    std::string text = std::string(ofx_label_text(mode)) + "\n";
    std::string saved_part = part;
    saved_part.swap(this->part);
    ofx_numbering::count_state counts = numbering.take_counts();
    if (pkg)
        pkg->with_member(part, [&](const char* xml, size_t size) {
            return ofx_walk_to_text(ctx, mode, xml, size, &text);
        });
    numbering.put_counts(std::move(counts));
    saved_part.swap(this->part);
    // A header has no note of its own to mark.
    for (size_t at; (at = text.find(OFX_NOTE_SELF)) != std::string::npos;) text.erase(at, 3);
    header_cache_.emplace(part, text);
    return text;
}

void ofx_document::add_unnamed() {
    for (const std::string& id : comment_order)
        if (!anchors.count(std::string(1, OFX_REF_COMMENT) + id)) page_ref(OFX_REF_COMMENT, id);
    std::set<std::string> named;
    for (const ofx_section& s : sections) {
        for (const auto& h : s.headers) named.insert(h.second);
        for (const auto& f : s.footers) named.insert(f.second);
    }
    for (const std::string& part : all_headers)
        if (!named.count(part)) page_ref(OFX_REF_HEADER, part);
    for (const std::string& part : all_footers)
        if (!named.count(part)) page_ref(OFX_REF_FOOTER, part);
    for (const std::string& id : footnote_order)
        if (!anchors.count(std::string(1, OFX_REF_FOOTNOTE) + id)) page_ref(OFX_REF_FOOTNOTE, id);
    for (const std::string& id : endnote_order)
        if (!anchors.count(std::string(1, OFX_REF_ENDNOTE) + id)) page_ref(OFX_REF_ENDNOTE, id);
}

int ofx_document::end_page(OFX_CONTEXT* ctx, bool last) {
    if (ctx->skip_shapes) {
        page_refs.clear();
        return 0;
    }
    if (!first_page_done_) {
        first_page_done_ = true;
        add_unnamed();
    }
    if (last) {
        // Whatever the walk did not meet after all.
        for (const std::string& id : comment_order) page_ref(OFX_REF_COMMENT, id);
        for (const std::string& id : footnote_order) page_ref(OFX_REF_FOOTNOTE, id);
        for (const std::string& id : endnote_order) page_ref(OFX_REF_ENDNOTE, id);
    }
    std::string text = OFX_EXTRA_SEPARATOR "\n";
    std::stable_sort(page_refs.begin(), page_refs.end(),
                     [](const auto& a, const auto& b) { return kind_rank(a.first) < kind_rank(b.first); });
    for (const auto& [kind, id] : page_refs) {
        std::string item;
        switch (kind) {
        case OFX_REF_COMMENT: {
            auto it = comments.find(id);
            if (it != comments.end()) item = it->second;
            break;
        }
        case OFX_REF_FOOTNOTE:
        case OFX_REF_ENDNOTE: {
            bool end = kind == OFX_REF_ENDNOTE;
            const auto& texts = end ? endnotes : footnotes;
            auto it = texts.find(id);
            if (it == texts.end()) break;
            const auto& marks = end ? endnote_marks : footnote_marks;
            auto m = marks.find(id);
            std::string self = m == marks.end() ? std::string() : "[" + m->second + "]";
            item = it->second;
            for (size_t at = item.find(OFX_NOTE_SELF); at != std::string::npos; at = item.find(OFX_NOTE_SELF, at)) {
                item.replace(at, 3, self);
                at += self.size();
            }
            break;
        }
        default: item = header_text(kind, id, ctx); break;
        }
        text += item;
    }
    page_refs.clear();
    for (char c : text)
        if (c == '\n') ctx->line_count += 1;
    if (ofx_write_utf8(ctx, text) != 0) return -2;
    return ofx_write_failed(ctx) ? -103 : 0;
}

std::string ofx_document::smartart(const std::string& rel_id) const {
    if (!pkg) return std::string();
    for (const ofx_relationship& r : pkg->relationships(part)) {
        if (r.id != rel_id) continue;
        std::string text;
        pkg->with_member(r.target, [&](const char* xml, size_t size) {
            text = ofx_smartart_text(xml, size);
            return 0;
        });
        return text;
    }
    return std::string();
}
