#pragma once
// What the processor offers the digests, asked once at run time, and the compression path
// chosen from it.

// The ways to run the SHA-1 and SHA-256 compression, slowest first:
//  - Portable: the step-by-step code, on every processor, and the reference;
//  - Ssse3: the message schedule four words at a time in 128-bit vectors (SSSE3), steps scalar;
//  - Avx2: the schedules of two blocks at once in 256-bit vectors (AVX2), steps scalar with the
//    BMI1 and BMI2 rotate and and-not;
//  - ShaExtensions: the processor's SHA instructions (with SSSE3 and SSE4.1).
enum class DigestPath { Portable, Ssse3, Avx2, ShaExtensions };

inline constexpr DigestPath kDigestPaths[] = {DigestPath::Portable, DigestPath::Ssse3,
                                              DigestPath::Avx2, DigestPath::ShaExtensions};

// "portable", "ssse3", "avx2", "shani": the names VANTREL_SHA_PATH takes.
const char* DigestPathName(DigestPath path);

// True when the processor (and the operating system, for the 256-bit registers) has every
// instruction the path uses.
bool ProcessorOffers(DigestPath path);

// The fastest path the processor offers, at most the one the environment variable
// VANTREL_SHA_PATH names; VANTREL_SHA_EXTENSIONS=off excludes the SHA extensions. The variables
// let benchmarks and tests compare the paths on the same machine.
DigestPath ChosenDigestPath();

inline bool UseShaExtensions() {
    return ChosenDigestPath() == DigestPath::ShaExtensions;
}
