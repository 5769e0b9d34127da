// Memory files: the process-wide table of named in-memory files.
#include "mfile.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <unordered_map>

#include "orb_file.h"

namespace {

// Names of the records in a table (removed records have no name), so that
// opening a member of a large package does not scan the whole table.
using name_index = std::unordered_map<std::string, Mfile*>;

// The table of one thread.  Each thread has its own, so that books read on
// separate threads never meet in it (two packages hold members of the same
// names).  Plain data, so that a thread's end runs no code of this library:
// the arrays and indexes exist while the thread has records and are freed
// when mcloseall empties the table.
struct mfile_table {
    Mfile** table;  // MFILE_MAX_OPEN_FILES slots
    int table_ct;
    Mfile** side;  // where mcopy sets the table aside
    int side_ct;
    char message[260];
    name_index* index;
    name_index* side_index;
};

thread_local mfile_table t_files;

const int64_t GROWTH_LIMIT = 104857600;  // 100 MiB: above it, steps of 10 MiB
const int64_t LARGE_STEP = 10485760;

bool ensure_tables() {
    if (!t_files.table) t_files.table = static_cast<Mfile**>(std::calloc(MFILE_MAX_OPEN_FILES, sizeof(Mfile*)));
    if (!t_files.side) t_files.side = static_cast<Mfile**>(std::calloc(MFILE_MAX_OPEN_FILES, sizeof(Mfile*)));
    if (!t_files.index) t_files.index = new (std::nothrow) name_index;
    if (!t_files.side_index) t_files.side_index = new (std::nothrow) name_index;
    return t_files.table && t_files.side && t_files.index && t_files.side_index;
}

// Frees the arrays and indexes of a thread whose table and side are empty.
void release_tables() {
    if (t_files.table_ct != 0 || t_files.side_ct != 0) return;
    std::free(t_files.table);
    std::free(t_files.side);
    delete t_files.index;
    delete t_files.side_index;
    t_files.table = t_files.side = nullptr;
    t_files.index = t_files.side_index = nullptr;
}

void set_message(const char* text) {
    std::strncpy(t_files.message, text, sizeof t_files.message - 1);
    t_files.message[sizeof t_files.message - 1] = 0;
}

Mfile* find(const char* name, bool /*skip_removed*/) {
    // Removed records have an empty name, which no open accepts.
    if (!t_files.index) return nullptr;
    auto it = t_files.index->find(name);
    return it == t_files.index->end() ? nullptr : it->second;
}

Mfile* new_record(const char* name) {
    if (t_files.table_ct >= MFILE_MAX_OPEN_FILES) {
        set_message("mopen() Mfile_ct >= MFILE_MAX_OPEN_FILES");
        return nullptr;
    }
    Mfile* f = static_cast<Mfile*>(std::calloc(1, sizeof(Mfile)));
    if (!f) {
        set_message("mopen() malloc()");
        return nullptr;
    }
    std::strcpy(f->name, name);
    f->factor = 2;
    f->increment = 1024;
    return f;
}

bool append(Mfile* f) {
    try {
        (*t_files.index)[f->name] = f;
    } catch (const std::bad_alloc&) {
        set_message("mopen() malloc()");
        return false;
    }
    f->index = t_files.table_ct;
    t_files.table[t_files.table_ct++] = f;
    return true;
}

Mfile* load_disk_file(const char* name) {
    int64_t size = 0;
    int rc = aod_fsze(name, &size);
    if (rc != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "mopen() aod_fsze() rc=%d", rc);
        set_message(text);
        return nullptr;
    }
    Mfile* f = new_record(name);
    if (!f) return nullptr;
    f->data = static_cast<unsigned char*>(std::malloc(size > 0 ? static_cast<size_t>(size) : 1));
    if (!f->data) {
        set_message("mopen() malloc()");
        std::free(f);
        return nullptr;
    }
    ORB_FILE* in = orb_fopen(name, 1);
    if (!in) {
        set_message("mopen() fopen()");
        std::free(f->data);
        std::free(f);
        return nullptr;
    }
    size_t got = size > 0 ? orb_fread(f->data, static_cast<size_t>(size), in) : 0;
    orb_fclose(in);
    if (got != static_cast<size_t>(size)) {
        set_message("mopen() fread()");
        std::free(f->data);
        std::free(f);
        return nullptr;
    }
    f->capacity = size;
    f->size = size;
    if (!append(f)) {
        std::free(f->data);
        std::free(f);
        return nullptr;
    }
    return f;
}

bool rebuild(name_index& index, Mfile** records, int count) {
    try {
        index.clear();
        for (int i = 0; i < count; ++i) {
            if (records[i]->status != MFILE_REMOVED) index[records[i]->name] = records[i];
        }
        return true;
    } catch (const std::bad_alloc&) {
        set_message("mcopy() malloc()");
        return false;
    }
}

}  // namespace

Mfile* mopen(const char* name, const char* mode) {
    t_files.message[0] = 0;
    if (!name || !mode || !*name || std::strlen(name) > MFILE_NAME_MAX) return nullptr;
    bool write = std::strcmp(mode, "wb") == 0;
    if (!write && std::strcmp(mode, "rb") != 0 && std::strcmp(mode, "ab") != 0) return nullptr;
    if (!ensure_tables()) {
        set_message("mopen() malloc()");
        return nullptr;
    }
    if (!write) {
        Mfile* f = find(name, true);
        if (f) {
            f->position = 0;
            f->status = MFILE_OPEN;
            return f;
        }
        return load_disk_file(name);
    }
    Mfile* f = find(name, false);
    bool fresh = false;
    if (f) {
        std::free(f->data);
        f->data = nullptr;
        f->capacity = f->size = f->position = 0;
        std::strcpy(f->name, name);
    } else {
        f = new_record(name);
        if (!f) return nullptr;
        fresh = true;
    }
    f->data = static_cast<unsigned char*>(std::malloc(1024));
    if (!f->data) {
        set_message("mopen() malloc()");
        if (fresh) std::free(f);
        return nullptr;
    }
    f->increment = 1024;
    f->capacity = 1024;
    f->factor = 2;
    f->size = 0;
    f->position = 0;
    f->status = MFILE_OPEN;
    if (fresh && !append(f)) {
        std::free(f->data);
        std::free(f);
        return nullptr;
    }
    return f;
}

size_t mread(void* buf, size_t size, size_t count, Mfile* f) {
    if (!f || !f->data || f->position < 0 || f->position >= f->size) return 0;
    if (size != 0 && count > SIZE_MAX / size) return 0;
    size_t want = size * count;
    size_t left = static_cast<size_t>(f->size - f->position);
    size_t n = want < left ? want : left;
    std::memcpy(buf, f->data + f->position, n);
    f->position += static_cast<int64_t>(n);
    return n;
}

size_t mwrite(const void* buf, size_t size, size_t count, Mfile* f) {
    if (!f || f->position < 0) return 0;
    if (size != 0 && count > SIZE_MAX / size) return 0;
    int64_t bytes = static_cast<int64_t>(size * count);
    if (bytes == 0) return count;
    int64_t needed = f->position + bytes;
    if (needed >= f->capacity - 1 || !f->data) {
        // Grow: the step doubles below 100 MiB and is 10 MiB above; the new
        // step is the smallest multiple of it that makes room.
        int64_t step = f->capacity < GROWTH_LIMIT ? f->increment * f->factor : LARGE_STEP;
        if (step <= 0) step = 1024;
        int64_t k = (needed + 1 - f->capacity + step - 1) / step;
        if (k < 1) k = 1;
        int64_t increment = k * step;
        // realloc grows in place where it can: a large member is not copied
        // at every step.
        unsigned char* grown =
            static_cast<unsigned char*>(std::realloc(f->data, static_cast<size_t>(f->capacity + increment)));
        if (!grown) {
            f->status = MFILE_WRITE_FAILED;
            set_message("mwrite() malloc()");
            return 0;
        }
        f->data = grown;
        f->increment = increment;
        f->capacity += increment;
    }
    std::memcpy(f->data + f->position, buf, static_cast<size_t>(bytes));
    f->position += bytes;
    if (f->position > f->size) f->size = f->position;
    return count;
}

int mreserve(Mfile* f, int64_t bytes) {
    if (!f || bytes < 0) return -1;
    // mwrite grows before the content reaches capacity - 1.
    int64_t want = bytes + 2;
    if (want <= f->capacity && f->data) return 0;
    unsigned char* grown = static_cast<unsigned char*>(std::realloc(f->data, static_cast<size_t>(want)));
    if (!grown) return -1;
    f->data = grown;
    f->capacity = want;
    return 0;
}

int mseek(Mfile* f, int64_t offset, int origin) {
    if (!f) return -1;
    int64_t base;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = f->position; break;
    case 2: base = f->size; break;
    default: return -1;
    }
    int64_t pos = base + offset;
    if (pos < 0 || pos > f->capacity) return -1;
    f->position = pos;
    return 0;
}

int64_t mtell(Mfile* f) {
    if (!f || f->position < 0 || f->position > f->capacity) return -1;
    return f->position;
}

int meof(Mfile* f) { return f && f->position < f->size ? 0 : -1; }

int mclose(Mfile* f) {
    if (!f) return 0;
    f->position = 0;
    f->status = MFILE_CLOSED;
    return 0;
}

int mfree(const char* name) {
    Mfile* f = name ? find(name, false) : nullptr;
    if (!f) return -1;
    std::free(f->data);
    f->data = nullptr;
    f->capacity = f->size = f->position = 0;
    return 0;
}

int mremove(const char* name) {
    if (mfree(name) != 0) return -1;
    Mfile* f = find(name, true);
    t_files.index->erase(f->name);
    f->name[0] = 0;
    f->status = MFILE_REMOVED;
    return 0;
}

int64_t msize(const char* name) {
    Mfile* f = name ? find(name, true) : nullptr;
    return f ? f->size : 0;
}

void mlist(std::vector<std::string>& names) {
    names.clear();
    for (int i = 0; i < t_files.table_ct; ++i) {
        if (t_files.table[i]->status != MFILE_REMOVED) names.push_back(t_files.table[i]->name);
    }
}

int mcount() { return t_files.table_ct; }

const char* merror() { return t_files.message; }

void mcloseall() {
    for (int i = 0; i < t_files.table_ct; ++i) {
        std::free(t_files.table[i]->data);
        std::free(t_files.table[i]);
        t_files.table[i] = nullptr;
    }
    t_files.table_ct = 0;
    if (t_files.index) t_files.index->clear();
    release_tables();
}

int mcopy(int direction) {
    if (direction != 0) mcloseall();  // the records open now give way
    if (!ensure_tables()) {
        set_message("mcopy() malloc()");
        return -1;
    }
    Mfile** from = direction == 0 ? t_files.table : t_files.side;
    int& from_ct = direction == 0 ? t_files.table_ct : t_files.side_ct;
    Mfile** to = direction == 0 ? t_files.side : t_files.table;
    int& to_ct = direction == 0 ? t_files.side_ct : t_files.table_ct;
    name_index& from_index = direction == 0 ? *t_files.index : *t_files.side_index;
    name_index& to_index = direction == 0 ? *t_files.side_index : *t_files.index;
    // Records already set aside stay there when the table is set aside again.
    for (int i = 0; i < from_ct; ++i) {
        Mfile* copy = static_cast<Mfile*>(std::malloc(sizeof(Mfile)));
        if (!copy) {
            set_message("mcopy() malloc()");
            // Keep what is not moved yet in its place: nothing is lost.
            int k = 0;
            for (int j = i; j < from_ct; ++j) from[k++] = from[j];
            from_ct = k;
            rebuild(from_index, from, from_ct);
            rebuild(to_index, to, to_ct);
            return -1;
        }
        *copy = *from[i];
        std::free(from[i]);
        from[i] = nullptr;
        if (to_ct >= MFILE_MAX_OPEN_FILES) {  // cannot happen: both hold at most the table's size
            std::free(copy->data);
            std::free(copy);
            continue;
        }
        copy->index = to_ct;
        to[to_ct++] = copy;
    }
    from_ct = 0;
    from_index.clear();
    bool ok = rebuild(to_index, to, to_ct);
    release_tables();
    return ok ? 0 : -1;
}
