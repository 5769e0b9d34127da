// The VBA project of an Office document (see vba_project.h).
#include "vba_project.h"

#include <new>

#include "biff_text.h"
#include "byte_cursor.h"
#include "cfb.h"
#include "vba_codepages.h"
#include "vba_decompress.h"

namespace vba {

namespace {

// Record ids of the dir stream that the reader uses.
enum : uint16_t {
    DIR_CODEPAGE = 0x0003,
    DIR_PROJECT_NAME = 0x0004,
    DIR_VERSION = 0x0009,        // the one record whose size field lies: 6 bytes follow
    DIR_MODULES = 0x000F,
    DIR_TERMINATOR = 0x0010,
    DIR_MODULE_NAME = 0x0019,
    DIR_STREAM_NAME = 0x001A,
    DIR_MODULE_PROCEDURAL = 0x0021,
    DIR_MODULE_OTHER = 0x0022,   // class, document or form
    DIR_MODULE_END = 0x002B,
    DIR_MODULE_OFFSET = 0x0031,
    DIR_STREAM_NAME_UNICODE = 0x0032,
    DIR_MODULE_NAME_UNICODE = 0x0047,
};

// What the dir stream says of one module.
struct module_entry {
    std::string name;           // in the code page
    std::u16string name_unicode;
    std::string stream;         // in the code page
    std::u16string stream_unicode;
    uint32_t offset = 0;
    bool procedural = true;
};

std::u16string utf16_of(const unsigned char* p, size_t bytes) {
    std::u16string w;
    for (size_t i = 0; i + 1 < bytes; i += 2) w.push_back(static_cast<char16_t>(p[i] | (p[i + 1] << 8)));
    return w;
}

// Reads the decompressed dir stream.  PROJECT_OK or PROJECT_BROKEN.
int read_dir(const std::string& dir, int& codepage, std::string& project_name, std::vector<module_entry>& modules,
             std::string* problem) {
    xls::byte_cursor c(reinterpret_cast<const unsigned char*>(dir.data()), dir.size());
    module_entry* current = nullptr;
    bool in_modules = false;
    while (!c.at_end()) {
        uint16_t id = 0;
        uint32_t size = 0;
        if (!c.u16(id)) break;
        if (id == DIR_VERSION) {
            // Reserved (4), major version (4), minor version (2).
            if (!c.skip(10)) break;
            continue;
        }
        const unsigned char* p = nullptr;
        if (!c.u32(size) || !c.bytes(p, size)) {
            if (problem) *problem = "dir stream: a record runs past its end";
            return PROJECT_BROKEN;
        }
        switch (id) {
        case DIR_CODEPAGE:
            if (size >= 2) codepage = p[0] | (p[1] << 8);
            break;
        case DIR_PROJECT_NAME: project_name.assign(reinterpret_cast<const char*>(p), size); break;
        case DIR_MODULES: in_modules = true; break;
        case DIR_MODULE_NAME:
            if (!in_modules) break;
            modules.emplace_back();
            current = &modules.back();
            current->name.assign(reinterpret_cast<const char*>(p), size);
            break;
        case DIR_MODULE_NAME_UNICODE:
            if (current) current->name_unicode = utf16_of(p, size);
            break;
        case DIR_STREAM_NAME:
            if (current) current->stream.assign(reinterpret_cast<const char*>(p), size);
            break;
        case DIR_STREAM_NAME_UNICODE:
            if (current) current->stream_unicode = utf16_of(p, size);
            break;
        case DIR_MODULE_OFFSET:
            if (current && size >= 4) current->offset = p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t{p[3]} << 24);
            break;
        case DIR_MODULE_PROCEDURAL:
        case DIR_MODULE_OTHER:
            if (current) current->procedural = id == DIR_MODULE_PROCEDURAL;
            break;
        case DIR_MODULE_END: current = nullptr; break;
        case DIR_TERMINATOR: c.seek(c.size()); break;
        default: break;
        }
    }
    if (!in_modules) {
        if (problem) *problem = "dir stream: no module list";
        return PROJECT_BROKEN;
    }
    return PROJECT_OK;  // a missing terminator loses nothing
}

// The module kinds that the PROJECT stream's lines name ("Document=Sheet1/
// &H00000000", "Class=Class1", "BaseClass=UserForm1", "Module=Module1"),
// by module name in the code page.
struct project_kind {
    std::string name;
    int kind;
};

std::vector<project_kind> project_kinds(const std::string& text) {
    std::vector<project_kind> out;
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find_first_of("\r\n", pos);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (!line.empty() && line[0] == '[') break;  // the host's own sections follow
        size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string key = line.substr(0, eq), value = line.substr(eq + 1);
        int kind = 0;
        if (key == "Module") kind = MODULE_STANDARD;
        else if (key == "Class") kind = MODULE_CLASS;
        else if (key == "BaseClass") kind = MODULE_FORM;
        else if (key == "Document") {
            kind = MODULE_DOCUMENT;
            value = value.substr(0, value.find('/'));
        }
        if (kind) out.push_back({value, kind});
    }
    return out;
}

void set_problem(std::string* problem, const std::string& text) {
    if (problem) *problem = text;
}

}  // namespace

bool codepage_text(int codepage, const char* p, size_t n, std::string& out) {
    try {
        if (codepage == 65001) {
            out.assign(p, n);
            return true;
        }
        if (codepage == xls::CP_SHIFT_JIS || codepage == xls::CP_MAC_ROMAN)
            return xls::codepage_to_utf8(codepage, reinterpret_cast<const unsigned char*>(p), n, out);
        // A single-byte Windows code page by its table; the characters of
        // any other (Chinese, Korean) become U+FFFD, ASCII staying as it is.
        const char16_t* high = single_byte_page(codepage);
        std::u16string w(n, u'\0');
        for (size_t i = 0; i < n; ++i) {
            unsigned char c = static_cast<unsigned char>(p[i]);
            w[i] = c < 0x80 ? c : high ? high[c - 0x80] : u'\uFFFD';
        }
        return xls::utf16_to_utf8(w, out);
    } catch (const std::bad_alloc&) {
        return false;
    }
}

int read_project(const xls::compound_file& cf, project& out, std::string* problem) {
    out = project();
    // Where the project lies: the document's root, or one storage below it.
    uint32_t root = 0, vba = 0;
    if (cf.find_child(0, "VBA", &vba) != xls::CFB_OK || !cf.is_storage(vba)) {
        bool found = false;
        for (const char* holder : {"_VBA_PROJECT_CUR", "Macros"}) {
            if (cf.find_child(0, holder, &root) == xls::CFB_OK && cf.is_storage(root) &&
                cf.find_child(root, "VBA", &vba) == xls::CFB_OK && cf.is_storage(vba)) {
                found = true;
                break;
            }
        }
        if (!found) return PROJECT_NONE;
    }
    try {
        uint32_t entry = 0;
        std::vector<unsigned char> bytes;
        if (cf.find_child(vba, "dir", &entry) != xls::CFB_OK || cf.is_storage(entry)) {
            set_problem(problem, "no dir stream");
            return PROJECT_BROKEN;
        }
        int rc = cf.read_stream(entry, bytes);
        if (rc == xls::CFB_NO_MEMORY) return PROJECT_NO_MEMORY;
        if (rc != xls::CFB_OK) {
            set_problem(problem, std::string("dir stream: ") + xls::cfb_status_text(rc));
            return PROJECT_BROKEN;
        }
        std::string dir;
        rc = decompress(bytes.data(), bytes.size(), DIR_LIMIT, dir);
        if (rc == DECOMPRESS_NO_MEMORY) return PROJECT_NO_MEMORY;
        if (rc != DECOMPRESS_OK) {
            set_problem(problem, std::string("dir stream: ") + decompress_status_text(rc));
            return PROJECT_BROKEN;
        }
        std::vector<module_entry> entries;
        std::string project_name;
        rc = read_dir(dir, out.codepage, project_name, entries, problem);
        if (rc != PROJECT_OK) return rc;
        if (!codepage_text(out.codepage, project_name.data(), project_name.size(), out.name)) return PROJECT_NO_MEMORY;

        // The kinds the PROJECT stream tells; without it, class modules
        // cannot be told from document modules and count as classes.
        std::vector<project_kind> kinds;
        if (cf.find_child(root, "PROJECT", &entry) == xls::CFB_OK && !cf.is_storage(entry) &&
            cf.read_stream(entry, bytes) == xls::CFB_OK) {
            kinds = project_kinds(std::string(bytes.begin(), bytes.end()));
        }

        size_t total = 0;
        for (const module_entry& e : entries) {
            module m;
            if (!e.name_unicode.empty()) {
                if (!xls::utf16_to_utf8(e.name_unicode, m.name)) return PROJECT_NO_MEMORY;
            } else if (!codepage_text(out.codepage, e.name.data(), e.name.size(), m.name)) {
                return PROJECT_NO_MEMORY;
            }
            m.kind = e.procedural ? MODULE_STANDARD : MODULE_CLASS;
            for (const project_kind& k : kinds) {
                if (k.name == e.name && (k.kind == MODULE_STANDARD) == e.procedural) m.kind = k.kind;
            }
            uint32_t stream = 0;
            std::u16string stream_name = e.stream_unicode;
            if (stream_name.empty()) {
                for (char ch : e.stream) stream_name.push_back(static_cast<unsigned char>(ch));
            }
            rc = cf.find_child(vba, stream_name, &stream);
            if (rc != xls::CFB_OK || cf.is_storage(stream)) {
                m.status = MODULE_BROKEN;
                m.problem = "no module stream";
            } else if ((rc = cf.read_stream(stream, bytes)) != xls::CFB_OK) {
                if (rc == xls::CFB_NO_MEMORY) return PROJECT_NO_MEMORY;
                m.status = MODULE_BROKEN;
                m.problem = std::string("module stream: ") + xls::cfb_status_text(rc);
            } else if (e.offset > bytes.size()) {
                m.status = MODULE_BROKEN;
                m.problem = "source offset past the stream's end";
            } else {
                std::string raw;
                size_t left = PROJECT_LIMIT - total;
                size_t limit = left < MODULE_LIMIT ? left : MODULE_LIMIT;
                rc = decompress(bytes.data() + e.offset, bytes.size() - e.offset, limit, raw);
                if (rc == DECOMPRESS_NO_MEMORY) return PROJECT_NO_MEMORY;
                if (rc == DECOMPRESS_TOO_LARGE) {
                    m.status = MODULE_TOO_LARGE;
                    m.problem = "source beyond the size limit";
                } else if (rc != DECOMPRESS_OK) {
                    m.status = MODULE_BROKEN;
                    m.problem = std::string("source: ") + decompress_status_text(rc);
                } else {
                    total += raw.size();
                    if (!codepage_text(out.codepage, raw.data(), raw.size(), m.source)) return PROJECT_NO_MEMORY;
                }
            }
            out.modules.push_back(std::move(m));
        }
        return PROJECT_OK;
    } catch (const std::bad_alloc&) {
        return PROJECT_NO_MEMORY;
    }
}

int read_project(const unsigned char* data, size_t size, project& out, std::string* problem) {
    out = project();
    xls::compound_file cf;
    int rc = cf.open(data, size);
    if (rc == xls::CFB_NO_MEMORY) return PROJECT_NO_MEMORY;
    if (rc != xls::CFB_OK) {
        set_problem(problem, std::string("compound file: ") + xls::cfb_status_text(rc));
        return PROJECT_BROKEN;
    }
    return read_project(cf, out, problem);
}

}  // namespace vba
