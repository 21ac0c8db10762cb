// Saving on Windows: a file that another program holds open cannot be replaced; the save fails,
// and neither the file nor the folder changes.
#include "core/save_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <windows.h>

TEST(SaveTextToFile, AFileHeldOpenByAnotherProgramIsLeftAsItWas) {
    TempFolder folder;
    const std::string target = folder.Write("list.txt", "old");
    HANDLE held = CreateFileA(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(SaveTextToFile(target, "new"));
    CloseHandle(held);
    EXPECT_EQ(folder.Read("list.txt"), "old");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"list.txt"});
}
