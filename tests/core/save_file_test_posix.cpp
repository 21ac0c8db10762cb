// Saving on POSIX systems: one step for a file with one name, so that a kill at any moment leaves
// the old or the new list whole, keeping its permissions and links; a failed write leaves the old.
#include "core/save_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <random>
#include <thread>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

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
    const rlimit small{4096, usual.rlim_max};
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveTextToFile(target, std::string(50000, 'n'));
    setrlimit(RLIMIT_FSIZE, &usual);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(folder.Read("list.txt"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"list.txt"});
}

// Killed at random moments while it saves a large list over an old one, the list holds the old or
// the new content whole, and only names a user recognises are left beside it.
TEST(SaveTextToFileSlow, AKillAtAnyMomentLeavesTheOldOrTheNewListWhole) {
    TempFolder folder;
    const std::string oldList(4000000, 'o'), newList(4000000, 'n');
    const std::string target = folder.Write("list.txt", oldList);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(SaveTextToFile(target, newList));
    const auto oneSave = std::chrono::steady_clock::now() - started;
    std::mt19937 random(17);
    int kills = 0;
    for (int round = 0; round < 400 && kills < 120; ++round) {
        for (const std::string& name : folder.Names())
            fs::remove(folder.Path(name));
        folder.Write("list.txt", oldList);
        const pid_t saver = fork();
        if (saver == 0)
            _exit(SaveTextToFile(target, newList) ? 0 : 1);
        std::this_thread::sleep_for(oneSave * std::uniform_real_distribution(0.0, 1.1)(random));
        kill(saver, SIGKILL);
        int status = 0;
        waitpid(saver, &status, 0);
        kills += WIFSIGNALED(status) ? 1 : 0;
        const std::string content = folder.Read("list.txt");
        EXPECT_TRUE(content == oldList || content == newList) << "round " << round;
        for (const std::string& name : folder.Names())
            EXPECT_TRUE(name == "list.txt" || name.find(kSaveTemporarySuffix) != name.npos ||
                        name.find(kSaveOldContentSuffix) != name.npos)
                << name;
    }
    EXPECT_GE(kills, 100);
}
