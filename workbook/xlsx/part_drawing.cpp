// Drawing parts: the text of shapes becomes text objects on the sheet that
// the drawing belongs to, one object per non-empty paragraph, in document
// order.
#include "tbx_store.h"
#include "xlsx_chart.h"
#include "xlsx_scan.h"

int xlsx_add_text_object(xml_scan& s) {
    std::string out;
    int rc = xml_take_text(s, out);
    if (rc != 0) return rc;
    if (out.empty()) return 0;
    return tbx_add_drawing(s.book, 1, s.sheet, out.c_str()) == 0 ? 0 : -2;
}

int drawing_part_event(xml_scan& s, int event, int code, std::string_view text) {
    switch (code) {
    case X_TXBODY:
        if (event == XML_START) s.text.clear();
        return 0;
    case X_A_T:
        if (event == XML_LEAF) xml_append_piece(s, text);  // an empty "<a:t/>" adds nothing
        return 0;
    case X_A_P:
        if (event == XML_END) return xlsx_add_text_object(s);
        return 0;
    case X_C_CHART:
        if (event == XML_START || event == XML_EMPTY) return xlsx_chart_objects(s, text);
        return 0;
    default:
        return 0;
    }
}
