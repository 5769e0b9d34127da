// A small zip writer for the tests: stored or deflated members, with the
// flags, CRC and times under the test's control, so that damaged and
// unusual packages can be made without any tool.
#ifndef VERGLE_TEST_ZIP_H
#define VERGLE_TEST_ZIP_H

#include <zlib.h>

#include <cstdint>
#include <string>
#include <vector>

namespace vt {

struct zip_member {
    std::string name;
    std::string data;
    bool deflate = true;
    uint16_t flags = 0;        // bit 0: encrypted
    bool bad_crc = false;      // store a wrong CRC
    uint16_t dos_time = 0x6000;  // 12:00:00
    uint16_t dos_date = 0x5821;  // 2024-01-01
};

inline void zip_put16(std::string& s, uint32_t v) {
    s += static_cast<char>(v & 0xFF);
    s += static_cast<char>((v >> 8) & 0xFF);
}
inline void zip_put32(std::string& s, uint32_t v) {
    zip_put16(s, v & 0xFFFF);
    zip_put16(s, v >> 16);
}

inline std::string zip_raw_deflate(const std::string& in) {
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&z, in.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(in.data()));
    z.avail_in = static_cast<uInt>(in.size());
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    deflate(&z, Z_FINISH);
    out.resize(z.total_out);
    deflateEnd(&z);
    return out;
}

// The bytes of a zip package holding the members in this order.
inline std::string make_zip(const std::vector<zip_member>& members) {
    std::string out, central;
    for (const zip_member& m : members) {
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(m.data.data()),
                                                   static_cast<uInt>(m.data.size())));
        if (m.bad_crc) crc ^= 0x5A5A5A5A;
        std::string body = m.deflate ? zip_raw_deflate(m.data) : m.data;
        uint16_t method = m.deflate ? 8 : 0;
        uint32_t offset = static_cast<uint32_t>(out.size());
        std::string common;
        zip_put16(common, 20);  // version needed
        zip_put16(common, m.flags);
        zip_put16(common, method);
        zip_put16(common, m.dos_time);
        zip_put16(common, m.dos_date);
        zip_put32(common, crc);
        zip_put32(common, static_cast<uint32_t>(body.size()));
        zip_put32(common, static_cast<uint32_t>(m.data.size()));
        zip_put16(common, static_cast<uint32_t>(m.name.size()));
        zip_put16(common, 0);  // extra length
        zip_put32(out, 0x04034b50);
        out += common + m.name + body;
        zip_put32(central, 0x02014b50);
        zip_put16(central, 20);  // version made by
        central += common;
        zip_put16(central, 0);  // comment length
        zip_put16(central, 0);  // disk number
        zip_put16(central, 0);  // internal attributes
        zip_put32(central, 0);  // external attributes
        zip_put32(central, offset);
        central += m.name;
    }
    uint32_t cd_offset = static_cast<uint32_t>(out.size());
    out += central;
    zip_put32(out, 0x06054b50);
    zip_put16(out, 0);
    zip_put16(out, 0);
    zip_put16(out, static_cast<uint32_t>(members.size()));
    zip_put16(out, static_cast<uint32_t>(members.size()));
    zip_put32(out, static_cast<uint32_t>(central.size()));
    zip_put32(out, cd_offset);
    zip_put16(out, 0);
    return out;
}

}  // namespace vt

#endif
