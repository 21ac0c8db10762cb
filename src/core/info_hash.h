#pragma once
// Turning one file into the result both programs show for it.
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class FileKind {
    Ok,          // a strictly well-formed metainfo file
    Heuristic,   // not well-formed, but the byte search found an info value to hash
    NotATorrent, // the content is not recognised as metainfo
    Malformed,   // the byte search met an element it cannot skip: the "Error!" report
    Unreadable,  // the file could not be read, or changed while it was read
};

// What a file is, for both front ends to render.
struct FileResult {
    FileKind kind = FileKind::NotATorrent;
    std::string reason; // Unreadable: why, in the system's words or the reader's
    // Info-hashes in upper-case hexadecimal. Ok: v1 is the SHA-1 of the info value (v1 and
    // hybrid torrents), v2 its SHA-256 (v2 torrents; hybrids with ResultDetail::Everything).
    // Heuristic: v1 is the SHA-1 of the range the byte search found.
    std::string v1;
    std::string v2;
    // Ok, with ResultDetail::Everything: the torrent's own name, if it has one, and its trackers.
    std::optional<std::string> torrentName;
    std::vector<std::string> trackers;
    // The lines the window's list shows: the hashed line, "Not a Torrent File   NAME" (also
    // for an unreadable file), or the two lines of the "Error!" report.
    std::vector<std::string> lines;
};

enum class ResultDetail {
    Lines,      // what the lines need
    Everything, // both info-hashes of a hybrid, the torrent's name and trackers
};

// The result for a file with this content and name (the name's folder is not shown).
FileResult DescribeContent(std::string_view content, std::string_view fileName,
                           ResultDetail detail = ResultDetail::Lines);

// DescribeContent(...).lines: the lines the list receives for a file with this content.
std::vector<std::string> InfoHashLines(std::string_view content, std::string_view fileName);

// Reads the file (RegularFileReader: regular files only) and describes it. A file that changed
// while it was read and described is read once more; changed again, it is Unreadable. Memory
// that runs out for one file makes that file Unreadable. Safe to call from several threads.
FileResult DescribeFile(std::string_view fileName, ResultDetail detail = ResultDetail::Lines);

// Appends one line to the file list.
using AppendLine = std::function<void(const std::string&)>;

// Loads the file and returns its result line. A damaged file's report goes to the file list
// directly through `appendToFileList`, and then there is no result line.
std::optional<std::string> ComputeInfoHashLine(std::string_view fileName,
                                               const AppendLine& appendToFileList);
