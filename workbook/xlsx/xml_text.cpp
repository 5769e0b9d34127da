// Escaping follows the tables of the readers and the writer: the five XML
// entities, the four hexadecimal character references that Office writes for
// control characters, and Excel's "_xHHHH_" escapes, of which only "_x005F"
// (the escaped underscore) and "_x001A_" are resolved on reading.
#include "xml_text.h"

#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "orb_text.h"
#include "platform.h"

namespace {

struct unescape_rule {
    const char* from;
    int from_len;
    const char* to;
    int to_len;
};

// Tried in this order at every position; the first match wins.
const unescape_rule k_unescape[] = {
    {"&lt;", 4, "<", 1},       {"&gt;", 4, ">", 1},        {"&amp;", 5, "&", 1},
    {"&#xD;", 5, "\r", 1},     {"&#xA;", 5, "\n", 1},      {"&#x9;", 5, "\t", 1},
    {"&#x20;", 6, " ", 1},     {"&quot;", 6, "\"", 1},     {"&apos;", 6, "'", 1},
    {"_x005F", 6, "", 0},      {"_x001A_", 7, " ", 1},     {"\xC2\xA0", 2, " ", 1},
};

bool is_hex(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when text[i..] is "_x", four hexadecimal digits and "_", all inside
// the text.
bool starts_escape_sequence(const char* text, int64_t i, int64_t n) {
    if (n - i < 7) return false;
    const unsigned char* p = reinterpret_cast<const unsigned char*>(text + i);
    return p[0] == '_' && p[1] == 'x' && is_hex(p[2]) && is_hex(p[3]) && is_hex(p[4]) &&
           is_hex(p[5]) && p[6] == '_';
}

// The escaped form of one byte, or nullptr when the byte stays.
const char* escape_of(int mode, const char* text, int64_t i, int64_t n, int* len) {
    switch (text[i]) {
    case '&': *len = 5; return "&amp;";
    case '\t': *len = 5; return "&#x9;";
    case '\n':
        if (mode == XML_ESCAPE) { *len = 5; return "&#xA;"; }
        return nullptr;
    case '\r':
        if (mode == XML_ESCAPE) { *len = 5; return "&#xD;"; }
        return nullptr;
    case '"': *len = 6; return "&quot;";
    case '\'': *len = 6; return "&apos;";
    case '<': *len = 4; return "&lt;";
    case '>': *len = 4; return "&gt;";
    case '_':
        if (starts_escape_sequence(text, i, n)) { *len = 7; return "_x005F_"; }
        return nullptr;
    default: return nullptr;
    }
}

// One conversion into out (capacity limit + 7).  False when the output
// length reached the limit, counted after each input byte.
bool convert_once(int mode, const char* text, int64_t n, char* out, int64_t limit, int64_t* out_len) {
    int64_t o = 0;
    int64_t i = 0;
    while (i < n) {
        if (mode == XML_UNESCAPE) {
            const unsigned char c = static_cast<unsigned char>(text[i]);
            // Every rule starts with one of these three bytes.
            if (c != '&' && c != '_' && c != 0xC2) {
                out[o++] = text[i++];
                if (o >= limit) return false;
                continue;
            }
            const unescape_rule* hit = nullptr;
            for (const unescape_rule& r : k_unescape) {
                if (n - i >= r.from_len && std::memcmp(text + i, r.from, r.from_len) == 0) {
                    hit = &r;
                    break;
                }
            }
            if (hit) {
                std::memcpy(out + o, hit->to, hit->to_len);
                o += hit->to_len;
                i += hit->from_len;
            } else {
                out[o++] = text[i++];
            }
        } else {
            int len = 0;
            const char* esc = escape_of(mode, text, i, n, &len);
            if (esc) {
                std::memcpy(out + o, esc, len);
                o += len;
            } else {
                out[o++] = text[i];
            }
            ++i;
        }
        if (o >= limit) return false;
    }
    *out_len = o;
    return true;
}

}  // namespace

int xml_escape(int mode, char* text, int* length) {
    if (mode != XML_UNESCAPE && mode != XML_ESCAPE && mode != XML_ESCAPE_KEEP_LF) return -3;
    if (!text || !length || *length < 0) return -3;
    const int64_t n = *length;
    int64_t limit = 2 * n;
    for (int attempt = 0; attempt < 99; ++attempt) {
        char* work = static_cast<char*>(std::malloc(static_cast<size_t>(limit + 7)));
        if (!work) return -2;
        int64_t out_len = 0;
        if (convert_once(mode, text, n, work, limit, &out_len)) {
            std::memcpy(text, work, static_cast<size_t>(out_len));
            text[out_len] = '\0';
            *length = static_cast<int>(out_len);
            std::free(work);
            return 0;
        }
        std::free(work);
        // The next limit would no longer fit an int length: give up.
        if (limit > INT32_MAX / 2) return -1;
        limit *= 2;
    }
    return -1;
}

int fold_crlf(int charset, char* text) {
    if (!text) return 0;
    char* out = text;
    const char* p = text;
    while (*p) {
        if (*p == '\r' && p[1] == '\n') {
            ++p;  // drop the CR; the LF is copied as the next character
            continue;
        }
        int trail = orb_mb_len(charset, static_cast<unsigned char>(*p));
        *out++ = *p++;
        // A lead byte at the very end of the text has no trail bytes to step
        // over: never move past the terminator.
        for (int k = 0; k < trail && *p; ++k) *out++ = *p++;
    }
    *out = '\0';
    return 0;
}

void xml_append_raw(std::string& out, const char* a, const char* b) {
    while (a < b) {
        const char* e = static_cast<const char*>(std::memchr(a, '\xEF', static_cast<size_t>(b - a)));
        if (!e) {
            out.append(a, b);
            return;
        }
        out.append(a, e);
        if (b - e >= 3 && e[1] == '\xBF' && (e[2] == '\xBE' || e[2] == '\xBF')) {
            a = e + 3;
        } else {
            out += *e;
            a = e + 1;
        }
    }
}

void xml_append_char(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF) || cp == 0xFFFE || cp == 0xFFFF) return;
    plat_append_utf8(out, static_cast<uint32_t>(cp));
}

void xml_append_text(std::string& out, const char* p, const char* end) {
    while (p < end) {
        const char* amp = static_cast<const char*>(std::memchr(p, '&', static_cast<size_t>(end - p)));
        if (!amp) {
            xml_append_raw(out, p, end);
            return;
        }
        xml_append_raw(out, p, amp);
        const char* semi = static_cast<const char*>(std::memchr(amp, ';', static_cast<size_t>(end - amp)));
        bool done = semi && semi - amp <= 10;
        if (done) {
            std::string_view ref(amp + 1, static_cast<size_t>(semi - amp - 1));
            if (ref == "lt") out += '<';
            else if (ref == "gt") out += '>';
            else if (ref == "amp") out += '&';
            else if (ref == "quot") out += '"';
            else if (ref == "apos") out += '\'';
            else if (ref.size() >= 2 && ref[0] == '#') {
                bool hex = ref[1] == 'x' || ref[1] == 'X';
                const char* digits = ref.data() + (hex ? 2 : 1);
                const char* stop = ref.data() + ref.size();
                unsigned long cp = 0;
                auto r = std::from_chars(digits, stop, cp, hex ? 16 : 10);
                done = digits < stop && r.ec == std::errc() && r.ptr == stop && cp > 0;
                if (done) xml_append_char(out, cp);
            } else {
                done = false;
            }
        }
        if (!done) {
            out += '&';
            p = amp + 1;
            continue;
        }
        p = semi + 1;
    }
}
