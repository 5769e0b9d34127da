// Formulas of legacy workbooks: the token decoder as a table of token
// sequences laid out as the format defines each token, and the collector
// that resolves shared, array and table formulas and the workbook's names.
#include <gtest/gtest.h>

#include "biff_fixtures.h"
#include "biff_formula.h"
#include "biff_formulas.h"

namespace {

using bt::bytes;

// Token builders (BIFF8 layouts; the value class where a token has classes).
struct tokens {
    bytes b;
    // Relative flags: bit 14 column, bit 15 row.
    static unsigned col(unsigned c, bool row_abs, bool col_abs) { return c | (row_abs ? 0 : 0x8000) | (col_abs ? 0 : 0x4000); }
    tokens& ref(unsigned r, unsigned c, bool row_abs = false, bool col_abs = false) {
        b.u8(0x44).u16(r).u16(col(c, row_abs, col_abs));
        return *this;
    }
    tokens& area(unsigned r1, unsigned r2, unsigned c1, unsigned c2, bool abs = false) {
        b.u8(0x25).u16(r1).u16(r2).u16(col(c1, abs, abs)).u16(col(c2, abs, abs));
        return *this;
    }
    tokens& refn(int dr, int dc) {
        b.u8(0x4C).u16(static_cast<unsigned>(dr) & 0xFFFF).u16((static_cast<unsigned>(dc) & 0x3FFF) | 0xC000);
        return *this;
    }
    tokens& arean(int dr1, int dr2, int dc1, int dc2) {
        b.u8(0x2D).u16(static_cast<unsigned>(dr1) & 0xFFFF).u16(static_cast<unsigned>(dr2) & 0xFFFF)
            .u16((static_cast<unsigned>(dc1) & 0x3FFF) | 0xC000).u16((static_cast<unsigned>(dc2) & 0x3FFF) | 0xC000);
        return *this;
    }
    tokens& ref3d(unsigned xti, unsigned r, unsigned c) {
        b.u8(0x5A).u16(xti).u16(r).u16(col(c, false, false));
        return *this;
    }
    tokens& area3d(unsigned xti, unsigned r1, unsigned r2, unsigned c1, unsigned c2) {
        b.u8(0x3B).u16(xti).u16(r1).u16(r2).u16(col(c1, true, true)).u16(col(c2, true, true));
        return *this;
    }
    tokens& op(unsigned ptg) {
        b.u8(ptg);
        return *this;
    }
    tokens& integer(unsigned v) {
        b.u8(0x1E).u16(v);
        return *this;
    }
    tokens& num(double v) {
        b.u8(0x1F).f64(v);
        return *this;
    }
    tokens& str(const std::string& s) {
        b.u8(0x17).u8(static_cast<unsigned>(s.size())).u8(0).raw(s);
        return *this;
    }
    tokens& str16(const std::u16string& s) {
        b.u8(0x17).u8(static_cast<unsigned>(s.size())).u8(1).wide(s);
        return *this;
    }
    tokens& func(unsigned iftab) {
        b.u8(0x41).u16(iftab);
        return *this;
    }
    tokens& funcvar(unsigned argc, unsigned iftab) {
        b.u8(0x42).u8(argc).u16(iftab);
        return *this;
    }
    tokens& attr(unsigned bits, unsigned data) {
        b.u8(0x19).u8(bits).u16(data);
        return *this;
    }
    tokens& space(unsigned type, unsigned count) { return attr(0x40, type | (count << 8)); }
    tokens& name(uint32_t index) {
        b.u8(0x43).u32(index);
        return *this;
    }
    tokens& namex(unsigned xti, uint32_t index) {
        b.u8(0x39).u16(xti).u32(index);
        return *this;
    }
};

constexpr unsigned ADD = 0x03, SUB = 0x04, MUL = 0x05, DIV = 0x06, POWER = 0x07, CONCAT = 0x08, LT = 0x09,
                   EQ = 0x0B, NE = 0x0E, ISECT = 0x0F, UNION = 0x10, RANGE = 0x11, UPLUS = 0x12, UMINUS = 0x13,
                   PERCENT = 0x14, PAREN = 0x15, MISSARG = 0x16;

// The workbook the table's formulas live in: four sheets, a link to an
// add-in and to another workbook, and three defined names.
xls::formula_links workbook_links() {
    xls::formula_links l;
    l.sheets = {"Data", "数値 一覧", "Sheet3", "A1"};
    xls::formula_links::book self, addin, other;
    self.kind = xls::formula_links::BOOK_SELF;
    addin.kind = xls::formula_links::BOOK_ADDIN;
    addin.names = {"_xlfn.IFERROR", "EDATE", "_xlfn.STDEV.S"};
    other.kind = xls::formula_links::BOOK_EXTERNAL;
    other.number = 1;
    other.sheets = {"Feuil8", "It's"};
    other.names = {"Rate"};
    l.books = {self, addin, other};
    l.xtis = {{0, 0, 0}, {0, 1, 1}, {0, 0, 2}, {2, 0, 0}, {1, -2, -2}, {2, 1, 1}, {0, -1, -1}, {0, 3, 3}};
    l.names = {{"MyName", -1}, {"Local", 2}, {"Here", 0}};
    return l;
}

struct decode_case {
    const char* what;
    std::string rgce;
    std::string extra;
    const char* text;  // null: unreadable
};

std::string run(const decode_case& c, int* status = nullptr, size_t limit = xls::FORMULA_LIMIT) {
    static const xls::formula_links links = workbook_links();
    std::string out, problem;
    xls::formula_place at{0, 4, 2};  // Data!C5
    int rc = xls::formula_text(reinterpret_cast<const unsigned char*>(c.rgce.data()), c.rgce.size(),
                               reinterpret_cast<const unsigned char*>(c.extra.data()), c.extra.size(), links, at,
                               limit, out, &problem);
    if (status) *status = rc;
    return rc == xls::FORMULA_OK ? out : "!" + problem;
}

TEST(FormulaText, TokensAsTheFormulaBarShowsThem) {
    const decode_case cases[] = {
        // Operators, precedence and parentheses.
        {"precedence", tokens().ref(0, 0).ref(1, 1).ref(2, 2).op(MUL).op(ADD).b, "", "A1+B2*C3"},
        {"typed parentheses", tokens().ref(0, 0).ref(1, 1).op(ADD).op(PAREN).ref(2, 2).op(MUL).b, "", "(A1+B2)*C3"},
        {"needed parentheses", tokens().ref(0, 0).ref(1, 1).op(ADD).ref(2, 2).op(MUL).b, "", "(A1+B2)*C3"},
        {"left to right", tokens().integer(1).integer(2).op(SUB).integer(3).op(SUB).b, "", "1-2-3"},
        {"right grouping", tokens().integer(1).integer(2).integer(3).op(SUB).op(SUB).b, "", "1-(2-3)"},
        {"power of a negation", tokens().integer(2).op(UMINUS).integer(2).op(POWER).b, "", "-2^2"},
        {"negation of a power", tokens().integer(2).integer(2).op(POWER).op(UMINUS).b, "", "-(2^2)"},
        {"unary plus and percent", tokens().ref(0, 0).op(UPLUS).op(PERCENT).b, "", "+A1%"},
        {"percent of a sum", tokens().integer(1).integer(2).op(ADD).op(PERCENT).b, "", "(1+2)%"},
        {"comparisons and joins", tokens().ref(0, 0).str("x").op(CONCAT).ref(0, 1).op(NE).b, "", "A1&\"x\"<>B1"},
        {"comparison of a comparison", tokens().integer(1).integer(2).op(LT).integer(0).op(EQ).b, "", "1<2=0"},
        {"reference operators", tokens().ref(0, 0).ref(2, 0).op(RANGE).area(1, 3, 1, 3).op(ISECT).b, "", "A1:A3 B2:D4"},
        {"union as an argument", tokens().ref(0, 0).ref(1, 1).op(UNION).funcvar(1, 4).b, "", "SUM((A1,B2))"},
        // Spaces and line breaks typed in the formula.
        {"space before an operator", tokens().ref(0, 0).ref(0, 1).space(0, 1).op(ADD).b, "", "A1 +B1"},
        {"space before an operand", tokens().ref(0, 0).space(0, 2).ref(0, 1).op(ADD).b, "", "A1+  B1"},
        {"line break before a function", tokens().space(1, 1).func(19).b, "", "\nPI()"},
        {"spaces around parentheses",
         tokens().integer(1).space(2, 1).space(4, 1).op(PAREN).b, "", " (1 )"},
        // Constants.
        {"strings with quotes", tokens().str("He said \"hi\"").b, "", "\"He said \"\"hi\"\"\""},
        {"UTF-16 string", tokens().str16(u"大きい").b, "", "\"大きい\""},
        {"booleans and errors", tokens().b.u8(0x1D).u8(1).u8(0x1C).u8(0x07).u8(0x05).s, "", "TRUE*#DIV/0!"},
        {"numbers", tokens().num(0.1).num(1e20).op(ADD).num(1.5e-10).op(ADD).num(123456789.125).op(ADD).b, "",
         "0.1+1E+20+1.5E-10+123456789.125"},
        {"missing argument", tokens().ref(0, 0).op(MISSARG).funcvar(2, 1).b, "", "IF(A1,)"},
        {"array constant", tokens().op(0x60).b.raw(std::string(7, '\0')).s,
         bytes().u8(1).u16(1).u8(1).f64(1).u8(2).u16(1).u8(0).raw("a").u8(4).u8(1).raw(std::string(7, '\0'))
             .u8(16).u8(0x2A).raw(std::string(7, '\0')).s,
         "{1,\"a\";TRUE,#N/A}"},
        // Functions.
        {"fixed arguments", tokens().ref(0, 0).integer(2).func(27).b, "", "ROUND(A1,2)"},
        {"varying arguments", tokens().ref(0, 0).area(0, 9, 0, 2, true).integer(2).func(35).funcvar(4, 102).b, "",
         "VLOOKUP(A1,$A$1:$C$10,2,FALSE())"},
        {"SUM of one argument", tokens().area(0, 9, 0, 0).attr(0x10, 0).b, "", "SUM(A1:A10)"},
        {"IF and CHOOSE jumps", tokens().ref(0, 0).attr(0x02, 7).integer(1).attr(0x08, 3).integer(2).attr(0x08, 3)
                                  .funcvar(3, 1).b, "", "IF(A1,1,2)"},
        {"CHOOSE table", tokens().integer(2).attr(0x04, 2).b.u16(6).u16(10).u16(14).s + tokens().ref(0, 0).ref(0, 1)
                                                                                                 .funcvar(3, 100).b.s,
         "", "CHOOSE(2,A1,B1)"},
        {"volatile mark", tokens().attr(0x01, 0).func(74).b, "", "NOW()"},
        {"add-in function of 2007", tokens().namex(4, 1).integer(1).integer(0).op(DIV).integer(0).funcvar(3, 255).b, "",
         "IFERROR(1/0,0)"},
        {"later function keeps its prefix", tokens().namex(4, 3).area(0, 2, 0, 0).funcvar(2, 255).b, "",
         "_xlfn.STDEV.S(A1:A3)"},
        {"unknown varying function", tokens().integer(1).funcvar(1, 0x3FF).b, "", "_xlfunc1023(1)"},
        // References.
        {"absolute parts", tokens().ref(0, 0, true, true).ref(0, 0, true, false).op(ADD).ref(0, 0, false, true).op(ADD).b,
         "", "$A$1+A$1+$A1"},
        {"whole columns and rows", tokens().area(0, 0xFFFF, 1, 2, true).area(1, 2, 0, 0xFF).op(UNION).funcvar(1, 4).b,
         "", "SUM(($B:$C,2:3))"},
        {"relative to the cell", tokens().refn(-1, 1).arean(0, 2, -2, -2).op(ADD).b, "", "D4+A5:A7"},
        {"relative wraps around", tokens().refn(-5, -3).b, "", "IV65536"},
        {"another sheet", tokens().ref3d(0, 0, 0).ref3d(1, 1, 1).op(ADD).b, "", "Data!A1+'数値 一覧'!B2"},
        {"sheet range", tokens().area3d(2, 0, 0, 0, 0).funcvar(1, 4).b, "", "SUM(Data:Sheet3!$A$1:$A$1)"},
        {"sheet named like a cell", tokens().ref3d(7, 0, 0).b, "", "'A1'!A1"},
        {"external workbook", tokens().ref3d(3, 0, 0).ref3d(5, 0, 0).op(ADD).b, "", "[1]Feuil8!A1+'[1]It''s'!A1"},
        {"deleted sheet", tokens().ref3d(6, 0, 0).b, "", "#REF!A1"},
        {"reference errors",
         tokens().b.u8(0x2A).u32(0).u8(0x3C).u16(0).u32(0).u8(ADD).u8(0x4B).raw(std::string(8, '\0')).u8(ADD).s, "",
         "#REF!+Data!#REF!+#REF!"},
        // Names.
        {"defined names", tokens().name(1).name(3).op(MUL).b, "", "MyName*Here"},
        {"a name of another sheet", tokens().name(2).b, "", "Sheet3!Local"},
        {"an external name", tokens().namex(3, 1).b, "", "[1]!Rate"},
        {"an unknown name", tokens().name(9).b, "", "#NAME?"},
        // Tokens that write nothing.
        {"reference expression marks",
         tokens().b.u8(0x29).u16(11).s + tokens().ref(0, 0).ref(1, 1).op(RANGE).b.s + tokens().b.u8(0x26).u32(0).u16(0).s +
             tokens().area(0, 1, 0, 0).op(ISECT).funcvar(1, 4).b.s,
         bytes().u16(1).u16(0).u16(1).u16(0).u16(0).s, "SUM(A1:B2 A1:A2)"},
        // Malformed tokens.
        {"operator without operands", tokens().integer(1).op(ADD).b, "", nullptr},
        {"operands left over", tokens().integer(1).integer(2).b, "", nullptr},
        {"token cut short", tokens().b.u8(0x44).u16(0).s, "", nullptr},
        {"unknown fixed function", tokens().integer(1).func(0x3FF).b, "", nullptr},
        {"unknown token", tokens().b.u8(0x30).s, "", nullptr},
        {"extended token", tokens().b.u8(0x18).u8(0x01).s, "", nullptr},
        {"array without its values", tokens().op(0x40).b.raw(std::string(7, '\0')).s, "", nullptr},
        {"pointer to another formula", tokens().b.u8(0x01).u16(0).u16(0).s, "", nullptr},
        {"nothing", "", "", nullptr},
    };
    for (const decode_case& c : cases) {
        std::string got = run(c);
        if (c.text) EXPECT_EQ(got, c.text) << c.what;
        else EXPECT_EQ(got.substr(0, 1), "!") << c.what << ": " << got;
    }
}

TEST(FormulaText, TextBeyondTheLimitIsReportedNotCut) {
    tokens t;
    t.str(std::string(200, 'x'));
    for (int i = 0; i < 20; ++i) t.str(std::string(200, 'y')).op(CONCAT);
    int status = 0;
    run({"long", t.b, "", ""}, &status, 1000);
    EXPECT_EQ(status, xls::FORMULA_TOO_LONG);
    run({"long", t.b, "", ""}, &status, 100000);
    EXPECT_EQ(status, xls::FORMULA_OK);
}

TEST(FormulaText, NumbersAndSheetNames) {
    const std::pair<double, const char*> numbers[] = {
        {0, "0"}, {1, "1"}, {-2.5, "-2.5"}, {0.1, "0.1"}, {1.0 / 3, "0.333333333333333"}, {1e15, "1E+15"},
        {123456789012345.0, "123456789012345"}, {1e-9, "0.000000001"}, {2.5e-12, "2.5E-12"}, {-1e100, "-1E+100"},
    };
    for (const auto& n : numbers) EXPECT_EQ(xls::formula_number(n.first), n.second) << n.first;
    const std::pair<const char*, const char*> sheets[] = {
        {"Data", "Data"}, {"数値", "数値"}, {"数値 一覧", "'数値 一覧'"}, {"It's", "'It''s'"}, {"2024", "'2024'"},
        {"AB12", "'AB12'"}, {"R1C1", "'R1C1'"}, {"Sheet_1.a", "Sheet_1.a"}, {"a-b", "'a-b'"}, {"全角　空白", "'全角　空白'"},
        {"", "''"},
    };
    for (const auto& s : sheets) EXPECT_EQ(xls::quoted_sheet(s.first), s.second) << s.first;
}

// A FORMULA record with its tokens after the cached result and options.
std::string formula_record(unsigned row, unsigned col, const std::string& rgce, const std::string& extra = "") {
    return bytes().raw(bt::cell(row, col)).f64(0).u16(0).u32(0).u16(static_cast<unsigned>(rgce.size())).raw(rgce)
        .raw(extra);
}
std::string exp_token(unsigned row, unsigned col) { return bytes().u8(0x01).u16(row).u16(col); }

TEST(FormulaRecords, SharedArrayAndTableFormulasResolvedPerCell) {
    bt::stream st;
    st.add(xls::BIFF_BOF, bt::bof(0x0005));
    st.add(xls::BIFF_XF, bt::xf(0));
    size_t b1 = st.add(xls::BIFF_BOUNDSHEET, bt::boundsheet("Sheet1"));
    size_t b2 = st.add(xls::BIFF_BOUNDSHEET, bt::boundsheet16(u"数値 一覧"));
    st.add(xls::BIFF_SUPBOOK, bytes().u16(2).u16(0x0401));
    st.add(xls::BIFF_EXTERNSHEET, bytes().u16(1).u16(0).u16(0).u16(0));
    st.add(xls::BIFF_NAME, bytes().u16(0).u8(0).u8(4).u16(0).u16(0).u16(0).u32(0).u8(0).raw("Rate"));
    st.add(xls::BIFF_EOF, "");
    st.patch32(b1 + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bt::bof(0x0010))));
    // C1: a plain formula with a 3D reference and a name.
    st.add(xls::BIFF_FORMULA, formula_record(0, 2, tokens().ref3d(0, 0, 0).name(1).op(MUL).b));
    // B2:B4 share "A2*2": the first cell's formula points to itself, the
    // SHRFMLA follows it; the others point to the first.
    st.add(xls::BIFF_FORMULA, formula_record(1, 1, exp_token(1, 1)));
    st.add(xls::BIFF_SHRFMLA, bytes().u16(1).u16(3).u8(1).u8(1).u8(0).u8(3).u16(15)
                                  .raw(tokens().refn(0, -1).integer(2).op(MUL).ref(0, 0, true, true).op(ADD).b));
    // An embedded chart between the cells changes nothing.
    st.add(xls::BIFF_BOF, bt::bof(0x0020));
    st.add(xls::BIFF_FORMULA, formula_record(0, 0, tokens().integer(7).b));
    st.add(xls::BIFF_EOF, "");
    st.add(xls::BIFF_FORMULA, formula_record(2, 1, exp_token(1, 1)));
    st.add(xls::BIFF_FORMULA, formula_record(3, 1, exp_token(1, 1)));
    // D1:D3 hold the array formula {=A1:A3*2}: given once, with its range.
    st.add(xls::BIFF_FORMULA, formula_record(0, 3, exp_token(0, 3)));
    st.add(xls::BIFF_ARRAY, bytes().u16(0).u16(2).u8(3).u8(3).u16(0).u32(0).u16(13)
                                .raw(tokens().area(0, 2, 0, 0).integer(2).op(MUL).b));
    st.add(xls::BIFF_FORMULA, formula_record(1, 3, exp_token(0, 3)));
    st.add(xls::BIFF_FORMULA, formula_record(2, 3, exp_token(0, 3)));
    // F2:F3, a data table of one column input cell E1.
    st.add(xls::BIFF_FORMULA, formula_record(1, 5, bytes().u8(0x02).u16(1).u16(5)));
    st.add(xls::BIFF_TABLE, bytes().u16(1).u16(2).u8(5).u8(5).u16(0).u16(0).u16(4).u16(0).u16(0));
    st.add(xls::BIFF_FORMULA, formula_record(2, 5, bytes().u8(0x02).u16(1).u16(5)));
    // G1 points to a shared formula that never comes; H1 is damaged.
    st.add(xls::BIFF_FORMULA, formula_record(0, 6, exp_token(9, 9)));
    st.add(xls::BIFF_FORMULA, formula_record(0, 7, tokens().integer(1).op(ADD).b));
    st.add(xls::BIFF_EOF, "");
    st.patch32(b2 + 4, static_cast<uint32_t>(st.add(xls::BIFF_BOF, bt::bof(0x0010))));
    st.add(xls::BIFF_FORMULA, formula_record(0, 0, tokens().ref3d(0, 0, 0).b));
    st.add(xls::BIFF_EOF, "");

    bt::fake_book b;
    b.keep_formulas = true;
    xls::biff_reader reader(b);
    xls::formula_reader formulas(b);
    reader.set_formula_reader(&formulas);
    ASSERT_EQ(xls::feed_records(reader, reinterpret_cast<const unsigned char*>(st.s.data()), st.s.size()), 0);
    const std::map<std::tuple<int, int, int>, std::string> want = {
        {{0, 0, 2}, "0|=Sheet1!A1*Rate|"},
        {{0, 1, 1}, "0|=A2*2+$A$1|"},
        {{0, 2, 1}, "0|=A3*2+$A$1|"},
        {{0, 3, 1}, "0|=A4*2+$A$1|"},
        {{0, 0, 3}, "0|{=A1:A3*2}|D1:D3"},
        {{0, 1, 5}, "0|{=TABLE(,E1)}|F2:F3"},
        {{0, 0, 6}, "1|a shared formula that is missing|"},
        {{0, 0, 7}, "1|an operator without its operands|"},
        {{1, 0, 0}, "0|=Sheet1!A1|"},
    };
    EXPECT_EQ(b.formulas, want);
}

TEST(FormulaRecords, NotKeptUnlessAsked) {
    bt::stream st = bt::one_sheet();
    st.add(xls::BIFF_FORMULA, formula_record(0, 0, tokens().integer(1).b));
    st.add(xls::BIFF_EOF, "");
    bt::fake_book b;
    ASSERT_EQ(bt::feed(b, st.s), 0);
    EXPECT_TRUE(b.formulas.empty());
}

}  // namespace
