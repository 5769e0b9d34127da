#include "hostile_support.h"

#include <zlib.h>

#include <cstring>

#include "mfile.h"

namespace ht {

void put16(std::string& s, unsigned v) {
    s.push_back(static_cast<char>(v & 0xFF));
    s.push_back(static_cast<char>((v >> 8) & 0xFF));
}
void put32(std::string& s, uint32_t v) {
    put16(s, v & 0xFFFF);
    put16(s, v >> 16);
}

void zip_writer::emit(const std::string& s) {
    out_(s.data(), s.size());
    offset_ += s.size();
}

void zip_writer::header(const std::string& name, uint16_t method, uint32_t crc, uint32_t csize, uint32_t usize) {
    entries_.push_back({name, crc, csize, usize, static_cast<uint32_t>(offset_), method});
    std::string h("PK\x03\x04", 4);
    put16(h, 20);
    put16(h, 0);
    put16(h, method);
    put16(h, 0);
    put16(h, 0x21);
    put32(h, crc);
    put32(h, csize);
    put32(h, usize);
    put16(h, static_cast<unsigned>(name.size()));
    put16(h, 0);
    h += name;
    emit(h);
}

void zip_writer::stored(const std::string& name, const std::string& data, uint64_t declared, uint32_t crc_xor) {
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()),
                                               static_cast<uInt>(data.size()))) ^ crc_xor;
    uint32_t usize = declared == ~uint64_t{0} ? static_cast<uint32_t>(data.size()) : static_cast<uint32_t>(declared);
    header(name, 0, crc, static_cast<uint32_t>(data.size()), usize);
    emit(data);
}

void zip_writer::zeros(const std::string& name, uint64_t count, uint64_t declared) {
    // Two passes: the sizes and the CRC must precede the data (no data
    // descriptor), so the deflate runs once to measure and once to write.
    // Both stream in pieces.
    static const std::string piece(1 << 16, '\0');
    uint32_t crc = 0;
    uint64_t csize = 0;
    for (int pass = 0; pass < 2; ++pass) {
        z_stream zs{};
        deflateInit2(&zs, 9, Z_DEFLATED, -15, 9, Z_DEFAULT_STRATEGY);
        if (pass == 1) {
            uint32_t usize = declared == ~uint64_t{0} ? static_cast<uint32_t>(count) : static_cast<uint32_t>(declared);
            header(name, 8, crc, static_cast<uint32_t>(csize), usize);
        }
        uint64_t left = count;
        std::string outbuf(1 << 16, '\0');
        if (pass == 0) crc = static_cast<uint32_t>(crc32(0, nullptr, 0));
        for (;;) {
            uInt take = static_cast<uInt>(left < piece.size() ? left : piece.size());
            if (pass == 0)
                crc = static_cast<uint32_t>(crc32(crc, reinterpret_cast<const Bytef*>(piece.data()), take));
            zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
            zs.avail_in = take;
            left -= take;
            int flush = left == 0 ? Z_FINISH : Z_NO_FLUSH;
            int rc;
            do {
                zs.next_out = reinterpret_cast<Bytef*>(&outbuf[0]);
                zs.avail_out = static_cast<uInt>(outbuf.size());
                rc = deflate(&zs, flush);
                size_t got = outbuf.size() - zs.avail_out;
                if (pass == 0) csize += got;
                else emit(outbuf.substr(0, got));
            } while (zs.avail_out == 0 || (flush == Z_FINISH && rc != Z_STREAM_END));
            if (flush == Z_FINISH) break;
        }
        deflateEnd(&zs);
    }
}

void zip_writer::claims(const std::string& name, uint32_t declared) {
    // A few deflated zeros; the sizes say `declared`.
    std::string data(1024, '\0');
    uLongf n = compressBound(1024);
    std::string comp(n, '\0');
    compress2(reinterpret_cast<Bytef*>(&comp[0]), &n, reinterpret_cast<const Bytef*>(data.data()), 1024, 9);
    // Raw deflate: drop the zlib header (2 bytes) and trailer (4 bytes).
    std::string raw = comp.substr(2, n - 6);
    uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(data.data()), 1024));
    header(name, 8, crc, static_cast<uint32_t>(raw.size()), declared);
    emit(raw);
}

void zip_writer::finish(int entries_declared, int32_t dir_shift) {
    uint64_t dir_start = offset_;
    std::string d;
    for (const entry& e : entries_) {
        d += std::string("PK\x01\x02", 4);
        put16(d, 20);
        put16(d, 20);
        put16(d, 0);
        put16(d, e.method);
        put16(d, 0);
        put16(d, 0x21);
        put32(d, e.crc);
        put32(d, e.csize);
        put32(d, e.usize);
        put16(d, static_cast<unsigned>(e.name.size()));
        put16(d, 0);
        put16(d, 0);
        put16(d, 0);
        put16(d, 0);
        put32(d, 0);
        put32(d, e.offset);
        d += e.name;
    }
    unsigned n = entries_declared < 0 ? static_cast<unsigned>(entries_.size()) : static_cast<unsigned>(entries_declared);
    std::string end("PK\x05\x06", 4);
    put16(end, 0);
    put16(end, 0);
    put16(end, n);
    put16(end, n);
    put32(end, static_cast<uint32_t>(d.size()));
    put32(end, static_cast<uint32_t>(dir_start + dir_shift));
    put16(end, 0);
    emit(d + end);
}

std::string zip_bytes(const std::function<void(zip_writer&)>& build) {
    std::string out;
    zip_writer z([&](const char* p, size_t n) { out.append(p, n); });
    build(z);
    return out;
}

void workbook_members(zip_writer& z, const std::string& sheet_xml, const std::string& sheet_names_xml,
                      const std::string& shared_strings) {
    z.stored("[Content_Types].xml", "<Types/>");
    z.stored("xl/workbook.xml",
             "<workbook xmlns:r=\"r\"><sheets>" + sheet_names_xml + "</sheets></workbook>");
    std::string rels = "<Relationships>";
    for (int i = 1; i <= 8; ++i) {
        rels += "<Relationship Id=\"rId" + std::to_string(i) +
                "\" Type=\"worksheet\" Target=\"worksheets/sheet" + std::to_string(i) + ".xml\"/>";
    }
    z.stored("xl/_rels/workbook.xml.rels", rels + "</Relationships>");
    if (!shared_strings.empty()) z.stored("xl/sharedStrings.xml", shared_strings);
    z.stored("xl/worksheets/sheet1.xml", sheet_xml);
}

std::string compound_workbook(const std::string& stream_in) {
    std::string stream = stream_in;
    if (stream.size() < 4096) stream.resize(4096, '\0');
    stream.resize((stream.size() + 511) / 512 * 512, '\0');
    uint32_t n = static_cast<uint32_t>(stream.size() / 512);
    std::string h("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    h += std::string(16, '\0');
    put16(h, 0x3E);
    put16(h, 3);
    put16(h, 0xFFFE);
    put16(h, 9);
    put16(h, 6);
    h += std::string(6, '\0');
    put32(h, 0);           // directory sectors
    put32(h, 1);           // FAT sectors
    put32(h, 1);           // first directory sector
    put32(h, 0);
    put32(h, 4096);        // mini cutoff
    put32(h, 0xFFFFFFFE);  // no mini FAT
    put32(h, 0);
    put32(h, 0xFFFFFFFE);  // no DIFAT chain
    put32(h, 0);
    put32(h, 0);  // FAT sector 0
    for (int i = 1; i < 109; ++i) put32(h, 0xFFFFFFFF);
    std::string fat;
    put32(fat, 0xFFFFFFFD);
    put32(fat, 0xFFFFFFFE);
    for (uint32_t i = 0; i < n; ++i) put32(fat, i + 1 < n ? 3 + i : 0xFFFFFFFE);
    while (fat.size() < 512) put32(fat, 0xFFFFFFFF);
    auto entry = [](const std::u16string& name, int type, uint32_t child, uint32_t start, uint32_t size) {
        std::string e;
        for (char16_t c : name) put16(e, c);
        put16(e, 0);
        e.resize(64, '\0');
        put16(e, static_cast<unsigned>((name.size() + 1) * 2));
        e.push_back(static_cast<char>(type));
        e.push_back(1);
        put32(e, 0xFFFFFFFF);
        put32(e, 0xFFFFFFFF);
        put32(e, child);
        e += std::string(36, '\0');
        put32(e, start);
        put32(e, size);
        put32(e, 0);
        return e;
    };
    std::string dir = entry(u"Root Entry", 5, 1, 0xFFFFFFFE, 0) +
                      entry(u"Workbook", 2, 0xFFFFFFFF, 2, static_cast<uint32_t>(stream.size()));
    dir.resize(512, '\0');
    return h + fat + dir + stream;
}

std::string record(uint16_t type, const std::string& data) {
    std::string r;
    put16(r, type);
    put16(r, static_cast<unsigned>(data.size()));
    return r + data;
}

std::string biff_workbook(const std::string& global_records, const std::string& sheet_records) {
    auto bof = [](unsigned kind) {
        std::string d;
        put16(d, 0x0600);
        put16(d, kind);
        put32(d, 0);
        put32(d, 0);
        put32(d, 0);
        return record(0x0809, d);
    };
    std::string xf;
    put16(xf, 0);
    put16(xf, 0);
    put16(xf, 1);
    xf += std::string(14, '\0');
    std::string globals = bof(5) + record(0x00E0, xf) + global_records;
    std::string name = "Sheet1";
    std::string bs;
    uint32_t at = static_cast<uint32_t>(globals.size() + 4 + 8 + name.size() + 4);
    put32(bs, at);
    bs.push_back(0);
    bs.push_back(0);
    bs.push_back(static_cast<char>(name.size()));
    bs.push_back(0);
    bs += name;
    globals += record(0x0085, bs) + record(0x000A, "");
    return globals + bof(0x10) + sheet_records + record(0x000A, "");
}

void put_memory_file(const char* name, const std::string& bytes, size_t size) {
    Mfile* f = mopen(name, "wb");
    if (!f) return;
    mwrite(bytes.data(), size == std::string::npos ? bytes.size() : size, 1, f);
    mclose(f);
}

}  // namespace ht
