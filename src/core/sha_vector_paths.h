#pragma once
// SHA-1 and SHA-256 compression with the message schedule in vector registers (x86, 32 and 64
// bit). Call each only when ProcessorOffers() its path; elsewhere they do not exist.
#include "core/sha1.h"
#include "core/sha256.h"

#include <cstddef>
#include <cstdint>

#if defined(__x86_64__) || defined(__i386__)

// The instructions are switched on for these functions alone, so the rest of the program still
// runs on processors without them. 32-bit Windows guarantees only 4-byte stack alignment, so
// the entry points realign the stack for the vectors they keep there.
#if defined(__i386__)
#define VECTOR_ENTRY(features) __attribute__((target(features), force_align_arg_pointer))
#else
#define VECTOR_ENTRY(features) __attribute__((target(features)))
#endif

// The compression function over `count` consecutive 64-byte blocks, read where they lie.
void Sha1ProcessBlocksSsse3(Sha1State& state, const uint8_t* blocks, size_t count);
void Sha1ProcessBlocksAvx2(Sha1State& state, const uint8_t* blocks, size_t count);
void Sha256ProcessBlocksSsse3(Sha256State& state, const uint8_t* blocks, size_t count);
void Sha256ProcessBlocksAvx2(Sha256State& state, const uint8_t* blocks, size_t count);

#endif
