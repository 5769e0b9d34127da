#include "folder_diff.h"

#include <algorithm>
#include <map>

#include "orb_file.h"
#include "platform.h"

namespace {

// Names with their digit runs compared by value.
bool natural_less(const std::string& x, const std::string& y) {
    size_t i = 0, j = 0;
    auto digit = [](char c) { return c >= '0' && c <= '9'; };
    while (i < x.size() && j < y.size()) {
        if (digit(x[i]) && digit(y[j])) {
            size_t i1 = i, j1 = j;
            while (i1 < x.size() && x[i1] == '0') ++i1;
            while (j1 < y.size() && y[j1] == '0') ++j1;
            size_t i2 = i1, j2 = j1;
            while (i2 < x.size() && digit(x[i2])) ++i2;
            while (j2 < y.size() && digit(y[j2])) ++j2;
            if (i2 - i1 != j2 - j1) return i2 - i1 < j2 - j1;
            int c = x.compare(i1, i2 - i1, y, j1, j2 - j1);
            if (c != 0) return c < 0;
            i = i2, j = j2;
        } else {
            if (x[i] != y[j]) return static_cast<unsigned char>(x[i]) < static_cast<unsigned char>(y[j]);
            ++i, ++j;
        }
    }
    return x.size() - i < y.size() - j || (x.size() - i == y.size() - j && x < y);
}

std::string join(const std::string& folder, const std::string& name) {
    char p[ORB_PATH_MAX];
    if (orb_join_path(p, sizeof p, folder.c_str(), name.c_str()) != 0) return "";
    return p;
}

// Reads one section's text.  False after the message when it cannot be
// read.
bool load(const std::string& folder, const text_section& section, int charset, vergle_ui& ui, std::string& text) {
    std::string path = join(folder, section.file);
    if (!path.empty() && read_written_text(path, charset, text)) return true;
    ui.show_error(ui_format("テキストファイルを読めません。(%s)", path.empty() ? section.file : path), true);
    return false;
}

// A section's text is read when it is compared and let go after, so that
// only one pair of sheets is held at a time; a section found on one side
// only is read once before, for a fingerprint that finds it renamed.
struct fingerprint {
    size_t size = 0, hash = 0;
    bool operator==(const fingerprint& o) const { return size == o.size && hash == o.hash; }
};

}  // namespace

bool folder_sections(const std::string& folder, const std::vector<text_section>& known,
                     std::vector<text_section>& out) {
    std::vector<plat_dirent> entries;
    out.clear();
    if (plat_list_dir(folder.c_str(), entries) != 0) return false;
    std::map<std::string, bool> present;
    for (const plat_dirent& e : entries) {
        if (e.kind == PLAT_FILE) present[e.name] = false;
    }
    for (const text_section& k : known) {
        auto it = present.find(k.file);
        if (it == present.end()) continue;
        if (it->second) {
            for (text_section& o : out) {
                if (o.file == k.file) o.title = k.title;
            }
            continue;
        }
        it->second = true;
        out.push_back(k);
    }
    std::vector<std::string> rest;
    for (const auto& p : present) {
        if (!p.second) rest.push_back(p.first);
    }
    std::sort(rest.begin(), rest.end(), natural_less);
    for (const std::string& r : rest) out.push_back({r, plat_utf8_from_native(r)});
    return true;
}

bool read_written_text(const std::string& path, int charset, std::string& out) {
    out.clear();
    plat_file* f = plat_open(path.c_str(), PLAT_READ);
    if (!f) return false;
    std::string raw;
    char buf[1 << 16];
    size_t n;
    while ((n = plat_read(f, buf, sizeof buf)) > 0) raw.append(buf, n);
    plat_close(f);
    if (charset != 3) {
        std::u16string wide;
        if (!plat_cp932_to_utf16(raw.data(), raw.size(), wide) || !plat_utf16_to_utf8(wide.data(), wide.size(), raw))
            return false;
    }
    out.reserve(raw.size());
    for (size_t i = 0; i < raw.size(); ++i) {
        if (raw[i] == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') continue;
        out += raw[i];
    }
    return true;
}

int diff_folders(const std::string& folder1, const std::vector<text_section>& one,
                 const std::string& folder2, const std::vector<text_section>& two,
                 const folder_diff_options& opt, vergle_ui& ui, std::FILE* out) {
    // Pairs in the order of the second document, with the sections only in
    // the first put where they stood; an unpaired section of the first
    // whose text stands unchanged, unpaired, in the second is paired with it.
    std::map<std::string, size_t> index2;
    for (size_t j = 0; j < two.size(); ++j) index2[two[j].file] = j;
    std::vector<long> partner1(one.size(), -1), partner2(two.size(), -1);
    for (size_t i = 0; i < one.size(); ++i) {
        auto it = index2.find(one[i].file);
        if (it != index2.end()) partner1[i] = static_cast<long>(it->second), partner2[it->second] = static_cast<long>(i);
    }
    std::string ta, tb;
    std::vector<fingerprint> prints2(two.size());
    for (size_t j = 0; j < two.size(); ++j) {
        if (partner2[j] >= 0) continue;
        if (!load(folder2, two[j], opt.charset, ui, tb)) return 2;
        prints2[j] = {tb.size(), std::hash<std::string>{}(tb)};
    }
    for (size_t i = 0; i < one.size(); ++i) {
        if (partner1[i] >= 0) continue;
        if (!load(folder1, one[i], opt.charset, ui, ta)) return 2;
        fingerprint f{ta.size(), std::hash<std::string>{}(ta)};
        for (size_t j = 0; j < two.size(); ++j) {
            if (partner2[j] >= 0 || !(prints2[j] == f)) continue;
            if (!load(folder2, two[j], opt.charset, ui, tb)) return 2;
            if (tb != ta) continue;
            partner1[i] = static_cast<long>(j), partner2[j] = static_cast<long>(i);
            break;
        }
    }

    const bool col = opt.style.colour;
    int result = 0;
    std::string text;
    auto header = [&](const char* sign, const std::string& name, const text_section* s) {
        if (col) text += colour::header;
        text += sign;
        text += s ? name + ": " + s->title : std::string("/dev/null");
        if (col) text += colour::reset;
        text += '\n';
    };
    // One section: 0 shown or the same, 2 after trouble, 1 when quiet and
    // different (the end).
    auto section = [&](const text_section* a, const text_section* b) {
        ta.clear(), tb.clear();
        if ((a && !load(folder1, *a, opt.charset, ui, ta)) || (b && !load(folder2, *b, opt.charset, ui, tb))) return 2;
        if (opt.quiet) {
            if (a && b && ta == tb && a->title == b->title) return 0;
            result = 1;
            return 1;
        }
        text.clear();
        header("--- ", opt.name1, a);
        header("+++ ", opt.name2, b);
        bool differs = write_hunks(split_lines(ta), split_lines(tb), opt.style, text);
        // A sheet added or removed shows its headers even without text.
        if (a && b && !differs && a->title == b->title) return 0;
        result = 1;
        return std::fwrite(text.data(), 1, text.size(), out) == text.size() ? 0 : 2;
    };
    std::vector<bool> done1(one.size(), false);
    size_t i = 0;
    auto flush_first = [&](size_t upto) {
        // Sections of the first document before position upto that are
        // not paired are shown as removed, in their order.
        for (; i < upto && i < one.size(); ++i) {
            if (done1[i] || partner1[i] >= 0) continue;
            done1[i] = true;
            if (int rc = section(&one[i], nullptr)) return rc;
        }
        return 0;
    };
    for (size_t j = 0; j < two.size(); ++j) {
        int rc = 0;
        if (partner2[j] >= 0) {
            size_t p = static_cast<size_t>(partner2[j]);
            rc = flush_first(p);
            done1[p] = true;
            if (rc == 0) rc = section(&one[p], &two[j]);
        } else {
            rc = section(nullptr, &two[j]);
        }
        if (rc) return rc;
    }
    if (int rc = flush_first(one.size())) return rc;
    if (std::fflush(out) != 0) return 2;
    return result;
}
