// The compound-document reader (see cfb.h).
#include "cfb.h"

#include <algorithm>
#include <memory>
#include <new>

#include "byte_cursor.h"
#include "platform.h"

namespace xls {

namespace {

constexpr size_t kHeaderSize = 512;
constexpr size_t kSectorSize = 512;        // 2^9, the only size this reader takes
constexpr size_t kShortSectorSize = 64;    // 2^6
constexpr size_t kEntrySize = 128;
constexpr uint32_t kEntriesPerSector = kSectorSize / 4;
constexpr uint32_t kHeaderDifatEntries = 109;

// Special sector numbers.
constexpr uint32_t kMaxRegular = 0xFFFFFFFA;
constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr uint32_t kFree = 0xFFFFFFFF;
constexpr uint32_t kNoStream = 0xFFFFFFFF;

const unsigned char kSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// Entry types.
constexpr uint8_t kStream = 2;
constexpr uint8_t kRoot = 5;

char16_t fold(char16_t c) { return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - 32) : c; }

bool same_name(const std::u16string& a, const std::u16string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

std::u16string widened(const char* name) {
    std::u16string w;
    for (const char* p = name; *p; ++p) w.push_back(static_cast<unsigned char>(*p));
    return w;
}

constexpr uint8_t kStorage = 1;

}  // namespace

const char* cfb_status_text(int status) {
    switch (status) {
    case CFB_OK: return "OK";
    case CFB_NOT_COMPOUND: return "Invalid Signature";
    case CFB_BAD_BYTE_ORDER: return "Invalid Byte Order";
    case CFB_BAD_SECTOR_SIZE: return "Invalid Sector Size";
    case CFB_BAD_SHORT_SECTOR_SIZE: return "Invalid Short-sector Size";
    case CFB_CORRUPT: return "Broken Sector Chain";
    case CFB_NOT_FOUND: return "WORKBOOK";
    case CFB_NO_MEMORY: return "Out of Memory";
    }
    return "Unknown";
}

size_t compound_file::sector_bytes(uint32_t s) const {
    if (s >= sector_count_) return 0;
    size_t off = kHeaderSize + static_cast<size_t>(s) * kSectorSize;
    return std::min(kSectorSize, size_ - off);
}

int compound_file::open(const unsigned char* data, size_t size) {
    data_ = data;
    size_ = data ? size : 0;
    fat_.clear();
    minifat_.clear();
    entries_.clear();
    mini_stream_.clear();
    mini_status_ = CFB_OK;
    if (size_ < kHeaderSize || !std::equal(kSignature, kSignature + 8, data_)) return CFB_NOT_COMPOUND;

    byte_cursor h(data_, kHeaderSize);
    uint16_t byte_order = 0, sector_shift = 0, short_shift = 0;
    uint32_t fat_count = 0, first_difat = 0, difat_count = 0;
    h.seek(28);
    h.u16(byte_order);
    h.u16(sector_shift);
    h.u16(short_shift);
    if (byte_order != 0xFFFE) return CFB_BAD_BYTE_ORDER;
    if (sector_shift != 9) return CFB_BAD_SECTOR_SIZE;
    if (short_shift != 6) return CFB_BAD_SHORT_SECTOR_SIZE;
    h.seek(44);
    h.u32(fat_count);
    h.u32(first_dir_);
    h.seek(56);
    h.u32(mini_cutoff_);
    h.u32(first_minifat_);
    h.u32(minifat_count_);
    h.u32(first_difat);
    h.u32(difat_count);

    sector_count_ = static_cast<uint32_t>(
        std::min<size_t>((size_ - kHeaderSize + kSectorSize - 1) / kSectorSize, kMaxRegular));
    // Each FAT sector must be a sector of this file: a larger count is a lie.
    if (fat_count > sector_count_) return CFB_CORRUPT;

    try {
        // The FAT's own sectors: up to 109 listed in the header, the rest in
        // the DIFAT chain (127 numbers and the next DIFAT sector each).
        std::vector<uint32_t> fat_sectors;
        fat_sectors.reserve(fat_count);
        h.seek(76);
        for (uint32_t i = 0; i < kHeaderDifatEntries && fat_sectors.size() < fat_count; ++i) {
            uint32_t s = 0;
            h.u32(s);
            fat_sectors.push_back(s);
        }
        uint32_t difat = first_difat;
        uint32_t walked = 0;
        while (fat_sectors.size() < fat_count) {
            if (difat >= sector_count_ || sector_bytes(difat) < kSectorSize) return CFB_CORRUPT;
            if (++walked > sector_count_) return CFB_CORRUPT;  // a loop
            byte_cursor d(data_ + kHeaderSize + static_cast<size_t>(difat) * kSectorSize, kSectorSize);
            for (uint32_t i = 0; i < kEntriesPerSector - 1 && fat_sectors.size() < fat_count; ++i) {
                uint32_t s = 0;
                d.u32(s);
                fat_sectors.push_back(s);
            }
            d.seek(kSectorSize - 4);
            d.u32(difat);
        }
        (void)difat_count;  // the chain itself decides; the count is often wrong

        fat_.assign(static_cast<size_t>(fat_count) * kEntriesPerSector, kFree);
        for (size_t k = 0; k < fat_sectors.size(); ++k) {
            uint32_t s = fat_sectors[k];
            if (s >= sector_count_) return CFB_CORRUPT;
            size_t n = sector_bytes(s) / 4;  // a cut last sector leaves free entries
            byte_cursor c(data_ + kHeaderSize + static_cast<size_t>(s) * kSectorSize, n * 4);
            for (size_t i = 0; i < n; ++i) c.u32(fat_[k * kEntriesPerSector + i]);
        }

        int rc = read_directory();
        if (rc != CFB_OK) return rc;
        // A broken mini stream spoils only the short streams: it is reported
        // when one of them is read.
        mini_status_ = read_mini_stream();
        return mini_status_ == CFB_NO_MEMORY ? CFB_NO_MEMORY : CFB_OK;
    } catch (const std::bad_alloc&) {
        return CFB_NO_MEMORY;
    }
}

int compound_file::chain(uint32_t start, std::vector<uint32_t>& out) const {
    out.clear();
    std::vector<bool> seen(std::min<size_t>(fat_.size(), sector_count_), false);
    uint32_t s = start;
    while (s != kEndOfChain) {
        if (s >= seen.size() || seen[s]) return CFB_CORRUPT;
        seen[s] = true;
        out.push_back(s);
        s = fat_[s];
    }
    return CFB_OK;
}

int compound_file::read_directory() {
    std::vector<uint32_t> sectors;
    int rc = chain(first_dir_, sectors);
    if (rc != CFB_OK) return rc;
    if (sectors.empty()) return CFB_CORRUPT;
    entries_.reserve(sectors.size() * (kSectorSize / kEntrySize));
    for (uint32_t s : sectors) {
        size_t avail = sector_bytes(s);
        const unsigned char* base = data_ + kHeaderSize + static_cast<size_t>(s) * kSectorSize;
        for (size_t off = 0; off + kEntrySize <= avail; off += kEntrySize) {
            byte_cursor c(base + off, kEntrySize);
            dir_entry e;
            uint16_t name_len = 0;
            c.seek(64);
            c.u16(name_len);
            c.u8(e.type);
            c.skip(1);
            c.u32(e.left);
            c.u32(e.right);
            c.u32(e.child);
            c.seek(116);
            c.u32(e.start);
            uint32_t size_lo = 0;
            c.u32(size_lo);
            // With 512-byte sectors only the low 32 bits of the size count.
            e.size = size_lo;
            size_t chars = name_len >= 2 ? std::min<size_t>(name_len / 2 - 1, 31) : 0;
            c.seek(0);
            for (size_t i = 0; i < chars; ++i) {
                uint16_t ch = 0;
                c.u16(ch);
                if (ch == 0) break;
                e.name.push_back(static_cast<char16_t>(ch));
            }
            entries_.push_back(std::move(e));
        }
    }
    if (entries_.empty() || entries_[0].type != kRoot) return CFB_CORRUPT;
    return CFB_OK;
}

namespace {

// Appends len bytes at p to the pieces, joined to the last piece when they
// follow it directly.
void add_piece(std::vector<compound_file::piece>& out, const unsigned char* p, size_t len) {
    if (!out.empty() && out.back().data + out.back().size == p)
        out.back().size += len;
    else
        out.push_back({p, len});
}

int copy_pieces(const std::vector<compound_file::piece>& pieces, uint64_t size, std::vector<unsigned char>& out) {
    out.clear();
    out.reserve(static_cast<size_t>(size));
    for (const compound_file::piece& p : pieces) out.insert(out.end(), p.data, p.data + p.size);
    return CFB_OK;
}

}  // namespace

int compound_file::read_mini_stream() {
    // The mini FAT and the mini stream are only needed for short streams; a
    // document without any has neither.
    const dir_entry& root = entries_[0];
    if (root.size == 0 || first_minifat_ == kEndOfChain || first_minifat_ == kFree) return CFB_OK;
    std::vector<uint32_t> sectors;
    int rc = chain(first_minifat_, sectors);
    if (rc != CFB_OK) return rc;
    minifat_.assign(sectors.size() * kEntriesPerSector, kFree);
    for (size_t k = 0; k < sectors.size(); ++k) {
        size_t n = sector_bytes(sectors[k]) / 4;
        byte_cursor c(data_ + kHeaderSize + static_cast<size_t>(sectors[k]) * kSectorSize, n * 4);
        for (size_t i = 0; i < n; ++i) c.u32(minifat_[k * kEntriesPerSector + i]);
    }
    std::vector<piece> pieces;
    rc = regular_pieces(root.start, root.size, pieces);
    return rc == CFB_OK ? copy_pieces(pieces, root.size, mini_stream_) : rc;
}

int compound_file::regular_pieces(uint32_t start, uint64_t size, std::vector<piece>& out) const {
    out.clear();
    uint64_t need = (size + kSectorSize - 1) / kSectorSize;
    if (need > sector_count_) return CFB_CORRUPT;  // cannot fit in this file
    std::vector<bool> seen(std::min<size_t>(fat_.size(), sector_count_), false);
    uint32_t s = start;
    for (uint64_t k = 0; k < need; ++k) {
        if (s >= seen.size() || seen[s]) return CFB_CORRUPT;
        seen[s] = true;
        size_t off = static_cast<size_t>(k * kSectorSize);
        size_t want = std::min<size_t>(kSectorSize, static_cast<size_t>(size) - off);
        if (sector_bytes(s) < want) return CFB_CORRUPT;  // data past the end of the file
        add_piece(out, data_ + kHeaderSize + static_cast<size_t>(s) * kSectorSize, want);
        s = fat_[s];
    }
    return CFB_OK;
}

int compound_file::mini_pieces(uint32_t start, uint64_t size, std::vector<piece>& out) const {
    out.clear();
    if (mini_status_ != CFB_OK) return mini_status_;
    uint64_t need = (size + kShortSectorSize - 1) / kShortSectorSize;
    if (need > minifat_.size()) return CFB_CORRUPT;
    std::vector<bool> seen(minifat_.size(), false);
    uint32_t s = start;
    for (uint64_t k = 0; k < need; ++k) {
        size_t src = static_cast<size_t>(s) * kShortSectorSize;
        size_t off = static_cast<size_t>(k * kShortSectorSize);
        size_t want = std::min<size_t>(kShortSectorSize, static_cast<size_t>(size) - off);
        if (s >= seen.size() || seen[s] || src > mini_stream_.size() || mini_stream_.size() - src < want)
            return CFB_CORRUPT;
        seen[s] = true;
        add_piece(out, mini_stream_.data() + src, want);
        s = minifat_[s];
    }
    return CFB_OK;
}

int compound_file::find_child(uint32_t storage, const std::u16string& name, uint32_t* entry) const {
    if (!is_storage(storage)) return CFB_NOT_FOUND;
    // Walk the storage's tree of children; every index is checked and every
    // entry visited at most once.
    std::vector<bool> seen(entries_.size(), false);
    std::vector<uint32_t> todo;
    todo.push_back(entries_[storage].child);
    while (!todo.empty()) {
        uint32_t i = todo.back();
        todo.pop_back();
        if (i == kNoStream || i >= entries_.size() || seen[i]) continue;
        seen[i] = true;
        const dir_entry& e = entries_[i];
        if ((e.type == kStream || e.type == kStorage) && same_name(e.name, name)) {
            if (entry) *entry = i;
            return CFB_OK;
        }
        todo.push_back(e.right);
        todo.push_back(e.left);
    }
    return CFB_NOT_FOUND;
}

int compound_file::find_child(uint32_t storage, const char* name, uint32_t* entry) const {
    return find_child(storage, widened(name), entry);
}

bool compound_file::is_storage(uint32_t entry) const {
    return entry < entries_.size() && (entries_[entry].type == kStorage || entries_[entry].type == kRoot);
}

int compound_file::find_stream(const char* name, uint32_t* entry) const {
    uint32_t found = 0;
    if (find_child(0, widened(name), &found) != CFB_OK || entries_[found].type != kStream) return CFB_NOT_FOUND;
    if (entry) *entry = found;
    return CFB_OK;
}

uint64_t compound_file::stream_size(uint32_t entry) const {
    return entry < entries_.size() ? entries_[entry].size : 0;
}

int compound_file::stream_pieces(uint32_t entry, std::vector<piece>& out) const {
    out.clear();
    if (entry >= entries_.size() || entries_[entry].type != kStream) return CFB_NOT_FOUND;
    const dir_entry& e = entries_[entry];
    int rc = CFB_NO_MEMORY;
    try {
        rc = e.size < mini_cutoff_ ? mini_pieces(e.start, e.size, out) : regular_pieces(e.start, e.size, out);
    } catch (const std::bad_alloc&) {
    }
    if (rc != CFB_OK) out.clear();
    return rc;
}

int compound_file::read_stream(uint32_t entry, std::vector<unsigned char>& out) const {
    out.clear();
    std::vector<piece> pieces;
    int rc = stream_pieces(entry, pieces);
    if (rc != CFB_OK) return rc;
    try {
        return copy_pieces(pieces, entries_[entry].size, out);
    } catch (const std::bad_alloc&) {
        out.clear();
        return CFB_NO_MEMORY;
    }
}

int cfb_find_workbook(const compound_file& cf, uint32_t* entry, bool* is_book) {
    bool book = false;
    if (cf.find_stream("Workbook", entry) != CFB_OK) {
        if (cf.find_stream("Book", entry) != CFB_OK) return CFB_NOT_FOUND;
        book = true;
    }
    if (is_book) *is_book = book;
    return CFB_OK;
}

int cfb_workbook_stream(const unsigned char* data, size_t size, std::vector<unsigned char>& out,
                        bool* is_book) {
    out.clear();
    compound_file cf;
    int rc = cf.open(data, size);
    if (rc != CFB_OK) return rc;
    uint32_t entry = 0;
    rc = cfb_find_workbook(cf, &entry, is_book);
    return rc == CFB_OK ? cf.read_stream(entry, out) : rc;
}

}  // namespace xls

int extract_workbook_stream(const char* compound_path, const char* image_path, bool* is_book_stream) {
    if (!compound_path || !image_path) return -1;
    // The user's document, through the platform's mapping (read in where a
    // file can shrink under a mapping); the stream is written straight from
    // its sectors.
    int status = 0;
    plat_mapping* file = plat_map_file(compound_path, &status);
    if (!file) return status == -2 ? -2 : -1;
    struct unmap {
        plat_mapping* m;
        ~unmap() { plat_unmap_file(m); }
    } guard{file};
    xls::compound_file cf;
    std::vector<xls::compound_file::piece> pieces;
    try {
        // The whole chain is followed and checked before the output exists.
        uint32_t entry = 0;
        int rc = cf.open(plat_mapped_data(file), plat_mapped_size(file));
        if (rc == xls::CFB_OK) rc = xls::cfb_find_workbook(cf, &entry, is_book_stream);
        if (rc == xls::CFB_OK) rc = cf.stream_pieces(entry, pieces);
        if (rc == xls::CFB_NO_MEMORY) return -2;
        if (rc != xls::CFB_OK) return -1;
    } catch (const std::bad_alloc&) {
        return -2;
    }
    plat_file* out = plat_open(image_path, PLAT_CREATE);
    if (!out) return -101;
    bool whole = true;
    for (const xls::compound_file::piece& p : pieces)
        if (whole && plat_write(out, p.data, p.size) != p.size) whole = false;
    if (plat_close(out) != 0) whole = false;
    if (!whole) {
        plat_remove_file(image_path);
        return -103;
    }
    return 0;
}
