#pragma once
// Whole-file reading and writing.
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

// Creates or replaces the file with exactly the text's bytes. The new content is written to a
// temporary file beside the target and moved over it, so a failed write never damages the
// existing file. On Windows an existing target keeps its identity (attributes, permissions,
// hard links): its content is rewritten in place from that file, with the old content copied
// aside until the rewrite is done; a read-only target is refused. Returns false on any failure.
bool SaveTextToFile(std::string_view fileName, std::string_view text);
