// UTF-8 and UTF-16: the same arithmetic on every platform.
#include "platform.h"

bool plat_utf8_to_utf16(const char* src, size_t n, std::u16string& out) {
    out.clear();
    try {
        out.reserve(n);
        const unsigned char* s = reinterpret_cast<const unsigned char*>(src);
        size_t i = 0;
        while (i < n) {
            uint32_t cp = plat_utf8_decode(s, n, i);
            if (cp >= 0x10000) {
                cp -= 0x10000;
                out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
                out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
            } else {
                out.push_back(static_cast<char16_t>(cp));
            }
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}

void plat_append_utf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

bool plat_utf16_to_utf8(const char16_t* src, size_t n, std::string& out) {
    out.clear();
    try {
        out.reserve(n * 3);
        for (size_t i = 0; i < n; ++i) {
            unsigned cp = src[i];
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < n && src[i + 1] >= 0xDC00 && src[i + 1] <= 0xDFFF) {
                cp = 0x10000 + ((cp - 0xD800) << 10) + (src[i + 1] - 0xDC00);
                ++i;
            } else if (cp >= 0xD800 && cp <= 0xDFFF) {
                cp = 0xFFFD;
            }
            plat_append_utf8(out, cp);
        }
    } catch (const std::bad_alloc&) {
        return false;
    }
    return true;
}
