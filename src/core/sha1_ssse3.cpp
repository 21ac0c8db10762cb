// SHA-1 with the message schedule four words at a time in 128-bit vectors (SSSE3); the eighty
// steps stay scalar. Eight vector registers suffice, so the 32-bit build takes it too.
#include "core/sha_vector_paths.h"

#if defined(__x86_64__) || defined(__i386__)

#include "core/sha_scalar_steps.h"

#include <immintrin.h>
#include <utility>

#define SSSE3 __attribute__((target("ssse3")))

namespace {

constexpr uint32_t K[4] = {0x5a827999, 0x6ed9eba1, 0x8f1bbcdc, 0xca62c1d6};

template <int n> SSSE3 inline __m128i RotateLeftLanes(__m128i x) {
    return _mm_or_si128(_mm_slli_epi32(x, n), _mm_srli_epi32(x, 32 - n));
}

SSSE3 inline __m128i Xor(__m128i a, __m128i b, __m128i c, __m128i d) {
    return _mm_xor_si128(_mm_xor_si128(a, b), _mm_xor_si128(c, d));
}

// The message schedule of one block, W[g] holding W_4g..W_4g+3 (W_4g in the lowest lane), and
// W_t + K_t for the steps, stored a few groups ahead of the steps that read them.
struct Sha1Schedule {
    __m128i W[20];
    alignas(16) uint32_t wk[80];
};

// W_4g..W_4g+3 from the block's bytes, or from the words before.
template <int g> SSSE3 inline void ScheduleGroup(Sha1Schedule& s, const uint8_t* block) {
    if constexpr (g < 4) {
        // The block's bytes are big-endian words: turn each lane's four bytes around.
        const __m128i byteOrder =
            _mm_set_epi8(12, 13, 14, 15, 8, 9, 10, 11, 4, 5, 6, 7, 0, 1, 2, 3);
        s.W[g] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(block + 16 * g)),
                                  byteOrder);
    } else if constexpr (g < 8) {
        // W_t = ROTL^1(W_t-3 ^ W_t-8 ^ W_t-14 ^ W_t-16). W_t+3 needs W_t of the same four: its
        // lane takes 0 for W_t at first, then ROTL^1(W_t) (= ROTL^2 of lane 0 before the rotate).
        __m128i x = Xor(s.W[g - 4], _mm_alignr_epi8(s.W[g - 3], s.W[g - 4], 8), s.W[g - 2],
                        _mm_srli_si128(s.W[g - 1], 4));
        s.W[g] = _mm_xor_si128(RotateLeftLanes<1>(x), RotateLeftLanes<2>(_mm_slli_si128(x, 12)));
    } else {
        // From t = 32 the recurrence applied twice gives
        // W_t = ROTL^2(W_t-6 ^ W_t-16 ^ W_t-28 ^ W_t-32), with no word of the same four.
        s.W[g] = RotateLeftLanes<2>(
            Xor(_mm_alignr_epi8(s.W[g - 1], s.W[g - 2], 8), s.W[g - 4], s.W[g - 7], s.W[g - 8]));
    }
    _mm_store_si128(reinterpret_cast<__m128i*>(s.wk + 4 * g),
                    _mm_add_epi32(s.W[g], _mm_set1_epi32(static_cast<int>(K[g / 5]))));
}

// Steps 4g..4g+3, with the words of group g + 4 prepared meanwhile.
template <int g>
SSSE3 inline void FourSteps(uint32_t (&v)[5], Sha1Schedule& s, const uint8_t* block) {
    if constexpr (g + 4 < 20)
        ScheduleGroup<g + 4>(s, block);
    Sha1StepOf<4 * g>(v, s.wk[4 * g]);
    Sha1StepOf<4 * g + 1>(v, s.wk[4 * g + 1]);
    Sha1StepOf<4 * g + 2>(v, s.wk[4 * g + 2]);
    Sha1StepOf<4 * g + 3>(v, s.wk[4 * g + 3]);
}

template <int... g>
SSSE3 inline void Block(uint32_t (&H)[5], const uint8_t* block, std::integer_sequence<int, g...>) {
    Sha1Schedule s;
    ScheduleGroup<0>(s, block);
    ScheduleGroup<1>(s, block);
    ScheduleGroup<2>(s, block);
    ScheduleGroup<3>(s, block);
    uint32_t v[5] = {H[0], H[1], H[2], H[3], H[4]};
    (FourSteps<g>(v, s, block), ...);
    for (int i = 0; i < 5; ++i)
        H[i] += v[i];
}

} // namespace

VECTOR_ENTRY("ssse3")
void Sha1ProcessBlocksSsse3(Sha1State& state, const uint8_t* blocks, size_t count) {
    for (; count > 0; --count, blocks += 64)
        Block(state.H, blocks, std::make_integer_sequence<int, 20>());
}

#endif
