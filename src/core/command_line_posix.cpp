// The parameters of a POSIX process: the arguments main hands over.
#include "core/command_line.h"

#include <climits>
#include <vector>

#include <unistd.h>

namespace {

std::vector<std::string>& Arguments() {
    static std::vector<std::string> arguments;
    return arguments;
}

std::string ProgramFileName() {
    std::vector<char> buffer(PATH_MAX);
    ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length <= 0)
        return Arguments().empty() ? std::string() : Arguments().front();
    return std::string(buffer.data(), static_cast<size_t>(length));
}

} // namespace

void SetCommandLineArguments(int argc, char** argv) {
    Arguments().assign(argv, argv + argc);
}

std::string CommandLineParameter(int32_t index) {
    if (index == 0)
        return ProgramFileName();
    if (index < 0 || static_cast<size_t>(index) >= Arguments().size())
        return {};
    return Arguments()[static_cast<size_t>(index)];
}
