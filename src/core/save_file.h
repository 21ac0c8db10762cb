#pragma once
// Saving a text as a file's whole content, so that a crash at any moment leaves the file with
// its old content or its new one.
#include <string_view>

// Names beside the target that a save may leave when it is stopped half-way (killed, power
// lost): the new content not yet in place, and a hard-linked file's old content.
inline constexpr std::string_view kSaveTemporarySuffix = ".vantrel-save-tmp";
inline constexpr std::string_view kSaveOldContentSuffix = ".vantrel-old";

// Creates or replaces the file with exactly the text's bytes; false on any failure, and then
// the file keeps its old content and nothing is left beside it.
//  - A new file, or one with a single name, is replaced in one step: the text is written and
//    flushed to NAME.vantrel-save-tmp in the same folder, which then takes the file's place,
//    keeping its attributes and security (Windows) or its permission bits (POSIX; and owner and
//    group where the system allows). A symbolic link (POSIX) stays a link to the saved file.
//  - A file with several names (hard links) keeps its identity: its content is rewritten in
//    place, and its old content stays in NAME.vantrel-old, flushed, until the new content is.
//  - A read-only file, a folder and anything but a plain file are refused.
// A name already taken beside the target (left by an interrupted save) is left alone: the save
// uses NAME.vantrel-save-tmp-2 and so on.
bool SaveTextToFile(std::string_view fileName, std::string_view text);
