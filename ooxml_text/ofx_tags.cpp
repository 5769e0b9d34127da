// The element names the walker knows, by namespace URI.
#include "ofx_tags.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace {

struct name_entry {
    ofx_ns ns;
    const char* local;
    tag_type type;
};

const name_entry k_names[] = {
    {OFX_NS_W, "p", T_P},
    {OFX_NS_W, "r", T_R},
    {OFX_NS_W, "t", T_T},
    {OFX_NS_W, "tab", T_TAB},
    {OFX_NS_W, "ptab", T_PTAB},
    {OFX_NS_W, "br", T_BR},
    {OFX_NS_W, "cr", T_CR},
    {OFX_NS_W, "noBreakHyphen", T_HYPHEN},
    {OFX_NS_W, "softHyphen", T_SOFT_HYPHEN},
    {OFX_NS_W, "sym", T_SYM},
    {OFX_NS_W, "tbl", T_TBL},
    {OFX_NS_W, "tr", T_TR},
    {OFX_NS_W, "tc", T_TC},
    {OFX_NS_W, "pPr", T_PPR},
    {OFX_NS_W, "sectPr", T_SECTPR},
    {OFX_NS_W, "type", T_SECT_TYPE},
    {OFX_NS_W, "gridCol", T_GRIDCOL},
    {OFX_NS_W, "pict", T_PICT},
    {OFX_NS_W, "txbxContent", T_TXBX},
    {OFX_NS_W, "del", T_SKIP},
    {OFX_NS_W, "moveFrom", T_SKIP},
    {OFX_NS_W, "pPrChange", T_SKIP},
    {OFX_NS_W, "rPrChange", T_SKIP},
    {OFX_NS_W, "sectPrChange", T_SKIP},
    {OFX_NS_W, "comment", T_NOTE},
    {OFX_NS_W, "footnote", T_NOTE},
    {OFX_NS_W, "endnote", T_NOTE},
    {OFX_NS_W, "body", T_BODY},
    {OFX_NS_W, "pStyle", T_PSTYLE},
    {OFX_NS_W, "numPr", T_NUMPR},
    {OFX_NS_W, "ilvl", T_ILVL},
    {OFX_NS_W, "numId", T_NUMID},
    {OFX_NS_W, "pageBreakBefore", T_PAGE_BREAK_BEFORE},
    {OFX_NS_W, "footnoteReference", T_FOOTNOTE_REF},
    {OFX_NS_W, "endnoteReference", T_ENDNOTE_REF},
    {OFX_NS_W, "footnoteRef", T_NOTE_MARK},
    {OFX_NS_W, "endnoteRef", T_NOTE_MARK},
    {OFX_NS_W, "commentReference", T_COMMENT_REF},
    {OFX_NS_W, "checkBox", T_CHECKBOX},
    {OFX_NS_W, "default", T_CB_DEFAULT},
    {OFX_NS_W, "checked", T_CB_CHECKED},
    {OFX_NS_W, "sdt", T_SDT},
    {OFX_NS_W, "sdtContent", T_SDT_CONTENT},
    {OFX_NS_W14, "checkbox", T_CHECKBOX14},
    {OFX_NS_W14, "checked", T_CHECKED14},
    {OFX_NS_V, "textpath", T_TEXTPATH},
    {OFX_NS_DGM, "relIds", T_DIAGRAM},
    {OFX_NS_C, "chart", T_CHART},
    {OFX_NS_MC, "Fallback", T_SKIP},
    {OFX_NS_M, "oMath", T_MATH},
    {OFX_NS_M, "oMathPara", T_MATH},
    {OFX_NS_A, "p", T_P},
    {OFX_NS_A, "r", T_R},
    {OFX_NS_A, "fld", T_R},
    {OFX_NS_A, "t", T_T},
    {OFX_NS_A, "br", T_BR},
    {OFX_NS_A, "tab", T_TAB},
    {OFX_NS_A, "tbl", T_TBL},
    {OFX_NS_A, "tr", T_TR},
    {OFX_NS_A, "tc", T_TC},
    {OFX_NS_A, "pPr", T_PPR},
    {OFX_NS_P, "sp", T_SP},
    {OFX_NS_P, "graphicFrame", T_GRAPHIC_FRAME},
    {OFX_NS_P, "ph", T_PH},
    {OFX_NS_P, "txBody", T_TXBODY},
    {OFX_NS_P, "cm", T_CM},
    {OFX_NS_P, "text", T_CM_TEXT},
    {OFX_NS_P188, "txBody", T_TXBODY},
    {OFX_NS_P188, "cm", T_CM},
};

// The table as an open-addressed hash of namespace and local name, built
// once: a lookup hashes the name where it stands, with no key to build.
struct name_slot {
    ofx_ns ns = OFX_NS_NONE;
    std::string_view local;
    tag_type type = T_NONE;
};
constexpr size_t k_slots = 256;  // a power of two, beyond three times the names

size_t name_hash(ofx_ns ns, std::string_view local) {
    uint32_t h = 2166136261u ^ static_cast<uint32_t>(ns);
    for (char c : local) h = (h ^ static_cast<unsigned char>(c)) * 16777619u;
    return h & (k_slots - 1);
}

struct name_table {
    name_slot slots[k_slots];
    name_table() {
        for (const name_entry& e : k_names) {
            size_t i = name_hash(e.ns, e.local);
            while (!slots[i].local.empty()) {
                if (slots[i].ns == e.ns && slots[i].local == e.local) break;  // the first entry stands
                i = (i + 1) & (k_slots - 1);
            }
            if (slots[i].local.empty()) slots[i] = name_slot{e.ns, e.local, e.type};
        }
    }
};

const name_table& names() {
    static const name_table table;
    return table;
}

}  // namespace

tag_type ofx_classify(const ofx_xml& x) {
    if (x.ns() == OFX_NS_NONE || x.ns() == OFX_NS_OTHER) return T_NONE;
    const std::string_view local = x.local();
    if (local.empty()) return T_NONE;
    const name_slot* slots = names().slots;
    for (size_t i = name_hash(x.ns(), local);; i = (i + 1) & (k_slots - 1)) {
        const name_slot& s = slots[i];
        if (s.local.empty()) return T_NONE;
        if (s.ns == x.ns() && s.local == local) return s.type;
    }
}
