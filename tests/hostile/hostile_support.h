// Builders of hostile documents for the limit tests: zip packages written
// piece by piece (a member of many zeros is deflated as it is written, so
// the test never holds it), compound documents and legacy record streams.
#ifndef VERGLE_TESTS_HOSTILE_SUPPORT_H
#define VERGLE_TESTS_HOSTILE_SUPPORT_H

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace ht {

// Little-endian byte helpers.
void put16(std::string& s, unsigned v);
void put32(std::string& s, uint32_t v);

// A zip package written to a sink as it is built.
class zip_writer {
public:
    using sink = std::function<void(const char*, size_t)>;
    explicit zip_writer(sink out) : out_(std::move(out)) {}
    // A member stored as it is.  declared (when not ~0) replaces the
    // uncompressed size written into both headers; crc_xor spoils the CRC.
    void stored(const std::string& name, const std::string& data, uint64_t declared = ~uint64_t{0},
                uint32_t crc_xor = 0);
    // A member of `count` zero bytes, deflated piece by piece.
    void zeros(const std::string& name, uint64_t count, uint64_t declared = ~uint64_t{0});
    // A member declaring `declared` bytes whose data is a few deflated zeros.
    void claims(const std::string& name, uint32_t declared);
    // Writes the central directory; entries_declared (when not -1) replaces
    // the member count of its end record, dir_shift moves its offset.
    void finish(int entries_declared = -1, int32_t dir_shift = 0);
    uint64_t written() const { return offset_; }

private:
    struct entry {
        std::string name;
        uint32_t crc, csize, usize, offset;
        uint16_t method;
    };
    void emit(const std::string& s);
    void header(const std::string& name, uint16_t method, uint32_t crc, uint32_t csize, uint32_t usize);
    sink out_;
    uint64_t offset_ = 0;
    std::vector<entry> entries_;
};

// A whole package in memory (small packages only).
std::string zip_bytes(const std::function<void(zip_writer&)>& build);

// Puts the first size bytes (all when npos) into the memory file of that name.
void put_memory_file(const char* name, const std::string& bytes, size_t size = std::string::npos);

// The member set of a workbook with one sheet; extra members are added after.
void workbook_members(zip_writer& z, const std::string& sheet_xml, const std::string& sheet_names_xml,
                      const std::string& shared_strings = "");

// A compound document of 512-byte sectors holding one stream "Workbook"
// (padded to at least 4096 bytes so that it lies in regular sectors).  The
// layout: sector 0 the FAT, sector 1 the directory, then the stream.
std::string compound_workbook(const std::string& stream);

// A legacy record.
std::string record(uint16_t type, const std::string& data);
// A workbook stream with one sheet: globals (with the given records after
// the cell formats), then the sheet's records.
std::string biff_workbook(const std::string& global_records, const std::string& sheet_records);

}  // namespace ht

#endif
