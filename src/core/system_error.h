#pragma once
// The system's own words for why a call failed.
#include <cstdint>
#include <string>

// The system's text for one of its error codes: an errno value on POSIX systems, a Windows
// error code (as GetLastError gives it) on Windows; without a closing line break or full stop.
std::string SystemErrorText(int64_t error);
