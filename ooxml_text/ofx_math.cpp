// Office Math as linear text.
#include "ofx_math.h"

#include <cstring>

namespace {

enum kind {
    K_SKIP,       // not shown (properties, run properties, deleted runs)
    K_ARG,        // content: its children one after the other
    K_PARA,       // m:oMathPara
    K_MATH,       // m:oMath
    K_R,          // m:r, w:r
    K_T,          // m:t, w:t
    K_E, K_NUM, K_DEN, K_SUB, K_SUP, K_DEG, K_LIM, K_FNAME, K_MR,
    K_F, K_SSUP, K_SSUB, K_SSUBSUP, K_SPRE, K_RAD, K_NARY, K_D, K_MATRIX, K_EQARR, K_ACC, K_BAR,
    K_BORDERBOX, K_BOX, K_GROUPCHR, K_LIMLOW, K_LIMUPP, K_FUNC, K_PHANT,
    // properties
    K_FPR, K_NARYPR, K_DPR, K_ACCPR, K_BARPR, K_GROUPCHRPR, K_RADPR, K_PHANTPR, K_SPREPR,
    K_TYPE, K_CHR, K_BEGCHR, K_ENDCHR, K_SEPCHR, K_POS, K_DEGHIDE, K_SHOW, K_SUBHIDE, K_SUPHIDE,
};

struct math_name {
    const char* local;
    int kind;
};

const math_name k_math_names[] = {
    {"oMathPara", K_PARA}, {"oMath", K_MATH}, {"r", K_R}, {"t", K_T}, {"e", K_E}, {"num", K_NUM},
    {"den", K_DEN}, {"sub", K_SUB}, {"sup", K_SUP}, {"deg", K_DEG}, {"lim", K_LIM}, {"fName", K_FNAME},
    {"mr", K_MR}, {"f", K_F}, {"sSup", K_SSUP}, {"sSub", K_SSUB}, {"sSubSup", K_SSUBSUP}, {"sPre", K_SPRE},
    {"rad", K_RAD}, {"nary", K_NARY}, {"d", K_D}, {"m", K_MATRIX}, {"eqArr", K_EQARR}, {"acc", K_ACC},
    {"bar", K_BAR}, {"borderBox", K_BORDERBOX}, {"box", K_BOX}, {"groupChr", K_GROUPCHR},
    {"limLow", K_LIMLOW}, {"limUpp", K_LIMUPP}, {"func", K_FUNC}, {"phant", K_PHANT},
    {"fPr", K_FPR}, {"naryPr", K_NARYPR}, {"dPr", K_DPR}, {"accPr", K_ACCPR}, {"barPr", K_BARPR},
    {"groupChrPr", K_GROUPCHRPR}, {"radPr", K_RADPR}, {"phantPr", K_PHANTPR}, {"sPrePr", K_SPREPR},
    {"type", K_TYPE}, {"chr", K_CHR}, {"begChr", K_BEGCHR}, {"endChr", K_ENDCHR}, {"sepChr", K_SEPCHR},
    {"pos", K_POS}, {"degHide", K_DEGHIDE}, {"show", K_SHOW}, {"subHide", K_SUBHIDE}, {"supHide", K_SUPHIDE},
};

int classify(const ofx_xml& x) {
    std::string_view l = x.local();
    if (x.ns() == OFX_NS_M) {
        for (const math_name& n : k_math_names)
            if (l == n.local) return n.kind;
        // Other properties (ctrlPr, rPr, oMathParaPr, ...) show nothing;
        // anything else is content.
        return l.size() > 2 && l.substr(l.size() - 2) == "Pr" ? K_SKIP : K_ARG;
    }
    if (x.ns() == OFX_NS_W) {
        if (l == "r") return K_R;
        if (l == "t") return K_T;
        if (l == "ins") return K_ARG;
    }
    return K_SKIP;
}

// The number of code points of UTF-8 text.
size_t code_points(const std::string& s) {
    size_t n = 0;
    for (unsigned char c : s)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

bool is_number(const std::string& s) {
    if (s.empty()) return false;
    for (char c : s)
        if (!(c >= '0' && c <= '9') && c != '.') return false;
    return true;
}

// Combining accents as the spacing characters that code page 932 holds,
// so that one accent written in place of another still shows.
struct accent {
    const char* combining;
    const char* spacing;
};

const accent k_accents[] = {
    {"\xCC\x82", "＾"},     // U+0302 circumflex (hat)
    {"\xCC\x83", "～"},     // U+0303 tilde
    {"\xCC\x88", "¨"},      // U+0308 diaeresis
    {"\xCC\x81", "´"},      // U+0301 acute
    {"\xCC\x80", "｀"},     // U+0300 grave
    {"\xCC\x84", "￣"},     // U+0304 macron
    {"\xCC\x85", "￣"},     // U+0305 overline
    {"\xE2\x83\x97", "→"},  // U+20D7 vector arrow
    {"\xE2\x83\x96", "←"},  // U+20D6 left arrow above
    {"\xCC\x87", "・"},     // U+0307 dot above
    {"\xCC\x8C", "ˇ"},      // U+030C caron
    {"\xCC\x86", "˘"},      // U+0306 breve
};

bool on(const std::string& v) { return v.empty() || v == "1" || v == "on" || v == "true"; }

}  // namespace

void ofx_math::open(const ofx_xml& x) {
    node n;
    n.kind = classify(x);
    std::string v;
    if (x.attr(OFX_NS_M, "val", &v)) {
        n.val = std::move(v);
        n.has_val = true;
    }
    int id = static_cast<int>(nodes_.size());
    if (!open_.empty()) nodes_[static_cast<size_t>(open_.back())].children.push_back(id);
    nodes_.push_back(std::move(n));
    open_.push_back(id);
}

void ofx_math::text(const ofx_xml& x) {
    if (open_.empty()) return;
    node& n = nodes_[static_cast<size_t>(open_.back())];
    if (n.kind == K_T) x.append_text(n.text);
}

void ofx_math::close() {
    if (!open_.empty()) open_.pop_back();
}

bool ofx_math::display() const { return !nodes_.empty() && nodes_[0].kind == K_PARA; }

int ofx_math::child(int n, int kind) const {
    for (int c : nodes_[static_cast<size_t>(n)].children)
        if (nodes_[static_cast<size_t>(c)].kind == kind) return c;
    return -1;
}

// The property element `kind` inside the property container `pr_kind` of n.
const ofx_math::node* ofx_math::prop(int n, int pr_kind, int kind) const {
    int pr = child(n, pr_kind);
    if (pr < 0) return nullptr;
    int c = child(pr, kind);
    return c < 0 ? nullptr : &nodes_[static_cast<size_t>(c)];
}

// A character property: absent gives the fallback; present without a value
// gives nothing (the office program's reading of an empty m:val).
std::string ofx_math::prop_val(int n, int pr_kind, int kind, const char* fallback) const {
    const node* p = prop(n, pr_kind, kind);
    if (!p) return fallback;
    return p->has_val ? p->val : std::string();
}

bool ofx_math::prop_on(int n, int pr_kind, int kind) const {
    const node* p = prop(n, pr_kind, kind);
    return p && on(p->has_val ? p->val : std::string());
}

ofx_math::piece ofx_math::args(int n) const {
    piece out;
    int shown = 0;
    for (int c : nodes_[static_cast<size_t>(n)].children) {
        piece p = lin(c);
        if (p.s.empty()) continue;
        ++shown;
        out.group = p.group;
        out.s += p.s;
    }
    if (shown != 1) out.group = false;
    return out;
}

// An operand: in parentheses unless it is one character, a number or
// delimited already.
std::string ofx_math::wrap(int n) const {
    if (n < 0) return std::string();
    piece p = lin(n);
    if (p.group || p.s.empty() || code_points(p.s) == 1 || is_number(p.s)) return p.s;
    return "(" + p.s + ")";
}

ofx_math::piece ofx_math::lin(int n) const {
    const node& nd = nodes_[static_cast<size_t>(n)];
    auto arg = [&](int kind) { return child(n, kind); };
    auto text_of = [&](int kind) {
        int c = arg(kind);
        return c < 0 ? std::string() : lin(c).s;
    };
    switch (nd.kind) {
    case K_SKIP:
    case K_FPR: case K_NARYPR: case K_DPR: case K_ACCPR: case K_BARPR: case K_GROUPCHRPR: case K_RADPR:
    case K_PHANTPR: case K_SPREPR: case K_TYPE: case K_CHR: case K_BEGCHR: case K_ENDCHR: case K_SEPCHR:
    case K_POS: case K_DEGHIDE: case K_SHOW: case K_SUBHIDE: case K_SUPHIDE:
        return {};
    case K_T: {
        // Invisible operators (function application, times, separator,
        // plus) show nothing.
        std::string s;
        for (size_t i = 0; i < nd.text.size(); ++i) {
            if (i + 2 < nd.text.size() && nd.text.compare(i, 2, "\xE2\x81") == 0 &&
                static_cast<unsigned char>(nd.text[i + 2]) >= 0xA1 &&
                static_cast<unsigned char>(nd.text[i + 2]) <= 0xA4) {
                i += 2;
                continue;
            }
            s += nd.text[i];
        }
        return {s, false};
    }
    case K_PARA: {
        piece out;
        for (int c : nd.children) {
            if (nodes_[static_cast<size_t>(c)].kind != K_MATH) continue;
            if (!out.s.empty()) out.s += "\n";
            out.s += lin(c).s;
        }
        return out;
    }
    case K_F: {
        std::string type = prop_val(n, K_FPR, K_TYPE, "bar");
        if (type == "noBar") return {"(" + text_of(K_NUM) + "¦" + text_of(K_DEN) + ")", true};
        return {wrap(arg(K_NUM)) + "/" + wrap(arg(K_DEN)), false};
    }
    case K_SSUP: return {wrap(arg(K_E)) + "^" + wrap(arg(K_SUP)), false};
    case K_SSUB: return {wrap(arg(K_E)) + "_" + wrap(arg(K_SUB)), false};
    case K_SSUBSUP: return {wrap(arg(K_E)) + "_" + wrap(arg(K_SUB)) + "^" + wrap(arg(K_SUP)), false};
    case K_SPRE: return {"_" + wrap(arg(K_SUB)) + "^" + wrap(arg(K_SUP)) + " " + text_of(K_E), false};
    case K_RAD: {
        std::string deg = prop_on(n, K_RADPR, K_DEGHIDE) ? std::string() : text_of(K_DEG);
        return {"√(" + (deg.empty() ? std::string() : deg + "&") + text_of(K_E) + ")", true};
    }
    case K_NARY: {
        std::string s = prop_val(n, K_NARYPR, K_CHR, "∫");
        std::string sub = prop_on(n, K_NARYPR, K_SUBHIDE) ? std::string() : wrap(arg(K_SUB));
        std::string sup = prop_on(n, K_NARYPR, K_SUPHIDE) ? std::string() : wrap(arg(K_SUP));
        if (!sub.empty()) s += "_" + sub;
        if (!sup.empty()) s += "^" + sup;
        std::string e = text_of(K_E);
        if (!e.empty()) s += " " + e;
        return {s, false};
    }
    case K_D: {
        std::string beg = prop_val(n, K_DPR, K_BEGCHR, "(");
        std::string end = prop_val(n, K_DPR, K_ENDCHR, ")");
        std::string sep = prop_val(n, K_DPR, K_SEPCHR, "|");
        std::string s = beg;
        bool first = true;
        for (int c : nd.children) {
            if (nodes_[static_cast<size_t>(c)].kind != K_E) continue;
            if (!first) s += sep;
            first = false;
            s += lin(c).s;
        }
        return {s + end, !beg.empty() && !end.empty()};
    }
    case K_MATRIX: {
        std::string s = "■(";
        bool first_row = true;
        for (int r : nd.children) {
            if (nodes_[static_cast<size_t>(r)].kind != K_MR) continue;
            if (!first_row) s += "@";
            first_row = false;
            bool first = true;
            for (int c : nodes_[static_cast<size_t>(r)].children) {
                if (nodes_[static_cast<size_t>(c)].kind != K_E) continue;
                if (!first) s += "&";
                first = false;
                s += lin(c).s;
            }
        }
        return {s + ")", true};
    }
    case K_EQARR: {
        std::string s = "■(";
        bool first = true;
        for (int c : nd.children) {
            if (nodes_[static_cast<size_t>(c)].kind != K_E) continue;
            if (!first) s += "@";
            first = false;
            s += lin(c).s;
        }
        return {s + ")", true};
    }
    case K_ACC: {
        std::string chr = prop_val(n, K_ACCPR, K_CHR, "\xCC\x82");
        for (const accent& a : k_accents)
            if (chr == a.combining) chr = a.spacing;
        return {wrap(arg(K_E)) + chr, false};
    }
    case K_BAR: {
        bool top = prop_val(n, K_BARPR, K_POS, "bot") == "top";
        return {std::string(top ? "￣" : "＿") + "(" + text_of(K_E) + ")", true};
    }
    case K_BORDERBOX: return {"□(" + text_of(K_E) + ")", true};
    case K_GROUPCHR: {
        std::string chr = prop_val(n, K_GROUPCHRPR, K_CHR, "⏟");
        return {chr + "(" + text_of(K_E) + ")", true};
    }
    case K_LIMLOW: return {text_of(K_E) + "_" + wrap(arg(K_LIM)), false};
    case K_LIMUPP: return {text_of(K_E) + "^" + wrap(arg(K_LIM)), false};
    case K_FUNC: {
        std::string name = text_of(K_FNAME);
        piece e = arg(K_E) < 0 ? piece{} : lin(arg(K_E));
        bool delimited = !e.s.empty() && std::strchr("([{|", e.s[0]) != nullptr;
        return {name + (e.s.empty() || delimited ? "" : " ") + e.s, false};
    }
    case K_PHANT: {
        const node* show = prop(n, K_PHANTPR, K_SHOW);
        if (show && !on(show->has_val ? show->val : std::string())) return {};
        return arg(K_E) < 0 ? piece{} : lin(arg(K_E));
    }
    default: return args(n);
    }
}

std::string ofx_math::linear() const {
    if (nodes_.empty()) return std::string();
    return lin(0).s;
}
