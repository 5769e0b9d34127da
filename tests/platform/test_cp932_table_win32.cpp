// The code page 932 table of the POSIX build against Windows' own conversion,
// for every UTF-16 unit of the basic plane and every single and double byte:
// both builds must write the same bytes.
#include <gtest/gtest.h>
#include <windows.h>

#include "cp932_table.h"

TEST(Cp932Table, EncodesEveryUnitAsWindowsDoes) {
    int differ = 0;
    for (unsigned u = 1; u < 0x10000; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF) continue;
        WCHAR w = static_cast<WCHAR>(u);
        char out[8];
        BOOL used = FALSE;
        int n = WideCharToMultiByte(932, 0, &w, 1, out, sizeof out, nullptr, &used);
        ASSERT_GT(n, 0) << std::hex << u;
        uint16_t want = used ? uint16_t(CP932_NONE)
                        : n == 1 ? static_cast<unsigned char>(out[0])
                                 : static_cast<uint16_t>(static_cast<unsigned char>(out[0]) << 8 |
                                                         static_cast<unsigned char>(out[1]));
        if (cp932_encode(static_cast<char16_t>(u)) != want && ++differ <= 10)
            ADD_FAILURE() << std::hex << "U+" << u << ": Windows " << want << ", table "
                          << cp932_encode(static_cast<char16_t>(u));
    }
    EXPECT_EQ(differ, 0);
}

TEST(Cp932Table, DecodesEveryCodeAsWindowsDoes) {
    int differ = 0;
    for (unsigned code = 1; code < 0x10000; ++code) {
        unsigned lead = code >> 8, trail = code & 0xFF;
        if (lead != 0 && (!cp932_is_lead(static_cast<unsigned char>(lead)) || trail == 0)) continue;
        char in[2] = {static_cast<char>(lead ? lead : trail), static_cast<char>(trail)};
        WCHAR w[4];
        int n = MultiByteToWideChar(932, 0, in, lead ? 2 : 1, w, 4);
        ASSERT_EQ(n, 1) << std::hex << code;
        char16_t have = lead ? cp932_decode_pair(static_cast<unsigned char>(lead), static_cast<unsigned char>(trail))
                             : cp932_decode_single(static_cast<unsigned char>(trail));
        if (have != w[0] && ++differ <= 10)
            ADD_FAILURE() << std::hex << code << ": Windows " << unsigned(w[0]) << ", table " << unsigned(have);
    }
    EXPECT_EQ(differ, 0);
}
