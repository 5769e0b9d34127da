// The shared strings part: one string per "si", in document order, so that
// the n-th "si" is shared string n-1.
//
// The text of an "si" is assembled from its "t" elements: a "t" right inside
// the "si" replaces what was assembled, a "t" of a rich-text run ("r")
// appends, a "t" of a phonetic run ("rPh") is left out, so phonetic readings
// never enter the text.
#include "tbx_store.h"
#include "xlsx_scan.h"

namespace {

int add_string(xml_scan& s) {
    std::string out;
    int rc = xml_take_text(s, out);
    if (rc != 0) return rc;
    rc = tbx_add_sst(s.book, out.data(), static_cast<int>(out.size()));
    return rc == 0 ? 0 : -2;
}

}  // namespace

int shared_strings_event(xml_scan& s, int event, int code, std::string_view text) {
    if (xml_track_phonetic(s, event, code)) return 0;
    switch (code) {
    case X_T:
        if (event != XML_LEAF) return 0;  // an empty "<t/>" adds nothing
        if (s.container == X_SI) {
            s.text.clear();
            xml_append_piece(s, text);
        } else if (s.container == X_R) {
            xml_append_piece(s, text);
        }
        return 0;
    case X_SI:
        if (event == XML_START) {
            s.text.clear();
            return 0;
        }
        // Every "si" is one string, also an empty or self-closing one, so
        // that the indexes of the strings after it stay in place.
        if (event == XML_LEAF || event == XML_EMPTY) s.text.clear();
        return add_string(s);
    default:
        return 0;
    }
}
