#pragma once
// The steps of SHA-1 and SHA-256 (FIPS 180-4) over a message schedule prepared ahead with the
// constants already added: W_t + K_t for every step t. The vector paths prepare the schedule and
// run these steps on ordinary registers.
//
// Everything here has internal linkage: each vector path compiles it with its own instruction
// set (for instance rotates by BMI2), and no copy may stand in for another at link time.
#include <cstdint>

namespace {

// The prepared words lie in groups of four (W_4g .. W_4g+3 + K), the group g at g * kStride
// words from the start: 4 when one block's words lie together, 8 when two blocks' alternate.
template <int kStride> struct PreparedWords {
    const uint32_t* words;
    [[gnu::always_inline]] uint32_t operator[](int t) const {
        return words[(t / 4) * kStride + t % 4];
    }
};

[[gnu::always_inline]] inline uint32_t RotateLeft(uint32_t x, int n) {
    return (x << n) | (x >> (32 - n));
}
[[gnu::always_inline]] inline uint32_t RotateRight(uint32_t x, int n) {
    return (x >> n) | (x << (32 - n));
}

// SHA-1 step t: T = ROTL^5(a) + f_t(b, c, d) + e + K_t + W_t, then e = d, d = c,
// c = ROTL^30(b), b = a, a = T. The caller names the five values rotated for each step, so the
// step only replaces e by T and b by ROTL^30(b). f_t: 0 Ch, 1 Parity, 2 Maj, 3 Parity.
template <int kFunction>
[[gnu::always_inline]] inline void Sha1Step(uint32_t a, uint32_t& b, uint32_t c, uint32_t d,
                                            uint32_t& e, uint32_t wordPlusConstant) {
    e += wordPlusConstant;
    if constexpr (kFunction == 0)
        e += d ^ (b & (c ^ d)); // Ch: (b & c) ^ (~b & d)
    else if constexpr (kFunction == 2)
        e += (b & c) + (d & (b ^ c)); // Maj: the two terms share no bit
    else
        e += b ^ c ^ d;
    e += RotateLeft(a, 5);
    b = RotateLeft(b, 30);
}

template <int kFunction, int kStride>
[[gnu::always_inline]] inline void Sha1TwentySteps(uint32_t (&v)[5], PreparedWords<kStride> wk,
                                                   int t0) {
    uint32_t a = v[0], b = v[1], c = v[2], d = v[3], e = v[4];
#pragma GCC unroll 4
    for (int t = t0; t < t0 + 20; t += 5) {
        Sha1Step<kFunction>(a, b, c, d, e, wk[t]);
        Sha1Step<kFunction>(e, a, b, c, d, wk[t + 1]);
        Sha1Step<kFunction>(d, e, a, b, c, wk[t + 2]);
        Sha1Step<kFunction>(c, d, e, a, b, wk[t + 3]);
        Sha1Step<kFunction>(b, c, d, e, a, wk[t + 4]);
    }
    v[0] = a;
    v[1] = b;
    v[2] = c;
    v[3] = d;
    v[4] = e;
}

// The eighty steps of one block, then the intermediate hash value.
template <int kStride>
[[gnu::always_inline]] inline void Sha1EightySteps(uint32_t (&H)[5], PreparedWords<kStride> wk) {
    uint32_t v[5] = {H[0], H[1], H[2], H[3], H[4]};
    Sha1TwentySteps<0>(v, wk, 0);
    Sha1TwentySteps<1>(v, wk, 20);
    Sha1TwentySteps<2>(v, wk, 40);
    Sha1TwentySteps<3>(v, wk, 60);
    for (int i = 0; i < 5; ++i)
        H[i] += v[i];
}

// SHA-1 step t with the five values in v, named by t: the step's a is v[-t mod 5], b the next,
// and so on; the step leaves T in e's place, which makes it the next step's a.
template <int t>
[[gnu::always_inline]] inline void Sha1StepOf(uint32_t (&v)[5], uint32_t wordPlusConstant) {
    constexpr int a = (100 - t) % 5, b = (101 - t) % 5, c = (102 - t) % 5, d = (103 - t) % 5,
                  e = (104 - t) % 5;
    Sha1Step<t / 20>(v[a], v[b], v[c], v[d], v[e], wordPlusConstant);
}

// SHA-256 step t: T1 = h + Sigma1(e) + Ch(e, f, g) + K_t + W_t, T2 = Sigma0(a) + Maj(a, b, c),
// then d + T1 becomes e and T1 + T2 becomes a, the others move one place. The caller names the
// eight values rotated for each step, so the step only replaces d and h. Maj(a, b, c) is
// b ^ ((a ^ b) & (b ^ c)); a ^ b is the next step's b ^ c, carried in bXorC (c enters only so).
[[gnu::always_inline]] inline void Sha256Step(uint32_t a, uint32_t b, [[maybe_unused]] uint32_t c,
                                              uint32_t& d, uint32_t e, uint32_t f, uint32_t g,
                                              uint32_t& h, uint32_t& bXorC,
                                              uint32_t wordPlusConstant) {
    const uint32_t sigma1 = RotateRight(e, 6) ^ RotateRight(e, 11) ^ RotateRight(e, 25);
    const uint32_t choice = (e & f) ^ (~e & g);
    const uint32_t t1 = h + wordPlusConstant + choice + sigma1;
    const uint32_t aXorB = a ^ b;
    const uint32_t majority = b ^ (aXorB & bXorC);
    bXorC = aXorB;
    const uint32_t sigma0 = RotateRight(a, 2) ^ RotateRight(a, 13) ^ RotateRight(a, 22);
    d += t1;
    h = t1 + sigma0 + majority;
}

// SHA-256 step t with the eight values in v, named by t: the step's a is v[-t mod 8], b the next,
// and so on.
template <int t>
[[gnu::always_inline]] inline void Sha256StepOf(uint32_t (&v)[8], uint32_t& bXorC,
                                                uint32_t wordPlusConstant) {
    Sha256Step(v[(64 - t) % 8], v[(65 - t) % 8], v[(66 - t) % 8], v[(67 - t) % 8], v[(68 - t) % 8],
               v[(69 - t) % 8], v[(70 - t) % 8], v[(71 - t) % 8], bXorC, wordPlusConstant);
}

// The sixty-four steps of one block, then the intermediate hash value.
template <int kStride>
[[gnu::always_inline]] inline void Sha256SixtyFourSteps(uint32_t (&H)[8],
                                                        PreparedWords<kStride> wk) {
    uint32_t a = H[0], b = H[1], c = H[2], d = H[3], e = H[4], f = H[5], g = H[6], h = H[7];
    uint32_t bXorC = b ^ c;
#pragma GCC unroll 8
    for (int t = 0; t < 64; t += 8) {
        Sha256Step(a, b, c, d, e, f, g, h, bXorC, wk[t]);
        Sha256Step(h, a, b, c, d, e, f, g, bXorC, wk[t + 1]);
        Sha256Step(g, h, a, b, c, d, e, f, bXorC, wk[t + 2]);
        Sha256Step(f, g, h, a, b, c, d, e, bXorC, wk[t + 3]);
        Sha256Step(e, f, g, h, a, b, c, d, bXorC, wk[t + 4]);
        Sha256Step(d, e, f, g, h, a, b, c, bXorC, wk[t + 5]);
        Sha256Step(c, d, e, f, g, h, a, b, bXorC, wk[t + 6]);
        Sha256Step(b, c, d, e, f, g, h, a, bXorC, wk[t + 7]);
    }
    H[0] += a;
    H[1] += b;
    H[2] += c;
    H[3] += d;
    H[4] += e;
    H[5] += f;
    H[6] += g;
    H[7] += h;
}

} // namespace
