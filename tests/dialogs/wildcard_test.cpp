// Matching of entry names against search masks.
#include "layer/wildcard.h"

#include <gtest/gtest.h>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

TEST(WildcardMatch, StarAloneMatchesEveryNonEmptyName) {
    EXPECT_TRUE(WildcardMatch("a", "*"));
    EXPECT_TRUE(WildcardMatch("Sub Folder", "*"));
    EXPECT_TRUE(WildcardMatch("noextension", "*"));
    EXPECT_TRUE(WildcardMatch(".hidden", "*"));
}

TEST(WildcardMatch, EmptyNameOrMaskNeverMatches) {
    EXPECT_FALSE(WildcardMatch("", "*"));
    EXPECT_FALSE(WildcardMatch("", ""));
    EXPECT_FALSE(WildcardMatch("a", ""));
}

TEST(WildcardMatch, LetterCaseIsIgnoredOnBothSides) {
    EXPECT_TRUE(WildcardMatch("Movie.TORRENT", "*.torrent"));
    EXPECT_TRUE(WildcardMatch("movie.torrent", "*.TORRENT"));
    EXPECT_TRUE(WildcardMatch("ABC", "abc"));
}

TEST(WildcardMatch, QuestionMarkTakesExactlyOneCharacter) {
    EXPECT_TRUE(WildcardMatch("a1.txt", "a?.txt"));
    EXPECT_FALSE(WildcardMatch("a.txt", "a?.txt"));
    EXPECT_FALSE(WildcardMatch("a12.txt", "a?.txt"));
    EXPECT_TRUE(WildcardMatch("ab", "??"));
    EXPECT_FALSE(WildcardMatch("ab", "???"));
}

TEST(WildcardMatch, StarTakesAnyRunIncludingNone) {
    EXPECT_TRUE(WildcardMatch("a.torrent", "*.torrent"));
    EXPECT_TRUE(WildcardMatch(".torrent", "*.torrent"));
    EXPECT_TRUE(WildcardMatch("x.torrent.torrent", "*.torrent"));
    EXPECT_FALSE(WildcardMatch("a.torrent.bak", "*.torrent"));
    EXPECT_TRUE(WildcardMatch("abc", "a*c"));
    EXPECT_TRUE(WildcardMatch("ac", "a*c"));
    EXPECT_FALSE(WildcardMatch("ab", "a*c"));
    EXPECT_TRUE(WildcardMatch("ab", "ab*"));
    EXPECT_TRUE(WildcardMatch("ab", "ab***"));
    EXPECT_TRUE(WildcardMatch("ab", "**a**b**"));
}

TEST(WildcardMatch, MaskMustCoverTheWholeName) {
    EXPECT_FALSE(WildcardMatch("abc", "ab"));
    EXPECT_FALSE(WildcardMatch("ab", "abc"));
    EXPECT_FALSE(WildcardMatch("xabc", "abc*"));
}

// "*.*" asks for a dot here; the search itself turns "*.*" into "*" before it matches names.
TEST(WildcardMatch, StarDotStarNeedsADot) {
    EXPECT_TRUE(WildcardMatch("a.b", "*.*"));
    EXPECT_TRUE(WildcardMatch("a.", "*.*"));
    EXPECT_FALSE(WildcardMatch("noextension", "*.*"));
}

TEST(WildcardMatch, NeedsToRetryEarlierStars) {
    EXPECT_TRUE(WildcardMatch("abcabcabd", "*abd"));
    EXPECT_TRUE(WildcardMatch("mississippi", "m*iss*ppi"));
    EXPECT_FALSE(WildcardMatch("mississippi", "m*iss*ppa"));
    EXPECT_TRUE(WildcardMatch("aXbXc", "*?X?"));
}

TEST(WildcardMatch, ManyStarsAgainstALongNameFinishQuickly) {
    const std::string name(5000, 'a');
    EXPECT_FALSE(WildcardMatch(name, "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
    EXPECT_TRUE(WildcardMatch(name + "b", "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

#ifdef _WIN32
// Letters beyond ASCII fold as the system's ANSI code page says.
TEST(WildcardMatch, FoldsLettersOfTheAnsiCodePage) {
    if (GetACP() != 1252)
        GTEST_SKIP() << "ANSI code page " << GetACP() << " is not 1252";
    EXPECT_TRUE(WildcardMatch("\xC4rger.txt", "\xE4*")); // "Ärger.txt" against "ä*"
}
#endif
