// The record handler (see biff_records.h).
#include "biff_records.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

#include "biff_formulas.h"
#include "biff_text.h"
#include "byte_cursor.h"

namespace xls {

std::string message_buffer_over(long long value, const char* label) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "TABX-03009 バッファサイズ(\"%lld\")オーバー(\"%s\")。", value, label);
    return buf;
}

std::string message_internal(const char* label) {
    char buf[400];
    std::snprintf(buf, sizeof buf, "TABX-03600 内部処理エラー(\"%s\")。", label);
    return buf;
}

double rk_value(uint32_t rk) {
    double v;
    if (rk & 0x02) {
        v = static_cast<double>(static_cast<int32_t>(rk) >> 2);
    } else {
        uint64_t bits = static_cast<uint64_t>(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&v, &bits, sizeof v);
    }
    if (rk & 0x01) v /= 100;
    return v;
}

const char* boolean_text(unsigned value) { return value ? "TRUE" : "FALSE"; }

const char* error_text(unsigned code) {
    switch (code) {
    case 0x00: return "#NULL!";
    case 0x07: return "#DIV/0!";
    case 0x0F: return "#VALUE!";
    case 0x17: return "#REF!";
    case 0x1D: return "#NAME?";
    case 0x24: return "#NUM!";
    case 0x2B: return "#GETTING_DATA";
    default: return "#N/A";
    }
}

namespace {

// A record shorter than its fixed fields: passed over with a log line (the
// code never leaves record()).
constexpr int kShort = -1401;
// A cell record with a field outside its range (a column beyond the sheet,
// a cell format or shared string that does not exist): passed over with a
// log line naming it (bad_), as never leaving record() either.
constexpr int kBadValue = -1402;

// Substream kinds of a BOF record.
constexpr uint16_t kGlobals = 0x0005;
constexpr uint16_t kWorksheet = 0x0010;

// Characters of an XLUnicodeString piece: up to `want` of them, 8-bit
// (a zero high byte implied) or UTF-16LE, as many as the data holds.
size_t take_chars(byte_cursor& c, bool wide, size_t want, std::u16string& out) {
    size_t n = std::min(want, c.remaining() / (wide ? 2 : 1));
    const unsigned char* p = nullptr;
    c.bytes(p, n * (wide ? 2 : 1));
    for (size_t i = 0; i < n; ++i)
        out.push_back(static_cast<char16_t>(wide ? p[2 * i] | (p[2 * i + 1] << 8) : p[i]));
    return n;
}

// Cell result of a FORMULA that is not a number: the 0xFFFF marker in the
// last two bytes of the result, the result kind in its first byte and a
// boolean's value or an error's code in its third.
constexpr uint8_t kResultString = 0;
constexpr uint8_t kResultBoolean = 1;
constexpr uint8_t kResultError = 2;

}  // namespace

void biff_reader::skipped(uint16_t type, uint64_t offset, size_t len, const char* why) {
    char buf[200];
    std::snprintf(buf, sizeof buf, "BIFF record 0x%04X at offset %llu (%zu bytes): %s", type,
                  static_cast<unsigned long long>(offset), len, why);
    book_.log(buf);
}

int biff_reader::end_pending() {
    int rc = 0;
    if (last_ == TXO && !txo_text_.empty()) {
        // A text object whose CONTINUE records fell short of its length.
        std::string text;
        if (!utf16_to_utf8(txo_text_, text)) return -2;
        txo_text_.clear();
        rc = book_.add_text_object(sheet_, text);
    } else if (last_ == CELL_TEXT) {
        rc = store_cell_text();
    } else if (last_ == NOTE_TEXT) {
        rc = store_note();
    }
    last_ = NONE;
    return rc;
}

int biff_reader::record(uint16_t type, const unsigned char* data, size_t len, uint64_t offset) {
    if (int rc = chart_record(type, data, len)) return rc;
    if (nested_ > 0) {
        // Inside an embedded substream (a chart in a sheet): its records
        // are the chart's, up to its own EOF, except the texts of shapes
        // drawn in the chart, which show on the sheet.  A BOF that a
        // BOUNDSHEET entry names starts a sheet all the same.
        const bool shape_text = type == BIFF_TXO || (type == BIFF_CONTINUE && last_ == TXO);
        if (type == BIFF_BOF && sheet_at_.find(offset) != sheet_at_.end()) {
            nested_ = 0;
        } else if (!shape_text) {
            if (last_ == TXO) {
                try {
                    int rc = end_pending();
                    if (rc != 0) return rc;
                } catch (const std::bad_alloc&) {
                    return -2;
                }
            }
            if (type == BIFF_BOF) ++nested_;
            if (type == BIFF_EOF) --nested_;
            return 0;
        }
    }
    if (last_ == SST && type != BIFF_CONTINUE) {
        last_ = NONE;
        int rc = sst_.parse(book_);
        if (rc != 0) return rc;
    }
    if (type != BIFF_CONTINUE && type != BIFF_NAME && !(type == BIFF_NOTE && last_ == NOTE_TEXT)) {
        try {
            int rc = end_pending();
            if (rc != 0) return rc;
        } catch (const std::bad_alloc&) {
            return -2;
        }
    }
    int rc = 0;
    try {
        rc = dispatch(type, data, len, offset);
        if (formulas_ && rc >= 0 && rc != BIFF_STREAM_OVER && nested_ == 0) {
            int frc = formulas_->record(type, data, len, sheet_, cells_wanted() && substream_ != kGlobals,
                                        version_, codepage_);
            if (frc != 0) return frc;
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    if (rc == kShort) {
        skipped(type, offset, len, "shorter than its fields, passed over");
        return 0;
    }
    if (rc == kBadValue) {
        skipped(type, offset, len, bad_.c_str());
        return 0;
    }
    return rc;
}

int biff_reader::dispatch(uint16_t type, const unsigned char* data, size_t len, uint64_t offset) {
    switch (type) {
    case BIFF_BOF: return on_bof(data, len, offset);
    case BIFF_EOF:
        string_pending_ = false;
        in_substream_ = false;
        return 0;
    case BIFF_FILEPASS: return BIFF_ENCRYPTED;
    case BIFF_CODEPAGE:
        if (len >= 2) codepage_ = data[0] | (data[1] << 8);
        return 0;
    case BIFF_DATEMODE:
        if (len >= 2) book_.set_date1904((data[0] | data[1]) != 0);
        return 0;
    case BIFF_BOUNDSHEET: return on_boundsheet(data, len);
    case BIFF_XF: return on_xf(data, len);
    case BIFF_FORMAT: return on_format(data, len);
    case BIFF_SST:
        last_ = SST;
        return sst_.start(data, len);
    case BIFF_CONTINUE:
        if (last_ == SST) return sst_.add(data, len, book_);
        if (last_ == TXO) return on_txo_continue(data, len);
        if (last_ == CELL_TEXT) return on_text_continue(data, len);
        return 0;
    case BIFF_NOTE: return on_note(data, len);
    case BIFF_LABELSST: return on_labelsst(data, len);
    case BIFF_NUMBER: return on_number(data, len);
    case BIFF_RK: return on_rk(data, len);
    case BIFF_MULRK: return on_mulrk(data, len);
    case BIFF_FORMULA: return on_formula(data, len);
    case BIFF_STRING: return on_string(data, len);
    case BIFF_BLANK: return on_blank(data, len);
    case BIFF_BOOLERR: return on_boolerr(data, len);
    case BIFF_LABEL:
    case BIFF_RSTRING: return on_label(data, len);
    case BIFF_TXO: return on_txo(data, len);
    default: return 0;
    }
}

int biff_reader::finish() {
    if (formulas_) {
        int rc = formulas_->finish();
        if (rc != 0) return rc;
    }
    if (last_ == SST) {
        last_ = NONE;
        return sst_.parse(book_);
    }
    try {
        return end_pending();  // a text object, cell text or note still open
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

bool biff_reader::may_end_at(uint64_t offset, uint64_t size, bool cut) const {
    if ((cut && !seen_bof_) || in_substream_ || nested_ > 0) return false;
    for (const auto& sheet : sheet_at_)
        if (sheet.first >= offset && sheet.first <= size) return false;
    return true;
}

int biff_reader::on_bof(const unsigned char* data, size_t len, uint64_t offset) {
    byte_cursor c(data, len);
    uint16_t version = 0, kind = 0;
    if (!c.u16(version) || !c.u16(kind)) return kShort;
    auto at = sheet_at_.find(offset);
    if (in_substream_ && at == sheet_at_.end() && kind != kWorksheet && kind != kGlobals) {
        // A substream opened inside a sheet's: an embedded chart.  Its
        // records (series values among them) are not the sheet's cells.
        nested_ = 1;
        return 0;
    }
    in_substream_ = true;
    substream_ = kind;
    if (!seen_bof_) {
        seen_bof_ = true;
        version_ = version == 0x0500 ? 5 : 8;
    }
    string_pending_ = false;
    // A sheet's substream is matched to its BOUNDSHEET entry by its offset,
    // so that chart and macro sheets before it do not shift the cells; a
    // worksheet without a matching entry takes the next place in order.
    if (kind == kWorksheet) {
        sheet_ = at != sheet_at_.end() ? at->second : worksheets_;
        ++worksheets_;
    } else if (at != sheet_at_.end()) {
        sheet_ = at->second;
    }
    return 0;
}

int biff_reader::on_boundsheet(const unsigned char* data, size_t len) {
    if (worksheets_ > 0 && book_.sheet_count() >= worksheets_) return BIFF_STREAM_OVER;
    byte_cursor c(data, len);
    uint32_t position = 0;
    uint8_t count = 0, option = 0;
    if (!c.u32(position) || !c.skip(2) || !c.u8(count)) return kShort;
    std::string name;
    const unsigned char* p = nullptr;
    bool ok = true;
    if (version_ == 8 && c.u8(option) && option <= 1) {
        if (option == 1) {
            size_t n = std::min<size_t>(count, c.remaining() / 2);
            ok = c.bytes(p, 2 * n) && utf16le_to_utf8(p, n, name);
        } else {
            size_t n = std::min<size_t>(count, c.remaining());
            ok = c.bytes(p, n) && latin1_to_utf8(p, n, name);
        }
    } else {
        // The 5.0/95 layout: 8-bit characters in the workbook's code page
        // right after the length.
        c.seek(7);
        size_t n = std::min<size_t>(count, c.remaining());
        ok = c.bytes(p, n) && codepage_to_utf8(codepage_, p, n, name);
    }
    if (!ok) return -2;
    if (name.size() >= BIFF_MAX_SHEET_NAME) name.clear();
    int index = book_.sheet_count();
    int rc = book_.add_sheet(index, name);
    if (rc != 0) return rc;
    sheet_at_[position] = index;
    return 0;
}

int biff_reader::on_xf(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t format = 0;
    uint8_t kind = 0;
    bool whole = c.skip(2) && c.u16(format) && c.u8(kind);
    if (book_.xf_count() >= BIFF_MAX_XF) {
        book_.message(message_buffer_over(book_.xf_count(), "tbx_set_xf() MAX_XF"));
        return -9;
    }
    // A short one still takes its place (General), so that the cell
    // formats after it keep their numbers.
    int rc = book_.add_xf(!whole ? 0 : (kind & 0x04) ? -1 : format);
    return rc != 0 ? rc : whole ? 0 : kShort;
}

int biff_reader::on_format(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t id = 0;
    std::string code;
    const unsigned char* p = nullptr;
    if (!c.u16(id)) return kShort;
    if (version_ == 5) {
        uint8_t count = 0;
        if (!c.u8(count)) return kShort;
        size_t n = std::min<size_t>(count, c.remaining());
        if (!c.bytes(p, n) || !codepage_to_utf8(codepage_, p, n, code)) return -2;
    } else {
        uint16_t count = 0;
        uint8_t option = 0;
        if (!c.u16(count) || !c.u8(option)) return kShort;
        if (option != 0) {
            size_t n = std::min<size_t>(count, c.remaining() / 2);
            if (!c.bytes(p, 2 * n) || !utf16le_to_utf8(p, n, code)) return -2;
        } else {
            // Compressed characters: the low bytes of UTF-16 ("¥" is 0xA5).
            size_t n = std::min<size_t>(count, c.remaining());
            c.bytes(p, n);
            if (n <= BIFF_MAX_FORMAT_BYTES && !latin1_to_utf8(p, n, code)) return -2;
        }
    }
    size_t nul = code.find('\0');
    if (nul != std::string::npos) code.resize(nul);
    if (book_.numfmt_count() >= BIFF_MAX_NUMFMT) {
        book_.message(message_buffer_over(book_.numfmt_count(), "TBX_MAX_NUMFORMAT"));
        return -9;
    }
    return book_.add_numfmt(id, code);
}

int biff_reader::check_cell(unsigned row, unsigned column, const char* position_label) {
    if (row >= BIFF_MAX_ROWS || column >= BIFF_MAX_COLUMNS) {
        bad_ = message_internal(position_label);
        return kBadValue;
    }
    // Cells of a substream without a sheet entry have nowhere to go; a
    // chart or module sheet has none of its own.
    if (sheet_ >= book_.sheet_count() || !cells_wanted()) return 1;
    return 0;
}

int biff_reader::check_xf(unsigned xf, const char* label) {
    if (static_cast<long long>(xf) >= book_.xf_count()) {
        bad_ = message_buffer_over(book_.xf_capacity(), label);
        return kBadValue;
    }
    return 0;
}

int biff_reader::on_labelsst(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0;
    uint32_t index = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.u32(index)) return kShort;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_LABELSST row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    if (static_cast<int32_t>(index) < 0 || static_cast<int32_t>(index) >= book_.sst_count()) {
        bad_ = message_buffer_over(book_.sst_count(), "BIFF_LABELSST sst");
        return kBadValue;
    }
    rc = book_.put_shared_string(sheet_, row, column, static_cast<int>(index));
    return rc != 0 ? rc : book_.set_cell_format(sheet_, row, column, xf);
}

int biff_reader::on_number(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0;
    double value = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.f64(value)) return kShort;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_NUMBER row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    // An index outside the cell-format table names no number format.
    if ((rc = check_xf(xf, "BIFF_NUMBER")) != 0) return rc;
    return book_.put_number(sheet_, row, column, book_.xf_numfmt(xf), xf, value);
}

int biff_reader::on_rk(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0;
    uint32_t rk = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.u32(rk)) return kShort;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_LABELSST row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    if ((rc = check_xf(xf, "BIFF_RK")) != 0) return rc;
    return book_.put_number(sheet_, row, column, book_.xf_numfmt(xf), xf, rk_value(rk));
}

int biff_reader::on_mulrk(const unsigned char* data, size_t len) {
    string_pending_ = false;
    if (len < 7) return 0;
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0;
    c.u16(row);
    c.u16(column);
    int rc = check_cell(row, column, "BIFF_MULRK row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    // (cell format, RK value) pairs up to the last column field at the end.
    for (unsigned col = column; c.remaining() >= 8 && col < BIFF_MAX_COLUMNS; ++col) {
        uint16_t xf = 0;
        uint32_t rk = 0;
        c.u16(xf);
        c.u32(rk);
        if ((rc = check_xf(xf, "BIFF_MULRK")) != 0) return rc;
        rc = book_.put_number(sheet_, row, static_cast<int>(col), book_.xf_numfmt(xf), xf, rk_value(rk));
        if (rc != 0) return rc;
    }
    return 0;
}

int biff_reader::on_formula(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0;
    const unsigned char* result = nullptr;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.bytes(result, 8)) return kShort;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_FORMULA row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    if ((rc = book_.place_cell(sheet_, row, column)) != 0) return rc;
    row_ = row;
    column_ = column;
    if ((rc = check_xf(xf, "BIFF_FORMULA")) != 0) return rc;
    if ((rc = book_.set_cell_format(sheet_, row, column, xf)) != 0) return rc;
    if (result[6] == 0xFF && result[7] == 0xFF) {
        // Not a number: a string arrives in the next STRING record; a
        // boolean or an error shows its text; an empty string leaves the
        // cell empty.
        string_pending_ = result[0] == kResultString;
        if (result[0] == kResultBoolean) return book_.put_text(sheet_, row, column, boolean_text(result[2]));
        if (result[0] == kResultError) return book_.put_error(sheet_, row, column, error_text(result[2]));
        return 0;
    }
    double value;
    byte_cursor r(result, 8);
    r.f64(value);
    return book_.put_number(sheet_, row, column, book_.xf_numfmt(xf), xf, value);
}

int biff_reader::cell_text(byte_cursor& c, uint16_t count, int row, int column) {
    text_.clear();
    text_left_ = 0;
    text_row_ = row;
    text_column_ = column;
    if (version_ == 5) {
        const unsigned char* p = nullptr;
        size_t n = std::min<size_t>(count, c.remaining());
        c.bytes(p, n);
        if (!codepage_to_utf16(codepage_, p, n, text_)) return -2;
        return store_cell_text();
    }
    uint8_t option = 0;
    if (!c.u8(option)) return count == 0 ? store_cell_text() : kShort;
    text_left_ = count - take_chars(c, option & 0x01, count, text_);
    if (text_left_ == 0) return store_cell_text();
    // The rest follows in CONTINUE records, each opening with its own
    // option byte.
    last_ = CELL_TEXT;
    return 0;
}

int biff_reader::on_text_continue(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint8_t option = 0;
    if (!c.u8(option)) return 0;
    text_left_ -= take_chars(c, option & 0x01, text_left_, text_);
    if (text_left_ > 0) return 0;
    last_ = NONE;
    return store_cell_text();
}

int biff_reader::store_cell_text() {
    std::string text;
    if (!utf16_to_utf8(text_, text)) return -2;
    text_.clear();
    text_left_ = 0;
    if (sheet_ >= book_.sheet_count()) return 0;
    return book_.put_text(sheet_, text_row_, text_column_, text);
}

int biff_reader::on_string(const unsigned char* data, size_t len) {
    if (!string_pending_) return 0;  // no formula is waiting for it
    string_pending_ = false;
    byte_cursor c(data, len);
    uint16_t count = 0;
    if (!c.u16(count)) return kShort;
    return cell_text(c, count, row_, column_);
}

int biff_reader::on_blank(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0;
    if (!c.u16(row) || !c.u16(column)) return kShort;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_LABELSST row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    return book_.put_empty(sheet_, row, column);
}

int biff_reader::on_boolerr(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0;
    uint8_t value = 0, is_error = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.u8(value) || !c.u8(is_error)) return kShort;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_BOOLERR row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    rc = is_error ? book_.put_error(sheet_, row, column, error_text(value))
                  : book_.put_text(sheet_, row, column, boolean_text(value));
    return rc != 0 ? rc : book_.set_cell_format(sheet_, row, column, xf);
}

int biff_reader::on_label(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0, count = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.u16(count)) return kShort;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_FORMULA row/column overflow");
    if (rc != 0) return rc < 0 ? rc : 0;
    // The cell takes its format now: its text may come in later records.
    if ((rc = book_.place_cell(sheet_, row, column)) != 0) return rc;
    if ((rc = book_.set_cell_format(sheet_, row, column, xf)) != 0) return rc;
    row_ = row;
    column_ = column;
    return cell_text(c, count, row, column);
}

int biff_reader::on_note(const unsigned char* data, size_t len) {
    // BIFF8 keeps a comment's text in its TXO; a 5.0/95 NOTE holds it: row,
    // column, the length of the whole text, its first characters; further
    // NOTE records with row 0xFFFF carry the rest, each with its own length.
    if (version_ != 5) return 0;
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, count = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(count)) return kShort;
    const unsigned char* p = nullptr;
    if (row == 0xFFFF) {
        if (last_ != NOTE_TEXT) return 0;  // a piece of no note
        size_t n = std::min<size_t>({count, c.remaining(), text_left_});
        c.bytes(p, n);
        note_bytes_.append(reinterpret_cast<const char*>(p), n);
        text_left_ -= n;
    } else {
        int rc = last_ == NOTE_TEXT ? store_note() : 0;
        if (rc != 0) return rc;
        note_bytes_.clear();
        size_t n = std::min<size_t>(count, c.remaining());
        c.bytes(p, n);
        note_bytes_.assign(reinterpret_cast<const char*>(p), n);
        text_left_ = count - n;
    }
    if (text_left_ > 0) {
        last_ = NOTE_TEXT;
        return 0;
    }
    last_ = NONE;
    return store_note();
}

int biff_reader::store_note() {
    std::string text;
    if (!codepage_to_utf8(codepage_, reinterpret_cast<const unsigned char*>(note_bytes_.data()),
                          note_bytes_.size(), text)) {
        return -2;
    }
    note_bytes_.clear();
    text_left_ = 0;
    return text.empty() ? 0 : book_.add_text_object(sheet_, text);
}

int biff_reader::on_txo(const unsigned char* data, size_t len) {
    last_ = TXO;
    txo_text_.clear();
    // The text's length in characters; the text itself and then its
    // formatting runs follow in CONTINUE records.
    uint16_t count = 0;
    txo_chars_ = read_u16_at(data, len, 10, count) ? count : SIZE_MAX;
    return 0;
}

int biff_reader::on_txo_continue(const unsigned char* data, size_t len) {
    if (txo_chars_ == 0) return 0;  // the formatting runs
    byte_cursor c(data, len);
    const unsigned char* p = nullptr;
    bool wide = false;
    if (version_ == 8) {
        uint8_t option = 0;
        if (!c.u8(option)) return 0;
        if (option > 1) {
            txo_chars_ = 0;  // not a text piece
            txo_text_.clear();
            return 0;
        }
        wide = option == 1;
    }
    size_t n = std::min(txo_chars_, c.remaining() / (wide ? 2 : 1));
    c.bytes(p, n * (wide ? 2 : 1));
    if (wide) {
        for (size_t i = 0; i < n; ++i) txo_text_.push_back(static_cast<char16_t>(p[2 * i] | (p[2 * i + 1] << 8)));
    } else if (version_ == 5) {
        std::u16string w;
        if (!codepage_to_utf16(codepage_, p, n, w)) return -2;
        txo_text_ += w;
    } else {
        for (size_t i = 0; i < n; ++i) txo_text_.push_back(p[i]);
    }
    // A 5.0/95 text, or a length taken from a TXO record too short to hold
    // it, comes in one piece.
    txo_chars_ = (txo_chars_ == SIZE_MAX || version_ == 5) ? 0 : txo_chars_ - n;
    if (txo_chars_ > 0) return 0;
    std::string text;
    if (!utf16_to_utf8(txo_text_, text)) return -2;
    txo_text_.clear();
    return text.empty() ? 0 : book_.add_text_object(sheet_, text);
}

}  // namespace xls
