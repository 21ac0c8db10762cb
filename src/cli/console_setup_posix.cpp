// A terminal shows the bytes as they are written, and main has the arguments.
#include "cli/console_setup.h"

const char kLineEnd[] = "\n";

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv + 1, argv + argc);
}

void PrepareStandardOutput() {}
