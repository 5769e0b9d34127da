#include "terminal_ui.h"

#include <signal.h>

#include <csignal>

#include "comparison.h"
#include "workbook_dump.h"

namespace {

volatile std::sig_atomic_t g_interrupt = 0;

extern "C" void on_interrupt(int signal) { g_interrupt = signal; }

}  // namespace

void terminal_catch_interrupts() {
    // A signal ignored on entry (a background job's SIGINT, nohup's SIGHUP)
    // stays ignored.  A call the signal interrupts is not restarted: an
    // open that waits (a FIFO without a writer) fails, and the run ends.
    auto take = [](int signal) {
        struct sigaction old {}, now {};
        now.sa_handler = on_interrupt;
        sigemptyset(&now.sa_mask);
        now.sa_flags = 0;
        if (sigaction(signal, &now, &old) == 0 && old.sa_handler == SIG_IGN) sigaction(signal, &old, nullptr);
    };
    take(SIGINT);
    take(SIGTERM);
#ifdef SIGHUP
    take(SIGHUP);
#endif
}

int terminal_interrupt() { return g_interrupt; }

bool terminal_ui::pump_one_message() { return g_interrupt == 0; }

bool terminal_ui::interrupted() { return g_interrupt != 0; }

void terminal_ui::show_error(const std::string& message, bool) {
    if (hold_errors) {
        held.push_back(message);
        return;
    }
    std::string text = message;
    for (const auto& a : aliases) {
        for (size_t at = 0; (at = text.find(a.first, at)) != std::string::npos; at += a.second.size())
            text.replace(at, a.first.size(), a.second);
    }
    if (shown_) std::fputs("\r\033[K", err);
    shown_ = documents_line_ = false;
    std::fprintf(err, "Vergle: %s\n", text.c_str());
    std::fflush(err);
}

bool terminal_ui::ask_retry(const std::string& text) {
    if (shown_) std::fputs("\r\033[K", err);
    shown_ = documents_line_ = false;
    std::fprintf(err, "Vergle: %s\n", text.c_str());
    if (!interactive) {
        std::fprintf(err, "%s\n", ui_text("再試行しません(標準入力が端末ではありません)。").c_str());
        return false;
    }
    std::fprintf(err, "%s", ui_text("再試行しますか? [y/N] ").c_str());
    std::fflush(err);
    char line[64];
    if (!std::fgets(line, sizeof line, in)) return false;
    return line[0] == 'y' || line[0] == 'Y';
}

void terminal_ui::sheet_begun(int sheet, int sheets, const std::string& name_utf8) {
    if (!folder_.empty()) sheets_[folder_].push_back({sheet_file_name(name_utf8), name_utf8});
    if (!progress) return;
    if (std::chrono::steady_clock::now() - start_ < progress_after) return;
    // The document's file name only, so that the line fits and "\r" can
    // take it back.
    size_t cut = document_.find_last_of('/');
    std::string name = cut == std::string::npos ? document_ : document_.substr(cut + 1);
    std::fprintf(err, "\r\033[K%s: %s %d/%d", name.c_str(), ui_text("シート").c_str(), sheet + 1, sheets);
    std::fflush(err);
    shown_ = true;
}

void terminal_ui::sheet_written(int rows, const std::vector<sheet_break>& breaks) {
    if (folder_.empty()) return;
    std::vector<text_section>& sheets = sheets_[folder_];
    if (sheets.empty()) return;
    sheets.back().rows = rows;
    sheets.back().breaks = breaks;
}

void terminal_ui::document_begun(const std::string& document, const std::string& folder) {
    document_ = document;
    folder_ = folder;
    sheets_[folder].clear();
    start_ = std::chrono::steady_clock::now();
}

void terminal_ui::document_ended() {
    if (shown_ && !documents_line_) {
        std::fputs("\r\033[K", err);
        std::fflush(err);
    }
    shown_ = false;
    folder_.clear();
}

void terminal_ui::documents_done(long done, long total) {
    const auto now = std::chrono::steady_clock::now();
    if (done <= 1) documents_start_ = now;
    if (done >= total) {
        if (shown_) std::fputs("\r\033[K", err);
        shown_ = documents_line_ = false;
        std::fflush(err);
        return;
    }
    if (!progress || now - documents_start_ < progress_after) return;
    if (shown_ && now - documents_shown_ < std::chrono::milliseconds(100)) return;
    documents_shown_ = now;
    std::fprintf(err, "\r\033[K%s %ld/%ld", ui_text("文書").c_str(), done, total);
    std::fflush(err);
    shown_ = documents_line_ = true;
}

void terminal_ui::show_notice(const std::string& text) {
    bool held = hold_errors;
    hold_errors = false;
    show_error(text, false);
    hold_errors = held;
}

const std::vector<text_section>& terminal_ui::sheets_of(const std::string& folder) const {
    static const std::vector<text_section> none;
    auto it = sheets_.find(folder);
    return it == sheets_.end() ? none : it->second;
}

namespace {

dump_table g_linked;

int followed(dump_fn fn, const dump_request& req) {
    // Announced through the interface: a dump on a thread of its own
    // reaches this terminal through the run's queue.
    if (req.ui) req.ui->document_begun(req.path, req.output_folder);
    int rc = fn(req);
    if (req.ui) req.ui->document_ended();
    return rc;
}

int followed_workbook(const dump_request& req) { return followed(g_linked.workbook, req); }
int followed_word(const dump_request& req) { return followed(g_linked.word, req); }
int followed_powerpoint(const dump_request& req) { return followed(g_linked.powerpoint, req); }

}  // namespace

void follow_dumps(const dump_table& linked, dump_table& out) {
    g_linked = linked;
    out.workbook = linked.workbook ? followed_workbook : nullptr;
    out.word = linked.word ? followed_word : nullptr;
    out.powerpoint = linked.powerpoint ? followed_powerpoint : nullptr;
}
