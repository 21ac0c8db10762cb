// Text, number and path operations, and splitting a command line as the platform does.
#include "core/command_line.h"
#include "core/text_ops.h"

#include <gtest/gtest.h>

namespace {

TEST(TextToInt, ReadsLeadingDigitsWithOptionalSignAndWraps) {
    const std::pair<const char*, int32_t> cases[] = {{"12ab", 12},
                                                     {" 12", 0},
                                                     {"-7", -7},
                                                     {"+7", 7},
                                                     {"", 0},
                                                     {"--1", 0},
                                                     {"4294967295", -1},
                                                     {"4294967306", 10},
                                                     {"-2147483648", INT32_MIN}};
    for (const auto& [text, value] : cases)
        EXPECT_EQ(TextToInt(text), value) << text;
}

TEST(IntToHexText, PadsToTheMinimumTakenModulo16) {
    EXPECT_EQ(IntToHexText(255, 8), "000000FF");
    EXPECT_EQ(IntToHexText(0, 0), "0");
    EXPECT_EQ(IntToHexText(0xDEADBEEF, 2), "DEADBEEF");
    EXPECT_EQ(IntToHexText(10, 17), "A");
}

TEST(PathText, NamesAndBackslashes) {
    const std::pair<std::string, std::string> names[] = {{"C:\\x\\y\\a.torrent", "a.torrent"},
                                                         {"a.torrent", "a.torrent"},
                                                         {"C:\\x/y\\z/b.torrent", "b.torrent"},
                                                         {"C:b.torrent", "b.torrent"},
                                                         {"C:\\x\\", ""}};
    for (const auto& [path, name] : names)
        EXPECT_EQ(FileNameOf(path), name) << path;
    EXPECT_EQ(EnsureTrailingBackslash("C:\\Data"), "C:\\Data\\");
    EXPECT_EQ(EnsureTrailingBackslash("C:\\Data\\"), "C:\\Data\\");
    EXPECT_EQ(StripTrailingBackslash("C:\\Data\\"), "C:\\Data");
    EXPECT_EQ(StripTrailingBackslash("C:\\"), "C:\\");
    EXPECT_EQ(StripTrailingBackslash("C:"), "C:\\");
}

TEST(TextOps, TailsCountFromOneAndCaseFoldsOnlyAscii) {
    EXPECT_EQ(TailFrom("abcdef", 3), "cdef");
    EXPECT_EQ(TailFrom("abcdef", -5), "abcdef");
    EXPECT_EQ(TailFrom("abcdef", 7), "");
    std::string text = "abcdef";
    DropTail(text, 2);
    EXPECT_EQ(text, "abcd");
    DropTail(text, 10);
    EXPECT_EQ(text, "");
    EXPECT_TRUE(SameTextAscii("CoN", "con"));
    EXPECT_FALSE(SameTextAscii("con", "con.txt"));
    EXPECT_FALSE(SameTextAscii("\xC4", "\xE4"));
    EXPECT_EQ(LowerCaseAscii(std::string("A\0Z\xC4", 4)), std::string("a\0z\xC4", 4));
}

TEST(CommandLineToken, SplitsLikeThePlatform) {
    const char* line = "\"C:\\Program Files\\v.exe\"  \"a b.torrent\" C:\\\"my dir\"\\c.torrent\t"
                       "d\x01x \"\" e \"open ended";
    const char* tokens[] = {"C:\\Program Files\\v.exe",
                            "a b.torrent",
                            "C:\\\"my dir\"\\c.torrent",
                            "d",
                            "x",
                            "e",
                            "\"open ended",
                            ""};
    for (int32_t i = 0; i < 8; ++i)
        EXPECT_EQ(CommandLineToken(line, i), tokens[i]) << i;
    EXPECT_EQ(CommandLineToken("v.exe \"", 1), "\"");
    EXPECT_EQ(CommandLineToken("v.exe", -1), "");
}

} // namespace
