// Reading files on Windows: names take their exact absolute form, and a file another program
// writes to is not read.
#include "core/info_hash.h"
#include "core/wide_path.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

// Resolved by the program, nothing of a part dropped.
TEST(WidePath, GivesTheExactAbsoluteFormOfEveryKindOfName) {
    TempFolder folder;
    std::filesystem::create_directories(folder.Path("u"));
    ASSERT_TRUE(SetCurrentDirectoryW(WidePath(folder.Path("u")).c_str()));
    const std::wstring here = WidePath(folder.Path("u")); // \\?\X:\...\u
    ASSERT_EQ(here.substr(0, 4), L"\\\\?\\");
    const std::wstring drive = here.substr(4, 2), above = here.substr(0, here.rfind(L'\\'));
    const std::pair<std::string, std::wstring> cases[] = {
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

TEST(DescribeFile, AFileAWriterHoldsIsUnreadableWithTheReason) {
    TempFolder folder;
    const std::string name = folder.Write("a.torrent", "d1:ae");
    HANDLE writer =
        CreateFileW(WidePath(name).c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(writer, INVALID_HANDLE_VALUE);
    const FileResult held = DescribeFile(name);
    CloseHandle(writer);
    EXPECT_EQ(held.kind, FileKind::Unreadable);
    EXPECT_NE(held.reason, "");
    EXPECT_EQ(held.lines, std::vector<std::string>{"Not a Torrent File   a.torrent"});
}
