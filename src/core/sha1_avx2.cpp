// SHA-1 with the message schedules of two blocks at once in 256-bit vectors (AVX2), the first
// block's in the low 128 bits and the second's in the high; the eighty steps of each block stay
// scalar, with the BMI2 rotate.
#include "core/sha_vector_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/sha_scalar_steps.h"

#include <immintrin.h>

#define AVX2 __attribute__((target("avx2,bmi,bmi2")))

namespace {

constexpr uint32_t K[4] = {0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6};

template <int n> AVX2 inline __m256i RotateLeftLanes(__m256i x) {
    return _mm256_or_si256(_mm256_slli_epi32(x, n), _mm256_srli_epi32(x, 32 - n));
}

AVX2 inline __m256i Xor(__m256i a, __m256i b, __m256i c, __m256i d) {
    return _mm256_xor_si256(_mm256_xor_si256(a, b), _mm256_xor_si256(c, d));
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
    __m256i W[20];
};

// W_t + K_t of both blocks: group g of the first block at wk[8g], of the second at wk[8g + 4].
AVX2 inline void PrepareSchedules(const uint8_t* first, const uint8_t* second, uint32_t* wk) {
    // The blocks' bytes are big-endian words: turn each lane's four bytes around.
    const __m256i byteOrder = _mm256_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3,
                                              12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
    TwoSchedules s;
#pragma GCC unroll 16
    for (int g = 0; g < 4; ++g)
        s.W[g] = _mm256_shuffle_epi8(LoadTwo(first + 16 * g, second + 16 * g), byteOrder);
        // W_t = ROTL^1(W_t-3 ^ W_t-8 ^ W_t-14 ^ W_t-16). W_t+3 needs W_t of the same four: its lane
        // takes 0 for W_t at first, then ROTL^1(W_t) (= ROTL^2 of lane 0 before the rotate).
#pragma GCC unroll 16
    for (int g = 4; g < 8; ++g) {
        __m256i x = Xor(s.W[g - 4], _mm256_alignr_epi8(s.W[g - 3], s.W[g - 4], 8), s.W[g - 2],
                        _mm256_srli_si256(s.W[g - 1], 4));
        s.W[g] =
            _mm256_xor_si256(RotateLeftLanes<1>(x), RotateLeftLanes<2>(_mm256_slli_si256(x, 12)));
    }
    // From t = 32 the recurrence applied twice gives
    // W_t = ROTL^2(W_t-6 ^ W_t-16 ^ W_t-28 ^ W_t-32), with no word of the same four.
#pragma GCC unroll 16
    for (int g = 8; g < 20; ++g)
        s.W[g] = RotateLeftLanes<2>(
            Xor(_mm256_alignr_epi8(s.W[g - 1], s.W[g - 2], 8), s.W[g - 4], s.W[g - 7], s.W[g - 8]));
#pragma GCC unroll 16
    for (int g = 0; g < 20; ++g)
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(wk + 8 * g),
            _mm256_add_epi32(s.W[g], _mm256_set1_epi32(static_cast<int>(K[g / 5]))));
}

} // namespace

VECTOR_ENTRY("avx2,bmi,bmi2")
void Sha1ProcessBlocksAvx2(Sha1State& state, const uint8_t* blocks, size_t count) {
    alignas(32) uint32_t wk[160];
    for (; count >= 2; count -= 2, blocks += 128) {
        PrepareSchedules(blocks, blocks + 64, wk);
        Sha1EightySteps(state.H, PreparedWords<8>{wk});
        Sha1EightySteps(state.H, PreparedWords<8>{wk + 4});
    }
    if (count == 1) {
        PrepareSchedules(blocks, blocks, wk); // the second half unused
        Sha1EightySteps(state.H, PreparedWords<8>{wk});
    }
}

#endif
