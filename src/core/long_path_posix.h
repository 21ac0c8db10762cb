#pragma once
// Opening paths longer than the system's PATH_MAX, one folder at a time.
#include <string>
#include <sys/stat.h>

// open(2) of the path with the flags, also when the path is too long for one call: then each
// folder on the way is opened from the one before. Returns the descriptor, or -1 with errno.
int OpenAnyLength(const std::string& path, int flags);

// stat(2) of the path (links followed), also when the path is too long for one call. Returns 0,
// or -1 with errno.
int StatAnyLength(const std::string& path, struct stat& information);
