// Office Math (m:oMath, m:oMathPara) as one line of linear text a person can
// read and compare, close to the linear form the office program itself
// offers:
//   fraction (a+b)/2, skewed and linear ones the same, binomial (n¦k)
//   scripts mc^2, x_i, x_i^2, prescripts _a^b X
//   radical √(x), with a degree √(3&x)
//   n-ary ∑_(i=1)^n a_i (the operator, its limits, a blank, the operand)
//   delimiters (x), [a,b], |x| with the document's own characters
//   matrix ■(a&b@c&d), equation array ■(x=1@y=2)
//   accent x＾ (the accent after its base, as a spacing character),
//   bars ￣(x) and ＿(x), boxes □(x), group characters ⏟(x)
//   limits lim_(n→∞), functions sin x and sin(x)
// An operand of more than one character is put in parentheses unless it
// is a number or already delimited.  The characters of the equation's
// own runs are kept as written, less the invisible operators.
//
// The walker hands every element of an equation to the builder as it reads
// it; the builder keeps the equation's small tree and writes it at the end.
#ifndef OFX_MATH_H
#define OFX_MATH_H

#include <string>
#include <string_view>
#include <vector>

#include "ofx_xml.h"

class ofx_math {
public:
    // An element starts: its namespace, local name and, for the element
    // that starts the equation, the reader positioned on it.
    void open(const ofx_xml& x);
    // Character data inside the current element.
    void text(const ofx_xml& x);
    void close();

    // True once the element that started the equation has closed.
    bool done() const { return !nodes_.empty() && open_.empty(); }

    // The root's linear text; an equation paragraph (m:oMathPara) gives one
    // line per equation, separated by "\n".
    std::string linear() const;

    // True when the root is an equation paragraph (shown on lines of its own).
    bool display() const;

private:
    struct node {
        int kind;
        std::string val;  // the m:val attribute, when has_val
        bool has_val = false;
        std::string text;  // a text element's characters
        std::vector<int> children;
    };
    struct piece {
        std::string s;
        bool group = false;  // delimited already: no parentheses needed
    };
    piece lin(int n) const;
    piece args(int n) const;
    std::string wrap(int n) const;
    int child(int n, int kind) const;
    const node* prop(int n, int pr_kind, int kind) const;
    std::string prop_val(int n, int pr_kind, int kind, const char* fallback) const;
    bool prop_on(int n, int pr_kind, int kind) const;

    std::vector<node> nodes_;
    std::vector<int> open_;
};

#endif
