// Whole-file reading and writing on real files.
#include "core/text_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>
#endif

namespace {

TEST(LoadFileText, ReadsEveryByteAndGivesTheEmptyTextForWhatIsNoFile) {
    TempFolder folder;
    const std::string bytes("d\0\0e\xff\r\n\0", 8);
    const std::string real = folder.Write("zeros.bin", bytes);
    EXPECT_EQ(LoadFileText(real), bytes);
    for (const std::string& name : {folder.Path("missing"), folder.Write("empty", ""),
                                    folder.Path(""), std::string(), real + std::string("\0.x", 3)})
        EXPECT_EQ(LoadFileText(name), "") << name;
}

TEST(LoadFileText, OnlyTheNameConInAnyCaseReadsStandardInput) {
    TempFolder folder;
    const std::string input("from stdin\0!", 12);
    const std::string file = folder.Write("input", input);
#ifdef _WIN32
    const HANDLE saved = GetStdHandle(STD_INPUT_HANDLE);
    const HANDLE opened = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                      OPEN_EXISTING, 0, nullptr);
    SetStdHandle(STD_INPUT_HANDLE, opened);
#else
    const int saved = dup(0);
    const int opened = open(file.c_str(), O_RDONLY);
    dup2(opened, 0);
#endif
    // A folder's file named CON must not take the input that "cOn" reads next.
    EXPECT_NE(LoadFileText(folder.Path("CON")), input);
    EXPECT_EQ(LoadFileText("cOn"), input);
#ifdef _WIN32
    SetStdHandle(STD_INPUT_HANDLE, saved);
    CloseHandle(opened);
#else
    dup2(saved, 0);
    close(opened);
    close(saved);
#endif
}

TEST(SaveTextToFile, ReplacesTheFileWholeOrReportsFailureLeavingItAsItWas) {
    TempFolder folder;
    const std::string target = folder.Write("out.txt", std::string(5000, 'x'));
    ASSERT_TRUE(SaveTextToFile(target, std::string("new\r\n\0end", 10)));
    EXPECT_EQ(folder.Read("out.txt"), std::string("new\r\n\0end", 10));
    ASSERT_TRUE(SaveTextToFile(folder.Path("fresh.txt"), ""));
    EXPECT_EQ(folder.Read("fresh.txt"), "");
    EXPECT_FALSE(SaveTextToFile(folder.Path("no-such-folder/out.txt"), ""));
    std::filesystem::create_directory(folder.Path("taken"));
    folder.Write("taken/inside", "kept");
    EXPECT_FALSE(SaveTextToFile(folder.Path("taken"), "text"));
    EXPECT_EQ(folder.Read("taken/inside"), "kept");
#ifdef _WIN32
    HANDLE lock = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    EXPECT_FALSE(SaveTextToFile(target, "replacement"));
    CloseHandle(lock);
    EXPECT_EQ(folder.Read("out.txt"), std::string("new\r\n\0end", 10));
#endif
    EXPECT_EQ(folder.EntryCount(), 3u); // no temporary file left behind
}

#ifndef _WIN32
// The file size is read in full 64 bits: 4 GiB + 10 bytes must not load as 10 bytes.
TEST(LoadFileTextSlow, FilesPastFourGibibytesLoadWhole) {
    TempFolder folder;
    const std::string name = folder.Path("sparse.bin");
    const off_t size = (off_t{1} << 32) + 10;
    const int fd = open(name.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_EQ(pwrite(fd, "tail", 4, size - 4), 4);
    close(fd);
    const std::string content = LoadFileText(name);
    ASSERT_EQ(content.size(), static_cast<size_t>(size));
    EXPECT_EQ(content.substr(content.size() - 4), "tail");
}
#endif

} // namespace
