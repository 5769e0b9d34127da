#include "folder_tree.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <unordered_map>

#include "orb_file.h"
#include "platform.h"

namespace {

std::string join(const std::string& a, const std::string& b) {
    if (a.empty()) return b;
    char out[ORB_PATH_MAX];
    if (orb_join_path(out, sizeof out, a.c_str(), b.c_str()) != 0) return "";
    return out;
}

// The last dot's extension of a name, in lower case (ASCII), "" without one.
std::string lower_extension(const std::string& name) {
    size_t dot = name.rfind('.');
    if (dot == std::string::npos) return "";
    std::string e = name.substr(dot + 1);
    for (char& c : e)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return e;
}

std::vector<std::string> components(const std::string& rel) {
    std::vector<std::string> out(1);
    for (char c : rel) {
        if (plat_is_separator(c)) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

// Paths in the order a folder-by-folder walk gives them: component by
// component, each by its bytes.
bool rel_less(const std::string& x, const std::string& y) {
    std::vector<std::string> a = components(x), b = components(y);
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end());
}

// True when path lies inside the folder real_root (both resolved).
bool inside(const std::string& real_root, const std::string& path) {
    std::string prefix = real_root;
    if (prefix.empty()) return false;
    if (!plat_is_separator(prefix.back())) prefix += plat_separator();
    return path.size() > prefix.size() && plat_same_file_name(path.substr(0, prefix.size()), prefix);
}

struct walker {
    folder_tree& out;
    std::string real_root;
    std::string real_temp;  // "" when no run folder can lie in the tree

    // A run's folder of this user's own lying in the tree (TEMP inside it).
    bool is_run_folder(const std::string& folder, const std::string& name) {
        if (real_temp.empty() || name.compare(0, 7, "Vergle-") != 0) return false;
        std::string real;
        if (plat_real_path(folder.c_str(), real) != 0 || !plat_same_file_name(real, real_temp)) return false;
        plat_stamp st;
        std::string full = join(folder, name);
        return plat_stamp_path(full.c_str(), &st) == 0 && st.kind == PLAT_DIR && st.private_to_user;
    }

    void add(const std::string& full, const std::string& rel, const std::string& name) {
        tree_document d;
        d.rel = rel;
        d.path = full;
        d.family = document_name_family(name);
        out.documents.push_back(std::move(d));
    }

    void walk(const std::string& folder, const std::string& rel) {
        std::vector<plat_dirent> entries;
        if (plat_list_dir(folder.c_str(), entries) != 0) {
            out.unreadable.push_back(rel);
            return;
        }
        std::sort(entries.begin(), entries.end(),
                  [](const plat_dirent& x, const plat_dirent& y) { return x.name < y.name; });
        for (const plat_dirent& e : entries) {
            std::string full = join(folder, e.name);
            std::string r = rel.empty() ? e.name : join(rel, e.name);
            if (full.empty() || r.empty()) {
                out.unreadable.push_back(rel.empty() ? e.name : rel + plat_separator() + e.name);
                continue;
            }
            switch (e.kind) {
            case PLAT_DIR:
                if (!is_run_folder(folder, e.name)) walk(full, r);
                break;
            case PLAT_FILE:
            case PLAT_OTHER:  // a FIFO or device named as a document: refused in its place
                if (is_document_name(e.name)) add(full, r, e.name);
                break;
            case PLAT_LINK: {
                std::string target;
                bool resolved = plat_real_path(full.c_str(), target) == 0;
                if (resolved && plat_path_kind(target.c_str()) == PLAT_DIR) {
                    out.links_left_out.push_back(r);
                } else if (is_document_name(e.name)) {
                    if (resolved && inside(real_root, target)) {
                        add(full, r, e.name);
                    } else {
                        out.links_left_out.push_back(r);
                    }
                }
                break;
            }
            case PLAT_NONE: break;  // gone meanwhile
            }
        }
    }
};

uint64_t mix64(uint64_t x) {
    x += 0x9E3779B97F4A7C15ull;
    x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
    x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
    return x ^ (x >> 31);
}

uint64_t fnv(uint64_t h, const char* p, size_t n) {
    for (size_t i = 0; i < n; ++i) {
        h ^= static_cast<unsigned char>(p[i]);
        h *= 0x100000001B3ull;
    }
    return h;
}

// Values of a document's sketch: the smallest of each of as many mixes of
// its lines' hashes.
constexpr size_t SKETCH = 64;

// Documents at least this alike are the same document renamed.
constexpr double CLEARLY_ALIKE = 0.5;

// Beyond this many comparisons of lone documents, only those of the same
// text are paired.
constexpr size_t MAX_SIMILARITY_WORK = size_t{4} << 20;

std::string base_name(const std::string& rel) {
    size_t cut = rel.size();
    while (cut > 0 && !plat_is_separator(rel[cut - 1])) --cut;
    return rel.substr(cut);
}

}  // namespace

int document_name_family(const std::string& name) {
    std::string e = lower_extension(name);
    if (e == "xls" || e == "xlsx" || e == "xlsm") return 1;
    if (e == "docx" || e == "docm") return 2;
    if (e == "pptx" || e == "pptm") return 3;
    return 0;
}

bool is_document_name(const std::string& name) {
    // "~$budget.xlsx": the owner file of a document open in an office
    // program, a few bytes naming who has it open.
    if (name.compare(0, 2, "~$") == 0) return false;
    return document_name_family(name) != 0;
}

int scan_tree(const std::string& root, folder_tree& out, const std::string& temp_folder) {
    out = folder_tree();
    out.root = root;
    walker w{out, "", ""};
    if (plat_real_path(root.c_str(), w.real_root) != 0) return -1;
    if (!temp_folder.empty() && plat_real_path(temp_folder.c_str(), w.real_temp) != 0) w.real_temp.clear();
    std::vector<plat_dirent> probe;
    if (plat_list_dir(root.c_str(), probe) != 0) return -1;
    w.walk(root, "");
    std::stable_sort(out.documents.begin(), out.documents.end(),
                     [](const tree_document& x, const tree_document& y) { return rel_less(x.rel, y.rel); });
    return 0;
}

std::vector<tree_pair> pair_by_path(const folder_tree& a, const folder_tree& b) {
    std::multimap<std::string, long> in_b;
    for (size_t j = 0; j < b.documents.size(); ++j)
        in_b.emplace(plat_file_name_key(b.documents[j].rel), static_cast<long>(j));
    std::vector<bool> taken(b.documents.size(), false);
    std::vector<tree_pair> pairs;
    for (size_t i = 0; i < a.documents.size(); ++i) {
        tree_pair p;
        p.a = static_cast<long>(i);
        auto range = in_b.equal_range(plat_file_name_key(a.documents[i].rel));
        for (auto it = range.first; it != range.second; ++it) {
            if (!taken[static_cast<size_t>(it->second)] &&
                plat_same_file_name(a.documents[i].rel, b.documents[static_cast<size_t>(it->second)].rel)) {
                p.b = it->second;
                taken[static_cast<size_t>(it->second)] = true;
                break;
            }
        }
        pairs.push_back(p);
    }
    for (size_t j = 0; j < b.documents.size(); ++j) {
        if (!taken[j]) pairs.push_back({-1, static_cast<long>(j), false});
    }
    auto rel_of = [&](const tree_pair& p) -> const std::string& {
        return p.b >= 0 ? b.documents[static_cast<size_t>(p.b)].rel : a.documents[static_cast<size_t>(p.a)].rel;
    };
    std::stable_sort(pairs.begin(), pairs.end(),
                     [&](const tree_pair& x, const tree_pair& y) { return rel_less(rel_of(x), rel_of(y)); });
    return pairs;
}

void pair_renamed(const folder_tree& a, const folder_tree& b, std::vector<tree_pair>& pairs) {
    auto eligible = [](const tree_document& d) { return !d.refused && d.digest != 0; };
    std::vector<long> lone_a, lone_b;
    for (const tree_pair& p : pairs) {
        if (p.b < 0 && eligible(a.documents[static_cast<size_t>(p.a)])) lone_a.push_back(p.a);
        if (p.a < 0 && eligible(b.documents[static_cast<size_t>(p.b)])) lone_b.push_back(p.b);
    }
    if (lone_a.empty() || lone_b.empty()) return;
    std::vector<long> match_a(a.documents.size(), -1), match_b(b.documents.size(), -1);
    auto same_name = [&](long i, long j) {
        return plat_same_file_name(base_name(a.documents[static_cast<size_t>(i)].rel),
                                   base_name(b.documents[static_cast<size_t>(j)].rel));
    };

    // The same text.
    std::unordered_multimap<uint64_t, long> by_digest;
    for (long j : lone_b) by_digest.emplace(b.documents[static_cast<size_t>(j)].digest, j);
    for (long i : lone_a) {
        const tree_document& d = a.documents[static_cast<size_t>(i)];
        auto range = by_digest.equal_range(d.digest);
        long best = -1;
        for (auto it = range.first; it != range.second; ++it) {
            long j = it->second;
            if (match_b[static_cast<size_t>(j)] >= 0 || b.documents[static_cast<size_t>(j)].family != d.family) continue;
            if (best < 0 || (same_name(i, j) && !same_name(i, best)) ||
                (same_name(i, j) == same_name(i, best) && j < best))
                best = j;
        }
        if (best >= 0) {
            match_a[static_cast<size_t>(i)] = best;
            match_b[static_cast<size_t>(best)] = i;
        }
    }

    // Clearly alike: each the other's best.
    std::vector<long> rest_a, rest_b;
    for (long i : lone_a)
        if (match_a[static_cast<size_t>(i)] < 0) rest_a.push_back(i);
    for (long j : lone_b)
        if (match_b[static_cast<size_t>(j)] < 0) rest_b.push_back(j);
    if (!rest_a.empty() && !rest_b.empty() && rest_a.size() * rest_b.size() <= MAX_SIMILARITY_WORK) {
        std::vector<long> best_of_a(rest_a.size(), -1), best_of_b(rest_b.size(), -1);
        std::vector<double> score_a(rest_a.size(), 0), score_b(rest_b.size(), 0);
        for (size_t x = 0; x < rest_a.size(); ++x) {
            const tree_document& da = a.documents[static_cast<size_t>(rest_a[x])];
            for (size_t y = 0; y < rest_b.size(); ++y) {
                const tree_document& db = b.documents[static_cast<size_t>(rest_b[y])];
                if (da.family != db.family) continue;
                double s = sketch_similarity(da.sketch, db.sketch);
                if (s < CLEARLY_ALIKE) continue;
                // Ties go to the same file name, then to the first.
                bool name = same_name(rest_a[x], rest_b[y]);
                if (best_of_a[x] < 0 || s > score_a[x] ||
                    (s == score_a[x] && name && !same_name(rest_a[x], rest_b[static_cast<size_t>(best_of_a[x])]))) {
                    best_of_a[x] = static_cast<long>(y);
                    score_a[x] = s;
                }
                if (best_of_b[y] < 0 || s > score_b[y] ||
                    (s == score_b[y] && name && !same_name(rest_a[static_cast<size_t>(best_of_b[y])], rest_b[y]))) {
                    best_of_b[y] = static_cast<long>(x);
                    score_b[y] = s;
                }
            }
        }
        for (size_t x = 0; x < rest_a.size(); ++x) {
            long y = best_of_a[x];
            if (y < 0 || best_of_b[static_cast<size_t>(y)] != static_cast<long>(x)) continue;
            match_a[static_cast<size_t>(rest_a[x])] = rest_b[static_cast<size_t>(y)];
            match_b[static_cast<size_t>(rest_b[static_cast<size_t>(y)])] = rest_a[x];
        }
    }

    std::vector<tree_pair> out;
    out.reserve(pairs.size());
    for (const tree_pair& p : pairs) {
        if (p.b < 0 && match_a[static_cast<size_t>(p.a)] >= 0) continue;
        if (p.a < 0 && match_b[static_cast<size_t>(p.b)] >= 0) {
            out.push_back({match_b[static_cast<size_t>(p.b)], p.b, true});
            continue;
        }
        out.push_back(p);
    }
    pairs.swap(out);
}

bool sketch_text(const std::string& folder, uint64_t& digest, std::vector<uint32_t>& sketch) {
    digest = 0;
    sketch.clear();
    std::vector<plat_dirent> entries;
    if (plat_path_kind(folder.c_str()) == PLAT_NONE) return true;  // no text at all
    if (plat_list_dir(folder.c_str(), entries) != 0) return false;
    std::sort(entries.begin(), entries.end(), [](const plat_dirent& x, const plat_dirent& y) { return x.name < y.name; });
    std::vector<uint64_t> mins(SKETCH, ~uint64_t{0});
    uint64_t h = 0xCBF29CE484222325ull;
    bool any = false;
    std::vector<char> buf(1 << 16);
    for (const plat_dirent& e : entries) {
        if (e.kind != PLAT_FILE) continue;
        plat_file* f = plat_open(join(folder, e.name).c_str(), PLAT_READ);
        if (!f) return false;
        h = fnv(h, e.name.c_str(), e.name.size() + 1);
        uint64_t line = 0xCBF29CE484222325ull;
        bool in_line = false;
        auto end_line = [&] {
            if (!in_line) return;
            for (size_t k = 0; k < SKETCH; ++k) mins[k] = std::min(mins[k], mix64(line ^ (k * 0xD6E8FEB86659FD93ull)));
            line = 0xCBF29CE484222325ull;
            in_line = false;
        };
        size_t n;
        while ((n = plat_read(f, buf.data(), buf.size())) > 0) {
            any = true;
            h = fnv(h, buf.data(), n);
            for (size_t i = 0; i < n; ++i) {
                char c = buf[i];
                if (c == '\n') {
                    end_line();
                } else if (c != '\r') {
                    line = fnv(line, &c, 1);
                    in_line = true;
                }
            }
        }
        end_line();
        plat_close(f);
        h = fnv(h, "", 1);
    }
    if (!any) return true;
    digest = h ? h : 1;
    if (mins[0] != ~uint64_t{0}) {
        sketch.resize(SKETCH);
        for (size_t k = 0; k < SKETCH; ++k) sketch[k] = static_cast<uint32_t>(mins[k] >> 32);
    }
    return true;
}

double sketch_similarity(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.empty() || a.size() != b.size()) return 0;
    size_t same = 0;
    for (size_t k = 0; k < a.size(); ++k) same += a[k] == b[k];
    return static_cast<double>(same) / static_cast<double>(a.size());
}

int make_parent_folders(const std::string& base, const std::string& rel) {
    std::vector<std::string> parts = components(rel);
    std::string at = base;
    for (size_t k = 0; k + 1 < parts.size(); ++k) {
        at = join(at, parts[k]);
        if (at.empty() || plat_make_dir(at.c_str()) < 0) return -1;
    }
    return 0;
}
