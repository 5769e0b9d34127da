// Code page 932 exactly as Windows converts it, best-fit mappings included,
// so that the Linux build writes the same bytes as the Windows build.  The
// data (cp932_data.cpp) is generated from Windows' own conversions by
// scripts/cp932/make-table.py; the Windows test run checks these functions
// against Windows for every code.
#ifndef VERGLE_CP932_TABLE_H
#define VERGLE_CP932_TABLE_H

#include <cstdint>

enum { CP932_LEADS = 60, CP932_TRAILS = 189, CP932_NONE = 0xFFFF };

struct cp932_encoding {
    char16_t unit;
    uint16_t bytes;  // one byte when below 0x100; CP932_NONE: not encoded
};

extern const char16_t CP932_SINGLE[256];
extern const char* const CP932_ROWS[CP932_LEADS];
extern const cp932_encoding CP932_ENCODE_EXTRA[];
extern const int CP932_ENCODE_EXTRA_COUNT;

// True for the bytes that start a double-byte code (0x81-0x9F, 0xE0-0xFC).
inline bool cp932_is_lead(unsigned char b) { return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC); }

// The character of a single byte (a lead byte alone gives U+30FB).
char16_t cp932_decode_single(unsigned char b);

// The character of a lead byte and the byte after it; U+30FB for a code
// without one.
char16_t cp932_decode_pair(unsigned char lead, unsigned char trail);

// The code of a UTF-16 unit: one byte when below 0x100, else lead << 8 |
// trail; CP932_NONE when Windows writes its default character "?".
uint16_t cp932_encode(char16_t unit);

// The whole encoding table: entry u is cp932_encode(u).
const uint16_t* cp932_encode_table();

#endif
