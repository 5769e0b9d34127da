// xml_escape in its three modes and fold_crlf, on a buffer with exactly the
// room the interface promises (seven bytes per input byte and a terminator).
#include <cstdint>
#include <cstring>
#include <vector>

#include "xml_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 200000) return 0;
    const int mode = data[0] % 3;
    const size_t n = size - 1;
    std::vector<char> buf(n * 7 + 1);
    std::memcpy(buf.data(), data + 1, n);
    buf[n] = '\0';
    int length = static_cast<int>(n);
    xml_escape(mode, buf.data(), &length);
    std::vector<char> fold(data + 1, data + size);
    fold.push_back('\0');
    fold_crlf(data[0] & 4 ? 1 : 3, fold.data());
    return 0;
}
