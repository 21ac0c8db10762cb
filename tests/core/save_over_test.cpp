// Saving over a file keeps the file: its other names (hard links) see the new content, and a
// read-only file is left as it is.
#include "core/text_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

namespace fs = std::filesystem;

TEST(SaveOverAFile, KeepsItsHardLinksAndLeavesAReadOnlyOne) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", "old content");
    fs::create_hard_link(target, folder.Path("other name.txt"));
    ASSERT_TRUE(SaveTextToFile(target, "new"));
    EXPECT_EQ(folder.Read("other name.txt"), "new");
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_FALSE(SaveTextToFile(target, "newer"));
    EXPECT_EQ(folder.Read("list.txt"), "new");
    fs::permissions(target, fs::perms::owner_write, fs::perm_options::add);
}
