// The tag walker.  It does not validate XML: it steps from tag to tag, keeps
// a stack of the open elements with the type of each, and lays the text out
// as the office program shows it:
//   - a paragraph is one line; line breaks inside it (w:br, w:cr, a:br) end
//     the line, tabs (w:tab, w:ptab, a:tab) write a tab;
//   - a numbered paragraph starts with its number as shown (ofx_numbering);
//   - a table row is one line: every cell's text followed by a tab; the
//     paragraphs of one cell are lines of their own within the cell's text;
//   - a text box (w:txbxContent), a SmartArt diagram and WordArt
//     (v:textpath) follow the text of the paragraph that anchors them;
//   - an equation is linear text where it stands (ofx_math), an equation
//     paragraph (m:oMathPara) one line per equation;
//   - footnote and endnote marks stand in square brackets where they are
//     referenced ("[1]", "[i]"), and a note's text begins with its mark;
//   - a legacy check box shows "■" checked or "□" not;
//   - only the character data of text elements (w:t, a:t) is content, so the
//     whitespace that indented XML puts between tags counts for nothing.
// Lines are collected per paragraph and written when the paragraph ends, so
// that a page break inside a paragraph can end the page exactly where it
// stands: the text before it closes the old page, the text after it opens
// the next.  Elements are known by namespace URI (ofx_xml), never by prefix.
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "ofx.h"
#include "ofx_document.h"
#include "ofx_internal.h"
#include "ofx_math.h"
#include "ofx_numfmt.h"
#include "ofx_tags.h"
#include "ofx_xml.h"

namespace {

// The lines of the extra parts are introduced by these labels.
const char* const k_label_comment = "【コメント】";
const char* const k_label_footnote = "【脚注】";
const char* const k_label_endnote = "【文末脚注】";
const char* const k_label_header = "【ヘッダー】";
const char* const k_label_footer = "【フッター】";
const char* const k_label_notes = "【ノート】";

// A legacy check box as code page 932 can show it.
const char* const k_checked = "■";
const char* const k_unchecked = "□";

bool equals_nocase(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i)
        if ((a[i] | 0x20) != (b[i] | 0x20)) return false;
    return true;
}

bool on(const std::string& v) { return !(v == "0" || v == "false" || v == "off"); }

// Removes the walker's marks from text, handing each anchor to f(kind, id);
// a note's own mark stays when keep_self.
template <typename F>
void take_marks(std::string& s, bool keep_self, F f) {
    if (s.find("\xEF\xBF") == std::string::npos) return;
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s.compare(i, 3, OFX_MARK) == 0) {
            size_t end = s.find(OFX_MARK, i + 3);
            if (end == std::string::npos) break;
            if (end > i + 3) f(s[i + 3], s.substr(i + 4, end - i - 4));
            i = end + 3;
            continue;
        }
        if (!keep_self && s.compare(i, 3, OFX_NOTE_SELF) == 0) {
            i += 3;
            continue;
        }
        out += s[i++];
    }
    s.swap(out);
}

// Layout frames: a paragraph collecting its line, a table row, and the two
// containers of lines, a table cell and a text box.
enum frame_kind { F_PARA, F_ROW, F_CELL, F_BOX };

struct frame {
    frame_kind kind = F_PARA;
    std::string text;      // paragraph: its line; row: the cells; cell and box: lines, each ending "\n"
    std::string deferred;  // paragraph: the lines of its text boxes
    bool split = false;    // paragraph: a page break has written its first part
    bool section_end = false;  // paragraph: its properties end a section
    bool settled = false;      // paragraph: its properties are known and its number given
    bool break_next = false;   // paragraph: what follows an equation line starts a new line
    ofx_paragraph_props props;
};

struct element {
    tag_type type;
    bool framed;  // a layout frame was pushed for it
};

struct content_control {
    int checkbox = -1;  // w14:checkbox: -1 none, else 0 or 1
};

struct walker {
    OFX_CONTEXT* ctx = nullptr;
    ofx_document* doc = nullptr;
    int mode = 0;
    bool word = true;
    bool bare = false;  // the paragraph routines: no line feed after the paragraph
    std::string* sink = nullptr;  // lines go here instead of the output file
    std::vector<element> stack;
    std::vector<frame> frames;
    int skip_depth = -1;    // elements at or below this depth are not shown
    int pending_breaks = 0; // page breaks waiting for the next line of the body
    bool section_continuous = false;
    bool sp_placeholder = false;  // the current p:sp or p:graphicFrame is a placeholder
    bool sp_notes_body = false;   // ... the body placeholder of a notes page
    std::string text;             // character data of the current text element
    std::string out;              // lines for the output file, not yet converted and written
    std::unique_ptr<ofx_math> math;  // the equation being read
    size_t math_depth = 0;
    int checkbox = -1;            // the legacy check box being read: -1 none, else its state
    int checkbox_default = 0;
    std::vector<content_control> controls;  // open w:sdt elements
    int replace_depth = -1;       // text below this depth shows as replacement instead
    std::string replacement;
    std::string note_id;          // the comment or note being read
    size_t note_start = 0;        // where its lines begin in *sink
    long local_marks = 0;         // note marks without a document

    ofx_xml* x = nullptr;

    // Converts and writes the collected lines.
    int flush() {
        if (out.empty()) return 0;
        // A note's text keeps the place of its mark until it is written.
        take_marks(out, sink != nullptr, [](char, const std::string&) {});
        if (sink) {
            sink->append(out);
        } else if (ofx_write_utf8(ctx, out) != 0) {
            return -2;
        }
        out.clear();
        return 0;
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
            int rc = page_break();
            if (rc != 0) return rc;
        }
        std::string clean = lines;
        if (doc && in_word_body() && !sink) {
            doc->lines_coming();
            take_marks(clean, false, [this](char kind, const std::string& id) { doc->page_ref(kind, id); });
        }
        out += clean;
        if (!sink)
            for (char c : clean)
                if (c == '\n') ctx->line_count += 1;
        return out.size() >= 65536 ? flush() : 0;
    }

    int page_break() {
        int rc = flush();
        if (rc == 0 && doc && !sink) rc = doc->end_page(ctx, false);
        if (rc != 0) return rc;
        ctx->page_number += 1;
        char path[OFX_PATH_SIZE + 64];
        if (ofx_output_path(ctx, true, ctx->page_number + 1, path, sizeof path) != 0) return -9;
        rc = ofx_open_output(ctx, path);
        ctx->line_count = 0;
        return rc;
    }

    // Hands finished lines to what encloses the frames above `level`: the
    // nearest cell or text box, a row, or the output file.
    int deliver(const std::string& lines, size_t level) {
        for (size_t i = level; i-- > 0;) {
            frame& f = frames[i];
            if (f.kind == F_CELL || f.kind == F_BOX || f.kind == F_ROW) {
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

    // Lines that follow the paragraph anchoring them (text boxes, diagrams,
    // WordArt), or stand where they are outside any paragraph.
    int deliver_anchored(const std::string& lines) {
        if (lines.empty()) return 0;
        if (frame* anchor = innermost(F_PARA)) {
            anchor->deferred += lines;
            return 0;
        }
        return deliver(lines, frames.size());
    }

    bool at_body_level() const { return frames.size() == 1 && frames[0].kind == F_PARA; }

    int push(frame_kind kind) {
        frame f;
        f.kind = kind;
        frames.push_back(std::move(f));
        return 0;
    }

    int pop_frame() {
        frame& top = frames.back();
        if (top.kind == F_PARA) {
            int rc = settle(top);
            if (rc != 0) return rc;
        }
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
            if (f.section_end && level == 0 && in_word_body()) {
                if (ctx->split_pages) pending_breaks += 1;
                if (doc) doc->section_ended();
            }
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
        case F_BOX: return deliver_anchored(f.text);
        }
        return 0;
    }

    // A paragraph's properties are complete: its number, and a page break
    // before it.
    int settle(frame& p) {
        if (p.settled) return 0;
        p.settled = true;
        if (!word) return 0;
        bool before = doc ? doc->numbering.page_break_before(p.props) : p.props.page_break_before == 1;
        // A page that has text gets a break; one already coming is enough.
        if (before && frames.size() == 1 && &p == &frames[0] && in_word_body() && ctx->split_pages &&
            pending_breaks == 0 && (ctx->line_count > 0 || !out.empty()))
            pending_breaks = 1;
        if (doc) {
            std::string label = doc->numbering.label(p.props);
            if (!label.empty()) p.text.insert(0, label);
        }
        return 0;
    }

    // Character output inside the current paragraph.
    void put(const std::string& s) {
        frame* p = paragraph();
        if (!p || s.empty()) return;
        if (p->break_next) {
            p->break_next = false;
            if (s[0] != '\n') p->text += "\n";
        }
        p->text += s;
    }

    // Text of a run; inside a check box control, the box's state instead.
    void put_text(const std::string& s) {
        if (replace_depth >= 0) {
            put(replacement);
            replacement.clear();
        } else {
            put(s);
        }
    }

    int line_break_in_paragraph() {
        std::string type;
        bool page = x->attr(OFX_NS_W, "type", &type) && equals_nocase(type, "page");
        if (!word || !page) {
            put("\n");
            return 0;
        }
        // A page break: only in the body's own paragraphs.
        if (!at_body_level()) return 0;
        frame& p = frames[0];
        settle(p);
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

    tag_type parent(size_t up = 0) const {
        return stack.size() > up ? stack[stack.size() - 1 - up].type : T_NONE;
    }

    // The paragraph whose own properties hold the current element (the
    // element's parent is the paragraph's w:pPr, or `up` levels above it).
    frame* own_properties(size_t up) {
        if (parent(up) != T_PPR || parent(up + 1) != T_P) return nullptr;
        return paragraph();
    }

    std::string mark(char kind, const std::string& id) {
        return std::string(OFX_MARK) + kind + id + OFX_MARK;
    }

    int note_reference(bool endnote) {
        std::string id, custom;
        x->attr(OFX_NS_W, "id", &id);
        bool custom_mark = x->attr(OFX_NS_W, "customMarkFollows", &custom) && on(custom);
        char kind = endnote ? OFX_REF_ENDNOTE : OFX_REF_FOOTNOTE;
        // A custom mark (the run that follows) takes no number.
        if (!custom_mark) {
            std::string m = doc ? doc->note_mark(kind, id)
                                : ofx_format_number(endnote ? "lowerRoman" : "decimal", ++local_marks);
            put("[" + m + "]");
        }
        put(mark(kind, id));
        return 0;
    }

    // Start of an element (also of an empty one, before its end).
    int start(tag_type type) {
        tag_type up = parent();
        if (frame* p = paragraph(); p && !p->settled && up == T_P && type != T_PPR) {
            int rc = settle(*p);
            if (rc != 0) return rc;
        }
        switch (type) {
        case T_P: return push(F_PARA);
        case T_CM_TEXT: return push(F_PARA);
        case T_TR: return push(F_ROW);
        case T_TC: return push(F_CELL);
        case T_TXBX: return push(F_BOX);
        case T_T: text.clear(); return 0;
        case T_TAB:
            if (up == T_R || up == T_P) put("\t");
            return 0;
        case T_PTAB: put("\t"); return 0;
        case T_BR:
            if (up == T_R || up == T_P) return line_break_in_paragraph();
            return 0;
        case T_CR: put("\n"); return 0;
        case T_HYPHEN: put("-"); return 0;
        case T_SOFT_HYPHEN: put("\xC2\xAD"); return 0;
        case T_SYM: {
            std::string code;
            if (x->attr(OFX_NS_W, "char", &code)) {
                char* stop = nullptr;
                unsigned long cp = std::strtoul(code.c_str(), &stop, 16);
                if (stop && *stop == '\0' && cp > 0) {
                    std::string s;
                    xml_append_char(s, cp);
                    put_text(ofx_symbol_text(s));
                }
            }
            return 0;
        }
        case T_SECTPR: section_continuous = false; return 0;
        case T_SECT_TYPE:
            if (up == T_SECTPR) {
                std::string v;
                section_continuous = x->attr(OFX_NS_W, "val", &v) && v == "continuous";
            }
            return 0;
        case T_GRIDCOL: ctx->grid_columns += 1; return 0;
        case T_SP:
        case T_GRAPHIC_FRAME: sp_placeholder = false; sp_notes_body = false; return 0;
        case T_PH: {
            sp_placeholder = true;
            std::string v;
            sp_notes_body = x->attr(OFX_NS_NONE, "type", &v) && v == "body";
            return 0;
        }
        case T_NOTE: {
            std::string v;
            // Separators of footnotes and endnotes are no notes.
            if (x->attr(OFX_NS_W, "type", &v) && v != "normal") return 0;
            const char* l = mode == OFX_MODE_DOCX_FOOTNOTES ? k_label_footnote
                          : mode == OFX_MODE_DOCX_ENDNOTES  ? k_label_endnote
                          : mode == OFX_MODE_DOCX_COMMENTS  ? k_label_comment
                                                            : nullptr;
            if (doc && sink) {
                int rc = flush();
                if (rc != 0) return rc;
                note_id.clear();
                x->attr(OFX_NS_W, "id", &note_id);
                note_start = sink->size();
            }
            return l ? label(l) : 0;
        }
        case T_CM: return mode == OFX_MODE_PPTX_COMMENTS ? label(k_label_comment) : 0;
        case T_CHART: return chart();
        case T_PSTYLE:
            if (frame* p = own_properties(0)) x->attr(OFX_NS_W, "val", &p->props.style);
            return 0;
        case T_ILVL:
        case T_NUMID:
            if (up == T_NUMPR) {
                if (frame* p = own_properties(1)) {
                    std::string v;
                    if (x->attr(OFX_NS_W, "val", &v)) {
                        char* stop = nullptr;
                        long n = std::strtol(v.c_str(), &stop, 10);
                        if (stop && *stop == '\0' && !v.empty()) {
                            if (type == T_ILVL) {
                                p->props.has_ilvl = true;
                                p->props.ilvl = n;
                            } else {
                                p->props.has_num_id = true;
                                p->props.num_id = n;
                            }
                        }
                    }
                }
            }
            return 0;
        case T_PAGE_BREAK_BEFORE:
            if (frame* p = own_properties(0)) {
                std::string v;
                p->props.page_break_before = !x->attr(OFX_NS_W, "val", &v) || on(v) ? 1 : 0;
            }
            return 0;
        case T_FOOTNOTE_REF: return note_reference(false);
        case T_ENDNOTE_REF: return note_reference(true);
        case T_NOTE_MARK: put(OFX_NOTE_SELF); return 0;
        case T_COMMENT_REF: {
            std::string id;
            x->attr(OFX_NS_W, "id", &id);
            put(mark(OFX_REF_COMMENT, id));
            return 0;
        }
        case T_CHECKBOX: checkbox = -1; checkbox_default = 0; return 0;
        case T_CB_DEFAULT:
        case T_CB_CHECKED:
            if (up == T_CHECKBOX) {
                std::string v;
                int state = !x->attr(OFX_NS_W, "val", &v) || on(v) ? 1 : 0;
                if (type == T_CB_DEFAULT) checkbox_default = state;
                else checkbox = state;
            }
            return 0;
        case T_SDT: controls.push_back(content_control{}); return 0;
        case T_CHECKBOX14:
            if (!controls.empty() && controls.back().checkbox < 0) controls.back().checkbox = 0;
            return 0;
        case T_CHECKED14:
            if (up == T_CHECKBOX14 && !controls.empty()) {
                std::string v;
                controls.back().checkbox = !x->attr(OFX_NS_W14, "val", &v) || on(v) ? 1 : 0;
            }
            return 0;
        case T_SDT_CONTENT:
            // A check box control shows its state, whatever glyph its
            // content draws it with.
            if (!controls.empty() && controls.back().checkbox >= 0 && replace_depth < 0) {
                replace_depth = static_cast<int>(stack.size());
                replacement = controls.back().checkbox ? k_checked : k_unchecked;
            }
            return 0;
        case T_TEXTPATH: {
            std::string s;
            if (x->attr(OFX_NS_NONE, "string", &s) && !s.empty()) return deliver_anchored(s + "\n");
            return 0;
        }
        case T_DIAGRAM: {
            bool shown = word ? !ctx->skip_shapes : (!ctx->skip_shapes || sp_placeholder);
            std::string id;
            if (shown && doc && x->attr(OFX_NS_R, "dm", &id)) {
                std::string lines = doc->smartart(id);
                return word ? deliver_anchored(lines) : deliver(lines, frames.size());
            }
            return 0;
        }
        default: return 0;
        }
    }

    // A chart is shape text: its lines follow the paragraph that anchors
    // it, as a text box's do, or stand where its graphic frame does.
    int chart() {
        std::string id, lines;
        if (ctx->skip_shapes || !ctx->chart_text || !x->attr(OFX_NS_R, "id", &id)) return 0;
        int rc = ctx->chart_text(ctx->chart_source, id.c_str(), &lines);
        if (rc != 0) return rc;
        return deliver_anchored(lines);
    }

    // Whether the content of a starting element is left out.
    bool hides(tag_type type) {
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
            return x->attr(OFX_NS_W, "type", &v) && v != "normal";
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
            put_text(text);
            text.clear();
        }
        if (e.type == T_SECTPR && word) {
            if (parent() == T_PPR && parent(1) == T_P && at_body_level()) {
                if (!section_continuous) frames[0].section_end = true;
                else if (doc && in_word_body()) doc->section_ended();
            } else if (frames.empty() && parent() != T_PPR && in_word_body()) {
                if (!section_continuous && ctx->split_pages) pending_breaks += 1;
                if (doc) doc->section_ended();
            }
        }
        if (e.type == T_CHECKBOX) put(checkbox < 0 ? (checkbox_default ? k_checked : k_unchecked)
                                                     : (checkbox ? k_checked : k_unchecked));
        if (e.type == T_SDT && !controls.empty()) controls.pop_back();
        if (e.type == T_NOTE && doc && sink && !note_id.empty()) {
            int rc = flush();
            if (rc != 0) return rc;
            std::string item = sink->substr(note_start);
            sink->resize(note_start);
            std::map<std::string, std::string>* texts = nullptr;
            std::vector<std::string>* order = nullptr;
            if (mode == OFX_MODE_DOCX_COMMENTS) texts = &doc->comments, order = &doc->comment_order;
            else if (mode == OFX_MODE_DOCX_FOOTNOTES) texts = &doc->footnotes, order = &doc->footnote_order;
            else if (mode == OFX_MODE_DOCX_ENDNOTES) texts = &doc->endnotes, order = &doc->endnote_order;
            if (texts && texts->emplace(note_id, item).second) order->push_back(note_id);
            note_id.clear();
        }
        if (e.framed) return pop_frame();
        return 0;
    }

    // The equation read is written where it stands.
    int end_math() {
        std::string s = math->linear();
        bool display = math->display();
        math.reset();
        if (s.empty()) return 0;
        frame* p = paragraph();
        if (!p) return deliver(s + "\n", frames.size());
        if (display) {
            if (!p->text.empty() && p->text.back() != '\n') p->text += "\n";
            p->text += s;
            p->break_next = true;
            return 0;
        }
        put(s);
        return 0;
    }
};

bool frames_for(tag_type t) { return t == T_P || t == T_CM_TEXT || t == T_TR || t == T_TC || t == T_TXBX; }

// The scan of one part; the lines it collects are written by the caller,
// also when the scan fails part-way.
int scan(walker& w, const char* xml, size_t len) {
    ofx_xml x(xml, len);
    w.x = &x;
    for (;;) {
        ofx_xml::token t = x.next();
        switch (t) {
        case ofx_xml::DONE: return 0;
        case ofx_xml::BAD_END: return -1;
        case ofx_xml::TEXT:
            if (w.math) {
                w.math->text(x);
            } else if (!w.stack.empty() && !w.skipping() &&
                       (w.stack.back().type == T_T || w.stack.back().type == T_CM_TEXT)) {
                x.append_text(w.text);
            }
            continue;
        case ofx_xml::END: {
            if (w.stack.empty()) return -1;
            element e = w.stack.back();
            w.stack.pop_back();
            if (static_cast<int>(w.stack.size()) == w.replace_depth) w.replace_depth = -1;
            if (w.math) {
                w.math->close();
                if (w.stack.size() == w.math_depth) {
                    int rc = w.end_math();
                    if (rc != 0) return rc;
                }
                continue;
            }
            if (w.skipping()) {
                if (static_cast<int>(w.stack.size()) == w.skip_depth) w.skip_depth = -1;
                if (e.framed) w.frames.pop_back();
                if (e.type == T_T) w.text.clear();
                continue;
            }
            int rc = w.end(e);
            if (rc != 0) return rc;
            continue;
        }
        case ofx_xml::START: break;
        }
        if (x.qname().size() > OFX_NAME_MAX) return -1;
        if (!x.empty() && w.stack.size() == OFX_MAX_DEPTH) return -9;
        if (w.math) {
            w.math->open(x);
            w.stack.push_back(element{T_NONE, false});
            continue;
        }
        tag_type type = ofx_classify(x);
        element e{type, false};
        if (!w.skipping()) {
            if (w.hides(type)) {
                w.skip_depth = static_cast<int>(w.stack.size());
            } else if (type == T_MATH) {
                w.math = std::make_unique<ofx_math>();
                w.math->open(x);
                w.math_depth = w.stack.size();
            } else {
                int rc = w.start(type);
                if (rc != 0) return rc;
                e.framed = frames_for(type);
            }
        }
        w.stack.push_back(e);
    }
}

int walk(OFX_CONTEXT* ctx, int mode, bool word, bool bare, const char* xml, size_t len, std::string* sink) {
    if (!ctx || (!xml && len > 0)) return -1;
    walker w;
    w.ctx = ctx;
    w.doc = ctx->doc;
    w.mode = mode;
    w.word = word;
    w.bare = bare;
    w.sink = sink;
    int rc;
    try {
        rc = scan(w, xml, len);
    } catch (...) {
        rc = -2;
    }
    int flushed;
    try {
        flushed = w.flush();
    } catch (...) {
        flushed = -2;
    }
    if (rc == 0) rc = flushed;
    if (rc == 0 && !sink && ofx_write_failed(ctx)) rc = -103;
    return rc;
}

}  // namespace

const char* ofx_label_text(int mode) {
    return mode == OFX_MODE_DOCX_HEADER  ? k_label_header
         : mode == OFX_MODE_DOCX_FOOTER  ? k_label_footer
         : mode == OFX_MODE_PPTX_NOTES   ? k_label_notes
                                         : nullptr;
}

int ofx_write_label(OFX_CONTEXT* ctx, int mode) {
    const char* l = ofx_label_text(mode);
    if (!l) return 0;
    std::string out = std::string(l) + "\n";
    if (ofx_write_utf8(ctx, out) != 0) return -2;
    ctx->line_count += 1;
    return ofx_write_failed(ctx) ? -103 : 0;
}

int ofx_walk_docx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len) {
    return walk(ctx, mode, true, false, xml, len, nullptr);
}

int ofx_walk_pptx(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len) {
    return walk(ctx, mode, false, false, xml, len, nullptr);
}

int ofx_walk_to_text(OFX_CONTEXT* ctx, int mode, const char* xml, size_t len, std::string* out) {
    return walk(ctx, mode, mode < OFX_MODE_PPTX, false, xml, len, out);
}

int ofx_docx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len) {
    return walk(ctx, OFX_MODE_DOCX_PARAGRAPH, true, true, start, len, nullptr);
}

int ofx_pptx_paragraph_text(OFX_CONTEXT* ctx, const char* start, size_t len) {
    return walk(ctx, OFX_MODE_PPTX_PARAGRAPH, false, true, start, len, nullptr);
}
