// Saving over files on disk: the content is whole, old or new, whatever happens; nothing is
// left beside the file but what an interrupted save leaves under names a user recognises.
#include "core/save_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

std::vector<std::string> NamesIn(const TempFolder& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder.Path("")))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string Lines(int count, const std::string& word) {
    std::string text;
    for (int i = 0; i < count; ++i)
        text += std::to_string(i) + " " + word + " 0FDD84C11670B541BAFEAA5AA7F64ECD781994D0\r\n";
    return text;
}

bool ReadOnly(const std::string& name, bool readOnly) {
#ifdef _WIN32
    return SetFileAttributesA(name.c_str(),
                              readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL) != 0;
#else
    return chmod(name.c_str(), readOnly ? 0444 : 0644) == 0;
#endif
}

} // namespace

TEST(SaveTextToFile, ReplacesTheFileWholeOrReportsFailureLeavingItAsItWas) {
    TempFolder folder;
    const std::string target = folder.Write("out.txt", std::string(5000, 'x'));
    const std::string text("new\r\n\0end", 10);
    const std::string leftover =
        folder.Write("out.txt" + std::string(kSaveTemporarySuffix), "kept");
    ASSERT_TRUE(SaveTextToFile(target, text));
    ASSERT_TRUE(SaveTextToFile(folder.Path("fresh.txt"), ""));
    EXPECT_FALSE(SaveTextToFile(folder.Path("no-such-folder/out.txt"), ""));
    fs::create_directory(folder.Path("taken"));
    EXPECT_FALSE(SaveTextToFile(folder.Path("taken"), "text"));
    const std::string readOnly = folder.Write("read-only.txt", "old");
    ASSERT_TRUE(ReadOnly(readOnly, true));
    EXPECT_FALSE(SaveTextToFile(readOnly, "new"));
    ReadOnly(readOnly, false);
    EXPECT_EQ(folder.Read("out.txt"), text);
    EXPECT_EQ(folder.Read("fresh.txt"), "");
    EXPECT_EQ(folder.Read("read-only.txt"), "old");
    EXPECT_EQ(folder.Read(fs::path(leftover).filename().string()), "kept"); // left alone
    EXPECT_TRUE(fs::is_directory(folder.Path("taken")));
    EXPECT_EQ(NamesIn(folder).size(), 5u); // nothing else left behind
}

// A file with other names (hard links) keeps them all: the other name sees the new content. The
// copy of its old content is gone once the save is done.
TEST(SaveTextToFile, AHardLinkedFileKeepsItsLinksAndTakesTheNewContent) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", Lines(1000, "old"));
    fs::create_hard_link(target, folder.Path("other name.txt"));
    for (const std::string& text : {Lines(2000, "new"), std::string("short"), std::string()}) {
        ASSERT_TRUE(SaveTextToFile(target, text));
        EXPECT_EQ(folder.Read("other name.txt"), text);
        EXPECT_EQ(folder.Read("list.txt"), text);
        EXPECT_EQ(NamesIn(folder), (std::vector<std::string>{"list.txt", "other name.txt"}));
    }
}

#ifndef _WIN32
bool LeftByAnInterruptedSave(const std::string& name) {
    return name.find(kSaveTemporarySuffix) != std::string::npos ||
           name.find(kSaveOldContentSuffix) != std::string::npos;
}

// A file with one name is replaced in one step: a program reading it meanwhile reads the old
// content whole. Its permission bits stay, and a symbolic link to it stays a link.
TEST(SaveTextToFile, AFileWithOneNameIsReplacedInOneStepKeepingItsPermissionsAndLinks) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", Lines(1000, "old"));
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    fs::create_symlink(target, folder.Path("link.txt"));
    std::ifstream reader(target, std::ios::binary);
    ASSERT_TRUE(SaveTextToFile(folder.Path("link.txt"), "new"));
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(reader), {}), Lines(1000, "old"));
    EXPECT_EQ(folder.Read("list.txt"), "new");
    EXPECT_TRUE(fs::is_symlink(folder.Path("link.txt")));
    EXPECT_EQ(fs::status(target).permissions(), fs::perms(0640));
}

// A save that fails while writing (here the file size limit) leaves the old content and no
// temporary file.
TEST(SaveTextToFile, AFailedWriteLeavesTheOldContentAndNoTemporaryFile) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", "old");
    rlimit usual{};
    getrlimit(RLIMIT_FSIZE, &usual);
    rlimit small = usual;
    small.rlim_cur = 4096;
    auto previous = signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool saved = SaveTextToFile(target, Lines(1000, "new"));
    setrlimit(RLIMIT_FSIZE, &usual);
    signal(SIGXFSZ, previous);
    EXPECT_FALSE(saved);
    EXPECT_EQ(folder.Read("list.txt"), "old");
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"list.txt"});
}

// Killed at random moments while it saves a large list over an old one, the list holds the old
// or the new content whole, and only names a user recognises are left beside it.
TEST(SaveTextToFileSlow, AKillAtAnyMomentLeavesTheOldOrTheNewListWhole) {
    TempFolder folder;
    const std::string oldList = Lines(100000, "old");
    const std::string newList = Lines(100000, "new");
    const std::string target = folder.Write("list.txt", oldList);
    const auto started = std::chrono::steady_clock::now();
    ASSERT_TRUE(SaveTextToFile(target, newList));
    const auto oneSave = std::chrono::steady_clock::now() - started;
    std::mt19937 random(17);
    int kills = 0, old = 0, fresh = 0, leftovers = 0;
    for (int round = 0; round < 400 && kills < 120; ++round) {
        for (const std::string& name : NamesIn(folder))
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
        old += content == oldList ? 1 : 0;
        fresh += content == newList ? 1 : 0;
        EXPECT_TRUE(content == oldList || content == newList) << "round " << round;
        for (const std::string& name : NamesIn(folder)) {
            leftovers += name != "list.txt" ? 1 : 0;
            EXPECT_TRUE(name == "list.txt" || LeftByAnInterruptedSave(name)) << name;
        }
    }
    std::cout << kills << " kills: the list was old " << old << " times, new " << fresh
              << " times; " << leftovers << " files left under recognisable names\n";
    EXPECT_GE(kills, 100);
}
#endif

#ifdef _WIN32
// A file that another program holds open cannot be replaced: the save fails, and neither the
// file nor the folder changes.
TEST(SaveTextToFile, AFileHeldOpenByAnotherProgramIsLeftAsItWas) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", "old");
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveTextToFile(target, "new"));
    CloseHandle(held);
    EXPECT_EQ(folder.Read("list.txt"), "old");
    EXPECT_EQ(NamesIn(folder), std::vector<std::string>{"list.txt"});
}
#endif
