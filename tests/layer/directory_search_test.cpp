// The directory search on real folder trees: order, mask, and links back up the tree.
#include "layer/directory_search.h"
#include "layer/str_list.h"
#include "temp_tree.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <map>

namespace {

std::vector<std::string> Search(const std::string& folder, const std::string& mask) {
    auto* list = new StrList;
    list->Add("already there");
    DirectorySearch(folder, mask, list);
    std::vector<std::string> items;
    for (int32_t i = 1; i < list->Count(); ++i)
        items.push_back(list->Item(i));
    EXPECT_EQ(list->Item(0), "already there"); // found names are added after what is there
    Release(list);
    return items;
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

TEST(DirectorySearch, OwnFilesFirstThenEachSubfolderDepthFirstInThePlatformsOrder) {
    TempTree tree;
    for (const char* folder : {"Alpha", "Alpha\\Inner", "Beta", "Gamma"})
        tree.MakeFolder(folder);
    for (const char* file : {"Alpha\\a1", "Alpha\\Inner\\i1", "Beta\\b1", "Gamma\\g1", "z", "e"})
        tree.MakeFile(file);
    const std::vector<std::string> items = Search(tree.Root(), "*.*");
    ASSERT_EQ(items.size(), 6u);
    EXPECT_EQ(Sorted({items[0], items[1]}), Sorted({tree.Path("e"), tree.Path("z")}));
    std::map<std::string, std::vector<std::string>> subtrees = {
        {"Alpha", {tree.Path("Alpha\\a1"), tree.Path("Alpha\\Inner\\i1")}},
        {"Beta", {tree.Path("Beta\\b1")}},
        {"Gamma", {tree.Path("Gamma\\g1")}}};
    std::vector<std::string> expected;
    WIN32_FIND_DATAA entry;
    HANDLE search = FindFirstFileA((tree.Root() + "\\*").c_str(), &entry);
    do {
        const auto& subtree = subtrees[entry.cFileName];
        expected.insert(expected.end(), subtree.begin(), subtree.end());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
    EXPECT_EQ(std::vector(items.begin() + 2, items.end()), expected);
}

TEST(DirectorySearch, TheMaskSelectsFilesButNeverStopsTheDescent) {
    TempTree tree;
    tree.MakeFolder("none here");
    tree.MakeFolder("none here\\folder.torrent");
    for (const char* file :
         {"noextension", "top.torrent.txt", "none here\\folder.torrent\\F.TORRENT"})
        tree.MakeFile(file);
    EXPECT_EQ(Search(tree.Root(), "*.torrent"),
              std::vector{tree.Path("none here\\folder.torrent\\F.TORRENT")});
    const auto all = Sorted({tree.Path("noextension"), tree.Path("top.torrent.txt"),
                             tree.Path("none here\\folder.torrent\\F.TORRENT")});
    for (const std::string& folder : {tree.Root(), tree.Root() + "\\"})
        for (const char* mask : {"*.*", ""})
            EXPECT_EQ(Sorted(Search(folder, mask)), all) << folder << " " << mask;
    EXPECT_TRUE(Search(tree.Path("missing"), "*.*").empty());
    EXPECT_TRUE(Search("", "*.*").empty());
}

TEST(DirectorySearch, ALinkBackToAnEnclosingFolderEndsTheDescent) {
    TempTree tree;
    for (const char* folder : {"other", "top", "top\\mid"})
        tree.MakeFolder(folder);
    for (const char* file : {"other\\o", "top\\t", "top\\mid\\m"})
        tree.MakeFile(file);
    ASSERT_TRUE(tree.MakeFolderLink("top\\mid\\back_to_top", "top"));
    ASSERT_TRUE(tree.MakeFolderLink("top\\mid\\to_other", "other"));
    // A link to a folder elsewhere is followed like an ordinary folder, also after the search
    // has been in that folder.
    EXPECT_EQ(Sorted(Search(tree.Root(), "*.*")),
              Sorted({tree.Path("other\\o"), tree.Path("top\\t"), tree.Path("top\\mid\\m"),
                      tree.Path("top\\mid\\to_other\\o")}));
}

} // namespace
