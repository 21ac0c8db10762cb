#include "core/cpu_features.h"

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#endif

namespace {

#if defined(__x86_64__) || defined(__i386__)

struct CpuidBits {
    unsigned leaf1Ecx = 0;
    unsigned leaf7Ebx = 0;
    bool osSavesYmm = false;
};

// The extended control register 0: which register states the operating system saves.
unsigned long long ExtendedControlRegister0() {
    unsigned low = 0, high = 0;
    __asm__("xgetbv" : "=a"(low), "=d"(high) : "c"(0));
    return (static_cast<unsigned long long>(high) << 32) | low;
}

CpuidBits ReadCpuid() {
    CpuidBits bits;
    unsigned eax = 0, ebx = 0, ecx = 0, edx = 0;
    if (__get_cpuid(1, &eax, &ebx, &ecx, &edx) == 0)
        return bits;
    bits.leaf1Ecx = ecx;
    if (__get_cpuid_max(0, nullptr) >= 7) {
        __cpuid_count(7, 0, eax, ebx, ecx, edx);
        bits.leaf7Ebx = ebx;
    }
    // The 256-bit registers are usable only when the system saves the XMM and YMM state (bits 1
    // and 2) across task switches.
    if ((bits.leaf1Ecx & bit_OSXSAVE) != 0)
        bits.osSavesYmm = (ExtendedControlRegister0() & 6) == 6;
    return bits;
}

bool Offers(const CpuidBits& bits, DigestPath path) {
    const bool ssse3 = (bits.leaf1Ecx & bit_SSSE3) != 0;
    switch (path) {
    case DigestPath::Portable:
        return true;
    case DigestPath::Ssse3:
        return ssse3;
    case DigestPath::Avx2:
        return ssse3 && bits.osSavesYmm && (bits.leaf1Ecx & bit_AVX) != 0 &&
               (bits.leaf7Ebx & bit_AVX2) != 0 && (bits.leaf7Ebx & bit_BMI) != 0 &&
               (bits.leaf7Ebx & bit_BMI2) != 0;
    case DigestPath::ShaExtensions:
        return ssse3 && (bits.leaf1Ecx & bit_SSE4_1) != 0 && (bits.leaf7Ebx & bit_SHA) != 0;
    }
    return false;
}

#else

struct CpuidBits {};
CpuidBits ReadCpuid() {
    return {};
}
bool Offers(const CpuidBits&, DigestPath path) {
    return path == DigestPath::Portable;
}

#endif

bool EnvironmentIs(const char* name, const char* value) {
    const char* setting = std::getenv(name);
    return setting != nullptr && std::strcmp(setting, value) == 0;
}

// The fastest path the environment allows.
DigestPath HighestAllowed() {
    DigestPath highest = DigestPath::ShaExtensions;
    for (DigestPath path : kDigestPaths)
        if (EnvironmentIs("VANTREL_SHA_PATH", DigestPathName(path)))
            highest = path;
    if (EnvironmentIs("VANTREL_SHA_EXTENSIONS", "off") && highest == DigestPath::ShaExtensions)
        highest = DigestPath::Avx2;
    return highest;
}

DigestPath Choose() {
    const DigestPath highest = HighestAllowed();
    DigestPath chosen = DigestPath::Portable;
    for (DigestPath path : kDigestPaths)
        if (path <= highest && ProcessorOffers(path))
            chosen = path;
    return chosen;
}

} // namespace

const char* DigestPathName(DigestPath path) {
    switch (path) {
    case DigestPath::Portable:
        return "portable";
    case DigestPath::Ssse3:
        return "ssse3";
    case DigestPath::Avx2:
        return "avx2";
    case DigestPath::ShaExtensions:
        return "shani";
    }
    return "?";
}

bool ProcessorOffers(DigestPath path) {
    static const CpuidBits bits = ReadCpuid();
    return Offers(bits, path);
}

DigestPath ChosenDigestPath() {
    static const DigestPath chosen = Choose();
    return chosen;
}
