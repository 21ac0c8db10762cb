#pragma once
// The files below a folder: the one walk behind Add Dir and vantrel-cli's folder arguments.
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// True when the name leads to a folder (through links too).
bool IsFolder(std::string_view name);

// Appends the path of every file in the folder and, at any depth, in its subfolders: a folder's
// own files first, then each subfolder with its whole subtree before the next one. Windows
// keeps the order in which the platform lists a folder, as Add Dir does; elsewhere the names
// of one folder are sorted byte by byte, since the platform's order there is arbitrary.
// Folders that cannot be read contribute nothing; a folder link that leads back to a folder the
// search is already inside is not entered again.
void AppendFolderFiles(std::string_view folder, std::vector<std::string>& files);

// Told about a folder that cannot be searched, with the reason in the system's words.
using FolderProblem = std::function<void(const std::string& folder, const std::string& reason)>;

// The search of the console front end, as `find` does it: the files of AppendFolderFiles, but
// links to folders met during the search are neither entered nor listed (the folder given may
// be one), and every folder that cannot be read is reported. On POSIX systems each folder is
// opened from its parent's handle, so paths may be longer than PATH_MAX.
void SearchFolderForFiles(std::string_view folder, std::vector<std::string>& files,
                          const FolderProblem& problem);
