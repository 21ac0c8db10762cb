// Whole-file reading and writing on real files.
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

#ifdef _WIN32
TEST(LoadFileText, OnlyTheNameConInAnyCaseReadsStandardInput) {
    TempFolder folder;
    const std::string input("from stdin\0!", 12);
    ASSERT_NE(std::freopen(folder.Write("input", input).c_str(), "rb", stdin), nullptr);
    EXPECT_NE(LoadFileText(folder.Path("CON")), input); // and so leaves the input to "cOn"
    EXPECT_EQ(LoadFileText("cOn"), input);
}
#endif

TEST(SaveTextToFile, ReplacesTheFileWholeOrReportsFailureLeavingItAsItWas) {
    TempFolder folder;
    const std::string target = folder.Write("out.txt", std::string(5000, 'x'));
    const std::string text("new\r\n\0end", 10);
    ASSERT_TRUE(SaveTextToFile(target, text));
    ASSERT_TRUE(SaveTextToFile(folder.Path("fresh.txt"), ""));
    EXPECT_FALSE(SaveTextToFile(folder.Path("no-such-folder/out.txt"), ""));
    std::filesystem::create_directory(folder.Path("taken"));
    EXPECT_FALSE(SaveTextToFile(folder.Path("taken"), "text"));
    EXPECT_EQ(folder.Read("out.txt"), text);
    EXPECT_EQ(folder.Read("fresh.txt"), "");
    EXPECT_TRUE(std::filesystem::is_directory(folder.Path("taken")));
    auto entries = std::filesystem::directory_iterator(folder.Path(""));
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 3); // no temporary file left behind
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
