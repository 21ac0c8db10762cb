#pragma once
// The command-line parameter list.
#include <cstdint>
#include <string>
#include <string_view>

// Token `index` of a command line split by the platform's rules: characters of code 32 or less
// separate tokens except inside double quotes; an empty quoted pair standing alone is skipped;
// quotes around a whole token are removed. Token 0 is the program as written; past the last
// token the result is empty.
std::string CommandLineToken(std::string_view commandLine, int32_t index);

// Parameter 0 is the program's own file name; 1 and on are the command line's tokens.
std::string CommandLineParameter(int32_t index);

// The number of parameters before the first empty one.
int32_t CommandLineParameterCount();

#ifndef _WIN32
// Where the process has no command line in one string, main hands over its arguments.
void SetCommandLineArguments(int argc, char** argv);
#endif
