// Reading a number from text the same way whatever the host's locale: the
// C library's strtod reads "2.5" as 2 in a process whose LC_NUMERIC uses a
// decimal comma, and a program that loads the library may well set one.
// Every number the library reads from a workbook (cell values, condition
// values of format codes, texts of cells kept as numbers) goes through here.
#ifndef TBX_NUMBER_TEXT_H
#define TBX_NUMBER_TEXT_H

#include <cstddef>

// Reads a decimal number at the start of [p, end) as strtod does in the "C"
// locale: blanks before it, a sign, digits with a point, an exponent, or
// "inf" / "nan".  A number beyond the range of a double gives +-HUGE_VAL,
// one below it +-0.  Returns the characters read; 0 (and *value 0) when no
// number starts there.
size_t tbx_read_double(const char* p, const char* end, double* value);

// The same over a terminated text; *stop (when not null) receives where the
// number ends (text itself when none starts there).
double tbx_strtod(const char* text, const char** stop = nullptr);

#endif
