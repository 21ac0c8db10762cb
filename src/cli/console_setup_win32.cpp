// The arguments come from the process's command line; the console's output code page follows
// the program's active code page while it runs.
#include "cli/console_setup.h"

#include "core/command_line_win32.h"

#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <io.h>

#include <windows.h>

const char kLineEnd[] = "\r\n";

namespace {

UINT codePageBefore = 0;

// The console outlives the program: the code page it had is given back.
void RestoreConsoleCodePage() {
    SetConsoleOutputCP(codePageBefore);
}

void ShowOutputInProgramCodePage() {
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode))
        return; // a file or pipe
    codePageBefore = GetConsoleOutputCP();
    if (codePageBefore == GetACP() || !SetConsoleOutputCP(GetACP()))
        return;
    std::atexit(RestoreConsoleCodePage);
}

} // namespace

std::vector<std::string> ProgramArguments(int, char**) {
    std::vector<std::string> arguments;
    int32_t count = CommandLineParameterCount();
    for (int32_t i = 1; i <= count; ++i)
        arguments.push_back(CommandLineParameter(i));
    return arguments;
}

void PrepareStandardOutput() {
    _setmode(_fileno(stdout), _O_BINARY);
    ShowOutputInProgramCodePage();
}
