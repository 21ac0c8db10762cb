#pragma once
// Whole-file reading for the window: the layer's LoadFileText. Neither program calls it today:
// both hash through the info-hash unit's own reader, which keeps its storage from file to file
// (info_hash.h). It is the portable reader's plain whole-file form, on both platforms.
#include <string>
#include <string_view>

// The whole content of the file, or the empty text when it is missing, unreadable, empty, not
// a regular file, too large to hold, or changing (RegularFileReader reads it). On Windows the
// name "CON" (any letter case) reads standard input to its end.
std::string LoadFileText(std::string_view fileName);
