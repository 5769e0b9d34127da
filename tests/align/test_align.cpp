// The alignment engine on documents built here: sections, rows, columns,
// cells and words, each case as a short description of the script.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "align.h"

namespace {

using align::section;
using align::section_kind;

using table = std::vector<std::vector<std::string>>;

// A sheet as the workbook dump writes it: each cell followed by a tab, each
// row by a line feed; cells holding tabs or line feeds listed as breaks.
section sheet(const std::string& title, const table& rows) {
    section s;
    s.title = title;
    s.kind = section_kind::sheet;
    s.sheet_rows = static_cast<long>(rows.size());
    for (size_t r = 0; r < rows.size(); ++r) {
        for (size_t c = 0; c < rows[r].size(); ++c) {
            long n = 0;
            for (char ch : rows[r][c]) n += ch == '\t' || ch == '\n';
            if (n) s.breaks.push_back({static_cast<long>(r), static_cast<long>(c), n});
            s.text += rows[r][c] + "\t";
        }
        s.text += "\n";
    }
    return s;
}

section lines(const std::string& title, const std::vector<std::string>& ls, section_kind kind) {
    section s;
    s.title = title;
    s.kind = kind;
    for (const std::string& l : ls) s.text += l + "\n";
    return s;
}

// Pairs as "A>B" (titles; "" where none), with "R" for renamed, "M" for
// moved, "=" for the same text.
std::string describe(const std::vector<section>& a, const std::vector<section>& b,
                     const std::vector<align::section_pair>& pairs) {
    std::string out;
    for (const align::section_pair& p : pairs) {
        if (!out.empty()) out += " ";
        for (long i = p.a0; i < p.a1; ++i) out += (i > p.a0 ? "+" : "") + a[static_cast<size_t>(i)].title;
        out += ">";
        for (long j = p.b0; j < p.b1; ++j) out += (j > p.b0 ? "+" : "") + b[static_cast<size_t>(j)].title;
        if (p.renamed) out += "R";
        if (p.moved) out += "M";
        if (p.same) out += "=";
    }
    return out;
}

// Rows as "=r" (the same, by the second side's number), "~r(C2,...)" (changed,
// with the changed cells named in the second sheet; the cells of inserted
// and deleted columns go with their column), "-r" (deleted, by the first
// side's number) and "+r";
// columns inserted and deleted first, as "+C" and "-C".
std::string describe(const align::pair_script& s, const align::layout& la, const align::layout& lb) {
    std::string out;
    auto put = [&](const std::string& x) { out += (out.empty() ? "" : " ") + x; };
    for (const align::column_pair& c : s.columns) {
        if (c.a < 0) put("+" + align::column_name(c.b));
        if (c.b < 0) put("-" + align::column_name(c.a));
    }
    for (const align::row_op& o : s.rows) {
        const align::grid& ga = la.rows;
        const align::grid& gb = lb.rows;
        switch (o.kind) {
        case align::op::same: put("=" + std::to_string(gb.number(o.b))); break;
        case align::op::deleted: put("-" + std::to_string(ga.number(o.a))); break;
        case align::op::inserted: put("+" + std::to_string(gb.number(o.b))); break;
        case align::op::changed: {
            std::string x = "~" + std::to_string(gb.number(o.b));
            if (s.sheet) {
                std::string cells;
                for (const align::cell_op& c : align::row_cells(s, ga, o.a, gb, o.b)) {
                    if (c.changed && c.col_a >= 0 && c.col_b >= 0)
                        cells += (cells.empty() ? "" : ",") + align::cell_name(c.col_b, gb.number(o.b));
                }
                x += "(" + cells + ")";
            }
            put(x);
            break;
        }
        }
    }
    return out;
}

std::string align_sheets(const table& a, const table& b) {
    section sa = sheet("s", a), sb = sheet("s", b);
    align::layout la = align::split(sa), lb = align::split(sb);
    return describe(align::align_pair(la, lb, section_kind::sheet), la, lb);
}

// ---------------------------------------------------------------------------

TEST(AlignSections, SheetsByNameThenByContent) {
    const table budget = {{"費目", "金額"}, {"旅費", "120,000"}, {"備品", "45,800"}, {"合計", "165,800"}};
    const table edited = {{"費目", "金額"}, {"旅費", "135,000"}, {"備品", "45,800"}, {"合計", "180,800"}};
    const table other = {{"x", "1"}, {"y", "2"}};
    const table third = {{"月", "件数"}, {"4月", "12"}, {"5月", "9"}};
    struct sheet_case {
        const char* what;
        std::vector<section> a, b;
        const char* expected;
    };
    const sheet_case cases[] = {
        {"unchanged", {sheet("予算", budget), sheet("X", other)}, {sheet("予算", budget), sheet("X", other)},
         "予算>予算= X>X="},
        {"renamed", {sheet("予算", budget), sheet("X", other)}, {sheet("予算2", budget), sheet("X", other)},
         "予算>予算2R= X>X="},
        {"renamed and edited", {sheet("予算", budget), sheet("X", other)}, {sheet("予算 改", edited), sheet("X", other)},
         "予算>予算 改R X>X="},
        {"moved", {sheet("予算", budget), sheet("X", other), sheet("月別", third)},
         {sheet("X", other), sheet("月別", third), sheet("予算", budget)}, "X>X= 月別>月別= 予算>予算M="},
        {"moved and renamed", {sheet("予算", budget), sheet("X", other), sheet("月別", third)},
         {sheet("月別", third), sheet("予算", budget), sheet("Y", other)}, "月別>月別M= 予算>予算= X>YR="},
        {"deleted and inserted", {sheet("予算", budget), sheet("X", other)}, {sheet("月別", third), sheet("予算", budget)},
         ">月別 予算>予算= X>"},
        {"an unlike sheet is not a rename", {sheet("X", other)}, {sheet("月別", third)}, "X> >月別"},
    };
    for (const sheet_case& c : cases)
        EXPECT_EQ(describe(c.a, c.b, align::align_sections(c.a, c.b)), c.expected) << c.what;
}

TEST(AlignSections, SlidesAndPagesAsASequence) {
    auto deck = [](std::vector<int> which, section_kind kind = section_kind::slide) {
        // Slides with a few lines of their own each.
        std::vector<section> out;
        for (size_t k = 0; k < which.size(); ++k) {
            int n = which[k];
            std::string t = std::to_string(n);
            std::vector<std::string> ls = {"Slide " + t + " title", "第" + t + "四半期の売上", "point one of " + t,
                                           "point two of " + t};
            if (n >= 100) ls = {"Slide " + std::to_string(n - 100) + " title", "第" + std::to_string(n - 100) +
                                "四半期の売上", "point one of " + std::to_string(n - 100),
                                "point two of " + std::to_string(n - 100) + ", revised"};
            out.push_back(lines("s" + std::to_string(k + 1), ls, kind));
        }
        return out;
    };
    struct seq_case {
        const char* what;
        std::vector<section> a, b;
        const char* expected;
    };
    const seq_case cases[] = {
        {"deleted", deck({1, 2, 3, 4, 5}), deck({1, 2, 4, 5}), "s1>s1= s2>s2= s3> s4>s3= s5>s4="},
        {"inserted", deck({1, 2, 3}), deck({1, 9, 2, 3}), "s1>s1= >s2 s2>s3= s3>s4="},
        {"moved", deck({1, 2, 3, 4, 5}), deck({1, 3, 4, 2, 5}), "s1>s1= s3>s2= s4>s3= s2>s4M= s5>s5="},
        {"moved and edited", deck({1, 2, 3, 4, 5}), deck({1, 3, 4, 102, 5}),
         "s1>s1= s3>s2= s4>s3= s2>s4M s5>s5="},
        {"edited in place", deck({1, 2, 3}), deck({1, 102, 3}), "s1>s1= s2>s2 s3>s3="},
        {"deleted beside an edited one", deck({1, 2, 3, 4}), deck({1, 102, 4}), "s1>s1= s2>s2 s3> s4>s3="},
        {"pages: a page deleted", deck({1, 2, 3}, section_kind::page), deck({1, 3}, section_kind::page),
         "s1>s1= s2> s3>s2="},
    };
    for (const seq_case& c : cases)
        EXPECT_EQ(describe(c.a, c.b, align::align_sections(c.a, c.b)), c.expected) << c.what;
}

TEST(AlignSections, APageBreakInsertedIsOneGroupWithOneBorderMore) {
    std::vector<section> a = {lines("ページ001", {"表紙"}, section_kind::page),
                              lines("ページ002", {"一", "二", "三", "四"}, section_kind::page),
                              lines("ページ003", {"結び"}, section_kind::page)};
    std::vector<section> b = {lines("ページ001", {"表紙"}, section_kind::page),
                              lines("ページ002", {"一", "二"}, section_kind::page),
                              lines("ページ003", {"三", "四"}, section_kind::page),
                              lines("ページ004", {"結び"}, section_kind::page)};
    auto pairs = align::align_sections(a, b);
    ASSERT_EQ(describe(a, b, pairs), "ページ001>ページ001= ページ002>ページ002+ページ003 ページ003>ページ004=");
    const align::section_pair& g = pairs[1];
    align::layout la = align::pair_layout(a, g.a0, g.a1), lb = align::pair_layout(b, g.b0, g.b1);
    align::pair_script s = align::align_pair(la, lb, section_kind::page);
    // The four lines stay; only the border between the two new pages is
    // inserted.
    std::string ops;
    for (const align::row_op& o : s.rows)
        ops += o.kind == align::op::same       ? "="
               : o.kind == align::op::inserted ? "+"
               : o.kind == align::op::deleted  ? "-"
                                               : "~";
    EXPECT_EQ(ops, "==+==");
    EXPECT_TRUE(lb.rows.is_border(2));
    EXPECT_EQ(lb.rows.border_page(2), 2);
}

TEST(AlignSections, APageBreakMovedIsOneBorderMoved) {
    auto page = [](const char* t, std::vector<std::string> ls) { return lines(t, ls, section_kind::page); };
    std::vector<section> a = {page("ページ001", {"一", "二", "三"}), page("ページ002", {"四"})};
    std::vector<section> b = {page("ページ001", {"一"}), page("ページ002", {"二", "三", "四"})};
    auto pairs = align::align_sections(a, b);
    ASSERT_EQ(describe(a, b, pairs), "ページ001+ページ002>ページ001+ページ002");
    align::layout la = align::pair_layout(a, 0, 2), lb = align::pair_layout(b, 0, 2);
    std::string ops;
    for (const align::row_op& o : align::align_pair(la, lb, section_kind::page).rows)
        ops += o.kind == align::op::same ? "=" : o.kind == align::op::inserted ? "+" : "-";
    EXPECT_EQ(ops, "=+==-=");
}

TEST(AlignRows, SheetRowsColumnsAndCells) {
    struct row_case {
        const char* what;
        table a, b;
        const char* expected;
    };
    const table base = {{"品名", "数量", "単価"}, {"りんご", "120", "150"}, {"みかん", "80", "90"},
                        {"バナナ", "45", "60"}, {"合計", "245", ""}};
    const row_case cases[] = {
        {"equal", base, base, "=1 =2 =3 =4 =5"},
        {"one cell", base, {{"品名", "数量", "単価"}, {"りんご", "120", "150"}, {"みかん", "85", "90"},
                            {"バナナ", "45", "60"}, {"合計", "245", ""}},
         "=1 =2 ~3(B3) =4 =5"},
        {"a row inserted", base, {{"品名", "数量", "単価"}, {"りんご", "120", "150"}, {"ぶどう", "30", "400"},
                                  {"みかん", "80", "90"}, {"バナナ", "45", "60"}, {"合計", "245", ""}},
         "=1 =2 +3 =4 =5 =6"},
        {"a row deleted", base, {{"品名", "数量", "単価"}, {"りんご", "120", "150"}, {"バナナ", "45", "60"},
                                 {"合計", "245", ""}},
         "=1 =2 -3 =3 =4"},
        // The edit (258 to 260) is marked on its row, not on the row
        // inserted before it.
        {"a row inserted beside an edited row", {{"名前", "点"}, {"山田", "258"}, {"合計", "258"}},
         {{"名前", "点"}, {"佐藤", "12"}, {"山田", "260"}, {"合計", "272"}}, "=1 +2 ~3(B3) ~4(B4)"},
        {"a column inserted", base, {{"品名", "産地", "数量", "単価"}, {"りんご", "青森", "120", "150"},
                                     {"みかん", "愛媛", "80", "90"}, {"バナナ", "台湾", "45", "60"},
                                     {"合計", "", "245", ""}},
         "+B =1 =2 =3 =4 =5"},
        {"a column deleted and a cell edited", base, {{"品名", "単価"}, {"りんご", "150"}, {"みかん", "95"},
                                                      {"バナナ", "60"}, {"合計", ""}},
         "-B =1 =2 ~3(B3) =4 =5"},
        {"a column appended", base, {{"品名", "数量", "単価", "備考"}, {"りんご", "120", "150", "新"},
                                     {"みかん", "80", "90", ""}, {"バナナ", "45", "60", "旧"}, {"合計", "245", ""}},
         "+D =1 =2 =3 =4 =5"},
        {"one cell past the last column is a cell", base,
         {{"品名", "数量", "単価"}, {"りんご", "120", "150", "!"}, {"みかん", "80", "90"}, {"バナナ", "45", "60"},
          {"合計", "245", ""}},
         "=1 ~2(D2) =3 =4 =5"},
        {"a row rewritten in place", base, {{"品名", "数量", "単価"}, {"りんご", "120", "150"}, {"x", "y", "z"},
                                            {"バナナ", "45", "60"}, {"合計", "245", ""}},
         "=1 =2 ~3(A3,B3,C3) =4 =5"},
        {"trailing empty cells are no change", {{"a", "b"}}, {{"a", "b", "", ""}}, "=1"},
    };
    for (const row_case& c : cases) EXPECT_EQ(align_sheets(c.a, c.b), c.expected) << c.what;
}

TEST(AlignRows, CellsWithLineFeedsAndTabsKeepTheirAddresses) {
    // A cell with two lines and one with a tab: rows and columns after them
    // keep their numbers and letters.
    const table a = {{"注記", "一行目\n二行目", "x"}, {"a\tb", "2", "3"}, {"last", "1", "2"}};
    const table b = {{"注記", "一行目\n二行目", "x"}, {"a\tb", "2", "3"}, {"last", "1", "9"}};
    section sa = sheet("s", a);
    align::layout la = align::split(sa);
    ASSERT_EQ(la.rows.rows(), 3u);
    EXPECT_EQ(la.rows.cell(0, 1), "一行目\n二行目");
    EXPECT_EQ(la.rows.cell(1, 0), "a\tb");
    EXPECT_EQ(la.rows.cell(2, 2), "2");
    EXPECT_EQ(align_sheets(a, b), "=1 =2 ~3(C3)");
}

TEST(AlignRows, ShapeTextAfterTheRowsIsAlignedAsLines) {
    section a = sheet("s", {{"a", "1"}}), b = sheet("s", {{"a", "1"}});
    a.text += "★★★以下オートシェイプ・コメント文字列---->\nメモ: 確認中\n";
    b.text += "★★★以下オートシェイプ・コメント文字列---->\nメモ: 確認済み\n";
    align::layout la = align::split(a), lb = align::split(b);
    ASSERT_EQ(la.notes.rows(), 2u);
    EXPECT_EQ(la.notes.number(0), 2);
    align::pair_script s = align::align_pair(la, lb, section_kind::sheet);
    ASSERT_EQ(s.notes.size(), 2u);
    EXPECT_EQ(s.notes[1].kind, align::op::changed);
    EXPECT_TRUE(s.differs);
}

TEST(AlignRows, ALongSheetWithFewChangesIsAlignedRowByRow) {
    // 200,000 rows, one cell changed every 100 rows, a row inserted and one
    // deleted: every change found where it is, nothing else.
    table a, b;
    for (int r = 0; r < 200000; ++r) a.push_back({"item " + std::to_string(r), std::to_string(r * 7), "x"});
    b = a;
    for (int r = 50; r < 200000; r += 100) b[r][1] = "changed";
    b.erase(b.begin() + 100001);
    b.insert(b.begin() + 7, {"new", "row", "x"});
    section sa = sheet("s", a), sb = sheet("s", b);
    align::layout la = align::split(sa), lb = align::split(sb);
    align::pair_script s = align::align_pair(la, lb, section_kind::sheet);
    align::summary sum;
    align::count(sum, {0, 1, 0, 1}, s, la, lb);
    EXPECT_EQ(sum.cells_changed, 2000);
    EXPECT_EQ(sum.rows_inserted, 1);
    EXPECT_EQ(sum.rows_deleted, 1);
}

TEST(AlignWords, JapaneseAndLatinWordsAreMarkedOneByOne) {
    struct word_case {
        const char* a;
        const char* b;
        const char* expected;  // [-deleted-]{+inserted+}
    };
    const word_case cases[] = {
        {"今月の売上は前月比 5% 増でした。", "今月の売上は前月比 7% 増でした。", "今月の売上は前月比 [-5-]{+7+}% 増でした。"},
        {"月次報告書 2024年3月", "月次報告書 2024年3月（改訂版）", "月次報告書 2024年3月{+（改訂版）+}"},
        {"東京都港区芝公園", "東京都品川区芝公園", "東京都[-港-]{+品川+}区芝公園"},
        {"出荷は予定どおり完了しました。", "出荷は予定どおり完了します。", "出荷は予定どおり完了しま[-した-]{+す+}。"},
        {"カタログを送付", "パンフレットを送付", "[-カタログ-]{+パンフレット+}を送付"},
        {"Next review: April 15.", "Next review: April 22.", "Next review: April [-15-]{+22+}."},
        {"120,000", "135,000", "[-120,000-]{+135,000+}"},
        {"the quick brown fox", "the slow red fox", "the [-quick brown-]{+slow red+} fox"},
        {"ｶﾀｶﾅ と ＡＢＣ", "ｶﾀｶﾅ と ＡＢＤ", "ｶﾀｶﾅ と [-ＡＢＣ-]{+ＡＢＤ+}"},
        {"", "new", "{+new+}"},
        {"same", "same", "same"},
    };
    for (const word_case& c : cases) {
        std::string out;
        for (const align::word_op& w : align::diff_words(c.a, c.b)) {
            if (w.kind == align::op::same) out += w.text;
            else if (w.kind == align::op::deleted) out += "[-" + std::string(w.text) + "-]";
            else out += "{+" + std::string(w.text) + "+}";
        }
        EXPECT_EQ(out, c.expected) << c.a << " / " << c.b;
    }
}

TEST(AlignText, NamesAndVisibleText) {
    const std::pair<long, const char*> names[] = {{0, "A"}, {25, "Z"}, {26, "AA"}, {701, "ZZ"}, {702, "AAA"},
                                                  {16383, "XFD"}};
    for (auto [c, n] : names) EXPECT_EQ(align::column_name(c), n);
    EXPECT_EQ(align::cell_name(2, 5), "C5");
    const std::pair<const char*, const char*> shown[] = {
        {"plain 日本語", "plain 日本語"},
        {"\x1b[2J\x1b[Hwiped", "^[[2J^[[Hwiped"},
        {"over\rwrite", "over^Mwrite"},
        {"bell\x07 del\x7f", "bell^G del^?"},
        {"a\tb", "a^Ib"},
        {"\xc2\x9b" "31m", "<U+009B>31m"},
        {"\xe2\x80\xae" "txt.exe", "<U+202E>txt.exe"},
        {"bad \xff\xfe byte", "bad \\xFF\\xFE byte"},
        {"cut \xe6\x97", "cut \\xE6\\x97"},
    };
    for (auto [in, out] : shown) EXPECT_EQ(align::visible(in), out) << out;
    EXPECT_EQ(align::visible("a\tb", true), "a\tb");
}

TEST(AlignText, HeaderRowIsTheFirstRowOfNamesAmongTheFirstTen) {
    auto header = [](const table& t) {
        section s = sheet("s", t);
        return align::header_row(align::split(s).rows);
    };
    EXPECT_EQ(header({{"品名", "数量"}, {"a", "1"}}), 0);
    EXPECT_EQ(header({{"月次売上"}, {}, {"品名", "数量"}, {"a", "1"}}), 2);
    EXPECT_EQ(header({{"1", "2"}, {"3", "4"}}), -1);
    EXPECT_EQ(header({{"2024/4/1", "予定"}, {"a", "b"}}), 1);
}

}  // namespace
