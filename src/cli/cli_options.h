#pragma once
// What vantrel-cli is asked to do, read from its arguments.
#include "cli/file_report.h"

#include <cstdint>
#include <string>
#include <vector>

// A file or folder named, or (`fromStandardInput`) the names read from standard input.
struct CliInput {
    std::string name;
    bool fromStandardInput = false;
};

struct CliOptions {
    bool showHelp = false;
    // --version: the program's name and version instead of any work.
    bool showVersion = false;
    // The number of files hashed at once; 0 for one per processor.
    uint32_t jobs = 0;
    OutputForm form = OutputForm::Lines;
    // Files, folders, and standard input for a "-" before any "--", in the order given.
    std::vector<CliInput> inputs;
    // Set when the arguments cannot be used; the text says why.
    std::string error;
};

// Reads the arguments (without the program name). Options: -j N (also -jN), --json, --magnet,
// -h and --help; "--" ends the options, so that later arguments are names even when they start
// with "-", "-" itself included. Empty arguments name nothing and are skipped.
CliOptions ParseCliOptions(const std::vector<std::string>& arguments);

// The text --help prints.
extern const char kCliUsage[];
