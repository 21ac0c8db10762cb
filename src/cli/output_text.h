#pragma once
// Texts made fit for where vantrel-cli writes them: a terminal line, JSON, a magnet link.
#include <string>
#include <string_view>

// The text with every control byte (below 0x20, and 0x7F) shown as '?', so that a name can
// neither split its line nor send escape sequences to a terminal.
std::string MaskControlBytes(std::string_view text);

// The text as a quoted JSON string. Bytes that are not UTF-8 become U+FFFD, one for each
// maximal ill-formed part, as Unicode recommends.
std::string JsonString(std::string_view text);

// The text for a URI query value: every byte but ASCII letters, digits and "-._~" as %XX.
std::string PercentEncoded(std::string_view text);
