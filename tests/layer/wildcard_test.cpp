// Matching of entry names against search masks.
#include "layer/wildcard.h"

#include <gtest/gtest.h>
#include <string>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

struct Case {
    const char* name;
    const char* mask;
    bool matches;
};

void ExpectAll(std::initializer_list<Case> cases) {
    for (const Case& c : cases)
        EXPECT_EQ(WildcardMatch(c.name, c.mask), c.matches)
            << "\"" << c.name << "\" against \"" << c.mask << "\"";
}

} // namespace

TEST(WildcardMatch, StarAloneMatchesEveryNameButNoEmptyTextMatches) {
    ExpectAll({{"a", "*", true},
               {"Sub Folder", "*", true},
               {"noextension", "*", true},
               {".hidden", "*", true},
               {"", "*", false},
               {"", "", false},
               {"a", "", false}});
}

TEST(WildcardMatch, LiteralsIgnoreLetterCaseAndMustCoverTheWholeName) {
    ExpectAll({{"Movie.TORRENT", "*.torrent", true},
               {"movie.torrent", "*.TORRENT", true},
               {"ABC", "abc", true},
               {"abc", "ab", false},
               {"ab", "abc", false},
               {"xabc", "abc*", false}});
}

TEST(WildcardMatch, QuestionMarkTakesExactlyOneCharacter) {
    ExpectAll({{"a1.txt", "a?.txt", true},
               {"a.txt", "a?.txt", false},
               {"a12.txt", "a?.txt", false},
               {"ab", "??", true},
               {"ab", "???", false}});
}

TEST(WildcardMatch, StarTakesAnyRunIncludingNone) {
    ExpectAll({{"a.torrent", "*.torrent", true},
               {".torrent", "*.torrent", true},
               {"x.torrent.torrent", "*.torrent", true},
               {"a.torrent.bak", "*.torrent", false},
               {"ac", "a*c", true},
               {"ab", "a*c", false},
               {"ab", "ab***", true},
               {"ab", "**a**b**", true},
               // Here "*.*" asks for a dot; the search turns "*.*" into "*" before matching.
               {"a.", "*.*", true},
               {"noextension", "*.*", false}});
}

TEST(WildcardMatch, LaterMismatchesRetryEarlierStars) {
    ExpectAll({{"abcabcabd", "*abd", true},
               {"mississippi", "m*iss*ppi", true},
               {"mississippi", "m*iss*ppa", false},
               {"aXbXc", "*?X?", true}});
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
