// SHA-1 and SHA-256 through every path this processor takes, the padding's 64-bit bit count,
// and the choice of the SHA extensions against what the processor reports.
#include "core/cpu_features.h"
#include "core/digest_text.h"
#include "core/sha_extensions.h"

#include <gtest/gtest.h>

#include <cstdint>

#include <fstream>
#include <type_traits>

namespace {

template <typename State> using Blocks = void (*)(State&, const uint8_t*, size_t);

// The compression through the portable code alone.
const Blocks<Sha1State> kSha1Portable = [](Sha1State& state, const uint8_t* blocks, size_t n) {
    for (; n > 0; --n, blocks += kMessageBlockBytes)
        Sha1ProcessBlock(state, blocks);
};
const Blocks<Sha256State> kSha256Portable = [](Sha256State& state, const uint8_t* blocks,
                                               size_t n) {
    for (; n > 0; --n, blocks += kMessageBlockBytes)
        Sha256ProcessBlock(state, blocks);
};

template <typename State> std::string DigestWith(Blocks<State> blocks, std::string_view message) {
    State state;
    if constexpr (std::is_same_v<State, Sha1State>)
        Sha1Init(state);
    else
        Sha256Init(state);
    ProcessPaddedMessage(state, message, blocks, PadMessageTail);
    return DigestText(state.H, static_cast<int>(std::size(state.H)));
}

// Whether the operating system lists the SHA extensions for the processor (Wine shows the
// host's list as Z:\proc\cpuinfo), read independently of the program's own check, and
// VANTREL_SHA_EXTENSIONS does not switch them off.
bool ShaExtensionsDue() {
    const char* setting = std::getenv("VANTREL_SHA_EXTENSIONS");
    for (const char* name : {"/proc/cpuinfo", "Z:\\proc\\cpuinfo"}) {
        std::ifstream cpuinfo(name);
        for (std::string line; std::getline(cpuinfo, line);) {
            auto has = [&](const char* flag) { return (line + " ").find(flag) != line.npos; };
            if (line.rfind("flags", 0) == 0)
                return has(" sha_ni ") && has(" ssse3 ") && has(" sse4_1 ") &&
                       (setting == nullptr || std::string(setting) != "off");
        }
    }
    return UseShaExtensions(); // no list to compare with
}

// The standard's examples, and the padding boundaries: 56 bytes leave no room for the length
// in the last block, 64 are followed by a block of padding alone.
TEST(Digest, StandardVectorsThroughEveryPath) {
    const std::tuple<std::string, const char*, const char*> vectors[] = {
        {"", "DA39A3EE5E6B4B0D3255BFEF95601890AFD80709",
         "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
        {"abc", "A9993E364706816ABA3E25717850C26C9CD0D89D",
         "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {std::string(56, 'a'), "C2DB330F6083854C99D4B5BFB6E8F29F201BE699",
         "B35439A4AC6F0948B6D6F9E3C6AF0F5F590CE20F1BDE7090EF7970686EC6738A"},
        {std::string(64, 'a'), "0098BA824B5C16427BD7A1122A5A442A25EC644D",
         "FFE054FE7AE0CB6DC65C3AF9B61D5209F439851DB43D0BA5997337DF154668EB"},
        {std::string(1000000, 'a'), "34AA973CD4C4DAA4F61EEB2BDBAD27316534016F",
         "CDC76E5C9914FB9281A1C7E284D73E67F1809A48A497200E046D39CCC7112CD0"},
    };
    for (const auto& [message, sha1, sha256] : vectors) {
        SCOPED_TRACE(message.size());
        EXPECT_EQ(Sha1HexDigest(message), sha1);
        EXPECT_EQ(Sha256HexDigest(message), sha256);
        EXPECT_EQ(DigestWith(kSha1Portable, message), sha1);
        EXPECT_EQ(DigestWith(kSha256Portable, message), sha256);
        if (!UseShaExtensions())
            continue;
        EXPECT_EQ(DigestWith(Sha1ProcessBlocksWithShaExtensions, message), sha1);
        EXPECT_EQ(DigestWith(Sha256ProcessBlocksWithShaExtensions, message), sha256);
    }
    // The fast paths are tested wherever the processor has them, never skipped unnoticed.
    EXPECT_EQ(UseShaExtensions(), ShaExtensionsDue());
}

// The length field is the length in bits, 64 bits big-endian, also past 2^32 bytes. A size of
// whole blocks reads none of the message, so no such message has to be held.
TEST(Padding, BitCountHoldsSixtyFourBits) {
    const char anything = 0;
    for (uint64_t size : {uint64_t{64}, uint64_t{1} << 29, uint64_t{1} << 32, uint64_t{1} << 58}) {
        if (size > SIZE_MAX)
            continue; // no such message in a 32-bit process; 2^29 bytes is 2^32 bits there
        PaddedTail tail = PadMessageTail(std::string_view(&anything, static_cast<size_t>(size)));
        uint64_t bits = 0;
        for (size_t i = 56; i < 64; ++i)
            bits = bits << 8 | tail.bytes[i];
        EXPECT_EQ(tail.size, 64u);
        EXPECT_EQ(bits, size * 8) << size;
    }
}

// 2^28 bytes and more: where a bit count kept in 32 signed bits goes wrong (digest by sha1sum).
TEST(DigestSlow, MessagesPastTwoTo28Bytes) {
    EXPECT_EQ(Sha1HexDigest(std::string((size_t{1} << 28) + 77, 'q')),
              "DC93B757A0909CDB5F4ECCDBEBDB71581C410CA7");
}

} // namespace
