// The directory search on real folder trees: the mask, and depth. The order of the walk and
// links to folders are the console program's checks under Wine, which walks with the same code.
#include "layer/directory_search.h"
#include "layer/str_list.h"
#include "window_test_support.h"

#include <algorithm>

namespace {

// What the search adds to a list, sorted when asked to.
std::vector<std::string> Search(const std::string& folder, const std::string& mask, bool sorted) {
    auto* list = new StrList;
    DirectorySearch(folder, mask, list);
    std::vector<std::string> items;
    for (int32_t i = 0; i < list->Count(); ++i)
        items.push_back(list->Item(i));
    Release(list);
    if (sorted)
        std::sort(items.begin(), items.end());
    return items;
}

TEST(DirectorySearch, TheMaskSelectsFilesButNeverStopsTheDescent) {
    TempTree tree;
    tree.Make({"none here\\", "none here\\a.torrent\\", "noextension", "top.torrent.txt",
               "none here\\a.torrent\\F.TORRENT"});
    const std::string found = tree.Path("none here\\a.torrent\\F.TORRENT");
    EXPECT_EQ(Search(tree.Root(), "*.torrent", true), std::vector{found});
    const std::vector all = {tree.Path("noextension"), found, tree.Path("top.torrent.txt")};
    for (const std::string& folder : {tree.Root(), tree.Root() + "\\"})
        for (const char* mask : {"*.*", ""})
            EXPECT_EQ(Search(folder, mask, true), all) << folder << " " << mask;
    EXPECT_TRUE(Search(tree.Path("missing"), "*.*", true).empty());
    EXPECT_TRUE(Search("", "*.*", true).empty());
}

// Add Dir knows no path length limit: a file more than 2,000 characters deep is found, also
// below a folder named relative to the current one.
TEST(DirectorySearch, FindsFilesAtAnyDepth) {
    TempTree tree;
    std::string deep = tree.Root();
    while (deep.size() < 2100)
        deep += "\\" + std::string(200, 'd');
    // Made through the wide calls' long-path form: the ANSI calls take no such path.
    const auto longForm = [](const std::string& ascii) {
        return L"\\\\?\\" + std::wstring(ascii.begin(), ascii.end());
    };
    for (size_t end = deep.find('\\', tree.Root().size() + 1); end != std::string::npos;
         end = deep.find('\\', end + 1))
        CreateDirectoryW(longForm(deep.substr(0, end)).c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(longForm(deep).c_str(), nullptr)) << GetLastError();
    HANDLE file = CreateFileW(longForm(deep + "\\deep.txt").c_str(), GENERIC_WRITE, 0, nullptr,
                              CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << GetLastError();
    CloseHandle(file);
    EXPECT_EQ(Search(tree.Root(), "*.*", false), std::vector{deep + "\\deep.txt"});
    char current[MAX_PATH + 1] = {};
    GetCurrentDirectoryA(sizeof current, current);
    SetCurrentDirectoryA(tree.Root().c_str());
    const std::string relative = deep.substr(tree.Root().size() + 1, 4 * 201 - 1); // four folders
    EXPECT_EQ(Search(relative, "*.*", false),
              std::vector{deep.substr(tree.Root().size() + 1) + "\\deep.txt"});
    SetCurrentDirectoryA(current);
    // The temporary folder's removal cannot reach so deep: taken down from the bottom here.
    DeleteFileW(longForm(deep + "\\deep.txt").c_str());
    for (; deep.size() > tree.Root().size(); deep.resize(deep.rfind('\\')))
        EXPECT_TRUE(RemoveDirectoryW(longForm(deep).c_str())) << deep.size();
}

} // namespace
