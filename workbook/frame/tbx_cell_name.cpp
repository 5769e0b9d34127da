// Cell names in A1 notation.
#include "tbx_cell_name.h"

#include <charconv>

int tbx_parse_cell_name(const char* name, int* row, int* column) {
    if (!name) return -3;
    const char* p = name;
    if (*p == '$') ++p;
    int col = 0, letters = 0;
    for (;;) {
        char c = *p;
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
        if (c < 'A' || c > 'Z') break;
        if (++letters > 3) return -3;
        col = col * 26 + (c - 'A' + 1);
        ++p;
    }
    if (letters == 0) return -3;
    if (*p == '$') ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = (*p++ == '-');
    long value = 0;
    int digits = 0, points = 0;
    bool fraction = false;
    for (; *p; ++p) {
        if (*p == '.') {
            if (++points > 1) return -3;
            fraction = true;
        } else if (*p >= '0' && *p <= '9') {
            ++digits;
            if (!fraction && value <= TBX_MAX_ROWS) value = value * 10 + (*p - '0');
        } else {
            return -3;
        }
    }
    if (digits == 0) return -3;
    if (negative) value = -value;
    if (value < 1 || value > TBX_MAX_ROWS || col < 1 || col > TBX_MAX_COLUMNS) return -3;
    *row = static_cast<int>(value - 1);
    *column = col - 1;
    return 0;
}

int tbx_format_cell_name(int row, int column, char* out) {
    out[0] = '\0';
    if (row < 0 || row >= TBX_MAX_ROWS || column < 0 || column >= TBX_MAX_COLUMNS) return -3;
    char letters[4];
    int n = 0;
    for (int c = column + 1; c > 0; c = (c - 1) / 26) letters[n++] = static_cast<char>('A' + (c - 1) % 26);
    int i = 0;
    while (n > 0) out[i++] = letters[--n];
    auto r = std::to_chars(out + i, out + 11, row + 1);  // at most 7 digits
    *r.ptr = '\0';
    return 0;
}
