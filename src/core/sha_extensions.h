#pragma once
// SHA-1 and SHA-256 compression with the processor's SHA extensions. Call these only when
// UseShaExtensions() is true; on other processors they are not available.
#include "core/sha1.h"
#include "core/sha256.h"

#include <cstddef>
#include <cstdint>

// The compression function over `count` consecutive 64-byte blocks, read where they lie.
void Sha1ProcessBlocksWithShaExtensions(Sha1State& state, const uint8_t* blocks, size_t count);
void Sha256ProcessBlocksWithShaExtensions(Sha256State& state, const uint8_t* blocks, size_t count);
