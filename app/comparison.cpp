#include "comparison.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "mfile.h"
#include "orb_file.h"
#include "orb_text.h"
#include "platform.h"

dump_table g_dumps;

void name_stem(const char* path, char* out) {
    // Find the last separator and the last dot after it, skipping trail bytes.
    int cs = plat_path_charset();
    int len = static_cast<int>(std::strlen(path));
    int start = 0, dot = -1;
    for (int i = 0; i < len; ++i) {
        char c = path[i];
        if (plat_is_separator(c)) {
            start = i + 1;
            dot = -1;
        } else if (c == '.') {
            dot = i;
        } else {
            orb_mb_len(cs, static_cast<unsigned char>(c), &i);
        }
    }
    int end = dot >= 0 ? dot : len;
    int n = end - start;
    if (n > RUN_PATH_MAX - 1) n = RUN_PATH_MAX - 1;
    std::memcpy(out, path + start, n);
    out[n] = 0;
}

std::string output_folder(const char* base, const char* path, const char* suffix) {
    char stem[RUN_PATH_MAX];
    name_stem(path, stem);
    std::string name = std::string(stem) + suffix;
    char out[RUN_PATH_MAX];
    if (orb_join_path(out, sizeof out, base, name.c_str()) != 0) return "";
    return out;
}

int launch_folder_compare(const run_settings& s, vergle_ui& ui, const std::string& folder1,
                          const std::string& folder2) {
    if (plat_run_and_wait(s.diff_program, folder1.c_str(), folder2.c_str(), nullptr) != 0) {
        ui.show_error(ui_text("フォルダ比較プログラム起動エラー"), true);
        return -1;
    }
    return 0;
}

int dump_document(const dump_table& dumps, vergle_ui& ui, const run_settings& s, int out_charset, const char* base,
                  const char* path, const char* folder) {
    int kind = -1;
    if (orb_file_type(ORB_SOURCE_DISK, path, &kind) != 0) {
        ui.show_error(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", path), true);
        return -1;
    }
    dump_fn fn = nullptr;
    switch (kind) {
    case ORB_KIND_XLS:
    case ORB_KIND_XLSX:
    case ORB_KIND_XLSM: fn = dumps.workbook; break;
    case ORB_KIND_DOCX:
    case ORB_KIND_DOCM: fn = dumps.word; break;
    case ORB_KIND_PPTX:
    case ORB_KIND_PPTM: fn = dumps.powerpoint; break;
    case ORB_KIND_XLSX_LOCKED:
    case ORB_KIND_DOCX_LOCKED:
    case ORB_KIND_PPTX_LOCKED:
        ui.show_error(ui_format("読み取りパスワードが設定されているファイルはサポート対象外です。(%s)", path), true);
        return -1;
    default: break;
    }
    if (!fn) {
        ui.show_error(ui_format("サポート対象外のファイルです(%s)。", path), true);
        return -1;
    }
    dump_request req{path, folder, s.textbox, s.allpage, base, &ui};
    req.out_charset = out_charset;
    return fn(req) == 0 ? 0 : -1;
}

namespace {

// Refuses what the fixed buffers cannot hold and a stem that names no
// folder, before anything is written.  0, or -1 after the message.
int check_file(vergle_ui& ui, const char* base, const char* path, const char* suffix) {
    if (std::strlen(path) >= RUN_PATH_MAX) {
        ui.show_error(ui_format("ファイルのパスが長すぎます。(%s)", path), true);
        return -1;
    }
    char stem[RUN_PATH_MAX];
    name_stem(path, stem);
    if (!stem[0] || !std::strcmp(stem, ".") || !std::strcmp(stem, "..")) {
        // "_1" and "_2" would make harmless names, but two such files are
        // still refused so that both names follow one rule.
        ui.show_error(ui_format("ファイル名から出力フォルダ名を作れません。(%s)", path), true);
        return -1;
    }
    if (output_folder(base, path, suffix).empty()) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", path), true);
        return -1;
    }
    return 0;
}

// The base folder of a run: a new folder of its own under the temporary
// folder, or the keep folder, created here.  0, or -1 after the message.
int make_base(run_settings& s, vergle_ui& ui, const run_options& opt, std::string& base) {
    if (opt.keep_dir) {
        if (std::strlen(opt.keep_dir) >= RUN_PATH_MAX) {
            ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", opt.keep_dir), true);
            return -1;
        }
        // Only a folder this run creates is written into.
        if (plat_make_dir(opt.keep_dir) != 0) {
            ui.show_error(ui_format("出力フォルダを作成できません(既にあるフォルダは使いません)。(%s)", opt.keep_dir),
                          true);
            return -1;
        }
        base = opt.keep_dir;
        return 0;
    }
    std::string temp;
    if (!plat_getenv("TEMP", temp)) temp = plat_default_temp_folder();
    if (temp.empty() || temp.size() >= sizeof s.temp_folder) {
        ui.show_error(ui_format("一時フォルダ(TEMP)のパスが長すぎるか空です。(%s)", temp), true);
        return -1;
    }
    std::memcpy(s.temp_folder, temp.c_str(), temp.size() + 1);
    if (plat_make_run_dir(s.temp_folder, base) != 0) {
        ui.show_error(ui_format("出力フォルダを作成できません。(%s)", temp), true);
        return -1;
    }
    return 0;
}


// ---------------------------------------------------------------------------
// The two dumps at once
// ---------------------------------------------------------------------------

// What the two dump threads share with the run's thread.
struct dump_shared {
    std::mutex lock;
    std::condition_variable changed;
    std::atomic<bool> cancel{false};  // set by the run's thread; read between sheets
};

// The user interface of one dump on a thread of its own.  The dump never
// reaches the real interface: what it would show is queued, and the run's
// thread hands it on (messages, questions, progress) in the order of a run
// that dumps one document after the other.  Pumping answers whether the run
// goes on; the run's thread is the one that handles the window's messages.
struct dump_channel : vergle_ui {
    struct event {
        enum kind_t { ERROR, QUESTION, SHEET, BEGUN, ENDED, WRITTEN } kind;
        std::string text;  // message or question; the sheet's name; the document
        std::string folder;
        bool owned = false;
        int sheet = 0, sheets = 0;  // WRITTEN: sheet holds the rows
        std::vector<sheet_break> breaks{};
    };

    dump_shared& shared;
    std::deque<event> events;  // under shared.lock
    bool asking = false;       // a question waits for its answer
    bool answered = false, answer = false;
    bool done = false;
    int rc = -1;

    explicit dump_channel(dump_shared& sh) : shared(sh) {}

    void post(event e) {
        std::lock_guard<std::mutex> g(shared.lock);
        events.push_back(std::move(e));
        shared.changed.notify_all();
    }
    void show_error(const std::string& text, bool owned) override {
        event e{event::ERROR, text, "", owned};
        post(std::move(e));
    }
    bool ask_retry(const std::string& text) override {
        std::unique_lock<std::mutex> g(shared.lock);
        events.push_back(event{event::QUESTION, text, "", false});
        asking = true;
        answered = false;
        shared.changed.notify_all();
        shared.changed.wait(g, [&] { return answered; });
        asking = false;
        return answer;
    }
    bool pump_one_message() override { return !shared.cancel; }
    void sheet_begun(int sheet, int sheets, const std::string& name_utf8) override {
        event e{event::SHEET, name_utf8, "", false, sheet, sheets};
        post(std::move(e));
    }
    void sheet_written(int rows, const std::vector<sheet_break>& breaks) override {
        event e{event::WRITTEN, "", "", false, rows};
        e.breaks = breaks;
        post(std::move(e));
    }
    void document_begun(const std::string& document, const std::string& folder) override {
        post(event{event::BEGUN, document, folder});
    }
    void document_ended() override { post(event{event::ENDED, "", ""}); }
};

// Hands one queued event to the real interface; a question's answer goes
// back to the waiting dump.  refuse: the event belongs to a dump whose run
// has already failed: nothing is shown, and a question is answered "no".
void deliver(dump_channel& ch, dump_channel::event& e, vergle_ui& ui, bool refuse) {
    bool answer = false;
    if (!refuse) {
        switch (e.kind) {
        case dump_channel::event::ERROR: ui.show_error(e.text, e.owned); break;
        case dump_channel::event::QUESTION: answer = ui.ask_retry(e.text); break;
        case dump_channel::event::SHEET: ui.sheet_begun(e.sheet, e.sheets, e.text); break;
        case dump_channel::event::BEGUN: ui.document_begun(e.text, e.folder); break;
        case dump_channel::event::ENDED: ui.document_ended(); break;
        case dump_channel::event::WRITTEN: ui.sheet_written(e.sheet, e.breaks); break;
        }
    }
    if (e.kind == dump_channel::event::QUESTION) {
        std::lock_guard<std::mutex> g(ch.shared.lock);
        ch.answer = answer;
        ch.answered = true;
        ch.shared.changed.notify_all();
    }
}

// Dumps both documents, each on a thread of its own, while this thread
// handles the window's messages and shows what the dumps report.  The user
// sees what a run of one dump after the other shows: the first document's
// messages as they come, the second's once the first has succeeded (when it
// fails, the second is cancelled and its messages are dropped).  A quit or
// cancel asked for meanwhile ends both dumps at their next sheet.  0 when both
// succeeded and no quit came, -1 otherwise.
int dump_both(const dump_table& dumps, vergle_ui& ui, const run_settings& s, int out_charset, const char* work1,
              const char* work2, const char* path1, const char* f1, const char* path2, const char* f2) {
    dump_shared shared;
    dump_channel ch[2] = {dump_channel(shared), dump_channel(shared)};
    const char* paths[2] = {path1, path2};
    const char* folders[2] = {f1, f2};
    const char* works[2] = {work1, work2};
    std::thread workers[2];
    int started = 0;
    try {
        for (; started < 2; ++started) {
            workers[started] = std::thread([&, i = started] {
                int rc = dump_document(dumps, ch[i], s, out_charset, works[i], paths[i], folders[i]);
                mcloseall();  // what the dump left in this thread's memory files
                std::lock_guard<std::mutex> g(shared.lock);
                ch[i].rc = rc;
                ch[i].done = true;
                shared.changed.notify_all();
            });
        }
    } catch (...) {
        // No thread to be had: what did start is cancelled, and the second
        // document is dumped here.
        shared.cancel = true;
    }
    if (started < 2) {
        if (started == 1) {
            workers[0].join();
            plat_remove_tree(f1);  // dumped again, from the start
        }
        int rc = dump_document(dumps, ui, s, out_charset, work1, path1, f1);
        if (rc == 0 && ui.pump_one_message()) rc = dump_document(dumps, ui, s, out_charset, work2, path2, f2);
        return rc == 0 && ui.pump_one_message() ? 0 : -1;
    }

    bool quit = false;
    int current = 0;  // the dump whose events are shown; the other's wait
    for (;;) {
        std::unique_lock<std::mutex> g(shared.lock);
        // The first dump failed: the second is not wanted any more.
        if (ch[0].done && ch[0].events.empty() && ch[0].rc != 0) shared.cancel = true;
        if (current == 0 && ch[0].done && ch[0].events.empty() && ch[0].rc == 0) current = 1;
        bool refuse_second = shared.cancel && current == 0;
        // Take one event: of the current dump, or a question of the second
        // that is to be refused (it would otherwise wait for ever).
        dump_channel* from = nullptr;
        if (!ch[current].events.empty()) {
            from = &ch[current];
        } else if (refuse_second && !ch[1].events.empty()) {
            from = &ch[1];
        }
        if (from) {
            dump_channel::event e = std::move(from->events.front());
            from->events.pop_front();
            bool refuse = from == &ch[1] && current == 0;
            g.unlock();
            deliver(*from, e, ui, refuse);
            continue;
        }
        if (ch[0].done && ch[1].done && ch[current].events.empty() && (current == 1 || ch[1].events.empty() ||
                                                                        refuse_second))
            break;
        g.unlock();
        if (!quit && !ui.pump_one_message()) {
            quit = true;
            shared.cancel = true;
        }
        g.lock();
        shared.changed.wait_for(g, std::chrono::milliseconds(10), [&] {
            return !ch[current].events.empty() || (ch[0].done && ch[1].done) || (current == 0 && ch[0].done) ||
                   (shared.cancel && !ch[1].events.empty());
        });
    }
    for (std::thread& t : workers) t.join();
    if (quit || ch[0].rc != 0 || ch[1].rc != 0) return -1;
    // One pending message after the dumps, as between sheets: a quit asked
    // for at the last moment still ends the run before the compare program.
    return ui.pump_one_message() ? 0 : -1;
}

// A folder of the run's own for the second dump's temporary files (the
// legacy workbook's stream image has one name), beside the two output
// folders and never one of them.
std::string second_work_folder(const std::string& base, const std::string& f1, const std::string& f2) {
    std::string name = "work-2";
    for (;;) {
        char out[RUN_PATH_MAX];
        if (orb_join_path(out, sizeof out, base.c_str(), name.c_str()) != 0) return "";
        if (!plat_same_file_name(out, f1) && !plat_same_file_name(out, f2)) return out;
        name += "-";
    }
}

}  // namespace

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui,
                   const run_options& opt) {
    if (argc < 3 || !argv[1] || !argv[2]) return -1;
    const char* path1 = argv[1];
    const char* path2 = argv[2];

    char stem1[RUN_PATH_MAX], stem2[RUN_PATH_MAX];
    name_stem(path1, stem1);
    name_stem(path2, stem2);
    // Stems that would name one folder get "_1" and "_2" (on Windows also
    // stems that differ only in letter case).
    bool same = plat_same_file_name(stem1, stem2);
    const char* suffix1 = same ? "_1" : "";
    const char* suffix2 = same ? "_2" : "";

    std::string base;
    if (make_base(s, ui, opt, base) != 0) return -1;
    bool keep = opt.keep_dir != nullptr;
    int rc = -1;
    if (check_file(ui, base.c_str(), path1, suffix1) == 0 && check_file(ui, base.c_str(), path2, suffix2) == 0) {
        std::string f1 = output_folder(base.c_str(), path1, suffix1);
        std::string f2 = output_folder(base.c_str(), path2, suffix2);
        int dumped = -1;
        if (opt.parallel) {
            std::string work2 = second_work_folder(base, f1, f2);
            if (work2.empty() || plat_make_dir(work2.c_str()) != 0) {
                ui.show_error(ui_format("出力フォルダを作成できません。(%s)", base), true);
            } else {
                dumped = dump_both(dumps, ui, s, opt.out_charset, base.c_str(), work2.c_str(), path1, f1.c_str(),
                                   path2, f2.c_str());
                // Only the run's own files are in it (a stream image left by
                // a failed dump).
                if (plat_remove_tree(work2.c_str()) != 0 && dumped == 0) {
                    ui.show_error(ui_format("出力フォルダを削除できません。(%s)", work2), true);
                    dumped = -1;
                }
            }
        } else if (dump_document(dumps, ui, s, opt.out_charset, base.c_str(), path1, f1.c_str()) == 0 &&
                   ui.pump_one_message() &&
                   dump_document(dumps, ui, s, opt.out_charset, base.c_str(), path2, f2.c_str()) == 0 &&
                   ui.pump_one_message()) {
            // Between the steps one pending window message is handled, so
            // that a cancel or close asked for during a dump that does not
            // look at messages still ends the run before the compare program
            // starts.
            dumped = 0;
        }
        if (dumped == 0) {
            if (opt.compare) {
                rc = opt.compare(f1.c_str(), f2.c_str(), opt.compare_ctx);
                if (rc < 0) rc = 2;
            } else {
                rc = launch_folder_compare(s, ui, f1, f2);
            }
        }
    }
    // The run's folder goes, and with it everything the run wrote; a kept
    // folder stays only when the run succeeded.
    if ((!keep || rc < 0) && plat_remove_tree(base.c_str()) != 0) {
        ui.show_error(ui_format("出力フォルダを削除できません。(%s)", base), true);
        rc = -1;
    }
    return rc;
}

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui) {
    return run_comparison(argc, argv, s, dumps, ui, run_options());
}

int run_comparison(int argc, const char* const* argv, vergle_ui& ui) {
    return run_comparison(argc, argv, g_settings, g_dumps, ui);
}
