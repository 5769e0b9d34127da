// The tag walker.  It does not parse XML: it steps from "<" to ">", keeps a
// stack of where each open element's content starts, gives the few tag names
// that matter a type, and acts on start and end tags of those types.  The
// text of a paragraph is written when the paragraph ends, by searching its
// range for text elements.
//
// The walker expects the XML as Office writes it, without whitespace between
// tags: an end tag is only classified when its element's content begins with
// "<"; otherwise the type of the last classified tag stays in force.
#include <cstring>
#include <string>

#include "ofx.h"
#include "ofx_internal.h"
#include "orb_text.h"
#include "xml_text.h"

namespace {

enum tag_type {
    T_NONE,
    T_TBL,       // w:tbl, a:tbl
    T_GRIDCOL,   // w:gridCol
    T_TR,        // w:tr, a:tr
    T_TC,        // w:tc, a:tc
    T_BR,        // w:br, a:br
    T_P,         // w:p, a:p
    T_R,         // w:r, a:r
    T_T,         // w:t, a:t
    T_PPR,       // w:pPr, a:pPr
    T_RPR,       // w:rPr, a:rPr
    T_SECTPR,    // w:sectPr
    T_PICT,      // w:pict (VML picture)
    T_DRAWING,   // w:drawing (DrawingML)
    T_ENDPARA,   // a:endParaRP, a:endParaRPr
    T_SP,        // p:sp
    T_PRSTGEOM,  // a:prstGeom
};

// Region: one value per walk, not a stack.
enum region { R_NONE, R_TABLE, R_PICT, R_DRAWING, R_SHAPE };

struct name_entry {
    const char* name;
    size_t len;
    tag_type type;
};

#define NAME(s, t) {s, sizeof s - 1, t}

const name_entry k_word_names[] = {
    NAME("w:tbl", T_TBL), NAME("w:gridCol", T_GRIDCOL), NAME("w:tr", T_TR),         NAME("w:tc", T_TC),
    NAME("w:br", T_BR),   NAME("w:p", T_P),             NAME("w:r", T_R),           NAME("w:t", T_T),
    NAME("w:pPr", T_PPR), NAME("w:rPr", T_RPR),         NAME("w:sectPr", T_SECTPR), NAME("w:pict", T_PICT),
    NAME("w:drawing", T_DRAWING),
};

const name_entry k_slide_names[] = {
    NAME("a:tbl", T_TBL),        NAME("a:tr", T_TR),        NAME("a:tc", T_TC),   NAME("a:br", T_BR),
    NAME("a:p", T_P),            NAME("a:r", T_R),          NAME("a:t", T_T),     NAME("a:pPr", T_PPR),
    NAME("a:rPr", T_RPR),        NAME("a:endParaRP", T_ENDPARA), NAME("a:endParaRPr", T_ENDPARA),
    NAME("p:sp", T_SP),          NAME("a:prstGeom", T_PRSTGEOM),
};

#undef NAME

// The first c in [p, p + n), or nullptr; a NUL byte ends the part, so the
// scan also stops there.  The distances the walker scans are short (a tag,
// a run of text): a plain loop beats the library's setup.
inline const char* scan_to(const char* p, char c, size_t n) {
    for (const char* end = p + n; p < end; ++p) {
        if (*p == c) return p;
        if (*p == '\0') return nullptr;
    }
    return nullptr;
}

inline bool same(const char* a, const char* b, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (a[i] != b[i]) return false;
    return true;
}

template <size_t N>
tag_type lookup(const name_entry (&table)[N], const char* name, size_t len) {
    for (const name_entry& e : table)
        if (e.len == len && same(e.name, name, len)) return e.type;
    return T_NONE;
}

tag_type classify(bool word, const char* name, size_t len) {
    // Every listed name has a one-letter prefix and a colon, and is at most
    // 12 bytes long.
    if (len < 3 || len > 12 || name[1] != ':') return T_NONE;
    if (word ? name[0] != 'w' : (name[0] != 'a' && name[0] != 'p')) return T_NONE;
    return word ? lookup(k_word_names, name, len) : lookup(k_slide_names, name, len);
}

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

bool has_blank(const char* p, size_t n) {
    for (size_t i = 0; i < n; ++i)
        if (is_blank(p[i])) return true;
    return false;
}

// The name of a tag starting at p (after "<" or "</"), up to a blank, "/" or
// ">" and at most limit bytes.
size_t name_length(const char* p, size_t limit) {
    size_t n = 0;
    while (n < limit && !is_blank(p[n]) && p[n] != '/' && p[n] != '>') ++n;
    return n;
}

const char* find(const char* from, const char* end, const char* what, size_t what_len) {
    while (from < end) {
        const char* hit = scan_to(from, what[0], end - from);
        if (!hit || static_cast<size_t>(end - hit) < what_len) return nullptr;
        if (std::memcmp(hit, what, what_len) == 0) return hit;
        from = hit + 1;
    }
    return nullptr;
}

struct walker {
    OFX_CONTEXT* ctx;
    bool word;
    region reg = R_NONE;
    tag_type cur = T_NONE;
    const char* para = nullptr;  // paragraph start, or none
    // Word: the start of the paragraph that holds the current drawing or VML
    // picture, taken up again when the drawing ends, so that the paragraph's
    // own text is not lost to the paragraphs of a text box inside it.
    const char* outer_para = nullptr;
    // PowerPoint: the current shape is a placeholder (title, body, ...), whose
    // geometry does not make it a text shape.
    bool placeholder = false;
};

// Word page break: the next page file.
int page_break(OFX_CONTEXT* ctx) {
    ctx->page_number += 1;
    char path[OFX_PATH_SIZE + 64];
    if (ofx_output_path(ctx, true, ctx->page_number + 1, path, sizeof path) != 0) return -9;
    int rc = ofx_open_output(ctx, path);
    ctx->line_count = 0;
    return rc;
}

// The tokens of a tag: names, "=" and quoted values.
struct token {
    const char* p;
    size_t n;
};

bool next_token(const char*& p, const char* end, token* t) {
    while (p < end && is_blank(*p)) ++p;
    if (p >= end) return false;
    const char* s = p;
    if (*p == '=' || *p == '/' || *p == '>') {
        ++p;
    } else if (*p == '"' || *p == '\'') {
        char q = *p++;
        while (p < end && *p != q) ++p;
        if (p < end) ++p;
    } else {
        while (p < end && !is_blank(*p) && *p != '=' && *p != '"' && *p != '\'' && *p != '/' && *p != '>') ++p;
    }
    t->p = s;
    t->n = static_cast<size_t>(p - s);
    return true;
}

bool token_is(const token& t, const char* s) { return t.n == std::strlen(s) && std::memcmp(t.p, s, t.n) == 0; }

// A w:br tag whose w:type is "page" (any letter case).
bool is_page_break(const char* tag, size_t len) {
    if (len <= 4) return false;
    const char* p = tag + 4;  // from the tag's fifth byte
    const char* end = tag + len;
    token a, b, c;
    if (!next_token(p, end, &a)) return false;
    if (!next_token(p, end, &b)) return false;
    while (next_token(p, end, &c)) {
        if (token_is(a, "w:type") && token_is(b, "=")) {
            const char* v = c.p;
            size_t n = c.n;
            if (n >= 2 && (v[0] == '"' || v[0] == '\'') && v[n - 1] == v[0]) {
                ++v;
                n -= 2;
            }
            if (n == 4 && (v[0] | 0x20) == 'p' && (v[1] | 0x20) == 'a' && (v[2] | 0x20) == 'g' &&
                (v[3] | 0x20) == 'e')
                return true;
        }
        a = b;
        b = c;
    }
    return false;
}

// The effects of a tag's attributes.
int attribute_hook(walker& w, tag_type type, const char* tag, size_t len) {
    OFX_CONTEXT* ctx = w.ctx;
    if (w.word) {
        if (type == T_GRIDCOL) ctx->grid_columns += 1;
        if (type == T_BR && ctx->split_pages && is_page_break(tag, len)) return page_break(ctx);
    } else if (type == T_PRSTGEOM && !w.placeholder) {
        w.reg = R_SHAPE;
    }
    return 0;
}

void write_line_feed(OFX_CONTEXT* ctx) {
    ofx_write(ctx, "\n", 1);
    ctx->line_count += 1;
}

int paragraph_end(walker& w, const char* gt) {
    OFX_CONTEXT* ctx = w.ctx;
    if (w.word) {
        if (w.reg == R_DRAWING || (ctx->skip_shapes && w.reg == R_PICT)) {
            w.para = nullptr;
            return 0;
        }
        if (w.para) {
            int rc = ofx_docx_paragraph_text(ctx, w.para, static_cast<size_t>(gt - w.para + 1));
            if (rc != 0) return rc;
        }
        w.para = nullptr;
        if (!(w.reg == R_TABLE && ctx->grid_columns > 1)) write_line_feed(ctx);
        return 0;
    }
    if (w.para && !(ctx->skip_shapes && w.reg == R_SHAPE)) {
        int rc = ofx_pptx_paragraph_text(ctx, w.para, static_cast<size_t>(gt - w.para + 1));
        if (rc != 0) return rc;
        if (w.reg == R_TABLE)
            w.para = nullptr;
        else
            write_line_feed(ctx);
    }
    return 0;
}

int end_action(walker& w, const char* gt) {
    OFX_CONTEXT* ctx = w.ctx;
    switch (w.cur) {
    case T_TBL:
        if (w.reg == R_TABLE) {
            w.reg = R_NONE;
            if (w.word) ctx->grid_columns = 0;
        }
        return 0;
    case T_TR:
        if (w.reg == R_TABLE) {
            if (w.word)
                write_line_feed(ctx);
            else
                ofx_write(ctx, "\n", 1);
        }
        return 0;
    case T_TC:
        if (w.reg == R_TABLE) ofx_write(ctx, "\t", 1);
        return 0;
    case T_P: return paragraph_end(w, gt);
    case T_SECTPR:
        if (w.word && ctx->split_pages) return page_break(ctx);
        return 0;
    case T_PICT:
    case T_DRAWING:
        if (w.word) {
            w.reg = R_NONE;
            w.para = w.outer_para;
            w.outer_para = nullptr;
        }
        return 0;
    default: return 0;
    }
}

void start_action(walker& w, const char* gt) {
    switch (w.cur) {
    case T_TBL: w.reg = R_TABLE; break;
    case T_P:
        if (!w.word || !(w.ctx->skip_shapes && w.reg == R_PICT)) w.para = gt - 4;
        break;
    case T_PICT:
    case T_DRAWING:
        if (w.word) {
            w.reg = w.cur == T_PICT ? R_PICT : R_DRAWING;
            w.outer_para = w.para;
            w.para = nullptr;
        }
        break;
    case T_SP: w.placeholder = false; break;
    default: break;
    }
}

int walk(OFX_CONTEXT* ctx, bool word, const char* xml, size_t len) {
    if (!ctx || (!xml && len > 0)) return -1;
    // The part also ends at its first NUL byte, if it has one: every scan
    // below stops there.
    const char* end = xml + len;
    const char* stack[OFX_MAX_DEPTH];
    int depth = 0;
    walker w{ctx, word};
    const char* p = xml;
    while (p < end) {
        p = scan_to(p, '<', end - p);
        if (!p) break;
        if (end - p >= 2 && p[1] == '?') {
            const char* gt = scan_to(p, '>', end - p);
            if (!gt) break;
            p = gt + 1;
            continue;
        }
        if (end - p >= 4 && std::memcmp(p, "<!--", 4) == 0) {
            const char* close = find(p + 4, end, "-->", 3);
            if (!close) break;
            p = close + 3;
            continue;
        }
        const char* gt = scan_to(p + 1, '>', end - p - 1);
        if (!gt) break;  // an unfinished tag ends the part
        if (p[1] == '/') {
            if (depth == 0) return -1;
            const char* content = stack[--depth];
            if (*content == '<') {
                size_t n = name_length(p + 2, static_cast<size_t>(gt - p - 2));
                w.cur = classify(word, p + 2, n);
            }
            int rc = end_action(w, gt);
            if (rc != 0) return rc;
            p = gt + 1;
            continue;
        }
        // A start tag or an empty-element tag; only its first bytes count.
        size_t tag_len = static_cast<size_t>(gt - p + 1);
        if (tag_len > OFX_TAG_MAX) tag_len = OFX_TAG_MAX;
        size_t n = name_length(p + 1, tag_len - 1);
        if (n > OFX_NAME_MAX) return -1;
        w.cur = classify(word, p + 1, n);
        if (!word && n == 4 && std::memcmp(p + 1, "p:ph", 4) == 0) w.placeholder = true;
        if (gt[-1] == '/' && gt - 1 > p) {
            int rc = attribute_hook(w, w.cur, p, tag_len);
            if (rc != 0) return rc;
            if (w.cur == T_PPR && (!word || !(ctx->skip_shapes && w.reg == R_PICT)))
                w.para = gt - 4 >= xml ? gt - 4 : xml;
        } else {
            if (depth == OFX_MAX_DEPTH) return -9;
            if (has_blank(p, tag_len)) {
                int rc = attribute_hook(w, w.cur, p, tag_len);
                if (rc != 0) return rc;
            }
            start_action(w, gt);
            stack[depth++] = gt + 1;
        }
        p = gt + 1;
    }
    return ofx_write_failed(ctx) ? -103 : 0;
}

// When q starts the element `open` (followed by ">" or a blank), moves q past
// its end tag `close` (or to the end of the range) and gives true.
bool skip_over(const char*& q, const char* end, const char* open, const char* close) {
    size_t n = std::strlen(open);
    if (static_cast<size_t>(end - q) <= n || !same(q, open, n) || (q[n] != '>' && !is_blank(q[n])))
        return false;
    const char* stop = find(q + n, end, close, std::strlen(close));
    q = stop ? stop + std::strlen(close) : end;
    return true;
}

// False when unescaping cannot change the text: every escaped form starts
// with '&', '_' or the byte 0xC2.
bool needs_unescape(const std::string& t) {
    for (char c : t)
        if (c == '&' || c == '_' || static_cast<unsigned char>(c) == 0xC2) return true;
    return false;
}

// Writes the texts of one paragraph range; prefix is 'w' or 'a'.
int paragraph_text(OFX_CONTEXT* ctx, char prefix, const char* start, size_t len) {
    const char* end = start + len;
    const char open_plain[] = {'<', prefix, ':', 't', '>'};
    const char open_attr[] = {'<', prefix, ':', 't', ' '};
    const char open_empty[] = {'<', prefix, ':', 't', '/', '>'};
    const char close[] = {'<', '/', prefix, ':', 't', '>'};
    const char line_break[] = {'<', prefix, ':', 'b', 'r', '>'};
    std::string text;
    const char* q = start;
    while (q < end) {
        q = scan_to(q, '<', end - q);
        if (!q) break;
        size_t left = static_cast<size_t>(end - q);
        const char* text_start = nullptr;
        if (left >= 5 && same(q, open_plain, 5)) {
            text_start = q + 5;
        } else if (left >= 5 && same(q, open_attr, 5)) {
            const char* gt = scan_to(q, '>', left);
            if (!gt) break;
            if (gt[-1] == '/') {  // an empty text element with attributes
                q = gt + 1;
                continue;
            }
            text_start = gt + 1;
        } else if (prefix == 'a' && left >= 6 && same(q, open_empty, 6)) {
            q += 6;
            continue;
        } else if (prefix == 'w' && (skip_over(q, end, "<w:drawing", "</w:drawing>") ||
                                     skip_over(q, end, "<w:pict", "</w:pict>"))) {
            // Drawings and VML pictures hold their own paragraphs, written
            // at their own ends (or left out): not part of this one.
            continue;
        } else if (left >= 6 && same(q, line_break, 6)) {
            write_line_feed(ctx);
            q += 6;
            continue;
        } else {
            ++q;
            continue;
        }
        const char* stop = find(text_start, end, close, sizeof close);
        if (!stop) {
            // The closing tag lies beyond the range: the text is not written.
            ++q;
            continue;
        }
        try {
            text.assign(text_start, stop);
        } catch (...) {
            return -2;
        }
        if (needs_unescape(text)) {
            int n = static_cast<int>(text.size());
            if (xml_escape(XML_UNESCAPE, text.data(), &n) != 0) return -2;
            text.resize(static_cast<size_t>(n));
        }
        if (ctx->out_charset != ORB_UTF8 && orb_convert_string(ORB_UTF8, ORB_SJIS, text) != 0) return -2;
        ofx_write(ctx, text.c_str(), std::strlen(text.c_str()));
        ctx->line_count += 1;
        q = stop + sizeof close;
    }
    return ofx_write_failed(ctx) ? -103 : 0;
}

}  // namespace

int ofx_walk_docx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len) {
    (void)mode;
    return walk(ctx, true, xml, len);
}

int ofx_walk_pptx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len) {
    (void)mode;
    return walk(ctx, false, xml, len);
}

int ofx_docx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len) {
    return paragraph_text(ctx, 'w', start, len);
}

int ofx_pptx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len) {
    return paragraph_text(ctx, 'a', start, len);
}
