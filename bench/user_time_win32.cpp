#include "user_time.h"

#include <windows.h>

double UserSeconds() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user))
        return 0;
    // 100-nanosecond units.
    const unsigned long long ticks =
        (static_cast<unsigned long long>(user.dwHighDateTime) << 32) | user.dwLowDateTime;
    return static_cast<double>(ticks) / 1e7;
}
