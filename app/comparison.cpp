#include "comparison.h"
#include "run_internal.h"

#include <algorithm>
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

namespace {

// Asked while the compare program runs: the window's messages handled (on
// Windows), and whether the run goes on.
bool keep_watching(void* ui) {
    vergle_ui& u = *static_cast<vergle_ui*>(ui);
    return u.program_running() && !u.interrupted();
}

// A compare program that returns sooner than this may have handed the
// folders on to an instance of itself that is already running.
constexpr std::chrono::seconds QUICK_RETURN{2};

}  // namespace

int launch_folder_compare(const run_settings& s, vergle_ui& ui, const std::string& folder1,
                          const std::string& folder2, bool* folders_unread) {
    if (folders_unread) *folders_unread = false;
    // The folders' access times tell whether the program listed them: set
    // a second before their last change, so that a listing within the same
    // tick of the file system's clock still moves them.
    plat_stamp before[2];
    bool exists[2];
    const std::string* folders[2] = {&folder1, &folder2};
    for (int i = 0; i < 2; ++i) {
        exists[i] = plat_stamp_path(folders[i]->c_str(), &before[i]) == 0 &&
                    plat_set_accessed(folders[i]->c_str(), before[i].modified - 1000000000) == 0 &&
                    plat_stamp_path(folders[i]->c_str(), &before[i]) == 0;
    }
    const auto start = std::chrono::steady_clock::now();
    int code = 0;
    // The window stays alive while the program runs (on Windows); an
    // interrupt of the run tells the program to end.
    int rc = plat_run_and_watch(s.diff_program, folder1.c_str(), folder2.c_str(), &code, keep_watching, &ui);
    const bool quick = std::chrono::steady_clock::now() - start < QUICK_RETURN;
    if (rc == -2) {
        // A batch file would run through cmd.exe, which expands "%...%" in
        // the folders' paths.
        ui.show_error(ui_format("バッチファイル(.bat/.cmd)はフォルダ比較プログラムに指定できません。(%s)",
                                std::string(s.diff_program)),
                      true);
        return -1;
    }
    if (rc < 0) {
        ui.show_error(ui_text("フォルダ比較プログラム起動エラー"), true);
        return -1;
    }
    if (rc > 0) {
        // Ended by a signal: its work may be unfinished.  An interrupt of
        // the run ended it, the run says so itself.
        if (!ui.interrupted())
            ui.show_error(ui_format("フォルダ比較プログラムがシグナル(%d)で終了しました。", static_cast<long long>(code)),
                          true);
        return -1;
    }
    if (quick && folders_unread && (exists[0] || exists[1])) {
        bool listed = false;
        for (int i = 0; i < 2; ++i) {
            plat_stamp after;
            if (exists[i] && plat_stamp_path(folders[i]->c_str(), &after) == 0 && after.accessed != before[i].accessed)
                listed = true;
        }
        *folders_unread = !listed;
    }
    return 0;
}

int document_family(int kind) {
    switch (kind) {
    case ORB_KIND_XLS:
    case ORB_KIND_XLSX:
    case ORB_KIND_XLSM:
    case ORB_KIND_XLSX_LOCKED: return 1;
    case ORB_KIND_DOCX:
    case ORB_KIND_DOCM:
    case ORB_KIND_DOCX_LOCKED: return 2;
    case ORB_KIND_PPTX:
    case ORB_KIND_PPTM:
    case ORB_KIND_PPTX_LOCKED: return 3;
    default: return 0;
    }
}

std::string run_temp_folder() {
    std::string temp;
    if (!plat_getenv("TEMP", temp)) temp = plat_default_temp_folder();
    if (temp.empty() || plat_is_absolute(temp.c_str())) return temp;
    // A relative folder would name another place for a program started
    // elsewhere ("-x" would even read as an option): taken from here.
    std::string cwd;
    if (plat_get_cwd(cwd) != 0) return "";
    char joined[RUN_PATH_MAX * 2];
    if (orb_join_path(joined, sizeof joined, cwd.c_str(), temp.c_str()) != 0) return "";
    return joined;
}

namespace {

dump_fn dump_of(const dump_table& dumps, int kind) {
    switch (kind) {
    case ORB_KIND_XLS:
    case ORB_KIND_XLSX:
    case ORB_KIND_XLSM: return dumps.workbook;
    case ORB_KIND_DOCX:
    case ORB_KIND_DOCM: return dumps.word;
    case ORB_KIND_PPTX:
    case ORB_KIND_PPTM: return dumps.powerpoint;
    default: return nullptr;
    }
}

// The extension of a path's file name (after its last dot), "" without one;
// lead bytes skipped as in name_stem.
std::string name_extension(const char* path) {
    int cs = plat_path_charset();
    int len = static_cast<int>(std::strlen(path));
    int dot = -1;
    for (int i = 0; i < len; ++i) {
        char c = path[i];
        if (plat_is_separator(c)) {
            dot = -1;
        } else if (c == '.') {
            dot = i;
        } else {
            orb_mb_len(cs, static_cast<unsigned char>(c), &i);
        }
    }
    return dot >= 0 ? std::string(path + dot + 1) : std::string();
}

enum copy_result { COPY_OK = 0, COPY_UNREADABLE = -1, COPY_CHANGED = -2, COPY_UNWRITTEN = -3 };

// A file changed this recently may be being written right now: the file
// system's clock is coarse (a tick of milliseconds, seconds on some), so a
// write in the same tick as the last one leaves its times as they were.
constexpr int64_t RECENT_NS = int64_t{2} * 1000000000;

// How often a document that another program holds open for writing is
// tried again, 20 ms apart (a save in progress), before it is read all the
// same: an editor keeps the document it shows open for writing, and such a
// document is compared as it stands on disk, its bytes read twice.
constexpr int BUSY_TRIES = 25;
constexpr std::chrono::milliseconds HELD_SETTLE{40};

int64_t now_ns() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

// True when the document, read again from its start, still holds the bytes
// of the copy.
bool same_bytes_again(plat_file* in, const std::string& copy) {
    plat_file* c = plat_open(copy.c_str(), PLAT_READ);
    if (!c) return false;
    bool same = plat_seek(in, 0, 0) == 0;
    std::vector<char> a(1 << 20), b(1 << 20);
    while (same) {
        size_t n = plat_read(in, a.data(), a.size());
        size_t m = plat_read(c, b.data(), b.size());
        same = n == m && std::memcmp(a.data(), b.data(), n) == 0;
        if (n == 0) break;
    }
    plat_close(c);
    return same;
}

// Copies the document into the run's folder in one pass, so that every
// reader reads one version of it: the open file's size, times and identity
// must be the same after its last byte was read as before its first, and
// the bytes read as many as its size.  A document changed in the last
// moments (its times may not show a write in the same clock tick), or one
// that another program holds open for writing, must moreover read the same
// a second time.
copy_result private_copy(const char* path, const std::string& copy) {
    // Opened so that no other program writes it meanwhile; while another
    // has it open for writing (saving it), the copy waits a moment for it,
    // then reads it all the same and checks it.
    plat_file* in = nullptr;
    bool held = false;  // another program has it open for writing
    for (int attempt = 0; !in; ++attempt) {
        in = plat_open(path, PLAT_READ_DOCUMENT);
        if (in) break;
        plat_file* probe = plat_open(path, PLAT_READ);
        if (!probe) return COPY_UNREADABLE;
        if (attempt == BUSY_TRIES) {
            in = probe;
            held = true;
            break;
        }
        plat_close(probe);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    const int64_t start = now_ns();
    plat_stamp before;
    if (plat_stamp_file(in, &before) != 0) {
        plat_close(in);
        return COPY_UNREADABLE;
    }
    plat_file* out = plat_open(copy.c_str(), PLAT_CREATE);
    if (!out) {
        plat_close(in);
        return COPY_UNWRITTEN;
    }
    copy_result rc = COPY_OK;
    std::vector<char> buf(1 << 20);
    int64_t total = 0;
    for (;;) {
        size_t n = plat_read(in, buf.data(), buf.size());
        if (n == 0) break;
        total += static_cast<int64_t>(n);
        if (plat_write(out, buf.data(), n) != n) {
            rc = COPY_UNWRITTEN;
            break;
        }
    }
    if (plat_close(out) != 0 && rc == COPY_OK) rc = COPY_UNWRITTEN;
    if (rc == COPY_OK && before.kind == PLAT_FILE) {
        // A program that holds the document open for writing may be writing
        // it right now: its writes move the file's times at the next tick of
        // the file system's clock, so the check waits for a few ticks.
        if (held) std::this_thread::sleep_for(HELD_SETTLE);
        plat_stamp after;
        if (plat_stamp_file(in, &after) != 0 || !plat_same_version(before, after) || total != before.size) {
            rc = COPY_CHANGED;
        } else if ((held || std::max(before.modified, before.changed) > start - RECENT_NS) &&
                   (!same_bytes_again(in, copy) || plat_stamp_file(in, &after) != 0 ||
                    !plat_same_version(before, after))) {
            rc = COPY_CHANGED;
        }
    }
    plat_close(in);
    if (rc != COPY_OK) plat_remove_file(copy.c_str());
    return rc;
}

int file_kind(const char* path, int* kind) {
    *kind = -1;
    return orb_file_type(ORB_SOURCE_DISK, path, kind);
}

}  // namespace

int check_document(const dump_table& dumps, vergle_ui& ui, const char* path, int* kind) {
    const char* open_error = "ファイルオープンエラー時にエラーが発生しました。(%s)";
    // What stands at the path first: kind detection would open a FIFO and
    // wait for a writer.
    if (plat_check_readable(path) != PLAT_CHECK_OK) {
        ui.show_error(ui_with_reason(ui_format(open_error, path), ui_file_reason(path)), true);
        return -1;
    }
    *kind = -1;
    if (orb_file_type(ORB_SOURCE_DISK, path, kind) != 0) {
        ui.show_error(ui_with_reason(ui_format(open_error, path), ui_file_reason(path)), true);
        return -1;
    }
    if (*kind == ORB_KIND_XLSX_LOCKED || *kind == ORB_KIND_DOCX_LOCKED || *kind == ORB_KIND_PPTX_LOCKED) {
        ui.show_error(ui_format("読み取りパスワードが設定されているファイルはサポート対象外です。(%s)", path), true);
        return -1;
    }
    if (!dump_of(dumps, *kind)) {
        // A file of no known kind may say why (empty, not what its name
        // says); a known kind without a dump is unsupported as it is.
        std::string reason = *kind == ORB_KIND_NONE ? ui_file_reason(path) : "";
        ui.show_error(ui_with_reason(ui_format("サポート対象外のファイルです(%s)。", path), reason), true);
        return -1;
    }
    return 0;
}

std::string refusal_line(const char* path, const std::string& message) {
    const std::string unreadable = ui_text("読めないため比較できません");
    if (message == ui_format("読み取りパスワードが設定されているファイルはサポート対象外です。(%s)", path))
        return ui_text("パスワード付きのため比較できません");
    int kind = -1;
    if (plat_check_readable(path) != PLAT_CHECK_OK || orb_file_type(ORB_SOURCE_DISK, path, &kind) != 0)
        return ui_with_reason(unreadable, ui_file_reason(path));
    if (kind == ORB_KIND_XLSX_LOCKED || kind == ORB_KIND_DOCX_LOCKED || kind == ORB_KIND_PPTX_LOCKED)
        return ui_text("パスワード付きのため比較できません");
    if (document_family(kind) == 0 || message == ui_format("Excelブックではありません。%s", path))
        return ui_text("サポート対象外のファイルのため比較できません");
    std::string reason = ui_file_reason(path);
    return ui_with_reason(unreadable, reason.empty() ? ui_code_reason(-1) : reason);
}

int dump_document(const dump_table& dumps, vergle_ui& ui, const run_settings& s, int out_charset, const char* base,
                  const char* path, const char* folder) {
    int kind = -1;
    if (check_document(dumps, ui, path, &kind) != 0) return -1;
    // The document is read once, into a copy of the run's own (named with
    // its extension, which the readers go by): a document that another
    // program rewrites meanwhile is refused instead of being read half old,
    // half new, and a path of any length reaches the readers short.
    std::string ext = name_extension(path);
    char copy[RUN_PATH_MAX];
    if (orb_join_path(copy, sizeof copy, base, ("document." + ext).c_str()) != 0) {
        ui.show_error(ui_format("出力フォルダのパスが長すぎます。(%s)", std::string(base)), true);
        return -1;
    }
    switch (private_copy(path, copy)) {
    case COPY_OK: break;
    case COPY_UNREADABLE:
        ui.show_error(ui_with_reason(ui_format("ファイルオープンエラー時にエラーが発生しました。(%s)", path),
                                     ui_file_reason(path)),
                      true);
        return -1;
    case COPY_CHANGED:
        ui.show_error(ui_format("ファイルが読み込み中に変更されました。(%s)", path), true);
        return -1;
    case COPY_UNWRITTEN:
        ui.show_error(ui_format("一時ファイル(%s)作成エラー。", std::string(copy)), true);
        return -1;
    }
    // Rewritten between the look at its kind and the copy.
    int copied_kind = -1;
    if (file_kind(copy, &copied_kind) != 0 || copied_kind != kind) {
        plat_remove_file(copy);
        ui.show_error(ui_format("ファイルが読み込み中に変更されました。(%s)", path), true);
        return -1;
    }
    dump_request req{path, folder, s.textbox, s.allpage, base, &ui};
    req.out_charset = out_charset;
    req.source = copy;
    req.formulas = s.formulas;
    req.macros = s.macros;
    int rc = dump_of(dumps, kind)(req) == 0 ? 0 : -1;
    plat_remove_file(copy);
    return rc;
}

namespace {

// Refuses what the fixed buffers cannot hold and a stem that names no
// folder, before anything is written.  0, or -1 after the message.
int check_file(vergle_ui& ui, const char* base, const char* path, const char* suffix) {
    // The document itself may have a path of any length: it is read into a
    // copy of the run's own.
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

}  // namespace

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
    std::string temp = run_temp_folder();
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

namespace {

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
    bool interrupted() override { return shared.cancel; }
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

}  // namespace

std::string work_folder(const std::string& base, const char* name, const std::string& f1, const std::string& f2) {
    std::string n = name;
    for (;;) {
        char out[RUN_PATH_MAX];
        if (orb_join_path(out, sizeof out, base.c_str(), n.c_str()) != 0) return "";
        if (!plat_same_file_name(out, f1) && !plat_same_file_name(out, f2)) return out;
        n += "-";
    }
}

namespace {

// A run folder left behind for a compare program that returned at once
// (one that hands the folders to an instance of itself already running) is
// marked with this file; a later run removes it once the mark is a day old.
const char* const KEPT_MARK = "Vergle.kept";
constexpr int64_t KEPT_FOR_NS = int64_t{24} * 3600 * 1000000000;

}  // namespace

bool mark_kept(const std::string& base) {
    char mark[RUN_PATH_MAX];
    if (orb_join_path(mark, sizeof mark, base.c_str(), KEPT_MARK) != 0) return false;
    plat_file* f = plat_open(mark, PLAT_CREATE);
    return f && plat_close(f) == 0;
}

void remove_stale_runs(const std::string& temp) {
    std::vector<plat_dirent> entries;
    if (plat_list_dir(temp.c_str(), entries) != 0) return;
    const int64_t now = std::chrono::duration_cast<std::chrono::nanoseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
    for (const plat_dirent& e : entries) {
        if (e.kind != PLAT_DIR || e.name.compare(0, 7, "Vergle-") != 0) continue;
        char dir[RUN_PATH_MAX], mark[RUN_PATH_MAX];
        if (orb_join_path(dir, sizeof dir, temp.c_str(), e.name.c_str()) != 0 ||
            orb_join_path(mark, sizeof mark, dir, KEPT_MARK) != 0)
            continue;
        plat_stamp d, m;
        if (plat_stamp_path(dir, &d) != 0 || d.kind != PLAT_DIR || !d.private_to_user) continue;
        // Nobody else can have put the mark into a folder closed to them.
        if (plat_stamp_path(mark, &m) != 0 || m.kind != PLAT_FILE) continue;
        if (now - m.modified > KEPT_FOR_NS) plat_remove_tree(dir);
    }
}

int finish_run(const std::string& base, bool keep, int rc, bool folders_unread, vergle_ui& ui) {
    // A compare program that returned at once without having looked at the
    // folders may have handed them to an instance of itself that is still
    // to show them: they stay (marked, removed by a later run a day later).
    if (!keep && rc == 0 && folders_unread && !ui.interrupted() && mark_kept(base)) return rc;
    // The run's folder goes, and with it everything the run wrote; a kept
    // folder stays only when the run succeeded.
    if ((!keep || rc < 0) && plat_remove_tree(base.c_str()) != 0) {
        ui.show_error(ui_format("出力フォルダを削除できません。(%s)", base), true);
        rc = -1;
    }
    return rc;
}

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui,
                   const run_options& opt) {
    if (argc < 3 || !argv[1] || !argv[2]) return -1;
    const char* path1 = argv[1];
    const char* path2 = argv[2];
    // Two folders are compared document by document; a folder and a file
    // cannot be.
    const bool folder1 = plat_check_readable(path1) == PLAT_CHECK_FOLDER;
    const bool folder2 = plat_check_readable(path2) == PLAT_CHECK_FOLDER;
    if (folder1 && folder2) return run_tree_comparison(path1, path2, s, dumps, ui, opt);
    if (folder1 || folder2) {
        ui.show_error(ui_format("フォルダとファイルは比較できません。フォルダ同士かファイル同士を指定してください。(%s、%s)",
                                std::string(path1), std::string(path2)),
                      true);
        return -1;
    }

    char stem1[RUN_PATH_MAX], stem2[RUN_PATH_MAX];
    name_stem(path1, stem1);
    name_stem(path2, stem2);
    // Stems that would name one folder get "_1" and "_2" (on Windows also
    // stems that differ only in letter case).
    bool same = plat_same_file_name(stem1, stem2);
    const char* suffix1 = same ? "_1" : "";
    const char* suffix2 = same ? "_2" : "";

    int kind1 = -1, kind2 = -1;
    for (const char* p : {path1, path2}) {
        if (std::strlen(p) >= RUN_PATH_MAX) {
            ui.show_error(ui_format("ファイルのパスが長すぎます。(%s)", p), true);
            return -1;
        }
    }
    if (check_document(dumps, ui, path1, &kind1) != 0 || check_document(dumps, ui, path2, &kind2) != 0) return -1;
    if (document_family(kind1) != document_family(kind2)) {
        ui.show_error(ui_format("種類の異なるファイルは比較できません(%s、%s)。", std::string(path1), std::string(path2)),
                      true);
        return -1;
    }

    std::string base;
    if (make_base(s, ui, opt, base) != 0) return -1;
    bool keep = opt.keep_dir != nullptr;
    if (!keep) remove_stale_runs(s.temp_folder);
    int rc = -1;
    bool folders_unread = false;
    if (check_file(ui, base.c_str(), path1, suffix1) == 0 && check_file(ui, base.c_str(), path2, suffix2) == 0) {
        std::string f1 = output_folder(base.c_str(), path1, suffix1);
        std::string f2 = output_folder(base.c_str(), path2, suffix2);
        std::string work1 = work_folder(base, "work-1", f1, f2), work2 = work_folder(base, "work-2", f1, f2);
        int dumped = -1;
        if (work1.empty() || work2.empty() || plat_make_dir(work1.c_str()) != 0 || plat_make_dir(work2.c_str()) != 0) {
            ui.show_error(ui_format("出力フォルダを作成できません。(%s)", base), true);
        } else if (opt.parallel) {
            dumped = dump_both(dumps, ui, s, opt.out_charset, work1.c_str(), work2.c_str(), path1, f1.c_str(), path2,
                               f2.c_str());
        } else if (dump_document(dumps, ui, s, opt.out_charset, work1.c_str(), path1, f1.c_str()) == 0 &&
                   ui.pump_one_message() &&
                   dump_document(dumps, ui, s, opt.out_charset, work2.c_str(), path2, f2.c_str()) == 0 &&
                   ui.pump_one_message()) {
            // Between the steps one pending window message is handled, so
            // that a cancel or close asked for during a dump that does not
            // look at messages still ends the run before the compare program
            // starts.
            dumped = 0;
        }
        // Only the run's own files are in them (a copy or stream image left
        // by a failed dump).
        for (const std::string& w : {work1, work2}) {
            if (!w.empty() && plat_remove_tree(w.c_str()) != 0 && dumped == 0) {
                ui.show_error(ui_format("出力フォルダを削除できません。(%s)", w), true);
                dumped = -1;
            }
        }
        if (dumped == 0) {
            if (opt.compare) {
                rc = opt.compare(f1.c_str(), f2.c_str(), opt.compare_ctx);
                if (rc < 0) rc = 2;
            }
            if (!opt.compare || (opt.then_program && rc <= 1)) rc = launch_folder_compare(s, ui, f1, f2, &folders_unread);
        }
    }
    return finish_run(base, keep, rc, folders_unread, ui);
}

int run_comparison(int argc, const char* const* argv, run_settings& s, const dump_table& dumps, vergle_ui& ui) {
    return run_comparison(argc, argv, s, dumps, ui, run_options());
}

int run_comparison(int argc, const char* const* argv, vergle_ui& ui) {
    return run_comparison(argc, argv, g_settings, g_dumps, ui);
}
