#include "core/sha1.h"

#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha_extensions.h"
#include "core/sha_vector_paths.h"

namespace {

// The constants K_t, one for each group of twenty steps.
constexpr uint32_t K[4] = {0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6};

constexpr uint32_t kInitialHashValue[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476,
                                           0xc3d2e1f0};

inline uint32_t ROTL(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

// The functions f_t of the four groups of twenty steps, Ch and Maj each in an equivalent form
// with one operation less.
inline uint32_t Ch(uint32_t x, uint32_t y, uint32_t z) {
    return z ^ (x & (y ^ z)); // (x & y) ^ (~x & z)
}
inline uint32_t Parity(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t Maj(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) | (z & (x | y)); // (x & y) ^ (x & z) ^ (y & z)
}

inline uint32_t BigEndianWord(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

// The message schedule kept as its sixteen most recent words: W_t for t >= 16 replaces W_t-16.
struct MessageSchedule {
    alignas(64) uint32_t W[16];

    uint32_t At(int t) {
        if (t >= 16)
            W[t & 15] = ROTL(W[(t - 3) & 15] ^ W[(t - 8) & 15] ^ W[(t - 14) & 15] ^ W[t & 15], 1);
        return W[t & 15];
    }
};

// One step t: T = ROTL^5(a) + f_t(b, c, d) + e + K_t + W_t; then e = d, d = c,
// c = ROTL^30(b), b = a, a = T. Instead of moving the five values, the caller names them
// rotated for each step, so the step only replaces e by T and b by ROTL^30(b).
template <uint32_t (*f)(uint32_t, uint32_t, uint32_t), uint32_t Kt>
inline void Step(uint32_t a, uint32_t& b, uint32_t c, uint32_t d, uint32_t& e, uint32_t Wt) {
    e += ROTL(a, 5) + f(b, c, d) + Kt + Wt;
    b = ROTL(b, 30);
}

// Twenty steps from t0 with one function and constant, five at a time.
template <uint32_t (*f)(uint32_t, uint32_t, uint32_t), uint32_t Kt>
inline void TwentySteps(uint32_t (&v)[5], MessageSchedule& W, int t0) {
    uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4];
#pragma GCC unroll 4
    for (int t = t0; t < t0 + 20; t += 5) {
        Step<f, Kt>(a, b, c, d, e, W.At(t));
        Step<f, Kt>(e, a, b, c, d, W.At(t + 1));
        Step<f, Kt>(d, e, a, b, c, W.At(t + 2));
        Step<f, Kt>(c, d, e, a, b, W.At(t + 3));
        Step<f, Kt>(b, c, d, e, a, W.At(t + 4));
    }
    v[0] = a;
    v[1] = b;
    v[2] = c;
    v[3] = d;
    v[4] = e;
}

} // namespace

void Sha1Init(Sha1State& state) {
    for (int i = 0; i < 5; ++i)
        state.H[i] = kInitialHashValue[i];
}

void Sha1ProcessBlock(Sha1State& state, const uint8_t* block) {
    // Prepare the message schedule: its first sixteen words are the block's.
    MessageSchedule W;
    for (int t = 0; t < 16; ++t)
        W.W[t] = BigEndianWord(block + 4 * t);

    // Initialise the working variables a..e with the previous hash value.
    uint32_t v[5] = {state.H[0], state.H[1], state.H[2], state.H[3], state.H[4]};
    TwentySteps<Ch, K[0]>(v, W, 0);
    TwentySteps<Parity, K[1]>(v, W, 20);
    TwentySteps<Maj, K[2]>(v, W, 40);
    TwentySteps<Parity, K[3]>(v, W, 60);

    // Compute the intermediate hash value.
    for (int i = 0; i < 5; ++i)
        state.H[i] += v[i];
}

namespace {

void Sha1ProcessBlocksPortable(Sha1State& state, const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += kMessageBlockBytes)
        Sha1ProcessBlock(state, blocks);
}

} // namespace

Sha1Blocks Sha1BlocksThrough(DigestPath path) {
    switch (path) {
#if defined(__x86_64__) || defined(__i386__)
    case DigestPath::Ssse3:
        return Sha1ProcessBlocksSsse3;
    case DigestPath::Avx2:
        return Sha1ProcessBlocksAvx2;
#endif
    case DigestPath::ShaExtensions:
        return Sha1ProcessBlocksWithShaExtensions;
    default:
        return Sha1ProcessBlocksPortable;
    }
}

void Sha1ProcessBlocks(Sha1State& state, const uint8_t* blocks, size_t count) {
    static const Sha1Blocks chosen = Sha1BlocksThrough(ChosenDigestPath());
    chosen(state, blocks, count);
}

PaddedTail Sha1PadMessage(std::string_view message) {
    return PadMessageTail(message);
}

std::string Sha1HexDigest(std::string_view message) {
    Sha1State state;
    Sha1Init(state);
    ProcessPaddedMessage(state, message, Sha1ProcessBlocks, Sha1PadMessage);
    return DigestText(state.H, 5);
}
