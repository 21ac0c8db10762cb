// Whole-file reading on real files.
#include "core/info_hash.h"
#include "core/regular_file.h"
#include "core/text_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include "core/wide_path.h"

#include <windows.h>
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

#ifdef _WIN32
TEST(LoadFileText, OnlyTheNameConInAnyCaseReadsStandardInput) {
    TempFolder folder;
    const std::string input("from stdin\0!", 12);
    ASSERT_NE(std::freopen(folder.Write("input", input).c_str(), "rb", stdin), nullptr);
    EXPECT_NE(LoadFileText(folder.Path("CON")), input); // and so leaves the input to "cOn"
    EXPECT_EQ(LoadFileText("cOn"), input);
}
#endif

#ifdef _WIN32
// Names in the exact form: resolved by the program, nothing of a part dropped.
TEST(WidePath, GivesTheExactAbsoluteFormOfEveryKindOfName) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path("u"));
    ASSERT_TRUE(SetCurrentDirectoryW(WidePath(folder.Path("u")).c_str()));
    const std::wstring here = WidePath(folder.Path("u")); // \\?\X:\...\u
    ASSERT_EQ(here.substr(0, 4), L"\\\\?\\");
    const std::wstring drive = here.substr(4, 2), above = here.substr(0, here.rfind(L'\\'));
    const struct {
        std::string name;
        std::wstring exact;
    } cases[] = {
        {"a.torrent.", here + L"\\a.torrent."},
        {"x/../..\\y /./b ", above + L"\\y \\b "},
        {ProgramText(drive) + "z", here + L"\\z"},
        {ProgramText(drive) + "\\a\\.\\b\\..\\c.", L"\\\\?\\" + drive + L"\\a\\c."},
        {"\\r", L"\\\\?\\" + drive + L"\\r"},
        {"//server/share/../x.", L"\\\\?\\UNC\\server\\share\\x."},
        {"\\\\?\\C:\\a\\..\\b.", L"\\\\?\\C:\\a\\..\\b."},
    };
    for (const auto& [name, exact] : cases)
        EXPECT_EQ(WidePath(name), exact) << name;
    SetCurrentDirectoryW(L"C:\\");
}

// Names differing only in a trailing dot or space are different files; a file another handle
// holds open for writing is unreadable, with the reason.
TEST(RegularFileReader, ReadsExactNamesAndNoFileAWriterHolds) {
    TempFolder folder;
    auto create = [&](const std::string& name, const std::string& bytes) {
        HANDLE file = CreateFileW(WidePath(folder.Path(name)).c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        DWORD wrote = 0;
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &wrote, nullptr);
        CloseHandle(file);
    };
    for (const char* name : {"a.torrent", "a.torrent.", "b.torrent "})
        create(name, name);
    RegularFileReader reader;
    for (const char* name : {"a.torrent", "a.torrent.", "b.torrent "}) {
        EXPECT_EQ(reader.Read(folder.Path(name)), "") << name;
        EXPECT_EQ(reader.Content(), name);
    }
    EXPECT_EQ(reader.Read(folder.Path("b.torrent")).empty(), false);
    HANDLE writer = CreateFileW(WidePath(folder.Path("a.torrent")).c_str(), GENERIC_WRITE,
                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const FileResult held = DescribeFile(folder.Path("a.torrent"));
    CloseHandle(writer);
    EXPECT_EQ(held.kind, FileKind::Unreadable);
    EXPECT_NE(held.reason, "");
    EXPECT_EQ(held.lines, std::vector<std::string>{"Not a Torrent File   a.torrent"});
    for (const char* name : {"a.torrent.", "b.torrent "}) // beyond the folder's own removal
        DeleteFileW(WidePath(folder.Path(name)).c_str());
}
#else
// A file rewritten in place while it is in use, to the same size and just after it was written,
// is reported as changed, whether it was read or mapped; one left alone is not.
TEST(RegularFileReader, NoticesAFileRewrittenWhileItIsInUse) {
    TempFolder folder;
    for (size_t size : {size_t{100}, size_t{2} << 20}) {
        const std::string name = folder.Write("live", std::string(size, 'a'));
        RegularFileReader reader;
        ASSERT_EQ(reader.Read(name), "");
        EXPECT_EQ(reader.Finish(), "");
        ASSERT_EQ(reader.Read(name), "");
        std::FILE* writer = std::fopen(name.c_str(), "r+b");
        std::fputs("b", writer);
        std::fclose(writer);
        EXPECT_EQ(reader.Finish(), kChangedWhileRead) << size;
    }
}

// The file size is read in full 64 bits: 4 GiB + 10 bytes must not load as 10 bytes.
TEST(LoadFileTextSlow, FilesPastFourGibibytesLoadWhole) {
    TempFolder folder;
    std::filesystem::resize_file(folder.Write("sparse", ""), (uint64_t{1} << 32) + 10);
    EXPECT_EQ(LoadFileText(folder.Path("sparse")).size(), (size_t{1} << 32) + 10);
}
#endif

} // namespace
