#include "layer/wildcard.h"

#include <cstddef>
#include <string>

#include "core/wide_path.h"

#include <windows.h>

namespace {

// The characters of the text, lower case as the system defines it. Matching characters rather
// than bytes lets "?" stand for one character of a multi-byte name, and no case mapping can
// change a name's byte length under the match.
std::wstring LowerCaseCopy(std::string_view text) {
    std::wstring copy = WideText(text);
    CharLowerBuffW(copy.data(), static_cast<DWORD>(copy.size()));
    return copy;
}

// Greedy matching that returns to the most recent '*' on a mismatch and lets it take one more
// character. Each '*' only ever needs its latest position, so the work stays proportional to
// name length times mask length whatever the mask looks like.
bool MatchLowered(std::wstring_view name, std::wstring_view mask) {
    std::size_t n = 0;
    std::size_t m = 0;
    std::size_t starMask = std::wstring_view::npos;
    std::size_t starName = 0;
    while (n < name.size()) {
        if (m < mask.size() && mask[m] == L'*') {
            starMask = m++;
            starName = n;
        } else if (m < mask.size() && (mask[m] == L'?' || mask[m] == name[n])) {
            ++m;
            ++n;
        } else if (starMask != std::wstring_view::npos) {
            m = starMask + 1;
            n = ++starName;
        } else {
            return false;
        }
    }
    while (m < mask.size() && mask[m] == L'*')
        ++m;
    return m == mask.size();
}

} // namespace

bool WildcardMatch(std::string_view name, std::string_view mask) {
    if (name.empty() || mask.empty())
        return false;
    // Every name matches a lone star (Add Dir's mask): no name need be converted for it.
    if (mask == "*")
        return true;
    return MatchLowered(LowerCaseCopy(name), LowerCaseCopy(mask));
}
