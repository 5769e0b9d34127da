// The HTML report of a comparison: one self-contained page (its style and
// script inline, nothing fetched) that renders the alignment engine's
// script.
//
//   - the counts at the top: sections added, removed, renamed, moved,
//     changed; cells changed; rows and columns inserted and deleted;
//   - a workbook's sheets as grids with row numbers (of both sheets) and
//     column letters, changed cells coloured with both values, inserted and
//     deleted rows and columns marked; only the changed regions with a few
//     rows of context, the rest folded;
//   - pages and slides side by side, line by line, the changed words marked;
//   - keys "n" / "j" and "p" / "k" (and two buttons) go from change to
//     change.
//
// Every element that stands for a change carries the class "change"; a
// changed cell "cell-chg", an inserted row "row-ins", a deleted one
// "row-del", an inserted column's cells "col-ins", a deleted one's "col-del".
// The counts are in the elements with the ids "count-added", "count-removed",
// "count-renamed", "count-moved", "count-changed", "count-cells",
// "count-rows-ins", "count-rows-del", "count-cols-ins", "count-cols-del" and
// "count-lines"; for two folders the documents' in "count-docs-added",
// "count-docs-removed", "count-docs-renamed", "count-docs-changed" and
// "count-docs-refused", each document's heading carrying the class "doc".
#ifndef VERGLE_REPORT_H
#define VERGLE_REPORT_H

#include <string>
#include <vector>

#include "align.h"

namespace report {

class page {
public:
    // The two documents' names, as the page shows them; context: unchanged
    // rows shown around each change.
    page(std::string first, std::string second, int context = 3);

    // Adds one pair of aligned sections.
    void add(const std::vector<align::section>& a, const std::vector<align::section>& b, const align::section_pair& p,
             const align::layout& la, const align::layout& lb, const align::pair_script& s);

    // Two folders: the sections added after begin_document belong to one
    // document.  end_document heads them with the document's title (its
    // path), its state ("changed", "renamed", "added", "removed",
    // "refused") and a note (the rename, the reason), or drops them when
    // show is false (a document without differences stays quiet).  A
    // document added, removed or refused is its heading alone.
    void begin_document();
    void end_document(const std::string& title, const char* state, const std::string& note, bool show);

    // What a comparison of two folders counts of its documents.
    struct document_counts {
        long added = 0, removed = 0, renamed = 0, changed = 0, same = 0, refused = 0;
    };

    // The whole page, the counts at its top (with those of the documents
    // when docs is given).
    std::string finish(const align::summary& sum, const document_counts* docs = nullptr) const;

private:
    void sheet(const align::layout& la, const align::layout& lb, const align::pair_script& s);
    void lines(const std::vector<align::row_op>& ops, const align::grid& a, const align::grid& b,
               const std::vector<align::section>& da, const std::vector<align::section>& db);

    std::string first_, second_;
    size_t context_;
    std::string toc_, body_;
    long sections_ = 0, changes_ = 0;
    align::section_kind kind_ = align::section_kind::text;
    bool kind_known_ = false;
    bool mixed_ = false;          // sections of more than one kind (two folders)
    bool documents_begun_ = false;
    size_t toc_mark_ = 0, body_mark_ = 0;  // where the current document began
    long documents_ = 0;
};

// Text for an HTML page: control characters visible (see align::visible),
// "&", "<", ">" and quotes escaped; line feeds become "<br>".
std::string html_text(std::string_view text);

}  // namespace report

#endif
