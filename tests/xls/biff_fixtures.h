// Record streams and a recording book for the record-reader tests.
#ifndef VERGLE_TESTS_XLS_BIFF_FIXTURES_H
#define VERGLE_TESTS_XLS_BIFF_FIXTURES_H

#include <cstdint>
#include <cstring>
#include <map>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "biff_book.h"
#include "biff_records.h"
#include "biff_stream.h"

namespace bt {

// Little-endian byte strings.
struct bytes {
    std::string s;
    bytes& u8(unsigned v) { s.push_back(static_cast<char>(v & 0xFF)); return *this; }
    bytes& u16(unsigned v) { return u8(v).u8(v >> 8); }
    bytes& u32(uint32_t v) { return u16(v & 0xFFFF).u16(v >> 16); }
    bytes& f64(double d) {
        uint64_t b;
        std::memcpy(&b, &d, 8);
        return u32(static_cast<uint32_t>(b)).u32(static_cast<uint32_t>(b >> 32));
    }
    bytes& raw(const std::string& t) { s += t; return *this; }
    // UTF-16LE of an ASCII or UTF-16 text.
    bytes& wide(const std::u16string& t) {
        for (char16_t c : t) u16(c);
        return *this;
    }
    operator std::string() const { return s; }
};

// A record stream; add() answers the offset of the record's header.
struct stream {
    std::string s;
    size_t add(uint16_t type, const std::string& data) {
        size_t at = s.size();
        s += bytes().u16(type).u16(static_cast<unsigned>(data.size())).s + data;
        return at;
    }
    void patch32(size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) s[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
    }
};

inline std::string bof(unsigned kind, unsigned version = 0x0600) {
    return bytes().u16(version).u16(kind).u16(0).u16(0).u32(0).u32(0);
}
// BIFF8 BOUNDSHEET with a compressed or UTF-16 name.
inline std::string boundsheet(const std::string& name, uint32_t pos = 0, unsigned kind = 0) {
    return bytes().u32(pos).u8(0).u8(kind).u8(static_cast<unsigned>(name.size())).u8(0).raw(name);
}
inline std::string boundsheet16(const std::u16string& name, uint32_t pos = 0) {
    return bytes().u32(pos).u8(0).u8(0).u8(static_cast<unsigned>(name.size())).u8(1).wide(name);
}
inline std::string xf(unsigned numfmt, bool style = false) {
    return bytes().u16(0).u16(numfmt).u16(style ? 0xFFF5 : 0x0001).raw(std::string(14, '\0'));
}
inline std::string cell(unsigned row, unsigned col, unsigned xf_index = 0) {
    return bytes().u16(row).u16(col).u16(xf_index);
}
inline std::string number(unsigned row, unsigned col, double v, unsigned xf_index = 0) {
    return bytes().raw(cell(row, col, xf_index)).f64(v);
}
inline std::string rk(unsigned row, unsigned col, uint32_t v, unsigned xf_index = 0) {
    return bytes().raw(cell(row, col, xf_index)).u32(v);
}
inline std::string labelsst(unsigned row, unsigned col, uint32_t index) {
    return bytes().raw(cell(row, col)).u32(index);
}
// FORMULA with an 8-byte result and an empty formula.
inline std::string formula(unsigned row, unsigned col, const std::string& result8, unsigned xf_index = 0) {
    return bytes().raw(cell(row, col, xf_index)).raw(result8).u16(0).u32(0).u16(0);
}
inline std::string formula_number(unsigned row, unsigned col, double v, unsigned xf_index = 0) {
    return formula(row, col, bytes().f64(v), xf_index);
}
// Non-number results: 0 string, 1 boolean, 2 error, 3 empty string.
inline std::string formula_special(unsigned row, unsigned col, unsigned kind, unsigned value = 0) {
    return formula(row, col, bytes().u8(kind).u8(0).u8(value).u8(0).u8(0).u8(0).u16(0xFFFF));
}

// A book that records what the reader stores.
struct fake_book : xls::biff_book {
    struct value {
        char kind = 'p';  // p placed, n number, t text, s shared string, e empty
        double number = 0;
        int numfmt = 0, xf = 0, index = 0;
        std::string text;
    };
    std::vector<std::string> sheets;
    int capacity = 10;
    std::map<std::tuple<int, int, int>, value> cells;
    std::vector<std::string> sst;
    std::vector<int> xfs;
    std::vector<std::pair<int, std::string>> numfmts;
    std::vector<std::pair<int, std::string>> objects;
    std::vector<std::string> messages;
    std::vector<std::string> logged;

    int sheet_count() const override { return static_cast<int>(sheets.size()); }
    int sheet_capacity() const override { return capacity; }
    int add_sheet(int index, const std::string& name) override {
        if (index >= static_cast<int>(sheets.size())) sheets.resize(index + 1);
        sheets[index] = name;
        while (capacity <= index) capacity *= 2;
        return 0;
    }
    value& at(int s, int r, int c) { return cells[{s, r, c}]; }
    int place_cell(int s, int r, int c) override {
        at(s, r, c);
        return 0;
    }
    int put_number(int s, int r, int c, int numfmt, int xf, double v) override {
        value& x = at(s, r, c);
        x.kind = 'n';
        x.number = v;
        x.numfmt = numfmt;
        x.xf = xf;
        return 0;
    }
    int put_text(int s, int r, int c, const std::string& t) override {
        value& x = at(s, r, c);
        x.kind = 't';
        x.text = t;
        return 0;
    }
    int put_shared_string(int s, int r, int c, int i) override {
        value& x = at(s, r, c);
        x.kind = 's';
        x.index = i;
        return 0;
    }
    int put_empty(int s, int r, int c) override {
        at(s, r, c).kind = 'e';
        return 0;
    }
    int set_cell_format(int s, int r, int c, int xf) override {
        at(s, r, c).xf = xf;
        return 0;
    }
    int sst_count() const override { return static_cast<int>(sst.size()); }
    int add_sst(const std::string& t) override {
        sst.push_back(t);
        return 0;
    }
    int xf_count() const override { return static_cast<int>(xfs.size()); }
    int xf_capacity() const override {
        int c = 10;
        while (c < static_cast<int>(xfs.size())) c *= 2;
        return c;
    }
    int xf_numfmt(int i) const override { return xfs.at(i); }
    int add_xf(int id) override {
        xfs.push_back(id);
        return 0;
    }
    int numfmt_count() const override { return static_cast<int>(numfmts.size()); }
    int add_numfmt(int id, const std::string& code) override {
        numfmts.emplace_back(id, code);
        return 0;
    }
    int add_text_object(int s, const std::string& t) override {
        objects.emplace_back(s, t);
        return 0;
    }
    // Formulas: kept when keep_formulas, as "status|text|range".
    bool keep_formulas = false;
    std::map<std::tuple<int, int, int>, std::string> formulas;
    bool wants_formulas() const override { return keep_formulas; }
    int put_formula(int s, int r, int c, int status, const std::string& text, const std::string& range) override {
        formulas[{s, r, c}] = std::to_string(status) + "|" + text + "|" + range;
        return 0;
    }

    void message(const std::string& t) override { messages.push_back(t); }
    void log(const std::string& t) override { logged.push_back(t); }

    // Convenience for the tests.
    const value* find(int s, int r, int c) const {
        auto it = cells.find({s, r, c});
        return it == cells.end() ? nullptr : &it->second;
    }
};

inline int feed(fake_book& book, const std::string& s) {
    xls::biff_reader reader(book);
    return xls::feed_records(reader, reinterpret_cast<const unsigned char*>(s.data()), s.size());
}

// The globals every sheet test starts from: a BIFF8 BOF, one General XF
// (index 0) and one BOUNDSHEET, then the worksheet's BOF.
inline stream one_sheet(const std::string& name = "Sheet1") {
    stream st;
    st.add(xls::BIFF_BOF, bof(0x0005));
    st.add(xls::BIFF_XF, xf(0));
    size_t bs = st.add(xls::BIFF_BOUNDSHEET, boundsheet(name));
    st.add(xls::BIFF_EOF, "");
    size_t at = st.add(xls::BIFF_BOF, bof(0x0010));
    st.patch32(bs + 4, static_cast<uint32_t>(at));
    return st;
}

}  // namespace bt

#endif
