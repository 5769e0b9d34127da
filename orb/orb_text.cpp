// Character sets, conversion between them, and the small string helpers.
#include "orb_text.h"

#include <cstdio>
#include <cstring>
#include <new>

#include "platform.h"

int orb_mb_len(int charset, unsigned char c, int* pos) {
    int n = 0;
    switch (charset) {
    case ORB_SJIS:
        if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC)) n = 1;
        break;
    case ORB_EUC:
        if ((c >= 0xA1 && c <= 0xFE) || c == 0x8E) n = 1;
        break;
    case ORB_UTF8:
        if (c >= 0xC0 && c <= 0xDF) {
            n = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            n = 2;
        } else if (c >= 0xF0 && c <= 0xF7) {
            n = 3;
        }
        break;
    case ORB_UTF16BE:
        n = (c >= 0xD8 && c <= 0xDB) ? 3 : 1;
        break;
    default: break;
    }
    if (pos) *pos += n;
    return n;
}

// ---------------------------------------------------------------------------
// Conversion

namespace {

// EUC-JP to Shift-JIS by the JIS X 0208 arithmetic.  The 0x8E prefix of a
// half-width katakana byte is dropped; other bytes are copied.
std::string euc_to_sjis(const std::string& in) {
    std::string out;
    out.reserve(in.size());
    for (size_t i = 0; i < in.size(); ++i) {
        unsigned char c1 = in[i];
        if (c1 == 0x8E && i + 1 < in.size() && (unsigned char)in[i + 1] >= 0xA1 &&
            (unsigned char)in[i + 1] <= 0xDF) {
            out.push_back(in[++i]);
            continue;
        }
        if (c1 >= 0xA1 && c1 <= 0xFE && i + 1 < in.size()) {
            unsigned char c2 = in[i + 1];
            if (c2 >= 0xA1 && c2 <= 0xFE) {
                unsigned j1 = c1 - 0x80, j2 = c2 - 0x80;
                unsigned lead, trail;
                if (j1 & 1) {
                    lead = (j1 + 1) / 2 + 0x70;
                    trail = j2 + 0x1F;
                } else {
                    lead = j1 / 2 + 0x70;
                    trail = j2 + 0x7D;
                }
                if (lead > 0x9F) lead += 0x40;
                if (trail >= 0x7F) trail += 1;
                out.push_back(static_cast<char>(lead));
                out.push_back(static_cast<char>(trail));
                ++i;
                continue;
            }
        }
        out.push_back(static_cast<char>(c1));
    }
    return out;
}

// Shift-JIS to EUC-JP: the reverse arithmetic; a half-width katakana byte
// gets an 0x8E prefix.
std::string sjis_to_euc(const std::string& in) {
    std::string out;
    out.reserve(in.size() + in.size() / 2);
    for (size_t i = 0; i < in.size(); ++i) {
        unsigned char c1 = in[i];
        if (c1 >= 0xA0 && c1 <= 0xDF) {
            out.push_back(static_cast<char>(0x8E));
            out.push_back(static_cast<char>(c1));
            continue;
        }
        bool lead = (c1 >= 0x81 && c1 <= 0x9F) || (c1 >= 0xE0 && c1 <= 0xEF);
        if (lead && i + 1 < in.size()) {
            unsigned char c2 = in[i + 1];
            if (c2 >= 0x40 && c2 <= 0xFC && c2 != 0x7F) {
                unsigned l = c1 >= 0xE0 ? c1 - 0x40 : c1;
                unsigned t = c2 >= 0x80 ? c2 - 1 : c2;
                unsigned j1, j2;
                if (t >= 0x9E) {
                    j1 = (l - 0x70) * 2;
                    j2 = t - 0x7D;
                } else {
                    j1 = (l - 0x70) * 2 - 1;
                    j2 = t - 0x1F;
                }
                out.push_back(static_cast<char>(j1 + 0x80));
                out.push_back(static_cast<char>(j2 + 0x80));
                ++i;
                continue;
            }
        }
        out.push_back(static_cast<char>(c1));
    }
    return out;
}

bool sjis_to_utf8(const std::string& in, std::string& out) {
    std::u16string w;
    return plat_cp932_to_utf16(in.data(), in.size(), w) && plat_utf16_to_utf8(w.data(), w.size(), out);
}

// In one pass, the same bytes as through UTF-16.
bool utf8_to_sjis(const std::string& in, std::string& out) {
    out.resize(in.size() * 2);
    size_t written = 0;
    if (!plat_utf8_to_cp932(in.data(), in.size(), out.data(), &written)) return false;
    out.resize(written);
    return true;
}

std::u16string utf16be_units(const std::string& in) {
    std::u16string w;
    w.reserve(in.size() / 2);
    for (size_t i = 0; i + 1 < in.size(); i += 2) {
        w.push_back(static_cast<char16_t>(((unsigned char)in[i] << 8) | (unsigned char)in[i + 1]));
    }
    return w;
}

bool is_ascii(const std::string& s) {
    for (unsigned char c : s) {
        if (c >= 0x80) return false;
    }
    return true;
}

}  // namespace

int orb_convert_string(int from, int to, std::string& text) {
    if (from == to) return 0;
    try {
        std::string out;
        bool ok = true;
        // ASCII text is the same in every set but UTF-16.
        if (from != ORB_UTF16BE && is_ascii(text)) return 0;
        switch (from * 10 + to) {
        case 21: out = euc_to_sjis(text); break;
        case 31: ok = utf8_to_sjis(text, out); break;
        case 41: {
            std::u16string w = utf16be_units(text);
            ok = plat_utf16_to_cp932(w.data(), w.size(), out);
            break;
        }
        case 12: out = sjis_to_euc(text); break;
        case 32:
            ok = utf8_to_sjis(text, out);
            out = sjis_to_euc(out);
            break;
        case 42: {
            std::u16string w = utf16be_units(text);
            ok = plat_utf16_to_cp932(w.data(), w.size(), out);
            out = sjis_to_euc(out);
            break;
        }
        case 13: ok = sjis_to_utf8(text, out); break;
        case 23: ok = sjis_to_utf8(euc_to_sjis(text), out); break;
        case 43: {
            std::u16string w = utf16be_units(text);
            ok = plat_utf16_to_utf8(w.data(), w.size(), out);
            break;
        }
        default: return 0;  // pairs not supported leave the text unchanged
        }
        if (!ok) return -2;
        text.swap(out);
        return 0;
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

int orb_convert(int from, int to, char* text, int* length, int capacity) {
    if (!text || !length || *length < 0 || *length >= capacity) return -3;
    if (from == to) {
        text[*length] = 0;
        return 0;
    }
    try {
        std::string s(text, static_cast<size_t>(*length));
        int rc = orb_convert_string(from, to, s);
        if (rc != 0) return rc;
        if (s.size() == static_cast<size_t>(*length) && std::memcmp(s.data(), text, s.size()) == 0) {
            text[*length] = 0;  // unchanged (ASCII, or a pair not converted)
            return 0;
        }
        if (s.size() + 1 > static_cast<size_t>(capacity)) return -9;
        std::memcpy(text, s.data(), s.size());
        // The freed tail is zero-filled, as far as the source reached.
        size_t end = static_cast<size_t>(*length) > s.size() ? static_cast<size_t>(*length) : s.size();
        if (end + 1 > static_cast<size_t>(capacity)) end = static_cast<size_t>(capacity) - 1;
        std::memset(text + s.size(), 0, end - s.size() + 1);
        *length = static_cast<int>(s.size());
        return 0;
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

// ---------------------------------------------------------------------------
// Small helpers

uint16_t orb_read_u16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t orb_read_u32(const unsigned char* p) {
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void orb_now_text(char* buf) {
    plat_time t;
    plat_local_time(&t);
    char text[64];
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", t.year % 10000, t.month % 100, t.day % 100,
                  t.hour % 100, t.minute % 100, t.second % 100);
    std::memcpy(buf, text, 19);
    buf[19] = 0;
}

void orb_split_path(int charset, char* path, char* folder) {
    int last = -1;
    int len = static_cast<int>(std::strlen(path));
    for (int i = 0; i < len; ++i) {
        unsigned char c = path[i];
        if (c == '/' || c == '\\') {
            last = i;
            continue;
        }
        orb_mb_len(charset, c, &i);
    }
    if (last < 0) {
        folder[0] = 0;
        return;
    }
    std::memcpy(folder, path, last);
    folder[last] = 0;
    std::memmove(path, path + last + 1, len - last);
}

void orb_trim(char* text) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n'; };
    size_t len = std::strlen(text);
    size_t start = 0;
    while (start < len && blank(text[start])) ++start;
    while (len > start && blank(text[len - 1])) --len;
    std::memmove(text, text + start, len - start);
    text[len - start] = 0;
}

namespace {
void unquote_with(char* text, char q) {
    size_t len = std::strlen(text);
    if (len >= 2 && text[0] == q && text[len - 1] == q) {
        std::memmove(text, text + 1, len - 2);
        text[len - 2] = 0;
    }
}
}  // namespace

void orb_unquote(char* text) { unquote_with(text, '"'); }
void orb_unquote1(char* text) { unquote_with(text, '\''); }

void orb_trim_number(char* text) {
    if (!*text) {
        std::strcpy(text, "0");
        return;
    }
    char* p = text;
    if (*p == '-') ++p;
    // Leading zeros go, unless a "." follows the zero.
    char* q = p;
    while (*q == '0' && q[1] != '.' && q[1] != 0) ++q;
    if (q != p) std::memmove(p, q, std::strlen(q) + 1);
    // Trailing zeros of the fraction go, one digit staying after the ".".
    char* dot = std::strchr(p, '.');
    if (dot) {
        size_t len = std::strlen(dot);
        while (len > 2 && dot[len - 1] == '0') dot[--len] = 0;
    }
}

int orb_is_number(const char* text) {
    for (; *text; ++text) {
        char c = *text;
        if (!((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.')) return -1;
    }
    return 0;
}

int orb_is_number_or_quoted(const char* text) {
    size_t len = std::strlen(text);
    if (len >= 2 && text[0] == '\'' && text[len - 1] == '\'') return 0;
    return orb_is_number(text);
}

int orb_is_hex(const char* text) {
    for (; *text; ++text) {
        char c = *text;
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'))) return -1;
    }
    return 0;
}

int orb_skip_quoted(int charset, const char* text, int* pos) {
    int i = *pos;
    if (text[i] != '\'') return 0;
    for (++i; text[i]; ++i) {
        unsigned char c = text[i];
        if (c == '\'') {
            if (text[i + 1] == '\'') {  // a doubled quote stays inside the run
                ++i;
                continue;
            }
            *pos = i + 1;
            return 0;
        }
        int n = orb_mb_len(charset, c);
        for (int k = 0; k < n && text[i + 1]; ++k) ++i;
    }
    return -1;
}

int orb_skip_dquoted(int charset, const char* text, int* pos) {
    int i = *pos;
    if (text[i] != '"') return 0;
    for (++i; text[i]; ++i) {
        unsigned char c = text[i];
        if (c == '"') {
            *pos = i + 1;
            return 0;
        }
        int n = orb_mb_len(charset, c);
        for (int k = 0; k < n && text[i + 1]; ++k) ++i;
    }
    return -1;
}

int orb_upper_outside_quotes(int charset, char* text) {
    for (int i = 0; text[i];) {
        char c = text[i];
        if (c == '\'' || c == '"') {
            int rc = c == '\'' ? orb_skip_quoted(charset, text, &i) : orb_skip_dquoted(charset, text, &i);
            if (rc != 0) return -1;
            continue;
        }
        if (c >= 'a' && c <= 'z') text[i] = static_cast<char>(c - 'a' + 'A');
        int n = orb_mb_len(charset, static_cast<unsigned char>(c));
        ++i;
        for (int k = 0; k < n && text[i]; ++k) ++i;
    }
    return 0;
}

namespace {

// prefix, up to 8 digits, ".", an extension of up to 8 characters.
struct split_name {
    std::string prefix, ext;
    long number = 0;
    bool ok = false;
};

split_name split_numbered(const char* s) {
    split_name r;
    const char* dot = std::strrchr(s, '.');
    if (!dot || std::strlen(dot + 1) > 8) return r;
    const char* d = dot;
    while (d > s && d[-1] >= '0' && d[-1] <= '9') --d;
    size_t digits = static_cast<size_t>(dot - d);
    if (digits == 0 || digits > 8) return r;
    r.prefix.assign(s, d);
    r.ext = dot + 1;
    r.number = std::strtol(std::string(d, dot).c_str(), nullptr, 10);
    r.ok = true;
    return r;
}

}  // namespace

int orb_name_order(const char* a, const char* b) {
    split_name x = split_numbered(a), y = split_numbered(b);
    if (x.ok && y.ok && x.prefix == y.prefix && x.ext == y.ext) {
        return x.number > y.number ? 1 : x.number < y.number ? -1 : 0;
    }
    int c = std::strcmp(a, b);
    return c > 0 ? 1 : c < 0 ? -1 : 0;
}
