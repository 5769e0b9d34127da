// The store: owners of the sheet, row and cell memory and of the book-wide
// tables, and the primitives that grow them.
#include "tbx_store.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "cell_format.h"
#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"
#include "tbx_private.h"

namespace {

char* dup_text(const char* text, size_t len) {
    char* p = static_cast<char*>(std::malloc(len + 1));
    if (!p) return nullptr;
    std::memcpy(p, text, len);
    p[len] = '\0';
    return p;
}

// The blocks of every text pool of the process, sorted by address, so that
// a text can be told to belong to one (tbx_free_cell_text).
struct pool_registry {
    std::mutex lock;
    std::vector<std::pair<uintptr_t, uintptr_t>> blocks;  // [begin, end)
};

pool_registry& registry() {
    static pool_registry* r = new pool_registry;
    return *r;
}

bool in_blocks(const std::vector<std::pair<uintptr_t, uintptr_t>>& blocks, const void* p) {
    uintptr_t a = reinterpret_cast<uintptr_t>(p);
    auto it = std::upper_bound(blocks.begin(), blocks.end(), std::make_pair(a, UINTPTR_MAX));
    return it != blocks.begin() && a < std::prev(it)->second;
}

}  // namespace

// A book's text pool (see tbx_pool_text).
struct tbx_text_pool {
    enum { BLOCK = 256 * 1024, LARGEST = 1024 };
    std::vector<std::pair<uintptr_t, uintptr_t>> blocks;  // sorted, [begin, end)
    char* next = nullptr;
    size_t left = 0;

    char* take(size_t n) {
        if (n > LARGEST) return nullptr;
        if (n > left) {
            char* b = static_cast<char*>(std::malloc(BLOCK));
            if (!b) return nullptr;
            std::pair<uintptr_t, uintptr_t> range(reinterpret_cast<uintptr_t>(b),
                                                  reinterpret_cast<uintptr_t>(b) + BLOCK);
            try {
                blocks.insert(std::upper_bound(blocks.begin(), blocks.end(), range), range);
                pool_registry& r = registry();
                std::lock_guard<std::mutex> g(r.lock);
                r.blocks.insert(std::upper_bound(r.blocks.begin(), r.blocks.end(), range), range);
            } catch (const std::bad_alloc&) {
                blocks.erase(std::remove(blocks.begin(), blocks.end(), range), blocks.end());
                std::free(b);
                return nullptr;
            }
            next = b;
            left = BLOCK;
        }
        char* p = next;
        next += n;
        left -= n;
        return p;
    }

    bool owns(const void* p) const { return !blocks.empty() && in_blocks(blocks, p); }

    ~tbx_text_pool() {
        if (blocks.empty()) return;
        pool_registry& r = registry();
        std::lock_guard<std::mutex> g(r.lock);
        for (const auto& range : blocks) {
            auto it = std::lower_bound(r.blocks.begin(), r.blocks.end(), range);
            if (it != r.blocks.end() && *it == range) r.blocks.erase(it);
            std::free(reinterpret_cast<void*>(range.first));
        }
    }
};

namespace {

void free_cell_texts(XLS_CELL& c, const tbx_text_pool* pool) {
    if ((c.flags & TABX_CELL_TEXT) && c.text && !(pool && pool->owns(c.text))) std::free(c.text);
    c.flags = 0;
    c.number = 0;
}

void init_cells(XLS_CELL* cells, int from, int to) {
    for (int i = from; i < to; ++i) {
        cells[i] = XLS_CELL{};
        cells[i].type = TBX_EMPTY;
    }
}

void init_row(XLS_ROW& r) {
    r = XLS_ROW{};
    r.format = 0xFFFF;
    r.flags[0] = r.flags[1] = r.flags[2] = 0xFF;
}

}  // namespace

// One sheet's rows.  Cell arrays are malloc'd (they grow with realloc) and
// freed, with their texts, by the destructor.
struct tbx_sheet_rows {
    std::vector<XLS_ROW> rows;
    const tbx_text_pool* pool = nullptr;  // the book's, which outlives the rows
    // The row whose cells were allocated last (-1: none yet).  Rows of a sheet
    // tend to be alike, so a new row starts with as many slots as that row
    // uses (see tbx_ensure_cell).
    int last_started = -1;
    ~tbx_sheet_rows() {
        for (XLS_ROW& r : rows) {
            const int held = r.columns ? r.count : r.capacity;
            for (int c = 0; c < held; ++c) free_cell_texts(r.cells[c], pool);
            std::free(r.cells);
            std::free(r.columns);
        }
    }
};

struct tbx_object {
    XLS_OBJECT_TEXT text{};
    ~tbx_object() { std::free(text.text); }
};

// Owner of everything the store allocates.
struct tbx_store_owner {
    tbx_text_pool pool;  // first: freed after the rows whose texts it holds
    std::vector<XLS_SHEET> sheets;
    std::vector<std::unique_ptr<tbx_sheet_rows>> rows;  // parallel to sheets
    std::vector<XLS_SST> sst;
    std::vector<XLS_XF> xf;
    std::vector<XLS_NUMFMT> numfmt;
    std::vector<std::string> numfmt_utf8;  // parallel to numfmt: the codes as written
    std::vector<XLS_DRAWING> drawings;
    std::vector<std::unique_ptr<tbx_object>> objects;
    std::vector<char*> members;
    int64_t slot_bytes = 0;  // bytes of all row and cell arrays (see slot_budget)

    ~tbx_store_owner() {
        for (XLS_SST& s : sst) {
            if (!pool.owns(s.text)) std::free(s.text);
        }
        for (char* m : members) std::free(m);
    }

    // Writes the table addresses and counts back into the book.
    void publish(XLS_BOOK* b, int sheet_count) {
        b->sheets = sheets.empty() ? nullptr : sheets.data();
        b->sheet_count = sheet_count;
        b->sheet_capacity = static_cast<int>(sheets.size());
        b->sst = sst.empty() ? nullptr : sst.data();
        b->sst_count = static_cast<int>(sst.size());
        b->xf = xf.empty() ? nullptr : xf.data();
        b->xf_count = static_cast<int>(xf.size());
        b->xf_capacity = static_cast<int>(xf.capacity());
        b->numfmt = numfmt.empty() ? nullptr : numfmt.data();
        b->numfmt_count = static_cast<int>(numfmt.size());
        b->drawings = drawings.empty() ? nullptr : drawings.data();
        b->drawing_count = static_cast<int>(drawings.size());
        b->members = members.empty() ? nullptr : members.data();
        b->member_count = static_cast<int>(members.size());
    }
};

tbx_private::tbx_private() = default;
tbx_private::~tbx_private() = default;

namespace {

tbx_store_owner* owner_of(const XLS_BOOK* book) {
    tbx_private* p = tbx_priv(book);
    return p ? p->store.get() : nullptr;
}

void init_sheet(XLS_SHEET& s, int index) {
    s = XLS_SHEET{};
    s.index = index;
    s.margin_side = 1.9;
    s.margin_top = 1.8;
    s.margin_header = 0.8;
    s.zoom = 100;
}

// The row and cell arrays of all sheets together may take at most
// min(physical memory / 4, 4 GiB) (4 GiB when the memory cannot be
// queried).  A document names rows and columns, not how much memory they
// cost: one self-closing cell element of a dozen bytes at column XFD makes
// its row take 16385 cell records, and a sheet with one cell in its last row
// takes a million row records, so without a bound a file of a few megabytes
// (and its compressed package of far less) could ask for terabytes.  Growth
// beyond the budget is refused like any failed allocation (-2), before it is
// attempted.
std::atomic<int64_t> g_slot_budget_override{0};  // tests

int64_t slot_budget() {
    int64_t over = g_slot_budget_override;
    if (over > 0) return over;
    static const int64_t budget = [] {
        const int64_t ceiling = int64_t{4} << 30;
        uint64_t phys = plat_physical_memory();
        return phys == 0 ? ceiling : std::min<int64_t>(static_cast<int64_t>(phys / 4), ceiling);
    }();
    return budget;
}

// Accounts for an array growth of `bytes`: false when it would pass the budget.
bool take_slots(tbx_store_owner* o, int64_t bytes) {
    if (bytes > slot_budget() - o->slot_bytes) return false;
    o->slot_bytes += bytes;
    return true;
}

// Capacity after growth: first (from 0) or doubled, at least needed + 1,
// at most limit.
int64_t grown(int64_t capacity, int64_t needed, int64_t first, int64_t limit) {
    int64_t c = capacity == 0 ? first : capacity * 2;
    if (c <= needed) c = needed + 1;
    return c > limit ? limit : c;
}

}  // namespace

int tbx_alloc_private(XLS_BOOK* book) {
    if (book->priv) return 0;
    auto* p = new (std::nothrow) tbx_private();
    if (!p) return -2;
    p->store.reset(new (std::nothrow) tbx_store_owner());
    if (!p->store) {
        delete p;
        return -2;
    }
    book->priv = p;
    return 0;
}

int tbx_book_init(XLS_BOOK* book, bool legacy) {
    tbx_release_store(book);
    std::memset(book->path, 0, sizeof book->path);
    book->legacy_save = book->read_memory = book->write_memory = 0xFF;
    book->raw_display = book->macro = book->style_keep = 0xFF;
    book->writer_row = book->writer_column = 0;
    std::memset(book->writer_counters, 0, sizeof book->writer_counters);
    std::memset(book->temp_path, 0, sizeof book->temp_path);
    book->max_rows = legacy ? 65536 : 1048576;
    book->max_columns = legacy ? 256 : 16384;
    book->max_formula_len = 32768;
    book->max_text_len = 65534;
    book->format = legacy ? 11 : 12;
    std::snprintf(book->company, sizeof book->company, "%s", "MyCompany");
    std::snprintf(book->author, sizeof book->author, "%s", "MyName");
    book->sheet = book->row = book->column = 0;
    std::memset(book->writer_state, 0, sizeof book->writer_state);
    std::memset(book->reader_state, 0, sizeof book->reader_state);
    tbx_store_owner* o = owner_of(book);
    if (!o) return -2;
    try {
        o->sheets.reserve(TBX_FIRST_SHEETS);
        o->sheets.resize(TBX_FIRST_SHEETS);
        o->rows.resize(TBX_FIRST_SHEETS);
    } catch (const std::bad_alloc&) {
        return -2;
    }
    for (int i = 0; i < TBX_FIRST_SHEETS; ++i) init_sheet(o->sheets[i], i);
    o->publish(book, 0);
    return 0;
}

void tbx_release_store(XLS_BOOK* book) {
    if (!book) return;
    if (tbx_private* p = tbx_priv(book)) {
        p->formats.reset();
        p->formula_table.reset();
        p->store.reset(new (std::nothrow) tbx_store_owner());
        if (p->store) p->store->publish(book, 0);
    }
    if (!tbx_priv(book) || !tbx_priv(book)->store) {
        book->sheets = nullptr;
        book->sheet_count = book->sheet_capacity = 0;
        book->sst = nullptr;
        book->sst_count = 0;
        book->xf = nullptr;
        book->xf_count = book->xf_capacity = 0;
        book->numfmt = nullptr;
        book->numfmt_count = 0;
        book->drawings = nullptr;
        book->drawing_count = 0;
        book->members = nullptr;
        book->member_count = 0;
    }
    if (book->temp_path[0]) {
        plat_remove_file(book->temp_path);
        book->temp_path[0] = '\0';
    }
}

void tbx_free_private(XLS_BOOK* book) {
    if (!book) return;
    tbx_release_store(book);
    delete tbx_priv(book);
    book->priv = nullptr;
    tbx_release_store(book);  // the book's table pointers become null
}

char* tbx_work_buffer(XLS_BOOK* book) {
    tbx_private* p = tbx_priv(book);
    if (!p) return nullptr;
    if (p->work.empty()) {
        try {
            p->work.resize(TBX_RENDER_BUF);
        } catch (const std::bad_alloc&) {
            return nullptr;
        }
    }
    return p->work.data();
}

int tbx_add_sheet(XLS_BOOK* book, int index, XLS_SHEET** sheet) {
    tbx_store_owner* o = owner_of(book);
    if (!o || index < 0) return -3;
    if (index >= TBX_MAX_SHEETS) return -9;
    int count = book->sheet_count;
    int64_t cap = static_cast<int64_t>(o->sheets.size());
    try {
        if (index >= cap) {
            int64_t n = grown(cap, index, TBX_FIRST_SHEETS, TBX_MAX_SHEETS);
            o->sheets.reserve(n);
            o->rows.reserve(n);
            size_t old = o->sheets.size();
            o->sheets.resize(n);
            o->rows.resize(n);
            for (size_t i = old; i < o->sheets.size(); ++i) init_sheet(o->sheets[i], (int)i);
        }
        for (int i = count; i <= index; ++i) {
            if (!o->rows[i]) {
                auto r = std::make_unique<tbx_sheet_rows>();
                r->pool = &o->pool;
                r->rows.resize(TBX_FIRST_ROWS);
                for (XLS_ROW& row : r->rows) init_row(row);
                o->rows[i] = std::move(r);
            }
            init_sheet(o->sheets[i], i);
            o->sheets[i].rows = o->rows[i]->rows.data();
            o->sheets[i].row_capacity = TBX_FIRST_ROWS;
        }
    } catch (const std::bad_alloc&) {
        o->publish(book, count);
        return -2;
    }
    if (index >= count) count = index + 1;
    o->publish(book, count);
    if (sheet) *sheet = &o->sheets[index];
    return 0;
}

void tbx_set_slot_budget(int64_t bytes) { g_slot_budget_override = bytes > 0 ? bytes : 0; }

int tbx_set_sheet_name(XLS_BOOK* book, int index, const char* name) {
    if (!owner_of(book) || index < 0 || index >= book->sheet_count || !name) return -3;
    size_t len = std::strlen(name);
    if (len > TBX_SHEET_NAME_MAX) {
        len = TBX_SHEET_NAME_MAX;
        // Do not cut a UTF-8 character in two.
        while (len > 0 && (static_cast<unsigned char>(name[len]) & 0xC0) == 0x80) --len;
    }
    char* dst = book->sheets[index].name;
    std::memcpy(dst, name, len);
    dst[len] = '\0';
    return 0;
}

int tbx_ensure_row(XLS_BOOK* book, int sheet, int row, XLS_ROW** out) {
    tbx_store_owner* o = owner_of(book);
    if (!o || sheet < 0 || sheet >= book->sheet_count || row < 0) return -3;
    if (row >= TBX_ROW_LIMIT) return -9;
    tbx_sheet_rows& rows = *o->rows[sheet];
    XLS_SHEET& s = o->sheets[sheet];
    if (row >= s.row_capacity) {
        int64_t n = grown(s.row_capacity, row, TBX_FIRST_ROWS, TBX_ROW_LIMIT);
        if (!take_slots(o, (n - s.row_capacity) * static_cast<int64_t>(sizeof(XLS_ROW)))) return -2;
        try {
            size_t old = rows.rows.size();
            rows.rows.resize(n);
            for (size_t i = old; i < rows.rows.size(); ++i) init_row(rows.rows[i]);
        } catch (const std::bad_alloc&) {
            o->slot_bytes -= (n - s.row_capacity) * static_cast<int64_t>(sizeof(XLS_ROW));
            return -2;
        }
        s.rows = rows.rows.data();
        s.row_capacity = static_cast<int>(n);
    }
    if (row >= s.used_rows) s.used_rows = row + 1;
    if (out) *out = &s.rows[row];
    return 0;
}

namespace {

// Dense and sparse rows (see tbx_store.h): a dense row stays dense while it
// has at most DENSE_SMALL slots or at most DENSE_PER_CELL for each cell that
// holds something; a sparse row turns dense once it holds a cell for every
// SPARSE_PER_CELL columns below its used count.  The gap between the two
// keeps a row from turning back and forth.
enum { DENSE_SMALL = 64, DENSE_PER_CELL = 64, SPARSE_PER_CELL = 16, SPARSE_FIRST = 4 };

const XLS_CELL k_empty_cell = [] {
    XLS_CELL c{};
    c.type = TBX_EMPTY;
    return c;
}();

bool holds_something(const XLS_CELL& c) { return c.type != TBX_EMPTY || c.flags != 0; }

int filled(const XLS_ROW& r) {
    int n = 0;
    for (int c = 0; c < r.used; ++c) n += holds_something(r.cells[c]) ? 1 : 0;
    return n;
}

constexpr int64_t SPARSE_SLOT = static_cast<int64_t>(sizeof(XLS_CELL) + sizeof(unsigned short));

// The index of the first cell of a sparse row at or after column.
int lower(const XLS_ROW& r, int column) {
    return static_cast<int>(std::lower_bound(r.columns, r.columns + r.count, column) - r.columns);
}

// Accounts for arrays that change from old_bytes to new_bytes: false when
// the growth would pass the budget.
bool resize_slots(tbx_store_owner* o, int64_t old_bytes, int64_t new_bytes) {
    if (new_bytes > old_bytes) return take_slots(o, new_bytes - old_bytes);
    o->slot_bytes -= old_bytes - new_bytes;
    return true;
}

// A dense row turns sparse: its cells that hold something, with their
// columns, room for a few more.
int to_sparse(tbx_store_owner* o, XLS_ROW& r) {
    const int k = filled(r);
    const int cap = std::max<int>(SPARSE_FIRST, 2 * k);
    if (!resize_slots(o, r.capacity * static_cast<int64_t>(sizeof(XLS_CELL)), cap * SPARSE_SLOT)) return -2;
    XLS_CELL* cells = static_cast<XLS_CELL*>(std::malloc(sizeof(XLS_CELL) * cap));
    unsigned short* columns = static_cast<unsigned short*>(std::malloc(sizeof(unsigned short) * cap));
    if (!cells || !columns) {
        std::free(cells);
        std::free(columns);
        resize_slots(o, cap * SPARSE_SLOT, r.capacity * static_cast<int64_t>(sizeof(XLS_CELL)));
        return -2;
    }
    int n = 0;
    for (int c = 0; c < r.used; ++c) {
        if (!holds_something(r.cells[c])) continue;
        cells[n] = r.cells[c];
        columns[n++] = static_cast<unsigned short>(c);
    }
    std::free(r.cells);
    r.cells = cells;
    r.columns = columns;
    r.count = static_cast<unsigned short>(n);
    r.capacity = static_cast<unsigned short>(cap);
    return 0;
}

// A sparse row turns dense with `slots` slots (at least its used count).
int to_dense(tbx_store_owner* o, XLS_ROW& r, int slots) {
    if (!resize_slots(o, r.capacity * SPARSE_SLOT, slots * static_cast<int64_t>(sizeof(XLS_CELL)))) return -2;
    XLS_CELL* cells = static_cast<XLS_CELL*>(std::malloc(sizeof(XLS_CELL) * slots));
    if (!cells) {
        resize_slots(o, slots * static_cast<int64_t>(sizeof(XLS_CELL)), r.capacity * SPARSE_SLOT);
        return -2;
    }
    init_cells(cells, 0, slots);
    for (int i = 0; i < r.count; ++i) cells[r.columns[i]] = r.cells[i];
    std::free(r.cells);
    std::free(r.columns);
    r.cells = cells;
    r.columns = nullptr;
    r.count = 0;
    r.capacity = static_cast<unsigned short>(slots);
    return 0;
}

// The cell of a sparse row at column, made when missing.
int sparse_cell(tbx_store_owner* o, XLS_ROW& r, int column, XLS_CELL** out) {
    int i = lower(r, column);
    if (i < r.count && r.columns[i] == column) {
        if (out) *out = &r.cells[i];
        return 0;
    }
    const int used = std::max<int>(r.used, column + 1);
    if ((r.count + 1) * static_cast<int64_t>(SPARSE_PER_CELL) >= used) {
        int rc = to_dense(o, r, used);
        if (rc != 0) return rc;
        r.used = static_cast<unsigned short>(used);
        if (out) *out = &r.cells[column];
        return 0;
    }
    if (r.count == r.capacity) {
        const int cap = std::min<int>(2 * r.capacity, TBX_CELL_LIMIT);
        if (!take_slots(o, (cap - r.capacity) * SPARSE_SLOT)) return -2;
        void* cells = std::realloc(r.cells, sizeof(XLS_CELL) * cap);
        if (cells) r.cells = static_cast<XLS_CELL*>(cells);
        void* columns = cells ? std::realloc(r.columns, sizeof(unsigned short) * cap) : nullptr;
        if (columns) r.columns = static_cast<unsigned short*>(columns);
        if (!cells || !columns) {
            o->slot_bytes -= (cap - r.capacity) * SPARSE_SLOT;
            return -2;
        }
        r.capacity = static_cast<unsigned short>(cap);
    }
    std::memmove(r.cells + i + 1, r.cells + i, sizeof(XLS_CELL) * (r.count - i));
    std::memmove(r.columns + i + 1, r.columns + i, sizeof(unsigned short) * (r.count - i));
    init_cells(r.cells, i, i + 1);
    r.columns[i] = static_cast<unsigned short>(column);
    ++r.count;
    r.used = static_cast<unsigned short>(used);
    if (out) *out = &r.cells[i];
    return 0;
}

}  // namespace

int tbx_ensure_cell(XLS_BOOK* book, int sheet, int row, int column, XLS_CELL** out) {
    if (column < 0) return -3;
    if (column >= TBX_CELL_LIMIT) return -9;
    XLS_ROW* r = nullptr;
    int rc = tbx_ensure_row(book, sheet, row, &r);
    if (rc != 0) return rc;
    tbx_store_owner* o = owner_of(book);
    if (r->columns) return sparse_cell(o, *r, column, out);
    if (column >= r->capacity) {
        // A row's first slots: as many as the row started before it uses
        // (at most DENSE_SMALL; none after a sparse row), or for the sheet's
        // first row as many as the cell needs.  Every row getting 10 would
        // cost a million-cell sheet of 5 columns twice the memory its cells
        // need.
        tbx_sheet_rows& rows = *o->rows[sheet];
        int first = 1;
        if (r->capacity == 0) {
            if (rows.last_started >= 0 && rows.last_started != row) {
                const XLS_ROW& before = rows.rows[rows.last_started];
                if (!before.columns) first = std::max<int>(1, std::min<int>(before.used, DENSE_SMALL));
            }
            rows.last_started = row;
        }
        int64_t n = grown(r->capacity, column, first, TBX_CELL_LIMIT);
        // Few cells far apart: the row keeps its cells, not its width.
        if (n > DENSE_SMALL && n > DENSE_PER_CELL * static_cast<int64_t>(filled(*r) + 1)) {
            rc = to_sparse(o, *r);
            return rc != 0 ? rc : sparse_cell(o, *r, column, out);
        }
        const int64_t more = (n - r->capacity) * static_cast<int64_t>(sizeof(XLS_CELL));
        if (!take_slots(o, more)) return -2;
        void* p = std::realloc(r->cells, sizeof(XLS_CELL) * n);
        if (!p) {
            o->slot_bytes -= more;
            return -2;
        }
        r->cells = static_cast<XLS_CELL*>(p);
        init_cells(r->cells, r->capacity, static_cast<int>(n));
        r->capacity = static_cast<unsigned short>(n);
    }
    if (column >= r->used) r->used = static_cast<unsigned short>(column + 1);
    if (out) *out = &r->cells[column];
    return 0;
}

XLS_CELL* tbx_find_cell(const XLS_BOOK* book, int sheet, int row, int column) {
    if (!book || sheet < 0 || sheet >= book->sheet_count || !book->sheets) return nullptr;
    const XLS_SHEET& s = book->sheets[sheet];
    if (row < 0 || row >= s.used_rows) return nullptr;
    const XLS_ROW& r = s.rows[row];
    if (column < 0 || column >= r.used) return nullptr;
    if (!r.columns) return &r.cells[column];
    int i = lower(r, column);
    return i < r.count && r.columns[i] == column ? &r.cells[i] : nullptr;
}

const XLS_CELL* tbx_row_cell(const XLS_ROW& r, int column) {
    if (column < 0 || column >= r.used) return nullptr;
    if (!r.columns) return &r.cells[column];
    int i = lower(r, column);
    return i < r.count && r.columns[i] == column ? &r.cells[i] : &k_empty_cell;
}

int tbx_row_columns(const XLS_ROW& r) {
    if (r.columns) {
        for (int i = r.count; i > 0; --i)
            if (r.cells[i - 1].type != TBX_EMPTY) return r.columns[i - 1] + 1;
        return 0;
    }
    int n = r.used;
    while (n > 0 && r.cells[n - 1].type == TBX_EMPTY) --n;
    return n;
}

int tbx_add_sst(XLS_BOOK* book, const char* text, int len, int* index) {
    tbx_store_owner* o = owner_of(book);
    if (!o || len < 0 || (!text && len > 0)) return -3;
    // From the text pool when the text fits there (it stays in its block
    // when the push fails), else from the heap.
    const char* from = text ? text : "";
    char* copy = o->pool.take(static_cast<size_t>(len) + 1);
    const bool pooled = copy != nullptr;
    if (copy) {
        std::memcpy(copy, from, static_cast<size_t>(len));
        copy[len] = '\0';
    } else if (!(copy = dup_text(from, static_cast<size_t>(len)))) {
        return -2;
    }
    try {
        o->sst.push_back(XLS_SST{0, len, copy});
    } catch (const std::bad_alloc&) {
        if (!pooled) std::free(copy);
        return -2;
    }
    if (index) *index = static_cast<int>(o->sst.size()) - 1;
    o->publish(book, book->sheet_count);
    return 0;
}

int tbx_add_xf(XLS_BOOK* book, int numfmt_id, int* index) {
    tbx_store_owner* o = owner_of(book);
    if (!o) return -3;
    try {
        o->xf.push_back(XLS_XF{numfmt_id, 0, 0, 0, 0});
    } catch (const std::bad_alloc&) {
        return -2;
    }
    if (index) *index = static_cast<int>(o->xf.size()) - 1;
    o->publish(book, book->sheet_count);
    return 0;
}

namespace {

// Appends a number format given in both character sets.
int add_numfmt(XLS_BOOK* book, int id, const std::string& sjis, std::string utf8) {
    tbx_store_owner* o = owner_of(book);
    if (o->numfmt.size() >= TBX_MAX_NUMFMTS) return -9;
    XLS_NUMFMT f{};
    f.id = static_cast<short>(id);
    // The record's own field keeps 255 bytes, cut before a character.
    size_t n = sjis.size();
    if (n > 255) {
        n = 0;
        for (;;) {
            size_t len = 1 + static_cast<size_t>(orb_mb_len(ORB_SJIS, static_cast<unsigned char>(sjis[n])));
            if (n + len > 255) break;
            n += len;
        }
    }
    std::memcpy(f.code, sjis.data(), n);
    f.code[n] = '\0';
    f.type = static_cast<short>(classify_format_code(sjis.c_str()));
    try {
        o->numfmt_utf8.reserve(o->numfmt.size() + 1);
        o->numfmt.push_back(f);
        o->numfmt_utf8.push_back(std::move(utf8));
    } catch (const std::bad_alloc&) {
        if (o->numfmt.size() > o->numfmt_utf8.size()) o->numfmt.pop_back();
        return -2;
    }
    o->publish(book, book->sheet_count);
    return 0;
}

}  // namespace

int tbx_add_numfmt(XLS_BOOK* book, int id, const char* code) {
    if (!owner_of(book) || !code) return -3;
    try {
        std::string utf8 = code;
        if (orb_convert_string(ORB_SJIS, ORB_UTF8, utf8) != 0) return -2;
        return add_numfmt(book, id, code, std::move(utf8));
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

int tbx_add_numfmt_utf8(XLS_BOOK* book, int id, const char* code) {
    if (!owner_of(book) || !code) return -3;
    try {
        std::string sjis = code;
        if (orb_convert_string(ORB_UTF8, ORB_SJIS, sjis) != 0) return -2;
        return add_numfmt(book, id, sjis, code);
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

const char* tbx_numfmt_code(const XLS_BOOK* book, int index) {
    const tbx_store_owner* o = owner_of(book);
    if (!o || index < 0 || static_cast<size_t>(index) >= o->numfmt_utf8.size()) return "";
    return o->numfmt_utf8[static_cast<size_t>(index)].c_str();
}

void tbx_clear_numfmts(XLS_BOOK* book) {
    tbx_store_owner* o = owner_of(book);
    if (!o) return;
    o->numfmt.clear();
    o->numfmt_utf8.clear();
    o->publish(book, book->sheet_count);
}

int tbx_add_drawing(XLS_BOOK* book, int kind, int sheet, const char* text) {
    tbx_store_owner* o = owner_of(book);
    if (!o) return -3;
    try {
        XLS_DRAWING d{kind, sheet, nullptr};
        if (text) {
            auto obj = std::make_unique<tbx_object>();
            size_t len = std::strlen(text);
            obj->text.tag = TBX_OBJECT_TEXT;
            obj->text.length = static_cast<int>(len);
            obj->text.text = dup_text(text, len);
            if (!obj->text.text) return -2;
            d.data = &obj->text;
            o->objects.push_back(std::move(obj));
        }
        o->drawings.push_back(d);
    } catch (const std::bad_alloc&) {
        return -2;
    }
    o->publish(book, book->sheet_count);
    return 0;
}

char* tbx_pool_text(XLS_BOOK* book, const char* text, size_t len) {
    tbx_store_owner* o = owner_of(book);
    if (!o) return nullptr;
    char* p = o->pool.take(len + 1);
    if (!p) return nullptr;
    if (len) std::memcpy(p, text, len);
    p[len] = '\0';
    return p;
}

void tbx_free_cell_text(char* text) {
    if (!text) return;
    {
        pool_registry& r = registry();
        std::lock_guard<std::mutex> g(r.lock);
        if (in_blocks(r.blocks, text)) return;
    }
    std::free(text);
}

int tbx_add_member(XLS_BOOK* book, const char* path) {
    tbx_store_owner* o = owner_of(book);
    if (!o || !path) return -3;
    char* copy = dup_text(path, std::strlen(path));
    if (!copy) return -2;
    try {
        o->members.push_back(copy);
    } catch (const std::bad_alloc&) {
        std::free(copy);
        return -2;
    }
    o->publish(book, book->sheet_count);
    return 0;
}
