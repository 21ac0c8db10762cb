#pragma once
// The parameters of a Windows process, split from its command line in one string. (A POSIX
// program has no such line: main hands it its arguments.)
#include <cstdint>
#include <string>

// Parameter 0 is the program's own file name; 1 and on are the command line's tokens.
std::string CommandLineParameter(int32_t index);

// The number of parameters before the first empty one.
int32_t CommandLineParameterCount();
