// The directory search on real folder trees.
#include "layer/directory_search.h"
#include "layer/str_list.h"
#include "temp_tree.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <string>
#include <vector>
#include <windows.h>

namespace {

// A StrList for one test, released at the end.
class ResultList {
  public:
    ResultList() : list_(new StrList) {}
    ~ResultList() { Release(list_); }
    ResultList(const ResultList&) = delete;
    ResultList& operator=(const ResultList&) = delete;
    StrList* operator->() const { return list_; }
    operator StrList*() const { return list_; }
    std::vector<std::string> Items() const {
        std::vector<std::string> items;
        for (int32_t i = 0; i < list_->Count(); ++i)
            items.push_back(list_->Item(i));
        return items;
    }

  private:
    StrList* list_;
};

std::vector<std::string> Search(const std::string& folder, const std::string& mask) {
    ResultList list;
    DirectorySearch(folder, mask, list);
    return list.Items();
}

std::vector<std::string> Sorted(std::vector<std::string> items) {
    std::sort(items.begin(), items.end());
    return items;
}

// The subfolders of folder in the order the platform enumerates them.
std::vector<std::string> SubfoldersInPlatformOrder(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA record;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &record);
    if (search == INVALID_HANDLE_VALUE)
        return names;
    do {
        const std::string name = record.cFileName;
        if ((record.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && name != "." && name != "..")
            names.push_back(name);
    } while (FindNextFileA(search, &record));
    FindClose(search);
    return names;
}

class DirectorySearchTest : public ::testing::Test {
  protected:
    TempTree tree;
};

} // namespace

TEST_F(DirectorySearchTest, OwnFilesFirstThenEachSubfolderDepthFirst) {
    tree.MakeFolder("Alpha");
    tree.MakeFolder("Alpha\\Inner");
    tree.MakeFolder("Beta");
    tree.MakeFolder("Gamma");
    tree.MakeFile("Alpha\\a1.torrent");
    tree.MakeFile("Alpha\\Inner\\i1.torrent");
    tree.MakeFile("Alpha\\Inner\\i2.torrent");
    tree.MakeFile("Beta\\b1.torrent");
    tree.MakeFile("Gamma\\g1.torrent");
    tree.MakeFile("zeta.torrent");
    tree.MakeFile("eta.torrent");

    ResultList list;
    list->Add("already there");
    DirectorySearch(tree.Root(), "*.*", list);
    const std::vector<std::string> items = list.Items();

    ASSERT_EQ(items.size(), 8u);
    EXPECT_EQ(items[0], "already there");
    // The start folder's own files, in whatever order the platform gives them.
    EXPECT_EQ(Sorted({items[1], items[2]}),
              Sorted({tree.Path("eta.torrent"), tree.Path("zeta.torrent")}));
    // Then each subfolder with its whole subtree before the next one, in the platform's order.
    std::vector<std::vector<std::string>> subtrees = {{tree.Path("Alpha\\a1.torrent"),
                                                       tree.Path("Alpha\\Inner\\i1.torrent"),
                                                       tree.Path("Alpha\\Inner\\i2.torrent")},
                                                      {tree.Path("Beta\\b1.torrent")},
                                                      {tree.Path("Gamma\\g1.torrent")}};
    size_t position = 3;
    for (const std::string& subfolder : SubfoldersInPlatformOrder(tree.Root())) {
        const size_t which = subfolder == "Alpha" ? 0 : subfolder == "Beta" ? 1 : 2;
        const std::vector<std::string>& expected = subtrees[which];
        ASSERT_LE(position + expected.size(), items.size());
        std::vector<std::string> found(items.begin() + static_cast<ptrdiff_t>(position),
                                       items.begin() +
                                           static_cast<ptrdiff_t>(position + expected.size()));
        // Alpha's own file comes before the files of Alpha\Inner.
        EXPECT_EQ(found.front(), expected.front()) << subfolder;
        EXPECT_EQ(Sorted(found), Sorted(expected)) << subfolder;
        position += expected.size();
    }
    EXPECT_EQ(position, items.size());
}

TEST_F(DirectorySearchTest, TrailingBackslashAndEmptyMaskChangeNothing) {
    tree.MakeFolder("Sub");
    tree.MakeFile("noextension");
    tree.MakeFile("one.txt");
    tree.MakeFile("Sub\\two.torrent");

    const std::vector<std::string> plain = Search(tree.Root(), "*.*");
    ASSERT_EQ(Sorted(plain), Sorted({tree.Path("noextension"), tree.Path("one.txt"),
                                     tree.Path("Sub\\two.torrent")}));
    EXPECT_EQ(Search(tree.Root() + "\\", "*.*"), plain);
    EXPECT_EQ(Search(tree.Root(), ""), plain);
    EXPECT_EQ(Search(tree.Root() + "\\", ""), plain);
}

TEST_F(DirectorySearchTest, MaskSelectsFilesButNeverStopsTheDescentOrAddsFolders) {
    tree.MakeFolder("none here");
    tree.MakeFolder("none here\\deeper");
    tree.MakeFolder("folder.torrent");
    tree.MakeFile("none here\\readme.txt");
    tree.MakeFile("none here\\deeper\\Found.TORRENT");
    tree.MakeFile("folder.torrent\\inside.torrent");
    tree.MakeFile("top.torrent.txt");

    EXPECT_EQ(Sorted(Search(tree.Root(), "*.torrent")),
              Sorted({tree.Path("none here\\deeper\\Found.TORRENT"),
                      tree.Path("folder.torrent\\inside.torrent")}));
}

TEST_F(DirectorySearchTest, HiddenAndSystemEntriesAreIncluded) {
    tree.MakeFolder("secret");
    ASSERT_TRUE(SetFileAttributesA(tree.Path("secret").c_str(),
                                   FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN));
    tree.MakeFile("secret\\inside.txt");
    tree.MakeFile("hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    tree.MakeFile("system.txt", FILE_ATTRIBUTE_SYSTEM);
    tree.MakeFile("readonly.txt", FILE_ATTRIBUTE_READONLY);

    EXPECT_EQ(Sorted(Search(tree.Root(), "*.*")),
              Sorted({tree.Path("hidden.txt"), tree.Path("readonly.txt"),
                      tree.Path("secret\\inside.txt"), tree.Path("system.txt")}));
    SetFileAttributesA(tree.Path("readonly.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST_F(DirectorySearchTest, FolderWithoutFilesYieldsItsSubfoldersFiles) {
    tree.MakeFolder("a");
    tree.MakeFolder("a\\b");
    tree.MakeFile("a\\b\\leaf.dat");
    EXPECT_EQ(Search(tree.Root(), "*.*"), std::vector<std::string>{tree.Path("a\\b\\leaf.dat")});
}

TEST_F(DirectorySearchTest, MissingOrEmptyFolderGivesNothing) {
    EXPECT_TRUE(Search(tree.Path("does not exist"), "*.*").empty());
    EXPECT_TRUE(Search(tree.Root(), "*.*").empty());
    EXPECT_TRUE(Search("", "*.*").empty());
}

// Add Dir knows no path length limit: a file more than 2,000 characters deep is found.
TEST_F(DirectorySearchTest, FilesAtAnyDepthAreFound) {
    tree.MakeFile("a.txt");
    std::string deep = tree.Root();
    while (deep.size() < 2100)
        deep += "\\" + std::string(200, 'd');
    tree.MakeLongPathFile(deep);
    EXPECT_EQ(Sorted(Search(tree.Root(), "*.*")),
              Sorted({tree.Path("a.txt"), deep + "\\deep.txt"}));
}

TEST_F(DirectorySearchTest, LinkBackToAnEnclosingFolderEndsTheDescent) {
    tree.MakeFolder("top");
    tree.MakeFolder("top\\mid");
    tree.MakeFolder("other");
    tree.MakeFile("top\\t.txt");
    tree.MakeFile("top\\mid\\m.txt");
    tree.MakeFile("other\\o.txt");
    if (!tree.MakeFolderLink("top\\mid\\back_to_top", "top") ||
        !tree.MakeFolderLink("top\\mid\\to_other", "other"))
        FAIL() << "no folder links can be made here";

    // The link to the enclosing folder is not entered again; the link to a folder elsewhere is
    // followed like an ordinary folder.
    EXPECT_EQ(Sorted(Search(tree.Path("top"), "*.*")),
              Sorted({tree.Path("top\\t.txt"), tree.Path("top\\mid\\m.txt"),
                      tree.Path("top\\mid\\to_other\\o.txt")}));
    EXPECT_EQ(Sorted(Search(tree.Root(), "*.*")),
              Sorted({tree.Path("other\\o.txt"), tree.Path("top\\t.txt"),
                      tree.Path("top\\mid\\m.txt"), tree.Path("top\\mid\\to_other\\o.txt")}));
}
