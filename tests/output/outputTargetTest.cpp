#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "output/outputTarget.h"
#include "outputTestFiles.h"

using namespace korvane;
using namespace korvane::outputtest;
namespace fs = std::filesystem;

namespace {

// A folder of its own per case, so that leftover temporary files show up in its listing.
class scratchFolder {
public:
    explicit scratchFolder(const std::string& tag)
        : root_(fs::temp_directory_path() / ("korvane-target-" + tag + "-" + std::to_string(::getpid()))) {
        fs::remove_all(root_);
        fs::create_directories(root_);
    }
    ~scratchFolder() {
        std::error_code ignored;
        fs::permissions(root_, fs::perms::owner_all, ignored);
        fs::remove_all(root_, ignored);
    }
    std::string path(const std::string& name) const { return (root_ / name).string(); }
    std::vector<std::string> names() const {
        std::vector<std::string> found;
        for (const auto& entry : fs::directory_iterator(root_)) found.push_back(entry.path().filename().string());
        std::sort(found.begin(), found.end());
        return found;
    }

private:
    fs::path root_;
};

mode_t modeOf(const std::string& path) {
    struct stat status {};
    EXPECT_EQ(::lstat(path.c_str(), &status), 0) << path;
    return status.st_mode & 07777;
}

mode_t currentUmask() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return mask;
}

}  // namespace

TEST(replaceFileWrites, newFileHoldsExactlyTheBytesAndNothingElseIsLeft) {
    scratchFolder dir("new");
    const std::string bytes("line\n\0tail", 10);
    ASSERT_TRUE(replaceFile(dir.path("out.ct"), bytes));
    EXPECT_EQ(readText(dir.path("out.ct")), bytes);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.ct"});
    EXPECT_EQ(modeOf(dir.path("out.ct")), 0666 & ~currentUmask());
    ASSERT_TRUE(replaceFile(dir.path("empty.dp"), ""));
    EXPECT_TRUE(fs::is_regular_file(dir.path("empty.dp")));
    EXPECT_EQ(fs::file_size(dir.path("empty.dp")), 0U);
}

TEST(replaceFileWrites, existingFileIsReplacedWholeAndKeepsItsPermissions) {
    scratchFolder dir("existing");
    writeText(dir.path("out.svg"), "a much longer old content than the new one");
    fs::permissions(dir.path("out.svg"), fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
    ASSERT_TRUE(replaceFile(dir.path("out.svg"), "new"));
    EXPECT_EQ(readText(dir.path("out.svg")), "new");
    EXPECT_EQ(modeOf(dir.path("out.svg")), 0640U);
    EXPECT_EQ(dir.names(), std::vector<std::string>{"out.svg"});
}

TEST(replaceFileRejects, linksAreNeverFollowedNorReplaced) {
    scratchFolder dir("links");
    writeText(dir.path("victim"), "precious");
    fs::create_symlink(dir.path("victim"), dir.path("link.ct"));
    fs::create_symlink(dir.path("absent"), dir.path("dangling.ct"));
    fs::create_symlink("victim", dir.path("relative.ct"));
    for (const char* name : {"link.ct", "dangling.ct", "relative.ct"}) {
        EXPECT_FALSE(replaceFile(dir.path(name), "overwritten")) << name;
        EXPECT_TRUE(fs::is_symlink(dir.path(name))) << name;
        EXPECT_FALSE(isWritableTarget(dir.path(name))) << name;
    }
    EXPECT_EQ(readText(dir.path("victim")), "precious");
    EXPECT_FALSE(fs::exists(fs::symlink_status(dir.path("absent"))));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"dangling.ct", "link.ct", "relative.ct", "victim"}));
}

TEST(replaceFileRejects, foldersPipesAndMissingFoldersWithoutLeftovers) {
    scratchFolder dir("special");
    fs::create_directories(dir.path("folder.dp"));
    ASSERT_EQ(::mkfifo(dir.path("pipe.svg").c_str(), 0600), 0);
    // A pipe would block the writer for ever if it were opened.
    EXPECT_FALSE(replaceFile(dir.path("pipe.svg"), "x"));
    EXPECT_FALSE(replaceFile(dir.path("folder.dp"), "x"));
    EXPECT_FALSE(replaceFile(dir.path("missing/out.ct"), "x"));
    EXPECT_FALSE(replaceFile(dir.path("") + "/", "x"));
    EXPECT_FALSE(replaceFile("", "x"));
    EXPECT_TRUE(fs::is_directory(dir.path("folder.dp")));
    EXPECT_TRUE(fs::is_fifo(dir.path("pipe.svg")));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"folder.dp", "pipe.svg"}));
    EXPECT_TRUE(isWritableTarget(dir.path("absent")));
    EXPECT_FALSE(isWritableTarget(dir.path("folder.dp")));
    EXPECT_FALSE(isWritableTarget(dir.path("pipe.svg")));
}

TEST(replaceFileRejects, readOnlyFileOrFolderIsLeftAsItWas) {
    if (::geteuid() == 0) GTEST_SKIP() << "permissions do not stop root from writing";
    scratchFolder dir("readonly");
    writeText(dir.path("locked.ct"), "old");
    fs::permissions(dir.path("locked.ct"), fs::perms::owner_read);
    EXPECT_FALSE(replaceFile(dir.path("locked.ct"), "new"));
    EXPECT_EQ(readText(dir.path("locked.ct")), "old");
    fs::create_directories(dir.path("shut"));
    fs::permissions(dir.path("shut"), fs::perms::owner_read | fs::perms::owner_exec);
    EXPECT_FALSE(replaceFile(dir.path("shut/out.ct"), "new"));
    fs::permissions(dir.path("shut"), fs::perms::owner_all);
    EXPECT_TRUE(fs::is_empty(dir.path("shut")));
}

TEST(removeRegularFile, removesFilesOnlyAndSaysWhetherOneRemains) {
    scratchFolder dir("remove");
    writeText(dir.path("old.svg"), "old");
    writeText(dir.path("victim"), "precious");
    fs::create_symlink(dir.path("victim"), dir.path("link.svg"));
    fs::create_directories(dir.path("folder.svg"));
    EXPECT_TRUE(removeRegularFile(dir.path("old.svg")));
    EXPECT_TRUE(removeRegularFile(dir.path("never.svg")));
    EXPECT_FALSE(removeRegularFile(dir.path("link.svg")));
    EXPECT_FALSE(removeRegularFile(dir.path("folder.svg")));
    EXPECT_EQ(dir.names(), (std::vector<std::string>{"folder.svg", "link.svg", "victim"}));
}
