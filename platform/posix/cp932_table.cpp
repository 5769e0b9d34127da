// Code page 932 from the generated rows: decoding reads the rows, encoding
// reads them backwards (the first code of a character wins) and then applies
// Windows' own choices.  Both tables are built once, on first use.
#include "cp932_table.h"

#include <mutex>

namespace {

struct tables {
    char16_t pairs[CP932_LEADS][CP932_TRAILS];
    uint16_t encode[65536];
};

int lead_index(unsigned char lead) { return lead <= 0x9F ? lead - 0x81 : lead - 0xE0 + 31; }

unsigned hex_digit(char c) { return c <= '9' ? unsigned(c - '0') : unsigned(c - 'A' + 10); }

const tables& get() {
    static tables* t = nullptr;
    static std::once_flag once;
    std::call_once(once, [] {
        static tables built;
        for (int i = 0; i < 65536; ++i) built.encode[i] = CP932_NONE;
        for (int b = 0xFF; b >= 0; --b)
            if (!cp932_is_lead(static_cast<unsigned char>(b))) built.encode[CP932_SINGLE[b]] = static_cast<uint16_t>(b);
        built.encode[0] = 0;
        // Backwards so that the first code of a character is the one kept.
        for (int li = CP932_LEADS - 1; li >= 0; --li) {
            unsigned lead = li < 31 ? 0x81 + li : 0xE0 + (li - 31);
            const char* row = CP932_ROWS[li];
            for (int ti = CP932_TRAILS - 1; ti >= 0; --ti) {
                const char* h = row + 4 * ti;
                char16_t u = static_cast<char16_t>(hex_digit(h[0]) << 12 | hex_digit(h[1]) << 8 | hex_digit(h[2]) << 4 |
                                                   hex_digit(h[3]));
                built.pairs[li][ti] = u;
                bool invalid = u == 0x30FB && !(lead == 0x81 && ti == 0x45 - 0x40);
                if (!invalid && built.encode[u] >= 0x100)  // not a single byte's character
                    built.encode[u] = static_cast<uint16_t>(lead << 8 | (0x40 + ti));
            }
        }
        for (int i = 0; i < CP932_ENCODE_EXTRA_COUNT; ++i)
            built.encode[CP932_ENCODE_EXTRA[i].unit] = CP932_ENCODE_EXTRA[i].bytes;
        t = &built;
    });
    return *t;
}

}  // namespace

char16_t cp932_decode_single(unsigned char b) { return CP932_SINGLE[b]; }

char16_t cp932_decode_pair(unsigned char lead, unsigned char trail) {
    if (!cp932_is_lead(lead) || trail < 0x40 || trail > 0xFC) return 0x30FB;
    return get().pairs[lead_index(lead)][trail - 0x40];
}

uint16_t cp932_encode(char16_t unit) { return get().encode[unit]; }

const uint16_t* cp932_encode_table() { return get().encode; }
