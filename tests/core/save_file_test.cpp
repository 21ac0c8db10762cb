// Saving over files on disk: the content is whole, old or new, and nothing is left beside it.
#include "core/save_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(SaveTextToFile, ReplacesTheFileWholeOrReportsFailureLeavingItAsItWas) {
    TempFolder folder;
    const std::string target = folder.Write("out.txt", std::string(5000, 'x'));
    const std::string text("new\r\n\0end", 10);
    folder.Write("out.txt" + std::string(kSaveTemporarySuffix), "kept");
    ASSERT_TRUE(SaveTextToFile(target, text));
    ASSERT_TRUE(SaveTextToFile(folder.Path("fresh.txt"), ""));
    EXPECT_FALSE(SaveTextToFile(folder.Path("no-such-folder/out.txt"), ""));
    fs::create_directory(folder.Path("taken"));
    EXPECT_FALSE(SaveTextToFile(folder.Path("taken"), "text"));
    const std::string readOnly = folder.Write("read-only.txt", "old");
    fs::permissions(readOnly, fs::perms::owner_read);
    EXPECT_FALSE(SaveTextToFile(readOnly, "new"));
    fs::permissions(readOnly, fs::perms::owner_all);
    EXPECT_EQ(folder.Read("out.txt"), text);
    EXPECT_EQ(folder.Read("fresh.txt"), "");
    EXPECT_EQ(folder.Read("read-only.txt"), "old");
    EXPECT_EQ(folder.Read("out.txt" + std::string(kSaveTemporarySuffix)), "kept"); // left alone
    EXPECT_EQ(folder.Names().size(), 5u); // nothing else left behind, "taken" among them
}

// A file with other names (hard links) keeps them all: the other name sees the new content. The
// copy of its old content is gone once the save is done.
TEST(SaveTextToFile, AHardLinkedFileKeepsItsLinksAndTakesTheNewContent) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", std::string(50000, 'o'));
    fs::create_hard_link(target, folder.Path("other name.txt"));
    for (const std::string& text :
         {std::string(100000, 'n'), std::string("short"), std::string()}) {
        ASSERT_TRUE(SaveTextToFile(target, text));
        EXPECT_EQ(folder.Read("other name.txt"), text);
        EXPECT_EQ(folder.Names(), (std::vector<std::string>{"list.txt", "other name.txt"}));
    }
}
