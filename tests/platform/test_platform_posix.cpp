// POSIX-only behaviour of the platform layer: symbolic links, pipes.
#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <thread>

#include "platform.h"
#include "test_support.h"

namespace {

// A tree that holds links to a folder of precious files, and a link to one
// precious file: removing the tree removes the links and nothing they point at.
TEST(PlatformLinks, RemoveTreeNeverFollowsLinks) {
    vt::scratch_dir dir;
    std::string precious = dir / "precious";
    ASSERT_EQ(plat_make_dir(precious.c_str()), 0);
    ASSERT_TRUE(vt::write_file(vt::join(precious, "keep.txt"), "keep me"));
    ASSERT_EQ(plat_make_dir(vt::join(precious, "inner").c_str()), 0);
    ASSERT_TRUE(vt::write_file(vt::join(vt::join(precious, "inner"), "also.txt"), "and me"));

    std::string tree = dir / "output";
    ASSERT_EQ(plat_make_dir(tree.c_str()), 0);
    ASSERT_EQ(plat_make_dir(vt::join(tree, "sub").c_str()), 0);
    ASSERT_EQ(symlink(precious.c_str(), vt::join(tree, "link-to-folder").c_str()), 0);
    ASSERT_EQ(symlink(precious.c_str(), vt::join(vt::join(tree, "sub"), "deep-link").c_str()), 0);
    ASSERT_EQ(symlink(vt::join(precious, "keep.txt").c_str(), vt::join(tree, "link-to-file").c_str()), 0);
    ASSERT_EQ(symlink("/nonexistent/target", vt::join(tree, "dangling").c_str()), 0);

    EXPECT_EQ(plat_path_kind(vt::join(tree, "link-to-folder").c_str()), PLAT_LINK);
    std::vector<plat_dirent> entries;
    ASSERT_EQ(plat_list_dir(tree.c_str(), entries), 0);
    for (const plat_dirent& e : entries) {
        if (e.name != "sub") {
            EXPECT_EQ(e.kind, PLAT_LINK) << e.name;
        }
    }

    EXPECT_EQ(plat_remove_tree(tree.c_str()), 0);
    EXPECT_FALSE(vt::exists(tree));
    EXPECT_EQ(vt::read_file(vt::join(precious, "keep.txt")), "keep me");
    EXPECT_EQ(vt::read_file(vt::join(vt::join(precious, "inner"), "also.txt")), "and me");
}

TEST(PlatformLinks, NewFilesAndRunFoldersNeverGoThroughLinks) {
    vt::scratch_dir dir;
    std::string target = dir / "target";
    ASSERT_TRUE(vt::write_file(target, "target"));
    std::string link = dir / "link", dangling = dir / "dangling";
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    ASSERT_EQ(symlink((dir / "nowhere").c_str(), dangling.c_str()), 0);
    EXPECT_EQ(plat_open(link.c_str(), PLAT_CREATE), nullptr);
    EXPECT_EQ(plat_open(dangling.c_str(), PLAT_CREATE), nullptr);
    EXPECT_EQ(vt::read_file(target), "target");
    EXPECT_FALSE(vt::exists(dir / "nowhere"));
    // The run folder: readable by the user alone.
    std::string run;
    ASSERT_EQ(plat_make_run_dir(dir.path().c_str(), run), 0);
    struct stat st;
    ASSERT_EQ(lstat(run.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(PlatformLinks, RemoveTreeOnALinkRemovesOnlyTheLink) {
    vt::scratch_dir dir;
    std::string precious = dir / "precious";
    ASSERT_EQ(plat_make_dir(precious.c_str()), 0);
    ASSERT_TRUE(vt::write_file(vt::join(precious, "keep.txt"), "keep me"));
    std::string link = dir / "link";
    ASSERT_EQ(symlink(precious.c_str(), link.c_str()), 0);
    EXPECT_EQ(plat_remove_tree(link.c_str()), 0);
    EXPECT_FALSE(vt::exists(link));
    EXPECT_EQ(vt::read_file(vt::join(precious, "keep.txt")), "keep me");
}

// A pipe cannot be mapped: its content is read in, however long it is.
TEST(PlatformFiles, MappingAPipeReadsIt) {
    vt::scratch_dir dir;
    std::string fifo = dir / "fifo";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::string text(200000, 'x');
    for (size_t i = 0; i < text.size(); i += 1000) text[i] = '\n';
    std::thread writer([&] {
        int fd = open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        for (size_t at = 0; at < text.size();) {
            ssize_t n = write(fd, text.data() + at, text.size() - at);
            if (n <= 0) break;
            at += static_cast<size_t>(n);
        }
        close(fd);
    });
    int status = 1;
    plat_mapping* m = plat_map_file(fifo.c_str(), &status, true);
    writer.join();
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(status, 0);
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(plat_mapped_data(m)), plat_mapped_size(m)) == text);
    plat_unmap_file(m);
}

// A user's document cut short by another program while it is read: its
// bytes were read in, so the reader sees the whole file and is not killed.
TEST(PlatformFiles, ADocumentCutShortMeanwhileIsStillReadWhole) {
    vt::scratch_dir dir;
    std::string text(100000, 'd');
    ASSERT_TRUE(vt::write_file(dir / "doc.xls", text));
    int status = 1;
    plat_mapping* m = plat_map_file((dir / "doc.xls").c_str(), &status);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(truncate((dir / "doc.xls").c_str(), 0), 0);
    EXPECT_TRUE(std::string(reinterpret_cast<const char*>(plat_mapped_data(m)), plat_mapped_size(m)) == text);
    plat_unmap_file(m);
}

}  // namespace
