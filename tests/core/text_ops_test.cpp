// Text, number and path operations, and splitting a command line as the platform does.
#include "core/command_line.h"
#include "core/text_ops.h"

#include <gtest/gtest.h>

namespace {

TEST(TextOps, NumbersNamesAndTails) {
    const std::pair<const char*, int32_t> numbers[] = {
        {"12ab", 12}, {" 12", 0},         {"+7", 7},         {"--1", 0},
        {"-7", -7},   {"4294967295", -1}, {"4294967306", 10}};
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(TextToInt(text), value) << text;
    EXPECT_EQ(IntToHexText(255, 8) + "|" + IntToHexText(10, 17), "000000FF|A"); // 17 mod 16
    for (const char* path : {"C:\\x\\y\\a.t", "a.t", "C:\\x/y\\z/a.t", "C:a.t"})
        EXPECT_EQ(FileNameOf(path), "a.t") << path;
    EXPECT_EQ(EnsureTrailingBackslash("C:\\D") + EnsureTrailingBackslash("C:\\D\\"),
              "C:\\D\\C:\\D\\");
    EXPECT_EQ(StripTrailingBackslash("C:\\D\\") + StripTrailingBackslash("C:"), "C:\\DC:\\");
    EXPECT_EQ(TailFrom("abcdef", 3) + TailFrom("abc", -5) + TailFrom("abc", 4), "cdefabc");
    std::string names = "a\rbc";
    DropTail(names, 3); // the CR and the name after it
    EXPECT_EQ(names, "a");
    EXPECT_TRUE(SameTextAscii("CoN", "con"));
}

TEST(CommandLineToken, SplitsLikeThePlatform) {
    const char* line = "\"C:\\Program Files\\v.exe\"  \"a b.torrent\" C:\\\"my dir\"\\c.torrent\t"
                       "d\x01x \"\" e \"open ended";
    std::string tokens;
    for (int32_t i = 0; i < 8; ++i)
        tokens += CommandLineToken(line, i) + "|";
    EXPECT_EQ(tokens, "C:\\Program Files\\v.exe|a b.torrent|C:\\\"my dir\"\\c.torrent|"
                      "d|x|e|\"open ended||");
}

} // namespace
