// vantrel-cli: prints, for each file it is given, the lines the list would show.
#include "cli/cli_options.h"
#include "core/folder_walk.h"
#include "cli/ordered_hashing.h"
#include "core/command_line.h"
#include "core/console_output.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <thread>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

namespace {

void PrintOutputLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputs(kLineEnd, stdout);
}

std::vector<std::string> Arguments() {
    std::vector<std::string> arguments;
    int32_t count = CommandLineParameterCount();
    for (int32_t i = 1; i <= count; ++i)
        arguments.push_back(CommandLineParameter(i));
    return arguments;
}

// A folder stands for the files below it; anything else for itself.
void AddName(const std::string& name, std::vector<std::string>& files) {
    if (IsFolder(name))
        AppendFolderFiles(name, files);
    else
        files.push_back(name);
}

// Names from standard input, one a line; a CR before the line end and empty lines are dropped.
void AddNamesFromStandardInput(std::vector<std::string>& files) {
    std::string line;
    while (std::getline(std::cin, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (!line.empty())
            AddName(line, files);
    }
}

std::vector<std::string> FilesOf(const std::vector<std::string>& inputs) {
    std::vector<std::string> files;
    for (const std::string& input : inputs) {
        if (input == "-")
            AddNamesFromStandardInput(files);
        else
            AddName(input, files);
    }
    return files;
}

int UsageError(const std::string& message) {
    std::fprintf(stderr, "vantrel-cli: %s\nTry 'vantrel-cli --help'.\n", message.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    _setmode(_fileno(stdout), _O_BINARY);
    ShowOutputInProgramCodePage();
#else
    SetCommandLineArguments(argc, argv);
#endif
    CliOptions options = ParseCliOptions(Arguments());
    if (!options.error.empty())
        return UsageError(options.error);
    if (options.showHelp) {
        std::fputs(kCliUsage, stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    }
    if (options.inputs.empty())
        return UsageError("no file names given");
    uint32_t jobs = options.jobs != 0 ? options.jobs : std::thread::hardware_concurrency();
    static char outputBuffer[1 << 16];
    std::setvbuf(stdout, outputBuffer, _IOFBF, sizeof outputBuffer);
    HashFilesInOrder(FilesOf(options.inputs), jobs, PrintOutputLine);
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : 1;
}
