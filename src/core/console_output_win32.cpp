// The console's output code page follows the program's active code page while it runs.
#include "core/console_output.h"

#include <cstdlib>

#include <windows.h>

namespace {

UINT codePageBefore = 0;

// The console outlives the program: the code page it had is given back.
void RestoreConsoleCodePage() {
    SetConsoleOutputCP(codePageBefore);
}

} // namespace

void ShowOutputInProgramCodePage() {
    DWORD mode = 0;
    if (!GetConsoleMode(GetStdHandle(STD_OUTPUT_HANDLE), &mode))
        return; // a file or pipe
    codePageBefore = GetConsoleOutputCP();
    if (codePageBefore == GetACP() || !SetConsoleOutputCP(GetACP()))
        return;
    std::atexit(RestoreConsoleCodePage);
}
