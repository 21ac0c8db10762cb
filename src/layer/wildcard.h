#pragma once
// Name matching against a search mask with '*' (any run of characters, none included) and '?'
// (exactly one character), as the directory search uses it to filter folder entries.
#include <string_view>

// True when the name matches the mask, ignoring letter case. An empty name or an empty mask
// never matches; the mask "*" matches every other name.
bool WildcardMatch(std::string_view name, std::string_view mask);
