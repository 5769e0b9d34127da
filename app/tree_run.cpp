// The run of two folders: both trees walked, every document dumped by a pool
// of threads into two text trees that mirror the folders, the documents
// paired, and the two text trees compared.
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "mfile.h"
#include "orb_file.h"
#include "platform.h"
#include "run_internal.h"

namespace {

// The file that stands in a refused document's text folder, holding the
// reason, so that a folder-compare program shows it in the document's place.
const char* const REFUSED_FILE = "比較できません";

// At most this many refused documents are named in the one message shown
// before a folder-compare program starts.
constexpr size_t REFUSALS_LISTED = 20;

// One thing a dump reported, kept until its document is done.
struct pool_event {
    enum kind_t { ERROR, SHEET, BEGUN, ENDED, WRITTEN } kind;
    std::string text;  // message; sheet name; document
    std::string folder;
    bool owned = false;
    int sheet = 0, sheets = 0;  // WRITTEN: sheet holds the rows
    std::vector<sheet_break> breaks{};
};

// A document done: what its dump reported, in order.
struct pool_batch {
    int rc = -1;
    std::vector<pool_event> events;
};

// A dump's retry question, answered by the run's thread.
struct pool_question {
    std::string text;
    bool answered = false, answer = false;
};

struct pool_shared {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> cancel{false};  // set by the run's thread; read between sheets
    std::atomic<size_t> next{0};      // the next job to take
    std::deque<pool_batch> batches;   // under lock
    std::deque<pool_question*> questions;
    unsigned finished = 0;            // workers that took their last job
};

// The interface a dump in the pool talks to.  What it would show is kept
// with its document and handed on by the run's thread once the document is
// done, so that the documents' reports never mix; a question waits for the
// run's thread to answer it.  Without threads (direct set), questions and
// pumping go to the run's own interface.
struct pool_channel : vergle_ui {
    pool_shared& shared;
    vergle_ui* direct;
    std::vector<pool_event> events;

    pool_channel(pool_shared& sh, vergle_ui* d) : shared(sh), direct(d) {}

    void show_error(const std::string& text, bool owned) override {
        events.push_back({pool_event::ERROR, text, "", owned});
    }
    bool ask_retry(const std::string& text) override {
        if (direct) return direct->ask_retry(text);
        pool_question q{text};
        std::unique_lock<std::mutex> g(shared.lock);
        shared.questions.push_back(&q);
        shared.changed.notify_all();
        shared.changed.wait(g, [&] { return q.answered; });
        return q.answer;
    }
    bool pump_one_message() override {
        if (direct && !direct->pump_one_message()) shared.cancel = true;
        return !shared.cancel;
    }
    bool interrupted() override { return shared.cancel || (direct && direct->interrupted()); }
    void sheet_begun(int sheet, int sheets, const std::string& name_utf8) override {
        events.push_back({pool_event::SHEET, name_utf8, "", false, sheet, sheets});
    }
    void sheet_written(int rows, const std::vector<sheet_break>& breaks) override {
        pool_event e{pool_event::WRITTEN, "", "", false, rows};
        e.breaks = breaks;
        events.push_back(std::move(e));
    }
    void document_begun(const std::string& document, const std::string& folder) override {
        events.push_back({pool_event::BEGUN, document, folder});
    }
    void document_ended() override { events.push_back({pool_event::ENDED, "", ""}); }
};

// One document to dump.
struct tree_job {
    int side;
    size_t doc;
    bool sketch;  // alone at its path: its text is sketched for pair_renamed
};

// The name of a text tree: the folder's own name (the resolved one for
// "." or ".."), else "folder".
std::string tree_name(const std::string& root) {
    std::string r = root;
    while (r.size() > 1 && plat_is_separator(r.back())) r.pop_back();
    size_t cut = r.size();
    while (cut > 0 && !plat_is_separator(r[cut - 1])) --cut;
    std::string name = r.substr(cut);
    if (name.empty() || name == "." || name == ".." || (name.size() == 2 && name[1] == ':')) {
        std::string real;
        name.clear();
        if (plat_real_path(root.c_str(), real) == 0) {
            while (!real.empty() && plat_is_separator(real.back())) real.pop_back();
            cut = real.size();
            while (cut > 0 && !plat_is_separator(real[cut - 1])) --cut;
            name = real.substr(cut);
            if (name.size() == 2 && name[1] == ':') name.clear();
        }
    }
    return name.empty() ? "folder" : name;
}

std::string joined(const std::string& a, const std::string& b) {
    char out[ORB_PATH_MAX];
    if (orb_join_path(out, sizeof out, a.c_str(), b.c_str()) != 0) return "";
    return out;
}

// The text of a line in the files' character set, CR LF at its end.
std::string file_line(const std::string& utf8, int charset) {
    std::string out = utf8;
    if (charset != 3) {
        std::u16string wide;
        if (!plat_utf8_to_utf16(utf8.data(), utf8.size(), wide) || !plat_utf16_to_cp932(wide.data(), wide.size(), out))
            out = utf8;
    }
    return out + "\r\n";
}

class tree_pool {
public:
    tree_pool(tree_run& run, const std::vector<tree_job>& jobs, const dump_table& dumps, const run_settings& s,
              vergle_ui& ui)
        : run_(run), jobs_(jobs), dumps_(dumps), s_(s), ui_(ui) {}

    // Dumps every job with `threads` workers, each with its work folder.
    // 0, or -1 when the user asked to stop (or no work folder could be
    // made, after the message).
    int dump_all(const std::vector<std::string>& works) {
        std::vector<std::thread> workers;
        try {
            for (size_t w = 0; w < works.size(); ++w) workers.emplace_back([this, &works, w] { work(works[w]); });
        } catch (...) {
            // No more threads to be had: those that started do the work.
        }
        if (workers.empty()) return dump_here(works[0]);
        started_ = static_cast<unsigned>(workers.size());
        follow();
        for (std::thread& t : workers) t.join();
        return quit_ ? -1 : 0;
    }

private:
    // A worker: takes the next job until none is left or the run stops.
    void work(const std::string& folder) {
        pool_channel ch(shared_, nullptr);
        for (;;) {
            size_t k = shared_.next++;
            if (k >= jobs_.size() || shared_.cancel) break;
            pool_batch b = dump_one(jobs_[k], folder, ch);
            std::lock_guard<std::mutex> g(shared_.lock);
            shared_.batches.push_back(std::move(b));
            shared_.changed.notify_all();
        }
        std::lock_guard<std::mutex> g(shared_.lock);
        ++shared_.finished;
        shared_.changed.notify_all();
    }

    // No thread: one document after the other, here.
    int dump_here(const std::string& folder) {
        pool_channel ch(shared_, &ui_);
        for (const tree_job& j : jobs_) {
            if (shared_.cancel || !ui_.pump_one_message()) return -1;
            pool_batch b = dump_one(j, folder, ch);
            if (shared_.cancel) return -1;
            deliver(b);
        }
        return ui_.pump_one_message() ? 0 : -1;
    }

    pool_batch dump_one(const tree_job& j, const std::string& work_folder, pool_channel& ch) {
        tree_document& d = run_.tree[j.side].documents[j.doc];
        ch.events.clear();
        int rc = -1;
        if (d.folder.empty() || make_parent_folders(run_.text_root[j.side], d.rel) != 0) {
            ch.show_error(ui_format("出力フォルダのパスが長すぎるか、作成できません。(%s)", d.path), true);
        } else {
            rc = dump_document(dumps_, ch, s_, run_.out_charset, work_folder.c_str(), d.path.c_str(),
                               d.folder.c_str());
        }
        mcloseall();  // what the dump left in this thread's memory files
        if (rc == 0 && j.sketch && !sketch_text(d.folder, d.digest, d.sketch)) {
            d.digest = 0;
            d.sketch.clear();
        }
        if (rc != 0 && !shared_.cancel) {
            // Refused: the messages stay with the document, and its folder
            // says why.
            d.refused = true;
            std::string first;
            for (const pool_event& e : ch.events) {
                if (e.kind != pool_event::ERROR) continue;
                if (first.empty()) first = e.text;
                d.refusal += (d.refusal.empty() ? "" : "\n") + e.text;
            }
            if (!d.folder.empty()) {
                plat_remove_tree(d.folder.c_str());
                std::string note = joined(d.folder, plat_native_from_utf8(REFUSED_FILE));
                if (plat_make_dir(d.folder.c_str()) >= 0 && !note.empty()) {
                    plat_file* f = plat_open(note.c_str(), PLAT_CREATE);
                    std::string line = file_line(refusal_line(d.path.c_str(), first), run_.out_charset);
                    if (f) {
                        plat_write(f, line.data(), line.size());
                        plat_close(f);
                    }
                }
            }
        }
        pool_batch b;
        b.rc = rc;
        b.events.swap(ch.events);
        return b;
    }

    // Hands a document's reports on: a refused document's messages are
    // kept with it, not shown.
    void deliver(const pool_batch& b) {
        for (const pool_event& e : b.events) {
            switch (e.kind) {
            case pool_event::ERROR:
                if (b.rc == 0) ui_.show_error(e.text, e.owned);
                break;
            case pool_event::SHEET: ui_.sheet_begun(e.sheet, e.sheets, e.text); break;
            case pool_event::BEGUN: ui_.document_begun(e.text, e.folder); break;
            case pool_event::ENDED: ui_.document_ended(); break;
            case pool_event::WRITTEN: ui_.sheet_written(e.sheet, e.breaks); break;
            }
        }
        ui_.documents_done(static_cast<long>(++done_), static_cast<long>(jobs_.size()));
    }

    // The run's thread while the workers dump: answers their questions,
    // shows what they report, handles the window's messages; a quit or an
    // interrupt stops them at their next sheet.
    void follow() {
        std::unique_lock<std::mutex> g(shared_.lock);
        for (;;) {
            while (!shared_.questions.empty()) {
                pool_question* q = shared_.questions.front();
                shared_.questions.pop_front();
                g.unlock();
                bool answer = !shared_.cancel && ui_.ask_retry(q->text);
                g.lock();
                q->answer = answer;
                q->answered = true;
                shared_.changed.notify_all();
            }
            std::deque<pool_batch> ready;
            ready.swap(shared_.batches);
            g.unlock();
            for (const pool_batch& b : ready) {
                if (!shared_.cancel) deliver(b);
            }
            if (!quit_ && (!ui_.pump_one_message() || ui_.interrupted())) {
                quit_ = true;
                shared_.cancel = true;
            }
            g.lock();
            if (shared_.finished == started_ && shared_.batches.empty() && shared_.questions.empty()) break;
            shared_.changed.wait_for(g, std::chrono::milliseconds(10), [&] {
                return !shared_.questions.empty() || !shared_.batches.empty() || shared_.finished == started_;
            });
        }
    }

    tree_run& run_;
    const std::vector<tree_job>& jobs_;
    const dump_table& dumps_;
    const run_settings& s_;
    vergle_ui& ui_;
    pool_shared shared_;
    unsigned started_ = 0;
    size_t done_ = 0;
    bool quit_ = false;
};

// The one message listing the refused documents, before a folder-compare
// program shows the trees.
std::string refusals_text(const tree_run& run) {
    std::string list;
    size_t total = 0;
    for (int side = 0; side < 2; ++side) {
        for (const tree_document& d : run.tree[side].documents) {
            if (!d.refused) continue;
            if (++total <= REFUSALS_LISTED) list += "\n" + d.refusal;
        }
    }
    if (total > REFUSALS_LISTED) list += "\n…";
    return ui_format("比較できない文書がありました(%d件)。", static_cast<long long>(total)) + list;
}

}  // namespace

int run_tree_comparison(const char* root1, const char* root2, run_settings& s, const dump_table& dumps,
                        vergle_ui& ui, const run_options& opt) {
    tree_run run;
    run.out_charset = opt.out_charset;
    const char* roots[2] = {root1, root2};
    const std::string temp = run_temp_folder();
    for (int side = 0; side < 2; ++side) {
        if (scan_tree(roots[side], run.tree[side], temp) != 0) {
            ui.show_error(ui_with_reason(ui_format("フォルダを読めません。(%s)", std::string(roots[side])),
                                         ui_file_reason(roots[side])),
                          true);
            return -1;
        }
    }
    long trouble = 0;  // folders that cannot be listed
    for (int side = 0; side < 2; ++side) {
        for (const std::string& rel : run.tree[side].unreadable) {
            ++trouble;
            std::string p = joined(roots[side], rel);
            ui.show_error(ui_with_reason(ui_format("フォルダを読めません。(%s)", p.empty() ? rel : p),
                                         ui_file_reason(p.c_str())),
                          true);
        }
        for (const std::string& rel : run.tree[side].links_left_out)
            ui.show_notice(ui_format("リンクはたどりません(フォルダへのリンクか、フォルダの外を指すリンクです)。(%s)",
                                     joined(roots[side], rel)));
    }
    run.pairs = pair_by_path(run.tree[0], run.tree[1]);

    std::string base;
    if (make_base(s, ui, opt, base) != 0) return -1;
    const bool keep = opt.keep_dir != nullptr;
    if (!keep) remove_stale_runs(s.temp_folder);

    // The two text trees, named after the folders.
    std::string name[2] = {tree_name(root1), tree_name(root2)};
    if (plat_same_file_name(name[0], name[1])) {
        name[0] += "_1";
        name[1] += "_2";
    }
    int rc = -1;
    bool made = true;
    for (int side = 0; side < 2 && made; ++side) {
        run.text_root[side] = joined(base, plat_native_from_utf8(name[side]));
        made = !run.text_root[side].empty() && plat_make_dir(run.text_root[side].c_str()) == 0;
    }
    // The jobs: the documents in the order of their pairs, so that the two
    // of a pair are written near each other; a work folder for each thread.
    std::vector<tree_job> jobs;
    for (const tree_pair& p : run.pairs) {
        const long idx[2] = {p.a, p.b};
        for (int side = 0; side < 2; ++side) {
            if (idx[side] < 0) continue;
            tree_document& d = run.tree[side].documents[static_cast<size_t>(idx[side])];
            d.folder = joined(run.text_root[side], d.rel);
            jobs.push_back({side, static_cast<size_t>(idx[side]), p.a < 0 || p.b < 0});
        }
    }
    unsigned threads = opt.threads ? opt.threads : plat_cpu_count();
    if (threads > jobs.size()) threads = static_cast<unsigned>(jobs.size());
    if (threads == 0) threads = 1;
    std::vector<std::string> works;
    for (unsigned t = 0; t < threads && made; ++t) {
        std::string w = work_folder(base, ("work-" + std::to_string(t + 1)).c_str(), run.text_root[0],
                                    run.text_root[1]);
        made = !w.empty() && plat_make_dir(w.c_str()) == 0;
        works.push_back(w);
    }
    bool folders_unread = false;
    if (!made) {
        ui.show_error(ui_format("出力フォルダを作成できません。(%s)", base), true);
    } else {
        tree_pool pool(run, jobs, dumps, s, ui);
        int dumped = pool.dump_all(works);
        for (const std::string& w : works) {
            if (plat_remove_tree(w.c_str()) != 0 && dumped == 0) {
                ui.show_error(ui_format("出力フォルダを削除できません。(%s)", w), true);
                dumped = -1;
            }
        }
        if (dumped == 0) {
            for (int side = 0; side < 2; ++side)
                for (const tree_document& d : run.tree[side].documents) run.refused += d.refused;
            pair_renamed(run.tree[0], run.tree[1], run.pairs);
            if (opt.tree_compare) {
                rc = opt.tree_compare(run, opt.compare_ctx);
                if (rc < 0) rc = 2;
            }
            if (!opt.tree_compare || (opt.then_program && rc <= 1)) {
                if (run.refused && !opt.tree_compare) ui.show_error(refusals_text(run), true);
                rc = launch_folder_compare(s, ui, run.text_root[0], run.text_root[1], &folders_unread);
            }
        }
    }
    rc = finish_run(base, keep, rc, folders_unread, ui);
    // A refused document or a folder that could not be listed is trouble,
    // whatever else was found.
    if (rc >= 0 && (run.refused || trouble)) rc = 2;
    return rc;
}
