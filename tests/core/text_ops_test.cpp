#include "core/command_line.h"
#include "core/text_ops.h"

#include <gtest/gtest.h>

namespace {

TEST(TextToInt, ReadsLeadingDigitsWithOptionalSignAndWraps) {
    EXPECT_EQ(TextToInt("12ab"), 12);
    EXPECT_EQ(TextToInt(" 12"), 0);
    EXPECT_EQ(TextToInt("-7"), -7);
    EXPECT_EQ(TextToInt("+7"), 7);
    EXPECT_EQ(TextToInt(""), 0);
    EXPECT_EQ(TextToInt("--1"), 0);
    EXPECT_EQ(TextToInt("4294967295"), -1);
    EXPECT_EQ(TextToInt("4294967306"), 10);
    EXPECT_EQ(TextToInt("-2147483648"), INT32_MIN);
}

TEST(IntToHexText, PadsToTheMinimumTakenModulo16) {
    EXPECT_EQ(IntToHexText(255, 8), "000000FF");
    EXPECT_EQ(IntToHexText(0, 0), "0");
    EXPECT_EQ(IntToHexText(0xDEADBEEF, 2), "DEADBEEF");
    EXPECT_EQ(IntToHexText(10, 17), "A");
    EXPECT_EQ(IntToHexText(10, 15), "00000000000000A");
}

TEST(FileNameOf, TakesThePartAfterTheLastSeparator) {
    EXPECT_EQ(FileNameOf("C:\\x\\y\\a.torrent"), "a.torrent");
    EXPECT_EQ(FileNameOf("a.torrent"), "a.torrent");
    EXPECT_EQ(FileNameOf("C:\\x/y\\z/b.torrent"), "b.torrent");
    EXPECT_EQ(FileNameOf("C:b.torrent"), "b.torrent");
    EXPECT_EQ(FileNameOf("C:\\x\\"), "");
}

TEST(TailAndDrop, CountFromOneAndClampAtTheEnds) {
    EXPECT_EQ(TailFrom("abcdef", 3), "cdef");
    EXPECT_EQ(TailFrom("abcdef", 0), "abcdef");
    EXPECT_EQ(TailFrom("abcdef", -5), "abcdef");
    EXPECT_EQ(TailFrom("abcdef", 7), "");
    std::string text = "abcdef";
    DropTail(text, 2);
    EXPECT_EQ(text, "abcd");
    DropTail(text, 10);
    EXPECT_EQ(text, "");
}

TEST(SameTextAscii, FoldsOnlyAsciiLetters) {
    EXPECT_TRUE(SameTextAscii("CoN", "con"));
    EXPECT_TRUE(SameTextAscii("", ""));
    EXPECT_FALSE(SameTextAscii("con", "con.txt"));
    EXPECT_FALSE(SameTextAscii("\xC4", "\xE4")); // not ASCII: not folded
    EXPECT_EQ(LowerCaseAscii(std::string("A\0Z\xC4", 4)), std::string("a\0z\xC4", 4));
}

TEST(Backslashes, AddAndRemoveOneKeepingDriveRoots) {
    EXPECT_EQ(EnsureTrailingBackslash("C:\\Data"), "C:\\Data\\");
    EXPECT_EQ(EnsureTrailingBackslash("C:\\Data\\"), "C:\\Data\\");
    EXPECT_EQ(EnsureTrailingBackslash(""), "\\");
    EXPECT_EQ(StripTrailingBackslash("C:\\Data\\"), "C:\\Data");
    EXPECT_EQ(StripTrailingBackslash("C:\\Data"), "C:\\Data");
    EXPECT_EQ(StripTrailingBackslash("C:\\"), "C:\\");
}

TEST(CommandLineToken, SplitsLikeThePlatform) {
    const char* line =
        "\"C:\\Program Files\\v.exe\"  \"a b.torrent\" C:\\\"my dir\"\\c.torrent\t d";
    EXPECT_EQ(CommandLineToken(line, 0), "C:\\Program Files\\v.exe");
    EXPECT_EQ(CommandLineToken(line, 1), "a b.torrent");
    EXPECT_EQ(CommandLineToken(line, 2), "C:\\\"my dir\"\\c.torrent");
    EXPECT_EQ(CommandLineToken(line, 3), "d");
    EXPECT_EQ(CommandLineToken(line, 4), "");
}

TEST(CommandLineToken, SkipsStandaloneEmptyQuotesAndKeepsUnclosedQuotes) {
    EXPECT_EQ(CommandLineToken("v.exe \"\" x", 1), "x");
    EXPECT_EQ(CommandLineToken("v.exe \"\"", 1), "");
    EXPECT_EQ(CommandLineToken("v.exe \"open ended", 1), "\"open ended");
    EXPECT_EQ(CommandLineToken("v.exe \"", 1), "\"");
    EXPECT_EQ(CommandLineToken("", 0), "");
    EXPECT_EQ(CommandLineToken("v.exe", -1), "");
}

} // namespace
