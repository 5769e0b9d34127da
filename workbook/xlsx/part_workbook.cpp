// The workbook part: the sheet list.
//
// Each "sheet" element with a name and a "sheetId" names one sheet, in the
// order of the list.  The names are kept in the reader's state: the
// worksheet members, read later, fill the sheet records and take their names
// from there.
#include <cstring>

#include "tbx_private.h"
#include "tbx_store.h"
#include "xlsx_scan.h"

enum { SHEET_NAME_MAX = 93 };  // bytes of UTF-8: 31 characters of three bytes

// The name as it stands in the package, unescaped; false when it is longer
// than a sheet name can be.
bool xlsx_sheet_name(std::string_view raw, std::string& out) {
    out.assign(raw);
    xml_unescape_text(out);
    return out.size() <= SHEET_NAME_MAX;
}

int workbook_part_event(xml_scan& s, int event, int code, std::string_view text) {
    if (code == X_WORKBOOKPR && (event == XML_START || event == XML_EMPTY)) {
        // date1904="1": serials count from 1904-01-01.
        xml_attrs a(text);
        std::string_view name, raw;
        while (a.next(name, raw)) {
            std::string_view v = xml_unquoted(raw);
            if (name == "date1904" && tbx_priv(s.book)) tbx_priv(s.book)->date1904 = v == "1" || v == "true";
        }
        return 0;
    }
    if (code != X_SHEET || (event != XML_START && event != XML_EMPTY)) return 0;
    xml_attrs a(text);
    std::string_view name, raw;
    std::string sheet_name, rid;
    bool has_name = false, has_id = false;
    while (a.next(name, raw)) {
        std::string_view v = xml_unquoted(raw);
        if (name == "name") {
            has_name = xlsx_sheet_name(v, sheet_name);
        } else if (name == "sheetId") {
            has_id = true;
        } else if (name == "r:id") {
            rid.assign(v);
        }
    }
    if (!has_name || !has_id) return 0;
    try {
        s.reader->sheet_names.push_back(sheet_name);
        s.reader->sheet_rids.push_back(rid);
    } catch (...) {
        return -2;
    }
    int index = s.book->sheet_count;
    int rc = tbx_add_sheet(s.book, index);
    if (rc != 0) return rc == -2 ? -2 : -9;
    tbx_set_sheet_name(s.book, index, sheet_name.c_str());
    s.sheet = index;
    return 0;
}
