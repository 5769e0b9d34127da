#include "tree_view.h"

#include <memory>

#include "align.h"
#include "platform.h"
#include "report.h"

namespace {

std::string join(const std::string& a, const std::string& b) { return a + plat_separator() + b; }

// The folder part and the name of a path, as "Only in" names them.
std::pair<std::string, std::string> split_name(const std::string& path) {
    size_t cut = path.size();
    while (cut > 0 && !plat_is_separator(path[cut - 1])) --cut;
    if (cut == 0) return {".", path};
    return {path.substr(0, cut - 1), path.substr(cut)};
}

class tree_writer {
public:
    tree_writer(const tree_run& run, const folder_diff_options& opt, terminal_ui& ui, std::FILE* out, bool list)
        : run_(run), opt_(opt), ui_(ui), out_(out), list_(list) {
        if (!opt.report.empty()) html_ = std::make_unique<report::page>(opt.name1, opt.name2, opt.style.context);
    }

    int write() {
        for (const tree_pair& p : run_.pairs) {
            const tree_document* a = p.a >= 0 ? &run_.tree[0].documents[static_cast<size_t>(p.a)] : nullptr;
            const tree_document* b = p.b >= 0 ? &run_.tree[1].documents[static_cast<size_t>(p.b)] : nullptr;
            if (!a || !b) {
                alone(a ? *a : *b, a != nullptr);
            } else if (a->refused || b->refused) {
                refused(*a, *b);
            } else {
                both(*a, *b, p.renamed);
            }
            if (failed_) return 2;
        }
        if (html_ && plat_write_replacing(opt_.report, html_->finish(sum_, &docs_)) != 0) {
            ui_.show_error(ui_format("レポートを書き込めません。(%s)", opt_.report), true);
            return 2;
        }
        if (std::fflush(out_) != 0) return 2;
        return status_;
    }

private:
    void put(const std::string& text) {
        if (!failed_ && std::fwrite(text.data(), 1, text.size(), out_) != text.size()) failed_ = true;
    }
    std::string styled(const char* col, const std::string& text) {
        return opt_.style.colour ? col + text + colour::reset : text;
    }
    void raise(int s) {
        if (s > status_) status_ = s;
    }

    // A refused document's messages on standard error, its reason in its
    // place on standard output.
    void tell_refusal(const tree_document& d, const std::string& name) {
        size_t start = 0;
        while (start <= d.refusal.size()) {
            size_t lf = d.refusal.find('\n', start);
            if (lf == std::string::npos) lf = d.refusal.size();
            if (lf > start) ui_.show_error(d.refusal.substr(start, lf - start), true);
            start = lf + 1;
        }
        std::string first = d.refusal.substr(0, d.refusal.find('\n'));
        if (!opt_.quiet) put("=== " + align::visible(name + ": " + refusal_line(d.path.c_str(), first)) + " ===\n");
    }

    void alone(const tree_document& d, bool first_side) {
        const std::string name = join(first_side ? opt_.name1 : opt_.name2, d.rel);
        auto [folder, file] = split_name(name);
        if (opt_.quiet ? list_ : true)
            put(styled(first_side ? colour::removed : colour::added,
                       align::visible(ui_format("%s のみに存在: %s", folder, file))) +
                "\n");
        raise(1);
        (first_side ? docs_.removed : docs_.added)++;
        if (d.refused) {
            tell_refusal(d, name);
            ++docs_.refused;
            raise(2);
        }
        if (html_) {
            html_->begin_document();
            html_->end_document(d.rel, first_side ? "removed" : "added",
                                d.refused ? refusal_line(d.path.c_str(), d.refusal.substr(0, d.refusal.find('\n')))
                                          : "",
                                true);
        }
    }

    void refused(const tree_document& a, const tree_document& b) {
        const std::string na = join(opt_.name1, a.rel), nb = join(opt_.name2, b.rel);
        if (!opt_.quiet) put(styled(colour::header, align::visible("diff " + na + " " + nb)) + "\n");
        std::string note;
        if (a.refused) tell_refusal(a, na), note = refusal_line(a.path.c_str(), a.refusal.substr(0, a.refusal.find('\n')));
        if (b.refused) {
            tell_refusal(b, nb);
            if (note.empty()) note = refusal_line(b.path.c_str(), b.refusal.substr(0, b.refusal.find('\n')));
        }
        docs_.refused += a.refused + b.refused;
        raise(2);
        if (html_) {
            html_->begin_document();
            html_->end_document(b.rel, "refused", note, true);
        }
    }

    void both(const tree_document& a, const tree_document& b, bool renamed) {
        const std::string na = join(opt_.name1, a.rel), nb = join(opt_.name2, b.rel);
        std::vector<text_section> sa, sb;
        for (int side = 0; side < 2; ++side) {
            const tree_document& d = side ? b : a;
            // A document without any text may leave no folder.
            if (plat_path_kind(d.folder.c_str()) != PLAT_NONE &&
                !folder_sections(d.folder, ui_.sheets_of(d.folder), side ? sb : sa)) {
                ui_.show_error(ui_format("テキストファイルを読めません。(%s)", d.folder), true);
                raise(2);
                return;
            }
        }
        std::string header = styled(colour::header, align::visible("diff " + na + " " + nb)) + "\n";
        const std::string rename_note = align::visible(a.rel) + " → " + align::visible(b.rel);
        if (renamed) header += styled(colour::hunk, "# renamed: " + rename_note) + "\n";
        if (html_) html_->begin_document();
        int rc = compare_documents(a.folder, sa, na, b.folder, sb, nb, opt_, ui_, opt_.quiet ? nullptr : out_, header,
                                   renamed, html_.get(), sum_);
        if (rc == 2) {
            // A text file that cannot be read, or standard output.
            failed_ = failed_ || std::ferror(out_);
            raise(2);
            return;
        }
        if (renamed) ++docs_.renamed;
        if (rc == 1) ++docs_.changed;
        if (rc == 0 && !renamed) ++docs_.same;
        if (html_)
            html_->end_document(b.rel, renamed ? "renamed" : "changed", renamed ? "Renamed: " + a.rel + " → " + b.rel : "",
                                rc == 1 || renamed);
        if (rc == 0 && !renamed) return;
        raise(1);
        if (opt_.quiet && list_) {
            put(rc == 1 ? ui_format("ファイル %s と %s は異なります", na, nb) + "\n"
                        : ui_format("ファイル %s の名前が %s に変わりました", na, nb) + "\n");
        }
    }

    const tree_run& run_;
    const folder_diff_options& opt_;
    terminal_ui& ui_;
    std::FILE* out_;
    bool list_;
    std::unique_ptr<report::page> html_;
    align::summary sum_;
    report::page::document_counts docs_;
    int status_ = 0;
    bool failed_ = false;
};

}  // namespace

int diff_trees(const tree_run& run, const folder_diff_options& opt, terminal_ui& ui, std::FILE* out, bool list) {
    tree_writer w(run, opt, ui, out, list);
    return w.write();
}
