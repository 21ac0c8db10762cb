// SHA-256 with the message schedule four words at a time in 128-bit vectors (SSSE3); the
// sixty-four steps stay scalar. Eight vector registers suffice, so the 32-bit build takes it too.
#include "core/sha_vector_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/sha256_constants.h"
#include "core/sha_scalar_steps.h"

#include <immintrin.h>

#define SSSE3 __attribute__((target("ssse3")))

namespace {

SSSE3 inline __m128i Xor(__m128i a, __m128i b, __m128i c) {
    return _mm_xor_si128(_mm_xor_si128(a, b), c);
}

// sigma0 of four words: ROTR^7 ^ ROTR^18 ^ SHR^3.
SSSE3 inline __m128i SmallSigma0(__m128i x) {
    __m128i rotr7 = _mm_or_si128(_mm_srli_epi32(x, 7), _mm_slli_epi32(x, 25));
    __m128i rotr18 = _mm_or_si128(_mm_srli_epi32(x, 18), _mm_slli_epi32(x, 14));
    return Xor(rotr7, rotr18, _mm_srli_epi32(x, 3));
}

// sigma1 (ROTR^17 ^ ROTR^19 ^ SHR^10) of the words in lanes 0 and 2 of `pairs`, whose lanes 1
// and 3 repeat them: shifting the 64-bit halves rotates the word in their low lanes.
SSSE3 inline __m128i SmallSigma1OfPairs(__m128i pairs) {
    return Xor(_mm_srli_epi64(pairs, 17), _mm_srli_epi64(pairs, 19), _mm_srli_epi32(pairs, 10));
}

// W[g] holds W_4g..W_4g+3, W_4g in the lowest lane.
struct Sha256Schedule {
    __m128i W[16];
};

// W_t = sigma1(W_t-2) + W_t-7 + sigma0(W_t-15) + W_t-16 for the four words of group g. The
// last two need the first two: sigma1 is added in two halves.
SSSE3 inline __m128i NextFour(const Sha256Schedule& s, int g) {
    const __m128i lanes0And2ToLow =
        _mm_set_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 11, 10, 9, 8, 3, 2, 1, 0);
    const __m128i lanes0And2ToHigh =
        _mm_set_epi8(11, 10, 9, 8, 3, 2, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1);
    __m128i w = _mm_add_epi32(s.W[g - 4], SmallSigma0(_mm_alignr_epi8(s.W[g - 3], s.W[g - 4], 4)));
    w = _mm_add_epi32(w, _mm_alignr_epi8(s.W[g - 1], s.W[g - 2], 4));
    __m128i previousTwo = _mm_shuffle_epi32(s.W[g - 1], _MM_SHUFFLE(3, 3, 2, 2));
    w = _mm_add_epi32(w, _mm_shuffle_epi8(SmallSigma1OfPairs(previousTwo), lanes0And2ToLow));
    __m128i firstTwo = _mm_shuffle_epi32(w, _MM_SHUFFLE(1, 1, 0, 0));
    return _mm_add_epi32(w, _mm_shuffle_epi8(SmallSigma1OfPairs(firstTwo), lanes0And2ToHigh));
}

SSSE3 inline void PrepareSchedule(const uint8_t* block, uint32_t* wk) {
    // The block's bytes are big-endian words: turn each lane's four bytes around.
    const __m128i byteOrder = _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    Sha256Schedule s;
#pragma GCC unroll 16
    for (int g = 0; g < 4; ++g)
        s.W[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * g)),
                                  byteOrder);
#pragma GCC unroll 16
    for (int g = 4; g < 16; ++g)
        s.W[g] = NextFour(s, g);
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g)
        _mm_storeu_si128(
            reinterpret_cast<__m128i*>(wk + 4 * g),
            _mm_add_epi32(s.W[g], _mm_load_si128(reinterpret_cast<const __m128i*>(&K256[4 * g]))));
}

} // namespace

VECTOR_ENTRY("ssse3")
void Sha256ProcessBlocksSsse3(Sha256State& state, const uint8_t* blocks, size_t count) {
    alignas(16) uint32_t wk[64];
    for (; count > 0; --count, blocks += 64) {
        PrepareSchedule(blocks, wk);
        Sha256SixtyFourSteps(state.H, PreparedWords<4>{wk});
    }
}

#endif
