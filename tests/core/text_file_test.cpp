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

TEST(LoadFileText, MissingEmptyAndFolderGiveTheEmptyText) {
    TempFolder folder;
    EXPECT_EQ(LoadFileText(folder.Path("missing")), "");
    EXPECT_EQ(LoadFileText(folder.Write("empty", "")), "");
    EXPECT_EQ(LoadFileText(folder.Path("")), "");
    EXPECT_EQ(LoadFileText(""), "");
}

TEST(LoadFileText, ReturnsEveryByteNulIncluded) {
    TempFolder folder;
    std::string bytes("d\0\0e\xff\r\n\0", 8);
    EXPECT_EQ(LoadFileText(folder.Write("zeros.bin", bytes)), bytes);
}

TEST(LoadFileText, NameWithANulByteNamesNoFile) {
    TempFolder folder;
    std::string real = folder.Write("real", "content");
    EXPECT_EQ(LoadFileText(real + std::string("\0.other", 7)), "");
}

// Standard input is redirected to a file for the duration of one call.
class StandardInputFrom {
  public:
    explicit StandardInputFrom(const std::string& file) {
#ifdef _WIN32
        saved_ = GetStdHandle(STD_INPUT_HANDLE);
        handle_ = CreateFileA(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        SetStdHandle(STD_INPUT_HANDLE, handle_);
#else
        saved_ = dup(0);
        int fd = open(file.c_str(), O_RDONLY);
        dup2(fd, 0);
        close(fd);
#endif
    }
    ~StandardInputFrom() {
#ifdef _WIN32
        SetStdHandle(STD_INPUT_HANDLE, saved_);
        CloseHandle(handle_);
#else
        dup2(saved_, 0);
        close(saved_);
#endif
    }

  private:
#ifdef _WIN32
    HANDLE saved_;
    HANDLE handle_;
#else
    int saved_;
#endif
};

TEST(LoadFileText, OnlyTheNameConInAnyCaseReadsStandardInput) {
    TempFolder folder;
    const std::string input(std::string("from stdin\0!", 12));
    StandardInputFrom redirect(folder.Write("input", input));
    EXPECT_EQ(LoadFileText("cOn"), input);
    StandardInputFrom again(folder.Path("input"));
    EXPECT_NE(LoadFileText("CON.txt"), input);
    EXPECT_NE(LoadFileText(folder.Path("CON")), input);
}

#ifndef _WIN32
// Windows reserves CON with any extension as a device name; elsewhere it is a file like others.
TEST(LoadFileText, ConWithAnExtensionIsAnOrdinaryFile) {
    TempFolder folder;
    EXPECT_EQ(LoadFileText(folder.Write("CON.txt", "a file")), "a file");
}
#endif

TEST(SaveTextToFile, ReplacesALongerFileWholeAndLeavesNoTemporaryFile) {
    TempFolder folder;
    std::string target = folder.Write("out.txt", std::string(5000, 'x'));
    ASSERT_TRUE(SaveTextToFile(target, std::string("new\r\n\0end", 10)));
    EXPECT_EQ(folder.Read("out.txt"), std::string("new\r\n\0end", 10));
    ASSERT_TRUE(SaveTextToFile(folder.Path("fresh.txt"), ""));
    EXPECT_EQ(folder.Read("fresh.txt"), "");
    EXPECT_EQ(folder.EntryCount(), 2u);
}

TEST(SaveTextToFile, ReportsFailureEvenForAnEmptyText) {
    TempFolder folder;
    EXPECT_FALSE(SaveTextToFile(folder.Path("no-such-folder/out.txt"), "text"));
    EXPECT_FALSE(SaveTextToFile(folder.Path("no-such-folder/out.txt"), ""));
    EXPECT_EQ(folder.EntryCount(), 0u);
}

TEST(SaveTextToFile, AFolderInTheWayIsLeftAsItIs) {
    TempFolder folder;
    std::filesystem::create_directory(folder.Path("taken"));
    folder.Write("taken/inside", "kept");
    EXPECT_FALSE(SaveTextToFile(folder.Path("taken"), "text"));
    EXPECT_EQ(folder.Read("taken/inside"), "kept");
    EXPECT_EQ(folder.EntryCount(), 1u);
}

#ifdef _WIN32
TEST(SaveTextToFile, ALockedFileKeepsItsContent) {
    TempFolder folder;
    std::string target = folder.Write("locked.txt", "previous content");
    HANDLE lock = CreateFileA(target.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveTextToFile(target, "replacement"));
    CloseHandle(lock);
    EXPECT_EQ(folder.Read("locked.txt"), "previous content");
    EXPECT_EQ(folder.EntryCount(), 1u);
}
#else
// The file size is read in full 64 bits: 4 GiB + 10 bytes must not load as 10 bytes.
TEST(LoadFileTextSlow, FilesPastFourGibibytesLoadWhole) {
    TempFolder folder;
    std::string name = folder.Path("sparse.bin");
    const off_t size = (off_t{1} << 32) + 10;
    int fd = open(name.c_str(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(pwrite(fd, "tail", 4, size - 4), 4);
    close(fd);
    std::string content = LoadFileText(name);
    ASSERT_EQ(content.size(), static_cast<size_t>(size));
    EXPECT_EQ(content.substr(content.size() - 4), "tail");
}
#endif

} // namespace
