// Error texts from the C library.
#include "core/system_error.h"

#include <cstring>

std::string SystemErrorText(int64_t error) {
    char buffer[256];
    return strerror_r(static_cast<int>(error), buffer, sizeof buffer);
}
