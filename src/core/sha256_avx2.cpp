// SHA-256 with the message schedules of two blocks at once in 256-bit vectors (AVX2), the first
// block's in the low 128 bits and the second's in the high; the sixty-four steps of each block
// stay scalar, with the BMI2 rotate and the BMI1 and-not.
#include "core/sha_vector_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/sha256_constants.h"
#include "core/sha_scalar_steps.h"

#include <immintrin.h>
#include <utility>

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

// W[g] holds W_4g..W_4g+3 of both blocks, W_4g in the lowest lane of each half; every shift and
// shuffle below works within each half. wk holds W_t + K_t: group g of the first block at
// wk[8g], of the second at wk[8g + 4].
struct TwoSchedules {
    __m256i W[16];
    alignas(32) uint32_t wk[128];
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

// W_4g..W_4g+3 of both blocks from their bytes, or from the words before.
template <int g>
AVX2 inline void ScheduleGroup(TwoSchedules& s, const uint8_t* first, const uint8_t* second) {
    if constexpr (g < 4) {
        // The blocks' bytes are big-endian words: turn each lane's four bytes around.
        const __m256i byteOrder =
            _mm256_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3, 12, 13, 14, 15, 8,
                            9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
        s.W[g] = _mm256_shuffle_epi8(LoadTwo(first + 16 * g, second + 16 * g), byteOrder);
    } else {
        s.W[g] = NextFour(s, g);
    }
    __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(&K256[4 * g]));
    _mm256_store_si256(reinterpret_cast<__m256i*>(s.wk + 8 * g),
                       _mm256_add_epi32(s.W[g], _mm256_broadcastsi128_si256(k)));
}

// Steps 4g..4g+3 of the first block, with the words of group g + 4 of both prepared meanwhile.
template <int g>
AVX2 inline void FourSteps(uint32_t (&v)[8], uint32_t& bXorC, TwoSchedules& s, const uint8_t* first,
                           const uint8_t* second) {
    if constexpr (g + 4 < 16)
        ScheduleGroup<g + 4>(s, first, second);
    Sha256StepOf<4 * g>(v, bXorC, s.wk[8 * g]);
    Sha256StepOf<4 * g + 1>(v, bXorC, s.wk[8 * g + 1]);
    Sha256StepOf<4 * g + 2>(v, bXorC, s.wk[8 * g + 2]);
    Sha256StepOf<4 * g + 3>(v, bXorC, s.wk[8 * g + 3]);
}

// The first block with the schedules prepared alongside, then the second.
template <int... g>
AVX2 inline void TwoBlocks(uint32_t (&H)[8], const uint8_t* first, const uint8_t* second,
                           std::integer_sequence<int, g...>) {
    TwoSchedules s;
    ScheduleGroup<0>(s, first, second);
    ScheduleGroup<1>(s, first, second);
    ScheduleGroup<2>(s, first, second);
    ScheduleGroup<3>(s, first, second);
    uint32_t v[8] = {H[0], H[1], H[2], H[3], H[4], H[5], H[6], H[7]};
    uint32_t bXorC = v[1] ^ v[2];
    (FourSteps<g>(v, bXorC, s, first, second), ...);
    for (int i = 0; i < 8; ++i)
        H[i] += v[i];
    if (second != first)
        Sha256SixtyFourSteps(H, PreparedWords<8>{s.wk + 4});
}

} // namespace

VECTOR_ENTRY("avx2,bmi,bmi2")
void Sha256ProcessBlocksAvx2(Sha256State& state, const uint8_t* blocks, size_t count) {
    for (; count >= 2; count -= 2, blocks += 128)
        TwoBlocks(state.H, blocks, blocks + 64, std::make_integer_sequence<int, 16>());
    if (count == 1) // the second half of the schedules unused
        TwoBlocks(state.H, blocks, blocks, std::make_integer_sequence<int, 16>());
}

#endif
