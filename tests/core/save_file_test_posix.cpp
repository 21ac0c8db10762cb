// Saving on POSIX systems: one step for a file with one name, so that a kill at any moment leaves
// the old or the new list whole, keeping its permissions and links; a failed write leaves the old.
#include "core/save_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>

#include <sys/resource.h>
#include <sys/stat.h>

namespace fs = std::filesystem;

// A program reading the file meanwhile reads the old content whole.
TEST(SaveTextToFile, AFileWithOneNameIsReplacedInOneStepKeepingItsPermissionsAndLinks) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", std::string(50000, 'o'));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    fs::create_symlink(target, folder.Path("link.txt"));
    std::ifstream reader(target, std::ios::binary);
    ASSERT_TRUE(SaveTextToFile(folder.Path("link.txt"), "new"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), std::string(50000, 'o'));
    EXPECT_EQ(folder.Read("list.txt"), "new");
    EXPECT_TRUE(fs::is_symlink(folder.Path("link.txt")));
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
}

// Here the write fails at the file size limit.
TEST(SaveTextToFile, AFailedWriteLeavesTheOldContentAndNoTemporaryFile) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", "old");
    rlimit usual{};
    getrlimit(RLIMIT_FSIZE, &usual);
    rlimit small = usual;
    small.rlim_cur = 4096;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveTextToFile(target, std::string(50000, 'n'));
    setrlimit(RLIMIT_FSIZE, &usual);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(folder.Read("list.txt"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"list.txt"});
}
