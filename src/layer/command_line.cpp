#include "layer/command_line.h"

#include <vector>

#ifdef _WIN32
#include <windows.h>
#else
#include <climits>
#include <unistd.h>
#endif

namespace {

bool IsSeparator(char c) {
    return static_cast<unsigned char>(c) <= 32;
}

// Skips separators, and any empty quoted pair standing where a token would begin.
size_t SkipToTokenStart(std::string_view line, size_t position) {
    for (;;) {
        while (position < line.size() && IsSeparator(line[position]))
            ++position;
        if (position + 1 < line.size() && line[position] == '"' && line[position + 1] == '"') {
            position += 2;
            continue;
        }
        return position;
    }
}

// The end of the token that starts at `position`: separators inside double quotes belong to it.
size_t TokenEnd(std::string_view line, size_t position) {
    bool quoted = false;
    for (; position < line.size(); ++position) {
        if (line[position] == '"')
            quoted = !quoted;
        else if (!quoted && IsSeparator(line[position]))
            break;
    }
    return position;
}

} // namespace

std::string CommandLineToken(std::string_view commandLine, int32_t index) {
    if (index < 0)
        return {};
    size_t position = 0;
    for (int32_t number = 0;; ++number) {
        size_t start = SkipToTokenStart(commandLine, position);
        if (start >= commandLine.size())
            return {};
        position = TokenEnd(commandLine, start);
        if (number < index)
            continue;
        std::string token(commandLine.substr(start, position - start));
        if (token.size() >= 2 && token.front() == '"' && token.back() == '"')
            token = token.substr(1, token.size() - 2);
        return token;
    }
}

#ifdef _WIN32

namespace {

std::string ProgramFileName() {
    std::vector<char> buffer(MAX_PATH + 1);
    for (;;) {
        DWORD length =
            GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

} // namespace

std::string CommandLineParameter(int32_t index) {
    if (index == 0)
        return ProgramFileName();
    return CommandLineToken(GetCommandLineA(), index);
}

#else

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

#endif

int32_t CommandLineParameterCount() {
    int32_t count = 0;
    while (!CommandLineParameter(count + 1).empty())
        ++count;
    return count;
}
