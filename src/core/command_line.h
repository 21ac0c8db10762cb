#pragma once
// Splitting a command line held in one string into its parameters.
#include <cstdint>
#include <string>
#include <string_view>

// Token `index` of a command line split by the platform's rules: characters of code 32 or less
// separate tokens except inside double quotes; an empty quoted pair standing alone is skipped;
// quotes around a whole token are removed. Token 0 is the program as written; past the last
// token the result is empty.
std::string CommandLineToken(std::string_view commandLine, int32_t index);
