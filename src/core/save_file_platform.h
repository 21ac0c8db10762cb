#pragma once
// The platform's side of saving a file (save_file_win32.cpp, save_file_posix.cpp).
#include <string>
#include <string_view>

// What a save finds under the target's name.
enum class SaveTarget {
    Missing,
    SingleLink, // a plain file with one name: replaced in one step
    HardLinked, // a plain file with several names: rewritten in place
    Refused,    // read-only, a folder, a device, or not to be inspected
};

// Inspects the target. A symbolic link that leads to a file (POSIX) is followed: `name`
// becomes the name of that file.
SaveTarget InspectSaveTarget(std::string& name);

// The outcome of creating a file under a name that must be new.
enum class NewFile { Written, NameTaken, Failed };

// Creates `name` with the text's bytes, flushed to disk. Where `target` exists, the new file
// takes its permission bits (POSIX). On failure nothing stays under `name`.
NewFile WriteNewFile(const std::string& name, std::string_view text, const std::string& target);

// Creates `name` with a copy of the content of `source`, flushed to disk with its folder entry.
// On failure nothing stays under `name`.
NewFile CopyToNewFile(const std::string& source, const std::string& name);

// Puts `replacement` in the place of `target` (missing, or a file with one name) in one step
// that a crash cannot divide, flushed to disk.
bool MoveOver(const std::string& replacement, const std::string& target);

// Rewrites the content of the existing file in place with the text's bytes, or with the
// content of the file `source`, flushed to disk.
bool RewriteFile(const std::string& name, std::string_view text);
bool RewriteFileFrom(const std::string& name, const std::string& source);

void RemoveFile(const std::string& name);
