// Equations as linear text, where they stand: Word body, Word text box,
// PowerPoint placeholder and shape.
#include <gtest/gtest.h>

#include <string>

#include "ofx.h"
#include "ooxml_helpers.h"

namespace {

std::string r(const std::string& t) { return "<m:r><m:t>" + t + "</m:t></m:r>"; }
std::string e(const std::string& x) { return "<m:e>" + x + "</m:e>"; }
std::string arg(const char* name, const std::string& x) {
    return std::string("<m:") + name + ">" + x + "</m:" + name + ">";
}
std::string sup(const std::string& base, const std::string& s) { return "<m:sSup>" + e(base) + arg("sup", s) + "</m:sSup>"; }
std::string sub(const std::string& base, const std::string& s) { return "<m:sSub>" + e(base) + arg("sub", s) + "</m:sSub>"; }
std::string val(const char* name, const std::string& v) {
    return std::string("<m:") + name + " m:val=\"" + v + "\"/>";
}

std::string lines(const vt::dump_result& d) {
    std::string s;
    for (const auto& [name, text] : d.files) s += text;
    return s;
}

TEST(Equations, LinearForms) {
    vt::scratch_dir dir;
    const std::string matrix = "<m:m><m:mr>" + e(r("a")) + e(r("b")) + "</m:mr><m:mr>" + e(r("c")) + e(r("d")) +
                               "</m:mr></m:m>";
    struct {
        std::string omml;
        std::string want;
    } cases[] = {
        {r("E=m") + sup(r("c"), r("2")), "E=mc^2"},
        {"<m:f>" + arg("num", r("a+b")) + arg("den", r("2")) + "</m:f>", "(a+b)/2"},
        {"<m:f><m:fPr>" + val("type", "lin") + "</m:fPr>" + arg("num", r("1")) + arg("den", r("x")) + "</m:f>", "1/x"},
        {"<m:f><m:fPr>" + val("type", "noBar") + "</m:fPr>" + arg("num", r("n")) + arg("den", r("k")) + "</m:f>",
         "(n¦k)"},
        {"<m:f>" + arg("num", sup(r("x"), r("2"))) + arg("den", r("10")) + "</m:f>", "(x^2)/10"},
        {sub(r("x"), r("i")), "x_i"},
        {"<m:sSubSup>" + e(r("x")) + arg("sub", r("i")) + arg("sup", r("2")) + "</m:sSubSup>", "x_i^2"},
        {sup(r("e"), r("n+1")), "e^(n+1)"},
        {"<m:sPre>" + arg("sub", r("a")) + arg("sup", r("b")) + e(r("X")) + "</m:sPre>", "_a^b X"},
        {"<m:rad><m:radPr>" + val("degHide", "1") + "</m:radPr><m:deg/>" + e(r("x")) + "</m:rad>", "√(x)"},
        {"<m:rad>" + arg("deg", r("3")) + e(r("x+1")) + "</m:rad>", "√(3&x+1)"},
        {"<m:nary><m:naryPr>" + val("chr", "∑") + "</m:naryPr>" + arg("sub", r("i=1")) + arg("sup", r("n")) +
             e(sub(r("a"), r("i"))) + "</m:nary>",
         "∑_(i=1)^n a_i"},
        {"<m:nary>" + arg("sub", r("0")) + arg("sup", r("1")) + e(r("f(x)dx")) + "</m:nary>", "∫_0^1 f(x)dx"},
        {"<m:nary><m:naryPr>" + val("chr", "∏") + val("subHide", "on") + val("supHide", "1") + "</m:naryPr><m:sub/>"
             "<m:sup/>" + e(r("k")) + "</m:nary>",
         "∏ k"},
        {"<m:d>" + e(r("x+y")) + "</m:d>", "(x+y)"},
        {"<m:d><m:dPr>" + val("begChr", "[") + val("endChr", "]") + val("sepChr", ",") + "</m:dPr>" + e(r("a")) +
             e(r("b")) + "</m:d>",
         "[a,b]"},
        {"<m:d><m:dPr>" + val("begChr", "|") + val("endChr", "|") + "</m:dPr>" + e(r("x")) + "</m:d>", "|x|"},
        {"<m:d><m:dPr>" + val("begChr", "{") + val("endChr", "") + "</m:dPr>" + e(r("x")) + "</m:d>", "{x"},
        {sup("<m:d>" + e(r("a+b")) + "</m:d>", r("2")), "(a+b)^2"},
        {matrix, "■(a&b@c&d)"},
        {"<m:d>" + e(matrix) + "</m:d>", "(■(a&b@c&d))"},
        {"<m:eqArr>" + e(r("x=1")) + e(r("y=2")) + "</m:eqArr>", "■(x=1@y=2)"},
        {"<m:acc>" + e(r("x")) + "</m:acc>", "x＾"},
        {"<m:acc><m:accPr>" + val("chr", "\xCC\x83") + "</m:accPr>" + e(r("ab")) + "</m:acc>", "(ab)～"},
        {"<m:acc><m:accPr>" + val("chr", "\xE2\x83\x97") + "</m:accPr>" + e(r("v")) + "</m:acc>", "v→"},
        {"<m:bar><m:barPr>" + val("pos", "top") + "</m:barPr>" + e(r("z")) + "</m:bar>", "￣(z)"},
        {"<m:bar>" + e(r("z")) + "</m:bar>", "＿(z)"},
        {"<m:borderBox>" + e(r("a=b")) + "</m:borderBox>", "□(a=b)"},
        {"<m:groupChr>" + e(r("a+b")) + "</m:groupChr>", "⏟(a+b)"},
        {"<m:func>" + arg("fName", r("sin")) + e(r("x")) + "</m:func>", "sin x"},
        {"<m:func>" + arg("fName", r("cos")) + e("<m:d>" + e(r("2x")) + "</m:d>") + "</m:func>", "cos(2x)"},
        {"<m:func>" + arg("fName", "<m:limLow>" + e(r("lim")) + arg("lim", r("n→∞")) + "</m:limLow>") +
             e(sub(r("a"), r("n"))) + "</m:func>",
         "lim_(n→∞) a_n"},
        {"<m:limUpp>" + e(r("x")) + arg("lim", r("def")) + "</m:limUpp>", "x^(def)"},
        {"<m:phant><m:phantPr>" + val("show", "0") + "</m:phantPr>" + e(r("hidden")) + "</m:phant>" + r("y"), "y"},
        {"<m:box>" + e(r("a")) + "</m:box>", "a"},
        // Invisible operators show nothing; run properties and deleted
        // runs nothing either.
        {r("f\xE2\x81\xA1x") + "<m:r><m:rPr><m:sty m:val=\"p\"/></m:rPr><w:rPr><w:b/></w:rPr><m:t>+1</m:t></m:r>"
             "<w:del w:id=\"1\"><m:r><m:t>gone</m:t></m:r></w:del>",
         "fx+1"},
    };
    for (const auto& c : cases) {
        vt::dump_result d = vt::dump_word(dir, "<w:p><m:oMath>" + c.omml + "</m:oMath></w:p>", {}, {false, true, true});
        ASSERT_EQ(d.rc, 0) << c.omml;
        EXPECT_EQ(lines(d), c.want + "\n") << c.omml;
    }
}

TEST(Equations, WhereTheyStand) {
    vt::scratch_dir dir;
    const std::string emc = "<m:oMath>" + r("E=m") + sup(r("c"), r("2")) + "</m:oMath>";
    const std::string half = "<m:oMath><m:f>" + arg("num", r("a+b")) + arg("den", r("2")) + "</m:f></m:oMath>";
    struct {
        std::string body;
        bool textbox;
        std::string want;
    } cases[] = {
        // Inline, in the paragraph's text.
        {"<w:p><w:r><w:t xml:space=\"preserve\">The formula </w:t></w:r>" + emc +
             "<w:r><w:t xml:space=\"preserve\"> holds.</w:t></w:r></w:p>",
         false, "The formula E=mc^2 holds.\n"},
        // An equation paragraph: each equation on a line of its own, the
        // text around it on lines of their own.
        {"<w:p><w:r><w:t>Before</w:t></w:r><m:oMathPara>" + emc + half + "</m:oMathPara><w:r><w:t>after</w:t></w:r>"
             "</w:p>",
         false, "Before\nE=mc^2\n(a+b)/2\nafter\n"},
        {"<w:p><m:oMathPara><m:oMathParaPr/>" + half + "</m:oMathPara></w:p>", false, "(a+b)/2\n"},
        // In a table cell and in a text box (shape text on).
        {"<w:tbl><w:tr><w:tc><w:p>" + emc + "</w:p></w:tc></w:tr></w:tbl>", false, "E=mc^2\t\n"},
        {"<w:p><w:r><w:t>anchor</w:t></w:r><w:r><w:pict><v:shape><v:textbox><w:txbxContent><w:p>" + half +
             "</w:p></w:txbxContent></v:textbox></v:shape></w:pict></w:r></w:p>",
         true, "anchor\n(a+b)/2\n" OFX_EXTRA_SEPARATOR "\n"},
        // Another prefix for the math namespace reads the same.
        {"<w:p><x:oMath xmlns:x=\"http://schemas.openxmlformats.org/officeDocument/2006/math\"><x:r><x:t>y=x</x:t>"
             "</x:r></x:oMath></w:p>",
         false, "y=x\n"},
    };
    for (const auto& c : cases) {
        vt::dump_result d = vt::dump_word(dir, c.body, {}, {c.textbox, true, true});
        ASSERT_EQ(d.rc, 0) << c.body;
        EXPECT_EQ(lines(d), c.want) << c.body;
    }
}

TEST(Equations, InPowerPointShapes) {
    vt::scratch_dir dir;
    const std::string m = "xmlns:m=\"http://schemas.openxmlformats.org/officeDocument/2006/math\" "
                          "xmlns:a14=\"http://schemas.microsoft.com/office/drawing/2010/main\" "
                          "xmlns:mc=\"http://schemas.openxmlformats.org/markup-compatibility/2006\"";
    // PowerPoint keeps an equation in a14:m, with a picture or text as the
    // fallback for older readers: the equation is read once.
    std::string eq = "<a:p><a:r><a:t xml:space=\"preserve\">Area: </a:t></a:r><mc:AlternateContent " + m +
                     "><mc:Choice Requires=\"a14\"><a14:m><m:oMathPara><m:oMath>" + r("A=π") + sup(r("r"), r("2")) +
                     "</m:oMath></m:oMathPara></a14:m></mc:Choice><mc:Fallback><a:r><a:t>A=πr2</a:t></a:r>"
                     "</mc:Fallback></mc:AlternateContent></a:p>";
    std::vector<std::string> trees{vt::placeholder_shape("body", eq) + vt::text_box_shape(eq)};
    vt::dump_result off = vt::dump_slides(dir, trees, {false, false, true});
    ASSERT_EQ(off.rc, 0);
    EXPECT_EQ(off.files["スライド000"], "Area: \nA=πr^2\n");
    vt::dump_result on = vt::dump_slides(dir, trees, {true, false, true});
    EXPECT_EQ(on.files["スライド000"], "Area: \nA=πr^2\nArea: \nA=πr^2\n" OFX_EXTRA_SEPARATOR "\n");
}

}  // namespace
