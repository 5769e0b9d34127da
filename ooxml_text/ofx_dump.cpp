// The two extraction entries and the front-end dumps around them.
#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "mfile.h"
#include "ofx.h"
#include "ofx_chart.h"
#include "ofx_document.h"
#include "ofx_internal.h"
#include "orb_file.h"
#include "orb_text.h"
#include "ofx_package.h"
#include "orb_cancel.h"
#include "orb_zip.h"
#include "platform.h"

namespace {

bool ends_with(const std::string& s, const char* suffix) {
    size_t n = std::strlen(suffix);
    return s.size() >= n && s.compare(s.size() - n, n, suffix) == 0;
}

// Walks one member, read whole; the parts it names are read from its
// relationships.
int walk_member(OFX_CONTEXT* ctx, const ofx_package& pkg, const std::string& name, int mode) {
    if (ctx->doc) ctx->doc->part = name;
    ofx_chart_source charts{&pkg, &name};
    ctx->chart_text = ofx_chart_text;
    ctx->chart_source = &charts;
    int rc = pkg.with_member(name, [&](const char* xml, size_t size) {
        ctx->work_size = static_cast<int>(std::min<size_t>(size + OFX_WORK_EXTRA, INT32_MAX));
        bool word = mode < OFX_MODE_PPTX;
        return word ? ofx_walk_docx(ctx, mode, xml, size) : ofx_walk_pptx(ctx, mode, xml, size);
    });
    ctx->chart_text = nullptr;
    ctx->chart_source = nullptr;
    return rc;
}

int write_separator(OFX_CONTEXT* ctx) {
    std::string line = OFX_EXTRA_SEPARATOR "\n";
    if (ofx_write_utf8(ctx, line) != 0) return -2;
    ctx->line_count += 1;
    return 0;
}

// The parts related to `part` by a relationship type ending in suffix, in
// the order of their names.
std::vector<std::string> related(const ofx_package& pkg, const std::string& part, const char* suffix) {
    std::vector<std::string> out;
    for (const ofx_relationship& r : pkg.relationships(part))
        if (ends_with(r.type, suffix) && pkg.has(r.target) &&
            std::find(out.begin(), out.end(), r.target) == out.end())
            out.push_back(r.target);
    std::stable_sort(out.begin(), out.end(),
                     [](const std::string& a, const std::string& b) { return orb_name_order(a.c_str(), b.c_str()) < 0; });
    return out;
}

// The first part related to `part` by a relationship type ending in suffix.
std::string first_related(const std::vector<ofx_relationship>& rels, const ofx_package& pkg, const char* suffix) {
    for (const ofx_relationship& r : rels)
        if (ends_with(r.type, suffix) && pkg.has(r.target)) return r.target;
    return std::string();
}

// Points ctx at the document while it lives.
struct document_scope {
    OFX_CONTEXT* ctx;
    document_scope(OFX_CONTEXT* c, ofx_document* d) : ctx(c) { ctx->doc = d; }
    ~document_scope() { ctx->doc = nullptr; }
};

// What the body of a Word document needs before it is walked: list
// numbering and styles, note numbering, the sections with their headers and
// footers, and (shape and comment text on) the texts of comments and notes.
int prepare_word(OFX_CONTEXT* ctx, const ofx_package& pkg, const std::string& document, ofx_document& doc) {
    std::vector<ofx_relationship> rels = pkg.relationships(document);
    std::string numbering = first_related(rels, pkg, "/numbering");
    std::string styles = first_related(rels, pkg, "/styles");
    std::string settings = first_related(rels, pkg, "/settings");
    pkg.with_member(numbering, [&](const char* n, size_t nl) {
        doc.numbering.load(n, nl, nullptr, 0);
        return 0;
    });
    pkg.with_member(styles, [&](const char* st, size_t sl) {
        doc.numbering.load(nullptr, 0, st, sl);
        return 0;
    });
    pkg.with_member(settings, [&](const char* xml, size_t size) {
        ofx_read_note_settings(xml, size, &doc.footnote_default, &doc.endnote_default);
        return 0;
    });
    // The sections tell where headers and footers go and how notes are
    // numbered: read when either is needed.
    std::map<std::string, std::string> targets;
    for (const ofx_relationship& r : rels) targets.emplace(r.id, r.target);
    pkg.with_member(document, [&](const char* xml, size_t size) {
        std::string_view text(xml, size);
        if (!ctx->skip_shapes || text.find("noteReference") != std::string_view::npos)
            doc.sections = ofx_read_sections(xml, size, targets, &doc.anchors);
        return 0;
    });
    if (ctx->skip_shapes) return 0;
    doc.all_headers = related(pkg, document, "/header");
    doc.all_footers = related(pkg, document, "/footer");
    static const struct {
        const char* suffix;
        int mode;
    } kinds[] = {
        {"/comments", OFX_MODE_DOCX_COMMENTS},
        {"/footnotes", OFX_MODE_DOCX_FOOTNOTES},
        {"/endnotes", OFX_MODE_DOCX_ENDNOTES},
    };
    for (const auto& k : kinds) {
        for (const std::string& part : related(pkg, document, k.suffix)) {
            doc.part = part;
            ofx_numbering::count_state counts = doc.numbering.take_counts();
            std::string scratch;
            int rc = pkg.with_member(part, [&](const char* xml, size_t size) {
                return ofx_walk_to_text(ctx, k.mode, xml, size, &scratch);
            });
            doc.numbering.put_counts(std::move(counts));
            if (rc != 0) return rc;
        }
    }
    doc.part = document;
    return 0;
}

// A slide's notes and comments (shape and comment text on).
int write_slide_extras(OFX_CONTEXT* ctx, const ofx_package& pkg, const std::string& slide) {
    int rc = write_separator(ctx);
    for (const std::string& part : related(pkg, slide, "/notesSlide")) {
        if (rc == 0) rc = ofx_write_label(ctx, OFX_MODE_PPTX_NOTES);
        if (rc == 0) rc = walk_member(ctx, pkg, part, OFX_MODE_PPTX_NOTES);
    }
    for (const std::string& part : related(pkg, slide, "/comments"))
        if (rc == 0) rc = walk_member(ctx, pkg, part, OFX_MODE_PPTX_COMMENTS);
    return rc;
}

// The slides in the order the presentation shows them; without a slide list,
// every slide part in numeric order.
std::vector<std::string> slide_parts(const ofx_package& pkg) {
    std::vector<std::string> slides;
    std::string presentation = pkg.target("", "/officeDocument");
    if (presentation.empty()) presentation = "ppt/presentation.xml";
    std::string xml;
    if (pkg.read(presentation, xml) == 0) {
        // A slide listed again (a damaged or crafted list) is shown once,
        // where it is first listed: a deck that lists one slide 100,000
        // times is one slide, not 100,000 sections.
        std::unordered_map<std::string, const ofx_relationship*> by_id;
        std::vector<ofx_relationship> rels = pkg.relationships(presentation);
        for (const ofx_relationship& r : rels) by_id.emplace(r.id, &r);
        std::unordered_set<std::string> listed;
        for (const std::string& id : ofx_slide_ids(xml)) {
            auto it = by_id.find(id);
            if (it != by_id.end() && !listed.count(it->second->target) && pkg.has(it->second->target)) {
                listed.insert(it->second->target);
                slides.push_back(it->second->target);
            }
        }
    }
    if (slides.empty()) {
        for (int i = 0; i < pkg.count; ++i) {
            const char* name = pkg.table[i];
            // slide1.xml, ...: not the folder's "_rels" members.
            if (std::strncmp(name, "ppt/slides/slide", 16) == 0 && std::strchr(name + 11, '/') == nullptr)
                slides.push_back(name);
        }
    }
    return slides;
}

int open_numbered(OFX_CONTEXT* ctx, bool word, int number) {
    char path[OFX_PATH_SIZE + 64];
    if (ofx_output_path(ctx, word, number, path, sizeof path) != 0) return -9;
    return ofx_open_output(ctx, path);
}

// Copies a text into a context buffer; false when it does not fit.
bool copy_path(char* dst, const char* src) {
    size_t n = std::strlen(src);
    if (n >= OFX_PATH_SIZE) return false;
    std::memcpy(dst, src, n + 1);
    return true;
}

int ask_interrupted(void* ui) { return static_cast<vergle_ui*>(ui)->interrupted() ? 1 : 0; }

// The dump's interface, passed on, counting the messages shown through it.
struct counting_ui : vergle_ui {
    vergle_ui* to;
    int shown = 0;
    explicit counting_ui(vergle_ui* ui) : to(ui) {}
    void show_error(const std::string& text, bool owned) override {
        ++shown;
        to->show_error(text, owned);
    }
    bool ask_retry(const std::string& text) override { return to->ask_retry(text); }
    bool pump_one_message() override { return to->pump_one_message(); }
    bool interrupted() override { return to->interrupted(); }
    void sheet_begun(int sheet, int sheets, const std::string& name) override { to->sheet_begun(sheet, sheets, name); }
    void document_begun(const std::string& d, const std::string& f) override { to->document_begun(d, f); }
    void document_ended() override { to->document_ended(); }
};

int run_dump(const dump_request& req, bool word) {
    // The unpacking and the slides ask the run whether to stop.
    orb_cancel_fn prev_fn = nullptr;
    void* prev_ctx = nullptr;
    orb_set_cancel(req.ui ? ask_interrupted : nullptr, req.ui, &prev_fn, &prev_ctx);
    OFX_CONTEXT ctx;
    counting_ui ui(req.ui);
    int rc = ofx_init(&ctx);
    if (rc == 0) {
        ctx.split_pages = !req.allpage;
        ctx.skip_shapes = !req.textbox;
        ctx.ui = req.ui ? &ui : nullptr;
        ctx.out_charset = req.out_charset;
        if (!copy_path(ctx.output_folder, req.output_folder)) {
            if (req.ui) ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", req.output_folder), true);
            rc = -9;
        } else if (!copy_path(ctx.input_path, dump_source(req))) {
            if (req.ui) ui.show_error(ui_format("ファイルのパスが長すぎます。(%s)", req.path), true);
            rc = -9;
        } else {
            // An existing folder is used as it is.
            orb_make_dir(ctx.output_folder);
            rc = word ? ofx_docx_pptx(&ctx) : ofx_read_pptx(&ctx);
        }
    }
    ofx_term(&ctx);
    orb_set_cancel(prev_fn, prev_ctx);
    if (rc != 0) {
        // Interrupted: the run says so itself.  Otherwise the walker's
        // function and code only with --debug; else why the document could
        // not be read, unless a message has told it already (an output file
        // that could not be written).
        std::string internal =
            ui_format(word ? "ERROR:ofx_docx_pptx() rc=%d" : "ERROR:ofx_read_pptx() rc=%d", static_cast<long long>(rc)) +
            ui_format(" (%s)", req.path);
        if (req.ui && !(rc == ORB_CANCELLED && req.ui->interrupted()) && (ui_debug() || ui.shown == 0))
            req.ui->show_error(ui_open_failure(req.path, rc, internal), false);
        return -1;
    }
    return 0;
}

}  // namespace

int ofx_docx_pptx(OFX_CONTEXT* ctx) {
    ofx_package pkg;
    int rc = pkg.unpack(ctx->input_path);
    if (rc != 0) return rc;
    ctx->page_number = 0;
    ctx->line_count = 0;
    std::string document = pkg.target("", "/officeDocument");
    if (document.empty() || !pkg.has(document)) document = "word/document.xml";
    // A package without its document part is no Word document, however
    // its name ends: refused as a part that cannot be read.
    if (!pkg.has(document)) return -1;
    ofx_document doc;
    doc.pkg = &pkg;
    doc.part = document;
    document_scope scope(ctx, &doc);
    try {
        rc = prepare_word(ctx, pkg, document, doc);
    } catch (...) {
        rc = -2;
    }
    if (rc != 0) return rc;
    rc = open_numbered(ctx, true, ctx->split_pages ? ctx->page_number + 1 : -1);
    if (rc != 0) return rc;
    ctx->line_count = 0;
    ctx->grid_columns = 0;
    rc = walk_member(ctx, pkg, document, OFX_MODE_DOCX);
    if (rc == 0) {
        try {
            rc = doc.end_page(ctx, true);
        } catch (...) {
            rc = -2;
        }
    }
    int close_rc = ofx_close_output(ctx);
    if (rc != 0) return rc;
    return close_rc;
}

int ofx_read_pptx(OFX_CONTEXT* ctx) {
    ofx_package pkg;
    int rc = pkg.unpack(ctx->input_path);
    if (rc != 0) return rc;
    ctx->page_number = 0;
    ctx->line_count = 0;
    std::string presentation = pkg.target("", "/officeDocument");
    if (presentation.empty() || !pkg.has(presentation)) presentation = "ppt/presentation.xml";
    // A package without its presentation part is refused, as in Word.
    if (!pkg.has(presentation)) return -1;
    std::vector<std::string> slides;
    try {
        slides = slide_parts(pkg);
    } catch (...) {
        return -2;
    }
    ofx_document doc;
    doc.pkg = &pkg;
    doc.word = false;
    document_scope scope(ctx, &doc);
    if (!ctx->split_pages) {
        rc = open_numbered(ctx, false, -1);
        if (rc != 0) return rc;
    }
    for (const std::string& slide : slides) {
        if (orb_cancelled()) return ORB_CANCELLED;
        ctx->page_number += 1;
        if (ctx->split_pages) {
            rc = open_numbered(ctx, false, ctx->page_number - 1);
            if (rc != 0) return rc;
        }
        ctx->line_count = 0;
        rc = walk_member(ctx, pkg, slide, OFX_MODE_PPTX);
        if (rc == 0 && !ctx->skip_shapes) rc = write_slide_extras(ctx, pkg, slide);
        if (ctx->split_pages) {
            int close_rc = ofx_close_output(ctx);
            if (rc == 0) rc = close_rc;
        }
        if (rc != 0) return rc;
    }
    if (!ctx->split_pages) return ofx_close_output(ctx);
    return 0;
}

int dump_word_text(const dump_request& req) { return run_dump(req, true); }

int dump_powerpoint_text(const dump_request& req) { return run_dump(req, false); }
