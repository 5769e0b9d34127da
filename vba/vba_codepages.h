// The single-byte Windows code pages a VBA project may be written in: 874
// (Thai) and 1250 to 1258 (Central European, Cyrillic, Western, Greek,
// Turkish, Hebrew, Arabic, Baltic, Vietnamese).
#ifndef VERGLE_VBA_CODEPAGES_H
#define VERGLE_VBA_CODEPAGES_H

namespace vba {

// The characters of bytes 0x80-0xFF of a code page (128 entries), or null
// for a code page that is not a single-byte Windows one.
const char16_t* single_byte_page(int codepage);

}  // namespace vba

#endif
