// Matching of entry names against search masks: whole names, letter case ignored.
#include "layer/wildcard.h"

#include <gtest/gtest.h>
#include <windows.h>

using Pairs = std::initializer_list<std::pair<const char*, const char*>>;

TEST(WildcardMatch, MatchesWholeNamesIgnoringLetterCase) {
    for (const auto& [name, mask] : Pairs{{"a", "*"},
                                          {".hidden", "*"},
                                          {"Movie.TORRENT", "*.torrent"},
                                          {"m.t", "*.T"},
                                          {"a1.txt", "a?.txt"},
                                          {".torrent", "*.torrent"},
                                          {"ab", "ab***"},
                                          {"ab", "**a**b**"},
                                          {"abcabcabd", "*abd"},
                                          {"mississippi", "m*iss*ppi"},
                                          {"aXbXc", "*?X?"}})
        EXPECT_TRUE(WildcardMatch(name, mask)) << name << " against " << mask;
    for (const auto& [name, mask] : Pairs{{"", "*"},
                                          {"a", ""},
                                          {"abc", "ab"},
                                          {"ab", "abc"},
                                          {"xabc", "abc*"},
                                          {"a.txt", "a?.txt"},
                                          {"a12.txt", "a?.txt"},
                                          {"a.torrent.bak", "*.torrent"},
                                          {"ab", "a*c"},
                                          {"noextension", "*.*"},
                                          {"mississippi", "m*iss*ppa"}})
        EXPECT_FALSE(WildcardMatch(name, mask)) << name << " against " << mask;
    // Letters of the ANSI code page fold too; later mismatches retry only the latest star.
    EXPECT_EQ(WildcardMatch("\xC4rger.txt", "\xE4*"), GetACP() == 1252);
    EXPECT_FALSE(WildcardMatch(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}
