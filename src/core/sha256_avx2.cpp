// SHA-256 with the message schedules of two blocks at once in 256-bit vectors (AVX2), the first
// block's in the low 128 bits and the second's in the high; the sixty-four steps of each block
// stay scalar, with the BMI2 rotate and the BMI1 and-not.
#include "core/sha_vector_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/sha256_constants.h"
#include "core/sha_scalar_steps.h"

#include <immintrin.h>

#define AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace {

AVX2 inline __m256i Xor(__m256i a, __m256i b, __m256i c) {
    return _mm256_xor_si256(_mm256_xor_si256(a, b), c);
}

// sigma0 of four words in each half: ROTR^7 ^ ROTR^18 ^ SHR^3.
AVX2 inline __m256i SmallSigma0(__m256i x) {
    __m256i rotr7 = _mm256_or_si256(_mm256_srli_epi32(x, 7), _mm256_slli_epi32(x, 25));
    __m256i rotr18 = _mm256_or_si256(_mm256_srli_epi32(x, 18), _mm256_slli_epi32(x, 14));
    return Xor(rotr7, rotr18, _mm256_srli_epi32(x, 3));
}

// sigma1 (ROTR^17 ^ ROTR^19 ^ SHR^10) of the words in lanes 0 and 2 of each half of `pairs`,
// whose lanes 1 and 3 repeat them: shifting the 64-bit quarters rotates their low words.
AVX2 inline __m256i SmallSigma1OfPairs(__m256i pairs) {
    return Xor(_mm256_srli_epi64(pairs, 17), _mm256_srli_epi64(pairs, 19),
               _mm256_srli_epi32(pairs, 10));
}

// Sixteen bytes of each block, side by side.
AVX2 inline __m256i LoadTwo(const uint8_t* first, const uint8_t* second) {
    __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first));
    __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(second));
    return _mm256_inserti128_si256(_mm256_castsi128_si256(low), high, 1);
}

// W[g] holds W_4g..W_4g+3 of both blocks, W_4g in the lowest lane of each half. Every shift and
// shuffle below works within each half.
struct TwoSchedules {
    __m256i W[16];
};

// W_t = sigma1(W_t-2) + W_t-7 + sigma0(W_t-15) + W_t-16 for the four words of group g. The
// last two need the first two: sigma1 is added in two halves.
AVX2 inline __m256i NextFour(const TwoSchedules& s, int g) {
    const __m256i lanes0And2ToLow =
        _mm256_set_epi8(-1, -1, -1, -1, -1, -1, -1, -1, 11, 10, 9, 8, 3, 2, 1, 0, -1, -1, -1, -1,
                        -1, -1, -1, -1, 11, 10, 9, 8, 3, 2, 1, 0);
    const __m256i lanes0And2ToHigh =
        _mm256_set_epi8(11, 10, 9, 8, 3, 2, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1, 11, 10, 9, 8, 3,
                        2, 1, 0, -1, -1, -1, -1, -1, -1, -1, -1);
    __m256i w =
        _mm256_add_epi32(s.W[g - 4], SmallSigma0(_mm256_alignr_epi8(s.W[g - 3], s.W[g - 4], 4)));
    w = _mm256_add_epi32(w, _mm256_alignr_epi8(s.W[g - 1], s.W[g - 2], 4));
    __m256i previousTwo = _mm256_shuffle_epi32(s.W[g - 1], _MM_SHUFFLE(3, 3, 2, 2));
    w = _mm256_add_epi32(w, _mm256_shuffle_epi8(SmallSigma1OfPairs(previousTwo), lanes0And2ToLow));
    __m256i firstTwo = _mm256_shuffle_epi32(w, _MM_SHUFFLE(1, 1, 0, 0));
    return _mm256_add_epi32(w, _mm256_shuffle_epi8(SmallSigma1OfPairs(firstTwo), lanes0And2ToHigh));
}

// W_t + K_t of both blocks: group g of the first block at wk[8g], of the second at wk[8g + 4].
AVX2 inline void PrepareSchedules(const uint8_t* first, const uint8_t* second, uint32_t* wk) {
    // The blocks' bytes are big-endian words: turn each lane's four bytes around.
    const __m256i byteOrder = _mm256_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3,
                                              12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    TwoSchedules s;
#pragma GCC unroll 16
    for (int g = 0; g < 4; ++g)
        s.W[g] = _mm256_shuffle_epi8(LoadTwo(first + 16 * g, second + 16 * g), byteOrder);
#pragma GCC unroll 16
    for (int g = 4; g < 16; ++g)
        s.W[g] = NextFour(s, g);
#pragma GCC unroll 16
    for (int g = 0; g < 16; ++g) {
        __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(&K256[4 * g]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(wk + 8 * g),
                            _mm256_add_epi32(s.W[g], _mm256_broadcastsi128_si256(k)));
    }
}

} // namespace

VECTOR_ENTRY("avx2,bmi,bmi2")
void Sha256ProcessBlocksAvx2(Sha256State& state, const uint8_t* blocks, size_t count) {
    alignas(32) uint32_t wk[128];
    for (; count >= 2; count -= 2, blocks += 128) {
        PrepareSchedules(blocks, blocks + 64, wk);
        Sha256SixtyFourSteps(state.H, PreparedWords<8>{wk});
        Sha256SixtyFourSteps(state.H, PreparedWords<8>{wk + 4});
    }
    if (count == 1) {
        PrepareSchedules(blocks, blocks, wk); // the second half unused
        Sha256SixtyFourSteps(state.H, PreparedWords<8>{wk});
    }
}

#endif
