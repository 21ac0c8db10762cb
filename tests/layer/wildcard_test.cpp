// Matching of entry names against search masks.
#include "layer/wildcard.h"

#include <gtest/gtest.h>
#include <windows.h>

namespace {

TEST(WildcardMatch, MatchesWholeNamesIgnoringLetterCase) {
    const struct {
        const char *name, *mask;
        bool matches;
    } cases[] = {
        {"a", "*", true},
        {".hidden", "*", true},
        {"", "*", false},
        {"a", "", false},
        {"Movie.TORRENT", "*.torrent", true},
        {"movie.torrent", "*.TORRENT", true},
        {"abc", "ab", false},
        {"ab", "abc", false},
        {"xabc", "abc*", false},
        {"a1.txt", "a?.txt", true},
        {"a.txt", "a?.txt", false},
        {"a12.txt", "a?.txt", false},
        {".torrent", "*.torrent", true},
        {"a.torrent.bak", "*.torrent", false},
        {"ab", "a*c", false},
        {"ab", "ab***", true},
        {"ab", "**a**b**", true},
        {"noextension", "*.*", false},
        {"abcabcabd", "*abd", true},
        {"mississippi", "m*iss*ppi", true},
        {"mississippi", "m*iss*ppa", false},
        {"aXbXc", "*?X?", true},
        {"\xC4rger.txt", "\xE4*", GetACP() == 1252}, // letters of the ANSI code page fold too
    };
    for (const auto& c : cases)
        EXPECT_EQ(WildcardMatch(c.name, c.mask), c.matches) << c.name << " against " << c.mask;
    const std::string name(5000, 'a'); // later mismatches retry only the latest star
    EXPECT_FALSE(WildcardMatch(name, "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}

} // namespace
