#pragma once
// Whole-file reading.
#include <string>
#include <string_view>

// The whole content of the file, or the empty text when it is missing, unreadable, empty or
// too large to hold in memory. The name "CON" (any letter case) reads standard input to its end.
std::string LoadFileText(std::string_view fileName);

// Sets `content` to the whole content of the file if its first byte is `first` and its last
// byte is `last`, and to the empty text otherwise (as for a file LoadFileText reads as empty).
// A file of more than 64 KiB is read whole only after its two end bytes have been read alone
// and passed, so files of any other kind cost two small reads. The storage of `content` is
// reused, which spares a fresh allocation for every file of a long series.
void LoadFileTextWithEnds(std::string_view fileName, char first, char last, std::string& content);
