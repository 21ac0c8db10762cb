#include "app/sha1.h"

#include "app/digest_text.h"

namespace {

// The constants K_t of the four rounds of twenty steps.
constexpr uint32_t K[4] = {0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6};

constexpr uint32_t kInitialHashValue[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476,
                                           0xc3d2e1f0};

inline uint32_t ROTL(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}

inline uint32_t Ch(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) ^ (~x & z);
}
inline uint32_t Parity(uint32_t x, uint32_t y, uint32_t z) {
    return x ^ y ^ z;
}
inline uint32_t Maj(uint32_t x, uint32_t y, uint32_t z) {
    return (x & y) ^ (x & z) ^ (y & z);
}

inline uint32_t BigEndianWord(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

} // namespace

void Sha1Init(Sha1State& state) {
    for (int i = 0; i < 5; ++i)
        state.H[i] = kInitialHashValue[i];
}

void Sha1ProcessBlock(Sha1State& state, const uint8_t* block) {
    // Prepare the message schedule W_0..W_79.
    uint32_t W[80];
    for (int t = 0; t < 16; ++t)
        W[t] = BigEndianWord(block + 4 * t);
    for (int t = 16; t < 80; ++t)
        W[t] = ROTL(W[t - 3] ^ W[t - 8] ^ W[t - 14] ^ W[t - 16], 1);

    // Initialise the working variables with the previous hash value.
    uint32_t a = state.H[0], b = state.H[1], c = state.H[2], d = state.H[3], e = state.H[4];
    for (int t = 0; t < 80; ++t) {
        uint32_t f = t < 20   ? Ch(b, c, d)
                     : t < 40 ? Parity(b, c, d)
                     : t < 60 ? Maj(b, c, d)
                              : Parity(b, c, d);
        uint32_t T = ROTL(a, 5) + f + e + K[t / 20] + W[t];
        e = d;
        d = c;
        c = ROTL(b, 30);
        b = a;
        a = T;
    }

    // Compute the intermediate hash value.
    state.H[0] += a;
    state.H[1] += b;
    state.H[2] += c;
    state.H[3] += d;
    state.H[4] += e;
}

PaddedTail Sha1PadMessage(std::string_view message) {
    return PadMessageTail(message);
}

std::string Sha1HexDigest(std::string_view message) {
    Sha1State state;
    Sha1Init(state);
    ProcessPaddedMessage(state, message, Sha1ProcessBlock, Sha1PadMessage);
    return DigestText(state.H, 5);
}
