// The XML event scanner: one pass over a member's text, in place.
#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "orb_cancel.h"
#include "platform.h"
#include "xlsx_scan.h"
#include "xml_text.h"

namespace {

struct name_code {
    std::string_view name;
    int code;
};

const name_code k_names[] = {
    {"worksheet", X_WORKSHEET}, {"sheetPr", X_SHEETPR}, {"sheetViews", X_SHEETVIEWS},
    {"sheetFormatPr", X_SHEETFORMATPR}, {"cols", X_COLS}, {"col", X_COL},
    {"sheetProtection", X_SHEETPROTECTION}, {"pageMargins", X_PAGEMARGINS},
    {"pageSetUpPr", X_PAGESETUPPR}, {"mergeCells", X_MERGECELLS}, {"mergeCell", X_MERGECELL},
    {"is", X_IS}, {"sheets", X_SHEETS}, {"sheet", X_SHEET}, {"si", X_SI}, {"rPh", X_RPH},
    {"text", X_TEXT}, {"numFmts", X_NUMFMTS}, {"numFmt", X_NUMFMT}, {"fonts", X_FONTS},
    {"font", X_FONT}, {"sz", X_SZ}, {"name", X_NAME}, {"fill", X_FILL},
    {"patternFill", X_PATTERNFILL}, {"border", X_BORDER}, {"top", X_TOP},
    {"bottom", X_BOTTOM}, {"left", X_LEFT}, {"right", X_RIGHT}, {"color", X_COLOR},
    {"cellXfs", X_CELLXFS}, {"xf", X_XF}, {"property", X_PROPERTY},
    {"vt:lpwstr", X_VT_LPWSTR}, {"xdr:twoCellAnchor", X_TWOCELLANCHOR},
    {"xdr:oneCellAnchor", X_ONECELLANCHOR}, {"xdr:cNvPr", X_CNVPR},
    {"xdr:txBody", X_TXBODY}, {"a:prstGeom", X_PRSTGEOM}, {"a:p", X_A_P}, {"a:t", X_A_T},
    {"workbookPr", X_WORKBOOKPR}, {"c:chart", X_C_CHART},
};

inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

int dispatch(xml_scan& s, int event, int code, std::string_view text) {
    switch (s.part) {
    case PART_WORKSHEET: return sheet_xml_event(s, event, code, text);
    case PART_SHARED_STRINGS: return shared_strings_event(s, event, code, text);
    case PART_DRAWING: return drawing_part_event(s, event, code, text);
    case PART_COMMENTS: return comments_part_event(s, event, code, text);
    case PART_WORKBOOK: return workbook_part_event(s, event, code, text);
    case PART_CUSTOM_PROPS: return custom_props_event(s, event, code, text);
    case PART_STYLES: return styles_part_event(s, event, code, text);
    default: return 0;
    }
}

// Finds the '>' that ends a tag starting at p, stepping over quoted
// attribute values; end when none.
const char* tag_end(const char* p, const char* end) {
    const char* gt = xml_tag_end(p, end);
    return gt ? gt : end;
}

}  // namespace

int xml_element_code(const char* p, size_t n) {
    // The names of a worksheet's bulk first.
    if (n == 1) {
        switch (*p) {
        case 'c': return X_C;
        case 'v': return X_V;
        case 'f': return X_F;
        case 't': return X_T;
        case 'r': return X_R;
        default: return X_NONE;
        }
    }
    if (n == 3 && p[0] == 'r' && p[1] == 'o' && p[2] == 'w') return X_ROW;
    for (const name_code& e : k_names) {
        if (e.name.size() == n && std::memcmp(e.name.data(), p, n) == 0) return e.code;
    }
    if (n == 9) {
        static const char k[] = "sheetdata";
        size_t i = 0;
        for (; i < 9; ++i) {
            char c = p[i];
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
            if (c != k[i]) break;
        }
        if (i == 9) return X_SHEETDATA;
    }
    return X_NONE;
}

// The prefix ("x:") under which the root element binds the spreadsheet
// namespace, or "" when it is the default namespace.
std::string_view main_prefix(std::string_view root_tag) {
    size_t colon = root_tag.find(':');
    size_t name_end = 1;
    while (name_end < root_tag.size() && !is_blank(root_tag[name_end]) && root_tag[name_end] != '>' &&
           root_tag[name_end] != '/')
        ++name_end;
    if (colon == std::string_view::npos || colon >= name_end) return {};
    std::string_view prefix = root_tag.substr(1, colon - 1);
    for (const char* ns : {"http://schemas.openxmlformats.org/spreadsheetml/2006/main",
                           "http://purl.oclc.org/ooxml/spreadsheetml/main"}) {
        std::string decl = "xmlns:" + std::string(prefix) + "=\"" + ns + "\"";
        if (root_tag.find(decl) != std::string_view::npos) return root_tag.substr(1, colon);
    }
    return {};
}

// Scans text[from, len).  With last false, a construct that the text does
// not complete is left for later: *stop is the offset of its '<' (len when
// everything was read).  0, or the first non-zero result.
int xml_walk::scan(xml_scan& s, const char* text, size_t len, size_t from, bool last, size_t* stop) {
    const char* p = text + from;
    const char* end = text + len;
    *stop = len;
    while (p < end) {
        const char* lt = static_cast<const char*>(std::memchr(p, '<', static_cast<size_t>(end - p)));
        if (!lt) break;
        const char* q = lt + 1;
        // What the construct is and where it ends.  A piece that ends inside
        // it (or too soon to tell a comment from a tag) leaves it for later.
        enum { INSTRUCTION, COMMENT, CDATA, END_TAG, START_TAG } kind;
        const char* gt = nullptr;     // the '>' of a tag or an instruction
        size_t closing = std::string_view::npos;  // comment, CDATA: where "-->", "]]>" stands
        if (!last && end - q < 9) {
            *stop = static_cast<size_t>(lt - text);
            return 0;
        }
        if (q < end && *q == '?') {
            kind = INSTRUCTION;
            gt = static_cast<const char*>(std::memchr(q, '>', static_cast<size_t>(end - q)));
        } else if (end - q >= 3 && q[0] == '!' && q[1] == '-' && q[2] == '-') {
            kind = COMMENT;
            closing = std::string_view(q + 3, static_cast<size_t>(end - q - 3)).find("-->");
        } else if (end - q >= 8 && std::memcmp(q, "![CDATA[", 8) == 0) {
            kind = CDATA;
            closing = std::string_view(q + 8, static_cast<size_t>(end - q - 8)).find("]]>");
        } else if (q < end && *q == '/') {
            kind = END_TAG;
            gt = static_cast<const char*>(std::memchr(q, '>', static_cast<size_t>(end - q)));
        } else {
            kind = START_TAG;
            gt = tag_end(q, end);
            if (gt == end) gt = nullptr;
        }
        if (!last && !gt && closing == std::string_view::npos) {
            *stop = static_cast<size_t>(lt - text);
            return 0;
        }
        // A long part (a million rows) asks now and then whether to stop.
        if ((++tags & 0x3FFF) == 0 && orb_cancelled()) return ORB_CANCELLED;
        if (kind == INSTRUCTION) {
            p = gt ? gt + 1 : end;
            continue;
        }
        if (kind == COMMENT) {
            p = closing == std::string_view::npos ? end : q + 3 + closing + 3;
            continue;
        }
        if (kind == CDATA) {  // text, not an element
            p = closing == std::string_view::npos ? end : q + 8 + closing + 3;
            continue;
        }
        if (kind == END_TAG) {
            if (depth == 0) return -1;
            const xml_walk::open_element e = stack[--depth];
            s.container = depth > 0 ? stack[depth - 1].code : X_NONE;
            if (e.code != X_NONE) {
                // The content of a container is not handed on: no handler
                // needs it, and a piece no longer holds it.
                std::string_view content;
                if (!e.has_child) content = std::string_view(text + e.content, static_cast<size_t>(lt - (text + e.content)));
                int rc = dispatch(s, e.has_child ? XML_END : XML_LEAF, e.code, content);
                if (rc != 0) return rc;
            }
            p = gt ? gt + 1 : end;
            continue;
        }
        // A start tag or a self-closing tag.
        if (!gt) gt = end;
        bool self_closing = gt < end && gt > q && gt[-1] == '/';
        const char* n = q;
        while (n < gt && !is_blank(*n) && *n != '/' && *n != '>') ++n;
        size_t name_len = static_cast<size_t>(n - q);
        if (name_len > XML_NAME_MAX) return -1;
        if (!root_seen) {
            root_seen = true;
            if (s.part != PART_DRAWING && s.part != PART_CUSTOM_PROPS)
                prefix = main_prefix(std::string_view(lt, static_cast<size_t>((gt < end ? gt + 1 : end) - lt)));
        }
        const char* local = q;
        size_t local_len = name_len;
        if (!prefix.empty() && name_len > prefix.size() && std::memcmp(q, prefix.data(), prefix.size()) == 0) {
            local += prefix.size();
            local_len -= prefix.size();
        }
        int code = xml_element_code(local, local_len);
        size_t tag_len = static_cast<size_t>((gt < end ? gt + 1 : end) - lt);
        // A number format comes whole: a code of 255 characters, escaped,
        // takes far more than the bytes other tags are cut to.
        if (tag_len > XML_TAG_MAX && code != X_NUMFMT) tag_len = XML_TAG_MAX;
        std::string_view tag(lt, tag_len);
        if (depth > 0) stack[depth - 1].has_child = true;
        s.container = depth > 0 ? stack[depth - 1].code : X_NONE;
        if (self_closing) {
            if (code != X_NONE) {
                int rc = dispatch(s, XML_EMPTY, code, tag);
                if (rc != 0) return rc;
            }
        } else {
            if (depth >= XML_STACK_MAX) return -9;
            if (gt >= end) break;  // a tag that never ends: nothing follows
            stack[depth++] = xml_walk::open_element{code, false, static_cast<size_t>(gt + 1 - text)};
            if (code != X_NONE) {
                int rc = dispatch(s, XML_START, code, tag);
                if (rc != 0) return rc;
            }
            if (code == X_C && s.part == PART_WORKSHEET) {
                // The usual cells, "<c ...><v>42</v></c>" and "<c ...><is><t>text</t></is></c>",
                // with the events and questions the general path gives them.
                const char* after = nullptr;
                int rc = cell_content(s, gt + 1, end, &after);
                if (rc != 0) return rc;
                if (after) {
                    p = after;
                    continue;
                }
            }
        }
        p = gt < end ? gt + 1 : end;
    }
    return 0;
}

// The common forms of a cell's content after its start tag, read at once:
// the value "<v>...</v></c>", and the inline string
// "<is><t ...>...</t></is></c>".  Each gives the handler the events the
// general path gives it and asks the cancel function for each tag, in the
// same order.  *after is where the scan goes on, or null (nothing done) for
// any other form, a prefixed name, a text needing more than the scan holds
// or too deep a stack; then the general path reads it.
int xml_walk::cell_content(xml_scan& s, const char* v, const char* end, const char** after) {
    *after = nullptr;
    auto ask = [this]() { return (++tags & 0x3FFF) == 0 && orb_cancelled(); };
    const size_t left = static_cast<size_t>(end - v);
    const int cell = depth - 1;  // the "c" just opened
    const int outer = cell > 0 ? stack[cell - 1].code : X_NONE;
    if (left >= 3 && v[0] == '<' && v[1] == 'v' && v[2] == '>') {
        if (depth >= XML_STACK_MAX) return 0;
        const char* value = v + 3;
        const char* lt = static_cast<const char*>(std::memchr(value, '<', static_cast<size_t>(end - value)));
        if (!lt || end - lt < 8 || std::memcmp(lt, "</v></c>", 8) != 0) return 0;
        if (ask()) return ORB_CANCELLED;  // <v>
        s.container = X_C;
        if (int rc = sheet_xml_event(s, XML_START, X_V, std::string_view(v, 3))) return rc;
        if (ask()) return ORB_CANCELLED;  // </v>
        s.container = X_C;
        if (int rc = sheet_xml_event(s, XML_LEAF, X_V, std::string_view(value, static_cast<size_t>(lt - value))))
            return rc;
        if (ask()) return ORB_CANCELLED;  // </c>
        --depth;
        s.container = outer;
        if (int rc = sheet_xml_event(s, XML_END, X_C, {})) return rc;
        *after = lt + 8;
        return 0;
    }
    if (left >= 7 && std::memcmp(v, "<is><t", 6) == 0 && (v[6] == '>' || v[6] == ' ')) {
        if (depth + 1 >= XML_STACK_MAX) return 0;
        const char* t_tag = v + 4;
        const char* t_end = tag_end(t_tag + 1, end);
        if (t_end >= end || t_end[-1] == '/') return 0;
        const char* body = t_end + 1;
        const char* lt = static_cast<const char*>(std::memchr(body, '<', static_cast<size_t>(end - body)));
        if (!lt || end - lt < 13 || std::memcmp(lt, "</t></is></c>", 13) != 0) return 0;
        size_t t_len = static_cast<size_t>(body - t_tag);
        if (t_len > XML_TAG_MAX) t_len = XML_TAG_MAX;
        if (ask()) return ORB_CANCELLED;  // <is>
        s.container = X_C;
        if (int rc = sheet_xml_event(s, XML_START, X_IS, std::string_view(v, 4))) return rc;
        if (ask()) return ORB_CANCELLED;  // <t>
        s.container = X_IS;
        if (int rc = sheet_xml_event(s, XML_START, X_T, std::string_view(t_tag, t_len))) return rc;
        if (ask()) return ORB_CANCELLED;  // </t>
        s.container = X_IS;
        if (int rc = sheet_xml_event(s, XML_LEAF, X_T, std::string_view(body, static_cast<size_t>(lt - body))))
            return rc;
        if (ask()) return ORB_CANCELLED;  // </is>
        s.container = X_C;
        if (int rc = sheet_xml_event(s, XML_END, X_IS, {})) return rc;
        if (ask()) return ORB_CANCELLED;  // </c>
        --depth;
        s.container = outer;
        if (int rc = sheet_xml_event(s, XML_END, X_C, {})) return rc;
        *after = lt + 13;
        return 0;
    }
    return 0;
}

size_t xml_walk::needed_from(size_t stop) const {
    // The text of an element without child element so far is its content.
    if (depth > 0 && !stack[depth - 1].has_child) return std::min(stop, stack[depth - 1].content);
    return stop;
}

void xml_walk::shift(size_t by) {
    for (int i = 0; i < depth; ++i) stack[i].content = stack[i].content >= by ? stack[i].content - by : 0;
}

int xml_scan_member(xml_scan& s, const char* text, size_t len) {
    xml_walk walk;
    size_t stop;
    return walk.scan(s, text, len, 0, true, &stop);
}

xml_stream::xml_stream(xml_scan& s, size_t step) : s_(s), step_(step) {}

xml_stream::~xml_stream() { std::free(buf_); }

char* xml_stream::space(size_t n) {
    if (cap_ - len_ >= n) return buf_ + len_;
    // Let go of what was read and is no longer needed.
    size_t keep = walk_.needed_from(resume_);
    if (keep > 0) {
        std::memmove(buf_, buf_ + keep, len_ - keep);
        len_ -= keep;
        resume_ -= keep;
        seen_ -= keep;
        walk_.shift(keep);
    }
    if (cap_ - len_ >= n) return buf_ + len_;
    size_t want = std::max(cap_ * 2, len_ + n);
    if (want < XML_STREAM_BUFFER) want = XML_STREAM_BUFFER;
    char* grown = static_cast<char*>(std::realloc(buf_, want));
    if (!grown) return nullptr;
    buf_ = grown;
    cap_ = want;
    return buf_ + len_;
}

int xml_stream::add(size_t n) {
    len_ += n;
    // A construct held back is scanned again only once the text after it
    // has at least doubled, so that a long one costs linear time.
    size_t waiting = seen_ - resume_;
    if (len_ - seen_ < std::max<size_t>(waiting, step_)) return 0;
    return scan(false);
}

int xml_stream::finish() { return scan(true); }

int xml_stream::scan(bool last) {
    seen_ = len_;
    size_t stop;
    int rc = walk_.scan(s_, buf_ ? buf_ : "", len_, resume_, last, &stop);
    resume_ = stop;
    return rc;
}

xml_attrs::xml_attrs(std::string_view tag) {
    // Step over "<" and the element name.
    size_t i = 0;
    if (i < tag.size() && tag[i] == '<') ++i;
    while (i < tag.size() && !is_blank(tag[i]) && tag[i] != '/' && tag[i] != '>') ++i;
    rest = tag.substr(i);
}

bool xml_attrs::next(std::string_view& name, std::string_view& raw) {
    size_t i = 0;
    const size_t n = rest.size();
    for (;;) {
        while (i < n && is_blank(rest[i])) ++i;
        if (i >= n || rest[i] == '/' || rest[i] == '>') {
            rest = {};
            return false;
        }
        size_t b = i;
        while (i < n && !is_blank(rest[i]) && rest[i] != '=' && rest[i] != '>' && rest[i] != '/') ++i;
        name = rest.substr(b, i - b);
        while (i < n && is_blank(rest[i])) ++i;
        if (i >= n || rest[i] != '=') {
            if (i < n && rest[i] == '/' && i + 1 < n && rest[i + 1] != '>') ++i;  // a stray '/'
            if (name.empty() && i < n) ++i;
            continue;  // an attribute without value: skipped
        }
        ++i;
        while (i < n && is_blank(rest[i])) ++i;
        size_t v = i;
        if (i < n && (rest[i] == '"' || rest[i] == '\'')) {
            char quote = rest[i++];
            while (i < n && rest[i] != quote) ++i;
            if (i < n) ++i;
        } else {
            while (i < n && !is_blank(rest[i]) && rest[i] != '>') ++i;
        }
        raw = rest.substr(v, i - v);
        rest = rest.substr(i);
        return true;
    }
}

std::string_view xml_unquoted(std::string_view raw) {
    if (raw.size() >= 2 && (raw.front() == '"' || raw.front() == '\'') && raw.back() == raw.front())
        return raw.substr(1, raw.size() - 2);
    if (!raw.empty() && (raw.front() == '"' || raw.front() == '\'')) return raw.substr(1);  // cut tag
    return raw;
}

long long xml_leading_int(std::string_view t) {
    size_t i = 0;
    while (i < t.size() && is_blank(t[i])) ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
    unsigned long long v = 0;
    bool over = false;
    for (; i < t.size() && t[i] >= '0' && t[i] <= '9'; ++i) {
        unsigned d = static_cast<unsigned>(t[i] - '0');
        if (v > (ULLONG_MAX - d) / 10) over = true;
        else v = v * 10 + d;
    }
    if (neg) {
        if (over || v > static_cast<unsigned long long>(LLONG_MAX) + 1) return LLONG_MIN;
        return v == static_cast<unsigned long long>(LLONG_MAX) + 1 ? LLONG_MIN : -static_cast<long long>(v);
    }
    if (over || v > static_cast<unsigned long long>(LLONG_MAX)) return LLONG_MAX;
    return static_cast<long long>(v);
}

namespace {

// The length of a UTF-8 text cut to at most max bytes without splitting a
// character.
size_t utf8_cut(std::string_view t, size_t max) {
    if (t.size() <= max) return t.size();
    size_t n = max;
    while (n > 0 && (static_cast<unsigned char>(t[n]) & 0xC0) == 0x80) --n;
    return n;
}

}  // namespace

void xml_append_piece(xml_scan& s, std::string_view piece) {
    if (s.text.size() + piece.size() <= XML_TEXT_RAW_MAX) {
        s.text.append(piece);
        return;
    }
    size_t n = utf8_cut(piece, XML_TEXT_RAW_MAX - std::min<size_t>(s.text.size(), XML_TEXT_RAW_MAX));
    size_t amp = piece.substr(0, n).rfind('&');
    if (amp != std::string_view::npos && piece.substr(amp, n - amp).find(';') == std::string_view::npos)
        n = amp;  // an entity cut in two is left out
    s.text.append(piece.substr(0, n));
}

namespace {


// Resolves the numeric character references ("&#10;", "&#x3042;") that the
// entity unescaping leaves alone; a reference to one of the characters that
// the unescaping itself produces is written as its entity, so that every
// reference is resolved exactly once.
void resolve_char_refs(std::string& text) {
    if (text.find("&#") == std::string::npos) return;
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        if (text[i] == '&' && i + 2 < text.size() && text[i + 1] == '#') {
            size_t j = i + 2;
            bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
            if (hex) ++j;
            unsigned long cp = 0;
            size_t digits = 0;
            for (; j < text.size() && digits < 8; ++j, ++digits) {
                char c = text[j];
                int d = c >= '0' && c <= '9' ? c - '0'
                        : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
                        : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                        : -1;
                if (d < 0) break;
                cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(d);
            }
            if (digits > 0 && j < text.size() && text[j] == ';' && cp > 0 && cp <= 0x10FFFF &&
                !(cp >= 0xD800 && cp <= 0xDFFF)) {
                if (cp == '&') out += "&amp;";
                else if (cp == '<') out += "&lt;";
                else if (cp == '>') out += "&gt;";
                else plat_append_utf8(out, static_cast<uint32_t>(cp));
                i = j + 1;
                continue;
            }
        }
        out += text[i++];
    }
    text.swap(out);
}

}  // namespace

// Writes the content of each CDATA section escaped, so that the unescaping
// gives it back as it stands.
void escape_cdata(std::string& text) {
    size_t b = text.find("<![CDATA[");
    if (b == std::string::npos) return;
    std::string out(text, 0, b);
    while (b != std::string::npos) {
        size_t e = text.find("]]>", b + 9);
        size_t stop = e == std::string::npos ? text.size() : e;
        for (size_t i = b + 9; i < stop; ++i) {
            char c = text[i];
            if (c == '&') out += "&amp;";
            else if (c == '<') out += "&lt;";
            else if (c == '>') out += "&gt;";
            else if (c == '_') out += "_x005F_";
            else out += c;
        }
        if (e == std::string::npos) break;
        size_t next = text.find("<![CDATA[", e + 3);
        out.append(text, e + 3, (next == std::string::npos ? text.size() : next) - (e + 3));
        b = next;
    }
    text.swap(out);
}

int xml_unescape_text(std::string& text) {
    if (text.empty()) return 0;
    escape_cdata(text);
    resolve_char_refs(text);
    int len = static_cast<int>(text.size());
    if (xml_escape(XML_UNESCAPE, text.data(), &len) != 0) return -9;
    text.resize(static_cast<size_t>(len));
    return 0;
}

namespace {

// True when unescaping and CR LF folding leave the text as it is: no byte
// that begins an entity, a character reference, an "_xHHHH_" form, a
// no-break space or a CDATA section, and no CR.
bool plain_text(const std::string& t) {
    for (unsigned char c : t) {
        if (c == '&' || c == '_' || c == 0xC2 || c == '<' || c == '\r') return false;
    }
    return true;
}

}  // namespace

int xml_take_text(xml_scan& s, std::string& out) {
    out.swap(s.text);
    s.text.clear();
    if (out.empty()) return 0;
    if (!plain_text(out)) {
        if (xml_unescape_text(out) != 0) return -9;
        fold_crlf(3, out.data());
    }
    out.resize(utf8_cut(out, std::min(std::strlen(out.c_str()), static_cast<size_t>(XML_TEXT_MAX))));
    return 0;
}

bool xml_track_phonetic(xml_scan& s, int event, int code) {
    if (code == X_RPH) {
        if (event == XML_START) ++s.phonetic;
        else if ((event == XML_END || event == XML_LEAF) && s.phonetic > 0) --s.phonetic;
        return true;
    }
    return code == X_T && s.phonetic > 0;
}
