// A small Open XML workbook made in the test: sheets with the given names,
// each holding its text in A1.  For names no corpus document carries.
#ifndef VERGLE_TEST_SHEETS_XLSX_H
#define VERGLE_TEST_SHEETS_XLSX_H

#include <string>
#include <utility>
#include <vector>

#include "../zip/test_zip.h"

namespace vt {

inline std::string xml_text(const std::string& s) {
    std::string out;
    for (char c : s) {
        switch (c) {
        case '&': out += "&amp;"; break;
        case '<': out += "&lt;"; break;
        case '>': out += "&gt;"; break;
        case '"': out += "&quot;"; break;
        default: out += c;
        }
    }
    return out;
}

// sheets: (name, text of A1) in sheet order; names and texts in UTF-8.
inline std::string sheets_xlsx(const std::vector<std::pair<std::string, std::string>>& sheets) {
    std::vector<zip_member> members;
    members.push_back({"[Content_Types].xml", "<Types/>"});
    std::string book = "<workbook xmlns:r=\"r\"><sheets>", rels = "<Relationships>";
    for (size_t i = 0; i < sheets.size(); ++i) {
        std::string n = std::to_string(i + 1);
        book += "<sheet name=\"" + xml_text(sheets[i].first) + "\" sheetId=\"" + n + "\" r:id=\"rId" + n + "\"/>";
        rels += "<Relationship Id=\"rId" + n + "\" Type=\"worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        members.push_back({"xl/worksheets/sheet" + n + ".xml",
                           "<worksheet><sheetData><row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>" +
                               xml_text(sheets[i].second) + "</t></is></c></row></sheetData></worksheet>"});
    }
    members.push_back({"xl/workbook.xml", book + "</sheets></workbook>"});
    members.push_back({"xl/_rels/workbook.xml.rels", rels + "</Relationships>"});
    return make_zip(members);
}

}  // namespace vt

#endif
