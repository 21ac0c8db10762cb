#include "layer/wildcard.h"

#include <cstddef>
#include <string>

#include <windows.h>

namespace {

// Lower case as the system's ANSI code page defines it.
std::string LowerCaseCopy(std::string_view text) {
    std::string copy(text);
    CharLowerBuffA(copy.data(), static_cast<DWORD>(copy.size()));
    return copy;
}

// Greedy matching that returns to the most recent '*' on a mismatch and lets it take one more
// character. Each '*' only ever needs its latest position, so the work stays proportional to
// name length times mask length whatever the mask looks like.
bool MatchLowered(std::string_view name, std::string_view mask) {
    std::size_t n = 0;
    std::size_t m = 0;
    std::size_t starMask = std::string_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == '*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == '?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (starMask != std::string_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == '*')
        ++m;
    return m == mask.size();
}

} // namespace

bool WildcardMatch(std::string_view name, std::string_view mask) {
    if (name.empty() || mask.empty())
        return false;
    return MatchLowered(LowerCaseCopy(name), LowerCaseCopy(mask));
}
