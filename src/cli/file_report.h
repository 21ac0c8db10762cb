#pragma once
// What vantrel-cli writes for one file, in each of its output forms.
#include <string>
#include <string_view>

enum class OutputForm {
    Lines,  // the lines the window's list shows
    Json,   // one JSON object a file
    Magnet, // one magnet link a well-formed file
};

struct FileReport {
    std::string output;    // for standard output: whole lines, each with its line end
    std::string complaint; // for standard error: "vantrel-cli: NAME: reason" and LF, or empty
    bool failed = false;   // the file could not be read, or has no magnet link
};

// Reads the file (regular files only) and describes it in the form asked for. Lines end with
// `lineEnd` on standard output. Safe to call from several threads at once.
FileReport ReportFile(const std::string& name, OutputForm form, std::string_view lineEnd);
