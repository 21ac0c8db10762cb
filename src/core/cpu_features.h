#pragma once
// What the processor offers the digests, asked once at run time.

// True when the processor has the SHA extensions (SHA-1 and SHA-256 instructions) together
// with the SSSE3 and SSE4.1 instructions the fast digest paths also use, and the environment
// variable VANTREL_SHA_EXTENSIONS is not "off". The variable lets benchmarks and tests compare
// the portable code on the same machine.
bool UseShaExtensions();
