#pragma once
// Whole-file reading and writing.
#include <string>
#include <string_view>

// The whole content of the file, or the empty text when it is missing, unreadable, empty or
// too large to hold in memory. The name "CON" (any letter case) reads standard input to its end.
std::string LoadFileText(std::string_view fileName);

// Creates or replaces the file with exactly the text's bytes. The new content is written to a
// temporary file beside the target and moved over it, so a failed write never damages the
// existing file. Returns false on any failure.
bool SaveTextToFile(std::string_view fileName, std::string_view text);
