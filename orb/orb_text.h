// Character sets, conversion between them, and the small string helpers
// shared by the readers, the access functions and the front end.
//
// Workbook text lives in UTF-8 inside the library and is exchanged with a
// caller in the caller's character set.  Every character-aware scan uses the
// lead-byte rule of orb_mb_len, so that a trail byte is never taken for a
// quote, a blank or a path separator.
#ifndef ORB_TEXT_H
#define ORB_TEXT_H

#include <cstdint>
#include <string>

// Character-set codes.
enum {
    ORB_SJIS = 1,     // Windows code page 932 (the system ANSI code page); default
    ORB_EUC = 2,      // EUC-JP
    ORB_UTF8 = 3,     // UTF-8
    ORB_UTF16BE = 4,  // UTF-16 big-endian; a source encoding only
};

// Buffer size that callers use for one cell's text.
enum { ORB_CELL_TEXT_BUF = 98302 };

// The number of trail bytes of the character that the byte starts, under the
// lead-byte rule of the character set; *pos (when not null) is advanced by it.
int orb_mb_len(int charset, unsigned char c, int* pos = nullptr);

// Converts text in its own buffer from one character set to another.
// *length is the source length in bytes on entry and the result length
// (without the terminator) on return; the result is zero-terminated.
// capacity is the size of the buffer in bytes (terminator included).
// Returns 0; -2 when working memory cannot be had; -9 when the result and
// its terminator would not fit in capacity.  On failure the text is left as
// it was.  Equal sets, and pairs not supported, leave the text unchanged.
int orb_convert(int from, int to, char* text, int* length, int capacity);

// The same conversion on a string; 0 or -2.
int orb_convert_string(int from, int to, std::string& text);

// Little-endian readers over at least 2 or 4 bytes.
uint16_t orb_read_u16(const unsigned char* p);
uint32_t orb_read_u32(const unsigned char* p);

// The local date and time as "%04d/%02d/%02d %02d:%02d:%02d" (buffer of at
// least 20 bytes).
void orb_now_text(char* buf);

// Splits a path at its last '/' or '\\' (trail bytes skipped by the lead-byte
// rule of the character set): the part before goes into folder (at least
// strlen(path) + 1 bytes), the part after stays in path.  Without a
// separator, folder is empty and path unchanged.
void orb_split_path(int charset, char* path, char* folder);

// Removes spaces, tabs and line feeds at both ends (carriage returns stay).
void orb_trim(char* text);

// Removes enclosing double (orb_unquote) or single (orb_unquote1) quotes when
// the text both begins and ends with one.
void orb_unquote(char* text);
void orb_unquote1(char* text);

// Tidies a decimal number text: leading zeros (kept before "."), trailing
// zeros of the fraction (one digit kept), "" becomes "0".  The text never
// grows beyond two bytes ("0").
void orb_trim_number(char* text);

// 0 when every character is a digit, '+', '-' or '.' (empty: 0); else -1.
int orb_is_number(const char* text);
// As orb_is_number, and also 0 for a text of at least two characters
// enclosed in single quotes.
int orb_is_number_or_quoted(const char* text);
// 0 when every character is a hexadecimal digit; else -1.
int orb_is_hex(const char* text);

// When text[*pos] is a single quote, advances *pos past the closing quote (a
// doubled quote inside is part of the run).  0, or -1 when no closing quote
// follows.  orb_skip_dquoted: the same for double quotes, without doubling.
int orb_skip_quoted(int charset, const char* text, int* pos);
int orb_skip_dquoted(int charset, const char* text, int* pos);

// Upper-cases a-z outside quoted runs and outside trail bytes.  0, or -1 when
// a quote is not closed (the text is then upper-cased up to that quote).
int orb_upper_outside_quotes(int charset, char* text);

// Ordering of package member names: "sheet2.xml" before "sheet10.xml".
// Returns 1, 0 or -1 like strcmp's sign.
int orb_name_order(const char* a, const char* b);

#endif
