// The HTML report without a browser: what the page holds for a workbook
// and a document (the browser test loads the same pages in Chromium).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "align.h"
#include "report.h"

namespace {

align::section sheet(const std::string& title, const std::vector<std::vector<std::string>>& rows) {
    align::section s;
    s.title = title;
    s.kind = align::section_kind::sheet;
    s.sheet_rows = static_cast<long>(rows.size());
    for (const auto& r : rows) {
        for (const std::string& c : r) s.text += c + "\t";
        s.text += "\n";
    }
    return s;
}

std::string render(const std::vector<align::section>& a, const std::vector<align::section>& b) {
    report::page page("v1 <a>.xlsx", "v2.xlsx");
    align::summary sum;
    for (const align::section_pair& p : align::align_sections(a, b)) {
        align::layout la = align::pair_layout(a, p.a0, p.a1), lb = align::pair_layout(b, p.b0, p.b1);
        align::pair_script s = align::align_pair(la, lb, (p.inserted() ? b[p.b0] : a[p.a0]).kind);
        align::count(sum, p, s, la, lb);
        page.add(a, b, p, la, lb, s);
    }
    return page.finish(sum);
}

size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
}

TEST(Report, AWorkbookAsGridsWithItsChangesMarkedAndTheRestFolded) {
    // 2,000 rows: a column inserted, one cell changed, one row deleted, one
    // with control characters and markup; a sheet renamed, one added.
    std::vector<std::vector<std::string>> rows = {{"品名", "数量"}};
    for (int r = 2; r <= 2000; ++r) rows.push_back({"品目" + std::to_string(r), std::to_string(r)});
    std::vector<std::vector<std::string>> v2;
    for (const auto& r : rows) v2.push_back({r[0], r[0] == "品名" ? "産地" : "国内", r[1]});
    v2[500][2] = "99999";
    v2.erase(v2.begin() + 1500);
    v2[1800][0] = "\x1b[2J<script>alert(1)</script>";
    std::vector<align::section> a = {sheet("在庫", rows), sheet("旧名", {{"x", "1"}, {"y", "2"}})};
    std::vector<align::section> b = {sheet("在庫", v2), sheet("新名", {{"x", "1"}, {"y", "2"}}), sheet("追加", {{"z"}})};
    std::string html = render(a, b);

    const std::pair<const char*, const char*> counts[] = {
        {"count-added", "1"},    {"count-removed", "0"},  {"count-renamed", "1"},  {"count-changed", "1"},
        {"count-cells", "2"},    {"count-rows-del", "1"}, {"count-cols-ins", "1"}, {"count-cols-del", "0"},
    };
    for (auto [id, n] : counts)
        EXPECT_NE(html.find("id=\"" + std::string(id) + "\">" + n + "<"), std::string::npos) << id;
    EXPECT_EQ(occurrences(html, "class=\"cell-chg\""), 2u);
    EXPECT_EQ(occurrences(html, "class=\"row-del change\""), 1u);
    EXPECT_NE(html.find("<th class=\"col-ins\">B</th>"), std::string::npos);
    EXPECT_NE(html.find("<del>501</del>"), std::string::npos);
    EXPECT_NE(html.find("<ins>99999</ins>"), std::string::npos);
    // Only the regions around the changes: the rest folded.
    EXPECT_EQ(occurrences(html, "unchanged rows ⋯"), 4u);
    EXPECT_LT(occurrences(html, "<tr class=\"row-same\">"), 40u);
    // Nothing of the documents runs or reaches the page raw; nothing fetched.
    EXPECT_EQ(html.find('\x1b'), std::string::npos);
    EXPECT_EQ(html.find("<script>alert"), std::string::npos);
    EXPECT_NE(html.find("^[[2J&lt;script&gt;alert(1)&lt;/script&gt;"), std::string::npos);
    EXPECT_NE(html.find("v1 &lt;a&gt;.xlsx"), std::string::npos);
    EXPECT_EQ(html.find("http"), std::string::npos);
    EXPECT_EQ(html.find(" src="), std::string::npos);
}

TEST(Report, PagesSideBySideWithTheirWordsMarked) {
    auto page = [](const std::string& title, const std::string& text) {
        align::section s;
        s.title = title;
        s.kind = align::section_kind::page;
        s.text = text;
        return s;
    };
    std::vector<align::section> a = {page("ページ001", "今月の売上は 5% 増でした。\n以上\n")};
    std::vector<align::section> b = {page("ページ001", "今月の売上は 7% 増でした。\n備考\n以上\n")};
    std::string html = render(a, b);
    EXPECT_NE(html.find("<td class=\"old\">今月の売上は <del>5</del>% 増でした。</td>"), std::string::npos) << html;
    EXPECT_NE(html.find("<td class=\"new\">今月の売上は <ins>7</ins>% 増でした。</td>"), std::string::npos);
    EXPECT_EQ(occurrences(html, "class=\"row-ins change\""), 1u);
    EXPECT_NE(html.find("id=\"count-lines\">1<"), std::string::npos);
    EXPECT_EQ(html.find("count-renamed"), std::string::npos) << "pages are not renamed";
}

}  // namespace
