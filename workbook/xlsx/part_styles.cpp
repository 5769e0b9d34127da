// The styles part, reading side: the workbook's number formats and its cell
// formats ("cellXfs"), which a cell's "s" attribute refers to.
//
// A number format's code is kept unescaped, without the attribute's quotes
// and whole, in UTF-8 as the package writes it, and classified once here.
// Fonts, fills and borders concern only a writer of the book.
#include <cstring>
#include <string>

#include "cell_format.h"
#include "orb_text.h"
#include "tbx_store.h"
#include "xlsx_scan.h"

namespace {

// The spelling of a format code that the classification knows: Excel's
// own.  Other writers spell the same formats differently: a Japanese literal
// escaped with a backslash instead of quoted (yyyy\年m\月d\日), a plain
// blank instead of an escaped one (yyyy/m/d h:mm), a section without its
// closing ";" (yyyy/m/d); each is rewritten into Excel's form.
std::string excel_spelling(const std::string& code) {
    std::string out;
    bool quoted = false;
    for (size_t i = 0; i < code.size(); ++i) {
        char c = code[i];
        unsigned char next = i + 1 < code.size() ? static_cast<unsigned char>(code[i + 1]) : 0;
        if (c == '"') {
            quoted = !quoted;
            out += c;
        } else if (quoted) {
            out += c;
        } else if (c == '\\' && next >= 0x80) {
            // One UTF-8 character as a quoted literal.
            size_t n = next >= 0xF0 ? 4 : next >= 0xE0 ? 3 : next >= 0xC0 ? 2 : 1;
            out += '"';
            out.append(code, i + 1, n);
            out += '"';
            i += n;
        } else if (c == '\\' && next) {
            out += c;
            out += static_cast<char>(next);
            ++i;
        } else if (c == ' ') {
            out += "\\ ";
        } else {
            out += c;
        }
    }
    if (out != "\"\"" && out.find(';') == std::string::npos) out += ';';
    return out;
}

// Double quotes as the package writes them ("&quot;").
std::string quotes_escaped(const std::string& code) {
    std::string out;
    for (char c : code) {
        if (c == '"') out += "&quot;";
        else out += c;
    }
    return out;
}

int classify_utf8(std::string code) {
    std::string sjis = code;
    sjis.resize(code.size() + 1);
    int len = static_cast<int>(code.size());
    if (orb_convert(ORB_UTF8, ORB_SJIS, sjis.data(), &len, static_cast<int>(sjis.size())) != 0) return -2;
    sjis.resize(static_cast<size_t>(len));
    return classify_format_code(sjis.c_str());
}

int on_number_format(xml_scan& s, std::string_view tag) {
    xml_attrs a(tag);
    std::string_view name, raw;
    long long id = -1;
    std::string code;
    while (a.next(name, raw)) {
        if (name == "numFmtId") id = xml_leading_int(xml_unquoted(raw));
        else if (name == "formatCode") code.assign(xml_unquoted(raw));
    }
    if (id < 0 || id > 32767 || s.book->numfmt_count >= TBX_MAX_NUMFMTS) return 0;
    if (xml_unescape_text(code) != 0) return -9;
    // Classified in Excel's spelling, the quotes as they stand and, when
    // that finds nothing, as the package writes them.
    std::string spelled = excel_spelling(code);
    int type = classify_utf8(spelled);
    if (type == TBX_FMT_PLAIN) type = classify_utf8(quotes_escaped(spelled));
    if (type == -2) return -2;
    if (type < 0) return 0;
    int rc = tbx_add_numfmt_utf8(s.book, static_cast<int>(id), code.c_str());
    if (rc == -2) return -2;
    if (rc == 0) s.book->numfmt[s.book->numfmt_count - 1].type = static_cast<short>(type);
    return 0;
}

int on_cell_format(xml_scan& s, std::string_view tag) {
    xml_attrs a(tag);
    std::string_view name, raw;
    long long numfmt = 0, font = 0, fill = 0, border = 0;
    while (a.next(name, raw)) {
        std::string_view v = xml_unquoted(raw);
        if (name == "numFmtId") numfmt = xml_leading_int(v);
        else if (name == "fontId") font = xml_leading_int(v);
        else if (name == "fillId") fill = xml_leading_int(v);
        else if (name == "borderId") border = xml_leading_int(v);
    }
    auto clamp = [](long long v) { return v < -1 ? -1 : v > 0x7FFFFFFF ? 0x7FFFFFFF : static_cast<int>(v); };
    int index = 0;
    if (tbx_add_xf(s.book, clamp(numfmt), &index) != 0) return -2;
    XLS_XF& xf = s.book->xf[index];
    xf.font = clamp(font);
    xf.fill = clamp(fill);
    xf.border = clamp(border);
    return 0;
}

}  // namespace

int styles_part_event(xml_scan& s, int event, int code, std::string_view text) {
    if (event != XML_START && event != XML_EMPTY) return 0;
    switch (code) {
    case X_NUMFMT:
        return s.container == X_NUMFMTS ? on_number_format(s, text) : 0;
    case X_XF:
        // Cell-style formats ("cellStyleXfs") are not cell formats.
        return s.container == X_CELLXFS ? on_cell_format(s, text) : 0;
    default:
        return 0;
    }
}
