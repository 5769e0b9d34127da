// The command line's view of aligned sections: for each pair that differs,
// its headers, notes (renamed, moved, columns inserted or deleted) and hunks,
// as text for a terminal or a file.
//
//   --- budget_v1.xlsx: 予算
//   +++ budget_v2.xlsx: 予算
//   @@ -1,5 +1,6 @@ 予算
//    1 1	費目	金額
//   ~2 2	旅費	B2: [-120,000-]{+135,000+}
//   +  5	書籍	20,000
//
// A sheet's rows carry their row numbers in both sheets; a changed row
// shows its changed cells by their addresses, the words that changed marked
// ("[-old-]{+new+}", in colour on a terminal).  Lines of pages and slides
// are shown as they are, a changed line with its words marked.  Control
// characters of the documents are shown as escapes, never sent raw.
#ifndef VERGLE_SECTION_VIEW_H
#define VERGLE_SECTION_VIEW_H

#include <string>
#include <vector>

#include "align.h"
#include "line_diff.h"

// One document as the view knows it: its name as the headers show it and
// its sections.
struct view_document {
    std::string name;
    std::vector<align::section> sections;
};

// Appends what the view shows of one pair to out: nothing for a pair with
// the same text and place (a page renumbered included).
void render_pair(const view_document& a, const view_document& b, const align::section_pair& p,
                 const align::layout& la, const align::layout& lb, const align::pair_script& s,
                 const hunk_style& style, std::string& out);

// Appends the hunks of a script alone (no headers, no notes); title heads
// each hunk.
void render_hunks(const align::layout& la, const align::layout& lb, const align::pair_script& s,
                  const hunk_style& style, const std::string& title, std::string& out);

#endif
