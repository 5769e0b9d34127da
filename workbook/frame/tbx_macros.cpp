// The macro project of a book: TABX_open_macros reads the VBA project of the
// book's file (or of another document, or of bytes the caller holds), and
// TABX_macro_num, TABX_macro_name and TABX_macro_text hand out its modules.
//
// Where the project lies: a 97-2003 document keeps it in a storage of its
// compound file ("_VBA_PROJECT_CUR" in a workbook, "Macros" in a Word
// document); an Open XML document keeps it in a package part, usually
// "xl/vbaProject.bin", "word/vbaProject.bin" or "ppt/vbaProject.bin", which
// the relationships of the document's main part name (type ".../vbaProject").
#include <cstring>
#include <new>
#include <string>
#include <string_view>

#include "orb_file.h"
#include "orb_text.h"
#include "orb_zip.h"
#include "platform.h"
#include "tabx.h"
#include "tbx_guard.h"
#include "tbx_keywords.h"
#include "tbx_message.h"
#include "tbx_private.h"
#include "vba_project.h"

struct tbx_macro_project {
    vba::project project;
};

namespace {

// Largest project part read out of a package.
constexpr int64_t kPartLimit = int64_t{256} << 20;

const unsigned char kCompoundSignature[8] = {0xD0, 0xCF, 0x11, 0xE0, 0xA1, 0xB1, 0x1A, 0xE1};

// The value of an attribute in a tag ("" when absent).
std::string attribute(std::string_view tag, std::string_view name) {
    size_t pos = 0;
    while ((pos = tag.find(name, pos)) != std::string_view::npos) {
        size_t after = pos + name.size();
        bool starts = pos > 0 && (tag[pos - 1] == ' ' || tag[pos - 1] == '\t' || tag[pos - 1] == '\n' ||
                                  tag[pos - 1] == '\r');
        size_t eq = after;
        while (eq < tag.size() && tag[eq] == ' ') ++eq;
        if (starts && eq < tag.size() && tag[eq] == '=') {
            size_t q = eq + 1;
            while (q < tag.size() && tag[q] == ' ') ++q;
            if (q < tag.size() && (tag[q] == '"' || tag[q] == '\'')) {
                size_t end = tag.find(tag[q], q + 1);
                if (end != std::string_view::npos) return std::string(tag.substr(q + 1, end - q - 1));
            }
        }
        pos = after;
    }
    return "";
}

bool ends_with(const std::string& s, std::string_view suffix) {
    return s.size() >= suffix.size() && s.compare(s.size() - suffix.size(), suffix.size(), suffix) == 0;
}

// The target of the first relationship of a relationship part whose type
// ends in type_suffix, resolved against folder; "" when there is none.
std::string relationship_target(const std::string& rels, std::string_view type_suffix, std::string_view folder) {
    size_t pos = 0;
    while ((pos = rels.find("<Relationship", pos)) != std::string::npos) {
        size_t end = rels.find('>', pos);
        if (end == std::string::npos) break;
        std::string_view tag(rels.data() + pos, end - pos + 1);
        pos = end;
        if (tag.size() > 13 && tag[13] == 's') continue;  // "<Relationships"
        if (attribute(tag, "TargetMode") == "External") continue;
        if (ends_with(attribute(tag, "Type"), type_suffix)) return orb_package_target(folder, attribute(tag, "Target"));
    }
    return "";
}

// Reads the VBA project part of a package into bytes: "" (and 0) when the
// package has none.  0, or a code of orb_zip_read_member.
int package_project(const std::string& path, std::string& bytes) {
    bytes.clear();
    std::string rels;
    int rc = orb_zip_read_member(path.c_str(), "_rels/.rels", rels, kPartLimit);
    if (rc == -1) return 0;  // no package relationships: no project either
    if (rc != 0) return rc;
    std::string main = relationship_target(rels, "/officeDocument", "");
    if (main.empty()) return 0;
    size_t slash = main.rfind('/');
    std::string folder = slash == std::string::npos ? "" : main.substr(0, slash);
    std::string file = slash == std::string::npos ? main : main.substr(slash + 1);
    std::string main_rels_name = (folder.empty() ? "" : folder + "/") + "_rels/" + file + ".rels";
    rc = orb_zip_read_member(path.c_str(), main_rels_name.c_str(), rels, kPartLimit);
    if (rc == -1) return 0;
    if (rc != 0) return rc;
    std::string part = relationship_target(rels, "/vbaProject", folder);
    if (part.empty()) return 0;
    rc = orb_zip_read_member(path.c_str(), part.c_str(), bytes, kPartLimit);
    return rc == -1 ? 0 : rc;
}

// Reads a project from compound-file bytes into the book.  0, or the
// failure with its message.
int take_project(XLS_BOOK* book, const unsigned char* data, size_t size, const std::string& where) {
    tbx_private* p = tbx_priv(book);
    auto project = std::make_shared<tbx_macro_project>();
    std::string problem;
    int rc = vba::read_project(data, size, project->project, &problem);
    if (rc == vba::PROJECT_NO_MEMORY) return tbx_fail_memory(book);
    if (rc == vba::PROJECT_BROKEN) {
        tbx_message(book, TBX_MSG_MACRO, (where + ": " + problem).c_str());
        return tbx_fail(book, -1);
    }
    p->macros = std::move(project);  // PROJECT_NONE: an empty project
    return 0;
}

int open_macros(XLS_BOOK* book, const char* path_text) {
    tbx_private* p = tbx_priv(book);
    if (!p) return tbx_fail(book, -3);
    p->macros.reset();
    std::string path;
    if (path_text && *path_text) path = plat_native_from_utf8(tbx_to_utf8(p->charset, path_text));
    else path = book->path;
    const std::string shown = plat_utf8_from_native(path);
    if (path.empty()) {
        tbx_message(book, TBX_MSG_OPEN, "");
        return tbx_fail(book, -101);
    }
    // The first bytes tell a compound file from a package.
    unsigned char head[8] = {};
    size_t got = 0;
    if (plat_file* f = plat_open(path.c_str(), PLAT_READ)) {
        got = plat_read(f, head, sizeof head);
        plat_close(f);
    } else {
        tbx_message(book, TBX_MSG_OPEN, shown.c_str());
        return tbx_fail(book, -101);
    }
    if (got == sizeof head && std::memcmp(head, kCompoundSignature, 8) == 0) {
        int status = 0;
        plat_mapping* m = plat_map_file(path.c_str(), &status);
        if (!m) {
            if (status == -2) return tbx_fail_memory(book);
            tbx_message(book, TBX_MSG_OPEN, shown.c_str());
            return tbx_fail(book, -101);
        }
        int rc = take_project(book, plat_mapped_data(m), plat_mapped_size(m), shown);
        plat_unmap_file(m);
        return rc;
    }
    if (got >= 2 && head[0] == 'P' && head[1] == 'K') {
        std::string part;
        int rc = package_project(path, part);
        if (rc == -2) return tbx_fail_memory(book);
        if (rc != 0) {
            tbx_message(book, TBX_MSG_MACRO, (shown + ": the package cannot be read").c_str());
            return tbx_fail(book, -1);
        }
        if (part.empty()) {
            p->macros = std::make_shared<tbx_macro_project>();
            return 0;
        }
        return take_project(book, reinterpret_cast<const unsigned char*>(part.data()), part.size(), shown);
    }
    tbx_message(book, TBX_MSG_UNSUPPORTED, shown.c_str());
    return tbx_fail(book, -4);
}

const vba::module* module_at(XLS_BOOK* book, int index) {
    const tbx_private* p = tbx_priv(book);
    if (!p || !p->macros || index < 0 || static_cast<size_t>(index) >= p->macros->project.modules.size())
        return nullptr;
    return &p->macros->project.modules[static_cast<size_t>(index)];
}

// A text in the caller's character set: 0, or -2.
int in_caller_set(const XLS_BOOK* book, std::string& s) {
    if (tbx_charset(book) == ORB_UTF8) return 0;
    return orb_convert_string(ORB_UTF8, tbx_charset(book), s) == 0 ? 0 : -2;
}

}  // namespace

extern "C" int TABX_open_macros(XLS_BOOK* book, const char* path) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_open_macros()", [&] {
        book->error_code = 0;
        return open_macros(book, path);
    });
}

extern "C" int TABX_open_macros_memory(XLS_BOOK* book, const void* data, long long size) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_open_macros_memory()", [&]() -> int {
        book->error_code = 0;
        tbx_private* p = tbx_priv(book);
        if (!p || (!data && size != 0) || size < 0) return tbx_fail(book, -3);
        p->macros.reset();
        return take_project(book, static_cast<const unsigned char*>(data), static_cast<size_t>(size), "memory");
    });
}

extern "C" int TABX_macro_num(XLS_BOOK* book) {
    if (!book) return 0;
    book->error_code = 0;
    const tbx_private* p = tbx_priv(book);
    return p && p->macros ? static_cast<int>(p->macros->project.modules.size()) : 0;
}

extern "C" int TABX_macro_name(XLS_BOOK* book, int index, char* name, int name_size, int* kind) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_macro_name()", [&]() -> int {
        book->error_code = 0;
        if (name && name_size > 0) name[0] = '\0';
        const vba::module* m = module_at(book, index);
        if (!m) return tbx_fail(book, -801);
        if (kind) *kind = m->kind;
        std::string s = m->name;
        if (in_caller_set(book, s) != 0) return tbx_fail_memory(book);
        if (!name || name_size <= 0 || s.size() >= static_cast<size_t>(name_size)) {
            tbx_message(book, TBX_MSG_BUFFER, name_size, "TABX_macro_name()");
            return tbx_fail(book, -909);
        }
        std::memcpy(name, s.c_str(), s.size() + 1);
        return 0;
    });
}

extern "C" int TABX_macro_text(XLS_BOOK* book, int index, char* text, int text_size, long long* length) {
    if (!book) return -3;
    return tbx_guarded(book, "TABX_macro_text()", [&]() -> int {
        book->error_code = 0;
        if (text && text_size > 0) text[0] = '\0';
        if (length) *length = 0;
        const vba::module* m = module_at(book, index);
        if (!m) return tbx_fail(book, -801);
        if (m->status == vba::MODULE_TOO_LARGE) {
            tbx_message(book, TBX_MSG_BUFFER, static_cast<int>(vba::MODULE_LIMIT), m->name.c_str());
            return tbx_fail(book, -9);
        }
        if (m->status != vba::MODULE_READ) {
            tbx_message(book, TBX_MSG_MACRO, (m->name + ": " + m->problem).c_str());
            return tbx_fail(book, -1);
        }
        std::string s = m->source;
        if (in_caller_set(book, s) != 0) return tbx_fail_memory(book);
        if (length) *length = static_cast<long long>(s.size());
        if (!text || text_size <= 0 || s.size() >= static_cast<size_t>(text_size)) {
            tbx_message(book, TBX_MSG_BUFFER, text_size, "TABX_macro_text()");
            return tbx_fail(book, -909);
        }
        std::memcpy(text, s.c_str(), s.size() + 1);
        return 0;
    });
}
