// Names of columns and cells, the header row, and text made safe to show.
#include <cstdio>
#include <cstring>

#include "align.h"
#include "internal.h"

namespace align {

std::string column_name(long column) {
    std::string name;
    for (long c = column + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
    return name;
}

std::string cell_name(long column, long row_number) { return column_name(column) + std::to_string(row_number); }

namespace {

// A cell that reads as a number, a date or an amount: a digit, and nothing
// but digits, blanks and the signs that go with numbers.
bool numeric(std::string_view cell) {
    bool digit = false;
    for (char c : cell) {
        if (c >= '0' && c <= '9') {
            digit = true;
        } else if (!std::strchr(" ,.-+/:%$()", c) || c == 0) {
            return false;
        }
    }
    return digit;
}

}  // namespace

long header_row(const grid& g) {
    for (size_t r = 0; r < g.rows() && r < 10; ++r) {
        if (g.is_border(r)) continue;
        size_t filled = 0;
        bool number = false;
        for (size_t c = 0; c < g.width(r); ++c) {
            std::string_view cell = g.cell(r, c);
            if (cell.empty()) continue;
            ++filled;
            number = number || numeric(cell);
        }
        if (filled >= 2 && !number) return static_cast<long>(r);
    }
    return -1;
}

std::string visible(std::string_view text, bool keep_tabs) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c < 0x80) {
            if ((c < 0x20 && !(c == '\t' && keep_tabs)) || c == 0x7F) {
                out += '^';
                out += c == 0x7F ? '?' : static_cast<char>(c + 0x40);
            } else {
                out += static_cast<char>(c);
            }
            ++i;
            continue;
        }
        size_t len;
        uint32_t cp = detail::decode(text, i, len);
        char buf[16];
        if (cp == 0xFFFFFFFF) {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        } else if ((cp >= 0x80 && cp <= 0x9F) || (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2066 && cp <= 0x2069) ||
                   cp == 0x200E || cp == 0x200F || cp == 0x061C || cp == 0x2028 || cp == 0x2029) {
            std::snprintf(buf, sizeof buf, "<U+%04X>", static_cast<unsigned>(cp));
            out += buf;
        } else {
            out.append(text.substr(i, len));
        }
        i += len;
    }
    return out;
}

}  // namespace align
