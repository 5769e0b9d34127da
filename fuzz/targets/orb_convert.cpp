// orb_convert for every pair of character sets, with a capacity that the
// input chooses: from the exact size of the text up to four times it.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "orb_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2 || size > 100000) return 0;
    const int from = 1 + data[0] % 4, to = 1 + (data[0] / 4) % 4;
    const size_t n = size - 2;
    const size_t capacity = n + 1 + (static_cast<size_t>(data[1]) * (n + 1) * 3) / 255;
    std::vector<char> buf(capacity);
    std::memcpy(buf.data(), data + 2, n);
    buf[n] = '\0';
    int length = static_cast<int>(n);
    orb_convert(from, to, buf.data(), &length, static_cast<int>(capacity));
    std::string s(reinterpret_cast<const char*>(data + 2), n);
    orb_convert_string(from, to, s);
    for (size_t i = 0; i < n; ++i) orb_mb_len(from, data[2 + i]);
    return 0;
}
