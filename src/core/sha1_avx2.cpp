// SHA-1 with the message schedules of two blocks at once in 256-bit vectors (AVX2), the first
// block's in the low 128 bits and the second's in the high; the eighty steps of each block stay
// scalar, with the BMI2 rotate.
#include "core/sha_vector_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/sha_scalar_steps.h"

#include <immintrin.h>
#include <utility>

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

// W[g] holds W_4g..W_4g+3 of both blocks, W_4g in the lowest lane of each half; every shift and
// shuffle below works within each half. wk holds W_t + K_t: group g of the first block at
// wk[8g], of the second at wk[8g + 4].
struct TwoSchedules {
    __m256i W[20];
    alignas(32) uint32_t wk[160];
};

// W_4g..W_4g+3 of both blocks from their bytes, or from the words before.
template <int g>
AVX2 inline void ScheduleGroup(TwoSchedules& s, const uint8_t* first, const uint8_t* second) {
    if constexpr (g < 4) {
        // The blocks' bytes are big-endian words: turn each lane's four bytes around.
        const __m256i byteOrder =
            _mm256_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3, 12, 13, 14, 15, 8,
                            9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
        s.W[g] = _mm256_shuffle_epi8(LoadTwo(first + 16 * g, second + 16 * g), byteOrder);
    } else if constexpr (g < 8) {
        // W_t = ROTL^1(W_t-3 ^ W_t-8 ^ W_t-14 ^ W_t-16). W_t+3 needs W_t of the same four: its
        // lane takes 0 for W_t at first, then ROTL^1(W_t) (= ROTL^2 of lane 0 before the rotate).
        __m256i x = Xor(s.W[g - 4], _mm256_alignr_epi8(s.W[g - 3], s.W[g - 4], 8), s.W[g - 2],
                        _mm256_srli_si256(s.W[g - 1], 4));
        s.W[g] =
            _mm256_xor_si256(RotateLeftLanes<1>(x), RotateLeftLanes<2>(_mm256_slli_si256(x, 12)));
    } else {
        // From t = 32 the recurrence applied twice gives
        // W_t = ROTL^2(W_t-6 ^ W_t-16 ^ W_t-28 ^ W_t-32), with no word of the same four.
        s.W[g] = RotateLeftLanes<2>(
            Xor(_mm256_alignr_epi8(s.W[g - 1], s.W[g - 2], 8), s.W[g - 4], s.W[g - 7], s.W[g - 8]));
    }
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.wk + 8 * g),
                       _mm256_add_epi32(s.W[g], _mm256_set1_epi32(static_cast<int>(K[g / 5]))));
}

// Steps 4g..4g+3 of the first block, with the words of group g + 4 of both prepared meanwhile.
template <int g>
AVX2 inline void FourSteps(uint32_t (&v)[5], TwoSchedules& s, const uint8_t* first,
                           const uint8_t* second) {
    if constexpr (g + 4 < 20)
        ScheduleGroup<g + 4>(s, first, second);
    Sha1StepOf<4 * g>(v, s.wk[8 * g]);
    Sha1StepOf<4 * g + 1>(v, s.wk[8 * g + 1]);
    Sha1StepOf<4 * g + 2>(v, s.wk[8 * g + 2]);
    Sha1StepOf<4 * g + 3>(v, s.wk[8 * g + 3]);
}

// The first block with the schedules prepared alongside, then the second.
template <int... g>
AVX2 inline void TwoBlocks(uint32_t (&H)[5], const uint8_t* first, const uint8_t* second,
                           std::integer_sequence<int, g...>) {
    TwoSchedules s;
    ScheduleGroup<0>(s, first, second);
    ScheduleGroup<1>(s, first, second);
    ScheduleGroup<2>(s, first, second);
    ScheduleGroup<3>(s, first, second);
    uint32_t v[5] = {H[0], H[1], H[2], H[3], H[4]};
    (FourSteps<g>(v, s, first, second), ...);
    for (int i = 0; i < 5; ++i)
        H[i] += v[i];
    if (second != first)
        Sha1EightySteps(H, PreparedWords<8>{s.wk + 4});
}

} // namespace

VECTOR_ENTRY("avx2,bmi,bmi2")
void Sha1ProcessBlocksAvx2(Sha1State& state, const uint8_t* blocks, size_t count) {
    for (; count >= 2; count -= 2, blocks += 128)
        TwoBlocks(state.H, blocks, blocks + 64, std::make_integer_sequence<int, 20>());
    if (count == 1) // the second half of the schedules unused
        TwoBlocks(state.H, blocks, blocks, std::make_integer_sequence<int, 20>());
}

#endif
