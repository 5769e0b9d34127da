// Text conversions of the record reader (see biff_text.h).
#include "biff_text.h"

#include <new>

#include "platform.h"

namespace xls {

namespace {

// Windows-1252 at 0x80..0x9F; the rest of the upper half is Latin-1.  Unused
// positions map to themselves, as Windows does.
const char16_t kCp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

// Mac Roman, 0x80..0xFF.
const char16_t kMacRomanHigh[128] = {
    0x00C4, 0x00C5, 0x00C7, 0x00C9, 0x00D1, 0x00D6, 0x00DC, 0x00E1, 0x00E0, 0x00E2, 0x00E4, 0x00E3,
    0x00E5, 0x00E7, 0x00E9, 0x00E8, 0x00EA, 0x00EB, 0x00ED, 0x00EC, 0x00EE, 0x00EF, 0x00F1, 0x00F3,
    0x00F2, 0x00F4, 0x00F6, 0x00F5, 0x00FA, 0x00F9, 0x00FB, 0x00FC, 0x2020, 0x00B0, 0x00A2, 0x00A3,
    0x00A7, 0x2022, 0x00B6, 0x00DF, 0x00AE, 0x00A9, 0x2122, 0x00B4, 0x00A8, 0x2260, 0x00C6, 0x00D8,
    0x221E, 0x00B1, 0x2264, 0x2265, 0x00A5, 0x00B5, 0x2202, 0x2211, 0x220F, 0x03C0, 0x222B, 0x00AA,
    0x00BA, 0x03A9, 0x00E6, 0x00F8, 0x00BF, 0x00A1, 0x00AC, 0x221A, 0x0192, 0x2248, 0x2206, 0x00AB,
    0x00BB, 0x2026, 0x00A0, 0x00C0, 0x00C3, 0x00D5, 0x0152, 0x0153, 0x2013, 0x2014, 0x201C, 0x201D,
    0x2018, 0x2019, 0x00F7, 0x25CA, 0x00FF, 0x0178, 0x2044, 0x20AC, 0x2039, 0x203A, 0xFB01, 0xFB02,
    0x2021, 0x00B7, 0x201A, 0x201E, 0x2030, 0x00C2, 0x00CA, 0x00C1, 0x00CB, 0x00C8, 0x00CD, 0x00CE,
    0x00CF, 0x00CC, 0x00D3, 0x00D4, 0xF8FF, 0x00D2, 0x00DA, 0x00DB, 0x00D9, 0x0131, 0x02C6, 0x02DC,
    0x00AF, 0x02D8, 0x02D9, 0x02DA, 0x00B8, 0x02DD, 0x02DB, 0x02C7};

bool single_byte(int codepage) {
    return codepage == CP_WINDOWS_1252 || codepage == 367 || codepage == 1200 ||
           codepage == CP_MAC_ROMAN;
}

}  // namespace

bool utf16_to_utf8(const std::u16string& s, std::string& out) {
    return plat_utf16_to_utf8(s.data(), s.size(), out);
}

bool utf16le_to_utf8(const unsigned char* p, size_t n, std::string& out) {
    try {
        std::u16string w(n, u'\0');
        for (size_t i = 0; i < n; ++i) w[i] = static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8));
        return utf16_to_utf8(w, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool latin1_to_utf8(const unsigned char* p, size_t n, std::string& out) {
    try {
        out.clear();
        out.reserve(n);
        for (size_t i = 0; i < n; ++i) {
            unsigned c = p[i];
            if (c < 0x80) {
                out.push_back(static_cast<char>(c));
            } else {
                out.push_back(static_cast<char>(0xC0 | (c >> 6)));
                out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
            }
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool codepage_to_utf16(int codepage, const unsigned char* p, size_t n, std::u16string& out) {
    if (!single_byte(codepage)) return plat_cp932_to_utf16(reinterpret_cast<const char*>(p), n, out);
    try {
        out.assign(n, u'\0');
        for (size_t i = 0; i < n; ++i) {
            unsigned c = p[i];
            if (c < 0x80)
                out[i] = static_cast<char16_t>(c);
            else if (codepage == CP_MAC_ROMAN)
                out[i] = kMacRomanHigh[c - 0x80];
            else
                out[i] = c < 0xA0 ? kCp1252High[c - 0x80] : static_cast<char16_t>(c);
        }
        return true;
    } catch (const std::bad_alloc&) {
        return false;
    }
}

bool codepage_to_utf8(int codepage, const unsigned char* p, size_t n, std::string& out) {
    std::u16string w;
    return codepage_to_utf16(codepage, p, n, w) && utf16_to_utf8(w, out);
}

}  // namespace xls
