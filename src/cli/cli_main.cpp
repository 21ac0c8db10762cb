// vantrel-cli: prints, for each file it is given, the lines the list would show.
#include "cli/cli_options.h"
#include "cli/console_setup.h"
#include "cli/ordered_hashing.h"
#include "cli/output_text.h"
#include "core/folder_walk.h"
#include "vantrel_version.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kSomethingFailed = 1;
constexpr int kUsageError = 2;

// What the run has met so far that makes its exit status 1; set by whichever thread writes.
std::atomic<bool> anyFailure{false};

void Complain(const std::string& name, const std::string& reason) {
    std::fprintf(stderr, "vantrel-cli: %s: %s\n", MaskControlBytes(name).c_str(), reason.c_str());
    std::fflush(stderr);
    anyFailure = true;
}

// A folder stands for the files below it; anything else for itself.
void AddName(const std::string& name, std::vector<std::string>& files) {
    if (IsFolder(name))
        SearchFolderForFiles(name, files, Complain);
    else
        files.push_back(name);
}

// Names from standard input, one a line; a CR before the line end and empty lines are dropped.
// No file name holds a NUL: such a line is refused rather than cut short at it.
void AddNamesFromStandardInput(std::vector<std::string>& files) {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.find('\0') != std::string::npos)
            Complain(line, "a name cannot hold a NUL character, not searched");
        else if (!line.empty())
            AddName(line, files);
    }
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "vantrel-cli: %s\nTry 'vantrel-cli --help'.\n",
                 MaskControlBytes(message).c_str());
    return kUsageError;
}

// Passes the output on; when that fails, says why and ends the run with status 1: no later
// line could be written either. (A closed pipe ends the program before, by SIGPIPE on Linux.)
void FlushOutput() {
    if (std::fflush(stdout) == 0 && !std::ferror(stdout))
        return;
    const int error = errno;
    std::fprintf(stderr, "vantrel-cli: write error: %s\n", std::strerror(error));
    std::fflush(stderr);
    std::_Exit(kSomethingFailed);
}

// Writes a run of reports, and passes them on at once: an interrupted run keeps every line it
// finished. Messages go to standard error in the same order.
void WriteReportRun(const FileReport* const* reports, size_t count) {
    for (size_t i = 0; i < count; ++i) {
        const FileReport& report = *reports[i];
        if (!report.complaint.empty()) {
            std::fflush(stdout);
            std::fputs(report.complaint.c_str(), stderr);
            std::fflush(stderr); // not always unbuffered on Windows
        }
        std::fwrite(report.output.data(), 1, report.output.size(), stdout);
        if (report.failed)
            anyFailure = true;
    }
    FlushOutput();
}

void ReportFiles(const std::vector<std::string>& files, uint32_t jobs, OutputForm form) {
    ReportInOrder(
        files.size(), jobs, [&](size_t i) { return ReportFile(files[i], form, kLineEnd); },
        WriteReportRun);
}

// The files of the arguments, in their order. Those named before a "-" are reported before
// standard input is read, so a script that writes names as it goes sees their lines at once.
void ReportInputs(const std::vector<CliInput>& inputs, uint32_t jobs, OutputForm form) {
    std::vector<std::string> files;
    for (const CliInput& input : inputs) {
        if (input.fromStandardInput) {
            ReportFiles(files, jobs, form);
            files.clear();
            AddNamesFromStandardInput(files);
        } else {
            AddName(input.name, files);
        }
    }
    ReportFiles(files, jobs, form);
}

} // namespace

int main(int argc, char** argv) {
    PrepareStandardOutput();
    CliOptions options = ParseCliOptions(ProgramArguments(argc, argv));
    if (!options.error.empty())
        return UsageError(options.error);
    if (options.showHelp) {
        std::fputs(kCliUsage, stdout);
        FlushOutput();
        return 0;
    }
    if (options.showVersion) {
        std::fputs("vantrel-cli " VANTREL_VERSION "\n", stdout);
        return std::fflush(stdout) == 0 ? 0 : kSomethingFailed;
    }
    if (options.inputs.empty())
        return UsageError("no file names given");
    uint32_t jobs = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
    // Names come through std::cin, output goes through C's stdout: unsynchronised, std::cin
    // reads standard input in blocks rather than a character at a time.
    std::ios::sync_with_stdio(false);
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    ReportInputs(options.inputs, jobs, options.form);
    FlushOutput();
    return anyFailure ? kSomethingFailed : 0;
}
