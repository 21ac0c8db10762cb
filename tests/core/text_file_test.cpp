// Whole-file reading on real files.
#include "core/text_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

TEST(LoadFileText, ReadsEveryByteAndGivesTheEmptyTextForWhatIsNoFile) {
    TempFolder folder;
    const std::string bytes("d\0\0e\xff\r\n\0", 8);
    const std::string real = folder.Write("zeros.bin", bytes);
    EXPECT_EQ(LoadFileText(real), bytes);
    for (const std::string& name : {folder.Path("missing"), folder.Write("empty", ""),
                                    folder.Path(""), std::string(), real + std::string("\0.x", 3)})
        EXPECT_EQ(LoadFileText(name), "") << name;
}
