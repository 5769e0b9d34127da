// The formulas of a legacy workbook (see biff_formulas.h).
#include "biff_formulas.h"

#include <algorithm>
#include <new>

#include "biff_records.h"
#include "biff_text.h"
#include "byte_cursor.h"

namespace xls {

namespace {

constexpr uint8_t kExp = 0x01;
constexpr uint8_t kTbl = 0x02;
constexpr uint16_t kSelfBook = 0x0401;
constexpr uint16_t kAddinBook = 0x3A01;
constexpr uint16_t kBuiltinName = 0x0020;

// Names of the built-in defined names, by their one-character code.
const char* const kBuiltinNames[] = {
    "Consolidate_Area", "Auto_Open", "Auto_Close", "Extract", "Database", "Criteria", "Print_Area",
    "Print_Titles", "Recorder", "Data_Form", "Auto_Activate", "Auto_Deactivate", "Sheet_Title", "_FilterDatabase",
};

// An XLUnicodeStringNoCch of count characters: an option byte, then 8-bit
// or UTF-16LE characters.
bool unicode_chars(byte_cursor& c, size_t count, std::string& out) {
    uint8_t option = 0;
    const unsigned char* p = nullptr;
    if (!c.u8(option)) return count == 0;
    if (option & 0x01) {
        size_t n = std::min(count, c.remaining() / 2);
        return c.bytes(p, 2 * n) && utf16le_to_utf8(p, n, out);
    }
    size_t n = std::min(count, c.remaining());
    return c.bytes(p, n) && latin1_to_utf8(p, n, out);
}

std::string range_text(int r1, int c1, int r2, int c2) {
    std::string s = a1_reference(r1, c1, false, false);
    if (r2 != r1 || c2 != c1) s += ":" + a1_reference(r2, c2, false, false);
    return s;
}

}  // namespace

int formula_reader::record(uint16_t type, const unsigned char* data, size_t len, int sheet, bool worksheet,
                           int version, int codepage) {
    try {
        version_ = version;
        codepage_ = codepage;
        switch (type) {
        case BIFF_BOF:
            if (sheet_ >= 0) {
                int rc = end_sheet();
                if (rc != 0) return rc;
            }
            sheet_ = sheet;
            worksheet_ = worksheet;
            last_row_ = last_column_ = -1;
            return 0;
        case BIFF_EOF: {
            int rc = end_sheet();
            sheet_ = -1;
            return rc;
        }
        case BIFF_BOUNDSHEET: on_boundsheet(data, len); return 0;
        case BIFF_NAME: on_name(data, len); return 0;
        case BIFF_SUPBOOK: on_supbook(data, len); return 0;
        case BIFF_EXTERNSHEET: on_externsheet(data, len); return 0;
        case BIFF_EXTERNNAME: on_externname(data, len); return 0;
        case BIFF_FORMULA: return worksheet_ && sheet_ >= 0 ? on_formula(data, len) : 0;
        case BIFF_SHRFMLA:
        case BIFF_ARRAY: return worksheet_ && sheet_ >= 0 ? on_shared(type, data, len) : 0;
        case BIFF_TABLE: return worksheet_ && sheet_ >= 0 ? on_table(data, len) : 0;
        default: return 0;
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

int formula_reader::finish() {
    try {
        return end_sheet();
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

void formula_reader::on_boundsheet(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint8_t count = 0;
    std::string name;
    const unsigned char* p = nullptr;
    if (!c.skip(6) || !c.u8(count)) {
        links_.sheets.emplace_back();
        return;
    }
    if (version_ == 5) {
        size_t n = std::min<size_t>(count, c.remaining());
        if (!c.bytes(p, n) || !codepage_to_utf8(codepage_, p, n, name)) name.clear();
    } else if (!unicode_chars(c, count, name)) {
        name.clear();
    }
    links_.sheets.push_back(std::move(name));
}

void formula_reader::on_name(const unsigned char* data, size_t len) {
    // Options, shortcut key, name length, formula length, reserved, the
    // sheet (1-based, 0: the workbook's), four bytes, the name.
    byte_cursor c(data, len);
    uint16_t options = 0, itab = 0;
    uint8_t count = 0;
    formula_links::name n;
    if (c.u16(options) && c.skip(1) && c.u8(count) && c.skip(4) && c.u16(itab) && c.skip(4)) {
        std::string text;
        const unsigned char* p = nullptr;
        bool ok;
        if (version_ == 5) {
            size_t k = std::min<size_t>(count, c.remaining());
            ok = c.bytes(p, k) && codepage_to_utf8(codepage_, p, k, text);
        } else {
            ok = unicode_chars(c, count, text);
        }
        if (ok && (options & kBuiltinName) && text.size() == 1 &&
            static_cast<unsigned char>(text[0]) < sizeof kBuiltinNames / sizeof kBuiltinNames[0]) {
            text = kBuiltinNames[static_cast<unsigned char>(text[0])];
        }
        if (ok) n.text = std::move(text);
        n.sheet = itab > 0 ? itab - 1 : -1;
    }
    // Every NAME record takes its number, a damaged one too.
    links_.names.push_back(std::move(n));
}

void formula_reader::on_supbook(const unsigned char* data, size_t len) {
    if (version_ == 5) return;
    byte_cursor c(data, len);
    uint16_t ctab = 0, cch = 0;
    formula_links::book b;
    if (c.u16(ctab) && c.u16(cch)) {
        if (cch == kSelfBook) {
            b.kind = formula_links::BOOK_SELF;
        } else if (cch == kAddinBook) {
            b.kind = formula_links::BOOK_ADDIN;
        } else {
            std::string path;
            unicode_chars(c, cch, path);
            // A link to a DDE or OLE source, or to the same sheet, names
            // no workbook.
            if (path.size() > 1 && path.find('\x03') == std::string::npos) {
                b.kind = formula_links::BOOK_EXTERNAL;
                b.number = ++external_books_;
                for (uint16_t i = 0; i < ctab && !c.at_end(); ++i) {
                    uint16_t n = 0;
                    std::string sheet;
                    if (!c.u16(n) || !unicode_chars(c, n, sheet)) break;
                    b.sheets.push_back(std::move(sheet));
                }
            }
        }
    }
    links_.books.push_back(std::move(b));
}

void formula_reader::on_externsheet(const unsigned char* data, size_t len) {
    if (version_ == 5) return;
    byte_cursor c(data, len);
    uint16_t count = 0;
    if (!c.u16(count)) return;
    links_.xtis.clear();
    for (uint16_t i = 0; i < count; ++i) {
        uint16_t book = 0, first = 0, last = 0;
        if (!c.u16(book) || !c.u16(first) || !c.u16(last)) break;
        links_.xtis.push_back({book, static_cast<int16_t>(first), static_cast<int16_t>(last)});
    }
}

void formula_reader::on_externname(const unsigned char* data, size_t len) {
    if (version_ == 5 || links_.books.empty()) return;
    byte_cursor c(data, len);
    uint8_t count = 0;
    std::string name;
    if (c.skip(6) && c.u8(count)) unicode_chars(c, count, name);
    links_.books.back().names.push_back(std::move(name));
}

int formula_reader::put(int row, int column, const unsigned char* rgce, size_t cce, const unsigned char* extra,
                        size_t extra_size, const std::string& range, bool array) {
    formula_place at{sheet_, row, column};
    std::string text, problem;
    int rc = formula_text(rgce, cce, extra, extra_size, links_, at, FORMULA_LIMIT - 4, text, &problem, version_ == 5,
                          codepage_);
    if (rc == FORMULA_NO_MEMORY) return -2;
    if (rc == FORMULA_OK) return book_.put_formula(sheet_, row, column, 0, array ? "{=" + text + "}" : "=" + text, range);
    if (rc == FORMULA_TOO_LONG) return book_.put_formula(sheet_, row, column, 2, "", range);
    return book_.put_formula(sheet_, row, column, 1, problem, range);
}

int formula_reader::on_formula(const unsigned char* data, size_t len) {
    // Cell (row, column, format), cached result (8), options, reserved (4),
    // then the parsed formula: its length, its tokens and their extra data.
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, cce = 0;
    if (!c.u16(row) || !c.u16(column) || !c.skip(2 + 8 + 2 + 4) || !c.u16(cce)) return 0;
    if (row >= BIFF_MAX_ROWS || column >= BIFF_MAX_COLUMNS) return 0;
    last_row_ = row;
    last_column_ = column;
    const unsigned char* rgce = nullptr;
    if (!c.bytes(rgce, cce)) return book_.put_formula(sheet_, row, column, 1, "tokens cut short", "");
    if (cce == 5 && (rgce[0] == kExp || rgce[0] == kTbl)) {
        pending_.push_back({row, column, rgce[1] | (rgce[2] << 8), rgce[3] | (rgce[4] << 8)});
        return 0;
    }
    return put(row, column, rgce, cce, c.here(), c.remaining(), "", false);
}

int formula_reader::on_shared(uint16_t type, const unsigned char* data, size_t len) {
    // The range (rows 16-bit, columns 8-bit), then for a shared formula a
    // reserved byte and its use count, for an array its options and four
    // reserved bytes; the parsed formula follows.
    byte_cursor c(data, len);
    uint16_t r1 = 0, r2 = 0, cce = 0;
    uint8_t c1 = 0, c2 = 0;
    if (!c.u16(r1) || !c.u16(r2) || !c.u8(c1) || !c.u8(c2)) return 0;
    if (!c.skip(type == BIFF_SHRFMLA ? 2 : 6) || !c.u16(cce) || cce > c.remaining()) return 0;
    shared s{r1, r2, c1, c2, std::string(reinterpret_cast<const char*>(c.here()), c.remaining()), cce,
             type == BIFF_ARRAY, {}};
    // The record belongs to the formula just before it; its range's first
    // cell names it too.
    if (last_row_ >= 0) shared_[{last_row_, last_column_}] = s;
    shared_.emplace(std::make_pair(static_cast<int>(r1), static_cast<int>(c1)), std::move(s));
    return 0;
}

int formula_reader::on_table(const unsigned char* data, size_t len) {
    // The range, options (bit 2: one input in a row, bit 3: two inputs),
    // then the row input cell and the column input cell.
    byte_cursor c(data, len);
    uint16_t r1 = 0, r2 = 0, options = 0, rr = 0, rc_ = 0, cr = 0, cc = 0;
    uint8_t c1 = 0, c2 = 0;
    if (!c.u16(r1) || !c.u16(r2) || !c.u8(c1) || !c.u8(c2) || !c.u16(options) || !c.u16(rr) || !c.u16(rc_) ||
        !c.u16(cr) || !c.u16(cc))
        return 0;
    std::string first = a1_reference(rr, rc_ & 0xFF, false, false), second = a1_reference(cr, cc & 0xFF, false, false);
    std::string args;
    if (options & 0x08) args = first + "," + second;
    else if (options & 0x04) args = first + ",";
    else args = "," + first;
    shared s{r1, r2, c1, c2, {}, 0, true, "{=TABLE(" + args + ")}"};
    // The table's cells point to the cell before its first.
    if (last_row_ >= 0) shared_[{last_row_, last_column_}] = s;
    shared_.emplace(std::make_pair(static_cast<int>(r1), static_cast<int>(c1)), std::move(s));
    return 0;
}

int formula_reader::end_sheet() {
    for (const pending& p : pending_) {
        auto it = shared_.find({p.anchor_row, p.anchor_column});
        int rc = 0;
        if (it == shared_.end()) {
            rc = book_.put_formula(sheet_, p.row, p.column, 1, "a shared formula that is missing", "");
        } else {
            const shared& s = it->second;
            const bool first = p.row == s.first_row && p.column == s.first_column;
            const std::string range = range_text(s.first_row, s.first_column, s.last_row, s.last_column);
            const unsigned char* t = reinterpret_cast<const unsigned char*>(s.tokens.data());
            if (!s.table.empty()) {
                if (first) rc = book_.put_formula(sheet_, p.row, p.column, 0, s.table, range);
            } else if (s.array) {
                // An array formula is given once, with its range.
                if (first) rc = put(p.row, p.column, t, s.cce, t + s.cce, s.tokens.size() - s.cce, range, true);
            } else {
                rc = put(p.row, p.column, t, s.cce, t + s.cce, s.tokens.size() - s.cce, "", false);
            }
        }
        if (rc != 0) return rc;
    }
    pending_.clear();
    shared_.clear();
    return 0;
}

}  // namespace xls
