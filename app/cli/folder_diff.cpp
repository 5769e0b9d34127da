#include "folder_diff.h"

#include <algorithm>
#include <map>
#include <memory>

#include "orb_file.h"
#include "platform.h"
#include "report.h"
#include "section_view.h"

namespace {

// Names with their digit runs compared by value.
bool natural_less(const std::string& x, const std::string& y) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < x.size() && j < y.size()) {
        if (digit(x[i]) && digit(y[j])) {
            size_t i1 = i, j1 = j;
            while (i1 < x.size() && x[i1] == '0') ++i1;
            while (j1 < y.size() && y[j1] == '0') ++j1;
            size_t i2 = i1, j2 = j1;
            while (i2 < x.size() && digit(x[i2])) ++i2;
            while (j2 < y.size() && digit(y[j2])) ++j2;
            if (i2 - i1 != j2 - j1) return i2 - i1 < j2 - j1;
            int c = x.compare(i1, i2 - i1, y, j1, j2 - j1);
            if (c != 0) return c < 0;
            i = i2, j = j2;
        } else {
            if (x[i] != y[j]) return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[j]);
            ++i, ++j;
        }
    }
    return x.size() - i < y.size() - j || (x.size() - i == y.size() - j && x < y);
}

std::string join(const std::string& folder, const std::string& name) {
    char p[ORB_PATH_MAX];
    if (orb_join_path(p, sizeof p, folder.c_str(), name.c_str()) != 0) return "";
    return p;
}

// Reads one section's text.  False after the message when it cannot be
// read.
bool load(const std::string& folder, const text_section& section, int charset, vergle_ui& ui, std::string& text) {
    std::string path = join(folder, section.file);
    if (!path.empty() && read_written_text(path, charset, text)) return true;
    ui.show_error(ui_format("テキストファイルを読めません。(%s)", path.empty() ? section.file : path), true);
    return false;
}

// The kind of a document's section: a sheet when its dump told its
// layout, else by the file names the dumps give (pages "ページ001", slides
// "スライド000"; one file for a whole document is plain text).
align::section_kind kind_of(const text_section& s) {
    if (s.rows >= 0) return align::section_kind::sheet;
    static const std::string page = plat_native_from_utf8("ページ"), slide = plat_native_from_utf8("スライド");
    if (s.file.compare(0, page.size(), page) == 0) return align::section_kind::page;
    if (s.file.compare(0, slide.size(), slide) == 0) return align::section_kind::slide;
    return align::section_kind::text;
}

// Reads a folder's sections into doc.  False after the message.
bool load_document(const std::string& folder, const std::vector<text_section>& sections, int charset, vergle_ui& ui,
                   view_document& doc) {
    doc.sections.reserve(sections.size());
    for (const text_section& t : sections) {
        doc.sections.emplace_back();
        align::section& s = doc.sections.back();
        s.title = t.title;
        s.kind = kind_of(t);
        s.sheet_rows = t.rows;
        for (const sheet_break& b : t.breaks) s.breaks.push_back({b.row, b.column, b.count});
        if (!load(folder, t, charset, ui, s.text)) return false;
    }
    return true;
}

void add_summary(align::summary& sum, const align::summary& s) {
    sum.added += s.added;
    sum.removed += s.removed;
    sum.renamed += s.renamed;
    sum.moved += s.moved;
    sum.changed += s.changed;
    sum.same += s.same;
    sum.cells_changed += s.cells_changed;
    sum.rows_inserted += s.rows_inserted;
    sum.rows_deleted += s.rows_deleted;
    sum.columns_inserted += s.columns_inserted;
    sum.columns_deleted += s.columns_deleted;
    sum.lines_changed += s.lines_changed;
}

}  // namespace

bool folder_sections(const std::string& folder, const std::vector<text_section>& known,
                     std::vector<text_section>& out) {
    std::vector<plat_dirent> entries;
    out.clear();
    if (plat_list_dir(folder.c_str(), entries) != 0) return false;
    std::map<std::string, bool> present;
    for (const plat_dirent& e : entries) {
        if (e.kind == PLAT_FILE) present[e.name] = false;
    }
    for (const text_section& k : known) {
        auto it = present.find(k.file);
        if (it == present.end()) continue;
        if (it->second) {
            for (text_section& o : out) {
                if (o.file == k.file) o = k;
            }
            continue;
        }
        it->second = true;
        out.push_back(k);
    }
    std::vector<std::string> rest;
    for (const auto& p : present) {
        if (!p.second) rest.push_back(p.first);
    }
    std::sort(rest.begin(), rest.end(), natural_less);
    for (const std::string& r : rest) out.push_back({r, plat_utf8_from_native(r)});
    return true;
}

bool read_written_text(const std::string& path, int charset, std::string& out) {
    out.clear();
    plat_file* f = plat_open(path.c_str(), PLAT_READ);
    if (!f) return false;
    std::string raw;
    char buf[1 << 16];
    size_t n;
    while ((n = plat_read(f, buf, sizeof buf)) > 0) raw.append(buf, n);
    plat_close(f);
    if (charset != 3) {
        std::u16string wide;
        if (!plat_cp932_to_utf16(raw.data(), raw.size(), wide) || !plat_utf16_to_utf8(wide.data(), wide.size(), raw))
            return false;
    }
    // CR before LF dropped, the rest copied in pieces.
    out.reserve(raw.size());
    size_t from = 0;
    for (;;) {
        size_t cr = raw.find("\r\n", from);
        if (cr == std::string::npos) break;
        out.append(raw, from, cr - from);
        from = cr + 1;
    }
    out.append(raw, from, std::string::npos);
    return true;
}

int compare_documents(const std::string& folder1, const std::vector<text_section>& one, const std::string& name1,
                      const std::string& folder2, const std::vector<text_section>& two, const std::string& name2,
                      const folder_diff_options& opt, vergle_ui& ui, std::FILE* out, const std::string& header,
                      bool force_header, report::page* html, align::summary& sum) {
    view_document a, b;
    a.name = name1;
    b.name = name2;
    if (!load_document(folder1, one, opt.charset, ui, a) || !load_document(folder2, two, opt.charset, ui, b)) return 2;

    std::vector<align::section_pair> pairs = align::align_sections(a.sections, b.sections);
    align::summary mine;
    std::string text;
    // The header goes out before the first text of the pair.
    bool headed = header.empty();
    auto head = [&] {
        if (headed) return true;
        headed = true;
        return std::fwrite(header.data(), 1, header.size(), out) == header.size();
    };
    auto write = [&](const std::string& t) {
        return t.empty() || (head() && std::fwrite(t.data(), 1, t.size(), out) == t.size());
    };
    for (const align::section_pair& p : pairs) {
        align::layout la = align::pair_layout(a.sections, p.a0, p.a1);
        align::layout lb = align::pair_layout(b.sections, p.b0, p.b1);
        const align::section& any = p.inserted() ? b.sections[static_cast<size_t>(p.b0)]
                                                 : a.sections[static_cast<size_t>(p.a0)];
        align::pair_script s = align::align_pair(la, lb, any.kind);
        align::count(mine, p, s, la, lb);
        if (html) html->add(a.sections, b.sections, p, la, lb, s);
        if (!out) {
            if (!html && mine.differs()) break;
            continue;
        }
        text.clear();
        render_pair(a, b, p, la, lb, s, opt.style, text);
        if (!write(text)) return 2;
    }
    if (out && force_header && !head()) return 2;
    add_summary(sum, mine);
    return mine.differs() ? 1 : 0;
}

int diff_folders(const std::string& folder1, const std::vector<text_section>& one,
                 const std::string& folder2, const std::vector<text_section>& two,
                 const folder_diff_options& opt, vergle_ui& ui, std::FILE* out) {
    std::unique_ptr<report::page> html;
    if (!opt.report.empty()) html = std::make_unique<report::page>(opt.name1, opt.name2, opt.style.context);
    align::summary sum;
    int rc = compare_documents(folder1, one, opt.name1, folder2, two, opt.name2, opt, ui, opt.quiet ? nullptr : out,
                               "", false, html.get(), sum);
    if (rc == 2) return 2;
    if (html && plat_write_replacing(opt.report, html->finish(sum)) != 0) {
        ui.show_error(ui_format("レポートを書き込めません。(%s)", opt.report), true);
        return 2;
    }
    if (!opt.quiet && std::fflush(out) != 0) return 2;
    return rc;
}
