#include "cli/cli_options.h"

#include <string_view>

const char kCliUsage[] =
    "usage: vantrel-cli [-j N] [--json | --magnet] [--] NAME...\n"
    "\n"
    "Prints one line for every file: its info-hash in upper-case hexadecimal digits, three\n"
    "spaces and the file's name, or \"Not a Torrent File\" and the name; a damaged file gets a\n"
    "two-line report that starts with \"Error!\". Lines come in the order of the names, each as\n"
    "soon as it and those before it are ready. Control characters in names are shown as '?'.\n"
    "Only regular files are read; for any other file, and any that cannot be read, a message\n"
    "goes to standard error, and the line says \"Not a Torrent File\".\n"
    "\n"
    "NAME   a file; a folder, for every file in it and below it (a folder's own files first,\n"
    "       then each subfolder in turn; links to folders inside are not followed); or -, for\n"
    "       names read from standard input, one a line.\n"
    "\n"
    "  -j N        hash N files at once (default: one per processor)\n"
    "  --json      one JSON object a file: \"file\", \"name\", \"status\" (ok, heuristic,\n"
    "              not-a-torrent, malformed, unreadable); for ok \"v1\" and/or \"v2\" in\n"
    "              lower-case hexadecimal and \"info_name\"; for heuristic \"heuristic_v1\";\n"
    "              for unreadable \"error\"\n"
    "  --magnet    one magnet link a well-formed file (info-hashes, name, trackers)\n"
    "  -h, --help  print this text\n"
    "  --version   print the program's name and version\n"
    "  --          every later argument is a name, even one that starts with -\n"
    "\n"
    "Exit status: 0 when every file was read and every line written; 1 when a file could not\n"
    "be read, a folder could not be searched, a file got no magnet link, or the output failed\n"
    "(\"write error\" and the reason on standard error); 2 for unusable arguments. A closed\n"
    "pipe ends the program by SIGPIPE on Linux, as it ends the core utilities. Set\n"
    "VANTREL_SHA_EXTENSIONS=off to hash without the processor's SHA extensions.\n";

namespace {

constexpr uint32_t kMostJobs = 1024;

// A count of 1..kMostJobs in plain decimal digits, or 0.
uint32_t JobCount(std::string_view text) {
    if (text.empty() || text.size() > 4)
        return 0;
    uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return 0;
        value = value * 10 + static_cast<uint32_t>(c - '0');
    }
    return value <= kMostJobs ? value : 0;
}

bool SetJobs(CliOptions& options, std::string_view text) {
    options.jobs = JobCount(text);
    if (options.jobs == 0)
        options.error =
            "-j needs a number of files from 1 to 1024, not '" + std::string(text) + "'";
    return options.jobs != 0;
}

} // namespace

CliOptions ParseCliOptions(const std::vector<std::string>& arguments) {
    CliOptions options;
    bool namesOnly = false;
    for (size_t i = 0; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument.empty())
            continue;
        if (namesOnly || argument == "-" || argument[0] != '-') {
            options.inputs.push_back({argument, !namesOnly && argument == "-"});
        } else if (argument == "--") {
            namesOnly = true;
        } else if (argument == "--json" || argument == "--magnet") {
            OutputForm form = argument == "--json" ? OutputForm::Json : OutputForm::Magnet;
            if (options.form != OutputForm::Lines && options.form != form) {
                options.error = "--json and --magnet cannot be used together";
                return options;
            }
            options.form = form;
        } else if (argument == "-h" || argument == "--help") {
            options.showHelp = true;
        } else if (argument == "--version") {
            options.showVersion = true;
        } else if (argument == "-j") {
            if (i + 1 == arguments.size()) {
                options.error = "-j needs a number of files";
                return options;
            }
            if (!SetJobs(options, arguments[++i]))
                return options;
        } else if (argument.rfind("-j", 0) == 0) {
            if (!SetJobs(options, std::string_view(argument).substr(2)))
                return options;
        } else {
            options.error = "unknown option '" + argument + "'";
            return options;
        }
    }
    return options;
}
