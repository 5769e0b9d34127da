// The readers of the parts around a Word body: the numbering engine over a
// numbering and a styles part, the section outline of a body, SmartArt
// data, the settings' note numbering, and the number formats.  The input is
// cut into those parts at each "\x01\x02"; the last part holds format names
// separated by ','.
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "ofx_document.h"
#include "ofx_numbering.h"
#include "ofx_numfmt.h"
#include "ofx_smartart.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string_view in(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> part(6);
    size_t at = 0;
    for (size_t i = 0; i < part.size(); ++i) {
        size_t cut = i + 1 < part.size() ? in.find("\x01\x02", at) : std::string_view::npos;
        if (cut == std::string_view::npos) {
            part[i] = in.substr(at);
            break;
        }
        part[i] = in.substr(at, cut - at);
        at = cut + 2;
    }

    ofx_numbering numbering;
    numbering.load(part[0].data(), part[0].size(), part[1].data(), part[1].size());
    const char* const styles[] = {"", "Heading1", "List", "a"};
    for (int round = 0; round < 2; ++round)
        for (long num = -1; num <= 6; ++num)
            for (long ilvl = -1; ilvl <= 9; ++ilvl)
                for (const char* style : styles) {
                    ofx_paragraph_props p;
                    p.style = style;
                    p.has_num_id = num >= 0;
                    p.num_id = num;
                    p.has_ilvl = ilvl >= 0;
                    p.ilvl = ilvl;
                    numbering.label(p);
                    numbering.page_break_before(p);
                }

    std::set<std::string> anchors;
    std::map<std::string, std::string> targets{{"rId1", "word/header1.xml"}, {"rId2", "word/footer1.xml"}};
    ofx_read_sections(part[2].data(), part[2].size(), targets, &anchors);
    ofx_smartart_text(part[3].data(), part[3].size());
    ofx_note_format footnotes, endnotes;
    ofx_read_note_settings(part[4].data(), part[4].size(), &footnotes, &endnotes);

    std::string_view formats = part[5];
    for (at = 0; at <= formats.size();) {
        size_t comma = formats.find(',', at);
        std::string_view f = formats.substr(at, comma == std::string_view::npos ? std::string_view::npos : comma - at);
        for (long n : {-1000000000L, -1L, 0L, 1L, 9L, 10L, 20L, 21L, 46L, 99L, 10000L, 123456789L, 1000000000L})
            ofx_format_number(f, n, formats);
        ofx_symbol_text(std::string(f));
        if (comma == std::string_view::npos) break;
        at = comma + 1;
    }
    return 0;
}
