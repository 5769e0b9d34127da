// Package members and relationships for the dump.
#include "ofx_package.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <map>
#include <string_view>

#include "mfile.h"
#include "ofx_internal.h"
#include "ofx_xml.h"
#include "orb_text.h"
#include "orb_zip.h"

namespace {

// Unpacking tries again with a larger name table while the package declares
// more members, up to what the memory-file table can hold.
constexpr int MEMBER_LIMIT = static_cast<int>(MFILE_MAX_OPEN_FILES) + static_cast<int>(ORB_SLOT_STEP);

const char* const k_content_types = "[Content_Types].xml";

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; }

// A part name in ASCII lower case, as names are matched.
std::string lowered(std::string_view s) {
    std::string out(s);
    for (char& c : out) c = lower(c);
    return out;
}

bool ends_with_nocase(std::string_view s, std::string_view suffix) {
    if (s.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i)
        if (lower(s[s.size() - suffix.size() + i]) != lower(suffix[i])) return false;
    return true;
}

// The content types of the package's parts: which members hold text.
struct content_types {
    bool known = false;                          // the package lists them
    std::map<std::string, std::string> defaults;  // extension (lower case) -> type
    std::map<std::string, std::string> parts;     // part name without "/" (lower case) -> type

    void read(const char* xml, size_t len) {
        ofx_xml x(xml, len);
        for (ofx_xml::token t; (t = x.next()) != ofx_xml::DONE && t != ofx_xml::BAD_END;) {
            if (t != ofx_xml::START || x.ns() != OFX_NS_CT) continue;
            std::string type, key;
            if (!x.attr(OFX_NS_NONE, "ContentType", &type)) continue;
            if (x.local() == "Default" && x.attr(OFX_NS_NONE, "Extension", &key)) {
                defaults[lowered(key)] = type;
                known = true;
            } else if (x.local() == "Override" && x.attr(OFX_NS_NONE, "PartName", &key)) {
                parts[lowered(key.size() > 0 && key[0] == '/' ? key.substr(1) : key)] = type;
                known = true;
            }
        }
    }

    // Relationships and every part of an XML content type hold text;
    // pictures, media, fonts, embedded packages and binaries do not.
    bool text(const char* name) const {
        std::string_view n(name);
        if (n == k_content_types || ends_with_nocase(n, ".rels")) return true;
        if (known) {
            std::string key = lowered(n);
            auto p = parts.find(key);
            std::string type;
            if (p != parts.end()) {
                type = p->second;
            } else {
                size_t dot = key.rfind('.');
                size_t slash = key.rfind('/');
                if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) {
                    auto d = defaults.find(key.substr(dot + 1));
                    if (d != defaults.end()) type = d->second;
                }
            }
            if (!type.empty()) return ends_with_nocase(type, "xml");
        }
        return ends_with_nocase(n, ".xml");
    }
};

bool only_content_types(const char* name, void*) { return std::strcmp(name, k_content_types) == 0; }

bool holds_text(const char* name, void* arg) { return static_cast<const content_types*>(arg)->text(name); }

}  // namespace

ofx_package::~ofx_package() { orb_free_slots(table, capacity); }

int ofx_package::unpack(const char* path) {
    int rc = orb_grow_slots(&table, 0, &capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP);
    if (rc != 0) return rc;
    // The content types first: they tell which members hold text.  Only
    // those are inflated; a video of gigabytes costs nothing.
    content_types types;
    bool first = true;
    for (;;) {
        count = capacity;
        rc = first ? orb_unzip_package_if(ORB_UNZIP_MEMORY, path, "", &count, table, only_content_types, nullptr)
                   : orb_unzip_package_if(ORB_UNZIP_MEMORY, path, "", &count, table, holds_text, &types);
        if (rc == 0 && first) {
            first = false;
            if (index_members() != 0) return -2;
            with_member(k_content_types, [&](const char* xml, size_t size) {
                types.read(xml, size);
                return 0;
            });
            continue;
        }
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
    return index_members() != 0 ? -2 : 0;
}

int ofx_package::index_members() {
    try {
        exact_.clear();
        folded_.clear();
        for (int i = 0; i < count; ++i) {
            exact_.emplace(table[i], table[i]);
            folded_.emplace(lowered(table[i]), table[i]);
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
    auto fold = folded_.find(lowered(name));
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
    with_member(folder + "_rels/" + file + ".rels", [&](const char* xml, size_t size) {
        ofx_xml x(xml, size);
        for (ofx_xml::token t; (t = x.next()) != ofx_xml::DONE && t != ofx_xml::BAD_END;) {
            if (t != ofx_xml::START || x.ns() != OFX_NS_PKG_REL || x.local() != "Relationship") continue;
            std::string mode, target;
            if (x.attr(OFX_NS_NONE, "TargetMode", &mode) && mode == "External") continue;
            if (!x.attr(OFX_NS_NONE, "Target", &target)) continue;
            ofx_relationship r;
            x.attr(OFX_NS_NONE, "Id", &r.id);
            x.attr(OFX_NS_NONE, "Type", &r.type);
            r.target = orb_package_target(folder, target);
            out.push_back(std::move(r));
        }
        return 0;
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
    ofx_xml x(presentation_xml.data(), presentation_xml.size());
    for (ofx_xml::token t; (t = x.next()) != ofx_xml::DONE && t != ofx_xml::BAD_END;) {
        if (t != ofx_xml::START || x.ns() != OFX_NS_P || x.local() != "sldId") continue;
        std::string id;
        if (x.attr(OFX_NS_R, "id", &id)) ids.push_back(id);
    }
    return ids;
}
