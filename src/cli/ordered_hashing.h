#pragma once
// Hashing many files on several threads with the output in the order of the names.
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using PrintLine = std::function<void(const std::string&)>;

// Computes the lines of every file (ComputeInfoHashLine: the result line, or a damaged file's
// report) on `jobs` threads and prints them in the order of the names: each file's lines as
// soon as they and those of every file before it are ready. With one job everything runs on
// the calling thread.
void HashFilesInOrder(const std::vector<std::string>& names, uint32_t jobs, const PrintLine& print);
