// The record handler fed a record stream, over a book that keeps what it is
// given with the limits of the real store; then the same stream in pieces of
// 512 bytes (a sector chain), which must come to the same book.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <vector>

#include "biff_book.h"
#include "biff_records.h"
#include "biff_stream.h"

namespace {

struct counting_book : xls::biff_book {
    int sheets = 0, capacity = 8, sst = 0, xfs = 0, numfmts = 0;
    std::vector<int> xf_fmt;
    size_t bytes = 0;
    int sheet_count() const override { return sheets; }
    int sheet_capacity() const override { return capacity; }
    int add_sheet(int index, const std::string& name) override {
        if (index < 0 || index > 65535) return -9;
        if (index >= sheets) sheets = index + 1;
        while (capacity <= index) capacity *= 2;
        bytes += name.size();
        return 0;
    }
    int cell(int s, int r, int c) const {
        return s < 0 || s >= sheets || r < 0 || r >= 65536 || c < 0 || c >= 256 ? -9 : 0;
    }
    int place_cell(int s, int r, int c) override { return cell(s, r, c); }
    int put_number(int s, int r, int c, int, int, double) override { return cell(s, r, c); }
    int put_text(int s, int r, int c, const std::string& t) override {
        bytes += t.size();
        return cell(s, r, c);
    }
    int put_shared_string(int s, int r, int c, int i) override {
        return i < 0 || i >= sst ? -9 : cell(s, r, c);
    }
    int put_empty(int s, int r, int c) override { return cell(s, r, c); }
    int sst_count() const override { return sst; }
    int add_sst(const std::string& t) override {
        bytes += t.size();
        ++sst;
        return 0;
    }
    int xf_count() const override { return xfs; }
    int xf_capacity() const override { return xfs < 16 ? 16 : xfs * 2; }
    int xf_numfmt(int xf) const override { return xf >= 0 && xf < xfs ? xf_fmt[xf] : -1; }
    int add_xf(int id) override {
        xf_fmt.push_back(id);
        ++xfs;
        return 0;
    }
    int numfmt_count() const override { return numfmts; }
    int add_numfmt(int, const std::string& code) override {
        bytes += code.size();
        ++numfmts;
        return 0;
    }
    int add_text_object(int, const std::string& t) override {
        bytes += t.size();
        return 0;
    }
    void message(const std::string& t) override { bytes += t.size(); }
    void log(const std::string& t) override { bytes += t.size(); }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    counting_book book;
    xls::biff_reader reader(book);
    int rc = xls::feed_records(reader, data, size);

    std::vector<xls::stream_piece> sectors;
    for (size_t at = 0; at < size; at += 512) sectors.push_back({data + at, size - at < 512 ? size - at : 512});
    counting_book again;
    xls::biff_reader reader2(again);
    int rc2 = xls::feed_records(reader2, sectors.data(), sectors.size(), nullptr, nullptr);
    if (rc2 != rc || again.sheets != book.sheets || again.sst != book.sst || again.xfs != book.xfs ||
        again.numfmts != book.numfmts || again.bytes != book.bytes)
        abort();
    return 0;
}
