// vantrel-cli: prints, for each file named on the command line, the lines the list would show.
#include "app/info_hash.h"
#include "layer/command_line.h"

#include <cstdio>
#include <string>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
constexpr char kLineEnd[] = "\r\n";
#else
constexpr char kLineEnd[] = "\n";
#endif

namespace {

void PrintLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputs(kLineEnd, stdout);
}

} // namespace

int main(int argc, char** argv) {
#ifdef _WIN32
    (void)argc;
    (void)argv;
    _setmode(_fileno(stdout), _O_BINARY);
#else
    SetCommandLineArguments(argc, argv);
#endif
    int32_t count = CommandLineParameterCount();
    for (int32_t i = 1; i <= count; ++i) {
        if (std::optional<std::string> line =
                ComputeInfoHashLine(CommandLineParameter(i), PrintLine))
            PrintLine(*line);
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
