#pragma once
// Names and text as the Windows wide-character calls take them (Windows builds only).
// The program holds names in its active code page, which its manifest makes UTF-8; the
// wide calls see every name whole, whatever its script, and need no 260-character limit.
#include <string>
#include <string_view>

// The name in UTF-16 for the wide file calls, in the exact form: absolute, with the "\\?\"
// prefix ("\\?\UNC\server\share\..." for network paths), "/" turned into "\", "." and ".."
// resolved by the program itself. The system takes such a name as it stands: "a.torrent." and
// "b.torrent " (trailing dot, space) name their own files,
// and no length limit applies. Relative names start from the current folder (of their drive,
// for "X:name"). Names already in the "\\?\" or "\\.\" form are passed as they are.
std::wstring WidePath(std::string_view name);

// Text from the wide calls in the program's code page, and back.
std::string ProgramText(std::wstring_view text);
std::wstring WideText(std::string_view text);
