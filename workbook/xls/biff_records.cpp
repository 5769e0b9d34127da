// The record handler (see biff_records.h).
#include "biff_records.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <new>

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

// A record shorter than its fixed fields.
constexpr int kMalformed = -1;

// Cell result of a FORMULA that is not a number: the 0xFFFF marker in the
// last two bytes of the result, the result kind in its first byte and a
// boolean's value or an error's code in its third.
constexpr uint8_t kResultString = 0;
constexpr uint8_t kResultBoolean = 1;
constexpr uint8_t kResultError = 2;

}  // namespace

bool biff_reader::narrow_text(const unsigned char* p, size_t n, std::string& out) const {
    return version_ == 5 ? codepage_to_utf8(codepage_, p, n, out) : latin1_to_utf8(p, n, out);
}

int biff_reader::record(uint16_t type, const unsigned char* data, size_t len, uint64_t offset) {
    if (last_ == SST && type != BIFF_CONTINUE) {
        last_ = NONE;
        int rc = sst_.parse(book_);
        if (rc != 0) return rc;
    }
    if (type != BIFF_CONTINUE && type != BIFF_NAME) {
        if (last_ == TXO && !txo_text_.empty()) {
            // A text object whose CONTINUE records fell short of its length.
            std::string text;
            if (!utf16_to_utf8(txo_text_, text)) return -2;
            txo_text_.clear();
            int rc = book_.add_text_object(sheet_, text);
            if (rc != 0) return rc;
        }
        last_ = NONE;
    }
    try {
        switch (type) {
        case BIFF_BOF: return on_bof(data, len, offset);
        case BIFF_EOF: string_pending_ = false; return 0;
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
            return 0;
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
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

int biff_reader::finish() {
    if (last_ == SST) {
        last_ = NONE;
        return sst_.parse(book_);
    }
    return record(BIFF_EOF, nullptr, 0, 0);  // flushes a pending text object
}

int biff_reader::on_bof(const unsigned char* data, size_t len, uint64_t offset) {
    byte_cursor c(data, len);
    uint16_t version = 0, kind = 0;
    if (!c.u16(version) || !c.u16(kind)) return kMalformed;
    if (!seen_bof_) {
        seen_bof_ = true;
        version_ = version == 0x0500 ? 5 : 8;
    }
    string_pending_ = false;
    // A sheet's substream is matched to its BOUNDSHEET entry by its offset,
    // so that chart and macro sheets before it do not shift the cells; a
    // worksheet without a matching entry takes the next place in order.
    auto at = sheet_at_.find(offset);
    if (kind == 0x0010) {
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
    if (!c.u32(position) || !c.skip(2) || !c.u8(count)) return kMalformed;
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
        // The 5.0/95 layout: 8-bit characters right after the length, kept
        // as they are (the caller shows them unconverted).
        c.seek(7);
        size_t n = std::min<size_t>(count, c.remaining());
        if (c.bytes(p, n)) name.assign(reinterpret_cast<const char*>(p), n);
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
    if (!c.skip(2) || !c.u16(format) || !c.u8(kind)) return kMalformed;
    if (book_.xf_count() >= BIFF_MAX_XF) {
        book_.message(message_buffer_over(book_.xf_count(), "tbx_set_xf() MAX_XF"));
        return -9;
    }
    return book_.add_xf((kind & 0x04) ? -1 : format);
}

int biff_reader::on_format(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t id = 0;
    std::string code;
    const unsigned char* p = nullptr;
    if (!c.u16(id)) return kMalformed;
    if (version_ == 5) {
        uint8_t count = 0;
        if (!c.u8(count)) return kMalformed;
        size_t n = std::min<size_t>(count, c.remaining());
        if (!c.bytes(p, n) || !codepage_to_sjis(codepage_, p, n, code)) return -2;
    } else {
        uint16_t count = 0;
        uint8_t option = 0;
        if (!c.u16(count) || !c.u8(option)) return kMalformed;
        if (option != 0) {
            size_t n = std::min<size_t>(count, c.remaining() / 2);
            if (!c.bytes(p, 2 * n) || !utf16le_to_sjis(p, n, code)) return -2;
        } else {
            size_t n = std::min<size_t>(count, c.remaining());
            c.bytes(p, n);
            code.assign(reinterpret_cast<const char*>(p), n);
            if (code.size() > BIFF_MAX_FORMAT_BYTES) code.clear();
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

int biff_reader::check_cell(unsigned row, unsigned column, const char* position_label,
                            const char* sheet_label) {
    if (row >= BIFF_MAX_ROWS || column >= BIFF_MAX_COLUMNS) {
        book_.message(message_internal(position_label));
        return -9;
    }
    if (sheet_ >= book_.sheet_capacity()) {
        book_.message(message_buffer_over(book_.sheet_capacity(), sheet_label));
        return -9;
    }
    // Cells of a substream without a sheet entry have nowhere to go.
    if (sheet_ >= book_.sheet_count()) return 1;
    return 0;
}

int biff_reader::check_xf(unsigned xf, const char* label) {
    if (static_cast<long long>(xf) >= book_.xf_count()) {
        book_.message(message_buffer_over(book_.xf_capacity(), label));
        return -9;
    }
    return 0;
}

int biff_reader::on_labelsst(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0;
    uint32_t index = 0;
    if (!c.u16(row) || !c.u16(column) || !c.skip(2) || !c.u32(index)) return kMalformed;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_LABELSST row/column overflow", "BIFF_LABELSST sheet");
    if (rc != 0) return rc < 0 ? rc : 0;
    if (static_cast<int32_t>(index) < 0 || static_cast<int32_t>(index) >= book_.sst_count()) {
        book_.message(message_buffer_over(book_.sst_count(), "BIFF_LABELSST sst"));
        return -9;
    }
    return book_.put_shared_string(sheet_, row, column, static_cast<int>(index));
}

int biff_reader::on_number(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0;
    double value = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.f64(value)) return kMalformed;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_NUMBER row/column overflow", "BIFF_NUMBER sheet");
    if (rc != 0) return rc < 0 ? rc : 0;
    // An index outside the cell-format table names no number format.
    if ((rc = check_xf(xf, "BIFF_NUMBER")) != 0) return rc;
    return book_.put_number(sheet_, row, column, book_.xf_numfmt(xf), xf, value);
}

int biff_reader::on_rk(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, xf = 0;
    uint32_t rk = 0;
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.u32(rk)) return kMalformed;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_LABELSST row/column overflow", "BIFF_RK sheet");
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
    int rc = check_cell(row, column, "BIFF_MULRK row/column overflow", "BIFF_MULRK sheet");
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
    if (!c.u16(row) || !c.u16(column) || !c.u16(xf) || !c.bytes(result, 8)) return kMalformed;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_FORMULA row/column overflow", "BIFF_FORMULA sheet");
    if (rc != 0) return rc < 0 ? rc : 0;
    if ((rc = book_.place_cell(sheet_, row, column)) != 0) return rc;
    row_ = row;
    column_ = column;
    if ((rc = check_xf(xf, "BIFF_FORMULA")) != 0) return rc;
    if (result[6] == 0xFF && result[7] == 0xFF) {
        // Not a number: a string arrives in the next STRING record; a
        // boolean or an error shows its text; an empty string leaves the
        // cell empty.
        string_pending_ = result[0] == kResultString;
        if (result[0] == kResultBoolean) return book_.put_text(sheet_, row, column, boolean_text(result[2]));
        if (result[0] == kResultError) return book_.put_text(sheet_, row, column, error_text(result[2]));
        return 0;
    }
    double value;
    byte_cursor r(result, 8);
    r.f64(value);
    return book_.put_number(sheet_, row, column, book_.xf_numfmt(xf), xf, value);
}

int biff_reader::counted_text(byte_cursor& c, uint16_t count, std::string& text) const {
    const unsigned char* p = nullptr;
    if (version_ == 5) {
        size_t n = std::min<size_t>(count, c.remaining());
        if (!c.bytes(p, n) || !narrow_text(p, n, text)) return -2;
    } else {
        uint8_t option = 0;
        if (!c.u8(option)) return kMalformed;
        if (option & 0x01) {
            size_t n = std::min<size_t>(count, c.remaining() / 2);
            if (!c.bytes(p, 2 * n) || !utf16le_to_utf8(p, n, text)) return -2;
        } else {
            size_t n = std::min<size_t>(count, c.remaining());
            if (!c.bytes(p, n) || !latin1_to_utf8(p, n, text)) return -2;
        }
    }
    return 0;
}

int biff_reader::on_string(const unsigned char* data, size_t len) {
    if (!string_pending_) return 0;  // no formula is waiting for it
    string_pending_ = false;
    byte_cursor c(data, len);
    uint16_t count = 0;
    std::string text;
    if (!c.u16(count)) return kMalformed;
    int rc = counted_text(c, count, text);
    if (rc != 0) return rc;
    if (sheet_ >= book_.sheet_count()) return 0;
    return book_.put_text(sheet_, row_, column_, text);
}

int biff_reader::on_blank(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0;
    if (!c.u16(row) || !c.u16(column)) return kMalformed;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_LABELSST row/column overflow", "BIFF_BLANK sheet");
    if (rc != 0) return rc < 0 ? rc : 0;
    return book_.put_empty(sheet_, row, column);
}

int biff_reader::on_boolerr(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0;
    uint8_t value = 0, is_error = 0;
    if (!c.u16(row) || !c.u16(column) || !c.skip(2) || !c.u8(value) || !c.u8(is_error)) return kMalformed;
    string_pending_ = false;
    int rc = check_cell(row, column, "BIFF_BOOLERR row/column overflow", "BIFF_BOOLERR sheet");
    if (rc != 0) return rc < 0 ? rc : 0;
    return book_.put_text(sheet_, row, column, is_error ? error_text(value) : boolean_text(value));
}

int biff_reader::on_label(const unsigned char* data, size_t len) {
    byte_cursor c(data, len);
    uint16_t row = 0, column = 0, count = 0;
    if (!c.u16(row) || !c.u16(column) || !c.skip(2) || !c.u16(count)) return kMalformed;
    string_pending_ = false;
    std::string text;
    int rc = counted_text(c, count, text);
    if (rc != 0) return rc;
    rc = check_cell(row, column, "BIFF_FORMULA row/column overflow", "BIFF_FORMULA sheet");
    if (rc != 0) return rc < 0 ? rc : 0;
    row_ = row;
    column_ = column;
    return book_.put_text(sheet_, row, column, text);
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
