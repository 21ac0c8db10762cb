#pragma once
// Whole-file reading and writing.
#include <string>
#include <string_view>

// The whole content of the file, or the empty text when it is missing, unreadable, empty, not
// a regular file, too large to hold, or changing (RegularFileReader reads it). On Windows the
// name "CON" (any letter case) reads standard input to its end.
std::string LoadFileText(std::string_view fileName);

// Creates or replaces the file with exactly the text's bytes. The new content is written to a
// temporary file beside the target and moved over it, so a failed write never damages the
// existing file. On Windows an existing target keeps its identity (attributes, permissions,
// hard links): its content is rewritten in place from that file, with the old content copied
// aside until the rewrite is done; a read-only target is refused. Returns false on any failure.
bool SaveTextToFile(std::string_view fileName, std::string_view text);
