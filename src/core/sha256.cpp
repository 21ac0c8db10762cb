#include "core/sha256.h"

#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha256_constants.h"
#include "core/sha_extensions.h"
#include "core/sha_vector_paths.h"

namespace {

constexpr uint32_t kInitialHashValue[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                                           0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};

inline uint32_t ROTR(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

inline uint32_t Ch(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) ^ (~x & z);
}
inline uint32_t Maj(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) ^ (x & z) ^ (y & z);
}
inline uint32_t Sigma0(uint32_t x) {
    return ROTR(x, 2) ^ ROTR(x, 13) ^ ROTR(x, 22);
}
inline uint32_t Sigma1(uint32_t x) {
    return ROTR(x, 6) ^ ROTR(x, 11) ^ ROTR(x, 25);
}
inline uint32_t sigma0(uint32_t x) {
    return ROTR(x, 7) ^ ROTR(x, 18) ^ (x >> 3);
}
inline uint32_t sigma1(uint32_t x) {
    return ROTR(x, 17) ^ ROTR(x, 19) ^ (x >> 10);
}

inline uint32_t BigEndianWord(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

} // namespace

void Sha256Init(Sha256State& state) {
    for (int i = 0; i < 8; ++i)
        state.H[i] = kInitialHashValue[i];
}

void Sha256ProcessBlock(Sha256State& state, const uint8_t* block) {
    // Prepare the message schedule W_0..W_63.
    uint32_t W[64];
    for (int t = 0; t < 16; ++t)
        W[t] = BigEndianWord(block + 4 * t);
    for (int t = 16; t < 64; ++t)
        W[t] = sigma1(W[t - 2]) + W[t - 7] + sigma0(W[t - 15]) + W[t - 16];

    // Initialise the eight working variables with the previous hash value.
    uint32_t a = state.H[0], b = state.H[1], c = state.H[2], d = state.H[3];
    uint32_t e = state.H[4], f = state.H[5], g = state.H[6], h = state.H[7];
    for (int t = 0; t < 64; ++t) {
        uint32_t T1 = h + Sigma1(e) + Ch(e, f, g) + K256[t] + W[t];
        uint32_t T2 = Sigma0(a) + Maj(a, b, c);
        h = g;
        g = f;
        f = e;
        e = d + T1;
        d = c;
        c = b;
        b = a;
        a = T1 + T2;
    }

    // Compute the intermediate hash value.
    state.H[0] += a;
    state.H[1] += b;
    state.H[2] += c;
    state.H[3] += d;
    state.H[4] += e;
    state.H[5] += f;
    state.H[6] += g;
    state.H[7] += h;
}

namespace {

void Sha256ProcessBlocksPortable(Sha256State& state, const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += kMessageBlockBytes)
        Sha256ProcessBlock(state, blocks);
}

} // namespace

Sha256Blocks Sha256BlocksThrough(DigestPath path) {
    switch (path) {
#if defined(__x86_64__) || defined(__i386__)
    case DigestPath::Ssse3:
        return Sha256ProcessBlocksSsse3;
    case DigestPath::Avx2:
        return Sha256ProcessBlocksAvx2;
#endif
    case DigestPath::ShaExtensions:
        return Sha256ProcessBlocksWithShaExtensions;
    default:
        return Sha256ProcessBlocksPortable;
    }
}

void Sha256ProcessBlocks(Sha256State& state, const uint8_t* blocks, size_t count) {
    static const Sha256Blocks chosen = Sha256BlocksThrough(ChosenDigestPath());
    chosen(state, blocks, count);
}

std::string Sha256HexDigest(std::string_view message) {
    Sha256State state;
    Sha256Init(state);
    ProcessPaddedMessage(state, message, Sha256ProcessBlocks, PadMessageTail);
    return DigestText(state.H, 8);
}
