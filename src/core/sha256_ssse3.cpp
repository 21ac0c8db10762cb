// SHA-256 with the message schedule four words at a time in 128-bit vectors (SSSE3); the
// sixty-four steps stay scalar. Eight vector registers suffice, so the 32-bit build takes it too.
#include "core/sha_vector_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/sha256_constants.h"
#include "core/sha_scalar_steps.h"

#include <immintrin.h>
#include <utility>

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

// The message schedule of one block, W[g] holding W_4g..W_4g+3 (W_4g in the lowest lane), and
// W_t + K_t for the steps, stored a few groups ahead of the steps that read them.
struct Sha256Schedule {
    __m128i W[16];
    alignas(16) uint32_t wk[64];
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

// W_4g..W_4g+3 from the block's bytes, or from the words before.
template <int g> SSSE3 inline void ScheduleGroup(Sha256Schedule& s, const uint8_t* block) {
    if constexpr (g < 4) {
        // The block's bytes are big-endian words: turn each lane's four bytes around.
        const __m128i byteOrder =
            _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
        s.W[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * g)),
                                  byteOrder);
    } else {
        s.W[g] = NextFour(s, g);
    }
    const __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(&K256[4 * g]));
    _mm_store_si128(reinterpret_cast<__m128i*>(s.wk + 4 * g), _mm_add_epi32(s.W[g], k));
}

// Steps 4g..4g+3, with the words of group g + 4 prepared meanwhile.
template <int g>
SSSE3 inline void FourSteps(uint32_t (&v)[8], uint32_t& bXorC, Sha256Schedule& s,
                            const uint8_t* block) {
    if constexpr (g + 4 < 16)
        ScheduleGroup<g + 4>(s, block);
    Sha256StepOf<4 * g>(v, bXorC, s.wk[4 * g]);
    Sha256StepOf<4 * g + 1>(v, bXorC, s.wk[4 * g + 1]);
    Sha256StepOf<4 * g + 2>(v, bXorC, s.wk[4 * g + 2]);
    Sha256StepOf<4 * g + 3>(v, bXorC, s.wk[4 * g + 3]);
}

template <int... g>
SSSE3 inline void Block(uint32_t (&H)[8], const uint8_t* block, std::integer_sequence<int, g...>) {
    Sha256Schedule s;
    ScheduleGroup<0>(s, block);
    ScheduleGroup<1>(s, block);
    ScheduleGroup<2>(s, block);
    ScheduleGroup<3>(s, block);
    uint32_t v[8] = {H[0], H[1], H[2], H[3], H[4], H[5], H[6], H[7]};
    uint32_t bXorC = v[1] ^ v[2];
    (FourSteps<g>(v, bXorC, s, block), ...);
    for (int i = 0; i < 8; ++i)
        H[i] += v[i];
}

} // namespace

VECTOR_ENTRY("ssse3")
void Sha256ProcessBlocksSsse3(Sha256State& state, const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += 64)
        Block(state.H, blocks, std::make_integer_sequence<int, 16>());
}

#endif
