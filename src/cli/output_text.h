#pragma once
// Texts made fit for where vantrel-cli writes them: a terminal line, JSON, a magnet link.
#include <string>
#include <string_view>

// The text with every control character shown as one '?': the C0 controls and DEL, the C1
// controls (U+0080 to U+009F, U+0085 among them), U+2028 and U+2029, so that a name can neither
// split its line, for a reader that honours Unicode's line ends too, nor send escape sequences
// to a terminal. Other bytes stay as they are.
std::string MaskControlBytes(std::string_view text);

// The text as a quoted JSON string, the same control characters as \u escapes. Bytes that are
// not UTF-8 become U+FFFD, one for each maximal ill-formed part, as Unicode recommends.
std::string JsonString(std::string_view text);

// The text for a URI query value: every byte but ASCII letters, digits and "-._~" as %XX.
std::string PercentEncoded(std::string_view text);
