// The Open XML workbook reader: unpacks the package, reads its workbook,
// shared-string, style, drawing and comment members and feeds every
// worksheet member through the XML scanner into the book.
//
// Members are read in the natural order of their names (sheet2.xml before
// sheet10.xml), so that the workbook-level parts come before the worksheets:
// "docProps/custom.xml", then under "xl/": comments, drawings,
// "sharedStrings.xml", "styles.xml", "workbook.xml", and the worksheets.
// The n-th worksheet read fills sheet n-1; its name comes from the sheet
// list entry whose relationship targets that member.
#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "mfile.h"
#include "orb_cancel.h"
#include "orb_file.h"
#include "orb_text.h"
#include "orb_zip.h"
#include "tbx_readers.h"
#include "tbx_store.h"
#include "xlsx_chart.h"
#include "xlsx_scan.h"

bool xlsx_sheet_name(std::string_view raw, std::string& out);  // part_workbook.cpp

namespace {

constexpr int MEMBER_LIMIT = static_cast<int>(MFILE_MAX_OPEN_FILES) + static_cast<int>(ORB_SLOT_STEP);

struct part_prefix {
    const char* prefix;
    int kind;
};

// Tried in this order; the first match wins.
const part_prefix k_parts[] = {
    {"xl/workbook.xml", PART_WORKBOOK},     {"xl/sharedStrings.xml", PART_SHARED_STRINGS},
    {"xl/worksheets/sheet", PART_WORKSHEET}, {"xl/drawings/drawing", PART_DRAWING},
    {"xl/comments", PART_COMMENTS},          {"xl/styles", PART_STYLES},
    {"docProps/custom.xml", PART_CUSTOM_PROPS},
};

int part_kind_of(const char* name) {
    for (const part_prefix& p : k_parts) {
        if (std::strncmp(name, p.prefix, std::strlen(p.prefix)) == 0) return p.kind;
    }
    return 0;
}

bool starts_with(std::string_view s, std::string_view p) { return s.substr(0, p.size()) == p; }

// The unpacked package: the member names; their contents are memory files
// of the same names, except the worksheets', which are inflated straight
// into the scanner from the package kept open.
struct package {
    char** slots = nullptr;
    int capacity = 0;
    int count = 0;
    orb_package* open = nullptr;

    ~package() {
        orb_package_close(open);
        orb_free_slots(slots, capacity);
    }

    const char* name(int i) const { return slots[i]; }
};

bool is_worksheet(const char* name, void*) { return part_kind_of(name) == PART_WORKSHEET; }

// A member's text: the memory file's content, where it lies.
struct member_text {
    const char* data = nullptr;
    size_t size = 0;
};

int read_member(const package&, const char* name, member_text& out) {
    Mfile* f = mopen(name, "rb");
    if (!f) return -1;
    out.data = f->data ? reinterpret_cast<const char*>(f->data) : "";
    out.size = f->size > 0 ? static_cast<size_t>(f->size) : 0;
    mclose(f);
    return 0;
}

// Unpacks the package into memory files, growing the member list while the
// package holds more.  There is no fallback to files on disk: a package that
// cannot be held in memory is refused (-2), and nothing is ever written
// outside the caller's own places.
int unpack(package& pkg, const char* path, bool from_memory, bool stream_sheets) {
    if (orb_grow_slots(&pkg.slots, 0, &pkg.capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP) != 0)
        return -2;
    for (;;) {
        int count = pkg.capacity;
        if (from_memory) orb_zip_on_memory(0);
        int rc = stream_sheets ? orb_unzip_package_open(path, &count, pkg.slots, is_worksheet, nullptr, &pkg.open)
                               : orb_unzip_package(ORB_UNZIP_MEMORY, path, "", &count, pkg.slots);
        if (from_memory) orb_zip_on_memory(1);
        if (rc == 0) {
            pkg.count = count;
            return 0;
        }
        // A full table: grow it to the declared member count at once (every
        // retry unpacks the package again).  Other limits (a member name too
        // long) are final.
        if (rc == -9 && orb_zip_declared_members() >= pkg.capacity && pkg.capacity < MEMBER_LIMIT) {
            int needed = std::min(orb_zip_declared_members(), MEMBER_LIMIT - 1);
            if (orb_grow_slots(&pkg.slots, needed, &pkg.capacity, 0, ORB_SLOT_SIZE, ORB_SLOT_STEP) != 0)
                return -2;
            continue;
        }
        return rc;
    }
}

// Calls fn(id, target) for every "Relationship" of a relationship part.
template <class Fn>
void each_relationship(std::string_view text, Fn fn) {
    size_t pos = 0;
    while ((pos = text.find("<Relationship", pos)) != std::string_view::npos) {
        size_t end = text.find('>', pos);
        if (end == std::string_view::npos) break;
        std::string_view tag = text.substr(pos, end - pos + 1);
        pos = end;
        if (tag.size() > 13 && tag[13] == 's') continue;  // "<Relationships"
        xml_attrs a(tag);
        std::string_view name, raw, id, target, mode;
        while (a.next(name, raw)) {
            if (name == "Id") id = xml_unquoted(raw);
            else if (name == "Target") target = xml_unquoted(raw);
            else if (name == "TargetMode") mode = xml_unquoted(raw);
        }
        if (mode == "External") continue;
        fn(id, target);
    }
}

// What the relationship parts tell: which sheet each drawing and comments
// member belongs to, and which member each sheet of the list is.
struct package_links {
    std::map<std::string, int> sheet_of_part;      // drawing/comments member -> sheet index
    std::map<std::string, std::string> workbook_targets;  // relationship id -> member
    std::map<std::string, int> worksheet_index;    // worksheet member -> sheet index
    // drawing member -> (relationship id -> chart member)
    std::map<std::string, std::map<std::string, std::string>> drawing_charts;
    std::map<std::string, std::string> chart_sheet_of_drawing;  // drawing member -> chart sheet member
};

// The charts of drawings and the drawings of chart sheets, from their
// relationship parts ("xl/drawings/_rels/drawing1.xml.rels" describes
// "xl/drawings/drawing1.xml").
void read_chart_links(std::string_view name, std::string_view body, package_links& links) {
    static const char k_drawing_rels[] = "xl/drawings/_rels/";
    static const char k_chartsheet_rels[] = "xl/chartsheets/_rels/";
    bool drawing = starts_with(name, k_drawing_rels);
    std::string_view folder = drawing ? "xl/drawings" : "xl/chartsheets";
    std::string_view file = name.substr(drawing ? sizeof k_drawing_rels - 1 : sizeof k_chartsheet_rels - 1);
    if (file.size() <= 5 || file.substr(file.size() - 5) != ".rels") return;
    std::string source = std::string(folder) + "/" + std::string(file.substr(0, file.size() - 5));
    each_relationship(body, [&](std::string_view id, std::string_view target) {
        std::string member = orb_package_target(folder, target);
        if (drawing && starts_with(member, "xl/charts/"))
            links.drawing_charts[source][std::string(id)] = member;
        else if (!drawing && part_kind_of(member.c_str()) == PART_DRAWING)
            links.chart_sheet_of_drawing.emplace(member, source);
    });
}

int read_links(const package& pkg, package_links& links) {
    static const char k_sheet_rels[] = "xl/worksheets/_rels/";
    // The position of each worksheet member among the worksheets read.
    std::map<std::string, int> sheet_index;
    int n = 0;
    for (int i = 0; i < pkg.count; ++i) {
        if (part_kind_of(pkg.name(i)) == PART_WORKSHEET) sheet_index[pkg.name(i)] = n++;
    }
    links.worksheet_index = sheet_index;
    try {
        for (int i = 0; i < pkg.count; ++i) {
            std::string_view name = pkg.name(i);
            bool sheet_rels = starts_with(name, k_sheet_rels);
            bool book_rels = name == "xl/_rels/workbook.xml.rels";
            bool chart_rels = starts_with(name, "xl/drawings/_rels/") || starts_with(name, "xl/chartsheets/_rels/");
            if (!sheet_rels && !book_rels && !chart_rels) continue;
            member_text text;
            int rc = read_member(pkg, pkg.name(i), text);
            if (rc == -2) return -2;
            if (rc != 0) continue;
            std::string_view body(text.data, text.size);
            if (chart_rels) {
                read_chart_links(name, body, links);
                continue;
            }
            if (book_rels) {
                each_relationship(body, [&](std::string_view id, std::string_view target) {
                    links.workbook_targets[std::string(id)] = orb_package_target("xl", target);
                });
                continue;
            }
            // "xl/worksheets/_rels/sheet3.xml.rels" describes "xl/worksheets/sheet3.xml".
            std::string_view file = name.substr(sizeof k_sheet_rels - 1);
            if (file.size() <= 5 || file.substr(file.size() - 5) != ".rels") continue;
            std::string sheet_member = "xl/worksheets/" + std::string(file.substr(0, file.size() - 5));
            auto it = sheet_index.find(sheet_member);
            if (it == sheet_index.end()) continue;
            each_relationship(body, [&](std::string_view, std::string_view target) {
                std::string member = orb_package_target("xl/worksheets", target);
                int kind = part_kind_of(member.c_str());
                if (kind == PART_DRAWING || kind == PART_COMMENTS)
                    links.sheet_of_part.emplace(member, it->second);
            });
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return 0;
}

// The name of the sheet that a worksheet member fills: the sheet list entry
// whose relationship targets it (the first such entry), else the entry at
// its position.  The sheet list is indexed by target once, when the first
// worksheet asks (the workbook part is read before the worksheets), so that
// a book of 40,000 sheets does not search its list 40,000 times.
struct sheet_names {
    std::unordered_map<std::string, size_t> by_member;
    bool indexed = false;

    std::string of(const xlsx_reader& reader, const package_links& links, const std::string& member, int index) {
        if (!indexed) {
            indexed = true;
            for (size_t i = 0; i < reader.sheet_rids.size(); ++i) {
                auto it = links.workbook_targets.find(reader.sheet_rids[i]);
                if (it != links.workbook_targets.end()) by_member.emplace(it->second, i);
            }
        }
        auto it = by_member.find(member);
        if (it != by_member.end()) return reader.sheet_names[it->second];
        if (index >= 0 && static_cast<size_t>(index) < reader.sheet_names.size())
            return reader.sheet_names[static_cast<size_t>(index)];
        return {};
    }
};

int scan_part(XLS_BOOK* book, xlsx_reader& reader, int kind, int sheet, const member_text& text) {
    xml_scan s;
    s.book = book;
    s.reader = &reader;
    s.part = kind;
    s.sheet = sheet;
    return xml_scan_member(s, text.data, text.size);
}

// A worksheet inflated into the scanner piece by piece.
struct sheet_sink : orb_member_sink {
    xml_stream stream;
    int failed = 0;  // the scanner's own result, when it stopped
    explicit sheet_sink(xml_scan& s) : stream(s) {}
    char* space(size_t n) override { return stream.space(n); }
    int add(size_t n) override { return failed = stream.add(n); }
};

// Reads a worksheet member.  A result of the scanner's own (as opposed to
// the package's: a damaged member, the limits, an interrupt) is marked in
// *content_error.
int scan_sheet(XLS_BOOK* book, xlsx_reader& reader, const package& pkg, const char* name, int sheet,
               bool* content_error) {
    xml_scan s;
    s.book = book;
    s.reader = &reader;
    s.part = PART_WORKSHEET;
    s.sheet = sheet;
    sheet_sink sink(s);
    int rc = orb_package_stream(pkg.open, name, sink);
    if (rc == 0) rc = sink.failed = sink.stream.finish();
    *content_error = rc != 0 && rc == sink.failed;
    return rc;
}

// The chart sheet whose drawing this is: its drawing is read onto the
// worksheet before it in the tab order (after it, when none comes before),
// its lines introduced by "【グラフシート】" and the chart sheet's name, so
// that its text stands in the shape section of a sheet that has a file.
int read_chart_sheet(XLS_BOOK* book, xlsx_reader& reader, const package& pkg, const package_links& links,
                     xlsx_charts& charts, const std::string& drawing) {
    const std::string& sheet_member = links.chart_sheet_of_drawing.at(drawing);
    std::vector<std::string> tab;  // the members of the sheet list, in order
    for (const std::string& rid : reader.sheet_rids) {
        auto it = links.workbook_targets.find(rid);
        tab.push_back(it == links.workbook_targets.end() ? std::string() : it->second);
    }
    int pos = -1;
    for (size_t i = 0; i < tab.size() && pos < 0; ++i)
        if (tab[i] == sheet_member) pos = static_cast<int>(i);
    int sheet = 0;
    std::string label = "【グラフシート】";
    if (pos >= 0) {
        label += reader.sheet_names[static_cast<size_t>(pos)];
        bool found = false;
        for (int i = pos - 1; i >= 0 && !found; --i) {
            auto w = links.worksheet_index.find(tab[static_cast<size_t>(i)]);
            if (w != links.worksheet_index.end()) sheet = w->second, found = true;
        }
        for (size_t i = static_cast<size_t>(pos) + 1; i < tab.size() && !found; ++i) {
            auto w = links.worksheet_index.find(tab[i]);
            if (w != links.worksheet_index.end()) sheet = w->second, found = true;
        }
    }
    auto targets = links.drawing_charts.find(drawing);
    charts.targets = targets == links.drawing_charts.end() ? std::map<std::string, std::string>() : targets->second;
    if (tbx_add_drawing(book, 1, sheet, label.c_str()) != 0) return -2;
    member_text text;
    int rc = read_member(pkg, drawing.c_str(), text);
    if (rc != 0) return rc == -2 ? -2 : -1;
    return scan_part(book, reader, PART_DRAWING, sheet, text);
}

int read_members(XLS_BOOK* book, package& pkg, bool release, bool* content_error);

int load(XLS_BOOK* book, const char* path, bool release) {
    if (book->style_keep == 0) tbx_clear_numfmts(book);
    const bool from_memory = book->read_memory == 0;
    package pkg;
    int rc = unpack(pkg, path, from_memory, true);
    if (rc != 0) return rc;
    // A package is refused for what is damaged in it before anything its
    // members say counts: the worksheets not read yet are checked first.
    bool content_error = true;
    rc = read_members(book, pkg, release, &content_error);
    if (rc != 0 && rc != ORB_CANCELLED && content_error) {
        int damaged = orb_package_check_later(pkg.open);
        if (damaged != 0) return damaged;
    }
    return rc;
}

int read_members(XLS_BOOK* book, package& pkg, bool release, bool* content_error) {
    int rc = 0;
    std::sort(pkg.slots, pkg.slots + pkg.count,
              [](const char* a, const char* b) { return orb_name_order(a, b) < 0; });

    package_links links;
    rc = read_links(pkg, links);
    if (rc != 0) return rc;

    // A package without workbook part is some other document.
    bool has_workbook = false;
    for (int i = 0; i < pkg.count; ++i) has_workbook |= part_kind_of(pkg.name(i)) == PART_WORKBOOK;
    if (!has_workbook) return -4;

    xlsx_reader reader;
    xlsx_charts charts;
    charts.read = [&pkg](const std::string& member, std::string& out) {
        member_text t;
        int rc = read_member(pkg, member.c_str(), t);
        if (rc != 0) return rc == -2 ? -2 : -1;
        out.assign(t.data, t.size);
        return 0;
    };
    reader.charts = &charts;
    std::vector<std::string> chart_sheet_drawings;  // read once the sheet list is known
    sheet_names names;
    int sheets_read = 0;
    for (int i = 0; i < pkg.count; ++i) {
        const char* name = pkg.name(i);
        int kind = part_kind_of(name);
        if (kind == 0) continue;
        int sheet = 0;
        if (kind == PART_DRAWING) {
            if (links.chart_sheet_of_drawing.count(name)) {
                chart_sheet_drawings.push_back(name);
                continue;
            }
            auto targets = links.drawing_charts.find(name);
            charts.targets = targets == links.drawing_charts.end() ? std::map<std::string, std::string>()
                                                                   : targets->second;
        }
        if (kind == PART_DRAWING || kind == PART_COMMENTS) {
            auto it = links.sheet_of_part.find(name);
            sheet = it == links.sheet_of_part.end() ? 0 : it->second;
        } else if (kind == PART_STYLES) {
            reader.xf_base = book->xf_count;  // the cell formats start afresh
        } else if (kind == PART_WORKSHEET) {
            sheet = sheets_read;
            rc = tbx_add_sheet(book, sheet);
            if (rc != 0) return rc == -2 ? -2 : -9;
            std::string sheet_name;
            try {
                sheet_name = names.of(reader, links, name, sheet);
            } catch (const std::bad_alloc&) {
                return -2;
            }
            tbx_set_sheet_name(book, sheet, sheet_name.c_str());
        }
        if (kind == PART_WORKSHEET) {
            rc = scan_sheet(book, reader, pkg, name, sheet, content_error);
            if (rc != 0) return rc;
        } else {
            member_text text;
            rc = read_member(pkg, name, text);
            if (rc != 0) return rc == -2 ? -2 : -1;
            rc = scan_part(book, reader, kind, sheet, text);
            if (rc != 0) return rc;
        }
        *content_error = true;
        if (kind == PART_WORKBOOK) {
            book->sheet_count = 0;  // the worksheets fill the sheets
        } else if (kind == PART_WORKSHEET) {
            book->sheet_count = ++sheets_read;
        }
        // The shared strings leave memory as soon as they are read.
        if (kind == PART_SHARED_STRINGS) mfree(name);
    }

    for (const std::string& drawing : chart_sheet_drawings) {
        rc = read_chart_sheet(book, reader, pkg, links, charts, drawing);
        if (rc != 0) return rc;
    }

    // The member list, for a writer of the book.
    for (int i = 0; i < pkg.count; ++i) {
        if (tbx_add_member(book, pkg.name(i)) != 0) return -2;
    }
    if (release) mcloseall();
    return 0;
}

}  // namespace

int tbx_read_excel2007(XLS_BOOK* book, const char* path) {
    if (!book || !path) return -3;
    try {
        return load(book, path, false);
    } catch (const std::bad_alloc&) {
        return -2;
    }
}

int tbx_list_excel2007(XLS_BOOK* book, const char* path) {
    if (!book || !path) return -3;
    package pkg;
    int rc = unpack(pkg, path, book->read_memory == 0, false);
    if (rc != 0) return rc;
    int found = -1;
    for (int i = 0; i < pkg.count && found < 0; ++i) {
        if (starts_with(pkg.name(i), "xl/workbook.xml")) found = i;
    }
    if (found < 0) return 0;
    member_text text;
    rc = read_member(pkg, pkg.name(found), text);
    if (rc != 0) return rc == -2 ? -2 : -1;
    std::string_view body(text.data, text.size);
    size_t pos = body.find("<sheets>");
    if (pos == std::string_view::npos) return 0;
    size_t end = body.find("</sheets>", pos);
    if (end == std::string_view::npos) end = body.size();
    std::string_view list = body.substr(pos, end - pos);
    try {
        size_t i = 0;
        while ((i = list.find("name", i)) != std::string_view::npos) {
            size_t open = list.find('"', i + 4);
            if (open == std::string_view::npos) break;
            size_t close = list.find('"', open + 1);
            if (close == std::string_view::npos) break;
            std::string name;
            if (!xlsx_sheet_name(list.substr(open + 1, close - open - 1), name)) break;
            int index = book->sheet_count;
            rc = tbx_add_sheet(book, index);
            if (rc != 0) return rc == -2 ? -2 : -1;
            tbx_set_sheet_name(book, index, name.c_str());
            i = close + 1;
        }
    } catch (const std::bad_alloc&) {
        return -2;
    }
    return 0;
}
