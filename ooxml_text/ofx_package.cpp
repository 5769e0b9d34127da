// Package members and relationships for the dump.
#include "ofx_package.h"

#include <algorithm>
#include <cstring>
#include <new>

#include "mfile.h"
#include "ofx_internal.h"
#include "orb_text.h"
#include "orb_zip.h"

namespace {

// Unpacking tries again with a larger name table while the package declares
// more members, up to what the memory-file table can hold.
constexpr int MEMBER_LIMIT = static_cast<int>(MFILE_MAX_OPEN_FILES) + static_cast<int>(ORB_SLOT_STEP);

bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// A part name in ASCII lower case, as names are matched.
std::string folded(const char* name) {
    std::string f = name;
    for (char& c : f)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    return f;
}


// Calls f(tag start, tag end) for every start or empty tag whose local name
// is `local` (any prefix).
template <typename F>
void each_tag(const std::string& xml, const char* local, F f) {
    size_t n = std::strlen(local);
    const char* s = xml.c_str();
    const char* end = s + xml.size();
    for (const char* p = s; (p = static_cast<const char*>(std::memchr(p, '<', end - p))) != nullptr; ++p) {
        const char* name = p + 1;
        const char* q = name;
        while (q < end && !is_blank(*q) && *q != '/' && *q != '>') ++q;
        const char* colon = static_cast<const char*>(std::memchr(name, ':', q - name));
        const char* l = colon ? colon + 1 : name;
        if (static_cast<size_t>(q - l) != n || std::memcmp(l, local, n) != 0) continue;
        const char* gt = static_cast<const char*>(std::memchr(q, '>', end - q));
        if (!gt) return;
        f(p, gt);
    }
}

}  // namespace

ofx_package::~ofx_package() { orb_free_slots(table, capacity); }

int ofx_package::unpack(const char* path) {
    int rc = orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP);
    if (rc != 0) return rc;
    for (;;) {
        count = capacity;
        rc = orb_unzip_package(ORB_UNZIP_MEMORY, path, "", &count, table);
        if (rc == -9 && orb_zip_declared_members() >= capacity && capacity < MEMBER_LIMIT) {
            // A full table: grow it to the declared member count at once.
            int needed = std::min(orb_zip_declared_members(), MEMBER_LIMIT - 1);
            if (orb_grow_slots(&table, needed, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP) != 0) return -2;
            continue;
        }
        if (rc != 0) {
            count = 0;
            return rc;
        }
        break;
    }
    std::stable_sort(table, table + count, [](const char* a, const char* b) { return orb_name_order(a, b) < 0; });
    try {
        exact_.clear();
        folded_.clear();
        for (int i = 0; i < count; ++i) {
            exact_.emplace(table[i], table[i]);
            folded_.emplace(folded(table[i]), table[i]);
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return 0;
}

// Part names compare without regard to ASCII letter case; an exact match
// wins.
const char* ofx_package::stored_name(const std::string& name) const {
    auto exact = exact_.find(name);
    if (exact != exact_.end()) return exact->second;
    auto fold = folded_.find(folded(name.c_str()));
    return fold == folded_.end() ? nullptr : fold->second;
}

bool ofx_package::has(const std::string& name) const { return stored_name(name) != nullptr; }

int ofx_package::with_member(const std::string& name, const std::function<int(const char*, size_t)>& use) const {
    const char* stored = stored_name(name);
    if (!stored) return -1;
    Mfile* f = mopen(stored, "rb");
    if (!f) return -1;
    int rc = use(reinterpret_cast<const char*>(f->data), f->data ? static_cast<size_t>(f->size) : 0);
    mclose(f);
    return rc;
}

int ofx_package::read(const std::string& name, std::string& out) const {
    return with_member(name, [&](const char* bytes, size_t size) {
        try {
            out.assign(bytes, size);
        } catch (...) {
            return -2;
        }
        return 0;
    });
}

std::vector<ofx_relationship> ofx_package::relationships(const std::string& part) const {
    std::vector<ofx_relationship> out;
    size_t slash = part.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : part.substr(0, slash + 1);
    std::string file = slash == std::string::npos ? part : part.substr(slash + 1);
    std::string xml;
    if (read(folder + "_rels/" + file + ".rels", xml) != 0) return out;
    each_tag(xml, "Relationship", [&](const char* p, const char* gt) {
        std::string mode, target;
        if (ofx_attribute(p, gt, "TargetMode", &mode) && mode == "External") return;
        if (!ofx_attribute(p, gt, "Target", &target)) return;
        ofx_relationship r;
        ofx_attribute(p, gt, "Id", &r.id);
        ofx_attribute(p, gt, "Type", &r.type);
        r.target = orb_package_target(folder, target);
        out.push_back(std::move(r));
    });
    return out;
}

std::string ofx_package::target(const std::string& part, const char* type_suffix) const {
    size_t n = std::strlen(type_suffix);
    for (const ofx_relationship& r : relationships(part))
        if (r.type.size() >= n && r.type.compare(r.type.size() - n, n, type_suffix) == 0) return r.target;
    return std::string();
}

std::vector<std::string> ofx_slide_ids(const std::string& presentation_xml) {
    std::vector<std::string> ids;
    each_tag(presentation_xml, "sldId", [&](const char* p, const char* gt) {
        std::string id;
        if (ofx_attribute(p, gt, ":id", &id)) ids.push_back(id);
    });
    return ids;
}
