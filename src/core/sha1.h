#pragma once
// SHA-1 (FIPS 180-4) over a message held whole in memory.
#include "core/cpu_features.h"
#include "core/message_padding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

// The five 32-bit words H0..H4 of the hash value. Each digest has its own state, so digests
// may run on several threads at once.
struct Sha1State {
    uint32_t H[5];
};

void Sha1Init(Sha1State& state);

// The SHA-1 compression function over one 64-byte block: the portable code.
void Sha1ProcessBlock(Sha1State& state, const uint8_t* block);

// The compression function over `count` consecutive blocks, through the path
// ChosenDigestPath() names.
void Sha1ProcessBlocks(Sha1State& state, const uint8_t* blocks, size_t count);

// The compression function over consecutive blocks through one path; call it only where
// ProcessorOffers(path).
using Sha1Blocks = void (*)(Sha1State& state, const uint8_t* blocks, size_t count);
Sha1Blocks Sha1BlocksThrough(DigestPath path);

// The padded tail of the message (see PadMessageTail).
PaddedTail Sha1PadMessage(std::string_view message);

// The digest as 40 upper-case hexadecimal digits.
std::string Sha1HexDigest(std::string_view message);
