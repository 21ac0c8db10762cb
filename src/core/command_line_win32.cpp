// The parameters of a Windows process: its command line in one string.
#include "core/command_line_win32.h"

#include "core/command_line.h"

#include <vector>

#include <windows.h>

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

int32_t CommandLineParameterCount() {
    int32_t count = 0;
    while (!CommandLineParameter(count + 1).empty())
        ++count;
    return count;
}
