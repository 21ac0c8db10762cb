#pragma once
// SHA-256 (FIPS 180-4) over a message held whole in memory: the info-hash of v2-only torrents.
#include "core/cpu_features.h"
#include "core/message_padding.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct Sha256State {
    uint32_t H[8];
};

void Sha256Init(Sha256State& state);

// The SHA-256 compression function over one 64-byte block: the portable code.
void Sha256ProcessBlock(Sha256State& state, const uint8_t* block);

// The compression function over `count` consecutive blocks, through the path
// ChosenDigestPath() names.
void Sha256ProcessBlocks(Sha256State& state, const uint8_t* blocks, size_t count);

// The compression function over consecutive blocks through one path; call it only where
// ProcessorOffers(path).
using Sha256Blocks = void (*)(Sha256State& state, const uint8_t* blocks, size_t count);
Sha256Blocks Sha256BlocksThrough(DigestPath path);

// The digest as 64 upper-case hexadecimal digits.
std::string Sha256HexDigest(std::string_view message);
