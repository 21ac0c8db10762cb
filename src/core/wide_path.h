#pragma once
// Names and text as the Windows wide-character calls take them (Windows builds only).
// The program holds names in its active code page, which its manifest makes UTF-8; the
// wide calls see every name whole, whatever its script, and need no 260-character limit.
#include <string>
#include <string_view>

// The name in UTF-16 for the wide file calls. A path too long for the platform's classic
// limit is made absolute and given the "\\?\" prefix (the UNC form for network paths), which
// lifts the limit on every Windows version; shorter names are passed as they are.
std::wstring WidePath(std::string_view name);

// Text from the wide calls in the program's code page, and back.
std::string ProgramText(std::wstring_view text);
std::wstring WideText(std::string_view text);
