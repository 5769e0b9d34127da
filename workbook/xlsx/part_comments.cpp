// Comment parts: the text of each comment becomes one text object on the
// sheet that the comments belong to.  Its "t" elements are assembled as for
// shared strings (a direct "t" replaces, a run's "t" appends, a phonetic
// run's "t" is left out).
#include "tbx_store.h"
#include "xlsx_scan.h"

int xlsx_add_text_object(xml_scan& s);  // part_drawing.cpp

int comments_part_event(xml_scan& s, int event, int code, std::string_view text) {
    if (xml_track_phonetic(s, event, code)) return 0;
    switch (code) {
    case X_TEXT:
        // A text left over from an unclosed comment goes first.
        if (event == XML_START) return s.text.empty() ? 0 : xlsx_add_text_object(s);
        if (event == XML_END) return xlsx_add_text_object(s);
        return 0;
    case X_T:
        if (event != XML_LEAF) return 0;
        if (s.container == X_TEXT) {
            s.text.clear();
            xml_append_piece(s, text);
        } else if (s.container == X_R) {
            xml_append_piece(s, text);
        }
        return 0;
    default:
        return 0;
    }
}
