#pragma once
// The files below a folder: the one walk behind Add Dir and vantrel-cli's folder arguments.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// True when the name leads to a folder (through links too).
bool IsFolder(std::string_view name);

// Told about a folder that cannot be searched, with the reason in the system's words.
using FolderProblem = std::function<void(const std::string& folder, const std::string& reason)>;

// Appends the path of every file in the folder and, at any depth, in its subfolders: a folder's
// own files first, then each subfolder with its whole subtree before the next one. Windows
// keeps the order in which the platform lists a folder, as Add Dir does; elsewhere the names
// of one folder are sorted byte by byte, since the platform's order there is arbitrary.
//
// As `find` does it: links to folders met during the search (symbolic links, junctions) are
// neither entered nor listed; the folder given may be one. A folder the search has already
// entered (a link the platform shows as a plain folder, a mount of a folder inside itself) is
// not entered again, so no file is listed twice. Every folder that cannot be read is passed to
// `problem`, if given, and contributes nothing; the rest of the tree is still searched.
//
// The walk keeps no call stack per level: its memory is the names of the folders listed but not
// yet searched, and the path it is at. POSIX systems open each folder from its parent's
// handle, so paths may be longer than PATH_MAX, and hold at most a few folders open, reopening
// one by its names when the walk comes back to it.
void SearchFolderForFiles(std::string_view folder, std::vector<std::string>& files,
                          const FolderProblem& problem);
