// The tag walker.  It does not validate XML: it steps from tag to tag, keeps
// a stack of the open elements with the type of each, and lays the text out
// as the office program shows it:
//   - a paragraph is one line; line breaks inside it (w:br, w:cr, a:br) end
//     the line, tabs (w:tab, w:ptab, a:tab) write a tab;
//   - a table row is one line: every cell's text followed by a tab; the
//     paragraphs of one cell are lines of their own within the cell's text;
//   - a text box (w:txbxContent) follows the text of the paragraph that
//     anchors it;
//   - only the character data of text elements (w:t, a:t) is content, so the
//     whitespace that indented XML puts between tags counts for nothing.
// Lines are collected per paragraph and written when the paragraph ends, so
// that a page break inside a paragraph can end the page exactly where it
// stands: the text before it closes the old page, the text after it opens
// the next.
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "ofx.h"
#include "ofx_internal.h"
#include "orb_text.h"
#include "platform.h"

namespace {

enum tag_type {
    T_NONE,
    T_TBL,          // w:tbl, a:tbl
    T_TR,           // w:tr, a:tr
    T_TC,           // w:tc, a:tc
    T_BR,           // w:br, a:br
    T_CR,           // w:cr
    T_P,            // w:p, a:p
    T_R,            // w:r, a:r, a:fld
    T_T,            // w:t, a:t: text
    T_TAB,          // w:tab, a:tab (a tab in a run; a tab stop elsewhere)
    T_PTAB,         // w:ptab
    T_HYPHEN,       // w:noBreakHyphen
    T_SOFT_HYPHEN,  // w:softHyphen
    T_SYM,          // w:sym
    T_PPR,          // w:pPr, a:pPr
    T_SECTPR,       // w:sectPr
    T_SECT_TYPE,    // w:type (inside w:sectPr)
    T_GRIDCOL,      // w:gridCol
    T_PICT,         // w:pict (VML picture)
    T_TXBX,         // w:txbxContent: the paragraphs of a text box
    T_SKIP,         // w:del, w:moveFrom, mc:Fallback: not shown
    T_NOTE,         // w:comment, w:footnote, w:endnote
    T_SP,           // p:sp
    T_PH,           // p:ph
    T_TXBODY,       // p:txBody, p188:txBody
    T_CM,           // p:cm, p188:cm: a presentation comment
    T_CM_TEXT,      // p:text: the text of a presentation comment
    T_CHART,        // c:chart: a chart in a drawing or a graphic frame
};

// Namespaces, told by the prefixes a part declares; a prefix declared with
// an unknown name (or not at all) stands for the namespace it usually names.
enum ns_id { NS_OTHER, NS_W, NS_A, NS_P, NS_MC, NS_P188, NS_C };

struct known_ns {
    const char* uri;
    ns_id id;
};

const known_ns k_namespaces[] = {
    {"http://schemas.openxmlformats.org/wordprocessingml/2006/main", NS_W},
    {"http://purl.oclc.org/ooxml/wordprocessingml/main", NS_W},
    {"http://schemas.openxmlformats.org/drawingml/2006/main", NS_A},
    {"http://purl.oclc.org/ooxml/drawingml/main", NS_A},
    {"http://schemas.openxmlformats.org/presentationml/2006/main", NS_P},
    {"http://purl.oclc.org/ooxml/presentationml/main", NS_P},
    {"http://schemas.openxmlformats.org/markup-compatibility/2006", NS_MC},
    {"http://schemas.microsoft.com/office/powerpoint/2018/8/main", NS_P188},
    {"http://schemas.openxmlformats.org/drawingml/2006/chart", NS_C},
    {"http://purl.oclc.org/ooxml/drawingml/chart", NS_C},
};

ns_id conventional(const std::string& prefix) {
    if (prefix == "w") return NS_W;
    if (prefix == "a") return NS_A;
    if (prefix == "p") return NS_P;
    if (prefix == "mc") return NS_MC;
    if (prefix == "p188") return NS_P188;
    if (prefix == "c") return NS_C;
    return NS_OTHER;
}

struct name_entry {
    ns_id ns;
    const char* local;
    size_t len;
    tag_type type;
};

#define NAME(ns, local, type) {ns, local, sizeof local - 1, type}

const name_entry k_names[] = {
    NAME(NS_W, "p", T_P),
    NAME(NS_W, "r", T_R),
    NAME(NS_W, "t", T_T),
    NAME(NS_W, "tab", T_TAB),
    NAME(NS_W, "ptab", T_PTAB),
    NAME(NS_W, "br", T_BR),
    NAME(NS_W, "cr", T_CR),
    NAME(NS_W, "noBreakHyphen", T_HYPHEN),
    NAME(NS_W, "softHyphen", T_SOFT_HYPHEN),
    NAME(NS_W, "sym", T_SYM),
    NAME(NS_W, "tbl", T_TBL),
    NAME(NS_W, "tr", T_TR),
    NAME(NS_W, "tc", T_TC),
    NAME(NS_W, "pPr", T_PPR),
    NAME(NS_W, "sectPr", T_SECTPR),
    NAME(NS_W, "type", T_SECT_TYPE),
    NAME(NS_W, "gridCol", T_GRIDCOL),
    NAME(NS_W, "pict", T_PICT),
    NAME(NS_W, "txbxContent", T_TXBX),
    NAME(NS_W, "del", T_SKIP),
    NAME(NS_W, "moveFrom", T_SKIP),
    NAME(NS_W, "comment", T_NOTE),
    NAME(NS_W, "footnote", T_NOTE),
    NAME(NS_W, "endnote", T_NOTE),
    NAME(NS_MC, "Fallback", T_SKIP),
    NAME(NS_A, "p", T_P),
    NAME(NS_A, "r", T_R),
    NAME(NS_A, "fld", T_R),
    NAME(NS_A, "t", T_T),
    NAME(NS_A, "br", T_BR),
    NAME(NS_A, "tab", T_TAB),
    NAME(NS_A, "tbl", T_TBL),
    NAME(NS_A, "tr", T_TR),
    NAME(NS_A, "tc", T_TC),
    NAME(NS_A, "pPr", T_PPR),
    NAME(NS_P, "sp", T_SP),
    NAME(NS_P, "ph", T_PH),
    NAME(NS_P, "txBody", T_TXBODY),
    NAME(NS_P, "cm", T_CM),
    NAME(NS_P, "text", T_CM_TEXT),
    NAME(NS_P188, "txBody", T_TXBODY),
    NAME(NS_P188, "cm", T_CM),
    NAME(NS_C, "chart", T_CHART),
};

#undef NAME

// The lines of the extra parts are introduced by these labels.
const char* const k_label_comment = "【コメント】";
const char* const k_label_footnote = "【脚注】";
const char* const k_label_endnote = "【文末脚注】";
const char* const k_label_header = "【ヘッダー】";
const char* const k_label_footer = "【フッター】";
const char* const k_label_notes = "【ノート】";

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// The first c in [p, end), or nullptr; a NUL byte ends the part.
inline const char* scan_to(const char* p, char c, const char* end) {
    for (; p < end; ++p) {
        if (*p == c) return p;
        if (*p == '\0') return nullptr;
    }
    return nullptr;
}

const char* find(const char* from, const char* end, const char* what) {
    size_t n = std::strlen(what);
    while (from < end) {
        const char* hit = scan_to(from, what[0], end);
        if (!hit || static_cast<size_t>(end - hit) < n) return nullptr;
        if (std::memcmp(hit, what, n) == 0) return hit;
        from = hit + 1;
    }
    return nullptr;
}

// The '>' that ends a tag starting at p, passing over quoted attribute
// values; nullptr when the part ends first.
const char* tag_end(const char* p, const char* end) {
    char quote = 0;
    for (; p < end; ++p) {
        char c = *p;
        if (c == '\0') return nullptr;
        if (quote) {
            if (c == quote) quote = 0;
        } else if (c == '"' || c == '\'') {
            quote = c;
        } else if (c == '>') {
            return p;
        }
    }
    return nullptr;
}


// A character of a reference or a symbol; nothing for what no text holds.
void append_utf8(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return;
    plat_append_utf8(out, static_cast<uint32_t>(cp));
}

// Appends character data with its references resolved: the five named
// entities and numeric references; anything else stays as written.
void append_text(std::string& out, const char* p, const char* end) {
    while (p < end) {
        const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        if (!amp) {
            out.append(p, end);
            return;
        }
        out.append(p, amp);
        const char* semi = static_cast<const char*>(std::memchr(amp, ';', static_cast<size_t>(end - amp)));
        if (!semi || semi - amp > 10) {
            out += '&';
            p = amp + 1;
            continue;
        }
        std::string ref(amp + 1, semi);
        bool done = true;
        if (ref == "lt") out += '<';
        else if (ref == "gt") out += '>';
        else if (ref == "amp") out += '&';
        else if (ref == "quot") out += '"';
        else if (ref == "apos") out += '\'';
        else if (ref.size() >= 2 && ref[0] == '#') {
            bool hex = ref[1] == 'x' || ref[1] == 'X';
            const char* digits = ref.c_str() + (hex ? 2 : 1);
            char* stop = nullptr;
            unsigned long cp = *digits ? std::strtoul(digits, &stop, hex ? 16 : 10) : 0;
            if (stop && *stop == '\0' && cp > 0 && cp <= 0x10FFFF)
                append_utf8(out, cp);
            else
                done = false;
        } else {
            done = false;
        }
        if (!done) {
            out += '&';
            p = amp + 1;
            continue;
        }
        p = semi + 1;
    }
}


bool equals_nocase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

// Layout frames: a paragraph collecting its line, a table row, and the two
// containers of lines, a table cell and a text box.
enum frame_kind { F_PARA, F_ROW, F_CELL, F_BOX };

struct frame {
    frame_kind kind;
    std::string text;      // paragraph: its line; row: the cells; cell and box: lines, each ending "\n"
    std::string deferred;  // paragraph: the lines of its text boxes
    bool split = false;    // paragraph: a page break has written its first part
    bool section_end = false;  // paragraph: its properties end a section
};

struct element {
    tag_type type;
    bool framed;  // a layout frame was pushed for it
};

struct walker {
    OFX_CONTEXT* ctx = nullptr;
    int mode = 0;
    bool word = true;
    bool bare = false;  // the paragraph routines: no line feed after the paragraph
    std::vector<element> stack;
    std::vector<frame> frames;
    std::vector<std::pair<std::string, ns_id>> prefixes;
    int skip_depth = -1;    // elements at or below this depth are not shown
    int pending_breaks = 0; // page breaks waiting for the next line of the body
    bool section_continuous = false;
    bool sp_placeholder = false;  // the current p:sp is a placeholder
    bool sp_notes_body = false;   // ... the body placeholder of a notes page
    std::string text;             // character data of the current text element
    std::string out;              // lines for the output file, not yet converted and written

    // Converts and writes the collected lines.
    int flush() {
        if (out.empty()) return 0;
        if (ofx_write_utf8(ctx, out) != 0) return -2;
        out.clear();
        return 0;
    }

    ns_id ns_of(const char* name, size_t n) {
        const char* colon = static_cast<const char*>(std::memchr(name, ':', n));
        size_t len = colon ? static_cast<size_t>(colon - name) : 0;
        for (auto it = prefixes.rbegin(); it != prefixes.rend(); ++it)
            if (it->first.size() == len && std::memcmp(it->first.data(), name, len) == 0) return it->second;
        return conventional(std::string(name, len));
    }

    tag_type classify(const char* name, size_t n) {
        const char* colon = static_cast<const char*>(std::memchr(name, ':', n));
        const char* local = colon ? colon + 1 : name;
        size_t local_n = n - static_cast<size_t>(local - name);
        ns_id ns = ns_of(name, n);
        if (ns == NS_OTHER) return T_NONE;
        for (const name_entry& e : k_names)
            if (e.len == local_n && e.ns == ns && std::memcmp(e.local, local, local_n) == 0) return e.type;
        return T_NONE;
    }

    // Records the namespace declarations of a start tag.
    void declare(const char* tag, const char* gt) {
        const char* p = tag;
        while ((p = find(p, gt, "xmlns")) != nullptr) {
            const char* n = p + 5;
            std::string prefix;
            if (n < gt && *n == ':') {
                const char* s = ++n;
                while (n < gt && !is_blank(*n) && *n != '=') ++n;
                prefix.assign(s, n);
            }
            while (n < gt && is_blank(*n)) ++n;
            p = n;
            if (n >= gt || *n != '=') continue;
            ++n;
            while (n < gt && is_blank(*n)) ++n;
            if (n >= gt || (*n != '"' && *n != '\'')) continue;
            char q = *n++;
            const char* v = n;
            while (n < gt && *n != q) ++n;
            std::string uri(v, n);
            ns_id id = conventional(prefix);
            for (const known_ns& k : k_namespaces)
                if (uri == k.uri) id = k.id;
            prefixes.emplace_back(prefix, id);
            p = n;
        }
    }

    bool skipping() const { return skip_depth >= 0; }
    bool in_word_body() const { return mode == OFX_MODE_DOCX; }

    frame* innermost(frame_kind kind) {
        for (auto it = frames.rbegin(); it != frames.rend(); ++it)
            if (it->kind == kind) return &*it;
        return nullptr;
    }

    frame* paragraph() { return frames.empty() || frames.back().kind != F_PARA ? nullptr : &frames.back(); }

    // Writes lines (each ending "\n", UTF-8) to the output file, opening the
    // pages that breaks have left waiting first.
    int write_body(const std::string& lines) {
        if (lines.empty()) return 0;
        while (pending_breaks > 0) {
            --pending_breaks;
            int rc = flush();
            if (rc == 0) rc = page_break();
            if (rc != 0) return rc;
        }
        out += lines;
        for (char c : lines)
            if (c == '\n') ctx->line_count += 1;
        return out.size() >= 65536 ? flush() : 0;
    }

    int page_break() {
        ctx->page_number += 1;
        char path[OFX_PATH_SIZE + 64];
        if (ofx_output_path(ctx, true, ctx->page_number + 1, path, sizeof path) != 0) return -9;
        int rc = ofx_open_output(ctx, path);
        ctx->line_count = 0;
        return rc;
    }

    // Hands finished lines to what encloses the frames above `level`: the
    // nearest cell or text box, a row, or the output file.
    int deliver(const std::string& lines, size_t level) {
        for (size_t i = level; i-- > 0;) {
            frame& f = frames[i];
            if (f.kind == F_CELL || f.kind == F_BOX) {
                f.text += lines;
                return 0;
            }
            if (f.kind == F_ROW) {
                f.text += lines;
                return 0;
            }
            if (f.kind == F_PARA) {
                // Lines inside a paragraph (a text box without its own
                // frame): they follow the paragraph's text.
                f.deferred += lines;
                return 0;
            }
        }
        return write_body(lines);
    }

    bool at_body_level() const { return frames.size() == 1 && frames[0].kind == F_PARA; }

    int push(frame_kind kind) {
        try {
            frames.push_back(frame{kind, {}, {}});
        } catch (...) {
            return -2;
        }
        return 0;
    }

    int pop_frame() {
        frame f = std::move(frames.back());
        frames.pop_back();
        size_t level = frames.size();
        switch (f.kind) {
        case F_PARA: {
            std::string lines;
            if (!(f.split && f.text.empty()) || !f.deferred.empty()) {
                if (!(f.split && f.text.empty())) lines = f.text + (bare ? "" : "\n");
                lines += f.deferred;
            }
            int rc = deliver(lines, level);
            if (rc != 0) return rc;
            if (f.section_end && level == 0 && ctx->split_pages && in_word_body()) pending_breaks += 1;
            return 0;
        }
        case F_CELL: {
            std::string cell = f.text;
            if (!cell.empty() && cell.back() == '\n') cell.pop_back();
            cell += '\t';
            frame* row = level > 0 && frames[level - 1].kind == F_ROW ? &frames[level - 1] : nullptr;
            if (row) {
                row->text += cell;
                return 0;
            }
            return deliver(cell, level);
        }
        case F_ROW: return deliver(f.text + "\n", level);
        case F_BOX: {
            // The text box follows its anchor paragraph's text.
            frame* anchor = innermost(F_PARA);
            if (anchor) {
                anchor->deferred += f.text;
                return 0;
            }
            return deliver(f.text, level);
        }
        }
        return 0;
    }

    // Character output inside the current paragraph.
    void put(const char* s) {
        if (frame* p = paragraph()) p->text += s;
    }

    int line_break_in_paragraph(const char* tag, const char* gt) {
        std::string type;
        bool page = ofx_attribute(tag, gt, "w:type", &type) && equals_nocase(type, "page");
        if (!word || !page) {
            put("\n");
            return 0;
        }
        // A page break: only in the body's own paragraphs.
        if (!at_body_level()) return 0;
        frame& p = frames[0];
        if (!p.text.empty() || !p.deferred.empty()) {
            std::string lines = p.text.empty() ? std::string() : p.text + "\n";
            lines += p.deferred;
            int rc = write_body(lines);
            if (rc != 0) return rc;
            p.text.clear();
            p.deferred.clear();
        }
        p.split = true;
        if (ctx->split_pages && in_word_body()) pending_breaks += 1;
        return 0;
    }

    int label(const char* text) { return deliver(std::string(text) + "\n", frames.size()); }

    // Start of an element (also of an empty one, before its end).
    int start(tag_type type, const char* tag, const char* gt) {
        tag_type parent = stack.empty() ? T_NONE : stack.back().type;
        switch (type) {
        case T_P: return push(F_PARA);
        case T_CM_TEXT: return push(F_PARA);
        case T_TR: return push(F_ROW);
        case T_TC: return push(F_CELL);
        case T_TXBX: return push(F_BOX);
        case T_T: text.clear(); return 0;
        case T_TAB:
            if (parent == T_R || parent == T_P) put("\t");
            return 0;
        case T_PTAB: put("\t"); return 0;
        case T_BR:
            if (parent == T_R || parent == T_P) return line_break_in_paragraph(tag, gt);
            return 0;
        case T_CR: put("\n"); return 0;
        case T_HYPHEN: put("-"); return 0;
        case T_SOFT_HYPHEN: put("\xC2\xAD"); return 0;
        case T_SYM: {
            std::string code;
            if (ofx_attribute(tag, gt, "w:char", &code)) {
                char* stop = nullptr;
                unsigned long cp = std::strtoul(code.c_str(), &stop, 16);
                if (stop && *stop == '\0' && cp > 0) {
                    std::string s;
                    append_utf8(s, cp);
                    put(s.c_str());
                }
            }
            return 0;
        }
        case T_SECTPR: section_continuous = false; return 0;
        case T_SECT_TYPE:
            if (parent == T_SECTPR) {
                std::string v;
                section_continuous = ofx_attribute(tag, gt, "w:val", &v) && v == "continuous";
            }
            return 0;
        case T_GRIDCOL: ctx->grid_columns += 1; return 0;
        case T_SP: sp_placeholder = false; sp_notes_body = false; return 0;
        case T_PH: {
            sp_placeholder = true;
            std::string v;
            sp_notes_body = ofx_attribute(tag, gt, "type", &v) && v == "body";
            return 0;
        }
        case T_NOTE: {
            std::string v;
            // Separators of footnotes and endnotes are no notes.
            if (ofx_attribute(tag, gt, "w:type", &v) && v != "normal") return 0;
            const char* l = mode == OFX_MODE_DOCX_FOOTNOTES ? k_label_footnote
                          : mode == OFX_MODE_DOCX_ENDNOTES  ? k_label_endnote
                          : mode == OFX_MODE_DOCX_COMMENTS  ? k_label_comment
                                                            : nullptr;
            return l ? label(l) : 0;
        }
        case T_CM: return mode == OFX_MODE_PPTX_COMMENTS ? label(k_label_comment) : 0;
        case T_CHART: return chart(tag, gt);
        default: return 0;
        }
    }

    // A chart is shape text: its lines follow the paragraph that anchors
    // it, as a text box's do, or stand where its graphic frame does.
    int chart(const char* tag, const char* gt) {
        std::string id, lines;
        if (ctx->skip_shapes || !ctx->chart_text || !ofx_attribute(tag, gt, ":id", &id)) return 0;
        int rc = ctx->chart_text(ctx->chart_source, id.c_str(), &lines);
        if (rc != 0 || lines.empty()) return rc;
        if (frame* anchor = innermost(F_PARA)) {
            anchor->deferred += lines;
            return 0;
        }
        return deliver(lines, frames.size());
    }

    // Whether the content of a starting element is left out.
    bool hides(tag_type type, const char* tag, const char* gt) {
        switch (type) {
        case T_SKIP: return true;
        case T_PICT:
        case T_TXBX: return ctx->skip_shapes;
        case T_TXBODY:
            if (mode == OFX_MODE_PPTX_NOTES) return !sp_notes_body;
            if (mode == OFX_MODE_PPTX) return ctx->skip_shapes && !sp_placeholder && stack_has(T_SP);
            return false;
        case T_NOTE: {
            std::string v;
            return ofx_attribute(tag, gt, "w:type", &v) && v != "normal";
        }
        default: return false;
        }
    }

    bool stack_has(tag_type type) const {
        for (const element& e : stack)
            if (e.type == type) return true;
        return false;
    }

    int end(const element& e) {
        if (e.type == T_T || e.type == T_CM_TEXT) {
            if (frame* p = paragraph()) p->text += text;
            text.clear();
        }
        if (e.type == T_SECTPR && word) {
            frame* p = innermost(F_PARA);
            if (!section_continuous) {
                if (p && stack_has(T_PPR))
                    p->section_end = true;
                else if (frames.empty() && ctx->split_pages && in_word_body())
                    pending_breaks += 1;
            }
        }
        if (e.framed) return pop_frame();
        return 0;
    }
};

bool frames_for(tag_type t) { return t == T_P || t == T_CM_TEXT || t == T_TR || t == T_TC || t == T_TXBX; }

// The scan of one part; the lines it collects are written by the caller,
// also when the scan fails part-way.
int scan(walker& w, const char* xml, const char* end) {
    const char* p = xml;
    {
        while (p < end) {
            const char* lt = scan_to(p, '<', end);
            bool text_open = !w.stack.empty() && (w.stack.back().type == T_T || w.stack.back().type == T_CM_TEXT) &&
                             !w.skipping();
            if (text_open) {
                const char* stop = lt ? lt : static_cast<const char*>(std::memchr(p, '\0', end - p));
                append_text(w.text, p, stop ? stop : end);
            }
            if (!lt) break;
            p = lt;
            if (end - p >= 2 && p[1] == '?') {
                const char* q = find(p + 2, end, "?>");
                if (!q) break;
                p = q + 2;
                continue;
            }
            if (end - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
                const char* close = find(p + 4, end, "-->");
                if (!close) break;
                p = close + 3;
                continue;
            }
            if (end - p >= 9 && std::memcmp(p, "<![CDATA[", 9) == 0) {
                const char* close = find(p + 9, end, "]]>");
                if (!close) break;
                if (text_open) w.text.append(p + 9, close);
                p = close + 3;
                continue;
            }
            if (end - p >= 2 && p[1] == '!') {
                const char* gt = tag_end(p + 2, end);
                if (!gt) break;
                p = gt + 1;
                continue;
            }
            const char* gt = tag_end(p + 1, end);
            if (!gt) break;  // an unfinished tag ends the part
            if (p[1] == '/') {
                if (w.stack.empty()) return -1;
                element e = w.stack.back();
                w.stack.pop_back();
                if (w.skipping()) {
                    if (static_cast<int>(w.stack.size()) == w.skip_depth) w.skip_depth = -1;
                    if (e.framed) w.frames.pop_back();
                    if (e.type == T_T) w.text.clear();
                } else {
                    int rc = w.end(e);
                    if (rc != 0) return rc;
                }
                p = gt + 1;
                continue;
            }
            size_t n = 0;
            while (p + 1 + n < gt && !is_blank(p[1 + n]) && p[1 + n] != '/') ++n;
            if (n > OFX_NAME_MAX) return -1;
            bool empty = gt[-1] == '/' && gt - 1 > p;
            if (!empty && w.stack.size() == OFX_MAX_DEPTH) return -9;
            w.declare(p, gt);
            tag_type type = w.classify(p + 1, n);
            element e{type, false};
            if (!w.skipping()) {
                if (w.hides(type, p, gt)) {
                    w.skip_depth = static_cast<int>(w.stack.size());
                } else {
                    int rc = w.start(type, p, gt);
                    if (rc != 0) return rc;
                    e.framed = frames_for(type);
                }
            }
            if (empty) {
                if (w.skipping()) {
                    if (static_cast<int>(w.stack.size()) == w.skip_depth) w.skip_depth = -1;
                } else {
                    int rc = w.end(e);
                    if (rc != 0) return rc;
                }
            } else {
                w.stack.push_back(e);
            }
            p = gt + 1;
        }
    }
    return 0;
}

int walk(OFX_CONTEXT* ctx, int mode, bool word, bool bare, const char* xml, size_t len) {
    if (!ctx || (!xml && len > 0)) return -1;
    walker w;
    w.ctx = ctx;
    w.mode = mode;
    w.word = word;
    w.bare = bare;
    int rc;
    try {
        rc = scan(w, xml, xml + len);
    } catch (...) {
        rc = -2;
    }
    int flushed = w.flush();
    if (rc == 0) rc = flushed;
    if (rc == 0 && ofx_write_failed(ctx)) rc = -103;
    return rc;
}

}  // namespace

bool ofx_attribute(const char* tag, const char* tag_end_p, const char* name, std::string* value) {
    const char* p = tag + 1;
    while (p < tag_end_p && !is_blank(*p) && *p != '/' && *p != '>') ++p;  // the tag name
    size_t want = std::strlen(name);
    while (p < tag_end_p) {
        while (p < tag_end_p && (is_blank(*p) || *p == '/')) ++p;
        const char* n = p;
        while (p < tag_end_p && !is_blank(*p) && *p != '=' && *p != '>' && *p != '/') ++p;
        size_t len = static_cast<size_t>(p - n);
        while (p < tag_end_p && is_blank(*p)) ++p;
        if (p >= tag_end_p || *p != '=') {
            if (len == 0) ++p;
            continue;
        }
        ++p;
        while (p < tag_end_p && is_blank(*p)) ++p;
        if (p >= tag_end_p || (*p != '"' && *p != '\'')) continue;
        char q = *p++;
        const char* v = p;
        while (p < tag_end_p && *p != q) ++p;
        bool match = name[0] == ':' ? (len > want && std::memcmp(n + len - want, name, want) == 0)
                                    : (len == want && std::memcmp(n, name, want) == 0);
        if (match) {
            value->clear();
            append_text(*value, v, p);
            return true;
        }
        if (p < tag_end_p) ++p;
    }
    return false;
}

int ofx_write_label(OFX_CONTEXT* ctx, int mode) {
    const char* l = mode == OFX_MODE_DOCX_HEADER  ? k_label_header
                  : mode == OFX_MODE_DOCX_FOOTER  ? k_label_footer
                  : mode == OFX_MODE_PPTX_NOTES   ? k_label_notes
                                                  : nullptr;
    if (!l) return 0;
    std::string out = std::string(l) + "\n";
    if (ofx_write_utf8(ctx, out) != 0) return -2;
    ctx->line_count += 1;
    return ofx_write_failed(ctx) ? -103 : 0;
}

int ofx_walk_docx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len) {
    return walk(ctx, mode, true, false, xml, len);
}

int ofx_walk_pptx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len) {
    return walk(ctx, mode, false, false, xml, len);
}

int ofx_docx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len) {
    return walk(ctx, OFX_MODE_DOCX_PARAGRAPH, true, true, start, len);
}

int ofx_pptx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len) {
    return walk(ctx, OFX_MODE_PPTX_PARAGRAPH, false, true, start, len);
}
