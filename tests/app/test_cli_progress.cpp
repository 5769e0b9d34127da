// Progress of the command line's dumps on standard error, the order of the
// sheets it learns from them, and the private folder of --text.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdio>
#include <string>

#include "document_text.h"
#include "linked_dumps.h"
#include "platform.h"
#include "test_support.h"

namespace {

std::string read_all(std::FILE* f) {
    std::string s;
    std::rewind(f);
    char buf[4096];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) s.append(buf, n);
    return s;
}

struct progress_case {
    bool progress;
    int after_ms;
    const char* expected;
};

TEST(CliProgress, ShownOnlyWhenAskedAndAfterItsDelay) {
    std::string samples = vt::join(vt::join(vt::source_dir(), "samples"), "budget_v2.xlsx");
    vt::scratch_dir temp;
    plat_setenv("TEMP", temp.path().c_str());
    const progress_case cases[] = {
        {true, 0, "\r\033[Kbudget_v2.xlsx: シート 1/2\r\033[Kbudget_v2.xlsx: シート 2/2\r\033[K"},
        {false, 0, ""},                       // standard error is no terminal
        {true, 3600 * 1000, ""},              // a document quicker than the delay
    };
    for (const progress_case& c : cases) {
        dump_table linked, dumps;
        register_linked_dumps(linked);
        follow_dumps(linked, dumps);
        terminal_ui ui;
        ui.progress = c.progress;
        ui.progress_after = std::chrono::milliseconds(c.after_ms);
        std::FILE* err = std::tmpfile();
        std::FILE* out = std::tmpfile();
        ASSERT_TRUE(err && out);
        ui.err = err;
        run_settings s;
        ASSERT_EQ(print_document_text(samples.c_str(), s, dumps, 1, ui, out), 0);
        EXPECT_EQ(read_all(err), c.expected);
        // The sheets in the workbook's order, named as in the workbook.
        std::string text = read_all(out);
        EXPECT_LT(text.find("=== 予算 2024 ===\n"), text.find("=== Info ===\n")) << text;
        std::fclose(err);
        std::fclose(out);
        std::vector<plat_dirent> left;
        EXPECT_EQ(plat_list_dir(temp.path().c_str(), left), 0);
        EXPECT_TRUE(left.empty()) << "the private folder is removed";
    }
    plat_setenv("TEMP", nullptr);
}

// Two folders: the documents done of all, shown once the dumps take longer
// than the delay, at most ten times a second, taken back at the end.
TEST(CliProgress, DocumentsDoneOfAll) {
    const std::string line = "\r\033[K" + ui_text("文書");
    const progress_case cases[] = {
        {true, 0, ""},          // expected built below
        {false, 0, ""},         // standard error is no terminal
        {true, 3600 * 1000, ""},  // quicker than the delay
    };
    for (const progress_case& c : cases) {
        terminal_ui ui;
        ui.progress = c.progress;
        ui.progress_after = std::chrono::milliseconds(c.after_ms);
        std::FILE* err = std::tmpfile();
        ASSERT_TRUE(err);
        ui.err = err;
        for (long done = 1; done <= 3; ++done) ui.documents_done(done, 3);
        std::string expected = c.progress && c.after_ms == 0 ? line + " 1/3\r\033[K" : "";
        EXPECT_EQ(read_all(err), expected);
        std::fclose(err);
    }
}

}  // namespace

// The folder --text works in: new, for this user alone, under the folder
// given; an existing name is never taken over.
namespace {

struct quiet_ui : vergle_ui {
    std::string last;
    void show_error(const std::string& text, bool) override { last = text; }
    bool ask_retry(const std::string&) override { return false; }
    bool pump_one_message() override { return true; }
};

TEST(CliRunFolder, NewAndPrivate) {
    vt::scratch_dir base;
    quiet_ui ui;
    std::string a = make_run_folder(base.path(), ui), b = make_run_folder(base.path(), ui);
    ASSERT_FALSE(a.empty());
    ASSERT_FALSE(b.empty());
    EXPECT_NE(a, b);
    EXPECT_EQ(a.rfind(base.path(), 0), 0u);
    struct stat st;
    ASSERT_EQ(lstat(a.c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(make_run_folder(base / "missing", ui), "");
    EXPECT_EQ(ui.last, ui_format("一時フォルダを作成できません。(%s)", base / "missing"));
}

}  // namespace
