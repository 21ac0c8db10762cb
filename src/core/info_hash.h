#pragma once
// Turning one file into the lines the list shows for it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The lines the list receives for a file with this content and name:
//  - one hashed line, the info-hash in upper-case hexadecimal, "   " and the name without its
//    folder: SHA-1 of the info value for v1 and hybrid torrents, SHA-256 for v2-only ones;
//  - or one line "Not a Torrent File   " and the name;
//  - or, for a damaged file, the two lines of the malformed report: "Error!" and a detail line.
std::vector<std::string> InfoHashLines(std::string_view content, std::string_view fileName);

// Appends one line to the file list.
using AppendLine = std::function<void(const std::string&)>;

// Loads the file and returns its result line. A damaged file's report goes to the file list
// directly through `appendToFileList`, and then there is no result line.
std::optional<std::string> ComputeInfoHashLine(std::string_view fileName,
                                               const AppendLine& appendToFileList);
