#pragma once
// SHA-256 (FIPS 180-4) over a message held whole in memory: the info-hash of v2-only torrents.
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

// The compression function over `count` consecutive blocks, with the processor's SHA
// extensions when it has them, otherwise with Sha256ProcessBlock.
void Sha256ProcessBlocks(Sha256State& state, const uint8_t* blocks, size_t count);

// The digest as 64 upper-case hexadecimal digits.
std::string Sha256HexDigest(std::string_view message);
