#include "core/cpu_features.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

bool ProcessorHasShaExtensions() {
#if defined(__x86_64__) || defined(__i386__)
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid_max(0, nullptr) < 7)
        return false;
    __cpuid(1, eax, ebx, ecx, edx);
    const bool ssse3 = (ecx & bit_SSSE3) != 0;
    const bool sse41 = (ecx & bit_SSE4_1) != 0;
    __cpuid_count(7, 0, eax, ebx, ecx, edx);
    const bool sha = (ebx & bit_SHA) != 0;
    return ssse3 && sse41 && sha;
#else
    return false;
#endif
}

bool SwitchedOffByEnvironment() {
    const char* setting = std::getenv("VANTREL_SHA_EXTENSIONS");
    return setting != nullptr && std::strcmp(setting, "off") == 0;
}

} // namespace

bool UseShaExtensions() {
    static const bool use = ProcessorHasShaExtensions() && !SwitchedOffByEnvironment();
    return use;
}
