// The unpacked package of a Word or PowerPoint document: its members as
// memory files, and the relationships that lead from the package to its main
// part and from a part to the parts it uses.  Not part of the dump's
// interface.
#ifndef OFX_PACKAGE_H
#define OFX_PACKAGE_H

#include <cstddef>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

struct ofx_relationship {
    std::string id;
    std::string type;    // the relationship type, a URI
    std::string target;  // the member the target names, resolved from the package root
};

struct ofx_package {
    char** table = nullptr;
    int capacity = 0;
    int count = 0;  // member names in table, sorted with orb_name_order
    ofx_package() = default;
    ofx_package(const ofx_package&) = delete;
    ofx_package& operator=(const ofx_package&) = delete;
    ~ofx_package();

    // Unpacks the package at path into memory files, growing the name table
    // while the package holds more members.  0 or an orb_unzip_package code.
    int unpack(const char* path);

    // The member's name as stored, found without regard to ASCII letter
    // case; nullptr when there is none.
    const char* stored_name(const std::string& name) const;

    // True when the package holds a member of this name.
    bool has(const std::string& name) const;

    // Reads a member whole.  0; -1 when it is missing; -2 memory.
    int read(const std::string& name, std::string& out) const;

    // Hands a member's bytes to use where they lie in their memory file,
    // without a copy (a document part may be tens of megabytes); use's
    // result, or -1 when the member is missing.
    int with_member(const std::string& name, const std::function<int(const char*, size_t)>& use) const;

    // The relationships of a part ("" for the package's own), in their
    // order; external targets are left out.  Missing or damaged relationship
    // parts give none.
    std::vector<ofx_relationship> relationships(const std::string& part) const;

    // The first target of a relationship whose type ends with type_suffix
    // ("/officeDocument"), or "".
    std::string target(const std::string& part, const char* type_suffix) const;

private:
    // Indexes the members unpacked so far: 0, or -2 for memory.
    int index_members();
    // The stored names by name, and by their ASCII lower-case form (the
    // first in table order): a lookup costs the same in a package of a
    // hundred thousand members as in one of ten.
    std::unordered_map<std::string, const char*> exact_, folded_;
};

// The ids of a presentation's slide list (p:sldIdLst), in order.
std::vector<std::string> ofx_slide_ids(const std::string& presentation_xml);

#endif
