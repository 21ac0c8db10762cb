// Whole-file reading on real files.
#include "core/text_file.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

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

TEST(LoadFileText, OnlyTheNameConInAnyCaseReadsStandardInput) {
    TempFolder folder;
    const std::string input("from stdin\0!", 12);
    ASSERT_NE(std::freopen(folder.Write("input", input).c_str(), "rb", stdin), nullptr);
    EXPECT_NE(LoadFileText(folder.Path("CON")), input); // and so leaves the input to "cOn"
    EXPECT_EQ(LoadFileText("cOn"), input);
}

#ifndef _WIN32
// The file size is read in full 64 bits: 4 GiB + 10 bytes must not load as 10 bytes.
TEST(LoadFileTextSlow, FilesPastFourGibibytesLoadWhole) {
    TempFolder folder;
    std::filesystem::resize_file(folder.Write("sparse", ""), (uint64_t{1} << 32) + 10);
    EXPECT_EQ(LoadFileText(folder.Path("sparse")).size(), (size_t{1} << 32) + 10);
}
#endif

} // namespace
