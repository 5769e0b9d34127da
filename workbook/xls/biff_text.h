// Text conversions of the record reader.  Every text stored in the book is
// UTF-8; the workbook holds UTF-16LE, "compressed" 8-bit characters (the low
// bytes of UTF-16 code units, i.e. Latin-1), or, in the 5.0/95 layout, 8-bit
// text in the workbook's code page (its CODEPAGE record).
#ifndef VERGLE_XLS_BIFF_TEXT_H
#define VERGLE_XLS_BIFF_TEXT_H

#include <cstddef>
#include <string>

namespace xls {

// Code pages met in 5.0/95 workbooks.
enum { CP_SHIFT_JIS = 932, CP_WINDOWS_1252 = 1252, CP_MAC_ROMAN = 10000 };

// n UTF-16LE code units (2n bytes) to UTF-8.  False only without memory.
bool utf16le_to_utf8(const unsigned char* p, size_t n, std::string& out);
// UTF-16 code units to UTF-8.
bool utf16_to_utf8(const std::u16string& s, std::string& out);
// n compressed characters (one byte each, a zero high byte implied) to UTF-8.
bool latin1_to_utf8(const unsigned char* p, size_t n, std::string& out);
// n bytes of 8-bit text in a code page to UTF-16: 1252 and the code pages
// that agree with it on the characters that matter (367 US-ASCII, 1200 when
// a 5.0/95 writer claims it) through the Windows-1252 table, 10000 through the
// Mac Roman table, every other code page (932 above all) as Shift-JIS.
bool codepage_to_utf16(int codepage, const unsigned char* p, size_t n, std::u16string& out);
bool codepage_to_utf8(int codepage, const unsigned char* p, size_t n, std::string& out);

}  // namespace xls

#endif
