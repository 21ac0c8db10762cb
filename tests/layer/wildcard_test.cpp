// Matching of entry names against search masks: whole names, letter case ignored.
#include "layer/wildcard.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <sstream>

// Each case is "name|mask"; cases are separated by spaces.
const char kMatching[] = "a|* .hidden|* Movie.TORRENT|*.torrent m.t|*.T a1.txt|a?.txt "
                         ".torrent|*.torrent ab|ab*** ab|**a**b** abcabcabd|*abd "
                         "mississippi|m*iss*ppi aXbXc|*?X?";
const char kFailing[] = "|* a| abc|ab ab|abc xabc|abc* a.txt|a?.txt a12.txt|a?.txt "
                        "a.torrent.bak|*.torrent ab|a*c noextension|*.* mississippi|m*iss*ppa";

TEST(WildcardMatch, MatchesWholeNamesIgnoringLetterCase) {
    for (const auto& [cases, matches] : {std::pair{kMatching, true}, {kFailing, false}}) {
        std::istringstream words(cases);
        for (std::string c; words >> c;)
            EXPECT_EQ(WildcardMatch(c.substr(0, c.find('|')), c.substr(c.find('|') + 1)), matches)
                << c;
    }
    // Letters of the ANSI code page fold too; later mismatches retry only the latest star.
    EXPECT_EQ(WildcardMatch("\xC4rger.txt", "\xE4*"), GetACP() == 1252);
    EXPECT_FALSE(WildcardMatch(std::string(5000, 'a'), "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*b"));
}
