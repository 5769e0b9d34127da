// The elements the walker acts on, by namespace and local name.
#ifndef OFX_TAGS_H
#define OFX_TAGS_H

#include "ofx_xml.h"

enum tag_type {
    T_NONE,
    T_TBL,          // w:tbl, a:tbl
    T_TR,           // w:tr, a:tr
    T_TC,           // w:tc, a:tc
    T_BR,           // w:br, a:br
    T_CR,           // w:cr
    T_P,            // w:p, a:p
    T_R,            // w:r, a:r, a:fld
    T_T,            // w:t, a:t: text
    T_TAB,          // w:tab, a:tab (a tab in a run; a tab stop elsewhere)
    T_PTAB,         // w:ptab
    T_HYPHEN,       // w:noBreakHyphen
    T_SOFT_HYPHEN,  // w:softHyphen
    T_SYM,          // w:sym
    T_PPR,          // w:pPr, a:pPr
    T_SECTPR,       // w:sectPr
    T_SECT_TYPE,    // w:type (inside w:sectPr)
    T_GRIDCOL,      // w:gridCol
    T_PICT,         // w:pict (VML picture)
    T_TXBX,         // w:txbxContent: the paragraphs of a text box
    T_SKIP,         // w:del, w:moveFrom, mc:Fallback, former properties: not shown
    T_NOTE,         // w:comment, w:footnote, w:endnote
    T_SP,           // p:sp
    T_GRAPHIC_FRAME,  // p:graphicFrame
    T_PH,           // p:ph
    T_TXBODY,       // p:txBody, p188:txBody
    T_CM,           // p:cm, p188:cm: a presentation comment
    T_CM_TEXT,      // p:text: the text of a presentation comment
    T_BODY,         // w:body
    T_MATH,         // m:oMath, m:oMathPara
    T_PSTYLE,       // w:pStyle
    T_NUMPR,        // w:numPr
    T_ILVL,         // w:ilvl
    T_NUMID,        // w:numId
    T_PAGE_BREAK_BEFORE,  // w:pageBreakBefore
    T_FOOTNOTE_REF, // w:footnoteReference
    T_ENDNOTE_REF,  // w:endnoteReference
    T_NOTE_MARK,    // w:footnoteRef, w:endnoteRef: a note's own mark
    T_COMMENT_REF,  // w:commentReference
    T_CHECKBOX,     // w:checkBox (a legacy form field)
    T_CB_DEFAULT,   // w:default
    T_CB_CHECKED,   // w:checked
    T_SDT,          // w:sdt
    T_SDT_CONTENT,  // w:sdtContent
    T_CHECKBOX14,   // w14:checkbox (a check box content control)
    T_CHECKED14,    // w14:checked
    T_TEXTPATH,     // v:textpath: WordArt and watermarks
    T_DIAGRAM,      // dgm:relIds: a SmartArt diagram
    T_CHART,        // c:chart: a chart in a drawing or a graphic frame
};

// The type of the element the reader stands on (START), T_NONE for the
// elements the walker passes over.
tag_type ofx_classify(const ofx_xml& x);

#endif
