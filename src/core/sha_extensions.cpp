#include "core/sha_extensions.h"

#include "core/sha256_constants.h"

#include <utility>

#if defined(__x86_64__) || defined(__i386__)

#include <immintrin.h>

// The instructions are switched on for these functions alone, so the rest of the program still
// runs on processors without them. 32-bit Windows guarantees only 4-byte stack alignment, so
// the entry points realign the stack for the 16-byte vectors they keep there.
#define SHA_TARGET __attribute__((target("sha,sse4.1,ssse3")))
#if defined(__i386__)
#define SHA_ENTRY SHA_TARGET __attribute__((force_align_arg_pointer))
#else
#define SHA_ENTRY SHA_TARGET
#endif

namespace {

// Big-endian words: the byte order that turns each 32-bit lane's bytes around.
SHA_TARGET inline __m128i LoadBigEndianWords(const uint8_t* bytes, __m128i byteOrder) {
    return _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes)), byteOrder);
}

// SHA-1 working values for one block: A, B, C, D in one vector (A in the top lane), the E
// operand of the next four steps, and the last four vectors of the message schedule, W_t for
// the sixteen most recent t.
struct Sha1Lanes {
    __m128i abcd;
    __m128i e;
    __m128i W[4];
};

// Four of the eighty steps, group g = t / 4. Groups 0..3 use the block's own words; later ones
// extend the schedule by W_t = ROTL^1(W_t-3 ^ W_t-8 ^ W_t-14 ^ W_t-16), four words at once.
template <int g> SHA_TARGET inline void Sha1FourSteps(Sha1Lanes& x) {
    __m128i& W = x.W[g % 4];
    if constexpr (g >= 4) {
        __m128i partial = _mm_sha1msg1_epu32(W, x.W[(g + 1) % 4]);
        W = _mm_sha1msg2_epu32(_mm_xor_si128(partial, x.W[(g + 2) % 4]), x.W[(g + 3) % 4]);
    }
    // E for these steps: the initial E, or ROTL^30 of the A that the previous group started with.
    __m128i e = g == 0 ? _mm_add_epi32(x.e, W) : _mm_sha1nexte_epu32(x.e, W);
    x.e = x.abcd;
    // The round function and constant K_t change every twenty steps.
    x.abcd = _mm_sha1rnds4_epu32(x.abcd, e, g / 5);
}

template <int... g>
SHA_TARGET inline void Sha1EightySteps(Sha1Lanes& x, std::integer_sequence<int, g...>) {
    (Sha1FourSteps<g>(x), ...);
}

// SHA-256 working values: the eight variables as the instructions want them, A B E F and
// C D G H, and the last four vectors of the message schedule.
struct Sha256Lanes {
    __m128i abef;
    __m128i cdgh;
    __m128i W[4];
};

// Four of the sixty-four steps, group g = t / 4. Later groups extend the schedule by
// W_t = sigma1(W_t-2) + W_t-7 + sigma0(W_t-15) + W_t-16, four words at once.
template <int g> SHA_TARGET inline void Sha256FourSteps(Sha256Lanes& x) {
    __m128i& W = x.W[g % 4];
    if constexpr (g >= 4) {
        __m128i partial = _mm_sha256msg1_epu32(W, x.W[(g + 1) % 4]);
        __m128i wMinus7 = _mm_alignr_epi8(x.W[(g + 3) % 4], x.W[(g + 2) % 4], 4);
        W = _mm_sha256msg2_epu32(_mm_add_epi32(partial, wMinus7), x.W[(g + 3) % 4]);
    }
    __m128i wPlusK =
        _mm_add_epi32(W, _mm_loadu_si128(reinterpret_cast<const __m128i*>(&K256[4 * g])));
    x.cdgh = _mm_sha256rnds2_epu32(x.cdgh, x.abef, wPlusK);
    x.abef = _mm_sha256rnds2_epu32(x.abef, x.cdgh, _mm_shuffle_epi32(wPlusK, 0x0e));
}

template <int... g>
SHA_TARGET inline void Sha256SixtyFourSteps(Sha256Lanes& x, std::integer_sequence<int, g...>) {
    (Sha256FourSteps<g>(x), ...);
}

} // namespace

SHA_ENTRY void Sha1ProcessBlocksWithShaExtensions(Sha1State& state, const uint8_t* blocks,
                                                  size_t count) {
    const __m128i wordOrder = _mm_set_epi64x(0x0001020304050607LL, 0x08090a0b0c0d0e0fLL);
    Sha1Lanes x;
    x.abcd = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state.H)), 0x1b);
    __m128i e = _mm_set_epi32(static_cast<int>(state.H[4]), 0, 0, 0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abcdBefore = x.abcd;
        const __m128i eBefore = e;
        x.e = e;
        for (int i = 0; i < 4; ++i)
            x.W[i] = LoadBigEndianWords(blocks + 16 * i, wordOrder);
        Sha1EightySteps(x, std::make_integer_sequence<int, 20>());
        // The intermediate hash value: E is ROTL^30 of the last group's starting A.
        e = _mm_sha1nexte_epu32(x.e, eBefore);
        x.abcd = _mm_add_epi32(x.abcd, abcdBefore);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state.H), _mm_shuffle_epi32(x.abcd, 0x1b));
    state.H[4] = static_cast<uint32_t>(_mm_extract_epi32(e, 3));
}

SHA_ENTRY void Sha256ProcessBlocksWithShaExtensions(Sha256State& state, const uint8_t* blocks,
                                                    size_t count) {
    const __m128i wordOrder = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    // H0..H3 and H4..H7 rearranged into A B E F and C D G H.
    __m128i dcba = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state.H[0]));
    __m128i hgfe = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&state.H[4]));
    __m128i cdab = _mm_shuffle_epi32(dcba, 0xb1);
    __m128i efgh = _mm_shuffle_epi32(hgfe, 0x1b);
    Sha256Lanes x;
    x.abef = _mm_alignr_epi8(cdab, efgh, 8);
    x.cdgh = _mm_blend_epi16(efgh, cdab, 0xf0);
    for (; count > 0; --count, blocks += 64) {
        const __m128i abefBefore = x.abef;
        const __m128i cdghBefore = x.cdgh;
        for (int i = 0; i < 4; ++i)
            x.W[i] = LoadBigEndianWords(blocks + 16 * i, wordOrder);
        Sha256SixtyFourSteps(x, std::make_integer_sequence<int, 16>());
        x.abef = _mm_add_epi32(x.abef, abefBefore);
        x.cdgh = _mm_add_epi32(x.cdgh, cdghBefore);
    }
    __m128i feba = _mm_shuffle_epi32(x.abef, 0x1b);
    __m128i dchg = _mm_shuffle_epi32(x.cdgh, 0xb1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state.H[0]), _mm_blend_epi16(feba, dchg, 0xf0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(&state.H[4]), _mm_alignr_epi8(dchg, feba, 8));
}

#else

// Processors without these instructions never reach here: UseShaExtensions() is false.
void Sha1ProcessBlocksWithShaExtensions(Sha1State&, const uint8_t*, size_t) {}
void Sha256ProcessBlocksWithShaExtensions(Sha256State&, const uint8_t*, size_t) {}

#endif
